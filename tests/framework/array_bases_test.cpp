// The index-keyed array bases: where keys and elements go as the array
// grows, the walk of NewElements, reading keys from text, copying, and what
// is refused.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "test_types.h"

namespace {

using Strings = std::vector<std::string>;

class ArrayBaseTest : public HostTest {};

// Every created element sits at the slot of its own keys: the element at
// slot p0*stride0 + ... carries the name made of the index values at those
// positions. `slots` lists the expected names, "" for a null slot.
template <class Array>
void ExpectLayout(const Array& array, const Strings& slots) {
  EXPECT_EQ(SlotNames(array), slots);
}

// ---- one dimension: the host's bases, through the typed arrays ----------------

TEST_F(ArrayBaseTest, OneDimensionInsertsInSetOrderAndWalksDown) {
  RecordingArray<TQ_BASE_I> array;
  TQ_Type* five = array.Find(5);
  TQ_Type* two = array.Find(2);
  ExpectLayout(array, {"2", "5"});
  EXPECT_EQ(array.Find(5), five);
  EXPECT_EQ(array.Find(2), two);
  array.Find(9);
  ExpectLayout(array, {"2", "5", "9"});
  EXPECT_EQ(array.NewElements(), 0);

  RecordingArray<TQ_BASE_S> names;
  EXPECT_EQ(names.IndexValuesOf(0).Type(), TQ_SET_STRING);
  names.Find("m");
  names.Find("b");
  ExpectLayout(names, {"\"b\"", "\"m\""});
}

// ---- two dimensions ---------------------------------------------------------------

TEST_F(ArrayBaseTest, FirstFindOnEmptyBaseMakesOneSlotAndOneElement) {
  RecordingArray<TQ_BASE_II> array;
  EXPECT_EQ(array.IndexValues[0].Type(), TQ_SET_INTEGER);
  EXPECT_EQ(array.IndexValues[1].Type(), TQ_SET_INTEGER);
  TQ_Type* element = array.Find(4, 7);
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(array.IndexValues[0].SetSize(), 1);
  EXPECT_EQ(array.IndexValues[1].SetSize(), 1);
  EXPECT_EQ(array.ElementVector.Elements(), 1u);
  EXPECT_EQ(array.ElementOffset, 0);
  EXPECT_STREQ(element->Name(), "4,7");
  EXPECT_EQ(CountedElement::builtWithFlag - CountedElement::built, 0) << "elements are built with their flag";

  EXPECT_EQ(array.Find(4, 7), element);
  EXPECT_EQ(array.ElementVector.Elements(), 1u);
  EXPECT_EQ(array.made.size(), 1u);
}

TEST_F(ArrayBaseTest, NewFirstKeyAtFrontMovesEveryElementOneRowOn) {
  RecordingArray<TQ_BASE_II> array;
  for (int a : {1, 2})
    for (int b : {10, 20, 30}) array.Find(a, b);
  ExpectLayout(array, {"1,10", "1,20", "1,30", "2,10", "2,20", "2,30"});
  std::vector<TQ_Type*> before(6);
  for (unsigned int i = 0; i < 6; ++i) before[i] = array.ElementVector[i];

  // Key 0 belongs at position 0 of the first set: three null slots at the
  // front, every element three slots on, the new one at slot p1 = 1.
  TQ_Type* made = array.Find(0, 20);
  ASSERT_EQ(array.ElementVector.Elements(), 9u);
  for (unsigned int i = 0; i < 6; ++i) EXPECT_EQ(array.ElementVector[i + 3], before[i]) << "slot " << i;
  EXPECT_EQ(array.ElementVector[1], made);
  EXPECT_EQ(array.ElementOffset, 1);
  ExpectLayout(array, {"", "0,20", "", "1,10", "1,20", "1,30", "2,10", "2,20", "2,30"});
}

TEST_F(ArrayBaseTest, NewKeysInBothDimensionsEnlargeLastDimensionFirst) {
  RecordingArray<TQ_BASE_II> array;
  array.Find(1, 10);
  array.Find(1, 30);
  array.Find(3, 10);
  ExpectLayout(array, {"1,10", "1,30", "3,10", ""});
  // 20 goes between 10 and 30 in every row (stride 1), then 2 makes a new
  // row between 1 and 3 (stride 3, the enlarged row length).
  array.Find(2, 20);
  ExpectLayout(array, {"1,10", "", "1,30", "", "2,20", "", "3,10", "", ""});
  EXPECT_EQ(array.ElementOffset, 4);
}

TEST_F(ArrayBaseTest, StringDimensionsFollowTheirSetsOrder) {
  RecordingArray<TQ_BASE_SI> array;
  EXPECT_EQ(array.IndexValues[0].Type(), TQ_SET_STRING);
  EXPECT_EQ(array.IndexValues[1].Type(), TQ_SET_INTEGER);
  array.Find("b", 2);
  array.Find("a", 1);
  ExpectLayout(array, {"\"a\",1", "", "", "\"b\",2"});
  // A null string key stands for the empty string, not for nothing.
  TQ_Type* empty = array.Find(nullptr, 1);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(array.Find("", 1), empty);
  EXPECT_EQ(array.IndexValues[0].SetSize(), 3);
  ExpectLayout(array, {"\"\",1", "", "\"a\",1", "", "", "\"b\",2"});
}

TEST_F(ArrayBaseTest, NewElementsWalksFromLastCombinationToFirst) {
  RecordingArray<TQ_BASE_II> array;
  array.Find(0, 5);
  array.Find(1, 7);
  array.Find(0, 6);  // sets {0,1} x {5,6,7}: 6 slots, 3 made
  array.made.clear();
  EXPECT_EQ(array.NewElements(), 3);
  EXPECT_EQ(array.MadeNames(), (Strings{"1,6", "1,5", "0,7"}));
  EXPECT_EQ(array.ElementOffset, 0);
  EXPECT_EQ(array.NewElements(), 0) << "every slot is filled";

  // Six empty slots over sets of 2 and 3 values: (1, 2) first, (0, 0) last.
  RecordingArray<TQ_BASE_II> fresh;
  fresh.IndexValues[0] += 0;
  fresh.IndexValues[0] += 1;
  for (int v : {0, 1, 2}) fresh.IndexValues[1] += v;
  EXPECT_EQ(fresh.NewElements(), 6);
  EXPECT_EQ(fresh.MadeNames(), (Strings{"1,2", "1,1", "1,0", "0,2", "0,1", "0,0"}));
  ExpectLayout(fresh, {"0,0", "0,1", "0,2", "1,0", "1,1", "1,2"});
}

TEST_F(ArrayBaseTest, NewElementsCountsEveryAttemptEvenWhenRefused) {
  RecordingArray<TQ_BASE_II> array;
  array.IndexValues[0] += 1;
  array.IndexValues[1] += 1;
  array.IndexValues[1] += 2;
  TQ_HeapStats::FailAllocations(1);
  EXPECT_EQ(array.NewElements(), 2);
  EXPECT_EQ(array.ElementCount(), 1);
  ExpectLayout(array, {"1,1", ""});
}

// ---- three and four dimensions ------------------------------------------------------

TEST_F(ArrayBaseTest, ThreeDimensionsKeepEveryElementAtItsKeys) {
  RecordingArray<TQ_BASE_ISI> array;
  array.Find(2, "y", 1);
  array.Find(1, "x", 1);  // new in dimensions 0 and 1
  ExpectLayout(array, {"1,\"x\",1", "", "", "2,\"y\",1"});
  array.Find(1, "y", 0);  // new in dimension 2 only: stride 1
  ExpectLayout(array, {"", "1,\"x\",1", "1,\"y\",0", "", "", "", "", "2,\"y\",1"});
  array.Find(3, "w", 2);  // new in all three
  EXPECT_EQ(array.ElementVector.Elements(), 27u);
  // Slot of (3, "w", 2): positions (2, 0, 2), strides 9 and 3.
  EXPECT_EQ(array.ElementOffset, 2 * 9 + 0 * 3 + 2);
  EXPECT_STREQ(array.ElementVector[20]->Name(), "3,\"w\",2");
  EXPECT_STREQ(array.ElementVector[3 + 1]->Name(), "1,\"x\",1");
  EXPECT_STREQ(array.ElementVector[6 + 0]->Name(), "1,\"y\",0");
  EXPECT_STREQ(array.ElementVector[9 + 6 + 1]->Name(), "2,\"y\",1");
  EXPECT_EQ(array.ElementCount(), 4);

  array.made.clear();
  EXPECT_EQ(array.NewElements(), 23);
  EXPECT_EQ(array.MadeNames().front(), "3,\"y\",2");
  EXPECT_EQ(array.MadeNames().back(), "1,\"w\",0");
}

TEST_F(ArrayBaseTest, FourDimensionsOfMixedKinds) {
  RecordingArray<TQ_BASE_SIIS> array;
  array.Find("b", 1, 1, "q");
  array.Find("a", 2, 0, "p");
  EXPECT_EQ(array.ElementVector.Elements(), 16u);
  // ("a", 2, 0, "p") at positions (0, 1, 0, 0): strides 8, 4, 2, 1.
  EXPECT_STREQ(array.ElementVector[4]->Name(), "\"a\",2,0,\"p\"");
  // ("b", 1, 1, "q") at positions (1, 0, 1, 1).
  EXPECT_STREQ(array.ElementVector[8 + 2 + 1]->Name(), "\"b\",1,1,\"q\"");
  array.made.clear();
  EXPECT_EQ(array.NewElements(), 14);
  EXPECT_EQ(array.MadeNames().front(), "\"b\",2,1,\"q\"");
  EXPECT_EQ(array.MadeNames().back(), "\"a\",1,0,\"p\"");

  RecordingArray<TQ_BASE_IIII> integers;
  EXPECT_STREQ(integers.Find(1, 2, 3, 4)->Name(), "1,2,3,4");
  EXPECT_EQ(integers.Find(1, 2, 3, 4), integers.ElementVector[0]);
}

// Names of every length: integer keys of any size, and integers after a
// string key long enough that the name no longer fits the array's own buffer.
TEST_F(ArrayBaseTest, NamesJoinEveryKeyWhateverTheirLength) {
  RecordingArray<TQ_BASE_IIII> integers;
  for (int k : {0, -1, 99, INT_MAX, INT_MIN}) {
    const std::string name = std::to_string(k) + "," + std::to_string(~k) + "," + std::to_string(k / 7) + "," +
                             std::to_string(INT_MIN + (k & 0xFF));
    EXPECT_EQ(std::string(integers.Find(k, ~k, k / 7, INT_MIN + (k & 0xFF))->Name()), name);
  }
  RecordingArray<TQ_BASE_SIII> mixed;
  for (std::size_t length : {1u, 30u, 40u, 47u, 100u, 2u}) {
    const std::string key(length, static_cast<char>('a' + length % 26));
    const std::string name = "\"" + key + "\"," + std::to_string(INT_MIN) + ",-5," + std::to_string(INT_MAX);
    EXPECT_EQ(std::string(mixed.Find(key.c_str(), INT_MIN, -5, INT_MAX)->Name()), name);
  }
}

// ---- keys from text ----------------------------------------------------------------

TEST_F(ArrayBaseTest, KeyTextCreatesTheElementOfItsKeys) {
  RecordingArray<TQ_BASE_II> array;
  array.CreateMissingArrayElement("4,5)");
  ASSERT_EQ(array.ElementCount(), 1);
  EXPECT_STREQ(array.ElementVector[0]->Name(), "4,5");
  array.CreateMissingArrayElement("4,5)");
  EXPECT_EQ(array.made.size(), 1u) << "an existing element is not made again";
  array.CreateMissingArrayElement(" -3 , 5 )");
  ExpectLayout(array, {"-3,5", "4,5"});

  RecordingArray<TQ_BASE_SIS> strings;
  strings.CreateMissingArrayElement("\"a b\",7,plain)");
  ASSERT_EQ(strings.ElementCount(), 1);
  EXPECT_STREQ(strings.ElementVector[0]->Name(), "\"a b\",7,\"plain\"");
}

TEST_F(ArrayBaseTest, MalformedKeyTextCreatesNothing) {
  RecordingArray<TQ_BASE_II> array;
  for (const char* text : {"4)", "4,)", "4,5", "4;5)", "x,5)", ",5)", "", "4,5,6)", "99999999999,1)"})
    array.CreateMissingArrayElement(text);
  array.CreateMissingArrayElement(nullptr);
  EXPECT_EQ(array.ElementVector.Elements(), 0u);
  EXPECT_EQ(array.IndexValues[0].SetSize(), 0);
  EXPECT_EQ(array.IndexValues[1].SetSize(), 0);

  RecordingArray<TQ_BASE_IS> strings;
  for (const char* text : {"1,\"open)", "1,)", "1,\"a\"b)"}) strings.CreateMissingArrayElement(text);
  EXPECT_EQ(strings.ElementVector.Elements(), 0u);
}

TEST_F(ArrayBaseTest, StringKeyLongerThanTheBufferIsRefused) {
  RecordingArray<TQ_BASE_SS> array;
  const std::string fits(TQ_KeyedArrayBase::kKeyBuffer - 1, 'k');
  const std::string tooLong(TQ_KeyedArrayBase::kKeyBuffer, 'k');
  const std::string huge(5000, 'z');
  array.CreateMissingArrayElement(("a," + tooLong + ")").c_str());
  array.CreateMissingArrayElement((tooLong + ",a)").c_str());
  array.CreateMissingArrayElement(("\"" + huge + "\",a)").c_str());
  EXPECT_EQ(array.ElementVector.Elements(), 0u);

  array.CreateMissingArrayElement(("a," + fits + ")").c_str());
  ASSERT_EQ(array.ElementCount(), 1);
  EXPECT_EQ(std::string(array.IndexValues[1].String(0)), fits);
}

// ---- declared sets ----------------------------------------------------------------

TEST_F(ArrayBaseTest, SetDimRecordsAndReplacesTheDeclaredSets) {
  RecordingArray<TQ_BASE_III> array;
  TQ_INTEGERSET a, b, c, d, e, f;
  array.SetDim(a, b, c);
  EXPECT_EQ(array.DeclaredSet(0), &a);
  EXPECT_EQ(array.DeclaredSet(2), &c);
  EXPECT_EQ(a.DependentCount(), 1);
  array.SetDim(d, e, f);
  EXPECT_EQ(array.DeclaredSet(0), &d);
  EXPECT_EQ(array.DeclaredSet(1), &e);
  EXPECT_EQ(array.DeclaredSet(2), &f);
  EXPECT_EQ(a.DependentCount() + b.DependentCount() + c.DependentCount(), 0);
  EXPECT_EQ(d.DependentCount() + e.DependentCount() + f.DependentCount(), 3);
  EXPECT_EQ(array.ElementVector.Elements(), 0u) << "SetDim touches no index values or elements";
}

TEST_F(ArrayBaseTest, LookupOutsideTheDeclaredSetsCreatesTheElement) {
  // A lookup makes what is missing, whether or not the declared sets hold
  // the key; the index values show which keys the array has taken in.
  TQ_INTEGERSET rows, cols;
  TQ_Value declared(TQ_IntSetValue(1, 2), 0u, 0u, 1);
  rows.Assign(&declared);
  cols.Assign(&declared);
  TQ_ARRAY_II<TQ_REALVARIABLE> array;
  array.SetDim(rows, cols);
  TQ_REALVARIABLE& outside = array(1, 9);
  EXPECT_STREQ(outside.Name(), "1,9");
  EXPECT_EQ(rows.v() >= 1, 1);
  EXPECT_EQ(cols.v() >= 9, 0) << "9 is not a declared index";
  EXPECT_EQ(array.IndexValues[1].SetSize(), 1);
  EXPECT_EQ(array.IndexValues[1].Integer(0), 9);
  EXPECT_EQ(cols.v().SetSize(), 2) << "the declared set is left as it is";
}

TEST_F(ArrayBaseTest, ArrayOutlivingItsIndexSetForgetsIt) {
  // A model declares an array before its index set, so the set is destroyed
  // first.
  RecordingArray<TQ_BASE_II> array;
  TQ_INTEGERSET kept;
  {
    TQ_INTEGERSET gone;
    array.SetDim(gone, kept);
    EXPECT_EQ(gone.DependentCount(), 1);
  }
  EXPECT_EQ(array.DeclaredSet(0), nullptr);
  EXPECT_EQ(array.DeclaredSet(1), &kept);
  EXPECT_EQ(kept.DependentCount(), 1);
  array.SetDim(kept, kept);
  EXPECT_EQ(kept.DependentCount(), 2);
}

// ---- copying ------------------------------------------------------------------------

TEST_F(ArrayBaseTest, CopyAndAssignmentTakeIndexValuesAndDeclaredSets) {
  TQ_INTEGERSET rows, cols;
  TQ_ARRAY_II<TQ_REALVARIABLE> source;
  source.SetDim(rows, cols);
  source(1, 1);
  source(2, 3);

  TQ_ARRAY_II<TQ_REALVARIABLE> copy(source);
  EXPECT_EQ(copy.IndexValues[0], source.IndexValues[0]);
  EXPECT_EQ(copy.IndexValues[1], source.IndexValues[1]);
  EXPECT_EQ(copy.DeclaredSet(1), &cols);
  EXPECT_EQ(copy.ElementCount(), 0) << "elements belong to one array";
  // The copy makes its elements on demand, at the same slots.
  EXPECT_EQ(copy.NewElements(), 4);
  EXPECT_EQ(SlotNames(copy), (Strings{"1,1", "1,3", "2,1", "2,3"}));

  TQ_ARRAY_II<TQ_REALVARIABLE> target;
  target(7, 7);
  target = source;
  EXPECT_EQ(target.IndexValues[0], source.IndexValues[0]);
  EXPECT_EQ(target.ElementCount(), 0);
  TQ_REALVARIABLE& made = target(2, 3);
  EXPECT_STREQ(made.Name(), "2,3");
  EXPECT_EQ(target.ElementVector.Elements(), 4u);
  EXPECT_EQ(SlotNames(target), (Strings{"", "", "", "2,3"}));
}

TEST_F(ArrayBaseTest, SelfAssignmentKeepsEverything) {
  TQ_ARRAY_III<TQ_REALVARIABLE> array;
  TQ_REALVARIABLE& element = array(1, 2, 3);
  auto& same = array;
  array = same;
  EXPECT_EQ(array.ElementCount(), 1);
  EXPECT_EQ(&array(1, 2, 3), &element);
  EXPECT_EQ(array.IndexValues[2].Integer(0), 3);
}

// ---- what is refused -----------------------------------------------------------------

TEST_F(ArrayBaseTest, VectorOutOfStepWithIndexValuesIsRefused) {
  RecordingArray<TQ_BASE_II> array;
  array.Find(1, 1);
  array.Find(2, 2);           // 4 slots
  array.IndexValues[1] += 3;  // 6 combinations now, the vector still 4
  const std::size_t errors = Errors().size();
  EXPECT_EQ(array.NewElements(), 0);
  EXPECT_EQ(array.Find(1, 3), nullptr);
  EXPECT_EQ(array.ElementVector.Elements(), 4u);
  ASSERT_EQ(Errors().size(), errors + 2);
  EXPECT_NE(Errors().back().find("does not hold one slot per key combination"), std::string::npos);
}

TEST_F(ArrayBaseTest, ArrayBeyondThirtyTwoBitSlotsIsRefused) {
  RecordingArray<TQ_BASE_II> array;
  array.IndexValues[0] = TQ_IntSetValue(1, 70000);
  array.IndexValues[1] = TQ_IntSetValue(1, 40000);
  EXPECT_EQ(array.CombinationCount(), -1);
  EXPECT_EQ(array.NewElements(), 0);
  EXPECT_EQ(array.Find(1, 1), nullptr);
  EXPECT_EQ(array.ElementVector.Elements(), 0u);

  RecordingArray<TQ_BASE_II> growing;
  growing.IndexValues[0] = TQ_IntSetValue(1, 65535);
  growing.IndexValues[1] = TQ_IntSetValue(1, 32768);
  EXPECT_EQ(growing.CombinationCount(), 65535LL * 32768);
  EXPECT_EQ(growing.Find(0, 1), nullptr) << "one more row would make 2^31 slots";
  EXPECT_EQ(growing.IndexValues[0].SetSize(), 65535);
}

TEST_F(ArrayBaseTest, RefusedElementLeavesItsSlotEmpty) {
  RecordingArray<TQ_BASE_II> array;
  array.Find(1, 1);
  TQ_HeapStats::FailAllocations(1);
  EXPECT_EQ(array.Find(1, 2), nullptr);
  EXPECT_EQ(array.ElementVector.Elements(), 2u);
  EXPECT_EQ(array.ElementVector[1], nullptr);
  EXPECT_NE(array.Find(1, 2), nullptr) << "a later lookup makes it";
}

}  // namespace
