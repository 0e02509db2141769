// Video output: the indexed frame, the palette, presentation.
// This header is what the rest of the program sees; display set-up, the SDL window
// and capture mode live behind it (display.h for the shell).
#pragma once
#include <cstdint>

constexpr int ScreenWidth = 320;
constexpr int ScreenHeight = 200;
constexpr int ScreenBytes = ScreenWidth * ScreenHeight;   // 64,000

// The 320x200 image that PresentFrame shows: one palette index per pixel,
// row-major, 320 bytes per row. Set by the demo; the 3D scenes point it at the
// render target of their first mesh.
extern uint8_t* FrameBuffer;

// Makes a 768-byte Palette (RGB triples, 6-bit components; only the low 6 bits
// count) the colours of every frame presented from now on.
void SetPalette(const uint8_t* palette);

// Shows FrameBuffer through the current palette, then drains the window's events.
// Does not return when the user quits (Escape, close box): the quit sequence
// runs and the process exits with status 0.
void PresentFrame();

// The demo tells presentation which scene (1..17) is drawing; capture mode logs it.
void NoteScene(int scene);

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
