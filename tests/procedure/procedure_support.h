// Helpers of the procedure tests: a view of a procedure object's state,
// procedure classes of the tests' own, and a host base that records the
// host services the template calls.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "host/tq_executive.h"
#include "procedure/tq_procedure_template.h"
#include "procedure/tqproc_interpolate.h"
#include "host/vekexp.h"
#include "host/tq_executive_testing.h"

// Reads and, where a test needs it, sets the protected state of a procedure
// object of class P.
template <class P>
class Probe : public P {
 public:
  using P::P;

  int Arg() const { return this->m_nArg; }
  int Words() const { return this->m_nWords; }
  int DimIndex() const { return this->m_nDimIndex; }
  int FirstOutputDim() const { return this->m_nFirstOutputDim; }
  int DimsLeft() const { return this->m_nDimsLeft; }
  int ArrayElements() const { return this->m_nArrayElements; }
  int DimSize(int entry) const { return this->m_aDimSizes[static_cast<std::size_t>(entry)]; }
  int DimCapacity() const { return static_cast<int>(this->m_aDimSizes.size()); }
  int StoredOffset(int argument) const { return this->m_aOffsets[static_cast<std::size_t>(argument)]; }
  bool Constructing() const { return this->m_bConstructing; }
  bool Evaluated() const { return this->m_bEvaluated; }
  bool HostFlag() const { return this->m_bHostFlag; }
  const double* BaseOutputs() const { return this->m_pBaseOutputs; }
  const std::int32_t* Rows() const { return this->m_pRows; }
  const std::int32_t* Cols() const { return this->m_pCols; }
  int InputElements() const { return this->m_nInputElements; }
  int InputValues() const { return this->m_nInputValues; }
  int OutputElements() const { return this->m_nOutputElements; }
  int SolverInputs() const { return this->m_nSolverInputs; }
  double* Buffer() { return this->m_pArgBuffer; }
  unsigned char* BufferBytes() { return reinterpret_cast<unsigned char*>(this->m_pArgBuffer); }
  TQ_VarParam* ElementAt(int position) const { return this->m_ppElements[position]; }

  // Gives the object the arrays the call of the routine makes (rows,
  // columns, saved outputs), as the library's array allocation makes them.
  void GiveCallArrays(int entries) {
    this->m_pRows = new std::int32_t[static_cast<std::size_t>(entries)]();
    this->m_pCols = new std::int32_t[static_cast<std::size_t>(entries)]();
    this->m_pBaseOutputs = new double[static_cast<std::size_t>(entries)]();
  }
};

using InterpolateProbe = Probe<TQProc_INTERPOLATE>;

// A host base that records, in order, the host services the template calls
// at the end of the construction pass.
class RecordingBase : public TQ_ProcedureType_C {
 public:
  std::vector<std::string> calls;

  void FinalizeConstruction(int outputOffset, int words) {
    calls.push_back("FinalizeConstruction(" + std::to_string(outputOffset) + "," + std::to_string(words) + ")");
    TQ_ProcedureType_C::FinalizeConstruction(outputOffset, words);
  }
  void HandleDerivatives(bool negate) {
    calls.push_back(negate ? "HandleDerivatives(true)" : "HandleDerivatives(false)");
    TQ_ProcedureType_C::HandleDerivatives(negate);
  }
};

// The INTERPOLATE tables over the recording base.
class RecordedInterpolate : public TQ_ProcedureTemplate<RecordedInterpolate, 4, 1, 2, RecordingBase, 4> {
 public:
  static int Dimensions(int i) { return TQProc_INTERPOLATE::Dimensions(i); }
  static int Type(int i) { return TQProc_INTERPOLATE::Type(i); }
  void CreateDerivatives() { HandleDerivatives(false); }
  static bool IsVariableInput(int) { return false; }
  static bool ReturnsDerivatives() { return true; }
  void NegateDerivatives() { HandleDerivatives(true); }
  const char* ProcedureName() const override { return "INTERP"; }
  const char* DLLName() const override { return "TQSysLib"; }
};

// A procedure with strings, arrays of several dimensions and array outputs:
//   0 input  string array, 1 dimension
//   1 input  real array, 1 dimension
//   2 input  string array, 2 dimensions
//   3 input  string scalar
//   4 output real array, 2 dimensions
//   5 output string array, 1 dimension
class StringsProc : public TQ_ProcedureTemplate<StringsProc, 4, 2, 7, TQ_ProcedureType_C, 4> {
 public:
  explicit StringsProc(bool fortran = false) { SetMode(fortran, 0); }
  static int Dimensions(int i) {
    static const int table[6] = {1, 1, 2, 0, 2, 1};
    return table[i];
  }
  static int Type(int i) {
    static const int table[6] = {5, 4, 5, 5, 4, 5};
    return table[i];
  }
  void CreateDerivatives() { HandleDerivatives(false); }
  static bool IsVariableInput(int) { return false; }
  static bool ReturnsDerivatives() { return true; }
  void NegateDerivatives() { HandleDerivatives(true); }
  const char* ProcedureName() const override { return "STRINGS"; }
  const char* DLLName() const override { return "TestLib"; }
};

// Integers, a scalar integer output and an integer array input of type 3:
//   0 input  integer array (type 3), 1 dimension
//   1 input  real scalar
//   2 output integer scalar (type 2)
//   3 output real array, 1 dimension
class IntegersProc : public TQ_ProcedureTemplate<IntegersProc, 2, 2, 2, TQ_ProcedureType_C, 4> {
 public:
  IntegersProc() = default;
  static int Dimensions(int i) {
    static const int table[4] = {1, 0, 0, 1};
    return table[i];
  }
  static int Type(int i) {
    static const int table[4] = {3, 4, 2, 4};
    return table[i];
  }
  void CreateDerivatives() { HandleDerivatives(false); }
  static bool IsVariableInput(int) { return false; }
  static bool ReturnsDerivatives() { return true; }
  void NegateDerivatives() { HandleDerivatives(true); }
  const char* ProcedureName() const override { return "INTEGERS"; }
  const char* DLLName() const override { return "TestLib"; }
};

// A procedure without outputs: a real scalar and an integer array.
class NoOutputProc : public TQ_ProcedureTemplate<NoOutputProc, 2, 0, 1, TQ_ProcedureType_C, 4> {
 public:
  static int Dimensions(int i) {
    static const int table[2] = {0, 1};
    return table[i];
  }
  static int Type(int i) {
    static const int table[2] = {4, 2};
    return table[i];
  }
  void CreateDerivatives() { HandleDerivatives(false); }
  static bool IsVariableInput(int) { return false; }
  static bool ReturnsDerivatives() { return true; }
  void NegateDerivatives() { HandleDerivatives(true); }
  const char* ProcedureName() const override { return "NOOUTPUT"; }
  const char* DLLName() const override { return "TestLib"; }
};

// A procedure whose table gives more dimensions (2) than its dimension
// count (1) allows.
class OverDimensionedProc : public TQ_ProcedureTemplate<OverDimensionedProc, 1, 1, 1, TQ_ProcedureType_C, 4> {
 public:
  static int Dimensions(int i) { return i == 0 ? 2 : 0; }
  static int Type(int) { return 4; }
  void CreateDerivatives() { HandleDerivatives(false); }
  static bool IsVariableInput(int) { return false; }
  static bool ReturnsDerivatives() { return true; }
  void NegateDerivatives() { HandleDerivatives(true); }
  const char* ProcedureName() const override { return "OVER"; }
  const char* DLLName() const override { return "TestLib"; }
};

// A variable whose answer to IsSolverVariable changes after the first time
// it is asked.
class FickleVariable : public TQ_REALVARIABLE {
 public:
  mutable int asked = 0;
  bool IsSolverVariable() const override { return asked++ == 0; }
};

// A variable that counts how often it is asked whether it is a solver
// variable, and answers as set.
class CountingVariable : public TQ_REALVARIABLE {
 public:
  explicit CountingVariable(bool solver = true) : solver(solver) {}
  bool solver;
  mutable int asked = 0;
  bool IsSolverVariable() const override {
    ++asked;
    return solver;
  }
};

class OwnerModel : public TQ_ModelTypeEx {};
class OwnerStructure : public TQ_StructureTypeEx {};

// Every test starts with a fresh executive and no errors, and states the
// errors it expects.
class ProcedureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TQ_Executive::Instance().Reset();
    TQ_Executive::Instance().ClearErrors();
  }
  void TearDown() override {
    TQ_Executive::Instance().Reset();
    TQ_Executive::Instance().ClearErrors();
  }
  static const std::vector<std::string>& Errors() { return TQ_Executive::Instance().Errors(); }
  // True when exactly one error was reported since the last call, and it
  // contains `text`; forgets the errors.
  static ::testing::AssertionResult OneErrorWith(const std::string& text) {
    std::vector<std::string> errors = TQ_Executive::Instance().Errors();
    TQ_Executive::Instance().ClearErrors();
    if (errors.size() != 1) {
      std::string all;
      for (const std::string& e : errors) all += "\n  " + e;
      return ::testing::AssertionFailure() << errors.size() << " errors instead of one:" << all;
    }
    if (errors[0].find(text) == std::string::npos)
      return ::testing::AssertionFailure() << "error \"" << errors[0] << "\" lacks \"" << text << "\"";
    return ::testing::AssertionSuccess();
  }
};

// Variables of the INTERPOLATE declarations: x, a1..a5, b1..b3, y.
struct InterpolateVariables {
  TQ_REALVARIABLE x;
  TQ_REALPARAMETER a[5];
  TQ_REALPARAMETER b[3];
  TQ_REALVARIABLE y;
};

// Declares an array argument: Argument(), its sizes, then its elements.
template <class P, class Elements>
void DeclareArray(P& procedure, std::initializer_list<int> sizes, Elements&& elements) {
  procedure.Argument();
  for (int size : sizes) procedure.SetDimensionSize(size);
  for (auto& e : elements) procedure.Element(e);
}

template <class P>
void DeclareArray(P& procedure, std::initializer_list<int> sizes) {
  DeclareArray(procedure, sizes, std::span<TQ_REALVARIABLE>());
}

// One pass of the worked declaration: x a variable, a and b arrays of 5 and 3
// variables, k the integer constant, y the output.
template <class P>
void DeclareInterpolate(P& procedure, InterpolateVariables& v, int k) {
  procedure.Argument(v.x);
  DeclareArray(procedure, {5}, v.a);
  DeclareArray(procedure, {3}, v.b);
  procedure.Argument(k);
  procedure.Argument(v.y);
  procedure.LastArgument();
}

// Starts an emission with room for `nonZeros` pattern entries and has the
// procedure create its equations, the owner's count standing at `firstRow`;
// returns the count afterwards.
template <class P, class Owner>
int CreateEquations(
    P& p, Owner* owner, int nonZeros, int firstRow, int group = 0, const char* name = "P", int arg3 = 0, int arg7 = 0) {
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::BeginEmission(TQ_Executive::Instance(), static_cast<std::size_t>(nonZeros), rows, cols);
  int count = firstRow;
  p.CreateEquationsAndSetGroup(group, arg3, rows, cols, count, owner, name, arg7);
  return count;
}

// Variables of StringsProc declarations, enough for every shape the tests use.
struct StringsVariables {
  TQ_STRINGPARAMETER s[3], t[6], out2[1];
  TQ_REALVARIABLE r[3], out1[4];
};

// The sizes of a StringsProc declaration: argument 0 (n0 strings), 1 (n1
// reals), 2 (d2 strings), 4 (d4 reals) and 5 (n5 strings).
struct StringsShape {
  int n0, n1;
  std::array<int, 2> d2, d4;
  int n5;
};

// `passes` passes of a StringsProc declaration, each closed by LastArgument;
// argument 3 is the string constant `text`.
template <class P>
void DeclareStrings(P& p, StringsVariables& v, const StringsShape& shape, int passes = 2, const char* text = "units") {
  auto first = [](auto& array, int count) { return std::span(array, static_cast<std::size_t>(count)); };
  for (int pass = 0; pass < passes; ++pass) {
    DeclareArray(p, {shape.n0}, first(v.s, shape.n0));
    DeclareArray(p, {shape.n1}, first(v.r, shape.n1));
    DeclareArray(p, {shape.d2[0], shape.d2[1]}, first(v.t, shape.d2[0] * shape.d2[1]));
    p.Argument(text);
    DeclareArray(p, {shape.d4[0], shape.d4[1]}, first(v.out1, shape.d4[0] * shape.d4[1]));
    DeclareArray(p, {shape.n5}, first(v.out2, shape.n5));
    p.LastArgument();
  }
}
