#include "ovltool/picture_convert.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "core/bytes.h"
#include "effects/kernels.h"
#include "libimagequant.h"

namespace {

struct MemoryReader {
    const uint8_t* data;
    size_t size, at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    MemoryReader* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (count > r->size - r->at)
        png_error(png, "the file ends early");
    std::memcpy(out, r->data + r->at, count);
    r->at += count;
}

void PngErrorToText(png_structp png, png_const_charp message)
{
    std::string* text = static_cast<std::string*>(png_get_error_ptr(png));
    *text = message;
    png_longjmp(png, 1);
}
void PngWarningIgnored(png_structp, png_const_charp) {}

// One libpng read of the whole image. `pairs`: read an 8-bit grey+alpha image raw;
// otherwise fill image (rgba, and indices for palette files).
bool ReadPng(const uint8_t* data, size_t size, int maxWidth, int maxHeight, bool pairs, PngImage* image,
             std::vector<uint8_t>* pairBytes, std::string* error)
{
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        *error = "not a PNG file";
        return false;
    }
    std::string pngError;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &pngError, PngErrorToText, PngWarningIgnored);
    if (!png) {
        *error = "cannot start the PNG reader";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{data, size, 0};
    std::vector<png_bytep> rows;
    // Set before setjmp and only changed by plain assignments afterwards.
    volatile bool tooLarge = false;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        *error = tooLarge ? pngError : "damaged PNG: " + pngError;
        return false;
    }
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_set_user_limits(png, PngMaxSide, PngMaxSide);
    png_set_chunk_malloc_max(png, 8u << 20);
    png_read_info(png, info);
    int width = int(png_get_image_width(png, info)), height = int(png_get_image_height(png, info));
    int colourType = png_get_color_type(png, info), depth = png_get_bit_depth(png, info);
    if (width > maxWidth || height > maxHeight) {
        pngError = "the picture is " + std::to_string(width) + "x" + std::to_string(height) + ", larger than " +
                   std::to_string(maxWidth) + "x" + std::to_string(maxHeight);
        tooLarge = true;
        png_error(png, "too large");
    }
    if (pairs) {
        if (colourType != PNG_COLOR_TYPE_GRAY_ALPHA || depth != 8) {
            pngError = "a map picture must be an 8-bit grey+alpha PNG (two bytes per pixel)";
            tooLarge = true;
            png_error(png, "wrong type");
        }
        if (png_set_interlace_handling(png) < 1)
            png_error(png, "bad interlace");
        png_read_update_info(png, info);
        if (png_get_rowbytes(png, info) != size_t(width) * 2)
            png_error(png, "unexpected row layout");
        pairBytes->assign(size_t(width) * height * 2, 0);
        rows.resize(size_t(height));
        for (int y = 0; y < height; y++)
            rows[size_t(y)] = pairBytes->data() + size_t(y) * width * 2;
        png_read_image(png, rows.data());
        png_destroy_read_struct(&png, &info, nullptr);
        image->width = width;
        image->height = height;
        return true;
    }

    image->width = width;
    image->height = height;
    image->grey = (colourType & PNG_COLOR_MASK_COLOR) == 0;
    image->indices.clear();
    image->paletteCount = 0;
    bool palette = colourType == PNG_COLOR_TYPE_PALETTE;
    if (palette) {
        // First the raw indices (any depth widened to one byte per pixel).
        png_colorp colours = nullptr;
        int count = 0;
        png_get_PLTE(png, info, &colours, &count);
        image->paletteCount = count;
        for (int i = 0; i < count && i < 256; i++) {
            image->palette8[i * 3] = colours[i].red;
            image->palette8[i * 3 + 1] = colours[i].green;
            image->palette8[i * 3 + 2] = colours[i].blue;
        }
        png_set_packing(png);
        if (png_set_interlace_handling(png) < 1)
            png_error(png, "bad interlace");
        png_read_update_info(png, info);
        if (png_get_rowbytes(png, info) != size_t(width))
            png_error(png, "unexpected row layout");
        image->indices.assign(size_t(width) * height, 0);
        rows.resize(size_t(height));
        for (int y = 0; y < height; y++)
            rows[size_t(y)] = image->indices.data() + size_t(y) * width;
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
        // Transparency of palette entries, if any, for the RGBA form.
        png_bytep alpha = nullptr;
        int alphaCount = 0;
        png_color_16p ignored = nullptr;
        if (png_get_valid(png, info, PNG_INFO_tRNS))
            png_get_tRNS(png, info, &alpha, &alphaCount, &ignored);
        image->rgba.assign(size_t(width) * height * 4, 0);
        for (size_t i = 0; i < image->indices.size(); i++) {
            int v = image->indices[i];
            if (v >= count)
                png_error(png, "a pixel uses a colour the palette does not have");
            std::memcpy(&image->rgba[i * 4], &image->palette8[v * 3], 3);
            image->rgba[i * 4 + 3] = v < alphaCount ? alpha[v] : 255;
        }
        png_destroy_read_struct(&png, &info, nullptr);
        return true;
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    if (png_set_interlace_handling(png) < 1)
        png_error(png, "bad interlace");
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 4)
        png_error(png, "unexpected row layout");
    image->rgba.assign(size_t(width) * height * 4, 0);
    rows.resize(size_t(height));
    for (int y = 0; y < height; y++)
        rows[size_t(y)] = image->rgba.data() + size_t(y) * width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// Squared colour distance, weighted for the eye, in 8-bit components.
int Distance(const uint8_t* a, const uint8_t* b)
{
    int dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

}   // namespace

bool PngSize(const uint8_t* data, size_t size, int* width, int* height, std::string* error)
{
    if (size < 24 || png_sig_cmp(data, 0, 8) != 0 || std::memcmp(data + 12, "IHDR", 4) != 0) {
        *error = "not a PNG file";
        return false;
    }
    uint32_t w = ReadBE32(data + 16), h = ReadBE32(data + 20);
    *width = w > 0x7FFFFFFF ? 0x7FFFFFFF : int(w);
    *height = h > 0x7FFFFFFF ? 0x7FFFFFFF : int(h);
    return true;
}

bool DecodePng(const uint8_t* data, size_t size, int maxWidth, int maxHeight, PngImage* image, std::string* error)
{
    return ReadPng(data, size, maxWidth, maxHeight, false, image, nullptr, error);
}

bool DecodePngPairs(const uint8_t* data, size_t size, int maxWidth, int maxHeight, int* width, int* height,
                    std::vector<uint8_t>* pairs, std::string* error)
{
    PngImage image;
    if (!ReadPng(data, size, maxWidth, maxHeight, true, &image, pairs, error))
        return false;
    *width = image.width;
    *height = image.height;
    return true;
}

bool EntryAllows(const DataEntry& entry, int value)
{
    if (value < entry.pixelFirst || value > entry.pixelLast)
        return false;
    return entry.reservedFirst > entry.reservedLast || value < entry.reservedFirst || value > entry.reservedLast;
}

bool QuantiseToEntry(const PngImage& image, const DataEntry& entry, const QuantiseOptions& options,
                     std::vector<uint8_t>* pixels, uint8_t* palette, std::string* error)
{
    std::vector<int> allowed;
    for (int v = 0; v < 256; v++)
        if (EntryAllows(entry, v))
            allowed.push_back(v);
    if (allowed.size() < 2) {
        *error = std::string("entry ") + entry.name + " allows fewer than two colours";
        return false;
    }
    bool zeroForTransparent = entry.pixelFirst == 1;
    size_t count = size_t(image.width) * image.height;
    // Opaque copy: transparency over black.
    std::vector<uint8_t> rgba(image.rgba);
    for (size_t i = 0; i < count; i++) {
        uint8_t* p = &rgba[i * 4];
        for (int k = 0; k < 3; k++)
            p[k] = uint8_t((p[k] * p[3] + 127) / 255);
        p[3] = 255;
    }

    liq_attr* attr = liq_attr_create();
    liq_image* input = nullptr;
    liq_result* result = nullptr;
    bool ok = attr != nullptr;
    if (ok) {
        liq_set_min_posterization(attr, 2);   // 6-bit components
        liq_set_speed(attr, 3);
        liq_set_max_colors(attr, int(allowed.size()));
        input = liq_image_create_rgba(attr, rgba.data(), image.width, image.height, 0);
        ok = input != nullptr;
    }
    std::vector<int> fixedValue;   // quantiser palette index -> pixel value, showing palette only
    if (ok && options.showingPalette) {
        for (int v : allowed) {
            const uint8_t* c = options.showingPalette + v * 3;
            liq_image_add_fixed_color(input,
                                      liq_color{PaletteTo8Bit(c[0]), PaletteTo8Bit(c[1]), PaletteTo8Bit(c[2]), 255});
        }
    }
    ok = ok && liq_image_quantize(input, attr, &result) == LIQ_OK;
    std::vector<uint8_t> remapped(count);
    if (ok) {
        liq_set_dithering_level(result, options.dither);
        ok = liq_write_remapped_image(result, input, remapped.data(), remapped.size()) == LIQ_OK;
    }
    if (ok) {
        const liq_palette* pal = liq_get_palette(result);
        std::vector<int> valueOf(pal->count);
        for (unsigned i = 0; i < pal->count; i++) {
            uint8_t c8[3] = {pal->entries[i].r, pal->entries[i].g, pal->entries[i].b};
            if (options.showingPalette) {
                // The fixed colours come back in the quantiser's order: find each one.
                int best = allowed[0], bestD = 1 << 30;
                for (int v : allowed) {
                    const uint8_t* c = options.showingPalette + v * 3;
                    uint8_t s8[3] = {PaletteTo8Bit(c[0]), PaletteTo8Bit(c[1]), PaletteTo8Bit(c[2])};
                    int d = Distance(c8, s8);
                    if (d < bestD) {
                        bestD = d;
                        best = v;
                    }
                }
                valueOf[i] = best;
            } else {
                valueOf[i] = allowed[i];
                for (int k = 0; k < 3; k++)
                    palette[allowed[i] * 3 + k] = PaletteTo6Bit(c8[k]);
            }
        }
        pixels->assign(count, 0);
        for (size_t i = 0; i < count; i++)
            (*pixels)[i] = uint8_t(valueOf[remapped[i]]);
        if (zeroForTransparent)
            for (size_t i = 0; i < count; i++)
                if (image.rgba[i * 4 + 3] < 128)
                    (*pixels)[i] = 0;
    } else {
        *error = "the colour quantiser failed";
    }
    if (result)
        liq_result_destroy(result);
    if (input)
        liq_image_destroy(input);
    if (attr)
        liq_attr_destroy(attr);
    return ok;
}

std::vector<uint8_t> OverlayFromImage(const PngImage& image, int maxValue)
{
    size_t count = size_t(image.width) * image.height;
    std::vector<uint8_t> out(count, 0);
    uint8_t ramp[17][3];
    for (int v = 0; v < OverlayColourCount; v++)
        for (int k = 0; k < 3; k++)
            ramp[v][k] = PaletteTo8Bit(OverlayColours[v][k]);
    for (size_t i = 0; i < count; i++) {
        const uint8_t* p = &image.rgba[i * 4];
        if (p[3] < 128)
            continue;
        if (image.grey) {
            // Brightness 0..255 along values 1..8.
            out[i] = uint8_t(1 + (p[0] * 7 + 127) / 255);
            continue;
        }
        int best = 1, bestD = 1 << 30;
        for (int v = 1; v <= maxValue; v++) {
            int d = Distance(p, ramp[v]);
            if (d < bestD) {
                bestD = d;
                best = v;
            }
        }
        out[i] = uint8_t(best);
    }
    return out;
}
