// Palette scaling, expansion and the four packers, run as presentation chains them
// and checked against the value each 6-bit palette component must take in every
// surface format.
#include <gtest/gtest.h>

#include <vector>

#include "core/pixels.h"

namespace {

struct Format {
    int depth, greenSixBits, bytes;
    uint32_t (*expect)(int r, int g, int b);   // from the 6-bit components
};

// Frame pixel i has index i % 256; entry k is (k, 63 - k, k ^ 21) in its low six
// bits, with the high bits set on some entries to show they are dropped.
TEST(Pack, EveryFormatFromSixBitComponentsLeavingPaddingAlone)
{
    std::vector<uint8_t> palette(768), device(768), frame(ScreenBytes);
    for (int k = 0; k < 256; k++) {
        palette[3 * k] = uint8_t(k);
        palette[3 * k + 1] = uint8_t(63 - (k & 63) + (k & 64));
        palette[3 * k + 2] = uint8_t((k & 63) ^ 21);
    }
    for (int i = 0; i < ScreenBytes; i++)
        frame[i] = uint8_t(i);
    std::vector<uint8_t> trueColor(TrueColorBytes, 0xAA);
    ScalePalette(palette.data(), device.data());
    ExpandFrame(frame.data(), device.data(), trueColor.data());

    const Format formats[] = {
        {32, 1, 4, [](int r, int g, int b) { return 0xAAu << 24 | uint32_t(r * 4) << 16 | g * 4 << 8 | b * 4; }},
        {24, 1, 3, [](int r, int g, int b) { return uint32_t(r * 4) << 16 | g * 4 << 8 | b * 4; }},
        {16, 1, 2, [](int r, int g, int b) { return uint32_t(r >> 1) << 11 | g << 5 | b >> 1; }},
        {16, 0, 2, [](int r, int g, int b) { return uint32_t(r >> 1) << 10 | (g >> 1) << 5 | b >> 1; }},
        {8, 1, 0, nullptr},
        {15, 0, 0, nullptr},
        {48, 1, 0, nullptr},
    };
    for (const Format& format : formats) {
        const int pitch = ScreenWidth * 4 + 37;
        std::vector<uint8_t> surface(size_t(pitch) * ScreenHeight + 64, 0x5C);
        ASSERT_EQ(PackFrame(trueColor.data(), surface.data(), pitch, {640, 480, format.depth, format.greenSixBits}),
                  format.bytes)
            << format.depth;
        const int rowBytes = ScreenWidth * format.bytes;
        for (int y = 0; y < ScreenHeight; y++)
            for (int x = 0; x < pitch; x++) {
                const uint8_t* p = &surface[size_t(y) * pitch + x];
                if (x >= rowBytes) {
                    ASSERT_EQ(*p, 0x5C) << "padding, depth " << format.depth << " row " << y;
                } else if (x % format.bytes == 0) {
                    const uint8_t* c = &palette[3 * frame[y * ScreenWidth + x / format.bytes]];
                    uint32_t value = 0;
                    for (int i = 0; i < format.bytes; i++)
                        value |= uint32_t(p[i]) << 8 * i;
                    ASSERT_EQ(value, format.expect(c[0] & 63, c[1] & 63, c[2] & 63))
                        << "depth " << format.depth << " green6 " << format.greenSixBits << " at " << x / format.bytes
                        << "," << y;
                }
            }
        for (size_t i = size_t(pitch) * ScreenHeight; i < surface.size(); i++)
            ASSERT_EQ(surface[i], 0x5C) << "past the last row, depth " << format.depth;
    }
}

// The fused converter writes exactly what expansion then packing writes, padding
// untouched, for every depth; the fourth byte of a 32-bit pixel is 0 as in a
// TrueColorFrame that was never written there.
TEST(Pack, FusedExpandAndPackMatchTheTwoSteps)
{
    std::vector<uint8_t> palette(768), device(768), frame(ScreenBytes);
    for (int k = 0; k < 768; k++)
        palette[k] = uint8_t(k * 37 + k / 3);
    for (int i = 0; i < ScreenBytes; i++)
        frame[i] = uint8_t(i * 7 + i / 320);
    ScalePalette(palette.data(), device.data());
    std::vector<uint8_t> trueColor(TrueColorBytes, 0);
    ExpandFrame(frame.data(), device.data(), trueColor.data());
    for (auto [depth, greenSixBits] : {std::pair{32, 1}, {24, 1}, {16, 1}, {16, 0}, {8, 1}}) {
        const int pitch = ScreenWidth * 4 + 9;
        std::vector<uint8_t> twoSteps(size_t(pitch) * ScreenHeight, 0x5C), fused(twoSteps);
        const DisplayMode mode{640, 480, depth, greenSixBits};
        EXPECT_EQ(ExpandPackFrame(frame.data(), device.data(), fused.data(), pitch, mode),
                  PackFrame(trueColor.data(), twoSteps.data(), pitch, mode));
        EXPECT_EQ(fused, twoSteps) << "depth " << depth << " green6 " << greenSixBits;
    }
}

}   // namespace
