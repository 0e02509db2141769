// Capture mode: exact 20 ms steps of 882 frames and the position after each step, on
// songs other than the default (whose WAV the golden run pins). The mini modules play
// one row per step (speed 1, tempo 125).
#include "audio_test_support.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace {

constexpr size_t WavHeaderLength = 44;
constexpr size_t FramesPerStep = 882;

struct Capture {
    std::vector<uint8_t> wav;
    std::vector<Position> positions;   // after each step's UpdateMusicPosition

    size_t Frames() const { return (wav.size() - WavHeaderLength) / 4; }
    int16_t Sample(size_t index) const
    {
        const size_t at = WavHeaderLength + 2 * index;
        return int16_t(uint16_t(wav[at] | wav[at + 1] << 8));
    }
};

struct CaptureSettings {
    int steps = 100;
    int soundOn = 1;
    int startOrder = 0;
};

Capture RunCapture(const MiniS3mOptions& module, const CaptureSettings& settings)
{
    // One file per process: CTest may run several of these at once.
    const std::string path = ::testing::TempDir() + "tivrel_audio_" + std::to_string(getpid()) + ".wav";
    Capture run;
    EXPECT_TRUE(UseVirtualClock(path.c_str()));
    std::vector<uint8_t> buffer = PaddedModule(module);
    EXPECT_TRUE(LoadMusic(buffer.data(), MusicBufferLength));
    SetMusicStartOrder(settings.startOrder);
    StartMusic(settings.soundOn);
    for (int i = 0; i < settings.steps; i++) {
        AdvanceVirtualClock();
        UpdateMusicPosition();
        run.positions.push_back(CurrentPosition());
    }
    EXPECT_TRUE(FinishVirtualClock());
    FreeMusic();
    std::ifstream in(path, std::ios::binary);
    run.wav.assign(std::istreambuf_iterator<char>(in), {});
    std::remove(path.c_str());
    return run;
}

using CaptureTest = AudioTest;

TEST_F(CaptureTest, PositionFollowsEveryRowThenStaysAtTheEndOrder)
{
    // 3 orders of 4 rows: step k plays order k / 4, row k % 4, then order 255 for good,
    // through the fade-out tail and the silence after it. A song whose last order
    // jumps back to order 0 ends the same way: the player's order going back is the end.
    for (bool loopToStart : {false, true}) {
        SCOPED_TRACE(loopToStart ? "jumps back" : "plain end");
        const Capture run =
            RunCapture({.orders = 3, .patterns = 3, .rowsPerOrder = 4, .loopToStart = loopToStart}, {.steps = 60});
        for (int k = 0; k < 12; k++)
            EXPECT_EQ(run.positions[k], Position(k / 4 + 1, k % 4)) << k;
        for (int k = 12; k < 60; k++)
            ASSERT_EQ(run.positions[k], Position(MusicEndOrder, 0)) << k;
        for (size_t i = 30 * FramesPerStep * 2; i < 60 * FramesPerStep * 2; i++)
            ASSERT_EQ(run.Sample(i), 0);
    }
}

TEST_F(CaptureTest, OrderByteWrapsAfterPlayerOrder254)
{
    EXPECT_EQ(MusicOrderByte(0), 1);
    EXPECT_EQ(MusicOrderByte(255), 0);
    EXPECT_EQ(MusicOrderByte(-1), 0);
    // 256 one-row orders: player order 255 is reported as order 0, then the end.
    const Capture run = RunCapture({.orders = 256, .rowsPerOrder = 1}, {.steps = 258});
    for (int k = 0; k < 256; k++)
        ASSERT_EQ(run.positions[k], Position((k + 1) % 256, 0)) << k;
    EXPECT_EQ(run.positions[256].first, MusicEndOrder);
}

TEST_F(CaptureTest, SoundIsCentredAndNosoundIsSilentAtTheSamePositions)
{
    // The two notes sit on a left and a right channel; with no stereo separation both
    // sides carry the same mix.
    const MiniS3mOptions module{.orders = 3, .rowsPerOrder = 8};
    const Capture loud = RunCapture(module, {.steps = 30});
    const Capture mute = RunCapture(module, {.steps = 30, .soundOn = 0});
    EXPECT_EQ(loud.positions, mute.positions);
    ASSERT_EQ(loud.wav.size(), mute.wav.size());
    size_t heard = 0;
    for (size_t f = 0; f < loud.Frames(); f++) {
        ASSERT_EQ(loud.Sample(2 * f), loud.Sample(2 * f + 1)) << "frame " << f;
        ASSERT_EQ(mute.Sample(2 * f), 0);
        ASSERT_EQ(mute.Sample(2 * f + 1), 0);
        heard += loud.Sample(2 * f) != 0;
    }
    EXPECT_GT(heard, loud.Frames() / 2);
}

TEST_F(CaptureTest, StartOrderSkipsTheEarlierOrders)
{
    const Capture run = RunCapture({.orders = 5, .rowsPerOrder = 4}, {.steps = 13, .startOrder = 2});
    for (int k = 0; k < 12; k++)
        EXPECT_EQ(run.positions[k], Position(k / 4 + 3, k % 4)) << k;
    EXPECT_EQ(run.positions[12].first, MusicEndOrder);
    // Past the last order: a song that has already ended.
    const Capture past = RunCapture({.orders = 3, .rowsPerOrder = 4}, {.steps = 2, .startOrder = 3});
    EXPECT_EQ(past.positions, std::vector<Position>(2, {MusicEndOrder, 0}));
}

TEST_F(CaptureTest, EachStepTicksEveryCounterAndNoTimerThreadRuns)
{
    StartFrameTimer();   // a running timer stops when the virtual clock takes over
    EXPECT_FALSE(UseVirtualClock("/nonexistent-dir/x.wav"));   // reported; the clock runs
    EXPECT_TRUE(VirtualClockActive());
    for (auto& counter : TickCounters)
        counter.store(0);
    StartFrameTimer();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(TickCounters[0].load(), 0u);
    for (int i = 0; i < 7; i++)
        AdvanceVirtualClock();
    TickCounters[0].store(0);   // a scene's reset leaves the other two running on
    for (int i = 0; i < 3; i++)
        AdvanceVirtualClock();
    EXPECT_EQ(TickCounters[0].load(), 3u);
    EXPECT_EQ(TickCounters[1].load(), 10u);
    EXPECT_EQ(TickCounters[2].load(), 10u);
    EXPECT_FALSE(FinishVirtualClock());
    EXPECT_FALSE(VirtualClockActive());
}

}   // namespace
