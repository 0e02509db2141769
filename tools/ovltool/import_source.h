// Source files of the importers, read whole with a size bound.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads `path` into *data. False with a one-line reason naming the file when it
// is not a regular file, cannot be opened or read, or holds more than maxBytes (`limitText` says the limit,
// e.g. "larger than 256 MiB").
bool ReadSourceFile(const std::string& path, size_t maxBytes, const char* limitText, std::vector<uint8_t>* data,
                    std::string* error);
