// Start-up of the demo: the memory probe, the working buffers, the loading list, the
// music started; the restart that skip keys ask for; and RunDemo, the whole show.
#pragma once
#include <cstdint>
#include <string>

#include "demo/frame_loop.h"

// Memory probe, working buffers in table order (zero-filled), ZOH_Init, the music
// read and load, the frame timer, the loading list, the scratch areas, the euf0010
// palette and texture made current, the music started (at the order after the limit
// of scene firstScene - 1; muted but advancing when StartupOptions.soundOn is 0).
// Failures print their line and exit with status 1.
void StartDemo(int firstScene);

// The state of a fresh start at `scene` (see StartDemo), with the music held while it
// is rebuilt and then started at that scene's first order. The restart hook of
// RunDemo and BeginDemo.
void RestartDemoAt(int scene);

// The plan entry of the data file at `path` (archive/plan_entry.h) made the plan in
// force, or the design's plan when the file has none, and its stereo separation the
// music's. True also when the file cannot be opened (the reader says so later);
// false with one line ("PATH: plan.dat: REASON") when the entry is malformed.
// StartDemo calls it; the shell calls it before a capture's estimate.
bool UseDataFilePlan(const char* path, std::string* error);

// Replay between two frames: the demo goes on with the data file at `path` instead
// of overlayName. The new file is checked first (every entry of the entry table
// there and big enough, its plan entry, its module loads); on success it becomes the
// demo's archive and overlayName (the caller keeps `path` alive), its plan the plan
// in force and its module the music (reloaded only when its bytes differ), and the
// caller then restarts a scene (RestartDemoAt, as a skip does). On failure nothing
// changes and *error is one line.
bool SwitchDemoData(const char* path, std::string* error);

// StartDemo, then the frame loop over the scene table from `firstScene` (clamped to
// 1..17), with RestartDemoAt as its restart hook: for callers that step it
// themselves (a page's animation frames).
void BeginDemo(FrameLoop* loop, int firstScene, DemoHooks hooks = {});
// BeginDemo, then RunScenes' stepping until the end. Returns after the closing
// picture, or when the user (or the frameEnd hook) ended the run.
DemoEnd RunDemo(int firstScene = 1, DemoHooks hooks = {});

// Every read the demo makes is checked first: archive entry `entry`, the data file's
// `name`, must hold at least what the entry table says the demo reads from it, else
// one line "ZOH_Read: NAME holds N bytes, the demo reads M" and status 1. (The
// archive makes sure an entry decodes to the size its directory gives, so the check
// is against what the entry really holds.)
void RequireEntryBytes(int32_t entry, const char* name);
// Ends the run with the archive's reason for its last failure (one line, status 1);
// when the data file was written to since the demo opened it, the line says so
// first: "ZOH_Read: PATH changed while the demo played: REASON".
[[noreturn]] void FailWithArchiveReason();
// Before a read after loading (the meshes, their textures, the closing picture; the
// loading list too): when the data file was written to since the demo opened it (its
// size or modification time, of the file opened: one replaced by a rename is still
// read as it was), one line "ZOH_Read: PATH changed while the demo played; entry
// "NAME" is not read from it" and status 1. RequireEntryBytes asks this first.
void RequireUnchangedDataFile(const char* name);
