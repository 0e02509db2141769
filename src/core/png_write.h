// 8-bit PNG files encoded in memory, for the capture, the screenshot and the tools.
// Equal input gives byte-identical files: no time or text chunk, libpng's default
// compression and filters, no interlacing. Every encoder takes the pixels row-major
// (width x height, no padding) and fills *out; false with a one-line reason.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Palette PNG: one index per pixel, PLTE the 256 entries of devicePalette (the
// device palette's layout, core/pixels.h: B,G,R triples of 8-bit components),
// written as R,G,B.
// The reason given when libpng or zlib found no memory (its structures, the
// compressor's window), apart from every other failure.
extern const char* const PngOutOfMemory;

bool EncodeIndexedPng(const uint8_t* pixels, int width, int height, const uint8_t* devicePalette,
                      std::vector<uint8_t>* out, std::string* error);
// Grey + alpha PNG: two bytes per pixel, the grey sample first.
bool EncodeGreyAlphaPng(const uint8_t* pairs, int width, int height, std::vector<uint8_t>* out, std::string* error);
// Colour PNGs: R,G,B bytes per pixel, or R,G,B,A (straight alpha).
bool EncodeRgbPng(const uint8_t* rgb, int width, int height, std::vector<uint8_t>* out, std::string* error);
bool EncodeRgbaPng(const uint8_t* rgba, int width, int height, std::vector<uint8_t>* out, std::string* error);
