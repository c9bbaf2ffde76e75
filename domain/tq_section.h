// TQ_SECTIONDATAMODEL: one section of a one-dimensional domain. The section
// computes nothing itself; the domain that holds it in its SECTION array
// assigns every property (see tq_domain.h), and the distributions read its
// NODECOUNT, BASE, NUMELEMENTS and ELEMENTLENGTH.
#pragma once

#include "framework/morvane_api.h"
#include "framework/tq_external.h"
#include "framework/tq_generated.h"
#include "types/tq_generic_types.h"
#include "framework/tq_virtual.h"
#include "host/vekexp.h"

class MORVANE_API TQ_SECTIONDATAMODEL : public TQ_Generated<TQ_SECTIONDATAMODEL, TQ_GENERICMODEL> {
  MORVANE_GENERATED_CLASS(TQ_SECTIONDATAMODEL)

 public:
  // Registers the section's own properties after the generic model's.
  void RegisterProperties();

  // Attached by the host; nothing in the library reads it (the domain's own
  // MINNODECOUNT is the one its assignments use).
  TQ_External<TQ_INTEGERPARAMETER> MINNODECOUNT;
  // Coordinate of the section's left-hand boundary.
  TQ_Virtual<TQ_REALPARAMETER> LOCATION;
  // Preferred node spacing, copied from the domain.
  TQ_Virtual<TQ_REALPARAMETER> SPACINGPREFERENCE;
  // Node spacing used: LENGTH / NODECOUNT.
  TQ_Virtual<TQ_REALPARAMETER> SPACINGUSED;
  // Extent of the section.
  TQ_REALPARAMETER LENGTH{true};
  // Node intervals of the section: its nodes are BASE .. BASE + NODECOUNT.
  TQ_INTEGERPARAMETER NODECOUNT{true};
  // Domain index of the section's first node.
  TQ_INTEGERPARAMETER BASE{true};
  // Elements of NUMPOLYPOINTS + 1 intervals each.
  TQ_INTEGERPARAMETER NUMELEMENTS{true};
  // Extent of one element.
  TQ_REALPARAMETER ELEMENTLENGTH{true};
  // The section's interior nodes.
  TQ_INTEGERSET INTERIOR;

  MORVANE_GENERATED_COUNTERS
};
