// modelhost run as a program: its default configuration, its options, its
// two output formats and its answers to bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <climits>
#include <set>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "host_test.h"
#include "modelhost_tool.h"
#include "host/tq_executive.h"
#include "types/tq_generic_types.h"
#include "domain/tq_domain.h"
#include "host/vekexp.h"

using modelhost_test::ExpectOneLineError;
using modelhost_test::JsonLines;
using modelhost_test::Outcome;
using modelhost_test::RunTool;
using nlohmann::json;

namespace {

extern "C" TQ_ModelType* DOMAINFactory();
extern "C" TQ_ModelType* DISTRIBUTION1DFactory();
extern "C" TQ_ModelType* DISTRIBUTION2DFactory();
extern "C" TQ_ModelType* DISTRIBUTION3DFactory();

struct Counts {
  std::size_t equations;
  int nonZeros;
  std::size_t groups;
  bool ok;  // the cycle succeeded
};

// The library's own answer for a distribution over one domain per axis (as
// many as methods are given), made in this process through the factories
// and the host's cycle. Each domain takes its method and its number of
// sections, and its order when one is given; the distribution its integrals.
Counts LibraryCountsOver(const std::vector<std::string>& methods,
                         const std::vector<int>& sections,
                         const std::vector<int>& orders,
                         const std::vector<std::string>& integrals) {
  TQ_Executive& host = TQ_Executive::Instance();
  host.Reset();
  std::string error;
  const std::size_t axes = methods.size();
  std::vector<TQ_ModelType*> domains;
  for (std::size_t a = 0; a < axes; ++a) {
    domains.push_back(DOMAINFactory());
    EXPECT_TRUE(host.AddObject(std::string(1, "XYZ"[a]), domains.back(), &error)) << error;
  }
  TQ_ModelType* distribution = axes == 1   ? DISTRIBUTION1DFactory()
                               : axes == 2 ? DISTRIBUTION2DFactory()
                                           : DISTRIBUTION3DFactory();
  EXPECT_TRUE(host.AddObject("D", distribution, &error)) << error;
  auto fix = [&](const std::string& path, const TQ_Value& value) {
    auto* property = dynamic_cast<TQ_VarParamProp*>(host.FindByPath(path, true, &error));
    ASSERT_NE(property, nullptr) << error;
    EXPECT_EQ(property->Fix(value, &error), TQ_ASSIGN_DONE) << error;
  };
  for (std::size_t a = 0; a < axes; ++a) {
    const std::string name(1, "XYZ"[a]);
    fix(name + ".DISCRETIZATIONMETHOD", TQ_Value(methods[a].c_str(), 0u, 0u, 0));
    fix(name + ".NUMSECTIONS", TQ_Value(sections[a], 0u, 0u, 0));
    if (!orders.empty()) fix(name + ".HIGHESTORDERDERIVATIVE", TQ_Value(orders[a], 0u, 0u, 0));
    auto* link = dynamic_cast<TQ_ExternalBase*>(host.FindByPath("D." + name + "DOMAIN", false, &error));
    EXPECT_NE(link, nullptr);
    if (link) {
      EXPECT_TRUE(link->Attach(domains[a], &error)) << error;
    }
  }
  if (!integrals.empty()) {
    TQ_SetValue selected;
    for (const std::string& selector : integrals) selected += selector.c_str();
    fix("D.INTEGRALS", TQ_Value(selected, 0u, 0u, 0));
  }
  const bool ok = host.RunCycle();
  std::set<int> groups;
  for (const TQ_DeclaredEquation& e : host.Declared()) groups.insert(e.group);
  Counts counts{host.Emitted().size(), host.PatternEntriesWritten(), groups.size(), ok};
  host.Reset();
  return counts;
}

Counts LibraryCounts(const char* method, int sections, int order, bool integrals) {
  return LibraryCountsOver(
      {method}, {sections}, {order}, integrals ? std::vector<std::string>{"idx"} : std::vector<std::string>{});
}

// The terms of an equation's text ("DDX(0,1)*X.SECTION(1).ELEMENTLENGTH+...")
// that are not a section's element length, each with the number of its
// indices: every name in capitals directly followed by a parenthesis.
std::vector<std::pair<std::string, int>> IndexedTerms(const std::string& infix) {
  std::vector<std::pair<std::string, int>> terms;
  for (std::size_t open = infix.find('('); open != std::string::npos; open = infix.find('(', open + 1)) {
    std::size_t start = open;
    while (start > 0 && (std::isupper(static_cast<unsigned char>(infix[start - 1])) ||
                         std::isdigit(static_cast<unsigned char>(infix[start - 1])) || infix[start - 1] == '.'))
      --start;
    const std::size_t close = infix.find(')', open);
    if (start == open || close == std::string::npos || !std::isupper(static_cast<unsigned char>(infix[start])))
      continue;
    const std::string name = infix.substr(start, open - start);
    if (name.find("SECTION") != std::string::npos) continue;
    const std::string indices = infix.substr(open + 1, close - open - 1);
    terms.push_back(
        {name + "(" + indices + ")", static_cast<int>(std::count(indices.begin(), indices.end(), ',')) + 1});
  }
  return terms;
}

json Summary(const Outcome& outcome) { return json::parse(outcome.Lines().back()); }

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
  // What an option does not name is the default model's: CFD4, 2 sections, order 2, idx.
  const Case cases[] = {
      {{"--method", "OCFE3", "--sections", "3", "--distribution", "DISTRIBUTION1D"}, "OCFE3", 3, 2, true},
      {{"--method", "BFD2", "--order", "1", "--integrals", "None"}, "BFD2", 2, 1, false},
      {{"--method", "UBFD4", "--domain-type", "LENGTHDOMAIN"}, "UBFD4", 2, 2, true},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("--format");
    args.push_back("jsonl");
    Outcome run = RunTool(args);
    ASSERT_EQ(run.status, 0) << run.err;
    Counts want = LibraryCounts(c.method, c.sections, c.order, c.integrals);
    EXPECT_TRUE(want.ok) << c.method;
    json got = Summary(run);
    EXPECT_EQ(got["equations"], want.equations) << c.method;
    EXPECT_EQ(got["nonzeros"], want.nonZeros) << c.method;
    EXPECT_TRUE(got["declared_matches_emitted"].get<bool>());
  }
}

TEST_F(ModelHostProgram, EquationLinesCarryTheProgramBesideItsDeclaration) {
  const std::vector<std::string> model = {"--method", "BFD1", "--sections", "1", "--order", "1", "--integrals", "None"};
  std::vector<std::string> args = model;
  args.insert(args.end(), {"--format", "jsonl"});
  Outcome run = RunTool(args);
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<json> lines = JsonLines(run);
  auto first = std::find_if(lines.begin(), lines.end(), [](const json& l) { return l["kind"] == "equation"; });
  ASSERT_NE(first, lines.end());
  // D(b)*h+(V(b)-V(b+1)) in the first section, written by hand.
  json program = json::array({json::array({"op", 19}),
                              json::array({"op", 21}),
                              json::array({"var", "D.DDX(0)"}),
                              json::array({"var", "X.SECTION(1).ELEMENTLENGTH"}),
                              json::array({"op", 20}),
                              json::array({"var", "D.VALUE(0)"}),
                              json::array({"var", "D.VALUE(1)"})});
  EXPECT_EQ((*first)["name"], "TQ_Eqn2");
  EXPECT_EQ((*first)["program"], program);
  EXPECT_EQ((*first)["declared"], json::array({"D.DDX(0)", "X.SECTION(1).ELEMENTLENGTH", "D.VALUE(0)", "D.VALUE(1)"}));
  EXPECT_EQ((*first)["group"], (*first)["declared_group"]);
  EXPECT_EQ((*first)["index"], 0);

  bool elementLength = false;
  for (const json& line : lines)
    if (line["kind"] == "value" && line["path"] == "X.SECTION(1).ELEMENTLENGTH") elementLength = line["value"] == 0.125;
  EXPECT_TRUE(elementLength);

  Outcome text = RunTool(model);
  ASSERT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("TQ_Eqn2 (group"), std::string::npos);
  EXPECT_NE(text.out.find("DDX(0)*X.SECTION(1).ELEMENTLENGTH+(VALUE(0)-VALUE(1))"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("section 1: BASE 0, NODECOUNT 8, NUMELEMENTS 8"), std::string::npos);
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

namespace {

// A run over two or three domains from the options, and the same objects as
// the library makes them.
struct AxesCase {
  std::vector<std::string> args;
  std::vector<std::string> methods;
  std::vector<int> sections;
  std::vector<int> orders;
  std::vector<std::string> integrals;
};

const AxesCase kAxesCases[] = {
    {{"--distribution",
      "DISTRIBUTION2D",
      "--method",
      "CFD4,OCFE2",
      "--sections",
      "2",
      "--order",
      "2",
      "--integrals",
      "idx,idy,idxdy"},
     {"CFD4", "OCFE2"},
     {2, 2},
     {2, 2},
     {"idx", "idy", "idxdy"}},
    {{"--distribution", "DISTRIBUTION2D", "--method", "OCFE2", "--sections", "1,2", "--order", "0,2"},
     {"OCFE2", "OCFE2"},
     {1, 2},
     {0, 2},
     {"idx"}},
    {{"--distribution",
      "distribution3d",
      "--method",
      "BFD1,OCFE3,UBFD4",
      "--sections",
      "1",
      "--order",
      "1",
      "--integrals",
      "idxdydz"},
     {"BFD1", "OCFE3", "UBFD4"},
     {1, 1, 1},
     {1, 1, 1},
     {"idxdydz"}},
    {{"--distribution",
      "DISTRIBUTION3D",
      "--method",
      "OCFE2",
      "--sections",
      "1",
      "--order",
      "2,1,2",
      "--integrals",
      "idz,idxdy"},
     {"OCFE2", "OCFE2", "OCFE2"},
     {1, 1, 1},
     {2, 1, 2},
     {"idz", "idxdy"}},
};

// Every term of every equation of D, in its text and in its program, names
// one index per domain.
void ExpectIndicesPerAxis(const Outcome& text, const std::vector<json>& lines, int axes, const std::string& where) {
  std::size_t equations = 0;
  for (const json& line : lines) {
    if (line["kind"] != "equation") continue;
    ++equations;
    for (const json& item : line["program"]) {
      if (item[0] != "var") continue;
      const std::string path = item[1];
      if (path.find(".SECTION(") != std::string::npos) continue;
      // "D.NAME(i,j,k)": a distribution's element, one index per domain.
      const std::size_t open = path.find('(');
      ASSERT_TRUE(path.rfind("D.", 0) == 0 && open != std::string::npos && path.back() == ')') << where << ": " << path;
      const std::string indices = path.substr(open + 1, path.size() - open - 2);
      EXPECT_EQ(indices.find_first_not_of("-0123456789,"), std::string::npos) << where << ": " << path;
      EXPECT_EQ(std::count(indices.begin(), indices.end(), ','), axes - 1) << where << ": " << path;
    }
  }
  std::size_t textEquations = 0;
  for (const std::string& line : text.Lines()) {
    const std::size_t residual = line.find("): ");
    if (line.find("] TQ_Eqn") == std::string::npos || residual == std::string::npos) continue;
    ++textEquations;
    const auto terms = IndexedTerms(line.substr(residual + 3));
    EXPECT_FALSE(terms.empty()) << where << ": " << line;
    for (const auto& [term, indices] : terms) EXPECT_EQ(indices, axes) << where << ": " << term << " in " << line;
  }
  EXPECT_GT(equations, 0u) << where;
  EXPECT_EQ(textEquations, equations) << where;
}

}  // namespace

TEST_F(ModelHostProgram, TwoAndThreeDomainsFromTheOptionsReportWhatTheLibraryProduces) {
  for (const AxesCase& c : kAxesCases) {
    const std::string where = c.args[1] + " " + c.args[3];
    std::vector<std::string> args = c.args;
    Outcome text = RunTool(args);
    ASSERT_EQ(text.status, 0) << where << ": " << text.err;
    args.push_back("--format");
    args.push_back("jsonl");
    Outcome run = RunTool(args);
    ASSERT_EQ(run.status, 0) << where << ": " << run.err;
    std::vector<json> lines = JsonLines(run);
    Counts want = LibraryCountsOver(c.methods, c.sections, c.orders, c.integrals);
    EXPECT_TRUE(want.ok) << where;
    json got = Summary(run);
    EXPECT_EQ(got["objects"], c.methods.size() + 1) << where;
    EXPECT_EQ(got["equations"], want.equations) << where;
    EXPECT_EQ(got["nonzeros"], want.nonZeros) << where;
    EXPECT_EQ(got["groups"], want.groups) << where;
    EXPECT_TRUE(got["declared_matches_emitted"].get<bool>()) << where;
    ExpectIndicesPerAxis(text, lines, static_cast<int>(c.methods.size()), where);
  }
}

TEST_F(ModelHostProgram, AConfigurationFileOverTwoOrThreeDomainsRunsAsTheOptions) {
  const struct {
    std::vector<std::string> args;
    const char* configuration;
  } cases[] = {
      {kAxesCases[0].args, R"({"objects": [
        {"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "CFD4", "NUMSECTIONS": 2, "HIGHESTORDERDERIVATIVE": 2}},
        {"name": "Y", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "OCFE2", "NUMSECTIONS": 2, "HIGHESTORDERDERIVATIVE": 2}},
        {"name": "D", "type": "DISTRIBUTION2D", "links": {"XDOMAIN": "X", "YDOMAIN": "Y"},
         "fix": {"INTEGRALS": ["idx", "idy", "idxdy"]}}]})"},
      {kAxesCases[2].args, R"({"objects": [
        {"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "BFD1", "HIGHESTORDERDERIVATIVE": 1}},
        {"name": "Y", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "OCFE3", "HIGHESTORDERDERIVATIVE": 1}},
        {"name": "Z", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "UBFD4", "HIGHESTORDERDERIVATIVE": 1}},
        {"name": "D", "type": "distribution3d", "links": {"ZDOMAIN": "Z", "YDOMAIN": "Y", "XDOMAIN": "X"},
         "fix": {"INTEGRALS": ["idxdydz"]}}]})"},
  };
  // The JSON lines hold every object, value and equation of the run.
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--format", "jsonl"});
    Outcome options = RunTool(args);
    Outcome file = RunTool({"--format", "jsonl"}, c.configuration);
    ASSERT_EQ(file.status, 0) << file.err;
    EXPECT_EQ(file.out, options.out) << c.args[1];
  }
}

TEST_F(ModelHostProgram, ThePrintedDefaultConfigurationRunsAsTheDefault) {
  Outcome printed = RunTool({"--print-default-config"});
  ASSERT_EQ(printed.status, 0);
  for (const char* format : {"text", "jsonl"}) {
    Outcome defaults = RunTool({"--format", format});
    Outcome file = RunTool({"--format", format}, printed.out);
    ASSERT_EQ(file.status, 0) << file.err;
    EXPECT_EQ(file.out, defaults.out) << format;
  }
}

TEST_F(ModelHostProgram, AHugeSetIsReportedByItsSizeAndEnds) {
  // Elements of two thousand million points: the domain keeps what fits, the
  // distribution refuses the points that are not its method's, and the set of the points is
  // written short.
  const char* const configuration = R"({"objects": [
      {"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "OCFE3", "NUMPOLYPOINTS": 2147483647}},
      {"name": "D", "type": "DISTRIBUTION2D", "links": {"XDOMAIN": "X", "YDOMAIN": "X"}}]})";
  Outcome jsonl = RunTool({"--format", "jsonl"}, configuration);
  EXPECT_EQ(jsonl.status, 2) << jsonl.err;
  bool points = false;
  for (const json& line : JsonLines(jsonl))
    if (line["kind"] == "value" && line["path"] == "X.TQ_POLYPOINT_SET1")
      points = line["value"] == json({{"size", INT_MAX}, {"first", 1}, {"last", INT_MAX}});
  EXPECT_TRUE(points);
  EXPECT_NE(jsonl.err.find("domain X: NUMPOLYPOINTS is fixed at 2147483647, but its method OCFE3 has 2"),
            std::string::npos)
      << jsonl.err;
  Outcome text = RunTool({}, configuration);
  EXPECT_EQ(text.status, 2) << text.err;
  EXPECT_EQ(text.out.rfind("objects 2, equations 0", 0), 0u) << text.out;
}

TEST_F(ModelHostProgram, ValuesTheModelsRefuseGiveStatusTwoAndTheirReason) {
  const struct {
    const char* fix;  // of the domain X
    const char* distributionFix;
    const char* fragment;
  } cases[] = {
      {R"("SECTION(1).LENGTH": 0)", "{}", "domain X, section 1: node 1 (the end of element 1) lies at 0"},
      {R"("SPACINGPREFERENCE": 0)", "{}", "domain X, section 1: LENGTH / SPACINGPREFERENCE is not a finite number"},
      {R"("DISCRETIZATIONMETHOD": "OCFE2", "NUMPOLYPOINTS": 20)", "{}", "domain X, section 1: node 2 (point 2 of"},
      {R"("ENDNODE": -2147483648)", "{}", "D: the domain X (XDOMAIN) has ENDNODE -2147483648"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fragment);
    const std::string configuration = std::string(R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {)") + c.fix +
                                      R"(}}, {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"},
                                      "fix": )" +
                                      c.distributionFix + "}]}";
    Outcome run = RunTool({}, configuration);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find(c.fragment), std::string::npos) << run.err;
  }
}

TEST_F(ModelHostProgram, OrdersUsedOutsideZeroToTwoAreTakenAsTheyComeWithStatusZero) {
  // An order used below 0 acts as 0, and above 2 as 2, without a word (INTEGRALS taken as they
  // come are warned of, below).
  for (const char* order : {"-1", "3", "7"}) {
    SCOPED_TRACE(order);
    const std::string configuration =
        std::string(R"({"objects": [{"name": "X", "type": "DOMAIN"}, {"name": "D", "type": "DISTRIBUTION1D",
                                    "links": {"XDOMAIN": "X"}, "fix": {"HIGHESTORDERXDERIVATIVEUSED": )") +
        order + "}}]}";
    Outcome run = RunTool({"--summary"}, configuration);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
  }
}

TEST_F(ModelHostProgram, JsonLinesAreWrittenAsTheJsonLibraryWritesThem) {
  // Each line, read and written again by the JSON library, keeps every byte: the same key order,
  // the shortest reals, the same escapes (texts with quotes, backslashes, control characters and
  // UTF-8 among them).
  const char* const notes = R"({"objects": [
      {"name": "M", "type": "GENERICMODEL", "fix": {"USERNOTES": "a \"b\" \\ c\td\u0001\n\u00e9\u20ac"}},
      {"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "OCFE3", "NUMSECTIONS": 3, "LENGTH": 0.3}},
      {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}, "fix": {"INTEGRALS": ["idx"]}}]})";
  std::vector<std::pair<std::vector<std::string>, std::string>> runs = {{{"--format", "jsonl"}, ""},
                                                                        {{"--format", "jsonl"}, notes},
                                                                        {{"--format",
                                                                          "jsonl",
                                                                          "--distribution",
                                                                          "DISTRIBUTION3D",
                                                                          "--method",
                                                                          "BFD1,OCFE3,UBFD4",
                                                                          "--sections",
                                                                          "1,2,1",
                                                                          "--integrals",
                                                                          "idx,idxdy,idxdydz"},
                                                                         ""}};
  // The writer looks for characters that need care eight at a time: each kind stands alone in a
  // block of eight, and some in the few characters after the last block.
  for (const char* text : {R"(abcdefghij\"klmnopq)",
                           R"(abcdefghij\\klmnopq)",
                           R"(abcdefghijklmnop\")",
                           R"(abcdefghijklmnop\u0001qrstuvwx)",
                           R"(abcdefghijklmnopqrs\u001f)",
                           R"(abc\u0008defghijkl)",
                           R"(abcdefghi\u00e9jklmnopq)",
                           R"(abcdefgh ~\u007f{}|!#$%&'()*+,-./0123456789)"}) {
    runs.push_back({{"--format", "jsonl"},
                    std::string(R"({"objects": [{"name": "M", "type": "GENERICMODEL", "fix": {"USERNOTES": ")") + text +
                        "\"}}]}"});
  }
  for (const auto& [args, configuration] : runs) {
    Outcome run = RunTool(args, configuration);
    ASSERT_EQ(run.status, 0) << run.err;
    std::size_t values = 0;
    for (const std::string& line : run.Lines()) {
      EXPECT_EQ(nlohmann::ordered_json::parse(line).dump(), line);
      values += line.rfind("{\"kind\":\"value\"", 0) == 0;
    }
    EXPECT_GT(values, 0u);
  }
}

TEST_F(ModelHostProgram, TheSummaryAloneIsTheSummaryOfTheFullReport) {
  // A run that succeeds and one that fails (its errors are in the summary).
  const char* const failing = R"({"objects": [
      {"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "OCFE3", "NUMPOLYPOINTS": 2147483647}},
      {"name": "D", "type": "DISTRIBUTION2D", "links": {"XDOMAIN": "X", "YDOMAIN": "X"}}]})";
  for (const char* configuration : {"", failing}) {
    for (const char* format : {"text", "jsonl"}) {
      Outcome full = RunTool({"--format", format}, configuration);
      Outcome summary = RunTool({"--format", format, "--summary"}, configuration);
      EXPECT_EQ(summary.status, full.status) << format;
      EXPECT_EQ(summary.err, full.err) << format;
      const std::vector<std::string> lines = full.Lines();
      ASSERT_FALSE(lines.empty());
      const std::string expected = std::string(format) == "text" ? lines.front() : lines.back();
      EXPECT_EQ(summary.out, expected + "\n") << format;
    }
  }
}

TEST_F(ModelHostProgram, ALargeIntegerSetIsWrittenByItsRuns) {
  // The smallest input with a set past the listing limit of 100,000 members in more than one run:
  // two sections of about 102,000 nodes under CFD4 with second derivatives. Each section's interior
  // is one run, the domain's interior two (with second derivatives the node the sections share is
  // no interior node).
  const char* const configuration = R"({"objects": [
      {"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "CFD4", "NUMSECTIONS": 2,
                                            "HIGHESTORDERDERIVATIVE": 2, "SPACINGPREFERENCE": 4.9e-6}}]})";
  Outcome jsonl = RunTool({"--format", "jsonl"}, configuration);
  ASSERT_EQ(jsonl.status, 0) << jsonl.err;
  std::map<std::string, json> values;
  std::size_t longest = 0;
  for (const std::string& line : jsonl.Lines()) {
    json parsed = json::parse(line);
    if (parsed["kind"] == "value" && parsed["path"].get<std::string>().find("VALUE(") == std::string::npos) {
      values[parsed["path"]] = parsed["value"];
      longest = std::max(longest, line.size());
    }
  }
  ASSERT_TRUE(values.count("X.ENDNODE") && values.count("X.SECTION(2).BASE") && values.count("X.INTERIOR"));
  const int end = values["X.ENDNODE"];
  const int shared = values["X.SECTION(2).BASE"];
  ASSERT_GT(shared, 100001);
  ASSERT_GT(end - shared, 100001);
  EXPECT_EQ(
      values["X.INTERIOR"],
      json({{"size", end - 2}, {"first", 1}, {"last", end - 1}, {"runs", {{1, shared - 1}, {shared + 1, end - 1}}}}));
  EXPECT_EQ(values["X.SECTION(1).INTERIOR"], json({{"size", shared - 1}, {"first", 1}, {"last", shared - 1}}));
  EXPECT_EQ(values["X.TQ_VALUE_SET1"], json({{"size", end + 1}, {"first", 0}, {"last", end}}));
  // Nothing but the node values grows with the members.
  EXPECT_LT(longest, 200u);

  Outcome text = RunTool({}, configuration);
  ASSERT_EQ(text.status, 0) << text.err;
  const std::string interior = "  INTERIOR {1,...," + std::to_string(shared - 1) + "," + std::to_string(shared + 1) +
                               ",...," + std::to_string(end - 1) + "} (" + std::to_string(end - 2) + " members)";
  const std::vector<std::string> lines = text.Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), interior), lines.end()) << interior;
}

TEST_F(ModelHostProgram, AModelBeyondTheSizeBudgetIsRefusedWithItsSizeAndTheLimit) {
  // A hundred million nodes against a budget of 64 MB: refused before they are made, quickly,
  // with the size and the limit, as a model that reported an error. The same under the default
  // budget of a small model runs.
  const char* const configuration = R"({"objects": [
      {"name": "X", "type": "DOMAIN", "fix": {"SPACINGPREFERENCE": 1e-8}},
      {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}}]})";
  Outcome refused = RunTool({"--memory-budget", "64MB"}, configuration);
  EXPECT_EQ(refused.status, 2) << refused.err;
  EXPECT_NE(refused.err.find("100000001 elements would take about"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("the size budget of 64.00 MB"), std::string::npos) << refused.err;
  EXPECT_EQ(RunTool({"--memory-budget", "64MB"}).status, 0);
  ExpectOneLineError(RunTool({"--memory-budget", "lots"}), "--memory-budget takes a positive size");

  // A domain refused its sections makes none: both reports stay short, whatever NUMSECTIONS says.
  const char* const sections = R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"NUMSECTIONS": 2147483647}}]})";
  for (const char* format : {"text", "jsonl"}) {
    Outcome run = RunTool({"--format", format}, sections);
    EXPECT_EQ(run.status, 2) << format << ": " << run.err;
    EXPECT_NE(run.err.find("NUMSECTIONS 2147483647: 2147483647 elements"), std::string::npos) << run.err;
    EXPECT_LT(run.out.size(), 4096u) << format;
  }
}

TEST_F(ModelHostProgram, IntegralsADistributionDoesNotComputeAreWarnedOfAndTakenAsTheyCome) {
  // INTEGRALS fixed in a configuration with selectors the distribution does not compute: one
  // warning line names the object, the selectors and those it computes; the run's outcome is the
  // library's own for the same model.
  const struct {
    std::vector<std::string> methods;
    std::vector<std::string> integrals;
    const char* warning;  // empty: none
  } cases[] = {
      {{"BFD1"}, {"idx", "None"}, ""},
      {{"BFD1"},
       {"none"},
       "D: INTEGRALS holds \"none\", which DISTRIBUTION1D does not compute (its integrals are idx)"},
      {{"BFD1", "BFD1"},
       {"idx", "idz", "idxdy"},
       "D: INTEGRALS holds \"idz\", which DISTRIBUTION2D does not compute (its integrals are idx, idy, idxdy)"},
      {{"BFD1", "BFD1", "BFD1"},
       {"a", "b", "c", "d", "e", "f", "g", "idx"},
       "D: INTEGRALS holds \"a\", \"b\", \"c\", \"d\", \"e\" and 2 more, which DISTRIBUTION3D does not compute (its "
       "integrals are idx, idy, idz, idxdy, idxdz, idydz, idxdydz)"},
  };
  for (const auto& c : cases) {
    const std::size_t axes = c.methods.size();
    SCOPED_TRACE(std::to_string(axes) + " axes, " + c.integrals.front());
    json objects = json::array();
    json links = json::object();
    for (std::size_t a = 0; a < axes; ++a) {
      const std::string name(1, "XYZ"[a]);
      objects.push_back({{"name", name}, {"type", "DOMAIN"}, {"fix", {{"DISCRETIZATIONMETHOD", c.methods[a]}}}});
      links[name + "DOMAIN"] = name;
    }
    objects.push_back({{"name", "D"},
                       {"type", "DISTRIBUTION" + std::to_string(axes) + "D"},
                       {"links", links},
                       {"fix", {{"INTEGRALS", c.integrals}}}});
    const Outcome run = RunTool({"--format", "jsonl"}, json({{"objects", objects}}).dump());
    const std::vector<std::string> errors = run.ErrorLines();
    const std::string prefix = "modelhost: warning: ";
    const auto warnings = std::count_if(
        errors.begin(), errors.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    if (*c.warning == '\0') {
      EXPECT_EQ(warnings, 0) << run.err;
    } else {
      ASSERT_FALSE(errors.empty());
      EXPECT_EQ(warnings, 1) << run.err;
      EXPECT_EQ(errors.front().rfind(prefix + c.warning, 0), 0u) << run.err;
    }
    const Counts library = LibraryCountsOver(c.methods, std::vector<int>(axes, 1), {}, c.integrals);
    EXPECT_EQ(run.status, library.ok ? 0 : 2) << run.err;
    if (library.ok) {
      EXPECT_EQ(Summary(run)["equations"], library.equations);
    }
  }
}

TEST_F(ModelHostProgram, TextResidualsNameEveryOperator) {
  // The default model and one with every operator of the distributions' formulas: no raw code
  // stands in the text; an equation whose residual is one term reads as that term.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{},
        std::vector<std::string>{"--method", "OCFE3", "--distribution", "DISTRIBUTION2D"}}) {
    const Outcome text = RunTool(args);
    ASSERT_EQ(text.status, 0) << text.err;
    std::size_t residuals = 0;
    for (const std::string& line : text.Lines()) {
      const std::size_t residual = line.find("): ");
      if (line.find("] TQ_Eqn") == std::string::npos || residual == std::string::npos) continue;
      ++residuals;
      for (std::size_t op = line.find("op", residual); op != std::string::npos; op = line.find("op", op + 1))
        EXPECT_FALSE(op + 2 < line.size() && std::isdigit(static_cast<unsigned char>(line[op + 2]))) << line;
    }
    EXPECT_GT(residuals, 0u);
  }
  const Outcome defaults = RunTool({});
  EXPECT_NE(defaults.out.find("] TQ_Eqn1 (group 1): IDX(0) = 0\n"), std::string::npos) << defaults.out;
}

TEST_F(ModelHostProgram, TheTextReportListsEachEquationOnceUnderItsObject) {
  // Two distributions, each after its domain, and an object without equations between them: in
  // the text every emitted equation stands once, under the object the JSON lines give it, in the
  // order of emission.
  const char* const configuration = R"({"objects": [
      {"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "OCFE2"}},
      {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}, "fix": {"INTEGRALS": ["idx"]}},
      {"name": "M", "type": "GENERICMODEL"},
      {"name": "Y", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "BFD2"}},
      {"name": "E", "type": "DISTRIBUTION2D", "links": {"XDOMAIN": "Y", "YDOMAIN": "X"}}]})";
  const Outcome jsonl = RunTool({"--format", "jsonl"}, configuration);
  ASSERT_EQ(jsonl.status, 0) << jsonl.err;
  std::vector<std::string> ownerOf;
  for (const json& line : JsonLines(jsonl))
    if (line["kind"] == "equation") ownerOf.push_back(line["object"]);
  ASSERT_GT(ownerOf.size(), 0u);
  const Outcome text = RunTool({}, configuration);
  ASSERT_EQ(text.status, 0) << text.err;
  std::string object;
  std::vector<int> seen(ownerOf.size(), 0);
  long last = -1;
  for (const std::string& line : text.Lines()) {
    if (!line.empty() && line[0] != ' ' && line.find(": Model ") != std::string::npos) {
      object = line.substr(0, line.find(':'));
      last = -1;
      continue;
    }
    if (line.rfind("  [", 0) != 0) continue;
    const long index = std::stol(line.substr(3));
    ASSERT_GE(index, 0);
    ASSERT_LT(static_cast<std::size_t>(index), ownerOf.size()) << line;
    EXPECT_EQ(ownerOf[static_cast<std::size_t>(index)], object) << line;
    EXPECT_GT(index, last) << line;
    last = index;
    ++seen[static_cast<std::size_t>(index)];
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), static_cast<long>(seen.size()));
}

TEST_F(ModelHostProgram, AModelThatReportedItsCauseIsNotFollowedByADifferenceOfEquations) {
  // Runs in which a model fails a phase, each with its own message: that the equations emitted
  // fall short of those declared is said only where nothing else says why.
  const char* const admittedThenRefused = R"({"objects": [
      {"name": "X", "type": "DOMAIN",
       "fix": {"DISCRETIZATIONMETHOD": "CFD4", "NUMSECTIONS": 10, "HIGHESTORDERDERIVATIVE": 2}},
      {"name": "Y", "type": "DOMAIN",
       "fix": {"DISCRETIZATIONMETHOD": "CFD4", "NUMSECTIONS": 10, "HIGHESTORDERDERIVATIVE": 2}},
      {"name": "D", "type": "DISTRIBUTION2D", "links": {"XDOMAIN": "X", "YDOMAIN": "Y"},
       "fix": {"INTEGRALS": ["idx", "idy", "idxdy"]}},
      {"name": "Z", "type": "DOMAIN", "fix": {"SECTION(1).NODECOUNT": 30000}},
      {"name": "E", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "Z"}}]})";
  const struct {
    std::vector<std::string> args;
    const char* configuration;
  } runs[] = {
      {{"--memory-budget", "1kb"}, ""},
      {{"--memory-budget", "48000000"}, admittedThenRefused},
      {{}, R"({"objects": [{"name": "D", "type": "DISTRIBUTION1D"}]})"},
  };
  for (const auto& r : runs) {
    const Outcome run = RunTool(r.args, r.configuration);
    SCOPED_TRACE(run.err);
    if (run.status == 0) continue;
    EXPECT_EQ(run.status, 2);
    const std::vector<std::string> errors = run.ErrorLines();
    ASSERT_FALSE(errors.empty());
    const auto differences = std::count_if(errors.begin(), errors.end(), [](const std::string& line) {
      return line.find("declared and emitted equations differ") != std::string::npos;
    });
    if (differences > 0) {
      EXPECT_EQ(errors.size(), 1u);
    }
  }
}
