// The template instances over the three-dimensional distribution: a link and
// a virtual property over it. (The three-index arrays it holds are instances
// over the host's variable types, listed with the framework's.)
#include "distribution/tq_distribution3d.h"
#include "framework/tq_instances.h"

MORVANE_LINK_INSTANCES(TQ_DISTRIBUTION3D);
