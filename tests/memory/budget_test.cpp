// The size budget: a model whose elements or equations would not fit is refused before they are
// made, with a message that gives the size and the limit, and the cycle fails; a model that fits
// runs as before. Each case is the smallest input that reaches one refusal: the nodes of a
// section (from its spacing, its minimum node count or a node count fixed by hand), the sections of a domain, and the
// elements of a distribution whose domains fit; and a NUMELEMENTS fixed beyond its section, whose
// elements the domain does not place.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "modelhost_run.h"
#include "host/vekexp.h"

namespace {

using nlohmann::json;

constexpr std::int64_t kMegabyte = 1024 * 1024;

// Domains X (and Y, Z) fixed as given, and a distribution over them.
json Model(const json& domainFix, int axes) {
  static const char* const kDistributions[] = {"DISTRIBUTION1D", "DISTRIBUTION2D", "DISTRIBUTION3D"};
  json objects = json::array();
  json links = json::object();
  for (int a = 0; a < axes; ++a) {
    const std::string name(1, "XYZ"[a]);
    objects.push_back({{"name", name}, {"type", "DOMAIN"}, {"fix", domainFix}});
    links[name + "DOMAIN"] = name;
  }
  objects.push_back({{"name", "D"}, {"type", kDistributions[axes - 1]}, {"links", links}});
  return {{"objects", objects}};
}

struct BudgetCase {
  const char* what;
  json domainFix;
  int axes;
  // Texts the messages hold, in this order, when the model is refused; none when it fits.
  std::vector<std::string> refusals;
};

class SizeBudget : public ::testing::Test {
 protected:
  void TearDown() override { TQ_SizeBudget::SetLimit(0); }
};

TEST_F(SizeBudget, RefusesWhatWouldNotFitBeforeMakingIt) {
  const std::vector<BudgetCase> cases = {
      {"a small model", {{"DISCRETIZATIONMETHOD", "CFD4"}, {"HIGHESTORDERDERIVATIVE", 2}}, 1, {}},
      {"nodes from the spacing",
       {{"SPACINGPREFERENCE", 1e-8}},
       1,
       {"domain X, section 1: the nodes of the sections up to it: 100000001 elements",
        "size budget of 64.00 MB; refused",
        "domain X, section 1: the section keeps one element"}},
      {"nodes from the minimum node count",
       {{"MINNODECOUNT", 2147483000}},
       1,
       {"domain X, section 1: the nodes of the sections up to it: 2147483001 elements",
        "size budget",
        "the section keeps one element"}},
      {"nodes from a node count fixed by hand",
       {{"SECTION(1).NODECOUNT", 2000000000}},
       1,
       {"domain X, section 1: the nodes of its NODECOUNT 2000000000: 2000000000 elements",
        "size budget",
        "domain X, section 1: the section keeps one element"}},
      {"elements beyond the nodes of their section",
       {{"SECTION(1).NUMELEMENTS", 2147483647}},
       1,
       {"domain X, section 1: NUMELEMENTS is more than the section's NODECOUNT holds"}},
      {"sections",
       {{"NUMSECTIONS", 2147483647}},
       1,
       {"domain X: NUMSECTIONS 2147483647: 2147483647 elements",
        "size budget",
        "D: the missing sections of its domains: 2147483647 elements"}},
      {"the elements of a distribution over domains that fit",
       {{"SPACINGPREFERENCE", 0.005}, {"HIGHESTORDERDERIVATIVE", 2}},
       3,
       {"D: its arrays and equations: ", "non-zeros would take about", "size budget"}},
  };
  for (const BudgetCase& c : cases) {
    TQ_SizeBudget::SetLimit(64 * kMegabyte);
    modelhost::Run run;
    std::string error;
    ASSERT_TRUE(run.LoadLibrary("", error)) << error;
    ASSERT_TRUE(run.Configure(Model(c.domainFix, c.axes), error)) << c.what << ": " << error;
    const bool ok = run.Cycle();
    // Refused or not, the host holds no more than the budget.
    EXPECT_LE(TQ_HeapStats::LiveBytes(), 64 * kMegabyte) << c.what;
    std::string all;
    for (const std::string& message : run.Errors()) all += message + "\n";
    if (c.refusals.empty()) {
      EXPECT_TRUE(ok) << c.what << ":\n" << all;
      continue;
    }
    EXPECT_FALSE(ok) << c.what;
    std::size_t at = 0;
    for (const std::string& text : c.refusals) {
      const std::size_t found = all.find(text, at);
      EXPECT_NE(found, std::string::npos) << c.what << ": no \"" << text << "\" in order in:\n" << all;
      if (found != std::string::npos) at = found + text.size();
    }
  }
}

// A model whose declaration was admitted emits what it declared, though the models declared after
// it have taken what was left of the budget: a two-axis CFD4 distribution, then a one-axis BFD1
// distribution of one long section, both declared; the budget then brought down to what the host
// holds, so that nothing more would be admitted; both emit every equation they declared, and
// nothing is reported.
TEST_F(SizeBudget, AModelWhoseDeclarationWasAdmittedEmitsWhatItDeclared) {
  const json cfd4 = {{"DISCRETIZATIONMETHOD", "CFD4"}, {"NUMSECTIONS", 2}, {"HIGHESTORDERDERIVATIVE", 2}};
  const json configuration = {
      {"objects",
       {{{"name", "X"}, {"type", "DOMAIN"}, {"fix", cfd4}},
        {{"name", "Y"}, {"type", "DOMAIN"}, {"fix", cfd4}},
        {{"name", "D"},
         {"type", "DISTRIBUTION2D"},
         {"links", {{"XDOMAIN", "X"}, {"YDOMAIN", "Y"}}},
         {"fix", {{"INTEGRALS", {"idx", "idy", "idxdy"}}}}},
        {{"name", "Z"}, {"type", "DOMAIN"}, {"fix", {{"DISCRETIZATIONMETHOD", "BFD1"}, {"SECTION(1).NODECOUNT", 300}}}},
        {{"name", "E"}, {"type", "DISTRIBUTION1D"}, {"links", {{"XDOMAIN", "Z"}}}}}}};
  modelhost::Run run;
  std::string error;
  ASSERT_TRUE(run.LoadLibrary("", error)) << error;
  ASSERT_TRUE(run.Configure(configuration, error)) << error;
  TQ_Executive& host = TQ_Executive::Instance();
  ASSERT_TRUE(host.RunAssignments(TQ_Executive::CycleOptions()));
  ASSERT_TRUE(host.RunSetDims());
  ASSERT_TRUE(host.RunSetUpEquations());
  TQ_SizeBudget::SetLimit(TQ_HeapStats::LiveBytes());
  EXPECT_TRUE(host.RunJacPattern());
  std::string all;
  for (const std::string& message : host.Errors()) all += message + "\n";
  EXPECT_EQ(all, "");
  std::string difference;
  EXPECT_TRUE(host.DeclaredMatchesEmitted(&difference)) << difference;
  int models = 0;
  for (const TQ_ModelSummary& summary : host.Summaries()) {
    if (summary.declaredCount == 0) continue;
    ++models;
    EXPECT_EQ(summary.emittedCount, summary.declaredCount);
  }
  EXPECT_EQ(models, 2);
}

}  // namespace
