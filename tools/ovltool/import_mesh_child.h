// The mesh importer's child process, for ImportMesh (import_mesh.cpp).
#pragma once
#include <string>
#include <vector>

#include "ovltool/import_mesh.h"

// Runs the importer library on `path` in a child process, limited to 20 seconds of
// processor time, 40 seconds in all and (outside sanitizer builds) 2 GiB of address
// space, and decodes the triangle stream it sends (ParseTriangleStream). False with a
// one-line reason: the child's own, or that it was stopped, crashed or failed.
bool LoadMeshInChild(const std::string& path, std::vector<SourceMesh>* meshes, std::string* error);
