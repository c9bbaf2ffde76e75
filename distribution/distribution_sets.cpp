#include "distribution_sets.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>

#include "frame.h"

namespace morvane::distribution {

namespace {
const char* NameOf(const TQ_Containable& item) {
  const char* name = item.Name();
  return name != nullptr && *name != 0 ? name : "(unnamed)";
}
}  // namespace

TQ_IntSetValue NodeRange(int lo, int factor, int end, LeastBound least) {
  const std::int64_t hi = static_cast<std::int64_t>(factor) * end;
  const std::int64_t lowest = least == LeastBound::Empty ? std::int64_t{INT_MIN} + 1 : std::int64_t{INT_MIN};
  return TQ_IntSetValue(lo, static_cast<int>(std::clamp<std::int64_t>(hi, lowest, INT_MAX)));
}

TQ_IntSetValue NodeRangeWithin(int lo, int factor, int end, const SUValue& nodes, LeastBound least) {
  TQ_IntSetValue range = NodeRange(lo, factor, end, least);
  range *= nodes;
  return range;
}

int IntegralSelected(const SUValue& integrals, std::initializer_list<const char*> selectors) {
  for (const char* selector : selectors)
    if (StringInSet(selector, integrals) != 0) return 1;
  return 0;
}

TQ_IntSetValue IntegralRange(int selected, int end, LeastBound least) {
  return NodeRange(0, 2 * selected - 1, end, least);
}

TQ_IntSetValue BoundaryAndInteriorNodes(const TQ_SetValue& interior, int end) {
  TQ_IntSetValue inner(interior);
  inner += end;
  TQ_IntSetValue nodes(0, INT_MIN);  // the one-member set {0}
  nodes += inner;
  return nodes;
}

TQ_IntSetValue BoundaryAndInteriorNodes(const TQ_DOMAIN& domain) {
  return BoundaryAndInteriorNodes(domain.INTERIOR.v(), domain.ENDNODE.v());
}

int AssignDerivativeOrders(const TQ_AssignmentStep& step, std::span<const AxisOrders> axes, int first) {
  const int count = static_cast<int>(axes.size());
  for (int a = 0; a < count; ++a)
    step.Assign(axes[a].order, axes[a].domain.HIGHESTORDERDERIVATIVE.v(), first + a);
  for (int a = 0; a < count; ++a) step.Assign(axes[a].used, axes[a].order.v(), first + count + a);
  for (int a = 0; a < count; ++a) {
    if (axes[a].domain.HIGHESTORDERDERIVATIVE.v() == 2 && axes[a].order.v() == 1)
      step.Assign(axes[a].used, 2, first + 2 * count + a);
  }
  return first + 3 * count;
}

void RequireDomains(std::initializer_list<const TQ_External<TQ_DOMAIN>*> links) {
  std::size_t missing = 0;
  for (const TQ_External<TQ_DOMAIN>* link : links)
    if (!link->IsAttached()) ++missing;
  if (missing == 0) return;
  // "D.XDOMAIN", "D.XDOMAIN and D.YDOMAIN", "D.XDOMAIN, D.YDOMAIN and D.ZDOMAIN".
  char message[512] = "";
  std::size_t used = 0;
  std::size_t named = 0;
  for (const TQ_External<TQ_DOMAIN>* link : links) {
    if (link->IsAttached()) continue;
    const char* joint = named == 0 ? "" : named + 1 == missing ? " and " : ", ";
    const TQ_Containable* owner = link->Owner();
    const int written =
        owner != nullptr
            ? std::snprintf(message + used, sizeof message - used, "%s%s.%s", joint, NameOf(*owner), NameOf(*link))
            : std::snprintf(message + used, sizeof message - used, "%s%s", joint, NameOf(*link));
    if (written > 0) used = std::min(sizeof message - 1, used + static_cast<std::size_t>(written));
    ++named;
  }
  std::snprintf(message + used, sizeof message - used, " %s no object attached", missing == 1 ? "has" : "have");
  throw TQ_LinkError(message);
}

}  // namespace morvane::distribution
