// The per-axis node ranges the distributions build: lo .. factor·end at the ends of the 32-bit
// range, where the product must neither overflow nor, unless asked, turn into the host's
// one-member marker.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "distribution/distribution_sets.h"

namespace {

using morvane::distribution::LeastBound;

TEST(DistributionSets, NodeRangeIsLoToFactorTimesEndWithoutOverflow) {
  const struct {
    int lo, factor, end;
    LeastBound least;
    int size, first, last;  // first and last only read when size > 0
  } cases[] = {
      {0, 1, 5, LeastBound::Empty, 6, 0, 5},
      {0, 0, 5, LeastBound::Empty, 1, 0, 0},
      {1, 0, 5, LeastBound::Empty, 0, 0, 0},
      {0, -1, 5, LeastBound::Empty, 0, 0, 0},
      {0, -1, 0, LeastBound::Empty, 1, 0, 0},
      {1, 1, INT_MAX, LeastBound::Empty, INT_MAX, 1, INT_MAX},
      // -INT_MIN is past INT_MAX: the range stops at INT_MAX.
      {1, -1, INT_MIN, LeastBound::Empty, INT_MAX, 1, INT_MAX},
      {1, -1, INT_MIN, LeastBound::OneMember, INT_MAX, 1, INT_MAX},
      // INT_MIN as the upper bound reads as "the one member lo": the range is empty, or that
      // one member when asked for.
      {0, 1, INT_MIN, LeastBound::Empty, 0, 0, 0},
      {-3, 1, INT_MIN, LeastBound::Empty, 0, 0, 0},
      {0, 1, INT_MIN, LeastBound::OneMember, 1, 0, 0},
      {-3, 1, INT_MIN, LeastBound::OneMember, 1, -3, -3},
      {1, 1, INT_MIN, LeastBound::OneMember, 1, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lo << " .. " << c.factor << " * " << c.end << " ("
                                    << (c.least == LeastBound::Empty ? "Empty" : "OneMember") << ")");
    const TQ_IntSetValue range = morvane::distribution::NodeRange(c.lo, c.factor, c.end, c.least);
    ASSERT_EQ(range.SetSize(), c.size);
    if (c.size > 0) {
      EXPECT_EQ(range.IntegerAt(0), c.first);
      EXPECT_EQ(range.IntegerAt(c.size - 1), c.last);
    }
  }
}

// The two forms differ only where factor·end is the least 32-bit integer; elsewhere both are
// the integers lo .. factor·end, held within the 32-bit range.
TEST(DistributionSets, TheLeastBoundMattersOnlyAtTheLeastInteger) {
  for (int lo : {-2, 0, 1}) {
    for (int factor : {-1, 0, 1}) {
      for (int end : {INT_MIN, INT_MIN + 1, -4, -1, 0, 3}) {
        SCOPED_TRACE(testing::Message() << lo << " .. " << factor << " * " << end);
        const long long hi = std::min<long long>(static_cast<long long>(factor) * end, INT_MAX);
        if (hi - lo + 1 > INT_MAX) continue;  // more members than a set may hold
        const TQ_IntSetValue empty = morvane::distribution::NodeRange(lo, factor, end, LeastBound::Empty);
        const TQ_IntSetValue one = morvane::distribution::NodeRange(lo, factor, end, LeastBound::OneMember);
        if (hi == INT_MIN) {
          EXPECT_EQ(empty.SetSize(), 0);
          ASSERT_EQ(one.SetSize(), 1);
          EXPECT_EQ(one.IntegerAt(0), lo);
          continue;
        }
        EXPECT_EQ(empty, one);
        EXPECT_EQ(one.SetSize(), hi < lo ? 0 : hi - lo + 1);
        if (hi >= lo && hi - lo < 16) {
          for (int p = 0; p < one.SetSize(); ++p) EXPECT_EQ(one.IntegerAt(p), lo + p);
        }
      }
    }
  }
}

}  // namespace
