#include "core/process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

std::string ProgramFolder()
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return "";
    const std::string path(self, size_t(n));
    return path.substr(0, path.rfind('/') + 1);
}

pid_t StartChild(const std::function<int()>& inChild)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(inChild());
    return pid;
}

bool WaitForChild(pid_t pid, int* status)
{
    while (waitpid(pid, status, 0) < 0)
        if (errno != EINTR)
            return false;
    return true;
}

int ChildExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

int RunProgram(const std::vector<std::string>& args)
{
    if (args.empty())
        return -1;
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t child = StartChild([&] {
        execv(argv[0], argv.data());
        return ExecFailedStatus;
    });
    int status = 0;
    if (child < 0 || !WaitForChild(child, &status))
        return -1;
    return ChildExitCode(status);
}
