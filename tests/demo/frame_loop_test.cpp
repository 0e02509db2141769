// The frame loop over a made-up scene table: the table alone decides where each
// scene ends, every row draws at least one frame, scenes before the first shown one
// run their steps without frames, and a quit ends the run after its frame.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "clock/tick_source.h"
#include "core/pixels.h"
#include "demo/frame_loop.h"
#include "video/video.h"

namespace {

std::string Log;

// The music advances one order per presented frame; a frame drawn at order
// QuitAtOrder asks to quit.
int QuitAtOrder = -1;
bool QuitAsked = false;
bool MusicStep(int scene, void*)
{
    Log += 'p';
    Log += std::to_string(scene);
    Log += ' ';
    MusicPosition.order++;
    return QuitAsked;
}

void Between() { Log += "between "; }
void SetUpA() { Log += "setA "; }
void SetUpB() { Log += "setB "; }
void SetUpC() { Log += "setC "; }
void SetUpD() { Log += "setD "; }
void Draw()
{
    Log += 'd';
    Log += std::to_string(MusicPosition.order);
    Log += ' ';
    if (MusicPosition.order == QuitAtOrder)
        QuitAsked = true;
}
void End() { Log += "end "; }

// Scene 2 has two parts; scene 3 starts after its limit has passed; scene 4 is the
// added row.
const uint8_t Limits[] = {1, 3, 4, 2, 6};
const SceneRow Rows[] = {
    {1, "one", &Limits[0], nullptr, SetUpA, Draw, End},
    {2, "two", &Limits[1], Between, SetUpB, Draw, nullptr},
    {2, "two, second part", &Limits[2], nullptr, nullptr, Draw, End},
    {3, "three", &Limits[3], nullptr, SetUpC, Draw, nullptr},
    {4, "added", &Limits[4], Between, SetUpD, Draw, End},
};
constexpr int RowCount = 5;

DemoHooks Hooks(bool (*frameEnd)(int, void*), void (*restart)(int, void*) = nullptr)
{
    DemoHooks hooks;
    hooks.frameEnd = frameEnd;
    hooks.restart = restart;
    return hooks;
}

class FrameLoopTest : public testing::Test {
protected:
    void SetUp() override
    {
        Log.clear();
        QuitAtOrder = -1;
        QuitAsked = false;
        MusicPosition = {0, 0};
        ClearKeyActions();
    }
};

TEST_F(FrameLoopTest, LimitsOfTheTableEndEachRowAfterAtLeastOneFrame)
{
    EXPECT_EQ(RunScenes(Rows, RowCount, 1, Hooks(MusicStep)), DemoFinished);
    EXPECT_EQ(Log, "setA d0 p1 d1 p1 end "       // order 0 and 1 are <= 1
                   "between setB d2 p2 d3 p2 "   // ends when the order passes 3
                   "d4 p2 end "                  // the second part keeps the set-up
                   "setC d5 p3 "                 // limit 2 long passed: one frame
                   "between setD d6 p4 end ");   // the added row
    EXPECT_EQ(MusicPosition.order, 7);
}

TEST_F(FrameLoopTest, ScenesBeforeTheFirstRunTheirStepsWithoutFrames)
{
    MusicPosition = {3, 0};
    EXPECT_EQ(RunScenes(Rows, RowCount, 3, Hooks(MusicStep)), DemoFinished);
    EXPECT_EQ(Log, "setA end between setB end setC d3 p3 between setD d4 p4 d5 p4 d6 p4 end ");
}

TEST_F(FrameLoopTest, QuitEndsTheRunAfterItsFrameAndTheRowsEndStep)
{
    QuitAtOrder = 3;
    EXPECT_EQ(RunScenes(Rows, RowCount, 1, Hooks(MusicStep)), DemoQuit);
    EXPECT_EQ(Log, "setA d0 p1 d1 p1 end between setB d2 p2 d3 p2 ");
}

// Skip keys: the row's end step runs, then the restart, then the table again from
// the new scene (earlier rows without frames, as a start at that scene); PageUp in
// the first scene restarts it, PageDown in the last ends the run normally.
std::vector<std::vector<KeyAction>> KeysAtFrame;
size_t FrameIndex = 0;
bool PressKeys(int scene, void*)
{
    MusicStep(scene, nullptr);
    if (FrameIndex < KeysAtFrame.size())
        for (KeyAction key : KeysAtFrame[FrameIndex])
            PushKeyAction(key);
    FrameIndex++;
    return false;
}
// The music as a start at `scene` has it: the order after the previous scene's limit.
void Restart(int scene, void*)
{
    Log += "restart" + std::to_string(scene) + ' ';
    MusicPosition.order = uint8_t(scene > 1 ? SceneLimit(Rows, RowCount, scene - 1) + 1 : 0);
}

TEST_F(FrameLoopTest, SkipsRestartTheTableAtTheNewScene)
{
    FrameIndex = 0;
    KeysAtFrame = {{KeyActionPreviousScene},   // scene 1: restarts it
                   {KeyActionNextScene},       // on to 2
                   {},
                   {KeyActionNextScene, KeyActionNextScene}};   // two waiting: on to 4 at once
    EXPECT_EQ(RunScenes(Rows, RowCount, 1, Hooks(PressKeys, Restart)), DemoFinished);
    EXPECT_EQ(Log, "setA d0 p1 end restart1 "
                   "setA d0 p1 end restart2 "
                   "setA end between setB d2 p2 d3 p2 restart4 "
                   "setA end between setB end setC between setD d3 p4 d4 p4 d5 p4 d6 p4 end ");
}

TEST_F(FrameLoopTest, PageDownInTheLastSceneEndsNormallyAndSkipsNeedARestart)
{
    auto skipEachFrame = [](int scene, void*) {
        MusicStep(scene, nullptr);
        PushKeyAction(KeyActionNextScene);
        return false;
    };
    MusicPosition = {5, 0};
    EXPECT_EQ(RunScenes(Rows, RowCount, 4, Hooks(skipEachFrame, Restart)), DemoFinished);
    EXPECT_EQ(Log, "setA end between setB end setC between setD d5 p4 end ");
    // Without a restart (capture, tests) the keys change nothing.
    Log.clear();
    MusicPosition = {5, 0};
    EXPECT_EQ(RunScenes(Rows, RowCount, 4, Hooks(skipEachFrame)), DemoFinished);
    EXPECT_EQ(Log, "setA end between setB end setC between setD d5 p4 d6 p4 end ");
    ClearKeyActions();
}

// --loop: after the last row the restart brings scene 1 back and the table plays
// again, as many times as asked; PageDown in the last scene ends a run as its end
// does; a quit ends them all; without a restart the table plays once.
TEST_F(FrameLoopTest, RunsPlayTheTableAgainFromARestartAtSceneOne)
{
    DemoHooks hooks = Hooks(MusicStep, Restart);
    hooks.runs = 2;
    EXPECT_EQ(RunScenes(Rows, RowCount, 3, hooks), DemoFinished);
    const std::string once =
        "setA d0 p1 d1 p1 end between setB d2 p2 d3 p2 d4 p2 end setC d5 p3 between setD d6 p4 end ";
    EXPECT_EQ(Log, "setA end between setB end setC d0 p3 d1 p3 d2 p3 between setD d3 p4 d4 p4 d5 p4 d6 p4 end "
                   "restart1 " +
                       once);

    Log.clear();
    MusicPosition = {5, 0};
    auto skipEachFrame = [](int scene, void*) {
        MusicStep(scene, nullptr);
        if (scene == 4)
            PushKeyAction(KeyActionNextScene);
        return false;
    };
    hooks = Hooks(skipEachFrame, Restart);
    hooks.runs = 3;
    EXPECT_EQ(RunScenes(Rows, RowCount, 4, hooks), DemoFinished);
    EXPECT_EQ(Log, "setA end between setB end setC between setD d5 p4 end restart1 " + once + "restart1 " + once);

    Log.clear();
    MusicPosition = {5, 0};
    QuitAtOrder = 3;
    hooks = Hooks(MusicStep, Restart);
    hooks.runs = 0;   // forever: until the quit
    EXPECT_EQ(RunScenes(Rows, RowCount, 4, hooks), DemoQuit);
    EXPECT_EQ(Log, "setA end between setB end setC between setD d5 p4 d6 p4 end restart1 "
                   "setA d0 p1 d1 p1 end between setB d2 p2 d3 p2 ");

    Log.clear();
    MusicPosition = {0, 0};
    QuitAtOrder = -1;
    QuitAsked = false;
    hooks = Hooks(MusicStep);
    hooks.runs = 2;
    EXPECT_EQ(RunScenes(Rows, RowCount, 4, hooks), DemoFinished);
    EXPECT_EQ(Log.find("restart"), std::string::npos);
    ClearKeyActions();
}

TEST(SceneTable, CountNamesAndLimitsComeFromTheRows)
{
    EXPECT_EQ(SceneCount(Rows, RowCount), 4);
    EXPECT_STREQ(SceneName(Rows, RowCount, 2), "two");
    EXPECT_EQ(SceneName(Rows, RowCount, 5), nullptr);
    EXPECT_EQ(SceneLimit(Rows, RowCount, 2), 4);
    EXPECT_EQ(SceneLimit(Rows, RowCount, 4), 6);
    EXPECT_EQ(SceneLimit(Rows, RowCount, 0), 0);
}

// The loop never waits: each step presents one frame (or, paused, looks at the keys
// once) and returns; waiting belongs to whoever steps it. A backend counts what the
// loop asks of it and a tick source counts its starts and stops.
int Presented = 0, Polled = 0, Waited = 0;
int TickStarts = 0, TickStops = 0;
const PresentBackend CountingBackend = {"counting",
                                        [](const PresentSettings&) { return true; },
                                        [](const uint8_t*) {},
                                        [](const uint8_t*, const uint8_t*) { Presented++; },
                                        [] {
                                            Polled++;
                                            return false;
                                        },
                                        [] { return true; },
                                        nullptr,
                                        [](int) { Waited++; }};
const TickSource CountingTicks = {"counting", [] { TickStarts++; }, [] { TickStops++; }};

bool StillMusic(int, void*) { return false; }

TEST_F(FrameLoopTest, StepsNeverWaitAndPauseHoldsTheTickSource)
{
    ASSERT_TRUE(AllocateTrueColorFrame());
    uint8_t frame[ScreenBytes] = {};
    uint8_t* savedFrame = FrameBuffer;
    FrameBuffer = frame;
    UsePresentBackend(&CountingBackend);
    UseTickSource(&CountingTicks);
    Presented = Polled = Waited = TickStarts = TickStops = 0;
    FrameLoop loop;
    BeginFrameLoop(&loop, Rows, RowCount, 1, Hooks(StillMusic));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(StepFrameLoop(&loop), FrameLoopRunning);
    EXPECT_EQ(Presented, 1);
    PushKeyAction(KeyActionPause);
    EXPECT_EQ(StepFrameLoop(&loop), FrameLoopPaused);   // the frame, then the pause
    EXPECT_EQ(TickStops, 1);
    const int presentedAtPause = Presented;
    const size_t drawnAtPause = Log.size();
    for (int i = 0; i < 1000; i++)
        ASSERT_EQ(StepFrameLoop(&loop), FrameLoopPaused);
    // The held frame again every 16th step, the events read on the others; nothing
    // drawn.
    EXPECT_EQ(Presented - presentedAtPause, 1000 / 16);
    EXPECT_GE(Polled, 1000);
    EXPECT_EQ(Log.size(), drawnAtPause);
    PushKeyAction(KeyActionPause);
    EXPECT_EQ(StepFrameLoop(&loop), FrameLoopRunning);
    EXPECT_EQ(TickStarts, 1);
    EXPECT_EQ(StepFrameLoop(&loop), FrameLoopRunning);
    EXPECT_EQ(Waited, 0);
    // A thousand paused steps that each slept as little as the 30 ms of a wait would
    // take half a minute.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    UseTickSource(nullptr);
    UsePresentBackend(nullptr);
    FrameBuffer = savedFrame;
}

}   // namespace
