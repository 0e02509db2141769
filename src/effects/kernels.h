// Pure effect kernels over explicit buffers. The named operations of effects.h are
// thin wrappers that pass the shared images, the wave tables and the phase.
//
// Buffers: `map` is 64,000 MapEntries (m0, m1), 128,000 bytes in target order;
// `texture` is 256x256 texels, texel (column c, row r) at 256*r + c; `target` is a
// 320x200 image. Every texture-map kernel writes all 64,000 target pixels, reads
// exactly one texel per pixel and nothing outside its buffers; every column, row
// and table index wraps modulo 256. No kernel keeps state between calls.
#pragma once
#include <cstddef>
#include <cstdint>

#include "archive/content_format.h"

constexpr int MapPixels = int(PicturePixelBytes);   // pixels of a 320x200 target

// Wave tables. WaveA: 5 periods over 256 entries, 1..63 (entry 0 = 32);
// WaveB: period 85.2 entries, 1..127 (entry 0 = 64). Both round halves up.
void BuildWaveA(uint8_t* wave);
void BuildWaveB(uint8_t* wave);

// Column m1 + columnAdd, row m0 + rowAdd (MapEffect1/2 with 2f and 0;
// BackgroundEffect1 with f + WaveA[f] and WaveB[f]).
void ShiftMapKernel(const uint8_t* map, const uint8_t* texture, uint8_t* target, uint8_t columnAdd, uint8_t rowAdd);
// Column m0 + columnAdd, row m1 + rowAdd (BackgroundEffect2 with WaveB[f], WaveA[f]).
void ShiftMapSwappedKernel(const uint8_t* map, const uint8_t* texture, uint8_t* target, uint8_t columnAdd,
                           uint8_t rowAdd);

// k = waveA[m1 + f] >> 2 (0..15); column m1 + k, row m0 + f + bump[k].
void MapEffect3Kernel(const uint8_t* map, const uint8_t* texture, const uint8_t* waveA, const uint8_t* bump,
                      uint8_t* target, uint8_t f);
// Column m1 + f, row m0 + wave[m1 + 2f] (MapEffect4 with WaveB, MapEffect7 with WaveA).
void RippleKernel(const uint8_t* map, const uint8_t* texture, const uint8_t* wave, uint8_t* target, uint8_t f);
// As RippleKernel over the negated pair: the entry read as 256*m0 + m1, negated
// modulo 65,536, high byte r', low byte c'; column c' + f, row r' + wave[c' + 2f].
void NegatedRippleKernel(const uint8_t* map, const uint8_t* texture, const uint8_t* wave, uint8_t* target, uint8_t f);
// Column m0 + f, row m1 + wave[m0 + 2f] (MapEffect6 with WaveB).
void SwappedRippleKernel(const uint8_t* map, const uint8_t* texture, const uint8_t* wave, uint8_t* target, uint8_t f);
// k = waveA[m0 + f] >> 2 (0..15); column m0 + k, row f - m1 + bump[k].
void MapEffect8Kernel(const uint8_t* map, const uint8_t* texture, const uint8_t* waveA, const uint8_t* bump,
                      uint8_t* target, uint8_t f);
// Column m0, row m1 + f + wave[m0 + f].
void WaveTunnelKernel(const uint8_t* map, const uint8_t* texture, const uint8_t* wave, uint8_t* target, uint8_t f);

// Record index actually read for counter value n: n wrapped into 0..895.
uint32_t MovementRecordIndex(uint32_t n);
// Copies the 320x200 window of bigMap whose top-left MapEntry is (x, y) of
// movement record `record` (wrapped into 0..895) into map. x is clamped to
// 0..320 and y to 0..200, so no record can reach outside bigMap.
void MovementWindowKernel(const uint8_t* bigMap, const uint8_t* movementTable, uint32_t record, uint8_t* map);
// Moves every byte of working one step (1) toward target; equal bytes stay.
void StepWaveKernel(uint8_t* working, const uint8_t* target);

// Overlay of `count` pixels: a non-zero source byte v writes (v + colourBase) mod
// 256; a zero source byte leaves the frame byte alone. Both pointers point at the
// first pixel to use. Every frame byte is rewritten (unchanged where the source is
// 0), so the loop has no branch per pixel.
void OverlayKernel(const uint8_t* source, uint8_t* frame, size_t count, uint8_t colourBase);
// Every frame byte equal to 0 takes the background byte at the same index.
void FillFromBackgroundKernel(uint8_t* frame, const uint8_t* background, size_t count);
// The fixed colour ramps of the overlays (6-bit R,G,B). The title and the names
// draw value v (1..16) as palette entry TitleColourBase + v, which LoadOverlayColours
// fills with OverlayColours[0..16] from entry 237; the lyrics draw v (1..8) as
// LyricsColourBase + v, filled with OverlayColours[0..8] from entry 246.
extern const uint8_t OverlayColours[17][3];
constexpr uint8_t TitleColourBase = 237;
constexpr uint8_t LyricsColourBase = 246;
constexpr int OverlayColourCount = 17;
constexpr int LyricsColourCount = 9;

// Writes `count` RGB triples of `colours` into palette entries first.. first+count-1.
void LoadColoursKernel(uint8_t* palette, int first, const uint8_t (*colours)[3], int count);
// For each of the 768 components: d = source - amount (signed); the palette
// component becomes d only when d > 0 and it is greater than d.
void PaletteFadeKernel(uint8_t* palette, const uint8_t* source, int amount);
