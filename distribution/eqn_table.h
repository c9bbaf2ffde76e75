// The description of a distribution's equations: its row table and the descriptor of each method
// block, from which the plan builder (eqn_plan.h) makes, when the library is built, the one plan
// that both SetUpEquations and JacPattern walk.
//
// A distribution over D axes (x = 0, y = 1, z = 2) is described by
//   - its integral-start rows: each one formula (the integral at node 0 of its axis) under a
//     selector guard, inside loops over the other axes;
//   - its method blocks, in the order they are tested: each names its method, its axis, its
//     group offset and its families; a family names its kind, its guard, its loops over the
//     other axes (outer first, as data: the orders differ by method and by axis), and the arrays
//     its rows' formula roles stand for;
//   - its rows, block by block: each names its catalogue number, its family, where it runs
//     inside the section loop, and its formula. A row reads along its block's axis through its
//     family's arrays.
// The nesting rules that turn this into guards and loops are the plan builder's, written once
// for every distribution.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "distribution/eqn_formula.h"
#include "distribution/eqn_formula_catalogue.h"

namespace morvane::eqn {

inline constexpr std::size_t kMaxAxes = 3;

// The set a loop over another axis runs over.
enum class AxisSet : std::uint8_t {
  Nodes,     // 0 .. ENDNODE
  FromOne,   // 1 .. ENDNODE
  Inner,     // 1 .. ENDNODE-1
  Boundary,  // {0} ∪ INTERIOR ∪ {ENDNODE}
  Interior,  // the domain's INTERIOR set itself
};

struct AxisLoop {
  std::uint8_t axis = 0;
  AxisSet set = AxisSet::Nodes;
};

// Loops over other axes, outermost first.
struct Loops {
  std::array<AxisLoop, kMaxAxes - 1> loop{};
  std::uint8_t count = 0;
};

consteval AxisLoop Across(std::uint8_t axis, AxisSet set) { return AxisLoop{axis, set}; }
consteval Loops LoopsOver() { return Loops{}; }
consteval Loops LoopsOver(AxisLoop a) { return Loops{{a, AxisLoop{}}, 1}; }
consteval Loops LoopsOver(AxisLoop a, AxisLoop b) { return Loops{{a, b}, 2}; }

// Integral selectors of a guard, tested in order until one is in INTEGRALS.
inline constexpr std::size_t kMaxSelectors = 4;
struct Selectors {
  std::array<const char*, kMaxSelectors> text{};
  std::uint8_t count = 0;
};

template <class... T>
consteval Selectors SelectorList(T... text) {
  static_assert(sizeof...(T) >= 1 && sizeof...(T) <= kMaxSelectors);
  return Selectors{{text...}, static_cast<std::uint8_t>(sizeof...(T))};
}

// Which array of the distribution each array role of a formula (V, D, D2, I) stands for;
// kUnbound where the family's formulas have no such role.
inline constexpr std::uint8_t kUnbound = 0xff;
struct Binding {
  std::array<std::uint8_t, kArrayRoles> arrays{kUnbound, kUnbound, kUnbound, kUnbound};
  friend constexpr bool operator==(const Binding&, const Binding&) = default;
};

consteval Binding Bind(std::uint8_t value, std::uint8_t derivative, std::uint8_t second, std::uint8_t integral) {
  return Binding{{value, derivative, second, integral}};
}

enum class FamilyKind : std::uint8_t {
  First,     // under "order used > 0"
  Second,    // under "order used > 1": second derivatives, then the junction rows
  Integral,  // under its selectors (single-axis and cross integrals alike)
};

// Where the guard of the junction rows stands against their loops: before them (tested once),
// or inside the innermost of them (tested on every pass). Both declare the same equations.
enum class GuardAt : std::uint8_t { BeforeLoops, InsideLoops };

struct FamilyEntry {
  FamilyKind kind = FamilyKind::First;
  Selectors selectors{};  // Integral
  Loops loops{};          // First, Integral: outside the section loop; Second: around the
                          // second-derivative rows, inside the section (and element) loops
  Loops junction{};       // Second: around the junction rows
  GuardAt junctionGuard = GuardAt::BeforeLoops;
  Binding binding{};
};

consteval FamilyEntry FirstFamily(Loops other, Binding b) {
  return FamilyEntry{FamilyKind::First, {}, other, {}, GuardAt::BeforeLoops, b};
}
consteval FamilyEntry SecondFamily(Loops boundary, Loops junction, GuardAt guard, Binding b) {
  return FamilyEntry{FamilyKind::Second, {}, boundary, junction, guard, b};
}
consteval FamilyEntry IntegralFamily(Selectors s, Loops other, Binding b) {
  return FamilyEntry{FamilyKind::Integral, s, other, {}, GuardAt::BeforeLoops, b};
}

// Where a row runs inside its family's section loop.
enum class Runs : std::uint8_t {
  FirstSection,   // once, in section 1
  LaterSections,  // once in every section but the first (the junction rows of the differences)
  EverySection,   // once per section
  Nodes,          // i = lo .. hi
  Element,        // once per element, at its first node j
  Junction,       // per element, when j != 0 and the axis's highest order is 2 (collocation)
};

struct RowEntry {
  std::uint16_t number = 0;
  std::uint8_t family = 0;  // index into its block's families
  Runs runs = Runs::EverySection;
  Index lo{};
  Index hi{};
  const Formula* formula = nullptr;
};

consteval RowEntry Once(std::uint16_t n, std::uint8_t family, Runs r, const Formula& f) {
  return RowEntry{n, family, r, {}, {}, &f};
}
consteval RowEntry OverNodes(
    std::uint16_t n, std::uint8_t family, std::string_view lo, std::string_view hi, const Formula& f) {
  return RowEntry{n, family, Runs::Nodes, ParseIndex(lo), ParseIndex(hi), &f};
}

// How a block nests its section loop: inside each family (the other axes' loops between), or
// around all of its families (the one-dimensional collocation blocks).
enum class Nesting : std::uint8_t { SectionsInFamilies, FamiliesInSections };

struct MethodBlock {
  const char* method = nullptr;
  std::uint8_t axis = 0;
  std::int32_t group = 0;
  Nesting nesting = Nesting::SectionsInFamilies;
  std::span<const FamilyEntry> families{};
  std::span<const RowEntry> rows{};
};

// An integral-start row: op1(I(0)) along its axis, for every pass of its loops over the other
// axes. Consecutive start rows with the same selectors share one guard.
struct StartRow {
  std::uint16_t number = 0;
  std::int32_t group = 0;
  Selectors selectors{};
  std::uint8_t axis = 0;
  std::uint8_t array = 0;
  Loops loops{};
};

struct DistributionTable {
  std::uint8_t axes = 1;
  std::uint8_t arrays = 0;
  std::span<const StartRow> starts{};
  std::span<const MethodBlock> blocks{};
};

}  // namespace morvane::eqn
