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
