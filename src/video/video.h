// Video output as the demo sees it: the palette in force and frame presentation,
// through one presentation backend at a time (the SDL window, capture, none, or the
// page's canvas). Display set-up and the backends themselves: modes.h, window.h,
// capture.h.
#pragma once
#include <cstdint>

#include "core/shared.h"

struct CaptureSettings;

// How the 320x200 image fills the window or screen. Aspect: the picture's shape,
// AspectStretch the square pixels of 320x200 (or the whole output with
// ScaleStretch), Aspect4x3 320x240. Scale: ScaleStretch over the whole output (4:3
// with Aspect4x3), ScaleSharp the largest area of the picture's shape (sharp pixels:
// a whole-multiple copy smoothed down to the size), ScaleInteger the largest whole
// multiple of the picture that fits (ScaleSharp when not even one fits). Both
// centred with black bars.
enum PresentAspectMode { AspectStretch = 0, Aspect4x3 = 1 };
enum PresentScaleMode { ScaleStretch = 0, ScaleSharp = 1, ScaleInteger = 2 };

// What a backend is given when it opens; each backend reads the part that is its own
// (the design's choices, mode and windowed, are StartupOptions).
struct PresentSettings {
    int aspect = AspectStretch;   // PresentAspectMode
    int scale = ScaleStretch;     // PresentScaleMode
    // Wait for the vertical blank when presenting (SDL simulates it where the driver
    // has none). False: frames as fast as they come.
    bool vsync = true;
    // The window's client size in the windowed form; 0x0: the largest whole multiple
    // of the picture that fits the desktop.
    int windowWidth = 0, windowHeight = 0;
    // Full screen in the desktop's own mode (no mode change) rather than the chosen mode.
    bool fullScreenDesktop = false;
    const CaptureSettings* capture = nullptr;   // the capture backend's folder, frames, video
};

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
//   waitForInput  waits until input comes or `milliseconds` pass (the paused loop
//               between its steps); left out: returns at once
struct PresentBackend {
    const char* name;
    bool (*open)(const PresentSettings& settings);
    void (*setPalette)(const uint8_t* devicePalette);
    void (*present)(const uint8_t* frame, const uint8_t* trueColor);
    bool (*pollEvents)();
    bool (*close)();
    bool (*readsTrueColor)() = nullptr;
    void (*waitForInput)(int milliseconds) = nullptr;
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
// events. A quit from the user is remembered (QuitRequested); the frame loop sees
// it and ends the demo.
void PresentFrame();
// Drains the backend's events without presenting.
void PumpEvents();
// The backend's waitForInput (nothing when it has none).
void WaitForInput(int milliseconds);

// True once the user asked to quit (Escape, the close box); presentation never
// clears it. ForgetQuitRequest: for a new run in the same process (tests).
bool QuitRequested();
void ForgetQuitRequest();

// Keys for the frame loop, reported by the backend in the order pressed.
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

// The information line (I toggles it): while shown, the frame loop sets the text and
// the window draws it over the picture. Capture never shows it.
bool InfoLineShown();
void ShowInfoLine(bool shown);
void SetInfoLine(const char* text);
const char* InfoLine();
// A message of the shell's own (a content folder's failed rebuild), drawn like the
// information line along the bottom of the picture while it is not empty, whether
// or not the information line is shown; "" clears it. Capture never shows it.
void SetMessageLine(const char* text);
const char* MessageLine();
