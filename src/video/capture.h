// Capture mode's output besides the backend in display.h: the checks made before a
// run, the soundtrack for the video, and the frame writers' state. Main thread only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct CaptureSettings;

// Before anything is created: with a video, ffmpeg is installed, the file name ends
// in a container the codecs fit (.mp4, .mkv or .mov; .mkv for lossless), its folder
// exists (or is the capture's DIR, still to be made) and may be written, and the file
// is not a folder and may be replaced. False after one line on stderr naming what is
// wrong.
bool CheckCaptureVideo(const CaptureSettings& settings);

// The sound of the frame just presented (frames stereo 16-bit frames at 44,100 Hz),
// sent to the video beside the pictures. Nothing without a video.
void CaptureSound(const int16_t* samples, size_t frames);

// True once a frame or the video could not be written (after its one-line message);
// the run then stops.
bool CaptureWriteFailed();
