// The template instances over the section and the three domain classes: a
// link and a virtual property over each, and the section array with its link
// and virtual property.
#include "domain/tq_domain.h"
#include "framework/tq_instances.h"

MORVANE_LINK_INSTANCES(TQ_SECTIONDATAMODEL);
MORVANE_LINK_INSTANCES(TQ_DOMAIN);
MORVANE_LINK_INSTANCES(TQ_LENGTHDOMAIN);
MORVANE_LINK_INSTANCES(TQ_ANGLEDOMAIN);
MORVANE_ARRAY_INSTANCES(TQ_ARRAY_I, TQ_SECTIONDATAMODEL);
