// Shared by the test folders: whole files read and written, commands run with their
// streams captured, overlay files built from entries, and the check of a start-up
// failure's line and status.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

// A shell command's exit status (-1 when it did not exit) and what it wrote to each stream.
struct CommandOutcome {
    int status;
    std::string out, err;
};

inline CommandOutcome RunCommand(const std::string& command)
{
    const std::string stem = testing::TempDir() + "tivrel_command_" + std::to_string(getpid());
    const int raw = std::system(("(" + command + ") >" + stem + ".out 2>" + stem + ".err").c_str());
    CommandOutcome outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(stem + ".out"), Slurp(stem + ".err")};
    std::remove((stem + ".out").c_str());
    std::remove((stem + ".err").c_str());
    return outcome;
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
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
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
