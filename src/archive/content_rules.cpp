#include "archive/content_rules.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

std::string Format(const char* format, unsigned a, unsigned b)
{
    char line[200];
    snprintf(line, sizeof line, format, a, b);
    return line;
}

bool Reserved(const DataEntry& entry, uint8_t value)
{
    return entry.reservedFirst <= entry.reservedLast && value >= entry.reservedFirst && value <= entry.reservedLast;
}

}   // namespace

std::string EntrySizeProblem(const DataEntry& entry, uint32_t packedSize, uint32_t unpackedSize)
{
    const uint32_t needs = DataEntryNeeds(entry);
    if (unpackedSize < needs)
        return Format("holds %u bytes, the demo reads %u", unpackedSize, needs);
    if (entry.area == ScratchArea) {
        if (packedSize > ScratchEntryBytes)
            return Format("packed stream of %u bytes is larger than the %u-byte scratch area", packedSize,
                          ScratchEntryBytes);
        if (unpackedSize > ScratchEntryBytes)
            return Format("%u bytes unpacked are more than the %u-byte scratch area holds", unpackedSize,
                          ScratchEntryBytes);
        return "";
    }
    if (packedSize > LoadingPackedLimit)
        return Format("packed stream of %u bytes is larger than the %u-byte loading area", packedSize,
                      LoadingPackedLimit);
    if (entry.kind == EntryMusic && unpackedSize > MusicMaxBytes)
        return Format("module of %u bytes is larger than the %u bytes the demo reads", unpackedSize, MusicMaxBytes);
    if (unpackedSize > LoadingUnpackedLimit)
        return Format("%u bytes unpacked are more than the %u-byte loading area holds", unpackedSize,
                      LoadingUnpackedLimit);
    return "";
}

PixelCounts CountPixels(const DataEntry& entry, const uint8_t* pixels, size_t count)
{
    PixelCounts counts;
    for (size_t i = 0; i < count; i++) {
        const uint8_t v = pixels[i];
        if (v > entry.pixelLast || Reserved(entry, v)) {
            if (counts.bad++ == 0)
                counts.firstBad = v;
        } else if (v < entry.pixelFirst) {
            counts.low++;
        }
    }
    return counts;
}

std::string PixelRangeText(const DataEntry& entry)
{
    std::string text = Format("%u..%u", entry.pixelFirst, entry.pixelLast);
    if (entry.reservedFirst <= entry.reservedLast)
        text += Format(" except %u..%u, which other colours overwrite", entry.reservedFirst, entry.reservedLast);
    return text;
}

int FirstBadPaletteByte(const uint8_t* palette)
{
    for (uint32_t i = 0; i < PaletteBytes; i++)
        if (palette[i] > 63)
            return int(i);
    return -1;
}

const char* const MusicRefusedLine =
    "ZDS_Error: music.s3m is not a playable module (S3M, IT, XM, MOD or another tracker format)!\n";

std::string MusicProblem(bool loaded, int32_t orderCount)
{
    if (!loaded)
        return "not a playable module (S3M, IT, XM, MOD or another tracker format)";
    if (orderCount <= 0)
        return "the module has no orders to play";
    return "";
}

bool FinalMeshStops(uint32_t vertexCount) { return vertexCount < FinalMeshMinVertices; }

std::string FinalMeshProblem(const int32_t* points, uint32_t count, uint32_t mappingCount)
{
    if (count != FinalMeshMinVertices)
        return Format("has %u vertices; the final scene needs the 8-vertex box (vertices 0-7)", count, 0);
    if (mappingCount < count)
        return Format("has mapping coordinates for %u of its %u vertices", mappingCount, count);
    // Corner values by bit: x by bit 0, y by bit 1 (top is up: smaller y), z by bit 2.
    const int axisBit[3] = {1, 2, 4};
    int32_t low[3], high[3];
    for (int axis = 0; axis < 3; axis++) {
        low[axis] = points[0 * 4 + axis];
        high[axis] = points[7 * 4 + axis];
    }
    std::swap(low[1], high[1]);   // vertex 0 is at the bottom: the larger y
    for (int axis = 0; axis < 3; axis++)
        if (high[axis] - low[axis] <= 0)
            return "is not a box with vertex 0 at bottom left near and vertex 7 at top right far";
    for (uint32_t k = 0; k < 8; k++) {
        for (int axis = 0; axis < 3; axis++) {
            bool set = (k & axisBit[axis]) != 0;
            if (axis == 1)
                set = !set;
            const int32_t want = set ? high[axis] : low[axis];
            const int64_t tolerance = (int64_t(high[axis]) - low[axis]) / 64;
            if (std::llabs(int64_t(points[k * 4 + axis]) - want) > tolerance)
                return Format("is not the final scene's box: vertex %u is not the corner its number names "
                              "(bit 0 right, bit 1 top, bit 2 far)",
                              k, 0);
        }
    }
    return "";
}
