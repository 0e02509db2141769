// Palette scaling, expansion and the four packers, checked against the colour each
// 6-bit palette component must come out as in every surface format.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "video/display.h"

namespace {

// A frame whose pixel i has colour index i % 256, and a palette mapping index i to
// the given component triple.
struct Fixture {
    uint8_t palette[768] = {};
    uint8_t device[768] = {};
    std::vector<uint8_t> frame = std::vector<uint8_t>(ScreenBytes);
    std::vector<uint8_t> trueColor = std::vector<uint8_t>(TrueColorBytes, 0xAA);

    Fixture()
    {
        for (int i = 0; i < ScreenBytes; i++)
            frame[i] = static_cast<uint8_t>(i % 256);
    }
    void Colour(int index, uint8_t r, uint8_t g, uint8_t b)
    {
        palette[3 * index] = r;
        palette[3 * index + 1] = g;
        palette[3 * index + 2] = b;
    }
    void Convert()
    {
        ScalePalette(palette, device);
        ExpandFrame(frame.data(), device, trueColor.data());
    }
};

uint16_t Pixel16(const std::vector<uint8_t>& surface, int pitch, int x, int y)
{
    const uint8_t* p = surface.data() + y * pitch + x * 2;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

TEST(Palette, ScalesSixBitComponentsAndKeepsOnlyTheLowSixBits)
{
    Fixture f;
    f.Colour(0, 63, 0, 1);
    f.Colour(1, 64, 65, 255);
    f.Colour(2, 10, 20, 30);
    ScalePalette(f.palette, f.device);
    // Device entries are blue, green, red.
    EXPECT_EQ(f.device[0], 4);     // blue 1
    EXPECT_EQ(f.device[1], 0);     // green 0
    EXPECT_EQ(f.device[2], 252);   // red 63
    EXPECT_EQ(f.device[3], 252);   // blue 255 -> low six bits 63
    EXPECT_EQ(f.device[4], 4);     // green 65 -> 1
    EXPECT_EQ(f.device[5], 0);     // red 64 -> 0
    EXPECT_EQ(f.device[6], 120);
    EXPECT_EQ(f.device[7], 80);
    EXPECT_EQ(f.device[8], 40);
}

TEST(Palette, SecondSetPaletteBeforeAFrameIsTheOneShown)
{
    uint8_t first[768], second[768];
    std::memset(first, 63, sizeof first);
    std::memset(second, 0, sizeof second);
    second[3 * 7 + 1] = 33;
    SetPalette(first);
    SetPalette(second);
    std::vector<uint8_t> frame(ScreenBytes, 7), trueColor(TrueColorBytes);
    ExpandFrame(frame.data(), DevicePalette, trueColor.data());
    EXPECT_EQ(trueColor[0], 0);
    EXPECT_EQ(trueColor[1], 132);
    EXPECT_EQ(trueColor[TrueColorBytes - 2], 0);
}

TEST(Expand, EveryIndexIncludingTwoFiftyFiveUsesItsOwnEntryAndSparesTheFourthByte)
{
    Fixture f;
    for (int i = 0; i < 256; i++)
        f.Colour(i, static_cast<uint8_t>(i & 63), static_cast<uint8_t>((i >> 2) & 63), static_cast<uint8_t>(63 - (i & 63)));
    f.Convert();
    for (int i : {0, 1, 255, 256 + 255, ScreenBytes - 1}) {
        int index = i % 256;
        EXPECT_EQ(f.trueColor[4 * i + 0], static_cast<uint8_t>((63 - (index & 63)) * 4)) << i;
        EXPECT_EQ(f.trueColor[4 * i + 1], static_cast<uint8_t>(((index >> 2) & 63) * 4)) << i;
        EXPECT_EQ(f.trueColor[4 * i + 2], static_cast<uint8_t>((index & 63) * 4)) << i;
        EXPECT_EQ(f.trueColor[4 * i + 3], 0xAA) << i;
    }
}

// Each packer is run into a surface wider than 320 pixels, so a wrong pitch or an
// overrun into the padding shows.
class Pack : public ::testing::Test {
protected:
    Fixture f;
    static constexpr int Padding = 37;
    std::vector<uint8_t> surface;
    int pitch = 0;

    int Run(int depth, int greenSixBits)
    {
        f.Convert();
        int bytes = depth == 16 ? 2 : depth / 8;
        pitch = ScreenWidth * bytes + Padding;
        surface.assign(static_cast<size_t>(pitch) * ScreenHeight + 64, 0x5C);
        return PackFrame(f.trueColor.data(), surface.data(), pitch, DisplayMode{640, 480, depth, greenSixBits});
    }
    void ExpectPaddingUntouched(int rowBytes)
    {
        for (int y = 0; y < ScreenHeight; y++)
            for (int x = rowBytes; x < pitch; x++)
                ASSERT_EQ(surface[y * pitch + x], 0x5C) << "row " << y;
        for (size_t i = static_cast<size_t>(pitch) * ScreenHeight; i < surface.size(); i++)
            ASSERT_EQ(surface[i], 0x5C);
    }
};

TEST_F(Pack, FiveSixFiveHalvesRedAndBlueAndKeepsGreen)
{
    for (int c = 0; c < 64; c++)
        f.Colour(c, static_cast<uint8_t>(c), static_cast<uint8_t>(63 - c), static_cast<uint8_t>(c ^ 21));
    f.Colour(100, 63, 63, 63);
    f.Colour(101, 0, 0, 0);
    f.Colour(102, 64, 65, 64);
    ASSERT_EQ(Run(16, 1), 2);
    for (int c = 0; c < 64; c++) {
        uint16_t v = Pixel16(surface, pitch, c, 0);
        EXPECT_EQ(v >> 11, c >> 1) << c;
        EXPECT_EQ((v >> 5) & 63, 63 - c) << c;
        EXPECT_EQ(v & 31, (c ^ 21) >> 1) << c;
    }
    EXPECT_EQ(Pixel16(surface, pitch, 100, 0), 0xFFFF);
    EXPECT_EQ(Pixel16(surface, pitch, 101, 0), 0x0000);
    EXPECT_EQ(Pixel16(surface, pitch, 102, 0), 0x0020);   // only green 65 -> 1 survives
    // Last pixel of the last row: index 63999 % 256 = 255.
    EXPECT_EQ(Pixel16(surface, pitch, 319, 199), 0);
    ExpectPaddingUntouched(ScreenWidth * 2);
}

TEST_F(Pack, FiveFiveFiveHalvesEveryFieldAndLeavesTheTopBitClear)
{
    for (int c = 0; c < 64; c++)
        f.Colour(c, static_cast<uint8_t>(c), static_cast<uint8_t>(63 - c), static_cast<uint8_t>(c ^ 21));
    f.Colour(100, 63, 63, 63);
    f.Colour(101, 63, 0, 0);
    f.Colour(102, 0, 63, 0);
    ASSERT_EQ(Run(16, 0), 2);
    for (int c = 0; c < 64; c++) {
        uint16_t v = Pixel16(surface, pitch, c, 0);
        EXPECT_EQ(v >> 15, 0);
        EXPECT_EQ((v >> 10) & 31, c >> 1) << c;
        EXPECT_EQ((v >> 5) & 31, (63 - c) >> 1) << c;
        EXPECT_EQ(v & 31, (c ^ 21) >> 1) << c;
    }
    EXPECT_EQ(Pixel16(surface, pitch, 100, 0), 0x7FFF);
    EXPECT_EQ(Pixel16(surface, pitch, 101, 0), 0x7C00);
    EXPECT_EQ(Pixel16(surface, pitch, 102, 0), 0x03E0);
    ExpectPaddingUntouched(ScreenWidth * 2);
}

TEST_F(Pack, TwentyFourBitsWritesBlueGreenRed)
{
    f.Colour(5, 63, 1, 64);
    ASSERT_EQ(Run(24, 1), 3);
    for (int y : {0, 117, 199}) {
        int x = (5 - y * ScreenWidth % 256 + 256) % 256;   // a pixel with index 5 in row y
        const uint8_t* p = surface.data() + y * pitch + x * 3;
        EXPECT_EQ(p[0], 0);     // blue 64 -> 0
        EXPECT_EQ(p[1], 4);     // green 1
        EXPECT_EQ(p[2], 252);   // red 63
    }
    ExpectPaddingUntouched(ScreenWidth * 3);
}

TEST_F(Pack, ThirtyTwoBitsCopiesAllFourBytes)
{
    f.Colour(9, 63, 32, 0);
    ASSERT_EQ(Run(32, 1), 4);
    const uint8_t* p = surface.data() + 9 * 4;
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 128);
    EXPECT_EQ(p[2], 252);
    EXPECT_EQ(p[3], 0xAA);   // the unused byte travels as it is
    ExpectPaddingUntouched(ScreenWidth * 4);
}

TEST_F(Pack, OtherDepthsWriteNothing)
{
    for (int depth : {8, 15, 0, 48}) {
        EXPECT_EQ(Run(depth, 1), 0) << depth;
        for (uint8_t b : surface)
            ASSERT_EQ(b, 0x5C) << depth;
    }
}

}  // namespace
