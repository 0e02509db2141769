// Watch and replay for tivrel --data FOLDER: the content folder is watched (inotify)
// while the demo plays; a save of a source or the manifest rebuilds the data file in
// the background (content_folder.h), and a build that succeeds replaces the data
// between two frames and restarts a scene as a skip to it does. A build that fails
// leaves the old data playing, with its one line on stderr and over the picture.
//
// Which scene restarts: the entries whose packed bytes differ between the old and
// the new data file are compared with the entry table's scenes; when they all show
// in exactly one scene (a mesh, a mesh scene's texture, the closing picture) that
// scene restarts, else the scene being shown does.
//
// Events: a file closed after writing, moved in or out, created or deleted in the
// folder or a folder below it (a rename over a file, as editors save, is seen as a
// move in). Hidden names (".x", the build cache) and editor leftovers ("x~",
// "#x#", ".swp") are not sources. A burst of saves is one rebuild: the build starts
// once no event came for QuietMilliseconds; events during a build start another
// when it ends, and the older result is dropped.
#pragma once
#include <chrono>
#include <string>
#include <vector>

#include "demo/frame_loop.h"
#include "shell/content_folder.h"

constexpr int QuietMilliseconds = 80;

struct ContentWatch {
    using Clock = std::chrono::steady_clock;
    std::string folder;
    int inotify = -1;
    std::vector<std::pair<int, std::string>> watches;   // descriptor, folder watched
    bool pending = false;                               // changes not yet in a build
    Clock::time_point lastEvent;                        // of the pending changes
    Clock::time_point firstEvent;                       // the first save since the data in use was made
    bool changedDuringBuild = false;
    FolderBuild build;
    Clock::time_point buildStarted;
    std::string paths[2];   // the data file in use and the one before: overlayName points into one
    int fds[2] = {-1, -1};
    int current = 0;
    std::string message;   // the last failure's line, "" after a success
    DemoHooks inner;       // the run's own hooks, called through
    // Figures of the last replay, seconds: the build, and from the save to the
    // first frame over the new data (0 until that frame is shown).
    double buildSeconds = 0, saveToFrameSeconds = 0;
    bool replayShown = true;   // the first frame after the last replay was shown
    int replayScene = 0;
    int replays = 0, failures = 0;
};

// Starts watching `folder`, whose data file in use is at `dataPath`. False with a
// one-line reason (the demo then plays without watching).
bool StartContentWatch(ContentWatch* watch, const std::string& folder, const std::string& dataPath, std::string* error);
// Between frames, never waiting: takes the folder's events, starts a build when a
// burst has been quiet, takes a build's end. After a successful build the demo's
// data is switched (SwitchDemoData) and the scene to restart is returned; else 0.
int PollContentWatch(ContentWatch* watch, int sceneShown);
// Whether a change or a build is still on its way (for tests).
bool ContentWatchBusy(const ContentWatch& watch);
void StopContentWatch(ContentWatch* watch);
// `inner` with the watch's replay hook (the frameEnd of `inner` still called).
DemoHooks WatchedHooks(ContentWatch* watch, const DemoHooks& inner);

// The scenes of an entry table row's list ("1-3, 9"), in rising order.
std::vector<int> ScenesOfList(const char* list);
