// The template instances over the host's property types that the library
// exports, with their whole member interface. The instances over the types'
// and the domain's classes are listed in those folders (types/tq_types_instances.cpp,
// domain/tq_domain_instances.cpp), as each distribution lists its own.
#include "framework/tq_instances.h"

// Typed arrays over the host's property types, each with its link and
// virtual property.
MORVANE_ARRAY_INSTANCES(TQ_ARRAY_I, TQ_REALPARAMETER);
MORVANE_ARRAY_INSTANCES(TQ_ARRAY_I, TQ_PARTIALDERIVATIVE);
MORVANE_ARRAY_INSTANCES(TQ_ARRAY_I, TQ_REALVARIABLE);
MORVANE_ARRAY_INSTANCES(TQ_ARRAY_II, TQ_PARTIALDERIVATIVE);
MORVANE_ARRAY_INSTANCES(TQ_ARRAY_II, TQ_REALVARIABLE);
MORVANE_ARRAY_INSTANCES(TQ_ARRAY_III, TQ_PARTIALDERIVATIVE);
MORVANE_ARRAY_INSTANCES(TQ_ARRAY_III, TQ_REALVARIABLE);
