// The page player's entry points, called by the page script (tivrel-page.js). One
// WebAssembly instance plays one run: the page makes a fresh instance for every
// start, so a run that ends (or fails at start-up, which ends through exit as
// natively, the line printed first) leaves nothing behind for the next.
//
// The data file is a file in the working folder of the instance's memory file
// system, written by the page before any call and named as the page got it
// (tivrel.ovl, the last part of ?data=URL, a dropped file's name), so that messages
// name it as the native player names the file given with --data.
#include <emscripten.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "audio/audio.h"
#include "clock/tick_source.h"
#include "core/fail.h"
#include "core/pixels.h"
#include "core/png_write.h"
#include "core/shared.h"
#include "demo/frame_loop.h"
#include "demo/scene_table.h"
#include "demo/startup.h"
#include "shell/shell.h"
#include "shell/title_art.h"
#include "video/video.h"
#include "web/page_clock.h"
#include "web/page_present.h"
#include "web/web_audio_output.h"

namespace {

struct PageRun {
    std::string dataPath;
    FrameLoop loop;
    int untilScene = 0;    // ?until=N; 0: none
    uint32_t frames = 0;   // frames presented
    bool hidden = false;   // held while the page is hidden
};

PageRun Run;

bool PageFrameEnd(int scene, void*)
{
    Run.frames++;
    return Run.untilScene != 0 && UntilSceneReached(scene, Run.untilScene);
}

}   // namespace

extern "C" {

// The title picture at 213x133 R,G,B for the start screen, or 0 when the data file
// has none.
EMSCRIPTEN_KEEPALIVE const uint8_t* tivrel_page_title_art(const char* dataPath)
{
    static uint8_t art[TitleArtBytes];
    return LoadTitleArt(dataPath, art) ? art : nullptr;
}

// Starts a run of the data file `dataPath` at `scene` (1..; out of range: the nearest scene), ending after scene
// untilScene (0: at the end), sound on or off, volume 0..100. 0 when the first frame
// may be stepped; a start-up failure prints its line and exits (status 1).
EMSCRIPTEN_KEEPALIVE int tivrel_page_start(const char* dataPath, int scene, int untilScene, int soundOn, int volume)
{
    Run = PageRun{};
    Run.dataPath = dataPath;
    overlayName = Run.dataPath.c_str();
    StartupOptions = {0, 0, soundOn != 0 ? 1 : 0};
    Run.untilScene = untilScene;
    if (!AllocateTrueColorFrame())
        OutOfMemoryExit();
    UsePresentBackend(&PageBackend);
    if (!PageBackend.open(PresentSettings{}))
        return 1;
    UseTickSource(&PageTickSource);
    MusicInit(&WebAudioSoundOutput);
    SetMusicVolume(volume);
    DemoHooks hooks;
    hooks.frameEnd = PageFrameEnd;
    BeginDemo(&Run.loop, scene, hooks);
    return 0;
}

// One animation frame: the page clock's ticks, the sound topped up, then one step of
// the frame loop. Returns a FrameLoopState (0 running, 1 paused, 2 finished, 3 quit);
// after 2 or 3 the run is over and the music freed.
EMSCRIPTEN_KEEPALIVE int tivrel_page_step()
{
    if (Run.hidden)
        return Run.loop.paused ? FrameLoopPaused : FrameLoopRunning;
    AdvancePageClock();
    PumpWebAudio();
    const FrameLoopState state = StepFrameLoop(&Run.loop);
    if (state == FrameLoopFinished || state == FrameLoopQuit) {
        FreeMusic();
        MusicClose();
        StopFrameTimer();
        PageBackend.close();
    }
    return state;
}

// A key of the native player's: the KeyAction values of video/video.h; 100 quits
// (Escape), 101 toggles the information line.
EMSCRIPTEN_KEEPALIVE void tivrel_page_key(int action)
{
    if (action == 100)
        RequestPageQuit();
    else if (action == 101)
        ShowInfoLine(!InfoLineShown());
    else
        PushKeyAction(KeyAction(action));
}

// The page hidden (1) or shown again (0): picture and music held together, outside
// the user's pause, and going on together.
EMSCRIPTEN_KEEPALIVE void tivrel_page_hidden(int hidden)
{
    if ((hidden != 0) == Run.hidden)
        return;
    Run.hidden = hidden != 0;
    if (Run.loop.paused)
        return;   // the user's pause already holds both
    if (Run.hidden) {
        StopFrameTimer();
        PauseMusic();
    } else {
        ResumeMusic();
        StartFrameTimer();
    }
}

// scene, order, row, frames presented, paused (0/1), underruns, into out[0..5].
EMSCRIPTEN_KEEPALIVE void tivrel_page_state(int32_t* out)
{
    const int row = Run.loop.row < Run.loop.count ? Run.loop.row : Run.loop.count - 1;
    out[0] = Run.loop.count > 0 ? Run.loop.rows[row].number : 0;
    out[1] = MusicPosition.order;
    out[2] = MusicPosition.row;
    out[3] = int32_t(Run.frames);
    out[4] = Run.loop.paused || Run.hidden ? 1 : 0;
    out[5] = WebAudioUnderruns();
}

// The frame on screen as an indexed 320x200 PNG (the palette in force); *size gets
// its bytes. Valid until the next call; 0 when it cannot be encoded.
EMSCRIPTEN_KEEPALIVE const uint8_t* tivrel_page_png(int32_t* size)
{
    static std::vector<uint8_t> png;
    std::string error;
    if (FrameBuffer == nullptr ||
        !EncodeIndexedPng(FrameBuffer, ScreenWidth, ScreenHeight, DevicePalette, &png, &error))
        return nullptr;
    *size = int32_t(png.size());
    return png.data();
}

}   // extern "C"
