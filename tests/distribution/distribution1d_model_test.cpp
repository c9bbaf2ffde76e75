// The one-dimensional distribution as a model: what its factory makes and registers, its type
// id, and the index sets and default assignments it hands to the host (read back from the
// executive's log), on a real domain through the host's model cycle.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "handed_values.h"
#include "real_domain.h"
#include "host/tq_executive_testing.h"

namespace morvane::eqn::testing {
namespace {

std::set<int> Members(const SUValue& set) {
  std::set<int> out;
  for (int p = 0; p < set.SetSize(); ++p) out.insert(set.IntegerAt(p));
  return out;
}

std::set<int> Span(int lo, int hi) {
  std::set<int> out;
  for (int k = lo; k <= hi; ++k) out.insert(k);
  return out;
}

TEST(Distribution1DModel, FactoryRegistersTheFifteenPropertiesInOrder) {
  Road road;
  TQ_DISTRIBUTION1D& d = *road.distribution;
  struct Expected {
    const char* name;
    const TQ_Containable* member;
    const char* description;
    int direction;
  };
  const Expected expected[] = {
      {"XDOMAIN", &d.XDOMAIN, nullptr, 0},
      {"TQ_VALUE_SET1", &d.TQ_VALUE_SET1, nullptr, 0},
      {"VALUE", &d.VALUE, "Variable value at a node point", 0},
      {"USERNOTES", &d.USERNOTES, nullptr, 0},
      {"INPUTSIGNAL", &d.INPUTSIGNAL, nullptr, 4},
      {"OUTPUTSIGNAL", &d.OUTPUTSIGNAL, nullptr, 8},
      {"HIGHESTORDERXDERIVATIVE", &d.HIGHESTORDERXDERIVATIVE, nullptr, 0},
      {"HIGHESTORDERXDERIVATIVEUSED", &d.HIGHESTORDERXDERIVATIVEUSED, nullptr, 0},
      {"INTEGRALS", &d.INTEGRALS, "Integrals to be calculated. Valid value: idx", 0},
      {"TQ_DDX_SET1", &d.TQ_DDX_SET1, nullptr, 0},
      {"DDX", &d.DDX, "1st-order partial deriv wrt x", 0},
      {"TQ_D2DX2_SET1", &d.TQ_D2DX2_SET1, nullptr, 0},
      {"D2DX2", &d.D2DX2, "2nd-order partial deriv wrt x", 0},
      {"TQ_IDX_SET1", &d.TQ_IDX_SET1, nullptr, 0},
      {"IDX", &d.IDX, "integral of distributed variable over X domain", 0},
  };
  ASSERT_EQ(d.PropertyCount(), 15);
  for (int k = 0; k < 15; ++k) {
    const TQ_PropertyRecord& r = d.PropertyAt(k);
    const Expected& e = expected[k];
    EXPECT_STREQ(r.name, e.name) << k;
    EXPECT_EQ(r.property, e.member) << e.name;
    if (e.description == nullptr) {
      EXPECT_EQ(r.description, nullptr) << e.name;
    } else {
      EXPECT_STREQ(r.description, e.description) << e.name;
    }
    EXPECT_EQ(r.direction, e.direction) << e.name;
    EXPECT_FALSE(r.flag) << e.name;
    // The control ports alone are marked not to be exported.
    const bool port = std::strcmp(e.name, "INPUTSIGNAL") == 0 || std::strcmp(e.name, "OUTPUTSIGNAL") == 0;
    EXPECT_EQ(r.property->IsToBeExported(), !port) << e.name;
  }
  // The factory's one reference is the host's.
  EXPECT_EQ(d.RefCount(), 1);
  EXPECT_EQ(d.FirstGroup, 0);
  EXPECT_EQ(d.LocalEqnCount, 0);
  EXPECT_EQ(d.LocalNonZeroCount, 0);
}

TEST(Distribution1DModel, TypeIdAndDerivation) {
  Road road;
  TQ_DISTRIBUTION1D& d = *road.distribution;
  EXPECT_STREQ(TQ_DISTRIBUTION1D::TQ_ContainerId(), "Model DISTRIBUTION1D\tV7.1");
  EXPECT_EQ(d.TQ_DefaultDESCRIPTION(), TQ_DISTRIBUTION1D::TQ_ContainerId());
  EXPECT_TRUE(d.ContainerDerivesFrom("model distribution1d\tv7.1"));
  EXPECT_FALSE(d.ContainerDerivesFrom("Model DOMAIN\tV7.1"));
  EXPECT_FALSE(d.ContainerDerivesFrom("Model DISTRIBUTION1D V7.1"));
  EXPECT_FALSE(d.ContainerDerivesFrom("Model DISTRIBUTION1D\tV7.2"));
  EXPECT_EQ(d.Residuals(nullptr, 3, 4), 0);
  EXPECT_EQ(d.Jacobian(nullptr, 3, 4), 0);
  // A link to anything but a domain is refused.
  std::string error;
  EXPECT_FALSE(d.XDOMAIN.Attach(&d, &error));
  EXPECT_FALSE(error.empty());
}

std::vector<Handed> HandedBy(const Road& road) {
  std::vector<Handed> out;
  for (const TQ_LogEntry& e : TQ_ExecutiveTesting::Log(road.host)) {
    if (e.target == nullptr || e.target->Owner() != road.distribution) continue;
    out.push_back(HandedFrom(e));
    EXPECT_EQ(e.value.Pass(), 1u);
    EXPECT_EQ(e.value.Level(), 10u);
  }
  return out;
}

// Runs the road's cycle with the log on and returns what the distribution handed over.
std::vector<Handed> CycleLogged(Road& road) {
  TQ_ExecutiveTesting::EnableLog(road.host, true);
  EXPECT_TRUE(road.Cycle()) << road.Errors();
  TQ_ExecutiveTesting::EnableLog(road.host, false);
  return HandedBy(road);
}

TEST(Distribution1DIndexSets, DefaultRoadHandsOverOneToEightInTwoSweeps) {
  Road road;  // "BFD1", one section of eight intervals, domain order 1, INTEGRALS left alone
  TQ_DISTRIBUTION1D& d = *road.distribution;
  const std::vector<Handed> handed = CycleLogged(road);
  ASSERT_EQ(road.domain->ENDNODE.v(), 8);
  struct Expected {
    bool indexSet;
    const TQ_Containable* target;
    int number;
    int sweep;
  };
  const Expected expected[] = {
      {true, &d.TQ_VALUE_SET1, 1, 0},
      {true, &d.TQ_DDX_SET1, 2, 0},
      {true, &d.TQ_D2DX2_SET1, 3, 0},
      {true, &d.TQ_IDX_SET1, 4, 0},
      {false, &d.HIGHESTORDERXDERIVATIVE, 5, 0},
      {false, &d.HIGHESTORDERXDERIVATIVEUSED, 6, 0},
      {false, &d.INTEGRALS, 8, 0},
      {true, &d.TQ_VALUE_SET1, 1, 1},
      {true, &d.TQ_DDX_SET1, 2, 1},
      {true, &d.TQ_D2DX2_SET1, 3, 1},
      {true, &d.TQ_IDX_SET1, 4, 1},
  };
  ASSERT_EQ(handed.size(), std::size(expected));
  for (std::size_t k = 0; k < handed.size(); ++k) {
    EXPECT_EQ(handed[k].indexSet, expected[k].indexSet) << k;
    EXPECT_EQ(handed[k].target, expected[k].target) << k;
    EXPECT_EQ(handed[k].number, expected[k].number) << k;
    if (handed[k].indexSet) {
      EXPECT_EQ(handed[k].sweep, expected[k].sweep) << k;
    }
  }
  // Sweep 0 sees the order used as it stood before the assignments (0), sweep 1 as assigned.
  EXPECT_EQ(Members(handed[0].value.Set()), Span(0, 8));
  EXPECT_EQ(Members(handed[1].value.Set()), Span(0, 0));
  EXPECT_EQ(Members(handed[8].value.Set()), Span(0, 8));
  // Order used 1: no second derivatives; no "idx": [0 .. -8], empty.
  EXPECT_TRUE(Members(handed[2].value.Set()).empty());
  EXPECT_TRUE(Members(handed[3].value.Set()).empty());
  EXPECT_TRUE(Members(handed[9].value.Set()).empty());
  EXPECT_TRUE(Members(handed[10].value.Set()).empty());
  EXPECT_EQ(handed[4].value.Integer(), 1);
  EXPECT_EQ(handed[5].value.Integer(), 1);
  EXPECT_STREQ(handed[6].value.Text(), "None");
  EXPECT_EQ(handed[6].status, TQ_ASSIGN_DONE);
  EXPECT_EQ(d.INTEGRALS.v().SetSize(), 1);
  EXPECT_EQ(d.INTEGRALS.v() >= "None", 1);
  // SetDims gave each array its set.
  EXPECT_EQ((*d.VALUE).DeclaredSet(0), &d.TQ_VALUE_SET1);
  EXPECT_EQ(d.DDX.DeclaredSet(0), &d.TQ_DDX_SET1);
  EXPECT_EQ(d.D2DX2.DeclaredSet(0), &d.TQ_D2DX2_SET1);
  EXPECT_EQ(d.IDX.DeclaredSet(0), &d.TQ_IDX_SET1);
}

// The numbers of the assignments a cycle performed (sweep 0 only has assignments).
std::vector<int> AssignmentNumbers(const std::vector<Handed>& handed) {
  std::vector<int> out;
  for (const Handed& h : handed)
    if (!h.indexSet) out.push_back(h.number);
  return out;
}

// The value each index set received in sweep 1.
std::set<int> FinalSet(const std::vector<Handed>& handed, const TQ_INTEGERSET& set) {
  for (const Handed& h : handed)
    if (h.indexSet && h.sweep == 1 && h.target == &set) return Members(h.value.Set());
  ADD_FAILURE() << "no sweep-1 value for " << set.Name();
  return {};
}

TEST(Distribution1DIndexSets, OrdersAndTheRaiseToTwo) {
  {
    // Domain order 2, the distribution's order assigned from it: used 2, no raise.
    RoadSetup setup;
    setup.domainOrder = 2;
    Road road(setup);
    const std::vector<Handed> handed = CycleLogged(road);
    EXPECT_EQ(AssignmentNumbers(handed), (std::vector<int>{5, 6, 8}));
    EXPECT_EQ(road.distribution->HIGHESTORDERXDERIVATIVEUSED.v(), 2);
    // INTERIOR of a one-section difference domain: the nodes 1 .. 7.
    EXPECT_EQ(FinalSet(handed, road.distribution->TQ_D2DX2_SET1), Span(1, 7));
    EXPECT_EQ(FinalSet(handed, road.distribution->TQ_DDX_SET1), Span(0, 8));
  }
  {
    // Domain order 2 while the user holds HIGHESTORDERXDERIVATIVE at 1: #6 assigns 1, #7 raises to 2.
    RoadSetup setup;
    setup.domainOrder = 2;
    setup.highestOrder = 1;
    Road road(setup);
    const std::vector<Handed> handed = CycleLogged(road);
    EXPECT_EQ(AssignmentNumbers(handed), (std::vector<int>{5, 6, 7, 8}));
    EXPECT_EQ(handed[4].status, TQ_ASSIGN_KEPT_FIXED);  // #5
    EXPECT_EQ(handed[5].value.Integer(), 1);            // #6
    EXPECT_EQ(handed[6].value.Integer(), 2);            // #7
    EXPECT_EQ(road.distribution->HIGHESTORDERXDERIVATIVEUSED.v(), 2);
    EXPECT_EQ(FinalSet(handed, road.distribution->TQ_D2DX2_SET1), Span(1, 7));
  }
  {
    // Domain order 1: no raise, first derivatives only.
    Road road;
    const std::vector<Handed> handed = CycleLogged(road);
    EXPECT_EQ(AssignmentNumbers(handed), (std::vector<int>{5, 6, 8}));
    EXPECT_TRUE(FinalSet(handed, road.distribution->TQ_D2DX2_SET1).empty());
  }
  {
    // Order used held at 0: DDX on node 0 alone, no D2DX2.
    RoadSetup setup;
    setup.orderUsed = 0;
    Road road(setup);
    const std::vector<Handed> handed = CycleLogged(road);
    EXPECT_EQ(FinalSet(handed, road.distribution->TQ_DDX_SET1), Span(0, 0));
    EXPECT_TRUE(FinalSet(handed, road.distribution->TQ_D2DX2_SET1).empty());
  }
}

TEST(Distribution1DIndexSets, UsersIntegralsSurviveTheDefaultNone) {
  RoadSetup setup;
  setup.idx = true;
  Road road(setup);
  const std::vector<Handed> handed = CycleLogged(road);
  bool sawNone = false;
  for (const Handed& h : handed) {
    if (h.number != 8) continue;
    sawNone = true;
    EXPECT_STREQ(h.value.Text(), "None");
    EXPECT_EQ(h.status, TQ_ASSIGN_KEPT_FIXED);
  }
  EXPECT_TRUE(sawNone);
  EXPECT_EQ(road.distribution->INTEGRALS.v() >= "idx", 1);
  // "idx" selected: IDX over every node, in both sweeps.
  for (const Handed& h : handed)
    if (h.target == &road.distribution->TQ_IDX_SET1) {
      EXPECT_EQ(Members(h.value.Set()), Span(0, 8));
    }
}

TEST(Distribution1DIndexSets, LastNodeBoundsTheIntegralSet) {
  {
    // ENDNODE 5 without "idx": [0 .. -5], empty.
    RoadSetup setup;
    setup.nodeCounts = {5};
    Road road(setup);
    const std::vector<Handed> handed = CycleLogged(road);
    ASSERT_EQ(road.domain->ENDNODE.v(), 5);
    EXPECT_TRUE(FinalSet(handed, road.distribution->TQ_IDX_SET1).empty());
    EXPECT_EQ(FinalSet(handed, road.distribution->TQ_VALUE_SET1), Span(0, 5));
  }
  {
    // ENDNODE held at 0: [0 .. 0] whatever INTEGRALS holds.
    Road road;
    road.Fix("X.ENDNODE", TQ_Value(0, 0u, 0u, 0));
    TQ_ExecutiveTesting::EnableLog(road.host, true);
    road.host.RunAssignments(TQ_Executive::CycleOptions());
    TQ_ExecutiveTesting::EnableLog(road.host, false);
    const std::vector<Handed> handed = HandedBy(road);
    EXPECT_EQ(FinalSet(handed, road.distribution->TQ_IDX_SET1), Span(0, 0));
    EXPECT_EQ(FinalSet(handed, road.distribution->TQ_VALUE_SET1), Span(0, 0));
  }
}

TEST(Distribution1DIndexSets, ParentStatusIsReturnedUnexamined) {
  Road road;
  TQ_ExecutiveTesting::SetRootAssignmentStatus(road.host, -7);
  TQ_ExecutiveTesting::EnableLog(road.host, true);
  EXPECT_EQ(road.distribution->ExecuteAssignments(3, 2), -7);
  TQ_ExecutiveTesting::EnableLog(road.host, false);
  TQ_ExecutiveTesting::SetRootAssignmentStatus(road.host, 0);
  // The sets and assignments ran all the same, with the given pass and level.
  int count = 0;
  for (const TQ_LogEntry& e : TQ_ExecutiveTesting::Log(road.host)) {
    if (e.target == nullptr || e.target->Owner() != road.distribution) continue;
    EXPECT_EQ(e.value.Pass(), 2u);
    EXPECT_EQ(e.value.Level(), 3u);
    ++count;
  }
  EXPECT_EQ(count, 11);
}

}  // namespace
}  // namespace morvane::eqn::testing
