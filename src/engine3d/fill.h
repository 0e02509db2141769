// Triangle fillers: flat, shaded (intensity written as the palette index) and
// affine texture-mapped, scanning whole rows top to bottom with 16.16 edges and
// clipping to an inclusive rectangle of a 320-byte-per-row target image.
//
// Spans: FillFlat and FillShaded cover columns round(min edge)..round(max edge)
// inclusive (nothing when both round alike); FillTextured covers the n pixels
// ending before round(right edge), n = ceil((right - left) / 65,536).
// round(p) = floor((p + 32,768) / 65,536): halves go up.
#pragma once
#include <cstdint>

constexpr int TargetStride = 320;

// One vertex of a triangle: screen column and row, and the value the filler
// interpolates (intensity for FillShaded, u and v in texels for FillTextured).
struct TriangleSlot {
    int32_t x, y;
    int32_t intensity;
    int32_t u, v;
};

// Inclusive bounds of the pixels a filler may write.
struct ClipRect {
    int32_t top, bottom, left, right;
};

// How a filler clips. Chosen: as the triangle's extent requires (per-pixel when it
// crosses a side bound, row-clipped when it crosses only the top or bottom bound,
// unclipped when inside). The others force a path; all give the same pixels, and
// Unclipped may be forced only for a triangle inside the rectangle.
enum class FillPath { Chosen, PerPixel, RowClipped, Unclipped };

// Triangles with a coordinate beyond +-MaxScreenCoordinate are not drawn (their edge
// slopes would not fit 32 bits); the renderer never passes such vertices.
constexpr int32_t MaxScreenCoordinate = 8192;

// Each filler sorts the three slots by row (in place) and writes only target
// pixels inside `clip`.
void FillFlatTriangle(TriangleSlot slots[3], const ClipRect& clip, uint8_t* target, uint8_t colour,
                      FillPath path = FillPath::Chosen);
// Writes the low 8 bits of the rounded 16.16 intensity interpolated along edges and spans.
void FillShadedTriangle(TriangleSlot slots[3], const ClipRect& clip, uint8_t* target, FillPath path = FillPath::Chosen);
// Maps a 256x256 texture (texel (u, v) at v * 256 + u, both wrapping); coordinates
// step in 8.8 with one gradient for the whole triangle. A triangle whose gradient
// does not fit 32 bits (nearly collinear with a long texture run) is not drawn.
void FillTexturedTriangle(TriangleSlot slots[3], const ClipRect& clip, uint8_t* target, const uint8_t* texture,
                          FillPath path = FillPath::Chosen);
