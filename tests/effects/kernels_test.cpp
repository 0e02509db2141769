// Texture-map kernels over explicit buffers. Each kernel is run twice, once over a
// texture whose texels hold their own column and once over one holding their row,
// so the texel position chosen for every pixel can be read back exactly.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "effects/kernels.h"

namespace {

struct TexelPos {
    int column;
    int row;
};

std::vector<uint8_t> ColumnTexture() {
    std::vector<uint8_t> t(65536);
    for (int i = 0; i < 65536; ++i) t[i] = uint8_t(i & 255);
    return t;
}

std::vector<uint8_t> RowTexture() {
    std::vector<uint8_t> t(65536);
    for (int i = 0; i < 65536; ++i) t[i] = uint8_t(i >> 8);
    return t;
}

std::vector<uint8_t> Table(void (*build)(uint8_t*)) {
    std::vector<uint8_t> t(256);
    build(t.data());
    return t;
}

const uint8_t Bump[16] = {1, 1, 1, 1, 1, 2, 2, 3, 4, 4, 5, 6, 7, 8, 9, 10};

using Kernel = std::function<void(const uint8_t* map, const uint8_t* texture, uint8_t* target)>;

// Texel position read by the kernel for every pixel of `map`.
std::vector<TexelPos> Trace(const Kernel& kernel, const std::vector<uint8_t>& map) {
    std::vector<uint8_t> columns(MapPixels), rows(MapPixels);
    kernel(map.data(), ColumnTexture().data(), columns.data());
    kernel(map.data(), RowTexture().data(), rows.data());
    std::vector<TexelPos> out(MapPixels);
    for (int p = 0; p < MapPixels; ++p) out[p] = {columns[p], rows[p]};
    return out;
}

// A map whose every entry is (m0, m1).
std::vector<uint8_t> UniformMap(uint8_t m0, uint8_t m1) {
    std::vector<uint8_t> map(2 * MapPixels);
    for (int p = 0; p < MapPixels; ++p) {
        map[2 * p] = m0;
        map[2 * p + 1] = m1;
    }
    return map;
}

std::vector<uint8_t> RandomMap(unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> map(2 * MapPixels);
    for (auto& b : map) b = uint8_t(rng());
    return map;
}

TexelPos TraceOne(const Kernel& kernel, uint8_t m0, uint8_t m1) {
    return Trace(kernel, UniformMap(m0, m1))[MapPixels - 1];
}

}  // namespace

TEST(WaveTables, NamedEntriesAndRanges) {
    auto a = Table(BuildWaveA);
    auto b = Table(BuildWaveB);
    EXPECT_EQ(a[0], 32);
    EXPECT_EQ(a[64], 63);
    EXPECT_EQ(a[192], 1);
    EXPECT_EQ(b[0], 64);
    for (int i = 0; i < 256; ++i) {
        EXPECT_GE(a[i], 1) << i;
        EXPECT_LE(a[i], 63) << i;
        EXPECT_GE(b[i], 1) << i;
        EXPECT_LE(b[i], 127) << i;
    }
}

TEST(WaveTables, PeriodsOverTheTable) {
    // WaveA climbs through its mid value five times, WaveB (period 85.2) three times.
    auto count = [](const std::vector<uint8_t>& w, int mid) {
        int n = 0;
        for (int i = 0; i < 255; ++i) n += (w[i] < mid && w[i + 1] >= mid);
        return n;
    };
    EXPECT_EQ(count(Table(BuildWaveA), 32), 4);  // entry 0 starts the first period
    EXPECT_EQ(count(Table(BuildWaveB), 64), 2);
    // WaveA's first crest and trough fall near entries 12.8 and 38.4.
    auto a = Table(BuildWaveA);
    EXPECT_EQ(a[13], 63);
    EXPECT_EQ(a[38], 1);
}

TEST(ShiftMap, MapEffect1CopiesColumnM1RowM0AtPhaseZero) {
    auto map = RandomMap(1);
    auto trace = Trace([](auto m, auto t, auto o) { ShiftMapKernel(m, t, o, 0, 0); }, map);
    for (int p = 0; p < MapPixels; ++p) {
        ASSERT_EQ(trace[p].column, map[2 * p + 1]) << p;
        ASSERT_EQ(trace[p].row, map[2 * p]) << p;
    }
}

TEST(ShiftMap, AddsWrapPerByteWithoutCarry) {
    // Column 250 + 2*5 wraps to 4 and must not carry into the row.
    auto pos = TraceOne([](auto m, auto t, auto o) { ShiftMapKernel(m, t, o, 10, 0); }, 7, 250);
    EXPECT_EQ(pos.column, 4);
    EXPECT_EQ(pos.row, 7);
    pos = TraceOne([](auto m, auto t, auto o) { ShiftMapKernel(m, t, o, 0, 9); }, 250, 3);
    EXPECT_EQ(pos.column, 3);
    EXPECT_EQ(pos.row, 3);
}

TEST(ShiftMap, SwappedUsesM0AsColumn) {
    auto pos = TraceOne([](auto m, auto t, auto o) { ShiftMapSwappedKernel(m, t, o, 1, 2); }, 40, 90);
    EXPECT_EQ(pos.column, 41);
    EXPECT_EQ(pos.row, 92);
}

TEST(MapEffect3, BumpFromWaveAOfM1PlusF) {
    auto a = Table(BuildWaveA);
    auto run = [&](uint8_t f) {
        return [&a, f](auto m, auto t, auto o) { MapEffect3Kernel(m, t, a.data(), Bump, o, f); };
    };
    // m1 + f = 64: WaveA 63, k = 15, bump 10.
    auto pos = TraceOne(run(4), 100, 60);
    EXPECT_EQ(pos.column, 75);
    EXPECT_EQ(pos.row, 100 + 4 + 10);
    // m1 + f = 0: WaveA 32, k = 8, bump 4; the row wraps.
    pos = TraceOne(run(0), 254, 0);
    EXPECT_EQ(pos.column, 8);
    EXPECT_EQ(pos.row, (254 + 4) & 255);
}

TEST(MapEffect3And8, NeverIndexBumpPastFifteen) {
    // A bump table of exactly 16 entries followed by poison: any read past entry 15
    // would show up as a row shifted by 200.
    uint8_t guarded[32];
    std::memcpy(guarded, Bump, 16);
    std::memset(guarded + 16, 200, 16);
    auto a = Table(BuildWaveA);
    for (int f = 0; f < 256; f += 17) {
        auto map = RandomMap(unsigned(f));
        auto t3 = Trace([&](auto m, auto t, auto o) { MapEffect3Kernel(m, t, a.data(), guarded, o, uint8_t(f)); }, map);
        auto t8 = Trace([&](auto m, auto t, auto o) { MapEffect8Kernel(m, t, a.data(), guarded, o, uint8_t(f)); }, map);
        for (int p = 0; p < MapPixels; p += 97) {
            int k3 = (t3[p].column - map[2 * p + 1]) & 255;
            int k8 = (t8[p].column - map[2 * p]) & 255;
            ASSERT_LE(k3, 15);
            ASSERT_LE(k8, 15);
            ASSERT_EQ(t3[p].row, (map[2 * p] + f + Bump[k3]) & 255);
            ASSERT_EQ(t8[p].row, (f - map[2 * p + 1] + Bump[k8]) & 255);
        }
    }
}

TEST(MapEffect8, RowIsPhaseMinusM1) {
    auto a = Table(BuildWaveA);
    // m0 + f = 0: WaveA 32, k = 8, bump 4; row 0 - 10 + 4 wraps to 250.
    auto pos = TraceOne([&](auto m, auto t, auto o) { MapEffect8Kernel(m, t, a.data(), Bump, o, 0); }, 0, 10);
    EXPECT_EQ(pos.column, 8);
    EXPECT_EQ(pos.row, 250);
}

TEST(Ripple, MapEffect4WrapsColumnAndIndexesWaveWithTwoF) {
    auto b = Table(BuildWaveB);
    auto pos = TraceOne([&](auto m, auto t, auto o) { RippleKernel(m, t, b.data(), o, 10); }, 5, 250);
    EXPECT_EQ(pos.column, 4);
    EXPECT_EQ(pos.row, (5 + b[(250 + 20) & 255]) & 255);
}

TEST(Ripple, PhaseStepMovesEveryColumnByOne) {
    auto a = Table(BuildWaveA);
    auto map = RandomMap(3);
    auto t0 = Trace([&](auto m, auto t, auto o) { RippleKernel(m, t, a.data(), o, 77); }, map);
    auto t1 = Trace([&](auto m, auto t, auto o) { RippleKernel(m, t, a.data(), o, 78); }, map);
    for (int p = 0; p < MapPixels; ++p) ASSERT_EQ((t1[p].column - t0[p].column) & 255, 1);
}

TEST(NegatedRipple, ZeroEntryAndBorrow) {
    auto a = Table(BuildWaveA);
    for (int f : {0, 1, 100, 255}) {
        auto kernel = [&](auto m, auto t, auto o) { NegatedRippleKernel(m, t, a.data(), o, uint8_t(f)); };
        auto pos = TraceOne(kernel, 0, 0);
        EXPECT_EQ(pos.column, f);
        EXPECT_EQ(pos.row, a[(2 * f) & 255]);
        // (3, 1): 0x0301 negated is 0xFCFF, so c' = 255, r' = 252.
        pos = TraceOne(kernel, 3, 1);
        EXPECT_EQ(pos.column, (255 + f) & 255);
        EXPECT_EQ(pos.row, (252 + a[(255 + 2 * f) & 255]) & 255);
    }
}

TEST(SwappedRipple, MapEffect6UsesM0ForColumnAndWave) {
    auto b = Table(BuildWaveB);
    auto pos = TraceOne([&](auto m, auto t, auto o) { SwappedRippleKernel(m, t, b.data(), o, 30); }, 200, 100);
    EXPECT_EQ(pos.column, 230);
    EXPECT_EQ(pos.row, (100 + b[(200 + 60) & 255]) & 255);
}

TEST(WaveTunnel, RowFollowsWaveOfM0PlusF) {
    std::vector<uint8_t> wave(256);
    for (int i = 0; i < 256; ++i) wave[i] = uint8_t(3 * i + 1);
    auto pos = TraceOne([&](auto m, auto t, auto o) { WaveTunnelKernel(m, t, wave.data(), o, 20); }, 240, 50);
    EXPECT_EQ(pos.column, 240);
    EXPECT_EQ(pos.row, (50 + 20 + wave[(240 + 20) & 255]) & 255);
}

TEST(AllKernels, WriteExactlyTheFramePixelsAndAreRepeatable) {
    auto a = Table(BuildWaveA);
    auto b = Table(BuildWaveB);
    const uint8_t f = 93;
    std::vector<Kernel> kernels = {
        [&](auto m, auto t, auto o) { ShiftMapKernel(m, t, o, uint8_t(2 * f), 0); },
        [&](auto m, auto t, auto o) { ShiftMapSwappedKernel(m, t, o, b[f], a[f]); },
        [&](auto m, auto t, auto o) { MapEffect3Kernel(m, t, a.data(), Bump, o, f); },
        [&](auto m, auto t, auto o) { RippleKernel(m, t, b.data(), o, f); },
        [&](auto m, auto t, auto o) { NegatedRippleKernel(m, t, a.data(), o, f); },
        [&](auto m, auto t, auto o) { SwappedRippleKernel(m, t, b.data(), o, f); },
        [&](auto m, auto t, auto o) { MapEffect8Kernel(m, t, a.data(), Bump, o, f); },
        [&](auto m, auto t, auto o) { WaveTunnelKernel(m, t, a.data(), o, f); },
    };
    auto map = RandomMap(9);
    std::vector<uint8_t> texture(65536);
    std::mt19937 rng(5);
    for (auto& b8 : texture) b8 = uint8_t(rng() | 1);   // never 0, so every write shows
    for (size_t k = 0; k < kernels.size(); ++k) {
        std::vector<uint8_t> target(MapPixels + 64, 0);
        kernels[k](map.data(), texture.data(), target.data());
        for (int p = 0; p < MapPixels; ++p) ASSERT_NE(target[p], 0) << "kernel " << k << " pixel " << p;
        for (int p = MapPixels; p < MapPixels + 64; ++p) ASSERT_EQ(target[p], 0) << "kernel " << k;
        std::vector<uint8_t> again(MapPixels + 64, 0);
        kernels[k](map.data(), texture.data(), again.data());
        EXPECT_EQ(target, again) << "kernel " << k;
    }
}

TEST(AllKernels, LastPixelReadsLastTexel) {
    std::vector<uint8_t> map(2 * MapPixels, 0);
    map[2 * (MapPixels - 1)] = 255;
    map[2 * (MapPixels - 1) + 1] = 255;
    std::vector<uint8_t> texture(65536, 1);
    texture[65535] = 77;
    std::vector<uint8_t> target(MapPixels);
    ShiftMapKernel(map.data(), texture.data(), target.data(), 0, 0);
    EXPECT_EQ(target[MapPixels - 1], 77);
    EXPECT_EQ(target[MapPixels - 2], 1);
}
