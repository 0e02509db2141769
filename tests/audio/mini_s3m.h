// A tiny S3M module writer for tests: N orders of short patterns, one looped square
// sample, a note on a left and a right channel at row 0 of every pattern. Fully
// deterministic; nothing here depends on the soundtrack tools.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

struct MiniS3mOptions {
    int orders = 4;             // order list length, 1..256; order i plays pattern i % patterns
    int patterns = 4;           // distinct patterns, 1..100
    int rowsPerOrder = 8;       // rows played per order, 1..64 (a pattern break ends shorter ones)
    int speed = 1;              // ticks per row
    int tempo = 125;            // BPM; 125 with speed 1 is one row per 20 ms (882 frames)
    bool loopToStart = false;   // the last order jumps back to order 0 (B00)
};

inline std::vector<uint8_t> BuildMiniS3m(const MiniS3mOptions& o)
{
    std::vector<uint8_t> b(0x60, 0);
    auto put16 = [&b](size_t at, size_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); };
    auto put32 = [&](size_t at, size_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
    auto alignPara = [&b] {
        b.resize((b.size() + 15) & ~size_t(15), 0);
        return b.size();
    };
    const int orderBytes = (o.orders + 1) & ~1;   // padded to even length with "---"
    std::memcpy(&b[0], "mini test module", 16);
    b[0x1C] = 0x1A;
    b[0x1D] = 16;   // type: S3M
    put16(0x20, orderBytes);
    put16(0x22, 1);   // one instrument
    put16(0x24, o.patterns);
    put16(0x28, 0x1320);   // tracker version
    put16(0x2A, 2);        // unsigned samples
    std::memcpy(&b[0x2C], "SCRM", 4);
    b[0x30] = 64;   // global volume
    b[0x31] = uint8_t(o.speed);
    b[0x32] = uint8_t(o.tempo);
    b[0x33] = 0x80 | 0x30;   // stereo, master volume 48
    std::memset(&b[0x40], 255, 32);
    b[0x40] = 0;   // channel 0: left 1
    b[0x41] = 8;   // channel 1: right 1
    b[0x42] = 1;   // channel 2: left 2 (effects only)
    for (int i = 0; i < orderBytes; i++)
        b.push_back(i < o.orders ? uint8_t(i % o.patterns) : 0xFF);
    const size_t instrPtrAt = b.size();
    const size_t patPtrAt = instrPtrAt + 2;
    b.resize(patPtrAt + 2 * o.patterns);

    const size_t instrAt = alignPara();
    b.resize(instrAt + 0x50, 0);
    put16(instrPtrAt, instrAt / 16);
    const uint32_t sampleLength = 64;
    b[instrAt] = 1;   // PCM sample
    std::memcpy(&b[instrAt + 1], "square.raw", 10);
    put32(instrAt + 0x10, sampleLength);
    put32(instrAt + 0x18, sampleLength);   // loop 0..64
    b[instrAt + 0x1C] = 64;
    b[instrAt + 0x1F] = 1;   // looped
    put32(instrAt + 0x20, 8363);
    std::memcpy(&b[instrAt + 0x30], "square", 6);
    std::memcpy(&b[instrAt + 0x4C], "SCRS", 4);
    const size_t sampleAt = alignPara();
    b[instrAt + 0x0D] = uint8_t((sampleAt / 16) >> 16);
    put16(instrAt + 0x0E, (sampleAt / 16) & 0xFFFF);
    for (uint32_t i = 0; i < sampleLength; i++)
        b.push_back(i < sampleLength / 2 ? 0xC0 : 0x40);

    const int rows = std::clamp(o.rowsPerOrder, 1, 64);
    for (int p = 0; p < o.patterns; p++) {
        const size_t patAt = alignPara();
        put16(patPtrAt + 2 * p, patAt / 16);
        std::vector<uint8_t> packed;
        auto emit = [&packed](std::initializer_list<uint8_t> bytes) {
            for (uint8_t byte : bytes)
                packed.push_back(byte);
        };
        for (int row = 0; row < 64; row++) {
            if (row == 0) {
                const uint8_t notes[2] = {uint8_t(0x50 + p % 12), 0x57};   // octave 5
                for (uint8_t ch = 0; ch < 2; ch++)
                    emit({uint8_t(ch | 0x60), notes[ch], 1, 64});
            }
            const bool lastOrderPattern = p == (o.orders - 1) % o.patterns;
            if (row == rows - 1 && o.loopToStart && lastOrderPattern)
                emit({2 | 0x80, 2, 0});   // B00: jump to order 0
            else if (row == rows - 1 && rows < 64)
                emit({2 | 0x80, 3, 0});   // C00: pattern break
            packed.push_back(0);          // end of row
        }
        b.resize(patAt + 2);
        put16(patAt, packed.size() + 2);
        b.insert(b.end(), packed.begin(), packed.end());
    }
    alignPara();
    return b;
}
