// The frame list of --frames.
#include <cstdio>

#include "video/frame_list.h"

bool ParseFrameList(const char* text, FrameList* list, std::string* error)
{
    list->all = false;
    list->ranges.clear();
    const char* p = text;
    auto number = [&](uint32_t* value) {
        if (*p < '0' || *p > '9')
            return false;
        uint64_t v = 0;
        while (*p >= '0' && *p <= '9') {
            v = v * 10 + static_cast<uint64_t>(*p - '0');
            if (v > 0xFFFFFFFFu)
                return false;
            p++;
        }
        *value = static_cast<uint32_t>(v);
        return true;
    };
    do {
        uint32_t first = 0, last = 0;
        if (!number(&first)) {
            *error = std::string("bad frame list \"") + text + "\": expected a frame number";
            return false;
        }
        last = first;
        if (*p == ':') {
            p++;
            if (!number(&last)) {
                *error = std::string("bad frame list \"") + text + "\": expected a range end";
                return false;
            }
            if (last < first) {
                *error = std::string("bad frame list \"") + text + "\": range ends before it starts";
                return false;
            }
        }
        list->ranges.emplace_back(first, last);
    } while (*p == ',' && *++p != '\0');
    if (*p != '\0' || p == text || p[-1] == ',') {
        *error =
            std::string("bad frame list \"") + text + "\": expected numbers and first:last ranges separated by commas";
        return false;
    }
    return true;
}

bool FrameListContains(const FrameList& list, uint32_t frame)
{
    if (list.all)
        return true;
    for (const auto& range : list.ranges)
        if (frame >= range.first && frame <= range.second)
            return true;
    return false;
}
