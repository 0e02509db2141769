// What the demo requires of the data file's entries, in one place for the player's
// loader and for `ovltool check`: entry sizes against the areas they pass through,
// pixel values against the palette ranges of the entry table, the final scene's box
// and the music entry (the scene plan and the mesh cameras: scene_plan.h). SDL-free
// and player-free: callers bring the facts (sizes, pixels, vertices, the module's
// order count) and get a one-line reason (no line feed), empty when the rule holds.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/content_format.h"
#include "archive/entries.h"
#include "archive/scene_plan.h"

// Areas an entry's stream and bytes pass through.
constexpr uint32_t LoadingPackedLimit = MusicReadBytes;   // MusicBuffer: 1,048,576
constexpr uint32_t LoadingUnpackedLimit = StripBytes;     // GroupsImage: 2,944,000
constexpr uint32_t MusicMaxBytes = MusicReadBytes;        // the module's fixed 1 MiB read

// Sizes of one entry against the demo's reads and areas: too short for what the demo
// reads, a packed stream larger than its packed area, unpacked bytes larger than the
// unpacked area (for the music: larger than the 1 MiB the demo reads).
std::string EntrySizeProblem(const DataEntry& entry, uint32_t packedSize, uint32_t unpackedSize);

// Pixel values of a picture, texture or strip entry against the entry table's range.
// Bad: inside the reserved range or above pixelLast (another source's colours show);
// low: below pixelFirst (value 0 of a 3D texture lets the background through).
struct PixelCounts {
    uint32_t bad = 0, low = 0;
    int firstBad = -1;   // the first bad value, -1 when none
};
PixelCounts CountPixels(const DataEntry& entry, const uint8_t* pixels, size_t count);
// The values a maker may draw with, as text: "0..255 except 237..253, which ...".
std::string PixelRangeText(const DataEntry& entry);
// Palette components above 63 (the palette is 6 bits a component); -1 when none,
// else the index of the first such byte.
int FirstBadPaletteByte(const uint8_t* palette);

// The music entry: any module the player library plays, with at least one order.
// `loaded`: the player could load the bytes; orderCount: its order list's length.
std::string MusicProblem(bool loaded, int32_t orderCount);
// The line the demo prints when it refuses the music entry.
extern const char* const MusicRefusedLine;

// The final scene flattens the first object's vertices 2, 3, 6 and 7 onto vertex 0's
// height and maps the bottom face 0, 1, 4, 5 with the strip window, so its mesh is a
// box whose vertex k has bit 0 = right, bit 1 = top, bit 2 = far, with mapping
// coordinates for its eight vertices. points: `count` vertices of 4 int32 each
// (x right, y down, z away, spare; 16.16 as the mesh reader stores them).
// FinalMeshStops: the demo cannot run the scene at all (fewer than 8 vertices).
bool FinalMeshStops(uint32_t vertexCount);
std::string FinalMeshProblem(const int32_t* points, uint32_t count, uint32_t mappingCount);
