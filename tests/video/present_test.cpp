// PresentFrame expands the frame only for a backend that reads the true-colour frame.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/pixels.h"
#include "core/shared.h"
#include "video/video.h"

namespace {

const uint8_t* SeenTrueColor = nullptr;
int Presents = 0;
bool ReadsTrueColorAnswer = false;

bool Open(const PresentSettings&) { return true; }
void SetPaletteNothing(const uint8_t*) {}
void Present(const uint8_t*, const uint8_t* trueColor)
{
    SeenTrueColor = trueColor;
    Presents++;
}
bool Poll() { return false; }
bool Close() { return true; }
bool ReadsTrueColor() { return ReadsTrueColorAnswer; }

TEST(PresentFrame, ExpandsOnlyForABackendThatReadsTheTrueColourFrame)
{
    ASSERT_TRUE(AllocateTrueColorFrame());
    std::vector<uint8_t> frame(ScreenBytes);
    for (int k = 0; k < ScreenBytes; k++)
        frame[size_t(k)] = uint8_t(k * 7);
    uint8_t* savedFrame = FrameBuffer;
    FrameBuffer = frame.data();
    uint8_t palette[768];
    for (int k = 0; k < 768; k++)
        palette[k] = uint8_t(k % 64);
    SetPalette(palette);
    std::vector<uint8_t> expected(TrueColorBytes, 0xAB);   // fourth bytes kept as the frame had them
    ExpandFrame(frame.data(), DevicePalette, expected.data());

    const PresentBackend asking = {"asking", Open, SetPaletteNothing, Present, Poll, Close, ReadsTrueColor};
    UsePresentBackend(&asking);
    std::memset(TrueColorFrame, 0xAB, TrueColorBytes);
    ReadsTrueColorAnswer = false;
    PresentFrame();
    EXPECT_EQ(SeenTrueColor, nullptr);
    EXPECT_EQ(TrueColorFrame[0], 0xAB);   // not expanded
    ReadsTrueColorAnswer = true;
    PresentFrame();
    EXPECT_EQ(SeenTrueColor, TrueColorFrame);
    EXPECT_EQ(std::memcmp(TrueColorFrame, expected.data(), TrueColorBytes), 0);

    // A backend that leaves the question out always gets the expanded frame.
    const PresentBackend plain = {"plain", Open, SetPaletteNothing, Present, Poll, Close};
    UsePresentBackend(&plain);
    std::memset(TrueColorFrame, 0xAB, TrueColorBytes);
    PresentFrame();
    EXPECT_EQ(SeenTrueColor, TrueColorFrame);
    EXPECT_EQ(std::memcmp(TrueColorFrame, expected.data(), TrueColorBytes), 0);
    EXPECT_EQ(Presents, 3);

    UsePresentBackend(nullptr);
    FrameBuffer = savedFrame;
}

}   // namespace
