// Array storage of the host: the owning element vector and its row-major
// enlargement, the one-dimensional bases that find or create elements, and
// the reading of index keys from text.
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "host/tq_memory_gate.h"
#include "host_fixture.h"

namespace {

class ArrayStorage : public HostTest {
 protected:
  // A vector of `n` slots, each holding a new element.
  static std::vector<TQ_Type*> Fill(TQ_LongPtrVectorOwnsData& vector, int n) {
    EXPECT_TRUE(vector.AddNullEntries(0, 0, n));
    std::vector<TQ_Type*> elements;
    for (int i = 0; i < n; ++i) {
      elements.push_back(new TQ_REALVARIABLE(true));
      vector[static_cast<unsigned int>(i)] = elements.back();
    }
    return elements;
  }
  static std::vector<TQ_Type*> Slots(const TQ_LongPtrVectorOwnsData& vector) {
    std::vector<TQ_Type*> slots;
    for (unsigned int i = 0; i < vector.Elements(); ++i) slots.push_back(vector[i]);
    return slots;
  }
};

// ---- the element vector -----------------------------------------------------------

TEST_F(ArrayStorage, AnEmptyVectorReceivesStrideNullSlots) {
  TQ_LongPtrVectorOwnsData vector;
  EXPECT_EQ(vector.Elements(), 0u);
  ASSERT_TRUE(vector.AddNullEntries(0, 0, 6));
  EXPECT_EQ(Slots(vector), std::vector<TQ_Type*>(6, nullptr));
}

TEST_F(ArrayStorage, ANewFirstIndexValueShiftsEveryElementByARow) {
  // Index sets of 2 and 3 values, all 6 elements present; a value that
  // belongs before the first one of dimension 0 gives a row of 3 null slots
  // at the front.
  TQ_LongPtrVectorOwnsData vector;
  std::vector<TQ_Type*> e = Fill(vector, 6);
  ASSERT_TRUE(vector.AddNullEntries(0, 2, 3));
  EXPECT_EQ(Slots(vector), (std::vector<TQ_Type*>{nullptr, nullptr, nullptr, e[0], e[1], e[2], e[3], e[4], e[5]}));
}

TEST_F(ArrayStorage, ANewLastIndexValueOpensAColumnInEveryRow) {
  TQ_LongPtrVectorOwnsData vector;
  std::vector<TQ_Type*> e = Fill(vector, 6);
  ASSERT_TRUE(vector.AddNullEntries(1, 3, 1));  // between the first and second value
  EXPECT_EQ(Slots(vector), (std::vector<TQ_Type*>{e[0], nullptr, e[1], e[2], e[3], nullptr, e[4], e[5]}));
  ASSERT_TRUE(vector.AddNullEntries(4, 4, 1));  // after the last one
  EXPECT_EQ(Slots(vector),
            (std::vector<TQ_Type*>{e[0], nullptr, e[1], e[2], nullptr, e[3], nullptr, e[4], e[5], nullptr}));
}

TEST_F(ArrayStorage, AMiddleDimensionOfThreeGrowsInsideEachBlock) {
  // Sizes 2 x 2 x 2; a value between the two of dimension 1 (stride 2).
  TQ_LongPtrVectorOwnsData vector;
  std::vector<TQ_Type*> e = Fill(vector, 8);
  ASSERT_TRUE(vector.AddNullEntries(1, 2, 2));
  EXPECT_EQ(
      Slots(vector),
      (std::vector<TQ_Type*>{e[0], e[1], nullptr, nullptr, e[2], e[3], e[4], e[5], nullptr, nullptr, e[6], e[7]}));
}

TEST_F(ArrayStorage, ArgumentsThatDoNotDescribeTheVectorChangeNothing) {
  TQ_LongPtrVectorOwnsData vector;
  std::vector<TQ_Type*> e = Fill(vector, 6);
  const std::vector<TQ_Type*> before = Slots(vector);
  EXPECT_FALSE(vector.AddNullEntries(0, 0, 3)) << "count 0 on a vector that is not empty";
  EXPECT_FALSE(vector.AddNullEntries(0, 4, 1)) << "blocks of 4 do not divide 6 slots";
  EXPECT_FALSE(vector.AddNullEntries(4, 3, 1)) << "position beyond the dimension";
  EXPECT_FALSE(vector.AddNullEntries(-1, 3, 1));
  EXPECT_FALSE(vector.AddNullEntries(0, 3, 0));
  EXPECT_FALSE(vector.AddNullEntries(0, -3, 2));
  EXPECT_EQ(Slots(vector), before);
}

// ---- one dimension enlarged by several values at once ------------------------------

// A vector of `blocks` blocks of `count` positions of `stride` slots, each slot an element named
// by a letter in slot order ("abcdef"), spread by `positions`: it must read `expected`, a letter
// per element where it lands and "." per null slot.
struct SpreadCase {
  int count;
  int stride;
  int blocks;
  std::vector<int> positions;
  const char* expected;
};

class SpreadVector : public ArrayStorage, public ::testing::WithParamInterface<SpreadCase> {
 protected:
  static std::string Layout(const TQ_LongPtrVectorOwnsData& vector, const std::vector<TQ_Type*>& elements) {
    std::string layout;
    for (TQ_Type* slot : Slots(vector)) {
      std::size_t k = 0;
      while (k < elements.size() && elements[k] != slot) ++k;
      layout += slot == nullptr ? '.' : k < elements.size() ? static_cast<char>('a' + k) : '?';
    }
    return layout;
  }
};

TEST_P(SpreadVector, EveryBlockTakesNullSlotsAtTheNewPositions) {
  const SpreadCase& c = GetParam();
  TQ_LongPtrVectorOwnsData vector;
  const std::vector<TQ_Type*> e = Fill(vector, c.count * c.stride * c.blocks);
  ASSERT_TRUE(vector.AddNullEntriesAt(c.positions.data(), static_cast<int>(c.positions.size()), c.count, c.stride));
  EXPECT_EQ(Layout(vector, e), c.expected);
}

// The same spread, made one value at a time by AddNullEntries (the positions ascending, each
// where it stands in the end): the one pass moves every slot where the single steps move it.
TEST_P(SpreadVector, OnePassEqualsOneValueAtATime) {
  const SpreadCase& c = GetParam();
  TQ_LongPtrVectorOwnsData once;
  TQ_LongPtrVectorOwnsData stepwise;
  const std::vector<TQ_Type*> e = Fill(once, c.count * c.stride * c.blocks);
  Fill(stepwise, c.count * c.stride * c.blocks);
  // The second vector's elements stand in the same slots as the first's: compare by letters.
  const std::vector<TQ_Type*> f = Slots(stepwise);
  ASSERT_TRUE(once.AddNullEntriesAt(c.positions.data(), static_cast<int>(c.positions.size()), c.count, c.stride));
  for (std::size_t i = 0; i < c.positions.size(); ++i)
    ASSERT_TRUE(stepwise.AddNullEntries(c.positions[i], c.count + static_cast<int>(i), c.stride));
  EXPECT_EQ(Layout(once, e), Layout(stepwise, f));
}

INSTANTIATE_TEST_SUITE_P(
    Spreads,
    SpreadVector,
    ::testing::Values(SpreadCase{3, 1, 2, {1, 4}, "a.bc.d.ef."},                  // between and after, two rows
                      SpreadCase{2, 2, 1, {0}, "..abcd"},                         // one row at the front
                      SpreadCase{2, 2, 2, {0, 2, 3}, "..ab....cd..ef....gh"},     // stride 2, a run of two
                      SpreadCase{1, 3, 2, {1, 2}, "abc......def......"},          // after the only value
                      SpreadCase{2, 1, 3, {0, 3}, ".ab..cd..ef."},                // both ends of every row
                      SpreadCase{1, 1, 4, {1, 2, 3, 4}, "a....b....c....d...."},  // a dimension of 1 to 5
                      SpreadCase{4, 1, 1, {4, 5, 6, 7}, "abcd...."},              // appended: nothing moves
                      SpreadCase{3, 2, 2, {0, 1, 2}, "......abcdef......ghijkl"}));

TEST_F(ArrayStorage, SpreadArgumentsThatDoNotDescribeTheVectorChangeNothing) {
  TQ_LongPtrVectorOwnsData vector;
  Fill(vector, 6);
  const std::vector<TQ_Type*> before = Slots(vector);
  struct Bad {
    std::vector<int> positions;
    int count;
    int stride;
    const char* why;
  };
  const Bad bad[] = {
      {{2, 1}, 3, 1, "positions not ascending"},
      {{1, 1}, 3, 1, "a position twice"},
      {{5}, 3, 1, "a position past the enlarged dimension"},
      {{-1}, 3, 1, "a negative position"},
      {{0}, 4, 1, "blocks of 4 do not divide 6 slots"},
      {{0}, 0, 6, "a dimension of no values"},
      {{0}, 3, 0, "stride 0"},
      {{}, 3, 1, "no position"},
  };
  for (const Bad& b : bad) {
    EXPECT_FALSE(vector.AddNullEntriesAt(b.positions.data(), static_cast<int>(b.positions.size()), b.count, b.stride))
        << b.why;
    EXPECT_EQ(Slots(vector), before) << b.why;
  }
  EXPECT_FALSE(vector.AddNullEntriesAt(nullptr, 1, 3, 1));
  EXPECT_EQ(Slots(vector), before);
}

// Refuses every allocation the host makes for itself while it lives.
struct RefusingEveryAllocation {
  RefusingEveryAllocation() {
    TQ_SetAllocationGate([](std::size_t) { return false; });
  }
  ~RefusingEveryAllocation() { TQ_SetAllocationGate(nullptr); }
  RefusingEveryAllocation(const RefusingEveryAllocation&) = delete;
  RefusingEveryAllocation& operator=(const RefusingEveryAllocation&) = delete;
};

TEST_F(ArrayStorage, RoomMadeAheadIsTakenWithoutAllocatingAndRefusedRoomChangesNothing) {
  TQ_LongPtrVectorOwnsData vector;
  const std::vector<TQ_Type*> e = Fill(vector, 8);
  vector.Reserve(20);
  {
    // Within the room made, the vector grows with every allocation refused: two blocks of 2
    // positions of 2 slots become two of 5.
    RefusingEveryAllocation refusing;
    const int positions[] = {0, 2, 4};
    ASSERT_TRUE(vector.AddNullEntriesAt(positions, 3, 2, 2));
  }
  const std::vector<TQ_Type*> spread = Slots(vector);
  EXPECT_EQ(spread,
            (std::vector<TQ_Type*>{nullptr, nullptr, e[0], e[1], nullptr, nullptr, e[2], e[3], nullptr, nullptr,
                                   nullptr, nullptr, e[4], e[5], nullptr, nullptr, e[6], e[7], nullptr, nullptr}));
  {
    // Room that cannot be had is refused before anything changes.
    RefusingEveryAllocation refusing;
    EXPECT_THROW(vector.Reserve(1000), std::bad_alloc);
    EXPECT_THROW(vector.AddNullEntries(0, 1, 20), std::bad_alloc);  // a second block of 20 slots
  }
  EXPECT_EQ(Slots(vector), spread);
}

TEST_F(ArrayStorage, TheVectorOwnsItsElementsAndACopyHoldsNone) {
  const auto live = TQ_HeapStats::LiveBlocks();
  {
    TQ_LongPtrVectorOwnsData vector;
    Fill(vector, 4);
    EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 4);
    TQ_LongPtrVectorOwnsData copy(vector);
    EXPECT_EQ(Slots(copy), std::vector<TQ_Type*>(4, nullptr));
    TQ_LongPtrVectorOwnsData assigned;
    Fill(assigned, 2);
    assigned = vector;
    EXPECT_EQ(Slots(assigned), std::vector<TQ_Type*>(4, nullptr));
    EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 4) << "assignment destroyed the elements it held";
  }
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
}

// ---- one-dimensional bases -----------------------------------------------------------

// A model holding an integer-keyed and a string-keyed array of real
// variables.
class ArrayModel : public TQ_ModelTypeEx2 {
 public:
  ArrayModel() {
    A.AddProperty(this, "A", nullptr, TQ_DIR_OUTPUT, false);
    S.AddProperty(this, "S", nullptr, TQ_DIR_NONE, false);
  }
  RealArrayI A;
  RealArrayS S;
};

class OneDimensional : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ArrayModel* model = Add<ArrayModel>("M");
    ints = &model->A;
    names = &model->S;
  }
  RealArrayI* ints = nullptr;
  RealArrayS* names = nullptr;
};

TEST_F(OneDimensional, FindCreatesOnceAndKeepsElementsInKeyOrder) {
  TQ_Type* five = ints->Find(5);
  ASSERT_NE(five, nullptr);
  EXPECT_EQ(ints->Find(5), five);
  EXPECT_EQ(ints->made, 1);
  TQ_Type* two = ints->Find(2);
  TQ_Type* three = ints->Find(3);
  EXPECT_EQ(ints->Find(5), five) << "elements keep their identity when others are inserted";
  EXPECT_EQ(ints->made, 3);
  EXPECT_EQ(ints->IndexValuesOf(0), TQ_IntSetValue(2, 3) += 5);
  ASSERT_EQ(ints->ElementVector.Elements(), 3u);
  EXPECT_EQ(ints->ElementVector[0], two);
  EXPECT_EQ(ints->ElementVector[1], three);
  EXPECT_EQ(ints->ElementVector[2], five);
  EXPECT_EQ(Host().PathOf(three), "M.A(3)");
  EXPECT_EQ(ints->ElementByText("3"), three);
  EXPECT_EQ(ints->ElementByText("4"), nullptr);
  EXPECT_EQ(ints->ElementByText("3)"), three);
  EXPECT_EQ(ints->ElementByText("3)(5"), nullptr);
  EXPECT_EQ(ints->ElementByText("3,5"), nullptr);
  EXPECT_EQ(ints->ElementCount(), 3);
  // The array's direction reaches its elements.
  EXPECT_EQ(static_cast<TQ_Type*>(three)->Direction(), TQ_DIR_OUTPUT);
}

TEST_F(OneDimensional, StringKeysAreKeptInOrderAndNamedQuoted) {
  TQ_Type* b = names->Find("b");
  TQ_Type* a = names->Find("a");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(names->ElementVector[0], a);
  EXPECT_EQ(Host().PathOf(b), "M.S(\"b\")");
  EXPECT_EQ(names->ElementByText("\"b\""), b);
  EXPECT_EQ(names->ElementByText("b"), b);
  char buffer[8] = "a";
  EXPECT_EQ(names->Find(buffer), a);
  std::strcpy(buffer, "c");  // the set keeps its own copy of a key
  EXPECT_EQ(names->ElementByText("a"), a);
  EXPECT_EQ(names->ElementByText("c"), nullptr);
}

// An element is named by its key: an integer in decimal with its sign, a
// string in quotes, whatever its length (a long one is kept whole, and a short
// one after it is not mixed with it).
TEST_F(OneDimensional, ElementsAreNamedByTheirKeysAtAnyLength) {
  for (int key : {0, 7, -7, 9, 10, 99, 100, 101, 65536, -123456789, INT_MAX, INT_MIN}) {
    TQ_Type* element = ints->Find(key);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(std::string(element->Name()), std::to_string(key));
  }
  for (std::size_t length : {1u, 44u, 45u, 46u, 47u, 48u, 3u, 300u, 2u}) {
    const std::string key(length, static_cast<char>('a' + length % 26));
    TQ_Type* element = names->Find(key.c_str());
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(std::string(element->Name()), "\"" + key + "\"");
  }
}

TEST_F(OneDimensional, ARefusedElementLeavesItsSlotEmptyUntilAskedAgain) {
  TQ_HeapStats::FailAllocations(1);
  EXPECT_EQ(ints->Find(1), nullptr);
  EXPECT_TRUE(ErrorMentions("M.A: element (1) could not be made")) << AllErrors();
  EXPECT_EQ(ints->ElementVector.Elements(), 1u);
  EXPECT_EQ(ints->ElementCount(), 0);
  TQ_Type* one = ints->Find(1);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(ints->ElementCount(), 1);
}

TEST_F(OneDimensional, NewElementsFillsTheEmptySlotsFromTheLast) {
  ints->Find(1);
  ints->Find(2);
  ints->Find(4);
  EXPECT_EQ(ints->NewElements(), 0) << "nothing is missing";

  RealArrayI copy(*ints);  // index values, no elements
  EXPECT_EQ(copy.ElementCount(), 0);
  EXPECT_EQ(copy.IndexValuesOf(0), ints->IndexValuesOf(0));
  EXPECT_EQ(copy.NewElements(), 3);
  EXPECT_EQ(copy.ElementCount(), 3);
  EXPECT_STREQ(copy.ElementVector[0]->Name(), "1");
  EXPECT_STREQ(copy.ElementVector[2]->Name(), "4");

  RealArrayI assigned;
  assigned.Find(9);
  assigned = *ints;
  EXPECT_EQ(assigned.ElementCount(), 0);
  EXPECT_EQ(assigned.NewElements(), 3);
  EXPECT_NE(assigned.ElementByText("2"), nullptr);
  EXPECT_EQ(assigned.ElementByText("9"), nullptr);
}

TEST_F(OneDimensional, CreateMissingArrayElementReadsTheKeyFromText) {
  ints->CreateMissingArrayElement("7)");
  EXPECT_NE(ints->ElementByText("7"), nullptr);
  ints->CreateMissingArrayElement(" -3 )");
  EXPECT_NE(ints->ElementByText("-3"), nullptr);
  ints->CreateMissingArrayElement("x)");
  ints->CreateMissingArrayElement("8");
  ints->CreateMissingArrayElement("");
  EXPECT_EQ(ints->ElementCount(), 2);

  names->CreateMissingArrayElement("\"two words\")");
  EXPECT_NE(names->ElementByText("\"two words\""), nullptr);
  names->CreateMissingArrayElement("bare)");
  EXPECT_NE(names->ElementByText("bare"), nullptr);
}

TEST_F(OneDimensional, AStringKeyTooLongForTheBufferIsRefused) {
  const std::string fits(127, 'k');
  const std::string tooLong(128, 'k');
  names->CreateMissingArrayElement((fits + ")").c_str());
  names->CreateMissingArrayElement(("\"" + tooLong + "\")").c_str());
  names->CreateMissingArrayElement((std::string(1000, 'z') + ")").c_str());
  EXPECT_EQ(names->ElementCount(), 1);
  EXPECT_NE(names->ElementByText(fits.c_str()), nullptr);
}

TEST_F(OneDimensional, SetDimRecordsTheSetAndReplacesAnEarlierOne) {
  TQ_INTEGERSET first;
  TQ_INTEGERSET second;
  ints->SetDim(first);
  EXPECT_EQ(ints->DeclaredSet(0), &first);
  EXPECT_EQ(first.DependentCount(), 1);
  ints->SetDim(first);
  EXPECT_EQ(first.DependentCount(), 1) << "a repeated SetDim registers once";
  ints->SetDim(second);
  EXPECT_EQ(first.DependentCount(), 0);
  EXPECT_EQ(second.DependentCount(), 1);
  {
    RealArrayI copy(*ints);
    EXPECT_EQ(second.DependentCount(), 2);
  }
  EXPECT_EQ(second.DependentCount(), 1) << "a destroyed array withdraws its registration";
}

TEST_F(OneDimensional, AnArrayOutlivingItsDeclaredSetForgetsIt) {
  // An array may be dimensioned by a set of another object (a domain's
  // INTERIOR set); that object can go first.
  auto* domain = new TQ_INTEGERSET;
  ints->SetDim(*domain);
  EXPECT_EQ(domain->DependentCount(), 1);
  delete domain;
  EXPECT_EQ(ints->DeclaredSet(0), nullptr);
  TQ_INTEGERSET next;
  ints->SetDim(next);  // withdraws from nothing that is gone
  EXPECT_EQ(ints->DeclaredSet(0), &next);
  TQ_INTEGERSET* gone = new TQ_INTEGERSET;
  ints->SetDim(*gone);
  delete gone;
  // Reset destroys the array with no set to withdraw from.
}

// The library declares an internal index set just after the array it sizes,
// so the set is destroyed before the array.
class SizedModel : public TQ_ModelTypeEx2 {
 public:
  SizedModel() {
    TQ_VALUE_SET1.AddProperty(this, "TQ_VALUE_SET1", nullptr, TQ_DIR_NONE, false);
    VALUE.AddProperty(this, "VALUE", nullptr, TQ_DIR_NONE, false);
  }
  void SetDims() override {
    VALUE.SetDim(TQ_VALUE_SET1);
    TQ_ModelTypeEx2::SetDims();
  }
  RealArrayI VALUE;
  TQ_INTEGERSET TQ_VALUE_SET1;
};

TEST_F(OneDimensional, AModelWhoseSetIsDeclaredAfterItsArrayGoesCleanly) {
  auto* model = Add<SizedModel>("Z");
  ASSERT_TRUE(Host().RunCycle()) << AllErrors();
  EXPECT_EQ(model->VALUE.DeclaredSet(0), &model->TQ_VALUE_SET1);
  EXPECT_NE(model->VALUE.Find(0), nullptr);
  Host().Reset();  // the set goes first; the array must not reach back to it
  EXPECT_EQ(Host().ObjectCount(), 0);
}

// ---- reading keys ---------------------------------------------------------------------

TEST(ReadIndex, ReadsIntegersUpToTheTerminator) {
  const char* text = "4, -5 )";
  const char* cursor = text;
  int key = 0;
  ASSERT_TRUE(TQ_Matrix::ReadIndex(cursor, key, ','));
  EXPECT_EQ(key, 4);
  ASSERT_TRUE(TQ_Matrix::ReadIndex(cursor, key, ')'));
  EXPECT_EQ(key, -5);
  EXPECT_EQ(*cursor, '\0');
}

TEST(ReadIndex, RefusesWhatIsNoIntegerAndLeavesTheCursor) {
  for (const char* bad : {"x)", "4", "4,", "5x)", ")", "", "99999999999)", "-2147483649)", "0x10)"}) {
    const char* cursor = bad;
    int key = 123;
    EXPECT_FALSE(TQ_Matrix::ReadIndex(cursor, key, ')')) << bad;
    EXPECT_EQ(cursor, bad) << bad;
    EXPECT_EQ(key, 123) << bad;
  }
  const char* limit = "-2147483648)";
  int key = 0;
  EXPECT_TRUE(TQ_Matrix::ReadIndex(limit, key, ')'));
  EXPECT_EQ(key, INT32_MIN);
}

TEST(ReadIndex, ReadsQuotedAndBareStrings) {
  const char* text = "\"a, b\",  plain  )";
  const char* cursor = text;
  char key[16];
  ASSERT_TRUE(TQ_Matrix::ReadIndex(cursor, key, sizeof key, ','));
  EXPECT_STREQ(key, "a, b");
  ASSERT_TRUE(TQ_Matrix::ReadIndex(cursor, key, sizeof key, ')'));
  EXPECT_STREQ(key, "plain");

  const char* empty = "\"\")";
  ASSERT_TRUE(TQ_Matrix::ReadIndex(empty, key, sizeof key, ')'));
  EXPECT_STREQ(key, "");
}

TEST(ReadIndex, RefusesAStringThatDoesNotFitItsCapacity) {
  char key[5];
  std::memset(key, '#', sizeof key);
  const char* four = "abcd)";
  const char* cursor = four;
  ASSERT_TRUE(TQ_Matrix::ReadIndex(cursor, key, 5, ')'));
  EXPECT_STREQ(key, "abcd");

  std::memset(key, '#', sizeof key);
  const char* five = "\"abcde\")";
  cursor = five;
  EXPECT_FALSE(TQ_Matrix::ReadIndex(cursor, key, 5, ')'));
  EXPECT_EQ(cursor, five);
  EXPECT_EQ(key[0], '#') << "nothing is written when the key does not fit";

  for (const char* bad : {"\"open)", ")", "  )", "a", "\"a\"b)"}) {
    const char* c = bad;
    EXPECT_FALSE(TQ_Matrix::ReadIndex(c, key, 5, ')')) << bad;
  }
}

}  // namespace
