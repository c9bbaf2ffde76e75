// The equations of the three-dimensional distribution: its 379 rows, as a table, and the
// descriptor of each of its thirty method blocks, from which the plan builder makes the plan that
// both the structure declaration and the emission walk.
//
//   - Twelve integral-start rows (groups 1 to 7) give each integral its equations on the faces
//     where one of its own axes has the index 0. A double or triple integral starts at 1 on every
//     axis whose face 0 an earlier start row of the same integral already covers, so no element
//     gets two start equations.
//   - Then the ten methods, each with an x, a y and a z block (group 8 + 3m + axis). A block runs
//     its first-derivative family, its second-derivative family with the junction rows, its
//     integral family and, along y and z, its cross-integral families, each in loops of its own
//     over the two other axes. The order of those two loops differs by method, axis and family;
//     the families state it as the equations are declared and emitted.
//   - A cross integral repeats its block's integral rows with a lower integral in place of VALUE:
//     IDXDY from IDX along y; IDXDZ from IDX, IDYDZ from IDY and IDXDYDZ from IDXDY along z. Its
//     loops start at 1 on each axis that the lower integral already integrates; the start rows
//     give the elements at 0.
//   - The junction rows run over [1..E-1] on an axis that follows the block's axis (x, y, z
//     order) and over that axis's INTERIOR on one that precedes it.
// The arrays are numbered VALUE 0, DDX 1, DDY 2, DDZ 3, D2DX2 4, D2DY2 5, D2DZ2 6, IDX 7, IDY 8,
// IDZ 9, IDXDY 10, IDXDZ 11, IDYDZ 12, IDXDYDZ 13, every one indexed (x, y, z).
#pragma once

#include <cstdint>
#include <span>

#include "distribution/eqn_formula_catalogue.h"
#include "distribution/eqn_plan.h"
#include "distribution/eqn_table.h"

namespace morvane::eqn::d3 {

enum Array : std::uint8_t {
  kValue,
  kDdx,
  kDdy,
  kDdz,
  kD2dx2,
  kD2dy2,
  kD2dz2,
  kIdx,
  kIdy,
  kIdz,
  kIdxdy,
  kIdxdz,
  kIdydz,
  kIdxdydz,
};

inline constexpr std::uint8_t X = 0;
inline constexpr std::uint8_t Y = 1;
inline constexpr std::uint8_t Z = 2;

// The row table, block by block, in the order in which the blocks are tested.
namespace table {

namespace F = formulas;
// Runs::Nodes and AxisSet::Nodes share a name: node rows are written with OverNodes(), so only the
// other places of a row are brought in, and Nodes names the other-axis node set.
using Runs::FirstSection, Runs::LaterSections, Runs::EverySection, Runs::Element, Runs::Junction;
using enum AxisSet;
using enum GuardAt;

// The families of a block, by index: the cross integrals follow the block's own integral.
enum : std::uint8_t { kFirst, kSecond, kIntegral, kCross, kCross2, kCross3 };

// The integral starts: op1(I(0)) along the integral's axis, for every node of the loops.
inline constexpr StartRow kStarts[] = {
    {1, 1, SelectorList("idx", "idxdy", "idxdz", "idxdydz"), X, kIdx, LoopsOver(Across(Y, Nodes), Across(Z, Nodes))},
    {2, 2, SelectorList("idy", "idydz"), Y, kIdy, LoopsOver(Across(X, Nodes), Across(Z, Nodes))},
    {3, 3, SelectorList("idz"), Z, kIdz, LoopsOver(Across(X, Nodes), Across(Y, Nodes))},
    {4, 4, SelectorList("idxdy", "idxdydz"), X, kIdxdy, LoopsOver(Across(Y, Nodes), Across(Z, Nodes))},
    {5, 4, SelectorList("idxdy", "idxdydz"), Y, kIdxdy, LoopsOver(Across(X, FromOne), Across(Z, Nodes))},
    {6, 5, SelectorList("idxdz"), X, kIdxdz, LoopsOver(Across(Y, Nodes), Across(Z, Nodes))},
    {7, 5, SelectorList("idxdz"), Z, kIdxdz, LoopsOver(Across(X, FromOne), Across(Y, Nodes))},
    {8, 6, SelectorList("idydz"), Y, kIdydz, LoopsOver(Across(X, Nodes), Across(Z, Nodes))},
    {9, 6, SelectorList("idydz"), Z, kIdydz, LoopsOver(Across(X, Nodes), Across(Y, FromOne))},
    {10, 7, SelectorList("idxdydz"), X, kIdxdydz, LoopsOver(Across(Y, Nodes), Across(Z, Nodes))},
    {11, 7, SelectorList("idxdydz"), Y, kIdxdydz, LoopsOver(Across(X, FromOne), Across(Z, Nodes))},
    {12, 7, SelectorList("idxdydz"), Z, kIdxdydz, LoopsOver(Across(X, FromOne), Across(Y, FromOne))},
};

// "BFD1" along x (group 8, rows 13 to 17).
inline constexpr FamilyEntry kBfd1XFamilies[] = {
    FirstFamily(LoopsOver(Across(Z, Nodes), Across(Y, Nodes)), Bind(kValue, kDdx, kUnbound, kUnbound)),
    SecondFamily(LoopsOver(Across(Z, Boundary), Across(Y, Boundary)),
                 LoopsOver(Across(Z, Inner), Across(Y, Inner)),
                 BeforeLoops,
                 Bind(kValue, kDdx, kD2dx2, kUnbound)),
    IntegralFamily(SelectorList("idx", "idxdy", "idxdz", "idxdydz"),
                   LoopsOver(Across(Z, Nodes), Across(Y, Nodes)),
                   Bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kBfd1XRows[] = {
    Once(13, kFirst, FirstSection, F::d1_forward2_b),
    OverNodes(14, kFirst, "b+1", "b+N", F::d1_backward2_i),
    OverNodes(15, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(16, kSecond, LaterSections, F::d1_forward2_b),
    OverNodes(17, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
};

// "BFD1" along y (group 9, rows 18 to 23).
inline constexpr FamilyEntry kBfd1YFamilies[] = {
    FirstFamily(LoopsOver(Across(Z, Nodes), Across(X, Nodes)), Bind(kValue, kDdy, kUnbound, kUnbound)),
    SecondFamily(LoopsOver(Across(X, Boundary), Across(Z, Boundary)),
                 LoopsOver(Across(X, Interior), Across(Z, Inner)),
                 BeforeLoops,
                 Bind(kValue, kDdy, kD2dy2, kUnbound)),
    IntegralFamily(SelectorList("idy", "idydz"),
                   LoopsOver(Across(Z, Nodes), Across(X, Nodes)),
                   Bind(kValue, kUnbound, kUnbound, kIdy)),
    IntegralFamily(SelectorList("idxdy", "idxdydz"),
                   LoopsOver(Across(Z, Nodes), Across(X, FromOne)),
                   Bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kBfd1YRows[] = {
    Once(18, kFirst, FirstSection, F::d1_forward2_b),
    OverNodes(19, kFirst, "b+1", "b+N", F::d1_backward2_i),
    OverNodes(20, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(21, kSecond, LaterSections, F::d1_forward2_b),
    OverNodes(22, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
    OverNodes(23, kCross, "b", "b+N-1", F::integral_trapezoid_i),
};

// "BFD1" along z (group 10, rows 24 to 31).
inline constexpr FamilyEntry kBfd1ZFamilies[] = {
    FirstFamily(LoopsOver(Across(Y, Nodes), Across(X, Nodes)), Bind(kValue, kDdz, kUnbound, kUnbound)),
    SecondFamily(LoopsOver(Across(X, Boundary), Across(Y, Boundary)),
                 LoopsOver(Across(X, Interior), Across(Y, Interior)),
                 BeforeLoops,
                 Bind(kValue, kDdz, kD2dz2, kUnbound)),
    IntegralFamily(
        SelectorList("idz"), LoopsOver(Across(Y, Nodes), Across(X, Nodes)), Bind(kValue, kUnbound, kUnbound, kIdz)),
    IntegralFamily(
        SelectorList("idxdz"), LoopsOver(Across(Y, Nodes), Across(X, FromOne)), Bind(kIdx, kUnbound, kUnbound, kIdxdz)),
    IntegralFamily(
        SelectorList("idydz"), LoopsOver(Across(Y, FromOne), Across(X, Nodes)), Bind(kIdy, kUnbound, kUnbound, kIdydz)),
    IntegralFamily(SelectorList("idxdydz"),
                   LoopsOver(Across(Y, FromOne), Across(X, FromOne)),
                   Bind(kIdxdy, kUnbound, kUnbound, kIdxdydz)),
};
inline constexpr RowEntry kBfd1ZRows[] = {
    Once(24, kFirst, FirstSection, F::d1_forward2_b),
    OverNodes(25, kFirst, "b+1", "b+N", F::d1_backward2_i),
    OverNodes(26, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(27, kSecond, LaterSections, F::d1_forward2_b),
    OverNodes(28, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
    OverNodes(29, kCross, "b", "b+N-1", F::integral_trapezoid_i),
    OverNodes(30, kCross2, "b", "b+N-1", F::integral_trapezoid_i),
    OverNodes(31, kCross3, "b", "b+N-1", F::integral_trapezoid_i),
};

// "BFD2" along x (group 11, rows 32 to 38).
inline constexpr FamilyEntry kBfd2XFamilies[] = {
    FirstFamily(LoopsOver(Across(Z, Nodes), Across(Y, Nodes)), Bind(kValue, kDdx, kUnbound, kUnbound)),
    SecondFamily(LoopsOver(Across(Y, Boundary), Across(Z, Boundary)),
                 LoopsOver(Across(Y, Inner), Across(Z, Inner)),
                 BeforeLoops,
                 Bind(kValue, kDdx, kD2dx2, kUnbound)),
    IntegralFamily(SelectorList("idx", "idxdy", "idxdz", "idxdydz"),
                   LoopsOver(Across(Z, Nodes), Across(Y, Nodes)),
                   Bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kBfd2XRows[] = {
    Once(32, kFirst, FirstSection, F::d1_forward3_b),
    Once(33, kFirst, EverySection, F::d1_central3_b1),
    OverNodes(34, kFirst, "b+2", "b+N", F::d1_backward3_i),
    OverNodes(35, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(36, kSecond, LaterSections, F::d1_forward3_b),
    Once(37, kIntegral, Element, F::integral_parabola_j1),
    Once(38, kIntegral, Element, F::integral_parabola_j2),
};

// "BFD2" along y (group 12, rows 39 to 47).
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kBfd2YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kBfd2YRows[] = {
    Once(39, kFirst, FirstSection, F::d1_forward3_b),
    Once(40, kFirst, EverySection, F::d1_central3_b1),
    OverNodes(41, kFirst, "b+2", "b+N", F::d1_backward3_i),
    OverNodes(42, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(43, kSecond, LaterSections, F::d1_forward3_b),
    Once(44, kIntegral, Element, F::integral_parabola_j1),
    Once(45, kIntegral, Element, F::integral_parabola_j2),
    Once(46, kCross, Element, F::integral_parabola_j1),
    Once(47, kCross, Element, F::integral_parabola_j2),
};

// "BFD2" along z (group 13, rows 48 to 60).
// Its families are those of "BFD1" along z, written once there.
inline constexpr const auto& kBfd2ZFamilies = kBfd1ZFamilies;
inline constexpr RowEntry kBfd2ZRows[] = {
    Once(48, kFirst, FirstSection, F::d1_forward3_b),
    Once(49, kFirst, EverySection, F::d1_central3_b1),
    OverNodes(50, kFirst, "b+2", "b+N", F::d1_backward3_i),
    OverNodes(51, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(52, kSecond, LaterSections, F::d1_forward3_b),
    Once(53, kIntegral, Element, F::integral_parabola_j1),
    Once(54, kIntegral, Element, F::integral_parabola_j2),
    Once(55, kCross, Element, F::integral_parabola_j1),
    Once(56, kCross, Element, F::integral_parabola_j2),
    Once(57, kCross2, Element, F::integral_parabola_j1),
    Once(58, kCross2, Element, F::integral_parabola_j2),
    Once(59, kCross3, Element, F::integral_parabola_j1),
    Once(60, kCross3, Element, F::integral_parabola_j2),
};

// "FFD1" along x (group 14, rows 61 to 66).
// Its families are those of "BFD1" along x, written once there.
inline constexpr const auto& kFfd1XFamilies = kBfd1XFamilies;
inline constexpr RowEntry kFfd1XRows[] = {
    Once(61, kFirst, FirstSection, F::d1_forward2_b),
    OverNodes(62, kFirst, "b+1", "b+N-1", F::d1_forward2_i),
    Once(63, kFirst, EverySection, F::d1_backward2_end),
    OverNodes(64, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(65, kSecond, LaterSections, F::d1_forward2_b),
    OverNodes(66, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
};

// "FFD1" along y (group 15, rows 67 to 73).
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kFfd1YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kFfd1YRows[] = {
    Once(67, kFirst, FirstSection, F::d1_forward2_b),
    OverNodes(68, kFirst, "b+1", "b+N-1", F::d1_forward2_i),
    Once(69, kFirst, EverySection, F::d1_backward2_end),
    OverNodes(70, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(71, kSecond, LaterSections, F::d1_forward2_b),
    OverNodes(72, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
    OverNodes(73, kCross, "b", "b+N-1", F::integral_trapezoid_i),
};

// "FFD1" along z (group 16, rows 74 to 82).
// Its families are those of "BFD1" along z, written once there.
inline constexpr const auto& kFfd1ZFamilies = kBfd1ZFamilies;
inline constexpr RowEntry kFfd1ZRows[] = {
    Once(74, kFirst, FirstSection, F::d1_forward2_b),
    OverNodes(75, kFirst, "b+1", "b+N-1", F::d1_forward2_i),
    Once(76, kFirst, EverySection, F::d1_backward2_end),
    OverNodes(77, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(78, kSecond, LaterSections, F::d1_forward2_b),
    OverNodes(79, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
    OverNodes(80, kCross, "b", "b+N-1", F::integral_trapezoid_i),
    OverNodes(81, kCross2, "b", "b+N-1", F::integral_trapezoid_i),
    OverNodes(82, kCross3, "b", "b+N-1", F::integral_trapezoid_i),
};

// "FFD2" along x (group 17, rows 83 to 90).
// Its families are those of "BFD2" along x, written once there.
inline constexpr const auto& kFfd2XFamilies = kBfd2XFamilies;
inline constexpr RowEntry kFfd2XRows[] = {
    Once(83, kFirst, FirstSection, F::d1_forward3_b),
    OverNodes(84, kFirst, "b+1", "b+N-2", F::d1_forward3_i),
    Once(85, kFirst, EverySection, F::d1_central3_end1),
    Once(86, kFirst, EverySection, F::d1_backward3_end),
    OverNodes(87, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(88, kSecond, LaterSections, F::d1_forward3_b),
    Once(89, kIntegral, Element, F::integral_parabola_j1),
    Once(90, kIntegral, Element, F::integral_parabola_j2),
};

// "FFD2" along y (group 18, rows 91 to 100).
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kFfd2YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kFfd2YRows[] = {
    Once(91, kFirst, FirstSection, F::d1_forward3_b),
    OverNodes(92, kFirst, "b+1", "b+N-2", F::d1_forward3_i),
    Once(93, kFirst, EverySection, F::d1_central3_end1),
    Once(94, kFirst, EverySection, F::d1_backward3_end),
    OverNodes(95, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(96, kSecond, LaterSections, F::d1_forward3_b),
    Once(97, kIntegral, Element, F::integral_parabola_j1),
    Once(98, kIntegral, Element, F::integral_parabola_j2),
    Once(99, kCross, Element, F::integral_parabola_j1),
    Once(100, kCross, Element, F::integral_parabola_j2),
};

// "FFD2" along z (group 19, rows 101 to 114).
// Its families are those of "BFD1" along z, written once there.
inline constexpr const auto& kFfd2ZFamilies = kBfd1ZFamilies;
inline constexpr RowEntry kFfd2ZRows[] = {
    Once(101, kFirst, FirstSection, F::d1_forward3_b),
    OverNodes(102, kFirst, "b+1", "b+N-2", F::d1_forward3_i),
    Once(103, kFirst, EverySection, F::d1_central3_end1),
    Once(104, kFirst, EverySection, F::d1_backward3_end),
    OverNodes(105, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(106, kSecond, LaterSections, F::d1_forward3_b),
    Once(107, kIntegral, Element, F::integral_parabola_j1),
    Once(108, kIntegral, Element, F::integral_parabola_j2),
    Once(109, kCross, Element, F::integral_parabola_j1),
    Once(110, kCross, Element, F::integral_parabola_j2),
    Once(111, kCross2, Element, F::integral_parabola_j1),
    Once(112, kCross2, Element, F::integral_parabola_j2),
    Once(113, kCross3, Element, F::integral_parabola_j1),
    Once(114, kCross3, Element, F::integral_parabola_j2),
};

// "CFD2" along x (group 20, rows 115 to 121).
// Its families are those of "BFD2" along x, written once there.
inline constexpr const auto& kCfd2XFamilies = kBfd2XFamilies;
inline constexpr RowEntry kCfd2XRows[] = {
    Once(115, kFirst, FirstSection, F::d1_forward3_b),
    OverNodes(116, kFirst, "b+1", "b+N-1", F::d1_central3_i),
    Once(117, kFirst, EverySection, F::d1_backward3_end),
    OverNodes(118, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(119, kSecond, LaterSections, F::d1_forward3_b),
    Once(120, kIntegral, Element, F::integral_parabola_j1),
    Once(121, kIntegral, Element, F::integral_parabola_j2),
};

// "CFD2" along y (group 21, rows 122 to 130).
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kCfd2YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kCfd2YRows[] = {
    Once(122, kFirst, FirstSection, F::d1_forward3_b),
    OverNodes(123, kFirst, "b+1", "b+N-1", F::d1_central3_i),
    Once(124, kFirst, EverySection, F::d1_backward3_end),
    OverNodes(125, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(126, kSecond, LaterSections, F::d1_forward3_b),
    Once(127, kIntegral, Element, F::integral_parabola_j1),
    Once(128, kIntegral, Element, F::integral_parabola_j2),
    Once(129, kCross, Element, F::integral_parabola_j1),
    Once(130, kCross, Element, F::integral_parabola_j2),
};

// "CFD2" along z (group 22, rows 131 to 143).
// Its families are those of "BFD1" along z, written once there.
inline constexpr const auto& kCfd2ZFamilies = kBfd1ZFamilies;
inline constexpr RowEntry kCfd2ZRows[] = {
    Once(131, kFirst, FirstSection, F::d1_forward3_b),
    OverNodes(132, kFirst, "b+1", "b+N-1", F::d1_central3_i),
    Once(133, kFirst, EverySection, F::d1_backward3_end),
    OverNodes(134, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    Once(135, kSecond, LaterSections, F::d1_forward3_b),
    Once(136, kIntegral, Element, F::integral_parabola_j1),
    Once(137, kIntegral, Element, F::integral_parabola_j2),
    Once(138, kCross, Element, F::integral_parabola_j1),
    Once(139, kCross, Element, F::integral_parabola_j2),
    Once(140, kCross2, Element, F::integral_parabola_j1),
    Once(141, kCross2, Element, F::integral_parabola_j2),
    Once(142, kCross3, Element, F::integral_parabola_j1),
    Once(143, kCross3, Element, F::integral_parabola_j2),
};

// "CFD4" along x (group 23, rows 144 to 156).
// Its families are those of "BFD2" along x, written once there.
inline constexpr const auto& kCfd4XFamilies = kBfd2XFamilies;
inline constexpr RowEntry kCfd4XRows[] = {
    Once(144, kFirst, FirstSection, F::d1_five_b),
    Once(145, kFirst, EverySection, F::d1_five_b1),
    OverNodes(146, kFirst, "b+2", "b+N-2", F::d1_five_central_i),
    Once(147, kFirst, EverySection, F::d1_five_end1),
    Once(148, kFirst, EverySection, F::d1_five_end),
    Once(149, kSecond, EverySection, F::d2_five_b1),
    OverNodes(150, kSecond, "b+2", "b+N-2", F::d2_five_central_i),
    Once(151, kSecond, EverySection, F::d2_five_end1),
    Once(152, kSecond, LaterSections, F::d1_five_b),
    Once(153, kIntegral, Element, F::integral_quartic_j1),
    Once(154, kIntegral, Element, F::integral_quartic_j2),
    Once(155, kIntegral, Element, F::integral_quartic_j3),
    Once(156, kIntegral, Element, F::integral_quartic_j4),
};

// "CFD4" along y (group 24, rows 157 to 173).
// Its families are those of "BFD1" along y, written once there.
inline constexpr const auto& kCfd4YFamilies = kBfd1YFamilies;
inline constexpr RowEntry kCfd4YRows[] = {
    Once(157, kFirst, FirstSection, F::d1_five_b),
    Once(158, kFirst, EverySection, F::d1_five_b1),
    OverNodes(159, kFirst, "b+2", "b+N-2", F::d1_five_central_i),
    Once(160, kFirst, EverySection, F::d1_five_end1),
    Once(161, kFirst, EverySection, F::d1_five_end),
    Once(162, kSecond, EverySection, F::d2_five_b1),
    OverNodes(163, kSecond, "b+2", "b+N-2", F::d2_five_central_i),
    Once(164, kSecond, EverySection, F::d2_five_end1),
    Once(165, kSecond, LaterSections, F::d1_five_b),
    Once(166, kIntegral, Element, F::integral_quartic_j1),
    Once(167, kIntegral, Element, F::integral_quartic_j2),
    Once(168, kIntegral, Element, F::integral_quartic_j3),
    Once(169, kIntegral, Element, F::integral_quartic_j4),
    Once(170, kCross, Element, F::integral_quartic_j1),
    Once(171, kCross, Element, F::integral_quartic_j2),
    Once(172, kCross, Element, F::integral_quartic_j3),
    Once(173, kCross, Element, F::integral_quartic_j4),
};

// "CFD4" along z (group 25, rows 174 to 198).
// Its families are those of "BFD1" along z, written once there.
inline constexpr const auto& kCfd4ZFamilies = kBfd1ZFamilies;
inline constexpr RowEntry kCfd4ZRows[] = {
    Once(174, kFirst, FirstSection, F::d1_five_b),
    Once(175, kFirst, EverySection, F::d1_five_b1),
    OverNodes(176, kFirst, "b+2", "b+N-2", F::d1_five_central_i),
    Once(177, kFirst, EverySection, F::d1_five_end1),
    Once(178, kFirst, EverySection, F::d1_five_end),
    Once(179, kSecond, EverySection, F::d2_five_b1),
    OverNodes(180, kSecond, "b+2", "b+N-2", F::d2_five_central_i),
    Once(181, kSecond, EverySection, F::d2_five_end1),
    Once(182, kSecond, LaterSections, F::d1_five_b),
    Once(183, kIntegral, Element, F::integral_quartic_j1),
    Once(184, kIntegral, Element, F::integral_quartic_j2),
    Once(185, kIntegral, Element, F::integral_quartic_j3),
    Once(186, kIntegral, Element, F::integral_quartic_j4),
    Once(187, kCross, Element, F::integral_quartic_j1),
    Once(188, kCross, Element, F::integral_quartic_j2),
    Once(189, kCross, Element, F::integral_quartic_j3),
    Once(190, kCross, Element, F::integral_quartic_j4),
    Once(191, kCross2, Element, F::integral_quartic_j1),
    Once(192, kCross2, Element, F::integral_quartic_j2),
    Once(193, kCross2, Element, F::integral_quartic_j3),
    Once(194, kCross2, Element, F::integral_quartic_j4),
    Once(195, kCross3, Element, F::integral_quartic_j1),
    Once(196, kCross3, Element, F::integral_quartic_j2),
    Once(197, kCross3, Element, F::integral_quartic_j3),
    Once(198, kCross3, Element, F::integral_quartic_j4),
};

// "UBFD4" along x (group 26, rows 199 to 211).
inline constexpr FamilyEntry kUbfd4XFamilies[] = {
    FirstFamily(LoopsOver(Across(Y, Nodes), Across(Z, Nodes)), Bind(kValue, kDdx, kUnbound, kUnbound)),
    SecondFamily(LoopsOver(Across(Y, Boundary), Across(Z, Boundary)),
                 LoopsOver(Across(Y, Inner), Across(Z, Inner)),
                 BeforeLoops,
                 Bind(kValue, kDdx, kD2dx2, kUnbound)),
    IntegralFamily(SelectorList("idx", "idxdy", "idxdz", "idxdydz"),
                   LoopsOver(Across(Z, Nodes), Across(Y, Nodes)),
                   Bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kUbfd4XRows[] = {
    Once(199, kFirst, FirstSection, F::d1_five_b),
    Once(200, kFirst, EverySection, F::d1_five_b1),
    Once(201, kFirst, EverySection, F::d1_five_central_b2),
    OverNodes(202, kFirst, "b+3", "b+N-1", F::d1_five_upwind_i),
    Once(203, kFirst, EverySection, F::d1_five_end),
    Once(204, kSecond, EverySection, F::d2_five_b1),
    Once(205, kSecond, EverySection, F::d2_five_central_b2),
    OverNodes(206, kSecond, "b+3", "b+N-1", F::d2_five_upwind_i),
    Once(207, kSecond, LaterSections, F::d1_five_b),
    Once(208, kIntegral, Element, F::integral_quartic_j1),
    Once(209, kIntegral, Element, F::integral_quartic_j2),
    Once(210, kIntegral, Element, F::integral_quartic_j3),
    Once(211, kIntegral, Element, F::integral_quartic_j4),
};

// "UBFD4" along y (group 27, rows 212 to 228).
inline constexpr FamilyEntry kUbfd4YFamilies[] = {
    FirstFamily(LoopsOver(Across(X, Nodes), Across(Z, Nodes)), Bind(kValue, kDdy, kUnbound, kUnbound)),
    SecondFamily(LoopsOver(Across(X, Boundary), Across(Z, Boundary)),
                 LoopsOver(Across(X, Interior), Across(Z, Inner)),
                 BeforeLoops,
                 Bind(kValue, kDdy, kD2dy2, kUnbound)),
    IntegralFamily(SelectorList("idy", "idydz"),
                   LoopsOver(Across(Z, Nodes), Across(X, Nodes)),
                   Bind(kValue, kUnbound, kUnbound, kIdy)),
    IntegralFamily(SelectorList("idxdy", "idxdydz"),
                   LoopsOver(Across(Z, Nodes), Across(X, FromOne)),
                   Bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kUbfd4YRows[] = {
    Once(212, kFirst, FirstSection, F::d1_five_b),
    Once(213, kFirst, EverySection, F::d1_five_b1),
    Once(214, kFirst, EverySection, F::d1_five_central_b2),
    OverNodes(215, kFirst, "b+3", "b+N-1", F::d1_five_upwind_i),
    Once(216, kFirst, EverySection, F::d1_five_end),
    Once(217, kSecond, EverySection, F::d2_five_b1),
    Once(218, kSecond, EverySection, F::d2_five_central_b2),
    OverNodes(219, kSecond, "b+3", "b+N-1", F::d2_five_upwind_i),
    Once(220, kSecond, LaterSections, F::d1_five_b),
    Once(221, kIntegral, Element, F::integral_quartic_j1),
    Once(222, kIntegral, Element, F::integral_quartic_j2),
    Once(223, kIntegral, Element, F::integral_quartic_j3),
    Once(224, kIntegral, Element, F::integral_quartic_j4),
    Once(225, kCross, Element, F::integral_quartic_j1),
    Once(226, kCross, Element, F::integral_quartic_j2),
    Once(227, kCross, Element, F::integral_quartic_j3),
    Once(228, kCross, Element, F::integral_quartic_j4),
};

// "UBFD4" along z (group 28, rows 229 to 253).
// Its families are those of "BFD1" along z, written once there.
inline constexpr const auto& kUbfd4ZFamilies = kBfd1ZFamilies;
inline constexpr RowEntry kUbfd4ZRows[] = {
    Once(229, kFirst, FirstSection, F::d1_five_b),
    Once(230, kFirst, EverySection, F::d1_five_b1),
    Once(231, kFirst, EverySection, F::d1_five_central_b2),
    OverNodes(232, kFirst, "b+3", "b+N-1", F::d1_five_upwind_i),
    Once(233, kFirst, EverySection, F::d1_five_end),
    Once(234, kSecond, EverySection, F::d2_five_b1),
    Once(235, kSecond, EverySection, F::d2_five_central_b2),
    OverNodes(236, kSecond, "b+3", "b+N-1", F::d2_five_upwind_i),
    Once(237, kSecond, LaterSections, F::d1_five_b),
    Once(238, kIntegral, Element, F::integral_quartic_j1),
    Once(239, kIntegral, Element, F::integral_quartic_j2),
    Once(240, kIntegral, Element, F::integral_quartic_j3),
    Once(241, kIntegral, Element, F::integral_quartic_j4),
    Once(242, kCross, Element, F::integral_quartic_j1),
    Once(243, kCross, Element, F::integral_quartic_j2),
    Once(244, kCross, Element, F::integral_quartic_j3),
    Once(245, kCross, Element, F::integral_quartic_j4),
    Once(246, kCross2, Element, F::integral_quartic_j1),
    Once(247, kCross2, Element, F::integral_quartic_j2),
    Once(248, kCross2, Element, F::integral_quartic_j3),
    Once(249, kCross2, Element, F::integral_quartic_j4),
    Once(250, kCross3, Element, F::integral_quartic_j1),
    Once(251, kCross3, Element, F::integral_quartic_j2),
    Once(252, kCross3, Element, F::integral_quartic_j3),
    Once(253, kCross3, Element, F::integral_quartic_j4),
};

// "OCFE2" along x (group 29, rows 254 to 260).
// Its families are those of "BFD2" along x, written once there.
inline constexpr const auto& kOcfe2XFamilies = kBfd2XFamilies;
inline constexpr RowEntry kOcfe2XRows[] = {
    Once(254, kFirst, FirstSection, F::ocfe2_d1_b),
    Once(255, kFirst, Element, F::ocfe2_d1_j1),
    Once(256, kFirst, Element, F::ocfe2_d1_j2),
    Once(257, kSecond, Element, F::ocfe2_d2_j1),
    Once(258, kSecond, Junction, F::ocfe2_d1_j),
    Once(259, kIntegral, Element, F::ocfe2_integral_j1),
    Once(260, kIntegral, Element, F::ocfe2_integral_j2),
};

// "OCFE2" along y (group 30, rows 261 to 269).
// Its families are those of "UBFD4" along y, written once there.
inline constexpr const auto& kOcfe2YFamilies = kUbfd4YFamilies;
inline constexpr RowEntry kOcfe2YRows[] = {
    Once(261, kFirst, FirstSection, F::ocfe2_d1_b),
    Once(262, kFirst, Element, F::ocfe2_d1_j1),
    Once(263, kFirst, Element, F::ocfe2_d1_j2),
    Once(264, kSecond, Element, F::ocfe2_d2_j1),
    Once(265, kSecond, Junction, F::ocfe2_d1_j),
    Once(266, kIntegral, Element, F::ocfe2_integral_j1),
    Once(267, kIntegral, Element, F::ocfe2_integral_j2),
    Once(268, kCross, Element, F::ocfe2_integral_j1),
    Once(269, kCross, Element, F::ocfe2_integral_j2),
};

// "OCFE2" along z (group 31, rows 270 to 282).
inline constexpr FamilyEntry kOcfe2ZFamilies[] = {
    FirstFamily(LoopsOver(Across(X, Nodes), Across(Y, Nodes)), Bind(kValue, kDdz, kUnbound, kUnbound)),
    SecondFamily(LoopsOver(Across(X, Boundary), Across(Y, Boundary)),
                 LoopsOver(Across(X, Interior), Across(Y, Interior)),
                 BeforeLoops,
                 Bind(kValue, kDdz, kD2dz2, kUnbound)),
    IntegralFamily(
        SelectorList("idz"), LoopsOver(Across(Y, Nodes), Across(X, Nodes)), Bind(kValue, kUnbound, kUnbound, kIdz)),
    IntegralFamily(
        SelectorList("idxdz"), LoopsOver(Across(Y, Nodes), Across(X, FromOne)), Bind(kIdx, kUnbound, kUnbound, kIdxdz)),
    IntegralFamily(
        SelectorList("idydz"), LoopsOver(Across(Y, FromOne), Across(X, Nodes)), Bind(kIdy, kUnbound, kUnbound, kIdydz)),
    IntegralFamily(SelectorList("idxdydz"),
                   LoopsOver(Across(Y, FromOne), Across(X, FromOne)),
                   Bind(kIdxdy, kUnbound, kUnbound, kIdxdydz)),
};
inline constexpr RowEntry kOcfe2ZRows[] = {
    Once(270, kFirst, FirstSection, F::ocfe2_d1_b),
    Once(271, kFirst, Element, F::ocfe2_d1_j1),
    Once(272, kFirst, Element, F::ocfe2_d1_j2),
    Once(273, kSecond, Element, F::ocfe2_d2_j1),
    Once(274, kSecond, Junction, F::ocfe2_d1_j),
    Once(275, kIntegral, Element, F::ocfe2_integral_j1),
    Once(276, kIntegral, Element, F::ocfe2_integral_j2),
    Once(277, kCross, Element, F::ocfe2_integral_j1),
    Once(278, kCross, Element, F::ocfe2_integral_j2),
    Once(279, kCross2, Element, F::ocfe2_integral_j1),
    Once(280, kCross2, Element, F::ocfe2_integral_j2),
    Once(281, kCross3, Element, F::ocfe2_integral_j1),
    Once(282, kCross3, Element, F::ocfe2_integral_j2),
};

// "OCFE3" along x (group 32, rows 283 to 292).
// Its families are those of "UBFD4" along x, written once there.
inline constexpr const auto& kOcfe3XFamilies = kUbfd4XFamilies;
inline constexpr RowEntry kOcfe3XRows[] = {
    Once(283, kFirst, FirstSection, F::ocfe3_d1_b),
    Once(284, kFirst, Element, F::ocfe3_d1_j1),
    Once(285, kFirst, Element, F::ocfe3_d1_j2),
    Once(286, kFirst, Element, F::ocfe3_d1_j3),
    Once(287, kSecond, Element, F::ocfe3_d2_j1),
    Once(288, kSecond, Element, F::ocfe3_d2_j2),
    Once(289, kSecond, Junction, F::ocfe3_d1_j),
    Once(290, kIntegral, Element, F::ocfe3_integral_j1),
    Once(291, kIntegral, Element, F::ocfe3_integral_j2),
    Once(292, kIntegral, Element, F::ocfe3_integral_j3),
};

// "OCFE3" along y (group 33, rows 293 to 305).
// Its families are those of "UBFD4" along y, written once there.
inline constexpr const auto& kOcfe3YFamilies = kUbfd4YFamilies;
inline constexpr RowEntry kOcfe3YRows[] = {
    Once(293, kFirst, FirstSection, F::ocfe3_d1_b),
    Once(294, kFirst, Element, F::ocfe3_d1_j1),
    Once(295, kFirst, Element, F::ocfe3_d1_j2),
    Once(296, kFirst, Element, F::ocfe3_d1_j3),
    Once(297, kSecond, Element, F::ocfe3_d2_j1),
    Once(298, kSecond, Element, F::ocfe3_d2_j2),
    Once(299, kSecond, Junction, F::ocfe3_d1_j),
    Once(300, kIntegral, Element, F::ocfe3_integral_j1),
    Once(301, kIntegral, Element, F::ocfe3_integral_j2),
    Once(302, kIntegral, Element, F::ocfe3_integral_j3),
    Once(303, kCross, Element, F::ocfe3_integral_j1),
    Once(304, kCross, Element, F::ocfe3_integral_j2),
    Once(305, kCross, Element, F::ocfe3_integral_j3),
};

// "OCFE3" along z (group 34, rows 306 to 324).
// Its families are those of "OCFE2" along z, written once there.
inline constexpr const auto& kOcfe3ZFamilies = kOcfe2ZFamilies;
inline constexpr RowEntry kOcfe3ZRows[] = {
    Once(306, kFirst, FirstSection, F::ocfe3_d1_b),      Once(307, kFirst, Element, F::ocfe3_d1_j1),
    Once(308, kFirst, Element, F::ocfe3_d1_j2),          Once(309, kFirst, Element, F::ocfe3_d1_j3),
    Once(310, kSecond, Element, F::ocfe3_d2_j1),         Once(311, kSecond, Element, F::ocfe3_d2_j2),
    Once(312, kSecond, Junction, F::ocfe3_d1_j),         Once(313, kIntegral, Element, F::ocfe3_integral_j1),
    Once(314, kIntegral, Element, F::ocfe3_integral_j2), Once(315, kIntegral, Element, F::ocfe3_integral_j3),
    Once(316, kCross, Element, F::ocfe3_integral_j1),    Once(317, kCross, Element, F::ocfe3_integral_j2),
    Once(318, kCross, Element, F::ocfe3_integral_j3),    Once(319, kCross2, Element, F::ocfe3_integral_j1),
    Once(320, kCross2, Element, F::ocfe3_integral_j2),   Once(321, kCross2, Element, F::ocfe3_integral_j3),
    Once(322, kCross3, Element, F::ocfe3_integral_j1),   Once(323, kCross3, Element, F::ocfe3_integral_j2),
    Once(324, kCross3, Element, F::ocfe3_integral_j3),
};

// "OCFE4" along x (group 35, rows 325 to 337).
// Its families are those of "UBFD4" along x, written once there.
inline constexpr const auto& kOcfe4XFamilies = kUbfd4XFamilies;
inline constexpr RowEntry kOcfe4XRows[] = {
    Once(325, kFirst, FirstSection, F::ocfe4_d1_b),
    Once(326, kFirst, Element, F::ocfe4_d1_j1),
    Once(327, kFirst, Element, F::ocfe4_d1_j2),
    Once(328, kFirst, Element, F::ocfe4_d1_j3),
    Once(329, kFirst, Element, F::ocfe4_d1_j4),
    Once(330, kSecond, Element, F::ocfe4_d2_j1),
    Once(331, kSecond, Element, F::ocfe4_d2_j2),
    Once(332, kSecond, Element, F::ocfe4_d2_j3),
    Once(333, kSecond, Junction, F::ocfe4_d1_j),
    Once(334, kIntegral, Element, F::ocfe4_integral_j1),
    Once(335, kIntegral, Element, F::ocfe4_integral_j2),
    Once(336, kIntegral, Element, F::ocfe4_integral_j3),
    Once(337, kIntegral, Element, F::ocfe4_integral_j4),
};

// "OCFE4" along y (group 36, rows 338 to 354).
// Its families are those of "UBFD4" along y, written once there.
inline constexpr const auto& kOcfe4YFamilies = kUbfd4YFamilies;
inline constexpr RowEntry kOcfe4YRows[] = {
    Once(338, kFirst, FirstSection, F::ocfe4_d1_b),
    Once(339, kFirst, Element, F::ocfe4_d1_j1),
    Once(340, kFirst, Element, F::ocfe4_d1_j2),
    Once(341, kFirst, Element, F::ocfe4_d1_j3),
    Once(342, kFirst, Element, F::ocfe4_d1_j4),
    Once(343, kSecond, Element, F::ocfe4_d2_j1),
    Once(344, kSecond, Element, F::ocfe4_d2_j2),
    Once(345, kSecond, Element, F::ocfe4_d2_j3),
    Once(346, kSecond, Junction, F::ocfe4_d1_j),
    Once(347, kIntegral, Element, F::ocfe4_integral_j1),
    Once(348, kIntegral, Element, F::ocfe4_integral_j2),
    Once(349, kIntegral, Element, F::ocfe4_integral_j3),
    Once(350, kIntegral, Element, F::ocfe4_integral_j4),
    Once(351, kCross, Element, F::ocfe4_integral_j1),
    Once(352, kCross, Element, F::ocfe4_integral_j2),
    Once(353, kCross, Element, F::ocfe4_integral_j3),
    Once(354, kCross, Element, F::ocfe4_integral_j4),
};

// "OCFE4" along z (group 37, rows 355 to 379).
// Its families are those of "OCFE2" along z, written once there.
inline constexpr const auto& kOcfe4ZFamilies = kOcfe2ZFamilies;
inline constexpr RowEntry kOcfe4ZRows[] = {
    Once(355, kFirst, FirstSection, F::ocfe4_d1_b),      Once(356, kFirst, Element, F::ocfe4_d1_j1),
    Once(357, kFirst, Element, F::ocfe4_d1_j2),          Once(358, kFirst, Element, F::ocfe4_d1_j3),
    Once(359, kFirst, Element, F::ocfe4_d1_j4),          Once(360, kSecond, Element, F::ocfe4_d2_j1),
    Once(361, kSecond, Element, F::ocfe4_d2_j2),         Once(362, kSecond, Element, F::ocfe4_d2_j3),
    Once(363, kSecond, Junction, F::ocfe4_d1_j),         Once(364, kIntegral, Element, F::ocfe4_integral_j1),
    Once(365, kIntegral, Element, F::ocfe4_integral_j2), Once(366, kIntegral, Element, F::ocfe4_integral_j3),
    Once(367, kIntegral, Element, F::ocfe4_integral_j4), Once(368, kCross, Element, F::ocfe4_integral_j1),
    Once(369, kCross, Element, F::ocfe4_integral_j2),    Once(370, kCross, Element, F::ocfe4_integral_j3),
    Once(371, kCross, Element, F::ocfe4_integral_j4),    Once(372, kCross2, Element, F::ocfe4_integral_j1),
    Once(373, kCross2, Element, F::ocfe4_integral_j2),   Once(374, kCross2, Element, F::ocfe4_integral_j3),
    Once(375, kCross2, Element, F::ocfe4_integral_j4),   Once(376, kCross3, Element, F::ocfe4_integral_j1),
    Once(377, kCross3, Element, F::ocfe4_integral_j2),   Once(378, kCross3, Element, F::ocfe4_integral_j3),
    Once(379, kCross3, Element, F::ocfe4_integral_j4),
};

// The method blocks in the order in which they are tested.
inline constexpr MethodBlock kBlocks[] = {
    {"BFD1", X, 8, Nesting::SectionsInFamilies, kBfd1XFamilies, kBfd1XRows},
    {"BFD1", Y, 9, Nesting::SectionsInFamilies, kBfd1YFamilies, kBfd1YRows},
    {"BFD1", Z, 10, Nesting::SectionsInFamilies, kBfd1ZFamilies, kBfd1ZRows},
    {"BFD2", X, 11, Nesting::SectionsInFamilies, kBfd2XFamilies, kBfd2XRows},
    {"BFD2", Y, 12, Nesting::SectionsInFamilies, kBfd2YFamilies, kBfd2YRows},
    {"BFD2", Z, 13, Nesting::SectionsInFamilies, kBfd2ZFamilies, kBfd2ZRows},
    {"FFD1", X, 14, Nesting::SectionsInFamilies, kFfd1XFamilies, kFfd1XRows},
    {"FFD1", Y, 15, Nesting::SectionsInFamilies, kFfd1YFamilies, kFfd1YRows},
    {"FFD1", Z, 16, Nesting::SectionsInFamilies, kFfd1ZFamilies, kFfd1ZRows},
    {"FFD2", X, 17, Nesting::SectionsInFamilies, kFfd2XFamilies, kFfd2XRows},
    {"FFD2", Y, 18, Nesting::SectionsInFamilies, kFfd2YFamilies, kFfd2YRows},
    {"FFD2", Z, 19, Nesting::SectionsInFamilies, kFfd2ZFamilies, kFfd2ZRows},
    {"CFD2", X, 20, Nesting::SectionsInFamilies, kCfd2XFamilies, kCfd2XRows},
    {"CFD2", Y, 21, Nesting::SectionsInFamilies, kCfd2YFamilies, kCfd2YRows},
    {"CFD2", Z, 22, Nesting::SectionsInFamilies, kCfd2ZFamilies, kCfd2ZRows},
    {"CFD4", X, 23, Nesting::SectionsInFamilies, kCfd4XFamilies, kCfd4XRows},
    {"CFD4", Y, 24, Nesting::SectionsInFamilies, kCfd4YFamilies, kCfd4YRows},
    {"CFD4", Z, 25, Nesting::SectionsInFamilies, kCfd4ZFamilies, kCfd4ZRows},
    {"UBFD4", X, 26, Nesting::SectionsInFamilies, kUbfd4XFamilies, kUbfd4XRows},
    {"UBFD4", Y, 27, Nesting::SectionsInFamilies, kUbfd4YFamilies, kUbfd4YRows},
    {"UBFD4", Z, 28, Nesting::SectionsInFamilies, kUbfd4ZFamilies, kUbfd4ZRows},
    {"OCFE2", X, 29, Nesting::SectionsInFamilies, kOcfe2XFamilies, kOcfe2XRows},
    {"OCFE2", Y, 30, Nesting::SectionsInFamilies, kOcfe2YFamilies, kOcfe2YRows},
    {"OCFE2", Z, 31, Nesting::SectionsInFamilies, kOcfe2ZFamilies, kOcfe2ZRows},
    {"OCFE3", X, 32, Nesting::SectionsInFamilies, kOcfe3XFamilies, kOcfe3XRows},
    {"OCFE3", Y, 33, Nesting::SectionsInFamilies, kOcfe3YFamilies, kOcfe3YRows},
    {"OCFE3", Z, 34, Nesting::SectionsInFamilies, kOcfe3ZFamilies, kOcfe3ZRows},
    {"OCFE4", X, 35, Nesting::SectionsInFamilies, kOcfe4XFamilies, kOcfe4XRows},
    {"OCFE4", Y, 36, Nesting::SectionsInFamilies, kOcfe4YFamilies, kOcfe4YRows},
    {"OCFE4", Z, 37, Nesting::SectionsInFamilies, kOcfe4ZFamilies, kOcfe4ZRows},
};

}  // namespace table

inline constexpr DistributionTable kTable{3, 14, table::kStarts, table::kBlocks};

namespace detail {
inline constexpr auto kPlan = BuildPlan<kTable>();
}  // namespace detail

// The plan of all 379 rows.
inline constexpr std::span<const PlanNode> EquationPlan() { return detail::kPlan.Steps(); }

}  // namespace morvane::eqn::d3
