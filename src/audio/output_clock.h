// A pair (song frames rendered, steady-clock time) that an output's pulling thread
// publishes and the main thread reads as a pair, under a sequence counter. The SDL
// device publishes the time of its latest callback; the silent sink, the time at
// which song frame 0 plays. Internal to the outputs of this folder.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

struct OutputClock {
    std::atomic<uint32_t> sequence{0};   // odd while being written; 0: nothing yet
    std::atomic<uint64_t> frames{0};
    std::atomic<int64_t> nanoseconds{0};
};

inline int64_t SteadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline void PublishOutputClock(OutputClock* clock, uint64_t frames, int64_t nanoseconds)
{
    // The release stores keep the odd count visible to any reader that sees one of
    // the new values.
    const uint32_t sequence = clock->sequence.load(std::memory_order_relaxed);
    clock->sequence.store(sequence + 1, std::memory_order_relaxed);
    clock->frames.store(frames, std::memory_order_release);
    clock->nanoseconds.store(nanoseconds, std::memory_order_release);
    clock->sequence.store(sequence + 2, std::memory_order_release);
}

// False when nothing has been published since the last reset.
inline bool ReadOutputClock(OutputClock* clock, uint64_t* frames, int64_t* nanoseconds)
{
    for (;;) {
        const uint32_t before = clock->sequence.load(std::memory_order_acquire);
        if (before == 0)
            return false;
        if (before & 1) {
            std::this_thread::yield();
            continue;
        }
        *frames = clock->frames.load(std::memory_order_acquire);
        *nanoseconds = clock->nanoseconds.load(std::memory_order_acquire);
        if (clock->sequence.load(std::memory_order_relaxed) == before)
            return true;
    }
}

inline void ResetOutputClock(OutputClock* clock) { clock->sequence.store(0); }

// Frames of 44,100 Hz audio in the time since `nanoseconds` (0 when it is ahead).
inline int64_t FramesSince(int64_t nanoseconds, int sampleRate)
{
    const int64_t microseconds = (SteadyNanoseconds() - nanoseconds) / 1000;
    return microseconds > 0 ? microseconds * sampleRate / 1000000 : 0;
}
