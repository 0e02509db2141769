// Outside content into the data file and the data check: mesh fitting, winding, the
// final scene's box and simplification; music formats and short modules; the check's
// exit status on damaged data files made from the default one.
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <random>

#include "archive/archive.h"
#include "archive/archive_fixture.h"
#include "archive/content_rules.h"
#include "archive/entries.h"
#include "archive/pack.h"
#include "audio/mini_s3m.h"
#include "engine3d/mesh.h"
#include "gencontent/content.h"
#include "ovltool/check.h"
#include "ovltool/import_mesh.h"
#include "ovltool/import_music.h"

// Sanitizer builds run the importer's child without its memory limit.
#if defined(__SANITIZE_ADDRESS__)
#define IMPORTER_WITHOUT_MEMORY_LIMIT
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define IMPORTER_WITHOUT_MEMORY_LIMIT
#endif
#endif

namespace {

struct P3 {
    double x, y, z;
};

// A Wavefront OBJ of `points` and 1-based `faces`.
std::string WriteObj(const std::vector<P3>& points, const std::vector<std::array<int, 3>>& faces)
{
    std::string path = TempPath("mesh.obj");
    std::ofstream out(path);
    for (const P3& p : points)
        out << "v " << p.x << " " << p.y << " " << p.z << "\n";
    for (const auto& f : faces)
        out << "f " << f[0] << " " << f[1] << " " << f[2] << "\n";
    return path;
}

// A UV sphere of `rings` x `sides` quads around (cx, cy, cz), faces wound outward
// (counter-clockwise seen from outside), or inward when `inward`.
std::string SphereObj(int rings, int sides, double radius, P3 centre, bool inward)
{
    std::vector<P3> points;
    std::vector<std::array<int, 3>> faces;
    for (int i = 0; i <= rings; i++)
        for (int j = 0; j < sides; j++) {
            const double lat = M_PI * i / rings, lon = 2 * M_PI * j / sides;
            points.push_back({centre.x + radius * std::sin(lat) * std::cos(lon), centre.y + radius * std::cos(lat),
                              centre.z + radius * std::sin(lat) * std::sin(lon)});
        }
    auto at = [&](int i, int j) { return i * sides + (j % sides) + 1; };
    for (int i = 0; i < rings; i++)
        for (int j = 0; j < sides; j++) {
            std::array<int, 3> a{at(i, j), at(i, j + 1), at(i + 1, j)}, b{at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)};
            if (inward) {
                std::swap(a[1], a[2]);
                std::swap(b[1], b[2]);
            }
            faces.push_back(a);
            faces.push_back(b);
        }
    return WriteObj(points, faces);
}

// Signed volume of every object the player's reader makes of `entry` (model space).
double ReadBackVolume(const Bytes& entry)
{
    MemoryMeshInput input{entry.data(), uint32_t(entry.size()), 0};
    EXPECT_EQ(ParseMeshEntry(MemoryMeshSource(&input)), nullptr);
    double volume = 0;
    for (int32_t k = 0; k < ObjectCount; k++) {
        const MeshObject* o = ObjectTable[k];
        for (uint32_t f = 0; f < o->faces->count; f++) {
            const Face& t = o->faces->entry[f];
            const Point4 &a = o->vertices->entry[t.a], &b = o->vertices->entry[t.b], &c = o->vertices->entry[t.c];
            const double ax = a.x / 65536.0, ay = a.y / 65536.0, az = a.z / 65536.0;
            const double bx = b.x / 65536.0, by = b.y / 65536.0, bz = b.z / 65536.0;
            const double cx = c.x / 65536.0, cy = c.y / 65536.0, cz = c.z / 65536.0;
            volume += ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx);
        }
    }
    ReleaseObjectTable();
    return volume / 6;
}

struct Imported {
    bool ok;
    Bytes bytes;
    std::string report, error;
};

Imported Import(const std::string& path, const std::string& entry, MeshImportOptions options = {})
{
    Imported r;
    r.ok = ImportMesh(path, entry, options, &r.bytes, &r.report, &r.error);
    return r;
}

bool OneLine(const std::string& s) { return !s.empty() && s.find('\n') == std::string::npos; }

}   // namespace

// A mesh off-centre at an arbitrary size is centred and fitted to its scene's camera;
// an inward-wound one is turned outward and says so; keeping the scale keeps it.
TEST(MeshImport, FitsTheSceneAndWindsOutward)
{
    const std::string inward = SphereObj(12, 16, 3.0, {40, -7, 5}, true);
    Imported r = Import(inward, "jo2.3ds");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_NE(r.report.find("was wound inward"), std::string::npos) << r.report;
    MeshFacts facts;
    std::string error;
    ASSERT_TRUE(ReadMeshFacts(r.bytes.data(), r.bytes.size(), &facts, &error)) << error;
    EXPECT_NEAR(facts.radius, FindMeshCamera("jo2.3ds")->fitRadius, 0.5);
    EXPECT_GT(ReadBackVolume(r.bytes), 0);

    Imported outward = Import(SphereObj(12, 16, 3.0, {0, 0, 0}, false), "new4.3ds");
    ASSERT_TRUE(outward.ok) << outward.error;
    EXPECT_EQ(outward.report.find("wound inward"), std::string::npos) << outward.report;
    EXPECT_GT(ReadBackVolume(outward.bytes), 0);

    MeshImportOptions keep;
    keep.keepScale = true;
    Imported kept = Import(inward, "jo2.3ds", keep);
    ASSERT_TRUE(kept.ok) << kept.error;
    ASSERT_TRUE(ReadMeshFacts(kept.bytes.data(), kept.bytes.size(), &facts, &error));
    EXPECT_NEAR(facts.radius, std::sqrt(40 * 40 + 7 * 7 + 5 * 5) + 3, 0.1);
}

// The default meshes are already in their entries' form and pass byte for byte; a
// mesh too large for its entry is simplified to fit, and the report says from how
// many triangles to how many.
TEST(MeshImport, StoresEntryFormUnchangedAndSimplifiesTooLarge)
{
    for (const char* name : {"star.3ds", "new4.3ds", "stucco1.3ds"}) {
        const Bytes original = BuildMeshFile(name);
        Imported r = Import(WriteFile(TempPath("mesh.3ds"), original), name);
        ASSERT_TRUE(r.ok) << name << ": " << r.error;
        EXPECT_EQ(r.bytes, original) << name;
    }
    Imported big = Import(SphereObj(80, 120, 1.0, {0, 0, 0}, false), "star.3ds");
    ASSERT_TRUE(big.ok) << big.error;
    EXPECT_NE(big.report.find("simplified from 19080 to "), std::string::npos) << big.report;
    EXPECT_LE(big.bytes.size(), ScratchEntryBytes);
    EXPECT_LE(PackStream(big.bytes.data(), big.bytes.size()).size(), ScratchEntryBytes);
    EXPECT_GT(ReadBackVolume(big.bytes), 0);
}

// The final scene takes only a box, whose corners come out in the order the scene
// flattens and maps; anything else is refused in one line naming the rule. The same
// rule in the check: 4 vertices stop the demo, 8 in the wrong order show garbage.
TEST(MeshImport, FinalSceneNeedsTheBox)
{
    std::vector<P3> corners;
    for (int k = 7; k >= 0; k--)   // a shuffled box, 2 x 1 x 3, away from the origin
        corners.push_back({(k & 1) ? 12.0 : 10.0, (k & 2) ? 6.0 : 5.0, (k & 4) ? 3.0 : 0.0});
    const std::vector<std::array<int, 3>> quads = {{1, 2, 4}, {1, 4, 3}, {5, 7, 8}, {5, 8, 6}, {1, 5, 6}, {1, 6, 2},
                                                   {3, 4, 8}, {3, 8, 7}, {1, 3, 7}, {1, 7, 5}, {2, 6, 8}, {2, 8, 4}};
    Imported box = Import(WriteObj(corners, quads), "stucco1.3ds");
    ASSERT_TRUE(box.ok) << box.error;
    MeshFacts facts;
    std::string error;
    ASSERT_TRUE(ReadMeshFacts(box.bytes.data(), box.bytes.size(), &facts, &error));
    EXPECT_EQ(facts.firstVertices, 8u);
    EXPECT_EQ(facts.finalBoxProblem, "");
    EXPECT_GT(ReadBackVolume(box.bytes), 0);

    Imported tetra =
        Import(WriteObj({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{1, 3, 2}, {1, 2, 4}, {1, 4, 3}, {2, 3, 4}}),
               "stucco1.3ds");
    EXPECT_FALSE(tetra.ok);
    EXPECT_TRUE(OneLine(tetra.error)) << tetra.error;
    EXPECT_NE(tetra.error.find("needs the 8-vertex box (vertices 0-7)"), std::string::npos) << tetra.error;

    EXPECT_TRUE(FinalMeshStops(4));
    EXPECT_FALSE(FinalMeshStops(8));
    int32_t points[8][4];
    for (int k = 0; k < 8; k++) {
        const int swapped = k ^ 3;   // right and top exchanged
        points[k][0] = (swapped & 1) ? 65536 : -65536;
        points[k][1] = (swapped & 2) ? -65536 : 65536;
        points[k][2] = (k & 4) ? 65536 : -65536;
        points[k][3] = 0;
    }
    EXPECT_NE(FinalMeshProblem(&points[0][0], 8, 8), "");
}

// What the child process sends is checked before it is used.
TEST(MeshImport, TriangleStreamAndFailuresAreOneLine)
{
    std::vector<SourceMesh> meshes;
    std::string error;
    Bytes stream = {'T', 'V', 'M', '1', 'M', 3, 0, 0, 0, 1, 0, 0, 0, 0};
    stream.resize(stream.size() + 36, 0);
    const Bytes indices = {0, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0};   // index 3 of 3 vertices
    stream.insert(stream.end(), indices.begin(), indices.end());
    stream.push_back('Z');
    EXPECT_FALSE(ParseTriangleStream(stream.data(), stream.size(), &meshes, &error));
    EXPECT_NE(error.find("outside its mesh"), std::string::npos) << error;
    stream[stream.size() - 5] = 2;
    EXPECT_TRUE(ParseTriangleStream(stream.data(), stream.size(), &meshes, &error)) << error;
    ASSERT_EQ(meshes.size(), 1u);
    EXPECT_FALSE(ParseTriangleStream(stream.data(), stream.size() - 1, &meshes, &error));   // no end record

    const std::string fifo = TempPath("fifo.obj");   // would block a reader that opens it
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path :
         {std::string("/nonexistent/mesh.obj"), WriteFile(TempPath("x.obj"), Bytes(50, 7)), fifo}) {
        Imported r = Import(path, "star.3ds");
        EXPECT_FALSE(r.ok) << path;
        EXPECT_TRUE(OneLine(r.error)) << r.error;
    }
    EXPECT_FALSE(Import(SphereObj(4, 4, 1, {0, 0, 0}, false), "thx.scx").ok);

#if !defined(IMPORTER_WITHOUT_MEMORY_LIMIT)
    // A header that asks the importer for 18 GB: the child's memory limit ends it.
    const std::string header = "ply\nformat binary_little_endian 1.0\nelement vertex 1500000000\nproperty float x\n"
                               "property float y\nproperty float z\nend_header\n";
    Bytes hostile(header.begin(), header.end());
    hostile.resize(hostile.size() + 4096, 0x41);
    Imported r = Import(WriteFile(TempPath("hostile.ply"), hostile), "star.3ds");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(OneLine(r.error)) << r.error;
#endif
}

// Any module format the player plays is accepted as the music; other bytes are
// refused with the formats named; a module that ends before the last scene is
// reported with the scenes it reaches.
TEST(MusicImport, AnyPlayableFormatAndShortModules)
{
    MiniS3mOptions twenty;
    twenty.orders = 20;
    const Bytes s3m = BuildMiniS3m(twenty);
    Bytes out;
    std::string report, error;
    ASSERT_TRUE(ImportMusic(WriteFile(TempPath("m.s3m"), s3m), &out, &report, &error)) << error;
    EXPECT_EQ(out, s3m);
    EXPECT_NE(report.find("s3m module, 20 orders"), std::string::npos) << report;
    EXPECT_NE(report.find("reach scenes 1-5: scenes 6-17 show one frame each"), std::string::npos) << report;

    // A four-channel MOD: 31 empty samples, 64 orders of one empty pattern.
    Bytes mod(1084 + 1024, 0);
    memcpy(mod.data(), "test mod", 8);
    mod[950] = 64;
    mod[951] = 127;
    memcpy(mod.data() + 1080, "M.K.", 4);
    ASSERT_TRUE(ImportMusic(WriteFile(TempPath("m.mod"), mod), &out, &report, &error)) << error;
    EXPECT_NE(report.find("mod module, 64 orders"), std::string::npos) << report;
    EXPECT_NE(report.find("reach all 17 scenes"), std::string::npos) << report;

    EXPECT_FALSE(ImportMusic(WriteFile(TempPath("m.txt"), Bytes(5000, 'x')), &out, &report, &error));
    EXPECT_NE(error.find("not a playable module (S3M, IT, XM, MOD"), std::string::npos) << error;
    EXPECT_FALSE(ImportMusic(WriteFile(TempPath("big.s3m"), Bytes(MusicMaxBytes + 1, 0)), &out, &report, &error));

    EXPECT_EQ(FirstSceneNotReached(20), 6);
    EXPECT_EQ(FirstSceneNotReached(63), 17);
    EXPECT_EQ(FirstSceneNotReached(64), 0);
}

// Sizes and pixels against the entry table, at the edges of each area.
TEST(ContentRules, EntrySizesAndPixelRanges)
{
    const DataEntry& thx = *FindDataEntry("thx.scx");
    EXPECT_EQ(EntrySizeProblem(thx, ScratchEntryBytes, ScratchEntryBytes), "");
    EXPECT_NE(EntrySizeProblem(thx, ScratchEntryBytes + 1, 70000), "");
    EXPECT_NE(EntrySizeProblem(thx, 1000, ScratchEntryBytes + 1), "");
    EXPECT_NE(EntrySizeProblem(thx, 1000, DataEntryNeeds(thx) - 1).find("the demo reads 64778"), std::string::npos);
    const DataEntry& groups = *FindDataEntry("groups.dat");
    EXPECT_EQ(EntrySizeProblem(groups, LoadingPackedLimit, StripBytes), "");
    EXPECT_NE(EntrySizeProblem(groups, LoadingPackedLimit + 1, StripBytes), "");
    const DataEntry& music = *FindDataEntry("music.s3m");
    EXPECT_EQ(EntrySizeProblem(music, 1000, MusicMaxBytes), "");
    EXPECT_NE(EntrySizeProblem(music, 1000, MusicMaxBytes + 1), "");

    const uint8_t texels[] = {0, 236, 237, 253, 254, 255};
    PixelCounts euf0010 = CountPixels(*FindDataEntry("euf0010.scx"), texels, sizeof texels);
    EXPECT_EQ(euf0010.bad, 2u);   // 237 and 253: the overlay colours
    EXPECT_EQ(euf0010.firstBad, 237);
    PixelCounts mview = CountPixels(*FindDataEntry("23mview.scx"), texels, sizeof texels);
    EXPECT_EQ(mview.bad, 0u);
    EXPECT_EQ(mview.low, 1u);   // 0 lets the background through
    EXPECT_EQ(CountPixels(*FindDataEntry("8emp_g.scx"), texels, sizeof texels).bad, 5u);
}

namespace {

// The default data file with entry `name` replaced by `data` (packed as given by
// `stream` when not empty), written to a temporary file.
std::string DefaultWith(const std::string& name, const Bytes& data, Bytes stream = {})
{
    Archive archive;
    EXPECT_TRUE(ArchiveOpenFile(&archive, TIVREL_BUILD_DIR "/tivrel.ovl")) << "build the content target";
    std::vector<RawEntry> entries;
    for (uint32_t i = 0; i < ArchiveEntryCount(&archive); i++) {
        const OverlayEntry* e = ArchiveEntry(&archive, int32_t(i));
        RawEntry raw{std::string(e->name, strnlen(e->name, OverlayNameBytes)), Bytes(e->packedSize), e->unpackedSize};
        EXPECT_TRUE(ArchiveReadPacked(&archive, int32_t(i), raw.stream.data(), raw.stream.size()));
        if (raw.name == name) {
            raw.stream = stream.empty() ? PackStream(data.data(), data.size()) : stream;
            raw.unpackedSize = uint32_t(data.size());
        }
        entries.push_back(std::move(raw));
    }
    return WriteFile(TempPath("check.ovl"), RawArchive(entries));
}

Bytes DefaultEntry(const char* name)
{
    Archive archive;
    EXPECT_TRUE(ArchiveOpenFile(&archive, TIVREL_BUILD_DIR "/tivrel.ovl"));
    Bytes data;
    EXPECT_TRUE(ArchiveDecodeEntry(&archive, ArchiveFind(&archive, name), &data));
    return data;
}

}   // namespace

// The default data passes clean; damage that stops the demo or shows garbage fails
// the check; a short module only warns.
TEST(DataCheck, ExitStatusOnDamagedData)
{
    std::string report;
    EXPECT_EQ(CheckDataFile("/nonexistent.ovl", &report), 1);
    EXPECT_TRUE(OneLine(report.substr(0, report.size() - 1))) << report;
    EXPECT_EQ(CheckDataFile(TIVREL_BUILD_DIR "/tivrel.ovl", &report), 0) << report;
    EXPECT_NE(report.find("0 problems, 0 warnings"), std::string::npos) << report;
    EXPECT_NE(report.find("demo length: "), std::string::npos);

    Bytes texture = DefaultEntry("euf0010.scx");
    texture[PicturePixelsOffset + 5000] = 240;
    EXPECT_EQ(CheckDataFile(DefaultWith("euf0010.scx", texture), &report), 1);
    EXPECT_NE(report.find("problem: euf0010.scx: 1 pixels use values"), std::string::npos) << report;

    MiniS3mOptions twenty;
    twenty.orders = 20;
    EXPECT_EQ(CheckDataFile(DefaultWith("music.s3m", BuildMiniS3m(twenty)), &report), 0) << report;
    EXPECT_NE(report.find("warning: music.s3m: the module has 20 orders"), std::string::npos) << report;

    MeshData tetra{"tetra",
                   {{0, 0, 0}, {90, 0, 0}, {0, 90, 0}, {0, 0, 90}},
                   {0, 1, 0, 1},
                   {0, 0, 1, 1},
                   {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}};
    EXPECT_EQ(CheckDataFile(DefaultWith("stucco1.3ds", EncodeMeshFile({tetra})), &report), 1);
    EXPECT_NE(report.find("stucco1.3ds: the first object has 4 vertices"), std::string::npos) << report;

    // groups.dat as literals only: a valid stream far larger than the loading area.
    Bytes strip(StripBytes);
    std::mt19937 rng(5);
    for (uint8_t& b : strip)
        b = uint8_t(rng() & 0x7F);
    Bytes stream;
    StreamWriter w;
    StreamBegin(&w, &stream);
    for (uint8_t b : strip)
        StreamLiteral(&w, b);
    StreamEnd(&w);
    EXPECT_EQ(CheckDataFile(DefaultWith("groups.dat", strip, stream), &report), 1);
    EXPECT_NE(report.find("than the 1048576-byte loading area"), std::string::npos) << report;
}
