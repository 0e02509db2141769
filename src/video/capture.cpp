// Capture mode: every presented frame is logged to timeline.csv, chosen frames are
// written as indexed PNGs, and optionally the whole run is encoded by ffmpeg. Time is
// the audio side's virtual clock, advanced by 20 ms per frame, so runs are repeatable.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "audio/audio.h"
#include "video/display.h"

static int NotedScene = 0;

void NoteScene(int scene)
{
    NotedScene = scene;
}

// ---- capture state -------------------------------------------------------------------

static bool Capturing = false;
static CaptureSettings Settings;
static FILE* TimelineFile = nullptr;
static uint32_t FrameNumber = 0;
static MusicPositionState PositionSeen{0, 0};   // MusicPosition before this frame's update
static uint32_t TicksSeen[3];                    // counters right after the last advance
static bool TicksKnown = false;
static bool CaptureFailed = false;
static pid_t EncoderPid = -1;
static FILE* EncoderInput = nullptr;
static std::string SilentVideoPath;

static std::string FindProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

// Runs argv[0] with argv; with `input` non-null its stdin is a pipe returned there.
static pid_t Spawn(const std::vector<std::string>& args, FILE** input)
{
    int fds[2] = {-1, -1};
    if (input != nullptr && pipe(fds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        if (input != nullptr) {
            dup2(fds[0], 0);
            close(fds[0]);
            close(fds[1]);
        }
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (input != nullptr) {
        close(fds[0]);
        if (pid < 0) {
            close(fds[1]);
            return -1;
        }
        *input = fdopen(fds[1], "wb");
    }
    return pid;
}

static bool WaitFor(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool StartCapture(const CaptureSettings& settings)
{
    Settings = settings;
    std::string ffmpeg = settings.videoPath.empty() ? "" : FindProgram("ffmpeg");
    if (!settings.videoPath.empty() && ffmpeg.empty()) {
        std::fprintf(stderr, "tivrel: --video needs the ffmpeg program, which is not installed\n");
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(settings.directory + "/frames", ec);
    if (ec) {
        std::fprintf(stderr, "tivrel: cannot create %s/frames: %s\n", settings.directory.c_str(),
                     ec.message().c_str());
        return false;
    }
    std::string timelinePath = settings.directory + "/timeline.csv";
    TimelineFile = std::fopen(timelinePath.c_str(), "wb");
    if (TimelineFile == nullptr) {
        std::fprintf(stderr, "tivrel: cannot write %s: %s\n", timelinePath.c_str(), std::strerror(errno));
        return false;
    }
    std::fputs("frame,scene,order,row,tick0,tick1,tick2\n", TimelineFile);

    std::string wavPath = settings.directory + "/music.wav";
    if (!UseVirtualClock(wavPath.c_str())) {
        std::fprintf(stderr, "tivrel: cannot write %s\n", wavPath.c_str());
        return false;
    }
    if (!settings.videoPath.empty()) {
        signal(SIGPIPE, SIG_IGN);
        SilentVideoPath = settings.directory + "/video-frames.mkv";
        char size[32], scale[64];
        std::snprintf(size, sizeof size, "%dx%d", ScreenWidth, ScreenHeight);
        std::snprintf(scale, sizeof scale, "scale=%d:%d:flags=neighbor", settings.videoWidth,
                      settings.videoHeight);
        EncoderPid = Spawn({ffmpeg, "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                            "-f", "rawvideo", "-pix_fmt", "bgr0", "-s", size, "-r", "50", "-i", "pipe:0",
                            "-vf", scale, "-c:v", "libx264", "-preset", "veryfast", "-crf", "16",
                            "-pix_fmt", "yuv420p", "-fflags", "+bitexact", "-flags:v", "+bitexact",
                            "-map_metadata", "-1", SilentVideoPath},
                           &EncoderInput);
        if (EncoderPid < 0 || EncoderInput == nullptr) {
            std::fprintf(stderr, "tivrel: cannot start ffmpeg\n");
            return false;
        }
    }
    FrameNumber = 0;
    PositionSeen = {0, 0};
    TicksKnown = false;
    CaptureFailed = false;
    Capturing = true;
    return true;
}

bool CaptureActive()
{
    return Capturing;
}

void CaptureFrame()
{
    if (!TicksKnown) {
        for (int i = 0; i < 3; i++)
            TicksSeen[i] = TickCounters[i].load();
        TicksKnown = true;
    }
    std::fprintf(TimelineFile, "%u,%d,%u,%u,%u,%u,%u\n", FrameNumber, NotedScene, PositionSeen.order,
                 PositionSeen.row, TicksSeen[0], TicksSeen[1], TicksSeen[2]);

    if (FrameBuffer != nullptr && FrameListContains(Settings.frames, FrameNumber)) {
        char name[32];
        std::snprintf(name, sizeof name, "/frames/%06u.png", FrameNumber);
        std::string error;
        if (!WriteIndexedPng((Settings.directory + name).c_str(), FrameBuffer, ScreenWidth,
                             ScreenHeight, DevicePalette, &error) && !CaptureFailed) {
            std::fprintf(stderr, "tivrel: %s\n", error.c_str());
            CaptureFailed = true;
        }
    }
    if (EncoderInput != nullptr && TrueColorFrame != nullptr) {
        if (std::fwrite(TrueColorFrame, 1, TrueColorBytes, EncoderInput) != TrueColorBytes) {
            std::fprintf(stderr, "tivrel: ffmpeg stopped taking frames\n");
            std::fclose(EncoderInput);
            EncoderInput = nullptr;
            CaptureFailed = true;
        }
    }

    PositionSeen = MusicPosition;
    AdvanceVirtualClock();
    for (int i = 0; i < 3; i++)
        TicksSeen[i] = TickCounters[i].load();
    FrameNumber++;
}

bool FinishCapture()
{
    if (!Capturing)
        return true;
    Capturing = false;
    bool ok = !CaptureFailed;
    if (!FinishVirtualClock()) {
        std::fprintf(stderr, "tivrel: cannot complete %s/music.wav\n", Settings.directory.c_str());
        ok = false;
    }
    if (std::fclose(TimelineFile) != 0) {
        std::fprintf(stderr, "tivrel: cannot complete timeline.csv\n");
        ok = false;
    }
    TimelineFile = nullptr;
    if (EncoderPid > 0) {
        if (EncoderInput != nullptr)
            std::fclose(EncoderInput);
        EncoderInput = nullptr;
        bool encoded = WaitFor(EncoderPid);
        EncoderPid = -1;
        if (encoded) {
            pid_t mux = Spawn({FindProgram("ffmpeg"), "-nostdin", "-hide_banner", "-loglevel", "error",
                               "-y", "-i", SilentVideoPath, "-i", Settings.directory + "/music.wav",
                               "-map", "0:v", "-map", "1:a", "-c:v", "copy", "-c:a", "aac", "-b:a", "192k",
                               "-fflags", "+bitexact", "-flags:a", "+bitexact", "-map_metadata", "-1",
                               Settings.videoPath},
                              nullptr);
            encoded = mux > 0 && WaitFor(mux);
        }
        std::remove(SilentVideoPath.c_str());
        if (!encoded) {
            std::fprintf(stderr, "tivrel: ffmpeg could not write %s\n", Settings.videoPath.c_str());
            ok = false;
        }
    }
    return ok;
}
