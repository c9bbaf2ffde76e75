// The frame of JacPattern of the three distributions, through the host: a negative parent result
// is returned as it is with nothing emitted; a model whose declaration was admitted emits what it
// declared, whatever the host holds since; a refusal that only the emission meets (the model
// changed after its declaration) is told as the declaration tells it.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "distribution/distribution_engine.h"
#include "real_domains.h"

namespace morvane::eqn::testing {
namespace {

// A distribution "D" over `axes` CFD4 domains of two sections each, second derivatives and every
// integral on.
std::unique_ptr<HostRoad> MakeRoad(int axes, TQ_ModelType*& distribution) {
  if (axes == 1) {
    RoadSetup setup = SectionsOf("CFD4", {4, 4}, -1, true);
    setup.domainOrder = 2;
    auto road = std::make_unique<Road>(setup);
    distribution = road->distribution;
    return road;
  }
  AxesSetup setup{std::vector<RoadAxisSetup>(static_cast<std::size_t>(axes), SmallAxis("CFD4", 2))};
  setup.integrals = axes == 2 ? std::vector<std::string>{"idx", "idy", "idxdy"}
                              : std::vector<std::string>{"idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"};
  auto road = std::make_unique<AxesRoad>(setup);
  distribution = road->distribution;
  return road;
}

std::int32_t LocalNonZeroCount(const TQ_ModelType* d) {
  if (const auto* d1 = dynamic_cast<const TQ_DISTRIBUTION1D*>(d)) return d1->LocalNonZeroCount;
  if (const auto* d2 = dynamic_cast<const TQ_DISTRIBUTION2D*>(d)) return d2->LocalNonZeroCount;
  return dynamic_cast<const TQ_DISTRIBUTION3D&>(*d).LocalNonZeroCount;
}

class DistributionFrames : public ::testing::Test {
 protected:
  void TearDown() override { TQ_SizeBudget::SetLimit(0); }
};

TEST_F(DistributionFrames, ANegativeParentResultIsReturnedAsItIsWithNothingEmitted) {
  for (int axes = 1; axes <= 3; ++axes) {
    for (const int parent : {-1, -4, INT_MIN}) {
      const std::string where = std::to_string(axes) + " axes, parent " + std::to_string(parent);
      TQ_ModelType* d = nullptr;
      const std::unique_ptr<HostRoad> road = MakeRoad(axes, d);
      ASSERT_TRUE(road->Cycle()) << where << ": " << road->Errors();
      ASSERT_FALSE(road->EmittedBy(d).empty()) << where;
      TQ_ExecutiveTesting::SetRootJacResult(road->host, parent);
      int* rows = nullptr;
      int* cols = nullptr;
      TQ_ExecutiveTesting::BeginEmission(road->host, road->host.DeclaredNonZeros().size(), rows, cols);
      int* const start = rows;
      EXPECT_EQ(d->JacPattern(rows, cols, nullptr), parent) << where;
      TQ_ExecutiveTesting::SetRootJacResult(road->host, std::nullopt);
      EXPECT_EQ(rows, start) << where;
      EXPECT_TRUE(road->EmittedBy(d).empty()) << where;
      EXPECT_EQ(LocalNonZeroCount(d), 0) << where;
      EXPECT_TRUE(road->host.Errors().empty()) << where << ": " << road->Errors();
    }
  }
}

// Declares, then brings the size budget down to what the host holds, so that nothing more would
// be admitted, changes what `change` changes, and emits.
struct Emission {
  bool ok = false;
  std::string errors;
  std::size_t declared = 0;
  std::size_t emitted = 0;
};
template <class Change>
Emission EmitAfter(HostRoad& road, const TQ_ModelType* d, Change change) {
  Emission out;
  TQ_Executive& host = road.host;
  EXPECT_TRUE(host.RunAssignments(TQ_Executive::CycleOptions())) << road.Errors();
  EXPECT_TRUE(host.RunSetDims()) << road.Errors();
  EXPECT_TRUE(host.RunSetUpEquations()) << road.Errors();
  for (const TQ_DeclaredEquation& e : host.Declared()) out.declared += e.owner == d ? 1 : 0;
  TQ_SizeBudget::SetLimit(TQ_HeapStats::LiveBytes());
  change();
  host.ClearErrors();
  out.ok = host.RunJacPattern();
  out.errors = road.Errors();
  out.emitted = road.EmittedBy(d).size();
  TQ_SizeBudget::SetLimit(0);
  return out;
}

TEST_F(DistributionFrames, AnAdmittedDeclarationIsEmittedWithoutAskingTheBudgetAgain) {
  for (int axes = 1; axes <= 3; ++axes) {
    const std::string where = std::to_string(axes) + " axes";
    TQ_ModelType* d = nullptr;
    const std::unique_ptr<HostRoad> road = MakeRoad(axes, d);
    const Emission e = EmitAfter(*road, d, [] {});
    EXPECT_TRUE(e.ok) << where << ": " << e.errors;
    EXPECT_EQ(e.errors, "") << where;
    EXPECT_GT(e.declared, 0u) << where;
    EXPECT_EQ(e.emitted, e.declared) << where;
    std::string difference;
    EXPECT_TRUE(road->host.DeclaredMatchesEmitted(&difference)) << where << ": " << difference;
  }
}

TEST_F(DistributionFrames, ARefusalOnlyTheEmissionMeetsIsToldAsTheDeclarationTellsIt) {
  // After the declaration: X's second section cut below the method's stencil, or the x order
  // used lowered (other equations than those admitted, which the budget is asked for again).
  const struct {
    const char* path;
    int value;
    std::vector<std::string> fragments;
  } cases[] = {
      {"X.SECTION(2).NODECOUNT",
       1,
       {"D: method \"CFD4\" of the domain X (XDOMAIN): TQ_Eqn", "shorter than the discretization method's stencil"}},
      {"D.HIGHESTORDERXDERIVATIVEUSED", 1, {"D: its arrays and equations: 0 elements and ", "refused"}},
  };
  for (int axes = 1; axes <= 3; ++axes) {
    for (const auto& c : cases) {
      const std::string where = std::to_string(axes) + " axes, " + c.path;
      TQ_ModelType* d = nullptr;
      const std::unique_ptr<HostRoad> road = MakeRoad(axes, d);
      const Emission e = EmitAfter(*road, d, [&] { road->Fix(c.path, TQ_Value(c.value, 0u, 0u, 0)); });
      EXPECT_FALSE(e.ok) << where;
      EXPECT_EQ(e.emitted, 0u) << where;
      // The model says its cause; the host adds no line of its own after it.
      EXPECT_EQ(e.errors.find("JacPattern failed with code"), std::string::npos) << where << ":\n" << e.errors;
      std::size_t at = 0;
      for (const std::string& text : c.fragments) {
        const std::size_t found = e.errors.find(text, at);
        EXPECT_NE(found, std::string::npos) << where << ": no \"" << text << "\" in order in:\n" << e.errors;
        if (found != std::string::npos) at = found + text.size();
      }
    }
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
