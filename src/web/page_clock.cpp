// The page's tick source: deadlines every 20 ms from its start, on the page clock.
#include "web/page_clock.h"

#include <emscripten.h>

#include <cstdint>

#include "clock/tick_source.h"

namespace {

constexpr double TickMilliseconds = 20.0;

struct PageClockState {
    bool running = false;
    double startMilliseconds = 0;
    uint64_t ticksDone = 0;
};

PageClockState Clock;

void PageClockStart()
{
    if (Clock.running)
        return;
    Clock = {true, emscripten_get_now(), 0};
}

void PageClockStop() { Clock.running = false; }

}   // namespace

void AdvancePageClock()
{
    if (!Clock.running)
        return;
    const double elapsed = emscripten_get_now() - Clock.startMilliseconds;
    const uint64_t due = elapsed > 0 ? uint64_t(elapsed / TickMilliseconds) : 0;
    for (; Clock.ticksDone < due; Clock.ticksDone++)
        TickHandler();
}

const TickSource PageTickSource = {"page", PageClockStart, PageClockStop};
