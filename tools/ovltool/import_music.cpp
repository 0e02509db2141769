#include "ovltool/import_music.h"

#include <cstdio>

bool ImportMusic(const std::string& sourcePath, std::vector<uint8_t>* entryBytes, std::string* report,
                 std::string* error)
{
    FILE* f = fopen(sourcePath.c_str(), "rb");
    if (f == nullptr) {
        *error = sourcePath + ": cannot open";
        return false;
    }
    entryBytes->clear();
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        entryBytes->insert(entryBytes->end(), chunk, chunk + n);
    fclose(f);
    *report = "stored unchanged";
    return true;
}
