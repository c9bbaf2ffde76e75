#include "distribution/distribution_sets.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "framework/frame.h"

namespace morvane::distribution {

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
  for (int a = 0; a < count; ++a) step.Assign(axes[a].order, axes[a].domain.HIGHESTORDERDERIVATIVE.v(), first + a);
  for (int a = 0; a < count; ++a) step.Assign(axes[a].used, axes[a].order.v(), first + count + a);
  for (int a = 0; a < count; ++a) {
    if (axes[a].domain.HIGHESTORDERDERIVATIVE.v() == 2 && axes[a].order.v() == 1)
      step.Assign(axes[a].used, 2, first + 2 * count + a);
  }
  return first + 3 * count;
}

}  // namespace morvane::distribution
