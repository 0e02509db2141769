// placeholder until the mesh writer lands
#include "gencontent/meshes.h"
void WriteMeshes(const std::string&) {}
