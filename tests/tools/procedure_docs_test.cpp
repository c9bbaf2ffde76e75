// The reference's section on the procedure INTERPOLATE (docs/reference.md)
// held to the library: the names the procedure reports and TQSysLib's file
// and routine, the argument table against the procedure's own tables, the
// worked example through the host, the messages of refused declarations,
// the statuses with their messages, and INTERP's failure codes.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "host/tq_executive.h"
#include "host/tq_loader.h"
#include "host/tq_procedure.h"
#include "host/vekexp.h"
#include "host_test.h"
#include "procedure/tqproc_interpolate.h"
#include "tqsyslib.h"
#include "user_runs.h"

using namespace user_runs;

namespace {

using Table = std::vector<std::vector<std::string>>;

const char* const kSection = "## The procedure INTERPOLATE";
// Every error of the procedure begins so.
const std::string kPrefix = "procedure INTERP: ";

// The section's lines, from its heading to the next section's.
std::vector<std::string> Section() {
  std::vector<std::string> section;
  bool inside = false;
  for (const std::string& line : SplitLines(ReadText(SourcePath("docs/reference.md")))) {
    if (line.rfind("## ", 0) == 0) inside = line == kSection;
    if (inside) section.push_back(line);
  }
  return section;
}

// The tables under a heading of the section, in order, up to the next heading.
std::vector<Table> TablesUnder(const std::string& heading) {
  const std::vector<std::string> lines = Section();
  std::vector<Table> tables;
  std::size_t k = 0;
  while (k < lines.size() && lines[k] != heading) ++k;
  EXPECT_LT(k, lines.size()) << "the section has no heading \"" << heading << "\"";
  for (++k; k < lines.size() && lines[k].rfind("#", 0) != 0; ++k) {
    if (lines[k].rfind("|", 0) != 0) continue;
    tables.push_back(TableFrom(lines, k));
    while (k + 1 < lines.size() && lines[k + 1].rfind("|", 0) == 0) ++k;
  }
  return tables;
}

// A message the reference quotes, "…" standing for any text, as a pattern of
// the whole message.
std::regex Pattern(const std::string& quoted) {
  static const std::regex kSpecial(R"([.^$|()\[\]{}*+?\\])");
  const std::string ellipsis = "\u2026";
  std::string pattern;
  for (std::size_t at = 0;;) {
    const std::size_t next = quoted.find(ellipsis, at);
    pattern += std::regex_replace(quoted.substr(at, next - at), kSpecial, R"(\$&)");
    if (next == std::string::npos) break;
    pattern += ".*";
    at = next + ellipsis.size();
  }
  return std::regex(pattern);
}

double Number(const std::string& cell) {
  const std::vector<std::string> words = Quoted(cell);
  EXPECT_EQ(words.size(), 1u) << cell;
  return words.empty() ? std::numeric_limits<double>::quiet_NaN() : std::stod(words[0]);
}

// The host's errors since the last call, each without the procedure's
// prefix (which each must have); forgets them.
std::vector<std::string> TakeErrors() {
  std::vector<std::string> errors;
  for (const std::string& error : TQ_Executive::Instance().Errors()) {
    EXPECT_EQ(error.rfind(kPrefix, 0), 0u) << error;
    errors.push_back(error.substr(error.rfind(kPrefix, 0) == 0 ? kPrefix.size() : 0));
  }
  TQ_Executive::Instance().ClearErrors();
  return errors;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  return all;
}

// Every test starts with a fresh executive and no errors.
class ProcedureReferenceTest : public HostTest {};

// The names: the class, the routine and the library the procedure reports,
// and TQSysLib as the build leaves it, found by that name and exporting that
// routine under its plain name.
TEST_F(ProcedureReferenceTest, NamesAreThoseOfTheProcedureAndOfTQSysLib) {
  const std::vector<Table> tables = TablesUnder(kSection);
  ASSERT_FALSE(tables.empty());
  const Table& names = tables[0];
  ASSERT_EQ(names.size(), 4u);
  const TQProc_INTERPOLATE procedure(false, 0);
  const std::string type = Quoted(names[0].at(1)).at(0);
  EXPECT_NE(std::string(typeid(procedure).name()).find(std::to_string(type.size()) + type), std::string::npos)
      << typeid(procedure).name();
  EXPECT_EQ(Quoted(names[1].at(1)), std::vector<std::string>{procedure.ProcedureName()});
  EXPECT_EQ(Quoted(names[2].at(1)), std::vector<std::string>{procedure.DLLName()});

  const std::vector<std::string> files = Quoted(names[3].at(1));
  ASSERT_EQ(files.size(), 2u);
#if defined(_WIN32)
  const std::string file = files[1];
#else
  const std::string file = files[0];
#endif
  TQ_LibraryLoader loader;
  std::string error;
  const TQ_LibraryRef library = loader.LoadByName(procedure.DLLName(), error);
  ASSERT_TRUE(library) << error;
  EXPECT_EQ(std::filesystem::path(library->Path()).filename().string(), file);
  EXPECT_NE(library->Function<TQ_Procedure13>(procedure.ProcedureName(), error), nullptr) << error;
}

// One row per argument, inputs first, with the procedure's own direction,
// kind and number of dimensions.
TEST_F(ProcedureReferenceTest, ArgumentTableIsTheProceduresOwn) {
  const std::vector<Table> tables = TablesUnder("### Making it and declaring its arguments");
  ASSERT_FALSE(tables.empty());
  const Table& rows = tables[0];
  using Procedure = TQProc_INTERPOLATE;
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(Procedure::TotalArgs()));
  const std::map<std::string, std::set<int>> kinds = {{"integer", {2, 3}}, {"real", {4}}, {"string", {5}}};
  for (int i = 0; i < Procedure::TotalArgs(); ++i) {
    const std::vector<std::string>& row = rows[static_cast<std::size_t>(i)];
    ASSERT_EQ(row.size(), 6u) << row.at(0);
    EXPECT_EQ(Quoted(row[0]), std::vector<std::string>{std::to_string(i)});
    EXPECT_EQ(row[2], i < Procedure::InputArgs() ? "input" : "output") << "argument " << i;
    ASSERT_TRUE(kinds.count(row[3])) << row[3];
    EXPECT_TRUE(kinds.at(row[3]).count(Procedure::Type(i))) << "argument " << i << " has type " << Procedure::Type(i);
    EXPECT_EQ(Number(row[4]), Procedure::Dimensions(i)) << "argument " << i;
    // "no input is written back into its variables"
    EXPECT_FALSE(Procedure::IsVariableInput(i)) << "argument " << i;
  }
}

// The model of the reference's example: Y = INTERP(X, A, B, 3) with every
// variable a solver variable, its arguments declared in both passes when it
// is made, its equation counted and emitted as a generated model does.
class ExampleModel : public TQ_ModelTypeEx2 {
 public:
  TQ_REALVARIABLE X, A[3], B[3], Y;
  TQProc_INTERPOLATE procedure{false, 0};
  int group = 0;

  ExampleModel() {
    const double a[3] = {0.0, 1.0, 3.0};
    const double b[3] = {0.0, 2.0, 3.0};
    for (int k = 0; k < 3; ++k) {
      A[k].SetCurrentValue(a[k]);
      B[k].SetCurrentValue(b[k]);
    }
    X.SetCurrentValue(2.0);
    Y.SetCurrentValue(0.0);
    Declare();
    Declare();
  }
  // The variables by the names the reference gives them.
  std::map<const TQ_VarParam*, std::string> Names() const {
    std::map<const TQ_VarParam*, std::string> names = {{&X, "X"}, {&Y, "Y"}};
    for (int k = 0; k < 3; ++k) {
      names[&A[k]] = "A(" + std::to_string(k + 1) + ")";
      names[&B[k]] = "B(" + std::to_string(k + 1) + ")";
    }
    return names;
  }
  void Declare() {
    procedure.Argument(X);
    for (auto* vector : {&A, &B}) {
      procedure.Argument();
      procedure.SetDimensionSize(3);
      for (auto& element : *vector) procedure.Element(element);
    }
    procedure.Argument(3);
    procedure.Argument(Y);
    procedure.LastArgument();
  }
  int SetUpEquations() override {
    int count = TQ_ModelTypeEx2::SetUpEquations();
    if (count < 0) return count;
    group = m_stLastGroup + 1;
    procedure.NZAndEqnContribution(this, group, count);
    AddNonZero(Y);
    AddNonZero(X);
    for (auto& a : A) AddNonZero(a);
    for (auto& b : B) AddNonZero(b);
    return SetLocalEqnCount(count);
  }
  int JacPattern(int*& rows, int*& cols, TQ_EquationType** types) override {
    ResetExpressions();
    int count = TQ_ModelTypeEx2::JacPattern(rows, cols, types);
    procedure.CreateEquationsAndSetGroup(group, 0, rows, cols, count, this, "INTERP_Y", 0);
    return count;
  }
};

// The example's terms, values, Jacobian entries, equation name, y and
// residual are what the host gets from the procedure; after a failed call
// the Jacobian row is still that of the last successful one.
TEST_F(ProcedureReferenceTest, ExampleIsWhatTheHostGets) {
  const std::vector<Table> tables = TablesUnder("### What it hands the host");
  ASSERT_EQ(tables.size(), 2u);
  const Table& terms = tables[0];
  ASSERT_EQ(tables[1].size(), 1u);
  const std::vector<std::string>& equation = tables[1][0];
  ASSERT_EQ(equation.size(), 3u);

  TQ_Executive& host = TQ_Executive::Instance();
  auto* model = new ExampleModel;
  model->AddRef();
  std::string error;
  ASSERT_TRUE(host.AddObject("M", model, &error)) << error;
  ASSERT_TRUE(host.RunSetUpEquations());
  ASSERT_TRUE(host.RunJacPattern());
  std::string difference;
  EXPECT_TRUE(host.DeclaredMatchesEmitted(&difference)) << difference;

  ASSERT_EQ(host.Emitted().size(), 1u);
  const TQ_EmittedEquation& emitted = host.Emitted()[0];
  EXPECT_EQ(Quoted(equation[0]), std::vector<std::string>{host.EquationName(emitted)});
  const std::map<const TQ_VarParam*, std::string> names = model->Names();
  std::vector<const TQ_VarParam*> variables;
  for (std::uint32_t i = 0; i < emitted.itemCount; ++i) {
    const TQ_ProgramItem& item = host.Items()[emitted.firstItem + i];
    if (item.kind == TQ_ProgramItem::Term) variables.push_back(item.term);
  }
  std::vector<double> residuals, entries;
  ASSERT_EQ(host.ProcedureResiduals(residuals), 0) << Joined(TakeErrors());
  ASSERT_EQ(host.ProcedureJacobian(entries), 0);
  ASSERT_EQ(residuals.size(), 1u);
  EXPECT_EQ(residuals[0], Number(equation[2]));
  EXPECT_EQ(Number(equation[2]), model->Y.Real() - Number(equation[1])) << "residual = Y - y";

  const auto expectTermsAndEntries = [&](const std::vector<double>& row) {
    ASSERT_EQ(variables.size(), terms.size());
    ASSERT_EQ(row.size(), terms.size());
    for (std::size_t t = 0; t < terms.size(); ++t) {
      ASSERT_EQ(terms[t].size(), 3u);
      EXPECT_EQ(Quoted(terms[t][0]), std::vector<std::string>{names.at(variables[t])}) << "term " << t;
      EXPECT_EQ(Number(terms[t][1]), variables[t]->Real()) << terms[t][0];
      EXPECT_EQ(Number(terms[t][2]), row[t]) << terms[t][0];
    }
  };
  expectTermsAndEntries(entries);

  // x not finite: INTERP fails; the Jacobian row stays the last successful call's.
  model->X.SetCurrentValue(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(host.ProcedureJacobian(entries), TQ_PROC_ROUTINE_FAILED);
  model->X.SetCurrentValue(2.0);
  expectTermsAndEntries(entries);
  TakeErrors();
}

// A procedure of class P (INTERPOLATE, or a renamed one) and the variables a
// model declares to it: x at 2.0, the vectors a = (0, 1, 3) and b = (0, 2, 3),
// n as a variable when wanted, and y.
template <class P = TQProc_INTERPOLATE>
struct Declaration {
  Declaration() : p(false, 0) { Values(); }
  Declaration(const char* library, const char* routine) : p(library, routine) { Values(); }

  P p;
  TQ_REALVARIABLE x, a[3], b[3], n, y;

  void Values() {
    x.SetCurrentValue(2.0);
    for (int k = 0; k < 3; ++k) {
      a[k].SetCurrentValue(k == 0 ? 0.0 : 2.0 * k - 1.0);
      b[k].SetCurrentValue(k == 0 ? 0.0 : k + 1.0);
    }
  }
  void Vector(TQ_REALVARIABLE (&elements)[3]) {
    p.Argument();
    p.SetDimensionSize(3);
    for (auto& element : elements) p.Element(element);
  }
  // The four inputs, n the constant `points`.
  void Inputs(int points = 3) {
    p.Argument(x);
    Vector(a);
    Vector(b);
    p.Argument(points);
  }
  // One whole pass.
  void Pass(int points = 3) {
    Inputs(points);
    p.Argument(y);
    p.LastArgument();
  }
};

// Each declaration that breaks the protocol gets the message the reference
// gives for it, and every message the reference gives is one of these.
TEST_F(ProcedureReferenceTest, RefusedDeclarationsGetTheReferencesMessages) {
  const std::vector<Table> tables = TablesUnder("### A wrong call");
  ASSERT_GE(tables.size(), 1u);
  TQ_ModelTypeEx owner;
  const std::vector<std::function<void(Declaration<>&)>> wrong = {
      [](Declaration<>& d) {
        d.Inputs();
        d.p.Argument(d.y);
        d.p.Argument(d.y);
      },
      [](Declaration<>& d) {
        d.p.Argument(d.x);
        d.p.Argument(1.0);
      },
      [](Declaration<>& d) {
        d.Inputs();
        d.p.Argument(2.0);
      },
      [](Declaration<>& d) {
        d.p.Argument(d.x);
        d.p.SetDimensionSize(3);
      },
      [](Declaration<>& d) {
        d.p.Argument(d.x);
        d.p.Argument();
        d.p.SetDimensionSize(3);
        d.p.SetDimensionSize(3);
      },
      [](Declaration<>& d) {
        d.p.Argument(d.x);
        d.Vector(d.a);
        d.p.Argument();
        d.p.SetDimensionSize(-1);
      },
      [](Declaration<>& d) {
        d.p.Argument(d.x);
        d.Vector(d.a);
        d.p.Argument();
        d.p.Element(d.b[0]);
      },
      [](Declaration<>& d) {
        d.p.Argument(d.x);
        d.Vector(d.a);
        d.p.Element(d.a[0]);
      },
      [](Declaration<>& d) {
        d.p.Argument(d.x);
        d.p.Argument();
        d.p.SetDimensionSize(3);
        d.p.Element(d.a[0]);
        d.p.Argument();
      },
      [](Declaration<>& d) {
        d.Inputs();
        d.p.Element(d.n);
      },
      [](Declaration<>& d) {
        d.Inputs();
        d.p.LastArgument();
      },
      [](Declaration<>& d) {
        d.Pass();
        d.p.Argument(d.x);
        d.Vector(d.a);
        d.Vector(d.b);
        d.p.Argument(d.n);
      },
      [&owner](Declaration<>& d) {
        int count = 0;
        d.p.Argument(d.x);
        EXPECT_EQ(d.p.NZAndEqnContribution(&owner, 0, count), 0);
        EXPECT_EQ(count, 0);
      },
      [&owner](Declaration<>& d) {
        int count = 0;
        int* rows = nullptr;
        int* cols = nullptr;
        d.Pass();
        d.p.CreateEquationsAndSetGroup(0, 0, rows, cols, count, &owner, "P", 0);
      },
  };
  std::vector<std::string> messages;
  for (std::size_t k = 0; k < wrong.size(); ++k) {
    Declaration<> d;
    wrong[k](d);
    const std::vector<std::string> errors = TakeErrors();
    EXPECT_EQ(errors.size(), 1u) << "case " << k;
    messages.insert(messages.end(), errors.begin(), errors.end());
  }

  std::vector<std::regex> documented;
  for (const auto& row : tables[0]) {
    ASSERT_EQ(row.size(), 2u) << row.at(0);
    const std::vector<std::string> quoted = Quoted(row[1]);
    ASSERT_EQ(quoted.size(), 1u) << row[1];
    documented.push_back(Pattern(quoted[0]));
    bool given = false;
    for (const std::string& message : messages) given = given || std::regex_match(message, documented.back());
    EXPECT_TRUE(given) << "the reference gives \"" << quoted[0] << "\", which no refused declaration gets";
  }
  for (const std::string& message : messages) {
    bool found = false;
    for (const std::regex& pattern : documented) found = found || std::regex_match(message, pattern);
    EXPECT_TRUE(found) << "\"" << message << "\" is not in the reference";
  }
}

// INTERPOLATE under other names, for a library or routine that is not there;
// its messages are read back under the procedure's own names.
class Renamed : public TQProc_INTERPOLATE {
 public:
  Renamed(const char* library, const char* routine)
      : TQProc_INTERPOLATE(false, 0), library_(library), routine_(routine) {}
  const char* ProcedureName() const override { return routine_; }
  const char* DLLName() const override { return library_; }

 private:
  const char* library_;
  const char* routine_;
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The procedure's Residuals on a declaration: its status and its messages,
// the names of a renamed procedure put back.
template <class P>
std::pair<int, std::vector<std::string>> ResidualsOf(P& procedure) {
  double value = 0.0;
  int position = 0;
  const int status = procedure.Residuals(&value, position);
  std::vector<std::string> messages;
  for (std::string error : TQ_Executive::Instance().Errors()) {
    error = Replaced(Replaced(error, procedure.ProcedureName(), "INTERP"), procedure.DLLName(), "TQSysLib");
    EXPECT_EQ(error.rfind(kPrefix, 0), 0u) << error;
    messages.push_back(error.substr(kPrefix.size()));
  }
  TQ_Executive::Instance().ClearErrors();
  return {status, messages};
}

// The statuses are the host's, each with the messages the reference gives
// for it; a missing library, a missing routine, a failing INTERP and an
// incomplete declaration get them.
TEST_F(ProcedureReferenceTest, StatusesAreTheHostsWithTheReferencesMessages) {
  const std::vector<Table> tables = TablesUnder("### A wrong call");
  ASSERT_GE(tables.size(), 2u);
  const std::map<std::string, int> statuses = {
      {"TQ_PROC_OK", TQ_PROC_OK},
      {"TQ_PROC_LIBRARY_MISSING", TQ_PROC_LIBRARY_MISSING},
      {"TQ_PROC_ROUTINE_MISSING", TQ_PROC_ROUTINE_MISSING},
      {"TQ_PROC_INCOMPATIBLE", TQ_PROC_INCOMPATIBLE},
      {"TQ_PROC_ROUTINE_FAILED", TQ_PROC_ROUTINE_FAILED},
      {"TQ_PROC_BAD_OUTPUT", TQ_PROC_BAD_OUTPUT},
      {"TQ_PROC_REFUSED", TQ_PROC_REFUSED},
  };

  std::vector<std::pair<int, std::vector<std::string>>> calls;
  {
    Declaration<> d;
    calls.push_back(ResidualsOf(d.p));  // before any pass
    d.Pass();
    calls.push_back(ResidualsOf(d.p));  // before the binding pass
    d.Pass();
    calls.push_back(ResidualsOf(d.p));  // INTERP succeeds
  }
  for (const auto& [library, routine] : {std::pair("TQSysLibNowhere", "INTERP"), std::pair("TQSysLib", "NOWHERE")}) {
    Declaration<Renamed> d(library, routine);
    d.Pass();
    d.Pass();
    calls.push_back(ResidualsOf(d.p));
  }
  {
    Declaration<> d;
    d.Pass(1);  // n below 2
    d.Pass(1);
    calls.push_back(ResidualsOf(d.p));
  }
  // The calls above give one message each, but for the success, which gives none.
  for (const auto& [status, messages] : calls) EXPECT_EQ(messages.size(), status == 0 ? 0u : 1u) << status;

  std::set<std::string> names;
  for (const auto& row : tables[1]) {
    ASSERT_EQ(row.size(), 4u) << row.at(0);
    const int status = static_cast<int>(Number(row[0]));
    const std::string name = Quoted(row[1]).at(0);
    names.insert(name);
    ASSERT_TRUE(statuses.count(name)) << name << " is not a status of the host";
    EXPECT_EQ(statuses.at(name), status) << name;
    for (const std::string& quoted : Quoted(row[3])) {
      bool given = false;
      for (const auto& [got, messages] : calls)
        for (const std::string& message : messages)
          given = given || (got == status && std::regex_match(message, Pattern(quoted)));
      EXPECT_TRUE(given) << "the reference gives status " << status << " with \"" << quoted << "\", which no call gets";
    }
  }
  std::set<std::string> all;
  for (const auto& [name, status] : statuses) all.insert(name);
  EXPECT_EQ(names, all);
  for (const auto& [status, messages] : calls) {
    for (const std::string& message : messages) {
      bool found = false;
      for (const auto& row : tables[1])
        if (Number(row[0]) == status)
          for (const std::string& quoted : Quoted(row[3])) found = found || std::regex_match(message, Pattern(quoted));
      EXPECT_TRUE(found) << "status " << status << " with \"" << message << "\" is not in the reference";
    }
  }
}

// INTERP's failure codes are TQSysLib's; the procedure's calls meet those
// that a table or an input can cause, each as its code.
TEST_F(ProcedureReferenceTest, FailureCodesAreINTERPs) {
  const std::vector<Table> tables = TablesUnder("### A wrong call");
  ASSERT_GE(tables.size(), 3u);
  std::set<int> documented;
  for (const auto& row : tables[2]) documented.insert(static_cast<int>(Number(row.at(0))));
  EXPECT_EQ(documented,
            (std::set<int>{TQSYSLIB_FAIL_TOO_FEW_POINTS,
                           TQSYSLIB_FAIL_TABLE_TOO_SHORT,
                           TQSYSLIB_FAIL_NOT_INCREASING,
                           TQSYSLIB_FAIL_NOT_FINITE,
                           TQSYSLIB_FAIL_CALL_TYPE,
                           TQSYSLIB_FAIL_LAYOUT,
                           TQSYSLIB_FAIL_DERIVATIVE_LAYOUT}));

  // Tables and inputs that fail, by the code the reference gives them:
  // n, then a and x.
  struct Failing {
    int code;
    int n;
    double a2;
    double x;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Failing cases[] = {{2, 1, 1.0, 2.0}, {3, 4, 1.0, 2.0}, {4, 3, 0.0, 2.0}, {5, 3, 1.0, nan}};
  for (const Failing& c : cases) {
    SCOPED_TRACE("code " + std::to_string(c.code));
    ASSERT_TRUE(documented.count(c.code));
    Declaration<> d;
    d.a[1].SetCurrentValue(c.a2);
    d.x.SetCurrentValue(c.x);
    d.Pass(c.n);
    d.Pass(c.n);
    const auto [status, messages] = ResidualsOf(d.p);
    EXPECT_EQ(status, TQ_PROC_ROUTINE_FAILED);
    EXPECT_EQ(messages,
              std::vector<std::string>{"values and derivatives call of routine \"INTERP\" failed with code " +
                                       std::to_string(c.code)});
  }
}

}  // namespace
