// Shared by the audio tests: a clean slate per test, the demo's zero-padded music
// buffer, and positions as (order byte, row byte) pairs.
#pragma once
#include "audio/audio.h"
#include "audio/sound_output.h"
#include "clock/tick_source.h"
#include "mini_s3m.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

constexpr uint32_t MusicBufferLength = 1048576;   // the demo's music buffer

class AudioTest : public ::testing::Test {
protected:
    static void Reset()
    {
        FreeMusic();
        MusicClose();
        FinishVirtualClock();
        StopFrameTimer();
        UseTickSource(&ThreadTickSource);
        SetMusicStartOrder(0);
        MusicPosition = {0, 0};
        for (auto& counter : TickCounters)
            counter.store(0);
    }
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
};

// The module at the start of a zero-filled buffer of the demo's size.
inline std::vector<uint8_t> PaddedModule(const MiniS3mOptions& options)
{
    std::vector<uint8_t> buffer = BuildMiniS3m(options);
    buffer.resize(MusicBufferLength, 0);
    return buffer;
}

using Position = std::pair<int, int>;

inline Position CurrentPosition() { return {MusicPosition.order, MusicPosition.row}; }
