// The page's tick source: deadlines every 20 ms from its start on the page clock
// (emscripten_get_now, milliseconds), counted as the native tick thread counts them
// (clock/stall.h): a late animation frame ticks once for every deadline it passed,
// one later than the stall bound (a frozen main thread, a throttled tab) ticks once
// and re-bases.
#include "web/page_clock.h"

#include <emscripten.h>

#include <cstdint>

#include "clock/stall.h"
#include "clock/tick_source.h"

namespace {

constexpr int64_t TickNanoseconds = 20'000'000;

struct PageClockState {
    bool running = false;
    PeriodicDeadlines deadlines;
};

PageClockState Clock;

int64_t NowNanoseconds() { return int64_t(emscripten_get_now() * 1e6); }

void PageClockStart()
{
    if (Clock.running)
        return;
    Clock.running = true;
    Clock.deadlines = {NowNanoseconds() + TickNanoseconds, TickNanoseconds};
}

void PageClockStop() { Clock.running = false; }

}   // namespace

void AdvancePageClock()
{
    if (!Clock.running)
        return;
    for (int due = DueDeadlines(&Clock.deadlines, NowNanoseconds()); due > 0; due--)
        TickHandler();
}

const TickSource PageTickSource = {"page", PageClockStart, PageClockStop};
