// The pure parts of capture mode: the frame list and the indexed PNG writer.
#include <png.h>

#include <cstdio>

#include "core/safe_write.h"
#include "video/display.h"

bool ParseFrameList(const char* text, FrameList* list, std::string* error)
{
    list->all = false;
    list->ranges.clear();
    const char* p = text;
    auto number = [&](uint32_t* value) {
        if (*p < '0' || *p > '9')
            return false;
        uint64_t v = 0;
        while (*p >= '0' && *p <= '9') {
            v = v * 10 + static_cast<uint64_t>(*p - '0');
            if (v > 0xFFFFFFFFu)
                return false;
            p++;
        }
        *value = static_cast<uint32_t>(v);
        return true;
    };
    do {
        uint32_t first = 0, last = 0;
        if (!number(&first)) {
            *error = std::string("bad frame list \"") + text + "\": expected a frame number";
            return false;
        }
        last = first;
        if (*p == ':') {
            p++;
            if (!number(&last)) {
                *error = std::string("bad frame list \"") + text + "\": expected a range end";
                return false;
            }
            if (last < first) {
                *error = std::string("bad frame list \"") + text + "\": range ends before it starts";
                return false;
            }
        }
        list->ranges.emplace_back(first, last);
    } while (*p == ',' && *++p != '\0');
    if (*p != '\0' || p == text || p[-1] == ',') {
        *error =
            std::string("bad frame list \"") + text + "\": expected numbers and first:last ranges separated by commas";
        return false;
    }
    return true;
}

bool FrameListContains(const FrameList& list, uint32_t frame)
{
    if (list.all)
        return true;
    for (const auto& range : list.ranges)
        if (frame >= range.first && frame <= range.second)
            return true;
    return false;
}

namespace {

void AppendPngBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushPngBytes(png_structp) {}

}   // namespace

bool EncodeIndexedPng(const uint8_t* pixels, int width, int height, const uint8_t* devicePalette,
                      std::vector<uint8_t>* out, std::string* error)
{
    out->clear();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        *error = "out of memory for the PNG writer";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        *error = "the PNG writer failed";
        return false;
    }
    png_set_write_fn(png, out, AppendPngBytes, FlushPngBytes);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color colours[256];
    for (int i = 0; i < 256; i++) {
        colours[i].red = devicePalette[3 * i + 2];
        colours[i].green = devicePalette[3 * i + 1];
        colours[i].blue = devicePalette[3 * i + 0];
    }
    png_set_PLTE(png, info, colours, 256);
    png_write_info(png, info);
    for (int y = 0; y < height; y++)
        png_write_row(png, const_cast<png_bytep>(pixels + static_cast<size_t>(y) * width));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}
