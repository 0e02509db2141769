// The timedemo: the whole demo headless on the virtual clock with no output, then
// timings of every kernel, the fill, the packers, each mesh scene and the decoder.
#include <cstdio>

#include "shell/options.h"
#include "shell/shell.h"

int RunBench(const ShellOptions& options)
{
    (void)options;
    std::fputs("tivrel: --bench is not built yet\n", stderr);
    return 1;
}
