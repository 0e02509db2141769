// Video output, the shell's side: display modes, display set-up and release, the
// event pump and quit sequence, the pure palette and pixel converters, and capture.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/pixels.h"
#include "core/safe_write.h"
#include "video/video.h"

constexpr int DisplayModeCapacity = 256;
// Entry 0: the desktop's mode (or, when the desktop's depth is not 16, 24 or 32, the
// first accepted listed mode). Entries 1..DisplayModeCount-1: the listed full-screen
// modes, sorted by CompareDisplayModes. Filled once by DiscoverModes.
extern DisplayMode DisplayModeTable[DisplayModeCapacity];
extern int32_t DisplayModeCount;

// 1 while the window is shown and has the focus; presentation draws nothing while 0.
extern int32_t AppActive;

// ---- Display modes (pure part) ---------------------------------------------------

// A mode as the platform reports it: size, bits per pixel of the packed format
// (8 for palette modes), green mask (0 when not a packed RGB format).
struct ModeCandidate {
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    uint32_t greenMask;
};

// Appends `mode` to table[*count] if its depth is 16, 24 or 32, it is at least
// 320x200 and the table has room (DisplayModeCapacity). Returns whether it was added.
bool AcceptDisplayMode(const ModeCandidate& mode, DisplayMode* table, int32_t* count);
// Depth descending, then width ascending, then height ascending: -1, 0 or 1.
int CompareDisplayModes(const DisplayMode& a, const DisplayMode& b);
// Builds the table: the desktop first, then every listed mode, then sorts entries
// 1..count-1. desktop may be null (its query failed). Returns the count.
int32_t BuildDisplayModeTable(const ModeCandidate* desktop, const ModeCandidate* listed, int listedCount,
                              DisplayMode* table);

// ---- Display (SDL) ---------------------------------------------------------------

// Initialises SDL video and fills DisplayModeTable from the primary display.
// 0 (after the "DirectDrawCreate error" message) when there is no video at all.
int DiscoverModes();

// How the 320x200 image fills the window or screen. Aspect: the picture's shape,
// AspectStretch the square pixels of 320x200 (or the whole output with
// ScaleStretch), Aspect4x3 320x240. Scale: ScaleStretch over the whole output (4:3
// with Aspect4x3), ScaleSharp the largest area of the picture's shape (sharp pixels:
// a whole-multiple copy smoothed down to the size), ScaleInteger the largest whole
// multiple of the picture that fits (ScaleSharp when not even one fits). Both
// centred with black bars.
enum PresentAspectMode { AspectStretch = 0, Aspect4x3 = 1 };
enum PresentScaleMode { ScaleStretch = 0, ScaleSharp = 1, ScaleInteger = 2 };
extern int PresentAspect;
extern int PresentScale;
// Wait for the vertical blank when presenting (SDL simulates it where the driver has
// none). False: frames as fast as they come.
extern bool PresentVsync;
// The window's client size in the windowed form; 0x0 gives DefaultWindowSize. Kept
// up to date while the user resizes the window.
extern int WindowWidth, WindowHeight;
// Full screen in the desktop's own mode (no mode change) rather than the chosen mode.
extern bool FullScreenDesktop;

struct PictureRect {
    int x, y, w, h;
};
// Where the picture goes in an output of outputWidth x outputHeight pixels.
PictureRect PictureDestination(int outputWidth, int outputHeight, int scale, int aspect);
// The largest whole multiple of 320x200 (320x240 with Aspect4x3) that fits in
// usableWidth x usableHeight (one at least).
void DefaultWindowSize(int usableWidth, int usableHeight, int aspect, int* width, int* height);

// Opens the main window for StartupOptions: windowed ("Tivrel by Zerith", resizable,
// client WindowWidth x WindowHeight) or full screen ("Test"; the chosen mode, or the
// desktop's with FullScreenDesktop). The cursor is hidden in both. 1 on success; 0
// after a "DDRAW ERROR" message.
int SetUpDisplay();
// Shows the window; from then on AppActive is 1 until the window loses the focus.
void ShowMainWindow();
// Destroys texture, renderer and window (restoring the desktop's mode) and shows the
// cursor again. Safe to call when nothing was set up.
void ReleaseDisplay();
// Between the window and desktop full screen (Alt+Enter).
void ToggleFullScreen();

// The SDL window as a presentation backend: open runs SetUpDisplay and shows the
// window; present packs the frame into the window's texture and draws the
// information line over it (nothing while the window is inactive: then it waits up
// to 50 ms for an event instead, so the loop does not spin); pollEvents follows
// focus, reports Escape and the close box as a quit, and handles Alt+Enter, F12
// and I itself; the other keys become KeyActions; close is ReleaseDisplay.
extern const PresentBackend SdlBackend;

// F12: FrameBuffer through DevicePalette as an indexed PNG, "tivrel-NNNN.png" (the
// first free number from 0001) in the working directory, through a safe write;
// one line on stderr either way. False when nothing was written.
bool SaveScreenshot();

// A message box owned by the main window (if any) with `caption` (may be ""), and
// the same text as one line on stderr.
void ShowMessage(const char* caption, const char* text);

// ---- Capture mode ------------------------------------------------------------------

// Frame numbers to write as PNG: inclusive ranges; `all` selects every frame.
struct FrameList {
    bool all = true;
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
};
// "0:99,500,1200:1210": comma-separated numbers and inclusive ranges first:last
// (first <= last), decimal, no blanks. False with a one-line reason on bad input.
bool ParseFrameList(const char* text, FrameList* list, std::string* error);
bool FrameListContains(const FrameList& list, uint32_t frame);

// Encodes a width x height 8-bit indexed PNG into *out: PLTE = the 256 entries of
// devicePalette (B,G,R order, written as R,G,B), pixel values exactly `pixels`. No
// time chunk, so equal input gives byte-identical files. False with a reason.
bool EncodeIndexedPng(const uint8_t* pixels, int width, int height, const uint8_t* devicePalette,
                      std::vector<uint8_t>* out, std::string* error);

struct CaptureSettings {
    std::string directory;
    FrameList frames;
    std::string videoPath;   // empty: no video
    int videoWidth = 1280;
    int videoHeight = 800;
    bool videoLossless = false;   // --video-lossless
    bool force = false;           // remove the frames of an earlier capture in DIR first
};
// Capture as a presentation backend (set the settings first; capture.h has the
// rest). open creates and opens DIR and, when frames are asked for, DIR/frames (a
// symlink planted as frames is refused); it refuses a DIR/frames holding
// NNNNNN.png files of an earlier run unless `force`, which removes exactly those.
// present starts the encoder threads and ffmpeg (with a video path) at the first
// frame, queues the chosen frames for the threads, which write them as
// DIR/frames/NNNNNN.png (numbered from 0 in presentation order, written in that
// order, each a safe write), and sends every frame to ffmpeg; pollEvents reports a
// failed write as a quit; close writes every queued frame, ends ffmpeg's input,
// waits for it to finish the file, and closes the folders.
void ConfigureCapture(const CaptureSettings& settings);
extern const PresentBackend CaptureBackend;
// DIR as the open capture backend holds it, for the run's other files.
const SafeFolder& CaptureFolder();
