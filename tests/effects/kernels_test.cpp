// Texture-map kernels through their named operations. Each kernel runs over a random
// map twice, once over a texture whose texels hold their own column and once over
// one holding their row, so the texel every pixel read is known exactly and is
// compared with the kernel's formula, every sum wrapping modulo 256.
#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "core/shared.h"
#include "effects/effects.h"

namespace {

TEST(WaveTables, ProbesAndRanges)
{
    // {entry, WaveA, WaveB}: WaveA has five periods over the table and is clamped to
    // 63 (entry 64), WaveB has a period of 85.2 entries.
    for (auto [i, a, b] : {std::tuple{0, 32, 64},
                           {13, 63, 116},
                           {21, 49, 127},
                           {38, 1, 85},
                           {64, 63, 1},
                           {100, 23, 120},
                           {150, 19, 1},
                           {192, 1, 127},
                           {255, 28, 61}}) {
        EXPECT_EQ(WaveA[i], a) << i;
        EXPECT_EQ(WaveB[i], b) << i;
    }
    for (int i = 0; i < 256; i++)
        ASSERT_TRUE(WaveA[i] >= 1 && WaveA[i] <= 63 && WaveB[i] >= 1 && WaveB[i] <= 127) << i;
}

struct Pos {
    int column, row;
};
const int Bump[16] = {1, 1, 1, 1, 1, 2, 2, 3, 4, 4, 5, 6, 7, 8, 9, 10};
int A(int i) { return WaveA[i & 255]; }
int B(int i) { return WaveB[i & 255]; }

struct KernelCase {
    const char* name;
    void (*run)();
    bool background;   // writes BackgroundImage instead of FrameBuffer
    Pos (*expect)(int m0, int m1, int f);
};

// clang-format off
const KernelCase Kernels[] = {
    {"MapEffect1", MapEffect1, false, [](int m0, int m1, int f) { return Pos{m1 + 2 * f, m0}; }},
    {"MapEffect2", MapEffect2, false, [](int m0, int m1, int f) { return Pos{m1 + 2 * f, m0}; }},
    {"MapEffect3", MapEffect3, false, [](int m0, int m1, int f) { int k = A(m1 + f) >> 2; return Pos{m1 + k, m0 + f + Bump[k]}; }},
    {"MapEffect4", MapEffect4, false, [](int m0, int m1, int f) { return Pos{m1 + f, m0 + B(m1 + 2 * f)}; }},
    // The pair read as 256 m0 + m1 and negated: c' = -m1; r' = -m0 when m1 = 0, else 255 - m0.
    {"MapEffect5", MapEffect5, false, [](int m0, int m1, int f) {
         int c = -m1 & 255, r = m1 == 0 ? -m0 & 255 : 255 - m0; return Pos{c + f, r + A(c + 2 * f)}; }},
    {"MapEffect6", MapEffect6, false, [](int m0, int m1, int f) { return Pos{m0 + f, m1 + B(m0 + 2 * f)}; }},
    {"MapEffect7", MapEffect7, false, [](int m0, int m1, int f) { return Pos{m1 + f, m0 + A(m1 + 2 * f)}; }},
    {"MapEffect8", MapEffect8, false, [](int m0, int m1, int f) { int k = A(m0 + f) >> 2; return Pos{m0 + k, f - m1 + Bump[k]}; }},
    {"WaveTunnel", WaveTunnel, false, [](int m0, int m1, int f) { return Pos{m0, m1 + f + WorkingWave[(m0 + f) & 255]}; }},
    {"BackgroundEffect1", BackgroundEffect1, true, [](int m0, int m1, int f) { return Pos{m1 + f + A(f), m0 + B(f)}; }},
    {"BackgroundEffect2", BackgroundEffect2, true, [](int m0, int m1, int f) { return Pos{m0 + B(f), m1 + A(f)}; }},
};
// clang-format on

TEST(Kernels, EveryPixelReadsTheTexelOfItsFormulaAndNothingElseIsWritten)
{
    std::mt19937 rng(7);
    std::vector<uint8_t> map(2 * ScreenBytes), columns(65536), rows(65536);
    for (auto& b : map)
        b = uint8_t(rng());
    map[0] = map[1] = 0;   // the entries (0, 0) and (3, 1) of the negated pair
    map[2] = 3, map[3] = 1;
    for (int i = 0; i < 65536; i++)
        columns[i] = uint8_t(i), rows[i] = uint8_t(i >> 8);
    for (int i = 0; i < 256; i++)
        WorkingWave[i] = uint8_t(3 * i + 1);
    CurrentMap = map.data();

    for (const KernelCase& kernel : Kernels)
        for (int f : {0, 10, 93, 255}) {
            std::vector<uint8_t> frame(ScreenBytes + 64, 0xA5), background(ScreenBytes + 64, 0xA5), read[2];
            FrameBuffer = frame.data();
            BackgroundImage = background.data();
            TickCounters[2].store(3 * 256 + f);   // the phase is the counter modulo 256
            for (int pass = 0; pass < 2; pass++) {
                CurrentTexture = pass == 0 ? columns.data() : rows.data();
                kernel.run();
                std::vector<uint8_t>& target = kernel.background ? background : frame;
                read[pass] = target;
                ASSERT_EQ(std::vector<uint8_t>(target.begin() + ScreenBytes, target.end()),
                          std::vector<uint8_t>(64, 0xA5))
                    << kernel.name << " wrote past the image";
                ASSERT_EQ(kernel.background ? frame : background, std::vector<uint8_t>(ScreenBytes + 64, 0xA5))
                    << kernel.name << " wrote the other image";
            }
            for (int p = 0; p < ScreenBytes; p++) {
                Pos want = kernel.expect(map[2 * p], map[2 * p + 1], f);
                ASSERT_EQ(read[0][p], want.column & 255) << kernel.name << " f " << f << " pixel " << p;
                ASSERT_EQ(read[1][p], want.row & 255) << kernel.name << " f " << f << " pixel " << p;
            }
        }
}

}   // namespace
