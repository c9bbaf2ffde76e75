#include "distribution/distribution_engine.h"

#include <climits>
#include <cstdio>

namespace morvane::eqn {

const char* NameOf(const TQ_Containable* item) {
  const char* name = item != nullptr ? item->Name() : nullptr;
  return name != nullptr && *name != 0 ? name : "(unnamed)";
}

TQ_DOMAIN* LinkedDomain(const TQ_External<TQ_DOMAIN>& link) { return dynamic_cast<TQ_DOMAIN*>(link.ExternalLink()); }

bool DomainsAttached(const TQ_Containable& owner,
                     std::initializer_list<const TQ_External<TQ_DOMAIN>*> links,
                     const char* work) {
  bool attached = true;
  for (const TQ_External<TQ_DOMAIN>* link : links) {
    if (LinkedDomain(*link) != nullptr) continue;
    attached = false;
    detail::ReportNoDomain(&owner, NameOf(link), work);
  }
  return attached;
}

TQ_INTEGERSET* InteriorSizing(const TQ_Containable& owner, const TQ_External<TQ_DOMAIN>& link, const char* array) {
  if (TQ_DOMAIN* domain = LinkedDomain(link)) return &domain->INTERIOR;
  char work[128];
  std::snprintf(work, sizeof work, "%s cannot be sized", array);
  detail::ReportNoDomain(&owner, NameOf(&link), work);
  return nullptr;
}

namespace detail {

void ReportNoDomain(const TQ_Containable* model, const char* link, const char* work) {
  char message[512];
  std::snprintf(message, sizeof message, "%s: %s has no domain attached; %s", NameOf(model), link, work);
  TQ_ReportError(message);
}

void ReportGridFault(const TQ_Containable* model,
                     const char* link,
                     const TQ_DOMAIN& domain,
                     const char* method,
                     const GridFault& fault) {
  char message[768];
  const auto n = [](std::int64_t v) { return static_cast<long long>(v); };
  switch (fault.kind) {
    case FaultKind::NodeOutside:
      if (fault.section != 0) {
        std::snprintf(message,
                      sizeof message,
                      "%s: section %d of the domain %s (%s) covers the nodes %lld to %lld, outside the domain's nodes "
                      "0 to %lld",
                      NameOf(model),
                      static_cast<int>(fault.section),
                      NameOf(&domain),
                      link,
                      n(fault.first),
                      n(fault.last),
                      n(fault.end));
      } else {
        std::snprintf(message,
                      sizeof message,
                      "%s: %s reads node %lld of the domain %s (%s), outside the domain's nodes 0 to %lld",
                      NameOf(model),
                      RowEquationName(fault.row),
                      n(fault.index),
                      NameOf(&domain),
                      link,
                      n(fault.end));
      }
      break;
    case FaultKind::SetOutside:
      std::snprintf(
          message,
          sizeof message,
          "%s: the interior nodes %lld to %lld of the domain %s (%s) lie outside the domain's nodes 0 to %lld "
          "(%s stands at node %lld)",
          NameOf(model),
          n(fault.first),
          n(fault.last),
          NameOf(&domain),
          link,
          n(fault.end),
          RowEquationName(fault.row),
          n(fault.index));
      break;
    case FaultKind::InteriorMissing:
      std::snprintf(message,
                    sizeof message,
                    "%s: the INTERIOR of the domain %s (%s) leaves out node %lld, where %s of section %d (axis %d) "
                    "stands at a second derivative: the second derivatives along the domain are declared at its "
                    "INTERIOR, which must hold every node where their rows stand",
                    NameOf(model),
                    NameOf(&domain),
                    link,
                    n(fault.index),
                    RowEquationName(fault.row),
                    static_cast<int>(fault.section),
                    fault.axis);
      break;
    case FaultKind::Unfilled:
      std::snprintf(message,
                    sizeof message,
                    "%s: section %d of the domain %s (%s) has %lld intervals but NUMELEMENTS %lld of %lld intervals "
                    "each: the elements do not fill the section, and the nodes they leave out would have no equations",
                    NameOf(model),
                    static_cast<int>(fault.section),
                    NameOf(&domain),
                    link,
                    n(fault.last - fault.first),
                    n(fault.elements),
                    n(fault.perElement));
      break;
    case FaultKind::Stencil:
    case FaultKind::None: {
      char what[384];
      Describe(fault, what, sizeof what);
      std::snprintf(message,
                    sizeof message,
                    "%s: method \"%s\" of the domain %s (%s): %s",
                    NameOf(model),
                    method != nullptr ? method : "",
                    NameOf(&domain),
                    link,
                    what);
      break;
    }
  }
  TQ_ReportError(message);
}

void ReportTooLarge(const TQ_Containable* model, int count, const PlanSize& size, Phase phase) {
  char message[512];
  std::snprintf(message,
                sizeof message,
                "%s: the distribution would add %.0f equations with %.0f non-zeros to the %d before it, more than the "
                "host's counts hold (at most %d of each); %s",
                NameOf(model),
                size.equations,
                size.terms,
                count,
                INT_MAX,
                NotDone(phase));
  TQ_ReportError(message);
}

void ReportEndNode(
    const TQ_Containable* model, const char* link, const TQ_DOMAIN& domain, std::int64_t end, const char* work) {
  char message[512];
  std::snprintf(message,
                sizeof message,
                "%s: the domain %s (%s) has ENDNODE %lld: index sets over the nodes 0 to ENDNODE would not fit the "
                "host's 32-bit integers (ENDNODE must lie within -%lld to %lld); %s",
                NameOf(model),
                NameOf(&domain),
                link,
                static_cast<long long>(end),
                static_cast<long long>(kMostEndNode),
                static_cast<long long>(kMostEndNode),
                work);
  TQ_ReportError(message);
}

void ReportMethodGridMet(const TQ_Containable* model, const char* link, const TQ_DOMAIN& domain, Phase phase) {
  char message[768];
  std::snprintf(message,
                sizeof message,
                "%s: the grid of the domain %s (%s) is not the one its method places, as reported for the domain; %s",
                NameOf(model),
                NameOf(&domain),
                link,
                NotDone(phase));
  TQ_ReportError(message);
}

bool AdmitSize(const TQ_Containable* model, const char* what, double elements, double bytes, double nonZeros) {
  char who[256];
  std::snprintf(who, sizeof who, "%s: %s", NameOf(model), what);
  return TQ_SizeBudget::Admit(who, elements, bytes, nonZeros, true);
}

}  // namespace detail

bool EndNodesFit(const TQ_Containable& owner,
                 std::initializer_list<const TQ_External<TQ_DOMAIN>*> links,
                 const char* work) {
  bool fit = true;
  for (const TQ_External<TQ_DOMAIN>* link : links) {
    const TQ_DOMAIN* domain = LinkedDomain(*link);
    if (domain == nullptr) continue;
    const std::int64_t end = domain->ENDNODE.v();
    if (EndNodeFits(end)) continue;
    fit = false;
    detail::ReportEndNode(&owner, NameOf(link), *domain, end, work);
  }
  return fit;
}

bool FitsHostCounts(int count, const PlanSize& size) {
  constexpr double kMost = INT_MAX;
  return count >= 0 && double(count) + size.equations <= kMost && size.terms <= kMost;
}

}  // namespace morvane::eqn
