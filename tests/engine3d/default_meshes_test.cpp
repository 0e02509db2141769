// The generated default meshes, read back through the mesh reader: closed, wound
// outward (which the renderer's back-face rule draws from the side facing the eye),
// near the origin, with the chunks a reader must skip; and the final scene's slab has
// the vertex layout that scene relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "archive/entries.h"
#include "core/bytes.h"
#include "engine3d/mesh.h"
#include "gencontent/content.h"

namespace {

struct Shape {
    int objects;
    int genus;   // 0: sphere-like, 1: torus-like
};
const std::map<std::string, Shape> Shapes = {{"star.3ds", {1, 0}},  {"jo2.3ds", {1, 1}},  {"jo6.3ds", {1, 1}},
                                             {"part5.3ds", {1, 0}}, {"new4.3ds", {3, 1}}, {"stucco1.3ds", {1, 0}}};

std::vector<std::string> MeshEntries()
{
    std::vector<std::string> names;
    for (int i = 0; i < DataEntryCount; i++)
        if (DataEntries[i].kind == EntryMesh)
            names.push_back(DataEntries[i].name);
    return names;
}

// Reads the mesh file `name` into the object table.
void Load(const std::string& name)
{
    std::vector<uint8_t> bytes = BuildMeshFile(name);
    MemoryMeshInput input{bytes.data(), uint32_t(bytes.size()), 0};
    const char* error = ParseMeshEntry(MemoryMeshSource(&input));
    ASSERT_EQ(error, nullptr) << name << ": " << error;
}

class DefaultMeshes : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(Load(GetParam())); }
    void TearDown() override { ReleaseObjectTable(); }
};

TEST_P(DefaultMeshes, AreClosedOutwardWoundAndNearTheOrigin)
{
    ASSERT_EQ(Shapes.count(GetParam()), 1u) << "no shape expected for this mesh entry";
    const Shape& shape = Shapes.at(GetParam());
    EXPECT_EQ(ObjectCount, shape.objects);
    // The scenes' eye is 556 units in front of the origin (1,256 for the final scene);
    // with projected sizes in mind the meshes stay far closer.
    double reach = GetParam() == "stucco1.3ds" ? 500 : 200;
    for (int32_t k = 0; k < ObjectCount; k++) {
        const MeshObject* o = ObjectTable[k];
        for (uint32_t i = 0; i < o->vertices->count; i++) {
            const Point4& v = o->vertices->entry[i];
            ASSERT_LT(std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z) / 65536, reach) << i;
        }
        // Every directed edge once, and its reverse once: a closed, oriented surface.
        std::map<std::pair<int, int>, int> edges;
        double volume = 0;   // signed; the reader's axis swap is a rotation, so the sign holds
        for (uint32_t f = 0; f < o->faces->count; f++) {
            const Face& t = o->faces->entry[f];
            edges[{t.a, t.b}]++;
            edges[{t.b, t.c}]++;
            edges[{t.c, t.a}]++;
            const Point4 &a = o->vertices->entry[t.a], &b = o->vertices->entry[t.b], &c = o->vertices->entry[t.c];
            volume += double(a.x) * (double(b.y) * c.z - double(b.z) * c.y) -
                      double(a.y) * (double(b.x) * c.z - double(b.z) * c.x) +
                      double(a.z) * (double(b.x) * c.y - double(b.y) * c.x);
        }
        for (const auto& [edge, uses] : edges) {
            ASSERT_EQ(uses, 1) << "object " << k << " edge " << edge.first << "-" << edge.second;
            ASSERT_EQ(edges.count({edge.second, edge.first}), 1u) << "object " << k << " open edge";
        }
        // Euler characteristic of a closed triangle mesh of the expected genus.
        EXPECT_EQ(int(o->faces->count), 2 * int(o->vertices->count) - 4 + 4 * shape.genus) << "object " << k;
        EXPECT_GT(volume, 0) << "object " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, DefaultMeshes, testing::ValuesIn(MeshEntries()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param.substr(0, info.param.find('.'));
                         });

TEST(FinalSceneSlab, BottomFaceIsVertices0154AndTopIs2367)
{
    ASSERT_NO_FATAL_FAILURE(Load("stucco1.3ds"));
    const MeshObject* o = ObjectTable[0];
    ASSERT_EQ(o->vertices->count, 8u);
    ASSERT_NE(o->mapping, nullptr);
    const Point4* v = o->vertices->entry;
    // Model y grows downwards: the bottom has the larger y.
    for (int i : {1, 4, 5})
        EXPECT_EQ(v[i].y, v[0].y);
    for (int i : {3, 6, 7})
        EXPECT_EQ(v[i].y, v[2].y);
    EXPECT_GT(v[0].y, v[2].y);
    // The bottom quad is two faces using only 0, 1, 4, 5.
    int bottomFaces = 0;
    std::set<int> bottom = {0, 1, 4, 5};
    for (uint32_t f = 0; f < o->faces->count; f++) {
        const Face& t = o->faces->entry[f];
        bottomFaces += bottom.count(t.a) && bottom.count(t.b) && bottom.count(t.c);
    }
    EXPECT_EQ(bottomFaces, 2);
    // The strip window (256 x 128 texels) maps 0 -> 4 along u and 0 -> 1 along v:
    // the slab is twice as long from 0 to 4 as from 0 to 1.
    double along = std::abs(double(v[4].z - v[0].z)), across = std::abs(double(v[1].x - v[0].x));
    EXPECT_NEAR(along / across, 2.0, 0.01);
    ReleaseObjectTable();
}

TEST(DefaultMeshFiles, CarryChunksAReaderMustSkip)
{
    // Walk the tree of one file and collect every chunk id.
    std::vector<uint8_t> bytes = BuildMeshFile("new4.3ds");
    std::set<int> ids;
    auto walk = [&](auto&& self, size_t start, size_t end) -> void {
        while (start + 6 <= end) {
            int id = ReadLE16(&bytes[start]);
            uint32_t length = ReadLE32(&bytes[start + 2]);
            ids.insert(id);
            size_t data = start + 6;
            if (id == 0x4000)
                while (bytes[data++] != 0) {
                }
            if (id == 0x4D4D || id == 0x3D3D || id == 0x4000 || id == 0x4100 || id == 0xAFFF || id == 0xB000)
                self(self, data, start + length);
            if (id == 0x4120) {
                uint16_t faces = ReadLE16(&bytes[data]);
                self(self, data + 2 + 8 * size_t(faces), start + length);
            }
            start += length;
        }
    };
    walk(walk, 0, bytes.size());
    for (int id : {0x4D4D, 0x3D3D, 0x4000, 0x4100, 0x4110, 0x4140, 0x4120, 0xAFFF, 0xA000, 0x4600, 0x4700, 0xB000,
                   0x4130, 0x4150, 0x4160})
        EXPECT_EQ(ids.count(id), 1u) << std::hex << id;
}

}   // namespace
