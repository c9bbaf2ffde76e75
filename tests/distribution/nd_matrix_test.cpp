// The equations of the two- and three-dimensional distributions over methods, orders used,
// highest orders, integral selections and section counts: declared and emitted equations agree,
// each stands in its block's group, a count finds their number and terms without a walk of every
// node, and what they amount to follows from the mathematics: one first-derivative equation per
// node tuple and axis, one equation per node tuple for every integral that is needed (its start
// where one of its own coordinates is 0), second derivatives and junctions where the
// discretization puts them, and every row reading along its own axis only.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <exception>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_grid_nd.h"

namespace morvane::eqn::testing {
namespace {

constexpr std::int32_t kGroupBase = 40;

// Counts per node tuple of a grid.
template <std::size_t D>
class TupleCounts {
 public:
  explicit TupleCounts(const GridND<D>& g) {
    std::size_t size = 1;
    for (std::size_t a = 0; a < D; ++a) {
      extent_[a] = g.EndNode(static_cast<int>(a)) + 1;
      size *= static_cast<std::size_t>(extent_[a]);
    }
    count_.assign(size, 0);
  }
  int& operator[](const std::array<std::int32_t, D>& at) {
    std::size_t k = 0;
    for (std::size_t a = 0; a < D; ++a) {
      if (at[a] < 0 || at[a] >= extent_[a]) throw std::out_of_range("node tuple outside the grid");
      k = k * static_cast<std::size_t>(extent_[a]) + static_cast<std::size_t>(at[a]);
    }
    return count_[k];
  }
  bool operator==(const TupleCounts& other) const { return count_ == other.count_; }

  // Adds one to every tuple whose coordinate along each axis is in that axis's set.
  void AddProduct(const std::array<std::vector<std::int32_t>, D>& sets) {
    std::array<std::int32_t, D> at{};
    AddFrom(sets, at, 0);
  }
  // The tuples counted other than once, for a failure message.
  std::string Describe(const TupleCounts& expected) const {
    std::string out;
    int shown = 0;
    for (std::size_t k = 0; k < count_.size() && shown < 6; ++k) {
      if (count_[k] == expected.count_[k]) continue;
      std::string tuple;
      for (std::size_t a = D, rest = k; a-- > 0; rest /= static_cast<std::size_t>(extent_[a])) {
        tuple = std::to_string(rest % static_cast<std::size_t>(extent_[a])) + (a + 1 < D ? "," : "") + tuple;
      }
      out += " [(" + tuple + "): " + std::to_string(count_[k]) + " equations, expected " +
             std::to_string(expected.count_[k]) + "]";
      ++shown;
    }
    return out;
  }

 private:
  void AddFrom(const std::array<std::vector<std::int32_t>, D>& sets, std::array<std::int32_t, D>& at, std::size_t a) {
    if (a == D) {
      ++(*this)[at];
      return;
    }
    for (std::int32_t k : sets[a]) {
      at[a] = k;
      AddFrom(sets, at, a + 1);
    }
  }

  std::array<std::int32_t, D> extent_{};
  std::vector<int> count_;
};

std::vector<std::int32_t> Span(std::int32_t lo, std::int32_t hi) {
  std::vector<std::int32_t> out;
  for (std::int32_t k = lo; k <= hi; ++k) out.push_back(k);
  return out;
}

// The nodes where a junction row stands on an axis: the first node of every section but the
// first (differences), or of every element but the one at node 0 (collocation).
std::vector<std::int32_t> JunctionNodes(const Grid1D& g) {
  std::vector<std::int32_t> out;
  for (std::size_t s = 0; s < g.sections.size(); ++s) {
    const Section& sec = g.sections[s];
    if (!IsCollocation(UpperCase(g.methodText))) {
      if (s > 0) out.push_back(sec.base);
      continue;
    }
    for (int e = 0; e < sec.elements; ++e) {
      const std::int32_t j = sec.base + e * (g.polyPoints + 1);
      if (j != 0) out.push_back(j);
    }
  }
  return out;
}

// Every check of the file on one grid. The methods of the grid must all be among the ten.
template <std::size_t D>
void ExpectConsistent(GridND<D>& g, const std::string& where) {
  using Dist = DistributionOf<D>;
  const auto d = Declare(g, kGroupBase);
  const auto e = Emit(g, kGroupBase);
  ASSERT_EQ(d.equations.size(), e.equations.size()) << where;
  const PlanSize size = MeasurePlan(Dist::EquationPlan(), g);
  EXPECT_EQ(size.equations, double(d.equations.size())) << where;
  EXPECT_EQ(size.terms, double(d.TermCount())) << where;

  std::vector<TupleCounts<D>> subjects(Dist::kArrays, TupleCounts<D>(g));
  std::vector<TupleCounts<D>> junctions(D, TupleCounts<D>(g));
  // (Checked without an assertion per term: there are many thousands of them.)
  int faults = 0;
  auto fault = [&](const EquationND<D>& q, const std::string& what) {
    if (faults++ < 5) ADD_FAILURE() << where << ": " << q.name << " at " << TermName(q.Terms().at(0)) << " " << what;
  };
  for (std::size_t k = 0; k < e.equations.size(); ++k) {
    const EquationND<D>& q = e.equations[k];
    const std::vector<GridTerm<D>> terms = q.Terms();
    if (terms.empty()) {
      fault(q, "has no terms");
      continue;
    }
    if (d.equations[k].row != q.row || d.equations[k].group != q.group || d.equations[k].Terms() != terms) {
      fault(q, "is declared as " + d.equations[k].name + " with other terms or group");
    }
    std::size_t at = 0;  // every emitted program is exactly one expression
    try {
      Evaluate(q.program, at, [](const GridTerm<D>&) { return 1.0; });
    } catch (const std::exception& x) {
      fault(q, x.what());
    }
    if (at != q.program.size()) fault(q, "holds more than one expression");

    const RowInfo& row = InfoOfRow<D>(q.row);
    if (q.group != kGroupBase + row.group) fault(q, "stands in group " + std::to_string(q.group - kGroupBase));
    const GridTerm<D>& subject = terms[0];
    if (subject.array != row.subject) fault(q, "is not about its row's array");
    // A row reads along its own axis only: every other coordinate is its subject's.
    for (const GridTerm<D>& t : terms) {
      bool along = t.IsElementLength() ? t.axis == row.axis : true;
      for (std::size_t a = 0; a < D && !t.IsElementLength(); ++a) {
        along = along && (static_cast<int>(a) == row.axis || t.at[a] == subject.at[a]);
      }
      if (!along) fault(q, "reads " + TermName(t) + " off its axis");
    }
    if (row.Junction()) {
      ++junctions[static_cast<std::size_t>(row.axis)][subject.at];
      continue;
    }
    ++subjects[subject.array][subject.at];
    // An integral's equation is its start exactly where one of its own coordinates is 0.
    if (IsIntegralArray<D>(subject.array)) {
      bool onFace = false;
      for (std::size_t a = 0; a < D; ++a) {
        onFace = onFace || (Dist::kParts[subject.array][a] == Along::Integral && subject.at[a] == 0);
      }
      if (row.start != onFace) {
        fault(q, row.start ? "starts an integral off its faces" : "is no start on an integral's face");
      }
    }
  }
  EXPECT_EQ(faults, 0) << where;

  std::array<std::vector<std::int32_t>, D> every;
  for (std::size_t a = 0; a < D; ++a) every[a] = Span(0, g.EndNode(static_cast<int>(a)));
  for (std::uint8_t array = 0; array < Dist::kArrays; ++array) {
    TupleCounts<D> expected(g);
    if (IsIntegralArray<D>(array)) {
      bool selected = false;
      for (const std::string& s : Dist::SelectorsOf(array)) selected = selected || g.integrals.count(s) != 0;
      if (selected) expected.AddProduct(every);
    }
    for (std::size_t a = 0; a < D; ++a) {
      const Grid1D& axis = g.axes[a];
      if (array == Dist::kFirst[a] && axis.orderUsed_ >= 1) expected.AddProduct(every);
      if (array == Dist::kSecond[a] && axis.orderUsed_ >= 2) {
        // At the inner nodes of the sections (of the elements, for collocation), for the
        // other axes' nodes 0, INTERIOR and ENDNODE.
        std::array<std::vector<std::int32_t>, D> sets;
        for (std::size_t b = 0; b < D; ++b) sets[b] = b == a ? axis.DomainInterior(2) : g.Boundary(static_cast<int>(b));
        expected.AddProduct(sets);
      }
    }
    EXPECT_TRUE(subjects[array] == expected)
        << where << ": " << Dist::kNames[array] << subjects[array].Describe(expected);
  }
  for (std::size_t a = 0; a < D; ++a) {
    // Junctions join sections (or elements, with the highest order 2), for the nodes
    // 1 .. ENDNODE-1 of an axis after theirs and the INTERIOR of an axis before it.
    const Grid1D& axis = g.axes[a];
    TupleCounts<D> expected(g);
    const bool joined = axis.orderUsed_ >= 2 && (!IsCollocation(UpperCase(axis.methodText)) || axis.highestOrder_ == 2);
    if (joined) {
      std::array<std::vector<std::int32_t>, D> sets;
      for (std::size_t b = 0; b < D; ++b) {
        if (b == a) {
          sets[b] = JunctionNodes(axis);
        } else if (b > a) {
          sets[b] = Span(1, g.EndNode(static_cast<int>(b)) - 1);
        } else {
          sets[b] = g.Interior(static_cast<int>(b));
        }
      }
      expected.AddProduct(sets);
    }
    EXPECT_TRUE(junctions[a] == expected)
        << where << ": junctions along " << kAxisNames[a] << junctions[a].Describe(expected);
  }
}

// One or two sections of a few elements each, long enough for every method's stencils.
AxisSetup AxisOf(const char* method, int sections, int used, int highest, bool small) {
  std::vector<int> elements = small && PointsOf(method) > 1 ? std::vector<int>{1} : std::vector<int>{2};
  if (sections == 2) elements.push_back(1);
  return AxisSetup{method, elements, used, highest};
}

std::string DescribeCase(const std::vector<AxisSetup>& axes, const std::set<std::string>& integrals) {
  std::string out;
  for (std::size_t a = 0; a < axes.size(); ++a) {
    out += std::string(1, kAxisNames[a]) + " " + axes[a].method + " sections " +
           std::to_string(axes[a].elements.size()) + " used " + std::to_string(axes[a].used) + " highest " +
           std::to_string(axes[a].highest) + "; ";
  }
  out += "integrals";
  for (const std::string& s : integrals) out += " " + s;
  return out;
}

// Every method pair, each with every pair of orders used under both highest orders; the integral
// selection and the section counts turn with the orders and the pair, so that every pair meets
// every selection and every section count.
TEST(DeclaredAndEmitted2D, AgreeAndCoverEveryNodeOverMethodPairsOrdersSelectionsAndSections) {
  const auto selections = DistributionOf<2>::Selections();
  for (int p = 0; p < kMethodCount * kMethodCount; ++p) {
    for (int k = 0; k < 9; ++k) {
      for (int highest : {1, 2}) {
        const std::set<std::string>& integrals = selections[static_cast<std::size_t>((k + p + 3 * highest) % 5)];
        const int sections = (k + 2 * p + highest) % 4;
        const std::array<AxisSetup, 2> axes = {
            AxisOf(kMethods[p / kMethodCount], 1 + sections % 2, k % 3, highest, false),
            AxisOf(kMethods[p % kMethodCount], 1 + sections / 2, k / 3, highest, false)};
        GridND<2> g = MakeGrid<2>(axes, integrals);
        ExpectConsistent(g, DescribeCase({axes.begin(), axes.end()}, integrals));
      }
    }
  }
}

// Every method on every axis (the same method on all three), and mixed triples; each with every
// triple of orders used, the integral selection, highest order and section counts turning with
// them, so that every triple meets every selection, both highest orders and every section count.
TEST(DeclaredAndEmitted3D, AgreeAndCoverEveryNodeOverMethodTriplesOrdersSelectionsAndSections) {
  const auto selections = DistributionOf<3>::Selections();
  std::vector<std::array<int, 3>> triples;
  for (int m = 0; m < kMethodCount; ++m) triples.push_back({m, m, m});
  for (int m = 0; m < kMethodCount; ++m) triples.push_back({m, (m + 3) % kMethodCount, (m + 7) % kMethodCount});
  for (int t = 0; t < static_cast<int>(triples.size()); ++t) {
    for (int k = 0; k < 27; ++k) {
      const std::array<int, 3> used = {k % 3, k / 3 % 3, k / 9};
      const std::set<std::string>& integrals = selections[static_cast<std::size_t>((k + 2 * t) % 9)];
      const int highest = 1 + (k + t) % 2;
      const int sections = (3 * k + t) % 8;
      const std::array<int, 3>& methods = triples[static_cast<std::size_t>(t)];
      std::array<AxisSetup, 3> axes;
      for (std::size_t a = 0; a < 3; ++a) {
        axes[a] = AxisOf(kMethods[methods[a]], 1 + (sections >> a) % 2, used[a], highest, true);
      }
      GridND<3> g = MakeGrid<3>(axes, integrals);
      ExpectConsistent(g, DescribeCase({axes.begin(), axes.end()}, integrals));
    }
  }
}

// The loops over another axis's INTERIOR and {0} ∪ INTERIOR ∪ {ENDNODE} walk the set the domain
// holds, whatever it holds: sets made by hand, empty, or holding 0 and ENDNODE themselves.
TEST(DeclaredAndEmitted2D3D, LoopsFollowAnInteriorSetByHand) {
  const std::vector<std::vector<std::int32_t>> sets = {{}, {2}, {1, 3, 4}, {0, 2, 6}};
  for (const std::vector<std::int32_t>& interior : sets) {
    for (std::size_t axis = 0; axis < 3; ++axis) {
      std::array<AxisSetup, 3> axes = {
          AxisOf("CFD2", 2, 2, 2, false), AxisOf("OCFE2", 2, 2, 2, false), AxisOf("BFD1", 2, 2, 2, false)};
      axes[axis].elements = {2, 1};  // six intervals on every method
      if (PointsOf(axes[axis].method) == 0) axes[axis].elements = {4, 2};
      axes[axis].interior = interior;
      GridND<3> g3 = MakeGrid<3>(axes, DistributionOf<3>::Selections().back());
      const std::string byHand = std::string(", INTERIOR by hand on ") + kAxisNames[axis];
      ExpectConsistent(g3, DescribeCase({axes.begin(), axes.end()}, g3.integrals) + byHand);
      if (axis == 2) continue;
      GridND<2> g2 = MakeGrid<2>({axes[0], axes[1]}, DistributionOf<2>::Selections().back());
      ExpectConsistent(g2, DescribeCase({axes[0], axes[1]}, g2.integrals) + byHand);
    }
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
