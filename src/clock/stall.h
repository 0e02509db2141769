// Lateness of the real-time clocks (the tick thread, the silent sink): a wake-up at
// most StallBoundNanoseconds late is a scheduling delay and is caught up, so the
// clock measures the time that passed; a later one is a stall (the process was
// stopped, suspended or swapped out) and the clock re-bases at the wake-up, as a
// pause does, so ticks and the music heard (the SDL device resumes where it was
// heard) go on together instead of the ticks jumping ahead.
//
// The bound, 200 ms (10 ticks): well above what a loaded machine's scheduler or a
// slow presentation delays a thread (a few ms; 42 ms for one frame at 24 Hz), and
// short enough that a re-base is never seen as motion that jumped.
#pragma once
#include <cstdint>

constexpr int64_t StallBoundNanoseconds = 200'000'000;

// The part of a wake-up's lateness (now - due, steady-clock nanoseconds) that is a
// stall: 0 up to the bound, the whole lateness beyond it.
constexpr int64_t StallGap(int64_t due, int64_t now) { return now - due > StallBoundNanoseconds ? now - due : 0; }

// Deadlines start + n x period of a periodic clock, in steady-clock nanoseconds.
struct PeriodicDeadlines {
    int64_t next = 0;     // the next deadline
    int64_t period = 0;   // > 0
};

// The deadlines passed at `now` (0 before `next`); `next` moves past them. After a
// stall, one (the deadline the clock was waiting for) and the schedule re-based:
// the next deadline one period after `now`.
constexpr int DueDeadlines(PeriodicDeadlines* deadlines, int64_t now)
{
    if (now < deadlines->next)
        return 0;
    if (StallGap(deadlines->next, now) != 0) {
        deadlines->next = now + deadlines->period;
        return 1;
    }
    const int64_t due = (now - deadlines->next) / deadlines->period + 1;
    deadlines->next += due * deadlines->period;
    return int(due);
}
