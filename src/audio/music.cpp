// Music playback: libopenmpt renders the module into the sound output in use (a row
// of sound_output.h), and the music position is what that output has heard.
//
// Threads. Exactly one renderer touches the module while it plays: the output's
// thread or callback, or the main thread when the output pulls from it (the virtual
// clock, the page). The main thread touches the module only while no output pulls
// (load, start, stop, free, a switch of output). What the main thread needs of the
// renderer is a ring of position snapshots, one per rendered slice of at most 256
// frames: (song frames rendered so far, order byte, row byte) packed in 64 bits and
// published through atomics. UpdateMusicPosition asks the output how many frames
// have been heard and takes the latest snapshot at or before that frame.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "audio/audio.h"
#include "audio/module_load.h"
#include "audio/sound_output.h"

namespace {

constexpr size_t SliceFrames = 256;      // position resolution: 5.8 ms
constexpr size_t SnapshotCount = 1024;   // 1024 slices: about 6 s of history

struct MusicState {
    // Main thread only, or set before an output pulls.
    openmpt_module* module = nullptr;
    int32_t orderCount = 0;
    int startOrder = 0;
    bool soundOn = true;
    bool playing = false;   // from StartMusic to StopMusic/FreeMusic, paused or not
    bool paused = false;    // PauseMusic: the output halted, the position held
    const SoundOutput* output = &SinkSoundOutput;
    bool outputOpen = false;
    const SoundOutput* lostOutput = nullptr;   // lost while playing; the sink plays meanwhile
    bool pulling = false;                      // the output's start ran and its halt has not
    uint64_t heldFrame = 0;                    // the heard frame while paused
    double startSeconds = 0;                   // song time at song frame 0
    int volume = 100;                          // 0..100
    int separation = 0;                        // stereo separation, percent
    bool muted = false;

    // Renderer only.
    uint64_t framesRendered = 0;
    int32_t lastOrder = 0;
    bool ended = false;     // past the song's last row: order MusicEndOrder
    bool drained = false;   // the player has nothing more to render

    // Published by the renderer.
    std::atomic<uint64_t> snapshots[SnapshotCount];
    std::atomic<uint64_t> snapshotsWritten{0};

    ~MusicState();
};

MusicState Music;

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

// The song frame being heard now.
uint64_t HeardFrame()
{
    if (Music.paused)
        return Music.heldFrame;
    return Music.pulling ? Music.output->framesHeard() : 0;
}

void StartOutput(uint64_t heardFrame)
{
    Music.output->start(heardFrame);
    Music.pulling = true;
}

// Afterwards the main thread owns the module again.
void HaltOutput()
{
    if (Music.pulling)
        Music.output->halt();
    Music.pulling = false;
}

void ApplyVolume() { Music.output->setVolume(Music.muted ? 0 : Music.volume); }

// Opens `output` for the music; without it (or when it cannot be opened, after one
// line on stderr) the silent sink plays the music.
void OpenOutput(const SoundOutput* output)
{
    std::string reason;
    if (output != nullptr && !output->open(&reason)) {
        std::fprintf(stderr, "tivrel: %s; the music plays silently\n", reason.c_str());
        output = nullptr;
    }
    if (output == nullptr) {
        output = &SinkSoundOutput;
        output->open(&reason);
    }
    Music.output = output;
    Music.outputOpen = true;
    ApplyVolume();
}

void CloseOutput()
{
    HaltOutput();
    if (Music.outputOpen)
        Music.output->close();
    Music.outputOpen = false;
}

MusicState::~MusicState()
{
    // Process exit without the end calls: no thread may render past this point.
    HaltOutput();
}

// The song goes on through `output` from the frame heard last.
void SwitchOutput(const SoundOutput* output)
{
    const bool wasPulling = Music.pulling;
    const uint64_t heard = HeardFrame();
    CloseOutput();
    OpenOutput(output);
    if (wasPulling)
        StartOutput(heard);
}

// A lost output hands the song to the sink; the output it had comes back when it can.
void WatchOutput()
{
    if (!Music.pulling)
        return;
    if (Music.output->lost != nullptr && Music.output->lost()) {
        const SoundOutput* lost = Music.output;
        std::fprintf(stderr, "tivrel: the sound output (%s) went away; the music goes on silently\n", lost->name);
        SwitchOutput(&SinkSoundOutput);
        Music.lostOutput = lost;
        return;
    }
    if (Music.lostOutput != nullptr && Music.lostOutput->back != nullptr && Music.lostOutput->back()) {
        const SoundOutput* back = Music.lostOutput;
        Music.lostOutput = nullptr;
        std::fprintf(stderr, "tivrel: the sound output (%s) is back; the music plays through it\n", back->name);
        SwitchOutput(back);
    }
}

}   // namespace

uint8_t MusicOrderByte(int32_t playerOrder) { return uint8_t(uint32_t(playerOrder) + 1u); }

// The end of the song: the player's read comes up short, or its order goes backwards
// (after the last row it reports the restart order while it still renders a
// fade-out tail).
uint64_t MusicRenderFrames(int16_t* out, size_t frames)
{
    for (size_t done = 0; done < frames;) {
        const size_t slice = std::min(SliceFrames, frames - done);
        int16_t* sliceOut = out + 2 * done;
        done += slice;
        if (Music.module == nullptr || !Music.playing) {
            std::memset(sliceOut, 0, slice * 4);
            continue;
        }
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
    }
    return Music.framesRendered;
}

const SoundOutput* CurrentSoundOutput() { return Music.output; }

void MusicInit(const SoundOutput* output)
{
    CloseOutput();
    Music.lostOutput = nullptr;
    OpenOutput(output);
}

void MusicUseOutput(const SoundOutput* output)
{
    Music.lostOutput = nullptr;
    SwitchOutput(output);
}

bool LoadMusic(const uint8_t* data, uint32_t length)
{
    FreeMusic();
    if (data == nullptr || length == 0)
        return false;
    openmpt_module* module = CreateModule(data, length, nullptr);
    if (module == nullptr)
        return false;
    // Any format the player plays; a module without orders cannot drive the scenes.
    const int32_t orderCount = openmpt_module_get_num_orders(module);
    if (orderCount <= 0) {
        openmpt_module_destroy(module);
        return false;
    }
    Music.module = module;
    Music.orderCount = orderCount;
    return true;
}

void SetMusicStereoSeparation(int percent) { Music.separation = std::clamp(percent, 0, 200); }

void SetMusicStartOrder(int playerOrder) { Music.startOrder = std::max(playerOrder, 0); }

void StartMusic(bool soundOn)
{
    if (Music.module == nullptr || Music.playing)
        return;
    if (!Music.outputOpen)
        OpenOutput(nullptr);
    openmpt_module_set_render_param(Music.module, OPENMPT_MODULE_RENDER_STEREOSEPARATION_PERCENT, Music.separation);
    openmpt_module_set_repeat_count(Music.module, 0);
    // No dither: its noise is random per run and per side, and capture runs must be
    // byte-identical.
    openmpt_module_ctl_set_integer(Music.module, "dither", 0);
    Music.soundOn = soundOn;
    Music.framesRendered = 0;
    Music.drained = false;
    Music.ended = Music.startOrder >= Music.orderCount;
    Music.paused = false;
    Music.heldFrame = 0;
    Music.startSeconds = 0;
    if (!Music.ended)
        Music.startSeconds = openmpt_module_set_position_order_row(Music.module, Music.startOrder, 0);
    Music.lastOrder = openmpt_module_get_current_order(Music.module);
    Music.snapshotsWritten.store(0);
    if (Music.ended)
        PublishSnapshot(0, MusicEndOrder, 0);
    else
        PublishSnapshot(0, MusicOrderByte(Music.lastOrder), uint8_t(openmpt_module_get_current_row(Music.module)));
    Music.playing = true;
    StartOutput(0);
}

void PauseMusic()
{
    if (!Music.playing || Music.paused)
        return;
    Music.heldFrame = HeardFrame();
    HaltOutput();
    Music.paused = true;
}

void ResumeMusic()
{
    if (!Music.paused || Music.module == nullptr)
        return;
    Music.paused = false;
    StartOutput(Music.heldFrame);
}

bool MusicPaused() { return Music.paused; }

void RestartMusicAt(int playerOrder)
{
    if (Music.module == nullptr)
        return;
    HaltOutput();
    Music.playing = false;
    Music.paused = false;
    SetMusicStartOrder(playerOrder);
    StartMusic(Music.soundOn);
    MusicPosition = {0, 0};
}

void SetMusicVolume(int percent)
{
    Music.volume = std::clamp(percent, 0, 100);
    ApplyVolume();
}
int MusicVolume() { return Music.volume; }
void SetMusicMuted(bool muted)
{
    Music.muted = muted;
    ApplyVolume();
}
bool MusicMuted() { return Music.muted; }

double MusicSeconds()
{
    if (!Music.playing)
        return 0;
    return Music.startSeconds + double(HeardFrame()) / MusicSampleRate;
}

void UpdateMusicPosition()
{
    if (!Music.playing)
        return;
    WatchOutput();
    uint8_t order = 0;
    uint8_t row = 0;
    if (FindSnapshot(HeardFrame(), &order, &row))
        MusicPosition = {order, row};
}

bool StopMusic()
{
    if (Music.module == nullptr)
        return false;
    HaltOutput();
    Music.playing = false;
    Music.paused = false;
    return true;
}

bool FreeMusic()
{
    if (Music.module == nullptr)
        return false;
    StopMusic();
    openmpt_module_destroy(Music.module);
    Music.module = nullptr;
    Music.orderCount = 0;
    return true;
}

void MusicClose()
{
    CloseOutput();
    Music.lostOutput = nullptr;
}

int MusicLatencyFrames() { return Music.output->latencyFrames(); }
