// modelhost run as a program by the tests: its status, its standard output and its standard
// error, with a configuration written to a file first when one is given.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace modelhost_test {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
  std::vector<std::string> Lines() const { return LinesOf(out); }
  std::vector<std::string> ErrorLines() const { return LinesOf(err); }
  static std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
  }
};

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Where a run's standard output goes: a file; a full disk (/dev/full); a reader that takes the
// first line and closes the pipe, with the signal of a closed pipe as it comes or ignored (the
// program then meets a failed write instead).
enum class Output { kFile, kFullDisk, kClosedPipe, kClosedPipeSignalIgnored };

// How the shell starts a run, as a launcher may: commands run first in the run's shell
// (`ulimit -n 6;`), and redirections after those of the run's output (`<&-` or `2>&-` closes
// standard input or error, `>&-` standard output, which then reaches no file).
struct Launch {
  std::string before;
  std::string redirections;
};

// Runs modelhost with the arguments (each quoted) and, when given, a configuration written to a
// file first, its standard output sent where `output` says, started as `launch` says. What reached a file or the reader
// of a pipe is the outcome's `out`; its status is that of modelhost (128 and the signal's number when a signal ended
// it). With a time limit, a run still going after that many seconds is killed (status 137), so that a program that
// hangs fails the test rather than stopping it.
inline Outcome RunToolInto(Output output,
                           const std::vector<std::string>& args,
                           const std::string& configuration = "",
                           int limitSeconds = 0,
                           const Launch& launch = {}) {
  static int counter = 0;
  // CTest runs each test case as a process of its own, several at once: the
  // process id keeps their files apart.
  std::string stem = ::testing::TempDir() + "modelhost_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
  std::string command = std::string("'") + MODELHOST_PROGRAM + "'";
  if (limitSeconds > 0) command = "timeout -s KILL " + std::to_string(limitSeconds) + " " + command;
  if (!configuration.empty()) {
    std::ofstream(stem + ".json") << configuration;
    command += " --config '" + stem + ".json'";
  }
  for (const std::string& arg : args) command += " '" + arg + "'";
  // In a subshell of its own, so that a limit it sets binds the run and not the redirections.
  if (!launch.before.empty()) command = "(" + launch.before + " exec " + command + ")";
  const std::string& closing = launch.redirections;
  switch (output) {
    case Output::kFile:
      command += " >'" + stem + ".out' 2>'" + stem + ".err' " + closing + "; echo $? >'" + stem + ".status'";
      break;
    case Output::kFullDisk:
      command += " >/dev/full 2>'" + stem + ".err' " + closing + "; echo $? >'" + stem + ".status'";
      break;
    case Output::kClosedPipe:
    case Output::kClosedPipeSignalIgnored:
      command = "{ " + command + " 2>'" + stem + ".err' " + closing + "; echo $? >'" + stem +
                ".status'; } | head -n 1 >'" + stem + ".out'";
      if (output == Output::kClosedPipeSignalIgnored) command = "trap '' PIPE; " + command;
      break;
  }
  Outcome outcome;
  if (std::system(command.c_str()) == -1) ADD_FAILURE() << "the shell could not run " << command;
  std::istringstream(Slurp(stem + ".status")) >> outcome.status;
  outcome.out = Slurp(stem + ".out");
  outcome.err = Slurp(stem + ".err");
  // The files served only this run; leave nothing behind in the temporary folder.
  for (const char* suffix : {".json", ".out", ".err", ".status"}) std::remove((stem + suffix).c_str());
  return outcome;
}

inline Outcome RunTool(const std::vector<std::string>& args,
                       const std::string& configuration = "",
                       int limitSeconds = 0) {
  return RunToolInto(Output::kFile, args, configuration, limitSeconds);
}

// Every line of a jsonl run parses and names its kind first.
inline std::vector<nlohmann::json> JsonLines(const Outcome& outcome) {
  std::vector<nlohmann::json> lines;
  for (const std::string& line : outcome.Lines()) {
    EXPECT_EQ(line.rfind("{\"kind\":", 0), 0u) << line;
    lines.push_back(nlohmann::json::parse(line));
  }
  return lines;
}

// Bad input: status 1, nothing on standard output, and one line on standard error that holds
// the fragment (no warning beside it).
inline void ExpectOneLineError(const Outcome& outcome, const std::string& fragment) {
  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(outcome.out.empty()) << "nothing may reach standard output: " << outcome.out;
  EXPECT_NE(outcome.err.find(fragment), std::string::npos) << outcome.err;
  EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
}

}  // namespace modelhost_test
