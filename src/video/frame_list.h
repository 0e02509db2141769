// The frames a capture writes as PNG (--frames): inclusive ranges of frame numbers.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// `all` selects every frame; otherwise the frames inside one of `ranges`.
struct FrameList {
    bool all = true;
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
};
// "0:99,500,1200:1210": comma-separated numbers and inclusive ranges first:last
// (first <= last), decimal, no blanks. False with a one-line reason on bad input.
bool ParseFrameList(const char* text, FrameList* list, std::string* error);
bool FrameListContains(const FrameList& list, uint32_t frame);
