// Stream decoder: byte-oriented LZ77 steered by 16-bit control words.
//
// Control words are two bytes, low first, handed out least significant bit first. A
// new word is loaded as soon as the 16th bit of the current one is taken, before any
// data byte of the token that bit belongs to. Tokens (bits in the order taken):
//   1               byte                  literal
//   0 0 h l         byte b                copy 2 + 2h + l bytes from b - 256
//   0 1             lo hi (hi & 7 != 0)   copy (hi & 7) + 2 bytes from v - 8192
//   0 1             lo hi (hi & 7 == 0) e e >= 2: copy e + 1; e == 1: nothing; e == 0: end
// where v = (hi >> 3) * 256 + lo. Copies run one byte at a time so that a distance
// shorter than the length repeats the latest bytes.
#include "archive/archive.h"

long ZOH_Unpack(const uint8_t* in, size_t inLen, uint8_t* out, size_t outCap)
{
    size_t ip = 0;
    size_t op = 0;
    if (inLen < 2)
        return -1;
    uint32_t control = uint32_t(in[0]) | uint32_t(in[1]) << 8;
    ip = 2;
    int bitsLeft = 16;
    bool overrun = false;

    // Every token takes at least one input byte, so the loop ends within inLen tokens.
    auto takeBit = [&]() -> uint32_t {
        uint32_t bit = control & 1;
        control >>= 1;
        if (--bitsLeft == 0) {
            if (inLen - ip < 2) {
                overrun = true;
                return 0;
            }
            control = uint32_t(in[ip]) | uint32_t(in[ip + 1]) << 8;
            ip += 2;
            bitsLeft = 16;
        }
        return bit;
    };

    for (;;) {
        uint32_t bit = takeBit();
        if (overrun)
            return -1;
        if (bit) {
            if (ip >= inLen || op >= outCap)
                return -1;
            out[op++] = in[ip++];
            continue;
        }
        size_t length;
        size_t distance;
        bit = takeBit();
        if (overrun)
            return -1;
        if (!bit) {
            uint32_t high = takeBit();
            uint32_t low = takeBit();
            if (overrun || ip >= inLen)
                return -1;
            length = 2 + (high << 1 | low);
            distance = 256 - size_t(in[ip++]);
        } else {
            if (inLen - ip < 2)
                return -1;
            uint32_t lo = in[ip];
            uint32_t hi = in[ip + 1];
            ip += 2;
            distance = 8192 - ((hi >> 3) << 8 | lo);
            if (hi & 7) {
                length = (hi & 7) + 2;
            } else {
                if (ip >= inLen)
                    return -1;
                uint32_t extra = in[ip++];
                if (extra == 0)
                    return long(op);
                if (extra == 1)
                    continue;
                length = extra + 1;
            }
        }
        if (distance > op || length > outCap - op)
            return -1;
        const uint8_t* from = out + (op - distance);
        for (size_t k = 0; k < length; k++)
            out[op + k] = from[k];
        op += length;
    }
}
