// Capture runs: a run from a later scene, re-runs into the same folder, the
// failures that must come before the demo starts, the bound on the run's length (its
// estimate against the frame loop, the refusal, --max-seconds) and the WAV's limit.
#include <gtest/gtest.h>

#include <signal.h>
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
#include "demo/frame_loop.h"
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

// The names in a folder, sorted.
std::vector<std::string> Names(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A whole WAV for `frames` presented frames: 882 stereo 16-bit frames each after a 44-byte
// header whose RIFF and data sizes agree with the file.
void ExpectWholeWav(const std::string& path, size_t frames)
{
    const std::string wav = Slurp(path);
    ASSERT_EQ(wav.size(), 44 + frames * 882 * 4) << path;
    const auto* bytes = reinterpret_cast<const uint8_t*>(wav.data());
    EXPECT_EQ(ReadLE32(bytes + 4) + 8, wav.size());
    EXPECT_EQ(ReadLE32(bytes + 40) + 44, wav.size());
}

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
    ExpectWholeWav(dir + "/music.wav", size_t(expected));
}

// A second run into a folder holding frames refuses without --force; with it, it
// removes only the old frames, replaces the other files without following a
// planted link, and warns about frames past its end. --max-seconds sets the bound.
TEST_F(CaptureRun, ARerunNeedsForceReplacesItsFilesWithoutFollowingLinksAndMaxSecondsSetsTheBound)
{
    // The length of scene 17 in frames, from a run under the default bound.
    std::string dir = Temp("capture_rerun");
    ASSERT_EQ(Capture(dir, "--scene 17 --frames 0:9"), 0) << Slurp(dir + ".log");
    const std::string timeline = Slurp(dir + "/timeline.csv"), wav = Slurp(dir + "/music.wav");
    const long frames = long(Lines(timeline)) - 1;
    ASSERT_GT(frames, 60);

    std::string outside = Temp("outside");
    std::ofstream(outside) << "keep";
    std::filesystem::remove(dir + "/timeline.csv");
    std::filesystem::create_symlink(outside, dir + "/timeline.csv");
    std::ofstream(dir + "/frames/notes.txt") << "keep";
    std::ofstream(dir + "/frames/0001.png") << "keep";
    const std::string run = "cd " + BuildDir + " && ./tivrel --capture " + dir + " --data tivrel.ovl --scene 17 ";

    // Older frames: refused in one line naming --force, whatever the new run writes.
    for (const char* frameList : {"--frames 0", "--frames none"}) {
        EXPECT_EQ(Shell(run + frameList + " > " + dir + ".log 2>&1"), 1) << frameList;
        std::string log = Slurp(dir + ".log");
        EXPECT_EQ(Lines(log), 1u) << log;
        EXPECT_NE(log.find("--force"), std::string::npos) << log;
        EXPECT_TRUE(std::filesystem::exists(dir + "/frames/000009.png"));
    }

    // A bound just under the run is refused before anything is written.
    const long under = (frames - 3) / 50;
    EXPECT_EQ(Shell(run + "--force --max-seconds " + std::to_string(under) + " > " + dir + ".log 2>&1"), 1);
    std::string log = Slurp(dir + ".log");
    EXPECT_EQ(Lines(log), 1u) << log;
    EXPECT_NE(log.find("--max-seconds " + std::to_string(under) + ")"), std::string::npos) << log;
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "/timeline.csv"));

    // One just over it lets the same run through, into the folder of the first.
    const long over = (frames + 2) / 50 + 1;
    ASSERT_EQ(Shell(run + "--force --frames 3,5:6,20000:20009 --max-seconds " + std::to_string(over) + " > " + dir +
                    ".log 2>&1"),
              0)
        << Slurp(dir + ".log");
    log = Slurp(dir + ".log");
    EXPECT_NE(log.find("warning: --frames asks for frames 20000 to 20009, but the run ended after frame " +
                       std::to_string(frames - 1) + "\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(Slurp(outside), "keep");
    EXPECT_FALSE(std::filesystem::is_symlink(dir + "/timeline.csv"));
    EXPECT_EQ(Slurp(dir + "/timeline.csv"), timeline);
    EXPECT_EQ(Slurp(dir + "/music.wav"), wav);
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"frames", "music.wav", "timeline.csv"})) << "no temporary left";
    EXPECT_EQ(Names(dir + "/frames"),
              (std::vector<std::string>{"000003.png", "000005.png", "000006.png", "0001.png", "notes.txt"}));
}

// --until-scene ends the run with the last frame of its scene, exactly where a
// longer run goes on to the next scene; --seconds after exactly that much demo time.
TEST_F(CaptureRun, UntilSceneAndSecondsStopAtTheirBounds)
{
    const std::string two = Temp("until_2"), three = Temp("until_3"), seconds = Temp("seconds");
    ASSERT_EQ(Capture(two, "--scene 2 --until-scene 2 --frames none"), 0) << Slurp(two + ".log");
    ASSERT_EQ(Capture(three, "--scene 2 --until-scene 3 --frames none"), 0) << Slurp(three + ".log");
    ASSERT_EQ(Capture(seconds, "--scene 2 --seconds 3 --frames none"), 0) << Slurp(seconds + ".log");

    const std::string scene2 = Slurp(two + "/timeline.csv"), scenes23 = Slurp(three + "/timeline.csv");
    const size_t frames = Lines(scene2) - 1;
    ASSERT_GT(frames, 100u);
    EXPECT_EQ(scenes23.substr(0, scene2.size()), scene2);
    EXPECT_EQ(scenes23.compare(scene2.size(), std::to_string(frames).size() + 3, std::to_string(frames) + ",3,"), 0)
        << "the longer run goes on with scene 3 at the next frame";
    std::istringstream lines(scene2);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line))
        ASSERT_EQ(line.compare(line.find(','), 3, ",2,"), 0) << line;
    ExpectWholeWav(two + "/music.wav", frames);
    EXPECT_FALSE(std::filesystem::exists(two + "/frames")) << "--frames none writes no frames";

    EXPECT_EQ(Lines(Slurp(seconds + "/timeline.csv")), 1u + 150u);
    ExpectWholeWav(seconds + "/music.wav", 150);
}

// A run stopped by SIGINT once it has written some hundreds of frames (with a small
// video when ffmpeg is installed) leaves every file whole for the frames it
// presented, no temporary, and ends with status 130.
TEST_F(CaptureRun, AnInterruptedRunLeavesValidFilesForWhatWasDone)
{
    const std::string dir = Temp("interrupted");
    const bool video = Shell("command -v ffmpeg > /dev/null && command -v ffprobe > /dev/null") == 0;
    std::filesystem::remove_all(dir);   // the video goes into DIR, which the run makes
    std::vector<std::string> args = {BuildDir + "/tivrel", "--capture", dir, "--data", BuildDir + "/tivrel.ovl"};
    if (video)
        args.insert(args.end(), {"--video", dir + "/video.mp4", "--video-size", "320x200", "--frames", "0:99999"});
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        freopen((dir + ".log").c_str(), "w", stderr);
        freopen("/dev/null", "w", stdout);
        execv(argv[0], argv.data());
        _exit(127);
    }
    // Frames appear as they are written; the timeline holds at least as many lines.
    auto framesWritten = [&] {
        std::error_code error;
        size_t n = 0;
        for (auto it = std::filesystem::directory_iterator(dir + "/frames", error);
             !error && it != std::filesystem::directory_iterator(); ++it)
            n++;
        return n;
    };
    for (int waited = 0; framesWritten() < 300 && waited < 6000; waited++)
        usleep(10000);
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const std::string log = Slurp(dir + ".log");
    ASSERT_TRUE(WIFEXITED(status)) << log;
    EXPECT_EQ(WEXITSTATUS(status), 130) << log;

    const std::string timeline = Slurp(dir + "/timeline.csv");
    ASSERT_FALSE(timeline.empty());
    EXPECT_EQ(timeline.back(), '\n');
    const size_t frames = Lines(timeline) - 1;
    EXPECT_GE(frames, 300u);
    EXPECT_LT(frames, 12000u) << "stopped early";
    EXPECT_NE(log.find("stopped by SIGINT; the files hold frames 0 to " + std::to_string(frames - 1) + "\n"),
              std::string::npos)
        << log;
    std::vector<std::string> expected;
    for (size_t f = 0; f < frames; f++) {
        char name[32];
        std::snprintf(name, sizeof name, "%06zu.png", f);
        expected.push_back(name);
    }
    EXPECT_EQ(Names(dir + "/frames"), expected);
    EXPECT_EQ(Names(dir), video ? (std::vector<std::string>{"frames", "music.wav", "timeline.csv", "video.mp4"})
                                : (std::vector<std::string>{"frames", "music.wav", "timeline.csv"}));

    ExpectWholeWav(dir + "/music.wav", frames);

    if (video) {
        // Both streams last as long as the frames presented, 20 ms each.
        const std::string probe = dir + ".probe";
        ASSERT_EQ(Shell("ffprobe -v error -show_entries stream=codec_type,duration -of csv=p=0 " + dir +
                        "/video.mp4 > " + probe),
                  0);
        std::istringstream lines(Slurp(probe));
        std::string line;
        int durations = 0;
        while (std::getline(lines, line)) {
            const double seconds = std::atof(line.substr(line.rfind(',') + 1).c_str());
            EXPECT_NEAR(seconds, frames / 50.0, 0.03) << line;
            durations++;
        }
        EXPECT_EQ(durations, 2) << "a video and a sound stream";
    }
}

// Every refusal comes before the demo starts and writes nothing: a folder that
// cannot be made, a bad option, and a module whose run would take most of a day
// (64 orders at 19.2 s a row), under the default bound and under one it names.
TEST_F(CaptureRun, RefusalsComeBeforeTheDemoStarts)
{
    MiniS3mOptions slow{.orders = 70, .patterns = 1, .rowsPerOrder = 64, .speed = 254, .tempo = 33};
    const std::string slowData = WriteOverlayFile(Temp("slow.ovl"), {{"music.s3m", BuildMiniS3m(slow)}});
    const std::string dir = Temp("capture_no");

    const std::string video = Temp("video");
    std::filesystem::create_directories(video);
    struct Case {
        std::string args;
        int status;
        const char* said;
        const char* environment = "";
    };
    const Case cases[] = {
        {"--capture /proc/tivrel-no/such", 1, "cannot create /proc/tivrel-no/such"},
        {"--capture " + dir + " --scene 99", 2, "--help"},
        {"--capture " + dir + " --data " + slowData, 1, "bound of 180000 frames (--max-seconds 3600)\n"},
        {"--capture " + dir + " --data " + slowData + " --max-seconds 78000", 1,
         "more than its bound of 3900000 frames (--max-seconds 78000)\n"},
        {"--capture " + dir + " --video " + video + "/v.mp4", 1, "(apt-get install ffmpeg)\n", "PATH=/nowhere"},
        {"--capture " + dir + " --video " + video + "/no/v.mp4", 1, "no does not exist\n"},
        {"--capture " + dir + " --video " + video, 1, "must end in .mp4, .mkv or .mov\n"},
        {"--capture " + dir + " --video " + video + "/v.mp4 --video-lossless", 1, "name it .mkv\n"},
        {"--capture " + dir + " --video " + video + "/v.mkv", 1, "exists and is not a regular file\n"},
    };
    std::filesystem::create_directories(video + "/v.mkv");
    for (const Case& c : cases) {
        std::filesystem::remove_all(dir);
        EXPECT_EQ(Shell("cd " + BuildDir + " && " + c.environment + " ./tivrel " + c.args + " > " + dir + ".log 2>&1"),
                  c.status)
            << c.args;
        std::string log = Slurp(dir + ".log");
        EXPECT_NE(log.find(c.said), std::string::npos) << log;
        EXPECT_EQ(Lines(log), c.status == 1 ? 1u : 2u) << log;
        EXPECT_FALSE(std::filesystem::exists(dir)) << c.args;
    }
    EXPECT_EQ(Names(video), (std::vector<std::string>{"v.mkv"}));
}

// ---- In process: the estimate against the frame loop, and the WAV's limit ----

void NoDraw() {}

// Scene 2 in two parts; scene 3's limit has passed when it starts.
const uint8_t Limits[] = {2, 4, 5, 3, 7};
const SceneRow Rows[] = {
    {1, "one", &Limits[0], nullptr, nullptr, NoDraw, nullptr},
    {2, "two", &Limits[1], nullptr, nullptr, NoDraw, nullptr},
    {2, "two, b", &Limits[2], nullptr, nullptr, NoDraw, nullptr},
    {3, "three", &Limits[3], nullptr, nullptr, NoDraw, nullptr},
    {4, "four", &Limits[4], nullptr, nullptr, NoDraw, nullptr},
};
constexpr int RowCount = 5;

int Presented = 0;
bool CountAndStep(int, void*)
{
    Presented++;
    AdvanceVirtualClock();
    return false;
}

// Frames the loop presents over Rows from firstScene, the music started as the demo
// starts it, on the virtual clock.
int PresentedFrames(const std::vector<uint8_t>& song, int firstScene)
{
    UseVirtualClock(nullptr);
    EXPECT_TRUE(LoadMusic(song.data(), uint32_t(song.size())));
    SetMusicStartOrder(firstScene > 1 ? SceneLimit(Rows, RowCount, firstScene - 1) : 0);
    StartMusic(false);
    MusicPosition = {0, 0};
    Presented = 0;
    DemoHooks hooks;
    hooks.frameEnd = CountAndStep;
    RunScenes(Rows, RowCount, firstScene, hooks);
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

    ExpectWholeWav(dir + "/music.wav", 3);
    std::filesystem::remove_all(dir);
}

// The frames the capture's files hold after a run that failed: the timeline's whole
// lines, a WAV whose header agrees with its whole steps, and PNG frames 0..n-1 each
// ending in its IEND chunk; each no more than the frames presented.
struct FilesLeft {
    size_t timelineFrames = 0, wavFrames = 0, pngFrames = 0;
};
FilesLeft ExpectWholeFiles(const std::string& dir)
{
    FilesLeft left;
    const std::string timeline = Slurp(dir + "/timeline.csv");
    EXPECT_FALSE(timeline.empty());
    if (timeline.empty())
        return left;
    EXPECT_EQ(timeline.back(), '\n');
    left.timelineFrames = Lines(timeline) - 1;
    const std::string wav = Slurp(dir + "/music.wav");
    EXPECT_GE(wav.size(), 44u);
    EXPECT_EQ((wav.size() - 44) % (882 * 4), 0u);
    left.wavFrames = (wav.size() - 44) / (882 * 4);
    ExpectWholeWav(dir + "/music.wav", left.wavFrames);
    if (std::filesystem::exists(dir + "/frames"))
        for (const std::string& name : Names(dir + "/frames")) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "%06zu.png", left.pngFrames++);
            EXPECT_EQ(name, expected);
            const std::string png = Slurp(dir + "/frames/" + name);
            EXPECT_TRUE(png.size() > 12 && png.compare(png.size() - 8, 4, "IEND") == 0) << name;
        }
    EXPECT_LE(left.wavFrames, left.timelineFrames);
    EXPECT_LE(left.pngFrames, left.timelineFrames);
    EXPECT_GE(left.wavFrames + 1, left.timelineFrames);
    return left;
}

// Under a file-size limit (the WAV reaches it first) the run is not killed by
// SIGXFSZ: one line names the file, status 1, and every file is whole.
TEST_F(CaptureRun, AFileSizeLimitStopsTheRunWithOneLineAndWholeFiles)
{
    const std::string dir = Temp("file_size");
    std::filesystem::remove_all(dir);
    const CommandOutcome run = RunCommand("bash -c 'ulimit -f 2000; cd " + BuildDir + " && exec ./tivrel --capture " +
                                          dir + " --data tivrel.ovl --frames 0:99999'");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err, "tivrel: cannot write " + dir + "/music.wav: File too large\n");
    const FilesLeft left = ExpectWholeFiles(dir);
    // 2,000 KiB (bash's unit) hold 580 steps of 3,528 bytes after the header.
    EXPECT_EQ(left.wavFrames, 580u);
    EXPECT_EQ(left.timelineFrames, 581u);
    EXPECT_EQ(left.pngFrames, 581u);
}

// A fatal line from inside the demo after the run started (here the mesh of scene 12
// has a damaged stream) ends with that line and status 1, and the capture's files
// hold the frames of scene 11 that were presented.
TEST_F(CaptureRun, AFatalLineFromInsideTheDemoLeavesWholeFiles)
{
    std::string data = Slurp(BuildDir + "/tivrel.ovl");
    ASSERT_GT(data.size(), 16u);
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    const uint32_t count = bytes[15];
    bool damaged = false;
    for (uint32_t k = 0; k < count && !damaged; k++) {
        const uint8_t* record = bytes + 16 + 32 * k;
        if (std::string(reinterpret_cast<const char*>(record)) == "jo2.3ds") {
            const uint32_t offset = ReadLE32(record + 12), packed = ReadLE32(record + 16);
            for (uint32_t i = packed / 4; i < packed; i++)
                data[offset + i] = char(0xFF);
            damaged = true;
        }
    }
    ASSERT_TRUE(damaged);
    const std::string copy = Temp("damaged.ovl");
    std::ofstream(copy, std::ios::binary) << data;
    const std::string dir = Temp("fatal");
    std::filesystem::remove_all(dir);
    const CommandOutcome run =
        RunCommand(BuildDir + "/tivrel --capture " + dir + " --data " + copy + " --scene 11 --frames 0:99999");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("jo2.3ds"), std::string::npos) << run.out;
    const FilesLeft left = ExpectWholeFiles(dir);
    EXPECT_GT(left.timelineFrames, 100u);
    EXPECT_EQ(left.wavFrames, left.timelineFrames);
    EXPECT_EQ(left.pngFrames, left.timelineFrames);
    const std::string timeline = Slurp(dir + "/timeline.csv");
    const std::string last = timeline.substr(timeline.rfind('\n', timeline.size() - 2) + 1);
    EXPECT_EQ(last.substr(last.find(','), 4), ",11,") << last;
}

// Under address-space limits from too little to start to just too little to load,
// every run ends with one of the design's memory lines and status 1 (or the dynamic
// loader's refusal, status 127, below what the libraries need), never inside a
// library (the PNG encoder's own allocations included); a run that got as far as the
// capture leaves whole files, no more pictures than timeline rows. The sizes depend on
// the libraries, so the test walks through them.
TEST_F(CaptureRun, UnderAnAddressSpaceLimitTheDesignsLinesAndStatus1)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address limits do not mix with the sanitizer's shadow memory";
#endif
    const std::string probeLines = "ZDS_Error: Not enough memory!\nZDS_DeInit: Zerith Demo System deinitializing.\n";
    const std::string demoLine = "\376 Not enough memory!\n";
    int probe = 0, demo = 0, loaded = 0;
    for (int kib = 26000; kib <= 60000; kib += 1000) {
        SCOPED_TRACE("ulimit -v " + std::to_string(kib));
        const std::string dir = Temp("memory");
        std::filesystem::remove_all(dir);
        const CommandOutcome run = RunCommand("bash -c 'ulimit -v " + std::to_string(kib) + "; cd " + BuildDir +
                                              " && exec ./tivrel --capture " + dir + " --data tivrel.ovl --seconds 1'");
        if (run.status == 127) {
            EXPECT_NE(run.err.find("error while loading shared libraries"), std::string::npos) << run.err;
            continue;
        }
        if (run.status == 0) {
            loaded++;
            continue;
        }
        ASSERT_EQ(run.status, 1) << run.out << run.err;
        const bool probeFailed =
            run.out.size() >= probeLines.size() &&
            run.out.compare(run.out.size() - probeLines.size(), probeLines.size(), probeLines) == 0;
        const bool demoFailed = run.out.size() >= demoLine.size() &&
                                run.out.compare(run.out.size() - demoLine.size(), demoLine.size(), demoLine) == 0;
        EXPECT_TRUE(probeFailed || demoFailed) << run.out;
        probe += probeFailed;
        demo += demoFailed;
        if (std::filesystem::exists(dir + "/timeline.csv"))
            ExpectWholeFiles(dir);
    }
    EXPECT_GT(probe, 0) << "the memory probe's lines";
    EXPECT_GT(demo, 0) << "the demo's line";
    EXPECT_GT(loaded, 0) << "a limit the capture runs under";
}

}   // namespace
