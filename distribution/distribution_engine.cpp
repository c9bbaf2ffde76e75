#include "distribution_engine.h"

#include <climits>
#include <cstdio>

namespace morvane::eqn {

void ReportDistributionError(const char* message) { TQ_Executive::Instance().ReportError(message); }

const char* NameOf(const TQ_Containable* item) {
  const char* name = item != nullptr ? item->Name() : nullptr;
  return name != nullptr && *name != 0 ? name : "(unnamed)";
}

TQ_DOMAIN* LinkedDomain(const TQ_External<TQ_DOMAIN>& link) { return dynamic_cast<TQ_DOMAIN*>(link.ExternalLink()); }

bool DomainsAttached(const TQ_Containable& owner, std::initializer_list<const TQ_External<TQ_DOMAIN>*> links,
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
  ReportDistributionError(message);
}

void ReportSectionOutside(const TQ_Containable* model, const char* link, const TQ_DOMAIN& domain, std::int32_t section,
                          std::int64_t first, std::int64_t last, std::int64_t end) {
  char message[512];
  std::snprintf(message, sizeof message,
                "%s: section %d of the domain %s (%s) covers the nodes %lld to %lld, outside the domain's nodes 0 to %lld",
                NameOf(model), static_cast<int>(section), NameOf(&domain), link, static_cast<long long>(first),
                static_cast<long long>(last), static_cast<long long>(end));
  ReportDistributionError(message);
}

void ReportInteriorOutside(const TQ_Containable* model, const char* link, const TQ_DOMAIN& domain, std::int64_t low,
                           std::int64_t high, std::int64_t end) {
  char message[512];
  std::snprintf(message, sizeof message,
                "%s: the interior nodes %lld to %lld of the domain %s (%s) lie outside the domain's nodes 0 to %lld",
                NameOf(model), static_cast<long long>(low), static_cast<long long>(high), NameOf(&domain), link,
                static_cast<long long>(end));
  ReportDistributionError(message);
}

void ReportStencil(const TQ_Containable* model, const char* link, const TQ_DOMAIN& domain, const char* method,
                   const StencilFault& fault) {
  char what[384];
  describe(fault, what, sizeof what);
  char message[768];
  std::snprintf(message, sizeof message, "%s: method \"%s\" of the domain %s (%s): %s", NameOf(model),
                method != nullptr ? method : "", NameOf(&domain), link, what);
  ReportDistributionError(message);
}

void ReportUnfilledSection(const TQ_Containable* model, const char* link, const TQ_DOMAIN& domain, std::int32_t section,
                           std::int64_t intervals, std::int64_t elements, std::int64_t perElement) {
  char message[512];
  std::snprintf(message, sizeof message,
                "%s: section %d of the domain %s (%s) has %lld intervals but NUMELEMENTS %lld of %lld intervals each: "
                "the elements do not fill the section, and the nodes they leave out would have no equations",
                NameOf(model), static_cast<int>(section), NameOf(&domain), link, static_cast<long long>(intervals),
                static_cast<long long>(elements), static_cast<long long>(perElement));
  ReportDistributionError(message);
}

void ReportTooLarge(const TQ_Containable* model, int count, const PlanSize& size) {
  char message[512];
  std::snprintf(message, sizeof message,
                "%s: the distribution would add %.0f equations with %.0f non-zeros to the %d before it, more than the "
                "host's counts hold (at most %d of each); its equations are not declared",
                NameOf(model), size.equations, size.terms, count, INT_MAX);
  ReportDistributionError(message);
}

bool AdmitSize(const TQ_Containable* model, const char* what, double elements, double bytes, double nonZeros,
               bool report) {
  char who[256];
  std::snprintf(who, sizeof who, "%s: %s", NameOf(model), what);
  return TQ_SizeBudget::Admit(who, elements, bytes, nonZeros, report);
}

}  // namespace detail

bool FitsHostCounts(int count, const PlanSize& size) {
  constexpr double kMost = INT_MAX;
  return count >= 0 && double(count) + size.equations <= kMost && size.terms <= kMost;
}

}  // namespace morvane::eqn
