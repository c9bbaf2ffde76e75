// The one-dimensional domain: TQ_DOMAIN divides its LENGTH into NUMSECTIONS
// equal sections, chooses the points of each element from its
// DISCRETIZATIONMETHOD, numbers the nodes 0 to ENDNODE and gives each node its
// coordinate (VALUE) and the domain its interior node set (INTERIOR).
// TQ_LENGTHDOMAIN and TQ_ANGLEDOMAIN are domains of a named kind; they differ
// from TQ_DOMAIN only in their type id.
//
// The grid is computed by the domain's assignments (tq_domain_grid.cpp), and checked against its
// method for the distributions (tq_domain_method_grid.cpp).
// Nodes are numbered across the whole domain; section i covers the nodes
// BASE_i .. BASE_i + NODECOUNT_i, and consecutive sections share their
// junction node. Each section is cut into elements of NUMPOLYPOINTS + 1
// intervals: for the collocation form (NUMPOLYPOINTS not 0 and the method
// none of the difference methods with points of their own, tq_methods.h) the
// points lie at the POLYPOINT fractions of each element, otherwise the nodes
// are evenly spaced.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/morvane_api.h"
#include "framework/tq_generated.h"
#include "framework/tq_real_text.h"
#include "types/tq_parameters.h"
#include "types/tq_ports.h"
#include "domain/tq_section.h"
#include "framework/tq_typed_arrays.h"
#include "framework/tq_virtual.h"
#include "host/vekexp.h"

using TQ_SECTIONARRAY = TQ_ARRAY_I<TQ_SECTIONDATAMODEL, TQ_SECTIONDATAMODEL>;
using TQ_REALPARAMETERARRAY = TQ_ARRAY_I<TQ_REALPARAMETER, TQ_REALPARAMETER>;
struct TQ_MethodFacts;

class MORVANE_API TQ_DOMAIN : public TQ_Generated<TQ_DOMAIN, TQ_ModelTypeEx2> {
  MORVANE_GENERATED_CLASS(TQ_DOMAIN)

 public:
  // The class level's parts of the host's calls.
  void RegisterProperties();
  void SizeArrays();
  void IndexSets(const TQ_AssignmentStep& step);
  void Assignments(const TQ_AssignmentStep& step);

  // Sum, in double, of the NODECOUNTs of the sections before section i.v().
  double Sigma25416536(TQ_IntegerSetIter& i);
  // Sum, in double, of the NODECOUNTs of all NUMSECTIONS sections (the two
  // serve different statements).
  double Sigma115370720();
  double Sigma115374720();
  // The points inside the elements of section i.v(), element boundaries left
  // out. The result is a library-wide set that every call clears and
  // rebuilds; it stays valid until the next call, from any domain.
  TQ_SetValue& UnionFn115365376(TQ_IntegerSetIter& i);
  // The union of the INTERIOR sets of all sections; shared like the above.
  TQ_SetValue& UnionFn115369808();

  // Whether the grid is the one the method places, which the distributions' equations take for
  // granted (they read neither POLYPOINT nor the coordinates, and step by ELEMENTLENGTH): true for
  // a method outside the table; otherwise
  // - NUMPOLYPOINTS (as the grid takes it) and POLYPOINT hold what the method assigns
  //   (tq_methods.h: the count itself, each point within kMethodPointTolerance of its fraction);
  // - every node lies where the method puts it from its section's LOCATION, ELEMENTLENGTH and
  //   points (the node-coordinate statements #45 to #48);
  // - every section's first node lies at its LOCATION, and the last section's last node at the
  //   domain's end (its LENGTH from section 1's LOCATION), so that each section's elements span
  //   it exactly.
  // Coordinates agree within kGridTolerance of the section's element, plus kGridUlps ulps of the
  // largest of their magnitudes and those of the terms the node is computed from (tq_methods.h).
  // A coordinate the domain cannot compute (not finite) is not judged here: the domain's own
  // check of its nodes reports it.
  bool HoldsMethodGrid();
  // Reports the first fault of HoldsMethodGrid, naming the domain and the property and values
  // where it can ("domain X: POLYPOINT(1) is fixed at 0.3, but its method OCFE2 has 0.5; ...",
  // "domain X: node 3 lies at 0.13, but its method CFD4 puts it at 0.1875 (...); ..."), once until
  // the domain's assignments run again (or the fault changes), whichever distributions and axes
  // meet it. True when this call reported it; false when it was reported before, or the grid is
  // the method's.
  bool ReportMethodGrid();

  // Members in declaration order; each internal index set is registered just
  // before the array it dimensions.
  TQ_Virtual<TQ_SECTIONARRAY> SECTION;
  TQ_INTEGERSET TQ_SECTION_SET1;
  TQ_Virtual<TQ_REALPARAMETER> LENGTH;
  TQ_Virtual<TQ_REALPARAMETER> SPACINGPREFERENCE;
  TQ_Virtual<TQ_REALPARAMETERARRAY> VALUE;
  TQ_INTEGERSET TQ_VALUE_SET1;
  TQ_STRINGPARAMETER USERNOTES{true};
  TQ_CONTROLPORT INPUTSIGNAL{true};
  TQ_CONTROLPORT OUTPUTSIGNAL{true};
  TQ_DISCRETIZATIONMETHODPARAM DISCRETIZATIONMETHOD{true};
  TQ_NUMSECTIONSPARAM NUMSECTIONS{true};
  TQ_INTEGERPARAMETER MINNODECOUNT{true};
  TQ_POLYPOINTSPARAM NUMPOLYPOINTS{true};
  TQ_REALPARAMETERARRAY POLYPOINT;
  TQ_INTEGERSET TQ_POLYPOINT_SET1;
  TQ_INTEGERPARAMETER HIGHESTORDERDERIVATIVE{true};
  TQ_INTEGERSET INTERIOR;
  TQ_INTEGERPARAMETER ENDNODE{true};

 private:
  // What one run of the assignments carries from the sections' statements to
  // the node coordinates: the elements each section places, as the size
  // budget admitted them, and the check of the grid as its nodes are placed
  // (defined in tq_domain_grid.cpp).
  struct GridRun;

  // Section i of the SECTION array, made when it is missing.
  TQ_SECTIONDATAMODEL& Section(int i);
  // The row of DISCRETIZATIONMETHOD in the method table (tq_methods.h), letter case ignored; null
  // for a name outside it.
  const TQ_MethodFacts* MethodRow();
  // Whether the method is one of the higher-order difference methods: evenly spaced nodes with
  // points inside their elements.
  bool HigherOrder();
  // The coordinate the node statements give a node of element `element` (1 on) of a section that
  // starts at `start` with elements `length` long: the point at `fraction` inside it (#45, #47),
  // or, with no fraction, its end (#46, #48); the higher-order difference methods step by the
  // spacing, `spread` of which make an element. The check against the method computes each node
  // with it too, so that the two agree to the bit.
  static double NodeCoordinate(
      bool higherOrder, double spread, double length, double start, double element, const double* fraction);
  // NUMPOLYPOINTS as the grid uses it: a negative count is taken as 0.
  std::int64_t PolyPoints();
  // Whether the elements carry collocation points: NUMPOLYPOINTS is not 0
  // and the method is none of the higher-order difference methods.
  bool CollocationForm();
  // Whether a section's INTERIOR holds only the points inside its elements
  // (#39): one run of members per element.
  bool InteriorByElements();
  // Sum of the NODECOUNTs of sections 1 .. last.
  double SumOfNodeCounts(std::int64_t last);
  // The points inside the first `elements` elements of section s, element
  // boundaries left out, in the shared result set of UnionFn115365376.
  TQ_SetValue& ElementPoints(int s, std::int64_t elements);
  // The grid statements, in the order they run.
  void AssignMethod(const TQ_AssignmentStep& step);
  // `nodesBefore` is Sigma25416536(i), the node counts of the sections before section i.v().
  void AssignSection(
      const TQ_AssignmentStep& step, TQ_IntegerSetIter& i, int sections, double nodesBefore, GridRun& run);
  void AssignNodeCount(const TQ_AssignmentStep& step, TQ_IntegerSetIter& i, double nodesBefore, GridRun& run);
  void AssignNodeValues(const TQ_AssignmentStep& step, TQ_IntegerSetIter& i, GridRun& run);
  // The elements section s places of the `elements` its node count holds:
  // all of them when the size budget admits what they make (their nodes, the
  // POLYPOINT elements not yet made, the runs of the INTERIOR sets);
  // otherwise, reported, one element when that fits and none when not.
  std::int64_t AdmitElements(int s, std::int64_t nodeCount, std::int64_t elements, GridRun& run);
  // Whether the budget admits what `elements` elements of section s make,
  // on top of what the sections before it place; `report` gives a refusal
  // to the host.
  bool ElementsFit(int s, std::int64_t nodeCount, std::int64_t elements, const GridRun& run, bool report);
  // Checks node k, placed at `x` for section s as point `point` of element
  // `element` (point 0: the element's end): a finite coordinate, apart from
  // the node before it and beyond it in the direction the nodes run. The
  // section's first fault is reported.
  void CheckNode(GridRun& run, int s, std::int64_t k, double x, int element, int point);
  // Reports a problem with the domain's input through the host.
  void ReportProblem(const char* what, int section = 0);
  // The domain's name for a message, "(unnamed)" when it has none.
  const char* DomainName() const;
  // The first fault of HoldsMethodGrid in words, into `what` (cut to `size` bytes), with what
  // the distributions make of it; false, and nothing written, when the grid is the method's.
  bool MethodGridFault(char* what, std::size_t size);
  // The first node that does not lie where `method` puts it (HoldsMethodGrid), in words; false
  // when every node does.
  bool NodesFault(const TQ_MethodFacts& method, char* what, std::size_t size);
  // Node k's coordinate parameter when the domain has made it; null otherwise (nothing is made).
  const TQ_REALPARAMETER* NodeIfMade(std::int64_t k);
  // Whether the sections the SECTION array lacks of `sections` fit the
  // host's size budget; the host reports a refusal.
  bool SectionsFit(int sections);
  // The elements whose nodes the domain places in a section of `nodeCount`
  // intervals: its NUMELEMENTS, but no more than the intervals hold (a
  // NUMELEMENTS fixed beyond them would place nodes past the section).
  std::int64_t ElementsPlaced(TQ_SECTIONDATAMODEL& section, std::int64_t nodeCount);

  // What ReportMethodGrid last reported since the assignments ran (a hash of the message; 0:
  // nothing).
  std::uint64_t gridReported_ = 0;

  MORVANE_GENERATED_COUNTERS
};

// The domain kinds: a TQ_DOMAIN in all but the type id.
class MORVANE_API TQ_LENGTHDOMAIN : public TQ_Generated<TQ_LENGTHDOMAIN, TQ_DOMAIN> {
  MORVANE_GENERATED_CLASS(TQ_LENGTHDOMAIN)

  MORVANE_GENERATED_COUNTERS
};

class MORVANE_API TQ_ANGLEDOMAIN : public TQ_Generated<TQ_ANGLEDOMAIN, TQ_DOMAIN> {
  MORVANE_GENERATED_CLASS(TQ_ANGLEDOMAIN)

  MORVANE_GENERATED_COUNTERS
};

// The host memory a section takes with the objects of its properties, as the
// size budget counts it.
inline constexpr double kSectionBytes = 2.0 * sizeof(TQ_SECTIONDATAMODEL);

// Conversions of the grid from a real to a signed 32-bit integer. A value
// that is not a number gives 0; values beyond the 32-bit range saturate at
// its ends.
// Truncation toward zero.
std::int32_t TruncToInt(double x);
// The nearest integer, halves away from zero: TruncToInt(x + 0.5) for x >= 0,
// TruncToInt(x - 0.5) otherwise.
std::int32_t RoundToInt(double x);

// A real in the domain's messages that set values side by side: as "%.15g" writes it, or with the
// 16 or 17 digits it needs to read back as the same double (RealText), so that two different
// values never read alike and a value copied from a message into a fix is the one named.
inline RealText MessageReal(double value) { return RealText(value, 15); }
