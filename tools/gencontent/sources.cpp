// gencontent --sources: the default data as an editable content folder (indexed PNG
// pictures, raw maps, the movement path as CSV, the strip, the meshes, the module)
// with its manifest, tivrel.toml, for ovltool build.
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "archive/content_format.h"
#include "archive/entries.h"
#include "core/bytes.h"
#include "gencontent/content.h"
#include "gencontent/text.h"

namespace {

void PngErrorToText(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarningIgnored(png_structp, png_const_charp) {}

void WriteToVector(png_structp png, png_bytep data, png_size_t count)
{
    std::vector<uint8_t>* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + count);
}
void FlushNothing(png_structp) {}

// 8-bit PNG: palette (palette6 set), grey+alpha (channels 2) or RGBA (channels 4).
std::vector<uint8_t> EncodePng(int width, int height, const uint8_t* pixels, const uint8_t* palette6, int channels)
{
    std::vector<uint8_t> out;
    std::string pngError;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &pngError, PngErrorToText, PngWarningIgnored);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, WriteToVector, FlushNothing);
    int bytesPerPixel = palette6 ? 1 : channels;
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 palette6 ? PNG_COLOR_TYPE_PALETTE : (channels == 2 ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_RGBA),
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (palette6) {
        png_color colours[256];
        for (int i = 0; i < 256; i++)
            colours[i] = {PaletteTo8Bit(palette6[i * 3]), PaletteTo8Bit(palette6[i * 3 + 1]),
                          PaletteTo8Bit(palette6[i * 3 + 2])};
        png_set_PLTE(png, info, colours, 256);
    }
    png_write_info(png, info);
    for (int y = 0; y < height; y++)
        rows[size_t(y)] = const_cast<png_bytep>(pixels + size_t(y) * width * bytesPerPixel);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

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
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return false;
    std::string program(self, size_t(n));
    program = program.substr(0, program.rfind('/') + 1) + "genmusic";
    pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        execl(program.c_str(), program.c_str(), path.c_str(), (char*)nullptr);
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}   // namespace

std::vector<uint8_t> EncodeIndexedPng(int width, int height, const uint8_t* indices, const uint8_t* palette6)
{
    return EncodePng(width, height, indices, palette6, 1);
}

std::vector<uint8_t> EncodePairsPng(int width, int height, const uint8_t* pairs)
{
    return EncodePng(width, height, pairs, nullptr, 2);
}

std::vector<uint8_t> EncodeRgbaPng(int width, int height, const uint8_t* rgba)
{
    return EncodePng(width, height, rgba, nullptr, 4);
}

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
                bytes = EncodeIndexedPng(width, height, &entry[PicturePixelsOffset], &entry[PicturePaletteOffset]);
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
