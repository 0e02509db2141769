// Scene 16 (the final scene: the mesh with its flattened second pass over the
// scrolling strip and the displaced background) and scene 17 (the closing picture).
#pragma once

void SetUpScene16();
void DrawScene16();
void EndScene16();   // restores the first object's own mapping, texture, target; releases
void SetUpScene17();
void DrawScene17();
