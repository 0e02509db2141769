// Music and timing: the frame timer's tick counters and the music position.
//
// Call order, real time: MusicInit; StartFrameTimer; LoadMusic; StartMusic; every
// frame UpdateMusicPosition; then StopMusic (quit only), FreeMusic, MusicClose,
// StopFrameTimer (quit only). Capture mode: UseVirtualClock first, the same calls,
// AdvanceVirtualClock once per presented frame, FinishVirtualClock at the end.
// All of these are main-thread calls.
#pragma once
#include <cstdint>
#include <string>

#include "core/safe_write.h"
#include "core/shared.h"

// The order byte reported for a 0-based player order: (playerOrder + 1) mod 256.
uint8_t MusicOrderByte(int32_t playerOrder);

// Starts the 50 Hz tick (a thread with deadline-based sleeps; nothing in capture mode).
// A late thread catches up by ticking once per missed deadline, so the counters keep
// matching elapsed time (and the music) rather than the thread's scheduling.
void StartFrameTimer();
// Stops and joins the tick thread; the counters keep their values. Safe when not running.
void StopFrameTimer();
// One tick: +1 on each of the three TickCounters (atomic read-modify-write).
void TickHandler();

// Opens the sound output (44,100 Hz stereo); without a device the module is played
// into a silent real-time sink so the position still advances. With openDevice
// false (no sound wanted) no device is opened at all. Without a device one line on
// stderr says so (the sound libraries' own lines are kept off stderr).
void MusicInit(bool openDevice = true);
// Loads an S3M module from memory; the bytes are copied, trailing bytes after the
// module are ignored. 0 on success.
int LoadMusic(const uint8_t* data, uint32_t length);
// Starts playback from order 0 (or the order set by SetMusicStartOrder); stereo
// separation 0; muted but still advancing when soundOn is 0.
void StartMusic(int soundOn);
// Player order (0-based) at which StartMusic begins; for starting at a later scene.
// An order past the song's end starts a song that has already ended.
void SetMusicStartOrder(int playerOrder);
// Sets MusicPosition to the position being heard now (the render position minus the
// output's buffered latency; exactly the render position with the virtual clock).
// Leaves it unchanged before StartMusic and after StopMusic or FreeMusic.
void UpdateMusicPosition();
// Real time only. PauseMusic halts rendering and holds the heard position (and so
// MusicPosition); ResumeMusic goes on from the held position, the output's clock
// re-based so nothing jumps. Nothing happens when not playing or not paused.
void PauseMusic();
void ResumeMusic();
bool MusicPaused();
// Rendering held, the song seeks to playerOrder (row 0), the position
// history and the end detection start afresh and MusicPosition becomes 0:0, as
// before a first StartMusic; then it plays on (sound on or off as before).
void RestartMusicAt(int playerOrder);
// Loudness of the sound device's output, 0..100 (default 100), and muting; neither
// changes the position, the silent sink or the virtual clock's WAV.
void SetMusicVolume(int percent);
int MusicVolume();
void SetMusicMuted(bool muted);
bool MusicMuted();
// Song time in seconds at the heard position (0 before StartMusic).
double MusicSeconds();
// Stop, free, close: the calls of the two end paths. Stop/Free return false on
// failure (the shell shows "StopSong" / "FreeSong").
bool StopMusic();
bool FreeMusic();
void MusicClose();
// True while an SDL sound device plays the music (false: silent sink or virtual clock).
bool MusicHasDevice();
// Frames subtracted from the render position, right after a device buffer was
// filled, to get the heard position: two device buffers; 0 for the silent sink
// (it follows the clock) and the virtual clock.
int MusicLatencyFrames();

// Capture mode: a virtual clock instead of the timer thread and the sound device.
// Call UseVirtualClock before StartFrameTimer and LoadMusic. Each
// AdvanceVirtualClock is 20 ms: +1 on each TickCounter and exactly 882 stereo
// frames of music rendered (and appended to the WAV; silence when sound is off or
// the music is not playing), and the position reached at the end of those frames
// published. The WAV (16-bit 44,100 Hz stereo PCM) is a safe write that replaces
// the file of an earlier run when FinishVirtualClock completes it. wavPath may be
// nullptr (no WAV). False, after a one-line message naming the file on stderr,
// when the WAV cannot be created; the clock runs all the same.
bool UseVirtualClock(const char* wavPath);
// Most bytes of sound a WAV holds: its RIFF size (36 + data bytes) is 32-bit.
constexpr uint64_t WavDataLimitBytes = 0xFFFFFFFFull - 36;
// The same with the WAV as `wavName` in `folder`, holding at most dataLimitBytes of
// sound (never more than WavDataLimitBytes).
bool UseVirtualClockIn(const SafeFolder& folder, const std::string& wavName,
                       uint64_t dataLimitBytes = WavDataLimitBytes);
bool VirtualClockActive();
void AdvanceVirtualClock();
// True once a step did not fit under the WAV's limit: from that step on the clock
// still runs but appends nothing, having said so once on stderr. The WAV stays valid.
bool VirtualClockWavFull();
// Completes the WAV header, moves the WAV into place and ends capture mode (the
// next StartFrameTimer or MusicInit is real-time again). False when any write
// failed (after its one-line message; the WAV is then not written at all).
bool FinishVirtualClock();
