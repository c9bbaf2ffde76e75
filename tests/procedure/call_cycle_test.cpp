// A model that uses INTERPOLATE, driven by the host through Precall,
// Residuals and Jacobian against TQSysLib loaded by name: the residuals and
// Jacobian rows, when the routine runs, what it is handed, and the decision
// on each call type.
#include "call_support.h"

namespace {

using Model = InterpolateModel<>;
using Call = TQ_ProcedureType;

class CallCycleTest : public CallTest {
 protected:
  Model& MakeModel(int base = 0) {
    Model& model = AddModel<Model>("M", false, base);
    Register(model);
    return model;
  }
  // The Jacobian row INTERPOLATE's equation should have: 1.0 for Y, then
  // the negated derivatives of y by X, A(1..4) and B(1..4).
  static std::vector<double> ExpectedRow(const Model& model) {
    std::vector<double> row{1.0};
    for (double d : model.Expected().dy) row.push_back(-d);
    return row;
  }
  static void ExpectRow(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t k = 0; k < actual.size(); ++k)
      EXPECT_NEAR(actual[k], expected[k], 1e-12 * (1.0 + std::fabs(expected[k]))) << "entry " << k;
  }
};

TEST_F(CallCycleTest, TheResidualIsTheOutputVariableLessTheComputedOutput) {
  Model& model = MakeModel();
  const double y = model.Expected().y;
  ASSERT_DOUBLE_EQ(y, 0.125);  // X = 0.25 on the segment from (-1, 2) to (1, -1)
  model.Y.SetCurrentValue(5.0);
  EXPECT_EQ(HostResiduals(), std::vector<double>{5.0 - 0.125});
  model.Y.SetCurrentValue(-1.875);
  EXPECT_EQ(HostResiduals(), std::vector<double>{-2.0});
  EXPECT_EQ(InterpCalls(), 1) << "the output is no input: changing it runs nothing";
  ExpectRow(HostJacobian(), ExpectedRow(model));
  EXPECT_EQ(TakeErrors(), "");
}

TEST_F(CallCycleTest, TheRoutineRunsOncePerPointAndCallType) {
  Model& model = MakeModel();
  HostResiduals();
  EXPECT_EQ(InterpCalls(), 1);
  ExpectRow(HostJacobian(), ExpectedRow(model));
  EXPECT_EQ(InterpCalls(), 1) << "Residuals then Jacobian at one point share one call";
  HostResiduals();
  EXPECT_EQ(InterpCalls(), 1);

  model.X.SetCurrentValue(2.0);  // another segment
  HostResiduals();
  EXPECT_EQ(InterpCalls(), 2);
  ExpectRow(HostJacobian(), ExpectedRow(model));
  EXPECT_EQ(InterpCalls(), 2);

  model.A[3].SetCurrentValue(9.0);  // an array element
  ExpectRow(HostJacobian(), ExpectedRow(model));
  EXPECT_EQ(InterpCalls(), 3);
  HostResiduals();
  EXPECT_EQ(InterpCalls(), 3);

  // -0 over +0 is no change; a NaN always is (INTERP refuses it).
  model.X.SetCurrentValue(0.0);
  HostResiduals();
  EXPECT_EQ(InterpCalls(), 4);
  model.X.SetCurrentValue(-0.0);
  HostResiduals();
  HostJacobian();
  model.X.SetCurrentValue(0.0);
  HostResiduals();
  EXPECT_EQ(InterpCalls(), 4);
  model.X.SetCurrentValue(std::numeric_limits<double>::quiet_NaN());
  for (long k = 1; k <= 3; ++k) {
    HostResiduals(TQ_PROC_ROUTINE_FAILED);
    EXPECT_EQ(InterpCalls(), 4 + k);
  }
  HostJacobian(TQ_PROC_ROUTINE_FAILED);
  EXPECT_EQ(InterpCalls(), 8);
  EXPECT_NE(TakeErrors().find("failed with code 5"), std::string::npos);  // not finite

  // When the host asks for every call, every request runs the routine.
  model.X.SetCurrentValue(0.5);
  TQ_ProcedureType::SetAlwaysCall(true);
  HostResiduals();
  HostJacobian();
  HostResiduals();
  EXPECT_EQ(InterpCalls(), 11);
  EXPECT_EQ(TakeErrors(), "");
}

TEST_F(CallCycleTest, ANewtonStepOnTheOutputReachesInterpsValue) {
  Model& model = MakeModel();
  model.X.SetCurrentValue(-1.7);  // extrapolated below the table
  model.Y.SetCurrentValue(40.0);
  const std::vector<double> residual = HostResiduals();
  const std::vector<double> jacobian = HostJacobian();
  ASSERT_EQ(jacobian[0], 1.0);
  // The equation is linear in Y: one step lands within rounding of
  // INTERP's value, a second exactly on it.
  model.Y.SetCurrentValue(model.Y.Real() - residual[0] / jacobian[0]);
  EXPECT_NEAR(model.Y.Real(), 2.0 + 1.5 * 0.7, 1e-13);
  const double second = HostResiduals()[0];
  EXPECT_NEAR(second, 0.0, 1e-13);
  model.Y.SetCurrentValue(model.Y.Real() - second / HostJacobian()[0]);
  EXPECT_EQ(HostResiduals()[0], 0.0);
  EXPECT_EQ(model.Y.Real(), model.Expected().y);
  EXPECT_EQ(InterpCalls(), 1);
}

TEST_F(CallCycleTest, PrecallRunsTheRoutineOnceAfterAnyOtherCall) {
  RoutineStage& stage = Stage();
  Model& model = MakeModel();
  TQ_Executive& host = TQ_Executive::Instance();

  EXPECT_EQ(host.PrecallProcedures(true), 0);
  ASSERT_EQ(stage.seen.size(), 1u);
  EXPECT_EQ(stage.seen[0].callType, Call::CallPrecall);
  EXPECT_EQ(host.PrecallProcedures(true), 0);
  EXPECT_EQ(stage.seen.size(), 1u) << "a precall after a precall runs nothing";

  HostResiduals();
  ASSERT_EQ(stage.seen.size(), 2u);
  EXPECT_EQ(stage.seen[1].callType, Call::CallValuesAndDerivatives);
  const std::vector<double> cache(model.procedure.Cache(), model.procedure.Cache() + 10);

  // A precall at the same point runs again, on a cleared derivative array,
  // and negates nothing: the Jacobian still answers from the cache.
  EXPECT_EQ(model.procedure.Precall(true), 0);
  ASSERT_EQ(stage.seen.size(), 3u);
  EXPECT_EQ(stage.seen[2].callType, Call::CallPrecall);
  EXPECT_EQ(stage.seen[2].derivatives, std::vector<double>(10, 0.0));
  EXPECT_EQ(std::vector<double>(model.procedure.Cache(), model.procedure.Cache() + 10), cache);
  EXPECT_TRUE(model.procedure.LastCall(Call::CallPrecall));
  HostJacobian();
  EXPECT_EQ(stage.seen.size(), 4u) << "the last call was a precall";
  EXPECT_EQ(stage.seen[3].callType, Call::CallValuesAndDerivatives);
  EXPECT_EQ(TakeErrors(), "");
}

// What INTERP is handed, for vectors of 4 and 4 elements: offsets 0, 1, 5, 9
// and 10 plus the base index, 11 words, 10 derivative entries in one row.
TEST_F(CallCycleTest, TheRoutineIsHandedTheLayoutOfItsArguments) {
  for (int base : {0, 1}) {
    SCOPED_TRACE("base index " + std::to_string(base));
    TQ_Executive::Instance().Reset();
    RoutineStage& stage = Stage();
    stage.seen.clear();
    stage.wordsToRecord = 11;
    Model& model = MakeModel(base);
    EXPECT_EQ(model.procedure.ArgumentWords(), 11);
    const std::vector<double> residual = HostResiduals();
    EXPECT_DOUBLE_EQ(residual[0], -model.Expected().y) << "INTERP finds its arguments by the offsets";
    model.X.SetCurrentValue(3.0);
    HostJacobian();
    ASSERT_EQ(stage.seen.size(), 2u);
    std::vector<std::int32_t> columns;
    for (int k = 1; k <= 10; ++k) columns.push_back(k);
    for (const SeenCall& call : stage.seen) {
      EXPECT_EQ(call.callType, Call::CallValuesAndDerivatives) << "never 3, and 4 for Residuals and Jacobian";
      EXPECT_TRUE(call.sameBuffer);
      EXPECT_EQ(call.failureOnEntry, 1);
      EXPECT_EQ(call.scratch, 0) << "cleared before every call";
      EXPECT_EQ(call.derivativeCount, 10);
      EXPECT_EQ(call.rows, std::vector<std::int32_t>(10, 1));
      EXPECT_EQ(call.columns, columns);
      EXPECT_EQ(call.inputOffsets, (std::vector<std::int32_t>{base, 1 + base, 5 + base, 9 + base}));
      EXPECT_EQ(call.outputOffset, 10 + base);
      EXPECT_EQ(call.dims[0], 4);
      EXPECT_EQ(call.dims[1], 4);
    }
    const std::vector<double>& words = stage.seen[1].buffer;
    EXPECT_EQ(words[0], 3.0);
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(words[static_cast<std::size_t>(1 + k)], Model::kA[k]);
      EXPECT_EQ(words[static_cast<std::size_t>(5 + k)], Model::kB[k]);
    }
    std::int32_t points;
    std::memcpy(&points, &words[9], sizeof points);
    EXPECT_EQ(points, 4);
    // The routine's derivatives reach the cache negated.
    const Model::Analytic expected = model.Expected();
    for (int k = 0; k < 9; ++k) EXPECT_DOUBLE_EQ(model.procedure.Cache()[k], -expected.dy[static_cast<std::size_t>(k)]);
    EXPECT_EQ(model.procedure.Cache()[9], 0.0);
    EXPECT_EQ(TakeErrors(), "");
  }
}

TEST_F(CallCycleTest, OutputsArePresetWhenTheHostAsks) {
  RoutineStage& stage = Stage();
  stage.wordsToRecord = 11;
  Model& model = MakeModel();
  HostResiduals();
  model.Y.SetCurrentValue(3.5);
  model.X.SetCurrentValue(0.0);
  HostResiduals();
  EXPECT_EQ(stage.seen[1].buffer[10], 0.125) << "without presetting, what the last call left";
  model.procedure.SetPresetOutputs(true);
  model.X.SetCurrentValue(0.5);
  HostResiduals();
  EXPECT_EQ(stage.seen[2].buffer[10], 3.5);
}

TEST_F(CallCycleTest, TheComponentListBracketsEachCallOfTheRoutine) {
  RoutineStage& stage = Stage();
  Model& model = MakeModel();
  TQ_COMPONENTLISTNAME list;
  stage.watched = &list;
  HostResiduals();
  EXPECT_EQ(stage.seen[0].openBrackets, 0) << "no component list: no bracket";
  model.procedure.SetComponentListName(&list);
  model.X.SetCurrentValue(0.5);
  HostResiduals();
  HostJacobian();
  ASSERT_EQ(stage.seen.size(), 2u);
  EXPECT_EQ(stage.seen[1].openBrackets, 1);
  EXPECT_EQ(list.OpenPropertiesCalls(), 0);
  EXPECT_EQ(list.PropertiesCallCount(), 1);
  // A failed load opens no bracket.
  InterpolateModel<CallProbe<TwinInterpolate<true>>> missing("NoSuchRoutineLibrary", "INTERP");
  missing.procedure.SetComponentListName(&list);
  double value;
  int position = 0;
  EXPECT_EQ(missing.procedure.Residuals(&value, position), TQ_PROC_LIBRARY_MISSING);
  EXPECT_EQ(list.PropertiesCallCount(), 1);
  TakeErrors();
}

// The end of the bracket asks for the component list name afresh: a name
// the routine takes away gets no end, one it gives gets the end alone.
TEST_F(CallCycleTest, TheEndOfTheBracketAsksForTheComponentListAfresh) {
  RoutineStage& stage = Stage();
  Model& model = MakeModel();
  TQ_COMPONENTLISTNAME first, second;
  model.procedure.SetComponentListName(&first);
  stage.act = [&](std::int32_t*, double*, std::int32_t*, std::int32_t*, std::int32_t*, double*, std::int32_t* failure) {
    model.procedure.SetComponentListName(&second);
    *failure = 0;
  };
  HostResiduals();
  EXPECT_EQ(first.OpenPropertiesCalls(), 1) << "begun, and not ended through a name now gone";
  EXPECT_EQ(first.PropertiesCallCount(), 1);
  EXPECT_EQ(second.PropertiesCallCount(), 0);
  EXPECT_NE(TakeErrors().find("without an open BeginPropertiesCall"), std::string::npos)
      << "the end went to the name the routine left";
}

// Without a derivative cache (the heap refuses it) the pre-call and the
// residuals are made as ever, and the Jacobian writes 1.0 and 0.0 and
// returns the call's status; the next Jacobian makes the cache and has the
// routine fill it, not zeros replayed.
TEST_F(CallCycleTest, WithoutADerivativeCacheTheJacobianWritesOnesAndZeros) {
  RoutineStage& stage = Stage();
  Model& model = MakeModel();
  EXPECT_EQ(model.procedure.Cache(), nullptr) << "no Jacobian yet";
  TQ_HeapStats::FailAllocations(1000);
  EXPECT_EQ(model.procedure.Precall(true), 0);
  const std::vector<double> residuals = HostResiduals();
  const std::vector<double> row = HostJacobian();
  TQ_HeapStats::FailAllocations(0);
  EXPECT_EQ(model.procedure.Cache(), nullptr);
  ASSERT_EQ(residuals.size(), 1u);
  EXPECT_DOUBLE_EQ(residuals[0], model.Y.Real() - model.Expected().y);
  std::vector<double> unit(10, 0.0);
  unit[0] = 1.0;
  EXPECT_EQ(row, unit);
  EXPECT_EQ(stage.seen.size(), 2u) << "the pre-call and one evaluation";

  ExpectRow(HostJacobian(), ExpectedRow(model));
  EXPECT_NE(model.procedure.Cache(), nullptr);
  EXPECT_EQ(stage.seen.size(), 3u);
  EXPECT_TRUE(TakeErrors().empty());
}

// The decision on the call type: follow-up calls, and types outside 0 to 4,
// which run only when packing finds a change or the changed flag stands.
TEST_F(CallCycleTest, FollowUpAndUnknownCallTypes) {
  RoutineStage& stage = Stage();
  Model& model = MakeModel();
  auto& p = model.procedure;
  EXPECT_EQ(p.CallFn(Call::CallFollowUp, true), 0);
  EXPECT_TRUE(stage.seen.empty()) << "nothing called yet";
  HostResiduals();
  EXPECT_EQ(p.CallFn(Call::CallFollowUp, true), 0);
  ASSERT_EQ(stage.seen.size(), 2u);
  EXPECT_EQ(stage.seen[1].callType, Call::CallFollowUp);
  EXPECT_EQ(p.CallFn(Call::CallFollowUp, true), 0);
  EXPECT_EQ(stage.seen.size(), 2u);

  const auto unknown = static_cast<Call::CallType>(7);
  p.SetChanged(false);
  EXPECT_EQ(p.CallFn(unknown, true), 0);
  EXPECT_EQ(stage.seen.size(), 2u);
  model.X.SetCurrentValue(0.75);
  EXPECT_EQ(p.CallFn(unknown, true), TQ_PROC_ROUTINE_FAILED);  // INTERP knows no type 7
  ASSERT_EQ(stage.seen.size(), 3u);
  EXPECT_EQ(stage.seen[2].callType, 7);
  TakeErrors();
}

}  // namespace
