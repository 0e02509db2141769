// Capture mode's clock: time advances only when AdvanceVirtualClock is called, by
// exactly 20 ms (one tick, 882 frames of music). The music goes to an optional
// 16-bit 44,100 Hz stereo PCM WAV file, so two runs give byte-identical files.
#include "audio/audio.h"
#include "audio/music_internal.h"
#include "core/bytes.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint32_t WavHeaderBytes = 44;
constexpr uint32_t BytesPerFrame = 4;

struct VirtualClockState {
    bool active = false;
    FILE* wav = nullptr;
    bool wavFailed = false;
    uint64_t framesWritten = 0;
};

VirtualClockState VirtualClock;

// The canonical 44-byte header of a PCM WAV holding dataBytes of sound.
void MakeWavHeader(uint8_t* header, uint32_t dataBytes)
{
    const uint32_t channels = 2, bits = 16;
    std::fill_n(header, WavHeaderBytes, uint8_t(0));
    std::copy_n("RIFF", 4, header);
    WriteLE32(header + 4, 36 + dataBytes);
    std::copy_n("WAVEfmt ", 8, header + 8);
    WriteLE32(header + 16, 16);
    WriteLE16(header + 20, 1);   // PCM
    WriteLE16(header + 22, channels);
    WriteLE32(header + 24, MusicSampleRate);
    WriteLE32(header + 28, MusicSampleRate * BytesPerFrame);
    WriteLE16(header + 32, BytesPerFrame);
    WriteLE16(header + 34, bits);
    std::copy_n("data", 4, header + 36);
    WriteLE32(header + 40, dataBytes);
}

}   // namespace

bool UseVirtualClock(const char* wavPath)
{
    if (VirtualClock.active)
        FinishVirtualClock();
    VirtualClock = VirtualClockState{};
    VirtualClock.active = true;
    StopFrameTimer();   // from now on only AdvanceVirtualClock ticks
    MusicEnterVirtualClock();
    if (wavPath == nullptr)
        return true;
    VirtualClock.wav = std::fopen(wavPath, "wb");
    if (VirtualClock.wav == nullptr) {
        VirtualClock.wavFailed = true;
        return false;
    }
    uint8_t header[WavHeaderBytes];
    MakeWavHeader(header, 0);
    if (std::fwrite(header, 1, WavHeaderBytes, VirtualClock.wav) != WavHeaderBytes)
        VirtualClock.wavFailed = true;
    return !VirtualClock.wavFailed;
}

bool VirtualClockActive() { return VirtualClock.active; }

void AdvanceVirtualClock()
{
    if (!VirtualClock.active)
        return;
    TickHandler();
    int16_t frames[VirtualStepFrames * 2];
    RenderVirtualMusic(frames, VirtualStepFrames);
    if (VirtualClock.wav == nullptr)
        return;
    uint8_t bytes[VirtualStepFrames * BytesPerFrame];
    for (size_t i = 0; i < VirtualStepFrames * 2; i++)
        WriteLE16(bytes + 2 * i, uint16_t(frames[i]));
    if (std::fwrite(bytes, 1, sizeof bytes, VirtualClock.wav) != sizeof bytes)
        VirtualClock.wavFailed = true;
    VirtualClock.framesWritten += VirtualStepFrames;
}

bool FinishVirtualClock()
{
    if (!VirtualClock.active)
        return true;
    bool ok = !VirtualClock.wavFailed;
    if (VirtualClock.wav != nullptr) {
        const uint64_t dataBytes = VirtualClock.framesWritten * BytesPerFrame;
        ok = ok && dataBytes <= UINT32_MAX - 36;
        uint8_t header[WavHeaderBytes];
        MakeWavHeader(header, uint32_t(dataBytes));
        ok = ok && std::fseek(VirtualClock.wav, 0, SEEK_SET) == 0 &&
             std::fwrite(header, 1, WavHeaderBytes, VirtualClock.wav) == WavHeaderBytes;
        ok = std::fclose(VirtualClock.wav) == 0 && ok;
    }
    VirtualClock = VirtualClockState{};
    MusicLeaveVirtualClock();
    return ok;
}
