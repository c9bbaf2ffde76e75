// The host's messages: a cause is given once, and a repeated message a bounded number of times.
// In the model cycle a phase's "failed with code" (or "returned") line follows a failure only
// when the model said nothing itself in the cycle, and a message whose cause (its text up to the
// first "; ") the same model gave already in the cycle is not given again. Messages of one form
// (the same text but for its numbers) beyond the first ten are counted, not kept: one line says
// how many more there were, and the log stays bounded however many are reported. The names of
// objects a message quotes count as one in its form, and a message is kept with its control
// characters escaped.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "host/tq_executive_testing.h"
#include "host/tq_report.h"

namespace {

// What a model says and answers in each phase: a message (none when empty) and the result.
struct Phase {
  std::string says;
  int result = 0;
};

// A model that says what it is given in each phase and answers as it is told, as the library's
// models report through TQ_ReportError.
class Speaking : public TQ_ModelTypeEx2 {
 public:
  long ExecuteAssignments(int level, int pass) override {
    TQ_ModelTypeEx2::ExecuteAssignments(level, pass);
    return Say(assignments);
  }
  int SetUpEquations() override {
    const int running = TQ_ModelTypeEx2::SetUpEquations();
    return Say(setUp) < 0 ? setUp.result : running;
  }
  int JacPattern(int*& rows, int*& cols, TQ_EquationType** types) override {
    ResetExpressions();
    const int running = TQ_ModelTypeEx2::JacPattern(rows, cols, types);
    return Say(jacPattern) < 0 ? jacPattern.result : running;
  }

  Phase assignments;
  Phase setUp;
  Phase jacPattern;

 private:
  static int Say(const Phase& phase) {
    if (!phase.says.empty()) TQ_ReportError(phase.says.c_str());
    return phase.result;
  }
};

class Messages : public HostTest {};

TEST_F(Messages, ACauseIsGivenOnceAndAFailureLineOnlyWhenTheModelSaidNothing) {
  const std::string noDomain = "M: YDOMAIN has no domain attached";
  const struct Case {
    const char* what;
    Phase assignments, setUp, jacPattern;
    std::vector<std::string> expected;
  } cases[] = {
      {"a model that says nothing",
       {"", 0},
       {"", -4},
       {"", -4},
       {"M: SetUpEquations failed with code -4", "M: JacPattern failed with code -4"}},
      {"a model that says nothing and fails its assignments",
       {"", -1},
       {"", 0},
       {"", 0},
       {"M: ExecuteAssignments returned -1"}},
      {"a cause given where the model fails",
       {"", 0},
       {"M: HIGHESTORDERXDERIVATIVEUSED is 3; its equations are not declared", -4},
       {"", -4},
       {"M: HIGHESTORDERXDERIVATIVEUSED is 3; its equations are not declared"}},
      {"one cause met in every phase, with what it prevents in each",
       {noDomain + "; the index sets cannot be computed", -1},
       {noDomain + "; the equations cannot be placed", -1},
       {noDomain + "; the equations cannot be emitted", -1},
       {noDomain + "; the index sets cannot be computed"}},
      {"two causes, each once",
       {noDomain + "; the index sets cannot be computed", -1},
       {"M: XDOMAIN has no domain attached; the equations cannot be placed", -1},
       {"", -1},
       {noDomain + "; the index sets cannot be computed",
        "M: XDOMAIN has no domain attached; the equations cannot be placed"}},
      {"a message without \"; \" is its own cause",
       {"M: the grid is empty", 0},
       {"M: the grid is empty", 0},
       {"M: the grid is empty, again", 0},
       {"M: the grid is empty", "M: the grid is empty, again"}},
  };
  for (const Case& c : cases) {
    Host().Reset();
    auto* model = Add<Speaking>("M");
    model->assignments = c.assignments;
    model->setUp = c.setUp;
    model->jacPattern = c.jacPattern;
    Host().RunCycle();
    EXPECT_EQ(Host().Errors(), c.expected) << c.what;
    // The next cycle gives its causes anew.
    Host().ClearErrors();
    Host().RunCycle();
    EXPECT_EQ(Host().Errors(), c.expected) << c.what << ", in the next cycle";
  }
}

TEST_F(Messages, TheSameCauseFromAnotherModelIsGivenToo) {
  for (const char* name : {"A", "B"}) {
    auto* model = Add<Speaking>(name);
    model->setUp = {"the domain X has no sections; no equations", -1};
  }
  EXPECT_FALSE(Host().RunCycle());
  EXPECT_EQ(Host().Errors(),
            (std::vector<std::string>{"the domain X has no sections; no equations",
                                      "the domain X has no sections; no equations"}));
}

TEST_F(Messages, MessagesOutsideAModelsCallAreNotHeldBack) {
  // Called directly, not through the cycle, a model's messages are all given.
  auto* model = Add<Speaking>("M");
  model->setUp = {"M: YDOMAIN has no domain attached; the equations cannot be placed", -1};
  EXPECT_EQ(model->SetUpEquations(), -1);
  EXPECT_EQ(model->SetUpEquations(), -1);
  EXPECT_EQ(Host().Errors().size(), 2u) << AllErrors();
}

// A model that reports `count` messages of each of `forms` (texts with one "%d") as it assigns.
class Repeating : public TQ_ModelTypeEx2 {
 public:
  long ExecuteAssignments(int level, int pass) override {
    const long status = TQ_ModelTypeEx2::ExecuteAssignments(level, pass);
    char message[256];
    for (int k = 1; k <= count; ++k)
      for (const char* form : forms) {
        std::snprintf(message, sizeof message, form, k);
        TQ_ReportError(message);
      }
    return status;
  }
  std::vector<const char*> forms;
  int count = 0;
};

TEST_F(Messages, AMessageRepeatedManyTimesIsGivenTenTimesAndCounted) {
  const char* const kPoint = "domain X: POLYPOINT(%d) is 0; a point lies inside its element, between 0 and 1";
  const char* const kNode = "domain X: node %d lies outside its section";
  const std::string pointForm = "domain X: POLYPOINT(#) is #; a point lies inside its element, between # and #";
  const std::string nodeForm = "domain X: node # lies outside its section";
  const struct Case {
    std::vector<const char*> forms;
    int count;
    // Of each form, in order: the messages given, and the count of those left out (none when 0).
    std::vector<std::pair<std::string, int>> left;
  } cases[] = {
      {{kPoint}, 10, {{pointForm, 0}}},
      {{kPoint}, 11, {{pointForm, 1}}},
      {{kPoint}, 1000000, {{pointForm, 1000000 - 10}}},
      {{kPoint, kNode}, 5000, {{pointForm, 4990}, {nodeForm, 4990}}},
  };
  for (const Case& c : cases) {
    Host().Reset();
    auto* model = Add<Repeating>("M");
    model->forms = c.forms;
    model->count = c.count;
    Host().RunCycle();
    const std::vector<std::string>& errors = Host().Errors();
    std::size_t expectedLines = 0;
    for (const auto& [form, omitted] : c.left) {
      expectedLines += 10;
      if (omitted > 0) {
        const std::string line = std::to_string(omitted) + " more messages of the form \"" + form + "\" were left out";
        EXPECT_NE(std::find(errors.begin(), errors.end(), line), errors.end()) << line << "\n" << AllErrors();
        ++expectedLines;
      }
    }
    EXPECT_EQ(errors.size(), expectedLines) << AllErrors();
    // The first ten of a form are given as they were reported.
    char first[256];
    std::snprintf(first, sizeof first, c.forms[0], 1);
    EXPECT_EQ(errors.front(), first);
  }
}

TEST_F(Messages, TheLogKeepsAThousandMessagesAndCountsTheRest) {
  // Messages of as many forms as there are names without digits: each is its own form.
  class Naming : public TQ_ModelTypeEx2 {
   public:
    long ExecuteAssignments(int level, int pass) override {
      const long status = TQ_ModelTypeEx2::ExecuteAssignments(level, pass);
      for (int k = 0; k < 5000; ++k) {
        std::string name = "object ";
        for (int n = k; n > 0 || name.size() == 7; n /= 26) name += static_cast<char>('A' + n % 26);
        TQ_ReportError((name + " has no link").c_str());
      }
      return status;
    }
  };
  Add<Naming>("M");
  Host().RunCycle();
  const std::vector<std::string>& errors = Host().Errors();
  ASSERT_EQ(errors.size(), TQ_MessageLog::kMostKept + 1) << errors.back();
  EXPECT_EQ(errors.back(), "4000 more messages were left out (no more than 1000 are kept)");
}

TEST_F(Messages, TheNamesOfObjectsAndThePathsTheyStartCountAsOneForm) {
  // Twelve objects named by letters, and a message for each that quotes it where "%s" stands:
  // those that differ only in the name of an object, or in the property path it starts, are of
  // one form, ten given and one line for the rest. A word that names no object (or names one in
  // another letter case) keeps its message's own form, and so do different texts.
  const std::vector<std::string> names = {
      "ALPHA", "Beta", "gamma_x", "DELTA", "EPS", "ZETA", "ETA", "THETA", "IOTA", "KAPPA", "LAMBDA", "MU"};
  for (const std::string& name : names) Add<TQ_ModelTypeEx2>(name.c_str());
  const auto same = [](const std::string& name) { return name; };
  const auto noName = [](const std::string& name) { return "NO" + name; };
  const auto otherCase = [](const std::string& given) {
    std::string name = given;
    for (char& c : name) {
      const auto byte = static_cast<unsigned char>(c);
      c = static_cast<char>(std::islower(byte) ? std::toupper(byte) : std::tolower(byte));
    }
    return name;
  };
  const struct Case {
    std::vector<std::string> texts;  // each given for every object, in turn
    std::string (*word)(const std::string&);
    std::vector<std::string> forms;  // of each text; empty where each message is its own form
  } cases[] = {
      {{"domain %s, section 1: its NODECOUNT is -1"}, same, {"domain @, section #: its NODECOUNT is -#"}},
      {{"%s.SECTION(2).BASE is fixed", "%s.VALUE(1,2) is fixed"}, same, {"@ is fixed", "@ is fixed"}},
      {{"%s: the domain %s (XDOMAIN) has no sections"}, same, {"@: the domain @ (XDOMAIN) has no sections"}},
      {{"%s has no link", "%s has no sections"}, same, {"@ has no link", "@ has no sections"}},
      {{"domain %s, section 1: its NODECOUNT is -1"}, noName, {""}},
      {{"domain %s, section 1: its NODECOUNT is -1"}, otherCase, {""}},
  };
  for (const Case& c : cases) {
    Host().ClearErrors();
    // The log as the rule makes it: of a form, ten messages, and the count of the rest where the
    // first was left out.
    std::vector<std::string> expected;
    std::map<std::string, std::pair<int, std::size_t>> givenAndLine;
    std::map<std::string, int> omitted;
    for (const std::string& name : names)
      for (std::size_t t = 0; t < c.texts.size(); ++t) {
        std::string message = c.texts[t];
        for (std::size_t at = message.find("%s"); at != std::string::npos; at = message.find("%s"))
          message.replace(at, 2, c.word(name));
        Host().ReportError(message);
        const std::string& form = c.forms[t];
        auto& [given, line] = givenAndLine[form];
        if (form.empty() || given++ < 10) {
          expected.push_back(message);
        } else if (omitted[form]++ == 0) {
          line = expected.size();
          expected.emplace_back();
        }
      }
    for (const auto& [form, count] : omitted)
      expected[givenAndLine[form].second] =
          std::to_string(count) + " more messages of the form \"" + form + "\" were left out";
    EXPECT_EQ(Host().Errors(), expected) << c.texts.front() << "\n" << AllErrors();
    EXPECT_EQ(omitted.size(),
              c.forms.front().empty() ? 0u : std::set<std::string>(c.forms.begin(), c.forms.end()).size());
  }
}

TEST_F(Messages, ControlCharactersAreKeptEscapedAndValidUtf8AsItIs) {
  const struct {
    const char* given;
    const char* shown;
  } cases[] = {
      {"plain text, UTF-8 \xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",
       "plain text, UTF-8 \xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
      {"a\nmodelhost: b\r\t", "a\\u000amodelhost: b\\u000d\\u0009"},
      {"\x1b[31mred\x1b[0m\x7f", "\\u001b[31mred\\u001b[0m\\u007f"},
      {"C1 \xc2\x9b and \xc2\x85, not \xc2\xa0", "C1 \\u009b and \\u0085, not \xc2\xa0"},
      {"stray \x9b, cut \xe2\x82, overlong \xc0\xaf, surrogate \xed\xa0\x80",
       "stray \\x9b, cut \\xe2\\x82, overlong \\xc0\\xaf, surrogate \\xed\\xa0\\x80"},
      {"a backslash \\u0000 stays", "a backslash \\u0000 stays"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TQ_PrintableText(c.given), c.shown);
    EXPECT_EQ(TQ_IsPrintableText(c.given), std::string(c.given) == c.shown) << c.shown;
    Host().ClearErrors();
    Host().ReportError(c.given);
    EXPECT_EQ(Host().Errors(), std::vector<std::string>{c.shown});
  }
  // The line that counts the messages left out shows their form escaped too.
  Host().ClearErrors();
  for (int k = 0; k < 12; ++k) Host().ReportError("node " + std::to_string(k) + "\n\x1b[2J");
  EXPECT_EQ(Host().Errors().back(), "2 more messages of the form \"node #\\u000a\\u001b[#J\" were left out");
}

TEST_F(Messages, AMessageLongerThanTheLimitIsCutShortBetweenCharacters) {
  // Characters of one to four bytes: the limit falls inside a character for all but the first.
  // The message, and the form that the line counting those left out quotes, keep whole
  // characters only, as many as fit.
  constexpr std::size_t kLimit = TQ_MessageLog::kMostMessageBytes;
  for (const std::string character : {"x", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80"}) {
    SCOPED_TRACE(character.size());
    std::string longText;
    while (longText.size() < 3 * kLimit) longText += character;
    const std::size_t kept = kLimit / character.size() * character.size();
    Host().ClearErrors();
    Host().ReportError(longText);
    ASSERT_EQ(Host().Errors().size(), 1u);
    EXPECT_EQ(Host().Errors()[0], longText.substr(0, kept) + " [cut short]");
    // Twelve of one form: ten given, one line for the two left out, its form cut likewise.
    Host().ClearErrors();
    for (int k = 0; k < 12; ++k) Host().ReportError(std::to_string(k) + " " + longText);
    ASSERT_EQ(Host().Errors().size(), 11u);
    const std::string& omitted = Host().Errors().back();
    EXPECT_EQ(omitted.rfind("2 more messages of the form \"# " + character, 0), 0u) << omitted.substr(0, 80);
    // No character was cut: none is left to be shown as stray bytes.
    for (const std::string& line : Host().Errors())
      EXPECT_EQ(line.find("\\x"), std::string::npos) << line.substr(0, 80);
  }
}

TEST(MessageText, CharactersAreCountedAndCutWhole) {
  // A valid UTF-8 sequence is one character, and so is a byte of none.
  const struct {
    std::string text;
    bool utf8;
    std::size_t characters;
    std::size_t firstTwoBytes;  // the bytes of the first two characters
    std::size_t withinFour;     // the bytes of the longest start within four bytes
  } cases[] = {
      {"", true, 0, 0, 0},
      {"abcdef", true, 6, 2, 4},
      {"\xc3\xa9\xc3\xa9\xc3\xa9", true, 3, 4, 4},
      {"a\xe2\x82\xac\xe2\x82\xac", true, 3, 4, 4},
      {"ab\xf0\x9f\x98\x80", true, 3, 2, 2},
      {"\xff\xfe\xc3", false, 3, 2, 3},
      {"\xc3\xa9\xe2\x82", false, 3, 3, 4},
      {"\xe2\x82\xac\xc3\xa9", true, 2, 5, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(TQ_PrintableText(c.text));
    EXPECT_EQ(TQ_IsUtf8Text(c.text), c.utf8);
    EXPECT_EQ(TQ_CharacterCount(c.text), c.characters);
    EXPECT_EQ(TQ_CharactersBytes(c.text, 2), c.firstTwoBytes);
    EXPECT_EQ(TQ_BytesWithin(c.text, 4), c.withinFour);
    EXPECT_EQ(TQ_CharactersBytes(c.text, c.characters + 1), c.text.size());
  }
}

}  // namespace
