// Set values of the host: integer ranges (with the one-member INT_MIN form),
// union, intersection, membership, ascending order, iterators that keep their
// own copy, letter-case-free comparison and quote-separated string sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "host/tq_values.h"

namespace {

std::vector<int> Members(const SUValue& set) {
  std::vector<int> out;
  TQ_IntegerSetIter it(set);
  while (it.Next()) out.push_back(it.v());
  return out;
}

std::vector<std::string> Names(const SUValue& set) {
  std::vector<std::string> out;
  TQ_StringSetIter it(set);
  while (it.Next()) out.push_back(it.v());
  return out;
}

using Ints = std::vector<int>;
using Strings = std::vector<std::string>;

// ---- integer ranges ---------------------------------------------------------

TEST(IntegerRange, HoldsLowToHighInclusive) {
  EXPECT_EQ(Members(TQ_IntSetValue(-2, 2)), (Ints{-2, -1, 0, 1, 2}));
  EXPECT_EQ(Members(TQ_IntSetValue(3, 3)), (Ints{3}));
  EXPECT_EQ(TQ_IntSetValue(0, 99999).SetSize(), 100000);
}

TEST(IntegerRange, IsEmptyWhenHighIsBelowLow) {
  EXPECT_EQ(TQ_IntSetValue(5, 4).SetSize(), 0);
  EXPECT_EQ(TQ_IntSetValue(0, -1).SetSize(), 0);
  EXPECT_EQ(TQ_IntSetValue(-3, -7).SetSize(), 0);
  EXPECT_EQ(TQ_IntSetValue(INT_MAX, INT_MIN + 1).SetSize(), 0);
  EXPECT_EQ((TQ_IntSetValue(5, 4) >= 5), 0);
  EXPECT_EQ((TQ_IntSetValue(5, 4) >= 4), 0);
}

TEST(IntegerRange, HighOfIntMinGivesTheOneMemberSet) {
  EXPECT_EQ(Members(TQ_IntSetValue(7, INT_MIN)), (Ints{7}));
  EXPECT_EQ(Members(TQ_IntSetValue(-5, INT_MIN)), (Ints{-5}));
  EXPECT_EQ(Members(TQ_IntSetValue(0, INT_MIN)), (Ints{0}));
  EXPECT_EQ(Members(TQ_IntSetValue(INT_MIN, INT_MIN)), (Ints{INT_MIN}));
  // Only INT_MIN itself has that meaning: one above it is an ordinary bound.
  EXPECT_EQ(TQ_IntSetValue(7, INT_MIN + 1).SetSize(), 0);
}

TEST(IntegerRange, ReachesTheEndsOfTheIntegerRange) {
  EXPECT_EQ(Members(TQ_IntSetValue(INT_MAX - 2, INT_MAX)), (Ints{INT_MAX - 2, INT_MAX - 1, INT_MAX}));
  EXPECT_EQ(Members(TQ_IntSetValue(INT_MIN, INT_MIN + 2)), (Ints{INT_MIN, INT_MIN + 1, INT_MIN + 2}));
  TQ_IntSetValue top(INT_MAX - 1, INT_MAX);
  top += INT_MAX;
  top += INT_MIN;
  EXPECT_EQ(Members(top), (Ints{INT_MIN, INT_MAX - 1, INT_MAX}));
}

class LargeSets : public HostTest {};

TEST_F(LargeSets, TooManyMembersForAPositionAreRefusedNotWrapped) {
  // Positions are ints: a set of more than INT_MAX members cannot be
  // addressed. Such a range or union is refused with an error and leaves
  // the set as it was.
  TQ_IntSetValue all(INT_MIN, INT_MAX);
  EXPECT_EQ(all.SetSize(), 0);
  EXPECT_TRUE(ErrorMentions("at most 2147483647 members")) << AllErrors();

  Host().ClearErrors();
  TQ_IntSetValue half(0, INT_MAX - 1);
  EXPECT_EQ(half.SetSize(), INT_MAX);
  EXPECT_EQ(half.IntegerAt(INT_MAX - 1), INT_MAX - 1);
  int position = -1;
  EXPECT_EQ(half.SetContains(INT_MAX - 1, position), 1);
  EXPECT_EQ(position, INT_MAX - 1);
  EXPECT_TRUE(Host().Errors().empty()) << AllErrors();

  TQ_IntSetValue more(half);
  TQ_IntSetValue two(-9, -8);
  two += -5;
  more += two;
  EXPECT_EQ(more, half) << "a refused union adds none of its members";
  more += -1;
  more += TQ_IntSetValue(-3, -2);
  EXPECT_EQ(more, half);
  EXPECT_EQ(Host().Errors().size(), 3u) << AllErrors();
  more += 5;  // already a member: nothing to refuse
  EXPECT_EQ(Host().Errors().size(), 3u) << AllErrors();

  more *= TQ_IntSetValue(-1, 2);
  EXPECT_EQ(more, TQ_IntSetValue(0, 2));
}

TEST(IntegerSetText, ListsMembersSeparatedByCommasBlanksOrQuotes) {
  EXPECT_EQ(Members(TQ_IntSetValue("4, 1,\"9\" -2")), (Ints{-2, 1, 4, 9}));
  EXPECT_EQ(TQ_IntSetValue(static_cast<const char*>(nullptr)).SetSize(), 0);
  EXPECT_EQ(TQ_IntSetValue("").SetSize(), 0);
  // A number outside the 32-bit range is no member, on every platform.
  EXPECT_EQ(Members(TQ_IntSetValue("3,99999999999,5")), (Ints{3, 5}));
}

TEST(IntegerSetCopy, HoldsTheIntegersOfAnotherSetValueAndIsItsOwn) {
  // A set value with gaps, typed "either kind", as a property's value may be.
  TQ_SetValue interior;
  interior += TQ_IntSetValue(1, 2);
  interior += TQ_IntSetValue(4, 6);
  interior += INT_MIN;
  TQ_IntSetValue copy(interior);
  EXPECT_EQ(copy, interior);
  EXPECT_EQ(copy.Type(), TQ_SET_INTEGER);
  copy += 3;
  copy *= TQ_IntSetValue(0, 5);
  EXPECT_EQ(Members(copy), (Ints{1, 2, 3, 4, 5}));
  EXPECT_EQ(Members(interior), (Ints{INT_MIN, 1, 2, 4, 5, 6})) << "the source is left as it was";

  TQ_IntSetValue empty{TQ_SetValue()};
  EXPECT_EQ(empty.SetSize(), 0);
  empty += 9;
  EXPECT_EQ(Members(empty), (Ints{9}));

  // An integer set takes no strings: the copy of a set of strings is empty
  // and still takes integers.
  TQ_IntSetValue fromStrings{TQ_SetValue(TQ_StrSetValue("idx\"idy\""))};
  EXPECT_EQ(fromStrings.SetSize(), 0);
  EXPECT_FALSE(fromStrings.HoldsStrings());
  fromStrings += 2;
  EXPECT_EQ(Members(fromStrings), (Ints{2}));
}

// ---- union, intersection, membership -----------------------------------------

TEST(SetAlgebra, UnionJoinsRangesAndSingleMembers) {
  TQ_IntSetValue s(1, 3);
  s += TQ_IntSetValue(6, 7);
  EXPECT_EQ(Members(s), (Ints{1, 2, 3, 6, 7}));
  s += 5;
  s += TQ_IntSetValue(2, 4);  // overlaps and closes the gap
  EXPECT_EQ(Members(s), (Ints{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(s, TQ_IntSetValue(1, 7));
  s += TQ_IntSetValue(9, 8);  // an empty range adds nothing
  s += s;                     // nor does the set itself
  EXPECT_EQ(s, TQ_IntSetValue(1, 7));
}

TEST(SetRuns, AreTheMaximalRangesOfConsecutiveMembers) {
  // Built in any order, by members and ranges, the runs are the set's maximal ranges, ascending
  // and apart by at least one non-member; together they hold every member once.
  const std::vector<std::pair<std::vector<std::pair<int, int>>, std::vector<std::pair<int, int>>>> cases = {
      {{}, {}},
      {{{5, 5}}, {{5, 5}}},
      {{{1, 3}, {5, 7}}, {{1, 3}, {5, 7}}},
      {{{5, 7}, {1, 3}, {4, 4}}, {{1, 7}}},
      {{{10, 20}, {-5, -1}, {0, 0}, {22, 22}}, {{-5, 0}, {10, 20}, {22, 22}}},
      {{{INT_MIN, INT_MIN + 1}, {INT_MAX - 1, INT_MAX}}, {{INT_MIN, INT_MIN + 1}, {INT_MAX - 1, INT_MAX}}},
  };
  for (const auto& [added, runs] : cases) {
    TQ_IntSetValue set(1, 0);
    for (const auto& [lo, hi] : added) set += TQ_IntSetValue(lo, hi);
    ASSERT_EQ(set.RunCount(), static_cast<int>(runs.size()));
    long long members = 0;
    for (int r = 0; r < set.RunCount(); ++r) {
      int lo = 0, hi = 0;
      set.RunAt(r, lo, hi);
      EXPECT_EQ(std::make_pair(lo, hi), runs[static_cast<std::size_t>(r)]);
      int position = -1;
      EXPECT_EQ(set.SetContains(lo, position), 1);
      EXPECT_EQ(position, members);
      members += static_cast<long long>(hi) - lo + 1;
    }
    EXPECT_EQ(members, set.SetSize());
  }
  // A set of texts has no runs.
  EXPECT_EQ(TQ_StrSetValue("a\"b\"").RunCount(), 0);
}

TEST(SetAlgebra, SingleMembersBuildTheSameSetAsARange) {
  // An empty range with members added is how a model makes {j}.
  TQ_IntSetValue built(1, 0);
  for (int j : {4, 2, 3, 2}) built += j;
  EXPECT_EQ(built, TQ_IntSetValue(2, 4));
  EXPECT_EQ(built.SetSize(), 3);
}

// A set built member by member holds the same members in whatever order they come (members out
// of order wait and are placed when the set is next read), and reads the same between additions.
TEST(SetAlgebra, MembersInAnyOrderBuildTheSameSet) {
  std::vector<int> ints;
  for (int k = 0; k < 3000; ++k) ints.push_back(k % 7 == 3 ? 5 * k : 3 * k);  // runs of one, with some gaps
  std::vector<std::string> texts;
  for (int k = 0; k < 3000; ++k) texts.push_back("m" + std::to_string(k * 7919 % 3001));
  const auto ordered = [](auto members) {
    std::sort(members.begin(), members.end());
    members.erase(std::unique(members.begin(), members.end()), members.end());
    return members;
  };
  const auto descending = [](std::vector<int>& m) { std::sort(m.rbegin(), m.rend()); };
  const struct {
    const char* what;
    std::function<void(std::vector<int>&)> order;
    std::size_t readEvery;  // the set is read after this many members
  } orders[] = {
      {"ascending", [](std::vector<int>& m) { std::sort(m.begin(), m.end()); }, 977},
      {"descending", descending, 977},
      {"descending, read after each", descending, 1},
      {"shuffled", [](std::vector<int>& m) { std::shuffle(m.begin(), m.end(), std::mt19937(7)); }, 977},
      {"shuffled, read after every fifth",
       [](std::vector<int>& m) { std::shuffle(m.begin(), m.end(), std::mt19937(5)); },
       5},
      {"shuffled, each twice",
       [](std::vector<int>& m) {
         m.insert(m.end(), m.begin(), m.end());
         std::shuffle(m.begin(), m.end(), std::mt19937(11));
       },
       977},
  };
  for (const auto& o : orders) {
    // The order of positions, applied to the integers and to the texts alike.
    std::vector<int> positions(ints.size());
    for (std::size_t k = 0; k < positions.size(); ++k) positions[k] = static_cast<int>(k);
    o.order(positions);
    TQ_SetValue intSet(TQ_SET_INTEGER);
    TQ_SetValue textSet(TQ_SET_STRING);
    std::vector<int> intsSoFar;
    std::vector<std::string> textsSoFar;
    for (std::size_t k = 0; k < positions.size(); ++k) {
      intSet += ints[static_cast<std::size_t>(positions[k])];
      textSet += texts[static_cast<std::size_t>(positions[k])].c_str();
      intsSoFar.push_back(ints[static_cast<std::size_t>(positions[k])]);
      textsSoFar.push_back(texts[static_cast<std::size_t>(positions[k])]);
      // The set is read on the way: now and then its whole, more often its size.
      if (k % o.readEvery == 0) {
        if (k % 977 == 0) {
          EXPECT_EQ(Members(intSet), ordered(intsSoFar)) << o.what << ", after " << k + 1;
          EXPECT_EQ(Names(textSet), ordered(textsSoFar)) << o.what << ", after " << k + 1;
        }
        int position = -1;
        EXPECT_EQ(intSet.SetContains(intsSoFar.back(), position), 1) << o.what << ", after " << k + 1;
        EXPECT_EQ(textSet.SetContains(textsSoFar.back().c_str(), position), 1) << o.what << ", after " << k + 1;
      }
    }
    const std::vector<int> expectedInts = ordered(ints);
    const std::vector<std::string> expectedTexts = ordered(texts);
    EXPECT_EQ(Members(intSet), expectedInts) << o.what;
    EXPECT_EQ(Names(textSet), expectedTexts) << o.what;
    ASSERT_EQ(intSet.SetSize(), static_cast<int>(expectedInts.size())) << o.what;
    ASSERT_EQ(textSet.SetSize(), static_cast<int>(expectedTexts.size())) << o.what;
    for (std::size_t p = 0; p < expectedInts.size(); p += 37) {
      int position = -1;
      EXPECT_EQ(intSet.SetContains(expectedInts[p], position), 1) << o.what;
      EXPECT_EQ(position, static_cast<int>(p)) << o.what;
      const int next = expectedInts[p] + 1;
      EXPECT_EQ(intSet.SetContains(next, position),
                std::binary_search(expectedInts.begin(), expectedInts.end(), next) ? 1 : 0)
          << o.what;
    }
    for (std::size_t p = 0; p < expectedTexts.size(); p += 37) {
      int position = -1;
      EXPECT_EQ(textSet.SetContains(expectedTexts[p].c_str(), position), 1) << o.what;
      EXPECT_EQ(position, static_cast<int>(p)) << o.what;
    }
    // The union with a set built in order is the set itself, and so is the union the other way.
    TQ_SetValue inOrder(TQ_SET_INTEGER);
    for (int member : expectedInts) inOrder += member;
    TQ_SetValue united(intSet);
    united += inOrder;
    EXPECT_EQ(united, inOrder) << o.what;
    inOrder += intSet;
    EXPECT_EQ(Members(inOrder), expectedInts) << o.what;
  }
}

TEST(SetAlgebra, TheUnionOfManyRunsIsEveryMemberOfEither) {
  // Odd members and every third one: each run of one, interleaved.
  TQ_SetValue odd(TQ_SET_INTEGER);
  TQ_SetValue third(TQ_SET_INTEGER);
  std::vector<int> expected;
  for (int k = 0; k < 30000; ++k) {
    if (k % 2 == 1) odd += k;
    if (k % 3 == 0) third += k;
    if (k % 2 == 1 || k % 3 == 0) expected.push_back(k);
  }
  odd += third;
  EXPECT_EQ(Members(odd), expected);
  TQ_SetValue names(TQ_SET_STRING);
  TQ_SetValue others(TQ_SET_STRING);
  for (const char* n : {"c", "a", "e"}) names += n;
  for (const char* n : {"d", "a", "b"}) others += n;
  names += others;
  EXPECT_EQ(Names(names), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
}

TEST(SetAlgebra, IntersectionKeepsCommonMembers) {
  TQ_IntSetValue a(1, 10);
  a *= TQ_IntSetValue(5, 15);
  EXPECT_EQ(Members(a), (Ints{5, 6, 7, 8, 9, 10}));

  TQ_IntSetValue gaps(0, 2);
  gaps += TQ_IntSetValue(6, 9);
  gaps += 20;
  TQ_IntSetValue other(2, 7);
  other += TQ_IntSetValue(9, 30);
  gaps *= other;
  EXPECT_EQ(Members(gaps), (Ints{2, 6, 7, 9, 20}));

  TQ_IntSetValue disjoint(1, 3);
  disjoint *= TQ_IntSetValue(4, 6);
  EXPECT_EQ(disjoint.SetSize(), 0);

  TQ_IntSetValue withEmpty(1, 3);
  withEmpty *= TQ_IntSetValue(1, 0);
  EXPECT_EQ(withEmpty.SetSize(), 0);

  TQ_IntSetValue self(1, 3);
  self *= self;
  EXPECT_EQ(self, TQ_IntSetValue(1, 3));
}

TEST(SetAlgebra, StringSetsUniteAndIntersect) {
  TQ_StrSetValue a("idx\"idy\"");
  a += TQ_StrSetValue("idz\"idx\"");
  EXPECT_EQ(Names(a), (Strings{"idx", "idy", "idz"}));
  a *= TQ_StrSetValue("idz\"None\"idy\"");
  EXPECT_EQ(Names(a), (Strings{"idy", "idz"}));
}

TEST(SetAlgebra, SetsOfDifferentKindsDoNotMix) {
  TQ_IntSetValue ints(1, 3);
  ints += TQ_StrSetValue("a\"");
  EXPECT_EQ(Members(ints), (Ints{1, 2, 3}));
  ints *= TQ_StrSetValue("a\"");
  EXPECT_EQ(ints.SetSize(), 0);
  TQ_StrSetValue names("a\"");
  names += 4;
  EXPECT_EQ(Names(names), (Strings{"a"}));
}

TEST(SetAlgebra, AnIntegerSetCopiedFromASetValueHoldsItsIntegersOnly) {
  TQ_SetValue interior = TQ_IntSetValue(2, 3);
  interior += 5;
  TQ_IntSetValue copy(interior);
  copy += 6;  // the copy is the caller's own
  EXPECT_EQ(Members(copy), (Ints{2, 3, 5, 6}));
  EXPECT_EQ(Members(interior), (Ints{2, 3, 5}));
  EXPECT_EQ(copy.Type(), TQ_SET_INTEGER);
  // A set of strings has no integers: the copy is empty, and stays a set of
  // integers.
  TQ_IntSetValue none{TQ_SetValue(TQ_StrSetValue("a\"b\""))};
  none += "c";
  EXPECT_EQ(none.SetSize(), 0);
  EXPECT_EQ(none.Type(), TQ_SET_INTEGER);
}

TEST(SetAlgebra, MembershipAnswersExactlyOneOrZero) {
  TQ_IntSetValue s(-2, 2);
  s += 100;
  EXPECT_EQ((s >= -2), 1);
  EXPECT_EQ((s >= 2), 1);
  EXPECT_EQ((s >= 100), 1);
  EXPECT_EQ((s >= 3), 0);
  EXPECT_EQ((s >= -3), 0);
  EXPECT_EQ((s >= "1"), 0);  // a text is never a member of an integer set

  TQ_StrSetValue names("idx\"None\"");
  EXPECT_EQ((names >= "idx"), 1);
  EXPECT_EQ((names >= "None"), 1);
  EXPECT_EQ((names >= "id"), 0);
  EXPECT_EQ((names >= "idxx"), 0);
  EXPECT_EQ((names >= ""), 0);
  EXPECT_EQ((names >= static_cast<const char*>(nullptr)), 0);
  // The host compares members exactly.
  EXPECT_EQ((names >= "IDX"), 0);
}

TEST(SetAlgebra, ClearEmptiesAndKeepsTheKind) {
  TQ_IntSetValue s(1, 5);
  s.Clear();
  EXPECT_EQ(s.SetSize(), 0);
  s += "a";
  EXPECT_EQ(s.SetSize(), 0);
  s += 4;
  EXPECT_EQ(Members(s), (Ints{4}));
}

// ---- order and iteration -----------------------------------------------------

TEST(SetOrder, IntegerMembersIterateInAscendingOrder) {
  TQ_IntSetValue s(1, 0);
  for (int j : {9, -4, 3, 0, 12, -4, 10, 11}) s += j;
  EXPECT_EQ(Members(s), (Ints{-4, 0, 3, 9, 10, 11, 12}));
  for (int p = 0; p < s.SetSize(); ++p) {
    int position = -1;
    EXPECT_EQ(s.SetContains(s.Integer(p), position), 1);
    EXPECT_EQ(position, p);
  }
  int position = -1;
  EXPECT_EQ(s.SetContains(5, position), 0);
  EXPECT_EQ(position, 3) << "an absent member's position is where it belongs";
}

TEST(SetOrder, StringMembersIterateInByteOrder) {
  TQ_StrSetValue s("b\"B\"a\"ab\"");
  EXPECT_EQ(Names(s), (Strings{"B", "a", "ab", "b"}));
}

TEST(SetIterator, NextMovesToTheFirstMemberOnItsFirstCall) {
  TQ_IntSetValue s(4, 6);
  TQ_IntegerSetIter it(s);
  EXPECT_EQ(it.v(), 0);
  ASSERT_TRUE(it.Next());
  EXPECT_EQ(it.v(), 4);
  EXPECT_EQ(it.fv(), 4);
  ASSERT_TRUE(it.Next());
  ASSERT_TRUE(it.Next());
  EXPECT_EQ(it.v(), 6);
  EXPECT_FALSE(it.Next());
  EXPECT_FALSE(it.Next()) << "an iterator at its end stays there";
  it.Restart();
  ASSERT_TRUE(it.Next());
  EXPECT_EQ(it.v(), 4);

  TQ_IntegerSetIter none(TQ_IntSetValue(1, 0));
  EXPECT_FALSE(none.Next());
}

TEST(SetIterator, WalksItsOwnCopyOfTheSet) {
  auto set = std::make_unique<TQ_IntSetValue>(1, 3);
  TQ_IntegerSetIter it(*set);
  *set += 10;  // changes after the iterator was made do not reach it
  *set *= TQ_IntSetValue(2, 10);
  ASSERT_TRUE(it.Next());
  set.reset();  // the iterator outlives its set
  std::vector<int> seen{it.v()};
  while (it.Next()) seen.push_back(it.v());
  EXPECT_EQ(seen, (Ints{1, 2, 3}));
}

TEST(SetIterator, StringIteratorOutlivesItsSet) {
  auto set = std::make_unique<TQ_StrSetValue>("x\"y\"");
  TQ_StringSetIter it(*set);
  set.reset();
  ASSERT_TRUE(it.Next());
  EXPECT_STREQ(it.v(), "x");
  ASSERT_TRUE(it.Next());
  EXPECT_STREQ(it.v(), "y");
  EXPECT_FALSE(it.Next());
  EXPECT_STREQ(it.v(), "");
}

TEST(SetIterator, CopiesWalkOnIndependently) {
  TQ_IntegerSetIter a(TQ_IntSetValue(1, 4));
  ASSERT_TRUE(a.Next());
  ASSERT_TRUE(a.Next());
  TQ_IntegerSetIter b(a);
  EXPECT_EQ(b.v(), 2);
  ASSERT_TRUE(b.Next());
  EXPECT_EQ(b.v(), 3);
  EXPECT_EQ(a.v(), 2);
  ASSERT_TRUE(a.Next());
  EXPECT_EQ(a.v(), 3);
}

TEST(SetIterator, CopyOfAStringIteratorOutlivesTheOriginal) {
  auto original = std::make_unique<TQ_StringSetIter>(TQ_StrSetValue("first\"second\""));
  ASSERT_TRUE(original->Next());
  TQ_StringSetIter copy(*original);
  TQ_StringSetIter assigned(TQ_StrSetValue("other\""));
  assigned = *original;
  original.reset();
  EXPECT_STREQ(copy.v(), "first");
  EXPECT_STREQ(assigned.v(), "first");
  ASSERT_TRUE(copy.Next());
  EXPECT_STREQ(copy.v(), "second");
  ASSERT_TRUE(assigned.Next());
  EXPECT_STREQ(assigned.v(), "second");
}

// ---- comparison without letter case ----------------------------------------------

TEST(CompareCI, IgnoresTheCaseOfAsciiLettersOnly) {
  EXPECT_EQ(SUValue::CompareCI("cfd4", "CFD4"), 0);
  EXPECT_EQ(SUValue::CompareCI("Model DOMAIN\tV7.1", "MODEL domain\tv7.1"), 0);
  EXPECT_EQ(SUValue::CompareCI("a_b", "A_B"), 0);
  // Characters that differ from a letter by the case bit are not letters.
  EXPECT_NE(SUValue::CompareCI("@", "`"), 0);
  EXPECT_NE(SUValue::CompareCI("[", "{"), 0);
  EXPECT_NE(SUValue::CompareCI("^", "~"), 0);
  // Bytes above 127 are compared as they are, whatever the locale.
  EXPECT_NE(SUValue::CompareCI("\xC4", "\xE4"), 0);
  EXPECT_EQ(SUValue::CompareCI("\xC4x", "\xC4X"), 0);
}

TEST(CompareCI, OrdersByTheFirstDifference) {
  EXPECT_LT(SUValue::CompareCI("abc", "ABD"), 0);
  EXPECT_GT(SUValue::CompareCI("ABD", "abc"), 0);
  EXPECT_LT(SUValue::CompareCI("ab", "ABC"), 0);
  EXPECT_GT(SUValue::CompareCI("abc", "AB"), 0);
  EXPECT_EQ(SUValue::CompareCI("", ""), 0);
  EXPECT_LT(SUValue::CompareCI(nullptr, ""), 0);
  EXPECT_GT(SUValue::CompareCI("", nullptr), 0);
  EXPECT_EQ(SUValue::CompareCI(nullptr, nullptr), 0);
}

// ---- quote-separated string sets ---------------------------------------------------

TEST(StringSetText, TheMethodLiteralGivesTenNamesAndNoEmptyOne) {
  const char* methods = "BFD1\"BFD2\"CFD2\"CFD4\"FFD1\"FFD2\"OCFE2\"OCFE3\"OCFE4\"UBFD4\"";
  ASSERT_EQ(std::strlen(methods), 54u);
  TQ_StrSetValue set(methods);
  EXPECT_EQ(set.SetSize(), 10);
  EXPECT_EQ(Names(set), (Strings{"BFD1", "BFD2", "CFD2", "CFD4", "FFD1", "FFD2", "OCFE2", "OCFE3", "OCFE4", "UBFD4"}));
  EXPECT_EQ((set >= ""), 0);
}

TEST(StringSetText, QuotesSeparateAndEmptyPiecesAreNoMembers) {
  EXPECT_EQ(Names(TQ_StrSetValue("None")), (Strings{"None"}));
  EXPECT_EQ(Names(TQ_StrSetValue("None\"")), (Strings{"None"}));
  EXPECT_EQ(Names(TQ_StrSetValue("\"\"a\"\"\"b")), (Strings{"a", "b"}));
  EXPECT_EQ(Names(TQ_StrSetValue("a\"a\"")), (Strings{"a"}));
  EXPECT_EQ(Names(TQ_StrSetValue("two words\"")), (Strings{"two words"}));
  EXPECT_EQ(TQ_StrSetValue("").SetSize(), 0);
  EXPECT_EQ(TQ_StrSetValue("\"\"").SetSize(), 0);
  EXPECT_EQ(TQ_StrSetValue(static_cast<const char*>(nullptr)).SetSize(), 0);
}

// ---- values --------------------------------------------------------------------------

TEST(Value, KeepsItsOwnCopyWithPassLevelAndNumber) {
  char text[] = "CFD4";
  TQ_Value v(text, 2u, 7u, 5);
  text[0] = 'X';
  EXPECT_STREQ(v.Text(), "CFD4");
  EXPECT_EQ(v.Pass(), 2u);
  EXPECT_EQ(v.Level(), 7u);
  EXPECT_EQ(v.Number(), 5);

  auto set = std::make_unique<TQ_IntSetValue>(0, 4);
  TQ_Value s(*set, 1u, 3u, 2);
  set.reset();
  TQ_Value copy = s;
  EXPECT_EQ(copy.Set(), TQ_IntSetValue(0, 4));
  copy = v;
  EXPECT_STREQ(copy.Text(), "CFD4");
  EXPECT_EQ(copy.Number(), 5);

  TQ_Value defaults(2.5, 9u);
  EXPECT_EQ(defaults.Pass(), 0u);
  EXPECT_EQ(defaults.Level(), 9u);
  EXPECT_EQ(defaults.Number(), 0);
}

TEST(Value, RealsReadAsIntegersByTruncationTowardZero) {
  EXPECT_EQ(TQ_Value(2.9, 0u, 0u, 0).Integer(), 2);
  EXPECT_EQ(TQ_Value(-2.9, 0u, 0u, 0).Integer(), -2);
  EXPECT_EQ(TQ_Value(1e300, 0u, 0u, 0).Integer(), INT_MAX);
  EXPECT_EQ(TQ_Value(-1e300, 0u, 0u, 0).Integer(), INT_MIN);
  EXPECT_EQ(TQ_Value(3, 0u, 0u, 0).Real(), 3.0);
}

}  // namespace
