// tivrel --data FOLDER: a content folder (a folder holding tivrel.toml) played
// directly. It is built by `ovltool build FOLDER -o -` in a child process (ovltool
// beside this program, else on PATH) into an in-memory file; nothing is written to
// the disk.
#pragma once
#include <string>

// Whether `path` is a folder (the caller then plays it as a content folder).
bool IsContentFolder(const std::string& path);

// Builds the content folder and replaces *path with a path of the built data file
// ("/proc/self/fd/N", open until the process ends). The build's report goes to
// stderr. False with a one-line reason (the build's own reason was printed above it).
bool BuildContentFolder(std::string* path, std::string* error);
