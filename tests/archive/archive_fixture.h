// Test helpers: temporary files and hand-made overlay files.
#pragma once
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/archive_format.h"

using Bytes = std::vector<uint8_t>;

// A fresh path under the test temp directory.
inline std::string TempPath(const std::string& stem)
{
    static int counter = 0;
    return testing::TempDir() + "tivrel_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + "_" + stem;
}

inline std::string WriteFile(const std::string& path, const Bytes& data)
{
    FILE* f = fopen(path.c_str(), "wb");
    bool written = f && (data.empty() || fwrite(data.data(), 1, data.size(), f) == data.size());
    EXPECT_TRUE(f && fclose(f) == 0 && written) << path;
    return path;
}

inline std::string WriteTemp(const Bytes& data) { return WriteFile(TempPath("archive.ovl"), data); }

// An entry with its stream given as is (possibly malformed).
struct RawEntry {
    std::string name;   // at most 12 bytes
    Bytes stream;
    uint32_t unpackedSize;
};

// Header, directory, streams in order, trailer; the format's layout with no checks.
inline Bytes RawArchive(const std::vector<RawEntry>& entries)
{
    Bytes file(OverlayHeaderBytes + entries.size() * OverlayEntryBytes, 0);
    file[OverlayCountOffset] = uint8_t(entries.size());
    uint32_t offset = uint32_t(file.size());
    for (size_t i = 0; i < entries.size(); i++) {
        OverlayEntry e = {};
        entries[i].name.copy(e.name, OverlayNameBytes);
        e.offset = offset;
        e.packedSize = uint32_t(entries[i].stream.size());
        e.unpackedSize = entries[i].unpackedSize;
        e.position = 0xDEADBEEF;   // stored positions must be ignored
        EncodeOverlayEntry(e, file.data() + OverlayHeaderBytes + i * OverlayEntryBytes);
        offset += e.packedSize;
    }
    for (const RawEntry& e : entries)
        file.insert(file.end(), e.stream.begin(), e.stream.end());
    file.resize(file.size() + OverlayTrailerBytes);
    WriteLE32(file.data() + file.size() - OverlayTrailerBytes, uint32_t(file.size()));
    return file;
}
