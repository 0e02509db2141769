// The shell's two ways through the demo besides the dialog: the quit sequence of a
// user's early end, and the capture run.
#pragma once

struct ShellOptions;

// Stops and frees the music ("StopSong"/"FreeSong" boxes on failure), closes sound,
// closes the presentation backend (the display comes back to the desktop's mode
// and the cursor shows again), stops the timer and ends the process with status 0.
[[noreturn]] void QuitSequence();

// Capture mode: the virtual clock (DIR/music.wav), DIR/timeline.csv, the capture
// backend (frames, video), the demo, then everything completed. The exit status:
// 0, or 1 when something could not be started or written.
int RunCapture(const ShellOptions& options);
