// The walker and the formula catalogue over two axes: a plan of a few rows of a two-dimensional
// distribution, with loops over the other axis, rows along y and a row whose roles stand for
// other arrays (the cross integral), run against a two-axis grid.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "test_grid_nd.h"

namespace morvane::eqn::testing {
namespace {

enum Array2D : std::uint8_t { kV, kDX, kDY, kIX, kIXY };

using Term2D = GridTerm<2>;
Term2D At(std::uint8_t array, std::int32_t x, std::int32_t y) { return Term2D{array, {x, y}, 0, 0}; }
Term2D ElementLength(int axis, std::int32_t s) { return Term2D{Term2D::kElementLength, {}, axis, s}; }

// Builds a plan at run time: Open() a step, Close() it when its body is complete.
class PlanWriter {
 public:
  std::size_t Open(PlanNode n) {
    nodes.push_back(n);
    return nodes.size() - 1;
  }
  void Close(std::size_t at) { nodes[at].end = static_cast<std::uint16_t>(nodes.size()); }
  void Row(int number, int axis, const Formula& f, Binding binding) {
    PlanNode n;
    n.step = Step::Row;
    n.row = static_cast<std::uint16_t>(number);
    n.axis = static_cast<std::uint8_t>(axis);
    n.formula = &f;
    n.binding = binding;
    Close(Open(n));
  }
  static PlanNode StepNode(Step s, int axis, std::int32_t value = 0) {
    PlanNode n;
    n.step = s;
    n.axis = static_cast<std::uint8_t>(axis);
    n.value = value;
    return n;
  }
  static PlanNode RangeNode(Step s, int axis, Index lo, Index hi) {
    PlanNode n = StepNode(s, axis);
    n.lo = lo;
    n.hi = hi;
    return n;
  }
  std::vector<PlanNode> nodes;
};

TEST(OtherAxes, TwoDimensionalRowsReuseTheCatalogue) {
  const Binding xBlock{{kV, kDX, 0, kIX}};
  const Binding crossIntegral{{kIX, kDY, 0, kIXY}};  // IX stands for VALUE, IXY for the integral
  const Binding yBlock{{kV, kDY, 0, kIX}};
  PlanWriter w;
  {
    // BFD1 x block, first derivatives: for y in [0..E_Y]; for s; row 5 at s = 1, row 6 over i.
    const std::size_t method = w.Open(w.StepNode(Step::IfMethod, 0));
    w.nodes[method].text = "BFD1";
    const std::size_t order = w.Open(w.StepNode(Step::IfOrderAbove, 0, 0));
    const std::size_t y = w.Open(w.RangeNode(Step::ForAxisRange, 1, Index{Origin::Zero, 0}, Index{Origin::End, 0}));
    const std::size_t s = w.Open(w.StepNode(Step::ForSections, 0));
    const std::size_t first = w.Open(w.StepNode(Step::IfFirstSection, 0));
    w.Row(5, 0, formulas::d1_forward2_b, xBlock);
    w.Close(first);
    const std::size_t i = w.Open(w.RangeNode(Step::ForNodes, 0, Index{Origin::Base, 1}, Index{Origin::End, 0}));
    w.Row(6, 0, formulas::d1_backward2_i, xBlock);
    w.Close(i);
    w.Close(s);
    w.Close(y);
    w.Close(order);
    w.Close(method);
  }
  {
    // y block junction: for s; when s != 1; for x in INTERIOR of x.
    const std::size_t s = w.Open(w.StepNode(Step::ForSections, 1));
    const std::size_t later = w.Open(w.StepNode(Step::IfLaterSection, 1));
    const std::size_t x = w.Open(w.StepNode(Step::ForAxisSet, 0, static_cast<std::int32_t>(AxisSet::Interior)));
    w.Row(13, 1, formulas::d1_forward2_b, yBlock);
    w.Close(x);
    w.Close(later);
    w.Close(s);
  }
  {
    // Cross integral along y: when "idx" or "idxdy"; for x in [1..E_X]; for s; for i in [b..b+N-1].
    PlanNode guard = w.StepNode(Step::IfIntegral, 1);
    guard.selectors = Selectors{{"idx", "idxdy"}, 2};
    const std::size_t g = w.Open(guard);
    const std::size_t x = w.Open(w.RangeNode(Step::ForAxisRange, 0, Index{Origin::Zero, 1}, Index{Origin::End, 0}));
    const std::size_t s = w.Open(w.StepNode(Step::ForSections, 1));
    const std::size_t i = w.Open(w.RangeNode(Step::ForNodes, 1, Index{Origin::Base, 0}, Index{Origin::End, -1}));
    w.Row(15, 1, formulas::integral_trapezoid_i, crossIntegral);
    w.Close(i);
    w.Close(s);
    w.Close(x);
    w.Close(g);
  }

  // E_X = 2 (INTERIOR {1}), E_Y = 2.
  GridND<2> grid;
  grid.axes = {Grid1D::Make("bfd1", {2}), Grid1D::Make("BFD1", {1, 1})};
  grid.integrals = {"idxdy"};
  auto recorded = [&] {
    Recorder<SinkMode::Emit, Term2D> out;
    WalkPlan(w.nodes, grid, out, 0);
    std::vector<std::pair<int, std::vector<Term2D>>> equations;
    for (const auto& e : out.equations) equations.push_back({e.row, e.Terms()});
    return equations;
  };

  using Row = std::pair<int, std::vector<Term2D>>;
  const Term2D hx = ElementLength(0, 1);
  const Term2D hy1 = ElementLength(1, 1);
  const Term2D hy2 = ElementLength(1, 2);
  std::vector<Row> expected;
  for (std::int32_t y = 0; y <= 2; ++y) {
    expected.push_back({5, {At(kDX, 0, y), hx, At(kV, 0, y), At(kV, 1, y)}});
    expected.push_back({6, {At(kDX, 1, y), hx, At(kV, 0, y), At(kV, 1, y)}});
    expected.push_back({6, {At(kDX, 2, y), hx, At(kV, 1, y), At(kV, 2, y)}});
  }
  expected.push_back({13, {At(kDY, 1, 1), hy2, At(kV, 1, 1), At(kV, 1, 2)}});  // section 2 of y starts at node 1
  for (std::int32_t x = 1; x <= 2; ++x) {
    expected.push_back({15, {At(kIXY, x, 1), hy1, At(kIX, x, 0), At(kIX, x, 1)}});
    expected.push_back({15, {At(kIXY, x, 2), hy2, At(kIX, x, 1), At(kIX, x, 2)}});
  }
  EXPECT_EQ(recorded(), expected);

  // Without any selected integral the cross integral goes; a method of another name drops the x rows.
  grid.integrals = {"None"};
  grid.axes[0].methodText = "CFD4";
  const auto fewer = recorded();
  ASSERT_EQ(fewer.size(), 1u);
  EXPECT_EQ(fewer[0].first, 13);
}

}  // namespace
}  // namespace morvane::eqn::testing
