// The frame loop over a made-up scene table: the table alone decides where each
// scene ends, every row draws at least one frame, scenes before the first shown one
// run their steps without frames, and a quit ends the run after its frame.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/demo.h"
#include "video/video.h"

namespace {

std::string Log;

// The music advances one order per presented frame; a frame drawn at order
// QuitAtOrder asks to quit.
int QuitAtOrder = -1;
void MusicStep(int scene)
{
    Log += 'p';
    Log += std::to_string(scene);
    Log += ' ';
    MusicPosition.order++;
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
        QuitRequested = true;
}
void End() { Log += "end "; }

// Scene 2 has two parts; scene 3 starts after its limit has passed; scene 4 is the
// added row.
const SceneRow Rows[] = {
    {1, "one", 1, nullptr, SetUpA, Draw, End},
    {2, "two", 3, Between, SetUpB, Draw, nullptr},
    {2, "two, second part", 4, nullptr, nullptr, Draw, End},
    {3, "three", 2, nullptr, SetUpC, Draw, nullptr},
    {4, "added", 6, Between, SetUpD, Draw, End},
};
constexpr int RowCount = 5;

class FrameLoop : public testing::Test {
protected:
    void SetUp() override
    {
        Log.clear();
        QuitAtOrder = -1;
        QuitRequested = false;
        MusicPosition = {0, 0};
        FrameEndStep = MusicStep;
    }
    void TearDown() override
    {
        FrameEndStep = nullptr;
        QuitRequested = false;
    }
};

TEST_F(FrameLoop, LimitsOfTheTableEndEachRowAfterAtLeastOneFrame)
{
    EXPECT_EQ(RunScenes(Rows, RowCount, 1), DemoFinished);
    EXPECT_EQ(Log, "setA d0 p1 d1 p1 end "       // order 0 and 1 are <= 1
                   "between setB d2 p2 d3 p2 "   // ends when the order passes 3
                   "d4 p2 end "                  // the second part keeps the set-up
                   "setC d5 p3 "                 // limit 2 long passed: one frame
                   "between setD d6 p4 end ");   // the added row
    EXPECT_EQ(MusicPosition.order, 7);
}

TEST_F(FrameLoop, ScenesBeforeTheFirstRunTheirStepsWithoutFrames)
{
    MusicPosition = {3, 0};
    EXPECT_EQ(RunScenes(Rows, RowCount, 3), DemoFinished);
    EXPECT_EQ(Log, "setA end between setB end setC d3 p3 between setD d4 p4 d5 p4 d6 p4 end ");
}

TEST_F(FrameLoop, QuitEndsTheRunAfterItsFrameAndTheRowsEndStep)
{
    QuitAtOrder = 3;
    EXPECT_EQ(RunScenes(Rows, RowCount, 1), DemoQuit);
    EXPECT_EQ(Log, "setA d0 p1 d1 p1 end between setB d2 p2 d3 p2 ");
}

// Skip keys: the row's end step runs, then the restart, then the table again from
// the new scene (earlier rows without frames, as a start at that scene); PageUp in
// the first scene restarts it, PageDown in the last ends the run normally.
std::vector<std::vector<KeyAction>> KeysAtFrame;
size_t FrameIndex = 0;
void PressKeys(int scene)
{
    MusicStep(scene);
    if (FrameIndex < KeysAtFrame.size())
        for (KeyAction key : KeysAtFrame[FrameIndex])
            PushKeyAction(key);
    FrameIndex++;
}
// The music as a start at `scene` has it: the order after the previous scene's limit.
void Restart(int scene)
{
    Log += "restart" + std::to_string(scene) + ' ';
    MusicPosition.order = uint8_t(scene > 1 ? SceneLimit(Rows, RowCount, scene - 1) + 1 : 0);
}

TEST_F(FrameLoop, SkipsRestartTheTableAtTheNewScene)
{
    FrameEndStep = PressKeys;
    SceneRestart = Restart;
    FrameIndex = 0;
    KeysAtFrame = {{KeyActionPreviousScene},   // scene 1: restarts it
                   {KeyActionNextScene},       // on to 2
                   {},
                   {KeyActionNextScene, KeyActionNextScene}};   // two waiting: on to 4 at once
    EXPECT_EQ(RunScenes(Rows, RowCount, 1), DemoFinished);
    EXPECT_EQ(Log, "setA d0 p1 end restart1 "
                   "setA d0 p1 end restart2 "
                   "setA end between setB d2 p2 d3 p2 restart4 "
                   "setA end between setB end setC between setD d3 p4 d4 p4 d5 p4 d6 p4 end ");
    SceneRestart = nullptr;
}

TEST_F(FrameLoop, PageDownInTheLastSceneEndsNormallyAndSkipsNeedARestart)
{
    FrameEndStep = [](int scene) {
        MusicStep(scene);
        PushKeyAction(KeyActionNextScene);
    };
    SceneRestart = Restart;
    MusicPosition = {5, 0};
    EXPECT_EQ(RunScenes(Rows, RowCount, 4), DemoFinished);
    EXPECT_EQ(Log, "setA end between setB end setC between setD d5 p4 end ");
    // Without a restart (capture, tests) the keys change nothing.
    Log.clear();
    SceneRestart = nullptr;
    MusicPosition = {5, 0};
    EXPECT_EQ(RunScenes(Rows, RowCount, 4), DemoFinished);
    EXPECT_EQ(Log, "setA end between setB end setC between setD d5 p4 d6 p4 end ");
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

}   // namespace
