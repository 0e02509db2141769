// S3M writer: the byte layout of a Scream Tracker 3 module with PCM samples.
#include "genmusic/s3m.h"

#include <algorithm>
#include <cstring>

#include "core/bytes.h"

namespace {

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) { WriteLE16(&out[at], uint16_t(v)); }

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) { WriteLE32(&out[at], v); }

void PutText(std::vector<uint8_t>& out, size_t at, const std::string& text, size_t field)
{
    size_t n = std::min(text.size(), field - 1);
    std::memcpy(&out[at], text.data(), n);
}

void AlignTo16(std::vector<uint8_t>& out)
{
    while (out.size() % 16 != 0)
        out.push_back(0);
}

// Row packing: per non-empty cell a flag byte (channel | 32 note+instrument |
// 64 volume | 128 command+info) and its fields; 0 ends the row. The first two bytes
// hold the packed length including themselves.
std::vector<uint8_t> PackPattern(const S3mPattern& pattern, int channels)
{
    std::vector<uint8_t> out(2, 0);
    for (int row = 0; row < kS3mRows; ++row) {
        for (int c = 0; c < channels; ++c) {
            const S3mCell& cell = pattern.cells[row][c];
            uint8_t what = static_cast<uint8_t>(c);
            bool hasNote = cell.note != kS3mNoNote || cell.instrument != 0;
            bool hasVolume = cell.volume != kS3mNoVolume;
            bool hasCommand = cell.command != 0;
            if (!hasNote && !hasVolume && !hasCommand)
                continue;
            if (hasNote)
                what |= 32;
            if (hasVolume)
                what |= 64;
            if (hasCommand)
                what |= 128;
            out.push_back(what);
            if (hasNote) {
                out.push_back(cell.note);
                out.push_back(cell.instrument);
            }
            if (hasVolume)
                out.push_back(std::min<uint8_t>(cell.volume, 64));
            if (hasCommand) {
                out.push_back(cell.command);
                out.push_back(cell.info);
            }
        }
        out.push_back(0);
    }
    Put16(out, 0, static_cast<uint32_t>(out.size()));
    return out;
}

}   // namespace

uint8_t S3mNote(int midi)
{
    int octave = midi / 12 - 1;
    int semitone = midi % 12;
    return static_cast<uint8_t>((octave << 4) | semitone);
}

std::vector<uint8_t> WriteS3m(const S3mModule& module)
{
    // Distinct packed patterns, in order of first use.
    std::vector<std::vector<uint8_t>> packed;
    std::vector<uint8_t> orderPatterns;
    for (uint8_t source : module.orders) {
        std::vector<uint8_t> bytes = PackPattern(module.patterns[source], module.channels);
        auto found = std::find(packed.begin(), packed.end(), bytes);
        orderPatterns.push_back(static_cast<uint8_t>(found - packed.begin()));
        if (found == packed.end())
            packed.push_back(std::move(bytes));
    }
    orderPatterns.push_back(0xFF);
    if (orderPatterns.size() % 2 != 0)
        orderPatterns.push_back(0xFF);

    const size_t orderCount = orderPatterns.size();
    const size_t sampleCount = module.samples.size();
    const size_t patternCount = packed.size();

    std::vector<uint8_t> out(0x60, 0);
    PutText(out, 0x00, module.title, 28);
    out[0x1C] = 0x1A;
    out[0x1D] = 0x10;
    Put16(out, 0x20, static_cast<uint32_t>(orderCount));
    Put16(out, 0x22, static_cast<uint32_t>(sampleCount));
    Put16(out, 0x24, static_cast<uint32_t>(patternCount));
    Put16(out, 0x26, 0);
    Put16(out, 0x28, 0x1320);
    Put16(out, 0x2A, 2);   // unsigned sample data
    std::memcpy(&out[0x2C], "SCRM", 4);
    out[0x30] = module.globalVolume;
    out[0x31] = module.speed;
    out[0x32] = module.tempo;
    out[0x33] = static_cast<uint8_t>(0x80 | std::clamp<int>(module.masterVolume, 16, 127));
    out[0x34] = 16;     // ultra click removal: 16 voices, as Scream Tracker 3 writes it
    out[0x35] = 0xFC;   // a pan table follows the parapointers
    for (int c = 0; c < 32; ++c) {
        out[0x40 + c] = c < module.channels ? static_cast<uint8_t>((c % 2 == 0 ? 0 : 8) + c / 2) : 0xFF;
    }
    out.insert(out.end(), orderPatterns.begin(), orderPatterns.end());
    const size_t samplePointers = out.size();
    out.resize(out.size() + 2 * sampleCount);
    const size_t patternPointers = out.size();
    out.resize(out.size() + 2 * patternCount);
    // Pan table: 0x20 | position 0..15; channels alternate left and right of centre.
    for (int c = 0; c < 32; ++c)
        out.push_back(c < module.channels ? static_cast<uint8_t>(0x20 | (c % 2 == 0 ? 4 : 11)) : 0);
    AlignTo16(out);

    std::vector<size_t> sampleHeaders;
    for (size_t i = 0; i < sampleCount; ++i) {
        const S3mSample& s = module.samples[i];
        size_t at = out.size();
        sampleHeaders.push_back(at);
        Put16(out, samplePointers + 2 * i, static_cast<uint32_t>(at / 16));
        out.resize(at + 0x50, 0);
        out[at] = 1;   // PCM sample
        PutText(out, at + 0x01, s.name.substr(0, 12), 13);
        Put32(out, at + 0x10, static_cast<uint32_t>(s.data.size()));
        Put32(out, at + 0x14, s.loop ? s.loopStart : 0);
        Put32(out, at + 0x18, s.loop ? s.loopEnd : 0);
        out[at + 0x1C] = std::min<uint8_t>(s.volume, 64);
        out[at + 0x1E] = 0;
        out[at + 0x1F] = static_cast<uint8_t>((s.loop ? 1 : 0) | 4);   // 16-bit
        Put32(out, at + 0x20, s.c2spd);
        PutText(out, at + 0x30, s.name, 28);
        std::memcpy(&out[at + 0x4C], "SCRS", 4);
    }

    for (size_t p = 0; p < patternCount; ++p) {
        AlignTo16(out);
        Put16(out, patternPointers + 2 * p, static_cast<uint32_t>(out.size() / 16));
        out.insert(out.end(), packed[p].begin(), packed[p].end());
    }

    for (size_t i = 0; i < sampleCount; ++i) {
        AlignTo16(out);
        size_t para = out.size() / 16;
        size_t at = sampleHeaders[i];
        out[at + 0x0D] = static_cast<uint8_t>((para >> 16) & 0xFF);
        Put16(out, at + 0x0E, static_cast<uint32_t>(para & 0xFFFF));
        for (int16_t v : module.samples[i].data) {
            out.resize(out.size() + 2);
            WriteLE16(&out[out.size() - 2], static_cast<uint16_t>(static_cast<int32_t>(v) + 32768));
        }
    }
    AlignTo16(out);
    return out;
}
