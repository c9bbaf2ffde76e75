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
// Where the input cannot give a grid, the domain reports the problem through
// the host and still hands over a consistent one:
// - NUMSECTIONS below 1: no section; the statements that divide by it or
//   reach section 1 (#5, #25, #44) do not run; ENDNODE 0, INTERIOR empty.
// - A section whose LENGTH / SPACINGPREFERENCE is not a finite number within
//   the signed 32-bit range (a zero or non-finite spacing, a non-finite
//   length) takes the minimum node count (#30).
// - Node counts are whole multiples of NUMPOLYPOINTS + 1 with at least one
//   element, also when the user fixes MINNODECOUNT or NUMPOLYPOINTS to values
//   that the method table would not give, so that the elements tile every
//   section and every node gets its coordinate. A negative NUMPOLYPOINTS is
//   taken as 0.
// - Node numbers stay below 2^31 - 1, so that the host can count the node
//   set: a section whose nodes would go beyond gets the whole elements that
//   fit.
// - Values outside their range are reported and the grid is built from them
//   as they are: a negative LENGTH, a section whose LENGTH and
//   SPACINGPREFERENCE give a negative number of intervals (it takes the
//   minimum node count), a HIGHESTORDERDERIVATIVE outside 0 to 2, a POLYPOINT
//   fraction not strictly between 0 and 1.
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "domain/tq_domain.h"
#include "domain/tq_methods.h"

namespace {

constexpr double kIntMax = 2147483647.0;
// The highest node number: the host counts the members of the node set
// 0 .. ENDNODE in a signed 32-bit integer.
constexpr std::int64_t kLastNode = INT32_MAX - 1;

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

// The row of a method name, letter case ignored; null for any other name.
const TQ_MethodFacts* FindMethod(const char* method) {
  for (const TQ_MethodFacts& row : kDiscretizationMethods)
    if (SUValue::CompareCI(method, row.name) == 0) return &row;
  return nullptr;
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

// The higher-order difference methods: evenly spaced nodes with points
// inside their elements. BFD1 and FFD1 have no points of their own; given
// points, they take the collocation form.
bool IsHigherOrder(const char* method) {
  const TQ_MethodFacts* row = FindMethod(method);
  return row != nullptr && !row->collocation && row->points > 0;
}

}  // namespace

TQ_SECTIONDATAMODEL& TQ_DOMAIN::Section(int i) { return (*SECTION)(i); }

bool TQ_DOMAIN::CollocationForm() { return PolyPoints() != 0 && !IsHigherOrder(DISCRETIZATIONMETHOD.v()); }

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
  char message[400];
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
  step.Assign(*LENGTH, 1.0, 4);
  const int sections = NUMSECTIONS.v();
  if (sections >= 1)
    step.Assign(*SPACINGPREFERENCE, ((*LENGTH).v() * 0.125) / static_cast<double>(sections), 5);
  else
    ReportProblem("NUMSECTIONS is below 1; the domain has no sections");
  if (!std::isfinite((*LENGTH).v())) ReportProblem("LENGTH is not a finite number");
  if ((*LENGTH).v() < 0.0) ReportProblem("LENGTH is negative; a domain's extent is 0 or more");

  AssignMethod(step);
  if (NUMPOLYPOINTS.v() < 0) ReportProblem("NUMPOLYPOINTS is negative; it is taken as 0");

  step.Assign(HIGHESTORDERDERIVATIVE, 1, 24);
  if (HIGHESTORDERDERIVATIVE.v() < 0 || HIGHESTORDERDERIVATIVE.v() > 2) {
    char what[160];
    std::snprintf(what,
                  sizeof what,
                  "HIGHESTORDERDERIVATIVE is %d; the derivative orders are 0, 1 and 2",
                  HIGHESTORDERDERIVATIVE.v());
    ReportProblem(what);
  }
  if (sections >= 1 && !SectionsFit(sections)) {
    // Refused its sections, the domain makes none: the grid of a domain
    // without sections.
    step.Assign(INTERIOR, Range(1, 0), 42);
    step.Assign(ENDNODE, 0, 43);
    return;
  }
  if (sections >= 1) step.Assign(*Section(1).LOCATION, 0.0, 25);

  {
    // The node counts of the sections before the current one, summed as the loop goes, in the
    // order Sigma25416536 sums them: each section's count is final once its turn is over, so
    // the sum is the same and the sections take linear time, not quadratic.
    double before = 0.0;
    double placed = 0.0;  // the nodes the sections so far place, as the size budget counts them
    TQ_IntegerSetIter i(Range(1, NUMSECTIONS.v()));
    while (i.Next()) {
      AssignSection(step, i, NUMSECTIONS.v(), before, placed);
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

  if (NUMSECTIONS.v() >= 1) step.Assign((*VALUE)(0), (*Section(1).LOCATION).v(), 44);
  bool fractionsChecked = false;
  TQ_IntegerSetIter i(Range(1, NUMSECTIONS.v()));
  while (i.Next()) AssignNodeValues(step, i, fractionsChecked);
}

// MINNODECOUNT, NUMPOLYPOINTS and POLYPOINT of the method; a name outside the
// ten assigns none of them.
void TQ_DOMAIN::AssignMethod(const TQ_AssignmentStep& step) {
  if (const TQ_MethodFacts* row = FindMethod(DISCRETIZATIONMETHOD.v()))
    step.Assign(MINNODECOUNT, row->reach, row->reachStatement);
  const TQ_MethodFacts* row = FindMethod(DISCRETIZATIONMETHOD.v());
  if (row == nullptr || row->pointsStatement == 0) return;
  step.Assign(NUMPOLYPOINTS, row->points, row->pointsStatement);
  for (int p = 1; p <= row->points; ++p) step.Assign(POLYPOINT(p), row->fractions[p - 1], row->pointsStatement + p);
}

// One section: its start, spacing, length, node count, first node, spacing
// used, elements, element length and interior nodes.
void TQ_DOMAIN::AssignSection(
    const TQ_AssignmentStep& step, TQ_IntegerSetIter& i, int sections, double nodesBefore, double& placed) {
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

  AssignNodeCount(step, i, nodesBefore, placed);

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

  if (HIGHESTORDERDERIVATIVE.v() >= 2 && CollocationForm())
    step.Assign(section.INTERIOR, UnionFn115365376(i), 39);
  else
    step.Assign(section.INTERIOR,
                Range(std::int64_t{section.BASE.v()} + 1, std::int64_t{section.BASE.v()} + section.NODECOUNT.v() - 1),
                HIGHESTORDERDERIVATIVE.v() < 2 ? 40 : 38);
}

// NODECOUNT: LENGTH / SPACINGPREFERENCE rounded to whole intervals (n); n
// rounded up to whole elements when it reaches MINNODECOUNT (#31), else the
// minimum (#30).
void TQ_DOMAIN::AssignNodeCount(const TQ_AssignmentStep& step,
                                TQ_IntegerSetIter& i,
                                double nodesBefore,
                                double& placed) {
  const int s = i.v();
  TQ_SECTIONDATAMODEL& section = Section(s);
  const double spacing = (*section.SPACINGPREFERENCE).v();
  const double quotient = section.LENGTH.v() / spacing;
  const bool sized =
      std::isfinite(spacing) && spacing != 0.0 && std::isfinite(quotient) && std::fabs(quotient) < kIntMax;
  if (!sized)
    ReportProblem(
        "LENGTH / SPACINGPREFERENCE is not a finite number of node intervals; "
        "the section takes MINNODECOUNT",
        s);
  else if (quotient < 0.0) {
    char what[200];
    std::snprintf(what,
                  sizeof what,
                  "LENGTH %g / SPACINGPREFERENCE %g is a negative number of node intervals; "
                  "the section takes MINNODECOUNT",
                  section.LENGTH.v(),
                  spacing);
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
  // The nodes the section's elements place, each with its VALUE element, and
  // those of the sections before it must fit the host's size budget; refused,
  // the section keeps one element.
  const double perElement = static_cast<double>(points + 1);
  const double elements = static_cast<double>(ElementsPlaced(section, count));
  const double missing = placed + elements * perElement + 1.0 - static_cast<double>((*VALUE).ElementVector.Elements());
  if (missing > 0.0 && elements > 1.0) {
    char who[256];
    std::snprintf(who, sizeof who, "domain %s, section %d: the nodes of the sections up to it", DomainName(), s);
    if (!TQ_SizeBudget::Admit(who, missing, missing * sizeof(TQ_REALPARAMETER), 0.0, true)) {
      ReportProblem("the section keeps one element", s);
      count = points + 1;
    }
  }
  placed += static_cast<double>(ElementsPlaced(section, count)) * perElement;
  step.Assign(section.NODECOUNT, static_cast<int>(count), reachesMinimum ? 31 : 30);
}

std::int64_t TQ_DOMAIN::ElementsPlaced(TQ_SECTIONDATAMODEL& section, std::int64_t nodeCount) {
  const std::int64_t held = nodeCount > 0 ? nodeCount / (PolyPoints() + 1) : 0;
  if (!section.NUMELEMENTS.IsFixed()) return held;
  const std::int64_t fixed = section.NUMELEMENTS.v();
  return fixed < 0 ? 0 : fixed < held ? fixed : held;
}

bool TQ_DOMAIN::SectionsFit(int sections) {
  const double missing = static_cast<double>(sections) - static_cast<double>((*SECTION).ElementVector.Elements());
  if (missing <= 0.0) return true;
  char who[256];
  std::snprintf(who, sizeof who, "domain %s: NUMSECTIONS %d", DomainName(), sections);
  return TQ_SizeBudget::Admit(who, missing, missing * kSectionBytes, 0.0, true);
}

// The coordinates of the nodes after the first node of section i.v(): each
// element's inner points, then its right-hand boundary. The first element met
// in the domain has its point fractions checked (`fractionsChecked` is then
// set): each lies inside the element, strictly between 0 and 1.
void TQ_DOMAIN::AssignNodeValues(const TQ_AssignmentStep& step, TQ_IntegerSetIter& i, bool& fractionsChecked) {
  TQ_SECTIONDATAMODEL& section = Section(i.v());
  std::int64_t elements = ElementsPlaced(section, section.NODECOUNT.v());
  if (section.NUMELEMENTS.v() > elements)
    ReportProblem("NUMELEMENTS is more than the section's NODECOUNT holds; the elements beyond are left out", i.v());
  // A NODECOUNT fixed by hand was not the count the size budget admitted while the node counts
  // were assigned: its nodes must fit the budget before they are made; refused, the section keeps
  // one element.
  if (section.NODECOUNT.IsFixed() && elements > 1) {
    const double perElement = static_cast<double>(PolyPoints() + 1);
    const double missing = static_cast<double>(section.BASE.v()) + static_cast<double>(elements) * perElement + 1.0 -
                           static_cast<double>((*VALUE).ElementVector.Elements());
    if (missing > 0.0) {
      char who[256];
      std::snprintf(who,
                    sizeof who,
                    "domain %s, section %d: the nodes of its NODECOUNT %d",
                    DomainName(),
                    i.v(),
                    section.NODECOUNT.v());
      if (!TQ_SizeBudget::Admit(who, missing, missing * sizeof(TQ_REALPARAMETER), 0.0, true)) {
        ReportProblem("the section keeps one element", i.v());
        elements = 1;
      }
    }
  }
  TQ_IntegerSetIter e(Range(1, elements));
  while (e.Next()) {
    const std::int64_t points = PolyPoints();
    const std::int64_t base = section.BASE.v();
    const std::int64_t first = base + (std::int64_t{e.v()} - 1) * (points + 1);
    const std::int64_t boundary = base + std::int64_t{e.v()} * (points + 1);
    if (boundary > kLastNode) {
      ReportProblem("node numbers pass 2147483646; the nodes beyond are left out", i.v());
      return;
    }
    const double length = section.ELEMENTLENGTH.v();
    const double start = (*section.LOCATION).v();
    const double element = static_cast<double>(e.v());
    const double spread = static_cast<double>(points + 1);
    // The higher-order difference methods step by the spacing (ELEMENTLENGTH
    // is SPACINGUSED there), the others by the element.
    const bool higherOrder = IsHigherOrder(DISCRETIZATIONMETHOD.v());
    TQ_IntegerSetIter p(Range(1, points));
    while (p.Next()) {
      const double fraction = POLYPOINT(p.v()).v();
      if (!fractionsChecked && !(fraction > 0.0 && fraction < 1.0)) {
        char what[200];
        std::snprintf(what,
                      sizeof what,
                      "POLYPOINT(%d) is %g; a point lies inside its element, between 0 and 1",
                      p.v(),
                      fraction);
        ReportProblem(what);
      }
      TQ_REALPARAMETER& node = (*VALUE)(static_cast<int>(first + p.v()));
      if (higherOrder)
        step.Assign(node, spread * (length * ((fraction + element) + (-1.0))) + start, 45);
      else
        step.Assign(node, length * ((fraction + element) + (-1.0)) + start, 47);
    }
    fractionsChecked = true;
    TQ_REALPARAMETER& node = (*VALUE)(static_cast<int>(boundary));
    if (higherOrder)
      step.Assign(node, spread * (length * element) + start, 46);
    else
      step.Assign(node, length * element + start, 48);
  }
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
  static TQ_SetValue result(TQ_SET_ANY);
  Union all(result);
  TQ_SECTIONDATAMODEL& section = Section(i.v());
  TQ_IntegerSetIter e(Range(1, ElementsPlaced(section, section.NODECOUNT.v())));
  while (e.Next()) {
    const std::int64_t points = PolyPoints();
    const std::int64_t start = std::int64_t{Section(i.v()).BASE.v()} + (std::int64_t{e.v()} - 1) * (points + 1);
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
