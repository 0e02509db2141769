// RenderObject and its steps: rotation with the integer sine table, perspective
// projection, depth keys and the face quicksort, back-face test, render modes.
#pragma once
#include <cstdint>

#include "core/fixed.h"
#include "engine3d/fill.h"
#include "engine3d/mesh.h"

// Entry k = round(65,536 x sin(k degrees)), k = 0..449; cosine of a is entry a + 90.
extern int32_t SineTable[450];

// Rotates every 16.16 point of src about z, then y, then x (degrees 0..359) into
// dst as whole units; copies the count word. The spare words are not touched.
// Angles outside 0..359 are taken modulo 360.
void RotatePointArray(const PointArray* src, PointArray* dst, int32_t angleZ, int32_t angleY, int32_t angleX);

struct Camera {
    int32_t viewDistance, centreX, centreY, depthOffset;
};
// Projects in place: w = D + z + depthOffset; x = centreX + x*D/w, y likewise (64-bit
// products, truncating divisions); z keeps the rotated depth. A point with w <= 0
// or projecting beyond +-MaxScreenCoordinate gets usable[i] = 0 (and x, y clamped);
// faces using it are not drawn.
void ProjectPointArray(PointArray* points, const Camera& camera, uint8_t* usable);

// depthKey = z[a] + z[b] + z[c], then an in-place quicksort by depthKey, largest
// first (middle pivot, Hoare partition). With normals set, face normal entries i and
// j move with the faces. The order carries over to the next call.
void SortFaceArray(FaceArray* faces, const PointArray* transformed, PointArray* faceNormals,
                   PointArray* rotatedFaceNormals);

// (x1 - x0)(y2 - y0) - (y1 - y0)(x2 - x0) in 32-bit arithmetic; a face is drawn
// only when this is negative (counter-clockwise on a screen whose rows grow down).
int32_t BackFaceValue(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// The renderer's copy of the object being drawn and its per-call values.
struct RenderStateData {
    PointArray* vertices;
    FaceArray* faces;
    PointArray* transformedVertices;
    PointArray* faceNormals;
    PointArray* rotatedFaceNormals;
    PointArray* vertexNormals;
    PointArray* rotatedVertexNormals;
    TexCoord* mapping;
    uint32_t mappingCount;
    uint8_t* texture;
    uint8_t* target;
    int32_t angleZ, angleY, angleX;
    ClipRect clip;
    Camera camera;
    uint8_t mode;
    uint8_t colour;   // FillFlat's colour
    TriangleSlot slots[3];
    uint8_t vertexUsable[65536];   // from the last projection
};
extern RenderStateData RenderState;

// Wrappers over RenderState.
void RotatePoints(const PointArray* src, PointArray* dst);
void ProjectPoints(PointArray* points);
void SortFaces(bool moveFaceNormals);
void FillFlat();
void FillShaded();
void FillTextured();

// Draws one object into its target inside its clip rectangle, farthest faces first.
// Mode 3 draws nothing when the object's mapping does not cover its vertices.
void RenderObject(MeshObject* object);
