// Video output, the shell's side: display modes, display set-up and release, the
// event pump and quit sequence, the pure palette and pixel converters, and capture.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "video/video.h"

// One display mode. depth is the bits per pixel of the packed format: 16, 24 or 32.
// greenSixBits: 0 for a 5-5-5 16-bit mode (green mask 0x03E0), 1 otherwise
// (5-6-5 and every 24- and 32-bit mode).
struct DisplayMode {
    int32_t width;
    int32_t height;
    int32_t depth;
    int32_t greenSixBits;
};

constexpr int DisplayModeCapacity = 256;
// Entry 0: the desktop's mode (or, when the desktop's depth is not 16, 24 or 32, the
// first accepted listed mode). Entries 1..DisplayModeCount-1: the listed full-screen
// modes, sorted by CompareDisplayModes. Filled once by DiscoverModes.
extern DisplayMode DisplayModeTable[DisplayModeCapacity];
extern int32_t DisplayModeCount;

// 1 while the window is shown and has the focus; presentation draws nothing while 0.
extern int32_t AppActive;

// ---- Palette and pixel conversion (pure, explicit buffers) ----------------------

constexpr int TrueColorBytes = ScreenBytes * 4;   // 256,000: B, G, R, unused per pixel

// 768 bytes of B,G,R triples, 8 bits each; black until the first SetPalette.
extern uint8_t DevicePalette[768];
// 320x200 pixels of 4 bytes (B, G, R, unused), rows of 1,280 bytes. Allocated by
// AllocateTrueColorFrame (the entry, before the demo runs).
extern uint8_t* TrueColorFrame;
bool AllocateTrueColorFrame();

// palette: 256 R,G,B triples of 6-bit components (only the low 6 bits count).
// devicePalette: 256 B,G,R triples, each component (c x 4) in 8 bits (63 -> 252, 64 -> 0).
void ScalePalette(const uint8_t* palette, uint8_t* devicePalette);
// Copies the B,G,R of each pixel's palette entry into the first three bytes of the
// matching 4-byte trueColor pixel; the fourth byte is left alone.
void ExpandFrame(const uint8_t* frame, const uint8_t* devicePalette, uint8_t* trueColor);
// Packs the 320x200 trueColor image into dest (row r at dest + r x pitch) in the
// format of `mode`: 32: the 4 bytes; 24: B,G,R; 16 with greenSixBits 1: 5-6-5
// little-endian; 16 with greenSixBits 0: 5-5-5 (top bit 0). Returns the bytes per
// pixel written, 0 (nothing written) for any other depth.
int PackFrame(const uint8_t* trueColor, uint8_t* dest, int pitch, const DisplayMode& mode);

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
int32_t BuildDisplayModeTable(const ModeCandidate* desktop, const ModeCandidate* listed,
                              int listedCount, DisplayMode* table);

// ---- Display (SDL) ---------------------------------------------------------------

// Initialises SDL video and fills DisplayModeTable from the primary display.
// 0 (after the "DirectDrawCreate error" message) when there is no video at all.
int DiscoverModes();

// How the 320x200 image fills the window: stretched over all of it, or the largest
// 4:3 area centred with black bars.
enum PresentAspectMode { AspectStretch = 0, Aspect4x3 = 1 };
extern int PresentAspect;
extern bool PresentVsync;

// Opens the main window for StartupOptions: windowed ("Tivrel by Zerith", client
// area of the mode's size, not resizable) or full screen ("Test", a real mode change
// to the chosen mode, cursor hidden). 1 on success; 0 after a "DDRAW ERROR" message.
int SetUpDisplay();
// Shows the window; from then on AppActive is 1 until the window loses the focus.
void ShowMainWindow();
// Destroys texture, renderer and window (restoring the desktop's mode). Safe to call
// when nothing was set up.
void ReleaseDisplay();

// A message box owned by the main window (if any) with `caption` (may be ""), and
// the same text as one line on stderr.
void ShowMessage(const char* caption, const char* text);

// Drains the event queue: focus changes set AppActive; Escape, the close box or the
// window manager's close run the quit sequence (and do not return).
void PumpEvents();
// Stop and free the music ("StopSong"/"FreeSong" boxes on failure), close sound,
// release the display, show the cursor (full screen), stop the timer, exit(0).
[[noreturn]] void QuitSequence();

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

// Writes a width x height 8-bit indexed PNG: PLTE = the 256 entries of devicePalette
// (B,G,R order, written as R,G,B), pixel values exactly `pixels`. No time chunk, so
// equal input gives byte-identical files. False with a reason on failure.
bool WriteIndexedPng(const char* path, const uint8_t* pixels, int width, int height,
                     const uint8_t* devicePalette, std::string* error);

struct CaptureSettings {
    std::string directory;
    FrameList frames;
    std::string videoPath;       // empty: no video
    int videoWidth = 1280;
    int videoHeight = 800;
};
// Enters capture mode: creates DIR and DIR/frames, opens DIR/timeline.csv, starts the
// virtual clock (DIR/music.wav) and, with a video path, ffmpeg. From then on
// PresentFrame logs and writes frames instead of showing them. Must be called before
// RunDemo. False with a one-line message on stderr.
bool StartCapture(const CaptureSettings& settings);
bool CaptureActive();
// Completes the WAV, the CSV and the video (muxed with the soundtrack). False when
// something could not be written.
bool FinishCapture();
// Called by PresentFrame in capture mode with the frame just expanded.
void CaptureFrame();
