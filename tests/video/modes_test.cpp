// Which display modes are offered, in which order, with which 16-bit layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "video/display.h"

namespace {

ModeCandidate Mode(int w, int h, int bpp, uint32_t green = 0xFF00)
{
    return ModeCandidate{w, h, bpp, green};
}

std::string Describe(const DisplayMode* table, int count, int from)
{
    std::string s;
    for (int i = from; i < count; i++)
        s += std::to_string(table[i].width) + "x" + std::to_string(table[i].height) + "x" +
             std::to_string(table[i].depth) + " ";
    return s;
}

TEST(ModeAcceptance, RefusesPaletteAndOddDepthsAndModesSmallerThanTheImage)
{
    DisplayMode table[DisplayModeCapacity];
    int32_t count = 0;
    EXPECT_FALSE(AcceptDisplayMode(Mode(640, 480, 8, 0), table, &count));
    EXPECT_FALSE(AcceptDisplayMode(Mode(640, 480, 15, 0x03E0), table, &count));
    EXPECT_FALSE(AcceptDisplayMode(Mode(640, 480, 0), table, &count));
    EXPECT_FALSE(AcceptDisplayMode(Mode(319, 200, 32), table, &count));
    EXPECT_FALSE(AcceptDisplayMode(Mode(320, 199, 32), table, &count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(AcceptDisplayMode(Mode(320, 200, 32), table, &count));
    EXPECT_TRUE(AcceptDisplayMode(Mode(320, 200, 24), table, &count));
    EXPECT_TRUE(AcceptDisplayMode(Mode(320, 200, 16, 0x07E0), table, &count));
    EXPECT_EQ(count, 3);
}

TEST(ModeAcceptance, GreenFieldWidthFollowsTheGreenMask)
{
    DisplayMode table[4];
    int32_t count = 0;
    AcceptDisplayMode(Mode(640, 480, 16, 0x03E0), table, &count);
    AcceptDisplayMode(Mode(640, 480, 16, 0x07E0), table, &count);
    AcceptDisplayMode(Mode(640, 480, 32, 0x0000FF00), table, &count);
    AcceptDisplayMode(Mode(640, 480, 24, 0x0000FF00), table, &count);
    ASSERT_EQ(count, 4);
    EXPECT_EQ(table[0].greenSixBits, 0);
    EXPECT_EQ(table[1].greenSixBits, 1);
    EXPECT_EQ(table[2].greenSixBits, 1);
    EXPECT_EQ(table[3].greenSixBits, 1);
}

TEST(ModeTable, StopsAtTwoHundredFiftySixEntries)
{
    std::vector<ModeCandidate> listed;
    for (int i = 0; i < 300; i++)
        listed.push_back(Mode(320 + i, 240, 32));
    ModeCandidate desktop = Mode(1024, 768, 32);
    static DisplayMode table[DisplayModeCapacity + 8];
    table[DisplayModeCapacity].width = -7;   // sentinel just past the capacity
    int32_t count = BuildDisplayModeTable(&desktop, listed.data(), static_cast<int>(listed.size()), table);
    EXPECT_EQ(count, DisplayModeCapacity);
    EXPECT_EQ(table[DisplayModeCapacity].width, -7);
    EXPECT_EQ(table[0].width, 1024);
    EXPECT_EQ(table[DisplayModeCapacity - 1].width, 320 + 254);   // the first 255 listed are kept
}

TEST(ModeTable, SortsByDepthDescendingThenWidthThenHeightAndKeepsTheDesktopFirst)
{
    std::vector<ModeCandidate> listed = {
        Mode(640, 480, 16, 0x07E0), Mode(800, 600, 32), Mode(640, 480, 24), Mode(320, 200, 16, 0x07E0),
        Mode(640, 480, 32), Mode(320, 200, 32),
    };
    ModeCandidate desktop = Mode(640, 480, 16, 0x07E0);
    DisplayMode table[DisplayModeCapacity];
    int32_t count = BuildDisplayModeTable(&desktop, listed.data(), static_cast<int>(listed.size()), table);
    ASSERT_EQ(count, 7);
    EXPECT_EQ(Describe(table, count, 0),
              "640x480x16 320x200x32 640x480x32 800x600x32 640x480x24 320x200x16 640x480x16 ");
}

TEST(ModeTable, HeightBreaksTiesAndDuplicatesStay)
{
    std::vector<ModeCandidate> listed = {Mode(640, 480, 32), Mode(640, 400, 32), Mode(640, 480, 32)};
    DisplayMode table[DisplayModeCapacity];
    ModeCandidate desktop = Mode(640, 480, 32);
    int32_t count = BuildDisplayModeTable(&desktop, listed.data(), 3, table);
    EXPECT_EQ(Describe(table, count, 1), "640x400x32 640x480x32 640x480x32 ");
}

TEST(ModeTable, AnUnusableDesktopGivesEntryZeroToTheFirstAcceptedListedMode)
{
    std::vector<ModeCandidate> listed = {Mode(640, 480, 8, 0), Mode(800, 600, 16, 0x03E0), Mode(320, 200, 32)};
    DisplayMode table[DisplayModeCapacity];
    ModeCandidate desktop = Mode(1024, 768, 8, 0);
    int32_t count = BuildDisplayModeTable(&desktop, listed.data(), 3, table);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(Describe(table, count, 0), "800x600x16 320x200x32 ");
    EXPECT_EQ(table[0].greenSixBits, 0);

    count = BuildDisplayModeTable(nullptr, listed.data(), 0, table);
    EXPECT_EQ(count, 0);
}

}  // namespace
