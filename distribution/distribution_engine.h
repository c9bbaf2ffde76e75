// What every distribution model does with its equation plan: check that its domains can carry
// the equations, declare them (SetUpEquations) and emit them (JacPattern), through the same walk.
//
// A model hands the engine a view of itself (its domains, orders, INTEGRALS and arrays) and its
// plan. Before any equation is declared or emitted every axis is checked: its link must hold a
// domain, every section must lie inside the domain's nodes, the INTERIOR set too, no equation may
// read a node outside its own section (a section shorter than the method's stencil), and the
// elements of every section must fill it (a node they leave out would have no equations). A model
// that fails the check declares and emits nothing and returns a negative count; while declaring,
// the host is told why, naming the link or the domain.
//
// A link that holds no domain is met the same way in every phase, by every distribution: nothing
// is read through it, the host is told which links of which model hold none (a report a link),
// and the phase does what it can without them; no exception reaches the host.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "distribution/distribution_context.h"
#include "distribution/eqn_host_sinks.h"
#include "distribution/eqn_walker.h"
#include "framework/morvane_api.h"
#include "domain/tq_domain.h"
#include "framework/tq_external.h"
#include "framework/tq_generated.h"
#include "host/vekexp.h"

namespace morvane::eqn {

// What the equation phases return when the distribution cannot place its equations.
inline constexpr int kNoDomain = -1;      // a domain link has no domain attached (ExecuteAssignments too)
inline constexpr int kGridTooShort = -2;  // a section is shorter than the method's stencil or not
                                          // filled by its elements, a section or the interior
                                          // lies outside the domain's nodes, or ENDNODE is too
                                          // far from 0 for the host's integers (EndNodeFits)
inline constexpr int kTooLarge = -3;      // the equations or their non-zeros would not fit the
                                          // host's 32-bit counts, or its elements and equations
                                          // the host's size budget
inline constexpr int kBadParameter = -4;  // a derivative order outside 0 to 2, or an INTEGRALS
                                          // name the distribution does not compute

// The name of an object for a message: its own, or "(unnamed)".
const char* NameOf(const TQ_Containable* item);

// ---- A link without a domain ----

// The domain a link holds, or null when it holds none (nothing attached, or an object that is not
// a domain).
TQ_DOMAIN* LinkedDomain(const TQ_External<TQ_DOMAIN>& link);

// Reports each of `links` that holds no domain, naming the owner and the link ("D: YDOMAIN has no
// domain attached; " and `work`, what cannot be done without it); true when every link holds one.
bool DomainsAttached(const TQ_Containable& owner,
                     std::initializer_list<const TQ_External<TQ_DOMAIN>*> links,
                     const char* work);

// The farthest a domain's ENDNODE may lie from 0. The index sets run over 0 .. ENDNODE, and an
// integral that is not selected over 0 .. -ENDNODE: both bounds, and the number of members (at
// most 2^31 - 1, which the host counts in a signed 32-bit integer), must fit the host's integers.
inline constexpr std::int64_t kMostEndNode = INT32_MAX - 1;

// Whether ENDNODE lies within -kMostEndNode .. kMostEndNode.
inline bool EndNodeFits(std::int64_t end) { return end >= -kMostEndNode && end <= kMostEndNode; }

// Whether every domain's ENDNODE fits (EndNodeFits); reports each that does not, naming the owner,
// the link and the domain, and what cannot be done (`work`).
bool EndNodesFit(const TQ_Containable& owner,
                 std::initializer_list<const TQ_External<TQ_DOMAIN>*> links,
                 const char* work);

// ExecuteAssignments0 of a distribution over `links`. With every domain attached and its nodes
// countable: the generated work (the parent's assignments, then this level's index sets and
// assignments; the parent's status is the result). Otherwise every missing link, or every domain
// whose ENDNODE does not fit (EndNodeFits), is reported, the parent's assignments alone are
// made, nothing of this level is handed to the host, and the result is kNoDomain or
// kGridTooShort.
template <class Model>
long AssignOverDomains(
    Model& model, std::initializer_list<const TQ_External<TQ_DOMAIN>*> links, int level, int pass, long status) {
  constexpr const char* kWork = "the distribution's index sets and assignments cannot be computed";
  if (!DomainsAttached(model, links, kWork)) {
    model.TQ_ModelTypeEx2::ExecuteAssignments(level - 1, pass);
    return kNoDomain;
  }
  if (!EndNodesFit(model, links, kWork)) {
    model.TQ_ModelTypeEx2::ExecuteAssignments(level - 1, pass);
    return kGridTooShort;
  }
  return model.TQ_Generated<Model, TQ_ModelTypeEx2>::ExecuteAssignments0(level, pass, status);
}

// The INTERIOR set of the domain `link` holds, which sizes a dimension of the array named `array`;
// null, with the link reported ("<array> cannot be sized"), when the link holds none. SetDims
// binds every other array and leaves this one as it was.
TQ_INTEGERSET* InteriorSizing(const TQ_Containable& owner, const TQ_External<TQ_DOMAIN>& link, const char* array);

namespace detail {
void ReportNoDomain(const TQ_Containable* model, const char* link, const char* work);
void ReportSectionOutside(const TQ_Containable* model,
                          const char* link,
                          const TQ_DOMAIN& domain,
                          std::int32_t section,
                          std::int64_t first,
                          std::int64_t last,
                          std::int64_t end);
void ReportInteriorOutside(const TQ_Containable* model,
                           const char* link,
                           const TQ_DOMAIN& domain,
                           std::int64_t low,
                           std::int64_t high,
                           std::int64_t end);
void ReportStencil(const TQ_Containable* model,
                   const char* link,
                   const TQ_DOMAIN& domain,
                   const char* method,
                   const StencilFault& fault);
void ReportUnfilledSection(const TQ_Containable* model,
                           const char* link,
                           const TQ_DOMAIN& domain,
                           std::int32_t section,
                           std::int64_t intervals,
                           std::int64_t elements,
                           std::int64_t perElement);
void ReportTooLarge(const TQ_Containable* model, int count, const PlanSize& size);
void ReportEndNode(
    const TQ_Containable* model, const char* link, const TQ_DOMAIN& domain, std::int64_t end, const char* work);
// Whether `elements` new elements of `bytes` in all and `nonZeros` non-zeros fit the host's size
// budget; the host reports a refusal (naming the model and `what`) when `report` is set.
bool AdmitSize(
    const TQ_Containable* model, const char* what, double elements, double bytes, double nonZeros, bool report);
}  // namespace detail

// Whether `count` equations before this model's and the model's own fit the host's 32-bit
// equation count and its pattern positions.
bool FitsHostCounts(int count, const PlanSize& size);

// The integral names a distribution over `axes` axes computes, besides "None", which selects none.
std::span<const char* const> IntegralNames(std::size_t axes);

// 0 when the model's derivative orders lie in 0 .. 2 and INTEGRALS names only the integrals it
// computes (or "None"); otherwise kBadParameter, with the first fault handed to the host when
// `report` is set.
int CheckParameters(const TQ_Containable* model,
                    std::span<TQ_INTEGERPARAMETER* const> orders,
                    std::span<TQ_INTEGERPARAMETER* const> ordersUsed,
                    const TQ_STRINGSET& integrals,
                    std::size_t axes,
                    bool report);

// 0 when every axis can carry the plan's equations; otherwise the negative code, with the reason
// handed to the host when `report` is set.
template <Access kAccess, std::size_t D>
int CheckDomains(const DistributionView<D>& view, std::span<const PlanNode> plan, bool report) {
  bool attached = true;
  for (std::size_t a = 0; a < D; ++a) {
    if (view.domains[a] != nullptr) continue;
    attached = false;
    if (report) detail::ReportNoDomain(view.model, view.links[a], "the distribution's equations cannot be placed");
  }
  if (!attached) return kNoDomain;
  DistributionContext<kAccess, D> context(view);
  // The checks read every section of every domain, and a section the domain has not made is made
  // when read: those still missing must fit the host's size budget first (a domain that was
  // refused its sections has none).
  double sections = 0.0;
  for (std::size_t a = 0; a < D; ++a) {
    const double missing =
        double(context.NumSections(static_cast<int>(a))) - double((*view.domains[a]->SECTION).ElementCount());
    if (missing > 0.0) sections += missing;
  }
  if (sections > 0.0 &&
      !detail::AdmitSize(
          view.model, "the missing sections of its domains", sections, sections * kSectionBytes, 0.0, report))
    return kTooLarge;
  for (std::size_t a = 0; a < D; ++a) {
    const int axis = static_cast<int>(a);
    const TQ_DOMAIN& domain = *view.domains[a];
    // The index sets over the nodes can be counted in the host's 32-bit integers.
    const std::int64_t end = context.EndNode(axis);
    if (!EndNodeFits(end)) {
      if (report) detail::ReportEndNode(view.model, view.links[a], domain, end, "its equations are not declared");
      return kGridTooShort;
    }
    // Every section, and every interior node, lies inside the domain's nodes 0 .. ENDNODE (the
    // arrays' index sets), so that no equation reaches an element outside them.
    const std::int32_t sections = context.NumSections(axis);
    for (std::int32_t s = 1; s <= sections; ++s) {
      const std::int64_t first = context.Base(axis, s);
      const std::int64_t last = first + context.NodeCount(axis, s);
      if (first < 0 || last < first || last > end) {
        if (report) detail::ReportSectionOutside(view.model, view.links[a], domain, s, first, last, end);
        return kGridTooShort;
      }
    }
    if constexpr (D > 1) {
      std::int64_t low = 0;
      std::int64_t high = 0;
      bool any = false;
      context.ForEachInSet(
          axis,
          AxisSet::Interior,
          [&](std::int64_t v) {
            low = any ? std::min(low, v) : v;
            high = any ? std::max(high, v) : v;
            any = true;
          },
          false);
      if (any && (low < 0 || high > end)) {
        if (report) detail::ReportInteriorOutside(view.model, view.links[a], domain, low, high, end);
        return kGridTooShort;
      }
    }
  }
  const StencilFault fault = CheckStencils(plan, context);
  if (fault.found) {
    if (report) {
      const auto a = static_cast<std::size_t>(fault.axis);
      detail::ReportStencil(view.model, view.links[a], *view.domains[a], context.Method(fault.axis), fault);
    }
    return kGridTooShort;
  }
  // The elements of a section (NUMPOLYPOINTS + 1 intervals each) fill it: the domain places
  // nodes element by element and the element rows run element by element, so a node past the
  // last element would have neither a coordinate nor the equations of its derivatives and
  // integrals. The domain's own node counts always fill; a count fixed by hand may not.
  for (std::size_t a = 0; a < D; ++a) {
    const int axis = static_cast<int>(a);
    const std::int64_t perElement = std::int64_t{context.NumPolyPoints(axis)} + 1;
    const std::int32_t sections = context.NumSections(axis);
    for (std::int32_t s = 1; s <= sections; ++s) {
      const std::int64_t intervals = context.NodeCount(axis, s);
      const std::int64_t elements = context.NumElements(axis, s);
      if (elements * perElement != intervals) {
        if (report)
          detail::ReportUnfilledSection(
              view.model, view.links[a], *view.domains[a], s, intervals, elements, perElement);
        return kGridTooShort;
      }
    }
  }
  return 0;
}

// 0 when the domains can carry the plan's equations and their number fits the host's counts;
// otherwise the negative code, with the reason handed to the host when `report` is set. The size
// is counted before a single element is looked up, so an oversized model allocates nothing.
template <Access kAccess, std::size_t D>
int CheckModel(const DistributionView<D>& view, std::span<const PlanNode> plan, int count, bool report) {
  int fault = CheckDomains<kAccess>(view, plan, report);
  if (fault < 0) return fault;
  fault = CheckParameters(view.model, view.order, view.orderUsed, *view.integrals, D, report);
  if (fault < 0) return fault;
  DistributionContext<kAccess, D> context(view);
  const PlanSize size = MeasurePlan(plan, context);
  if (!FitsHostCounts(count, size)) {
    if (report) detail::ReportTooLarge(view.model, count, size);
    return kTooLarge;
  }
  // The elements the equations will look up and the arrays lack yet, with the equations
  // themselves, within the host's size budget.
  double elements = 0.0;
  double bytes = 0.0;
  for (std::size_t k = 0; k < view.arrayCount; ++k) {
    const ArrayRef<D>& ref = view.arrays[k];
    const double missing = double(ref.array->DeclaredElementCount()) - double(ref.array->ElementCount());
    if (missing <= 0.0) continue;
    elements += missing;
    bytes += missing * double(ref.elementBytes);
  }
  if (!detail::AdmitSize(view.model, "its arrays and equations", elements, bytes, size.terms, report)) return kTooLarge;
  return 0;
}

// SetUpEquations' part: declares every equation with its group and non-zeros; returns the
// running count after them, or a negative code when the domains cannot carry them.
template <std::size_t D>
int DeclareEquations(TQ_ModelType& model,
                     const DistributionView<D>& view,
                     std::span<const PlanNode> plan,
                     std::int32_t firstGroup,
                     int count) {
  const int fault = CheckModel<Access::Variable>(view, plan, count, true);
  if (fault < 0) return fault;
  DistributionContext<Access::Variable, D> context(view);
  HostDeclaration sink(model, count);
  WalkPlan(plan, context, sink, firstGroup);
  return sink.Count();
}

// JacPattern's part: emits every equation; a negative count (the parent's failure) or domains
// that cannot carry the equations end the call with nothing emitted and a negative result.
template <std::size_t D>
int EmitEquations(TQ_ModelTypeEx& model,
                  const DistributionView<D>& view,
                  std::span<const PlanNode> plan,
                  std::int32_t firstGroup,
                  int*& rows,
                  int*& cols,
                  int count) {
  if (count < 0) return count;
  const int fault = CheckModel<Access::Constant>(view, plan, count, false);
  if (fault < 0) return fault;
  DistributionContext<Access::Constant, D> context(view);
  HostEmission sink(model, count, rows, cols);
  WalkPlan(plan, context, sink, firstGroup);
  return count;
}

}  // namespace morvane::eqn
