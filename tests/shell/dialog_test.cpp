// The setup dialog under SDL's dummy video driver, driven by queued key events.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>

#include "shell/dialog.h"

namespace {

class SetupDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(DiscoverModes(), 1);
        SDL_InitSubSystem(SDL_INIT_TIMER);
    }
    void SetUp() override
    {
        DisplayModeTable[0] = {1024, 768, 32, 1};
        DisplayModeTable[1] = {640, 480, 32, 1};
        DisplayModeTable[2] = {800, 600, 32, 1};
        DisplayModeTable[3] = {640, 480, 16, 0};
        DisplayModeCount = 4;
        StartupOptions = {0, 0, 1};
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        // A dialog that never sees the queued key still ends (as Exit) instead of hanging.
        watchdog = SDL_AddTimer(
            10000,
            [](Uint32, void*) -> Uint32 {
                SDL_Event quit{};
                quit.type = SDL_QUIT;
                SDL_PushEvent(&quit);
                return 0;
            },
            nullptr);
    }
    void TearDown() override { SDL_RemoveTimer(watchdog); }

    static void Key(SDL_Keycode key)
    {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = key;
        event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
        SDL_PushEvent(&event);
    }
    SDL_TimerID watchdog = 0;
};

// Either Enter runs the demo with the controls as they stand: on opening, the first
// listed mode and the defaults; item p names table entry p + 1, and with an empty
// list (only the desktop's mode) no item, which runs entry 0.
TEST_F(SetupDialog, EnterRunsTheDemoWithTheControlsAsTheyStand)
{
    struct Case {
        const char* what;
        int modes, item;
        bool windowed, nosound;
        SDL_Keycode key;
        StartupOptionsState expect;
    };
    const Case cases[] = {
        {"as opened", 4, 0, false, false, SDLK_RETURN, {1, 0, 1}},
        {"preset", 4, 2, true, true, SDLK_KP_ENTER, {3, 1, 0}},
        {"empty list", 1, -1, false, false, SDLK_RETURN, {0, 0, 1}},
    };
    for (const Case& c : cases) {
        DisplayModeCount = c.modes;
        StartupOptions = {7, 7, 7};
        DialogChoice choice;
        choice.selectedItem = c.item;
        choice.windowed = c.windowed;
        choice.nosound = c.nosound;
        Key(c.key);
        ASSERT_EQ(RunSetupDialog(nullptr, &choice), DialogRunDemo) << c.what;
        const StartupOptionsState options = StartupOptionsFor(choice);
        EXPECT_EQ(options.selectedMode, c.expect.selectedMode) << c.what;
        EXPECT_EQ(options.windowed, c.expect.windowed) << c.what;
        EXPECT_EQ(options.soundOn, c.expect.soundOn) << c.what;
    }
}

// The keyboard alone: Tab moves the focus (none at first) over the mode, the check
// boxes and the buttons, Space works the focused control, Enter presses a focused
// button or else "Run Demo".
TEST_F(SetupDialog, TheKeyboardReachesEveryControl)
{
    DialogChoice choice;
    Key(SDLK_TAB);    // the mode list
    Key(SDLK_DOWN);   // 800x600x32
    Key(SDLK_TAB);    // Windowed
    Key(SDLK_SPACE);
    Key(SDLK_TAB);   // Nosound
    Key(SDLK_TAB);   // Vsync
    Key(SDLK_SPACE);
    Key(SDLK_TAB);   // Keep 4:3
    Key(SDLK_SPACE);
    Key(SDLK_RETURN);
    ASSERT_EQ(RunSetupDialog(nullptr, &choice), DialogRunDemo);
    EXPECT_EQ(choice.selectedItem, 1);
    EXPECT_TRUE(choice.windowed);
    EXPECT_FALSE(choice.nosound);
    EXPECT_FALSE(choice.vsync);
    EXPECT_TRUE(choice.aspect4x3);
    EXPECT_EQ(StartupOptionsFor(choice).selectedMode, 2);

    // Shift+Tab from nothing reaches "About"; once more "Exit", which Enter presses.
    SDL_Event back{};
    back.type = SDL_KEYDOWN;
    back.key.keysym.sym = SDLK_TAB;
    back.key.keysym.mod = KMOD_LSHIFT;
    SDL_PushEvent(&back);
    SDL_PushEvent(&back);
    Key(SDLK_RETURN);
    EXPECT_EQ(RunSetupDialog(nullptr, &choice), DialogExit);
}

TEST_F(SetupDialog, EscapeAndClosingLeaveWithoutTouchingTheOptions)
{
    StartupOptions = {7, 1, 0};
    DialogChoice choice;
    Key(SDLK_ESCAPE);
    Key(SDLK_RETURN);   // comes too late: the dialog has already ended
    EXPECT_EQ(RunSetupDialog(nullptr, &choice), DialogExit);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_EQ(RunSetupDialog(nullptr, &choice), DialogExit);
    EXPECT_EQ(StartupOptions.selectedMode, 7);
    EXPECT_EQ(StartupOptions.windowed, 1);
    EXPECT_EQ(StartupOptions.soundOn, 0);
}

}   // namespace
