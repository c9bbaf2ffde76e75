// The domain's check of its grid against its method (HoldsMethodGrid, ReportMethodGrid), on the
// domain alone: the values its messages set side by side read back as the doubles they name.
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "domain_support.h"

using namespace domaintest;

namespace {

class MethodGridCheck : public DomainTest {
 protected:
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
