#include "tq_memory.h"

#include "tq_held.h"
#include "tq_memory_gate.h"

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstddef>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "tq_equation_store.h"
#include "tq_executive.h"

namespace {
// Every block is aligned for any type, whatever alignment the C library's
// malloc gives (8 bytes on 32-bit Windows): to alignof(std::max_align_t), and
// to 16 bytes at least, since the headers of 32-bit MinGW disagree between
// units on max_align_t (8 or 16). Just before the block stand the address
// malloc returned and the block's size, so that the live byte count needs no
// table.
struct BlockHeader {
  void* raw;
  unsigned int size;
};
constexpr std::size_t kAlignment = alignof(std::max_align_t) < 16 ? 16 : alignof(std::max_align_t);

// The header rounded up to the alignment: with a block from malloc that is aligned, the block
// given out starts this far into it.
constexpr std::size_t kHeaderUnit = (sizeof(BlockHeader) + kAlignment - 1) / kAlignment * kAlignment;
// Whether malloc's blocks are known to be aligned to kAlignment (the GNU C library's are to 16
// bytes on 64-bit targets); MyAllocate checks each block all the same.
#if defined(__GLIBC__) && UINTPTR_MAX > 0xFFFFFFFFu
constexpr bool kMallocAligned = true;
#else
constexpr bool kMallocAligned = false;
#endif

BlockHeader* HeaderOf(void* block) {
  return reinterpret_cast<BlockHeader*>(static_cast<unsigned char*>(block) - sizeof(BlockHeader));
}

struct Heap {
  std::int64_t live = 0;
  std::int64_t liveBytes = 0;
  std::int64_t footprint = 0;   // the live blocks as the C library keeps them
  std::int64_t structures = 0;  // the host's own structures (TQ_CountHeld)
  std::int64_t peak = 0;        // the most footprint + structures since ResetPeak
  std::int64_t allocations = 0;
  std::int64_t frees = 0;
  int skip = 0;
  int failures = 0;
};

// Set up before any code runs and never destroyed (it has no destructor to
// run): objects may be made early and freed late.
constinit Heap g_heap;

Heap& TheHeap() { return g_heap; }
// Whether `size` bytes and `extra` more can be asked of the system at all.
bool FitsWithHeader(std::size_t size, std::size_t extra) { return size <= static_cast<std::size_t>(-1) - extra; }

// What a block of `size` bytes given out takes from the C library: its header and alignment, and
// the C library's own.
std::int64_t Footprint(unsigned int size) {
  return TQ_BlockBytes(std::size_t{size} + (kMallocAligned ? kHeaderUnit : sizeof(BlockHeader) + kAlignment - 1));
}

void NotePeak(Heap& heap) {
  const std::int64_t held = heap.footprint + heap.structures;
  if (held > heap.peak) heap.peak = held;
}

TQ_AllocationGate g_gate = nullptr;

}  // namespace

void TQ_SetAllocationGate(TQ_AllocationGate gate) { g_gate = gate; }

bool TQ_AllocationGateAllows(std::size_t size) { return g_gate == nullptr || g_gate(size); }

void* MyAllocate(unsigned int size) {
  Heap& heap = TheHeap();
  if (heap.failures > 0) {
    if (heap.skip > 0) {
      --heap.skip;
    } else {
      --heap.failures;
      return nullptr;
    }
  }
  if (!TQ_AllocationGateAllows(size)) return nullptr;
  const std::size_t extra = sizeof(BlockHeader) + kAlignment - 1;
  // (Only a 32-bit build can meet a size that leaves no room for the header.)
  if (!FitsWithHeader(size, extra)) return nullptr;
  // Where malloc's blocks are aligned already, the header takes one alignment unit and no more
  // (most blocks are array elements of a hundred bytes or so; the rest would be a tenth on top).
  void* raw = kMallocAligned ? std::malloc(size + kHeaderUnit) : nullptr;
  if (raw != nullptr && reinterpret_cast<std::uintptr_t>(raw) % kAlignment != 0) {
    std::free(raw);
    raw = nullptr;
  }
  if (raw == nullptr) raw = std::malloc(size + extra);
  if (raw == nullptr) return nullptr;
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(raw) + sizeof(BlockHeader);
  void* block = reinterpret_cast<void*>((first + kAlignment - 1) / kAlignment * kAlignment);
  *HeaderOf(block) = BlockHeader{raw, size};
  ++heap.live;
  ++heap.allocations;
  heap.liveBytes += size;
  heap.footprint += Footprint(size);
  NotePeak(heap);
  return block;
}

void MyFree(void* pointer) {
  if (pointer == nullptr) return;
  Heap& heap = TheHeap();
  const BlockHeader header = *HeaderOf(pointer);
  heap.liveBytes -= header.size;
  heap.footprint -= Footprint(header.size);
  --heap.live;
  ++heap.frees;
  std::free(header.raw);
}

std::int64_t TQ_HeapStats::LiveBlocks() { return TheHeap().live; }
std::int64_t TQ_HeapStats::TotalAllocations() { return TheHeap().allocations; }
std::int64_t TQ_HeapStats::TotalFrees() { return TheHeap().frees; }
std::int64_t TQ_HeapStats::LiveBytes() { return TheHeap().liveBytes; }
std::int64_t TQ_HeapStats::HeldBytes() { return TheHeap().footprint + TheHeap().structures; }
std::int64_t TQ_HeapStats::StructureBytes() { return TheHeap().structures; }
std::int64_t TQ_HeapStats::PeakHeldBytes() { return TheHeap().peak; }
void TQ_HeapStats::ResetPeak() { TheHeap().peak = HeldBytes(); }

void TQ_CountHeld(std::int64_t bytes) noexcept {
  Heap& heap = TheHeap();
  heap.structures += bytes;
  if (bytes > 0) NotePeak(heap);
}

void TQ_HeapStats::FailAllocations(int count, int skip) {
  TheHeap().failures = count < 0 ? 0 : count;
  TheHeap().skip = skip < 0 ? 0 : skip;
}

int TQ_HeapStats::PendingFailures() { return TheHeap().failures; }

// ---- the size budget ---------------------------------------------------------------

namespace {
std::int64_t g_refusals = 0;  // requests refused so far, by either admission
std::int64_t g_budget = 0;    // 0: the default

// What an element takes beside its object: the heap's header and alignment,
// its slot in the array's element vector and its name (a string object and,
// for a long key, its text).
constexpr double kBytesBesideElement = 96.0;

// A size for a message, in the unit that fits it: "640 bytes", "1.00 KB", "64.00 MB", "7.50 GB".
struct SizeText {
  explicit SizeText(double bytes) {
    constexpr double kKilobyte = 1024.0;
    if (bytes < kKilobyte)
      std::snprintf(text, sizeof text, "%.0f bytes", bytes);
    else if (bytes < kKilobyte * kKilobyte)
      std::snprintf(text, sizeof text, "%.2f KB", bytes / kKilobyte);
    else if (bytes < kKilobyte * kKilobyte * kKilobyte)
      std::snprintf(text, sizeof text, "%.2f MB", bytes / (kKilobyte * kKilobyte));
    else
      std::snprintf(text, sizeof text, "%.2f GB", bytes / (kKilobyte * kKilobyte * kKilobyte));
  }
  char text[48];
};
}  // namespace

std::int64_t TQ_SizeBudget::MachineMemory() {
  std::uint64_t memory = 0;
#if defined(_WIN32)
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status)) {
    memory = status.ullTotalPhys;
    if (status.ullTotalVirtual < memory) memory = status.ullTotalVirtual;
  }
#else
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0) memory = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      static_cast<std::uint64_t>(limit.rlim_cur) < memory)
    memory = static_cast<std::uint64_t>(limit.rlim_cur);
#endif
  return memory > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<std::int64_t>(memory);
}

// By default the models may take three quarters of the machine's memory: the
// rest is left to the programs' code, the runtime's heap and the system.
std::int64_t TQ_SizeBudget::Limit() {
  if (g_budget > 0) return g_budget;
  const std::int64_t machine = MachineMemory();
  return machine > 0 ? machine / 4 * 3 : INT64_MAX;
}

std::int64_t TQ_SizeBudget::Refusals() { return g_refusals; }

void TQ_SizeBudget::SetLimit(std::int64_t bytes) { g_budget = bytes > 0 ? bytes : 0; }

double TQ_SizeBudget::Estimate(double elements, double elementBytes, double nonZeros) {
  return elementBytes + elements * kBytesBesideElement + TQ_EquationStore::AddedBytes(nonZeros);
}

std::int64_t TQ_SizeBudget::Held() { return TQ_HeapStats::HeldBytes() + TQ_EquationStore::PendingBytes(); }

namespace {
// "<what>: <size> would take about X; with the Y the host holds, that is more than the size budget
// of Z; refused", or, with no size, "<what>: the host holds Y, more than the size budget of Z;
// refused"; without "<what>: " when there is no `what`. Each size is given in the unit that fits it.
void FormatRefusal(
    char* out, std::size_t room, const char* what, const char* size, double wanted, double held, double limit) {
  const bool named = what != nullptr && *what != '\0';
  if (size != nullptr)
    std::snprintf(out,
                  room,
                  "%s%s%s would take about %s; with the %s the host holds, that is more than the size "
                  "budget of %s; refused",
                  named ? what : "",
                  named ? ": " : "",
                  size,
                  SizeText(wanted).text,
                  SizeText(held).text,
                  SizeText(limit).text);
  else
    std::snprintf(out,
                  room,
                  "%s%sthe host holds %s, more than the size budget of %s; refused",
                  named ? what : "",
                  named ? ": " : "",
                  SizeText(held).text,
                  SizeText(limit).text);
}
}  // namespace

bool TQ_SizeBudget::Admit(const char* what, double elements, double elementBytes, double nonZeros, bool report) {
  const double wanted = Estimate(elements, elementBytes, nonZeros);
  const double held = static_cast<double>(Held());
  const double limit = static_cast<double>(Limit());
  if (held + wanted <= limit) return true;
  ++g_refusals;
  if (report) {
    char size[96];
    if (nonZeros > 0.0)
      std::snprintf(size, sizeof size, "%.0f elements and %.0f non-zeros", elements, nonZeros);
    else
      std::snprintf(size, sizeof size, "%.0f elements", elements);
    char message[640];
    FormatRefusal(message, sizeof message, what, size, wanted, held, limit);
    TQ_Executive::Instance().ReportError(static_cast<const char*>(message));
  }
  return false;
}

bool TQ_SizeBudget::AdmitBytes(const char* what, const char* size, double bytes, std::string* why) {
  const double held = static_cast<double>(Held());
  const double limit = static_cast<double>(Limit());
  if (held + bytes <= limit) return true;
  ++g_refusals;
  char message[640];
  FormatRefusal(message, sizeof message, what, bytes > 0.0 ? size : nullptr, bytes, held, limit);
  if (why != nullptr)
    *why = message;
  else
    TQ_Executive::Instance().ReportError(static_cast<const char*>(message));
  return false;
}
