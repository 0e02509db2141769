// Transform, projection, face order, back-face rule and render modes.
#include <gtest/gtest.h>

// Points and objects are written with their leading fields; the rest stay 0.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "engine3d/render.h"

namespace {

// A PointArray or FaceArray in a vector-backed block (count word + 16-byte entries).
struct Block {
    std::vector<uint32_t> words;
    explicit Block(uint32_t count) : words(1 + 4 * size_t(count), 0) { words[0] = count; }
    PointArray* points() { return reinterpret_cast<PointArray*>(words.data()); }
    FaceArray* faces() { return reinterpret_cast<FaceArray*>(words.data()); }
};

TEST(Transform, RotationAboutZThenYThenXInWholeUnits)
{
    EXPECT_EQ(SineTable[90], 65536);
    EXPECT_EQ(SineTable[270], -65536);
    EXPECT_EQ(SineTable[30], 32768);
    EXPECT_EQ(SineTable[449], SineTable[89]);
    struct Case {
        int z, y, x;
        Point4 in;
        std::array<int, 3> out;
    };
    const Case cases[] = {
        {0, 0, 0, {3 * 65536, -65536, 0}, {3, -1, 0}}, {0, 0, 0, {98304, 0, 0}, {2, 0, 0}},   // 1.5 rounds up
        {90, 0, 0, {65536, 0, 0}, {0, 1, 0}},          {90, 0, 0, {0, 65536, 0}, {-1, 0, 0}},
        {0, 90, 0, {65536, 0, 0}, {0, 0, 1}},          {0, 90, 0, {0, 0, 65536}, {-1, 0, 0}},
        {0, 0, 90, {0, 65536, 0}, {0, 0, 1}},          {0, 0, 90, {0, 0, 65536}, {0, -1, 0}},
        {90, 90, 0, {65536, 0, 0}, {0, 1, 0}},         {-270, 0, 0, {65536, 0, 0}, {0, 1, 0}},
        {0, 45, 0, {100 * 65536, 0, 0}, {71, 0, 71}},
    };
    for (const Case& c : cases) {
        Block src(1), dst(1);
        src.points()->entry[0] = c.in;
        dst.points()->count = 0;
        dst.points()->entry[0].spare = 12345;
        RotatePointArray(src.points(), dst.points(), c.z, c.y, c.x);
        const Point4& q = dst.points()->entry[0];
        EXPECT_EQ((std::array<int, 3>{q.x, q.y, q.z}), c.out) << c.z << " " << c.y << " " << c.x;
        EXPECT_EQ(dst.points()->count, 1u);
        EXPECT_EQ(q.spare, 12345);
    }
}

// Long arrays take the four-at-a-time path: every point as when rotated alone, over
// the whole coordinate range (products up to 2^47, wrapping sums), spares kept.
TEST(Transform, LongArraysRotateEachPointAsAlone)
{
    std::mt19937 random(7);
    const uint32_t count = 203;   // fours and a remainder
    Block src(count), dst(count);
    for (uint32_t k = 0; k < count; k++) {
        Point4& p = src.points()->entry[k];
        p = {int32_t(random()), int32_t(random()), int32_t(random()), int32_t(random())};
        if (k % 3 == 0)
            p = {int32_t(random() % 2000001) - 1000000, int32_t(random() % 2000001) - 1000000,
                 int32_t(random() % 2000001) - 1000000, 0};
        dst.points()->entry[k].spare = int32_t(k * 11);
    }
    for (int angles : {0, 1, 30, 37, 90, 181, 359}) {
        const int z = angles, y = angles * 7 + 3, x = angles * 13 + 5;
        RotatePointArray(src.points(), dst.points(), z, y, x);
        for (uint32_t k = 0; k < count; k++) {
            Block one(1), alone(1);
            one.points()->entry[0] = src.points()->entry[k];
            RotatePointArray(one.points(), alone.points(), z, y, x);
            const Point4 &q = dst.points()->entry[k], &r = alone.points()->entry[0];
            ASSERT_EQ((std::array<int, 4>{q.x, q.y, q.z, q.spare}), (std::array<int, 4>{r.x, r.y, r.z, int(k * 11)}))
                << "point " << k << " angles " << z << " " << y << " " << x;
        }
    }
}

TEST(Transform, ProjectionTruncatesAndRefusesVerticesAtOrBehindTheEye)
{
    Block points(4);
    Point4* p = points.points()->entry;
    p[0] = {100, -100, 0, 0};
    p[1] = {5, 5, -556, 0};      // w = 0
    p[2] = {5, 5, -700, 0};      // behind the eye
    p[3] = {9000, 0, -555, 0};   // w = 1: far off screen
    uint8_t usable[4];
    ProjectPointArray(points.points(), Camera{256, 160, 100, 300}, usable);
    EXPECT_EQ(p[0].x, 206);   // 160 + 25,600 / 556
    EXPECT_EQ(p[0].y, 54);    // 100 - 25,600 / 556, truncated toward zero
    EXPECT_EQ(p[0].z, 0);     // depth kept without the offset
    EXPECT_EQ((std::vector<int>{usable[0], usable[1], usable[2], usable[3]}), (std::vector<int>{1, 0, 0, 0}));
}

// Faces (0, 0, c): told apart by c, with depth keys from the vertex depths.
std::vector<int> Order(Block& faces)
{
    std::vector<int> order;
    for (uint32_t k = 0; k < faces.faces()->count; k++)
        order.push_back(faces.faces()->entry[k].c);
    return order;
}

TEST(FaceOrder, LargestKeyFirstWithFlatModeNormalsMovingAlong)
{
    Block vertices(6), faces(4), normals(4), rotated(4);
    const int depths[6] = {5, 1, 9, -3, 7, 2};
    for (int i = 0; i < 6; i++)
        vertices.points()->entry[i].z = depths[i];
    const int tri[4][3] = {{0, 1, 3}, {2, 4, 0}, {1, 3, 5}, {2, 2, 4}};   // keys 3, 21, 0, 25
    for (int k = 0; k < 4; k++) {
        faces.faces()->entry[k] = Face{tri[k][0], tri[k][1], tri[k][2], 0};
        normals.points()->entry[k].x = 100 + k;
        rotated.points()->entry[k].z = 200 + k;
    }
    SortFaceArray(faces.faces(), vertices.points(), normals.points(), rotated.points());
    for (int k = 0; k < 4; k++) {
        const int from[4] = {3, 1, 0, 2};
        EXPECT_EQ(faces.faces()->entry[k].depthKey, (std::vector<int>{25, 21, 3, 0})[k]);
        EXPECT_EQ(faces.faces()->entry[k].a, tri[from[k]][0]);
        EXPECT_EQ(normals.points()->entry[k].x, 100 + from[k]);
        EXPECT_EQ(rotated.points()->entry[k].z, 200 + from[k]);
    }
}

TEST(FaceOrder, EqualKeysFollowThePreviousOrderAndLargeArraysStaySorted)
{
    // Three faces with one key: the middle pivot swaps the outer two, so each sort
    // reverses the order the previous one left.
    Block vertices(5000), faces(3), one(1);
    for (int k = 0; k < 3; k++)
        faces.faces()->entry[k] = Face{0, 0, 10 + k, 0};
    SortFaceArray(faces.faces(), vertices.points(), nullptr, nullptr);
    EXPECT_EQ(Order(faces), (std::vector<int>{12, 11, 10}));
    SortFaceArray(faces.faces(), vertices.points(), nullptr, nullptr);
    EXPECT_EQ(Order(faces), (std::vector<int>{10, 11, 12}));
    // Keys 2, 3, 3: the middle pivot leaves the two 3s swapped.
    vertices.points()->entry[20].z = 2, vertices.points()->entry[21].z = vertices.points()->entry[22].z = 3;
    for (int k = 0; k < 3; k++)
        faces.faces()->entry[k] = Face{0, 0, 20 + k, 0};
    SortFaceArray(faces.faces(), vertices.points(), nullptr, nullptr);
    EXPECT_EQ(Order(faces), (std::vector<int>{22, 21, 20}));
    one.faces()->entry[0] = Face{0, 0, 0, 99};
    SortFaceArray(one.faces(), vertices.points(), nullptr, nullptr);
    EXPECT_EQ(one.faces()->entry[0].depthKey, 0);

    Block many(5000);
    for (int i = 0; i < 5000; i++) {
        vertices.points()->entry[i].z = (i * 7919) % 1000 - 500;
        many.faces()->entry[i] = Face{i, i, i, 0};
    }
    for (int frame = 0; frame < 3; frame++) {
        SortFaceArray(many.faces(), vertices.points(), nullptr, nullptr);
        std::vector<int> keys;
        for (int i = 0; i < 5000; i++)
            keys.push_back(many.faces()->entry[i].depthKey);
        ASSERT_TRUE(std::is_sorted(keys.rbegin(), keys.rend())) << frame;
        for (int i = 0; i < 5000; i++)
            vertices.points()->entry[i].z += (i % 3) - 1;   // a small turn
    }
}

// One triangle object facing the viewer, with every normal (0, 0, -63) unless set.
struct TriangleObject {
    Block vertices{3}, transformed{3}, faces{1}, faceNormals{1}, rotatedFaceNormals{1};
    Block vertexNormals{3}, rotatedVertexNormals{3};
    std::vector<uint8_t> target = std::vector<uint8_t>(TargetImageBytes, 0);
    std::vector<uint8_t> texture = std::vector<uint8_t>(65536, 1);
    TexCoord mapping[3] = {{10, 20}, {10, 20}, {10, 20}};
    MeshObject object{};

    explicit TriangleObject(uint8_t mode)
    {
        // Counter-clockwise on the screen: (-40, -40), (-40, 40), (40, 40) in units.
        Point4* v = vertices.points()->entry;
        v[0] = {-40 * 65536, -40 * 65536, 0, 0};
        v[1] = {-40 * 65536, 40 * 65536, 0, 0};
        v[2] = {40 * 65536, 40 * 65536, 0, 0};
        faces.faces()->entry[0] = Face{0, 1, 2, 0};
        faceNormals.points()->entry[0] = {0, 0, -63 * 65536, 0};
        for (int i = 0; i < 3; i++)
            vertexNormals.points()->entry[i] = {0, 0, -63 * 65536, 0};
        object = MeshObject{
            vertices.points(),           faces.faces(),          transformed.points(),         faceNormals.points(),
            rotatedFaceNormals.points(), vertexNormals.points(), rotatedVertexNormals.points()};
        object.target = target.data();
        object.texture = texture.data();
        object.mode = mode;
        object.clipTop = 0, object.clipBottom = 199, object.clipLeft = 0, object.clipRight = 319;
        object.viewDistance = 256, object.centreX = 160, object.centreY = 100, object.depthOffset = 300;
    }
    size_t Written() const { return 64000 - std::count(target.begin(), target.begin() + 64000, 0); }
};

// The partition loop as the format describes it, recursing into lo..j, then i..hi;
// `order` moves with the keys.
void ReferenceQuicksort(std::vector<int>& key, std::vector<int>& order, int lo, int hi)
{
    int i = lo, j = hi, pivot = key[size_t(lo + hi) / 2];
    do {
        while (key[size_t(i)] > pivot)
            i++;
        while (pivot > key[size_t(j)])
            j--;
        if (i <= j) {
            std::swap(key[size_t(i)], key[size_t(j)]);
            std::swap(order[size_t(i)], order[size_t(j)]);
            i++, j--;
        }
    } while (i <= j);
    if (lo < j)
        ReferenceQuicksort(key, order, lo, j);
    if (i < hi)
        ReferenceQuicksort(key, order, i, hi);
}

TEST(FaceOrder, EveryOrderIsThePartitionLoopsEvenAmongEqualKeys)
{
    // Short arrays with few distinct keys reach every case of the small ranges; the
    // flat-mode normals move their x, y, z with the faces and keep their spare word.
    std::mt19937 rng(11);
    for (int round = 0; round < 3000; round++) {
        const uint32_t n = 1 + rng() % 40;
        const int distinct = 1 + int(rng() % 12);
        Block vertices(n), faces(n), normals(n), rotated(n);
        std::vector<int> key(n), order(n);
        for (uint32_t k = 0; k < n; k++) {
            vertices.points()->entry[k].z = int(rng() % uint32_t(distinct));
            faces.faces()->entry[k] = Face{int(k), int(k), int(k), 0};
            normals.points()->entry[k] = Point4{int(k), 2 * int(k), 3 * int(k), -1};
            rotated.points()->entry[k] = Point4{-int(k), 0, int(k), -2};
            key[k] = 3 * vertices.points()->entry[k].z;
            order[k] = int(k);
        }
        ReferenceQuicksort(key, order, 0, int(n) - 1);
        SortFaceArray(faces.faces(), vertices.points(), normals.points(), rotated.points());
        for (uint32_t k = 0; k < n; k++) {
            const int from = order[k];
            ASSERT_EQ(faces.faces()->entry[k].a, from) << "round " << round << " position " << k;
            ASSERT_EQ(normals.points()->entry[k].z, 3 * from);
            ASSERT_EQ(normals.points()->entry[k].spare, -1);
            ASSERT_EQ(rotated.points()->entry[k].x, -from);
        }
    }
}

TEST(RenderObject, EachModeHandsItsPerVertexValuesToItsFiller)
{
    struct Case {
        const char* what;
        uint8_t mode;
        int nx, nz;   // every vertex normal, whole units
        int faceNz;   // whole units
        int texel;    // set to 200, or -1
        int inside;   // the pixel in the middle of the drawn triangle
    };
    const Case cases[] = {
        {"flat: low 8 bits of -nz", ModeFlat, 0, -63, -40, -1, 40},
        {"normal-shaded: (63 - nz) >> 1", ModeNormalShaded, 0, -21, -63, -1, 42},
        {"depth-shaded: (256 - z) >> 3", ModeDepthShaded, 0, -63, -63, -1, 32},
        {"environment: a normal at the viewer samples the centre", ModeEnvironment, 0, -63, -63, 128 * 256 + 128, 200},
        {"above 4 as 4: u = 2 nx + 128", 9, 63, 0, -63, 128 * 256 + 254, 200},
        {"textured: the mapping (10, 20)", ModeTextured, 0, -63, -63, 20 * 256 + 10, 200},
    };
    for (const Case& c : cases) {
        TriangleObject t(c.mode);
        for (int i = 0; i < 3; i++)
            t.vertexNormals.points()->entry[i] = {c.nx * 65536, 0, c.nz * 65536, 0};
        t.faceNormals.points()->entry[0].z = c.faceNz * 65536;
        t.object.mapping = t.mapping, t.object.mappingCount = 3;
        if (c.texel >= 0)
            t.texture[c.texel] = 200;
        RenderObject(&t.object);
        EXPECT_EQ(t.target[110 * 320 + 150], c.inside) << c.what;
    }
}

TEST(RenderObject, DrawsNothingForBackFacesMissingMappingsOrVerticesBehindTheEye)
{
    EXPECT_LT(BackFaceValue(0, 0, 0, 10, 10, 10), 0);   // down, then right: counter-clockwise
    EXPECT_EQ(BackFaceValue(0, 0, 5, 5, 10, 10), 0);    // edge-on
    // clang-format off
    const struct {
        const char* what;
        void (*change)(TriangleObject&);
    } cases[] = {
        {"clockwise", [](TriangleObject& t) { t.faces.faces()->entry[0] = Face{0, 2, 1, 0}; }},
        {"edge-on", [](TriangleObject& t) { t.vertices.points()->entry[2] = {-40 * 65536, 0, 0, 0}; }},
        {"edge-on along one row, which the flat filler would draw", [](TriangleObject& t) {
             t.object.mode = ModeFlat;
             t.vertices.points()->entry[0].y = t.vertices.points()->entry[1].y = t.vertices.points()->entry[2].y = 0;
             t.vertices.points()->entry[1].x = 0; }},
        {"no mapping", [](TriangleObject& t) { t.object.mode = ModeTextured, t.object.mapping = nullptr; }},
        {"short mapping", [](TriangleObject& t) { t.object.mode = ModeTextured, t.object.mappingCount = 2; }},
        {"w < 0 at a", [](TriangleObject& t) { t.vertices.points()->entry[0].z = -600 * 65536; }},
        {"w < 0 at b", [](TriangleObject& t) { t.vertices.points()->entry[1].z = -600 * 65536; }},
        {"w < 0 at c", [](TriangleObject& t) { t.vertices.points()->entry[2].z = -600 * 65536; }},
    };
    // clang-format on
    for (const auto& c : cases) {
        TriangleObject t(ModeEnvironment);
        t.object.mapping = t.mapping, t.object.mappingCount = 3;
        c.change(t);
        RenderObject(&t.object);
        EXPECT_EQ(t.Written(), 0u) << c.what;
    }
}

TEST(RenderObject, ClipRectangleBoundsEveryWrite)
{
    TriangleObject t(ModeEnvironment);
    t.object.clipTop = 100, t.object.clipBottom = 105, t.object.clipLeft = 140, t.object.clipRight = 150;
    RenderObject(&t.object);
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++)
            if (t.target[y * 320 + x]) {
                ASSERT_TRUE(y >= 100 && y <= 105 && x >= 140 && x <= 150) << x << "," << y;
            }
    EXPECT_GT(t.Written(), 0u);
}

TEST(TextureBlock, TextureStartsAtTheFirstMultipleStrictlyAbove)
{
    EXPECT_EQ(TextureAddressInBlock(0x30000), 0x40000u);
    EXPECT_EQ(TextureAddressInBlock(0x30001), 0x40000u);
    EXPECT_EQ(TextureAddressInBlock(0x3FFFF), 0x40000u);
}

}   // namespace
