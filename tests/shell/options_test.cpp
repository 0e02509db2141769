// The command line: defaults stay those of the setup dialog, extras are opt-in, and
// every malformed value is refused with a reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/options.h"

namespace {

bool Parse(const std::vector<const char*>& args, ShellOptions* options, std::string* error)
{
    std::vector<char*> argv{const_cast<char*>("tivrel")};
    for (const char* a : args)
        argv.push_back(const_cast<char*>(a));
    return ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

// What the settings file holds is left alone too (the settings tests).
TEST(Options, NoArgumentsLeaveEverythingToTheDialog)
{
    ShellOptions o;
    std::string error;
    ASSERT_TRUE(Parse({}, &o, &error));
    EXPECT_FALSE(o.help || o.noDialog || o.noConfig || o.capture);
    EXPECT_TRUE(o.dataPath.empty());
    EXPECT_EQ(o.scene, 0);
}

TEST(Options, EveryOptionTakesEffectInBothSpellings)
{
    ShellOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--windowed", "--nosound", "--mode", "640x480x16", "--no-dialog", "--data=x/y.ovl", "--aspect",
                       "4:3", "--vsync", "--scene=17"},
                      &o, &error))
        << error;
    EXPECT_EQ(o.windowed, 1);
    EXPECT_TRUE(o.nosound);
    EXPECT_TRUE(o.haveMode);
    EXPECT_EQ(o.modeWidth, 640);
    EXPECT_EQ(o.modeHeight, 480);
    EXPECT_EQ(o.modeDepth, 16);
    EXPECT_TRUE(o.noDialog);
    EXPECT_EQ(o.dataPath, "x/y.ovl");
    EXPECT_EQ(o.aspect, Aspect4x3);
    EXPECT_EQ(o.vsync, 1);
    EXPECT_EQ(o.scene, 17);

    ShellOptions live;
    ASSERT_TRUE(Parse({"--window", "1280x800", "--scale=integer", "--volume", "0", "--no-vsync", "--no-config",
                       "--version", "--list-modes"},
                      &live, &error))
        << error;
    EXPECT_EQ(live.windowWidth, 1280);
    EXPECT_EQ(live.windowHeight, 800);
    EXPECT_EQ(live.windowed, 1);   // --window implies --windowed
    EXPECT_TRUE(live.noDialog);    // and so makes the dialog moot
    EXPECT_EQ(live.scale, ScaleInteger);
    EXPECT_EQ(live.volume, 0);
    EXPECT_EQ(live.vsync, 0);
    EXPECT_TRUE(live.noConfig && live.version && live.listModes);
    for (const char* scale : {"stretch", "sharp"}) {
        ShellOptions s;
        ASSERT_TRUE(Parse({"--scale", scale, "--volume=100"}, &s, &error));
        EXPECT_EQ(s.scale, std::string(scale) == "sharp" ? ScaleSharp : ScaleStretch);
        EXPECT_EQ(s.volume, 100);
        EXPECT_FALSE(s.noDialog);
    }

    ShellOptions later;
    ASSERT_TRUE(Parse({"--windowed", "--fullscreen", "--aspect=4:3", "--aspect", "stretch"}, &later, &error));
    EXPECT_EQ(later.windowed, 0);   // the last of the two wins
    EXPECT_EQ(later.aspect, AspectStretch);
}

TEST(Options, CaptureImpliesNoDialogAndCarriesItsSettings)
{
    ShellOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--capture", "out", "--frames", "0:9,20", "--video", "v.mp4", "--video-size", "640x400",
                       "--max-seconds=99999"},
                      &o, &error))
        << error;
    EXPECT_TRUE(o.capture);
    EXPECT_TRUE(o.noDialog);
    EXPECT_EQ(o.captureSettings.directory, "out");
    EXPECT_FALSE(o.captureSettings.frames.all);
    EXPECT_TRUE(FrameListContains(o.captureSettings.frames, 20));
    EXPECT_FALSE(FrameListContains(o.captureSettings.frames, 10));
    EXPECT_EQ(o.captureSettings.videoPath, "v.mp4");
    EXPECT_EQ(o.captureSettings.videoWidth, 640);
    EXPECT_EQ(o.captureSettings.videoHeight, 400);
    EXPECT_EQ(o.captureMaxSeconds, 99999);

    ShellOptions plain;
    ASSERT_TRUE(Parse({"--capture", "out"}, &plain, &error));
    EXPECT_TRUE(plain.captureSettings.frames.all);
    EXPECT_TRUE(plain.captureSettings.videoPath.empty());
    EXPECT_EQ(plain.captureSettings.videoWidth, 1280);
    EXPECT_EQ(plain.captureSettings.videoHeight, 800);
    EXPECT_EQ(plain.captureMaxSeconds, 3600);
}

TEST(Options, BadOptionsAndValuesAreRefusedWithAReason)
{
    const std::vector<std::vector<const char*>> bad = {
        {"--bogus"},
        {"--scene", "1\n2"},   // the reason quotes it on one line
        {"-w"},
        {"windowed"},
        {"--mode"},
        {"--mode", "640x480"},
        {"--mode", "640x480x"},
        {"--mode", "0x480x32"},
        {"--mode", "640x480x32x"},
        {"--mode", "640X480X32"},
        {"--mode", "-640x480x32"},
        {"--mode", "999999x480x32"},
        {"--aspect", "16:9"},
        {"--aspect"},
        {"--window", "1279x"},
        {"--window", "100x100"},   // under half the picture
        {"--window", "20000x800"},
        {"--window", "640x400", "--fullscreen"},
        {"--scale", "nearest"},
        {"--scale"},
        {"--volume", "101"},
        {"--volume", "-1"},
        {"--volume", "5%"},
        {"--volume", ""},
        {"--no-vsync=1"},
        {"--version=2"},
        {"--scene", "0"},
        {"--scene", "18"},
        {"--scene", "3a"},
        {"--scene", ""},
        {"--data", ""},
        {"--windowed=1"},
        {"--capture"},
        {"--capture", ""},
        {"--frames", "0:9"},
        {"--video", "v.mp4"},
        {"--capture", "d", "--frames", "9:0"},
        {"--capture", "d", "--video", "v.mp4", "--video-size", "641x400"},
        {"--capture", "d", "--video", "v.mp4", "--video-size", "1280"},
        {"--capture", "d", "--video", "v.mp4", "--video-size", "9000x400"},
        {"--capture", "d", "--video-size", "640x400"},
        {"--max-seconds", "60"},
        {"--capture", "d", "--max-seconds", "0"},
        {"--capture", "d", "--max-seconds", "100000"},
        {"--capture", "d", "--max-seconds", "1.5"},
        {"--capture", "d", "--max-seconds", "-5"},
        {"--capture", "d", "--max-seconds"},
    };
    for (const auto& args : bad) {
        std::string shown;
        for (const char* a : args)
            shown += std::string(a) + " ";
        ShellOptions o;
        std::string error;
        EXPECT_FALSE(Parse(args, &o, &error)) << shown;
        EXPECT_FALSE(error.empty()) << shown;
        EXPECT_EQ(error.find('\n'), std::string::npos) << shown;
    }
}

// --loop's count is optional (the next argument only when it is a number); --kiosk
// is full screen in the desktop's mode without dialog, sound or settings file,
// forever unless --loop counts; a capture needs a count.
TEST(Options, LoopTakesAnOptionalCountAndKioskCombinesTheUnattendedOptions)
{
    const std::pair<std::vector<const char*>, int> counts[] = {
        {{}, 1}, {{"--loop"}, 0}, {{"--loop", "3"}, 3}, {{"--loop=7", "--nosound"}, 7}, {{"--loop", "--nosound"}, 0}};
    for (const auto& [args, runs] : counts) {
        ShellOptions o;
        std::string error;
        ASSERT_TRUE(Parse(args, &o, &error)) << error;
        EXPECT_EQ(o.runs, runs) << (args.empty() ? "none" : args[0]);
    }
    ShellOptions kiosk;
    std::string error;
    ASSERT_TRUE(Parse({"--kiosk"}, &kiosk, &error)) << error;
    EXPECT_EQ(kiosk.windowed, 0);
    EXPECT_TRUE(kiosk.nosound && kiosk.noConfig && kiosk.noDialog && !kiosk.haveMode);
    EXPECT_EQ(kiosk.runs, 0);
    ShellOptions counted;
    ASSERT_TRUE(Parse({"--loop", "2", "--kiosk"}, &counted, &error)) << error;
    EXPECT_EQ(counted.runs, 2);

    ShellOptions refused;
    EXPECT_FALSE(Parse({"--loop", "0"}, &refused, &error));
    EXPECT_EQ(error, "bad --loop \"0\": expected a count from 1 to 99999");
    EXPECT_FALSE(Parse({"--capture", "out", "--loop"}, &refused, &error));
    EXPECT_EQ(error, "--loop needs a count with --capture");
    ShellOptions capture;
    ASSERT_TRUE(Parse({"--capture", "out", "--loop", "3"}, &capture, &error)) << error;
    EXPECT_EQ(capture.runs, 3);
}

TEST(Options, SceneCountAndNamesComeFromTheSceneTable)
{
    ShellOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--list-scenes"}, &o, &error)) << error;
    EXPECT_TRUE(o.listScenes);
    std::string list = SceneListText();
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 17);
    EXPECT_EQ(list.find("   1  "), 0u);
    EXPECT_NE(UsageText().find("start at scene N (1..17)"), std::string::npos);
    EXPECT_NE(UsageText().find(list), std::string::npos);
}

TEST(Options, ModeLookupPrefersTheListedEntryOverTheDesktop)
{
    DisplayMode table[] = {{1024, 768, 32, 1}, {640, 480, 32, 1}, {1024, 768, 32, 1}, {640, 480, 16, 1}};
    EXPECT_EQ(FindModeIndex(table, 4, 1024, 768, 32), 2);
    EXPECT_EQ(FindModeIndex(table, 4, 640, 480, 16), 3);
    EXPECT_EQ(FindModeIndex(table, 2, 1024, 768, 32), 0);   // only the desktop has it
    EXPECT_EQ(FindModeIndex(table, 4, 800, 600, 32), -1);
    EXPECT_EQ(FindModeIndex(table, 0, 1024, 768, 32), -1);
}

}   // namespace
