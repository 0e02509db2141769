// `ovltool unpack FILE DIR` in process on arbitrary bytes, in a fresh temporary
// folder T:
//   T/in.ovl    the input
//   T/outside   a file that must stay as it is
//   T/dir/      the destination, where some entry names are planted beforehand as
//               symbolic links: odd entries to T/outside, entries 2, 6, 10, ... to
//               T/ghost, which does not exist
// It runs twice, without and then with --force. Properties of each run: the status
// is 0 or 1; nothing outside T/dir is written or created (T/outside unchanged, no
// T/ghost); on success T/dir holds exactly one regular file per entry, with the
// entry's decoded bytes. T is removed afterwards.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "fuzz_check.h"
#include "ovltool/ovltool.h"

namespace fs = std::filesystem;

namespace {

const char Canary[] = "must stay as it is\n";

bool WriteBytes(const fs::path& path, const void* data, size_t size)
{
    std::ofstream file(path, std::ios::binary);
    file.write(static_cast<const char*>(data), std::streamsize(size));
    return bool(file);
}

std::vector<uint8_t> ReadBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::set<std::string> Listing(const fs::path& dir)
{
    std::set<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

// The name ovltool gives entry i's file (text up to the first zero), or "" when it
// is no plain file name.
std::string FileName(const OverlayEntry& e)
{
    std::string name(e.name, strnlen(e.name, OverlayNameBytes));
    if (name == "." || name == ".." || name.find('/') != std::string::npos)
        return "";
    return name;
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && base[0] ? base : "/tmp") + "/tivrel-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern.data()), "cannot make a temporary folder from %s", pattern.c_str());
    const fs::path top(pattern), input = top / "in.ovl", outside = top / "outside", dir = top / "dir";
    FUZZ_CHECK(WriteBytes(input, data, size) && WriteBytes(outside, Canary, strlen(Canary)), "cannot write in %s",
               top.c_str());
    fs::create_directory(dir);

    Archive archive;
    std::vector<std::string> names;
    std::vector<std::vector<uint8_t>> decoded;
    if (ArchiveOpenBytes(&archive, data, size)) {
        for (int32_t i = 0; i < int32_t(ArchiveEntryCount(&archive)); i++) {
            names.push_back(FileName(*ArchiveEntry(&archive, i)));
            decoded.emplace_back();
            ArchiveDecodeEntry(&archive, i, &decoded.back());
            std::error_code ec;
            if (!names.back().empty() && i % 2 == 1)
                fs::create_symlink(outside, dir / names.back(), ec);
            else if (!names.back().empty() && i % 4 == 2)
                fs::create_symlink(top / "ghost", dir / names.back(), ec);
        }
    }

    // First without --force (planted names must be refused), then with it (planted
    // names are replaced, never written through).
    std::string file = input.string(), destination = dir.string();
    char command[] = "ovltool", verb[] = "unpack", force[] = "--force";
    for (int argc : {4, 5}) {
        char* argv[] = {command, verb, file.data(), destination.data(), force, nullptr};
        int status = OvltoolMain(argc, argv);

        FUZZ_CHECK(status == 0 || status == 1, "status %d", status);
        std::vector<uint8_t> canary = ReadBytes(outside);
        FUZZ_CHECK(canary.size() == strlen(Canary) && memcmp(canary.data(), Canary, canary.size()) == 0,
                   "unpack wrote through a link to %s", outside.c_str());
        FUZZ_CHECK((Listing(top) == std::set<std::string>{"in.ovl", "outside", "dir"}),
                   "unpack created a file outside its folder %s", dir.c_str());
        if (status != 0)
            continue;
        std::set<std::string> listed = Listing(dir);
        FUZZ_CHECK(listed == std::set<std::string>(names.begin(), names.end()) && names.size() == listed.size(),
                   "unpack succeeded without one file per entry");
        for (size_t i = 0; i < names.size(); i++) {
            FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(dir / names[i])), "%s is no regular file",
                       names[i].c_str());
            FUZZ_CHECK(ReadBytes(dir / names[i]) == decoded[i], "%s holds other bytes than the entry",
                       names[i].c_str());
        }
    }
    fs::remove_all(top);
    return 0;
}
