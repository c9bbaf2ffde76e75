// The domain's check of its grid against its method (HoldsMethodGrid, ReportMethodGrid): the
// distributions' equations hold only on the grid the method places, and read neither POLYPOINT nor
// the node coordinates, so a distribution that would write rows along the domain asks it first.
// The grid holds when NUMPOLYPOINTS and POLYPOINT are the method's, and every node lies where the
// node statements (#45 to #48) put it from its section's LOCATION, ELEMENTLENGTH and points, each
// section's first node at its LOCATION and the last section's last node at the domain's end. The
// first fault is told in words, with the values that make it.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "domain/tq_domain.h"
#include "domain/tq_methods.h"

namespace {

// Whether coordinate x counts as the `expected` one, in a section whose elements are `element`
// long, for a node computed from terms as large as `terms` (kGridTolerance, kGridUlps): the
// rounding of a sum is that of its largest term, so a node near 0 computed from a section that
// starts far from it carries the rounding of the start. An expected coordinate that is not finite
// judges nothing; an x that is not finite where a finite one is expected is off.
bool PlacedAt(double x, double expected, double element, double terms) {
  if (!std::isfinite(expected)) return true;
  const double magnitude = std::max({std::fabs(x), std::fabs(expected), terms});
  return std::fabs(x - expected) <= kGridTolerance * std::fabs(element) + kGridUlps * DBL_EPSILON * magnitude;
}

// "; section 1's ELEMENTLENGTH is fixed at 0.05" (with `lead` before it) for the first of the
// section's LENGTH, SPACINGUSED and ELEMENTLENGTH that is fixed, which moves the section's end;
// nothing when none is.
void FixedEnd(TQ_SECTIONDATAMODEL& section, int s, const char* lead, char* out, std::size_t size) {
  out[0] = 0;
  const TQ_REALPARAMETER* fixed = section.LENGTH.IsFixed()           ? &section.LENGTH
                                  : (*section.SPACINGUSED).IsFixed() ? &*section.SPACINGUSED
                                  : section.ELEMENTLENGTH.IsFixed()  ? &section.ELEMENTLENGTH
                                                                     : nullptr;
  if (fixed == nullptr) return;
  const char* name = fixed == &section.LENGTH          ? "LENGTH"
                     : fixed == &section.ELEMENTLENGTH ? "ELEMENTLENGTH"
                                                       : "SPACINGUSED";
  std::snprintf(out, size, "%ssection %d's %s is fixed at %s", lead, s, name, MessageReal(fixed->v()).text);
}

}  // namespace

const TQ_REALPARAMETER* TQ_DOMAIN::NodeIfMade(std::int64_t k) {
  if (k < INT32_MIN || k > INT32_MAX) return nullptr;
  const TQ_REALPARAMETERARRAY& nodes = *VALUE;
  const unsigned int slot = nodes.SlotOf(static_cast<int>(k));
  if (slot >= nodes.ElementVector.Elements()) return nullptr;
  return static_cast<const TQ_REALPARAMETER*>(nodes.ElementVector[slot]);
}

bool TQ_DOMAIN::NodesFault(const TQ_MethodFacts& method, char* what, std::size_t size) {
  const int sections = NUMSECTIONS.v();
  if (sections < 1) return false;
  const std::int64_t points = PolyPoints();
  if (points > kMaxMethodPoints) return false;  // not the method's: the points fault comes first
  double fractions[kMaxMethodPoints] = {};
  for (std::int64_t p = 1; p <= points; ++p) fractions[p - 1] = POLYPOINT(static_cast<int>(p)).v();
  const bool higherOrder = HigherOrder();
  const double spread = static_cast<double>(points + 1);
  const double domainEnd = (*LENGTH).v() + (*Section(1).LOCATION).v();
  for (int s = 1; s <= sections; ++s) {
    TQ_SECTIONDATAMODEL& section = Section(s);
    const std::int64_t base = section.BASE.v();
    const std::int64_t nodeCount = section.NODECOUNT.v();
    // A section without intervals, or whose elements do not fill it, leaves nodes without a
    // coordinate: the domain reports it, and the distributions' check of the elements refuses it;
    // the nodes from there on are not judged here.
    const std::int64_t elements = ElementsPlaced(section, nodeCount);
    if (nodeCount < 1 || elements * (points + 1) != nodeCount) return false;
    const double start = (*section.LOCATION).v();
    const double end = s < sections ? (*Section(s + 1).LOCATION).v() : domainEnd;
    // The element the section's start, end and node count give: the measure of the tolerance.
    const double element = (end - start) / static_cast<double>(nodeCount) * spread;
    // What the section's nodes are computed from: its start, and the element length from its
    // extent up to its end (the next section's LOCATION, or the domain's end).
    const double terms = std::max(std::fabs(start), std::fabs(end));
    // Its first node is section 1's LOCATION (#44), or where the section before ends, computed
    // from that section's start and its own.
    const double firstTerms =
        s == 1 ? std::fabs(start) : std::max(std::fabs((*Section(s - 1).LOCATION).v()), std::fabs(start));
    // The section's first node at its LOCATION.
    if (const TQ_REALPARAMETER* first = NodeIfMade(base);
        first != nullptr && !PlacedAt(first->v(), start, element, firstTerms)) {
      if (s == 1) {
        std::snprintf(what,
                      size,
                      "node %lld, the first of section 1, lies at %s, but section 1 starts at its LOCATION %s",
                      static_cast<long long>(base),
                      MessageReal(first->v()).text,
                      MessageReal(start).text);
      } else {
        char cause[160];
        FixedEnd(Section(s - 1), s - 1, " (", cause, sizeof cause);
        std::snprintf(what,
                      size,
                      "node %lld, where section %d ends and section %d starts, lies at %s, but section %d starts at "
                      "its LOCATION %s%s%s",
                      static_cast<long long>(base),
                      s - 1,
                      s,
                      MessageReal(first->v()).text,
                      s,
                      MessageReal(start).text,
                      cause,
                      cause[0] != 0 ? ")" : "");
      }
      return true;
    }
    // Every other node where the statements #45 to #48 put it.
    const double length = section.ELEMENTLENGTH.v();
    for (std::int64_t e = 1; e <= elements; ++e) {
      const double at = static_cast<double>(e);
      for (std::int64_t p = 0; p <= points; ++p) {
        // The element's points, then (p == points) its end.
        const bool boundary = p == points;
        const std::int64_t k = base + (e - 1) * (points + 1) + p + 1;
        const TQ_REALPARAMETER* node = NodeIfMade(k);
        if (node == nullptr) continue;
        const double x = NodeCoordinate(higherOrder, spread, length, start, at, boundary ? nullptr : &fractions[p]);
        if (PlacedAt(node->v(), x, element, terms)) continue;
        std::snprintf(what,
                      size,
                      "node %lld lies at %s, but its method %s puts it at %s (section %d, from its LOCATION %s "
                      "and ELEMENTLENGTH %s)",
                      static_cast<long long>(k),
                      MessageReal(node->v()).text,
                      method.name,
                      MessageReal(x).text,
                      s,
                      MessageReal(start).text,
                      MessageReal(length).text);
        return true;
      }
    }
    // The last section's last node at the domain's end (each section before it ends where the
    // next one starts).
    if (s < sections) continue;
    const TQ_REALPARAMETER* last = NodeIfMade(base + nodeCount);
    if (last == nullptr || PlacedAt(last->v(), domainEnd, element, terms)) continue;
    char cause[160];
    FixedEnd(section, s, "; ", cause, sizeof cause);
    std::snprintf(what,
                  size,
                  "node %lld, the last of section %d, lies at %s, but the domain ends at %s (its LENGTH %s from "
                  "section 1's LOCATION %s%s)",
                  static_cast<long long>(base + nodeCount),
                  s,
                  MessageReal(last->v()).text,
                  MessageReal(domainEnd).text,
                  MessageReal((*LENGTH).v()).text,
                  MessageReal((*Section(1).LOCATION).v()).text,
                  cause);
    return true;
  }
  return false;
}

bool TQ_DOMAIN::MethodGridFault(char* what, std::size_t size) {
  const TQ_MethodFacts* row = MethodRow();
  if (row == nullptr) return false;
  const char* points =
      "; the distributions' equations hold only on the method's points, and none are written along "
      "the domain";
  // NUMPOLYPOINTS as the grid takes it; its value as it stands in the message.
  if (PolyPoints() != row->points) {
    std::snprintf(what,
                  size,
                  "NUMPOLYPOINTS %s %d, but its method %s has %d%s",
                  NUMPOLYPOINTS.IsFixed() ? "is fixed at" : "holds",
                  NUMPOLYPOINTS.v(),
                  row->name,
                  row->points,
                  points);
    return true;
  }
  for (int p = 1; p <= row->points; ++p) {
    const TQ_REALPARAMETER& point = POLYPOINT(p);
    const double method = row->fractions[p - 1];
    // (A point that is not a number is off too.)
    if (std::fabs(point.v() - method) <= kMethodPointTolerance) continue;
    std::snprintf(what,
                  size,
                  "POLYPOINT(%d) %s %s, but its method %s has %s%s",
                  p,
                  point.IsFixed() ? "is fixed at" : "holds",
                  MessageReal(point.v()).text,
                  row->name,
                  MessageReal(method).text,
                  points);
    return true;
  }
  if (!NodesFault(*row, what, size)) return false;
  const std::size_t length = std::strlen(what);
  std::snprintf(what + length,
                size - length,
                "; the distributions' equations hold only on the nodes where the method puts them, and none are "
                "written along the domain");
  return true;
}

bool TQ_DOMAIN::HoldsMethodGrid() {
  char what[768];
  return !MethodGridFault(what, sizeof what);
}

bool TQ_DOMAIN::ReportMethodGrid() {
  char what[768];
  if (!MethodGridFault(what, sizeof what)) return false;
  // FNV-1a of the message, never 0 (0 stands for nothing reported).
  std::uint64_t hash = 14695981039346656037u;
  for (const char* c = what; *c != 0; ++c) hash = (hash ^ static_cast<unsigned char>(*c)) * 1099511628211u;
  if (hash == 0) hash = 1;
  if (hash == gridReported_) return false;
  gridReported_ = hash;
  ReportProblem(what);
  return true;
}
