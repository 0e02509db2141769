// Capture mode's frame list and indexed PNG files.
#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

#include "core/safe_write.h"
#include "core/png_write.h"
#include "core/shared.h"
#include "video/frame_list.h"

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

// Every pixel reads back as the device palette colour of its index, so both the
// PLTE (blue, green, red turned into red, green, blue) and the indices are exact.
TEST(IndexedPng, ReadsBackThroughThePaletteAndIsByteForByteRepeatable)
{
    std::vector<uint8_t> pixels(ScreenBytes), device(768);
    for (int i = 0; i < ScreenBytes; i++)
        pixels[i] = uint8_t(i * 2654435761u >> 24);
    for (int i = 0; i < 768; i++)
        device[i] = uint8_t(i * 7 + i / 3);
    std::string error;
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(EncodeIndexedPng(pixels.data(), ScreenWidth, ScreenHeight, device.data(), &a, &error)) << error;
    ASSERT_TRUE(EncodeIndexedPng(pixels.data(), ScreenWidth, ScreenHeight, device.data(), &b, &error)) << error;
    EXPECT_EQ(a, b);
    EXPECT_EQ(a[25], PNG_COLOR_TYPE_PALETTE);   // IHDR colour type

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, a.data(), a.size()));
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    ASSERT_EQ(image.width, uint32_t(ScreenWidth));
    for (int i = 0; i < ScreenBytes; i++)
        for (int c = 0; c < 3; c++)
            ASSERT_EQ(rgb[3 * i + c], device[3 * pixels[i] + 2 - c]) << "pixel " << i << " component " << c;

    EXPECT_NE(SafeWritePath("/nonexistent/y.png", a.data(), a.size(), true, &error), SafeWriteOk);
    EXPECT_NE(error.find("/nonexistent/y.png"), std::string::npos);
}

}   // namespace
