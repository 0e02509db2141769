#include "ovltool/import_source.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

bool ReadSourceFile(const std::string& path, size_t maxBytes, const char* limitText, std::vector<uint8_t>* data,
                    std::string* error)
{
    // A pipe or device would block or never end: only regular files are read.
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        *error = path + ": not a regular file";
        return false;
    }
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) {
        *error = path + ": cannot open (" + strerror(errno) + ")";
        return false;
    }
    data->clear();
    uint8_t chunk[65536];
    size_t n;
    while (data->size() <= maxBytes && (n = fread(chunk, 1, sizeof chunk, f)) > 0)
        data->insert(data->end(), chunk, chunk + n);
    const bool readError = ferror(f) != 0;
    fclose(f);
    if (readError) {
        *error = path + ": read error";
        return false;
    }
    if (data->size() > maxBytes) {
        *error = path + ": " + limitText;
        return false;
    }
    return true;
}
