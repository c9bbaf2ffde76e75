// The equation store: the item state the per-item calls work on, the name
// table, and the readers.
#include "tq_equation_store.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

#include "tq_executive.h"
#include "tq_registry.h"

namespace {
// Stands for "no model" where the per-item calls compare the caller with the
// model that may add to the open equation or declaration, and for "no text"
// in the table of recent names: no model and no caller's text, not even a
// null one, is ever at this address.
alignas(16) const char g_noModelMark[16] = {};
constexpr const void* kNoModel = g_noModelMark;

// The entries a new declaration or equation starts from.
constexpr TQ_DeclaredEquation kBlankDeclaration{};
constexpr TQ_EmittedEquation kBlankEquation{};

// The program items an emission first makes room for, per declared non-zero; and the most a
// non-zero takes over the methods and axes (three and a half, with the operators and constants
// of its equation's share), by which the items of equations declared and not yet emitted are
// foreseen until some have been emitted.
constexpr std::size_t kFirstItemsPerNonZero = 2;
constexpr double kItemsPerNonZero = 3.5;

// The room the program items grow to for `projected` items: a sixteenth more, so that equations
// longer than the mean so far rarely make them grow again.
constexpr double ItemRoom(double projected) { return projected + projected / 16 + 64; }

// What the per-item calls read and write: the stores of declared and emitted
// equations, the open declaration and equation, the pattern arrays and the
// recent names. One object at a fixed address, set up before any code runs,
// so that a call reaches each field with one load. Its first state (no room
// in any store, no open declaration or equation, no recent name) sends every
// call down its checked path, which makes the executive: the calls need no
// test of their own for it. The host is called from one thread at a time.
struct ItemState {
  // The equations SetUpEquations declared. Non-zeros go only to the last
  // declaration, so the non-zeros of a declaration run from its first to the
  // next one's first, or to the end for the last one. Its count is written
  // before anyone reads it (SettleNonZeroCount), for the declarations from
  // `nonZeroCountsFrom` on: those made or added to since the last reading.
  std::vector<TQ_DeclaredEquation> declared;
  std::vector<TQ_VarParam*> declaredNonZeros;
  const void* declaringOwner = kNoModel;  // owner of the last declaration
  std::size_t nonZeroCountsFrom = 0;

  // The equations JacPattern emitted. Program items go only to the open
  // equation, which is the last one: their counts are likewise written
  // before anyone reads them (SettleItemCount).
  std::vector<TQ_EmittedEquation> emitted;
  std::vector<TQ_ProgramItem> items;
  int openIndex = -1;                // host index of the equation being emitted
  const void* openOwner = kNoModel;  // the model emitting it
  // The expression interface of the model emitting it, when known: the
  // models' item calls come through it and compare it, not its model, with
  // the open equation's. An interface is known once an item from it went in
  // (its model and it are remembered), and forgotten when it is destroyed.
  const void* openExpressions = kNoModel;
  const void* knownExpressions = kNoModel;
  const void* knownExpressionsModel = kNoModel;
  std::size_t itemCountsFrom = 0;
  // The owner of the last equation opened: a model that opens an equation after another model's
  // is noted among the store's emitters (NoteEmitter), so that forgetting the equations of a
  // model that emitted none costs nothing.
  const void* lastEmitter = kNoModel;

  // The pattern arrays and the entries written. Entries are not set to -1
  // when the arrays are made, but when first needed: the entries before
  // `nextRow` (and `nextCol`, the same entry of the other array) are written
  // or -1, the ones from there on have not been written since the arrays
  // were made and are set to -1 before anyone reads them (FillPattern). A
  // term at exactly that entry, the usual next one, needs no other check.
  // The entries written are those before `nextRow` and `writtenBesides`
  // more: less the entries set to -1, more the ones written again.
  std::vector<int> rows;
  std::vector<int> cols;
  int* nextRow = nullptr;
  int* nextCol = nullptr;
  int writtenBesides = 0;

  int Written() const { return static_cast<int>(nextRow - rows.data()) + writtenBesides; }

  // Names are looked up by their text: a caller may build every name in one
  // buffer. A model usually hands the same few texts over again and again (a
  // table of names, one per kind of equation): a small table remembers, by
  // address, which name a text had, and a hit only compares the text with
  // that name.
  struct RecentName {
    const char* text = g_noModelMark;  // the caller's text
    const char* stored = nullptr;      // the name's own text
    std::uint32_t id = 0;
  };
  static constexpr int kRecentNameBits = 6;
  std::array<RecentName, std::size_t{1} << kRecentNameBits> recentNames{};

  // The slot of a text's address: its top bits after a multiplication, so
  // that texts a few bytes apart (a table of names) land in different slots.
  [[gnu::always_inline]] RecentName& RecentSlot(const char* name) {
    const std::uint64_t address = reinterpret_cast<std::uintptr_t>(name);
    return recentNames[(address * 0x9E3779B97F4A7C15u) >> (64 - kRecentNameBits)];
  }

  // The id of `name` when its address was seen and still holds the same
  // text. A null name matches no slot: no slot holds a null text.
  [[gnu::always_inline]] bool RecentId(const char* name, std::uint32_t& id) {
    const RecentName& recent = RecentSlot(name);
    if (recent.text != name || std::strcmp(recent.stored, name) != 0) return false;
    id = recent.id;
    return true;
  }

  // What the store's vectors hold, counted in what the host holds: every change of their room
  // goes through Reserve, which counts the new block while the entries move to it, then
  // uncounts the old one.
  template <typename Entry>
  static std::int64_t BlockOf(std::size_t entries) {
    return entries == 0 ? 0 : TQ_BlockBytes(entries * sizeof(Entry));
  }
  template <typename Entry>
  static void Reserve(std::vector<Entry>& entries, std::size_t room) {
    if (room <= entries.capacity()) return;
    const std::int64_t before = BlockOf<Entry>(entries.capacity());
    const std::int64_t planned = BlockOf<Entry>(room);
    TQ_CountHeld(planned);
    try {
      entries.reserve(room);
    } catch (...) {
      TQ_CountHeld(-planned);
      throw;
    }
    TQ_CountHeld(BlockOf<Entry>(entries.capacity()) - planned - before);
  }
  // Room for one more entry: twice as much, when there is none.
  template <typename Entry>
  static void MakeRoom(std::vector<Entry>& entries) {
    if (entries.size() == entries.capacity()) Reserve(entries, entries.size() < 32 ? 64 : 2 * entries.size());
  }
  // Uncounts every vector's block, as they are about to go.
  void Uncount() const noexcept {
    TQ_CountHeld(-(BlockOf<TQ_DeclaredEquation>(declared.capacity()) +
                   BlockOf<TQ_VarParam*>(declaredNonZeros.capacity()) + EmissionBytes()));
  }
  // The blocks of the emission's vectors.
  std::int64_t EmissionBytes() const {
    return BlockOf<TQ_EmittedEquation>(emitted.capacity()) + BlockOf<TQ_ProgramItem>(items.capacity()) +
           BlockOf<int>(rows.capacity()) + BlockOf<int>(cols.capacity());
  }

  // Writes the counts of the declarations and of the emitted equations from
  // where they may be stale on. The last of either may be open and stays
  // stale; counting their contents is left to here so that each declaration
  // or equation is its own entry only, and each non-zero or item one store.
  template <typename Entry>
  static void SettleCounts(std::vector<Entry>& entries,
                           std::uint32_t Entry::*first,
                           std::uint32_t Entry::*count,
                           std::size_t contents,
                           std::size_t& from) {
    if (entries.empty()) return;
    for (std::size_t e = from; e + 1 < entries.size(); ++e)
      entries[e].*count = entries[e + 1].*first - entries[e].*first;
    entries.back().*count = static_cast<std::uint32_t>(contents) - entries.back().*first;
    from = entries.size() - 1;
  }
  void SettleNonZeroCount() {
    SettleCounts(declared,
                 &TQ_DeclaredEquation::firstNonZero,
                 &TQ_DeclaredEquation::nonZeroCount,
                 declaredNonZeros.size(),
                 nonZeroCountsFrom);
  }
  void SettleItemCount() {
    SettleCounts(emitted, &TQ_EmittedEquation::firstItem, &TQ_EmittedEquation::itemCount, items.size(), itemCountsFrom);
  }

  // Opens a declaration for `model`; the last one closes.
  [[gnu::always_inline]] void OpenDeclaration(const TQ_ModelType* model, int group) {
    // A blank entry, then its fields: an entry built on the stack and copied
    // would be read back whole from the stores of its parts, which the
    // processor cannot forward to the read.
    declared.push_back(kBlankDeclaration);
    TQ_DeclaredEquation& declaration = declared.back();
    declaration.owner = model;
    declaration.group = group;
    declaration.firstNonZero = static_cast<std::uint32_t>(declaredNonZeros.size());
    declaringOwner = model;
  }

  // Opens equation `count` for `model`, raising the count; the last one
  // closes. Items from no model are refused.
  [[gnu::always_inline]] void OpenEquation(
      const TQ_ModelType* model, std::uint32_t name, int& count, int group, const TQ_EquationType* type) {
    emitted.push_back(kBlankEquation);  // then its fields, as in OpenDeclaration
    TQ_EmittedEquation& equation = emitted.back();
    equation.owner = model;
    equation.name = name;
    equation.group = group;
    equation.firstItem = static_cast<std::uint32_t>(items.size());
    equation.type = type;
    openIndex = count;
    openOwner = model != nullptr ? static_cast<const void*>(model) : kNoModel;
    openExpressions = model == knownExpressionsModel ? knownExpressions : kNoModel;
    ++count;
  }

  // Closes the open equation: items are refused until the next one opens.
  void CloseEquation() {
    SettleItemCount();
    openIndex = -1;
    openOwner = kNoModel;
    openExpressions = kNoModel;
  }

  // Makes room for more program items. While the models emit what they
  // declared, the equations still to come are known: room for them at the
  // mean item count of the equations so far, and a sixteenth more, is asked
  // for at once, rather than doubling (which leaves up to half the store
  // unused and copies it more often). Room grows by a quarter at least, so
  // that equations longer than the mean cost few copies; without a
  // projection (no declarations, or more emitted than declared) it doubles.
  void GrowItems() {
    const std::size_t size = items.size();
    std::size_t room = size < 64 ? 64 : size * 2;
    const std::size_t done = emitted.size();
    if (done >= 16 && declared.size() > done && size >= 64) {
      const double projected =
          static_cast<double>(size) * static_cast<double>(declared.size()) / static_cast<double>(done);
      const double wanted = ItemRoom(projected);
      const std::size_t least = size + size / 4;
      room = wanted >= static_cast<double>(room) ? room : std::max(least, static_cast<std::size_t>(wanted));
    }
    Reserve(items, room);
  }

  // Appends an item to the open equation; the caller has made sure there is
  // room.
  [[gnu::always_inline]] void AppendItem(TQ_ProgramItem item) {
    if (items.size() == items.capacity()) __builtin_unreachable();
    items.push_back(item);
  }

  // True when the cursors stand at the first entry not yet filled, before
  // the arrays' end.
  [[gnu::always_inline]] bool CursorsAtNext(const int* rowCursor, const int* colCursor) const {
    return rowCursor == nextRow && colCursor == nextCol && rowCursor != std::to_address(rows.end());
  }

  // The entry of the pattern arrays at which both cursors stand, before their
  // end; -1 when they stand at none. One unsigned comparison tests the row
  // cursor: its distance from the array's start, rotated so that a distance
  // that is not a whole number of entries becomes huge, is below the number
  // of entries (a cursor before the start, or null, is a huge distance too).
  std::ptrdiff_t CursorEntry(const int* rowCursor, const int* colCursor) const {
    constexpr int kShift = std::countr_zero(sizeof(int));
    const auto address = [](const int* p) { return reinterpret_cast<std::uintptr_t>(p); };
    const std::uintptr_t at = address(rowCursor) - address(rows.data());
    if (address(colCursor) - address(cols.data()) != at || std::rotr(at, kShift) >= rows.size()) return -1;
    return static_cast<std::ptrdiff_t>(at >> kShift);
  }

  // Sets the entries from the first not yet filled up to `end` to -1, and
  // moves the next entry there when it is further on.
  void FillPattern(std::size_t end) {
    const std::size_t from = static_cast<std::size_t>(nextRow - rows.data());
    if (end <= from) return;
    std::fill(rows.begin() + static_cast<std::ptrdiff_t>(from), rows.begin() + static_cast<std::ptrdiff_t>(end), -1);
    std::fill(cols.begin() + static_cast<std::ptrdiff_t>(from), cols.begin() + static_cast<std::ptrdiff_t>(end), -1);
    nextRow = rows.data() + end;
    nextCol = cols.data() + end;
    writtenBesides -= static_cast<int>(end - from);
  }
};

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

namespace {
// The block of `entries` entries of `size` bytes, foreseen in real numbers: the counts foreseen
// may pass what a size_t holds on a 32-bit host.
double Foreseen(double entries, std::size_t size) {
  return entries > 0.0 ? static_cast<double>(TQ_BlockBytes(0)) + entries * static_cast<double>(size) : 0.0;
}

// What the emission of `declared` equations of `nonZeros` non-zeros will take beyond the room the
// store holds for emission now: the pattern arrays, the equations and their program items (at the
// mean length of the equations emitted so far, or kItemsPerNonZero a non-zero before sixteen
// were), with the items' first block while the items still have to move to a larger one.
double EmissionPending(const ItemState& state, double nonZeros, double declared) {
  const auto emitted = static_cast<double>(state.emitted.size());
  if (declared <= 0.0) return 0.0;
  double items = nonZeros * kItemsPerNonZero;
  if (emitted >= declared)
    items = static_cast<double>(state.items.size());
  else if (emitted >= 16.0)
    items = static_cast<double>(state.items.size()) * declared / emitted;
  if (emitted < declared) items = ItemRoom(items);
  double wanted = 2.0 * Foreseen(nonZeros, sizeof(int)) + Foreseen(declared, sizeof(TQ_EmittedEquation)) +
                  Foreseen(items, sizeof(TQ_ProgramItem));
  const double room = static_cast<double>(state.items.capacity());
  const double first = nonZeros * static_cast<double>(kFirstItemsPerNonZero) + 16.0;
  if (room < items && first < items) wanted += Foreseen(std::max(first, room), sizeof(TQ_ProgramItem));
  const auto held = static_cast<double>(state.EmissionBytes());
  return wanted > held ? wanted - held : 0.0;
}

// What `entries` more entries of a declaration vector take: the room it grows to (MakeRoom's
// doubling) beyond its room now; its present block is held too while the entries move.
template <typename Entry>
double DeclarationGrowth(const std::vector<Entry>& vector, double entries) {
  const double needed = static_cast<double>(vector.size()) + entries;
  double room = static_cast<double>(vector.capacity());
  if (needed <= room) return 0.0;
  while (room < needed) room = room < 32.0 ? 64.0 : 2.0 * room;
  return Foreseen(room, sizeof(Entry));
}
}  // namespace

std::int64_t TQ_EquationStore::PendingBytes() {
  const ItemState& state = State();
  return static_cast<std::int64_t>(EmissionPending(
      state, static_cast<double>(state.declaredNonZeros.size()), static_cast<double>(state.declared.size())));
}

// The equations come at the rate of those declared so far, or one for every two non-zeros before
// any (more than any method declares: their terms with the element's length make two at least).
double TQ_EquationStore::AddedBytes(double nonZeros) {
  if (!(nonZeros > 0.0)) return 0.0;
  if (!std::isfinite(nonZeros)) return nonZeros;
  const ItemState& state = State();
  const auto nonZerosNow = static_cast<double>(state.declaredNonZeros.size());
  const auto declaredNow = static_cast<double>(state.declared.size());
  const double equations = nonZerosNow > 0.0 ? nonZeros * declaredNow / nonZerosNow + 1.0 : nonZeros * 0.5 + 1.0;
  return DeclarationGrowth(state.declaredNonZeros, nonZeros) + DeclarationGrowth(state.declared, equations) +
         EmissionPending(state, nonZerosNow + nonZeros, declaredNow + equations) -
         EmissionPending(state, nonZerosNow, declaredNow);
}

std::size_t TQ_EquationStore::DeclaredCount() { return State().declared.size(); }
std::size_t TQ_EquationStore::EmittedCount() { return State().emitted.size(); }

// ---- names ------------------------------------------------------------------------------

// The text is remembered as recent.
std::uint32_t TQ_EquationStore::InternName(const char* name) {
  if (name == nullptr) name = "";
  ItemState& state = State();
  std::uint32_t id = 0;
  if (state.RecentId(name, id)) return id;
  if (auto it = nameIds_.find(std::string_view(name)); it != nameIds_.end()) {
    id = it->second;
  } else {
    id = static_cast<std::uint32_t>(names_.size());
    names_.emplace_back(name);
    nameIds_.emplace(names_.back(), id);
  }
  state.RecentSlot(name) = ItemState::RecentName{name, names_[id].c_str(), id};
  return id;
}

const char* TQ_EquationStore::Name(std::uint32_t id) const { return id < names_.size() ? names_[id].c_str() : ""; }

void TQ_EquationStore::ForgetNames() noexcept {
  names_.clear();
  nameIds_.clear();
}

// ---- the stores ---------------------------------------------------------------------

// The readers write the counts of the declarations and equations made since
// the last reading first: items or non-zeros may have been added since (the
// item state is not part of the executive's constant state).
const std::vector<TQ_DeclaredEquation>& TQ_EquationStore::Declared() {
  State().SettleNonZeroCount();
  return State().declared;
}
const std::vector<TQ_VarParam*>& TQ_EquationStore::DeclaredNonZeros() { return State().declaredNonZeros; }
const std::vector<TQ_EmittedEquation>& TQ_EquationStore::Emitted() {
  State().SettleItemCount();
  return State().emitted;
}
const std::vector<TQ_ProgramItem>& TQ_EquationStore::Items() { return State().items; }
// The readers set the entries not written yet to -1 first.
const std::vector<int>& TQ_EquationStore::PatternRows() {
  State().FillPattern(State().rows.size());
  return State().rows;
}
const std::vector<int>& TQ_EquationStore::PatternColumns() {
  State().FillPattern(State().cols.size());
  return State().cols;
}
int TQ_EquationStore::PatternEntriesWritten() { return State().Written(); }

std::size_t TQ_EquationStore::Bytes() const {
  ItemState& state = State();
  std::size_t bytes = state.items.capacity() * sizeof(TQ_ProgramItem) +
                      state.emitted.capacity() * sizeof(TQ_EmittedEquation) +
                      state.declared.capacity() * sizeof(TQ_DeclaredEquation) +
                      state.declaredNonZeros.capacity() * sizeof(TQ_VarParam*) +
                      (state.rows.capacity() + state.cols.capacity()) * sizeof(int);
  for (const TQ_HeldString& name : names_) bytes += name.capacity() + sizeof(TQ_HeldString) + 16;
  return bytes;
}

bool TQ_EquationStore::DeclaredMatchesEmitted(std::string* difference) const {
  ItemState& state = State();
  auto differ = [&](const std::string& why) {
    if (difference) *difference = why;
    return false;
  };
  state.SettleNonZeroCount();
  state.SettleItemCount();
  if (state.declared.size() != state.emitted.size())
    return differ(std::to_string(state.declared.size()) + " equations declared, " +
                  std::to_string(state.emitted.size()) + " emitted");
  // The equation's name goes into a message only when it parts.
  const auto where = [&](std::size_t e) {
    return "equation " + std::to_string(e) + " (" + Name(state.emitted[e].name) + ")";
  };
  for (std::size_t e = 0; e < state.declared.size(); ++e) {
    const TQ_DeclaredEquation& d = state.declared[e];
    const TQ_EmittedEquation& x = state.emitted[e];
    if (d.owner != x.owner) return differ(where(e) + ": declared and emitted by different models");
    if (d.group != x.group)
      return differ(where(e) + ": group declared " + std::to_string(d.group) + ", emitted " + std::to_string(x.group));
    // The terms in program order against the declared non-zeros in theirs.
    std::size_t terms = 0;
    for (std::uint32_t i = 0; i < x.itemCount; ++i) {
      const TQ_ProgramItem& item = state.items[x.firstItem + i];
      if (item.kind != TQ_ProgramItem::Term) continue;
      if (terms < d.nonZeroCount && item.term != state.declaredNonZeros[d.firstNonZero + terms]) {
        // A count that differs is the fault to report, as it is when the terms run out first.
        std::size_t all = terms;
        for (std::uint32_t j = i; j < x.itemCount; ++j)
          all += state.items[x.firstItem + j].kind == TQ_ProgramItem::Term;
        if (all != d.nonZeroCount) break;
        return differ(where(e) + ": term " + std::to_string(terms) + " declared as " +
                      TQ_Registry::PathOf(state.declaredNonZeros[d.firstNonZero + terms]) + ", emitted as " +
                      TQ_Registry::PathOf(item.term));
      }
      ++terms;
    }
    if (terms != d.nonZeroCount) {
      std::size_t all = 0;
      for (std::uint32_t i = 0; i < x.itemCount; ++i) all += state.items[x.firstItem + i].kind == TQ_ProgramItem::Term;
      return differ(where(e) + ": " + std::to_string(d.nonZeroCount) + " non-zeros declared, " + std::to_string(all) +
                    " terms emitted");
    }
  }
  return true;
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
