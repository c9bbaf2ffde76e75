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
#include <string_view>

#include "distribution/eqn_formula_catalogue.h"
#include "distribution/eqn_plan.h"
#include "distribution/eqn_table.h"
#include "distribution/eqn_walker.h"
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
inline constexpr Binding kArrays = Bind(kValue, kDdx, kD2dx2, kIdx);
inline constexpr FamilyEntry kFamilies[] = {
    FirstFamily(LoopsOver(), kArrays),
    SecondFamily(LoopsOver(), LoopsOver(), GuardAt::BeforeLoops, kArrays),
    IntegralFamily(SelectorList("idx"), LoopsOver(), kArrays),
};

inline constexpr StartRow kStarts[] = {{1, 1, SelectorList("idx"), 0, kIdx, LoopsOver()}};

inline constexpr RowEntry kBfd1[] = {
    Once(2, kFirst, FirstSection, F::d1_forward2_b),
    OverNodes(3, kFirst, "b+1", "b+N", F::d1_backward2_i),
    OverNodes(4, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(5, kSecond, LaterSections, F::d1_forward2_b),
    OverNodes(6, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
};

inline constexpr RowEntry kBfd2[] = {
    Once(7, kFirst, FirstSection, F::d1_forward3_b),
    Once(8, kFirst, EverySection, F::d1_central3_b1),
    OverNodes(9, kFirst, "b+2", "b+N", F::d1_backward3_i),
    OverNodes(10, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(11, kSecond, LaterSections, F::d1_forward3_b),
    Once(12, kIntegral, Element, F::integral_parabola_j1),
    Once(13, kIntegral, Element, F::integral_parabola_j2),
};

inline constexpr RowEntry kFfd1[] = {
    Once(14, kFirst, FirstSection, F::d1_forward2_b),
    OverNodes(15, kFirst, "b+1", "b+N-1", F::d1_forward2_i),
    Once(16, kFirst, EverySection, F::d1_backward2_end),
    OverNodes(17, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(18, kSecond, LaterSections, F::d1_forward2_b),
    OverNodes(19, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
};

inline constexpr RowEntry kFfd2[] = {
    Once(20, kFirst, FirstSection, F::d1_forward3_b),
    OverNodes(21, kFirst, "b+1", "b+N-2", F::d1_forward3_i),
    Once(22, kFirst, EverySection, F::d1_central3_end1),
    Once(23, kFirst, EverySection, F::d1_backward3_end),
    OverNodes(24, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(25, kSecond, LaterSections, F::d1_forward3_b),
    Once(26, kIntegral, Element, F::integral_parabola_j1),
    Once(27, kIntegral, Element, F::integral_parabola_j2),
};

inline constexpr RowEntry kCfd2[] = {
    Once(28, kFirst, FirstSection, F::d1_forward3_b),
    OverNodes(29, kFirst, "b+1", "b+N-1", F::d1_central3_i),
    Once(30, kFirst, EverySection, F::d1_backward3_end),
    OverNodes(31, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(32, kSecond, LaterSections, F::d1_forward3_b),
    Once(33, kIntegral, Element, F::integral_parabola_j1),
    Once(34, kIntegral, Element, F::integral_parabola_j2),
};

inline constexpr RowEntry kCfd4[] = {
    Once(35, kFirst, FirstSection, F::d1_five_b),
    Once(36, kFirst, EverySection, F::d1_five_b1),
    OverNodes(37, kFirst, "b+2", "b+N-2", F::d1_five_central_i),
    Once(38, kFirst, EverySection, F::d1_five_end1),
    Once(39, kFirst, EverySection, F::d1_five_end),
    Once(40, kSecond, EverySection, F::d2_five_b1),
    OverNodes(41, kSecond, "b+2", "b+N-2", F::d2_five_central_i),
    Once(42, kSecond, EverySection, F::d2_five_end1),
    Once(43, kSecond, LaterSections, F::d1_five_b),
    Once(44, kIntegral, Element, F::integral_quartic_j1),
    Once(45, kIntegral, Element, F::integral_quartic_j2),
    Once(46, kIntegral, Element, F::integral_quartic_j3),
    Once(47, kIntegral, Element, F::integral_quartic_j4),
};

inline constexpr RowEntry kUbfd4[] = {
    Once(48, kFirst, FirstSection, F::d1_five_b),
    Once(49, kFirst, EverySection, F::d1_five_b1),
    Once(50, kFirst, EverySection, F::d1_five_central_b2),
    OverNodes(51, kFirst, "b+3", "b+N-1", F::d1_five_upwind_i),
    Once(52, kFirst, EverySection, F::d1_five_end),
    Once(53, kSecond, EverySection, F::d2_five_b1),
    Once(54, kSecond, EverySection, F::d2_five_central_b2),
    OverNodes(55, kSecond, "b+3", "b+N-1", F::d2_five_upwind_i),
    Once(56, kSecond, LaterSections, F::d1_five_b),
    Once(57, kIntegral, Element, F::integral_quartic_j1),
    Once(58, kIntegral, Element, F::integral_quartic_j2),
    Once(59, kIntegral, Element, F::integral_quartic_j3),
    Once(60, kIntegral, Element, F::integral_quartic_j4),
};

inline constexpr RowEntry kOcfe2[] = {
    Once(61, kFirst, FirstSection, F::ocfe2_d1_b),
    Once(62, kFirst, Element, F::ocfe2_d1_j1),
    Once(63, kFirst, Element, F::ocfe2_d1_j2),
    Once(64, kSecond, Junction, F::ocfe2_d1_j),
    Once(65, kSecond, Element, F::ocfe2_d2_j1),
    Once(66, kIntegral, Element, F::ocfe2_integral_j1),
    Once(67, kIntegral, Element, F::ocfe2_integral_j2),
};

inline constexpr RowEntry kOcfe3[] = {
    Once(68, kFirst, FirstSection, F::ocfe3_d1_b),
    Once(69, kFirst, Element, F::ocfe3_d1_j1),
    Once(70, kFirst, Element, F::ocfe3_d1_j2),
    Once(71, kFirst, Element, F::ocfe3_d1_j3),
    Once(72, kSecond, Junction, F::ocfe3_d1_j),
    Once(73, kSecond, Element, F::ocfe3_d2_j1),
    Once(74, kSecond, Element, F::ocfe3_d2_j2),
    Once(75, kIntegral, Element, F::ocfe3_integral_j1),
    Once(76, kIntegral, Element, F::ocfe3_integral_j2),
    Once(77, kIntegral, Element, F::ocfe3_integral_j3),
};

inline constexpr RowEntry kOcfe4[] = {
    Once(78, kFirst, FirstSection, F::ocfe4_d1_b),
    Once(79, kFirst, Element, F::ocfe4_d1_j1),
    Once(80, kFirst, Element, F::ocfe4_d1_j2),
    Once(81, kFirst, Element, F::ocfe4_d1_j3),
    Once(82, kFirst, Element, F::ocfe4_d1_j4),
    Once(83, kSecond, Junction, F::ocfe4_d1_j),
    Once(84, kSecond, Element, F::ocfe4_d2_j1),
    Once(85, kSecond, Element, F::ocfe4_d2_j2),
    Once(86, kSecond, Element, F::ocfe4_d2_j3),
    Once(87, kIntegral, Element, F::ocfe4_integral_j1),
    Once(88, kIntegral, Element, F::ocfe4_integral_j2),
    Once(89, kIntegral, Element, F::ocfe4_integral_j3),
    Once(90, kIntegral, Element, F::ocfe4_integral_j4),
};

// The block of a method: a collocation method nests its families inside its sections, any other
// method its sections inside its families. (The method's row is found by its name, not through a
// pointer tested against null: where null-pointer checks are kept, as under GCC's
// -fsanitize=undefined, comparing an object's address with null is not a constant expression. A
// name outside the method table stops the plan builder.)
consteval MethodBlock Block(const char* method, std::int32_t group, std::span<const RowEntry> rows) {
  bool collocation = false;
  for (const TQ_MethodFacts& facts : kDiscretizationMethods) {
    if (std::string_view(method) == facts.name) collocation = facts.collocation;
  }
  const Nesting nesting = collocation ? Nesting::FamiliesInSections : Nesting::SectionsInFamilies;
  return MethodBlock{method, 0, group, nesting, kFamilies, rows};
}

// The method blocks in the order in which they are tested.
inline constexpr MethodBlock kBlocks[] = {
    Block("BFD1", 2, kBfd1),
    Block("BFD2", 3, kBfd2),
    Block("FFD1", 4, kFfd1),
    Block("FFD2", 5, kFfd2),
    Block("CFD2", 6, kCfd2),
    Block("CFD4", 7, kCfd4),
    Block("UBFD4", 8, kUbfd4),
    Block("OCFE2", 9, kOcfe2),
    Block("OCFE3", 10, kOcfe3),
    Block("OCFE4", 11, kOcfe4),
};

}  // namespace table

using table::kBlocks;

inline constexpr DistributionTable kTable{1, 4, table::kStarts, table::kBlocks};

namespace detail {
inline constexpr auto kPlan = BuildPlan<kTable>();
}  // namespace detail

// The plan of all 90 rows.
inline constexpr std::span<const PlanNode> EquationPlan() { return detail::kPlan.Steps(); }

// Declares (SinkMode::Declare) or emits (SinkMode::Emit) the distribution's own equations.
template <class Context, class Sink>
void WalkEquations(Context& context, Sink& sink, std::int32_t groupBase) {
  WalkPlan(EquationPlan(), context, sink, groupBase);
}

// The first fault of the context's current grid that an equation would meet.
template <class Context>
GridFault CheckEquationGrid(Context& context) {
  return CheckGrid(EquationPlan(), context);
}

}  // namespace morvane::eqn::d1
