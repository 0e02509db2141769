// The default data as files: the picture layout, whole files read and written, each
// entry's bytes by its name and the writer of every entry.
#include "gencontent/content.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "archive/content_format.h"
#include "archive/entries.h"
#include "core/bytes.h"
#include "core/read_file.h"
#include "core/safe_write.h"
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
    std::string why;
    if (SafeWritePath(path, bytes.data(), bytes.size(), true, &why) == SafeWriteOk)
        return true;
    std::fprintf(stderr, "gencontent: %s\n", why.c_str());
    return false;
}

bool ReadBytes(const std::string& path, std::vector<uint8_t>* bytes)
{
    return ReadWholeFile(path, SIZE_MAX, bytes) == ReadFileOk;
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
