// The mesh record, the object table and their operations.
#include "engine3d/mesh.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

MeshObject* ObjectTable[ObjectTableSize];
int32_t ObjectCount;

void* EngineAlloc(size_t bytes)
{
    void* block = malloc(bytes ? bytes : 1);
    if (!block)
        OutOfMemoryExit();
    return block;
}

uintptr_t TextureAddressInBlock(uintptr_t blockStart) { return (blockStart + 65536) & ~uintptr_t(65535); }

void AllocateTextureBlock(MeshObject* object)
{
    object->textureBlock = static_cast<uint8_t*>(EngineAlloc(TextureBlockBytes));
    uintptr_t start = reinterpret_cast<uintptr_t>(object->textureBlock);
    object->texture = object->textureBlock + (TextureAddressInBlock(start) - start);
}

// The seven geometry arrays every object owns.
static void FreeGeometry(MeshObject* object)
{
    free(object->vertices);
    free(object->faces);
    free(object->transformedVertices);
    free(object->faceNormals);
    free(object->rotatedFaceNormals);
    free(object->vertexNormals);
    free(object->rotatedVertexNormals);
}

void ReleaseObject(MeshObject* object)
{
    FreeGeometry(object);
    free(object->textureBlock);
    free(object->target);
    object->vertices = object->transformedVertices = nullptr;
    object->faceNormals = object->rotatedFaceNormals = nullptr;
    object->vertexNormals = object->rotatedVertexNormals = nullptr;
    object->faces = nullptr;
    object->textureBlock = object->texture = object->target = nullptr;
}

void ReleaseSharingObject(MeshObject* object)
{
    FreeGeometry(object);
    free(object->mapping);
    free(object);
}

void ReleaseObjectTable()
{
    for (int32_t k = ObjectCount - 1; k >= 1; k--) {
        ReleaseSharingObject(ObjectTable[k]);
        ObjectTable[k] = nullptr;
    }
    if (ObjectCount > 0 && ObjectTable[0]) {
        ReleaseObject(ObjectTable[0]);
        free(ObjectTable[0]->mapping);
        free(ObjectTable[0]);
        ObjectTable[0] = nullptr;
    }
    ObjectCount = 0;
}

void CopyObjectParameters(uint8_t fromIndex, uint8_t toIndex)
{
    const MeshObject* from = ObjectTable[fromIndex];
    MeshObject* to = ObjectTable[toIndex];
    to->centreX = from->centreX;
    to->centreY = from->centreY;
    to->depthOffset = from->depthOffset;
    to->clipTop = from->clipTop;
    to->clipBottom = from->clipBottom;
    to->clipLeft = from->clipLeft;
    to->clipRight = from->clipRight;
    to->viewDistance = from->viewDistance;
    to->angleZ = from->angleZ;
    to->angleY = from->angleY;
    to->angleX = from->angleX;
    to->target = from->target;
    to->texture = from->texture;
    to->mode = from->mode;
}
