// What the distribution's equations compute on a real domain, evaluated by the host: with VALUE
// holding a polynomial and DDX, D2DX2 and IDX its exact derivatives and interval integrals at the
// nodes the domain placed (the collocation points among them), every residual vanishes up to its
// formula's degree and not one degree above; on refined grids the first-derivative formulas
// converge at their order.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "accuracy_checks.h"
#include "real_domain.h"

namespace morvane::eqn::testing {
namespace {

TEST(Distribution1DAccuracy, EveryResidualVanishesUpToItsDegreeAndNotAbove) {
  for (const char* method : kMethods) {
    // Three sections whose node counts differ, so that every row meets its own section's h.
    const int perElement = PointsOf(method) + 1;
    RoadSetup setup;
    setup.method = method;
    setup.sections = 3;
    setup.nodeCounts = PointsOf(method) == 0 ? std::vector<int>{5, 4, 6}
                                             : std::vector<int>{2 * perElement, perElement, 3 * perElement};
    setup.domainOrder = 2;
    setup.idx = true;
    Road road(setup);
    ASSERT_TRUE(road.Cycle()) << method << ": " << road.Errors();
    const Grid1D grid = road.Grid();
    const auto terms = road.TermMap();
    const auto emitted = road.Emitted();
    std::vector<Equation> equations;
    for (const TQ_EmittedEquation* e : emitted) equations.push_back(road.Recorded(*e, terms));
    ExpectPolynomialExactness(method, method, grid, equations, [&](std::size_t k, const Field& f) {
      // The equation's variables take the field's values at their nodes; the element
      // length is the section's own, as the domain assigned it.
      const Lookup lookup = LookupOf(grid, f);
      const TQ_EmittedEquation& e = *emitted[k];
      for (std::uint32_t i = 0; i < e.itemCount; ++i) {
        const TQ_ProgramItem& item = road.host.Items()[e.firstItem + i];
        if (item.kind != TQ_ProgramItem::Term) continue;
        const TermRef ref = terms.at(item.term);
        if (ref.array != TermRef::kElementLength) item.term->SetNumericValue(lookup(ref));
      }
      bool ok = false;
      const double residual = road.host.Evaluate(e, {}, &ok);
      EXPECT_TRUE(ok) << method << " " << equations[k].name;
      // The host's residual, and the size of its terms from the same program.
      return Value{residual, Evaluate(equations[k].program, lookup).magnitude};
    });
  }
}

TEST(Distribution1DAccuracy, FirstDerivativeFormulasConvergeAtTheirOrder) {
  for (const Levels& plan : kConvergenceLevels) {
    ExpectConvergence(plan.method, plan, [&](int elements) {
      // Two sections of unit length, refined through the domain's preferred spacing.
      RoadSetup setup;
      setup.method = plan.method;
      setup.sections = 2;
      setup.domainOrder = 2;
      setup.spacing = 1.0 / (elements * (PointsOf(plan.method) + 1));
      Road road(setup);
      road.Fix("X.LENGTH", TQ_Value(2.0, 0u, 0u, 0));
      EXPECT_TRUE(road.Cycle()) << plan.method << ": " << road.Errors();
      EXPECT_EQ((*road.domain->SECTION)(2).NUMELEMENTS.v(), elements) << plan.method;
      return std::make_pair(road.Grid(), road.RecordedEquations());
    });
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
