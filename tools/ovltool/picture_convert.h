// Pictures for the data file from PNG: decoding (any bit depth and colour type), the
// quantiser that puts a picture into the palette values its entry may use, and the
// conversion of overlay pictures into the fixed overlay and lyrics colour ramps.
// Palettes here are 256 R,G,B triples, each 0..63 (the picture layout's palette).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/entries.h"
#include "gencontent/content.h"

// A decoded PNG. rgba always holds 4 bytes per pixel (8-bit, straight alpha). For a
// palette PNG, indices holds the file's own palette index of each pixel and
// palette8 its paletteCount colours (8-bit R,G,B); for other PNGs indices is empty.
// grey: the file is a grey or grey+alpha PNG.
struct PngImage {
    int width = 0, height = 0;
    bool grey = false;
    std::vector<uint8_t> rgba;
    std::vector<uint8_t> indices;
    int paletteCount = 0;
    uint8_t palette8[768] = {};
};

// Largest side a PNG may have before anything is decoded (any entry: 9,200 strip rows).
constexpr int PngMaxSide = 10000;

// Width and height from the PNG header alone; false with a reason when the bytes are
// not a PNG.
bool PngSize(const uint8_t* data, size_t size, int* width, int* height, std::string* error);
// Decodes a PNG of at most maxWidth x maxHeight pixels (checked on the header, before
// any pixel is decoded). False with a one-line reason (no file name) otherwise.
bool DecodePng(const uint8_t* data, size_t size, int maxWidth, int maxHeight, PngImage* image, std::string* error);
// Decodes an 8-bit two-channel (grey + alpha) PNG into byte pairs: the grey sample
// first, then the alpha sample, row-major. Any other colour type or depth is refused.
bool DecodePngPairs(const uint8_t* data, size_t size, int maxWidth, int maxHeight, int* width, int* height,
                    std::vector<uint8_t>* pairs, std::string* error);
// 6-bit to 8-bit palette components and back: PaletteTo8Bit / PaletteTo6Bit
// (gencontent/content.h).

// Whether `value` is a pixel value the entry may use (its range without its reserved
// values).
bool EntryAllows(const DataEntry& entry, int value);

struct QuantiseOptions {
    float dither = 0;   // 0 (none) .. 1 (full Floyd-Steinberg)
    // The palette the pixels are shown through when it is not the entry's own (the
    // final scene's texture through the 7venus palette): pixels then take the nearest
    // of its allowed colours and *palette is left alone. Null for the entry's own.
    const uint8_t* showingPalette = nullptr;
};

// Quantises image (already the entry's size) into the pixel values the entry allows
// with libimagequant, writing pixels and the palette entries of those values (other
// palette entries keep what *palette held). When the entry's range starts at 1,
// pixels at least half transparent become 0 (the background shows through there);
// otherwise transparency is composed over black. False with a reason on failure.
bool QuantiseToEntry(const PngImage& image, const DataEntry& entry, const QuantiseOptions& options,
                     std::vector<uint8_t>* pixels, uint8_t* palette, std::string* error);

// Overlay pictures (title, names, lyrics): covered pixels (alpha at least half) take a
// value 1..maxValue whose fixed ramp colour is nearest to the pixel; a grey source
// picks by brightness along the first ramp (values 1..8, dark to white). Uncovered
// pixels are 0.
std::vector<uint8_t> OverlayFromImage(const PngImage& image, int maxValue);
