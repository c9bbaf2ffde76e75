// Integer-keyed arrays whose keys are not one dense run: an element that
// exists is found by its key's entry in the key slot table, which stays right
// when keys are inserted anywhere, the array is copied or assigned, and the
// keys lie near the ends of the integers; keys spread too wide for a table
// are still found by the search.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "host_fixture.h"

namespace {

class KeySlots : public HostTest {
 protected:
  // Every key of the array's index values: Find gives the element named by
  // the key, at the key's position, without making anything; SlotOf gives
  // that position too when `bySlot` (the array finds it without a search).
  static void ExpectEveryKeyFound(RealArrayI& array, bool bySlot) {
    const TQ_SetValue& keys = array.IndexValuesOf(0);
    ASSERT_EQ(array.ElementVector.Elements(), static_cast<unsigned int>(keys.SetSize()));
    const int made = array.made;
    for (int position = 0; position < keys.SetSize(); ++position) {
      const int key = keys.IntegerAt(position);
      TQ_Type* element = array.Find(key);
      ASSERT_NE(element, nullptr) << key;
      EXPECT_EQ(element->Name(), std::to_string(key)) << key;
      EXPECT_EQ(array.ElementOffset, position) << key;
      EXPECT_EQ(array.ElementVector[static_cast<unsigned int>(position)], element) << key;
      if (bySlot) {
        EXPECT_EQ(array.SlotOf(key), static_cast<unsigned int>(position)) << key;
      } else {
        EXPECT_GE(array.SlotOf(key), array.ElementVector.Elements()) << key;
      }
    }
    EXPECT_EQ(array.made, made) << "a lookup made an element";
  }

  // Integers of lo..hi that are no keys of the array give no slot.
  static void ExpectHolesGiveNoSlot(const RealArrayI& array, int lo, int hi) {
    int position = 0;
    for (long long k = lo; k <= hi; ++k) {
      const int key = static_cast<int>(k);
      if (array.IndexValuesOf(0).SetContains(key, position) == 0) {
        EXPECT_GE(array.SlotOf(key), array.ElementVector.Elements()) << key;
      }
    }
  }

  // The interior nodes of collocation elements of four intervals: 1..3, 5..7, ...
  static std::vector<int> Interiors(int first, int elements) {
    std::vector<int> keys;
    for (int e = 0; e < elements; ++e)
      for (int i = 1; i <= 3; ++i) keys.push_back(first + 4 * e + i);
    return keys;
  }
};

TEST_F(KeySlots, KeysWithHolesAreFoundByTheirSlots) {
  RealArrayI array;
  const std::vector<int> keys = Interiors(0, 100);
  for (int key : keys) ASSERT_NE(array.Find(key), nullptr) << key;
  EXPECT_EQ(array.made, 300);
  ExpectEveryKeyFound(array, true);
  ExpectHolesGiveNoSlot(array, -10, 410);
  // A key outside the run of slots, below and above.
  EXPECT_GE(array.SlotOf(-1), array.ElementVector.Elements());
  EXPECT_GE(array.SlotOf(INT_MIN), array.ElementVector.Elements());
  EXPECT_GE(array.SlotOf(INT_MAX), array.ElementVector.Elements());
}

TEST_F(KeySlots, KeysMadeInAnyOrderKeepTheirSlots) {
  std::vector<int> keys = Interiors(100, 60);
  std::mt19937 shuffle(7);
  std::shuffle(keys.begin(), keys.end(), shuffle);
  RealArrayI array;
  std::vector<TQ_Type*> made;
  for (int key : keys) made.push_back(array.Find(key));
  // Slots of keys made earlier moved on as keys came before them; each key
  // still finds the element first made for it.
  for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(array.Find(keys[i]), made[i]) << keys[i];
  ExpectEveryKeyFound(array, true);

  RealArrayI descending;
  for (int e = 200; e >= 0; --e) descending.Find(3 * e);
  ExpectEveryKeyFound(descending, true);
  ExpectHolesGiveNoSlot(descending, -5, 605);
}

TEST_F(KeySlots, AKeyInsertedAmongTheOthersMovesTheSlotsAfterIt) {
  RealArrayI array;
  const std::vector<int> keys = Interiors(0, 50);
  std::vector<TQ_Type*> made;
  for (int key : keys) made.push_back(array.Find(key));
  ASSERT_EQ(array.SlotOf(101), 75u);
  // Keys outside the interiors: an element boundary in the middle, before
  // the first and after the last.
  TQ_Type* boundary = array.Find(100);
  ASSERT_NE(boundary, nullptr);
  EXPECT_EQ(array.ElementOffset, 75);
  EXPECT_EQ(array.SlotOf(100), 75u);
  EXPECT_EQ(array.SlotOf(101), 76u);
  EXPECT_EQ(array.Find(101), made[75]);
  EXPECT_EQ(array.ElementOffset, 76);
  EXPECT_EQ(array.Find(199), made.back());
  EXPECT_EQ(array.ElementOffset, 150);
  EXPECT_EQ(array.Find(1), made.front());
  EXPECT_EQ(array.ElementOffset, 0);
  TQ_Type* before = array.Find(-3);
  TQ_Type* after = array.Find(230);
  for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(array.Find(keys[i]), made[i]) << keys[i];
  EXPECT_EQ(array.Find(100), boundary);
  EXPECT_EQ(array.Find(-3), before);
  EXPECT_EQ(array.Find(230), after);
  EXPECT_EQ(array.made, 153);
  ExpectEveryKeyFound(array, true);
  ExpectHolesGiveNoSlot(array, -5, 235);
}

TEST_F(KeySlots, FillingTheHolesMakesTheKeysDenseAndLeavingOneAgainKeepsThemFound) {
  RealArrayI array;
  for (int key : Interiors(0, 20)) array.Find(key);
  for (int boundary = 4; boundary < 80; boundary += 4) array.Find(boundary);
  // 1..79: one dense run now.
  ExpectEveryKeyFound(array, true);
  array.Find(90);
  array.Find(85);
  ExpectEveryKeyFound(array, true);
  ExpectHolesGiveNoSlot(array, 0, 95);
}

TEST_F(KeySlots, CopiesAndAssignedArraysFindTheirOwnElementsAtTheRightSlots) {
  RealArrayI source;
  for (int key : Interiors(0, 30)) source.Find(key);
  std::vector<TQ_Type*> sourceElements;
  for (unsigned int s = 0; s < source.ElementVector.Elements(); ++s) sourceElements.push_back(source.ElementVector[s]);

  {
    RealArrayI copy(source);  // the keys, no elements
    copy.made = 0;
    EXPECT_EQ(copy.ElementCount(), 0);
    for (int key : {61, 2, 117, 59}) {
      TQ_Type* element = copy.Find(key);
      ASSERT_NE(element, nullptr);
      EXPECT_EQ(element->Name(), std::to_string(key));
      EXPECT_EQ(std::count(sourceElements.begin(), sourceElements.end(), element), 0) << key;
    }
    EXPECT_EQ(copy.made, 4);
    EXPECT_EQ(copy.NewElements(), 86);
    ExpectEveryKeyFound(copy, true);
  }

  // A target with as many keys but other ones takes the source's.
  RealArrayI target;
  for (int k = 0; k < 180; k += 2) target.Find(k);
  ASSERT_EQ(target.IndexValuesOf(0).SetSize(), source.IndexValuesOf(0).SetSize());
  ExpectEveryKeyFound(target, true);
  target = source;
  EXPECT_EQ(target.ElementCount(), 0);
  EXPECT_EQ(target.IndexValuesOf(0), source.IndexValuesOf(0));
  for (int key : {6, 7, 9, 113}) {
    TQ_Type* element = target.Find(key);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->Name(), std::to_string(key));
  }
  EXPECT_EQ(target.Find(8)->Name(), std::string("8"));  // a key of the old target only
  target.NewElements();
  ExpectEveryKeyFound(target, true);
  ExpectHolesGiveNoSlot(target, -2, 122);

  // The source keeps its own.
  for (unsigned int s = 0; s < source.ElementVector.Elements(); ++s)
    EXPECT_EQ(source.ElementVector[s], sourceElements[s]);
  ExpectEveryKeyFound(source, true);
}

TEST_F(KeySlots, KeysSpreadTooWideAreFoundByTheSearch) {
  RealArrayI array;
  std::vector<TQ_Type*> made;
  for (int k = 0; k < 50; ++k) made.push_back(array.Find(1000 * k));
  ExpectEveryKeyFound(array, false);
  for (int k = 0; k < 50; ++k) EXPECT_EQ(array.Find(1000 * k), made[static_cast<std::size_t>(k)]);

  // Both ends of the integers: a span no table could hold.
  RealArrayI ends;
  for (int key : {INT_MIN, INT_MIN + 2, 0, INT_MAX - 1, INT_MAX}) ends.Find(key);
  ExpectEveryKeyFound(ends, false);
  EXPECT_EQ(ends.ElementByText("-2147483648"), ends.Find(INT_MIN));
}

TEST_F(KeySlots, AKeyFarAwayLeavesTheTableAndTheSearchTakesOver) {
  RealArrayI array;
  for (int key : Interiors(0, 40)) array.Find(key);
  ExpectEveryKeyFound(array, true);
  array.Find(1000000);
  ExpectEveryKeyFound(array, false);
  // Many more keys bring the span within bounds again.
  for (int k = 0; k < 520000; k += 2) array.Find(k);
  ExpectEveryKeyFound(array, true);
  EXPECT_EQ(array.Find(1000000)->Name(), std::string("1000000"));
}

TEST_F(KeySlots, NegativeKeysAndKeysAtTheEndsOfTheIntegers) {
  RealArrayI negative;
  for (int key : Interiors(-200, 40)) negative.Find(key);  // -199 .. -41
  negative.Find(3);
  ExpectEveryKeyFound(negative, true);
  ExpectHolesGiveNoSlot(negative, -205, 5);

  RealArrayI low;
  for (int k = 0; k < 30; k += 3) low.Find(INT_MIN + k);
  ExpectEveryKeyFound(low, true);
  ExpectHolesGiveNoSlot(low, INT_MIN, INT_MIN + 40);
  EXPECT_GE(low.SlotOf(INT_MAX), low.ElementVector.Elements());

  RealArrayI high;
  for (int k = 0; k < 30; k += 3) high.Find(INT_MAX - k);
  ExpectEveryKeyFound(high, true);
  ExpectHolesGiveNoSlot(high, INT_MAX - 40, INT_MAX);
  EXPECT_GE(high.SlotOf(INT_MIN), high.ElementVector.Elements());
}

TEST_F(KeySlots, ARefusedElementIsMadeAtItsSlotWhenAskedAgain) {
  RealArrayI array;
  for (int key : Interiors(0, 10)) array.Find(key);
  TQ_HeapStats::FailAllocations(1);
  EXPECT_EQ(array.Find(20), nullptr);
  EXPECT_TRUE(ErrorMentions("element (20) could not be made")) << AllErrors();
  EXPECT_EQ(array.SlotOf(21), 16u) << "the key stays, with an empty slot";
  TQ_Type* twenty = array.Find(20);
  ASSERT_NE(twenty, nullptr);
  EXPECT_EQ(array.ElementOffset, 15);
  ExpectEveryKeyFound(array, true);
}

}  // namespace
