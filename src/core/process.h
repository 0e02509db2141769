// The program's own folder and child processes: started, run and waited for.
// Linux only (/proc/self/exe, fork).
#pragma once
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

// The folder of the running program's file, ending in '/'; "" when /proc/self/exe
// cannot be read.
std::string ProgramFolder();

// The exit status of a child whose exec failed (no such program, not executable),
// as a shell gives it.
constexpr int ExecFailedStatus = 127;

// Forks; the child runs `inChild` and ends with _exit of what it returns (it may
// exec or _exit on its own first). A caller with threads keeps inChild to
// async-signal-safe calls. Buffered standard streams are not flushed first. The
// parent gets the child's id, or -1 with errno when fork failed.
pid_t StartChild(const std::function<int()>& inChild);

// Waits for the child `pid`, again after a signal; *status as waitpid gives it.
// False with errno when the child cannot be waited for.
bool WaitForChild(pid_t pid, int* status);

// The exit code in a waitpid status, or -1 when the child did not exit (a signal
// ended it).
int ChildExitCode(int status);

// Runs the program at args[0] with the arguments args (args[0] as its name) and
// waits for it. Its exit code (ExecFailedStatus when it could not be run), or -1
// when it could not be started, was lost or was ended by a signal.
int RunProgram(const std::vector<std::string>& args);
