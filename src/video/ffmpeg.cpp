#include "video/ffmpeg.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "core/process.h"

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

pid_t SpawnWithPipes(const std::vector<std::string>& args, int pipes, int* writeEnds)
{
    constexpr int MaxPipes = 4;
    int readEnds[MaxPipes];
    if (pipes < 0 || pipes > MaxPipes || args.empty())
        return -1;
    for (int i = 0; i < pipes; i++) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            for (int k = 0; k < i; k++) {
                close(readEnds[k]);
                close(writeEnds[k]);
            }
            return -1;
        }
        readEnds[i] = fds[0];
        writeEnds[i] = fds[1];
    }
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = StartChild([&] {
        setpgid(0, 0);
        signal(SIGPIPE, SIG_DFL);
        // Targets 0, 3, 4, ... in rising order; a reading end is at 3 or above, so
        // none is overwritten before it has been moved.
        for (int i = 0; i < pipes; i++) {
            const int target = i == 0 ? 0 : i + 2;
            if (readEnds[i] == target)
                fcntl(target, F_SETFD, 0);
            else if (dup2(readEnds[i], target) < 0)
                return ExecFailedStatus;
        }
        execv(argv[0], argv.data());
        return ExecFailedStatus;
    });
    if (pid > 0)
        setpgid(pid, pid);   // either side may win the race; both set the same group
    for (int i = 0; i < pipes; i++) {
        close(readEnds[i]);
        if (pid < 0)
            close(writeEnds[i]);
    }
    return pid;
}

bool WriteToPipe(int fd, const void* data, size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

bool WaitFor(pid_t pid)
{
    int status = 0;
    return WaitForChild(pid, &status) && ChildExitCode(status) == 0;
}
