// The dialog's artwork: found in an overlay file, scaled, and refused when broken.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/content_format.h"
#include "shell/title_art.h"
#include "test_files.h"

namespace {

// A picture entry: 10-byte header, palette, 320x200 pixels: left half colour 1,
// right half colour 2.
std::vector<uint8_t> Picture(uint8_t r1, uint8_t g1, uint8_t b1)
{
    std::vector<uint8_t> entry(PictureEntryBytes, 0);
    uint8_t* palette = entry.data() + PicturePaletteOffset;
    palette[3] = r1;
    palette[4] = g1;
    palette[5] = b1;
    palette[6] = 63;   // colour 2: red
    for (uint32_t i = 0; i < PicturePixelBytes; i++)
        entry[PicturePixelsOffset + i] = i % PictureWidth < PictureWidth / 2 ? 1 : 2;
    return entry;
}

std::string WriteOverlay(const std::string& name, const std::vector<OverlayInput>& entries, size_t keep = SIZE_MAX)
{
    return WriteOverlayFile(::testing::TempDir() + "/" + name, entries, keep);
}

const uint8_t* At(const std::vector<uint8_t>& rgb, int x, int y) { return rgb.data() + (y * TitleArtWidth + x) * 3; }

TEST(TitleArt, FoundAmongOtherEntriesAndShownThroughItsPalette)
{
    std::string path =
        WriteOverlay("art_ok.ovl", {{"music.s3m", std::vector<uint8_t>(5000, 7)}, {"tivrel.scx", Picture(0, 63, 0)}});
    // The demo's reader, open on another file, is left as it was.
    std::string demo = WriteOverlay("art_demo.ovl", {{"a", {1}}, {"b", {2}}, {"c", {3}}});
    ASSERT_TRUE(ZOH_OpenFile(demo.c_str()));
    ZOH_Seek(1, 7, 0);
    std::vector<uint8_t> rgb(TitleArtBytes, 0xEE);
    ASSERT_TRUE(LoadTitleArt(path.c_str(), rgb.data()));
    EXPECT_EQ(ZOH_EntryCount(), 3u);
    EXPECT_EQ(ZOH_Seek(1, 0, 1), 7u);
    EXPECT_EQ(ZOH_Open("tivrel.scx", 512), -1);
    EXPECT_EQ(At(rgb, 0, 0)[0], 0);
    EXPECT_EQ(At(rgb, 0, 0)[1], 255);
    EXPECT_EQ(At(rgb, 212, 132)[0], 255);
    EXPECT_EQ(At(rgb, 212, 132)[1], 0);
    // Output column 106 covers source column 159 only, 107 covers 160..161.
    EXPECT_EQ(At(rgb, 106, 50)[1], 255);
    EXPECT_EQ(At(rgb, 107, 50)[0], 255);
    EXPECT_EQ(At(rgb, 107, 50)[1], 0);
}

TEST(TitleArt, APaletteThatHidesThePictureGivesAGreyRamp)
{
    std::vector<uint8_t> entry = Picture(0, 0, 0);
    std::fill(entry.begin() + PicturePaletteOffset, entry.begin() + PicturePixelsOffset, 0);
    std::string path = WriteOverlay("art_black.ovl", {{"tivrel.scx", entry}});
    std::vector<uint8_t> rgb(TitleArtBytes);
    ASSERT_TRUE(LoadTitleArt(path.c_str(), rgb.data()));
    EXPECT_GT(At(rgb, 0, 0)[0], 0);
    EXPECT_EQ(At(rgb, 0, 0)[0], At(rgb, 0, 0)[2]);
    EXPECT_GT(At(rgb, 212, 0)[0], At(rgb, 0, 0)[0]);
}

TEST(TitleArt, MissingOrBrokenDataLeavesTheBufferAlone)
{
    std::vector<uint8_t> rgb(TitleArtBytes, 0xEE);
    std::string noEntry = WriteOverlay("art_none.ovl", {{"tivrel.scy", Picture(1, 2, 3)}});
    std::string shortEntry =
        WriteOverlay("art_short.ovl", {{"tivrel.scx", std::vector<uint8_t>(PictureEntryBytes - 1, 1)}});
    std::string truncated = WriteOverlay("art_cut.ovl", {{"tivrel.scx", Picture(1, 2, 3)}}, 600);
    std::string garbage = ::testing::TempDir() + "/art_garbage.ovl";
    std::ofstream(garbage, std::ios::binary) << std::string(100, '\xFF');
    for (const std::string& path : {noEntry, shortEntry, truncated, garbage, std::string("/nonexistent/tivrel.ovl")}) {
        EXPECT_FALSE(LoadTitleArt(path.c_str(), rgb.data())) << path;
    }
    for (uint8_t b : rgb)
        ASSERT_EQ(b, 0xEE);
}

TEST(TitleArt, TheDefaultDataHasAVisibleTitle)
{
    std::string path = std::string(TIVREL_BUILD_DIR) + "/tivrel.ovl";
    if (std::FILE* f = std::fopen(path.c_str(), "rb"))
        std::fclose(f);
    else
        GTEST_SKIP() << "no default data built at " << path;
    std::vector<uint8_t> rgb(TitleArtBytes);
    ASSERT_TRUE(LoadTitleArt(path.c_str(), rgb.data()));
    int distinct = 0;
    for (size_t i = 3; i < rgb.size(); i += 3)
        if (rgb[i] != rgb[0] || rgb[i + 1] != rgb[1] || rgb[i + 2] != rgb[2])
            distinct++;
    EXPECT_GT(distinct, 100);
}

}   // namespace
