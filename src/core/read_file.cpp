#include "core/read_file.h"

#include <sys/stat.h>

#include <cstdio>

ReadFileResult ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>* data)
{
    data->clear();
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return ReadFileMissing;
    if (!S_ISREG(info.st_mode))
        return ReadFileNotRegular;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return ReadFileCannotOpen;
    uint8_t chunk[65536];
    size_t n;
    while (data->size() <= maxBytes && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        data->insert(data->end(), chunk, chunk + n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        return ReadFileFailed;
    return data->size() > maxBytes ? ReadFileTooLarge : ReadFileOk;
}
