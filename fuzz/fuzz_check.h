// Checks inside fuzz targets: a broken property prints one line and aborts, which
// both libFuzzer and the replay test report as a failure of the current input.
#pragma once
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                                                     \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            fprintf(stderr, "%s:%d: check failed: %s: ", __FILE__, __LINE__, #condition);                              \
            fprintf(stderr, __VA_ARGS__);                                                                              \
            fputc('\n', stderr);                                                                                       \
            abort();                                                                                                   \
        }                                                                                                              \
    } while (0)
