// The template instances over the one-dimensional distribution: a link and a
// virtual property over it. (The arrays it holds are instances over the host's
// variable types, listed with the framework's.)
#include "distribution/tq_distribution1d.h"
#include "framework/tq_instances.h"

MORVANE_LINK_INSTANCES(TQ_DISTRIBUTION1D);
