// Scenes 1..10: set-ups (map, texture, extra colours, palette) and frame loops.
#include "demo/scenes2d.h"

#include <cstring>

#include "demo/buffers.h"
#include "effects/effects.h"
#include "video/video.h"

static void CopyMap(int mapNumber) { std::memcpy(CurrentMap, AngleRadiusMap[mapNumber - 1], MapBytes); }

static void CopyTexturePicture(const uint8_t* picture)
{
    std::memcpy(CurrentPalette, picture, PaletteBytes);
    std::memcpy(CurrentTexture, picture + PaletteBytes, TextureBytes);
}

bool TitleVisible(int order, int row) { return row + 64 * order > 176; }

// ------------------------------------------------------------------ scene 1

// Direction of the wave morph: 1 from WaveA toward WaveB, 2 back.
static int MorphState = 1;

void DrawScene1()
{
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

void SetUpScene1()
{
    LoadOverlayColours();
    SetPalette(CurrentPalette);
    CopyMap(1);
    SetWaveMorphA();
    TickCounters[0].store(0);
    MorphState = 1;
}

// ------------------------------------------------------------------ scene 2

void DrawName1()
{
    MapEffect2();
    OverlayName1();
}
void DrawName2()
{
    MapEffect2();
    OverlayName2();
}
void DrawName3()
{
    MapEffect2();
    OverlayName3();
}

void SetUpScene2()
{
    CopyTexturePicture(TextureEuf0010);
    LoadOverlayColours();
    SetPalette(CurrentPalette);
    CopyMap(2);
}

// ------------------------------------------------------------------ scene 3

void DrawScene3()
{
    SelectMovementWindow();
    MapEffect1();
}

void SetUpScene3() { TickCounters[0].store(736); }

// ------------------------------------------------------------------ scenes 4..10

enum ExtraColours { NoExtraColours, WithLyricsColours };

struct TunnelScene {
    bool clear;
    int map;                   // AngleRadiusMap number, 1..7
    uint8_t* const* texture;   // TexturePicture to copy, or nullptr to keep
    ExtraColours colours;
};

void DrawScene4()
{
    MapEffect3();
    OverlayLyrics1();
}
void DrawScene6()
{
    MapEffect5();
    OverlayLyrics2();
}
void DrawScene8()
{
    MapEffect7();
    OverlayLyrics3();
}
void DrawScene10()
{
    MapEffect8();
    OverlayLyrics4();
}

static const TunnelScene TunnelScenes[7] = {
    {true, 1, &TextureEuf0011, WithLyricsColours},   // 4
    {true, 3, &TextureEuf0009, NoExtraColours},      // 5
    {false, 4, nullptr, WithLyricsColours},          // 6
    {false, 5, &Texture18soh, NoExtraColours},       // 7
    {false, 5, nullptr, WithLyricsColours},          // 8
    {true, 7, &TextureEuf0010, NoExtraColours},      // 9
    {true, 1, &TextureEuf0011, WithLyricsColours},   // 10
};

static void SetUpTunnelScene(int scene)
{
    const TunnelScene& s = TunnelScenes[scene - 4];
    if (s.clear)
        std::memset(FrameBuffer, 0, ScreenBytes);
    CopyMap(s.map);
    if (s.texture != nullptr)
        CopyTexturePicture(*s.texture);
    if (s.colours == WithLyricsColours)
        LoadLyricsColours();
    SetPalette(CurrentPalette);
}

void SetUpScene4() { SetUpTunnelScene(4); }
void SetUpScene5() { SetUpTunnelScene(5); }
void SetUpScene6() { SetUpTunnelScene(6); }
void SetUpScene7() { SetUpTunnelScene(7); }
void SetUpScene8() { SetUpTunnelScene(8); }
void SetUpScene9() { SetUpTunnelScene(9); }
void SetUpScene10() { SetUpTunnelScene(10); }
