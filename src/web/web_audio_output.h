// The page's Web Audio sound output and what the page's frame step asks of it.
#pragma once

struct SoundOutput;

// A row of audio/sound_output.h: the music through the page's AudioWorklet. open
// fails ("no sound device (...)") when the page has no running audio context.
extern const SoundOutput WebAudioSoundOutput;

// Renders and posts frames until WebAudioLeadSeconds are queued ahead of what the
// worklet has played; nothing unless the output is started. Once per animation
// frame, before the frame is drawn (the page has no audio thread).
void PumpWebAudio();

// Blocks of 128 frames the worklet found short since the page's audio context opened.
int WebAudioUnderruns();
