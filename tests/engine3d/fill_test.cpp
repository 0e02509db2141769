// Triangle fillers: span rules, texture wrap, degenerate guards and the clipping paths.
#include <gtest/gtest.h>

// Triangles are written as {x, y} or {x, y, intensity}: the other slots stay 0.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <algorithm>
#include <random>
#include <vector>

#include "engine3d/fill.h"

namespace {

constexpr ClipRect FullScreen{0, 199, 0, 319};
enum Filler { Flat, Shaded, Textured };

// Texel (u, v) holds (u + 3v) | 1, never 0, so every written pixel shows.
const uint8_t* MarkedTexture()
{
    static std::vector<uint8_t> texture = [] {
        std::vector<uint8_t> t(65536);
        for (int i = 0; i < 65536; i++)
            t[i] = uint8_t(((i & 255) + 3 * (i >> 8)) | 1);
        return t;
    }();
    return texture.data();
}

std::vector<uint8_t> Draw(Filler filler, const TriangleSlot (&triangle)[3], const ClipRect& clip = FullScreen,
                          FillPath path = FillPath::Chosen, const uint8_t* texture = MarkedTexture())
{
    std::vector<uint8_t> image(64000);
    TriangleSlot s[3] = {triangle[0], triangle[1], triangle[2]};
    if (filler == Flat)
        FillFlatTriangle(s, clip, image.data(), 77, path);
    else if (filler == Shaded)
        FillShadedTriangle(s, clip, image.data(), path);
    else
        FillTexturedTriangle(s, clip, image.data(), texture, path);
    return image;
}

TEST(Fill, SpanEndsAndLastRows)
{
    struct Case {
        const char* what;
        Filler filler;
        TriangleSlot s[3];
        int row, first, last;   // the columns written on the row; none when first > last
    };
    const Case cases[] = {
        {"flat 10.4 to 10.6", Flat, {{10, 0}, {13, 5}, {12, 5}}, 1, 10, 11},
        {"flat 10.2 to 10.4", Flat, {{10, 0}, {12, 5}, {11, 5}}, 1, 1, 0},
        {"flat, flat bottom: top row", Flat, {{0, 0}, {0, 10}, {10, 10}}, 0, 1, 0},
        {"flat, flat bottom: row 4", Flat, {{0, 0}, {0, 10}, {10, 10}}, 4, 0, 4},
        {"flat, flat bottom: bottom row", Flat, {{0, 0}, {0, 10}, {10, 10}}, 10, 0, 10},
        {"flat, flat bottom: below", Flat, {{0, 0}, {0, 10}, {10, 10}}, 11, 1, 0},
        {"flat, lower part: last row", Flat, {{0, 0}, {10, 5}, {0, 10}}, 9, 0, 2},
        {"flat, lower part: bottom vertex row", Flat, {{0, 0}, {10, 5}, {0, 10}}, 10, 1, 0},
        {"shaded, flat bottom: bottom row", Shaded, {{0, 0, 9}, {0, 10, 9}, {10, 10, 9}}, 10, 0, 10},
        {"textured 10.0 to 20.0", Textured, {{10, 0}, {20, 0}, {10, 10}}, 0, 10, 19},
        {"textured 10.5 to 20.5", Textured, {{10, 0}, {31, 2}, {11, 2}}, 1, 11, 20},
        {"textured, left = right", Textured, {{10, 0}, {12, 4}, {11, 4}}, 0, 1, 0},
        {"textured, a quarter pixel wide", Textured, {{10, 0}, {12, 4}, {11, 4}}, 1, 10, 10},
        {"textured, flat bottom: row above", Textured, {{5, 0}, {0, 6}, {12, 6}}, 5, 1, 10},
        {"textured, flat bottom: bottom row", Textured, {{5, 0}, {0, 6}, {12, 6}}, 6, 1, 0},
        {"textured, lower part: bottom vertex row", Textured, {{7, 0}, {3, 3}, {1, 9}}, 9, 1, 0},
    };
    for (const Case& c : cases) {
        const auto image = Draw(c.filler, c.s);
        for (int x = 0; x < 320; x++)
            EXPECT_EQ(image[c.row * 320 + x] != 0, x >= c.first && x <= c.last) << c.what << ", column " << x;
    }
}

TEST(Fill, ShadedInterpolatesAlongEdgesAndSpans)
{
    // Flat top from (0, 0) at intensity 0 to (40, 0) at 40; bottom vertex (0, 40) at 0.
    auto image = Draw(Shaded, {{0, 0, 0}, {40, 0, 40}, {0, 40, 0}});
    EXPECT_EQ(image[20], 20);
    EXPECT_EQ(image[40], 40);
    EXPECT_EQ(image[10 * 320 + 15], 15);   // row 10 spans 0..30 at intensities 0..30
    EXPECT_EQ(image[10 * 320 + 30], 30);
    EXPECT_EQ(image[10 * 320 + 31], 0);
    // From 0 to 1 over two columns: the middle pixel's 0.5 rounds up.
    image = Draw(Shaded, {{0, 0, 0}, {2, 0, 1}, {0, 10, 0}});
    EXPECT_EQ(std::vector<int>(image.begin(), image.begin() + 3), (std::vector<int>{0, 1, 1}));
}

TEST(Fill, TextureCoordinatesWrapFollowTheLeftEdgeAndRestartAtTheMiddleVertex)
{
    std::vector<uint8_t> texture(65536);   // texel (u, v) holds u + 16 v, modulo 256
    for (int i = 0; i < 65536; i++)
        texture[i] = uint8_t((i & 255) + 16 * (i >> 8));
    auto draw = [&](const TriangleSlot(&s)[3]) {
        return Draw(Textured, s, FullScreen, FillPath::Chosen, texture.data());
    };
    auto image = draw({{0, 0, 0, 250, 0}, {13, 0, 0, 263, 0}, {0, 13, 0, 250, 0}});
    EXPECT_EQ(std::vector<int>(image.begin(), image.begin() + 13),
              (std::vector<int>{250, 251, 252, 253, 254, 255, 0, 1, 2, 3, 4, 5, 6}));
    // Flat top, and a long edge on the left: v runs down the left edge, one per row.
    EXPECT_EQ(draw({{0, 0, 0, 0, 0}, {10, 0, 0, 0, 0}, {0, 10, 0, 0, 10}})[5 * 320], 5 * 16);
    EXPECT_EQ(draw({{0, 0, 0, 0, 0}, {10, 5, 0, 0, 0}, {0, 10, 0, 0, 10}})[3 * 320], 3 * 16);
    // The left edge steps u and v by 256 / 3 (8.8, truncated) down to the middle
    // vertex, where both restart at 1 instead of arriving at 255 / 256.
    EXPECT_EQ(draw({{0, 0, 0, 0, 0}, {0, 3, 0, 1, 1}, {20, 6, 0, 1, 1}})[3 * 320], 17);
}

TEST(Fill, DegenerateAndOverflowingTrianglesDrawNothing)
{
    const std::vector<uint8_t> empty(64000);
    EXPECT_EQ(Draw(Textured, {{0, 5}, {100, 5}, {50, 5}}), empty);   // one row
    for (Filler filler : {Flat, Shaded, Textured})
        EXPECT_EQ(Draw(filler, {{0, 0, 5}, {5, 5, 5}, {10, 10, 5}}), empty) << filler;   // W = 0
    // W = -1 (1/65,536 pixel) with texture runs of thousands of texels: the gradient
    // does not fit 32 bits.
    EXPECT_EQ(Draw(Textured, {{4, 6, 0, 2202, 2751}, {3, 3, 0, 2151, 15329}, {6, 12, 0, 18243, 25907}}), empty);
    // Coordinates this far out would overflow the slopes.
    const TriangleSlot far[4][3] = {{{0, 0, 5}, {40000, 10, 5}, {0, 100, 5}},
                                    {{300, 0, 5}, {-40000, 10, 5}, {300, 100, 5}},
                                    {{0, -40000, 5}, {319, -40000, 5}, {160, 8000, 5}},
                                    {{0, 40000, 5}, {319, 40000, 5}, {160, -8000, 5}}};
    for (Filler filler : {Flat, Shaded, Textured})
        for (const auto& s : far)
            EXPECT_EQ(Draw(filler, s), empty) << filler << " " << s[1].x << "," << s[1].y;
}

TriangleSlot RandomSlot(std::mt19937& rng)
{
    std::uniform_int_distribution<int> x(1, 318), y(1, 198), value(-300, 600), intensity(1, 250);
    return TriangleSlot{x(rng), y(rng), intensity(rng), value(rng), value(rng)};
}

// The image with every pixel outside `r` cleared.
std::vector<uint8_t> Masked(std::vector<uint8_t> image, const ClipRect& r)
{
    for (int y = 0; y < 200; y++) {
        auto row = image.begin() + y * 320;
        bool inside = y >= r.top && y <= r.bottom;
        std::fill(row, row + (inside ? std::clamp(r.left, 0, 320) : 320), 0);
        std::fill(row + std::clamp(r.right + 1, 0, 320), row + 320, 0);
    }
    return image;
}

// On random triangles inside the screen: the unclipped path stays inside the
// triangle's bounds (textured spans may start one column left of them), the forced
// row-clipped and per-pixel paths give its pixels, and clipping to a random
// rectangle, to one touching the triangle's bounds or cutting one pixel off one side
// gives them masked to the rectangle.
TEST(Fill, EveryPathGivesTheUnclippedPixelsMaskedToTheRectangle)
{
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> top(0, 120), left(0, 200), size(10, 120);
    for (int n = 0; n < 400; n++) {
        const TriangleSlot triangle[3] = {RandomSlot(rng), RandomSlot(rng), RandomSlot(rng)};
        auto [xmin, xmax] = std::minmax({triangle[0].x, triangle[1].x, triangle[2].x});
        auto [ymin, ymax] = std::minmax({triangle[0].y, triangle[1].y, triangle[2].y});
        ClipRect random{top(rng), 0, left(rng), 0};
        random.bottom = std::min(199, random.top + size(rng));
        random.right = std::min(319, random.left + size(rng));
        const ClipRect clips[] = {random,
                                  {ymin, 199, xmin, 319},
                                  {0, ymax, 0, xmax},
                                  {ymin + 1, ymax, xmin, xmax},
                                  {ymin, ymax - 1, xmin, xmax},
                                  {ymin, ymax, xmin + 1, xmax},
                                  {ymin, ymax, xmin, xmax - 1}};
        for (Filler filler : {Flat, Shaded, Textured}) {
            const auto reference = Draw(filler, triangle, FullScreen, FillPath::Unclipped);
            ASSERT_TRUE(reference == Masked(reference, {ymin, ymax, xmin - (filler == Textured), xmax})) << filler << n;
            ASSERT_TRUE(Draw(filler, triangle, FullScreen, FillPath::RowClipped) == reference) << filler << " " << n;
            ASSERT_TRUE(Draw(filler, triangle, FullScreen, FillPath::PerPixel) == reference) << filler << " " << n;
            ASSERT_TRUE(Draw(filler, triangle) == reference) << filler << " " << n;
            for (const ClipRect& clip : clips)
                ASSERT_TRUE(Draw(filler, triangle, clip) == Masked(reference, clip))
                    << filler << " " << n << " clip " << &clip - clips;
        }
    }
}

}   // namespace
