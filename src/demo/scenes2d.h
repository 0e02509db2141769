// The 2D scenes 1..10: a texture-map kernel through CurrentMap each frame, with the
// title, name or lyrics overlays. Called in order by RunDemo.
#pragma once

// Runs scene `scene` (1..10): its set-up, then, when `play` is true, its frames
// until the reported music order passes the scene's limit (at least one frame).
// Scene 2 runs its three overlay parts (limits 8, 10, 12) as one scene.
void RunTunnelScene(int scene, bool play);

// True when scene 1 shows the title at this music position: row + 64 * order > 176.
bool TitleVisible(int order, int row);
