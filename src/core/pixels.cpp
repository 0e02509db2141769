// Palette scaling, expansion of the indexed frame to true colour, and the packers for
// the 16-, 24- and 32-bit surface formats.
#include "core/pixels.h"

#include <bit>
#include <cstdlib>
#include <cstring>


#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The converters store whole little-endian words of pixels.
static_assert(std::endian::native == std::endian::little);

uint8_t DevicePalette[768];
uint8_t* TrueColorFrame = nullptr;

bool AllocateTrueColorFrame()
{
    if (TrueColorFrame == nullptr)
        TrueColorFrame = static_cast<uint8_t*>(std::calloc(TrueColorBytes, 1));
    return TrueColorFrame != nullptr;
}

void ScalePalette(const uint8_t* palette, uint8_t* devicePalette)
{
    for (int i = 0; i < 256; i++) {
        devicePalette[3 * i + 0] = static_cast<uint8_t>(palette[3 * i + 2] * 4);   // blue
        devicePalette[3 * i + 1] = static_cast<uint8_t>(palette[3 * i + 1] * 4);   // green
        devicePalette[3 * i + 2] = static_cast<uint8_t>(palette[3 * i + 0] * 4);   // red
    }
}

// Entry k of the device palette as the 32-bit little-endian value B | G << 8 | R << 16.
static void DeviceColours(const uint8_t* devicePalette, uint32_t* colours)
{
    for (int k = 0; k < 256; k++)
        colours[k] = uint32_t(devicePalette[3 * k]) | uint32_t(devicePalette[3 * k + 1]) << 8 |
                     uint32_t(devicePalette[3 * k + 2]) << 16;
}

static inline uint64_t Load64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

static inline void Store64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }
static inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
static inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

static inline uint32_t Load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void ExpandFrame(const uint8_t* frame, const uint8_t* devicePalette, uint8_t* trueColor)
{
    uint32_t colours[256];
    DeviceColours(devicePalette, colours);
    // Eight pixels per step; the fourth byte of each pixel is kept as it was.
#if defined(__SSE2__)
    const __m128i fourthBytes = _mm_set1_epi32(int32_t(0xFF000000u));
    for (int i = 0; i < ScreenBytes; i += 8) {
        const uint8_t* f = frame + i;
        __m128i* pixel = reinterpret_cast<__m128i*>(trueColor + 4 * i);
        __m128i low = _mm_setr_epi32(int32_t(colours[f[0]]), int32_t(colours[f[1]]), int32_t(colours[f[2]]),
                                     int32_t(colours[f[3]]));
        __m128i high = _mm_setr_epi32(int32_t(colours[f[4]]), int32_t(colours[f[5]]), int32_t(colours[f[6]]),
                                      int32_t(colours[f[7]]));
        _mm_storeu_si128(pixel, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(pixel), fourthBytes), low));
        _mm_storeu_si128(pixel + 1, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(pixel + 1), fourthBytes), high));
    }
#else
    constexpr uint64_t FourthBytes = 0xFF000000FF000000ull;
    for (int i = 0; i < ScreenBytes; i += 8) {
        uint64_t indices = Load64(frame + i);
        uint8_t* pixel = trueColor + 4 * i;
        for (int k = 0; k < 8; k += 2, indices >>= 16) {
            uint64_t colour = colours[indices & 0xFF] | uint64_t(colours[(indices >> 8) & 0xFF]) << 32;
            Store64(pixel + 4 * k, (Load64(pixel + 4 * k) & FourthBytes) | colour);
        }
    }
#endif
}

static void Pack32(const uint8_t* src, uint8_t* dest, int pitch)
{
    for (int r = 0; r < ScreenHeight; r++)
        std::memcpy(dest + r * pitch, src + r * ScreenWidth * 4, ScreenWidth * 4);
}

static void Pack24(const uint8_t* src, uint8_t* dest, int pitch)
{
    for (int r = 0; r < ScreenHeight; r++) {
        const uint8_t* s = src + r * ScreenWidth * 4;
        uint8_t* d = dest + r * pitch;
        for (int x = 0; x < ScreenWidth; x++, s += 4, d += 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

static void Pack565(const uint8_t* src, uint8_t* dest, int pitch)
{
    for (int r = 0; r < ScreenHeight; r++) {
        const uint8_t* s = src + r * ScreenWidth * 4;
        uint8_t* d = dest + r * pitch;
        // Each pixel as one word B | G << 8 | R << 16: (R >> 3) << 11 | (G >> 2) << 5 | B >> 3.
        for (int x = 0; x < ScreenWidth; x++) {
            const uint32_t p = Load32(s + 4 * x);
            Store16(d + 2 * x, uint16_t((p >> 8 & 0xF800) | (p >> 5 & 0x07E0) | (p >> 3 & 0x001F)));
        }
    }
}

static void Pack555(const uint8_t* src, uint8_t* dest, int pitch)
{
    for (int r = 0; r < ScreenHeight; r++) {
        const uint8_t* s = src + r * ScreenWidth * 4;
        uint8_t* d = dest + r * pitch;
        // (R >> 3) << 10 | (G >> 3) << 5 | B >> 3, from the pixel's word as in Pack565.
        for (int x = 0; x < ScreenWidth; x++) {
            const uint32_t p = Load32(s + 4 * x);
            Store16(d + 2 * x, uint16_t((p >> 9 & 0x7C00) | (p >> 6 & 0x03E0) | (p >> 3 & 0x001F)));
        }
    }
}

int PackFrame(const uint8_t* trueColor, uint8_t* dest, int pitch, const DisplayMode& mode)
{
    switch (mode.depth) {
    case 32: Pack32(trueColor, dest, pitch); return 4;
    case 24: Pack24(trueColor, dest, pitch); return 3;
    case 16:
        if (mode.greenSixBits)
            Pack565(trueColor, dest, pitch);
        else
            Pack555(trueColor, dest, pitch);
        return 2;
    default: return 0;
    }
}

// The fused converters: the packed value of each palette entry once, then one
// table read and one store per pixel.

// WebAssembly folds only constant offsets into its loads and stores, so there the
// rows are walked by pointer, eight pixels a step; natively the indexed loop is faster.
static_assert(ScreenWidth % 8 == 0);

// 32- and 16-bit formats: one whole word per pixel.
template <typename Word>
static void ExpandPackWords(const uint8_t* frame, const Word* colours, uint8_t* dest, int pitch)
{
    for (int r = 0; r < ScreenHeight; r++) {
        const uint8_t* f = frame + r * ScreenWidth;
        uint8_t* d = dest + r * pitch;
#if defined(__wasm__)
        for (const uint8_t* end = f + ScreenWidth; f != end; f += 8, d += 8 * sizeof(Word)) {
#pragma GCC unroll 8
            for (int k = 0; k < 8; k++)
                std::memcpy(d + sizeof(Word) * k, &colours[f[k]], sizeof(Word));
        }
#else
        for (int x = 0; x < ScreenWidth; x++)
            std::memcpy(d + sizeof(Word) * x, &colours[f[x]], sizeof(Word));
#endif
    }
}

// Four pixels as three 32-bit words of B,G,R triples.
static inline void Pack24Quad(const uint8_t* f, const uint32_t* colours, uint8_t* d)
{
    uint32_t p0 = colours[f[0]], p1 = colours[f[1]], p2 = colours[f[2]], p3 = colours[f[3]];
    Store32(d, p0 | p1 << 24);
    Store32(d + 4, p1 >> 8 | p2 << 16);
    Store32(d + 8, p2 >> 16 | p3 << 8);
}

static void ExpandPack24(const uint8_t* frame, const uint32_t* colours, uint8_t* dest, int pitch)
{
    for (int r = 0; r < ScreenHeight; r++) {
        const uint8_t* f = frame + r * ScreenWidth;
        uint8_t* d = dest + r * pitch;
#if defined(__wasm__)
        for (const uint8_t* end = f + ScreenWidth; f != end; f += 8, d += 24) {
            Pack24Quad(f, colours, d);
            Pack24Quad(f + 4, colours, d + 12);
        }
#else
        for (int x = 0; x < ScreenWidth; x += 4, d += 12)
            Pack24Quad(f + x, colours, d);
#endif
    }
}

int ExpandPackFrame(const uint8_t* frame, const uint8_t* devicePalette, uint8_t* dest, int pitch,
                    const DisplayMode& mode)
{
    uint32_t colours[256];
    DeviceColours(devicePalette, colours);
    if (mode.depth == 32) {
        ExpandPackWords(frame, colours, dest, pitch);
        return 4;
    }
    if (mode.depth == 24) {
        ExpandPack24(frame, colours, dest, pitch);
        return 3;
    }
    if (mode.depth != 16)
        return 0;
    uint16_t packed[256];
    for (int k = 0; k < 256; k++) {
        unsigned b = colours[k] & 0xFF, g = colours[k] >> 8 & 0xFF, r = colours[k] >> 16;
        packed[k] = uint16_t(mode.greenSixBits ? (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3)
                                               : (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
    }
    ExpandPackWords(frame, packed, dest, pitch);
    return 2;
}
