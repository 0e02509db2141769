// RunDemo's start-up and failure exits, run in death-test children over small
// overlay files built here. The children print to standard output; each test
// statement first points it at standard error, where the death test looks.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive.h"
#include "archive/entries.h"
#include "audio/mini_s3m.h"
#include "demo/startup.h"
#include "test_files.h"

namespace {

// The entries of a complete data set, music first, then the loading list in order,
// each exactly as long as the demo reads: runs of one byte (quick to pack).
std::vector<OverlayInput> FullDataSet()
{
    std::vector<OverlayInput> entries;
    MiniS3mOptions song;
    song.orders = 1;
    song.patterns = 1;
    song.rowsPerOrder = 4;
    entries.push_back({"music.s3m", BuildMiniS3m(song)});
    for (int i = 1; i < DataEntryCount && DataEntries[i].area == LoadingArea; ++i)
        entries.push_back({DataEntries[i].name, std::vector<uint8_t>(DataEntryNeeds(DataEntries[i]),
                                                                     DataEntries[i].kind == EntryMovement ? 0 : i)});
    return entries;
}

std::string WriteOverlay(const std::string& fileName, const std::vector<OverlayInput>& entries)
{
    return WriteOverlayFile(::testing::TempDir() + fileName, entries);
}

std::vector<OverlayInput> Without(std::vector<OverlayInput> entries, const std::string& name)
{
    std::erase_if(entries, [&](const OverlayInput& e) { return e.name == name; });
    return entries;
}

// Runs RunDemo over the overlay at `path` with standard output sent to stderr.
void RunDemoOn(const std::string& path)
{
    static std::string kept;
    kept = path;
    overlayName = kept.c_str();
    std::fflush(stdout);
    dup2(2, 1);
    RunDemo();
    std::fflush(stdout);
    std::_Exit(0);
}

class Timeline : public ::testing::Test {
protected:
    static void SetUpTestSuite() { full = new std::vector<OverlayInput>(FullDataSet()); }
    static void TearDownTestSuite() { delete full; }
    static std::vector<OverlayInput>* full;
};
std::vector<OverlayInput>* Timeline::full = nullptr;

}   // namespace

TEST_F(Timeline, DataThatCannotStartTheDemoEndsWithOneLine)
{
    auto badMusic = Without(*full, "music.s3m");
    badMusic.insert(badMusic.begin(), {"music.s3m", std::vector<uint8_t>(5000, 0x55)});
    std::string fifo = ::testing::TempDir() + "fifo-" + std::to_string(getpid()) + ".ovl";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, const char*> cases[] = {
        {::testing::TempDir() + "no-such-file.ovl", "ZOH_Init: Cannot open overlay file"},
        {WriteOverlay("nomusic.ovl", Without(*full, "music.s3m")), "ZOH_Open: music.s3m not found"},
        {WriteOverlay("badmusic.ovl", badMusic), "ZDS_Error: music.s3m is not a playable"},
        {fifo, "not a regular file"},
        {::testing::TempDir(), "not a regular file"},
    };
    for (const auto& [path, line] : cases)
        EXPECT_EXIT(RunDemoOn(path), ::testing::ExitedWithCode(1), line) << path;
    unlink(fifo.c_str());
}

TEST_F(Timeline, LoadingListIsReadInOrderAfterTheStartUpLines)
{
    // With only the first k entries of the list present, the run stops naming entry k.
    const std::vector<OverlayInput>& all = *full;   // music, then the list in order
    for (size_t k = 0; k + 1 < all.size(); ++k) {
        std::vector<OverlayInput> present(all.begin(), all.begin() + 1 + k);
        const std::string& missing = all[1 + k].name;
        std::string path = WriteOverlay("without-" + missing + ".ovl", present);
        std::string escaped = std::regex_replace(missing, std::regex("\\."), "\\.");
        EXPECT_EXIT(RunDemoOn(path), ::testing::ExitedWithCode(1),
                    "Decompressing music\\.\n.*ZVS_Init: Zerith Video System initializing\\.\n"
                    "ZVS_Init: Set 320x200 256 color mode\\.\nZOH_Init: Decompressing datas\\.\n"
                    "ZOH_Open: " +
                        escaped + " not found")
            << missing;
    }
}

TEST_F(Timeline, TwoDimensionalScenesRunThroughToTheFirstMeshScene)
{
    // The song lasts 4 rows; once it has ended every limit is passed, so scenes 1
    // to 10 draw one frame each (on a zero-filled data set), and scene 11 stops the
    // run because this data set has no meshes.
    std::string path = WriteOverlay("nomeshes.ovl", *full);
    EXPECT_EXIT(RunDemoOn(path), ::testing::ExitedWithCode(1),
                "ZOH_Init: Zerith Ovarlay Handler initializing\\.\nZOH_Init: Opening overlay file\\.\n"
                "ZOH_Init: Decompressing music\\.\n.*ZOH_Init: Decompressing datas\\.\n.*File not found!");
}

TEST_F(Timeline, EveryReadIsCheckedAgainstWhatTheEntryHolds)
{
    // A cut title picture is named with both figures; it never shows what the
    // previous entry left in the loading area.
    auto entries = *full;
    for (auto& e : entries)
        if (e.name == "tivrel.scx")
            e.data.resize(100);
    EXPECT_EXIT(RunDemoOn(WriteOverlay("cut-title.ovl", entries)), ::testing::ExitedWithCode(1),
                "ZOH_Read: tivrel.scx holds 100 bytes, the demo reads 64778\n");
    // A mesh entry too large for the scratch areas gives the archive's reason.
    entries = *full;
    entries.push_back({"star.3ds", std::vector<uint8_t>(150000, 7)});
    EXPECT_EXIT(RunDemoOn(WriteOverlay("big-mesh.ovl", entries)), ::testing::ExitedWithCode(1),
                "entry \"star\\.3ds\" has a bad stream or does not fit its area of 100000 bytes");
}

TEST_F(Timeline, FailedMemoryProbePrintsTwoLines)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address limits do not mix with the sanitizer's shadow memory";
#else
    // A fresh process: memory the earlier tests freed could otherwise serve the probe.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto limited = [] {
        std::fflush(stdout);
        dup2(2, 1);
        // Leave room for what is mapped now plus a little, but not for the probe.
        std::ifstream status("/proc/self/statm");
        long pages = 0;
        status >> pages;
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = rlim_t(pages) * sysconf(_SC_PAGESIZE) + 4 * 1024 * 1024;
        setrlimit(RLIMIT_AS, &limit);
        RunDemo();
        std::_Exit(0);
    };
    EXPECT_EXIT(limited(), ::testing::ExitedWithCode(1),
                "^ZDS_Error: Not enough memory!\nZDS_DeInit: Zerith Demo System deinitializing\\.\n$");
    GTEST_FLAG_SET(death_test_style, "fast");
#endif
}
