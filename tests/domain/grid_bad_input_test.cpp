// Input from which the domain cannot build the grid the method asks for: a
// section count below 1, zero or non-finite spacings, fixed minimum node
// counts and point counts that do not tile a section, node numbers beyond the
// 32-bit range, a fixed ENDNODE the sections do not end at. Each gets a
// reported error, or a mend where the grid it gives is sound, and a grid in
// which every node from 0 to ENDNODE has its coordinate.
#include <algorithm>
#include <functional>

#include "domain_support.h"

using namespace domaintest;

namespace {

class GridBadInput : public DomainTest {
 protected:
  // The nodes 0 .. ENDNODE all have a coordinate, the elements tile every
  // section and the sections follow each other.
  static void ExpectTiledGrid(TQ_DOMAIN& d) {
    int total = 0;
    const int spread = d.NUMPOLYPOINTS.v() + 1;
    for (int i = 1; i <= d.NUMSECTIONS.v(); ++i) {
      TQ_SECTIONDATAMODEL& s = S(d, i);
      EXPECT_EQ(s.BASE.v(), total) << "section " << i;
      EXPECT_GE(s.NODECOUNT.v(), spread) << "section " << i;
      EXPECT_EQ(s.NUMELEMENTS.v() * spread, s.NODECOUNT.v()) << "section " << i;
      total += s.NODECOUNT.v();
    }
    EXPECT_EQ(d.ENDNODE.v(), total);
    for (int k = 0; k <= total; ++k) EXPECT_TRUE(NodeAssigned(d, k)) << "node " << k;
  }
};

TEST_F(GridBadInput, SectionCountBelowOneBuildsNoSection) {
  for (int sections : {0, -3}) {
    SCOPED_TRACE(sections);
    Fresh();
    TQ_DOMAIN& d = Make<TQ_DOMAIN>();
    // The host's lower bound refuses such a value when the user fixes it; a
    // value stored past the bound reaches the domain all the same.
    d.NUMSECTIONS.SetNumericValue(sections);
    ASSERT_EQ(d.NUMSECTIONS.v(), sections);
    EXPECT_EQ(Run(d), 0);
    EXPECT_TRUE(ErrorMentions("NUMSECTIONS is below 1"));
    EXPECT_EQ((*d.SECTION).ElementCount(), 0);
    EXPECT_FALSE(Ran(5));
    EXPECT_FALSE(Ran(25));
    EXPECT_FALSE(Ran(44));
    EXPECT_EQ(d.ENDNODE.v(), 0);
    EXPECT_EQ(d.INTERIOR.v().SetSize(), 0);
    EXPECT_EQ(d.TQ_SECTION_SET1.v().SetSize(), 0);
    EXPECT_EQ(Members(d.TQ_VALUE_SET1.v()), Span(0, 0));
    // The method's values do not depend on the sections.
    EXPECT_EQ(d.MINNODECOUNT.v(), 2);
    EXPECT_EQ((*d.LENGTH).v(), 1.0);
  }
}

TEST_F(GridBadInput, ZeroSpacingGivesEachSectionTheMinimum) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "BFD2", 2, 1);
  Fix(*d.SPACINGPREFERENCE, 0.0);
  Run(d);
  EXPECT_TRUE(ErrorMentions("section 1: LENGTH / SPACINGPREFERENCE"));
  EXPECT_TRUE(ErrorMentions("section 2: LENGTH / SPACINGPREFERENCE"));
  for (int i = 1; i <= 2; ++i) {
    EXPECT_EQ(S(d, i).NODECOUNT.v(), 2) << "section " << i;
    EXPECT_EQ(NumbersFor(&S(d, i).NODECOUNT), std::vector<int>{30});
  }
  ExpectTiledGrid(d);
  for (int k = 1; k <= 4; ++k) EXPECT_DOUBLE_EQ(Node(d, k), 0.25 * k);
}

TEST_F(GridBadInput, NonFiniteSectionSpacingGivesTheMinimum) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double spacing : {nan, inf, -inf}) {
    SCOPED_TRACE(spacing);
    Fresh();
    TQ_DOMAIN& d = Make<TQ_DOMAIN>();
    Configure(d, "OCFE3", 1, 2);
    // The host refuses a non-finite value from the user; one stored past
    // that check stays fixed.
    TQ_REALPARAMETER& preference = *S(d, 1).SPACINGPREFERENCE;
    Fix(preference, 1.0);
    preference.SetNumericValue(spacing);
    Run(d);
    EXPECT_TRUE(ErrorMentions("section 1: LENGTH / SPACINGPREFERENCE"));
    EXPECT_EQ(S(d, 1).NODECOUNT.v(), 3);
    ExpectTiledGrid(d);
    EXPECT_EQ(Members(d.INTERIOR.v()), (std::set<int>{1, 2}));
    for (int k = 1; k <= 3; ++k) EXPECT_LT(Node(d, k - 1), Node(d, k));
  }
}

TEST_F(GridBadInput, SpacingTooFineForThirtyTwoBitNodeCountsGivesTheMinimum) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Fix(*d.SPACINGPREFERENCE, 1e-12);
  Run(d);
  EXPECT_TRUE(ErrorMentions("section 1: LENGTH / SPACINGPREFERENCE"));
  EXPECT_EQ(S(d, 1).NODECOUNT.v(), 2);
  ExpectTiledGrid(d);
}

TEST_F(GridBadInput, FixedMinimumThatDoesNotTileIsRoundedUpToWholeElements) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "BFD2", 1, 2);
  Fix(d.MINNODECOUNT, 5);
  Fix(*d.SPACINGPREFERENCE, 0.5);  // n = 2, below the minimum
  Run(d);
  TQ_SECTIONDATAMODEL& s = S(d, 1);
  EXPECT_EQ(s.NODECOUNT.v(), 6);
  EXPECT_EQ(NumbersFor(&s.NODECOUNT), std::vector<int>{30});
  EXPECT_EQ(s.NUMELEMENTS.v(), 3);
  ExpectTiledGrid(d);
  for (int k = 1; k <= 6; ++k) EXPECT_DOUBLE_EQ(Node(d, k), k / 6.0);
  EXPECT_EQ(Members(d.INTERIOR.v()), Span(1, 5));
}

TEST_F(GridBadInput, FixedPointCountThatDoesNotTileIsRoundedUpToWholeElements) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  // "BFD1" keeps NUMPOLYPOINTS: two points per element at the fixed
  // fractions, while the method's minimum stays 2.
  Fix(d.NUMPOLYPOINTS, 2);
  Fix(d.POLYPOINT(1), 0.25);
  Fix(d.POLYPOINT(2), 0.75);
  Fix(*d.SPACINGPREFERENCE, 1.0);  // n = 1, below the minimum
  Run(d);
  TQ_SECTIONDATAMODEL& s = S(d, 1);
  EXPECT_EQ(s.NODECOUNT.v(), 3);
  EXPECT_EQ(s.NUMELEMENTS.v(), 1);
  ExpectTiledGrid(d);
  EXPECT_DOUBLE_EQ(Node(d, 1), 0.25);
  EXPECT_DOUBLE_EQ(Node(d, 2), 0.75);
  EXPECT_DOUBLE_EQ(Node(d, 3), 1.0);
}

TEST_F(GridBadInput, MinimumOfZeroStillGivesEverySectionOneElement) {
  for (int minimum : {0, -4}) {
    SCOPED_TRACE(minimum);
    Fresh();
    TQ_DOMAIN& d = Make<TQ_DOMAIN>();
    Configure(d, "OCFE2", 1, 1);
    Fix(d.MINNODECOUNT, minimum);
    Fix(*d.SPACINGPREFERENCE, 10.0);  // n = 0
    Run(d);
    EXPECT_EQ(S(d, 1).NODECOUNT.v(), 2);
    EXPECT_EQ(NumbersFor(&S(d, 1).NODECOUNT), std::vector<int>{31});
    ExpectTiledGrid(d);
    EXPECT_DOUBLE_EQ(Node(d, 1), 0.5);
  }
}

TEST_F(GridBadInput, FixedEndNodeTheSectionsDoNotEndAtIsReportedOnce) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "BFD1", 2, 1);
  Fix(d.ENDNODE, 2147483646);
  Run(d);
  ASSERT_EQ(Errors().size(), 1u) << ::testing::PrintToString(Errors());
  EXPECT_TRUE(ErrorMentions("domain D: ENDNODE is fixed at 2147483646, but the sections end at node 16"));
  // The sections' grid is whole.
  for (int k = 0; k <= 16; ++k) EXPECT_DOUBLE_EQ(Node(d, k), k / 16.0) << "node " << k;
}

TEST_F(GridBadInput, NegativePointCountIsTakenAsZero) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  d.NUMPOLYPOINTS.SetNumericValue(-2);
  Run(d);
  EXPECT_TRUE(ErrorMentions("NUMPOLYPOINTS is negative"));
  EXPECT_EQ(d.TQ_POLYPOINT_SET1.v().SetSize(), 0);
  EXPECT_EQ(S(d, 1).NODECOUNT.v(), 8);
  EXPECT_EQ(S(d, 1).NUMELEMENTS.v(), 8);
  EXPECT_EQ(S(d, 1).ELEMENTLENGTH.v(), 0.125);
  for (int k = 0; k <= 8; ++k) EXPECT_EQ(Node(d, k), 0.125 * k);
}

TEST_F(GridBadInput, NodeNumbersBeyondThirtyTwoBitsAreCutToWholeElements) {
  // Section 1 holds a fixed count near the end of the range and no
  // elements, so that no node is made; section 2 asks for more than fits.
  // The node set 0 .. ENDNODE must still count its members in 32 bits.
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "BFD1", 2, 1);
  Fix(S(d, 1).NODECOUNT, 2000000000);
  Fix(S(d, 1).NUMELEMENTS, 0);
  Fix(S(d, 2).NUMELEMENTS, 0);
  Fix(d.MINNODECOUNT, 200000000);
  Run(d);
  EXPECT_TRUE(ErrorMentions("section 2: the node numbers would pass 2147483646"));
  EXPECT_EQ(S(d, 2).BASE.v(), 2000000000);
  EXPECT_EQ(S(d, 2).NODECOUNT.v(), 147483646);
  EXPECT_EQ(d.ENDNODE.v(), INT32_MAX - 1);
  EXPECT_EQ(d.TQ_VALUE_SET1.v().SetSize(), INT32_MAX);
  const TQ_SetValue& interior = S(d, 2).INTERIOR.v();
  ASSERT_EQ(interior.SetSize(), 147483645);
  EXPECT_EQ(interior.IntegerAt(0), 2000000001);
  EXPECT_EQ(interior.IntegerAt(147483644), INT32_MAX - 2);
}

TEST_F(GridBadInput, FixedElementCountPastTheNodeRangeStopsAtItsEnd) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Fix(S(d, 1).BASE, INT32_MAX - 5);
  Fix(S(d, 1).NUMELEMENTS, 100);
  Run(d);
  EXPECT_TRUE(ErrorMentions("section 1: node numbers pass 2147483646"));
  for (int k = INT32_MAX - 4; k <= INT32_MAX - 1; ++k) EXPECT_TRUE(NodeAssigned(d, k)) << k;
  EXPECT_FALSE(NodeAssigned(d, INT32_MAX));
  EXPECT_EQ((*d.VALUE).ElementCount(), 5);  // node 0 and the four up to the last node number
}

}  // namespace
