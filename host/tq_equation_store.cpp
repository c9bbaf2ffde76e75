// The equation store: the item state and the per-item calls that work on it, the emission and
// the declaration as they begin, and the models' calls into the executive.
#include "tq_equation_store.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

#include "tq_equation_items.h"
#include "tq_executive.h"

using namespace tq_equation_items;

namespace {
// Never destroyed, like the executive: objects the host holds may outlive
// static destruction.
union ItemStateHolder {
  ItemState state;
  constexpr ItemStateHolder() : state() {}
  ~ItemStateHolder() {}
};
constinit ItemStateHolder g_itemState;

[[gnu::always_inline]] inline ItemState& State() { return g_itemState.state; }
}  // namespace

ItemState& tq_equation_items::TheItemState() { return State(); }

namespace {
// The refusals of the per-item calls, kept out of the calls' own code: the
// messages are built only when needed.
[[gnu::cold, gnu::noinline]] void RefuseNonZero(TQ_Executive& host,
                                                const TQ_ModelType* model,
                                                const TQ_VarParam& term) {
  host.ReportError(host.PathOf(model) + ": non-zero " + host.PathOf(&term) + " declared outside any equation");
}

[[gnu::cold, gnu::noinline]] void RefuseItem(TQ_Executive& host, const TQ_ModelType* model, int equation) {
  host.ReportError(host.PathOf(model) + ": program item for equation " + std::to_string(equation) +
                   ", which is not the equation being emitted");
}

// The entry of `array` (of `size` entries) that `cursor` stands at, `size`
// for one past the end, -1 for a cursor outside the array. An empty array
// may have no storage at all: a cursor equal to its start is at entry 0.
std::ptrdiff_t CursorIndex(const int* cursor, const int* array, std::size_t size) {
  if (cursor == array) return 0;
  if (cursor == nullptr || array == nullptr) return -1;
  std::less_equal<const int*> notAfter;
  if (!notAfter(array, cursor) || !notAfter(cursor, array + size)) return -1;
  return cursor - array;
}

// A term whose cursors do not stand at one entry inside the pattern arrays:
// cursors outside them, or both at the end (one term more than declared).
[[gnu::cold, gnu::noinline]] void RefuseCursors(TQ_Executive& host,
                                                const TQ_ModelType* model,
                                                const TQ_VarParam& term,
                                                int equation,
                                                const int* rows,
                                                const int* cols,
                                                const std::vector<int>& rowArray,
                                                const std::vector<int>& colArray) {
  const std::size_t size = rowArray.size();
  const std::ptrdiff_t r = CursorIndex(rows, rowArray.data(), size);
  const std::ptrdiff_t c = CursorIndex(cols, colArray.data(), colArray.size());
  if (r >= 0 && r == c && static_cast<std::size_t>(r) == size) {
    host.ReportError(host.PathOf(model) + ": equation " + std::to_string(equation) + " term " + host.PathOf(&term) +
                     " would write past the " + std::to_string(size) + " declared non-zeros; refused");
  } else {
    host.ReportError(host.PathOf(model) + ": pattern cursors of equation " + std::to_string(equation) +
                     " do not point into the host's pattern arrays");
  }
}

TQ_ProgramItem MakeItem(TQ_ProgramItem::Kind kind, std::int32_t code, double real) {
  TQ_ProgramItem item{};
  item.kind = kind;
  item.code = code;
  item.real = real;
  return item;
}

TQ_ProgramItem TermItem(TQ_VarParam& term) {
  TQ_ProgramItem item = MakeItem(TQ_ProgramItem::Term, 0, 0.0);
  item.term = &term;
  return item;
}
}  // namespace

// ---- the per-item calls ------------------------------------------------------------------
//
// Each runs once per declared equation or non-zero, or per program item. The
// common case (the item belongs where it goes, there is room) is inlined into
// the calls, tests and stores only, on the item state; anything else (the
// first use, a refusal, growing) is the Checked variant, a call of its own the
// common case ends with.

[[gnu::noinline]] void TQ_EquationStore::DeclareEquationChecked(const TQ_ModelType* model, int group) {
  TQ_Executive::Instance();
  ItemState::MakeRoom(State().declared);
  State().OpenDeclaration(model, group);
}

[[gnu::always_inline]] inline void TQ_EquationStore::DeclareEquationFrom(const TQ_ModelType* model, int group) {
  ItemState& state = State();
  if (state.declared.size() == state.declared.capacity()) [[unlikely]]
    return DeclareEquationChecked(model, group);
  if (state.declared.size() == state.declared.capacity()) __builtin_unreachable();
  state.OpenDeclaration(model, group);
}

// Non-zeros go to the last declaration, when it is the model's own.
[[gnu::noinline]] void TQ_EquationStore::DeclareNonZeroChecked(const TQ_ModelType* model, TQ_VarParam& term) {
  TQ_Executive& host = TQ_Executive::Instance();
  ItemState& state = State();
  if (model != state.declaringOwner) return RefuseNonZero(host, model, term);
  ItemState::MakeRoom(state.declaredNonZeros);
  state.declaredNonZeros.push_back(&term);
}

[[gnu::always_inline]] inline void TQ_EquationStore::DeclareNonZeroFrom(const TQ_ModelType* model, TQ_VarParam& term) {
  ItemState& state = State();
  std::vector<TQ_VarParam*>& terms = state.declaredNonZeros;
  if (model != state.declaringOwner || terms.size() == terms.capacity()) [[unlikely]]
    return DeclareNonZeroChecked(model, term);
  if (terms.size() == terms.capacity()) __builtin_unreachable();
  terms.push_back(&term);
}

[[gnu::noinline]] void TQ_EquationStore::EmitEquationChecked(
    const TQ_ModelType* model, const char* name, int& count, int group, const TQ_EquationType* type) {
  const std::uint32_t id = TQ_Executive::Instance().Store().InternName(name);
  ItemState::MakeRoom(State().emitted);
  State().OpenEquation(model, id, count, group, type);
  if (model != State().lastEmitter) NoteEmitter(model);
}

// The equation just opened under the name its text's address had last time
// takes the name of the text it has now.
[[gnu::noinline]] void TQ_EquationStore::RenameOpenEquation(const char* name) {
  const std::uint32_t id = TQ_Executive::Instance().Store().InternName(name);
  State().emitted.back().name = id;
}

// The common case: there is room, and the name's address was seen. The
// equation opens under the name the address had, and the text is compared
// last, with only the text to keep across the comparison: a text that has
// changed renames the equation.
[[gnu::always_inline]] inline void TQ_EquationStore::EmitEquationFrom(
    const TQ_ModelType* model, const char* name, int& count, int group, const TQ_EquationType* type) {
  ItemState& state = State();
  const ItemState::RecentName& recent = state.RecentSlot(name);
  if (recent.text != name || state.emitted.size() == state.emitted.capacity()) [[unlikely]]
    return EmitEquationChecked(model, name, count, group, type);
  if (state.emitted.size() == state.emitted.capacity()) __builtin_unreachable();
  const char* const stored = recent.stored;
  state.OpenEquation(model, recent.id, count, group, type);
  if (model != state.lastEmitter) [[unlikely]]
    NoteEmitter(model);
  if (std::strcmp(stored, name) != 0) [[unlikely]]
    RenameOpenEquation(name);
}

// A model opens an equation after another model's: it is one of the emitters. Should the set
// not take it for want of memory, the emitters are no longer known (forgetting a model's
// equations then looks through them all) and the failure goes to the caller, as any other of
// the store's.
[[gnu::noinline]] void TQ_EquationStore::NoteEmitter(const TQ_ModelType* model) {
  TQ_EquationStore& store = TQ_Executive::Instance().Store();
  if (store.emittersKnown_) {
    try {
      store.emitters_.insert(model);
    } catch (...) {
      store.emittersKnown_ = false;
      throw;
    }
  }
  State().lastEmitter = model;
}

// Items belong to the equation being emitted, by the model emitting it (a
// null model never is: the open equation's owner is never null).
bool TQ_EquationStore::IsBeingEmitted(const TQ_ModelType* model, int equation) {
  if (equation != State().openIndex || model != State().openOwner) [[unlikely]] {
    RefuseItem(TQ_Executive::Instance(), model, equation);
    return false;
  }
  return true;
}

// Appends a program item to the open equation, making room first when there
// is none; false when the item is refused.
[[gnu::noinline]] bool TQ_EquationStore::AppendItemChecked(const TQ_ModelType* model,
                                                           int equation,
                                                           TQ_ProgramItem item) {
  if (!IsBeingEmitted(model, equation)) return false;
  ItemState& state = State();
  if (state.items.size() == state.items.capacity()) state.GrowItems();
  state.AppendItem(item);
  return true;
}

namespace {
// What a caller of the item calls is compared with: the open equation's
// expression interface for an interface.
[[gnu::always_inline]] inline const void* OpenKey(const TQ_ModelExtensions*) { return State().openExpressions; }
}  // namespace

// True when an item for `equation` from `caller` goes straight into the open
// equation: it is the one being emitted, by the caller, and there is room.
template <typename Caller>
[[gnu::always_inline]] inline bool TQ_EquationStore::AppendsInPlace(const Caller* caller, int equation) {
  const ItemState& state = State();
  return equation == state.openIndex && caller == OpenKey(caller) && state.items.size() != state.items.capacity();
}

// An item from an expression interface went in: its model emits the open
// equation, and the next equations the model opens know the interface.
void TQ_EquationStore::RememberExpressions(const TQ_ModelExtensions* expressions) {
  ItemState& state = State();
  state.knownExpressions = expressions;
  state.knownExpressionsModel = expressions->m_model;
  state.openExpressions = expressions;
}

void TQ_EquationStore::ForgetExpressions(const TQ_ModelExtensions* expressions) {
  ItemState& state = State();
  if (state.knownExpressions == expressions) state.knownExpressions = state.knownExpressionsModel = kNoModel;
  if (state.openExpressions == expressions) state.openExpressions = kNoModel;
}

// The same for an operator or constant, taking its parts in the order the
// models' calls have them, so that their common case hands its arguments on
// as they stand.
[[gnu::noinline]] void TQ_EquationStore::AppendValueChecked(
    const TQ_ModelExtensions* expressions, std::int32_t code, int equation, TQ_ProgramItem::Kind kind, double real) {
  if (AppendItemChecked(expressions->m_model, equation, MakeItem(kind, code, real))) RememberExpressions(expressions);
}

template <typename Caller>
[[gnu::always_inline]] inline void TQ_EquationStore::AppendItemFrom(
    const Caller* caller, std::int32_t code, int equation, TQ_ProgramItem::Kind kind, double real) {
  if (!AppendsInPlace(caller, equation)) [[unlikely]]
    return AppendValueChecked(caller, code, equation, kind, real);
  State().AppendItem(MakeItem(kind, code, real));
}

// The non-zero of a term just appended goes into the pattern only through
// cursors that stand inside the host's arrays, at the same entry of both.
// Entries passed over are set to -1 first.
void TQ_EquationStore::RecordNonZero(
    const TQ_ModelType* model, TQ_VarParam& term, int*& rows, int*& cols, int equation) {
  ItemState& state = State();
  const std::ptrdiff_t entry = state.CursorEntry(rows, cols);
  if (entry < 0) {
    RefuseCursors(TQ_Executive::Instance(), model, term, equation, rows, cols, state.rows, state.cols);
    return;
  }
  // Entries up to this one are filled (counting as set to -1), then this one
  // counts as written.
  state.FillPattern(static_cast<std::size_t>(entry) + 1);
  ++state.writtenBesides;
  *rows++ = equation;
  *cols++ = term.Column();
}

// A term: the item first (refused, or after making room), then its non-zero.
// True when the item went in.
[[gnu::noinline]] bool TQ_EquationStore::EmitTermChecked(
    const TQ_ModelType* model, TQ_VarParam& term, int*& rows, int*& cols, int equation) {
  if (!AppendItemChecked(model, equation, TermItem(term))) return false;
  RecordNonZero(model, term, rows, cols, equation);
  return true;
}
[[gnu::noinline]] void TQ_EquationStore::EmitTermChecked(
    const TQ_ModelExtensions* expressions, TQ_VarParam& term, int*& rows, int*& cols, int equation) {
  if (EmitTermChecked(expressions->m_model, term, rows, cols, equation)) RememberExpressions(expressions);
}

// The common case of a term also has its cursors at the next entry of the
// pattern arrays.
template <typename Caller>
[[gnu::always_inline]] inline void TQ_EquationStore::EmitTermFrom(
    const Caller* caller, TQ_VarParam& term, int*& rows, int*& cols, int equation) {
  ItemState& state = State();
  // The cursors and the column are read before anything is written: a write
  // through one cursor could otherwise change what the others read.
  int* const row = rows;
  int* const col = cols;
  if (!AppendsInPlace(caller, equation) || !state.CursorsAtNext(row, col)) [[unlikely]] {
    EmitTermChecked(caller, term, rows, cols, equation);
    return;
  }
  const int column = term.Column();
  state.AppendItem(TermItem(term));
  *row = equation;
  *col = column;
  rows = state.nextRow = row + 1;
  cols = state.nextCol = col + 1;
}

void TQ_EquationStore::DeclareEquation(const TQ_ModelType* model, int group) { DeclareEquationFrom(model, group); }
void TQ_EquationStore::DeclareNonZero(const TQ_ModelType* model, TQ_VarParam& term) { DeclareNonZeroFrom(model, term); }
void TQ_EquationStore::EmitEquation(
    const TQ_ModelType* model, const char* name, int& count, int group, const TQ_EquationType* type) {
  EmitEquationFrom(model, name, count, group, type);
}

// A model that emitted nothing since the emission began has nothing to forget: the usual case,
// a model that resets its expressions as its JacPattern starts, costs one look-up. Otherwise its
// equations are taken out: at the end of the store (the model emitted last) by cutting it short,
// elsewhere by moving the others' equations and items up.
void TQ_EquationStore::ResetExpressionsOf(const TQ_ModelType* model) {
  TQ_EquationStore& store = TQ_Executive::Instance().Store();
  if (store.emittersKnown_ && store.emitters_.find(model) == store.emitters_.end()) return;
  ItemState& state = State();
  state.SettleItemCount();
  std::size_t kept = 0;
  std::size_t keptItems = 0;
  bool any = false;
  for (std::size_t e = 0; e < state.emitted.size(); ++e) {
    const TQ_EmittedEquation equation = state.emitted[e];
    if (equation.owner == model) {
      any = true;
      continue;
    }
    if (any) {
      std::copy_n(state.items.begin() + equation.firstItem, equation.itemCount, state.items.begin() + keptItems);
      state.emitted[kept] = equation;
      state.emitted[kept].firstItem = static_cast<std::uint32_t>(keptItems);
    }
    ++kept;
    keptItems += equation.itemCount;
  }
  if (store.emittersKnown_) store.emitters_.erase(model);
  if (!any) return;
  state.emitted.resize(kept);
  state.items.resize(keptItems);
  state.itemCountsFrom = state.emitted.size();  // each kept count is written
  state.lastEmitter = kNoModel;
  state.CloseEquation();
}

void TQ_EquationStore::BeginEmission(std::size_t nonZeros, int*& rows, int*& cols) {
  ItemState& state = State();
  TQ_EquationStore& store = TQ_Executive::Instance().Store();
  store.emitters_.clear();
  store.emittersKnown_ = true;
  state.lastEmitter = kNoModel;
  state.emitted.clear();
  state.itemCountsFrom = 0;
  state.items.clear();
  state.CloseEquation();
  try {
    ItemState::Reserve(state.emitted, state.declared.size());
    ItemState::Reserve(state.items, nonZeros * kFirstItemsPerNonZero + 16);
    // Sized only: entries are set to -1 as the terms pass them or when read.
    ItemState::Reserve(state.rows, nonZeros);
    ItemState::Reserve(state.cols, nonZeros);
    state.rows.resize(nonZeros);
    state.cols.resize(nonZeros);
  } catch (...) {
    // No pattern arrays rather than two that differ, with cursors into
    // memory one of them has left.
    state.rows.clear();
    state.cols.clear();
    state.nextRow = state.rows.data();
    state.nextCol = state.cols.data();
    state.writtenBesides = 0;
    throw;
  }
  state.nextRow = state.rows.data();
  state.nextCol = state.cols.data();
  state.writtenBesides = 0;
  rows = state.rows.data();
  cols = state.cols.data();
}

void TQ_EquationStore::ClearContents() {
  State().Uncount();
  State() = ItemState();
}

void TQ_EquationStore::BeginDeclaration() {
  ItemState& state = State();
  state.declared.clear();
  state.nonZeroCountsFrom = 0;
  state.declaredNonZeros.clear();
  state.declaringOwner = kNoModel;
}

// ---- the models' calls into the executive -------------------------------------------------
//
// Defined here, beside the executive's own code: they run once per declared
// equation or non-zero, or per program item, and are flattened: the common
// case is one piece of code without calls, on the item state.

[[gnu::flatten]] void TQ_ModelType::SetGroupLimits(int group) { TQ_EquationStore::DeclareEquationFrom(this, group); }
[[gnu::flatten]] void TQ_ModelType::AddNonZero(TQ_VarParam& term) { TQ_EquationStore::DeclareNonZeroFrom(this, term); }
[[gnu::flatten]] void TQ_ModelType::AddEquation(const char* name, int& count, int group) {
  TQ_EquationStore::EmitEquationFrom(this, name, count, group, nullptr);
}

[[gnu::flatten]] void TQ_ModelExtensions::AddOp(EOp op, int equation) {
  TQ_EquationStore::AppendItemFrom(this, op, equation, TQ_ProgramItem::Op, 0.0);
}
[[gnu::flatten]] void TQ_ModelExtensions::AddTerm(double value, int equation) {
  TQ_EquationStore::AppendItemFrom(this, 0, equation, TQ_ProgramItem::Real, value);
}
[[gnu::flatten]] void TQ_ModelExtensions::AddTerm(int value, int equation) {
  TQ_EquationStore::AppendItemFrom(this, value, equation, TQ_ProgramItem::Integer, 0.0);
}
[[gnu::flatten]] void TQ_ModelExtensions::AddTerm(TQ_VarParam& term, int*& rows, int*& cols, int equation) {
  TQ_EquationStore::EmitTermFrom(this, term, rows, cols, equation);
}
