// Overlay pictures (title, names, lyrics) from text in a font, a PNG or a file in
// the picture layout, in the fixed overlay and lyrics colours.
#include "ovltool/import_entry.h"

#include <algorithm>
#include <cstring>

#include "archive/content_format.h"
#include "effects/kernels.h"
#include "gencontent/content.h"
#include "gencontent/text.h"

namespace fs = std::filesystem;

namespace {

const char* const DefaultFont = "DejaVuSans-Bold.ttf";

constexpr int LyricsBandTop[4] = {0, 55, 109, 162};
constexpr int LyricsBandRows = 30;

// The file palette of an overlay: the overlay colours, for viewers (never shown).
void OverlayFilePalette(uint8_t* palette)
{
    std::memset(palette, 0, PaletteBytes);
    std::memcpy(palette, OverlayColours, sizeof OverlayColours);
}

// Text in the overlay ramps: letters shaded white to grey (values 8..5), a dark rim
// (16 for title and names, 1 for the lyrics).
bool TextOverlay(const EntryOptions& o, bool lyrics, std::vector<uint8_t>* pixels)
{
    std::vector<std::string> lines;
    std::string font = DefaultFont;
    double size = lyrics ? 19 : 28;
    if (!o.Lines("text", &lines) || !o.Text("font", &font) || !o.Number("size", 6, 150, &size))
        return false;
    if (lines.size() > (lyrics ? 4u : 8u)) {
        *o.error = Where(o.c, o.Line("text")) + (lyrics ? "the lyrics take at most 4 lines (one per band)"
                                                        : "an overlay takes at most 8 lines of text");
        return false;
    }
    Mask letters = MakeMask(int(PictureWidth), int(PictureHeight));
    int px = int(size);
    std::vector<int> tops;
    for (size_t i = 0; i < lines.size(); i++) {
        int fit = px;
        while (fit > 6 && TextWidth(font.c_str(), fit, lines[i]) > 300)
            fit--;
        int baseline;
        if (lyrics) {
            baseline = LyricsBandTop[i] + 21;
        } else {
            int pitch = px * 5 / 4, block = pitch * int(lines.size());
            baseline = (int(PictureHeight) - block) / 2 + pitch * int(i) + px;
        }
        if (!DrawText(&letters, font.c_str(), fit, 160, baseline, 1, lines[i]) || TextFailed()) {
            *o.error = Where(o.c, o.Line("font")) + "cannot load the font \"" + font + "\"";
            return false;
        }
        tops.push_back(baseline - fit * 3 / 4);
    }
    Mask rim = Dilate(letters, 2);
    pixels->assign(PicturePixelBytes, 0);
    for (int y = 0; y < int(PictureHeight); y++)
        for (int x = 0; x < int(PictureWidth); x++) {
            size_t i = size_t(y) * PictureWidth + x;
            if (letters.a[i] >= 0.5) {
                int shade = 8 - std::min(3, std::max(0, (y % std::max(1, px)) * 4 / std::max(1, px)));
                (*pixels)[i] = uint8_t(shade);
            } else if (rim.a[i] >= 0.5) {
                (*pixels)[i] = lyrics ? 1 : 16;
            }
        }
    return true;
}

}   // namespace

bool ImportOverlay(const EntryOptions& o, MadeEntry* made)
{
    const DataEntry& d = *o.e.entry;
    bool lyrics = d.pixelLast == LyricsColourCount - 1;
    bool title = std::strcmp(d.name, "tivrel.scx") == 0;
    uint8_t palette[768];
    std::vector<uint8_t> pixels;
    if (o.Get("source") && o.Get("text")) {
        *o.error = Where(o.c, o.Line("text")) + "give either source or text, not both";
        return false;
    }
    if (o.Get("text")) {
        if (!TextOverlay(o, lyrics, &pixels))
            return false;
        OverlayFilePalette(palette);
        made->bytes = EncodeScx(int(PictureWidth), int(PictureHeight), palette, pixels);
        made->how = "generated";
        made->detail = "text in the " + std::string(lyrics ? "lyrics" : "overlay") + " colours";
        return true;
    }
    fs::path path;
    Bytes data;
    if (!o.Source(&path, &data))
        return false;
    if (!IsPng(path)) {
        if (!RawSource(o, path, std::move(data), PicturePixelsOffset + PicturePixelBytes, 0, made))
            return false;
        // Its values pick fixed colours; past the ramp they would wrap into others.
        for (uint32_t i = 0; i < PicturePixelBytes; i++)
            if (made->bytes[PicturePixelsOffset + i] > d.pixelLast) {
                *o.error = Where(o.c, o.Line("source")) + path.filename().string() + ": pixel (" +
                           std::to_string(i % PictureWidth) + ", " + std::to_string(i / PictureWidth) + ") is " +
                           std::to_string(made->bytes[PicturePixelsOffset + i]) + "; this overlay uses values 0.." +
                           std::to_string(d.pixelLast);
                return false;
            }
        return true;
    }
    // The title may leave out its last 20 rows (never shown); the lyrics may be their
    // four 30-row bands stacked.
    std::vector<std::pair<int, int>> sizes = {{int(PictureWidth), int(PictureHeight)}};
    if (title)
        sizes.push_back({int(PictureWidth), int(PictureHeight) - 20});
    if (lyrics)
        sizes.push_back({int(PictureWidth), 4 * LyricsBandRows});
    int width, height;
    if (!CheckPngSize(o, path, data, sizes, "an overlay picture", &width, &height))
        return false;
    PngImage image;
    if (!Decode(o, path, data, width, height, &image))
        return false;
    bool fits = !image.indices.empty() && height == int(PictureHeight);
    for (size_t i = 0; fits && i < image.indices.size(); i++)
        fits = image.indices[i] <= d.pixelLast;
    std::vector<uint8_t> values;
    if (fits) {
        std::memset(palette, 0, sizeof palette);
        for (int i = 0; i < image.paletteCount * 3; i++)
            palette[i] = PaletteTo6Bit(image.palette8[i]);
        values = image.indices;
        made->how = "unchanged";
        made->detail = path.filename().string() + " (indexed, values 0.." + std::to_string(d.pixelLast) + ")";
    } else {
        OverlayFilePalette(palette);
        values = OverlayFromImage(image, d.pixelLast);
        made->how = "converted";
        made->detail = path.filename().string() + std::string(image.grey ? " grey levels" : " colours") +
                       " and alpha into the " + (lyrics ? "lyrics" : "overlay") + " colours 1.." +
                       std::to_string(d.pixelLast);
    }
    pixels.assign(PicturePixelBytes, 0);
    if (lyrics && height == 4 * LyricsBandRows) {
        for (int b = 0; b < 4; b++)
            std::memcpy(&pixels[size_t(LyricsBandTop[b]) * PictureWidth],
                        &values[size_t(b * LyricsBandRows) * PictureWidth], size_t(LyricsBandRows) * PictureWidth);
        made->detail += ", four bands placed at rows 0, 55, 109, 162";
    } else {
        std::memcpy(pixels.data(), values.data(), values.size());
    }
    made->bytes = EncodeScx(int(PictureWidth), int(PictureHeight), palette, pixels);
    return true;
}
