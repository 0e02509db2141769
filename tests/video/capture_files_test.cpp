// Capture mode's frame list and indexed PNG files.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "video/display.h"

namespace {

TEST(FrameList, RangesAndSingleFramesSelectExactlyTheirFrames)
{
    FrameList list;
    std::string error;
    ASSERT_TRUE(ParseFrameList("0:99,500,1200:1210", &list, &error)) << error;
    EXPECT_FALSE(list.all);
    for (uint32_t f : {0u, 50u, 99u, 500u, 1200u, 1210u})
        EXPECT_TRUE(FrameListContains(list, f)) << f;
    for (uint32_t f : {100u, 499u, 501u, 1199u, 1211u, 4000000000u})
        EXPECT_FALSE(FrameListContains(list, f)) << f;

    ASSERT_TRUE(ParseFrameList("7", &list, &error));
    EXPECT_TRUE(FrameListContains(list, 7));
    EXPECT_FALSE(FrameListContains(list, 8));
    ASSERT_TRUE(ParseFrameList("4294967295,3:3", &list, &error));
    EXPECT_TRUE(FrameListContains(list, 4294967295u));
    EXPECT_TRUE(FrameListContains(list, 3));
}

TEST(FrameList, MalformedListsAreRefusedWithAReason)
{
    for (const char* bad : {"", ",", "1,", ",1", "5:3", "a", "1:", ":4", "1::2", "-1", "1 ,2", "2,,3",
                            "4294967296", "99999999999999999999", "1:2:3", "0x10"}) {
        FrameList list;
        std::string error;
        EXPECT_FALSE(ParseFrameList(bad, &list, &error)) << '"' << bad << '"';
        EXPECT_FALSE(error.empty()) << bad;
    }
}

struct ReadPng {
    int width = 0, height = 0, colorType = -1, bitDepth = 0;
    std::vector<png_color> palette;
    std::vector<uint8_t> pixels;
};

bool Read(const std::string& path, ReadPng* out)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    out->width = static_cast<int>(png_get_image_width(png, info));
    out->height = static_cast<int>(png_get_image_height(png, info));
    out->colorType = png_get_color_type(png, info);
    out->bitDepth = png_get_bit_depth(png, info);
    png_colorp colours = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &colours, &count))
        out->palette.assign(colours, colours + count);
    out->pixels.resize(static_cast<size_t>(out->width) * out->height);
    for (int y = 0; y < out->height; y++)
        png_read_row(png, out->pixels.data() + static_cast<size_t>(y) * out->width, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return true;
}

std::vector<char> Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

TEST(IndexedPng, PaletteAndPixelsReadBackExactly)
{
    std::vector<uint8_t> pixels(ScreenBytes);
    uint32_t seed = 12345;
    for (auto& p : pixels) {
        seed = seed * 1103515245u + 12345u;
        p = static_cast<uint8_t>(seed >> 16);
    }
    pixels[0] = 0;
    pixels[ScreenBytes - 1] = 255;
    uint8_t sixBit[768], device[768];
    for (int i = 0; i < 768; i++)
        sixBit[i] = static_cast<uint8_t>((i * 7) & 63);
    ScalePalette(sixBit, device);

    std::string dir = ::testing::TempDir() + "/tivrel_png_test";
    std::filesystem::create_directories(dir);
    std::string error;
    ASSERT_TRUE(WriteIndexedPng((dir + "/a.png").c_str(), pixels.data(), ScreenWidth, ScreenHeight, device, &error))
        << error;
    ReadPng png;
    ASSERT_TRUE(Read(dir + "/a.png", &png));
    EXPECT_EQ(png.width, 320);
    EXPECT_EQ(png.height, 200);
    EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(png.bitDepth, 8);
    ASSERT_EQ(png.palette.size(), 256u);
    for (int i = 0; i < 256; i++) {
        EXPECT_EQ(png.palette[i].red, sixBit[3 * i] * 4) << i;
        EXPECT_EQ(png.palette[i].green, sixBit[3 * i + 1] * 4) << i;
        EXPECT_EQ(png.palette[i].blue, sixBit[3 * i + 2] * 4) << i;
    }
    EXPECT_EQ(png.pixels, pixels);

    // Same input, same bytes: capture runs can be compared file by file.
    ASSERT_TRUE(WriteIndexedPng((dir + "/b.png").c_str(), pixels.data(), ScreenWidth, ScreenHeight, device, &error));
    EXPECT_EQ(Bytes(dir + "/a.png"), Bytes(dir + "/b.png"));
}

TEST(IndexedPng, AnUnwritablePathFailsWithAReason)
{
    std::vector<uint8_t> pixels(ScreenBytes);
    uint8_t device[768] = {};
    std::string error;
    EXPECT_FALSE(WriteIndexedPng("/nonexistent-dir/x/y.png", pixels.data(), ScreenWidth, ScreenHeight, device, &error));
    EXPECT_NE(error.find("/nonexistent-dir/x/y.png"), std::string::npos);
}

}  // namespace
