// The library frame: string-set membership as the generated code asks it, and
// the allocation the library's operators make (host heap, nothing added, a
// refused block constructing nothing), kept apart from the runtime heap that
// the library's standard containers use.
#include <gtest/gtest.h>

#include <cstdint>

#include "framework/frame.h"

namespace {

// ---- StringInSet -------------------------------------------------------------------

TEST(StringInSet, AnswersOneForAMemberAloneOrAmongOthers) {
  EXPECT_EQ(StringInSet("idx", TQ_StrSetValue("idx")), 1);
  EXPECT_EQ(StringInSet("idx", TQ_StrSetValue("idy\"idx\"idxdy\"")), 1);
  EXPECT_EQ(StringInSet("idxdy", TQ_StrSetValue("idy\"idx\"idxdy\"")), 1);
}

TEST(StringInSet, AnswersZeroForANonMemberOrAnEmptySet) {
  EXPECT_EQ(StringInSet("idx", TQ_StrSetValue("None")), 0);
  EXPECT_EQ(StringInSet("idx", TQ_StrSetValue("idxdy\"idxdz\"")), 0);
  EXPECT_EQ(StringInSet("idx", TQ_StrSetValue("")), 0);
  EXPECT_EQ(StringInSet("idx", TQ_SetValue()), 0);
  EXPECT_EQ(StringInSet("idx", TQ_IntSetValue(0, 5)), 0);
}

TEST(StringInSet, ReadsTheSetOfAStringSetPropertyAsAssigned) {
  TQ_STRINGSET integrals;
  TQ_Value none("None", 1u, 9u, 1);
  integrals.Assign(&none);
  EXPECT_EQ(StringInSet("idx", integrals.v()), 0);
  TQ_Value both("idx\"idy\"", 1u, 9u, 2);
  integrals.Assign(&both);
  EXPECT_EQ(StringInSet("idx", integrals.fv()), 1);
  EXPECT_EQ(StringInSet("idz", integrals.fv()), 0);
  // The answer is a number the models compute with: 2*r - 1 is +1 or -1.
  EXPECT_EQ(2 * StringInSet("idy", integrals.v()) - 1, 1);
  EXPECT_EQ(2 * StringInSet("None", integrals.v()) - 1, -1);
}

// ---- the library's allocation -------------------------------------------------------------

// Allocates as the library's global operators do, so that a new-expression
// of this class behaves as one in the library's code (same compile options).
// Where the compiler cannot be told to test every new-expression, the class's
// allocation function is declared not to throw, as every host class's is: a
// new-expression then tests it by the language's own rule.
struct Probe {
#ifdef MORVANE_CHECKS_EVERY_NEW
  static void* operator new(std::size_t size) { return morvane::HostNew(size); }
#else
  static void* operator new(std::size_t size) noexcept { return morvane::HostNew(size); }
#endif
  static void operator delete(void* pointer) { morvane::HostDelete(pointer); }
  Probe() { ++constructed; }
  ~Probe() { ++destroyed; }
  std::uint64_t words[5] = {};
  static inline int constructed = 0;
  static inline int destroyed = 0;
};

class LibraryAllocation : public ::testing::Test {
 protected:
  void SetUp() override {
    TQ_HeapStats::FailAllocations(0);
    Probe::constructed = 0;
    Probe::destroyed = 0;
  }
  void TearDown() override { TQ_HeapStats::FailAllocations(0); }
};

TEST_F(LibraryAllocation, ARefusedBlockYieldsNullAndConstructsNothing) {
  const auto live = TQ_HeapStats::LiveBlocks();
  const auto frees = TQ_HeapStats::TotalFrees();
  TQ_HeapStats::FailAllocations(1);
  Probe* refused = new Probe;
  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(Probe::constructed, 0);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
  EXPECT_EQ(TQ_HeapStats::TotalFrees(), frees) << "nothing was handed back to MyFree";
}

TEST_F(LibraryAllocation, TheBlockComesFromTheHostHeapWithNothingAdded) {
  const auto live = TQ_HeapStats::LiveBlocks();
  const auto bytes = TQ_HeapStats::LiveBytes();
  const auto frees = TQ_HeapStats::TotalFrees();
  Probe* probe = new Probe;
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(Probe::constructed, 1);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1);
  EXPECT_EQ(TQ_HeapStats::LiveBytes(), bytes + static_cast<std::int64_t>(sizeof(Probe)));
  delete probe;
  EXPECT_EQ(Probe::destroyed, 1);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
  EXPECT_EQ(TQ_HeapStats::TotalFrees(), frees + 1);
}

TEST_F(LibraryAllocation, StandardContainersOfTheLibraryStayOnTheRuntimeHeap) {
  const auto allocations = TQ_HeapStats::TotalAllocations();
  TQ_HeapStats::FailAllocations(1000);  // the host heap would refuse them all
  morvane::vector<int> numbers;
  for (int i = 0; i < 1000; ++i) numbers.push_back(i);
  morvane::string text(200, 'x');
  TQ_HeapStats::FailAllocations(0);
  EXPECT_EQ(numbers.back(), 999);
  EXPECT_EQ(text.size(), 200u);
  EXPECT_EQ(TQ_HeapStats::TotalAllocations(), allocations);
}

}  // namespace
