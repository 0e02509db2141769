// ZOH_Unpack on arbitrary bytes with several output capacities. Properties:
// - the result is -1 or a count within the capacity, and nothing outside the input
//   and output buffers is touched (both are allocated to their exact size);
// - decoding is capacity-independent: with room for every stream of this length
//   the result is R; any other capacity c gives R and the same bytes when c >= R,
//   and -1 otherwise (a malformed stream stays malformed with less room).
#include <cstdint>
#include <cstring>
#include <memory>

#include "archive/archive.h"
#include "fuzz_check.h"

namespace {

// Most bytes a stream of `inLen` bytes can produce: an extended match yields 256
// bytes for 3 data bytes and 2 control bits.
size_t MaxOutput(size_t inLen) { return inLen / 3 * 256 + 256; }

struct Decoded {
    long result;
    std::unique_ptr<uint8_t[]> bytes;
};

Decoded Decode(const uint8_t* in, size_t inLen, size_t cap)
{
    Decoded d{0, std::unique_ptr<uint8_t[]>(new uint8_t[cap ? cap : 1])};
    // A zero capacity gets no writable byte at all: pass a pointer that is never valid.
    uint8_t* out = cap ? d.bytes.get() : d.bytes.get() + 1;
    d.result = ZOH_Unpack(in, inLen, out, cap);
    FUZZ_CHECK(d.result == -1 || (d.result >= 0 && size_t(d.result) <= cap), "result %ld with capacity %zu", d.result,
               cap);
    return d;
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t full = MaxOutput(size);
    Decoded reference = Decode(data, size, full);
    FUZZ_CHECK(reference.result < long(full), "stream of %zu bytes filled all %zu bytes of room", size, full);

    const size_t r = reference.result < 0 ? 0 : size_t(reference.result);
    const size_t caps[] = {0, 1, 255, 8192, r ? r - 1 : 0, r, r + 1};
    for (size_t cap : caps) {
        Decoded d = Decode(data, size, cap);
        long expected = (reference.result >= 0 && cap >= r) ? reference.result : -1;
        FUZZ_CHECK(d.result == expected, "capacity %zu gave %ld, expected %ld", cap, d.result, expected);
        if (d.result > 0)
            FUZZ_CHECK(memcmp(d.bytes.get(), reference.bytes.get(), r) == 0, "capacity %zu decoded other bytes", cap);
    }
    return 0;
}
