// The domain within the host's size budget: whatever it makes in proportion to an input (its
// sections, its nodes, the POLYPOINT elements its elements read, the runs of its INTERIOR sets)
// is admitted before it is made. A domain that would not fit is refused with its size and the
// limit, and what it then makes stays within the budget: the host heap's live bytes, and sets
// of a few runs.
#include <functional>

#include "domain_support.h"

using namespace domaintest;

namespace {

constexpr std::int64_t kBudget = 8 * 1024 * 1024;

class GridBudget : public DomainTest {
 protected:
  void SetUp() override {
    DomainTest::SetUp();
    TQ_SizeBudget::SetLimit(kBudget);
  }
  void TearDown() override {
    TQ_SizeBudget::SetLimit(0);
    DomainTest::TearDown();
  }
};

struct BudgetCase {
  const char* what;
  const char* method;
  int sections;
  int order;
  std::function<void(TQ_DOMAIN&)> fix;
  // The texts the messages hold, in this order; none when the domain fits.
  std::vector<std::string> messages;
};

TEST_F(GridBudget, WhatWouldNotFitIsRefusedBeforeItIsMade) {
  const BudgetCase cases[] = {
      {"a small domain", "CFD4", 2, 2, [](TQ_DOMAIN&) {}, {}},
      {"sections past the 32-bit count",
       "BFD1",
       1,
       1,
       [](TQ_DOMAIN& d) { Fix(d.NUMSECTIONS, INT32_MAX); },
       {"domain D: NUMSECTIONS 2147483647: 2147483647 elements would take about", "size budget"}},
      {"sections that fit in 32 bits",
       "BFD1",
       10000,
       1,
       [](TQ_DOMAIN&) {},
       {"domain D: NUMSECTIONS 10000: 10000 elements would take about", "size budget"}},
      {"nodes from the spacing",
       "BFD1",
       1,
       1,
       [](TQ_DOMAIN& d) { Fix(*d.SPACINGPREFERENCE, 1e-8); },
       {"domain D, section 1: the nodes of the sections up to it: 100000001 elements would take about",
        "size budget",
        "domain D, section 1: the section keeps one element"}},
      {"collocation nodes and their interior runs from the spacing",
       "OCFE3",
       1,
       2,
       [](TQ_DOMAIN& d) { Fix(*d.SPACINGPREFERENCE, 1e-7); },
       {"domain D, section 1: the nodes of the sections up to it: 10000003 elements would take about",
        "size budget",
        "domain D, section 1: the section keeps one element"}},
      {"nodes from the minimum node count",
       "BFD1",
       1,
       1,
       [](TQ_DOMAIN& d) { Fix(d.MINNODECOUNT, 2147483000); },
       {"domain D, section 1: the nodes of the sections up to it: 2147483001 elements would take about",
        "size budget",
        "the section keeps one element"}},
      {"a node count fixed by hand, with one interior run per element",
       "OCFE3",
       1,
       2,
       [](TQ_DOMAIN& d) { Fix(S(d, 1).NODECOUNT, 30000000); },
       {"domain D, section 1: the nodes of its NODECOUNT 30000000: 30000000 elements would take about",
        "size budget",
        "domain D, section 1: the section keeps one element"}},
      {"a node count fixed by hand near the 32-bit end",
       "OCFE3",
       1,
       2,
       [](TQ_DOMAIN& d) { Fix(S(d, 1).NODECOUNT, 2000000000); },
       {"domain D, section 1: the nodes of its NODECOUNT 2000000000: 1999999998 elements would take about",
        "size budget",
        "domain D, section 1: the section keeps one element"}},
      {"elements fixed beyond the node count",
       "BFD1",
       1,
       1,
       [](TQ_DOMAIN& d) { Fix(S(d, 1).NUMELEMENTS, INT32_MAX); },
       {"domain D, section 1: NUMELEMENTS is more than the section's NODECOUNT holds"}},
      {"a million points",
       "OCFE2",
       1,
       2,
       [](TQ_DOMAIN& d) { Fix(d.NUMPOLYPOINTS, 1000000); },
       {"domain D, section 1: the nodes of the sections up to it and the POLYPOINT elements of NUMPOLYPOINTS "
        "1000000: 2000001 elements would take about",
        "size budget",
        "domain D, section 1: the section keeps no element"}},
      {"a hundred million points",
       "OCFE2",
       1,
       1,
       [](TQ_DOMAIN& d) { Fix(d.NUMPOLYPOINTS, 100000000); },
       {"domain D, section 1: the nodes of the sections up to it and the POLYPOINT elements of NUMPOLYPOINTS "
        "100000000: 200000001 elements would take about",
        "size budget",
        "the section keeps no element"}},
      {"sections of one element each that do not fit together",
       "OCFE2",
       64,
       1,
       [](TQ_DOMAIN& d) { Fix(d.NUMPOLYPOINTS, 2000); },
       {": the nodes of the sections up to it: ", "size budget", ": the section keeps no element"}},
  };
  for (const BudgetCase& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    TQ_DOMAIN& d = Make<TQ_DOMAIN>();
    Configure(d, c.method, c.sections, c.order);
    c.fix(d);
    Run(d);
    std::string all;
    for (const std::string& message : Errors()) all += message + "\n";
    if (c.messages.empty()) {
      EXPECT_TRUE(Errors().empty()) << all;
    }
    std::size_t at = 0;
    for (const std::string& text : c.messages) {
      const std::size_t found = all.find(text, at);
      EXPECT_NE(found, std::string::npos) << "no \"" << text << "\" in order in:\n" << all;
      if (found != std::string::npos) at = found + text.size();
    }
    // What was made fits: the host heap within the budget, the sets in a few runs, the arrays
    // of a few elements beyond the sections' nodes.
    EXPECT_LE(TQ_HeapStats::LiveBytes(), kBudget);
    const int made = (*d.SECTION).ElementCount();
    EXPECT_LE(made, 64);
    for (int i = 1; i <= made; ++i) EXPECT_LE(S(d, i).INTERIOR.v().RunCount(), 2) << "section " << i;
    EXPECT_LE(d.INTERIOR.v().RunCount(), 64);
    EXPECT_LE(d.POLYPOINT.ElementCount(), 2001);
  }
}

}  // namespace
