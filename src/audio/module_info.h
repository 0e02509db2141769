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
