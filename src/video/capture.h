// Capture as a presentation backend: chosen frames as indexed PNGs in DIR/frames,
// every frame and its sound to a video through ffmpeg; the checks made before a run,
// the soundtrack for the video, and the writers' state. Main thread only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/safe_write.h"
#include "video/frame_list.h"
#include "video/video.h"

struct CaptureSettings {
    std::string directory;
    FrameList frames;
    std::string videoPath;   // empty: no video
    int videoWidth = 1280;
    int videoHeight = 800;
    bool videoLossless = false;   // --video-lossless
    bool force = false;           // remove the frames of an earlier capture in DIR first
};
// The backend reads settings.capture. open creates and opens DIR and, when frames are
// asked for, DIR/frames (a symlink planted as frames is refused); it refuses a
// DIR/frames holding NNNNNN.png files of an earlier run unless `force`, which
// removes exactly those. present starts the encoder threads and ffmpeg (with a video
// path) at the first frame, queues the chosen frames for the threads, which write
// them as DIR/frames/NNNNNN.png (numbered from 0 in presentation order, written in
// that order, each a safe write), and sends every frame to ffmpeg; pollEvents
// reports a failed write as a quit; close writes every queued frame, ends ffmpeg's
// input, waits for it to finish the file, and closes the folders.
extern const PresentBackend CaptureBackend;
// DIR as the open capture backend holds it, for the run's other files.
const SafeFolder& CaptureFolder();

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
