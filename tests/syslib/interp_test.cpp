// INTERP's values, derivatives, failure causes and its view of the buffer.
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "interp_harness.h"

namespace {

constexpr int32_t kValues = 0, kPrecall = 1, kFollowUp = 2, kJacobian = 3, kValuesAndDerivatives = 4;

// Table used throughout: knots 0, 1, 3, 6 with values 1, 3, 2, 8.
const std::vector<double> kA{0.0, 1.0, 3.0, 6.0};
const std::vector<double> kB{1.0, 3.0, 2.0, 8.0};

PackedCall StandardTable(int32_t base = 0, int32_t gap = 0) {
  PackedCall call(4, 4, base, gap);
  call.Set(0.0, kA, kB, 4);
  return call;
}

// ---------------------------------------------------------------- values

TEST(InterpValues, InsideTheTable) {
  PackedCall call = StandardTable();
  EXPECT_DOUBLE_EQ(call.ValueAt(0.5), 2.0);
  EXPECT_DOUBLE_EQ(call.ValueAt(2.0), 2.5);
  EXPECT_DOUBLE_EQ(call.ValueAt(4.5), 5.0);
  EXPECT_DOUBLE_EQ(call.ValueAt(0.25), 1.5);
}

TEST(InterpValues, AtTheKnotsExactly) {
  PackedCall call = StandardTable();
  for (size_t k = 0; k < kA.size(); ++k) EXPECT_EQ(call.ValueAt(kA[k]), kB[k]) << "knot " << k;
}

TEST(InterpValues, OutsideTheTableExtrapolatesTheEndSegments) {
  PackedCall call = StandardTable();
  EXPECT_DOUBLE_EQ(call.ValueAt(-1.0), -1.0);  // first segment, slope 2
  EXPECT_DOUBLE_EQ(call.ValueAt(-10.0), -19.0);
  EXPECT_DOUBLE_EQ(call.ValueAt(8.0), 12.0);  // last segment, slope 2
  EXPECT_DOUBLE_EQ(call.ValueAt(106.0), 208.0);
}

TEST(InterpValues, TwoPointTableIsOneLine) {
  PackedCall call(2, 2);
  call.Set(0.0, {-1.0, 3.0}, {4.0, 0.0}, 2);
  EXPECT_DOUBLE_EQ(call.ValueAt(1.0), 2.0);
  EXPECT_DOUBLE_EQ(call.ValueAt(-5.0), 8.0);
  EXPECT_DOUBLE_EQ(call.ValueAt(7.0), -4.0);
}

TEST(InterpValues, UsesOnlyTheFirstNPoints) {
  // Vectors of 6 and 5 elements, table of 3 points; the rest is garbage.
  PackedCall call(6, 5);
  call.Set(0.0, {0.0, 2.0, 4.0, -100.0, 1e300, 5.0}, {0.0, 2.0, 0.0, 7.0, 9.0}, 3);
  EXPECT_DOUBLE_EQ(call.ValueAt(3.0), 1.0);
  EXPECT_DOUBLE_EQ(call.ValueAt(5.0), -1.0);  // extrapolated from the third point
}

TEST(InterpValues, EveryValueCallTypeComputesYAndOnlyType4TouchesDerivatives) {
  for (int32_t type : {kValues, kPrecall, kFollowUp}) {
    PackedCall call = StandardTable();
    call.Word(0) = 2.0;
    ASSERT_EQ(call.Run(type), TQSYSLIB_OK) << "call type " << type;
    EXPECT_DOUBLE_EQ(call.Y(), 2.5);
    for (double d : call.derivatives) EXPECT_EQ(d, -99.0) << "call type " << type;
  }
  PackedCall call = StandardTable();
  call.Word(0) = 2.0;
  ASSERT_EQ(call.Run(kValuesAndDerivatives), TQSYSLIB_OK);
  EXPECT_DOUBLE_EQ(call.Y(), 2.5);
  EXPECT_DOUBLE_EQ(call.derivatives[0], -0.5);
}

// ----------------------------------------------------------- derivatives

// Central difference of y with respect to input value j (0 x, then the a's,
// then the b's) at the call's present inputs.
double CentralDifference(PackedCall& call, int32_t j, double h) {
  double* value = j == 0 ? &call.Word(0) : j <= call.p ? &call.A(j - 1) : &call.B(j - 1 - call.p);
  const double saved = *value;
  *value = saved + h;
  const double up = (call.Run(kValues), call.Y());
  *value = saved - h;
  const double down = (call.Run(kValues), call.Y());
  *value = saved;
  return (up - down) / (2.0 * h);
}

TEST(InterpDerivatives, MatchCentralDifferencesOfTheValues) {
  // Points inside each segment and beyond both ends, away from the knots.
  for (double x : {-2.5, 0.3, 0.9, 1.7, 2.2, 4.0, 5.5, 9.75}) {
    PackedCall call(5, 6);  // longer vectors than the table
    call.Set(x, {0.0, 1.0, 3.0, 6.0, 7.0}, {1.0, 3.0, 2.0, 8.0, -4.0, 0.5}, 4);
    ASSERT_EQ(call.Run(kValuesAndDerivatives), TQSYSLIB_OK) << "x = " << x;
    const std::vector<double> derivatives = call.derivatives;
    const double y = call.Y();
    ASSERT_EQ(call.derivativeCount, 13);
    for (int32_t j = 0; j < 1 + call.p + call.q; ++j) {
      const double expected = CentralDifference(call, j, 1e-6);
      EXPECT_NEAR(derivatives[j], expected, 1e-6 * (1.0 + std::fabs(expected))) << "x = " << x << ", input value " << j;
    }
    EXPECT_EQ(derivatives[12], 0.0) << "the derivative with respect to n";
    EXPECT_EQ(derivatives[13], -99.0) << "past the derivative count";
    EXPECT_DOUBLE_EQ(call.ValueAt(x), y);
  }
}

TEST(InterpDerivatives, OnlyTheSegmentsTwoKnotsContribute) {
  PackedCall call = StandardTable();
  call.Word(0) = 2.0;  // segment from knot 2 (1.0) to knot 3 (3.0), t = 0.5, slope -0.5
  ASSERT_EQ(call.Run(kValuesAndDerivatives), TQSYSLIB_OK);
  const std::vector<double> expected{-0.5,  // x
                                     0.0,
                                     0.25,
                                     0.25,
                                     0.0,  // a
                                     0.0,
                                     0.5,
                                     0.5,
                                     0.0,   // b
                                     0.0};  // n
  for (size_t j = 0; j < expected.size(); ++j)
    EXPECT_DOUBLE_EQ(call.derivatives[j], expected[j]) << "input value " << j;
}

TEST(InterpDerivatives, AtAnInnerKnotTheSegmentToTheRightApplies) {
  PackedCall call = StandardTable();
  call.Word(0) = 3.0;  // knot 3: the segment 3..6 has slope 2
  ASSERT_EQ(call.Run(kValuesAndDerivatives), TQSYSLIB_OK);
  EXPECT_DOUBLE_EQ(call.derivatives[0], 2.0);
  EXPECT_DOUBLE_EQ(call.derivatives[7], 1.0);  // b_3
  EXPECT_DOUBLE_EQ(call.derivatives[8], 0.0);  // b_4
  call.Word(0) = 6.0;                          // the last knot belongs to the last segment
  ASSERT_EQ(call.Run(kValuesAndDerivatives), TQSYSLIB_OK);
  EXPECT_DOUBLE_EQ(call.derivatives[0], 2.0);
  EXPECT_DOUBLE_EQ(call.derivatives[8], 1.0);
}

TEST(InterpDerivatives, RowAndColumnArraysMayBeAbsent) {
  PackedCall call = StandardTable();
  call.Word(0) = 0.5;
  int32_t type = kValuesAndDerivatives, failure = 1;
  LoadedInterp()(&type,
                 call.buffer.data(),
                 call.dims,
                 call.buffer.data(),
                 call.dims + 2,
                 call.offsets,
                 call.offsets + 4,
                 &call.hostCell,
                 call.hostReals.data(),
                 &call.hostValue,
                 &call.derivativeCount,
                 nullptr,
                 nullptr,
                 &call.scratch,
                 call.derivatives.data(),
                 &failure);
  ASSERT_EQ(failure, TQSYSLIB_OK);
  EXPECT_DOUBLE_EQ(call.derivatives[0], 2.0);
}

// --------------------------------------------------------- failure causes

// Runs the call, expects the code, and checks that neither y nor a
// derivative was written.
void ExpectFailure(PackedCall& call, int32_t expected, int32_t callType = kValuesAndDerivatives) {
  EXPECT_EQ(call.Run(callType), expected);
  EXPECT_EQ(call.Y(), -12345.0) << "y must be left alone";
  for (double d : call.derivatives) EXPECT_EQ(d, -99.0) << "derivatives must be left alone";
}

TEST(InterpFailures, FewerThanTwoPoints) {
  for (int32_t n : {1, 0, -1, std::numeric_limits<int32_t>::min()}) {
    PackedCall call = StandardTable();
    call.SetN(n);
    SCOPED_TRACE(n);
    ExpectFailure(call, TQSYSLIB_FAIL_TOO_FEW_POINTS);
  }
}

TEST(InterpFailures, MorePointsThanEitherVectorHolds) {
  {
    PackedCall call(3, 5);  // a too short
    call.Set(0.5, {0.0, 1.0, 2.0}, {0.0, 1.0, 2.0, 3.0, 4.0}, 4);
    ExpectFailure(call, TQSYSLIB_FAIL_TABLE_TOO_SHORT);
  }
  {
    PackedCall call(5, 3);  // b too short
    call.Set(0.5, {0.0, 1.0, 2.0, 3.0, 4.0}, {0.0, 1.0, 2.0}, 4);
    ExpectFailure(call, TQSYSLIB_FAIL_TABLE_TOO_SHORT);
  }
  {
    PackedCall call = StandardTable();
    call.SetN(std::numeric_limits<int32_t>::max());
    ExpectFailure(call, TQSYSLIB_FAIL_TABLE_TOO_SHORT);
  }
}

TEST(InterpFailures, KnotsNotStrictlyIncreasing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<std::vector<double>> tables{
      {0.0, 1.0, 1.0, 6.0},  // a repeated knot
      {0.0, 3.0, 1.0, 6.0},  // decreasing
      {6.0, 3.0, 1.0, 0.0},  // all decreasing
      {0.0, nan, 3.0, 6.0},  // NaN
  };
  for (const auto& a : tables) {
    PackedCall call(4, 4);
    call.Set(0.5, a, kB, 4);
    ExpectFailure(call, TQSYSLIB_FAIL_NOT_INCREASING);
  }
  // Beyond n the order does not matter.
  PackedCall call(4, 4);
  call.Set(0.5, {0.0, 1.0, 3.0, -7.0}, kB, 3);
  EXPECT_EQ(call.Run(kValuesAndDerivatives), TQSYSLIB_OK);
}

TEST(InterpFailures, NonFiniteInputsAndOverflow) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double x : {nan, inf, -inf}) {
    PackedCall call = StandardTable();
    call.Word(0) = x;
    ExpectFailure(call, TQSYSLIB_FAIL_NOT_FINITE);
  }
  {
    PackedCall call = StandardTable();
    call.B(2) = nan;
    ExpectFailure(call, TQSYSLIB_FAIL_NOT_FINITE);
  }
  {
    PackedCall call(2, 2);
    call.Set(0.0, {-inf, 1.0}, {0.0, 1.0}, 2);
    ExpectFailure(call, TQSYSLIB_FAIL_NOT_FINITE);
  }
  {
    PackedCall call(2, 2);  // the step between the knots overflows
    call.Set(0.0, {-1e308, 1e308}, {0.0, 1.0}, 2);
    ExpectFailure(call, TQSYSLIB_FAIL_NOT_FINITE);
  }
  {
    PackedCall call(2, 2);  // extrapolation overflows
    call.Set(1e300, {0.0, 1e-10}, {0.0, 1e10}, 2);
    ExpectFailure(call, TQSYSLIB_FAIL_NOT_FINITE);
  }
}

TEST(InterpFailures, CallTypesOutsideTheProtocol) {
  for (int32_t type : {kJacobian, 5, -1, 100}) {
    PackedCall call = StandardTable();
    SCOPED_TRACE(type);
    ExpectFailure(call, TQSYSLIB_FAIL_CALL_TYPE, type);
  }
}

TEST(InterpFailures, InconsistentLayout) {
  {
    PackedCall call = StandardTable(2);  // base index other than 0 or 1
    ExpectFailure(call, TQSYSLIB_FAIL_LAYOUT);
  }
  {
    PackedCall call = StandardTable();
    call.dims[0] = -1;
    ExpectFailure(call, TQSYSLIB_FAIL_LAYOUT);
  }
  {
    PackedCall call = StandardTable();
    call.offsets[2] = call.offsets[1] + 2;  // b overlaps a
    ExpectFailure(call, TQSYSLIB_FAIL_LAYOUT);
  }
  {
    PackedCall call = StandardTable();
    const double y = call.Y();
    call.offsets[4] = call.offsets[3];  // the output on top of n
    int32_t n = 0;
    std::memcpy(&n, &call.Word(3), sizeof n);
    EXPECT_EQ(call.Run(kValuesAndDerivatives), TQSYSLIB_FAIL_LAYOUT);
    int32_t after = 0;
    std::memcpy(&after, &call.Word(3), sizeof after);
    EXPECT_EQ(after, n);
    EXPECT_EQ(call.buffer[10], y);
  }
  {
    PackedCall call = StandardTable();
    int32_t type = kValues, failure = 1;
    LoadedInterp()(&type,
                   nullptr,
                   call.dims,
                   nullptr,
                   call.dims + 2,
                   call.offsets,
                   call.offsets + 4,
                   nullptr,
                   nullptr,
                   nullptr,
                   nullptr,
                   nullptr,
                   nullptr,
                   nullptr,
                   nullptr,
                   &failure);
    EXPECT_EQ(failure, TQSYSLIB_FAIL_LAYOUT);
    failure = 1;
    LoadedInterp()(nullptr,
                   call.buffer.data(),
                   call.dims,
                   call.buffer.data(),
                   call.dims + 2,
                   call.offsets,
                   call.offsets + 4,
                   nullptr,
                   nullptr,
                   nullptr,
                   nullptr,
                   nullptr,
                   nullptr,
                   nullptr,
                   nullptr,
                   &failure);
    EXPECT_EQ(failure, TQSYSLIB_FAIL_LAYOUT);
    EXPECT_EQ(call.Y(), -12345.0);
    // Without a failure flag there is nothing to report to; the call must
    // still return without touching anything.
    type = kValuesAndDerivatives;
    LoadedInterp()(&type,
                   call.buffer.data(),
                   call.dims,
                   call.buffer.data(),
                   call.dims + 2,
                   call.offsets,
                   call.offsets + 4,
                   nullptr,
                   nullptr,
                   nullptr,
                   &call.derivativeCount,
                   call.rows.data(),
                   call.columns.data(),
                   nullptr,
                   call.derivatives.data(),
                   nullptr);
    EXPECT_EQ(call.Y(), -12345.0);
  }
}

TEST(InterpFailures, DerivativeLayoutOtherThanOneEntryPerInputValue) {
  {
    PackedCall call = StandardTable();
    call.derivativeCount = 9;
    ExpectFailure(call, TQSYSLIB_FAIL_DERIVATIVE_LAYOUT);
  }
  {
    PackedCall call = StandardTable();
    call.rows[3] = 2;
    ExpectFailure(call, TQSYSLIB_FAIL_DERIVATIVE_LAYOUT);
  }
  {
    PackedCall call = StandardTable();
    std::swap(call.columns[1], call.columns[2]);
    ExpectFailure(call, TQSYSLIB_FAIL_DERIVATIVE_LAYOUT);
  }
  {
    // A values call does not look at the derivative arguments at all.
    PackedCall call = StandardTable();
    call.derivativeCount = 0;
    EXPECT_EQ(call.Run(kValues), TQSYSLIB_OK);
  }
}

// -------------------------------------------------- the buffer as seen

// The adapter's own layout for vectors of sizes 3 and 5: word offsets 0, 1,
// 4, 9 and 10, eleven words, ten derivative entries.
TEST(InterpBuffer, AdapterLayoutForVectorsOfThreeAndFive) {
  for (int32_t base : {0, 1}) {
    SCOPED_TRACE(base);
    PackedCall call(3, 5, base);
    EXPECT_EQ(call.buffer.size(), 11u);
    const int32_t expected[5] = {0, 1, 4, 9, 10};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(call.offsets[i], expected[i] + base);
    call.Set(2.0, {1.0, 2.0, 4.0}, {10.0, 20.0, 40.0, 0.0, 0.0}, 3);
    ASSERT_EQ(call.Run(kValuesAndDerivatives), TQSYSLIB_OK);
    EXPECT_DOUBLE_EQ(call.buffer[10], 20.0);
    EXPECT_DOUBLE_EQ(call.derivatives[0], 10.0);  // slope of segment 2..4
    EXPECT_DOUBLE_EQ(call.derivatives[5], 1.0);   // b_2 (entries: x, a1..a3, b1..)
    EXPECT_EQ(call.derivatives[9], 0.0);          // n
    EXPECT_EQ(call.derivatives[10], -99.0);       // past the ten entries
  }
}

// The routine finds every argument through its offset: gaps of poisoned
// words between the slots change nothing, with either base index.
TEST(InterpBuffer, ArgumentsAreFoundThroughTheOffsetsWithEitherBase) {
  for (int32_t base : {0, 1}) {
    for (int32_t gap : {0, 1, 3}) {
      SCOPED_TRACE(testing::Message() << "base " << base << ", gap " << gap);
      PackedCall call = StandardTable(base, gap);
      call.Word(0) = 4.5;
      ASSERT_EQ(call.Run(kValuesAndDerivatives), TQSYSLIB_OK);
      EXPECT_DOUBLE_EQ(call.Y(), 5.0);
      EXPECT_DOUBLE_EQ(call.derivatives[0], 2.0);
      EXPECT_DOUBLE_EQ(call.derivatives[3], -1.0);  // a_3: -slope (1 - t), t = 0.5
      EXPECT_DOUBLE_EQ(call.derivatives[8], 0.5);   // b_4
    }
  }
}

// A routine that ignored the base index would take word 0 for x and find
// the table one word off; with base 1 the routine must read x from the
// second word.
TEST(InterpBuffer, BaseIndexOneShiftsEveryOffsetByOne) {
  PackedCall call(2, 2, 1);
  call.Set(1.0, {0.0, 2.0}, {0.0, 4.0}, 2);
  ASSERT_EQ(call.offsets[0], 1);
  ASSERT_EQ(call.Run(kValues), TQSYSLIB_OK);
  EXPECT_DOUBLE_EQ(call.Y(), 2.0);
  EXPECT_DOUBLE_EQ(call.buffer[6], 2.0);  // the output slot: word 6, stored offset 7
}

TEST(InterpBuffer, NeverWritesAnInputOrTheHostsValues) {
  for (int32_t type : {kValues, kPrecall, kFollowUp, kValuesAndDerivatives, kJacobian}) {
    for (int32_t n : {4, 1}) {
      SCOPED_TRACE(testing::Message() << "call type " << type << ", n " << n);
      PackedCall call = StandardTable(1, 2);
      call.Word(0) = 2.0;
      call.SetN(n);
      std::vector<unsigned char> before(call.buffer.size() * 8);
      std::memcpy(before.data(), call.buffer.data(), before.size());
      const std::vector<int32_t> rows = call.rows, columns = call.columns;
      const int32_t offsets[5] = {call.offsets[0], call.offsets[1], call.offsets[2], call.offsets[3], call.offsets[4]};
      call.Run(type);
      std::vector<unsigned char> after(call.buffer.size() * 8);
      std::memcpy(after.data(), call.buffer.data(), after.size());
      const size_t output = static_cast<size_t>(call.offsets[4] - call.base) * 8;
      for (size_t i = 0; i < before.size(); ++i) {
        if (i < output || i >= output + 8) {
          ASSERT_EQ(after[i], before[i]) << "byte " << i;
        }
      }
      EXPECT_EQ(call.rows, rows);
      EXPECT_EQ(call.columns, columns);
      EXPECT_TRUE(std::equal(offsets, offsets + 5, call.offsets));
      EXPECT_EQ(call.dims[0], 4);
      EXPECT_EQ(call.dims[1], 4);
      EXPECT_EQ(call.derivativeCount, 10);
      EXPECT_EQ(call.hostCell, 7);
      EXPECT_EQ(call.hostValue, 11);
      EXPECT_EQ(call.scratch, 13);
    }
  }
}

}  // namespace
