// The frame loop over a scene table.
#include "demo/demo.h"

#include "audio/audio.h"
#include "video/video.h"

void (*FrameEndStep)(int scene) = nullptr;

int SceneCount(const SceneRow* rows, int count) { return count > 0 ? rows[count - 1].number : 0; }

const char* SceneName(const SceneRow* rows, int count, int number)
{
    for (int i = 0; i < count; i++)
        if (rows[i].number == number)
            return rows[i].name;
    return nullptr;
}

int SceneLimit(const SceneRow* rows, int count, int number)
{
    int limit = 0;
    for (int i = 0; i < count; i++)
        if (rows[i].number == number)
            limit = rows[i].limit;
    return limit;
}

DemoEnd RunScenes(const SceneRow* rows, int count, int firstScene)
{
    for (int i = 0; i < count; i++) {
        const SceneRow& row = rows[i];
        if (row.between != nullptr)
            row.between();
        if (row.setUp != nullptr)
            row.setUp();
        bool quit = false;
        if (row.number >= firstScene) {
            do {
                row.frame();
                UpdateMusicPosition();
                PresentFrame();
                if (FrameEndStep != nullptr)
                    FrameEndStep(row.number);
                quit = QuitRequested;
            } while (!quit && MusicPosition.order <= row.limit);
        }
        if (row.end != nullptr)
            row.end();
        if (quit)
            return DemoQuit;
    }
    return DemoFinished;
}
