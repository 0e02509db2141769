// The frame loop over a scene table, as a step function: each StepFrameLoop call
// draws and presents one frame (or, while paused, looks at the keys once) and
// returns at once. It never waits: waiting for the display, for input while paused,
// or for the next animation frame of a page is the caller's (RunScenes waits through
// the presentation backend).
#pragma once
#include <cstdint>

#include "demo/scene_table.h"

// What the run asks of its caller, besides the frames.
struct DemoHooks {
    // After every presented frame, with the scene that drew it, before the order is
    // compared; true ends the run after this frame (as a quit). nullptr: none.
    bool (*frameEnd)(int scene, void* context) = nullptr;
    // Brings every piece of demo state to a fresh start at `scene` before its first
    // set-up (the skip keys); nullptr: skips are ignored.
    void (*restart)(int scene, void* context) = nullptr;
    // After frameEnd, and on every paused step, with the scene shown: a scene (1..) to
    // restart at exactly as a skip key to it does (the row's end step, then restart),
    // or 0. Between two frames, so it may switch the demo's data (SwitchDemoData)
    // before it answers. nullptr: none.
    int (*replay)(int scene, void* context) = nullptr;
    void* context = nullptr;
    // Times the table is played (--loop): after the last row the restart hook brings
    // the demo to a fresh start at scene 1 and the rows play again. 1: once; 0:
    // until a quit. Without a restart hook: once.
    int runs = 1;
};

enum DemoEnd { DemoFinished, DemoQuit };

enum FrameLoopState {
    FrameLoopRunning,    // a frame was presented; more follow
    FrameLoopPaused,     // paused: the same frame is held; step again to look at the keys
    FrameLoopFinished,   // the last row has ended (or PageDown in the last scene)
    FrameLoopQuit,       // the user or a hook ended the run
};

// The loop's state; BeginFrameLoop fills it, StepFrameLoop moves it on.
struct FrameLoop {
    const SceneRow* rows = nullptr;
    int count = 0;
    int sceneCount = 0;
    int firstScene = 1;   // rows of earlier scenes run their steps without frames
    DemoHooks hooks;
    FrameLoopState state = FrameLoopFinished;
    int row = 0;               // the row being played
    bool rowStarted = false;   // its between and set-up steps have run
    int skipTo = 0;            // a skip key's target scene (0: none)
    bool frameDone = false;    // a frame was presented; its keys and order still to take
    bool paused = false;
    bool resumed = false;   // the pause was ended by the pause key
    int pausedSteps = 0;    // while paused: the held frame is shown again every 16th
    int run = 1;            // the play of the table under way, 1..hooks.runs
};

// Rows of scenes before `firstScene` run their between, set-up and end steps without
// frames, so palettes and textures carry over.
void BeginFrameLoop(FrameLoop* loop, const SceneRow* rows, int count, int firstScene, const DemoHooks& hooks);

// One frame of the row being played: its between and set-up steps first when it is
// new, then draw, UpdateMusicPosition, PresentFrame, the frameEnd hook, the key
// actions the backend reported; then the order is compared with the row's limit
// and a row that has passed it runs its end step.
//
// Keys (KeyAction): pause holds the tick source and the music where they are; each
// paused step presents the held frame (every 16th step, and at once after a key) or
// only reads the backend's events, until pause, a skip or a quit comes. The next and
// previous scene (PageUp in scene 1 restarts it, PageDown in the last scene ends the
// run normally; skip keys waiting together add up to one skip) run the row's end
// step, then the restart hook, then go on as from firstScene = the new scene; volume
// and mute go to the music. With the information line shown, each frame sets its
// text (with the run's number when the table is played more than once). The end of
// the last row (or PageDown in the last scene) starts the next run when
// hooks.runs asks for one.
FrameLoopState StepFrameLoop(FrameLoop* loop);

// Steps until the run ends; while paused, waits up to 30 ms for input through the
// presentation backend between steps (WaitForInput). Returns DemoQuit right after
// the frame in which the user asked to quit (the row's end step still runs).
DemoEnd RunScenes(const SceneRow* rows, int count, int firstScene, const DemoHooks& hooks = {});
