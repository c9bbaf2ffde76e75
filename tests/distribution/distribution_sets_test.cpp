// The per-axis node ranges the distributions build: lo .. factor·end at the ends of the 32-bit
// range, where the product must neither overflow nor turn into the host's one-member marker.
#include <gtest/gtest.h>

#include <climits>

#include "distribution_sets.h"

namespace {

TEST(DistributionSets, NodeRangeIsLoToFactorTimesEndWithoutOverflow) {
    const struct {
        int lo, factor, end;
        int size, first, last;  // first and last only read when size > 0
    } cases[] = {
        {0, 1, 5, 6, 0, 5},          {0, 0, 5, 1, 0, 0},  {1, 0, 5, 0, 0, 0},
        {0, -1, 5, 0, 0, 0},         {0, -1, 0, 1, 0, 0}, {1, 1, INT_MAX, INT_MAX, 1, INT_MAX},
        // -INT_MIN is past INT_MAX: the range stops at INT_MAX.
        {1, -1, INT_MIN, INT_MAX, 1, INT_MAX},
        // INT_MIN as the upper bound would read as "the one member lo"; the range is empty.
        {0, 1, INT_MIN, 0, 0, 0},    {-3, 1, INT_MIN, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lo << " .. " << c.factor << " * " << c.end);
        const TQ_IntSetValue range = morvane::distribution::NodeRange(c.lo, c.factor, c.end);
        ASSERT_EQ(range.SetSize(), c.size);
        if (c.size > 0) {
            EXPECT_EQ(range.IntegerAt(0), c.first);
            EXPECT_EQ(range.IntegerAt(c.size - 1), c.last);
        }
    }
}

}  // namespace
