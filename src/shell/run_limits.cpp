// --until-scene and --seconds in live play; the scene test is shared with capture.
#include "audio/audio.h"
#include "demo/demo.h"
#include "shell/shell.h"
#include "video/video.h"

namespace {

int LiveUntilScene = 0;
uint64_t LiveStopTicks = 0;
uint64_t TicksSoFar = 0;
uint32_t LastTick = 0;
bool TickSeen = false;

// Counts the ticks since the first frame from TickCounters[2], which only the
// final scene's set-up resets (the count then goes on from 0).
void LiveFrameEnd(int scene)
{
    const uint32_t tick = TickCounters[2].load();
    if (TickSeen)
        TicksSoFar += tick >= LastTick ? tick - LastTick : tick;
    LastTick = tick;
    TickSeen = true;
    if ((LiveUntilScene != 0 && UntilSceneReached(scene, LiveUntilScene)) ||
        (LiveStopTicks != 0 && TicksSoFar >= LiveStopTicks))
        QuitRequested = true;
}

}   // namespace

bool UntilSceneReached(int scene, int untilScene)
{
    return scene > untilScene ||
           (scene == untilScene && MusicPosition.order > SceneLimit(SceneTable, SceneTableRows, untilScene));
}

void LimitLiveRun(int untilScene, int stopSeconds)
{
    LiveUntilScene = untilScene;
    LiveStopTicks = uint64_t(stopSeconds > 0 ? stopSeconds : 0) * CaptureFramesPerSecond;
    TicksSoFar = 0;
    TickSeen = false;
    if (untilScene != 0 || stopSeconds > 0)
        FrameEndStep = LiveFrameEnd;
}
