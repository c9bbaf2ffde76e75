// The export table: for each creatable type its factory, its property-info
// cell, its compatibility number and its Jacobian data block, under plain
// (unmangled) names.
#include <cstdint>

#include "library/export_table.h"
#include "framework/morvane_api.h"
#include "distribution/tq_distribution1d.h"
#include "distribution/tq_distribution2d.h"
#include "distribution/tq_distribution3d.h"
#include "domain/tq_domain.h"
#include "types/tq_generic_types.h"
#include "framework/tq_support.h"

// <NAME>Factory: a new object of the type with its first reference, or null
// (with nothing constructed) when the host heap refuses the allocation.
// <NAME>PropertyInfo: the address of a four-byte cell of the type's own,
// zero at load; the library never reads or writes it.
// _Compatibility<NAME>: 6. _JacData<NAME>: a block whose first value is 22;
// the library never reads it.
#define MORVANE_EXPORT_TYPE(NAME)                                                            \
  extern "C" {                                                                               \
  MORVANE_API TQ_ModelType* NAME##Factory() { return morvane::MakeReferenced<TQ_##NAME>(); } \
  MORVANE_API void* NAME##PropertyInfo() {                                                   \
    static std::int32_t cell;                                                                \
    return &cell;                                                                            \
  }                                                                                          \
  MORVANE_API std::int32_t _Compatibility##NAME = MORVANE_COMPATIBILITY;                     \
  MORVANE_API std::int32_t _JacData##NAME[1] = {MORVANE_JACDATA_HEAD};                       \
  }

MORVANE_CREATABLE_TYPES(MORVANE_EXPORT_TYPE)
