#include "video/ffmpeg.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

std::string FindProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

pid_t Spawn(const std::vector<std::string>& args, FILE** input)
{
    int fds[2] = {-1, -1};
    if (input != nullptr && pipe(fds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        if (input != nullptr) {
            dup2(fds[0], 0);
            close(fds[0]);
            close(fds[1]);
        }
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (input != nullptr) {
        close(fds[0]);
        if (pid < 0) {
            close(fds[1]);
            return -1;
        }
        *input = fdopen(fds[1], "wb");
    }
    return pid;
}

bool WaitFor(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
