// Triangle fillers. All arithmetic that the format defines as 32-bit wraps
// explicitly (through uint32_t); divisions truncate toward zero.
#include "engine3d/fill.h"

#include "core/fixed.h"

#include <utility>

namespace {

// Slope numerator / row difference, or 0 when the difference is 0 (never used then).
inline int32_t Slope(int32_t numerator, int32_t rows) { return rows != 0 ? numerator / rows : 0; }

bool CoordinatesUsable(const TriangleSlot s[3])
{
    for (int k = 0; k < 3; k++)
        if (s[k].x < -MaxScreenCoordinate || s[k].x > MaxScreenCoordinate || s[k].y < -MaxScreenCoordinate ||
            s[k].y > MaxScreenCoordinate)
            return false;
    return true;
}

void SortSlotsByRow(TriangleSlot s[3])
{
    if (s[0].y > s[1].y)
        std::swap(s[0], s[1]);
    if (s[1].y > s[2].y)
        std::swap(s[1], s[2]);
    if (s[0].y > s[1].y)
        std::swap(s[0], s[1]);
}

struct Extent {
    int32_t xmin, xmax;
};

Extent ColumnExtent(const TriangleSlot s[3])
{
    Extent e{s[0].x, s[0].x};
    for (int k = 1; k < 3; k++) {
        if (s[k].x < e.xmin)
            e.xmin = s[k].x;
        if (s[k].x > e.xmax)
            e.xmax = s[k].x;
    }
    return e;
}

// The path for rows first..last (inclusive), or false when nothing is drawn.
// `sideInclusive` makes touching a side bound count as crossing it.
bool ChoosePath(FillPath forced, const Extent& e, int32_t first, int32_t last, int32_t bottomVertexRow,
                const ClipRect& clip, bool sideInclusive, bool* clipRows, bool* clipColumns)
{
    if (bottomVertexRow < clip.top || first > clip.bottom || e.xmax < clip.left || e.xmin > clip.right)
        return false;
    FillPath path = forced;
    if (path == FillPath::Chosen) {
        bool sides =
            sideInclusive ? (e.xmax >= clip.right || e.xmin <= clip.left) : (e.xmax > clip.right || e.xmin < clip.left);
        if (sides)
            path = FillPath::PerPixel;
        else if (first < clip.top || last > clip.bottom)
            path = FillPath::RowClipped;
        else
            path = FillPath::Unclipped;
    }
    *clipColumns = path == FillPath::PerPixel;
    *clipRows = path != FillPath::Unclipped;
    return true;
}

// ---- flat and shaded -------------------------------------------------------

// Edges of FillFlat/FillShaded: A on the long edge, B on the current short edge,
// with intensities IA, IB (16.16) when shading.
struct FlatEdges {
    int32_t a, b, aStep, bStep;
    int32_t ia, ib, iaStep, ibStep;
};

template <bool Shaded, bool ClipColumns>
void FlatSpan(uint8_t* row, const FlatEdges& e, uint8_t colour, const ClipRect& clip)
{
    bool bLeft = e.b < e.a;
    int32_t xl = Round16(bLeft ? e.b : e.a);
    int32_t xr = Round16(bLeft ? e.a : e.b);
    if (xl == xr)
        return;
    if constexpr (!Shaded) {
        if (ClipColumns) {
            if (xl < clip.left)
                xl = clip.left;
            if (xr > clip.right)
                xr = clip.right;
        }
        for (int32_t x = xl; x <= xr; x++)
            row[x] = colour;
    } else {
        int32_t left = bLeft ? e.ib : e.ia;
        int32_t right = bLeft ? e.ia : e.ib;
        int32_t step = WrapSub(right, left) / (xr - xl);
        int32_t intensity = left;
        int32_t x = xl;
        if (ClipColumns && x < clip.left) {
            intensity = WrapAdd(intensity, WrapMul(step, clip.left - x));
            x = clip.left;
        }
        int32_t last = ClipColumns && xr > clip.right ? clip.right : xr;
        for (; x <= last; x++) {
            row[x] = uint8_t(Round16(intensity));
            intensity = WrapAdd(intensity, step);
        }
    }
}

inline void StepFlatEdges(FlatEdges& e)
{
    e.a = WrapAdd(e.a, e.aStep);
    e.b = WrapAdd(e.b, e.bStep);
    e.ia = WrapAdd(e.ia, e.iaStep);
    e.ib = WrapAdd(e.ib, e.ibStep);
}

template <bool Shaded, bool ClipRows, bool ClipColumns>
void FlatRows(const TriangleSlot s[3], uint8_t* target, uint8_t colour, const ClipRect& clip)
{
    int32_t x0 = s[0].x, y0 = s[0].y, x1 = s[1].x, y1 = s[1].y, x2 = s[2].x, y2 = s[2].y;
    FlatEdges e;
    e.a = e.b = WrapShl16(x0);
    e.aStep = Slope(WrapShl16(x2 - x0), y2 - y0);
    e.bStep = Slope(WrapShl16(x1 - x0), y1 - y0);
    e.ia = e.ib = WrapShl16(s[0].intensity);
    e.iaStep = Shaded ? Slope(WrapShl16(WrapSub(s[2].intensity, s[0].intensity)), y2 - y0) : 0;
    e.ibStep = Shaded ? Slope(WrapShl16(WrapSub(s[1].intensity, s[0].intensity)), y1 - y0) : 0;

    int32_t row = y0;
    for (; row < y1; row++) {
        if (ClipRows && row > clip.bottom)
            return;
        if (!ClipRows || row >= clip.top)
            FlatSpan<Shaded, ClipColumns>(target + row * TargetStride, e, colour, clip);
        StepFlatEdges(e);
    }
    e.b = WrapShl16(x1);
    e.bStep = Slope(WrapShl16(x2 - x1), y2 - y1);
    e.ib = WrapShl16(s[1].intensity);
    e.ibStep = Shaded ? Slope(WrapShl16(WrapSub(s[2].intensity, s[1].intensity)), y2 - y1) : 0;
    do {
        if (ClipRows && row > clip.bottom)
            return;
        if (!ClipRows || row >= clip.top)
            FlatSpan<Shaded, ClipColumns>(target + row * TargetStride, e, colour, clip);
        StepFlatEdges(e);
        row++;
    } while (row < y2);
}

template <bool Shaded>
void FillFlatOrShaded(TriangleSlot s[3], const ClipRect& clip, uint8_t* target, uint8_t colour, FillPath path)
{
    if (!CoordinatesUsable(s))
        return;
    SortSlotsByRow(s);
    Extent e = ColumnExtent(s);
    int32_t last = s[2].y > s[1].y ? s[2].y - 1 : s[1].y;
    bool clipRows, clipColumns;
    if (!ChoosePath(path, e, s[0].y, last, s[2].y, clip, false, &clipRows, &clipColumns))
        return;
    if (clipColumns)
        FlatRows<Shaded, true, true>(s, target, colour, clip);
    else if (clipRows)
        FlatRows<Shaded, true, false>(s, target, colour, clip);
    else
        FlatRows<Shaded, false, false>(s, target, colour, clip);
}

// ---- textured ----------------------------------------------------------------

// Edges of FillTextured: 16.16 left and right positions, the left edge's 8.8
// texture coordinates, and the span gradient (low 16 bits count).
struct TexturedEdges {
    int32_t left, right, leftStep, rightStep;
    uint32_t u, v;
    int32_t uStep, vStep;
    uint32_t du, dv;
};

// One span from the edges' left and right positions and the left edge's texture
// coordinates. Every value the pixel loop uses is a local: the target's bytes may
// alias anything, and the loop then reads only the texel and writes only the pixel.
template <bool ClipColumns>
inline void TexturedSpan(uint8_t* row, int32_t left, int32_t right, uint32_t u, uint32_t v, const uint32_t du,
                         const uint32_t dv, const uint8_t* texture, const int32_t clipLeft, const int32_t clipRight)
{
    int32_t n = -(WrapSub(left, right) >> 16);
    if (n <= 0)
        return;
    int32_t end = Round16(right);
    int32_t x = end - n;
    int32_t last = end - 1;
    if (ClipColumns) {
        if (x < clipLeft) {
            uint32_t skipped = uint32_t(clipLeft - x);
            u += skipped * du;
            v += skipped * dv;
            x = clipLeft;
        }
        if (last > clipRight)
            last = clipRight;
    }
    for (; x <= last; x++) {
        row[x] = texture[(v & 0xFF00) | ((u >> 8) & 0xFF)];
        u += du;
        v += dv;
    }
}

template <bool ClipRows, bool ClipColumns>
inline __attribute__((always_inline)) void TexturedRows(int32_t first, int32_t stop, TexturedEdges& e, uint8_t* target,
                                                        const uint8_t* texture, const ClipRect& clip)
{
    const int32_t clipTop = clip.top, clipBottom = clip.bottom, clipLeft = clip.left, clipRight = clip.right;
    const int32_t leftStep = e.leftStep, rightStep = e.rightStep;
    const uint32_t uStep = uint32_t(e.uStep), vStep = uint32_t(e.vStep), du = e.du, dv = e.dv;
    int32_t left = e.left, right = e.right;
    uint32_t u = e.u, v = e.v;
    for (int32_t row = first; row < stop; row++) {
        if (ClipRows && row > clipBottom)
            break;
        if (!ClipRows || row >= clipTop)
            TexturedSpan<ClipColumns>(target + row * TargetStride, left, right, u, v, du, dv, texture, clipLeft,
                                      clipRight);
        left = WrapAdd(left, leftStep);
        right = WrapAdd(right, rightStep);
        u += uStep;
        v += vStep;
    }
    e.left = left;
    e.right = right;
    e.u = u;
    e.v = v;
}

void TexturedPart(int32_t first, int32_t stop, int32_t bottomVertexRow, const Extent& extent, TexturedEdges& e,
                  uint8_t* target, const uint8_t* texture, const ClipRect& clip, FillPath path)
{
    bool clipRows, clipColumns;
    if (!ChoosePath(path, extent, first, stop - 1, bottomVertexRow, clip, true, &clipRows, &clipColumns))
        return;
    if (clipColumns)
        TexturedRows<true, true>(first, stop, e, target, texture, clip);
    else if (clipRows)
        TexturedRows<true, false>(first, stop, e, target, texture, clip);
    else
        TexturedRows<false, false>(first, stop, e, target, texture, clip);
}

// (n x 256) / w in 64 bits; false when the quotient does not fit 32 bits.
bool Gradient(int32_t n, int32_t w, uint32_t* gradient)
{
    int64_t q = int64_t(n) * 256 / w;
    if (q < INT32_MIN || q > INT32_MAX)
        return false;
    *gradient = uint32_t(int32_t(q));
    return true;
}

}   // namespace

void FillFlatTriangle(TriangleSlot slots[3], const ClipRect& clip, uint8_t* target, uint8_t colour, FillPath path)
{
    FillFlatOrShaded<false>(slots, clip, target, colour, path);
}

void FillShadedTriangle(TriangleSlot slots[3], const ClipRect& clip, uint8_t* target, FillPath path)
{
    FillFlatOrShaded<true>(slots, clip, target, 0, path);
}

void FillTexturedTriangle(TriangleSlot s[3], const ClipRect& clip, uint8_t* target, const uint8_t* texture,
                          FillPath path)
{
    if (!CoordinatesUsable(s))
        return;
    SortSlotsByRow(s);
    int32_t x0 = s[0].x, y0 = s[0].y, x1 = s[1].x, y1 = s[1].y, x2 = s[2].x, y2 = s[2].y;
    if (y2 == y0)
        return;
    int32_t t = WrapShl16(y1 - y0) / (y2 - y0);
    int32_t w = WrapAdd(WrapMul(x2 - x0, t), WrapShl16(x0 - x1));
    if (w == 0)
        return;
    TexturedEdges e;
    int32_t nu = WrapAdd(WrapMul(WrapSub(s[2].u, s[0].u), t), WrapShl16(WrapSub(s[0].u, s[1].u)));
    int32_t nv = WrapAdd(WrapMul(WrapSub(s[2].v, s[0].v), t), WrapShl16(WrapSub(s[0].v, s[1].v)));
    if (!Gradient(nu, w, &e.du) || !Gradient(nv, w, &e.dv))
        return;

    int32_t longSlope = WrapShl16(x2 - x0) / (y2 - y0);
    // The long edge's texture steps, used only when the long edge is on the left.
    auto longSteps = [&]() {
        e.uStep = WrapMul(WrapSub(s[2].u, s[0].u), 256) / (y2 - y0);
        e.vStep = WrapMul(WrapSub(s[2].v, s[0].v), 256) / (y2 - y0);
    };
    e.left = e.right = WrapShl16(x0);
    e.u = uint32_t(s[0].u) << 8;
    e.v = uint32_t(s[0].v) << 8;
    Extent extent = ColumnExtent(s);

    // A triangle inside the rectangle's rows and strictly inside its columns takes
    // the unclipped path in both parts: drawn here without choosing per part.
    const bool inside = path == FillPath::Chosen && y0 >= clip.top && y2 - 1 <= clip.bottom &&
                        extent.xmin > clip.left && extent.xmax < clip.right;

    if (y1 != y0) {
        int32_t upperSlope = WrapShl16(x1 - x0) / (y1 - y0);
        if (w > 0) {
            e.leftStep = upperSlope;
            e.rightStep = longSlope;
            e.uStep = WrapMul(WrapSub(s[1].u, s[0].u), 256) / (y1 - y0);
            e.vStep = WrapMul(WrapSub(s[1].v, s[0].v), 256) / (y1 - y0);
        } else {
            e.leftStep = longSlope;
            e.rightStep = upperSlope;
            longSteps();
        }
        if (inside) {
            // Row y0 is empty (both edges start at x0): the rows from y0 + 1.
            e.left = WrapAdd(e.left, e.leftStep);
            e.right = WrapAdd(e.right, e.rightStep);
            e.u += uint32_t(e.uStep);
            e.v += uint32_t(e.vStep);
            TexturedRows<false, false>(y0 + 1, y1, e, target, texture, clip);
        } else {
            TexturedPart(y0, y1, y2, extent, e, target, texture, clip, path);
        }
    } else {
        e.leftStep = e.rightStep = longSlope;
        longSteps();
    }

    if (y2 > y1) {
        int32_t lowerSlope = WrapShl16(x2 - x1) / (y2 - y1);
        if (w > 0) {
            e.left = WrapShl16(x1);
            e.leftStep = lowerSlope;
            e.u = uint32_t(s[1].u) << 8;
            e.v = uint32_t(s[1].v) << 8;
            e.uStep = WrapMul(WrapSub(s[2].u, s[1].u), 256) / (y2 - y1);
            e.vStep = WrapMul(WrapSub(s[2].v, s[1].v), 256) / (y2 - y1);
        } else {
            e.right = WrapShl16(x1);
            e.rightStep = lowerSlope;
        }
        if (inside)
            TexturedRows<false, false>(y1, y2, e, target, texture, clip);
        else
            TexturedPart(y1, y2, y2, extent, e, target, texture, clip, path);
    }
}
