// The per-axis index sets and default assignments of the distributions.
//
// They serve every distribution, whatever its number of axes: each builds
// its arrays' ranges, its second-derivative node sets and its derivative
// orders the same way on every axis, from that axis's domain, so the
// building is written once here and a distribution calls it per axis.
#pragma once

#include <initializer_list>
#include <span>

#include "domain/tq_domain.h"
#include "framework/tq_generated.h"
#include "host/vekexp.h"

namespace morvane::distribution {

// 1 when `order` is above `threshold`, else 0: what switches an array's
// range on (first derivatives above 0, second derivatives above 1).
inline int OrderFactor(int order, int threshold) { return order > threshold ? 1 : 0; }

// What a range hands whose upper bound works out at the least 32-bit integer,
// a bound the host reads as "the one member lo" rather than as a bound. The
// two-dimensional distribution hands no node there (Empty), as it does for
// any bound below lo; the one- and three-dimensional distributions hand the
// pair as it is, so that the host makes of it the one member lo (OneMember).
// Only an ENDNODE fixed at INT_MIN would reach it, and the distributions refuse
// such a last node before they build a set (EndNodeFits, distribution_engine.h).
enum class LeastBound { Empty, OneMember };

// The nodes lo .. factor·end. The product is formed in 64 bits and kept
// within the 32-bit range, so that no ENDNODE, however wrong, overflows; a
// bound at the least 32-bit integer is handed as `least` says.
TQ_IntSetValue NodeRange(int lo, int factor, int end, LeastBound least = LeastBound::Empty);

// lo .. factor·end intersected with `nodes` (SUValue::operator*=): the
// second-derivative range cut to the nodes where such equations stand.
TQ_IntSetValue NodeRangeWithin(int lo, int factor, int end, const SUValue& nodes, LeastBound least = LeastBound::Empty);

// 1 when INTEGRALS holds one of `selectors`, else 0. They are tested in
// the order given, and the first member found ends the test.
int IntegralSelected(const SUValue& integrals, std::initializer_list<const char*> selectors);

// The first set of an integral: 0 .. end when selected, 0 .. -end (empty
// unless end is 0) when not.
TQ_IntSetValue IntegralRange(int selected, int end, LeastBound least = LeastBound::Empty);

// Node 0, the domain's interior nodes and its last node: the nodes of an
// axis at which the second derivatives along another axis stand. Built as
// the host's set algebra expects it: a copy of INTERIOR's value, ENDNODE
// added to the copy, and the copy added to the one-member set {0}.
TQ_IntSetValue BoundaryAndInteriorNodes(const TQ_DOMAIN& domain);
// The same from an interior set's value and the last node, read as the caller reads them.
TQ_IntSetValue BoundaryAndInteriorNodes(const TQ_SetValue& interior, int end);

// One axis's derivative orders: the domain and the model's two parameters.
struct AxisOrders {
  const TQ_DOMAIN& domain;
  TQ_INTEGERPARAMETER& order;  // HIGHESTORDER<A>DERIVATIVE
  TQ_INTEGERPARAMETER& used;   // HIGHESTORDER<A>DERIVATIVEUSED
};

// The default derivative orders, numbered from `first` in three rounds over
// the axes: every axis's order from its domain's HIGHESTORDERDERIVATIVE;
// every axis's order used from its order as the host then holds it; and,
// per axis, the order used raised to 2 when the domain is laid out for
// second derivatives (its order 2) while the model's order reads 1. A
// raise that is not made keeps its number. Returns the number after the
// last round (first + 3 * axes).
int AssignDerivativeOrders(const TQ_AssignmentStep& step, std::span<const AxisOrders> axes, int first);

}  // namespace morvane::distribution
