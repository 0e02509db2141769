// On-disk layout of the overlay archive. All integers are little-endian uint32.
//
//   [leading bytes]                      any number, not read
//   header      16 bytes                 bytes 0..14 not interpreted, byte 15 = entryCount
//   directory   32 x entryCount bytes    OverlayEntry records, in lookup order
//   entry data  one stream per entry     at archiveStart + offset, packedSize bytes
//   trailer     4 bytes                  archiveLength = bytes from archiveStart to end of file
//
// archiveStart = fileSize - archiveLength. Every stream is in the format ZOH_Unpack
// decodes (archive.h); there is no uncompressed storage.
#pragma once
#include <cstdint>

#include "core/bytes.h"

constexpr uint32_t OverlayHeaderBytes = 16;
constexpr uint32_t OverlayEntryBytes = 32;
constexpr uint32_t OverlayTrailerBytes = 4;
constexpr uint32_t OverlayNameBytes = 12;     // zero-padded; 12 characters leave no terminator
constexpr uint32_t OverlayMaxEntries = 255;   // entryCount is one byte
constexpr uint32_t OverlayCountOffset = 15;   // header byte holding entryCount

// Stream limits: back-references reach at most 8,192 bytes back and copy at most 256.
constexpr uint32_t StreamWindow = 8192;
constexpr uint32_t StreamShortWindow = 256;
constexpr uint32_t StreamMaxMatch = 256;

// One directory record, as on disk and as kept in memory by the reader.
struct OverlayEntry {
    char name[OverlayNameBytes];
    uint32_t offset;         // stream start, from archiveStart
    uint32_t packedSize;     // stream length in bytes
    uint32_t unpackedSize;   // entry length after decompression
    uint32_t position;       // reader's read position; the stored value is never used
    uint32_t reserved;       // written as 0, not read
};
static_assert(sizeof(OverlayEntry) == OverlayEntryBytes, "OverlayEntry must be 32 bytes");

// Decodes / encodes a 32-byte record (position is taken as stored).
inline void DecodeOverlayEntry(const uint8_t* raw, OverlayEntry* e)
{
    for (uint32_t i = 0; i < OverlayNameBytes; i++)
        e->name[i] = char(raw[i]);
    e->offset = ReadLE32(raw + 12);
    e->packedSize = ReadLE32(raw + 16);
    e->unpackedSize = ReadLE32(raw + 20);
    e->position = ReadLE32(raw + 24);
    e->reserved = ReadLE32(raw + 28);
}

inline void EncodeOverlayEntry(const OverlayEntry& e, uint8_t* raw)
{
    for (uint32_t i = 0; i < OverlayNameBytes; i++)
        raw[i] = uint8_t(e.name[i]);
    WriteLE32(raw + 12, e.offset);
    WriteLE32(raw + 16, e.packedSize);
    WriteLE32(raw + 20, e.unpackedSize);
    WriteLE32(raw + 24, e.position);
    WriteLE32(raw + 28, e.reserved);
}
