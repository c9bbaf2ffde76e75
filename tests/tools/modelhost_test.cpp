// modelhost run as a program: its default configuration, its options, its
// two output formats and its answers to bad input.
#include <gtest/gtest.h>

#include <array>
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
