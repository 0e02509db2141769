// An archive opened from arbitrary bytes, every entry read every way the program
// reads: whole-entry decode, plain reads through loading areas, cached reads through
// the scratch areas, seeks. Areas are allocated to their exact sizes, so any access
// outside them is caught. Properties:
// - a failure leaves a one-line reason;
// - an entry that decodes and fits the areas reads back the decoded bytes through
//   both kinds of read, and zeros past its end; one that does not decode never
//   reads successfully;
// - positions move by exactly the count on success and not at all on failure;
// - cached reads decompress only when the entry changes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/archive.h"
#include "fuzz_check.h"

namespace {

constexpr size_t LoadingPackedBytes = 32768;
constexpr size_t LoadingUnpackedBytes = 65536;

void CheckReason(const Archive* a)
{
    const char* why = ArchiveError(a);
    FUZZ_CHECK(why && why[0] && !strchr(why, '\n'), "reason \"%s\"", why ? why : "(null)");
}

uint32_t Position(Archive* a, int32_t i) { return ArchiveSeek(a, i, 0, 1); }

// Reads count bytes from `position` with `read`; checks the outcome against `decoded`
// (null when the entry does not decode) and the room of the area.
void CheckRead(Archive* a, int32_t i, bool (*read)(Archive*, int32_t, void*, uint32_t), size_t areaBytes, bool fits,
               const std::vector<uint8_t>* decoded, uint32_t position, uint32_t count)
{
    FUZZ_CHECK(ArchiveSeek(a, i, position, 0) == position, "seek to %u", position);
    std::unique_ptr<uint8_t[]> dest(new uint8_t[count ? count : 1]);
    const bool readOk = read(a, i, dest.get(), count);
    bool expectOk = decoded && fits && uint64_t(position) + count <= areaBytes;
    FUZZ_CHECK(readOk == expectOk, "entry %d: read of %u at %u gave %d (%s)", i, count, position, int(readOk),
               ArchiveError(a));
    if (!readOk) {
        CheckReason(a);
        FUZZ_CHECK(Position(a, i) == position, "failed read moved the position");
        return;
    }
    FUZZ_CHECK(Position(a, i) == position + count, "position after a read of %u at %u", count, position);
    size_t held = position < decoded->size() ? std::min<size_t>(count, decoded->size() - position) : 0;
    FUZZ_CHECK(held == 0 || memcmp(dest.get(), decoded->data() + position, held) == 0,
               "entry %d: read at %u differs from the decoded entry", i, position);
    for (size_t k = held; k < count; k++)
        FUZZ_CHECK(dest[k] == 0, "entry %d: byte %zu past the entry's end reads %u", i, position + k, dest[k]);
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Archive a;
    if (!ArchiveOpenBytes(&a, data, size)) {
        CheckReason(&a);
        return 0;
    }
    const int32_t n = int32_t(ArchiveEntryCount(&a));
    FUZZ_CHECK(n <= int32_t(OverlayMaxEntries), "%d entries", n);
    FUZZ_CHECK(!ArchiveEntry(&a, n) && !ArchiveEntry(&a, -1), "entry index out of range accepted");

    std::unique_ptr<uint8_t[]> loadingPacked(new uint8_t[LoadingPackedBytes]);
    std::unique_ptr<uint8_t[]> loadingUnpacked(new uint8_t[LoadingUnpackedBytes]);
    std::unique_ptr<uint8_t[]> scratchPacked(new uint8_t[ScratchAreaBytes]);
    std::unique_ptr<uint8_t[]> scratchUnpacked(new uint8_t[ScratchAreaBytes]);
    // Stale bytes everywhere, so a read past an entry's end shows where it reads from.
    memset(loadingUnpacked.get(), 0xA5, LoadingUnpackedBytes);
    memset(scratchUnpacked.get(), 0xA5, ScratchAreaBytes);
    ArchiveSetLoadingAreas(&a, loadingPacked.get(), LoadingPackedBytes, loadingUnpacked.get(), LoadingUnpackedBytes);

    std::vector<std::vector<uint8_t>> decoded(static_cast<size_t>(n));
    std::vector<bool> decodes(static_cast<size_t>(n), false);
    for (int32_t i = 0; i < n; i++) {
        const OverlayEntry e = *ArchiveEntry(&a, i);
        decodes[size_t(i)] = ArchiveDecodeEntry(&a, i, &decoded[size_t(i)]);
        if (decodes[size_t(i)])
            FUZZ_CHECK(decoded[size_t(i)].size() == e.unpackedSize, "decoded size");
        else
            CheckReason(&a);
        FUZZ_CHECK(ArchiveEntrySize(&a, i) == e.unpackedSize, "entry size");

        // A name with nothing but zeros after its text is found, at i or at an earlier twin.
        size_t len = strnlen(e.name, OverlayNameBytes);
        if (std::all_of(e.name + len, e.name + OverlayNameBytes, [](char c) { return c == 0; })) {
            char key[OverlayNameBytes + 1] = {};
            memcpy(key, e.name, len);
            int32_t found = ArchiveFind(&a, key);
            FUZZ_CHECK(found >= 0 && found <= i && memcmp(ArchiveEntry(&a, found)->name, e.name, OverlayNameBytes) == 0,
                       "entry %d found as %d", i, found);
        }

        const std::vector<uint8_t>* d = decodes[size_t(i)] ? &decoded[size_t(i)] : nullptr;
        bool fits = e.packedSize <= LoadingPackedBytes && e.unpackedSize <= LoadingUnpackedBytes;
        uint32_t whole = std::min<uint32_t>(e.unpackedSize, LoadingUnpackedBytes);
        CheckRead(&a, i, ArchiveRead, LoadingUnpackedBytes, fits, d, 0, whole);
        uint32_t tail = std::min<uint32_t>(e.unpackedSize, 16);
        CheckRead(&a, i, ArchiveRead, LoadingUnpackedBytes, fits, d, e.unpackedSize - tail, tail + 8);
        CheckRead(&a, i, ArchiveRead, LoadingUnpackedBytes, fits, d, uint32_t(LoadingUnpackedBytes), 0);
        CheckRead(&a, i, ArchiveRead, LoadingUnpackedBytes, fits, d, uint32_t(LoadingUnpackedBytes), 1);

        FUZZ_CHECK(ArchiveSeek(&a, i, 0, 2) == e.unpackedSize, "seek to the end");
        FUZZ_CHECK(ArchiveSeek(&a, i, 5, 2) == e.unpackedSize - 5, "seek before the end");
        FUZZ_CHECK(ArchiveSeek(&a, i, 0xFFFFFFFFu, 1) == e.unpackedSize - 6, "relative seek wraps");
        FUZZ_CHECK(ArchiveSeek(&a, i, 1234, 7) == e.unpackedSize - 6, "unknown whence moves nothing");
        FUZZ_CHECK(ArchiveSeek(&a, i, 1234, 0x100) == 1234, "whence is taken as 8 bits");
    }

    // Cached reads as the mesh reader makes them (many small reads), over the entries
    // in the order A, A, B, A: every change of entry decompresses once.
    ArchiveSetScratch(&a, scratchPacked.get(), scratchUnpacked.get());
    uint8_t probe[1];
    FUZZ_CHECK(!ArchiveRead(&a, 0, probe, 1), "plain read after the scratch areas took over");
    for (int32_t i = 0; i < n && i < 8; i++) {
        const int32_t order[4] = {i, i, (i + 1) % n, i};
        for (int32_t entry : order) {
            const OverlayEntry e = *ArchiveEntry(&a, entry);
            const std::vector<uint8_t>* d = decodes[size_t(entry)] ? &decoded[size_t(entry)] : nullptr;
            bool fits = e.packedSize <= ScratchAreaBytes && e.unpackedSize <= ScratchAreaBytes;
            uint32_t before = ArchiveUnpackCount(&a);
            bool cached = a.cachedEntry == entry;
            CheckRead(&a, entry, ArchiveReadCached, ScratchAreaBytes, fits, d, 0,
                      std::min<uint32_t>(e.unpackedSize, 6));
            CheckRead(&a, entry, ArchiveReadCached, ScratchAreaBytes, fits, d, 6, 10);
            uint32_t runs = ArchiveUnpackCount(&a) - before;
            FUZZ_CHECK(cached ? runs == 0 : runs >= 1, "entry %d: %u decompressions (cached %d)", entry, runs, cached);
            FUZZ_CHECK(runs <= 2, "entry %d: %u decompressions for two reads", entry, runs);
        }
    }
    return 0;
}
