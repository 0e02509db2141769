// Reading a whole file into memory, with a bound on its size.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum ReadFileResult {
    ReadFileOk = 0,
    ReadFileMissing,      // stat failed (errno tells why: no such file, no permission, ...)
    ReadFileNotRegular,   // a folder, pipe or device: only regular files are read
    ReadFileCannotOpen,   // errno tells why
    ReadFileFailed,       // a read error
    ReadFileTooLarge,     // more than maxBytes
};

// Reads the regular file `path` into *data (replacing what it held), reading no
// further once it holds more than maxBytes (SIZE_MAX: no bound).
ReadFileResult ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>* data);
