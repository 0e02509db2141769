// The 50 Hz frame timer: a thread that sleeps to steady-clock deadlines 20 ms apart
// and ticks the three counters at each. Deadlines are absolute (start + n x 20 ms),
// so sleep overshoot never accumulates. When the thread is held up past several
// deadlines it ticks once for each of them at once: the counters measure elapsed
// time, which is what keeps motion in step with the music; skipping ticks would
// leave every later motion behind the soundtrack for good.
#include "audio/audio.h"

#include <chrono>
#include <thread>

namespace {

constexpr std::chrono::milliseconds TickPeriod(20);

struct FrameTimerState {
    std::thread thread;
    std::atomic<bool> stop{false};
    ~FrameTimerState()
    {
        // The normal end leaves the timer running; stop it before the process goes.
        stop.store(true);
        if (thread.joinable())
            thread.join();
    }
};

FrameTimerState FrameTimer;

void FrameTimerLoop()
{
    auto deadline = std::chrono::steady_clock::now() + TickPeriod;
    while (!FrameTimer.stop.load(std::memory_order_relaxed)) {
        std::this_thread::sleep_until(deadline);
        if (FrameTimer.stop.load(std::memory_order_relaxed))
            break;
        TickHandler();
        deadline += TickPeriod;
    }
}

}   // namespace

void TickHandler()
{
    for (auto& counter : TickCounters)
        counter.fetch_add(1, std::memory_order_relaxed);
}

void StartFrameTimer()
{
    if (VirtualClockActive() || FrameTimer.thread.joinable())
        return;
    FrameTimer.stop.store(false);
    FrameTimer.thread = std::thread(FrameTimerLoop);
}

void StopFrameTimer()
{
    FrameTimer.stop.store(true);
    if (FrameTimer.thread.joinable())
        FrameTimer.thread.join();
}
