// Process entry: options, mode discovery, setup dialog, sound and display set-up, the
// demo, and the normal end. The early end (Escape, close) is the quit sequence,
// run when the demo returns because the user asked to quit.
#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/archive.h"
#include "audio/audio.h"
#include "demo/demo.h"
#include "shell/content_folder.h"
#include "shell/dialog.h"
#include "shell/options.h"
#include "shell/settings.h"
#include "shell/shell.h"
#include "shell/title_art.h"
#include "video/display.h"

static bool FileExists(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

// --data, else tivrel.ovl in the working directory, else beside the executable, else
// in ../share/tivrel from the executable's folder (an installed or staged copy).
static std::string OverlayPath(const ShellOptions& options)
{
    if (!options.dataPath.empty())
        return options.dataPath;
    if (FileExists("tivrel.ovl"))
        return "tivrel.ovl";
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string dir(self, static_cast<size_t>(n));
        dir = dir.substr(0, dir.rfind('/') + 1);
        for (const char* relative : {"tivrel.ovl", "../share/tivrel/tivrel.ovl"})
            if (FileExists(dir + relative))
                return dir + relative;
    }
    return "tivrel.ovl";
}

// "640x480x32, 800x600x32, ..." of the listed modes (the desktop's when none is).
static std::string OfferedModes()
{
    std::string text;
    for (int i = DisplayModeCount > 1 ? 1 : 0; i < DisplayModeCount; i++)
        text += (text.empty() ? "" : ", ") + ModeItemText(DisplayModeTable[i]);
    return text.empty() ? "none" : text;
}

// What the run saves at its end: the settings as read, with the dialog's choices, a
// window size the user changed and the volume the keys left.
static Settings Remembered;
static Settings RememberedAtStart;
static bool RememberSettings = false;
static int StartWindowWidth = 0, StartWindowHeight = 0, StartVolume = 100;

static void SaveRememberedSettings()
{
    if (!RememberSettings)
        return;
    if ((WindowWidth != StartWindowWidth || WindowHeight != StartWindowHeight) && WindowWidth > 0 && WindowHeight > 0) {
        Remembered.windowWidth = WindowWidth;
        Remembered.windowHeight = WindowHeight;
    }
    if (MusicVolume() != StartVolume)
        Remembered.volume = MusicVolume();
    if (Remembered == RememberedAtStart)
        return;
    std::string error;
    if (SaveSettings(Remembered, &error))
        RememberedAtStart = Remembered;
    else
        std::fprintf(stderr, "tivrel: settings not saved: %s\n", error.c_str());
}

int main(int argc, char** argv)
{
    ShellOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "tivrel: %s\nTry 'tivrel --help' for the options.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(VersionText().c_str(), stdout);
        return 0;
    }
    if (options.listScenes) {
        std::fputs(SceneListText().c_str(), stdout);
        return 0;
    }
    if (options.listModes) {
        if (!DiscoverModes())
            return 1;
        std::fputs(ModeListText(DisplayModeTable, DisplayModeCount).c_str(), stdout);
        SDL_Quit();
        return 0;
    }
    static std::string overlayPath = OverlayPath(options);
    if (IsContentFolder(overlayPath) && !BuildContentFolder(&overlayPath, &error)) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        return 1;
    }
    overlayName = overlayPath.c_str();
    // A FIFO or device given as the data file is refused before any window
    // opens (a missing file is the reader's "Cannot open" line, later).
    struct stat data;
    if (stat(overlayPath.c_str(), &data) == 0 && !S_ISREG(data.st_mode)) {
        std::fprintf(stderr, "tivrel: %s is not a regular file\n", overlayPath.c_str());
        return 1;
    }
    if (options.scene != 0)
        DemoStartScene = options.scene;
    if (options.capture || options.bench) {
        // Never the settings file: these runs depend on their options alone.
        PresentAspect = options.aspect >= 0 ? options.aspect : AspectStretch;
        return options.capture ? RunCapture(options) : RunBench(options);
    }

    Settings settings;
    if (!options.noConfig) {
        std::string warning;
        LoadSettings(&settings, &warning);
        if (!warning.empty())
            std::fprintf(stderr, "tivrel: %s\n", warning.c_str());
    }

    // Display modes; without any video there is neither dialog nor display.
    if (!DiscoverModes())
        return 1;

    // This run: the settings with the command line over them; only the dialog's
    // choices, a window size the user changed and the volume are saved.
    const Settings run = OverrideSettings(settings, options);
    DialogChoice choice;
    choice.windowed = run.windowed;
    choice.nosound = run.nosound;
    choice.aspect4x3 = run.aspect == Aspect4x3;
    choice.vsync = run.vsync;
    if (options.haveMode) {
        int index =
            FindModeIndex(DisplayModeTable, DisplayModeCount, options.modeWidth, options.modeHeight, options.modeDepth);
        if (index < 0) {
            std::fprintf(stderr, "tivrel: the display does not offer the mode %dx%dx%d; it offers %s\n",
                         options.modeWidth, options.modeHeight, options.modeDepth, OfferedModes().c_str());
            SDL_Quit();
            return 1;
        }
        choice.selectedItem = index - 1;
    } else {
        choice.selectedItem = SavedModeItem(settings, DisplayModeTable, DisplayModeCount);
    }

    if (options.noDialog) {
        StartupOptions.selectedMode = choice.selectedItem + 1;
        StartupOptions.windowed = choice.windowed ? 1 : 0;
        StartupOptions.soundOn = choice.nosound ? 0 : 1;
        // Full screen without the dialog keeps the desktop's mode unless --mode chose one.
        FullScreenDesktop = !options.haveMode;
    } else {
        static uint8_t artwork[TitleArtBytes];
        bool haveArtwork = LoadTitleArt(overlayPath.c_str(), artwork);
        int result = RunSetupDialog(haveArtwork ? artwork : nullptr, &choice);
        if (result == DialogExit) {
            SDL_Quit();
            return 0;
        }
        if (result != DialogRunDemo) {
            SDL_Quit();
            return 1;
        }
        if (choice.selectedItem >= 0) {
            const DisplayMode& mode = DisplayModeTable[choice.selectedItem + 1];
            settings.haveMode = true;
            settings.modeWidth = mode.width;
            settings.modeHeight = mode.height;
            settings.modeDepth = mode.depth;
        }
        settings.windowed = choice.windowed;
        settings.nosound = choice.nosound;
        settings.aspect = choice.aspect4x3 ? Aspect4x3 : AspectStretch;
        settings.vsync = choice.vsync;
    }
    PresentAspect = choice.aspect4x3 ? Aspect4x3 : AspectStretch;
    PresentVsync = choice.vsync;
    PresentScale = run.scale;
    WindowWidth = run.windowWidth;
    WindowHeight = run.windowHeight;

    MusicInit(StartupOptions.soundOn != 0);
    SetMusicVolume(run.volume);
    if (!AllocateTrueColorFrame()) {
        std::fputs("\376 Not enough memory!\n", stdout);
        MusicClose();
        SDL_Quit();
        return 1;
    }
    UsePresentBackend(&SdlBackend);
    if (!SdlBackend.open()) {
        MusicClose();
        SDL_Quit();
        return 1;
    }
    Remembered = settings;
    RememberSettings = !options.noConfig;
    StartWindowWidth = WindowWidth;
    StartWindowHeight = WindowHeight;
    StartVolume = MusicVolume();
    // The dialog's choices are kept even if the run does not end in order.
    if (!options.noDialog)
        SaveRememberedSettings();
    BeforeExit = SaveRememberedSettings;
    LimitLiveRun(options.untilScene, options.stopSeconds);
    if (RunDemo() == DemoQuit)
        QuitSequence();
    SaveRememberedSettings();
    if (!FreeMusic())
        ShowMessage("", "FreeSong");
    MusicClose();
    SdlBackend.close();
    SDL_Quit();
    return 0;
}
