// Picture encoding, file input and output, and the entry table's builders.
#include "gencontent/content.h"

#include <cstdio>
#include <cstring>

#include "archive/content_format.h"
#include "archive/entries.h"
#include "core/bytes.h"
#include "gencontent/text.h"

Picture MakePicture(int width, int height)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.assign((size_t)width * height, 0);
    return p;
}

std::vector<uint8_t> EncodePicture(const Picture& picture)
{
    std::vector<uint8_t> bytes(PicturePixelsOffset + picture.pixels.size(), 0);
    std::memcpy(bytes.data(), "SCX", 3);
    WriteLE16(&bytes[4], (uint16_t)picture.width);
    WriteLE16(&bytes[6], (uint16_t)picture.height);
    std::memcpy(&bytes[PicturePaletteOffset], picture.palette, PaletteBytes);
    std::memcpy(&bytes[PicturePixelsOffset], picture.pixels.data(), picture.pixels.size());
    return bytes;
}

bool WritePicture(const std::string& path, const Picture& picture) { return WriteBytes(path, EncodePicture(picture)); }

bool ReadPicture(const std::string& path, Picture* picture, int width, int height)
{
    std::vector<uint8_t> bytes;
    if (!ReadBytes(path, &bytes) || bytes.size() < PicturePixelsOffset + (size_t)width * height)
        return false;
    *picture = MakePicture(width, height);
    std::memcpy(picture->palette, &bytes[PicturePaletteOffset], PaletteBytes);
    std::memcpy(picture->pixels.data(), &bytes[PicturePixelsOffset], (size_t)width * height);
    return true;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    if (f)
        ok = std::fclose(f) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "gencontent: cannot write %s\n", path.c_str());
    return ok;
}

bool ReadBytes(const std::string& path, std::vector<uint8_t>* bytes)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    bytes->clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes->insert(bytes->end(), buffer, buffer + n);
    std::fclose(f);
    return true;
}

std::vector<uint8_t> BuildEntry(const std::string& name)
{
    const DataEntry* entry = FindDataEntry(name.c_str());
    if (!entry)
        return {};
    switch (entry->kind) {
    case EntryMap:
    case EntryBigMap: return BuildMap(name);
    case EntryMovement: return BuildMovementTable();
    case EntryTexture: {
        Picture p = BuildTexture(name);
        return p.width ? EncodePicture(p) : std::vector<uint8_t>();
    }
    case EntryOverlay:
    case EntryPicture: {
        Picture p = BuildPicture(name);
        return p.width ? EncodePicture(p) : std::vector<uint8_t>();
    }
    case EntryStrip: return BuildStrip();
    case EntryMesh: return BuildMeshFile(name);
    case EntryMusic: break;
    }
    return {};
}

bool WriteEntries(const std::string& dir)
{
    for (int i = 0; i < DataEntryCount; i++) {
        const DataEntry& entry = DataEntries[i];
        if (entry.kind == EntryMusic)
            continue;
        std::vector<uint8_t> bytes = BuildEntry(entry.name);
        if (bytes.empty()) {
            std::fprintf(stderr, "gencontent: no generator for %s\n", entry.name);
            return false;
        }
        if (!WriteBytes(dir + "/" + entry.name, bytes))
            return false;
    }
    return !TextFailed();
}
