// genmusic: composes and synthesises the default soundtrack and writes it as an S3M
// module. Usage: genmusic OUTPUT.s3m [--orders N] [--surround]. The output is the same
// byte for byte on every run. For trying the kit's checks on other music:
//   --orders N   the order list cut to, or repeated up to, N orders (1..255)
//   --surround   every channel set to surround (effect S91 on the first free row of
//                every pattern), which cancels in mono
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/safe_write.h"
#include "genmusic/compose.h"
#include "genmusic/s3m.h"

namespace {

void SetSurround(S3mModule* module)
{
    for (S3mPattern& pattern : module->patterns)
        for (int c = 0; c < module->channels; c++)
            for (int r = 0; r < kS3mRows; r++) {
                S3mCell& cell = pattern.cells[r][c];
                if (cell.command != 0)
                    continue;
                cell.command = S3mCommand('S');
                cell.info = 0x91;
                break;
            }
}

}   // namespace

int main(int argc, char** argv)
{
    int orders = 0;
    bool surround = false;
    const char* output = nullptr;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--orders") == 0 && i + 1 < argc)
            orders = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--surround") == 0)
            surround = true;
        else if (output == nullptr && argv[i][0] != '-')
            output = argv[i];
        else
            output = nullptr, i = argc;
    }
    if (output == nullptr || orders < 0 || orders > 255) {
        std::fprintf(stderr, "usage: genmusic OUTPUT.s3m [--orders N] [--surround]\n");
        return 1;
    }
    S3mModule module = ComposeSoundtrack();
    if (orders > 0) {
        const std::vector<uint8_t> song = module.orders;
        module.orders.resize(size_t(orders));
        for (size_t i = 0; i < module.orders.size(); i++)
            module.orders[i] = song[i % song.size()];
    }
    if (surround)
        SetSurround(&module);
    std::vector<uint8_t> bytes = WriteS3m(module);
    std::string why;
    if (SafeWritePath(output, bytes.data(), bytes.size(), true, &why) != SafeWriteOk) {
        std::fprintf(stderr, "genmusic: %s\n", why.c_str());
        return 1;
    }
    return 0;
}
