// What the domain tests share: a fresh executive per test, a domain held by
// the executive, ways to fix its inputs as a user would, and readers of the
// grid and of the values the domain handed to the host.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <set>
#include <string>
#include <vector>

#include "host_test.h"
#include "domain/tq_domain.h"
#include "handed_values.h"
#include "host/tq_executive.h"
#include "host/vekexp.h"
#include "host/tq_executive_testing.h"

namespace domaintest {

// The method table as the domain is to apply it: minimum node count, points
// inside an element, their fractions, and whether the nodes are evenly
// spaced (every method but the collocation ones). Written out here, apart
// from the library's own table, so that the grid is checked against facts
// stated independently of it.
struct MethodFacts {
  const char* name;
  int minNodes;
  int points;
  std::vector<double> fractions;
  bool collocation;
};

inline const std::vector<MethodFacts>& Methods() {
  static const std::vector<MethodFacts> methods = {
      {"BFD1", 2, 0, {}, false},
      {"BFD2", 2, 1, {0.5}, false},
      {"CFD2", 2, 1, {0.5}, false},
      {"CFD4", 4, 3, {0.25, 0.5, 0.75}, false},
      {"FFD1", 2, 0, {}, false},
      {"FFD2", 2, 1, {0.5}, false},
      {"OCFE2", 2, 1, {0.5}, true},
      {"OCFE3", 3, 2, {0.21132, 0.78868}, true},
      {"OCFE4", 4, 3, {0.1127, 0.5, 0.8873}, true},
      {"UBFD4", 4, 3, {0.25, 0.5, 0.75}, false},
  };
  return methods;
}

inline const MethodFacts& Method(const std::string& name) {
  for (const MethodFacts& m : Methods())
    if (name == m.name) return m;
  throw std::runtime_error("no method " + name);
}

inline std::set<int> Members(const SUValue& set) {
  std::set<int> members;
  for (int p = 0; p < set.SetSize(); ++p) members.insert(set.IntegerAt(p));
  return members;
}

inline std::set<int> Span(int lo, int hi) {
  std::set<int> members;
  for (int k = lo; k <= hi; ++k) members.insert(k);
  return members;
}

inline std::set<int> Join(std::set<int> a, const std::set<int>& b) {
  a.insert(b.begin(), b.end());
  return a;
}

// A fresh executive per test (the shared host fixture) that logs the values
// handed to it.
class DomainTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    Fresh();
  }
  // Releases every object, forgets the log and the errors, and logs anew.
  static void Fresh() {
    TQ_Executive::Instance().Reset();
    TQ_ExecutiveTesting::EnableLog(TQ_Executive::Instance(), true);
  }

  // A new object of the type, referenced and held by the executive under the
  // name, as the host holds what a factory made.
  template <class T>
  T& Make(const char* name = "D") {
    T* object = new T(true);
    object->AddRef();
    std::string error;
    EXPECT_TRUE(TQ_Executive::Instance().AddObject(name, object, &error)) << error;
    return *object;
  }

  // Fixes a property as the user would: assignments then leave it alone.
  static void Fix(TQ_VarParamProp& property, int value) { FixValue(property, TQ_Value(value, 0u, 0u, 0)); }
  static void Fix(TQ_VarParamProp& property, double value) { FixValue(property, TQ_Value(value, 0u, 0u, 0)); }
  static void Fix(TQ_VarParamProp& property, const char* value) { FixValue(property, TQ_Value(value, 0u, 0u, 0)); }
  static void FixValue(TQ_VarParamProp& property, const TQ_Value& value) {
    std::string error;
    ASSERT_EQ(property.Fix(value, &error), TQ_ASSIGN_DONE) << error;
  }

  // Method, section count and highest derivative order of a domain.
  static void Configure(TQ_DOMAIN& d, const std::string& method, int sections, int order) {
    Fix(d.DISCRETIZATIONMETHOD, method.c_str());
    Fix(d.NUMSECTIONS, sections);
    if (order != 1) Fix(d.HIGHESTORDERDERIVATIVE, order);
  }

  static long Run(TQ_DOMAIN& d, int level = 10, int pass = 1) { return d.ExecuteAssignments(level, pass); }

  static TQ_SECTIONDATAMODEL& S(TQ_DOMAIN& d, int i) { return (*d.SECTION)(i); }
  static double Location(TQ_DOMAIN& d, int i) { return (*S(d, i).LOCATION).v(); }
  static double SpacingUsed(TQ_DOMAIN& d, int i) { return (*S(d, i).SPACINGUSED).v(); }
  static double SpacingPreference(TQ_DOMAIN& d, int i) { return (*S(d, i).SPACINGPREFERENCE).v(); }
  static double Node(TQ_DOMAIN& d, int k) { return (*d.VALUE)(k).v(); }
  // Whether node k has an element that holds an assigned value, without
  // creating anything.
  static bool NodeAssigned(TQ_DOMAIN& d, int k) {
    TQ_Type* element = (*d.VALUE).ElementByText(std::to_string(k).c_str());
    return element != nullptr && element->HasValue();
  }

  // The values handed over so far (index sets and assignments), in order.
  static std::vector<Handed> HandedValues() {
    std::vector<Handed> handed;
    for (const TQ_LogEntry& entry : TQ_ExecutiveTesting::Log(TQ_Executive::Instance()))
      handed.push_back(HandedFrom(entry));
    return handed;
  }
  // The statement numbers of the values handed to `target`.
  static std::vector<int> NumbersFor(const TQ_Containable* target) {
    std::vector<int> numbers;
    for (const Handed& h : HandedValues())
      if (h.target == target) numbers.push_back(h.number);
    return numbers;
  }
  // Whether an assignment with the statement number was handed over.
  static bool Ran(int number) {
    for (const Handed& h : HandedValues())
      if (h.number == number && !h.indexSet) return true;
    return false;
  }
  static bool ErrorMentions(const std::string& text) {
    for (const std::string& e : Errors())
      if (e.find(text) != std::string::npos) return true;
    return false;
  }
};

}  // namespace domaintest
