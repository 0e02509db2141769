// Optimal-parse encoder. Two match finders run over every position:
//  - near: an exact chain of earlier positions with the same first two bytes, walked
//    while the distance is <= 256, giving the longest short-token match (up to 5);
//  - far: a binary search tree of the suffixes in the 8,192-byte window (keys cut at
//    256 bytes), giving the longest match of the window exactly: the best match is
//    the query's neighbour in suffix order, which the insertion path passes.
// A backward dynamic programme then prices every position: cost[i] = bits to encode
// data[i..] with the cheapest choice of literal, short, long or extended match.
// Extended matches cost the same for every length 10..longest, so their choice is a
// range minimum over cost[], kept in a small sparse table over the last 512 positions.
#include "archive/pack.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "archive/archive_format.h"
#include "core/bytes.h"

namespace {

constexpr uint32_t None = UINT32_MAX;
constexpr uint32_t NearMaxLength = 5;
constexpr uint32_t LongMaxLength = 9;
constexpr uint32_t TreeSlots = 16384;   // power of two > StreamWindow
constexpr uint32_t NearSlots = 512;     // power of two > StreamShortWindow
constexpr uint32_t RangeLevels = 9;     // 2^8 = 256 >= longest extended range
constexpr uint32_t RangeSlots = 512;

// Number of equal bytes at a and b, from `len` up to `limit`.
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t len, uint32_t limit)
{
    if constexpr (std::endian::native == std::endian::little) {
        while (limit - len >= 8) {
            uint64_t x, y;
            memcpy(&x, a + len, 8);
            memcpy(&y, b + len, 8);
            if (x != y)
                return len + uint32_t(__builtin_ctzll(x ^ y)) / 8;
            len += 8;
        }
    }
    while (len < limit && a[len] == b[len])
        len++;
    return len;
}

struct MatchInfo {
    uint8_t nearLength;   // 0 or 2..5
    uint16_t nearDistance;
    uint16_t farLength;   // 0 or 2..256
    uint16_t farDistance;
};

void FindMatches(const uint8_t* d, uint32_t n, MatchInfo* info)
{
    std::vector<uint32_t> nearHead(65536, None);
    std::vector<uint32_t> nearPrev(NearSlots, None);
    std::vector<uint32_t> treeHead(65536, None);
    std::vector<uint32_t> son(2 * TreeSlots, None);

    for (uint32_t cur = 0; cur < n; cur++) {
        MatchInfo& m = info[cur];
        m = MatchInfo{0, 0, 0, 0};
        if (n - cur < 2)
            continue;
        uint32_t key = ReadLE16(d + cur);

        // Near: newest first, so the first of each length is the closest.
        uint32_t limit = std::min<uint32_t>(NearMaxLength, n - cur);
        uint32_t cand = nearHead[key];
        nearPrev[cur & (NearSlots - 1)] = cand;
        nearHead[key] = cur;
        while (cand != None && cur - cand <= StreamShortWindow) {
            uint32_t len = 2;
            while (len < limit && d[cand + len] == d[cur + len])
                len++;
            if (len > m.nearLength) {
                m.nearLength = uint8_t(len);
                m.nearDistance = uint16_t(cur - cand);
                if (len == limit)
                    break;
            }
            cand = nearPrev[cand & (NearSlots - 1)];
        }

        // Far: insert cur as the root of its tree, splitting the old tree along the path.
        limit = std::min<uint32_t>(StreamMaxMatch, n - cur);
        cand = treeHead[key];
        treeHead[key] = cur;
        uint32_t* smaller = &son[2 * (cur & (TreeSlots - 1))];
        uint32_t* larger = smaller + 1;
        uint32_t lenSmaller = 0;
        uint32_t lenLarger = 0;
        for (;;) {
            if (cand == None || cur - cand > StreamWindow) {
                *smaller = *larger = None;
                break;
            }
            uint32_t* pair = &son[2 * (cand & (TreeSlots - 1))];
            uint32_t len = MatchLength(d + cand, d + cur, std::min(lenSmaller, lenLarger), limit);
            if (len > m.farLength) {
                m.farLength = uint16_t(len);
                m.farDistance = uint16_t(cur - cand);
            }
            if (len == StreamMaxMatch) {
                // Same key: cur takes cand's place and cand leaves the tree.
                *smaller = pair[0];
                *larger = pair[1];
                break;
            }
            if (len < limit && d[cand + len] < d[cur + len]) {
                *smaller = cand;
                smaller = &pair[1];
                cand = *smaller;
                lenSmaller = len;
            } else {
                // cand is larger, or cur's suffix ends inside it (a prefix sorts first).
                *larger = cand;
                larger = &pair[0];
                cand = *larger;
                lenLarger = len;
            }
        }
    }
}

enum : uint8_t { StepLiteral, StepNear, StepFar };

}   // namespace

void StreamBegin(StreamWriter* w, std::vector<uint8_t>* out)
{
    w->out = out;
    w->controlAt = out->size();
    out->push_back(0);
    out->push_back(0);
    w->control = 0;
    w->bitCount = 0;
}

static void PutBit(StreamWriter* w, uint32_t bit)
{
    w->control |= bit << w->bitCount;
    if (++w->bitCount == 16) {
        WriteLE16(&(*w->out)[w->controlAt], uint16_t(w->control));
        w->controlAt = w->out->size();
        w->out->push_back(0);
        w->out->push_back(0);
        w->control = 0;
        w->bitCount = 0;
    }
}

void StreamLiteral(StreamWriter* w, uint8_t byte)
{
    PutBit(w, 1);
    w->out->push_back(byte);
}

void StreamMatch(StreamWriter* w, uint32_t length, uint32_t distance)
{
    if (length <= NearMaxLength && distance <= StreamShortWindow) {
        uint32_t n = length - 2;
        PutBit(w, 0);
        PutBit(w, 0);
        PutBit(w, n >> 1);
        PutBit(w, n & 1);
        w->out->push_back(uint8_t(StreamShortWindow - distance));
        return;
    }
    uint32_t v = StreamWindow - distance;   // 13 bits
    uint32_t n = length <= LongMaxLength ? length - 2 : 0;
    PutBit(w, 0);
    PutBit(w, 1);
    w->out->push_back(uint8_t(v));
    w->out->push_back(uint8_t((v >> 8) << 3 | n));
    if (n == 0)
        w->out->push_back(uint8_t(length - 1));
}

void StreamEnd(StreamWriter* w)
{
    PutBit(w, 0);
    PutBit(w, 1);
    w->out->push_back(0);
    w->out->push_back(0);
    w->out->push_back(0);
    WriteLE16(&(*w->out)[w->controlAt], uint16_t(w->control));
}

std::vector<uint8_t> PackStream(const uint8_t* data, size_t size)
{
    const uint32_t n = uint32_t(size);
    std::vector<MatchInfo> info(n);
    FindMatches(data, n, info.data());

    std::vector<uint32_t> cost(size_t(n) + 1);
    std::vector<uint16_t> stepLength(n);
    std::vector<uint8_t> stepKind(n);

    // range[k][j % RangeSlots] = min over positions j .. j + 2^k - 1 (<= n) of
    // (cost << 32 | ~position): the cheapest continuation, the longest on a tie.
    static_assert(RangeSlots >= 2 * StreamMaxMatch, "range table must span two match lengths");
    std::vector<uint64_t> range(RangeLevels * RangeSlots);
    auto rangeAt = [&](uint32_t level, uint32_t pos) -> uint64_t& {
        return range[level * RangeSlots + (pos & (RangeSlots - 1))];
    };
    auto place = [&](uint32_t pos) {
        rangeAt(0, pos) = uint64_t(cost[pos]) << 32 | uint32_t(~pos);
        for (uint32_t k = 1; k < RangeLevels; k++) {
            uint32_t half = 1u << (k - 1);
            uint64_t v = rangeAt(k - 1, pos);
            if (uint64_t(pos) + half <= n)
                v = std::min(v, rangeAt(k - 1, pos + half));
            rangeAt(k, pos) = v;
        }
    };

    cost[n] = 0;
    place(n);
    for (uint32_t i = n; i-- > 0;) {
        const MatchInfo& m = info[i];
        uint32_t best = LiteralBits + cost[i + 1];
        uint32_t bestLength = 1;
        uint8_t bestKind = StepLiteral;
        for (uint32_t len = 2; len <= m.nearLength; len++) {
            uint32_t c = ShortMatchBits + cost[i + len];
            if (c < best)
                best = c, bestLength = len, bestKind = StepNear;
        }
        uint32_t farLong = std::min<uint32_t>(m.farLength, LongMaxLength);
        for (uint32_t len = 3; len <= farLong; len++) {
            uint32_t c = LongMatchBits + cost[i + len];
            if (c < best)
                best = c, bestLength = len, bestKind = StepFar;
        }
        if (m.farLength > LongMaxLength) {
            uint32_t a = i + LongMaxLength + 1;
            uint32_t b = i + m.farLength;
            uint32_t level = 31 - __builtin_clz(b - a + 1);
            uint64_t v = std::min(rangeAt(level, a), rangeAt(level, b - (1u << level) + 1));
            uint32_t c = ExtendedMatchBits + uint32_t(v >> 32);
            if (c < best)
                best = c, bestLength = ~uint32_t(v) - i, bestKind = StepFar;
        }
        cost[i] = best;
        stepLength[i] = uint16_t(bestLength);
        stepKind[i] = bestKind;
        place(i);
    }

    std::vector<uint8_t> out;
    out.reserve(size_t(cost[0]) / 8 + 16);
    StreamWriter w;
    StreamBegin(&w, &out);
    for (uint32_t i = 0; i < n;) {
        uint32_t len = stepLength[i];
        switch (stepKind[i]) {
        case StepLiteral: StreamLiteral(&w, data[i]); break;
        case StepNear: StreamMatch(&w, len, info[i].nearDistance); break;
        default: StreamMatch(&w, len, info[i].farDistance); break;
        }
        i += len;
    }
    StreamEnd(&w);
    return out;
}
