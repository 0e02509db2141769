// The capture run: the demo on the virtual clock, one timeline line per presented
// frame, the soundtrack as a WAV, the pictures and the video through the capture
// backend.
//
// timeline.csv: "frame,scene,order,row,tick0,tick1,tick2", one line per frame. order
// and row are the music position the frame drew with (the one before its update);
// the ticks are the counters as the frame left them: after its scene's set-up and
// the frame's own wraps and clamps, before the clock's step.
//
// Every file is a safe write into DIR that replaces the file of an earlier run;
// timeline.csv and music.wav appear complete when the run ends, however it ends:
// normally, stopped early (--until-scene, --seconds, the bound), by SIGINT, SIGTERM
// or SIGHUP, or by a fatal line from inside the demo (an exit handler of the run
// completes them). They then hold exactly the frames presented. A write that fails
// (a full disk; a file-size limit: SIGXFSZ is ignored during the run, so the write
// fails instead of the process being killed) stops the run with one line naming the
// file and status 1; each file then holds its whole frames up to the failure.
//
// The bound: before anything is written, the module's timing gives the frames the
// run will present, and a run longer than captureMaxSeconds of demo time (50 frames
// a second) is refused. A run that reaches the bound all the same stops there, and
// so does one whose WAV is full or whose timeline, frames or video cannot be
// written; the status is then 1. A signal stops the run after the frame being drawn
// with the status 128 + its number (130 for SIGINT).
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/content_format.h"
#include "archive/entries.h"
#include "audio/audio.h"
#include "audio/module_info.h"
#include "audio/virtual_clock.h"
#include "core/fail.h"
#include "core/pixels.h"
#include "core/safe_write.h"
#include "demo/scene_table.h"
#include "demo/startup.h"
#include "shell/options.h"
#include "shell/shell.h"
#include "video/capture.h"
#include "video/window.h"

namespace {

using Clock = std::chrono::steady_clock;

SafeFile Timeline;
bool TimelineFailed = false;
uint64_t TimelineBytes = 0;   // the header and the whole lines written
bool RunInProgress = false;   // from the first frame's start-up to the files' completion
std::thread::id RunThread;
uint32_t FrameNumber = 0;
uint64_t MaxFrames = 0;
int MaxSeconds = 0;
bool StoppedAtBound = false;
MusicPositionState PositionSeen{0, 0};
int UntilScene = 0;        // --until-scene; 0: none
int LastScene = 0;         // the last scene of the run
uint64_t StopFrames = 0;   // --seconds as frames; 0: none
int64_t EstimatedFrames = 0;
int FirstScene = 1;
int Runs = 1;                            // --loop N: plays of the demo; the later ones from scene 1
int SceneBefore = 0;                     // the scene of the frame before
volatile sig_atomic_t Interrupted = 0;   // the signal that stops the run, 0: none

// The progress line, on a terminal only.
struct Progress {
    bool shown = false;
    Clock::time_point start;
    Clock::time_point printed;
};
Progress Shown;

// The first stop signal ends the run in order; a second one ends the process at once.
void OnStopSignal(int signal)
{
    if (Interrupted == 0) {
        Interrupted = signal;
        return;
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
}

const int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction SavedActions[3];

void CatchStopSignals(bool on)
{
    for (int i = 0; i < 3; i++) {
        if (!on) {
            sigaction(StopSignals[i], &SavedActions[i], nullptr);
            continue;
        }
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(StopSignals[i], &action, &SavedActions[i]);
    }
}

// "scene 5/17  frame 3500/12292  28%  412 fps  0:21 left", redrawn in place at most
// five times a second.
void ShowProgress(int scene, bool final)
{
    const Clock::time_point now = Clock::now();
    if (!Shown.shown || (!final && now - Shown.printed < std::chrono::milliseconds(200)))
        return;
    Shown.printed = now;
    const double seconds = std::chrono::duration<double>(now - Shown.start).count();
    const double fps = seconds > 0.0 ? FrameNumber / seconds : 0.0;
    const int64_t total = std::max<int64_t>(EstimatedFrames, FrameNumber);
    if (final) {
        std::fprintf(stderr, "\r\033[Ktivrel: %u frames (%.1f s of demo time) in %.1f s, %.1f times real time\n",
                     FrameNumber, FrameNumber / double(CaptureFramesPerSecond), seconds,
                     seconds > 0.0 ? FrameNumber / double(CaptureFramesPerSecond) / seconds : 0.0);
        return;
    }
    const int left = fps > 0.0 ? int((total - FrameNumber) / fps + 0.5) : 0;
    std::fprintf(stderr, "\r\033[Kscene %d/%d  frame %u/%lld  %d%%  %.0f fps  %d:%02d left", scene, LastScene,
                 FrameNumber, static_cast<long long>(total), int(FrameNumber * 100 / std::max<int64_t>(total, 1)), fps,
                 left / 60, left % 60);
}

// Whether the frame loop ends after this frame of `scene`: the last scene (one row)
// has seen the order pass its limit.
bool DemoEndsAfter(int scene)
{
    const int last = SceneCount(SceneTable, SceneTableRows);
    return scene == last && MusicPosition.order > SceneLimit(SceneTable, SceneTableRows, last);
}

// After each presented frame: its timeline line, then 20 ms of virtual time and its
// sound for the video; ends the run after --until-scene's scene, at --seconds, at
// the bound, on a stop signal, when the WAV is full or a write failed.
bool CaptureFrameEnd(int scene, void*)
{
    // A scene before the last one's: a new run, whose first frame drew with the
    // position a restart leaves (0:0), as the first run's did.
    if (scene < SceneBefore)
        PositionSeen = {0, 0};
    SceneBefore = scene;
    char line[96];
    int length =
        std::snprintf(line, sizeof line, "%u,%d,%u,%u,%u,%u,%u\n", FrameNumber, scene, PositionSeen.order,
                      PositionSeen.row, TickCounters[0].load(), TickCounters[1].load(), TickCounters[2].load());
    std::string error;
    if (!TimelineFailed && !SafeFileWrite(&Timeline, line, size_t(length), &error)) {
        ReportWriteFailure(error);
        TimelineFailed = true;
    }
    if (!TimelineFailed)
        TimelineBytes += uint64_t(length);
    PositionSeen = MusicPosition;
    AdvanceVirtualClock();
    CaptureSound(VirtualClockStepSound(), VirtualClockStepFrames());
    FrameNumber++;
    bool stop = Interrupted != 0 || TimelineFailed || VirtualClockWavFull() || VirtualClockWavFailed() ||
                CaptureWriteFailed() || (UntilScene != 0 && UntilSceneReached(scene, UntilScene)) ||
                (StopFrames != 0 && FrameNumber >= StopFrames);
    if (!stop && FrameNumber >= MaxFrames && !DemoEndsAfter(scene)) {
        std::fprintf(stderr, "%stivrel: the capture stopped at its bound of %llu frames (--max-seconds %d)\n",
                     Shown.shown ? "\r\033[K" : "", static_cast<unsigned long long>(MaxFrames), MaxSeconds);
        StoppedAtBound = true;
        stop = true;
    }
    ShowProgress(scene, false);
    return stop;
}

// The module as the demo will hand it to the player, from the data file; false when
// it cannot be read (the demo's start-up then reports why).
bool ReadModule(const char* dataPath, std::vector<uint8_t>* module)
{
    Archive archive;
    if (!ArchiveOpenFile(&archive, dataPath))
        return false;
    const DataEntry* music = nullptr;
    for (int k = 0; k < DataEntryCount && music == nullptr; k++)
        if (DataEntries[k].kind == EntryMusic)
            music = &DataEntries[k];
    int32_t entry = music != nullptr ? ArchiveFind(&archive, music->name) : -1;
    // The demo decompresses the entry into its strip-sized area: a larger one fails there.
    if (entry < 0 || ArchiveEntrySize(&archive, entry) > StripBytes || !ArchiveDecodeEntry(&archive, entry, module))
        return false;
    if (module->size() > MusicReadBytes)
        module->resize(MusicReadBytes);
    return true;
}

// Rows of the scene table up to LastScene: a prefix of it.
int RowsUpToTheLastScene()
{
    int rows = 0;
    while (rows < SceneTableRows && SceneTable[rows].number <= LastScene)
        rows++;
    return rows;
}

// Sets EstimatedFrames from the module (0 when it cannot be read: the demo's
// start-up then says why); false, after the one-line refusal, when the run would be
// longer than the bound.
bool CaptureFitsTheBound()
{
    std::vector<uint8_t> module;
    ModuleInfo info;
    const char* dataPath = overlayName != nullptr && overlayName[0] != '\0' ? overlayName : "tivrel.ovl";
    EstimatedFrames = 0;
    if (!ReadModule(dataPath, &module) || !InspectModule(module.data(), module.size(), &info, nullptr))
        return true;
    int64_t frames = EstimateCaptureFrames(info, SceneTable, RowsUpToTheLastScene(), FirstScene) +
                     int64_t(Runs - 1) * EstimateCaptureFrames(info, SceneTable, RowsUpToTheLastScene(), 1);
    if (StopFrames != 0)
        frames = std::min(frames, int64_t(StopFrames));
    EstimatedFrames = frames;
    if (uint64_t(frames) <= MaxFrames)
        return true;
    std::fprintf(stderr,
                 "tivrel: the capture would present about %lld frames (%lld s of demo time), more than its bound of "
                 "%llu frames (--max-seconds %d)\n",
                 static_cast<long long>(frames), static_cast<long long>(frames / CaptureFramesPerSecond),
                 static_cast<unsigned long long>(MaxFrames), MaxSeconds);
    return false;
}

// One warning line when --frames names frames the run did not reach.
void WarnAboutFramesPastTheEnd(const FrameList& list)
{
    uint32_t first = UINT32_MAX, last = 0;
    for (const auto& [from, to] : list.ranges)
        if (to >= FrameNumber) {
            first = std::min(first, std::max(from, FrameNumber));
            last = std::max(last, to);
        }
    if (first == UINT32_MAX)
        return;
    std::fprintf(stderr, "tivrel: warning: --frames asks for frames %u to %u, but the run ended after frame %d\n",
                 first, last, int(FrameNumber) - 1);
}

// The end of every run that started: the music freed, the WAV, the timeline (cut
// back to its whole lines after a failed write) and the backend's frames and video
// completed. False when one of them could not be.
bool FinishCaptureFiles()
{
    RunInProgress = false;
    MusicClose();
    bool ok = FinishVirtualClock();
    std::string error;
    if (TimelineFailed && !SafeFileCutBack(&Timeline, TimelineBytes, &error)) {
        ReportWriteFailure(error);
        SafeFileAbandon(&Timeline);
        ok = false;
    } else if (SafeFileCommit(&Timeline, &error) != SafeWriteOk) {
        ReportWriteFailure(error);
        ok = false;
    }
    if (!CaptureBackend.close())
        ok = false;
    CatchStopSignals(false);
    return ok;
}

// An exit during the run (a fatal line from deep inside the demo, status 1) still
// leaves the files whole: exit handlers run on the thread that called exit, and
// only the run's own thread may complete them.
void FinishCaptureAtExit()
{
    if (RunInProgress && std::this_thread::get_id() == RunThread)
        FinishCaptureFiles();
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
    FirstScene = std::max(options.scene, 1);
    Runs = std::max(options.runs, 1);
    MaxSeconds = std::max(options.captureMaxSeconds, 1);
    MaxFrames = uint64_t(MaxSeconds) * CaptureFramesPerSecond;
    UntilScene = options.untilScene;
    LastScene = UntilScene != 0 ? UntilScene : SceneCount(SceneTable, SceneTableRows);
    StopFrames = uint64_t(std::max(options.stopSeconds, 0)) * CaptureFramesPerSecond;
    CaptureSettings settings = options.captureSettings;
    settings.force = options.force;
    if (!CheckCaptureVideo(settings) || !CaptureFitsTheBound())
        return 1;
    signal(SIGXFSZ, SIG_IGN);   // past a file-size limit a write fails and says so
    if (!AllocateTrueColorFrame())
        OutOfMemoryExit();
    PresentSettings present;
    present.capture = &settings;
    UsePresentBackend(&CaptureBackend);
    if (!CaptureBackend.open(present))
        return 1;

    std::string error;
    static const char Header[] = "frame,scene,order,row,tick0,tick1,tick2\n";
    TimelineBytes = sizeof Header - 1;
    if (SafeFileOpen(&Timeline, CaptureFolder(), "timeline.csv", true, &error) != SafeWriteOk ||
        !SafeFileWrite(&Timeline, Header, sizeof Header - 1, &error)) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        SafeFileAbandon(&Timeline);
        CaptureBackend.close();
        return 1;
    }
    if (!UseVirtualClockIn(CaptureFolder(), "music.wav")) {
        SafeFileAbandon(&Timeline);
        CaptureBackend.close();
        return 1;
    }
    Shown.shown = isatty(STDERR_FILENO) == 1;
    Shown.start = Shown.printed = Clock::now();
    CatchStopSignals(true);
    RunThread = std::this_thread::get_id();
    RunInProgress = true;
    static const bool atExit = std::atexit(FinishCaptureAtExit) == 0;
    (void)atExit;

    DemoHooks hooks;
    hooks.frameEnd = CaptureFrameEnd;
    hooks.runs = Runs;
    RunDemo(FirstScene, hooks);

    if (!FreeMusic())
        ShowMessage("", "FreeSong");
    bool ok = !StoppedAtBound && !TimelineFailed && !VirtualClockWavFull() && !VirtualClockWavFailed();
    if (!FinishCaptureFiles())
        ok = false;
    if (Interrupted == 0) {
        ShowProgress(0, true);
        if (ok)
            WarnAboutFramesPastTheEnd(settings.frames);
        return ok ? 0 : 1;
    }
    std::fprintf(stderr, "%stivrel: stopped by %s; the files hold frames 0 to %d\n", Shown.shown ? "\r\033[K" : "",
                 Interrupted == SIGINT    ? "SIGINT"
                 : Interrupted == SIGTERM ? "SIGTERM"
                                          : "SIGHUP",
                 int(FrameNumber) - 1);
    return 128 + Interrupted;
}
