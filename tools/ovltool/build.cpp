#include "ovltool/build.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/content_format.h"
#include "archive/entries.h"
#include "archive/overlay_writer.h"
#include "core/bytes.h"
#include "core/process.h"
#include "core/read_file.h"
#include "core/safe_write.h"
#include "effects/kernels.h"
#include "gencontent/content.h"
#include "gencontent/text.h"
#include "ovltool/import_mesh.h"
#include "ovltool/import_music.h"
#include "ovltool/import_picture.h"
#include "ovltool/manifest.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

// Largest source file read (the strip as a raw file is 2.9 MB, a PNG far less).
constexpr size_t MaxSourceBytes = 64u << 20;
const char* const DefaultFont = "DejaVuSans-Bold.ttf";

// How an entry was made, for the report.
struct Made {
    Bytes bytes;
    const char* how = "converted";   // unchanged, converted, generated, base
    std::string detail;
};

// What one entry's import needs besides its manifest table.
struct Context {
    const Manifest* manifest;
    fs::path dir;
    Archive* base;   // null without a base
    std::vector<OverlayInput>* built;
};

std::string Where(const Context& c, int line) { return c.manifest->path + ":" + std::to_string(line) + ": "; }

bool ReadSource(const fs::path& path, Bytes* data, std::string* error)
{
    switch (ReadWholeFile(path.string(), MaxSourceBytes, data)) {
    case ReadFileOk: return true;
    case ReadFileMissing:
    case ReadFileNotRegular: *error = path.string() + ": no such file"; break;
    case ReadFileCannotOpen: *error = path.string() + ": cannot open"; break;
    case ReadFileFailed: *error = path.string() + ": read error"; break;
    case ReadFileTooLarge: *error = path.string() + ": larger than 64 MiB"; break;
    }
    return false;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = char(tolower(uint8_t(c)));
    return s;
}

// The entry's bytes in the base, or in the entries built so far (these win).
bool EarlierBytes(const Context& c, const char* name, Bytes* out)
{
    for (const OverlayInput& e : *c.built)
        if (e.name == name) {
            *out = e.data;
            return true;
        }
    if (!c.base)
        return false;
    int32_t i = ArchiveFind(c.base, name);
    return i >= 0 && ArchiveDecodeEntry(c.base, i, out) == 0;
}

// The palette of a picture entry built so far or in the base; zeros otherwise.
void EarlierPalette(const Context& c, const char* name, uint8_t* palette)
{
    Bytes bytes;
    std::memset(palette, 0, PaletteBytes);
    if (EarlierBytes(c, name, &bytes) && bytes.size() >= PicturePixelsOffset)
        std::memcpy(palette, bytes.data() + PicturePaletteOffset, PaletteBytes);
}

std::vector<uint8_t> EncodeScx(int width, int height, const uint8_t* palette, const std::vector<uint8_t>& pixels)
{
    Picture p = MakePicture(width, height);
    std::memcpy(p.palette, palette, PaletteBytes);
    p.pixels = pixels;
    return EncodePicture(p);
}

// Option readers: each returns false with "MANIFEST:LINE: reason".
struct Options {
    const Context& c;
    const ManifestEntry& e;
    std::string* error;

    const ManifestValue* Get(const char* key) const { return FindValue(e, key); }
    bool Number(const char* key, double lo, double hi, double* out) const
    {
        const ManifestValue* v = Get(key);
        if (!v)
            return true;
        if (v->type != ManifestValue::Number || !(v->number >= lo && v->number <= hi)) {
            char range[64];
            snprintf(range, sizeof range, "%g..%g", lo, hi);
            *error = Where(c, v->line) + key + " must be a number in " + range;
            return false;
        }
        *out = v->number;
        return true;
    }
    bool Text(const char* key, std::string* out) const
    {
        const ManifestValue* v = Get(key);
        if (!v)
            return true;
        if (v->type != ManifestValue::String) {
            *error = Where(c, v->line) + key + " must be a string";
            return false;
        }
        *out = v->text;
        return true;
    }
    bool Lines(const char* key, std::vector<std::string>* out) const
    {
        const ManifestValue* v = Get(key);
        if (!v)
            return true;
        if (v->type == ManifestValue::String)
            out->assign(1, v->text);
        else if (v->type == ManifestValue::StringList)
            *out = v->list;
        else {
            *error = Where(c, v->line) + key + " must be a string or a list of strings";
            return false;
        }
        return true;
    }
    // Chosen word among `words` ("a|b").
    bool Word(const char* key, const char* words, std::string* out) const
    {
        const ManifestValue* v = Get(key);
        if (!v)
            return true;
        std::string w = std::string("|") + words + "|";
        if (v->type != ManifestValue::String || v->text.empty() || w.find("|" + v->text + "|") == std::string::npos) {
            std::string list = words;
            std::replace(list.begin(), list.end(), '|', ',');
            *error = Where(c, v->line) + key + " must be one of " + list;
            return false;
        }
        *out = v->text;
        return true;
    }
    int Line(const char* key) const
    {
        const ManifestValue* v = Get(key);
        return v ? v->line : e.line;
    }
    // The source file's path (relative to the folder) and its bytes.
    bool Source(fs::path* path, Bytes* data) const
    {
        std::string name;
        if (!Text("source", &name))
            return false;
        fs::path p = fs::path(name).is_absolute() ? fs::path(name) : c.dir / name;
        *path = p;
        std::string why;
        if (!ReadSource(p, data, &why)) {
            *error = Where(c, Line("source")) + why;
            return false;
        }
        return true;
    }
};

// Size refused by its header: "FILE is WxH; a KIND must be ...".
bool CheckPngSize(const Options& o, const fs::path& path, const Bytes& data,
                  const std::vector<std::pair<int, int>>& sizes, const char* what, int* width, int* height)
{
    std::string why;
    if (!PngSize(data.data(), data.size(), width, height, &why)) {
        *o.error = Where(o.c, o.Line("source")) + path.filename().string() + ": " + why;
        return false;
    }
    for (auto [w, h] : sizes)
        if (*width == w && *height == h)
            return true;
    std::string allowed;
    for (auto [w, h] : sizes)
        allowed += (allowed.empty() ? "" : " or ") + std::to_string(w) + "x" + std::to_string(h);
    *o.error = Where(o.c, o.Line("source")) + path.filename().string() + " is " + std::to_string(*width) + "x" +
               std::to_string(*height) + "; " + what + " must be " + allowed;
    return false;
}

bool Decode(const Options& o, const fs::path& path, const Bytes& data, int width, int height, PngImage* image)
{
    std::string why;
    if (DecodePng(data.data(), data.size(), width, height, image, &why))
        return true;
    *o.error = Where(o.c, o.Line("source")) + path.filename().string() + ": " + why;
    return false;
}

bool IsPng(const fs::path& path) { return Lower(path.extension().string()) == ".png"; }

// Raw source in the entry's own layout, at least `needs` bytes.
bool RawSource(const Options& o, const fs::path& path, Bytes&& data, uint32_t needs, uint32_t exact, Made* made)
{
    if (data.size() < needs || (exact && data.size() != exact)) {
        *o.error = Where(o.c, o.Line("source")) + path.filename().string() + " holds " + std::to_string(data.size()) +
                   " bytes; " + o.e.entry->name + " needs " + std::to_string(exact ? exact : needs);
        return false;
    }
    made->bytes = std::move(data);
    made->how = "unchanged";
    made->detail = path.filename().string();
    return true;
}

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

bool ImportPicture(const Options& o, Made* made)
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
        Made whole;
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
bool TextOverlay(const Options& o, bool lyrics, std::vector<uint8_t>* pixels)
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

bool ImportOverlay(const Options& o, Made* made)
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

bool ImportMap(const Options& o, Made* made)
{
    const DataEntry& d = *o.e.entry;
    bool big = d.kind == EntryBigMap;
    int w = big ? int(BigMapWidth) : int(PictureWidth), h = big ? int(BigMapHeight) : int(PictureHeight);
    uint32_t bytes = big ? BigMapBytes : MapBytes;
    std::string preset;
    if (!o.Text("preset", &preset))
        return false;
    if (!preset.empty()) {
        if (o.Get("source")) {
            *o.error = Where(o.c, o.Line("preset")) + "give either source or preset, not both";
            return false;
        }
        MapShape shape;
        if (!o.Number("scale0", -64, 64, &shape.scale0) || !o.Number("scale1", -64, 64, &shape.scale1) ||
            !o.Number("twist", -64, 64, &shape.twist) || !o.Number("centre_x", -640, 640, &shape.centreX) ||
            !o.Number("centre_y", -400, 400, &shape.centreY))
            return false;
        made->bytes = BuildMapPreset(preset, w, h, shape);
        if (made->bytes.empty()) {
            *o.error = Where(o.c, o.Line("preset")) + "unknown map preset \"" + preset + "\" (" + MapPresetNames + ")";
            return false;
        }
        made->how = "generated";
        made->detail = "preset " + preset;
        return true;
    }
    for (const char* key : {"scale0", "scale1", "twist", "centre_x", "centre_y"})
        if (o.Get(key)) {
            *o.error = Where(o.c, o.Line(key)) + key + " goes with a preset";
            return false;
        }
    fs::path path;
    Bytes data;
    if (!o.Source(&path, &data))
        return false;
    if (!IsPng(path))
        return RawSource(o, path, std::move(data), bytes, bytes, made);
    int width, height;
    if (!CheckPngSize(o, path, data, {{w, h}}, "this map", &width, &height))
        return false;
    std::string why;
    if (!DecodePngPairs(data.data(), data.size(), w, h, &width, &height, &made->bytes, &why)) {
        *o.error = Where(o.c, o.Line("source")) + path.filename().string() + ": " + why;
        return false;
    }
    made->how = "converted";
    made->detail = path.filename().string() + " (grey byte m0, alpha byte m1)";
    return true;
}

// CSV of x,y per record (a header line and lines starting with # are skipped);
// fewer than 896 records repeat from the first.
bool MovementFromCsv(const Options& o, const fs::path& path, const Bytes& data, Made* made)
{
    std::vector<std::pair<int32_t, int32_t>> points;
    std::string text(data.begin(), data.end());
    size_t at = 0;
    int line = 0;
    std::string name = path.filename().string();
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string row = text.substr(at, end - at);
        at = end + 1;
        line++;
        if (!row.empty() && row.back() == '\r')
            row.pop_back();
        size_t first = row.find_first_not_of(" \t");
        if (first == std::string::npos || row[first] == '#')
            continue;
        long x, y;
        char rest;
        if (sscanf(row.c_str(), " %ld , %ld %c", &x, &y, &rest) != 2) {
            if (points.empty() && line == 1 && row.find_first_of("0123456789") == std::string::npos)
                continue;   // header
            *o.error = name + ":" + std::to_string(line) + ": expected x,y (two whole numbers)";
            return false;
        }
        if (x < 0 || x > MovementMaxX || y < 0 || y > MovementMaxY) {
            *o.error = name + ":" + std::to_string(line) + ": " + std::to_string(x) + "," + std::to_string(y) +
                       " lies outside 0..320, 0..200 (the window must stay inside the big map)";
            return false;
        }
        if (points.size() == MovementRecords) {
            *o.error = name + ":" + std::to_string(line) + ": more than 896 records";
            return false;
        }
        points.push_back({int32_t(x), int32_t(y)});
    }
    if (points.empty()) {
        *o.error = Where(o.c, o.Line("source")) + name + " holds no x,y records";
        return false;
    }
    made->bytes.assign(MovementTableBytes, 0);
    for (uint32_t n = 0; n < MovementRecords; n++) {
        WriteLE32(&made->bytes[n * MovementRecordBytes], uint32_t(points[n % points.size()].first));
        WriteLE32(&made->bytes[n * MovementRecordBytes + 4], uint32_t(points[n % points.size()].second));
    }
    made->how = "converted";
    made->detail = name + " (" + std::to_string(points.size()) + " records" +
                   (points.size() < MovementRecords ? ", repeated" : "") + ")";
    return true;
}

bool ImportMovement(const Options& o, Made* made)
{
    std::string preset;
    if (!o.Word("preset", "wander|ellipse", &preset))
        return false;
    if (!preset.empty()) {
        double period = 809, rx = 140, ry = 80;
        if (!o.Number("period", 2, 100000, &period) || !o.Number("radius_x", 0, 160, &rx) ||
            !o.Number("radius_y", 0, 100, &ry))
            return false;
        made->bytes = preset == "wander" ? BuildMovementPath(period) : BuildMovementEllipse(rx, ry, period);
        made->how = "generated";
        made->detail = "preset " + preset;
        return true;
    }
    fs::path path;
    Bytes data;
    if (!o.Source(&path, &data))
        return false;
    if (Lower(path.extension().string()) == ".csv")
        return MovementFromCsv(o, path, data, made);
    return RawSource(o, path, std::move(data), MovementTableBytes, MovementTableBytes, made);
}

bool ImportStrip(const Options& o, Made* made)
{
    if (o.Get("text")) {
        std::vector<std::string> lines;
        std::string font = "DejaVuSans-Bold.ttf+condensed";
        double size = 44;
        if (!o.Lines("text", &lines) || !o.Text("font", &font) || !o.Number("size", 8, 150, &size))
            return false;
        made->bytes = BuildStripFromLines(lines, font.c_str(), int(size));
        if (TextFailed()) {
            *o.error = Where(o.c, o.Line("font")) + "cannot load the font \"" + font + "\"";
            return false;
        }
        made->how = "generated";
        made->detail = std::to_string(lines.size()) + " lines of text";
        return true;
    }
    fs::path path;
    Bytes data;
    if (!o.Source(&path, &data))
        return false;
    if (!IsPng(path)) {
        if (data.size() > StripBytes || data.size() % StripWidth != 0) {
            *o.error = Where(o.c, o.Line("source")) + path.filename().string() +
                       " must be rows of 320 bytes, at most 9,200 of them";
            return false;
        }
        bool whole = data.size() == StripBytes;
        data.resize(StripBytes, 0);
        made->bytes = std::move(data);
        made->how = whole ? "unchanged" : "converted";
        made->detail = path.filename().string() + (whole ? "" : " (padded with empty rows)");
        return true;
    }
    int width, height;
    std::string why;
    if (!PngSize(data.data(), data.size(), &width, &height, &why) || width != int(StripWidth) ||
        height > int(StripRows)) {
        *o.error = Where(o.c, o.Line("source")) + path.filename().string() +
                   (why.empty() ? " is " + std::to_string(width) + "x" + std::to_string(height) +
                                      "; the strip must be 320 wide and at most 9200 tall"
                                : ": " + why);
        return false;
    }
    PngImage image;
    if (!Decode(o, path, data, width, height, &image))
        return false;
    // Letters: brightness times opacity is the coverage.
    Mask cover = MakeMask(int(StripWidth), int(StripRows));
    for (size_t i = 0; i < size_t(width) * height; i++) {
        const uint8_t* p = &image.rgba[i * 4];
        double bright = (0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2]) / 255.0;
        cover.a[i] = bright * p[3] / 255.0;
    }
    made->bytes = StripFromCoverage(cover);
    made->how = "converted";
    made->detail = path.filename().string() + " (brightness and alpha as letter coverage)";
    return true;
}

// A report of several lines as one: trailing line feeds dropped, the others "; ".
std::string OneLine(std::string text)
{
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    for (size_t at; (at = text.find('\n')) != std::string::npos;)
        text.replace(at, 1, "; ");
    return text;
}

bool ImportMeshEntry(const Options& o, Made* made)
{
    std::string scale, objects, uv;
    if (!o.Word("scale", "fit|keep", &scale) || !o.Word("objects", "merge|keep", &objects) ||
        !o.Word("uv", "keep|generate", &uv))
        return false;
    fs::path path;
    Bytes data;
    if (!o.Source(&path, &data))
        return false;
    MeshImportOptions options;
    options.keepScale = scale == "keep";
    options.keepObjects = objects == "keep";
    options.generateUv = uv == "generate";
    std::string report, why;
    if (!ImportMesh(path.string(), o.e.entry->name, options, &made->bytes, &report, &why)) {
        *o.error = Where(o.c, o.Line("source")) + why;
        return false;
    }
    made->how = made->bytes == data ? "unchanged" : "converted";
    made->detail = path.filename().string() + (report.empty() ? "" : ": " + report);
    made->detail = OneLine(made->detail);
    return true;
}

bool ImportMusicEntry(const Options& o, Made* made)
{
    fs::path path;
    Bytes data;
    if (!o.Source(&path, &data))
        return false;
    std::string report, why;
    if (!ImportMusic(path.string(), &made->bytes, &report, &why)) {
        *o.error = Where(o.c, o.Line("source")) + why;
        return false;
    }
    made->how = made->bytes == data ? "unchanged" : "converted";
    made->detail = path.filename().string() + (report.empty() ? "" : ": " + report);
    made->detail = OneLine(made->detail);
    return true;
}

bool ImportEntry(const Context& c, const ManifestEntry& e, Made* made, std::string* error)
{
    Options o{c, e, error};
    const DataEntry& d = *e.entry;
    if (!o.Get("source") && !o.Get("text") && !o.Get("preset")) {
        *error = Where(c, e.line) + d.name + " needs a source" +
                 (d.kind == EntryOverlay || d.kind == EntryStrip                           ? " or text"
                  : d.kind == EntryMap || d.kind == EntryBigMap || d.kind == EntryMovement ? " or a preset"
                                                                                           : "");
        return false;
    }
    switch (d.kind) {
    case EntryTexture:
    case EntryPicture: return ImportPicture(o, made);
    case EntryOverlay: return ImportOverlay(o, made);
    case EntryMap:
    case EntryBigMap: return ImportMap(o, made);
    case EntryMovement: return ImportMovement(o, made);
    case EntryStrip: return ImportStrip(o, made);
    case EntryMesh: return ImportMeshEntry(o, made);
    case EntryMusic: return ImportMusicEntry(o, made);
    }
    return false;
}

// A base texture shown through another entry's palette (the final scene's texture
// through 7venus's) keeps its look when that palette was remade: each pixel takes the
// value of the new palette's nearest colour to the one it showed before.
void RemapThroughNewPalette(const Context& c, const DataEntry& d, Made* made)
{
    if (!d.palette || !std::strstr(d.palette, "7venus") || d.kind != EntryTexture || !c.base ||
        made->bytes.size() < TextureEntryBytes)
        return;
    bool remade = false;
    for (const ManifestEntry& e : c.manifest->entries)
        remade = remade || std::strcmp(e.entry->name, "7venus.scx") == 0;
    if (!remade)
        return;
    uint8_t before[768], after[768];
    Bytes old;
    int32_t i = ArchiveFind(c.base, "7venus.scx");
    if (i < 0 || ArchiveDecodeEntry(c.base, i, &old) != 0 || old.size() < PicturePixelsOffset)
        return;
    std::memcpy(before, old.data() + PicturePaletteOffset, PaletteBytes);
    EarlierPalette(c, "7venus.scx", after);
    uint8_t value[256];
    for (int v = 0; v < 256; v++) {
        int best = d.pixelFirst, bestD = 1 << 30;
        for (int w = d.pixelFirst; w <= d.pixelLast; w++) {
            int dr = before[v * 3] - after[w * 3], dg = before[v * 3 + 1] - after[w * 3 + 1],
                db = before[v * 3 + 2] - after[w * 3 + 2];
            int dist = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (dist < bestD) {
                bestD = dist;
                best = w;
            }
        }
        value[v] = uint8_t(best);
    }
    for (uint32_t k = 0; k < TextureBytes; k++) {
        uint8_t& p = made->bytes[PicturePixelsOffset + k];
        if (p != 0)
            p = value[p];
    }
    made->how = "converted";
    made->detail += ", remapped to the new 7venus palette it is shown through";
}

int Fail(const std::string& message)
{
    fprintf(stderr, "ovltool: %s\n", message.c_str());
    return 1;
}

bool FileExists(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

}   // namespace

std::string DefaultBasePath()
{
    if (FileExists("tivrel.ovl"))
        return "tivrel.ovl";
    const std::string dir = ProgramFolder();
    if (!dir.empty()) {
        for (const char* relative : {"tivrel.ovl", "../share/tivrel/tivrel.ovl"})
            if (FileExists(dir + relative))
                return dir + relative;
    }
    return "";
}

std::string BuildHelp()
{
    std::string text = "The manifest, tivrel.toml in the content folder, has one table per entry, e.g.\n"
                       "  [\"euf0010.scx\"]\n  source = \"pictures/euf0010.png\"\n  dither = 0.5\n"
                       "Entries and the keys they take:\n";
    for (int i = 0; i < DataEntryCount; i++) {
        char line[160];
        snprintf(line, sizeof line, "  %-12s %s\n", DataEntries[i].name, ManifestKeys(DataEntries[i].kind));
        text += line;
    }
    return text;
}

int CmdBuild(const char* dir, const char* outPath, const char* basePath, bool force)
{
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        return Fail(std::string("not a content folder: ") + dir);
    fs::path manifestPath = fs::path(dir) / ManifestName;
    Bytes text;
    std::string why;
    if (!ReadSource(manifestPath, &text, &why))
        return Fail(why + " (a content folder holds tivrel.toml)");
    Manifest manifest;
    if (!ParseManifest(std::string(text.begin(), text.end()), manifestPath.string(), &manifest, &why))
        return Fail(why);

    std::string base = basePath && basePath[0] ? basePath : DefaultBasePath();
    std::unique_ptr<Archive> archive;
    if (base != "none" && !base.empty()) {
        archive = std::make_unique<Archive>();
        if (ArchiveOpenFile(archive.get(), base.c_str()) != 0)
            return Fail(std::string("base data file: ") + ArchiveError(archive.get()));
    }

    FILE* report = strcmp(outPath, "-") == 0 ? stderr : stdout;
    PrintTextFailures(false);   // a missing font is reported with its manifest line
    std::vector<OverlayInput> built;
    Context context{&manifest, fs::path(dir), archive.get(), &built};
    for (int k = 0; k < DataEntryCount; k++) {
        const DataEntry& d = DataEntries[k];
        const ManifestEntry* listed = nullptr;
        for (const ManifestEntry& e : manifest.entries)
            if (e.entry == &d)
                listed = &e;
        Made made;
        if (listed) {
            if (!ImportEntry(context, *listed, &made, &why))
                return Fail(why);
        } else {
            int32_t i = archive ? ArchiveFind(archive.get(), d.name) : -1;
            if (i < 0)
                return Fail(std::string(d.name) + " is not in " + manifestPath.string() +
                            (archive ? " nor in the base " + base : " and there is no base data file (--base FILE)"));
            if (ArchiveDecodeEntry(archive.get(), i, &made.bytes) != 0)
                return Fail(base + ": " + d.name + ": " + ArchiveError(archive.get()));
            made.how = "base";
            made.detail = base;
            RemapThroughNewPalette(context, d, &made);
        }
        if (made.bytes.size() < DataEntryNeeds(d))
            return Fail(std::string(d.name) + " would hold " + std::to_string(made.bytes.size()) +
                        " bytes; the demo reads " + std::to_string(DataEntryNeeds(d)));
        fprintf(report, "%-12s %-9s %s\n", d.name, made.how, made.detail.c_str());
        built.push_back({d.name, std::move(made.bytes)});
    }
    // Further entries of the base (not read by the demo) are kept.
    for (uint32_t i = 0; archive && i < ArchiveEntryCount(archive.get()); i++) {
        const OverlayEntry* e = ArchiveEntry(archive.get(), int32_t(i));
        std::string name(e->name, strnlen(e->name, OverlayNameBytes));
        if (FindDataEntry(name.c_str()))
            continue;
        OverlayInput extra{name, {}};
        if (ArchiveDecodeEntry(archive.get(), int32_t(i), &extra.data) != 0)
            return Fail(base + ": " + name + ": " + ArchiveError(archive.get()));
        built.push_back(std::move(extra));
    }
    Bytes file;
    if (!BuildOverlay(built, &file, &why, 2))
        return Fail(why);
    if (strcmp(outPath, "-") == 0) {
        if (fwrite(file.data(), 1, file.size(), stdout) != file.size() || fflush(stdout) != 0)
            return Fail("cannot write to standard output");
        return 0;
    }
    SafeWriteResult written = SafeWritePath(outPath, file.data(), file.size(), force, &why);
    if (written == SafeWriteExists)
        return Fail(why + " (--force replaces it)");
    if (written != SafeWriteOk)
        return Fail(why);
    fprintf(report, "build: %s: %zu entries, %zu bytes\n", outPath, built.size(), file.size());
    return 0;
}
