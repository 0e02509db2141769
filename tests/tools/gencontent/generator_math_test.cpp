// The generator's own math: its series must agree with the C library to well below
// a byte's rounding step, its noise must repeat every 256 texels (seamless textures),
// and its rounding and palette ramps must follow their stated rules.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gencontent/generator_math.h"

namespace {

TEST(GeneratorMath, SeriesAgreeWithTheLibrary)
{
    for (double x = -40; x <= 40; x += 0.0137) {
        EXPECT_NEAR(Sin(x), std::sin(x), 1e-13) << x;
        EXPECT_NEAR(Cos(x), std::cos(x), 1e-13) << x;
    }
    for (double y = -3; y <= 3; y += 0.071)
        for (double x = -3; x <= 3; x += 0.069)
            EXPECT_NEAR(Atan2(y, x), std::atan2(y, x), 1e-13) << y << "," << x;
    EXPECT_DOUBLE_EQ(Atan2(0, -1), Pi);   // the cut: +180 degrees, not -180
    EXPECT_DOUBLE_EQ(Atan2(1, 0), Pi / 2);
    EXPECT_EQ(Atan2(0, 0), 0);
    for (double x = -30; x <= 30; x += 0.0311)
        EXPECT_NEAR(Exp(x) / std::exp(x), 1, 1e-13) << x;
    for (double x = 1e-6; x < 1e6; x *= 1.37)
        EXPECT_NEAR(Log(x), std::log(x), 1e-12) << x;
    EXPECT_NEAR(Pow(2.5, 3.2), std::pow(2.5, 3.2), 1e-12);
    EXPECT_EQ(Pow(0, 2), 0);
}

TEST(GeneratorMath, RoundingIsHalfUpAndQuantiseClamps)
{
    EXPECT_EQ(RoundHalfUp(2.5), 3);
    EXPECT_EQ(RoundHalfUp(-2.5), -2);
    EXPECT_EQ(RoundHalfUp(-0.5), 0);
    EXPECT_EQ(RoundHalfUp(-0.51), -1);
    EXPECT_EQ(Quantise(-3, 0, 63), 0);
    EXPECT_EQ(Quantise(63.4, 0, 63), 63);
    EXPECT_EQ(Quantise(1e30, 1, 127), 127);
    EXPECT_EQ(Quantise(std::numeric_limits<double>::quiet_NaN(), 5, 9), 5);
}

TEST(GeneratorMath, NoiseRepeatsEvery256Texels)
{
    for (int cells : {4, 16, 64})
        for (double y = 0.3; y < 256; y += 37.1)
            for (double x = 0.7; x < 256; x += 29.3) {
                double n = GradNoise(x, y, cells, 7);
                EXPECT_NEAR(GradNoise(x + 256, y, cells, 7), n, 1e-9);
                EXPECT_NEAR(GradNoise(x, y - 256, cells, 7), n, 1e-9);
                double f1, f2, g1, g2;
                uint32_t id1, id2;
                Worley(x, y, cells, 9, &f1, &f2, &id1);
                Worley(x - 256, y + 512, cells, 9, &g1, &g2, &id2);
                EXPECT_NEAR(f1, g1, 1e-9);
                EXPECT_NEAR(f2, g2, 1e-9);
                EXPECT_EQ(id1, id2);
                EXPECT_LE(f1, f2);
            }
}

TEST(GeneratorMath, RampsHitTheirKeysAndStayInSixBits)
{
    uint8_t pal[768] = {};
    FillRamp(pal, 10, 20, {{0, {0, 10, 63}}, {0.5, {63, 63, 0}}, {1, {20, 30, 40}}});
    EXPECT_EQ(pal[30], 0);
    EXPECT_EQ(pal[32], 63);
    EXPECT_EQ(pal[15 * 3], 63);
    EXPECT_EQ(pal[20 * 3 + 2], 40);
    EXPECT_EQ(pal[9 * 3], 0);   // outside the range: untouched
    EXPECT_EQ(pal[21 * 3], 0);
    for (int i = 0; i < 768; i++)
        EXPECT_LE(pal[i], 63);
}

}   // namespace
