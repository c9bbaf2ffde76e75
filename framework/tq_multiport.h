// TQ_MULTIPORT<T>: the typed half of a multiport, a port that stands for any
// number of connections of port type T. It holds one T port per connection
// in a string-keyed array, registered as its CONNECTION property and
// dimensioned by the host base's set of connection names.
#pragma once

#include "framework/morvane_api.h"
#include "framework/tq_typed_arrays.h"
#include "host/vekexp.h"

template <class T>
class MORVANE_API TQ_MULTIPORT : public TQ_MULTIPORT_BaseType {
 public:
  TQ_MULTIPORT();
  TQ_MULTIPORT(const TQ_MULTIPORT&) = delete;
  ~TQ_MULTIPORT() override;
  TQ_MULTIPORT& operator=(const TQ_MULTIPORT& other);
  TQ_MULTIPORT& operator*();

  void DumpStructure() override;
  // The multiport itself and every connection port.
  int PortCount(bool all) const override;
  // Counts `index` down through the ports, the multiport itself first.
  TQ_Type* GetPort(int& index, bool all) override;
  // The port of a new connection: the connection array takes the
  // multiport's direction and export marking, the name joins the set of
  // connection names, and the array's element for the name is returned
  // (null when it could not be made; the name stays in the set).
  TQ_PortType* CreateConnectionPort(const char* name, unsigned int n) override;
  // The array's element for the name, made when missing; the set of
  // connection names is left as it is.
  TQ_PortType* FindConnectionPort(const char* name) override;

  // The connection ports, keyed by connection name.
  TQ_ARRAY_S<T, T> CONNECTION;
};

template <class T>
TQ_MULTIPORT<T>::TQ_MULTIPORT() {
  CONNECTION.AddProperty(this, "CONNECTION", "Active Multiport connections", TQ_DIR_NONE, false);
  CONNECTION.SetDim(ConnectionNames);
}

template <class T>
TQ_MULTIPORT<T>::~TQ_MULTIPORT() = default;

template <class T>
TQ_MULTIPORT<T>& TQ_MULTIPORT<T>::operator=(const TQ_MULTIPORT& other) {
  if (this != &other) {
    TQ_MULTIPORT_BaseType::operator=(other);
    CONNECTION = other.CONNECTION;
  }
  return *this;
}

template <class T>
TQ_MULTIPORT<T>& TQ_MULTIPORT<T>::operator*() {
  return *this;
}

template <class T>
void TQ_MULTIPORT<T>::DumpStructure() {
  TQ_PortType::DumpStructure();
}

template <class T>
int TQ_MULTIPORT<T>::PortCount(bool) const {
  return CONNECTION.PortCount(false) + 1;
}

template <class T>
TQ_Type* TQ_MULTIPORT<T>::GetPort(int& index, bool) {
  --index;
  if (index < 0) return this;
  return CONNECTION.GetPort(index, false);
}

template <class T>
TQ_PortType* TQ_MULTIPORT<T>::CreateConnectionPort(const char* name, unsigned int n) {
  if (name == nullptr) {
    TQ_ReportError("multiport: a connection needs a name; none made");
    return nullptr;
  }
  CONNECTION.SetDirection(Direction());
  if (IsToBeExported())
    CONNECTION.HostPortType(HostPortType());
  else
    CONNECTION.UnsetIsToBeExported();
  {
    TQ_StrSetValue names(ConnectionNames.v());
    names += name;
    TQ_Value value(names, n);
    ConnectionNames.Assign(&value);
  }
  return static_cast<T*>(CONNECTION.Find(name));
}

template <class T>
TQ_PortType* TQ_MULTIPORT<T>::FindConnectionPort(const char* name) {
  if (name == nullptr) return nullptr;
  return static_cast<T*>(CONNECTION.Find(name));
}
