// genmusic: composes and synthesises the default soundtrack and writes it as an S3M
// module. Usage: genmusic OUTPUT.s3m. The output is the same byte for byte on every run.
#include <cstdio>
#include <vector>

#include "genmusic/compose.h"
#include "genmusic/s3m.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: genmusic OUTPUT.s3m\n");
        return 1;
    }
    std::vector<uint8_t> bytes = WriteS3m(ComposeSoundtrack());
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::fprintf(stderr, "genmusic: cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "genmusic: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
