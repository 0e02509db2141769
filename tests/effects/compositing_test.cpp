// Map selection, wave morph, overlays, colour loaders, background fill and palette
// fade, through the named operations over the shared images.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/audio.h"
#include "effects/effects.h"
#include "effects/kernels.h"
#include "video/video.h"

namespace {

// Points every shared image at a fresh zeroed buffer of its size.
class SharedImages : public ::testing::Test {
protected:
    std::vector<uint8_t> frame = std::vector<uint8_t>(64000);
    std::vector<uint8_t> background = std::vector<uint8_t>(64000);
    std::vector<uint8_t> palette = std::vector<uint8_t>(768);
    std::vector<uint8_t> map = std::vector<uint8_t>(128000);
    std::vector<uint8_t> texture = std::vector<uint8_t>(65536);
    std::vector<uint8_t> bigMap = std::vector<uint8_t>(512000);
    std::vector<uint8_t> movement = std::vector<uint8_t>(28672);
    std::vector<uint8_t> picture[5];   // title, name 1..3, lyrics

    void SetUp() override {
        for (auto& p : picture) p.assign(64000, 0);
        FrameBuffer = frame.data();
        BackgroundImage = background.data();
        CurrentPalette = palette.data();
        CurrentMap = map.data();
        CurrentTexture = texture.data();
        BigMap = bigMap.data();
        MovementTable = movement.data();
        TitlePicture = picture[0].data();
        for (int i = 0; i < 3; ++i) NamePicture[i] = picture[1 + i].data();
        LyricsPicture = picture[4].data();
        for (auto& t : TickCounters) t.store(0);
    }

    void SetRecord(int n, int32_t x, int32_t y) {
        std::memcpy(&movement[32 * n], &x, 4);
        std::memcpy(&movement[32 * n + 4], &y, 4);
    }

    // True when CurrentMap holds the BigMap window at MapEntry (x, y).
    bool MapIsWindow(int x, int y) {
        for (int j = 0; j < 200; ++j)
            if (std::memcmp(&map[640 * j], &bigMap[1280 * (y + j) + 2 * x], 640) != 0) return false;
        return true;
    }

    void FillBigMapPattern() {
        for (size_t i = 0; i < bigMap.size(); ++i) bigMap[i] = uint8_t(i * 7 + i / 1280);
    }
};

}  // namespace

using MovementWindow = SharedImages;

TEST_F(MovementWindow, CornersOfBigMap) {
    FillBigMapPattern();
    SetRecord(10, 0, 0);
    SetRecord(11, 320, 200);
    TickCounters[0].store(10);
    SelectMovementWindow();
    EXPECT_TRUE(MapIsWindow(0, 0));
    TickCounters[0].store(11);
    SelectMovementWindow();
    EXPECT_TRUE(MapIsWindow(320, 200));
    EXPECT_EQ(map[127999], bigMap[511999]);
}

TEST_F(MovementWindow, CounterResetsFrom808NotBefore) {
    FillBigMapPattern();
    SetRecord(807, 1, 2);
    SetRecord(808, 3, 4);
    TickCounters[0].store(807);
    SelectMovementWindow();
    EXPECT_TRUE(MapIsWindow(1, 2));
    EXPECT_EQ(TickCounters[0].load(), 807u);
    TickCounters[0].store(808);
    SelectMovementWindow();
    EXPECT_TRUE(MapIsWindow(3, 4));   // record 808 is still shown once
    EXPECT_EQ(TickCounters[0].load(), 0u);
}

TEST_F(MovementWindow, LateCounterWrapsIntoTheTable) {
    FillBigMapPattern();
    SetRecord(4, 17, 9);
    TickCounters[0].store(896 + 4);
    SelectMovementWindow();
    EXPECT_TRUE(MapIsWindow(17, 9));
    EXPECT_EQ(TickCounters[0].load(), 0u);
    EXPECT_EQ(MovementRecordIndex(0xFFFFFFFFu), 0xFFFFFFFFu % 896);
}

TEST_F(MovementWindow, HostileRecordsStayInsideBigMap) {
    FillBigMapPattern();
    const int32_t hostile[][2] = {{-1, 0}, {0, -1}, {321, 0}, {0, 201}, {INT32_MAX, INT32_MAX},
                                  {INT32_MIN, INT32_MIN}, {100000, -100000}};
    const int expect[][2] = {{0, 0}, {0, 0}, {320, 0}, {0, 200}, {320, 200}, {0, 0}, {320, 0}};
    for (size_t i = 0; i < std::size(hostile); ++i) {
        SetRecord(1, hostile[i][0], hostile[i][1]);
        TickCounters[0].store(1);
        SelectMovementWindow();
        EXPECT_TRUE(MapIsWindow(expect[i][0], expect[i][1])) << i;
    }
}

using WaveMorph = SharedImages;

TEST_F(WaveMorph, StepsOneUnitTowardTargetThenHolds) {
    SetWaveMorphA();
    ASSERT_EQ(WorkingWave[0], 32);
    ASSERT_EQ(TargetWave[0], 64);
    for (int step = 1; step <= 40; ++step) {
        StepWaveMorph();
        EXPECT_EQ(WorkingWave[0], step < 32 ? 32 + step : 64) << step;
    }
    for (int step = 0; step < 130; ++step) StepWaveMorph();
    EXPECT_EQ(0, std::memcmp(WorkingWave, WaveB, 256));
    SetWaveMorphB();   // restarts from the full source wave
    StepWaveMorph();
    EXPECT_EQ(WorkingWave[0], 63);
    EXPECT_EQ(0, std::memcmp(TargetWave, WaveA, 256));
}

TEST_F(WaveMorph, SettledMorphStillDrawsTheFrame) {
    SetWaveMorphA();
    std::memcpy(WorkingWave, TargetWave, 256);
    std::memset(texture.data(), 9, texture.size());
    StepWaveMorph();
    EXPECT_EQ(0, std::memcmp(WorkingWave, WaveB, 256));
    for (int p = 0; p < 64000; ++p) ASSERT_EQ(frame[p], 9);
}

TEST_F(WaveMorph, KernelsTakePhaseFromThirdCounter) {
    for (int i = 0; i < 65536; ++i) texture[i] = uint8_t(i);   // texel value = column
    TickCounters[2].store(256 + 5);                           // f = 5
    MapEffect1();
    EXPECT_EQ(frame[0], 10);
    MapEffect2();
    EXPECT_EQ(frame[63999], 10);
}

using Overlays = SharedImages;

TEST_F(Overlays, ZeroIsTransparentAndBaseWraps) {
    std::memset(frame.data(), 5, frame.size());
    picture[1][0] = 1;
    picture[1][1] = 19;    // 19 + 237 wraps to 0
    picture[1][2] = 16;
    picture[1][63999] = 18;
    OverlayName1();
    EXPECT_EQ(frame[0], 238);
    EXPECT_EQ(frame[1], 0);
    EXPECT_EQ(frame[2], 253);
    EXPECT_EQ(frame[3], 5);
    EXPECT_EQ(frame[63999], 255);
}

TEST_F(Overlays, AllZeroSourceChangesNothing) {
    for (int p = 0; p < 64000; ++p) frame[p] = uint8_t(p);
    auto before = frame;
    OverlayTitle();
    OverlayName2();
    OverlayName3();
    OverlayLyrics1();
    OverlayLyrics4();
    EXPECT_EQ(frame, before);
}

TEST_F(Overlays, TitleDrawsTwentyRowsLower) {
    std::memset(frame.data(), 3, frame.size());
    for (int p = 0; p < 64000; ++p) picture[0][p] = uint8_t(1 + p % 7);
    OverlayTitle();
    for (int p = 0; p < 20 * 320; ++p) ASSERT_EQ(frame[p], 3) << p;
    for (int p = 20 * 320; p < 64000; ++p) ASSERT_EQ(frame[p], uint8_t(237 + picture[0][p - 6400])) << p;
}

TEST_F(Overlays, LyricsBandsLandOnTheBottomRows) {
    const int bandRow[4] = {0, 55, 109, 162};
    void (*band[4])() = {OverlayLyrics1, OverlayLyrics2, OverlayLyrics3, OverlayLyrics4};
    for (int b = 0; b < 4; ++b) {
        std::fill(picture[4].begin(), picture[4].end(), 0);
        for (int p = bandRow[b] * 320; p < (bandRow[b] + 30) * 320; ++p) picture[4][p] = uint8_t(1 + p % 8);
        std::fill(frame.begin(), frame.end(), 1);
        band[b]();
        for (int p = 0; p < 54400; ++p) ASSERT_EQ(frame[p], 1) << b << " " << p;
        for (int p = 54400; p < 64000; ++p)
            ASSERT_EQ(frame[p], uint8_t(246 + picture[4][p - 54400 + bandRow[b] * 320])) << b << " " << p;
    }
    // Band 2 is source bytes 17,600..27,199.
    EXPECT_EQ(55 * 320, 17600);
}

TEST_F(Overlays, ColourLoadersWriteOnlyTheirEntries) {
    std::memset(palette.data(), 1, 768);
    LoadOverlayColours();
    for (int i = 0; i < 711; ++i) ASSERT_EQ(palette[i], 1) << i;
    for (int i = 762; i < 768; ++i) ASSERT_EQ(palette[i], 1) << i;
    EXPECT_EQ(palette[711], 0);                // 237 black
    EXPECT_EQ(palette[3 * 238 + 1], 20);
    EXPECT_EQ(palette[3 * 253 + 2], 30);
    std::vector<uint8_t> overlay(palette.begin() + 711, palette.begin() + 711 + 27);
    LoadLyricsColours();
    for (int i = 0; i < 27; ++i) EXPECT_EQ(palette[711 + i], overlay[i]) << i;          // 237..245 kept
    for (int i = 0; i < 27; ++i) EXPECT_EQ(palette[738 + i], overlay[i]) << i;          // 246..254
    for (int i = 765; i < 768; ++i) EXPECT_EQ(palette[i], 1);                            // 255 untouched
}

TEST_F(Overlays, FillFromBackgroundOnlyIntoZeroPixels) {
    for (int p = 0; p < 64000; ++p) background[p] = uint8_t(p * 3 + 1);
    std::memset(frame.data(), 4, frame.size());
    FillFromBackground();
    for (int p = 0; p < 64000; ++p) ASSERT_EQ(frame[p], 4);
    std::memset(frame.data(), 0, frame.size());
    FillFromBackground();
    EXPECT_EQ(frame, background);
    frame[7] = 0;
    frame[8] = 200;
    background[8] = 9;
    FillFromBackground();
    EXPECT_EQ(frame[8], 200);
}

TEST(PaletteFadeRule, FallsButNeverRisesNorReachesZero) {
    std::vector<uint8_t> current(768), source(768);
    for (int i = 0; i < 768; ++i) {
        source[i] = uint8_t(i % 64);
        current[i] = source[i];
    }
    PaletteFadeKernel(current.data(), source.data(), 0);
    EXPECT_EQ(current, source);
    for (int amount = 1; amount < 70; ++amount) {
        auto before = current;
        PaletteFadeKernel(current.data(), source.data(), amount);
        for (int i = 0; i < 768; ++i) {
            ASSERT_LE(current[i], before[i]);
            if (source[i] > 0) {
                ASSERT_GT(current[i], 0) << i;
            }
            int d = source[i] - amount;
            ASSERT_EQ(current[i], d > 0 ? d : (source[i] > 0 ? 1 : 0)) << i << " " << amount;
        }
    }
    // A component already darker than the target stays; a negative amount never raises.
    std::vector<uint8_t> dark(768, 2);
    PaletteFadeKernel(dark.data(), source.data(), -10);
    for (int i = 0; i < 768; ++i) ASSERT_EQ(dark[i], 2);
}
