// The named effect operations over the shared images: each takes its buffers from
// the process-wide state and calls the pure kernel of kernels.h.
#include "effects/effects.h"

#include "core/shared.h"
#include "effects/kernels.h"

uint8_t* CurrentMap = nullptr;
uint8_t* CurrentTexture = nullptr;
uint8_t* BackgroundImage = nullptr;
uint8_t* CurrentPalette = nullptr;
uint8_t* BigMap = nullptr;
uint8_t* MovementTable = nullptr;
uint8_t* TitlePicture = nullptr;
uint8_t* NamePicture[3] = {nullptr, nullptr, nullptr};
uint8_t* LyricsPicture = nullptr;

uint8_t WaveA[256];
uint8_t WaveB[256];
const uint8_t BumpTable[16] = {1, 1, 1, 1, 1, 2, 2, 3, 4, 4, 5, 6, 7, 8, 9, 10};
uint8_t WorkingWave[256];
uint8_t TargetWave[256];

void InitWaveTables()
{
    BuildWaveA(WaveA);
    BuildWaveB(WaveB);
}

// The tables are ready before main for any caller that skips InitWaveTables.
[[maybe_unused]] static const bool waveTablesBuilt = (InitWaveTables(), true);

// Phase of the texture-map kernels, read once per call.
static uint8_t Phase() { return uint8_t(TickCounters[2].load()); }

// ------------------------------------------------------------------ kernels

void MapEffect1() { ShiftMapKernel(CurrentMap, CurrentTexture, FrameBuffer, uint8_t(2 * Phase()), 0); }

void MapEffect2() { ShiftMapKernel(CurrentMap, CurrentTexture, FrameBuffer, uint8_t(2 * Phase()), 0); }

void MapEffect3() { MapEffect3Kernel(CurrentMap, CurrentTexture, WaveA, BumpTable, FrameBuffer, Phase()); }

void MapEffect4() { RippleKernel(CurrentMap, CurrentTexture, WaveB, FrameBuffer, Phase()); }

void MapEffect5() { NegatedRippleKernel(CurrentMap, CurrentTexture, WaveA, FrameBuffer, Phase()); }

void MapEffect6() { SwappedRippleKernel(CurrentMap, CurrentTexture, WaveB, FrameBuffer, Phase()); }

void MapEffect7() { RippleKernel(CurrentMap, CurrentTexture, WaveA, FrameBuffer, Phase()); }

void MapEffect8() { MapEffect8Kernel(CurrentMap, CurrentTexture, WaveA, BumpTable, FrameBuffer, Phase()); }

void WaveTunnel() { WaveTunnelKernel(CurrentMap, CurrentTexture, WorkingWave, FrameBuffer, Phase()); }

void BackgroundEffect1()
{
    uint8_t f = Phase();
    ShiftMapKernel(CurrentMap, CurrentTexture, BackgroundImage, uint8_t(f + WaveA[f]), WaveB[f]);
}

void BackgroundEffect2()
{
    uint8_t f = Phase();
    ShiftMapSwappedKernel(CurrentMap, CurrentTexture, BackgroundImage, WaveB[f], WaveA[f]);
}

// ------------------------------------------------------ map selection and morph

void SelectMovementWindow()
{
    uint32_t record = TickCounters[0].load();
    if (TickCounters[0].load() >= 808)
        TickCounters[0].store(0);
    MovementWindowKernel(BigMap, MovementTable, record, CurrentMap);
}

void SetWaveMorphA()
{
    for (int i = 0; i < 256; ++i) {
        WorkingWave[i] = WaveA[i];
        TargetWave[i] = WaveB[i];
    }
}

void SetWaveMorphB()
{
    for (int i = 0; i < 256; ++i) {
        WorkingWave[i] = WaveB[i];
        TargetWave[i] = WaveA[i];
    }
}

void StepWaveMorph()
{
    StepWaveKernel(WorkingWave, TargetWave);
    WaveTunnel();
}

// ------------------------------------------------------------------ overlays

constexpr int LyricsBandRows = 30;
constexpr int LyricsFrameRow = 170;

static void OverlayLyricsBand(int sourceRow)
{
    OverlayKernel(LyricsPicture + sourceRow * ScreenWidth, FrameBuffer + LyricsFrameRow * ScreenWidth, LyricsBandRows * ScreenWidth,
                  LyricsColourBase);
}

void OverlayTitle() { OverlayKernel(TitlePicture, FrameBuffer + 20 * ScreenWidth, 180 * ScreenWidth, TitleColourBase); }

void OverlayName1() { OverlayKernel(NamePicture[0], FrameBuffer, ScreenBytes, TitleColourBase); }
void OverlayName2() { OverlayKernel(NamePicture[1], FrameBuffer, ScreenBytes, TitleColourBase); }
void OverlayName3() { OverlayKernel(NamePicture[2], FrameBuffer, ScreenBytes, TitleColourBase); }

void OverlayLyrics1() { OverlayLyricsBand(0); }
void OverlayLyrics2() { OverlayLyricsBand(55); }
void OverlayLyrics3() { OverlayLyricsBand(109); }
void OverlayLyrics4() { OverlayLyricsBand(162); }

void LoadOverlayColours() { LoadColoursKernel(CurrentPalette, TitleColourBase, OverlayColours, OverlayColourCount); }

// The lyrics colours are the first nine overlay colours, nine entries higher.
void LoadLyricsColours() { LoadColoursKernel(CurrentPalette, LyricsColourBase, OverlayColours, LyricsColourCount); }

void FillFromBackground() { FillFromBackgroundKernel(FrameBuffer, BackgroundImage, ScreenBytes); }

void PaletteFade(const uint8_t* source, int amount) { PaletteFadeKernel(CurrentPalette, source, amount); }
