// The steps of a distribution's equation plan, which the plan builder (eqn_plan.h) makes when the
// library is built and the equation walker (eqn_walker.h) runs.
//
// A plan is a flat, compile-time array of steps in nesting order: guards (method, order used,
// integral selector, section position, element start, highest order), loops (sections, node
// ranges, elements, the one-element set of an element start) and rows. Every step records where
// its body ends, so the walker runs a body by walking the steps up to that end. A row names its
// catalogue number, group offset, axis, formula and the arrays its formula's roles stand for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

#include "distribution/eqn_formula.h"
#include "distribution/eqn_table.h"

namespace morvane::eqn {

enum class Step : std::uint8_t {
  IfIntegral,             // selectors: tested in order until one is in INTEGRALS
  IfMethod,               // text: the method name, compared ignoring case
  IfOrderAbove,           // the axis's order used > value
  IfFirstSection,         // s == 1
  IfLaterSection,         // s != 1
  IfElementStartNonZero,  // j != 0
  IfHighestOrderIs,       // the axis's highest order == value
  ForSections,            // s = 1 .. NUMSECTIONS
  ForNodes,               // i = lo .. hi
  ForElements,            // e = 1 .. NUMELEMENTS of section s
  ForElementStart,        // j in { BASE + (e-1)*(NUMPOLYPOINTS+1) }
  ForAxisRange,           // another axis's index over lo .. hi (an End bound counts from that axis's ENDNODE)
  ForAxisSet,             // another axis's index over the set `value` names (AxisSet::Boundary or Interior)
  Row,
};

struct PlanNode {
  Step step = Step::Row;
  std::uint8_t axis = 0;
  std::uint16_t end = 0;   // index one past the last step of this step's body
  std::int32_t value = 0;  // bound of an order test; group offset of a row
  std::uint16_t row = 0;   // catalogue number of a row
  Index lo{};              // node range
  Index hi{};
  const char* text = nullptr;  // method name
  Selectors selectors{};       // of an integral test
  const Formula* formula = nullptr;
  Binding binding{};
  std::uint32_t reads = 0;  // of a node or element loop: the arrays its rows read (bit per array)
};

// Gives every node and element loop of a plan the arrays that the rows in its body read, so
// that a walk can ask for their next elements ahead (see EquationWalker::ReadAheadOfLoop).
constexpr void NoteLoopReads(std::span<PlanNode> plan) {
  for (std::size_t n = 0; n < plan.size(); ++n) {
    PlanNode& loop = plan[n];
    if (loop.step != Step::ForNodes && loop.step != Step::ForElementStart) continue;
    loop.reads = 0;
    for (std::size_t k = n + 1; k < loop.end && k < plan.size(); ++k) {
      const PlanNode& row = plan[k];
      if (row.step != Step::Row) continue;
      // (A plan built while the library is built always names a formula; comparing the
      // address of one with null is not a constant expression under every compiler mode.)
      if (!std::is_constant_evaluated() && row.formula == nullptr) continue;
      for (std::size_t t = 0; t < row.formula->termCount; ++t) {
        const Item& term = row.formula->Term(t);
        if (term.role == Role::Step) continue;
        const std::uint8_t array = row.binding.arrays[static_cast<std::size_t>(term.role)];
        if (array < 32) loop.reads |= std::uint32_t{1} << array;  // (kUnbound never stands for a read)
      }
    }
  }
}

}  // namespace morvane::eqn
