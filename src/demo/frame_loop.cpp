// The frame loop over a scene table, one frame per step.
#include "demo/frame_loop.h"

#include <chrono>
#include <cstdio>

#include "audio/audio.h"
#include "clock/tick_source.h"
#include "video/video.h"

namespace {

constexpr int VolumeStep = 10;
constexpr int PausedStepsPerShow = 16;   // with 30 ms waits: the held frame about twice a second

// Presented frames in the last whole second, for the information line.
struct FrameRate {
    std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
    int frames = 0;
    int perSecond = 0;
};
FrameRate Rate;

void CountFrame()
{
    Rate.frames++;
    const auto now = std::chrono::steady_clock::now();
    if (now - Rate.since >= std::chrono::seconds(1)) {
        Rate.perSecond = Rate.frames;
        Rate.frames = 0;
        Rate.since = now;
    }
}

void SetInfoText(const FrameLoop& loop, const SceneRow& row, bool paused)
{
    if (!InfoLineShown())
        return;
    char run[32] = "";
    if (loop.hooks.runs != 1)
        std::snprintf(run, sizeof run, loop.hooks.runs > 1 ? "  loop %d/%d" : "  loop %d", loop.run, loop.hooks.runs);
    const int seconds = int(MusicSeconds());
    char text[160];
    char volume[16] = "mute";
    if (!MusicMuted())
        std::snprintf(volume, sizeof volume, "vol %d", MusicVolume());
    std::snprintf(text, sizeof text, "%d %s  %02u:%02u  %d:%02d  %d fps  %s%s%s", row.number, row.name,
                  MusicPosition.order, MusicPosition.row, seconds / 60, seconds % 60, Rate.perSecond, volume, run,
                  paused ? "  paused" : "");
    SetInfoLine(text);
}

void ChangeVolume(KeyAction action)
{
    if (action == KeyActionMute) {
        SetMusicMuted(!MusicMuted());
        return;
    }
    SetMusicMuted(false);
    SetMusicVolume(MusicVolume() + (action == KeyActionVolumeUp ? VolumeStep : -VolumeStep));
}

// The scene a skip key leads to from `scene`: 0 for none, sceneCount + 1 for the end.
int SkipTarget(const FrameLoop& loop, KeyAction action, int scene)
{
    if (loop.hooks.restart == nullptr)
        return 0;
    if (action == KeyActionNextScene)
        return scene <= loop.sceneCount ? scene + 1 : scene;
    if (action == KeyActionPreviousScene)
        return scene > 1 ? scene - 1 : 1;
    return 0;
}

bool StopAsked(const FrameLoop& loop) { return QuitRequested() || loop.state == FrameLoopQuit; }

// The replay hook's scene as the skip target, when no skip is waiting.
void TakeReplay(FrameLoop* loop, int scene)
{
    if (loop->hooks.replay == nullptr || loop->hooks.restart == nullptr || loop->skipTo != 0)
        return;
    const int target = loop->hooks.replay(scene, loop->hooks.context);
    if (target > 0)
        loop->skipTo = target < loop->sceneCount ? target : loop->sceneCount;
}

void EndPause(FrameLoop* loop)
{
    ResumeMusic();
    StartFrameTimer();
    loop->paused = false;
}

// One look at the keys while paused: the held frame presented when due, the
// backend's events read otherwise.
void PausedStep(FrameLoop* loop)
{
    const SceneRow& row = loop->rows[loop->row];
    SetInfoText(*loop, row, true);
    const bool infoShown = InfoLineShown();
    if (loop->pausedSteps == 0)
        PresentFrame();
    else
        PumpEvents();
    if (InfoLineShown() != infoShown)
        loop->pausedSteps = PausedStepsPerShow - 1;   // show the change at once
    for (KeyAction action; (action = TakeKeyAction()) != KeyActionNone;) {
        loop->pausedSteps = PausedStepsPerShow - 1;
        if (action == KeyActionPause)
            loop->resumed = true;
        else if (action == KeyActionNextScene || action == KeyActionPreviousScene)
            loop->skipTo = SkipTarget(*loop, action, loop->skipTo != 0 ? loop->skipTo : row.number);
        else
            ChangeVolume(action);
    }
    loop->pausedSteps = (loop->pausedSteps + 1) % PausedStepsPerShow;
    TakeReplay(loop, row.number);
    if (loop->resumed || loop->skipTo != 0 || StopAsked(*loop))
        EndPause(loop);
}

// The tick source and the music held where they are, and the first paused step.
void BeginPause(FrameLoop* loop)
{
    StopFrameTimer();
    PauseMusic();
    loop->paused = true;
    loop->resumed = false;
    loop->pausedSteps = 0;
    if (StopAsked(*loop))
        EndPause(loop);
    else
        PausedStep(loop);
}

// The key actions waiting after a frame; a pause key starts a pause (and the keys
// after it are the paused steps').
void TakeKeys(FrameLoop* loop)
{
    const SceneRow& row = loop->rows[loop->row];
    for (KeyAction action; (action = TakeKeyAction()) != KeyActionNone;) {
        if (action == KeyActionPause && loop->skipTo == 0) {
            BeginPause(loop);
            if (loop->paused)
                return;
        } else if (action == KeyActionNextScene || action == KeyActionPreviousScene) {
            loop->skipTo = SkipTarget(*loop, action, loop->skipTo != 0 ? loop->skipTo : row.number);
        } else if (action != KeyActionPause) {
            ChangeVolume(action);
        }
    }
}

// Whether the table plays again after the run under way.
bool AnotherRun(const FrameLoop& loop)
{
    return loop.hooks.restart != nullptr && (loop.hooks.runs == 0 || loop.run < loop.hooks.runs);
}

// The end of a run: the next one from a fresh start at scene 1, or the loop's end.
void EndRun(FrameLoop* loop)
{
    if (!AnotherRun(*loop)) {
        loop->state = FrameLoopFinished;
        return;
    }
    loop->skipTo = 0;
    loop->hooks.restart(1, loop->hooks.context);
    loop->firstScene = 1;
    loop->row = 0;
    loop->rowStarted = false;
    loop->run++;
    loop->state = FrameLoopRunning;
}

// After a frame and its keys: the same row again, or its end and what follows.
void FinishFrame(FrameLoop* loop)
{
    const SceneRow& row = loop->rows[loop->row];
    loop->frameDone = false;
    const bool quit = StopAsked(*loop);
    if (!quit && loop->skipTo == 0 && MusicPosition.order <= *row.limit) {
        loop->state = FrameLoopRunning;
        return;
    }
    if (row.end != nullptr)
        row.end();
    if (quit) {
        loop->state = FrameLoopQuit;
        return;
    }
    if (loop->skipTo > loop->sceneCount) {
        EndRun(loop);
        return;
    }
    loop->rowStarted = false;
    if (loop->skipTo != 0) {
        loop->hooks.restart(loop->skipTo, loop->hooks.context);
        loop->firstScene = loop->skipTo;
        loop->skipTo = 0;
        loop->row = 0;
        loop->state = FrameLoopRunning;
        return;
    }
    loop->row++;
    if (loop->row < loop->count)
        loop->state = FrameLoopRunning;
    else
        EndRun(loop);
}

// Runs the steps of rows up to the next one that shows frames; false at the end.
bool StartRow(FrameLoop* loop)
{
    for (;;) {
        if (loop->row >= loop->count) {
            loop->state = FrameLoopFinished;
            return false;
        }
        const SceneRow& row = loop->rows[loop->row];
        if (!loop->rowStarted) {
            if (row.between != nullptr)
                row.between();
            if (row.setUp != nullptr)
                row.setUp();
            loop->rowStarted = true;
        }
        if (row.number >= loop->firstScene)
            return true;
        if (row.end != nullptr)
            row.end();
        loop->row++;
        loop->rowStarted = false;
    }
}

void DrawFrame(FrameLoop* loop)
{
    const SceneRow& row = loop->rows[loop->row];
    row.frame();
    UpdateMusicPosition();
    CountFrame();
    SetInfoText(*loop, row, false);
    PresentFrame();
    loop->frameDone = true;
    if (loop->hooks.frameEnd != nullptr && loop->hooks.frameEnd(row.number, loop->hooks.context))
        loop->state = FrameLoopQuit;
    else
        TakeReplay(loop, row.number);
}

}   // namespace

void BeginFrameLoop(FrameLoop* loop, const SceneRow* rows, int count, int firstScene, const DemoHooks& hooks)
{
    *loop = FrameLoop{};
    loop->rows = rows;
    loop->count = count;
    loop->sceneCount = SceneCount(rows, count);
    loop->firstScene = firstScene;
    loop->hooks = hooks;
    loop->state = count > 0 ? FrameLoopRunning : FrameLoopFinished;
}

FrameLoopState StepFrameLoop(FrameLoop* loop)
{
    if (loop->state == FrameLoopFinished || (loop->state == FrameLoopQuit && !loop->frameDone))
        return loop->state;
    if (loop->paused) {
        PausedStep(loop);
        if (loop->paused)
            return FrameLoopPaused;
    } else {
        if (!StartRow(loop))
            return loop->state;
        DrawFrame(loop);
    }
    TakeKeys(loop);
    if (loop->paused)
        return FrameLoopPaused;
    FinishFrame(loop);
    return loop->state;
}

DemoEnd RunScenes(const SceneRow* rows, int count, int firstScene, const DemoHooks& hooks)
{
    FrameLoop loop;
    BeginFrameLoop(&loop, rows, count, firstScene, hooks);
    for (;;) {
        switch (StepFrameLoop(&loop)) {
        case FrameLoopFinished: return DemoFinished;
        case FrameLoopQuit: return DemoQuit;
        case FrameLoopPaused: WaitForInput(30); break;
        case FrameLoopRunning: break;
        }
    }
}
