// PNG import for pictures, textures and maps on any bytes. Properties:
// - a picture larger than the limit is refused from its header, before decoding; a
//   decoded one has the size its IHDR states;
// - a decoded picture has width x height RGBA pixels (and one index per pixel for
//   palette files, each within the file's palette);
// - small pictures quantised for a texture with reserved colours use only the values
//   it allows, and as an overlay only values 0..16;
// - a two-channel map picture gives two bytes per pixel.
#include <cstdint>
#include <string>

#include "archive/entries.h"
#include "fuzz_check.h"
#include "ovltool/picture_convert.h"

namespace {
constexpr int MaxSide = 256;
constexpr int MaxQuantisedPixels = 64 * 64;
}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int headerWidth = 0, headerHeight = 0;
    std::string error;
    bool header = PngSize(data, size, &headerWidth, &headerHeight, &error);
    PngImage image;
    if (!DecodePng(data, size, MaxSide, MaxSide, &image, &error)) {
        FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos, "refusal: %s", error.c_str());
    } else {
        // A file whose first chunk is not IHDR may still decode; PngSize refuses it.
        FUZZ_CHECK(!header || (image.width == headerWidth && image.height == headerHeight),
                   "size %dx%d vs header %dx%d", image.width, image.height, headerWidth, headerHeight);
        FUZZ_CHECK(image.width <= MaxSide && image.height <= MaxSide, "%dx%d decoded", image.width, image.height);
        size_t pixels = size_t(image.width) * image.height;
        FUZZ_CHECK(image.rgba.size() == pixels * 4, "rgba %zu for %zu pixels", image.rgba.size(), pixels);
        if (!image.indices.empty()) {
            FUZZ_CHECK(image.indices.size() == pixels, "indices %zu", image.indices.size());
            for (uint8_t v : image.indices)
                FUZZ_CHECK(v < image.paletteCount, "index %d past %d colours", v, image.paletteCount);
        }
        if (pixels <= MaxQuantisedPixels) {
            const DataEntry& texture = *FindDataEntry("euf0009.scx");
            std::vector<uint8_t> values;
            uint8_t palette[768] = {};
            QuantiseOptions options;
            options.dither = 0.5f;
            if (QuantiseToEntry(image, texture, options, &values, palette, &error)) {
                FUZZ_CHECK(values.size() == pixels, "%zu values", values.size());
                for (uint8_t v : values)
                    FUZZ_CHECK(EntryAllows(texture, v), "value %d", v);
                for (uint8_t c : palette)
                    FUZZ_CHECK(c <= 63, "palette component %d", c);
            }
            for (uint8_t v : OverlayFromImage(image, 16))
                FUZZ_CHECK(v <= 16, "overlay value %d", v);
        }
    }
    int width = 0, height = 0;
    std::vector<uint8_t> pairs;
    if (DecodePngPairs(data, size, MaxSide, MaxSide, &width, &height, &pairs, &error))
        FUZZ_CHECK(pairs.size() == size_t(width) * height * 2, "%zu bytes of pairs", pairs.size());
    return 0;
}
