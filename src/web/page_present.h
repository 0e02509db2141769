// The page's presentation backend and the page's side of input.
#pragma once
#include <cstdint>

struct PresentBackend;

// A row of the presentation backend table (video/video.h): present expands the
// indexed frame through the device palette into its own 320x200 R,G,B,A pixels
// (alpha 255) and hands it with the information line to the page script
// (Module.tivrelPresent(pixelsAddress, infoText or "")); pollEvents reports a quit
// asked for with RequestPageQuit; reads no true-colour frame.
extern const PresentBackend PageBackend;

// Set by the page (Escape, the embedding API's end): the next pollEvents reports a quit.
void RequestPageQuit();
