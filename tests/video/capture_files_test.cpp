// Capture mode's frame list and indexed PNG files.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "video/display.h"

namespace {

TEST(FrameList, SelectsExactlyItsFramesAndRefusesMalformedLists)
{
    FrameList list;
    std::string error;
    ASSERT_TRUE(ParseFrameList("0:99,500,1200:1210,4294967295,3:3", &list, &error)) << error;
    for (uint32_t f : {0u, 3u, 99u, 500u, 1200u, 1210u, 4294967295u})
        EXPECT_TRUE(FrameListContains(list, f)) << f;
    for (uint32_t f : {100u, 499u, 501u, 1199u, 1211u, 4294967294u})
        EXPECT_FALSE(FrameListContains(list, f)) << f;

    for (const char* bad : {"", ",", "1,", ",1", "5:3", "a", "1:", ":4", "1::2", "-1", "1 ,2", "2,,3", "4294967296",
                            "99999999999999999999", "1:2:3", "0x10"}) {
        error.clear();
        EXPECT_FALSE(ParseFrameList(bad, &list, &error)) << '"' << bad << '"';
        EXPECT_FALSE(error.empty()) << bad;
    }
}

std::vector<char> Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// Every pixel reads back as the device palette colour of its index, so both the
// PLTE (blue, green, red turned into red, green, blue) and the indices are exact.
TEST(IndexedPng, ReadsBackThroughThePaletteAndIsByteForByteRepeatable)
{
    std::vector<uint8_t> pixels(ScreenBytes), device(768);
    for (int i = 0; i < ScreenBytes; i++)
        pixels[i] = uint8_t(i * 2654435761u >> 24);
    for (int i = 0; i < 768; i++)
        device[i] = uint8_t(i * 7 + i / 3);
    const std::string dir = ::testing::TempDir() + "/tivrel_png_test", a = dir + "/a.png", b = dir + "/b.png";
    std::filesystem::create_directories(dir);
    std::string error;
    ASSERT_TRUE(WriteIndexedPng(a.c_str(), pixels.data(), ScreenWidth, ScreenHeight, device.data(), &error)) << error;
    ASSERT_TRUE(WriteIndexedPng(b.c_str(), pixels.data(), ScreenWidth, ScreenHeight, device.data(), &error)) << error;
    EXPECT_EQ(Bytes(a), Bytes(b));
    EXPECT_EQ(Bytes(a)[25], PNG_COLOR_TYPE_PALETTE);   // IHDR colour type

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, a.c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    ASSERT_EQ(image.width, uint32_t(ScreenWidth));
    for (int i = 0; i < ScreenBytes; i++)
        for (int c = 0; c < 3; c++)
            ASSERT_EQ(rgb[3 * i + c], device[3 * pixels[i] + 2 - c]) << "pixel " << i << " component " << c;

    EXPECT_FALSE(
        WriteIndexedPng("/nonexistent/y.png", pixels.data(), ScreenWidth, ScreenHeight, device.data(), &error));
    EXPECT_NE(error.find("/nonexistent/y.png"), std::string::npos);
}

}   // namespace
