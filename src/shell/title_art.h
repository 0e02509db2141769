// The setup dialog's title artwork: the title picture of the overlay file.
#pragma once
#include <cstdint>

constexpr int TitleArtWidth = 213;
constexpr int TitleArtHeight = 133;
constexpr int TitleArtBytes = TitleArtWidth * TitleArtHeight * 3;   // R, G, B per pixel

// Reads "tivrel.scx" from the overlay file at `path` (its palette at byte 10, its
// 320x200 pixels at 778) and scales it to 213x133 by area averaging into `rgb`.
// Where the entry's palette leaves the picture's colours black, they are shown as a
// grey ramp. False (rgb untouched) when the file or the entry is missing or malformed.
bool LoadTitleArt(const char* path, uint8_t* rgb);

// The scaling alone: 320x200 indices through a 6-bit palette to 213x133 RGB.
void ScaleTitleArt(const uint8_t* pixels, const uint8_t* palette, uint8_t* rgb);
