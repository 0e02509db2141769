// Where the music goes: a sound output is a table of operations, one row per kind
//   SdlSoundOutput      the SDL sound device (sdl_sound.cpp)
//   SinkSoundOutput     a silent real-time sink: no device, the song plays on the
//                       steady clock so the music position still advances
//   VirtualSoundOutput  the virtual clock of capture mode: 882 frames per step
// and, outside this folder, the page's Web Audio output. The music player
// (music.cpp) owns the module, the position history and the end detection once for
// every row: an output only pulls frames through MusicRenderFrames and tells how many
// of them have been heard.
//
// Sound is 44,100 Hz stereo, 16-bit signed samples, left and right interleaved.
// "Song frames" count from the song's start (StartMusic or RestartMusicAt), as
// MusicRenderFrames returns them. The player calls every operation from the main
// thread; a row may pull from a thread or callback of its own between start and halt.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct SoundOutput {
    const char* name;
    // Makes the output ready; false with a short reason ("no sound device (...)").
    bool (*open)(std::string* reason);
    // Starts pulling frames. The output's clock is re-based so that framesHeard goes
    // on from `heardFrame` (0 at the song's start; the held frame after a pause or
    // when the song moves from another output) and never goes below it.
    void (*start)(uint64_t heardFrame);
    // Stops pulling; returns once no MusicRenderFrames call of this output runs.
    void (*halt)();
    // Song frames heard by now: never above what has been rendered, never backwards
    // between a start and a halt.
    uint64_t (*framesHeard)();
    // Frames between rendered and heard right after the output pulled (0 when
    // the output hears what it renders).
    int (*latencyFrames)();
    // Loudness of what is heard, 0..100 (0 also while muted); the rendered frames and
    // the position are unchanged.
    void (*setVolume)(int percent);
    // After the last halt: gives the device back. Harmless when not open.
    void (*close)();
    // Optional (nullptr: never). True once the output, started, can no longer play
    // (its device was unplugged, its sound server went away). The player then moves
    // the song to the silent sink from the frame heard last, with one line on stderr.
    bool (*lost)() = nullptr;
    // Optional (nullptr: never). Asked once per position update while the song plays
    // in the sink after this output was lost: true once it can be opened again (a
    // default device has appeared); the player then moves the song back to it. The
    // row limits how often it looks, and may open itself to find out.
    bool (*back)() = nullptr;
};

extern const SoundOutput SdlSoundOutput;
extern const SoundOutput SinkSoundOutput;
extern const SoundOutput VirtualSoundOutput;

// For outputs: renders the next `frames` frames of the playing song into `out`
// (silence past its end, while no song plays and, with sound off, always) and
// publishes the position reached after every slice of at most 256 frames. Returns
// the song frames rendered so far, these included. Called only by the output in use,
// between its start and its halt (the virtual clock: by the main thread).
uint64_t MusicRenderFrames(int16_t* out, size_t frames);

// The output playing the music now.
const SoundOutput* CurrentSoundOutput();
