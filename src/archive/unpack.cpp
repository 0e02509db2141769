// Stream decoder: byte-oriented LZ77 steered by 16-bit control words.
//
// Control words are two bytes, low first, handed out least significant bit first. A
// new word is loaded as soon as the 16th bit of the current one is taken, before any
// data byte of the token that bit belongs to. Tokens (bits in the order taken):
//   1               byte                  literal
//   0 0 h l         byte b                copy 2 + 2h + l bytes from b - 256
//   0 1             lo hi (hi & 7 != 0)   copy (hi & 7) + 2 bytes from v - 8192
//   0 1             lo hi (hi & 7 == 0) e e >= 2: copy e + 1; e == 1: nothing; e == 0: end
// where v = (hi >> 3) * 256 + lo. A copy reads the bytes it writes when its distance
// is shorter than its length, repeating the latest bytes; such copies go in steps
// of the distance, the others in whole blocks.
#include <cstring>

#include "archive/archive.h"
#include "core/bytes.h"

namespace {

// Copies `length` bytes from `distance` bytes back to `dest`, as one byte at a time
// would. Writes exactly dest[0 .. length).
inline void CopyMatch(uint8_t* dest, size_t distance, size_t length)
{
    const uint8_t* from = dest - distance;
    if (distance >= length) {
        // Source and destination do not overlap: two blocks that cover the copy,
        // both read before either is written.
        if (length >= 8 && length <= 16) {
            uint64_t head, tail;
            std::memcpy(&head, from, 8);
            std::memcpy(&tail, from + length - 8, 8);
            std::memcpy(dest, &head, 8);
            std::memcpy(dest + length - 8, &tail, 8);
        } else if (length >= 4 && length < 8) {
            uint32_t head, tail;
            std::memcpy(&head, from, 4);
            std::memcpy(&tail, from + length - 4, 4);
            std::memcpy(dest, &head, 4);
            std::memcpy(dest + length - 4, &tail, 4);
        } else if (length < 4) {
            // 2 or 3 bytes (a match is never shorter than 2).
            uint8_t b0 = from[0], b1 = from[1], b2 = from[length - 1];
            dest[0] = b0;
            dest[1] = b1;
            dest[length - 1] = b2;
        } else {
            std::memcpy(dest, from, length);
        }
    } else if (distance == 1) {
        std::memset(dest, from[0], length);
    } else {
        // Each step copies bytes that are already written.
        while (length > 0) {
            size_t step = length < distance ? length : distance;
            std::memcpy(dest, from, step);
            dest += step;
            from += step;
            length -= step;
        }
    }
}

}   // namespace

long ZOH_Unpack(const uint8_t* in, size_t inLen, uint8_t* out, size_t outCap)
{
    if (inLen < 2)
        return -1;
    const uint8_t* ip = in + 2;
    const uint8_t* const end = in + inLen;
    size_t op = 0;
    // The control word's bits above a marker bit: the word is used up when only the
    // marker is left, that is after its 16th bit was taken.
    uint32_t control = uint32_t(ReadLE16(in)) | 0x10000;

    // Takes one bit into `bit`; a word that cannot be reloaded ends the decoding.
#define TAKE_BIT(bit)                                                                                                  \
    do {                                                                                                               \
        bit = control & 1;                                                                                             \
        control >>= 1;                                                                                                 \
        if (control == 1) {                                                                                            \
            if (end - ip < 2)                                                                                          \
                return -1;                                                                                             \
            control = uint32_t(ReadLE16(ip)) | 0x10000;                                                                \
            ip += 2;                                                                                                   \
        }                                                                                                              \
    } while (0)

    // Every token takes at least one input byte, so the loop ends within inLen tokens.
    for (;;) {
        uint32_t bit;
        TAKE_BIT(bit);
        if (bit) {
            if (ip >= end || op >= outCap)
                return -1;
            out[op++] = *ip++;
            continue;
        }
        size_t length;
        size_t distance;
        TAKE_BIT(bit);
        if (!bit) {
            uint32_t high, low;
            TAKE_BIT(high);
            TAKE_BIT(low);
            if (ip >= end)
                return -1;
            length = 2 + (high << 1 | low);
            distance = 256 - size_t(*ip++);
        } else {
            if (end - ip < 2)
                return -1;
            uint32_t lo = ip[0];
            uint32_t hi = ip[1];
            ip += 2;
            distance = 8192 - ((hi >> 3) << 8 | lo);
            if (hi & 7) {
                length = (hi & 7) + 2;
            } else {
                if (ip >= end)
                    return -1;
                uint32_t extra = *ip++;
                if (extra == 0)
                    return long(op);
                if (extra == 1)
                    continue;
                length = extra + 1;
            }
        }
        if (distance > op || length > outCap - op)
            return -1;
        CopyMatch(out + op, distance, length);
        op += length;
    }
#undef TAKE_BIT
}
