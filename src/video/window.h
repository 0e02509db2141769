// The SDL window: display set-up and release, the window as a presentation backend,
// the screenshot and the message boxes.
#pragma once
#include <cstdint>

#include "video/modes.h"
#include "video/video.h"

// 1 while the window is shown and has the focus; presentation draws nothing while 0.
extern int32_t AppActive;

// Opens the main window for StartupOptions and `settings`: windowed ("Tivrel by
// Zerith", resizable, client settings.windowWidth x windowHeight) or full screen
// ("Test"; the chosen mode, or the desktop's with settings.fullScreenDesktop). The
// cursor is hidden in both. False after a "DDRAW ERROR" message.
bool SetUpDisplay(const PresentSettings& settings);
// Shows the window; from then on AppActive is 1 until the window loses the focus.
void ShowMainWindow();
// Destroys texture, renderer and window (restoring the desktop's mode) and shows the
// cursor again. Safe to call when nothing was set up.
void ReleaseDisplay();
// Between the window and desktop full screen (Alt+Enter).
void ToggleFullScreen();
// The window's client size in the windowed form as the user left it (0x0 before a
// window was opened).
void WindowClientSize(int* width, int* height);

// The SDL window as a presentation backend: open runs SetUpDisplay and shows the
// window; present packs the frame into the window's texture and draws the
// information line over it (nothing while the window is inactive: then it waits up
// to 50 ms for an event instead, so the loop does not spin); pollEvents follows
// focus, reports Escape and the close box as a quit, and handles Alt+Enter, F12
// and I itself; the other keys become KeyActions; waitForInput waits for an event;
// close is ReleaseDisplay.
extern const PresentBackend SdlBackend;

// F12: FrameBuffer through DevicePalette as an indexed PNG, "tivrel-NNNN.png" (the
// first free number from 0001) in the working directory, through a safe write;
// one line on stderr either way. False when nothing was written.
bool SaveScreenshot();

// A message box owned by the main window (if any) with `caption` (may be ""), and
// the same text as one line on stderr.
void ShowMessage(const char* caption, const char* text);
