// ovltool build's importers: each reads one entry's table of the manifest (its
// source file or generator and options) and makes the entry's bytes. CmdBuild
// (build.cpp) calls ImportEntry for every entry the manifest names; the importers of
// each kind live in import_picture.cpp, import_overlay.cpp, import_map.cpp,
// import_movement.cpp and import_strip.cpp, the mesh and music ones beside
// ImportEntry (import_entry.cpp).
#pragma once
#include "ovltool/build_cache.h"
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive.h"
#include "archive/entries.h"
#include "archive/overlay_writer.h"
#include "ovltool/picture_convert.h"
#include "ovltool/manifest.h"

using Bytes = std::vector<uint8_t>;

// How an entry was made, for the report.
struct MadeEntry {
    Bytes bytes;
    const char* how = "converted";   // unchanged, converted, generated, base
    std::string detail;
};

// What one entry's import needs besides its manifest table.
struct BuildContext {
    const Manifest* manifest;
    std::filesystem::path dir;
    Archive* base;   // null without a base
    std::vector<OverlayInput>* built;
    BuildCache* cache = nullptr;   // packed streams of this and earlier builds
};

// "MANIFEST:LINE: ", the start of every message about a manifest line.
std::string Where(const BuildContext& c, int line);
// A source file whole, at most 64 MiB; false with "PATH: reason".
bool ReadSource(const std::filesystem::path& path, Bytes* data, std::string* error);
// The palette of a picture entry built so far or in the base; zeros otherwise.
void EarlierPalette(const BuildContext& c, const char* name, uint8_t* palette);
// A picture entry's bytes (the picture layout) of pixels through palette (6-bit).
Bytes EncodeScx(int width, int height, const uint8_t* palette, const Bytes& pixels);
std::string Lower(std::string s);

// Option readers: each returns false with "MANIFEST:LINE: reason".
struct EntryOptions {
    const BuildContext& c;
    const ManifestEntry& e;
    std::string* error;

    const ManifestValue* Get(const char* key) const;
    bool Number(const char* key, double lo, double hi, double* out) const;
    bool Text(const char* key, std::string* out) const;
    bool Lines(const char* key, std::vector<std::string>* out) const;
    // Chosen word among `words` ("a|b").
    bool Word(const char* key, const char* words, std::string* out) const;
    int Line(const char* key) const;
    // The source file's path (relative to the folder) and its bytes.
    bool Source(std::filesystem::path* path, Bytes* data) const;
};

// Helpers of the importers; each refusal is "MANIFEST:LINE: FILE..." in *o.error.
// Size refused by its header: "FILE is WxH; a KIND must be ...".
bool CheckPngSize(const EntryOptions& o, const std::filesystem::path& path, const Bytes& data,
                  const std::vector<std::pair<int, int>>& sizes, const char* what, int* width, int* height);
bool Decode(const EntryOptions& o, const std::filesystem::path& path, const Bytes& data, int width, int height,
            PngImage* image);
bool IsPng(const std::filesystem::path& path);
// Raw source in the entry's own layout, at least `needs` bytes (exactly `exact` when
// not 0), taken unchanged.
bool RawSource(const EntryOptions& o, const std::filesystem::path& path, Bytes&& data, uint32_t needs, uint32_t exact,
               MadeEntry* made);

// The importers by entry kind: true with *made filled, or false with the reason.
bool ImportPicture(const EntryOptions& o, MadeEntry* made);    // textures and pictures
bool ImportOverlay(const EntryOptions& o, MadeEntry* made);    // title, names, lyrics
bool ImportMap(const EntryOptions& o, MadeEntry* made);        // maps and the big map
bool ImportMovement(const EntryOptions& o, MadeEntry* made);   // the movement path
bool ImportStrip(const EntryOptions& o, MadeEntry* made);      // the greetings strip
// The entry of table e, by its kind.
bool ImportEntry(const BuildContext& c, const ManifestEntry& e, MadeEntry* made, std::string* error);
