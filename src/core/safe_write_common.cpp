#include "core/safe_write_common.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

std::string SafeWriteJoin(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool SafeWriteFail(std::string* error, const std::string& message)
{
    if (error != nullptr)
        *error = message;
    return false;
}

bool SafeWriteFailErrno(std::string* error, const std::string& what, const std::string& path)
{
    return SafeWriteFail(error, what + " " + path + ": " + std::strerror(errno));
}

std::string SafeWriteTemporaryName(const std::string& name, unsigned attempt)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t x = uint64_t(now.tv_nsec) ^ uint64_t(now.tv_sec) << 30 ^ uint64_t(getpid()) << 40 ^ attempt;
    x += 0x9E3779B97F4A7C15ull;   // splitmix64
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    std::string letters;
    for (int i = 0; i < 6; i++, x /= 36)
        letters += "abcdefghijklmnopqrstuvwxyz0123456789"[x % 36];
    std::string temporary(1, '.');
    temporary.append(name, 0, 200).append(1, '.').append(letters).append(".tmp");
    return temporary;
}

bool SafeWriteAll(SafeFile* file, const void* data, size_t size, const uint64_t* offset, std::string* error)
{
    if (file->fd < 0 || file->failed)
        return SafeWriteFail(error, "cannot write " + file->path + ": the file is not open");
    const char* p = static_cast<const char*>(data);
    uint64_t at = offset ? *offset : 0;
    while (size > 0) {
        ssize_t n = offset ? pwrite(file->fd, p, size, off_t(at)) : write(file->fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            file->failed = true;
            return SafeWriteFailErrno(error, "cannot write", file->path);
        }
        p += n;
        size -= size_t(n);
        at += uint64_t(n);
    }
    return true;
}

bool SafeFileWrite(SafeFile* file, const void* data, size_t size, std::string* error)
{
    return SafeWriteAll(file, data, size, nullptr, error);
}

bool SafeFileWriteAt(SafeFile* file, uint64_t offset, const void* data, size_t size, std::string* error)
{
    return SafeWriteAll(file, data, size, &offset, error);
}
