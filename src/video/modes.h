// What the display offers and where the picture goes on it: the display mode table
// (filled once by DiscoverModes) and the pure rules of the table and of the
// picture's rectangle.
#pragma once
#include <cstdint>

#include "core/pixels.h"

constexpr int DisplayModeCapacity = 256;
// Entry 0: the desktop's mode (or, when the desktop's depth is not 16, 24 or 32, the
// first accepted listed mode). Entries 1..DisplayModeCount-1: the listed full-screen
// modes, sorted by CompareDisplayModes. Filled once by DiscoverModes.
extern DisplayMode DisplayModeTable[DisplayModeCapacity];
extern int32_t DisplayModeCount;

// A mode as the platform reports it: size, bits per pixel of the packed format
// (8 for palette modes), green mask (0 when not a packed RGB format).
struct ModeCandidate {
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    uint32_t greenMask;
};

// Appends `mode` to table[*count] if its depth is 16, 24 or 32, it is at least
// 320x200 and the table has room (DisplayModeCapacity). Returns whether it was added.
bool AcceptDisplayMode(const ModeCandidate& mode, DisplayMode* table, int32_t* count);
// Depth descending, then width ascending, then height ascending: -1, 0 or 1.
int CompareDisplayModes(const DisplayMode& a, const DisplayMode& b);
// Builds the table: the desktop first, then every listed mode, then sorts entries
// 1..count-1. desktop may be null (its query failed). Returns the count.
int32_t BuildDisplayModeTable(const ModeCandidate* desktop, const ModeCandidate* listed, int listedCount,
                              DisplayMode* table);

// Initialises SDL video and fills DisplayModeTable from the primary display. False
// (after the "DirectDrawCreate error" message) when there is no video at all.
bool DiscoverModes();

struct PictureRect {
    int x, y, w, h;
};
// Where the picture goes in an output of outputWidth x outputHeight pixels
// (scale: PresentScaleMode, aspect: PresentAspectMode of video.h).
PictureRect PictureDestination(int outputWidth, int outputHeight, int scale, int aspect);
// The largest whole multiple of 320x200 (320x240 with Aspect4x3) that fits in
// usableWidth x usableHeight (one at least).
void DefaultWindowSize(int usableWidth, int usableHeight, int aspect, int* width, int* height);
