// Archive reader: locating the archive, lookups, positions, cached reads, hostile files.
#include <gtest/gtest.h>

#include <random>

#include "archive/archive.h"
#include "archive/pack.h"
#include "archive_fixture.h"

namespace {

Bytes Pattern(size_t size, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes out(size);
    for (size_t i = 0; i < size; i++) out[i] = uint8_t(i % 97 < 40 ? rng() % 4 : i * seed);
    return out;
}

RawEntry Packed(const std::string& name, const Bytes& data)
{
    return {name, PackStream(data.data(), data.size()), uint32_t(data.size())};
}

// Areas the reads go through: loading areas of 200,000 / 300,000, scratch 100,000 each.
struct Areas {
    Bytes loadPacked = Bytes(200000);
    Bytes loadUnpacked = Bytes(300000);
    Bytes scratchPacked = Bytes(ScratchAreaBytes);
    Bytes scratchUnpacked = Bytes(ScratchAreaBytes);
    Areas()
    {
        ZOH_SetScratch(scratchPacked.data(), scratchUnpacked.data());
        ZOH_SetLoadingAreas(loadPacked.data(), loadPacked.size(), loadUnpacked.data(), loadUnpacked.size());
    }
    ~Areas() { ZOH_SetLoadingAreas(nullptr, 0, nullptr, 0), ZOH_SetScratch(nullptr, nullptr); }
};

Bytes ReadAll(int32_t entry, uint32_t count, bool cached = false)
{
    Bytes out(count);
    int rc = cached ? ZOH_ReadCached(entry, out.data(), count) : ZOH_Read(entry, out.data(), count);
    EXPECT_EQ(rc, 0) << ZOH_Error();
    return out;
}

class Reader : public testing::Test {
protected:
    Areas areas;
    Bytes alpha = Pattern(70000, 1), beta = Pattern(5000, 2), gamma = Pattern(66314, 3);
    void OpenStandard(size_t leading = 0)
    {
        Bytes file = RawArchive({Packed("alpha.dat", alpha), Packed("beta.scx", beta),
                                 Packed("23mview2.scx", gamma)});
        Bytes lead = Pattern(leading, 9);
        file.insert(file.begin(), lead.begin(), lead.end());
        ASSERT_EQ(ZOH_OpenFile(WriteTemp(file).c_str()), 0) << ZOH_Error();
    }
};

} // namespace

TEST_F(Reader, InitPrintsItsThreeLinesFirstAndFailsCleanlyWithoutAFile)
{
    Bytes file = RawArchive({Packed("alpha.dat", alpha)});
    std::string path = WriteTemp(file);
    const char* saved = overlayName;
    overlayName = path.c_str();
    testing::internal::CaptureStdout();
    int rc = ZOH_Init();
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(log, "ZOH_Init: Zerith Ovarlay Handler initializing.\n"
                   "ZOH_Init: Opening overlay file.\n"
                   "ZOH_Init: Decompressing music.\n");
    EXPECT_EQ(ZOH_EntryCount(), 1u);

    std::string missing = TempPath("missing.ovl");
    overlayName = missing.c_str();
    testing::internal::CaptureStdout();
    rc = ZOH_Init();
    log = testing::internal::GetCapturedStdout();
    overlayName = saved;
    EXPECT_NE(rc, 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
    EXPECT_NE(std::string(ZOH_Error()).find("missing.ovl"), std::string::npos);
    EXPECT_EQ(std::string(ZOH_Error()).find('\n'), std::string::npos);
    EXPECT_EQ(ZOH_EntryCount(), 0u);
    EXPECT_EQ(ZOH_Open("alpha.dat", 512), -1);
}

TEST_F(Reader, LeadingBytesReadLikeABareArchive)
{
    for (size_t leading : {size_t(0), size_t(1), size_t(4099)}) {
        OpenStandard(leading);
        EXPECT_EQ(ReadAll(ZOH_Open("alpha.dat", 512), 70000), alpha);
        EXPECT_EQ(ReadAll(ZOH_Open("beta.scx", 512), 5000), beta);
    }
}

TEST_F(Reader, NamesMatchAllTwelveBytes)
{
    OpenStandard();
    EXPECT_EQ(ZOH_Open("23mview2.scx", 512), 2) << "12 characters, no terminator";
    EXPECT_EQ(ZOH_Open("23mview2.sc", 512), -1);
    EXPECT_EQ(ZOH_Open("23mview2.scxx", 512), -1);
    EXPECT_EQ(ZOH_Open("ALPHA.DAT", 512), -1) << "case matters";
    EXPECT_EQ(ZOH_Open("alpha", 512), -1);
    EXPECT_EQ(ZOH_Open("", 512), -1);
    EXPECT_EQ(ZOH_Open(nullptr, 512), -1);
    EXPECT_EQ(ZOH_EntrySize(1), 5000u);
    EXPECT_EQ(ZOH_EntrySize(3), 0u);
}

TEST_F(Reader, FullAndEmptyDirectories)
{
    std::vector<RawEntry> many;
    for (int i = 0; i < 255; i++) {
        std::string name = std::to_string(i);
        many.push_back(Packed(name.insert(0, 1, 'e'), Bytes(i, uint8_t(i))));
    }
    many[200].name = "e7";                // a later duplicate: the first record wins
    ASSERT_EQ(ZOH_OpenFile(WriteTemp(RawArchive(many)).c_str()), 0) << ZOH_Error();
    EXPECT_EQ(ZOH_EntryCount(), 255u);
    EXPECT_EQ(ZOH_Open("e254", 512), 254);
    EXPECT_EQ(ReadAll(254, 254), Bytes(254, 254));
    EXPECT_EQ(ZOH_Open("e7", 512), 7);

    ASSERT_EQ(ZOH_OpenFile(WriteTemp(RawArchive({})).c_str()), 0) << ZOH_Error();
    EXPECT_EQ(ZOH_EntryCount(), 0u);
    EXPECT_EQ(ZOH_Open("e7", 512), -1);
    uint8_t b;
    EXPECT_NE(ZOH_Read(0, &b, 1), 0);
}

TEST_F(Reader, PositionsAndSeeks)
{
    OpenStandard();
    int32_t a = ZOH_Open("alpha.dat", 512);
    EXPECT_EQ(ZOH_Seek(a, 778, 0), 778u);
    EXPECT_EQ(ReadAll(a, 64000), Bytes(alpha.begin() + 778, alpha.begin() + 64778));
    EXPECT_EQ(ZOH_Seek(a, 0, 1), 64778u) << "tell";
    EXPECT_EQ(ZOH_Open("alpha.dat", 512), a);
    EXPECT_EQ(ZOH_Seek(a, 0, 1), 0u) << "re-open resets the position";
    uint8_t none = 0;
    EXPECT_EQ(ZOH_Read(a, &none, 0), 0);
    EXPECT_EQ(ZOH_Seek(a, 0, 1), 0u) << "count 0 keeps the position";

    EXPECT_EQ(ZOH_Seek(a, 0, 2), 70000u);
    EXPECT_EQ(ZOH_Seek(a, 100, 2), 69900u);
    EXPECT_EQ(ZOH_Seek(a, uint32_t(-69900), 1), 0u) << "32-bit wrap";
    EXPECT_EQ(ZOH_Seek(a, 5, 3), 0u) << "other whence: unchanged";
    EXPECT_EQ(ZOH_Seek(a, 5, 256), 5u) << "whence is taken as 8 bits";
    EXPECT_EQ(ZOH_Seek(a, 70001, 2), uint32_t(-1));

    // Palette then pixels: the second read continues where the first stopped.
    int32_t g = ZOH_Open("23mview2.scx", 512);
    ZOH_Seek(g, 10, 0);
    EXPECT_EQ(ReadAll(g, 768, true), Bytes(gamma.begin() + 10, gamma.begin() + 778));
    EXPECT_EQ(ReadAll(g, 65536, true), Bytes(gamma.begin() + 778, gamma.end()));
}

TEST_F(Reader, CachedReadDecompressesOnlyWhenTheEntryChanges)
{
    OpenStandard();
    int32_t b = ZOH_Open("beta.scx", 512), g = ZOH_Open("23mview2.scx", 512);
    uint32_t before = ZOH_UnpackCount();
    ReadAll(b, 10, true);
    ReadAll(b, 10, true);
    ReadAll(g, 10, true);
    EXPECT_EQ(ReadAll(b, 10, true), Bytes(beta.begin() + 20, beta.begin() + 30));
    EXPECT_EQ(ZOH_UnpackCount() - before, 3u);
    ZOH_Read(b, nullptr, 0);
    ZOH_Read(b, nullptr, 0);
    EXPECT_EQ(ZOH_UnpackCount() - before, 5u) << "plain reads always decompress";
    ZOH_SetScratch(areas.scratchPacked.data(), areas.scratchUnpacked.data());
    ReadAll(b, 10, true);
    EXPECT_EQ(ZOH_UnpackCount() - before, 6u) << "new scratch areas forget the cached entry";
    uint8_t byte;
    EXPECT_NE(ZOH_Read(b, &byte, 1), 0) << "the loading areas are gone after ZOH_SetScratch";
}

TEST_F(Reader, ReadsStayInsideTheirAreas)
{
    OpenStandard();
    int32_t b = ZOH_Open("beta.scx", 512);
    // Past unpackedSize but inside the area: allowed, copies the area's bytes.
    Bytes all(areas.loadUnpacked.size());
    EXPECT_EQ(ZOH_Read(b, all.data(), uint32_t(all.size())), 0) << ZOH_Error();
    EXPECT_EQ(Bytes(all.begin(), all.begin() + 5000), beta);
    ZOH_Seek(b, 1, 0);
    EXPECT_NE(ZOH_Read(b, all.data(), uint32_t(all.size())), 0) << "one byte past the area";
    EXPECT_EQ(ZOH_Seek(b, 0, 1), 1u) << "a failed read keeps the position";
    ZOH_Seek(b, 0xFFFFFFF0u, 0);
    EXPECT_NE(ZOH_Read(b, all.data(), 0x20), 0) << "position + count wraps 32 bits";
    // alpha (70,000 bytes) fits a scratch area, but 66,314 bytes from position 40,000 do not.
    int32_t a = ZOH_Open("alpha.dat", 512);
    ZOH_Seek(a, 40000, 0);
    EXPECT_NE(ZOH_ReadCached(a, all.data(), 66314), 0);

    // The destination may be the unpacked area itself (groups.dat is read this way).
    ZOH_Open("alpha.dat", 512);
    EXPECT_EQ(ZOH_Read(a, areas.loadUnpacked.data(), 70000), 0);
    EXPECT_EQ(Bytes(areas.loadUnpacked.begin(), areas.loadUnpacked.begin() + 70000), alpha);
}

TEST_F(Reader, EntriesLargerThanTheAreasFail)
{
    Bytes big = Pattern(150000, 4);
    ASSERT_EQ(ZOH_OpenFile(WriteTemp(RawArchive({Packed("big", big)})).c_str()), 0);
    Bytes out(10);
    EXPECT_NE(ZOH_ReadCached(0, out.data(), 10), 0) << "packed or unpacked over 100,000";
    Bytes tinyPacked(100), tinyUnpacked(200000);
    ZOH_SetLoadingAreas(tinyPacked.data(), tinyPacked.size(), tinyUnpacked.data(), tinyUnpacked.size());
    EXPECT_NE(ZOH_Read(0, out.data(), 10), 0) << "packed area too small";
    Bytes packed(200000), small(149999);
    ZOH_SetLoadingAreas(packed.data(), packed.size(), small.data(), small.size());
    EXPECT_NE(ZOH_Read(0, out.data(), 10), 0) << "unpacked area one byte short";
    ZOH_SetLoadingAreas(nullptr, 0, nullptr, 0);
    EXPECT_NE(ZOH_Read(0, out.data(), 10), 0) << "no areas";
}

// ---- Hostile files: every failure is clean, nothing escapes the areas ----

TEST_F(Reader, MalformedFilesAreRefusedAtOpen)
{
    Bytes good = RawArchive({Packed("alpha.dat", alpha), Packed("beta.scx", beta)});
    auto opens = [](const Bytes& file) { return ZOH_OpenFile(WriteTemp(file).c_str()) == 0; };
    ASSERT_TRUE(opens(good));
    EXPECT_FALSE(opens({})) << "empty file";
    EXPECT_FALSE(opens(Bytes(19, 0))) << "shorter than header and trailer";
    Bytes lying = good;
    WriteLE32(lying.data() + lying.size() - 4, uint32_t(lying.size() + 1));
    EXPECT_FALSE(opens(lying)) << "trailer longer than the file";
    WriteLE32(lying.data() + lying.size() - 4, 19);
    EXPECT_FALSE(opens(lying)) << "trailer shorter than header and trailer";
    Bytes counted = good;
    counted[OverlayCountOffset] = 255;
    EXPECT_FALSE(opens(counted)) << "entryCount larger than the file holds";
    Bytes past = good;
    WriteLE32(past.data() + 16 + 32 + 12, uint32_t(past.size()));
    EXPECT_FALSE(opens(past)) << "offset past the end";
    Bytes longer = good;
    WriteLE32(longer.data() + 16 + 32 + 16, 0xFFFFFFF0u);
    EXPECT_FALSE(opens(longer)) << "offset + packedSize wraps 32 bits";
    Bytes trailerless = good;
    trailerless.resize(good.size() - 4);
    EXPECT_FALSE(opens(trailerless));
    EXPECT_EQ(ZOH_EntryCount(), 0u) << "a failed open leaves no directory";
    EXPECT_EQ(std::string(ZOH_Error()).find('\n'), std::string::npos);
}

TEST_F(Reader, BadStreamsFailTheirRead)
{
    Bytes before = {0x00, 0x00, 0xFF};                         // match before the output
    Bytes endless = {0xFF, 0xFF, 1, 2, 3};                     // no end token
    Bytes expanding;                                           // 10 MB from a few bytes
    StreamWriter w;
    StreamBegin(&w, &expanding);
    StreamLiteral(&w, 7);
    for (int i = 0; i < 40000; i++) StreamMatch(&w, 256, 1);
    StreamEnd(&w);
    ASSERT_EQ(ZOH_OpenFile(WriteTemp(RawArchive({{"before", before, 10}, {"endless", endless, 3},
                                                 {"expanding", expanding, 100}})).c_str()),
              0);
    Bytes out(10);
    for (int32_t i = 0; i < 3; i++) {
        EXPECT_NE(ZOH_Read(i, out.data(), 1), 0) << i;
        EXPECT_NE(ZOH_ReadCached(i, out.data(), 1), 0) << i;
    }
}

TEST_F(Reader, MutatedArchivesNeverEscape)
{
    Bytes good = RawArchive({Packed("alpha.dat", Pattern(3000, 5)), Packed("beta.scx", beta)});
    std::mt19937 rng(42);
    for (int round = 0; round < 300; round++) {
        Bytes file = good;
        int flips = 1 + rng() % 6;
        for (int k = 0; k < flips; k++) file[rng() % file.size()] = uint8_t(rng());
        if (round % 5 == 0) file.resize(rng() % file.size());
        if (ZOH_OpenFile(WriteTemp(file).c_str()) != 0) continue;
        Bytes out(8000);
        for (uint32_t i = 0; i < ZOH_EntryCount(); i++) {
            ZOH_Seek(int32_t(i), rng() % 4000, 0);
            ZOH_Read(int32_t(i), out.data(), uint32_t(rng() % out.size()));
            ZOH_ReadCached(int32_t(i), out.data(), uint32_t(rng() % out.size()));
        }
    }
}
