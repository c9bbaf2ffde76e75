// Helpers of the call-side tests: a small model that uses INTERPOLATE (or a
// twin procedure class) as a model does, TQSysLib as the build leaves it, and
// routines a test registers in the host in place of INTERP to watch the
// call or to inject faults.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "procedure_support.h"
#include "host/tq_loader.h"

#if defined(_WIN32)
inline const char* const kTQSysLibFile = "TQSysLib.dll";
#else
inline const char* const kTQSysLibFile = "TQSysLib.so";
#endif

// The build puts TQSysLib beside the host layer and the test programs.
inline std::filesystem::path BuiltTQSysLib() {
  return std::filesystem::path(TQ_LibraryLoader::ModuleDirectory()) / kTQSysLibFile;
}

// INTERP itself, resolved by the test's own loader, for registered routines
// that pass the call on.
inline TQ_Procedure13 RealInterp() {
  static TQ_LibraryLoader loader;
  static std::string error;
  static TQ_LibraryRef library = loader.LoadFile(BuiltTQSysLib().string(), error);
  static TQ_Procedure13 routine = library ? library->Function<TQ_Procedure13>("INTERP", error) : nullptr;
  if (routine == nullptr) ADD_FAILURE() << error;
  return routine;
}

// A directory of its own for one test, removed with everything in it.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    static int counter = 0;
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    m_path = std::filesystem::temp_directory_path() /
             ("tqcall_" + std::string(info->name()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  ~ScratchDirectory() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

inline bool SameFile(const std::string& a, const std::filesystem::path& b) {
  std::error_code ec;
  return !a.empty() && std::filesystem::equivalent(std::filesystem::path(a), b, ec);
}

// The call side's state of a procedure object of class P, for tests.
template <class P>
class CallProbe : public Probe<P> {
 public:
  using Probe<P>::Probe;
  bool Changed() const { return this->m_bChanged; }
  void SetChanged(bool changed) { this->m_bChanged = changed; }
  void SetOutputValues(int count) { this->m_nOutputValues = count; }
  void SetDerivativeCount(int count) { this->m_nDerivatives = count; }
  void SetEvaluated(bool evaluated) { this->m_bEvaluated = evaluated; }
  TQ_VarParam** Cursor() const { return this->m_ppCursor; }
  TQ_VarParam* const* Elements() const { return this->m_ppElements; }
  double* Derivatives() { return this->m_pDerivatives; }
  double* Cache() { return this->m_pDerivCache; }
  int ArgCursor() const { return this->m_nArg; }
};

// ---- procedure classes -----------------------------------------------------------------

// INTERPOLATE's tables with names, derivatives and variable inputs of the
// test's choosing: `Derivatives` false gives a class whose Jacobian is formed
// by finite differences; bit i of `VariableInputs` marks input i variable.
template <bool Derivatives, unsigned VariableInputs = 0>
class TwinInterpolate
    : public TQ_ProcedureTemplate<TwinInterpolate<Derivatives, VariableInputs>, 4, 1, 2, TQ_ProcedureType_C, 4> {
 public:
  explicit TwinInterpolate(std::string library = "TQSysLib", std::string routine = "INTERP")
      : m_library(std::move(library)), m_routine(std::move(routine)) {}
  static bool IsVariableInput(int i) { return ((VariableInputs >> i) & 1u) != 0; }
  static int Dimensions(int i) { return TQProc_INTERPOLATE::Dimensions(i); }
  static int Type(int i) { return TQProc_INTERPOLATE::Type(i); }
  static bool ReturnsDerivatives() { return Derivatives; }
  void CreateDerivatives() { this->HandleDerivatives(false); }
  void NegateDerivatives() { this->HandleDerivatives(true); }
  const char* ProcedureName() const override { return m_routine.c_str(); }
  const char* DLLName() const override { return m_library.c_str(); }
  int Precall(bool flag) override { return this->CallFn(TQ_ProcedureType::CallPrecall, flag); }

 private:
  std::string m_library;
  std::string m_routine;
};

using FiniteInterpolate = TwinInterpolate<false>;

// ---- the model ---------------------------------------------------------------------------

// A variable with bounds of the test's choosing.
class BoundedVariable : public TQ_REALVARIABLE {
 public:
  void SetBounds(double lower, double upper) {
    ASSERT_TRUE(SetLowerBound(TQ_Value(lower, 0u)));
    ASSERT_TRUE(SetUpperBound(TQ_Value(upper, 0u)));
  }
};

// A model that interpolates Y = INTERP(X, A, B, N) through its procedure P:
// X, A(1..4), B(1..4) and Y are solver variables, N the integer constant 4,
// or with `VariableN` a real solver variable holding 4. It declares the
// procedure's arguments in both passes when made, and registers the
// procedure's one equation and its call in its equation phases, as a
// generated model does.
template <class P = CallProbe<TQProc_INTERPOLATE>, bool VariableN = false>
class InterpolateModel : public TQ_ModelTypeEx2 {
 public:
  static constexpr int kPoints = 4;
  static constexpr double kA[kPoints] = {-1.0, 1.0, 3.5, 8.0};
  static constexpr double kB[kPoints] = {2.0, -1.0, 4.0, 0.5};

  BoundedVariable X;
  TQ_REALVARIABLE A[kPoints];
  TQ_REALVARIABLE B[kPoints];
  TQ_REALVARIABLE Y;
  TQ_REALVARIABLE N;
  P procedure;
  int firstGroup = 0;

  template <class... Args>
  explicit InterpolateModel(Args&&... args) : procedure(std::forward<Args>(args)...) {
    X.AddProperty(this, "X", nullptr, TQ_DIR_NONE, false);
    for (int k = 0; k < kPoints; ++k) {
      const std::string index = "(" + std::to_string(k + 1) + ")";
      A[k].SetIdentity(this, ("A" + index).c_str());
      B[k].SetIdentity(this, ("B" + index).c_str());
      A[k].SetCurrentValue(kA[k]);
      B[k].SetCurrentValue(kB[k]);
    }
    Y.AddProperty(this, "Y", nullptr, TQ_DIR_NONE, false);
    N.AddProperty(this, "N", nullptr, TQ_DIR_NONE, false);
    N.SetCurrentValue(kPoints);
    X.SetCurrentValue(0.25);
    Y.SetCurrentValue(0.0);
    Declare();
    Declare();
  }

  // One pass of the declaration, closed by LastArgument.
  void Declare() {
    procedure.Argument(X);
    procedure.Argument();
    procedure.SetDimensionSize(kPoints);
    for (auto& a : A) procedure.Element(a);
    procedure.Argument();
    procedure.SetDimensionSize(kPoints);
    for (auto& b : B) procedure.Element(b);
    if (VariableN)
      procedure.Argument(N);
    else
      procedure.Argument(kPoints);
    procedure.Argument(Y);
    procedure.LastArgument();
  }

  int SetUpEquations() override {
    int count = TQ_ModelTypeEx2::SetUpEquations();
    if (count < 0) return count;
    firstGroup = m_stLastGroup;
    procedure.NZAndEqnContribution(this, firstGroup + 1, count);
    AddNonZero(Y);
    AddNonZero(X);
    for (auto& a : A) AddNonZero(a);
    for (auto& b : B) AddNonZero(b);
    if (VariableN) AddNonZero(N);
    return SetLocalEqnCount(count);
  }

  int JacPattern(int*& rows, int*& cols, TQ_EquationType** types) override {
    ResetExpressions();
    int count = TQ_ModelTypeEx2::JacPattern(rows, cols, types);
    procedure.CreateEquationsAndSetGroup(firstGroup + 1, 0, rows, cols, count, this, "INTERP_Y", 0);
    return count;
  }

  // y, dy/dx, dy/da_k, dy/db_k of the model's table at X, computed here.
  struct Analytic {
    double y;
    std::vector<double> dy;  // x, a1..a4, b1..b4
  };
  Analytic Expected() const {
    double a[kPoints], b[kPoints];
    for (int k = 0; k < kPoints; ++k) {
      a[k] = A[k].Real();
      b[k] = B[k].Real();
    }
    const double x = X.Real();
    int k = 0;
    while (k + 2 < kPoints && x >= a[k + 1]) ++k;
    const double step = a[k + 1] - a[k];
    const double t = (x - a[k]) / step;
    const double slope = (b[k + 1] - b[k]) / step;
    Analytic result{(1.0 - t) * b[k] + t * b[k + 1], std::vector<double>(1 + 2 * kPoints, 0.0)};
    result.dy[0] = slope;
    result.dy[1 + k] = -slope * (1.0 - t);
    result.dy[2 + k] = -slope * t;
    result.dy[1 + kPoints + k] = 1.0 - t;
    result.dy[2 + kPoints + k] = t;
    return result;
  }
};

// ---- registered routines -------------------------------------------------------------------

// What a registered routine saw of one call.
struct SeenCall {
  std::int32_t callType;
  bool sameBuffer;  // pointers 2 and 4
  std::int32_t derivativeCount;
  std::vector<std::int32_t> rows, columns;  // empty when handed null
  std::int32_t scratch;                     // as the routine found it
  std::int32_t failureOnEntry;
  std::vector<std::int32_t> inputOffsets;  // four
  std::int32_t outputOffset;
  std::int32_t dims[2];
  std::vector<double> buffer;       // as the routine found it
  std::vector<double> derivatives;  // as the routine found them
  int openBrackets;                 // of the watched component list
};

// The routine that the test registers: records each call, then does what
// the test sets (by default it passes the call on to INTERP).
struct RoutineStage {
  std::vector<SeenCall> seen;
  std::function<void(std::int32_t* callType,
                     double* buffer,
                     std::int32_t* offsets,
                     std::int32_t* outputOffsets,
                     std::int32_t* derivativeCount,
                     double* derivatives,
                     std::int32_t* failure)>
      act;
  int wordsToRecord = 0;
  const TQ_COMPONENTLISTNAME* watched = nullptr;

  static RoutineStage& Current() {
    static RoutineStage stage;
    return stage;
  }
  void Reset() {
    seen.clear();
    act = nullptr;
    wordsToRecord = 0;
    watched = nullptr;
  }
};

extern "C" inline void TQ_ROUTINE_CALL StageRoutine(std::int32_t* callType,
                                                    double* inputs,
                                                    std::int32_t* inputDims,
                                                    double* outputs,
                                                    std::int32_t* outputDims,
                                                    std::int32_t* inputOffsets,
                                                    std::int32_t* outputOffsets,
                                                    std::int32_t* hostCell,
                                                    double* hostReals,
                                                    std::int32_t* hostInteger,
                                                    std::int32_t* derivativeCount,
                                                    std::int32_t* rows,
                                                    std::int32_t* columns,
                                                    std::int32_t* scratch,
                                                    double* derivatives,
                                                    std::int32_t* failure) {
  RoutineStage& stage = RoutineStage::Current();
  SeenCall call{*callType,
                inputs == outputs,
                *derivativeCount,
                {},
                {},
                *scratch,
                *failure,
                {},
                *outputOffsets,
                {inputDims[0], inputDims[1]},
                {},
                {},
                stage.watched ? stage.watched->OpenPropertiesCalls() : -1};
  if (derivatives != nullptr) call.derivatives.assign(derivatives, derivatives + *derivativeCount);
  if (rows != nullptr && columns != nullptr) {
    call.rows.assign(rows, rows + *derivativeCount);
    call.columns.assign(columns, columns + *derivativeCount);
  }
  call.inputOffsets.assign(inputOffsets, inputOffsets + 4);
  call.buffer.assign(inputs, inputs + stage.wordsToRecord);
  stage.seen.push_back(call);
  *scratch = 99;  // the adapter clears it before every call
  if (stage.act) {
    stage.act(callType, inputs, inputOffsets, outputOffsets, derivativeCount, derivatives, failure);
    return;
  }
  RealInterp()(callType,
               inputs,
               inputDims,
               outputs,
               outputDims,
               inputOffsets,
               outputOffsets,
               hostCell,
               hostReals,
               hostInteger,
               derivativeCount,
               rows,
               columns,
               scratch,
               derivatives,
               failure);
}

// ---- the fixture -----------------------------------------------------------------------------

class CallTest : public ProcedureTest {
 protected:
  void SetUp() override {
    ProcedureTest::SetUp();
    ResetHost();
  }
  void TearDown() override {
    ResetHost();
    ProcedureTest::TearDown();
  }
  static void ResetHost() {
    TQ_ProcedureLibraries::Reset();
    TQ_ProcedureType::SetAlwaysCall(false);
    TQ_ProcedureType::SetPostsetInputs(true);
    RoutineStage::Current().Reset();
  }
  // Calls of INTERP of TQSysLib that the host handed out so far.
  static long InterpCalls() { return TQ_ProcedureLibraries::CallCount("TQSysLib", "INTERP"); }
  // Routes the procedures' calls of INTERP through StageRoutine.
  static RoutineStage& Stage() {
    TQ_ProcedureLibraries::Register("TQSysLib", "INTERP", &StageRoutine);
    return RoutineStage::Current();
  }
  // The model's cycle, so that its procedure call is registered with the host.
  template <class Model>
  static void Register(Model& model) {
    TQ_Executive& host = TQ_Executive::Instance();
    ASSERT_TRUE(host.RunSetUpEquations());
    ASSERT_TRUE(host.RunJacPattern());
    ASSERT_EQ(host.ProcCalls().size(), 1u);
    ASSERT_EQ(host.ProcCalls()[0].procedure, &model.procedure);
    std::string difference;
    ASSERT_TRUE(host.DeclaredMatchesEmitted(&difference)) << difference;
  }
  // The host's requests to the registered procedure calls, with the status
  // each is expected to return.
  static std::vector<double> HostResiduals(int status = 0) {
    std::vector<double> values;
    EXPECT_EQ(TQ_Executive::Instance().ProcedureResiduals(values), status);
    return values;
  }
  static std::vector<double> HostJacobian(int status = 0) {
    std::vector<double> values;
    EXPECT_EQ(TQ_Executive::Instance().ProcedureJacobian(values), status);
    return values;
  }
  // Errors reported since the last call, as one text; forgets them.
  static std::string TakeErrors() {
    std::string all;
    for (const std::string& e : TQ_Executive::Instance().Errors()) all += e + "\n";
    TQ_Executive::Instance().ClearErrors();
    return all;
  }
};

// A model made on the host heap and handed to the executive, which releases
// it when reset.
template <class Model, class... Args>
Model& AddModel(const char* name, Args&&... args) {
  Model* model = new Model(std::forward<Args>(args)...);
  model->AddRef();
  std::string error;
  if (!TQ_Executive::Instance().AddObject(name, model, &error)) ADD_FAILURE() << error;
  return *model;
}
