// Checks on the default data that gencontent writes: sizes, the colour ranges each
// scene relies on, seams, map continuity, the movement path, the strip, packing
// limits and byte-for-byte reproducibility.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/pack.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool Generate(const fs::path& dir) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string command = std::string(TIVREL_BUILD_DIR "/gencontent ") + dir.string() + " > /dev/null";
    return std::system(command.c_str()) == 0;
}

class Content : public ::testing::Test {
protected:
    static fs::path dir;
    static bool generated;
    static std::map<std::string, std::vector<uint8_t>> files;

    // CTest runs every case in its own process: the output is generated once per
    // gencontent build into the build folder, under a lock, and shared.
    static void SetUpTestSuite() {
        dir = fs::path(TIVREL_BUILD_DIR) / "content_test_data";
        std::string lockPath = std::string(TIVREL_BUILD_DIR) + "/content_test.lock";
        int lock = ::open(lockPath.c_str(), O_CREAT | O_RDWR, 0644);
        if (lock >= 0) ::flock(lock, LOCK_EX);
        struct stat tool;
        std::string stamp = "missing";
        if (::stat(TIVREL_BUILD_DIR "/gencontent", &tool) == 0)
            stamp = std::to_string(tool.st_size) + " " + std::to_string(tool.st_mtim.tv_sec) + " " +
                    std::to_string(tool.st_mtim.tv_nsec);
        std::vector<uint8_t> old = ReadFile(dir / "stamp");
        generated = std::string(old.begin(), old.end()) == stamp;
        if (!generated) {
            generated = Generate(dir);
            if (generated) std::ofstream(dir / "stamp") << stamp;
        }
        if (generated)
            for (const auto& e : fs::directory_iterator(dir))
                if (e.path().filename() != "stamp") files[e.path().filename().string()] = ReadFile(e.path());
        if (lock >= 0) ::close(lock);
    }
    void SetUp() override { ASSERT_TRUE(generated) << "gencontent failed"; }

    static const std::vector<uint8_t>& File(const std::string& name) { return files[name]; }
    static const uint8_t* Palette(const std::string& name) { return files[name].data() + 10; }
    static const uint8_t* Pixels(const std::string& name) { return files[name].data() + 778; }
    // Brightness of pixel i of a picture through its own palette, 0..63.
    static double Luma(const std::string& name, int i) {
        const uint8_t* c = Palette(name) + Pixels(name)[i] * 3;
        return 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2];
    }
};
fs::path Content::dir;
bool Content::generated = false;
std::map<std::string, std::vector<uint8_t>> Content::files;

const char* const Textures[] = {"euf0009.scx", "euf0010.scx", "euf0011.scx", "8emp_g.scx",
                                "18soh.scx",   "7venus.scx",  "23mview.scx", "11cont.scx",
                                "23mview2.scx", "18soh3d.scx", "15mview.scx", "14soh.scx"};
const char* const ReflectionMaps[] = {"23mview.scx", "11cont.scx", "23mview2.scx", "18soh3d.scx", "15mview.scx"};
const char* const Maps320[] = {"angrad1.dat", "angrad2.dat", "angrad3.dat", "angrad4.dat",
                               "angrad5.dat", "angrad6.dat", "angrad7.dat", "backgr.dat"};

int CircularGap(int a, int b) {
    int d = (a - b) & 255;
    return d > 128 ? 256 - d : d;
}

// ---- sizes and ranges ------------------------------------------------------------------

TEST_F(Content, EveryEntryHasTheSizeItsReaderExpects) {
    std::map<std::string, size_t> sizes = {
        {"bigang.dat", 512000}, {"movement.dat", 28672}, {"backgr.dat", 128000}, {"groups.dat", 2944000},
        {"tivrel.scx", 64778},  {"name1.scx", 64778},    {"name2.scx", 64778},   {"name3.scx", 64778},
        {"lyrics.scx", 64778},  {"thx.scx", 64778},
    };
    for (int i = 1; i <= 7; i++) sizes["angrad" + std::to_string(i) + ".dat"] = 128000;
    for (const char* t : Textures) sizes[t] = 66314;
    for (const auto& [name, size] : sizes) EXPECT_EQ(File(name).size(), size) << name;
}

TEST_F(Content, PalettesHoldSixBitComponents) {
    for (const auto& [name, bytes] : files) {
        if (name.size() < 4 || name.substr(name.size() - 4) != ".scx") continue;
        for (int i = 0; i < 768; i++) ASSERT_LE(Palette(name)[i], 63) << name << " component " << i;
    }
}

struct IndexRule {
    const char* name;
    int lo, hi;                 // every pixel in lo..hi
    int forbidLo, forbidHi;     // and none in forbidLo..forbidHi (empty when lo > hi)
};

TEST_F(Content, TexturesStayOutOfTheColoursTheirScenesReserve) {
    const IndexRule rules[] = {
        {"euf0010.scx", 0, 255, 237, 253},   // title and credit colours over scenes 1-3
        {"euf0011.scx", 0, 255, 246, 254},   // lyrics colours
        {"euf0009.scx", 0, 255, 246, 254},
        {"18soh.scx", 0, 255, 246, 254},
        {"8emp_g.scx", 0, 85, 1, 0},         // shares the palette with the object texture
        {"11cont.scx", 86, 255, 1, 0},
        {"18soh3d.scx", 86, 255, 1, 0},
        {"7venus.scx", 0, 127, 1, 0},        // upper half belongs to the strip
        {"14soh.scx", 1, 127, 1, 0},         // drawn through the 7venus palette, 0 is transparent
        {"23mview.scx", 1, 255, 1, 0},       // 0 would show the background through the object
        {"23mview2.scx", 1, 255, 1, 0},
        {"15mview.scx", 1, 255, 1, 0},
    };
    for (const IndexRule& r : rules) {
        const uint8_t* p = Pixels(r.name);
        int outside = 0, reserved = 0;
        for (int i = 0; i < 65536; i++) {
            outside += p[i] < r.lo || p[i] > r.hi;
            reserved += p[i] >= r.forbidLo && p[i] <= r.forbidHi;
        }
        EXPECT_EQ(outside, 0) << r.name;
        EXPECT_EQ(reserved, 0) << r.name;
    }
}

TEST_F(Content, OverlaysUseOnlyTheirFixedColours) {
    for (const char* name : {"tivrel.scx", "name1.scx", "name2.scx", "name3.scx"}) {
        int drawn = 0;
        for (int i = 0; i < 64000; i++) {
            ASSERT_LE(Pixels(name)[i], 16) << name;
            drawn += Pixels(name)[i] != 0;
        }
        EXPECT_GT(drawn, 1500) << name << " is nearly empty";
    }
    // The title is shown 20 rows lower; its last 20 stored rows never reach the screen.
    for (int i = 180 * 320; i < 64000; i++) ASSERT_EQ(Pixels("tivrel.scx")[i], 0) << "row " << i / 320;
}

TEST_F(Content, LyricsFillFourBandsOfThirtyRowsAndNothingElse) {
    const int bands[4] = {0, 55, 109, 162};
    int perBand[4] = {0, 0, 0, 0};
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            uint8_t v = Pixels("lyrics.scx")[y * 320 + x];
            ASSERT_LE(v, 8);
            if (!v) continue;
            int band = -1;
            for (int b = 0; b < 4; b++)
                if (y >= bands[b] && y < bands[b] + 30) band = b;
            ASSERT_GE(band, 0) << "lyrics pixel outside the bands at row " << y;
            perBand[band]++;
        }
    for (int b = 0; b < 4; b++) {
        EXPECT_GT(perBand[b], 400) << "band " << b;
        // The line fits inside its band with room to spare: nothing was cut at the edges.
        for (int x = 0; x < 320; x++) {
            EXPECT_EQ(Pixels("lyrics.scx")[bands[b] * 320 + x], 0) << "band " << b;
            EXPECT_EQ(Pixels("lyrics.scx")[(bands[b] + 29) * 320 + x], 0) << "band " << b;
        }
    }
}

// Bright letter pixels always sit inside a non-transparent rim, so the text stays
// readable over any part of the moving tunnel behind it.
TEST_F(Content, BrightOverlayPixelsNeverTouchTransparency) {
    struct Case {
        const char* name;
        std::set<int> bright;
    } cases[] = {{"tivrel.scx", {6, 7, 8, 13, 14, 15}}, {"name1.scx", {6, 7, 8, 13, 14, 15}},
                 {"name2.scx", {6, 7, 8, 13, 14, 15}}, {"name3.scx", {6, 7, 8, 13, 14, 15}},
                 {"lyrics.scx", {6, 7, 8}}};
    for (const Case& c : cases) {
        const uint8_t* p = Pixels(c.name);
        for (int y = 1; y < 199; y++)
            for (int x = 1; x < 319; x++) {
                if (!c.bright.count(p[y * 320 + x])) continue;
                bool open = !p[y * 320 + x - 1] || !p[y * 320 + x + 1] || !p[(y - 1) * 320 + x] || !p[(y + 1) * 320 + x];
                ASSERT_FALSE(open) << c.name << " at " << x << "," << y;
            }
    }
}

TEST_F(Content, ClosingPictureIsAFullColourPicture) {
    std::set<int> used(Pixels("thx.scx"), Pixels("thx.scx") + 64000);
    EXPECT_GE(used.size(), 200u);
}

// ---- looks ---------------------------------------------------------------------------------

// A texture wraps without a seam: the step from the last column to the first is no
// larger than a typical step between neighbours (same for rows).
TEST_F(Content, TexturesWrapWithoutASeam) {
    for (const char* name : Textures) {
        double inner = 0, seamX = 0, seamY = 0;
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 255; x++) inner += std::abs(Luma(name, y * 256 + x + 1) - Luma(name, y * 256 + x));
        inner /= 255 * 256;
        for (int k = 0; k < 256; k++) {
            seamX += std::abs(Luma(name, k * 256 + 255) - Luma(name, k * 256));
            seamY += std::abs(Luma(name, 255 * 256 + k) - Luma(name, k));
        }
        EXPECT_LE(seamX / 256, 2 * inner + 0.5) << name << " columns";
        EXPECT_LE(seamY / 256, 2 * inner + 0.5) << name << " rows";
    }
}

// Environment mapping samples the centre where a face looks at the viewer.
TEST_F(Content, ReflectionMapsAreBrightInTheMiddleAndDarkAtTheRim) {
    for (const char* name : ReflectionMaps) {
        double centre = 0, rim = 0;
        int nc = 0, nr = 0;
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 256; x++) {
                double dx = x - 127.5, dy = y - 127.5, r2 = dx * dx + dy * dy;
                if (r2 < 48 * 48) centre += Luma(name, y * 256 + x), nc++;
                if (x < 8 || y < 8 || x > 247 || y > 247) rim += Luma(name, y * 256 + x), nr++;
            }
        EXPECT_GT(centre / nc, 2 * (rim / nr) + 8) << name;
    }
}

// The strip is shown through 7venus entries 129..255: a ramp that only gets brighter,
// so higher strip values read as the lit side of the letters.
TEST_F(Content, StripColoursRiseWithTheStripValue) {
    const uint8_t* pal = Palette("7venus.scx");
    double previous = -1;
    for (int i = 129; i < 256; i++) {
        double l = 0.3 * pal[i * 3] + 0.59 * pal[i * 3 + 1] + 0.11 * pal[i * 3 + 2];
        EXPECT_GE(l, previous) << "entry " << i;
        previous = l;
    }
}

// Colours of neighbouring indices are close, so tunnels shade without visible steps.
// Textures built from two ramps are allowed one break between them.
TEST_F(Content, TexturePalettesAreSmoothRampsOverTheirUsedIndices) {
    std::map<std::string, int> breakAfter = {{"18soh.scx", 119}};
    for (const char* name : Textures) {
        const uint8_t* p = Pixels(name);
        int lo = *std::min_element(p, p + 65536), hi = *std::max_element(p, p + 65536);
        const uint8_t* pal = Palette(name);
        for (int i = lo; i < hi; i++) {
            if (breakAfter.count(name) && breakAfter[name] == i) continue;
            for (int k = 0; k < 3; k++)
                ASSERT_LE(std::abs(pal[i * 3 + k] - pal[(i + 1) * 3 + k]), 3) << name << " entry " << i;
        }
    }
}

// ---- maps ---------------------------------------------------------------------------------

// Fraction of neighbouring pixels whose byte k jumps by more than a quarter turn.
double JumpFraction(const std::vector<uint8_t>& map, int width, int height, int k) {
    long jumps = 0, pairs = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            int v = map[(y * width + x) * 2 + k];
            if (x + 1 < width) jumps += CircularGap(v, map[(y * width + x + 1) * 2 + k]) > 64, pairs++;
            if (y + 1 < height) jumps += CircularGap(v, map[((y + 1) * width + x) * 2 + k]) > 64, pairs++;
        }
    return (double)jumps / pairs;
}

TEST_F(Content, MapsAreSmoothAlmostEverywhere) {
    for (const char* name : Maps320)
        for (int k = 0; k < 2; k++) EXPECT_LT(JumpFraction(File(name), 320, 200, k), 0.03) << name << " byte " << k;
    for (int k = 0; k < 2; k++) EXPECT_LT(JumpFraction(File("bigang.dat"), 640, 400, k), 0.01) << "bigang byte " << k;
}

// Angles wrap a whole number of texture turns: no seam where the angle passes from
// +180 to -180 degrees (the row pair straddling the centre, left of it).
TEST_F(Content, TunnelAnglesCloseWithoutASeam) {
    struct Case {
        const char* name;
        int width, height, skipFrom, skipTo, skip2From, skip2To;   // columns near centres or poles
    } cases[] = {
        {"angrad1.dat", 320, 200, 130, 320, 0, 0}, {"angrad2.dat", 320, 200, 130, 320, 0, 0},
        {"angrad5.dat", 320, 200, 130, 320, 0, 0}, {"bigang.dat", 640, 400, 290, 640, 0, 0},
        {"angrad7.dat", 320, 200, 34, 94, 226, 286},   // both poles; the cut runs between them too
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t>& m = File(c.name);
        int above = c.height / 2 - 1, below = c.height / 2;
        for (int x = 0; x < c.width; x++) {
            if ((x >= c.skipFrom && x < c.skipTo) || (x >= c.skip2From && x < c.skip2To)) continue;
            for (int k = 0; k < 2; k++)
                ASSERT_LE(CircularGap(m[(above * c.width + x) * 2 + k], m[(below * c.width + x) * 2 + k]), 12)
                    << c.name << " column " << x << " byte " << k;
        }
    }
}

TEST_F(Content, SevenMapsLookDifferent) {
    for (int a = 0; a < 7; a++)
        for (int b = a + 1; b < 7; b++) {
            const std::vector<uint8_t>& ma = File(Maps320[a]);
            const std::vector<uint8_t>& mb = File(Maps320[b]);
            long same = 0;   // pixels whose whole pair matches
            for (size_t i = 0; i < ma.size(); i += 2) same += ma[i] == mb[i] && ma[i + 1] == mb[i + 1];
            EXPECT_LT(same, 64000 / 20) << Maps320[a] << " vs " << Maps320[b];
        }
}

// The big map's tunnel sits in its middle, so the wandering window shows it off-centre.
TEST_F(Content, BigMapTunnelIsCentred) {
    const std::vector<uint8_t>& m = File("bigang.dat");
    auto depth = [&](int x, int y) { return m[(y * 640 + x) * 2 + 1]; };
    for (int y = 0; y < 400; y += 7)
        for (int x = 0; x < 640; x += 5) {
            ASSERT_LE(CircularGap(depth(x, y), depth(639 - x, y)), 1) << x << "," << y;
            ASSERT_LE(CircularGap(depth(x, y), depth(x, 399 - y)), 1) << x << "," << y;
        }
}

// ---- movement path -----------------------------------------------------------------------

TEST_F(Content, MovementPathIsAClosedSmoothLoopInsideTheBigMap) {
    const std::vector<uint8_t>& t = File("movement.dat");
    auto field = [&](int record, int offset) {
        const uint8_t* p = t.data() + record * 32 + offset;
        return (int32_t)(p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24);
    };
    int minX = 999, maxX = -1, minY = 999, maxY = -1;
    for (int n = 0; n < 896; n++) {
        int x = field(n, 0), y = field(n, 4);
        ASSERT_GE(x, 0);
        ASSERT_LE(x, 320);
        ASSERT_GE(y, 0);
        ASSERT_LE(y, 200);
        for (int b = 8; b < 32; b++) ASSERT_EQ(t[n * 32 + b], 0) << "record " << n;
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
        if (n > 0) {
            EXPECT_LE(std::abs(x - field(n - 1, 0)), 4) << "record " << n;
            EXPECT_LE(std::abs(y - field(n - 1, 4)), 4) << "record " << n;
        }
    }
    // Record 808 leads back into record 0, and records past 808 repeat the loop.
    EXPECT_LE(std::abs(field(808, 0) - field(0, 0)), 4);
    EXPECT_LE(std::abs(field(808, 4) - field(0, 4)), 4);
    for (int n = 809; n < 896; n++) {
        EXPECT_EQ(field(n, 0), field(n - 809, 0));
        EXPECT_EQ(field(n, 4), field(n - 809, 4));
    }
    // The big map's tunnel centre (320, 200) stays inside every window.
    for (int n = 0; n < 896; n++) {
        EXPECT_LT(320 - field(n, 0), 320) << "record " << n;
        EXPECT_GE(320 - field(n, 0), 0) << "record " << n;
        EXPECT_LT(200 - field(n, 4), 200) << "record " << n;
    }
    EXPECT_GT(maxX - minX, 200);
    EXPECT_GT(maxY - minY, 120);
}

// ---- greetings strip ---------------------------------------------------------------------

TEST_F(Content, StripKeepsTextScrollingToItsEnd) {
    const std::vector<uint8_t>& s = File("groups.dat");
    for (uint8_t v : s) ASSERT_LE(v, 127);
    // The final scene reads rows up to 2 x 4450 + 199; no 400-row stretch is empty,
    // and the text sits in columns 32..287, the part the flattened mesh shows.
    for (int top = 200; top + 400 <= 9000; top += 400) {
        long inside = 0, outside = 0;
        for (int y = top; y < top + 400; y++)
            for (int x = 0; x < 320; x++) (x >= 32 && x < 288 ? inside : outside) += s[y * 320 + x] != 0;
        EXPECT_GT(inside, 300) << "rows " << top;
        EXPECT_EQ(outside, 0) << "rows " << top;
    }
}

// The background moves by 8 x value modulo 256, i.e. by the value's low five bits:
// those must change gently between neighbours for a refraction rather than noise.
TEST_F(Content, StripRefractionChangesGentlyBetweenNeighbours) {
    const std::vector<uint8_t>& s = File("groups.dat");
    auto shift = [&](int x, int y) { return s[(size_t)y * 320 + x] & 31; };
    int worst = 0;
    for (int y = 0; y + 1 < 9200; y++)
        for (int x = 0; x + 1 < 320; x++) {
            worst = std::max(worst, std::abs(shift(x, y) - shift(x + 1, y)));
            worst = std::max(worst, std::abs(shift(x, y) - shift(x, y + 1)));
        }
    EXPECT_LE(worst, 8);
}

// ---- packing and reproducibility -------------------------------------------------------

// Entries read after loading pass through 100,000-byte scratch areas.
TEST_F(Content, LateEntriesPackUnderTheScratchSize) {
    std::vector<std::string> late(std::begin(ReflectionMaps), std::end(ReflectionMaps));
    late.push_back("14soh.scx");
    late.push_back("thx.scx");
    for (const std::string& name : late) {
        EXPECT_LE(File(name).size(), 100000u) << name;
        EXPECT_LE(PackStream(File(name).data(), File(name).size()).size(), 100000u) << name;
    }
    const std::vector<uint8_t>& strip = File("groups.dat");
    EXPECT_LE(PackStream(strip.data(), strip.size()).size(), 1048576u);
}

TEST_F(Content, TwoRunsWriteIdenticalBytes) {
    fs::path second = fs::temp_directory_path() / ("tivrel_content_again_" + std::to_string(::getpid()));
    ASSERT_TRUE(Generate(second));
    size_t compared = 0;
    for (const auto& [name, bytes] : files) {
        EXPECT_TRUE(ReadFile(second / name) == bytes) << name;
        compared++;
    }
    EXPECT_GE(compared, 29u);
    fs::remove_all(second);
}

}  // namespace
