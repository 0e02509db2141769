// The one way the program ends on a failure it cannot go on from: print one line
// and exit. Demo start-up failures use standard output (their texts are fixed, e.g.
// "\376 File not found!\n") and status 1; nothing is stopped or closed first.
#pragma once

// Prints `line` as given (it carries its own line feed) on standard output and
// ends the process with status 1.
[[noreturn]] void FailExit(const char* line);
// printf-style: formats one line, adds the line feed, prints it on standard output
// and ends the process with status 1.
[[noreturn]] void FailExitf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "\376 Not enough memory!\n", status 1.
[[noreturn]] void OutOfMemoryExit();
