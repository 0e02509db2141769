// The entry table of the data file: every entry the demo reads, in loading order
// (the music first, then the 22 entries of the loading list, then the entries read
// later through the scratch areas), with how much of it is read and who reads it.
// The demo's loader, ovltool verify, gencontent and the tests all read this table.
#pragma once
#include <cstdint>

enum EntryKind : uint8_t {
    EntryMusic,      // the S3M module
    EntryMap,        // 320x200 MapEntries
    EntryBigMap,     // 640x400 MapEntries
    EntryMovement,   // the movement path
    EntryOverlay,    // full-screen picture whose pixel values pick overlay colours
    EntryTexture,    // palette and 256x256 pixels
    EntryPicture,    // palette and 320x200 pixels (the closing picture)
    EntryStrip,      // the greetings strip
    EntryMesh,       // 3D Studio mesh
};

enum EntryArea : uint8_t {
    LoadingArea,   // read once at start-up into the demo's buffers (ZOH_Read)
    ScratchArea,   // read while the music plays through the 100,000-byte scratch areas
};

struct DataEntry {
    const char* name;
    EntryKind kind;
    EntryArea area;
    uint32_t skip;        // position set from the entry's start before the first read
    uint32_t reads[2];    // bytes of the first and second read (0: no second read)
    const char* scenes;   // scenes that show it, e.g. "1-3, 9"
    // Pixel values the entry may use: pixelFirst..pixelLast without
    // reservedFirst..reservedLast (empty when reservedFirst > reservedLast). The
    // reserved entries are palette colours another source writes over the texture's
    // own (overlay and lyrics colours); `palette` says whose palette shows the pixels
    // when it is not the entry's own. Not used for maps, the movement path, meshes.
    uint8_t pixelFirst, pixelLast;
    uint8_t reservedFirst, reservedLast;
    const char* palette;
};

extern const DataEntry DataEntries[];
extern const int DataEntryCount;

// Bytes the demo needs the entry to hold: skip + both reads. The music's read is a
// fixed 1 MiB that may run past the module (DataEntryNeeds gives 1 for it).
uint32_t DataEntryNeeds(const DataEntry& entry);
// The row for `name`, or nullptr.
const DataEntry* FindDataEntry(const char* name);
