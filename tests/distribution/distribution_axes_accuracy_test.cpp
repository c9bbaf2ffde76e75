// What the two- and three-dimensional distributions' equations compute on real domains, evaluated
// by the host: with VALUE holding a field that is a polynomial along an equation's axis and a
// positive factor along the others, and every derivative and integral holding that field's own
// at the nodes the domains placed, every residual vanishes for polynomials up to its formula's
// degree and not one degree above. Each method is checked once along each axis.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "real_domains.h"

namespace morvane::eqn::testing {
namespace {

// The factor of the field along an axis the equation does not run along.
Field PositiveLinear() {
  return Field{[](double t) { return 1.5 + t; },
               [](double) { return 1.0; },
               [](double) { return 0.0; },
               [](double t) { return 1.5 * t + 0.5 * t * t; }};
}

// f(x, y, z) = the product of one factor per axis. Its first and second derivatives along an
// axis, and its integrals over each interval (from node k-1 to node k; nothing at node 0) along
// the axes of an integral, as the arrays hold them.
// The polynomial sum of weights[n] s^n in s = (t - centre) / scale, with its derivatives and
// antiderivative: over an equation's stencil, scaled to its half-width, every power is of the
// size of 1, so that no degree hides behind the others.
Field ScaledPolynomial(std::vector<double> weights, double centre, double scale) {
  auto sum = [weights = std::move(weights), centre, scale](double t, int derivative) {
    const double s = (t - centre) / scale;
    double total = 0.0;
    for (std::size_t n = 0; n < weights.size(); ++n) {
      const double k = static_cast<double>(n);
      switch (derivative) {
        case 0:
          total += weights[n] * std::pow(s, k);
          break;
        case 1:
          total += n < 1 ? 0.0 : weights[n] * k * std::pow(s, k - 1) / scale;
          break;
        case 2:
          total += n < 2 ? 0.0 : weights[n] * k * (k - 1) * std::pow(s, k - 2) / (scale * scale);
          break;
        default:
          total += weights[n] * scale * std::pow(s, k + 1) / (k + 1);
          break;
      }
    }
    return total;
  };
  return Field{[sum](double t) { return sum(t, 0); },
               [sum](double t) { return sum(t, 1); },
               [sum](double t) { return sum(t, 2); },
               [sum](double t) { return sum(t, 3); }};
}

// Weights of no particular relation to one another: a polynomial with every power up to a degree.
const double kMixed[] = {1.0, -0.73, 0.61, -0.52, 0.44, -0.37, 0.29};

// The coordinates of every node of every axis, as the domains placed them.
using Nodes = std::array<std::vector<double>, 3>;

Nodes NodesOf(const AxesRoad& road) {
  Nodes nodes;
  for (int a = 0; a < road.axes; ++a)
    for (int k = 0; k <= road.domains[a]->ENDNODE.v(); ++k)
      nodes[static_cast<std::size_t>(a)].push_back(road.Coordinate(a, k));
  return nodes;
}

class SeparableField {
 public:
  SeparableField(const Nodes& nodes, int axes, std::array<Field, 3> factors)
      : factors_(std::move(factors)), nodes_(nodes), axes_(axes) {}

  double At(const ArrayInfo& array, const TermInfo& t) const {
    double value = 1.0;
    for (int a = 0; a < axes_; ++a) {
      const Field& g = factors_[static_cast<std::size_t>(a)];
      const std::vector<double>& x = nodes_[static_cast<std::size_t>(a)];
      const int k = t.at[static_cast<std::size_t>(a)];
      const double here = x.at(static_cast<std::size_t>(k));
      if ((array.axes & (1u << a)) == 0) {
        value *= g.f(here);
        continue;
      }
      switch (array.kind) {
        case ArrayInfo::Value:
          value *= g.f(here);
          break;
        case ArrayInfo::First:
          value *= g.df(here);
          break;
        case ArrayInfo::Second:
          value *= g.d2f(here);
          break;
        case ArrayInfo::Integral:
          value *= k == 0 ? 0.0 : g.antiderivative(here) - g.antiderivative(x.at(static_cast<std::size_t>(k - 1)));
          break;
      }
    }
    return value;
  }

 private:
  std::array<Field, 3> factors_;
  const Nodes& nodes_;
  int axes_;
};

void ExpectResidualsVanishUpToTheirDegree(const AxesRoad& road, const std::string& where) {
  const Numbering& numbering = road.RowNumbering();
  const std::vector<ArrayInfo> arrays = road.Arrays();
  const auto terms = road.TermMap();
  const Nodes nodes = NodesOf(road);
  // An integral on the face where it starts holds nothing, whatever the field.
  const SeparableField cubic(nodes, road.axes, {Monomial(3, 0.3), Monomial(3, 0.4), Monomial(3, 0.2)});
  auto valuesOf = [&](const SeparableField& field) {
    return [&terms, &arrays, &field](const TQ_VarParam& term) {
      const TermInfo& t = terms.at(&term);
      return t.array < 0 ? term.NumericValue() : field.At(arrays[static_cast<std::size_t>(t.array)], t);
    };
  };
  std::map<int, int> checked;
  for (const RoadEquation& e : road.Equations()) {
    const std::string at = where + ", " + e.name;
    if (e.row <= numbering.starts) {
      EXPECT_EQ(ResidualOf(road.host, *e.emitted, valuesOf(cubic)).value, 0.0) << at;
      ++checked[e.row];
      continue;
    }
    const int block = numbering.BlockOf(e.row);
    ASSERT_GE(block, 0) << at;
    const int axis = block % road.axes;
    const int degree = FormulaDegree(road.axes, e.row);
    // Collocation constants are stored to five decimals; difference constants are exact.
    const double tolerance = IsCollocation(kMethods[block / road.axes]) ? 1e-4 : 1e-10;
    // Exact on a polynomial with every power up to the formula's degree (so on each power:
    // a residual that vanishes on the sum and not on a power would need the others to cancel
    // it), not on the next power.
    double lo = 1e300;
    double hi = -1e300;
    for (const TermInfo& t : e.terms) {
      if (t.array < 0) continue;
      const double x =
          nodes[static_cast<std::size_t>(axis)].at(static_cast<std::size_t>(t.at[static_cast<std::size_t>(axis)]));
      lo = std::min(lo, x);
      hi = std::max(hi, x);
    }
    ASSERT_LT(degree + 1, static_cast<int>(std::size(kMixed))) << at;
    for (const bool above : {false, true}) {
      std::vector<double> weights(kMixed, kMixed + degree + 1);
      if (above) {
        weights.assign(static_cast<std::size_t>(degree) + 2, 0.0);
        weights.back() = 1.0;
      }
      std::array<Field, 3> factors{PositiveLinear(), PositiveLinear(), PositiveLinear()};
      factors[static_cast<std::size_t>(axis)] = ScaledPolynomial(weights, 0.5 * (lo + hi), 0.5 * (hi - lo));
      const SeparableField field(nodes, road.axes, factors);
      const Value r = ResidualOf(road.host, *e.emitted, valuesOf(field));
      const double limit = tolerance * r.magnitude;
      if (!above) {
        EXPECT_LE(std::fabs(r.value), limit) << at << " up to degree " << degree;
      } else {
        EXPECT_GT(std::fabs(r.value), 10 * limit) << at << " is exact at degree " << degree + 1;
      }
    }
    ++checked[e.row];
  }
  // Every integral start and every equation of the methods' blocks was met.
  for (int row = 1; row <= numbering.starts; ++row) EXPECT_GT(checked[row], 0) << where << ", TQ_Eqn" << row;
  for (int a = 0; a < road.axes; ++a) {
    int method = 0;
    while (method < kMethodCount && road.domains[a]->DISCRETIZATIONMETHOD.v() != std::string(kMethods[method]))
      ++method;
    ASSERT_LT(method, kMethodCount) << where;
    const auto [first, end] = numbering.RowsOf(method * road.axes + a);
    for (int row = first; row < end; ++row) EXPECT_GT(checked[row], 0) << where << ", TQ_Eqn" << row;
  }
}

TEST(DistributionAxesAccuracy, EveryResidualVanishesUpToItsDegreeAndNotAbove) {
  for (int axes : {2, 3}) {
    const std::vector<std::string> integrals =
        axes == 2 ? std::vector<std::string>{"idx", "idy", "idxdy"}
                  : std::vector<std::string>{"idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"};
    // Method m along x, m+1 along y (and m+2 along z): each method once along each axis, over
    // two sections of different node counts, so that every row meets its own section's h.
    for (int m = 0; m < kMethodCount; ++m) {
      AxesSetup setup{{}, integrals};
      std::string where;
      for (int a = 0; a < axes; ++a) {
        const char* method = kMethods[(m + a) % kMethodCount];
        setup.axes.push_back(SmallAxis(method, 2));
        where += std::string(a == 0 ? "" : " x ") + method;
      }
      AxesRoad road(setup);
      ASSERT_TRUE(road.Cycle()) << where << ": " << road.Errors();
      ExpectResidualsVanishUpToTheirDegree(road, where);
    }
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
