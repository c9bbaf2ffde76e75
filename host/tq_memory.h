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
  static std::int64_t LiveBlocks();        // blocks handed out and not yet freed
  static std::int64_t TotalAllocations();  // successful MyAllocate calls so far
  static std::int64_t TotalFrees();        // MyFree calls with a non-null pointer
  static std::int64_t LiveBytes();
  // The next `skip` allocations succeed, then the `count` after them fail.
  static void FailAllocations(int count, int skip = 0);
  static int PendingFailures();
};

// The size budget: the most memory the host lets the models' objects and
// equations take. A model asks before it makes its elements, and is refused,
// with a message that gives the size and the limit, when they would not fit.
struct VEKEXP_API TQ_SizeBudget {
  // The limit in bytes. Unless set, three quarters of the machine's memory
  // (MachineMemory), or no limit when that is unknown.
  static std::int64_t Limit();
  // Sets the limit in bytes; 0 or less restores the default.
  static void SetLimit(std::int64_t bytes);
  // The machine's memory: its physical memory, or the address space the
  // process may take when that is less; 0 when unknown.
  static std::int64_t MachineMemory();
  // The bytes `elements` new element objects of `elementBytes` bytes in all
  // and equations of `nonZeros` non-zeros would take on the host, beside
  // the objects themselves: the heap's and the arrays' own share, and the
  // equation store.
  static double Estimate(double elements, double elementBytes, double nonZeros);
  // Whether they fit the limit on top of what the host heap holds now. When
  // they do not and `report` is set, the host is told, the message starting
  // with `what` (who asks, for what).
  static bool Admit(const char* what, double elements, double elementBytes, double nonZeros, bool report);
};
