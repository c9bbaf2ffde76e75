// What the models registered for their procedures while emitting: the
// programs of the procedures' output equations, the calls, and the equation
// type objects the host took over. Part of the executive, which owns the
// records and calls the procedures from them (tq_exec_procedures.cpp).
#pragma once

#include <cstdint>
#include <unordered_set>
#include <utility>
#include <vector>

#include "tq_held.h"
#include "tq_object.h"

// The program of a procedure's output equation, as AddProcExpression gave it.
struct TQ_ProcExpression {
  const TQ_ModelType* owner;
  const TQ_ProcedureType* procedure;
  std::int32_t number;  // the equation's number within the procedure call
  std::int32_t row;     // the equation's index
  std::uint32_t name;   // into the name table
};

// A procedure call a model registered after its output equations.
struct TQ_ProcCall {
  const TQ_ModelType* owner;
  const TQ_ProcedureType* procedure;  // null for a call without outputs
  std::int32_t group;
};

class TQ_ProcedureRecords {
 public:
  TQ_ProcedureRecords() = default;
  TQ_ProcedureRecords(const TQ_ProcedureRecords&) = delete;
  TQ_ProcedureRecords& operator=(const TQ_ProcedureRecords&) = delete;
  ~TQ_ProcedureRecords() { Release(nullptr); }

  const TQ_HeldVector<TQ_ProcExpression>& Expressions() const { return expressions_; }
  const TQ_HeldVector<TQ_ProcCall>& Calls() const { return calls_; }
  void AddExpression(const TQ_ProcExpression& expression);
  void AddCall(const TQ_ProcCall& call);
  // Takes over the type object of an equation `model` emitted.
  void Adopt(const TQ_ModelType* model, TQ_EquationType* type);
  // Releases the type objects and forgets the records of one model, or of
  // every model when `model` is null. A model that has no records costs one
  // look-up.
  void Release(const TQ_ModelType* model);

 private:
  // Notes the owner of a record about to be added (before it is added: a
  // record whose owner could not be noted is not kept).
  void NoteOwner(const TQ_ModelType* model);

  // The models that have records.
  TQ_HeldSet<const TQ_ModelType*> owners_;
  // Counted in what the host holds.
  TQ_HeldVector<TQ_ProcExpression> expressions_;
  TQ_HeldVector<TQ_ProcCall> calls_;
  TQ_HeldVector<std::pair<const TQ_ModelType*, TQ_EquationType*>> adoptedTypes_;
};
