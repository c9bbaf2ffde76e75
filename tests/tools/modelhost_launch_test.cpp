// modelhost started as launchers, cron jobs and sandboxes start it: with standard input, output
// or error closed, or where no child process or pipe can be made. The run is the same run as one
// started plainly, but for what cannot be written (a closed standard output ends it with status
// 3, a closed standard error loses only the messages) and, where the library could not be tried in
// a child process first, one warning that says so.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "closed_descriptors.h"
#include "modelhost_tool.h"

using modelhost_test::Launch;
using modelhost_test::Outcome;
using modelhost_test::Output;
using modelhost_test::RunTool;
using modelhost_test::RunToolInto;

namespace {

const std::string kCutShort =
    "modelhost: standard output could not be written (Bad file descriptor); what it holds is cut short\n";

// Runs that write a report, and one that is refused as bad input before it writes one.
const std::vector<std::vector<std::string>> kRuns = {
    {"--summary"},
    {"--distribution", "DISTRIBUTION2D", "--method", "CFD4,OCFE2", "--integrals", "idx,idy,idxdy", "--format", "jsonl"},
    {"--method", "NOSUCHMETHOD"},
};

class ClosedStandardDescriptors : public ::testing::TestWithParam<int> {};

TEST_P(ClosedStandardDescriptors, TheRunIsThePlainRunButForWhatCannotBeWritten) {
  const int closed = GetParam();  // bit k: descriptor k
  const bool noOutput = closed_descriptors::Closed(closed, 1);
  const bool noError = closed_descriptors::Closed(closed, 2);
  Launch launch;
  if (closed_descriptors::Closed(closed, 0)) launch.redirections += " <&-";
  if (noOutput) launch.redirections += " >&-";
  if (noError) launch.redirections += " 2>&-";
  for (const std::vector<std::string>& args : kRuns) {
    const Outcome plain = RunTool(args);
    ASSERT_TRUE(plain.status == 0 || plain.status == 1) << plain.err;
    const Outcome run = RunToolInto(Output::kFile, args, "", 60, launch);
    SCOPED_TRACE(args.front() + " with" + launch.redirections);
    // A report that cannot be written is cut short; nothing else changes.
    const bool cutShort = noOutput && !plain.out.empty();
    EXPECT_EQ(run.status, cutShort ? 3 : plain.status) << run.err;
    EXPECT_EQ(run.out, noOutput ? std::string() : plain.out);
    EXPECT_EQ(run.err, noError ? std::string() : cutShort ? plain.err + kCutShort : plain.err);
  }
}

INSTANTIATE_TEST_SUITE_P(EverySet, ClosedStandardDescriptors, closed_descriptors::EverySet(), closed_descriptors::Name);

// Descriptors 0 to 5 for the run, as a shell started with `ulimit -n 6` has them: what the test
// program leaves open to its children is closed first, so that 3 to 5 are free (the sanitizers'
// checks of memory take a pipe of their own, and the trial's two pipes then do not fit).
const char* const kSixDescriptors = "exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; ulimit -n 6;";

// Too few descriptors for the trial's pipes (`ulimit -n 6`): the library that passed the file
// check is loaded untried, the run is the plain run, and one warning says why (before the other
// warnings; a run refused as bad input still says only why).
TEST(NoTrialPossible, TooFewDescriptorsLoadTheLibraryUntriedWithOneWarning) {
  for (const std::vector<std::string>& args : kRuns) {
    const Outcome plain = RunTool(args);
    const Outcome run = RunToolInto(Output::kFile, args, "", 60, Launch{kSixDescriptors, ""});
    SCOPED_TRACE(args.front());
    EXPECT_EQ(run.status, plain.status) << run.err;
    EXPECT_EQ(run.out, plain.out);
    if (plain.status == 1) {
      EXPECT_EQ(run.err, plain.err);
      continue;
    }
    const std::vector<std::string> lines = run.ErrorLines();
    ASSERT_EQ(lines.size(), plain.ErrorLines().size() + 1) << run.err;
    EXPECT_EQ(lines.front().rfind("modelhost: warning: the library \"", 0), 0u) << lines.front();
    EXPECT_NE(lines.front().find("Morvane230_1"), std::string::npos) << lines.front();
    EXPECT_NE(lines.front().find("\" was not tried in a child process before it was loaded (no pipe: Too many open "
                                 "files)"),
              std::string::npos)
        << lines.front();
    EXPECT_EQ(run.err.substr(lines.front().size() + 1), plain.err);
  }
}

}  // namespace
