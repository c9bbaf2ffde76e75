// What every equation computes, checked the same way whatever produced the equations (the
// walker over a test grid, or the distribution on a real domain through the host): residuals
// that vanish on polynomials up to each formula's degree and not one degree above, and
// first-derivative formulas whose error falls at their order on refined grids.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "test_grid.h"

namespace morvane::eqn::testing {

// The formula of row k of the one-dimensional table.
inline const Formula& FormulaOfRow(int row) {
  for (const MethodBlock& b : d1::kBlocks) {
    for (const RowEntry& r : b.rows) {
      if (r.number == row) return *r.formula;
    }
  }
  ADD_FAILURE() << "no row " << row;
  return formulas::integral_start;
}

// The highest polynomial degree row k is exact for: its formula's, as the catalogue states it.
inline int ExactDegree(int row) { return FormulaOfRow(row).degree; }

// Collocation constants are stored to five decimals; difference constants are exact.
inline double ToleranceOf(const Formula& f) {
  return formulas::PlaceOf(&f) >= formulas::PlaceOf(&formulas::ocfe2_d1_b) ? 1e-4 : 1e-11;
}
inline double Tolerance(int row) { return ToleranceOf(FormulaOfRow(row)); }

// Checks one equation against polynomials of degree 0 .. degree+1 along its axis:
// residualOfDegree(n) evaluates it for such a polynomial. Up to the degree the residual stays
// within the tolerance of the sum of its terms' magnitudes; one degree above it is clearly not
// zero.
template <class Residual>
void ExpectExactUpToDegree(const std::string& where, int degree, double tolerance, Residual residualOfDegree) {
  for (int n = 0; n <= degree + 1; ++n) {
    const Value r = residualOfDegree(n);
    const double limit = tolerance * r.magnitude;
    if (n <= degree) {
      EXPECT_LE(std::fabs(r.value), limit) << where << ", degree " << n;
    } else {
      EXPECT_GT(std::fabs(r.value), 10 * limit) << where << " is exact for degree " << n;
    }
  }
}

// The middle of the nodes an equation reads.
inline double MiddleOf(const Grid1D& g, const Equation& e) {
  double lo = 1e300;
  double hi = -1e300;
  for (const TermRef& t : e.Terms()) {
    if (t.array == TermRef::kElementLength) continue;
    lo = std::min(lo, g.x.at(static_cast<std::size_t>(t.index)));
    hi = std::max(hi, g.x.at(static_cast<std::size_t>(t.index)));
  }
  return 0.5 * (lo + hi);
}

// The error in DDX that a first-derivative equation implies where VALUE holds f exactly: the
// residual is linear in the equation's DDX term, so the error is the residual over its
// coefficient. f is taken less its tangent at the equation's node: every formula reproduces
// linear functions (to the rounding of the collocation constants, which the exactness test
// bounds), and without the tangent that rounding would hide the truncation error of the
// collocation formulas on all but the coarsest grids.
inline double DerivativeError(const Grid1D& g, const Equation& e, const Field& f) {
  const TermRef subject = e.Terms().at(0);
  const double xr = g.x.at(static_cast<std::size_t>(subject.index));
  const double f0 = f.f(xr);
  const double f1 = f.df(xr);
  const Field local{[=](double x) { return f.f(x) - f0 - f1 * (x - xr); },
                    [=](double x) { return f.df(x) - f1; },
                    f.d2f,
                    [](double) { return 0.0; }};
  const Lookup exact = LookupOf(g, local);
  const double r0 = Evaluate(e.program, exact).value;
  const double r1 = Evaluate(e.program, [&](const TermRef& t) { return exact(t) + (t == subject ? 1.0 : 0.0); }).value;
  return std::fabs(r0 / (r1 - r0));
}

// Checks every equation against polynomials (x - c)^n, c in the middle of its stencil, for n
// up to its formula's degree (residual within the row's tolerance of the sum of its terms'
// magnitudes) and one degree above (clearly not zero). residualOf(k, field) evaluates equation
// k for VALUE, DDX, D2DX2 and IDX holding the field. Every row of the method's block must occur.
template <class Residual>
void ExpectPolynomialExactness(const std::string& label,
                               const std::string& method,
                               const Grid1D& g,
                               const std::vector<Equation>& equations,
                               Residual residualOf) {
  std::map<int, int> checked;
  for (std::size_t k = 0; k < equations.size(); ++k) {
    const Equation& e = equations[k];
    if (e.row == 1) {  // the integral start holds IDX(0) = 0 for any function
      for (int n = 0; n <= 6; ++n) EXPECT_EQ(residualOf(k, Monomial(n, 0.3)).value, 0.0) << label;
      continue;
    }
    // Polynomials centred on the equation's stencil, so that its terms stay of the size of
    // h^n. (Above the formula's degree the residual does not depend on the centre.)
    const double c = MiddleOf(g, e);
    ExpectExactUpToDegree(label + " " + e.name + " at node " + std::to_string(e.Terms()[0].index),
                          ExactDegree(e.row),
                          Tolerance(e.row),
                          [&](int n) { return residualOf(k, Monomial(n, c)); });
    ++checked[e.row];
  }
  // Every row of the block was met (junction rows included).
  for (const MethodBlock& b : d1::kBlocks) {
    if (std::string(b.method) != method) continue;
    for (const RowEntry& r : b.rows) EXPECT_GT(checked[r.number], 0) << label << " TQ_Eqn" << r.number;
  }
}

// Refinement levels of a convergence check: elements per unit-length section at the coarsest
// level, and the number of levels, each halving the element length. The difference methods run
// 16 to 64 intervals per section. The collocation levels lie where the error is asymptotic and
// still far above the level at which the five-decimal constants stop it (about 1e-6 of f' for
// OCFE4).
struct Levels {
  const char* method;
  int coarse;
  int count;
};
inline const Levels kConvergenceLevels[] = {{"BFD1", 16, 3},
                                            {"BFD2", 8, 3},
                                            {"FFD1", 16, 3},
                                            {"FFD2", 8, 3},
                                            {"CFD2", 8, 3},
                                            {"CFD4", 4, 3},
                                            {"UBFD4", 4, 3},
                                            {"OCFE2", 8, 3},
                                            {"OCFE3", 2, 3},
                                            {"OCFE4", 4, 2}};

// The smooth function a method's convergence is measured on.
inline Field ConvergenceField(const std::string& method) {
  if (IsCollocation(method)) {
    return Field{[](double x) { return std::sin(1.0 + 2.0 * x); },
                 [](double x) { return 2.0 * std::cos(1.0 + 2.0 * x); },
                 [](double x) { return -4.0 * std::sin(1.0 + 2.0 * x); },
                 [](double x) { return -0.5 * std::cos(1.0 + 2.0 * x); }};
  }
  return Field{[](double x) { return std::exp(1.5 * x); },
               [](double x) { return 1.5 * std::exp(1.5 * x); },
               [](double x) { return 2.25 * std::exp(1.5 * x); },
               [](double x) { return std::exp(1.5 * x) / 1.5; }};
}

// Measures, level by level, the largest DDX error of every first-derivative row and checks that
// it falls at the row's order. make(elementsPerSection) gives the grid of a level and the
// equations over it.
template <class Make>
void ExpectConvergence(const std::string& label, const Levels& plan, Make make) {
  const Field f = ConvergenceField(plan.method);
  std::map<int, std::vector<double>> errors;  // row -> largest error per level
  for (int level = 0; level < plan.count; ++level) {
    const std::pair<Grid1D, std::vector<Equation>> made = make(plan.coarse << level);
    std::map<int, double> worst;
    for (const Equation& e : made.second) {
      if (e.Terms().at(0).array != d1::kDdx) continue;
      worst[e.row] = std::max(worst[e.row], DerivativeError(made.first, e, f));
    }
    for (const auto& [row, err] : worst) errors[row].push_back(err);
  }
  // Every first-derivative row of the block, junction rows included, was measured.
  int firstDerivativeRows = 0;
  for (const MethodBlock& b : d1::kBlocks) {
    if (std::string(b.method) != plan.method) continue;
    for (const RowEntry& r : b.rows) firstDerivativeRows += r.formula->Term(0).role == Role::Derivative ? 1 : 0;
  }
  EXPECT_EQ(static_cast<int>(errors.size()), firstDerivativeRows) << label;
  for (const auto& [row, errs] : errors) {
    ASSERT_EQ(static_cast<int>(errs.size()), plan.count) << label << " TQ_Eqn" << row;
    const int order = ExactDegree(row);
    for (int k = 0; k + 1 < plan.count; ++k) {
      const double observed = std::log2(errs[k] / errs[k + 1]);
      EXPECT_NEAR(observed, order, 0.35) << label << " TQ_Eqn" << row << " between levels " << k << " and " << k + 1
                                         << " (errors " << errs[k] << ", " << errs[k + 1] << ")";
    }
  }
}

}  // namespace morvane::eqn::testing
