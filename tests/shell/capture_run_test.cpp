// Whole-program capture runs: a run from a later scene, and the failures that must
// come before the demo starts.
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

TEST_F(CaptureRun, StartingAtALaterSceneSkipsItsPredecessorsFrames)
{
    // From scene 16 the music starts at the order after scene 15's limit (51); the
    // earlier scenes only set up. The whole demo from scene 1 is the golden test's.
    std::string dir = ::testing::TempDir() + "/tivrel_capture_16";
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
        ASSERT_EQ(std::sscanf(line.c_str(), "%ld,%ld,%ld,%ld,%ld,%ld,%ld", &frame, &scene, &order, &row, &t0, &t1, &t2), 7)
            << line;
        ASSERT_EQ(frame, expected++);
        ASSERT_GE(scene, lastScene) << line;
        if (frame > 0 && scene == 16)
            ASSERT_GE(order, 52) << line;
        lastScene = scene;
    }
    EXPECT_EQ(lastScene, 17);
    // The WAV holds 882 stereo 16-bit frames per presented frame, after a 44-byte header.
    EXPECT_EQ(Slurp(dir + "/music.wav").size(), 44u + static_cast<size_t>(expected) * 882 * 4);
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
