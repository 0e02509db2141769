// The demo as data: every scene with the order at which it ends and the functions
// that set it up, draw its frames and end it. Limits are reported orders (the
// player's 0-based order + 1).
#include "demo/demo.h"
#include "demo/final_scene.h"
#include "demo/scenes2d.h"
#include "demo/scenes3d.h"
#include "demo/timeline.h"
#include "effects/effects.h"

// clang-format off
const SceneRow SceneTable[] = {
    // #  name                                     limit between            set-up        frame          end
    { 1, "Opening tunnel and title",               6,   nullptr,           SetUpScene1,  DrawScene1,    nullptr},
    { 2, "Three name credits over a tunnel",       8,   nullptr,           SetUpScene2,  DrawName1,     nullptr},
    { 2, "Three name credits over a tunnel",       10,  nullptr,           nullptr,      DrawName2,     nullptr},
    { 2, "Three name credits over a tunnel",       12,  nullptr,           nullptr,      DrawName3,     nullptr},
    { 3, "Travelling tunnel",                      16,  nullptr,           SetUpScene3,  DrawScene3,    nullptr},
    { 4, "Tunnel with lyrics band 1",              18,  nullptr,           SetUpScene4,  DrawScene4,    nullptr},
    { 5, "Tunnel",                                 20,  nullptr,           SetUpScene5,  MapEffect4,    nullptr},
    { 6, "Tunnel with lyrics band 2",              22,  nullptr,           SetUpScene6,  DrawScene6,    nullptr},
    { 7, "Tunnel",                                 24,  nullptr,           SetUpScene7,  MapEffect6,    nullptr},
    { 8, "Tunnel with lyrics band 3",              26,  nullptr,           SetUpScene8,  DrawScene8,    nullptr},
    { 9, "Tunnel",                                 28,  nullptr,           SetUpScene9,  MapEffect6,    nullptr},
    {10, "Tunnel with lyrics band 4",              30,  nullptr,           SetUpScene10, DrawScene10,   nullptr},
    {11, "Mesh scene: star.3ds",                   34,  ReleaseTunnelMaps, SetUpScene11, DrawMeshScene, EndMeshScene},
    {12, "Mesh scene: jo2.3ds over 8emp_g",        38,  nullptr,           SetUpScene12, DrawMeshScene, EndMeshScene},
    {13, "Mesh scene: jo6.3ds on three axes",      42,  nullptr,           SetUpScene13, DrawMeshScene, EndMeshScene},
    {14, "Mesh scene: part5.3ds over 8emp_g",      46,  nullptr,           SetUpScene14, DrawMeshScene, EndMeshScene},
    {15, "Mesh scene: new4.3ds, fading out",       51,  nullptr,           SetUpScene15, DrawMeshScene, EndMeshScene},
    {16, "Final scene: stucco1.3ds and the strip", 63,  nullptr,           SetUpScene16, DrawScene16,   EndScene16},
    {17, "Closing picture",                        64,  nullptr,           SetUpScene17, DrawScene17,   nullptr},
};
// clang-format on

const int SceneTableRows = int(sizeof SceneTable / sizeof SceneTable[0]);
