// Pure effect kernels: see kernels.h for the contracts.
#include "effects/kernels.h"

#include <cmath>
#include <cstring>

// ---------------------------------------------------------------- wave tables

void BuildWaveA(uint8_t* wave)
{
    const long double pi = 3.141592653589793238462643383279502884L;
    for (int i = 0; i < 256; ++i) {
        long double v = std::floor(32.0L + 31.5L * std::sin(2.0L * pi * 5.0L * i / 256.0L) + 0.5L);
        wave[i] = uint8_t(v > 63.0L ? 63 : int(v));
    }
}

void BuildWaveB(uint8_t* wave)
{
    const long double pi = 3.141592653589793238462643383279502884L;
    for (int i = 0; i < 256; ++i) {
        long double v = std::floor(64.0L + 63.5L * std::sin(2.0L * pi * i / 85.2L) + 0.5L);
        wave[i] = uint8_t(int(v));
    }
}

// ---------------------------------------------------------- texture-map kernels
//
// Each loop reads one MapEntry, computes column and row in 8-bit arithmetic and
// writes one texel. The texel index is row * 256 + column with both parts already
// reduced to 0..255, so no index can leave the texture.

static inline unsigned Texel(uint8_t column, uint8_t row) { return (unsigned(row) << 8) | column; }

void ShiftMapKernel(const uint8_t* __restrict map, const uint8_t* __restrict texture, uint8_t* __restrict target,
                    uint8_t columnAdd, uint8_t rowAdd)
{
    for (int p = 0; p < MapPixels; ++p) {
        uint8_t m0 = map[2 * p], m1 = map[2 * p + 1];
        target[p] = texture[Texel(uint8_t(m1 + columnAdd), uint8_t(m0 + rowAdd))];
    }
}

void ShiftMapSwappedKernel(const uint8_t* __restrict map, const uint8_t* __restrict texture, uint8_t* __restrict target,
                           uint8_t columnAdd, uint8_t rowAdd)
{
    for (int p = 0; p < MapPixels; ++p) {
        uint8_t m0 = map[2 * p], m1 = map[2 * p + 1];
        target[p] = texture[Texel(uint8_t(m0 + columnAdd), uint8_t(m1 + rowAdd))];
    }
}

void MapEffect3Kernel(const uint8_t* __restrict map, const uint8_t* __restrict texture, const uint8_t* __restrict waveA,
                      const uint8_t* __restrict bump, uint8_t* __restrict target, uint8_t f)
{
    for (int p = 0; p < MapPixels; ++p) {
        uint8_t m0 = map[2 * p], m1 = map[2 * p + 1];
        uint8_t k = uint8_t(waveA[uint8_t(m1 + f)] >> 2) & 15;
        target[p] = texture[Texel(uint8_t(m1 + k), uint8_t(m0 + f + bump[k]))];
    }
}

void RippleKernel(const uint8_t* __restrict map, const uint8_t* __restrict texture, const uint8_t* __restrict wave,
                  uint8_t* __restrict target, uint8_t f)
{
    const uint8_t f2 = uint8_t(2 * f);
    for (int p = 0; p < MapPixels; ++p) {
        uint8_t m0 = map[2 * p], m1 = map[2 * p + 1];
        target[p] = texture[Texel(uint8_t(m1 + f), uint8_t(m0 + wave[uint8_t(m1 + f2)]))];
    }
}

void NegatedRippleKernel(const uint8_t* __restrict map, const uint8_t* __restrict texture,
                         const uint8_t* __restrict wave, uint8_t* __restrict target, uint8_t f)
{
    const uint8_t f2 = uint8_t(2 * f);
    for (int p = 0; p < MapPixels; ++p) {
        uint16_t negated = uint16_t(-((unsigned(map[2 * p]) << 8) | map[2 * p + 1]));
        uint8_t r = uint8_t(negated >> 8), c = uint8_t(negated);
        target[p] = texture[Texel(uint8_t(c + f), uint8_t(r + wave[uint8_t(c + f2)]))];
    }
}

void SwappedRippleKernel(const uint8_t* __restrict map, const uint8_t* __restrict texture,
                         const uint8_t* __restrict wave, uint8_t* __restrict target, uint8_t f)
{
    const uint8_t f2 = uint8_t(2 * f);
    for (int p = 0; p < MapPixels; ++p) {
        uint8_t m0 = map[2 * p], m1 = map[2 * p + 1];
        target[p] = texture[Texel(uint8_t(m0 + f), uint8_t(m1 + wave[uint8_t(m0 + f2)]))];
    }
}

void MapEffect8Kernel(const uint8_t* __restrict map, const uint8_t* __restrict texture, const uint8_t* __restrict waveA,
                      const uint8_t* __restrict bump, uint8_t* __restrict target, uint8_t f)
{
    for (int p = 0; p < MapPixels; ++p) {
        uint8_t m0 = map[2 * p], m1 = map[2 * p + 1];
        uint8_t k = uint8_t(waveA[uint8_t(m0 + f)] >> 2) & 15;
        target[p] = texture[Texel(uint8_t(m0 + k), uint8_t(f - m1 + bump[k]))];
    }
}

void WaveTunnelKernel(const uint8_t* __restrict map, const uint8_t* __restrict texture, const uint8_t* __restrict wave,
                      uint8_t* __restrict target, uint8_t f)
{
    for (int p = 0; p < MapPixels; ++p) {
        uint8_t m0 = map[2 * p], m1 = map[2 * p + 1];
        target[p] = texture[Texel(m0, uint8_t(m1 + f + wave[uint8_t(m0 + f)]))];
    }
}

// ------------------------------------------------------ map selection and morph

uint32_t MovementRecordIndex(uint32_t n) { return n % MovementRecords; }

static int32_t ReadInt32LE(const uint8_t* bytes)
{
    uint32_t v = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    return int32_t(v);
}

void MovementWindowKernel(const uint8_t* bigMap, const uint8_t* movementTable, uint32_t record, uint8_t* map)
{
    const uint8_t* entry = movementTable + size_t(MovementRecordIndex(record)) * MovementRecordBytes;
    int32_t x = ReadInt32LE(entry);
    int32_t y = ReadInt32LE(entry + 4);
    x = x < 0 ? 0 : (x > 320 ? 320 : x);
    y = y < 0 ? 0 : (y > 200 ? 200 : y);
    const uint8_t* window = bigMap + size_t(y) * BigMapRowBytes + size_t(x) * 2;
    for (int j = 0; j < 200; ++j)
        std::memcpy(map + size_t(j) * MapRowBytes, window + size_t(j) * BigMapRowBytes, MapRowBytes);
}

void StepWaveKernel(uint8_t* __restrict working, const uint8_t* __restrict target)
{
    for (int i = 0; i < 256; ++i)
        working[i] = uint8_t(working[i] + (working[i] < target[i]) - (working[i] > target[i]));
}

// ------------------------------------------------------------------ compositing

void OverlayKernel(const uint8_t* __restrict source, uint8_t* __restrict frame, int rows, uint8_t colourBase)
{
    const int count = rows * 320;
    for (int i = 0; i < count; ++i) {
        uint8_t v = source[i];
        frame[i] = v ? uint8_t(v + colourBase) : frame[i];
    }
}

void FillFromBackgroundKernel(uint8_t* __restrict frame, const uint8_t* __restrict background, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        frame[i] = frame[i] ? frame[i] : background[i];
}

void LoadColoursKernel(uint8_t* palette, int first, const uint8_t (*colours)[3], int count)
{
    std::memcpy(palette + 3 * first, colours, size_t(3) * count);
}

void PaletteFadeKernel(uint8_t* palette, const uint8_t* source, int amount)
{
    for (int i = 0; i < 768; ++i) {
        int d = int(source[i]) - amount;
        if (d > 0 && int(palette[i]) > d)
            palette[i] = uint8_t(d);
    }
}

const uint8_t OverlayColours[17][3] = {
    {0, 0, 0},    {15, 20, 12}, {19, 26, 18}, {24, 32, 24}, {30, 38, 30}, {37, 44, 38},
    {45, 50, 46}, {53, 56, 54}, {63, 63, 63}, {31, 25, 34}, {36, 31, 39}, {41, 36, 44},
    {46, 42, 48}, {52, 48, 53}, {57, 55, 58}, {63, 63, 63}, {27, 21, 30},
};
