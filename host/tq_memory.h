// The host heap: every object of the host's class hierarchy, and every block
// the model library allocates, comes from MyAllocate and goes back to MyFree.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vekexp_api.h"

// Returns a block of at least `size` bytes, or null when the heap refuses.
VEKEXP_API void* MyAllocate(unsigned int size);
// Releases a block from MyAllocate; null is accepted and ignored.
VEKEXP_API void MyFree(void* pointer);

// Heap statistics and fault injection, for tests and tools.
struct VEKEXP_API TQ_HeapStats {
  static std::int64_t LiveBlocks();       // blocks handed out and not yet freed
  static std::int64_t TotalAllocations(); // successful MyAllocate calls so far
  static std::int64_t TotalFrees();       // MyFree calls with a non-null pointer
  static std::int64_t LiveBytes();
  // The next `skip` allocations succeed, then the `count` after them fail.
  static void FailAllocations(int count, int skip = 0);
  static int PendingFailures();
};
