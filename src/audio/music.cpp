// Music playback: libopenmpt renders the S3M module into an SDL audio callback, a
// silent real-time sink thread (no device), or the virtual clock (capture mode).
//
// Threads. Exactly one renderer touches the module while it plays: the SDL audio
// thread, the sink thread, or the main thread under the virtual clock. The main
// thread touches the module only while no renderer runs (load, start, stop, free).
// The renderer publishes what the main thread needs through atomics:
//  - a ring of position snapshots, one per rendered slice of at most 256 frames:
//    (frames rendered so far, order byte, row byte) packed in 64 bits;
//  - the output timing: (frames rendered, steady-clock time) under a sequence counter
//    so the two are read as a pair. The device publishes the time of its latest
//    callback; the sink, the time its song started.
// UpdateMusicPosition estimates the frame being heard from the timing and takes the
// latest snapshot at or before that frame.
//
// Heard frame, device: a callback fills the buffer that plays after the one now
// playing, so right after it the heard frame is the rendered count minus two
// buffers, and it then advances with the clock for at most one buffer until the
// next callback. This never moves backwards. Sink: the song plays on the clock from
// its start, up to what has been rendered; the sink renders 20 ms ahead so a late
// wake-up does not hold the position back. Virtual clock: exactly what has been
// rendered.
#include "audio/audio.h"
#include "audio/music_internal.h"

#include <SDL2/SDL.h>
#include <libopenmpt/libopenmpt.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr size_t SliceFrames = 256;         // position resolution: 5.8 ms
constexpr size_t SnapshotCount = 1024;      // 1024 slices: about 6 s of history
constexpr size_t SinkBlockFrames = 441;     // 10 ms
constexpr uint64_t SinkLeadBlocks = 2;      // rendered this far ahead of the clock
constexpr int DeviceBufferRequest = 1024;   // frames per SDL callback

enum class MusicOutput { None, Device, Sink, Virtual };

struct MusicState {
    // Main thread only, or set before the renderer starts.
    openmpt_module* module = nullptr;
    int32_t orderCount = 0;
    int startOrder = 0;
    bool soundOn = true;
    bool playing = false;   // from StartMusic to StopMusic/FreeMusic
    bool virtualClock = false;
    bool sdlAudioInitialised = false;
    SDL_AudioDeviceID device = 0;
    int deviceBufferFrames = 0;
    MusicOutput output = MusicOutput::None;   // the renderer of the playing song
    std::thread sinkThread;
    std::atomic<bool> sinkStop{false};

    bool paused = false;   // PauseMusic: rendering halted, position held
    MusicOutput pausedOutput = MusicOutput::None;
    uint64_t heardFloor = 0;            // the heard frame never goes below this (the held one)
    double startSeconds = 0;            // song time at frame 0 of this start
    int64_t sinkStartNanoseconds = 0;   // the sink's clock: frame 0 plays at this time

    // Set by the main thread, read by the device's callback.
    std::atomic<int> volume{100};   // 0..100
    std::atomic<bool> muted{false};

    // Renderer only.
    uint64_t framesRendered = 0;
    int32_t lastOrder = 0;
    bool ended = false;     // past the song's last row: order MusicEndOrder
    bool drained = false;   // the player has nothing more to render

    // Published by the renderer.
    std::atomic<uint64_t> snapshots[SnapshotCount];
    std::atomic<uint64_t> snapshotsWritten{0};
    std::atomic<uint32_t> timingSequence{0};   // odd while being written
    std::atomic<uint64_t> timingFrames{0};
    std::atomic<int64_t> timingNanoseconds{0};

    ~MusicState();
};

MusicState Music;

int64_t NowNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

uint64_t PackSnapshot(uint64_t frames, uint8_t order, uint8_t row)
{
    return (frames << 16) | (uint64_t(order) << 8) | row;
}

void PublishSnapshot(uint64_t frames, uint8_t order, uint8_t row)
{
    const uint64_t index = Music.snapshotsWritten.load(std::memory_order_relaxed);
    Music.snapshots[index % SnapshotCount].store(PackSnapshot(frames, order, row), std::memory_order_relaxed);
    Music.snapshotsWritten.store(index + 1, std::memory_order_release);
}

void PublishTiming(uint64_t frames, int64_t nanoseconds)
{
    // Sequence lock: odd while the pair changes. The release stores keep the odd
    // count visible to any reader that sees one of the new values.
    const uint32_t sequence = Music.timingSequence.load(std::memory_order_relaxed);
    Music.timingSequence.store(sequence + 1, std::memory_order_relaxed);
    Music.timingFrames.store(frames, std::memory_order_release);
    Music.timingNanoseconds.store(nanoseconds, std::memory_order_release);
    Music.timingSequence.store(sequence + 2, std::memory_order_release);
}

// False when no output buffer has been timed yet.
bool ReadTiming(uint64_t* frames, int64_t* nanoseconds)
{
    for (;;) {
        const uint32_t before = Music.timingSequence.load(std::memory_order_acquire);
        if (before == 0)
            return false;
        if (before & 1) {
            std::this_thread::yield();
            continue;
        }
        *frames = Music.timingFrames.load(std::memory_order_acquire);
        *nanoseconds = Music.timingNanoseconds.load(std::memory_order_acquire);
        if (Music.timingSequence.load(std::memory_order_relaxed) == before)
            return true;
    }
}

// The latest snapshot taken at or before `frame` (the oldest one kept if none is).
// False when nothing has been published.
bool FindSnapshot(uint64_t frame, uint8_t* order, uint8_t* row)
{
    const uint64_t written = Music.snapshotsWritten.load(std::memory_order_acquire);
    if (written == 0)
        return false;
    const uint64_t oldest = written > SnapshotCount ? written - SnapshotCount : 0;
    uint64_t chosen = Music.snapshots[oldest % SnapshotCount].load(std::memory_order_relaxed);
    for (uint64_t i = written; i-- > oldest;) {
        const uint64_t s = Music.snapshots[i % SnapshotCount].load(std::memory_order_relaxed);
        if ((s >> 16) <= frame) {
            chosen = s;
            break;
        }
    }
    *order = uint8_t(chosen >> 8);
    *row = uint8_t(chosen);
    return true;
}

// The frame of the song being heard now (see the top of this file).
uint64_t HeardFrame()
{
    if (Music.output == MusicOutput::Virtual)
        return UINT64_MAX;
    uint64_t frames = 0;
    int64_t nanoseconds = 0;
    if (!ReadTiming(&frames, &nanoseconds))
        return 0;
    const int64_t elapsedMicroseconds = std::max<int64_t>(NowNanoseconds() - nanoseconds, 0) / 1000;
    const int64_t elapsed = elapsedMicroseconds * MusicSampleRate / 1000000;
    if (Music.output == MusicOutput::Sink)
        return std::max(Music.heardFloor, std::min<uint64_t>(frames, uint64_t(elapsed)));
    const int64_t buffer = Music.deviceBufferFrames;
    const int64_t heard = int64_t(frames) - 2 * buffer + std::min(elapsed, buffer);
    return std::max(Music.heardFloor, heard > 0 ? uint64_t(heard) : 0);
}

// Renders into out in slices, detects the song's end, publishes a snapshot per slice.
// The end: the player's read comes up short, or its order goes backwards (after the
// last row it reports the restart order while it still renders a fade-out tail).
void RenderSong(int16_t* out, size_t frames)
{
    for (size_t done = 0; done < frames;) {
        const size_t slice = std::min(SliceFrames, frames - done);
        int16_t* sliceOut = out + 2 * done;
        size_t got = 0;
        if (!Music.drained)
            got = openmpt_module_read_interleaved_stereo(Music.module, MusicSampleRate, slice, sliceOut);
        if (got < slice) {
            std::memset(sliceOut + 2 * got, 0, (slice - got) * 4);
            Music.drained = true;
        }
        if (!Music.soundOn)
            std::memset(sliceOut, 0, slice * 4);
        Music.framesRendered += slice;
        int32_t order = openmpt_module_get_current_order(Music.module);
        int32_t row = openmpt_module_get_current_row(Music.module);
        if (!Music.ended && (got < slice || order < Music.lastOrder))
            Music.ended = true;
        Music.lastOrder = order;
        if (Music.ended)
            PublishSnapshot(Music.framesRendered, MusicEndOrder, 0);
        else
            PublishSnapshot(Music.framesRendered, MusicOrderByte(order), uint8_t(row));
        done += slice;
    }
}

void AudioCallback(void*, Uint8* stream, int length)
{
    int16_t* samples = reinterpret_cast<int16_t*>(stream);
    const size_t frames = size_t(length) / 4;
    RenderSong(samples, frames);
    const int volume = Music.muted.load(std::memory_order_relaxed) ? 0 : Music.volume.load(std::memory_order_relaxed);
    if (volume < 100)
        for (size_t i = 0; i < frames * 2; i++)
            samples[i] = int16_t(samples[i] * volume / 100);
    PublishTiming(Music.framesRendered, NowNanoseconds());
}

// Plays the song in real time into nothing: the frame f of the song plays at
// sinkStartNanoseconds + f / 44,100 s, and each 10 ms block is rendered
// SinkLeadBlocks earlier; a thread held up catches up block by block.
void SinkLoop()
{
    int16_t block[SinkBlockFrames * 2];
    const std::chrono::steady_clock::time_point start{std::chrono::nanoseconds(Music.sinkStartNanoseconds)};
    constexpr uint64_t lead = SinkLeadBlocks * SinkBlockFrames;
    while (!Music.sinkStop.load(std::memory_order_relaxed)) {
        if (Music.framesRendered >= lead) {
            const uint64_t due = Music.framesRendered - lead;
            std::this_thread::sleep_until(start + std::chrono::microseconds(due * 1000000 / MusicSampleRate));
            if (Music.sinkStop.load(std::memory_order_relaxed))
                break;
        }
        RenderSong(block, SinkBlockFrames);
        PublishTiming(Music.framesRendered, Music.sinkStartNanoseconds);
    }
}

void StartSink()
{
    Music.output = MusicOutput::Sink;
    Music.sinkStop.store(false);
    Music.sinkThread = std::thread(SinkLoop);
}

// Stops the renderer; afterwards the main thread owns the module again.
void HaltRenderer()
{
    switch (Music.output) {
    case MusicOutput::Device:
        SDL_PauseAudioDevice(Music.device, 1);   // returns once no callback is running
        break;
    case MusicOutput::Sink:
        Music.sinkStop.store(true);
        if (Music.sinkThread.joinable())
            Music.sinkThread.join();
        break;
    case MusicOutput::Virtual:
    case MusicOutput::None: break;
    }
    Music.output = MusicOutput::None;
    Music.playing = false;
    Music.paused = false;
}

void CloseDevice()
{
    if (Music.device != 0)
        SDL_CloseAudioDevice(Music.device);
    Music.device = 0;
    if (Music.sdlAudioInitialised)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    Music.sdlAudioInitialised = false;
}

MusicState::~MusicState()
{
    // Process exit without the end calls: no thread may render past this point.
    if (output == MusicOutput::Device)
        SDL_PauseAudioDevice(device, 1);
    if (output == MusicOutput::Sink) {
        sinkStop.store(true);
        if (sinkThread.joinable())
            sinkThread.join();
    }
}

}   // namespace

uint8_t MusicOrderByte(int32_t playerOrder) { return uint8_t(uint32_t(playerOrder) + 1u); }

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

void MusicInit(bool openDevice)
{
    if (Music.virtualClock || Music.sdlAudioInitialised || !openDevice)
        return;
    if (WithoutStderr([] { return SDL_InitSubSystem(SDL_INIT_AUDIO); }) != 0) {
        std::fprintf(stderr, "tivrel: no sound output (%s); the music plays silently\n", SDL_GetError());
        return;
    }
    Music.sdlAudioInitialised = true;
    SDL_AudioSpec wanted = {};
    SDL_AudioSpec obtained = {};
    wanted.freq = MusicSampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = DeviceBufferRequest;
    wanted.callback = AudioCallback;
    // No allowed changes: SDL converts to the device's own format if it must.
    Music.device = WithoutStderr([&] { return SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0); });
    if (Music.device == 0) {
        std::fprintf(stderr, "tivrel: no sound device (%s); the music plays silently\n", SDL_GetError());
        CloseDevice();
        return;
    }
    Music.deviceBufferFrames = obtained.samples;
}

int LoadMusic(const uint8_t* data, uint32_t length)
{
    FreeMusic();
    if (data == nullptr || length == 0)
        return 1;
    int error = 0;
    const char* errorMessage = nullptr;
    openmpt_module* module =
        openmpt_module_create_from_memory2(data, length, openmpt_log_func_silent, nullptr, openmpt_error_func_store,
                                           nullptr, &error, &errorMessage, nullptr);
    if (errorMessage)
        openmpt_free_string(errorMessage);
    if (module == nullptr)
        return 1;
    // Any format the player plays; a module without orders cannot drive the scenes.
    const int32_t orderCount = openmpt_module_get_num_orders(module);
    if (orderCount <= 0) {
        openmpt_module_destroy(module);
        return 1;
    }
    Music.module = module;
    Music.orderCount = orderCount;
    return 0;
}

void SetMusicStartOrder(int playerOrder) { Music.startOrder = std::max(playerOrder, 0); }

void StartMusic(int soundOn)
{
    if (Music.module == nullptr || Music.playing)
        return;
    openmpt_module_set_render_param(Music.module, OPENMPT_MODULE_RENDER_STEREOSEPARATION_PERCENT, 0);
    openmpt_module_set_repeat_count(Music.module, 0);
    // No dither: its noise is random per run and per side, and capture runs must be
    // byte-identical.
    openmpt_module_ctl_set_integer(Music.module, "dither", 0);
    Music.soundOn = soundOn != 0;
    Music.framesRendered = 0;
    Music.drained = false;
    Music.ended = Music.startOrder >= Music.orderCount;
    Music.heardFloor = 0;
    Music.startSeconds = 0;
    if (!Music.ended)
        Music.startSeconds = openmpt_module_set_position_order_row(Music.module, Music.startOrder, 0);
    Music.lastOrder = openmpt_module_get_current_order(Music.module);
    Music.snapshotsWritten.store(0);
    Music.timingSequence.store(0);
    if (Music.ended)
        PublishSnapshot(0, MusicEndOrder, 0);
    else
        PublishSnapshot(0, MusicOrderByte(Music.lastOrder), uint8_t(openmpt_module_get_current_row(Music.module)));
    Music.playing = true;

    if (Music.virtualClock) {
        Music.output = MusicOutput::Virtual;
    } else if (Music.device != 0) {
        Music.output = MusicOutput::Device;
        SDL_PauseAudioDevice(Music.device, 0);
    } else {
        Music.sinkStartNanoseconds = NowNanoseconds();
        StartSink();
    }
}

void PauseMusic()
{
    if (!Music.playing || Music.output == MusicOutput::Virtual)
        return;
    Music.heardFloor = HeardFrame();
    const MusicOutput output = Music.output;
    HaltRenderer();
    Music.paused = true;
    Music.pausedOutput = output;
}

void ResumeMusic()
{
    if (!Music.paused || Music.module == nullptr)
        return;
    Music.paused = false;
    Music.playing = true;
    const int64_t now = NowNanoseconds();
    if (Music.pausedOutput == MusicOutput::Device) {
        Music.output = MusicOutput::Device;
        PublishTiming(Music.framesRendered, now);   // no callback runs while paused
        SDL_PauseAudioDevice(Music.device, 0);
    } else {
        Music.sinkStartNanoseconds = now - int64_t(Music.heardFloor * 1000000000ull / MusicSampleRate);
        StartSink();
    }
}

bool MusicPaused() { return Music.paused; }

void RestartMusicAt(int playerOrder)
{
    if (Music.module == nullptr)
        return;
    HaltRenderer();
    SetMusicStartOrder(playerOrder);
    StartMusic(Music.soundOn ? 1 : 0);
    MusicPosition = {0, 0};
}

void SetMusicVolume(int percent) { Music.volume.store(std::clamp(percent, 0, 100)); }
int MusicVolume() { return Music.volume.load(); }
void SetMusicMuted(bool muted) { Music.muted.store(muted); }
bool MusicMuted() { return Music.muted.load(); }

double MusicSeconds()
{
    if (!Music.playing && !Music.paused)
        return 0;
    const uint64_t frame = Music.paused                           ? Music.heardFloor
                           : Music.output == MusicOutput::Virtual ? Music.framesRendered
                                                                  : HeardFrame();
    return Music.startSeconds + double(frame) / MusicSampleRate;
}

void UpdateMusicPosition()
{
    if (!Music.playing)
        return;
    uint8_t order = 0;
    uint8_t row = 0;
    if (FindSnapshot(HeardFrame(), &order, &row))
        MusicPosition = {order, row};
}

bool StopMusic()
{
    if (Music.module == nullptr)
        return false;
    HaltRenderer();
    return true;
}

bool FreeMusic()
{
    if (Music.module == nullptr)
        return false;
    HaltRenderer();
    openmpt_module_destroy(Music.module);
    Music.module = nullptr;
    Music.orderCount = 0;
    return true;
}

void MusicClose()
{
    HaltRenderer();
    CloseDevice();
}

bool MusicHasDevice() { return Music.device != 0; }

int MusicLatencyFrames()
{
    if (Music.virtualClock)
        return 0;
    return Music.device != 0 ? 2 * Music.deviceBufferFrames : 0;
}

void MusicEnterVirtualClock()
{
    // A song already playing carries on under the virtual clock.
    const bool wasPlaying = Music.playing;
    HaltRenderer();
    CloseDevice();
    Music.virtualClock = true;
    if (wasPlaying) {
        Music.output = MusicOutput::Virtual;
        Music.playing = true;
    }
}

void MusicLeaveVirtualClock()
{
    if (Music.output == MusicOutput::Virtual)
        HaltRenderer();
    Music.virtualClock = false;
}

void RenderVirtualMusic(int16_t* out, size_t frames)
{
    if (Music.output == MusicOutput::Virtual && Music.playing)
        RenderSong(out, frames);
    else
        std::memset(out, 0, frames * 4);
}
