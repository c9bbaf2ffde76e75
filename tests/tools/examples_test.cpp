// The examples and the README's commands, run as a user runs them: every
// configuration of examples/ in both report formats, and every modelhost
// command of the README's command blocks, from the checkout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <ostream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "user_runs.h"

using nlohmann::json;
using namespace user_runs;

namespace {

// A name for a test case: the letters and digits of the text.
std::string CaseName(const std::string& text) {
  std::string name;
  for (char c : text) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

// Two JSON values alike as a configuration means them: numbers by value, sets
// whatever the order of their members.
bool SameValue(json given, json reported) {
  if (given.is_array() && reported.is_array()) {
    std::sort(given.begin(), given.end());
    std::sort(reported.begin(), reported.end());
  }
  return given == reported;
}

class ExampleTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ExampleTest, RunsInBothFormatsAndEmitsWhatItDeclares) {
  const std::string file = GetParam();
  const json configuration = json::parse(ReadText(SourcePath(file)));
  const std::size_t objects = configuration["objects"].size();

  const Ran jsonl = RunModelhost({"--config", file, "--format", "jsonl"});
  ASSERT_EQ(jsonl.status, 0) << jsonl.err;
  EXPECT_EQ(jsonl.err, "");
  const std::vector<json> records = JsonLines(jsonl.out);
  ASSERT_FALSE(records.empty());
  const json& summary = records.back();
  ASSERT_EQ(summary.value("kind", ""), "summary");
  std::size_t objectRecords = 0, equationRecords = 0;
  for (const json& record : records) {
    objectRecords += record["kind"] == "object";
    equationRecords += record["kind"] == "equation";
  }
  EXPECT_EQ(summary["objects"], objects);
  EXPECT_EQ(objectRecords, objects);
  EXPECT_GT(equationRecords, 0u);
  EXPECT_EQ(summary["equations"], equationRecords);
  EXPECT_EQ(summary["declared_equations"], equationRecords);
  EXPECT_EQ(summary["declared_matches_emitted"], true);
  EXPECT_EQ(summary["errors"], json::array());

  // The text report gives the same figures and one line per equation, in order.
  const Ran text = RunModelhost({"--config", file});
  ASSERT_EQ(text.status, 0) << text.err;
  const std::vector<std::string> lines = SplitLines(text.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0],
            "objects " + summary["objects"].dump() + ", equations " + summary["equations"].dump() + ", non-zeros " +
                summary["nonzeros"].dump() + ", groups used " + summary["groups"].dump());
  std::size_t next = 0;
  for (const std::string& line : lines) {
    if (line.rfind("  [", 0) == 0) {
      EXPECT_EQ(line.rfind("  [" + std::to_string(next++) + "] ", 0), 0u) << line;
    }
  }
  EXPECT_EQ(next, equationRecords);

  // Every value the example fixes is the value the report holds.
  const std::map<std::string, json> values = ValuesByPath(records);
  for (const json& object : configuration["objects"]) {
    const std::string name = object["name"];
    const json fixes = object.value("fix", json::object());
    for (const auto& [path, given] : fixes.items()) {
      const auto found = values.find(name + "." + path);
      ASSERT_NE(found, values.end()) << name << "." << path;
      EXPECT_TRUE(SameValue(given, found->second)) << name << "." << path << ": " << found->second;
    }
  }

  // A domain's nodes are its sections' intervals end to end, and a distribution has
  // a VALUE at every node of every domain it lies over.
  std::map<std::string, int> endNode;
  for (const json& object : configuration["objects"]) {
    const std::string name = object["name"];
    if (values.count(name + ".ENDNODE") == 0) continue;
    const int sections = values.at(name + ".NUMSECTIONS");
    int intervals = 0;
    for (int s = 1; s <= sections; ++s)
      intervals += values.at(name + ".SECTION(" + std::to_string(s) + ").NODECOUNT").get<int>();
    endNode[name] = values.at(name + ".ENDNODE");
    EXPECT_EQ(endNode[name], intervals) << name;
  }
  for (const json& object : configuration["objects"]) {
    if (!object.contains("links")) continue;
    const std::string name = object["name"];
    std::size_t nodes = 1;
    for (const auto& [link, domain] : object["links"].items())
      nodes *= static_cast<std::size_t>(endNode.at(domain) + 1);
    const std::string prefix = name + ".VALUE(";
    const auto counted = std::count_if(
        values.begin(), values.end(), [&](const auto& value) { return value.first.rfind(prefix, 0) == 0; });
    EXPECT_EQ(static_cast<std::size_t>(counted), nodes) << name;
  }
}

TEST_P(ExampleTest, IsDescribedInTheReadme) {
  EXPECT_NE(ReadText(SourcePath("README.md")).find(GetParam()), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Examples,
                         ExampleTest,
                         ::testing::ValuesIn(ExampleFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return CaseName(info.param); });

TEST(Examples, HoldTheReadmesModelAndOneOverEachNumberOfAxes) {
  const std::vector<std::string> files = ExampleFiles();
  EXPECT_NE(std::find(files.begin(), files.end(), "examples/model.json"), files.end());
  std::set<std::string> types;
  for (const std::string& file : files) {
    const json configuration = json::parse(ReadText(SourcePath(file)));
    for (const json& object : configuration["objects"]) types.insert(object["type"]);
  }
  for (const char* type : {"DISTRIBUTION1D", "DISTRIBUTION2D", "DISTRIBUTION3D"})
    EXPECT_TRUE(types.count(type)) << type;
}

// A modelhost command of the README and the exit status it is shown with.
struct ReadmeCommand {
  std::string line;
  int status;
};

void PrintTo(const ReadmeCommand& command, std::ostream* out) { *out << command.line; }

// The lines of the README's shell blocks that run build/bin/modelhost. A
// command that does not exit 0 says its status in a trailing comment, "# exit
// status 2".
std::vector<ReadmeCommand> ReadmeCommands() {
  static const std::regex kStatus("#.*exit status ([0-9]+)");
  std::vector<ReadmeCommand> commands;
  bool inShell = false;
  for (const std::string& line : SplitLines(ReadText(SourcePath("README.md")))) {
    if (line.rfind("```", 0) == 0) {
      inShell = !inShell && line == "```sh";
      continue;
    }
    if (!inShell || line.rfind("build/bin/modelhost", 0) != 0) continue;
    std::smatch status;
    commands.push_back({line, std::regex_search(line, status, kStatus) ? std::stoi(status[1]) : 0});
  }
  return commands;
}

class ReadmeCommandTest : public ::testing::TestWithParam<ReadmeCommand> {};

TEST_P(ReadmeCommandTest, RunsAsWrittenFromTheCheckout) {
  const ReadmeCommand& command = GetParam();
  const Ran ran = RunInCheckout(BinDirectory() + command.line.substr(std::string("build/bin").size()));
  EXPECT_EQ(ran.status, command.status) << command.line << "\n" << ran.err;
  if (command.status == 0) {
    EXPECT_FALSE(ran.out.empty()) << command.line;
  } else {
    EXPECT_FALSE(ran.err.empty()) << command.line << ": a failure says why";
  }
}

INSTANTIATE_TEST_SUITE_P(Readme,
                         ReadmeCommandTest,
                         ::testing::ValuesIn(ReadmeCommands()),
                         [](const ::testing::TestParamInfo<ReadmeCommand>& info) {
                           return "Command" + std::to_string(info.index);
                         });

TEST(Readme, ShowsEachExitStatusAndRunsEachExample) {
  std::set<int> statuses;
  std::string all;
  for (const ReadmeCommand& command : ReadmeCommands()) {
    statuses.insert(command.status);
    all += command.line + "\n";
  }
  EXPECT_EQ(statuses, (std::set<int>{0, 1, 2, 3}));
  for (const std::string& file : ExampleFiles()) EXPECT_NE(all.find("--config " + file), std::string::npos) << file;
}

}  // namespace
