// --until-scene and --seconds in live play; the scene test is shared with capture.
#include "audio/audio.h"
#include "demo/scene_table.h"
#include "shell/shell.h"

namespace {

// Counts the ticks since the first frame from TickCounters[2], which only the
// final scene's set-up resets (the count then goes on from 0).
bool LiveFrameEnd(int scene, void* context)
{
    LiveLimits& limits = *static_cast<LiveLimits*>(context);
    const uint32_t tick = TickCounters[2].load();
    if (limits.tickSeen)
        limits.ticksSoFar += tick >= limits.lastTick ? tick - limits.lastTick : tick;
    limits.lastTick = tick;
    limits.tickSeen = true;
    return (limits.untilScene != 0 && UntilSceneReached(scene, limits.untilScene)) ||
           (limits.stopTicks != 0 && limits.ticksSoFar >= limits.stopTicks);
}

}   // namespace

bool UntilSceneReached(int scene, int untilScene)
{
    return scene > untilScene ||
           (scene == untilScene && MusicPosition.order > SceneLimit(SceneTable, SceneTableRows, untilScene));
}

DemoHooks LiveRunHooks(LiveLimits* limits, int untilScene, int stopSeconds)
{
    *limits = LiveLimits{};
    limits->untilScene = untilScene;
    limits->stopTicks = uint64_t(stopSeconds > 0 ? stopSeconds : 0) * CaptureFramesPerSecond;
    DemoHooks hooks;
    if (untilScene != 0 || stopSeconds > 0) {
        hooks.frameEnd = LiveFrameEnd;
        hooks.context = limits;
    }
    return hooks;
}
