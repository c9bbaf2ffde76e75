// TQ_External<T>: a model's link to an object outside it, attached by the
// host (a distribution's XDOMAIN). The link state is the host's
// TQ_ExternalBase; the template adds the type id of the objects the link is
// declared for and the typed dereference.
#pragma once

#include "framework/morvane_api.h"
#include "framework/tq_support.h"
#include "host/vekexp.h"

template <class T>
class MORVANE_API TQ_External : public TQ_ExternalBase {
 public:
  // Unattached and unregistered; the owner's Construct() registers it.
  TQ_External();
  TQ_External(const TQ_External& other);
  ~TQ_External() override;
  TQ_External& operator=(const TQ_External& other);

  // The attached object. A link with nothing attached, or with an object of
  // another type, throws TQ_LinkError naming the link.
  T& operator*() const;

  // The type id of T: its own for a generated type, else that of its nearest
  // host base that has one. The same literal on every call.
  const char* ExternalTypeName() override;
};

template <class T>
TQ_External<T>::TQ_External() : TQ_ExternalBase(nullptr) {}

template <class T>
TQ_External<T>::TQ_External(const TQ_External& other) : TQ_ExternalBase(other) {}

template <class T>
TQ_External<T>::~TQ_External() = default;

template <class T>
TQ_External<T>& TQ_External<T>::operator=(const TQ_External& other) {
  TQ_ExternalBase::operator=(other);
  return *this;
}

template <class T>
T& TQ_External<T>::operator*() const {
  return morvane::LinkedAs<T>(ExternalLink(), *this);
}

template <class T>
const char* TQ_External<T>::ExternalTypeName() {
  return T::TQ_ContainerId();
}
