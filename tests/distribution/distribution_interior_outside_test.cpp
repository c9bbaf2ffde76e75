// A domain whose INTERIOR is fixed with members outside its nodes 0 .. ENDNODE, under a
// distribution over one, two or three axes whose second derivatives run: every distribution
// refuses it alike, naming the set's least and greatest members, the domain, its link and its
// last node, declares and emits nothing, and answers both equation phases kGridTooShort. An
// INTERIOR within the nodes, or a distribution that does not use second derivatives, runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "distribution/distribution_engine.h"
#include "host/tq_executive_testing.h"
#include "real_domains.h"

namespace morvane::eqn::testing {
namespace {

// Domains "X", "Y", "Z" (as many as axes), each CFD2 over one section of the eight intervals it
// divides itself into (ENDNODE 8), with second derivatives, and a distribution "D" over them;
// X's INTERIOR fixed to `interior` ("" leaves it to the domain).
class InteriorRoad : public HostRoad {
 public:
  InteriorRoad(int axes, const std::string& interior, int orderUsed) {
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
      Fix("D.HIGHESTORDER" + name + "DERIVATIVEUSED", TQ_Value(orderUsed, 0u, 0u, 0));
    }
    if (!interior.empty()) Fix("X.INTERIOR", TQ_Value(TQ_IntSetValue(interior.c_str()), 0u, 0u, 0));
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

class InteriorOutsideTheNodes : public ::testing::TestWithParam<int> {};

TEST_P(InteriorOutsideTheNodes, IsRefusedAlikeOverEveryNumberOfAxes) {
  const int axes = GetParam();
  for (const OutsideCase& c : kOutside) {
    const std::string where = std::to_string(axes) + " axes, INTERIOR {" + c.interior + "}";
    InteriorRoad road(axes, c.interior, 2);
    EXPECT_FALSE(road.Cycle()) << where;
    const std::string message = "D: the interior nodes " + std::to_string(c.least) + " to " +
                                std::to_string(c.greatest) +
                                " of the domain X (XDOMAIN) lie outside the domain's nodes 0 to 8 (TQ_Eqn";
    const std::string standing = " stands at node " + std::to_string(c.standsAt) + ")";
    EXPECT_TRUE(road.ErrorMentions(message)) << where << ": " << road.Errors();
    EXPECT_TRUE(road.ErrorMentions(standing)) << where << ": " << road.Errors();
    for (const TQ_DeclaredEquation& e : road.host.Declared()) EXPECT_NE(e.owner, road.distribution) << where;
    EXPECT_TRUE(road.EmittedBy(road.distribution).empty()) << where;

    road.host.ClearErrors();
    EXPECT_EQ(road.distribution->SetUpEquations(), kGridTooShort) << where;
    ASSERT_EQ(road.host.Errors().size(), 1u) << where << ": " << road.Errors();
    EXPECT_EQ(road.host.Errors().front().rfind(message, 0), 0u) << where << ": " << road.Errors();
    int* rows = nullptr;
    int* cols = nullptr;
    TQ_ExecutiveTesting::BeginEmission(road.host, 0, rows, cols);
    EXPECT_EQ(road.distribution->JacPattern(rows, cols, nullptr), kGridTooShort) << where;
    EXPECT_TRUE(road.EmittedBy(road.distribution).empty()) << where;
  }
}

TEST_P(InteriorOutsideTheNodes, AnInteriorWithinTheNodesRuns) {
  const int axes = GetParam();
  for (const char* interior : {"", "1,2,3,4,5,6,7", "4", "0,8"}) {
    const std::string where = std::to_string(axes) + " axes, INTERIOR {" + interior + "}";
    InteriorRoad road(axes, interior, 2);
    EXPECT_TRUE(road.Cycle()) << where << ": " << road.Errors();
    EXPECT_FALSE(road.EmittedBy(road.distribution).empty()) << where;
    std::string difference;
    EXPECT_TRUE(road.host.DeclaredMatchesEmitted(&difference)) << where << ": " << difference;
  }
}

// Without second derivatives no equation stands at the INTERIOR, over any number of axes.
TEST_P(InteriorOutsideTheNodes, RunsWhereNoSecondDerivativeIsUsed) {
  const int axes = GetParam();
  InteriorRoad road(axes, "100", 1);
  EXPECT_TRUE(road.Cycle()) << axes << " axes: " << road.Errors();
  EXPECT_FALSE(road.EmittedBy(road.distribution).empty()) << axes << " axes";
}

INSTANTIATE_TEST_SUITE_P(Axes, InteriorOutsideTheNodes, ::testing::Values(1, 2, 3), [](const auto& info) {
  return std::to_string(info.param) + "D";
});

}  // namespace
}  // namespace morvane::eqn::testing
