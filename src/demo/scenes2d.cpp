// Scenes 1..10: set-ups (map, texture, extra colours, palette) and frame loops.
#include "demo/scenes2d.h"

#include <cstring>

#include "audio/audio.h"
#include "demo/buffers.h"
#include "demo/demo.h"
#include "effects/effects.h"
#include "video/video.h"

// Draws with `draw`, then updates the music position and presents, until the
// reported order passes `limit`; the body runs at least once.
static void RunFrames(void (*draw)(), int limit) {
    do {
        draw();
        UpdateMusicPosition();
        PresentFrame();
    } while (MusicPosition.order <= limit);
}

static void CopyMap(int mapNumber) {
    std::memcpy(CurrentMap, AngleRadiusMap[mapNumber - 1], MapBytes);
}

static void CopyTexturePicture(const uint8_t* picture) {
    std::memcpy(CurrentPalette, picture, PaletteBytes);
    std::memcpy(CurrentTexture, picture + PaletteBytes, TextureBytes);
}

bool TitleVisible(int order, int row) {
    return row + 64 * order > 176;
}

// ------------------------------------------------------------------ scene 1

// Direction of the wave morph: 1 from WaveA toward WaveB, 2 back.
static int MorphState = 1;

static void DrawScene1() {
    uint32_t p = TickCounters[0].load() % 256;
    if (p > 127 && MorphState != 2) {
        SetWaveMorphB();
        MorphState = 2;
    }
    if (p <= 127 && MorphState != 1) {
        SetWaveMorphA();
        MorphState = 1;
    }
    if (TickCounters[0].load() % 2 == 0)
        StepWaveMorph();
    if (TitleVisible(MusicPosition.order, MusicPosition.row))
        OverlayTitle();
}

static void RunScene1(bool play) {
    LoadOverlayColours();
    SetPalette(CurrentPalette);
    CopyMap(1);
    SetWaveMorphA();
    TickCounters[0].store(0);
    MorphState = 1;
    if (play)
        RunFrames(DrawScene1, SceneLimit(1));
}

// ------------------------------------------------------------------ scene 2

static void DrawName1() { MapEffect2(); OverlayName1(); }
static void DrawName2() { MapEffect2(); OverlayName2(); }
static void DrawName3() { MapEffect2(); OverlayName3(); }

static void RunScene2(bool play) {
    CopyTexturePicture(TextureEuf0010);
    LoadOverlayColours();
    SetPalette(CurrentPalette);
    CopyMap(2);
    if (!play)
        return;
    RunFrames(DrawName1, 8);
    RunFrames(DrawName2, 10);
    RunFrames(DrawName3, SceneLimit(2));
}

// ------------------------------------------------------------------ scene 3

static void DrawScene3() {
    SelectMovementWindow();
    MapEffect1();
}

static void RunScene3(bool play) {
    TickCounters[0].store(736);
    if (play)
        RunFrames(DrawScene3, SceneLimit(3));
}

// ------------------------------------------------------------------ scenes 4..10

enum ExtraColours { NoExtraColours, WithLyricsColours };

struct TunnelScene {
    bool clear;
    int map;                      // AngleRadiusMap number, 1..7
    uint8_t* const* texture;      // TexturePicture to copy, or nullptr to keep
    ExtraColours colours;
    void (*draw)();
};

static void DrawScene4() { MapEffect3(); OverlayLyrics1(); }
static void DrawScene6() { MapEffect5(); OverlayLyrics2(); }
static void DrawScene8() { MapEffect7(); OverlayLyrics3(); }
static void DrawScene10() { MapEffect8(); OverlayLyrics4(); }

static const TunnelScene TunnelScenes[7] = {
    {true, 1, &TextureEuf0011, WithLyricsColours, DrawScene4},   // 4
    {true, 3, &TextureEuf0009, NoExtraColours, MapEffect4},      // 5
    {false, 4, nullptr, WithLyricsColours, DrawScene6},          // 6
    {false, 5, &Texture18soh, NoExtraColours, MapEffect6},       // 7
    {false, 5, nullptr, WithLyricsColours, DrawScene8},          // 8
    {true, 7, &TextureEuf0010, NoExtraColours, MapEffect6},      // 9
    {true, 1, &TextureEuf0011, WithLyricsColours, DrawScene10},  // 10
};

static void RunTableScene(int scene, bool play) {
    const TunnelScene& s = TunnelScenes[scene - 4];
    if (s.clear)
        std::memset(FrameBuffer, 0, 64000);
    CopyMap(s.map);
    if (s.texture != nullptr)
        CopyTexturePicture(*s.texture);
    if (s.colours == WithLyricsColours)
        LoadLyricsColours();
    SetPalette(CurrentPalette);
    if (play)
        RunFrames(s.draw, SceneLimit(scene));
}

// ------------------------------------------------------------------ dispatch

void RunTunnelScene(int scene, bool play) {
    if (play)
        NoteScene(scene);
    switch (scene) {
    case 1: RunScene1(play); break;
    case 2: RunScene2(play); break;
    case 3: RunScene3(play); break;
    default:
        if (scene >= 4 && scene <= 10)
            RunTableScene(scene, play);
        break;
    }
}
