// The mesh entries of the default data, written in the 3D Studio chunk format.
#pragma once
#include <string>

// Writes star.3ds, jo2.3ds, jo6.3ds, part5.3ds, new4.3ds and stucco1.3ds into dir.
void WriteMeshes(const std::string& dir);
