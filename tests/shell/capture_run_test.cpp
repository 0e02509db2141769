// Capture runs: a run from a later scene, re-runs into the same folder, the
// failures that must come before the demo starts, the bound on the run's length (its
// estimate against the frame loop, the refusal, --max-seconds) and the WAV's limit.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/mini_s3m.h"
#include "audio/module_info.h"
#include "core/bytes.h"
#include "core/safe_write.h"
#include "demo/demo.h"
#include "shell/shell.h"
#include "test_files.h"
#include "video/video.h"

namespace {

const std::string BuildDir = TIVREL_BUILD_DIR;

int Shell(const std::string& command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A path in the test folder of its own to this process (other builds run these tests too).
std::string Temp(const std::string& name)
{
    return ::testing::TempDir() + "/tivrel_" + std::to_string(getpid()) + "_" + name;
}

size_t Lines(const std::string& text) { return size_t(std::count(text.begin(), text.end(), '\n')); }

class CaptureRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(BuildDir + "/tivrel") || !std::filesystem::exists(BuildDir + "/tivrel.ovl"))
            GTEST_SKIP() << "needs the built program and default data in " << BuildDir;
    }
    void TearDown() override
    {
        const std::string mine = std::filesystem::path(Temp("")).filename().string();
        for (const auto& entry : std::filesystem::directory_iterator(::testing::TempDir()))
            if (entry.path().filename().string().rfind(mine, 0) == 0)
                std::filesystem::remove_all(entry.path());
    }
    // Runs a capture into a fresh directory; returns the exit status.
    int Capture(const std::string& dir, const std::string& extra)
    {
        std::filesystem::remove_all(dir);
        return Shell("cd " + BuildDir + " && ./tivrel --capture " + dir + " --data tivrel.ovl " + extra + " > " + dir +
                     ".log 2>&1");
    }
};

TEST_F(CaptureRun, StartingAtALaterSceneSkipsItsPredecessorsFrames)
{
    // From scene 16 the music starts at the order after scene 15's limit (51); the
    // earlier scenes only set up. The whole demo from scene 1 is the golden test's.
    std::string dir = Temp("capture_16");
    ASSERT_EQ(Capture(dir, "--scene 16 --frames 0"), 0) << Slurp(dir + ".log");
    EXPECT_TRUE(std::filesystem::exists(dir + "/frames/000000.png"));
    EXPECT_FALSE(std::filesystem::exists(dir + "/frames/000001.png"));

    std::istringstream csv(Slurp(dir + "/timeline.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "frame,scene,order,row,tick0,tick1,tick2");
    long expected = 0, lastScene = 16;
    while (std::getline(csv, line)) {
        long frame, scene, order, row, t0, t1, t2;
        ASSERT_EQ(std::sscanf(line.c_str(), "%ld,%ld,%ld,%ld,%ld,%ld,%ld", &frame, &scene, &order, &row, &t0, &t1, &t2),
                  7)
            << line;
        ASSERT_EQ(frame, expected++);
        ASSERT_GE(scene, lastScene) << line;
        if (frame > 0 && scene == 16) {
            ASSERT_GE(order, 52) << line;
        }
        lastScene = scene;
    }
    EXPECT_EQ(lastScene, 17);
    // The WAV holds 882 stereo 16-bit frames per presented frame, after a 44-byte header.
    EXPECT_EQ(Slurp(dir + "/music.wav").size(), 44u + static_cast<size_t>(expected) * 882 * 4);
}

TEST_F(CaptureRun, ARerunReplacesItsFilesWithoutFollowingLinksAndMaxSecondsSetsTheBound)
{
    // The length of scene 17 in frames, from a run under the default bound.
    std::string dir = Temp("capture_rerun");
    ASSERT_EQ(Capture(dir, "--scene 17 --frames 0"), 0) << Slurp(dir + ".log");
    const std::string timeline = Slurp(dir + "/timeline.csv"), wav = Slurp(dir + "/music.wav");
    const long frames = long(Lines(timeline)) - 1;
    ASSERT_GT(frames, 60);

    std::string outside = Temp("outside");
    std::ofstream(outside) << "keep";
    std::filesystem::remove(dir + "/timeline.csv");
    std::filesystem::create_symlink(outside, dir + "/timeline.csv");
    const std::string run = "cd " + BuildDir + " && ./tivrel --capture " + dir + " --data tivrel.ovl --scene 17 ";

    // A bound just under the run is refused before anything is written.
    const long under = (frames - 3) / 50;
    EXPECT_EQ(Shell(run + "--max-seconds " + std::to_string(under) + " > " + dir + ".log 2>&1"), 1);
    std::string log = Slurp(dir + ".log");
    EXPECT_EQ(Lines(log), 1u) << log;
    EXPECT_NE(log.find("--max-seconds " + std::to_string(under) + ")"), std::string::npos) << log;
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "/timeline.csv"));

    // One just over it lets the same run through, into the folder of the first.
    const long over = (frames + 2) / 50 + 1;
    ASSERT_EQ(Shell(run + "--frames 0 --max-seconds " + std::to_string(over) + " > " + dir + ".log 2>&1"), 0)
        << Slurp(dir + ".log");
    EXPECT_EQ(Slurp(outside), "keep");
    EXPECT_FALSE(std::filesystem::is_symlink(dir + "/timeline.csv"));
    EXPECT_EQ(Slurp(dir + "/timeline.csv"), timeline);
    EXPECT_EQ(Slurp(dir + "/music.wav"), wav);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frames", "music.wav", "timeline.csv"})) << "no temporary left";
}

// Every refusal comes before the demo starts and writes nothing: a folder that
// cannot be made, a bad option, and a module whose run would take most of a day
// (64 orders at 19.2 s a row), under the default bound and under one it names.
TEST_F(CaptureRun, RefusalsComeBeforeTheDemoStarts)
{
    MiniS3mOptions slow{.orders = 70, .patterns = 1, .rowsPerOrder = 64, .speed = 254, .tempo = 33};
    const std::string slowData = WriteOverlayFile(Temp("slow.ovl"), {{"music.s3m", BuildMiniS3m(slow)}});
    const std::string dir = Temp("capture_no");

    struct Case {
        std::string args;
        int status;
        const char* said;
    };
    const Case cases[] = {
        {"--capture /proc/tivrel-no/such", 1, "cannot create /proc/tivrel-no/such"},
        {"--capture " + dir + " --scene 99", 2, "--help"},
        {"--capture " + dir + " --data " + slowData, 1, "bound of 180000 frames (--max-seconds 3600)\n"},
        {"--capture " + dir + " --data " + slowData + " --max-seconds 78000", 1,
         "more than its bound of 3900000 frames (--max-seconds 78000)\n"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(dir);
        EXPECT_EQ(Shell("cd " + BuildDir + " && ./tivrel " + c.args + " > " + dir + ".log 2>&1"), c.status) << c.args;
        std::string log = Slurp(dir + ".log");
        EXPECT_NE(log.find(c.said), std::string::npos) << log;
        EXPECT_EQ(Lines(log), c.status == 1 ? 1u : 2u) << log;
        EXPECT_FALSE(std::filesystem::exists(dir)) << c.args;
    }
}

// ---- In process: the estimate against the frame loop, and the WAV's limit ----

void NoDraw() {}

// Scene 2 in two parts; scene 3's limit has passed when it starts.
const SceneRow Rows[] = {
    {1, "one", 2, nullptr, nullptr, NoDraw, nullptr},    {2, "two", 4, nullptr, nullptr, NoDraw, nullptr},
    {2, "two, b", 5, nullptr, nullptr, NoDraw, nullptr}, {3, "three", 3, nullptr, nullptr, NoDraw, nullptr},
    {4, "four", 7, nullptr, nullptr, NoDraw, nullptr},
};
constexpr int RowCount = 5;

int Presented = 0;
void CountAndStep(int)
{
    Presented++;
    AdvanceVirtualClock();
}

// Frames the loop presents over Rows from firstScene, the music started as the demo
// starts it, on the virtual clock.
int PresentedFrames(const std::vector<uint8_t>& song, int firstScene)
{
    UseVirtualClock(nullptr);
    EXPECT_EQ(LoadMusic(song.data(), uint32_t(song.size())), 0);
    SetMusicStartOrder(firstScene > 1 ? SceneLimit(Rows, RowCount, firstScene - 1) : 0);
    StartMusic(0);
    MusicPosition = {0, 0};
    Presented = 0;
    FrameEndStep = CountAndStep;
    RunScenes(Rows, RowCount, firstScene);
    FrameEndStep = nullptr;
    FreeMusic();
    FinishVirtualClock();
    SetMusicStartOrder(0);
    return Presented;
}

// Never under what the loop presents; within two frames while the song reaches the
// order that ends the last scene, within two and a frame per row when it ends first.
TEST(CaptureEstimate, CoversTheFramesTheLoopPresents)
{
    struct Song {
        const char* what;
        MiniS3mOptions options;
        int slack;
    };
    const Song songs[] = {
        {"a frame a row", {.orders = 10, .patterns = 2, .rowsPerOrder = 8}, 2},
        {"2.5 frames a row", {.orders = 10, .patterns = 2, .rowsPerOrder = 5, .speed = 3, .tempo = 150}, 2},
        {"ends before the last limit", {.orders = 6, .patterns = 2, .rowsPerOrder = 4, .speed = 2}, 2 + RowCount},
        {"ended before scene 4", {.orders = 3, .patterns = 1, .rowsPerOrder = 4}, 2 + RowCount},
    };
    for (const Song& song : songs) {
        std::vector<uint8_t> bytes = BuildMiniS3m(song.options);
        ModuleInfo info;
        std::string error;
        ASSERT_TRUE(InspectModule(bytes.data(), bytes.size(), &info, &error)) << error;
        for (int first = 1; first <= 4; first++) {
            int64_t estimate = EstimateCaptureFrames(info, Rows, RowCount, first);
            int presented = PresentedFrames(bytes, first);
            EXPECT_GE(estimate, presented) << song.what << ", from scene " << first;
            EXPECT_LE(estimate, presented + song.slack) << song.what << ", from scene " << first;
        }
    }
}

TEST(CaptureWav, StopsGrowingAtItsLimitAndStaysAValidWav)
{
    const std::string dir = Temp("wav_limit");
    std::filesystem::remove_all(dir);
    SafeFolder folder;
    std::string error;
    ASSERT_TRUE(SafeFolderOpen(&folder, dir, true, &error)) << error;
    const uint32_t step = 882 * 4;
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(UseVirtualClockIn(folder, "music.wav", 3 * step + 100));
    const uint32_t ticks = TickCounters[1].load();
    for (int i = 0; i < 3; i++)
        AdvanceVirtualClock();
    EXPECT_FALSE(VirtualClockWavFull());
    for (int i = 0; i < 3; i++)
        AdvanceVirtualClock();
    EXPECT_TRUE(VirtualClockWavFull());
    EXPECT_EQ(TickCounters[1].load(), ticks + 6) << "the clock runs on";
    EXPECT_TRUE(FinishVirtualClock());
    const std::string said = ::testing::internal::GetCapturedStderr();
    SafeFolderClose(&folder);
    EXPECT_EQ(Lines(said), 1u) << said;
    EXPECT_NE(said.find(dir + "/music.wav"), std::string::npos) << said;

    const std::string wav = Slurp(dir + "/music.wav");
    ASSERT_EQ(wav.size(), 44u + 3 * step);
    const auto* bytes = reinterpret_cast<const uint8_t*>(wav.data());
    EXPECT_EQ(ReadLE32(bytes + 4), 36u + 3 * step);
    EXPECT_EQ(ReadLE32(bytes + 40), 3 * step);
    std::filesystem::remove_all(dir);
}

}   // namespace
