// The frame timer thread: it sleeps to steady-clock deadlines 20 ms apart and ticks
// at each. Deadlines are absolute (start + n x 20 ms), so sleep overshoot never
// accumulates. When the thread is held up past several deadlines it ticks once for
// each of them at once: the counters measure elapsed time, which is what keeps
// motion in step with the music; skipping ticks would leave every later motion
// behind the soundtrack for good. A gap longer than the stall bound (stall.h) is a
// stall: one tick, and the deadlines start again from the wake-up.
#include <atomic>
#include <chrono>
#include <thread>

#include "clock/stall.h"
#include "core/fail.h"
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

int64_t SteadyNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TickThreadLoop()
{
    const int64_t period = std::chrono::nanoseconds(TickPeriod).count();
    PeriodicDeadlines deadlines{SteadyNow() + period, period};
    while (!TickThread.stop.load(std::memory_order_relaxed)) {
        std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(deadlines.next)));
        if (TickThread.stop.load(std::memory_order_relaxed))
            break;
        for (int due = DueDeadlines(&deadlines, SteadyNow()); due > 0; due--)
            TickHandler();
    }
}

void StartTickThread()
{
    if (TickThread.thread.joinable())
        return;
    TickThread.stop.store(false);
    TickThread.thread = StartThreadOrExit(TickThreadLoop);
}

void StopTickThread()
{
    TickThread.stop.store(true);
    if (TickThread.thread.joinable())
        TickThread.thread.join();
}

}   // namespace

const TickSource ThreadTickSource = {"thread", StartTickThread, StopTickThread};
