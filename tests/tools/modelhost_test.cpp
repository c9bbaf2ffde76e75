// modelhost run as a program: its default configuration, its options, its
// two output formats and its answers to bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "host_test.h"
#include "tq_generic_types.h"
#include "tq_domain.h"
#include "vekexp.h"

using nlohmann::json;

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
  std::vector<std::string> lines() const {
    std::vector<std::string> result;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
  }
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs modelhost with the arguments (each quoted) and, when given, a
// configuration written to a file first.
Outcome RunTool(const std::vector<std::string>& args, const std::string& configuration = "") {
  static int counter = 0;
  // CTest runs each test case as a process of its own, several at once: the
  // process id keeps their files apart.
  std::string stem = ::testing::TempDir() + "modelhost_" + std::to_string(getpid()) + "_" +
                     std::to_string(++counter);
  std::string command = std::string("'") + MODELHOST_PROGRAM + "'";
  if (!configuration.empty()) {
    std::ofstream(stem + ".json") << configuration;
    command += " --config '" + stem + ".json'";
  }
  for (const std::string& arg : args) command += " '" + arg + "'";
  command += " >'" + stem + ".out' 2>'" + stem + ".err'";
  Outcome outcome;
  int raw = std::system(command.c_str());
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  outcome.out = Slurp(stem + ".out");
  outcome.err = Slurp(stem + ".err");
  return outcome;
}

// Every line of a jsonl run parses and names its kind first.
std::vector<json> JsonLines(const Outcome& outcome) {
  std::vector<json> lines;
  for (const std::string& line : outcome.lines()) {
    EXPECT_EQ(line.rfind("{\"kind\":", 0), 0u) << line;
    lines.push_back(json::parse(line));
  }
  return lines;
}

void ExpectOneLineError(const Outcome& outcome, const std::string& fragment) {
  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(outcome.out.empty()) << "nothing may reach standard output: " << outcome.out;
  EXPECT_NE(outcome.err.find(fragment), std::string::npos) << outcome.err;
  EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
}

extern "C" TQ_ModelType* DOMAINFactory();
extern "C" TQ_ModelType* DISTRIBUTION1DFactory();

struct Counts {
  std::size_t equations;
  int nonZeros;
  std::size_t groups;
};

// The library's own answer for a domain and a distribution over it, made in
// this process through the factories and the host's cycle.
Counts LibraryCounts(const char* method, int sections, int order, bool integrals) {
  TQ_Executive& host = TQ_Executive::Instance();
  host.Reset();
  std::string error;
  TQ_ModelType* domain = DOMAINFactory();
  TQ_ModelType* distribution = DISTRIBUTION1DFactory();
  EXPECT_TRUE(host.AddObject("X", domain, &error)) << error;
  EXPECT_TRUE(host.AddObject("D", distribution, &error)) << error;
  auto fix = [&](const std::string& path, const TQ_Value& value) {
    auto* property = dynamic_cast<TQ_VarParamProp*>(host.FindByPath(path, true, &error));
    ASSERT_NE(property, nullptr) << error;
    EXPECT_EQ(property->Fix(value, &error), TQ_ASSIGN_DONE) << error;
  };
  fix("X.DISCRETIZATIONMETHOD", TQ_Value(method, 0u, 0u, 0));
  fix("X.NUMSECTIONS", TQ_Value(sections, 0u, 0u, 0));
  fix("X.HIGHESTORDERDERIVATIVE", TQ_Value(order, 0u, 0u, 0));
  if (integrals) fix("D.INTEGRALS", TQ_Value("idx", 0u, 0u, 0));
  auto* link = dynamic_cast<TQ_ExternalBase*>(host.FindByPath("D.XDOMAIN", false, &error));
  EXPECT_NE(link, nullptr);
  if (link) {
    EXPECT_TRUE(link->Attach(domain, &error)) << error;
  }
  EXPECT_TRUE(host.RunCycle());
  std::set<int> groups;
  for (const TQ_DeclaredEquation& e : host.Declared()) groups.insert(e.group);
  Counts counts{host.Emitted().size(), host.PatternEntriesWritten(), groups.size()};
  host.Reset();
  return counts;
}

json Summary(const Outcome& outcome) { return json::parse(outcome.lines().back()); }

const char* const kGenericConfiguration = R"({"objects": [
  {"name": "M", "type": "GENERICMODEL", "fix": {"USERNOTES": "notes"}},
  {"name": "C", "type": "controlsignal"}]})";

}  // namespace

class ModelHostProgram : public HostTest {};

TEST_F(ModelHostProgram, DefaultConfigurationRunsOnItsOwn) {
  Outcome text = RunTool({});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out.rfind("objects ", 0), 0u) << text.out;
  Outcome jsonl = RunTool({"--format", "jsonl"});
  ASSERT_EQ(jsonl.status, 0) << jsonl.err;
  std::vector<json> lines = JsonLines(jsonl);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back()["kind"], "summary");
  EXPECT_TRUE(lines.back()["declared_matches_emitted"].get<bool>());
}

TEST_F(ModelHostProgram, JsonLinesListObjectsValuesAndSummaryAsTheLibraryHasThem) {
  Outcome run = RunTool({"--format", "jsonl"}, kGenericConfiguration);
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<json> lines = JsonLines(run);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], json({{"kind", "object"}, {"name", "M"}, {"type", "Model GENERICMODEL\tV7.1"}}));
  EXPECT_EQ(lines[1], json({{"kind", "object"}, {"name", "C"}, {"type", "Model CONTROLSIGNAL\tV7.1"}}));
  bool notes = false;
  for (const json& line : lines)
    if (line["kind"] == "value" && line["path"] == "M.USERNOTES") notes = line["value"] == "notes";
  EXPECT_TRUE(notes);
  EXPECT_EQ(lines.back()["kind"], "summary");
  EXPECT_EQ(lines.back()["objects"], 2);

  // The same objects made in this process answer the same type ids.
  TQ_GENERICMODEL model;
  TQ_CONTROLSIGNAL signal;
  EXPECT_EQ(lines[0]["type"], model.TQ_DefaultDESCRIPTION());
  EXPECT_EQ(lines[1]["type"], signal.TQ_DefaultDESCRIPTION());
}

TEST_F(ModelHostProgram, PrintsItsDefaultConfiguration) {
  Outcome run = RunTool({"--print-default-config"});
  ASSERT_EQ(run.status, 0);
  json configuration = json::parse(run.out);
  EXPECT_TRUE(configuration["objects"].is_array());
}

TEST_F(ModelHostProgram, BadInputGetsOneLineAndANonZeroStatus) {
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "A", "type": "NOSUCHTYPE"}]})"), "unknown type");
  ExpectOneLineError(RunTool({}, "{\"objects\": ["), "not valid JSON");
  ExpectOneLineError(RunTool({}, R"({"things": []})"), "\"objects\"");
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "M", "type": "GENERICMODEL", "fix": {"NOPE": 1}}]})"),
                     "no property NOPE");
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "M", "type": "GENERICMODEL", "fix": {"USERNOTES": 3}}]})"),
                     "wrong kind");
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "M", "type": "GENERICMODEL"},
                                                 {"name": "M", "type": "GENERICMODEL"}]})"),
                     "exists already");
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "M", "type": "GENERICMODEL", "links": {"USERNOTES": "Q"}}]})"),
                     "no object named");
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "M", "type": "GENERICMODEL", "colour": 1}]})"),
                     "unknown key");
  ExpectOneLineError(RunTool({"--config", "/nonexistent/modelhost.json"}), "cannot read");
  ExpectOneLineError(RunTool({"--library", "/nonexistent/NoSuchLibrary.so"}), "NoSuchLibrary");
}

TEST_F(ModelHostProgram, DefaultAndOptionRunsReportWhatTheLibraryProduces) {
  Outcome defaults = RunTool({"--format", "jsonl"});
  ASSERT_EQ(defaults.status, 0) << defaults.err;
  Counts expected = LibraryCounts("CFD4", 2, 2, true);
  json summary = Summary(defaults);
  EXPECT_EQ(summary["equations"], expected.equations);
  EXPECT_EQ(summary["nonzeros"], expected.nonZeros);
  EXPECT_EQ(summary["groups"], expected.groups);

  struct Case {
    std::vector<std::string> args;
    const char* method;
    int sections;
    int order;
    bool integrals;
  };
  const Case cases[] = {
      {{"--method", "OCFE3", "--sections", "3", "--order", "2", "--distribution", "DISTRIBUTION1D"}, "OCFE3", 3, 2, false},
      {{"--method", "BFD2", "--sections", "2", "--integrals", "idx"}, "BFD2", 2, 1, true},
      {{"--method", "UBFD4", "--domain-type", "LENGTHDOMAIN", "--distribution", "DISTRIBUTION1D"}, "UBFD4", 1, 1, false},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("--format");
    args.push_back("jsonl");
    Outcome run = RunTool(args);
    ASSERT_EQ(run.status, 0) << run.err;
    Counts want = LibraryCounts(c.method, c.sections, c.order, c.integrals);
    json got = Summary(run);
    EXPECT_EQ(got["equations"], want.equations) << c.method;
    EXPECT_EQ(got["nonzeros"], want.nonZeros) << c.method;
    EXPECT_TRUE(got["declared_matches_emitted"].get<bool>());
  }
}

TEST_F(ModelHostProgram, EquationLinesCarryTheProgramBesideItsDeclaration) {
  Outcome run = RunTool({"--method", "BFD1", "--distribution", "DISTRIBUTION1D", "--format", "jsonl"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<json> lines = JsonLines(run);
  auto first = std::find_if(lines.begin(), lines.end(), [](const json& l) { return l["kind"] == "equation"; });
  ASSERT_NE(first, lines.end());
  // D(b)*h+(V(b)-V(b+1)) in the first section, written by hand.
  json program = json::array({json::array({"op", 19}), json::array({"op", 21}), json::array({"var", "D.DDX(0)"}),
                              json::array({"var", "X.SECTION(1).ELEMENTLENGTH"}), json::array({"op", 20}),
                              json::array({"var", "D.VALUE(0)"}), json::array({"var", "D.VALUE(1)"})});
  EXPECT_EQ((*first)["name"], "TQ_Eqn2");
  EXPECT_EQ((*first)["program"], program);
  EXPECT_EQ((*first)["declared"],
            json::array({"D.DDX(0)", "X.SECTION(1).ELEMENTLENGTH", "D.VALUE(0)", "D.VALUE(1)"}));
  EXPECT_EQ((*first)["group"], (*first)["declared_group"]);
  EXPECT_EQ((*first)["index"], 0);

  bool elementLength = false;
  for (const json& line : lines)
    if (line["kind"] == "value" && line["path"] == "X.SECTION(1).ELEMENTLENGTH")
      elementLength = line["value"] == 0.125;
  EXPECT_TRUE(elementLength);

  Outcome text = RunTool({"--method", "BFD1", "--distribution", "DISTRIBUTION1D"});
  ASSERT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("TQ_Eqn2 (group"), std::string::npos);
  EXPECT_NE(text.out.find("DDX(0)*X.SECTION(1).ELEMENTLENGTH+(VALUE(0)-VALUE(1))"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("section 1: BASE 0, NODECOUNT 8, NUMELEMENTS 8"), std::string::npos);
}

TEST_F(ModelHostProgram, ValuesOutOfRangeAndBadLinksAreRefused) {
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"NUMSECTIONS": 0}}]})"),
                     "lower bound");
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "RK4"}}]})"),
                     "valid set");
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"NUMSECTIONS": 1.5}}]})"),
                     "wrong kind");
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "M", "type": "GENERICMODEL"},
      {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "M"}}]})"),
                     "is not of type");
  ExpectOneLineError(RunTool({"--config", "x.json", "--method", "BFD1"}), "cannot be combined");
}

TEST_F(ModelHostProgram, AFailedCycleSaysSoAfterItsReport) {
  // A section that cannot be spaced: the domain reports it and takes its
  // minimum node count; the run goes on to its end but does not succeed.
  Outcome spaced = RunTool({}, R"({"objects": [{"name": "X", "type": "DOMAIN",
      "fix": {"NUMSECTIONS": 2, "SECTION(2).SPACINGPREFERENCE": 0.0}}]})");
  EXPECT_EQ(spaced.status, 2);
  EXPECT_NE(spaced.out.find("section 2: BASE 8, NODECOUNT 2"), std::string::npos) << spaced.out;
  EXPECT_NE(spaced.err.find("section 2"), std::string::npos) << spaced.err;

  // A distribution without its domain: the cycle runs, reports and fails.
  Outcome run = RunTool({"--format", "jsonl"}, R"({"objects": [{"name": "D", "type": "DISTRIBUTION1D"}]})");
  EXPECT_EQ(run.status, 2);
  std::vector<json> lines = JsonLines(run);
  ASSERT_FALSE(lines.empty());
  EXPECT_FALSE(lines.back()["errors"].empty());
  EXPECT_NE(run.err.find("XDOMAIN"), std::string::npos) << run.err;
}
