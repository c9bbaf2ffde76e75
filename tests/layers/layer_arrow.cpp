// A source that includes a header of the distribution: it compiles only in a
// layer that links the distribution (see CMakeLists.txt beside it).
#include "distribution/tq_distribution1d.h"
#include "domain/tq_domain.h"

void LayerArrowUsesBoth(TQ_DOMAIN& domain, TQ_DISTRIBUTION1D& distribution) {
  static_cast<void>(domain);
  static_cast<void>(distribution);
}
