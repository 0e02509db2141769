// Overlay archive reader: the process-wide directory, the entry positions and the
// two pairs of areas entries are decompressed through.
#include "archive/archive.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

const char* overlayName = "tivrel.ovl";

static FILE* overlayHandle;
static uint64_t overlayFileSize;
static uint64_t archiveStart;
static uint32_t archiveLength;
static uint32_t entryCount;
static OverlayEntry directory[OverlayMaxEntries];

static uint8_t* loadingPacked;
static size_t loadingPackedSize;
static uint8_t* loadingUnpacked;
static size_t loadingUnpackedSize;
static uint8_t* scratchPacked;
static uint8_t* scratchUnpacked;
static int32_t cachedEntry = -1;
static uint32_t unpackCount;

static char errorText[256] = "no error";

static int Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
static int Fail(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(errorText, sizeof errorText, format, args);
    va_end(args);
    return 1;
}

const char* ZOH_Error() { return errorText; }

// Printable copy of a 12-byte name field for messages.
static const char* NameText(const OverlayEntry& e)
{
    static char text[OverlayNameBytes * 4 + 1];
    size_t n = 0;
    for (uint32_t i = 0; i < OverlayNameBytes && e.name[i]; i++) {
        unsigned char c = uint8_t(e.name[i]);
        if (c >= 32 && c < 127) {
            text[n++] = char(c);
        } else {
            snprintf(text + n, 5, "\\x%02x", c);
            n += 4;
        }
    }
    text[n] = 0;
    return text;
}

static void CloseOverlay()
{
    if (overlayHandle) fclose(overlayHandle);
    overlayHandle = nullptr;
    overlayFileSize = 0;
    archiveStart = 0;
    archiveLength = 0;
    entryCount = 0;
    cachedEntry = -1;
    unpackCount = 0;
}

static bool ReadAt(uint64_t at, void* dest, size_t count)
{
    if (count == 0) return true;
    if (fseeko(overlayHandle, off_t(at), SEEK_SET) != 0) return false;
    return fread(dest, 1, count, overlayHandle) == count;
}

int ZOH_OpenFile(const char* path)
{
    CloseOverlay();
    overlayHandle = fopen(path, "rb");
    if (!overlayHandle) return Fail("ZOH_Init: Cannot open overlay file %s: %s", path, strerror(errno));
    if (fseeko(overlayHandle, 0, SEEK_END) != 0) {
        CloseOverlay();
        return Fail("ZOH_Init: Cannot read overlay file %s", path);
    }
    overlayFileSize = uint64_t(ftello(overlayHandle));

    uint8_t trailer[OverlayTrailerBytes];
    if (overlayFileSize < OverlayHeaderBytes + OverlayTrailerBytes ||
        !ReadAt(overlayFileSize - OverlayTrailerBytes, trailer, sizeof trailer)) {
        CloseOverlay();
        return Fail("ZOH_Init: %s is too short to be an overlay file", path);
    }
    uint32_t length = ReadLE32(trailer);
    if (length < OverlayHeaderBytes + OverlayTrailerBytes || length > overlayFileSize) {
        CloseOverlay();
        return Fail("ZOH_Init: %s has a bad trailer (archive length %u, file size %llu)", path,
                    length, (unsigned long long)overlayFileSize);
    }
    archiveLength = length;
    archiveStart = overlayFileSize - length;

    uint8_t header[OverlayHeaderBytes] = {};
    if (!ReadAt(archiveStart, header, sizeof header)) {
        CloseOverlay();
        return Fail("ZOH_Init: Cannot read the header of %s", path);
    }
    uint32_t count = header[OverlayCountOffset];
    // The streams lie between the directory and the trailer.
    uint64_t dataStart = OverlayHeaderBytes + uint64_t(count) * OverlayEntryBytes;
    uint64_t dataEnd = uint64_t(archiveLength) - OverlayTrailerBytes;
    if (dataStart > dataEnd) {
        CloseOverlay();
        return Fail("ZOH_Init: %s claims %u entries but holds only %llu bytes", path, count,
                    (unsigned long long)archiveLength);
    }
    for (uint32_t i = 0; i < count; i++) {
        uint8_t raw[OverlayEntryBytes];
        if (fread(raw, 1, sizeof raw, overlayHandle) != sizeof raw) {
            CloseOverlay();
            return Fail("ZOH_Init: Cannot read the directory of %s", path);
        }
        DecodeOverlayEntry(raw, &directory[i]);
        directory[i].position = 0;
        const OverlayEntry& e = directory[i];
        if (e.offset < dataStart || uint64_t(e.offset) + e.packedSize > dataEnd) {
            Fail("ZOH_Init: entry %u \"%s\" (offset %u, %u bytes) lies outside the archive", i,
                 NameText(e), e.offset, e.packedSize);
            CloseOverlay();
            return 1;
        }
    }
    entryCount = count;
    return 0;
}

int ZOH_Init()
{
    fputs("ZOH_Init: Zerith Ovarlay Handler initializing.\n", stdout);
    fputs("ZOH_Init: Opening overlay file.\n", stdout);
    fputs("ZOH_Init: Decompressing music.\n", stdout);
    fflush(stdout);
    return ZOH_OpenFile(overlayName);
}

uint32_t ZOH_EntryCount() { return entryCount; }

const OverlayEntry* ZOH_Entry(int32_t entry)
{
    if (entry < 0 || uint32_t(entry) >= entryCount) return nullptr;
    return &directory[entry];
}

uint32_t ZOH_EntrySize(int32_t entry)
{
    const OverlayEntry* e = ZOH_Entry(entry);
    return e ? e->unpackedSize : 0;
}

uint32_t ZOH_UnpackCount() { return unpackCount; }

int32_t ZOH_Open(const char* name, int /*mode*/)
{
    if (!name) return -1;
    char key[OverlayNameBytes] = {};
    size_t length = strnlen(name, OverlayNameBytes + 1);
    if (length > OverlayNameBytes) return -1;
    memcpy(key, name, length);
    for (uint32_t i = 0; i < entryCount; i++) {
        if (memcmp(directory[i].name, key, OverlayNameBytes) == 0) {
            directory[i].position = 0;
            return int32_t(i);
        }
    }
    return -1;
}

uint32_t ZOH_Seek(int32_t entry, uint32_t offset, int whence)
{
    if (entry < 0 || uint32_t(entry) >= entryCount) {
        Fail("ZOH_Seek: bad entry index %d", entry);
        return 0;
    }
    OverlayEntry& e = directory[entry];
    switch (uint8_t(whence)) {
    case 0: e.position = offset; break;
    case 1: e.position = e.position + offset; break;
    case 2: e.position = e.unpackedSize - offset; break;
    default: break;
    }
    return e.position;
}

int ZOH_ReadPacked(int32_t entry, uint8_t* dest, size_t cap)
{
    if (!overlayHandle) return Fail("ZOH_Read: no overlay file is open");
    const OverlayEntry* e = ZOH_Entry(entry);
    if (!e) return Fail("ZOH_Read: bad entry index %d", entry);
    if (e->packedSize > (dest ? cap : 0))
        return Fail("ZOH_Read: entry \"%s\" has %u packed bytes, more than its area of %zu",
                    NameText(*e), e->packedSize, dest ? cap : 0);
    if (!ReadAt(archiveStart + e->offset, dest, e->packedSize))
        return Fail("ZOH_Read: cannot read entry \"%s\" from the overlay file", NameText(*e));
    return 0;
}

// Reads and decompresses entry `entry` into `unpacked` (unpackedCap bytes).
static int UnpackEntry(int32_t entry, uint8_t* packed, size_t packedCap, uint8_t* unpacked,
                       size_t unpackedCap)
{
    if (ZOH_ReadPacked(entry, packed, packedCap) != 0) return 1;
    unpackCount++;
    const OverlayEntry& e = directory[entry];
    if (ZOH_Unpack(packed, e.packedSize, unpacked, unpackedCap) < 0)
        return Fail("ZOH_Read: entry \"%s\" has a bad stream or does not fit its area of %zu bytes",
                    NameText(e), unpackedCap);
    return 0;
}

// Copies count bytes from the entry's position in `area` and advances the position.
static int CopySpan(int32_t entry, const uint8_t* area, size_t areaSize, void* dest, uint32_t count)
{
    OverlayEntry& e = directory[entry];
    if (uint64_t(e.position) + count > areaSize)
        return Fail("ZOH_Read: %u bytes from position %u of \"%s\" pass the end of its area (%zu)",
                    count, e.position, NameText(e), areaSize);
    if (count && !dest) return Fail("ZOH_Read: no destination");
    uint8_t* to = static_cast<uint8_t*>(dest);
    const uint8_t* from = area + e.position;
    // Ascending byte copy: a destination equal to the source leaves it unchanged.
    if (to != from)
        for (uint32_t k = 0; k < count; k++) to[k] = from[k];
    e.position += count;
    return 0;
}

void ZOH_SetLoadingAreas(uint8_t* packed, size_t packedSize, uint8_t* unpacked, size_t unpackedSize)
{
    loadingPacked = packed;
    loadingPackedSize = packed ? packedSize : 0;
    loadingUnpacked = unpacked;
    loadingUnpackedSize = unpacked ? unpackedSize : 0;
}

void ZOH_SetScratch(uint8_t* packed, uint8_t* unpacked)
{
    // The loading packed area is released once the scratch areas take over.
    ZOH_SetLoadingAreas(nullptr, 0, nullptr, 0);
    scratchPacked = packed;
    scratchUnpacked = unpacked;
    cachedEntry = -1;
}

int ZOH_Read(int32_t entry, void* dest, uint32_t count)
{
    if (!ZOH_Entry(entry)) return Fail("ZOH_Read: bad entry index %d", entry);
    if (!loadingPacked || !loadingUnpacked) return Fail("ZOH_Read: no loading areas");
    if (UnpackEntry(entry, loadingPacked, loadingPackedSize, loadingUnpacked, loadingUnpackedSize))
        return 1;
    return CopySpan(entry, loadingUnpacked, loadingUnpackedSize, dest, count);
}

int ZOH_ReadCached(int32_t entry, void* dest, uint32_t count)
{
    if (!ZOH_Entry(entry)) return Fail("ZOH_ReadCached: bad entry index %d", entry);
    if (!scratchPacked || !scratchUnpacked) return Fail("ZOH_ReadCached: no scratch areas");
    if (entry != cachedEntry) {
        cachedEntry = -1;
        if (UnpackEntry(entry, scratchPacked, ScratchAreaBytes, scratchUnpacked, ScratchAreaBytes))
            return 1;
        cachedEntry = entry;
    }
    return CopySpan(entry, scratchUnpacked, ScratchAreaBytes, dest, count);
}
