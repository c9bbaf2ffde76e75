// A domain whose INTERIOR is fixed with members outside its nodes 0 .. ENDNODE, under a
// distribution over one, two or three axes: the second derivatives along that axis are declared
// at its INTERIOR, and those along every other axis stand at its node 0, INTERIOR and last node,
// so wherever any axis uses second derivatives a row meets a member outside the nodes. Every
// distribution then refuses alike, naming the set's least and greatest members, the domain, its
// link and its last node, declares and emits nothing, and answers both equation phases
// kGridTooShort, whichever axis holds the INTERIOR and whatever the other axes' orders. An
// INTERIOR within the nodes that holds every node where a second derivative's row stands runs;
// so does an INTERIOR outside them where no axis uses second derivatives, and then it changes
// none of the rows.
#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "distribution/distribution_engine.h"
#include "host/tq_executive_testing.h"
#include "interior_orders.h"
#include "real_domains.h"

namespace morvane::eqn::testing {
namespace {

// Domains "X", "Y", "Z" (as many as axes), each CFD2 over one section of the eight intervals it
// divides itself into (ENDNODE 8), laid out for second derivatives, and a distribution "D" over
// them using orders[a] along axis a; the INTERIOR of axis `outside` fixed to `interior` (""
// leaves it to the domain).
class InteriorRoad : public HostRoad {
 public:
  InteriorRoad(int axes, int outside, const std::string& interior, const std::array<int, 3>& orders) {
    std::string error;
    TQ_ModelType* made = axes == 1   ? DISTRIBUTION1DFactory()
                         : axes == 2 ? DISTRIBUTION2DFactory()
                                     : DISTRIBUTION3DFactory();
    distribution = dynamic_cast<TQ_ModelTypeEx2*>(made);
    EXPECT_NE(distribution, nullptr);
    EXPECT_TRUE(host.AddObject("D", distribution, &error)) << error;
    for (int a = 0; a < axes; ++a) {
      auto* domain = dynamic_cast<TQ_DOMAIN*>(DOMAINFactory());
      const std::string name = kDomainNames[a];
      EXPECT_TRUE(host.AddObject(name, domain, &error)) << error;
      auto* link = dynamic_cast<TQ_External<TQ_DOMAIN>*>(host.FindByPath("D." + name + "DOMAIN", false, &error));
      EXPECT_NE(link, nullptr) << error;
      if (link != nullptr) {
        EXPECT_TRUE(link->Attach(domain, &error)) << error;
      }
      Fix(name + ".DISCRETIZATIONMETHOD", TQ_Value("CFD2", 0u, 0u, 0));
      Fix(name + ".NUMSECTIONS", TQ_Value(1, 0u, 0u, 0));
      Fix(name + ".HIGHESTORDERDERIVATIVE", TQ_Value(2, 0u, 0u, 0));
      Fix("D.HIGHESTORDER" + name + "DERIVATIVEUSED", TQ_Value(orders[static_cast<std::size_t>(a)], 0u, 0u, 0));
    }
    if (!interior.empty())
      Fix(std::string(kDomainNames[outside]) + ".INTERIOR", TQ_Value(TQ_IntSetValue(interior.c_str()), 0u, 0u, 0));
  }

  // Every equation of D as text, in order: name and residual.
  std::vector<std::string> Rows() const {
    std::vector<std::string> out;
    for (const TQ_EmittedEquation* e : EmittedBy(distribution))
      out.push_back(std::string(host.EquationName(*e)) + ": " + host.Infix(*e));
    return out;
  }

  TQ_ModelTypeEx2* distribution = nullptr;
};

struct OutsideCase {
  const char* interior;
  long long least;
  long long greatest;
  long long standsAt;  // the member the message names: the least when below 0, else the greatest
};

const OutsideCase kOutside[] = {
    {"100", 100, 100, 100},
    {"9", 9, 9, 9},  // one past the last node
    {"-1", -1, -1, -1},
    {"-3,2,4", -3, 4, -3},
    {"1,5,12", 1, 12, 12},
};

constexpr std::array<int, 3> kAllSecond = {2, 2, 2};

// The road refused the model for the INTERIOR of axis `outside` as `c` fixes it: one message
// naming that domain, nothing of D declared or emitted, and both equation phases, asked again,
// answer kGridTooShort with the same message and no row.
void ExpectRefused(InteriorRoad& road, int outside, const OutsideCase& c, const std::string& where) {
  EXPECT_FALSE(road.Cycle()) << where;
  const std::string domain = kDomainNames[outside];
  const std::string message = "D: the interior nodes " + std::to_string(c.least) + " to " + std::to_string(c.greatest) +
                              " of the domain " + domain + " (" + domain +
                              "DOMAIN) lie outside the domain's nodes 0 to 8 (TQ_Eqn";
  const std::string standing = " stands at node " + std::to_string(c.standsAt) + ")";
  EXPECT_TRUE(road.ErrorMentions(message)) << where << ": " << road.Errors();
  EXPECT_TRUE(road.ErrorMentions(standing)) << where << ": " << road.Errors();
  for (const TQ_DeclaredEquation& e : road.host.Declared()) EXPECT_NE(e.owner, road.distribution) << where;
  EXPECT_TRUE(road.EmittedBy(road.distribution).empty()) << where;

  road.host.ClearErrors();
  EXPECT_EQ(road.distribution->SetUpEquations(), kGridTooShort) << where;
  ASSERT_EQ(road.host.Errors().size(), 1u) << where << ": " << road.Errors();
  EXPECT_EQ(road.host.Errors().front().rfind(message, 0), 0u) << where << ": " << road.Errors();
  EXPECT_NE(road.host.Errors().front().find(standing), std::string::npos) << where << ": " << road.Errors();
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::BeginEmission(road.host, 0, rows, cols);
  EXPECT_EQ(road.distribution->JacPattern(rows, cols, nullptr), kGridTooShort) << where;
  EXPECT_TRUE(road.EmittedBy(road.distribution).empty()) << where;
}

class InteriorOutsideTheNodes : public ::testing::TestWithParam<int> {};

TEST_P(InteriorOutsideTheNodes, IsRefusedAlikeOverEveryNumberOfAxesAndOnEveryAxis) {
  const int axes = GetParam();
  for (int outside = 0; outside < axes; ++outside) {
    for (const OutsideCase& c : kOutside) {
      const std::string where =
          std::to_string(axes) + " axes, " + kDomainNames[outside] + ".INTERIOR {" + c.interior + "}";
      InteriorRoad road(axes, outside, c.interior, kAllSecond);
      ExpectRefused(road, outside, c, where);
    }
  }
}

TEST_P(InteriorOutsideTheNodes, AnInteriorWithinTheNodesRuns) {
  const int axes = GetParam();
  for (int outside = 0; outside < axes; ++outside) {
    // The domain's own, and sets that hold every node where a second derivative's row stands
    // (1 to 7) and more.
    for (const char* interior : {"", "1,2,3,4,5,6,7", "0,1,2,3,4,5,6,7,8", "1,2,3,4,5,6,7,8"}) {
      const std::string where =
          std::to_string(axes) + " axes, " + kDomainNames[outside] + ".INTERIOR {" + interior + "}";
      InteriorRoad road(axes, outside, interior, kAllSecond);
      EXPECT_TRUE(road.Cycle()) << where << ": " << road.Errors();
      EXPECT_FALSE(road.EmittedBy(road.distribution).empty()) << where;
      std::string difference;
      EXPECT_TRUE(road.host.DeclaredMatchesEmitted(&difference)) << where << ": " << difference;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Axes, InteriorOutsideTheNodes, ::testing::Values(1, 2, 3), [](const auto& info) {
  return std::to_string(info.param) + "D";
});

using interior_orders::EveryOrdersCase;
using interior_orders::OrdersCase;

class InteriorOutsideUnderOrders : public ::testing::TestWithParam<OrdersCase> {};

// Refused exactly where some axis uses second derivatives (the axis's own, declared at its
// INTERIOR, or another's, standing at its node 0, INTERIOR and last node), whatever the orders
// of the axes that do not; where none does, the model runs with the rows it has with the
// domain's own INTERIOR, as no row stands at the INTERIOR.
TEST_P(InteriorOutsideUnderOrders, IsRefusedWhereSecondDerivativesRun) {
  const OrdersCase& p = GetParam();
  const bool second = interior_orders::UsesSecondDerivatives(p);
  for (const OutsideCase& c : {kOutside[0], kOutside[3]}) {
    const std::string where = std::string(kDomainNames[p.outside]) + ".INTERIOR {" + c.interior + "}";
    std::vector<std::string> rows;
    {  // one road at a time: each holds the one host
      InteriorRoad road(p.axes, p.outside, c.interior, p.orders);
      if (second) {
        ExpectRefused(road, p.outside, c, where);
        continue;
      }
      EXPECT_TRUE(road.Cycle()) << where << ": " << road.Errors();
      std::string difference;
      EXPECT_TRUE(road.host.DeclaredMatchesEmitted(&difference)) << where << ": " << difference;
      rows = road.Rows();
    }
    InteriorRoad within(p.axes, p.outside, "", p.orders);
    EXPECT_TRUE(within.Cycle()) << where << ": " << within.Errors();
    EXPECT_EQ(rows, within.Rows()) << where;
  }
}

INSTANTIATE_TEST_SUITE_P(AxesOutsideAxisAndOrders,
                         InteriorOutsideUnderOrders,
                         ::testing::ValuesIn(EveryOrdersCase()),
                         [](const auto& info) { return interior_orders::CaseName(info.param); });

}  // namespace
}  // namespace morvane::eqn::testing
