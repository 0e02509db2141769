// Capture mode: exact 20 ms steps, the position after each, the WAV it writes.
#include "audio_test_support.h"

#include <chrono>
#include <thread>

namespace {

// Speed 1, tempo 125: every row lasts exactly one 882-frame step.
MiniS3mOptions RowPerStepModule(int orders, int rows) {
    MiniS3mOptions o;
    o.orders = orders;
    o.patterns = std::min(orders, 4);
    o.rowsPerOrder = rows;
    o.speed = 1;
    o.tempo = 125;
    return o;
}

using VirtualClockTest = AudioTest;

TEST_F(VirtualClockTest, EveryStepIs882FramesInAValidWav) {
    const int steps = 37;
    CaptureRun run = RunCapture(RowPerStepModule(3, 4), {.steps = steps});
    ASSERT_EQ(run.wav.size(), WavHeaderLength + size_t(steps) * FramesPerStep * 4);
    EXPECT_EQ(std::string(run.wav.begin(), run.wav.begin() + 4), "RIFF");
    EXPECT_EQ(Le32(run.wav, 4), run.wav.size() - 8);
    EXPECT_EQ(std::string(run.wav.begin() + 8, run.wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le32(run.wav, 24), 44100u);          // sample rate
    EXPECT_EQ(Le32(run.wav, 28), 44100u * 4);      // bytes per second
    EXPECT_EQ(run.wav[22], 2);                      // channels
    EXPECT_EQ(run.wav[34], 16);                     // bits per sample
    EXPECT_EQ(Le32(run.wav, 40), size_t(steps) * FramesPerStep * 4);
}

TEST_F(VirtualClockTest, TwoRunsGiveIdenticalWavAndPositions) {
    const MiniS3mOptions module = RowPerStepModule(4, 6);
    CaptureRun first = RunCapture(module, {.steps = 40});
    CaptureRun second = RunCapture(module, {.steps = 40});
    EXPECT_EQ(first.positions, second.positions);
    EXPECT_TRUE(first.wav == second.wav);
}

TEST_F(VirtualClockTest, PositionFollowsEveryRowThenStaysPastTheEnd) {
    // 3 orders of 4 rows, one row per step: step k plays order k / 4, row k % 4.
    CaptureRun run = RunCapture(RowPerStepModule(3, 4), {.steps = 60});
    for (int k = 0; k < 12; k++)
        EXPECT_EQ(run.positions[k], Position(k / 4 + 1, k % 4)) << "step " << k;
    for (int k = 12; k < 60; k++)
        ASSERT_EQ(run.positions[k], Position(MusicEndOrder, 0)) << "step " << k;
    // The sound goes on to its fade-out tail, then silence; still 882 frames a step.
    ASSERT_EQ(WavFrames(run.wav), 60 * FramesPerStep);
    for (size_t i = 30 * FramesPerStep * 2; i < 60 * FramesPerStep * 2; i++)
        ASSERT_EQ(WavSample(run.wav, i), 0);
}

TEST_F(VirtualClockTest, SongThatJumpsBackToItsStartStillEnds) {
    MiniS3mOptions module = RowPerStepModule(3, 4);
    module.patterns = 3;
    module.loopToStart = true;
    CaptureRun run = RunCapture(module, {.steps = 80});
    int highest = 0;
    bool ended = false;
    for (const Position& p : run.positions) {
        if (ended) {
            ASSERT_EQ(p.first, MusicEndOrder);
        }
        ended = p.first == MusicEndOrder;
        if (!ended) {
            ASSERT_GE(p.first, highest) << "the order went back";
            highest = p.first;
        }
    }
    EXPECT_EQ(highest, 3);
    EXPECT_TRUE(ended);
}

TEST_F(VirtualClockTest, OrderByteWrapsAfterPlayerOrder254) {
    // 256 one-row orders: player order 255 reads as order byte 0, then the end.
    CaptureRun run = RunCapture(RowPerStepModule(256, 1), {.steps = 260});
    for (int k = 0; k < 256; k++) ASSERT_EQ(run.positions[k].first, (k + 1) % 256) << k;
    EXPECT_EQ(run.positions[255], Position(0, 0));
    EXPECT_EQ(run.positions[256].first, MusicEndOrder);
    EXPECT_EQ(MusicOrderByte(0), 1);
    EXPECT_EQ(MusicOrderByte(255), 0);
    EXPECT_EQ(MusicOrderByte(-1), 0);
}

TEST_F(VirtualClockTest, NosoundWritesSilenceAndKeepsTheSamePositions) {
    const MiniS3mOptions module = RowPerStepModule(3, 8);
    CaptureRun loud = RunCapture(module, {.steps = 30, .soundOn = 1});
    CaptureRun mute = RunCapture(module, {.steps = 30, .soundOn = 0});
    EXPECT_EQ(loud.positions, mute.positions);
    ASSERT_EQ(loud.wav.size(), mute.wav.size());
    size_t loudSamples = 0;
    for (size_t i = 0; i < WavFrames(loud.wav) * 2; i++) {
        ASSERT_EQ(WavSample(mute.wav, i), 0);
        loudSamples += WavSample(loud.wav, i) != 0;
    }
    EXPECT_GT(loudSamples, WavFrames(loud.wav) / 2);
}

TEST_F(VirtualClockTest, ChannelsPannedApartPlayCentred) {
    // The module's two notes sit on a left and a right channel; with no stereo
    // separation both sides must carry the same mix.
    CaptureRun run = RunCapture(RowPerStepModule(2, 8), {.steps = 16});
    size_t frames = WavFrames(run.wav);
    size_t nonZero = 0;
    for (size_t f = 0; f < frames; f++) {
        ASSERT_EQ(WavSample(run.wav, 2 * f), WavSample(run.wav, 2 * f + 1)) << "frame " << f;
        nonZero += WavSample(run.wav, 2 * f) != 0;
    }
    EXPECT_GT(nonZero, frames / 2);
}

TEST_F(VirtualClockTest, StartOrderSkipsTheEarlierOrders) {
    CaptureRun run = RunCapture(RowPerStepModule(5, 4), {.steps = 20, .startOrder = 2});
    EXPECT_EQ(run.positions[0], Position(3, 0));
    for (int k = 0; k < 12; k++) EXPECT_EQ(run.positions[k], Position(k / 4 + 3, k % 4));
    EXPECT_EQ(run.positions[12].first, MusicEndOrder);
}

TEST_F(VirtualClockTest, StartOrderPastTheSongStartsEnded) {
    CaptureRun run = RunCapture(RowPerStepModule(3, 4), {.steps = 3, .startOrder = 3});
    for (const Position& p : run.positions) EXPECT_EQ(p, Position(MusicEndOrder, 0));
}

TEST_F(VirtualClockTest, PlaysFromItsOwnCopyOfTheModule) {
    const MiniS3mOptions module = RowPerStepModule(2, 8);
    CaptureRun kept = RunCapture(module, {.steps = 20});
    CaptureRun clobbered = RunCapture(module, {.steps = 20, .clobberBufferAfterLoad = true});
    EXPECT_EQ(kept.positions, clobbered.positions);
    EXPECT_TRUE(kept.wav == clobbered.wav);
}

TEST_F(VirtualClockTest, PositionOnlyMovesWhilePlaying) {
    ASSERT_TRUE(UseVirtualClock(nullptr));
    std::vector<uint8_t> buffer = PaddedModule(RowPerStepModule(3, 4));
    ASSERT_EQ(LoadMusic(buffer.data(), MusicBufferLength), 0);
    AdvanceVirtualClock();
    UpdateMusicPosition();
    EXPECT_EQ(CurrentPosition(), Position(0, 0));   // loaded, not started
    StartMusic(1);
    UpdateMusicPosition();
    EXPECT_EQ(CurrentPosition(), Position(1, 0));   // started, nothing played yet
    for (int i = 0; i < 6; i++) AdvanceVirtualClock();
    UpdateMusicPosition();
    const Position reached = CurrentPosition();
    EXPECT_EQ(reached, Position(2, 1));
    EXPECT_TRUE(StopMusic());
    for (int i = 0; i < 4; i++) AdvanceVirtualClock();
    UpdateMusicPosition();
    EXPECT_EQ(CurrentPosition(), reached);
}

TEST_F(VirtualClockTest, EachStepTicksAllCountersAndNoTimerThreadRuns) {
    StartFrameTimer();   // a timer already running stops when the virtual clock starts
    ASSERT_TRUE(UseVirtualClock(nullptr));
    for (auto& counter : TickCounters) counter.store(0);
    StartFrameTimer();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(TickCounters[0].load(), 0u);
    for (int i = 0; i < 7; i++) AdvanceVirtualClock();
    TickCounters[0].store(0);
    for (int i = 0; i < 3; i++) AdvanceVirtualClock();
    EXPECT_EQ(TickCounters[0].load(), 3u);
    EXPECT_EQ(TickCounters[1].load(), 10u);
    EXPECT_EQ(TickCounters[2].load(), 10u);
}

TEST_F(VirtualClockTest, UnwritableWavIsReportedAndTheClockStillRuns) {
    EXPECT_FALSE(UseVirtualClock("/nonexistent-dir/x.wav"));
    EXPECT_TRUE(VirtualClockActive());
    AdvanceVirtualClock();
    EXPECT_EQ(TickCounters[1].load(), 1u);
    EXPECT_FALSE(FinishVirtualClock());
    EXPECT_FALSE(VirtualClockActive());
}

}  // namespace
