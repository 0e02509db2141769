// The state the whole demo shares: the frame being drawn, the tick counters, the
// music position and the start-up choices. Plain process-wide variables, defined in
// shared.cpp; no SDL here, so every library and tool may include this.
//
// Threads: the frame timer's thread only ever increments TickCounters (atomic
// fetch_add); everything else is read and written by the main thread alone.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

constexpr int ScreenWidth = 320;
constexpr int ScreenHeight = 200;
constexpr int ScreenBytes = ScreenWidth * ScreenHeight;   // 64,000

// The 320x200 image that PresentFrame shows: one palette index per pixel, row-major,
// 320 bytes per row. Set by the demo; the 3D scenes point it at the render target
// of their first mesh.
extern uint8_t* FrameBuffer;

// Three counters, each +1 every 20 ms (50 Hz) once the frame timer (or the virtual
// clock) runs, wrapping at 2^32. [0] scene clock (scenes reset, set, wrap and clamp
// it), [1] final scene rotation, [2] phase of every texture-map kernel. The main
// thread uses load() and store().
extern std::atomic<uint32_t> TickCounters[3];

// Order: the player's 0-based order + 1, in 8 bits; row: 0-based row in 8 bits.
// Both 0 before the first UpdateMusicPosition. Once the song has ended the order
// is MusicEndOrder with row 0, so every scene limit is passed.
struct MusicPositionState {
    uint8_t order;
    uint8_t row;
};
extern MusicPositionState MusicPosition;
constexpr uint8_t MusicEndOrder = 255;

// The setup dialog's choices (or the command line's), fixed before RunDemo.
// selectedMode: index into the display mode table (0 = the desktop's mode);
// windowed: 1 = window, 0 = full screen; soundOn: 0 = "Nosound" (music muted but
// still playing, so the music position advances as with sound).
struct StartupOptionsState {
    int32_t selectedMode;
    int32_t windowed;
    int32_t soundOn;
};
extern StartupOptionsState StartupOptions;   // initial {0, 0, 1}
