// The one-dimensional equation walk: worked call streams, guards, declared against emitted
// equations, and the stencil check.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "distribution/distribution_engine.h"
#include "test_grid.h"

namespace morvane::eqn::testing {
namespace {

constexpr std::int32_t kGroupBase = 40;

// (row, node of the equation's first term) for every emitted equation.
std::vector<std::pair<int, int>> RowsAndSubjects(const Emitted& out) {
  std::vector<std::pair<int, int>> r;
  for (const Equation& e : out.equations) r.push_back({e.row, e.Terms().at(0).index});
  return r;
}

std::vector<int> RowNumbers(const Emitted& out) {
  std::vector<int> r;
  for (const Equation& e : out.equations) r.push_back(e.row);
  return r;
}

const MethodBlock* BlockOf(int row) {
  for (const MethodBlock& b : d1::kBlocks) {
    for (const RowEntry& r : b.rows) {
      if (r.number == row) return &b;
    }
  }
  return nullptr;
}
const RowEntry* EntryOfRow(int row) {
  const MethodBlock* b = BlockOf(row);
  if (b == nullptr) return nullptr;
  for (const RowEntry& r : b->rows) {
    if (r.number == row) return &r;
  }
  return nullptr;
}

// ---- The worked cases ----

// The first equation of a walk: its name, its group and its program as text.
std::vector<std::string> FirstEquation(Grid1D& g) {
  const Emitted out = Emit(g, kGroupBase);
  if (out.equations.empty()) return {};
  const Equation& e = out.equations.front();
  std::vector<std::string> r = {e.name, std::to_string(e.group - kGroupBase)};
  for (const std::string& item : Render(e)) r.push_back(item);
  return r;
}

TEST(WorkedStreams, IntegralStartAndSecondEquation) {
  Grid1D g = Grid1D::Make("BFD1", {4});
  g.orderUsed_ = 0;
  EXPECT_EQ(FirstEquation(g), (std::vector<std::string>{"TQ_Eqn1", "1", "1", "IDX(0)"}));
  g.idx = false;
  g.orderUsed_ = 1;
  EXPECT_EQ(FirstEquation(g),
            (std::vector<std::string>{"TQ_Eqn2", "2", "19", "21", "DDX(0)", "h(1)", "20", "VALUE(0)", "VALUE(1)"}));
  // The same formula on a later section reads that section's nodes and element length.
  Grid1D two = Grid1D::Make("OCFE2", {1, 1});
  two.idx = false;
  const Emitted out = Emit(two, kGroupBase);
  const Equation& later = out.equations.at(4);  // after 61, 62, 63 and 65 of section 1
  EXPECT_EQ(later.name, "TQ_Eqn62");
  EXPECT_EQ(Render(later), (std::vector<std::string>{"19", "21", "DDX(3)", "h(2)", "20", "VALUE(2)", "VALUE(4)"}));
}

TEST(WorkedStreams, Cfd4TwoSectionsOfFourIntervals) {
  Grid1D g = Grid1D::Make("CFD4", {1, 1});
  const Emitted out = Emit(g, kGroupBase);
  const std::vector<std::pair<int, int>> expected = {{1, 0},  {35, 0}, {36, 1}, {37, 2}, {38, 3}, {39, 4}, {36, 5},
                                                     {37, 6}, {38, 7}, {39, 8}, {40, 1}, {41, 2}, {42, 3}, {40, 5},
                                                     {41, 6}, {42, 7}, {43, 4}, {44, 1}, {45, 2}, {46, 3}, {47, 4},
                                                     {44, 5}, {45, 6}, {46, 7}, {47, 8}};
  EXPECT_EQ(RowsAndSubjects(out), expected);
  ASSERT_EQ(out.equations.size(), 25u);
  EXPECT_EQ(out.equations[0].group, kGroupBase + 1);
  for (std::size_t k = 1; k < out.equations.size(); ++k) EXPECT_EQ(out.equations[k].group, kGroupBase + 7);
  // 1 + 7 (35) + 2*7 (36) + 2*6 (37) + 2*7 (38, 39, 40, 41, 42 each) + 7 (43) + 8*7 (44..47).
  EXPECT_EQ(out.TermCount(), 167u);
}

TEST(WorkedStreams, Bfd1SectionsOfThreeAndTwoIntervals) {
  Grid1D g = Grid1D::Make("BFD1", {3, 2});
  const Declared decl = Declare(g, kGroupBase);
  const Emitted out = Emit(g, kGroupBase);
  const std::vector<std::pair<int, int>> expected = {{1, 0},
                                                     {2, 0},
                                                     {3, 1},
                                                     {3, 2},
                                                     {3, 3},
                                                     {3, 4},
                                                     {3, 5},
                                                     {4, 1},
                                                     {4, 2},
                                                     {4, 4},
                                                     {5, 3},
                                                     {6, 1},
                                                     {6, 2},
                                                     {6, 3},
                                                     {6, 4},
                                                     {6, 5}};
  EXPECT_EQ(RowsAndSubjects(out), expected);
  EXPECT_EQ(decl.equations.size(), 16u);
  EXPECT_EQ(decl.TermCount(), 64u);
  EXPECT_EQ(decl.equations[0].group, kGroupBase + 1);
  for (std::size_t k = 1; k < decl.equations.size(); ++k) EXPECT_EQ(decl.equations[k].group, kGroupBase + 2);
}

TEST(WorkedStreams, Ocfe2TwoSectionsOfTwoElements) {
  Grid1D g = Grid1D::Make("OCFE2", {2, 2});
  const std::vector<std::pair<int, int>> sectionRows = {
      {61, 0}, {62, 1}, {63, 2}, {62, 3}, {63, 4}, {65, 1}, {64, 2}, {65, 3}, {66, 1}, {67, 2}, {66, 3}, {67, 4},
      {62, 5}, {63, 6}, {62, 7}, {63, 8}, {64, 4}, {65, 5}, {64, 6}, {65, 7}, {66, 5}, {67, 6}, {66, 7}, {67, 8}};
  std::vector<std::pair<int, int>> expected = {{1, 0}};
  expected.insert(expected.end(), sectionRows.begin(), sectionRows.end());
  const Emitted out = Emit(g, kGroupBase);
  EXPECT_EQ(RowsAndSubjects(out), expected);
  for (std::size_t k = 1; k < out.equations.size(); ++k) EXPECT_EQ(out.equations[k].group, kGroupBase + 9);

  // With HIGHESTORDERXDERIVATIVE 1 the junction rows go, the second-derivative rows stay.
  g.highestOrder_ = 1;
  std::vector<std::pair<int, int>> withoutJunctions;
  for (const auto& r : expected) {
    if (r.first != 64) withoutJunctions.push_back(r);
  }
  EXPECT_EQ(RowsAndSubjects(Emit(g, kGroupBase)), withoutJunctions);
  EXPECT_EQ(withoutJunctions.size(), 22u);
}

TEST(WorkedStreams, ShortSectionsAndEmptyNodeRanges) {
  {
    Grid1D g = Grid1D::Make("BFD1", {5});
    g.idx = false;
    const std::vector<int> rows = {2, 3, 3, 3, 3, 3, 4, 4, 4, 4};
    EXPECT_EQ(RowNumbers(Emit(g)), rows);
  }
  {
    Grid1D g = Grid1D::Make("FFD2", {1});  // two intervals: row 21's range is empty
    g.idx = false;
    g.orderUsed_ = 1;
    EXPECT_EQ(RowNumbers(Emit(g)), (std::vector<int>{20, 22, 23}));
  }
  {
    Grid1D g = Grid1D::Make("CFD4", {1});
    g.idx = false;
    EXPECT_EQ(RowNumbers(Emit(g)), (std::vector<int>{35, 36, 37, 38, 39, 40, 41, 42}));
  }
  {
    Grid1D g = Grid1D::Make("UBFD4", {1});
    g.idx = false;
    EXPECT_EQ(RowNumbers(Emit(g)), (std::vector<int>{48, 49, 50, 51, 52, 53, 54, 55}));
  }
  {
    Grid1D g = Grid1D::Make("OCFE2", {1});
    g.idx = false;
    g.orderUsed_ = 1;
    EXPECT_EQ(RowNumbers(Emit(g)), (std::vector<int>{61, 62, 63}));
  }
  {
    // Order used 0 with "idx": the collocation integral rows still come, section by section.
    Grid1D g = Grid1D::Make("OCFE3", {1, 2});
    g.orderUsed_ = 0;
    EXPECT_EQ(RowsAndSubjects(Emit(g)),
              (std::vector<std::pair<int, int>>{
                  {1, 0}, {75, 1}, {76, 2}, {77, 3}, {75, 4}, {76, 5}, {77, 6}, {75, 7}, {76, 8}, {77, 9}}));
  }
}

// ---- Guards ----

TEST(Guards, MethodNameIgnoresCase) {
  for (const char* method : kMethods) {
    Grid1D upper = Grid1D::Make(method, {2, 1});
    std::string lower = method;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Grid1D other = upper;
    other.methodText = lower;
    Grid1D mixed = upper;
    mixed.methodText = lower;
    mixed.methodText[0] = method[0];
    const auto expected = RowsAndSubjects(Emit(upper));
    EXPECT_GT(expected.size(), 1u) << method;
    EXPECT_EQ(RowsAndSubjects(Emit(other)), expected) << lower;
    EXPECT_EQ(RowsAndSubjects(Emit(mixed)), expected) << mixed.methodText;
  }
}

TEST(Guards, UnknownMethodEmitsOnlyTheIntegralStart) {
  for (const char* method : {"XYZ", "", "BFD", "BFD11", "OCFE5", "CFD4 "}) {
    Grid1D g = Grid1D::Make("CFD4", {1, 1});
    g.methodText = method;
    EXPECT_EQ(RowNumbers(Emit(g)), (std::vector<int>{1})) << '"' << method << '"';
    g.idx = false;
    EXPECT_TRUE(Emit(g).equations.empty()) << '"' << method << '"';
    EXPECT_TRUE(Declare(g).equations.empty());
  }
  EXPECT_FALSE(EqualsIgnoreCase("BFD1", nullptr));
}

TEST(Guards, DerivativeOrderUsedSelectsTheFamilies) {
  for (const char* method : kMethods) {
    for (int used : {0, 1, 2, 3}) {
      Grid1D g = Grid1D::Make(method, {2, 2});
      g.orderUsed_ = used;
      bool first = false;
      bool second = false;
      for (const Equation& e : Emit(g).equations) {
        const RowEntry* r = EntryOfRow(e.row);
        if (r == nullptr) continue;
        first = first || r->family == d1::table::kFirst;
        second = second || r->family == d1::table::kSecond;
      }
      EXPECT_EQ(first, used >= 1) << method << " order used " << used;
      EXPECT_EQ(second, used >= 2) << method << " order used " << used;
    }
  }
}

TEST(Guards, OneSectionHasNoJunctionRows) {
  for (const char* method : kMethods) {
    Grid1D g = Grid1D::Make(method, {3});
    for (const Equation& e : Emit(g).equations) {
      const RowEntry* r = EntryOfRow(e.row);
      if (r == nullptr) continue;
      EXPECT_NE(r->runs, Runs::LaterSections) << method << " TQ_Eqn" << e.row;
      // A collocation junction stands at element starts other than node 0 only.
      if (r->runs == Runs::Junction) {
        EXPECT_NE(e.Terms().at(0).index, 0) << method;
      }
    }
  }
}

TEST(Guards, IntegralSelectionAndWhereItIsRead) {
  for (const char* method : kMethods) {
    Grid1D g = Grid1D::Make(method, {1, 2, 1});
    g.idx = true;
    bool start = false;
    int integralRows = 0;
    for (const Equation& e : Emit(g).equations) {
      start = start || e.row == 1;
      const RowEntry* r = EntryOfRow(e.row);
      integralRows += (r != nullptr && r->family == d1::table::kIntegral) ? 1 : 0;
    }
    EXPECT_TRUE(start) << method;
    EXPECT_EQ(integralRows, g.EndNode()) << method;  // one per interval
    // Read at the integral start, then once per family test: once for a difference block,
    // once per section for a collocation block; the method once per method test.
    EXPECT_EQ(g.integralReads, IsCollocation(method) ? 1 + 3 : 2) << method;
    EXPECT_EQ(g.methodReads, 10) << method;

    g.idx = false;
    for (const Equation& e : Emit(g).equations) {
      const RowEntry* r = EntryOfRow(e.row);
      EXPECT_NE(e.row, 1);
      EXPECT_TRUE(r != nullptr && r->family != d1::table::kIntegral) << method << " TQ_Eqn" << e.row;
    }
  }
}

// ---- Declared and emitted equations agree, and cover every node once ----

TEST(DeclaredAndEmitted, AgreeForEveryMethodOrderSelectionAndSectionCount) {
  const std::vector<std::vector<int>> layouts = {{3}, {2, 1}, {1, 3, 2}};
  int combinations = 0;
  for (const char* method : kMethods) {
    for (int used : {0, 1, 2}) {
      for (bool idx : {false, true}) {
        for (int highest : {1, 2}) {
          for (const auto& layout : layouts) {
            Grid1D g = Grid1D::Make(method, layout, std::vector<double>(layout.size(), 0.75));
            g.orderUsed_ = used;
            g.idx = idx;
            g.highestOrder_ = highest;
            const Declared d = Declare(g, kGroupBase);
            const Emitted e = Emit(g, kGroupBase);
            const std::string where = std::string(method) + " used " + std::to_string(used) + " idx " +
                                      std::to_string(idx) + " highest " + std::to_string(highest) + " sections " +
                                      std::to_string(layout.size());
            ASSERT_EQ(d.equations.size(), e.equations.size()) << where;
            // A count without a walk of every node finds the same size.
            const PlanSize size = MeasurePlan(d1::EquationPlan(), g);
            EXPECT_EQ(size.equations, double(d.equations.size())) << where;
            EXPECT_EQ(size.terms, double(d.TermCount())) << where;
            for (std::size_t k = 0; k < d.equations.size(); ++k) {
              EXPECT_EQ(d.equations[k].row, e.equations[k].row) << where;
              EXPECT_EQ(d.equations[k].group, e.equations[k].group) << where;
              EXPECT_EQ(d.equations[k].Terms(), e.equations[k].Terms()) << where << " equation " << k;
              std::size_t at = 0;  // every emitted program is exactly one expression
              EXPECT_NO_THROW(Evaluate(e.equations[k].program, at, [](const TermRef&) { return 1.0; }));
              EXPECT_EQ(at, e.equations[k].program.size()) << where;
            }

            // What the equations amount to: one first-derivative equation per node,
            // one integral equation per interval (plus the start), second derivatives
            // at the inner points, and the junction equations.
            const int endNode = g.EndNode();
            std::map<int, int> first, second, integral;
            int junctions = 0;
            for (const Equation& q : e.equations) {
              const int subject = q.Terms().at(0).index;
              if (q.row == 1) {
                ++integral[subject];
                continue;
              }
              const RowEntry* r = EntryOfRow(q.row);
              ASSERT_NE(r, nullptr);
              EXPECT_EQ(q.group, kGroupBase + BlockOf(q.row)->group) << where;
              const bool junction = r->runs == Runs::LaterSections || r->runs == Runs::Junction;
              if (junction) {
                ++junctions;
              } else if (r->family == d1::table::kFirst) {
                ++first[subject];
              } else if (r->family == d1::table::kSecond) {
                ++second[subject];
              } else {
                ++integral[subject];
              }
            }
            const int sections = static_cast<int>(layout.size());
            int elements = 0;
            for (int n : layout) elements += n;
            const int points = g.polyPoints;
            EXPECT_EQ(static_cast<int>(first.size()), used >= 1 ? endNode + 1 : 0) << where;
            for (const auto& [node, count] : first) EXPECT_EQ(count, 1) << where << " node " << node;
            EXPECT_EQ(static_cast<int>(integral.size()), idx ? endNode + 1 : 0) << where;
            for (const auto& [node, count] : integral) EXPECT_EQ(count, 1) << where << " node " << node;
            for (const auto& [node, count] : second) EXPECT_EQ(count, 1) << where << " node " << node;
            if (IsCollocation(method)) {
              EXPECT_EQ(static_cast<int>(second.size()), used >= 2 ? elements * points : 0) << where;
              EXPECT_EQ(junctions, used >= 2 && highest == 2 ? elements - 1 : 0) << where;
            } else {
              EXPECT_EQ(static_cast<int>(second.size()), used >= 2 ? endNode - sections : 0) << where;
              EXPECT_EQ(junctions, used >= 2 ? sections - 1 : 0) << where;
            }
            ++combinations;
          }
        }
      }
    }
  }
  EXPECT_EQ(combinations, 10 * 3 * 2 * 2 * 3);
}

// ---- The grid check ----

TEST(GridCheck, GridsBuiltLikeTheDomainsPass) {
  for (const char* method : kMethods) {
    for (const auto& layout : std::vector<std::vector<int>>{{1}, {1, 1}, {2, 1, 3}}) {
      Grid1D g = Grid1D::Make(method, layout);
      const GridFault f = d1::CheckEquationGrid(g);
      EXPECT_FALSE(f.found) << method << ": " << Describe(f);
    }
  }
}

TEST(GridCheck, SectionsShorterThanTheStencilAreFound) {
  {
    // CFD4 needs four intervals per section; two are too few.
    Grid1D g = Grid1D::Make("CFD4", {1, 1});
    g.sections[1].nodeCount = 2;
    g.sections[1].elements = 0;
    const GridFault f = d1::CheckEquationGrid(g);
    ASSERT_TRUE(f.found);
    EXPECT_EQ(f.row, 36);  // the first equation of section 2 reads V(b+3) and V(b+4)
    EXPECT_EQ(f.section, 2);
    EXPECT_EQ(f.index, 7);
    EXPECT_EQ(f.first, 4);
    EXPECT_EQ(f.last, 6);
    const std::string text = Describe(f);
    EXPECT_NE(text.find("TQ_Eqn36"), std::string::npos) << text;
    EXPECT_NE(text.find("node 7"), std::string::npos) << text;
    EXPECT_NE(text.find("4 to 6"), std::string::npos) << text;
  }
  {
    // One interval in BFD1's first section: the forward difference at node 0 fits, the
    // second-derivative rows do not run; in FFD2 the three-point rows overrun.
    Grid1D g = Grid1D::Make("BFD1", {1});
    EXPECT_FALSE(d1::CheckEquationGrid(g).found);
    Grid1D f2 = Grid1D::Make("FFD2", {1});
    f2.sections[0].nodeCount = 1;
    const GridFault f = d1::CheckEquationGrid(f2);
    ASSERT_TRUE(f.found);
    EXPECT_EQ(f.row, 20);
    EXPECT_EQ(f.section, 1);
  }
  {
    // A collocation grid whose point count differs from the method's: elements overrun.
    Grid1D g = Grid1D::Make("OCFE3", {2});
    g.polyPoints = 1;
    g.sections[0].elements = 3;
    g.orderUsed_ = 0;
    const GridFault f = d1::CheckEquationGrid(g);
    ASSERT_TRUE(f.found);
    EXPECT_EQ(f.row, 75);
    EXPECT_GT(f.index, f.last);
  }
  EXPECT_EQ(Describe(GridFault{}), "");
}

TEST(GridCheck, SectionsOutsideTheDomainsNodesAreFoundWhereAnEquationReadsThem) {
  // Nonsense section values: a negative node count, a negative base, a section far past the last
  // node; found with the section, no crash.
  const struct {
    const char* method;
    int base;
    int nodeCount;
    std::int64_t first;  // the section's nodes as found
    std::int64_t last;
  } cases[] = {
      {"BFD2", 0, -5, 0, -5},
      {"OCFE2", -2, 2, -2, 0},
      {"CFD2", 0, 2147483647, 0, 2147483647},
  };
  for (const auto& c : cases) {
    Grid1D g = Grid1D::Make(c.method, {1});
    g.sections[0].base = c.base;
    g.sections[0].nodeCount = c.nodeCount;
    const GridFault f = d1::CheckEquationGrid(g);
    ASSERT_TRUE(f.found) << c.method;
    EXPECT_EQ(f.kind, FaultKind::NodeOutside) << c.method;
    EXPECT_EQ(f.section, 1) << c.method;
    EXPECT_EQ(std::pair(f.first, f.last), std::pair(c.first, c.last)) << c.method;
    EXPECT_EQ(f.end, g.EndNode()) << c.method;
    EXPECT_TRUE(f.index < 0 || f.index > f.end || f.last < f.first) << c.method;
    // With no equation that reads the section, the grid carries all there is.
    g.orderUsed_ = 0;
    g.idx = false;
    EXPECT_FALSE(d1::CheckEquationGrid(g).found) << c.method;
  }
}

TEST(GridCheck, ElementsThatDoNotFillTheirSectionAreFoundWhereElementRowsRun) {
  // A collocation section of two elements holding one more interval, and a CFD4 section of one
  // element of four intervals holding five: their element rows would leave the last node out.
  for (const char* method : {"OCFE3", "CFD4"}) {
    Grid1D g = Grid1D::Make(method, {2});
    ++g.sections[0].nodeCount;
    g.x.push_back(g.x.back() + 1.0);
    const GridFault f = d1::CheckEquationGrid(g);
    ASSERT_TRUE(f.found) << method;
    EXPECT_EQ(f.kind, FaultKind::Unfilled) << method;
    EXPECT_EQ(f.section, 1) << method;
    EXPECT_EQ(f.elements * f.perElement + 1, f.last - f.first) << method;
    // The difference method's derivative rows run over its nodes, not its elements: without
    // its integrals the section carries them.
    g.idx = false;
    EXPECT_EQ(d1::CheckEquationGrid(g).found, IsCollocation(method)) << method;
  }
}

// ---- The size a model may have ----

// The host counts equations and pattern positions in 32 bits: the running count with the model's
// equations, and the model's non-zeros, must each stay at most 2^31-1; sizes beyond 2^53 (where a
// double no longer tells neighbours apart) are refused all the same.
TEST(SizeCheck, EquationsAndNonZerosMustFitTheHostsCounts) {
  constexpr double kMost = 2147483647.0;
  const struct {
    int before;
    double equations;
    double terms;
    bool fits;
  } cases[] = {
      {0, 0, 0, true},
      {0, kMost, kMost, true},
      {1, kMost - 1, 4, true},
      {1, kMost, 4, false},
      {0, 10, kMost + 1, false},
      {2147483647, 0, 0, true},
      {2147483647, 1, 1, false},
      {0, 6440067000.0, 25760268000.0, false},
      {0, 1e300, 1e300, false},
      {-1, 0, 0, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FitsHostCounts(c.before, PlanSize{c.equations, c.terms}), c.fits)
        << c.before << " + " << c.equations << " equations, " << c.terms << " non-zeros";
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
