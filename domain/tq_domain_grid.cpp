// The domain's assignments: from LENGTH, NUMSECTIONS, DISCRETIZATIONMETHOD and
// whatever values the host holds for the other properties, the method's
// points, each section's start, length, node count, first node, spacing,
// elements and interior nodes, the domain's interior nodes and last node, and
// the coordinate of every node.
//
// Every value handed to the host carries the number of its statement: 1 to 3
// for the index sets (both sweeps), 4 to 48 for the assignments (sweep 0). A
// statement keeps its number whether or not it runs, and a statement in a
// loop carries the same number each time round. Every input is read from its
// property when it is used, so a value the user has fixed in place of an
// assigned one is the value the later statements see.
//
// Values are used as they come where the grid they give is sound: a negative
// LENGTH gives a domain whose coordinate runs toward negative values (the
// element lengths carry its sign), and a HIGHESTORDERDERIVATIVE above 2 acts
// as 2, one below 0 as 0. Where the input cannot give a grid, the domain
// reports the problem through the host and still hands over a consistent one:
// - NUMSECTIONS below 1: no section; the statements that divide by it or
//   reach section 1 (#5, #25, #44) do not run; ENDNODE 0, INTERIOR empty.
// - A section whose LENGTH / SPACINGPREFERENCE is not a finite number within
//   the signed 32-bit range (a zero or non-finite spacing, a non-finite
//   length), or is negative (a spacing against the direction of the length),
//   takes the minimum node count (#30).
// - Node counts are whole multiples of NUMPOLYPOINTS + 1 with at least one
//   element, also when the user fixes MINNODECOUNT or NUMPOLYPOINTS to values
//   that the method table would not give, so that the elements tile every
//   section and every node gets its coordinate. A negative NUMPOLYPOINTS is
//   taken as 0 (as it comes, an element of it has no interval or fewer than
//   none) and reported.
// - Node numbers stay below 2^31 - 1, so that the host can count the node
//   set: a section whose nodes would go beyond gets the whole elements that
//   fit.
// - What the sections make in proportion to their input (their nodes, the
//   POLYPOINT elements their elements read, the runs of the INTERIOR sets)
//   is admitted by the host's size budget before it is made; refused, the
//   section keeps one element, or none when one does not fit either.
// - The grid is checked as its nodes are placed: every node of a section has
//   a finite coordinate, apart from the node before it and beyond it in the
//   one direction in which the coordinates of the whole domain run. The first
//   fault of a section is reported, naming the domain, the section and the
//   node (a zero-length section, a coordinate that overflows, POLYPOINT
//   fractions that are not increasing inside (0, 1), a fixed node count or
//   element count whose elements leave nodes without a coordinate).
// NUMPOLYPOINTS and POLYPOINT fixed off the method's values, node coordinates fixed by hand, and
// a section's LENGTH, SPACINGUSED or ELEMENTLENGTH fixed (which move its nodes off the start of
// the next section, or the last one off the domain's end) still give the grid they describe, and
// a domain alone says nothing of them; the distributions' equations hold only on the grid the
// method places, so a distribution that would write rows along the domain asks it
// (HoldsMethodGrid, tq_domain_method_grid.cpp) and is refused, the domain reporting the first
// point or node at fault once per run of its assignments (ReportMethodGrid).
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "domain/tq_domain.h"
#include "domain/tq_methods.h"
#include "framework/frame.h"

namespace {

constexpr double kIntMax = 2147483647.0;
// The highest node number: the host counts the members of the node set
// 0 .. ENDNODE in a signed 32-bit integer.
constexpr std::int64_t kLastNode = INT32_MAX - 1;
// What one run of an INTERIOR set takes at the height of the assignments: a
// host set keeps a run in 12 bytes, and a section's runs are held at once by
// the union results with room to grow, the section's and the domain's
// INTERIOR, and the values handed over for them.
constexpr double kRunBytes = 96.0;

// [lo..hi] as a host integer set, empty when hi < lo. Bounds beyond the
// 32-bit range are cut to it, and the set to the 2^31 - 1 members the host
// can count.
TQ_IntSetValue Range(std::int64_t lo, std::int64_t hi) {
  if (hi < lo || lo > INT32_MAX || hi < INT32_MIN) return TQ_IntSetValue(1, 0);
  if (lo < INT32_MIN) lo = INT32_MIN;
  if (hi > INT32_MAX) hi = INT32_MAX;
  if (hi - lo >= INT32_MAX) hi = lo + INT32_MAX - 1;
  return TQ_IntSetValue(static_cast<int>(lo), static_cast<int>(hi));
}

// Builds a union in a result set: clears it, assigns the first piece and
// adds the others.
class Union {
 public:
  explicit Union(TQ_SetValue& result) : m_result(result) { m_result.Clear(0); }
  void Add(const TQ_SetValue& piece) {
    if (m_pieces++ == 0)
      m_result = piece;
    else
      m_result += piece;
  }

 private:
  TQ_SetValue& m_result;
  int m_pieces = 0;
};

}  // namespace

struct TQ_DOMAIN::GridRun {
  // What the size budget admitted for a section: the elements whose nodes it
  // places, and whether the budget cut them short of its node count.
  struct Placed {
    std::int64_t elements = 0;
    bool cut = false;
  };
  explicit GridRun(int sections) : sections(static_cast<std::size_t>(sections)) {}

  morvane::vector<Placed> sections;
  // The nodes the sections so far place beyond node 0, as the budget counts them.
  double placed = 0.0;
  // Whether an admission has counted the POLYPOINT elements the elements read.
  bool pointsCounted = false;

  // The grid check: the last node placed and its coordinate (the last finite one), the direction
  // in which the coordinates run (0 until the first step), and whether the section at hand has
  // had its fault reported.
  std::int64_t lastNode = 0;
  double lastCoordinate = 0.0;
  int direction = 0;
  bool sectionReported = false;
};

TQ_SECTIONDATAMODEL& TQ_DOMAIN::Section(int i) { return (*SECTION)(i); }

const TQ_MethodFacts* TQ_DOMAIN::MethodRow() {
  for (const TQ_MethodFacts& row : kDiscretizationMethods)
    if (SUValue::CompareCI(DISCRETIZATIONMETHOD.v(), row.name) == 0) return &row;
  return nullptr;
}

// BFD1 and FFD1 have no points of their own; given points, they take the collocation form.
bool TQ_DOMAIN::HigherOrder() {
  const TQ_MethodFacts* row = MethodRow();
  return row != nullptr && !row->collocation && row->points > 0;
}

double TQ_DOMAIN::NodeCoordinate(
    bool higherOrder, double spread, double length, double start, double element, const double* fraction) {
  if (fraction == nullptr) return higherOrder ? spread * (length * element) + start : length * element + start;
  const double along = (*fraction + element) + (-1.0);
  return higherOrder ? spread * (length * along) + start : length * along + start;
}

bool TQ_DOMAIN::CollocationForm() { return PolyPoints() != 0 && !HigherOrder(); }

bool TQ_DOMAIN::InteriorByElements() { return HIGHESTORDERDERIVATIVE.v() >= 2 && CollocationForm(); }

std::int64_t TQ_DOMAIN::PolyPoints() {
  const int points = NUMPOLYPOINTS.v();
  return points < 0 ? 0 : points;
}

const char* TQ_DOMAIN::DomainName() const {
  const char* name = Name();
  return name == nullptr || *name == 0 ? "(unnamed)" : name;
}

void TQ_DOMAIN::ReportProblem(const char* what, int section) {
  const char* name = DomainName();
  char message[1024];
  if (section > 0)
    std::snprintf(message, sizeof message, "domain %s, section %d: %s", name, section, what);
  else
    std::snprintf(message, sizeof message, "domain %s: %s", name, what);
  TQ_ReportError(message);
}

// ---- index sets and assignments ----------------------------------------------------

void TQ_DOMAIN::IndexSets(const TQ_AssignmentStep& step) {
  step.IndexSet(TQ_SECTION_SET1, Range(1, NUMSECTIONS.v()), 1);
  step.IndexSet(TQ_VALUE_SET1, Range(0, ENDNODE.v()), 2);
  step.IndexSet(TQ_POLYPOINT_SET1, Range(1, NUMPOLYPOINTS.v()), 3);
}

void TQ_DOMAIN::Assignments(const TQ_AssignmentStep& step) {
  // A new run of the model: a fault of the method's grid is told again when a distribution meets it.
  gridReported_ = 0;
  step.Assign(*LENGTH, 1.0, 4);
  const int sections = NUMSECTIONS.v();
  if (sections >= 1)
    step.Assign(*SPACINGPREFERENCE, ((*LENGTH).v() * 0.125) / static_cast<double>(sections), 5);
  else
    ReportProblem("NUMSECTIONS is below 1; the domain has no sections");

  AssignMethod(step);
  if (NUMPOLYPOINTS.v() < 0) ReportProblem("NUMPOLYPOINTS is negative; it is taken as 0");

  step.Assign(HIGHESTORDERDERIVATIVE, 1, 24);
  if (sections >= 1 && !SectionsFit(sections)) {
    // Refused its sections, the domain makes none: the grid of a domain
    // without sections.
    step.Assign(INTERIOR, Range(1, 0), 42);
    step.Assign(ENDNODE, 0, 43);
    return;
  }
  if (sections >= 1) step.Assign(*Section(1).LOCATION, 0.0, 25);

  GridRun run(sections >= 1 ? sections : 0);
  {
    // The node counts of the sections before the current one, summed as the loop goes, in the
    // order Sigma25416536 sums them: each section's count is final once its turn is over, so
    // the sum is the same and the sections take linear time, not quadratic.
    double before = 0.0;
    TQ_IntegerSetIter i(Range(1, NUMSECTIONS.v()));
    while (i.Next()) {
      AssignSection(step, i, NUMSECTIONS.v(), before, run);
      before += static_cast<double>(Section(i.v()).NODECOUNT.v());
    }
  }

  step.Assign(INTERIOR, UnionFn115369808(), 41);
  if (HIGHESTORDERDERIVATIVE.v() < 2)
    step.Assign(INTERIOR, Range(1, static_cast<std::int64_t>(TruncToInt(Sigma115370720())) - 1), 42);
  step.Assign(ENDNODE, TruncToInt(Sigma115374720()), 43);
  // A fixed ENDNODE keeps its value; one the sections do not end at leaves nodes that no section
  // holds (and no equation), or sections past the domain's end.
  if (ENDNODE.IsFixed() && ENDNODE.v() != TruncToInt(Sigma115374720())) {
    char what[200];
    std::snprintf(what,
                  sizeof what,
                  "ENDNODE is fixed at %d, but the sections end at node %d",
                  ENDNODE.v(),
                  TruncToInt(Sigma115374720()));
    ReportProblem(what);
  }

  if (NUMSECTIONS.v() >= 1) {
    TQ_REALPARAMETER& first = (*VALUE)(0);
    const double start = (*Section(1).LOCATION).v();
    step.Assign(first, start, 44);
    run.lastCoordinate = first.IsFixed() ? first.v() : start;
  }
  TQ_IntegerSetIter i(Range(1, NUMSECTIONS.v()));
  while (i.Next()) AssignNodeValues(step, i, run);
}

// MINNODECOUNT, NUMPOLYPOINTS and POLYPOINT of the method; a name outside the
// ten assigns none of them.
void TQ_DOMAIN::AssignMethod(const TQ_AssignmentStep& step) {
  if (const TQ_MethodFacts* row = MethodRow()) step.Assign(MINNODECOUNT, row->reach, row->reachStatement);
  const TQ_MethodFacts* row = MethodRow();
  if (row == nullptr || row->pointsStatement == 0) return;
  step.Assign(NUMPOLYPOINTS, row->points, row->pointsStatement);
  for (int p = 1; p <= row->points; ++p) step.Assign(POLYPOINT(p), row->fractions[p - 1], row->pointsStatement + p);
}

// One section: its start, spacing, length, node count, first node, spacing
// used, elements, element length and interior nodes.
void TQ_DOMAIN::AssignSection(
    const TQ_AssignmentStep& step, TQ_IntegerSetIter& i, int sections, double nodesBefore, GridRun& run) {
  const int s = i.v();
  TQ_SECTIONDATAMODEL& section = Section(s);
  // The LOCATION of every section after the first is assigned by the
  // section before it, just before that section takes its length from it.
  step.Assign(*section.SPACINGPREFERENCE, (*SPACINGPREFERENCE).v(), 27);
  if (s != sections) {
    TQ_SECTIONDATAMODEL& next = Section(s + 1);
    step.Assign(
        *next.LOCATION,
        ((*LENGTH).v() * static_cast<double>(s)) / static_cast<double>(NUMSECTIONS.v()) + (*Section(1).LOCATION).v(),
        26);
    step.Assign(section.LENGTH, (*next.LOCATION).v() - (*section.LOCATION).v(), 29);
  } else {
    step.Assign(section.LENGTH, ((*LENGTH).v() + (*Section(1).LOCATION).v()) - (*section.LOCATION).v(), 28);
  }

  AssignNodeCount(step, i, nodesBefore, run);

  if (s > 1)
    step.Assign(section.BASE, TruncToInt(nodesBefore), 32);
  else
    step.Assign(section.BASE, 0, 33);
  step.Assign(*section.SPACINGUSED, section.LENGTH.v() / static_cast<double>(section.NODECOUNT.v()), 34);
  step.Assign(section.NUMELEMENTS,
              TruncToInt(static_cast<double>(section.NODECOUNT.v()) / static_cast<double>(PolyPoints() + 1)),
              35);

  if (CollocationForm())
    step.Assign(section.ELEMENTLENGTH, (*section.SPACINGUSED).v() * static_cast<double>(PolyPoints() + 1), 37);
  else
    step.Assign(section.ELEMENTLENGTH, (*section.SPACINGUSED).v(), 36);

  // The points of the elements the budget admitted: UnionFn115365376(i) for every section it
  // did not cut.
  if (InteriorByElements())
    step.Assign(section.INTERIOR, ElementPoints(s, run.sections[static_cast<std::size_t>(s - 1)].elements), 39);
  else
    step.Assign(section.INTERIOR,
                Range(std::int64_t{section.BASE.v()} + 1, std::int64_t{section.BASE.v()} + section.NODECOUNT.v() - 1),
                HIGHESTORDERDERIVATIVE.v() < 2 ? 40 : 38);
}

// NODECOUNT: LENGTH / SPACINGPREFERENCE rounded to whole intervals (n); n
// rounded up to whole elements when it reaches MINNODECOUNT (#31), else the
// minimum (#30). The elements the section places are admitted first.
void TQ_DOMAIN::AssignNodeCount(const TQ_AssignmentStep& step, TQ_IntegerSetIter& i, double nodesBefore, GridRun& run) {
  const int s = i.v();
  TQ_SECTIONDATAMODEL& section = Section(s);
  const double spacing = (*section.SPACINGPREFERENCE).v();
  const double quotient = section.LENGTH.v() / spacing;
  const bool sized =
      std::isfinite(spacing) && spacing != 0.0 && std::isfinite(quotient) && std::fabs(quotient) < kIntMax;
  if (!sized) {
    ReportProblem(
        "LENGTH / SPACINGPREFERENCE is not a finite number of node intervals; "
        "the section takes MINNODECOUNT",
        s);
  } else if (quotient < 0.0) {
    // A spacing against the direction of the section's length: no number of intervals.
    char what[200];
    std::snprintf(what,
                  sizeof what,
                  "LENGTH / SPACINGPREFERENCE is %.15g, a negative number of node intervals; the section takes "
                  "MINNODECOUNT",
                  quotient);
    ReportProblem(what, s);
  }
  const int n = RoundToInt(quotient);
  const int minimum = MINNODECOUNT.v();
  const bool reachesMinimum = sized && n >= minimum;
  // At least one element, whatever MINNODECOUNT holds.
  std::int64_t wanted = reachesMinimum ? n : minimum;
  if (wanted < 1) wanted = 1;
  const std::int64_t points = PolyPoints();
  std::int64_t count =
      std::int64_t{TruncToInt(static_cast<double>(wanted + points) / static_cast<double>(points + 1))} * (points + 1);
  const double room = static_cast<double>(kLastNode) - (nodesBefore > 0.0 ? nodesBefore : 0.0);
  if (static_cast<double>(count) > room) {
    ReportProblem("the node numbers would pass 2147483646; the section keeps the whole elements that fit", s);
    count = room <= 0.0 ? 0 : static_cast<std::int64_t>(room) / (points + 1) * (points + 1);
  }
  // A node count fixed by hand stands; its elements are the ones admitted.
  const std::int64_t nodeCount = section.NODECOUNT.IsFixed() ? section.NODECOUNT.v() : count;
  const std::int64_t elements = ElementsPlaced(section, nodeCount);
  GridRun::Placed& placed = run.sections[static_cast<std::size_t>(s - 1)];
  placed.elements = AdmitElements(s, nodeCount, elements, run);
  // Refused, a computed node count shrinks to the elements kept.
  if (placed.elements < elements && !section.NODECOUNT.IsFixed()) count = points + 1;
  placed.cut = placed.elements < ElementsPlaced(section, section.NODECOUNT.IsFixed() ? nodeCount : count);
  run.placed += static_cast<double>(placed.elements) * static_cast<double>(points + 1);
  if (placed.elements > 0) run.pointsCounted = true;
  step.Assign(section.NODECOUNT, static_cast<int>(count), reachesMinimum ? 31 : 30);
}

std::int64_t TQ_DOMAIN::AdmitElements(int s, std::int64_t nodeCount, std::int64_t elements, GridRun& run) {
  if (elements <= 0 || ElementsFit(s, nodeCount, elements, run, true)) return elements;
  if (elements > 1 && ElementsFit(s, nodeCount, 1, run, false)) {
    ReportProblem("the section keeps one element", s);
    return 1;
  }
  ReportProblem("the section keeps no element", s);
  return 0;
}

bool TQ_DOMAIN::ElementsFit(int s, std::int64_t nodeCount, std::int64_t elements, const GridRun& run, bool report) {
  const std::int64_t points = PolyPoints();
  const double own = static_cast<double>(elements) * static_cast<double>(points + 1);
  // The nodes 0 .. the end of this section's elements that are not made yet, the POLYPOINT
  // elements the first placed element reads, and the runs of the INTERIOR sets.
  const double nodes = std::max(run.placed + own + 1.0 - static_cast<double>((*VALUE).ElementVector.Elements()), 0.0);
  const double pointElements =
      elements > 0 && !run.pointsCounted
          ? std::max(static_cast<double>(points) - static_cast<double>(POLYPOINT.ElementVector.Elements()), 0.0)
          : 0.0;
  const double runs = InteriorByElements() ? static_cast<double>(elements) : 0.0;
  if (nodes + pointElements <= 0.0 && runs <= 0.0) return true;
  const double made = nodes + pointElements;
  const double bytes = TQ_SizeBudget::Estimate(made, made * sizeof(TQ_REALPARAMETER), 0.0) + runs * kRunBytes;
  // The message counts the elements its text names: the nodes of a node count fixed by hand, or
  // those of the sections up to this one, and the POLYPOINT elements; the estimate holds
  // everything.
  const bool fixed = Section(s).NODECOUNT.IsFixed();
  const double shown = (fixed ? std::min(own, nodes) : nodes) + pointElements;
  char who[320];
  const int length =
      fixed ? std::snprintf(who,
                            sizeof who,
                            "domain %s, section %d: the nodes of its NODECOUNT %lld",
                            DomainName(),
                            s,
                            static_cast<long long>(nodeCount))
            : std::snprintf(
                  who, sizeof who, "domain %s, section %d: the nodes of the sections up to it", DomainName(), s);
  if (pointElements > 0.0 && length > 0 && static_cast<std::size_t>(length) < sizeof who)
    std::snprintf(who + length,
                  sizeof who - static_cast<std::size_t>(length),
                  " and the POLYPOINT elements of NUMPOLYPOINTS %lld",
                  static_cast<long long>(points));
  return TQ_SizeBudget::Admit(who, shown, bytes - TQ_SizeBudget::Estimate(shown, 0.0, 0.0), 0.0, report);
}

std::int64_t TQ_DOMAIN::ElementsPlaced(TQ_SECTIONDATAMODEL& section, std::int64_t nodeCount) {
  const std::int64_t held = nodeCount > 0 ? nodeCount / (PolyPoints() + 1) : 0;
  if (!section.NUMELEMENTS.IsFixed()) return held;
  const std::int64_t fixed = section.NUMELEMENTS.v();
  return fixed < 0 ? 0 : fixed < held ? fixed : held;
}

bool TQ_DOMAIN::SectionsFit(int sections) {
  const TQ_LongPtrVectorOwnsData& made = (*SECTION).ElementVector;
  const double missing = static_cast<double>(sections) - static_cast<double>(made.Elements());
  // A section made before the grid ran (a value fixed on one of its properties makes it) has yet
  // to take what the grid makes for it: the objects its virtual properties stand for, not made
  // yet, and its run of the INTERIOR sets.
  double later = 0.0;
  int madeBefore = 0;
  const unsigned int present = std::min(made.Elements(), static_cast<unsigned int>(sections > 0 ? sections : 0));
  const double object = TQ_SizeBudget::Estimate(1.0, sizeof(TQ_REALPARAMETER), 0.0);
  for (unsigned int slot = 0; slot < present; ++slot) {
    const auto* section = static_cast<const TQ_SECTIONDATAMODEL*>(made[slot]);
    if (section == nullptr || section->LOCATION.CurrentLink() != nullptr) continue;
    ++madeBefore;
    later += kRunBytes + object;
    if (section->SPACINGPREFERENCE.CurrentLink() == nullptr) later += object;
    if (section->SPACINGUSED.CurrentLink() == nullptr) later += object;
  }
  if (missing <= 0.0 && later <= 0.0) return true;
  char who[256];
  std::snprintf(who, sizeof who, "domain %s: NUMSECTIONS %d", DomainName(), sections);
  if (missing <= 0.0) {
    char size[96];
    std::snprintf(size, sizeof size, "the grid's objects for the %d sections made before it", madeBefore);
    // The host reports a refusal itself: no string of its heap is handed to the library.
    return TQ_SizeBudget::AdmitBytes(who, size, later, nullptr);
  }
  // Each section adds a run to the domain's INTERIOR at least.
  return TQ_SizeBudget::Admit(who, missing, missing * (kSectionBytes + kRunBytes) + later, 0.0, true);
}

// The coordinates of the nodes after the first node of section i.v(): each
// element's inner points, then its right-hand boundary. Each node is checked
// as it is placed.
void TQ_DOMAIN::AssignNodeValues(const TQ_AssignmentStep& step, TQ_IntegerSetIter& i, GridRun& run) {
  const int s = i.v();
  TQ_SECTIONDATAMODEL& section = Section(s);
  const GridRun::Placed placed = run.sections[static_cast<std::size_t>(s - 1)];
  if (section.NUMELEMENTS.v() > ElementsPlaced(section, section.NODECOUNT.v()))
    ReportProblem("NUMELEMENTS is more than the section's NODECOUNT holds; the elements beyond are left out", s);
  // A section the budget cut has said why its nodes are missing.
  run.sectionReported = placed.cut;
  const std::int64_t base = section.BASE.v();
  if (!run.sectionReported && section.NODECOUNT.v() < 1) {
    char what[200];
    std::snprintf(what,
                  sizeof what,
                  "its NODECOUNT is %d; a section's length holds one node interval at least",
                  section.NODECOUNT.v());
    ReportProblem(what, s);
    run.sectionReported = true;
  }
  if (!run.sectionReported && base != run.lastNode) {
    char what[200];
    std::snprintf(what,
                  sizeof what,
                  "its first node is %lld, but the nodes before end at node %lld; nodes are left without a "
                  "coordinate or placed twice",
                  static_cast<long long>(base),
                  static_cast<long long>(run.lastNode));
    ReportProblem(what, s);
    run.sectionReported = true;
  }
  const std::int64_t points = PolyPoints();
  // The higher-order difference methods step by the spacing (ELEMENTLENGTH
  // is SPACINGUSED there), the others by the element.
  const bool higherOrder = HigherOrder();
  const double spread = static_cast<double>(points + 1);
  const std::int64_t end = base + section.NODECOUNT.v();
  run.lastNode = end;
  std::int64_t last = base;
  TQ_IntegerSetIter e(Range(1, placed.elements));
  while (e.Next()) {
    const std::int64_t first = base + (std::int64_t{e.v()} - 1) * (points + 1);
    const std::int64_t boundary = base + std::int64_t{e.v()} * (points + 1);
    if (boundary > kLastNode) {
      ReportProblem("node numbers pass 2147483646; the nodes beyond are left out", s);
      return;
    }
    const double length = section.ELEMENTLENGTH.v();
    const double start = (*section.LOCATION).v();
    const double element = static_cast<double>(e.v());
    TQ_IntegerSetIter p(Range(1, points));
    while (p.Next()) {
      const double fraction = POLYPOINT(p.v()).v();
      TQ_REALPARAMETER& node = (*VALUE)(static_cast<int>(first + p.v()));
      const double x = NodeCoordinate(higherOrder, spread, length, start, element, &fraction);
      step.Assign(node, x, higherOrder ? 45 : 47);
      if (!run.sectionReported) CheckNode(run, s, first + p.v(), node.IsFixed() ? node.v() : x, e.v(), p.v());
    }
    TQ_REALPARAMETER& node = (*VALUE)(static_cast<int>(boundary));
    const double x = NodeCoordinate(higherOrder, spread, length, start, element, nullptr);
    step.Assign(node, x, higherOrder ? 46 : 48);
    if (!run.sectionReported) CheckNode(run, s, boundary, node.IsFixed() ? node.v() : x, e.v(), 0);
    last = boundary;
  }
  if (!run.sectionReported && last < end) {
    char what[200];
    std::snprintf(what,
                  sizeof what,
                  "its elements end at node %lld, which leaves nodes %lld to %lld without a coordinate",
                  static_cast<long long>(last),
                  static_cast<long long>(last + 1),
                  static_cast<long long>(end));
    ReportProblem(what, s);
  }
}

void TQ_DOMAIN::CheckNode(GridRun& run, int s, std::int64_t k, double x, int element, int point) {
  const double before = run.lastCoordinate;
  const int direction = x > before ? 1 : x < before ? -1 : 0;
  const bool finite = std::isfinite(x);
  if (finite) run.lastCoordinate = x;
  // A coordinate after one that is not finite has nothing to be compared with.
  if (finite && !std::isfinite(before)) return;
  if (finite && direction != 0 && (run.direction == 0 || direction == run.direction)) {
    run.direction = direction;
    return;
  }
  char where[64];
  if (point > 0)
    std::snprintf(where, sizeof where, "point %d of element %d", point, element);
  else
    std::snprintf(where, sizeof where, "the end of element %d", element);
  char what[320];
  if (!finite)
    std::snprintf(what,
                  sizeof what,
                  "node %lld (%s) has no finite coordinate: %s",
                  static_cast<long long>(k),
                  where,
                  std::isnan(x) ? "not a number"
                  : x > 0.0     ? "inf"
                                : "-inf");
  else if (direction == 0)
    std::snprintf(what,
                  sizeof what,
                  "node %lld (%s) lies at %.17g, where the node before it lies; the nodes must be apart",
                  static_cast<long long>(k),
                  where,
                  x);
  else
    std::snprintf(what,
                  sizeof what,
                  "node %lld (%s) lies at %s, back from %s where the node before it lies; the coordinates "
                  "must run one way",
                  static_cast<long long>(k),
                  where,
                  MessageReal(x).text,
                  MessageReal(before).text);
  ReportProblem(what, s);
  run.sectionReported = true;
}

// ---- set functions ------------------------------------------------------------------

double TQ_DOMAIN::SumOfNodeCounts(std::int64_t last) {
  double sum = 0.0;
  TQ_IntegerSetIter j(Range(1, last));
  while (j.Next()) sum += static_cast<double>(Section(j.v()).NODECOUNT.v());
  return sum;
}

double TQ_DOMAIN::Sigma25416536(TQ_IntegerSetIter& i) { return SumOfNodeCounts(std::int64_t{i.v()} - 1); }
double TQ_DOMAIN::Sigma115370720() { return SumOfNodeCounts(NUMSECTIONS.v()); }
double TQ_DOMAIN::Sigma115374720() { return SumOfNodeCounts(NUMSECTIONS.v()); }

TQ_SetValue& TQ_DOMAIN::UnionFn115365376(TQ_IntegerSetIter& i) {
  TQ_SECTIONDATAMODEL& section = Section(i.v());
  return ElementPoints(i.v(), ElementsPlaced(section, section.NODECOUNT.v()));
}

TQ_SetValue& TQ_DOMAIN::ElementPoints(int s, std::int64_t elements) {
  static TQ_SetValue result(TQ_SET_ANY);
  Union all(result);
  TQ_IntegerSetIter e(Range(1, elements));
  while (e.Next()) {
    const std::int64_t points = PolyPoints();
    const std::int64_t start = std::int64_t{Section(s).BASE.v()} + (std::int64_t{e.v()} - 1) * (points + 1);
    all.Add(Range(start + 1, start + points));
  }
  return result;
}

TQ_SetValue& TQ_DOMAIN::UnionFn115369808() {
  static TQ_SetValue result(TQ_SET_ANY);
  Union all(result);
  TQ_IntegerSetIter j(Range(1, NUMSECTIONS.v()));
  while (j.Next()) all.Add(TQ_SetValue(Section(j.v()).INTERIOR.v()));
  return result;
}
