// The keys of a live run on the real demo and its default data, each run in a child
// process of its own (the demo's state is process-wide): a skip rebuilds exactly the
// state a start at that scene has, and pause holds the timer and the music.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>
#include <thread>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "audio/audio.h"
#include "clock/tick_source.h"
#include "core/pixels.h"
#include "demo/startup.h"
#include "demo_child.h"
#include "test_files.h"
#include "video/video.h"

namespace {

FILE* Out = nullptr;

class LiveKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (access(DataPath.c_str(), R_OK) != 0)
            GTEST_SKIP() << "needs the default data at " << DataPath;
    }
};

// One key a frame from scene 1: PageUp (scene 1 again), PageDown to 12, PageUp twice
// (back to 10, whose maps were freed on the way into scene 11), PageDown to 17 and
// once more (the end). Every first frame after a skip is compared with a start at
// that scene.
TEST_F(LiveKeys, ASkipsFirstFrameEqualsAStartAtThatScene)
{
    const std::string skipped = InChild([](FILE* out) {
        Out = out;
        UseVirtualClock(nullptr);
        static std::vector<KeyAction> keys;
        keys = {KeyActionPreviousScene};
        keys.insert(keys.end(), 11, KeyActionNextScene);
        keys.insert(keys.end(), 2, KeyActionPreviousScene);
        keys.insert(keys.end(), 8, KeyActionNextScene);
        DemoHooks hooks;
        hooks.frameEnd = [](int shown, void*) {
            static size_t frame = 0;
            std::fprintf(Out, "%d %llx\n", shown, static_cast<unsigned long long>(FrameState()));
            if (frame >= keys.size())
                return true;
            PushKeyAction(keys[frame++]);
            return false;
        };
        std::fprintf(out, "%s\n", RunDemo(1, hooks) == DemoFinished ? "finished" : "quit");
    });
    std::vector<std::string> lines;
    std::istringstream in(skipped);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 23u) << skipped;   // 22 frames, then how the run ended
    EXPECT_EQ(lines[22], "finished");          // PageDown in scene 17 ends normally
    const std::pair<size_t, int> compared[] = {{1, 1}, {12, 12}, {14, 10}, {20, 16}, {21, 17}};
    for (const auto& [line, scene] : compared)
        EXPECT_EQ(lines[line] + "\n", FirstFrameOf(scene)) << "scene " << scene;
}

// Pause in the silent sink and the real frame timer: while paused the counters and
// the heard position stand still, and after the resume they go on from there.
TEST_F(LiveKeys, PauseHoldsTheTimerAndTheMusicWhereTheyWere)
{
    const std::string held = InChild([](FILE* out) {
        Out = out;
        StartupOptions.soundOn = 0;
        MusicInit(nullptr);
        UseTickSource(&ThreadTickSource);
        AllocateTrueColorFrame();
        static int polls = 0, framesAfter = -1;
        static const PresentBackend probe = {
            "probe",
            [](const PresentSettings&) { return true; },
            [](const uint8_t*) {},
            [](const uint8_t*, const uint8_t*) {},
            [] {
                if (MusicPaused() && (++polls == 2 || polls == 15)) {
                    std::fprintf(Out, "%u %.4f %u:%u\n", TickCounters[1].load(), MusicSeconds(), MusicPosition.order,
                                 MusicPosition.row);
                    if (polls == 15) {
                        PushKeyAction(KeyActionPause);
                        framesAfter = 0;
                    }
                }
                return false;
            },
            [] { return true; },
            nullptr,
            [](int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }};
        UsePresentBackend(&probe);
        DemoHooks hooks;
        hooks.frameEnd = [](int, void*) {
            static int frames = 0;
            if (++frames == 3)
                PushKeyAction(KeyActionPause);
            if (framesAfter >= 0 && ++framesAfter == 1) {
                std::fprintf(Out, "%u %.4f\n", TickCounters[1].load(), MusicSeconds());
                return true;
            }
            return false;
        };
        RunDemo(1, hooks);
    });
    unsigned t1 = 0, t2 = 0, t3 = 0;
    double s1 = 0, s2 = 0, s3 = 0;
    char p1[16] = "", p2[16] = "";
    ASSERT_EQ(std::sscanf(held.c_str(), "%u %lf %15s %u %lf %15s %u %lf", &t1, &s1, p1, &t2, &s2, p2, &t3, &s3), 8)
        << held;
    EXPECT_EQ(t1, t2);   // 13 polls at least 30 ms apart: the timer would have ticked
    EXPECT_EQ(s1, s2);
    EXPECT_STREQ(p1, p2);
    EXPECT_LE(t3 - t2, 2u);   // nothing jumps on resume
    EXPECT_GE(s3, s2);
    EXPECT_LT(s3 - s2, 0.1);
}

}   // namespace
