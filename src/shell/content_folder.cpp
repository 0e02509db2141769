#include "shell/content_folder.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/process.h"

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
    const std::string programFolder = ProgramFolder();
    const std::string beside = programFolder.empty() ? "" : programFolder + "ovltool";
    std::string folder = *path;
    const pid_t child = StartChild([&] {
        if (dup2(memory, STDOUT_FILENO) < 0)
            return 126;
        if (!beside.empty() && access(beside.c_str(), X_OK) == 0)
            execl(beside.c_str(), "ovltool", "build", folder.c_str(), "-o", "-", (char*)nullptr);
        execlp("ovltool", "ovltool", "build", folder.c_str(), "-o", "-", (char*)nullptr);
        return ExecFailedStatus;
    });
    if (child < 0) {
        *error = std::string("cannot start ovltool: ") + strerror(errno);
        close(memory);
        return false;
    }
    int status = 0;
    if (!WaitForChild(child, &status)) {
        *error = std::string("lost the ovltool child: ") + strerror(errno);
        close(memory);
        return false;
    }
    if (ChildExitCode(status) != 0) {
        close(memory);
        if (ChildExitCode(status) == ExecFailedStatus)
            *error = "ovltool was found neither beside tivrel nor on PATH; it builds the content folder " + folder;
        else
            *error = "the content folder " + folder + " did not build";
        return false;
    }
    // The descriptor stays open for the rest of the run; the path reopens it.
    *path = "/proc/self/fd/" + std::to_string(memory);
    return true;
}
