// genmusic: composes and synthesises the default soundtrack and writes it as an S3M
// module. Usage: genmusic OUTPUT.s3m. The output is the same byte for byte on every run.
#include <cstdio>
#include <string>
#include <vector>

#include "core/safe_write.h"
#include "genmusic/compose.h"
#include "genmusic/s3m.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: genmusic OUTPUT.s3m\n");
        return 1;
    }
    std::vector<uint8_t> bytes = WriteS3m(ComposeSoundtrack());
    std::string why;
    if (SafeWritePath(argv[1], bytes.data(), bytes.size(), true, &why) != SafeWriteOk) {
        std::fprintf(stderr, "genmusic: %s\n", why.c_str());
        return 1;
    }
    return 0;
}
