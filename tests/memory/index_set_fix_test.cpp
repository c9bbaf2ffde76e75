// A configuration that fixes an index set a model computes (a distribution's TQ_VALUE_SET2 or
// TQ_IDX_SET1, a domain's TQ_SECTION_SET1): the host refuses the fix when the model first
// initialises the set, names the set in an error, and keeps it on its list of refused fixes; the
// model's value is taken, so the run gives the equations of the configuration without the fix.
// Properties the models assign keep a user's fix.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "modelhost_run.h"
#include "host/vekexp.h"

namespace {

using nlohmann::json;

// Domains X and Y and a two-axis distribution over them, each fixed as given.
json Model(const json& domainFix, const json& distributionFix) {
  return {{"objects",
           {{{"name", "X"}, {"type", "DOMAIN"}, {"fix", domainFix}},
            {{"name", "Y"}, {"type", "DOMAIN"}},
            {{"name", "D"},
             {"type", "DISTRIBUTION2D"},
             {"links", {{"XDOMAIN", "X"}, {"YDOMAIN", "Y"}}},
             {"fix", distributionFix}}}}};
}

struct Outcome {
  bool ok = false;
  std::vector<std::string> errors;
  std::vector<std::string> refused;
  std::size_t equations = 0;
};

Outcome RunModel(const json& configuration) {
  Outcome outcome;
  modelhost::Run run;
  std::string error;
  EXPECT_TRUE(run.LoadLibrary("", error)) << error;
  EXPECT_TRUE(run.Configure(configuration, error)) << error;
  // The host's own cycle: modelhost stops at a refused fix as bad input, and the host goes on.
  TQ_Executive& host = TQ_Executive::Instance();
  outcome.ok = host.RunCycle(TQ_Executive::CycleOptions()) && host.Errors().empty();
  outcome.errors = host.Errors();
  outcome.refused = TQ_Executive::Instance().RefusedFixes();
  outcome.equations = TQ_Executive::Instance().Emitted().size();
  return outcome;
}

std::string Refusal(const std::string& model, const std::string& set) {
  return model + "." + set + " is fixed, but it is an index set that " + model + " computes; the fix is refused and " +
         model + "'s value is taken";
}

TEST(IndexSetFix, AFixOfAnIndexSetAModelComputesIsRefusedNamingIt) {
  const Outcome plain = RunModel(Model(json::object(), json::object()));
  ASSERT_TRUE(plain.ok);
  ASSERT_GT(plain.equations, 0u);
  const struct Case {
    const char* what;
    json domainFix;
    json distributionFix;
    std::vector<std::string> refused;
  } cases[] = {
      {"a domain's section set", {{"TQ_SECTION_SET1", {1, 2, 3}}}, json::object(), {"X.TQ_SECTION_SET1"}},
      {"a distribution's value set", json::object(), {{"TQ_VALUE_SET2", {0, 1}}}, {"D.TQ_VALUE_SET2"}},
      {"a distribution's integral set", json::object(), {{"TQ_IDX_SET1", json::array()}}, {"D.TQ_IDX_SET1"}},
      {"two sets of two models",
       {{"TQ_SECTION_SET1", {1}}},
       {{"TQ_VALUE_SET1", {5}}},
       {"X.TQ_SECTION_SET1", "D.TQ_VALUE_SET1"}},
  };
  for (const Case& c : cases) {
    const Outcome outcome = RunModel(Model(c.domainFix, c.distributionFix));
    EXPECT_FALSE(outcome.ok) << c.what;
    EXPECT_EQ(outcome.refused, c.refused) << c.what;
    std::vector<std::string> expected;
    for (const std::string& path : c.refused)
      expected.push_back(Refusal(path.substr(0, path.find('.')), path.substr(path.find('.') + 1)));
    EXPECT_EQ(outcome.errors, expected) << c.what;
    // The model's own sets stand: the equations are those without the fix.
    EXPECT_EQ(outcome.equations, plain.equations) << c.what;
  }
}

TEST(IndexSetFix, APropertyTheModelAssignsKeepsItsFix) {
  // HIGHESTORDERXDERIVATIVEUSED is assigned from the domain's order; fixed, it stands.
  const Outcome fixed = RunModel(Model(json::object(), {{"HIGHESTORDERXDERIVATIVEUSED", 0}}));
  EXPECT_TRUE(fixed.ok);
  EXPECT_TRUE(fixed.refused.empty());
  EXPECT_TRUE(fixed.errors.empty());
  const Outcome plain = RunModel(Model(json::object(), json::object()));
  EXPECT_LT(fixed.equations, plain.equations) << "the fixed order takes the first derivatives along X away";
}

}  // namespace
