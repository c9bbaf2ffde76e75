// The model cycle: the four phases (ExecuteAssignments, SetDims,
// SetUpEquations, JacPattern) run over every object of the registry, in the
// order the objects were added, and what each model contributed. Part of the
// executive, which owns the cycle and answers for it.
#pragma once

#include <cstddef>
#include <unordered_set>
#include <vector>

#include "tq_message_log.h"
#include "tq_procedure_records.h"
#include "tq_registry.h"

struct TQ_CycleOptions {
  int level = 10;
  unsigned pass = 1;
};

// What one model contributed in the last cycle.
struct TQ_ModelSummary {
  const TQ_ModelType* model;
  int firstDeclared;  // index of its first declared equation
  int declaredCount;
  int firstEmitted;
  int emittedCount;
  int firstGroup;  // m_stLastGroup before its SetUpEquations
  int lastGroup;   // m_stLastGroup after it
};

class TQ_ModelCycle {
 public:
  // Failures go to `messages`; a fresh emission forgets the `procedures`'
  // records.
  TQ_ModelCycle(const TQ_Registry& registry, TQ_MessageLog& messages, TQ_ProcedureRecords& procedures)
      : registry_(registry), messages_(messages), procedures_(procedures) {}
  TQ_ModelCycle(const TQ_ModelCycle&) = delete;
  TQ_ModelCycle& operator=(const TQ_ModelCycle&) = delete;

  // Each false when the phase failed; the messages say why.
  bool RunAssignments(const TQ_CycleOptions& options);
  bool RunSetDims();
  bool RunSetUpEquations();
  bool RunJacPattern();
  const TQ_HeldVector<TQ_ModelSummary>& Summaries() const { return summaries_; }
  // The running count of declared equations the last SetUpEquations gave.
  int DeclaredRunning() const { return declaredRunning_; }

  // Forgets the last cycle; asks for no memory.
  void Forget() noexcept {
    declaredRunning_ = 0;
    unsized_.clear();
    summaries_.clear();
  }

  // Sets up the pattern arrays for `nonZeros` entries and starts a fresh
  // emission; the cursors point at the start.
  void BeginEmission(std::size_t nonZeros, int*& rows, int*& cols);

 private:
  // The bodies of RunSetDims, RunSetUpEquations and RunJacPattern, which
  // report any failure of the host's own work (memory) as a failed phase.
  bool SizeArrays();
  bool DeclareAll();
  bool EmitAll();
  bool Unsized(const TQ_ModelType* object) const;

  const TQ_Registry& registry_;
  TQ_MessageLog& messages_;
  TQ_ProcedureRecords& procedures_;
  int declaredRunning_ = 0;
  // The objects whose arrays the last RunSetDims found too large to hold:
  // their equations are neither declared nor emitted.
  TQ_HeldSet<const TQ_ModelType*> unsized_;
  TQ_HeldVector<TQ_ModelSummary> summaries_;
};
