// The mesh importer's child-to-parent triangle stream. Properties:
// - a refused stream leaves a one-line reason and no meshes;
// - an accepted one gives meshes whose faces index only their own vertices, with
//   finite positions and mapping coordinates for every vertex or none.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "ovltool/import_mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<SourceMesh> meshes;
    std::string error;
    if (!ParseTriangleStream(data, size, &meshes, &error)) {
        FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos, "reason \"%s\"", error.c_str());
        return 0;
    }
    for (const SourceMesh& m : meshes) {
        const size_t vertices = m.positions.size() / 3;
        FUZZ_CHECK(m.positions.size() % 3 == 0 && m.indices.size() % 3 == 0, "ragged mesh");
        FUZZ_CHECK(m.uv.empty() || m.uv.size() == 2 * vertices, "%zu uv values for %zu vertices", m.uv.size(),
                   vertices);
        for (float f : m.positions)
            FUZZ_CHECK(std::isfinite(f), "position not finite");
        for (uint32_t i : m.indices)
            FUZZ_CHECK(i < vertices, "index %u of %zu vertices", i, vertices);
    }
    return 0;
}
