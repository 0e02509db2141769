// Command-line parsing.
#include "shell/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo/scene_table.h"

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
                       "                        program, then in ../share/tivrel from the program); a\n"
                       "                        content folder is watched while it plays: a save rebuilds\n"
                       "                        it and restarts the scene with the new data\n"
                       "  --no-watch            play a content folder as built at the start\n"
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
           "  --loop [N]            after the end start again at scene 1, N plays in all\n"
           "                        (without N until Escape); a capture needs N\n"
           "  --kiosk               unattended screens and screensavers: --fullscreen\n"
           "                        --nosound --no-config --loop (full screen in the desktop's\n"
           "                        mode, no dialog, no sound, no settings file, forever)\n"
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

namespace {

// What the checks after the loop need to know was given.
struct Given {
    bool frames = false, video = false, videoSize = false, lossless = false, maxSeconds = false;
    bool loop = false, kiosk = false;
};

// Options without a value.
struct FlagOption {
    const char* name;
    void (*set)(ShellOptions*, Given*);
};
const FlagOption FlagOptions[] = {
    {"--help", [](ShellOptions* o, Given*) { o->help = true; }},
    {"-h", [](ShellOptions* o, Given*) { o->help = true; }},
    {"--list-scenes", [](ShellOptions* o, Given*) { o->listScenes = true; }},
    {"--list-modes", [](ShellOptions* o, Given*) { o->listModes = true; }},
    {"--version", [](ShellOptions* o, Given*) { o->version = true; }},
    {"--windowed", [](ShellOptions* o, Given*) { o->windowed = 1; }},
    {"--fullscreen", [](ShellOptions* o, Given*) { o->windowed = 0; }},
    {"--nosound", [](ShellOptions* o, Given*) { o->nosound = true; }},
    {"--no-dialog", [](ShellOptions* o, Given*) { o->noDialog = true; }},
    {"--no-config", [](ShellOptions* o, Given*) { o->noConfig = true; }},
    {"--no-watch", [](ShellOptions* o, Given*) { o->noWatch = true; }},
    {"--vsync", [](ShellOptions* o, Given*) { o->vsync = 1; }},
    {"--no-vsync", [](ShellOptions* o, Given*) { o->vsync = 0; }},
    {"--bench", [](ShellOptions* o, Given*) { o->bench = true; }},
    {"--force", [](ShellOptions* o, Given*) { o->force = true; }},
    {"--kiosk",
     [](ShellOptions* o, Given* g) {
         o->windowed = 0;
         o->nosound = true;
         o->noConfig = true;
         g->kiosk = true;
     }},
    {"--video-lossless",
     [](ShellOptions* o, Given* g) {
         o->captureSettings.videoLossless = true;
         g->lossless = true;
     }},
};

// Options with a value: `parse` stores it and returns "", or returns the reason it
// was refused. A reason starting with "expected" is completed as
// bad NAME "VALUE": expected ...
struct ValueOption {
    const char* name;
    std::string (*parse)(const std::string& v, ShellOptions*, Given*);
};

// A whole number of 1..5 digits and nothing else.
bool WholeNumber(const std::string& v, int* out)
{
    const char* p = v.c_str();
    return Number(&p, out) && *p == '\0';
}

std::string SceneNumber(const std::string& v, int* out)
{
    int count = SceneCount(SceneTable, SceneTableRows);
    int scene = 0;
    if (!WholeNumber(v, &scene) || scene > count)
        return "expected a scene number from 1 to " + std::to_string(count);
    *out = scene;
    return "";
}

const ValueOption ValueOptions[] = {
    {"--window",
     [](const std::string& v, ShellOptions* o, Given*) -> std::string {
         int w = 0, h = 0;
         if (!ParseSize(v.c_str(), &w, &h) || w < ScreenWidth / 2 || h < ScreenHeight / 2 || w > 16384 || h > 16384)
             return "expected WIDTHxHEIGHT from 160x100 to 16384x16384";
         o->windowWidth = w;
         o->windowHeight = h;
         return "";
     }},
    {"--scale",
     [](const std::string& v, ShellOptions* o, Given*) -> std::string {
         o->scale = ScaleFromText(v);
         return o->scale < 0 ? "expected stretch, sharp or integer" : "";
     }},
    {"--aspect",
     [](const std::string& v, ShellOptions* o, Given*) -> std::string {
         o->aspect = AspectFromText(v);
         return o->aspect < 0 ? "expected 4:3 or stretch" : "";
     }},
    {"--volume",
     [](const std::string& v, ShellOptions* o, Given*) -> std::string {
         char* end = nullptr;
         long volume = std::strtol(v.c_str(), &end, 10);
         if (v.empty() || v.size() > 3 || *end != '\0' || v[0] < '0' || v[0] > '9' || volume > 100)
             return "expected a number from 0 to 100";
         o->volume = int(volume);
         return "";
     }},
    {"--mode",
     [](const std::string& v, ShellOptions* o, Given*) -> std::string {
         if (!ParseModeText(v.c_str(), &o->modeWidth, &o->modeHeight, &o->modeDepth))
             return "expected WIDTHxHEIGHTxDEPTH, e.g. 640x480x32";
         o->haveMode = true;
         return "";
     }},
    {"--data",
     [](const std::string& v, ShellOptions* o, Given*) -> std::string {
         o->dataPath = v;
         return v.empty() ? "--data needs a file name" : "";
     }},
    {"--scene", [](const std::string& v, ShellOptions* o, Given*) { return SceneNumber(v, &o->scene); }},
    {"--until-scene", [](const std::string& v, ShellOptions* o, Given*) { return SceneNumber(v, &o->untilScene); }},
    {"--seconds",
     [](const std::string& v, ShellOptions* o, Given*) -> std::string {
         return WholeNumber(v, &o->stopSeconds) ? "" : "expected whole seconds from 1 to 99999";
     }},
    {"--capture",
     [](const std::string& v, ShellOptions* o, Given*) -> std::string {
         o->capture = true;
         o->captureSettings.directory = v;
         return v.empty() ? "--capture needs a directory" : "";
     }},
    {"--frames",
     [](const std::string& v, ShellOptions* o, Given* g) -> std::string {
         g->frames = true;
         std::string reason;
         if (v == "none") {
             o->captureSettings.frames.all = false;
             o->captureSettings.frames.ranges.clear();
         } else if (!ParseFrameList(v.c_str(), &o->captureSettings.frames, &reason)) {
             return reason;
         }
         return "";
     }},
    {"--video",
     [](const std::string& v, ShellOptions* o, Given* g) -> std::string {
         o->captureSettings.videoPath = v;
         g->video = true;
         return v.empty() ? "--video needs a file name" : "";
     }},
    {"--video-size",
     [](const std::string& v, ShellOptions* o, Given* g) -> std::string {
         int w = 0, h = 0;
         if (!ParseSize(v.c_str(), &w, &h) || w % 2 != 0 || h % 2 != 0 || w > 7680 || h > 4320)
             return "expected even WIDTHxHEIGHT up to 7680x4320";
         o->captureSettings.videoWidth = w;
         o->captureSettings.videoHeight = h;
         g->videoSize = true;
         return "";
     }},
    {"--max-seconds",
     [](const std::string& v, ShellOptions* o, Given* g) -> std::string {
         g->maxSeconds = true;
         return WholeNumber(v, &o->captureMaxSeconds) ? "" : "expected whole seconds from 1 to 99999";
     }},
};

// The rules between options, after all of them were read.
bool CheckCombinations(ShellOptions* options, const Given& given, std::string* error)
{
    if (!options->capture &&
        (given.frames || given.video || given.videoSize || given.lossless || given.maxSeconds || options->force)) {
        *error = "--frames, --video, --video-size, --video-lossless, --max-seconds and --force need --capture DIR";
        return false;
    }
    if ((given.videoSize || given.lossless) && !given.video) {
        *error = std::string(given.videoSize ? "--video-size" : "--video-lossless") + " needs --video FILE";
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
    if (given.kiosk && !given.loop)
        options->runs = 0;
    if (options->capture && options->runs == 0) {
        *error = "--loop needs a count with --capture";
        return false;
    }
    if (options->windowWidth != 0) {
        if (options->windowed == 0) {
            *error = "--window and --fullscreen cannot be combined";
            return false;
        }
        options->windowed = 1;
    }
    options->framesGiven = given.frames;
    // A video alone writes no PNGs; --frames asks for them.
    if (given.video && !given.frames) {
        options->captureSettings.frames.all = false;
        options->captureSettings.frames.ranges.clear();
    }
    // Options that choose the display make the dialog moot.
    if (options->capture || options->bench || options->windowed >= 0 || options->haveMode)
        options->noDialog = true;
    return true;
}

bool ParseArguments(int argc, char** argv, ShellOptions* options, std::string* error)
{
    Given given;
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
        if (name == "--loop") {
            // An optional count: the next argument when it is a number.
            const bool counted = hasInline || (i + 1 < argc && argv[i + 1][0] >= '0' && argv[i + 1][0] <= '9');
            given.loop = true;
            options->runs = 0;
            if (counted && !WholeNumber(hasInline ? inlineValue : argv[++i], &options->runs)) {
                *error = "bad --loop \"" + std::string(hasInline ? inlineValue : argv[i]) +
                         "\": expected a count from 1 to 99999";
                return false;
            }
            continue;
        }
        const FlagOption* flag = nullptr;
        for (const FlagOption& f : FlagOptions)
            if (name == f.name)
                flag = &f;
        if (flag != nullptr) {
            if (hasInline) {
                *error = name + " takes no value";
                return false;
            }
            flag->set(options, &given);
            continue;
        }
        const ValueOption* option = nullptr;
        for (const ValueOption& o : ValueOptions)
            if (name == o.name)
                option = &o;
        if (option == nullptr) {
            *error = "unknown option \"" + std::string(argv[i]) + "\"";
            return false;
        }
        if (!hasInline && i + 1 >= argc) {
            *error = name + " needs a value";
            return false;
        }
        std::string v = hasInline ? inlineValue : argv[++i];
        std::string reason = option->parse(v, options, &given);
        if (!reason.empty()) {
            *error = reason.rfind("expected", 0) == 0 ? "bad " + name + " \"" + v + "\": " + reason : reason;
            return false;
        }
    }
    return CheckCombinations(options, given, error);
}

}   // namespace

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

bool ReadCommandLine(int argc, char** argv, ShellOptions* options, int* exitStatus)
{
    std::string error;
    if (!ParseOptions(argc, argv, options, &error)) {
        std::fprintf(stderr, "tivrel: %s\nTry 'tivrel --help' for the options.\n", error.c_str());
        *exitStatus = 2;
        return false;
    }
    if (options->help || options->version || options->listScenes) {
        std::fputs((options->help ? UsageText() : options->version ? VersionText() : SceneListText()).c_str(), stdout);
        *exitStatus = 0;
        return false;
    }
    return true;
}
