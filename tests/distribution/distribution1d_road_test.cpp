// The whole road: a domain and a distribution made by the factories, linked, and run through the
// host's model cycle. The worked call streams, the guards, the frames of SetUpEquations and
// JacPattern, and the errors of a distribution that cannot place its equations.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "real_domain.h"
#include "host/tq_executive_testing.h"

namespace morvane::eqn::testing {
namespace {

// (row, node of the equation's subject, its first term) for every equation.
std::vector<std::pair<int, int>> Subjects(const std::vector<Equation>& equations) {
  std::vector<std::pair<int, int>> out;
  for (const Equation& e : equations) out.push_back({e.row, e.Terms().at(0).index});
  return out;
}

std::vector<int> Rows(const std::vector<Equation>& equations) {
  std::vector<int> out;
  for (const Equation& e : equations) out.push_back(e.row);
  return out;
}

bool AnyErrorContains(const Road& road, const std::string& text) {
  for (const std::string& e : road.host.Errors())
    if (e.find(text) != std::string::npos) return true;
  return false;
}

// ---- The whole road and the worked streams ----

TEST(Distribution1DRoad, FactoriesLinkAndCycleGiveTheMethodsEquations) {
  Road road(EveryFamily("CFD4"));
  ASSERT_TRUE(road.Cycle()) << road.Errors();
  EXPECT_TRUE(road.host.Errors().empty()) << road.Errors();
  // One section: NODECOUNT 8 rounded to whole elements of four intervals, ENDNODE 8.
  ASSERT_EQ(road.domain->ENDNODE.v(), 8);
  const std::vector<Equation> equations = road.RecordedEquations();
  // TQ_Eqn1; first derivatives at nodes 0 .. 8; second derivatives at 1 .. 7; integrals 1 .. 8.
  EXPECT_EQ(equations.size(), 1u + 9u + 7u + 8u);
  std::string difference;
  EXPECT_TRUE(road.host.DeclaredMatchesEmitted(&difference)) << difference;
  EXPECT_EQ(static_cast<std::size_t>(road.host.PatternEntriesWritten()), road.host.DeclaredNonZeros().size());
  EXPECT_EQ(road.distribution->LocalEqnCount, static_cast<int>(equations.size()));
  EXPECT_EQ(road.distribution->LocalNonZeroCount, road.host.PatternEntriesWritten());
  // The emission is the walk over the grid that the domain computed.
  Grid1D grid = road.Grid();
  const Emitted expected = Emit(grid);
  ASSERT_EQ(equations.size(), expected.equations.size());
  for (std::size_t k = 0; k < equations.size(); ++k) {
    EXPECT_EQ(equations[k].name, expected.equations[k].name) << k;
    EXPECT_EQ(equations[k].group, expected.equations[k].group) << k;
    EXPECT_EQ(Render(equations[k]), Render(expected.equations[k])) << k;
  }
}

TEST(Distribution1DStreams, IntegralStartIsOpOneOnIdxZeroAtTheParentsCount) {
  RoadSetup setup;
  setup.idx = true;
  Road road(setup);
  ASSERT_TRUE(road.Cycle()) << road.Errors();
  // The distribution's JacPattern on its own, after a parent that reports 5 equations.
  TQ_ExecutiveTesting::SetRootJacResult(road.host, 5);
  int* rowsCursor = nullptr;
  int* colsCursor = nullptr;
  TQ_ExecutiveTesting::BeginEmission(road.host, road.host.DeclaredNonZeros().size(), rowsCursor, colsCursor);
  int* const start = rowsCursor;
  const int result = road.distribution->JacPattern(rowsCursor, colsCursor, nullptr);
  TQ_ExecutiveTesting::SetRootJacResult(road.host, std::nullopt);
  const auto emitted = road.Emitted();
  ASSERT_FALSE(emitted.empty());
  EXPECT_EQ(result, 5 + static_cast<int>(emitted.size()));
  const TQ_EmittedEquation& first = *emitted.front();
  EXPECT_STREQ(road.host.EquationName(first), "TQ_Eqn1");
  EXPECT_EQ(first.group, road.distribution->FirstGroup + 1);
  ASSERT_EQ(first.itemCount, 2u);
  const TQ_ProgramItem& op = road.host.Items()[first.firstItem];
  const TQ_ProgramItem& term = road.host.Items()[first.firstItem + 1];
  EXPECT_EQ(op.kind, TQ_ProgramItem::Op);
  EXPECT_EQ(op.code, 1);
  EXPECT_EQ(term.kind, TQ_ProgramItem::Term);
  EXPECT_EQ(term.term, &road.distribution->IDX(0));
  EXPECT_EQ(road.host.PatternRows().front(), 5);  // the equation's index is the parent's count
  EXPECT_EQ(road.host.PatternColumns().front(), road.distribution->IDX(0).Column());
  EXPECT_EQ(rowsCursor - start, road.host.PatternEntriesWritten());
  EXPECT_EQ(road.distribution->LocalNonZeroCount, road.host.PatternEntriesWritten());
}

TEST(Distribution1DStreams, SecondEquationOfBfd1) {
  RoadSetup setup;
  setup.orderUsed = 1;
  Road road(setup);
  ASSERT_TRUE(road.Cycle()) << road.Errors();
  const auto emitted = road.Emitted();
  ASSERT_FALSE(emitted.empty());
  const Equation first = road.Recorded(*emitted.front(), road.TermMap());
  EXPECT_EQ(first.name, "TQ_Eqn2");
  EXPECT_EQ(first.group, 2);
  EXPECT_EQ(Render(first), (std::vector<std::string>{"19", "21", "DDX(0)", "h(1)", "20", "VALUE(0)", "VALUE(1)"}));
  EXPECT_EQ(road.host.Infix(*emitted.front()), "DDX(0)*X.SECTION(1).ELEMENTLENGTH+(VALUE(0)-VALUE(1))");
}

TEST(Distribution1DStreams, Cfd4TwoSectionsOfFourIntervals) {
  Road road(SectionsOf("CFD4", {4, 4}, 2, true));
  ASSERT_TRUE(road.Cycle()) << road.Errors();
  const std::vector<Equation> equations = road.RecordedEquations();
  const std::vector<std::pair<int, int>> expected = {{1, 0},  {35, 0}, {36, 1}, {37, 2}, {38, 3}, {39, 4}, {36, 5},
                                                     {37, 6}, {38, 7}, {39, 8}, {40, 1}, {41, 2}, {42, 3}, {40, 5},
                                                     {41, 6}, {42, 7}, {43, 4}, {44, 1}, {45, 2}, {46, 3}, {47, 4},
                                                     {44, 5}, {45, 6}, {46, 7}, {47, 8}};
  EXPECT_EQ(Subjects(equations), expected);
  ASSERT_EQ(equations.size(), 25u);
  EXPECT_EQ(equations.front().group, 1);
  for (std::size_t k = 1; k < equations.size(); ++k) EXPECT_EQ(equations[k].group, 7) << k;
}

TEST(Distribution1DStreams, Bfd1SectionsOfThreeAndTwoIntervals) {
  Road road(SectionsOf("BFD1", {3, 2}, 2, true));
  ASSERT_TRUE(road.Cycle()) << road.Errors();
  const std::vector<Equation> equations = road.RecordedEquations();
  EXPECT_EQ(Rows(equations), (std::vector<int>{1, 2, 3, 3, 3, 3, 3, 4, 4, 4, 5, 6, 6, 6, 6, 6}));
  std::size_t nonZeros = 0;
  for (const Equation& e : equations) nonZeros += e.Terms().size();
  EXPECT_EQ(nonZeros, 64u);
  EXPECT_EQ(road.distribution->LocalEqnCount, 16);
  EXPECT_EQ(road.distribution->LocalNonZeroCount, 64);
  // TQ_Eqn5 stands for section 2's first node.
  EXPECT_EQ(equations[10].Terms().at(0).index, 3);
  // SetLocalEqnCount receives the parent's count plus 16, and its answer is the result.
  TQ_ExecutiveTesting::SetRootSetUpResult(road.host, 5);
  EXPECT_EQ(road.distribution->SetUpEquations(), 21);
  TQ_ExecutiveTesting::SetLocalEqnCountResult(road.host, 99);
  EXPECT_EQ(road.distribution->SetUpEquations(), 99);
  TQ_ExecutiveTesting::SetLocalEqnCountResult(road.host, std::nullopt);
  TQ_ExecutiveTesting::SetRootSetUpResult(road.host, std::nullopt);
  EXPECT_EQ(road.distribution->LocalEqnCount, 16);
}

RoadSetup Ocfe2TwoSectionsOfTwoElementsSetup(int highestOrder) {
  RoadSetup setup = SectionsOf("OCFE2", {4, 4}, 2, true);
  setup.domainOrder = 2;
  setup.highestOrder = highestOrder;
  return setup;
}

TEST(Distribution1DStreams, Ocfe2TwoSectionsOfTwoElements) {
  Road road(Ocfe2TwoSectionsOfTwoElementsSetup(2));
  ASSERT_TRUE(road.Cycle()) << road.Errors();
  std::vector<Equation> equations = road.RecordedEquations();
  ASSERT_FALSE(equations.empty());
  EXPECT_EQ(equations.front().row, 1);
  equations.erase(equations.begin());
  const std::vector<std::pair<int, int>> expected = {
      {61, 0}, {62, 1}, {63, 2}, {62, 3}, {63, 4}, {65, 1}, {64, 2}, {65, 3}, {66, 1}, {67, 2}, {66, 3}, {67, 4},
      {62, 5}, {63, 6}, {62, 7}, {63, 8}, {64, 4}, {65, 5}, {64, 6}, {65, 7}, {66, 5}, {67, 6}, {66, 7}, {67, 8}};
  EXPECT_EQ(Subjects(equations), expected);
  for (const Equation& e : equations) EXPECT_EQ(e.group, 9) << e.name;
  // The domain's interior holds exactly the collocation points, as D2DX2's set.
  std::vector<int> d2;
  const TQ_SetValue& set = road.distribution->TQ_D2DX2_SET1.v();
  for (int p = 0; p < set.SetSize(); ++p) d2.push_back(set.IntegerAt(p));
  EXPECT_EQ(d2, (std::vector<int>{1, 3, 5, 7}));
}

TEST(Distribution1DStreams, Ocfe2WithFirstOrderHasNoJunctionRows) {
  Road road(Ocfe2TwoSectionsOfTwoElementsSetup(1));
  ASSERT_TRUE(road.Cycle()) << road.Errors();
  std::vector<Equation> equations = road.RecordedEquations();
  ASSERT_FALSE(equations.empty());
  equations.erase(equations.begin());
  const std::vector<std::pair<int, int>> expected = {{61, 0}, {62, 1}, {63, 2}, {62, 3}, {63, 4}, {65, 1}, {65, 3},
                                                     {66, 1}, {67, 2}, {66, 3}, {67, 4}, {62, 5}, {63, 6}, {62, 7},
                                                     {63, 8}, {65, 5}, {65, 7}, {66, 5}, {67, 6}, {66, 7}, {67, 8}};
  EXPECT_EQ(Subjects(equations), expected);
}

TEST(Distribution1DStreams, Ocfe2OneElementFirstDerivativesOnly) {
  Road road(SectionsOf("OCFE2", {2}, 1, false));
  ASSERT_TRUE(road.Cycle()) << road.Errors();
  const std::vector<Equation> equations = road.RecordedEquations();
  EXPECT_EQ(Subjects(equations), (std::vector<std::pair<int, int>>{{61, 0}, {62, 1}, {63, 2}}));
}

// ---- Guards ----

TEST(Distribution1DGuards, MethodNameInAnyCaseSelectsTheSameBlock) {
  std::vector<std::vector<std::string>> streams;
  for (const char* method : {"CFD4", "cfd4", "Cfd4"}) {
    Road road(EveryFamily(method));
    ASSERT_TRUE(road.Cycle()) << method << ": " << road.Errors();
    std::vector<std::string> stream;
    for (const Equation& e : road.RecordedEquations()) {
      stream.push_back(e.name + "@" + std::to_string(e.group));
      for (const std::string& item : Render(e)) stream.push_back(item);
    }
    streams.push_back(stream);
  }
  EXPECT_FALSE(streams[0].empty());
  EXPECT_EQ(streams[1], streams[0]);
  EXPECT_EQ(streams[2], streams[0]);
}

TEST(Distribution1DGuards, OrderUsedAndIntegralsChooseTheFamilies) {
  for (int used : {0, 1, 2}) {
    for (bool idx : {false, true}) {
      RoadSetup setup;
      setup.method = "BFD2";
      setup.sections = 2;
      setup.orderUsed = used;
      setup.idx = idx;
      Road road(setup);
      ASSERT_TRUE(road.Cycle()) << road.Errors();
      bool first = false, second = false, integral = false, start = false;
      for (const Equation& e : road.RecordedEquations()) {
        const std::uint8_t subject = e.Terms().at(0).array;
        start |= e.row == 1;
        integral |= e.row != 1 && subject == d1::kIdx;
        second |= subject == d1::kD2dx2 || e.row == 11;
        first |= subject == d1::kDdx && e.row != 11;
      }
      const std::string where = "used " + std::to_string(used) + (idx ? " with idx" : " without idx");
      EXPECT_EQ(first, used >= 1) << where;
      EXPECT_EQ(second, used >= 2) << where;
      EXPECT_EQ(integral, idx) << where;
      EXPECT_EQ(start, idx) << where;
      if (used == 0 && !idx) {
        EXPECT_EQ(road.distribution->LocalEqnCount, 0);
        EXPECT_EQ(road.distribution->LocalNonZeroCount, 0);
      }
    }
  }
}

TEST(Distribution1DGuards, OneSectionHasNoJunctionRows) {
  for (const char* method : kMethods) {
    Road road(EveryFamily(method));
    ASSERT_TRUE(road.Cycle()) << method << ": " << road.Errors();
    for (const Equation& e : road.RecordedEquations()) {
      for (int junction : {5, 11, 18, 25, 32, 43, 56}) EXPECT_NE(e.row, junction) << method;
    }
  }
}

// ---- Frames ----

TEST(Distribution1DFrames, NegativeParentEndsSetUpEquationsAtOnce) {
  Road road;
  ASSERT_TRUE(road.Cycle()) << road.Errors();
  road.distribution->FirstGroup = 123;
  road.distribution->LocalEqnCount = 456;
  const std::size_t declaredBefore = road.host.Declared().size();
  TQ_ExecutiveTesting::SetRootSetUpResult(road.host, -1);
  EXPECT_EQ(road.distribution->SetUpEquations(), -1);
  TQ_ExecutiveTesting::SetRootSetUpResult(road.host, std::nullopt);
  EXPECT_EQ(road.distribution->FirstGroup, 123);
  EXPECT_EQ(road.distribution->LocalEqnCount, 456);
  EXPECT_EQ(road.host.Declared().size(), declaredBefore);
}

TEST(Distribution1DFrames, NegativeParentEndsJacPatternWithNothingEmitted) {
  RoadSetup setup;
  setup.idx = true;
  Road road(setup);
  ASSERT_TRUE(road.Cycle()) << road.Errors();
  TQ_ExecutiveTesting::SetRootJacResult(road.host, -4);
  int* rowsCursor = nullptr;
  int* colsCursor = nullptr;
  TQ_ExecutiveTesting::BeginEmission(road.host, road.host.DeclaredNonZeros().size(), rowsCursor, colsCursor);
  int* const start = rowsCursor;
  EXPECT_EQ(road.distribution->JacPattern(rowsCursor, colsCursor, nullptr), -4);
  TQ_ExecutiveTesting::SetRootJacResult(road.host, std::nullopt);
  EXPECT_EQ(rowsCursor, start);
  EXPECT_TRUE(road.Emitted().empty());
  EXPECT_EQ(road.distribution->LocalNonZeroCount, 0);
}

TEST(Distribution1DFrames, GroupsFollowTheHostsRunningGroup) {
  RoadSetup setup;
  setup.method = "CFD4";
  setup.idx = true;
  Road road(setup);
  ASSERT_TRUE(road.host.RunAssignments(TQ_Executive::CycleOptions()));
  ASSERT_TRUE(road.host.RunSetDims());
  TQ_ModelType::m_stLastGroup = 40;
  const std::size_t before = road.host.Declared().size();
  const int count = road.distribution->SetUpEquations();
  EXPECT_EQ(road.distribution->FirstGroup, 40);
  EXPECT_EQ(count - 0, static_cast<int>(road.host.Declared().size() - before));
  EXPECT_EQ(TQ_ModelType::m_stLastGroup, 40);  // read, never written
  for (std::size_t k = before; k < road.host.Declared().size(); ++k) {
    const int group = road.host.Declared()[k].group;
    EXPECT_TRUE(group == 41 || group == 47) << group;
  }
}

// ---- A distribution that cannot place its equations ----

TEST(Distribution1DErrors, SectionsShorterThanTheStencilAreReported) {
  // (Collocation elements shorter than their rows come only of a NUMPOLYPOINTS off the method's,
  // which is refused as such: method_points_test.cpp.)
  struct Case {
    const char* method;
    std::vector<int> nodeCounts;
  };
  const Case cases[] = {
      {"CFD4", {4, 2}},  // the second section has two intervals, the stencil needs four
      {"UBFD4", {3}},
      {"BFD2", {1}},
  };
  for (const Case& c : cases) {
    Road road(SectionsOf(c.method, c.nodeCounts, -1, true));
    EXPECT_FALSE(road.Cycle()) << c.method;
    EXPECT_TRUE(AnyErrorContains(road, "shorter than the discretization method's stencil")) << road.Errors();
    EXPECT_TRUE(AnyErrorContains(road, "TQ_Eqn")) << road.Errors();
    EXPECT_TRUE(road.Emitted().empty()) << c.method;
    for (const TQ_DeclaredEquation& e : road.host.Declared()) EXPECT_NE(e.owner, road.distribution) << c.method;
    EXPECT_EQ(road.distribution->SetUpEquations(), TQ_DISTRIBUTION1D::kGridTooShort) << c.method;
    int* rowsCursor = nullptr;
    int* colsCursor = nullptr;
    TQ_ExecutiveTesting::BeginEmission(road.host, 0, rowsCursor, colsCursor);
    EXPECT_EQ(road.distribution->JacPattern(rowsCursor, colsCursor, nullptr), TQ_DISTRIBUTION1D::kGridTooShort)
        << c.method;
    EXPECT_TRUE(road.Emitted().empty()) << c.method;
  }
}

TEST(Distribution1DErrors, SectionsTheirElementsDoNotFillAreReportedWhereElementRowsRun) {
  const struct {
    const char* method;
    std::vector<int> nodeCounts;
    const char* message;
  } cases[] = {
      {"OCFE3", {4, 3}, "section 1 of the domain X (XDOMAIN) has 4 intervals but NUMELEMENTS 1 of 3 intervals each"},
      {"CFD4", {4, 5}, "section 2 of the domain X (XDOMAIN) has 5 intervals but NUMELEMENTS 1 of 4 intervals each"},
  };
  for (const auto& c : cases) {
    Road road(SectionsOf(c.method, c.nodeCounts, -1, true));
    EXPECT_FALSE(road.Cycle()) << c.method;
    EXPECT_TRUE(AnyErrorContains(road, c.message)) << road.Errors();
    EXPECT_TRUE(road.Emitted().empty()) << c.method;
    EXPECT_EQ(road.distribution->SetUpEquations(), TQ_DISTRIBUTION1D::kGridTooShort) << c.method;
    // Without the integrals a difference method runs no element rows: its rows run over the
    // nodes and carry the section. A collocation method's derivative rows run over its elements.
    Road without(SectionsOf(c.method, c.nodeCounts, -1, false));
    EXPECT_EQ(without.Cycle(), !IsCollocation(c.method)) << c.method << ": " << without.Errors();
    EXPECT_EQ(AnyErrorContains(without, c.message), IsCollocation(c.method)) << without.Errors();
  }
}

TEST(Distribution1DErrors, SectionsOutsideTheDomainsNodesAreReportedWhereEquationsReadThem) {
  Road road;
  road.Fix("X.ENDNODE", TQ_Value(3, 0u, 0u, 0));
  EXPECT_FALSE(road.Cycle());
  EXPECT_TRUE(AnyErrorContains(road, "outside the domain's nodes 0 to 3")) << road.Errors();
  EXPECT_TRUE(road.Emitted().empty());
  // With no equation of its own, the distribution reads no section.
  RoadSetup noEquations;
  noEquations.orderUsed = 0;
  Road none(noEquations);
  none.Fix("X.ENDNODE", TQ_Value(3, 0u, 0u, 0));
  EXPECT_TRUE(none.Cycle()) << none.Errors();
  EXPECT_TRUE(none.Emitted().empty());
}

}  // namespace
}  // namespace morvane::eqn::testing
