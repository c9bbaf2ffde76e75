#include "tq_memory.h"

#include <cstdlib>
#include <cstddef>

namespace {
constexpr std::size_t kHeader = alignof(std::max_align_t) < 16 ? 16 : alignof(std::max_align_t);

struct Heap {
  std::int64_t live = 0;
  std::int64_t liveBytes = 0;
  std::int64_t allocations = 0;
  std::int64_t frees = 0;
  int skip = 0;
  int failures = 0;
};

Heap& TheHeap() {
  static Heap* heap = new Heap;  // lives to the end of the process: objects may be freed late
  return *heap;
}
}  // namespace

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
  // Each block carries a header with its size, so that the live byte count
  // needs no table; the header keeps the block maximally aligned.
  unsigned char* raw = static_cast<unsigned char*>(std::malloc(kHeader + size));
  if (raw == nullptr) return nullptr;
  *reinterpret_cast<unsigned int*>(raw) = size;
  ++heap.live;
  ++heap.allocations;
  heap.liveBytes += size;
  return raw + kHeader;
}

void MyFree(void* pointer) {
  if (pointer == nullptr) return;
  Heap& heap = TheHeap();
  unsigned char* raw = static_cast<unsigned char*>(pointer) - kHeader;
  heap.liveBytes -= *reinterpret_cast<unsigned int*>(raw);
  --heap.live;
  ++heap.frees;
  std::free(raw);
}

std::int64_t TQ_HeapStats::LiveBlocks() { return TheHeap().live; }
std::int64_t TQ_HeapStats::TotalAllocations() { return TheHeap().allocations; }
std::int64_t TQ_HeapStats::TotalFrees() { return TheHeap().frees; }
std::int64_t TQ_HeapStats::LiveBytes() { return TheHeap().liveBytes; }

void TQ_HeapStats::FailAllocations(int count, int skip) {
  TheHeap().failures = count < 0 ? 0 : count;
  TheHeap().skip = skip < 0 ? 0 : skip;
}

int TQ_HeapStats::PendingFailures() { return TheHeap().failures; }
