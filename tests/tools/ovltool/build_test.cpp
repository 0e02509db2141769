// Content folders: gencontent --sources and ovltool build give back the default
// entries byte for byte; pictures land in the palette values their entry allows;
// manifest mistakes are one line naming the file and line.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <cstring>

#include "archive/archive.h"
#include "archive/content_format.h"
#include "archive/entries.h"
#include "core/png_write.h"
#include "gencontent/content.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
const std::string Build = TIVREL_BUILD_DIR;
const std::string DefaultData = Build + "/tivrel.ovl";

CommandOutcome Ovltool(const std::string& args) { return RunCommand(Build + "/ovltool " + args); }

std::string Folder(const std::string& name)
{
    std::string dir = testing::TempDir() + "folder_" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void Put(const std::string& path, const Bytes& bytes) { ASSERT_TRUE(WriteBytes(path, bytes)); }

// The PNG of `encode` (core/png_write.h) for w x h pixels.
Bytes Png(bool (*encode)(const uint8_t*, int, int, Bytes*, std::string*), int w, int h, const uint8_t* pixels)
{
    Bytes png;
    std::string why;
    EXPECT_TRUE(encode(pixels, w, h, &png, &why)) << why;
    return png;
}
void PutText(const std::string& path, const std::string& text) { Put(path, Bytes(text.begin(), text.end())); }

// Every entry of a data file, decoded.
std::map<std::string, Bytes> Entries(const std::string& path)
{
    std::map<std::string, Bytes> out;
    Archive archive;
    EXPECT_TRUE(ArchiveOpenFile(&archive, path.c_str())) << ArchiveError(&archive);
    for (uint32_t i = 0; i < ArchiveEntryCount(&archive); i++) {
        const OverlayEntry* e = ArchiveEntry(&archive, int32_t(i));
        Bytes bytes;
        EXPECT_TRUE(ArchiveDecodeEntry(&archive, int32_t(i), &bytes));
        out[std::string(e->name, strnlen(e->name, OverlayNameBytes))] = bytes;
    }
    return out;
}

// "NAME HOW ..." lines of the build report: entry name to how it was made.
std::map<std::string, std::string> Paths(const std::string& report)
{
    std::map<std::string, std::string> out;
    size_t at = 0;
    while (at < report.size()) {
        size_t end = report.find('\n', at);
        std::string line = report.substr(at, end - at);
        at = end == std::string::npos ? report.size() : end + 1;
        size_t space = line.find(' ');
        if (space == std::string::npos || !FindDataEntry(line.substr(0, space).c_str()))
            continue;
        size_t how = line.find_first_not_of(' ', space);
        out[line.substr(0, space)] = line.substr(how, line.find(' ', how) - how);
    }
    return out;
}

// A photo-like RGBA picture: smooth colour fields with fine detail; the left quarter
// transparent when `hole`.
Bytes PhotoPng(int w, int h, bool hole)
{
    Bytes rgba(size_t(w) * h * 4);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = &rgba[size_t(y * w + x) * 4];
            p[0] = uint8_t(x * 255 / (w - 1));
            p[1] = uint8_t(y * 255 / (h - 1));
            p[2] = uint8_t(((x ^ y) & 31) * 8);
            p[3] = hole && x < w / 4 ? 0 : 255;
        }
    return Png(EncodeRgbaPng, w, h, rgba.data());
}

}   // namespace

// The default content as a folder builds back into the default entries, byte for
// byte, each taking the path its source asks for.
TEST(ContentFolder, DefaultSourcesBuildTheDefaultEntriesExactly)
{
    std::string dir = Folder("sources"), out = testing::TempDir() + "folder_roundtrip.ovl";
    ASSERT_EQ(std::system((Build + "/gencontent --sources " + dir).c_str()), 0);
    CommandOutcome r = Ovltool("build " + dir + " -o " + out + " --base none --force");
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, Bytes> built = Entries(out), expected = Entries(DefaultData);
    std::map<std::string, std::string> paths = Paths(r.out);
    for (int i = 0; i < DataEntryCount; i++) {
        const DataEntry& d = DataEntries[i];
        SCOPED_TRACE(d.name);
        EXPECT_TRUE(built[d.name] == expected[d.name]);
        // Indexed PNGs whose values fit, raw maps and strip, the meshes and the module
        // are stored unchanged; the movement path is converted from its CSV.
        EXPECT_EQ(paths[d.name], d.kind == EntryMovement ? "converted" : "unchanged");
    }
}

// Pictures from a photo are quantised into exactly the values the entry table allows:
// reserved overlay and lyrics colours left free, 8emp_g and the 3D textures sharing
// the palette at 86, the final scene's texture through the 7venus palette.
TEST(ContentFolder, QuantiserKeepsToEachEntrysPaletteValues)
{
    std::string dir = Folder("photo"), out = testing::TempDir() + "folder_photo.ovl";
    Put(dir + "/photo.png", PhotoPng(256, 256, false));
    Put(dir + "/holed.png", PhotoPng(256, 256, true));
    std::string manifest;
    for (const char* name : {"euf0009.scx", "euf0010.scx", "8emp_g.scx", "11cont.scx", "7venus.scx"})
        manifest += std::string("[\"") + name + "\"]\nsource = \"photo.png\"\ndither = 0.5\n";
    manifest += "[\"23mview.scx\"]\nsource = \"holed.png\"\n[\"14soh.scx\"]\nsource = \"holed.png\"\n";
    PutText(dir + "/tivrel.toml", manifest);
    CommandOutcome r = Ovltool("build " + dir + " -o " + out + " --base " + DefaultData + " --force");
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, Bytes> built = Entries(out), base = Entries(DefaultData);
    for (const char* name :
         {"euf0009.scx", "euf0010.scx", "8emp_g.scx", "11cont.scx", "7venus.scx", "23mview.scx", "14soh.scx"}) {
        SCOPED_TRACE(name);
        const DataEntry& d = *FindDataEntry(name);
        const Bytes& e = built[name];
        ASSERT_EQ(e.size(), TextureEntryBytes);
        EXPECT_EQ(Paths(r.out)[name], "converted");
        int distinct = 0;
        std::vector<bool> seen(256);
        for (uint32_t i = 0; i < TextureBytes; i++) {
            int v = e[PicturePixelsOffset + i];
            bool reserved = v >= d.reservedFirst && v <= d.reservedLast;
            bool background = v == 0 && d.pixelFirst == 1 && (i % 256) < 64;   // the transparent quarter
            ASSERT_TRUE((v >= d.pixelFirst && v <= d.pixelLast && !reserved) || background) << "value " << v;
            distinct += !seen[size_t(v)];
            seen[size_t(v)] = true;
        }
        EXPECT_GT(distinct, 60);
        if (d.pixelFirst == 1) {
            EXPECT_EQ(e[PicturePixelsOffset + 10], 0);   // transparent: the background shows
            EXPECT_NE(e[PicturePixelsOffset + 200], 0);
        }
        // Palette values outside the entry's range keep the base's colours (the reserved
        // ones, 8emp_g's at 86.., the 3D texture's below 86, 7venus's strip colours).
        for (int v = 0; v < 256; v++) {
            bool own = v >= d.pixelFirst && v <= d.pixelLast && !(v >= d.reservedFirst && v <= d.reservedLast);
            if (own && std::string(name) != "14soh.scx")
                continue;
            for (int k = 0; k < 3; k++)
                ASSERT_EQ(e[PicturePaletteOffset + v * 3 + k], base[name][PicturePaletteOffset + v * 3 + k])
                    << "palette entry " << v;
        }
        for (int c = 0; c < 768; c++)
            ASSERT_LE(e[PicturePaletteOffset + c], 63);
    }
}

// Overlays: alpha and colour into the fixed ramps (title and names 1..16, lyrics
// 1..8); the lyrics' four stacked bands go to rows 0, 55, 109 and 162.
TEST(ContentFolder, OverlaysTakeTheFixedRampsAndLyricsBands)
{
    std::string dir = Folder("overlay"), out = testing::TempDir() + "folder_overlay.ovl";
    Put(dir + "/title.png", PhotoPng(320, 180, true));
    Put(dir + "/lyrics.png", PhotoPng(320, 120, true));
    PutText(dir + "/tivrel.toml", "[\"tivrel.scx\"]\nsource = \"title.png\"\n"
                                  "[\"lyrics.scx\"]\nsource = \"lyrics.png\"\n"
                                  "[\"name1.scx\"]\ntext = [\"our names\", \"here\"]\nsize = 30\n");
    CommandOutcome r = Ovltool("build " + dir + " -o " + out + " --base " + DefaultData + " --force");
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, Bytes> built = Entries(out);
    const uint8_t* title = &built["tivrel.scx"][PicturePixelsOffset];
    const uint8_t* lyrics = &built["lyrics.scx"][PicturePixelsOffset];
    const uint8_t* name = &built["name1.scx"][PicturePixelsOffset];
    int covered = 0, named = 0;
    for (uint32_t i = 0; i < PicturePixelBytes; i++) {
        int x = int(i % 320), y = int(i / 320);
        ASSERT_LE(title[i], 16);
        ASSERT_LE(lyrics[i], 8);
        ASSERT_LE(name[i], 16);
        named += name[i] != 0;
        if (x < 80 || y >= 180) {
            ASSERT_EQ(title[i], 0) << "transparent or unshown pixel " << x << "," << y;
        }
        bool inBand = false;
        for (int top : {0, 55, 109, 162})
            inBand = inBand || (y >= top && y < top + 30);
        if (!inBand || x < 80) {
            ASSERT_EQ(lyrics[i], 0) << x << "," << y;
        }
        covered += inBand && x >= 80 && lyrics[i] != 0;
    }
    EXPECT_EQ(covered, 4 * 30 * 240);
    EXPECT_GT(named, 500);
    EXPECT_EQ(Paths(r.err + r.out)["name1.scx"], "generated");
}

// A new 7venus palette: the base 14soh, shown through it, is remapped to the nearest
// of its colours 1..127 and its transparent texels stay 0.
TEST(ContentFolder, FinalSceneTextureFollowsANewVenusPalette)
{
    std::string dir = Folder("venus"), out = testing::TempDir() + "folder_venus.ovl";
    Put(dir + "/photo.png", PhotoPng(256, 256, false));
    PutText(dir + "/tivrel.toml", "[\"7venus.scx\"]\nsource = \"photo.png\"\n");
    CommandOutcome r = Ovltool("build " + dir + " -o " + out + " --base " + DefaultData + " --force");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Paths(r.out)["14soh.scx"], "converted");
    std::map<std::string, Bytes> built = Entries(out), base = Entries(DefaultData);
    const uint8_t* oldVenus = &base["7venus.scx"][PicturePaletteOffset];
    const uint8_t* newVenus = &built["7venus.scx"][PicturePaletteOffset];
    const uint8_t* before = &base["14soh.scx"][PicturePixelsOffset];
    const uint8_t* after = &built["14soh.scx"][PicturePixelsOffset];
    for (uint32_t i = 0; i < TextureBytes; i++) {
        ASSERT_EQ(before[i] == 0, after[i] == 0);
        if (after[i] == 0)
            continue;
        ASSERT_LE(after[i], 127);
        auto distance = [&](const uint8_t* a, const uint8_t* b) {
            int d = 0;
            for (int k = 0; k < 3; k++)
                d += (a[k] - b[k]) * (a[k] - b[k]);
            return d;
        };
        const uint8_t* shown = oldVenus + before[i] * 3;
        int d = distance(shown, newVenus + after[i] * 3);
        for (int v = 1; v <= 127; v++)
            ASSERT_GE(distance(shown, newVenus + v * 3) * 9, d * 2) << "a far better colour " << v;
    }
}

// Maps from a two-channel PNG equal their raw bytes; presets with default parameters
// equal the default maps; a movement CSV repeats its records; a strip picture's
// letters become strip values 1..127 and rows it does not cover stay empty.
TEST(ContentFolder, MapsPathsAndPresets)
{
    std::string dir = Folder("maps"), out = testing::TempDir() + "folder_maps.ovl";
    std::map<std::string, Bytes> base = Entries(DefaultData);
    Put(dir + "/angrad2.png", Png(EncodeGreyAlphaPng, 320, 200, base["angrad2.dat"].data()));
    PutText(dir + "/path.csv", "x,y\n# corners\n0,0\n320,200\n");
    PutText(dir + "/tivrel.toml", "[\"angrad2.dat\"]\nsource = \"angrad2.png\"\n"
                                  "[\"angrad3.dat\"]\npreset = \"corridor\"\n"
                                  "[\"angrad4.dat\"]\npreset = \"tunnel\"\nscale0 = 2\ncentre_x = 30\n"
                                  "[\"movement.dat\"]\nsource = \"path.csv\"\n"
                                  "[\"groups.dat\"]\nsource = \"strip.png\"\n");
    Bytes strip(320 * 400 * 4, 0);   // a white bar on rows 100..199, transparent elsewhere
    for (size_t i = 320 * 100 * 4; i < 320 * 200 * 4; i++)
        strip[i] = 255;
    Put(dir + "/strip.png", Png(EncodeRgbaPng, 320, 400, strip.data()));
    CommandOutcome r = Ovltool("build " + dir + " -o " + out + " --base " + DefaultData + " --force");
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, Bytes> built = Entries(out);
    EXPECT_TRUE(built["angrad2.dat"] == base["angrad2.dat"]);
    EXPECT_TRUE(built["angrad3.dat"] == base["angrad3.dat"]);
    EXPECT_FALSE(built["angrad4.dat"] == base["angrad1.dat"]);
    EXPECT_EQ(built["angrad4.dat"].size(), MapBytes);
    const Bytes& m = built["movement.dat"];
    ASSERT_EQ(m.size(), MovementTableBytes);
    EXPECT_EQ(m[3 * 32], 64);   // record 3 repeats record 1: x = 320 = 0x140
    EXPECT_EQ(m[3 * 32 + 1], 1);
    EXPECT_EQ(m[3 * 32 + 4], 200);
    const Bytes& g = built["groups.dat"];
    ASSERT_EQ(g.size(), StripBytes);
    for (size_t i = 0; i < g.size(); i++) {
        size_t row = i / 320;
        ASSERT_LE(g[i], 127);
        if (row >= 120 && row < 180) {
            ASSERT_NE(g[i], 0) << "inside the bar, row " << row;
        } else if (row < 90 || row > 210) {
            ASSERT_EQ(g[i], 0) << "far from the bar, row " << row;
        }
    }
}

// Each mistake is one line on stderr naming the file (and the line), status 1, and
// no data file is written.
TEST(ContentFolder, ManifestMistakesAreOneLineNamingTheFile)
{
    struct Case {
        const char* manifest;
        const char* expected;   // part of the message
    } cases[] = {
        {"[\"euf0009.scx\"]\nsource = \"missing.png\"\n", "tivrel.toml:2: "},
        {"\n[\"euf0099.scx\"]\nsource = \"a.png\"\n", "tivrel.toml:2: unknown entry \"euf0099.scx\""},
        {"[\"euf0009.scx\"]\nsource = \"small.png\"\n", "small.png is 64x32; a texture must be 256x256"},
        {"[\"thx.scx\"]\nsource = \"small.png\"\n", "small.png is 64x32; a picture must be 320x200"},
        {"[\"angrad1.dat\"]\nsource = \"small.png\"\n", "small.png is 64x32; this map must be 320x200"},
        {"[\"euf0009.scx\"]\nsource = \"a.png\"\ncolours = 3\n", "tivrel.toml:3: \"euf0009.scx\" takes no key"},
        {"[\"euf0009.scx\"]\nsource = \n", "tivrel.toml:2: "},
        {"[\"angrad1.dat\"]\npreset = \"maze\"\n", "tivrel.toml:2: unknown map preset \"maze\""},
        {"[\"movement.dat\"]\nsource = \"bad.csv\"\n", "bad.csv:2: 400,10 lies outside"},
        {"[\"euf0009.scx\"]\nsource = \"a.png\"\ndither = 2\n", "tivrel.toml:3: dither must be a number in 0..1"},
        {"[\"star.3ds\"]\nsource = \"a.png\"\nscale = \"huge\"\n", "tivrel.toml:3: scale must be one of fit,keep"},
        {"[\"name1.scx\"]\ntext = [\"a\"]\nfont = \"/nonexistent.ttf\"\n", "tivrel.toml:3: cannot load the font"},
        {"[\"thx.scx\"]\nx = [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[",
         "tivrel.toml:2: arrays or tables nested deeper"},
    };
    std::string dir = Folder("mistakes"), out = testing::TempDir() + "folder_mistake.ovl";
    Put(dir + "/small.png", PhotoPng(64, 32, false));
    PutText(dir + "/bad.csv", "0,0\n400,10\n");
    fs::remove(out);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.manifest);
        PutText(dir + "/tivrel.toml", c.manifest);
        CommandOutcome r = Ovltool("build " + dir + " -o " + out + " --base " + DefaultData);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        EXPECT_FALSE(fs::exists(out));
    }
    // Without a manifest, and an entry neither in the manifest nor in any base.
    fs::remove(dir + "/tivrel.toml");
    CommandOutcome r = Ovltool("build " + dir + " -o " + out);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("tivrel.toml: no such file"), std::string::npos) << r.err;
    PutText(dir + "/tivrel.toml", "");
    r = Ovltool("build " + dir + " -o " + out + " --base none");
    EXPECT_NE(r.err.find("music.s3m is not in"), std::string::npos) << r.err;
}

// tivrel --data FOLDER plays the folder as ovltool would build it, writing nothing
// into the folder; a folder that does not build stops the start with status 1.
TEST(ContentFolder, PlayerPlaysAFolderDirectly)
{
    std::string dir = Folder("play"), file = testing::TempDir() + "folder_play.ovl";
    Put(dir + "/thanks.png", PhotoPng(320, 200, false));
    PutText(dir + "/tivrel.toml", "[\"thx.scx\"]\nsource = \"thanks.png\"\n");
    ASSERT_EQ(Ovltool("build " + dir + " -o " + file + " --base " + DefaultData + " --force").status, 0);
    auto capture = [&](const std::string& data, const std::string& name) {
        std::string out = testing::TempDir() + "folder_capture_" + name;
        fs::remove_all(out);
        CommandOutcome r =
            RunCommand("cd " + Build + " && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ./tivrel --data " + data +
                       " --capture " + out + " --scene 17 --until-scene 17 --frames 0:20");
        EXPECT_EQ(r.status, 0) << r.err;
        return Slurp(out + "/frames/000020.png") + Slurp(out + "/timeline.csv");
    };
    std::string fromFolder = capture(dir, "folder"), fromFile = capture(file, "file");
    EXPECT_GT(fromFolder.size(), 1000u);
    EXPECT_EQ(fromFolder, fromFile);
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir))
        files += e.is_regular_file();
    EXPECT_EQ(files, 2u);   // the manifest and the picture

    PutText(dir + "/tivrel.toml", "[\"thx.scx\"]\nsource = \"gone.png\"\n");
    CommandOutcome r =
        RunCommand("cd " + Build + " && SDL_VIDEODRIVER=dummy ./tivrel --data " + dir + " --capture x --frames 0");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("did not build"), std::string::npos) << r.err;
}
