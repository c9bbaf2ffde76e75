// The host's loading of a procedure's routine by library and routine name:
// the search path, one load kept while procedure objects live, registered
// routines, the reports for a missing library or routine, and the host's
// judgement of a call with its last-call record.
#include "call_support.h"

namespace {

namespace fs = std::filesystem;

using Model = InterpolateModel<>;
using LoadingTest = CallTest;

TEST_F(LoadingTest, TheRoutineComesFromTheBuiltLibraryFoundByName) {
  ASSERT_TRUE(fs::exists(BuiltTQSysLib())) << BuiltTQSysLib();
  EXPECT_EQ(TQ_ProcedureLibraries::LoadedPath("TQSysLib"), "");
  Model& model = AddModel<Model>("M", false, 0);
  Register(model);
  const std::vector<double> residuals = HostResiduals();
  EXPECT_TRUE(SameFile(TQ_ProcedureLibraries::LoadedPath("TQSysLib"), BuiltTQSysLib()))
      << TQ_ProcedureLibraries::LoadedPath("TQSysLib");
  EXPECT_EQ(InterpCalls(), 1);
  ASSERT_EQ(residuals.size(), 1u);
  EXPECT_DOUBLE_EQ(residuals[0], 0.0 - model.Expected().y);
  EXPECT_EQ(TakeErrors(), "");
}

TEST_F(LoadingTest, UserDirectoriesAndTheModelLibraryDirectoryComeFirst) {
  ScratchDirectory user, modelDirectory;
  fs::copy_file(BuiltTQSysLib(), user.Path() / kTQSysLibFile);
  fs::copy_file(BuiltTQSysLib(), modelDirectory.Path() / kTQSysLibFile);
  // Each directory in turn: the library loads from there, and is released
  // with the last procedure object that uses it.
  const auto loadsFrom = [](const fs::path& directory) {
    CallProbe<TQProc_INTERPOLATE> p(false, 0);
    InterpolateVariables v;
    DeclareInterpolate(p, v, 2);
    DeclareInterpolate(p, v, 2);
    EXPECT_EQ(p.EnsureCompatibleDLLLoaded(4), 0) << TakeErrors();
    EXPECT_TRUE(SameFile(TQ_ProcedureLibraries::LoadedPath("TQSysLib"), directory / kTQSysLibFile))
        << TQ_ProcedureLibraries::LoadedPath("TQSysLib");
  };
  TQ_ProcedureLibraries::SetModelLibraryDirectory(modelDirectory.Path().string());
  loadsFrom(modelDirectory.Path());
  EXPECT_EQ(TQ_ProcedureLibraries::LoadedPath("TQSysLib"), "") << "released with its last procedure object";
  TQ_ProcedureLibraries::SetUserDirectories({user.Path().string()});
  loadsFrom(user.Path());
}

TEST_F(LoadingTest, LoadedOnceAndKeptWhileProcedureObjectsLive) {
  auto first = std::make_unique<InterpolateModel<>>(false, 0);
  auto second = std::make_unique<InterpolateModel<>>(false, 0);
  double values[1];
  int position = 0;
  const auto residual = [&](InterpolateModel<>& model) {
    position = 0;
    return model.procedure.Residuals(values, position);
  };
  ASSERT_EQ(residual(*first), 0) << TakeErrors();
  const std::string path = TQ_ProcedureLibraries::LoadedPath("TQSysLib");
  ASSERT_FALSE(path.empty());
  ASSERT_EQ(residual(*second), 0) << TakeErrors();
  EXPECT_EQ(TQ_ProcedureLibraries::LoadedPath("TQSysLib"), path);
  EXPECT_EQ(InterpCalls(), 2);
  // A copy resolves its routine again and finds the same library.
  {
    CallProbe<TQProc_INTERPOLATE> copy(first->procedure);
    EXPECT_EQ(copy.EnsureCompatibleDLLLoaded(4), 0);
    EXPECT_EQ(TQ_ProcedureLibraries::LoadedPath("TQSysLib"), path);
  }
  first.reset();
  EXPECT_EQ(TQ_ProcedureLibraries::LoadedPath("TQSysLib"), path) << "the second object still uses it";
  second->X.SetCurrentValue(0.5);
  ASSERT_EQ(residual(*second), 0) << TakeErrors();
  EXPECT_DOUBLE_EQ(values[0], second->Y.Real() - second->Expected().y);
  second.reset();
  EXPECT_EQ(TQ_ProcedureLibraries::LoadedPath("TQSysLib"), "");
  EXPECT_EQ(TakeErrors(), "");
}

// A missing library or routine: a negative status and a message naming it;
// nothing is called, the host's array is not written and its index passes
// the procedure's entries; asking again fails again.
TEST_F(LoadingTest, AMissingLibraryOrRoutineIsReportedAndNotCalled) {
  struct Case {
    const char* library;
    const char* routine;
    int status;
    const char* text;
  };
  const Case cases[] = {
      {"NoSuchRoutineLibrary", "INTERP", TQ_PROC_LIBRARY_MISSING, "cannot find library \"NoSuchRoutineLibrary\""},
      {"TQSysLib", "NOSUCHROUTINE", TQ_PROC_ROUTINE_MISSING, "symbol \"NOSUCHROUTINE\" not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library + std::string(".") + c.routine);
    InterpolateModel<CallProbe<TwinInterpolate<true>>> model(c.library, c.routine);
    for (int attempt = 0; attempt < 2; ++attempt) {
      double values[3] = {-7.0, -7.0, -7.0};
      int position = 1;
      EXPECT_EQ(model.procedure.Residuals(values, position), c.status);
      EXPECT_EQ(position, 2);
      EXPECT_EQ(values[1], -7.0);
      const std::string errors = TakeErrors();
      EXPECT_NE(errors.find(c.text), std::string::npos) << errors;
      EXPECT_NE(errors.find(std::string("routine \"") + c.routine + "\" of library \"" + c.library + "\""),
                std::string::npos)
          << errors;
      EXPECT_TRUE(model.procedure.LastCall(TQ_ProcedureType::CallNone));
    }
    EXPECT_EQ(TQ_ProcedureLibraries::CallCount(c.library, c.routine), 0);
    EXPECT_EQ(model.procedure.Precall(true), c.status);
    TakeErrors();
  }
  // Without a record the host hands out no address.
  CallProbe<TQProc_INTERPOLATE> p(false, 0);
  EXPECT_EQ(p.GetProcedure13Address(nullptr), nullptr);
  EXPECT_NE(TakeErrors().find("no routine is at hand"), std::string::npos);
}

TEST_F(LoadingTest, ARegisteredRoutineStandsForTheLibrarysOwn) {
  RoutineStage& stage = Stage();
  TQ_ProcedureLibraries::Register("nofilelib", "ANY", &StageRoutine);
  InterpolateModel<CallProbe<TwinInterpolate<true>>> model("NoFileLib", "ANY");
  double value = 0.0;
  int position = 0;
  EXPECT_EQ(model.procedure.Residuals(&value, position), 0) << TakeErrors();
  EXPECT_EQ(stage.seen.size(), 1u);
  EXPECT_EQ(TQ_ProcedureLibraries::CallCount("NOFILELIB", "ANY"), 1);
  EXPECT_EQ(TQ_ProcedureLibraries::CallCount("NoFileLib", "any"), 0) << "routine names keep their case";
  EXPECT_EQ(TQ_ProcedureLibraries::LoadedPath("NoFileLib"), "");
  EXPECT_DOUBLE_EQ(value, model.Y.Real() - model.Expected().y);

  // Removing the registration leaves a resolved record as it is; a new
  // object looks for the file and finds none.
  TQ_ProcedureLibraries::Register("NoFileLib", "ANY", nullptr);
  InterpolateModel<CallProbe<TwinInterpolate<true>>> other("NoFileLib", "ANY");
  EXPECT_EQ(other.procedure.Residuals(&value, position), TQ_PROC_LIBRARY_MISSING);
  TakeErrors();
}

TEST_F(LoadingTest, OnlyTheSixteenPointerInterfaceIsAccepted) {
  CallProbe<TQProc_INTERPOLATE> p(false, 0);
  InterpolateVariables v;
  DeclareInterpolate(p, v, 2);
  DeclareInterpolate(p, v, 2);
  EXPECT_EQ(p.EnsureCompatibleDLLLoaded(3), TQ_PROC_INCOMPATIBLE);
  EXPECT_NE(TakeErrors().find("interface level 3"), std::string::npos);
  EXPECT_EQ(p.EnsureCompatibleDLLLoaded(TQ_PROCEDURE_INTERFACE), 0);
}

// The judgement of a call: the failure flag, the outputs, the derivative
// count, and the last-call record it leaves.
TEST_F(LoadingTest, CheckIFailAndOutputsKeepsTheLastCallRecord) {
  using Call = TQ_ProcedureType;
  CallProbe<TQProc_INTERPOLATE> p(false, 0);
  InterpolateVariables v;
  DeclareInterpolate(p, v, 2);
  DeclareInterpolate(p, v, 2);
  EXPECT_TRUE(p.LastCall(Call::CallNone));
  EXPECT_EQ(p.CheckIFailAndOutputs(0, Call::CallValuesAndDerivatives, true), 0);
  EXPECT_TRUE(p.LastCall(Call::CallValuesAndDerivatives));
  EXPECT_FALSE(p.LastCall(Call::CallNone));

  EXPECT_EQ(p.CheckIFailAndOutputs(4, Call::CallValuesAndDerivatives, true), TQ_PROC_ROUTINE_FAILED);
  EXPECT_TRUE(p.LastCall(Call::CallNone)) << "a failed call leaves no current outputs";
  EXPECT_EQ(p.LastFailureFlag(), 4);
  EXPECT_NE(TakeErrors().find("failed with code 4"), std::string::npos);
  // Unreported when the flag says so.
  EXPECT_EQ(p.CheckIFailAndOutputs(1, Call::CallPrecall, false), TQ_PROC_ROUTINE_FAILED);
  EXPECT_EQ(TakeErrors(), "");

  // A values call that reports success with an output that is no number.
  p.Buffer()[p.GetOffset(4)] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(p.CheckIFailAndOutputs(0, Call::CallValues, true), TQ_PROC_BAD_OUTPUT);
  EXPECT_TRUE(p.LastCall(Call::CallNone));
  EXPECT_NE(TakeErrors().find("not a finite number"), std::string::npos);
  EXPECT_EQ(p.CheckIFailAndOutputs(0, Call::CallPrecall, true), 0) << "a precall is not judged by its outputs";
  EXPECT_TRUE(p.LastCall(Call::CallPrecall));

  // A derivative count the routine changed is put back and fails the call.
  const int count = p.DerivativeCount();
  p.SetDerivativeCount(count + 5);
  EXPECT_EQ(p.CheckIFailAndOutputs(0, Call::CallValuesAndDerivatives, true), TQ_PROC_ROUTINE_FAILED);
  EXPECT_EQ(p.DerivativeCount(), count);
  EXPECT_NE(TakeErrors().find("changed the derivative count"), std::string::npos);
}

// After a failed call a request with the same inputs runs the routine again
// and does not answer with the outputs of an earlier call.
TEST_F(LoadingTest, AFailureLeavesNoStaleOutputsForTheSameInputs) {
  RoutineStage& stage = Stage();
  Model& model = AddModel<Model>("M", false, 0);
  Register(model);
  EXPECT_EQ(HostResiduals().size(), 1u);
  ASSERT_EQ(stage.seen.size(), 1u);

  model.X.SetCurrentValue(0.5);
  stage.act = [](std::int32_t*, double*, std::int32_t*, std::int32_t*, std::int32_t*, double*, std::int32_t* failure) {
    *failure = 3;
  };
  HostResiduals(TQ_PROC_ROUTINE_FAILED);
  HostResiduals(TQ_PROC_ROUTINE_FAILED);
  HostJacobian(TQ_PROC_ROUTINE_FAILED);
  EXPECT_EQ(stage.seen.size(), 4u) << "every request after a failure calls the routine";
  TakeErrors();

  stage.act = nullptr;
  const std::vector<double> residuals = HostResiduals();
  EXPECT_EQ(stage.seen.size(), 5u);
  EXPECT_DOUBLE_EQ(residuals[0], model.Y.Real() - model.Expected().y);
  HostJacobian();
  EXPECT_EQ(stage.seen.size(), 5u);
  EXPECT_EQ(TakeErrors(), "");
}

// A library that cannot be loaded yet: every request fails, none answers
// with stale outputs; once it can be had, the same inputs are evaluated.
TEST_F(LoadingTest, AFailedLoadIsRetriedAndNeverAnsweredFromTheBuffer) {
  InterpolateModel<CallProbe<TwinInterpolate<true>>> model("LaterLib", "INTERP");
  double value = -1.0;
  int position = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_EQ(model.procedure.Residuals(&value, position), TQ_PROC_LIBRARY_MISSING);
    EXPECT_EQ(value, -1.0);
  }
  EXPECT_TRUE(model.procedure.Evaluated());
  TakeErrors();
  Stage();
  TQ_ProcedureLibraries::Register("LaterLib", "INTERP", &StageRoutine);
  position = 0;
  EXPECT_EQ(model.procedure.Residuals(&value, position), 0);
  EXPECT_EQ(RoutineStage::Current().seen.size(), 1u);
  EXPECT_DOUBLE_EQ(value, model.Y.Real() - model.Expected().y);
  EXPECT_EQ(TakeErrors(), "");
}

}  // namespace
