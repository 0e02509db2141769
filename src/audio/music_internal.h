// Between the music player and the virtual clock; not for use outside src/audio.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int MusicSampleRate = 44100;
constexpr size_t VirtualStepFrames = 882;   // 20 ms at 44,100 Hz

// Capture mode switches: the player renders only when the virtual clock asks.
void MusicEnterVirtualClock();
void MusicLeaveVirtualClock();
// Renders `frames` stereo frames (16-bit interleaved) of the playing song into out
// and publishes the position; silence when no song is playing with the virtual
// clock. Virtual clock only: the caller is the main thread.
void RenderVirtualMusic(int16_t* out, size_t frames);
