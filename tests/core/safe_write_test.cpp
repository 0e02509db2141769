// Safe writes: whole files or none, nothing outside the folder, no planted symlink
// followed, no temporary left behind; each case with unnamed and named temporaries.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/safe_write.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;

void Put(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A fresh folder `work` with a file `outside` beside it; the parameter chooses named
// temporaries.
class SafeWrite : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        root = fs::path(::testing::TempDir()) / ("tivrel_safe_write_" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "work");
        Put(root / "outside", "precious");
        std::string error;
        ASSERT_TRUE(SafeFolderOpen(&folder, (root / "work").string(), false, &error)) << error;
        folder.namedTemporaries = GetParam();
    }
    void TearDown() override
    {
        SafeFolderClose(&folder);
        fs::remove_all(root);
    }
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root / "work"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // One line naming the file.
    void ExpectMessage(const std::string& error, const std::string& name)
    {
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_NE(error.find((root / "work").string() + "/" + name), std::string::npos) << error;
    }
    fs::path root;
    SafeFolder folder;
};

TEST_P(SafeWrite, AnExistingNameIsReplacedOnlyWithForce)
{
    std::string error;
    ASSERT_EQ(SafeWriteFile(folder, "a.dat", "first", 5, false, &error), SafeWriteOk) << error;
    EXPECT_EQ(SafeWriteFile(folder, "a.dat", "second", 6, false, &error), SafeWriteExists);
    ExpectMessage(error, "a.dat");
    EXPECT_EQ(Slurp(root / "work" / "a.dat"), "first");
    ASSERT_EQ(SafeWriteFile(folder, "a.dat", "second", 6, true, &error), SafeWriteOk) << error;
    EXPECT_EQ(Slurp(root / "work" / "a.dat"), "second");

    // Streaming: invisible until the commit, a header written last lands at its
    // offset, and a name that appeared meanwhile is still refused.
    SafeFile file;
    ASSERT_EQ(SafeFileOpen(&file, folder, "b.wav", false, &error), SafeWriteOk) << error;
    ASSERT_TRUE(SafeFileWrite(&file, "....body", 8, &error) && SafeFileWriteAt(&file, 0, "HEAD", 4, &error) &&
                SafeFileWrite(&file, "tail", 4, &error))
        << error;
    EXPECT_FALSE(fs::exists(root / "work" / "b.wav"));
    ASSERT_EQ(SafeFileCommit(&file, &error), SafeWriteOk) << error;
    EXPECT_EQ(Slurp(root / "work" / "b.wav"), "HEADbodytail");
    ASSERT_EQ(SafeFileOpen(&file, folder, "late", false, &error), SafeWriteOk) << error;
    Put(root / "work" / "late", "theirs");
    EXPECT_EQ(SafeFileCommit(&file, &error), SafeWriteExists);
    EXPECT_EQ(Slurp(root / "work" / "late"), "theirs");
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.dat", "b.wav", "late"}));
}

TEST_P(SafeWrite, PlantedSymlinksAreNeverFollowed)
{
    fs::create_symlink(root / "outside", root / "work" / "victim");
    fs::create_symlink(root, root / "work" / "frames");
    std::string error;
    EXPECT_EQ(SafeWriteFile(folder, "victim", "evil", 4, false, &error), SafeWriteExists);
    EXPECT_TRUE(fs::is_symlink(root / "work" / "victim"));
    ASSERT_EQ(SafeWriteFile(folder, "victim", "mine", 4, true, &error), SafeWriteOk) << error;
    EXPECT_FALSE(fs::is_symlink(root / "work" / "victim")) << "the link itself is replaced";
    EXPECT_EQ(Slurp(root / "work" / "victim"), "mine");
    EXPECT_EQ(Slurp(root / "outside"), "precious");

    SafeFolder child;
    EXPECT_FALSE(SafeFolderOpenChild(&child, folder, "frames", true, &error));
    ExpectMessage(error, "frames");
    ASSERT_TRUE(SafeFolderOpenChild(&child, folder, "made", true, &error)) << error;
    EXPECT_EQ(SafeWriteFile(child, "x", "x", 1, false, &error), SafeWriteOk) << error;
    EXPECT_EQ(Slurp(root / "work" / "made" / "x"), "x");
    SafeFolderClose(&child);
}

TEST_P(SafeWrite, NamesThatLeaveTheFolderAreRefused)
{
    std::string error;
    for (const std::string& name :
         std::vector<std::string>{"", ".", "..", "../outside", "sub/x", "/tmp/x", std::string("a\0b", 3)}) {
        EXPECT_EQ(SafeWriteFile(folder, name, "x", 1, true, &error), SafeWriteFailed) << name;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    EXPECT_EQ(SafeWritePath((root / "work").string() + "/", "x", 1, true, &error), SafeWriteFailed);
    std::string missing = (root / "none" / "x").string();
    EXPECT_EQ(SafeWritePath(missing, "x", 1, true, &error), SafeWriteFailed);
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_TRUE(Names().empty());
    EXPECT_EQ(Slurp(root / "outside"), "precious");
}

TEST_P(SafeWrite, AFailedOrAbandonedWriteLeavesTheOldFileAndNoTemporary)
{
    Put(root / "work" / "old", "old contents");
    std::string error;
    // A file size limit makes the write itself fail (EFBIG instead of SIGXFSZ).
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 1000;
    auto previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string big(5000, 'x');
    SafeWriteResult result = SafeWriteFile(folder, "old", big.data(), big.size(), true, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(result, SafeWriteFailed);
    ExpectMessage(error, "old");

    SafeFile file;
    ASSERT_EQ(SafeFileOpen(&file, folder, "old", true, &error), SafeWriteOk) << error;
    ASSERT_TRUE(SafeFileWrite(&file, "new", 3, &error)) << error;
    SafeFileAbandon(&file);
    EXPECT_FALSE(SafeFileWrite(&file, "x", 1, &error)) << "an abandoned file takes no more bytes";
    EXPECT_EQ(SafeFileCommit(&file, &error), SafeWriteFailed);
    EXPECT_EQ(Slurp(root / "work" / "old"), "old contents");
    EXPECT_EQ(Names(), std::vector<std::string>{"old"});
}

INSTANTIATE_TEST_SUITE_P(Temporaries, SafeWrite, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Named" : "Unnamed"; });

}   // namespace
