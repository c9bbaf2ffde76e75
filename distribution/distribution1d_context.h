// The context through which the equation walker reads a one-dimensional distribution and its
// domain: the model's own order and integral properties, the linked domain's method, section
// count and point count, and each section's BASE, NODECOUNT, NUMELEMENTS and ELEMENTLENGTH.
//
// Every value is read when the walker asks for it, through the host's v() accessors while the
// structure is declared and through the const fv() accessors while the equations are emitted.
// Objects are reached by index, never by key text: the section array's element s, the arrays'
// element k. The arrays and the section last looked up are kept for the call, so that a term
// costs one element lookup; the values behind them are read anew at every use.
// While emitting, the elements a walk names next are asked for from memory ahead (element()).
#pragma once

#include <array>
#include <type_traits>
#include <utility>
#include <cstddef>
#include <cstdint>

#include "distribution1d_equations.h"
#include "frame.h"
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
          value_(*model.VALUE),
          ddx_(model.DDX),
          d2dx2_(model.D2DX2),
          idx_(model.IDX) {}

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

    Handle variable(std::uint8_t array, const Coord& at) {
        const int k = at[0];
        switch (array) {
            case kValue: return element(value_, ahead_[kValue], k);
            case kDdx: return element(ddx_, ahead_[kDdx], k);
            case kD2dx2: return element(d2dx2_, ahead_[kD2dx2], k);
            default: return element(idx_, ahead_[kIdx], k);
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

    // Reading ahead while emitting. The host reads every element an equation names (its column),
    // and each element is an object of its own on the host heap: on a large grid an element not
    // read lately costs a trip to memory, and the walk would wait for one after another. The walk
    // moves up through an array's slots (a node loop by one, an element loop by a few per step),
    // so the objects in the next slots are the ones it names next: the processor is asked for
    // them ahead, up to kAheadSlots past the slot the host just found (its ElementOffset), each
    // slot once while the walk goes on upwards. A hint only: the slots are read, nothing is
    // created or changed, and what the walk names and emits stays as it is.
    static constexpr unsigned int kAheadSlots = 16;

    struct Ahead {
        unsigned int next = 0;  // the first slot not asked for yet
    };

    template <class Array>
    static auto* element(Array& array, Ahead& ahead, int k) {
        auto* found = &array(k);
        if constexpr (kAccess == Access::Constant) {
            const unsigned int slot = static_cast<unsigned int>(array.ElementOffset);
            const unsigned int slots = array.ElementVector.Elements();
            if (slot >= slots) return found;
            // A walk that stepped back (a new loop) or jumped far ahead starts again where it stands.
            if (ahead.next <= slot || ahead.next - slot > 2 * kAheadSlots) ahead.next = slot + 1;
            const unsigned int end = slots - slot > kAheadSlots ? slot + kAheadSlots + 1 : slots;
            for (; ahead.next < end; ++ahead.next) {
                if (const TQ_Type* next = array.ElementVector[ahead.next]) readAhead(next, sizeof(*found));
            }
        }
        return found;
    }

    // Asks for every cache line of an object of `size` bytes at `object`.
    static void readAhead(const void* object, std::size_t size) {
        constexpr std::uintptr_t kLine = 64;
        const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(object) & ~(kLine - 1);
        const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(object) + size - 1;
        for (std::uintptr_t line = first; line <= last; line += kLine) __builtin_prefetch(reinterpret_cast<const void*>(line));
    }

    Section& section(std::int32_t s) {
        if (s != cachedIndex_ || cached_ == nullptr) {
            cached_ = &sections_(s);
            cachedIndex_ = s;
        }
        return *cached_;
    }

    Model& model_;
    Domain& domain_;
    decltype(*std::declval<Domain&>().SECTION) sections_;
    decltype(*std::declval<Model&>().VALUE) value_;
    decltype(std::declval<Model&>().DDX)& ddx_;
    decltype(std::declval<Model&>().D2DX2)& d2dx2_;
    decltype(std::declval<Model&>().IDX)& idx_;
    Section* cached_ = nullptr;
    std::int32_t cachedIndex_ = 0;
    std::array<Ahead, 4> ahead_{};
};

}  // namespace morvane::eqn::d1
