// What the emitted equations compute over a test grid: every residual vanishes on polynomials up
// to its formula's degree and not one degree above, and the first-derivative formulas converge at
// their order.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "accuracy_checks.h"

namespace morvane::eqn::testing {
namespace {

TEST(PolynomialExactness, EveryResidualVanishesUpToItsDegreeAndNotAbove) {
  for (const char* method : kMethods) {
    // Three sections of different lengths, so that every row meets its own section's h.
    Grid1D g = Grid1D::Make(method, {2, 1, 3}, {0.6, 0.45, 0.8});
    if (PointsOf(method) == 0) g = Grid1D::Make(method, {5, 4, 6}, {0.6, 0.45, 0.8});
    const Emitted out = Emit(g);
    ExpectPolynomialExactness(method, method, g, out.equations, [&](std::size_t k, const Field& f) {
      return Evaluate(out.equations[k].program, LookupOf(g, f));
    });
  }
}

TEST(Convergence, FirstDerivativeFormulasConvergeAtTheirOrder) {
  for (const Levels& plan : kConvergenceLevels) {
    ExpectConvergence(plan.method, plan, [&](int n) {
      Grid1D g = Grid1D::Make(plan.method, {n, n}, {1.0, 1.0});
      g.idx = false;
      std::vector<Equation> equations = Emit(g).equations;
      return std::make_pair(std::move(g), std::move(equations));
    });
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
