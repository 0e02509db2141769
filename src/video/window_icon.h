// The program's icon as pixels for the window (the installed desktop icon is the same
// picture, data/tivrel.png).
#pragma once
#include <cstdint>

// Width and height of the icon in pixels.
constexpr int WindowIconSize = 128;

// Decodes the icon into rgba: WindowIconSize rows of WindowIconSize pixels, 4 bytes
// each in R,G,B,A order (SDL_PIXELFORMAT_ABGR8888 on little-endian machines, pitch
// WindowIconSize * 4). False if the embedded picture is not of that size.
bool DecodeWindowIcon(uint8_t rgba[WindowIconSize * WindowIconSize * 4]);
