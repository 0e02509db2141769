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
    if (options.listScenes) {
        std::fputs(SceneListText().c_str(), stdout);
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
    PresentAspect = options.aspect;
    PresentVsync = options.vsync;
    if (options.capture)
        return RunCapture(options);
    if (options.bench)
        return RunBench(options);

    // Display modes; without any video there is neither dialog nor display.
    if (!DiscoverModes())
        return 1;

    DialogChoice choice;
    choice.windowed = options.windowed == 1;
    choice.nosound = options.nosound;
    if (options.haveMode) {
        int index =
            FindModeIndex(DisplayModeTable, DisplayModeCount, options.modeWidth, options.modeHeight, options.modeDepth);
        if (index < 0) {
            std::fprintf(stderr, "tivrel: the display does not offer the mode %dx%dx%d\n", options.modeWidth,
                         options.modeHeight, options.modeDepth);
            SDL_Quit();
            return 1;
        }
        choice.selectedItem = index - 1;
    } else {
        choice.selectedItem = DisplayModeCount > 1 ? 0 : -1;
    }

    if (options.noDialog) {
        StartupOptions.selectedMode = choice.selectedItem + 1;
        StartupOptions.windowed = choice.windowed ? 1 : 0;
        StartupOptions.soundOn = choice.nosound ? 0 : 1;
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
    }

    MusicInit();
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
    if (RunDemo() == DemoQuit)
        QuitSequence();
    if (!FreeMusic())
        ShowMessage("", "FreeSong");
    MusicClose();
    SdlBackend.close();
    SDL_Quit();
    return 0;
}
