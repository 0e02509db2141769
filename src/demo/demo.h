// The demo timeline: buffers, loading, timer and music start, scenes 1..17.
#pragma once

// First scene to show (1..17). Earlier scenes run their set-ups without frames so
// palettes and textures carry over; the music starts at the scene's first order.
extern int DemoStartScene;

// Runs the whole demo and returns after the closing picture. The music is muted
// (still advancing) when StartupOptions.soundOn is 0. Start-up failures
// (memory, missing overlay file or entry) print their line and exit with status 1.
void RunDemo();

// Scene limits: scene n (1..17) runs while the reported order is <= SceneLimit(n).
int SceneLimit(int scene);
