// The domain's check of its grid against its method (HoldsMethodGrid, ReportMethodGrid), on the
// domain alone: the domain's own grid holds at every offset and scale, a node moved by more than
// the rounding of what it is computed from does not, and the values the messages set side by side
// read back as the doubles they name.
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "domain/tq_methods.h"
#include "domain_support.h"

using namespace domaintest;

namespace {

// A domain's sections by their bounds (the first section's start, each next one's, the domain's
// end) and the node intervals asked of each (through its SPACINGPREFERENCE).
struct Layout {
  const char* name;
  std::vector<double> bounds;
  std::vector<int> intervals;
};

class MethodGridCheck : public DomainTest {
 protected:
  // A fresh domain of the method with the layout's sections, before its assignments: their
  // LOCATION and SPACINGPREFERENCE fixed, and the domain's LENGTH and NUMSECTIONS.
  TQ_DOMAIN& Laid(const char* method, const Layout& layout) {
    Fresh();
    TQ_DOMAIN& d = Make<TQ_DOMAIN>();
    const int sections = static_cast<int>(layout.intervals.size());
    Configure(d, method, sections, 1);
    Fix(*d.LENGTH, layout.bounds.back() - layout.bounds.front());
    for (int i = 1; i <= sections; ++i) {
      const double start = layout.bounds[static_cast<std::size_t>(i - 1)];
      const double end = layout.bounds[static_cast<std::size_t>(i)];
      Fix(*S(d, i).LOCATION, start);
      Fix(*S(d, i).SPACINGPREFERENCE, (end - start) / layout.intervals[static_cast<std::size_t>(i - 1)]);
    }
    return d;
  }
  // The coordinates of nodes 0 .. ENDNODE.
  static std::vector<double> Coordinates(TQ_DOMAIN& d) {
    std::vector<double> nodes;
    for (int k = 0; k <= d.ENDNODE.v(); ++k) nodes.push_back(Node(d, k));
    return nodes;
  }
  // Nodes 3.75e-8 apart a million from 0, in sections of 1.5e-6: fifteen digits tell apart
  // neither every node nor a node from a value typed beside it.
  static void FarAndFine(TQ_DOMAIN& d, int sections) {
    Fix(*S(d, 1).LOCATION, 1e6);
    Fix(*d.LENGTH, 1.5e-6 * sections);
    Fix(*d.SPACINGPREFERENCE, 3.75e-8);
  }
};

// The number a message writes after `lead`, as text: up to the next space, comma, semicolon or
// closing parenthesis. Empty when the lead is not in the message.
std::string NumberAfter(const std::string& message, const std::string& lead) {
  const std::size_t at = message.find(lead);
  if (at == std::string::npos) return "";
  const std::size_t from = at + lead.size();
  return message.substr(from, message.find_first_of(" ,;)", from) - from);
}

// What a message names: its text after `lead` is the double `value`.
struct Named {
  std::string lead;
  double value;
};

struct MessageCase {
  const char* what;
  const char* method;
  int sections;
  // Where the domain lies (FarAndFine or nothing).
  std::function<void(TQ_DOMAIN&)> place;
  // The case's fixes, given the coordinates of the domain placed without them.
  std::function<void(TQ_DOMAIN&, const std::vector<double>&)> fix;
  // Whether the message is the method grid's (ReportMethodGrid), not the assignments' own.
  bool methodGrid;
  // The values the message names, read from the domain after its assignments.
  std::function<std::vector<Named>(TQ_DOMAIN&)> named;
};

// ---- the method's own grid at every offset and scale -------------------------------------------

// One section `length` long from `far`, and sections of `coarse` intervals from `far` to 0 beside
// one or two of 40 intervals, each `length` long, on the side of 0 away from `far`: coarse then
// fine, and fine then coarse.
std::vector<Layout> Layouts(double far, double length, int coarse) {
  const double away = far < 0.0 ? length : -length;
  return {
      {"one section", {far, far + length}, {coarse}},
      {"coarse then fine", {far, 0.0, away}, {coarse, 40}},
      {"coarse then fine twice", {far, 0.0, away, 2.0 * away}, {coarse, 40, 40}},
      {"fine then coarse", {away, 0.0, far}, {40, coarse}},
      {"fine twice then coarse", {2.0 * away, away, 0.0, far}, {40, 40, coarse}},
  };
}

TEST_F(MethodGridCheck, TheDomainsOwnGridHoldsAtEveryOffsetAndScale) {
  // Only the sections' starts, the domain's LENGTH, NUMSECTIONS, the method and the spacings are
  // fixed, which a user may fix: every node lies where the method puts it, up to the rounding of
  // the sums that reach it. (Among them the grid of a section a million below 0 of 7 intervals and
  // one of 1e-4 above it of 40, whose junction the sums put at 2^-33, an ulp of a million.)
  const double offsets[] = {1e2, 1e4, 1e6, 1e8, 1e10, 1e12};
  const double lengths[] = {1e-6, 1e-4, 1e-2, 1.0, 1e3, 1e6, 1e9};
  int grids = 0;
  for (const TQ_MethodFacts& method : kDiscretizationMethods) {
    for (const double offset : offsets) {
      for (const double far : {-offset, offset}) {
        for (const double length : lengths) {
          // Doubles at `far` hold nodes `length` / 40 apart only so far.
          if (length < 1e-11 * offset) continue;
          for (const int coarse : {3, 7, 13}) {
            for (const Layout& layout : Layouts(far, length, coarse)) {
              SCOPED_TRACE(std::string(method.name) + ", " + layout.name + " from " +
                           MessageReal(layout.bounds[0]).text + " over " + MessageReal(length).text + ", " +
                           std::to_string(coarse) + " coarse intervals");
              TQ_DOMAIN& d = Laid(method.name, layout);
              Run(d);
              ASSERT_TRUE(Errors().empty()) << ::testing::PrintToString(Errors());
              EXPECT_TRUE(d.HoldsMethodGrid());
              EXPECT_FALSE(d.ReportMethodGrid()) << ::testing::PrintToString(Errors());
              ++grids;
            }
          }
        }
      }
    }
  }
  // Every layout at every offset with every length down to 1e-11 of it.
  EXPECT_EQ(grids, 10 * 3 * 5 * 2 * (7 + 7 + 6 + 5 + 4 + 3));
}

// ---- a node moved -----------------------------------------------------------------------------

struct MovedCase {
  Layout layout;  // of BFD1
  int node;
  int section;   // whose element measures the node's tolerance
  double terms;  // the largest magnitude the node is computed from
};

TEST_F(MethodGridCheck, ANodeMovedByMoreThanItsRoundingIsRefusedNearAndFarFrom0) {
  // The tolerance: kGridTolerance of the section's element, plus kGridUlps ulps of the largest
  // of the terms the node is computed from. A node moved by a quarter of it holds; by four times
  // it, either way, it does not. The junction at 0 of sections from a million below takes the
  // ulps of a million; the nodes computed from 0 take those of their own small terms.
  const MovedCase cases[] = {
      {{"the junction at 0 of a section from a million below", {-1e6, 0.0, 1e-4}, {7, 40}}, 7, 2, 1e6},
      {{"a node of the fine section beyond it, computed from 0", {-1e6, 0.0, 1e-4}, {7, 40}}, 10, 2, 1e-4},
      {{"the domain's last node, at its end near 0", {-1e6, 0.0, 1e-4}, {7, 40}}, 47, 2, 1e-4},
      {{"a node of a fine section a million from 0", {1e6, 1e6 + 1e-4}, {40}}, 10, 1, 1e6 + 1e-4},
      {{"a node of a section at 0", {0.0, 1.0}, {8}}, 3, 1, 1.0},
  };
  for (const MovedCase& c : cases) {
    SCOPED_TRACE(c.layout.name);
    const auto build = [this, &c](const double* moved) -> TQ_DOMAIN& {
      TQ_DOMAIN& d = Laid("BFD1", c.layout);
      if (moved != nullptr) Fix((*d.VALUE)(c.node), *moved);
      Run(d);
      return d;
    };
    TQ_DOMAIN& unmoved = build(nullptr);
    ASSERT_TRUE(unmoved.HoldsMethodGrid()) << ::testing::PrintToString(Errors());
    const double x = Node(unmoved, c.node);
    const double end = c.section < static_cast<int>(c.layout.intervals.size())
                           ? Location(unmoved, c.section + 1)
                           : (*unmoved.LENGTH).v() + Location(unmoved, 1);
    const double element = (end - Location(unmoved, c.section)) / S(unmoved, c.section).NODECOUNT.v();
    const double tolerance = kGridTolerance * std::fabs(element) + kGridUlps * DBL_EPSILON * c.terms;
    for (const double by : {tolerance / 4, -tolerance / 4}) {
      const double moved = x + by;
      TQ_DOMAIN& d = build(&moved);
      EXPECT_TRUE(d.HoldsMethodGrid()) << "moved by " << by;
      EXPECT_TRUE(Errors().empty()) << ::testing::PrintToString(Errors());
    }
    for (const double by : {4 * tolerance, -4 * tolerance}) {
      const double moved = x + by;
      TQ_DOMAIN& d = build(&moved);
      EXPECT_TRUE(Errors().empty()) << ::testing::PrintToString(Errors());
      EXPECT_FALSE(d.HoldsMethodGrid()) << "moved by " << by;
      EXPECT_TRUE(d.ReportMethodGrid());
      ASSERT_EQ(Errors().size(), 1u);
      // The node at fault is the one moved.
      const std::string named = "domain D: node " + std::to_string(c.node);
      EXPECT_EQ(Errors().front().rfind(named, 0), 0u) << Errors().front();
      EXPECT_NE(std::string(" ,").find(Errors().front()[named.size()]), std::string::npos) << Errors().front();
    }
  }
}

// ---- the messages -----------------------------------------------------------------------------

TEST_F(MethodGridCheck, TheValuesAMessageSetsSideBySideReadBackAsTheDoublesItNames) {
  const MessageCase cases[] = {
      {"a node typed to 15 digits beside where the method puts it",
       "FFD1",
       1,
       [](TQ_DOMAIN& d) { FarAndFine(d, 1); },
       [](TQ_DOMAIN& d, const std::vector<double>&) { Fix((*d.VALUE)(18), 1000000.00000067); },
       true,
       [](TQ_DOMAIN& d) {
         // FFD1 puts node 18 at 18 elements from the section's start.
         const double length = S(d, 1).ELEMENTLENGTH.v();
         return std::vector<Named>{{"node 18 lies at ", 1000000.00000067},
                                   {"puts it at ", length * 18.0 + Location(d, 1)},
                                   {"LOCATION ", 1e6},
                                   {"ELEMENTLENGTH ", length}};
       }},
      {"a section's end, moved by its LENGTH, beside the next section's start",
       "BFD1",
       2,
       [](TQ_DOMAIN& d) { FarAndFine(d, 2); },
       [](TQ_DOMAIN& d, const std::vector<double>&) { Fix(S(d, 1).LENGTH, 1.49e-6); },
       true,
       [](TQ_DOMAIN& d) {
         return std::vector<Named>{{"starts, lies at ", Node(d, 40)},
                                   {"starts at its LOCATION ", Location(d, 2)},
                                   {"LENGTH is fixed at ", 1.49e-6}};
       }},
      {"the last node, moved by an ELEMENTLENGTH, beside the domain's end",
       "BFD1",
       1,
       [](TQ_DOMAIN& d) { FarAndFine(d, 1); },
       [](TQ_DOMAIN& d, const std::vector<double>&) { Fix(S(d, 1).ELEMENTLENGTH, 3.7e-8); },
       true,
       [](TQ_DOMAIN& d) {
         return std::vector<Named>{{"the last of section 1, lies at ", Node(d, 40)},
                                   {"the domain ends at ", (*d.LENGTH).v() + Location(d, 1)},
                                   {"its LENGTH ", 1.5e-6},
                                   {"section 1's LOCATION ", 1e6},
                                   {"ELEMENTLENGTH is fixed at ", 3.7e-8}};
       }},
      {"a point beside the method's",
       "OCFE2",
       1,
       [](TQ_DOMAIN&) {},
       [](TQ_DOMAIN& d, const std::vector<double>&) { Fix(d.POLYPOINT(1), 0.1 + 0.2); },
       true,
       [](TQ_DOMAIN&) {
         return std::vector<Named>{{"POLYPOINT(1) is fixed at ", 0.1 + 0.2}, {"OCFE2 has ", 0.5}};
       }},
      {"a node one double back from the node before it",
       "BFD1",
       1,
       [](TQ_DOMAIN& d) { FarAndFine(d, 1); },
       [](TQ_DOMAIN& d, const std::vector<double>& unfixed) { Fix((*d.VALUE)(5), std::nextafter(unfixed[4], 0.0)); },
       false,
       [](TQ_DOMAIN& d) {
         return std::vector<Named>{{"lies at ", std::nextafter(Node(d, 4), 0.0)}, {"back from ", Node(d, 4)}};
       }},
  };
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    TQ_DOMAIN& unfixed = Make<TQ_DOMAIN>();
    Configure(unfixed, c.method, c.sections, 1);
    c.place(unfixed);
    Run(unfixed);
    const std::vector<double> before = Coordinates(unfixed);

    Fresh();
    TQ_DOMAIN& d = Make<TQ_DOMAIN>();
    Configure(d, c.method, c.sections, 1);
    c.place(d);
    c.fix(d, before);
    Run(d);
    if (c.methodGrid) {
      EXPECT_TRUE(Errors().empty()) << ::testing::PrintToString(Errors());
      EXPECT_FALSE(d.HoldsMethodGrid());
      EXPECT_TRUE(d.ReportMethodGrid());
    }
    ASSERT_EQ(Errors().size(), 1u) << ::testing::PrintToString(Errors());
    const std::string& message = Errors().front();
    std::vector<std::string> texts;
    for (const Named& named : c.named(d)) {
      const std::string text = NumberAfter(message, named.lead);
      EXPECT_EQ(std::strtod(text.c_str(), nullptr), named.value) << named.lead << "in " << message;
      texts.push_back(text);
    }
    // The first two are the values compared: different doubles, different texts.
    EXPECT_NE(texts[0], texts[1]) << message;
  }
}

TEST_F(MethodGridCheck, TheMethodsValueCopiedFromTheMessageIsTheMethods) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "FFD1", 1, 1);
  FarAndFine(d, 1);
  Fix((*d.VALUE)(18), 1000000.00000067);
  Run(d);
  ASSERT_TRUE(d.ReportMethodGrid());
  ASSERT_EQ(Errors().size(), 1u);
  const std::string method = NumberAfter(Errors().front(), "puts it at ");
  // The user takes the method's coordinate from the message: the grid is the method's.
  Fresh();
  TQ_DOMAIN& copied = Make<TQ_DOMAIN>();
  Configure(copied, "FFD1", 1, 1);
  FarAndFine(copied, 1);
  Fix((*copied.VALUE)(18), std::strtod(method.c_str(), nullptr));
  Run(copied);
  EXPECT_TRUE(copied.HoldsMethodGrid());
  EXPECT_FALSE(copied.ReportMethodGrid());
  EXPECT_TRUE(Errors().empty()) << ::testing::PrintToString(Errors());
}

}  // namespace
