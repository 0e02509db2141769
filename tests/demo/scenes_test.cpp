// Scenes 1..10 in-process over test-owned buffers. No music plays, so MusicPosition
// stays where the test puts it; with the order past every limit each scene draws and
// presents exactly one frame. No timer runs, so the tick counters hold still.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/audio.h"
#include "demo/buffers.h"
#include "demo/demo.h"
#include "demo/scenes2d.h"
#include "effects/effects.h"
#include "effects/kernels.h"
#include "video/video.h"

namespace {

std::vector<uint8_t> Pattern(size_t bytes, unsigned seed) {
    std::vector<uint8_t> v(bytes);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x = x * 1664525u + 1013904223u;
        b = uint8_t(x >> 24);
    }
    return v;
}

class TunnelScenes : public ::testing::Test {
protected:
    std::vector<uint8_t> frame, background, palette, map, texture, bigMap, movement;
    std::vector<uint8_t> maps[7], title, names[3], lyrics;
    std::vector<uint8_t> euf0009, euf0010, euf0011, soh18;

    void SetUp() override {
        frame.assign(64000, 0);
        background.assign(64000, 0);
        palette.assign(768, 0);
        map.assign(MapBytes, 0);
        texture.assign(TextureBytes, 0);
        bigMap = Pattern(512000, 1);
        movement.assign(28672, 0);
        for (int i = 0; i < 7; ++i) maps[i] = Pattern(MapBytes, 10 + i);
        // Sparse pictures: zero (transparent) except every fifth byte.
        title = Sparse(20);
        for (int i = 0; i < 3; ++i) names[i] = Sparse(21 + i);
        lyrics = Sparse(24);
        euf0009 = Picture(30);
        euf0010 = Picture(31);
        euf0011 = Picture(32);
        soh18 = Picture(33);

        FrameBuffer = frame.data();
        BackgroundImage = background.data();
        CurrentPalette = palette.data();
        CurrentMap = map.data();
        CurrentTexture = texture.data();
        BigMap = bigMap.data();
        MovementTable = movement.data();
        TitlePicture = title.data();
        for (int i = 0; i < 3; ++i) NamePicture[i] = names[i].data();
        LyricsPicture = lyrics.data();
        for (int i = 0; i < 7; ++i) AngleRadiusMap[i] = maps[i].data();
        TextureEuf0009 = euf0009.data();
        TextureEuf0010 = euf0010.data();
        TextureEuf0011 = euf0011.data();
        Texture18soh = soh18.data();
        for (auto& t : TickCounters) t.store(0);
        MusicPosition = {200, 0};
    }

    static std::vector<uint8_t> Sparse(unsigned seed) {
        auto v = Pattern(64000, seed);
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = (i % 5 == 0) ? uint8_t(1 + v[i] % 8) : 0;
        return v;
    }

    // A TexturePicture: 6-bit palette, then pixels.
    static std::vector<uint8_t> Picture(unsigned seed) {
        auto v = Pattern(TexturePictureBytes, seed);
        for (size_t i = 0; i < PaletteBytes; ++i) v[i] &= 63;
        return v;
    }

    static std::vector<uint8_t> Pixels(const std::vector<uint8_t>& picture) {
        return {picture.begin() + PaletteBytes, picture.end()};
    }

    // The expected frame: kernel output, then an overlay of rows [srcRow, srcRow+rows)
    // of `source` onto frame rows from dstRow with colour base `base`.
    static void Overlay(std::vector<uint8_t>& out, const std::vector<uint8_t>& source, int srcRow,
                        int dstRow, int rows, uint8_t base) {
        OverlayKernel(source.data() + 320 * srcRow, out.data() + 320 * dstRow, rows, base);
    }
};

}  // namespace

// Runs the rows of scene `number` through the frame loop: with `play`, frames until
// each row's limit; without, only the set-up (as for a scene before --scene).
static void RunScene(int number, bool play) {
    int first = 0;
    while (SceneTable[first].number != number) ++first;
    int rows = 0;
    while (first + rows < SceneTableRows && SceneTable[first + rows].number == number) ++rows;
    RunScenes(SceneTable + first, rows, play ? number : number + 1);
}

TEST(SceneTiming, TitleCondition) {
    EXPECT_FALSE(TitleVisible(0, 0));
    EXPECT_FALSE(TitleVisible(1, 63));
    EXPECT_FALSE(TitleVisible(2, 48));
    EXPECT_TRUE(TitleVisible(2, 49));
    EXPECT_TRUE(TitleVisible(3, 0));
}

TEST_F(TunnelScenes, Scene1DrawsOneMorphStepAndTheTitle) {
    std::memcpy(palette.data(), euf0010.data(), PaletteBytes);
    auto pixels = Pixels(euf0010);
    std::memcpy(texture.data(), pixels.data(), TextureBytes);
    TickCounters[0].store(99);
    TickCounters[2].store(300);
    RunScene(1, true);
    EXPECT_EQ(TickCounters[0].load(), 0u);
    EXPECT_EQ(map, maps[0]);
    EXPECT_EQ(palette[3 * 238 + 1], 20);   // overlay colours loaded
    // One morph step from WaveA toward WaveB, drawn at f = 300 mod 256.
    uint8_t wave[256], target[256];
    BuildWaveA(wave);
    BuildWaveB(target);
    StepWaveKernel(wave, target);
    EXPECT_EQ(0, std::memcmp(WorkingWave, wave, 256));
    std::vector<uint8_t> expect(64000);
    WaveTunnelKernel(maps[0].data(), pixels.data(), wave, expect.data(), 44);
    Overlay(expect, title, 0, 20, 180, 237);
    EXPECT_EQ(frame, expect);
}

TEST_F(TunnelScenes, Scene2ShowsTheLastNameOverTheTunnel) {
    TickCounters[2].store(7);
    RunScene(2, true);
    EXPECT_EQ(map, maps[1]);
    EXPECT_EQ(0, std::memcmp(palette.data(), euf0010.data(), 711));
    EXPECT_EQ(palette[3 * 245], 63);   // OverlayColours 245 = white
    std::vector<uint8_t> expect(64000);
    ShiftMapKernel(maps[1].data(), Pixels(euf0010).data(), expect.data(), 14, 0);
    Overlay(expect, names[2], 0, 0, 200, 237);
    EXPECT_EQ(frame, expect);
}

TEST_F(TunnelScenes, Scene3StartsAtRecord736) {
    int32_t xy[2] = {5, 7};
    std::memcpy(&movement[32 * 736], xy, 8);
    auto pixels = Pattern(TextureBytes, 77);
    std::memcpy(texture.data(), pixels.data(), TextureBytes);
    RunScene(3, true);
    EXPECT_EQ(TickCounters[0].load(), 736u);
    for (int j = 0; j < 200; ++j)
        ASSERT_EQ(0, std::memcmp(&map[640 * j], &bigMap[1280 * (7 + j) + 10], 640)) << j;
    std::vector<uint8_t> expect(64000);
    ShiftMapKernel(map.data(), pixels.data(), expect.data(), 0, 0);
    EXPECT_EQ(frame, expect);
}

TEST_F(TunnelScenes, Scenes4To10SetUpAndKernel) {
    static uint8_t a[256], b[256];
    static const uint8_t bump[16] = {1, 1, 1, 1, 1, 2, 2, 3, 4, 4, 5, 6, 7, 8, 9, 10};
    BuildWaveA(a);
    BuildWaveB(b);
    using Kernel = void (*)(const uint8_t* map, const uint8_t* tex, uint8_t* out, uint8_t f);
    struct Expect {
        int scene, map;
        const std::vector<uint8_t>* texture;
        int lyricsRow;   // -1: neither lyrics colours nor overlay
        Kernel kernel;
    };
    const Expect expects[] = {
        {4, 1, &euf0011, 0, [](auto m, auto t, auto o, uint8_t f) { MapEffect3Kernel(m, t, a, bump, o, f); }},
        {5, 3, &euf0009, -1, [](auto m, auto t, auto o, uint8_t f) { RippleKernel(m, t, b, o, f); }},
        {6, 4, &euf0009, 55, [](auto m, auto t, auto o, uint8_t f) { NegatedRippleKernel(m, t, a, o, f); }},
        {7, 5, &soh18, -1, [](auto m, auto t, auto o, uint8_t f) { SwappedRippleKernel(m, t, b, o, f); }},
        {8, 5, &soh18, 109, [](auto m, auto t, auto o, uint8_t f) { RippleKernel(m, t, a, o, f); }},
        {9, 7, &euf0010, -1, [](auto m, auto t, auto o, uint8_t f) { SwappedRippleKernel(m, t, b, o, f); }},
        {10, 1, &euf0011, 162, [](auto m, auto t, auto o, uint8_t f) { MapEffect8Kernel(m, t, a, bump, o, f); }},
    };
    const uint8_t lyricsWhite[3] = {63, 63, 63};
    for (const Expect& e : expects) {
        const uint8_t f = uint8_t(e.scene * 37);
        TickCounters[2].store(f);
        RunScene(e.scene, true);
        // Scenes 6 and 8 keep the texture (and palette) of the scene before.
        EXPECT_EQ(map, maps[e.map - 1]) << e.scene;
        EXPECT_EQ(texture, Pixels(*e.texture)) << e.scene;
        EXPECT_EQ(0, std::memcmp(palette.data(), e.texture->data(), 738)) << e.scene;
        std::vector<uint8_t> expect(64000);
        e.kernel(map.data(), texture.data(), expect.data(), f);
        if (e.lyricsRow >= 0) {
            EXPECT_EQ(0, std::memcmp(&palette[3 * 254], lyricsWhite, 3)) << e.scene;
            Overlay(expect, lyrics, e.lyricsRow, 170, 30, 246);
        } else {
            EXPECT_EQ(0, std::memcmp(&palette[738], e.texture->data() + 738, 30)) << e.scene;
        }
        EXPECT_EQ(frame, expect) << e.scene;
    }
}

TEST_F(TunnelScenes, SetUpWithoutPlayDrawsNoFrame) {
    RunScene(1, false);
    EXPECT_EQ(0, std::memcmp(WorkingWave, WaveA, 256));
    std::fill(frame.begin(), frame.end(), 9);
    RunScene(6, false);   // scene 6 does not clear
    EXPECT_EQ(frame, std::vector<uint8_t>(64000, 9));
    EXPECT_EQ(map, maps[3]);
    RunScene(5, false);   // scene 5 clears in its set-up
    EXPECT_EQ(frame, std::vector<uint8_t>(64000, 0));
}
