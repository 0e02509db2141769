// The capture backend: chosen frames as indexed PNGs, every frame to ffmpeg when a
// video is asked for. What capture logs besides the pictures (timeline.csv, the
// soundtrack) belongs to the shell's capture run.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/pixels.h"
#include "core/safe_write.h"
#include "video/display.h"
#include "video/ffmpeg.h"

static CaptureSettings Settings;
static uint32_t FrameNumber = 0;
static bool CaptureFailed = false;
static pid_t EncoderPid = -1;
static FILE* EncoderInput = nullptr;
static std::string SilentVideoPath;
static SafeFolder Folder;         // DIR
static SafeFolder FramesFolder;   // DIR/frames
static std::vector<uint8_t> PngBytes;

void ConfigureCapture(const CaptureSettings& settings) { Settings = settings; }

const SafeFolder& CaptureFolder() { return Folder; }

static bool CaptureOpen()
{
    std::string ffmpeg = Settings.videoPath.empty() ? "" : FindProgram("ffmpeg");
    if (!Settings.videoPath.empty() && ffmpeg.empty()) {
        std::fprintf(stderr, "tivrel: --video needs the ffmpeg program, which is not installed\n");
        return false;
    }
    std::string error;
    if (!SafeFolderOpen(&Folder, Settings.directory, true, &error) ||
        !SafeFolderOpenChild(&FramesFolder, Folder, "frames", true, &error)) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        SafeFolderClose(&Folder);
        return false;
    }
    if (!Settings.videoPath.empty()) {
        signal(SIGPIPE, SIG_IGN);
        SilentVideoPath = Settings.directory + "/video-frames.mkv";
        char size[32], scale[64];
        std::snprintf(size, sizeof size, "%dx%d", ScreenWidth, ScreenHeight);
        std::snprintf(scale, sizeof scale, "scale=%d:%d:flags=neighbor", Settings.videoWidth, Settings.videoHeight);
        EncoderPid = Spawn({ffmpeg,
                            "-nostdin",
                            "-hide_banner",
                            "-loglevel",
                            "error",
                            "-y",
                            "-f",
                            "rawvideo",
                            "-pix_fmt",
                            "bgr0",
                            "-s",
                            size,
                            "-r",
                            "50",
                            "-i",
                            "pipe:0",
                            "-vf",
                            scale,
                            "-c:v",
                            "libx264",
                            "-preset",
                            "veryfast",
                            "-crf",
                            "16",
                            "-pix_fmt",
                            "yuv420p",
                            "-fflags",
                            "+bitexact",
                            "-flags:v",
                            "+bitexact",
                            "-map_metadata",
                            "-1",
                            SilentVideoPath},
                           &EncoderInput);
        if (EncoderPid < 0 || EncoderInput == nullptr) {
            std::fprintf(stderr, "tivrel: cannot start ffmpeg\n");
            SafeFolderClose(&FramesFolder);
            SafeFolderClose(&Folder);
            return false;
        }
    }
    FrameNumber = 0;
    CaptureFailed = false;
    return true;
}

static void CaptureSetPalette(const uint8_t*) {}   // each PNG takes the palette of its frame

static void CapturePresent(const uint8_t* frame, const uint8_t* trueColor)
{
    if (FrameListContains(Settings.frames, FrameNumber)) {
        char name[32];
        std::snprintf(name, sizeof name, "%06u.png", FrameNumber);
        std::string error;
        bool written = EncodeIndexedPng(frame, ScreenWidth, ScreenHeight, DevicePalette, &PngBytes, &error);
        if (!written)
            error = "cannot write " + SafeFilePath(FramesFolder, name) + ": " + error;
        else
            written = SafeWriteFile(FramesFolder, name, PngBytes.data(), PngBytes.size(), true, &error) == SafeWriteOk;
        if (!written && !CaptureFailed) {
            std::fprintf(stderr, "tivrel: %s\n", error.c_str());
            CaptureFailed = true;
        }
    }
    if (EncoderInput != nullptr) {
        if (std::fwrite(trueColor, 1, TrueColorBytes, EncoderInput) != TrueColorBytes) {
            std::fprintf(stderr, "tivrel: ffmpeg stopped taking frames\n");
            std::fclose(EncoderInput);
            EncoderInput = nullptr;
            CaptureFailed = true;
        }
    }
    FrameNumber++;
}

static bool CapturePollEvents() { return false; }

// Ends the video: waits for the encoder, then muxes the frames with the soundtrack,
// which must be complete by now.
static bool CaptureClose()
{
    bool ok = !CaptureFailed;
    if (EncoderPid > 0) {
        if (EncoderInput != nullptr)
            std::fclose(EncoderInput);
        EncoderInput = nullptr;
        bool encoded = WaitFor(EncoderPid);
        EncoderPid = -1;
        if (encoded) {
            pid_t mux = Spawn({FindProgram("ffmpeg"),
                               "-nostdin",
                               "-hide_banner",
                               "-loglevel",
                               "error",
                               "-y",
                               "-i",
                               SilentVideoPath,
                               "-i",
                               Settings.soundtrackPath,
                               "-map",
                               "0:v",
                               "-map",
                               "1:a",
                               "-c:v",
                               "copy",
                               "-c:a",
                               "aac",
                               "-b:a",
                               "192k",
                               "-fflags",
                               "+bitexact",
                               "-flags:a",
                               "+bitexact",
                               "-map_metadata",
                               "-1",
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
    SafeFolderClose(&FramesFolder);
    SafeFolderClose(&Folder);
    return ok;
}

const PresentBackend CaptureBackend = {"capture",      CaptureOpen,       CaptureSetPalette,
                                       CapturePresent, CapturePollEvents, CaptureClose};
