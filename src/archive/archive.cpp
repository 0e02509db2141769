// Overlay archive reader: the directory, the entry positions and the two pairs of
// areas entries are decompressed through, per Archive value; and the demo's reader,
// the ZOH_* operations on one process-wide Archive.
#include "archive/archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>

// A stream cannot expand by more than 256 bytes per 26 bits (an extended match).
constexpr uint64_t MaxExpansion = 79;

static bool Fail(Archive* a, const char* format, ...) __attribute__((format(printf, 2, 3)));
static bool Fail(Archive* a, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(a->error, sizeof a->error, format, args);
    va_end(args);
    return false;
}

const char* ArchiveError(const Archive* a) { return a->error; }

// Printable copy of a 12-byte name field for messages.
struct NameText {
    char text[OverlayNameBytes * 4 + 1];
    explicit NameText(const OverlayEntry& e)
    {
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
    }
};

void ArchiveClose(Archive* a)
{
    a->file.reset();
    a->image = {};
    a->directory = {};
    a->archiveStart = 0;
    a->archiveLength = 0;
    a->cachedEntry = -1;
    a->unpackCount = 0;
}

static bool IsOpen(const Archive* a) { return a->file || !a->image.empty(); }

// `count` bytes of the file or image from offset `at`.
static bool ReadAt(Archive* a, uint64_t at, void* dest, size_t count)
{
    if (count == 0)
        return true;
    if (!a->file) {
        if (at > a->image.size() || count > a->image.size() - at)
            return false;
        memcpy(dest, a->image.data() + at, count);
        return true;
    }
    if (fseeko(a->file.get(), off_t(at), SEEK_SET) != 0)
        return false;
    return fread(dest, 1, count, a->file.get()) == count;
}

// Reads the trailer, header and directory of the open source of `size` bytes;
// `label` names it in messages. Closes the archive on failure.
static bool ReadDirectory(Archive* a, uint64_t size, const char* label)
{
    uint8_t trailer[OverlayTrailerBytes];
    if (size < OverlayHeaderBytes + OverlayTrailerBytes ||
        !ReadAt(a, size - OverlayTrailerBytes, trailer, sizeof trailer)) {
        ArchiveClose(a);
        return Fail(a, "ZOH_Init: %s is too short to be an overlay file", label);
    }
    uint32_t length = ReadLE32(trailer);
    if (length < OverlayHeaderBytes + OverlayTrailerBytes || length > size) {
        ArchiveClose(a);
        return Fail(a, "ZOH_Init: %s has a bad trailer (archive length %u, file size %llu)", label, length,
                    (unsigned long long)size);
    }
    uint64_t start = size - length;

    uint8_t header[OverlayHeaderBytes] = {};
    if (!ReadAt(a, start, header, sizeof header)) {
        ArchiveClose(a);
        return Fail(a, "ZOH_Init: Cannot read the header of %s", label);
    }
    uint32_t count = header[OverlayCountOffset];
    // The streams lie between the directory and the trailer.
    uint64_t dataStart = OverlayHeaderBytes + uint64_t(count) * OverlayEntryBytes;
    uint64_t dataEnd = uint64_t(length) - OverlayTrailerBytes;
    if (dataStart > dataEnd) {
        ArchiveClose(a);
        return Fail(a, "ZOH_Init: %s claims %u entries but holds only %llu bytes", label, count,
                    (unsigned long long)length);
    }
    std::vector<OverlayEntry> directory(count);
    for (uint32_t i = 0; i < count; i++) {
        uint8_t raw[OverlayEntryBytes];
        if (!ReadAt(a, start + OverlayHeaderBytes + uint64_t(i) * OverlayEntryBytes, raw, sizeof raw)) {
            ArchiveClose(a);
            return Fail(a, "ZOH_Init: Cannot read the directory of %s", label);
        }
        OverlayEntry& e = directory[i];
        DecodeOverlayEntry(raw, &e);
        e.position = 0;
        if (e.offset < dataStart || uint64_t(e.offset) + e.packedSize > dataEnd) {
            ArchiveClose(a);
            return Fail(a, "ZOH_Init: entry %u \"%s\" (offset %u, %u bytes) lies outside the archive", i,
                        NameText(e).text, e.offset, e.packedSize);
        }
    }
    a->archiveStart = start;
    a->archiveLength = length;
    a->directory = std::move(directory);
    return true;
}

bool ArchiveOpenFile(Archive* a, const char* path)
{
    ArchiveClose(a);
    // Opened without blocking and checked before reading: a folder, a FIFO or a
    // device is refused instead of read (or waited on) forever.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fail(a, "ZOH_Init: Cannot open overlay file %s: %s", path, strerror(errno));
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return Fail(a, "ZOH_Init: Cannot open overlay file %s: not a regular file", path);
    }
    a->file.reset(fdopen(fd, "rb"));
    if (!a->file) {
        close(fd);
        return Fail(a, "ZOH_Init: Cannot open overlay file %s: %s", path, strerror(errno));
    }
    if (fseeko(a->file.get(), 0, SEEK_END) != 0) {
        ArchiveClose(a);
        return Fail(a, "ZOH_Init: Cannot read overlay file %s", path);
    }
    return ReadDirectory(a, uint64_t(ftello(a->file.get())), path);
}

bool ArchiveOpenBytes(Archive* a, const uint8_t* data, size_t size)
{
    ArchiveClose(a);
    if (size)
        a->image.assign(data, data + size);
    return ReadDirectory(a, size, "the byte image");
}

uint32_t ArchiveEntryCount(const Archive* a) { return uint32_t(a->directory.size()); }

const OverlayEntry* ArchiveEntry(const Archive* a, int32_t entry)
{
    if (entry < 0 || size_t(entry) >= a->directory.size())
        return nullptr;
    return &a->directory[size_t(entry)];
}

uint32_t ArchiveEntrySize(const Archive* a, int32_t entry)
{
    const OverlayEntry* e = ArchiveEntry(a, entry);
    return e ? e->unpackedSize : 0;
}

uint32_t ArchiveUnpackCount(const Archive* a) { return a->unpackCount; }

int32_t ArchiveFind(Archive* a, const char* name)
{
    if (!name)
        return -1;
    char key[OverlayNameBytes] = {};
    size_t length = strnlen(name, OverlayNameBytes + 1);
    if (length > OverlayNameBytes)
        return -1;
    memcpy(key, name, length);
    for (size_t i = 0; i < a->directory.size(); i++) {
        if (memcmp(a->directory[i].name, key, OverlayNameBytes) == 0) {
            a->directory[i].position = 0;
            return int32_t(i);
        }
    }
    return -1;
}

uint32_t ArchiveSeek(Archive* a, int32_t entry, uint32_t offset, int whence)
{
    if (!ArchiveEntry(a, entry)) {
        Fail(a, "ZOH_Seek: bad entry index %d", entry);
        return 0;
    }
    OverlayEntry& e = a->directory[size_t(entry)];
    switch (uint8_t(whence)) {
    case 0: e.position = offset; break;
    case 1: e.position = e.position + offset; break;
    case 2: e.position = e.unpackedSize - offset; break;
    default: break;
    }
    return e.position;
}

bool ArchiveReadPacked(Archive* a, int32_t entry, uint8_t* dest, size_t cap)
{
    if (!IsOpen(a))
        return Fail(a, "ZOH_Read: no overlay file is open");
    const OverlayEntry* e = ArchiveEntry(a, entry);
    if (!e)
        return Fail(a, "ZOH_Read: bad entry index %d", entry);
    if (e->packedSize > (dest ? cap : 0))
        return Fail(a, "ZOH_Read: entry \"%s\" has %u packed bytes, more than its area of %zu", NameText(*e).text,
                    e->packedSize, dest ? cap : 0);
    if (!ReadAt(a, a->archiveStart + e->offset, dest, e->packedSize))
        return Fail(a, "ZOH_Read: cannot read entry \"%s\" from the overlay file", NameText(*e).text);
    return true;
}

bool ArchiveDecodeEntry(Archive* a, int32_t entry, std::vector<uint8_t>* out)
{
    const OverlayEntry* e = ArchiveEntry(a, entry);
    if (!e)
        return Fail(a, "ZOH_Read: bad entry index %d", entry);
    if (e->unpackedSize > uint64_t(e->packedSize) * MaxExpansion + 256)
        return Fail(a, "unpacked size %u cannot come from %u packed bytes", e->unpackedSize, e->packedSize);
    std::vector<uint8_t> packed(e->packedSize);
    if (!ArchiveReadPacked(a, entry, packed.data(), packed.size()))
        return false;
    out->assign(e->unpackedSize, 0);
    long n = ZOH_Unpack(packed.data(), packed.size(), out->data(), out->size());
    if (n < 0)
        return Fail(a, "bad stream, or it decodes to more than %u bytes", e->unpackedSize);
    if (uint64_t(n) != e->unpackedSize)
        return Fail(a, "decodes to %ld bytes, directory says %u", n, e->unpackedSize);
    return true;
}

// Reads and decompresses `entry` into `unpacked` (unpackedCap bytes). The stream
// must decode to exactly the directory's unpackedSize, so every later check against
// that size is a check against what the entry really holds.
static bool UnpackEntry(Archive* a, int32_t entry, uint8_t* packed, size_t packedCap, uint8_t* unpacked,
                       size_t unpackedCap)
{
    if (!ArchiveReadPacked(a, entry, packed, packedCap))
        return false;
    a->unpackCount++;
    const OverlayEntry& e = a->directory[size_t(entry)];
    long produced = ZOH_Unpack(packed, e.packedSize, unpacked, unpackedCap);
    if (produced < 0)
        return Fail(a, "ZOH_Read: entry \"%s\" has a bad stream or does not fit its area of %zu bytes",
                    NameText(e).text, unpackedCap);
    if (uint64_t(produced) != e.unpackedSize)
        return Fail(a, "ZOH_Read: entry \"%s\" decodes to %ld bytes, the directory says %u", NameText(e).text, produced,
                    e.unpackedSize);
    return true;
}

// Copies count bytes from the entry's position in `area` and advances the position.
// Bytes past the entry's end (inside the area) read as zeros, never as what an
// earlier entry left there.
static bool CopySpan(Archive* a, int32_t entry, const uint8_t* area, size_t areaSize, void* dest, uint32_t count)
{
    OverlayEntry& e = a->directory[size_t(entry)];
    if (uint64_t(e.position) + count > areaSize)
        return Fail(a, "ZOH_Read: %u bytes from position %u of \"%s\" pass the end of its area (%zu)", count,
                    e.position, NameText(e).text, areaSize);
    if (count && !dest)
        return Fail(a, "ZOH_Read: no destination");
    uint8_t* to = static_cast<uint8_t*>(dest);
    const uint8_t* from = area + e.position;
    uint64_t held = e.position < e.unpackedSize ? e.unpackedSize - e.position : 0;
    // Ascending byte copy: a destination equal to the source leaves it unchanged.
    for (uint32_t k = 0; k < count; k++) {
        if (k >= held)
            to[k] = 0;
        else if (to != from)
            to[k] = from[k];
    }
    e.position += count;
    return true;
}

void ArchiveSetLoadingAreas(Archive* a, uint8_t* packed, size_t packedSize, uint8_t* unpacked, size_t unpackedSize)
{
    a->loadingPacked = packed;
    a->loadingPackedSize = packed ? packedSize : 0;
    a->loadingUnpacked = unpacked;
    a->loadingUnpackedSize = unpacked ? unpackedSize : 0;
}

void ArchiveSetScratch(Archive* a, uint8_t* packed, uint8_t* unpacked)
{
    // The loading packed area is released once the scratch areas take over.
    ArchiveSetLoadingAreas(a, nullptr, 0, nullptr, 0);
    a->scratchPacked = packed;
    a->scratchUnpacked = unpacked;
    a->cachedEntry = -1;
}

bool ArchiveRead(Archive* a, int32_t entry, void* dest, uint32_t count)
{
    if (!ArchiveEntry(a, entry))
        return Fail(a, "ZOH_Read: bad entry index %d", entry);
    if (!a->loadingPacked || !a->loadingUnpacked)
        return Fail(a, "ZOH_Read: no loading areas");
    if (!UnpackEntry(a, entry, a->loadingPacked, a->loadingPackedSize, a->loadingUnpacked, a->loadingUnpackedSize))
        return false;
    return CopySpan(a, entry, a->loadingUnpacked, a->loadingUnpackedSize, dest, count);
}

bool ArchiveReadCached(Archive* a, int32_t entry, void* dest, uint32_t count)
{
    if (!ArchiveEntry(a, entry))
        return Fail(a, "ZOH_ReadCached: bad entry index %d", entry);
    if (!a->scratchPacked || !a->scratchUnpacked)
        return Fail(a, "ZOH_ReadCached: no scratch areas");
    if (entry != a->cachedEntry) {
        a->cachedEntry = -1;
        if (!UnpackEntry(a, entry, a->scratchPacked, ScratchAreaBytes, a->scratchUnpacked, ScratchAreaBytes))
            return false;
        a->cachedEntry = entry;
    }
    return CopySpan(a, entry, a->scratchUnpacked, ScratchAreaBytes, dest, count);
}

// ---- The demo's reader ----

const char* overlayName = "tivrel.ovl";

static Archive DemoArchive;

bool ZOH_Init()
{
    fputs("ZOH_Init: Zerith Ovarlay Handler initializing.\n", stdout);
    fputs("ZOH_Init: Opening overlay file.\n", stdout);
    fputs("ZOH_Init: Decompressing music.\n", stdout);
    fflush(stdout);
    return ArchiveOpenFile(&DemoArchive, overlayName);
}

bool ZOH_OpenFile(const char* path) { return ArchiveOpenFile(&DemoArchive, path); }
int32_t ZOH_Open(const char* name, int /*mode*/) { return ArchiveFind(&DemoArchive, name); }
bool ZOH_Read(int32_t entry, void* dest, uint32_t count) { return ArchiveRead(&DemoArchive, entry, dest, count); }
bool ZOH_ReadCached(int32_t entry, void* dest, uint32_t count)
{
    return ArchiveReadCached(&DemoArchive, entry, dest, count);
}
uint32_t ZOH_Seek(int32_t entry, uint32_t offset, int whence)
{
    return ArchiveSeek(&DemoArchive, entry, offset, whence);
}
void ZOH_SetLoadingAreas(uint8_t* packed, size_t packedSize, uint8_t* unpacked, size_t unpackedSize)
{
    ArchiveSetLoadingAreas(&DemoArchive, packed, packedSize, unpacked, unpackedSize);
}
void ZOH_SetScratch(uint8_t* packed, uint8_t* unpacked) { ArchiveSetScratch(&DemoArchive, packed, unpacked); }
uint32_t ZOH_EntryCount() { return ArchiveEntryCount(&DemoArchive); }
uint32_t ZOH_EntrySize(int32_t entry) { return ArchiveEntrySize(&DemoArchive, entry); }
uint32_t ZOH_UnpackCount() { return ArchiveUnpackCount(&DemoArchive); }
const char* ZOH_Error() { return ArchiveError(&DemoArchive); }
