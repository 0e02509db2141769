// The 3D scenes 11..15 and the mesh-scene loaders they share with the final scene.
#pragma once
#include <cstdint>

// Scenes 11..15: the scene's loader, then FrameBuffer pointed at the first object's
// target, the palette and background texture, the camera, TickCounters[0] = 0.
// Missing or malformed entries print their one-line message and end the process
// with status 1.
void SetUpScene11();
void SetUpScene12();
void SetUpScene13();
void SetUpScene14();
void SetUpScene15();
// One frame of the mesh scene set up last: every object turned by TickCounters[0],
// the fade of scene 15, the background through CurrentMap, the fill.
void DrawMeshScene();
// Releases the scene's objects; FrameBuffer designates the demo's frame again.
void EndMeshScene();

struct MeshObject;
struct MeshCamera;

// Mesh-scene loaders 1..6 (star, jo2, jo6, part5, new4: mode 4; stucco1: mode 3).
// Afterwards ObjectTable holds the entry's objects, the first with its mode, a
// 64,004-byte target and its texture, and ObjectTexturePalette the texture's palette.
void LoadMeshScene(int loader);

// Reads a picture entry's palette into ObjectTexturePalette and its 256x256 pixels
// into a newly allocated texture block of `object`; `name` is the entry's, for the
// message when it holds too few bytes.
void LoadObjectTexture(MeshObject* object, int32_t entry, const char* name);

// ParseMeshEntry over archive entry `entry` (cached reads); prints the reason and
// ends the process with status 1 on failure: the archive's reason when the entry
// cannot be decoded, "\376 This file is not a 3DS file!\n" for a wrong main chunk,
// "\376 Bad 3DS file: REASON!\n" for a mesh that lies about its structure.
void ReadMeshEntry(int32_t entry);

// Gives `object` the camera, clip rectangle and starting angles of `camera`.
void SetCamera(MeshObject* object, const MeshCamera& camera);

// Ends a mesh scene: FrameBuffer pointed at `frame` (the image it designated before
// the scene took it over), then every object of the table released (the first with
// its texture and target), so FrameBuffer never designates a released target.
void ReleaseMeshScene(uint8_t* frame);
