// The scene table: the plan's rows with each scene's steps. Scene 2 runs its three
// parts up to the plan's part limits, then its own limit.
#include "demo/scene_table.h"

#include "archive/scene_plan.h"
#include "demo/buffers.h"
#include "demo/final_scene.h"
#include "demo/scenes2d.h"
#include "demo/scenes3d.h"
#include "effects/effects.h"

// A row's number, name and limit from the plan: the whole scene n, or part p (0, 1)
// of a scene in parts.
#define Plan(n) ScenePlan[(n)-1]
#define SCENE(n) n, Plan(n).title, &Plan(n).limit
#define SCENE_PART(n, p) n, Plan(n).title, &Plan(n).partLimits[p]

// clang-format off
const SceneRow SceneTable[] = {
    //                  between            set-up        frame          end
    {SCENE(1),          nullptr,           SetUpScene1,  DrawScene1,    nullptr},
    {SCENE_PART(2, 0),  nullptr,           SetUpScene2,  DrawName1,     nullptr},
    {SCENE_PART(2, 1),  nullptr,           nullptr,      DrawName2,     nullptr},
    {SCENE(2),          nullptr,           nullptr,      DrawName3,     nullptr},
    {SCENE(3),          nullptr,           SetUpScene3,  DrawScene3,    nullptr},
    {SCENE(4),          nullptr,           SetUpScene4,  DrawScene4,    nullptr},
    {SCENE(5),          nullptr,           SetUpScene5,  MapEffect4,    nullptr},
    {SCENE(6),          nullptr,           SetUpScene6,  DrawScene6,    nullptr},
    {SCENE(7),          nullptr,           SetUpScene7,  MapEffect6,    nullptr},
    {SCENE(8),          nullptr,           SetUpScene8,  DrawScene8,    nullptr},
    {SCENE(9),          nullptr,           SetUpScene9,  MapEffect6,    nullptr},
    {SCENE(10),         nullptr,           SetUpScene10, DrawScene10,   nullptr},
    {SCENE(11),         ReleaseTunnelMaps, SetUpScene11, DrawMeshScene, EndMeshScene},
    {SCENE(12),         nullptr,           SetUpScene12, DrawMeshScene, EndMeshScene},
    {SCENE(13),         nullptr,           SetUpScene13, DrawMeshScene, EndMeshScene},
    {SCENE(14),         nullptr,           SetUpScene14, DrawMeshScene, EndMeshScene},
    {SCENE(15),         nullptr,           SetUpScene15, DrawMeshScene, EndMeshScene},
    {SCENE(16),         nullptr,           SetUpScene16, DrawScene16,   EndScene16},
    {SCENE(17),         nullptr,           SetUpScene17, DrawScene17,   nullptr},
};
// clang-format on
#undef Plan
#undef SCENE
#undef SCENE_PART

const int SceneTableRows = int(sizeof SceneTable / sizeof SceneTable[0]);

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
            limit = *rows[i].limit;
    return limit;
}
