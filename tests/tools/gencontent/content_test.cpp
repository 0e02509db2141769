// The default data as contentgen builds it, against what the demo relies on: the
// sizes and pixel values of the entry table, seamless textures, smooth maps whose
// angles close, a movement path inside the big map, a strip that refracts gently,
// entries that fit the archive's areas, and the same bytes from the program, run
// after run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/content_format.h"
#include "archive/entries.h"
#include "core/bytes.h"
#include "gencontent/content.h"

namespace fs = std::filesystem;

namespace {

// Each entry is built once per test process.
const std::vector<uint8_t>& Entry(const std::string& name)
{
    static std::map<std::string, std::vector<uint8_t>> built;
    auto found = built.find(name);
    if (found == built.end())
        found = built.emplace(name, BuildEntry(name)).first;
    return found->second;
}
const uint8_t* Palette(const std::string& name) { return Entry(name).data() + PicturePaletteOffset; }
const uint8_t* Pixels(const std::string& name) { return Entry(name).data() + PicturePixelsOffset; }
double Luma(const uint8_t* palette, int index)
{
    const uint8_t* c = palette + index * 3;
    return 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2];
}
int CircularGap(int a, int b)
{
    int d = (a - b) & 255;
    return d > 128 ? 256 - d : d;
}

const char* const Maps320[] = {"angrad1.dat", "angrad2.dat", "angrad3.dat", "angrad4.dat",
                               "angrad5.dat", "angrad6.dat", "angrad7.dat", "backgr.dat"};

// ---- the entry table ----------------------------------------------------------------------

// Area limits, pixel values and palettes of these same bytes are the data check's, which
// passes the default data clean; here: exact sizes, and what that check cannot see.
TEST(Entries, HaveTheSizesTheDemoReadsAndVisibleContent)
{
    for (int i = 0; i < DataEntryCount; i++) {
        const DataEntry& e = DataEntries[i];
        if (e.kind == EntryMusic || e.kind == EntryMesh)
            continue;
        const std::vector<uint8_t>& bytes = Entry(e.name);
        EXPECT_EQ(bytes.size(), DataEntryNeeds(e)) << e.name;
        // An overlay whose font failed to load would be (nearly) empty.
        if (e.kind == EntryOverlay) {
            EXPECT_GT(std::count_if(bytes.begin() + PicturePixelsOffset, bytes.end(), [](uint8_t v) { return v != 0; }),
                      1500)
                << e.name;
        }
    }
    // The title is shown 20 rows lower: its last 20 rows never reach the screen.
    for (uint32_t k = 180 * PictureWidth; k < PicturePixelBytes; k++)
        ASSERT_EQ(Pixels("tivrel.scx")[k], 0);
    EXPECT_GE(std::set<int>(Pixels("thx.scx"), Pixels("thx.scx") + PicturePixelBytes).size(), 200u);
}

// ---- overlays --------------------------------------------------------------------------------

TEST(Overlays, LyricsFillFourBandsOfThirtyRowsWithRoomAtTheEdges)
{
    const int bands[4] = {0, 55, 109, 162};
    const uint8_t* p = Pixels("lyrics.scx");
    int perBand[4] = {0, 0, 0, 0};
    for (int y = 0; y < 200; y++) {
        int band = -1;
        for (int b = 0; b < 4; b++)
            if (y >= bands[b] && y < bands[b] + 30)
                band = b;
        for (int x = 0; x < 320; x++) {
            if (!p[y * 320 + x])
                continue;
            ASSERT_GE(band, 0) << "lyrics pixel outside the bands at row " << y;
            ASSERT_TRUE(y != bands[band] && y != bands[band] + 29) << "line cut at the edge of band " << band;
            perBand[band]++;
        }
    }
    for (int b = 0; b < 4; b++)
        EXPECT_GT(perBand[b], 400) << "band " << b;
}

// Bright letter pixels always sit inside a non-transparent rim, so the text stays
// readable over any part of the moving tunnel behind it.
TEST(Overlays, BrightPixelsNeverTouchTransparency)
{
    for (const char* name : {"tivrel.scx", "name1.scx", "name2.scx", "name3.scx", "lyrics.scx"}) {
        const uint8_t* p = Pixels(name);
        for (int y = 1; y < 199; y++)
            for (int x = 1; x < 319; x++) {
                int v = p[y * 320 + x];
                if (!((v >= 6 && v <= 8) || (v >= 13 && v <= 15)))
                    continue;
                bool open =
                    !p[y * 320 + x - 1] || !p[y * 320 + x + 1] || !p[(y - 1) * 320 + x] || !p[(y + 1) * 320 + x];
                ASSERT_FALSE(open) << name << " at " << x << "," << y;
            }
    }
}

// ---- textures --------------------------------------------------------------------------------

// No seam: the step from the last column to the first is no larger than a typical
// step between neighbours (same for rows). Palettes are smooth over the used values
// (18soh joins two ramps after 119), so the tunnels shade without visible steps.
TEST(Textures, WrapWithoutASeamAndShadeSmoothly)
{
    for (int i = 0; i < DataEntryCount; i++) {
        const DataEntry& e = DataEntries[i];
        if (e.kind != EntryTexture)
            continue;
        const uint8_t *p = Pixels(e.name), *pal = Palette(e.name);
        auto luma = [&](int x, int y) { return Luma(pal, p[(y & 255) * 256 + (x & 255)]); };
        double inner = 0, seamX = 0, seamY = 0;
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 255; x++)
                inner += std::abs(luma(x + 1, y) - luma(x, y));
        inner /= 255 * 256;
        for (int k = 0; k < 256; k++) {
            seamX += std::abs(luma(255, k) - luma(0, k));
            seamY += std::abs(luma(k, 255) - luma(k, 0));
        }
        EXPECT_LE(seamX / 256, 2 * inner + 0.5) << e.name << " columns";
        EXPECT_LE(seamY / 256, 2 * inner + 0.5) << e.name << " rows";
        int lo = *std::min_element(p, p + TextureBytes), hi = *std::max_element(p, p + TextureBytes);
        for (int k = lo; k < hi; k++) {
            if (std::string(e.name) == "18soh.scx" && k == 119)
                continue;
            for (int c = 0; c < 3; c++)
                ASSERT_LE(std::abs(pal[k * 3 + c] - pal[(k + 1) * 3 + c]), 3) << e.name << " entry " << k;
        }
    }
    // The strip shows through 7venus entries 129..255, lit letter sides brighter.
    for (int k = 129; k < 255; k++)
        EXPECT_LE(Luma(Palette("7venus.scx"), k), Luma(Palette("7venus.scx"), k + 1));
}

// Environment mapping samples the middle where a face looks at the viewer.
TEST(Textures, ReflectionMapsAreBrightInTheMiddleAndDarkAtTheRim)
{
    for (const char* name : {"23mview.scx", "11cont.scx", "23mview2.scx", "18soh3d.scx", "15mview.scx"}) {
        double centre = 0, rim = 0;
        int nc = 0, nr = 0;
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 256; x++) {
                double dx = x - 127.5, dy = y - 127.5, l = Luma(Palette(name), Pixels(name)[y * 256 + x]);
                if (dx * dx + dy * dy < 48 * 48)
                    centre += l, nc++;
                if (x < 8 || y < 8 || x > 247 || y > 247)
                    rim += l, nr++;
            }
        EXPECT_GT(centre / nc, 2 * (rim / nr) + 8) << name;
    }
}

// ---- maps and the movement path -----------------------------------------------------------

// Fraction of neighbouring pixels whose byte k jumps by more than a quarter turn.
double JumpFraction(const std::vector<uint8_t>& map, int width, int height, int k)
{
    long jumps = 0, pairs = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            int v = map[(y * width + x) * 2 + k];
            if (x + 1 < width)
                jumps += CircularGap(v, map[(y * width + x + 1) * 2 + k]) > 64, pairs++;
            if (y + 1 < height)
                jumps += CircularGap(v, map[((y + 1) * width + x) * 2 + k]) > 64, pairs++;
        }
    return (double)jumps / pairs;
}

TEST(Maps, AreSmoothAlmostEverywhereAndAllDifferent)
{
    for (const char* name : Maps320)
        for (int k = 0; k < 2; k++)
            EXPECT_LT(JumpFraction(Entry(name), 320, 200, k), 0.03) << name << " byte " << k;
    for (int k = 0; k < 2; k++)
        EXPECT_LT(JumpFraction(Entry("bigang.dat"), 640, 400, k), 0.01) << "byte " << k;
    for (int a = 0; a < 8; a++)
        for (int b = a + 1; b < 8; b++) {
            const std::vector<uint8_t>&ma = Entry(Maps320[a]), &mb = Entry(Maps320[b]);
            long same = 0;   // pixels whose whole pair matches
            for (size_t i = 0; i < ma.size(); i += 2)
                same += ma[i] == mb[i] && ma[i + 1] == mb[i + 1];
            EXPECT_LT(same, 64000 / 20) << Maps320[a] << " vs " << Maps320[b];
        }
}

// Angles wrap a whole number of texture turns: no seam where the angle passes from
// +180 to -180 degrees (the row pair straddling the centre, left of it).
TEST(Maps, TunnelAnglesCloseWithoutASeam)
{
    struct Case {
        const char* name;
        int width, height, skipFrom, skipTo, skip2From, skip2To;   // columns near centres or poles
    } cases[] = {
        {"angrad1.dat", 320, 200, 130, 320, 0, 0},   {"angrad2.dat", 320, 200, 130, 320, 0, 0},
        {"angrad5.dat", 320, 200, 130, 320, 0, 0},   {"bigang.dat", 640, 400, 290, 640, 0, 0},
        {"angrad7.dat", 320, 200, 34, 94, 226, 286},   // both poles; the cut runs between them too
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t>& m = Entry(c.name);
        int above = c.height / 2 - 1, below = c.height / 2;
        for (int x = 0; x < c.width; x++) {
            if ((x >= c.skipFrom && x < c.skipTo) || (x >= c.skip2From && x < c.skip2To))
                continue;
            for (int k = 0; k < 2; k++)
                ASSERT_LE(CircularGap(m[(above * c.width + x) * 2 + k], m[(below * c.width + x) * 2 + k]), 12)
                    << c.name << " column " << x << " byte " << k;
        }
    }
}

// Scene 3 shows windows of the big map along the path: the path is a smooth loop of
// 809 records inside the map, and the big map's tunnel, centred in it, stays in view.
TEST(Maps, MovementPathIsAClosedSmoothLoopAroundTheBigMapsCentre)
{
    const std::vector<uint8_t>& t = Entry("movement.dat");
    auto field = [&](int record, int offset) { return (int32_t)ReadLE32(&t[record * MovementRecordBytes + offset]); };
    int minX = 999, maxX = -1, minY = 999, maxY = -1;
    for (int n = 0; n < (int)MovementRecords; n++) {
        int x = field(n, 0), y = field(n, 4);
        ASSERT_TRUE(x > 0 && x <= MovementMaxX && y > 0 && y <= MovementMaxY) << "record " << n;
        for (int b = 8; b < 32; b++)
            ASSERT_EQ(t[n * 32 + b], 0) << "record " << n;
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
        int p = n == 0 ? 808 : n - 1;   // record 808 leads back into record 0
        EXPECT_LE(std::abs(x - field(p, 0)), 4) << "record " << n;
        EXPECT_LE(std::abs(y - field(p, 4)), 4) << "record " << n;
        EXPECT_TRUE(n < 809 || (x == field(n - 809, 0) && y == field(n - 809, 4))) << "record " << n;
    }
    EXPECT_GT(maxX - minX, 200);
    EXPECT_GT(maxY - minY, 120);
    const std::vector<uint8_t>& m = Entry("bigang.dat");
    auto depth = [&](int x, int y) { return m[(y * 640 + x) * 2 + 1]; };
    for (int y = 0; y < 400; y += 7)
        for (int x = 0; x < 640; x += 5) {
            ASSERT_LE(CircularGap(depth(x, y), depth(639 - x, y)), 1) << x << "," << y;
            ASSERT_LE(CircularGap(depth(x, y), depth(x, 399 - y)), 1) << x << "," << y;
        }
}

// ---- greetings strip -----------------------------------------------------------------------

// The final scene reads rows up to 2 x 4450 + 199: no 400-row stretch is empty, and
// the text keeps to columns 32..287, the part the flattened mesh shows. The
// background moves by 8 x value modulo 256, i.e. by the value's low five bits:
// those change gently between neighbours, a refraction rather than noise.
TEST(Strip, ScrollsTextToItsEndAndRefractsGently)
{
    const std::vector<uint8_t>& s = Entry("groups.dat");
    for (int top = 200; top + 400 <= 9000; top += 400) {
        long inside = 0, outside = 0;
        for (int y = top; y < top + 400; y++)
            for (int x = 0; x < 320; x++)
                (x >= 32 && x < 288 ? inside : outside) += s[y * 320 + x] != 0;
        EXPECT_GT(inside, 300) << "rows " << top;
        EXPECT_EQ(outside, 0) << "rows " << top;
    }
    auto shift = [&](int x, int y) { return s[(size_t)y * 320 + x] & 31; };
    int worst = 0;
    for (int y = 0; y + 1 < (int)StripRows; y++)
        for (int x = 0; x + 1 < 320; x++)
            worst = std::max({worst, std::abs(shift(x, y) - shift(x + 1, y)), std::abs(shift(x, y) - shift(x, y + 1))});
    EXPECT_LE(worst, 8);
}

// ---- the program -------------------------------------------------------------------------

// gencontent writes exactly the entry table's entries, byte for byte what the library
// builds in this process: the same on every run, whatever order builds them in.
TEST(Program, WritesWhatTheLibraryBuilds)
{
    fs::path dir = fs::temp_directory_path() / ("tivrel_content_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string command = std::string(TIVREL_BUILD_DIR "/gencontent ") + dir.string() + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::set<std::string> expected, written;
    for (int i = DataEntryCount - 1; i >= 0; i--)
        if (DataEntries[i].kind != EntryMusic) {
            expected.insert(DataEntries[i].name);
            std::vector<uint8_t> bytes;
            EXPECT_TRUE(ReadBytes((dir / DataEntries[i].name).string(), &bytes) && bytes == Entry(DataEntries[i].name))
                << DataEntries[i].name;
        }
    for (const auto& f : fs::directory_iterator(dir))
        written.insert(f.path().filename().string());
    EXPECT_EQ(written, expected);
    fs::remove_all(dir);
}

}   // namespace
