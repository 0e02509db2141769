// Figures for the music clock and the frame timer: ticks per second over 3 s, the
// latency subtracted from the render position, and when each row change of a song
// with 20 ms rows is reported (SDL dummy device, then the silent sink).
#include "audio/audio.h"
#include "audio/sound_output.h"
#include "clock/tick_source.h"
#include "../tests/audio/mini_s3m.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

static double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

static void MeasureTimer()
{
    UseTickSource(&ThreadTickSource);
    StartFrameTimer();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = Clock::now();
    const uint32_t first = TickCounters[0].load();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const uint32_t ticks = TickCounters[0].load() - first;
    const double elapsed = Seconds(Clock::now() - start);
    StopFrameTimer();
    std::printf("frame timer: %u ticks in %.3f s = %.2f per second\n", ticks, elapsed, ticks / elapsed);
}

// Row changes of a song whose rows last exactly 20 ms, reported against the time
// since StartMusic: offset = reported time - ideal time (row index x 20 ms).
static void MeasureRows(const char* label)
{
    MusicInit(&SdlSoundOutput);
    MiniS3mOptions options;
    options.orders = 8;
    options.patterns = 4;
    options.rowsPerOrder = 16;
    std::vector<uint8_t> module = BuildMiniS3m(options);
    if (!LoadMusic(module.data(), uint32_t(module.size())))
        return;
    const auto start = Clock::now();
    StartMusic(1);
    int lastRowIndex = 0;
    double sum = 0, sumSquares = 0, worst = 0;
    int changes = 0;
    while (MusicPosition.order != MusicEndOrder && Seconds(Clock::now() - start) < 10) {
        UpdateMusicPosition();
        const int rowIndex = (MusicPosition.order - 1) * 16 + MusicPosition.row;
        if (MusicPosition.order != MusicEndOrder && rowIndex != lastRowIndex) {
            const double offset = Seconds(Clock::now() - start) - rowIndex * 0.020;
            sum += offset;
            sumSquares += offset * offset;
            worst = std::fmax(worst, std::fabs(offset));
            changes++;
            lastRowIndex = rowIndex;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const double mean = changes ? sum / changes : 0;
    const double spread = changes ? std::sqrt(sumSquares / changes - mean * mean) : 0;
    std::printf("%s: device %s, latency %d frames (%.1f ms); %d row changes, offset "
                "mean %.1f ms, spread %.1f ms, worst %.1f ms\n",
                label, (CurrentSoundOutput() == &SdlSoundOutput) ? "yes" : "no", MusicLatencyFrames(), MusicLatencyFrames() / 44.1, changes,
                mean * 1000, spread * 1000, worst * 1000);
    FreeMusic();
    MusicClose();
    MusicPosition = {0, 0};
}

int main()
{
    MeasureTimer();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    MeasureRows("SDL dummy driver");
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    MeasureRows("silent sink");
    return 0;
}
