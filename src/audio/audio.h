// The music player and the music position: the module, played through the sound
// output in use (sound_output.h), and the position heard, which drives the scenes.
// The 50 Hz tick is the clock folder's (clock/tick_source.h).
//
// Call order, real time: MusicInit; LoadMusic; StartMusic; every frame
// UpdateMusicPosition; then StopMusic (quit only), FreeMusic, MusicClose. Capture
// mode: UseVirtualClock first, the same calls, AdvanceVirtualClock once per presented
// frame, FinishVirtualClock at the end. All of these are main-thread calls.
#pragma once
#include <cstdint>
#include <string>

#include "core/safe_write.h"
#include "core/shared.h"

// The order byte reported for a 0-based player order: (playerOrder + 1) mod 256.
uint8_t MusicOrderByte(int32_t playerOrder);

struct SoundOutput;

constexpr int MusicSampleRate = 44100;

// Opens `output` (a row of sound_output.h, e.g. &SdlSoundOutput) for the music. When
// it cannot be opened, one line on stderr says so and the module plays into the
// silent real-time sink, so the position still advances; nullptr (no sound wanted)
// takes the sink without a word. The sound libraries' own lines are kept off stderr.
void MusicInit(const SoundOutput* output);
// The same while the song may be playing: it goes on through `output` from the
// frame heard last, without a gap in the position.
void MusicUseOutput(const SoundOutput* output);
// Loads a module (S3M, IT, XM, MOD, ...) from memory; the bytes are copied, trailing
// bytes after the module are ignored. False when the player cannot load it or it has
// no orders.
bool LoadMusic(const uint8_t* data, uint32_t length);
// Starts playback from order 0 (or the order set by SetMusicStartOrder) through the
// output opened last (the silent sink when none was); stereo separation as set by
// SetMusicStereoSeparation (0, mono, unless a data file asks otherwise); muted but
// still advancing when soundOn is false.
void StartMusic(bool soundOn);
// Stereo separation in percent (0..200, clamped) for the next StartMusic and
// RestartMusicAt; 0, the design's mono, until set.
void SetMusicStereoSeparation(int percent);
// Player order (0-based) at which StartMusic begins; for starting at a later scene.
// An order past the song's end starts a song that has already ended.
void SetMusicStartOrder(int playerOrder);
// Sets MusicPosition to the position being heard now (the render position minus the
// output's buffered latency; exactly the render position with the virtual clock).
// Leaves it unchanged before StartMusic and after StopMusic or FreeMusic. First it
// asks the output whether it was lost (sound_output.h: the song then goes on in the
// silent sink from the frame heard last, one line on stderr) and, after a loss,
// whether it is back (the song moves back to it, one line); pause, volume and
// restarts work the same on either.
void UpdateMusicPosition();
// PauseMusic halts the output and holds the heard position (and so MusicPosition);
// ResumeMusic goes on from the held position, the output's clock re-based so nothing
// jumps. Nothing happens when not playing or not paused.
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
// Stop, free, close: the calls of the two end paths. Stop/Free return false when no
// module is loaded (the shell shows "StopSong" / "FreeSong"). MusicClose closes the
// output; the next StartMusic without a MusicInit plays into the silent sink.
bool StopMusic();
bool FreeMusic();
void MusicClose();
// Frames between rendered and heard right after the output pulled: two device
// buffers for the SDL device; 0 for the silent sink (it follows the clock) and the
// virtual clock.
int MusicLatencyFrames();

// Capture mode: a virtual clock instead of the tick source and the sound output in
// use (it makes SteppedTickSource and VirtualSoundOutput current). Each
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
// True once a write of the WAV failed (a full disk, a file-size limit; the line is
// core/fail.h's ReportWriteFailure): the clock runs on, appending nothing.
bool VirtualClockWavFailed();
// Completes the WAV header, moves the WAV into place and ends capture mode: the
// tick source in use before comes back, the virtual output is closed. False when any
// write failed (after its one-line message); the WAV then holds the steps written
// before the failure, with a header that says so.
bool FinishVirtualClock();
