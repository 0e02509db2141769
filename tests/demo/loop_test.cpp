// --loop over the real demo: three plays of the table on the virtual clock, each
// frame's state (picture, palette, position, ticks) hashed. A second or third run
// that started from anything but the first run's state (a counter, a palette, the
// face order kept between frames, the final scene's buffers, the music's end
// detection) shows as a frame that differs.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "demo/startup.h"
#include "demo_child.h"

namespace {

FILE* Out = nullptr;

TEST(DemoLoop, EveryFrameOfTheSecondAndThirdRunsIsTheFirstRunsFrame)
{
    if (access(DataPath.c_str(), R_OK) != 0)
        GTEST_SKIP() << "needs the default data at " << DataPath;
    const std::string text = InChild([](FILE* out) {
        Out = out;
        UseVirtualClock(nullptr);
        DemoHooks hooks;
        hooks.runs = 3;
        hooks.frameEnd = [](int scene, void*) {
            std::fprintf(Out, "%d %llx\n", scene, static_cast<unsigned long long>(FrameState()));
            AdvanceVirtualClock();
            return false;
        };
        std::fprintf(out, "end %d\n", RunDemo(1, hooks) == DemoFinished);
    });
    // The runs, split where the scene goes back to 1.
    std::vector<std::vector<std::string>> runs;
    std::istringstream in(text);
    int before = 0;
    std::string last;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("end ", 0) == 0) {
            last = line;
            continue;
        }
        const int scene = std::stoi(line);
        if (runs.empty() || scene < before)
            runs.emplace_back();
        runs.back().push_back(line);
        before = scene;
    }
    EXPECT_EQ(last, "end 1");
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_GT(runs[0].size(), 10000u);
    for (size_t run = 1; run < 3; run++) {
        ASSERT_EQ(runs[run].size(), runs[0].size()) << "run " << run + 1;
        size_t differing = 0;
        for (size_t k = 0; k < runs[0].size(); k++)
            if (runs[run][k] != runs[0][k] && differing++ < 3)
                ADD_FAILURE() << "run " << run + 1 << " frame " << k << ": " << runs[run][k] << " against "
                              << runs[0][k];
        EXPECT_EQ(differing, 0u) << "run " << run + 1;
    }
}

}   // namespace
