// Builds a whole overlay file image from named entries (ovltool pack, tests, content).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct OverlayInput {
    std::string name;            // 1..12 bytes, stored zero-padded
    std::vector<uint8_t> data;   // the entry's bytes before packing
};

// Packs every entry with PackStream (on up to `threads` threads) and lays out header
// (bytes 0..14 zero, byte 15 = count), directory in the given order, streams in the
// same order, and the trailer. Returns false with a one-line reason in *error when a
// name is empty or longer than 12 bytes, there are more than 255 entries, or the file
// would not fit 32-bit offsets, or an entry is over 256 MiB.
bool BuildOverlay(const std::vector<OverlayInput>& entries, std::vector<uint8_t>* file, std::string* error,
                  unsigned threads = 2);

// As BuildOverlay, with streams[i] the packed stream of entries[i] where the caller
// has it already (a cache); only the empty ones are packed. streams has one slot per
// entry and ends up holding every entry's stream.
bool BuildOverlayWithStreams(const std::vector<OverlayInput>& entries, std::vector<std::vector<uint8_t>>* streams,
                             std::vector<uint8_t>* file, std::string* error, unsigned threads = 2);
