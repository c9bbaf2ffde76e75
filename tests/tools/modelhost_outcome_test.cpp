// modelhost's outcomes: the exit status, what stands on standard output for each, and the
// messages on standard error (one line each, bounded, escaped), whatever the input and wherever
// the output goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <signal.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "modelhost_tool.h"

using modelhost_test::ExpectOneLineError;
using modelhost_test::JsonLines;
using modelhost_test::Outcome;
using modelhost_test::Output;
using modelhost_test::RunTool;
using modelhost_test::RunToolInto;
using nlohmann::json;

namespace {

class ModelHostOutcome : public ::testing::Test {};

const char* const kPrefix = "modelhost: ";

// The configuration of examples/model.json.
const char* const kExampleModel = R"({"objects": [
    {"name": "X", "type": "LENGTHDOMAIN", "fix": {"DISCRETIZATIONMETHOD": "OCFE3", "NUMSECTIONS": 3, "LENGTH": 2.5,
     "HIGHESTORDERDERIVATIVE": 2, "SECTION(2).SPACINGPREFERENCE": 0.05}},
    {"name": "T", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}, "fix": {"INTEGRALS": ["idx"]}}]})";

// A domain whose spacing asks for a million nodes, and a value of its distribution fixed at the
// node 5: the size budget of 64 MB refuses the nodes, and the domain keeps two.
const char* const kFixedOverARefusedDomain = R"j({"objects": [
    {"name": "X", "type": "DOMAIN", "fix": {"SPACINGPREFERENCE": 1e-6}},
    {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}, "fix": {"VALUE(5)": 1.0}}]})j";

// The k-th name of a run of names: digits after "X" ("X12"), or letters only ("XBM").
std::string NameOf(int k, bool letters) {
  if (!letters) return "X" + std::to_string(k);
  std::string name = "X";
  for (int n = k;; n /= 26) {
    name += static_cast<char>('A' + n % 26);
    if (n < 26) return name;
  }
}

// The lines of standard error that start with `prefix`.
long CountStartingWith(const Outcome& run, const std::string& prefix) {
  const std::vector<std::string> lines = run.ErrorLines();
  return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
}

}  // namespace

TEST_F(ModelHostOutcome, OutputThatCannotBeWrittenEndsWithStatusThreeAndSaysSo) {
  // Each format and what is written besides the report: to a full disk the run fails with status
  // 3 and its last line on standard error says so; to a file the same run succeeds (or ends with
  // 2, its cycle failing, and then its messages stand before that line too).
  const struct {
    std::vector<std::string> args;
    const char* configuration;
    int statusToAFile;
  } cases[] = {
      {{}, "", 0},
      {{"--format", "jsonl"}, "", 0},
      {{"--summary"}, "", 0},
      {{"--format", "jsonl", "--summary"}, "", 0},
      {{"--distribution", "DISTRIBUTION2D", "--sections", "10", "--format", "jsonl"}, "", 0},
      {{"--print-default-config"}, "", 0},
      {{"--help"}, "", 0},
      {{"--format", "jsonl"}, R"({"objects": [{"name": "D", "type": "DISTRIBUTION1D"}]})", 2},
  };
  for (const auto& c : cases) {
    const Outcome file = RunTool(c.args, c.configuration);
    SCOPED_TRACE((c.args.empty() ? std::string("(no option)") : c.args.front()) + ": " + file.err);
    EXPECT_EQ(file.status, c.statusToAFile);
    EXPECT_FALSE(file.out.empty());
    const Outcome full = RunToolInto(Output::kFullDisk, c.args, c.configuration);
    EXPECT_EQ(full.status, 3) << full.err;
    const std::vector<std::string> errors = full.ErrorLines();
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back().rfind("modelhost: standard output could not be written (", 0), 0u) << full.err;
    EXPECT_NE(errors.back().find("); what it holds is cut short"), std::string::npos) << full.err;
    // The cycle's messages are given all the same, before it.
    const std::vector<std::string> said = file.ErrorLines();
    EXPECT_EQ(std::vector<std::string>(errors.begin(), errors.end() - 1), said);
  }
}

TEST_F(ModelHostOutcome, AReaderThatClosesThePipeEarlyIsNoFailure) {
  // A report of megabytes read up to its first line: the closed pipe's signal ends the run without
  // a word; where the signal is ignored the run meets a failed write, says nothing and ends with
  // the status it has. A run started with the signal ignored (by whatever runs the tests) is the
  // second kind in both.
  struct sigaction inherited = {};
  sigaction(SIGPIPE, nullptr, &inherited);
  const bool ignored = inherited.sa_handler == SIG_IGN;
  const std::vector<std::string> model = {"--distribution", "DISTRIBUTION2D", "--sections", "10"};
  for (const char* format : {"text", "jsonl"}) {
    std::vector<std::string> args = model;
    args.insert(args.end(), {"--format", format});
    const Outcome file = RunTool(args);
    ASSERT_EQ(file.status, 0) << file.err;
    ASSERT_GT(file.out.size(), 1000000u);
    const std::string first = file.Lines().front() + "\n";
    for (Output output : {Output::kClosedPipe, Output::kClosedPipeSignalIgnored}) {
      SCOPED_TRACE(std::string(format) + (output == Output::kClosedPipe ? ", the signal" : ", the signal ignored"));
      const Outcome piped = RunToolInto(output, args);
      EXPECT_EQ(piped.out, first);
      EXPECT_EQ(piped.err, "");
      EXPECT_EQ(piped.status, output == Output::kClosedPipe && !ignored ? 128 + SIGPIPE : 0);
    }
  }
}

TEST_F(ModelHostOutcome, StatusTwoWritesTheReportWhenTheCycleRanAndNothingWhenItDidNot) {
  // Refused before the cycle (an object, the configuration file's document): nothing on standard
  // output, one line on standard error. Refused in the cycle (a grid, a domain's nodes): the
  // report, its summary with the same messages as standard error.
  const struct {
    std::vector<std::string> args;
    const char* configuration;
    bool cycleRan;
    const char* fragment;
  } cases[] = {
      {{"--memory-budget", "1KB"}, "", false, "object \"X\": the host holds"},
      {{"--memory-budget", "2KB"}, kExampleModel, false, "a JSON document of 19 values would take about"},
      {{"--memory-budget", "64MB", "--distribution", "DISTRIBUTION3D", "--sections", "40"},
       "",
       true,
       "D: its arrays and equations:"},
      {{"--memory-budget", "64MB"}, kFixedOverARefusedDomain, true, "1000001 elements would take about"},
  };
  for (const auto& c : cases) {
    for (const char* format : {"text", "jsonl"}) {
      for (const bool summary : {false, true}) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--format", format});
        if (summary) args.push_back("--summary");
        const Outcome run = RunTool(args, c.configuration);
        SCOPED_TRACE(std::string(c.fragment) + ", " + format + (summary ? ", summary" : ""));
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find(c.fragment), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("size budget"), std::string::npos) << run.err;
        if (!c.cycleRan) {
          EXPECT_EQ(run.out, "");
          EXPECT_EQ(run.ErrorLines().size(), 1u) << run.err;
          continue;
        }
        ASSERT_FALSE(run.out.empty());
        if (std::string(format) == "text") {
          EXPECT_EQ(run.out.rfind("objects ", 0), 0u) << run.out.substr(0, 200);
          continue;
        }
        const json last = JsonLines(run).back();
        EXPECT_EQ(last["kind"], "summary");
        std::vector<std::string> said;
        for (const std::string& line : run.ErrorLines()) said.push_back(line.substr(std::string(kPrefix).size()));
        EXPECT_EQ(last["errors"], json(said));
      }
    }
  }
}

TEST_F(ModelHostOutcome, AReportWhoseTablesDoNotFitEndsWithTheRefusalInItsOwnWords) {
  // 300 domains of 100 sections fill most of a budget of 16 MB: the later domains are refused,
  // and the report's own table of what it visits would not fit either. The report stops there:
  // status 2, the models' refusals, and last the report's, by what did not fit and the limit, not
  // as memory that ran out.
  json objects = json::array();
  for (int k = 0; k < 300; ++k)
    objects.push_back({{"name", "D" + std::to_string(k)}, {"type", "DOMAIN"}, {"fix", {{"NUMSECTIONS", 100}}}});
  const std::string configuration = json({{"objects", objects}}).dump();
  for (const char* format : {"text", "jsonl"}) {
    SCOPED_TRACE(format);
    const Outcome run = RunTool({"--memory-budget", "16MB", "--format", format}, configuration);
    EXPECT_EQ(run.status, 2) << run.err;
    const std::vector<std::string> errors = run.ErrorLines();
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back().rfind("modelhost: the report: ", 0), 0u) << run.err;
    EXPECT_NE(errors.back().find("the size budget of 16.00 MB; refused"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("out of memory"), std::string::npos) << run.err;
    EXPECT_EQ(CountStartingWith(run, "modelhost: the report: "), 1);
  }
}

TEST_F(ModelHostOutcome, ARefusalThatCutADomainIsGivenBeforeTheFixedValueItLeftOutside) {
  // The size budget refused the domain its million nodes and it kept two: that is the cause, said
  // first, with status 2; the value fixed at node 5, outside the nodes kept, follows it.
  const Outcome run = RunTool({"--memory-budget", "64MB"}, kFixedOverARefusedDomain);
  EXPECT_EQ(run.status, 2) << run.err;
  const std::vector<std::string> errors = run.ErrorLines();
  ASSERT_GE(errors.size(), 2u) << run.err;
  EXPECT_EQ(errors.front().rfind("modelhost: domain X, section 1: the nodes of the sections up to it: 1000001 elements "
                                 "would take about ",
                                 0),
            0u)
      << run.err;
  EXPECT_NE(errors.front().find("the size budget of 64.00 MB; refused"), std::string::npos) << run.err;
  EXPECT_EQ(errors.back(),
            "modelhost: D.VALUE(5) is fixed, but the element D.VALUE(5) lies outside the index set D.TQ_VALUE_SET1 "
            "{0,1} of D.VALUE once the assignments have run");
  EXPECT_EQ(run.out.rfind("objects 2, equations 0,", 0), 0u) << run.out;
  // Where no model failed, the same value outside the nodes is bad input.
  ExpectOneLineError(RunTool({}, R"j({"objects": [{"name": "X", "type": "DOMAIN"},
      {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}, "fix": {"VALUE(500)": 1.0}}]})j"),
                     "D.VALUE(500) is fixed, but the element D.VALUE(500) lies outside the index set");
}

TEST_F(ModelHostOutcome, RepeatedMessagesAreBoundedWhateverTheNamesTheyQuote) {
  // Warnings and errors alike: of thousands of objects that each draw the same message, ten are
  // given and one line counts the rest, whether their names end in digits or are letters only.
  const struct {
    const char* what;
    int count;
    int status;
    std::string prefix;
    std::string form;
  } cases[] = {
      {"INTEGRALS none computes",
       5000,
       0,
       "modelhost: warning: ",
       "@: INTEGRALS holds \"bogus\", which DISTRIBUTION#D does not compute (its integrals are idx); it selects "
       "nothing"},
      {"a section's node count",
       1500,
       2,
       kPrefix,
       "domain @, section #: its NODECOUNT is -#; a section's length holds one node interval at least"},
  };
  for (const auto& c : cases) {
    for (const bool letters : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (letters ? ", names of letters" : ", names with digits"));
      json objects = json::array();
      const bool warning = c.status == 0;
      if (warning) objects.push_back({{"name", "Y"}, {"type", "DOMAIN"}});
      for (int k = 0; k < c.count; ++k) {
        if (warning)
          objects.push_back({{"name", NameOf(k, letters)},
                             {"type", "DISTRIBUTION1D"},
                             {"links", {{"XDOMAIN", "Y"}}},
                             {"fix", {{"INTEGRALS", {"bogus"}}}}});
        else
          objects.push_back(
              {{"name", NameOf(k, letters)}, {"type", "DOMAIN"}, {"fix", {{"SECTION(1).NODECOUNT", -1}}}});
      }
      const Outcome run = RunTool({"--summary"}, json({{"objects", objects}}).dump());
      EXPECT_EQ(run.status, c.status) << run.err.substr(0, 2000);
      const std::vector<std::string> errors = run.ErrorLines();
      ASSERT_EQ(errors.size(), 11u) << run.err.substr(0, 2000);
      EXPECT_EQ(CountStartingWith(run, c.prefix), 11);
      // The first ten as they were given, of the first ten objects.
      for (int k = 0; k < 10; ++k) {
        const std::string start = warning ? NameOf(k, letters) + ": INTEGRALS holds \"bogus\""
                                          : "domain " + NameOf(k, letters) + ", section 1: its NODECOUNT is -1";
        EXPECT_EQ(errors[static_cast<std::size_t>(k)].rfind(c.prefix + start, 0), 0u) << errors[k];
      }
      EXPECT_EQ(
          errors.back(),
          c.prefix + std::to_string(c.count - 10) + " more messages of the form \"" + c.form + "\" were left out");
    }
  }
}

TEST_F(ModelHostOutcome, ControlCharactersInMessagesAreWrittenEscaped) {
  // What a message quotes (a link's target, a type, an option's value, an unknown option) is
  // written with its control characters escaped as a NUL is: the message stays one line, and
  // nothing in it acts on a terminal. Valid UTF-8 stays as it is.
  const struct {
    std::vector<std::string> args;
    const char* configuration;
    const char* shown;
  } cases[] = {
      {{},
       R"({"objects": [{"name": "X", "type": "DOMAIN"},
           {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "Q\nmodelhost: fake line"}}]})",
       R"(D.XDOMAIN: no object named "Q\u000amodelhost: fake line" to link to)"},
      {{},
       R"({"objects": [{"name": "X", "type": "DOMAIN"},
           {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "Q\u001b[31mRED\u007f\r\u009b"}}]})",
       R"(no object named "Q\u001b[31mRED\u007f\u000d\u009b" to link to)"},
      {{},
       R"({"objects": [{"name": "X", "type": "DOMAIN"},
           {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "Qé€\t"}}]})",
       "no object named \"Q\xc3\xa9\xe2\x82\xac\\u0009\" to link to"},
      {{}, R"({"objects": [{"name": "X", "type": "DOM\u001bAIN"}]})", R"(the unknown type "DOM\u001bAIN")"},
      {{"--format", "\x1b[2J\x7f"}, "", R"(--format "\u001b[2J\u007f" is none of the formats)"},
      {{"--bad\x1b]0;title\x07"}, "", R"(--bad\u001b]0;title\u0007)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    const Outcome run = RunTool(c.args, c.configuration);
    ExpectOneLineError(run, c.shown);
    for (std::size_t k = 0; k + 1 < run.err.size(); ++k) {
      const auto byte = static_cast<unsigned char>(run.err[k]);
      EXPECT_TRUE(byte >= 0x20 && byte != 0x7f) << "byte " << k << " of " << run.err;
    }
  }
}

TEST_F(ModelHostOutcome, BadInputIsItsOneMessageWithoutTheWarningsOfTheConfiguration) {
  // A distribution whose INTEGRALS draws a warning, in configurations found bad before, in and
  // after the cycle's assignments: standard error holds the one message. Without the fault the
  // warning is given.
  const std::string warned = R"({"name": "X", "type": "DOMAIN"},
      {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}, "fix": {"INTEGRALS": ["bogus"]}})";
  const struct {
    const char* fault;
    const char* fragment;
  } cases[] = {
      {R"j({"name": "E", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}, "fix": {"VALUE(100)": 1.0}})j",
       "E.VALUE(100) is fixed, but the element E.VALUE(100) lies outside the index set"},
      {R"({"name": "Y", "type": "DOMAIN", "fix": {"TQ_SECTION_SET1": [1, 2]}})", "an index set cannot be fixed"},
      {R"({"name": "Y", "type": "DOMAIN", "fix": {"NUMSECTIONS": 0}})", "lower bound"},
  };
  const Outcome clean = RunTool({"--summary"}, "{\"objects\": [" + warned + "]}");
  EXPECT_EQ(clean.status, 0) << clean.err;
  EXPECT_EQ(CountStartingWith(clean, "modelhost: warning: D: INTEGRALS holds \"bogus\""), 1) << clean.err;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fragment);
    ExpectOneLineError(RunTool({"--summary"}, "{\"objects\": [" + warned + ", " + c.fault + "]}"), c.fragment);
  }
}

TEST_F(ModelHostOutcome, BadInputGetsOneLineAndANonZeroStatus) {
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
  ExpectOneLineError(
      RunTool({}, R"({"objects": [{"name": "M", "type": "GENERICMODEL", "links": {"USERNOTES": "Q"}}]})"),
      "no object named");
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "M", "type": "GENERICMODEL", "colour": 1}]})"),
                     "unknown key");
  ExpectOneLineError(RunTool({"--config", "/nonexistent/modelhost.json"}), "cannot read");
  ExpectOneLineError(RunTool({"--library", "/nonexistent/NoSuchLibrary.so"}), "NoSuchLibrary");
}

TEST_F(ModelHostOutcome, ValuesOutOfRangeAndBadLinksAreRefused) {
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"NUMSECTIONS": 0}}]})"),
                     "lower bound");
  ExpectOneLineError(
      RunTool({}, R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "RK4"}}]})"),
      "valid set");
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"NUMSECTIONS": 1.5}}]})"),
                     "wrong kind");
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "M", "type": "GENERICMODEL"},
      {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "M"}}]})"),
                     "is not of type");
  ExpectOneLineError(RunTool({"--config", "x.json", "--method", "BFD1"}), "cannot be combined");
}

TEST_F(ModelHostOutcome, BadInputFoundAnywhereGetsOneLineAndStatusOne) {
  const std::string dir = ::testing::TempDir();
  const struct {
    std::vector<std::string> args;
    const char* configuration;  // written to a file and given with --config when not empty
    const char* fragment;
  } cases[] = {
      {{},
       R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"LENGTH": 1e400}}]})",
       "holds a number too large for a double"},
      {{},
       R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"NUMSECTIONS": 18446744073709551615}}]})",
       "X.NUMSECTIONS: the integer 18446744073709551615 lies outside the 32-bit range"},
      {{},
       R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"NUMSECTIONS": 9223372036854775808}}]})",
       "the integer 9223372036854775808 lies outside the 32-bit range"},
      {{},
       R"({"objects": [{"name": "D", "type": "DISTRIBUTION1D", "fix": {"INTEGRALS": [1, 4294967297]}}]})",
       "not all texts or all integers within the 32-bit range"},
      {{},
       R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"NUMSECTIONS\u0000X": 2}}]})",
       "the property path \"X.NUMSECTIONS\\u0000X\" holds a NUL character"},
      {{},
       R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "CFD4\u0000"}}]})",
       "X.DISCRETIZATIONMETHOD: the text \"CFD4\\u0000\" holds a NUL character"},
      {{},
       R"({"objects": [{"name": "D", "type": "DISTRIBUTION1D", "fix": {"INTEGRALS": ["idx\u0000y"]}}]})",
       "the set member \"idx\\u0000y\" holds a NUL character"},
      {{},
       R"({"objects": [{"name": "X", "type": "DOMAIN"},
                           {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X\u0000Y"}}]})",
       "holds a NUL character"},
      {{"--config", ""}, "", "--config was given an empty file name"},
      {{"--config", dir}, "", "is a directory, not a configuration file"},
      // Elements fixed outside the sets the assignments settle on.
      {{},
       R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"SECTION(0).LOCATION": 0.5}}]})",
       "X.SECTION(0).LOCATION is fixed, but the element X.SECTION(0) lies outside the index set X.TQ_SECTION_SET1 {1}"},
      {{},
       R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"NUMSECTIONS": 2, "SECTION(-1).LENGTH": 0.5}}]})",
       "the element X.SECTION(-1) lies outside the index set X.TQ_SECTION_SET1 {1,2}"},
      {{},
       R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"NUMSECTIONS": 3, "SECTION(4).LENGTH": 0.5}}]})",
       "the element X.SECTION(4) lies outside the index set X.TQ_SECTION_SET1 {1,2,3}"},
      {{},
       R"j({"objects": [{"name": "X", "type": "DOMAIN"},
          {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}, "fix": {"VALUE(100000000)": 1.0}}]})j",
       "D.VALUE(100000000) is fixed, but the element D.VALUE(100000000) lies outside the index set D.TQ_VALUE_SET1 "
       "{0,1,2,3,4,5,6,7,8}"},
      // An index set the model computes from its other values.
      {{},
       R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"TQ_SECTION_SET1": [1, 2]}}]})",
       "X.TQ_SECTION_SET1 is fixed, but it is an index set that its model computes; an index set cannot be fixed"},
      {{},
       R"j({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"TQ_SECTION_SET1": [1]}},
          {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}, "fix": {"TQ_IDX_SET1": []}}]})j",
       "X.TQ_SECTION_SET1 and D.TQ_IDX_SET1 are fixed, but they are index sets that their models compute"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fragment);
    ExpectOneLineError(RunTool(c.args, c.configuration), c.fragment);
  }
  // An element fixed before the assignments make it stays valid.
  Outcome later = RunTool({"--format", "jsonl"}, R"({"objects": [{"name": "X", "type": "DOMAIN",
      "fix": {"SECTION(3).SPACINGPREFERENCE": 0.05, "NUMSECTIONS": 3}}]})");
  EXPECT_EQ(later.status, 0) << later.err;
  EXPECT_NE(later.out.find(R"("path":"X.SECTION(3).SPACINGPREFERENCE","value":0.05)"), std::string::npos);
}
