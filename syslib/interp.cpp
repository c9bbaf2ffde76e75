// INTERP: piecewise-linear interpolation of a table, with its derivatives.
// The argument layout, call types and failure codes are described in
// tqsyslib.h.
#include "tqsyslib.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int32_t kCallValues = 0;
constexpr int32_t kCallPrecall = 1;
constexpr int32_t kCallFollowUp = 2;
constexpr int32_t kCallValuesAndDerivatives = 4;

// Word positions (from 0) of the five arguments in the buffer, and the
// lengths of the two vectors.
struct Layout {
  int64_t x = 0, a = 0, b = 0, n = 0, y = 0;
  int64_t p = 0, q = 0;
};

// Finds the arguments through the offsets and dimension sizes handed over.
// The first input starts at word 0, so its stored offset is the language
// base index. The slots must follow one another without overlapping, so
// that the output never lands on an input.
int32_t ReadLayout(const int32_t* inputDims,
                   const int32_t* inputOffsets,
                   const int32_t* outputOffsets,
                   Layout& layout) {
  const int64_t base = inputOffsets[0];
  if (base != 0 && base != 1) return TQSYSLIB_FAIL_LAYOUT;
  layout.p = inputDims[0];
  layout.q = inputDims[1];
  if (layout.p < 0 || layout.q < 0) return TQSYSLIB_FAIL_LAYOUT;

  const int64_t stored[5] = {inputOffsets[0], inputOffsets[1], inputOffsets[2], inputOffsets[3], outputOffsets[0]};
  const int64_t words[5] = {1, layout.p, layout.q, 1, 1};
  int64_t position[5];
  int64_t nextFree = 0;
  for (int i = 0; i < 5; ++i) {
    position[i] = stored[i] - base;
    if (position[i] < nextFree) return TQSYSLIB_FAIL_LAYOUT;
    nextFree = position[i] + words[i];
  }
  layout.x = position[0];
  layout.a = position[1];
  layout.b = position[2];
  layout.n = position[3];
  layout.y = position[4];
  return TQSYSLIB_OK;
}

// The derivative array of a values-and-derivatives call must hold one entry
// per input value of the single output, in the dense row-major order.
int32_t CheckDerivativeLayout(const Layout& layout,
                              const int32_t* count,
                              const int32_t* rows,
                              const int32_t* columns,
                              const double* derivatives) {
  const int64_t inputValues = layout.p + layout.q + 2;
  if (count == nullptr || *count != inputValues || derivatives == nullptr) return TQSYSLIB_FAIL_DERIVATIVE_LAYOUT;
  if (rows != nullptr && columns != nullptr) {
    for (int64_t k = 0; k < inputValues; ++k)
      if (rows[k] != 1 || columns[k] != k + 1) return TQSYSLIB_FAIL_DERIVATIVE_LAYOUT;
  }
  return TQSYSLIB_OK;
}

// y on one segment of the table and its non-zero derivatives.
struct SegmentResult {
  int64_t k = 0;    // the segment joins knots k and k + 1 (from 0)
  double step = 0;  // a_{k+1} - a_k
  double y = 0, dx = 0, daLeft = 0, daRight = 0, dbLeft = 0, dbRight = 0;

  // False when the step or a result overflows a double.
  bool Finite() const {
    return std::isfinite(step) && std::isfinite(y) && std::isfinite(dx) && std::isfinite(daLeft) &&
           std::isfinite(daRight) && std::isfinite(dbLeft) && std::isfinite(dbRight);
  }
};

// Interpolates on the segment that holds x (a_k <= x < a_{k+1}), the first
// segment below a_2 and the last one from a_{n-1} on. With t the position of
// x on the segment, y = (1 - t) b_k + t b_{k+1}, which gives b_k exactly at
// every knot.
SegmentResult Interpolate(double x, const double* a, const double* b, int64_t n) {
  SegmentResult r;
  r.k = std::upper_bound(a + 1, a + n - 1, x) - a - 1;
  const double aLeft = a[r.k], aRight = a[r.k + 1];
  const double bLeft = b[r.k], bRight = b[r.k + 1];
  r.step = aRight - aLeft;
  const double t = (x - aLeft) / r.step;
  const double slope = (bRight - bLeft) / r.step;
  r.y = (1.0 - t) * bLeft + t * bRight;
  r.dx = slope;
  r.daLeft = -slope * (1.0 - t);
  r.daRight = -slope * t;
  r.dbLeft = 1.0 - t;
  r.dbRight = t;
  return r;
}

int32_t Evaluate(int32_t callType,
                 const double* inputs,
                 const int32_t* inputDims,
                 double* outputs,
                 const int32_t* inputOffsets,
                 const int32_t* outputOffsets,
                 const int32_t* derivativeCount,
                 const int32_t* derivativeRows,
                 const int32_t* derivativeColumns,
                 double* derivatives) {
  if (inputs == nullptr || outputs == nullptr || inputDims == nullptr || inputOffsets == nullptr ||
      outputOffsets == nullptr)
    return TQSYSLIB_FAIL_LAYOUT;
  if (callType != kCallValues && callType != kCallPrecall && callType != kCallFollowUp &&
      callType != kCallValuesAndDerivatives)
    return TQSYSLIB_FAIL_CALL_TYPE;

  Layout layout;
  if (const int32_t status = ReadLayout(inputDims, inputOffsets, outputOffsets, layout)) return status;
  const bool withDerivatives = callType == kCallValuesAndDerivatives;
  if (withDerivatives) {
    if (const int32_t status =
            CheckDerivativeLayout(layout, derivativeCount, derivativeRows, derivativeColumns, derivatives))
      return status;
  }

  int32_t n32 = 0;
  std::memcpy(&n32, inputs + layout.n, sizeof n32);
  const int64_t n = n32;
  if (n < 2) return TQSYSLIB_FAIL_TOO_FEW_POINTS;
  if (n > layout.p || n > layout.q) return TQSYSLIB_FAIL_TABLE_TOO_SHORT;

  const double x = inputs[layout.x];
  const double* a = inputs + layout.a;
  const double* b = inputs + layout.b;
  for (int64_t k = 0; k + 1 < n; ++k)
    if (!(a[k] < a[k + 1])) return TQSYSLIB_FAIL_NOT_INCREASING;
  if (!std::isfinite(x)) return TQSYSLIB_FAIL_NOT_FINITE;
  for (int64_t k = 0; k < n; ++k)
    if (!std::isfinite(a[k]) || !std::isfinite(b[k])) return TQSYSLIB_FAIL_NOT_FINITE;

  const SegmentResult r = Interpolate(x, a, b, n);
  if (!r.Finite()) return TQSYSLIB_FAIL_NOT_FINITE;

  outputs[layout.y] = r.y;
  if (withDerivatives) {
    // Input values: x, then a_1..a_p, then b_1..b_q, then n.
    std::fill(derivatives, derivatives + *derivativeCount, 0.0);
    const int64_t aFirst = 1, bFirst = 1 + layout.p;
    derivatives[0] = r.dx;
    derivatives[aFirst + r.k] = r.daLeft;
    derivatives[aFirst + r.k + 1] = r.daRight;
    derivatives[bFirst + r.k] = r.dbLeft;
    derivatives[bFirst + r.k + 1] = r.dbRight;
  }
  return TQSYSLIB_OK;
}

}  // namespace

extern "C" TQSYSLIB_API void TQSYSLIB_CALL INTERP(TQSYSLIB_INTERP_PARAMETERS) {
  // The host integer cell and value, the real block, the output dimension
  // sizes and the scratch integer carry nothing INTERP needs.
  (void)outputDims;
  (void)hostIntegerCell;
  (void)hostReals;
  (void)hostInteger;
  (void)scratch;
  if (failureFlag == nullptr) return;
  if (callType == nullptr) {
    *failureFlag = TQSYSLIB_FAIL_LAYOUT;
    return;
  }
  *failureFlag = Evaluate(*callType,
                          inputs,
                          inputDims,
                          outputs,
                          inputOffsets,
                          outputOffsets,
                          derivativeCount,
                          derivativeRows,
                          derivativeColumns,
                          derivatives);
}
