// The mesh record, the object table and the 3D Studio mesh reader.
//
// Number formats: 16.16 fixed point is a signed 32-bit value x 65,536; angles are
// whole degrees 0..359. Model space: x right, y down (the file's -z), z away from
// the viewer (the file's y).
#pragma once
#include <cstddef>
#include <cstdint>

#include "archive/content_format.h"
#include "core/fail.h"
#include "core/fixed.h"

// One entry of a PointArray: x, y, z and a spare word the engine never touches.
struct Point4 {
    int32_t x, y, z, spare;
};

// A count word followed by `count` points; allocated as count x 16 + 4 bytes.
struct PointArray {
    uint32_t count;
    Point4 entry[];
};

// One triangle: zero-based vertex indices a, b, c (the file's order decides the
// front side) and the depth key the renderer writes every frame.
struct Face {
    int32_t a, b, c, depthKey;
};

// A count word followed by `count` faces; allocated as count x 16 + 4 bytes.
struct FaceArray {
    uint32_t count;
    Face entry[];
};

// Texture coordinates of one vertex, in texels (256 = one texture width).
struct TexCoord {
    int32_t u, v;
};

// Render modes; every value above 4 draws as 4.
enum RenderMode : uint8_t {
    ModeFlat = 0,           // colour from the face normal
    ModeNormalShaded = 1,   // intensity from vertex normals
    ModeDepthShaded = 2,    // intensity from vertex depth
    ModeTextured = 3,       // texture through the mapping coordinates
    ModeEnvironment = 4,    // texture through the rotated vertex normals
};

constexpr size_t TextureBlockBytes = 131072;
constexpr size_t TargetImageBytes = 64004;

// Everything one RenderObject call needs. The first object of a mesh entry owns
// textureBlock and target; the others share them through CopyObjectParameters.
struct MeshObject {
    PointArray* vertices;                               // 16.16 model positions
    FaceArray* faces;                                   // reordered by the renderer every frame
    PointArray* transformedVertices;                    // per frame: rotated, then screen x, y and rotated z
    PointArray* faceNormals;                            // 16.16, length 63
    PointArray* rotatedFaceNormals;                     // per frame in mode 0, integers
    PointArray* vertexNormals;                          // 16.16, length 63
    PointArray* rotatedVertexNormals;                   // per frame in modes 1..4, integers
    TexCoord* mapping;                                  // one entry per vertex, or null
    uint8_t* textureBlock;                              // 131,072-byte allocation holding the texture
    uint8_t* texture;                                   // 256x256 texels, 65,536-aligned inside textureBlock
    uint8_t* target;                                    // 320x200 image (64,004-byte block)
    int32_t angleZ, angleY, angleX;                     // applied in this order
    int32_t clipTop, clipBottom, clipRight, clipLeft;   // inclusive bounds
    int32_t viewDistance;
    int32_t centreX, centreY;
    int32_t depthOffset;
    uint8_t mode;            // RenderMode
    uint32_t mappingCount;   // entries in mapping; mode 3 draws only when >= vertex count
};

constexpr int ObjectTableSize = 65536;
// Objects of the current mesh entry, in file order, and how many are filled.
extern MeshObject* ObjectTable[ObjectTableSize];
extern int32_t ObjectCount;
// Objects per mesh entry the reader accepts (CopyObjectParameters takes 8-bit positions).
constexpr int MaxObjectsPerEntry = MeshMaxObjects;

// malloc that ends the process through OutOfMemoryExit on failure.
void* EngineAlloc(size_t bytes);

// The texture address for a texture block: the first multiple of 65,536 strictly
// above the block's start (65,536 in when the block starts on one).
uintptr_t TextureAddressInBlock(uintptr_t blockStart);
// Allocates object's 131,072-byte textureBlock and places its texture.
void AllocateTextureBlock(MeshObject* object);

// Frees, in order, vertices, faces, transformedVertices, faceNormals,
// rotatedFaceNormals, vertexNormals, rotatedVertexNormals, textureBlock and target.
// Not the record, not the mapping. For the first object of an entry only.
void ReleaseObject(MeshObject* object);
// Frees an object's seven geometry arrays and its mapping, not the shared
// texture and target; then the record. For objects other than the first.
void ReleaseSharingObject(MeshObject* object);
// Releases every object of the table (the first with ReleaseObject, its mapping
// and record too) and sets ObjectCount to 0.
void ReleaseObjectTable();

// Copies camera, clip, angles, target, texture and mode from ObjectTable[from] to
// ObjectTable[to]; positions are taken as 8-bit numbers. No geometry, mapping or
// textureBlock.
void CopyObjectParameters(uint8_t fromIndex, uint8_t toIndex);

// Where the reader's bytes come from: an archive entry or a block of memory.
struct MeshSource {
    // Copies count bytes from the position to dest and advances; false when it cannot.
    bool (*read)(void* context, void* dest, uint32_t count);
    // whence 0: from the start, 1: relative. Returns the new position.
    uint32_t (*seek)(void* context, uint32_t offset, int whence);
    void* context;
    uint32_t size;   // bytes in the entry
};

// A MeshSource over bytes in memory; `state` must outlive the source.
struct MemoryMeshInput {
    const uint8_t* bytes;
    uint32_t size;
    uint32_t position;
};
MeshSource MemoryMeshSource(MemoryMeshInput* state);

// Reads a whole 3D Studio mesh entry from its start into ObjectTable[0..ObjectCount-1].
// Returns null on success, or a one-line reason (no line feed) when the file is not
// a mesh file or lies about its structure; then ObjectCount is 0 and every object
// it created is released. Nothing outside the entry is read.
const char* ParseMeshEntry(const MeshSource& source);

// The reason ParseMeshEntry gives when the main chunk id is wrong.
extern const char* const NotMeshFileReason;
