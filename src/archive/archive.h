// Overlay archive reader.
//
// Layout of the file (all integers little-endian uint32):
//   [leading bytes] header(16: bytes 0..14 ignored, byte 15 = entryCount)
//   directory(32 x entryCount) entry streams ... trailer(4: archiveLength)
// archiveStart = fileSize - archiveLength. Records are OverlayEntry (archive_format.h).
//
// Every entry is one compressed stream (see ZOH_Unpack). Reads decompress the whole
// entry into an unpacked area and copy a span out of it from the entry's position.
// Two pairs of areas: the loading areas (used by ArchiveRead) and the scratch areas
// (100,000 bytes each, used by ArchiveReadCached). The areas belong to the caller.
//
// An Archive is a plain value: open as many as needed, each with its own file (or
// byte image), directory, positions, areas and cached entry. The ZOH_* operations
// below are the demo's reader: the same operations on one process-wide Archive.
//
// Every operation checks its input: a file that lies about sizes or offsets, a stream
// that would overrun an area or reach before the start of its output, or a read past
// the end of an area fails (false) with a one-line reason (no line feed)
// in ArchiveError(); nothing is ever read or written outside the areas. A stream must decode to
// exactly its directory's unpackedSize. Reads past an entry's unpackedSize but inside
// the area are allowed and give zeros (the music's fixed 1 MiB read relies on it).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "archive/archive_format.h"

// Size of each of the two scratch areas.
constexpr size_t ScratchAreaBytes = 100000;

struct ArchiveFileCloser {
    void operator()(FILE* file) const { fclose(file); }
};

struct Archive {
    // Source: the open file, or (when file is null) a copy of the file's bytes.
    std::unique_ptr<FILE, ArchiveFileCloser> file;
    std::vector<uint8_t> image;
    uint64_t archiveStart = 0;
    uint32_t archiveLength = 0;
    std::vector<OverlayEntry> directory;   // position is each entry's read position

    uint8_t* loadingPacked = nullptr;
    size_t loadingPackedSize = 0;
    uint8_t* loadingUnpacked = nullptr;
    size_t loadingUnpackedSize = 0;
    uint8_t* scratchPacked = nullptr;   // ScratchAreaBytes each
    uint8_t* scratchUnpacked = nullptr;

    int32_t cachedEntry = -1;   // entry whose bytes scratchUnpacked holds, -1 for none
    uint32_t unpackCount = 0;   // decompressions by reads since the archive was opened
    char error[256] = "no error";
};

// Opens `path` and reads its directory; closes whatever the archive had open. The
// areas stay installed. False when the file is missing, unreadable
// or malformed (the archive is then closed).
bool ArchiveOpenFile(Archive* archive, const char* path);
// As ArchiveOpenFile over a copy of `size` bytes laid out like the file.
bool ArchiveOpenBytes(Archive* archive, const uint8_t* data, size_t size);
// Releases the file or image and the directory; the areas stay installed.
void ArchiveClose(Archive* archive);

// Index of the first entry whose 12-byte name equals `name` zero-padded to 12 bytes,
// with its position reset to 0; -1 when there is none (or the name is over 12 bytes).
int32_t ArchiveFind(Archive* archive, const char* name);

// Decompresses `entry` into the loading unpacked area and copies `count` bytes from
// its position to `dest`; the position advances by `count`. False
// on a bad index, a bad stream or a span outside the area (the position is kept).
bool ArchiveRead(Archive* archive, int32_t entry, void* dest, uint32_t count);

// As ArchiveRead through the scratch areas; decompresses only when `entry` differs
// from the entry decompressed by the previous cached read.
bool ArchiveReadCached(Archive* archive, int32_t entry, void* dest, uint32_t count);

// whence (taken as 8 bits) 0: position = offset; 1: position += offset (32-bit wrap);
// 2: position = unpackedSize - offset; other: unchanged. Returns the new position,
// 0 for a bad index.
uint32_t ArchiveSeek(Archive* archive, int32_t entry, uint32_t offset, int whence);

// Areas for ArchiveRead (the demo passes MusicBuffer and GroupsImage).
void ArchiveSetLoadingAreas(Archive* archive, uint8_t* packed, size_t packedSize, uint8_t* unpacked,
                            size_t unpackedSize);
// Areas for ArchiveReadCached, ScratchAreaBytes each. Forgets the cached entry and the
// loading areas (the demo releases MusicBuffer at this point): a later ArchiveRead fails.
void ArchiveSetScratch(Archive* archive, uint8_t* packed, uint8_t* unpacked);

uint32_t ArchiveEntryCount(const Archive* archive);
// Directory record of `entry` (name, offset, sizes, position); nullptr for a bad index.
const OverlayEntry* ArchiveEntry(const Archive* archive, int32_t entry);
uint32_t ArchiveEntrySize(const Archive* archive, int32_t entry);   // unpackedSize, 0 for a bad index

// Copies the packed stream of `entry` (packedSize bytes) to `dest`, which holds `cap`
// bytes. False on a bad index, a stream longer than cap or a failed read.
bool ArchiveReadPacked(Archive* archive, int32_t entry, uint8_t* dest, size_t cap);

// Decodes the whole of `entry` into *out, which ends up exactly unpackedSize bytes
// long; uses no area and leaves the position and the cached entry alone. False
// when the stream cannot be read, is malformed, or decodes to another length than
// the directory's unpackedSize, or when unpackedSize is more than any stream of
// packedSize bytes can produce. The reason for those last three is the bare
// condition ("decodes to 3 bytes, directory says 4"), for the caller to name the entry.
bool ArchiveDecodeEntry(Archive* archive, int32_t entry, std::vector<uint8_t>* out);

// Number of decompressions ArchiveRead and ArchiveReadCached have run since the
// archive was opened.
uint32_t ArchiveUnpackCount(const Archive* archive);

// One-line reason for the last failure of an operation on this archive.
const char* ArchiveError(const Archive* archive);

// ---- The demo's reader: the operations above on one process-wide archive ----

// File name of the overlay file; "tivrel.ovl" unless the caller sets another.
extern const char* overlayName;

// Prints the three "ZOH_Init: ..." log lines, opens overlayName and reads the
// directory. False when the file is missing, unreadable or malformed.
bool ZOH_Init();
// Opens `path` like ZOH_Init, without the log lines; for tools and tests.
bool ZOH_OpenFile(const char* path);
// `mode` is ignored (callers pass 512).
int32_t ZOH_Open(const char* name, int mode);
bool ZOH_Read(int32_t entry, void* dest, uint32_t count);
bool ZOH_ReadCached(int32_t entry, void* dest, uint32_t count);
uint32_t ZOH_Seek(int32_t entry, uint32_t offset, int whence);
void ZOH_SetLoadingAreas(uint8_t* packed, size_t packedSize, uint8_t* unpacked, size_t unpackedSize);
void ZOH_SetScratch(uint8_t* packed, uint8_t* unpacked);
uint32_t ZOH_EntryCount();
uint32_t ZOH_EntrySize(int32_t entry);
uint32_t ZOH_UnpackCount();
const char* ZOH_Error();

// Decompresses one stream. Reads at most inLen bytes of `in`, writes at most outCap
// bytes of `out`. Returns the number of bytes written, or -1 when the stream is
// malformed: it runs past inLen or outCap, a match reaches before out[0], or the
// end token is missing.
long ZOH_Unpack(const uint8_t* in, size_t inLen, uint8_t* out, size_t outCap);
