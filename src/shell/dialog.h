// The setup dialog and its About box (Dear ImGui in a small SDL window).
#pragma once
#include <cstdint>
#include <string>

#include "core/shared.h"
#include "video/modes.h"

// The controls' state: the combo's selection (-1: none), the check boxes.
struct DialogChoice {
    int selectedItem = 0;
    bool windowed = false;
    bool nosound = false;
    bool aspect4x3 = false;   // "Keep 4:3"
    bool vsync = true;        // "Vsync"
};

constexpr int DialogRunDemo = 0;
constexpr int DialogExit = 1;
constexpr int DialogFailed = -1;

// "%dx%dx%d" of width, height, depth: the combo's text for a mode.
std::string ModeItemText(const DisplayMode& mode);

// Shows the setup dialog over DisplayModeTable entries 1..DisplayModeCount-1 with the
// controls preset from *choice; artwork (213x133 RGB) may be null for a plain panel.
// "Run Demo" or Enter: stores the controls in *choice and returns DialogRunDemo. "Exit",
// Escape or closing the window: DialogExit. "About" opens the About box, which only
// its "Ok" button or Enter closes. DialogFailed when the window cannot be opened.
// Needs SDL video initialised (DiscoverModes).
int RunSetupDialog(const uint8_t* artwork, DialogChoice* choice);

// The design's start-up choices of `choice`: selectedMode = item + 1 (0, the
// desktop's mode, with no selection), windowed, soundOn = not "Nosound".
StartupOptionsState StartupOptionsFor(const DialogChoice& choice);
