// Title artwork for the setup dialog: the title picture, read through an archive of
// its own (the demo's reader is not opened yet when the dialog shows).
#include "shell/title_art.h"

#include <vector>

#include "archive/archive.h"
#include "archive/content_format.h"

// The title picture is a 64,778-byte entry; anything far larger is not one.
constexpr uint32_t MaxUnpackedBytes = 4u << 20;

void ScaleTitleArt(const uint8_t* pixels, const uint8_t* palette, uint8_t* rgb)
{
    // Colours actually used; if all of them are black the picture is shown as a ramp.
    bool used[256] = {};
    for (uint32_t i = 0; i < PicturePixelBytes; i++)
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
    constexpr int SourceWidth = PictureWidth, SourceHeight = PictureHeight;
    for (int y = 0; y < TitleArtHeight; y++) {
        int y0 = y * SourceHeight / TitleArtHeight, y1 = (y + 1) * SourceHeight / TitleArtHeight;
        for (int x = 0; x < TitleArtWidth; x++) {
            int x0 = x * SourceWidth / TitleArtWidth, x1 = (x + 1) * SourceWidth / TitleArtWidth;
            int sum[3] = {0, 0, 0}, n = 0;
            for (int sy = y0; sy < y1; sy++)
                for (int sx = x0; sx < x1; sx++, n++)
                    for (int k = 0; k < 3; k++)
                        sum[k] += colours[pixels[sy * SourceWidth + sx]][k];
            for (int k = 0; k < 3; k++)
                rgb[(y * TitleArtWidth + x) * 3 + k] = static_cast<uint8_t>((sum[k] + n / 2) / n);
        }
    }
}

bool LoadTitleArt(const char* path, uint8_t* rgb)
{
    Archive archive;
    if (!ArchiveOpenFile(&archive, path))
        return false;
    int32_t entry = ArchiveFind(&archive, "tivrel.scx");
    uint32_t size = ArchiveEntrySize(&archive, entry);
    if (size < PicturePixelsOffset + PicturePixelBytes || size > MaxUnpackedBytes)
        return false;
    std::vector<uint8_t> picture;
    if (!ArchiveDecodeEntry(&archive, entry, &picture))
        return false;
    ScaleTitleArt(picture.data() + PicturePixelsOffset, picture.data() + PicturePaletteOffset, rgb);
    return true;
}
