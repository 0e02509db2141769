#include "shell/content_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "archive/archive.h"
#include "archive/entries.h"
#include "archive/plan_entry.h"
#include "demo/startup.h"
#include "video/video.h"

namespace {

namespace fs = std::filesystem;
using Clock = ContentWatch::Clock;

constexpr uint32_t WatchMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE;

double SecondsSince(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

bool IsSourceName(const std::string& name)
{
    if (name.empty() || name[0] == '.' || name.back() == '~' || name[0] == '#')
        return false;
    for (const char* suffix : {".swp", ".swx", ".tmp"})
        if (name.size() > std::strlen(suffix) &&
            name.compare(name.size() - std::strlen(suffix), std::string::npos, suffix) == 0)
            return false;
    return true;
}

void AddWatch(ContentWatch* watch, const std::string& folder)
{
    const int wd = inotify_add_watch(watch->inotify, folder.c_str(), WatchMask);
    if (wd >= 0)
        watch->watches.emplace_back(wd, folder);
}

// The folder and every folder below it that is not hidden.
void AddWatches(ContentWatch* watch, const std::string& folder)
{
    AddWatch(watch, folder);
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!it->is_directory(ec))
            continue;
        if (!IsSourceName(name)) {
            it.disable_recursion_pending();
            continue;
        }
        AddWatch(watch, it->path().string());
    }
}

std::string FolderOf(const ContentWatch& watch, int wd)
{
    for (const auto& [descriptor, folder] : watch.watches)
        if (descriptor == wd)
            return folder;
    return "";
}

// Reads every waiting event; true when one concerns a source.
bool TakeEvents(ContentWatch* watch)
{
    bool changed = false;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t got = read(watch->inotify, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const std::string name = event->len > 0 ? event->name : "";
            if (!IsSourceName(name))
                continue;
            if ((event->mask & IN_ISDIR) != 0 && (event->mask & (IN_CREATE | IN_MOVED_TO)) != 0)
                AddWatches(watch, FolderOf(*watch, event->wd) + "/" + name);
            if ((event->mask & IN_CREATE) != 0 && (event->mask & IN_ISDIR) == 0)
                continue;   // a new file counts once it is closed after writing
            changed = true;
        }
    }
    return changed;
}

// The packed streams of two open archives' entries, by name: the names whose bytes
// differ or that only one has.
std::vector<std::string> ChangedEntries(Archive* before, Archive* after)
{
    auto packed = [](Archive* archive, int32_t entry) {
        std::vector<uint8_t> bytes(ArchiveEntry(archive, entry)->packedSize);
        if (!ArchiveReadPacked(archive, entry, bytes.data(), bytes.size()))
            bytes.clear();
        return bytes;
    };
    std::set<std::string> names;
    for (Archive* archive : {before, after})
        for (uint32_t i = 0; i < ArchiveEntryCount(archive); i++) {
            const OverlayEntry* e = ArchiveEntry(archive, int32_t(i));
            names.insert(std::string(e->name, strnlen(e->name, OverlayNameBytes)));
        }
    std::vector<std::string> changed;
    for (const std::string& name : names) {
        const int32_t a = ArchiveFind(before, name.c_str()), b = ArchiveFind(after, name.c_str());
        if (a < 0 || b < 0 || packed(before, a) != packed(after, b))
            changed.push_back(name);
    }
    return changed;
}

// The scene to restart after a switch from the data at `before` to `after`.
int SceneToRestart(const std::string& before, const std::string& after, int sceneShown)
{
    Archive a, b;
    if (!ArchiveOpenFile(&a, before.c_str()) || !ArchiveOpenFile(&b, after.c_str()))
        return sceneShown;
    std::set<int> scenes;
    for (const std::string& name : ChangedEntries(&a, &b)) {
        const DataEntry* row = FindDataEntry(name.c_str());
        if (row == nullptr)   // the plan or an entry the demo does not read
            return sceneShown;
        for (int scene : ScenesOfList(row->scenes))
            scenes.insert(scene);
    }
    if (scenes.size() == 1 && *scenes.begin() != sceneShown)
        return *scenes.begin();
    return sceneShown;
}

void CloseFd(int* fd)
{
    if (*fd >= 0)
        close(*fd);
    *fd = -1;
}

void StartBuild(ContentWatch* watch)
{
    std::string error;
    watch->pending = false;
    watch->changedDuringBuild = false;
    watch->buildStarted = Clock::now();
    if (!StartFolderBuild(watch->folder, true, &watch->build, &error)) {
        watch->message = error;
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        SetMessageLine(error.c_str());
    }
}

// A finished build: the switch, or its failure's line.
int TakeBuild(ContentWatch* watch, int dataFd, bool succeeded, const std::string& error, int sceneShown)
{
    watch->buildSeconds = SecondsSince(watch->buildStarted);
    if (!succeeded) {
        watch->failures++;
        watch->message = error;
        std::fprintf(stderr, "tivrel: %s (the data as it was plays on)\n", error.c_str());
        SetMessageLine(error.c_str());
        return 0;
    }
    const int next = 1 - watch->current;
    CloseFd(&watch->fds[next]);
    watch->fds[next] = dataFd;
    watch->paths[next] = DescriptorPath(dataFd);
    std::string why;
    const int scene = SceneToRestart(watch->paths[watch->current], watch->paths[next], sceneShown);
    if (!SwitchDemoData(watch->paths[next].c_str(), &why)) {
        watch->failures++;
        watch->message = why;
        std::fprintf(stderr, "tivrel: %s (the data as it was plays on)\n", why.c_str());
        SetMessageLine(why.c_str());
        CloseFd(&watch->fds[next]);
        return 0;
    }
    CloseFd(&watch->fds[watch->current]);   // the reader has the new file open
    watch->current = next;
    watch->message.clear();
    SetMessageLine("");
    watch->replays++;
    watch->replayShown = false;
    watch->replayScene = scene;
    return scene;
}

bool ForwardFrameEnd(int scene, void* context)
{
    auto* watch = static_cast<ContentWatch*>(context);
    if (!watch->replayShown) {
        watch->replayShown = true;
        watch->saveToFrameSeconds = SecondsSince(watch->firstEvent);
        std::fprintf(stderr,
                     "tivrel: %s rebuilt in %.2f s; scene %d restarted with the new data %.2f s after the save\n",
                     watch->folder.c_str(), watch->buildSeconds, watch->replayScene, watch->saveToFrameSeconds);
    }
    return watch->inner.frameEnd != nullptr && watch->inner.frameEnd(scene, watch->inner.context);
}

int WatchReplay(int scene, void* context) { return PollContentWatch(static_cast<ContentWatch*>(context), scene); }

}   // namespace

std::vector<int> ScenesOfList(const char* list)
{
    std::vector<int> scenes;
    int first = 0, value = 0;
    bool range = false, have = false;
    auto flush = [&] {
        if (have)
            for (int s = range ? first : value; s <= value; s++)
                scenes.push_back(s);
        have = range = false;
        value = 0;
    };
    for (const char* c = list; c != nullptr && *c != '\0'; c++) {
        if (*c >= '0' && *c <= '9') {
            value = value * 10 + (*c - '0');
            have = true;
        } else if (*c == '-') {
            first = value;
            range = true;
            value = 0;
        } else if (*c == ',') {
            flush();
        }
    }
    flush();
    return scenes;
}

bool StartContentWatch(ContentWatch* watch, const std::string& folder, const std::string& dataPath, std::string* error)
{
    watch->folder = folder;
    watch->paths[0] = dataPath;
    watch->current = 0;
    watch->inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch->inotify < 0) {
        *error = std::string("cannot watch ") + folder + ": " + strerror(errno);
        return false;
    }
    AddWatches(watch, folder);
    if (watch->watches.empty()) {
        *error = std::string("cannot watch ") + folder + ": " + strerror(errno);
        CloseFd(&watch->inotify);
        return false;
    }
    return true;
}

int PollContentWatch(ContentWatch* watch, int sceneShown)
{
    if (watch->inotify < 0)
        return 0;
    if (TakeEvents(watch)) {
        if (!watch->pending && watch->build.child < 0 && watch->replayShown && !watch->changedDuringBuild)
            watch->firstEvent = Clock::now();
        watch->lastEvent = Clock::now();
        watch->pending = true;
        if (watch->build.child >= 0)
            watch->changedDuringBuild = true;
    }
    if (watch->build.child >= 0) {
        bool succeeded = false;
        int dataFd = -1;
        std::string error;
        if (!FinishFolderBuild(&watch->build, false, &succeeded, &dataFd, &error))
            return 0;
        if (watch->changedDuringBuild) {   // out of date already: the next build
            if (succeeded)
                close(dataFd);
            return 0;
        }
        return TakeBuild(watch, dataFd, succeeded, error, sceneShown);
    }
    if (watch->pending && SecondsSince(watch->lastEvent) * 1000 >= QuietMilliseconds)
        StartBuild(watch);
    return 0;
}

bool ContentWatchBusy(const ContentWatch& watch) { return watch.pending || watch.build.child >= 0; }

void StopContentWatch(ContentWatch* watch)
{
    if (watch->build.child >= 0) {
        bool succeeded = false;
        int dataFd = -1;
        std::string error;
        FinishFolderBuild(&watch->build, true, &succeeded, &dataFd, &error);
        if (succeeded)
            close(dataFd);
    }
    CloseFd(&watch->inotify);
    watch->watches.clear();
}

DemoHooks WatchedHooks(ContentWatch* watch, const DemoHooks& inner)
{
    watch->inner = inner;
    DemoHooks hooks;
    hooks.frameEnd = ForwardFrameEnd;
    hooks.replay = WatchReplay;
    hooks.context = watch;
    return hooks;
}
