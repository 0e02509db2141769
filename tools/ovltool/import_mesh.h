// Mesh import for the data file's mesh entries ("star.3ds" ... "stucco1.3ds"): any
// format the assimp library reads, converted in a child process with time and memory
// limits into the 3D Studio subset the player's mesh reader accepts.
#pragma once
#include "ovltool/build_cache.h"
#include <cstdint>
#include <string>
#include <vector>

struct MeshImportOptions {
    bool keepScale = false;            // keep the source's coordinates instead of fitting the scene's camera
    bool keepObjects = false;          // one object per source mesh instead of one merged object
    bool generateUv = false;           // new spherical mapping coordinates even when the source has some
    BuildCache* packCache = nullptr;   // ovltool build's cache: the size checks' streams found and kept there
};

// Reads sourcePath and writes the entry's bytes to *entryBytes. entryName is the
// data-file entry the mesh is for: it decides the size the mesh is fitted to and, for
// the final scene's "stucco1.3ds", the 8-vertex box rule. A source that already is
// a mesh the player reads (and no option asks for a change) is returned byte for
// byte. *report gets one line per step taken (fitting, winding fixes, simplification).
// False with a one-line reason in *error.
bool ImportMesh(const std::string& sourcePath, const std::string& entryName, const MeshImportOptions& options,
                std::vector<uint8_t>* entryBytes, std::string* report, std::string* error);

// ---- the child's triangle stream (for tests and fuzzing) -------------------------------
// The child process that runs the importer library sends the meshes it read as:
//   "TVM1", then records: 'M' u32 vertexCount, u32 faceCount, u8 hasUv, vertexCount x 3
//   float32 positions, (hasUv) vertexCount x 2 float32 u v, faceCount x 3 u32 indices;
//   'E' u32 length, that many bytes of a one-line reason; 'Z' the end.
// All little-endian. Positions are as the library gives them (y up).
struct SourceMesh {
    std::vector<float> positions;    // x, y, z per vertex
    std::vector<float> uv;           // u, v per vertex, or empty
    std::vector<uint32_t> indices;   // three per triangle, each < vertex count
};
// Checks and decodes a stream: counts within the bytes that follow, indices within
// their mesh, finite numbers, at most MaxStreamVertices vertices in all. False with a
// one-line reason (the child's own reason for an 'E' record).
constexpr uint32_t MaxStreamVertices = 16u << 20;
bool ParseTriangleStream(const uint8_t* data, size_t size, std::vector<SourceMesh>* meshes, std::string* error);
