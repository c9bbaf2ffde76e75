// The executive: holds the problem's objects, runs the model cycle
// (ExecuteAssignments, SetDims, SetUpEquations, JacPattern), keeps what the
// models declare and emit, and reads it back for tools. It owns one part per
// concern (tq_registry.h, tq_cycle.h, tq_equation_store.h,
// tq_procedure_records.h, tq_message_log.h) and answers for them; what only
// tests need is in tq_executive_testing.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tq_cycle.h"
#include "tq_equation_store.h"
#include "tq_links.h"
#include "tq_matrix.h"
#include "tq_message_log.h"
#include "tq_procedure_records.h"

class VEKEXP_API TQ_Executive {
 public:
  static TQ_Executive& Instance();

  // Releases every object and forgets everything: a fresh executive.
  void Reset();

  // ---- objects -----------------------------------------------------------
  // Takes over the reference a factory returned. Refused when the name is
  // empty, malformed or taken, or the object is null, or memory runs out; a
  // refused object stays with the caller.
  bool AddObject(const std::string& name, TQ_ModelType* object, std::string* error = nullptr);
  TQ_ModelType* FindObject(const std::string& name) const;
  // Whether an object is named `name`, in the same letter case.
  bool IsObjectName(std::string_view name) const;
  int ObjectCount() const;
  TQ_ModelType* ObjectAt(int index) const;
  const std::string& ObjectNameAt(int index) const;

  // The full path of an object or property: "D.VALUE(3)", "X.SECTION(2).BASE".
  std::string PathOf(const TQ_Containable* item) const;
  // Follows a path from the executive's objects. Virtual properties and links
  // are followed to what they stand for; array elements are found, and made
  // when `create` is set. Null with a message in `error` when the path leads
  // nowhere.
  TQ_Containable* FindByPath(const std::string& path, bool create, std::string* error = nullptr);

  // ---- the model cycle ---------------------------------------------------
  using CycleOptions = TQ_CycleOptions;
  // Runs the four phases over every object, in the order the objects were
  // added. False when a phase failed; Errors() says why.
  bool RunCycle(const CycleOptions& options);
  bool RunCycle() { return RunCycle(CycleOptions()); }
  bool RunAssignments(const CycleOptions& options);
  bool RunSetDims();
  bool RunSetUpEquations();
  bool RunJacPattern();
  const TQ_HeldVector<TQ_ModelSummary>& Summaries() const;

  // ---- what the models declared and emitted ------------------------------
  const std::vector<TQ_DeclaredEquation>& Declared() const;
  const std::vector<TQ_VarParam*>& DeclaredNonZeros() const;
  const std::vector<TQ_EmittedEquation>& Emitted() const;
  const std::vector<TQ_ProgramItem>& Items() const;
  const char* EquationName(const TQ_EmittedEquation& equation) const;
  // Procedure programs and calls, in the order given.
  const TQ_HeldVector<TQ_ProcExpression>& ProcExpressions() const;
  const TQ_HeldVector<TQ_ProcCall>& ProcCalls() const;
  const char* ProcExpressionName(const TQ_ProcExpression& expression) const;
  // The pattern arrays, sized from the declared non-zeros; entries written so
  // far are (row = equation index, column = term column), the others -1.
  const std::vector<int>& PatternRows() const;
  const std::vector<int>& PatternColumns() const;
  int PatternEntriesWritten() const;
  // Memory the equation store holds, in bytes (programs, names, pattern).
  std::size_t StoreBytes() const;

  // Compares declared and emitted equations one by one (group, terms in
  // order). True when they agree; else `difference` says where they part.
  bool DeclaredMatchesEmitted(std::string* difference = nullptr) const;

  // The residual as an infix formula; terms are named by path relative to
  // the equation's model ("DDX(3)"), or by full path. A malformed program
  // ends in "  [malformed program]".
  std::string Infix(const TQ_EmittedEquation& equation, bool fullPaths = false) const;
  // The same text appended to `out`, for a writer that builds its lines in
  // one buffer.
  void AppendInfix(std::string& out, const TQ_EmittedEquation& equation, bool fullPaths = false) const;
  // Evaluates the residual. Terms read their current value unless `value`
  // supplies one. `ok` is false for a malformed program or an unknown code.
  double Evaluate(const TQ_EmittedEquation& equation,
                  const std::function<double(const TQ_VarParam&)>& value = {},
                  bool* ok = nullptr) const;

  // ---- calling the procedures ---------------------------------------------
  // The host's requests to the procedures the models registered with their
  // calls (ProcCalls()), in that order; null calls are passed over. Each
  // procedure writes from the running index into one array, sized by the
  // host: one residual per output value, and for the Jacobian as many
  // entries as its equations have terms. A procedure that advances the
  // index otherwise is reported. The first negative status, else 0.
  int PrecallProcedures(bool flag);
  int ProcedureResiduals(std::vector<double>& residuals);
  int ProcedureJacobian(std::vector<double>& entries);
  // The terms of the equations a procedure's call registered.
  int ProcedureTermCount(const TQ_ProcedureType* procedure) const;

  // ---- messages ----------------------------------------------------------
  // Never fails: a message that cannot be stored for want of memory leaves
  // "out of memory" in its place.
  void ReportError(const std::string& message) noexcept;
  // The same for callers that build their message without std::string (the
  // model library, whose allocation is the host heap's).
  void ReportError(const char* message) noexcept;
  const std::vector<std::string>& Errors() const;
  void ClearErrors();

  // ---- fixes the models cannot honour ----------------------------------------
  // The paths of the properties whose fix the host refused since it was made
  // or last reset: index sets a model computes (InitialiseInternalIndexSet),
  // which the user fixed. Each refusal is also an error.
  const std::vector<std::string>& RefusedFixes() const;

  // ---- calls from the object model (not for general use) -----------------
  int RootSetUpEquations() const;
  int RootJacPattern() const;
  int LocalEqnCount(const TQ_ModelType* model, int count);
  void EmitEquation(const TQ_ModelType* model, const char* name, int& count, int group, const TQ_EquationType* type);
  // Forgets the equations and procedure records of `model`.
  void ResetExpressionsOf(const TQ_ModelType* model);
  // Takes over the type object of the equation the model just emitted; it is
  // released with the model's expressions.
  void AdoptEquationType(const TQ_ModelType* model, TQ_EquationType* type);
  void EmitProcExpression(
      const TQ_ModelType* model, const TQ_ProcedureType* procedure, int number, int row, const char* name);
  void EmitProcCall(const TQ_ModelType* model, const TQ_ProcedureType* procedure, int group);
  long RootAssignmentStatus() const;
  void LogAssignment(const TQ_Containable* target, const TQ_Value& value, TQ_AssignStatus status);
  void LogIndexSet(const TQ_Containable* target, const TQ_Value& value, int sweep, TQ_AssignStatus status);
  // Refuses the fix of `property`, which is unfixed already: `message` is
  // reported and the property's path kept among the refused fixes.
  void RefuseFix(const TQ_Containable* property, const std::string& message) noexcept;
  TQ_Executive(const TQ_Executive&) = delete;
  TQ_Executive& operator=(const TQ_Executive&) = delete;

 private:
  TQ_Executive();
  ~TQ_Executive();
  // The parts, for the store's checked per-item calls and the test hooks.
  friend class TQ_EquationStore;
  friend class TQ_ExecutiveTesting;
  TQ_EquationStore& Store();
  // Makes the one executive.
  static void Create();
  struct Impl;
  Impl* m;
};
