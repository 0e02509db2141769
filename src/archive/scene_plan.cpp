#include "archive/scene_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

// clang-format off
ScenePlanRow ScenePlan[] = {
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

const PlanLimits DesignPlanLimits = {{6, 12, 16, 18, 20, 22, 24, 26, 28, 30, 34, 38, 42, 46, 51, 63, 64}, {8, 10}};

void UsePlanLimits(const PlanLimits& limits)
{
    for (int i = 0; i < PlanScenes; i++)
        ScenePlan[i].limit = limits.ends[i];
    ScenePlan[1].partLimits[0] = limits.parts[0];
    ScenePlan[1].partLimits[1] = limits.parts[1];
}

PlanLimits PlanLimitsInForce()
{
    PlanLimits limits{};
    for (int i = 0; i < PlanScenes; i++)
        limits.ends[i] = ScenePlan[i].limit;
    limits.parts[0] = ScenePlan[1].partLimits[0];
    limits.parts[1] = ScenePlan[1].partLimits[1];
    return limits;
}

bool DesignPlanInForce() { return PlanLimitsInForce() == DesignPlanLimits; }

std::string PlanLimitsProblem(const PlanLimits& limits)
{
    char line[160];
    if (limits.ends[0] < 1)
        return "scene 1 ends at order 0; every scene needs at least one order";
    for (int i = 1; i < PlanScenes; i++)
        if (limits.ends[i] <= limits.ends[i - 1]) {
            std::snprintf(line, sizeof line, "scene %d ends at order %d, not after scene %d's %d", i + 1,
                          limits.ends[i], i, limits.ends[i - 1]);
            return line;
        }
    const int first = limits.ends[0], last = limits.ends[1];
    if (limits.parts[0] < first || limits.parts[1] < limits.parts[0] || limits.parts[1] > last) {
        std::snprintf(line, sizeof line,
                      "scene 2's part limits %d and %d are not in order within scene 2 (orders %d to %d)",
                      limits.parts[0], limits.parts[1], first + 1, last);
        return line;
    }
    return "";
}

bool FitPlanLimits(int32_t orderCount, PlanLimits* limits, std::string* error)
{
    if (orderCount < PlanScenes || orderCount > 255) {
        *error = "a fitted plan needs a module of 17 to 255 orders; this one has " + std::to_string(orderCount);
        return false;
    }
    const PlanLimits& design = DesignPlanLimits;
    const int designSpan = design.ends[PlanScenes - 2];   // orders of scenes 1..16 in the design
    const int span = orderCount - 1;
    auto scaled = [&](int limit) { return int(std::lround(double(limit) * span / designSpan)); };
    PlanLimits fitted{};
    // Each limit at least one past the one before and low enough to leave one order
    // for every scene after it.
    int previous = 0;
    for (int i = 0; i < PlanScenes - 1; i++) {
        const int highest = span - (PlanScenes - 2 - i);
        previous = std::clamp(scaled(design.ends[i]), previous + 1, highest);
        fitted.ends[i] = uint8_t(previous);
    }
    fitted.ends[PlanScenes - 1] = uint8_t(orderCount);
    ScalePartLimits(&fitted);
    *limits = fitted;
    return true;
}

void ScalePartLimits(PlanLimits* limits)
{
    const PlanLimits& design = DesignPlanLimits;
    const int first = limits->ends[0], last = limits->ends[1];
    const int designFirst = design.ends[0], designSpan = design.ends[1] - design.ends[0];
    auto scaled = [&](int part) {
        return first + int(std::lround(double(part - designFirst) * (last - first) / designSpan));
    };
    // Each part at least one order when scene 2 has room for three.
    const bool room = last - first >= 3;
    const int p0 = std::clamp(scaled(design.parts[0]), first + (room ? 1 : 0), std::max(first, last - (room ? 2 : 0)));
    const int p1 = std::clamp(scaled(design.parts[1]), p0 + (room ? 1 : 0), std::max(p0, last - (room ? 1 : 0)));
    limits->parts[0] = uint8_t(p0);
    limits->parts[1] = uint8_t(p1);
}

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
