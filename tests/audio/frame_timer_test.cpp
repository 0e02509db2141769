// The real 50 Hz timer thread. Counts are compared with the time that really
// passed, with wide margins: a loaded machine delays the thread, and the timer
// must make up for it by ticking, not lose the ticks.
#include "audio_test_support.h"

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using FrameTimerTest = AudioTest;

double TicksIn(Clock::duration d) {
    return std::chrono::duration<double>(d).count() * 50.0;
}

TEST_F(FrameTimerTest, CountsFiftyASecond) {
    StartFrameTimer();
    const auto before = Clock::now();
    const uint32_t first = TickCounters[2].load();
    const auto after = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto beforeEnd = Clock::now();
    const uint32_t counted = TickCounters[2].load() - first;
    const auto afterEnd = Clock::now();
    // A 10 ms or 25 ms period would fall far outside these bounds.
    EXPECT_GE(double(counted), TicksIn(beforeEnd - after) - 8.0);
    EXPECT_LE(double(counted), TicksIn(afterEnd - before) + 8.0);
}

TEST_F(FrameTimerTest, ResetOfCounterZeroLeavesTheOthersRunning) {
    StartFrameTimer();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    TickCounters[0].store(0);
    const uint32_t one = TickCounters[1].load();
    const uint32_t two = TickCounters[2].load();
    EXPECT_GE(one, 5u);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const uint32_t zeroNow = TickCounters[0].load();
    EXPECT_GE(zeroNow, 5u);
    EXPECT_LT(zeroNow, TickCounters[1].load());   // [0] restarted from 0, [1] did not
    EXPECT_GE(TickCounters[1].load() - one, zeroNow);
    EXPECT_GE(TickCounters[2].load() - two, zeroNow);
}

TEST_F(FrameTimerTest, StopFreezesTheCountersAndStartingTwiceRunsOneTimer) {
    StartFrameTimer();
    StartFrameTimer();
    const auto start = Clock::now();
    const uint32_t first = TickCounters[0].load();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const uint32_t counted = TickCounters[0].load() - first;
    EXPECT_LT(double(counted), TicksIn(Clock::now() - start) + 8.0);
    StopFrameTimer();
    const uint32_t stopped = TickCounters[0].load();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(TickCounters[0].load(), stopped);
    StopFrameTimer();   // a second stop is harmless
    StartFrameTimer();  // and the timer can run again
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_GT(TickCounters[0].load(), stopped);
}

TEST_F(FrameTimerTest, TicksAreNeverLostToConcurrentIncrements) {
    // The handler may run while the main thread ticks too (catch-up bursts);
    // every increment must count.
    StartFrameTimer();
    const uint32_t before = TickCounters[1].load();
    const auto start = Clock::now();
    for (int i = 0; i < 100000; i++) TickHandler();
    const uint32_t timerTicksBound = uint32_t(TicksIn(Clock::now() - start)) + 2;
    StopFrameTimer();
    const uint32_t added = TickCounters[1].load() - before;
    EXPECT_GE(added, 100000u);
    EXPECT_LE(added, 100000u + timerTicksBound);
}

}  // namespace
