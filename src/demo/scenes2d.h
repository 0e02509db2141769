// The 2D scenes 1..10: a texture-map kernel through CurrentMap each frame, with the
// title, name or lyrics overlays. Set-ups and frames as the scene table calls them.
#pragma once

// Scene 1: the morphing wave tunnel, the title from order 2, row 49.
void SetUpScene1();
void DrawScene1();
// Scene 2: one set-up, three frame loops that differ only in the name overlay.
void SetUpScene2();
void DrawName1();
void DrawName2();
void DrawName3();
// Scene 3: the travelling window of the big map.
void SetUpScene3();
void DrawScene3();
// Scenes 4..10: map, texture and extra colours from a small table; the frame is a
// kernel, plus a lyrics band in scenes 4, 6, 8 and 10.
void SetUpScene4();
void SetUpScene5();
void SetUpScene6();
void SetUpScene7();
void SetUpScene8();
void SetUpScene9();
void SetUpScene10();
void DrawScene4();
void DrawScene6();
void DrawScene8();
void DrawScene10();

// True when scene 1 shows the title at this music position: row + 64 * order > 176.
bool TitleVisible(int order, int row);
