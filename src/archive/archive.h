// Overlay archive reader: one process-wide reader over the overlay file.
//
// Layout of the file (all integers little-endian uint32):
//   [leading bytes] header(16: bytes 0..14 ignored, byte 15 = entryCount)
//   directory(32 x entryCount) entry streams ... trailer(4: archiveLength)
// archiveStart = fileSize - archiveLength. Records are OverlayEntry (archive_format.h).
//
// Every entry is one compressed stream (see ZOH_Unpack). Reads decompress the whole
// entry into an unpacked area and copy a span out of it from the entry's position.
// Two pairs of areas: the loading areas (ZOH_SetLoadingAreas, used by ZOH_Read) and
// the scratch areas (ZOH_SetScratch, 100,000 bytes each, used by ZOH_ReadCached).
//
// Every operation checks its input: a file that lies about sizes or offsets, a stream
// that would overrun an area or reach before the start of its output, or a read past
// the end of an area fails with a non-zero result and a one-line reason (no line feed)
// in ZOH_Error(); nothing is ever read or written outside the areas. Reads past an entry's unpackedSize but inside the area
// are allowed and copy whatever the area holds (the music read relies on it).
#pragma once
#include <cstddef>
#include <cstdint>

#include "archive/archive_format.h"

// Size of each of the two scratch areas given to ZOH_SetScratch.
constexpr size_t ScratchAreaBytes = 100000;

// File name of the overlay file; "tivrel.ovl" unless the caller sets another.
extern const char* overlayName;

// Prints the three "ZOH_Init: ..." log lines, opens overlayName and reads the
// directory. 0 on success; non-zero when the file is missing, unreadable or malformed.
int ZOH_Init();

// Index of the first entry whose 12-byte name equals `name` zero-padded to 12 bytes,
// with its position reset to 0; -1 when there is none (or the name is over 12 bytes).
// `mode` is ignored (callers pass 512).
int32_t ZOH_Open(const char* name, int mode);

// Decompresses entry `entry` into the loading unpacked area and copies `count`
// bytes from its position to `dest`; the position advances by `count`.
// 0 on success; non-zero on a bad index, a bad stream or a span outside the area.
int ZOH_Read(int32_t entry, void* dest, uint32_t count);

// As ZOH_Read through the scratch areas; decompresses only when `entry` differs
// from the entry decompressed by the previous cached read.
int ZOH_ReadCached(int32_t entry, void* dest, uint32_t count);

// whence 0: position = offset; 1: position += offset (32-bit wrap);
// 2: position = unpackedSize - offset; other: unchanged. Returns the new position.
uint32_t ZOH_Seek(int32_t entry, uint32_t offset, int whence);

// Areas for ZOH_Read (the demo passes MusicBuffer and GroupsImage).
void ZOH_SetLoadingAreas(uint8_t* packed, size_t packedSize, uint8_t* unpacked, size_t unpackedSize);

// Areas for ZOH_ReadCached, 100,000 bytes each. Forgets the cached entry and the
// loading areas (the demo releases MusicBuffer at this point): a later ZOH_Read fails.
void ZOH_SetScratch(uint8_t* packed, uint8_t* unpacked);

// Number of directory entries; name, sizes of entry i (for tools and checks).
uint32_t ZOH_EntryCount();
uint32_t ZOH_EntrySize(int32_t entry);     // unpackedSize, 0 for a bad index

// Opens `path` and reads its directory like ZOH_Init, without the log lines; for
// tools and tests. Replaces any archive opened before. 0 on success.
int ZOH_OpenFile(const char* path);

// Directory record of entry i (name, offset, sizes, position); nullptr for a bad index.
const OverlayEntry* ZOH_Entry(int32_t entry);

// Copies the packed stream of entry i (packedSize bytes) to `dest`, which holds `cap`
// bytes. 0 on success; non-zero on a bad index, a stream longer than cap or a failed read.
int ZOH_ReadPacked(int32_t entry, uint8_t* dest, size_t cap);

// Number of decompressions ZOH_Read and ZOH_ReadCached have run since the archive was opened.
uint32_t ZOH_UnpackCount();

// One-line reason for the last failure of the operations above.
const char* ZOH_Error();

// Decompresses one stream. Reads at most inLen bytes of `in`, writes at most outCap
// bytes of `out`. Returns the number of bytes written, or -1 when the stream is
// malformed: it runs past inLen or outCap, a match reaches before out[0], or the
// end token is missing.
long ZOH_Unpack(const uint8_t* in, size_t inLen, uint8_t* out, size_t outCap);
