// The context through which the equation walker reads a distribution over D axes and its
// domains: the model's own orders and integral selection, each linked domain's method, section
// count, point count, last node and interior set, and each section's BASE, NODECOUNT,
// NUMELEMENTS and ELEMENTLENGTH.
//
// Every value is read when the walker asks for it, through the host's v() accessors while the
// structure is declared and through the const fv() accessors while the equations are emitted.
// Objects are reached by index, never by key text: a domain's section s, an array's element at
// D indices. The arrays and, per axis, the section last looked up are kept for the call, so that
// a term costs one element lookup; the values behind them are read anew at every use.
// While emitting over one axis, the walk tells the context which elements it names next
// (ReadAhead), and their objects are asked for from memory ahead.
#pragma once

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <type_traits>
#include <utility>

#include "distribution/distribution_sets.h"
#include "distribution/eqn_table.h"
#include "framework/frame.h"
#include "domain/tq_domain.h"
#include "framework/tq_support.h"
#include "framework/tq_typed_arrays.h"
#include "host/vekexp.h"

namespace morvane::eqn {

// Which of the host's accessors a walk reads through.
enum class Access : std::uint8_t {
  Variable,  // v(): ExecuteAssignments and SetUpEquations
  Constant,  // fv(): JacPattern
};

// The index base of an array over D integer dimensions.
template <std::size_t D>
using ArrayBase = std::conditional_t<D == 1, TQ_BASE_I, std::conditional_t<D == 2, TQ_BASE_II, TQ_BASE_III>>;

// An array of a distribution as the walk reads it: through its index base (every element is a
// variable or parameter term), with the size of its elements.
template <std::size_t D>
struct ArrayRef {
  ArrayBase<D>* array = nullptr;
  std::size_t elementBytes = 0;
};

// The element type of a typed array.
template <class Array>
struct ElementOf;
template <template <class, class> class Array, class T, class U>
struct ElementOf<Array<T, U>> {
  using type = T;
};

inline constexpr std::size_t kMaxArrays = 16;

// What a distribution hands the engine of itself: per axis its domain (null when its link has
// none attached), the name of that link and the model's own order and order used along it; its
// INTEGRALS; its arrays in the numbering of its equation table.
template <std::size_t D>
struct DistributionView {
  const TQ_Containable* model = nullptr;
  std::array<TQ_DOMAIN*, D> domains{};
  std::array<const char*, D> links{};
  std::array<TQ_INTEGERPARAMETER*, D> order{};
  std::array<TQ_INTEGERPARAMETER*, D> orderUsed{};
  TQ_STRINGSET* integrals = nullptr;
  std::array<ArrayRef<D>, kMaxArrays> arrays{};
  std::uint8_t arrayCount = 0;

  // Appends an array; the arrays are numbered in the order they are added.
  template <class Array>
  void Add(Array& array) {
    using T = typename ElementOf<Array>::type;
    static_assert(std::is_base_of_v<TQ_VarParam, T> && std::is_base_of_v<ArrayBase<D>, Array>);
    if (arrayCount < kMaxArrays) arrays[arrayCount++] = ArrayRef<D>{&array, sizeof(T)};
  }
};

template <Access kAccess, std::size_t D>
class DistributionContext {
 public:
  using Coord = std::array<std::int32_t, D>;
  using Handle = TQ_VarParam*;
  using Section = TQ_SECTIONDATAMODEL;

  // Every domain of the view must be attached.
  explicit DistributionContext(const DistributionView<D>& view) : view_(view) {
    for (std::size_t a = 0; a < D; ++a) sections_[a] = &*view.domains[a]->SECTION;
    std::size_t bytes = 0;
    for (std::size_t k = 0; k < view.arrayCount; ++k) {
      bytes += std::size_t{view.arrays[k].array->ElementVector.Elements()} * view.arrays[k].elementBytes;
    }
    readsAhead_ = bytes > kCacheBytes;
  }

  const char* Method(int a) { return Read(Domain(a).DISCRETIZATIONMETHOD); }
  bool SelectsIntegral(const char* selector) { return StringInSet(selector, Read(*view_.integrals)) != 0; }
  std::int32_t OrderUsed(int a) { return Read(*view_.orderUsed[Axis(a)]); }
  std::int32_t HighestOrder(int a) { return Read(*view_.order[Axis(a)]); }
  std::int32_t NumSections(int a) { return Read(Domain(a).NUMSECTIONS); }
  std::int32_t NumPolyPoints(int a) { return Read(Domain(a).NUMPOLYPOINTS); }
  std::int32_t EndNode(int a) { return Read(Domain(a).ENDNODE); }

  std::int32_t Base(int a, std::int32_t s) { return Read(SectionAt(a, s).BASE); }
  std::int32_t NodeCount(int a, std::int32_t s) { return Read(SectionAt(a, s).NODECOUNT); }
  std::int32_t NumElements(int a, std::int32_t s) { return Read(SectionAt(a, s).NUMELEMENTS); }
  // The section's element length is a parameter term of the equations.
  Handle ElementLength(int a, std::int32_t s) { return &SectionAt(a, s).ELEMENTLENGTH; }

  // The members of an axis's set, ascending: its domain's INTERIOR, or {0} ∪ INTERIOR ∪
  // {ENDNODE}, built as the distributions' index sets build it.
  template <class Visit>
  void ForEachInSet(int a, AxisSet set, Visit&& visit) {
    const TQ_SetValue& interior = Read(Domain(a).INTERIOR);
    if (set == AxisSet::Interior) {
      VisitMembers(interior, visit);
    } else {
      VisitMembers(morvane::distribution::BoundaryAndInteriorNodes(interior, EndNode(a)), visit);
    }
  }

  // Whether first, first + stride, ... (count of them, stride at least 1) are all members of the
  // axis's INTERIOR; otherwise the first that is not, in `missing`. Walks the set's runs beside
  // the members, from the run of the first found by halving: the members of one run take one
  // step.
  bool InteriorHolds(int a, std::int64_t first, std::int64_t count, std::int64_t stride, std::int64_t& missing) {
    const SUValue& interior = Read(Domain(a).INTERIOR);
    const int runs = interior.RunCount();
    int lo = 0;
    int hi = 0;
    // The first run that does not end before `first`.
    int r = 0;
    for (int span = runs; span > 0;) {
      const int half = span / 2;
      interior.RunAt(r + half, lo, hi);
      if (hi < first) {
        r += half + 1;
        span -= half + 1;
      } else {
        span = half;
      }
    }
    std::int64_t v = first;
    for (std::int64_t left = count; left > 0;) {
      while (r < runs) {
        interior.RunAt(r, lo, hi);
        if (hi >= v) break;
        ++r;
      }
      if (r == runs || lo > v) {
        missing = v;
        return false;
      }
      const std::int64_t inRun = std::min(left, (std::int64_t{hi} - v) / stride + 1);
      left -= inRun;
      v += inRun * stride;
    }
    return true;
  }

  [[gnu::always_inline]] Handle Variable(std::uint8_t array, const Coord& at) {
    const ArrayRef<D>& ref = ArrayAt(array);
    if constexpr (D > 1) {
      if (TQ_Type* known = slots_[array].Find(*ref.array, at)) [[likely]]
        return static_cast<TQ_VarParam*>(known);
    }
    const unsigned int slots = ref.array->ElementVector.Elements();
    TQ_Type* found = [&]<std::size_t... K>(std::index_sequence<K...>) { return ref.array->Find(at[K]...); }
    (std::make_index_sequence<D>{});
    if (found == nullptr) [[unlikely]]
      morvane::ThrowMissingElement(*ref.array);
    // A lookup that added index values added slots and moved the others; one that only made
    // a missing element moved nothing.
    if constexpr (D > 1) {
      if (ref.array->ElementVector.Elements() != slots) slots_[array].Forget();
    }
    return static_cast<TQ_VarParam*>(found);
  }

  // The elements of an array along one axis, the indices along the other axes fixed: where
  // their slots stand in the element vector, so that the terms of one equation (which differ
  // only along the equation's own axis) are found by one offset each. An element not found
  // this way (not made yet, an index the array does not hold, a vector not laid out one slot
  // per combination) reads as null, and is left to Variable.
  class Line {
   public:
    [[gnu::always_inline]] Handle At(std::int32_t index) const {
      const std::uint32_t offset = static_cast<std::uint32_t>(index) - static_cast<std::uint32_t>(first_);
      if (offset >= span_) return nullptr;
      const std::int32_t position = positions_ == nullptr ? static_cast<std::int32_t>(offset) : positions_[offset];
      if (position < 0) return nullptr;
      return static_cast<Handle>(origin_[static_cast<std::size_t>(position) * stride_]);
    }

   private:
    friend class DistributionContext;
    TQ_Type* const* origin_ = nullptr;         // the slot of the axis's first index value
    const std::int32_t* positions_ = nullptr;  // null for a dense run
    std::int32_t first_ = 0;
    std::uint32_t span_ = 0;  // 0: nothing is found along this line
    std::size_t stride_ = 0;
  };

  // The line of an array along axis a through the other indices of `at` (at[a] is not read).
  // It holds until a Variable has to ask the array itself (which may move the slots).
  [[gnu::always_inline]] Line Along(std::uint8_t array, int a, const Coord& at) {
    static_assert(D > 1, "over one axis the array finds its elements itself");
    const ArrayRef<D>& ref = ArrayAt(array);
    return slots_[array].Along(*ref.array, static_cast<std::size_t>(a), at);
  }

  // Asks the processor, while emitting, for the element of an array that a walk names soon.
  // The host reads every element an equation names (its column), and each element is an object
  // of its own on the host heap: on a large grid an element not read lately costs a trip to
  // memory, and the walk would wait for one after another. A hint only: an element that does
  // not exist yet is not made, nothing is changed, and what the walk names and emits stays as
  // it is. Declaring reads no element ahead, only slots (ReadSlotAhead).
  // (Inlined into the walk: see EquationWalker::ReadAheadOfLoop.)
  // Worth it only when the elements do not stay in the processor's caches anyway.
  bool ReadsAhead() const { return readsAhead_; }

  // The same hint one step earlier: the slot of the array's element vector that holds the
  // element's address, which ReadAhead and every lookup read (an element vector over more
  // than one axis is read at a stride of a whole row or plane, each slot on a line of its own).
  [[gnu::always_inline]] void ReadSlotAhead(std::uint8_t array, const Coord& at) {
    if (TQ_Type* const* slot = SlotOf(array, at)) __builtin_prefetch(slot);
  }

  [[gnu::always_inline]] void ReadAhead(std::uint8_t array, const Coord& at) {
    if constexpr (kAccess == Access::Constant) {
      const ArrayRef<D>& ref = ArrayAt(array);
      TQ_Type* const* slot = SlotOf(array, at);
      if (slot == nullptr) return;
      const TQ_Type* next = *slot;
      if (next == nullptr) return;
      constexpr std::uintptr_t kLine = 64;
      const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(next) & ~(kLine - 1);
      const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(next) + ref.elementBytes - 1;
      for (std::uintptr_t line = first; line <= last; line += kLine)
        __builtin_prefetch(reinterpret_cast<const void*>(line));
    }
  }

 private:
  template <class Property>
  static decltype(auto) Read(Property& property) {
    if constexpr (kAccess == Access::Constant) {
      return property.fv();
    } else {
      return property.v();
    }
  }

  template <class Visit>
  static void VisitMembers(const SUValue& set, Visit& visit) {
    const int size = set.SetSize();
    for (int k = 0; k < size; ++k) visit(std::int64_t{set.IntegerAt(k)});
  }

  // (With one axis the axis is always 0, whatever the walk passes.)
  static constexpr std::size_t Axis(int a) {
    if constexpr (D == 1) {
      return 0;
    } else {
      return static_cast<std::size_t>(a);
    }
  }

  TQ_DOMAIN& Domain(int a) const { return *view_.domains[Axis(a)]; }

  // An array number the distribution does not hold is refused, never read as another array.
  [[gnu::always_inline]] const ArrayRef<D>& ArrayAt(std::uint8_t array) const {
    if (array >= view_.arrayCount) [[unlikely]]
      RefuseArray(array);
    return view_.arrays[array];
  }

  // Where the address of an array's element stands in its element vector, worked out without
  // reading the vector; null when the element is not found that way.
  [[gnu::always_inline]] TQ_Type* const* SlotOf(std::uint8_t array, const Coord& at) {
    const ArrayRef<D>& ref = ArrayAt(array);
    if constexpr (D == 1) {
      const unsigned int slot = ref.array->SlotOf(at[0]);
      if (slot >= ref.array->ElementVector.Elements()) return nullptr;
      return &ref.array->ElementVector[slot];
    } else {
      return slots_[array].SlotOf(*ref.array, at);
    }
  }

  [[noreturn, gnu::noinline]] void RefuseArray(std::uint8_t array) const {
    char message[96];
    std::snprintf(
        message, sizeof message, "equation names array %d of a distribution that holds %d", array, view_.arrayCount);
    throw TQ_ArrayElementError(message);
  }

  // The section last looked up on an axis is found inline; another one is looked up by a call.
  [[gnu::always_inline]] Section& SectionAt(int a, std::int32_t s) {
    const std::size_t k = Axis(a);
    if (s == cachedIndex_[k] && cached_[k] != nullptr) [[likely]]
      return *cached_[k];
    return LookUpSection(k, s);
  }

  [[gnu::noinline]] Section& LookUpSection(std::size_t k, std::int32_t s) {
    cached_[k] = &(*sections_[k])(s);
    cachedIndex_[k] = s;
    return *cached_[k];
  }

  // Where the element of D indices stands in an array's element vector, found without asking
  // the array: per dimension the position of each index value present (the values are sorted,
  // so a dense run needs only its first value), and the slot row-major, the last dimension
  // fastest, as the array keeps its elements. Learnt from the array when first asked and
  // forgotten whenever a lookup through the array may have changed its index values; an
  // element not yet made, or an index the array does not hold, is left to the array's own
  // lookup (which makes what is missing).
  class SlotIndex {
   public:
    TQ_Type* Find(ArrayBase<D>& array, const Coord& at) {
      TQ_Type* const* slot = SlotOf(array, at);
      return slot != nullptr ? *slot : nullptr;
    }
    TQ_Type* const* SlotOf(ArrayBase<D>& array, const Coord& at) {
      if (!known_) Learn(array);
      if (slots_ == 0) return nullptr;
      std::size_t slot = 0;
      for (std::size_t k = 0; k < D; ++k) {
        const std::int32_t position = PositionOf(dims_[k], at[k]);
        if (position < 0) return nullptr;
        slot += static_cast<std::size_t>(position) * dims_[k].stride;
      }
      return &array.ElementVector[static_cast<unsigned int>(slot)];
    }
    Line Along(ArrayBase<D>& array, std::size_t axis, const Coord& at) {
      if (!known_) Learn(array);
      Line line;
      if (slots_ == 0) return line;
      std::size_t base = 0;
      for (std::size_t k = 0; k < D; ++k) {
        if (k == axis) continue;
        const std::int32_t position = PositionOf(dims_[k], at[k]);
        if (position < 0) return line;
        base += static_cast<std::size_t>(position) * dims_[k].stride;
      }
      const Dimension& d = dims_[axis];
      line.origin_ = &array.ElementVector[static_cast<unsigned int>(base)];
      line.positions_ = d.positions.empty() ? nullptr : d.positions.data();
      line.first_ = d.first;
      line.span_ = d.span;
      line.stride_ = d.stride;
      return line;
    }
    void Forget() { known_ = false; }

   private:
    struct Dimension {
      std::int32_t first = 0;
      std::uint32_t span = 0;  // 0: nothing is found through this index
      std::size_t size = 0;
      std::size_t stride = 0;                   // slots between two positions along it
      morvane::vector<std::int32_t> positions;  // empty for a dense run
    };

    // The position of an index along a dimension; -1 when it is not found that way.
    static std::int32_t PositionOf(const Dimension& d, std::int32_t index) {
      const std::uint32_t offset = static_cast<std::uint32_t>(index) - static_cast<std::uint32_t>(d.first);
      if (offset >= d.span) return -1;
      return d.positions.empty() ? static_cast<std::int32_t>(offset) : d.positions[offset];
    }

    void Learn(ArrayBase<D>& array) {
      known_ = true;
      slots_ = 0;
      std::size_t combinations = 1;
      for (std::size_t k = 0; k < D; ++k) {
        Dimension& d = dims_[k];
        const TQ_SetValue& values = array.IndexValues[k];
        const int size = values.SetSize();
        d = Dimension{};
        if (size <= 0) return;
        d.first = values.Integer(0);
        const std::int64_t span = std::int64_t{values.Integer(size - 1)} - d.first + 1;
        // Index values spread far wider than they are many are left to the array.
        if (span < size || span > std::int64_t{4} * size + 64) return;
        d.size = static_cast<std::size_t>(size);
        if (span != size) {
          d.positions.assign(static_cast<std::size_t>(span), -1);
          for (int p = 0; p < size; ++p) d.positions[static_cast<std::size_t>(values.Integer(p) - d.first)] = p;
        }
        d.span = static_cast<std::uint32_t>(span);
        combinations *= d.size;
      }
      // Only an element vector of one slot per combination is read directly.
      if (combinations == array.ElementVector.Elements()) {
        slots_ = combinations;
        std::size_t stride = 1;
        for (std::size_t k = D; k-- > 0;) {
          dims_[k].stride = stride;
          stride *= dims_[k].size;
        }
      } else {
        for (Dimension& d : dims_) d.span = 0;
      }
    }

    std::array<Dimension, D> dims_{};
    std::size_t slots_ = 0;
    bool known_ = false;
  };

  const DistributionView<D>& view_;
  std::array<SlotIndex, kMaxArrays> slots_{};
  std::array<TQ_SECTIONARRAY*, D> sections_{};
  // Elements that fit a last-level cache are found there soon enough: below this size, asking
  // for them ahead cost the walk over three axes more than it saved (20^3 nodes, 20 MB).
  static constexpr std::size_t kCacheBytes = std::size_t{32} << 20;
  bool readsAhead_ = false;
  std::array<Section*, D> cached_{};
  std::array<std::int32_t, D> cachedIndex_{};
};

}  // namespace morvane::eqn
