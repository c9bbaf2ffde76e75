// What every grid must satisfy, for each of the ten methods, one to three
// sections and highest derivative order 1 and 2, after one call on a fresh
// domain: the node counts tile the domain, the elements tile each section,
// the coordinates run strictly upward from the first section's start to its
// end and sit where the method puts them, and INTERIOR holds the nodes it
// should.
#include <tuple>

#include "domain_support.h"

using namespace domaintest;

namespace {

using GridCase = std::tuple<std::string, int, int>;  // method, sections, order

class GridInvariants : public DomainTest, public ::testing::WithParamInterface<GridCase> {};

constexpr double kTolerance = 1e-12;

TEST_P(GridInvariants, Hold) {
  const auto& [method, sections, order] = GetParam();
  const MethodFacts& facts = Method(method);
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, method, sections, order);
  Run(d);
  EXPECT_TRUE(Errors().empty()) << Errors().front();

  const int points = facts.points;
  const int spread = points + 1;
  EXPECT_EQ(d.NUMPOLYPOINTS.v(), points);
  EXPECT_EQ(d.MINNODECOUNT.v(), facts.minNodes);
  for (int p = 1; p <= points; ++p) EXPECT_EQ(d.POLYPOINT(p).v(), facts.fractions[p - 1]);

  // Node counts, first nodes and elements.
  int total = 0;
  for (int i = 1; i <= sections; ++i) {
    SCOPED_TRACE("section " + std::to_string(i));
    TQ_SECTIONDATAMODEL& s = S(d, i);
    EXPECT_EQ(s.BASE.v(), total);
    EXPECT_GE(s.NODECOUNT.v(), facts.minNodes);
    EXPECT_EQ(s.NODECOUNT.v() % spread, 0);
    EXPECT_EQ(s.NUMELEMENTS.v() * spread, s.NODECOUNT.v());
    EXPECT_DOUBLE_EQ(Location(d, i), static_cast<double>(i - 1) / sections);
    EXPECT_NEAR(s.LENGTH.v(), 1.0 / sections, kTolerance);
    EXPECT_NEAR(SpacingUsed(d, i) * s.NODECOUNT.v(), s.LENGTH.v(), kTolerance);
    EXPECT_NEAR(s.ELEMENTLENGTH.v(), facts.collocation ? SpacingUsed(d, i) * spread : SpacingUsed(d, i), kTolerance);
    total += s.NODECOUNT.v();
  }
  EXPECT_EQ(d.ENDNODE.v(), total);
  EXPECT_EQ(Members(d.TQ_VALUE_SET1.v()), Span(0, total));
  EXPECT_EQ(Members(d.TQ_SECTION_SET1.v()), Span(1, sections));
  EXPECT_EQ(Members(d.TQ_POLYPOINT_SET1.v()), Span(1, points));

  // Every node has its coordinate, written once, strictly increasing from
  // the first section's start to the domain's end.
  for (int k = 0; k <= total; ++k) {
    ASSERT_TRUE(NodeAssigned(d, k)) << "node " << k;
    EXPECT_EQ(NumbersFor(&(*d.VALUE)(k)).size(), 1u) << "node " << k;
    if (k > 0) {
      EXPECT_LT(Node(d, k - 1), Node(d, k)) << "node " << k;
    }
  }
  EXPECT_EQ(Node(d, 0), Location(d, 1));
  EXPECT_NEAR(Node(d, total), (*d.LENGTH).v() + Location(d, 1), kTolerance);

  // Where the nodes sit: evenly spaced for the difference methods, at the
  // fractions of each element for the collocation methods.
  for (int i = 1; i <= sections; ++i) {
    TQ_SECTIONDATAMODEL& s = S(d, i);
    const int base = s.BASE.v();
    const double start = Location(d, i);
    if (!facts.collocation) {
      for (int j = 0; j <= s.NODECOUNT.v(); ++j)
        EXPECT_NEAR(Node(d, base + j), start + j * SpacingUsed(d, i), kTolerance) << "section " << i << " node " << j;
      continue;
    }
    const double element = SpacingUsed(d, i) * spread;
    for (int e = 1; e <= s.NUMELEMENTS.v(); ++e) {
      const int first = base + (e - 1) * spread;
      for (int p = 1; p <= points; ++p)
        EXPECT_NEAR(Node(d, first + p), start + element * (e - 1 + facts.fractions[p - 1]), kTolerance)
            << "section " << i << " element " << e << " point " << p;
      EXPECT_NEAR(Node(d, first + spread), start + element * e, kTolerance) << "section " << i << " element " << e;
    }
  }

  // INTERIOR: below order 2 every node but the ends; from 2 on the union of
  // the sections' interiors, which are the points inside the elements for
  // the collocation methods and all but the section's ends otherwise.
  std::set<int> all;
  for (int i = 1; i <= sections; ++i) {
    TQ_SECTIONDATAMODEL& s = S(d, i);
    const int base = s.BASE.v();
    std::set<int> expected;
    if (order >= 2 && facts.collocation) {
      for (int e = 1; e <= s.NUMELEMENTS.v(); ++e)
        expected = Join(expected, Span(base + (e - 1) * spread + 1, base + (e - 1) * spread + points));
    } else {
      expected = Span(base + 1, base + s.NODECOUNT.v() - 1);
    }
    EXPECT_EQ(Members(s.INTERIOR.v()), expected) << "section " << i;
    all = Join(all, expected);
  }
  EXPECT_EQ(Members(d.INTERIOR.v()), order < 2 ? Span(1, total - 1) : all);
  if (order >= 2) {
    for (int i = 2; i <= sections; ++i) EXPECT_EQ(Members(d.INTERIOR.v()).count(S(d, i).BASE.v()), 0u);
  }
}

std::vector<GridCase> AllCases() {
  std::vector<GridCase> cases;
  for (const MethodFacts& m : Methods())
    for (int sections = 1; sections <= 3; ++sections)
      for (int order = 1; order <= 2; ++order) cases.emplace_back(m.name, sections, order);
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryMethod,
                         GridInvariants,
                         ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<GridCase>& info) {
                           return std::get<0>(info.param) + "_" + std::to_string(std::get<1>(info.param)) +
                                  "sections_order" + std::to_string(std::get<2>(info.param));
                         });

}  // namespace
