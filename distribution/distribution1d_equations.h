// The equations of the one-dimensional distribution: its 90 rows, as a table, and the plan that
// the equation walker runs for both the structure declaration and the emission.
//
// A row is its catalogue number, its family (first derivatives, second derivatives with the
// junction rows, integrals), where it runs inside its section, and its formula. The plan is built
// from the table when the library is built, following the distribution's nesting rules:
//   - the integral start (group offset 1) under "idx", outside any loop;
//   - then the ten method blocks, each under its own method test (group offsets 2 to 11);
//   - a difference block opens a section loop inside each family's guard; a collocation block
//     opens one section loop around the three family guards;
//   - inside a section: first-section and later-section rows under s == 1 and s != 1, node rows
//     in their node loop, and the element rows of a family in one element loop with the
//     one-element set {j}; a collocation junction row stands under j != 0 and then
//     HIGHESTORDERXDERIVATIVE == 2.
// The arrays are numbered VALUE 0, DDX 1, D2DX2 2, IDX 3; every row reads along axis 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "eqn_walker.h"
#include "eqn_formula_catalogue.h"

namespace morvane::eqn::d1 {

enum Array : std::uint8_t { kValue = 0, kDdx = 1, kD2dx2 = 2, kIdx = 3 };

enum class Family : std::uint8_t { First, Second, Integral };

enum class Runs : std::uint8_t {
    FirstSection,   // once, in section 1
    LaterSections,  // once in every section but the first
    EverySection,   // once per section
    Nodes,          // i = lo .. hi
    Element,        // once per element, at its first node j
    Junction,       // per element, when j != 0 and HIGHESTORDERXDERIVATIVE == 2
};

struct RowEntry {
    std::uint16_t number = 0;
    Family family = Family::First;
    Runs runs = Runs::EverySection;
    Index lo{};
    Index hi{};
    const Formula* formula = nullptr;
};

consteval RowEntry once(std::uint16_t n, Family f, Runs r, const Formula& fm) { return RowEntry{n, f, r, {}, {}, &fm}; }
consteval RowEntry nodes(std::uint16_t n, Family f, std::string_view lo, std::string_view hi, const Formula& fm) {
    return RowEntry{n, f, Runs::Nodes, index(lo), index(hi), &fm};
}

enum class Scheme : std::uint8_t { Differences, Collocation };

struct MethodBlock {
    const char* method;
    std::int32_t group;
    Scheme scheme;
    std::span<const RowEntry> rows;
};

// The row table, method by method, in catalogue order.
namespace table {

namespace F = formulas;
using enum Family;
using enum Runs;

inline constexpr RowEntry kBfd1[] = {
    once(2, First, FirstSection, F::d1_forward2_b),
    nodes(3, First, "b+1", "b+N", F::d1_backward2_i),
    nodes(4, Second, "b+1", "b+N-1", F::d2_central3_i),
    once(5, Second, LaterSections, F::d1_forward2_b),
    nodes(6, Integral, "b", "b+N-1", F::integral_trapezoid_i),
};

inline constexpr RowEntry kBfd2[] = {
    once(7, First, FirstSection, F::d1_forward3_b),
    once(8, First, EverySection, F::d1_central3_b1),
    nodes(9, First, "b+2", "b+N", F::d1_backward3_i),
    nodes(10, Second, "b+1", "b+N-1", F::d2_central3_i),
    once(11, Second, LaterSections, F::d1_forward3_b),
    once(12, Integral, Element, F::integral_parabola_j1),
    once(13, Integral, Element, F::integral_parabola_j2),
};

inline constexpr RowEntry kFfd1[] = {
    once(14, First, FirstSection, F::d1_forward2_b),
    nodes(15, First, "b+1", "b+N-1", F::d1_forward2_i),
    once(16, First, EverySection, F::d1_backward2_end),
    nodes(17, Second, "b+1", "b+N-1", F::d2_central3_i),
    once(18, Second, LaterSections, F::d1_forward2_b),
    nodes(19, Integral, "b", "b+N-1", F::integral_trapezoid_i),
};

inline constexpr RowEntry kFfd2[] = {
    once(20, First, FirstSection, F::d1_forward3_b),
    nodes(21, First, "b+1", "b+N-2", F::d1_forward3_i),
    once(22, First, EverySection, F::d1_central3_end1),
    once(23, First, EverySection, F::d1_backward3_end),
    nodes(24, Second, "b+1", "b+N-1", F::d2_central3_i),
    once(25, Second, LaterSections, F::d1_forward3_b),
    once(26, Integral, Element, F::integral_parabola_j1),
    once(27, Integral, Element, F::integral_parabola_j2),
};

inline constexpr RowEntry kCfd2[] = {
    once(28, First, FirstSection, F::d1_forward3_b),
    nodes(29, First, "b+1", "b+N-1", F::d1_central3_i),
    once(30, First, EverySection, F::d1_backward3_end),
    nodes(31, Second, "b+1", "b+N-1", F::d2_central3_i),
    once(32, Second, LaterSections, F::d1_forward3_b),
    once(33, Integral, Element, F::integral_parabola_j1),
    once(34, Integral, Element, F::integral_parabola_j2),
};

inline constexpr RowEntry kCfd4[] = {
    once(35, First, FirstSection, F::d1_five_b),
    once(36, First, EverySection, F::d1_five_b1),
    nodes(37, First, "b+2", "b+N-2", F::d1_five_central_i),
    once(38, First, EverySection, F::d1_five_end1),
    once(39, First, EverySection, F::d1_five_end),
    once(40, Second, EverySection, F::d2_five_b1),
    nodes(41, Second, "b+2", "b+N-2", F::d2_five_central_i),
    once(42, Second, EverySection, F::d2_five_end1),
    once(43, Second, LaterSections, F::d1_five_b),
    once(44, Integral, Element, F::integral_quartic_j1),
    once(45, Integral, Element, F::integral_quartic_j2),
    once(46, Integral, Element, F::integral_quartic_j3),
    once(47, Integral, Element, F::integral_quartic_j4),
};

inline constexpr RowEntry kUbfd4[] = {
    once(48, First, FirstSection, F::d1_five_b),
    once(49, First, EverySection, F::d1_five_b1),
    once(50, First, EverySection, F::d1_five_central_b2),
    nodes(51, First, "b+3", "b+N-1", F::d1_five_upwind_i),
    once(52, First, EverySection, F::d1_five_end),
    once(53, Second, EverySection, F::d2_five_b1),
    once(54, Second, EverySection, F::d2_five_central_b2),
    nodes(55, Second, "b+3", "b+N-1", F::d2_five_upwind_i),
    once(56, Second, LaterSections, F::d1_five_b),
    once(57, Integral, Element, F::integral_quartic_j1),
    once(58, Integral, Element, F::integral_quartic_j2),
    once(59, Integral, Element, F::integral_quartic_j3),
    once(60, Integral, Element, F::integral_quartic_j4),
};

inline constexpr RowEntry kOcfe2[] = {
    once(61, First, FirstSection, F::ocfe2_d1_b),
    once(62, First, Element, F::ocfe2_d1_j1),
    once(63, First, Element, F::ocfe2_d1_j2),
    once(64, Second, Junction, F::ocfe2_d1_j),
    once(65, Second, Element, F::ocfe2_d2_j1),
    once(66, Integral, Element, F::ocfe2_integral_j1),
    once(67, Integral, Element, F::ocfe2_integral_j2),
};

inline constexpr RowEntry kOcfe3[] = {
    once(68, First, FirstSection, F::ocfe3_d1_b),
    once(69, First, Element, F::ocfe3_d1_j1),
    once(70, First, Element, F::ocfe3_d1_j2),
    once(71, First, Element, F::ocfe3_d1_j3),
    once(72, Second, Junction, F::ocfe3_d1_j),
    once(73, Second, Element, F::ocfe3_d2_j1),
    once(74, Second, Element, F::ocfe3_d2_j2),
    once(75, Integral, Element, F::ocfe3_integral_j1),
    once(76, Integral, Element, F::ocfe3_integral_j2),
    once(77, Integral, Element, F::ocfe3_integral_j3),
};

inline constexpr RowEntry kOcfe4[] = {
    once(78, First, FirstSection, F::ocfe4_d1_b),
    once(79, First, Element, F::ocfe4_d1_j1),
    once(80, First, Element, F::ocfe4_d1_j2),
    once(81, First, Element, F::ocfe4_d1_j3),
    once(82, First, Element, F::ocfe4_d1_j4),
    once(83, Second, Junction, F::ocfe4_d1_j),
    once(84, Second, Element, F::ocfe4_d2_j1),
    once(85, Second, Element, F::ocfe4_d2_j2),
    once(86, Second, Element, F::ocfe4_d2_j3),
    once(87, Integral, Element, F::ocfe4_integral_j1),
    once(88, Integral, Element, F::ocfe4_integral_j2),
    once(89, Integral, Element, F::ocfe4_integral_j3),
    once(90, Integral, Element, F::ocfe4_integral_j4),
};

// The method blocks in the order in which they are tested.
inline constexpr MethodBlock kBlocks[] = {
    {"BFD1", 2, Scheme::Differences, kBfd1},   {"BFD2", 3, Scheme::Differences, kBfd2},
    {"FFD1", 4, Scheme::Differences, kFfd1},   {"FFD2", 5, Scheme::Differences, kFfd2},
    {"CFD2", 6, Scheme::Differences, kCfd2},   {"CFD4", 7, Scheme::Differences, kCfd4},
    {"UBFD4", 8, Scheme::Differences, kUbfd4}, {"OCFE2", 9, Scheme::Collocation, kOcfe2},
    {"OCFE3", 10, Scheme::Collocation, kOcfe3}, {"OCFE4", 11, Scheme::Collocation, kOcfe4},
};

}  // namespace table

using table::kBlocks;

inline constexpr const char* kIntegralSelector = "idx";
inline constexpr std::int32_t kIntegralStartGroup = 1;
inline constexpr std::uint16_t kIntegralStartRow = 1;

// ---- Plan building ----

namespace detail {

inline constexpr std::size_t kPlanCapacity = 320;

struct Plan {
    std::array<PlanNode, kPlanCapacity> nodes{};
    std::size_t size = 0;
};

// Stops the build: the row table breaks one of the rules the walker relies on.
inline void row_table_is_inconsistent(int /*row*/) {}

class PlanBuilder {
public:
    consteval Plan build() {
        const std::size_t start = open(guard(Step::IfIntegral, kIntegralSelector));
        addRow(kIntegralStartRow, kIntegralStartGroup, formulas::integral_start, false);
        close(start);
        int expected = kIntegralStartRow + 1;
        for (const MethodBlock& block : kBlocks) {
            for (const RowEntry& r : block.rows) {
                if (r.number != expected++) row_table_is_inconsistent(r.number);
            }
            addBlock(block);
        }
        noteLoopReads(std::span<PlanNode>(plan_.nodes.data(), plan_.size));
        return plan_;
    }

private:
    Plan plan_{};

    consteval std::size_t push(const PlanNode& n) {
        if (plan_.size == kPlanCapacity) row_table_is_inconsistent(0);
        plan_.nodes[plan_.size] = n;
        plan_.nodes[plan_.size].end = static_cast<std::uint16_t>(plan_.size + 1);
        return plan_.size++;
    }
    consteval std::size_t open(const PlanNode& n) { return push(n); }
    consteval void close(std::size_t at) { plan_.nodes[at].end = static_cast<std::uint16_t>(plan_.size); }

    static consteval PlanNode guard(Step step, const char* text = nullptr, std::int32_t value = 0) {
        PlanNode n;
        n.step = step;
        n.text = text;
        n.value = value;
        return n;
    }

    consteval void addRow(std::uint16_t number, std::int32_t group, const Formula& f, bool needsStep) {
        if (needsStep && f.stepTerms() != 1) row_table_is_inconsistent(number);
        if (formulas::placeOf(&f) == formulas::kCatalogueSize) row_table_is_inconsistent(number);
        PlanNode n;
        n.step = Step::Row;
        n.row = number;
        n.value = group;
        n.formula = &f;
        push(n);
    }

    static consteval PlanNode familyGuard(Family f) {
        switch (f) {
            case Family::First: return guard(Step::IfOrderAbove, nullptr, 0);
            case Family::Second: return guard(Step::IfOrderAbove, nullptr, 1);
            case Family::Integral: return guard(Step::IfIntegral, kIntegralSelector);
        }
        return guard(Step::IfIntegral, kIntegralSelector);
    }

    // The rows of one family inside one section, in table order.
    consteval void addSectionRows(const MethodBlock& block, Family family) {
        const auto rows = block.rows;
        for (std::size_t k = 0; k < rows.size();) {
            const RowEntry& r = rows[k];
            if (r.family != family) {
                ++k;
                continue;
            }
            switch (r.runs) {
                case Runs::FirstSection:
                case Runs::LaterSections: {
                    const std::size_t g = open(guard(r.runs == Runs::FirstSection ? Step::IfFirstSection : Step::IfLaterSection));
                    addRow(r.number, block.group, *r.formula, true);
                    close(g);
                    ++k;
                    break;
                }
                case Runs::EverySection:
                    addRow(r.number, block.group, *r.formula, true);
                    ++k;
                    break;
                case Runs::Nodes: {
                    if (block.scheme != Scheme::Differences) row_table_is_inconsistent(r.number);
                    PlanNode loop;
                    loop.step = Step::ForNodes;
                    loop.lo = r.lo;
                    loop.hi = r.hi;
                    const std::size_t l = open(loop);
                    addRow(r.number, block.group, *r.formula, true);
                    close(l);
                    ++k;
                    break;
                }
                case Runs::Element:
                case Runs::Junction: {
                    // Consecutive element rows of the family share one element loop.
                    const std::size_t elements = open(guard(Step::ForElements));
                    const std::size_t startNode = open(guard(Step::ForElementStart));
                    for (; k < rows.size() && rows[k].family == family &&
                           (rows[k].runs == Runs::Element || rows[k].runs == Runs::Junction);
                         ++k) {
                        const RowEntry& e = rows[k];
                        if (e.runs == Runs::Junction) {
                            if (block.scheme != Scheme::Collocation || family != Family::Second) row_table_is_inconsistent(e.number);
                            const std::size_t g1 = open(guard(Step::IfElementStartNonZero));
                            const std::size_t g2 = open(guard(Step::IfHighestOrderIs, nullptr, 2));
                            addRow(e.number, block.group, *e.formula, true);
                            close(g2);
                            close(g1);
                        } else {
                            addRow(e.number, block.group, *e.formula, true);
                        }
                    }
                    close(startNode);
                    close(elements);
                    break;
                }
            }
        }
    }

    consteval void addBlock(const MethodBlock& block) {
        // Families must come in the order first, second, integral.
        for (std::size_t k = 1; k < block.rows.size(); ++k) {
            if (block.rows[k].family < block.rows[k - 1].family) row_table_is_inconsistent(block.rows[k].number);
        }
        constexpr Family kFamilies[] = {Family::First, Family::Second, Family::Integral};
        const std::size_t method = open(guard(Step::IfMethod, block.method));
        if (block.scheme == Scheme::Differences) {
            for (Family f : kFamilies) {
                const std::size_t g = open(familyGuard(f));
                const std::size_t s = open(guard(Step::ForSections));
                addSectionRows(block, f);
                close(s);
                close(g);
            }
        } else {
            const std::size_t s = open(guard(Step::ForSections));
            for (Family f : kFamilies) {
                const std::size_t g = open(familyGuard(f));
                addSectionRows(block, f);
                close(g);
            }
            close(s);
        }
        close(method);
    }
};

inline constexpr Plan kPlan = PlanBuilder{}.build();

}  // namespace detail

// The plan of all 90 rows.
inline constexpr std::span<const PlanNode> plan() { return {detail::kPlan.nodes.data(), detail::kPlan.size}; }

// Declares (SinkMode::Declare) or emits (SinkMode::Emit) the distribution's own equations.
template <class Context, class Sink>
void walkEquations(Context& context, Sink& sink, std::int32_t groupBase) {
    walkPlan(plan(), context, sink, groupBase);
}

// The first equation that would read outside its section, for the context's current grid.
template <class Context>
StencilFault checkEquationStencils(Context& context) {
    return checkStencils(plan(), context);
}

}  // namespace morvane::eqn::d1
