// The equations of the two-dimensional distribution: its 207 rows as a table over the shared
// formula catalogue, with the integral-start rows, families and method blocks from which the plan
// builder makes its guards and loops.
//
// The distribution holds a variable at every node pair (x, y) of its two domains, its first and
// second derivatives along each axis and its integrals along x, along y and over both; every array
// is indexed (x, y), whatever its own axis. The table holds
//   - the four integral-start rows (group offsets 1 to 3): the integral at node 0 of its axis for
//     every node of the other axis; IDXDY(x, 0) runs from x = 1, IDXDY(0, 0) being the row before;
//   - the twenty method blocks, for each method its x block, then its y block (group offsets
//     4 + 2m and 5 + 2m for method m). A block's families come in this order: first derivatives,
//     second derivatives with the junction rows, integrals along the block's axis and, in a y
//     block, the cross integral, the y integral of IDX into IDXDY for x from 1.
// The first-derivative and integral families loop over the other axis outermost. The
// second-derivative family loops over the sections (and elements) outermost and over the other
// axis inside them: at its node 0, its INTERIOR nodes and its last node. An x block runs its
// junction rows for y = 1 .. E_Y-1, a y block for x in XDOMAIN's INTERIOR set itself. The guard
// of the junction stands inside that loop in the x blocks of the difference methods and of OCFE2,
// before it in every other block. In the collocation blocks the junction row of an element comes
// after its second derivatives in the OCFE2 x block and the OCFE3 and OCFE4 y blocks, before them
// in the other three.
#pragma once

#include <cstdint>
#include <span>

#include "distribution/eqn_formula_catalogue.h"
#include "distribution/eqn_plan.h"
#include "distribution/eqn_table.h"

namespace morvane::eqn::d2 {

enum Array : std::uint8_t { kValue, kDdx, kDdy, kD2dx2, kD2dy2, kIdx, kIdy, kIdxdy };

inline constexpr std::uint8_t X = 0;
inline constexpr std::uint8_t Y = 1;

namespace table {

namespace F = formulas;
// Runs and AxisSet both have Nodes; a row's node loop is made by nodes(), so only the set is
// needed by that name here.
using Runs::FirstSection, Runs::LaterSections, Runs::EverySection, Runs::Element, Runs::Junction;
using enum AxisSet;
using enum GuardAt;

// The families of a block, by index.
enum : std::uint8_t { kFirst, kSecond, kIntegral, kCross };

inline constexpr StartRow kStarts[] = {
    {1, 1, selectors("idx", "idxdy"), X, kIdx, loops(along(Y, Nodes))},
    {2, 2, selectors("idy"), Y, kIdy, loops(along(X, Nodes))},
    {3, 3, selectors("idxdy"), X, kIdxdy, loops(along(Y, Nodes))},
    {4, 3, selectors("idxdy"), Y, kIdxdy, loops(along(X, FromOne))},
};

// "BFD1" along x (group 4).
inline constexpr FamilyEntry kBfd1XFamilies[] = {
    first(loops(along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary)), loops(along(Y, Inner)), InsideLoops, bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy"), loops(along(Y, Nodes)), bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kBfd1XRows[] = {
    once(5, kFirst, FirstSection, F::d1_forward2_b),
    nodes(6, kFirst, "b+1", "b+N", F::d1_backward2_i),
    nodes(7, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(8, kSecond, LaterSections, F::d1_forward2_b),
    nodes(9, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
};

// "BFD1" along y (group 5).
inline constexpr FamilyEntry kBfd1YFamilies[] = {
    first(loops(along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary)), loops(along(X, Interior)), BeforeLoops, bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(selectors("idy"), loops(along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy"), loops(along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kBfd1YRows[] = {
    once(10, kFirst, FirstSection, F::d1_forward2_b),
    nodes(11, kFirst, "b+1", "b+N", F::d1_backward2_i),
    nodes(12, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(13, kSecond, LaterSections, F::d1_forward2_b),
    nodes(14, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
    nodes(15, kCross, "b", "b+N-1", F::integral_trapezoid_i),
};

// "BFD2" along x (group 6).
inline constexpr FamilyEntry kBfd2XFamilies[] = {
    first(loops(along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary)), loops(along(Y, Inner)), InsideLoops, bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy"), loops(along(Y, Nodes)), bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kBfd2XRows[] = {
    once(16, kFirst, FirstSection, F::d1_forward3_b),
    once(17, kFirst, EverySection, F::d1_central3_b1),
    nodes(18, kFirst, "b+2", "b+N", F::d1_backward3_i),
    nodes(19, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(20, kSecond, LaterSections, F::d1_forward3_b),
    once(21, kIntegral, Element, F::integral_parabola_j1),
    once(22, kIntegral, Element, F::integral_parabola_j2),
};

// "BFD2" along y (group 7).
inline constexpr FamilyEntry kBfd2YFamilies[] = {
    first(loops(along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary)), loops(along(X, Interior)), BeforeLoops, bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(selectors("idy"), loops(along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy"), loops(along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kBfd2YRows[] = {
    once(23, kFirst, FirstSection, F::d1_forward3_b),
    once(24, kFirst, EverySection, F::d1_central3_b1),
    nodes(25, kFirst, "b+2", "b+N", F::d1_backward3_i),
    nodes(26, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(27, kSecond, LaterSections, F::d1_forward3_b),
    once(28, kIntegral, Element, F::integral_parabola_j1),
    once(29, kIntegral, Element, F::integral_parabola_j2),
    once(30, kCross, Element, F::integral_parabola_j1),
    once(31, kCross, Element, F::integral_parabola_j2),
};

// "FFD1" along x (group 8).
inline constexpr FamilyEntry kFfd1XFamilies[] = {
    first(loops(along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary)), loops(along(Y, Inner)), InsideLoops, bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy"), loops(along(Y, Nodes)), bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kFfd1XRows[] = {
    once(32, kFirst, FirstSection, F::d1_forward2_b),
    nodes(33, kFirst, "b+1", "b+N-1", F::d1_forward2_i),
    once(34, kFirst, EverySection, F::d1_backward2_end),
    nodes(35, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(36, kSecond, LaterSections, F::d1_forward2_b),
    nodes(37, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
};

// "FFD1" along y (group 9).
inline constexpr FamilyEntry kFfd1YFamilies[] = {
    first(loops(along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary)), loops(along(X, Interior)), BeforeLoops, bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(selectors("idy"), loops(along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy"), loops(along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kFfd1YRows[] = {
    once(38, kFirst, FirstSection, F::d1_forward2_b),
    nodes(39, kFirst, "b+1", "b+N-1", F::d1_forward2_i),
    once(40, kFirst, EverySection, F::d1_backward2_end),
    nodes(41, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(42, kSecond, LaterSections, F::d1_forward2_b),
    nodes(43, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
    nodes(44, kCross, "b", "b+N-1", F::integral_trapezoid_i),
};

// "FFD2" along x (group 10).
inline constexpr FamilyEntry kFfd2XFamilies[] = {
    first(loops(along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary)), loops(along(Y, Inner)), InsideLoops, bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy"), loops(along(Y, Nodes)), bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kFfd2XRows[] = {
    once(45, kFirst, FirstSection, F::d1_forward3_b),
    nodes(46, kFirst, "b+1", "b+N-2", F::d1_forward3_i),
    once(47, kFirst, EverySection, F::d1_central3_end1),
    once(48, kFirst, EverySection, F::d1_backward3_end),
    nodes(49, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(50, kSecond, LaterSections, F::d1_forward3_b),
    once(51, kIntegral, Element, F::integral_parabola_j1),
    once(52, kIntegral, Element, F::integral_parabola_j2),
};

// "FFD2" along y (group 11).
inline constexpr FamilyEntry kFfd2YFamilies[] = {
    first(loops(along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary)), loops(along(X, Interior)), BeforeLoops, bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(selectors("idy"), loops(along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy"), loops(along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kFfd2YRows[] = {
    once(53, kFirst, FirstSection, F::d1_forward3_b),
    nodes(54, kFirst, "b+1", "b+N-2", F::d1_forward3_i),
    once(55, kFirst, EverySection, F::d1_central3_end1),
    once(56, kFirst, EverySection, F::d1_backward3_end),
    nodes(57, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(58, kSecond, LaterSections, F::d1_forward3_b),
    once(59, kIntegral, Element, F::integral_parabola_j1),
    once(60, kIntegral, Element, F::integral_parabola_j2),
    once(61, kCross, Element, F::integral_parabola_j1),
    once(62, kCross, Element, F::integral_parabola_j2),
};

// "CFD2" along x (group 12).
inline constexpr FamilyEntry kCfd2XFamilies[] = {
    first(loops(along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary)), loops(along(Y, Inner)), InsideLoops, bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy"), loops(along(Y, Nodes)), bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kCfd2XRows[] = {
    once(63, kFirst, FirstSection, F::d1_forward3_b),
    nodes(64, kFirst, "b+1", "b+N-1", F::d1_central3_i),
    once(65, kFirst, EverySection, F::d1_backward3_end),
    nodes(66, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(67, kSecond, LaterSections, F::d1_forward3_b),
    once(68, kIntegral, Element, F::integral_parabola_j1),
    once(69, kIntegral, Element, F::integral_parabola_j2),
};

// "CFD2" along y (group 13).
inline constexpr FamilyEntry kCfd2YFamilies[] = {
    first(loops(along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary)), loops(along(X, Interior)), BeforeLoops, bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(selectors("idy"), loops(along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy"), loops(along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kCfd2YRows[] = {
    once(70, kFirst, FirstSection, F::d1_forward3_b),
    nodes(71, kFirst, "b+1", "b+N-1", F::d1_central3_i),
    once(72, kFirst, EverySection, F::d1_backward3_end),
    nodes(73, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(74, kSecond, LaterSections, F::d1_forward3_b),
    once(75, kIntegral, Element, F::integral_parabola_j1),
    once(76, kIntegral, Element, F::integral_parabola_j2),
    once(77, kCross, Element, F::integral_parabola_j1),
    once(78, kCross, Element, F::integral_parabola_j2),
};

// "CFD4" along x (group 14).
inline constexpr FamilyEntry kCfd4XFamilies[] = {
    first(loops(along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary)), loops(along(Y, Inner)), InsideLoops, bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy"), loops(along(Y, Nodes)), bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kCfd4XRows[] = {
    once(79, kFirst, FirstSection, F::d1_five_b),
    once(80, kFirst, EverySection, F::d1_five_b1),
    nodes(81, kFirst, "b+2", "b+N-2", F::d1_five_central_i),
    once(82, kFirst, EverySection, F::d1_five_end1),
    once(83, kFirst, EverySection, F::d1_five_end),
    once(84, kSecond, EverySection, F::d2_five_b1),
    nodes(85, kSecond, "b+2", "b+N-2", F::d2_five_central_i),
    once(86, kSecond, EverySection, F::d2_five_end1),
    once(87, kSecond, LaterSections, F::d1_five_b),
    once(88, kIntegral, Element, F::integral_quartic_j1),
    once(89, kIntegral, Element, F::integral_quartic_j2),
    once(90, kIntegral, Element, F::integral_quartic_j3),
    once(91, kIntegral, Element, F::integral_quartic_j4),
};

// "CFD4" along y (group 15).
inline constexpr FamilyEntry kCfd4YFamilies[] = {
    first(loops(along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary)), loops(along(X, Interior)), BeforeLoops, bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(selectors("idy"), loops(along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy"), loops(along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kCfd4YRows[] = {
    once(92, kFirst, FirstSection, F::d1_five_b),
    once(93, kFirst, EverySection, F::d1_five_b1),
    nodes(94, kFirst, "b+2", "b+N-2", F::d1_five_central_i),
    once(95, kFirst, EverySection, F::d1_five_end1),
    once(96, kFirst, EverySection, F::d1_five_end),
    once(97, kSecond, EverySection, F::d2_five_b1),
    nodes(98, kSecond, "b+2", "b+N-2", F::d2_five_central_i),
    once(99, kSecond, EverySection, F::d2_five_end1),
    once(100, kSecond, LaterSections, F::d1_five_b),
    once(101, kIntegral, Element, F::integral_quartic_j1),
    once(102, kIntegral, Element, F::integral_quartic_j2),
    once(103, kIntegral, Element, F::integral_quartic_j3),
    once(104, kIntegral, Element, F::integral_quartic_j4),
    once(105, kCross, Element, F::integral_quartic_j1),
    once(106, kCross, Element, F::integral_quartic_j2),
    once(107, kCross, Element, F::integral_quartic_j3),
    once(108, kCross, Element, F::integral_quartic_j4),
};

// "UBFD4" along x (group 16).
inline constexpr FamilyEntry kUbfd4XFamilies[] = {
    first(loops(along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary)), loops(along(Y, Inner)), InsideLoops, bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy"), loops(along(Y, Nodes)), bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kUbfd4XRows[] = {
    once(109, kFirst, FirstSection, F::d1_five_b),
    once(110, kFirst, EverySection, F::d1_five_b1),
    once(111, kFirst, EverySection, F::d1_five_central_b2),
    nodes(112, kFirst, "b+3", "b+N-1", F::d1_five_upwind_i),
    once(113, kFirst, EverySection, F::d1_five_end),
    once(114, kSecond, EverySection, F::d2_five_b1),
    once(115, kSecond, EverySection, F::d2_five_central_b2),
    nodes(116, kSecond, "b+3", "b+N-1", F::d2_five_upwind_i),
    once(117, kSecond, LaterSections, F::d1_five_b),
    once(118, kIntegral, Element, F::integral_quartic_j1),
    once(119, kIntegral, Element, F::integral_quartic_j2),
    once(120, kIntegral, Element, F::integral_quartic_j3),
    once(121, kIntegral, Element, F::integral_quartic_j4),
};

// "UBFD4" along y (group 17).
inline constexpr FamilyEntry kUbfd4YFamilies[] = {
    first(loops(along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary)), loops(along(X, Interior)), BeforeLoops, bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(selectors("idy"), loops(along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy"), loops(along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kUbfd4YRows[] = {
    once(122, kFirst, FirstSection, F::d1_five_b),
    once(123, kFirst, EverySection, F::d1_five_b1),
    once(124, kFirst, EverySection, F::d1_five_central_b2),
    nodes(125, kFirst, "b+3", "b+N-1", F::d1_five_upwind_i),
    once(126, kFirst, EverySection, F::d1_five_end),
    once(127, kSecond, EverySection, F::d2_five_b1),
    once(128, kSecond, EverySection, F::d2_five_central_b2),
    nodes(129, kSecond, "b+3", "b+N-1", F::d2_five_upwind_i),
    once(130, kSecond, LaterSections, F::d1_five_b),
    once(131, kIntegral, Element, F::integral_quartic_j1),
    once(132, kIntegral, Element, F::integral_quartic_j2),
    once(133, kIntegral, Element, F::integral_quartic_j3),
    once(134, kIntegral, Element, F::integral_quartic_j4),
    once(135, kCross, Element, F::integral_quartic_j1),
    once(136, kCross, Element, F::integral_quartic_j2),
    once(137, kCross, Element, F::integral_quartic_j3),
    once(138, kCross, Element, F::integral_quartic_j4),
};

// "OCFE2" along x (group 18): the junction row after the second derivative of its element.
inline constexpr FamilyEntry kOcfe2XFamilies[] = {
    first(loops(along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary)), loops(along(Y, Inner)), InsideLoops, bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy"), loops(along(Y, Nodes)), bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kOcfe2XRows[] = {
    once(139, kFirst, FirstSection, F::ocfe2_d1_b),
    once(140, kFirst, Element, F::ocfe2_d1_j1),
    once(141, kFirst, Element, F::ocfe2_d1_j2),
    once(142, kSecond, Element, F::ocfe2_d2_j1),
    once(143, kSecond, Junction, F::ocfe2_d1_j),
    once(144, kIntegral, Element, F::ocfe2_integral_j1),
    once(145, kIntegral, Element, F::ocfe2_integral_j2),
};

// "OCFE2" along y (group 19): the junction row before the second derivative of its element.
inline constexpr FamilyEntry kOcfe2YFamilies[] = {
    first(loops(along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary)), loops(along(X, Interior)), BeforeLoops, bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(selectors("idy"), loops(along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy"), loops(along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kOcfe2YRows[] = {
    once(146, kFirst, FirstSection, F::ocfe2_d1_b),
    once(147, kFirst, Element, F::ocfe2_d1_j1),
    once(148, kFirst, Element, F::ocfe2_d1_j2),
    once(149, kSecond, Junction, F::ocfe2_d1_j),
    once(150, kSecond, Element, F::ocfe2_d2_j1),
    once(151, kIntegral, Element, F::ocfe2_integral_j1),
    once(152, kIntegral, Element, F::ocfe2_integral_j2),
    once(153, kCross, Element, F::ocfe2_integral_j1),
    once(154, kCross, Element, F::ocfe2_integral_j2),
};

// "OCFE3" along x (group 20): the junction row before the second derivatives of its element.
inline constexpr FamilyEntry kOcfe3XFamilies[] = {
    first(loops(along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary)), loops(along(Y, Inner)), BeforeLoops, bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy"), loops(along(Y, Nodes)), bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kOcfe3XRows[] = {
    once(155, kFirst, FirstSection, F::ocfe3_d1_b),
    once(156, kFirst, Element, F::ocfe3_d1_j1),
    once(157, kFirst, Element, F::ocfe3_d1_j2),
    once(158, kFirst, Element, F::ocfe3_d1_j3),
    once(159, kSecond, Junction, F::ocfe3_d1_j),
    once(160, kSecond, Element, F::ocfe3_d2_j1),
    once(161, kSecond, Element, F::ocfe3_d2_j2),
    once(162, kIntegral, Element, F::ocfe3_integral_j1),
    once(163, kIntegral, Element, F::ocfe3_integral_j2),
    once(164, kIntegral, Element, F::ocfe3_integral_j3),
};

// "OCFE3" along y (group 21): the junction row after the second derivatives of its element.
inline constexpr FamilyEntry kOcfe3YFamilies[] = {
    first(loops(along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary)), loops(along(X, Interior)), BeforeLoops, bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(selectors("idy"), loops(along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy"), loops(along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kOcfe3YRows[] = {
    once(165, kFirst, FirstSection, F::ocfe3_d1_b),
    once(166, kFirst, Element, F::ocfe3_d1_j1),
    once(167, kFirst, Element, F::ocfe3_d1_j2),
    once(168, kFirst, Element, F::ocfe3_d1_j3),
    once(169, kSecond, Element, F::ocfe3_d2_j1),
    once(170, kSecond, Element, F::ocfe3_d2_j2),
    once(171, kSecond, Junction, F::ocfe3_d1_j),
    once(172, kIntegral, Element, F::ocfe3_integral_j1),
    once(173, kIntegral, Element, F::ocfe3_integral_j2),
    once(174, kIntegral, Element, F::ocfe3_integral_j3),
    once(175, kCross, Element, F::ocfe3_integral_j1),
    once(176, kCross, Element, F::ocfe3_integral_j2),
    once(177, kCross, Element, F::ocfe3_integral_j3),
};

// "OCFE4" along x (group 22): the junction row before the second derivatives of its element.
inline constexpr FamilyEntry kOcfe4XFamilies[] = {
    first(loops(along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary)), loops(along(Y, Inner)), BeforeLoops, bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy"), loops(along(Y, Nodes)), bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kOcfe4XRows[] = {
    once(178, kFirst, FirstSection, F::ocfe4_d1_b),
    once(179, kFirst, Element, F::ocfe4_d1_j1),
    once(180, kFirst, Element, F::ocfe4_d1_j2),
    once(181, kFirst, Element, F::ocfe4_d1_j3),
    once(182, kFirst, Element, F::ocfe4_d1_j4),
    once(183, kSecond, Junction, F::ocfe4_d1_j),
    once(184, kSecond, Element, F::ocfe4_d2_j1),
    once(185, kSecond, Element, F::ocfe4_d2_j2),
    once(186, kSecond, Element, F::ocfe4_d2_j3),
    once(187, kIntegral, Element, F::ocfe4_integral_j1),
    once(188, kIntegral, Element, F::ocfe4_integral_j2),
    once(189, kIntegral, Element, F::ocfe4_integral_j3),
    once(190, kIntegral, Element, F::ocfe4_integral_j4),
};

// "OCFE4" along y (group 23): the junction row after the second derivatives of its element.
inline constexpr FamilyEntry kOcfe4YFamilies[] = {
    first(loops(along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary)), loops(along(X, Interior)), BeforeLoops, bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(selectors("idy"), loops(along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy"), loops(along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kOcfe4YRows[] = {
    once(191, kFirst, FirstSection, F::ocfe4_d1_b),
    once(192, kFirst, Element, F::ocfe4_d1_j1),
    once(193, kFirst, Element, F::ocfe4_d1_j2),
    once(194, kFirst, Element, F::ocfe4_d1_j3),
    once(195, kFirst, Element, F::ocfe4_d1_j4),
    once(196, kSecond, Element, F::ocfe4_d2_j1),
    once(197, kSecond, Element, F::ocfe4_d2_j2),
    once(198, kSecond, Element, F::ocfe4_d2_j3),
    once(199, kSecond, Junction, F::ocfe4_d1_j),
    once(200, kIntegral, Element, F::ocfe4_integral_j1),
    once(201, kIntegral, Element, F::ocfe4_integral_j2),
    once(202, kIntegral, Element, F::ocfe4_integral_j3),
    once(203, kIntegral, Element, F::ocfe4_integral_j4),
    once(204, kCross, Element, F::ocfe4_integral_j1),
    once(205, kCross, Element, F::ocfe4_integral_j2),
    once(206, kCross, Element, F::ocfe4_integral_j3),
    once(207, kCross, Element, F::ocfe4_integral_j4),
};

// The method blocks in the order in which they are tested.
inline constexpr MethodBlock kBlocks[] = {
    {"BFD1", X, 4, Nesting::SectionsInFamilies, kBfd1XFamilies, kBfd1XRows},
    {"BFD1", Y, 5, Nesting::SectionsInFamilies, kBfd1YFamilies, kBfd1YRows},
    {"BFD2", X, 6, Nesting::SectionsInFamilies, kBfd2XFamilies, kBfd2XRows},
    {"BFD2", Y, 7, Nesting::SectionsInFamilies, kBfd2YFamilies, kBfd2YRows},
    {"FFD1", X, 8, Nesting::SectionsInFamilies, kFfd1XFamilies, kFfd1XRows},
    {"FFD1", Y, 9, Nesting::SectionsInFamilies, kFfd1YFamilies, kFfd1YRows},
    {"FFD2", X, 10, Nesting::SectionsInFamilies, kFfd2XFamilies, kFfd2XRows},
    {"FFD2", Y, 11, Nesting::SectionsInFamilies, kFfd2YFamilies, kFfd2YRows},
    {"CFD2", X, 12, Nesting::SectionsInFamilies, kCfd2XFamilies, kCfd2XRows},
    {"CFD2", Y, 13, Nesting::SectionsInFamilies, kCfd2YFamilies, kCfd2YRows},
    {"CFD4", X, 14, Nesting::SectionsInFamilies, kCfd4XFamilies, kCfd4XRows},
    {"CFD4", Y, 15, Nesting::SectionsInFamilies, kCfd4YFamilies, kCfd4YRows},
    {"UBFD4", X, 16, Nesting::SectionsInFamilies, kUbfd4XFamilies, kUbfd4XRows},
    {"UBFD4", Y, 17, Nesting::SectionsInFamilies, kUbfd4YFamilies, kUbfd4YRows},
    {"OCFE2", X, 18, Nesting::SectionsInFamilies, kOcfe2XFamilies, kOcfe2XRows},
    {"OCFE2", Y, 19, Nesting::SectionsInFamilies, kOcfe2YFamilies, kOcfe2YRows},
    {"OCFE3", X, 20, Nesting::SectionsInFamilies, kOcfe3XFamilies, kOcfe3XRows},
    {"OCFE3", Y, 21, Nesting::SectionsInFamilies, kOcfe3YFamilies, kOcfe3YRows},
    {"OCFE4", X, 22, Nesting::SectionsInFamilies, kOcfe4XFamilies, kOcfe4XRows},
    {"OCFE4", Y, 23, Nesting::SectionsInFamilies, kOcfe4YFamilies, kOcfe4YRows},
};

}  // namespace table

inline constexpr DistributionTable kTable{2, 8, table::kStarts, table::kBlocks};

namespace detail {
inline constexpr auto kPlan = buildPlan<kTable>();
}  // namespace detail

// The plan of all 207 rows.
inline constexpr std::span<const PlanNode> plan() { return detail::kPlan.steps(); }

}  // namespace morvane::eqn::d2
