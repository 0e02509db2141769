// Capture mode's clock: time advances only when AdvanceVirtualClock is called, by
// exactly 20 ms (one tick, 882 frames of music). It is a row of each table: the
// stepped tick source and VirtualSoundOutput, which hears exactly what has been
// rendered. The music goes to an optional 16-bit 44,100 Hz stereo PCM WAV file, so
// two runs give byte-identical files. The WAV is a safe write: it appears, whole and
// with its final header, when the clock finishes.
#include "audio/audio.h"
#include "audio/sound_output.h"
#include "audio/virtual_clock.h"
#include "clock/tick_source.h"
#include "core/bytes.h"
#include "core/fail.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr uint32_t WavHeaderBytes = 44;
constexpr uint32_t BytesPerFrame = 4;

constexpr size_t VirtualStepFrames = 882;   // 20 ms at 44,100 Hz
constexpr uint64_t StepBytes = VirtualStepFrames * BytesPerFrame;

// The output row: pulled by AdvanceVirtualClock on the main thread.
struct VirtualOutputState {
    bool started = false;
    uint64_t rendered = 0;
};
VirtualOutputState VirtualOutput;

bool VirtualOpen(std::string*) { return true; }
void VirtualStart(uint64_t heardFrame)
{
    // It hears what it renders: the frame heard is the one it renders from.
    VirtualOutput.started = true;
    VirtualOutput.rendered = heardFrame;
}
void VirtualHalt() { VirtualOutput.started = false; }
uint64_t VirtualFramesHeard() { return VirtualOutput.rendered; }
int VirtualLatencyFrames() { return 0; }
void VirtualSetVolume(int) {}
void VirtualClose() { VirtualOutput = VirtualOutputState{}; }

struct VirtualClockState {
    bool active = false;
    const TickSource* savedTicks = nullptr;   // the tick source before the clock started
    SafeFile wav;
    bool wavOpen = false;
    bool wavFailed = false;
    bool wavFull = false;
    uint64_t dataLimitBytes = WavDataLimitBytes;
    uint64_t framesWritten = 0;
};

VirtualClockState VirtualClock;
int16_t StepSound[VirtualStepFrames * 2];   // the last step's frames, left and right

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

// Starts the clock; `open` opens the WAV (or leaves it closed: no WAV) or fails.
template <typename Open> bool StartVirtualClock(uint64_t dataLimitBytes, Open open)
{
    if (VirtualClock.active)
        FinishVirtualClock();
    VirtualClock = VirtualClockState{};
    VirtualClock.active = true;
    std::fill_n(StepSound, VirtualStepFrames * 2, int16_t(0));
    VirtualClock.dataLimitBytes = dataLimitBytes;
    // From now on only AdvanceVirtualClock ticks; a song already playing carries on
    // under the virtual clock.
    VirtualClock.savedTicks = CurrentTickSource();
    UseTickSource(&SteppedTickSource);
    MusicUseOutput(&VirtualSoundOutput);
    std::string error;
    if (!open(&VirtualClock.wav, &error)) {
        VirtualClock.wavFailed = true;
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        return false;
    }
    VirtualClock.wavOpen = VirtualClock.wav.fd >= 0;
    if (!VirtualClock.wavOpen)
        return true;
    uint8_t header[WavHeaderBytes];
    MakeWavHeader(header, 0);
    if (!SafeFileWrite(&VirtualClock.wav, header, WavHeaderBytes, &error)) {
        VirtualClock.wavFailed = true;
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
    }
    return !VirtualClock.wavFailed;
}

}   // namespace

const SoundOutput VirtualSoundOutput = {"virtual clock",    VirtualOpen,          VirtualStart,     VirtualHalt,
                                        VirtualFramesHeard, VirtualLatencyFrames, VirtualSetVolume, VirtualClose};

bool UseVirtualClock(const char* wavPath)
{
    return StartVirtualClock(WavDataLimitBytes, [wavPath](SafeFile* wav, std::string* error) {
        return wavPath == nullptr || SafeFileOpenPath(wav, wavPath, true, error) == SafeWriteOk;
    });
}

bool UseVirtualClockIn(const SafeFolder& folder, const std::string& wavName, uint64_t dataLimitBytes)
{
    return StartVirtualClock(std::min(dataLimitBytes, WavDataLimitBytes), [&](SafeFile* wav, std::string* error) {
        return SafeFileOpen(wav, folder, wavName, true, error) == SafeWriteOk;
    });
}

bool VirtualClockActive() { return VirtualClock.active; }

bool VirtualClockWavFull() { return VirtualClock.wavFull; }

bool VirtualClockWavFailed() { return VirtualClock.wavFailed; }

void AdvanceVirtualClock()
{
    if (!VirtualClock.active)
        return;
    TickHandler();
    int16_t* frames = StepSound;
    if (CurrentSoundOutput() == &VirtualSoundOutput && VirtualOutput.started)
        VirtualOutput.rendered = MusicRenderFrames(frames, VirtualStepFrames);
    else
        std::fill_n(frames, VirtualStepFrames * 2, int16_t(0));
    if (!VirtualClock.wavOpen || VirtualClock.wavFailed || VirtualClock.wavFull)
        return;
    if (VirtualClock.framesWritten * BytesPerFrame + StepBytes > VirtualClock.dataLimitBytes) {
        VirtualClock.wavFull = true;
        std::fprintf(stderr, "tivrel: %s is full (%llu bytes of sound, the most it may hold); no more sound is added\n",
                     VirtualClock.wav.path.c_str(),
                     static_cast<unsigned long long>(VirtualClock.framesWritten * BytesPerFrame));
        return;
    }
    uint8_t bytes[StepBytes];
    for (size_t i = 0; i < VirtualStepFrames * 2; i++)
        WriteLE16(bytes + 2 * i, uint16_t(frames[i]));
    std::string error;
    if (!SafeFileWrite(&VirtualClock.wav, bytes, sizeof bytes, &error)) {
        VirtualClock.wavFailed = true;
        ReportWriteFailure(error);
        return;
    }
    VirtualClock.framesWritten += VirtualStepFrames;
}

const int16_t* VirtualClockStepSound() { return StepSound; }

size_t VirtualClockStepFrames() { return VirtualStepFrames; }

bool FinishVirtualClock()
{
    if (!VirtualClock.active)
        return true;
    bool ok = !VirtualClock.wavFailed;
    if (VirtualClock.wavOpen) {
        // After a failed write, the steps written before it: a partly written step
        // is cut off, and the header written in place needs no more room.
        std::string error;
        uint8_t header[WavHeaderBytes];
        const uint64_t dataBytes = VirtualClock.framesWritten * BytesPerFrame;
        MakeWavHeader(header, uint32_t(dataBytes));
        if (!((ok || SafeFileCutBack(&VirtualClock.wav, WavHeaderBytes + dataBytes, &error)) &&
              SafeFileWriteAt(&VirtualClock.wav, 0, header, WavHeaderBytes, &error) &&
              SafeFileCommit(&VirtualClock.wav, &error) == SafeWriteOk)) {
            ReportWriteFailure(error);
            ok = false;
        }
        SafeFileAbandon(&VirtualClock.wav);   // after a failure: the temporary goes
    }
    const TickSource* ticks = VirtualClock.savedTicks;
    VirtualClock = VirtualClockState{};
    if (CurrentSoundOutput() == &VirtualSoundOutput)
        MusicClose();
    UseTickSource(ticks);
    return ok;
}
