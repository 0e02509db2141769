// The 3D scenes 11..15 and the mesh-scene loaders they share with the final scene.
#pragma once
#include <cstdint>

// Palette of the texture loaded by the last LoadObjectTexture (768 bytes); the
// demo allocates it with its working buffers.
extern uint8_t* ObjectTexturePalette;

// The 8emp_g TexturePicture (768-byte palette, then 65,536 pixels) used as the
// background of scenes 12 and 14; set by the demo after loading.
extern const uint8_t* Emp8gPicture;

// Runs 3D scene `scene` (11..15): loader, set-up, frames until the music order
// passes the scene's limit, release. With play false only the set-up and the
// release run (for starting the demo at a later scene). Missing or malformed
// entries print their one-line message and end the process with status 1.
void RunMeshScene(int scene, bool play);

struct MeshObject;

// Mesh-scene loaders 1..6 (star, jo2, jo6, part5, new4: mode 4; stucco1: mode 3).
// Afterwards ObjectTable holds the entry's objects, the first with its mode, a
// 64,004-byte target and its texture, and ObjectTexturePalette the texture's palette.
void LoadMeshScene(int loader);

// Reads a picture entry's palette into ObjectTexturePalette and its 256x256 pixels
// into a newly allocated texture block of `object`.
void LoadObjectTexture(MeshObject* object, int32_t entry);

// ParseMeshEntry over archive entry `entry` (cached reads); prints the reason and
// ends the process with status 1 on failure ("\376 This file is not a 3DS file!\n"
// for a wrong main chunk).
void ReadMeshEntry(int32_t entry);

// Ends a mesh scene: FrameBuffer pointed at `frame` (the image it designated before
// the scene took it over), then every object of the table released (the first with
// its texture and target), so FrameBuffer never designates a released target.
void ReleaseMeshScene(uint8_t* frame);
