// Palette scaling, expansion of the indexed frame to true colour, and the packers for
// the 16-, 24- and 32-bit surface formats.
#include "core/pixels.h"

#include <cstdlib>
#include <cstring>

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

void ExpandFrame(const uint8_t* frame, const uint8_t* devicePalette, uint8_t* trueColor)
{
    for (int i = 0; i < ScreenBytes; i++) {
        const uint8_t* entry = devicePalette + 3 * frame[i];
        uint8_t* pixel = trueColor + 4 * i;
        pixel[0] = entry[0];
        pixel[1] = entry[1];
        pixel[2] = entry[2];
    }
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
        for (int x = 0; x < ScreenWidth; x++, s += 4, d += 2) {
            unsigned v = (s[2] >> 3) << 11 | (s[1] >> 2) << 5 | (s[0] >> 3);
            d[0] = static_cast<uint8_t>(v);
            d[1] = static_cast<uint8_t>(v >> 8);
        }
    }
}

static void Pack555(const uint8_t* src, uint8_t* dest, int pitch)
{
    for (int r = 0; r < ScreenHeight; r++) {
        const uint8_t* s = src + r * ScreenWidth * 4;
        uint8_t* d = dest + r * pitch;
        for (int x = 0; x < ScreenWidth; x++, s += 4, d += 2) {
            unsigned v = (s[2] >> 3) << 10 | (s[1] >> 3) << 5 | (s[0] >> 3);
            d[0] = static_cast<uint8_t>(v);
            d[1] = static_cast<uint8_t>(v >> 8);
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

int ExpandPackFrame(const uint8_t* frame, const uint8_t* devicePalette, uint8_t* dest, int pitch,
                    const DisplayMode& mode)
{
    static uint8_t trueColor[TrueColorBytes];
    ExpandFrame(frame, devicePalette, trueColor);
    return PackFrame(trueColor, dest, pitch, mode);
}
