// The SDL sound device. A callback fills the buffer that plays after the one now
// playing, so right after it the heard frame is the rendered count minus two
// buffers; it then advances with the clock for at most one buffer until the next
// callback. It never moves backwards. A stall of the process holds it too: after a
// stop the device resumes from what it had heard. A device that went away (SDL then
// reports it stopped) is lost; the default device is looked for again once a second.
#include <SDL2/SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "audio/audio.h"
#include "audio/output_clock.h"
#include "audio/sound_output.h"

namespace {

constexpr int DeviceBufferRequest = 1024;   // frames per callback

struct DeviceState {
    bool audioInitialised = false;
    SDL_AudioDeviceID device = 0;
    int bufferFrames = 0;
    bool started = false;
    uint64_t lastRendered = 0;   // the count after the latest callback (main thread while halted)
    uint64_t floorFrame = 0;
    OutputClock clock;              // (rendered, time of the latest callback)
    std::atomic<int> volume{100};   // 0..100, read by the callback
    int64_t lastLook = 0;           // steady nanoseconds of the last look for a device after a loss
    ~DeviceState()
    {
        if (device != 0)
            SDL_PauseAudioDevice(device, 1);
    }
};

DeviceState Device;

void DeviceCallback(void*, Uint8* stream, int length)
{
    int16_t* samples = reinterpret_cast<int16_t*>(stream);
    const size_t frames = size_t(length) / 4;
    const uint64_t rendered = MusicRenderFrames(samples, frames);
    const int volume = Device.volume.load(std::memory_order_relaxed);
    if (volume < 100)
        for (size_t i = 0; i < frames * 2; i++)
            samples[i] = int16_t(samples[i] * volume / 100);
    Device.lastRendered = rendered;
    PublishOutputClock(&Device.clock, rendered, SteadyNanoseconds());
}

// Runs `call` with stderr sent to /dev/null: the sound system's libraries print
// their own lines when no device answers.
template <typename Call> auto WithoutStderr(Call call)
{
    std::fflush(stderr);
    const int saved = dup(2);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0)
        dup2(null, 2);
    auto result = call();
    if (saved >= 0 && null >= 0)
        dup2(saved, 2);
    if (null >= 0)
        close(null);
    if (saved >= 0)
        close(saved);
    return result;
}

void DeviceClose()
{
    if (Device.device != 0)
        SDL_CloseAudioDevice(Device.device);
    Device.device = 0;
    Device.started = false;
    if (Device.audioInitialised)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    Device.audioInitialised = false;
}

bool DeviceOpen(std::string* reason)
{
    if (Device.device != 0)
        return true;
    if (WithoutStderr([] { return SDL_InitSubSystem(SDL_INIT_AUDIO); }) != 0) {
        *reason = std::string("no sound output (") + SDL_GetError() + ")";
        return false;
    }
    Device.audioInitialised = true;
    SDL_AudioSpec wanted = {};
    SDL_AudioSpec obtained = {};
    wanted.freq = MusicSampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = DeviceBufferRequest;
    wanted.callback = DeviceCallback;
    // No allowed changes: SDL converts to the device's own format if it must.
    Device.device = WithoutStderr([&] { return SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0); });
    if (Device.device == 0) {
        *reason = std::string("no sound device (") + SDL_GetError() + ")";
        DeviceClose();
        return false;
    }
    Device.bufferFrames = obtained.samples;
    return true;
}

void DeviceStart(uint64_t heardFrame)
{
    Device.floorFrame = heardFrame;
    if (heardFrame == 0) {
        Device.lastRendered = 0;
        ResetOutputClock(&Device.clock);
    } else {
        // No callback runs while halted: the clock starts again from the last one.
        PublishOutputClock(&Device.clock, Device.lastRendered, SteadyNanoseconds());
    }
    Device.started = true;
    SDL_PauseAudioDevice(Device.device, 0);
}

void DeviceHalt()
{
    if (Device.device != 0)
        SDL_PauseAudioDevice(Device.device, 1);   // returns once no callback is running
    Device.started = false;
}

uint64_t DeviceFramesHeard()
{
    uint64_t frames = 0;
    int64_t nanoseconds = 0;
    if (!ReadOutputClock(&Device.clock, &frames, &nanoseconds))
        return Device.floorFrame;
    const int64_t buffer = Device.bufferFrames;
    const int64_t heard = int64_t(frames) - 2 * buffer + std::min(FramesSince(nanoseconds, MusicSampleRate), buffer);
    return std::max(Device.floorFrame, heard > 0 ? uint64_t(heard) : 0);
}

int DeviceLatencyFrames() { return 2 * Device.bufferFrames; }

void DeviceSetVolume(int percent) { Device.volume.store(std::clamp(percent, 0, 100)); }

bool DeviceLost()
{
    if (!Device.started || SDL_GetAudioDeviceStatus(Device.device) != SDL_AUDIO_STOPPED)
        return false;
    Device.lastLook = SteadyNanoseconds();
    return true;
}

// Opens the default device again when one is there, at most once a second.
bool DeviceBack()
{
    const int64_t now = SteadyNanoseconds();
    if (now - Device.lastLook < 1000000000)
        return false;
    Device.lastLook = now;
    std::string reason;
    return DeviceOpen(&reason);
}

}   // namespace

const SoundOutput SdlSoundOutput = {
    "sdl",           DeviceOpen,  DeviceStart, DeviceHalt, DeviceFramesHeard, DeviceLatencyFrames,
    DeviceSetVolume, DeviceClose, DeviceLost,  DeviceBack};
