#include "ovltool/import_source.h"

#include <cerrno>
#include <cstring>

#include "core/read_file.h"

bool ReadSourceFile(const std::string& path, size_t maxBytes, const char* limitText, std::vector<uint8_t>* data,
                    std::string* error)
{
    switch (ReadWholeFile(path, maxBytes, data)) {
    case ReadFileOk: return true;
    case ReadFileNotRegular: *error = path + ": not a regular file"; break;
    case ReadFileMissing:
    case ReadFileCannotOpen: *error = path + ": cannot open (" + strerror(errno) + ")"; break;
    case ReadFileFailed: *error = path + ": read error"; break;
    case ReadFileTooLarge: *error = path + ": " + limitText; break;
    }
    return false;
}
