// The silent sink: the song plays in real time into nothing. Song frame f plays at
// startNanoseconds + f / 44,100 s; each 10 ms block is rendered two blocks before it
// plays, so a late wake-up does not hold the position back, and a thread held up
// catches up block by block. Heard: what the clock has reached, up to what has been
// rendered. A wake-up later than the stall bound (clock/stall.h) moves the clock's
// start by the whole gap: the song goes on from the frame heard before the stall.
#include <algorithm>
#include <atomic>
#include <thread>

#include "audio/audio.h"
#include "audio/output_clock.h"
#include "audio/sound_output.h"
#include "clock/stall.h"
#include "core/fail.h"

namespace {

constexpr size_t SinkBlockFrames = 441;   // 10 ms
constexpr uint64_t SinkLeadBlocks = 2;    // rendered this far ahead of the clock

struct SinkState {
    std::thread thread;
    std::atomic<bool> stop{false};
    OutputClock clock;              // (rendered, the time song frame 0 plays)
    int64_t startNanoseconds = 0;   // the time song frame 0 plays; the thread's while it runs
    uint64_t floorFrame = 0;        // heard never goes below this
    ~SinkState()
    {
        stop.store(true);
        if (thread.joinable())
            thread.join();
    }
};

SinkState Sink;

void SinkLoop(uint64_t rendered)
{
    int16_t block[SinkBlockFrames * 2];
    constexpr uint64_t lead = SinkLeadBlocks * SinkBlockFrames;
    while (!Sink.stop.load(std::memory_order_relaxed)) {
        if (rendered >= lead) {
            const int64_t due = Sink.startNanoseconds + int64_t((rendered - lead) * 1000000000ull / MusicSampleRate);
            std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(due)));
            if (Sink.stop.load(std::memory_order_relaxed))
                break;
            Sink.startNanoseconds += StallGap(due, SteadyNanoseconds());
        }
        rendered = MusicRenderFrames(block, SinkBlockFrames);
        PublishOutputClock(&Sink.clock, rendered, Sink.startNanoseconds);
    }
}

bool SinkOpen(std::string*) { return true; }

void SinkHalt()
{
    Sink.stop.store(true);
    if (Sink.thread.joinable())
        Sink.thread.join();
}

void SinkStart(uint64_t heardFrame)
{
    SinkHalt();
    Sink.floorFrame = heardFrame;
    Sink.startNanoseconds = SteadyNanoseconds() - int64_t(heardFrame * 1000000000ull / MusicSampleRate);
    ResetOutputClock(&Sink.clock);
    Sink.stop.store(false);
    // The frames rendered before (ahead of the heard one) stay ahead: the thread
    // renders on from the player's count, which its first call returns.
    Sink.thread = StartThreadOrExit(SinkLoop, heardFrame);
}

uint64_t SinkFramesHeard()
{
    uint64_t rendered = 0;
    int64_t start = 0;
    if (!ReadOutputClock(&Sink.clock, &rendered, &start))
        return Sink.floorFrame;
    const uint64_t clock = uint64_t(FramesSince(start, MusicSampleRate));
    return std::max(Sink.floorFrame, std::min(rendered, clock));
}

int SinkLatencyFrames() { return 0; }
void SinkSetVolume(int) {}
void SinkClose() { SinkHalt(); }

}   // namespace

const SoundOutput SinkSoundOutput = {"silent sink",   SinkOpen,          SinkStart,     SinkHalt,
                                     SinkFramesHeard, SinkLatencyFrames, SinkSetVolume, SinkClose};
