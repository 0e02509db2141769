// The demo's plan: each scene with the music order at which it ends, and the camera
// each mesh scene looks through. One table for everything that needs it: the
// player's scene table and scenes, `ovltool check` and `ovltool build` (which fits
// imported meshes to the cameras). SDL-free and player-free.
#pragma once
#include <cstdint>

// A scene's row. Orders are reported orders: the player's 0-based order + 1, in 8
// bits. `limit` is the largest reported order at which the scene keeps running; a
// scene starts when the player's 0-based order reaches the limit of the scene before
// it (0 for scene 1). A scene in parts (scene 2's three name credits) runs each part
// up to its `partLimits` entry, then the last part up to `limit`; 0 ends the list.
struct ScenePlanRow {
    int scene;           // 1..17
    const char* title;   // as --list-scenes and `ovltool check` show it
    uint8_t limit;
    uint8_t partLimits[2];
};
extern const ScenePlanRow ScenePlan[];
extern const int ScenePlanRows;   // 17

// The limit of scene `scene` (1..ScenePlanRows); 0 outside the plan.
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
