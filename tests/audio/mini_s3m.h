// A tiny S3M module writer for the audio tests: N orders of short patterns, one
// looped square-wave sample, a note on a left and a right channel at row 0 of
// every pattern. Fully deterministic; nothing here depends on the soundtrack tools.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

struct MiniS3mOptions {
    int orders = 4;          // order list length, 1..256; order i plays pattern i % patterns
    int patterns = 4;        // distinct patterns, 1..100
    int rowsPerOrder = 8;    // rows played per order, 1..64 (a pattern break ends shorter ones)
    int speed = 1;           // ticks per row
    int tempo = 125;         // BPM; 125 with speed 1 is one row per 20 ms (882 frames)
    bool loopToStart = false;   // the last order jumps back to order 0 (B00)
};

namespace mini_s3m_detail {
inline void Put16(std::vector<uint8_t>& b, size_t at, unsigned v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + i] = uint8_t(v >> (8 * i));
}
inline size_t AlignPara(std::vector<uint8_t>& b) {
    while (b.size() % 16) b.push_back(0);
    return b.size();
}
}  // namespace mini_s3m_detail

inline std::vector<uint8_t> BuildMiniS3m(const MiniS3mOptions& o) {
    using namespace mini_s3m_detail;
    const int orderBytes = (o.orders + 1) & ~1;   // the order list is padded to even length
    std::vector<uint8_t> b(0x60, 0);
    std::memcpy(&b[0], "mini test module", 16);
    b[0x1C] = 0x1A;
    b[0x1D] = 16;                                 // type: S3M
    Put16(b, 0x20, orderBytes);
    Put16(b, 0x22, 1);                            // one instrument
    Put16(b, 0x24, o.patterns);
    Put16(b, 0x28, 0x1320);                       // tracker version
    Put16(b, 0x2A, 2);                            // unsigned samples
    std::memcpy(&b[0x2C], "SCRM", 4);
    b[0x30] = 64;                                 // global volume
    b[0x31] = uint8_t(o.speed);
    b[0x32] = uint8_t(o.tempo);
    b[0x33] = 0x80 | 0x30;                        // stereo, master volume 48
    b[0x35] = 0;                                  // no pan table
    std::memset(&b[0x40], 255, 32);
    b[0x40] = 0;                                  // channel 0: left 1
    b[0x41] = 8;                                  // channel 1: right 1
    b[0x42] = 1;                                  // channel 2: left 2 (effects only)
    for (int i = 0; i < orderBytes; i++)
        b.push_back(i < o.orders ? uint8_t(i % o.patterns) : 0xFF);
    const size_t instrPtrAt = b.size();
    b.resize(b.size() + 2);
    const size_t patPtrAt = b.size();
    b.resize(b.size() + 2 * o.patterns);

    const size_t instrAt = AlignPara(b);
    b.resize(b.size() + 0x50, 0);
    Put16(b, instrPtrAt, unsigned(instrAt / 16));
    const uint32_t sampleLength = 64;
    b[instrAt] = 1;                               // PCM sample
    std::memcpy(&b[instrAt + 1], "square.raw", 10);
    Put32(b, instrAt + 0x10, sampleLength);
    Put32(b, instrAt + 0x14, 0);
    Put32(b, instrAt + 0x18, sampleLength);
    b[instrAt + 0x1C] = 64;
    b[instrAt + 0x1F] = 1;                        // looped
    Put32(b, instrAt + 0x20, 8363);
    std::memcpy(&b[instrAt + 0x30], "square", 6);
    std::memcpy(&b[instrAt + 0x4C], "SCRS", 4);
    const size_t sampleAt = AlignPara(b);
    b[instrAt + 0x0D] = uint8_t((sampleAt / 16) >> 16);
    Put16(b, instrAt + 0x0E, unsigned((sampleAt / 16) & 0xFFFF));
    for (uint32_t i = 0; i < sampleLength; i++) b.push_back(i < sampleLength / 2 ? 0xC0 : 0x40);

    const int rows = std::clamp(o.rowsPerOrder, 1, 64);
    for (int p = 0; p < o.patterns; p++) {
        const size_t patAt = AlignPara(b);
        Put16(b, patPtrAt + 2 * p, unsigned(patAt / 16));
        std::vector<uint8_t> packed;
        for (int row = 0; row < 64; row++) {
            if (row == 0) {
                const uint8_t notes[2] = {uint8_t(0x50 + p % 12), 0x57};   // octave 5
                for (int ch = 0; ch < 2; ch++) {
                    packed.push_back(uint8_t(ch | 0x20 | 0x40));
                    packed.push_back(notes[ch]);
                    packed.push_back(1);
                    packed.push_back(64);
                }
            }
            const bool lastOrderPattern = p == (o.orders - 1) % o.patterns;
            if (row == rows - 1 && o.loopToStart && lastOrderPattern) {
                packed.push_back(2 | 0x80);
                packed.push_back(2);              // B: position jump
                packed.push_back(0);
            } else if (row == rows - 1 && rows < 64) {
                packed.push_back(2 | 0x80);
                packed.push_back(3);              // C: pattern break
                packed.push_back(0);
            }
            packed.push_back(0);                  // end of row
        }
        b.resize(b.size() + 2);
        Put16(b, patAt, unsigned(packed.size() + 2));
        b.insert(b.end(), packed.begin(), packed.end());
    }
    AlignPara(b);
    return b;
}
