// The settings file: what is written reads back the same, a damaged or unreadable
// file gives one warning and the defaults, and the command line wins for one run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "shell/options.h"
#include "shell/settings.h"
#include "test_files.h"

namespace {

// Settings with every field away from its default.
Settings Remembered()
{
    Settings s;
    s.haveMode = true;
    s.modeWidth = 800, s.modeHeight = 600, s.modeDepth = 16;
    s.windowed = s.nosound = true;
    s.aspect = Aspect4x3;
    s.vsync = false;
    s.scale = ScaleInteger;
    s.windowWidth = 1280, s.windowHeight = 960;
    s.volume = 0;
    return s;
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = ::testing::TempDir() + "settings-" + std::to_string(getpid());
        std::system(("rm -rf '" + home + "'").c_str());
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    }
    void TearDown() override { std::system(("rm -rf '" + home + "'").c_str()); }
    std::string home;
};

TEST_F(SettingsFile, WhatIsSavedIsReadBackAndTheFileLooksAsDocumented)
{
    EXPECT_EQ(SettingsPath(), home + "/tivrel/tivrel.cfg");
    const Settings saved = Remembered();
    std::string error;
    ASSERT_TRUE(SaveSettings(saved, &error)) << error;   // makes tivrel/ first
    EXPECT_EQ(Slurp(SettingsPath()), "# tivrel settings, written by tivrel\nmode = 800x600x16\nwindowed = yes\n"
                                     "nosound = yes\naspect = 4:3\nvsync = no\nscale = integer\n"
                                     "window = 1280x960\nvolume = 0\n");
    Settings loaded;
    std::string warning;
    LoadSettings(&loaded, &warning);
    EXPECT_EQ(warning, "");
    EXPECT_TRUE(loaded == saved);

    // No file at all is the defaults, without a word.
    std::remove(SettingsPath().c_str());
    Settings fresh;
    LoadSettings(&fresh, &warning);
    EXPECT_EQ(warning, "");
    EXPECT_TRUE(fresh == Settings{});
}

TEST_F(SettingsFile, DamagedOrUnreadableFilesGiveOneWarningAndTheDefaults)
{
    const std::string dir = home + "/tivrel";
    ASSERT_EQ(system(("mkdir -p '" + dir + "'").c_str()), 0);
    const std::pair<std::string, std::string> cases[] = {
        {"volume = 70\nvolume = 80\n", "line 2: \"volume\" given twice"},
        {"# ok\nwindowed = maybe\n", "line 2: bad value for \"windowed\""},
        {"volume = 101\n", "line 1: bad value for \"volume\""},
        {"mode = 640x480x8\n", "line 1: bad value for \"mode\""},
        {"window = 100x100\n", "line 1: bad value for \"window\""},
        {"colour = blue\n", "line 1: unknown key \"colour\""},
        {"just words\n", "line 1: expected \"key = value\""},
        {std::string("volume = 5\0\n", 12), "holds a NUL byte"},
        {std::string(70000, '#'), "longer than 64 KiB"},
    };
    for (const auto& [text, reason] : cases) {
        std::ofstream(SettingsPath(), std::ios::binary) << text;
        Settings loaded;
        std::string warning;
        LoadSettings(&loaded, &warning);
        EXPECT_TRUE(loaded == Settings{}) << reason;   // nothing of a damaged file is taken
        EXPECT_EQ(warning, "ignored the settings file " + SettingsPath() + ": " + reason + "; using the defaults");
    }
    // A folder in the file's place.
    std::remove(SettingsPath().c_str());
    ASSERT_EQ(mkdir(SettingsPath().c_str(), 0700), 0);
    Settings loaded;
    std::string warning;
    LoadSettings(&loaded, &warning);
    EXPECT_NE(warning.find("ignored the settings file"), std::string::npos) << warning;
    EXPECT_EQ(warning.find('\n'), std::string::npos);

    // Lines may be spaced freely, end in CR LF and come in any order.
    std::string text = " volume=35\r\n\n\tscale =  sharp \r\n";
    Settings spaced;
    std::string error;
    ASSERT_TRUE(ParseSettings(text.data(), text.size(), &spaced, &error)) << error;
    EXPECT_EQ(spaced.volume, 35);
    EXPECT_EQ(spaced.scale, ScaleSharp);
}

TEST_F(SettingsFile, TheCommandLineOverridesTheFileForOneRun)
{
    const Settings saved = Remembered();
    // A command line with no options overrides nothing.
    char program[] = "tivrel";
    char* argv[] = {program};
    ShellOptions given;
    std::string error;
    ASSERT_TRUE(ParseOptions(1, argv, &given, &error));
    EXPECT_TRUE(OverrideSettings(saved, given) == saved);

    given.windowed = 0;
    given.vsync = 1;
    given.volume = 90;
    given.nosound = true;
    given.aspect = AspectStretch;
    given.haveMode = true;
    given.modeWidth = 640, given.modeHeight = 480, given.modeDepth = 32;
    Settings expected = saved;   // the scale and the window size not given: the file's
    expected.windowed = false, expected.vsync = true, expected.volume = 90, expected.aspect = AspectStretch;
    expected.modeWidth = 640, expected.modeHeight = 480, expected.modeDepth = 32;
    EXPECT_TRUE(OverrideSettings(saved, given) == expected);
    EXPECT_TRUE(OverrideSettings(Settings{}, given).nosound);
}

TEST(SavedMode, PreselectsItsItemOrElseTheDesktops)
{
    const DisplayMode table[] = {{1024, 768, 32, 1}, {640, 480, 32, 1}, {1024, 768, 32, 1}, {640, 480, 16, 1}};
    Settings saved;
    EXPECT_EQ(SavedModeItem(saved, table, 4), 0);   // nothing saved: the first item, as designed
    saved.haveMode = true;
    saved.modeWidth = 640, saved.modeHeight = 480, saved.modeDepth = 16;
    EXPECT_EQ(SavedModeItem(saved, table, 4), 2);
    saved.modeDepth = 24;                            // no longer offered
    EXPECT_EQ(SavedModeItem(saved, table, 4), 1);    // the desktop's, 1024x768x32
    EXPECT_EQ(SavedModeItem(saved, table, 1), -1);   // an empty list
}

}   // namespace
