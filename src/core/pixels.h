// Palette and pixel conversion: 6-bit palettes to device colours, the indexed frame
// to true colour, and true colour to the 16-, 24- and 32-bit display formats. Pure
// functions over explicit buffers, plus the two buffers presentation converts into.
#pragma once
#include <cstdint>

#include "core/shared.h"

// One display mode. depth is the bits per pixel of the packed format: 16, 24 or 32.
// greenSixBits: 0 for a 5-5-5 16-bit mode (green mask 0x03E0), 1 otherwise
// (5-6-5 and every 24- and 32-bit mode).
struct DisplayMode {
    int32_t width;
    int32_t height;
    int32_t depth;
    int32_t greenSixBits;
};

constexpr int TrueColorBytes = ScreenBytes * 4;   // 256,000: B, G, R, unused per pixel

// 768 bytes of B,G,R triples, 8 bits each; black until the first SetPalette.
extern uint8_t DevicePalette[768];
// 320x200 pixels of 4 bytes (B, G, R, unused), rows of 1,280 bytes. Allocated by
// AllocateTrueColorFrame (the entry, before the demo runs).
extern uint8_t* TrueColorFrame;
bool AllocateTrueColorFrame();

// palette: 256 R,G,B triples of 6-bit components (only the low 6 bits count).
// devicePalette: 256 B,G,R triples, each component (c x 4) in 8 bits (63 -> 252, 64 -> 0).
void ScalePalette(const uint8_t* palette, uint8_t* devicePalette);
// Copies the B,G,R of each pixel's palette entry into the first three bytes of the
// matching 4-byte trueColor pixel; the fourth byte is left alone.
void ExpandFrame(const uint8_t* frame, const uint8_t* devicePalette, uint8_t* trueColor);
// Packs the 320x200 trueColor image into dest (row r at dest + r x pitch) in the
// format of `mode`: 32: the 4 bytes; 24: B,G,R; 16 with greenSixBits 1: 5-6-5
// little-endian; 16 with greenSixBits 0: 5-5-5 (top bit 0). Returns the bytes per
// pixel written, 0 (nothing written) for any other depth.
int PackFrame(const uint8_t* trueColor, uint8_t* dest, int pitch, const DisplayMode& mode);
// ExpandFrame then PackFrame in one pass, without the true-colour image: dest gets
// exactly the bytes PackFrame writes from the expansion of `frame` (the fourth byte
// of a 32-bit pixel is 0, as in a TrueColorFrame that was never written there).
// Returns the bytes per pixel written, 0 for a depth other than 16, 24 or 32.
int ExpandPackFrame(const uint8_t* frame, const uint8_t* devicePalette, uint8_t* dest, int pitch,
                    const DisplayMode& mode);
