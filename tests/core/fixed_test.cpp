// Rounding of the fixed-point products and of float-to-integer conversion.
#include <gtest/gtest.h>

#include "core/fixed.h"

namespace {

TEST(Fixed, ProductsRoundHalvesTowardsPlusInfinity)
{
    EXPECT_EQ(M16(1, 32768), 1);     // +0.5 -> 1
    EXPECT_EQ(M16(-1, 32768), 0);    // -0.5 -> 0
    EXPECT_EQ(M16(-3, 32768), -1);   // -1.5 -> -1
    EXPECT_EQ(M16(65536, -3 * 65536), -3 * 65536);
    EXPECT_EQ(M16(1 << 20, 1 << 20), 1 << 24);   // the 64-bit product is exact
    EXPECT_EQ(M32(65536, 32768), 1);
    EXPECT_EQ(M32(-65536, 32768), 0);
    EXPECT_EQ(M32(-3 * 65536, 32768), -1);
    EXPECT_EQ(M32(65536, -3 * 65536), -3);
    EXPECT_EQ(Round16(-32768), 0);
    EXPECT_EQ(Round16(32767), 0);
}

TEST(Fixed, RoundToIntTakesHalvesAwayFromZero)
{
    for (auto [value, expect] : {std::pair{2.5, 3}, {-2.5, -3}, {2.49, 2}, {-2.49, -2}, {0.5, 1}, {-0.4, 0}})
        EXPECT_EQ(RoundToInt(value), expect) << value;
}

}   // namespace
