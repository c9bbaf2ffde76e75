// The executive: holds the problem's objects, runs the model cycle
// (ExecuteAssignments, SetDims, SetUpEquations, JacPattern), keeps what the
// models declare and emit, and reads it back for tests and tools.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tq_links.h"
#include "tq_matrix.h"

// One item of an equation program, in prefix order.
struct TQ_ProgramItem {
  enum Kind : std::uint8_t { Op, Integer, Real, Term };
  Kind kind;
  std::int32_t code;  // the operator code, or the integer constant
  union {
    double real;
    TQ_VarParam* term;
  };
};

// An equation as SetUpEquations declared it.
struct TQ_DeclaredEquation {
  const TQ_ModelType* owner;
  std::int32_t group;
  std::uint32_t firstNonZero;  // into DeclaredNonZeros()
  std::uint32_t nonZeroCount;
};

// An equation as JacPattern emitted it.
struct TQ_EmittedEquation {
  const TQ_ModelType* owner;
  std::uint32_t name;          // into the name table
  std::int32_t group;
  std::uint32_t firstItem;     // into Items()
  std::uint32_t itemCount;
  const TQ_EquationType* type; // null for plain equations
};

// The program of a procedure's output equation, as AddProcExpression gave it.
struct TQ_ProcExpression {
  const TQ_ModelType* owner;
  const TQ_ProcedureType* procedure;
  std::int32_t number;   // the equation's number within the procedure call
  std::int32_t row;      // the equation's index
  std::uint32_t name;    // into the name table
};

// A procedure call a model registered after its output equations.
struct TQ_ProcCall {
  const TQ_ModelType* owner;
  const TQ_ProcedureType* procedure;  // null for a call without outputs
  std::int32_t group;
};

// One value the library handed to the host, for tests.
struct TQ_LogEntry {
  enum Kind : std::uint8_t { Assignment, IndexSet };
  Kind kind;
  const TQ_Containable* target;
  TQ_Value value;
  int sweep;               // index sets only
  TQ_AssignStatus status;
};

// What one model contributed in the last cycle.
struct TQ_ModelSummary {
  const TQ_ModelType* model;
  int firstDeclared;     // index of its first declared equation
  int declaredCount;
  int firstEmitted;
  int emittedCount;
  int firstGroup;        // m_stLastGroup before its SetUpEquations
  int lastGroup;         // m_stLastGroup after it
};

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
  struct CycleOptions {
    int level = 10;
    unsigned pass = 1;
  };
  // Runs the four phases over every object, in the order the objects were
  // added. False when a phase failed; Errors() says why.
  bool RunCycle(const CycleOptions& options);
  bool RunCycle() { return RunCycle(CycleOptions()); }
  bool RunAssignments(const CycleOptions& options);
  bool RunSetDims();
  bool RunSetUpEquations();
  bool RunJacPattern();
  const std::vector<TQ_ModelSummary>& Summaries() const;

  // ---- what the models declared and emitted ------------------------------
  const std::vector<TQ_DeclaredEquation>& Declared() const;
  const std::vector<TQ_VarParam*>& DeclaredNonZeros() const;
  const std::vector<TQ_EmittedEquation>& Emitted() const;
  const std::vector<TQ_ProgramItem>& Items() const;
  const char* EquationName(const TQ_EmittedEquation& equation) const;
  // Procedure programs and calls, in the order given.
  const std::vector<TQ_ProcExpression>& ProcExpressions() const;
  const std::vector<TQ_ProcCall>& ProcCalls() const;
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

  // ---- the record of values handed over ----------------------------------
  void EnableLog(bool on);
  bool LogEnabled() const;
  const std::vector<TQ_LogEntry>& Log() const;
  void ClearLog();

  // ---- results tests may set ---------------------------------------------
  // What the host's own SetUpEquations, JacPattern, SetLocalEqnCount and
  // ExecuteAssignments answer; unset gives the running values (and 0).
  void SetRootSetUpResult(std::optional<int> result);
  void SetRootJacResult(std::optional<int> result);
  void SetLocalEqnCountResult(std::optional<int> result);
  void SetRootAssignmentStatus(long status);

  // ---- calls from the object model (not for general use) -----------------
  int RootSetUpEquations() const;
  int RootJacPattern() const;
  int LocalEqnCount(const TQ_ModelType* model, int count);
  void DeclareEquation(const TQ_ModelType* model, int group);
  void DeclareNonZero(const TQ_ModelType* model, TQ_VarParam& term);
  void EmitEquation(const TQ_ModelType* model, const char* name, int& count, int group,
                    const TQ_EquationType* type);
  void EmitOp(const TQ_ModelType* model, int op, int equation);
  void EmitInteger(const TQ_ModelType* model, int value, int equation);
  void EmitReal(const TQ_ModelType* model, double value, int equation);
  void EmitTerm(const TQ_ModelType* model, TQ_VarParam& term, int*& rows, int*& cols,
                int equation);
  void ResetExpressionsOf(const TQ_ModelType* model);
  // Takes over the type object of the equation the model just emitted; it is
  // released with the model's expressions.
  void AdoptEquationType(const TQ_ModelType* model, TQ_EquationType* type);
  void EmitProcExpression(const TQ_ModelType* model, const TQ_ProcedureType* procedure, int number,
                          int row, const char* name);
  void EmitProcCall(const TQ_ModelType* model, const TQ_ProcedureType* procedure, int group);
  long RootAssignmentStatus() const;
  void LogAssignment(const TQ_Containable* target, const TQ_Value& value, TQ_AssignStatus status);
  void LogIndexSet(const TQ_Containable* target, const TQ_Value& value, int sweep, TQ_AssignStatus status);
  // Sets up the pattern arrays for `nonZeros` entries and starts a fresh
  // emission; the cursors point at the start.
  void BeginEmission(std::size_t nonZeros, int*& rows, int*& cols);

  TQ_Executive(const TQ_Executive&) = delete;
  TQ_Executive& operator=(const TQ_Executive&) = delete;

 private:
  TQ_Executive();
  ~TQ_Executive();
  // The bodies of RunSetDims, RunSetUpEquations and RunJacPattern, which
  // report any failure of the host's own work (memory) as a failed phase.
  bool SizeArrays();
  bool DeclareAll();
  bool EmitAll();
  // True when `equation` is the one `model` is emitting; else reports it.
  bool IsBeingEmitted(const TQ_ModelType* model, int equation);
  // True when an item for `equation` from `caller` (a model or its
  // expression interface) goes straight into the open equation: it is the
  // one being emitted, by the caller, and there is room.
  template <typename Caller>
  static bool AppendsInPlace(const Caller* caller, int equation);
  // The pattern entry of a term just appended, through the cursors.
  void RecordNonZero(const TQ_ModelType* model, TQ_VarParam& term, int*& rows, int*& cols, int equation);

  // The per-item calls, for the models' calls and the public ones alike. The
  // common case is inlined; the Checked variants take everything else
  // (making the executive, refusals, growing).
  friend class TQ_ModelType;
  friend class TQ_ModelExtensions;
  static void DeclareEquationFrom(const TQ_ModelType* model, int group);
  static void DeclareNonZeroFrom(const TQ_ModelType* model, TQ_VarParam& term);
  static void EmitEquationFrom(const TQ_ModelType* model, const char* name, int& count, int group,
                               const TQ_EquationType* type);
  template <typename Caller>
  static void AppendItemFrom(const Caller* caller, std::int32_t code, int equation, TQ_ProgramItem::Kind kind,
                             double real);
  template <typename Caller>
  static void EmitTermFrom(const Caller* caller, TQ_VarParam& term, int*& rows, int*& cols, int equation);
  static void DeclareEquationChecked(const TQ_ModelType* model, int group);
  static void DeclareNonZeroChecked(const TQ_ModelType* model, TQ_VarParam& term);
  static void EmitEquationChecked(const TQ_ModelType* model, const char* name, int& count, int group,
                                  const TQ_EquationType* type);
  static void RenameOpenEquation(const char* name);
  // Appends an item to the open equation, making room when needed; false
  // (with a message) when `equation` is not the equation being emitted by
  // `model`.
  static bool AppendItemChecked(const TQ_ModelType* model, int equation, TQ_ProgramItem item);
  static void AppendValueChecked(const TQ_ModelType* model, std::int32_t code, int equation, TQ_ProgramItem::Kind kind,
                                 double real);
  static void AppendValueChecked(const TQ_ModelExtensions* expressions, std::int32_t code, int equation,
                                 TQ_ProgramItem::Kind kind, double real);
  // True when the term's item went in (its non-zero may still be refused).
  static bool EmitTermChecked(const TQ_ModelType* model, TQ_VarParam& term, int*& rows, int*& cols, int equation);
  static void EmitTermChecked(const TQ_ModelExtensions* expressions, TQ_VarParam& term, int*& rows, int*& cols,
                              int equation);
  // The expression interface an item just came through, for the next items
  // of its model; and one about to be destroyed, forgotten.
  static void RememberExpressions(const TQ_ModelExtensions* expressions);
  static void ForgetExpressions(const TQ_ModelExtensions* expressions);
  // Makes the one executive.
  static void Create();
  struct Impl;
  Impl* m;
};
