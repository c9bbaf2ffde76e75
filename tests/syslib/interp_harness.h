// Calls INTERP the way the procedure adapter does: the routine resolved by
// name through the host's loader, its arguments packed into a buffer of
// 8-byte words at the offsets handed over.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "host/tq_loader.h"
#include "tqsyslib.h"

// TQSysLib loaded by name (the build puts it beside the test program) and
// kept loaded for the whole run. Null, with the loader's message recorded
// as a test failure, when it cannot be had.
inline TQInterpRoutine LoadedInterp() {
  static TQ_LibraryLoader loader;
  static std::string error;
  static TQ_LibraryRef library = loader.LoadByName("TQSysLib", error);
  static TQInterpRoutine routine = library ? library->Function<TQInterpRoutine>("INTERP", error) : nullptr;
  if (routine == nullptr) ADD_FAILURE() << error;
  return routine;
}

// Word offsets of x, a, b, n and y as the adapter lays them out, with `gap`
// unused words ahead of every slot but the first. The adapter packs without
// gaps; the gaps show that the routine finds each argument by its offset.
struct PackedCall {
  static constexpr double kPoison = std::numeric_limits<double>::quiet_NaN();
  static constexpr uint32_t kHighBytes = 0xA5A5A5A5u;  // the n word's unused half

  int32_t p, q, base;
  int32_t dims[3];
  int32_t offsets[5];  // inputs 0..3, then the output, each plus the base
  std::vector<double> buffer;
  int32_t derivativeCount;
  std::vector<int32_t> rows, columns;
  std::vector<double> derivatives;  // derivativeCount entries and a guard
  int32_t hostCell = 7, hostValue = 11, scratch = 13;
  std::vector<double> hostReals{0.0, 0.0};

  PackedCall(int32_t p_, int32_t q_, int32_t base_ = 0, int32_t gap = 0) : p(p_), q(q_), base(base_), dims{p_, q_, 0} {
    const int32_t words[5] = {1, p, q, 1, 1};
    int32_t next = 0;
    for (int i = 0; i < 5; ++i) {
      if (i > 0) next += gap;
      offsets[i] = next + base;
      next += words[i];
    }
    buffer.assign(static_cast<size_t>(next + gap), kPoison);
    derivativeCount = p + q + 2;
    for (int32_t k = 0; k < derivativeCount; ++k) {
      rows.push_back(1);
      columns.push_back(k + 1);
    }
    derivatives.assign(static_cast<size_t>(derivativeCount) + 1, -99.0);
  }

  double& Word(int argument) { return buffer[static_cast<size_t>(offsets[argument] - base)]; }

  void Set(double x, const std::vector<double>& a, const std::vector<double>& b, int32_t n) {
    Word(0) = x;
    for (int32_t k = 0; k < p; ++k) (&Word(1))[k] = k < static_cast<int32_t>(a.size()) ? a[k] : kPoison;
    for (int32_t k = 0; k < q; ++k) (&Word(2))[k] = k < static_cast<int32_t>(b.size()) ? b[k] : kPoison;
    SetN(n);
    Word(4) = -12345.0;  // stands for the output until the routine writes it
  }

  void SetN(int32_t n) {
    unsigned char* word = reinterpret_cast<unsigned char*>(&Word(3));
    std::memcpy(word, &n, sizeof n);
    std::memcpy(word + 4, &kHighBytes, sizeof kHighBytes);
  }

  double X() { return Word(0); }
  double& A(int32_t k) { return (&Word(1))[k]; }  // k from 0
  double& B(int32_t k) { return (&Word(2))[k]; }
  double Y() { return Word(4); }

  // Calls the routine and returns the failure flag it left.
  int32_t Run(int32_t callType, TQInterpRoutine routine = LoadedInterp()) {
    if (routine == nullptr) return -1;
    int32_t type = callType;
    int32_t failure = 1;
    routine(&type,
            buffer.data(),
            dims,
            buffer.data(),
            dims + 2,
            offsets,
            offsets + 4,
            &hostCell,
            hostReals.data(),
            &hostValue,
            &derivativeCount,
            rows.data(),
            columns.data(),
            &scratch,
            derivatives.data(),
            &failure);
    return failure;
  }

  // y at x for the table as it stands, by a values call.
  double ValueAt(double x) {
    Word(0) = x;
    EXPECT_EQ(Run(0), TQSYSLIB_OK) << "at x = " << x;
    return Y();
  }
};
