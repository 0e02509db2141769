// The shell's two ways through the demo besides the dialog: the quit sequence of a
// user's early end, and the capture run.
#pragma once
#include <cstdint>

#include "demo/frame_loop.h"

struct ModuleInfo;
struct ShellOptions;

// Stops and frees the music ("StopSong"/"FreeSong" boxes on failure), closes sound,
// closes the presentation backend (the display comes back to the desktop's mode
// and the cursor shows again), stops the timer and ends the process with status 0.
[[noreturn]] void QuitSequence();

// Capture mode: the virtual clock (DIR/music.wav), DIR/timeline.csv, the capture
// backend (frames, video), the demo, then everything completed. The exit status:
// 0 (also when --until-scene or --seconds ended the run), or 1 when something could
// not be started or written, when the module says the run would be longer than
// options.captureMaxSeconds of demo time (refused before anything is written), or
// when the run was stopped at that bound or because the WAV was full; 128 + the
// signal when SIGINT, SIGTERM or SIGHUP stopped it. The files then hold the frames
// up to the stop.
int RunCapture(const ShellOptions& options);

// The timedemo (--bench): loads the data, runs the whole demo headless on the
// virtual clock without output and prints "bench: ..." lines on stdout. Exit status
// 0, or 1 when the data cannot be loaded.
int RunBench(const ShellOptions& options);

// Presented frames per second of demo time in a capture (one virtual clock step each).
constexpr int CaptureFramesPerSecond = 50;

// --until-scene: whether the frame loop ends after a frame of `scene`: it is past
// scene untilScene, or it is that scene and the music order has passed its limit.
bool UntilSceneReached(int scene, int untilScene);
// Live play: hooks that end the frame loop (as a quit, so the quit sequence ends the
// run with status 0) after the last frame of scene untilScene (0: no such end) or
// once the 50 Hz ticks since the first frame reach stopSeconds (0: none; paused time
// does not count). `limits` holds their count for the run.
struct LiveLimits {
    int untilScene = 0;
    uint64_t stopTicks = 0;
    uint64_t ticksSoFar = 0;
    uint32_t lastTick = 0;
    bool tickSeen = false;
};
DemoHooks LiveRunHooks(LiveLimits* limits, int untilScene, int stopSeconds);

// Frames a capture of the scene table `rows` from `firstScene` on presents with
// `module`: its time from the order the music starts at to the order that ends the
// last scene (or the song's end, if that comes first) at 50 frames a second, plus
// two, plus one frame per row when the song ends first. Never under the frames the
// run presents and at most a few over, unless the module's timing is only the
// player's estimate (orders that a jump skips).
int64_t EstimateCaptureFrames(const ModuleInfo& module, const SceneRow* rows, int count, int firstScene);
