// Safe writes through openat/linkat/renameat on a folder descriptor.
#include "core/safe_write.h"
#include "core/safe_write_common.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace {

// Gives the unnamed temporary open as `fd` the name `temporary` in the folder.
bool LinkUnnamed(int fd, int folderFd, const std::string& temporary)
{
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    return linkat(AT_FDCWD, self.c_str(), folderFd, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

void Reset(SafeFile* file)
{
    if (file->fd >= 0)
        close(file->fd);
    if (file->folderFd >= 0)
        close(file->folderFd);
    *file = SafeFile{};
}

SafeWriteResult OpenIn(SafeFile* file, int folderFd, bool namedOnly, const std::string& name, const std::string& path,
                       bool force, std::string* error)
{
    SafeFileAbandon(file);
    if (!SafeFileName(name)) {
        SafeWriteFail(error, "cannot write " + path + ": \"" + name + "\" is not a plain file name");
        return SafeWriteFailed;
    }
    struct stat st;
    if (!force && fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        SafeWriteFail(error, path + " exists already");
        return SafeWriteExists;
    }
    file->folderFd = fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (file->folderFd < 0) {
        SafeWriteFailErrno(error, "cannot write", path);
        return SafeWriteFailed;
    }
    file->name = name;
    file->path = path;
    file->force = force;
    // An unnamed temporary is given a name through /proc at the commit.
    if (!namedOnly && access("/proc/self/fd", X_OK) == 0)
        file->fd = openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    for (unsigned attempt = 0; file->fd < 0 && attempt < SafeWriteTemporaryAttempts; attempt++) {
        std::string temporary = SafeWriteTemporaryName(name, attempt);
        file->fd = openat(folderFd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (file->fd >= 0)
            file->temporary = temporary;
        else if (errno != EEXIST)
            break;
    }
    if (file->fd < 0) {
        SafeWriteFailErrno(error, "cannot write", path);
        Reset(file);
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
    struct stat st;
    return SafeFileName(name) && fstatat(folder.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
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
    folder->fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder->fd < 0)
        return SafeWriteFailErrno(error, "cannot open folder", path);
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
    if (create && mkdirat(parent.fd, name.c_str(), 0777) != 0 && errno != EEXIST)
        return SafeWriteFailErrno(error, "cannot create", path);
    folder->fd = openat(parent.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder->fd < 0) {
        struct stat st;
        if (fstatat(parent.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            return SafeWriteFail(error, "cannot open folder " + path + ": it is a symlink");
        return SafeWriteFailErrno(error, "cannot open folder", path);
    }
    folder->path = path;
    folder->namedTemporaries = parent.namedTemporaries;
    return true;
}

void SafeFolderClose(SafeFolder* folder)
{
    if (folder->fd >= 0)
        close(folder->fd);
    *folder = SafeFolder{};
}

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
    SafeFileAbandon(file);
    size_t slash = path.rfind('/');
    std::string folderPath = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    int folderFd = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        SafeWriteFailErrno(error, "cannot write", path);
        return SafeWriteFailed;
    }
    SafeWriteResult opened = OpenIn(file, folderFd, false, name, path, force, error);
    close(folderFd);
    return opened;
}

SafeWriteResult SafeFileOpen(SafeFile* file, const SafeFolder& folder, const std::string& name, bool force,
                             std::string* error)
{
    return OpenIn(file, folder.fd, folder.namedTemporaries, name, SafeWriteJoin(folder.path, name), force, error);
}

SafeWriteResult SafeFileCommit(SafeFile* file, std::string* error)
{
    if (file->fd < 0 || file->failed) {
        SafeWriteFail(error,
                      "cannot write " + file->path + ": " + (file->fd < 0 ? "the file is not open" : "a write failed"));
        SafeFileAbandon(file);
        return SafeWriteFailed;
    }
    const char* name = file->name.c_str();
    if (file->temporary.empty()) {
        // Unnamed: linking it under the target's name refuses an existing name by
        // itself; replacing goes through a named temporary and a rename.
        if (LinkUnnamed(file->fd, file->folderFd, file->name)) {
            Reset(file);
            return SafeWriteOk;
        }
        if (errno != EEXIST) {
            SafeWriteFailErrno(error, "cannot write", file->path);
            SafeFileAbandon(file);
            return SafeWriteFailed;
        }
        if (!file->force) {
            SafeWriteFail(error, file->path + " exists already");
            SafeFileAbandon(file);
            return SafeWriteExists;
        }
        for (unsigned attempt = 0; file->temporary.empty() && attempt < SafeWriteTemporaryAttempts; attempt++) {
            std::string temporary = SafeWriteTemporaryName(file->name, attempt);
            if (LinkUnnamed(file->fd, file->folderFd, temporary))
                file->temporary = temporary;
            else if (errno != EEXIST)
                break;
        }
        if (file->temporary.empty()) {
            SafeWriteFailErrno(error, "cannot write", file->path);
            SafeFileAbandon(file);
            return SafeWriteFailed;
        }
    }
    const char* temporary = file->temporary.c_str();
    int moved = -1;
    if (file->force) {
        moved = renameat(file->folderFd, temporary, file->folderFd, name);
    } else {
        moved = renameat2(file->folderFd, temporary, file->folderFd, name, RENAME_NOREPLACE);
        if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {   // no RENAME_NOREPLACE here
            moved = linkat(file->folderFd, temporary, file->folderFd, name, 0);
            if (moved == 0)
                unlinkat(file->folderFd, temporary, 0);
        }
    }
    if (moved != 0) {
        bool exists = errno == EEXIST;
        if (exists)
            SafeWriteFail(error, file->path + " exists already");
        else
            SafeWriteFailErrno(error, "cannot write", file->path);
        SafeFileAbandon(file);
        return exists ? SafeWriteExists : SafeWriteFailed;
    }
    file->temporary.clear();
    Reset(file);
    return SafeWriteOk;
}

void SafeFileAbandon(SafeFile* file)
{
    if (!file->temporary.empty() && file->folderFd >= 0)
        unlinkat(file->folderFd, file->temporary.c_str(), 0);
    Reset(file);
}
