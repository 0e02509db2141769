// Decoder corner cases, hostile streams, and packer round trips.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "archive/archive.h"
#include "archive/pack.h"
#include "archive_fixture.h"

namespace {

// Decodes `stream` into `cap` bytes; empty and *ok false when the decoder refuses.
Bytes Decode(const Bytes& stream, size_t cap, bool* ok)
{
    Bytes out(cap + 1, 0xEE);
    long n = ZOH_Unpack(stream.data(), stream.size(), out.data(), cap);
    EXPECT_EQ(out[cap], 0xEE) << "wrote past the output capacity";
    *ok = n >= 0;
    out.resize(n < 0 ? 0 : size_t(n));
    return out;
}
Bytes DecodeOk(const Bytes& stream, size_t cap = 1 << 20)
{
    bool ok = false;
    Bytes out = Decode(stream, cap, &ok);
    EXPECT_TRUE(ok);
    return out;
}
bool Refused(const Bytes& stream, size_t cap = 1 << 16)
{
    bool ok = true;
    Decode(stream, cap, &ok);
    return !ok;
}
Bytes Text(const char* s) { return Bytes(s, s + strlen(s)); }

// The first `literals` bytes of `prefix` as literals, then `matches` copies, then the end.
Bytes Tokens(const Bytes& prefix, size_t literals, uint32_t length = 0, uint32_t distance = 0, int matches = 1)
{
    Bytes s;
    StreamWriter w;
    StreamBegin(&w, &s);
    for (size_t i = 0; i < literals; i++)
        StreamLiteral(&w, prefix[i]);
    for (int i = 0; length && i < matches; i++)
        StreamMatch(&w, length, distance);
    StreamEnd(&w);
    return s;
}

}   // namespace

TEST(Unpack, TokensAndControlWordPlacement)
{
    EXPECT_EQ(DecodeOk({0x17, 0x00, 'a', 'b', 'c', 0x00, 0x00, 0x00}), Text("abc"));
    EXPECT_EQ(DecodeOk({0x49, 0x00, 0x61, 0xFF, 0x00, 0x00, 0x00}), Bytes(5, 0x61));
    EXPECT_EQ(DecodeOk({0x02, 0x00, 0x00, 0x00, 0x00}, 0), Bytes()) << "empty stream, no room";
    // Long match lo=FF hi=FF: 9 bytes from -1; no-op (e = 1); e = 255; distance -2 overlap.
    EXPECT_EQ(DecodeOk({0x15, 0x00, 'x', 0xFF, 0xFF, 0x00, 0x00, 0x00}), Bytes(10, 'x'));
    EXPECT_EQ(DecodeOk({0x2D, 0x00, 'p', 0xFF, 0xF8, 0x01, 'q', 0x00, 0x00, 0x00}), Text("pq"));
    EXPECT_EQ(DecodeOk({0x15, 0x00, 'z', 0xFF, 0xF8, 0xFF, 0x00, 0x00, 0x00}), Bytes(257, 'z'));
    EXPECT_EQ(DecodeOk({0x2B, 0x00, 'a', 'b', 0xFE, 0xF8, 0x05, 0x00, 0x00, 0x00}), Text("abababab"));
    // FF FF: 15 literals, then the 16th literal's bit loads word 2 (02 00: end) first.
    Bytes s = {0xFF, 0xFF};
    for (int i = 0; i < 15; i++)
        s.push_back(uint8_t('A' + i));
    s.insert(s.end(), {0x02, 0x00, 'P', 0x00, 0x00, 0x00});
    EXPECT_EQ(DecodeOk(s), Text("ABCDEFGHIJKLMNOP"));
    // 13 literals, 0 0 h=1 from word 1, l=0 from word 2, then byte FD (distance -3), end.
    s = {0xFF, 0x9F};
    for (int i = 0; i < 13; i++)
        s.push_back(uint8_t('a' + i));
    s.insert(s.end(), {0x04, 0x00, 0xFD, 0x00, 0x00, 0x00});
    EXPECT_EQ(DecodeOk(s), Text("abcdefghijklmklmk"));
    // The writer places the words the same way.
    EXPECT_EQ(Tokens(Text("abc"), 3), Bytes({0x17, 0x00, 'a', 'b', 'c', 0x00, 0x00, 0x00}));
    EXPECT_EQ(Tokens(Text("a"), 1, 4, 1), Bytes({0x49, 0x00, 0x61, 0xFF, 0x00, 0x00, 0x00}));

    // A match from -8,192 reaches the first byte, and no further.
    Bytes prefix(8192);
    std::mt19937 rng(7);
    for (auto& b : prefix)
        b = uint8_t(rng());
    Bytes out = DecodeOk(Tokens(prefix, 8192, 3, 8192));
    ASSERT_EQ(out.size(), 8195u);
    EXPECT_EQ(Bytes(out.begin() + 8192, out.end()), Bytes(prefix.begin(), prefix.begin() + 3));
    EXPECT_TRUE(Refused(Tokens(prefix, 8191, 3, 8192)));
}

TEST(Unpack, MalformedStreamsStopInsideTheirBuffers)
{
    EXPECT_TRUE(Refused({})) << "no control word";
    EXPECT_TRUE(Refused({0x02})) << "half a control word";
    EXPECT_TRUE(Refused({0x00, 0x00, 0xFF})) << "short match before any output";
    EXPECT_TRUE(Refused({0x02, 0x00, 0xFF, 0xFF, 0x00})) << "long match before any output";
    EXPECT_TRUE(Refused({0x07, 0x00, 'a', 'b', 'c'})) << "no end token";
    EXPECT_TRUE(Refused({0xFF, 0xFF, 'a', 'b'})) << "input ends inside literals";
    EXPECT_TRUE(Refused({0x17, 0x00, 'a', 'b', 'c', 0x00, 0x00, 0x00}, 2)) << "output too small";
    EXPECT_TRUE(Refused({0xAA, 0xAA, 0, 0, 1, 0, 0, 1, 0, 0, 1})) << "no-op tokens only, never ending";
    Bytes data = Text("the quick brown fox jumps over the lazy dog, the quick brown fox again");
    Bytes packed = PackStream(data.data(), data.size());
    for (size_t len = 0; len < packed.size(); len++)
        EXPECT_TRUE(Refused(Bytes(packed.begin(), packed.begin() + len))) << "prefix of " << len;
    // A literal and 4,000 copies of 256 bytes: exactly 1,024,001 bytes, not one more.
    Bytes expanding = Tokens({1}, 1, 256, 1, 4000);
    EXPECT_EQ(DecodeOk(expanding, 1 + 4000 * 256).size(), 1u + 4000 * 256);
    EXPECT_TRUE(Refused(expanding, 4000 * 256));

    std::mt19937 rng(1234);
    for (int round = 0; round < 3000; round++) {
        Bytes random(rng() % 64);
        for (auto& b : random)
            b = uint8_t(rng());
        size_t cap = rng() % 300;
        bool ok = false;
        EXPECT_LE(Decode(random, cap, &ok).size(), cap);
    }
}

TEST(Pack, RoundTrips)
{
    std::vector<Bytes> inputs = {{}, {0}, {0x42, 0x42}, Bytes(100000, 0), Text("abababababababababab")};
    for (uint32_t seed = 1; seed <= 60; seed++) {
        std::mt19937 rng(seed);
        Bytes data(rng() % (seed % 4 == 0 ? 40000 : 3000));
        uint32_t alphabet = 1 + rng() % (seed % 3 == 0 ? 256 : 4);
        for (auto& b : data)
            b = uint8_t(rng() % alphabet);
        // Repeat blocks from up to 9,000 bytes back, crossing the window's edge.
        for (size_t i = 0; i + 300 < data.size() && seed % 2; i += 1 + rng() % 400) {
            size_t from = i > 9000 ? i - 1 - rng() % 9000 : 0;
            for (size_t k = 0, len = rng() % 300; k < len && from + k < i; k++)
                data[i + k] = data[from + k];
        }
        inputs.push_back(data);
    }
    for (const Bytes& data : inputs) {
        bool ok = false;
        Bytes out = Decode(PackStream(data.data(), data.size()), data.size(), &ok);
        ASSERT_TRUE(ok && out == data) << "round trip of " << data.size() << " bytes";
    }
    EXPECT_EQ(PackStream(nullptr, 0), Bytes({0x02, 0x00, 0x00, 0x00, 0x00}));
}
