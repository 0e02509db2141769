// The data file written to while the demo plays: from scene 10, with the file
// overwritten in place during the first frame, scene 11's mesh read ends the run with
// one line naming the entry and saying the file changed. The same file replaced by a
// rename is not the file being read: the demo plays on.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "audio/audio.h"
#include "demo/startup.h"
#include "demo_child.h"
#include "test_files.h"

namespace {

std::string Copy;   // the data file the demo reads, a copy of the default data
bool ByRename = false;
int LastScene = 0;

bool WriteOnceThenStep(int scene, void*)
{
    static bool written = false;
    if (!written) {
        written = true;
        const std::string bytes = Slurp(DataPath);
        if (ByRename) {
            std::ofstream(Copy + ".new", std::ios::binary) << bytes << 'x';
            std::filesystem::rename(Copy + ".new", Copy);
        } else {
            std::ofstream(Copy, std::ios::binary | std::ios::trunc) << bytes << 'x';
        }
    }
    LastScene = scene;
    AdvanceVirtualClock();
    return scene == 11;
}

class DataChange : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (access(DataPath.c_str(), R_OK) != 0)
            GTEST_SKIP() << "needs the default data at " << DataPath;
        Copy = testing::TempDir() + "data_change_" + std::to_string(getpid()) + ".ovl";
        std::filesystem::copy_file(DataPath, Copy, std::filesystem::copy_options::overwrite_existing);
    }
    void TearDown() override { std::filesystem::remove(Copy); }
    static void Play()
    {
        overlayName = Copy.c_str();
        UseVirtualClock(nullptr);
        DemoHooks hooks;
        hooks.frameEnd = WriteOnceThenStep;
        RunDemo(10, hooks);
    }
};

TEST_F(DataChange, AFileOverwrittenWhilePlayingEndsAtTheNextReadWithItsName)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    ByRename = false;
    EXPECT_LINE_AND_STATUS_1(Play(), "ZOH_Read: .*data_change_[0-9]+\\.ovl changed while the demo played; entry "
                                     "\"star\\.3ds\" is not read from it\n");
}

TEST_F(DataChange, AFileReplacedByARenamePlaysOnAsItWasOpened)
{
    ByRename = true;
    const std::string played = InChild([](FILE* out) {
        Play();
        std::fprintf(out, "reached scene %d\n", LastScene);
    });
    EXPECT_EQ(played, "reached scene 11\n");
}

}   // namespace
