// The parts of the safe-write helper (core/safe_write.h) that the native build's
// descriptor-relative version and the WebAssembly build's path version share. Not for
// callers outside the two.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/safe_write.h"

// folder + "/" + name; name alone when folder is empty.
std::string SafeWriteJoin(const std::string& folder, const std::string& name);

// Stores message in *error (when error is not null); false.
bool SafeWriteFail(std::string* error, const std::string& message);

// SafeWriteFail with "WHAT PATH: strerror(errno)".
bool SafeWriteFailErrno(std::string* error, const std::string& what, const std::string& path);

// ".NAME.XXXXXX.tmp" with six letters that differ from call to call (time, process,
// attempt); the name part is cut so the whole stays within the 255 bytes a name may have.
std::string SafeWriteTemporaryName(const std::string& name, unsigned attempt);

// How many temporary names an open tries before it gives up.
constexpr unsigned SafeWriteTemporaryAttempts = 100;

// Writes all of data at the file's end (offset null) or at *offset, retrying short
// writes and EINTR; on failure marks the file failed, for the commit to refuse.
bool SafeWriteAll(SafeFile* file, const void* data, size_t size, const uint64_t* offset, std::string* error);
