// Textures and pictures from a PNG (indexed values that fit are kept, anything else
// quantised) or a file in the picture layout.
#include "ovltool/import_entry.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "archive/content_format.h"
#include "gencontent/content.h"

namespace fs = std::filesystem;

namespace {

// "0..255 without 246..254": the pixel values the entry may use.
std::string AllowedValues(const DataEntry& d)
{
    std::string text = std::to_string(d.pixelFirst) + ".." + std::to_string(d.pixelLast);
    if (d.reservedFirst <= d.reservedLast)
        text += " without " + std::to_string(d.reservedFirst) + ".." + std::to_string(d.reservedLast);
    return text;
}

// A source in the picture layout as an indexed image: its pixels and its palette.
bool RawPictureImage(const Bytes& data, int width, int height, PngImage* image)
{
    image->width = width;
    image->height = height;
    image->paletteCount = 256;
    for (uint32_t i = 0; i < PaletteBytes; i++)
        image->palette8[i] = PaletteTo8Bit(uint8_t(data[PicturePaletteOffset + i] & 63));
    image->indices.assign(data.begin() + PicturePixelsOffset, data.begin() + PicturePixelsOffset + width * height);
    image->rgba.resize(image->indices.size() * 4);
    for (size_t i = 0; i < image->indices.size(); i++) {
        std::memcpy(&image->rgba[i * 4], &image->palette8[image->indices[i] * 3], 3);
        image->rgba[i * 4 + 3] = 255;
    }
    return true;
}

// A texture's seams: how much more its opposite edges differ than neighbouring texels
// do on average. Over 3 means a visible seam where the texture repeats.
double SeamRatio(const std::vector<uint8_t>& rgba)
{
    auto diff = [&](int x0, int y0, int x1, int y1) {
        const uint8_t* a = &rgba[size_t(y0 * 256 + x0) * 4];
        const uint8_t* b = &rgba[size_t(y1 * 256 + x1) * 4];
        return double(std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]));
    };
    double inner = 0, seam = 0;
    for (int i = 0; i < 256; i++) {
        inner += diff(127, i, 128, i) + diff(i, 127, i, 128);
        seam += diff(255, i, 0, i) + diff(i, 255, i, 0);
    }
    return seam / std::max(inner, 256.0);
}

}   // namespace

bool ImportPicture(const EntryOptions& o, MadeEntry* made)
{
    const DataEntry& d = *o.e.entry;
    double dither = 0;
    if (!o.Number("dither", 0, 1, &dither))
        return false;
    fs::path path;
    Bytes data;
    if (!o.Source(&path, &data))
        return false;
    bool texture = d.kind == EntryTexture;
    int w = texture ? int(TextureSide) : int(PictureWidth), h = texture ? int(TextureSide) : int(PictureHeight);
    PngImage image;
    bool raw = !IsPng(path);
    if (raw) {
        MadeEntry whole;
        if (!RawSource(o, path, Bytes(data), PicturePixelsOffset + uint32_t(w * h), 0, &whole) ||
            !RawPictureImage(data, w, h, &image))
            return false;
    } else {
        int width, height;
        if (!CheckPngSize(o, path, data, {{w, h}}, texture ? "a texture" : "a picture", &width, &height) ||
            !Decode(o, path, data, w, h, &image))
            return false;
    }
    uint8_t palette[768];
    EarlierPalette(o.c, d.name, palette);
    std::vector<uint8_t> pixels;
    bool fits = !image.indices.empty();
    for (size_t i = 0; fits && i < image.indices.size(); i++)
        fits = EntryAllows(d, image.indices[i]);
    if (fits) {
        for (int i = 0; i < image.paletteCount * 3; i++)
            palette[i] = PaletteTo6Bit(image.palette8[i]);
        pixels = image.indices;
        made->how = "unchanged";
        made->detail = path.filename().string() + " (" + (raw ? "picture layout" : "indexed") + ", values fit " +
                       AllowedValues(d) + ")";
        if (raw) {
            made->bytes = std::move(data);
            return true;
        }
    } else {
        QuantiseOptions q;
        q.dither = float(dither);
        uint8_t showing[768];
        if (d.palette && std::strstr(d.palette, "7venus")) {
            EarlierPalette(o.c, "7venus.scx", showing);
            q.showingPalette = showing;
        }
        std::string why;
        if (!QuantiseToEntry(image, d, q, &pixels, palette, &why)) {
            *o.error = Where(o.c, o.Line("source")) + path.filename().string() + ": " + why;
            return false;
        }
        made->how = "converted";
        made->detail = path.filename().string() + " quantised into values " + AllowedValues(d);
        if (q.showingPalette)
            made->detail += " through the 7venus palette";
        if (dither > 0)
            made->detail += ", dithered";
    }
    if (texture) {
        double seam = SeamRatio(image.rgba);
        if (seam > 3)
            made->detail += "; warning: its edges do not meet (seam " + std::to_string(int(seam)) +
                            "x the inner contrast), it shows a seam where it repeats";
    }
    made->bytes = EncodeScx(w, h, palette, pixels);
    return true;
}
