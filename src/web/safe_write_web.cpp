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
#include <cstring>
#include <ctime>
#include <filesystem>

#include "core/safe_write.h"

namespace {

std::string Join(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool Fail(std::string* error, const std::string& message)
{
    if (error != nullptr)
        *error = message;
    return false;
}

bool FailErrno(std::string* error, const std::string& what, const std::string& path)
{
    return Fail(error, what + " " + path + ": " + std::strerror(errno));
}

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

std::string TemporaryName(const std::string& name, unsigned attempt)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t x = uint64_t(now.tv_nsec) ^ uint64_t(now.tv_sec) << 30 ^ attempt;
    x += 0x9E3779B97F4A7C15ull;   // splitmix64
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    std::string letters;
    for (int i = 0; i < 6; i++, x /= 36)
        letters += "abcdefghijklmnopqrstuvwxyz0123456789"[x % 36];
    std::string temporary(1, '.');
    temporary.append(name, 0, 200).append(1, '.').append(letters).append(".tmp");
    return temporary;
}

constexpr unsigned TemporaryAttempts = 100;

// `path` names the target; the temporary goes beside it.
SafeWriteResult OpenAt(SafeFile* file, const std::string& folder, const std::string& name, const std::string& path,
                       bool force, std::string* error)
{
    SafeFileAbandon(file);
    if (!SafeFileName(name)) {
        Fail(error, "cannot write " + path + ": \"" + name + "\" is not a plain file name");
        return SafeWriteFailed;
    }
    const std::string target = Join(folder, name);
    if (!force && NameTaken(target)) {
        Fail(error, path + " exists already");
        return SafeWriteExists;
    }
    if (!IsFolder(folder)) {
        errno = ENOTDIR;
        FailErrno(error, "cannot write", path);
        return SafeWriteFailed;
    }
    file->name = target;
    file->path = path;
    file->force = force;
    for (unsigned attempt = 0; file->fd < 0 && attempt < TemporaryAttempts; attempt++) {
        std::string temporary = Join(folder, TemporaryName(name, attempt));
        file->fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (file->fd >= 0)
            file->temporary = temporary;
        else if (errno != EEXIST)
            break;
    }
    if (file->fd < 0) {
        FailErrno(error, "cannot write", path);
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

bool WriteAll(SafeFile* file, const void* data, size_t size, const uint64_t* offset, std::string* error)
{
    if (file->fd < 0 || file->failed)
        return Fail(error, "cannot write " + file->path + ": the file is not open");
    const char* p = static_cast<const char*>(data);
    uint64_t at = offset ? *offset : 0;
    while (size > 0) {
        ssize_t n = offset ? pwrite(file->fd, p, size, off_t(at)) : write(file->fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            file->failed = true;
            return FailErrno(error, "cannot write", file->path);
        }
        p += n;
        size -= size_t(n);
        at += uint64_t(n);
    }
    return true;
}

}   // namespace

bool SafeFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool SafeNameTaken(const SafeFolder& folder, const std::string& name)
{
    return SafeFileName(name) && NameTaken(Join(folder.path, name));
}

std::string SafeFilePath(const SafeFolder& folder, const std::string& name) { return Join(folder.path, name); }

bool SafeFolderOpen(SafeFolder* folder, const std::string& path, bool create, std::string* error)
{
    SafeFolderClose(folder);
    if (path.empty())
        return Fail(error, "no folder given");
    if (create) {
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        if (ec)
            return Fail(error, "cannot create " + path + ": " + ec.message());
    }
    if (!IsFolder(path)) {
        errno = NameTaken(path) ? ENOTDIR : ENOENT;
        return FailErrno(error, "cannot open folder", path);
    }
    folder->path = path;
    return true;
}

bool SafeFolderOpenChild(SafeFolder* folder, const SafeFolder& parent, const std::string& name, bool create,
                         std::string* error)
{
    std::string path = Join(parent.path, name);
    SafeFolderClose(folder);
    if (!SafeFileName(name))
        return Fail(error, "cannot open folder " + path + ": \"" + name + "\" is not a plain file name");
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return Fail(error, "cannot open folder " + path + ": it is a symlink");
    if (create && mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
        return FailErrno(error, "cannot create", path);
    if (!IsFolder(path)) {
        errno = NameTaken(path) ? ENOTDIR : ENOENT;
        return FailErrno(error, "cannot open folder", path);
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
    return OpenAt(file, folder.path, name, Join(folder.path, name), force, error);
}

bool SafeFileWrite(SafeFile* file, const void* data, size_t size, std::string* error)
{
    return WriteAll(file, data, size, nullptr, error);
}

bool SafeFileWriteAt(SafeFile* file, uint64_t offset, const void* data, size_t size, std::string* error)
{
    return WriteAll(file, data, size, &offset, error);
}

SafeWriteResult SafeFileCommit(SafeFile* file, std::string* error)
{
    if (file->fd < 0 || file->failed) {
        Fail(error, "cannot write " + file->path + ": " + (file->fd < 0 ? "the file is not open" : "a write failed"));
        SafeFileAbandon(file);
        return SafeWriteFailed;
    }
    if (!file->force && NameTaken(file->name)) {
        Fail(error, file->path + " exists already");
        SafeFileAbandon(file);
        return SafeWriteExists;
    }
    close(file->fd);
    file->fd = -1;
    if (std::rename(file->temporary.c_str(), file->name.c_str()) != 0) {
        FailErrno(error, "cannot write", file->path);
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
