// What every distribution model does with its equation plan: check that its domains can carry
// the equations, declare them (SetUpEquations) and emit them (JacPattern), through the same walk.
//
// A model hands the engine a view of itself (its domains, orders, INTEGRALS and arrays) and its
// plan. Before any equation is declared or emitted every axis is checked: its link must hold a
// domain and its ENDNODE must fit the host's integers; a domain along which equations would run
// must hold the grid its method places (NUMPOLYPOINTS, POLYPOINT and the node coordinates, which
// the formulas take for granted: TQ_DOMAIN::HoldsMethodGrid); then every equation that would run
// is checked against the grid (a Check walk): it may read no node outside its own section (a
// section shorter than the method's stencil) nor outside the domain's nodes 0 .. ENDNODE (the
// arrays' index sets), it may stand at no member of another axis's INTERIOR outside that
// domain's nodes (nor may a second derivative be declared at such a member of its own axis's
// INTERIOR, whatever the other axes' orders), a second derivative's row may stand only at a
// member of its own axis's INTERIOR (the index set of the second derivatives along that axis),
// and the elements of every element loop must fill their section (a node they leave out would
// have no equations). The orders and the INTEGRALS
// selection are taken as they come: the guards read order used > 0 and > 1, highest order == 2,
// and a selector counts where StringInSet finds it. A model that fails a check declares and
// emits nothing and returns a negative count, and the host is told why, naming the link or the
// domain.
//
// Emission does not ask the host's size budget again for what declaration admitted and made:
// a model whose declaration was admitted emits what it declared, whatever other models made
// since. A model whose declaration was refused emits nothing and says nothing more (its
// LocalEqnCount holds the refusal's code); a refusal that only emission meets (the model changed
// in between) is told as declaration tells it.
//
// A link that holds no domain is met the same way in every phase, by every distribution: nothing
// is read through it, the host is told which links of which model hold none (a report a link),
// and the phase does what it can without them; no exception reaches the host.
#pragma once

#include <array>
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
inline constexpr int kGridTooShort = -2;  // an equation would read outside its section or the
                                          // domain's nodes, stand at an INTERIOR member outside
                                          // them, or run over elements that do not fill their
                                          // section (GridFault); or ENDNODE is too far from 0 for
                                          // the host's integers (EndNodeFits); or equations would
                                          // run along a domain whose points are not its method's
                                          // whose grid is not its method's (MethodGridHeld),
                                          // or stand at a node its second derivatives' INTERIOR
                                          // leaves out
inline constexpr int kTooLarge = -3;      // the equations or their non-zeros would not fit the
                                          // host's 32-bit counts, or its elements and equations
                                          // the host's size budget

// The equation phase a check serves: what its refusals say is not done.
enum class Phase : std::uint8_t { Declaring, Emitting };
inline const char* NotDone(Phase phase) {
  return phase == Phase::Declaring ? "its equations are not declared" : "its equations are not emitted";
}

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
// The fault a Check walk found on the grid of `domain` (the domain `link` holds), whose method is
// `method`.
void ReportGridFault(
    const TQ_Containable* model, const char* link, const TQ_DOMAIN& domain, const char* method, const GridFault& fault);
void ReportTooLarge(const TQ_Containable* model, int count, const PlanSize& size, Phase phase);
void ReportEndNode(
    const TQ_Containable* model, const char* link, const TQ_DOMAIN& domain, std::int64_t end, const char* work);
// A domain whose grid is not its method's, met after the domain reported it (the domain gives
// its values once; each model it refuses later says so in a line of its own).
void ReportMethodGridMet(const TQ_Containable* model, const char* link, const TQ_DOMAIN& domain, Phase phase);
// Whether `elements` new elements of `bytes` in all and `nonZeros` non-zeros fit the host's size
// budget; the host reports a refusal, naming the model and `what`.
bool AdmitSize(const TQ_Containable* model, const char* what, double elements, double bytes, double nonZeros);
}  // namespace detail

// Whether `count` equations before this model's and the model's own fit the host's 32-bit
// equation count and its pattern positions.
bool FitsHostCounts(int count, const PlanSize& size);

// A context that shows the method of one axis alone (and none when the axis is -1): a walk through
// it runs the integral starts and the method blocks of that axis, and no other block.
template <Access kAccess, std::size_t D>
class OneMethodContext : public DistributionContext<kAccess, D> {
 public:
  OneMethodContext(const DistributionView<D>& view, int axis) : DistributionContext<kAccess, D>(view), axis_(axis) {}
  const char* Method(int a) { return a == axis_ ? DistributionContext<kAccess, D>::Method(a) : nullptr; }

 private:
  int axis_;
};

// Whether equations of the plan would run along axis a: its blocks add equations to the integral
// starts, which run without any block.
template <Access kAccess, std::size_t D>
bool WritesAlong(const DistributionView<D>& view, std::span<const PlanNode> plan, int a) {
  OneMethodContext<kAccess, D> along(view, a);
  OneMethodContext<kAccess, D> none(view, -1);
  return MeasurePlan(plan, along).equations > MeasurePlan(plan, none).equations;
}

// Whether every domain along which equations of the plan would run holds the grid its method
// places (TQ_DOMAIN::HoldsMethodGrid). A domain that does not is reported once, whatever axes it
// stands on: by the domain with its values, the first time a model meets it in a run of its
// assignments, and after that by the model, which names the domain and its link. A domain along
// which no equation runs is not asked about.
template <Access kAccess, std::size_t D>
bool MethodGridHeld(const DistributionView<D>& view, std::span<const PlanNode> plan, Phase phase) {
  std::array<const TQ_DOMAIN*, D> refused{};
  std::size_t count = 0;
  for (std::size_t a = 0; a < D; ++a) {
    TQ_DOMAIN& domain = *view.domains[a];
    bool met = false;
    for (std::size_t k = 0; k < count; ++k) met = met || refused[k] == &domain;
    if (met || domain.HoldsMethodGrid() || !WritesAlong<kAccess>(view, plan, static_cast<int>(a))) continue;
    refused[count++] = &domain;
    if (!domain.ReportMethodGrid()) detail::ReportMethodGridMet(view.model, view.links[a], domain, phase);
  }
  return count == 0;
}

// 0 when every axis can carry the equations of the plan that would run; otherwise the negative
// code, with the reason handed to the host.
template <Access kAccess, std::size_t D>
int CheckDomains(const DistributionView<D>& view, std::span<const PlanNode> plan, Phase phase) {
  bool attached = true;
  for (std::size_t a = 0; a < D; ++a) {
    if (view.domains[a] != nullptr) continue;
    attached = false;
    detail::ReportNoDomain(view.model, view.links[a], "the distribution's equations cannot be placed");
  }
  if (!attached) return kNoDomain;
  DistributionContext<kAccess, D> context(view);
  // The check reads the sections of the domains, and a section the domain has not made is made
  // when read: those still missing must fit the host's size budget first (a domain that was
  // refused its sections has none).
  double sections = 0.0;
  for (std::size_t a = 0; a < D; ++a) {
    const double missing =
        double(context.NumSections(static_cast<int>(a))) - double((*view.domains[a]->SECTION).ElementCount());
    if (missing > 0.0) sections += missing;
  }
  if (sections > 0.0 &&
      !detail::AdmitSize(view.model, "the missing sections of its domains", sections, sections * kSectionBytes, 0.0))
    return kTooLarge;
  // The index sets over the nodes can be counted in the host's 32-bit integers.
  for (std::size_t a = 0; a < D; ++a) {
    const std::int64_t end = context.EndNode(static_cast<int>(a));
    if (!EndNodeFits(end)) {
      detail::ReportEndNode(view.model, view.links[a], *view.domains[a], end, NotDone(phase));
      return kGridTooShort;
    }
  }
  if (!MethodGridHeld<kAccess>(view, plan, phase)) return kGridTooShort;
  const GridFault fault = CheckGrid(plan, context);
  if (fault.found) {
    const auto a = static_cast<std::size_t>(fault.axis);
    detail::ReportGridFault(view.model, view.links[a], *view.domains[a], context.Method(fault.axis), fault);
    return kGridTooShort;
  }
  return 0;
}

// What an emission knows of the model's declaration: the equations it declared (the model's
// LocalEqnCount), or none when the model is being declared.
inline constexpr std::int32_t kDeclaring = -1;

// 0 when the domains can carry the plan's equations, their number fits the host's counts and
// what is not made yet fits the host's size budget; otherwise the negative code, with the reason
// handed to the host. The size is counted before a single element is looked up, so an oversized
// model allocates nothing. `declared` is the number of equations declaration admitted and
// made the elements of (kDeclaring while declaring): an emission of as many equations does not
// ask the budget for their non-zeros again, nor for anything when every element is made.
template <Access kAccess, std::size_t D>
int CheckModel(
    const DistributionView<D>& view, std::span<const PlanNode> plan, int count, Phase phase, std::int32_t declared) {
  const int fault = CheckDomains<kAccess>(view, plan, phase);
  if (fault < 0) return fault;
  DistributionContext<kAccess, D> context(view);
  const PlanSize size = MeasurePlan(plan, context);
  if (!FitsHostCounts(count, size)) {
    detail::ReportTooLarge(view.model, count, size, phase);
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
  const bool admitted = declared >= 0 && size.equations == double(declared);
  const double nonZeros = admitted ? 0.0 : size.terms;
  if ((elements > 0.0 || nonZeros > 0.0) &&
      !detail::AdmitSize(view.model, "its arrays and equations", elements, bytes, nonZeros))
    return kTooLarge;
  return 0;
}

// SetUpEquations' part: declares every equation with its group and non-zeros; returns the
// running count after them, or a negative code when the domains cannot carry them, which is
// also left in `refusal` (the model's LocalEqnCount) for the emission to find.
template <std::size_t D>
int DeclareEquations(TQ_ModelType& model,
                     const DistributionView<D>& view,
                     std::span<const PlanNode> plan,
                     std::int32_t firstGroup,
                     int count,
                     std::int32_t& refusal) {
  const int fault = CheckModel<Access::Variable>(view, plan, count, Phase::Declaring, kDeclaring);
  if (fault < 0) {
    refusal = fault;
    return fault;
  }
  DistributionContext<Access::Variable, D> context(view);
  HostDeclaration sink(model, count);
  WalkPlan(plan, context, sink, firstGroup);
  return sink.Count();
}

// JacPattern's part: emits every equation. A negative count (the parent's failure) is returned
// as it is, and a refused declaration (`declared`, the model's LocalEqnCount, negative) with its
// code, both with nothing emitted; domains that cannot carry the equations now end the call
// with the reason handed to the host, nothing emitted and a negative result.
template <std::size_t D>
int EmitEquations(TQ_ModelTypeEx& model,
                  const DistributionView<D>& view,
                  std::span<const PlanNode> plan,
                  std::int32_t firstGroup,
                  std::int32_t declared,
                  int*& rows,
                  int*& cols,
                  int count) {
  if (count < 0) return count;
  if (declared < 0) return declared;
  const int fault = CheckModel<Access::Constant>(view, plan, count, Phase::Emitting, declared);
  if (fault < 0) return fault;
  DistributionContext<Access::Constant, D> context(view);
  HostEmission sink(model, count, rows, cols);
  WalkPlan(plan, context, sink, firstGroup);
  return count;
}

}  // namespace morvane::eqn
