// TQ_GLOBALSTRUCTUREREFNAME<T>: a string parameter naming a global instance of
// the structure type T. The host base resolves the name; the template makes
// dummy instances of T and tells whether a structure is compatible with T.
#pragma once

#include "framework/morvane_api.h"
#include "framework/tq_support.h"
#include "host/vekexp.h"

template <class T>
class MORVANE_API TQ_GLOBALSTRUCTUREREFNAME : public TQ_GlobalStructureRefBase {
 public:
  TQ_GLOBALSTRUCTUREREFNAME();
  TQ_GLOBALSTRUCTUREREFNAME(const TQ_GLOBALSTRUCTUREREFNAME&) = delete;
  ~TQ_GLOBALSTRUCTUREREFNAME() override;
  TQ_GLOBALSTRUCTUREREFNAME& operator=(const TQ_GLOBALSTRUCTUREREFNAME& other);

  // The structure the value names. The host throws TQ_LinkError for a name
  // that resolves to nothing; a structure of another type is reported too.
  T& operator*();
  operator T&();

  // A new T with every property registered, no reference taken; null when
  // the allocation is refused.
  TQ_ModelType* CreateDummyInstance() override;

  // Whether the structure's type, or a generated base of it, is T (type ids
  // compared ignoring case). No structure is compatible with nothing.
  bool CheckCompatibleStructureType(TQ_ModelType* structure) override;
};

template <class T>
TQ_GLOBALSTRUCTUREREFNAME<T>::TQ_GLOBALSTRUCTUREREFNAME() : TQ_GlobalStructureRefBase(nullptr) {}

template <class T>
TQ_GLOBALSTRUCTUREREFNAME<T>::~TQ_GLOBALSTRUCTUREREFNAME() = default;

template <class T>
TQ_GLOBALSTRUCTUREREFNAME<T>& TQ_GLOBALSTRUCTUREREFNAME<T>::operator=(const TQ_GLOBALSTRUCTUREREFNAME& other) {
  TQ_GlobalStructureRefBase::operator=(other);
  return *this;
}

template <class T>
T& TQ_GLOBALSTRUCTUREREFNAME<T>::operator*() {
  return morvane::LinkedAs<T>(Dereference(), *this);
}

template <class T>
TQ_GLOBALSTRUCTUREREFNAME<T>::operator T&() {
  return **this;
}

template <class T>
TQ_ModelType* TQ_GLOBALSTRUCTUREREFNAME<T>::CreateDummyInstance() {
  return morvane::MakeForHost<T>();
}

template <class T>
bool TQ_GLOBALSTRUCTUREREFNAME<T>::CheckCompatibleStructureType(TQ_ModelType* structure) {
  return structure != nullptr && structure->ContainerDerivesFrom(T::TQ_ContainerId());
}
