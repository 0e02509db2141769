// Whole-program capture runs: the default data played twice in capture mode must give
// byte-identical files, a timeline that walks the scenes in order, and indexed frames.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string BuildDir = TIVREL_BUILD_DIR;

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int Shell(const std::string& command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CaptureRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(BuildDir + "/tivrel") || !std::filesystem::exists(BuildDir + "/tivrel.ovl"))
            GTEST_SKIP() << "needs the built program and default data in " << BuildDir;
    }
    // Runs a capture into a fresh directory; returns the exit status.
    int Capture(const std::string& dir, const std::string& extra)
    {
        std::filesystem::remove_all(dir);
        return Shell("cd " + BuildDir + " && ./tivrel --capture " + dir + " --data tivrel.ovl " + extra +
                   " > " + dir + ".log 2>&1");
    }
};

TEST_F(CaptureRun, TwoRunsOfTheWholeDemoAreIdentical)
{
    std::string a = ::testing::TempDir() + "/tivrel_capture_a", b = ::testing::TempDir() + "/tivrel_capture_b";
    const std::string frames = "--frames 0,1,700,3000:3001";
    ASSERT_EQ(Capture(a, frames), 0) << Slurp(a + ".log");
    ASSERT_EQ(Capture(b, frames), 0) << Slurp(b + ".log");

    for (const char* file : {"timeline.csv", "music.wav", "frames/000000.png", "frames/000001.png",
                             "frames/000700.png", "frames/003000.png", "frames/003001.png"}) {
        std::string left = Slurp(a + "/" + file);
        EXPECT_FALSE(left.empty()) << file;
        EXPECT_TRUE(left == Slurp(b + "/" + file)) << file << " differs between runs";
    }
    EXPECT_FALSE(std::filesystem::exists(a + "/frames/000002.png"));

    // The timeline: consecutive frames, scenes 1..17 in order ending with the last,
    // tick 2 rising by one per frame while no scene resets it.
    std::istringstream csv(Slurp(a + "/timeline.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "frame,scene,order,row,tick0,tick1,tick2");
    long expected = 0, lastScene = 0;
    while (std::getline(csv, line)) {
        long frame, scene, order, row, t0, t1, t2;
        ASSERT_EQ(std::sscanf(line.c_str(), "%ld,%ld,%ld,%ld,%ld,%ld,%ld", &frame, &scene, &order, &row, &t0, &t1, &t2), 7)
            << line;
        ASSERT_EQ(frame, expected++);
        ASSERT_GE(scene, lastScene) << line;
        ASSERT_LE(scene, 17);
        ASSERT_LE(order, 255);
        lastScene = scene;
    }
    EXPECT_EQ(lastScene, 17);
    EXPECT_GT(expected, 3001);

    // The WAV holds 882 stereo 16-bit frames per presented frame, after a 44-byte header.
    std::string wav = Slurp(a + "/music.wav");
    EXPECT_EQ(wav.size(), 44u + static_cast<size_t>(expected) * 882 * 4);
}

TEST_F(CaptureRun, AnUnwritableDirectoryFailsBeforeTheDemoStarts)
{
    std::string log = ::testing::TempDir() + "/tivrel_capture_bad.log";
    int status = Shell("cd " + BuildDir + " && ./tivrel --capture /proc/tivrel-no/such > " + log + " 2>&1");
    EXPECT_EQ(status, 1);
    std::string text = Slurp(log);
    EXPECT_NE(text.find("cannot create"), std::string::npos) << text;
    EXPECT_EQ(text.find("ZOH_Init"), std::string::npos) << text;
}

TEST_F(CaptureRun, BadOptionsExitWithStatusTwoAndAHint)
{
    std::string log = ::testing::TempDir() + "/tivrel_bad_option.log";
    EXPECT_EQ(Shell("cd " + BuildDir + " && ./tivrel --scene 99 > " + log + " 2>&1"), 2);
    std::string text = Slurp(log);
    EXPECT_NE(text.find("--scene"), std::string::npos);
    EXPECT_NE(text.find("--help"), std::string::npos);
}

}  // namespace
