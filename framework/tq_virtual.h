// TQ_Virtual<T>: a virtual property, a string parameter that stands for an
// object of type T, either one the host links to it or a default object the
// property makes. The property state and the link are the host's
// TQ_VirtualBase; the template adds the type id, the making of a default T
// and the typed dereference.
//
// Host behaviour relied on: with nothing linked, the first dereference takes
// the default object from NewDefaultVirtual, and the property holds it from
// then on; when no default can be made the host throws TQ_LinkError.
#pragma once

#include "framework/morvane_api.h"
#include "framework/tq_support.h"
#include "host/vekexp.h"

template <class T>
class MORVANE_API TQ_Virtual : public TQ_VirtualBase {
 public:
  // Nothing linked, not registered; the string parameter's attributes set up.
  TQ_Virtual();
  // A virtual property is copied only by assignment.
  TQ_Virtual(const TQ_Virtual&) = delete;
  ~TQ_Virtual() override;
  TQ_Virtual& operator=(const TQ_Virtual& other);

  // The object the property stands for (the default object, made on first
  // use, when nothing is linked). Throws TQ_LinkError when there is none or
  // it is not a T.
  T& operator*();

  // A new default T: a model, port, structure or parameter type built with
  // its flag set, an array or multiport by its default constructor. No
  // reference is taken and the property keeps no pointer to it; null when
  // the allocation is refused.
  TQ_Type* NewDefaultVirtual() override;

  // The same literal as TQ_External<T>::ExternalTypeName().
  const char* VirtualBaseType() override;
};

template <class T>
TQ_Virtual<T>::TQ_Virtual() : TQ_VirtualBase(nullptr) {
  InitializeSystemAttributes();
}

template <class T>
TQ_Virtual<T>::~TQ_Virtual() = default;

template <class T>
TQ_Virtual<T>& TQ_Virtual<T>::operator=(const TQ_Virtual& other) {
  TQ_VirtualBase::operator=(other);
  return *this;
}

template <class T>
T& TQ_Virtual<T>::operator*() {
  return morvane::LinkedAs<T>(VirtualLink(), *this);
}

template <class T>
TQ_Type* TQ_Virtual<T>::NewDefaultVirtual() {
  return morvane::MakeForHost<T>();
}

template <class T>
const char* TQ_Virtual<T>::VirtualBaseType() {
  return T::TQ_ContainerId();
}
