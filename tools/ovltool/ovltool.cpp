// ovltool's commands: list, extract, pack, unpack, verify, info, check (check.cpp)
// and build (build.cpp). Every command returns 0 on success; failures print one line
// on stderr and return 1 (verify and check: their report on stdout), 2 for a usage
// error.
#include "ovltool/ovltool.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/content_format.h"
#include "archive/entries.h"
#include "archive/content_rules.h"
#include "archive/overlay_writer.h"
#include "archive/plan_entry.h"
#include "core/printable.h"
#include "core/read_file.h"
#include "core/safe_write.h"
#include "ovltool/build.h"
#include "ovltool/check.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Largest entry the tool decodes (the demo's largest is 2,944,000 bytes).
constexpr uint32_t MaxEntryBytes = 256u << 20;

static int Usage(FILE* to)
{
    fputs("usage: ovltool list FILE             entries: name, packed, unpacked, offset\n"
          "       ovltool extract FILE NAME [-o OUT [--force]]   one entry, decompressed (stdout without -o)\n"
          "       ovltool unpack FILE DIR [--force]    every entry into DIR, named by its entry name\n"
          "       ovltool pack DIR -o FILE [--force]   every regular file of DIR into a new archive\n"
          "       ovltool verify FILE           decode everything, check what the demo reads\n"
          "       ovltool info FILE             compression figures per entry and in total\n"
          "       ovltool build DIR -o FILE [--base FILE|none] [--force]   a data file from a content folder\n"
          "                                     (DIR/tivrel.toml; -o - writes to stdout; what the manifest\n"
          "                                     leaves out comes from the base, default the demo's data file)\n"
          "       ovltool check FILE            everything the demo reads, by the demo's rules (exit 1 on problems)\n"
          "Files are written whole or not at all, and never through a symlink. An existing\n"
          "file (or symlink) of the same name is replaced only with --force, and then the\n"
          "name itself is replaced, never what a symlink points to.\n",
          to);
    return to == stdout ? 0 : 2;
}

static int Error(const std::string& message)
{
    fprintf(stderr, "ovltool: %s\n", message.c_str());
    return 1;
}

// The entry name as text: bytes up to the first zero, at most 12.
static std::string EntryName(const OverlayEntry& e) { return std::string(e.name, strnlen(e.name, OverlayNameBytes)); }

static bool OpenArchive(Archive* archive, const char* path)
{
    if (ArchiveOpenFile(archive, path))
        return true;
    Error(ArchiveError(archive));
    return false;
}

// Decodes entry i into *out (exactly unpackedSize bytes); false with a reason in *why.
static bool DecodeEntry(Archive* archive, int32_t i, Bytes* out, std::string* why)
{
    uint32_t size = ArchiveEntrySize(archive, i);
    if (size > MaxEntryBytes) {
        *why = "unpacked size " + std::to_string(size) + " is too large for this tool";
        return false;
    }
    if (!ArchiveDecodeEntry(archive, i, out)) {
        *why = ArchiveError(archive);
        return false;
    }
    return true;
}

static int CmdList(const char* file)
{
    Archive archive;
    if (!OpenArchive(&archive, file))
        return 1;
    for (uint32_t i = 0; i < ArchiveEntryCount(&archive); i++) {
        const OverlayEntry& e = *ArchiveEntry(&archive, int32_t(i));
        printf("%-12s %10u %10u %10u\n", Printable(EntryName(e)).c_str(), e.packedSize, e.unpackedSize, e.offset);
    }
    return 0;
}

static int CmdExtract(const char* file, const char* name, const char* outPath, bool force)
{
    Archive archive;
    if (!OpenArchive(&archive, file))
        return 1;
    int32_t i = ArchiveFind(&archive, name);
    if (i < 0)
        return Error(std::string("no entry \"") + name + "\" in " + file);
    Bytes data;
    std::string why;
    if (!DecodeEntry(&archive, i, &data, &why))
        return Error(std::string(name) + ": " + why);
    if (outPath) {
        SafeWriteResult written = SafeWritePath(outPath, data.data(), data.size(), force, &why);
        if (written == SafeWriteExists)
            return Error(why + " (--force replaces it)");
        if (written != SafeWriteOk)
            return Error(why);
    } else if ((!data.empty() && fwrite(data.data(), 1, data.size(), stdout) != data.size()) || fflush(stdout) != 0) {
        return Error("cannot write to standard output");
    }
    return 0;
}

static int UnpackInto(Archive* archive, const SafeFolder& folder, bool force)
{
    // Every name is checked before anything is written.
    std::vector<std::string> names;
    for (uint32_t i = 0; i < ArchiveEntryCount(archive); i++) {
        std::string name = EntryName(*ArchiveEntry(archive, int32_t(i)));
        if (!SafeFileName(name))
            return Error("entry " + std::to_string(i) + " has a name unfit for a file: \"" + name + "\"");
        if (std::find(names.begin(), names.end(), name) != names.end())
            return Error("entry name \"" + name + "\" occurs twice");
        if (!force && SafeNameTaken(folder, name))
            return Error(SafeFilePath(folder, name) + " exists already (--force replaces it)");
        names.push_back(name);
    }
    for (uint32_t i = 0; i < names.size(); i++) {
        Bytes data;
        std::string why;
        if (!DecodeEntry(archive, int32_t(i), &data, &why))
            return Error(names[i] + ": " + why);
        SafeWriteResult written = SafeWriteFile(folder, names[i], data.data(), data.size(), force, &why);
        if (written == SafeWriteExists)
            return Error(why + " (--force replaces it)");
        if (written != SafeWriteOk)
            return Error(why);
    }
    return 0;
}

static int CmdUnpack(const char* file, const char* dir, bool force)
{
    Archive archive;
    if (!OpenArchive(&archive, file))
        return 1;
    SafeFolder folder;
    std::string why;
    if (!SafeFolderOpen(&folder, dir, true, &why))
        return Error(why);
    int status = UnpackInto(&archive, folder, force);
    SafeFolderClose(&folder);
    return status;
}

static int CmdPack(const char* dir, const char* outPath, bool force)
{
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        return Error(std::string("not a directory: ") + dir);
    std::vector<OverlayInput> entries;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        std::string name = it->path().filename().string();
        for (char& c : name)
            c = char(std::tolower(uint8_t(c)));
        if (name.size() > OverlayNameBytes)
            return Error("file name \"" + it->path().filename().string() + "\" is longer than 12 bytes");
        for (const OverlayInput& e : entries)
            if (e.name == name)
                return Error("two files are named \"" + name + "\" in lower case");
        if (entries.size() == OverlayMaxEntries)
            return Error(std::string("more than 255 files in ") + dir);
        OverlayInput entry{name, {}};
        if (ReadWholeFile(it->path().string(), MaxEntryBytes, &entry.data) != ReadFileOk)
            return Error("cannot read " + it->path().string() + " (or it is over 256 MiB)");
        entries.push_back(std::move(entry));
    }
    if (ec)
        return Error(std::string("cannot list ") + dir + ": " + ec.message());
    std::sort(entries.begin(), entries.end(),
              [](const OverlayInput& a, const OverlayInput& b) { return a.name < b.name; });
    Bytes archive;
    std::string why;
    if (!BuildOverlay(entries, &archive, &why, 2))
        return Error(why);
    SafeWriteResult written = SafeWritePath(outPath, archive.data(), archive.size(), force, &why);
    if (written == SafeWriteExists)
        return Error(why + " (--force replaces it)");
    if (written != SafeWriteOk)
        return Error(why);
    return 0;
}

static int CmdVerify(const char* file)
{
    Archive archive;
    if (!OpenArchive(&archive, file))
        return 1;
    uint32_t count = ArchiveEntryCount(&archive);
    int problems = 0;
    auto problem = [&](const std::string& name, const std::string& what) {
        printf("%s: %s\n", name.c_str(), what.c_str());
        problems++;
    };
    std::vector<std::string> seen;
    for (uint32_t i = 0; i < count; i++) {
        std::string name = Printable(EntryName(*ArchiveEntry(&archive, int32_t(i))));
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
            problem(name, "name occurs twice; the reader only finds the first");
        seen.push_back(name);
        Bytes data;
        std::string why;
        if (!DecodeEntry(&archive, int32_t(i), &data, &why))
            problem(name, why);
    }
    for (int k = 0; k < DataEntryCount; k++) {
        const DataEntry& d = DataEntries[k];
        const OverlayEntry* e = ArchiveEntry(&archive, ArchiveFind(&archive, d.name));
        if (!e) {
            problem(d.name, "missing");
            continue;
        }
        // The player's own rule for what it reads (as check applies it).
        const std::string size = EntrySizeProblem(d, e->packedSize, e->unpackedSize);
        if (!size.empty())
            problem(d.name, size);
    }
    PlanEntry plan;
    bool present = false;
    std::string planError;
    if (!ReadPlanEntry(&archive, &plan, &present, &planError))
        problem(PlanEntryName, planError.substr(std::strlen(PlanEntryName) + 2));
    if (problems) {
        printf("verify: %s: %u entries, %d problem%s\n", file, count, problems, problems == 1 ? "" : "s");
        return 1;
    }
    printf("verify: %s: %u entries, all decode, everything the demo reads is present\n", file, count);
    return 0;
}

static int CmdInfo(const char* file)
{
    Archive archive;
    if (!OpenArchive(&archive, file))
        return 1;
    printf("%-12s %10s %10s %7s %6s\n", "name", "packed", "unpacked", "ratio", "bpb");
    uint64_t packed = 0, unpacked = 0;
    auto row = [](const char* name, uint64_t p, uint64_t u) {
        double ratio = u ? 100.0 * double(p) / double(u) : 0.0;
        double bpb = u ? 8.0 * double(p) / double(u) : 0.0;
        printf("%-12s %10llu %10llu %6.1f%% %6.3f\n", name, (unsigned long long)p, (unsigned long long)u, ratio, bpb);
    };
    for (uint32_t i = 0; i < ArchiveEntryCount(&archive); i++) {
        const OverlayEntry& e = *ArchiveEntry(&archive, int32_t(i));
        row(Printable(EntryName(e)).c_str(), e.packedSize, e.unpackedSize);
        packed += e.packedSize;
        unpacked += e.unpackedSize;
    }
    row("total", packed, unpacked);
    return 0;
}

static int CmdCheck(const char* file)
{
    std::string report;
    const int status = CheckDataFile(file, &report);
    fputs(report.c_str(), stdout);
    return status;
}

int OvltoolMain(int argc, char** argv)
{
    std::vector<const char*> args;
    const char* outPath = nullptr;
    const char* basePath = nullptr;
    bool force = false;
    for (int i = 1; i < argc; i++) {
        if ((strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) && !args.empty() &&
            strcmp(args[0], "build") == 0) {
            fputs(BuildHelp().c_str(), stdout);
            return 0;
        }
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0)
            return Usage(stdout);
        if (strcmp(argv[i], "--force") == 0) {
            force = true;
        } else if (strcmp(argv[i], "-o") == 0) {
            if (i + 1 >= argc)
                return Error("-o needs a file name");
            outPath = argv[++i];
        } else if (strcmp(argv[i], "--base") == 0) {
            if (i + 1 >= argc)
                return Error("--base needs a file name (or none)");
            basePath = argv[++i];
        } else {
            args.push_back(argv[i]);
        }
    }
    if (args.empty())
        return Usage(stderr);
    std::string command = args[0];
    size_t operands = args.size() - 1;
    // --force goes with the commands that write files.
    bool writes = outPath || command == "unpack";
    if (force && !writes)
        command.clear();
    if (basePath && command != "build")
        command.clear();
    if (command == "list" && operands == 1 && !outPath)
        return CmdList(args[1]);
    if (command == "extract" && operands == 2)
        return CmdExtract(args[1], args[2], outPath, force);
    if (command == "unpack" && operands == 2 && !outPath)
        return CmdUnpack(args[1], args[2], force);
    if (command == "build" && operands == 1 && outPath)
        return CmdBuild(args[1], outPath, basePath, force);
    if (command == "pack" && operands == 1 && outPath)
        return CmdPack(args[1], outPath, force);
    if (command == "verify" && operands == 1 && !outPath)
        return CmdVerify(args[1]);
    if (command == "info" && operands == 1 && !outPath)
        return CmdInfo(args[1]);
    if (command == "check" && operands == 1 && !outPath)
        return CmdCheck(args[1]);
    fprintf(stderr, "ovltool: bad command line (see ovltool --help)\n");
    return 2;
}
