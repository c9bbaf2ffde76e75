// The grid check: a grid whose nodes are not finite, in order and apart is an error naming the
// domain, the section and the node, given once per section at most, and the grid is still
// handed over whole. Input the domain takes as it comes gives a sound grid without a word.
#include <functional>

#include "domain_support.h"

using namespace domaintest;

namespace {

class GridCheck : public DomainTest {
 protected:
  // A fresh domain of the method and sections, with the case's fixes, after its assignments.
  TQ_DOMAIN& Assigned(const char* method, int sections, const std::function<void(TQ_DOMAIN&)>& fix) {
    Fresh();
    TQ_DOMAIN& d = Make<TQ_DOMAIN>();
    Configure(d, method, sections, 1);
    fix(d);
    Run(d);
    return d;
  }

  // The node coordinates 0 .. ENDNODE are finite, apart and run one way.
  static void ExpectSoundGrid(TQ_DOMAIN& d) {
    const int end = d.ENDNODE.v();
    ASSERT_GE(end, 1);
    const double direction = Node(d, 1) > Node(d, 0) ? 1.0 : -1.0;
    for (int k = 0; k <= end; ++k) {
      ASSERT_TRUE(NodeAssigned(d, k)) << "node " << k;
      EXPECT_TRUE(std::isfinite(Node(d, k))) << "node " << k;
      if (k > 0) {
        EXPECT_GT(direction * (Node(d, k) - Node(d, k - 1)), 0.0) << "node " << k;
      }
    }
  }
};

struct FaultCase {
  const char* what;
  const char* method;
  int sections;
  std::function<void(TQ_DOMAIN&)> fix;
  // Every message the domain gives, each once: the grid's faults one per section at most, and
  // any other report the input brings.
  std::vector<std::string> messages;
};

TEST_F(GridCheck, GridsThatAreNotFiniteInOrderAndApartAreOneErrorPerSection) {
  const FaultCase cases[] = {
      {"a coordinate that overflows double, in any precision the arithmetic is carried in",
       "OCFE3",
       2,
       [](TQ_DOMAIN& d) { Fix(S(d, 2).ELEMENTLENGTH, 1e308); },
       {"domain D, section 2: node 15 (the end of element 2) has no finite coordinate: inf"}},
      {"a section of zero length",
       "BFD1",
       2,
       [](TQ_DOMAIN& d) { Fix(S(d, 1).LENGTH, 0.0); },
       {"domain D, section 1: node 1 (the end of element 1) lies at 0, where the node before it lies; the nodes "
        "must be apart"}},
      {"a second section that starts where the first does",
       "BFD1",
       2,
       [](TQ_DOMAIN& d) { Fix(*S(d, 2).LOCATION, 0.0); },
       {"domain D, section 1: node 1 (the end of element 1) lies at 0, where the node before it lies"}},
      {"a second section that starts a denormal after the first",
       "BFD1",
       2,
       [](TQ_DOMAIN& d) { Fix(*S(d, 2).LOCATION, 5e-324); },
       {"domain D, section 1: node 1 (the end of element 1) lies at 0, where the node before it lies"}},
      {"a domain of zero length",
       "BFD1",
       2,
       [](TQ_DOMAIN& d) { Fix(*d.LENGTH, 0.0); },
       {"domain D, section 1: LENGTH / SPACINGPREFERENCE is not a finite number of node intervals",
        "domain D, section 2: LENGTH / SPACINGPREFERENCE is not a finite number of node intervals",
        "domain D, section 1: node 1 (the end of element 1) lies at 0, where the node before it lies",
        "domain D, section 2: node 3 (the end of element 1) lies at 0, where the node before it lies"}},
      {"more points than the method places (their fractions read 0)",
       "OCFE2",
       2,
       [](TQ_DOMAIN& d) { Fix(d.NUMPOLYPOINTS, 20); },
       {"domain D, section 1: node 2 (point 2 of element 1) lies at 0, back from 0.25 where the node before it "
        "lies; the coordinates must run one way",
        "domain D, section 2: node 23 (point 2 of element 1) lies at 0.5, back from 0.75"}},
      {"a point at its element's end",
       "OCFE3",
       1,
       [](TQ_DOMAIN& d) {
         Fix(*d.SPACINGPREFERENCE, 1.0);  // one element of length 1
         Fix(d.POLYPOINT(2), 1.0);
       },
       {"domain D, section 1: node 3 (the end of element 1) lies at 1, where the node before it lies"}},
      {"a point before its element",
       "CFD4",
       1,
       [](TQ_DOMAIN& d) { Fix(d.POLYPOINT(1), -0.25); },
       {"domain D, section 1: node 2 (point 2 of element 1) lies at 0.25, back from -0.125"}},
      {"points out of order",
       "OCFE3",
       1,
       [](TQ_DOMAIN& d) {
         Fix(*d.SPACINGPREFERENCE, 1.0);
         Fix(d.POLYPOINT(1), 0.75);
         Fix(d.POLYPOINT(2), 0.25);
       },
       {"domain D, section 1: node 2 (point 2 of element 1) lies at 0.25, back from 0.75"}},
      {"sections that run opposite ways",
       "BFD1",
       2,
       [](TQ_DOMAIN& d) { Fix(S(d, 1).LENGTH, -1.0); },
       {"domain D, section 1: LENGTH / SPACINGPREFERENCE is -16, a negative number of node intervals; the section "
        "takes MINNODECOUNT",
        "domain D, section 2: node 3 (the end of element 1) lies at 0.5625, back from -1"}},
      {"a node fixed out of order",
       "BFD1",
       1,
       [](TQ_DOMAIN& d) { Fix((*d.VALUE)(3), 0.9); },
       {"domain D, section 1: node 4 (the end of element 4) lies at 0.5, back from 0.9"}},
      {"a fixed node count of no whole number of elements",
       "OCFE3",
       1,
       [](TQ_DOMAIN& d) { Fix(S(d, 1).NODECOUNT, 10); },
       {"domain D, section 1: its elements end at node 9, which leaves nodes 10 to 10 without a coordinate"}},
      {"fewer fixed elements than the node count holds",
       "BFD1",
       2,
       [](TQ_DOMAIN& d) { Fix(S(d, 1).NUMELEMENTS, 2); },
       {"domain D, section 1: its elements end at node 2, which leaves nodes 3 to 8 without a coordinate"}},
      {"a section without a node interval",
       "BFD1",
       2,
       [](TQ_DOMAIN& d) { Fix(S(d, 1).NODECOUNT, 0); },
       {"domain D, section 1: its NODECOUNT is 0; a section's length holds one node interval at least"}},
      {"a section of a negative node count",
       "BFD1",
       2,
       [](TQ_DOMAIN& d) { Fix(S(d, 1).NODECOUNT, -4); },
       {"domain D, section 1: its NODECOUNT is -4"}},
      {"a first node fixed apart from where the section before ends",
       "BFD1",
       2,
       [](TQ_DOMAIN& d) { Fix(S(d, 2).BASE, 3); },
       {"domain D, section 2: its first node is 3, but the nodes before end at node 8; nodes are left without a "
        "coordinate or placed twice"}},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    TQ_DOMAIN& d = Assigned(c.method, c.sections, c.fix);
    EXPECT_EQ(Errors().size(), c.messages.size()) << ::testing::PrintToString(Errors());
    for (const std::string& message : c.messages)
      EXPECT_TRUE(ErrorMentions(message)) << message << ::testing::PrintToString(Errors());
    // The grid is still handed over: its sections, node count and node set.
    int total = 0;
    for (int i = 1; i <= c.sections; ++i) total += S(d, i).NODECOUNT.v();
    EXPECT_EQ(d.ENDNODE.v(), total);
    EXPECT_EQ(Members(d.TQ_VALUE_SET1.v()), Span(0, total));
  }
}

TEST_F(GridCheck, ANegativeNumberOfIntervalsIsAnErrorAndTheSectionTakesTheMinimum) {
  // A spacing against the direction of the section's length, the domain's or the section's own:
  // as a zero spacing, an error, and the section takes MINNODECOUNT (#30); the other sections
  // keep theirs.
  const struct {
    const char* what;
    const char* method;
    int sections;
    std::function<void(TQ_DOMAIN&)> fix;
    int section;
    const char* message;
  } cases[] = {
      {"the domain's spacing",
       "BFD1",
       1,
       [](TQ_DOMAIN& d) { Fix(*d.SPACINGPREFERENCE, -0.125); },
       1,
       "domain D, section 1: LENGTH / SPACINGPREFERENCE is -8, a negative number of node intervals; the section takes "
       "MINNODECOUNT"},
      {"a section's spacing",
       "CFD4",
       2,
       [](TQ_DOMAIN& d) { Fix(*S(d, 2).SPACINGPREFERENCE, -0.1); },
       2,
       "domain D, section 2: LENGTH / SPACINGPREFERENCE is -5, a negative number of node intervals; the section takes "
       "MINNODECOUNT"},
      {"a quotient that rounds to no interval",
       "OCFE3",
       1,
       [](TQ_DOMAIN& d) { Fix(*d.SPACINGPREFERENCE, -4.0); },
       1,
       "domain D, section 1: LENGTH / SPACINGPREFERENCE is -0.25, a negative number of node intervals; the section "
       "takes MINNODECOUNT"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TQ_DOMAIN& d = Assigned(c.method, c.sections, c.fix);
    EXPECT_EQ(Errors(), std::vector<std::string>{c.message});
    EXPECT_EQ(S(d, c.section).NODECOUNT.v(), d.MINNODECOUNT.v());
    EXPECT_EQ(NumbersFor(&S(d, c.section).NODECOUNT), std::vector<int>{30});
    for (int i = 1; i <= c.sections; ++i) {
      if (i == c.section) continue;
      EXPECT_EQ(NumbersFor(&S(d, i).NODECOUNT), std::vector<int>{31}) << "section " << i;
    }
  }
}

TEST_F(GridCheck, ManyPointsAtZeroAreOneErrorForTheSection) {
  // A hundred thousand points read 0: one message for the section, not one per point.
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "OCFE2", 1, 1);
  Fix(d.NUMPOLYPOINTS, 100000);
  Run(d);
  ASSERT_EQ(Errors().size(), 1u) << ::testing::PrintToString(Errors());
  EXPECT_TRUE(ErrorMentions("domain D, section 1: node 2 (point 2 of element 1) lies at 0, back from 0.5"));
  EXPECT_EQ(S(d, 1).NODECOUNT.v(), 100001);
  EXPECT_TRUE(NodeAssigned(d, 100001));
}

TEST_F(GridCheck, NonFiniteDomainLengthIsAnErrorOfEverySection) {
  // The host refuses a length that is not a number from the user; one stored past that check
  // gives sections whose nodes the host cannot take.
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "CFD4", 2, 1);
  TQ_REALPARAMETER& length = *d.LENGTH;
  Fix(length, 1.0);
  length.SetNumericValue(std::numeric_limits<double>::quiet_NaN());
  Run(d);
  EXPECT_TRUE(ErrorMentions("domain D, section 1: node 1 (point 1 of element 1)"));
  EXPECT_TRUE(ErrorMentions("domain D, section 2: node 5 (point 1 of element 1)"));
  for (int i = 1; i <= 2; ++i) EXPECT_EQ(S(d, i).NODECOUNT.v(), 4) << "section " << i;
  EXPECT_EQ(d.ENDNODE.v(), 8);
  // Nothing that is not a number was taken by the host.
  for (int k = 0; k <= d.ENDNODE.v(); ++k) EXPECT_TRUE(std::isfinite(Node(d, k))) << "node " << k;
}

struct SoundCase {
  const char* what;
  const char* method;
  int sections;
  std::function<void(TQ_DOMAIN&)> fix;
  // What follows from the input beyond a sound grid.
  std::function<void(TQ_DOMAIN&)> expect;
};

TEST_F(GridCheck, InputTakenAsItComesGivesASoundGridWithoutAWord) {
  const SoundCase cases[] = {
      {"a negative length",
       "OCFE3",
       2,
       [](TQ_DOMAIN& d) { Fix(*d.LENGTH, -2.0); },
       [](TQ_DOMAIN& d) {
         // The coordinate runs from 0 toward -2, the element lengths with the sign.
         EXPECT_DOUBLE_EQ(Node(d, d.ENDNODE.v()), -2.0);
         EXPECT_DOUBLE_EQ(Location(d, 2), -1.0);
         for (int i = 1; i <= 2; ++i) {
           EXPECT_EQ(S(d, i).NODECOUNT.v(), 9) << "section " << i;
           EXPECT_DOUBLE_EQ(S(d, i).ELEMENTLENGTH.v(), -1.0 / 3.0) << "section " << i;
         }
         EXPECT_DOUBLE_EQ(Node(d, 1), -0.21132 / 3.0);
       }},
      {"an order of 3",
       "OCFE3",
       1,
       [](TQ_DOMAIN& d) { Fix(d.HIGHESTORDERDERIVATIVE, 3); },
       [](TQ_DOMAIN& d) {
         // As order 2: the points inside the elements.
         EXPECT_EQ(Members(d.INTERIOR.v()), (std::set<int>{1, 2, 4, 5, 7, 8}));
         EXPECT_EQ(NumbersFor(&S(d, 1).INTERIOR), std::vector<int>{39});
         EXPECT_EQ(d.HIGHESTORDERDERIVATIVE.v(), 3);
       }},
      {"an order of -1",
       "OCFE3",
       1,
       [](TQ_DOMAIN& d) { Fix(d.HIGHESTORDERDERIVATIVE, -1); },
       [](TQ_DOMAIN& d) {
         // As order 0 or 1: every node but the ends.
         EXPECT_EQ(Members(d.INTERIOR.v()), Span(1, 8));
         EXPECT_EQ(NumbersFor(&d.INTERIOR), (std::vector<int>{41, 42}));
       }},
      {"points near their element's ends",
       "OCFE4",
       2,
       [](TQ_DOMAIN& d) {
         Fix(d.POLYPOINT(1), 0.001);
         Fix(d.POLYPOINT(3), 0.999);
       },
       [](TQ_DOMAIN& d) { EXPECT_NEAR(Node(d, 1), 0.001 * S(d, 1).ELEMENTLENGTH.v(), 1e-15); }},
      {"the largest finite length on one section",
       "BFD1",
       1,
       [](TQ_DOMAIN& d) { Fix(*d.LENGTH, 1.7976931348623157e308); },
       [](TQ_DOMAIN& d) { EXPECT_EQ(Node(d, 8), 1.7976931348623157e308); }},
  };
  for (const SoundCase& c : cases) {
    SCOPED_TRACE(c.what);
    TQ_DOMAIN& d = Assigned(c.method, c.sections, c.fix);
    EXPECT_TRUE(Errors().empty()) << ::testing::PrintToString(Errors());
    ExpectSoundGrid(d);
    c.expect(d);
  }
}

}  // namespace
