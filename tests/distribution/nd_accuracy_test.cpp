// What the equations of the two- and three-dimensional distributions compute: on fields
// V = P(x) Q(y) [R(z)] every residual vanishes when the factor along the row's axis is a
// polynomial up to its formula's degree, whatever quadratics the other factors are, and not one
// degree above.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>

#include "accuracy_checks.h"
#include "test_grid_nd.h"

namespace morvane::eqn::testing {
namespace {

// Sections of different lengths, so that every row meets its own section's h; enough elements
// that every node range of every block is not empty and every junction occurs.
AxisSetup ExactnessAxis(const char* method, int axis) {
  static const std::vector<double> lengths[] = {{0.6, 0.45}, {0.5, 0.7}, {0.8, 0.55}};
  AxisSetup a{method, PointsOf(method) <= 1 ? std::vector<int>{2, 1} : std::vector<int>{1, 1}, 2, 2};
  if (PointsOf(method) == 0) a.elements = {3, 2};
  a.lengths = lengths[axis];
  return a;
}

// The quadratic factor along an axis the row does not read along: positive on the grid, so that
// it scales a residual without hiding it.
const std::array<Field, 3> kOtherFactors = {
    Polynomial({1.2, -0.5, 0.9}), Polynomial({1.5, 0.4, 0.3}), Polynomial({0.8, -0.3, 0.6})};

template <std::size_t D>
double MiddleAlong(const GridND<D>& g, const EquationND<D>& e, int axis) {
  double lo = 1e300;
  double hi = -1e300;
  for (const GridTerm<D>& t : e.Terms()) {
    if (t.IsElementLength()) continue;
    const double x = g.axes[axis].x.at(static_cast<std::size_t>(t.at[axis]));
    lo = std::min(lo, x);
    hi = std::max(hi, x);
  }
  return 0.5 * (lo + hi);
}

template <std::size_t D>
void ExpectExactOnProducts(const std::string& method, GridND<D>& g) {
  const auto out = Emit(g);
  std::map<int, int> checked;
  for (const EquationND<D>& e : out.equations) {
    const RowInfo& row = InfoOfRow<D>(e.row);
    const int axis = row.axis;
    std::array<Field, D> factors;
    for (std::size_t a = 0; a < D; ++a) factors[a] = kOtherFactors[a];
    const std::string where = method + " " + e.name + " at " + TermName(e.Terms().at(0));
    if (row.start) {
      // An integral at node 0 of one of its axes is 0 for any field.
      for (int n = 0; n <= 6; ++n) {
        factors[static_cast<std::size_t>(axis)] = Monomial(n, 0.3);
        EXPECT_EQ(Evaluate(e.program, LookupOf(g, factors)).value, 0.0) << where;
      }
      ++checked[e.row];
      continue;
    }
    // A polynomial centred on the row's stencil, so that its terms stay of the size of h^n.
    const double c = MiddleAlong(g, e, axis);
    ExpectExactUpToDegree(where, row.formula->degree, ToleranceOf(*row.formula), [&](int n) {
      factors[static_cast<std::size_t>(axis)] = Monomial(n, c);
      return Evaluate(e.program, LookupOf(g, factors));
    });
    ++checked[e.row];
  }
  // Every row of every block of the method, junctions and cross integrals included, and every
  // integral start was met.
  for (const auto& [number, row] : RowsOf<D>()) {
    if (row.start || std::string(row.block->method) == method) {
      EXPECT_GT(checked[number], 0) << method << " TQ_Eqn" << number;
    }
  }
}

TEST(ProductPolynomials, TwoAxesEveryResidualVanishesUpToItsDegreeAndNotAbove) {
  for (const char* method : kMethods) {
    GridND<2> g = MakeGrid<2>({ExactnessAxis(method, 0), ExactnessAxis(method, 1)}, {"idx", "idy", "idxdy"});
    ExpectExactOnProducts(method, g);
  }
}

TEST(ProductPolynomials, ThreeAxesEveryResidualVanishesUpToItsDegreeAndNotAbove) {
  for (const char* method : kMethods) {
    GridND<3> g = MakeGrid<3>({ExactnessAxis(method, 0), ExactnessAxis(method, 1), ExactnessAxis(method, 2)},
                              {"idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"});
    ExpectExactOnProducts(method, g);
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
