// The references of the distribution benchmark (references.h).
#include "references.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "host/tq_executive.h"
#include "host/vekexp.h"

namespace morvane_bench {

namespace {

// A model whose two equation phases only make the host calls: `nonZeros` non-zeros of one
// variable in one equation, and a program of `items` items of which that many are the variable.
class CallsOnly final : public TQ_ModelTypeEx2 {
 public:
  CallsOnly(std::int64_t nonZeros, std::int64_t items)
      : expressions_(*this), nonZeros_(nonZeros), others_(items - nonZeros) {}

  int SetUpEquations() override {
    const int parent = TQ_ModelType::SetUpEquations();
    if (parent < 0) return parent;
    SetGroupLimits(m_stLastGroup + 1);
    for (std::int64_t k = 0; k < nonZeros_; ++k) AddNonZero(term_);
    return SetLocalEqnCount(parent + 1);
  }

  int JacPattern(int*& rows, int*& cols, TQ_EquationType** types) override {
    ResetExpressions();
    int count = TQ_ModelType::JacPattern(rows, cols, types);
    AddEquation("TQ_Eqn1", count, m_stLastGroup);
    const int index = count - 1;
    for (std::int64_t k = 0; k < nonZeros_; ++k) expressions_.AddTerm(term_, rows, cols, index);
    for (std::int64_t k = 0; k < others_; ++k) expressions_.AddOp(EOp_Plus, index);
    return count;
  }

 private:
  TQ_ModelExtensions& expressions_;  // the calls go through the interface, as the library's do
  std::int64_t nonZeros_;
  std::int64_t others_;
  TQ_VarParam term_;
};

// Adds a reference model to the executive as "R"; a run that cannot add it stops.
void AddReference(TQ_Executive& host, TQ_ModelType* model, const char* what) {
  model->AddRef();
  std::string error;
  if (!host.AddObject("R", model, &error)) {
    std::fprintf(stderr, "cannot add %s: %s\n", what, error.c_str());
    std::abort();
  }
}

// The distribution's host calls, recorded from the store and made again by a model that does
// nothing else, with the same arguments in the same order: each declared equation by its group
// and its non-zeros, each emitted equation by its name and group and its program items, naming
// the same element objects. The record is kept compactly, since the largest rows hold more than
// 10^8 program items: one byte an item (an operator by its code, or the kind of item), the
// constants apart, and no term of its own, for the terms of the programs are the declared
// non-zeros in the same order (the record checks it as it is taken). The names of the equations
// are copied: the store's go with the executive's parts.
class Replay final : public TQ_ModelTypeEx2 {
 public:
  explicit Replay(TQ_Executive& host) : expressions_(*this) {
    const std::vector<TQ_DeclaredEquation>& declared = host.Declared();
    const std::vector<TQ_VarParam*>& nonZeros = host.DeclaredNonZeros();
    const std::vector<TQ_EmittedEquation>& emitted = host.Emitted();
    const std::vector<TQ_ProgramItem>& items = host.Items();
    declared_.reserve(declared.size());
    for (const TQ_DeclaredEquation& e : declared) declared_.push_back({e.group, e.nonZeroCount});
    nonZeros_.assign(nonZeros.begin(), nonZeros.end());

    std::unordered_map<std::uint32_t, std::uint32_t> nameIndex;  // the store's name id to names_
    std::size_t term = 0;
    emitted_.reserve(emitted.size());
    kinds_.reserve(items.size());
    for (const TQ_EmittedEquation& e : emitted) {
      if (e.type != nullptr) Refuse("an equation of a type of its own");
      const auto [name, added] = nameIndex.emplace(e.name, static_cast<std::uint32_t>(names_.size()));
      if (added) names_.emplace_back(host.EquationName(e));
      emitted_.push_back({name->second, e.group, e.itemCount});
      for (std::size_t k = e.firstItem; k < std::size_t{e.firstItem} + e.itemCount; ++k) {
        const TQ_ProgramItem& item = items[k];
        switch (item.kind) {
          case TQ_ProgramItem::Op:
            if (item.code >= 0 && item.code < kWideOp) {
              kinds_.push_back(static_cast<std::uint8_t>(item.code));
            } else {
              kinds_.push_back(kWideOp);
              integers_.push_back(item.code);
            }
            break;
          case TQ_ProgramItem::Integer:
            kinds_.push_back(kInteger);
            integers_.push_back(item.code);
            break;
          case TQ_ProgramItem::Real:
            kinds_.push_back(kReal);
            reals_.push_back(item.real);
            break;
          case TQ_ProgramItem::Term:
            if (term >= nonZeros_.size() || item.term != nonZeros_[term])
              Refuse("a term that is not the next non-zero");
            ++term;
            kinds_.push_back(kTerm);
            break;
        }
      }
    }
    if (term != nonZeros_.size()) Refuse("fewer terms than non-zeros");
  }

  int SetUpEquations() override {
    const Clock::time_point start = Clock::now();
    const int parent = TQ_ModelType::SetUpEquations();
    if (parent < 0) return parent;
    TQ_VarParam* const* term = nonZeros_.data();
    for (const Declared& e : declared_) {
      SetGroupLimits(e.group);
      for (std::uint32_t k = 0; k < e.nonZeros; ++k) AddNonZero(**term++);
    }
    const int count = SetLocalEqnCount(parent + static_cast<int>(declared_.size()));
    seconds_ += SecondsSince(start);
    return count;
  }

  int JacPattern(int*& rows, int*& cols, TQ_EquationType** types) override {
    const Clock::time_point start = Clock::now();
    ResetExpressions();
    int count = TQ_ModelType::JacPattern(rows, cols, types);
    const std::uint8_t* kind = kinds_.data();
    TQ_VarParam* const* term = nonZeros_.data();
    const double* real = reals_.data();
    const std::int32_t* integer = integers_.data();
    for (const Emitted& e : emitted_) {
      AddEquation(names_[e.name].c_str(), count, e.group);
      const int index = count - 1;
      for (const std::uint8_t* end = kind + e.items; kind < end; ++kind) {
        switch (*kind) {
          case kTerm:
            expressions_.AddTerm(**term++, rows, cols, index);
            break;
          case kReal:
            expressions_.AddTerm(*real++, index);
            break;
          case kInteger:
            expressions_.AddTerm(static_cast<int>(*integer++), index);
            break;
          case kWideOp:
            expressions_.AddOp(static_cast<EOp>(*integer++), index);
            break;
          default:
            expressions_.AddOp(static_cast<EOp>(*kind), index);
            break;
        }
      }
    }
    seconds_ += SecondsSince(start);
    return count;
  }

  // Seconds both phases took since the last call, and starts again.
  double TakeSeconds() { return std::exchange(seconds_, 0.0); }

 private:
  // The byte of a program item: an operator's code below kWideOp, else the kind of the item.
  static constexpr std::uint8_t kWideOp = 252;  // an operator, its code among the integers
  static constexpr std::uint8_t kInteger = 253;
  static constexpr std::uint8_t kReal = 254;
  static constexpr std::uint8_t kTerm = 255;  // the next non-zero

  [[noreturn]] static void Refuse(const char* what) {
    std::fprintf(stderr, "cannot record the calls: %s\n", what);
    std::abort();
  }

  struct Declared {
    std::int32_t group;
    std::uint32_t nonZeros;
  };
  struct Emitted {
    std::uint32_t name;  // into names_
    std::int32_t group;
    std::uint32_t items;
  };
  TQ_ModelExtensions& expressions_;
  std::vector<Declared> declared_;
  std::vector<TQ_VarParam*> nonZeros_;
  std::vector<Emitted> emitted_;
  std::vector<std::string> names_;
  std::vector<std::uint8_t> kinds_;
  std::vector<double> reals_;
  std::vector<std::int32_t> integers_;
  double seconds_ = 0.0;
};

// The elements of the arrays under `item` (the domains' nodes and sections, the distribution's
// variables): virtual properties are followed to what they stand for, links are not; each
// element counts once.
std::int64_t CountElements(TQ_Containable* item, std::unordered_set<const TQ_Containable*>& seen) {
  std::int64_t count = 0;
  if (item == nullptr || !seen.insert(item).second) return 0;
  if (auto* array = dynamic_cast<TQ_Matrix*>(item)) {
    for (unsigned int slot = 0; slot < array->ElementVector.Elements(); ++slot)
      if (TQ_Type* element = array->ElementVector[slot]) count += 1 + CountElements(element, seen);
    return count;
  }
  for (int p = 0; p < item->PropertyCount(); ++p) {
    TQ_Containable* property = item->PropertyAt(p).property;
    if (dynamic_cast<TQ_ExternalBase*>(property) != nullptr) continue;
    if (auto* link = dynamic_cast<TQ_VirtualBase*>(property)) property = link->CurrentLink();
    count += CountElements(property, seen);
  }
  return count;
}

}  // namespace

void Check(TQ_Executive& host, bool ok, const char* what) {
  if (ok && host.Errors().empty()) return;
  std::fprintf(stderr, "%s failed: %s\n", what, host.Errors().empty() ? "" : host.Errors().front().c_str());
  std::abort();
}

double HostCalls(TQ_Executive& host, std::int64_t nonZeros, std::int64_t items, int runs) {
  host.Reset();
  CallsOnly* calls = new CallsOnly(nonZeros, items);
  AddReference(host, calls, "the host calls");
  // A first, untimed run, as the distribution's first cycle is: the host's store grows to size.
  double seconds = kNoRun;
  for (int run = -1; run < runs; ++run) {
    const Clock::time_point start = Clock::now();
    bool ok = host.RunSetUpEquations();
    ok = host.RunJacPattern() && ok;
    if (run >= 0) seconds = std::min(seconds, SecondsSince(start));
    Check(host, ok, "the host calls alone");
  }
  if (static_cast<std::int64_t>(host.Items().size()) != items) std::abort();
  host.Reset();
  return seconds;
}

// The calls are recorded, then the executive is reset, which releases the distribution's
// equations; its objects (the distribution and its domains, whose elements the calls name) are
// kept alive by a reference of this function's own, outside the executive, so that the replay
// runs alone and fills the store once, as the distribution did in its own cycles. They go after
// the executive's last reset.
double ReplayCalls(TQ_Executive& host, std::int64_t items, int runs, const std::function<void()>& meanwhile) {
  auto* replay = new Replay(host);
  std::vector<TQ_ModelType*> kept;
  for (int i = 0; i < host.ObjectCount(); ++i) {
    kept.push_back(host.ObjectAt(i));
    kept.back()->AddRef();
  }
  host.Reset();
  meanwhile();
  AddReference(host, replay, "the replay");
  // A first, untimed run, as for the host calls: the store grows to size.
  double seconds = kNoRun;
  for (int run = -1; run < runs; ++run) {
    bool ok = host.RunSetUpEquations();
    ok = host.RunJacPattern() && ok;
    Check(host, ok, "the replay");
    const double taken = replay->TakeSeconds();
    if (run >= 0) seconds = std::min(seconds, taken);
  }
  // The replay emitted as many items as the distribution, and what it declared.
  if (static_cast<std::int64_t>(host.Items().size()) != items || !host.DeclaredMatchesEmitted()) std::abort();
  host.Reset();
  // In reverse order of addition, as the executive releases them.
  for (auto it = kept.rbegin(); it != kept.rend(); ++it) (*it)->Release();
  return seconds;
}

double Baseline(std::vector<TQ_ProgramItem>& buffer) {
  const Clock::time_point start = Clock::now();
  TQ_ProgramItem* out = buffer.data();
  const std::size_t count = buffer.size();
  for (std::size_t k = 0; k < count; ++k) {
    TQ_ProgramItem& item = out[k];
    item.kind = static_cast<TQ_ProgramItem::Kind>(k & 3u);
    item.code = static_cast<std::int32_t>(k);
    item.real = static_cast<double>(k);
  }
  benchmark::DoNotOptimize(out);
  benchmark::ClobberMemory();
  return SecondsSince(start);
}

std::int64_t CountElements(TQ_Executive& host) {
  std::unordered_set<const TQ_Containable*> seen;
  std::int64_t count = 0;
  for (int i = 0; i < host.ObjectCount(); ++i) count += CountElements(host.ObjectAt(i), seen);
  return count;
}

// Writes `bytes` of memory just taken from the heap: the least the first cycle's growth of the
// host heap and the equation store costs, since every page of it is new to the process then.
double FreshMemory(std::size_t bytes) {
  const Clock::time_point start = Clock::now();
  auto* memory = static_cast<unsigned char*>(std::malloc(bytes));
  if (memory == nullptr) return 0.0;
  std::memset(memory, 1, bytes);
  benchmark::DoNotOptimize(memory);
  benchmark::ClobberMemory();
  const double seconds = SecondsSince(start);
  std::free(memory);
  return seconds;
}

// Makes `count` real variables on the host heap, each named by its index as an array names its
// elements, and releases them, kLeastRuns times; the seconds of the least making. The least a
// host can spend on the elements a first cycle makes, beside the memory they take (the runs after
// the first reuse it): what the first cycle does beyond it is the arrays' bookkeeping (look-up,
// set membership, slot).
double MakeElements(std::int64_t count) {
  std::vector<TQ_REALVARIABLE*> made(static_cast<std::size_t>(count));
  double seconds = kNoRun;
  for (int run = 0; run < kLeastRuns; ++run) {
    const Clock::time_point start = Clock::now();
    char name[16];
    for (std::int64_t k = 0; k < count; ++k) {
      auto* element = new TQ_REALVARIABLE();
      const std::to_chars_result written = std::to_chars(name, name + sizeof name, k);
      element->SetIdentity(nullptr, name, static_cast<std::size_t>(written.ptr - name));
      made[static_cast<std::size_t>(k)] = element;
    }
    seconds = std::min(seconds, SecondsSince(start));
    for (TQ_REALVARIABLE* element : made) delete element;
  }
  return seconds;
}

}  // namespace morvane_bench
