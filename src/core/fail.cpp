#include "core/fail.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>

void FailExit(const char* line)
{
    std::fputs(line, stdout);
    std::fflush(stdout);
    std::exit(1);
}

void FailExitf(const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    std::puts(line);
    std::fflush(stdout);
    std::exit(1);
}

void ReportOutOfMemory()
{
    static std::atomic<bool> reported{false};
    if (!reported.exchange(true)) {
        std::fputs("\376 Not enough memory!\n", stdout);
        std::fflush(stdout);
    }
}

[[noreturn]] void OutOfMemoryExit()
{
    ReportOutOfMemory();
    std::exit(1);
}

void ExitWhenMemoryRunsOut()
{
    std::set_new_handler([] { OutOfMemoryExit(); });
}

void ReportWriteFailure(const std::string& message)
{
    static std::atomic<bool> reported{false};
    if (!reported.exchange(true))
        std::fprintf(stderr, "tivrel: %s\n", message.c_str());
}
