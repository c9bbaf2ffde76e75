// Public interface of the external routine library TQSysLib.
//
// The library exports one routine, INTERP, under that plain name. The host
// loads the library by name and resolves INTERP at run time; the procedure
// adapter calls it with sixteen pointers. Tests may also link the library
// directly and call INTERP through this declaration.
//
// What INTERP computes: y, the piecewise-linear interpolation of the table
// (a_k, b_k), k = 1..n, at x, extrapolated linearly beyond a_1 and a_n.
//
// Arguments as the adapter packs them into the buffer of 8-byte words:
//   input 0  x  real scalar (one word)
//   input 1  a  real vector of p elements (one word each), p = input dims[0]
//   input 2  b  real vector of q elements (one word each), q = input dims[1]
//   input 3  n  32-bit integer scalar in the first four bytes of its word
//   output 0 y  real scalar (one word)
// Every argument is found only through its offset: the offsets handed over
// are word offsets plus the host's language base index (0 or 1). The first
// input always starts at word 0 of the buffer, so its stored offset is the
// base index itself; INTERP takes the base from there.
//
// Call types: 0 values, 1 precall, 2 follow-up, 4 values and derivatives.
// With call type 4 INTERP also fills the derivative array, one entry per
// (output element, input value) pair, row-major: entry j (j from 0) is the
// derivative of y with respect to input value j, the input values numbered
// x, a_1..a_p, b_1..b_q, n. The entries for a_k and b_k with k > n and the
// entry for n are 0. At an inner knot the derivatives are those of the
// segment to the right of it.
//
// Failure flag: 1 on entry; INTERP sets it to TQSYSLIB_OK on success and to
// one of the codes below otherwise. On failure it writes neither y nor any
// derivative. INTERP never writes an input slot of the buffer.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#if defined(TQSysLib_EXPORTS)
#define TQSYSLIB_API __declspec(dllexport)
#else
#define TQSYSLIB_API __declspec(dllimport)
#endif
#define TQSYSLIB_CALL __stdcall
#else
#define TQSYSLIB_API __attribute__((visibility("default")))
#define TQSYSLIB_CALL
#endif

// Values INTERP leaves in the failure flag.
enum TQSysLibStatus : int32_t {
  TQSYSLIB_OK = 0,
  // n < 2: a table of fewer than two points defines no line.
  TQSYSLIB_FAIL_TOO_FEW_POINTS = 2,
  // n exceeds the length of a or of b.
  TQSYSLIB_FAIL_TABLE_TOO_SHORT = 3,
  // a_1..a_n not strictly increasing (a NaN among them included).
  TQSYSLIB_FAIL_NOT_INCREASING = 4,
  // x, a_1..a_n or b_1..b_n not finite, or y or a derivative overflows.
  TQSYSLIB_FAIL_NOT_FINITE = 5,
  // A call type other than 0, 1, 2 or 4.
  TQSYSLIB_FAIL_CALL_TYPE = 6,
  // A missing pointer, a negative vector length, a base index other than
  // 0 or 1, or argument slots that overlap or are out of order.
  TQSYSLIB_FAIL_LAYOUT = 7,
  // Call type 4 with a derivative count other than p + q + 2, or row and
  // column entries other than the dense row-major layout.
  TQSYSLIB_FAIL_DERIVATIVE_LAYOUT = 8
};

// The routine's sixteen pointers, in order.
#define TQSYSLIB_INTERP_PARAMETERS                                                                                    \
  int32_t *callType, double *inputs, int32_t *inputDims, double *outputs, int32_t *outputDims, int32_t *inputOffsets, \
      int32_t *outputOffsets, int32_t *hostIntegerCell, double *hostReals, int32_t *hostInteger,                      \
      int32_t *derivativeCount, int32_t *derivativeRows, int32_t *derivativeColumns, int32_t *scratch,                \
      double *derivatives, int32_t *failureFlag

extern "C" {

// Type of the routine as the host resolves it.
typedef void(TQSYSLIB_CALL* TQInterpRoutine)(TQSYSLIB_INTERP_PARAMETERS);

TQSYSLIB_API void TQSYSLIB_CALL INTERP(TQSYSLIB_INTERP_PARAMETERS);
}
