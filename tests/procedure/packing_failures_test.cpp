// Packing with change detection, and every way a call is refused or fails
// without writing past what the host and the procedure hold.
#include "call_support.h"

// A named namespace: the procedure template is an exported class template, and
// on Windows every instance of it needs argument types with external linkage.
namespace packing_failures_test {

using Call = TQ_ProcedureType;
using Interpolate = CallProbe<TQProc_INTERPOLATE>;

class PackingTest : public CallTest {
 protected:
  // INTERPOLATE declared in both passes: x a variable, a(5) and b(3)
  // parameters, k the constant 2, y; offsets 0, 1, 6, 9, 10.
  static void Declare(Interpolate& p, InterpolateVariables& v) {
    DeclareInterpolate(p, v, 2);
    DeclareInterpolate(p, v, 2);
  }
  static std::vector<unsigned char> Bytes(Interpolate& p) {
    return {p.BufferBytes(), p.BufferBytes() + 8 * p.ArgumentWords()};
  }
};

TEST_F(PackingTest, OnlyChangedValuesAreWrittenAndFlagged) {
  Interpolate p(false, 0);
  InterpolateVariables v;
  Declare(p, v);
  v.x.SetCurrentValue(0.5);
  v.b[2].SetCurrentValue(3.0);
  p.SetChanged(false);
  p.PackInputVars();
  EXPECT_TRUE(p.Changed());
  EXPECT_EQ(p.Buffer()[0], 0.5);
  EXPECT_EQ(p.Buffer()[8], 3.0) << "a change in the first argument does not stop the later ones";
  EXPECT_EQ(p.ArgCursor(), 4);
  EXPECT_EQ(p.DimIndex(), 2);
  EXPECT_EQ(p.Cursor(), p.Elements() + 9);

  // Nothing differs: nothing is written and the flag stays as the caller left it.
  std::vector<unsigned char> before = Bytes(p);
  p.SetChanged(false);
  p.PackInputVars();
  EXPECT_FALSE(p.Changed());
  EXPECT_EQ(Bytes(p), before);
  p.SetChanged(true);
  p.PackInputVars();
  EXPECT_TRUE(p.Changed());

  // An integer is its word's first 4 bytes; the other 4 are never touched.
  const std::uint32_t high = 0xA5A5A5A5u;
  std::memcpy(p.BufferBytes() + 8 * 9 + 4, &high, 4);
  p.SetChanged(false);
  p.PackInputVars();
  EXPECT_FALSE(p.Changed());
  const std::int32_t other = 77;
  std::memcpy(p.BufferBytes() + 8 * 9, &other, 4);
  p.PackInputVars();
  EXPECT_TRUE(p.Changed());
  std::int32_t low;
  std::uint32_t kept;
  std::memcpy(&low, p.BufferBytes() + 8 * 9, 4);
  std::memcpy(&kept, p.BufferBytes() + 8 * 9 + 4, 4);
  EXPECT_EQ(low, 2);
  EXPECT_EQ(kept, high);

  // -0 over +0 is no change and the word keeps +0; a NaN always changes.
  v.x.SetCurrentValue(0.0);
  p.PackInputVars();
  v.x.SetCurrentValue(-0.0);
  p.SetChanged(false);
  p.PackInputVars();
  EXPECT_FALSE(p.Changed());
  EXPECT_FALSE(std::signbit(p.Buffer()[0]));
  v.a[4].SetCurrentValue(std::numeric_limits<double>::quiet_NaN());
  for (int pass = 0; pass < 2; ++pass) {
    p.SetChanged(false);
    p.PackInputVars();
    EXPECT_TRUE(p.Changed());
  }

  // The outputs are preset from the output variables, whatever they held.
  v.y.SetCurrentValue(6.5);
  p.SetChanged(false);
  p.PackInputVars();
  p.PackOutputVars();
  EXPECT_EQ(p.Buffer()[10], 6.5);
  EXPECT_TRUE(p.Changed()) << "the NaN";
  EXPECT_EQ(p.Cursor(), p.Elements() + 10);
  EXPECT_EQ(TakeErrors(), "");
}

// An argument whose type code has no layout is passed over whole: nothing is
// packed for it, and the arguments after it take their own elements.
class UnknownTypeProc : public TQ_ProcedureTemplate<UnknownTypeProc, 2, 1, 1, TQ_ProcedureType_C, 4> {
 public:
  static bool IsVariableInput(int) { return true; }
  static int Dimensions(int i) { return i == 0 ? 1 : 0; }
  static int Type(int i) { return i == 0 ? 7 : 4; }
  static bool ReturnsDerivatives() { return false; }
  void CreateDerivatives() { HandleDerivatives(false); }
  void NegateDerivatives() { HandleDerivatives(true); }
  const char* ProcedureName() const override { return "UNKNOWN"; }
  const char* DLLName() const override { return "TestLib"; }
};

TEST_F(PackingTest, AnArgumentOfAnUnknownTypeIsPassedOverWhole) {
  CallProbe<UnknownTypeProc> p;
  TQ_REALVARIABLE skipped[2], scalar, y;
  skipped[0].SetCurrentValue(11.0);
  skipped[1].SetCurrentValue(12.0);
  scalar.SetCurrentValue(5.0);
  for (int pass = 0; pass < 2; ++pass) {
    DeclareArray(p, {2}, skipped);
    p.Argument(scalar);
    p.Argument(y);
    p.LastArgument();
  }
  p.PackInputVars();
  EXPECT_EQ(p.Buffer()[p.GetOffset(1)], 5.0);
  EXPECT_EQ(p.Cursor(), p.Elements() + 3);
  EXPECT_EQ(p.DimIndex(), 1);
  EXPECT_EQ(TakeErrors(), "");
}

// Strings: a null text is packed as the empty text, not compared; a field is
// padded with NULs (C) or blanks (Fortran); a longer text is cut, with an
// error.
TEST_F(PackingTest, StringFields) {
  for (bool fortran : {false, true}) {
    SCOPED_TRACE(fortran ? "Fortran" : "C");
    CallProbe<StringsProc> p(fortran);
    StringsVariables v;
    DeclareStrings(p, v, {2, 1, {1, 1}, {1, 1}, 1});
    char* field = reinterpret_cast<char*>(p.BufferBytes() + 8 * p.GetOffset(3));
    std::memset(field, 'Z', 40);
    p.SetChanged(false);
    EXPECT_TRUE(p.PackStr(field, nullptr));
    EXPECT_EQ(std::string(field, 40), std::string(40, fortran ? ' ' : '\0'));
    p.SetChanged(false);
    EXPECT_FALSE(p.PackStr(field, ""));
    EXPECT_TRUE(p.PackStr(field, "units"));
    EXPECT_EQ(std::string(field, 5), "units");
    p.SetChanged(false);
    p.PackStr(field, std::string(45, 'q').c_str());
    EXPECT_EQ(std::string(field, 40), std::string(40, 'q'));
    EXPECT_NE(TakeErrors().find("cut to its first 40"), std::string::npos);

    // The array's fields follow its character-pointer table in C.
    v.s[0].SetCurrentValue("first");
    v.s[1].SetCurrentValue("second");
    p.PackInputVars();
    const int table = fortran ? 0 : static_cast<int>((2 * TQ_CHARPOINTER_BYTES + 7) / 8);
    const char* strings = reinterpret_cast<const char*>(p.BufferBytes() + 8 * (p.GetOffset(0) + table));
    const char pad = fortran ? ' ' : '\0';
    EXPECT_EQ(std::string(strings, 6), std::string("first") + pad);
    EXPECT_EQ(std::string(strings + 40, 7), std::string("second") + pad);
    EXPECT_EQ(std::string(field, 5), "units") << "the constant, through PackStr";
    EXPECT_EQ(TakeErrors(), "");
  }
}

TEST_F(PackingTest, TheHostsPackersStayInsideTheBufferAndTheElements) {
  Interpolate p(false, 0);
  InterpolateVariables v;
  Declare(p, v);
  p.PackInputVars();
  const std::vector<unsigned char> before = Bytes(p);
  const int sizes[1] = {5};
  const int tooMany[1] = {9};
  p.SetChanged(false);
  EXPECT_FALSE(p.PackRealArray(p.Buffer() + 8, 1, sizes));  // would pass the buffer's end
  EXPECT_NE(TakeErrors().find("PackRealArray"), std::string::npos);
  EXPECT_FALSE(p.PackRealArray(p.Buffer() + 1, 1, tooMany));  // more elements than inputs
  EXPECT_NE(TakeErrors().find("nothing packed"), std::string::npos);
  const int negative[1] = {-1};
  EXPECT_FALSE(p.PackIntegerArray(reinterpret_cast<int*>(p.Buffer() + 1), 1, negative));
  TakeErrors();
  EXPECT_EQ(Bytes(p), before);
  EXPECT_FALSE(p.Changed());
}

// ---- failures ---------------------------------------------------------------------------

using FailureTest = PackingTest;

// Before the layout is final, or before the binding pass has listed the
// elements, nothing is packed, loaded or called.
TEST_F(FailureTest, ACallBeforeTheDeclarationIsCompleteIsRefused) {
  Interpolate fresh(false, 0);
  double values[4] = {-1, -1, -1, -1};
  int position = 0;
  EXPECT_EQ(fresh.Residuals(values, position), TQ_PROC_REFUSED);
  EXPECT_EQ(fresh.Jacobian(values, position), TQ_PROC_REFUSED);
  EXPECT_EQ(fresh.Precall(true), TQ_PROC_REFUSED);
  EXPECT_EQ(position, 0);
  EXPECT_NE(TakeErrors().find("the argument layout is not final"), std::string::npos);

  Interpolate half(false, 0);
  InterpolateVariables v;
  DeclareInterpolate(half, v, 2);
  EXPECT_EQ(half.Residuals(values, position), TQ_PROC_REFUSED);
  EXPECT_EQ(position, 1);
  EXPECT_EQ(half.Jacobian(values, position), TQ_PROC_REFUSED);
  EXPECT_EQ(position, 3) << "the index passes the entries the equations declared";
  EXPECT_NE(TakeErrors().find("binding pass"), std::string::npos);
  EXPECT_EQ(values[0], -1.0);
  EXPECT_EQ(values[1], -1.0);
  EXPECT_EQ(InterpCalls(), 0);
  EXPECT_EQ(TQ_ProcedureLibraries::LoadedPath("TQSysLib"), "");
}

// Counts that disagree are refused, not overrun; a null array is refused.
TEST_F(FailureTest, CountsThatDisagreeAreRefused) {
  Interpolate p(false, 0);
  InterpolateVariables v;
  v.a[1].SetCurrentValue(1.0);  // a table INTERP takes: a(1) < a(2)
  Declare(p, v);
  std::vector<double> values(2, -1.0);
  int position = 0;
  p.SetOutputValues(2);
  EXPECT_EQ(p.Residuals(values.data(), position), TQ_PROC_REFUSED);
  EXPECT_NE(TakeErrors().find("2 output values"), std::string::npos);
  p.SetOutputValues(1);
  p.SetDerivativeCount(3);
  position = 0;
  EXPECT_EQ(p.Jacobian(values.data(), position), TQ_PROC_REFUSED);
  EXPECT_NE(TakeErrors().find("derivative count 3"), std::string::npos);
  EXPECT_EQ(values, std::vector<double>(2, -1.0));
  EXPECT_EQ(InterpCalls(), 0);
  p.SetDerivativeCount(10);
  position = 0;
  EXPECT_EQ(p.Residuals(nullptr, position), TQ_PROC_REFUSED);
  EXPECT_EQ(position, 1);
  EXPECT_NE(TakeErrors().find("without an array"), std::string::npos);
  EXPECT_EQ(p.Residuals(values.data(), position), 0) << TakeErrors();
  EXPECT_EQ(InterpCalls(), 1);
}

// A routine that changes the derivative count fails the call; nothing is
// negated past the arrays.
TEST_F(FailureTest, ARoutineThatChangesTheDerivativeCountFails) {
  InterpolateModel<> model(false, 0);
  Stage().act =
      [](std::int32_t*, double*, std::int32_t*, std::int32_t*, std::int32_t* count, double*, std::int32_t* failure) {
        *count = 1000;
        *failure = 0;
      };
  double value;
  int position = 0;
  EXPECT_EQ(model.procedure.Residuals(&value, position), TQ_PROC_ROUTINE_FAILED);
  EXPECT_EQ(model.procedure.DerivativeCount(), 10);
  EXPECT_NE(TakeErrors().find("changed the derivative count"), std::string::npos);
}

// An exception from the routine closes the bracket and leaves no outputs
// that claim to be current: the next request runs the routine again.
TEST_F(FailureTest, AnExceptionLeavesNoBracketOpenAndNoStaleOutputs) {
  RoutineStage& stage = Stage();
  InterpolateModel<> model(false, 0);
  TQ_COMPONENTLISTNAME list;
  model.procedure.SetComponentListName(&list);
  double value;
  int position = 0;
  ASSERT_EQ(model.procedure.Residuals(&value, position), 0);
  model.X.SetCurrentValue(0.5);
  stage.act = [](std::int32_t*, double*, std::int32_t*, std::int32_t*, std::int32_t*, double*, std::int32_t*) {
    throw std::runtime_error("routine broke down");
  };
  position = 0;
  EXPECT_THROW(model.procedure.Residuals(&value, position), std::runtime_error);
  EXPECT_EQ(list.OpenPropertiesCalls(), 0);
  EXPECT_TRUE(model.procedure.LastCall(Call::CallNone));
  stage.act = nullptr;
  position = 0;
  ASSERT_EQ(model.procedure.Residuals(&value, position), 0);
  EXPECT_EQ(stage.seen.size(), 3u);
  EXPECT_DOUBLE_EQ(value, model.Y.Real() - model.Expected().y);
  EXPECT_EQ(list.OpenPropertiesCalls(), 0);
  EXPECT_EQ(list.PropertiesCallCount(), 3);
  // An End without a Begin is reported, not counted below zero.
  list.EndPropertiesCall();
  EXPECT_EQ(list.OpenPropertiesCalls(), 0);
  EXPECT_NE(TakeErrors().find("without an open BeginPropertiesCall"), std::string::npos);
}

}  // namespace packing_failures_test
