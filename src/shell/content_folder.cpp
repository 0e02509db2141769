#include "shell/content_folder.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool IsContentFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool BuildContentFolder(std::string* path, std::string* error)
{
    int memory = memfd_create("tivrel-data", MFD_CLOEXEC);
    if (memory < 0) {
        *error = std::string("cannot make an in-memory data file: ") + strerror(errno);
        return false;
    }
    // ovltool beside this program first, then on PATH.
    std::string beside;
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        beside.assign(self, size_t(n));
        beside = beside.substr(0, beside.rfind('/') + 1) + "ovltool";
    }
    std::string folder = *path;
    pid_t child = fork();
    if (child < 0) {
        *error = std::string("cannot start ovltool: ") + strerror(errno);
        close(memory);
        return false;
    }
    if (child == 0) {
        if (dup2(memory, STDOUT_FILENO) < 0)
            _exit(126);
        if (!beside.empty() && access(beside.c_str(), X_OK) == 0)
            execl(beside.c_str(), "ovltool", "build", folder.c_str(), "-o", "-", (char*)nullptr);
        execlp("ovltool", "ovltool", "build", folder.c_str(), "-o", "-", (char*)nullptr);
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            *error = std::string("lost the ovltool child: ") + strerror(errno);
            close(memory);
            return false;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        close(memory);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
            *error = "ovltool was found neither beside tivrel nor on PATH; it builds the content folder " + folder;
        else
            *error = "the content folder " + folder + " did not build";
        return false;
    }
    // The descriptor stays open for the rest of the run; the path reopens it.
    *path = "/proc/self/fd/" + std::to_string(memory);
    return true;
}
