// The virtual clock's sound as it is made, for a consumer beside the WAV (the
// capture's video). Main thread only, like the rest of the clock.
#pragma once
#include <cstddef>
#include <cstdint>

// The sound of the last AdvanceVirtualClock: VirtualClockStepFrames() stereo frames
// of 16-bit samples, left and right interleaved, 44,100 Hz (silence before the first
// step). Overwritten by the next step.
const int16_t* VirtualClockStepSound();
size_t VirtualClockStepFrames();
