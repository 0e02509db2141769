// The timedemo runs the whole demo and prints every figure it promises: the machine,
// the capture's speed, one line per kernel, overlay, fill, packer, mesh scene and the
// decoder. Only the presence and form of the lines are checked, never the figures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "test_files.h"

namespace {

const std::string BuildDir = TIVREL_BUILD_DIR;

TEST(Bench, PrintsEveryFigure)
{
    if (!std::filesystem::exists(BuildDir + "/tivrel") || !std::filesystem::exists(BuildDir + "/tivrel.ovl"))
        GTEST_SKIP() << "needs the built program and default data in " << BuildDir;
    const CommandOutcome run = RunCommand("cd " + BuildDir + " && ./tivrel --bench --data tivrel.ovl 2>&1");
    const std::string& out = run.out;
    ASSERT_EQ(run.status, 0) << out;

    EXPECT_EQ(out.find("bench: machine cpu=\""), out.find("bench: ")) << "the machine comes first\n" << out;
    EXPECT_TRUE(std::regex_search(out, std::regex(R"(bench: machine cpu="[^"\n]+" cores=[1-9])"))) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex(R"(bench: capture realtime_factor=[0-9.]+ )"))) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex(R"(bench: fps=[0-9]+\n)"))) << out;
    const char* items[] = {
        "WaveTunnel",
        "MapEffect1",
        "MapEffect2",
        "MapEffect3",
        "MapEffect4",
        "MapEffect5",
        "MapEffect6",
        "MapEffect7",
        "MapEffect8",
        "BackgroundEffect1",
        "BackgroundEffect2",
        "SelectMovementWindow",
        "OverlayTitle",
        "OverlayName1",
        "OverlayName2",
        "OverlayName3",
        "OverlayLyrics1",
        "OverlayLyrics2",
        "OverlayLyrics3",
        "OverlayLyrics4",
        "FillFromBackground",
        "expand",
        "pack565",
        "pack555",
        "pack24",
        "pack32",
        "expand_pack565",
        "expand_pack555",
        "expand_pack24",
        "expand_pack32",
        "scene11_star",
        "scene12_jo2",
        "scene13_jo6",
        "scene14_part5",
        "scene15_new4",
        "scene16_final",
    };
    for (const char* item : items)
        EXPECT_TRUE(std::regex_search(out, std::regex(std::string("bench: ") + item + R"( us_per_frame=[0-9.]+\n)")))
            << item << "\n"
            << out;
    EXPECT_TRUE(std::regex_search(out, std::regex(R"(bench: decode mb_per_s=[0-9]+ entry=\S+\.scx )"))) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex(R"(bench: decode_text mb_per_s=[0-9]+ )"))) << out;
}

}   // namespace
