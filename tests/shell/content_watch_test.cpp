// Watch and replay on the virtual clock: a run over a content folder that is edited
// while it plays. A texture saved by rename restarts its scene with exactly the first
// frame a start at that scene over the new data has; a broken manifest leaves the
// old data playing with one line; bursts are one build; the scene lists parse.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "demo/demo_child.h"
#include "demo/startup.h"
#include "shell/content_watch.h"
#include "test_files.h"
#include "video/video.h"

namespace {

namespace fs = std::filesystem;
const std::string Build = TIVREL_BUILD_DIR;
FILE* Out = nullptr;

// A content folder of the default sources whose manifest names one entry, the
// texture of scene 11 only.
std::string MakeFolder(const std::string& name)
{
    const std::string dir = testing::TempDir() + "watch_" + name;
    fs::remove_all(dir);
    EXPECT_EQ(RunCommand(Build + "/gencontent --sources " + dir).status, 0);
    std::ofstream(dir + "/tivrel.toml") << "[\"23mview.scx\"]\nsource = \"pictures/23mview.png\"\n";
    return dir;
}

// Saves `path` as editors do: a hidden temporary file renamed over it.
void SaveByRename(const std::string& path, const std::string& bytes)
{
    const fs::path target(path);
    const std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".tmp")).string();
    std::ofstream(temporary, std::ios::binary) << bytes;
    ASSERT_EQ(std::rename(temporary.c_str(), path.c_str()), 0);
}

class ContentWatchRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (access((Build + "/tivrel.ovl").c_str(), R_OK) != 0 || access((Build + "/ovltool").c_str(), X_OK) != 0)
            GTEST_SKIP() << "needs the default data and ovltool in " << Build;
        // The test program has no ovltool beside it: the one on PATH builds.
        setenv("PATH", (Build + ":" + getenv("PATH")).c_str(), 1);
    }
};

struct WatchScript {
    ContentWatch watch;
    std::string folder;
    int frame = 0;
    int step = 0;
};
WatchScript Script;

// One step of the script per frame, each waiting (in real time, a few frames at a
// time) for the watch to settle: the texture saved by rename, then a broken
// manifest, then the end.
bool ScriptFrame(int shown, void*)
{
    WatchScript& s = Script;
    if (s.watch.replays > 0 && s.step == 1) {
        std::fprintf(Out, "replayed %d %llx\n", shown, static_cast<unsigned long long>(FrameState()));
        s.step = 2;
    }
    if (ContentWatchBusy(s.watch)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return false;
    }
    if (s.step == 0) {
        SaveByRename(s.folder + "/pictures/23mview.png", Slurp(s.folder + "/pictures/15mview.png"));
        s.step = 1;
    } else if (s.step == 2) {
        std::ofstream(s.folder + "/tivrel.toml") << "[\"23mview.scx\"\nsource = \"pictures/23mview.png\"\n";
        s.step = 3;
    } else if (s.step == 3 && s.watch.failures > 0) {
        std::fprintf(Out, "failed %d replays %d scene %d message %s\n", s.watch.failures, s.watch.replays, shown,
                     MessageLine());
        return true;
    }
    // Each frame is real time too, so the quiet time and the build pass.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return ++s.frame > 5000;
}

TEST_F(ContentWatchRun, ASavedTextureReplaysItsSceneAndABrokenManifestKeepsTheOldData)
{
    const std::string folder = MakeFolder("replay");
    const std::string errPath = testing::TempDir() + "watch_replay.err";
    const std::string run = InChild([&](FILE* out) {
        Out = out;
        freopen(errPath.c_str(), "w", stderr);
        setvbuf(stderr, nullptr, _IONBF, 0);
        static std::string data = folder;
        std::string error;
        ASSERT_TRUE(BuildContentFolder(&data, &error)) << error;
        overlayName = data.c_str();
        UseVirtualClock(nullptr);
        Script.folder = folder;
        ASSERT_TRUE(StartContentWatch(&Script.watch, folder, data, &error)) << error;
        // From scene 10: the texture belongs to scene 11 alone, which restarts.
        DemoHooks script;
        script.frameEnd = ScriptFrame;
        RunDemo(10, WatchedHooks(&Script.watch, script));
        StopContentWatch(&Script.watch);
    });
    std::istringstream lines(run);
    std::string replayed, failed;
    std::getline(lines, replayed);
    std::getline(lines, failed);
    ASSERT_EQ(replayed.rfind("replayed 11 ", 0), 0u) << run;
    EXPECT_EQ(failed.rfind("failed 1 replays 1 scene 11 message ovltool: ", 0), 0u) << run;
    EXPECT_NE(failed.find("tivrel.toml:"), std::string::npos) << failed;

    // The first frame after the replay is a start at scene 11 over the new data, and
    // not the old data's.
    const std::string newData = testing::TempDir() + "watch_new.ovl";
    std::ofstream(folder + "/tivrel.toml") << "[\"23mview.scx\"]\nsource = \"pictures/23mview.png\"\n";
    ASSERT_EQ(RunCommand(Build + "/ovltool build " + folder + " -o " + newData + " --force").status, 0);
    const std::string fresh = FirstFrameOf(11, newData);
    EXPECT_EQ("replayed " + fresh, replayed + "\n");
    EXPECT_NE(FirstFrameOf(11, Build + "/tivrel.ovl"), fresh);

    // Besides the first build's report, one line for the replay, one for the failure.
    const std::string err = Slurp(errPath);
    const std::string own = err.substr(err.find("\ntivrel: ") + 1);
    int count = 0;
    for (char c : own)
        count += c == '\n';
    EXPECT_EQ(count, 2) << own;
    EXPECT_NE(own.find("scene 11 restarted with the new data"), std::string::npos) << err;
    EXPECT_NE(own.find("(the data as it was plays on)"), std::string::npos) << err;
}

// Saves in quick succession are one build; hidden and editor files are no source.
TEST_F(ContentWatchRun, ABurstOfSavesIsOneBuild)
{
    const std::string folder = MakeFolder("burst");
    const std::string run = InChild([&](FILE* out) {
        static std::string data = folder;
        std::string error;
        ASSERT_TRUE(BuildContentFolder(&data, &error)) << error;
        overlayName = data.c_str();
        ContentWatch watch;
        ASSERT_TRUE(StartContentWatch(&watch, folder, data, &error)) << error;
        std::ofstream(folder + "/.hidden") << "x";
        std::ofstream(folder + "/notes.txt~") << "x";
        std::this_thread::sleep_for(std::chrono::milliseconds(QuietMilliseconds * 2));
        PollContentWatch(&watch, 1);
        std::fprintf(out, "busy after editor files: %d\n", ContentWatchBusy(watch) ? 1 : 0);
        const std::string texture = Slurp(folder + "/pictures/15mview.png");
        int builds = 0;
        for (int i = 0; i < 5; i++) {
            SaveByRename(folder + "/pictures/23mview.png", texture);
            PollContentWatch(&watch, 1);
            builds += watch.build.child >= 0 ? 1 : 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(QuietMilliseconds / 4));
        }
        std::fprintf(out, "builds during the burst: %d\n", builds);
        bool building = false;
        for (int i = 0; i < 1000 && (ContentWatchBusy(watch) || builds == 0); i++) {
            PollContentWatch(&watch, 1);
            if (watch.build.child >= 0 && !building)
                builds++;
            building = watch.build.child >= 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::fprintf(out, "builds after it: %d, replays %d\n", builds, watch.replays);
        StopContentWatch(&watch);
    });
    EXPECT_EQ(run, "busy after editor files: 0\nbuilds during the burst: 0\nbuilds after it: 1, replays 1\n");
}

TEST(ContentWatch, SceneListsOfTheEntryTable)
{
    EXPECT_EQ(ScenesOfList("1-3, 9"), (std::vector<int>{1, 2, 3, 9}));
    EXPECT_EQ(ScenesOfList("16"), (std::vector<int>{16}));
    EXPECT_EQ(ScenesOfList("4, 6, 8, 10"), (std::vector<int>{4, 6, 8, 10}));
    EXPECT_EQ(ScenesOfList("11-15"), (std::vector<int>{11, 12, 13, 14, 15}));
}

}   // namespace
