// The 3D Studio reader on files built here: structure, numbers, and lying files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine3d/chunk_file.h"
#include "engine3d/mesh.h"

namespace {

const std::vector<std::array<float, 3>> TrianglePoints = {{1, 2, 3}, {4, 2, 3}, {1, 2, 7}};
const std::vector<std::array<uint16_t, 3>> OneFace = {{0, 1, 2}};

const char* Parse(const std::vector<uint8_t>& bytes)
{
    MemoryMeshInput input{bytes.data(), uint32_t(bytes.size()), 0};
    return ParseMeshEntry(MemoryMeshSource(&input));
}

std::string ParseOk(const std::vector<uint8_t>& bytes)
{
    const char* error = Parse(bytes);
    return error ? error : "";
}

class MeshReader : public testing::Test {
protected:
    void TearDown() override { ReleaseObjectTable(); }
};

TEST_F(MeshReader, ObjectsInFileOrderWithForeignChunksSkipped)
{
    File f;
    f.Begin(0x4D4D).Begin(0x0002).U32(3).End();
    f.Begin(0x3D3D);
    f.Begin(0xAFFF).Begin(0xA000).Name("chrome").End().End();              // material
    f.Begin(0x4000).Name("lamp").Begin(0x4600).F(1).F(2).F(3).End().End();  // light
    f.Object("first", TrianglePoints, OneFace, true);
    f.Begin(0x4000).Name("eye").Begin(0x4700);                               // camera
    for (int k = 0; k < 8; k++)
        f.F(1);
    f.End().End();
    f.Object("", {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 0, 1}}, {{0, 1, 2}, {1, 3, 2}});
    f.End();
    f.Begin(0xB000).Begin(0xB00A).U16(5).Name("x").U32(100).End().End();     // keyframes
    f.End();

    ASSERT_EQ(ParseOk(f.bytes), "");
    ASSERT_EQ(ObjectCount, 2);
    EXPECT_EQ(ObjectTable[0]->vertices->count, 3u);
    EXPECT_EQ(ObjectTable[0]->faces->count, 1u);
    ASSERT_NE(ObjectTable[0]->mapping, nullptr);
    EXPECT_EQ(ObjectTable[1]->vertices->count, 4u);   // the object with the empty name
    EXPECT_EQ(ObjectTable[1]->faces->count, 2u);
    EXPECT_EQ(ObjectTable[1]->mapping, nullptr);
}

TEST_F(MeshReader, NumbersAreConvertedAsSpecified)
{
    File f;
    f.Begin(0x4D4D).Begin(0x3D3D).Object("tri", TrianglePoints, OneFace, true).End().End();
    ASSERT_EQ(ParseOk(f.bytes), "");
    const MeshObject* o = ObjectTable[0];
    const Point4& v = o->vertices->entry[0];
    EXPECT_EQ((std::vector<int>{v.x, v.y, v.z}), (std::vector<int>{65536, -196608, 131072}));
    EXPECT_EQ(o->mapping[1].u, 128);   // 0.5 texture widths
    EXPECT_EQ(o->mapping[2].u, 256);
    EXPECT_EQ(o->mapping[0].v, 256);
    EXPECT_EQ(o->faces->entry[0].b, 1);
    // Counts of the working arrays.
    EXPECT_EQ(o->vertexNormals->count, 3u);
    EXPECT_EQ(o->faceNormals->count, 1u);
    // The triangle lies in the file plane y = 2: model edges (3, 0, 0) and (0, -4, 0),
    // so its normal is (b - a) x (c - a) = model -z, at length 63.
    const Point4& n = o->faceNormals->entry[0];
    double length = std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z) / 65536;
    EXPECT_NEAR(length, 63, 0.01);
    EXPECT_EQ(n.x, 0);
    EXPECT_EQ(n.y, 0);
    EXPECT_EQ(n.z, -63 * 65536);
}

TEST(RoundToInt, HalvesGoAwayFromZero)
{
    EXPECT_EQ(RoundToInt(2.5), 3);
    EXPECT_EQ(RoundToInt(-2.5), -3);
    EXPECT_EQ(RoundToInt(2.49), 2);
    EXPECT_EQ(RoundToInt(-2.49), -2);
    EXPECT_EQ(RoundToInt(0.5), 1);
    EXPECT_EQ(RoundToInt(-0.4), 0);
}

TEST_F(MeshReader, SharedVertexNormalIsTheSumOfUnitNormalsWhateverTheSizes)
{
    // A small triangle facing file -y and a large one facing file +z share vertex 0;
    // the vertex normal bisects them: model (0, -1, -1) / sqrt 2 x 63 (file -y is model
    // -z; file +z is model -y).
    File f;
    f.Begin(0x4D4D).Begin(0x3D3D);
    f.Object("pair", {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 100, 0}, {100, 0, 0}},
             {{0, 1, 2}, {0, 4, 3}});
    f.End().End();
    ASSERT_EQ(ParseOk(f.bytes), "");
    const Point4& n = ObjectTable[0]->vertexNormals->entry[0];
    double k = 63 / std::sqrt(2.0) * 65536;
    EXPECT_EQ(n.x, 0);
    EXPECT_NEAR(std::abs(n.y), k, 1);
    EXPECT_NEAR(std::abs(n.z), k, 1);
    EXPECT_EQ(n.y > 0, n.z > 0) << "both faces' directions weigh alike";
}

TEST_F(MeshReader, DegenerateFacesGetZeroNormals)
{
    File f;
    f.Begin(0x4D4D).Begin(0x3D3D).Object("line", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {{0, 1, 2}}).End().End();
    ASSERT_EQ(ParseOk(f.bytes), "");
    const Point4& n = ObjectTable[0]->faceNormals->entry[0];
    EXPECT_EQ((std::vector<int>{n.x, n.y, n.z}), (std::vector<int>{0, 0, 0}));
    const Point4& m = ObjectTable[0]->vertexNormals->entry[1];
    EXPECT_EQ((std::vector<int>{m.x, m.y, m.z}), (std::vector<int>{0, 0, 0}));
}

// Each hostile file is refused with a reason and leaves no objects behind.
struct Hostile {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* reason;   // part of the expected reason
};

std::vector<Hostile> HostileFiles()
{
    std::vector<Hostile> cases;
    auto add = [&](const char* what, const File& f, const char* reason) { cases.push_back({what, f.bytes, reason}); };
    File f;

    add("empty file", File(), "not a 3DS file");
    f = File();
    f.Begin(0x4D4E).Begin(0x3D3D).Object("a", TrianglePoints, OneFace).End().End();
    add("wrong main id", f, "not a 3DS file");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Object("a", TrianglePoints, OneFace).End().End();
    f.bytes[2] += 50;   // main length past the file
    add("main chunk longer than the file", f, "main chunk length");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Begin(0x4000).Name("a").Begin(0x4100);
    f.Begin(0x4110).U16(500).F(1).F(2).F(3).End();   // 500 points announced, 1 present
    f.End().End().End().End();
    add("vertex count past its chunk", f, "count runs past");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Object("a", TrianglePoints, {{0, 1, 3}}).End().End();
    add("vertex index out of range", f, "vertex index out of range");

    f = File();
    f.Begin(0x4D4D);
    for (int k = 0; k < 10; k++)
        f.Begin(0x3D3D);
    f.Object("a", TrianglePoints, OneFace);
    for (int k = 0; k < 11; k++)
        f.End();
    add("nested deeper than the tables", f, "nested too deep");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Begin(0x4000);
    f.U8('a').U8('b').U8('c');   // name never terminated inside its chunk
    f.End().End().End();
    add("unterminated name", f, "unterminated");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Object(std::string(256, 'n'), TrianglePoints, OneFace).End().End();
    add("256-byte name", f, "longer than 255");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Begin(0x4100).End().Object("a", TrianglePoints, OneFace).End().End();
    add("empty container", f, "empty chunk container");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Object("a", TrianglePoints, OneFace).U16(0x1234).U32(3).End().End();
    add("chunk length below 6", f, "below 6");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Object("a", TrianglePoints, OneFace).U16(0x1234).U32(60).U32(0).End().End();
    add("chunk past its parent's end", f, "past its container");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Begin(0xAFFF).U32(0).End().End().End();
    add("no mesh at all", f, "no triangle mesh");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Begin(0x4000).Name("a").Begin(0x4100).Vertices(TrianglePoints);
    f.Mapping({{0, 0}}).Faces(OneFace).End().End().End().End();
    add("mapping count differs from vertex count", f, "mapping count");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Begin(0x4000).Name("a").Begin(0x4100).Faces(OneFace);
    f.Vertices(TrianglePoints).End().End().End().End();
    add("face list before its vertex list", f, "face list without");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Begin(0x4000).Name("a").Begin(0x4100).Vertices(TrianglePoints);
    f.End().End().End().End();
    add("vertex list without face list", f, "vertex list without");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Object("a", {{1e30f, 0, 0}, {0, 0, 0}, {0, 0, 1}}, OneFace).End().End();
    add("coordinate too large for 16.16", f, "coordinate out of range");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Object("a", {{NAN, 0, 0}, {0, 0, 0}, {0, 0, 1}}, OneFace).End().End();
    add("coordinate not a number", f, "coordinate out of range");

    f = File();
    f.Begin(0x4D4D).Begin(0x3D3D).Object("a", TrianglePoints, OneFace).End().U8(1).U8(2).End();
    add("trailing bytes shorter than a header", f, "header runs past");
    return cases;
}

TEST_F(MeshReader, LyingFilesFailCleanly)
{
    for (const Hostile& h : HostileFiles()) {
        const char* error = Parse(h.bytes);
        ASSERT_NE(error, nullptr) << h.what;
        EXPECT_NE(strstr(error, h.reason), nullptr) << h.what << ": " << error;
        EXPECT_EQ(ObjectCount, 0) << h.what;
    }
    EXPECT_EQ(Parse(HostileFiles()[1].bytes), NotMeshFileReason);
}

TEST_F(MeshReader, EveryTruncationOfAGoodFileFailsWithoutReadingPastIt)
{
    File f;
    f.Begin(0x4D4D).Begin(0x3D3D).Object("a", TrianglePoints, OneFace, true).Object("b", TrianglePoints, OneFace);
    f.End().End();
    ASSERT_EQ(ParseOk(f.bytes), "");
    ReleaseObjectTable();
    for (size_t size = 0; size < f.bytes.size(); size++) {
        // A copy of exactly `size` bytes, so a sanitizer sees any read past it.
        std::vector<uint8_t> cut(f.bytes.begin(), f.bytes.begin() + size);
        EXPECT_NE(Parse(cut), nullptr) << size;
        EXPECT_EQ(ObjectCount, 0);
    }
}

}  // namespace
