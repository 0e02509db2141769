// The page's 50 Hz tick: a tick source driven by the page's own clock
// (performance.now through emscripten_get_now), advanced once per animation frame.
#pragma once

struct TickSource;

// A row of clock/tick_source.h. start re-bases the schedule (the first tick 20 ms
// later); stop holds it.
extern const TickSource PageTickSource;

// Runs TickHandler once for every 20 ms deadline passed since the last call, as the
// native tick thread does (after a stall longer than clock/stall.h's bound: once,
// and the deadlines start again). Nothing while stopped. Called by the page's frame
// step before each frame.
void AdvancePageClock();
