#include "core/png_write.h"

#include <png.h>

#include <cstring>

const char* const PngOutOfMemory = "out of memory for the PNG writer";

namespace {

void AppendPngBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushPngBytes(png_structp) {}

// libpng reports through these instead of its own lines on stderr. Its own
// allocations fail with "Out of Memory", zlib's with "insufficient memory".
void PngFailed(png_structp png, png_const_charp message)
{
    auto* outOfMemory = static_cast<volatile bool*>(png_get_error_ptr(png));
    *outOfMemory = message != nullptr && (std::strstr(message, "emory") != nullptr);
    png_longjmp(png, 1);
}
void PngWarningIgnored(png_structp, png_const_charp) {}

// colourType: PNG_COLOR_TYPE_*; bytesPerPixel matches it; devicePalette only for a
// palette PNG.
bool EncodePng(const uint8_t* pixels, int width, int height, int colourType, int bytesPerPixel,
               const uint8_t* devicePalette, std::vector<uint8_t>* out, std::string* error)
{
    out->clear();
    volatile bool outOfMemory = false;   // set by PngFailed, read after its longjmp
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, const_cast<bool*>(&outOfMemory), PngFailed,
                                              PngWarningIgnored);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        *error = PngOutOfMemory;
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out->clear();
        *error = outOfMemory ? PngOutOfMemory : "the PNG writer failed";
        return false;
    }
    png_set_write_fn(png, out, AppendPngBytes, FlushPngBytes);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (devicePalette) {
        png_color colours[256];
        for (int i = 0; i < 256; i++) {
            colours[i].red = devicePalette[3 * i + 2];
            colours[i].green = devicePalette[3 * i + 1];
            colours[i].blue = devicePalette[3 * i + 0];
        }
        png_set_PLTE(png, info, colours, 256);
    }
    png_write_info(png, info);
    const size_t rowBytes = size_t(width) * size_t(bytesPerPixel);
    for (int y = 0; y < height; y++)
        png_write_row(png, const_cast<png_bytep>(pixels + size_t(y) * rowBytes));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}   // namespace

bool EncodeIndexedPng(const uint8_t* pixels, int width, int height, const uint8_t* devicePalette,
                      std::vector<uint8_t>* out, std::string* error)
{
    return EncodePng(pixels, width, height, PNG_COLOR_TYPE_PALETTE, 1, devicePalette, out, error);
}

bool EncodeGreyAlphaPng(const uint8_t* pairs, int width, int height, std::vector<uint8_t>* out, std::string* error)
{
    return EncodePng(pairs, width, height, PNG_COLOR_TYPE_GRAY_ALPHA, 2, nullptr, out, error);
}

bool EncodeRgbPng(const uint8_t* rgb, int width, int height, std::vector<uint8_t>* out, std::string* error)
{
    return EncodePng(rgb, width, height, PNG_COLOR_TYPE_RGB, 3, nullptr, out, error);
}

bool EncodeRgbaPng(const uint8_t* rgba, int width, int height, std::vector<uint8_t>* out, std::string* error)
{
    return EncodePng(rgba, width, height, PNG_COLOR_TYPE_RGBA, 4, nullptr, out, error);
}
