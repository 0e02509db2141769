// Archive reader: locating the archive, lookups, positions, areas, separate archives,
// the demo's reader, hostile files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>

#include "archive/archive.h"
#include "archive/pack.h"
#include "archive_fixture.h"

namespace {

Bytes Pattern(size_t size, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes out(size);
    for (size_t i = 0; i < size; i++)
        out[i] = uint8_t(i % 97 < 40 ? rng() % 4 : i * seed);
    return out;
}
RawEntry Packed(const std::string& name, const Bytes& data)
{
    return {name, PackStream(data.data(), data.size()), uint32_t(data.size())};
}
Bytes Slice(const Bytes& b, size_t from, size_t to) { return Bytes(b.begin() + from, b.begin() + to); }

// An archive with loading areas of 200,000 / 300,000 bytes and scratch areas.
class Reader : public testing::Test {
protected:
    Archive ar;
    Bytes loadPacked = Bytes(200000), loadUnpacked = Bytes(300000);
    Bytes scratchPacked = Bytes(ScratchAreaBytes), scratchUnpacked = Bytes(ScratchAreaBytes);
    Bytes alpha = Pattern(70000, 1), beta = Pattern(5000, 2), gamma = Pattern(66314, 3);
    Bytes standard = RawArchive({Packed("alpha.dat", alpha), Packed("beta.scx", beta), Packed("23mview2.scx", gamma)});
    void SetUp() override
    {
        ArchiveSetScratch(&ar, scratchPacked.data(), scratchUnpacked.data());
        ArchiveSetLoadingAreas(&ar, loadPacked.data(), loadPacked.size(), loadUnpacked.data(), loadUnpacked.size());
    }
    bool Open(const Bytes& file) { return ArchiveOpenBytes(&ar, file.data(), file.size()); }
    bool Try(int32_t entry, uint32_t count, bool cached, Bytes* out)
    {
        out->resize(count);
        return (cached ? ArchiveReadCached : ArchiveRead)(&ar, entry, out->data(), count);
    }
    Bytes Read(int32_t entry, uint32_t count, bool cached = false)
    {
        Bytes out;
        EXPECT_TRUE(Try(entry, count, cached, &out)) << ArchiveError(&ar);
        return out;
    }
    bool Fails(int32_t entry, uint32_t count, bool cached = false)
    {
        Bytes out;
        return !Try(entry, count, cached, &out);
    }
};

}   // namespace

TEST_F(Reader, LookupsMatchAllTwelveBytesInFullAndEmptyDirectories)
{
    std::vector<RawEntry> many;
    for (int i = 0; i < 254; i++)
        many.push_back(Packed(std::to_string(i).insert(0, 1, 'e'), Bytes(i, uint8_t(i))));
    many[200].name = "e7";   // a later duplicate: the first record wins
    many.push_back(Packed("23mview2.scx", beta));
    ASSERT_TRUE(Open(RawArchive(many))) << ArchiveError(&ar);
    EXPECT_EQ(ArchiveEntryCount(&ar), 255u);
    EXPECT_EQ(ArchiveFind(&ar, "23mview2.scx"), 254) << "12 characters, no terminator";
    EXPECT_EQ(Read(254, 5000), beta);
    EXPECT_EQ(ArchiveFind(&ar, "e7"), 7);
    for (const char* miss : {"23mview2.sc", "23mview2.scxx", "E7", "e", "", (const char*)nullptr})
        EXPECT_EQ(ArchiveFind(&ar, miss), -1) << (miss ? miss : "null");
    EXPECT_EQ(ArchiveEntrySize(&ar, 254), 5000u);
    EXPECT_EQ(ArchiveEntrySize(&ar, 255), 0u);
    ASSERT_TRUE(Open(RawArchive({})));
    EXPECT_EQ(ArchiveFind(&ar, "e7"), -1);
    EXPECT_TRUE(Fails(0, 1));
}

TEST_F(Reader, PositionsSeeksAndCachedReads)
{
    ASSERT_TRUE(Open(standard));
    int32_t a = ArchiveFind(&ar, "alpha.dat"), b = 1, g = 2;
    EXPECT_EQ(ArchiveSeek(&ar, a, 778, 0), 778u);
    EXPECT_EQ(Read(a, 64000), Slice(alpha, 778, 64778));
    EXPECT_EQ(ArchiveSeek(&ar, a, 0, 1), 64778u) << "tell";
    EXPECT_EQ(ArchiveFind(&ar, "alpha.dat"), a);
    EXPECT_EQ(ArchiveSeek(&ar, a, 0, 1), 0u) << "finding the entry again resets its position";
    Read(a, 0);
    EXPECT_EQ(ArchiveSeek(&ar, a, 0, 1), 0u) << "count 0 keeps the position";
    EXPECT_EQ(ArchiveSeek(&ar, a, 0, 2), 70000u);
    EXPECT_EQ(ArchiveSeek(&ar, a, 100, 2), 69900u);
    EXPECT_EQ(ArchiveSeek(&ar, a, uint32_t(-69900), 1), 0u) << "32-bit wrap";
    EXPECT_EQ(ArchiveSeek(&ar, a, 5, 3), 0u) << "other whence: unchanged";
    EXPECT_EQ(ArchiveSeek(&ar, a, 5, 256), 5u) << "whence is taken as 8 bits";
    EXPECT_EQ(ArchiveSeek(&ar, a, 70001, 2), uint32_t(-1));
    EXPECT_EQ(ArchiveSeek(&ar, 3, 5, 0), 0u);
    EXPECT_EQ(ArchiveUnpackCount(&ar), 2u);

    // Palette then pixels: the second read continues where the first stopped. Cached
    // reads of g, g, b, g decompress three times; plain reads always decompress.
    ArchiveSeek(&ar, g, 10, 0);
    EXPECT_EQ(Read(g, 768, true), Slice(gamma, 10, 778));
    EXPECT_EQ(Read(g, 65536, true), Slice(gamma, 778, 66314));
    EXPECT_EQ(Read(b, 10, true), Slice(beta, 0, 10));
    ArchiveSeek(&ar, g, 5, 0);
    EXPECT_EQ(Read(g, 10, true), Slice(gamma, 5, 15));
    EXPECT_EQ(ArchiveUnpackCount(&ar), 5u);
    Read(g, 0);
    EXPECT_EQ(ArchiveUnpackCount(&ar), 6u);
    ArchiveSetScratch(&ar, scratchPacked.data(), scratchUnpacked.data());
    Read(g, 10, true);
    EXPECT_EQ(ArchiveUnpackCount(&ar), 7u) << "new scratch areas forget the cached entry";
    EXPECT_TRUE(Fails(b, 1)) << "the loading areas are gone after ArchiveSetScratch";
}

TEST_F(Reader, ReadsStayInsideTheirAreas)
{
    ASSERT_TRUE(Open(standard));
    int32_t a = 0, b = 1;
    // Past unpackedSize but inside the area: allowed, and zeros there, never what an
    // earlier entry left in the area (alpha, 70,000 bytes, was decoded there first).
    Read(a, 10);
    Bytes all = Read(b, uint32_t(loadUnpacked.size()));
    EXPECT_EQ(Slice(all, 0, 5000), beta);
    EXPECT_EQ(Slice(all, 5000, all.size()), Bytes(all.size() - 5000, 0));
    ArchiveSeek(&ar, b, 1, 0);
    EXPECT_TRUE(Fails(b, uint32_t(loadUnpacked.size()))) << "one byte past the area";
    EXPECT_EQ(ArchiveSeek(&ar, b, 0, 1), 1u) << "a failed read keeps the position";
    ArchiveSeek(&ar, b, 0xFFFFFFF0u, 0);
    EXPECT_TRUE(Fails(b, 0x20)) << "position + count wraps 32 bits";
    // alpha (70,000 bytes) fits a scratch area, but 66,314 bytes from position 40,000 do not.
    ArchiveSeek(&ar, a, 40000, 0);
    EXPECT_TRUE(Fails(a, 66314, true));
    // The destination may be the unpacked area itself (groups.dat is read this way).
    ArchiveSeek(&ar, a, 0, 0);
    EXPECT_TRUE(ArchiveRead(&ar, a, loadUnpacked.data(), 70000));
    EXPECT_EQ(Slice(loadUnpacked, 0, 70000), alpha);

    ASSERT_TRUE(Open(RawArchive({Packed("big", Pattern(150000, 4))})));
    EXPECT_TRUE(Fails(0, 10, true)) << "packed or unpacked over 100,000";
    Bytes tiny(100), oneShort(149999);
    ArchiveSetLoadingAreas(&ar, tiny.data(), tiny.size(), loadUnpacked.data(), loadUnpacked.size());
    EXPECT_TRUE(Fails(0, 10)) << "packed area too small";
    ArchiveSetLoadingAreas(&ar, loadPacked.data(), loadPacked.size(), oneShort.data(), oneShort.size());
    EXPECT_TRUE(Fails(0, 10)) << "unpacked area one byte short";
    ArchiveSetLoadingAreas(&ar, nullptr, 0, nullptr, 0);
    EXPECT_TRUE(Fails(0, 10)) << "no areas";
}

TEST_F(Reader, TwoArchivesOpenAtOnceStayIndependent)
{
    // This one on a file with leading bytes before the archive, the other on bytes.
    Bytes leading = Pattern(4099, 9), otherAlpha = Pattern(3000, 7);
    leading.insert(leading.end(), standard.begin(), standard.end());
    ASSERT_TRUE(ArchiveOpenFile(&ar, WriteTemp(leading).c_str())) << ArchiveError(&ar);
    Archive other;
    Bytes otherFile = RawArchive({Packed("beta.scx", beta), Packed("alpha.dat", otherAlpha)});
    Bytes packed(5000), unpacked(5000);
    ASSERT_TRUE(ArchiveOpenBytes(&other, otherFile.data(), otherFile.size()));
    ArchiveSetLoadingAreas(&other, packed.data(), packed.size(), unpacked.data(), unpacked.size());
    int32_t mine = ArchiveFind(&ar, "alpha.dat"), theirs = ArchiveFind(&other, "alpha.dat");
    EXPECT_EQ(theirs, 1);
    ArchiveSeek(&ar, mine, 100, 0);
    Bytes out(10);
    EXPECT_TRUE(ArchiveRead(&other, theirs, out.data(), 10));
    EXPECT_EQ(out, Slice(otherAlpha, 0, 10));
    EXPECT_EQ(Read(mine, 10, true), Slice(alpha, 100, 110)) << "each has its own positions and areas";
    EXPECT_EQ(ArchiveUnpackCount(&ar), 1u);
    EXPECT_FALSE(ArchiveRead(&other, 7, out.data(), 1));
    EXPECT_STREQ(ArchiveError(&ar), "no error") << "a failure is reported by its own archive";
    ArchiveClose(&other);
    EXPECT_EQ(ArchiveEntryCount(&other), 0u);
    EXPECT_EQ(Read(mine, 10), Slice(alpha, 110, 120)) << "closing one leaves the other";
}

TEST_F(Reader, DemoReaderIsOneArchiveBehindTheZohOperations)
{
    std::string path = WriteTemp(standard);
    const char* saved = overlayName;
    overlayName = path.c_str();
    testing::internal::CaptureStdout();
    EXPECT_TRUE(ZOH_Init()) << ZOH_Error();
    overlayName = saved;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ZOH_Init: Zerith Ovarlay Handler initializing.\n"
                                                      "ZOH_Init: Opening overlay file.\n"
                                                      "ZOH_Init: Decompressing music.\n");
    ZOH_SetLoadingAreas(loadPacked.data(), loadPacked.size(), loadUnpacked.data(), loadUnpacked.size());
    ASSERT_TRUE(Open(RawArchive({Packed("beta.scx", alpha)})));   // another archive meanwhile
    int32_t b = ZOH_Open("beta.scx", 512);
    EXPECT_EQ(ZOH_Seek(b, 4000, 0), 4000u);
    Bytes out(1000);
    EXPECT_TRUE(ZOH_Read(b, out.data(), 1000));
    EXPECT_EQ(out, Slice(beta, 4000, 5000));
    EXPECT_EQ(ZOH_UnpackCount(), 1u);
    std::string missing = TempPath("missing.ovl");
    overlayName = missing.c_str();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(ZOH_Init());
    testing::internal::GetCapturedStdout();
    overlayName = saved;
    EXPECT_EQ(ZOH_Error(), "ZOH_Init: Cannot open overlay file " + missing + ": No such file or directory");
    ZOH_SetLoadingAreas(nullptr, 0, nullptr, 0);
    EXPECT_EQ(ZOH_Open("beta.scx", 512), -1);
    EXPECT_EQ(ArchiveFind(&ar, "beta.scx"), 0) << "the other archive is untouched";
}

// ---- Hostile files: every failure is clean, nothing escapes the areas ----

TEST_F(Reader, MalformedDirectoriesAreRefusedAtOpen)
{
    auto with = [&](size_t at, uint32_t value) {
        Bytes file = standard;
        WriteLE32(file.data() + std::min(at, file.size() - 4), value);
        return file;
    };
    ASSERT_TRUE(Open(standard));
    EXPECT_FALSE(Open({})) << "empty";
    EXPECT_FALSE(Open(Bytes(19, 0))) << "shorter than header and trailer";
    EXPECT_FALSE(Open(with(SIZE_MAX, uint32_t(standard.size() + 1)))) << "trailer longer than the file";
    EXPECT_FALSE(Open(with(SIZE_MAX, 19))) << "trailer shorter than header and trailer";
    EXPECT_FALSE(Open(with(12, 0xFF000000u))) << "entryCount larger than the file holds";
    EXPECT_FALSE(Open(with(16 + 32 + 12, uint32_t(standard.size())))) << "offset past the end";
    EXPECT_FALSE(Open(with(16 + 32 + 16, 0xFFFFFFF0u))) << "offset + packedSize wraps 32 bits";
    EXPECT_FALSE(Open(Bytes(standard.begin(), standard.end() - 4))) << "no trailer";
    EXPECT_EQ(ArchiveEntryCount(&ar), 0u) << "a failed open leaves no directory";
    // The messages carry the real figures.
    Open(with(SIZE_MAX, uint32_t(standard.size() + 1)));
    EXPECT_NE(std::string(ArchiveError(&ar)).find("file size " + std::to_string(standard.size())), std::string::npos)
        << ArchiveError(&ar);
    Bytes empty = RawArchive({});
    empty[OverlayCountOffset] = 1;
    Open(empty);
    EXPECT_NE(std::string(ArchiveError(&ar)).find("claims 1 entries but holds only 20 bytes"), std::string::npos)
        << ArchiveError(&ar);
    // Not a regular file: refused at once instead of read or waited on.
    std::string fifo = TempPath("fifo.ovl");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ArchiveOpenFile(&ar, fifo.c_str()));
    EXPECT_NE(std::string(ArchiveError(&ar)).find("not a regular file"), std::string::npos) << ArchiveError(&ar);
    unlink(fifo.c_str());
    EXPECT_FALSE(ArchiveOpenFile(&ar, testing::TempDir().c_str()));
    EXPECT_NE(std::string(ArchiveError(&ar)).find("not a regular file"), std::string::npos) << ArchiveError(&ar);
    EXPECT_EQ(std::string(ArchiveError(&ar)).find('\n'), std::string::npos);
    EXPECT_FALSE(ArchiveOpenFile(&ar, TempPath("missing.ovl").c_str()));
}

TEST_F(Reader, BadStreamsAndMutatedArchivesFailCleanly)
{
    Bytes expanding = PackStream(Bytes(400000).data(), 400000), abc = {0x17, 0x00, 'a', 'b', 'c', 0, 0, 0};
    // A match before the output, no end token, too much output; lengths that disagree.
    ASSERT_TRUE(Open(RawArchive({{"before", {0x00, 0x00, 0xFF}, 10},
                                 {"endless", {0xFF, 0xFF, 1, 2, 3}, 3},
                                 {"expanding", expanding, 100},
                                 {"short", abc, 4},
                                 {"claims", abc, 1000}})));
    Bytes out;
    for (int32_t i = 0; i < 5; i++) {
        EXPECT_TRUE(Fails(i, 1)) << i;
        EXPECT_TRUE(Fails(i, 1, true)) << i;
    }
    // A stream that decodes to less than its directory says is refused with both figures.
    Fails(3, 1, true);
    EXPECT_STREQ(ArchiveError(&ar), "ZOH_Read: entry \"short\" decodes to 3 bytes, the directory says 4");
    for (int32_t i = 0; i < 6; i++)
        EXPECT_FALSE(ArchiveDecodeEntry(&ar, i, &out)) << i;
    EXPECT_STREQ(ArchiveError(&ar), "ZOH_Read: bad entry index 5");
    ArchiveDecodeEntry(&ar, 4, &out);
    EXPECT_STREQ(ArchiveError(&ar), "unpacked size 1000 cannot come from 8 packed bytes");
    ASSERT_TRUE(Open(standard));
    EXPECT_TRUE(ArchiveDecodeEntry(&ar, 0, &out)) << ArchiveError(&ar);
    EXPECT_EQ(out, alpha);
    EXPECT_EQ(ArchiveUnpackCount(&ar), 0u) << "whole-entry decoding uses no area";

    Bytes good = RawArchive({Packed("alpha.dat", Pattern(3000, 5)), Packed("beta.scx", beta)});
    std::mt19937 rng(42);
    for (int round = 0; round < 2000; round++) {
        Bytes file = good;
        for (int k = 1 + rng() % 6; k > 0; k--)
            file[rng() % file.size()] = uint8_t(rng());
        if (round % 5 == 0)
            file.resize(rng() % file.size());
        if (!Open(file))
            continue;
        for (int32_t i = 0; i < int32_t(ArchiveEntryCount(&ar)); i++) {
            ArchiveSeek(&ar, i, rng() % 4000, 0);
            Try(i, rng() % 8000, false, &out);
            Try(i, rng() % 8000, true, &out);
            ArchiveDecodeEntry(&ar, i, &out);
        }
    }
}
