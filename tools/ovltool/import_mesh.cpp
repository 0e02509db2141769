#include "ovltool/import_mesh.h"

#include <cstdio>

static bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data, std::string* error)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) {
        *error = path + ": cannot open";
        return false;
    }
    data->clear();
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        data->insert(data->end(), chunk, chunk + n);
    bool ok = ferror(f) == 0;
    fclose(f);
    if (!ok)
        *error = path + ": read error";
    return ok;
}

bool ImportMesh(const std::string& sourcePath, const std::string& entryName, const MeshImportOptions& options,
                std::vector<uint8_t>* entryBytes, std::string* report, std::string* error)
{
    (void)entryName;
    std::vector<uint8_t> data;
    if (!ReadWholeFile(sourcePath, &data, error))
        return false;
    bool is3ds = data.size() >= 6 && data[0] == 0x4D && data[1] == 0x4D;
    if (is3ds && !options.keepScale && !options.keepObjects && !options.generateUv) {
        *entryBytes = std::move(data);
        *report = "stored unchanged (already a 3DS mesh)";
        return true;
    }
    *error = sourcePath + ": mesh conversion is not available yet";
    return false;
}
