// Effect kernels: full-frame texture mapping through per-pixel maps, map selection
// and wave morph, picture overlays, colour loaders, background fill and palette fade.
//
// The named operations (MapEffect1, OverlayTitle, ...) take no arguments and work
// on the shared images below, which the demo allocates and assigns. Each is a thin
// wrapper over a pure kernel in kernels.h that takes its buffers explicitly.
#pragma once
#include <cstdint>

// Shared images, set by the demo before use.
extern uint8_t* CurrentMap;        // 64,000 MapEntries (m0, m1), 128,000 bytes, FrameBuffer order
extern uint8_t* CurrentTexture;    // 256x256 texels, texel (c, r) at 256*r + c
extern uint8_t* BackgroundImage;   // 320x200 image behind the 3D objects
extern uint8_t* CurrentPalette;    // 768-byte Palette that scenes edit and hand to SetPalette
extern uint8_t* BigMap;            // 640x400 MapEntries, rows of 1,280 bytes
extern uint8_t* MovementTable;     // 896 records of 32 bytes: int32 x, int32 y, 24 unused
extern uint8_t* TitlePicture;      // 320x200 pixels
extern uint8_t* NamePicture[3];    // 320x200 pixels each
extern uint8_t* LyricsPicture;     // 320x200 pixels: four 30-row bands at rows 0, 55, 109, 162

// Wave tables (filled once by InitWaveTables; WorkingWave/TargetWave start zeroed).
extern uint8_t WaveA[256];
extern uint8_t WaveB[256];
extern const uint8_t BumpTable[16];
extern uint8_t WorkingWave[256];
extern uint8_t TargetWave[256];
void InitWaveTables();

// Texture-map kernels, phase f = TickCounters[2] mod 256 read once per call.
void MapEffect1();
void MapEffect2();
void MapEffect3();
void MapEffect4();
void MapEffect5();
void MapEffect6();
void MapEffect7();
void MapEffect8();
void WaveTunnel();
void BackgroundEffect1();   // into BackgroundImage
void BackgroundEffect2();   // into BackgroundImage

// Map selection and wave morph.
// SelectMovementWindow: copies the BigMap window of movement record
// TickCounters[0] (wrapped into 0..895; x clamped to 0..320, y to 0..200) into
// CurrentMap, then sets TickCounters[0] to 0 when it has reached 808.
void SelectMovementWindow();
void SetWaveMorphA();
void SetWaveMorphB();
void StepWaveMorph();

// Overlays (colour 0 transparent, others + colour base, mod 256) and colours.
void OverlayTitle();
void OverlayName1();
void OverlayName2();
void OverlayName3();
void OverlayLyrics1();
void OverlayLyrics2();
void OverlayLyrics3();
void OverlayLyrics4();
void LoadOverlayColours();   // CurrentPalette entries 237..253
void LoadLyricsColours();    // CurrentPalette entries 246..254
void FillFromBackground();   // FrameBuffer pixels equal to 0 take BackgroundImage's

// For each of the 768 components: d = source - amount (signed); CurrentPalette's
// component becomes d only when d > 0 and it is greater than d.
void PaletteFade(const uint8_t* source, int amount);
