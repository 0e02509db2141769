// ovltool end to end: pack a directory, list, extract, unpack, verify, info.
#include <sys/wait.h>

#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

#include "archive_fixture.h"

namespace {

struct Result {
    int status;
    std::string out, err;
};

std::string Slurp(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Runs build/ovltool with `args` (already quoted), capturing both streams.
Result Ovltool(const std::string& args)
{
    std::string out = TempPath("out"), err = TempPath("err");
    std::string command = std::string(TIVREL_BUILD_DIR) + "/ovltool " + args + " >" + out + " 2>" + err;
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
}

void Put(const std::string& dir, const std::string& name, const Bytes& data)
{
    std::ofstream f(dir + "/" + name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

std::string MakeDir()
{
    std::string dir = TempPath("dir");
    EXPECT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
    return dir;
}

Bytes Noise(size_t size, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes out(size);
    for (size_t i = 0; i < size; i++) out[i] = uint8_t(i % 50 < 20 ? rng() : i / 50);
    return out;
}

bool OneLine(const std::string& s) { return !s.empty() && s.find('\n') == s.size() - 1; }

// Every entry the demo reads, at the sizes it reads (zeros), in `dir`.
void PutDemoSet(const std::string& dir)
{
    const Bytes texture(10 + 768 + 65536), picture(778 + 64000), map(128000);
    Put(dir, "music.s3m", Noise(30000, 1));
    Put(dir, "bigang.dat", Bytes(512000));
    for (char i = '1'; i <= '7'; i++) Put(dir, std::string("angrad") + i + ".dat", map);
    for (const char* n : {"tivrel.scx", "name1.scx", "name2.scx", "name3.scx", "lyrics.scx"})
        Put(dir, n, picture);
    for (const char* n : {"euf0009.scx", "euf0010.scx", "euf0011.scx", "8emp_g.scx", "18soh.scx",
                          "7venus.scx", "23mview.scx", "11cont.scx", "23mview2.scx", "18soh3d.scx",
                          "15mview.scx", "14soh.scx"})
        Put(dir, n, texture);
    Put(dir, "movement.dat", Bytes(28672));
    Put(dir, "backgr.dat", map);
    Put(dir, "groups.dat", Bytes(2944000));
    for (const char* n : {"star.3ds", "jo2.3ds", "jo6.3ds", "part5.3ds", "new4.3ds", "stucco1.3ds"})
        Put(dir, n, Noise(2000, 3));
    Put(dir, "thx.scx", Bytes(10 + 768 + 64000));
}

} // namespace

TEST(Ovltool, PackListExtractUnpackRoundTrip)
{
    std::string dir = MakeDir(), ovl = TempPath("t.ovl");
    Bytes a = Noise(40000, 1), b = Noise(123, 2);
    Put(dir, "Mixed.DAT", a);
    Put(dir, "twelve_chars", b);
    Put(dir, "empty", {});
    ASSERT_EQ(std::system(("mkdir " + dir + "/subdir").c_str()), 0);   // not a regular file
    Result r = Ovltool("pack " + dir + " -o " + ovl);
    ASSERT_EQ(r.status, 0) << r.err;

    Bytes file;
    std::string raw = Slurp(ovl);
    file.assign(raw.begin(), raw.end());
    ASSERT_GE(file.size(), 20u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 15), Bytes(15, 0)) << "header bytes 0..14";
    EXPECT_EQ(file[15], 3);
    EXPECT_EQ(ReadLE32(file.data() + file.size() - 4), file.size());

    r = Ovltool("list " + ovl);
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string name;
    unsigned packed, unpacked, offset;
    std::vector<std::string> names;
    while (lines >> name >> packed >> unpacked >> offset) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"empty", "mixed.dat", "twelve_chars"}))
        << "sorted, lower case";

    std::string out = TempPath("x");
    r = Ovltool("extract " + ovl + " mixed.dat -o " + out);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(out), std::string(a.begin(), a.end()));
    r = Ovltool("extract " + ovl + " twelve_chars");
    EXPECT_EQ(r.out, std::string(b.begin(), b.end())) << "to standard output";
    r = Ovltool("extract " + ovl + " empty");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    r = Ovltool("extract " + ovl + " Mixed.DAT");
    EXPECT_NE(r.status, 0) << "names are stored in lower case";
    EXPECT_TRUE(OneLine(r.err)) << r.err;

    std::string back = TempPath("back");
    r = Ovltool("unpack " + ovl + " " + back);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(back + "/mixed.dat"), std::string(a.begin(), a.end()));
    EXPECT_EQ(Slurp(back + "/twelve_chars"), std::string(b.begin(), b.end()));

    r = Ovltool("info " + ovl);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("total"), std::string::npos);
}

TEST(Ovltool, RefusesWhatTheFormatCannotHold)
{
    std::string dir = MakeDir(), ovl = TempPath("t.ovl");
    Put(dir, "thirteen_char", {1});
    Result r = Ovltool("pack " + dir + " -o " + ovl);
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(OneLine(r.err)) << r.err;

    std::string many = MakeDir();
    for (int i = 0; i < 256; i++) Put(many, std::to_string(i).append(".f"), {uint8_t(i)});
    r = Ovltool("pack " + many + " -o " + ovl);
    EXPECT_NE(r.status, 0) << "256 files";
    EXPECT_TRUE(OneLine(r.err)) << r.err;

    std::string clash = MakeDir();
    Put(clash, "a.dat", {1});
    Put(clash, "A.DAT", {2});
    EXPECT_NE(Ovltool("pack " + clash + " -o " + ovl).status, 0) << "same name in lower case";
}

TEST(Ovltool, FailsCleanlyOnBadFilesAndCommandLines)
{
    EXPECT_EQ(Ovltool("--help").status, 0);
    EXPECT_NE(Ovltool("").status, 0);
    EXPECT_NE(Ovltool("list").status, 0);
    EXPECT_NE(Ovltool("frobnicate x").status, 0);
    Result r = Ovltool("list " + TempPath("missing.ovl"));
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(OneLine(r.err)) << r.err;

    // A stream that reaches before its output, and one whose size disagrees.
    std::string bad = WriteTemp(RawArchive({{"before", {0x00, 0x00, 0xFF}, 4},
                                            {"short", {0x17, 0x00, 'a', 'b', 'c', 0, 0, 0}, 4}}));
    r = Ovltool("extract " + bad + " before");
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(OneLine(r.err)) << r.err;
    EXPECT_NE(Ovltool("extract " + bad + " short").status, 0);
    r = Ovltool("verify " + bad);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("before:"), std::string::npos);
    EXPECT_NE(r.out.find("short:"), std::string::npos);
    EXPECT_NE(Ovltool("unpack " + bad + " " + TempPath("d")).status, 0);

    std::string traversal = WriteTemp(RawArchive({{"..", {0x02, 0x00, 0, 0, 0}, 0}}));
    EXPECT_NE(Ovltool("unpack " + traversal + " " + TempPath("d")).status, 0);
}

TEST(Ovltool, VerifyChecksEverythingTheDemoReads)
{
    std::string dir = MakeDir(), ovl = TempPath("demo.ovl");
    PutDemoSet(dir);
    ASSERT_EQ(Ovltool("pack " + dir + " -o " + ovl).status, 0);
    Result r = Ovltool("verify " + ovl);
    EXPECT_EQ(r.status, 0) << r.out;

    ASSERT_EQ(std::remove((dir + "/23mview2.scx").c_str()), 0);
    Put(dir, "thx.scx", Bytes(100001));                  // read after loading: over 100,000
    Put(dir, "euf0011.scx", Bytes(66313));               // one byte short of what is read
    ASSERT_EQ(Ovltool("pack " + dir + " -o " + ovl).status, 0);
    r = Ovltool("verify " + ovl);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("23mview2.scx: missing"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("thx.scx: unpacked size 100001"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("euf0011.scx: holds 66313"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3 problems"), std::string::npos) << r.out;
}
