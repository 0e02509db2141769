// The demo's plan: each scene with the music order at which it ends, and the camera
// each mesh scene looks through. One table for everything that needs it: the
// player's scene table and scenes, `ovltool check` and `ovltool build` (which fits
// imported meshes to the cameras). SDL-free and player-free.
#pragma once
#include <cstdint>
#include <string>

// A scene's row. Orders are reported orders: the player's 0-based order + 1, in 8
// bits. `limit` is the largest reported order at which the scene keeps running; a
// scene starts when the player's 0-based order reaches the limit of the scene before
// it (0 for scene 1). A scene in parts (scene 2's three name credits) runs each part
// up to its `partLimits` entry, then the last part up to `limit`; 0 ends the list.
//
// ScenePlan is the plan in force: the design's limits (DesignPlanLimits) unless a
// data file's plan entry replaced them (UsePlanLimits). Everything that needs a
// limit reads it here: the scene table points at these rows.
struct ScenePlanRow {
    int scene;           // 1..17
    const char* title;   // as --list-scenes and `ovltool check` show it
    uint8_t limit;
    uint8_t partLimits[2];
};
extern ScenePlanRow ScenePlan[];
extern const int ScenePlanRows;   // 17
constexpr int PlanScenes = 17;

// The limits of a plan: each scene's limit and scene 2's two part limits.
struct PlanLimits {
    uint8_t ends[PlanScenes];
    uint8_t parts[2];
    bool operator==(const PlanLimits&) const = default;
};
extern const PlanLimits DesignPlanLimits;   // 6, 12, ..., 64; parts 8, 10
// Makes `limits` the plan in force (the caller has checked them: PlanLimitsProblem).
void UsePlanLimits(const PlanLimits& limits);
PlanLimits PlanLimitsInForce();
bool DesignPlanInForce();
// "" when `limits` is a plan the player can run: every scene at least one order
// (limits rising from at least 1), scene 2's part limits within scene 2 and in
// order; else the first rule broken, one line ("scene 5 ends at order 18, not after
// scene 4's 18").
std::string PlanLimitsProblem(const PlanLimits& limits);
// The design's proportions over a module of `orderCount` orders: scenes 1..16 over
// the first orderCount - 1 orders, each limit the design's scaled and rounded to a
// whole order, raised where needed so every scene keeps at least one order, and
// scene 17 the last order, so the fades of scenes 15 and 16 stay on their scene's
// last order (and scene 16's from row 32) as in the design. Scene 2's part limits are
// scaled the same way and kept inside scene 2. False (with *error) below 17 orders or
// above 255.
bool FitPlanLimits(int32_t orderCount, PlanLimits* limits, std::string* error);

// Scene 2's part limits in the design's proportions within scene 2 of *limits
// (ends[0] + 1 .. ends[1]), each part at least one order when scene 2 has three.
void ScalePartLimits(PlanLimits* limits);

// The limit of scene `scene` (1..ScenePlanRows) in force; 0 outside the plan.
uint8_t ScenePlanLimit(int scene);
// The player order at which scene `scene` (1..17) starts.
int SceneStartOrder(int scene);
// The first scene the module never reaches (it then shows one frame), or 0 when it
// reaches all of them: a module of orderCount orders reaches player orders 0..orderCount-1.
int FirstSceneNotReached(int32_t orderCount);

// The camera of a mesh scene, as the scene gives it to the first object of its
// entry before the first frame, and the radius (largest distance of a vertex from
// the mesh's centre, model units) its default mesh has: imported meshes are fitted
// to it. A point at depth z (model units, after rotation) lands viewDistance /
// (viewDistance + depthOffset + z) times its size on screen in pixels, centred on
// (centreX, centreY); points with viewDistance + depthOffset + z <= 0 are behind
// the eye and dropped. Angles in whole degrees.
struct MeshCamera {
    const char* entry;          // the mesh entry
    const char* textureEntry;   // its texture: palette and 256x256 pixels
    int scene;
    int32_t centreX, centreY, depthOffset, viewDistance;
    int32_t clipTop, clipBottom, clipLeft, clipRight;
    int32_t angleZ, angleY, angleX;
    double fitRadius;
};
extern const MeshCamera MeshCameras[];
extern const int MeshCameraRows;   // 6: scenes 11..16
const MeshCamera* FindMeshCamera(const char* entry);
// The camera of scene `scene` (11..16), or nullptr.
const MeshCamera* SceneMeshCamera(int scene);
// Pixels across of a sphere of `radius` centred on the camera's axis: at its centre's
// depth, and at its nearest point (0 when part of it is behind the eye).
double ScreenDiameter(const MeshCamera& camera, double radius);
double NearestScreenDiameter(const MeshCamera& camera, double radius);
