// Packer figures: optimal parse against a greedy parse and gzip -9 on inputs shaped
// like the demo's entries. Prints one table row per input.
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/pack.h"

using Bytes = std::vector<uint8_t>;

// Greedy parse for comparison: at each position take the longest match a 3-byte hash
// chain (64 candidates) finds in the window, else a literal.
static Bytes PackGreedy(const uint8_t* d, size_t n)
{
    const uint32_t none = UINT32_MAX;
    std::vector<uint32_t> head(1 << 16, none), prev(n, none);
    auto hash = [&](size_t i) { return ((d[i] << 10) ^ (d[i + 1] << 5) ^ d[i + 2]) & 0xFFFF; };
    auto insert = [&](size_t i) {
        if (i + 3 > n)
            return;
        uint32_t h = hash(i);
        prev[i] = head[h];
        head[h] = uint32_t(i);
    };
    Bytes out;
    StreamWriter w;
    StreamBegin(&w, &out);
    for (size_t i = 0; i < n;) {
        size_t bestLen = 0, bestDist = 0;
        if (i + 3 <= n) {
            uint32_t c = head[hash(i)];
            for (int depth = 0; depth < 64 && c != none && i - c <= 8192; depth++, c = prev[c]) {
                size_t len = 0;
                while (len < 256 && i + len < n && d[c + len] == d[i + len])
                    len++;
                if (len > bestLen)
                    bestLen = len, bestDist = i - c;
            }
        }
        if (bestLen < 3 && i >= 1 && i + 2 <= n) {
            for (size_t dist = 1; dist <= 256 && dist <= i; dist++)
                if (d[i - dist] == d[i] && d[i - dist + 1] == d[i + 1]) {
                    bestLen = 2, bestDist = dist;
                    break;
                }
        }
        size_t step = bestLen >= 2 ? bestLen : 1;
        if (step == 1)
            StreamLiteral(&w, d[i]);
        else
            StreamMatch(&w, uint32_t(bestLen), uint32_t(bestDist));
        for (size_t k = 0; k < step; k++)
            insert(i + k);
        i += step;
    }
    StreamEnd(&w);
    return out;
}

static size_t GzipSize(const Bytes& in)
{
    z_stream z = {};
    deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);   // gzip wrapper
    Bytes out(deflateBound(&z, in.size()) + 64);
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = uInt(in.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    size_t size = z.total_out;
    deflateEnd(&z);
    return size;
}

static const char* const Words[] = {"the",     "music",  "plays",  "on",     "and",  "light",   "turns", "into",
                                    "colour",  "while",  "a",      "tunnel", "of",   "texture", "rolls", "past",
                                    "every",   "frame",  "is",     "drawn",  "by",   "hand",    "in",    "three",
                                    "hundred", "twenty", "pixels", "wide",   "with", "palette"};

static Bytes TextLike(size_t size, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes out;
    while (out.size() < size) {
        const char* w = Words[rng() % (sizeof Words / sizeof *Words)];
        out.insert(out.end(), w, w + strlen(w));
        out.push_back(rng() % 11 == 0 ? '\n' : ' ');
    }
    out.resize(size);
    return out;
}

static Bytes AngleMap()
{
    Bytes out;
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            double dx = x - 159.5, dy = y - 99.5;
            double angle = std::atan2(dy, dx) / (2 * M_PI) * 256.0;
            double radius = 4096.0 / (std::sqrt(dx * dx + dy * dy) + 1.0);
            out.push_back(uint8_t(int(std::floor(angle)) & 255));
            out.push_back(uint8_t(int(radius) & 255));
        }
    return out;
}

// 320 x 9,200 strip: zero rows with lines of 8x8 "glyphs" every 40 rows.
static Bytes GroupsStrip()
{
    Bytes out(2944000, 0);
    std::mt19937 rng(5);
    uint8_t font[64][8];
    for (auto& glyph : font)
        for (auto& row : glyph)
            row = uint8_t(rng());
    for (int line = 0; line * 40 + 8 < 9200; line++) {
        int chars = 10 + rng() % 25;
        int x0 = (320 - chars * 8) / 2;
        for (int c = 0; c < chars; c++) {
            const uint8_t* glyph = font[rng() % 27];
            for (int r = 0; r < 8; r++)
                for (int b = 0; b < 8; b++)
                    if (glyph[r] >> b & 1)
                        out[size_t(line * 40 + 10 + r) * 320 + x0 + c * 8 + b] = 200 + r;
        }
    }
    return out;
}

static Bytes Random(size_t size)
{
    std::mt19937 rng(77);
    Bytes out(size);
    for (auto& b : out)
        b = uint8_t(rng());
    return out;
}

int main()
{
    struct Input {
        const char* name;
        Bytes data;
    } inputs[] = {
        {"text-like", TextLike(300000, 1)},
        {"angle map 320x200", AngleMap()},
        {"groups strip", GroupsStrip()},
        {"random", Random(1 << 20)},
    };
    printf("%-18s %9s %9s %6s %9s %6s %9s %6s %8s %8s\n", "input", "size", "optimal", "ratio", "greedy", "ratio",
           "gzip -9", "ratio", "pack ms", "unpk ms");
    for (const Input& in : inputs) {
        auto t0 = std::chrono::steady_clock::now();
        Bytes packed = PackStream(in.data.data(), in.data.size());
        auto t1 = std::chrono::steady_clock::now();
        Bytes back(in.data.size());
        long n = ZOH_Unpack(packed.data(), packed.size(), back.data(), back.size());
        auto t2 = std::chrono::steady_clock::now();
        if (n != long(in.data.size()) || back != in.data) {
            printf("%s: round trip failed\n", in.name);
            return 1;
        }
        size_t greedy = PackGreedy(in.data.data(), in.data.size()).size();
        size_t gz = GzipSize(in.data);
        double size = double(in.data.size());
        printf("%-18s %9zu %9zu %5.1f%% %9zu %5.1f%% %9zu %5.1f%% %8.0f %8.1f\n", in.name, in.data.size(),
               packed.size(), 100 * packed.size() / size, greedy, 100 * greedy / size, gz, 100 * gz / size,
               std::chrono::duration<double, std::milli>(t1 - t0).count(),
               std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    return 0;
}
