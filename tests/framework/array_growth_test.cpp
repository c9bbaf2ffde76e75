// How the array bases grow whatever the order in which lookups first meet their keys: a long
// axis walked across the short ones (the transpose of the row-major order), descending, or
// shuffled, over two and three dimensions. Whatever the order, and whether or not the array has
// declared sets to widen its dimensions from, the array ends with the index values met, every
// element at the slot of its keys (row-major, the last dimension fastest) and every key finding
// the element first made for it. With declared sets an element moves a bounded number of times
// however the walk goes; and what a widened dimension holds beyond the keys met is declared.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <new>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "host/tq_memory_gate.h"
#include "test_types.h"

namespace {

template <std::size_t D>
using Key = std::array<int, D>;
template <std::size_t D>
using Base = std::conditional_t<D == 2, TQ_BASE_II, TQ_BASE_III>;

// The name the host gives the element of a key: the indices joined by commas.
template <std::size_t D>
std::string NameOf(const Key<D>& key) {
  std::string name;
  for (std::size_t d = 0; d < D; ++d) name += (d > 0 ? "," : "") + std::to_string(key[d]);
  return name;
}

// An array over D integer dimensions, with a declared set per dimension (empty unless given
// values), and what its lookups found: the element first made for each key, and how many times
// an element already made stood at another slot after a lookup (its moves).
template <std::size_t D>
struct Grown {
  std::array<TQ_INTEGERSET, D> sets;
  RecordingArray<Base<D>> array;
  std::map<Key<D>, TQ_Type*> made;
  std::int64_t moves = 0;

  // `declared`: the values of each dimension's declared set; none declares nothing.
  explicit Grown(const std::vector<std::vector<int>>& declared) {
    for (std::size_t d = 0; d < declared.size() && d < D; ++d) {
      TQ_IntSetValue values(nullptr);
      for (int v : declared[d]) values += v;
      TQ_Value value(values, 0u, 0u, 1);
      sets[d].Assign(&value);
    }
    std::apply([&](auto&... s) { array.SetDim(s...); }, sets);
  }

  TQ_Type* Find(const Key<D>& key) {
    return std::apply([&](auto... k) { return array.Find(k...); }, key);
  }

  // Looks every key up in turn; a key seen before must give the element made for it.
  void Walk(const std::vector<Key<D>>& keys) {
    std::unordered_map<TQ_Type*, unsigned int> slotOf;
    for (const Key<D>& key : keys) {
      const unsigned int slots = array.ElementVector.Elements();
      TQ_Type* element = Find(key);
      ASSERT_NE(element, nullptr) << NameOf<D>(key);
      auto [at, isNew] = made.emplace(key, element);
      ASSERT_EQ(at->second, element) << NameOf<D>(key) << ": another element than the one made for it";
      if (array.ElementVector.Elements() != slots) {
        // The vector was enlarged: count the elements made before that now stand elsewhere.
        for (unsigned int s = 0; s < array.ElementVector.Elements(); ++s) {
          TQ_Type* there = array.ElementVector[s];
          if (there == nullptr || there == element) continue;
          unsigned int& recorded = slotOf[there];
          if (recorded != s) ++moves;
          recorded = s;
        }
      }
      slotOf[element] = static_cast<unsigned int>(array.ElementOffset);
    }
  }
};

// The index values of dimension d, in the set's order.
template <std::size_t D>
std::vector<int> IndexValues(const RecordingArray<Base<D>>& array, std::size_t d) {
  std::vector<int> values;
  for (int p = 0; p < array.IndexValues[d].SetSize(); ++p) values.push_back(array.IndexValues[d].Integer(p));
  return values;
}

// The invariant of an array base: one slot per combination of the index values present,
// row-major with the last dimension fastest; the element in a slot is the one of the keys at its
// positions, found there by a lookup that makes nothing; every element made is in its slot.
template <std::size_t D>
void ExpectRowMajor(Grown<D>& g) {
  RecordingArray<Base<D>>& array = g.array;
  std::array<std::vector<int>, D> values;
  std::size_t combinations = 1;
  for (std::size_t d = 0; d < D; ++d) {
    values[d] = IndexValues<D>(array, d);
    ASSERT_TRUE(std::is_sorted(values[d].begin(), values[d].end())) << "dimension " << d;
    combinations *= values[d].size();
  }
  ASSERT_EQ(array.ElementVector.Elements(), combinations);
  const std::size_t madeBefore = array.made.size();
  std::size_t filled = 0;
  for (std::size_t slot = 0; slot < combinations; ++slot) {
    Key<D> key{};
    std::size_t rest = slot;
    for (std::size_t d = D; d-- > 0;) {
      key[d] = values[d][rest % values[d].size()];
      rest /= values[d].size();
    }
    TQ_Type* element = array.ElementVector[static_cast<unsigned int>(slot)];
    if (element == nullptr) {
      EXPECT_EQ(g.made.count(key), 0u) << NameOf<D>(key) << ": made, but its slot is empty";
      continue;
    }
    ++filled;
    EXPECT_EQ(std::string(element->Name()), NameOf<D>(key)) << "slot " << slot;
    EXPECT_EQ(g.Find(key), element) << NameOf<D>(key);
    EXPECT_EQ(array.ElementOffset, static_cast<int>(slot)) << NameOf<D>(key);
    const auto made = g.made.find(key);
    EXPECT_TRUE(made != g.made.end() && made->second == element) << NameOf<D>(key) << ": not the element made";
  }
  EXPECT_EQ(filled, g.made.size()) << "elements made and elements in slots";
  EXPECT_EQ(array.made.size(), madeBefore) << "a lookup of an existing element made one";
}

// The keys of a grid of `extent` values per dimension, dimension d's i-th value being
// Value(d, i), met in the order of `nesting` (the outermost loop's dimension first), each loop
// ascending or, where `descending` says so, descending.
int Value(std::size_t d, int i) { return static_cast<int>(d + 1) * i - 3; }

template <std::size_t D>
std::vector<Key<D>> GridWalk(const Key<D>& extent, const Key<D>& nesting, const std::array<bool, D>& descending) {
  std::vector<Key<D>> keys;
  Key<D> i{};
  for (;;) {
    Key<D> key{};
    for (std::size_t d = 0; d < D; ++d) key[d] = Value(d, descending[d] ? extent[d] - 1 - i[d] : i[d]);
    keys.push_back(key);
    // The innermost loop steps fastest.
    std::size_t level = D;
    while (level-- > 0) {
      const auto d = static_cast<std::size_t>(nesting[level]);
      if (++i[d] < extent[d]) break;
      i[d] = 0;
    }
    if (level == static_cast<std::size_t>(-1)) return keys;
  }
}

template <std::size_t D>
std::vector<std::vector<int>> GridValues(const Key<D>& extent) {
  std::vector<std::vector<int>> values(D);
  for (std::size_t d = 0; d < D; ++d)
    for (int i = 0; i < extent[d]; ++i) values[d].push_back(Value(d, i));
  return values;
}

// One order of first touch: the extent of each dimension, the loops' nesting (outermost first),
// which loops run down, or a shuffle of the keys with the seed given (0: none).
template <std::size_t D>
struct Order {
  Key<D> extent;
  Key<D> nesting;
  std::array<bool, D> descending;
  unsigned seed;
};

template <std::size_t D>
std::string Describe(const Order<D>& o) {
  std::string text;
  for (std::size_t d = 0; d < D; ++d) text += (d > 0 ? "x" : "") + std::to_string(o.extent[d]);
  text += " nesting";
  for (int d : o.nesting) text += " " + std::to_string(d);
  for (std::size_t d = 0; d < D; ++d)
    if (o.descending[d]) text += " down" + std::to_string(d);
  if (o.seed != 0) text += " shuffled " + std::to_string(o.seed);
  return text;
}

template <std::size_t D>
std::vector<Key<D>> KeysOf(const Order<D>& o) {
  std::vector<Key<D>> keys = GridWalk<D>(o.extent, o.nesting, o.descending);
  if (o.seed != 0) {
    std::mt19937 shuffle(o.seed);
    std::shuffle(keys.begin(), keys.end(), shuffle);
  }
  return keys;
}

// Fills the grid of `order` twice, once with the grid's values declared (each dimension may
// widen from them) and once with nothing declared (one value at a time), and checks both.
template <std::size_t D>
void ExpectSameWhateverTheOrder(const Order<D>& order) {
  SCOPED_TRACE(Describe<D>(order));
  const std::vector<Key<D>> keys = KeysOf<D>(order);
  const std::vector<std::vector<int>> values = GridValues<D>(order.extent);
  Grown<D> declared(values);
  Grown<D> plain({});
  declared.Walk(keys);
  plain.Walk(keys);
  ASSERT_FALSE(::testing::Test::HasFatalFailure());

  std::size_t elements = 1;
  for (std::size_t d = 0; d < D; ++d) {
    // The index values are those met, whichever way they came.
    EXPECT_EQ(IndexValues<D>(declared.array, d), values[d]) << "dimension " << d;
    EXPECT_EQ(IndexValues<D>(plain.array, d), values[d]) << "dimension " << d;
    elements *= values[d].size();
  }
  ExpectRowMajor<D>(declared);
  ExpectRowMajor<D>(plain);
  // The same elements in the same slots, made in the same order.
  EXPECT_EQ(SlotNames(declared.array), SlotNames(plain.array));
  EXPECT_EQ(declared.array.MadeNames(), plain.array.MadeNames());
  EXPECT_EQ(declared.array.made.size(), elements);

  // Widened from its declared sets, the array moves each element a bounded number of times: a
  // dimension that at least doubles whenever a new value would move slots moves the elements
  // made so far fewer than twice their number in all, per dimension.
  EXPECT_LE(declared.moves, static_cast<std::int64_t>(2 * D * elements)) << "elements moved";
}

// The orders: each shape with a long dimension in every position, walked with every loop
// nesting, ascending and descending, and shuffled.
template <std::size_t D>
std::vector<Order<D>> Orders(const std::vector<Key<D>>& shapes) {
  std::vector<Order<D>> orders;
  for (const Key<D>& extent : shapes) {
    Key<D> nesting{};
    std::iota(nesting.begin(), nesting.end(), 0);
    do {
      orders.push_back({extent, nesting, {}, 0});
      std::array<bool, D> down{};
      down.fill(true);
      orders.push_back({extent, nesting, down, 0});
    } while (std::next_permutation(nesting.begin(), nesting.end()));
    std::iota(nesting.begin(), nesting.end(), 0);
    orders.push_back({extent, nesting, {}, 17});
  }
  return orders;
}

class ArrayGrowth : public HostTest {};

TEST_F(ArrayGrowth, TwoDimensionsEndTheSameWhicheverOrderTheKeysComeIn) {
  // A long second axis walked across its rows and its transpose, and the row-major orders.
  for (const Order<2>& order : Orders<2>({{5, 300}, {300, 5}, {17, 19}})) ExpectSameWhateverTheOrder<2>(order);
}

TEST_F(ArrayGrowth, ThreeDimensionsEndTheSameWhicheverOrderTheKeysComeIn) {
  // The long dimension first, in the middle and last.
  for (const Order<3>& order : Orders<3>({{3, 4, 60}, {3, 60, 4}, {60, 3, 4}})) ExpectSameWhateverTheOrder<3>(order);
}

TEST_F(ArrayGrowth, OneValueAtATimeAcrossTheRowsMovesEveryRowButTheFirstForEachColumn) {
  // What the bound on moves above keeps out: 5 rows of 300 columns walked across the rows with
  // nothing declared. Taking column c in moves the c elements of each of rows 1 to 4, so the
  // moves come to 4 (1 + ... + 299), far past the bound of 2 x 2 x 1500.
  const Order<2> order{{5, 300}, {1, 0}, {}, 0};
  Grown<2> plain({});
  plain.Walk(KeysOf<2>(order));
  EXPECT_EQ(plain.moves, std::int64_t{4} * 299 * 300 / 2);
}

TEST_F(ArrayGrowth, ANewValueThatWouldMoveSlotsBringsTheNearestDeclaredValuesAsManyAsItHolds) {
  // Two rows, columns 0..9 declared; the keys in order, and the columns held after them.
  struct Case {
    std::vector<Key<2>> keys;
    std::vector<int> columns;
  };
  const Case cases[] = {
      // Row-major: each new column goes after the last slot, and comes alone.
      {{{0, 0}, {0, 1}, {0, 2}}, {0, 1, 2}},
      // Across the rows: column 1 would move row 1's slots and brings 2 with it (one held); column
      // 3 brings the three nearest it that are missing: 4, 5 and 6.
      {{{0, 0}, {1, 0}, {0, 1}}, {0, 1, 2}},
      {{{0, 0}, {1, 0}, {0, 1}, {0, 3}}, {0, 1, 2, 3, 4, 5, 6}},
      // Down from the last column: the nearest are below it.
      {{{0, 9}, {1, 9}, {0, 8}}, {7, 8, 9}},
      // From the middle: both sides in turn, the one after first (column 4 brings 3; column 6,
      // with three held, brings 7, 8 and 9, the values below it being held).
      {{{0, 5}, {1, 5}, {0, 4}, {1, 6}}, {3, 4, 5, 6, 7, 8, 9}},
      // Past the declared values on one side, the rest come from the other.
      {{{0, 8}, {1, 8}, {0, 9}, {0, 0}}, {0, 1, 2, 3, 7, 8, 9}},
  };
  for (const Case& c : cases) {
    Grown<2> g({{0, 1}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}});
    g.Walk(c.keys);
    EXPECT_EQ(IndexValues<2>(g.array, 1), c.columns) << NameOf<2>(c.keys.back());
    ExpectRowMajor<2>(g);
  }
}

TEST_F(ArrayGrowth, AWidenedDimensionHoldsDeclaredValuesOnlyAndAtMostTwiceThoseMet) {
  // Declared 0..199 along the second axis; the walk meets 0..49 of it across four rows.
  std::vector<int> rows{0, 1, 2, 3};
  std::vector<int> columns(200);
  std::iota(columns.begin(), columns.end(), 0);
  Grown<2> g({rows, columns});
  std::vector<Key<2>> keys;
  for (int c = 0; c < 50; ++c)
    for (int r : rows) keys.push_back({r, c});
  g.Walk(keys);
  ExpectRowMajor<2>(g);
  EXPECT_EQ(IndexValues<2>(g.array, 0), rows);
  const std::vector<int> held = IndexValues<2>(g.array, 1);
  for (int c = 0; c < 50; ++c) EXPECT_TRUE(std::binary_search(held.begin(), held.end(), c)) << c;
  for (int v : held) EXPECT_TRUE(v >= 0 && v < 200) << v << " is not declared";
  EXPECT_LE(held.size(), 2u * 50 + 1);
  EXPECT_EQ(g.array.made.size(), 200u) << "only the keys looked up have elements";
  EXPECT_EQ(g.array.ElementCount(), 200);
}

TEST_F(ArrayGrowth, KeysOutsideTheDeclaredSetsComeOneByOne) {
  // Declared 0..9 along the second axis; the walk meets 100 and on: nothing declared to widen
  // by, so the index values are exactly the keys met.
  Grown<2> g({{0, 1, 2}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}});
  std::vector<Key<2>> keys;
  for (int c = 100; c < 140; ++c)
    for (int r = 0; r < 3; ++r) keys.push_back({r, c});
  g.Walk(keys);
  ExpectRowMajor<2>(g);
  EXPECT_EQ(IndexValues<2>(g.array, 1).size(), 40u);
  EXPECT_EQ(IndexValues<2>(g.array, 1).front(), 100);
}

TEST_F(ArrayGrowth, AStringDimensionWidensFromItsDeclaredSetToo) {
  // Names along the second axis, walked across two integer rows.
  TQ_INTEGERSET rows;
  TQ_STRINGSET names;
  std::string text;
  std::vector<std::string> declared;
  for (int k = 0; k < 64; ++k) {
    declared.push_back("n" + std::to_string(1000 + k));
    text += declared.back() + "\"";
  }
  TQ_Value value(TQ_StrSetValue(text.c_str()), 0u, 0u, 1);
  names.Assign(&value);
  RecordingArray<TQ_BASE_IS> array;
  array.SetDim(rows, names);
  std::map<std::pair<int, std::string>, TQ_Type*> made;
  array.Find(7, declared[0].c_str());
  array.Find(3, declared[0].c_str());
  array.Find(7, declared[1].c_str());
  // The second name would move row 7's slot: the nearest name declared comes with it.
  EXPECT_EQ(array.IndexValues[1].SetSize(), 3);
  EXPECT_EQ(std::string(array.IndexValues[1].String(2)), declared[2]);
  for (int pass = 0; pass < 2; ++pass)
    for (const std::string& name : declared)
      for (int r : {7, 3}) {
        TQ_Type* element = array.Find(r, name.c_str());
        ASSERT_NE(element, nullptr);
        auto [at, isNew] = made.emplace(std::make_pair(r, name), element);
        EXPECT_EQ(at->second, element) << r << "," << name;
      }
  ASSERT_EQ(array.IndexValues[1].SetSize(), 64);
  ASSERT_EQ(array.ElementVector.Elements(), 128u);
  for (unsigned int slot = 0; slot < 128; ++slot) {
    const int r = slot < 64 ? 3 : 7;
    const std::string& name = declared[slot % 64];  // the names sort as they were made
    EXPECT_EQ(array.ElementVector[slot], made[std::make_pair(r, name)]) << slot;
    EXPECT_EQ(std::string(array.ElementVector[slot]->Name()), std::to_string(r) + ",\"" + name + "\"");
  }
  EXPECT_EQ(array.made.size(), 128u);
}

TEST_F(ArrayGrowth, ALookupWhoseSlotsCannotBeHadLeavesTheArrayAsItWas) {
  // Rows 0..7 of one column fill the vector's first room; a second column needs more, and
  // would widen from the declared set where there is one.
  std::vector<int> rows(8);
  std::iota(rows.begin(), rows.end(), 0);
  std::vector<int> columns(40);
  std::iota(columns.begin(), columns.end(), 0);
  for (bool declared : {true, false}) {
    SCOPED_TRACE(declared ? "declared" : "nothing declared");
    Grown<2> g(declared ? std::vector<std::vector<int>>{rows, columns} : std::vector<std::vector<int>>{});
    std::vector<Key<2>> column;
    for (int r : rows) column.push_back({r, 0});
    g.Walk(column);
    const std::vector<std::string> before = SlotNames(g.array);
    TQ_SetAllocationGate([](std::size_t) { return false; });
    EXPECT_THROW(g.Find({1, 1}), std::bad_alloc);
    TQ_SetAllocationGate(nullptr);
    EXPECT_EQ(SlotNames(g.array), before);
    EXPECT_EQ(IndexValues<2>(g.array, 1), std::vector<int>{0}) << "the key's value stayed out";
    // The next lookups find the array whole.
    for (Key<2>& key : column) key[1] = 1;
    g.Walk(column);
    ExpectRowMajor<2>(g);
  }
}

}  // namespace
