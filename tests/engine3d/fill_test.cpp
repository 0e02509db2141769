// Triangle fillers: span rules, texture wrap, clipping paths, rejects.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "engine3d/fill.h"

namespace {

constexpr ClipRect FullScreen{0, 199, 0, 319};

struct Image {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(64000, 0);
    uint8_t at(int x, int y) const { return pixels[y * 320 + x]; }
    // Columns written (non-zero) on row y.
    void Clear() { std::fill(pixels.begin(), pixels.end(), 0); }
    std::vector<int> Row(int y) const
    {
        std::vector<int> columns;
        for (int x = 0; x < 320; x++)
            if (at(x, y))
                columns.push_back(x);
        return columns;
    }
};

std::vector<int> Range(int first, int last)
{
    std::vector<int> r;
    for (int x = first; x <= last; x++)
        r.push_back(x);
    return r;
}

// Texture whose texel (u, v) is (u + 3v) | 1, never 0, so written pixels show.
std::vector<uint8_t> MarkedTexture()
{
    std::vector<uint8_t> t(65536);
    for (int v = 0; v < 256; v++)
        for (int u = 0; u < 256; u++)
            t[v * 256 + u] = uint8_t((u + 3 * v) | 1);
    return t;
}

TEST(FillFlat, SpanEndsRoundHalfUpAndCoverBothEndColumns)
{
    // Row 1 runs from 10.4 (long edge) to 10.6 (short edge): columns 10 and 11.
    Image image;
    TriangleSlot wide[3] = {{10, 0, 0, 0, 0}, {13, 5, 0, 0, 0}, {12, 5, 0, 0, 0}};
    FillFlatTriangle(wide, FullScreen, image.pixels.data(), 9);
    EXPECT_EQ(image.Row(1), (std::vector<int>{10, 11}));

    // Row 1 from 10.2 to 10.4: both ends round to 10, nothing written.
    Image narrow;
    TriangleSlot slim[3] = {{10, 0, 0, 0, 0}, {12, 5, 0, 0, 0}, {11, 5, 0, 0, 0}};
    FillFlatTriangle(slim, FullScreen, narrow.pixels.data(), 9);
    EXPECT_TRUE(narrow.Row(1).empty());
}

TEST(FillFlat, MiddleAndBottomOnOneRowDrawsThatRow)
{
    Image image;
    TriangleSlot s[3] = {{0, 0, 0, 0, 0}, {0, 10, 0, 0, 0}, {10, 10, 0, 0, 0}};
    FillFlatTriangle(s, FullScreen, image.pixels.data(), 5);
    EXPECT_TRUE(image.Row(0).empty());
    for (int y = 1; y <= 9; y++)
        EXPECT_EQ(image.Row(y), Range(0, y)) << "row " << y;
    EXPECT_EQ(image.Row(10), Range(0, 10));
    EXPECT_TRUE(image.Row(11).empty());
    EXPECT_EQ(image.at(3, 5), 5);
}

TEST(FillShaded, InterpolatesIntensityAcrossTheSpan)
{
    // Flat top row 0..40 at intensity 0 on the left and 40 on the right; the
    // bottom vertex sits below the left end. Row 1's span runs left to right with
    // a step of (right - left) / (xr - xl).
    Image image;
    TriangleSlot s[3] = {{0, 0, 0, 0, 0}, {40, 0, 40, 0, 0}, {0, 40, 0, 0, 0}};
    FillShadedTriangle(s, FullScreen, image.pixels.data());
    // Row 0 (the lower part starts at once): 0..40 with one intensity step per column.
    EXPECT_EQ(image.at(20, 0), 20);
    EXPECT_EQ(image.at(40, 0), 40);
    // On row 10 the short edge runs from (40, 0) to (0, 40): x = 30, intensity 30.
    EXPECT_EQ(image.at(30, 10), 30);
    EXPECT_EQ(image.at(15, 10), 15);
    EXPECT_EQ(image.at(31, 10), 0);
}

TEST(FillTextured, SpanCoversCeilWidthEndingBeforeRoundedRightEdge)
{
    std::vector<uint8_t> texture = MarkedTexture();
    // Flat top from 10.0 to 20.0 on row 0: columns 10..19.
    Image a;
    TriangleSlot top[3] = {{10, 0, 0, 0, 0}, {20, 0, 0, 0, 0}, {10, 10, 0, 0, 0}};
    FillTexturedTriangle(top, FullScreen, a.pixels.data(), texture.data());
    EXPECT_EQ(a.Row(0), Range(10, 19));

    // Row 1 from 10.5 (long edge, slope 0.5) to 20.5 (slope 10.5): columns 11..20.
    Image b;
    TriangleSlot half[3] = {{10, 0, 0, 0, 0}, {31, 2, 0, 0, 0}, {11, 2, 0, 0, 0}};
    FillTexturedTriangle(half, FullScreen, b.pixels.data(), texture.data());
    EXPECT_EQ(b.Row(1), Range(11, 20));

    // Middle and bottom on one row: rows y0..y1-1 only.
    Image c;
    TriangleSlot flatBottom[3] = {{5, 0, 0, 0, 0}, {0, 6, 0, 0, 0}, {12, 6, 0, 0, 0}};
    FillTexturedTriangle(flatBottom, FullScreen, c.pixels.data(), texture.data());
    EXPECT_FALSE(c.Row(5).empty());
    EXPECT_TRUE(c.Row(6).empty());
}

TEST(FillTextured, SpanNarrowerThanAPixelWritesOneAndEmptySpanNone)
{
    std::vector<uint8_t> texture = MarkedTexture();
    // Edges 0.25 apart on row 1 (slopes 0.25 and 0.5 from x = 10): n = 1.
    Image image;
    TriangleSlot s[3] = {{10, 0, 0, 0, 0}, {12, 4, 0, 0, 0}, {11, 4, 0, 0, 0}};
    FillTexturedTriangle(s, FullScreen, image.pixels.data(), texture.data());
    EXPECT_EQ(image.Row(1).size(), 1u);
    // Row 0: left = right, nothing.
    EXPECT_TRUE(image.Row(0).empty());
}

TEST(FillTextured, ColumnsWrapModulo256)
{
    std::vector<uint8_t> texture(65536, 0);
    for (int u = 0; u < 256; u++)
        texture[u] = uint8_t(u);   // row 0: texel u holds u
    Image image;
    // u 250 at column 0 to 263 at column 13: one texel per pixel.
    TriangleSlot s[3] = {{0, 0, 0, 250, 0}, {13, 0, 0, 263, 0}, {0, 13, 0, 250, 0}};
    FillTexturedTriangle(s, FullScreen, image.pixels.data(), texture.data());
    std::vector<int> sampled;
    for (int x = 0; x < 13; x++)
        sampled.push_back(image.at(x, 0));
    EXPECT_EQ(sampled, (std::vector<int>{250, 251, 252, 253, 254, 255, 0, 1, 2, 3, 4, 5, 6}));
}

TEST(FillTextured, DegenerateTrianglesDrawNothing)
{
    std::vector<uint8_t> texture = MarkedTexture();
    Image image;
    TriangleSlot oneRow[3] = {{0, 5, 0, 0, 0}, {100, 5, 0, 0, 0}, {50, 5, 0, 0, 0}};
    FillTexturedTriangle(oneRow, FullScreen, image.pixels.data(), texture.data());
    // W = -1 with a 10,000-texel run: the gradient does not fit 32 bits.
    TriangleSlot steep[3] = {{0, 0, 0, 0, 0}, {1, 1, 0, 10000, 0}, {3, 3, 0, 0, 0}};
    FillTexturedTriangle(steep, FullScreen, image.pixels.data(), texture.data());
    // Coordinates far off screen are refused, not stepped through overflowing slopes.
    TriangleSlot huge[3] = {{-40000, 0, 0, 0, 0}, {40000, 10, 0, 0, 0}, {0, 100, 0, 0, 0}};
    FillTexturedTriangle(huge, FullScreen, image.pixels.data(), texture.data());
    FillFlatTriangle(huge, FullScreen, image.pixels.data(), 3);
    EXPECT_EQ(std::count(image.pixels.begin(), image.pixels.end(), 0), 64000);
}

TEST(FillClip, TrianglesOutsideTheRectangleWriteNothing)
{
    std::vector<uint8_t> texture = MarkedTexture();
    const ClipRect clip{50, 149, 100, 219};
    const TriangleSlot cases[4][3] = {
        {{120, 0, 5, 0, 0}, {200, 20, 5, 9, 0}, {150, 49, 5, 0, 9}},      // above
        {{120, 150, 5, 0, 0}, {200, 170, 5, 9, 0}, {150, 199, 5, 0, 9}},  // below
        {{0, 60, 5, 0, 0}, {99, 80, 5, 9, 0}, {50, 120, 5, 0, 9}},        // left
        {{220, 60, 5, 0, 0}, {319, 80, 5, 9, 0}, {250, 120, 5, 0, 9}},    // right
    };
    for (const auto& triangle : cases) {
        Image image;
        TriangleSlot s[3];
        std::memcpy(s, triangle, sizeof s);
        FillFlatTriangle(s, clip, image.pixels.data(), 1);
        std::memcpy(s, triangle, sizeof s);
        FillShadedTriangle(s, clip, image.pixels.data());
        std::memcpy(s, triangle, sizeof s);
        FillTexturedTriangle(s, clip, image.pixels.data(), texture.data());
        EXPECT_EQ(std::count(image.pixels.begin(), image.pixels.end(), 0), 64000);
    }
}

// Draws one random triangle with each filler, with the path given.
void DrawAll(const TriangleSlot triangle[3], const ClipRect& clip, FillPath path, const std::vector<uint8_t>& texture,
             Image* flat, Image* shaded, Image* textured)
{
    flat->Clear();
    shaded->Clear();
    textured->Clear();
    TriangleSlot s[3];
    std::memcpy(s, triangle, sizeof s);
    FillFlatTriangle(s, clip, flat->pixels.data(), 77, path);
    std::memcpy(s, triangle, sizeof s);
    FillShadedTriangle(s, clip, shaded->pixels.data(), path);
    std::memcpy(s, triangle, sizeof s);
    FillTexturedTriangle(s, clip, textured->pixels.data(), texture.data(), path);
}

TriangleSlot RandomSlot(std::mt19937& rng)
{
    std::uniform_int_distribution<int> x(1, 318), y(1, 198), value(-300, 600);
    // Shaded intensities stay positive and away from 0 so written pixels show.
    return TriangleSlot{x(rng), y(rng), 1 + std::abs(value(rng)) % 250, value(rng), value(rng)};
}

TEST(FillClip, AllThreePathsGiveTheSamePixels)
{
    std::vector<uint8_t> texture = MarkedTexture();
    std::mt19937 rng(1234);
    Image reference[3], perPixel[3], rowClipped[3];
    for (int n = 0; n < 400; n++) {
        TriangleSlot triangle[3] = {RandomSlot(rng), RandomSlot(rng), RandomSlot(rng)};
        DrawAll(triangle, FullScreen, FillPath::Unclipped, texture, &reference[0], &reference[1], &reference[2]);
        DrawAll(triangle, FullScreen, FillPath::PerPixel, texture, &perPixel[0], &perPixel[1], &perPixel[2]);
        DrawAll(triangle, FullScreen, FillPath::RowClipped, texture, &rowClipped[0], &rowClipped[1], &rowClipped[2]);
        for (int f = 0; f < 3; f++) {
            ASSERT_EQ(perPixel[f].pixels, reference[f].pixels) << "filler " << f << " triangle " << n;
            ASSERT_EQ(rowClipped[f].pixels, reference[f].pixels) << "filler " << f << " triangle " << n;
        }
    }
}

TEST(FillClip, ClippedTriangleEqualsUnclippedOneMaskedToTheRectangle)
{
    std::vector<uint8_t> texture = MarkedTexture();
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> top(0, 120), left(0, 200), size(10, 120);
    Image reference[3], clipped[3];
    for (int n = 0; n < 400; n++) {
        TriangleSlot triangle[3] = {RandomSlot(rng), RandomSlot(rng), RandomSlot(rng)};
        ClipRect clip;
        clip.top = top(rng);
        clip.bottom = std::min(199, clip.top + size(rng));
        clip.left = left(rng);
        clip.right = std::min(319, clip.left + size(rng));
        DrawAll(triangle, FullScreen, FillPath::Chosen, texture, &reference[0], &reference[1], &reference[2]);
        DrawAll(triangle, clip, FillPath::Chosen, texture, &clipped[0], &clipped[1], &clipped[2]);
        for (int f = 0; f < 3; f++) {
            int wrong = 0;
            for (int y = 0; y < 200; y++)
                for (int x = 0; x < 320; x++) {
                    bool inside = y >= clip.top && y <= clip.bottom && x >= clip.left && x <= clip.right;
                    wrong += clipped[f].at(x, y) != (inside ? reference[f].at(x, y) : 0);
                }
            ASSERT_EQ(wrong, 0) << "filler " << f << " triangle " << n;
        }
    }
}

TEST(FillClip, UnclippedPathStaysInsideTheTrianglesBounds)
{
    // The chosen path draws a triangle touching no bound without tests, so its pixels
    // must lie inside its bounding box (textured spans may start one column left).
    std::vector<uint8_t> texture = MarkedTexture();
    std::mt19937 rng(7);
    Image images[3];
    for (int n = 0; n < 300; n++) {
        TriangleSlot triangle[3] = {RandomSlot(rng), RandomSlot(rng), RandomSlot(rng)};
        int xmin = 320, xmax = -1, ymin = 200, ymax = -1;
        for (const TriangleSlot& s : triangle) {
            xmin = std::min(xmin, s.x), xmax = std::max(xmax, s.x);
            ymin = std::min(ymin, s.y), ymax = std::max(ymax, s.y);
        }
        DrawAll(triangle, FullScreen, FillPath::Chosen, texture, &images[0], &images[1], &images[2]);
        for (int f = 0; f < 3; f++)
            for (int y = 0; y < 200; y++)
                for (int x = 0; x < 320; x++)
                    if (images[f].at(x, y)) {
                        ASSERT_TRUE(y >= ymin && y <= ymax && x >= xmin - (f == 2) && x <= xmax)
                            << "filler " << f << " triangle " << n << " wrote " << x << "," << y;
                    }
    }
}

}  // namespace
