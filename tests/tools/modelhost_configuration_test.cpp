// modelhost's configuration as a user writes it: the types the library offers, paths relative to
// their object, what one key or name would take silently from another, the limit on names, and
// a domain's points fixed off its method's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "modelhost_tool.h"

using modelhost_test::ExpectOneLineError;
using modelhost_test::Outcome;
using modelhost_test::RunTool;
using nlohmann::json;

namespace {

// A domain X, a second domain Y, and a two-axis distribution D whose links and fixes are given.
std::string TwoAxes(const std::string& links, const std::string& fix = "{}") {
  return R"({"objects": [{"name": "X", "type": "DOMAIN"}, {"name": "Y", "type": "DOMAIN"},
      {"name": "D", "type": "DISTRIBUTION2D", "links": )" +
         links + R"(, "fix": )" + fix + "}]}";
}

// A domain X with the fixes given.
std::string Domain(const std::string& fix) {
  return R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": )" + fix + "}]}";
}

}  // namespace

TEST(ModelHostConfiguration, AnUnknownTypeIsAnsweredWithTheTypesTheLibraryOffers) {
  const Outcome unknown = RunTool({}, R"({"objects": [{"name": "A", "type": "DISTRIBUTON2D"}]})");
  const std::string offers = "; the library offers ";
  ExpectOneLineError(unknown, "object \"A\" has the unknown type \"DISTRIBUTON2D\"" + offers);
  const std::size_t at = unknown.err.find(offers);
  ASSERT_NE(at, std::string::npos);
  std::vector<std::string> types;
  std::string list = unknown.err.substr(at + offers.size());
  list.pop_back();  // the line's end
  for (std::size_t from = 0; from <= list.size();) {
    const std::size_t comma = list.find(", ", from);
    types.push_back(list.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
    from = comma == std::string::npos ? list.size() + 1 : comma + 2;
  }
  ASSERT_GE(types.size(), 3u) << list;
  EXPECT_TRUE(std::is_sorted(types.begin(), types.end())) << list;
  for (const char* type : {"DOMAIN", "DISTRIBUTION1D", "DISTRIBUTION2D", "DISTRIBUTION3D", "GENERICMODEL"})
    EXPECT_NE(std::find(types.begin(), types.end(), type), types.end()) << type << " is not in " << list;
  // Every type listed is one the library makes.
  json objects = json::array();
  for (std::size_t k = 0; k < types.size(); ++k)
    objects.push_back({{"name", "O" + std::to_string(k)}, {"type", types[k]}});
  const Outcome all = RunTool({"--summary"}, json({{"objects", objects}}).dump());
  EXPECT_NE(all.status, 1) << all.err;
  EXPECT_EQ(all.err.find("unknown type"), std::string::npos) << all.err;
  EXPECT_EQ(all.out.rfind("objects " + std::to_string(types.size()) + ",", 0), 0u) << all.out;
  // A type that is no type name gets the same answer.
  ExpectOneLineError(RunTool({}, R"({"objects": [{"name": "A", "type": "NO SUCH-TYPE"}]})"),
                     "has the unknown type \"NO SUCH-TYPE\"; the library offers " + list);
}

TEST(ModelHostConfiguration, APathThatLeadsNowhereSaysHowPathsAreWritten) {
  const struct {
    std::string configuration;
    const char* fragment;
  } cases[] = {
      // A path as the reports give it, from the object's name.
      {Domain(R"({"X.SECTION(1).LOCATION": 0.5})"),
       "\"X.SECTION(1).LOCATION\" in \"fix\" of X starts with the name of the object itself; paths are relative "
       "to their object: \"SECTION(1).LOCATION\""},
      {R"({"objects": [{"name": "X", "type": "DOMAIN"}, {"name": "Y", "type": "DOMAIN", "fix": {"X.LENGTH": 2}}]})",
       "\"X.LENGTH\" in \"fix\" of Y starts with the name of the object X; paths are relative to their object, so "
       "X's properties go in X's own \"fix\""},
      {TwoAxes(R"({"D.XDOMAIN": "X", "YDOMAIN": "Y"})"),
       "\"D.XDOMAIN\" in \"links\" of D starts with the name of the object itself; paths are relative to their "
       "object: \"XDOMAIN\""},
      // An element's property without the element's index.
      {Domain(R"({"SECTION.LOCATION": 0.5})"),
       "\"X.SECTION\" has no property LOCATION: SECTION is an array, whose elements take an index: "
       "SECTION(1).LOCATION"},
      {TwoAxes(R"({"XDOMAIN": "X", "YDOMAIN": "Y"})", R"({"VALUE.NAME": 1.0})"),
       "\"D.VALUE\" has no property NAME: VALUE is an array, whose elements take an index: VALUE(1,1).NAME"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fragment);
    ExpectOneLineError(RunTool({}, c.configuration), c.fragment);
  }
  // Written relative to its object, the same path is taken.
  EXPECT_EQ(RunTool({"--summary"}, Domain(R"({"NUMSECTIONS": 2, "SECTION(1).LENGTH": 0.5})")).status, 0);
}

TEST(ModelHostConfiguration, WhatOneKeyWouldTakeSilentlyFromAnotherIsRefused) {
  const struct {
    std::string configuration;
    const char* fragment;
  } cases[] = {
      // Two keys of one object that name one property: one would win.
      {TwoAxes(R"({"XDOMAIN": "X", "xdomain": "Y", "YDOMAIN": "Y"})"),
       "\"XDOMAIN\" and \"xdomain\" in \"links\" of D name the same property D.XDOMAIN"},
      {Domain(R"({"NUMSECTIONS": 2, "numsections": 3})"),
       "\"NUMSECTIONS\" and \"numsections\" in \"fix\" of X name the same property X.NUMSECTIONS"},
      {Domain(R"({"NUMSECTIONS": 2, "SECTION(1).LENGTH": 0.2, "SECTION(01).LENGTH": 0.3})"),
       "\"SECTION(01).LENGTH\" and \"SECTION(1).LENGTH\" in \"fix\" of X name the same property X.SECTION(1).LENGTH"},
      // true or false where no logical parameter takes it: it would be 1 or 0.
      {Domain(R"({"LENGTH": true})"), "X.LENGTH: true is for a logical parameter, which this is not"},
      {Domain(R"({"NUMSECTIONS": false})"), "X.NUMSECTIONS: false is for a logical parameter, which this is not"},
      // A link with an index, which a link does not take.
      {TwoAxes(R"j({"XDOMAIN": "X", "YDOMAIN(1)": "Y"})j"),
       "the link \"YDOMAIN(1)\" of D has an index; a link is a property named without one (\"YDOMAIN\")"},
      // A key twice in one JSON object: the JSON reader keeps the last.
      {Domain(R"({"NUMSECTIONS": 2, "NUMSECTIONS": 3})"), "\"fix\" gives the key \"NUMSECTIONS\" twice"},
      {TwoAxes(R"({"XDOMAIN": "X", "XDOMAIN": "Y", "YDOMAIN": "Y"})"), "\"links\" gives the key \"XDOMAIN\" twice"},
      {R"({"objects": [{"name": "X", "type": "DOMAIN", "name": "Y"}]})",
       "an entry of \"objects\" gives the key \"name\" twice"},
      {R"({"objects": [[[{"name": "X", "type": "DOMAIN", "name": "Y"}]]]})",
       "an entry 3 arrays deep in \"objects\" gives the key \"name\" twice"},
      {R"({"objects": [], "objects": [{"name": "X", "type": "DOMAIN"}]})",
       "the configuration gives the key \"objects\" twice"},
      // Object names are one name whatever their letter case.
      {R"({"objects": [{"name": "X", "type": "DOMAIN"}, {"name": "x", "type": "DOMAIN"}]})",
       "the object name \"x\" is taken by \"X\": names are compared without regard to letter case"},
      {R"({"objects": [{"name": "X", "type": "DOMAIN"}, {"name": "X", "type": "DOMAIN"}]})",
       "an object named \"X\" exists already"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fragment);
    ExpectOneLineError(RunTool({}, c.configuration), c.fragment);
  }
  // Keys that differ, and the same key in different objects, are taken.
  EXPECT_EQ(RunTool({"--summary"}, TwoAxes(R"({"XDOMAIN": "X", "YDOMAIN": "X"})", R"({"USERNOTES": "x"})")).status, 0);
}

TEST(ModelHostConfiguration, NamesAreTakenUpToTheirLimitAndRefusedBeyondIt) {
  // The limit is 256 characters: for object names and for the paths of "links" and "fix" (a path
  // of leading zeros names the same element as the short one).
  const auto named = [](std::size_t length) {
    const std::string name(length, 'N');
    return R"({"objects": [{"name": "X", "type": "DOMAIN"}, {"name": ")" + name +
           R"(", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}}]})";
  };
  const auto fixed = [](std::size_t length) {
    const std::string path = "SECTION(" + std::string(length - 17, '0') + "1).LENGTH";
    return Domain(R"({"NUMSECTIONS": 2, ")" + path + R"(": 0.5})");
  };
  const auto linked = [](std::size_t length) { return TwoAxes("{\"" + std::string(length, 'L') + "\": \"X\"}"); };
  for (std::size_t length : {17u, 255u, 256u}) {
    const Outcome run = RunTool({"--format", "jsonl"}, named(length));
    EXPECT_EQ(run.status, 0) << length << ": " << run.err;
    // Every line that names the object stays within a bound set by the limit, not by the model.
    for (const std::string& line : run.Lines()) EXPECT_LT(line.size(), 4096u);
    const Outcome path = RunTool({"--summary"}, fixed(length));
    EXPECT_EQ(path.status, 0) << length << ": " << path.err;
  }
  for (std::size_t length : {257u, 100000u}) {
    SCOPED_TRACE(length);
    const std::string size = "...\" (" + std::to_string(length) + " characters) is longer than the 256 characters";
    ExpectOneLineError(RunTool({}, named(length)), "the object name \"NNNN");
    ExpectOneLineError(RunTool({}, named(length)), size);
    ExpectOneLineError(RunTool({}, fixed(length)), "the property path \"SECTION(0000");
    ExpectOneLineError(RunTool({}, fixed(length)), size);
    ExpectOneLineError(RunTool({}, linked(length)), "the link \"LLLL");
    ExpectOneLineError(RunTool({}, linked(length)), size);
  }
}

TEST(ModelHostConfiguration, AQuotedTextIsCutBetweenCharactersAndCountedInThem) {
  // An unknown key of `count` characters of one to four bytes after an "a": up to sixty characters
  // it is shown whole; beyond, by its first forty characters and its length in characters.
  for (const std::string character : {"e", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80"}) {
    for (std::size_t count : {40u, 59u, 60u, 70u, 1000u}) {
      SCOPED_TRACE(std::to_string(character.size()) + " bytes, " + std::to_string(count));
      std::string key = "a";
      for (std::size_t k = 0; k < count; ++k) key += character;
      std::string shown = key;
      if (count + 1 > 60) {
        shown = "a";
        for (int k = 0; k < 39; ++k) shown += character;
        shown += "... (" + std::to_string(count + 1) + " characters)";
      }
      const Outcome run = RunTool({}, R"({"objects": [{"name": "X", "type": "DOMAIN", ")" + key + R"(": 1}]})");
      ExpectOneLineError(run, "unknown key \"" + shown + "\" in an object entry");
    }
  }
  // A name over the limit is counted in characters too.
  std::string name;
  for (int k = 0; k < 300; ++k) name += "\xc3\xa9";
  const Outcome run = RunTool({}, R"({"objects": [{"name": ")" + name + R"(", "type": "DOMAIN"}]})");
  ExpectOneLineError(run, "...\" (300 characters) is longer than the 256 characters a name may take");
}

TEST(ModelHostConfiguration, AnOrderOfDerivativeIsFixedWithinZeroToTwo) {
  // The domain's and each axis's highest order: 0, 1 and 2 run; any other value is refused,
  // naming the property, as --order refuses it. The orders used are taken as they come.
  const auto domainOrder = [](const std::string& value) {
    return R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": {"DISCRETIZATIONMETHOD": "OCFE2",
        "HIGHESTORDERDERIVATIVE": )" +
           value + R"(}}, {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}}]})";
  };
  const auto axisOrder = [](const std::string& property, const std::string& value) {
    return R"({"objects": [{"name": "X", "type": "DOMAIN"}, {"name": "Y", "type": "DOMAIN"},
        {"name": "Z", "type": "DOMAIN"}, {"name": "D", "type": "DISTRIBUTION3D",
        "links": {"XDOMAIN": "X", "YDOMAIN": "Y", "ZDOMAIN": "Z"}, "fix": {")" +
           property + "\": " + value + "}}]}";
  };
  for (const char* value : {"-1", "3", "2147483647", "-2147483648"}) {
    SCOPED_TRACE(value);
    const std::string outside = std::string(": ") + value + " is outside 0 to 2, the orders of derivative";
    ExpectOneLineError(RunTool({}, domainOrder(value)), "X.HIGHESTORDERDERIVATIVE" + outside);
    for (const char* axis : {"X", "Y", "Z"}) {
      const std::string property = std::string("HIGHESTORDER") + axis + "DERIVATIVE";
      ExpectOneLineError(RunTool({}, axisOrder(property, value)), "D." + property + outside);
      EXPECT_EQ(RunTool({"--summary"}, axisOrder(property + "USED", value)).status, 0);
    }
  }
  ExpectOneLineError(RunTool({}, domainOrder("3.0")), "X.HIGHESTORDERDERIVATIVE: 3 is outside 0 to 2");
  for (const char* value : {"0", "1", "2"}) {
    EXPECT_EQ(RunTool({"--summary"}, domainOrder(value)).status, 0) << value;
    EXPECT_EQ(RunTool({"--summary"}, axisOrder("HIGHESTORDERZDERIVATIVE", value)).status, 0) << value;
  }
}

// Values fixed on the elements of arrays are fixed in the order of their keys read as numbers
// (the document orders them as texts: "VALUE(10)" before "VALUE(9)"), each reaching its own
// element however its key is written.
TEST(ModelHostConfiguration, ValuesFixedOnArrayElementsReachTheirElementsWhateverTheOrderOfTheirKeys) {
  constexpr int kSections = 24;
  constexpr int kNodes = 25;
  json domainFix = {{"DISCRETIZATIONMETHOD", "BFD1"}, {"NUMSECTIONS", kSections}};
  // Every third section's node count, its key written with leading zeros.
  for (int k = 1; k <= kSections; k += 3)
    domainFix["SECTION(" + std::string(k % 2 == 0 ? "00" : "") + std::to_string(k) + ").NODECOUNT"] = 100 + k;
  json line = {{"DISCRETIZATIONMETHOD", "BFD1"}, {"NUMSECTIONS", 1}, {"SECTION(1).NODECOUNT", kNodes - 1}};
  json valueFix = json::object();
  for (int k = kNodes; k-- > 0;) valueFix["VALUE(" + std::to_string(k) + ")"] = 0.5 * k;
  const json configuration = {
      {"objects",
       {{{"name", "X"}, {"type", "DOMAIN"}, {"fix", domainFix}},
        {{"name", "L"}, {"type", "DOMAIN"}, {"fix", line}},
        {{"name", "D"}, {"type", "DISTRIBUTION1D"}, {"links", {{"XDOMAIN", "L"}}}, {"fix", valueFix}}}}};
  const Outcome run = RunTool({"--format", "jsonl"}, configuration.dump());
  ASSERT_EQ(run.status, 0) << run.err;
  int sectionsSeen = 0;
  int valuesSeen = 0;
  for (const std::string& text : run.Lines()) {
    const json record = json::parse(text);
    if (record["kind"] != "value") continue;
    const std::string path = record["path"];
    int key = 0;
    char rest[64] = {};
    if (std::sscanf(path.c_str(), "X.SECTION(%d).%63s", &key, rest) == 2 && std::string(rest) == "NODECOUNT") {
      ++sectionsSeen;
      if ((key - 1) % 3 == 0) {
        EXPECT_EQ(record["value"], 100 + key) << path;
      }
    } else if (std::sscanf(path.c_str(), "D.VALUE(%d%63s", &key, rest) == 2 && std::string(rest) == ")") {
      ++valuesSeen;
      EXPECT_EQ(record["value"], 0.5 * key) << path;
    }
  }
  EXPECT_EQ(sectionsSeen, kSections);
  EXPECT_EQ(valuesSeen, kNodes);
}

TEST(ModelHostConfiguration, PointsFixedOffTheDomainsMethodAreRefusedWhereADistributionWritesRows) {
  const auto over = [](const std::string& fix) {
    return R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": )" + fix +
           R"(}, {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}}]})";
  };
  const std::string why =
      "; the distributions' equations hold only on the method's points, and none are written "
      "along the domain\n";
  const struct {
    const char* fix;
    const char* what;
  } cases[] = {
      // The point of OCFE2's elements moved: the grid of another polynomial under the midpoint's rows.
      {R"j({"DISCRETIZATIONMETHOD": "OCFE2", "POLYPOINT(1)": 0.3})j",
       "POLYPOINT(1) is fixed at 0.3, but its method OCFE2 has 0.5"},
      {R"j({"DISCRETIZATIONMETHOD": "CFD2", "POLYPOINT(1)": 0.1})j",
       "POLYPOINT(1) is fixed at 0.1, but its method CFD2 has 0.5"},
      // Collocation elements under rows that divide by one interval.
      {R"j({"DISCRETIZATIONMETHOD": "BFD1", "NUMPOLYPOINTS": 1, "POLYPOINT(1)": 0.5})j",
       "NUMPOLYPOINTS is fixed at 1, but its method BFD1 has 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fix);
    const Outcome run = RunTool({}, over(c.fix));
    // Status 2, as a model that refused its input; the one message, and no equation.
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, std::string("modelhost: domain X: ") + c.what + why);
    EXPECT_EQ(run.out.rfind("objects 2, equations 0,", 0), 0u) << run.out;
    // The domain alone takes its points as they are.
    const Outcome alone = RunTool({"--summary"}, Domain(c.fix));
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_EQ(alone.err, "");
  }
  // The method's own points typed by hand run as the domain that fixes none.
  const Outcome typed = RunTool({}, over(R"j({"DISCRETIZATIONMETHOD": "OCFE3", "NUMPOLYPOINTS": 2,
                                            "POLYPOINT(1)": 0.21132, "POLYPOINT(2)": 0.78868})j"));
  const Outcome unfixed = RunTool({}, over(R"({"DISCRETIZATIONMETHOD": "OCFE3"})"));
  EXPECT_EQ(typed.status, 0) << typed.err;
  EXPECT_EQ(typed.err, "");
  EXPECT_EQ(typed.out, unfixed.out);
  EXPECT_EQ(unfixed.status, 0) << unfixed.err;
}

TEST(ModelHostConfiguration, AGridItsRowsDoNotDescribeIsRefusedWhereADistributionWritesRows) {
  const auto over = [](const std::string& fix, int axes = 1) {
    std::string objects = R"({"objects": [{"name": "X", "type": "DOMAIN", "fix": )" + fix + "}";
    if (axes == 2) objects += R"(, {"name": "Y", "type": "DOMAIN", "fix": {"HIGHESTORDERDERIVATIVE": 2}})";
    return objects + R"(, {"name": "D", "type": "DISTRIBUTION)" + std::to_string(axes) +
           R"(D", "links": {"XDOMAIN": "X")" + (axes == 2 ? R"(, "YDOMAIN": "Y")" : "") + "}}]}";
  };
  const std::string nodes =
      "; the distributions' equations hold only on the nodes where the method puts them, and none are written "
      "along the domain\n";
  const std::string interior =
      " of section 1 (axis 0) stands at a second derivative: the second derivatives along the domain are declared "
      "at its INTERIOR, which must hold every node where their rows stand\n";
  const struct {
    const char* fix;
    int axes;
    std::string message;
  } cases[] = {
      // An INTERIOR that leaves out nodes where second-derivative rows stand.
      {R"j({"DISCRETIZATIONMETHOD": "CFD4", "HIGHESTORDERDERIVATIVE": 2, "INTERIOR": []})j",
       1,
       "D: the INTERIOR of the domain X (XDOMAIN) leaves out node 1, where TQ_Eqn40" + interior},
      {R"j({"DISCRETIZATIONMETHOD": "CFD4", "HIGHESTORDERDERIVATIVE": 2, "INTERIOR": [3]})j",
       1,
       "D: the INTERIOR of the domain X (XDOMAIN) leaves out node 1, where TQ_Eqn40" + interior},
      {R"j({"DISCRETIZATIONMETHOD": "CFD4", "HIGHESTORDERDERIVATIVE": 2, "INTERIOR": [3]})j",
       2,
       "D: the INTERIOR of the domain X (XDOMAIN) leaves out node 1, where TQ_Eqn84" + interior},
      // A node moved, and a collocation point moved.
      {R"j({"DISCRETIZATIONMETHOD": "CFD4", "NUMSECTIONS": 2, "VALUE(3)": 0.13})j",
       1,
       "domain X: node 3 lies at 0.13, but its method CFD4 puts it at 0.1875 (section 1, from its LOCATION 0 and "
       "ELEMENTLENGTH 0.0625)" +
           nodes},
      {R"j({"DISCRETIZATIONMETHOD": "OCFE3", "VALUE(1)": 0.05})j",
       1,
       "domain X: node 1 lies at 0.05, but its method OCFE3 puts it at 0.07043999999999997 (section 1, from its "
       "LOCATION 0 and "
       "ELEMENTLENGTH 0.3333333333333333)" +
           nodes},
      // A node typed to 15 digits a million from 0, beside where the method puts it: each value in
      // the digits that read back as it.
      {R"j({"DISCRETIZATIONMETHOD": "FFD1", "LENGTH": 1.5e-6, "SPACINGPREFERENCE": 3.75e-8,
            "SECTION(1).LOCATION": 1e6, "VALUE(18)": 1000000.00000067})j",
       1,
       "domain X: node 18 lies at 1000000.00000067, but its method FFD1 puts it at 1000000.000000675 (section 1, "
       "from its LOCATION 1000000 and ELEMENTLENGTH 3.750028554350138e-08)" +
           nodes},
      // A section's length fixed: it ends before the next one starts, or before the domain's end.
      {R"j({"DISCRETIZATIONMETHOD": "CFD4", "NUMSECTIONS": 2, "SECTION(1).LENGTH": 0.3})j",
       1,
       "domain X: node 8, where section 1 ends and section 2 starts, lies at 0.3, but section 2 starts at its "
       "LOCATION 0.5 (section 1's LENGTH is fixed at 0.3)" +
           nodes},
      {R"j({"DISCRETIZATIONMETHOD": "CFD4", "NUMSECTIONS": 2, "SECTION(1).ELEMENTLENGTH": 0.05})j",
       1,
       "domain X: node 8, where section 1 ends and section 2 starts, lies at 0.4, but section 2 starts at its "
       "LOCATION 0.5 (section 1's ELEMENTLENGTH is fixed at 0.05)" +
           nodes},
      {R"j({"DISCRETIZATIONMETHOD": "CFD4", "SECTION(1).ELEMENTLENGTH": 0.05})j",
       1,
       "domain X: node 8, the last of section 1, lies at 0.4, but the domain ends at 1 (its LENGTH 1 from section "
       "1's LOCATION 0; section 1's ELEMENTLENGTH is fixed at 0.05)" +
           nodes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.fix) + " over " + std::to_string(c.axes) + " axes");
    const Outcome run = RunTool({}, over(c.fix, c.axes));
    // Status 2, the one message, and no equation.
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "modelhost: " + c.message);
    EXPECT_EQ(run.out.find("equations 0,"), run.out.find("equations")) << run.out;
    EXPECT_EQ(run.out.find("D2DX2("), std::string::npos) << run.out;
  }
  // What a user may fix runs: an INTERIOR that holds more than the rows need (the junction node 8
  // gets no row), a section's LOCATION, sections far from 0 beside sections near it.
  const Outcome superset =
      RunTool({}, over(R"j({"DISCRETIZATIONMETHOD": "CFD4", "NUMSECTIONS": 2, "HIGHESTORDERDERIVATIVE": 2,
                "INTERIOR": [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15]})j"));
  EXPECT_EQ(superset.status, 0) << superset.err;
  EXPECT_EQ(superset.err, "");
  const Outcome moved =
      RunTool({}, over(R"j({"DISCRETIZATIONMETHOD": "CFD4", "NUMSECTIONS": 2, "SECTION(2).LOCATION": 0.6})j"));
  EXPECT_EQ(moved.status, 0) << moved.err;
  EXPECT_EQ(moved.err, "");
  // A section a million below 0 of 7 intervals, and one of 1e-4 above it: the sums put their
  // junction an ulp of a million from 0, as the method does.
  const Outcome far = RunTool({"--summary"}, over(R"j({"DISCRETIZATIONMETHOD": "BFD1", "NUMSECTIONS": 2,
      "LENGTH": 1000000.0001, "SECTION(1).LOCATION": -1000000.0, "SECTION(2).LOCATION": 0.0,
      "SECTION(1).SPACINGPREFERENCE": 142857.0, "SECTION(2).SPACINGPREFERENCE": 2.5e-6})j"));
  EXPECT_EQ(far.status, 0) << far.err;
  EXPECT_EQ(far.err, "");
  EXPECT_EQ(far.out.rfind("objects 2, equations 48,", 0), 0u) << far.out;
}

TEST(ModelHostConfiguration, ANodeNumberPastTheSectionIsTheFirstAnElementReads) {
  // Elements fixed far beyond the section's nodes: the first element past them reads node 9.
  const Outcome run = RunTool({}, R"({"objects": [{"name": "X", "type": "DOMAIN",
      "fix": {"DISCRETIZATIONMETHOD": "OCFE2", "SECTION(1).NUMELEMENTS": 2147483647}},
      {"name": "D", "type": "DISTRIBUTION1D", "links": {"XDOMAIN": "X"}}]})");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "modelhost: domain X, section 1: NUMELEMENTS is more than the section's NODECOUNT holds; the elements "
            "beyond are left out\n"
            "modelhost: D: method \"OCFE2\" of the domain X (XDOMAIN): TQ_Eqn62 of section 1 (axis 0) reads node 9, "
            "outside the section's nodes 0 to 8: the section is shorter than the discretization method's stencil\n");
}

TEST(ModelHostConfiguration, ANegativeSpacingIsAnErrorAsAZeroOneIs) {
  const struct {
    const char* fix;
    const char* message;
  } cases[] = {
      {R"({"SPACINGPREFERENCE": -0.1})",
       "domain X, section 1: LENGTH / SPACINGPREFERENCE is -10, a negative number of node intervals; the section "
       "takes MINNODECOUNT"},
      {R"({"NUMSECTIONS": 2, "SECTION(2).SPACINGPREFERENCE": -0.1})",
       "domain X, section 2: LENGTH / SPACINGPREFERENCE is -5, a negative number of node intervals; the section "
       "takes MINNODECOUNT"},
      {R"({"SPACINGPREFERENCE": 0})",
       "domain X, section 1: LENGTH / SPACINGPREFERENCE is not a finite number of node intervals; the section takes "
       "MINNODECOUNT"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fix);
    const Outcome run = RunTool({"--summary"}, Domain(c.fix));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, std::string("modelhost: ") + c.message + "\n");
  }
  // A negative length with its own (negative) spacing is a domain running toward negative values.
  const Outcome negative = RunTool({"--summary"}, Domain(R"({"LENGTH": -2.0})"));
  EXPECT_EQ(negative.status, 0) << negative.err;
  EXPECT_EQ(negative.err, "");
}
