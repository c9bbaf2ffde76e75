// The equation walk through the host's own calls: a model whose SetUpEquations and JacPattern
// frames drive the host sinks, run by the executive, its declared and emitted equations compared
// and its residuals evaluated by the host.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "distribution/eqn_host_sinks.h"
#include "test_grid.h"
#include "host/tq_executive.h"
#include "host/tq_executive_testing.h"

namespace morvane::eqn::testing {
namespace {

// Reads the grid, hands out host variables and parameters.
struct HostGridContext {
  using Coord = std::array<std::int32_t, 1>;
  using Handle = TQ_VarParam*;

  Grid1D& grid;
  std::vector<TQ_VarParam>& arrays;   // VALUE, DDX, D2DX2, IDX, one block of nodes each
  std::vector<TQ_VarParam>& lengths;  // ELEMENTLENGTH per section

  const char* Method(int axis) { return grid.Method(axis); }
  bool SelectsIntegral(const char* selector) { return grid.SelectsIntegral(selector); }
  std::int32_t OrderUsed(int axis) const { return grid.OrderUsed(axis); }
  std::int32_t HighestOrder(int axis) const { return grid.HighestOrder(axis); }
  std::int32_t NumSections(int axis) const { return grid.NumSections(axis); }
  std::int32_t NumPolyPoints(int axis) const { return grid.NumPolyPoints(axis); }
  std::int32_t Base(int axis, std::int32_t s) const { return grid.Base(axis, s); }
  std::int32_t NodeCount(int axis, std::int32_t s) const { return grid.NodeCount(axis, s); }
  std::int32_t NumElements(int axis, std::int32_t s) const { return grid.NumElements(axis, s); }
  Handle ElementLength(int, std::int32_t s) const { return &lengths.at(static_cast<std::size_t>(s - 1)); }
  Handle Variable(std::uint8_t array, const Coord& at) const {
    const std::size_t nodes = static_cast<std::size_t>(grid.EndNode()) + 1;
    return &arrays.at(array * nodes + static_cast<std::size_t>(at[0]));
  }
};

// A model with the distribution's equation frames over a test grid.
class EquationModel final : public TQ_ModelTypeEx2 {
 public:
  explicit EquationModel(const Grid1D& g)
      : grid(g),
        arrays(4 * (static_cast<std::size_t>(g.EndNode()) + 1)),
        lengths(g.sections.size()),
        context{grid, arrays, lengths} {}

  int SetUpEquations() override {
    const int parent = TQ_ModelType::SetUpEquations();
    if (parent < 0) return parent;
    firstGroup = m_stLastGroup;
    HostDeclaration sink(*this, parent);
    d1::WalkEquations(context, sink, firstGroup);
    return SetLocalEqnCount(sink.Count());
  }

  int JacPattern(int*& rows, int*& cols, TQ_EquationType** types) override {
    ResetExpressions();
    int count = TQ_ModelType::JacPattern(rows, cols, types);
    HostEmission sink(*this, count, rows, cols);
    d1::WalkEquations(context, sink, firstGroup);
    return count;
  }

  // The grid value that a host term stands for.
  double ValueOf(const TQ_VarParam& term, const Field& f) const {
    const std::size_t nodes = static_cast<std::size_t>(grid.EndNode()) + 1;
    if (&term >= lengths.data() && &term < lengths.data() + lengths.size()) {
      return grid.sections[static_cast<std::size_t>(&term - lengths.data())].elementLength;
    }
    const std::size_t at = static_cast<std::size_t>(&term - arrays.data());
    return LookupOf(grid, f)(TermRef{static_cast<std::uint8_t>(at / nodes), static_cast<std::int32_t>(at % nodes)});
  }

  Grid1D grid;
  std::vector<TQ_VarParam> arrays;
  std::vector<TQ_VarParam> lengths;
  HostGridContext context;
  int firstGroup = 0;
};

class HostSinks : public ::testing::Test {
 protected:
  void TearDown() override { TQ_Executive::Instance().Reset(); }

  EquationModel& Add(const Grid1D& grid) {
    EquationModel* model = new EquationModel(grid);
    model->AddRef();
    std::string error;
    EXPECT_TRUE(TQ_Executive::Instance().AddObject("D" + std::to_string(count_++), model, &error)) << error;
    return *model;
  }

 private:
  int count_ = 0;
};

TEST_F(HostSinks, DeclaredAndEmittedAgreeAndResidualsVanishThroughTheHost) {
  TQ_Executive& host = TQ_Executive::Instance();
  for (const char* method : kMethods) {
    host.Reset();
    // Two distributions, so that the second's equations start at the first's count.
    EquationModel& first = Add(Grid1D::Make(method, {2, 1}, {0.7, 0.4}));
    EquationModel& second = Add(Grid1D::Make(method, {1, 2}, {0.5, 0.9}));
    ASSERT_TRUE(host.RunSetUpEquations()) << method;
    ASSERT_TRUE(host.RunJacPattern()) << method;
    EXPECT_TRUE(host.Errors().empty()) << method << ": " << (host.Errors().empty() ? "" : host.Errors().front());
    std::string difference;
    EXPECT_TRUE(host.DeclaredMatchesEmitted(&difference)) << method << ": " << difference;
    EXPECT_EQ(static_cast<std::size_t>(host.PatternEntriesWritten()), host.DeclaredNonZeros().size()) << method;

    // The host holds what the walk over the test grid records, equation by equation.
    const Emitted expectedFirst = Emit(first.grid, 0);
    const Emitted expectedSecond = Emit(second.grid, 0);
    ASSERT_EQ(host.Emitted().size(), expectedFirst.equations.size() + expectedSecond.equations.size()) << method;
    std::int32_t lastGroupOfFirst = 0;
    for (const Equation& e : expectedFirst.equations) lastGroupOfFirst = std::max(lastGroupOfFirst, e.group);
    EXPECT_EQ(second.firstGroup, first.firstGroup + lastGroupOfFirst) << method;  // the host moved on
    for (std::size_t k = 0; k < host.Emitted().size(); ++k) {
      const TQ_EmittedEquation& e = host.Emitted()[k];
      const bool inFirst = k < expectedFirst.equations.size();
      const Equation& expected =
          inFirst ? expectedFirst.equations[k] : expectedSecond.equations[k - expectedFirst.equations.size()];
      const EquationModel& owner = inFirst ? first : second;
      EXPECT_EQ(e.owner, &owner);
      EXPECT_EQ(std::string(host.EquationName(e)), expected.name) << method;
      EXPECT_EQ(e.group, owner.firstGroup + expected.group) << method;
      EXPECT_EQ(e.itemCount, expected.program.size()) << method << " " << expected.name;

      // Linear functions satisfy every row; the host evaluates the residual.
      const Field line = Monomial(1, 0.37);
      bool ok = false;
      const double r = host.Evaluate(
          e, [&](const TQ_VarParam& t) { return owner.ValueOf(t, line); }, &ok);
      EXPECT_TRUE(ok) << method << " " << expected.name;
      EXPECT_NEAR(r, 0.0, 1e-4) << method << " " << expected.name << ": " << host.Infix(e);
    }
  }
}

TEST_F(HostSinks, EmissionNumbersEquationsFromTheParentsCount) {
  TQ_Executive& host = TQ_Executive::Instance();
  TQ_ExecutiveTesting::SetRootJacResult(host, 7);
  EquationModel& model = Add(Grid1D::Make("BFD1", {2}));
  ASSERT_TRUE(host.RunSetUpEquations());
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::BeginEmission(host, host.DeclaredNonZeros().size(), rows, cols);
  int* const start = rows;
  const int result = model.JacPattern(rows, cols, nullptr);
  // TQ_Eqn1, TQ_Eqn2, TQ_Eqn3 twice, TQ_Eqn4 once, TQ_Eqn6 twice: 7 equations after the parent's 7.
  EXPECT_EQ(result, 7 + 7);
  EXPECT_EQ(rows - start, static_cast<std::ptrdiff_t>(host.DeclaredNonZeros().size()));
  ASSERT_FALSE(host.Emitted().empty());
  EXPECT_STREQ(host.EquationName(host.Emitted().front()), "TQ_Eqn1");
  EXPECT_EQ(host.PatternRows().front(), 7);  // the first equation's index is the parent's count
  TQ_ExecutiveTesting::SetRootJacResult(host, std::nullopt);
}

}  // namespace
}  // namespace morvane::eqn::testing
