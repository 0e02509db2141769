// Decoder corner cases, hostile streams, and packer round trips and optimality.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/pack.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Decodes `stream` into a buffer of `cap` bytes; returns the output, or a marker
// string "FAIL" in *ok=false when the decoder refuses.
Bytes Decode(const Bytes& stream, size_t cap, bool* ok)
{
    Bytes out(cap + 1, 0xEE);
    long n = ZOH_Unpack(stream.data(), stream.size(), out.data(), cap);
    *ok = n >= 0;
    EXPECT_EQ(out[cap], 0xEE) << "wrote past the output capacity";
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

// Independent reference: cheapest encoding cost in bits (end token excluded) found by
// trying every distance at every position; O(n * window * 256), small inputs only.
uint32_t ReferenceCost(const Bytes& d)
{
    size_t n = d.size();
    std::vector<uint32_t> cost(n + 1, 0);
    for (size_t i = n; i-- > 0;) {
        uint32_t best = 9 + cost[i + 1];
        for (size_t dist = 1; dist <= std::min<size_t>(i, 8192); dist++) {
            size_t len = 0;
            while (len < 256 && i + len < n && d[i + len] == d[i + len - dist]) len++;
            for (size_t l = 2; l <= len; l++) {
                if (l <= 5 && dist <= 256) best = std::min(best, 12 + cost[i + l]);
                if (l >= 3 && l <= 9) best = std::min(best, 18 + cost[i + l]);
                if (l >= 10) best = std::min(best, 26 + cost[i + l]);
            }
        }
        cost[i] = best;
    }
    return cost[0];
}

// Token costs of a stream in the same bit units (control bits + 8 per data byte),
// end token excluded. Walks the tokens without producing output.
uint32_t StreamCost(const Bytes& s)
{
    size_t ip = 2;
    uint32_t word = s[0] | s[1] << 8;
    int left = 16;
    uint32_t bits = 0;
    auto bit = [&] {
        uint32_t b = word & 1;
        word >>= 1;
        bits++;
        if (--left == 0) word = s[ip] | s[ip + 1] << 8, ip += 2, left = 16;
        return b;
    };
    uint32_t dataBytes = 0;
    for (;;) {
        if (bit()) { ip++, dataBytes++; continue; }
        if (!bit()) { bit(), bit(), ip++, dataBytes++; continue; }
        uint8_t hi = s[ip + 1];
        ip += 2, dataBytes += 2;
        if (hi & 7) continue;
        uint8_t e = s[ip++];
        dataBytes++;
        if (e == 0) return bits - 2 + (dataBytes - 3) * 8;
    }
}

} // namespace

// ---- Decoder: the worked examples and the control-word placement rule ----

TEST(Unpack, WorkedExamples)
{
    EXPECT_EQ(DecodeOk({0x17, 0x00, 0x61, 0x62, 0x63, 0x00, 0x00, 0x00}), Text("abc"));
    EXPECT_EQ(DecodeOk({0x49, 0x00, 0x61, 0xFF, 0x00, 0x00, 0x00}), Bytes(5, 0x61));
    EXPECT_EQ(DecodeOk({0x02, 0x00, 0x00, 0x00, 0x00}), Bytes());
    EXPECT_EQ(DecodeOk({0x02, 0x00, 0x00, 0x00, 0x00}, 0), Bytes()) << "empty stream, no room";
}

TEST(Unpack, SixteenthBitReloadsBeforeItsDataByte)
{
    // FF FF: 15 literals, then the 16th literal's bit loads word 2 (02 00: end) first.
    Bytes s = {0xFF, 0xFF};
    for (int i = 0; i < 15; i++) s.push_back(uint8_t('A' + i));
    s.insert(s.end(), {0x02, 0x00, 'P', 0x00, 0x00, 0x00});
    EXPECT_EQ(DecodeOk(s), Text("ABCDEFGHIJKLMNOP"));
}

TEST(Unpack, ShortMatchLengthBitsStraddleTwoWords)
{
    // 13 literals, 0 0 h=1 from word 1, l=0 from word 2, then byte FD (distance -3), end.
    Bytes s = {0xFF, 0x9F};
    for (int i = 0; i < 13; i++) s.push_back(uint8_t('a' + i));
    s.insert(s.end(), {0x04, 0x00, 0xFD, 0x00, 0x00, 0x00});
    EXPECT_EQ(DecodeOk(s), Text("abcdefghijklmklmk"));
}

TEST(Unpack, LongMatchesNoOpAndOverlap)
{
    // literal x, long match lo=FF hi=FF: 9 bytes from -1 (overlapping repeat), end.
    EXPECT_EQ(DecodeOk({0x15, 0x00, 'x', 0xFF, 0xFF, 0x00, 0x00, 0x00}), Bytes(10, 'x'));
    // no-op token (e = 1) between two literals changes nothing.
    EXPECT_EQ(DecodeOk({0x2D, 0x00, 'p', 0xFF, 0xF8, 0x01, 'q', 0x00, 0x00, 0x00}), Text("pq"));
    // e = 255: 256 copies of distance -1.
    EXPECT_EQ(DecodeOk({0x15, 0x00, 'z', 0xFF, 0xF8, 0xFF, 0x00, 0x00, 0x00}), Bytes(257, 'z'));
    // overlapping copy of distance -2 repeats a two-byte pattern
    EXPECT_EQ(DecodeOk({0x2B, 0x00, 'a', 'b', 0xFE, 0xF8, 0x05, 0x00, 0x00, 0x00}), Text("abababab"));
}

TEST(Unpack, DistanceMinus8192ReachesFirstByte)
{
    // 8192 bytes built by the packer, then a match from -8,192 (lo 00 hi 01: 3 bytes).
    Bytes prefix(8192);
    std::mt19937 rng(7);
    for (auto& b : prefix) b = uint8_t(rng());
    StreamWriter w;
    Bytes s;
    StreamBegin(&w, &s);
    for (uint8_t b : prefix) StreamLiteral(&w, b);
    StreamMatch(&w, 3, 8192);
    StreamEnd(&w);
    Bytes out = DecodeOk(s);
    ASSERT_EQ(out.size(), 8195u);
    EXPECT_EQ(Bytes(out.begin() + 8192, out.end()), Bytes(prefix.begin(), prefix.begin() + 3));
    // One byte less of history: the same match reaches before the output.
    Bytes shortS;
    StreamBegin(&w, &shortS);
    for (int i = 0; i < 8191; i++) StreamLiteral(&w, prefix[i]);
    StreamMatch(&w, 3, 8192);
    StreamEnd(&w);
    EXPECT_TRUE(Refused(shortS, 1 << 16));
}

TEST(Unpack, WriterEmitsTheWorkedExampleBytes)
{
    Bytes s;
    StreamWriter w;
    StreamBegin(&w, &s);
    for (char c : std::string("abc")) StreamLiteral(&w, uint8_t(c));
    StreamEnd(&w);
    EXPECT_EQ(s, Bytes({0x17, 0x00, 0x61, 0x62, 0x63, 0x00, 0x00, 0x00}));
    s.clear();
    StreamBegin(&w, &s);
    StreamLiteral(&w, 0x61);
    StreamMatch(&w, 4, 1);
    StreamEnd(&w);
    EXPECT_EQ(s, Bytes({0x49, 0x00, 0x61, 0xFF, 0x00, 0x00, 0x00}));
}

// ---- Decoder: hostile streams stop with -1, inside their buffers ----

TEST(UnpackHostile, RefusesMalformedStreams)
{
    EXPECT_TRUE(Refused({})) << "no control word";
    EXPECT_TRUE(Refused({0x02})) << "half a control word";
    EXPECT_TRUE(Refused({0x00, 0x00, 0xFF})) << "short match before any output";
    EXPECT_TRUE(Refused({0x02, 0x00, 0xFF, 0xFF, 0x00})) << "long match before any output";
    EXPECT_TRUE(Refused({0x07, 0x00, 'a', 'b', 'c'})) << "no end token";
    EXPECT_TRUE(Refused({0xFF, 0xFF, 'a', 'b'})) << "input ends inside literals";
    EXPECT_TRUE(Refused({0x17, 0x00, 0x61, 0x62, 0x63, 0x00, 0x00, 0x00}, 2)) << "output too small";
    // No-op tokens only, never ending: must stop at the end of the input.
    Bytes noops = {0xAA, 0xAA};
    for (int i = 0; i < 5; i++) noops.insert(noops.end(), {0x00, 0x00, 0x01});
    EXPECT_TRUE(Refused(noops));
}

TEST(UnpackHostile, EveryTruncationIsRefused)
{
    Bytes data = Text("the quick brown fox jumps over the lazy dog, the quick brown fox again");
    Bytes s = PackStream(data.data(), data.size());
    for (size_t len = 0; len < s.size(); len++)
        EXPECT_TRUE(Refused(Bytes(s.begin(), s.begin() + len))) << "prefix of " << len;
}

TEST(UnpackHostile, EndlessExpansionStopsAtCapacity)
{
    // A literal and then 256-byte copies of distance -1, over and over, no end token.
    Bytes s;
    StreamWriter w;
    StreamBegin(&w, &s);
    StreamLiteral(&w, 1);
    for (int i = 0; i < 4000; i++) StreamMatch(&w, 256, 1);
    StreamEnd(&w);
    EXPECT_EQ(DecodeOk(s, 1 + 4000 * 256).size(), 1u + 4000 * 256);
    EXPECT_TRUE(Refused(s, 1 + 4000 * 256 - 1));
    EXPECT_TRUE(Refused(s, 100000));
}

TEST(UnpackHostile, RandomBytesNeverEscapeTheBuffers)
{
    std::mt19937 rng(1234);
    for (int round = 0; round < 3000; round++) {
        Bytes s(rng() % 64);
        for (auto& b : s) b = uint8_t(rng());
        size_t cap = rng() % 300;
        bool ok = false;
        Bytes out = Decode(s, cap, &ok);
        EXPECT_LE(out.size(), cap);
    }
}

// ---- Packer: round trips and optimality ----

namespace {
void ExpectRoundTrip(const Bytes& data)
{
    Bytes s = PackStream(data.data(), data.size());
    bool ok = false;
    Bytes out = Decode(s, data.size(), &ok);
    ASSERT_TRUE(ok) << "stream of " << data.size() << " bytes refused";
    ASSERT_EQ(out.size(), data.size());
    EXPECT_TRUE(out == data) << "round trip differs, size " << data.size();
}
} // namespace

TEST(Pack, RoundTripsEdgeInputs)
{
    ExpectRoundTrip({});
    ExpectRoundTrip({0});
    ExpectRoundTrip({0x42, 0x42});
    ExpectRoundTrip(Bytes(100000, 0));
    ExpectRoundTrip(Text("abababababababababababababababababababab"));
    Bytes pattern;
    for (int i = 0; i < 50000; i++) pattern.push_back(uint8_t(i % 7 == 0 ? 'x' : 'a' + i % 3));
    ExpectRoundTrip(pattern);
    EXPECT_EQ(PackStream(nullptr, 0), Bytes({0x02, 0x00, 0x00, 0x00, 0x00}));
}

TEST(Pack, RoundTripsRandomInputsOverManySeeds)
{
    for (uint32_t seed = 1; seed <= 60; seed++) {
        std::mt19937 rng(seed);
        size_t size = rng() % (seed % 4 == 0 ? 40000 : 3000);
        uint32_t alphabet = 1 + rng() % (seed % 3 == 0 ? 256 : 4);
        Bytes data(size);
        for (auto& b : data) b = uint8_t(rng() % alphabet);
        // Repeat blocks from up to 9,000 bytes back, crossing the window's edge.
        for (size_t i = 0; i + 300 < size && seed % 2; i += 1 + rng() % 400) {
            size_t from = i > 9000 ? i - 1 - rng() % 9000 : 0;
            size_t len = rng() % 300;
            for (size_t k = 0; k < len && from + k < i; k++) data[i + k] = data[from + k];
        }
        ExpectRoundTrip(data);
    }
}

TEST(Pack, IncompressibleInputCostsNineBitsPerByte)
{
    Bytes data(65536);
    std::mt19937 rng(99);
    for (auto& b : data) b = uint8_t(rng());
    Bytes s = PackStream(data.data(), data.size());
    // 9/8 per byte plus the end token and control word rounding, not more.
    EXPECT_LE(s.size(), data.size() * 9 / 8 + 8);
}

TEST(Pack, MatchesTheExhaustiveOptimumOnSmallInputs)
{
    for (uint32_t seed = 1; seed <= 40; seed++) {
        std::mt19937 rng(seed);
        Bytes data(50 + rng() % 600);
        uint32_t alphabet = 2 + rng() % 5;
        for (auto& b : data) b = uint8_t(rng() % alphabet);
        if (seed % 4 == 0)
            for (size_t i = 100; i < data.size(); i++) data[i] = data[i - 100 + rng() % 3];
        Bytes s = PackStream(data.data(), data.size());
        EXPECT_EQ(StreamCost(s), ReferenceCost(data)) << "seed " << seed;
    }
}

TEST(Pack, MatchesTheExhaustiveOptimumAcrossTheWindowEdge)
{
    // Blocks repeated from 8,100..8,300 bytes back: some reachable, some just out of reach.
    std::mt19937 rng(2024);
    Bytes data(12000);
    for (auto& b : data) b = uint8_t(rng() % 3);
    for (size_t i = 8300; i + 40 < data.size(); i += 40 + rng() % 60) {
        size_t from = rng() % 4 == 0 ? i - 8192 : i - 8100 - rng() % 200;
        for (size_t k = 0; k < 30; k++) data[i + k] = data[from + k];
    }
    Bytes s = PackStream(data.data(), data.size());
    EXPECT_EQ(StreamCost(s), ReferenceCost(data));
}

TEST(Pack, LongRunsUseFullLengthCopies)
{
    // One literal, then 1,000,000 / 256 extended tokens: about 26 bits per 256 bytes.
    Bytes zeros(1000000, 0);
    Bytes s = PackStream(zeros.data(), zeros.size());
    EXPECT_LE(s.size(), 1000000 / 256 * 26 / 8 + 16);
}
