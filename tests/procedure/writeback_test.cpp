// Write-back of variable inputs: a twin of INTERPOLATE that marks x, a and
// n as variable inputs, and a procedure with variable string inputs, each
// called through a routine that changes its inputs in the buffer.
#include "call_support.h"
#include "host/tq_executive_testing.h"

// A named namespace: the procedure template is an exported class template, and
// on Windows every instance of it needs argument types with external linkage.
namespace writeback_test {

using Call = TQ_ProcedureType;

class SolverInteger : public TQ_INTEGERPARAMETER {
 public:
  bool IsSolverVariable() const override { return true; }
};

class SolverString : public TQ_STRINGPARAMETER {
 public:
  bool IsSolverVariable() const override { return true; }
};

// x, a (bit 1) and n (bit 3) are variable inputs; b is not.
using VariableTwin = CallProbe<TwinInterpolate<true, 0b1011u>>;

// x, a(3), b(3), n, y with their offsets 0, 1, 4, 7 and 8.
struct TwinDeclaration {
  TQ_REALVARIABLE x, a[3], b[3], y;
  SolverInteger n;
  VariableTwin p;

  TwinDeclaration() {
    const double table[3] = {0.0, 1.0, 2.0};
    TQ_Value guess(1.0, 0u);
    for (int k = 0; k < 3; ++k) {
      a[k].SetCurrentValue(table[k]);
      b[k].SetCurrentValue(table[k] * 10.0);
    }
    a[1].Assign(&guess);          // a default assignment: written back by assignment
    a[2].Fix(TQ_Value(2.0, 0u));  // no solver variable
    n.SetCurrentValue(3.0);
    x.SetCurrentValue(0.5);
    for (int pass = 0; pass < 2; ++pass) {
      p.Argument(x);
      DeclareArray(p, {3}, a);
      DeclareArray(p, {3}, b);
      p.Argument(n);
      p.Argument(y);
      p.LastArgument();
    }
  }
  int Residuals() {
    double value;
    int position = 0;
    return p.Residuals(&value, position);
  }
};

class WriteBackTest : public CallTest {
 protected:
  // The routine's changes: it writes `entries` (word, value) into the buffer
  // and the integer `n` into n's word, leaves y = 0 and succeeds.
  static void RoutineWrites(std::vector<std::pair<int, double>> entries, std::int32_t n) {
    Stage().act = [entries, n](std::int32_t*,
                               double* buffer,
                               std::int32_t*,
                               std::int32_t* outputs,
                               std::int32_t*,
                               double*,
                               std::int32_t* failure) {
      for (const auto& [word, value] : entries) buffer[word] = value;
      std::memcpy(&buffer[7], &n, sizeof n);
      buffer[*outputs] = 0.0;
      *failure = 0;
    };
  }
};

TEST_F(WriteBackTest, ChangedSolverVariablesOfVariableInputsTakeTheRoutinesValues) {
  TwinDeclaration d;
  TQ_IncrementalUpdate controller;
  d.p.SetUpdateController(&controller);
  TQ_ExecutiveTesting::EnableLog(TQ_Executive::Instance(), true);
  RoutineWrites({{0, 1.25}, {2, 7.5}, {3, 9.0}, {4, 99.0}}, -7);
  ASSERT_EQ(d.Residuals(), 0) << TakeErrors();

  EXPECT_EQ(d.x.Real(), 1.25);
  EXPECT_FALSE(d.x.IsDefaultAssignment());
  EXPECT_EQ(d.a[0].Real(), 0.0) << "unchanged entry";
  EXPECT_EQ(d.a[1].Real(), 7.5);
  EXPECT_TRUE(d.a[1].IsDefaultAssignment()) << "written by assignment";
  EXPECT_EQ(d.a[2].Real(), 2.0) << "no solver variable";
  EXPECT_EQ(d.b[0].Real(), 0.0) << "b is no variable input";
  EXPECT_EQ(d.n.Integer(), -7);
  EXPECT_EQ(controller.ChangedVariables(), (std::vector<TQ_VarParam*>{&d.x, &d.a[1], &d.n}));
  std::vector<const TQ_Containable*> assigned;
  for (const TQ_LogEntry& entry : TQ_ExecutiveTesting::Log(TQ_Executive::Instance())) {
    assigned.push_back(entry.target);
    // The host receives the procedures' level word unchanged, pass and number 0.
    EXPECT_EQ(entry.value.Level(), 1048576000u);
    EXPECT_EQ(entry.value.Pass(), 0u);
    EXPECT_EQ(entry.value.Number(), 0);
  }
  EXPECT_EQ(assigned, (std::vector<const TQ_Containable*>{&d.a[1]}));
  EXPECT_EQ(d.p.ArgCursor(), 0);
  EXPECT_EQ(d.p.DimIndex(), 0);

  // The word of a(3), no solver variable, differs from it: the next request
  // runs the routine again, whose values now equal the variables, so that
  // nothing is written.
  controller.ClearChanged();
  const std::size_t calls = RoutineStage::Current().seen.size();
  ASSERT_EQ(d.Residuals(), 0);
  EXPECT_EQ(RoutineStage::Current().seen.size(), calls + 1);
  EXPECT_TRUE(controller.ChangedVariables().empty());
  EXPECT_EQ(TQ_ExecutiveTesting::Log(TQ_Executive::Instance()).size(), 1u);
  TQ_ExecutiveTesting::EnableLog(TQ_Executive::Instance(), false);
  EXPECT_EQ(TakeErrors(), "");
}

TEST_F(WriteBackTest, ANaNIsWrittenEveryTimeAndMinusZeroNever) {
  TwinDeclaration d;
  TQ_IncrementalUpdate controller;
  d.p.SetUpdateController(&controller);
  d.x.SetCurrentValue(0.0);
  RoutineWrites({{0, -0.0}}, 3);
  ASSERT_EQ(d.Residuals(), 0);
  EXPECT_TRUE(controller.ChangedVariables().empty());
  EXPECT_FALSE(std::signbit(d.x.Real()));

  RoutineWrites({{0, std::numeric_limits<double>::quiet_NaN()}}, 3);
  d.x.SetCurrentValue(0.1);
  for (std::size_t k = 1; k <= 3; ++k) {
    ASSERT_EQ(d.Residuals(), 0);
    EXPECT_TRUE(std::isnan(d.x.Real()));
    EXPECT_EQ(controller.ChangedVariables().size(), k) << "NaN over NaN is written again";
  }
  EXPECT_EQ(TakeErrors(), "");
}

TEST_F(WriteBackTest, NothingIsWrittenBackAfterAFailurePrecallOrWhenTheHostSaysNo) {
  TwinDeclaration d;
  TQ_IncrementalUpdate controller;
  d.p.SetUpdateController(&controller);
  Stage().act =
      [](std::int32_t*, double* buffer, std::int32_t*, std::int32_t*, std::int32_t*, double*, std::int32_t* failure) {
        buffer[0] = 42.0;
        *failure = 6;
      };
  EXPECT_EQ(d.Residuals(), TQ_PROC_ROUTINE_FAILED);
  EXPECT_EQ(d.x.Real(), 0.5);
  TakeErrors();

  RoutineWrites({{0, 42.0}}, 3);
  EXPECT_EQ(d.p.Precall(true), 0);
  EXPECT_EQ(d.x.Real(), 0.5) << "a precall writes nothing back";

  TQ_ProcedureType::SetPostsetInputs(false);
  EXPECT_EQ(d.Residuals(), 0);
  EXPECT_EQ(d.x.Real(), 0.5);
  TQ_ProcedureType::SetPostsetInputs(true);
  d.x.SetCurrentValue(0.75);
  EXPECT_EQ(d.Residuals(), 0);
  EXPECT_EQ(d.x.Real(), 42.0);
  EXPECT_EQ(controller.ChangedVariables().size(), 1u);
  // Without a controller the values are still written.
  d.p.SetUpdateController(nullptr);
  d.x.SetCurrentValue(0.5);
  EXPECT_EQ(d.Residuals(), 0);
  EXPECT_EQ(d.x.Real(), 42.0);
  EXPECT_EQ(TakeErrors(), "");
}

// ---- strings ---------------------------------------------------------------------------

// 0 input: string array of 4 (variable), 1 input: string scalar (variable),
// 2 output: real.
class VariableStrings : public TQ_ProcedureTemplate<VariableStrings, 2, 1, 1, TQ_ProcedureType_C, 4> {
 public:
  explicit VariableStrings(bool fortran) { SetMode(fortran, 0); }
  static bool IsVariableInput(int i) { return i < 2; }
  static int Dimensions(int i) { return i == 0 ? 1 : 0; }
  static int Type(int i) { return i < 2 ? 5 : 4; }
  static bool ReturnsDerivatives() { return false; }
  void CreateDerivatives() { HandleDerivatives(false); }
  void NegateDerivatives() { HandleDerivatives(true); }
  const char* ProcedureName() const override { return "STRINGS"; }
  const char* DLLName() const override { return "StringLib"; }
};

// Writes the entries the test sets into the string fields it is handed.
struct StringEntries {
  static std::vector<std::string>& Fields() {
    static std::vector<std::string> fields;
    return fields;
  }
  static bool& Fortran() {
    static bool fortran = false;
    return fortran;
  }
};

extern "C" void TQ_ROUTINE_CALL WriteStrings(std::int32_t*,
                                             double* buffer,
                                             std::int32_t* dims,
                                             double*,
                                             std::int32_t*,
                                             std::int32_t* offsets,
                                             std::int32_t* outputOffsets,
                                             std::int32_t*,
                                             double*,
                                             std::int32_t*,
                                             std::int32_t*,
                                             std::int32_t*,
                                             std::int32_t*,
                                             std::int32_t*,
                                             double*,
                                             std::int32_t* failure) {
  char* array = reinterpret_cast<char*>(buffer + offsets[0]);
  if (!StringEntries::Fortran()) array += ((dims[0] * TQ_CHARPOINTER_BYTES + 7) / 8) * 8;
  char* scalar = reinterpret_cast<char*>(buffer + offsets[1]);
  const std::vector<std::string>& fields = StringEntries::Fields();
  for (std::size_t k = 0; k < fields.size(); ++k) {
    char* field = k < 4 ? array + 40 * k : scalar;
    std::memset(field, 0, 40);
    std::memcpy(field, fields[k].data(), std::min<std::size_t>(40, fields[k].size()));
  }
  buffer[outputOffsets[0]] = 1.0;
  *failure = 0;
}

TEST_F(WriteBackTest, StringEntriesAreTrimmedAndWrittenToTheirOwnVariables) {
  for (bool fortran : {false, true}) {
    SCOPED_TRACE(fortran ? "Fortran" : "C");
    TQ_ProcedureLibraries::Register("StringLib", "STRINGS", &WriteStrings);
    StringEntries::Fortran() = fortran;
    CallProbe<VariableStrings> p(fortran);
    SolverString s[4], scalar;
    TQ_REALVARIABLE y;
    for (auto& v : s) v.SetCurrentValue("old");
    scalar.SetCurrentValue("keep");
    for (int pass = 0; pass < 2; ++pass) {
      DeclareArray(p, {4}, s);
      p.Argument(scalar);
      p.Argument(y);
      p.LastArgument();
    }
    p.InitializeCStrings();
    const std::string forty(40, 'x');
    StringEntries::Fields() = {
        "abc" + std::string(37, ' '), "  lead", std::string("ab\0cd", 5), forty, std::string(40, ' ')};
    TQ_IncrementalUpdate controller;
    p.SetUpdateController(&controller);
    double value;
    int position = 0;
    ASSERT_EQ(p.Residuals(&value, position), 0) << TakeErrors();
    EXPECT_STREQ(s[0].String(), "abc");
    EXPECT_STREQ(s[1].String(), "  lead");
    EXPECT_STREQ(s[2].String(), "ab");
    EXPECT_EQ(std::string(s[3].String()), forty);
    EXPECT_STREQ(scalar.String(), "keep") << "a blank entry is not written back";
    EXPECT_EQ(controller.ChangedVariables().size(), 4u);

    // Entries equal to the variables are not written again.
    controller.ClearChanged();
    StringEntries::Fields() = {"abc", "  lead", "ab", forty, "new"};
    s[0].SetCurrentValue("abd");  // changes an input, so that the routine runs
    position = 0;
    ASSERT_EQ(p.Residuals(&value, position), 0) << TakeErrors();
    EXPECT_EQ(controller.ChangedVariables(), (std::vector<TQ_VarParam*>{&s[0], &scalar}));
    EXPECT_STREQ(scalar.String(), "new");
  }
  EXPECT_EQ(TakeErrors(), "");
}

}  // namespace writeback_test
