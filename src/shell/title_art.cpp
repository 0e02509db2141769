// Title artwork for the setup dialog, read straight from the overlay file's directory
// with the archive's stream decoder (the demo's own reader is not opened yet).
#include "shell/title_art.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_format.h"

constexpr uint32_t PicturePaletteOffset = 10;
constexpr uint32_t PicturePixelsOffset = 778;
constexpr uint32_t PictureBytes = 320 * 200;
constexpr long MaxOverlayBytes = 256L << 20;
constexpr uint32_t MaxUnpackedBytes = 4u << 20;

void ScaleTitleArt(const uint8_t* pixels, const uint8_t* palette, uint8_t* rgb)
{
    // Colours actually used; if all of them are black the picture is shown as a ramp.
    bool used[256] = {};
    for (uint32_t i = 0; i < PictureBytes; i++)
        used[pixels[i]] = true;
    bool visible = false;
    for (int c = 1; c < 256; c++)
        if (used[c] && (palette[3 * c] | palette[3 * c + 1] | palette[3 * c + 2]) & 63)
            visible = true;
    uint8_t colours[256][3];
    for (int c = 0; c < 256; c++)
        for (int k = 0; k < 3; k++) {
            int ramp = c == 0 ? 24 : 96 + c * 10;
            colours[c][k] = visible ? static_cast<uint8_t>((palette[3 * c + k] & 63) * 255 / 63)
                                    : static_cast<uint8_t>(ramp > 255 ? 255 : ramp);
        }
    // Output pixel (x, y) covers source columns [x*320/213, (x+1)*320/213) and rows
    // [y*200/133, (y+1)*200/133); its colour is the plain average over that block.
    for (int y = 0; y < 133; y++) {
        int y0 = y * 200 / 133, y1 = (y + 1) * 200 / 133;
        for (int x = 0; x < 213; x++) {
            int x0 = x * 320 / 213, x1 = (x + 1) * 320 / 213;
            int sum[3] = {0, 0, 0}, n = 0;
            for (int sy = y0; sy < y1; sy++)
                for (int sx = x0; sx < x1; sx++, n++)
                    for (int k = 0; k < 3; k++)
                        sum[k] += colours[pixels[sy * 320 + sx]][k];
            for (int k = 0; k < 3; k++)
                rgb[(y * 213 + x) * 3 + k] = static_cast<uint8_t>((sum[k] + n / 2) / n);
        }
    }
}

bool LoadTitleArt(const char* path, uint8_t* rgb)
{
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    std::vector<uint8_t> data;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(file) : -1;
    if (size >= static_cast<long>(OverlayHeaderBytes + OverlayTrailerBytes) && size <= MaxOverlayBytes) {
        data.resize(static_cast<size_t>(size));
        ok = std::fseek(file, 0, SEEK_SET) == 0 && std::fread(data.data(), 1, data.size(), file) == data.size();
    } else {
        ok = false;
    }
    std::fclose(file);
    if (!ok)
        return false;

    uint64_t fileSize = data.size();
    uint32_t archiveLength = ReadLE32(data.data() + fileSize - OverlayTrailerBytes);
    if (archiveLength > fileSize || archiveLength < OverlayHeaderBytes + OverlayTrailerBytes)
        return false;
    uint64_t start = fileSize - archiveLength;
    uint32_t count = data[start + OverlayCountOffset];
    if (start + OverlayHeaderBytes + uint64_t(count) * OverlayEntryBytes > fileSize - OverlayTrailerBytes)
        return false;
    for (uint32_t i = 0; i < count; i++) {
        const uint8_t* record = data.data() + start + OverlayHeaderBytes + i * OverlayEntryBytes;
        char name[OverlayNameBytes] = "tivrel.scx";
        if (std::memcmp(record, name, OverlayNameBytes) != 0)
            continue;
        uint64_t offset = start + ReadLE32(record + 12);
        uint32_t packed = ReadLE32(record + 16);
        if (offset + packed > fileSize)
            return false;
        std::vector<uint8_t> unpacked(MaxUnpackedBytes);
        long produced = ZOH_Unpack(data.data() + offset, packed, unpacked.data(), unpacked.size());
        if (produced < static_cast<long>(PicturePixelsOffset + PictureBytes))
            return false;
        ScaleTitleArt(unpacked.data() + PicturePixelsOffset, unpacked.data() + PicturePaletteOffset, rgb);
        return true;
    }
    return false;
}
