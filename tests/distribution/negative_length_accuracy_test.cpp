// A domain of negative LENGTH runs its coordinate toward negative values; its element lengths
// carry the sign, so that the distribution's difference, collocation and integral equations
// over it stay exact. Evaluated by the host with VALUE holding a polynomial and DDX, D2DX2 and
// IDX its exact derivatives and interval integrals at the nodes the domain placed, every
// residual vanishes up to its formula's degree and not one degree above, as over a positive
// domain.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accuracy_checks.h"
#include "real_domains.h"

namespace morvane::eqn::testing {
namespace {

TEST(NegativeLengthAccuracy, EveryResidualVanishesUpToItsDegreeAndNotAbove) {
  for (const char* method : kMethods) {
    RoadSetup setup;
    setup.method = method;
    setup.sections = 2;
    setup.domainOrder = 2;
    setup.idx = true;
    Road road(setup);
    road.Fix("X.LENGTH", TQ_Value(-2.0, 0u, 0u, 0));
    ASSERT_TRUE(road.Cycle()) << method << ": " << road.Errors();
    const Grid1D grid = road.Grid();
    // The grid runs from 0 down to -2, every step toward negative values.
    ASSERT_GE(grid.x.size(), 3u) << method;
    EXPECT_EQ(grid.x.front(), 0.0) << method;
    EXPECT_DOUBLE_EQ(grid.x.back(), -2.0) << method;
    for (std::size_t k = 1; k < grid.x.size(); ++k) EXPECT_LT(grid.x[k], grid.x[k - 1]) << method << " node " << k;
    for (const Section& s : grid.sections) EXPECT_LT(s.elementLength, 0.0) << method;

    // The host evaluates each equation with every term holding the field's value at its node,
    // the element lengths the domain's own.
    const auto terms = road.TermMap();
    const auto emitted = road.Emitted();
    ExpectPolynomialExactness(method, method, grid, road.RecordedEquations(), [&](std::size_t k, const Field& f) {
      const Lookup lookup = LookupOf(grid, f);
      return ResidualOf(road.host, *emitted[k], [&](const TQ_VarParam& term) { return lookup(terms.at(&term)); });
    });
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
