// Real time: the 50 Hz timer thread, and playback through SDL's dummy driver (a
// device that consumes sound at the right pace) or with no driver (the silent sink).
// Counts and positions are compared with the time that really passed, with margins
// for a loaded machine.
#include "audio_test_support.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "clock/stall.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

double TicksIn(Clock::duration d) { return std::chrono::duration<double>(d).count() * 50.0; }

using FrameTimerTest = AudioTest;

TEST_F(FrameTimerTest, CountsFiftyASecondAndStops)
{
    // A thread held up must tick once per missed deadline, or the count falls behind
    // the time passed; a second timer, or a 10 or 25 ms period, goes past the bounds.
    StartFrameTimer();
    StartFrameTimer();
    const auto before = Clock::now();
    const uint32_t first = TickCounters[2].load();
    const auto after = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto beforeEnd = Clock::now();
    const uint32_t counted = TickCounters[2].load() - first;
    const auto afterEnd = Clock::now();
    EXPECT_GE(double(counted), TicksIn(beforeEnd - after) - 8.0);
    EXPECT_LE(double(counted), TicksIn(afterEnd - before) + 8.0);

    StopFrameTimer();
    const uint32_t stopped = TickCounters[2].load();
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(TickCounters[2].load(), stopped);
    StopFrameTimer();    // harmless
    StartFrameTimer();   // and the timer runs again
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_GT(TickCounters[2].load(), stopped);
}

class RealTimeTest : public AudioTest {
protected:
    void UseDriver(const char* driver) { setenv("SDL_AUDIODRIVER", driver, 1); }
    void TearDown() override
    {
        AudioTest::TearDown();
        unsetenv("SDL_AUDIODRIVER");
    }
    // 4 orders of 12 rows at 20 ms a row: just under a second.
    std::vector<uint8_t> buffer = PaddedModule({.orders = 4, .rowsPerOrder = 12});
};

// Polls the position until the song ends (or 10 s pass) and checks what was seen:
// every order, in order, ending at the end order. Row r of the song starts r x 20 ms
// in, so hearing it sooner means the output's latency was not taken off.
void PlayToTheEnd(int soundOn)
{
    const auto start = Clock::now();
    StartMusic(soundOn);
    std::vector<Position> seen;
    while (Clock::now() < start + std::chrono::seconds(10)) {
        UpdateMusicPosition();
        const auto elapsed = Clock::now() - start;
        if (seen.empty() || seen.back() != CurrentPosition()) {
            seen.push_back(CurrentPosition());
            if (MusicPosition.order == MusicEndOrder)
                break;
            const int rowIndex = (MusicPosition.order - 1) * 12 + MusicPosition.row;
            EXPECT_LE(milliseconds(20 * rowIndex), elapsed)
                << "order " << int(MusicPosition.order) << " row " << int(MusicPosition.row);
        }
        std::this_thread::sleep_for(milliseconds(2));
    }
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), Position(1, 0));
    EXPECT_EQ(seen.back(), Position(MusicEndOrder, 0));
    bool orderSeen[5] = {};
    for (size_t i = 1; i < seen.size(); i++) {
        EXPECT_TRUE(seen[i - 1] < seen[i]) << "went back at " << i;
        if (seen[i].first <= 4)
            orderSeen[seen[i].first] = true;
    }
    for (int order = 1; order <= 4; order++)
        EXPECT_TRUE(orderSeen[order]) << order;
    EXPECT_GT(seen.size(), size_t(24));   // 5.8 ms snapshots of 20 ms rows
}

TEST_F(RealTimeTest, SongPlaysThroughOnTheDeviceMutedAndInTheSilentSink)
{
    const std::pair<const char*, int> cases[] = {{"dummy", 1}, {"dummy", 0}, {"no-such-driver", 1}};
    for (auto [driver, soundOn] : cases) {
        SCOPED_TRACE(std::string(driver) + (soundOn ? "" : ", muted"));
        UseDriver(driver);
        MusicInit(&SdlSoundOutput);
        ASSERT_EQ((CurrentSoundOutput() == &SdlSoundOutput), std::string(driver) == "dummy");
        if ((CurrentSoundOutput() == &SdlSoundOutput)) {
            EXPECT_GE(MusicLatencyFrames(), 2 * 256);
        }
        ASSERT_TRUE(LoadMusic(buffer.data(), MusicBufferLength));
        PlayToTheEnd(soundOn);
        EXPECT_TRUE(FreeMusic());
        MusicClose();
    }
}

TEST_F(RealTimeTest, EndPathsStopRenderingBeforeTheModuleGoes)
{
    // Normal end: free while the song renders; quit: stop, then free. Either way the
    // renderer is gone before the module, and the position stays where it was.
    for (const char* driver : {"dummy", "no-such-driver"}) {
        for (bool quit : {false, true}) {
            SCOPED_TRACE(std::string(driver) + (quit ? ", quit" : ", normal end"));
            UseDriver(driver);
            MusicInit(&SdlSoundOutput);
            ASSERT_TRUE(LoadMusic(buffer.data(), MusicBufferLength));
            StartMusic(1);
            std::this_thread::sleep_for(milliseconds(60));
            UpdateMusicPosition();
            const Position reached = CurrentPosition();
            if (quit) {
                EXPECT_TRUE(StopMusic());
            }
            EXPECT_TRUE(FreeMusic());
            std::this_thread::sleep_for(milliseconds(40));
            UpdateMusicPosition();
            EXPECT_EQ(CurrentPosition(), reached);
            MusicClose();
        }
    }
}

TEST_F(RealTimeTest, CaptureTakesOverASongAlreadyPlaying)
{
    UseDriver("dummy");
    MusicInit(&SdlSoundOutput);
    ASSERT_TRUE(LoadMusic(buffer.data(), MusicBufferLength));
    StartMusic(1);
    ASSERT_TRUE(UseVirtualClock(nullptr));
    EXPECT_FALSE((CurrentSoundOutput() == &SdlSoundOutput));
    for (int i = 0; i < 100 && MusicPosition.order != MusicEndOrder; i++) {
        AdvanceVirtualClock();
        UpdateMusicPosition();
    }
    EXPECT_EQ(MusicPosition.order, MusicEndOrder);
}

}   // namespace

// Pause holds the heard position on the device and in the sink (opened without a
// device, as --nosound does) and the resume goes on from it; a restart seeks with a
// fresh position history; the volume stays within 0..100.
TEST_F(RealTimeTest, PauseHoldsThePositionAndARestartSeeks)
{
    for (bool device : {true, false}) {
        SCOPED_TRACE(device ? "device" : "no device");
        UseDriver("dummy");
        MusicInit(device ? &SdlSoundOutput : nullptr);
        ASSERT_EQ((CurrentSoundOutput() == &SdlSoundOutput), device);
        ASSERT_TRUE(LoadMusic(buffer.data(), MusicBufferLength));
        StartMusic(1);
        std::this_thread::sleep_for(milliseconds(120));
        PauseMusic();
        EXPECT_TRUE(MusicPaused());
        UpdateMusicPosition();
        const Position held = CurrentPosition();
        const double heldSeconds = MusicSeconds();
        std::this_thread::sleep_for(milliseconds(150));
        UpdateMusicPosition();
        EXPECT_EQ(CurrentPosition(), held);
        EXPECT_EQ(MusicSeconds(), heldSeconds);

        ResumeMusic();
        EXPECT_FALSE(MusicPaused());
        std::this_thread::sleep_for(milliseconds(100));
        UpdateMusicPosition();
        EXPECT_GE(CurrentPosition(), held);
        EXPECT_GT(MusicSeconds(), heldSeconds);
        EXPECT_LT(MusicSeconds(), heldSeconds + 0.2);   // from where it was, not where it would be

        RestartMusicAt(2);
        EXPECT_EQ(CurrentPosition(), Position(0, 0));
        UpdateMusicPosition();
        EXPECT_EQ(CurrentPosition(), Position(3, 0));
        EXPECT_NEAR(MusicSeconds(), 2 * 12 * 0.02, 0.03);

        SetMusicVolume(150);
        EXPECT_EQ(MusicVolume(), 100);
        SetMusicVolume(-5);
        EXPECT_EQ(MusicVolume(), 0);
        SetMusicVolume(100);
        EXPECT_TRUE(FreeMusic());
        MusicClose();
    }
}

// The stall bound: late wake-ups up to 200 ms catch up tick by tick, a longer gap
// re-bases the deadlines at the wake-up.
TEST(StallBound, ShortDelaysCatchUpAndStallsRebase)
{
    constexpr int64_t ms = 1000000;
    PeriodicDeadlines d{20 * ms, 20 * ms};
    EXPECT_EQ(DueDeadlines(&d, 19 * ms), 0);
    EXPECT_EQ(DueDeadlines(&d, 20 * ms), 1);
    EXPECT_EQ(d.next, 40 * ms);
    EXPECT_EQ(DueDeadlines(&d, 40 * ms + 200 * ms), 11);   // at the bound: a delay, caught up
    EXPECT_EQ(d.next, 260 * ms);
    EXPECT_EQ(DueDeadlines(&d, 260 * ms + 5000 * ms), 1);   // 5 s: one tick, then 20 ms on
    EXPECT_EQ(d.next, 5280 * ms);
    EXPECT_EQ(StallGap(0, 200 * ms), 0);
    EXPECT_EQ(StallGap(0, 201 * ms), 201 * ms);
}

// The real rows in a process stopped with SIGSTOP for 5 s: afterwards the 50 Hz
// ticks and the silent sink's heard position have moved on by the same time (within
// a frame and the machine's noise), the gap left out of both.
TEST_F(RealTimeTest, TicksAndTheSinkResumeTogetherAfterAFiveSecondStall)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        UseTickSource(&ThreadTickSource);
        MusicInit(nullptr);
        LoadMusic(buffer.data(), MusicBufferLength);
        StartFrameTimer();
        StartMusic(1);
        FILE* out = fdopen(fds[1], "w");
        // Lines "ticks seconds" every 10 ms for 7.5 s of the process's own time.
        for (int i = 0; i < 750; i++) {
            UpdateMusicPosition();
            std::fprintf(out, "%u %.4f\n", TickCounters[2].load(), MusicSeconds());
            std::fflush(out);
            std::this_thread::sleep_for(milliseconds(10));
        }
        std::_Exit(0);
    }
    close(fds[1]);
    std::this_thread::sleep_for(milliseconds(1000));
    kill(child, SIGSTOP);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    kill(child, SIGCONT);
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;)
        text.append(chunk, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    std::vector<std::pair<double, double>> samples;   // (ticks / 50, seconds)
    for (size_t at = 0; at < text.size();) {
        unsigned ticks = 0;
        double seconds = 0;
        if (std::sscanf(text.c_str() + at, "%u %lf", &ticks, &seconds) == 2)
            samples.emplace_back(ticks / 50.0, seconds);
        at = text.find('\n', at);
        at = at == std::string::npos ? text.size() : at + 1;
    }
    ASSERT_GE(samples.size(), 500u);
    // Where the ticks jumped most between two lines: the stall (10 ms apart otherwise).
    size_t stall = 1;
    for (size_t i = 1; i < samples.size(); i++)
        if (samples[i].first - samples[i - 1].first > samples[stall].first - samples[stall - 1].first)
            stall = i;
    const double tickJump = samples[stall].first - samples[stall - 1].first;
    const double musicJump = samples[stall].second - samples[stall - 1].second;
    EXPECT_LT(tickJump, 0.25) << "ticks caught up the stall";
    EXPECT_LT(musicJump, 0.25) << "the sink caught up the stall";
    // From before the stall to the end both moved by the same time.
    const size_t before = stall >= 50 ? stall - 50 : 0;
    const double ticksMoved = samples.back().first - samples[before].first;
    const double musicMoved = samples.back().second - samples[before].second;
    EXPECT_NEAR(ticksMoved, musicMoved, 0.02 + 0.03) << ticksMoved << " against " << musicMoved;
    EXPECT_GT(ticksMoved, 1.0);
}
