#include <SDL.h>

#include <cstdlib>

#include "audio/audio.h"
#include "shell/shell.h"
#include "clock/tick_source.h"
#include "video/window.h"

void QuitSequence()
{
    if (!StopMusic())
        ShowMessage("", "StopSong");
    if (!FreeMusic())
        ShowMessage("", "FreeSong");
    MusicClose();
    CurrentPresentBackend()->close();
    StopFrameTimer();
    SDL_Quit();
    std::exit(0);
}
