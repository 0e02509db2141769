// The 3D Studio reader on files built here: structure, numbers, and lying files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine3d/chunk_file.h"
#include "engine3d/mesh.h"

namespace {

const std::vector<std::array<float, 3>> TrianglePoints = {{1, 2, 3}, {4, 2, 3}, {1, 2, 7}};
const std::vector<std::array<uint16_t, 3>> OneFace = {{0, 1, 2}};
constexpr float Huge = 1e30f;

const char* Parse(const std::vector<uint8_t>& bytes)
{
    MemoryMeshInput input{bytes.data(), uint32_t(bytes.size()), 0};
    return ParseMeshEntry(MemoryMeshSource(&input));
}

// A main and an editor chunk around whatever `body` adds.
std::vector<uint8_t> MeshFile(const std::function<void(File&)>& body)
{
    File f;
    f.Begin(0x4D4D).Begin(0x3D3D);
    body(f);
    return f.End().End().bytes;
}

std::vector<int> Xyz(const Point4& p) { return {p.x, p.y, p.z}; }

class MeshReader : public testing::Test {
protected:
    void TearDown() override { ReleaseObjectTable(); }
};

TEST_F(MeshReader, ObjectsInFileOrderWithForeignChunksSkipped)
{
    File f;
    f.Begin(0x4D4D).Begin(0x0002).U32(3).End();
    f.Begin(0x3D3D);
    f.Begin(0xAFFF).Begin(0xA000).Name("chrome").End().End();                // material
    f.Begin(0x4000).Name("lamp").Begin(0x4600).F(1).F(2).F(3).End().End();   // light
    f.Object("first", TrianglePoints, OneFace, true);
    f.Begin(0x4000).Name("eye").Begin(0x4700).F(1).F(1).F(1).F(1).F(1).F(1).F(1).F(1).End().End();   // camera
    f.Object("", {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 0, 1}}, {{0, 1, 2}, {1, 3, 2}});
    f.End();
    f.Begin(0xB000).Begin(0xB00A).U16(5).Name("x").U32(100).End().End();   // keyframes
    f.End();

    ASSERT_EQ(Parse(f.bytes), nullptr);
    ASSERT_EQ(ObjectCount, 2);
    EXPECT_EQ(ObjectTable[0]->vertices->count, 3u);
    EXPECT_EQ(ObjectTable[0]->faces->count, 1u);
    EXPECT_NE(ObjectTable[0]->mapping, nullptr);
    EXPECT_EQ(ObjectTable[1]->vertices->count, 4u);   // the object with the empty name
    EXPECT_EQ(ObjectTable[1]->faces->count, 2u);
    EXPECT_EQ(ObjectTable[1]->mapping, nullptr);
}

TEST_F(MeshReader, NumbersAndNormals)
{
    // The triangle lies in the file plane y = 2 with model edges (3, 0, 0) and (0, -4, 0):
    // its normal (b - a) x (c - a) is model -z at length 63.
    ASSERT_EQ(Parse(MeshFile([](File& f) { f.Object("tri", TrianglePoints, OneFace, true); })), nullptr);
    const MeshObject* o = ObjectTable[0];
    EXPECT_EQ(Xyz(o->vertices->entry[0]), (std::vector<int>{65536, -196608, 131072}));
    EXPECT_EQ(o->mapping[1].u, 128);   // 0.5 texture widths
    EXPECT_EQ(o->mapping[2].u, 256);
    EXPECT_EQ(o->mapping[0].v, 256);
    EXPECT_EQ(o->faces->entry[0].b, 1);
    EXPECT_EQ(o->vertexNormals->count, 3u);
    EXPECT_EQ(o->faceNormals->count, 1u);
    EXPECT_EQ(Xyz(o->faceNormals->entry[0]), (std::vector<int>{0, 0, -63 * 65536}));
    ReleaseObjectTable();

    // A small face towards file -y and a large one towards file +z share vertex 0: its
    // normal bisects them whatever their sizes, model (0, -1, -1) / sqrt 2 x 63.
    ASSERT_EQ(Parse(MeshFile([](File& f) {
                  f.Object("pair", {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 100, 0}, {100, 0, 0}}, {{0, 1, 2}, {0, 4, 3}});
              })),
              nullptr);
    const Point4& n = ObjectTable[0]->vertexNormals->entry[0];
    const double k = 63 / std::sqrt(2.0) * 65536;
    EXPECT_EQ(n.x, 0);
    EXPECT_NEAR(n.y, -k, 1);
    EXPECT_NEAR(n.z, -k, 1);
    ReleaseObjectTable();

    // A degenerate face adds nothing and has a zero normal.
    ASSERT_EQ(Parse(MeshFile([](File& f) { f.Object("line", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, OneFace); })), nullptr);
    EXPECT_EQ(Xyz(ObjectTable[0]->faceNormals->entry[0]), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Xyz(ObjectTable[0]->vertexNormals->entry[1]), (std::vector<int>{0, 0, 0}));
}

// Each lying file is refused with its reason and leaves no objects behind.
TEST_F(MeshReader, LyingFilesFailCleanly)
{
    auto object = [](const std::vector<std::array<float, 3>>& points) {
        return [points](File& f) { f.Object("a", points, OneFace); };
    };
    auto mesh = [](const std::function<void(File&)>& inner) {
        return MeshFile([inner](File& f) {
            f.Begin(0x4000).Name("a").Begin(0x4100);
            inner(f);
            f.End().End();
        });
    };
    std::vector<uint8_t> longMain = MeshFile(object(TrianglePoints)), wrongId = longMain, deep;
    longMain[2] += 50;
    wrongId[0] = 0x4E;
    File nested;
    nested.Begin(0x4D4D);
    for (int k = 0; k < 10; k++)
        nested.Begin(0x3D3D);
    nested.Object("a", TrianglePoints, OneFace);
    for (int k = 0; k < 11; k++)
        nested.End();
    const struct {
        const char* reason;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"not a 3DS file", {}},
        {"not a 3DS file", wrongId},
        {"main chunk length", longMain},
        {"count runs past", mesh([](File& f) { f.Begin(0x4110).U16(500).F(1).F(2).F(3).End(); })},
        {"vertex index out of range", MeshFile([](File& f) {
             f.Object("a", TrianglePoints, {{0, 1, 3}});
         })},
        {"nested too deep", nested.bytes},
        {"unterminated", MeshFile([](File& f) { f.Begin(0x4000).U8('a').U8('b').End(); })},
        {"longer than 255", MeshFile([](File& f) { f.Object(std::string(256, 'n'), TrianglePoints, OneFace); })},
        {"empty chunk container",
         MeshFile([](File& f) { f.Begin(0x4100).End().Object("a", TrianglePoints, OneFace); })},
        {"below 6", MeshFile([](File& f) { f.Object("a", TrianglePoints, OneFace).U16(0x1234).U32(3); })},
        {"past its container", MeshFile([](File& f) { f.Object("a", TrianglePoints, OneFace).U16(0x1234).U32(60); })},
        {"no triangle mesh", MeshFile([](File& f) { f.Begin(0xAFFF).U32(0).End(); })},
        {"mapping count", mesh([](File& f) {
             f.Vertices(TrianglePoints).Mapping({{0, 0}}).Faces(OneFace);
         })},
        {"mapping coordinate out of range", mesh([](File& f) {
             f.Vertices(TrianglePoints).Mapping({{0, 0}, {Huge, 0}, {0, 0}}).Faces(OneFace);
         })},
        {"face list without", mesh([](File& f) { f.Faces(OneFace).Vertices(TrianglePoints); })},
        {"vertex list without", mesh([](File& f) { f.Vertices(TrianglePoints); })},
        {"coordinate out of range", MeshFile(object({{Huge, 0, 0}, {0, 0, 0}, {0, 0, 1}}))},
        {"coordinate out of range", MeshFile(object({{NAN, 0, 0}, {0, 0, 0}, {0, 0, 1}}))},
        {"header runs past", MeshFile([](File& f) { f.Object("a", TrianglePoints, OneFace).U8(1).U8(2); })},
        {"more than 256 objects", MeshFile([](File& f) {
             for (int k = 0; k < 257; k++)
                 f.Object("a", TrianglePoints, OneFace);
         })},
    };
    for (const auto& c : cases) {
        const char* error = Parse(c.bytes);
        ASSERT_NE(error, nullptr) << c.reason;
        EXPECT_NE(strstr(error, c.reason), nullptr) << c.reason << ": " << error;
        EXPECT_EQ(ObjectCount, 0) << c.reason;
    }
    EXPECT_EQ(Parse(wrongId), NotMeshFileReason);
}

TEST_F(MeshReader, EveryTruncationOfAGoodFileFailsWithoutReadingPastIt)
{
    auto bytes =
        MeshFile([](File& f) { f.Object("a", TrianglePoints, OneFace, true).Object("b", TrianglePoints, OneFace); });
    ASSERT_EQ(Parse(bytes), nullptr);
    ReleaseObjectTable();
    for (size_t size = 0; size < bytes.size(); size++) {
        // A copy of exactly `size` bytes, so a sanitizer sees any read past it.
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + size);
        EXPECT_NE(Parse(cut), nullptr) << size;
        EXPECT_EQ(ObjectCount, 0);
    }
}

}   // namespace
