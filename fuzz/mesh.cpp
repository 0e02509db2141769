// The 3D Studio mesh reader on one entry held in memory, then (when the entry reads)
// every object drawn the way the mesh scenes draw it: the first object owns a target
// image and a texture, the others share them. Properties:
// - a rejected entry leaves a one-line reason and an empty object table;
// - an accepted entry gives 1..MaxObjectsPerEntry objects whose faces index only
//   their own vertices;
// - drawing writes only inside the clip rectangle of the 320x200 target;
// - ReleaseObjectTable frees everything (the leak checker sees the rest).
#include <cstdint>
#include <cstring>

#include "engine3d/mesh.h"
#include "engine3d/render.h"
#include "fuzz_check.h"

namespace {

constexpr int Width = 320, Height = 200;
// Drawing cost grows with the face count (each face may cover the whole target).
constexpr uint32_t MaxFacesDrawn = 2048;

void CheckObjects()
{
    FUZZ_CHECK(ObjectCount >= 1 && ObjectCount <= MaxObjectsPerEntry, "%d objects", ObjectCount);
    for (int32_t k = 0; k < ObjectCount; k++) {
        const MeshObject* o = ObjectTable[k];
        FUZZ_CHECK(o && o->vertices && o->faces && o->vertexNormals && o->faceNormals, "object %d incomplete", k);
        const uint32_t vertices = o->vertices->count;
        FUZZ_CHECK(o->transformedVertices && o->vertexNormals->count == vertices, "object %d vertex arrays", k);
        FUZZ_CHECK(o->faceNormals->count == o->faces->count, "object %d face arrays", k);
        for (uint32_t f = 0; f < o->faces->count; f++) {
            const Face& face = o->faces->entry[f];
            FUZZ_CHECK(uint32_t(face.a) < vertices && uint32_t(face.b) < vertices && uint32_t(face.c) < vertices,
                       "object %d face %u indexes past %u vertices", k, f, vertices);
        }
    }
}

// Draws every object with the first object's parameters; checks that no pixel
// outside the clip rectangle (nor the target's four spare bytes) was written.
void Draw(uint8_t mode, int32_t angle, int32_t inset)
{
    MeshObject* first = ObjectTable[0];
    memset(first->target, 0, TargetImageBytes);
    first->mode = mode;
    first->centreX = Width / 2;
    first->centreY = Height / 2;
    first->depthOffset = 300;
    first->viewDistance = 256;
    first->clipTop = inset;
    first->clipBottom = Height - 1 - inset;
    first->clipLeft = inset;
    first->clipRight = Width - 1 - inset;
    for (int32_t k = 1; k < ObjectCount; k++)
        CopyObjectParameters(0, uint8_t(k));
    for (int32_t k = 0; k < ObjectCount; k++) {
        MeshObject* o = ObjectTable[k];
        o->angleZ = o->angleY = o->angleX = angle;
        RenderObject(o);
    }
    const uint8_t* image = first->target;
    for (int y = 0; y < Height; y++)
        for (int x = 0; x < Width; x++) {
            bool inside = y >= inset && y < Height - inset && x >= inset && x < Width - inset;
            FUZZ_CHECK(inside || image[y * Width + x] == 0, "mode %u drew (%d, %d) outside the clip inset %d", mode, x,
                       y, inset);
        }
    for (size_t b = Width * Height; b < TargetImageBytes; b++)
        FUZZ_CHECK(image[b] == 0, "mode %u wrote spare byte %zu of the target", mode, b);
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > UINT32_MAX)
        return 0;
    MemoryMeshInput input{data, uint32_t(size), 0};
    const char* error = ParseMeshEntry(MemoryMeshSource(&input));
    if (error) {
        FUZZ_CHECK(error[0] && !strchr(error, '\n'), "reason \"%s\"", error);
        FUZZ_CHECK(ObjectCount == 0, "rejected entry left %d objects", ObjectCount);
        ReleaseObjectTable();
        return 0;
    }
    CheckObjects();

    uint32_t faces = 0;
    for (int32_t k = 0; k < ObjectCount; k++)
        faces += ObjectTable[k]->faces->count;
    if (faces <= MaxFacesDrawn) {
        MeshObject* first = ObjectTable[0];
        first->target = static_cast<uint8_t*>(EngineAlloc(TargetImageBytes));
        AllocateTextureBlock(first);
        for (uint32_t t = 0; t < 65536; t++)
            first->texture[t] = uint8_t(t * 7 + (t >> 8));
        // The demo's modes (environment, textured) and one more chosen by the size,
        // which the fuzzer varies through bytes after the main chunk.
        Draw(ModeEnvironment, 0, 0);
        Draw(ModeTextured, 45, 7);
        Draw(uint8_t(size % 6), int32_t(size % 360), int32_t(size % 50));
    }
    ReleaseObjectTable();
    FUZZ_CHECK(ObjectCount == 0, "release left %d objects", ObjectCount);
    return 0;
}
