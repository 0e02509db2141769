// The frame loop over a scene table.
#include "demo/demo.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "audio/audio.h"
#include "video/video.h"

void (*FrameEndStep)(int scene) = nullptr;
void (*SceneRestart)(int scene) = nullptr;

int SceneCount(const SceneRow* rows, int count) { return count > 0 ? rows[count - 1].number : 0; }

const char* SceneName(const SceneRow* rows, int count, int number)
{
    for (int i = 0; i < count; i++)
        if (rows[i].number == number)
            return rows[i].name;
    return nullptr;
}

int SceneLimit(const SceneRow* rows, int count, int number)
{
    int limit = 0;
    for (int i = 0; i < count; i++)
        if (rows[i].number == number)
            limit = rows[i].limit;
    return limit;
}

namespace {

constexpr int VolumeStep = 10;

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

void SetInfoText(const SceneRow& row, bool paused)
{
    if (!InfoLineShown)
        return;
    const int seconds = int(MusicSeconds());
    char text[160];
    char volume[16] = "mute";
    if (!MusicMuted())
        std::snprintf(volume, sizeof volume, "vol %d", MusicVolume());
    std::snprintf(text, sizeof text, "%d %s  %02u:%02u  %d:%02d  %d fps  %s%s", row.number, row.name,
                  MusicPosition.order, MusicPosition.row, seconds / 60, seconds % 60, Rate.perSecond, volume,
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

// The scene a skip key leads to from `scene`: 0 for none, SceneCount + 1 for the end.
int SkipTarget(KeyAction action, int scene, int sceneCount)
{
    if (SceneRestart == nullptr)
        return 0;
    if (action == KeyActionNextScene)
        return scene <= sceneCount ? scene + 1 : scene;
    if (action == KeyActionPreviousScene)
        return scene > 1 ? scene - 1 : 1;
    return 0;
}

// Paused: timer and music held, the same frame presented until the user resumes,
// skips or quits. Returns the skip target (0: none).
int RunPaused(const SceneRow& row, int sceneCount)
{
    StopFrameTimer();
    PauseMusic();
    int target = 0;
    bool resume = false;
    // The held frame is shown again twice a second (a resized or restored window)
    // and after each key; keys are read every 30 ms.
    for (int wait = 0; !resume && target == 0 && !QuitRequested; wait = (wait + 1) % 16) {
        SetInfoText(row, true);
        const bool infoShown = InfoLineShown;
        if (wait == 0)
            PresentFrame();
        else
            PumpEvents();
        if (InfoLineShown != infoShown)
            wait = 15;   // show the change at once
        for (KeyAction action; (action = TakeKeyAction()) != KeyActionNone; wait = 15) {
            if (action == KeyActionPause)
                resume = true;
            else if (action == KeyActionNextScene || action == KeyActionPreviousScene)
                target = SkipTarget(action, target != 0 ? target : row.number, sceneCount);
            else
                ChangeVolume(action);
        }
        if (!resume && target == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    ResumeMusic();
    StartFrameTimer();
    return target;
}

// The rows from firstScene; *skipTo gets the scene a skip key asked for (0: none).
DemoEnd RunRows(const SceneRow* rows, int count, int firstScene, int* skipTo)
{
    const int sceneCount = SceneCount(rows, count);
    *skipTo = 0;
    for (int i = 0; i < count; i++) {
        const SceneRow& row = rows[i];
        if (row.between != nullptr)
            row.between();
        if (row.setUp != nullptr)
            row.setUp();
        bool quit = false;
        if (row.number >= firstScene) {
            do {
                row.frame();
                UpdateMusicPosition();
                CountFrame();
                SetInfoText(row, false);
                PresentFrame();
                if (FrameEndStep != nullptr)
                    FrameEndStep(row.number);
                // Skip keys waiting together add up to one skip.
                for (KeyAction action; (action = TakeKeyAction()) != KeyActionNone;) {
                    if (action == KeyActionPause && *skipTo == 0)
                        *skipTo = RunPaused(row, sceneCount);
                    else if (action == KeyActionNextScene || action == KeyActionPreviousScene)
                        *skipTo = SkipTarget(action, *skipTo != 0 ? *skipTo : row.number, sceneCount);
                    else if (action != KeyActionPause)
                        ChangeVolume(action);
                }
                quit = QuitRequested;
            } while (!quit && *skipTo == 0 && MusicPosition.order <= row.limit);
        }
        if (row.end != nullptr)
            row.end();
        if (quit)
            return DemoQuit;
        if (*skipTo > sceneCount) {
            *skipTo = 0;
            return DemoFinished;
        }
        if (*skipTo != 0)
            return DemoFinished;
    }
    return DemoFinished;
}

}   // namespace

DemoEnd RunScenes(const SceneRow* rows, int count, int firstScene)
{
    for (;;) {
        int skipTo = 0;
        const DemoEnd end = RunRows(rows, count, firstScene, &skipTo);
        if (skipTo == 0)
            return end;
        SceneRestart(skipTo);
        firstScene = skipTo;
    }
}
