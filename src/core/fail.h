// The one way the program ends on a failure it cannot go on from: print one line
// and exit. Demo start-up failures use standard output (their texts are fixed, e.g.
// "\376 File not found!\n") and status 1; nothing is stopped or closed first.
#pragma once
#include <string>
#include <system_error>
#include <thread>
#include <utility>

// Prints `line` as given (it carries its own line feed) on standard output and
// ends the process with status 1.
[[noreturn]] void FailExit(const char* line);
// printf-style: formats one line, adds the line feed, prints it on standard output
// and ends the process with status 1.
[[noreturn]] void FailExitf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "\376 Not enough memory!\n", status 1.
[[noreturn]] void OutOfMemoryExit();
// The same line without the exit, for a run that ends in order (its files whole)
// after a worker found no memory. Printed once per process, whichever thread asks
// first; OutOfMemoryExit goes through it too.
void ReportOutOfMemory();

// Out of memory anywhere after this: OutOfMemoryExit instead of std::bad_alloc, so
// no allocation inside a library ends in an uncaught exception. main's first call.
void ExitWhenMemoryRunsOut();

// A thread running `args...` (as std::thread takes them); OutOfMemoryExit when the
// system has no room for one (its stack, under an address-space limit).
template <typename... Args> std::thread StartThreadOrExit(Args&&... args)
{
    try {
        return std::thread(std::forward<Args>(args)...);
    } catch (const std::system_error&) {
        OutOfMemoryExit();
    }
}

// A file that could not be written: "tivrel: MESSAGE" on stderr for the first such
// failure of the process only (a full disk or a file-size limit fails every writer
// after the first; their lines would say nothing new). Any thread.
void ReportWriteFailure(const std::string& message);
