#include "archive/scene_plan.h"

#include <cstring>

// clang-format off
const ScenePlanRow ScenePlan[] = {
    { 1, "Opening tunnel and title",               6, {}},
    { 2, "Three name credits over a tunnel",      12, {8, 10}},
    { 3, "Travelling tunnel",                     16, {}},
    { 4, "Tunnel with lyrics band 1",             18, {}},
    { 5, "Tunnel",                                20, {}},
    { 6, "Tunnel with lyrics band 2",             22, {}},
    { 7, "Tunnel",                                24, {}},
    { 8, "Tunnel with lyrics band 3",             26, {}},
    { 9, "Tunnel",                                28, {}},
    {10, "Tunnel with lyrics band 4",             30, {}},
    {11, "Mesh scene: star.3ds",                  34, {}},
    {12, "Mesh scene: jo2.3ds over 8emp_g",       38, {}},
    {13, "Mesh scene: jo6.3ds on three axes",     42, {}},
    {14, "Mesh scene: part5.3ds over 8emp_g",     46, {}},
    {15, "Mesh scene: new4.3ds, fading out",      51, {}},
    {16, "Final scene: stucco1.3ds and the strip", 63, {}},
    {17, "Closing picture",                       64, {}},
};
// clang-format on
const int ScenePlanRows = int(sizeof ScenePlan / sizeof ScenePlan[0]);

uint8_t ScenePlanLimit(int scene) { return scene >= 1 && scene <= ScenePlanRows ? ScenePlan[scene - 1].limit : 0; }

int SceneStartOrder(int scene) { return scene <= 1 ? 0 : ScenePlanLimit(scene - 1); }

int FirstSceneNotReached(int32_t orderCount)
{
    for (int s = 1; s <= ScenePlanRows; s++)
        if (SceneStartOrder(s) >= orderCount)
            return s;
    return 0;
}

// Scenes 11..15 share one camera; the final scene looks from further away, at the
// lower left, turned a quarter on two axes. Radii of the default meshes: the star's
// arms, the torus, the knot, the twisted cube and the rings all reach about 128; the
// final scene's slab (280 x 560 x 60) reaches 314.5.
// clang-format off
const MeshCamera MeshCameras[] = {
    // entry         texture         scene centre    depth view  clip t,b,l,r      angles Z,Y,X  radius
    {"star.3ds",    "23mview.scx",  11,   160, 100, 300,  256,  0, 199, 0, 319,   0,  0,  0,    128.0},
    {"jo2.3ds",     "11cont.scx",   12,   160, 100, 300,  256,  0, 199, 0, 319,   0,  0,  0,    128.0},
    {"jo6.3ds",     "23mview2.scx", 13,   160, 100, 300,  256,  0, 199, 0, 319,   0,  0,  0,    128.0},
    {"part5.3ds",   "18soh3d.scx",  14,   160, 100, 300,  256,  0, 199, 0, 319,   0,  0,  0,    128.0},
    {"new4.3ds",    "15mview.scx",  15,   160, 100, 300,  256,  0, 199, 0, 319,   0,  0,  0,    128.0},
    {"stucco1.3ds", "14soh.scx",    16,    70, 160, 1000, 256,  0, 199, 0, 319,  90, 90,  0,    314.5},
};
// clang-format on
const int MeshCameraRows = int(sizeof MeshCameras / sizeof MeshCameras[0]);

const MeshCamera* FindMeshCamera(const char* entry)
{
    for (int i = 0; i < MeshCameraRows; i++)
        if (std::strcmp(MeshCameras[i].entry, entry) == 0)
            return &MeshCameras[i];
    return nullptr;
}

const MeshCamera* SceneMeshCamera(int scene)
{
    for (int i = 0; i < MeshCameraRows; i++)
        if (MeshCameras[i].scene == scene)
            return &MeshCameras[i];
    return nullptr;
}

double ScreenDiameter(const MeshCamera& camera, double radius)
{
    return 2 * radius * camera.viewDistance / double(camera.viewDistance + camera.depthOffset);
}

double NearestScreenDiameter(const MeshCamera& camera, double radius)
{
    const double w = camera.viewDistance + camera.depthOffset - radius;
    return w <= 0 ? 0 : 2 * radius * camera.viewDistance / w;
}
