// The domain's grid for the cases worked out by hand: the default domain,
// single sections of "OCFE3", "CFD4" and "BFD2", the minimum node count
// boundary, two sections, a method name outside the ten, the conversions and
// the shared results of the set functions.
#include "domain_support.h"
#include "host/tq_executive_testing.h"

using namespace domaintest;

namespace {

class GridCases : public DomainTest {};

TEST_F(GridCases, DefaultDomainIsEightIntervalsOfBFD1) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  EXPECT_EQ(Run(d), 0);
  EXPECT_TRUE(Errors().empty());

  EXPECT_EQ((*d.LENGTH).v(), 1.0);
  EXPECT_EQ((*d.SPACINGPREFERENCE).v(), 0.125);
  EXPECT_EQ(d.MINNODECOUNT.v(), 2);
  EXPECT_EQ(d.NUMPOLYPOINTS.v(), 0);
  EXPECT_EQ(d.HIGHESTORDERDERIVATIVE.v(), 1);

  TQ_SECTIONDATAMODEL& s = S(d, 1);
  EXPECT_EQ(Location(d, 1), 0.0);
  EXPECT_EQ(SpacingPreference(d, 1), 0.125);
  EXPECT_EQ(s.LENGTH.v(), 1.0);
  EXPECT_EQ(s.NODECOUNT.v(), 8);
  EXPECT_EQ(NumbersFor(&s.NODECOUNT), std::vector<int>{31});
  EXPECT_EQ(s.BASE.v(), 0);
  EXPECT_EQ(SpacingUsed(d, 1), 0.125);
  EXPECT_EQ(s.NUMELEMENTS.v(), 8);
  EXPECT_EQ(s.ELEMENTLENGTH.v(), 0.125);
  EXPECT_EQ(Members(s.INTERIOR.v()), Span(1, 7));

  // The domain's INTERIOR is assigned twice: the union, then the range.
  EXPECT_EQ(Members(d.INTERIOR.v()), Span(1, 7));
  EXPECT_EQ(NumbersFor(&d.INTERIOR), (std::vector<int>{41, 42}));
  EXPECT_EQ(d.ENDNODE.v(), 8);
  for (int j = 0; j <= 8; ++j) EXPECT_EQ(Node(d, j), 0.125 * j) << "node " << j;

  // Sweep 1 sets the node set from the new ENDNODE; no polynomial points.
  std::vector<Handed> sweep1;
  for (const Handed& h : HandedValues())
    if (h.indexSet && h.sweep == 1) sweep1.push_back(h);
  ASSERT_EQ(sweep1.size(), 3u);
  EXPECT_EQ(Members(sweep1[0].value.Set()), Span(1, 1));
  EXPECT_EQ(Members(sweep1[1].value.Set()), Span(0, 8));
  EXPECT_EQ(sweep1[2].value.Set().SetSize(), 0);
  EXPECT_EQ(Members(d.TQ_VALUE_SET1.v()), Span(0, 8));
  EXPECT_EQ(d.TQ_POLYPOINT_SET1.v().SetSize(), 0);
}

TEST_F(GridCases, OCFE3PlacesTwoCollocationPointsInEachOfThreeElements) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "OCFE3", 1, 1);
  Run(d);
  EXPECT_EQ(d.NUMPOLYPOINTS.v(), 2);
  EXPECT_EQ(d.MINNODECOUNT.v(), 3);
  EXPECT_EQ(d.POLYPOINT(1).v(), 0.21132);
  EXPECT_EQ(d.POLYPOINT(2).v(), 0.78868);

  TQ_SECTIONDATAMODEL& s = S(d, 1);
  EXPECT_EQ(s.NODECOUNT.v(), 9);  // n = 8 rounded up to whole elements of 3
  EXPECT_EQ(SpacingUsed(d, 1), 1.0 / 9);
  EXPECT_EQ(s.NUMELEMENTS.v(), 3);
  const double el = (1.0 / 9) * 3.0;
  EXPECT_EQ(s.ELEMENTLENGTH.v(), el);
  EXPECT_EQ(NumbersFor(&s.ELEMENTLENGTH), std::vector<int>{37});
  EXPECT_EQ(d.ENDNODE.v(), 9);
  EXPECT_EQ(Node(d, 0), 0.0);
  for (int e = 1; e <= 3; ++e) {
    EXPECT_EQ(Node(d, 3 * e - 2), el * ((0.21132 + e) + (-1.0))) << "element " << e;
    EXPECT_EQ(Node(d, 3 * e - 1), el * ((0.78868 + e) + (-1.0))) << "element " << e;
    EXPECT_EQ(Node(d, 3 * e), el * e) << "element " << e;
  }
  EXPECT_EQ(Members(s.INTERIOR.v()), Span(1, 8));
  EXPECT_EQ(Members(d.INTERIOR.v()), Span(1, 8));
}

TEST_F(GridCases, OCFE3WithSecondDerivativesLeavesElementBoundariesOutOfInterior) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "OCFE3", 1, 2);
  Run(d);
  const std::set<int> inner{1, 2, 4, 5, 7, 8};
  EXPECT_EQ(Members(S(d, 1).INTERIOR.v()), inner);
  EXPECT_EQ(NumbersFor(&S(d, 1).INTERIOR), std::vector<int>{39});
  EXPECT_EQ(Members(d.INTERIOR.v()), inner);
  EXPECT_EQ(NumbersFor(&d.INTERIOR), std::vector<int>{41});
  EXPECT_FALSE(Ran(42));
}

TEST_F(GridCases, CFD4IsEvenlySpacedWithTwoElementsOfFour) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "CFD4", 1, 2);
  Run(d);
  TQ_SECTIONDATAMODEL& s = S(d, 1);
  EXPECT_EQ(d.NUMPOLYPOINTS.v(), 3);
  EXPECT_EQ(d.MINNODECOUNT.v(), 4);
  EXPECT_EQ(s.NODECOUNT.v(), 8);
  EXPECT_EQ(s.NUMELEMENTS.v(), 2);
  EXPECT_EQ(s.ELEMENTLENGTH.v(), 0.125);
  EXPECT_EQ(SpacingUsed(d, 1), 0.125);
  EXPECT_EQ(NumbersFor(&s.ELEMENTLENGTH), std::vector<int>{36});
  for (int j = 0; j <= 8; ++j) EXPECT_EQ(Node(d, j), 0.125 * j) << "node " << j;
  for (int j = 1; j <= 8; ++j)
    EXPECT_EQ(NumbersFor(&(*d.VALUE)(j)), std::vector<int>{j % 4 == 0 ? 46 : 45}) << "node " << j;
  EXPECT_EQ(Members(s.INTERIOR.v()), Span(1, 7));
  EXPECT_EQ(NumbersFor(&s.INTERIOR), std::vector<int>{38});
  EXPECT_EQ(Members(d.INTERIOR.v()), Span(1, 7));
}

TEST_F(GridCases, BFD2PutsAMidpointInEachElementOfTwo) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "BFD2", 1, 1);
  Run(d);
  TQ_SECTIONDATAMODEL& s = S(d, 1);
  EXPECT_EQ(d.NUMPOLYPOINTS.v(), 1);
  EXPECT_EQ(d.POLYPOINT(1).v(), 0.5);
  EXPECT_EQ(s.NODECOUNT.v(), 8);
  EXPECT_EQ(s.NUMELEMENTS.v(), 4);
  for (int e = 1; e <= 4; ++e) {
    EXPECT_EQ(Node(d, 2 * e - 1), 2 * (0.125 * ((0.5 + e) + (-1.0)))) << "element " << e;
    EXPECT_EQ(Node(d, 2 * e), 2 * (0.125 * e)) << "element " << e;
  }
}

TEST_F(GridCases, NodeCountAtTheMinimumIsRoundedAndBelowItTakesTheMinimum) {
  {
    // n = 3 equals the minimum of "OCFE3": rounded up to whole elements.
    TQ_DOMAIN& d = Make<TQ_DOMAIN>("AtMinimum");
    Configure(d, "OCFE3", 1, 1);
    Fix(*d.SPACINGPREFERENCE, 1.0 / 3);
    Run(d);
    EXPECT_EQ(S(d, 1).NODECOUNT.v(), 3);
    EXPECT_EQ(NumbersFor(&S(d, 1).NODECOUNT), std::vector<int>{31});
  }
  {
    // n = 1 under "BFD1": the minimum 2.
    TQ_DOMAIN& d = Make<TQ_DOMAIN>("BelowMinimum");
    Fix(*d.SPACINGPREFERENCE, 1.0);
    Run(d);
    EXPECT_EQ(S(d, 1).NODECOUNT.v(), 2);
    EXPECT_EQ(NumbersFor(&S(d, 1).NODECOUNT), std::vector<int>{30});
    EXPECT_EQ(Node(d, 1), 0.5);
    EXPECT_EQ(Node(d, 2), 1.0);
  }
  EXPECT_TRUE(Errors().empty());
}

TEST_F(GridCases, TwoSectionsAreDividedEquallyOnTheFirstCall) {
  for (int order : {1, 2}) {
    SCOPED_TRACE(order);
    TQ_DOMAIN& d = Make<TQ_DOMAIN>(order == 1 ? "First" : "Second");
    Configure(d, "BFD1", 2, order);
    for (int call = 1; call <= 2; ++call) {
      SCOPED_TRACE(call);
      TQ_ExecutiveTesting::ClearLog(TQ_Executive::Instance());
      Run(d);
      EXPECT_EQ(Location(d, 1), 0.0);
      EXPECT_EQ(Location(d, 2), 0.5);
      for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(S(d, i).LENGTH.v(), 0.5);
        EXPECT_EQ(SpacingPreference(d, i), 0.0625);
        EXPECT_EQ(S(d, i).NODECOUNT.v(), 8);
      }
      EXPECT_EQ(S(d, 2).BASE.v(), 8);
      EXPECT_EQ(NumbersFor(&S(d, 2).BASE), std::vector<int>{32});
      EXPECT_EQ(d.ENDNODE.v(), 16);
      EXPECT_EQ(Members(d.INTERIOR.v()), order == 1 ? Span(1, 15) : Join(Span(1, 7), Span(9, 15)));
      // The junction node is written once, as the last node of section 1.
      EXPECT_EQ(NumbersFor(&(*d.VALUE)(8)), std::vector<int>{48});
      EXPECT_EQ(Node(d, 8), 0.5);
      EXPECT_EQ(Node(d, 16), 1.0);
    }
  }
  EXPECT_TRUE(Errors().empty());
}

TEST_F(GridCases, SecondSectionLocationIsAssignedBeforeTheFirstTakesItsLength) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "BFD1", 2, 1);
  Run(d);
  const TQ_Containable* location2 = &*S(d, 2).LOCATION;
  const TQ_Containable* length1 = &S(d, 1).LENGTH;
  int locationAt = -1, lengthAt = -1, position = 0;
  for (const Handed& h : HandedValues()) {
    if (h.target == location2) locationAt = position;
    if (h.target == length1) lengthAt = position;
    ++position;
  }
  ASSERT_GE(locationAt, 0);
  EXPECT_LT(locationAt, lengthAt);
  EXPECT_EQ(NumbersFor(location2), std::vector<int>{26});
  EXPECT_EQ(NumbersFor(length1), std::vector<int>{29});
}

TEST_F(GridCases, FixedSectionLocationWinsOverTheEqualDivision) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "BFD1", 2, 1);
  Fix(*S(d, 2).LOCATION, 0.25);
  Run(d);
  EXPECT_EQ(Location(d, 2), 0.25);
  EXPECT_EQ(S(d, 1).LENGTH.v(), 0.25);
  EXPECT_EQ(S(d, 2).LENGTH.v(), 0.75);
  EXPECT_EQ(S(d, 1).NODECOUNT.v(), 4);
  EXPECT_EQ(S(d, 2).NODECOUNT.v(), 12);
  EXPECT_EQ(S(d, 2).BASE.v(), 4);
  EXPECT_EQ(d.ENDNODE.v(), 16);
  EXPECT_EQ(Node(d, 4), 0.25);
  EXPECT_EQ(Node(d, 16), 1.0);
  for (int k = 1; k <= 16; ++k) EXPECT_LT(Node(d, k - 1), Node(d, k)) << "node " << k;
}

TEST_F(GridCases, MethodOutsideTheTenAssignsNoMethodValuesAndIsNotHigherOrder) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  // The host refuses such a name; a parameter without the valid set
  // carries it in.
  TQ_DISCRETIZATIONMETHODPARAM unchecked(false);
  Fix(unchecked, "SPLINE7");
  d.DISCRETIZATIONMETHOD = unchecked;
  ASSERT_STREQ(d.DISCRETIZATIONMETHOD.v(), "SPLINE7");
  Fix(d.MINNODECOUNT, 2);
  Fix(d.NUMPOLYPOINTS, 1);
  Fix(d.POLYPOINT(1), 0.25);
  Run(d);
  for (int number = 6; number <= 23; ++number) EXPECT_FALSE(Ran(number)) << "statement " << number;
  EXPECT_EQ(d.POLYPOINT(1).v(), 0.25);
  // Not a higher-order difference method: the collocation form applies.
  TQ_SECTIONDATAMODEL& s = S(d, 1);
  EXPECT_EQ(s.NODECOUNT.v(), 8);
  EXPECT_EQ(NumbersFor(&s.ELEMENTLENGTH), std::vector<int>{37});
  EXPECT_EQ(s.ELEMENTLENGTH.v(), 0.25);
  EXPECT_EQ(Node(d, 1), 0.25 * ((0.25 + 1) + (-1.0)));
  EXPECT_EQ(NumbersFor(&(*d.VALUE)(1)), std::vector<int>{47});
  EXPECT_EQ(NumbersFor(&(*d.VALUE)(2)), std::vector<int>{48});
}

TEST_F(GridCases, MethodNamesAreComparedWithoutLetterCase) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "ocfe4", 1, 1);
  Run(d);
  EXPECT_EQ(d.MINNODECOUNT.v(), 4);
  EXPECT_EQ(d.NUMPOLYPOINTS.v(), 3);
  EXPECT_EQ(d.POLYPOINT(1).v(), 0.1127);
  EXPECT_EQ(d.POLYPOINT(3).v(), 0.8873);
}

TEST(GridConversions, RoundHalvesAwayFromZeroAndTruncateTowardZero) {
  EXPECT_EQ(RoundToInt(2.5), 3);
  EXPECT_EQ(RoundToInt(-2.5), -3);
  EXPECT_EQ(RoundToInt(0.49), 0);
  EXPECT_EQ(RoundToInt(-0.49), 0);
  EXPECT_EQ(RoundToInt(7.9999999), 8);
  EXPECT_EQ(TruncToInt(-1.7), -1);
  EXPECT_EQ(TruncToInt(1.99), 1);
  EXPECT_EQ(TruncToInt(-0.0), 0);
}

TEST(GridConversions, NotANumberGivesZeroAndOutOfRangeSaturates) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(TruncToInt(nan), 0);
  EXPECT_EQ(RoundToInt(nan), 0);
  EXPECT_EQ(TruncToInt(inf), INT32_MAX);
  EXPECT_EQ(TruncToInt(-inf), INT32_MIN);
  EXPECT_EQ(RoundToInt(inf), INT32_MAX);
  EXPECT_EQ(RoundToInt(-inf), INT32_MIN);
  EXPECT_EQ(TruncToInt(3e9), INT32_MAX);
  EXPECT_EQ(TruncToInt(-3e9), INT32_MIN);
  // The ends of the range themselves.
  EXPECT_EQ(TruncToInt(2147483647.9), INT32_MAX);
  EXPECT_EQ(TruncToInt(2147483648.0), INT32_MAX);
  EXPECT_EQ(TruncToInt(-2147483648.9), INT32_MIN);
  EXPECT_EQ(TruncToInt(-2147483647.9), -2147483647);
  EXPECT_EQ(RoundToInt(2147483647.4), INT32_MAX);
  EXPECT_EQ(RoundToInt(2147483647.5), INT32_MAX);
  EXPECT_EQ(RoundToInt(-2147483648.5), INT32_MIN);
}

class SetFunctions : public DomainTest {};

TEST_F(SetFunctions, SumsOfNodeCountsRunOverTheSectionsBeforeAndOverAll) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "BFD1", 3, 1);
  Fix(S(d, 2).NODECOUNT, 5);
  Run(d);
  TQ_IntegerSetIter i(TQ_IntSetValue(1, 3));
  std::vector<double> before;
  while (i.Next()) before.push_back(d.Sigma25416536(i));
  EXPECT_EQ(before, (std::vector<double>{0.0, 8.0, 13.0}));
  EXPECT_EQ(d.Sigma115370720(), 21.0);
  EXPECT_EQ(d.Sigma115374720(), 21.0);
  EXPECT_EQ(d.ENDNODE.v(), 21);
  EXPECT_EQ(S(d, 3).BASE.v(), 13);
}

TEST_F(SetFunctions, ElementPointUnionIsOneSharedSetRebuiltByEveryCall) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "OCFE2", 2, 2);
  Run(d);
  TQ_IntegerSetIter i(TQ_IntSetValue(1, 2));
  ASSERT_TRUE(i.Next());
  TQ_SetValue& first = d.UnionFn115365376(i);
  EXPECT_EQ(Members(first), (std::set<int>{1, 3, 5, 7}));
  ASSERT_TRUE(i.Next());
  TQ_SetValue& second = d.UnionFn115365376(i);
  EXPECT_EQ(&first, &second);
  EXPECT_EQ(Members(first), (std::set<int>{9, 11, 13, 15}));

  // A section without elements gives the empty set.
  Fix(S(d, 2).NUMELEMENTS, 0);
  EXPECT_EQ(d.UnionFn115365376(i).SetSize(), 0);
}

TEST_F(SetFunctions, InteriorUnionIsSharedBetweenDomains) {
  TQ_DOMAIN& a = Make<TQ_DOMAIN>("A");
  Configure(a, "BFD1", 2, 2);
  TQ_DOMAIN& b = Make<TQ_DOMAIN>("B");
  Configure(b, "BFD1", 1, 2);
  Run(a);
  Run(b);
  TQ_SetValue& fromA = a.UnionFn115369808();
  EXPECT_EQ(Members(fromA), Join(Span(1, 7), Span(9, 15)));
  TQ_SetValue& fromB = b.UnionFn115369808();
  EXPECT_EQ(&fromA, &fromB);
  EXPECT_EQ(Members(fromA), Span(1, 7));
  // The domains' own INTERIOR keep their values.
  EXPECT_EQ(Members(a.INTERIOR.v()), Join(Span(1, 7), Span(9, 15)));
}

}  // namespace
