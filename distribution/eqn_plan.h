// The plan builder: turns a distribution's description (eqn_table.h) into the flat plan of guards,
// loops and rows that the equation walker runs, when the library is built.
//
// The nesting rules, for every distribution:
//   - the integral-start rows first, in order; consecutive ones with the same selectors share one
//     guard; each stands inside its loops over the other axes;
//   - then the method blocks, each under its method test on its own axis. With its sections
//     inside its families (every block of two or three axes, and the difference blocks of one):
//       first-derivative family:  order used > 0 { other-axis loops { for s { section rows } } }
//       second-derivative family: order used > 1 { for s { section rows } }
//       integral families:        selectors { other-axis loops { for s { section rows } } }
//     With its families inside its sections (the one-dimensional collocation blocks):
//       for s { each family's guard { section rows } };
//   - section rows, in table order: a first-section row under s == 1, a row of every section as
//     it is, a node row in its node loop, and consecutive element rows in one element loop
//     (for e, for j in {b + (e-1)(P+1)});
//   - in the second-derivative family, consecutive second-derivative rows stand inside one set of
//     the family's loops over the other axes; junction rows inside the junction loops, under the
//     junction guard (s != 1 for the differences; j != 0 and highest order == 2 for collocation,
//     whose whole family runs inside the element loop), placed before or inside those loops.
// The method blocks follow the method table (tq_methods.h): one block for every method along every
// axis, in the table's order, axis by axis; the second-derivative family of a collocation method
// runs in its elements, that of any other method in its node loops; every row reads within the
// method's reach, an element row inside its element (j .. j + points + 1), and the widest row of a
// block spans the whole reach, the fewest intervals the domain gives a section.
// A description that breaks a rule the walker relies on (rows out of order, a formula outside the
// catalogue or with an unbound role, a row whose other axes are not all looped, a block that
// disagrees with the method table) stops the build.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "distribution/eqn_formula_catalogue.h"
#include "distribution/eqn_steps.h"
#include "distribution/eqn_table.h"
#include "domain/tq_methods.h"

namespace morvane::eqn {

namespace detail {

// Stops the build: the description breaks one of the rules above (the argument says where).
inline void DistributionDescriptionIsInconsistent(int /*row*/) {}

class PlanBuilder {
 public:
  // With out == nullptr the builder only counts the steps.
  constexpr PlanBuilder(PlanNode* out, std::size_t capacity) : out_(out), capacity_(capacity) {}

  constexpr void Build(const DistributionTable& table) {
    table_ = &table;
    int expected = 1;
    std::size_t guardAt = 0;
    bool guardOpen = false;
    for (std::size_t k = 0; k < table.starts.size(); ++k) {
      const StartRow& start = table.starts[k];
      if (start.number != expected++) Fail(start.number);
      if (!guardOpen || !SameSelectors(start.selectors, table.starts[k - 1].selectors)) {
        if (guardOpen) Close(guardAt);
        guardAt = Open(IntegralGuard(start.selectors));
        guardOpen = true;
      }
      const std::size_t loops = OpenLoops(start.loops, start.axis, start.number);
      AddRow(start.number,
             start.group,
             start.axis,
             Binding{{kUnbound, kUnbound, kUnbound, start.array}},
             formulas::integral_start,
             0);
      CloseLoops(loops, start.loops);
    }
    if (guardOpen) Close(guardAt);
    if (table.blocks.size() != kDiscretizationMethodCount * table.axes) Fail(0);
    for (std::size_t k = 0; k < table.blocks.size(); ++k) {
      const MethodBlock& block = table.blocks[k];
      if (std::string_view(block.method) != kDiscretizationMethods[k / table.axes].name ||
          std::size_t{block.axis} != k % table.axes) {
        Fail(0);
      }
      for (const RowEntry& r : block.rows) {
        if (r.number != expected++) Fail(r.number);
      }
      AddBlock(block, kDiscretizationMethods[k / table.axes]);
    }
    if (out_ != nullptr) NoteLoopReads(std::span<PlanNode>(out_, size_));
  }

  constexpr std::size_t Size() const { return size_; }

 private:
  PlanNode* out_;
  std::size_t capacity_;
  std::size_t size_ = 0;
  const DistributionTable* table_ = nullptr;
  const TQ_MethodFacts* method_ = nullptr;  // of the block being added

  static void Fail(int where) { DistributionDescriptionIsInconsistent(where); }

  constexpr std::size_t Push(const PlanNode& n) {
    if (size_ == capacity_) Fail(0);
    if (out_ != nullptr) {
      out_[size_] = n;
      out_[size_].end = static_cast<std::uint16_t>(size_ + 1);
    }
    return size_++;
  }
  constexpr std::size_t Open(const PlanNode& n) { return Push(n); }
  constexpr void Close(std::size_t at) {
    if (out_ != nullptr) out_[at].end = static_cast<std::uint16_t>(size_);
  }

  static constexpr bool SameSelectors(const Selectors& a, const Selectors& b) {
    if (a.count != b.count) return false;
    for (std::size_t k = 0; k < a.count; ++k) {
      if (std::string_view(a.text[k]) != std::string_view(b.text[k])) return false;
    }
    return true;
  }

  static constexpr PlanNode StepNode(Step kind, std::uint8_t axis, std::int32_t value = 0) {
    PlanNode n;
    n.step = kind;
    n.axis = axis;
    n.value = value;
    return n;
  }
  static constexpr PlanNode IntegralGuard(const Selectors& s) {
    PlanNode n = StepNode(Step::IfIntegral, 0);
    n.selectors = s;
    return n;
  }

  // One loop per other axis, outermost first; every other axis is looped exactly once.
  constexpr std::size_t OpenLoops(const Loops& loops, std::uint8_t rowAxis, int where) {
    const std::size_t first = size_;
    std::uint32_t seen = 1u << rowAxis;
    for (std::size_t k = 0; k < loops.count; ++k) {
      const AxisLoop& l = loops.loop[k];
      if (l.axis >= table_->axes || (seen & (1u << l.axis)) != 0) Fail(where);
      seen |= 1u << l.axis;
      PlanNode n;
      n.axis = l.axis;
      switch (l.set) {
        case AxisSet::Nodes:
          n.step = Step::ForAxisRange;
          n.lo = Index{Origin::Zero, 0};
          n.hi = Index{Origin::End, 0};
          break;
        case AxisSet::FromOne:
          n.step = Step::ForAxisRange;
          n.lo = Index{Origin::Zero, 1};
          n.hi = Index{Origin::End, 0};
          break;
        case AxisSet::Inner:
          n.step = Step::ForAxisRange;
          n.lo = Index{Origin::Zero, 1};
          n.hi = Index{Origin::End, -1};
          break;
        case AxisSet::Boundary:
        case AxisSet::Interior:
          n.step = Step::ForAxisSet;
          n.value = static_cast<std::int32_t>(l.set);
          break;
      }
      Open(n);
    }
    if (seen != (1u << table_->axes) - 1) Fail(where);
    return first;
  }
  constexpr void CloseLoops(std::size_t first, const Loops& loops) {
    for (std::size_t k = loops.count; k > 0; --k) Close(first + k - 1);
  }

  constexpr void AddRow(std::uint16_t number,
                        std::int32_t group,
                        std::uint8_t axis,
                        const Binding& binding,
                        const Formula& f,
                        int stepTerms) {
    if (formulas::PlaceOf(&f) == formulas::kCatalogueSize || f.StepTerms() != stepTerms) Fail(number);
    for (std::size_t t = 0; t < f.termCount; ++t) {
      const Item& term = f.Term(t);
      if (term.role == Role::Step) continue;
      const std::uint8_t array = binding.arrays[static_cast<std::size_t>(term.role)];
      if (array == kUnbound || array >= table_->arrays) Fail(number);
    }
    PlanNode n = StepNode(Step::Row, axis, group);
    n.row = number;
    n.formula = &f;
    n.binding = binding;
    Push(n);
  }

  constexpr PlanNode FamilyGuard(const FamilyEntry& f, std::uint8_t axis) const {
    switch (f.kind) {
      case FamilyKind::First:
        return StepNode(Step::IfOrderAbove, axis, 0);
      case FamilyKind::Second:
        return StepNode(Step::IfOrderAbove, axis, 1);
      case FamilyKind::Integral:
        break;
    }
    if (f.selectors.count == 0) Fail(0);
    return IntegralGuard(f.selectors);
  }

  static constexpr bool IsElementRow(const RowEntry& r) { return r.runs == Runs::Element || r.runs == Runs::Junction; }
  static constexpr bool IsJunctionRow(const RowEntry& r) {
    return r.runs == Runs::LaterSections || r.runs == Runs::Junction;
  }

  constexpr void AddBlockRow(const MethodBlock& block, const RowEntry& r) {
    AddRow(r.number, block.group, block.axis, block.families[r.family].binding, *r.formula, 1);
  }

  // A row that runs once per section, or in its own node loop.
  constexpr void AddSectionRow(const MethodBlock& block, const RowEntry& r) {
    switch (r.runs) {
      case Runs::FirstSection:
      case Runs::LaterSections: {
        const std::size_t g =
            Open(StepNode(r.runs == Runs::FirstSection ? Step::IfFirstSection : Step::IfLaterSection, block.axis));
        AddBlockRow(block, r);
        Close(g);
        break;
      }
      case Runs::EverySection:
        AddBlockRow(block, r);
        break;
      case Runs::Nodes: {
        PlanNode loop = StepNode(Step::ForNodes, block.axis);
        loop.lo = r.lo;
        loop.hi = r.hi;
        const std::size_t l = Open(loop);
        AddBlockRow(block, r);
        Close(l);
        break;
      }
      case Runs::Element:
      case Runs::Junction:
        Fail(r.number);
        break;
    }
  }

  constexpr std::size_t OpenElements(std::uint8_t axis) {
    const std::size_t e = Open(StepNode(Step::ForElements, axis));
    Open(StepNode(Step::ForElementStart, axis));
    return e;
  }
  constexpr void CloseElements(std::size_t e) {
    Close(e + 1);
    Close(e);
  }

  // The rows of family f inside one section (and, for a collocation second-derivative family,
  // inside one element), in table order.
  constexpr void AddSectionRows(const MethodBlock& block, std::uint8_t family) {
    const FamilyEntry& f = block.families[family];
    const auto rows = block.rows;
    std::size_t k = 0;
    while (k < rows.size() && rows[k].family != family) ++k;
    std::size_t end = k;
    while (end < rows.size() && rows[end].family == family) ++end;
    if (k == end) Fail(0);

    if (f.kind != FamilyKind::Second) {
      while (k < end) {
        if (rows[k].runs == Runs::Junction) Fail(rows[k].number);
        if (rows[k].runs != Runs::Element) {
          AddSectionRow(block, rows[k++]);
          continue;
        }
        const std::size_t e = OpenElements(block.axis);
        for (; k < end && rows[k].runs == Runs::Element; ++k) AddBlockRow(block, rows[k]);
        CloseElements(e);
      }
      return;
    }

    const bool collocation = method_->collocation;
    std::size_t e = 0;
    if (collocation) e = OpenElements(block.axis);
    while (k < end) {
      if (IsElementRow(rows[k]) != collocation) Fail(rows[k].number);
      if (!IsJunctionRow(rows[k])) {
        const std::size_t l = OpenLoops(f.loops, block.axis, rows[k].number);
        for (; k < end && !IsJunctionRow(rows[k]); ++k) {
          if (collocation) {
            AddBlockRow(block, rows[k]);
          } else {
            AddSectionRow(block, rows[k]);
          }
        }
        CloseLoops(l, f.loops);
        continue;
      }
      const bool before = f.junctionGuard == GuardAt::BeforeLoops;
      std::size_t guards = 0;
      std::size_t l = 0;
      if (!before) l = OpenLoops(f.junction, block.axis, rows[k].number);
      if (collocation) {
        guards = Open(StepNode(Step::IfElementStartNonZero, block.axis));
        Open(StepNode(Step::IfHighestOrderIs, block.axis, 2));
      } else {
        guards = Open(StepNode(Step::IfLaterSection, block.axis));
      }
      if (before) l = OpenLoops(f.junction, block.axis, rows[k].number);
      for (; k < end && IsJunctionRow(rows[k]); ++k) {
        if (rows[k].runs != (collocation ? Runs::Junction : Runs::LaterSections)) Fail(rows[k].number);
        AddBlockRow(block, rows[k]);
      }
      if (before) CloseLoops(l, f.junction);
      if (collocation) Close(guards + 1);
      Close(guards);
      if (!before) CloseLoops(l, f.junction);
    }
    if (collocation) CloseElements(e);
  }

  // The nodes a row reads along its axis, as offsets from the one origin of its index.
  struct Reach {
    Origin origin = Origin::Zero;
    std::int32_t lo = 0;
    std::int32_t hi = 0;
  };
  static constexpr Reach ReachOf(const RowEntry& r) {
    Reach reach;
    bool first = true;
    for (std::size_t t = 0; t < r.formula->termCount; ++t) {
      const Item& term = r.formula->Term(t);
      if (term.role == Role::Step) continue;
      if (first) {
        reach = Reach{term.index.origin, term.index.offset, term.index.offset};
        first = false;
      } else if (term.index.origin != reach.origin) {
        Fail(r.number);
      }
      reach.lo = term.index.offset < reach.lo ? term.index.offset : reach.lo;
      reach.hi = term.index.offset > reach.hi ? term.index.offset : reach.hi;
    }
    return reach;
  }

  // Every row within the method's reach, element rows inside their element, and the widest row
  // spanning the whole reach.
  constexpr void CheckReach(const MethodBlock& block) const {
    std::int32_t widest = 0;
    for (const RowEntry& r : block.rows) {
      const Reach reach = ReachOf(r);
      const std::int32_t span = reach.hi - reach.lo;
      if (span > method_->reach) Fail(r.number);
      if (span > widest) widest = span;
      if (IsElementRow(r) && (reach.origin != Origin::Element || reach.lo < 0 || reach.hi > method_->points + 1)) {
        Fail(r.number);
      }
    }
    if (widest != method_->reach) Fail(0);
  }

  // `facts` is the method table's row that Build found by the block's name. (Not looked up again
  // and tested against null: where null-pointer checks are kept, as under GCC's
  // -fsanitize=undefined, comparing an object's address with null is not a constant expression.)
  constexpr void AddBlock(const MethodBlock& block, const TQ_MethodFacts& facts) {
    if (block.axis >= table_->axes || block.families.empty()) Fail(0);
    method_ = &facts;
    CheckReach(block);
    for (std::size_t k = 0; k < block.rows.size(); ++k) {
      const RowEntry& r = block.rows[k];
      if (r.family >= block.families.size() || (k > 0 && r.family < block.rows[k - 1].family)) Fail(r.number);
    }
    const std::size_t method = Open(StepNode(Step::IfMethod, block.axis));
    if (out_ != nullptr) out_[method].text = block.method;
    const auto families = static_cast<std::uint8_t>(block.families.size());
    if (block.nesting == Nesting::FamiliesInSections) {
      const std::size_t s = Open(StepNode(Step::ForSections, block.axis));
      for (std::uint8_t f = 0; f < families; ++f) {
        if (block.families[f].loops.count != 0) Fail(0);
        const std::size_t g = Open(FamilyGuard(block.families[f], block.axis));
        AddSectionRows(block, f);
        Close(g);
      }
      Close(s);
    } else {
      for (std::uint8_t f = 0; f < families; ++f) {
        const FamilyEntry& family = block.families[f];
        const std::size_t g = Open(FamilyGuard(family, block.axis));
        std::size_t l = 0;
        if (family.kind != FamilyKind::Second) l = OpenLoops(family.loops, block.axis, 0);
        const std::size_t s = Open(StepNode(Step::ForSections, block.axis));
        AddSectionRows(block, f);
        Close(s);
        if (family.kind != FamilyKind::Second) CloseLoops(l, family.loops);
        Close(g);
      }
    }
    Close(method);
  }
};

}  // namespace detail

// The number of steps the plan of a description holds.
consteval std::size_t PlanStepCount(const DistributionTable& table) {
  detail::PlanBuilder counter(nullptr, 1u << 16);
  counter.Build(table);
  return counter.Size();
}

template <std::size_t N>
struct Plan {
  std::array<PlanNode, N> nodes{};
  constexpr std::span<const PlanNode> Steps() const { return {nodes.data(), nodes.size()}; }
};

// The plan of a description, made when the library is built.
template <const DistributionTable& Table>
consteval Plan<PlanStepCount(Table)> BuildPlan() {
  Plan<PlanStepCount(Table)> plan;
  detail::PlanBuilder builder(plan.nodes.data(), plan.nodes.size());
  builder.Build(Table);
  return plan;
}

}  // namespace morvane::eqn
