// The display mode table: which modes are offered, in which order.
#include <algorithm>
#include <cstdio>

#include "video/modes.h"
#include "video/video.h"

DisplayMode DisplayModeTable[DisplayModeCapacity];
int32_t DisplayModeCount = 0;

bool AcceptDisplayMode(const ModeCandidate& mode, DisplayMode* table, int32_t* count)
{
    if (mode.bitsPerPixel != 32 && mode.bitsPerPixel != 24 && mode.bitsPerPixel != 16)
        return false;
    if (mode.width < ScreenWidth || mode.height < ScreenHeight)
        return false;
    if (*count >= DisplayModeCapacity)
        return false;
    DisplayMode& entry = table[*count];
    entry.width = mode.width;
    entry.height = mode.height;
    entry.depth = mode.bitsPerPixel;
    entry.greenSixBits = (mode.greenMask >> 5) == 31 ? 0 : 1;
    ++*count;
    return true;
}

int CompareDisplayModes(const DisplayMode& a, const DisplayMode& b)
{
    if (a.depth != b.depth)
        return a.depth > b.depth ? -1 : 1;
    if (a.width != b.width)
        return a.width < b.width ? -1 : 1;
    if (a.height != b.height)
        return a.height < b.height ? -1 : 1;
    return 0;
}

int32_t BuildDisplayModeTable(const ModeCandidate* desktop, const ModeCandidate* listed, int listedCount,
                              DisplayMode* table)
{
    int32_t count = 0;
    if (desktop != nullptr)
        AcceptDisplayMode(*desktop, table, &count);
    for (int i = 0; i < listedCount; i++)
        AcceptDisplayMode(listed[i], table, &count);
    if (count > 2)
        std::stable_sort(table + 1, table + count,
                         [](const DisplayMode& a, const DisplayMode& b) { return CompareDisplayModes(a, b) < 0; });
    return count;
}

PictureRect PictureDestination(int outputWidth, int outputHeight, int scale, int aspect)
{
    const int w = outputWidth > 0 ? outputWidth : 1, h = outputHeight > 0 ? outputHeight : 1;
    const int pictureHeight = aspect == Aspect4x3 ? 240 : ScreenHeight;
    PictureRect rect{0, 0, w, h};
    if (scale == ScaleStretch && aspect != Aspect4x3)
        return rect;
    int factor = std::min(w / ScreenWidth, h / pictureHeight);
    if (scale == ScaleInteger && factor >= 1) {
        rect.w = factor * ScreenWidth;
        rect.h = factor * pictureHeight;
    } else if (int64_t(w) * pictureHeight > int64_t(h) * ScreenWidth) {
        rect.w = int(int64_t(h) * ScreenWidth / pictureHeight);
    } else {
        rect.h = int(int64_t(w) * pictureHeight / ScreenWidth);
    }
    rect.x = (w - rect.w) / 2;
    rect.y = (h - rect.h) / 2;
    return rect;
}

void DefaultWindowSize(int usableWidth, int usableHeight, int aspect, int* width, int* height)
{
    const int pictureHeight = aspect == Aspect4x3 ? 240 : ScreenHeight;
    const int factor = std::max(1, std::min(usableWidth / ScreenWidth, usableHeight / pictureHeight));
    *width = factor * ScreenWidth;
    *height = factor * pictureHeight;
}
