// Test support for the distribution on the whole road: a domain and a distribution made through
// the library's factories and held by the executive, the distribution linked to the domain, the
// inputs fixed as a user fixes them, the host's model cycle, and readers that turn what the host
// holds (the grid the domain computed, the equations the distribution emitted) into the test
// grid and recorded equations of test_grid.h.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "framework/frame.h"
#include "library/export_table.h"
#include "test_grid.h"
#include "distribution/tq_distribution1d.h"
#include "domain/tq_domain.h"
#include "host/tq_executive.h"
#include "host/vekexp.h"
#include "host/tq_executive_testing.h"

// The factories, as the export table defines them.
#define MORVANE_DECLARE_FACTORY(NAME) extern "C" TQ_ModelType* NAME##Factory();
MORVANE_CREATABLE_TYPES(MORVANE_DECLARE_FACTORY)
#undef MORVANE_DECLARE_FACTORY

namespace morvane::eqn::testing {

// What a road sets up: the domain's method, sections and derivative order, and what the user
// fixes on the sections and on the distribution (an entry left empty is not fixed).
struct RoadSetup {
  std::string method = "BFD1";
  int sections = 1;
  int domainOrder = 1;            // the domain's HIGHESTORDERDERIVATIVE, fixed when 2
  std::vector<int> nodeCounts{};  // NODECOUNT per section, fixed when given
  double spacing = 0.0;           // the domain's SPACINGPREFERENCE, fixed when above 0
  int orderUsed = -1;             // the distribution's HIGHESTORDERXDERIVATIVEUSED, fixed when >= 0
  int highestOrder = -1;          // its HIGHESTORDERXDERIVATIVE, fixed when >= 0
  bool idx = false;               // INTEGRALS fixed to {"idx"} when set
};

// A road over sections of the given node counts, fixed as a user fixes them.
inline RoadSetup SectionsOf(const std::string& method, const std::vector<int>& nodeCounts, int orderUsed, bool idx) {
  RoadSetup setup;
  setup.method = method;
  setup.sections = static_cast<int>(nodeCounts.size());
  setup.nodeCounts = nodeCounts;
  setup.orderUsed = orderUsed;
  setup.idx = idx;
  return setup;
}

// A road over the domain's own grid with second derivatives and the interval integrals on.
inline RoadSetup EveryFamily(const std::string& method) {
  RoadSetup setup;
  setup.method = method;
  setup.domainOrder = 2;
  setup.idx = true;
  return setup;
}

// A host program item as an entry of a recorded program; `term` names a variable or parameter
// item.
inline Entry EntryOf(const TQ_ProgramItem& item, TermRef term) {
  Entry entry;
  switch (item.kind) {
    case TQ_ProgramItem::Op:
      entry.kind = ItemKind::Operator;
      entry.op = static_cast<Op>(item.code);
      break;
    case TQ_ProgramItem::Integer:
      entry.kind = ItemKind::IntConst;
      entry.ivalue = item.code;
      break;
    case TQ_ProgramItem::Real:
      entry.kind = ItemKind::DoubleConst;
      entry.dvalue = item.real;
      break;
    case TQ_ProgramItem::Term:
      entry.kind = ItemKind::Term;
      entry.term = term;
      break;
  }
  return entry;
}

// What every road through the host has: a fresh executive (made fresh again when the road
// ends), the user's way of fixing a value, the cycle and what it reported.
class HostRoad {
 public:
  HostRoad() : host(TQ_Executive::Instance()) {
    host.Reset();
    TQ_ExecutiveTesting::EnableLog(host, false);
  }
  virtual ~HostRoad() { host.Reset(); }
  HostRoad(const HostRoad&) = delete;
  HostRoad& operator=(const HostRoad&) = delete;

  // Fixes the property at `path` as a user does: the value stands whatever is assigned.
  void Fix(const std::string& path, const TQ_Value& value) {
    std::string error;
    TQ_Containable* item = host.FindByPath(path, true, &error);
    ASSERT_NE(item, nullptr) << path << ": " << error;
    auto* property = dynamic_cast<TQ_VarParamProp*>(item);
    ASSERT_NE(property, nullptr) << path << " holds no value";
    ASSERT_EQ(property->Fix(value, &error), TQ_ASSIGN_DONE) << path << ": " << error;
  }

  // The host's whole cycle; true when every phase succeeded.
  bool Cycle() { return host.RunCycle(); }

  std::string Errors() const {
    std::string all;
    for (const std::string& e : host.Errors()) all += e + "\n";
    return all;
  }
  bool ErrorMentions(const std::string& text) const { return Errors().find(text) != std::string::npos; }

  // The equations `owner` emitted in the last cycle, in order.
  std::vector<const TQ_EmittedEquation*> EmittedBy(const TQ_ModelType* owner) const {
    std::vector<const TQ_EmittedEquation*> out;
    for (const TQ_EmittedEquation& e : host.Emitted())
      if (e.owner == owner) out.push_back(&e);
    return out;
  }

  TQ_Executive& host;
};

// A domain "X" and a distribution "D" made by the factories and handed to a fresh executive.
class Road : public HostRoad {
 public:
  explicit Road(const RoadSetup& setup = RoadSetup{}) {
    domain = dynamic_cast<TQ_DOMAIN*>(DOMAINFactory());
    distribution = dynamic_cast<TQ_DISTRIBUTION1D*>(DISTRIBUTION1DFactory());
    EXPECT_NE(domain, nullptr);
    EXPECT_NE(distribution, nullptr);
    std::string error;
    EXPECT_TRUE(host.AddObject("X", domain, &error)) << error;
    EXPECT_TRUE(host.AddObject("D", distribution, &error)) << error;
    EXPECT_TRUE(distribution->XDOMAIN.Attach(domain, &error)) << error;
    Fix("X.DISCRETIZATIONMETHOD", TQ_Value(setup.method.c_str(), 0u, 0u, 0));
    Fix("X.NUMSECTIONS", TQ_Value(setup.sections, 0u, 0u, 0));
    if (setup.domainOrder != 1) Fix("X.HIGHESTORDERDERIVATIVE", TQ_Value(setup.domainOrder, 0u, 0u, 0));
    if (setup.spacing > 0.0) Fix("X.SPACINGPREFERENCE", TQ_Value(setup.spacing, 0u, 0u, 0));
    for (std::size_t s = 0; s < setup.nodeCounts.size(); ++s)
      Fix("X.SECTION(" + std::to_string(s + 1) + ").NODECOUNT", TQ_Value(setup.nodeCounts[s], 0u, 0u, 0));
    if (setup.orderUsed >= 0) Fix("D.HIGHESTORDERXDERIVATIVEUSED", TQ_Value(setup.orderUsed, 0u, 0u, 0));
    if (setup.highestOrder >= 0) Fix("D.HIGHESTORDERXDERIVATIVE", TQ_Value(setup.highestOrder, 0u, 0u, 0));
    if (setup.idx) Fix("D.INTEGRALS", TQ_Value("idx", 0u, 0u, 0));
  }
  // The equations the distribution emitted in the last cycle, in order.
  std::vector<const TQ_EmittedEquation*> Emitted() const { return EmittedBy(distribution); }

  // The grid the domain computed, read from its properties: method, sections, points and the
  // coordinate of every node.
  Grid1D Grid() const {
    Grid1D g;
    g.methodText = domain->DISCRETIZATIONMETHOD.v();
    g.polyPoints = domain->NUMPOLYPOINTS.v();
    g.orderUsed_ = distribution->HIGHESTORDERXDERIVATIVEUSED.v();
    g.highestOrder_ = distribution->HIGHESTORDERXDERIVATIVE.v();
    g.idx = StringInSet("idx", distribution->INTEGRALS.v()) != 0;
    for (int s = 1; s <= domain->NUMSECTIONS.v(); ++s) {
      TQ_SECTIONDATAMODEL& section = (*domain->SECTION)(s);
      g.sections.push_back(
          Section{section.BASE.v(), section.NODECOUNT.v(), section.NUMELEMENTS.v(), section.ELEMENTLENGTH.v()});
    }
    for (int k = 0; k <= domain->ENDNODE.v(); ++k) g.x.push_back((*domain->VALUE)(k).v());
    return g;
  }

  // What each term of the distribution's equations stands for, in the terms of test_grid.h:
  // array and node, or the element length of a section.
  std::unordered_map<const TQ_VarParam*, TermRef> TermMap() const {
    std::unordered_map<const TQ_VarParam*, TermRef> map;
    auto add = [&](auto& array, std::uint8_t role, const TQ_INTEGERSET& set) {
      const TQ_SetValue& members = set.v();
      for (int p = 0; p < members.SetSize(); ++p) {
        const int k = members.IntegerAt(p);
        map[&array(k)] = TermRef{role, k};
      }
    };
    add(*distribution->VALUE, d1::kValue, distribution->TQ_VALUE_SET1);
    add(distribution->DDX, d1::kDdx, distribution->TQ_DDX_SET1);
    add(distribution->D2DX2, d1::kD2dx2, distribution->TQ_D2DX2_SET1);
    add(distribution->IDX, d1::kIdx, distribution->TQ_IDX_SET1);
    for (int s = 1; s <= domain->NUMSECTIONS.v(); ++s)
      map[&(*domain->SECTION)(s).ELEMENTLENGTH] = TermRef{TermRef::kElementLength, s};
    return map;
  }

  // An emitted equation as test_grid.h records one: row number, name, group less the
  // distribution's FirstGroup, and the program with its terms as array and node.
  Equation Recorded(const TQ_EmittedEquation& e, const std::unordered_map<const TQ_VarParam*, TermRef>& terms) const {
    Equation out;
    out.name = host.EquationName(e);
    out.row = std::stoi(out.name.substr(6));
    out.group = e.group - distribution->FirstGroup;
    for (std::uint32_t k = 0; k < e.itemCount; ++k) {
      const TQ_ProgramItem& item = host.Items()[e.firstItem + k];
      TermRef term{};
      if (item.kind == TQ_ProgramItem::Term) {
        const auto found = terms.find(item.term);
        EXPECT_NE(found, terms.end()) << out.name << ": a term outside the distribution's arrays";
        term = found == terms.end() ? TermRef{99, -1} : found->second;
      }
      const Entry entry = EntryOf(item, term);
      out.program.push_back(entry);
    }
    return out;
  }

  // Every equation the distribution emitted, recorded.
  std::vector<Equation> RecordedEquations() const {
    const auto terms = TermMap();
    std::vector<Equation> out;
    for (const TQ_EmittedEquation* e : Emitted()) out.push_back(Recorded(*e, terms));
    return out;
  }

  TQ_DOMAIN* domain = nullptr;
  TQ_DISTRIBUTION1D* distribution = nullptr;
};

}  // namespace morvane::eqn::testing
