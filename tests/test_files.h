// Shared by the test folders: whole files read and written, overlay files built from
// entries, and the check of a start-up failure's line and status.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/overlay_writer.h"

inline std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The overlay file of `entries` at `path`, cut to its first `keep` bytes; returns the path.
inline std::string WriteOverlayFile(const std::string& path, const std::vector<OverlayInput>& entries,
                                    size_t keep = SIZE_MAX)
{
    std::vector<uint8_t> file;
    std::string error;
    EXPECT_TRUE(BuildOverlay(entries, &file, &error)) << error;
    if (keep < file.size())
        file.resize(keep);
    WriteBytes(path, file);
    return path;
}

// Runs `body` in a death-test child with its standard output sent to standard error,
// where the regex `line` is matched, and expects status 1.
#define EXPECT_LINE_AND_STATUS_1(body, line)                                                                           \
    EXPECT_EXIT(                                                                                                       \
        {                                                                                                              \
            dup2(2, 1);                                                                                                \
            body;                                                                                                      \
        },                                                                                                             \
        testing::ExitedWithCode(1), line)
