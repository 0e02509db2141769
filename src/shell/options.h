// The command line. Without options the program behaves as the setup dialog alone
// decides; every option is an opt-in extra.
#pragma once
#include <string>

#include "video/capture.h"
#include "video/modes.h"

// A capture runs at most this long in demo time unless --max-seconds says otherwise.
constexpr int DefaultCaptureMaxSeconds = 3600;

struct ShellOptions {
    bool help = false;
    bool listScenes = false;
    int windowed = -1;   // -1: not given (the dialog's box starts unchecked)
    bool nosound = false;
    bool haveMode = false;
    int modeWidth = 0, modeHeight = 0, modeDepth = 0;
    bool noDialog = false;
    std::string dataPath;   // empty: the default search
    // -1 below: not given (the settings file or the default decides).
    int aspect = -1;                         // AspectStretch or Aspect4x3
    int vsync = -1;                          // 1 --vsync, 0 --no-vsync
    int scale = -1;                          // PresentScaleMode
    int volume = -1;                         // 0..100
    int windowWidth = 0, windowHeight = 0;   // --window WxH (0: not given)
    bool noConfig = false;                   // --no-config: the settings file is neither read nor written
    bool noWatch = false;                    // --no-watch: a content folder is not watched while it plays
    bool version = false;
    bool listModes = false;
    int scene = 0;   // 0: not given; else 1..scene count
    bool capture = false;
    CaptureSettings captureSettings;
    int captureMaxSeconds = DefaultCaptureMaxSeconds;   // the capture's bound in demo time
    bool framesGiven = false;                           // --frames was given (with --video, no PNGs unless it was)
    bool force = false;                                 // --force: a capture may remove the older frames in DIR
    int untilScene = 0;                                 // 0: not given; else stop after scene N (1..scene count)
    int stopSeconds = 0;                                // 0: not given; else stop after S seconds of demo time
    bool bench = false;                                 // --bench: the timedemo
    int runs = 1;                                       // --loop [N]: plays of the demo, 0 forever
};

// Parses argv[1..argc-1]. Options take their value as the next argument or after
// '=' (--mode=640x480x32). False with a one-line reason for an unknown option, a
// missing or malformed value, capture options (--frames, --video, --video-size,
// --video-lossless, --max-seconds, --force) without --capture, --until-scene
// before --scene, or --window with --fullscreen, or --loop without a count in a
// capture. --window implies --windowed. --loop takes an optional count (--loop,
// --loop 3, --loop=3); --kiosk is --fullscreen --nosound --no-config --loop.
bool ParseOptions(int argc, char** argv, ShellOptions* options, std::string* error);
// ParseOptions for a program's entry, with the answers that need no run: false when
// the program ends now with *exitStatus, after the refusal and a hint (2) or after
// printing --help, --version or --list-scenes (0).
bool ReadCommandLine(int argc, char** argv, ShellOptions* options, int* exitStatus);

// The --help text, with the keys and the scene list.
std::string UsageText();
// "tivrel VERSION".
std::string VersionText();
// The modes --mode accepts, one "WxHxD" a line, the desktop's marked.
std::string ModeListText(const DisplayMode* table, int count);
// One line per scene of the scene table: number and name.
std::string SceneListText();

// The words of --scale (stretch, sharp, integer) and --aspect (stretch, 4:3), also
// used by the settings file: the value, or -1 for any other text; and back.
int ScaleFromText(const std::string& text);
int AspectFromText(const std::string& text);
const char* ScaleText(int scale);
const char* AspectText(int aspect);

// "WxH" / "WxHxD" with positive decimal numbers (at most 5 digits each). False on any
// other text.
bool ParseSize(const char* text, int* width, int* height);
bool ParseModeText(const char* text, int* width, int* height, int* depth);

// Index of the mode width x height x depth in table: the first listed entry (1..count-1)
// that matches, else 0 when the desktop's entry matches, else -1.
int FindModeIndex(const DisplayMode* table, int count, int width, int height, int depth);
