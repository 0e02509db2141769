#include "archive/overlay_writer.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "archive/archive_format.h"
#include "archive/pack.h"
#include "core/printable.h"

bool BuildOverlay(const std::vector<OverlayInput>& entries, std::vector<uint8_t>* file, std::string* error,
                  unsigned threads)
{
    std::vector<std::vector<uint8_t>> streams(entries.size());
    return BuildOverlayWithStreams(entries, &streams, file, error, threads);
}

bool BuildOverlayWithStreams(const std::vector<OverlayInput>& entries, std::vector<std::vector<uint8_t>>* packed,
                             std::vector<uint8_t>* file, std::string* error, unsigned threads)
{
    if (entries.size() > OverlayMaxEntries) {
        *error = "too many entries: " + std::to_string(entries.size()) + " (at most 255)";
        return false;
    }
    for (const OverlayInput& e : entries) {
        if (e.name.empty() || e.name.size() > OverlayNameBytes || e.name.find('\0') != std::string::npos) {
            *error = "bad entry name \"" + Printable(e.name) + "\" (1 to 12 bytes, no zero byte)";
            return false;
        }
        if (e.data.size() > (size_t(256) << 20)) {
            *error = "entry \"" + e.name + "\" is over 256 MiB";
            return false;
        }
    }

    packed->resize(entries.size());
    std::vector<std::vector<uint8_t>>& streams = *packed;
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i; (i = next++) < entries.size();)
            if (streams[i].empty())
                streams[i] = PackStream(entries[i].data.data(), entries[i].data.size());
    };
    unsigned count = std::max(1u, std::min<unsigned>(threads, unsigned(entries.size())));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < count; t++)
        pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool)
        t.join();

    uint64_t offset = OverlayHeaderBytes + uint64_t(entries.size()) * OverlayEntryBytes;
    uint64_t total = offset + OverlayTrailerBytes;
    for (const auto& s : streams)
        total += s.size();
    if (total > UINT32_MAX) {
        *error = "archive would exceed 4 GiB";
        return false;
    }

    file->assign(size_t(offset), 0);
    (*file)[OverlayCountOffset] = uint8_t(entries.size());
    for (size_t i = 0; i < entries.size(); i++) {
        OverlayEntry e = {};
        memcpy(e.name, entries[i].name.data(), entries[i].name.size());
        e.offset = uint32_t(offset);
        e.packedSize = uint32_t(streams[i].size());
        e.unpackedSize = uint32_t(entries[i].data.size());
        EncodeOverlayEntry(e, file->data() + OverlayHeaderBytes + i * OverlayEntryBytes);
        offset += streams[i].size();
    }
    for (const auto& s : streams)
        file->insert(file->end(), s.begin(), s.end());
    uint8_t trailer[OverlayTrailerBytes];
    WriteLE32(trailer, uint32_t(total));
    file->insert(file->end(), trailer, trailer + OverlayTrailerBytes);
    return true;
}
