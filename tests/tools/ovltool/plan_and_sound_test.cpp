// ovltool build and check for music the design's plan does not fit: [plan] fit and
// ends into the data file's plan entry, which check reports as the plan in force;
// a module that cancels in mono, and [sound] stereo_separation; the cache of packed
// streams, which a damaged file never fools; names from files escaped.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "archive/archive.h"
#include "archive/plan_entry.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
const std::string Build = TIVREL_BUILD_DIR;

CommandOutcome Ovltool(const std::string& args) { return RunCommand(Build + "/ovltool " + args); }

// A content folder holding only a manifest (the rest comes from the default data)
// and, when genmusicArgs is not empty, music.s3m made by genmusic with them.
std::string Folder(const std::string& name, const std::string& manifest, const std::string& genmusicArgs = "")
{
    const std::string dir = testing::TempDir() + "plan_" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    if (!genmusicArgs.empty()) {
        EXPECT_EQ(RunCommand(Build + "/genmusic " + dir + "/music.s3m " + genmusicArgs).status, 0);
    }
    std::ofstream(dir + "/tivrel.toml") << manifest;
    return dir;
}

bool HasControlCharacters(const std::string& text)
{
    for (char c : text)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F)
            return true;
    return false;
}

class PlanAndSound : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (access((Build + "/tivrel.ovl").c_str(), R_OK) != 0)
            GTEST_SKIP() << "needs the default data in " << Build;
    }
};

TEST_F(PlanAndSound, AFittedPlanIsTheDataFilesAndCheckReportsIt)
{
    const std::string music = "[\"music.s3m\"]\nsource = \"music.s3m\"\n";
    const std::string dir = Folder("fit40", music + "[plan]\nfit = true\n", "--orders 40");
    const std::string data = dir + ".ovl";
    const CommandOutcome build = Ovltool("build " + dir + " -o " + data + " --force");
    ASSERT_EQ(build.status, 0) << build.err;
    EXPECT_NE(build.out.find("plan.dat     generated fitted to 40 orders: ends 4 7 10 11 12 14 15 16 17 19 21 24 26 28 "
                             "32 39 40, scene 2's parts 5 6; stereo separation 0%"),
              std::string::npos)
        << build.out;
    EXPECT_NE(build.out.find("40 orders, 2:33; its orders reach all 17 scenes"), std::string::npos) << build.out;
    const CommandOutcome check = Ovltool("check " + data);
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(check.out.find("plan in force: data file (fitted to the module's orders); scene 2's parts end at "
                             "orders 5 and 6"),
              std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("17 Closing picture                             40"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("0 problems, 0 warnings"), std::string::npos) << check.out;

    // The same module under the design's plan leaves scenes 14-17 one frame each.
    const std::string plain = Folder("design40", music, "--orders 40");
    ASSERT_EQ(Ovltool("build " + plain + " -o " + plain + ".ovl --force").status, 0);
    const CommandOutcome design = Ovltool("check " + plain + ".ovl");
    EXPECT_NE(design.out.find("plan in force: design"), std::string::npos) << design.out;
    EXPECT_NE(design.out.find("scenes 14-17 show one frame each"), std::string::npos) << design.out;
    EXPECT_NE(design.out.find("[plan] fit = true"), std::string::npos) << design.out;
    Archive archive;
    ASSERT_TRUE(ArchiveOpenFile(&archive, (plain + ".ovl").c_str()));
    EXPECT_LT(ArchiveFind(&archive, PlanEntryName), 0);   // no plan, no entry
}

TEST_F(PlanAndSound, GivenEndsAndTheirMistakes)
{
    const std::string ends = "ends = [6, 12, 16, 18, 20, 22, 24, 26, 28, 30, 34, 38, 42, 46, 51, 60, 64]\n";
    std::string dir = Folder("ends", "[plan]\n" + ends);
    CommandOutcome build = Ovltool("build " + dir + " -o " + dir + ".ovl --force");
    ASSERT_EQ(build.status, 0) << build.err;
    EXPECT_NE(build.out.find("as given: ends 6 12 16"), std::string::npos) << build.out;
    const CommandOutcome check = Ovltool("check " + dir + ".ovl");
    EXPECT_NE(check.out.find("plan in force: data file (ends given in the manifest)"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("16 Final scene: stucco1.3ds and the strip      60"), std::string::npos) << check.out;

    const std::pair<std::string, std::string> mistakes[] = {
        {"[plan]\nends = [1, 2, 3]\n", "tivrel.toml:2: \"ends\" must be a list of 17 order numbers"},
        {"[plan]\nfit = true\n" + ends, "tivrel.toml:1: [plan] takes either \"ends\" or \"fit = true\", not both"},
        {"[plan]\nends = [6, 12, 16, 18, 20, 22, 24, 26, 28, 30, 34, 38, 42, 46, 51, 51, 64]\n",
         "tivrel.toml:1: [plan]: scene 16 ends at order 51, not after scene 15's 51"},
        {"[plan]\nsize = 3\n", "tivrel.toml:2: [plan] takes no key \"size\" (it takes ends, fit, parts)"},
        {"[sound]\nstereo_separation = 300\n",
         "tivrel.toml:2: \"stereo_separation\" must be a whole percentage 0..200"},
    };
    for (const auto& [manifest, line] : mistakes) {
        dir = Folder("mistake", manifest);
        build = Ovltool("build " + dir + " -o " + dir + ".ovl --force");
        EXPECT_EQ(build.status, 1) << manifest;
        EXPECT_EQ(build.err, "ovltool: " + dir + "/" + line + "\n") << manifest;
    }
}

TEST_F(PlanAndSound, SurroundThatCancelsInMonoAndTheStereoRemedy)
{
    const std::string music = "[\"music.s3m\"]\nsource = \"music.s3m\"\n";
    const std::string dir = Folder("surround", music, "--surround");
    const CommandOutcome build = Ovltool("build " + dir + " -o " + dir + ".ovl --force");
    ASSERT_EQ(build.status, 0) << build.err;
    EXPECT_NE(build.err.find("ovltool: problem: music.s3m: as the demo plays it (stereo separation 0%, mono) the "
                             "module is silent"),
              std::string::npos)
        << build.err;
    const CommandOutcome check = Ovltool("check " + dir + ".ovl");
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("set to surround, which plays phase-inverted on one side, so mono cancels it"),
              std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("add [sound] stereo_separation = 100 to the manifest"), std::string::npos);

    const std::string fixed = Folder("stereo", music + "[sound]\nstereo_separation = 100\n", "--surround");
    ASSERT_EQ(Ovltool("build " + fixed + " -o " + fixed + ".ovl --force").status, 0);
    const CommandOutcome stereo = Ovltool("check " + fixed + ".ovl");
    EXPECT_EQ(stereo.status, 0) << stereo.out;
    EXPECT_NE(stereo.out.find("stereo separation 100%\n"), std::string::npos) << stereo.out;

    // The default module plays in mono as loud as it should: no word about it.
    const CommandOutcome plain = Ovltool("check " + Build + "/tivrel.ovl");
    EXPECT_EQ(plain.out.find("surround"), std::string::npos);
}

TEST_F(PlanAndSound, TheCacheKeepsStreamsAndADamagedOneIsPackedAgain)
{
    const std::string dir = Folder("cache", "[plan]\nfit = true\n");
    const std::string first = dir + "/../cache1.ovl", second = dir + "/../cache2.ovl";
    CommandOutcome build = Ovltool("build " + dir + " -o " + first + " --force");
    ASSERT_EQ(build.status, 0) << build.err;
    EXPECT_NE(build.out.find("0 of 37 entries packed before"), std::string::npos) << build.out;
    build = Ovltool("build " + dir + " -o " + second + " --force");
    EXPECT_NE(build.out.find("37 of 37 entries packed before"), std::string::npos) << build.out;
    EXPECT_TRUE(Slurp(first) == Slurp(second));
    // Every cached stream damaged: each is packed again, the data file the same.
    int damaged = 0;
    for (const auto& file : fs::directory_iterator(dir + "/.tivrel-cache")) {
        std::string bytes = Slurp(file.path());
        bytes[bytes.size() - 3] = char(bytes[bytes.size() - 3] ^ 0x55);
        std::ofstream(file.path(), std::ios::binary) << (damaged % 2 == 0 ? bytes : bytes.substr(0, 20));
        damaged++;
    }
    ASSERT_EQ(damaged, 37);
    build = Ovltool("build " + dir + " -o " + second + " --force");
    EXPECT_NE(build.out.find("0 of 37 entries packed before, 37 damaged files packed again"), std::string::npos)
        << build.out;
    EXPECT_TRUE(Slurp(first) == Slurp(second));
}

// verify and check apply the player's rules: a plan entry the player refuses, and an
// entry larger than the area the demo reads it through, are problems to both.
TEST_F(PlanAndSound, VerifyAndCheckShareThePlayersRules)
{
    std::vector<OverlayInput> entries;
    Archive archive;
    ASSERT_TRUE(ArchiveOpenFile(&archive, (Build + "/tivrel.ovl").c_str()));
    for (uint32_t i = 0; i < ArchiveEntryCount(&archive); i++) {
        const OverlayEntry* e = ArchiveEntry(&archive, int32_t(i));
        OverlayInput input{std::string(e->name, strnlen(e->name, OverlayNameBytes)), {}};
        ASSERT_TRUE(ArchiveDecodeEntry(&archive, int32_t(i), &input.data));
        if (input.name == "thx.scx")
            input.data.resize(100001);
        entries.push_back(std::move(input));
    }
    PlanEntry plan;
    std::vector<uint8_t> bad = EncodePlanEntry(plan);
    bad[23] = 250;
    entries.push_back({PlanEntryName, bad});
    const std::string data = WriteOverlayFile(testing::TempDir() + "plan_rules.ovl", entries);
    const CommandOutcome verify = Ovltool("verify " + data), check = Ovltool("check " + data);
    EXPECT_EQ(verify.status, 1);
    EXPECT_EQ(check.status, 1);
    const std::string thx = "thx.scx: 100001 bytes unpacked are more than the 100000-byte scratch area holds";
    const std::string separation = "plan.dat: stereo separation 250% is more than 200%";
    EXPECT_NE(verify.out.find(thx + "\n"), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find(separation + "\n"), std::string::npos) << verify.out;
    EXPECT_NE(check.out.find("problem: " + thx + "."), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("problem: " + separation + "; the demo stops at start-up"), std::string::npos)
        << check.out;
    // The player refuses it with the same words.
    const CommandOutcome play =
        RunCommand(Build + "/tivrel --capture " + testing::TempDir() + "plan_rules --data " + data + " --frames none");
    EXPECT_EQ(play.status, 1);
    EXPECT_EQ(play.err, "tivrel: " + data + ": " + separation + "\n");
}

// Each reader of names from a file: the manifest's tables, the data file's
// directory (check), and the TOML reader's own words.
TEST_F(PlanAndSound, NamesFromFilesAreEscapedInMessages)
{
    std::string dir = Folder("names", "[\"ta\\\\...\\nope\"]\nsource = \"x\"\n");
    CommandOutcome build = Ovltool("build " + dir + " -o " + dir + ".ovl --force");
    EXPECT_EQ(build.err, "ovltool: " + dir +
                             "/tivrel.toml:1: unknown entry \"ta\\\\...\\nope\" (ovltool build --help "
                             "lists them)\n");
    dir = Folder("keys", "[\"euf0010.scx\"]\n\"so\\turce\" = \"x\"\n");
    build = Ovltool("build " + dir + " -o " + dir + ".ovl --force");
    EXPECT_NE(build.err.find("takes no key \"so\\turce\""), std::string::npos) << build.err;

    std::vector<OverlayInput> entries;
    Archive archive;
    ASSERT_TRUE(ArchiveOpenFile(&archive, (Build + "/tivrel.ovl").c_str()));
    for (uint32_t i = 0; i < ArchiveEntryCount(&archive); i++) {
        const OverlayEntry* e = ArchiveEntry(&archive, int32_t(i));
        OverlayInput input{std::string(e->name, strnlen(e->name, OverlayNameBytes)), {}};
        ASSERT_TRUE(ArchiveDecodeEntry(&archive, int32_t(i), &input.data));
        entries.push_back(std::move(input));
    }
    entries.push_back({"odd\nname\x1b", {1}});
    const std::string data = WriteOverlayFile(testing::TempDir() + "plan_odd_name.ovl", entries);
    const CommandOutcome check = Ovltool("check " + data);
    EXPECT_NE(check.out.find("warning: odd\\nname\\x1B: the demo never reads this entry"), std::string::npos)
        << check.out;
    EXPECT_FALSE(HasControlCharacters(check.out));
}

}   // namespace
