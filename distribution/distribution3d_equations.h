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
// Runs::Nodes and AxisSet::Nodes share a name: node rows are written with nodes(), so only the
// other places of a row are brought in, and Nodes names the other-axis node set.
using Runs::FirstSection, Runs::LaterSections, Runs::EverySection, Runs::Element, Runs::Junction;
using enum AxisSet;
using enum GuardAt;

// The families of a block, by index: the cross integrals follow the block's own integral.
enum : std::uint8_t { kFirst, kSecond, kIntegral, kCross, kCross2, kCross3 };

// The integral starts: op1(I(0)) along the integral's axis, for every node of the loops.
inline constexpr StartRow kStarts[] = {
    {1, 1, selectors("idx", "idxdy", "idxdz", "idxdydz"), X, kIdx, loops(along(Y, Nodes), along(Z, Nodes))},
    {2, 2, selectors("idy", "idydz"), Y, kIdy, loops(along(X, Nodes), along(Z, Nodes))},
    {3, 3, selectors("idz"), Z, kIdz, loops(along(X, Nodes), along(Y, Nodes))},
    {4, 4, selectors("idxdy", "idxdydz"), X, kIdxdy, loops(along(Y, Nodes), along(Z, Nodes))},
    {5, 4, selectors("idxdy", "idxdydz"), Y, kIdxdy, loops(along(X, FromOne), along(Z, Nodes))},
    {6, 5, selectors("idxdz"), X, kIdxdz, loops(along(Y, Nodes), along(Z, Nodes))},
    {7, 5, selectors("idxdz"), Z, kIdxdz, loops(along(X, FromOne), along(Y, Nodes))},
    {8, 6, selectors("idydz"), Y, kIdydz, loops(along(X, Nodes), along(Z, Nodes))},
    {9, 6, selectors("idydz"), Z, kIdydz, loops(along(X, Nodes), along(Y, FromOne))},
    {10, 7, selectors("idxdydz"), X, kIdxdydz, loops(along(Y, Nodes), along(Z, Nodes))},
    {11, 7, selectors("idxdydz"), Y, kIdxdydz, loops(along(X, FromOne), along(Z, Nodes))},
    {12, 7, selectors("idxdydz"), Z, kIdxdydz, loops(along(X, FromOne), along(Y, FromOne))},
};

// "BFD1" along x (group 8, rows 13 to 17).
inline constexpr FamilyEntry kBfd1XFamilies[] = {
    first(loops(along(Z, Nodes), along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Z, Boundary), along(Y, Boundary)),
           loops(along(Z, Inner), along(Y, Inner)),
           BeforeLoops,
           bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy", "idxdz", "idxdydz"),
             loops(along(Z, Nodes), along(Y, Nodes)),
             bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kBfd1XRows[] = {
    once(13, kFirst, FirstSection, F::d1_forward2_b),
    nodes(14, kFirst, "b+1", "b+N", F::d1_backward2_i),
    nodes(15, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(16, kSecond, LaterSections, F::d1_forward2_b),
    nodes(17, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
};

// "BFD1" along y (group 9, rows 18 to 23).
inline constexpr FamilyEntry kBfd1YFamilies[] = {
    first(loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Z, Boundary)),
           loops(along(X, Interior), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(
        selectors("idy", "idydz"), loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy", "idxdydz"),
             loops(along(Z, Nodes), along(X, FromOne)),
             bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kBfd1YRows[] = {
    once(18, kFirst, FirstSection, F::d1_forward2_b),
    nodes(19, kFirst, "b+1", "b+N", F::d1_backward2_i),
    nodes(20, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(21, kSecond, LaterSections, F::d1_forward2_b),
    nodes(22, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
    nodes(23, kCross, "b", "b+N-1", F::integral_trapezoid_i),
};

// "BFD1" along z (group 10, rows 24 to 31).
inline constexpr FamilyEntry kBfd1ZFamilies[] = {
    first(loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kDdz, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Y, Boundary)),
           loops(along(X, Interior), along(Y, Interior)),
           BeforeLoops,
           bind(kValue, kDdz, kD2dz2, kUnbound)),
    integral(selectors("idz"), loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdz)),
    integral(selectors("idxdz"), loops(along(Y, Nodes), along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdz)),
    integral(selectors("idydz"), loops(along(Y, FromOne), along(X, Nodes)), bind(kIdy, kUnbound, kUnbound, kIdydz)),
    integral(
        selectors("idxdydz"), loops(along(Y, FromOne), along(X, FromOne)), bind(kIdxdy, kUnbound, kUnbound, kIdxdydz)),
};
inline constexpr RowEntry kBfd1ZRows[] = {
    once(24, kFirst, FirstSection, F::d1_forward2_b),
    nodes(25, kFirst, "b+1", "b+N", F::d1_backward2_i),
    nodes(26, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(27, kSecond, LaterSections, F::d1_forward2_b),
    nodes(28, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
    nodes(29, kCross, "b", "b+N-1", F::integral_trapezoid_i),
    nodes(30, kCross2, "b", "b+N-1", F::integral_trapezoid_i),
    nodes(31, kCross3, "b", "b+N-1", F::integral_trapezoid_i),
};

// "BFD2" along x (group 11, rows 32 to 38).
inline constexpr FamilyEntry kBfd2XFamilies[] = {
    first(loops(along(Z, Nodes), along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary), along(Z, Boundary)),
           loops(along(Y, Inner), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy", "idxdz", "idxdydz"),
             loops(along(Z, Nodes), along(Y, Nodes)),
             bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kBfd2XRows[] = {
    once(32, kFirst, FirstSection, F::d1_forward3_b),
    once(33, kFirst, EverySection, F::d1_central3_b1),
    nodes(34, kFirst, "b+2", "b+N", F::d1_backward3_i),
    nodes(35, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(36, kSecond, LaterSections, F::d1_forward3_b),
    once(37, kIntegral, Element, F::integral_parabola_j1),
    once(38, kIntegral, Element, F::integral_parabola_j2),
};

// "BFD2" along y (group 12, rows 39 to 47).
inline constexpr FamilyEntry kBfd2YFamilies[] = {
    first(loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Z, Boundary)),
           loops(along(X, Interior), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(
        selectors("idy", "idydz"), loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy", "idxdydz"),
             loops(along(Z, Nodes), along(X, FromOne)),
             bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kBfd2YRows[] = {
    once(39, kFirst, FirstSection, F::d1_forward3_b),
    once(40, kFirst, EverySection, F::d1_central3_b1),
    nodes(41, kFirst, "b+2", "b+N", F::d1_backward3_i),
    nodes(42, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(43, kSecond, LaterSections, F::d1_forward3_b),
    once(44, kIntegral, Element, F::integral_parabola_j1),
    once(45, kIntegral, Element, F::integral_parabola_j2),
    once(46, kCross, Element, F::integral_parabola_j1),
    once(47, kCross, Element, F::integral_parabola_j2),
};

// "BFD2" along z (group 13, rows 48 to 60).
inline constexpr FamilyEntry kBfd2ZFamilies[] = {
    first(loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kDdz, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Y, Boundary)),
           loops(along(X, Interior), along(Y, Interior)),
           BeforeLoops,
           bind(kValue, kDdz, kD2dz2, kUnbound)),
    integral(selectors("idz"), loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdz)),
    integral(selectors("idxdz"), loops(along(Y, Nodes), along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdz)),
    integral(selectors("idydz"), loops(along(Y, FromOne), along(X, Nodes)), bind(kIdy, kUnbound, kUnbound, kIdydz)),
    integral(
        selectors("idxdydz"), loops(along(Y, FromOne), along(X, FromOne)), bind(kIdxdy, kUnbound, kUnbound, kIdxdydz)),
};
inline constexpr RowEntry kBfd2ZRows[] = {
    once(48, kFirst, FirstSection, F::d1_forward3_b),
    once(49, kFirst, EverySection, F::d1_central3_b1),
    nodes(50, kFirst, "b+2", "b+N", F::d1_backward3_i),
    nodes(51, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(52, kSecond, LaterSections, F::d1_forward3_b),
    once(53, kIntegral, Element, F::integral_parabola_j1),
    once(54, kIntegral, Element, F::integral_parabola_j2),
    once(55, kCross, Element, F::integral_parabola_j1),
    once(56, kCross, Element, F::integral_parabola_j2),
    once(57, kCross2, Element, F::integral_parabola_j1),
    once(58, kCross2, Element, F::integral_parabola_j2),
    once(59, kCross3, Element, F::integral_parabola_j1),
    once(60, kCross3, Element, F::integral_parabola_j2),
};

// "FFD1" along x (group 14, rows 61 to 66).
inline constexpr FamilyEntry kFfd1XFamilies[] = {
    first(loops(along(Z, Nodes), along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Z, Boundary), along(Y, Boundary)),
           loops(along(Z, Inner), along(Y, Inner)),
           BeforeLoops,
           bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy", "idxdz", "idxdydz"),
             loops(along(Z, Nodes), along(Y, Nodes)),
             bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kFfd1XRows[] = {
    once(61, kFirst, FirstSection, F::d1_forward2_b),
    nodes(62, kFirst, "b+1", "b+N-1", F::d1_forward2_i),
    once(63, kFirst, EverySection, F::d1_backward2_end),
    nodes(64, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(65, kSecond, LaterSections, F::d1_forward2_b),
    nodes(66, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
};

// "FFD1" along y (group 15, rows 67 to 73).
inline constexpr FamilyEntry kFfd1YFamilies[] = {
    first(loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Z, Boundary)),
           loops(along(X, Interior), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(
        selectors("idy", "idydz"), loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy", "idxdydz"),
             loops(along(Z, Nodes), along(X, FromOne)),
             bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kFfd1YRows[] = {
    once(67, kFirst, FirstSection, F::d1_forward2_b),
    nodes(68, kFirst, "b+1", "b+N-1", F::d1_forward2_i),
    once(69, kFirst, EverySection, F::d1_backward2_end),
    nodes(70, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(71, kSecond, LaterSections, F::d1_forward2_b),
    nodes(72, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
    nodes(73, kCross, "b", "b+N-1", F::integral_trapezoid_i),
};

// "FFD1" along z (group 16, rows 74 to 82).
inline constexpr FamilyEntry kFfd1ZFamilies[] = {
    first(loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kDdz, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Y, Boundary)),
           loops(along(X, Interior), along(Y, Interior)),
           BeforeLoops,
           bind(kValue, kDdz, kD2dz2, kUnbound)),
    integral(selectors("idz"), loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdz)),
    integral(selectors("idxdz"), loops(along(Y, Nodes), along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdz)),
    integral(selectors("idydz"), loops(along(Y, FromOne), along(X, Nodes)), bind(kIdy, kUnbound, kUnbound, kIdydz)),
    integral(
        selectors("idxdydz"), loops(along(Y, FromOne), along(X, FromOne)), bind(kIdxdy, kUnbound, kUnbound, kIdxdydz)),
};
inline constexpr RowEntry kFfd1ZRows[] = {
    once(74, kFirst, FirstSection, F::d1_forward2_b),
    nodes(75, kFirst, "b+1", "b+N-1", F::d1_forward2_i),
    once(76, kFirst, EverySection, F::d1_backward2_end),
    nodes(77, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(78, kSecond, LaterSections, F::d1_forward2_b),
    nodes(79, kIntegral, "b", "b+N-1", F::integral_trapezoid_i),
    nodes(80, kCross, "b", "b+N-1", F::integral_trapezoid_i),
    nodes(81, kCross2, "b", "b+N-1", F::integral_trapezoid_i),
    nodes(82, kCross3, "b", "b+N-1", F::integral_trapezoid_i),
};

// "FFD2" along x (group 17, rows 83 to 90).
inline constexpr FamilyEntry kFfd2XFamilies[] = {
    first(loops(along(Z, Nodes), along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary), along(Z, Boundary)),
           loops(along(Y, Inner), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy", "idxdz", "idxdydz"),
             loops(along(Z, Nodes), along(Y, Nodes)),
             bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kFfd2XRows[] = {
    once(83, kFirst, FirstSection, F::d1_forward3_b),
    nodes(84, kFirst, "b+1", "b+N-2", F::d1_forward3_i),
    once(85, kFirst, EverySection, F::d1_central3_end1),
    once(86, kFirst, EverySection, F::d1_backward3_end),
    nodes(87, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(88, kSecond, LaterSections, F::d1_forward3_b),
    once(89, kIntegral, Element, F::integral_parabola_j1),
    once(90, kIntegral, Element, F::integral_parabola_j2),
};

// "FFD2" along y (group 18, rows 91 to 100).
inline constexpr FamilyEntry kFfd2YFamilies[] = {
    first(loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Z, Boundary)),
           loops(along(X, Interior), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(
        selectors("idy", "idydz"), loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy", "idxdydz"),
             loops(along(Z, Nodes), along(X, FromOne)),
             bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kFfd2YRows[] = {
    once(91, kFirst, FirstSection, F::d1_forward3_b),
    nodes(92, kFirst, "b+1", "b+N-2", F::d1_forward3_i),
    once(93, kFirst, EverySection, F::d1_central3_end1),
    once(94, kFirst, EverySection, F::d1_backward3_end),
    nodes(95, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(96, kSecond, LaterSections, F::d1_forward3_b),
    once(97, kIntegral, Element, F::integral_parabola_j1),
    once(98, kIntegral, Element, F::integral_parabola_j2),
    once(99, kCross, Element, F::integral_parabola_j1),
    once(100, kCross, Element, F::integral_parabola_j2),
};

// "FFD2" along z (group 19, rows 101 to 114).
inline constexpr FamilyEntry kFfd2ZFamilies[] = {
    first(loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kDdz, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Y, Boundary)),
           loops(along(X, Interior), along(Y, Interior)),
           BeforeLoops,
           bind(kValue, kDdz, kD2dz2, kUnbound)),
    integral(selectors("idz"), loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdz)),
    integral(selectors("idxdz"), loops(along(Y, Nodes), along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdz)),
    integral(selectors("idydz"), loops(along(Y, FromOne), along(X, Nodes)), bind(kIdy, kUnbound, kUnbound, kIdydz)),
    integral(
        selectors("idxdydz"), loops(along(Y, FromOne), along(X, FromOne)), bind(kIdxdy, kUnbound, kUnbound, kIdxdydz)),
};
inline constexpr RowEntry kFfd2ZRows[] = {
    once(101, kFirst, FirstSection, F::d1_forward3_b),
    nodes(102, kFirst, "b+1", "b+N-2", F::d1_forward3_i),
    once(103, kFirst, EverySection, F::d1_central3_end1),
    once(104, kFirst, EverySection, F::d1_backward3_end),
    nodes(105, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(106, kSecond, LaterSections, F::d1_forward3_b),
    once(107, kIntegral, Element, F::integral_parabola_j1),
    once(108, kIntegral, Element, F::integral_parabola_j2),
    once(109, kCross, Element, F::integral_parabola_j1),
    once(110, kCross, Element, F::integral_parabola_j2),
    once(111, kCross2, Element, F::integral_parabola_j1),
    once(112, kCross2, Element, F::integral_parabola_j2),
    once(113, kCross3, Element, F::integral_parabola_j1),
    once(114, kCross3, Element, F::integral_parabola_j2),
};

// "CFD2" along x (group 20, rows 115 to 121).
inline constexpr FamilyEntry kCfd2XFamilies[] = {
    first(loops(along(Z, Nodes), along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary), along(Z, Boundary)),
           loops(along(Y, Inner), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy", "idxdz", "idxdydz"),
             loops(along(Z, Nodes), along(Y, Nodes)),
             bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kCfd2XRows[] = {
    once(115, kFirst, FirstSection, F::d1_forward3_b),
    nodes(116, kFirst, "b+1", "b+N-1", F::d1_central3_i),
    once(117, kFirst, EverySection, F::d1_backward3_end),
    nodes(118, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(119, kSecond, LaterSections, F::d1_forward3_b),
    once(120, kIntegral, Element, F::integral_parabola_j1),
    once(121, kIntegral, Element, F::integral_parabola_j2),
};

// "CFD2" along y (group 21, rows 122 to 130).
inline constexpr FamilyEntry kCfd2YFamilies[] = {
    first(loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Z, Boundary)),
           loops(along(X, Interior), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(
        selectors("idy", "idydz"), loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy", "idxdydz"),
             loops(along(Z, Nodes), along(X, FromOne)),
             bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kCfd2YRows[] = {
    once(122, kFirst, FirstSection, F::d1_forward3_b),
    nodes(123, kFirst, "b+1", "b+N-1", F::d1_central3_i),
    once(124, kFirst, EverySection, F::d1_backward3_end),
    nodes(125, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(126, kSecond, LaterSections, F::d1_forward3_b),
    once(127, kIntegral, Element, F::integral_parabola_j1),
    once(128, kIntegral, Element, F::integral_parabola_j2),
    once(129, kCross, Element, F::integral_parabola_j1),
    once(130, kCross, Element, F::integral_parabola_j2),
};

// "CFD2" along z (group 22, rows 131 to 143).
inline constexpr FamilyEntry kCfd2ZFamilies[] = {
    first(loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kDdz, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Y, Boundary)),
           loops(along(X, Interior), along(Y, Interior)),
           BeforeLoops,
           bind(kValue, kDdz, kD2dz2, kUnbound)),
    integral(selectors("idz"), loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdz)),
    integral(selectors("idxdz"), loops(along(Y, Nodes), along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdz)),
    integral(selectors("idydz"), loops(along(Y, FromOne), along(X, Nodes)), bind(kIdy, kUnbound, kUnbound, kIdydz)),
    integral(
        selectors("idxdydz"), loops(along(Y, FromOne), along(X, FromOne)), bind(kIdxdy, kUnbound, kUnbound, kIdxdydz)),
};
inline constexpr RowEntry kCfd2ZRows[] = {
    once(131, kFirst, FirstSection, F::d1_forward3_b),
    nodes(132, kFirst, "b+1", "b+N-1", F::d1_central3_i),
    once(133, kFirst, EverySection, F::d1_backward3_end),
    nodes(134, kSecond, "b+1", "b+N-1", F::d2_central3_i),
    once(135, kSecond, LaterSections, F::d1_forward3_b),
    once(136, kIntegral, Element, F::integral_parabola_j1),
    once(137, kIntegral, Element, F::integral_parabola_j2),
    once(138, kCross, Element, F::integral_parabola_j1),
    once(139, kCross, Element, F::integral_parabola_j2),
    once(140, kCross2, Element, F::integral_parabola_j1),
    once(141, kCross2, Element, F::integral_parabola_j2),
    once(142, kCross3, Element, F::integral_parabola_j1),
    once(143, kCross3, Element, F::integral_parabola_j2),
};

// "CFD4" along x (group 23, rows 144 to 156).
inline constexpr FamilyEntry kCfd4XFamilies[] = {
    first(loops(along(Z, Nodes), along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary), along(Z, Boundary)),
           loops(along(Y, Inner), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy", "idxdz", "idxdydz"),
             loops(along(Z, Nodes), along(Y, Nodes)),
             bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kCfd4XRows[] = {
    once(144, kFirst, FirstSection, F::d1_five_b),
    once(145, kFirst, EverySection, F::d1_five_b1),
    nodes(146, kFirst, "b+2", "b+N-2", F::d1_five_central_i),
    once(147, kFirst, EverySection, F::d1_five_end1),
    once(148, kFirst, EverySection, F::d1_five_end),
    once(149, kSecond, EverySection, F::d2_five_b1),
    nodes(150, kSecond, "b+2", "b+N-2", F::d2_five_central_i),
    once(151, kSecond, EverySection, F::d2_five_end1),
    once(152, kSecond, LaterSections, F::d1_five_b),
    once(153, kIntegral, Element, F::integral_quartic_j1),
    once(154, kIntegral, Element, F::integral_quartic_j2),
    once(155, kIntegral, Element, F::integral_quartic_j3),
    once(156, kIntegral, Element, F::integral_quartic_j4),
};

// "CFD4" along y (group 24, rows 157 to 173).
inline constexpr FamilyEntry kCfd4YFamilies[] = {
    first(loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Z, Boundary)),
           loops(along(X, Interior), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(
        selectors("idy", "idydz"), loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy", "idxdydz"),
             loops(along(Z, Nodes), along(X, FromOne)),
             bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kCfd4YRows[] = {
    once(157, kFirst, FirstSection, F::d1_five_b),
    once(158, kFirst, EverySection, F::d1_five_b1),
    nodes(159, kFirst, "b+2", "b+N-2", F::d1_five_central_i),
    once(160, kFirst, EverySection, F::d1_five_end1),
    once(161, kFirst, EverySection, F::d1_five_end),
    once(162, kSecond, EverySection, F::d2_five_b1),
    nodes(163, kSecond, "b+2", "b+N-2", F::d2_five_central_i),
    once(164, kSecond, EverySection, F::d2_five_end1),
    once(165, kSecond, LaterSections, F::d1_five_b),
    once(166, kIntegral, Element, F::integral_quartic_j1),
    once(167, kIntegral, Element, F::integral_quartic_j2),
    once(168, kIntegral, Element, F::integral_quartic_j3),
    once(169, kIntegral, Element, F::integral_quartic_j4),
    once(170, kCross, Element, F::integral_quartic_j1),
    once(171, kCross, Element, F::integral_quartic_j2),
    once(172, kCross, Element, F::integral_quartic_j3),
    once(173, kCross, Element, F::integral_quartic_j4),
};

// "CFD4" along z (group 25, rows 174 to 198).
inline constexpr FamilyEntry kCfd4ZFamilies[] = {
    first(loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kDdz, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Y, Boundary)),
           loops(along(X, Interior), along(Y, Interior)),
           BeforeLoops,
           bind(kValue, kDdz, kD2dz2, kUnbound)),
    integral(selectors("idz"), loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdz)),
    integral(selectors("idxdz"), loops(along(Y, Nodes), along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdz)),
    integral(selectors("idydz"), loops(along(Y, FromOne), along(X, Nodes)), bind(kIdy, kUnbound, kUnbound, kIdydz)),
    integral(
        selectors("idxdydz"), loops(along(Y, FromOne), along(X, FromOne)), bind(kIdxdy, kUnbound, kUnbound, kIdxdydz)),
};
inline constexpr RowEntry kCfd4ZRows[] = {
    once(174, kFirst, FirstSection, F::d1_five_b),
    once(175, kFirst, EverySection, F::d1_five_b1),
    nodes(176, kFirst, "b+2", "b+N-2", F::d1_five_central_i),
    once(177, kFirst, EverySection, F::d1_five_end1),
    once(178, kFirst, EverySection, F::d1_five_end),
    once(179, kSecond, EverySection, F::d2_five_b1),
    nodes(180, kSecond, "b+2", "b+N-2", F::d2_five_central_i),
    once(181, kSecond, EverySection, F::d2_five_end1),
    once(182, kSecond, LaterSections, F::d1_five_b),
    once(183, kIntegral, Element, F::integral_quartic_j1),
    once(184, kIntegral, Element, F::integral_quartic_j2),
    once(185, kIntegral, Element, F::integral_quartic_j3),
    once(186, kIntegral, Element, F::integral_quartic_j4),
    once(187, kCross, Element, F::integral_quartic_j1),
    once(188, kCross, Element, F::integral_quartic_j2),
    once(189, kCross, Element, F::integral_quartic_j3),
    once(190, kCross, Element, F::integral_quartic_j4),
    once(191, kCross2, Element, F::integral_quartic_j1),
    once(192, kCross2, Element, F::integral_quartic_j2),
    once(193, kCross2, Element, F::integral_quartic_j3),
    once(194, kCross2, Element, F::integral_quartic_j4),
    once(195, kCross3, Element, F::integral_quartic_j1),
    once(196, kCross3, Element, F::integral_quartic_j2),
    once(197, kCross3, Element, F::integral_quartic_j3),
    once(198, kCross3, Element, F::integral_quartic_j4),
};

// "UBFD4" along x (group 26, rows 199 to 211).
inline constexpr FamilyEntry kUbfd4XFamilies[] = {
    first(loops(along(Y, Nodes), along(Z, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary), along(Z, Boundary)),
           loops(along(Y, Inner), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy", "idxdz", "idxdydz"),
             loops(along(Z, Nodes), along(Y, Nodes)),
             bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kUbfd4XRows[] = {
    once(199, kFirst, FirstSection, F::d1_five_b),
    once(200, kFirst, EverySection, F::d1_five_b1),
    once(201, kFirst, EverySection, F::d1_five_central_b2),
    nodes(202, kFirst, "b+3", "b+N-1", F::d1_five_upwind_i),
    once(203, kFirst, EverySection, F::d1_five_end),
    once(204, kSecond, EverySection, F::d2_five_b1),
    once(205, kSecond, EverySection, F::d2_five_central_b2),
    nodes(206, kSecond, "b+3", "b+N-1", F::d2_five_upwind_i),
    once(207, kSecond, LaterSections, F::d1_five_b),
    once(208, kIntegral, Element, F::integral_quartic_j1),
    once(209, kIntegral, Element, F::integral_quartic_j2),
    once(210, kIntegral, Element, F::integral_quartic_j3),
    once(211, kIntegral, Element, F::integral_quartic_j4),
};

// "UBFD4" along y (group 27, rows 212 to 228).
inline constexpr FamilyEntry kUbfd4YFamilies[] = {
    first(loops(along(X, Nodes), along(Z, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Z, Boundary)),
           loops(along(X, Interior), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(
        selectors("idy", "idydz"), loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy", "idxdydz"),
             loops(along(Z, Nodes), along(X, FromOne)),
             bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kUbfd4YRows[] = {
    once(212, kFirst, FirstSection, F::d1_five_b),
    once(213, kFirst, EverySection, F::d1_five_b1),
    once(214, kFirst, EverySection, F::d1_five_central_b2),
    nodes(215, kFirst, "b+3", "b+N-1", F::d1_five_upwind_i),
    once(216, kFirst, EverySection, F::d1_five_end),
    once(217, kSecond, EverySection, F::d2_five_b1),
    once(218, kSecond, EverySection, F::d2_five_central_b2),
    nodes(219, kSecond, "b+3", "b+N-1", F::d2_five_upwind_i),
    once(220, kSecond, LaterSections, F::d1_five_b),
    once(221, kIntegral, Element, F::integral_quartic_j1),
    once(222, kIntegral, Element, F::integral_quartic_j2),
    once(223, kIntegral, Element, F::integral_quartic_j3),
    once(224, kIntegral, Element, F::integral_quartic_j4),
    once(225, kCross, Element, F::integral_quartic_j1),
    once(226, kCross, Element, F::integral_quartic_j2),
    once(227, kCross, Element, F::integral_quartic_j3),
    once(228, kCross, Element, F::integral_quartic_j4),
};

// "UBFD4" along z (group 28, rows 229 to 253).
inline constexpr FamilyEntry kUbfd4ZFamilies[] = {
    first(loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kDdz, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Y, Boundary)),
           loops(along(X, Interior), along(Y, Interior)),
           BeforeLoops,
           bind(kValue, kDdz, kD2dz2, kUnbound)),
    integral(selectors("idz"), loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdz)),
    integral(selectors("idxdz"), loops(along(Y, Nodes), along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdz)),
    integral(selectors("idydz"), loops(along(Y, FromOne), along(X, Nodes)), bind(kIdy, kUnbound, kUnbound, kIdydz)),
    integral(
        selectors("idxdydz"), loops(along(Y, FromOne), along(X, FromOne)), bind(kIdxdy, kUnbound, kUnbound, kIdxdydz)),
};
inline constexpr RowEntry kUbfd4ZRows[] = {
    once(229, kFirst, FirstSection, F::d1_five_b),           once(230, kFirst, EverySection, F::d1_five_b1),
    once(231, kFirst, EverySection, F::d1_five_central_b2),  nodes(232, kFirst, "b+3", "b+N-1", F::d1_five_upwind_i),
    once(233, kFirst, EverySection, F::d1_five_end),         once(234, kSecond, EverySection, F::d2_five_b1),
    once(235, kSecond, EverySection, F::d2_five_central_b2), nodes(236, kSecond, "b+3", "b+N-1", F::d2_five_upwind_i),
    once(237, kSecond, LaterSections, F::d1_five_b),         once(238, kIntegral, Element, F::integral_quartic_j1),
    once(239, kIntegral, Element, F::integral_quartic_j2),   once(240, kIntegral, Element, F::integral_quartic_j3),
    once(241, kIntegral, Element, F::integral_quartic_j4),   once(242, kCross, Element, F::integral_quartic_j1),
    once(243, kCross, Element, F::integral_quartic_j2),      once(244, kCross, Element, F::integral_quartic_j3),
    once(245, kCross, Element, F::integral_quartic_j4),      once(246, kCross2, Element, F::integral_quartic_j1),
    once(247, kCross2, Element, F::integral_quartic_j2),     once(248, kCross2, Element, F::integral_quartic_j3),
    once(249, kCross2, Element, F::integral_quartic_j4),     once(250, kCross3, Element, F::integral_quartic_j1),
    once(251, kCross3, Element, F::integral_quartic_j2),     once(252, kCross3, Element, F::integral_quartic_j3),
    once(253, kCross3, Element, F::integral_quartic_j4),
};

// "OCFE2" along x (group 29, rows 254 to 260).
inline constexpr FamilyEntry kOcfe2XFamilies[] = {
    first(loops(along(Z, Nodes), along(Y, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary), along(Z, Boundary)),
           loops(along(Y, Inner), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy", "idxdz", "idxdydz"),
             loops(along(Z, Nodes), along(Y, Nodes)),
             bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kOcfe2XRows[] = {
    once(254, kFirst, FirstSection, F::ocfe2_d1_b),
    once(255, kFirst, Element, F::ocfe2_d1_j1),
    once(256, kFirst, Element, F::ocfe2_d1_j2),
    once(257, kSecond, Element, F::ocfe2_d2_j1),
    once(258, kSecond, Junction, F::ocfe2_d1_j),
    once(259, kIntegral, Element, F::ocfe2_integral_j1),
    once(260, kIntegral, Element, F::ocfe2_integral_j2),
};

// "OCFE2" along y (group 30, rows 261 to 269).
inline constexpr FamilyEntry kOcfe2YFamilies[] = {
    first(loops(along(X, Nodes), along(Z, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Z, Boundary)),
           loops(along(X, Interior), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(
        selectors("idy", "idydz"), loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy", "idxdydz"),
             loops(along(Z, Nodes), along(X, FromOne)),
             bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kOcfe2YRows[] = {
    once(261, kFirst, FirstSection, F::ocfe2_d1_b),
    once(262, kFirst, Element, F::ocfe2_d1_j1),
    once(263, kFirst, Element, F::ocfe2_d1_j2),
    once(264, kSecond, Element, F::ocfe2_d2_j1),
    once(265, kSecond, Junction, F::ocfe2_d1_j),
    once(266, kIntegral, Element, F::ocfe2_integral_j1),
    once(267, kIntegral, Element, F::ocfe2_integral_j2),
    once(268, kCross, Element, F::ocfe2_integral_j1),
    once(269, kCross, Element, F::ocfe2_integral_j2),
};

// "OCFE2" along z (group 31, rows 270 to 282).
inline constexpr FamilyEntry kOcfe2ZFamilies[] = {
    first(loops(along(X, Nodes), along(Y, Nodes)), bind(kValue, kDdz, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Y, Boundary)),
           loops(along(X, Interior), along(Y, Interior)),
           BeforeLoops,
           bind(kValue, kDdz, kD2dz2, kUnbound)),
    integral(selectors("idz"), loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdz)),
    integral(selectors("idxdz"), loops(along(Y, Nodes), along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdz)),
    integral(selectors("idydz"), loops(along(Y, FromOne), along(X, Nodes)), bind(kIdy, kUnbound, kUnbound, kIdydz)),
    integral(
        selectors("idxdydz"), loops(along(Y, FromOne), along(X, FromOne)), bind(kIdxdy, kUnbound, kUnbound, kIdxdydz)),
};
inline constexpr RowEntry kOcfe2ZRows[] = {
    once(270, kFirst, FirstSection, F::ocfe2_d1_b),
    once(271, kFirst, Element, F::ocfe2_d1_j1),
    once(272, kFirst, Element, F::ocfe2_d1_j2),
    once(273, kSecond, Element, F::ocfe2_d2_j1),
    once(274, kSecond, Junction, F::ocfe2_d1_j),
    once(275, kIntegral, Element, F::ocfe2_integral_j1),
    once(276, kIntegral, Element, F::ocfe2_integral_j2),
    once(277, kCross, Element, F::ocfe2_integral_j1),
    once(278, kCross, Element, F::ocfe2_integral_j2),
    once(279, kCross2, Element, F::ocfe2_integral_j1),
    once(280, kCross2, Element, F::ocfe2_integral_j2),
    once(281, kCross3, Element, F::ocfe2_integral_j1),
    once(282, kCross3, Element, F::ocfe2_integral_j2),
};

// "OCFE3" along x (group 32, rows 283 to 292).
inline constexpr FamilyEntry kOcfe3XFamilies[] = {
    first(loops(along(Y, Nodes), along(Z, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary), along(Z, Boundary)),
           loops(along(Y, Inner), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy", "idxdz", "idxdydz"),
             loops(along(Z, Nodes), along(Y, Nodes)),
             bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kOcfe3XRows[] = {
    once(283, kFirst, FirstSection, F::ocfe3_d1_b),
    once(284, kFirst, Element, F::ocfe3_d1_j1),
    once(285, kFirst, Element, F::ocfe3_d1_j2),
    once(286, kFirst, Element, F::ocfe3_d1_j3),
    once(287, kSecond, Element, F::ocfe3_d2_j1),
    once(288, kSecond, Element, F::ocfe3_d2_j2),
    once(289, kSecond, Junction, F::ocfe3_d1_j),
    once(290, kIntegral, Element, F::ocfe3_integral_j1),
    once(291, kIntegral, Element, F::ocfe3_integral_j2),
    once(292, kIntegral, Element, F::ocfe3_integral_j3),
};

// "OCFE3" along y (group 33, rows 293 to 305).
inline constexpr FamilyEntry kOcfe3YFamilies[] = {
    first(loops(along(X, Nodes), along(Z, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Z, Boundary)),
           loops(along(X, Interior), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(
        selectors("idy", "idydz"), loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy", "idxdydz"),
             loops(along(Z, Nodes), along(X, FromOne)),
             bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kOcfe3YRows[] = {
    once(293, kFirst, FirstSection, F::ocfe3_d1_b),
    once(294, kFirst, Element, F::ocfe3_d1_j1),
    once(295, kFirst, Element, F::ocfe3_d1_j2),
    once(296, kFirst, Element, F::ocfe3_d1_j3),
    once(297, kSecond, Element, F::ocfe3_d2_j1),
    once(298, kSecond, Element, F::ocfe3_d2_j2),
    once(299, kSecond, Junction, F::ocfe3_d1_j),
    once(300, kIntegral, Element, F::ocfe3_integral_j1),
    once(301, kIntegral, Element, F::ocfe3_integral_j2),
    once(302, kIntegral, Element, F::ocfe3_integral_j3),
    once(303, kCross, Element, F::ocfe3_integral_j1),
    once(304, kCross, Element, F::ocfe3_integral_j2),
    once(305, kCross, Element, F::ocfe3_integral_j3),
};

// "OCFE3" along z (group 34, rows 306 to 324).
inline constexpr FamilyEntry kOcfe3ZFamilies[] = {
    first(loops(along(X, Nodes), along(Y, Nodes)), bind(kValue, kDdz, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Y, Boundary)),
           loops(along(X, Interior), along(Y, Interior)),
           BeforeLoops,
           bind(kValue, kDdz, kD2dz2, kUnbound)),
    integral(selectors("idz"), loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdz)),
    integral(selectors("idxdz"), loops(along(Y, Nodes), along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdz)),
    integral(selectors("idydz"), loops(along(Y, FromOne), along(X, Nodes)), bind(kIdy, kUnbound, kUnbound, kIdydz)),
    integral(
        selectors("idxdydz"), loops(along(Y, FromOne), along(X, FromOne)), bind(kIdxdy, kUnbound, kUnbound, kIdxdydz)),
};
inline constexpr RowEntry kOcfe3ZRows[] = {
    once(306, kFirst, FirstSection, F::ocfe3_d1_b),      once(307, kFirst, Element, F::ocfe3_d1_j1),
    once(308, kFirst, Element, F::ocfe3_d1_j2),          once(309, kFirst, Element, F::ocfe3_d1_j3),
    once(310, kSecond, Element, F::ocfe3_d2_j1),         once(311, kSecond, Element, F::ocfe3_d2_j2),
    once(312, kSecond, Junction, F::ocfe3_d1_j),         once(313, kIntegral, Element, F::ocfe3_integral_j1),
    once(314, kIntegral, Element, F::ocfe3_integral_j2), once(315, kIntegral, Element, F::ocfe3_integral_j3),
    once(316, kCross, Element, F::ocfe3_integral_j1),    once(317, kCross, Element, F::ocfe3_integral_j2),
    once(318, kCross, Element, F::ocfe3_integral_j3),    once(319, kCross2, Element, F::ocfe3_integral_j1),
    once(320, kCross2, Element, F::ocfe3_integral_j2),   once(321, kCross2, Element, F::ocfe3_integral_j3),
    once(322, kCross3, Element, F::ocfe3_integral_j1),   once(323, kCross3, Element, F::ocfe3_integral_j2),
    once(324, kCross3, Element, F::ocfe3_integral_j3),
};

// "OCFE4" along x (group 35, rows 325 to 337).
inline constexpr FamilyEntry kOcfe4XFamilies[] = {
    first(loops(along(Y, Nodes), along(Z, Nodes)), bind(kValue, kDdx, kUnbound, kUnbound)),
    second(loops(along(Y, Boundary), along(Z, Boundary)),
           loops(along(Y, Inner), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdx, kD2dx2, kUnbound)),
    integral(selectors("idx", "idxdy", "idxdz", "idxdydz"),
             loops(along(Z, Nodes), along(Y, Nodes)),
             bind(kValue, kUnbound, kUnbound, kIdx)),
};
inline constexpr RowEntry kOcfe4XRows[] = {
    once(325, kFirst, FirstSection, F::ocfe4_d1_b),
    once(326, kFirst, Element, F::ocfe4_d1_j1),
    once(327, kFirst, Element, F::ocfe4_d1_j2),
    once(328, kFirst, Element, F::ocfe4_d1_j3),
    once(329, kFirst, Element, F::ocfe4_d1_j4),
    once(330, kSecond, Element, F::ocfe4_d2_j1),
    once(331, kSecond, Element, F::ocfe4_d2_j2),
    once(332, kSecond, Element, F::ocfe4_d2_j3),
    once(333, kSecond, Junction, F::ocfe4_d1_j),
    once(334, kIntegral, Element, F::ocfe4_integral_j1),
    once(335, kIntegral, Element, F::ocfe4_integral_j2),
    once(336, kIntegral, Element, F::ocfe4_integral_j3),
    once(337, kIntegral, Element, F::ocfe4_integral_j4),
};

// "OCFE4" along y (group 36, rows 338 to 354).
inline constexpr FamilyEntry kOcfe4YFamilies[] = {
    first(loops(along(X, Nodes), along(Z, Nodes)), bind(kValue, kDdy, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Z, Boundary)),
           loops(along(X, Interior), along(Z, Inner)),
           BeforeLoops,
           bind(kValue, kDdy, kD2dy2, kUnbound)),
    integral(
        selectors("idy", "idydz"), loops(along(Z, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdy)),
    integral(selectors("idxdy", "idxdydz"),
             loops(along(Z, Nodes), along(X, FromOne)),
             bind(kIdx, kUnbound, kUnbound, kIdxdy)),
};
inline constexpr RowEntry kOcfe4YRows[] = {
    once(338, kFirst, FirstSection, F::ocfe4_d1_b),
    once(339, kFirst, Element, F::ocfe4_d1_j1),
    once(340, kFirst, Element, F::ocfe4_d1_j2),
    once(341, kFirst, Element, F::ocfe4_d1_j3),
    once(342, kFirst, Element, F::ocfe4_d1_j4),
    once(343, kSecond, Element, F::ocfe4_d2_j1),
    once(344, kSecond, Element, F::ocfe4_d2_j2),
    once(345, kSecond, Element, F::ocfe4_d2_j3),
    once(346, kSecond, Junction, F::ocfe4_d1_j),
    once(347, kIntegral, Element, F::ocfe4_integral_j1),
    once(348, kIntegral, Element, F::ocfe4_integral_j2),
    once(349, kIntegral, Element, F::ocfe4_integral_j3),
    once(350, kIntegral, Element, F::ocfe4_integral_j4),
    once(351, kCross, Element, F::ocfe4_integral_j1),
    once(352, kCross, Element, F::ocfe4_integral_j2),
    once(353, kCross, Element, F::ocfe4_integral_j3),
    once(354, kCross, Element, F::ocfe4_integral_j4),
};

// "OCFE4" along z (group 37, rows 355 to 379).
inline constexpr FamilyEntry kOcfe4ZFamilies[] = {
    first(loops(along(X, Nodes), along(Y, Nodes)), bind(kValue, kDdz, kUnbound, kUnbound)),
    second(loops(along(X, Boundary), along(Y, Boundary)),
           loops(along(X, Interior), along(Y, Interior)),
           BeforeLoops,
           bind(kValue, kDdz, kD2dz2, kUnbound)),
    integral(selectors("idz"), loops(along(Y, Nodes), along(X, Nodes)), bind(kValue, kUnbound, kUnbound, kIdz)),
    integral(selectors("idxdz"), loops(along(Y, Nodes), along(X, FromOne)), bind(kIdx, kUnbound, kUnbound, kIdxdz)),
    integral(selectors("idydz"), loops(along(Y, FromOne), along(X, Nodes)), bind(kIdy, kUnbound, kUnbound, kIdydz)),
    integral(
        selectors("idxdydz"), loops(along(Y, FromOne), along(X, FromOne)), bind(kIdxdy, kUnbound, kUnbound, kIdxdydz)),
};
inline constexpr RowEntry kOcfe4ZRows[] = {
    once(355, kFirst, FirstSection, F::ocfe4_d1_b),      once(356, kFirst, Element, F::ocfe4_d1_j1),
    once(357, kFirst, Element, F::ocfe4_d1_j2),          once(358, kFirst, Element, F::ocfe4_d1_j3),
    once(359, kFirst, Element, F::ocfe4_d1_j4),          once(360, kSecond, Element, F::ocfe4_d2_j1),
    once(361, kSecond, Element, F::ocfe4_d2_j2),         once(362, kSecond, Element, F::ocfe4_d2_j3),
    once(363, kSecond, Junction, F::ocfe4_d1_j),         once(364, kIntegral, Element, F::ocfe4_integral_j1),
    once(365, kIntegral, Element, F::ocfe4_integral_j2), once(366, kIntegral, Element, F::ocfe4_integral_j3),
    once(367, kIntegral, Element, F::ocfe4_integral_j4), once(368, kCross, Element, F::ocfe4_integral_j1),
    once(369, kCross, Element, F::ocfe4_integral_j2),    once(370, kCross, Element, F::ocfe4_integral_j3),
    once(371, kCross, Element, F::ocfe4_integral_j4),    once(372, kCross2, Element, F::ocfe4_integral_j1),
    once(373, kCross2, Element, F::ocfe4_integral_j2),   once(374, kCross2, Element, F::ocfe4_integral_j3),
    once(375, kCross2, Element, F::ocfe4_integral_j4),   once(376, kCross3, Element, F::ocfe4_integral_j1),
    once(377, kCross3, Element, F::ocfe4_integral_j2),   once(378, kCross3, Element, F::ocfe4_integral_j3),
    once(379, kCross3, Element, F::ocfe4_integral_j4),
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
inline constexpr auto kPlan = buildPlan<kTable>();
}  // namespace detail

// The plan of all 379 rows.
inline constexpr std::span<const PlanNode> plan() { return detail::kPlan.steps(); }

}  // namespace morvane::eqn::d3
