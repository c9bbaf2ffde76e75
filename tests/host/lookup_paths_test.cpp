// The host's quick paths and what guards them: an integer-keyed array finds an
// element that exists by its key's offset in a dense run of keys and stays
// right when keys are added anywhere or the array is assigned; sets built
// range by range, in order or not, hold the union; the emission calls still
// refuse an item for another equation and cursors outside the pattern.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/tq_executive.h"
#include "host/vekexp.h"
#include "host/tq_executive_testing.h"

namespace {

class RealArray : public TQ_BASE_I {
 public:
  TQ_Type* NewElement() override { return new TQ_REALVARIABLE(true); }
};

std::vector<int> Keys(const SUValue& set) {
  std::vector<int> keys;
  for (int p = 0; p < set.SetSize(); ++p) keys.push_back(set.IntegerAt(p));
  return keys;
}

TEST(ArrayLookup, ElementsStayWithTheirKeysWhereverKeysAreAdded) {
  RealArray array;
  std::vector<TQ_Type*> made(30, nullptr);
  for (int k = 5; k < 15; ++k) made[static_cast<std::size_t>(k)] = array.Find(k);
  for (int k = 5; k < 15; ++k) EXPECT_EQ(array.Find(k), made[static_cast<std::size_t>(k)]) << k;
  // A key before the run shifts every slot; a key after a gap ends the run.
  made[4] = array.Find(4);
  made[25] = array.Find(25);
  made[0] = array.Find(0);
  EXPECT_EQ(array.ElementCount(), 13);
  for (int k : {0, 4, 5, 9, 14, 25}) {
    EXPECT_EQ(array.Find(k), made[static_cast<std::size_t>(k)]) << k;
    EXPECT_EQ(array.ElementVector[static_cast<unsigned int>(array.ElementOffset)], made[static_cast<std::size_t>(k)])
        << k;
  }
  // Filling the gaps makes the keys dense again.
  for (int k = 1; k <= 25; ++k)
    if (made[static_cast<std::size_t>(k)] == nullptr) made[static_cast<std::size_t>(k)] = array.Find(k);
  for (int k = 0; k <= 25; ++k) EXPECT_EQ(array.Find(k), made[static_cast<std::size_t>(k)]) << k;
  EXPECT_EQ(array.ElementCount(), 26);
  EXPECT_NE(array.Find(-3), nullptr);
  EXPECT_EQ(array.Find(0), made[0]);
}

TEST(ArrayLookup, AnAssignedArrayMakesItsOwnElements) {
  RealArray source;
  for (int k = 0; k < 8; ++k) source.Find(k);
  RealArray target;
  std::vector<TQ_Type*> before;
  for (int k = 0; k < 8; ++k) before.push_back(target.Find(k));
  target = source;
  for (int k = 0; k < 8; ++k) {
    TQ_Type* element = target.Find(k);
    ASSERT_NE(element, nullptr);
    EXPECT_NE(element, source.Find(k)) << k;
    EXPECT_EQ(target.Find(k), element) << k;
  }
}

TEST(SetUnion, RangesAddedInAnyOrderGiveTheirUnion) {
  TQ_SetValue set(TQ_SET_ANY);
  set += TQ_IntSetValue(1, 2);
  set += TQ_IntSetValue(4, 5);
  set += TQ_IntSetValue(8, 9);
  EXPECT_EQ(Keys(set), (std::vector<int>{1, 2, 4, 5, 8, 9}));
  set += TQ_IntSetValue(3, 3);    // joins the first two runs
  set += TQ_IntSetValue(9, 12);   // overlaps the last
  set += TQ_IntSetValue(13, 13);  // touches it
  EXPECT_EQ(Keys(set), (std::vector<int>{1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13}));
  set += TQ_IntSetValue(-2, 0);
  set += TQ_IntSetValue(0, 20);
  std::vector<int> all;
  for (int k = -2; k <= 20; ++k) all.push_back(k);
  EXPECT_EQ(Keys(set), all);
  int position = 0;
  EXPECT_EQ(set.SetContains(7, position), 1);
  EXPECT_EQ(position, 9);
  EXPECT_EQ(set.SetContains(21, position), 0);
  EXPECT_EQ(position, 23);
}

TEST(SetUnion, ManyPiecesInOrderKeepTheirPositions) {
  // Element interiors of 100000 elements of four intervals: 1..3, 5..7, ...
  TQ_SetValue set(TQ_SET_ANY);
  for (int e = 0; e < 100000; ++e) set += TQ_IntSetValue(4 * e + 1, 4 * e + 3);
  ASSERT_EQ(set.SetSize(), 300000);
  int position = 0;
  EXPECT_EQ(set.SetContains(4 * 77777 + 2, position), 1);
  EXPECT_EQ(position, 3 * 77777 + 1);
  EXPECT_EQ(set.SetContains(4 * 77777, position), 0);
  EXPECT_EQ(set.IntegerAt(299999), 4 * 99999 + 3);
}

class Emitter : public TQ_ModelTypeEx2 {};

TEST(Emission, ItemsAndCursorsOutsideTheOpenEquationAreRefused) {
  TQ_Executive& host = TQ_Executive::Instance();
  host.Reset();
  auto* model = new Emitter;
  model->AddRef();
  ASSERT_TRUE(host.AddObject("M", model));
  TQ_REALVARIABLE x(true);
  TQ_ExecutiveTesting::DeclareEquation(host, model, 1);
  TQ_ExecutiveTesting::DeclareNonZero(host, model, x);
  int* rows = nullptr;
  int* cols = nullptr;
  TQ_ExecutiveTesting::BeginEmission(host, 1, rows, cols);
  int count = 0;
  model->AddOp(EOp_Root, 0);  // before any equation
  EXPECT_EQ(host.Errors().size(), 1u);
  model->AddEquation("E", count, 1);
  model->AddOp(EOp_Root, 1);  // not the open equation
  EXPECT_EQ(host.Errors().size(), 2u);
  int* wrongCols = cols + 1;
  model->AddTerm(x, rows, wrongCols, 0);  // cursors at different entries
  EXPECT_EQ(host.Errors().size(), 3u);
  model->AddOp(EOp_Root, 0);
  model->AddTerm(x, rows, cols, 0);
  model->AddTerm(x, rows, cols, 0);  // one term more than declared
  ASSERT_EQ(host.Errors().size(), 4u);
  EXPECT_NE(host.Errors().back().find("would write past"), std::string::npos) << host.Errors().back();
  EXPECT_EQ(host.PatternEntriesWritten(), 1);
  EXPECT_EQ(host.PatternRows()[0], 0);
  EXPECT_EQ(host.PatternColumns()[0], x.Column());
  host.Reset();
}

}  // namespace
