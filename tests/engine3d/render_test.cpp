// Transform, projection, face order, back-face rule and render modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
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

TEST(Transform, SineTableAndRoundingProducts)
{
    EXPECT_EQ(SineTable[0], 0);
    EXPECT_EQ(SineTable[90], 65536);
    EXPECT_EQ(SineTable[270], -65536);
    EXPECT_EQ(SineTable[30], 32768);
    EXPECT_EQ(SineTable[449], SineTable[89]);
    EXPECT_EQ(SineTable[180 + 90], -SineTable[90]);
    // Halves go towards plus infinity in both products.
    EXPECT_EQ(M16(1, 32768), 1);
    EXPECT_EQ(M16(-1, 32768), 0);
    EXPECT_EQ(M16(65536, 3 * 65536), 3 * 65536);
    EXPECT_EQ(M32(65536, 32768), 1);
    EXPECT_EQ(M32(-65536, 32768), 0);
    EXPECT_EQ(M32(65536, -3 * 65536), -3);
}

TEST(Transform, RotationTurnsAxesAsSpecifiedAndKeepsCount)
{
    Block src(4), dst(4);
    Point4* p = src.points()->entry;
    p[0] = {3 * 65536, -65536, 0, 77};
    p[1] = {65536, 0, 0, 0};
    p[2] = {0, 65536, 0, 0};
    p[3] = {98304, 0, 0, 0};   // 1.5 units
    dst.points()->count = 0;
    dst.points()->entry[0].spare = 12345;

    RotatePointArray(src.points(), dst.points(), 0, 0, 0);
    const Point4* q = dst.points()->entry;
    EXPECT_EQ(dst.points()->count, 4u);
    EXPECT_EQ((std::vector<int>{q[0].x, q[0].y, q[0].z}), (std::vector<int>{3, -1, 0}));
    EXPECT_EQ(q[0].spare, 12345);   // never written
    EXPECT_EQ(q[3].x, 2);           // 1.5 rounds up

    RotatePointArray(src.points(), dst.points(), 90, 0, 0);   // about z: x -> y
    EXPECT_EQ((std::vector<int>{q[1].x, q[1].y, q[1].z}), (std::vector<int>{0, 1, 0}));
    RotatePointArray(src.points(), dst.points(), 0, 90, 0);   // about y: x -> z
    EXPECT_EQ((std::vector<int>{q[1].x, q[1].y, q[1].z}), (std::vector<int>{0, 0, 1}));
    RotatePointArray(src.points(), dst.points(), 0, 0, 90);   // about x: y -> z
    EXPECT_EQ((std::vector<int>{q[2].x, q[2].y, q[2].z}), (std::vector<int>{0, 0, 1}));
    // Order z, then y: x -> y (z turn), y is untouched by the y turn.
    RotatePointArray(src.points(), dst.points(), 90, 90, 0);
    EXPECT_EQ((std::vector<int>{q[1].x, q[1].y, q[1].z}), (std::vector<int>{0, 1, 0}));
}

TEST(Transform, ProjectionAndVerticesAtOrBehindTheEye)
{
    Block points(4);
    Point4* p = points.points()->entry;
    p[0] = {100, -100, 0, 0};
    p[1] = {5, 5, -556, 0};     // w = 0
    p[2] = {5, 5, -700, 0};     // behind the eye
    p[3] = {9000, 0, -555, 0};  // w = 1: far off screen
    uint8_t usable[4];
    ProjectPointArray(points.points(), Camera{256, 160, 100, 300}, usable);
    EXPECT_EQ(p[0].x, 206);     // 160 + 25,600 / 556
    EXPECT_EQ(p[0].y, 54);      // 100 - 25,600 / 556, truncated toward zero
    EXPECT_EQ(p[0].z, 0);       // depth kept without the offset
    EXPECT_EQ((std::vector<int>{usable[0], usable[1], usable[2], usable[3]}), (std::vector<int>{1, 0, 0, 0}));
}

TEST(FaceOrder, SortsByDepthKeyLargestFirstAndMovesNormalsInFlatMode)
{
    Block vertices(6), faces(4), normals(4), rotated(4);
    const int depths[6] = {5, 1, 9, -3, 7, 2};
    for (int i = 0; i < 6; i++)
        vertices.points()->entry[i].z = depths[i];
    const int tri[4][3] = {{0, 1, 3}, {2, 4, 0}, {1, 3, 5}, {2, 2, 4}};   // keys 3, 21, 0, 25
    for (int k = 0; k < 4; k++) {
        faces.faces()->entry[k] = Face{tri[k][0], tri[k][1], tri[k][2], 0};
        normals.points()->entry[k].x = 100 + k;   // tags
        rotated.points()->entry[k].x = 200 + k;
    }
    SortFaceArray(faces.faces(), vertices.points(), normals.points(), rotated.points());
    std::vector<int> keys, normalTags, rotatedTags;
    for (int k = 0; k < 4; k++) {
        keys.push_back(faces.faces()->entry[k].depthKey);
        normalTags.push_back(normals.points()->entry[k].x);
        rotatedTags.push_back(rotated.points()->entry[k].x);
    }
    EXPECT_EQ(keys, (std::vector<int>{25, 21, 3, 0}));
    EXPECT_EQ(normalTags, (std::vector<int>{103, 101, 100, 102}));
    EXPECT_EQ(rotatedTags, (std::vector<int>{203, 201, 200, 202}));
    EXPECT_EQ(faces.faces()->entry[0].a, 2);
}

TEST(FaceOrder, EqualKeysFollowThePreviousOrder)
{
    // Three faces with one key: the middle pivot swaps the outer two, so each sort
    // reverses the order the previous one left; the order persists between calls.
    // The faces are told apart by their third index (all vertex depths are 0).
    Block vertices(13), faces(3);
    for (int k = 0; k < 3; k++)
        faces.faces()->entry[k] = Face{0, 0, 10 + k, 0};
    auto order = [&] {
        const Face* f = faces.faces()->entry;
        return std::vector<int>{f[0].c, f[1].c, f[2].c};
    };
    SortFaceArray(faces.faces(), vertices.points(), nullptr, nullptr);
    EXPECT_EQ(order(), (std::vector<int>{12, 11, 10}));
    SortFaceArray(faces.faces(), vertices.points(), nullptr, nullptr);
    EXPECT_EQ(order(), (std::vector<int>{10, 11, 12}));

    // A single face sorts to itself.
    Block one(1);
    one.faces()->entry[0] = Face{0, 0, 0, 99};
    SortFaceArray(one.faces(), vertices.points(), nullptr, nullptr);
    EXPECT_EQ(one.faces()->entry[0].depthKey, 0);
}

TEST(FaceOrder, LargeNearlySortedArraysStayOrdered)
{
    const int n = 5000;
    Block vertices(n), faces(n);
    for (int i = 0; i < n; i++) {
        vertices.points()->entry[i].z = (i * 7919) % 1000 - 500;
        faces.faces()->entry[i] = Face{i, i, i, 0};
    }
    for (int frame = 0; frame < 3; frame++) {
        SortFaceArray(faces.faces(), vertices.points(), nullptr, nullptr);
        for (int i = 1; i < n; i++)
            ASSERT_GE(faces.faces()->entry[i - 1].depthKey, faces.faces()->entry[i].depthKey);
        for (int i = 0; i < n; i++)
            vertices.points()->entry[i].z += (i % 3) - 1;   // a small turn
    }
}

TEST(BackFace, OnlyCounterClockwiseOnScreenIsDrawn)
{
    EXPECT_LT(BackFaceValue(0, 0, 0, 10, 10, 10), 0);   // down, then right: counter-clockwise
    EXPECT_GT(BackFaceValue(0, 0, 10, 10, 0, 10), 0);
    EXPECT_EQ(BackFaceValue(0, 0, 5, 5, 10, 10), 0);    // edge-on
}

// One triangle object facing the viewer, with every normal (0, 0, -63) unless set.
struct TriangleObject {
    Block vertices{3}, transformed{3}, faces{1}, faceNormals{1}, rotatedFaceNormals{1};
    Block vertexNormals{3}, rotatedVertexNormals{3};
    std::vector<uint8_t> target = std::vector<uint8_t>(TargetImageBytes, 0);
    std::vector<uint8_t> texture = std::vector<uint8_t>(65536, 1);
    TexCoord mapping[3] = {{10, 20}, {10, 20}, {10, 20}};
    MeshObject object{};

    explicit TriangleObject(uint8_t mode, bool clockwise = false)
    {
        // Screen-space counter-clockwise: (-40, -40), (-40, 40), (40, 40) in units.
        Point4* v = vertices.points()->entry;
        v[0] = {-40 * 65536, -40 * 65536, 0, 0};
        v[1] = {-40 * 65536, 40 * 65536, 0, 0};
        v[2] = {40 * 65536, 40 * 65536, 0, 0};
        faces.faces()->entry[0] = clockwise ? Face{0, 2, 1, 0} : Face{0, 1, 2, 0};
        faceNormals.points()->entry[0] = {0, 0, -63 * 65536, 0};
        for (int i = 0; i < 3; i++)
            vertexNormals.points()->entry[i] = {0, 0, -63 * 65536, 0};
        object.vertices = vertices.points();
        object.transformedVertices = transformed.points();
        object.faces = faces.faces();
        object.faceNormals = faceNormals.points();
        object.rotatedFaceNormals = rotatedFaceNormals.points();
        object.vertexNormals = vertexNormals.points();
        object.rotatedVertexNormals = rotatedVertexNormals.points();
        object.target = target.data();
        object.texture = texture.data();
        object.mode = mode;
        object.clipTop = 0, object.clipBottom = 199, object.clipLeft = 0, object.clipRight = 319;
        object.viewDistance = 256, object.centreX = 160, object.centreY = 100, object.depthOffset = 300;
    }
    // The pixel in the middle of the drawn triangle.
    uint8_t Inside() const { return target[110 * 320 + 150]; }
    size_t Written() const { return 64000 - std::count(target.begin(), target.begin() + 64000, 0); }
};

TEST(RenderModes, PerVertexValuesReachTheFillers)
{
    TriangleObject flat(ModeFlat);
    RenderObject(&flat.object);
    EXPECT_EQ(flat.Inside(), 63);   // low 8 bits of -(-63)

    TriangleObject normalShaded(ModeNormalShaded);
    RenderObject(&normalShaded.object);
    EXPECT_EQ(normalShaded.Inside(), 63);   // (63 - (-63)) >> 1

    TriangleObject depthShaded(ModeDepthShaded);
    RenderObject(&depthShaded.object);
    EXPECT_EQ(depthShaded.Inside(), 32);    // (256 - 0) >> 3

    TriangleObject environment(ModeEnvironment);
    environment.texture[128 * 256 + 128] = 200;   // the centre: normal at the viewer
    RenderObject(&environment.object);
    EXPECT_EQ(environment.Inside(), 200);

    TriangleObject sideways(9);   // above 4 behaves as 4
    for (int i = 0; i < 3; i++)
        sideways.vertexNormals.points()->entry[i] = {63 * 65536, 0, 0, 0};
    sideways.texture[128 * 256 + 254] = 201;       // u = 2 * 63 + 128
    RenderObject(&sideways.object);
    EXPECT_EQ(sideways.Inside(), 201);

    TriangleObject textured(ModeTextured);
    textured.object.mapping = textured.mapping;
    textured.object.mappingCount = 3;
    textured.texture[20 * 256 + 10] = 202;
    RenderObject(&textured.object);
    EXPECT_EQ(textured.Inside(), 202);
}

TEST(RenderModes, FacesThatCannotBeDrawnSafelyAreSkipped)
{
    TriangleObject back(ModeEnvironment, true);
    RenderObject(&back.object);
    EXPECT_EQ(back.Written(), 0u);

    TriangleObject noMapping(ModeTextured);
    RenderObject(&noMapping.object);
    EXPECT_EQ(noMapping.Written(), 0u);

    TriangleObject shortMapping(ModeTextured);
    shortMapping.object.mapping = shortMapping.mapping;
    shortMapping.object.mappingCount = 2;
    RenderObject(&shortMapping.object);
    EXPECT_EQ(shortMapping.Written(), 0u);

    TriangleObject behind(ModeEnvironment);
    behind.vertices.points()->entry[1].z = -600 * 65536;   // w < 0
    RenderObject(&behind.object);
    EXPECT_EQ(behind.Written(), 0u);
}

TEST(RenderModes, ClipRectangleBoundsEveryWrite)
{
    TriangleObject clipped(ModeEnvironment);
    clipped.object.clipTop = 100, clipped.object.clipBottom = 105;
    clipped.object.clipLeft = 140, clipped.object.clipRight = 150;
    RenderObject(&clipped.object);
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++)
            if (clipped.target[y * 320 + x]) {
                ASSERT_TRUE(y >= 100 && y <= 105 && x >= 140 && x <= 150) << x << "," << y;
            }
    EXPECT_GT(clipped.Written(), 0u);
}

TEST(TextureBlock, TextureStartsAtTheFirstMultipleStrictlyAbove)
{
    EXPECT_EQ(TextureAddressInBlock(0x30000), 0x40000u);
    EXPECT_EQ(TextureAddressInBlock(0x30001), 0x40000u);
    EXPECT_EQ(TextureAddressInBlock(0x3FFFF), 0x40000u);
    for (uintptr_t start : {uintptr_t(0x30000), uintptr_t(0x30010), uintptr_t(0x3FFFF)}) {
        uintptr_t texture = TextureAddressInBlock(start);
        EXPECT_GT(texture, start);
        EXPECT_LE(texture + 65536, start + TextureBlockBytes);
    }
}

TEST(Records, StartUpFailuresExitWithStatusOne)
{
    EXPECT_EXIT(OutOfMemoryExit(), testing::ExitedWithCode(1), "");
    EXPECT_EXIT(FailExit("\376 File not found!\n"), testing::ExitedWithCode(1), "");
}

}  // namespace
