// The host heap: every object of the host's class hierarchy, and every block
// the model library allocates, comes from MyAllocate and goes back to MyFree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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
  // What the host holds: its heap's live blocks as the C library keeps them
  // (with their headers), and the host's own structures that grow with the
  // models (StructureBytes). The size budget weighs a model against it.
  static std::int64_t HeldBytes();
  // The bytes of the host's own structures: the equation store (what it
  // holds and has reserved), the registry, names, property tables, sets,
  // messages, procedure records.
  static std::int64_t StructureBytes();
  // The most HeldBytes() has been since the last ResetPeak().
  static std::int64_t PeakHeldBytes();
  static void ResetPeak();
  // The next `skip` allocations succeed, then the `count` after them fail.
  static void FailAllocations(int count, int skip = 0);
  static int PendingFailures();
};

// The size budget: the most memory the host lets the models' objects and
// equations take. A model asks before it makes its elements, and is refused,
// with a message that gives the size and the limit, when they would not fit
// beside what the host holds: HeldBytes(), and what the models that declared
// their equations will still have emitted into the equation store.
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
  // and equations of `nonZeros` non-zeros would take on the host: the
  // objects with the heap's and the arrays' share, and what the equation
  // store takes more to declare and emit the equations.
  static double Estimate(double elements, double elementBytes, double nonZeros);
  // What the host holds now, with what the equation store will still take
  // for the equations declared so far.
  static std::int64_t Held();
  // Whether they fit the limit on top of Held(). When they do not and
  // `report` is set, the host is told, the message starting with `what` (who
  // asks, for what).
  static bool Admit(const char* what, double elements, double elementBytes, double nonZeros, bool report);
  // Whether `bytes` more, which something the host makes on a caller's
  // behalf takes (`size` says what: "a set of 5 members"), fit the limit on
  // top of Held(). When they do not, `why` says so, starting with `what`;
  // with no bytes it says that the host holds more than the limit already.
  // Without `why` the host is told instead, as by Admit: the model library
  // asks so, as a string the host filled would be freed by the library's
  // own operators, which did not allocate it.
  static bool AdmitBytes(const char* what, const char* size, double bytes, std::string* why);
  // How many requests the two admissions have refused since the process began: a caller that
  // sees it rise across a step knows the step failed because something did not fit.
  static std::int64_t Refusals();
};
