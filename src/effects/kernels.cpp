// Pure effect kernels: see kernels.h for the contracts.
#include "effects/kernels.h"

#include <cmath>
#include <cstring>

#include "core/bytes.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// Every kernel's texel index, row * 256 + column, is a sum modulo 65,536 of a part
// that depends on one byte of the MapEntry alone (the byte that picks the column
// and a row offset through the kernel's formula) and the other byte times +256 or
// -256, which moves only the row; the row wraps by itself in bit 16. The first part
// is looked up in a 256-entry table built once per call, so every kernel's pixel
// loop is the same: one map read, one table read, one texel read, one write.
//
// With the entry read as e = m0 + 256 m1 (m0 first in memory):
//   KeyM1Plus:  index = table[m1] + 256 m0    = table[e >> 8] + (e << 8)
//   KeyM1Minus: index = table[m1] - 256 m0    = table[e >> 8] - (e << 8)
//   KeyM0Plus:  index = table[m0] + 256 m1    = (table[m0] - m0) + e
//   KeyM0Minus: index = table[m0] - 256 m1    = (table[m0] + m0) - e
// where the bits of e << 8 above bit 15 are dropped with the index's.

namespace {

enum TableKey { KeyM1Plus, KeyM1Minus, KeyM0Plus, KeyM0Minus };

// The table entry for key byte x: the formula's row and column for x, folded with
// the key's correction.
template <TableKey key> inline uint32_t TableEntry(unsigned x, unsigned row, unsigned column)
{
    uint32_t value = (uint32_t(row & 0xFF) << 8) | (column & 0xFF);
    if constexpr (key == KeyM0Plus)
        return value - x;
    else if constexpr (key == KeyM0Minus)
        return value + x;
    else
        return value;
}

// The texel index of the entry at m, before the wrap to 16 bits. Keyed by m1, the
// two bytes are read apart, so the key byte is a table index as it stands.
template <TableKey key> inline uint32_t TexelIndex(const uint32_t* __restrict table, const uint8_t* m)
{
    if constexpr (key == KeyM1Plus)
        return table[m[1]] + (uint32_t(m[0]) << 8);
    else if constexpr (key == KeyM1Minus)
        return table[m[1]] - (uint32_t(m[0]) << 8);
    else {
        uint32_t e = ReadLE16(m);   // m0 + 256 m1
        if constexpr (key == KeyM0Plus)
            return table[e & 0xFF] + e;
        else
            return table[e & 0xFF] - e;
    }
}

// Out of line: one copy per key, shared by the kernels that use it.
template <TableKey key>
__attribute__((noinline)) void TableKernel(const uint8_t* __restrict map, const uint8_t* __restrict texture,
                                           const uint32_t* __restrict table, uint8_t* __restrict target)
{
#if defined(__wasm__)
    // WebAssembly folds only a constant offset into a memory access, so the loop walks
    // pointers and each of a group's eight pixels is a constant offset from them.
    const uint8_t* end = map + 2 * MapPixels;
    for (const uint8_t* m = map; m != end; m += 16, target += 8) {
#pragma GCC unroll 8
        for (int j = 0; j < 8; ++j)
            target[j] = texture[TexelIndex<key>(table, m + 2 * j) & 0xFFFF];
    }
#else
#pragma GCC unroll 8
    for (int p = 0; p < MapPixels; ++p)
        target[p] = texture[TexelIndex<key>(table, map + 2 * p) & 0xFFFF];
#endif
}
static_assert(MapPixels % 8 == 0);

}   // namespace

#if defined(__wasm_simd128__)

// The two shift kernels need no table: the texel index is the entry itself (m1 the
// row, m0 the column) or its two bytes exchanged, plus the row and column additions
// byte by byte, so sixteen indices are made at once. They go out through memory:
// WebAssembly's lane extraction costs more than the loads that read them back.
template <bool swapBytes>
void ShiftKernel(const uint8_t* __restrict map, const uint8_t* __restrict texture, uint8_t* __restrict target,
                 uint8_t columnAdd, uint8_t rowAdd)
{
    const v128_t add = wasm_i16x8_splat(int16_t(uint16_t(rowAdd) << 8 | columnAdd));
    for (int p = 0; p < MapPixels; p += 16) {
        v128_t low = wasm_v128_load(map + 2 * p), high = wasm_v128_load(map + 2 * p + 16);
        if constexpr (swapBytes) {
            low = wasm_v128_or(wasm_i16x8_shl(low, 8), wasm_u16x8_shr(low, 8));
            high = wasm_v128_or(wasm_i16x8_shl(high, 8), wasm_u16x8_shr(high, 8));
        }
        uint16_t index[16];
        wasm_v128_store(index, wasm_i8x16_add(low, add));
        wasm_v128_store(index + 8, wasm_i8x16_add(high, add));
#pragma GCC unroll 16
        for (int j = 0; j < 16; ++j)
            target[p + j] = texture[index[j]];
    }
}
static_assert(MapPixels % 16 == 0);

#elif defined(__SSE2__)

// The two shift kernels need no table: the texel index is the entry itself (m1 the
// row, m0 the column) or its two bytes exchanged, plus the row and column additions
// byte by byte, so eight indices are made at once and each is read out for its texel.
template <bool swapBytes>
void ShiftKernel(const uint8_t* __restrict map, const uint8_t* __restrict texture, uint8_t* __restrict target,
                 uint8_t columnAdd, uint8_t rowAdd)
{
    const __m128i add = _mm_set1_epi16(int16_t(uint16_t(rowAdd) << 8 | columnAdd));
    for (int p = 0; p < MapPixels; p += 8) {
        __m128i entries = _mm_loadu_si128(reinterpret_cast<const __m128i*>(map + 2 * p));
        if constexpr (swapBytes)
            entries = _mm_or_si128(_mm_slli_epi16(entries, 8), _mm_srli_epi16(entries, 8));
        const __m128i index = _mm_add_epi8(entries, add);
        target[p + 0] = texture[_mm_extract_epi16(index, 0)];
        target[p + 1] = texture[_mm_extract_epi16(index, 1)];
        target[p + 2] = texture[_mm_extract_epi16(index, 2)];
        target[p + 3] = texture[_mm_extract_epi16(index, 3)];
        target[p + 4] = texture[_mm_extract_epi16(index, 4)];
        target[p + 5] = texture[_mm_extract_epi16(index, 5)];
        target[p + 6] = texture[_mm_extract_epi16(index, 6)];
        target[p + 7] = texture[_mm_extract_epi16(index, 7)];
    }
}

#endif

#if defined(__wasm_simd128__) || defined(__SSE2__)

void ShiftMapKernel(const uint8_t* map, const uint8_t* texture, uint8_t* target, uint8_t columnAdd, uint8_t rowAdd)
{
    ShiftKernel<true>(map, texture, target, columnAdd, rowAdd);
}

void ShiftMapSwappedKernel(const uint8_t* map, const uint8_t* texture, uint8_t* target, uint8_t columnAdd,
                           uint8_t rowAdd)
{
    ShiftKernel<false>(map, texture, target, columnAdd, rowAdd);
}

#else

void ShiftMapKernel(const uint8_t* map, const uint8_t* texture, uint8_t* target, uint8_t columnAdd, uint8_t rowAdd)
{
    uint32_t table[256];
    for (unsigned x = 0; x < 256; ++x)
        table[x] = TableEntry<KeyM1Plus>(x, rowAdd, x + columnAdd);
    TableKernel<KeyM1Plus>(map, texture, table, target);
}

void ShiftMapSwappedKernel(const uint8_t* map, const uint8_t* texture, uint8_t* target, uint8_t columnAdd,
                           uint8_t rowAdd)
{
    uint32_t table[256];
    for (unsigned x = 0; x < 256; ++x)
        table[x] = TableEntry<KeyM0Plus>(x, rowAdd, x + columnAdd);
    TableKernel<KeyM0Plus>(map, texture, table, target);
}

#endif

// The kernels whose column byte x picks k = waveA[x + f] >> 2: column x + k, row
// offset f + bump[k] (MapEffect3 keyed by m1, MapEffect8 by m0 with m1 subtracted).
template <TableKey key>
void BumpKernel(const uint8_t* map, const uint8_t* texture, const uint8_t* waveA, const uint8_t* bump, uint8_t* target,
                uint8_t f)
{
    uint32_t table[256];
    for (unsigned x = 0; x < 256; ++x) {
        unsigned k = (waveA[(x + f) & 0xFF] >> 2) & 15;
        table[x] = TableEntry<key>(x, f + bump[k], x + k);
    }
    TableKernel<key>(map, texture, table, target);
}

// The ripples: column x + f, row offset wave[x + 2f] (keyed by m1 or by m0).
template <TableKey key>
void RippleKernelKeyed(const uint8_t* map, const uint8_t* texture, const uint8_t* wave, uint8_t* target, uint8_t f)
{
    uint32_t table[256];
    for (unsigned x = 0; x < 256; ++x)
        table[x] = TableEntry<key>(x, wave[(x + 2 * f) & 0xFF], x + f);
    TableKernel<key>(map, texture, table, target);
}

void MapEffect3Kernel(const uint8_t* map, const uint8_t* texture, const uint8_t* waveA, const uint8_t* bump,
                      uint8_t* target, uint8_t f)
{
    BumpKernel<KeyM1Plus>(map, texture, waveA, bump, target, f);
}

void RippleKernel(const uint8_t* map, const uint8_t* texture, const uint8_t* wave, uint8_t* target, uint8_t f)
{
    RippleKernelKeyed<KeyM1Plus>(map, texture, wave, target, f);
}

// The negated pair: c' = -m1, r' = -m0 - (m1 != 0) (the borrow of the 16-bit
// negation), so the row is -m0 plus a part of m1 alone.
void NegatedRippleKernel(const uint8_t* map, const uint8_t* texture, const uint8_t* wave, uint8_t* target, uint8_t f)
{
    uint32_t table[256];
    for (unsigned x = 0; x < 256; ++x) {
        unsigned c = (0u - x) & 0xFF;
        table[x] = TableEntry<KeyM1Minus>(x, wave[(c + 2 * f) & 0xFF] - (x != 0), c + f);
    }
    TableKernel<KeyM1Minus>(map, texture, table, target);
}

void SwappedRippleKernel(const uint8_t* map, const uint8_t* texture, const uint8_t* wave, uint8_t* target, uint8_t f)
{
    RippleKernelKeyed<KeyM0Plus>(map, texture, wave, target, f);
}

void MapEffect8Kernel(const uint8_t* map, const uint8_t* texture, const uint8_t* waveA, const uint8_t* bump,
                      uint8_t* target, uint8_t f)
{
    BumpKernel<KeyM0Minus>(map, texture, waveA, bump, target, f);
}

void WaveTunnelKernel(const uint8_t* map, const uint8_t* texture, const uint8_t* wave, uint8_t* target, uint8_t f)
{
    uint32_t table[256];
    for (unsigned x = 0; x < 256; ++x)
        table[x] = TableEntry<KeyM0Plus>(x, f + wave[(x + f) & 0xFF], x);
    TableKernel<KeyM0Plus>(map, texture, table, target);
}

// ------------------------------------------------------ map selection and morph

uint32_t MovementRecordIndex(uint32_t n) { return n % MovementRecords; }

void MovementWindowKernel(const uint8_t* bigMap, const uint8_t* movementTable, uint32_t record, uint8_t* map)
{
    const uint8_t* entry = movementTable + size_t(MovementRecordIndex(record)) * MovementRecordBytes;
    int32_t x = int32_t(ReadLE32(entry));
    int32_t y = int32_t(ReadLE32(entry + 4));
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

void OverlayKernel(const uint8_t* __restrict source, uint8_t* __restrict frame, size_t count, uint8_t colourBase)
{
    // Both bytes read unconditionally, so the loop runs many pixels at a time.
    for (size_t i = 0; i < count; ++i) {
        uint8_t v = source[i], behind = frame[i];
        frame[i] = v != 0 ? uint8_t(v + colourBase) : behind;
    }
}

void FillFromBackgroundKernel(uint8_t* __restrict frame, const uint8_t* __restrict background, size_t count)
{
    // Both bytes read unconditionally, so the loop runs many pixels at a time.
    for (size_t i = 0; i < count; ++i) {
        uint8_t pixel = frame[i], behind = background[i];
        frame[i] = pixel != 0 ? pixel : behind;
    }
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
