// The settings file: the choices a user made, offered again next time.
//
// Format: text lines "key = value"; blanks around both are ignored, and so are empty
// lines and lines starting with '#'. Keys (each at most once, any order, all optional):
//   mode     = WxHxD          the full-screen mode chosen in the dialog
//   windowed = yes|no
//   nosound  = yes|no
//   aspect   = stretch|4:3
//   vsync    = yes|no
//   scale    = stretch|sharp|integer
//   window   = WxH            the window's size when it was last changed
//   volume   = 0..100
// The parser is pure (no files, no SDL): the fuzz target calls it directly.
#pragma once
#include <cstddef>
#include <string>

#include "shell/options.h"
#include "video/modes.h"
#include "video/video.h"

struct Settings {
    bool haveMode = false;
    int modeWidth = 0, modeHeight = 0, modeDepth = 0;
    bool windowed = false;
    bool nosound = false;
    int aspect = AspectStretch;
    bool vsync = true;
    int scale = ScaleStretch;
    int windowWidth = 0, windowHeight = 0;   // 0x0: not remembered
    int volume = 100;
};

// Reads `size` bytes of settings text into *settings (keys not given keep their
// values). False with a one-line reason ("line N: ...") at the first bad line, an
// unknown or repeated key, a bad value, a NUL byte or text over 64 KiB; *settings is
// then unchanged.
bool ParseSettings(const char* text, size_t size, Settings* settings, std::string* error);
// The text ParseSettings reads back into equal settings.
std::string FormatSettings(const Settings& settings);
bool operator==(const Settings& a, const Settings& b);

// The settings of this run: `saved` with every option the command line gave in its
// place (--window also sets windowed; --nosound only ever turns the sound off).
Settings OverrideSettings(const Settings& saved, const ShellOptions& options);

// The dialog's list item (table entry - 1) to preselect for the saved mode: that
// mode's, the desktop's when the display no longer offers it, the first item
// without a saved mode; -1 when the list is empty.
int SavedModeItem(const Settings& saved, const DisplayMode* table, int count);

// $XDG_CONFIG_HOME/tivrel/tivrel.cfg, with ~/.config for an unset or relative
// XDG_CONFIG_HOME; "" when neither it nor HOME is usable.
std::string SettingsPath();
// Reads the settings file into *settings. A missing file leaves the defaults and is
// no warning; a damaged or unreadable one leaves them too and sets *warning to one
// line naming the file.
void LoadSettings(Settings* settings, std::string* warning);
// Writes the settings file (a safe write, making its folder first). False with a
// one-line reason.
bool SaveSettings(const Settings& settings, std::string* error);
