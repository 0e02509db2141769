// PackStream then ZOH_Unpack gives the input back exactly. The stream decodes to
// exactly the input's length (-1 with one byte less room) and is never longer than
// the all-literal stream, since the packer's parse is optimal within 2 bytes.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/archive.h"
#include "archive/pack.h"
#include "fuzz_check.h"

namespace {

// Bytes of the stream of n literals: n data bytes, the end token's 3, and one control
// word per 16 control bits (n literal bits and the end token's 2), plus the word
// loaded right after the sixteenth bit of the last one.
size_t AllLiteralBytes(size_t n) { return n + 3 + 2 * ((n + 2) / 16 + 1); }

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> stream = PackStream(data, size);
    FUZZ_CHECK(stream.size() <= AllLiteralBytes(size) + 2, "%zu bytes packed to %zu", size, stream.size());

    std::unique_ptr<uint8_t[]> out(new uint8_t[size ? size : 1]);
    long n = ZOH_Unpack(stream.data(), stream.size(), out.get(), size);
    FUZZ_CHECK(n == long(size), "%zu bytes came back as %ld", size, n);
    FUZZ_CHECK(size == 0 || memcmp(out.get(), data, size) == 0, "%zu bytes came back different", size);
    if (size > 0)
        FUZZ_CHECK(ZOH_Unpack(stream.data(), stream.size(), out.get(), size - 1) == -1,
                   "%zu bytes decoded into %zu bytes of room", size, size - 1);
    return 0;
}
