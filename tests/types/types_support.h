// What the standard-type tests share: a fresh executive per test and the
// registered properties of an object in a comparable form.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "host_test.h"
#include "host/tq_executive.h"
#include "host/vekexp.h"

using StandardTypeTest = HostTest;

// One registered property as the owner lists it, with the marks the
// property carries.
struct Registered {
  std::string name;
  int direction;
  bool described;
  bool exported;
  int hostPortType;
  bool operator==(const Registered&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Registered& r) {
  return out << r.name << " dir " << r.direction << (r.described ? " described" : "")
             << (r.exported ? "" : " unexported") << " hostport " << r.hostPortType;
}

inline std::vector<Registered> RegisteredProperties(const TQ_Containable& owner) {
  std::vector<Registered> list;
  for (int i = 0; i < owner.PropertyCount(); ++i) {
    const TQ_PropertyRecord& record = owner.PropertyAt(i);
    EXPECT_FALSE(record.flag) << record.name << ": registered with the trailing flag false";
    EXPECT_EQ(record.property->Owner(), &owner) << record.name;
    list.push_back(Registered{record.name,
                              record.direction,
                              record.description != nullptr,
                              record.property->IsToBeExported(),
                              record.property->HostPortTypeValue()});
  }
  return list;
}

// Shorthands for the expectations: a plain property, an unexported control
// port, a connection port of host port type 4.
inline Registered Plain(const char* name) { return Registered{name, 0, false, true, 0}; }
inline Registered Unexported(const char* name, int direction) { return Registered{name, direction, false, false, 0}; }
inline Registered HostPort4(const char* name, int direction) { return Registered{name, direction, false, true, 4}; }
