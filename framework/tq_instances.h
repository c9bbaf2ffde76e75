// How the library's template instances are exported: one line per instance,
// in the folder of the instance's type (framework/tq_instances.cpp,
// types/tq_types_instances.cpp, domain/tq_domain_instances.cpp,
// distribution/tq_distribution*_instances.cpp).
#pragma once

#include "framework/morvane_api.h"
#include "framework/tq_external.h"
#include "framework/tq_generated.h"
#include "framework/tq_global_structure_ref.h"
#include "framework/tq_multiport.h"
#include "framework/tq_typed_arrays.h"
#include "framework/tq_virtual.h"

// The link TQ_External<T> and the virtual property TQ_Virtual<T> over T.
#define MORVANE_LINK_INSTANCES(...)        \
  template class TQ_External<__VA_ARGS__>; \
  template class TQ_Virtual<__VA_ARGS__>

// The typed array ARRAY<T, T>, with the link and the virtual property over it.
#define MORVANE_ARRAY_INSTANCES(ARRAY, T) \
  template class ARRAY<T, T>;             \
  MORVANE_LINK_INSTANCES(ARRAY<T, T>)

// The multiport over the port type T with its connection array (and the
// link and virtual property over that array).
#define MORVANE_MULTIPORT_INSTANCES(T)    \
  MORVANE_ARRAY_INSTANCES(TQ_ARRAY_S, T); \
  template class TQ_MULTIPORT<T>

// The global-structure reference over the structure type T.
#define MORVANE_GLOBALSTRUCTUREREF_INSTANCE(T) template class TQ_GLOBALSTRUCTUREREFNAME<T>
