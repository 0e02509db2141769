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
#include <string>
#include <vector>

#include "archive/archive.h"
#include "audio/audio.h"
#include "core/pixels.h"
#include "demo/demo.h"
#include "demo/timeline.h"
#include "test_files.h"
#include "video/video.h"

namespace {

const std::string DataPath = std::string(TIVREL_BUILD_DIR) + "/tivrel.ovl";

// Runs `body` in a child with stdout silenced; returns what it wrote to `out`.
std::string InChild(const std::function<void(FILE* out)>& body)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        freopen("/dev/null", "w", stdout);
        FILE* out = fdopen(fds[1], "w");
        // The process-wide state as a new process has it (other tests ran before).
        overlayName = DataPath.c_str();
        MusicPosition = {0, 0};
        for (auto& counter : TickCounters)
            counter.store(0);
        QuitRequested = false;
        ClearKeyActions();
        body(out);
        std::fclose(out);
        std::_Exit(0);
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return text;
}

// What a frame shows and the counters it was drawn with: FrameBuffer, the device
// palette, the music position and the three tick counters, as one hash.
uint64_t FrameState()
{
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; i++)
            h = (h ^ p[i]) * 1099511628211ull;
    };
    mix(FrameBuffer, ScreenBytes);
    mix(DevicePalette, sizeof DevicePalette);
    const uint8_t position[2] = {MusicPosition.order, MusicPosition.row};
    mix(position, 2);
    for (auto& counter : TickCounters) {
        const uint32_t value = counter.load();
        mix(reinterpret_cast<const uint8_t*>(&value), 4);
    }
    return h;
}

FILE* Out = nullptr;

// A start at `scene` on the virtual clock: the state of its first frame.
std::string FirstFrameOf(int scene)
{
    return InChild([scene](FILE* out) {
        Out = out;
        UseVirtualClock(nullptr);
        StartDemo(scene);
        FrameEndStep = [](int shown) {
            std::fprintf(Out, "%d %llx\n", shown, static_cast<unsigned long long>(FrameState()));
            QuitRequested = true;
        };
        RunScenes(SceneTable, SceneTableRows, scene);
    });
}

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
        StartDemo(1);
        SceneRestart = RestartDemoAt;
        static std::vector<KeyAction> keys;
        keys = {KeyActionPreviousScene};
        keys.insert(keys.end(), 11, KeyActionNextScene);
        keys.insert(keys.end(), 2, KeyActionPreviousScene);
        keys.insert(keys.end(), 8, KeyActionNextScene);
        FrameEndStep = [](int shown) {
            static size_t frame = 0;
            std::fprintf(Out, "%d %llx\n", shown, static_cast<unsigned long long>(FrameState()));
            if (frame < keys.size())
                PushKeyAction(keys[frame++]);
            else
                QuitRequested = true;
        };
        std::fprintf(out, "%s\n", RunScenes(SceneTable, SceneTableRows, 1) == DemoFinished ? "finished" : "quit");
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
        MusicInit(false);
        AllocateTrueColorFrame();
        StartDemo(1);
        static int polls = 0, framesAfter = -1;
        static const PresentBackend probe = {"probe",
                                             [] { return true; },
                                             [](const uint8_t*) {},
                                             [](const uint8_t*, const uint8_t*) {},
                                             [] {
                                                 if (MusicPaused() && (++polls == 2 || polls == 15)) {
                                                     std::fprintf(Out, "%u %.4f %u:%u\n", TickCounters[1].load(),
                                                                  MusicSeconds(), MusicPosition.order,
                                                                  MusicPosition.row);
                                                     if (polls == 15) {
                                                         PushKeyAction(KeyActionPause);
                                                         framesAfter = 0;
                                                     }
                                                 }
                                                 return false;
                                             },
                                             [] { return true; }};
        UsePresentBackend(&probe);
        FrameEndStep = [](int) {
            static int frames = 0;
            if (++frames == 3)
                PushKeyAction(KeyActionPause);
            if (framesAfter >= 0 && ++framesAfter == 1) {
                std::fprintf(Out, "%u %.4f\n", TickCounters[1].load(), MusicSeconds());
                QuitRequested = true;
            }
        };
        RunScenes(SceneTable, SceneTableRows, 1);
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
