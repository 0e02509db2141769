// Entry of the node player (build-web/tivrel-node.js): the native player's capture
// and timedemo runs, compiled to WebAssembly, on the real file system (NODERAWFS).
// The command line is the native one; what needs a display, a sound device, child
// processes or the settings file is refused with one line and status 2.
#include <errno.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "archive/archive.h"
#include "demo/startup.h"
#include "shell/options.h"
#include "shell/shell.h"
#include "video/window.h"

// No window: the message is its line on stderr alone.
void ShowMessage(const char* caption, const char* text)
{
    std::fprintf(stderr, "%s%s%s\n", caption, caption[0] != '\0' ? ": " : "", text);
}

// The timedemo pins itself to one processor; WebAssembly has no processors to choose.
extern "C" int sched_getcpu() { return -1; }
extern "C" int sched_setaffinity(pid_t, size_t, const cpu_set_t*)
{
    errno = ENOSYS;
    return -1;
}

int main(int argc, char** argv)
{
    ShellOptions options;
    int status = 0;
    if (!ReadCommandLine(argc, argv, &options, &status))
        return status;
    if (!options.capture && !options.bench) {
        std::fprintf(stderr, "tivrel: the node player only captures (--capture DIR) or times the demo (--bench); "
                             "the page or the native tivrel plays it\n");
        return 2;
    }
    static const std::string dataPath = options.dataPath.empty() ? "tivrel.ovl" : options.dataPath;
    struct stat data;
    if (stat(dataPath.c_str(), &data) == 0 && S_ISDIR(data.st_mode)) {
        std::fprintf(stderr, "tivrel: %s is a content folder; build it with ovltool build and give the .ovl\n",
                     dataPath.c_str());
        return 2;
    }
    if (stat(dataPath.c_str(), &data) == 0 && !S_ISREG(data.st_mode)) {
        std::fprintf(stderr, "tivrel: %s is not a regular file\n", dataPath.c_str());
        return 1;
    }
    overlayName = dataPath.c_str();
    // The data file's plan before anything reads a limit (a capture's estimate).
    std::string error;
    if (!UseDataFilePlan(overlayName, &error)) {
        std::fprintf(stderr, "tivrel: %s\n", error.c_str());
        return 1;
    }
    return options.capture ? RunCapture(options) : RunBench(options);
}
