// Map selection, wave morph, overlays, colour loaders, background fill and palette
// fade, through the named operations over the shared images.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "core/shared.h"
#include "effects/effects.h"

namespace {

std::vector<uint8_t> Pattern(size_t size, unsigned a, unsigned b)
{
    std::vector<uint8_t> v(size);
    for (size_t i = 0; i < size; i++)
        v[i] = uint8_t(i * a + i / b);
    return v;
}

// Points every shared image at a fresh buffer holding a byte pattern; the frame has
// one guard row past the image.
class Shared : public ::testing::Test {
protected:
    std::vector<uint8_t> frame, background = Pattern(64000, 7, 11), palette = Pattern(768, 1, 1000),
                                map = std::vector<uint8_t>(128000), texture = std::vector<uint8_t>(65536, 9),
                                bigMap = Pattern(512000, 7, 1280), movement = std::vector<uint8_t>(28672), picture[5];

    void SetUp() override
    {
        frame = Pattern(64000 + 320, 3, 5);
        for (int i = 0; i < 5; i++)
            picture[i] = Pattern(64000, 13 + 2 * i, 320);
        FrameBuffer = frame.data(), BackgroundImage = background.data(), CurrentPalette = palette.data();
        CurrentMap = map.data(), CurrentTexture = texture.data(), BigMap = bigMap.data();
        MovementTable = movement.data(), TitlePicture = picture[0].data(), LyricsPicture = picture[4].data();
        for (int i = 0; i < 3; i++)
            NamePicture[i] = picture[1 + i].data();
    }
};

TEST_F(Shared, MovementWindowIsTheRecordsClampedWindowAndTheCounterResetsFrom808)
{
    struct Case {
        uint32_t counter;
        int32_t x, y;
        int windowX, windowY;
        uint32_t counterAfter;
    };
    const Case cases[] = {
        {10, 0, 0, 0, 0, 10},    {11, 320, 200, 320, 200, 11},         {807, 1, 2, 1, 2, 807},
        {808, 3, 4, 3, 4, 0},    {896 + 4, 17, 9, 17, 9, 0},           {1, -1, 201, 0, 200, 1},
        {1, 321, -5, 320, 0, 1}, {1, INT32_MIN, INT32_MAX, 0, 200, 1},
    };
    for (const Case& c : cases) {
        std::memcpy(&movement[32 * (c.counter % 896)], &c.x, 4);
        std::memcpy(&movement[32 * (c.counter % 896) + 4], &c.y, 4);
        TickCounters[0].store(c.counter);
        SelectMovementWindow();
        for (int j = 0; j < 200; j++)
            ASSERT_EQ(0, std::memcmp(&map[640 * j], &bigMap[1280 * (c.windowY + j) + 2 * c.windowX], 640))
                << "counter " << c.counter << " row " << j;
        EXPECT_EQ(TickCounters[0].load(), c.counterAfter) << c.counter;
    }
}

TEST_F(Shared, WaveMorphStepsOneUnitTowardTheTargetThenHoldsAndStillDraws)
{
    SetWaveMorphA();
    for (int step = 1; step <= 200; step++) {
        StepWaveMorph();
        ASSERT_EQ(WorkingWave[0], step < 32 ? 32 + step : 64) << step;   // WaveA[0] 32, WaveB[0] 64
    }
    EXPECT_EQ(0, std::memcmp(WorkingWave, WaveB, 256));
    EXPECT_EQ(std::vector<uint8_t>(frame.begin(), frame.begin() + 64000), std::vector<uint8_t>(64000, 9));
    SetWaveMorphB();   // restarts from the full source wave
    StepWaveMorph();
    EXPECT_EQ(WorkingWave[0], 63);
    EXPECT_EQ(0, std::memcmp(TargetWave, WaveA, 256));
}

TEST_F(Shared, OverlaysWriteNonZeroSourceBytesPlusTheColourBaseOnTheirRows)
{
    struct Case {
        void (*run)();
        int picture, sourceRow, frameRow, rows, base;
    };
    const Case cases[] = {
        {OverlayTitle, 0, 0, 20, 180, 237},     {OverlayName1, 1, 0, 0, 200, 237},
        {OverlayName2, 2, 0, 0, 200, 237},      {OverlayName3, 3, 0, 0, 200, 237},
        {OverlayLyrics1, 4, 0, 170, 30, 246},   {OverlayLyrics2, 4, 55, 170, 30, 246},
        {OverlayLyrics3, 4, 109, 170, 30, 246}, {OverlayLyrics4, 4, 162, 170, 30, 246},
    };
    for (const Case& c : cases) {
        SetUp();
        picture[c.picture][c.sourceRow * 320 + 1] = 19;   // 19 + 237 wraps to 0
        const std::vector<uint8_t> before = frame;
        c.run();
        for (int p = 0; p < int(frame.size()); p++) {
            bool covered = p >= c.frameRow * 320 && p < (c.frameRow + c.rows) * 320;
            uint8_t v = covered ? picture[c.picture][p + (c.sourceRow - c.frameRow) * 320] : 0;
            ASSERT_EQ(frame[p], v ? uint8_t(v + c.base) : before[p]) << "picture " << c.picture << " pixel " << p;
        }
    }
}

TEST_F(Shared, ColourLoadersWriteOnlyTheirEntries)
{
    // clang-format off
    const uint8_t overlay[17 * 3] = {0, 0, 0, 15, 20, 12, 19, 26, 18, 24, 32, 24, 30, 38, 30, 37, 44, 38, 45, 50, 46,
        53, 56, 54, 63, 63, 63, 31, 25, 34, 36, 31, 39, 41, 36, 44, 46, 42, 48, 52, 48, 53, 57, 55, 58, 63, 63, 63, 27, 21, 30};
    // clang-format on
    std::vector<uint8_t> expect = palette;
    std::copy(overlay, overlay + 51, expect.begin() + 3 * 237);
    LoadOverlayColours();
    EXPECT_EQ(palette, expect);
    std::copy(overlay, overlay + 27, expect.begin() + 3 * 246);   // the first nine, nine entries higher
    LoadLyricsColours();
    EXPECT_EQ(palette, expect);
}

TEST_F(Shared, FillFromBackgroundFillsOnlyZeroPixels)
{
    std::vector<uint8_t> expect = frame;
    for (int p = 0; p < 64000; p++)
        expect[p] = frame[p] ? frame[p] : background[p];
    FillFromBackground();
    EXPECT_EQ(frame, expect);
}

TEST(PaletteFade, FallsToSourceMinusAmountButNeverRisesNorReachesZero)
{
    std::vector<uint8_t> current(768), source(768);
    for (int i = 0; i < 768; i++)
        current[i] = source[i] = uint8_t(i % 64);
    CurrentPalette = current.data();
    for (int amount = 0; amount < 70; amount++) {
        PaletteFade(source.data(), amount);
        for (int i = 0; i < 768; i++) {
            int d = source[i] - amount;
            ASSERT_EQ(current[i], d > 0 ? d : (source[i] > 0 ? 1 : 0)) << i << " amount " << amount;
        }
    }
    const std::vector<uint8_t> faded = current;
    for (int amount : {0, -10})
        PaletteFade(source.data(), amount);
    EXPECT_EQ(current, faded);   // a smaller amount later never raises a component
}

}   // namespace
