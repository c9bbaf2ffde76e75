// The allocation gate of the host layer: a test seam, not part of the host's
// interface. A test program sets a gate to make chosen allocations of the
// host fail (every MyAllocate, and the arrays' element vectors, which the
// host allocates on its own) and to count them. (The key slot tables of the
// arrays are left out: without memory for one an array searches instead,
// and the run goes on rightly.)
#pragma once

#include <cstddef>

#include "vekexp_api.h"

// Asked before each allocation the host makes for itself or for a model, with
// the size; false makes that allocation fail as if the memory were not there.
using TQ_AllocationGate = bool (*)(std::size_t size);

// Sets the gate; null removes it (every allocation goes ahead).
VEKEXP_API void TQ_SetAllocationGate(TQ_AllocationGate gate);

// Whether the gate lets an allocation of `size` bytes go ahead (true when no
// gate is set). For the host layer's own allocations.
bool TQ_AllocationGateAllows(std::size_t size);
