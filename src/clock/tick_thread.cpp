// The frame timer thread: it sleeps to steady-clock deadlines 20 ms apart and ticks
// at each. Deadlines are absolute (start + n x 20 ms), so sleep overshoot never
// accumulates. When the thread is held up past several deadlines it ticks once for
// each of them at once: the counters measure elapsed time, which is what keeps
// motion in step with the music; skipping ticks would leave every later motion
// behind the soundtrack for good.
#include <atomic>
#include <chrono>
#include <thread>

#include "clock/tick_source.h"

namespace {

constexpr std::chrono::milliseconds TickPeriod(20);

struct TickThreadState {
    std::thread thread;
    std::atomic<bool> stop{false};
    ~TickThreadState()
    {
        // The normal end leaves the timer running; stop it before the process goes.
        stop.store(true);
        if (thread.joinable())
            thread.join();
    }
};

TickThreadState TickThread;

void TickThreadLoop()
{
    auto deadline = std::chrono::steady_clock::now() + TickPeriod;
    while (!TickThread.stop.load(std::memory_order_relaxed)) {
        std::this_thread::sleep_until(deadline);
        if (TickThread.stop.load(std::memory_order_relaxed))
            break;
        TickHandler();
        deadline += TickPeriod;
    }
}

void StartTickThread()
{
    if (TickThread.thread.joinable())
        return;
    TickThread.stop.store(false);
    TickThread.thread = std::thread(TickThreadLoop);
}

void StopTickThread()
{
    TickThread.stop.store(true);
    if (TickThread.thread.joinable())
        TickThread.thread.join();
}

}   // namespace

const TickSource ThreadTickSource = {"thread", StartTickThread, StopTickThread};
