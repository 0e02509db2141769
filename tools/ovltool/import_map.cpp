// Lookup maps from a preset, a grey + alpha PNG or a raw file.
#include "ovltool/import_entry.h"

#include "archive/content_format.h"
#include "gencontent/content.h"

namespace fs = std::filesystem;

bool ImportMap(const EntryOptions& o, MadeEntry* made)
{
    const DataEntry& d = *o.e.entry;
    bool big = d.kind == EntryBigMap;
    int w = big ? int(BigMapWidth) : int(PictureWidth), h = big ? int(BigMapHeight) : int(PictureHeight);
    uint32_t bytes = big ? BigMapBytes : MapBytes;
    std::string preset;
    if (!o.Text("preset", &preset))
        return false;
    if (!preset.empty()) {
        if (o.Get("source")) {
            *o.error = Where(o.c, o.Line("preset")) + "give either source or preset, not both";
            return false;
        }
        MapShape shape;
        if (!o.Number("scale0", -64, 64, &shape.scale0) || !o.Number("scale1", -64, 64, &shape.scale1) ||
            !o.Number("twist", -64, 64, &shape.twist) || !o.Number("centre_x", -640, 640, &shape.centreX) ||
            !o.Number("centre_y", -400, 400, &shape.centreY))
            return false;
        made->bytes = BuildMapPreset(preset, w, h, shape);
        if (made->bytes.empty()) {
            *o.error = Where(o.c, o.Line("preset")) + "unknown map preset \"" + preset + "\" (" + MapPresetNames + ")";
            return false;
        }
        made->how = "generated";
        made->detail = "preset " + preset;
        return true;
    }
    for (const char* key : {"scale0", "scale1", "twist", "centre_x", "centre_y"})
        if (o.Get(key)) {
            *o.error = Where(o.c, o.Line(key)) + key + " goes with a preset";
            return false;
        }
    fs::path path;
    Bytes data;
    if (!o.Source(&path, &data))
        return false;
    if (!IsPng(path))
        return RawSource(o, path, std::move(data), bytes, bytes, made);
    int width, height;
    if (!CheckPngSize(o, path, data, {{w, h}}, "this map", &width, &height))
        return false;
    std::string why;
    if (!DecodePngPairs(data.data(), data.size(), w, h, &width, &height, &made->bytes, &why)) {
        *o.error = Where(o.c, o.Line("source")) + path.filename().string() + ": " + why;
        return false;
    }
    made->how = "converted";
    made->detail = path.filename().string() + " (grey byte m0, alpha byte m1)";
    return true;
}
