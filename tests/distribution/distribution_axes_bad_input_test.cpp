// Bad input to the two- and three-dimensional distributions, through the host: a domain link left
// empty, domains whose sections cannot carry their method's equations, a method name the
// distribution does not know and a last node too far out for the host's integers. Each gives a
// clear error and a negative SetUpEquations result, or the equations of the input it stands for;
// none crashes, and no array of the distribution is left holding an element outside its sets.
// (Orders outside 0 to 2 and INTEGRALS names a distribution does not compute are taken as they
// come: distribution_input_as_it_comes_test.cpp.)
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "distribution/distribution_engine.h"
#include "real_domains.h"
#include "host/tq_executive_testing.h"

namespace morvane::eqn::testing {
namespace {

AxesSetup AxesOf(std::vector<RoadAxisSetup> axes, unsigned links = 7u) {
  AxesSetup setup{std::move(axes)};
  setup.links = links;
  return setup;
}

// What a distribution that cannot place its equations leaves: the host told why, once (the cycle
// gives each cause, the text up to its first "; ", once, and no line of its own that repeats the
// failure); nothing of it declared or emitted; asked again, both equation phases answer `code`
// with nothing emitted.
void ExpectRefused(AxesRoad& road, int code, const std::vector<std::string>& fragments, const std::string& where) {
  EXPECT_FALSE(road.Cycle()) << where;
  for (const std::string& fragment : fragments)
    EXPECT_TRUE(road.ErrorMentions(fragment.substr(0, fragment.find("; ")))) << where << ": " << road.Errors();
  EXPECT_FALSE(road.ErrorMentions("failed with code")) << where << ": " << road.Errors();
  for (const TQ_DeclaredEquation& e : road.host.Declared()) EXPECT_NE(e.owner, road.distribution) << where;
  EXPECT_TRUE(road.EmittedBy(road.distribution).empty()) << where;
  EXPECT_EQ(ElementsOutsideTheirSets(road.host, road.distribution), std::vector<std::string>{}) << where;

  road.host.ClearErrors();
  EXPECT_EQ(road.distribution->SetUpEquations(), code) << where;
  // One report: of each empty link, or of the one fault of the grid.
  ASSERT_EQ(road.host.Errors().size(), code == kNoDomain ? fragments.size() : 1u) << where << ": " << road.Errors();
  for (const std::string& fragment : fragments)
    EXPECT_TRUE(road.ErrorMentions(fragment)) << where << ": " << road.Errors();
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::BeginEmission(road.host, 0, rows, cols);
  EXPECT_EQ(road.distribution->JacPattern(rows, cols, nullptr), code) << where;
  EXPECT_TRUE(road.EmittedBy(road.distribution).empty()) << where;
  EXPECT_EQ(road.LocalNonZeroCount(), 0) << where;
}

TEST(DistributionAxesBadInput, AnEmptyDomainLinkIsNamed) {
  const struct {
    int axes;
    unsigned links;
  } cases[] = {{2, 2u}, {2, 1u}, {2, 0u}, {3, 6u}, {3, 5u}, {3, 3u}, {3, 0u}};
  static const char* const kLinks[] = {"XDOMAIN", "YDOMAIN", "ZDOMAIN"};
  for (const auto& c : cases) {
    const std::string where = std::to_string(c.axes) + " axes, links " + std::to_string(c.links);
    std::vector<RoadAxisSetup> axes(static_cast<std::size_t>(c.axes), SmallAxis("CFD4", 2));
    AxesRoad road(AxesOf(axes, c.links));
    // The equation phases name every empty link, in axis order.
    std::vector<std::string> named;
    for (int a = 0; a < c.axes; ++a)
      if ((c.links & (1u << a)) == 0)
        named.push_back(std::string("D: ") + kLinks[a] +
                        " has no domain attached; the distribution's equations cannot be placed");
    ExpectRefused(road, kNoDomain, named, where);
    // Once linked, the same objects run the whole cycle.
    std::string error;
    for (int a = 0; a < c.axes; ++a)
      if ((c.links & (1u << a)) == 0) {
        EXPECT_TRUE(road.Link(a).Attach(road.domains[a], &error)) << error;
      }
    road.host.ClearErrors();
    EXPECT_TRUE(road.Cycle()) << where << ": " << road.Errors();
    EXPECT_FALSE(road.EmittedBy(road.distribution).empty()) << where;
  }
}

TEST(DistributionAxesBadInput, SectionsThatCannotCarryTheMethodAreNamedWithTheirDomainAndLink) {
  const struct {
    int axes;
    int axis;  // the axis whose domain is at fault; the others are sound
    RoadAxisSetup bad;
    std::vector<std::pair<std::string, int>> fixes;
    std::vector<std::string> fragments;
  } cases[] = {
      // A second section of two intervals under rows that reach four.
      {2,
       1,
       {"CFD4", {4, 2}, 2},
       {},
       {"method \"CFD4\" of the domain Y (YDOMAIN)", "shorter than the discretization method's stencil"}},
      {3,
       2,
       {"UBFD4", {3}, 2},
       {},
       {"method \"UBFD4\" of the domain Z (ZDOMAIN)", "shorter than the discretization method's stencil"}},
      // Sections beyond the domain's last node.
      {2,
       0,
       {"BFD1", {4, 4}, 2},
       {{"X.ENDNODE", 5}},
       {"section 2 of the domain X (XDOMAIN) covers the nodes 4 to 8, outside the domain's nodes 0 to 5"}},
      // Y's interior follows its sections past its last node: the x rows of the second
      // derivatives would stand there first.
      {3,
       1,
       {"BFD2", {4, 4}, 2},
       {{"Y.SECTION(2).BASE", 9}},
       {"the interior nodes 1 to 12 of the domain Y (YDOMAIN) lie outside the domain's nodes 0 to 8 (TQ_Eqn35 "
        "stands at node 12)"}},
      {3,
       2,
       {"BFD1", {4}, 2},
       {{"Z.SECTION(1).BASE", -2}},
       {"section 1 of the domain Z (ZDOMAIN) covers the nodes -2 to 2, outside the domain's nodes 0 to 4"}},
      // Sections that their elements do not fill.
      {2,
       1,
       {"OCFE3", {4, 3}, 2},
       {},
       {"section 1 of the domain Y (YDOMAIN) has 4 intervals but NUMELEMENTS 1 of 3 intervals each: the elements do "
        "not fill the section"}},
      {3,
       2,
       {"CFD4", {5}, 2},
       {},
       {"section 1 of the domain Z (ZDOMAIN) has 5 intervals but NUMELEMENTS 1 of 4 intervals each"}},
      {3,
       0,
       {"OCFE3", {9}, 2},
       {{"X.SECTION(1).NUMELEMENTS", -3}},
       {"section 1 of the domain X (XDOMAIN) has 9 intervals but NUMELEMENTS -3 of 3 intervals each"}},
      {3,
       1,
       {"OCFE2", {6}, 2},
       {{"Y.SECTION(1).NUMELEMENTS", 2}},
       {"section 1 of the domain Y (YDOMAIN) has 6 intervals but NUMELEMENTS 2 of 2 intervals each"}},
  };
  for (const auto& c : cases) {
    const std::string where = std::to_string(c.axes) + " axes, " + c.bad.method + " on axis " + std::to_string(c.axis);
    std::vector<RoadAxisSetup> axes(static_cast<std::size_t>(c.axes), SmallAxis("BFD2", 2));
    axes[static_cast<std::size_t>(c.axis)] = c.bad;
    AxesSetup setup = AxesOf(axes);
    setup.fixes = c.fixes;
    // Every family runs, the integrals' element rows among them.
    setup.integrals = c.axes == 2 ? std::vector<std::string>{"idx", "idy", "idxdy"}
                                  : std::vector<std::string>{"idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"};
    AxesRoad road(setup);
    ExpectRefused(road, kGridTooShort, c.fragments, where);
  }
}

TEST(DistributionAxesBadInput, AnUnknownMethodGivesNoBlockAlongItsAxisAndNoError) {
  for (int axes : {2, 3}) {
    for (int unknown = 0; unknown < axes; ++unknown) {
      const std::string where = std::to_string(axes) + " axes, unknown along " + kDomainNames[unknown];
      std::vector<RoadAxisSetup> setups(static_cast<std::size_t>(axes), SmallAxis("OCFE2", 2));
      setups[static_cast<std::size_t>(unknown)].method.clear();  // left to the domain
      AxesSetup setup = AxesOf(setups);
      setup.integrals =
          axes == 2 ? std::vector<std::string>{"idx", "idy"} : std::vector<std::string>{"idx", "idy", "idz"};
      AxesRoad road(setup);
      // The domain's method changes once the assignments are made, to a name no block has.
      ASSERT_TRUE(road.host.RunAssignments(TQ_Executive::CycleOptions())) << where << ": " << road.Errors();
      road.domains[unknown]->DISCRETIZATIONMETHOD.SetCurrentValue("RK4");
      EXPECT_TRUE(road.host.RunSetDims()) << where;
      EXPECT_TRUE(road.host.RunSetUpEquations()) << where;
      EXPECT_TRUE(road.host.RunJacPattern()) << where;
      EXPECT_TRUE(road.host.Errors().empty()) << where << ": " << road.Errors();
      std::string difference;
      EXPECT_TRUE(road.host.DeclaredMatchesEmitted(&difference)) << where << ": " << difference;
      EXPECT_EQ(ElementsOutsideTheirSets(road.host, road.distribution), std::vector<std::string>{}) << where;
      // The other axes' blocks are there; no block runs along the unknown axis.
      std::vector<int> perAxis(static_cast<std::size_t>(axes), 0);
      for (const RoadEquation& e : road.Equations()) {
        const int block = road.RowNumbering().BlockOf(e.row);
        if (block >= 0) ++perAxis[static_cast<std::size_t>(block % axes)];
      }
      for (int a = 0; a < axes; ++a)
        EXPECT_EQ(perAxis[static_cast<std::size_t>(a)] == 0, a == unknown) << where << ", axis " << a;
    }
  }
}

TEST(DistributionAxesBadInput, AnEndNodeBeyondTheHostsIntegersIsRefusedBeforeAnySetIsMade) {
  // ENDNODE fixed where 0 .. ENDNODE, or an unselected integral's 0 .. -ENDNODE, would not fit
  // the host's integers: named in the assignments, which hand over no set, and when declaring.
  for (int axes : {2, 3}) {
    for (const int end : {INT_MIN, -INT_MAX, INT_MAX}) {
      const std::string where = std::to_string(axes) + " axes, ENDNODE " + std::to_string(end);
      AxesSetup setup = AxesOf(std::vector<RoadAxisSetup>(static_cast<std::size_t>(axes), SmallAxis("BFD1", 2)));
      setup.fixes = {{"Y.ENDNODE", end}};
      AxesRoad road(setup);
      const std::string fragment = "D: the domain Y (YDOMAIN) has ENDNODE " + std::to_string(end) +
                                   ": index sets over the nodes 0 to ENDNODE would not fit the host's 32-bit "
                                   "integers (ENDNODE must lie within -2147483646 to 2147483646)";
      TQ_ExecutiveTesting::EnableLog(road.host, true);
      EXPECT_EQ(road.distribution->ExecuteAssignments(10, 1), kGridTooShort) << where;
      TQ_ExecutiveTesting::EnableLog(road.host, false);
      for (const TQ_LogEntry& entry : TQ_ExecutiveTesting::Log(road.host))
        EXPECT_NE(entry.target->Owner(), road.distribution) << where;
      EXPECT_TRUE(road.ErrorMentions(fragment + "; the distribution's index sets and assignments cannot be computed"))
          << where << ": " << road.Errors();
      road.host.ClearErrors();
      ExpectRefused(road, kGridTooShort, {fragment + "; its equations are not declared"}, where);
    }
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
