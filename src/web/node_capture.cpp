// The capture backend of the node player (video/capture.h): the same files as the native backend (DIR,
// DIR/frames/NNNNNN.png through the safe-write helper, an earlier run's frames refused without --force and removed with
// it), encoded and written on the main thread in presentation order, since the WebAssembly build has no threads. No
// video: --video is refused before anything is created.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/pixels.h"
#include "core/png_write.h"
#include "core/safe_write.h"
#include "video/capture.h"

namespace {

CaptureSettings Settings;
SafeFolder Folder;         // DIR
SafeFolder FramesFolder;   // DIR/frames, open only when frames are written
bool WritesFrames = false;
bool WriteFailed = false;
uint32_t FrameNumber = 0;

bool IsFrameName(const char* name)
{
    for (int i = 0; i < 6; i++)
        if (name[i] < '0' || name[i] > '9')
            return false;
    return std::strcmp(name + 6, ".png") == 0;
}

// Opens DIR/frames when it exists or frames are to be written; refuses older frames
// there without --force and removes exactly those with it.
bool PrepareFramesFolder(bool writeFrames)
{
    std::string error;
    const std::string path = SafeFilePath(Folder, "frames");
    if (!SafeNameTaken(Folder, "frames") && !writeFrames)
        return true;
    if (!SafeFolderOpenChild(&FramesFolder, Folder, "frames", writeFrames, &error)) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        return false;
    }
    std::vector<std::string> old;
    DIR* dir = opendir(FramesFolder.path.c_str());
    if (dir == nullptr) {
        std::fprintf(stderr, "tivrel: cannot read %s: %s\n", FramesFolder.path.c_str(), std::strerror(errno));
        return false;
    }
    while (dirent* entry = readdir(dir))
        if (IsFrameName(entry->d_name))
            old.push_back(entry->d_name);
    closedir(dir);
    std::sort(old.begin(), old.end());
    if (!old.empty() && !Settings.force) {
        std::fprintf(stderr,
                     "tivrel: %s holds %zu frames of an earlier capture (%s to %s); --force removes them first\n",
                     FramesFolder.path.c_str(), old.size(), old.front().c_str(), old.back().c_str());
        return false;
    }
    for (const std::string& name : old)
        if (unlink(SafeFilePath(FramesFolder, name).c_str()) != 0 && errno != ENOENT) {
            std::fprintf(stderr, "tivrel: cannot remove %s: %s\n", SafeFilePath(FramesFolder, name).c_str(),
                         std::strerror(errno));
            return false;
        }
    if (!writeFrames)
        SafeFolderClose(&FramesFolder);
    return true;
}

bool NodeCaptureOpen(const PresentSettings& present)
{
    Settings = present.capture != nullptr ? *present.capture : CaptureSettings{};
    std::string error;
    if (!SafeFolderOpen(&Folder, Settings.directory, true, &error)) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        return false;
    }
    if (access(Folder.path.c_str(), W_OK | X_OK) != 0) {
        std::fprintf(stderr, "tivrel: cannot write into %s: %s\n", Folder.path.c_str(), std::strerror(errno));
        SafeFolderClose(&Folder);
        return false;
    }
    WritesFrames = Settings.frames.all || !Settings.frames.ranges.empty();
    if (!PrepareFramesFolder(WritesFrames)) {
        SafeFolderClose(&FramesFolder);
        SafeFolderClose(&Folder);
        return false;
    }
    FrameNumber = 0;
    WriteFailed = false;
    return true;
}

void NodeCaptureSetPalette(const uint8_t*) {}   // each PNG takes the palette of its frame

void NodeCapturePresent(const uint8_t* frame, const uint8_t*)
{
    if (WritesFrames && !WriteFailed && FrameListContains(Settings.frames, FrameNumber)) {
        char name[32];
        std::snprintf(name, sizeof name, "%06u.png", FrameNumber);
        std::vector<uint8_t> png;
        std::string error;
        bool written = EncodeIndexedPng(frame, ScreenWidth, ScreenHeight, DevicePalette, &png, &error);
        if (!written)
            error = "cannot write " + SafeFilePath(FramesFolder, name) + ": " + error;
        else
            written = SafeWriteFile(FramesFolder, name, png.data(), png.size(), false, &error) == SafeWriteOk;
        if (!written) {
            std::fprintf(stderr, "tivrel: %s\n", error.c_str());
            WriteFailed = true;
        }
    }
    FrameNumber++;
}

bool NodeCapturePollEvents() { return WriteFailed; }

bool NodeCaptureClose()
{
    SafeFolderClose(&FramesFolder);
    SafeFolderClose(&Folder);
    return !WriteFailed;
}

bool NodeCaptureReadsTrueColor() { return false; }

}   // namespace

const SafeFolder& CaptureFolder() { return Folder; }

bool CaptureWriteFailed() { return WriteFailed; }

void CaptureSound(const int16_t*, size_t) {}

bool CheckCaptureVideo(const CaptureSettings& settings)
{
    if (settings.videoPath.empty())
        return true;
    std::fprintf(stderr, "tivrel: cannot write %s: the WebAssembly player writes no video (use the native tivrel)\n",
                 settings.videoPath.c_str());
    return false;
}

const PresentBackend CaptureBackend = {
    "capture",        NodeCaptureOpen,          NodeCaptureSetPalette, NodeCapturePresent, NodeCapturePollEvents,
    NodeCaptureClose, NodeCaptureReadsTrueColor};
