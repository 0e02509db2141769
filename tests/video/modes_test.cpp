// Which display modes are offered, in which order, with which 16-bit layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "video/display.h"

namespace {

ModeCandidate Mode(int w, int h, int bpp, uint32_t green = 0xFF00) { return ModeCandidate{w, h, bpp, green}; }

// "WxHxD " per entry, "WxHxD/5 " for a 5-5-5 mode.
std::string Table(const ModeCandidate* desktop, const std::vector<ModeCandidate>& listed)
{
    DisplayMode table[DisplayModeCapacity];
    int count = BuildDisplayModeTable(desktop, listed.data(), int(listed.size()), table);
    std::string s;
    for (const DisplayMode& m : std::vector<DisplayMode>(table, table + count))
        s += std::to_string(m.width) + "x" + std::to_string(m.height) + "x" + std::to_string(m.depth) +
             (m.greenSixBits ? " " : "/5 ");
    return s;
}

TEST(ModeTable, DesktopFirstThenUsableModesByDepthDescendingWidthAndHeightAscending)
{
    const ModeCandidate desktop = Mode(640, 480, 16, 0x07E0), unusable = Mode(1024, 768, 8, 0);
    const std::vector<ModeCandidate> listed = {
        Mode(640, 480, 16, 0x03E0), Mode(800, 600, 32),         Mode(640, 480, 8, 0), Mode(640, 480, 24),
        Mode(320, 200, 16, 0x07E0), Mode(640, 480, 15, 0x03E0), Mode(640, 480, 32),   Mode(319, 200, 32),
        Mode(640, 400, 32),         Mode(320, 199, 32),         Mode(320, 200, 32),   Mode(640, 480, 32)};
    EXPECT_EQ(Table(&desktop, listed), "640x480x16 320x200x32 640x400x32 640x480x32 640x480x32 800x600x32 "
                                       "640x480x24 320x200x16 640x480x16/5 ");
    // Without a usable desktop the first accepted listed mode is entry 0.
    EXPECT_EQ(Table(&unusable, {listed[0], listed[2], listed[4], listed[1]}), "640x480x16/5 800x600x32 320x200x16 ");
    EXPECT_EQ(Table(nullptr, {Mode(640, 480, 8, 0), Mode(0, 0, 32)}), "");
}

TEST(ModeTable, StopsAtItsCapacity)
{
    std::vector<ModeCandidate> listed;
    for (int i = 0; i < 300; i++)
        listed.push_back(Mode(320 + i, 240, 32));
    const ModeCandidate desktop = Mode(1024, 768, 32);
    static DisplayMode table[DisplayModeCapacity + 1];
    table[DisplayModeCapacity].width = -7;
    EXPECT_EQ(BuildDisplayModeTable(&desktop, listed.data(), int(listed.size()), table), DisplayModeCapacity);
    EXPECT_EQ(table[DisplayModeCapacity].width, -7);
    EXPECT_EQ(table[0].width, 1024);
    EXPECT_EQ(table[DisplayModeCapacity - 1].width, 320 + 254);   // the first 255 listed are kept
}

}   // namespace
