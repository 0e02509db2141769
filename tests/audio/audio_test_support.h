// Shared helpers for the audio tests: a clean slate per test, and a capture run that
// returns the WAV bytes and the position after every virtual 20 ms step.
#pragma once
#include "audio/audio.h"
#include "mini_s3m.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

constexpr uint32_t MusicBufferLength = 1048576;   // the demo's music buffer
constexpr size_t WavHeaderLength = 44;
constexpr size_t FramesPerStep = 882;

inline void ResetAudio() {
    FreeMusic();
    MusicClose();
    FinishVirtualClock();
    StopFrameTimer();
    SetMusicStartOrder(0);
    MusicPosition = {0, 0};
    for (auto& counter : TickCounters) counter.store(0);
}

class AudioTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAudio(); }
    void TearDown() override { ResetAudio(); }
};

// The module at the start of a zero-filled buffer of the demo's size.
inline std::vector<uint8_t> PaddedModule(const MiniS3mOptions& options) {
    std::vector<uint8_t> buffer = BuildMiniS3m(options);
    buffer.resize(MusicBufferLength, 0);
    return buffer;
}

using Position = std::pair<int, int>;   // (order byte, row byte)

inline Position CurrentPosition() {
    return {MusicPosition.order, MusicPosition.row};
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Unique per process: CTest may run several of these tests at once.
inline std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "tivrel_audio_" + std::to_string(getpid()) + "_" + name;
}

struct CaptureRun {
    std::vector<uint8_t> wav;
    std::vector<Position> positions;   // after each step's UpdateMusicPosition
};

struct CaptureSettings {
    int steps = 100;
    int soundOn = 1;
    int startOrder = 0;
    bool clobberBufferAfterLoad = false;   // the demo zeroes its buffer right after loading
};

inline CaptureRun RunCapture(const MiniS3mOptions& module, const CaptureSettings& settings) {
    CaptureRun run;
    const std::string path = TempPath("capture.wav");
    EXPECT_TRUE(UseVirtualClock(path.c_str()));
    std::vector<uint8_t> buffer = PaddedModule(module);
    EXPECT_EQ(LoadMusic(buffer.data(), MusicBufferLength), 0);
    if (settings.clobberBufferAfterLoad) std::fill(buffer.begin(), buffer.end(), 0xA5);
    SetMusicStartOrder(settings.startOrder);
    StartMusic(settings.soundOn);
    for (int i = 0; i < settings.steps; i++) {
        AdvanceVirtualClock();
        UpdateMusicPosition();
        run.positions.push_back(CurrentPosition());
    }
    EXPECT_TRUE(FinishVirtualClock());
    FreeMusic();
    run.wav = ReadFileBytes(path);
    std::remove(path.c_str());
    return run;
}

inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

inline int16_t WavSample(const std::vector<uint8_t>& wav, size_t index) {
    const size_t at = WavHeaderLength + 2 * index;
    return int16_t(uint16_t(wav[at] | wav[at + 1] << 8));
}

inline size_t WavFrames(const std::vector<uint8_t>& wav) {
    return wav.size() < WavHeaderLength ? 0 : (wav.size() - WavHeaderLength) / 4;
}
