// The equations of the one-dimensional distribution: its 90 rows, as a table, and the plan that
// the equation walker runs for both the structure declaration and the emission.
//
// A row is its catalogue number, its family (first derivatives, second derivatives with the
// junction rows, integrals), where it runs inside its section, and its formula. The plan builder
// (eqn_plan.h) nests them:
//   - the integral start (group offset 1) under "idx", outside any loop;
//   - then the ten method blocks, each under its own method test (group offsets 2 to 11);
//   - a difference block opens a section loop inside each family's guard; a collocation block
//     opens one section loop around the three family guards;
//   - inside a section: first-section and later-section rows under s == 1 and s != 1, node rows
//     in their node loop, and the element rows of a family in one element loop with the
//     one-element set {j}; a collocation junction row stands under j != 0 and then
//     HIGHESTORDERXDERIVATIVE == 2.
// The arrays are numbered VALUE 0, DDX 1, D2DX2 2, IDX 3; every row reads along axis 0.
#pragma once

#include <cstdint>
#include <span>

#include "distribution/eqn_formula_catalogue.h"
#include "distribution/eqn_plan.h"
#include "distribution/eqn_table.h"
#include "domain/tq_methods.h"

namespace morvane::eqn::d1 {

enum Array : std::uint8_t { kValue = 0, kDdx = 1, kD2dx2 = 2, kIdx = 3 };

// The row table, method by method, in catalogue order.
namespace table {

namespace F = formulas;
using enum Runs;

// The families of every block, by index: first derivatives, second derivatives with the junction
// rows, integrals; every row reads along x through the four arrays.
enum : std::uint8_t { kFirst, kSecond, kIntegral };
inline constexpr Binding kArrays = bind(kValue, kDdx, kD2dx2, kIdx);
inline constexpr FamilyEntry kFamilies[] = {
    first(loops(), kArrays),
    second(loops(), loops(), GuardAt::BeforeLoops, kArrays),
    integral(selectors("idx"), loops(), kArrays),
};

inline constexpr StartRow kStarts[] = {{1, 1, selectors("idx"), 0, kIdx, loops()}};

inline constexpr RowEntry kBfd1[] = {
    once(2, kFirst, FirstSection, F::d1_forward2_b),
    nodes(3, kFirst, "b+1", "b+N", F::d1_backward2_i),
    nodes(4, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(5, kSecond, LaterSections, F::d1_forward2_b),
    nodes(6, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
};

inline constexpr RowEntry kBfd2[] = {
    once(7, kFirst, FirstSection, F::d1_forward3_b),
    once(8, kFirst, EverySection, F::d1_central3_b1),
    nodes(9, kFirst, "b+2", "b+N", F::d1_backward3_i),
    nodes(10, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(11, kSecond, LaterSections, F::d1_forward3_b),
    once(12, kIntegral, Element, F::integral_parabola_j1),
    once(13, kIntegral, Element, F::integral_parabola_j2),
};

inline constexpr RowEntry kFfd1[] = {
    once(14, kFirst, FirstSection, F::d1_forward2_b),
    nodes(15, kFirst, "b+1", "b+N-1", F::d1_forward2_i),
    once(16, kFirst, EverySection, F::d1_backward2_end),
    nodes(17, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(18, kSecond, LaterSections, F::d1_forward2_b),
    nodes(19, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
};

inline constexpr RowEntry kFfd2[] = {
    once(20, kFirst, FirstSection, F::d1_forward3_b),
    nodes(21, kFirst, "b+1", "b+N-2", F::d1_forward3_i),
    once(22, kFirst, EverySection, F::d1_central3_end1),
    once(23, kFirst, EverySection, F::d1_backward3_end),
    nodes(24, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(25, kSecond, LaterSections, F::d1_forward3_b),
    once(26, kIntegral, Element, F::integral_parabola_j1),
    once(27, kIntegral, Element, F::integral_parabola_j2),
};

inline constexpr RowEntry kCfd2[] = {
    once(28, kFirst, FirstSection, F::d1_forward3_b),
    nodes(29, kFirst, "b+1", "b+N-1", F::d1_central3_i),
    once(30, kFirst, EverySection, F::d1_backward3_end),
    nodes(31, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(32, kSecond, LaterSections, F::d1_forward3_b),
    once(33, kIntegral, Element, F::integral_parabola_j1),
    once(34, kIntegral, Element, F::integral_parabola_j2),
};

inline constexpr RowEntry kCfd4[] = {
    once(35, kFirst, FirstSection, F::d1_five_b),
    once(36, kFirst, EverySection, F::d1_five_b1),
    nodes(37, kFirst, "b+2", "b+N-2", F::d1_five_central_i),
    once(38, kFirst, EverySection, F::d1_five_end1),
    once(39, kFirst, EverySection, F::d1_five_end),
    once(40, kSecond, EverySection, F::d2_five_b1),
    nodes(41, kSecond, "b+2", "b+N-2", F::d2_five_central_i),
    once(42, kSecond, EverySection, F::d2_five_end1),
    once(43, kSecond, LaterSections, F::d1_five_b),
    once(44, kIntegral, Element, F::integral_quartic_j1),
    once(45, kIntegral, Element, F::integral_quartic_j2),
    once(46, kIntegral, Element, F::integral_quartic_j3),
    once(47, kIntegral, Element, F::integral_quartic_j4),
};

inline constexpr RowEntry kUbfd4[] = {
    once(48, kFirst, FirstSection, F::d1_five_b),
    once(49, kFirst, EverySection, F::d1_five_b1),
    once(50, kFirst, EverySection, F::d1_five_central_b2),
    nodes(51, kFirst, "b+3", "b+N-1", F::d1_five_upwind_i),
    once(52, kFirst, EverySection, F::d1_five_end),
    once(53, kSecond, EverySection, F::d2_five_b1),
    once(54, kSecond, EverySection, F::d2_five_central_b2),
    nodes(55, kSecond, "b+3", "b+N-1", F::d2_five_upwind_i),
    once(56, kSecond, LaterSections, F::d1_five_b),
    once(57, kIntegral, Element, F::integral_quartic_j1),
    once(58, kIntegral, Element, F::integral_quartic_j2),
    once(59, kIntegral, Element, F::integral_quartic_j3),
    once(60, kIntegral, Element, F::integral_quartic_j4),
};

inline constexpr RowEntry kOcfe2[] = {
    once(61, kFirst, FirstSection, F::ocfe2_d1_b),
    once(62, kFirst, Element, F::ocfe2_d1_j1),
    once(63, kFirst, Element, F::ocfe2_d1_j2),
    once(64, kSecond, Junction, F::ocfe2_d1_j),
    once(65, kSecond, Element, F::ocfe2_d2_j1),
    once(66, kIntegral, Element, F::ocfe2_integral_j1),
    once(67, kIntegral, Element, F::ocfe2_integral_j2),
};

inline constexpr RowEntry kOcfe3[] = {
    once(68, kFirst, FirstSection, F::ocfe3_d1_b),
    once(69, kFirst, Element, F::ocfe3_d1_j1),
    once(70, kFirst, Element, F::ocfe3_d1_j2),
    once(71, kFirst, Element, F::ocfe3_d1_j3),
    once(72, kSecond, Junction, F::ocfe3_d1_j),
    once(73, kSecond, Element, F::ocfe3_d2_j1),
    once(74, kSecond, Element, F::ocfe3_d2_j2),
    once(75, kIntegral, Element, F::ocfe3_integral_j1),
    once(76, kIntegral, Element, F::ocfe3_integral_j2),
    once(77, kIntegral, Element, F::ocfe3_integral_j3),
};

inline constexpr RowEntry kOcfe4[] = {
    once(78, kFirst, FirstSection, F::ocfe4_d1_b),
    once(79, kFirst, Element, F::ocfe4_d1_j1),
    once(80, kFirst, Element, F::ocfe4_d1_j2),
    once(81, kFirst, Element, F::ocfe4_d1_j3),
    once(82, kFirst, Element, F::ocfe4_d1_j4),
    once(83, kSecond, Junction, F::ocfe4_d1_j),
    once(84, kSecond, Element, F::ocfe4_d2_j1),
    once(85, kSecond, Element, F::ocfe4_d2_j2),
    once(86, kSecond, Element, F::ocfe4_d2_j3),
    once(87, kIntegral, Element, F::ocfe4_integral_j1),
    once(88, kIntegral, Element, F::ocfe4_integral_j2),
    once(89, kIntegral, Element, F::ocfe4_integral_j3),
    once(90, kIntegral, Element, F::ocfe4_integral_j4),
};

// The block of a method: a collocation method nests its families inside its sections, any other
// method its sections inside its families.
consteval MethodBlock block(const char* method, std::int32_t group, std::span<const RowEntry> rows) {
  const TQ_MethodFacts* facts = FindDiscretizationMethod(method);
  const Nesting nesting =
      facts != nullptr && facts->collocation ? Nesting::FamiliesInSections : Nesting::SectionsInFamilies;
  return MethodBlock{method, 0, group, nesting, kFamilies, rows};
}

// The method blocks in the order in which they are tested.
inline constexpr MethodBlock kBlocks[] = {
    block("BFD1", 2, kBfd1),
    block("BFD2", 3, kBfd2),
    block("FFD1", 4, kFfd1),
    block("FFD2", 5, kFfd2),
    block("CFD2", 6, kCfd2),
    block("CFD4", 7, kCfd4),
    block("UBFD4", 8, kUbfd4),
    block("OCFE2", 9, kOcfe2),
    block("OCFE3", 10, kOcfe3),
    block("OCFE4", 11, kOcfe4),
};

}  // namespace table

using table::kBlocks;

inline constexpr DistributionTable kTable{1, 4, table::kStarts, table::kBlocks};

namespace detail {
inline constexpr auto kPlan = buildPlan<kTable>();
}  // namespace detail

// The plan of all 90 rows.
inline constexpr std::span<const PlanNode> plan() { return detail::kPlan.steps(); }

// Declares (SinkMode::Declare) or emits (SinkMode::Emit) the distribution's own equations.
template <class Context, class Sink>
void walkEquations(Context& context, Sink& sink, std::int32_t groupBase) {
  walkPlan(plan(), context, sink, groupBase);
}

// The first equation that would read outside its section, for the context's current grid.
template <class Context>
StencilFault checkEquationStencils(Context& context) {
  return checkStencils(plan(), context);
}

}  // namespace morvane::eqn::d1
