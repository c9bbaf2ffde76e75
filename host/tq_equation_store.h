// The equation store: what the models declare in SetUpEquations (equations
// and their non-zeros) and emit in JacPattern (named equations with their
// prefix programs, and the Jacobian pattern), the names of the equations, and
// the printer and evaluator of the programs. Part of the executive, which
// owns the store and answers for it; the models reach it through their
// per-item calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "tq_held.h"
#include "tq_object.h"

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
  std::uint32_t name;  // into the name table
  std::int32_t group;
  std::uint32_t firstItem;  // into Items()
  std::uint32_t itemCount;
  const TQ_EquationType* type;  // null for plain equations
};

// The contents of the store (declarations, equations, items, pattern) live in
// one object at a fixed address that the per-item calls reach with one load,
// and are shared by every store object: there is one executive, and so one
// store. A store object holds the name table, which goes with its executive.
class TQ_EquationStore {
 public:
  TQ_EquationStore() = default;
  TQ_EquationStore(const TQ_EquationStore&) = delete;
  TQ_EquationStore& operator=(const TQ_EquationStore&) = delete;

  // Forgets every declaration, equation and pattern entry (not the names).
  static void ClearContents();

  // ---- declaration ---------------------------------------------------------
  // Starts a fresh declaration: forgets the declared equations.
  static void BeginDeclaration();
  static std::size_t DeclaredCount();
  // Opens a declaration, and adds a non-zero to the open one (for tests
  // that drive the store without a model's calls).
  static void DeclareEquation(const TQ_ModelType* model, int group);
  static void DeclareNonZero(const TQ_ModelType* model, TQ_VarParam& term);

  // ---- emission --------------------------------------------------------------
  // Sets up the pattern arrays for `nonZeros` entries and starts a fresh
  // emission; the cursors point at the start.
  static void BeginEmission(std::size_t nonZeros, int*& rows, int*& cols);
  static std::size_t EmittedCount();
  // Opens equation `count` for `model` under `name`, raising the count.
  void EmitEquation(const TQ_ModelType* model, const char* name, int& count, int group, const TQ_EquationType* type);
  // Forgets the equations `model` emitted.
  static void ResetExpressionsOf(const TQ_ModelType* model);
  // True when `equation` is the one `model` is emitting; else reports it.
  static bool IsBeingEmitted(const TQ_ModelType* model, int equation);

  // ---- names -----------------------------------------------------------------
  // The id of a name's text, made when the text is new.
  std::uint32_t InternName(const char* name);
  // The text of a name id; "" for an unknown one.
  const char* Name(std::uint32_t id) const;
  // Forgets every name; asks for no memory.
  void ForgetNames() noexcept;

  // ---- reading ---------------------------------------------------------------
  static const std::vector<TQ_DeclaredEquation>& Declared();
  static const std::vector<TQ_VarParam*>& DeclaredNonZeros();
  static const std::vector<TQ_EmittedEquation>& Emitted();
  static const std::vector<TQ_ProgramItem>& Items();
  static const std::vector<int>& PatternRows();
  static const std::vector<int>& PatternColumns();
  static int PatternEntriesWritten();
  // Memory the store holds, in bytes (programs, names, pattern).
  std::size_t Bytes() const;
  // What the emission of the equations declared so far will still take
  // beyond the room the store holds for it, in bytes.
  static std::int64_t PendingBytes();
  // What the store will take more, in bytes, once a model has declared
  // equations of `nonZeros` more non-zeros and emitted them: the room its
  // declaration grows by (with the old block while the entries move) and
  // what its emission adds to PendingBytes().
  static double AddedBytes(double nonZeros);
  // Compares declared and emitted equations one by one (group, terms in
  // order). True when they agree; else `difference` says where they part.
  bool DeclaredMatchesEmitted(std::string* difference) const;

  // ---- the printer and the evaluator (tq_equation_text.cpp) -------------------
  // The residual as an infix formula appended to `out`; terms are named by
  // path relative to the equation's model ("DDX(3)"), or by full path. A
  // malformed program ends in "  [malformed program]".
  static void AppendInfix(std::string& out, const TQ_EmittedEquation& equation, bool fullPaths);
  // Evaluates the residual. Terms read their current value unless `value`
  // supplies one. `ok` is false for a malformed program or an unknown code.
  static double Evaluate(const TQ_EmittedEquation& equation,
                         const std::function<double(const TQ_VarParam&)>& value,
                         bool* ok);

 private:
  // The per-item calls, for the models' calls and the public ones alike. The
  // common case is inlined; the Checked variants take everything else
  // (making the executive, refusals, growing).
  friend class TQ_ModelType;
  friend class TQ_ModelExtensions;
  // True when an item for `equation` from `caller` (a model or its
  // expression interface) goes straight into the open equation: it is the
  // one being emitted, by the caller, and there is room.
  template <typename Caller>
  static bool AppendsInPlace(const Caller* caller, int equation);
  // The pattern entry of a term just appended, through the cursors.
  static void RecordNonZero(const TQ_ModelType* model, TQ_VarParam& term, int*& rows, int*& cols, int equation);
  static void DeclareEquationFrom(const TQ_ModelType* model, int group);
  static void DeclareNonZeroFrom(const TQ_ModelType* model, TQ_VarParam& term);
  static void EmitEquationFrom(
      const TQ_ModelType* model, const char* name, int& count, int group, const TQ_EquationType* type);
  template <typename Caller>
  static void AppendItemFrom(
      const Caller* caller, std::int32_t code, int equation, TQ_ProgramItem::Kind kind, double real);
  template <typename Caller>
  static void EmitTermFrom(const Caller* caller, TQ_VarParam& term, int*& rows, int*& cols, int equation);
  static void DeclareEquationChecked(const TQ_ModelType* model, int group);
  static void DeclareNonZeroChecked(const TQ_ModelType* model, TQ_VarParam& term);
  static void EmitEquationChecked(
      const TQ_ModelType* model, const char* name, int& count, int group, const TQ_EquationType* type);
  static void RenameOpenEquation(const char* name);
  // Appends an item to the open equation, making room when needed; false
  // (with a message) when `equation` is not the equation being emitted by
  // `model`.
  static bool AppendItemChecked(const TQ_ModelType* model, int equation, TQ_ProgramItem item);
  static void AppendValueChecked(
      const TQ_ModelExtensions* expressions, std::int32_t code, int equation, TQ_ProgramItem::Kind kind, double real);
  // True when the term's item went in (its non-zero may still be refused).
  static bool EmitTermChecked(const TQ_ModelType* model, TQ_VarParam& term, int*& rows, int*& cols, int equation);
  static void EmitTermChecked(
      const TQ_ModelExtensions* expressions, TQ_VarParam& term, int*& rows, int*& cols, int equation);
  // The expression interface an item just came through, for the next items
  // of its model; and one about to be destroyed, forgotten.
  static void RememberExpressions(const TQ_ModelExtensions* expressions);
  static void ForgetExpressions(const TQ_ModelExtensions* expressions);

  // A model opened an equation after another model's (or first); noted among the emitters.
  static void NoteEmitter(const TQ_ModelType* model);

  // The models that opened an equation since the emission began, while known.
  TQ_HeldSet<const TQ_ModelType*> emitters_;
  bool emittersKnown_ = true;

  // Names by id; a deque, so that the text of a name stays where it is.
  std::deque<TQ_HeldString, TQ_HeldAllocator<TQ_HeldString>> names_;
  std::unordered_map<TQ_HeldString,
                     std::uint32_t,
                     TQ_TextHash,
                     TQ_TextEqual,
                     TQ_HeldAllocator<std::pair<const TQ_HeldString, std::uint32_t>>>
      nameIds_;
};
