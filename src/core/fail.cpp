#include "core/fail.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

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

void OutOfMemoryExit() { FailExit("\376 Not enough memory!\n"); }
