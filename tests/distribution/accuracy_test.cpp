// What the emitted equations compute: every residual vanishes on polynomials up to its formula's
// degree and not one degree above, and the first-derivative formulas converge at their order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "test_grid.h"

namespace morvane::eqn::testing {
namespace {

// The highest polynomial degree each row is exact for. Central formulas gain one degree by
// symmetry where the next degree is odd about their node (second derivatives) .
int exactDegree(int row) {
    static const std::map<int, int> degrees = [] {
        std::map<int, int> d;
        auto set = [&d](std::initializer_list<int> rows, int degree) {
            for (int r : rows) d[r] = degree;
        };
        set({2, 3, 5, 6, 14, 15, 16, 18, 19}, 1);                                        // two-point, trapezoid
        set({7, 8, 9, 11, 12, 13, 20, 21, 22, 23, 25, 26, 27, 28, 29, 30, 32, 33, 34}, 2);  // three-point, parabola
        set({4, 10, 17, 24, 31}, 3);                                                     // three-point second difference
        set({35, 36, 37, 38, 39, 40, 42, 43, 44, 45, 46, 47}, 4);                        // five-point, quartic
        set({48, 49, 50, 51, 52, 53, 55, 56, 57, 58, 59, 60}, 4);
        set({41, 54}, 5);                                                                // central five-point second difference
        set({61, 62, 63, 64, 66, 67}, 2);                                                // OCFE2
        set({65}, 3);                                                                    // its central second derivative
        set({68, 69, 70, 71, 72, 73, 74, 75, 76, 77}, 3);                                // OCFE3
        set({78, 79, 80, 81, 82, 83, 84, 86, 87, 88, 89, 90}, 4);                        // OCFE4
        set({85}, 5);                                                                    // its central second derivative
        return d;
    }();
    return degrees.at(row);
}

// Collocation constants are stored to five decimals; difference constants are exact.
double tolerance(int row) { return row >= 61 ? 1e-4 : 1e-11; }

// The middle of the nodes an equation reads.
double middleOf(const Grid1D& g, const Equation& e) {
    double lo = 1e300;
    double hi = -1e300;
    for (const TermRef& t : e.terms()) {
        if (t.array == TermRef::kElementLength) continue;
        lo = std::min(lo, g.x.at(static_cast<std::size_t>(t.index)));
        hi = std::max(hi, g.x.at(static_cast<std::size_t>(t.index)));
    }
    return 0.5 * (lo + hi);
}

TEST(PolynomialExactness, EveryResidualVanishesUpToItsDegreeAndNotAbove) {
    for (const char* method : kMethods) {
        // Three sections of different lengths, so that every row meets its own section's h.
        Grid1D g = Grid1D::make(method, {2, 1, 3}, {0.6, 0.45, 0.8});
        if (pointsOf(method) == 0) g = Grid1D::make(method, {5, 4, 6}, {0.6, 0.45, 0.8});
        const Emitted out = emit(g);
        std::map<int, int> checked;
        for (const Equation& e : out.equations) {
            if (e.row == 1) {  // the integral start holds IDX(0) = 0 for any function
                for (int n = 0; n <= 6; ++n) EXPECT_EQ(evaluate(e.program, lookupOf(g, monomial(n, 0.3))).value, 0.0);
                continue;
            }
            // Polynomials centred on the equation's stencil, so that its terms stay of the size of
            // h^n. (Above the formula's degree the residual does not depend on the centre.)
            const double c = middleOf(g, e);
            const int degree = exactDegree(e.row);
            for (int n = 0; n <= degree + 1; ++n) {
                const Value r = evaluate(e.program, lookupOf(g, monomial(n, c)));
                const double limit = tolerance(e.row) * r.magnitude;
                if (n <= degree) {
                    EXPECT_LE(std::fabs(r.value), limit)
                        << method << " " << e.name << " at node " << e.terms()[0].index << ", degree " << n;
                } else {
                    EXPECT_GT(std::fabs(r.value), 10 * limit)
                        << method << " " << e.name << " at node " << e.terms()[0].index << " is exact for degree " << n;
                }
            }
            ++checked[e.row];
        }
        // Every row of the block was met (junction rows included).
        for (const d1::MethodBlock& b : d1::kBlocks) {
            if (std::string(b.method) != method) continue;
            for (const d1::RowEntry& r : b.rows) EXPECT_GT(checked[r.number], 0) << method << " TQ_Eqn" << r.number;
        }
    }
}

// The error in DDX that a first-derivative equation implies where VALUE holds f exactly: the
// residual is linear in the equation's DDX term, so the error is the residual over its
// coefficient. f is taken less its tangent at the equation's node: every formula reproduces
// linear functions (to the rounding of the collocation constants, which the exactness test
// bounds), and without the tangent that rounding would hide the truncation error of the
// collocation formulas on all but the coarsest grids.
double derivativeError(const Grid1D& g, const Equation& e, const Field& f) {
    const TermRef subject = e.terms().at(0);
    const double xr = g.x.at(static_cast<std::size_t>(subject.index));
    const double f0 = f.f(xr);
    const double f1 = f.df(xr);
    const Field local{[=](double x) { return f.f(x) - f0 - f1 * (x - xr); }, [=](double x) { return f.df(x) - f1; }, f.d2f,
                      [](double) { return 0.0; }};
    const Lookup exact = lookupOf(g, local);
    const double r0 = evaluate(e.program, exact).value;
    const double r1 = evaluate(e.program, [&](const TermRef& t) { return exact(t) + (t == subject ? 1.0 : 0.0); }).value;
    return std::fabs(r0 / (r1 - r0));
}

TEST(Convergence, FirstDerivativeFormulasConvergeAtTheirOrder) {
    const Field smooth{[](double x) { return std::exp(1.5 * x); }, [](double x) { return 1.5 * std::exp(1.5 * x); },
                       [](double x) { return 2.25 * std::exp(1.5 * x); }, [](double x) { return std::exp(1.5 * x) / 1.5; }};
    const Field wave{[](double x) { return std::sin(1.0 + 2.0 * x); }, [](double x) { return 2.0 * std::cos(1.0 + 2.0 * x); },
                     [](double x) { return -4.0 * std::sin(1.0 + 2.0 * x); },
                     [](double x) { return -0.5 * std::cos(1.0 + 2.0 * x); }};
    // Elements per unit-length section at the coarsest level, and the number of levels, each
    // halving the element length. The difference methods run 16 to 64 intervals per section.
    // The collocation levels lie where the error is asymptotic and still far above the level
    // at which the five-decimal constants stop it (about 1e-6 of f' for OCFE4).
    struct Levels {
        const char* method;
        int coarse;
        int count;
    };
    const Levels plans[] = {{"BFD1", 16, 3}, {"BFD2", 8, 3}, {"FFD1", 16, 3}, {"FFD2", 8, 3}, {"CFD2", 8, 3},
                            {"CFD4", 4, 3},  {"UBFD4", 4, 3}, {"OCFE2", 8, 3}, {"OCFE3", 2, 3}, {"OCFE4", 4, 2}};
    for (const Levels& plan : plans) {
        const Field& f = isCollocation(plan.method) ? wave : smooth;
        std::map<int, std::vector<double>> errors;  // row -> largest error per level
        for (int level = 0; level < plan.count; ++level) {
            const int n = plan.coarse << level;
            Grid1D g = Grid1D::make(plan.method, {n, n}, {1.0, 1.0});
            g.idx = false;
            std::map<int, double> worst;
            for (const Equation& e : emit(g).equations) {
                if (e.terms().at(0).array != d1::kDdx) continue;
                worst[e.row] = std::max(worst[e.row], derivativeError(g, e, f));
            }
            for (const auto& [row, err] : worst) errors[row].push_back(err);
        }
        // Every first-derivative row of the block, junction rows included, was measured.
        int firstDerivativeRows = 0;
        for (const d1::MethodBlock& b : d1::kBlocks) {
            if (std::string(b.method) != plan.method) continue;
            for (const d1::RowEntry& r : b.rows) firstDerivativeRows += r.formula->term(0).role == Role::Derivative ? 1 : 0;
        }
        EXPECT_EQ(static_cast<int>(errors.size()), firstDerivativeRows) << plan.method;
        for (const auto& [row, errs] : errors) {
            ASSERT_EQ(static_cast<int>(errs.size()), plan.count) << plan.method << " TQ_Eqn" << row;
            const int order = exactDegree(row);
            for (int k = 0; k + 1 < plan.count; ++k) {
                const double observed = std::log2(errs[k] / errs[k + 1]);
                EXPECT_NEAR(observed, order, 0.35) << plan.method << " TQ_Eqn" << row << " between levels " << k << " and "
                                                   << k + 1 << " (errors " << errs[k] << ", " << errs[k + 1] << ")";
            }
        }
    }
}

}  // namespace
}  // namespace morvane::eqn::testing
