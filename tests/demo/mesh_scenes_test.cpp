// Mesh-scene loaders over a small overlay file: what they load, the release, and the
// failures with their messages. The palettes the scenes build on the default data
// are pinned by the golden run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "demo/buffers.h"
#include "demo/scenes3d.h"
#include "effects/effects.h"
#include "engine3d/chunk_file.h"
#include "engine3d/mesh.h"
#include "test_files.h"
#include "video/video.h"

namespace {

std::vector<uint8_t> Tetrahedron(int extraVertices = 0)
{
    File f;
    std::vector<std::array<float, 3>> points = {{0, 0, 60}, {-50, -30, -30}, {50, -30, -30}, {0, 50, -30}};
    for (int k = 0; k < extraVertices; k++)
        points.push_back({0, 0, 0});
    f.Begin(0x4D4D).Begin(0x3D3D).Object("tet", points, {{0, 1, 2}, {0, 2, 3}, {0, 3, 1}, {1, 3, 2}}, true);
    f.Object("second", points, {{0, 1, 2}});
    return f.End().End().bytes;
}

// A picture entry: 10-byte header, palette (component k = k & 63), then pixels.
std::vector<uint8_t> Picture(uint8_t pixelBase)
{
    std::vector<uint8_t> bytes(10 + 768 + 65536);
    for (int k = 0; k < 768; k++)
        bytes[10 + k] = uint8_t(k & 63);
    for (int k = 0; k < 65536; k++)
        bytes[778 + k] = uint8_t(pixelBase + k);
    return bytes;
}

class MeshScenes : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::vector<OverlayInput> entries = {
            {"star.3ds", Tetrahedron()},
            {"23mview.scx", Picture(7)},
            {"jo2.3ds", Tetrahedron()},
            {"11cont.scx", Picture(1)},
            {"jo6.3ds", {0x4D, 0x4E, 6, 0, 0, 0}},   // wrong main chunk
            {"23mview2.scx", Picture(2)},
            {"part5.3ds", {0x4D, 0x4D, 200, 0, 0, 0}},   // main chunk longer than the entry
            {"18soh3d.scx", Picture(3)},
            // new4.3ds missing
            {"stucco1.3ds", Tetrahedron()},   // its texture 14soh.scx missing
        };
        // One file per process: CTest runs the tests of this suite side by side.
        path = WriteOverlayFile(testing::TempDir() + "engine3d_scenes_" + std::to_string(getpid()) + ".ovl", entries);
        overlayName = path.c_str();
        ASSERT_TRUE(ZOH_Init()) << ZOH_Error();
        static std::vector<uint8_t> packed(100000), unpacked(100000);
        ZOH_SetScratch(packed.data(), unpacked.data());
        remove(path.c_str());   // the reader keeps the file open

        static std::vector<uint8_t> palette(768), texture(65536), frame(64000), objectPalette(768), emp8g(768 + 65536);
        CurrentPalette = palette.data();
        CurrentTexture = texture.data();
        DemoFrame = frame.data();
        ObjectTexturePalette = objectPalette.data();
        for (size_t k = 0; k < emp8g.size(); k++)
            emp8g[k] = uint8_t(200 + k);
        TextureEmp8g = emp8g.data();
    }
    void SetUp() override { FrameBuffer = DemoFrame; }
    static std::string path;
    static uint8_t* DemoFrame;
};
std::string MeshScenes::path;
uint8_t* MeshScenes::DemoFrame;

TEST_F(MeshScenes, LoaderGivesTheFirstObjectModeTargetAndAlignedTexture)
{
    LoadMeshScene(1);
    ASSERT_EQ(ObjectCount, 2);
    MeshObject* first = ObjectTable[0];
    EXPECT_EQ(first->mode, ModeEnvironment);
    ASSERT_NE(first->target, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first->texture) % 65536, 0u);
    EXPECT_EQ(first->texture[0], 7);   // pixels follow the palette
    EXPECT_EQ(first->texture[65535], uint8_t(7 + 65535));
    EXPECT_EQ(ObjectTexturePalette[100], 100 & 63);
    ReleaseMeshScene(DemoFrame);
    EXPECT_EQ(ObjectCount, 0);
    EXPECT_EQ(FrameBuffer, DemoFrame);
    // A scene's end never leaves the frame on its released target.
    SetUpScene12();
    EndMeshScene();
    EXPECT_EQ(ObjectCount, 0);
    EXPECT_EQ(FrameBuffer, DemoFrame);
}

TEST_F(MeshScenes, BrokenEntriesEndTheProcessWithTheirMessage)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_LINE_AND_STATUS_1(LoadMeshScene(3), "\376 This file is not a 3DS file!\n");
    EXPECT_LINE_AND_STATUS_1(LoadMeshScene(4), "\376 Bad 3DS file: main chunk length");
    EXPECT_LINE_AND_STATUS_1(LoadMeshScene(5), "\376 File not found!\n");
    EXPECT_LINE_AND_STATUS_1(LoadMeshScene(6), "\376 Texturefile not found!\n");
}

}   // namespace
