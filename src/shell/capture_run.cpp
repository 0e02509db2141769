// The capture run: the demo on the virtual clock, one timeline line per presented
// frame, the soundtrack as a WAV, the pictures through the capture backend.
//
// timeline.csv: "frame,scene,order,row,tick0,tick1,tick2", one line per frame. order
// and row are the music position the frame drew with (the one before its update);
// the ticks are the counters as the previous frame's clock step left them (for
// frame 0, as they were when it was presented).
//
// Every file is a safe write into DIR that replaces the file of an earlier run;
// timeline.csv and music.wav appear complete when the run ends.
//
// The bound: before anything is written, the module's timing gives the frames the
// run will present, and a run longer than captureMaxSeconds of demo time (50 frames
// a second) is refused. A run that reaches the bound all the same stops there, and
// so does one whose WAV is full or whose timeline cannot be written; the files then
// hold the frames up to the stop and the status is 1.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/content_format.h"
#include "archive/entries.h"
#include "audio/audio.h"
#include "audio/module_info.h"
#include "core/pixels.h"
#include "core/safe_write.h"
#include "demo/demo.h"
#include "shell/options.h"
#include "shell/shell.h"
#include "video/display.h"

namespace {

SafeFile Timeline;
bool TimelineFailed = false;
uint32_t FrameNumber = 0;
uint64_t MaxFrames = 0;
int MaxSeconds = 0;
bool StoppedAtBound = false;
MusicPositionState PositionSeen{0, 0};
uint32_t TicksSeen[3];
bool TicksKnown = false;

// Whether the frame loop ends after this frame of `scene`: the last scene (one row)
// has seen the order pass its limit.
bool DemoEndsAfter(int scene)
{
    const int last = SceneCount(SceneTable, SceneTableRows);
    return scene == last && MusicPosition.order > SceneLimit(SceneTable, SceneTableRows, last);
}

// After each presented frame: its timeline line, then 20 ms of virtual time; asks
// the frame loop to stop at the bound, when the WAV is full or the timeline failed.
void CaptureFrameEnd(int scene)
{
    if (!TicksKnown) {
        for (int i = 0; i < 3; i++)
            TicksSeen[i] = TickCounters[i].load();
        TicksKnown = true;
    }
    char line[96];
    int length = std::snprintf(line, sizeof line, "%u,%d,%u,%u,%u,%u,%u\n", FrameNumber, scene, PositionSeen.order,
                               PositionSeen.row, TicksSeen[0], TicksSeen[1], TicksSeen[2]);
    std::string error;
    if (!TimelineFailed && !SafeFileWrite(&Timeline, line, size_t(length), &error)) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        TimelineFailed = true;
    }
    PositionSeen = MusicPosition;
    AdvanceVirtualClock();
    for (int i = 0; i < 3; i++)
        TicksSeen[i] = TickCounters[i].load();
    FrameNumber++;
    if (TimelineFailed || VirtualClockWavFull())
        QuitRequested = true;
    if (!QuitRequested && FrameNumber >= MaxFrames && !DemoEndsAfter(scene)) {
        std::fprintf(stderr, "tivrel: the capture stopped at its bound of %llu frames (--max-seconds %d)\n",
                     static_cast<unsigned long long>(MaxFrames), MaxSeconds);
        StoppedAtBound = true;
        QuitRequested = true;
    }
}

// The module as the demo will hand it to the player, from the data file; false when
// it cannot be read (the demo's start-up then reports why).
bool ReadModule(const char* dataPath, std::vector<uint8_t>* module)
{
    Archive archive;
    if (ArchiveOpenFile(&archive, dataPath) != 0)
        return false;
    const DataEntry* music = nullptr;
    for (int k = 0; k < DataEntryCount && music == nullptr; k++)
        if (DataEntries[k].kind == EntryMusic)
            music = &DataEntries[k];
    int32_t entry = music != nullptr ? ArchiveFind(&archive, music->name) : -1;
    // The demo decompresses the entry into its strip-sized area: a larger one fails there.
    if (entry < 0 || ArchiveEntrySize(&archive, entry) > StripBytes || ArchiveDecodeEntry(&archive, entry, module) != 0)
        return false;
    if (module->size() > MusicReadBytes)
        module->resize(MusicReadBytes);
    return true;
}

// False, after the one-line refusal, when the module says the run is longer than
// the bound.
bool CaptureFitsTheBound()
{
    std::vector<uint8_t> module;
    ModuleInfo info;
    const char* dataPath = overlayName != nullptr && overlayName[0] != '\0' ? overlayName : "tivrel.ovl";
    if (!ReadModule(dataPath, &module) || !InspectModule(module.data(), module.size(), &info, nullptr))
        return true;
    const int firstScene = std::max(DemoStartScene, 1);
    const int64_t frames = EstimateCaptureFrames(info, SceneTable, SceneTableRows, firstScene);
    if (uint64_t(frames) <= MaxFrames)
        return true;
    std::fprintf(stderr,
                 "tivrel: the capture would present about %lld frames (%lld s of demo time), more than its bound of "
                 "%llu frames (--max-seconds %d)\n",
                 static_cast<long long>(frames), static_cast<long long>(frames / CaptureFramesPerSecond),
                 static_cast<unsigned long long>(MaxFrames), MaxSeconds);
    return false;
}

}   // namespace

int64_t EstimateCaptureFrames(const ModuleInfo& module, const SceneRow* rows, int count, int firstScene)
{
    const int scenes = SceneCount(rows, count);
    const int first = std::clamp(firstScene, 1, std::max(scenes, 1));
    // Player orders (0-based): the music starts at the order after the previous
    // scene's limit; the last scene ends when the reported order (player + 1) passes
    // its limit, that is when the player reaches that limit.
    const int startOrder = first > 1 ? SceneLimit(rows, count, first - 1) : 0;
    const int endOrder = SceneLimit(rows, count, scenes);
    auto startOf = [&](int order) {
        double t = order < module.orderCount ? module.orderStartSeconds[size_t(order)] : module.lengthSeconds;
        return std::isfinite(t) && t >= 0.0 ? std::min(t, module.lengthSeconds) : module.lengthSeconds;
    };
    double seconds = startOf(endOrder) - startOf(startOrder);
    if (!(seconds > 0.0))
        seconds = 0.0;
    seconds = std::min(seconds, 1e12);
    // Frame k shows the position after k steps of 20 ms; the first one at or past the
    // end is the last frame. One more for the player's position resolution.
    int64_t frames = int64_t(std::ceil(seconds * CaptureFramesPerSecond)) + 2;
    // When the song ends first, every row still to come draws its one frame.
    if (startOf(endOrder) >= module.lengthSeconds)
        for (int i = 0; i < count; i++)
            if (rows[i].number >= first)
                frames++;
    return frames;
}

int RunCapture(const ShellOptions& options)
{
    StartupOptions = {0, 1, options.nosound ? 0 : 1};
    MaxSeconds = std::max(options.captureMaxSeconds, 1);
    MaxFrames = uint64_t(MaxSeconds) * CaptureFramesPerSecond;
    if (!CaptureFitsTheBound())
        return 1;
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

    std::string error;
    static const char Header[] = "frame,scene,order,row,tick0,tick1,tick2\n";
    if (SafeFileOpen(&Timeline, CaptureFolder(), "timeline.csv", true, &error) != SafeWriteOk ||
        !SafeFileWrite(&Timeline, Header, sizeof Header - 1, &error)) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        SafeFileAbandon(&Timeline);
        return 1;
    }
    if (!UseVirtualClockIn(CaptureFolder(), "music.wav")) {
        SafeFileAbandon(&Timeline);
        return 1;
    }
    FrameEndStep = CaptureFrameEnd;

    RunDemo();

    FrameEndStep = nullptr;
    if (!FreeMusic())
        ShowMessage("", "FreeSong");
    MusicClose();
    bool ok = !StoppedAtBound && !TimelineFailed && !VirtualClockWavFull();
    if (!FinishVirtualClock())
        ok = false;
    if (TimelineFailed) {
        SafeFileAbandon(&Timeline);
    } else if (SafeFileCommit(&Timeline, &error) != SafeWriteOk) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        ok = false;
    }
    if (!CaptureBackend.close())
        ok = false;
    return ok ? 0 : 1;
}
