// The context through which the equation walker reads a one-dimensional distribution and its
// domain: the model's own order and integral properties, the linked domain's method, section
// count and point count, and each section's BASE, NODECOUNT, NUMELEMENTS and ELEMENTLENGTH.
//
// Every value is read when the walker asks for it, through the host's v() accessors while the
// structure is declared and through the const fv() accessors while the equations are emitted.
// Objects are reached by index, never by key text: the section array's element s, the arrays'
// element k. The arrays and the section last looked up are kept for the call, so that a term
// costs one element lookup; the values behind them are read anew at every use.
// While emitting, the walk tells the context which elements it names next (readAhead), and their
// objects are asked for from memory ahead.
#pragma once

#include <array>
#include <type_traits>
#include <utility>
#include <cstddef>
#include <cstdint>

#include "distribution1d_equations.h"
#include "frame.h"
#include "tq_support.h"
#include "vekexp.h"

namespace morvane::eqn::d1 {

// Which of the host's accessors a walk reads through.
enum class Access : std::uint8_t {
    Variable,  // v(): ExecuteAssignments and SetUpEquations
    Constant,  // fv(): JacPattern
};

template <Access kAccess, class Model, class Domain>
class Distribution1DContext {
public:
    using Coord = std::array<std::int32_t, 1>;
    using Handle = TQ_VarParam*;
    using Section = std::remove_reference_t<decltype((*std::declval<Domain&>().SECTION)(1))>;

    // The arrays are reached once, here; VALUE through its virtual property.
    Distribution1DContext(Model& model, Domain& domain)
        : model_(model),
          domain_(domain),
          sections_(*domain.SECTION),
          arrays_{refOf(*model.VALUE), refOf(model.DDX), refOf(model.D2DX2), refOf(model.IDX)} {
        if constexpr (kAccess == Access::Constant) {
            std::size_t bytes = 0;
            for (const ArrayRef& ref : arrays_) bytes += std::size_t{ref.array->ElementVector.Elements()} * ref.elementBytes;
            readsAhead_ = bytes > kCacheBytes;
        }
    }

    const char* method(int) { return read(domain_.DISCRETIZATIONMETHOD); }
    bool integralSelected(const char* selector) { return StringInSet(selector, read(model_.INTEGRALS)) != 0; }
    std::int32_t orderUsed(int) { return read(model_.HIGHESTORDERXDERIVATIVEUSED); }
    std::int32_t highestOrder(int) { return read(model_.HIGHESTORDERXDERIVATIVE); }
    std::int32_t numSections(int) { return read(domain_.NUMSECTIONS); }
    std::int32_t numPolyPoints(int) { return read(domain_.NUMPOLYPOINTS); }
    std::int32_t endNode() { return read(domain_.ENDNODE); }

    std::int32_t base(int, std::int32_t s) { return read(section(s).BASE); }
    std::int32_t nodeCount(int, std::int32_t s) { return read(section(s).NODECOUNT); }
    std::int32_t numElements(int, std::int32_t s) { return read(section(s).NUMELEMENTS); }
    // The section's element length is a parameter term of the equations.
    Handle elementLength(int, std::int32_t s) { return &section(s).ELEMENTLENGTH; }

    [[gnu::always_inline]] Handle variable(std::uint8_t array, const Coord& at) {
        const ArrayRef& ref = arrayRef(array);
        TQ_Type* found = ref.array->Find(at[0]);
        if (found == nullptr) [[unlikely]] morvane::ThrowMissingElement(*ref.array);
        return static_cast<TQ_VarParam*>(found);
    }

    // Asks the processor, while emitting, for the element of an array that a walk names soon.
    // The host reads every element an equation names (its column), and each element is an object
    // of its own on the host heap: on a large grid an element not read lately costs a trip to
    // memory, and the walk would wait for one after another. A hint only: an element that does
    // not exist yet is not made, nothing is changed, and what the walk names and emits stays as
    // it is. Declaring reads nothing ahead.
    // (Inlined into the walk: see EquationWalker::readAhead.)
    // Worth it only when the elements do not stay in the processor's caches anyway.
    bool readsAhead() const { return readsAhead_; }

    [[gnu::always_inline]] void readAhead(std::uint8_t array, const Coord& at) {
        if constexpr (kAccess == Access::Constant) {
            const ArrayRef& ref = arrayRef(array);
            const unsigned int slot = ref.array->SlotOf(at[0]);
            if (slot >= ref.array->ElementVector.Elements()) return;
            const TQ_Type* next = ref.array->ElementVector[slot];
            if (next == nullptr) return;
            constexpr std::uintptr_t kLine = 64;
            const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(next) & ~(kLine - 1);
            const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(next) + ref.elementBytes - 1;
            for (std::uintptr_t line = first; line <= last; line += kLine) __builtin_prefetch(reinterpret_cast<const void*>(line));
        }
    }

private:
    template <class Property>
    static decltype(auto) read(Property& property) {
        if constexpr (kAccess == Access::Constant) {
            return property.fv();
        } else {
            return property.v();
        }
    }

    // An array of the distribution as the walk reads it: through its index base (every element
    // is a variable or parameter term), with the size of its elements.
    struct ArrayRef {
        TQ_BASE_I* array;
        std::size_t elementBytes;
    };

    template <class Array>
    static ArrayRef refOf(Array& array) {
        using T = std::remove_reference_t<decltype(array(0))>;
        static_assert(std::is_base_of_v<TQ_VarParam, T> && std::is_base_of_v<TQ_BASE_I, Array>);
        return ArrayRef{&array, sizeof(T)};
    }

    // VALUE 0, DDX 1, D2DX2 2, IDX 3.
    // (The distribution's plan binds only these four numbers.)
    const ArrayRef& arrayRef(std::uint8_t array) const { return arrays_[array & 3u]; }

    // The section last looked up is found inline; another one is looked up by a call.
    [[gnu::always_inline]] Section& section(std::int32_t s) {
        if (s == cachedIndex_ && cached_ != nullptr) [[likely]] return *cached_;
        return lookUpSection(s);
    }

    [[gnu::noinline]] Section& lookUpSection(std::int32_t s) {
        cached_ = &sections_(s);
        cachedIndex_ = s;
        return *cached_;
    }

    Model& model_;
    Domain& domain_;
    decltype(*std::declval<Domain&>().SECTION) sections_;
    std::array<ArrayRef, 4> arrays_;
    static constexpr std::size_t kCacheBytes = std::size_t{4} << 20;
    bool readsAhead_ = false;
    Section* cached_ = nullptr;
    std::int32_t cachedIndex_ = 0;
};

}  // namespace morvane::eqn::d1
