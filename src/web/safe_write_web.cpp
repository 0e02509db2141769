// Safe writes for the WebAssembly builds (core/safe_write.h), through paths: the
// emulated file systems have neither unnamed files nor linkat/renameat2, and their
// descriptor-relative calls are unreliable. A file is written to a named temporary
// ".NAME.XXXXXX.tmp" (O_CREAT|O_EXCL|O_NOFOLLOW) beside its target and renamed into
// place at the commit. Without `force` an existing name (a symlink too) is refused
// at the open and again just before the rename; between the two checks another
// process could create the name (the native helper closes that gap, this one
// cannot). SafeFolder::fd is -1 and SafeFile::folderFd unused; every message is the
// native helper's.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "core/safe_write.h"
#include "core/safe_write_common.h"

namespace {

bool IsFolder(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool NameTaken(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The folder part of a target path ("." when there is none).
std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// `path` names the target; the temporary goes beside it.
SafeWriteResult OpenAt(SafeFile* file, const std::string& folder, const std::string& name, const std::string& path,
                       bool force, std::string* error)
{
    SafeFileAbandon(file);
    if (!SafeFileName(name)) {
        SafeWriteFail(error, "cannot write " + path + ": \"" + name + "\" is not a plain file name");
        return SafeWriteFailed;
    }
    const std::string target = SafeWriteJoin(folder, name);
    if (!force && NameTaken(target)) {
        SafeWriteFail(error, path + " exists already");
        return SafeWriteExists;
    }
    if (!IsFolder(folder)) {
        errno = ENOTDIR;
        SafeWriteFailErrno(error, "cannot write", path);
        return SafeWriteFailed;
    }
    file->name = target;
    file->path = path;
    file->force = force;
    for (unsigned attempt = 0; file->fd < 0 && attempt < SafeWriteTemporaryAttempts; attempt++) {
        std::string temporary = SafeWriteJoin(folder, SafeWriteTemporaryName(name, attempt));
        file->fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (file->fd >= 0)
            file->temporary = temporary;
        else if (errno != EEXIST)
            break;
    }
    if (file->fd < 0) {
        SafeWriteFailErrno(error, "cannot write", path);
        *file = SafeFile{};
        return SafeWriteFailed;
    }
    return SafeWriteOk;
}

SafeWriteResult WriteWhole(SafeFile* file, const void* data, size_t size, std::string* error)
{
    if (!SafeFileWrite(file, data, size, error)) {
        SafeFileAbandon(file);
        return SafeWriteFailed;
    }
    return SafeFileCommit(file, error);
}

}   // namespace

bool SafeFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool SafeNameTaken(const SafeFolder& folder, const std::string& name)
{
    return SafeFileName(name) && NameTaken(SafeWriteJoin(folder.path, name));
}

std::string SafeFilePath(const SafeFolder& folder, const std::string& name) { return SafeWriteJoin(folder.path, name); }

bool SafeFolderOpen(SafeFolder* folder, const std::string& path, bool create, std::string* error)
{
    SafeFolderClose(folder);
    if (path.empty())
        return SafeWriteFail(error, "no folder given");
    if (create) {
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        if (ec)
            return SafeWriteFail(error, "cannot create " + path + ": " + ec.message());
    }
    if (!IsFolder(path)) {
        errno = NameTaken(path) ? ENOTDIR : ENOENT;
        return SafeWriteFailErrno(error, "cannot open folder", path);
    }
    folder->path = path;
    return true;
}

bool SafeFolderOpenChild(SafeFolder* folder, const SafeFolder& parent, const std::string& name, bool create,
                         std::string* error)
{
    std::string path = SafeWriteJoin(parent.path, name);
    SafeFolderClose(folder);
    if (!SafeFileName(name))
        return SafeWriteFail(error, "cannot open folder " + path + ": \"" + name + "\" is not a plain file name");
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return SafeWriteFail(error, "cannot open folder " + path + ": it is a symlink");
    if (create && mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
        return SafeWriteFailErrno(error, "cannot create", path);
    if (!IsFolder(path)) {
        errno = NameTaken(path) ? ENOTDIR : ENOENT;
        return SafeWriteFailErrno(error, "cannot open folder", path);
    }
    folder->path = path;
    folder->namedTemporaries = true;
    return true;
}

void SafeFolderClose(SafeFolder* folder) { *folder = SafeFolder{}; }

SafeWriteResult SafeWriteFile(const SafeFolder& folder, const std::string& name, const void* data, size_t size,
                              bool force, std::string* error)
{
    SafeFile file;
    SafeWriteResult opened = SafeFileOpen(&file, folder, name, force, error);
    return opened == SafeWriteOk ? WriteWhole(&file, data, size, error) : opened;
}

SafeWriteResult SafeWritePath(const std::string& path, const void* data, size_t size, bool force, std::string* error)
{
    SafeFile file;
    SafeWriteResult opened = SafeFileOpenPath(&file, path, force, error);
    return opened == SafeWriteOk ? WriteWhole(&file, data, size, error) : opened;
}

SafeWriteResult SafeFileOpenPath(SafeFile* file, const std::string& path, bool force, std::string* error)
{
    size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return OpenAt(file, FolderOf(path), name, path, force, error);
}

SafeWriteResult SafeFileOpen(SafeFile* file, const SafeFolder& folder, const std::string& name, bool force,
                             std::string* error)
{
    return OpenAt(file, folder.path, name, SafeWriteJoin(folder.path, name), force, error);
}

SafeWriteResult SafeFileCommit(SafeFile* file, std::string* error)
{
    if (file->fd < 0 || file->failed) {
        SafeWriteFail(error,
                      "cannot write " + file->path + ": " + (file->fd < 0 ? "the file is not open" : "a write failed"));
        SafeFileAbandon(file);
        return SafeWriteFailed;
    }
    if (!file->force && NameTaken(file->name)) {
        SafeWriteFail(error, file->path + " exists already");
        SafeFileAbandon(file);
        return SafeWriteExists;
    }
    close(file->fd);
    file->fd = -1;
    if (std::rename(file->temporary.c_str(), file->name.c_str()) != 0) {
        SafeWriteFailErrno(error, "cannot write", file->path);
        SafeFileAbandon(file);
        return SafeWriteFailed;
    }
    *file = SafeFile{};
    return SafeWriteOk;
}

void SafeFileAbandon(SafeFile* file)
{
    if (file->fd >= 0)
        close(file->fd);
    if (!file->temporary.empty())
        unlink(file->temporary.c_str());
    *file = SafeFile{};
}
