// The two- and three-dimensional distributions on the whole road: domains and a distribution made
// by the factories, linked, and run through the host's model cycle for every pair of methods over
// two axes and every method on every axis of three. What the host recorded must agree with
// itself and with the grid: declared and emitted equations alike, the model's counters those the
// host counted, every equation in the group of its method and axis, reading its own section
// along its axis, and every derivative and integral the distribution holds defined by an
// equation.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "real_domains.h"

namespace morvane::eqn::testing {
namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

int MethodIndex(const std::string& method) {
  for (int m = 0; m < kMethodCount; ++m)
    if (SameIgnoringCase(method, kMethods[m])) return m;
  return -1;
}

// The members of the product of an array's declared sets.
std::vector<std::array<int, 3>> DeclaredKeys(const TQ_Matrix& array) {
  std::vector<std::array<int, 3>> keys{{0, 0, 0}};
  for (int d = 0; d < array.Dimensions(); ++d) {
    std::vector<std::array<int, 3>> next;
    const TQ_Set* set = array.DeclaredSet(d);
    if (set == nullptr) return {};
    for (const std::array<int, 3>& key : keys) {
      for (int p = 0; p < set->v().SetSize(); ++p) {
        std::array<int, 3> longer = key;
        longer[static_cast<std::size_t>(d)] = set->v().IntegerAt(p);
        next.push_back(longer);
      }
    }
    keys = std::move(next);
  }
  return keys;
}

// Checks a road whose cycle ran with every derivative order at 2 and every integral selected.
// `everyRow`: the sections are such that every equation of the matched blocks occurs.
void ExpectRoadHolds(const AxesRoad& road, const std::string& where, bool everyRow) {
  const Numbering& numbering = road.RowNumbering();
  const int axes = road.axes;
  std::string difference;
  EXPECT_TRUE(road.host.DeclaredMatchesEmitted(&difference)) << where << ": " << difference;
  EXPECT_EQ(ElementsOutsideTheirSets(road.host), std::vector<std::string>{}) << where;

  const std::vector<ArrayInfo> arrays = road.Arrays();
  const std::vector<RoadEquation> equations = road.Equations();
  ASSERT_FALSE(equations.empty()) << where;
  // The counters are what the host counted for the distribution, the only model with equations.
  std::size_t terms = 0;
  for (const RoadEquation& e : equations) terms += e.terms.size();
  for (const TQ_ModelSummary& summary : road.host.Summaries()) {
    if (summary.model != road.distribution) continue;
    EXPECT_EQ(summary.declaredCount, static_cast<int>(equations.size())) << where;
    EXPECT_EQ(summary.emittedCount, static_cast<int>(equations.size())) << where;
  }
  EXPECT_EQ(road.LocalEqnCount(), static_cast<int>(equations.size())) << where;
  EXPECT_EQ(road.LocalNonZeroCount(), static_cast<int>(terms)) << where;
  EXPECT_EQ(road.host.PatternEntriesWritten(), static_cast<int>(terms)) << where;

  std::map<std::pair<int, std::array<int, 3>>, int> subjects;  // (array, nodes): equations about it
  std::set<int> rows;
  for (const RoadEquation& e : equations) {
    const std::string at = where + ", " + e.name;
    ASSERT_FALSE(e.terms.empty()) << at;
    const TermInfo& subject = e.terms.front();
    ASSERT_GE(subject.array, 0) << at;
    const ArrayInfo& array = arrays[static_cast<std::size_t>(subject.array)];
    ++subjects[{subject.array, subject.at}];
    rows.insert(e.row);
    if (e.row >= 1 && e.row <= numbering.starts) {
      // An integral start: the integral alone, on a face where one of its axes is at node 0,
      // in the group of its integral.
      EXPECT_EQ(e.terms.size(), 1u) << at;
      EXPECT_EQ(array.kind, ArrayInfo::Integral) << at;
      EXPECT_EQ(e.groupOffset, array.rank) << at;
      bool onAFace = false;
      for (int a = 0; a < axes; ++a) onAFace |= (array.axes & (1u << a)) != 0 && subject.at[a] == 0;
      EXPECT_TRUE(onAFace) << at;
      continue;
    }
    const int block = numbering.BlockOf(e.row);
    ASSERT_GE(block, 0) << at;
    const int axis = block % axes;
    EXPECT_EQ(e.groupOffset, numbering.firstBlockGroup + block) << at;
    EXPECT_EQ(MethodIndex(road.domains[axis]->DISCRETIZATIONMETHOD.v()), block / axes) << at;
    EXPECT_NE(array.kind, ArrayInfo::Value) << at;
    EXPECT_EQ(array.AlongAxis(), axis) << at;
    // The element length is its own section's; every node it reads lies in that section
    // along the equation's axis and is the subject's along the others.
    int section = 0;
    for (const TermInfo& t : e.terms) {
      if (t.array >= 0) continue;
      EXPECT_EQ(t.axis, axis) << at;
      EXPECT_TRUE(section == 0 || section == t.section) << at;
      section = t.section;
    }
    ASSERT_GT(section, 0) << at << " has no element length";
    TQ_SECTIONDATAMODEL& s = (*road.domains[axis]->SECTION)(section);
    for (const TermInfo& t : e.terms) {
      if (t.array < 0) continue;
      for (int a = 0; a < axes; ++a) {
        if (a != axis) {
          EXPECT_EQ(t.at[a], subject.at[a]) << at;
        } else {
          EXPECT_GE(t.at[a], s.BASE.v()) << at << " reads before its section";
          EXPECT_LE(t.at[a], s.BASE.v() + s.NODECOUNT.v()) << at << " reads past its section";
        }
      }
    }
  }

  // Every derivative and integral element is the subject of an equation; only a first
  // derivative at a junction along its axis (a node neither an end nor interior) of two.
  for (std::size_t k = 0; k < arrays.size(); ++k) {
    const ArrayInfo& array = arrays[k];
    if (array.kind == ArrayInfo::Value) continue;
    for (const std::array<int, 3>& key : DeclaredKeys(*array.array)) {
      const auto found = subjects.find({static_cast<int>(k), key});
      EXPECT_NE(found, subjects.end()) << where << ": no equation for " << array.name << "(" << key[0] << "," << key[1]
                                       << "," << key[2] << ")";
    }
  }
  for (const auto& [subject, count] : subjects) {
    if (count == 1) continue;
    const ArrayInfo& array = arrays[static_cast<std::size_t>(subject.first)];
    const int axis = array.AlongAxis();
    const int node = subject.second[static_cast<std::size_t>(axis)];
    int position = 0;
    const bool junction = array.kind == ArrayInfo::First && node != 0 && node != road.domains[axis]->ENDNODE.v() &&
                          road.domains[axis]->INTERIOR.v().SetContains(node, position) == 0;
    EXPECT_TRUE(count == 2 && junction) << where << ": " << count << " equations for " << array.name << "("
                                        << subject.second[0] << "," << subject.second[1] << "," << subject.second[2]
                                        << ")";
  }

  // Every equation of the blocks the domains' methods select, and every integral start.
  if (everyRow) {
    std::set<int> expected;
    for (int row = 1; row <= numbering.starts; ++row) expected.insert(row);
    for (int a = 0; a < axes; ++a) {
      const auto [first, end] = numbering.RowsOf(MethodIndex(road.domains[a]->DISCRETIZATIONMETHOD.v()) * axes + a);
      for (int row = first; row < end; ++row) expected.insert(row);
    }
    EXPECT_EQ(rows, expected) << where;
  }
}

const std::vector<std::string> kIntegrals2D = {"idx", "idy", "idxdy"};
const std::vector<std::string> kIntegrals3D = {"idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"};

TEST(Distribution2DRoad, EveryMethodPairOverOneAndTwoSections) {
  for (const char* x : kMethods) {
    for (const char* y : kMethods) {
      for (int sections : {1, 2}) {
        AxesRoad road({{SmallAxis(x, sections), SmallAxis(y, sections)}, kIntegrals2D});
        const std::string where = std::string(x) + " x " + y + ", " + std::to_string(sections) + " SectionAt(s)";
        ASSERT_TRUE(road.Cycle()) << where << ": " << road.Errors();
        EXPECT_TRUE(road.host.Errors().empty()) << where << ": " << road.Errors();
        ExpectRoadHolds(road, where, sections == 2);
      }
    }
  }
}

TEST(Distribution3DRoad, EveryMethodOnEveryAxisAndMixedTriples) {
  struct Triple {
    std::array<const char*, 3> methods;
    std::array<int, 3> sections;
  };
  std::vector<Triple> triples;
  // Each method once on each axis, over two sections.
  for (int m = 0; m < kMethodCount; ++m)
    triples.push_back({{kMethods[m], kMethods[(m + 3) % kMethodCount], kMethods[(m + 7) % kMethodCount]}, {2, 2, 2}});
  // Methods as a user may write them, and axes of one section beside axes of two.
  triples.push_back({{"cfd4", "Ocfe3", "bfd1"}, {1, 2, 1}});
  triples.push_back({{"OCFE4", "UBFD4", "FFD2"}, {2, 1, 2}});
  triples.push_back({{"OCFE2", "OCFE2", "OCFE2"}, {1, 1, 1}});
  for (const Triple& t : triples) {
    AxesSetup setup{{}, kIntegrals3D};
    std::string where;
    for (int a = 0; a < 3; ++a) {
      setup.axes.push_back(SmallAxis(t.methods[a], t.sections[a]));
      where += std::string(a == 0 ? "" : " x ") + t.methods[a] + "/" + std::to_string(t.sections[a]);
    }
    AxesRoad road(setup);
    ASSERT_TRUE(road.Cycle()) << where << ": " << road.Errors();
    EXPECT_TRUE(road.host.Errors().empty()) << where << ": " << road.Errors();
    ExpectRoadHolds(road, where, t.sections == std::array<int, 3>{2, 2, 2});
  }
}

}  // namespace
}  // namespace morvane::eqn::testing
