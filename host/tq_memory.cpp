#include "tq_memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstddef>

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
  std::int64_t allocations = 0;
  std::int64_t frees = 0;
  int skip = 0;
  int failures = 0;
};

Heap& TheHeap() {
  static Heap* heap = new Heap;  // lives to the end of the process: objects may be freed late
  return *heap;
}
// Whether `size` bytes and `extra` more can be asked of the system at all.
bool FitsWithHeader(std::size_t size, std::size_t extra) { return size <= static_cast<std::size_t>(-1) - extra; }

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
  return block;
}

void MyFree(void* pointer) {
  if (pointer == nullptr) return;
  Heap& heap = TheHeap();
  const BlockHeader header = *HeaderOf(pointer);
  heap.liveBytes -= header.size;
  --heap.live;
  ++heap.frees;
  std::free(header.raw);
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
