// The mesh entries of the default data, written in the 3D Studio chunk format.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes star.3ds, jo2.3ds, jo6.3ds, part5.3ds, new4.3ds and stucco1.3ds into dir;
// exits with status 1 when a file cannot be written.
void WriteMeshes(const std::string& dir);

// The bytes of one of the files above by name; empty for another name.
std::vector<uint8_t> BuildMeshFile(const std::string& name);

// The six file names, in scene order.
extern const char* const MeshFileNames[6];
