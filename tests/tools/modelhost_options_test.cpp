// modelhost's own options: the model they make out of the default one, the defaults --help
// states, and their refusals, each with status 1 and one line before anything runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "modelhost_tool.h"

using modelhost_test::ExpectOneLineError;
using modelhost_test::Outcome;
using modelhost_test::RunTool;
using nlohmann::json;

namespace {

// The default model's configuration, as the program prints it: the domain X, then the
// distribution D over it.
json DefaultModel() {
  Outcome printed = RunTool({"--print-default-config"});
  EXPECT_EQ(printed.status, 0) << printed.err;
  return json::parse(printed.out);
}

json& Domain(json& model, std::size_t axis) { return model["objects"][axis]; }
json& Distribution(json& model) { return model["objects"].back(); }

// The default model with its domain X repeated for the axes Y and Z, as far as `axes`, and its
// distribution of that many axes over them.
void OverAxes(json& model, std::size_t axes) {
  const json domain = Domain(model, 0);
  for (std::size_t a = 1; a < axes; ++a) {
    json another = domain;
    another["name"] = std::string(1, "XYZ"[a]);
    model["objects"].insert(model["objects"].begin() + static_cast<std::ptrdiff_t>(a), another);
    Distribution(model)["links"][std::string(1, "XYZ"[a]) + "DOMAIN"] = std::string(1, "XYZ"[a]);
  }
  Distribution(model)["type"] = "DISTRIBUTION" + std::to_string(axes) + "D";
}

}  // namespace

TEST(ModelHostOptions, EachOptionChangesOnlyWhatItNamesInTheDefaultModel) {
  const json defaults = DefaultModel();
  ASSERT_EQ(defaults["objects"].size(), 2u);
  const struct {
    std::vector<std::string> args;
    std::function<void(json&)> change;  // what the options change in the default model
  } cases[] = {
      {{}, [](json&) {}},
      {{"--method", "BFD1"}, [](json& m) { Domain(m, 0)["fix"]["DISCRETIZATIONMETHOD"] = "BFD1"; }},
      {{"--sections", "3"}, [](json& m) { Domain(m, 0)["fix"]["NUMSECTIONS"] = 3; }},
      {{"--order", "1"}, [](json& m) { Domain(m, 0)["fix"]["HIGHESTORDERDERIVATIVE"] = 1; }},
      {{"--length", "2.5"}, [](json& m) { Domain(m, 0)["fix"]["LENGTH"] = 2.5; }},
      {{"--domain-type", "ANGLEDOMAIN"}, [](json& m) { Domain(m, 0)["type"] = "ANGLEDOMAIN"; }},
      {{"--integrals", "None"}, [](json& m) { Distribution(m)["fix"]["INTEGRALS"] = {"None"}; }},
      {{"--distribution", "DISTRIBUTION2D"}, [](json& m) { OverAxes(m, 2); }},
      {{"--distribution", "distribution2d", "--method", "BFD1,OCFE2", "--integrals", "idy,idxdy"},
       [](json& m) {
         OverAxes(m, 2);
         Domain(m, 0)["fix"]["DISCRETIZATIONMETHOD"] = "BFD1";
         Domain(m, 1)["fix"]["DISCRETIZATIONMETHOD"] = "OCFE2";
         Distribution(m)["fix"]["INTEGRALS"] = {"idy", "idxdy"};
       }},
      {{"--distribution", "DISTRIBUTION3D", "--sections", "1", "--order", "0,1,0"},
       [](json& m) {
         OverAxes(m, 3);
         for (std::size_t a = 0; a < 3; ++a) {
           Domain(m, a)["fix"]["NUMSECTIONS"] = 1;
           Domain(m, a)["fix"]["HIGHESTORDERDERIVATIVE"] = a == 1 ? 1 : 0;
         }
       }},
  };
  for (const auto& c : cases) {
    const std::string where = c.args.empty() ? "no options" : c.args[0] + " " + c.args[1];
    json expected = defaults;
    c.change(expected);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--format", "jsonl"});
    Outcome options = RunTool(args);
    Outcome file = RunTool({"--format", "jsonl"}, expected.dump());
    ASSERT_EQ(file.status, 0) << where << ": " << file.err;
    EXPECT_EQ(options.status, 0) << where << ": " << options.err;
    EXPECT_EQ(options.out, file.out) << where;
  }
}

TEST(ModelHostOptions, HelpStatesTheDefaultOfEachOptionAsTheDefaultModelHasIt) {
  json model = DefaultModel();
  const json& domain = Domain(model, 0);
  const json& distribution = Distribution(model);
  Outcome help = RunTool({"--help"});
  ASSERT_EQ(help.status, 0) << help.err;
  const struct {
    const char* option;
    std::string value;
  } defaults[] = {
      {"--method", domain["fix"]["DISCRETIZATIONMETHOD"]},
      {"--sections", std::to_string(domain["fix"]["NUMSECTIONS"].get<int>())},
      {"--order", std::to_string(domain["fix"]["HIGHESTORDERDERIVATIVE"].get<int>())},
      {"--domain-type", domain["type"]},
      {"--distribution", distribution["type"]},
      {"--integrals", distribution["fix"]["INTEGRALS"][0]},
      {"--format", "text"},
      {"--library", "Morvane230_1 beside this program"},
      {"--memory-budget", "three quarters of the machine's memory"},
      {"--length", "the domain's own, 1"},
  };
  for (const auto& d : defaults) {
    bool found = false;
    for (const std::string& line : help.Lines()) {
      if (line.rfind(std::string("  ") + d.option + " ", 0) != 0) continue;
      found = true;
      EXPECT_NE(line.find("(default: " + d.value + ")"), std::string::npos) << line;
    }
    EXPECT_TRUE(found) << d.option << " is not in the help:\n" << help.out;
  }
}

TEST(ModelHostOptions, OptionsThatDoNotFitTheDistributionsDomainsAreRefused) {
  ExpectOneLineError(
      RunTool({"--method", "CFD4,OCFE2"}),
      "--method takes one value for every domain or one value per domain, but 2 were given for 1 domain");
  ExpectOneLineError(
      RunTool({"--distribution", "DISTRIBUTION2D", "--method", "CFD4,OCFE2,BFD1"}),
      "--method takes one value for every domain or one value per domain, but 3 were given for 2 domains");
  ExpectOneLineError(
      RunTool({"--distribution", "DISTRIBUTION3D", "--sections", "1,2"}),
      "--sections takes one value for every domain or one value per domain, but 2 were given for 3 domains");
  ExpectOneLineError(RunTool({"--distribution", "DISTRIBUTION2D", "--order", "1,2,2"}), "--order takes one value");
  ExpectOneLineError(RunTool({"--config", "x.json", "--distribution", "DISTRIBUTION2D"}), "cannot be combined");
  ExpectOneLineError(RunTool({"--config", "x.json", "--method", "BFD1"}), "cannot be combined");
}

TEST(ModelHostOptions, OwnValuesAreRefusedBeforeAnythingRuns) {
  const struct {
    std::vector<std::string> args;
    const char* fragment;
  } cases[] = {
      {{"--sections", "0"}, "--sections takes whole numbers from 1 to 2147483647, not \"0\""},
      {{"--sections", "2147483648"}, "--sections takes whole numbers from 1 to 2147483647, not \"2147483648\""},
      {{"--sections", "2x"}, "not \"2x\""},
      {{"--order", "3"}, "--order takes 0, 1 or 2, not \"3\""},
      {{"--order", "-1"}, "--order takes 0, 1 or 2, not \"-1\""},
      {{"--method", "CFD4,,BFD1", "--distribution", "DISTRIBUTION3D"}, "--method \"CFD4,,BFD1\" holds an empty value"},
      {{"--method", "CFD4,"}, "--method \"CFD4,\" holds an empty value"},
      {{"--integrals", ""}, "--integrals \"\" holds an empty value"},
      {{"--sections", ",2"}, "--sections \",2\" holds an empty value"},
      {{"--distribution", "DISTRIBUTON2D"},
       "--distribution \"DISTRIBUTON2D\" is none of the distributions: DISTRIBUTION1D, DISTRIBUTION2D, DISTRIBUTION3D"},
      {{"--distribution", "GENERICMODEL"}, "is none of the distributions"},
      {{"--distribution", "DISTRIBUTION2D", "--integrals", "idx,idz"},
       "--integrals: DISTRIBUTION2D does not compute \"idz\"; its integrals are idx, idy, idxdy"},
      {{"--integrals", "idy"}, "--integrals: DISTRIBUTION1D does not compute \"idy\"; its integrals are idx"},
      {{"--integrals", "IDX"}, "does not compute \"IDX\""},
      {{"--length", "inf"}, "--length takes a finite number, not \"inf\""},
      {{"--length", "1e999"}, "--length takes a finite number, not \"1e999\""},
      {{"--length", "2m"}, "--length takes a finite number, not \"2m\""},
      {{"--format", "xml"}, "--format \"xml\" is none of the formats: text, jsonl"},
      {{"--domain-type", "SECTION"},
       "--domain-type \"SECTION\" is none of the domain types: DOMAIN, LENGTHDOMAIN, ANGLEDOMAIN"},
      {{"--method"}, "--method"},
      {{"--method", "BFD1", "--method", "CFD4"}, "--method"},
      {{"--no-such-option"}, "--no-such-option"},
      {{"surplus"}, "surplus"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fragment);
    const Outcome run = RunTool(c.args);
    ExpectOneLineError(run, c.fragment);
    // The message says the range plainly: no number of hundreds of digits.
    EXPECT_LT(run.err.size(), 200u) << run.err;
  }
}

TEST(ModelHostOptions, EveryOptionRefusesAValueThatIsNotUtf8InOneEscapedLine) {
  // A stray byte, a sequence cut short at the end and one cut short before a comma: each option
  // says it in one line with status 1, the bytes written as \xNN, and no exception reaches the
  // end of the program (which would abort it).
  const struct {
    std::vector<std::string> args;
    const char* fragment;
  } cases[] = {
      {{"--method", "\xff"}, "--method \"\\xff\" is not a method name: it is not UTF-8 text"},
      {{"--method", "CFD4\xc3"}, "--method \"CFD4\\xc3\" is not a method name"},
      {{"--method", "\xc3,CFD4", "--distribution", "DISTRIBUTION2D"}, "--method \"\\xc3\" is not a method name"},
      {{"--distribution", "DISTRIBUTION2D", "--method", "OCFE2,\xff"}, "--method \"\\xff\" is not a method name"},
      {{"--distribution", "\xff"}, "--distribution \"\\xff\" is none of the distributions"},
      {{"--domain-type", "DOMAIN\xe2\x82"}, "--domain-type \"DOMAIN\\xe2\\x82\" is none of the domain types"},
      {{"--format", "\xff"}, "--format \"\\xff\" is none of the formats"},
      {{"--sections", "\xff"}, "--sections takes whole numbers from 1 to 2147483647, not \"\\xff\""},
      {{"--order", "1,\xff", "--distribution", "DISTRIBUTION2D"}, "--order takes 0, 1 or 2, not \"\\xff\""},
      {{"--length", "\xff"}, "--length takes a finite number, not \"\\xff\""},
      {{"--integrals", "\xff"}, "--integrals: DISTRIBUTION1D does not compute \"\\xff\""},
      {{"--memory-budget", "8\xff"}, "--memory-budget takes a positive size"},
      {{"--library", "/nonexistent/\xff.so"}, "/nonexistent/\\xff.so"},
      {{"--config", "/nonexistent/\xff.json"}, "/nonexistent/\\xff.json"},
      {{"--summary=\xff"}, "\\xff"},
      {{"--\xff"}, "--\\xff"},
      {{"\xff"}, "\\xff"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fragment);
    const Outcome run = RunTool(c.args);
    ExpectOneLineError(run, c.fragment);
    EXPECT_EQ(run.err.rfind("modelhost: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count_if(run.err.begin(), run.err.end(), [](char c) { return (c & 0x80) != 0; }), 0) << run.err;
  }
}

TEST(ModelHostOptions, IntegralsAreTakenExactlyWhereTheDistributionComputesThem) {
  // Each distribution over small domains, each selector alone: the ones it computes run and add
  // equations to the model without integrals; the others are refused, naming them.
  const std::vector<std::string> selectors = {"idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"};
  const struct {
    const char* distribution;
    std::vector<std::string> computed;  // in the order the refusal lists them
  } distributions[] = {
      {"DISTRIBUTION1D", {"idx"}},
      {"DISTRIBUTION2D", {"idx", "idy", "idxdy"}},
      {"DISTRIBUTION3D", {"idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"}},
  };
  for (const auto& d : distributions) {
    const std::vector<std::string> model = {
        "--distribution", d.distribution, "--method", "BFD1", "--sections", "1", "--order", "0", "--summary"};
    auto run = [&](const std::string& integrals) {
      std::vector<std::string> args = model;
      args.insert(args.end(), {"--integrals", integrals, "--format", "jsonl"});
      return RunTool(args);
    };
    const Outcome none = run("None");
    ASSERT_EQ(none.status, 0) << none.err;
    const int without = json::parse(none.out)["equations"];
    for (const std::string& selector : selectors) {
      SCOPED_TRACE(std::string(d.distribution) + " " + selector);
      const bool computed = std::find(d.computed.begin(), d.computed.end(), selector) != d.computed.end();
      const Outcome with = run(selector);
      if (!computed) {
        std::string list;
        for (const std::string& name : d.computed) list += (list.empty() ? "" : ", ") + name;
        ExpectOneLineError(with, "does not compute \"" + selector + "\"; its integrals are " + list);
        continue;
      }
      ASSERT_EQ(with.status, 0) << with.err;
      EXPECT_GT(json::parse(with.out)["equations"].get<int>(), without);
    }
  }
}

TEST(ModelHostOptions, TheMemoryBudgetTakesAPositiveSizeAndMessagesShowItInAUnitThatFits) {
  // A hundred million nodes are refused under each budget; the message gives the budget in the
  // unit that fits it.
  const char* const large = R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"SPACINGPREFERENCE": 1e-8}}]})";
  const struct {
    const char* budget;
    const char* shown;
  } budgets[] = {
      {"512", "the size budget of 512 bytes"},
      {"1kb", "the size budget of 1.00 KB"},
      {"1.5 MiB", "the size budget of 1.50 MB"},
      {"64MB", "the size budget of 64.00 MB"},
      {"2g", "the size budget of 2.00 GB"},
  };
  for (const auto& b : budgets) {
    SCOPED_TRACE(b.budget);
    const Outcome run = RunTool({"--memory-budget", b.budget, "--summary"}, large);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find(b.shown), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("0.00 GB"), std::string::npos) << run.err;
  }
  // The largest budget there is runs the default model.
  EXPECT_EQ(RunTool({"--memory-budget", "9223372036854775807", "--summary"}).status, 0);

  // Anything else is refused, the value shown as given.
  for (const char* budget : {"-1", "-5GB", "0", "0.0001", "0KB", "lots", "", "5XB", "1e3", "GB", "1.5.2"}) {
    SCOPED_TRACE(budget);
    ExpectOneLineError(RunTool({"--memory-budget", budget}),
                       std::string("--memory-budget takes a positive size in bytes, or with a unit (KB, MB, GB, "
                                   "TB: 512MB, 8GB), not \"") +
                           budget + "\"");
  }
  for (const char* budget : {"99999999999999999999", "9223372036854775808", "8388608TB"}) {
    SCOPED_TRACE(budget);
    ExpectOneLineError(RunTool({"--memory-budget", budget}),
                       std::string("--memory-budget \"") + budget +
                           "\" is more than the largest size it takes, 9223372036854775807 bytes");
  }
}
