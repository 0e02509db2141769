// For tests of the real demo over its default data: each run in a child process of
// its own (the demo's state is process-wide), and a frame's state as one hash.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "archive/archive.h"
#include "audio/audio.h"
#include "core/pixels.h"
#include "core/shared.h"
#include "demo/startup.h"
#include "video/video.h"

namespace {

inline const std::string DataPath = std::string(TIVREL_BUILD_DIR) + "/tivrel.ovl";

// Runs `body` in a child with stdout silenced; returns what it wrote to `out`.
inline std::string InChild(const std::function<void(FILE* out)>& body)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        freopen("/dev/null", "w", stdout);
        FILE* out = fdopen(fds[1], "w");
        // The process-wide state as a new process has it (other tests ran before).
        overlayName = DataPath.c_str();
        MusicPosition = {0, 0};
        for (auto& counter : TickCounters)
            counter.store(0);
        ForgetQuitRequest();
        ClearKeyActions();
        body(out);
        std::fclose(out);
        std::_Exit(0);
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return text;
}

// What a frame shows and the counters it was drawn with: FrameBuffer, the device
// palette, the music position and the three tick counters, as one hash.
inline uint64_t FrameState()
{
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; i++)
            h = (h ^ p[i]) * 1099511628211ull;
    };
    mix(FrameBuffer, ScreenBytes);
    mix(DevicePalette, sizeof DevicePalette);
    const uint8_t position[2] = {MusicPosition.order, MusicPosition.row};
    mix(position, 2);
    for (auto& counter : TickCounters) {
        const uint32_t value = counter.load();
        mix(reinterpret_cast<const uint8_t*>(&value), 4);
    }
    return h;
}

// A start at `scene` over the data file `data` on the virtual clock: the scene and
// the FrameState of its first frame, as one line "SCENE HASH".
inline std::string FirstFrameOf(int scene, const std::string& data = DataPath)
{
    static FILE* line = nullptr;   // for the hook, which captures nothing
    static std::string path;
    path = data;
    return InChild([scene](FILE* out) {
        line = out;
        overlayName = path.c_str();
        UseVirtualClock(nullptr);
        DemoHooks hooks;
        hooks.frameEnd = [](int shown, void*) {
            std::fprintf(line, "%d %llx\n", shown, static_cast<unsigned long long>(FrameState()));
            return true;
        };
        RunDemo(scene, hooks);
    });
}

}   // namespace
