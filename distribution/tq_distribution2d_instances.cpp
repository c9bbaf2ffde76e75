// The template instances over the two-dimensional distribution: a link and a
// virtual property over it. (Its arrays, TQ_ARRAY_II over the host's real
// variable and partial derivative with their links, are listed with the
// framework's instances.)
#include "distribution/tq_distribution2d.h"
#include "framework/tq_instances.h"

MORVANE_LINK_INSTANCES(TQ_DISTRIBUTION2D);
