// The code compiled for each catalogue formula, and the walk's reading ahead: rows reach their
// formula's code through the catalogue, and a context that reads ahead is told of every element
// a loop will name before the loop gets there, without any change to what is handed on.
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "test_grid.h"

namespace morvane::eqn::testing {
namespace {

TEST(RowCode, EveryFormulaHasItsPlaceInTheCatalogue) {
  for (std::size_t k = 0; k < formulas::kCatalogueSize; ++k) EXPECT_EQ(formulas::PlaceOf(&formulas::kCatalogue[k]), k);
  EXPECT_EQ(formulas::PlaceOf(&formulas::d1_five_central_i),
            static_cast<std::size_t>(formulas::Place::d1_five_central_i));
  EXPECT_EQ(formulas::PlaceOf(nullptr), formulas::kCatalogueSize);
  const Formula copy = formulas::d1_backward2_i;  // the same program, but not the catalogue's
  EXPECT_EQ(formulas::PlaceOf(&copy), formulas::kCatalogueSize);
  static_assert(formulas::PlaceOf(&formulas::ocfe4_integral_j4) == formulas::kCatalogueSize - 1);
}

// A node loop over one row: i = 1 .. 3 of a grid of one section of BFD1.
std::vector<PlanNode> LoopOver(const Formula& f) {
  std::vector<PlanNode> plan(3);
  plan[0].step = Step::ForSections;
  plan[0].end = 3;
  plan[1].step = Step::ForNodes;
  plan[1].lo = Index{Origin::Zero, 1};
  plan[1].hi = Index{Origin::Zero, 3};
  plan[1].end = 3;
  plan[2].step = Step::Row;
  plan[2].row = 3;
  plan[2].formula = &f;
  plan[2].binding = Bind(d1::kValue, d1::kDdx, d1::kD2dx2, d1::kIdx);
  plan[2].end = 3;
  return plan;
}

TEST(RowCode, RowsOutsideTheCatalogueHandNothingOn) {
  Grid1D grid = Grid1D::Make("BFD1", {4});
  Emitted fromCatalogue;
  WalkPlan(LoopOver(formulas::d1_backward2_i), grid, fromCatalogue, 0);
  ASSERT_EQ(fromCatalogue.equations.size(), 3u);
  EXPECT_EQ(Render(fromCatalogue.equations[0]),
            (std::vector<std::string>{"19", "21", "DDX(1)", "h(1)", "20", "VALUE(0)", "VALUE(1)"}));

  const ParsedFormula parsed = ParseFormula("D(i)*h+(V(i-1)-V(i))");
  ASSERT_EQ(parsed.error, FormulaError::None);
  Emitted outside;
  WalkPlan(LoopOver(parsed.formula), grid, outside, 0);
  EXPECT_TRUE(outside.equations.empty());
}

TEST(RowCode, LoopsKnowTheArraysTheirRowsRead) {
  const std::span<const PlanNode> plan = d1::EquationPlan();
  int loops = 0;
  for (std::size_t n = 0; n < plan.size(); ++n) {
    const PlanNode& loop = plan[n];
    if (loop.step != Step::ForNodes && loop.step != Step::ForElementStart) {
      EXPECT_EQ(loop.reads, 0u) << "step " << n;
      continue;
    }
    ++loops;
    std::uint32_t expected = 0;
    for (std::size_t k = n + 1; k < loop.end; ++k) {
      if (plan[k].step != Step::Row) continue;
      for (std::size_t t = 0; t < plan[k].formula->termCount; ++t) {
        const Item& term = plan[k].formula->Term(t);
        if (term.role != Role::Step) expected |= 1u << static_cast<unsigned>(term.role);
      }
    }
    EXPECT_NE(loop.reads, 0u) << "loop " << n;
    EXPECT_EQ(loop.reads, expected) << "loop " << n;
  }
  EXPECT_GT(loops, 20);
}

// A grid whose context is told what the walk names next.
struct ReadingAhead : Grid1D {
  std::set<std::pair<std::uint8_t, std::int32_t>> asked;
  int calls = 0;
  bool large = true;
  bool ReadsAhead() const { return large; }
  std::set<std::pair<std::uint8_t, std::int32_t>> slotsAsked;
  void ReadAhead(std::uint8_t array, const Coord& at) {
    ++calls;
    asked.insert({array, at[0]});
  }
  // The slot of an element is asked for before the element itself.
  int slotCalls = 0;
  void ReadSlotAhead(std::uint8_t array, const Coord& at) {
    ++slotCalls;
    slotsAsked.insert({array, at[0]});
  }
};

TEST(ReadAhead, EveryElementALoopNamesIsAskedFor) {
  for (const char* method : {"CFD4", "BFD1", "OCFE2", "OCFE4", "UBFD4"}) {
    SCOPED_TRACE(method);
    const Grid1D plain = Grid1D::Make(method, {80});
    ReadingAhead grid;
    static_cast<Grid1D&>(grid) = plain;
    Grid1D copy = plain;

    // Emission through a context that reads ahead hands on exactly the same equations.
    const Emitted told = Emit(grid);
    const Emitted untold = Emit(copy);
    ASSERT_EQ(told.equations.size(), untold.equations.size());
    for (std::size_t e = 0; e < told.equations.size(); ++e)
      EXPECT_EQ(Render(told.equations[e]), Render(untold.equations[e]));
    EXPECT_GT(grid.calls, 0);

    // Every variable named from node 24 on (past the start of every loop and the reach of
    // the first rows' stencils) was asked for; nothing below node 0 ever was.
    std::size_t checked = 0;
    std::size_t slotsChecked = 0;
    for (const Equation& e : told.equations) {
      for (const TermRef& t : e.Terms()) {
        if (t.array == TermRef::kElementLength || t.index < 24) continue;
        ++checked;
        EXPECT_TRUE(grid.asked.count({t.array, t.index}))
            << "row " << e.row << " array " << int(t.array) << " node " << t.index;
        // Slots are asked for twice as far ahead: from node 56 on, past that distance too.
        if (t.index >= 56) {
          ++slotsChecked;
          EXPECT_TRUE(grid.slotsAsked.count({t.array, t.index}))
              << "slot of row " << e.row << " array " << int(t.array) << " node " << t.index;
        }
      }
    }
    EXPECT_GT(checked, 100u);
    EXPECT_GT(slotsChecked, 50u);
    EXPECT_GE(grid.asked.begin()->second, 0);

    // Declaring reads no element ahead, only the slots that hold their addresses; a grid the
    // context finds small reads nothing ahead.
    grid.calls = grid.slotCalls = 0;
    Declare(grid);
    EXPECT_EQ(grid.calls, 0);
    EXPECT_GT(grid.slotCalls, 0);
    grid.large = false;
    grid.slotCalls = 0;
    Emit(grid);
    Declare(grid);
    EXPECT_EQ(grid.calls, 0);
    EXPECT_EQ(grid.slotCalls, 0);
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
