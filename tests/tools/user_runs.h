// What the document and example tests share: the checkout's files, modelhost
// run as a user runs it (from the checkout, through the shell), its JSON lines
// read back, and the Markdown of the documents read as text and tables.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "modelhost_tool.h"

namespace user_runs {

using nlohmann::json;

// A file of the checkout, by its path from the source root.
inline std::string SourcePath(const std::string& relative) { return std::string(MORVANE_SOURCE_DIR) + "/" + relative; }

// The configurations of examples/, by their paths from the source root, in order.
inline std::vector<std::string> ExampleFiles() {
  std::vector<std::string> files;
  std::error_code code;
  for (const auto& entry : std::filesystem::directory_iterator(SourcePath("examples"), code))
    if (entry.path().extension() == ".json") files.push_back("examples/" + entry.path().filename().string());
  std::sort(files.begin(), files.end());
  return files;
}

// The folder the build puts modelhost and the libraries in: what a command's
// "build/bin/" stands for.
inline std::string BinDirectory() { return std::filesystem::path(MODELHOST_PROGRAM).parent_path().string(); }

// A file's text, and a text's lines: as the modelhost tests read them.
inline std::string ReadText(const std::string& path) { return modelhost_test::Slurp(path); }
inline std::vector<std::string> SplitLines(const std::string& text) { return modelhost_test::Outcome::LinesOf(text); }

// A text as one word of a shell command.
inline std::string ShellWord(const std::string& text) {
  std::string word = "'";
  for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

// A run's status and its two streams.
using Ran = modelhost_test::Outcome;

// Runs a command line with /bin/sh in the source root, its two streams caught
// in files of the test's own (CTest runs test cases side by side).
inline Ran RunInCheckout(const std::string& commandLine) {
  static int runs = 0;
  const std::string stem = ::testing::TempDir() + "user_run_" + std::to_string(getpid()) + "_" + std::to_string(++runs);
  const std::string shell = "cd " + ShellWord(MORVANE_SOURCE_DIR) + " && { " + commandLine + "\n} >" +
                            ShellWord(stem + ".out") + " 2>" + ShellWord(stem + ".err");
  const int raw = std::system(shell.c_str());
  Ran ran;
  ran.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  ran.out = ReadText(stem + ".out");
  ran.err = ReadText(stem + ".err");
  std::remove((stem + ".out").c_str());
  std::remove((stem + ".err").c_str());
  return ran;
}

// modelhost with these arguments.
inline Ran RunModelhost(const std::vector<std::string>& arguments) {
  std::string command = ShellWord(MODELHOST_PROGRAM);
  for (const std::string& argument : arguments) command += " " + ShellWord(argument);
  return RunInCheckout(command);
}

// modelhost on a configuration, written to a file of its own first.
inline Ran RunConfiguration(const json& configuration, std::vector<std::string> arguments) {
  static int files = 0;
  const std::string file =
      ::testing::TempDir() + "user_config_" + std::to_string(getpid()) + "_" + std::to_string(++files) + ".json";
  std::ofstream(file) << configuration.dump(2);
  arguments.insert(arguments.begin(), {"--config", file});
  Ran ran = RunModelhost(arguments);
  std::remove(file.c_str());
  return ran;
}

// The records of a JSON lines report; a line that is not JSON fails the test.
inline std::vector<json> JsonLines(const std::string& out) {
  std::vector<json> records;
  for (const std::string& line : SplitLines(out)) {
    json record = json::parse(line, nullptr, false);
    EXPECT_FALSE(record.is_discarded()) << line;
    if (!record.is_discarded()) records.push_back(std::move(record));
  }
  return records;
}

// The value records of a JSON lines report, by path.
inline std::map<std::string, json> ValuesByPath(const std::vector<json>& records) {
  std::map<std::string, json> values;
  for (const json& record : records)
    if (record.value("kind", "") == "value") values[record["path"].get<std::string>()] = record["value"];
  return values;
}

// The words of a Markdown text set in backquotes: "`A`, `B`" gives A and B.
inline std::vector<std::string> Quoted(const std::string& text) {
  std::vector<std::string> words;
  for (std::size_t open = text.find('`'); open != std::string::npos; open = text.find('`', open)) {
    const std::size_t close = text.find('`', open + 1);
    if (close == std::string::npos) break;
    words.push_back(text.substr(open + 1, close - open - 1));
    open = close + 1;
  }
  return words;
}

// The cells of a Markdown table row, trimmed.
inline std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  std::string cell;
  for (std::size_t k = 1; k < row.size(); ++k) {
    if (row[k] != '|') {
      cell += row[k];
      continue;
    }
    const std::size_t first = cell.find_first_not_of(' ');
    cells.push_back(first == std::string::npos ? "" : cell.substr(first, cell.find_last_not_of(' ') - first + 1));
    cell.clear();
  }
  return cells;
}

// The body rows of the first table after line `from` (its header and rule left out).
inline std::vector<std::vector<std::string>> TableFrom(const std::vector<std::string>& lines, std::size_t from) {
  std::vector<std::vector<std::string>> rows;
  std::size_t k = from;
  while (k < lines.size() && lines[k].rfind("|", 0) != 0) ++k;
  for (std::size_t row = 0; k < lines.size() && lines[k].rfind("|", 0) == 0; ++k, ++row)
    if (row >= 2) rows.push_back(Cells(lines[k]));
  return rows;
}

// The body rows of the first table under the heading line `heading`; none, with
// a failure, when the document has no such heading.
inline std::vector<std::vector<std::string>> TableUnder(const std::vector<std::string>& lines,
                                                        const std::string& heading) {
  for (std::size_t k = 0; k < lines.size(); ++k)
    if (lines[k] == heading) return TableFrom(lines, k + 1);
  ADD_FAILURE() << "no heading \"" << heading << "\"";
  return {};
}

}  // namespace user_runs
