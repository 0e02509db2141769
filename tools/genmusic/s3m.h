// Scream Tracker 3 module model and writer, used by genmusic.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kS3mRows = 64;   // every S3M pattern has 64 rows
constexpr int kS3mMaxChannels = 32;
constexpr uint8_t kS3mNoNote = 255;     // cell carries no note
constexpr uint8_t kS3mNoteCut = 254;    // "^^": stops the channel's sample
constexpr uint8_t kS3mNoVolume = 255;   // cell carries no volume column

// Effect letters as S3M command numbers (A = 1 ... Z = 26).
constexpr uint8_t S3mCommand(char letter) { return static_cast<uint8_t>(letter - 'A' + 1); }

struct S3mCell {
    uint8_t note = kS3mNoNote;       // (octave << 4) | semitone, or kS3mNoteCut
    uint8_t instrument = 0;          // 1-based, 0 = none
    uint8_t volume = kS3mNoVolume;   // 0..64
    uint8_t command = 0;             // 0 = none
    uint8_t info = 0;
};

struct S3mPattern {
    S3mCell cells[kS3mRows][kS3mMaxChannels];
};

// A PCM sample instrument. data holds signed 16-bit mono PCM; the writer stores it
// unsigned. Loop points are sample indexes, loopEnd exclusive. c2spd is the playback
// rate, in Hz, of note C-4.
struct S3mSample {
    std::string name;   // at most 27 characters are kept
    std::vector<int16_t> data;
    bool loop = false;
    uint32_t loopStart = 0;
    uint32_t loopEnd = 0;
    uint32_t c2spd = 8363;
    uint8_t volume = 64;
};

struct S3mModule {
    std::string title;     // at most 27 characters are kept
    int channels = 0;      // 1..32; channel c plays left when c is even, right when odd
    uint8_t speed = 6;     // ticks per row
    uint8_t tempo = 125;   // tick rate = tempo × 2 / 5 Hz
    uint8_t globalVolume = 64;
    uint8_t masterVolume = 48;     // 16..127 (the stereo flag is added by the writer)
    std::vector<uint8_t> orders;   // pattern index per order, without end marker
    std::vector<S3mSample> samples;
    std::vector<S3mPattern> patterns;
};

// MIDI-style pitch (60 = C-4, the note that plays a sample at its c2spd) to an S3M
// note byte. Valid for 12..107.
uint8_t S3mNote(int midi);

// Serialises the module: header, even-length order list ending in 0xFF, parapointers,
// "SCRS" instrument headers, packed patterns, 16-bit unsigned sample data, every block
// on a 16-byte boundary. Patterns with identical packed bytes are stored once.
std::vector<uint8_t> WriteS3m(const S3mModule& module);
