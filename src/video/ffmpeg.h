// Starting and waiting for ffmpeg (or any helper program) for the capture backend.
#pragma once
#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

// Full path of `name` found along PATH (executable), or "" when there is none.
std::string FindProgram(const char* name);
// Runs args[0] with args. With `input` non-null the child's standard input is a
// pipe whose writing end is returned there. -1 when the process cannot be started.
pid_t Spawn(const std::vector<std::string>& args, FILE** input);
// Waits for `pid`; true when it exited with status 0.
bool WaitFor(pid_t pid);
