// Test support for the equations of the two- and three-dimensional distributions: a context over
// D axes, each a one-dimensional grid built the way the domain builds it, terms named with D
// indices, where each row of a table stands, and the values of product polynomials on the grid.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "distribution/distribution2d_equations.h"
#include "distribution/distribution3d_equations.h"
#include "test_grid.h"

namespace morvane::eqn::testing {

inline constexpr char kAxisNames[] = "xyz";

// A variable term (an array's element at D node indices) or the element length of an axis's
// section.
template <std::size_t D>
struct GridTerm {
  static constexpr std::uint8_t kElementLength = 0xff;
  std::uint8_t array = 0;
  std::array<std::int32_t, D> at{};
  int axis = 0;              // of an element length
  std::int32_t section = 0;  // of an element length
  bool IsElementLength() const { return array == kElementLength; }
  friend bool operator==(const GridTerm&, const GridTerm&) = default;
};

// What an array holds along each of its axes.
enum class Along : std::uint8_t { Value, Derivative, Second, Integral };

// The arrays of the distribution over D axes, in its tables' numbering, and its plan.
template <std::size_t D>
struct DistributionOf;

template <>
struct DistributionOf<2> {
  static constexpr std::size_t kArrays = 8;
  static std::span<const PlanNode> EquationPlan() { return d2::EquationPlan(); }
  static constexpr const DistributionTable& Description() { return d2::kTable; }
  static constexpr std::array<const char*, kArrays> kNames = {
      "VALUE", "DDX", "DDY", "D2DX2", "D2DY2", "IDX", "IDY", "IDXDY"};
  static constexpr std::array<std::array<Along, 2>, kArrays> kParts = {{
      {Along::Value, Along::Value},
      {Along::Derivative, Along::Value},
      {Along::Value, Along::Derivative},
      {Along::Second, Along::Value},
      {Along::Value, Along::Second},
      {Along::Integral, Along::Value},
      {Along::Value, Along::Integral},
      {Along::Integral, Along::Integral},
  }};
  static constexpr std::array<std::uint8_t, 2> kFirst = {d2::kDdx, d2::kDdy};
  static constexpr std::array<std::uint8_t, 2> kSecond = {d2::kD2dx2, d2::kD2dy2};
  // The selectors under which an integral array gets its equations: its own, and those of the
  // integrals built from it (IDXDY integrates IDX along y).
  static std::vector<std::string> SelectorsOf(std::uint8_t array) {
    switch (array) {
      case d2::kIdx:
        return {"idx", "idxdy"};
      case d2::kIdy:
        return {"idy"};
      case d2::kIdxdy:
        return {"idxdy"};
      default:
        return {};
    }
  }
  static std::vector<std::set<std::string>> Selections() {
    return {{"None"}, {"idx"}, {"idy"}, {"idxdy"}, {"idx", "idy", "idxdy"}};
  }
};

template <>
struct DistributionOf<3> {
  static constexpr std::size_t kArrays = 14;
  static std::span<const PlanNode> EquationPlan() { return d3::EquationPlan(); }
  static constexpr const DistributionTable& Description() { return d3::kTable; }
  static constexpr std::array<const char*, kArrays> kNames = {"VALUE",
                                                              "DDX",
                                                              "DDY",
                                                              "DDZ",
                                                              "D2DX2",
                                                              "D2DY2",
                                                              "D2DZ2",
                                                              "IDX",
                                                              "IDY",
                                                              "IDZ",
                                                              "IDXDY",
                                                              "IDXDZ",
                                                              "IDYDZ",
                                                              "IDXDYDZ"};
  static constexpr std::array<std::array<Along, 3>, kArrays> kParts = {{
      {Along::Value, Along::Value, Along::Value},
      {Along::Derivative, Along::Value, Along::Value},
      {Along::Value, Along::Derivative, Along::Value},
      {Along::Value, Along::Value, Along::Derivative},
      {Along::Second, Along::Value, Along::Value},
      {Along::Value, Along::Second, Along::Value},
      {Along::Value, Along::Value, Along::Second},
      {Along::Integral, Along::Value, Along::Value},
      {Along::Value, Along::Integral, Along::Value},
      {Along::Value, Along::Value, Along::Integral},
      {Along::Integral, Along::Integral, Along::Value},
      {Along::Integral, Along::Value, Along::Integral},
      {Along::Value, Along::Integral, Along::Integral},
      {Along::Integral, Along::Integral, Along::Integral},
  }};
  static constexpr std::array<std::uint8_t, 3> kFirst = {d3::kDdx, d3::kDdy, d3::kDdz};
  static constexpr std::array<std::uint8_t, 3> kSecond = {d3::kD2dx2, d3::kD2dy2, d3::kD2dz2};
  // IDXDY and IDXDZ integrate IDX along y and z, IDYDZ integrates IDY along z, IDXDYDZ
  // integrates IDXDY along z.
  static std::vector<std::string> SelectorsOf(std::uint8_t array) {
    switch (array) {
      case d3::kIdx:
        return {"idx", "idxdy", "idxdz", "idxdydz"};
      case d3::kIdy:
        return {"idy", "idydz"};
      case d3::kIdz:
        return {"idz"};
      case d3::kIdxdy:
        return {"idxdy", "idxdydz"};
      case d3::kIdxdz:
        return {"idxdz"};
      case d3::kIdydz:
        return {"idydz"};
      case d3::kIdxdydz:
        return {"idxdydz"};
      default:
        return {};
    }
  }
  static std::vector<std::set<std::string>> Selections() {
    return {{"None"},
            {"idx"},
            {"idy"},
            {"idz"},
            {"idxdy"},
            {"idxdz"},
            {"idydz"},
            {"idxdydz"},
            {"idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"}};
  }
};

template <std::size_t D>
inline bool IsIntegralArray(std::uint8_t array) {
  const auto& parts = DistributionOf<D>::kParts[array];
  return std::find(parts.begin(), parts.end(), Along::Integral) != parts.end();
}

// Terms as VALUE(1,2), D2DY2(0,3,1), ... and an element length as hx(1) (axis x, section 1).
template <std::size_t D>
std::string TermName(const GridTerm<D>& t) {
  if (t.IsElementLength()) return std::string("h") + kAxisNames[t.axis] + "(" + std::to_string(t.section) + ")";
  std::string out = std::string(DistributionOf<D>::kNames.at(t.array)) + "(";
  for (std::size_t a = 0; a < D; ++a) out += (a > 0 ? "," : "") + std::to_string(t.at[a]);
  return out + ")";
}

// A distribution over D axes: one grid per axis (its method, sections, order used and highest
// order), its INTERIOR set (the domain's, or one set by hand) and the integral selection.
template <std::size_t D>
class GridND {
 public:
  using Coord = std::array<std::int32_t, D>;
  using Handle = GridTerm<D>;

  std::array<Grid1D, D> axes;
  std::set<std::string> integrals = {"None"};
  std::array<std::optional<std::vector<std::int32_t>>, D> interiorByHand;

  // INTERIOR of an axis: set by hand, or the domain's for the axis's highest order.
  std::vector<std::int32_t> Interior(int a) const {
    const auto k = static_cast<std::size_t>(a);
    return interiorByHand[k] ? *interiorByHand[k] : axes[k].DomainInterior(axes[k].highestOrder_);
  }
  // {0} ∪ INTERIOR ∪ {ENDNODE}, ascending.
  std::vector<std::int32_t> Boundary(int a) const {
    std::vector<std::int32_t> out = Interior(a);
    out.push_back(0);
    out.push_back(EndNode(a));
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
  }

  // ---- The context the walker reads ----
  const char* Method(int a) { return axes[static_cast<std::size_t>(a)].Method(0); }
  bool SelectsIntegral(const char* selector) { return integrals.count(selector) != 0; }
  std::int32_t OrderUsed(int a) const { return Axis(a).orderUsed_; }
  std::int32_t HighestOrder(int a) const { return Axis(a).highestOrder_; }
  std::int32_t NumSections(int a) const { return Axis(a).NumSections(0); }
  std::int32_t NumPolyPoints(int a) const { return Axis(a).polyPoints; }
  std::int32_t Base(int a, std::int32_t s) const { return Axis(a).Base(0, s); }
  std::int32_t NodeCount(int a, std::int32_t s) const { return Axis(a).NodeCount(0, s); }
  std::int32_t NumElements(int a, std::int32_t s) const { return Axis(a).NumElements(0, s); }
  std::int32_t EndNode(int a) const { return Axis(a).EndNode(); }
  Handle ElementLength(int a, std::int32_t s) const { return Handle{Handle::kElementLength, {}, a, s}; }
  Handle Variable(std::uint8_t array, const Coord& at) const {
    if (array >= DistributionOf<D>::kArrays) throw std::out_of_range("no array " + std::to_string(array));
    return Handle{array, at, 0, 0};
  }
  template <class Visit>
  void ForEachInSet(int a, AxisSet set, Visit&& visit) const {
    const std::vector<std::int32_t> members = set == AxisSet::Interior ? Interior(a) : Boundary(a);
    for (std::int32_t k : members) visit(std::int64_t{k});
  }

 private:
  const Grid1D& Axis(int a) const { return axes[static_cast<std::size_t>(a)]; }
};

// How a test sets up one axis: its method, its elements per section (Grid1D::make), its order
// used and highest order, and its INTERIOR when not the domain's.
struct AxisSetup {
  const char* method = "BFD1";
  std::vector<int> elements;
  int used = 0;
  int highest = 1;
  std::vector<double> lengths = {};
  std::optional<std::vector<std::int32_t>> interior = std::nullopt;
};

template <std::size_t D>
GridND<D> MakeGrid(const std::array<AxisSetup, D>& setup, std::set<std::string> integrals) {
  GridND<D> g;
  for (std::size_t a = 0; a < D; ++a) {
    g.axes[a] = Grid1D::Make(setup[a].method, setup[a].elements, setup[a].lengths);
    g.axes[a].orderUsed_ = setup[a].used;
    g.axes[a].highestOrder_ = setup[a].highest;
    g.interiorByHand[a] = setup[a].interior;
  }
  g.integrals = std::move(integrals);
  return g;
}

template <std::size_t D>
using EquationND = BasicEquation<GridTerm<D>>;

template <std::size_t D>
Recorder<SinkMode::Emit, GridTerm<D>> Emit(GridND<D>& g, std::int32_t groupBase = 0) {
  Recorder<SinkMode::Emit, GridTerm<D>> out;
  WalkPlan(DistributionOf<D>::EquationPlan(), g, out, groupBase);
  return out;
}
template <std::size_t D>
Recorder<SinkMode::Declare, GridTerm<D>> Declare(GridND<D>& g, std::int32_t groupBase = 0) {
  Recorder<SinkMode::Declare, GridTerm<D>> out;
  WalkPlan(DistributionOf<D>::EquationPlan(), g, out, groupBase);
  return out;
}

// ---- Where each row of a table stands ----

struct RowInfo {
  int number = 0;
  int axis = 0;  // the axis it reads along
  std::int32_t group = 0;
  const Formula* formula = nullptr;
  bool start = false;  // an integral-start row
  const MethodBlock* block = nullptr;
  Runs runs = Runs::EverySection;
  FamilyKind kind = FamilyKind::First;
  std::uint8_t subject = 0;  // the array of its first term

  bool Junction() const { return !start && (runs == Runs::LaterSections || runs == Runs::Junction); }
};

template <std::size_t D>
const std::map<int, RowInfo>& RowsOf() {
  static const std::map<int, RowInfo> rows = [] {
    std::map<int, RowInfo> out;
    const DistributionTable& description = DistributionOf<D>::Description();
    for (const StartRow& s : description.starts) {
      RowInfo r;
      r.number = s.number;
      r.axis = s.axis;
      r.group = s.group;
      r.formula = &formulas::integral_start;
      r.start = true;
      r.kind = FamilyKind::Integral;
      r.subject = s.array;
      out[r.number] = r;
    }
    for (const MethodBlock& b : description.blocks) {
      for (const RowEntry& row : b.rows) {
        RowInfo r;
        r.number = row.number;
        r.axis = b.axis;
        r.group = b.group;
        r.formula = row.formula;
        r.block = &b;
        r.runs = row.runs;
        r.kind = b.families[row.family].kind;
        r.subject = b.families[row.family].binding.arrays[static_cast<std::size_t>(row.formula->Term(0).role)];
        out[r.number] = r;
      }
    }
    return out;
  }();
  return rows;
}

template <std::size_t D>
const RowInfo& InfoOfRow(int row) {
  const auto& rows = RowsOf<D>();
  const auto found = rows.find(row);
  if (found == rows.end()) throw std::out_of_range("no row " + std::to_string(row));
  return found->second;
}

// ---- Values on the grid ----

// One factor per axis: V = P(x) Q(y) [R(z)]. An array's element is the product of each factor's
// value, derivative, second derivative or interval integral (from node k-1 to node k; 0 at
// node 0) at the element's node on that axis; an element length is its section's.
template <std::size_t D>
auto LookupOf(const GridND<D>& g, const std::array<Field, D>& factors) {
  return [&g, factors](const GridTerm<D>& t) -> double {
    if (t.IsElementLength()) return g.axes[static_cast<std::size_t>(t.axis)].SectionAt(t.section).elementLength;
    if (t.array >= DistributionOf<D>::kArrays) throw std::out_of_range("unknown array");
    double product = 1.0;
    for (std::size_t a = 0; a < D; ++a) {
      const Grid1D& axis = g.axes[a];
      const std::int32_t k = t.at[a];
      if (k < 0 || k > axis.EndNode()) throw std::out_of_range("node outside the grid");
      const double x = axis.x[static_cast<std::size_t>(k)];
      const Field& f = factors[a];
      switch (DistributionOf<D>::kParts[t.array][a]) {
        case Along::Value:
          product *= f.f(x);
          break;
        case Along::Derivative:
          product *= f.df(x);
          break;
        case Along::Second:
          product *= f.d2f(x);
          break;
        case Along::Integral:
          product *= k == 0 ? 0.0 : f.antiderivative(x) - f.antiderivative(axis.x[static_cast<std::size_t>(k - 1)]);
          break;
      }
    }
    return product;
  };
}

}  // namespace morvane::eqn::testing
