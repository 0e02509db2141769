// The tunnel scenes' set-ups over test-owned buffers, as run for the scenes before a
// --scene start (no frame drawn), and the title's timing. Their frames on the
// default data are pinned by the golden run.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/audio.h"
#include "demo/buffers.h"
#include "demo/frame_loop.h"
#include "demo/scenes2d.h"
#include "effects/effects.h"
#include "video/video.h"

namespace {

std::vector<uint8_t> Pattern(size_t bytes, unsigned seed)
{
    std::vector<uint8_t> v(bytes);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x = x * 1664525u + 1013904223u;
        b = uint8_t(x >> 24);
    }
    return v;
}

// Every buffer the tunnel scenes read, filled with its own pattern.
class TunnelScenes : public ::testing::Test {
protected:
    std::vector<uint8_t> frame, background, palette, map, texture, bigMap, movement;
    std::vector<uint8_t> maps[7], title, names[3], lyrics, textures[4];

    void SetUp() override
    {
        frame.assign(64000, 0);
        background.assign(64000, 0);
        palette.assign(768, 0);
        map.assign(MapBytes, 0);
        texture.assign(TextureBytes, 0);
        bigMap = Pattern(512000, 1);
        movement.assign(28672, 0);
        for (int i = 0; i < 7; ++i)
            maps[i] = Pattern(MapBytes, 10 + i);
        title = Pattern(64000, 20);
        for (int i = 0; i < 3; ++i)
            names[i] = Pattern(64000, 21 + i);
        lyrics = Pattern(64000, 24);
        for (int i = 0; i < 4; ++i) {
            textures[i] = Pattern(TexturePictureBytes, 30 + i);
            for (size_t k = 0; k < PaletteBytes; ++k)
                textures[i][k] &= 63;
        }

        FrameBuffer = frame.data();
        BackgroundImage = background.data();
        CurrentPalette = palette.data();
        CurrentMap = map.data();
        CurrentTexture = texture.data();
        BigMap = bigMap.data();
        MovementTable = movement.data();
        TitlePicture = title.data();
        for (int i = 0; i < 3; ++i)
            NamePicture[i] = names[i].data();
        LyricsPicture = lyrics.data();
        for (int i = 0; i < 7; ++i)
            AngleRadiusMap[i] = maps[i].data();
        TextureEuf0009 = textures[0].data();
        TextureEuf0010 = textures[1].data();
        TextureEuf0011 = textures[2].data();
        Texture18soh = textures[3].data();
        for (auto& t : TickCounters)
            t.store(0);
        MusicPosition = {200, 0};
    }
};

}   // namespace

// Runs the set-up of scene `number`'s rows only, as for a scene before --scene.
static void SetUpOnly(int number)
{
    int first = 0;
    while (SceneTable[first].number != number)
        ++first;
    int rows = 0;
    while (first + rows < SceneTableRows && SceneTable[first + rows].number == number)
        ++rows;
    RunScenes(SceneTable + first, rows, number + 1);
}

TEST(SceneTiming, TitleCondition)
{
    EXPECT_FALSE(TitleVisible(0, 0));
    EXPECT_FALSE(TitleVisible(1, 63));
    EXPECT_FALSE(TitleVisible(2, 48));
    EXPECT_TRUE(TitleVisible(2, 49));
    EXPECT_TRUE(TitleVisible(3, 0));
}

TEST_F(TunnelScenes, SetUpWithoutPlayDrawsNoFrame)
{
    SetUpOnly(1);
    EXPECT_EQ(0, std::memcmp(WorkingWave, WaveA, 256));
    std::fill(frame.begin(), frame.end(), 9);
    SetUpOnly(6);   // scene 6 does not clear
    EXPECT_EQ(frame, std::vector<uint8_t>(64000, 9));
    EXPECT_EQ(map, maps[3]);
    SetUpOnly(5);   // scene 5 clears in its set-up
    EXPECT_EQ(frame, std::vector<uint8_t>(64000, 0));
}
