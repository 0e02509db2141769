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
#include "audio/sound_output.h"
#include "clock/tick_source.h"
#include "core/fail.h"
#include "core/process.h"
#include "demo/startup.h"
#include "shell/content_folder.h"
#include "shell/content_watch.h"
#include "shell/dialog.h"
#include "shell/options.h"
#include "shell/settings.h"
#include "shell/shell.h"
#include "shell/title_art.h"
#include "video/window.h"

namespace {

bool FileExists(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

// --data, else tivrel.ovl in the working directory, else beside the executable, else
// in ../share/tivrel from the executable's folder (an installed or staged copy).
std::string OverlayPath(const ShellOptions& options)
{
    if (!options.dataPath.empty())
        return options.dataPath;
    if (FileExists("tivrel.ovl"))
        return "tivrel.ovl";
    const std::string folder = ProgramFolder();
    if (!folder.empty())
        for (const char* relative : {"tivrel.ovl", "../share/tivrel/tivrel.ovl"})
            if (FileExists(folder + relative))
                return folder + relative;
    return "tivrel.ovl";
}

// The data file this run reads into *path: a content folder is built in memory
// first. False after one line on stderr.
bool FindData(const ShellOptions& options, std::string* path)
{
    std::string error;
    *path = OverlayPath(options);
    if (IsContentFolder(*path) && !BuildContentFolder(path, &error)) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        return false;
    }
    // A FIFO or device given as the data file is refused before any window opens
    // (a missing file is the reader's "Cannot open" line, later).
    struct stat data;
    if (stat(path->c_str(), &data) == 0 && !S_ISREG(data.st_mode)) {
        std::fprintf(stderr, "tivrel: %s is not a regular file\n", path->c_str());
        return false;
    }
    return true;
}

// "640x480x32, 800x600x32, ..." of the listed modes (the desktop's when none is).
std::string OfferedModes()
{
    std::string text;
    for (int i = DisplayModeCount > 1 ? 1 : 0; i < DisplayModeCount; i++)
        text += (text.empty() ? "" : ", ") + ModeItemText(DisplayModeTable[i]);
    return text.empty() ? "none" : text;
}

// What the run saves at its end: the settings as read, with the dialog's choices, a
// window size the user changed and the volume the keys left.
struct RememberedSettings {
    bool enabled = false;
    Settings settings;
    Settings atStart;                                      // as last saved (or read)
    int windowWidth = 0, windowHeight = 0, volume = 100;   // as the run started
};
RememberedSettings Remembered;

void SaveRememberedSettings()
{
    RememberedSettings& r = Remembered;
    if (!r.enabled)
        return;
    int width = 0, height = 0;
    WindowClientSize(&width, &height);
    if ((width != r.windowWidth || height != r.windowHeight) && width > 0 && height > 0) {
        r.settings.windowWidth = width;
        r.settings.windowHeight = height;
    }
    if (MusicVolume() != r.volume)
        r.settings.volume = MusicVolume();
    if (r.settings == r.atStart)
        return;
    std::string error;
    if (SaveSettings(r.settings, &error))
        r.atStart = r.settings;
    else
        std::fprintf(stderr, "tivrel: settings not saved: %s\n", error.c_str());
}

// The dialog's controls as this run's settings and options preset them; false (after
// one line) when --mode names a mode the display does not offer.
bool PresetChoice(const Settings& saved, const Settings& run, const ShellOptions& options, DialogChoice* choice)
{
    choice->windowed = run.windowed;
    choice->nosound = run.nosound;
    choice->aspect4x3 = run.aspect == Aspect4x3;
    choice->vsync = run.vsync;
    if (!options.haveMode) {
        choice->selectedItem = SavedModeItem(saved, DisplayModeTable, DisplayModeCount);
        return true;
    }
    const int index =
        FindModeIndex(DisplayModeTable, DisplayModeCount, options.modeWidth, options.modeHeight, options.modeDepth);
    if (index < 0) {
        std::fprintf(stderr, "tivrel: the display does not offer the mode %dx%dx%d; it offers %s\n", options.modeWidth,
                     options.modeHeight, options.modeDepth, OfferedModes().c_str());
        return false;
    }
    choice->selectedItem = index - 1;
    return true;
}

// The dialog's choices into the settings to save.
void RememberChoice(const DialogChoice& choice, Settings* settings)
{
    if (choice.selectedItem >= 0) {
        const DisplayMode& mode = DisplayModeTable[choice.selectedItem + 1];
        settings->haveMode = true;
        settings->modeWidth = mode.width;
        settings->modeHeight = mode.height;
        settings->modeDepth = mode.depth;
    }
    settings->windowed = choice.windowed;
    settings->nosound = choice.nosound;
    settings->aspect = choice.aspect4x3 ? Aspect4x3 : AspectStretch;
    settings->vsync = choice.vsync;
}

// Live play after the display is chosen: sound, the window, the demo, both ends.
int PlayLive(const ShellOptions& options, const DialogChoice& choice, const Settings& run)
{
    PresentSettings present;
    present.aspect = choice.aspect4x3 ? Aspect4x3 : AspectStretch;
    present.vsync = choice.vsync;
    present.scale = run.scale;
    present.windowWidth = run.windowWidth;
    present.windowHeight = run.windowHeight;
    // Full screen without the dialog keeps the desktop's mode unless --mode chose one.
    present.fullScreenDesktop = options.noDialog && !options.haveMode;

    MusicInit(StartupOptions.soundOn != 0 ? &SdlSoundOutput : nullptr);
    SetMusicVolume(run.volume);
    if (!AllocateTrueColorFrame())
        OutOfMemoryExit();
    UsePresentBackend(&SdlBackend);
    if (!SdlBackend.open(present)) {
        MusicClose();
        SDL_Quit();
        return 1;
    }
    WindowClientSize(&Remembered.windowWidth, &Remembered.windowHeight);
    Remembered.volume = MusicVolume();
    // The dialog's choices are kept even if the run does not end in order.
    if (!options.noDialog)
        SaveRememberedSettings();
    UseTickSource(&ThreadTickSource);
    LiveLimits limits;
    DemoHooks hooks = LiveRunHooks(&limits, options.untilScene, options.stopSeconds);
    // A content folder is rebuilt and replayed as its sources are saved.
    static ContentWatch watch;
    std::string watchError;
    const bool watching = !options.noWatch && IsContentFolder(options.dataPath);
    if (watching && StartContentWatch(&watch, options.dataPath, overlayName, &watchError))
        hooks = WatchedHooks(&watch, hooks);
    else if (watching)
        std::fprintf(stderr, "tivrel: %s\n", watchError.c_str());
    hooks.runs = options.runs;
    const DemoEnd end = RunDemo(options.scene, hooks);
    StopContentWatch(&watch);
    // Saved while the display is still up, on either end.
    SaveRememberedSettings();
    if (end == DemoQuit)
        QuitSequence();
    if (!FreeMusic())
        ShowMessage("", "FreeSong");
    MusicClose();
    SdlBackend.close();
    SDL_Quit();
    return 0;
}

// The settings file, the modes, the dialog (unless an option chose the display),
// then PlayLive.
int RunLive(const ShellOptions& options, const std::string& dataPath)
{
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
    if (!PresetChoice(settings, run, options, &choice)) {
        SDL_Quit();
        return 1;
    }
    if (!options.noDialog) {
        static uint8_t artwork[TitleArtBytes];
        const bool haveArtwork = LoadTitleArt(dataPath.c_str(), artwork);
        const int result = RunSetupDialog(haveArtwork ? artwork : nullptr, &choice);
        if (result != DialogRunDemo) {
            SDL_Quit();
            return result == DialogExit ? 0 : 1;
        }
        RememberChoice(choice, &settings);
    }
    StartupOptions = StartupOptionsFor(choice);
    Remembered.settings = Remembered.atStart = settings;
    Remembered.enabled = !options.noConfig;
    return PlayLive(options, choice, run);
}

}   // namespace

int main(int argc, char** argv)
{
    ExitWhenMemoryRunsOut();
    ShellOptions options;
    int status = 0;
    if (!ReadCommandLine(argc, argv, &options, &status))
        return status;
    if (options.listModes) {
        if (!DiscoverModes())
            return 1;
        std::fputs(ModeListText(DisplayModeTable, DisplayModeCount).c_str(), stdout);
        SDL_Quit();
        return 0;
    }
    static std::string dataPath;
    if (!FindData(options, &dataPath))
        return 1;
    overlayName = dataPath.c_str();
    // The data file's plan before anything reads a limit (a capture's estimate).
    std::string error;
    if (!UseDataFilePlan(overlayName, &error)) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        return 1;
    }
    // Capture and bench never read the settings file: they depend on their options alone.
    if (options.capture)
        return RunCapture(options);
    if (options.bench)
        return RunBench(options);
    return RunLive(options, dataPath);
}
