// The capture backend: chosen frames as indexed PNGs, encoded by worker threads and
// written in presentation order; every frame and its sound to ffmpeg when a video
// is asked for. What capture logs besides the pictures (timeline.csv, music.wav)
// belongs to the shell's capture run.
//
// The video is one ffmpeg process in a process group of its own, reading raw frames
// (320x200 B,G,R,unused at 50 a second) on its standard input and the sound (16-bit
// stereo PCM at 44,100 Hz) on descriptor 3, both written as the run goes, and
// writing the video file directly: no intermediate file. Its end is always the same:
// both pipes closed, then a wait until ffmpeg has finished the file.
#include "video/capture.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "core/fail.h"
#include "core/pixels.h"
#include "core/png_write.h"
#include "core/safe_write.h"
#include "video/ffmpeg.h"

namespace {

constexpr int FramesPerSecond = 50;   // one 20 ms step of the virtual clock per frame

CaptureSettings Settings;
uint32_t FrameNumber = 0;
SafeFolder Folder;         // DIR
SafeFolder FramesFolder;   // DIR/frames, open only when frames are written
bool Started = false;      // StartOutputs has run
bool VideoFailed = false;
pid_t EncoderPid = -1;
int VideoPipe = -1;   // ffmpeg's standard input: raw frames

// ---- PNG writers ---------------------------------------------------------------------
//
// A ring of slots: the main thread copies a chosen frame and its palette into the
// next free slot; a worker encodes it; whichever worker finds the oldest slot
// encoded writes it (one writer at a time), so files appear in frame order.

constexpr int SlotCount = 8;
enum SlotState { SlotFree, SlotQueued, SlotEncoded };

struct PngSlot {
    uint32_t frame = 0;
    SlotState state = SlotFree;
    bool encoded = false;       // false: the encoder failed, `error` says why
    bool outOfMemory = false;   // it failed for want of memory
    uint8_t pixels[ScreenBytes];
    uint8_t palette[sizeof DevicePalette];
    std::vector<uint8_t> png;
    std::string error;
};

// Threads working for the main thread: what they share is guarded by `lock`, and
// `changed` wakes whoever waits for a change of it.
struct WorkerThreads {
    std::mutex lock;
    std::condition_variable changed;
    bool stopping = false;   // no more work will come
    bool failed = false;     // a write failed (after its one-line message)
    std::vector<std::thread> threads;
};

bool WorkersFailed(WorkerThreads* workers)
{
    if (workers == nullptr)
        return false;
    std::lock_guard<std::mutex> held(workers->lock);
    return workers->failed;
}

// Says that no more work comes and waits until the threads have done what was
// queued. False when a write failed.
bool StopWorkers(WorkerThreads* workers)
{
    if (workers == nullptr)
        return true;
    {
        std::lock_guard<std::mutex> held(workers->lock);
        workers->stopping = true;
    }
    workers->changed.notify_all();
    for (auto& thread : workers->threads)
        thread.join();
    return !workers->failed;
}

struct PngWriters {
    WorkerThreads work;   // failed: the frames after it are dropped
    PngSlot slots[SlotCount];
    uint64_t submitted = 0;    // slots handed over so far
    uint64_t nextEncode = 0;   // next slot a worker takes
    uint64_t nextWrite = 0;    // next slot to be written
    bool writing = false;      // a worker is writing files
};

PngWriters* Writers = nullptr;

// Writes every encoded slot at the front of the ring; called with the lock held.
void WriteEncodedFront(std::unique_lock<std::mutex>& held)
{
    PngWriters& w = *Writers;
    if (w.writing)
        return;
    w.writing = true;
    while (w.nextWrite < w.nextEncode && w.slots[w.nextWrite % SlotCount].state == SlotEncoded) {
        PngSlot& slot = w.slots[w.nextWrite % SlotCount];
        const bool skip = w.work.failed;
        held.unlock();
        std::string error = slot.error;
        bool written = skip;
        if (!skip && slot.encoded) {
            char name[32];
            std::snprintf(name, sizeof name, "%06u.png", slot.frame);
            written = SafeWriteFile(FramesFolder, name, slot.png.data(), slot.png.size(), false, &error) == SafeWriteOk;
        }
        if (!written && slot.outOfMemory)
            ReportOutOfMemory();   // the memory line, as for every other allocation
        else if (!written)
            ReportWriteFailure(error);
        held.lock();
        if (!written)
            w.work.failed = true;
        slot.state = SlotFree;
        w.nextWrite++;
        w.work.changed.notify_all();
    }
    w.writing = false;
}

void EncoderThread()
{
    PngWriters& w = *Writers;
    std::unique_lock<std::mutex> held(w.work.lock);
    for (;;) {
        w.work.changed.wait(held, [&] { return w.nextEncode < w.submitted || w.work.stopping; });
        if (w.nextEncode == w.submitted)
            return;   // stopping, and nothing left to take
        PngSlot& slot = w.slots[w.nextEncode++ % SlotCount];
        held.unlock();
        std::string error;
        slot.encoded = EncodeIndexedPng(slot.pixels, ScreenWidth, ScreenHeight, slot.palette, &slot.png, &error);
        slot.outOfMemory = !slot.encoded && error == PngOutOfMemory;
        if (!slot.encoded) {
            char name[32];
            std::snprintf(name, sizeof name, "%06u.png", slot.frame);
            slot.error = "cannot write " + SafeFilePath(FramesFolder, name) + ": " + error;
        }
        held.lock();
        slot.state = SlotEncoded;
        WriteEncodedFront(held);
    }
}

void StartWriters()
{
    Writers = new PngWriters;
    const unsigned cores = std::max(2u, std::min(8u, std::thread::hardware_concurrency()));
    for (unsigned i = 0; i < cores; i++)
        Writers->work.threads.push_back(StartThreadOrExit(EncoderThread));
}

// Hands the frame to the writers, waiting for a free slot.
void QueueFrame(uint32_t frame, const uint8_t* pixels)
{
    PngWriters& w = *Writers;
    std::unique_lock<std::mutex> held(w.work.lock);
    w.work.changed.wait(held, [&] { return w.submitted - w.nextWrite < SlotCount; });
    PngSlot& slot = w.slots[w.submitted % SlotCount];
    slot.frame = frame;
    slot.state = SlotQueued;
    slot.error.clear();
    std::memcpy(slot.pixels, pixels, ScreenBytes);
    std::memcpy(slot.palette, DevicePalette, sizeof DevicePalette);
    w.submitted++;
    w.work.changed.notify_all();
}

// Lets the writers finish every queued frame, then ends them. False when a frame
// could not be written.
bool StopWriters()
{
    const bool ok = StopWorkers(Writers != nullptr ? &Writers->work : nullptr);
    delete Writers;
    Writers = nullptr;
    return ok;
}

// ---- Frames folder ---------------------------------------------------------------------

// "NNNNNN.png": six digits and the extension, the names this backend writes.
bool IsFrameName(const char* name)
{
    for (int i = 0; i < 6; i++)
        if (name[i] < '0' || name[i] > '9')
            return false;
    return std::strcmp(name + 6, ".png") == 0;
}

// The frame files in DIR/frames (none when there is no such folder); false with a
// reason when the folder cannot be read.
bool FindOldFrames(const SafeFolder& frames, std::vector<std::string>* names, std::string* error)
{
    names->clear();
    int fd = openat(frames.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (dir == nullptr) {
        if (fd >= 0)
            close(fd);
        *error = "cannot read " + frames.path + ": " + std::strerror(errno);
        return false;
    }
    while (dirent* entry = readdir(dir))
        if (IsFrameName(entry->d_name))
            names->push_back(entry->d_name);
    closedir(dir);
    std::sort(names->begin(), names->end());
    return true;
}

// Opens DIR/frames when it exists or frames are to be written; refuses older frames
// there without --force and removes exactly those with it.
bool PrepareFramesFolder(bool writeFrames)
{
    std::string error;
    struct stat st;
    const bool exists = fstatat(Folder.fd, "frames", &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && !writeFrames)
        return true;
    if (!SafeFolderOpenChild(&FramesFolder, Folder, "frames", writeFrames, &error)) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        return false;
    }
    std::vector<std::string> old;
    if (!FindOldFrames(FramesFolder, &old, &error)) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        return false;
    }
    if (!old.empty() && !Settings.force) {
        std::fprintf(stderr,
                     "tivrel: %s holds %zu frames of an earlier capture (%s to %s); --force removes them first\n",
                     FramesFolder.path.c_str(), old.size(), old.front().c_str(), old.back().c_str());
        return false;
    }
    for (const std::string& name : old)
        if (unlinkat(FramesFolder.fd, name.c_str(), 0) != 0 && errno != ENOENT) {
            std::fprintf(stderr, "tivrel: cannot remove %s: %s\n", SafeFilePath(FramesFolder, name).c_str(),
                         std::strerror(errno));
            return false;
        }
    if (!writeFrames)
        SafeFolderClose(&FramesFolder);
    return true;
}

bool WantsFrames(const FrameList& list) { return list.all || !list.ranges.empty(); }

// ---- Video ---------------------------------------------------------------------------------

// The sound goes to ffmpeg from a thread of its own through a queue without a
// bound (3,528 bytes a frame), so the main thread never waits on the sound pipe:
// ffmpeg may read either input ahead of the other without both sides waiting.
struct SoundWriter {
    WorkerThreads work;
    std::vector<uint8_t> pending;
};

SoundWriter* Sound = nullptr;

void SoundThread(int fd)
{
    std::vector<uint8_t> chunk;
    std::unique_lock<std::mutex> held(Sound->work.lock);
    for (;;) {
        Sound->work.changed.wait(held, [] { return !Sound->pending.empty() || Sound->work.stopping; });
        if (Sound->pending.empty())
            break;
        chunk.swap(Sound->pending);
        Sound->pending.clear();
        held.unlock();
        const bool written = WriteToPipe(fd, chunk.data(), chunk.size());
        held.lock();
        if (!written) {
            Sound->work.failed = true;
            break;
        }
    }
    held.unlock();
    close(fd);
}

void StartSound(int fd)
{
    Sound = new SoundWriter;
    Sound->work.threads.push_back(StartThreadOrExit(SoundThread, fd));
}

// Lets the thread send what is queued, then closes the pipe. False when the sound
// could not all be sent.
bool StopSound()
{
    const bool ok = StopWorkers(Sound != nullptr ? &Sound->work : nullptr);
    delete Sound;
    Sound = nullptr;
    return ok;
}

bool EndsWith(const std::string& text, const char* tail)
{
    const size_t n = std::strlen(tail);
    if (text.size() < n)
        return false;
    for (size_t i = 0; i < n; i++)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != tail[i])
            return false;
    return true;
}

// ffmpeg's command line: raw frames on standard input, raw sound on descriptor 3
// (each read with the least probing, so that ffmpeg starts at once), the frames
// scaled by nearest neighbour, no metadata that changes from run to run. Codecs:
// H.264 (libx264, preset veryfast, tune animation, CRF 26, yuv420p) and AAC at
// 192 kbit/s; lossless: H.264 (libx264rgb, preset veryfast, QP 0, RGB) and FLAC,
// in Matroska.
std::vector<std::string> FfmpegArguments(const std::string& ffmpeg)
{
    char size[32], scale[96], rate[16];
    std::snprintf(size, sizeof size, "%dx%d", ScreenWidth, ScreenHeight);
    std::snprintf(scale, sizeof scale, "scale=%d:%d:flags=neighbor", Settings.videoWidth, Settings.videoHeight);
    std::snprintf(rate, sizeof rate, "%d", FramesPerSecond);
    std::vector<std::string> args = {ffmpeg, "-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
    auto add = [&](std::initializer_list<const char*> more) { args.insert(args.end(), more.begin(), more.end()); };
    add({"-probesize", "32", "-thread_queue_size", "64", "-f", "rawvideo", "-pix_fmt", "bgr0", "-s", size, "-r", rate,
         "-i", "pipe:0"});
    add({"-probesize", "32", "-thread_queue_size", "64", "-f", "s16le", "-ar", "44100", "-ac", "2", "-i", "pipe:3"});
    add({"-map", "0:v", "-map", "1:a", "-vf", scale});
    if (Settings.videoLossless)
        add({"-c:v", "libx264rgb", "-preset", "veryfast", "-qp", "0", "-pix_fmt", "bgr0", "-c:a", "flac"});
    else
        add({"-c:v", "libx264", "-preset", "veryfast", "-tune", "animation", "-crf", "26", "-pix_fmt", "yuv420p",
             "-c:a", "aac", "-b:a", "192k"});
    add({"-fflags", "+bitexact", "-flags:v", "+bitexact", "-flags:a", "+bitexact", "-map_metadata", "-1"});
    args.push_back(Settings.videoPath);
    return args;
}

void VideoWriteFailed()
{
    if (!VideoFailed)
        ReportWriteFailure("ffmpeg stopped taking the video's input for " + Settings.videoPath);
    VideoFailed = true;
}

// Ends ffmpeg's input and waits until it has finished the file.
bool FinishVideo()
{
    if (EncoderPid <= 0)
        return true;
    if (VideoPipe >= 0)
        close(VideoPipe);
    VideoPipe = -1;
    if (!StopSound())
        VideoWriteFailed();
    const bool finished = WaitFor(EncoderPid);
    EncoderPid = -1;
    if (!finished)
        std::fprintf(stderr, "tivrel: ffmpeg could not finish %s\n", Settings.videoPath.c_str());
    return finished;
}

// ---- The backend ------------------------------------------------------------------------

bool CaptureOpen(const PresentSettings& settings)
{
    if (settings.capture == nullptr) {
        std::fprintf(stderr, "tivrel: the capture was opened without its settings\n");
        return false;
    }
    Settings = *settings.capture;
    std::string error;
    if (!SafeFolderOpen(&Folder, Settings.directory, true, &error)) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        return false;
    }
    if (faccessat(Folder.fd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        std::fprintf(stderr, "tivrel: cannot write into %s: %s\n", Folder.path.c_str(), std::strerror(errno));
        SafeFolderClose(&Folder);
        return false;
    }
    if (!PrepareFramesFolder(WantsFrames(Settings.frames))) {
        SafeFolderClose(&FramesFolder);
        SafeFolderClose(&Folder);
        return false;
    }
    FrameNumber = 0;
    VideoFailed = false;
    Started = false;
    return true;
}

// At the first frame, so that nothing runs and no video file is begun when the
// demo's start-up fails: the PNG writers and ffmpeg.
void StartOutputs()
{
    Started = true;
    if (FramesFolder.fd >= 0)
        StartWriters();
    if (Settings.videoPath.empty())
        return;
    signal(SIGPIPE, SIG_IGN);   // a stopped ffmpeg is a failed write, not the end of the run
    int pipes[2];
    EncoderPid = SpawnWithPipes(FfmpegArguments(FindProgram("ffmpeg")), 2, pipes);
    if (EncoderPid < 0) {
        std::fprintf(stderr, "tivrel: cannot start ffmpeg: %s\n", std::strerror(errno));
        VideoFailed = true;
        return;
    }
    VideoPipe = pipes[0];
    fcntl(VideoPipe, F_SETPIPE_SZ, 1 << 20);   // four frames; the default holds a quarter of one
    StartSound(pipes[1]);
}

void CaptureSetPalette(const uint8_t*) {}   // each PNG takes the palette of its frame

void CapturePresent(const uint8_t* frame, const uint8_t* trueColor)
{
    if (!Started)
        StartOutputs();
    if (Writers != nullptr && FrameListContains(Settings.frames, FrameNumber))
        QueueFrame(FrameNumber, frame);
    if (VideoPipe >= 0 && !VideoFailed && !WriteToPipe(VideoPipe, trueColor, TrueColorBytes))
        VideoWriteFailed();
    FrameNumber++;
}

bool CapturePollEvents() { return CaptureWriteFailed(); }

bool CaptureClose()
{
    bool ok = StopWriters();
    if (!FinishVideo() || VideoFailed)
        ok = false;
    SafeFolderClose(&FramesFolder);
    SafeFolderClose(&Folder);
    return ok;
}

}   // namespace

const SafeFolder& CaptureFolder() { return Folder; }

bool CaptureWriteFailed()
{
    if (WorkersFailed(Sound != nullptr ? &Sound->work : nullptr))
        VideoWriteFailed();
    return VideoFailed || WorkersFailed(Writers != nullptr ? &Writers->work : nullptr);
}

void CaptureSound(const int16_t* samples, size_t frames)
{
    if (Sound == nullptr || VideoFailed)
        return;
    const auto* bytes = reinterpret_cast<const uint8_t*>(samples);   // little-endian, as ffmpeg reads it
    {
        std::lock_guard<std::mutex> held(Sound->work.lock);
        Sound->pending.insert(Sound->pending.end(), bytes, bytes + frames * 4);
    }
    Sound->work.changed.notify_all();
}

bool CheckCaptureVideo(const CaptureSettings& settings)
{
    const std::string& path = settings.videoPath;
    if (path.empty())
        return true;
    if (FindProgram("ffmpeg").empty()) {
        std::fprintf(stderr, "tivrel: --video needs the ffmpeg program, which is not installed (apt-get install "
                             "ffmpeg)\n");
        return false;
    }
    const bool container = settings.videoLossless
                               ? EndsWith(path, ".mkv")
                               : EndsWith(path, ".mp4") || EndsWith(path, ".mkv") || EndsWith(path, ".mov");
    if (!container) {
        std::fprintf(stderr, "tivrel: cannot write %s: %s\n", path.c_str(),
                     settings.videoLossless ? "a lossless video is a Matroska file, name it .mkv"
                                            : "the video's name must end in .mp4, .mkv or .mov");
        return false;
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string directory = settings.directory;
    while (directory.size() > 1 && directory.back() == '/')
        directory.pop_back();
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 && folder == directory)
        return true;   // the video goes into DIR, which the run makes (or says why it cannot)
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "tivrel: cannot write %s: its folder %s does not exist\n", path.c_str(), folder.c_str());
        return false;
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        std::fprintf(stderr, "tivrel: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    if (stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            std::fprintf(stderr, "tivrel: cannot write %s: it exists and is not a regular file\n", path.c_str());
            return false;
        }
        if (access(path.c_str(), W_OK) != 0) {
            std::fprintf(stderr, "tivrel: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
            return false;
        }
    }
    return true;
}

// Only the video reads the true-colour frame; PNGs take the indexed frame.
static bool CaptureReadsTrueColor() { return !Settings.videoPath.empty() && !VideoFailed; }

const PresentBackend CaptureBackend = {"capture",         CaptureOpen,  CaptureSetPalette,    CapturePresent,
                                       CapturePollEvents, CaptureClose, CaptureReadsTrueColor};
