// Starting and finishing ffmpeg (or any helper program) for the capture backend.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

// Full path of `name` found along PATH (executable), or "" when there is none.
std::string FindProgram(const char* name);

// Runs args[0] with args in a process group of its own (a Ctrl+C at the terminal
// reaches only the caller, which then ends the child's input in order). The child
// reads `pipes` pipes: the first as its standard input, the next as descriptors 3,
// 4, ...; their writing ends (close-on-exec) are stored in writeEnds[0..pipes-1].
// -1 when the process cannot be started (nothing is left open then).
pid_t SpawnWithPipes(const std::vector<std::string>& args, int pipes, int* writeEnds);

// Writes all `size` bytes to `fd` (retrying after signals). False when the reader
// has gone or the write failed.
bool WriteToPipe(int fd, const void* data, size_t size);

// Waits for `pid`; true when it exited with status 0.
bool WaitFor(pid_t pid);
