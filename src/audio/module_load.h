// One way to make a libopenmpt module from bytes in memory, for the player and for
// module inspection (module_info.cpp). Internal to src/audio.
#pragma once
#include <libopenmpt/libopenmpt.h>

#include <cstddef>
#include <cstdint>
#include <string>

// The module the library makes of `size` bytes (it keeps its own copy; trailing
// bytes after the module are ignored), with its log silenced; nullptr with the
// library's reason in *error (may be null) when it cannot load them.
openmpt_module* CreateModule(const uint8_t* data, size_t size, std::string* error);
