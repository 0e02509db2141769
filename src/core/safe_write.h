// Writing files into a folder without surprises: the one way the program and its
// tools write a file.
//
// A folder is opened once; every file is then named by a plain name inside it (no
// '/', not "." or "..", not empty), so nothing is ever written outside the folder.
// A file is written whole to a temporary beside its target and moved into place
// when complete, so the target holds its old contents or the new ones, never a part.
// The temporary is unnamed (O_TMPFILE: even a killed process leaves nothing behind);
// where the file system has no unnamed files it is a hidden ".NAME.XXXXXX.tmp"
// created with O_CREAT|O_EXCL|O_NOFOLLOW and removed on every failure. A symlink
// planted in the folder is never followed: without `force` any existing name (a
// symlink too) is refused, with `force` the name itself is replaced. Nothing is
// synced to the disk: the guarantee is against a stopped process, not a power cut.
//
// Every failure gives one line without a line feed that names the path.
#pragma once
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <string>

struct SafeFolder {
    int fd = -1;
    std::string path;                // as opened; messages name files as path/name
    bool namedTemporaries = false;   // use named temporaries even where unnamed ones exist
};

// Opens the folder `path` (which may be reached through symlinks the caller chose);
// with `create`, makes it and its missing parents first. False with the reason.
bool SafeFolderOpen(SafeFolder* folder, const std::string& path, bool create, std::string* error);
// Opens the folder `name` inside `parent`, making it first with `create`; a symlink
// of that name is refused, never followed.
bool SafeFolderOpenChild(SafeFolder* folder, const SafeFolder& parent, const std::string& name, bool create,
                         std::string* error);
void SafeFolderClose(SafeFolder* folder);

enum SafeWriteResult {
    SafeWriteOk = 0,
    SafeWriteExists,   // the name exists and `force` was not given; nothing changed
    SafeWriteFailed,   // bad name, or the system refused; the target is unchanged
};

// A name that stays inside a folder: not empty, not "." or "..", no '/' or NUL byte.
bool SafeFileName(const std::string& name);

// Whether anything (a symlink too, even a dangling one) has this name in the folder.
bool SafeNameTaken(const SafeFolder& folder, const std::string& name);
// How messages name the file `name` of the folder: "path/name".
std::string SafeFilePath(const SafeFolder& folder, const std::string& name);

// Writes `size` bytes as `name` in `folder`.
SafeWriteResult SafeWriteFile(const SafeFolder& folder, const std::string& name, const void* data, size_t size,
                              bool force, std::string* error);
// The same for a path: the folder is everything before the last '/' (the working
// folder when there is none) and must exist; messages name `path` as given.
SafeWriteResult SafeWritePath(const std::string& path, const void* data, size_t size, bool force, std::string* error);

// A file written piece by piece: SafeFileOpen, SafeFileWrite / SafeFileWriteAt any
// number of times, then SafeFileCommit (the target appears) or SafeFileAbandon (the
// temporary goes, the target is unchanged). After a failed write only Abandon helps;
// Commit then fails as well. The folder may be closed while the file is open.
struct SafeFile {
    int fd = -1;
    int folderFd = -1;
    std::string name;        // the target's name in the folder
    std::string path;        // for messages
    std::string temporary;   // the named temporary; empty when unnamed
    bool force = false;
    bool failed = false;
};

// Creates the temporary. SafeWriteExists when the target exists and `force` is not
// given (checked again at the commit).
SafeWriteResult SafeFileOpen(SafeFile* file, const SafeFolder& folder, const std::string& name, bool force,
                             std::string* error);
// The same for a path, split as by SafeWritePath.
SafeWriteResult SafeFileOpenPath(SafeFile* file, const std::string& path, bool force, std::string* error);
// Appends `size` bytes.
bool SafeFileWrite(SafeFile* file, const void* data, size_t size, std::string* error);
// Writes `size` bytes at `offset` (a header filled in last); the end of the file is
// unchanged unless the span reaches past it.
bool SafeFileWriteAt(SafeFile* file, uint64_t offset, const void* data, size_t size, std::string* error);
// Moves the temporary into place and closes the file, which is then empty again.
SafeWriteResult SafeFileCommit(SafeFile* file, std::string* error);
// Removes the temporary and closes the file; nothing happens to an empty SafeFile.
void SafeFileAbandon(SafeFile* file);
// After a failed write to a file of whole records: cuts it back to its first `size`
// bytes (the end of the last whole record) and makes Commit possible again, so the
// target keeps what was written before the failure. False with the reason.
inline bool SafeFileCutBack(SafeFile* file, uint64_t size, std::string* error)
{
    if (file->fd < 0 || ftruncate(file->fd, off_t(size)) != 0 || lseek(file->fd, off_t(size), SEEK_SET) < 0) {
        if (error != nullptr)
            *error = "cannot write " + file->path + ": " + std::strerror(errno);
        return false;
    }
    file->failed = false;
    return true;
}
