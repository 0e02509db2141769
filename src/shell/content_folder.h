// tivrel --data FOLDER: a content folder (a folder holding tivrel.toml) played
// directly. It is built by `ovltool build FOLDER -o -` in a child process (ovltool
// beside this program, else on PATH) into an in-memory file; nothing is written to
// the disk.
#pragma once
#include <sys/types.h>

#include <string>

// Whether `path` is a folder (the caller then plays it as a content folder).
bool IsContentFolder(const std::string& path);

// Builds the content folder and replaces *path with a path of the built data file
// ("/proc/self/fd/N", open until the process ends). The build's report goes to
// stderr. False with a one-line reason (the build's own reason was printed above it).
bool BuildContentFolder(std::string* path, std::string* error);

// A build running in a child: the data file goes to an in-memory file, the report
// to stderr or (keepReport) to a second in-memory file, for its last line.
struct FolderBuild {
    pid_t child = -1;
    int data = -1;
    int report = -1;
    std::string folder;
};
// Starts the build of `folder`. False with a one-line reason.
bool StartFolderBuild(const std::string& folder, bool keepReport, FolderBuild* build, std::string* error);
// Whether the build has ended (with `wait`, after waiting for it); nothing happens
// when none runs. Once ended: *dataFd is the data file's descriptor (the caller
// owns it) and true is returned in *succeeded, or *succeeded is false and *error
// is one line: the build's own last line when it kept its report, else a summary.
bool FinishFolderBuild(FolderBuild* build, bool wait, bool* succeeded, int* dataFd, std::string* error);
// The path of an open descriptor, as the archive reader opens it.
std::string DescriptorPath(int fd);
