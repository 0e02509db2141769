// Scene 16 (the final scene: the mesh with its flattened second pass over the
// scrolling strip and the displaced background) and scene 17 (the closing picture).
#pragma once

// With play false only the set-up (and release) runs, no frames.
void RunFinalScene(bool play);
void RunClosingPicture(bool play);
