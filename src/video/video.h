// Video output as the demo sees it: the palette in force and frame presentation,
// through one presentation backend at a time (the SDL window, capture, or none).
// Display set-up and the backends' own settings are in display.h (for the shell).
#pragma once
#include <cstdint>

#include "core/shared.h"

// A presentation backend: the few operations presentation needs from a place that
// shows (or records) frames. Every operation is called from the main thread.
//   open        before the first frame; false (after its own one-line message) when
//               the backend cannot be used
//   setPalette  the device palette (256 B,G,R triples, 8 bits each) just made current
//   present     one frame: `frame` is FrameBuffer (320x200 palette indices) and
//               `trueColor` the same frame expanded through the device palette
//               (320x200 pixels of B,G,R,unused)
//   pollEvents  drains pending input; true when the user asked to quit
//   close       after the last frame; false when something could not be completed
//   readsTrueColor  asked before each frame: false when this frame's present reads
//               only `frame` (PresentFrame then skips the expansion and passes
//               nullptr as `trueColor`); left out (nullptr): always reads it
struct PresentBackend {
    const char* name;
    bool (*open)();
    void (*setPalette)(const uint8_t* devicePalette);
    void (*present)(const uint8_t* frame, const uint8_t* trueColor);
    bool (*pollEvents)();
    bool (*close)();
    bool (*readsTrueColor)() = nullptr;
};

// Shows nothing, reads no input, never fails. The backend in use until the shell
// chooses another; also what tests and benchmarks present through.
extern const PresentBackend NullBackend;

// Makes `backend` the one PresentFrame and SetPalette use (not opened here).
void UsePresentBackend(const PresentBackend* backend);
const PresentBackend* CurrentPresentBackend();

// Makes a 768-byte Palette (RGB triples, 6-bit components; only the low 6 bits
// count) the colours of every frame presented from now on.
void SetPalette(const uint8_t* palette);

// Expands FrameBuffer through the current palette into TrueColorFrame (when the
// backend reads it), hands the frame to the backend in use, then drains its
// events. A quit from the user sets QuitRequested; the frame loop sees it and ends
// the demo.
void PresentFrame();

// Keys for the frame loop, reported by the window in the order pressed.
enum KeyAction {
    KeyActionNone = 0,
    KeyActionPause,           // Space, P
    KeyActionNextScene,       // PageDown
    KeyActionPreviousScene,   // PageUp
    KeyActionVolumeUp,        // +
    KeyActionVolumeDown,      // -
    KeyActionMute,            // M
};
// Queues an action (at most 16 waiting; more are dropped).
void PushKeyAction(KeyAction action);
// The oldest waiting action, or KeyActionNone.
KeyAction TakeKeyAction();
// Forgets the waiting actions.
void ClearKeyActions();

// The information line (I toggles it): while InfoLineShown the frame loop sets the
// text and the window draws it over the picture. Capture never shows it.
extern bool InfoLineShown;
void SetInfoLine(const char* text);
const char* InfoLine();

// Drains the backend's events without presenting (a quit sets QuitRequested).
void PumpEvents();

// Set by PresentFrame when the user asked to quit (Escape, the close box); never
// cleared by presentation.
extern bool QuitRequested;
