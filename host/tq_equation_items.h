// The item state of the equation store: the stores of declared and emitted equations, the open
// declaration and equation, the pattern arrays and the recent names, which the per-item calls
// (tq_equation_store.cpp) work on and the readers (tq_equation_reading.cpp) read. Internal to
// the host layer.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

#include "tq_equation_store.h"

namespace tq_equation_items {
// Stands for "no model" where the per-item calls compare the caller with the
// model that may add to the open equation or declaration, and for "no text"
// in the table of recent names: no model and no caller's text, not even a
// null one, is ever at this address.
alignas(16) inline const char g_noModelMark[16] = {};
inline constexpr const void* kNoModel = g_noModelMark;

// The entries a new declaration or equation starts from.
inline constexpr TQ_DeclaredEquation kBlankDeclaration{};
inline constexpr TQ_EmittedEquation kBlankEquation{};

// The program items an emission first makes room for, per declared non-zero; and the most a
// non-zero takes over the methods and axes (three and a half, with the operators and constants
// of its equation's share), by which the items of equations declared and not yet emitted are
// foreseen until some have been emitted.
inline constexpr std::size_t kFirstItemsPerNonZero = 2;
inline constexpr double kItemsPerNonZero = 3.5;

// The room the program items grow to for `projected` items: a sixteenth more, so that equations
// longer than the mean so far rarely make them grow again.
inline constexpr double ItemRoom(double projected) { return projected + projected / 16 + 64; }

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

// The one item state (tq_equation_store.cpp keeps it).
ItemState& TheItemState();

}  // namespace tq_equation_items
