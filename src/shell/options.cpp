// Command-line parsing.
#include "shell/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo/demo.h"

std::string SceneListText()
{
    std::string text;
    int count = SceneCount(SceneTable, SceneTableRows);
    for (int n = 1; n <= count; n++) {
        char line[96];
        std::snprintf(line, sizeof line, "  %2d  %s\n", n, SceneName(SceneTable, SceneTableRows, n));
        text += line;
    }
    return text;
}

std::string VersionText() { return std::string("tivrel ") + TIVREL_VERSION + "\n"; }

std::string ModeListText(const DisplayMode* table, int count)
{
    std::string text;
    for (int i = count > 1 ? 1 : 0; i < count; i++) {
        char line[64];
        const DisplayMode& m = table[i];
        const bool desktop = table[0].width == m.width && table[0].height == m.height && table[0].depth == m.depth;
        std::snprintf(line, sizeof line, "%dx%dx%d%s\n", m.width, m.height, m.depth, desktop ? "  (desktop)" : "");
        text += line;
    }
    return text;
}

std::string UsageText()
{
    char scene[96];
    std::snprintf(scene, sizeof scene, "  --scene N             start at scene N (1..%d)\n",
                  SceneCount(SceneTable, SceneTableRows));
    return std::string("Usage: tivrel [options]\n"
                       "Plays the demo. Without options the setup dialog chooses mode, window and sound;\n"
                       "its choices are remembered in $XDG_CONFIG_HOME/tivrel/tivrel.cfg (default\n"
                       "~/.config) and offered again. Options override them for one run.\n"
                       "  --windowed            run in a window\n"
                       "  --fullscreen          run full screen: the desktop's mode without the dialog,\n"
                       "                        the chosen mode with it\n"
                       "  --window WxH          window size (implies --windowed; default the largest\n"
                       "                        whole multiple of the picture that fits the desktop)\n"
                       "  --mode WxHxD          display mode, e.g. 640x480x32, one the display offers\n"
                       "  --list-modes          list the modes --mode accepts and exit\n"
                       "  --nosound             no sound device (the music still drives the demo)\n"
                       "  --volume N            music volume, 0 to 100 (default 100)\n"
                       "  --no-dialog           skip the setup dialog and use the options given or the\n"
                       "                        settings (--windowed, --fullscreen, --window and --mode\n"
                       "                        skip it too)\n"
                       "  --no-config           neither read nor write the settings file\n"
                       "  --data FILE|DIR       data file, or a content folder built in memory (default:\n"
                       "                        tivrel.ovl in the working directory, then beside the\n"
                       "                        program, then in ../share/tivrel from the program)\n"
                       "  --aspect 4:3|stretch  the picture's shape: 4:3 (320x240), or 320x200 stretched\n"
                       "                        as --scale says (the default)\n"
                       "  --scale stretch|sharp|integer\n"
                       "                        fill the window (the default), the largest area of the\n"
                       "                        picture's shape, or its largest whole multiple\n"
                       "  --no-vsync            present as fast as possible instead of at the display's rate\n"
                       "  --vsync               wait for the vertical blank (the default)\n") +
           scene +
           "  --list-scenes         list the scenes and exit\n"
           "  --until-scene N       end the run after scene N (N at least the --scene)\n"
           "  --seconds S           end the run after S seconds of demo time (1..99999)\n"
           "  --capture DIR         render without display or sound device, as fast as possible,\n"
           "                        into DIR: timeline.csv, frames/NNNNNN.png, music.wav\n"
           "    --frames LIST       frames to write as PNG, e.g. 0:99,500,1200:1210, or none\n"
           "                        (default: all; none when --video is given)\n"
           "    --video FILE        also encode the run with its soundtrack (needs ffmpeg)\n"
           "    --video-size WxH    size of that video (default 1280x800)\n"
           "    --video-lossless    encode the video losslessly, for archiving\n"
           "    --force             remove the frames of an earlier capture in DIR\n"
           "    --max-seconds S     refuse or stop a capture longer than S seconds of demo time,\n"
           "                        S from 1 to 99999 (default 3600: 180000 frames)\n"
           "  --bench               run the whole demo headless without output and print timings\n"
           "  --version             print the version and exit\n"
           "  --help                show this text\n"
           "Keys while playing:\n"
           "  Escape                quit\n"
           "  Space, P              pause and resume (picture, timer and music)\n"
           "  PageDown, PageUp      next and previous scene\n"
           "  + and -, M            music volume up and down, mute\n"
           "  I                     information line: scene, order:row, time, frames a second\n"
           "  F12                   save the frame as tivrel-NNNN.png in the working directory\n"
           "  Alt+Enter             switch between window and full screen\n"
           "Scenes:\n" +
           SceneListText();
}

namespace {
const char* const ScaleWords[] = {"stretch", "sharp", "integer"};   // by PresentScaleMode
const char* const AspectWords[] = {"stretch", "4:3"};               // by PresentAspectMode
}   // namespace

int ScaleFromText(const std::string& text)
{
    for (int i = 0; i < 3; i++)
        if (text == ScaleWords[i])
            return i;
    return -1;
}

int AspectFromText(const std::string& text)
{
    for (int i = 0; i < 2; i++)
        if (text == AspectWords[i])
            return i;
    return -1;
}

const char* ScaleText(int scale) { return ScaleWords[scale >= 0 && scale < 3 ? scale : 0]; }
const char* AspectText(int aspect) { return AspectWords[aspect == Aspect4x3 ? 1 : 0]; }

// A positive decimal of 1..5 digits; advances *p past it.
static bool Number(const char** p, int* value)
{
    int digits = 0, v = 0;
    while (**p >= '0' && **p <= '9' && digits < 6) {
        v = v * 10 + (**p - '0');
        ++*p;
        digits++;
    }
    if (digits == 0 || digits > 5 || v == 0)
        return false;
    *value = v;
    return true;
}

bool ParseSize(const char* text, int* width, int* height)
{
    const char* p = text;
    return Number(&p, width) && *p++ == 'x' && Number(&p, height) && *p == '\0';
}

bool ParseModeText(const char* text, int* width, int* height, int* depth)
{
    const char* p = text;
    return Number(&p, width) && *p++ == 'x' && Number(&p, height) && *p++ == 'x' && Number(&p, depth) && *p == '\0';
}

int FindModeIndex(const DisplayMode* table, int count, int width, int height, int depth)
{
    for (int i = 1; i < count; i++)
        if (table[i].width == width && table[i].height == height && table[i].depth == depth)
            return i;
    if (count > 0 && table[0].width == width && table[0].height == height && table[0].depth == depth)
        return 0;
    return -1;
}

static bool ParseArguments(int argc, char** argv, ShellOptions* options, std::string* error)
{
    bool haveFrames = false, haveVideo = false, haveVideoSize = false, haveMaxSeconds = false;
    bool haveLossless = false;
    for (int i = 1; i < argc; i++) {
        std::string name = argv[i];
        std::string inlineValue;
        bool hasInline = false;
        size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasInline = true;
        }
        auto value = [&](std::string* out) {
            if (hasInline) {
                *out = inlineValue;
                return true;
            }
            if (i + 1 >= argc) {
                *error = name + " needs a value";
                return false;
            }
            *out = argv[++i];
            return true;
        };
        auto flag = [&]() {
            if (hasInline) {
                *error = name + " takes no value";
                return false;
            }
            return true;
        };
        std::string v;
        if (name == "--help" || name == "-h") {
            if (!flag())
                return false;
            options->help = true;
        } else if (name == "--list-scenes") {
            if (!flag())
                return false;
            options->listScenes = true;
        } else if (name == "--windowed") {
            if (!flag())
                return false;
            options->windowed = 1;
        } else if (name == "--fullscreen") {
            if (!flag())
                return false;
            options->windowed = 0;
        } else if (name == "--nosound") {
            if (!flag())
                return false;
            options->nosound = true;
        } else if (name == "--no-dialog") {
            if (!flag())
                return false;
            options->noDialog = true;
        } else if (name == "--bench") {
            if (!flag())
                return false;
            options->bench = true;
        } else if (name == "--force") {
            if (!flag())
                return false;
            options->force = true;
        } else if (name == "--video-lossless") {
            if (!flag())
                return false;
            options->captureSettings.videoLossless = true;
            haveLossless = true;
        } else if (name == "--vsync" || name == "--no-vsync") {
            if (!flag())
                return false;
            options->vsync = name == "--vsync" ? 1 : 0;
        } else if (name == "--no-config") {
            if (!flag())
                return false;
            options->noConfig = true;
        } else if (name == "--version") {
            if (!flag())
                return false;
            options->version = true;
        } else if (name == "--list-modes") {
            if (!flag())
                return false;
            options->listModes = true;
        } else if (name == "--window") {
            if (!value(&v))
                return false;
            int w = 0, h = 0;
            if (!ParseSize(v.c_str(), &w, &h) || w < ScreenWidth / 2 || h < ScreenHeight / 2 || w > 16384 ||
                h > 16384) {
                *error = "bad --window \"" + v + "\": expected WIDTHxHEIGHT from 160x100 to 16384x16384";
                return false;
            }
            options->windowWidth = w;
            options->windowHeight = h;
        } else if (name == "--scale") {
            if (!value(&v))
                return false;
            options->scale = ScaleFromText(v);
            if (options->scale < 0) {
                *error = "bad --scale \"" + v + "\": expected stretch, sharp or integer";
                return false;
            }
        } else if (name == "--volume") {
            if (!value(&v))
                return false;
            char* end = nullptr;
            long volume = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || v.size() > 3 || *end != '\0' || v[0] < '0' || v[0] > '9' || volume > 100) {
                *error = "bad --volume \"" + v + "\": expected a number from 0 to 100";
                return false;
            }
            options->volume = int(volume);
        } else if (name == "--mode") {
            if (!value(&v))
                return false;
            if (!ParseModeText(v.c_str(), &options->modeWidth, &options->modeHeight, &options->modeDepth)) {
                *error = "bad --mode \"" + v + "\": expected WIDTHxHEIGHTxDEPTH, e.g. 640x480x32";
                return false;
            }
            options->haveMode = true;
        } else if (name == "--data") {
            if (!value(&v))
                return false;
            if (v.empty()) {
                *error = "--data needs a file name";
                return false;
            }
            options->dataPath = v;
        } else if (name == "--aspect") {
            if (!value(&v))
                return false;
            options->aspect = AspectFromText(v);
            if (options->aspect < 0) {
                *error = "bad --aspect \"" + v + "\": expected 4:3 or stretch";
                return false;
            }
        } else if (name == "--scene") {
            if (!value(&v))
                return false;
            const char* p = v.c_str();
            int scene = 0;
            int count = SceneCount(SceneTable, SceneTableRows);
            if (!Number(&p, &scene) || *p != '\0' || scene > count) {
                *error = "bad --scene \"" + v + "\": expected a scene number from 1 to " + std::to_string(count);
                return false;
            }
            options->scene = scene;
        } else if (name == "--until-scene") {
            if (!value(&v))
                return false;
            const char* p = v.c_str();
            int scene = 0;
            int count = SceneCount(SceneTable, SceneTableRows);
            if (!Number(&p, &scene) || *p != '\0' || scene > count) {
                *error = "bad --until-scene \"" + v + "\": expected a scene number from 1 to " + std::to_string(count);
                return false;
            }
            options->untilScene = scene;
        } else if (name == "--seconds") {
            if (!value(&v))
                return false;
            const char* p = v.c_str();
            if (!Number(&p, &options->stopSeconds) || *p != '\0') {
                *error = "bad --seconds \"" + v + "\": expected whole seconds from 1 to 99999";
                return false;
            }
        } else if (name == "--capture") {
            if (!value(&v))
                return false;
            if (v.empty()) {
                *error = "--capture needs a directory";
                return false;
            }
            options->capture = true;
            options->captureSettings.directory = v;
        } else if (name == "--frames") {
            if (!value(&v))
                return false;
            std::string reason;
            if (v == "none") {
                options->captureSettings.frames.all = false;
                options->captureSettings.frames.ranges.clear();
            } else if (!ParseFrameList(v.c_str(), &options->captureSettings.frames, &reason)) {
                *error = reason;
                return false;
            }
            haveFrames = true;
        } else if (name == "--video") {
            if (!value(&v))
                return false;
            if (v.empty()) {
                *error = "--video needs a file name";
                return false;
            }
            options->captureSettings.videoPath = v;
            haveVideo = true;
        } else if (name == "--video-size") {
            if (!value(&v))
                return false;
            int w = 0, h = 0;
            if (!ParseSize(v.c_str(), &w, &h) || w % 2 != 0 || h % 2 != 0 || w > 7680 || h > 4320) {
                *error = "bad --video-size \"" + v + "\": expected even WIDTHxHEIGHT up to 7680x4320";
                return false;
            }
            options->captureSettings.videoWidth = w;
            options->captureSettings.videoHeight = h;
            haveVideoSize = true;
        } else if (name == "--max-seconds") {
            if (!value(&v))
                return false;
            const char* p = v.c_str();
            if (!Number(&p, &options->captureMaxSeconds) || *p != '\0') {
                *error = "bad --max-seconds \"" + v + "\": expected whole seconds from 1 to 99999";
                return false;
            }
            haveMaxSeconds = true;
        } else {
            *error = "unknown option \"" + std::string(argv[i]) + "\"";
            return false;
        }
    }
    if (!options->capture &&
        (haveFrames || haveVideo || haveVideoSize || haveLossless || haveMaxSeconds || options->force)) {
        *error = "--frames, --video, --video-size, --video-lossless, --max-seconds and --force need --capture DIR";
        return false;
    }
    if ((haveVideoSize || haveLossless) && !haveVideo) {
        *error = std::string(haveVideoSize ? "--video-size" : "--video-lossless") + " needs --video FILE";
        return false;
    }
    if (options->bench && options->capture) {
        *error = "--bench and --capture cannot be combined";
        return false;
    }
    if (options->untilScene != 0 && options->untilScene < (options->scene != 0 ? options->scene : 1)) {
        *error = "--until-scene " + std::to_string(options->untilScene) + " comes before --scene " +
                 std::to_string(options->scene);
        return false;
    }
    if (options->windowWidth != 0) {
        if (options->windowed == 0) {
            *error = "--window and --fullscreen cannot be combined";
            return false;
        }
        options->windowed = 1;
    }
    options->framesGiven = haveFrames;
    // A video alone writes no PNGs; --frames asks for them.
    if (haveVideo && !haveFrames) {
        options->captureSettings.frames.all = false;
        options->captureSettings.frames.ranges.clear();
    }
    // Options that choose the display make the dialog moot.
    if (options->capture || options->bench || options->windowed >= 0 || options->haveMode)
        options->noDialog = true;
    return true;
}

bool ParseOptions(int argc, char** argv, ShellOptions* options, std::string* error)
{
    if (ParseArguments(argc, argv, options, error))
        return true;
    // The reason quotes what was given; control bytes in it must not break the line.
    for (char& c : *error)
        if (uint8_t(c) < 0x20 || c == 0x7f)
            c = '?';
    return false;
}
