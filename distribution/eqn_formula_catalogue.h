// The difference, collocation and interval-integral formulas of the ten discretization methods.
//
// Each formula is stated once, along one axis: V, D, D2 and I are the value, first derivative,
// second derivative and integral along that axis, h the section's element length, b and b+N the
// section's first and last node, i a node of a node loop and j an element's first node. The
// one-, two- and three-dimensional distributions bind the roles to their own arrays and carry the
// other axes' indices through, so every distribution emits these very programs. A residual is
// the expression that the host sets to zero; the order of its variable terms is the order of the
// equation's non-zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <type_traits>

#include "distribution/eqn_formula.h"

namespace morvane::eqn::formulas {

// The catalogue, one entry per formula: X(name, degree, residual text), where degree is the
// highest polynomial degree (along the formula's axis) for which the residual vanishes when the
// variables hold the polynomial, its derivatives and its integrals exactly. Central formulas gain
// one degree by symmetry where the next degree is odd about their node.
#define MORVANE_FORMULA_CATALOGUE(X)                                                                                  \
  /* The start of the interval integrals: the integral at the domain's first node. */                                 \
  X(integral_start, 0, "op1(I(0))")                                                                                   \
                                                                                                                      \
  /* ---- Two-point first differences (BFD1, FFD1) ---- */                                                            \
  X(d1_forward2_b, 1, "D(b)*h+(V(b)-V(b+1))")                                                                         \
  X(d1_backward2_i, 1, "D(i)*h+(V(i-1)-V(i))")                                                                        \
  X(d1_forward2_i, 1, "D(i)*h+(V(i)-V(i+1))")                                                                         \
  X(d1_backward2_end, 1, "D(b+N)*h+(V(b+N-1)-V(b+N))")                                                                \
                                                                                                                      \
  /* ---- Three-point first differences (BFD2, FFD2, CFD2) ---- */                                                    \
  X(d1_forward3_b, 2, "2*(D(b)*h)+(V(b+2)-(-3*V(b)+4*V(b+1)))")                                                       \
  X(d1_central3_b1, 2, "2*(D(b+1)*h)+(V(b)-V(b+2))")                                                                  \
  X(d1_backward3_i, 2, "2*(D(i)*h)-(V(i-2)-4*V(i-1)+3*V(i))")                                                         \
  X(d1_forward3_i, 2, "2*(D(i)*h)+(V(i+2)-(-3*V(i)+4*V(i+1)))")                                                       \
  X(d1_central3_i, 2, "2*(D(i)*h)+(V(i-1)-V(i+1))")                                                                   \
  X(d1_central3_end1, 2, "2*(D(b+N-1)*h)+(V(b+N-2)-V(b+N))")                                                          \
  X(d1_backward3_end, 2, "2*(D(b+N)*h)-(V(b+N-2)-4*V(b+N-1)+3*V(b+N))")                                               \
                                                                                                                      \
  /* ---- Three-point second difference ---- */                                                                       \
  X(d2_central3_i, 3, "D2(i)*sq(h)-(V(i-1)-2*V(i)+V(i+1))")                                                           \
                                                                                                                      \
  /* ---- Five-point first differences (CFD4, UBFD4) ---- */                                                          \
  X(d1_five_b, 4, "24*(D(b)*h)+(6*V(b+4)-(-50*V(b)+96*V(b+1)-72*V(b+2)+32*V(b+3)))")                                  \
  X(d1_five_b1, 4, "24*(D(b+1)*h)-(-6*V(b)-20*V(b+1)+36*V(b+2)-12*V(b+3)+2*V(b+4))")                                  \
  X(d1_five_central_b2, 4, "24*(D(b+2)*h)+(2*V(b+4)-(2*V(b)-16*V(b+1)+16*V(b+3)))")                                   \
  X(d1_five_central_i, 4, "24*(D(i)*h)+(2*V(i+2)-(2*V(i-2)-16*V(i-1)+16*V(i+1)))")                                    \
  X(d1_five_upwind_i, 4, "24*(D(i)*h)-(-2*V(i-3)+12*V(i-2)-36*V(i-1)+20*V(i)+6*V(i+1))")                              \
  X(d1_five_end1, 4, "24*(D(b+N-1)*h)-(-2*V(b+N-4)+12*V(b+N-3)-36*V(b+N-2)+20*V(b+N-1)+6*V(b+N))")                    \
  X(d1_five_end, 4, "24*(D(b+N)*h)-(6*V(b+N-4)-32*V(b+N-3)+72*V(b+N-2)-96*V(b+N-1)+50*V(b+N))")                       \
                                                                                                                      \
  /* ---- Five-point second differences (CFD4, UBFD4) ---- */                                                         \
  X(d2_five_b1, 4, "12*(D2(b+1)*sq(h))+(V(b+4)-(11*V(b)-20*V(b+1)+6*V(b+2)+4*V(b+3)))")                               \
  X(d2_five_central_b2, 5, "12*(D2(b+2)*sq(h))+(V(b+4)-(16*V(b+1)-V(b)-30*V(b+2)+16*V(b+3)))")                        \
  X(d2_five_central_i, 5, "12*(D2(i)*sq(h))+(V(i+2)-(16*V(i-1)-V(i-2)-30*V(i)+16*V(i+1)))")                           \
  X(d2_five_upwind_i, 4, "12*(D2(i)*sq(h))-(4*V(i-2)-V(i-3)+6*V(i-1)-20*V(i)+11*V(i+1))")                             \
  X(d2_five_end1, 4, "12*(D2(b+N-1)*sq(h))-(4*V(b+N-3)-V(b+N-4)+6*V(b+N-2)-20*V(b+N-1)+11*V(b+N))")                   \
                                                                                                                      \
  /* ---- Interval integrals of the difference methods ---- */                                                        \
  /* Trapezoid over the interval i..i+1. */                                                                           \
  X(integral_trapezoid_i, 1, "I(i+1)-h*(0.5*V(i)+0.5*V(i+1))")                                                        \
  /* The parabola through an element's three nodes j..j+2, over its first and its second interval. */                 \
  X(integral_parabola_j1, 2, "I(j+1)/(0.08333333333333333*h)+(V(j+2)-(5*V(j)+8*V(j+1)))")                             \
  X(integral_parabola_j2, 2, "I(j+2)/(0.08333333333333333*h)-(8*V(j+1)-V(j)+5*V(j+2))")                               \
  /* The quartic through an element's five nodes j..j+4, over each of its four intervals. */                          \
  X(integral_quartic_j1, 4, "I(j+1)-0.001388888888888889*(h*(251*V(j)+646*V(j+1)-264*V(j+2)+106*V(j+3)-19*V(j+4)))")  \
  X(integral_quartic_j2, 4, "I(j+2)-0.001388888888888889*(h*(-19*V(j)+346*V(j+1)+456*V(j+2)-74*V(j+3)+11*V(j+4)))")   \
  X(integral_quartic_j3, 4, "I(j+3)-0.001388888888888889*(h*(11*V(j)-74*V(j+1)+456*V(j+2)+346*V(j+3)-19*V(j+4)))")    \
  X(integral_quartic_j4, 4, "I(j+4)-0.001388888888888889*(h*(-19*V(j)+106*V(j+1)-264*V(j+2)+646*V(j+3)+251*V(j+4)))") \
                                                                                                                      \
  /* ---- OCFE2: the parabola through j, the collocation point j+1 (at 0.5) and j+2 ---- */                           \
  X(ocfe2_d1_b, 2, "D(b)*h+(V(b+2)-(-3.0*V(b)+4.0*V(b+1)))")                                                          \
  X(ocfe2_d1_j1, 2, "D(j+1)*h+(V(j)-V(j+2))")                                                                         \
  X(ocfe2_d1_j2, 2, "D(j+2)*h-(V(j)-4.0*V(j+1)+3.0*V(j+2))")                                                          \
  X(ocfe2_d1_j, 2, "D(j)*h+(V(j+2)-(-3.0*V(j)+4.0*V(j+1)))")                                                          \
  X(ocfe2_d2_j1, 3, "D2(j+1)*sq(h)-(4.0*V(j)-8.0*V(j+1)+4.0*V(j+2))")                                                 \
  X(ocfe2_integral_j1, 2, "I(j+1)-h*(0.20833*V(j)+0.33333*V(j+1)-0.04166*V(j+2))")                                    \
  X(ocfe2_integral_j2, 2, "I(j+2)-h*(-0.04166*V(j)+0.33333*V(j+1)+0.20833*V(j+2))")                                   \
                                                                                                                      \
  /* ---- OCFE3: the cubic through j, the points j+1, j+2 (at 0.21132, 0.78868) and j+3 ---- */                       \
  X(ocfe3_d1_b, 3, "D(b)*h-(-7.0*V(b)+8.19615*V(b+1)-2.19615*V(b+2)+V(b+3))")                                         \
  X(ocfe3_d1_j1, 3, "D(j+1)*h+(0.73205*V(j+3)-(-2.73205*V(j)+1.73205*V(j+1)+1.73205*V(j+2)))")                        \
  X(ocfe3_d1_j2, 3, "D(j+2)*h-(0.73205*V(j)-1.73205*V(j+1)-1.73205*V(j+2)+2.73205*V(j+3))")                           \
  X(ocfe3_d1_j3, 3, "D(j+3)*h-(2.19615*V(j+1)-V(j)-8.19615*V(j+2)+7.0*V(j+3))")                                       \
  X(ocfe3_d1_j, 3, "D(j)*h-(-7.0*V(j)+8.19615*V(j+1)-2.19615*V(j+2)+V(j+3))")                                         \
  X(ocfe3_d2_j1, 3, "D2(j+1)*sq(h)+(4.3923*V(j+3)-(16.3923*V(j)-24.0*V(j+1)+12.0*V(j+2)))")                           \
  X(ocfe3_d2_j2, 3, "D2(j+2)*sq(h)-(-4.3923*V(j)+12.0*V(j+1)-24.0*V(j+2)+16.3923*V(j+3))")                            \
  X(ocfe3_integral_j1, 3, "I(j+1)-h*(0.08978*V(j)+0.12972*V(j+1)-0.01462*V(j+2)+0.00645*V(j+3))")                     \
  X(ocfe3_integral_j2, 3, "I(j+2)-h*(-0.09623*V(j)+0.3849*V(j+1)+0.3849*V(j+2)-0.09623*V(j+3))")                      \
  X(ocfe3_integral_j3, 3, "I(j+3)-h*(0.00645*V(j)-0.01462*V(j+1)+0.12972*V(j+2)+0.08978*V(j+3))")                     \
                                                                                                                      \
  /* ---- OCFE4: the quartic through j, the points j+1..j+3 (at 0.1127, 0.5, 0.8873) and j+4 ---- */                  \
  X(ocfe4_d1_b, 4, "D(b)*h+(V(b+4)-(-13.0*V(b)+14.78831*V(b+1)-2.66667*V(b+2)+1.87836*V(b+3)))")                      \
  X(ocfe4_d1_j1, 4, "D(j+1)*h-(-5.32379*V(j)+3.87298*V(j+1)+2.06559*V(j+2)-1.29099*V(j+3)+0.67621*V(j+4))")           \
  X(ocfe4_d1_j2, 4, "D(j+2)*h+(1.5*V(j+4)-(1.5*V(j)-3.22749*V(j+1)+3.22749*V(j+3)))")                                 \
  X(ocfe4_d1_j3, 4, "D(j+3)*h-(-0.67621*V(j)+1.29099*V(j+1)-2.06559*V(j+2)-3.87298*V(j+3)+5.32379*V(j+4))")           \
  X(ocfe4_d1_j4, 4, "D(j+4)*h-(V(j)-1.87836*V(j+1)+2.66667*V(j+2)-14.78831*V(j+3)+13.0*V(j+4))")                      \
  X(ocfe4_d1_j, 4, "D(j)*h+(V(j+4)-(-13.0*V(j)+14.78831*V(j+1)-2.66667*V(j+2)+1.87836*V(j+3)))")                      \
  X(ocfe4_d2_j1, 4, "D2(j+1)*sq(h)-(53.2379*V(j)-73.33333*V(j+1)+26.66666*V(j+2)-13.33333*V(j+3)+6.7621*V(j+4))")     \
  X(ocfe4_d2_j2, 5, "D2(j+2)*sq(h)+(6.0*V(j+4)-(-6.0*V(j)+16.66667*V(j+1)-21.33334*V(j+2)+16.66667*V(j+3)))")         \
  X(ocfe4_d2_j3, 4, "D2(j+3)*sq(h)-(6.7621*V(j)-13.33333*V(j+1)+26.66666*V(j+2)-73.33333*V(j+3)+53.2379*V(j+4))")     \
  X(ocfe4_integral_j1, 4, "I(j+1)-h*(0.04824*V(j)+0.06788*V(j+1)-0.00499*V(j+2)+0.00333*V(j+3)-0.00176*V(j+4))")      \
  X(ocfe4_integral_j2, 4, "I(j+2)-h*(-0.07949*V(j)+0.27272*V(j+1)+0.22722*V(j+2)-0.06616*V(j+3)+0.03301*V(j+4))")     \
  X(ocfe4_integral_j3, 4, "I(j+3)-h*(0.03301*V(j)-0.06616*V(j+1)+0.22722*V(j+2)+0.27272*V(j+3)-0.07949*V(j+4))")      \
  X(ocfe4_integral_j4, 4, "I(j+4)-h*(-0.00176*V(j)+0.00333*V(j+1)-0.00499*V(j+2)+0.06788*V(j+3)+0.04824*V(j+4))")

// The formulas as one array, in catalogue order, so that a formula has a number (its place) by
// which the equation walker finds the code compiled for it.
inline constexpr Formula kCatalogue[] = {
#define MORVANE_FORMULA_PARSE(NAME, DEGREE, TEXT) CompileFormula(TEXT, DEGREE),
    MORVANE_FORMULA_CATALOGUE(MORVANE_FORMULA_PARSE)
#undef MORVANE_FORMULA_PARSE
};
inline constexpr std::size_t kCatalogueSize = std::size(kCatalogue);

// The places of the formulas, and each formula under its own name.
enum class Place : std::uint8_t {
#define MORVANE_FORMULA_PLACE(NAME, DEGREE, TEXT) NAME,
  MORVANE_FORMULA_CATALOGUE(MORVANE_FORMULA_PLACE)
#undef MORVANE_FORMULA_PLACE
};
#define MORVANE_FORMULA_NAME(NAME, DEGREE, TEXT) \
  inline constexpr const Formula& NAME = kCatalogue[static_cast<std::size_t>(Place::NAME)];
MORVANE_FORMULA_CATALOGUE(MORVANE_FORMULA_NAME)
#undef MORVANE_FORMULA_NAME

// The place of a formula in the catalogue, or kCatalogueSize for a formula that is not one of it.
constexpr std::size_t PlaceOf(const Formula* f) {
  if (std::is_constant_evaluated()) {
    for (std::size_t k = 0; k < kCatalogueSize; ++k) {
      if (f == &kCatalogue[k]) return k;
    }
    return kCatalogueSize;
  }
  const std::less<const Formula*> before;
  if (f == nullptr || before(f, kCatalogue) || !before(f, kCatalogue + kCatalogueSize)) return kCatalogueSize;
  return static_cast<std::size_t>(f - kCatalogue);
}

}  // namespace morvane::eqn::formulas
