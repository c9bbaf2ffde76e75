// The peak resident size of modelhost, run as a program, over every input that scales its memory
// (sections, nodes and elements, polynomial points, the members of a set, the length of a text,
// numbers of objects and of models, the configuration's own text, values fixed on every element of
// an array, the report in each of its formats), at size budgets of 64 MB and
// 2 GB: either the run is taken and its peak stays within the budget and a fixed margin, or the
// model is refused first, with its size and the limit, and the peak stays within them as well.
//
// Each input is sized to need more than 64 MB and less than 2 GB, so that the smaller budget
// refuses it and the larger one takes it; an input far past 2 GB is refused by both. The peak is
// the resident size the kernel recorded for the child (wait4), which counts what this program
// held when it started the child: the margin covers that, the program's code and libraries, and
// the slack between what the host counts and what the C library keeps.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr std::int64_t kMegabyte = std::int64_t{1} << 20;
constexpr std::int64_t kMargin = 32 * kMegabyte;

struct Budget {
  const char* option;  // as given to --memory-budget
  std::int64_t bytes;
  const char* shown;  // as the refusals show it
};
constexpr Budget kBudgets[] = {{"64MB", 64 * kMegabyte, "64.00 MB"}, {"2GB", 2048 * kMegabyte, "2.00 GB"}};

// How a run ends at a budget: refused by it, or taken (it may still fail for another reason, as
// a grid without coordinates does, but not for its size).
enum class End { kRefused, kTaken };

struct Input {
  const char* name;  // the test's name
  // The options of modelhost; a configuration written by `write` is added when one is given.
  std::vector<std::string> options;
  std::function<void(std::ostream&)> write;
  End at64MB;
  End at2GB;
  // Whether the whole report is written, not its summary alone.
  bool wholeReport = false;
};

// Writes a configuration of domain X, fixed as given (JSON members), and a DISTRIBUTION1D over it.
std::function<void(std::ostream&)> OneAxis(const std::string& fix) {
  return [fix](std::ostream& out) {
    out << R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {)" << fix << R"(}},)"
        << R"({"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}}]})";
  };
}

// Writes `count` objects, the k-th by `entry`, after the objects `first` (JSON entries, or none).
std::function<void(std::ostream&)> Many(int count,
                                        const std::string& first,
                                        const std::function<void(std::ostream&, int)>& entry) {
  return [=](std::ostream& out) {
    out << R"({"objects": [)" << first;
    for (int k = 0; k < count; ++k) {
      if (k > 0 || !first.empty()) out << ",";
      entry(out, k);
    }
    out << "]}";
  };
}

// Writes the objects `first` (JSON entries) and the object `name` (its members before "fix"), with the values `fix(k)`
// for k = 0 to count - 1 (JSON members, in descending order of k: the order of the text is no matter).
std::function<void(std::ostream&)> FixedOneByOne(const std::string& first,
                                                 const std::string& name,
                                                 int count,
                                                 const std::function<void(std::ostream&, int)>& fix) {
  return [=](std::ostream& out) {
    out << R"({"objects": [)" << first << (first.empty() ? "" : ", ") << name << R"(, "fix": {)";
    for (int k = count; k-- > 0;) {
      fix(out, k);
      if (k > 0) out << ",";
    }
    out << "}}]}";
  };
}

// Writes `domains` domains of `sections` sections each.
std::function<void(std::ostream&)> DomainsOfSections(int domains, int sections) {
  return [=](std::ostream& out) {
    out << R"({"objects": [)";
    for (int k = 0; k < domains; ++k)
      out << (k > 0 ? "," : "") << R"({"name": "X)" << k << R"(", "type": "DOMAIN", "fix": {"NUMSECTIONS": )"
          << sections << "}}";
    out << "]}";
  };
}

const char kThreeDomains[] =
    R"({"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "BFD1", "NUMSECTIONS": 2}},)"
    R"({"name": "Y", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "BFD1", "NUMSECTIONS": 2}},)"
    R"({"name": "Z", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "BFD1", "NUMSECTIONS": 2}})";

const std::vector<Input>& Inputs() {
  using E = End;
  static const std::vector<Input> inputs = {
      {"Sections", {}, OneAxis(R"("DISCRETIZATIONMETHOD": "BFD1", "NUMSECTIONS": 20000)"), E::kRefused, E::kTaken},
      {"SectionsPastAnyBudget",
       {},
       OneAxis(R"("DISCRETIZATIONMETHOD": "BFD1", "NUMSECTIONS": 2000000000)"),
       E::kRefused,
       E::kRefused},
      {"NodesFixedByHand",
       {},
       OneAxis(R"("DISCRETIZATIONMETHOD": "CFD4", "NUMSECTIONS": 1, "SECTION(1).NODECOUNT": 100000)"),
       E::kRefused,
       E::kTaken},
      {"NodesFixedByHandPastAnyBudget",
       {},
       OneAxis(R"("DISCRETIZATIONMETHOD": "CFD4", "NUMSECTIONS": 1, "SECTION(1).NODECOUNT": 2000000000)"),
       E::kRefused,
       E::kRefused},
      {"CollocationNodes",
       {},
       OneAxis(R"("DISCRETIZATIONMETHOD": "OCFE3", "HIGHESTORDERDERIVATIVE": 2, "NUMSECTIONS": 1,)"
               R"( "SECTION(1).NODECOUNT": 99999)"),
       E::kRefused,
       E::kTaken},
      {"CollocationNodesPastAnyBudget",
       {},
       OneAxis(R"("DISCRETIZATIONMETHOD": "OCFE3", "HIGHESTORDERDERIVATIVE": 2, "NUMSECTIONS": 1,)"
               R"( "SECTION(1).NODECOUNT": 2000000000)"),
       E::kRefused,
       E::kRefused},
      {"NodesFromTheSpacing", {}, OneAxis(R"("NUMSECTIONS": 1, "SPACINGPREFERENCE": 1e-5)"), E::kRefused, E::kTaken},
      {"NodesFromTheSpacingPastAnyBudget",
       {},
       OneAxis(R"("NUMSECTIONS": 1, "SPACINGPREFERENCE": 1e-9)"),
       E::kRefused,
       E::kRefused},
      {"NodesFromTheMinimumCount", {}, OneAxis(R"("NUMSECTIONS": 1, "MINNODECOUNT": 100000)"), E::kRefused, E::kTaken},
      {"NodesFromTheMinimumCountPastAnyBudget",
       {},
       OneAxis(R"("NUMSECTIONS": 1, "MINNODECOUNT": 1000000000)"),
       E::kRefused,
       E::kRefused},
      // The points of the elements beyond the two that OCFE2 places lie at 0: the grid is an error
      // when taken, but not for its size.
      {"PolynomialPoints",
       {},
       OneAxis(R"("DISCRETIZATIONMETHOD": "OCFE2", "NUMSECTIONS": 1, "NUMPOLYPOINTS": 300000)"),
       E::kRefused,
       E::kTaken},
      {"PolynomialPointsPastAnyBudget",
       {},
       OneAxis(R"("DISCRETIZATIONMETHOD": "OCFE2", "NUMSECTIONS": 1, "NUMPOLYPOINTS": 100000000)"),
       E::kRefused,
       E::kRefused},
      {"ElementsOfTwoAxes", {"--distribution", "DISTRIBUTION2D", "--sections", "30,30"}, {}, E::kRefused, E::kTaken},
      {"ElementsOfTwoAxesPastAnyBudget",
       {"--distribution", "DISTRIBUTION2D", "--sections", "1000,1000"},
       {},
       E::kRefused,
       E::kRefused},
      {"ElementsOfALongSecondAxis",
       {"--distribution", "DISTRIBUTION2D", "--sections", "1,3000", "--order", "1"},
       {},
       E::kRefused,
       E::kTaken},
      {"ElementsOfALongSecondAxisPastAnyBudget",
       {"--distribution", "DISTRIBUTION2D", "--sections", "1,2000000000", "--order", "1"},
       {},
       E::kRefused,
       E::kRefused},
      {"ElementsOfThreeAxes", {"--distribution", "DISTRIBUTION3D", "--sections", "5,5,5"}, {}, E::kRefused, E::kTaken},
      {"ElementsOfThreeAxesPastAnyBudget",
       {"--distribution", "DISTRIBUTION3D", "--sections", "30,30,30"},
       {},
       E::kRefused,
       E::kRefused},
      {"MembersOfASet",
       {},
       Many(1,
            R"({"name": "X", "type": "DOMAIN", "fix": {"NUMSECTIONS": 1}})",
            [](std::ostream& out, int) {
              out << R"({"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}, "fix": {"INTEGRALS": [)";
              for (int m = 0; m < 1000000; ++m) out << (m > 0 ? "," : "") << "\"selector" << m << "\"";
              out << "]}}";
            }),
       E::kRefused,
       E::kTaken},
      {"ALongText",
       {},
       Many(1,
            "",
            [](std::ostream& out, int) {
              out << R"({"name": "G", "type": "GENERICMODEL", "fix": {"USERNOTES": ")" << std::string(20000000, 'x')
                  << "\"}}";
            }),
       E::kRefused,
       E::kTaken},
      {"Objects",
       {},
       Many(250000,
            "",
            [](std::ostream& out, int k) { out << R"({"name": "G)" << k << R"(", "type": "GENERICMODEL"})"; }),
       E::kRefused,
       E::kTaken},
      {"Domains",
       {},
       Many(10000,
            "",
            [](std::ostream& out, int k) {
              out << R"({"name": "X)" << k << R"(", "type": "DOMAIN", "fix": {"NUMSECTIONS": 2}})";
            }),
       E::kRefused,
       E::kTaken},
      {"DistributionsOverTheSameDomains",
       {},
       Many(50,
            kThreeDomains,
            [](std::ostream& out, int k) {
              out << R"({"name": "D)" << k << R"(", "type": "DISTRIBUTION3D",)"
                  << R"( "links": {"XDOMAIN": "X", "YDOMAIN": "Y", "ZDOMAIN": "Z"},)"
                  << R"( "fix": {"INTEGRALS": ["idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"]}})";
            }),
       E::kRefused,
       E::kTaken},
      // Arrays nested four million deep, in a text of eight megabytes: the reader's stack and the
      // document grow with the depth. Taken, the configuration is bad input, said in a line.
      // A value fixed on every element of an array: each element is admitted before it is made.
      {"SpacingFixedForEverySection",
       {},
       FixedOneByOne("",
                     R"({"name": "X", "type": "DOMAIN")",
                     20000,
                     [](std::ostream& out, int k) {
                       if (k == 19999) out << R"("NUMSECTIONS": 20000, )";
                       out << "\"SECTION(" << k + 1 << ").SPACINGPREFERENCE\": 0.5";
                     }),
       E::kRefused,
       E::kTaken},
      {"SpacingFixedForEverySectionPastAnyBudget",
       {},
       FixedOneByOne("",
                     R"({"name": "X", "type": "DOMAIN")",
                     500000,
                     [](std::ostream& out, int k) {
                       if (k == 499999) out << R"("NUMSECTIONS": 500000, )";
                       out << "\"SECTION(" << k + 1 << ").SPACINGPREFERENCE\": 0.5";
                     }),
       E::kRefused,
       E::kRefused},
      {"ValueFixedForEveryNode",
       {},
       FixedOneByOne(R"({"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "BFD1", "NUMSECTIONS": 1,)"
                     R"( "SECTION(1).NODECOUNT": 127999}})",
                     R"({"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"})",
                     128000,
                     [](std::ostream& out, int k) { out << "\"VALUE(" << k << ")\": 1.0"; }),
       E::kRefused,
       E::kTaken},
      {"PolynomialPointsFixedOneByOne",
       {},
       FixedOneByOne("",
                     R"({"name": "X", "type": "DOMAIN")",
                     200000,
                     [](std::ostream& out, int k) {
                       if (k == 199999)
                         out << R"("DISCRETIZATIONMETHOD": "OCFE2", "NUMSECTIONS": 1, "NUMPOLYPOINTS": 200000, )";
                       out << "\"POLYPOINT(" << k + 1 << ")\": " << (k + 1) / 200001.0;
                     }),
       E::kRefused,
       E::kTaken},
      {"ValueFixedAlongTheFirstAxisOfTwo",
       {},
       FixedOneByOne(R"({"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "BFD1", "NUMSECTIONS": 1,)"
                     R"( "SECTION(1).NODECOUNT": 63999}},)"
                     R"({"name": "Y", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "BFD1", "NUMSECTIONS": 1,)"
                     R"( "SECTION(1).NODECOUNT": 1}})",
                     R"({"name": "D", "type": "DISTRIBUTION2D", "links": {"XDOMAIN": "X", "YDOMAIN": "Y"})",
                     64000,
                     [](std::ostream& out, int k) { out << "\"VALUE(" << k << ",1)\": 1.0"; }),
       E::kRefused,
       E::kTaken},
      // The report's own tables are admitted with the models' elements, in every format.
      {"SectionsOfManyDomainsReportedInSummary", {}, DomainsOfSections(1000, 100), E::kRefused, E::kTaken},
      {"SectionsOfManyDomainsReportedAsText", {}, DomainsOfSections(1000, 100), E::kRefused, E::kTaken, true},
      {"SectionsOfManyDomainsReportedAsJsonLines",
       {"--format", "jsonl"},
       DomainsOfSections(1000, 100),
       E::kRefused,
       E::kTaken,
       true},
      {"NestingOfTheConfiguration",
       {},
       [](std::ostream& out) {
         out << R"({"objects": )" << std::string(4000000, '[') << std::string(4000000, ']') << "}";
       },
       E::kRefused,
       E::kTaken},
  };
  return inputs;
}

// Names for GoogleTest's listings, in place of the bytes of the structures.
void PrintTo(const Input& input, std::ostream* out) { *out << input.name; }
void PrintTo(const Budget& budget, std::ostream* out) { *out << budget.option; }

struct Measured {
  int status = -1;  // the exit status, or -1 when a signal ended it
  std::int64_t peak = 0;
  std::string err;
};

// Runs modelhost with the arguments, its output discarded and its standard error kept, and
// measures the peak resident size of the child.
Measured RunMeasured(const std::vector<std::string>& args, const std::string& errFile) {
  std::vector<std::string> all = {MODELHOST_PROGRAM};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t child = 0;
  Measured measured;
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << argv[0];
    return measured;
  }
  int raw = 0;
  rusage usage{};
  if (wait4(child, &raw, 0, &usage) != child) {
    ADD_FAILURE() << "cannot wait for " << argv[0];
    return measured;
  }
  measured.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  measured.peak = static_cast<std::int64_t>(usage.ru_maxrss) * 1024;  // kilobytes on Linux
  std::ifstream in(errFile);
  std::stringstream text;
  text << in.rdbuf();
  measured.err = text.str();
  return measured;
}

class PeakResidentSize : public ::testing::TestWithParam<std::tuple<Input, Budget>> {};

TEST_P(PeakResidentSize, StaysWithinTheBudgetOrTheModelIsRefusedFirst) {
  const auto& [input, budget] = GetParam();
  const std::string stem = ::testing::TempDir() + "peak_" + std::to_string(getpid());
  std::vector<std::string> args = {"--memory-budget", budget.option};
  if (!input.wholeReport) args.push_back("--summary");
  args.insert(args.end(), input.options.begin(), input.options.end());
  if (input.write) {
    {
      std::ofstream out(stem + ".json");
      input.write(out);
    }
    args.insert(args.end(), {"--config", stem + ".json"});
  }
  const Measured run = RunMeasured(args, stem + ".err");
  std::remove((stem + ".json").c_str());
  std::remove((stem + ".err").c_str());

  const End expected = budget.bytes == kBudgets[0].bytes ? input.at64MB : input.at2GB;
  const std::string limit = std::string("size budget of ") + budget.shown;
  ASSERT_NE(run.status, -1) << "ended by a signal: " << run.err;
  if (expected == End::kRefused) {
    EXPECT_EQ(run.status, 2) << run.err;
    // The refusal gives the limit and the size: what the model would take, or what the host
    // holds already.
    EXPECT_NE(run.err.find(limit), std::string::npos) << run.err;
    EXPECT_TRUE(run.err.find(" would take about ") != std::string::npos ||
                run.err.find("the host holds") != std::string::npos)
        << run.err;
  } else {
    EXPECT_EQ(run.err.find("size budget"), std::string::npos) << run.err;
  }
  EXPECT_LE(run.peak, budget.bytes + kMargin) << "peak " << run.peak / kMegabyte << " MB at " << budget.option;
}

INSTANTIATE_TEST_SUITE_P(EveryInputThatScales,
                         PeakResidentSize,
                         ::testing::Combine(::testing::ValuesIn(Inputs()), ::testing::ValuesIn(kBudgets)),
                         [](const ::testing::TestParamInfo<std::tuple<Input, Budget>>& info) {
                           return std::string(std::get<0>(info.param).name) + "_at" + std::get<1>(info.param).option;
                         });

}  // namespace
