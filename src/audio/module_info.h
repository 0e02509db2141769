// Facts about a tracker module held in memory, for tools and tests: the format, the
// order list's length and timing. Includes neither SDL nor the player's headers, and
// the library that implements it (audio_inspect) links no SDL.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ModuleInfo {
    std::string format;                      // the player's type name: "s3m", "it", "mod", ...
    int32_t orderCount = 0;                  // orders in the song; unused "---" entries at
                                             // the end of the order list are not counted
    double lengthSeconds = 0.0;              // playing time once through, without repeats
    std::vector<double> orderStartSeconds;   // orderCount entries: seconds from the song's
                                             // start to row 0 of each order, as played
};

// Loads the module from data[0, size) and fills *info; bytes after the end of the
// module are ignored, as when the demo plays it. False when the player cannot load
// the bytes: *info is then empty and *error (if error is not null) says why.
bool InspectModule(const uint8_t* data, size_t size, ModuleInfo* info, std::string* error);

// Loudness of a module at a stereo separation against full stereo, for telling a
// module that cancels itself in mono (surround channels: mixed phase-inverted on one
// side, so the two sides sum to nothing) from one that plays. Rendered at 11,025 Hz,
// no dither, for at most `seconds` of song time. Levels in dB of full scale (RMS over
// both sides; -200 for digital silence).
struct MonoCheck {
    double rmsAtSeparation = -200;   // as the demo plays it
    double rmsStereo = -200;         // at 100%
    int channels = 0;
    int surroundChannels = -1;   // IT modules: channels whose pan is surround; -1: not known
};
bool MeasureMonoLoss(const uint8_t* data, size_t size, int separationPercent, MonoCheck* check, double seconds = 120.0);
// True when the module as played at that separation is more than MonoLossLimitDb
// quieter than in stereo and the stereo render is not itself near silence.
constexpr double MonoLossLimitDb = 12.0;
bool MonoCancels(const MonoCheck& check);
