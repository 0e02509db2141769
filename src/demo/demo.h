// The demo timeline: buffers, loading, timer and music start, then the scene table.
#pragma once
#include <cstdint>

// One row of a scene table. A scene is one row, or several rows in a row with the
// same number (parts that share one set-up, like scene 2's three name credits).
// The frame loop runs, per row: `between` (a step between scenes: releasing or
// loading what the next scenes need), `setUp`, then frames while the reported music
// order is at most `limit` (at least one), then `end`. Any step but `frame` may be
// null.
struct SceneRow {
    int number;         // 1.., rising; rows of one scene share it
    const char* name;   // for --list-scenes (the first row's name counts)
    uint8_t limit;      // largest reported order at which the row keeps running
    void (*between)();
    void (*setUp)();
    void (*frame)();   // draws one frame into FrameBuffer
    void (*end)();
};

// The demo's seventeen scenes (scene_table.cpp).
extern const SceneRow SceneTable[];
extern const int SceneTableRows;

// Scenes in a table: the number of its last row.
int SceneCount(const SceneRow* rows, int count);
// The first row's name of scene `number`, or nullptr.
const char* SceneName(const SceneRow* rows, int count, int number);
// The limit of the last row of scene `number`: the order at which the scene ends
// (0 for a number outside the table).
int SceneLimit(const SceneRow* rows, int count, int number);

// How a run of the frame loop ended.
enum DemoEnd { DemoFinished, DemoQuit };

// The frame loop over `rows`. Rows of scenes before `firstScene` run their between,
// set-up and end steps without frames, so palettes and textures carry over. Each
// frame: draw, UpdateMusicPosition, PresentFrame, the FrameEndStep, the key actions
// the window reported, then the order is compared with the row's limit. Returns
// DemoQuit right after the frame in which the user asked to quit (the row's end
// step still runs).
//
// Keys (KeyAction): pause holds the frame timer and the music where they are and
// presents the same frame until pause, a skip or a quit comes; the next and previous
// scene (PageUp in scene 1 restarts it, PageDown in the last scene ends the run
// normally) run the row's end step, then SceneRestart, then the loop as from
// firstScene = the new scene; volume and mute go to the music. With the
// information line shown, each frame sets its text.
DemoEnd RunScenes(const SceneRow* rows, int count, int firstScene);

// Brings every piece of demo state back to how a fresh start at `scene` has it
// before the first set-up (RunDemo installs RestartDemoAt); null: skips are ignored.
extern void (*SceneRestart)(int scene);

// Called after every presented frame with the scene that drew it, before the order
// is compared; null by default. Capture sets it (timeline line, virtual clock step).
extern void (*FrameEndStep)(int scene);

// First scene to show (1..SceneCount). Earlier scenes run their set-ups without
// frames; the music starts at the first order after the previous scene's limit.
extern int DemoStartScene;

// Runs the whole demo: start-up (memory probe, working buffers, the loading list,
// timer and music), then the scene table. Returns after the closing picture or when
// the user quits. The music is muted (still advancing) when StartupOptions.soundOn
// is 0. Start-up failures print their line and exit with status 1.
DemoEnd RunDemo();
// The state of a fresh start at `scene` (see StartDemo), with the music held while it
// is rebuilt and then started at that scene's first order.
void RestartDemoAt(int scene);
