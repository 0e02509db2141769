// ovltool end to end: pack a directory, list, extract, unpack, verify, info.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

#include "archive/entries.h"
#include "archive/archive_fixture.h"
#include "test_files.h"

namespace {

using Result = CommandOutcome;

Result Ovltool(const std::string& args) { return RunCommand(std::string(TIVREL_BUILD_DIR) + "/ovltool " + args); }

void Put(const std::string& dir, const std::string& name, const Bytes& data) { WriteFile(dir + "/" + name, data); }

std::string MakeDir()
{
    std::string dir = TempPath("dir");
    EXPECT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
    return dir;
}

Bytes Noise(size_t size)
{
    std::mt19937 rng{uint32_t(size)};
    Bytes out(size);
    for (auto& b : out)
        b = uint8_t(rng());
    return out;
}

bool OneLine(const std::string& s) { return !s.empty() && s.find('\n') == s.size() - 1; }

}   // namespace

TEST(Ovltool, PackListExtractUnpackRoundTrip)
{
    std::string dir = MakeDir(), ovl = TempPath("t.ovl"), back = TempPath("back"), out = TempPath("x");
    Bytes a = Noise(40000), b = Noise(123);
    Put(dir, "Mixed.DAT", a);
    Put(dir, "twelve_chars", b);
    Put(dir, "empty", {});
    ASSERT_EQ(std::system(("mkdir " + dir + "/subdir").c_str()), 0);   // not a regular file
    Result r = Ovltool("pack " + dir + " -o " + ovl);
    ASSERT_EQ(r.status, 0) << r.err;

    std::istringstream lines(Ovltool("list " + ovl).out);
    std::string name;
    unsigned packed, unpacked, offset;
    std::vector<std::string> names;
    while (lines >> name >> packed >> unpacked >> offset)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"empty", "mixed.dat", "twelve_chars"})) << "sorted, lower case";

    EXPECT_EQ(Ovltool("extract " + ovl + " mixed.dat -o " + out).status, 0);
    EXPECT_EQ(Slurp(out), std::string(a.begin(), a.end()));
    EXPECT_EQ(Ovltool("extract " + ovl + " twelve_chars").out, std::string(b.begin(), b.end()));
    r = Ovltool("extract " + ovl + " empty");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    r = Ovltool("extract " + ovl + " Mixed.DAT");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ovltool: no entry \"Mixed.DAT\" in " + ovl + "\n") << "names are stored in lower case";

    ASSERT_EQ(Ovltool("unpack " + ovl + " " + back).status, 0);
    EXPECT_EQ(Slurp(back + "/mixed.dat"), std::string(a.begin(), a.end()));
    EXPECT_EQ(Slurp(back + "/twelve_chars"), std::string(b.begin(), b.end()));
    EXPECT_NE(Ovltool("info " + ovl).out.find("total"), std::string::npos);
}

TEST(Ovltool, RefusalsAndExitStatuses)
{
    std::string longName = MakeDir(), many = MakeDir(), clash = MakeDir(), ovl = TempPath("t.ovl");
    Put(longName, "thirteen_char", {1});
    for (int i = 0; i < 256; i++)
        Put(many, std::to_string(i).append(".f"), {uint8_t(i)});
    Put(clash, "a.dat", {1});
    Put(clash, "A.DAT", {2});
    for (const std::string& from : {longName, many, clash}) {
        Result r = Ovltool("pack " + from + " -o " + ovl + " --force");
        EXPECT_EQ(r.status, 1) << from;
        EXPECT_TRUE(OneLine(r.err)) << r.err;
    }
    EXPECT_EQ(Ovltool("--help").status, 0);
    for (const char* usage : {"", "list", "frobnicate x", "pack x", "list a -o b", "list a --force",
                              "extract a b --force", "build x", "list a --base b", "pack a -o b --base c"})
        EXPECT_EQ(Ovltool(usage).status, 2) << usage;
    Result r = Ovltool("list " + TempPath("missing.ovl"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("ovltool: ZOH_Init: Cannot open overlay file ", 0), 0u) << r.err;
    EXPECT_TRUE(OneLine(r.err)) << r.err;

    // A stream that reaches before its output, and one whose size disagrees.
    std::string bad =
        WriteTemp(RawArchive({{"before", {0x00, 0x00, 0xFF}, 4}, {"short", {0x17, 0x00, 'a', 'b', 'c', 0, 0, 0}, 4}}));
    r = Ovltool("extract " + bad + " before");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ovltool: before: bad stream, or it decodes to more than 4 bytes\n");
    r = Ovltool("extract " + bad + " short");
    EXPECT_EQ(r.err, "ovltool: short: decodes to 3 bytes, directory says 4\n");
    r = Ovltool("verify " + bad);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("before: bad stream"), std::string::npos);
    EXPECT_NE(r.out.find("short: decodes to 3"), std::string::npos);
    EXPECT_EQ(Ovltool("unpack " + bad + " " + TempPath("d")).status, 1);
    std::string traversal = WriteTemp(RawArchive({{"..", {0x02, 0x00, 0, 0, 0}, 0}}));
    EXPECT_EQ(Ovltool("unpack " + traversal + " " + TempPath("d")).status, 1);
}

TEST(Ovltool, VerifyChecksEveryEntryOfTheTable)
{
    std::string dir = MakeDir(), ovl = TempPath("demo.ovl");
    for (int k = 0; k < DataEntryCount; k++)
        Put(dir, DataEntries[k].name, Bytes(DataEntryNeeds(DataEntries[k])));
    ASSERT_EQ(Ovltool("pack " + dir + " -o " + ovl).status, 0);
    Result r = Ovltool("verify " + ovl);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "verify: " + ovl + ": " + std::to_string(DataEntryCount) +
                         " entries, all decode, everything the demo reads is present\n");

    ASSERT_EQ(std::remove((dir + "/23mview2.scx").c_str()), 0);
    Put(dir, "thx.scx", Bytes(100001));       // read after loading: over 100,000
    Put(dir, "euf0011.scx", Bytes(66313));    // one byte short of what is read
    Put(dir, "music.s3m", Bytes(1048577));    // more than the fixed read hands over
    Put(dir, "groups.dat", Noise(1200000));   // packs to more than the loading packed area
    ASSERT_EQ(Ovltool("pack " + dir + " -o " + ovl + " --force").status, 0);
    r = Ovltool("verify " + ovl);
    EXPECT_EQ(r.status, 1);
    for (const char* line :
         {"23mview2.scx: missing\n", "thx.scx: 100001 bytes unpacked are more than the 100000-byte scratch area holds\n",
          "euf0011.scx: holds 66313 bytes, the demo reads 66314\n",
          "music.s3m: module of 1048577 bytes is larger than the 1048576 bytes the demo reads\n",
          "groups.dat: holds 1200000 bytes, the demo reads 2944000\n", "5 problems\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << " in\n" << r.out;
}

// unpack writes only into DIR: a planted symlink named like an entry is neither
// followed nor replaced without --force, and nothing at all is written then; the
// same holds for the output of -o.
TEST(Ovltool, UnpackNeverWritesThroughAPlantedSymlink)
{
    namespace fs = std::filesystem;
    std::string from = MakeDir(), ovl = TempPath("t.ovl"), dest = MakeDir(), outside = TempPath("outside");
    Put(from, "a.dat", {1, 2, 3});
    Put(from, "b.dat", {4, 5});
    ASSERT_EQ(Ovltool("pack " + from + " -o " + ovl).status, 0);
    WriteFile(outside, {'k', 'e', 'e', 'p'});
    fs::create_symlink(outside, dest + "/b.dat");

    Result r = Ovltool("unpack " + ovl + " " + dest);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ovltool: " + dest + "/b.dat exists already (--force replaces it)\n");
    EXPECT_FALSE(fs::exists(dest + "/a.dat")) << "names are checked before anything is written";
    EXPECT_TRUE(fs::is_symlink(dest + "/b.dat"));

    r = Ovltool("unpack " + ovl + " " + dest + " --force");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::is_symlink(dest + "/b.dat"));
    EXPECT_EQ(Slurp(dest + "/b.dat"), "\x04\x05");
    EXPECT_EQ(Slurp(dest + "/a.dat"), std::string("\x01\x02\x03"));
    EXPECT_EQ(Slurp(outside), "keep");
    EXPECT_EQ(std::distance(fs::directory_iterator(dest), fs::directory_iterator()), 2) << "no temporary left";

    // -o: an existing name (a symlink too) only with --force, and never followed.
    std::string link = TempPath("link");
    fs::create_symlink(outside, link);
    r = Ovltool("extract " + ovl + " a.dat -o " + link);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("(--force replaces it)"), r.err.size() - 22) << r.err;
    ASSERT_EQ(Ovltool("extract " + ovl + " a.dat -o " + link + " --force").status, 0);
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(Slurp(link).size(), 3u);
    EXPECT_EQ(Ovltool("pack " + dest + " -o " + ovl).status, 1) << "pack keeps an existing output";
    ASSERT_EQ(Ovltool("pack " + dest + " -o " + ovl + " --force").status, 0);
    EXPECT_EQ(Slurp(outside), "keep");
    r = Ovltool("extract " + ovl + " a.dat -o " + TempPath("none") + "/x");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(OneLine(r.err)) << r.err;
}
