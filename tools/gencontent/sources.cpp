// gencontent --sources: the default data as an editable content folder (indexed PNG
// pictures, raw maps, the movement path as CSV, the strip, the meshes, the module)
// with its manifest, tivrel.toml, for ovltool build.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "archive/content_format.h"
#include "archive/entries.h"
#include "core/bytes.h"
#include "core/png_write.h"
#include "core/process.h"
#include "gencontent/content.h"
#include "gencontent/text.h"

namespace {

// Where an entry's source goes in the folder, relative to it.
std::string SourcePath(const DataEntry& d)
{
    std::string stem = d.name;
    stem = stem.substr(0, stem.find('.'));
    switch (d.kind) {
    case EntryMusic: return "music/music.s3m";
    case EntryMap:
    case EntryBigMap: return std::string("maps/") + d.name;
    case EntryMovement: return "path/movement.csv";
    case EntryOverlay:
    case EntryTexture:
    case EntryPicture: return "pictures/" + stem + ".png";
    case EntryStrip: return std::string("strip/") + d.name;
    case EntryMesh: return std::string("meshes/") + d.name;
    }
    return d.name;
}

std::string MovementCsv(const std::vector<uint8_t>& table)
{
    std::string csv = "x,y\n";
    for (uint32_t n = 0; n < MovementRecords; n++) {
        csv += std::to_string(int32_t(ReadLE32(&table[n * MovementRecordBytes]))) + "," +
               std::to_string(int32_t(ReadLE32(&table[n * MovementRecordBytes + 4]))) + "\n";
    }
    return csv;
}

// Runs genmusic (beside this program) to write the module; false when it is missing
// or fails.
bool WriteModule(const std::string& path)
{
    const std::string folder = ProgramFolder();
    return !folder.empty() && RunProgram({folder + "genmusic", path}) == 0;
}

}   // namespace

bool WriteSources(const std::string& dir)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const char* sub : {"music", "maps", "path", "pictures", "strip", "meshes"})
        fs::create_directories(fs::path(dir) / sub, ec);
    if (ec) {
        std::fprintf(stderr, "gencontent: cannot make %s: %s\n", dir.c_str(), ec.message().c_str());
        return false;
    }
    std::string manifest = "# tivrel content folder. `ovltool build FOLDER -o FILE` makes a data file of it;\n"
                           "# `tivrel --data FOLDER` plays it directly. One table per data-file entry, named by\n"
                           "# the entry: remove a table and that entry comes from the base data file.\n"
                           "# `ovltool build --help` lists every entry and the keys it takes.\n";
    for (int i = 0; i < DataEntryCount; i++) {
        const DataEntry& d = DataEntries[i];
        std::string source = SourcePath(d);
        std::vector<uint8_t> bytes;
        bool ok = true;
        if (d.kind == EntryMusic) {
            ok = WriteModule(dir + "/" + source);
            if (!ok) {
                std::fprintf(stderr,
                             "gencontent: genmusic (beside gencontent) did not write %s; the music comes "
                             "from the base\n",
                             source.c_str());
                continue;
            }
        } else {
            std::vector<uint8_t> entry = BuildEntry(d.name);
            if (entry.empty()) {
                std::fprintf(stderr, "gencontent: no generator for %s\n", d.name);
                return false;
            }
            if (d.kind == EntryTexture || d.kind == EntryPicture || d.kind == EntryOverlay) {
                int side = d.kind == EntryTexture ? int(TextureSide) : 0;
                int width = side ? side : int(PictureWidth), height = side ? side : int(PictureHeight);
                uint8_t devicePalette[PaletteBytes];
                for (uint32_t c = 0; c < PaletteBytes; c += 3)
                    for (uint32_t k = 0; k < 3; k++)
                        devicePalette[c + k] = PaletteTo8Bit(entry[PicturePaletteOffset + c + 2 - k]);
                std::string why;
                if (!EncodeIndexedPng(&entry[PicturePixelsOffset], width, height, devicePalette, &bytes, &why))
                    bytes.clear();
            } else if (d.kind == EntryMovement) {
                std::string csv = MovementCsv(entry);
                bytes.assign(csv.begin(), csv.end());
            } else {
                bytes = std::move(entry);
            }
            ok = !bytes.empty() && WriteBytes(dir + "/" + source, bytes);
        }
        if (!ok)
            return false;
        manifest += "\n[\"" + std::string(d.name) + "\"]\nsource = \"" + source + "\"\n";
    }
    std::vector<uint8_t> text(manifest.begin(), manifest.end());
    return WriteBytes(dir + "/tivrel.toml", text) && !TextFailed();
}
