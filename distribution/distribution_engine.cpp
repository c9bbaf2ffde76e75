#include "distribution/distribution_engine.h"

#include <climits>
#include <cstdio>
#include <cstring>

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

void ReportSectionOutside(const TQ_Containable* model,
                          const char* link,
                          const TQ_DOMAIN& domain,
                          std::int32_t section,
                          std::int64_t first,
                          std::int64_t last,
                          std::int64_t end) {
  char message[512];
  std::snprintf(
      message,
      sizeof message,
      "%s: section %d of the domain %s (%s) covers the nodes %lld to %lld, outside the domain's nodes 0 to %lld",
      NameOf(model),
      static_cast<int>(section),
      NameOf(&domain),
      link,
      static_cast<long long>(first),
      static_cast<long long>(last),
      static_cast<long long>(end));
  TQ_ReportError(message);
}

void ReportInteriorOutside(const TQ_Containable* model,
                           const char* link,
                           const TQ_DOMAIN& domain,
                           std::int64_t low,
                           std::int64_t high,
                           std::int64_t end) {
  char message[512];
  std::snprintf(message,
                sizeof message,
                "%s: the interior nodes %lld to %lld of the domain %s (%s) lie outside the domain's nodes 0 to %lld",
                NameOf(model),
                static_cast<long long>(low),
                static_cast<long long>(high),
                NameOf(&domain),
                link,
                static_cast<long long>(end));
  TQ_ReportError(message);
}

void ReportStencil(const TQ_Containable* model,
                   const char* link,
                   const TQ_DOMAIN& domain,
                   const char* method,
                   const StencilFault& fault) {
  char what[384];
  Describe(fault, what, sizeof what);
  char message[768];
  std::snprintf(message,
                sizeof message,
                "%s: method \"%s\" of the domain %s (%s): %s",
                NameOf(model),
                method != nullptr ? method : "",
                NameOf(&domain),
                link,
                what);
  TQ_ReportError(message);
}

void ReportUnfilledSection(const TQ_Containable* model,
                           const char* link,
                           const TQ_DOMAIN& domain,
                           std::int32_t section,
                           std::int64_t intervals,
                           std::int64_t elements,
                           std::int64_t perElement) {
  char message[512];
  std::snprintf(message,
                sizeof message,
                "%s: section %d of the domain %s (%s) has %lld intervals but NUMELEMENTS %lld of %lld intervals each: "
                "the elements do not fill the section, and the nodes they leave out would have no equations",
                NameOf(model),
                static_cast<int>(section),
                NameOf(&domain),
                link,
                static_cast<long long>(intervals),
                static_cast<long long>(elements),
                static_cast<long long>(perElement));
  TQ_ReportError(message);
}

void ReportTooLarge(const TQ_Containable* model, int count, const PlanSize& size) {
  char message[512];
  std::snprintf(message,
                sizeof message,
                "%s: the distribution would add %.0f equations with %.0f non-zeros to the %d before it, more than the "
                "host's counts hold (at most %d of each); its equations are not declared",
                NameOf(model),
                size.equations,
                size.terms,
                count,
                INT_MAX);
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

bool AdmitSize(
    const TQ_Containable* model, const char* what, double elements, double bytes, double nonZeros, bool report) {
  char who[256];
  std::snprintf(who, sizeof who, "%s: %s", NameOf(model), what);
  return TQ_SizeBudget::Admit(who, elements, bytes, nonZeros, report);
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

std::span<const char* const> IntegralNames(std::size_t axes) {
  static const char* const kNames[] = {"idx", "idy", "idxdy", "idz", "idxdz", "idydz", "idxdydz"};
  // One axis: idx; two: and idy, idxdy; three: all seven.
  const std::size_t count = axes <= 1 ? 1 : axes == 2 ? 3 : 7;
  return {kNames, count};
}

int CheckParameters(const TQ_Containable* model,
                    std::span<TQ_INTEGERPARAMETER* const> orders,
                    std::span<TQ_INTEGERPARAMETER* const> ordersUsed,
                    const TQ_STRINGSET& integrals,
                    std::size_t axes,
                    bool report) {
  char message[768];
  for (std::size_t a = 0; a < axes && a < 3; ++a) {
    const char letter = "XYZ"[a];
    for (const bool used : {false, true}) {
      const TQ_INTEGERPARAMETER* order = (used ? ordersUsed : orders)[a];
      if (order == nullptr || (order->v() >= 0 && order->v() <= 2)) continue;
      if (report) {
        std::snprintf(message,
                      sizeof message,
                      "%s: HIGHESTORDER%cDERIVATIVE%s is %d; the derivative orders are 0, 1 and 2; its equations are "
                      "not declared",
                      NameOf(model),
                      letter,
                      used ? "USED" : "",
                      order->v());
        TQ_ReportError(message);
      }
      return kBadParameter;
    }
  }
  const TQ_SetValue& selected = integrals.v();
  const std::span<const char* const> names = IntegralNames(axes);
  for (int p = 0; p < selected.SetSize(); ++p) {
    char member[64];
    const char* name = member;
    if (selected.HoldsStrings())
      name = selected.StringAt(p);
    else
      std::snprintf(member, sizeof member, "%d", selected.IntegerAt(p));
    bool known = std::strcmp(name, "None") == 0;
    for (const char* integral : names) known = known || std::strcmp(name, integral) == 0;
    if (known) continue;
    if (report) {
      char list[64] = "";
      for (const char* integral : names) {
        std::strncat(list, list[0] != 0 ? ", " : "", sizeof list - std::strlen(list) - 1);
        std::strncat(list, integral, sizeof list - std::strlen(list) - 1);
      }
      std::snprintf(message,
                    sizeof message,
                    "%s: INTEGRALS holds \"%.200s\", which is none of the integrals it computes (%s) nor \"None\"; "
                    "its equations are not declared",
                    NameOf(model),
                    name,
                    list);
      TQ_ReportError(message);
    }
    return kBadParameter;
  }
  return 0;
}

bool FitsHostCounts(int count, const PlanSize& size) {
  constexpr double kMost = INT_MAX;
  return count >= 0 && double(count) + size.equations <= kMost && size.terms <= kMost;
}

}  // namespace morvane::eqn
