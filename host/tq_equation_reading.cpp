// The equation store as its readers and the size budget see it: what the emission of the declared
// equations will take, the table of names, the stores as read, and the comparison of the declared
// equations with those emitted.
#include "tq_equation_store.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "tq_equation_items.h"
#include "tq_registry.h"

using namespace tq_equation_items;

namespace {
inline ItemState& State() { return TheItemState(); }

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
