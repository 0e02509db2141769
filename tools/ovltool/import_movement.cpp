// The movement path from a preset, a CSV of x,y records or a raw file.
#include "ovltool/import_entry.h"

#include <cstdio>

#include "archive/content_format.h"
#include "core/bytes.h"
#include "gencontent/content.h"

namespace fs = std::filesystem;

namespace {

// CSV of x,y per record (a header line and lines starting with # are skipped);
// fewer than 896 records repeat from the first.
bool MovementFromCsv(const EntryOptions& o, const fs::path& path, const Bytes& data, MadeEntry* made)
{
    std::vector<std::pair<int32_t, int32_t>> points;
    std::string text(data.begin(), data.end());
    size_t at = 0;
    int line = 0;
    std::string name = path.filename().string();
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string row = text.substr(at, end - at);
        at = end + 1;
        line++;
        if (!row.empty() && row.back() == '\r')
            row.pop_back();
        size_t first = row.find_first_not_of(" \t");
        if (first == std::string::npos || row[first] == '#')
            continue;
        long x, y;
        char rest;
        if (sscanf(row.c_str(), " %ld , %ld %c", &x, &y, &rest) != 2) {
            if (points.empty() && line == 1 && row.find_first_of("0123456789") == std::string::npos)
                continue;   // header
            *o.error = name + ":" + std::to_string(line) + ": expected x,y (two whole numbers)";
            return false;
        }
        if (x < 0 || x > MovementMaxX || y < 0 || y > MovementMaxY) {
            *o.error = name + ":" + std::to_string(line) + ": " + std::to_string(x) + "," + std::to_string(y) +
                       " lies outside 0..320, 0..200 (the window must stay inside the big map)";
            return false;
        }
        if (points.size() == MovementRecords) {
            *o.error = name + ":" + std::to_string(line) + ": more than 896 records";
            return false;
        }
        points.push_back({int32_t(x), int32_t(y)});
    }
    if (points.empty()) {
        *o.error = Where(o.c, o.Line("source")) + name + " holds no x,y records";
        return false;
    }
    made->bytes.assign(MovementTableBytes, 0);
    for (uint32_t n = 0; n < MovementRecords; n++) {
        WriteLE32(&made->bytes[n * MovementRecordBytes], uint32_t(points[n % points.size()].first));
        WriteLE32(&made->bytes[n * MovementRecordBytes + 4], uint32_t(points[n % points.size()].second));
    }
    made->how = "converted";
    made->detail = name + " (" + std::to_string(points.size()) + " records" +
                   (points.size() < MovementRecords ? ", repeated" : "") + ")";
    return true;
}

}   // namespace

bool ImportMovement(const EntryOptions& o, MadeEntry* made)
{
    std::string preset;
    if (!o.Word("preset", "wander|ellipse", &preset))
        return false;
    if (!preset.empty()) {
        double period = 809, rx = 140, ry = 80;
        if (!o.Number("period", 2, 100000, &period) || !o.Number("radius_x", 0, 160, &rx) ||
            !o.Number("radius_y", 0, 100, &ry))
            return false;
        made->bytes = preset == "wander" ? BuildMovementPath(period) : BuildMovementEllipse(rx, ry, period);
        made->how = "generated";
        made->detail = "preset " + preset;
        return true;
    }
    fs::path path;
    Bytes data;
    if (!o.Source(&path, &data))
        return false;
    if (Lower(path.extension().string()) == ".csv")
        return MovementFromCsv(o, path, data, made);
    return RawSource(o, path, std::move(data), MovementTableBytes, MovementTableBytes, made);
}
