// The walker that runs a distribution's equation plan and hands every equation to a sink. (The
// plan's steps: eqn_steps.h; what a Check and a Count walk find: eqn_walk_results.h.)
//
// The same walk serves three purposes, chosen by the sink's mode:
//   Declare: per equation the group, then one term per variable or parameter, in formula order;
//   Emit:    per equation the name, the group, then the whole prefix program;
//   Check:   no sink calls; node and set loops visit only their first and last member (which
//            bound every index their rows read), element loops their first and last element and
//            the first that reaches past the section's node count (the first to read outside
//            it), and every equation that would run is tested against the grid: each index along
//            its own axis against its section and the domain's nodes, each index along another
//            axis against that domain's nodes, the nodes where a second derivative's row stands
//            (over the whole loop) against its own axis's INTERIOR, and the elements of every
//            element loop against their section;
//   Count:   no sink calls; counts the equations and terms a walk would hand on, in double (so
//            that no size wraps), walking a loop's body once for all its members wherever the
//            body does not depend on the loop's value.
// Declaring and emitting therefore see the same equations with the same terms by construction.
//
// The walker reads through the context at the places where the equations' protocol reads: the
// method at every method test, the integral selection at every integral test, the order used
// and the highest order at their tests, the section count at the section loop, a node range's
// bounds when its loop starts, the element count at the element loop, the element start (base
// and point count) per element, and the section's base and node count for every term that
// needs them. The context decides how it reads (from the host's values, a cache, a test grid).
//
// A row names a formula of the catalogue (eqn_formula_catalogue.h): the walker runs the code
// compiled for that formula, and hands nothing on for a formula that is not one of it.
//
// Context requirements (axis is 0 for x, 1 for y, 2 for z; s counts sections from 1):
//   using Coord = std::array<std::int32_t, D>;   using Handle = ...;
//   const char* Method(int axis);                 // discretization method text (null: none)
//   bool SelectsIntegral(const char* selector);   // e.g. "idx"
//   std::int32_t OrderUsed(int axis), HighestOrder(int axis);
//   std::int32_t NumSections(int axis), NumPolyPoints(int axis);
//   std::int32_t Base(int axis, std::int32_t s), NodeCount(int axis, std::int32_t s),
//                NumElements(int axis, std::int32_t s);
//   Handle ElementLength(int axis, std::int32_t s);            // the parameter term h
//   Handle Variable(std::uint8_t array, const Coord& index);   // an element of an array
// A plan names arrays by number; the context refuses a number it does not hold.
// A Check walk, and a walk over more than one axis (loops over the other axes' nodes), read the
// domain's last node:
//   std::int32_t EndNode(int axis);
// and, with more than one axis (over one, a Check walk where the context offers it, for the
// INTERIOR of a second derivative's own axis):
//   void ForEachInSet(int axis, AxisSet set, F&& visit);       // visit(std::int64_t) per member
//                                                              // (Boundary or Interior), ascending
// and, optionally, for a Check walk (where the context offers it, the nodes of the second
// derivatives' rows are checked against their axis's INTERIOR):
//   bool InteriorHolds(int axis, std::int64_t first, std::int64_t count, std::int64_t stride,
//                      std::int64_t& missing);   // whether first, first + stride, ... (count of
//                                                // them) are members; else the first that is not
// and, optionally, while emitting:
//   bool ReadsAhead();                                         // whether to tell it (a large grid)
//   void ReadAhead(std::uint8_t array, const Coord& index);    // a hint: that element is named soon
//   void ReadSlotAhead(std::uint8_t array, const Coord& index);  // and, earlier, where its address is
//
// Sink requirements: static constexpr SinkMode kMode;
//   W OpenEquation(int row, const char* name, std::int32_t group);   // opens an equation
// where W (the sink itself by reference, or a small writer by value, which the row's code keeps
// in registers while it hands the equation on) takes the equation's items:
//   void AddTerm(Handle);                      // Declare and Emit
//   void AddOperator(Op); void AddConstant(std::int32_t); void AddConstant(double);   // Emit only
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "distribution/eqn_formula.h"
#include "distribution/eqn_formula_catalogue.h"
#include "distribution/eqn_names.h"
#include "distribution/eqn_steps.h"
#include "distribution/eqn_table.h"
#include "distribution/eqn_walk_results.h"

namespace morvane::eqn {

enum class SinkMode : std::uint8_t { Declare, Emit, Check, Count };

namespace detail {
// What a context's Along returns; nothing for a context that has no Along.
template <class Context, bool kAlong>
struct LineOf {
  struct None {};
  using type = None;
};
template <class Context>
struct LineOf<Context, true> {
  using type =
      decltype(std::declval<Context&>().Along(std::uint8_t{0}, 0, std::declval<const typename Context::Coord&>()));
};
}  // namespace detail

// Runs a plan against a context, handing equations to a sink.
template <class Context, class Sink>
class EquationWalker {
 public:
  using Coord = typename Context::Coord;
  using Handle = typename Context::Handle;

  EquationWalker(Context& context, Sink& sink, std::int32_t groupBase)
      : ctx_(context), sink_(sink), groupBase_(groupBase) {}

  void Run(std::span<const PlanNode> plan) {
    base_ = plan.data();
    Env env{};
    Walk(plan.data(), plan.data() + plan.size(), env);
  }

  // The first fault a Check walk found.
  const GridFault& Fault() const { return fault_; }
  // What a Count walk counted.
  const PlanSize& Size() const { return size_; }

 private:
  static constexpr bool kCheck = Sink::kMode == SinkMode::Check;
  static constexpr bool kCount = Sink::kMode == SinkMode::Count;

  // Loop values are kept wide, so that a Check walk over nonsense section values reports the
  // node it would reach instead of a wrapped one.
  struct Env {
    std::int32_t s = 0;
    std::int64_t i = 0;
    std::int64_t e = 0;
    std::int64_t j = 0;
    Coord other{};  // indices along the other axes, set by their loops
  };

  Context& ctx_;
  Sink& sink_;
  std::int32_t groupBase_;
  const PlanNode* base_ = nullptr;
  GridFault fault_{};
  PlanSize size_{};
  // Check: the node loop and the element loop the walk stands in (a Check walk visits only some
  // of their members; a second derivative's row is checked over all of them).
  std::int64_t nodesFirst_ = 0;
  std::int64_t nodesLast_ = -1;
  std::int64_t elements_ = 0;
  double weight_ = 1.0;  // Count: the passes the current body stands for

  // Count: runs body once, with the loop's first member, for all `members` of the loop.
  template <class Body>
  void Weighted(double members, std::int64_t first, Body&& body) {
    if (members <= 0) return;
    const double saved = weight_;
    weight_ *= members;
    body(first);
    weight_ = saved;
  }

  // Runs body for v = lo .. hi; a Check walk visits only the first and the last member, which
  // bound every index of the body (all indices move with the loop value one for one).
  template <class Body>
  static void Range(std::int64_t lo, std::int64_t hi, Body&& body) {
    if constexpr (kCheck) {
      if (lo <= hi) body(lo);
      if (lo < hi) body(hi);
    } else {
      for (std::int64_t v = lo; v <= hi; ++v) body(v);
    }
  }

  static constexpr std::size_t kAxes = std::tuple_size_v<Coord>;

  // A bound of a loop over another axis: a constant, or (origin End) that axis's ENDNODE plus
  // the offset.
  std::int64_t AxisBound(const Index& bound, int axis) {
    if constexpr (kAxes > 1) {
      if (bound.origin == Origin::End) return std::int64_t{ctx_.EndNode(axis)} + bound.offset;
    }
    return bound.offset;
  }

  std::int64_t IndexValue(const Index& index, int axis, const Env& env) {
    switch (index.origin) {
      case Origin::Zero:
        return index.offset;
      case Origin::Base:
        return std::int64_t{ctx_.Base(axis, env.s)} + index.offset;
      case Origin::End:
        return std::int64_t{ctx_.Base(axis, env.s)} + ctx_.NodeCount(axis, env.s) + index.offset;
      case Origin::Node:
        return env.i + index.offset;
      case Origin::Element:
        return env.j + index.offset;
    }
    return 0;
  }

  // ---- Rows: the code of each catalogue formula, compiled when the library is built ----
  //
  // For the formula at place P of the catalogue, RowOf<P> hands the sink the equation, then (declaring) its terms or
  // (emitting) its whole program, item by item, as straight code: the item kinds, operators,
  // constants and index origins are fixed in it; only the loop values, the section and the
  // row's arrays are read as it runs. The terms are looked up first, all together, before the
  // program goes to the sink.

  template <std::size_t P>
  void RowOf(const PlanNode& row, const Env& loops) {
    decltype(auto) out = sink_.OpenEquation(row.row, RowEquationName(row.row), groupBase_ + row.value);
    // The row's arrays and the loop values, read once: the lookups store into the host's
    // arrays, after which anything read through a byte or a reference would be read again.
    const Binding binding = row.binding;
    const Env env = loops;
    constexpr std::size_t kTerms = formulas::kCatalogue[P].termCount;
    constexpr std::size_t kItems = formulas::kCatalogue[P].itemCount;
    std::array<Handle, kTerms> handles;
    if constexpr (kAlong) {
      if (linesFor_ != &row) FindLines<P>(row, binding, env);
    }
    [&]<std::size_t... K>(std::index_sequence<K...>) { ((handles[K] = TermOf<P, K>(row.axis, binding, env)), ...); }
    (std::make_index_sequence<kTerms>{});
    if constexpr (Sink::kMode == SinkMode::Emit) {
      [&]<std::size_t... K>(std::index_sequence<K...>) { (HandItem<P, K>(out, handles), ...); }
      (std::make_index_sequence<kItems>{});
    } else {
      for (const Handle& h : handles) out.AddTerm(h);
    }
  }

  // Over more than one axis, the terms of a row differ only along the row's own axis: a
  // context that can find an array's elements along one axis (Along) is asked for the line of
  // each array the row reads, and each term is then found by its index alone. The lines are
  // kept for the rows that follow with the same arrays along the same axis while the indices
  // along the other axes stay (a node loop's row, an element's rows), and found again after a
  // term had to be asked of the array itself (which may move the array's slots).
  static constexpr bool kAlong = kAxes > 1 && (Sink::kMode == SinkMode::Emit || Sink::kMode == SinkMode::Declare) &&
                                 requires(Context& c, const Coord& at) {
    c.Along(std::uint8_t{0}, 0, at).At(std::int32_t{0});
  };

  // The lines found last: of the arrays `binding` names in `roles` (a bit per role), along
  // `axis`, through the other indices the walk stands at; none while linesFor_ is null, else
  // found for row *linesFor_ (and good for any row with the same arrays along the same axis).
  struct Lines {
    std::array<typename detail::LineOf<Context, kAlong>::type, kArrayRoles> line{};
    Binding binding{};
    std::uint8_t axis = 0;
    std::uint8_t roles = 0;
  };
  Lines lines_;
  const PlanNode* linesFor_ = nullptr;

  // The roles whose arrays formula P reads, a bit per role.
  template <std::size_t P>
  static constexpr std::uint8_t kRolesRead = [] {
    unsigned int reads = 0;
    for (std::size_t k = 0; k < formulas::kCatalogue[P].termCount; ++k) {
      const Role role = formulas::kCatalogue[P].Term(k).role;
      if (role != Role::Step) reads |= 1u << static_cast<unsigned int>(role);
    }
    return static_cast<std::uint8_t>(reads);
  }();

  // Makes the lines those of `row`: kept where the row before read the same arrays along the
  // same axis, found for the roles not yet held.
  template <std::size_t P>
  [[gnu::noinline]] void FindLines(const PlanNode& row, const Binding& binding, const Env& env) {
    if constexpr (kAlong) {
      if (linesFor_ == nullptr || lines_.axis != row.axis || !(lines_.binding == binding)) lines_.roles = 0;
      const unsigned int missing = kRolesRead<P> & ~lines_.roles;
      for (std::size_t r = 0; r < kArrayRoles; ++r) {
        if ((missing >> r) & 1u) lines_.line[r] = ctx_.Along(binding.arrays[r], row.axis, env.other);
      }
      lines_.roles = static_cast<std::uint8_t>(lines_.roles | kRolesRead<P>);
      lines_.binding = binding;
      lines_.axis = row.axis;
      linesFor_ = &row;
    }
  }

  // Term K of F: the section's element length, or the element its index names in the array
  // its role stands for on this row (along the row's line while the lines hold).
  template <std::size_t P, std::size_t K>
  [[gnu::always_inline]] Handle TermOf(int axis, const Binding& binding, const Env& env) {
    constexpr const Item& it = formulas::kCatalogue[P].Term(K);
    if constexpr (it.role == Role::Step) {
      return ctx_.ElementLength(axis, env.s);
    } else {
      constexpr std::size_t kRole = static_cast<std::size_t>(it.role);
      if constexpr (kAlong) {
        if (linesFor_ != nullptr) {
          if (const Handle found = lines_.line[kRole].At(static_cast<std::int32_t>(AxisIndexOf<it.index>(axis, env))))
              [[likely]]
            return found;
          linesFor_ = nullptr;
        }
      }
      return ctx_.Variable(binding.arrays[kRole], IndexOf<it.index>(axis, env));
    }
  }

  // Where an index of a row points.
  template <Index I>
  [[gnu::always_inline]] Coord IndexOf(int axis, const Env& env) {
    Coord at = env.other;
    at[static_cast<std::size_t>(axis)] = static_cast<std::int32_t>(AxisIndexOf<I>(axis, env));
    return at;
  }

  // Where an index of a row points along the row's axis.
  template <Index I>
  [[gnu::always_inline]] std::int64_t AxisIndexOf(int axis, const Env& env) {
    std::int64_t k = I.offset;
    if constexpr (I.origin == Origin::Base) {
      k += ctx_.Base(axis, env.s);
    } else if constexpr (I.origin == Origin::End) {
      k += std::int64_t{ctx_.Base(axis, env.s)} + ctx_.NodeCount(axis, env.s);
    } else if constexpr (I.origin == Origin::Node) {
      k += env.i;
    } else if constexpr (I.origin == Origin::Element) {
      k += env.j;
    }
    return k;
  }

  // The number of terms before item K of F: the place of item K's handle.
  template <std::size_t P, std::size_t K>
  static constexpr std::size_t TermBefore() {
    std::size_t n = 0;
    for (std::size_t k = 0; k < K; ++k) n += formulas::kCatalogue[P].items[k].kind == ItemKind::Term ? 1 : 0;
    return n;
  }

  template <std::size_t P, std::size_t K, class Out, std::size_t N>
  [[gnu::always_inline]] static void HandItem(Out& out, const std::array<Handle, N>& handles) {
    constexpr const Item& it = formulas::kCatalogue[P].items[K];
    if constexpr (it.kind == ItemKind::Operator) {
      out.AddOperator(it.op);
    } else if constexpr (it.kind == ItemKind::IntConst) {
      out.AddConstant(it.ivalue);
    } else if constexpr (it.kind == ItemKind::DoubleConst) {
      out.AddConstant(it.dvalue);
    } else {
      out.AddTerm(handles[TermBefore<P, K>()]);
    }
  }

  using RowCode = void (EquationWalker::*)(const PlanNode&, const Env&);
  static constexpr std::array<RowCode, formulas::kCatalogueSize> kRowCode =
      []<std::size_t... P>(std::index_sequence<P...>) {
    return std::array<RowCode, formulas::kCatalogueSize>{&EquationWalker::RowOf<P>...};
  }
  (std::make_index_sequence<formulas::kCatalogueSize>{});

  // An equation that would run: every node it reads along its own axis lies in its section (an
  // integral start, outside every section, reads node 0) and among the domain's nodes 0 ..
  // ENDNODE, a second derivative's row finds its own domain's INTERIOR among those nodes
  // (InteriorOutside), and its indices along the other axes lie among their domains' nodes.
  void CheckRow(const PlanNode& row, const Env& env) {
    if (fault_.found) return;
    GridFault fault;
    fault.found = true;
    fault.row = row.row;
    fault.axis = row.axis;
    fault.section = env.s;
    fault.last = std::numeric_limits<std::int32_t>::max();
    if (env.s != 0) {
      fault.first = ctx_.Base(row.axis, env.s);
      fault.last = fault.first + ctx_.NodeCount(row.axis, env.s);
    }
    fault.end = ctx_.EndNode(row.axis);
    if (fault.last < fault.first) {  // a negative node count: the section holds no node
      fault.kind = FaultKind::NodeOutside;
      fault.index = fault.last;
      fault_ = fault;
      return;
    }
    const Formula& f = *row.formula;
    for (std::size_t k = 0; k < f.termCount; ++k) {
      const Item& item = f.Term(k);
      if (item.role == Role::Step) continue;
      const std::int64_t at = IndexValue(item.index, row.axis, env);
      if (at < fault.first || at > fault.last) {
        fault.kind = FaultKind::Stencil;
        fault.index = at;
        fault_ = fault;
        return;
      }
      if (at < 0 || at > fault.end) {
        fault.kind = FaultKind::NodeOutside;
        fault.index = at;
        fault_ = fault;
        return;
      }
    }
    if (InteriorOutside(row, fault)) return;
    if (InteriorMissing(row, env, fault)) return;
    if constexpr (kAxes > 1) {
      for (std::size_t k = 0; k < kAxes; ++k) {
        const int other = static_cast<int>(k);
        if (other == row.axis) continue;
        const std::int64_t at = env.other[k];
        const std::int64_t end = ctx_.EndNode(other);
        if (at >= 0 && at <= end) continue;
        const SetExtent& interior = InteriorExtent(other);
        fault.kind = FaultKind::SetOutside;
        fault.axis = other;
        fault.section = 0;
        fault.index = at;
        fault.first = interior.lo;
        fault.last = interior.hi;
        fault.end = end;
        fault_ = fault;
        return;
      }
    }
  }

  // The second derivatives along an axis are declared at the members of its domain's INTERIOR
  // (their index sets along that axis are cut to it), over any number of axes, whatever the
  // other axes' orders: a row of a second derivative finds a member outside the domain's nodes
  // 0 .. ENDNODE a fault, as a loop of another axis's rows over the INTERIOR does. (Its own node
  // loop runs over the section's nodes and never reads the INTERIOR; without this, a grid whose
  // other axes use no second derivatives would pass.) True, with the fault kept, when it does; a
  // context that cannot visit the INTERIOR is not asked.
  bool InteriorOutside(const PlanNode& row, GridFault fault) {
    if constexpr (requires(Context & c) { c.ForEachInSet(0, AxisSet::Interior, IgnoreMember{}); }) {
      const Formula& f = *row.formula;
      bool second = false;
      for (std::size_t k = 0; k < f.termCount; ++k) second = second || f.Term(k).role == Role::SecondDerivative;
      if (!second) return false;
      const SetExtent& interior = InteriorExtent(row.axis);
      if (!interior.any || (interior.lo >= 0 && interior.hi <= fault.end)) return false;
      fault.kind = FaultKind::SetOutside;
      fault.section = 0;
      fault.index = interior.lo < 0 ? interior.lo : interior.hi;
      fault.first = interior.lo;
      fault.last = interior.hi;
      fault_ = fault;
      return true;
    } else {
      return false;
    }
  }
  struct IgnoreMember {
    void operator()(std::int64_t) const {}
  };

  // The second derivatives along an axis are declared at the members of its domain's INTERIOR,
  // while their rows are placed by the section, node and element loops: every node where such a
  // row stands must be a member (an INTERIOR fixed without it would leave the row's element out
  // of its array's index set). Checked once per loop, over all its members (at the loop's first
  // visit), and for a row outside node and element loops at each of its sections. True, with the
  // fault kept, when a node is left out; a context that cannot tell is not asked.
  bool InteriorMissing(const PlanNode& row, const Env& env, GridFault fault) {
    if constexpr (requires(Context & c, std::int64_t & missing) { c.InteriorHolds(0, 0, 0, 0, missing); }) {
      const Formula& f = *row.formula;
      for (std::size_t k = 0; k < f.termCount; ++k) {
        const Item& item = f.Term(k);
        if (item.role != Role::SecondDerivative) continue;
        std::int64_t first = IndexValue(item.index, row.axis, env);
        std::int64_t count = 1;
        std::int64_t stride = 1;
        if (item.index.origin == Origin::Node) {
          if (env.i != nodesFirst_) continue;  // checked at the loop's first node
          count = nodesLast_ - nodesFirst_ + 1;
        } else if (item.index.origin == Origin::Element) {
          if (env.e != 1) continue;  // checked at the loop's first element
          count = elements_;
          stride = std::int64_t{ctx_.NumPolyPoints(row.axis)} + 1;
          // (A negative point count: every element starts at the first one's node.)
          if (stride < 1) {
            stride = 1;
            count = 1;
          }
        }
        std::int64_t missing = 0;
        if (count <= 0 || ctx_.InteriorHolds(row.axis, first, count, stride, missing)) continue;
        fault.kind = FaultKind::InteriorMissing;
        fault.index = missing;
        fault_ = fault;
        return true;
      }
    }
    return false;
  }

  // The elements of section s along `axis`, of NUMPOLYPOINTS + 1 intervals each, fill it: the
  // element rows run element by element, and a node past the last element would have none of
  // them. (Elements that reach past the section's end: the rows that read there are found by
  // the check of their nodes.)
  void CheckElements(int axis, const Env& env, std::int32_t elements) {
    if (fault_.found) return;
    const std::int64_t perElement = std::int64_t{ctx_.NumPolyPoints(axis)} + 1;
    const std::int64_t intervals = ctx_.NodeCount(axis, env.s);
    if (std::int64_t{elements} * perElement >= intervals) return;
    fault_.found = true;
    fault_.kind = FaultKind::Unfilled;
    fault_.axis = axis;
    fault_.section = env.s;
    fault_.first = ctx_.Base(axis, env.s);
    fault_.last = fault_.first + intervals;
    fault_.elements = elements;
    fault_.perElement = perElement;
  }

  // The least and greatest members of an axis's INTERIOR, read once per walk (a Check walk runs
  // a loop over a set at its least and greatest member only).
  struct SetExtent {
    bool known = false;
    bool any = false;
    std::int64_t lo = 0;
    std::int64_t hi = 0;
  };
  std::array<SetExtent, kAxes> extents_{};

  const SetExtent& InteriorExtent(int axis) {
    SetExtent& e = extents_[static_cast<std::size_t>(axis)];
    if (!e.known) {
      e.known = true;
      ctx_.ForEachInSet(axis, AxisSet::Interior, [&](std::int64_t v) {
        e.lo = e.any ? std::min(e.lo, v) : v;
        e.hi = e.any ? std::max(e.hi, v) : v;
        e.any = true;
      });
    }
    return e;
  }

  // Runs visit for the least and the greatest member of an axis's set ({0} ∪ INTERIOR ∪
  // {ENDNODE}, or INTERIOR alone).
  template <class Visit>
  void SetEnds(int axis, AxisSet set, Visit&& visit) {
    const SetExtent& interior = InteriorExtent(axis);
    std::int64_t lo = interior.lo;
    std::int64_t hi = interior.hi;
    if (set == AxisSet::Boundary) {
      const std::int64_t end = ctx_.EndNode(axis);
      lo = std::min({std::int64_t{0}, end, interior.any ? lo : 0});
      hi = std::max({std::int64_t{0}, end, interior.any ? hi : 0});
    } else if (!interior.any) {
      return;
    }
    visit(lo);
    if (hi != lo) visit(hi);
  }

  // A row whose formula is not one of the catalogue's has no code and hands nothing on (the
  // library's plans are checked for this when they are built).
  static RowCode CodeOfRow(const PlanNode& row) {
    const std::size_t place = formulas::PlaceOf(row.formula);
    return place < formulas::kCatalogueSize ? kRowCode[place] : nullptr;
  }

  void EmitRow(const PlanNode& row, const Env& env) {
    if (const RowCode code = CodeOfRow(row)) [[likely]]
      (this->*code)(row, env);
  }

  // ---- Reading ahead ----
  //
  // A context that can read ahead is told, at every step of a node or element loop, of the
  // elements its rows will read a few steps later (while declaring, of where their addresses
  // stand, as that is all a declaration reads): the walk moves up its loops,
  // one node or one element at a time. Node loops look kNodesAhead nodes ahead, element loops
  // kElementsAhead elements (every node of that element). Only a hint to the context: nothing
  // of what the walk names or hands on depends on it.
  static constexpr std::int64_t kNodesAhead = 16;
  static constexpr std::int64_t kElementsAhead = 4;
  static constexpr std::int64_t kMostNodesPerStep = 8;  // an element's nodes beyond these are not asked for
  // Declaring reads no element, only the slots that hold their addresses: it asks for those alone.
  static constexpr bool kReadsAhead =
      (Sink::kMode == SinkMode::Emit || Sink::kMode == SinkMode::Declare) && requires(Context & c, const Coord& at) {
    { c.ReadsAhead() } -> std::convertible_to<bool>;
    c.ReadAhead(std::uint8_t{0}, at);
    c.ReadSlotAhead(std::uint8_t{0}, at);
  };

  // (Inlined into the loop: a function that only reads memory and asks for lines may be judged
  // to do nothing, and its calls dropped, by the optimiser.)
  // The elements are asked for `ahead` nodes on, and the slots that hold their addresses (which
  // the context reads to find them) twice as far on, so that reading a slot seldom waits.
  [[gnu::always_inline]] void ReadAheadOfLoop(
      const PlanNode& loop, const Env& env, std::int64_t next, std::int64_t ahead, std::int64_t count) {
    if constexpr (kReadsAhead) {
      if (!ctx_.ReadsAhead()) return;
      count = std::min(count, kMostNodesPerStep);
      const std::int64_t first = next + ahead;
      const std::int64_t further = first + ahead;
      if (first < 0 || further + count > std::numeric_limits<std::int32_t>::max()) return;
      Coord at = env.other;
      for (std::uint32_t arrays = loop.reads; arrays != 0; arrays &= arrays - 1) {
        const auto array = static_cast<std::uint8_t>(std::countr_zero(arrays));
        for (std::int64_t k = 0; k < count; ++k) {
          if constexpr (Sink::kMode == SinkMode::Emit) {
            at[loop.axis] = static_cast<std::int32_t>(further + k);
            ctx_.ReadSlotAhead(array, at);
            at[loop.axis] = static_cast<std::int32_t>(first + k);
            ctx_.ReadAhead(array, at);
          } else {
            at[loop.axis] = static_cast<std::int32_t>(first + k);
            ctx_.ReadSlotAhead(array, at);
          }
        }
      }
    }
  }

  bool AnySelected(const Selectors& selectors) {
    for (std::size_t k = 0; k < selectors.count; ++k) {
      if (ctx_.SelectsIntegral(selectors.text[k])) return true;
    }
    return false;
  }

  void Walk(const PlanNode* first, const PlanNode* last, Env& env) {
    for (const PlanNode* n = first; n < last;) {
      const PlanNode* body = n + 1;
      const PlanNode* next = base_ + n->end;
      const int axis = n->axis;
      switch (n->step) {
        case Step::IfIntegral:
          if (AnySelected(n->selectors)) Walk(body, next, env);
          break;
        case Step::IfMethod:
          if (EqualsIgnoreCase(n->text, ctx_.Method(axis))) Walk(body, next, env);
          break;
        case Step::IfOrderAbove:
          if (ctx_.OrderUsed(axis) > n->value) Walk(body, next, env);
          break;
        case Step::IfFirstSection:
          if (env.s == 1) Walk(body, next, env);
          break;
        case Step::IfLaterSection:
          if (env.s != 1) Walk(body, next, env);
          break;
        case Step::IfElementStartNonZero:
          if (env.j != 0) Walk(body, next, env);
          break;
        case Step::IfHighestOrderIs:
          if (ctx_.HighestOrder(axis) == n->value) Walk(body, next, env);
          break;
        case Step::ForSections: {
          const std::int32_t count = ctx_.NumSections(axis);
          for (std::int32_t s = 1; s <= count; ++s) {
            env.s = s;
            Walk(body, next, env);
          }
          break;
        }
        case Step::ForNodes: {
          if constexpr (kCount) {
            const std::int64_t lo = IndexValue(n->lo, axis, env);
            Weighted(double(IndexValue(n->hi, axis, env)) - double(lo) + 1, lo, [&](std::int64_t v) {
              env.i = v;
              Walk(body, next, env);
            });
            break;
          }
          // A loop over one row (the common case) runs the row's code directly.
          RowCode single = nullptr;
          if constexpr (!kCheck && !kCount) {
            if (next == body + 1 && body->step == Step::Row) single = CodeOfRow(*body);
          }
          if constexpr (kCheck) {
            nodesFirst_ = IndexValue(n->lo, axis, env);
            nodesLast_ = IndexValue(n->hi, axis, env);
          }
          Range(IndexValue(n->lo, axis, env), IndexValue(n->hi, axis, env), [&](std::int64_t v) {
            env.i = v;
            ReadAheadOfLoop(*n, env, v, kNodesAhead, 1);
            if (single != nullptr) {
              (this->*single)(*body, env);
            } else {
              Walk(body, next, env);
            }
          });
          break;
        }
        case Step::ForElements: {
          auto visit = [&](std::int64_t v) {
            env.e = v;
            Walk(body, next, env);
          };
          const std::int32_t elements = ctx_.NumElements(axis, env.s);
          if constexpr (kCheck) {
            CheckElements(axis, env, elements);
            elements_ = elements;
            // The first element, the first that reaches past the section's node count (indices
            // grow with the element, so it is the first to read outside the section), the last.
            const std::int64_t stride = std::int64_t{ctx_.NumPolyPoints(axis)} + 1;
            const std::int64_t intervals = ctx_.NodeCount(axis, env.s);
            const std::int64_t past = stride >= 1 && intervals >= 0 ? intervals / stride + 1 : 0;
            if (elements >= 1) visit(1);
            if (past > 1 && past < elements) visit(past);
            if (elements > 1) visit(elements);
          } else if constexpr (kCount) {
            // Only the first element can start at node 0 (j == 0 is tested).
            Weighted(elements >= 1 ? 1 : 0, 1, visit);
            Weighted(double(elements) - 1, 2, visit);
          } else {
            Range(1, elements, visit);
          }
          break;
        }
        case Step::ForElementStart: {
          const std::int64_t stride = std::int64_t{ctx_.NumPolyPoints(axis)} + 1;
          env.j = std::int64_t{ctx_.Base(axis, env.s)} + (env.e - 1) * stride;
          ReadAheadOfLoop(*n, env, env.j, kElementsAhead * stride, stride);
          Walk(body, next, env);
          break;
        }
        case Step::ForAxisRange:
        case Step::ForAxisSet:
          if constexpr (kAxes > 1) {
            auto visit = [&](std::int64_t v) {
              env.other[static_cast<std::size_t>(axis)] = static_cast<std::int32_t>(v);
              linesFor_ = nullptr;  // the lines ran through the other indices
              Walk(body, next, env);
            };
            if constexpr (kCount) {
              if (n->step == Step::ForAxisRange) {
                const std::int64_t lo = AxisBound(n->lo, axis);
                Weighted(double(AxisBound(n->hi, axis)) - double(lo) + 1, lo, visit);
              } else {
                double members = 0;
                std::int64_t first = 0;
                ctx_.ForEachInSet(axis, static_cast<AxisSet>(n->value), [&](std::int64_t v) {
                  if (members == 0) first = v;
                  members += 1;
                });
                Weighted(members, first, visit);
              }
            } else if (n->step == Step::ForAxisRange) {
              Range(AxisBound(n->lo, axis), AxisBound(n->hi, axis), visit);
            } else if constexpr (kCheck) {
              SetEnds(axis, static_cast<AxisSet>(n->value), visit);
            } else {
              ctx_.ForEachInSet(axis, static_cast<AxisSet>(n->value), visit);
            }
          }
          break;
        case Step::Row:
          if constexpr (kCheck) {
            CheckRow(*n, env);
          } else if constexpr (kCount) {
            size_.equations += weight_;
            size_.terms += weight_ * (n->formula != nullptr ? n->formula->termCount : 0);
          } else {
            EmitRow(*n, env);
          }
          break;
      }
      n = next;
    }
  }
};

// A sink for Check walks: the walker makes no calls on it.
struct GridCheck {
  static constexpr SinkMode kMode = SinkMode::Check;
};

// A sink for Count walks: the walker makes no calls on it.
struct SizeCount {
  static constexpr SinkMode kMode = SinkMode::Count;
};

template <class Context, class Sink>
void WalkPlan(std::span<const PlanNode> plan, Context& context, Sink& sink, std::int32_t groupBase) {
  EquationWalker<Context, Sink>(context, sink, groupBase).Run(plan);
}

// Walks a plan without emitting and returns the first fault of the grid that an equation would
// meet (none when the grid carries every equation that would run).
template <class Context>
GridFault CheckGrid(std::span<const PlanNode> plan, Context& context) {
  GridCheck none;
  EquationWalker<Context, GridCheck> walker(context, none, 0);
  walker.Run(plan);
  return walker.Fault();
}

// The equations and terms (non-zeros) a walk of the plan would hand on for the context's
// current values, without handing anything on.
template <class Context>
PlanSize MeasurePlan(std::span<const PlanNode> plan, Context& context) {
  SizeCount none;
  EquationWalker<Context, SizeCount> walker(context, none, 0);
  walker.Run(plan);
  return walker.Size();
}

}  // namespace morvane::eqn
