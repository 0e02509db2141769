// The capture run: the demo on the virtual clock, one timeline line per presented
// frame, the soundtrack as a WAV, the pictures through the capture backend.
//
// timeline.csv: "frame,scene,order,row,tick0,tick1,tick2", one line per frame. order
// and row are the music position the frame drew with (the one before its update);
// the ticks are the counters as the previous frame's clock step left them (for
// frame 0, as they were when it was presented).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "audio/audio.h"
#include "core/pixels.h"
#include "demo/demo.h"
#include "shell/options.h"
#include "shell/shell.h"
#include "video/display.h"

static FILE* TimelineFile = nullptr;
static uint32_t FrameNumber = 0;
static MusicPositionState PositionSeen{0, 0};
static uint32_t TicksSeen[3];
static bool TicksKnown = false;

// After each presented frame: its timeline line, then 20 ms of virtual time.
static void CaptureFrameEnd(int scene)
{
    if (!TicksKnown) {
        for (int i = 0; i < 3; i++)
            TicksSeen[i] = TickCounters[i].load();
        TicksKnown = true;
    }
    std::fprintf(TimelineFile, "%u,%d,%u,%u,%u,%u,%u\n", FrameNumber, scene, PositionSeen.order, PositionSeen.row,
                 TicksSeen[0], TicksSeen[1], TicksSeen[2]);
    PositionSeen = MusicPosition;
    AdvanceVirtualClock();
    for (int i = 0; i < 3; i++)
        TicksSeen[i] = TickCounters[i].load();
    FrameNumber++;
}

int RunCapture(const ShellOptions& options)
{
    StartupOptions = {0, 1, options.nosound ? 0 : 1};
    if (!AllocateTrueColorFrame()) {
        std::fputs("\376 Not enough memory!\n", stdout);
        return 1;
    }
    CaptureSettings settings = options.captureSettings;
    settings.soundtrackPath = settings.directory + "/music.wav";
    ConfigureCapture(settings);
    UsePresentBackend(&CaptureBackend);
    if (!CaptureBackend.open())
        return 1;

    std::string timelinePath = settings.directory + "/timeline.csv";
    TimelineFile = std::fopen(timelinePath.c_str(), "wb");
    if (TimelineFile == nullptr) {
        std::fprintf(stderr, "tivrel: cannot write %s: %s\n", timelinePath.c_str(), std::strerror(errno));
        return 1;
    }
    std::fputs("frame,scene,order,row,tick0,tick1,tick2\n", TimelineFile);
    if (!UseVirtualClock(settings.soundtrackPath.c_str())) {
        std::fprintf(stderr, "tivrel: cannot write %s\n", settings.soundtrackPath.c_str());
        return 1;
    }
    FrameEndStep = CaptureFrameEnd;

    RunDemo();

    FrameEndStep = nullptr;
    if (!FreeMusic())
        ShowMessage("", "FreeSong");
    MusicClose();
    bool ok = true;
    if (!FinishVirtualClock()) {
        std::fprintf(stderr, "tivrel: cannot complete %s\n", settings.soundtrackPath.c_str());
        ok = false;
    }
    if (std::fclose(TimelineFile) != 0) {
        std::fprintf(stderr, "tivrel: cannot complete timeline.csv\n");
        ok = false;
    }
    TimelineFile = nullptr;
    if (!CaptureBackend.close())
        ok = false;
    return ok ? 0 : 1;
}
