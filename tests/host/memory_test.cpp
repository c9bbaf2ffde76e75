// The host heap (MyAllocate/MyFree with its counters and refusals), what a
// refused allocation does to a new-expression, and the life of reference-
// counted objects: references, the executive's release order, links.
#include <cstdint>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "host_fixture.h"

namespace {

struct Counted : TQ_Type {
  Counted() { ++constructed; }
  ~Counted() override { ++destroyed; }
  double payload[8] = {};
  static inline int constructed = 0;
  static inline int destroyed = 0;
};

class HostHeap : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    Counted::constructed = 0;
    Counted::destroyed = 0;
  }
};

TEST_F(HostHeap, CountsLiveBlocksAndBytes) {
  const auto live = TQ_HeapStats::LiveBlocks();
  const auto bytes = TQ_HeapStats::LiveBytes();
  const auto allocations = TQ_HeapStats::TotalAllocations();
  const auto frees = TQ_HeapStats::TotalFrees();
  void* a = MyAllocate(40);
  void* b = MyAllocate(1);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 2);
  EXPECT_EQ(TQ_HeapStats::LiveBytes(), bytes + 41);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % alignof(std::max_align_t), 0u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % alignof(std::max_align_t), 0u);
  MyFree(a);
  MyFree(nullptr);  // accepted, and no release
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1);
  EXPECT_EQ(TQ_HeapStats::LiveBytes(), bytes + 1);
  MyFree(b);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
  EXPECT_EQ(TQ_HeapStats::LiveBytes(), bytes);
  EXPECT_EQ(TQ_HeapStats::TotalAllocations(), allocations + 2);
  EXPECT_EQ(TQ_HeapStats::TotalFrees(), frees + 2);
}

TEST_F(HostHeap, RefusesTheNextAllocationsAfterTheOnesToSkip) {
  TQ_HeapStats::FailAllocations(2, 1);
  EXPECT_EQ(TQ_HeapStats::PendingFailures(), 2);
  void* first = MyAllocate(8);
  void* second = MyAllocate(8);
  void* third = MyAllocate(8);
  void* fourth = MyAllocate(8);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(third, nullptr);
  EXPECT_NE(fourth, nullptr);
  EXPECT_EQ(TQ_HeapStats::PendingFailures(), 0);
  MyFree(first);
  MyFree(fourth);
}

// Blocks of every size, small and large: each aligned, all of it usable
// without touching another block, each call counted once with its size, a
// refused call counted not at all.
TEST_F(HostHeap, BlocksOfEverySizeAreAlignedSeparateAndCountedPerCall) {
  for (unsigned int size : {0u, 1u, 15u, 16u, 17u, 100u, 176u, 255u, 256u, 257u, 1000u, 70000u}) {
    SCOPED_TRACE("size " + std::to_string(size));
    const auto live = TQ_HeapStats::LiveBlocks();
    const auto bytes = TQ_HeapStats::LiveBytes();
    const auto allocations = TQ_HeapStats::TotalAllocations();
    const auto frees = TQ_HeapStats::TotalFrees();
    std::vector<unsigned char*> blocks;
    for (int i = 0; i < 3; ++i) {
      blocks.push_back(static_cast<unsigned char*>(MyAllocate(size)));
      ASSERT_NE(blocks.back(), nullptr);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks.back()) % alignof(std::max_align_t), 0u);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks.back()) % 16, 0u);
      EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + i + 1);
      EXPECT_EQ(TQ_HeapStats::LiveBytes(), bytes + static_cast<std::int64_t>(size) * (i + 1));
    }
    for (int i = 0; i < 3; ++i) std::memset(blocks[static_cast<std::size_t>(i)], 'a' + i, size);
    for (int i = 0; i < 3; ++i)
      for (unsigned int at = 0; at < size; ++at)
        if (blocks[static_cast<std::size_t>(i)][at] != 'a' + i) ADD_FAILURE() << "block " << i << " byte " << at;

    TQ_HeapStats::FailAllocations(1);
    EXPECT_EQ(MyAllocate(size), nullptr);
    EXPECT_EQ(TQ_HeapStats::TotalAllocations(), allocations + 3);
    EXPECT_EQ(TQ_HeapStats::LiveBytes(), bytes + static_cast<std::int64_t>(size) * 3);

    MyFree(blocks[1]);
    EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 2);
    EXPECT_EQ(TQ_HeapStats::LiveBytes(), bytes + static_cast<std::int64_t>(size) * 2);
    EXPECT_EQ(TQ_HeapStats::TotalFrees(), frees + 1);
    unsigned char* again = static_cast<unsigned char*>(MyAllocate(size));
    ASSERT_NE(again, nullptr);
    std::memset(again, 'z', size);
    for (unsigned int at = 0; at < size; ++at)
      if (blocks[0][at] != 'a' || blocks[2][at] != 'c') ADD_FAILURE() << "a neighbour changed at byte " << at;
    MyFree(again);
    MyFree(blocks[0]);
    MyFree(blocks[2]);
    EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
    EXPECT_EQ(TQ_HeapStats::LiveBytes(), bytes);
    EXPECT_EQ(TQ_HeapStats::TotalAllocations(), allocations + 4);
    EXPECT_EQ(TQ_HeapStats::TotalFrees(), frees + 4);
  }
}

TEST_F(HostHeap, ARefusedAllocationConstructsNothingAndFreesNothing) {
  const auto live = TQ_HeapStats::LiveBlocks();
  const auto allocations = TQ_HeapStats::TotalAllocations();
  const auto frees = TQ_HeapStats::TotalFrees();
  TQ_HeapStats::FailAllocations(1);
  Counted* refused = new Counted;
  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(Counted::constructed, 0);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
  EXPECT_EQ(TQ_HeapStats::TotalAllocations(), allocations);
  EXPECT_EQ(TQ_HeapStats::TotalFrees(), frees);

  // The next one is granted, and its deleting destructor gives the block back.
  Counted* granted = new Counted;
  ASSERT_NE(granted, nullptr);
  EXPECT_EQ(Counted::constructed, 1);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1);
  EXPECT_GE(TQ_HeapStats::LiveBytes(), static_cast<std::int64_t>(sizeof(Counted)));
  TQ_Type* asBase = granted;
  delete asBase;
  EXPECT_EQ(Counted::destroyed, 1);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
  EXPECT_EQ(TQ_HeapStats::TotalFrees(), frees + 1);
}

// ---- reference counting ----------------------------------------------------------

TEST_F(HostHeap, TheLastReleaseDestroysTheObject) {
  const auto live = TQ_HeapStats::LiveBlocks();
  Counted* object = new Counted;
  EXPECT_EQ(object->RefCount(), 0) << "a new object holds no reference";
  EXPECT_EQ(object->AddRef(), 1);
  EXPECT_EQ(object->AddRef(), 2);
  EXPECT_EQ(object->Release(), 1);
  EXPECT_EQ(Counted::destroyed, 0);
  EXPECT_EQ(object->Release(), 0);
  EXPECT_EQ(Counted::destroyed, 1);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
}

TEST_F(HostHeap, ACopyStartsWithoutReferences) {
  Counted original;
  original.AddRef();
  original.AddRef();
  Counted copy(original);
  EXPECT_EQ(copy.RefCount(), 0);
  copy = original;
  EXPECT_EQ(copy.RefCount(), 0);
  EXPECT_EQ(original.RefCount(), 2);
}

TEST_F(HostHeap, ResetReleasesTheObjectsInReverseOrder) {
  DestructionLog().clear();
  Add<LinkingModel>("FIRST");
  Add<LinkingModel>("SECOND");
  Add<LinkingModel>("THIRD");
  Host().Reset();
  EXPECT_EQ(DestructionLog(), (std::vector<std::string>{"THIRD", "SECOND", "FIRST"}));
  EXPECT_EQ(Host().ObjectCount(), 0);
}

TEST_F(HostHeap, ALinkKeepsItsObjectAliveUntilTheLinkGoes) {
  auto* user = Add<LinkingModel>("USER");
  const auto live = TQ_HeapStats::LiveBlocks();
  auto* domain = new TwoEquationModel;
  domain->AddRef();  // the reference a factory hands out
  std::string error;
  ASSERT_TRUE(user->XDOMAIN.Attach(domain, &error)) << error;
  EXPECT_EQ(domain->RefCount(), 2);

  // Released by its first holder, the domain lives on the link's reference.
  domain->Release();
  EXPECT_EQ(domain->RefCount(), 1);
  EXPECT_EQ(user->XDOMAIN.ExternalLink(), domain);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1);
  user->XDOMAIN.Detach();
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live) << "the domain goes with the last reference";
  EXPECT_FALSE(user->XDOMAIN.IsAttached());
}

TEST_F(HostHeap, ObjectsLinkedEitherWayAreAllFreedByReset) {
  DestructionLog().clear();
  auto* early = Add<LinkingModel>("EARLY");
  auto* target = Add<TwoEquationModel>("TARGET");
  auto* late = Add<LinkingModel>("LATE");
  ASSERT_TRUE(early->XDOMAIN.Attach(target));
  ASSERT_TRUE(late->XDOMAIN.Attach(target));
  EXPECT_EQ(target->RefCount(), 3);
  Host().Reset();
  EXPECT_EQ(DestructionLog(), (std::vector<std::string>{"LATE", "EARLY"}));
  // TearDown checks that TARGET went too.
}

}  // namespace
