// Transform, projection, face order and per-mode vertex values.
#include "engine3d/render.h"

#include <bit>
#include <cmath>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <smmintrin.h>
#endif

int32_t SineTable[450];
RenderStateData RenderState;

namespace {

struct SineTableBuilder {
    SineTableBuilder()
    {
        for (int k = 0; k < 450; k++)
            SineTable[k] = int32_t(std::lround(65536.0 * std::sin(k * M_PI / 180.0)));
    }
} BuildSineTable;

inline int32_t Degrees(int32_t angle) { return (angle % 360 + 360) % 360; }

}   // namespace

#if defined(__x86_64__) || defined(__i386__)
namespace {

// M16 and M32 on four lanes: the signed 64-bit products of the even lanes and of the
// odd lanes (shifted down), rounded and shifted, the wanted 32 bits blended back.
__attribute__((target("sse4.1"))) inline __m128i M16x4(__m128i c, __m128i v)
{
    const __m128i half = _mm_set1_epi64x(32768);
    __m128i even = _mm_srli_epi64(_mm_add_epi64(_mm_mul_epi32(v, c), half), 16);
    __m128i odd = _mm_slli_epi64(_mm_add_epi64(_mm_mul_epi32(_mm_srli_epi64(v, 32), c), half), 16);
    return _mm_blend_epi16(even, odd, 0xCC);
}

__attribute__((target("sse4.1"))) inline __m128i M32x4(__m128i c, __m128i v)
{
    const __m128i half = _mm_set1_epi64x(int64_t(1) << 31);
    __m128i even = _mm_srli_epi64(_mm_add_epi64(_mm_mul_epi32(v, c), half), 32);
    __m128i odd = _mm_add_epi64(_mm_mul_epi32(_mm_srli_epi64(v, 32), c), half);
    return _mm_blend_epi16(even, odd, 0xCC);
}

// Points first..first + 4k - 1 of RotatePointArray, four at a time; each target
// point's spare is kept. Returns the number of points done.
__attribute__((target("sse4.1"))) uint32_t RotateFours(const Point4* src, Point4* dst, uint32_t count,
                                                       const int32_t sc[6])
{
    const __m128i sA = _mm_set1_epi32(sc[0]), cA = _mm_set1_epi32(sc[1]);
    const __m128i sB = _mm_set1_epi32(sc[2]), cB = _mm_set1_epi32(sc[3]);
    const __m128i sC = _mm_set1_epi32(sc[4]), cC = _mm_set1_epi32(sc[5]);
    uint32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128 r0 = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
        __m128 r1 = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 1)));
        __m128 r2 = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 2)));
        __m128 r3 = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 3)));
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        const __m128i x = _mm_castps_si128(r0), y = _mm_castps_si128(r1), z = _mm_castps_si128(r2);
        const __m128i x1 = _mm_sub_epi32(M16x4(cA, x), M16x4(sA, y));
        const __m128i y1 = _mm_add_epi32(M16x4(sA, x), M16x4(cA, y));
        const __m128i xo = _mm_sub_epi32(M32x4(cB, x1), M32x4(sB, z));
        const __m128i z1 = _mm_add_epi32(M16x4(sB, x1), M16x4(cB, z));
        const __m128i yo = _mm_sub_epi32(M32x4(cC, y1), M32x4(sC, z1));
        const __m128i zo = _mm_add_epi32(M32x4(sC, y1), M32x4(cC, z1));
        __m128 o0 = _mm_castsi128_ps(xo), o1 = _mm_castsi128_ps(yo), o2 = _mm_castsi128_ps(zo);
        __m128 o3 = _mm_setzero_ps();
        _MM_TRANSPOSE4_PS(o0, o1, o2, o3);
        const __m128 out[4] = {o0, o1, o2, o3};
        for (int k = 0; k < 4; k++) {
            __m128i* d = reinterpret_cast<__m128i*>(dst + i + k);
            _mm_storeu_si128(d, _mm_blend_epi16(_mm_castps_si128(out[k]), _mm_loadu_si128(d), 0xC0));
        }
    }
    return i;
}

const bool HaveSse41 = [] {
    __builtin_cpu_init();   // may run before the library's own start-up check
    return __builtin_cpu_supports("sse4.1") != 0;
}();

}   // namespace
#endif

void RotatePointArray(const PointArray* src, PointArray* dst, int32_t angleZ, int32_t angleY, int32_t angleX)
{
    dst->count = src->count;
    angleZ = Degrees(angleZ);
    angleY = Degrees(angleY);
    angleX = Degrees(angleX);
    int32_t sA = SineTable[angleZ], cA = SineTable[angleZ + 90];
    int32_t sB = SineTable[angleY], cB = SineTable[angleY + 90];
    int32_t sC = SineTable[angleX], cC = SineTable[angleX + 90];
    uint32_t first = 0;
#if defined(__x86_64__) || defined(__i386__)
    if (HaveSse41 && src->count >= 64) {
        const int32_t sc[6] = {sA, cA, sB, cB, sC, cC};
        first = RotateFours(src->entry, dst->entry, src->count, sc);
    }
#endif
    for (uint32_t i = first; i < src->count; i++) {
        const Point4& p = src->entry[i];
        // Sums wrap at 32 bits, as the four-lane path's do.
        int32_t x1 = WrapSub(M16(cA, p.x), M16(sA, p.y));
        int32_t y1 = WrapAdd(M16(sA, p.x), M16(cA, p.y));
        int32_t xo = WrapSub(M32(cB, x1), M32(sB, p.z));
        int32_t z1 = WrapAdd(M16(sB, x1), M16(cB, p.z));
        Point4& q = dst->entry[i];
        q.x = xo;
        q.y = WrapSub(M32(cC, y1), M32(sC, z1));
        q.z = WrapAdd(M32(sC, y1), M32(cC, z1));
    }
}

void ProjectPointArray(PointArray* points, const Camera& camera, uint8_t* usable)
{
    for (uint32_t i = 0; i < points->count; i++) {
        Point4& p = points->entry[i];
        int64_t w = int64_t(camera.viewDistance) + p.z + camera.depthOffset;
        if (w <= 0) {
            usable[i] = 0;
            p.x = camera.centreX;
            p.y = camera.centreY;
            continue;
        }
        int64_t x = camera.centreX + int64_t(p.x) * camera.viewDistance / w;
        int64_t y = camera.centreY + int64_t(p.y) * camera.viewDistance / w;
        bool inside = x >= -MaxScreenCoordinate && x <= MaxScreenCoordinate && y >= -MaxScreenCoordinate &&
                      y <= MaxScreenCoordinate;
        usable[i] = inside;
        p.x = inside ? int32_t(x) : camera.centreX;
        p.y = inside ? int32_t(y) : camera.centreY;
    }
}

namespace {

void SwapPoint(PointArray* array, uint32_t i, uint32_t j)
{
    std::swap(array->entry[i].x, array->entry[j].x);
    std::swap(array->entry[i].y, array->entry[j].y);
    std::swap(array->entry[i].z, array->entry[j].z);
}

// Where the partition loop below leaves the entries of a range of two or three, as
// a permutation: entry k of the result is old entry perm[k]. Two: swapped unless the
// first key is the greater. Three: indexed by 9 ca + 3 cb + cc, with ca, cb, cc the
// comparisons (0 less, 1 equal, 2 greater) of the keys of entries 0 and 1, 0 and 2,
// 1 and 2 (worked out from the loop; the 14 orders that cannot occur hold the identity).
constexpr uint8_t SortTwo[2][2] = {{0, 1}, {1, 0}};
constexpr uint8_t SortThree[27][3] = {
    {2, 1, 0}, {2, 1, 0}, {1, 2, 0}, {0, 1, 2}, {0, 1, 2}, {1, 2, 0}, {0, 1, 2}, {0, 1, 2}, {1, 0, 2},
    {2, 1, 0}, {0, 1, 2}, {0, 1, 2}, {0, 1, 2}, {2, 1, 0}, {0, 1, 2}, {0, 1, 2}, {0, 1, 2}, {1, 0, 2},
    {2, 0, 1}, {0, 1, 2}, {0, 1, 2}, {2, 0, 1}, {0, 1, 2}, {0, 1, 2}, {0, 2, 1}, {0, 2, 1}, {0, 1, 2},
};

inline int Compare(int32_t a, int32_t b) { return (a > b) - (a < b) + 1; }

// Applies `perm` to the n entries from lo, without a branch on the keys; the normals
// move their x, y and z as SwapPoint moves them.
template <int n>
void PermuteSmallRange(Face* face, int32_t lo, const uint8_t* perm, PointArray* normals, PointArray* rotatedNormals)
{
    Face old[n];
    for (int k = 0; k < n; k++)
        old[k] = face[lo + k];
    for (int k = 0; k < n; k++)
        face[lo + k] = old[perm[k]];
    if (!normals)
        return;
    for (PointArray* array : {normals, rotatedNormals}) {
        Point4 before[n];
        for (int k = 0; k < n; k++)
            before[k] = array->entry[lo + k];
        for (int k = 0; k < n; k++) {
            array->entry[lo + k].x = before[perm[k]].x;
            array->entry[lo + k].y = before[perm[k]].y;
            array->entry[lo + k].z = before[perm[k]].z;
        }
    }
}

#if defined(__SSE2__)
inline __m128i FourKeys(const int32_t* key) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(key)); }
#endif

inline int32_t ScanUp(const int32_t* key, int32_t i, int32_t hi, int32_t pivot)
{
#if defined(__SSE2__)
    const __m128i pivots = _mm_set1_epi32(pivot);
    while (i + 3 <= hi) {
        unsigned greater = unsigned(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(FourKeys(key + i), pivots))));
        if (greater != 15)
            return i + std::countr_one(greater);
        i += 4;
    }
#endif
    while (key[i] > pivot)
        i++;
    return i;
}

inline int32_t ScanDown(const int32_t* key, int32_t j, int32_t lo, int32_t pivot)
{
#if defined(__SSE2__)
    const __m128i pivots = _mm_set1_epi32(pivot);
    while (j - 3 >= lo) {
        unsigned less = unsigned(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(pivots, FourKeys(key + j - 3)))));
        if (less != 15)
            return j - 3 + std::bit_width(~less & 15u) - 1;
        j -= 4;
    }
#endif
    while (pivot > key[j])
        j--;
    return j;
}

// Sorts positions lo..hi. Recurses into the smaller side and loops over the larger,
// which orders the faces exactly as recursing into lo..j first and i..hi second.
// Ranges of two and three take the order the loop would give them from a table.
void QuickSortFaces(Face* face, int32_t* key, int32_t lo, int32_t hi, PointArray* normals, PointArray* rotatedNormals)
{
    while (lo < hi) {
        if (hi - lo == 1) {
            int firstGreater = key[lo] > key[hi];
            PermuteSmallRange<2>(face, lo, SortTwo[1 - firstGreater], normals, rotatedNormals);
            return;
        }
        if (hi - lo == 2) {
            int32_t a = key[lo], b = key[lo + 1], c = key[lo + 2];
            PermuteSmallRange<3>(face, lo, SortThree[9 * Compare(a, b) + 3 * Compare(a, c) + Compare(b, c)], normals,
                                 rotatedNormals);
            return;
        }
        int32_t i = lo, j = hi;
        int32_t pivot = key[(lo + hi) / 2];
        do {
            i = ScanUp(key, i, hi, pivot);
            j = ScanDown(key, j, lo, pivot);
            if (i <= j) {
                std::swap(face[i], face[j]);
                std::swap(key[i], key[j]);
                if (normals) {
                    SwapPoint(normals, i, j);
                    SwapPoint(rotatedNormals, i, j);
                }
                i++;
                j--;
            }
        } while (i <= j);
        if (j - lo < hi - i) {
            if (lo < j)
                QuickSortFaces(face, key, lo, j, normals, rotatedNormals);
            lo = i;
        } else {
            if (i < hi)
                QuickSortFaces(face, key, i, hi, normals, rotatedNormals);
            hi = j;
        }
    }
}

}   // namespace

void SortFaceArray(FaceArray* faces, const PointArray* transformed, PointArray* faceNormals,
                   PointArray* rotatedFaceNormals)
{
    // The keys side by side for the scans; a range the sort has finished is not read
    // again, so the copy need not follow the faces there.
    static std::vector<int32_t> keys;
    keys.resize(faces->count);
    for (uint32_t k = 0; k < faces->count; k++) {
        Face& f = faces->entry[k];
        f.depthKey = transformed->entry[f.a].z + transformed->entry[f.b].z + transformed->entry[f.c].z;
        keys[k] = f.depthKey;
    }
    if (faces->count > 1)
        QuickSortFaces(faces->entry, keys.data(), 0, int32_t(faces->count) - 1, faceNormals, rotatedFaceNormals);
}

int32_t BackFaceValue(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    uint32_t p = uint32_t(x1 - x0) * uint32_t(y2 - y0);
    uint32_t q = uint32_t(y1 - y0) * uint32_t(x2 - x0);
    return int32_t(p - q);
}

void RotatePoints(const PointArray* src, PointArray* dst)
{
    RotatePointArray(src, dst, RenderState.angleZ, RenderState.angleY, RenderState.angleX);
}

void ProjectPoints(PointArray* points) { ProjectPointArray(points, RenderState.camera, RenderState.vertexUsable); }

void SortFaces(bool moveFaceNormals)
{
    SortFaceArray(RenderState.faces, RenderState.transformedVertices,
                  moveFaceNormals ? RenderState.faceNormals : nullptr,
                  moveFaceNormals ? RenderState.rotatedFaceNormals : nullptr);
}

void FillFlat() { FillFlatTriangle(RenderState.slots, RenderState.clip, RenderState.target, RenderState.colour); }

void FillShaded() { FillShadedTriangle(RenderState.slots, RenderState.clip, RenderState.target); }

void FillTextured()
{
    FillTexturedTriangle(RenderState.slots, RenderState.clip, RenderState.target, RenderState.texture);
}

namespace {

// Modes 1 to 4: per face, the three screen points and the mode's per-vertex values,
// the back-face test and the mode's filler. `mode` is fixed for the whole loop.
template <RenderMode mode> void DrawFaces()
{
    RenderStateData& s = RenderState;
    const Point4* screen = s.transformedVertices->entry;
    const Point4* normal = s.rotatedVertexNormals->entry;
    const uint8_t* usable = s.vertexUsable;
    const Face* face = s.faces->entry;
    const uint32_t count = s.faces->count;
    // The faces to draw first, in order, without a branch on each face's facing.
    static std::vector<uint32_t> drawn;
    drawn.resize(count);
    uint32_t drawnCount = 0;
    for (uint32_t k = 0; k < count; k++) {
        const Face& f = face[k];
        const Point4 &a = screen[f.a], &b = screen[f.b], &c = screen[f.c];
        drawn[drawnCount] = k;
        drawnCount += unsigned(usable[f.a] & usable[f.b] & usable[f.c]) &
                      unsigned(BackFaceValue(a.x, a.y, b.x, b.y, c.x, c.y) < 0);
    }
    for (uint32_t n = 0; n < drawnCount; n++) {
        const Face& f = face[drawn[n]];
        const int32_t index[3] = {f.a, f.b, f.c};
        for (int n = 0; n < 3; n++) {
            TriangleSlot& slot = s.slots[n];
            int32_t i = index[n];
            slot.x = screen[i].x;
            slot.y = screen[i].y;
            if constexpr (mode == ModeNormalShaded) {
                slot.intensity = int32_t((uint32_t(63) - uint32_t(normal[i].z)) >> 1);
            } else if constexpr (mode == ModeDepthShaded) {
                slot.intensity = int32_t((uint32_t(256) - uint32_t(screen[i].z)) >> 3);
            } else if constexpr (mode == ModeTextured) {
                slot.u = s.mapping[i].u;
                slot.v = s.mapping[i].v;
            } else {
                slot.u = 2 * normal[i].x + 128;
                slot.v = 2 * normal[i].y + 128;
            }
        }
        if constexpr (mode == ModeNormalShaded || mode == ModeDepthShaded)
            FillShaded();
        else
            FillTextured();
    }
}

}   // namespace

void RenderObject(MeshObject* object)
{
    RenderStateData& s = RenderState;
    s.vertices = object->vertices;
    s.faces = object->faces;
    s.transformedVertices = object->transformedVertices;
    s.faceNormals = object->faceNormals;
    s.rotatedFaceNormals = object->rotatedFaceNormals;
    s.vertexNormals = object->vertexNormals;
    s.rotatedVertexNormals = object->rotatedVertexNormals;
    s.mapping = object->mapping;
    s.mappingCount = object->mapping ? object->mappingCount : 0;
    s.texture = object->texture;
    s.target = object->target;
    s.angleZ = object->angleZ;
    s.angleY = object->angleY;
    s.angleX = object->angleX;
    s.clip = ClipRect{object->clipTop, object->clipBottom, object->clipLeft, object->clipRight};
    s.camera = Camera{object->viewDistance, object->centreX, object->centreY, object->depthOffset};
    s.mode = object->mode;

    RotatePoints(s.vertices, s.transformedVertices);
    ProjectPoints(s.transformedVertices);
    const Point4* screen = s.transformedVertices->entry;
    const uint8_t* usable = s.vertexUsable;

    if (s.mode == ModeFlat) {
        RotatePoints(s.faceNormals, s.rotatedFaceNormals);
        SortFaces(true);
        for (uint32_t k = 0; k < s.faces->count; k++) {
            const Face& f = s.faces->entry[k];
            if (!usable[f.a] || !usable[f.b] || !usable[f.c])
                continue;
            s.colour = uint8_t(-s.rotatedFaceNormals->entry[k].z);
            const Point4 &a = screen[f.a], &b = screen[f.b], &c = screen[f.c];
            if (BackFaceValue(a.x, a.y, b.x, b.y, c.x, c.y) >= 0)
                continue;
            s.slots[0] = TriangleSlot{a.x, a.y, 0, 0, 0};
            s.slots[1] = TriangleSlot{b.x, b.y, 0, 0, 0};
            s.slots[2] = TriangleSlot{c.x, c.y, 0, 0, 0};
            FillFlat();
        }
        return;
    }

    RotatePoints(s.vertexNormals, s.rotatedVertexNormals);
    SortFaces(false);
    if (s.mode == ModeTextured && s.mappingCount < s.vertices->count)
        return;
    switch (s.mode) {
    case ModeNormalShaded: DrawFaces<ModeNormalShaded>(); break;
    case ModeDepthShaded: DrawFaces<ModeDepthShaded>(); break;
    case ModeTextured: DrawFaces<ModeTextured>(); break;
    default: DrawFaces<ModeEnvironment>(); break;
    }
}
