// The manifest side of every importer: option readers, source files, the helpers
// the importers share, and the choice of importer by entry kind.
#include "ovltool/import_entry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "archive/content_format.h"
#include "core/read_file.h"
#include "gencontent/content.h"
#include "ovltool/import_mesh.h"
#include "ovltool/import_music.h"

namespace fs = std::filesystem;

namespace {

// Largest source file read (the strip as a raw file is 2.9 MB, a PNG far less).
constexpr size_t MaxSourceBytes = 64u << 20;

// The entry's bytes in the base, or in the entries built so far (these win).
bool EarlierBytes(const BuildContext& c, const char* name, Bytes* out)
{
    for (const OverlayInput& e : *c.built)
        if (e.name == name) {
            *out = e.data;
            return true;
        }
    if (!c.base)
        return false;
    int32_t i = ArchiveFind(c.base, name);
    return i >= 0 && ArchiveDecodeEntry(c.base, i, out);
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

bool ImportMeshEntry(const EntryOptions& o, MadeEntry* made)
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
    options.packCache = o.c.cache;
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

bool ImportMusicEntry(const EntryOptions& o, MadeEntry* made)
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

}   // namespace

std::string Where(const BuildContext& c, int line) { return c.manifest->path + ":" + std::to_string(line) + ": "; }

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

// The palette of a picture entry built so far or in the base; zeros otherwise.
void EarlierPalette(const BuildContext& c, const char* name, uint8_t* palette)
{
    Bytes bytes;
    std::memset(palette, 0, PaletteBytes);
    if (EarlierBytes(c, name, &bytes) && bytes.size() >= PicturePixelsOffset)
        std::memcpy(palette, bytes.data() + PicturePaletteOffset, PaletteBytes);
}

Bytes EncodeScx(int width, int height, const uint8_t* palette, const Bytes& pixels)
{
    Picture p = MakePicture(width, height);
    std::memcpy(p.palette, palette, PaletteBytes);
    p.pixels = pixels;
    return EncodePicture(p);
}

const ManifestValue* EntryOptions::Get(const char* key) const { return FindValue(e, key); }

bool EntryOptions::Number(const char* key, double lo, double hi, double* out) const
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

bool EntryOptions::Text(const char* key, std::string* out) const
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

bool EntryOptions::Lines(const char* key, std::vector<std::string>* out) const
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

bool EntryOptions::Word(const char* key, const char* words, std::string* out) const
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

int EntryOptions::Line(const char* key) const
{
    const ManifestValue* v = Get(key);
    return v ? v->line : e.line;
}

bool EntryOptions::Source(fs::path* path, Bytes* data) const
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

// Size refused by its header: "FILE is WxH; a KIND must be ...".
bool CheckPngSize(const EntryOptions& o, const fs::path& path, const Bytes& data,
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

bool Decode(const EntryOptions& o, const fs::path& path, const Bytes& data, int width, int height, PngImage* image)
{
    std::string why;
    if (DecodePng(data.data(), data.size(), width, height, image, &why))
        return true;
    *o.error = Where(o.c, o.Line("source")) + path.filename().string() + ": " + why;
    return false;
}

bool IsPng(const fs::path& path) { return Lower(path.extension().string()) == ".png"; }

// Raw source in the entry's own layout, at least `needs` bytes.
bool RawSource(const EntryOptions& o, const fs::path& path, Bytes&& data, uint32_t needs, uint32_t exact,
               MadeEntry* made)
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

bool ImportEntry(const BuildContext& c, const ManifestEntry& e, MadeEntry* made, std::string* error)
{
    EntryOptions o{c, e, error};
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
