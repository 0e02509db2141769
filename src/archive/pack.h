// Stream encoder for the format ZOH_Unpack decodes (archive.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Packs `size` bytes (at most 256 MiB) into one stream ending with the end token. The
// parse is optimal for the format's costs: control bits plus data bytes, 9 bits per
// literal, 12 per short match (2..5 bytes, distance 1..256), 18 per long match
// (3..9 bytes, distance 1..8,192), 26 per extended match (10..256 bytes). The result
// is within 2 bytes of the smallest stream the format allows (control words come
// in whole 16-bit units). Thread-safe: no shared state.
std::vector<uint8_t> PackStream(const uint8_t* data, size_t size);

// Token writer: places every control word where the decoder loads it (at the start,
// then right after the data bytes of the token that took the previous word's 16th bit).
struct StreamWriter {
    std::vector<uint8_t>* out;
    size_t controlAt;   // index in *out of the control word being filled
    uint32_t control;
    int bitCount;   // bits already placed in it
};

// Starts a stream at the end of *out.
void StreamBegin(StreamWriter* w, std::vector<uint8_t>* out);
void StreamLiteral(StreamWriter* w, uint8_t byte);
// Copy of `length` bytes from `distance` back, in the cheapest token that holds it.
// Requires 2 <= length <= 256, 1 <= distance <= 8,192, and distance <= 256 when length is 2.
void StreamMatch(StreamWriter* w, uint32_t length, uint32_t distance);
// Writes the end token and completes the last control word.
void StreamEnd(StreamWriter* w);

// Cost in bits (control bits + 8 per data byte) of a literal and of a match token.
constexpr uint32_t LiteralBits = 9;
constexpr uint32_t ShortMatchBits = 12;
constexpr uint32_t LongMatchBits = 18;
constexpr uint32_t ExtendedMatchBits = 26;
