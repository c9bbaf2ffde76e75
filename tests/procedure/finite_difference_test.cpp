// The finite-difference Jacobian of a procedure class that returns no
// derivatives: a twin of INTERPOLATE calling the same INTERP of TQSysLib,
// compared with INTERPOLATE's analytic Jacobian; the step, the bound
// fallback and the clamp; and what a pass leaves behind, also after a
// failure or an exception.
#include <bit>

#include "call_support.h"
#include "host/tq_executive_testing.h"

namespace {

using Analytic = InterpolateModel<>;
using Finite = InterpolateModel<CallProbe<FiniteInterpolate>>;
using Call = TQ_ProcedureType;
constexpr double kLimit = 1.79769313486231e308;

class FiniteDifferenceTest : public CallTest {
 protected:
  // One Jacobian request of the model's procedure: its row, with the index
  // advanced by exactly the row.
  template <class M>
  static std::vector<double> Row(M& model, int status = 0) {
    std::vector<double> row(static_cast<std::size_t>(model.procedure.SolverInputs() + 1), -99.0);
    int position = 0;
    EXPECT_EQ(model.procedure.Jacobian(row.data(), position), status);
    EXPECT_EQ(position, static_cast<int>(row.size()));
    return row;
  }
  template <class M>
  static double Residual(M& model, int status = 0) {
    double value = -99.0;
    int position = 0;
    EXPECT_EQ(model.procedure.Residuals(&value, position), status);
    return value;
  }
  // The entries as a row of the given size, for reading the cache.
  static std::vector<double> Entries(const double* values, int count) { return {values, values + count}; }
  // Excludes every input but those given from the finite differences.
  template <class M>
  static void OnlyPerturb(M& model, TQ_IncrementalUpdate& controller, std::initializer_list<const TQ_VarParam*> kept) {
    const auto exclude = [&](const TQ_VarParam& v) {
      for (const TQ_VarParam* k : kept)
        if (k == &v) return;
      controller.Exclude(v);
    };
    exclude(model.X);
    for (auto& a : model.A) exclude(a);
    for (auto& b : model.B) exclude(b);
    exclude(model.N);
    model.procedure.SetUpdateController(&controller);
  }
  // A stage that records the buffer and lets INTERP compute, failing or
  // throwing at call `at` (from 1) when asked.
  static RoutineStage& Watching(int words = 11) {
    RoutineStage& stage = Stage();
    stage.wordsToRecord = words;
    return stage;
  }
};

TEST_F(FiniteDifferenceTest, MatchesTheAnalyticJacobianAwayFromTheKnots) {
  for (double x : {0.25, -0.6, 0.9, -1.7}) {
    SCOPED_TRACE("X = " + std::to_string(x));
    Analytic analytic(false, 0);
    Finite finite;
    analytic.X.SetCurrentValue(x);
    finite.X.SetCurrentValue(x);
    const long before = InterpCalls();
    const std::vector<double> expected = Row(analytic);
    const std::vector<double> actual = Row(finite);
    EXPECT_EQ(InterpCalls() - before, 1 + 1 + 9) << "analytic: one call; finite: base and one per solver input";
    ASSERT_EQ(actual.size(), 10u);
    EXPECT_EQ(actual[0], 1.0);
    for (std::size_t k = 1; k < actual.size(); ++k) {
      if (expected[k] == 0.0)
        EXPECT_EQ(actual[k], 0.0) << "entry " << k;
      else
        EXPECT_LE(std::fabs(actual[k] - expected[k]), 1e-6 * std::fabs(expected[k]))
            << "entry " << k << ": " << actual[k] << " against " << expected[k];
    }
    // At the same point the cache answers, and the residual is the
    // unperturbed one.
    EXPECT_EQ(Row(finite), actual);
    EXPECT_DOUBLE_EQ(Residual(finite), finite.Y.Real() - finite.Expected().y);
    EXPECT_EQ(InterpCalls() - before, 11);
    EXPECT_FALSE(finite.procedure.Evaluated());
    // The cache holds the rows' derivatives; N's slot stays 0.
    std::vector<double> cache = Entries(finite.procedure.Cache(), 10);
    EXPECT_EQ(std::vector<double>(cache.begin(), cache.begin() + 9),
              std::vector<double>(actual.begin() + 1, actual.end()));
    EXPECT_EQ(cache[9], 0.0);
  }
  EXPECT_EQ(TakeErrors(), "");
}

// The routine sees each solver input perturbed in turn, by 1e-6 up to
// magnitude 1 and by 1e-6 of the value beyond; the others unperturbed.
TEST_F(FiniteDifferenceTest, TheStepIsAbsoluteUpToOneAndRelativeBeyond) {
  for (double x : {0.5, 1.0, -2000.0}) {
    SCOPED_TRACE("X = " + std::to_string(x));
    RoutineStage& stage = Watching();
    stage.seen.clear();
    Finite model;
    model.X.SetCurrentValue(x);
    TQ_IncrementalUpdate controller;
    OnlyPerturb(model, controller, {&model.X, &model.B[1]});
    const std::vector<double> row = Row(model);
    ASSERT_EQ(stage.seen.size(), 3u);
    const double h = std::fabs(x) > 1.0 ? std::fabs(x) * 1e-6 : 1e-6;
    EXPECT_EQ(stage.seen[0].buffer[0], x);
    EXPECT_EQ(stage.seen[1].buffer[0], x + h);
    EXPECT_EQ(stage.seen[2].buffer[0], x);
    EXPECT_EQ(stage.seen[2].buffer[6], Analytic::kB[1] + 1e-6) << "B(2) = -1: a step of 1e-6";
    for (const SeenCall& call : stage.seen) EXPECT_EQ(call.callType, Call::CallValues) << "never with derivatives";
    EXPECT_NEAR(row[1], -model.Expected().dy[0], 1e-6 * std::fabs(model.Expected().dy[0]) + 1e-9);
  }
  EXPECT_EQ(TakeErrors(), "");
}

TEST_F(FiniteDifferenceTest, BoundsTurnTheStepBackOrToTheFartherBound) {
  struct Case {
    double x, lower, upper, perturbed;
    const char* what;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double tiny = std::ldexp(1.0, -20);  // below the step of 5e-6 at x = 5
  const Case cases[] = {
      {10.0, 0.0, 10.0, 10.0 - 1e-5, "at the upper bound: backward"},
      {5.0, 5.0 - 1e-7, 5.0 + 2e-6, 5.0 + 2e-6, "both trials outside: to the farther bound, up"},
      {5.0, 5.0 - 2e-6, 5.0 + 1e-7, 5.0 - 2e-6, "both trials outside: to the farther bound, down"},
      {5.0, 5.0 - tiny, 5.0 + tiny, 5.0 + tiny, "equally far: up"},
      {0.5, nan, 0.5, 0.5 - 1e-6, "a NaN bound rejects nothing"},
      {0.5, nan, nan, 0.5 + 1e-6, "NaN bounds"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RoutineStage& stage = Watching();
    stage.seen.clear();
    Finite model;
    model.X.SetCurrentValue(c.x);
    model.X.SetBounds(c.lower, c.upper);
    TQ_IncrementalUpdate controller;
    OnlyPerturb(model, controller, {&model.X});
    const std::vector<double> row = Row(model);
    ASSERT_EQ(stage.seen.size(), 2u);
    EXPECT_EQ(stage.seen[1].buffer[0], c.perturbed);
    // The sign of the entry does not depend on the direction of the step.
    const double slope = model.Expected().dy[0];
    EXPECT_LE(std::fabs(row[1] + slope), 1e-6 * std::fabs(slope)) << row[1] << " against " << -slope;
    EXPECT_EQ(model.X.Real(), c.x);
  }
  EXPECT_EQ(TakeErrors(), "");
}

// A step of zero (both bounds at the value) is not divided by: the column
// is 0 and nothing is called for it.
TEST_F(FiniteDifferenceTest, AZeroStepGivesAZeroColumnWithoutACall) {
  Finite model;
  model.X.SetBounds(0.25, 0.25);
  const long before = InterpCalls();
  const std::vector<double> row = Row(model);
  EXPECT_EQ(InterpCalls() - before, 1 + 8);
  EXPECT_EQ(row[1], 0.0);
  EXPECT_EQ(model.X.Real(), 0.25);
  for (double entry : row) EXPECT_TRUE(std::isfinite(entry));
  EXPECT_EQ(TakeErrors(), "");
}

// N is an integer argument fed from a real variable: a perturbation of 4e-6
// does not change the integer packed, so nothing runs and nothing is
// divided.
TEST_F(FiniteDifferenceTest, APerturbationPackingDoesNotSeeIsNotDividedBy) {
  InterpolateModel<CallProbe<FiniteInterpolate>, true> model;
  ASSERT_EQ(model.procedure.SolverInputs(), 10);
  TQ_IncrementalUpdate controller;
  OnlyPerturb(model, controller, {&model.N});
  const long before = InterpCalls();
  const std::vector<double> row = Row(model);
  EXPECT_EQ(InterpCalls() - before, 1);
  EXPECT_EQ(row, (std::vector<double>{1.0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(std::signbit(row[10]));
  EXPECT_EQ(model.N.Real(), 4.0);
  EXPECT_EQ(TakeErrors(), "");
}

TEST_F(FiniteDifferenceTest, TheQuotientIsClampedWhileTheStepIsSmall) {
  EXPECT_EQ(TQ_DifferenceQuotient(3.0, 2.0), -1.5);
  EXPECT_EQ(TQ_DifferenceQuotient(1e308, 1e-6), -kLimit);
  EXPECT_EQ(TQ_DifferenceQuotient(1e308, -1e-6), kLimit);
  EXPECT_EQ(TQ_DifferenceQuotient(-1e308, 1e-6), kLimit);
  EXPECT_EQ(TQ_DifferenceQuotient(-1e308, -1e-6), -kLimit);
  EXPECT_EQ(TQ_DifferenceQuotient(std::numeric_limits<double>::quiet_NaN(), 1e-6), -kLimit);
  EXPECT_EQ(TQ_DifferenceQuotient(std::numeric_limits<double>::quiet_NaN(), -1e-6), kLimit);
  EXPECT_TRUE(std::isnan(TQ_DifferenceQuotient(std::numeric_limits<double>::quiet_NaN(), 2.0)));
  EXPECT_EQ(TQ_DifferenceQuotient(1e308, 1.0), -1e308);
  EXPECT_EQ(TQ_DifferenceQuotient(1e308, 4.0), -2.5e307) << "no bound beyond a step of 1";
  EXPECT_EQ(kLimit, std::bit_cast<double>(std::uint64_t{0x7FEFFFFFFFFFFFE2}));

  // Through INTERP: a jump of 1e308 across a knot within one step of x.
  struct Case {
    double b[4];
    double x;
    double upper;
    double entry;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {{0.0, 0.0, 1e308, 1e308}, -1e-7, inf, -kLimit},  // forward, the output rises
      {{1e308, 1e308, 0.0, 0.0}, 5e-7, 5e-7, kLimit},   // backward, the output rises
  };
  for (const Case& c : cases) {
    Finite model;
    const double a[4] = {-1.0, 0.0, 1e-12, 1.0};
    for (int k = 0; k < 4; ++k) {
      model.A[k].SetCurrentValue(a[k]);
      model.B[k].SetCurrentValue(c.b[k]);
    }
    model.X.SetCurrentValue(c.x);
    model.X.SetBounds(-1.0, c.upper);
    TQ_IncrementalUpdate controller;
    OnlyPerturb(model, controller, {&model.X});
    EXPECT_EQ(Row(model)[1], c.entry);
  }
  EXPECT_EQ(TakeErrors(), "");
}

TEST_F(FiniteDifferenceTest, AnExcludedInputGetsAZeroColumnAndNoCall) {
  Finite model;
  TQ_IncrementalUpdate controller;
  controller.Exclude(model.X);
  model.procedure.SetUpdateController(&controller);
  const long before = InterpCalls();
  const std::vector<double> row = Row(model);
  EXPECT_EQ(InterpCalls() - before, 1 + 8);
  EXPECT_EQ(row[1], 0.0);
  EXPECT_NE(row[6], 0.0);  // B(1)
  EXPECT_TRUE(controller.ChangedVariables().empty()) << "perturbations are not write-backs";
}

// The first Jacobian makes the cache, and a pass whose perturbed evaluation failed
// leaves no unwritten value in the rows or the cache and is not replayed:
// the next Jacobian at the point differences again.
TEST_F(FiniteDifferenceTest, AFailedPerturbationIsNotReplayedAsSuccess) {
  RoutineStage& stage = Watching();
  Finite model;
  EXPECT_EQ(model.procedure.Cache(), nullptr) << "no Jacobian yet";
  int calls = 0;
  stage.act = [&calls](std::int32_t* type,
                       double* buffer,
                       std::int32_t* offsets,
                       std::int32_t* outputs,
                       std::int32_t* count,
                       double* derivatives,
                       std::int32_t* failure) {
    if (++calls == 3) {  // base, X, then A(1)
      *failure = 9;
      return;
    }
    std::int32_t dims[2] = {4, 4};
    std::int32_t cell = 0, value = 0, scratch = 0;
    RealInterp()(type,
                 buffer,
                 dims,
                 buffer,
                 dims,
                 offsets,
                 outputs,
                 &cell,
                 nullptr,
                 &value,
                 count,
                 nullptr,
                 nullptr,
                 &scratch,
                 derivatives,
                 failure);
  };
  const std::vector<double> failed = Row(model, TQ_PROC_ROUTINE_FAILED);
  EXPECT_NE(TakeErrors().find("failed with code 9"), std::string::npos);
  EXPECT_EQ(calls, 10);
  EXPECT_EQ(failed[0], 1.0);
  EXPECT_EQ(failed[2], 0.0) << "the failed column holds a defined value";
  EXPECT_EQ(model.procedure.Cache()[1], 0.0);
  EXPECT_TRUE(model.procedure.Evaluated()) << "the next Jacobian differences again";
  EXPECT_EQ(model.A[0].Real(), Analytic::kA[0]) << "restored before the failure was looked at";

  stage.act = nullptr;
  const std::vector<double> good = Row(model);
  EXPECT_GE(stage.seen.size(), 19u);
  EXPECT_NE(good[2], 0.0);
  for (std::size_t k = 0; k < good.size(); ++k)
    if (k != 2) {
      EXPECT_EQ(good[k], failed[k]) << "entry " << k;
    }
  EXPECT_FALSE(model.procedure.Evaluated());
  EXPECT_EQ(TakeErrors(), "");
}

// A default-assigned variable is perturbed and restored by assignment,
// also when its perturbed evaluation fails; others by their current value.
TEST_F(FiniteDifferenceTest, AVariableIsRestoredTheWayItsValueStands) {
  RoutineStage& stage = Watching();
  Finite model;
  TQ_Value guess(0.25, 0u);
  ASSERT_EQ(model.X.Assign(&guess), TQ_ASSIGN_DONE);
  ASSERT_TRUE(model.X.IsDefaultAssignment());
  TQ_Executive& host = TQ_Executive::Instance();
  TQ_ExecutiveTesting::EnableLog(host, true);
  for (bool fail : {false, true}) {
    SCOPED_TRACE(fail ? "failing" : "succeeding");
    // A changed input makes the point new, so that the pass runs.
    model.B[0].SetCurrentValue(fail ? 2.5 : 2.0);
    TQ_ExecutiveTesting::ClearLog(host);
    int calls = 0;
    stage.act = nullptr;
    if (fail)
      stage.act =
          [&calls](
              std::int32_t*, double*, std::int32_t*, std::int32_t*, std::int32_t*, double*, std::int32_t* failure) {
            *failure = ++calls == 2 ? 4 : 0;
          };
    Row(model, fail ? TQ_PROC_ROUTINE_FAILED : 0);
    std::vector<double> assigned;
    for (const TQ_LogEntry& entry : TQ_ExecutiveTesting::Log(host))
      if (entry.target == &model.X) {
        assigned.push_back(entry.value.Real());
        EXPECT_EQ(entry.value.Level(), 1048576000u) << "the procedures' level word, unchanged";
      }
    EXPECT_EQ(assigned, (std::vector<double>{0.25 + 1e-6, 0.25}));
    EXPECT_TRUE(model.X.IsDefaultAssignment());
    EXPECT_EQ(model.X.Real(), 0.25);
    EXPECT_FALSE(model.B[0].IsDefaultAssignment());
    EXPECT_EQ(model.B[0].Real(), fail ? 2.5 : 2.0);
    TakeErrors();
  }
  TQ_ExecutiveTesting::EnableLog(host, false);
}

// An exception in a perturbed evaluation leaves no variable perturbed and
// no bracket open; the index is not advanced and the pass is done again.
TEST_F(FiniteDifferenceTest, AnExceptionLeavesNothingPerturbed) {
  RoutineStage& stage = Watching();
  Finite model;
  TQ_COMPONENTLISTNAME list;
  model.procedure.SetComponentListName(&list);
  int calls = 0;
  stage.act = [&calls](
                  std::int32_t*, double*, std::int32_t*, std::int32_t*, std::int32_t*, double*, std::int32_t* failure) {
    if (++calls == 4) throw std::runtime_error("routine broke down");
    *failure = 0;
  };
  std::vector<double> row(16, -5.0);
  int position = 3;
  EXPECT_THROW(model.procedure.Jacobian(row.data(), position), std::runtime_error);
  EXPECT_EQ(position, 3);
  EXPECT_EQ(model.A[1].Real(), Analytic::kA[1]) << "A(2) was perturbed when the routine threw";
  EXPECT_EQ(model.X.Real(), 0.25);
  EXPECT_EQ(list.OpenPropertiesCalls(), 0);
  EXPECT_TRUE(model.procedure.Evaluated());
  stage.act = nullptr;
  Row(model);
  EXPECT_FALSE(model.procedure.Evaluated());
  EXPECT_EQ(list.OpenPropertiesCalls(), 0);
  EXPECT_EQ(TakeErrors(), "");
}

// The outputs in the buffer after a pass are the unperturbed ones: a
// Residuals at the point runs nothing and is right.
TEST_F(FiniteDifferenceTest, ThePassLeavesTheUnperturbedOutputs) {
  Finite model;
  model.X.SetCurrentValue(5.0);  // on the last segment, which B(4), the last input perturbed, moves
  model.Y.SetCurrentValue(1.0);
  Row(model);
  const long calls = InterpCalls();
  EXPECT_EQ(model.procedure.Buffer()[10], model.Expected().y);
  EXPECT_DOUBLE_EQ(Residual(model), 1.0 - model.Expected().y);
  EXPECT_EQ(InterpCalls(), calls);
  // And the input words hold the point again.
  EXPECT_EQ(model.procedure.Buffer()[8], Analytic::kB[3]);
}

}  // namespace
