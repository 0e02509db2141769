// Which display modes are offered, in which order, with which 16-bit layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "video/modes.h"
#include "video/video.h"

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

// Where the picture goes in an output: stretched over it, the largest area of its
// shape, or its largest whole multiple, centred; and the default window.
TEST(PictureRect, EachScaleFitsThePictureAsDocumented)
{
    struct Case {
        int w, h, scale, aspect;
        PictureRect expect;
    };
    const Case cases[] = {
        {1000, 700, ScaleStretch, AspectStretch, {0, 0, 1000, 700}},
        {1000, 700, ScaleStretch, Aspect4x3, {33, 0, 933, 700}},
        {1000, 700, ScaleSharp, AspectStretch, {0, 37, 1000, 625}},
        {1000, 700, ScaleInteger, AspectStretch, {20, 50, 960, 600}},
        {1000, 700, ScaleInteger, Aspect4x3, {180, 110, 640, 480}},
        {1920, 1080, ScaleInteger, AspectStretch, {160, 40, 1600, 1000}},
        {300, 150, ScaleInteger, AspectStretch, {30, 0, 240, 150}},   // not even 1x fits: the sharp fit
        {0, 0, ScaleSharp, AspectStretch, {0, 0, 1, 0}},              // nothing to show, nothing divided by 0
    };
    for (const Case& c : cases) {
        const PictureRect r = PictureDestination(c.w, c.h, c.scale, c.aspect);
        EXPECT_EQ((std::vector<int>{r.x, r.y, r.w, r.h}),
                  (std::vector<int>{c.expect.x, c.expect.y, c.expect.w, c.expect.h}))
            << c.w << "x" << c.h << " scale " << c.scale << " aspect " << c.aspect;
    }
    int w = 0, h = 0;
    DefaultWindowSize(1264, 752, AspectStretch, &w, &h);
    EXPECT_EQ(w * 1000 + h, 960600);
    DefaultWindowSize(1264, 752, Aspect4x3, &w, &h);
    EXPECT_EQ(w * 1000 + h, 960720);
    DefaultWindowSize(200, 100, AspectStretch, &w, &h);   // a tiny desktop still gets 1x
    EXPECT_EQ(w * 1000 + h, 320200);
}

}   // namespace
