#include "shell/content_folder.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/process.h"

namespace {

void CloseFd(int* fd)
{
    if (*fd >= 0)
        close(*fd);
    *fd = -1;
}

// The last non-empty line of the file behind `fd`, control characters kept out.
std::string LastLine(int fd)
{
    std::string text;
    char chunk[4096];
    for (off_t at = 0;;) {
        const ssize_t got = pread(fd, chunk, sizeof chunk, at);
        if (got <= 0)
            break;
        text.append(chunk, size_t(got));
        at += got;
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const size_t start = text.find_last_of('\n');
    std::string line = start == std::string::npos ? text : text.substr(start + 1);
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return line;
}

}   // namespace

bool IsContentFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string DescriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

bool StartFolderBuild(const std::string& folder, bool keepReport, FolderBuild* build, std::string* error)
{
    *build = FolderBuild{};
    build->folder = folder;
    build->data = memfd_create("tivrel-data", MFD_CLOEXEC);
    if (keepReport)
        build->report = memfd_create("tivrel-build-report", MFD_CLOEXEC);
    if (build->data < 0 || (keepReport && build->report < 0)) {
        *error = std::string("cannot make an in-memory data file: ") + strerror(errno);
        CloseFd(&build->data);
        CloseFd(&build->report);
        return false;
    }
    // ovltool beside this program first, then on PATH.
    const std::string programFolder = ProgramFolder();
    const std::string beside = programFolder.empty() ? "" : programFolder + "ovltool";
    const int data = build->data, report = build->report;
    build->child = StartChild([&] {
        if (dup2(data, STDOUT_FILENO) < 0 || (report >= 0 && dup2(report, STDERR_FILENO) < 0))
            return 126;
        if (!beside.empty() && access(beside.c_str(), X_OK) == 0)
            execl(beside.c_str(), "ovltool", "build", folder.c_str(), "-o", "-", (char*)nullptr);
        execlp("ovltool", "ovltool", "build", folder.c_str(), "-o", "-", (char*)nullptr);
        return ExecFailedStatus;
    });
    if (build->child < 0) {
        *error = std::string("cannot start ovltool: ") + strerror(errno);
        CloseFd(&build->data);
        CloseFd(&build->report);
        return false;
    }
    return true;
}

bool FinishFolderBuild(FolderBuild* build, bool wait, bool* succeeded, int* dataFd, std::string* error)
{
    *succeeded = false;
    if (build->child < 0)
        return false;
    int status = 0;
    if (wait) {
        if (!WaitForChild(build->child, &status)) {
            *error = std::string("lost the ovltool child: ") + strerror(errno);
            status = -1;
        }
    } else {
        const pid_t done = waitpid(build->child, &status, WNOHANG);
        if (done == 0)
            return false;
        if (done < 0) {
            *error = std::string("lost the ovltool child: ") + strerror(errno);
            status = -1;
        }
    }
    build->child = -1;
    const int code = status == -1 ? -1 : ChildExitCode(status);
    if (code == 0) {
        *succeeded = true;
        *dataFd = build->data;
        build->data = -1;
    } else if (code == ExecFailedStatus) {
        *error = "ovltool was found neither beside tivrel nor on PATH; it builds the content folder " + build->folder;
    } else if (code != -1 || error->empty()) {
        const std::string line = build->report >= 0 ? LastLine(build->report) : "";
        *error = !line.empty() ? line : "the content folder " + build->folder + " did not build";
    }
    CloseFd(&build->data);
    CloseFd(&build->report);
    return true;
}

bool BuildContentFolder(std::string* path, std::string* error)
{
    FolderBuild build;
    if (!StartFolderBuild(*path, false, &build, error))
        return false;
    bool succeeded = false;
    int data = -1;
    FinishFolderBuild(&build, true, &succeeded, &data, error);
    if (!succeeded)
        return false;
    // The descriptor stays open for the rest of the run; the path reopens it.
    *path = DescriptorPath(data);
    return true;
}
