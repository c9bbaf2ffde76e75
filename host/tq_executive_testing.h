// What only tests ask of the executive: results of the host's own calls set
// in advance, the record of values handed over, and driving the equation
// store without a model cycle. Production code does not include this header.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "tq_executive.h"

class VEKEXP_API TQ_ExecutiveTesting {
 public:
  // What the host's own SetUpEquations, JacPattern, SetLocalEqnCount and
  // ExecuteAssignments answer; unset gives the running values (and 0).
  static void SetRootSetUpResult(TQ_Executive& host, std::optional<int> result);
  static void SetRootJacResult(TQ_Executive& host, std::optional<int> result);
  static void SetLocalEqnCountResult(TQ_Executive& host, std::optional<int> result);
  static void SetRootAssignmentStatus(TQ_Executive& host, long status);

  // The record of the values the library handed over; off until enabled.
  static void EnableLog(TQ_Executive& host, bool on);
  static bool LogEnabled(TQ_Executive& host);
  static const std::vector<TQ_LogEntry>& Log(TQ_Executive& host);
  static void ClearLog(TQ_Executive& host);

  // Sets up the pattern arrays for `nonZeros` entries and starts a fresh
  // emission; the cursors point at the start.
  static void BeginEmission(TQ_Executive& host, std::size_t nonZeros, int*& rows, int*& cols);
  // Opens a declaration for `model`, and adds a non-zero to it.
  static void DeclareEquation(TQ_Executive& host, const TQ_ModelType* model, int group);
  static void DeclareNonZero(TQ_Executive& host, const TQ_ModelType* model, TQ_VarParam& term);
};
