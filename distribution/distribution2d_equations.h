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
// Runs and AxisSet both have Nodes; a row's node loop is made by OverNodes(), so only the set is
// needed by that name here.
using Runs::FirstSection, Runs::LaterSections, Runs::EverySection, Runs::Element, Runs::Junction;
using enum AxisSet;
using enum GuardAt;

// The families of a block, by index.
enum : std::uint8_t { kFirst, kSecond, kIntegral, kCross };

inline constexpr StartRow kStarts[] = {
    {1, 1, SelectorList("idx", "idxdy"), X, kIdx, LoopsOver(Across(Y, Nodes))},
    {2, 2, SelectorList("idy"), Y, kIdy, LoopsOver(Across(X, Nodes))},
    {3, 3, SelectorList("idxdy"), X, kIdxdy, LoopsOver(Across(Y, Nodes))},
    {4, 3, SelectorList("idxdy"), Y, kIdxdy, LoopsOver(Across(X, FromOne))},
};

// "BFD1" along x (group 4).
inline constexpr FamilyEntry kBfd1XFamilies[] = {
    FirstFamily(LoopsOver(Across(Y, Nodes)), Bind(kValue, kDdx, kUnbound, kUnbound)),
    SecondFamily(
        LoopsOver(Across(Y, Boundary)), LoopsOver(Across(Y, Inner)), InsideLoops, Bind(kValue, kDdx, kD2dx2, kUnbound)),
    IntegralFamily(SelectorList("idx", "idxdy"), LoopsOver(Across(Y, Nodes)), Bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kBfd1XRows[] = {
    Once(5, kFirst, FirstSection, F::d1_forward2_b),
    OverNodes(6, kFirst, "b+1", "b+N", F::d1_backward2_i),
    OverNodes(7, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(8, kSecond, LaterSections, F::d1_forward2_b),
    OverNodes(9, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
};

// "BFD1" along y (group 5).
inline constexpr FamilyEntry kBfd1YFamilies[] = {
    FirstFamily(LoopsOver(Across(X, Nodes)), Bind(kValue, kDdy, kUnbound, kUnbound)),
    SecondFamily(LoopsOver(Across(X, Boundary)),
                 LoopsOver(Across(X, Interior)),
                 BeforeLoops,
                 Bind(kValue, kDdy, kD2dy2, kUnbound)),
    IntegralFamily(SelectorList("idy"), LoopsOver(Across(X, Nodes)), Bind(kValue, kUnbound, kUnbound, kIdy)),
    IntegralFamily(SelectorList("idxdy"), LoopsOver(Across(X, FromOne)), Bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kBfd1YRows[] = {
    Once(10, kFirst, FirstSection, F::d1_forward2_b),
    OverNodes(11, kFirst, "b+1", "b+N", F::d1_backward2_i),
    OverNodes(12, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(13, kSecond, LaterSections, F::d1_forward2_b),
    OverNodes(14, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
    OverNodes(15, kCross, "b", "b+N-1", F::integral_trapezoid_i),
};

// "BFD2" along x (group 6).
// Its families are those of "BFD1" along x, written once there.
inline constexpr const auto& kBfd2XFamilies = kBfd1XFamilies;
inline constexpr RowEntry kBfd2XRows[] = {
    Once(16, kFirst, FirstSection, F::d1_forward3_b),
    Once(17, kFirst, EverySection, F::d1_central3_b1),
    OverNodes(18, kFirst, "b+2", "b+N", F::d1_backward3_i),
    OverNodes(19, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(20, kSecond, LaterSections, F::d1_forward3_b),
    Once(21, kIntegral, Element, F::integral_parabola_j1),
    Once(22, kIntegral, Element, F::integral_parabola_j2),
};

// "BFD2" along y (group 7).
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kBfd2YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kBfd2YRows[] = {
    Once(23, kFirst, FirstSection, F::d1_forward3_b),
    Once(24, kFirst, EverySection, F::d1_central3_b1),
    OverNodes(25, kFirst, "b+2", "b+N", F::d1_backward3_i),
    OverNodes(26, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(27, kSecond, LaterSections, F::d1_forward3_b),
    Once(28, kIntegral, Element, F::integral_parabola_j1),
    Once(29, kIntegral, Element, F::integral_parabola_j2),
    Once(30, kCross, Element, F::integral_parabola_j1),
    Once(31, kCross, Element, F::integral_parabola_j2),
};

// "FFD1" along x (group 8).
// Its families are those of "BFD1" along x, written once there.
inline constexpr const auto& kFfd1XFamilies = kBfd1XFamilies;
inline constexpr RowEntry kFfd1XRows[] = {
    Once(32, kFirst, FirstSection, F::d1_forward2_b),
    OverNodes(33, kFirst, "b+1", "b+N-1", F::d1_forward2_i),
    Once(34, kFirst, EverySection, F::d1_backward2_end),
    OverNodes(35, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(36, kSecond, LaterSections, F::d1_forward2_b),
    OverNodes(37, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
};

// "FFD1" along y (group 9).
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kFfd1YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kFfd1YRows[] = {
    Once(38, kFirst, FirstSection, F::d1_forward2_b),
    OverNodes(39, kFirst, "b+1", "b+N-1", F::d1_forward2_i),
    Once(40, kFirst, EverySection, F::d1_backward2_end),
    OverNodes(41, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(42, kSecond, LaterSections, F::d1_forward2_b),
    OverNodes(43, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
    OverNodes(44, kCross, "b", "b+N-1", F::integral_trapezoid_i),
};

// "FFD2" along x (group 10).
// Its families are those of "BFD1" along x, written once there.
inline constexpr const auto& kFfd2XFamilies = kBfd1XFamilies;
inline constexpr RowEntry kFfd2XRows[] = {
    Once(45, kFirst, FirstSection, F::d1_forward3_b),
    OverNodes(46, kFirst, "b+1", "b+N-2", F::d1_forward3_i),
    Once(47, kFirst, EverySection, F::d1_central3_end1),
    Once(48, kFirst, EverySection, F::d1_backward3_end),
    OverNodes(49, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(50, kSecond, LaterSections, F::d1_forward3_b),
    Once(51, kIntegral, Element, F::integral_parabola_j1),
    Once(52, kIntegral, Element, F::integral_parabola_j2),
};

// "FFD2" along y (group 11).
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kFfd2YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kFfd2YRows[] = {
    Once(53, kFirst, FirstSection, F::d1_forward3_b),
    OverNodes(54, kFirst, "b+1", "b+N-2", F::d1_forward3_i),
    Once(55, kFirst, EverySection, F::d1_central3_end1),
    Once(56, kFirst, EverySection, F::d1_backward3_end),
    OverNodes(57, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(58, kSecond, LaterSections, F::d1_forward3_b),
    Once(59, kIntegral, Element, F::integral_parabola_j1),
    Once(60, kIntegral, Element, F::integral_parabola_j2),
    Once(61, kCross, Element, F::integral_parabola_j1),
    Once(62, kCross, Element, F::integral_parabola_j2),
};

// "CFD2" along x (group 12).
// Its families are those of "BFD1" along x, written once there.
inline constexpr const auto& kCfd2XFamilies = kBfd1XFamilies;
inline constexpr RowEntry kCfd2XRows[] = {
    Once(63, kFirst, FirstSection, F::d1_forward3_b),
    OverNodes(64, kFirst, "b+1", "b+N-1", F::d1_central3_i),
    Once(65, kFirst, EverySection, F::d1_backward3_end),
    OverNodes(66, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(67, kSecond, LaterSections, F::d1_forward3_b),
    Once(68, kIntegral, Element, F::integral_parabola_j1),
    Once(69, kIntegral, Element, F::integral_parabola_j2),
};

// "CFD2" along y (group 13).
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kCfd2YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kCfd2YRows[] = {
    Once(70, kFirst, FirstSection, F::d1_forward3_b),
    OverNodes(71, kFirst, "b+1", "b+N-1", F::d1_central3_i),
    Once(72, kFirst, EverySection, F::d1_backward3_end),
    OverNodes(73, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(74, kSecond, LaterSections, F::d1_forward3_b),
    Once(75, kIntegral, Element, F::integral_parabola_j1),
    Once(76, kIntegral, Element, F::integral_parabola_j2),
    Once(77, kCross, Element, F::integral_parabola_j1),
    Once(78, kCross, Element, F::integral_parabola_j2),
};

// "CFD4" along x (group 14).
// Its families are those of "BFD1" along x, written once there.
inline constexpr const auto& kCfd4XFamilies = kBfd1XFamilies;
inline constexpr RowEntry kCfd4XRows[] = {
    Once(79, kFirst, FirstSection, F::d1_five_b),
    Once(80, kFirst, EverySection, F::d1_five_b1),
    OverNodes(81, kFirst, "b+2", "b+N-2", F::d1_five_central_i),
    Once(82, kFirst, EverySection, F::d1_five_end1),
    Once(83, kFirst, EverySection, F::d1_five_end),
    Once(84, kSecond, EverySection, F::d2_five_b1),
    OverNodes(85, kSecond, "b+2", "b+N-2", F::d2_five_central_i),
    Once(86, kSecond, EverySection, F::d2_five_end1),
    Once(87, kSecond, LaterSections, F::d1_five_b),
    Once(88, kIntegral, Element, F::integral_quartic_j1),
    Once(89, kIntegral, Element, F::integral_quartic_j2),
    Once(90, kIntegral, Element, F::integral_quartic_j3),
    Once(91, kIntegral, Element, F::integral_quartic_j4),
};

// "CFD4" along y (group 15).
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kCfd4YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kCfd4YRows[] = {
    Once(92, kFirst, FirstSection, F::d1_five_b),
    Once(93, kFirst, EverySection, F::d1_five_b1),
    OverNodes(94, kFirst, "b+2", "b+N-2", F::d1_five_central_i),
    Once(95, kFirst, EverySection, F::d1_five_end1),
    Once(96, kFirst, EverySection, F::d1_five_end),
    Once(97, kSecond, EverySection, F::d2_five_b1),
    OverNodes(98, kSecond, "b+2", "b+N-2", F::d2_five_central_i),
    Once(99, kSecond, EverySection, F::d2_five_end1),
    Once(100, kSecond, LaterSections, F::d1_five_b),
    Once(101, kIntegral, Element, F::integral_quartic_j1),
    Once(102, kIntegral, Element, F::integral_quartic_j2),
    Once(103, kIntegral, Element, F::integral_quartic_j3),
    Once(104, kIntegral, Element, F::integral_quartic_j4),
    Once(105, kCross, Element, F::integral_quartic_j1),
    Once(106, kCross, Element, F::integral_quartic_j2),
    Once(107, kCross, Element, F::integral_quartic_j3),
    Once(108, kCross, Element, F::integral_quartic_j4),
};

// "UBFD4" along x (group 16).
// Its families are those of "BFD1" along x, written once there.
inline constexpr const auto& kUbfd4XFamilies = kBfd1XFamilies;
inline constexpr RowEntry kUbfd4XRows[] = {
    Once(109, kFirst, FirstSection, F::d1_five_b),
    Once(110, kFirst, EverySection, F::d1_five_b1),
    Once(111, kFirst, EverySection, F::d1_five_central_b2),
    OverNodes(112, kFirst, "b+3", "b+N-1", F::d1_five_upwind_i),
    Once(113, kFirst, EverySection, F::d1_five_end),
    Once(114, kSecond, EverySection, F::d2_five_b1),
    Once(115, kSecond, EverySection, F::d2_five_central_b2),
    OverNodes(116, kSecond, "b+3", "b+N-1", F::d2_five_upwind_i),
    Once(117, kSecond, LaterSections, F::d1_five_b),
    Once(118, kIntegral, Element, F::integral_quartic_j1),
    Once(119, kIntegral, Element, F::integral_quartic_j2),
    Once(120, kIntegral, Element, F::integral_quartic_j3),
    Once(121, kIntegral, Element, F::integral_quartic_j4),
};

// "UBFD4" along y (group 17).
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kUbfd4YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kUbfd4YRows[] = {
    Once(122, kFirst, FirstSection, F::d1_five_b),
    Once(123, kFirst, EverySection, F::d1_five_b1),
    Once(124, kFirst, EverySection, F::d1_five_central_b2),
    OverNodes(125, kFirst, "b+3", "b+N-1", F::d1_five_upwind_i),
    Once(126, kFirst, EverySection, F::d1_five_end),
    Once(127, kSecond, EverySection, F::d2_five_b1),
    Once(128, kSecond, EverySection, F::d2_five_central_b2),
    OverNodes(129, kSecond, "b+3", "b+N-1", F::d2_five_upwind_i),
    Once(130, kSecond, LaterSections, F::d1_five_b),
    Once(131, kIntegral, Element, F::integral_quartic_j1),
    Once(132, kIntegral, Element, F::integral_quartic_j2),
    Once(133, kIntegral, Element, F::integral_quartic_j3),
    Once(134, kIntegral, Element, F::integral_quartic_j4),
    Once(135, kCross, Element, F::integral_quartic_j1),
    Once(136, kCross, Element, F::integral_quartic_j2),
    Once(137, kCross, Element, F::integral_quartic_j3),
    Once(138, kCross, Element, F::integral_quartic_j4),
};

// "OCFE2" along x (group 18): the junction row after the second derivative of its element.
// Its families are those of "BFD1" along x, written once there.
inline constexpr const auto& kOcfe2XFamilies = kBfd1XFamilies;
inline constexpr RowEntry kOcfe2XRows[] = {
    Once(139, kFirst, FirstSection, F::ocfe2_d1_b),
    Once(140, kFirst, Element, F::ocfe2_d1_j1),
    Once(141, kFirst, Element, F::ocfe2_d1_j2),
    Once(142, kSecond, Element, F::ocfe2_d2_j1),
    Once(143, kSecond, Junction, F::ocfe2_d1_j),
    Once(144, kIntegral, Element, F::ocfe2_integral_j1),
    Once(145, kIntegral, Element, F::ocfe2_integral_j2),
};

// "OCFE2" along y (group 19): the junction row before the second derivative of its element.
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kOcfe2YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kOcfe2YRows[] = {
    Once(146, kFirst, FirstSection, F::ocfe2_d1_b),
    Once(147, kFirst, Element, F::ocfe2_d1_j1),
    Once(148, kFirst, Element, F::ocfe2_d1_j2),
    Once(149, kSecond, Junction, F::ocfe2_d1_j),
    Once(150, kSecond, Element, F::ocfe2_d2_j1),
    Once(151, kIntegral, Element, F::ocfe2_integral_j1),
    Once(152, kIntegral, Element, F::ocfe2_integral_j2),
    Once(153, kCross, Element, F::ocfe2_integral_j1),
    Once(154, kCross, Element, F::ocfe2_integral_j2),
};

// "OCFE3" along x (group 20): the junction row before the second derivatives of its element.
inline constexpr FamilyEntry kOcfe3XFamilies[] = {
    FirstFamily(LoopsOver(Across(Y, Nodes)), Bind(kValue, kDdx, kUnbound, kUnbound)),
    SecondFamily(
        LoopsOver(Across(Y, Boundary)), LoopsOver(Across(Y, Inner)), BeforeLoops, Bind(kValue, kDdx, kD2dx2, kUnbound)),
    IntegralFamily(SelectorList("idx", "idxdy"), LoopsOver(Across(Y, Nodes)), Bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kOcfe3XRows[] = {
    Once(155, kFirst, FirstSection, F::ocfe3_d1_b),
    Once(156, kFirst, Element, F::ocfe3_d1_j1),
    Once(157, kFirst, Element, F::ocfe3_d1_j2),
    Once(158, kFirst, Element, F::ocfe3_d1_j3),
    Once(159, kSecond, Junction, F::ocfe3_d1_j),
    Once(160, kSecond, Element, F::ocfe3_d2_j1),
    Once(161, kSecond, Element, F::ocfe3_d2_j2),
    Once(162, kIntegral, Element, F::ocfe3_integral_j1),
    Once(163, kIntegral, Element, F::ocfe3_integral_j2),
    Once(164, kIntegral, Element, F::ocfe3_integral_j3),
};

// "OCFE3" along y (group 21): the junction row after the second derivatives of its element.
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kOcfe3YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kOcfe3YRows[] = {
    Once(165, kFirst, FirstSection, F::ocfe3_d1_b),
    Once(166, kFirst, Element, F::ocfe3_d1_j1),
    Once(167, kFirst, Element, F::ocfe3_d1_j2),
    Once(168, kFirst, Element, F::ocfe3_d1_j3),
    Once(169, kSecond, Element, F::ocfe3_d2_j1),
    Once(170, kSecond, Element, F::ocfe3_d2_j2),
    Once(171, kSecond, Junction, F::ocfe3_d1_j),
    Once(172, kIntegral, Element, F::ocfe3_integral_j1),
    Once(173, kIntegral, Element, F::ocfe3_integral_j2),
    Once(174, kIntegral, Element, F::ocfe3_integral_j3),
    Once(175, kCross, Element, F::ocfe3_integral_j1),
    Once(176, kCross, Element, F::ocfe3_integral_j2),
    Once(177, kCross, Element, F::ocfe3_integral_j3),
};

// "OCFE4" along x (group 22): the junction row before the second derivatives of its element.
// Its families are those of "OCFE3" along x, written once there.
inline constexpr const auto& kOcfe4XFamilies = kOcfe3XFamilies;
inline constexpr RowEntry kOcfe4XRows[] = {
    Once(178, kFirst, FirstSection, F::ocfe4_d1_b),
    Once(179, kFirst, Element, F::ocfe4_d1_j1),
    Once(180, kFirst, Element, F::ocfe4_d1_j2),
    Once(181, kFirst, Element, F::ocfe4_d1_j3),
    Once(182, kFirst, Element, F::ocfe4_d1_j4),
    Once(183, kSecond, Junction, F::ocfe4_d1_j),
    Once(184, kSecond, Element, F::ocfe4_d2_j1),
    Once(185, kSecond, Element, F::ocfe4_d2_j2),
    Once(186, kSecond, Element, F::ocfe4_d2_j3),
    Once(187, kIntegral, Element, F::ocfe4_integral_j1),
    Once(188, kIntegral, Element, F::ocfe4_integral_j2),
    Once(189, kIntegral, Element, F::ocfe4_integral_j3),
    Once(190, kIntegral, Element, F::ocfe4_integral_j4),
};

// "OCFE4" along y (group 23): the junction row after the second derivatives of its element.
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kOcfe4YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kOcfe4YRows[] = {
    Once(191, kFirst, FirstSection, F::ocfe4_d1_b),
    Once(192, kFirst, Element, F::ocfe4_d1_j1),
    Once(193, kFirst, Element, F::ocfe4_d1_j2),
    Once(194, kFirst, Element, F::ocfe4_d1_j3),
    Once(195, kFirst, Element, F::ocfe4_d1_j4),
    Once(196, kSecond, Element, F::ocfe4_d2_j1),
    Once(197, kSecond, Element, F::ocfe4_d2_j2),
    Once(198, kSecond, Element, F::ocfe4_d2_j3),
    Once(199, kSecond, Junction, F::ocfe4_d1_j),
    Once(200, kIntegral, Element, F::ocfe4_integral_j1),
    Once(201, kIntegral, Element, F::ocfe4_integral_j2),
    Once(202, kIntegral, Element, F::ocfe4_integral_j3),
    Once(203, kIntegral, Element, F::ocfe4_integral_j4),
    Once(204, kCross, Element, F::ocfe4_integral_j1),
    Once(205, kCross, Element, F::ocfe4_integral_j2),
    Once(206, kCross, Element, F::ocfe4_integral_j3),
    Once(207, kCross, Element, F::ocfe4_integral_j4),
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
inline constexpr auto kPlan = BuildPlan<kTable>();
}  // namespace detail

// The plan of all 207 rows.
inline constexpr std::span<const PlanNode> EquationPlan() { return detail::kPlan.Steps(); }

}  // namespace morvane::eqn::d2
