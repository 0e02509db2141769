// The 50 Hz tick that moves TickCounters, from a source the shell chooses:
//   ThreadTickSource   a thread on the steady clock (live play)
//   SteppedTickSource  no time of its own: a tick happens only when whoever steps
//                      the clock calls TickHandler (the virtual clock of capture
//                      and of tests, the page's clock)
// StartFrameTimer and StopFrameTimer start and stop the source in use. All calls
// but TickHandler are main-thread calls.
#pragma once

struct TickSource {
    const char* name;
    // Ticks from now on, the first one 20 ms from now (the source's own schedule
    // starts afresh: a stop and a start re-base it). A second start is harmless.
    void (*start)();
    // No more ticks; returns once no tick is running. The counters keep their
    // values. Harmless when not started.
    void (*stop)();
};

extern const TickSource ThreadTickSource;
extern const TickSource SteppedTickSource;

// Makes `source` the one StartFrameTimer and StopFrameTimer use, stopping the one in
// use before (nullptr: SteppedTickSource, the one in use until the shell chooses).
void UseTickSource(const TickSource* source);
const TickSource* CurrentTickSource();

void StartFrameTimer();
void StopFrameTimer();

// One tick: +1 on each of the three TickCounters (atomic read-modify-write, wrapping
// at 2^32). Any thread.
void TickHandler();
