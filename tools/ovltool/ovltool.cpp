// ovltool: lists, extracts, packs, unpacks, verifies and measures overlay archives.
// Every command exits 0 on success; failures print one line on stderr and exit 1
// (2 for a usage error).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/overlay_writer.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Largest entry the tool decodes (the demo's largest is 2,944,000 bytes).
constexpr uint32_t MaxEntryBytes = 256u << 20;
// A stream cannot expand by more than 256 bytes per 26 bits (an extended match).
constexpr uint64_t MaxExpansion = 79;

static int Usage(FILE* to)
{
    fputs("usage: ovltool list FILE             entries: name, packed, unpacked, offset\n"
          "       ovltool extract FILE NAME [-o OUT]   one entry, decompressed (stdout without -o)\n"
          "       ovltool unpack FILE DIR       every entry into DIR, named by its entry name\n"
          "       ovltool pack DIR -o FILE      every regular file of DIR into a new archive\n"
          "       ovltool verify FILE           decode everything, check what the demo reads\n"
          "       ovltool info FILE             compression figures per entry and in total\n",
          to);
    return to == stdout ? 0 : 2;
}

static int Error(const std::string& message)
{
    fprintf(stderr, "ovltool: %s\n", message.c_str());
    return 1;
}

// The entry name as text: bytes up to the first zero, at most 12.
static std::string EntryName(const OverlayEntry& e)
{
    return std::string(e.name, strnlen(e.name, OverlayNameBytes));
}

static bool OpenArchive(const char* path)
{
    if (ZOH_OpenFile(path) == 0) return true;
    Error(ZOH_Error());
    return false;
}

// Decodes entry i into *out (exactly unpackedSize bytes); false with a reason in *why.
static bool DecodeEntry(int32_t i, Bytes* out, std::string* why)
{
    const OverlayEntry& e = *ZOH_Entry(i);
    if (e.unpackedSize > MaxEntryBytes) {
        *why = "unpacked size " + std::to_string(e.unpackedSize) + " is too large for this tool";
        return false;
    }
    if (e.unpackedSize > uint64_t(e.packedSize) * MaxExpansion + 256) {
        *why = "unpacked size " + std::to_string(e.unpackedSize) + " cannot come from " +
               std::to_string(e.packedSize) + " packed bytes";
        return false;
    }
    Bytes packed(e.packedSize);
    if (ZOH_ReadPacked(i, packed.data(), packed.size()) != 0) {
        *why = ZOH_Error();
        return false;
    }
    out->assign(e.unpackedSize, 0);
    long n = ZOH_Unpack(packed.data(), packed.size(), out->data(), out->size());
    if (n < 0) {
        *why = "bad stream, or it decodes to more than " + std::to_string(e.unpackedSize) + " bytes";
        return false;
    }
    if (uint64_t(n) != e.unpackedSize) {
        *why = "decodes to " + std::to_string(n) + " bytes, directory says " +
               std::to_string(e.unpackedSize);
        return false;
    }
    return true;
}

static bool WriteFile(const std::string& path, const Bytes& data)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = data.empty() || fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (fclose(f) == 0) && ok;
    return ok;
}

static bool ReadFile(const fs::path& path, Bytes* data)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    data->clear();
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) {
        data->insert(data->end(), chunk, chunk + n);
        if (data->size() > MaxEntryBytes) break;
    }
    bool ok = !ferror(f) && data->size() <= MaxEntryBytes;
    fclose(f);
    return ok;
}

static int CmdList(const char* file)
{
    if (!OpenArchive(file)) return 1;
    for (uint32_t i = 0; i < ZOH_EntryCount(); i++) {
        const OverlayEntry& e = *ZOH_Entry(int32_t(i));
        printf("%-12s %10u %10u %10u\n", EntryName(e).c_str(), e.packedSize, e.unpackedSize, e.offset);
    }
    return 0;
}

static int CmdExtract(const char* file, const char* name, const char* outPath)
{
    if (!OpenArchive(file)) return 1;
    int32_t i = ZOH_Open(name, 512);
    if (i < 0) return Error(std::string("no entry \"") + name + "\" in " + file);
    Bytes data;
    std::string why;
    if (!DecodeEntry(i, &data, &why)) return Error(std::string(name) + ": " + why);
    if (outPath) {
        if (!WriteFile(outPath, data)) return Error(std::string("cannot write ") + outPath);
    } else if ((!data.empty() && fwrite(data.data(), 1, data.size(), stdout) != data.size()) ||
               fflush(stdout) != 0) {
        return Error("cannot write to standard output");
    }
    return 0;
}

static int CmdUnpack(const char* file, const char* dir)
{
    if (!OpenArchive(file)) return 1;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir)) return Error(std::string("cannot create directory ") + dir);
    std::vector<std::string> seen;
    for (uint32_t i = 0; i < ZOH_EntryCount(); i++) {
        std::string name = EntryName(*ZOH_Entry(int32_t(i)));
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
            return Error("entry " + std::to_string(i) + " has a name unfit for a file: \"" + name + "\"");
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
            return Error("entry name \"" + name + "\" occurs twice");
        seen.push_back(name);
        Bytes data;
        std::string why;
        if (!DecodeEntry(int32_t(i), &data, &why)) return Error(name + ": " + why);
        std::string path = (fs::path(dir) / name).string();
        if (!WriteFile(path, data)) return Error("cannot write " + path);
    }
    return 0;
}

static int CmdPack(const char* dir, const char* outPath)
{
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return Error(std::string("not a directory: ") + dir);
    std::vector<OverlayInput> entries;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        std::string name = it->path().filename().string();
        for (char& c : name) c = char(std::tolower(uint8_t(c)));
        if (name.size() > OverlayNameBytes)
            return Error("file name \"" + it->path().filename().string() + "\" is longer than 12 bytes");
        for (const OverlayInput& e : entries)
            if (e.name == name) return Error("two files are named \"" + name + "\" in lower case");
        if (entries.size() == OverlayMaxEntries)
            return Error(std::string("more than 255 files in ") + dir);
        OverlayInput entry{name, {}};
        if (!ReadFile(it->path(), &entry.data))
            return Error("cannot read " + it->path().string() + " (or it is over 256 MiB)");
        entries.push_back(std::move(entry));
    }
    if (ec) return Error(std::string("cannot list ") + dir + ": " + ec.message());
    std::sort(entries.begin(), entries.end(),
              [](const OverlayInput& a, const OverlayInput& b) { return a.name < b.name; });
    Bytes archive;
    std::string why;
    if (!BuildOverlay(entries, &archive, &why, 2)) return Error(why);
    // Write beside the target and rename, so a failed run leaves no half archive.
    std::string temp = std::string(outPath) + ".part";
    if (!WriteFile(temp, archive) || rename(temp.c_str(), outPath) != 0) {
        remove(temp.c_str());
        return Error(std::string("cannot write ") + outPath);
    }
    return 0;
}

// What the demo reads from each entry, and the limits of the areas it reads through.
struct Requirement {
    const char* name;
    uint32_t minBytes;     // bytes the demo reads from the decoded entry
    uint32_t maxPacked;
    uint32_t maxUnpacked;
};
constexpr uint32_t LoadPacked = 1048576, LoadUnpacked = 2944000, Scratch = 100000;
constexpr uint32_t Texture = 10 + 768 + 65536, Picture = 778 + 64000, Closing = 10 + 768 + 64000;
constexpr uint32_t MeshHeader = 6;   // one 3D Studio chunk header
static const Requirement Requirements[] = {
    {"music.s3m", 1, LoadPacked, 1048576},
    {"bigang.dat", 512000, LoadPacked, LoadUnpacked},
    {"angrad1.dat", 128000, LoadPacked, LoadUnpacked},
    {"angrad2.dat", 128000, LoadPacked, LoadUnpacked},
    {"angrad3.dat", 128000, LoadPacked, LoadUnpacked},
    {"angrad4.dat", 128000, LoadPacked, LoadUnpacked},
    {"angrad5.dat", 128000, LoadPacked, LoadUnpacked},
    {"angrad6.dat", 128000, LoadPacked, LoadUnpacked},
    {"angrad7.dat", 128000, LoadPacked, LoadUnpacked},
    {"tivrel.scx", Picture, LoadPacked, LoadUnpacked},
    {"name1.scx", Picture, LoadPacked, LoadUnpacked},
    {"name2.scx", Picture, LoadPacked, LoadUnpacked},
    {"name3.scx", Picture, LoadPacked, LoadUnpacked},
    {"movement.dat", 28672, LoadPacked, LoadUnpacked},
    {"euf0009.scx", Texture, LoadPacked, LoadUnpacked},
    {"euf0010.scx", Texture, LoadPacked, LoadUnpacked},
    {"euf0011.scx", Texture, LoadPacked, LoadUnpacked},
    {"8emp_g.scx", Texture, LoadPacked, LoadUnpacked},
    {"18soh.scx", Texture, LoadPacked, LoadUnpacked},
    {"7venus.scx", Texture, LoadPacked, LoadUnpacked},
    {"lyrics.scx", Picture, LoadPacked, LoadUnpacked},
    {"backgr.dat", 128000, LoadPacked, LoadUnpacked},
    {"groups.dat", 2944000, LoadPacked, LoadUnpacked},
    {"star.3ds", MeshHeader, Scratch, Scratch},
    {"jo2.3ds", MeshHeader, Scratch, Scratch},
    {"jo6.3ds", MeshHeader, Scratch, Scratch},
    {"part5.3ds", MeshHeader, Scratch, Scratch},
    {"new4.3ds", MeshHeader, Scratch, Scratch},
    {"stucco1.3ds", MeshHeader, Scratch, Scratch},
    {"23mview.scx", Texture, Scratch, Scratch},
    {"11cont.scx", Texture, Scratch, Scratch},
    {"23mview2.scx", Texture, Scratch, Scratch},
    {"18soh3d.scx", Texture, Scratch, Scratch},
    {"15mview.scx", Texture, Scratch, Scratch},
    {"14soh.scx", Texture, Scratch, Scratch},
    {"thx.scx", Closing, Scratch, Scratch},
};

static int CmdVerify(const char* file)
{
    if (!OpenArchive(file)) return 1;
    int problems = 0;
    auto problem = [&](const std::string& name, const std::string& what) {
        printf("%s: %s\n", name.c_str(), what.c_str());
        problems++;
    };
    std::vector<bool> decoded(ZOH_EntryCount(), false);
    std::vector<std::string> seen;
    for (uint32_t i = 0; i < ZOH_EntryCount(); i++) {
        std::string name = EntryName(*ZOH_Entry(int32_t(i)));
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
            problem(name, "name occurs twice; the reader only finds the first");
        seen.push_back(name);
        Bytes data;
        std::string why;
        decoded[i] = DecodeEntry(int32_t(i), &data, &why);
        if (!decoded[i]) problem(name, why);
    }
    for (const Requirement& r : Requirements) {
        int32_t i = ZOH_Open(r.name, 512);
        if (i < 0) {
            problem(r.name, "missing");
            continue;
        }
        const OverlayEntry& e = *ZOH_Entry(i);
        if (e.unpackedSize < r.minBytes)
            problem(r.name, "holds " + std::to_string(e.unpackedSize) + " bytes, the demo reads " +
                                std::to_string(r.minBytes));
        if (e.packedSize > r.maxPacked)
            problem(r.name, "packed size " + std::to_string(e.packedSize) + " exceeds " +
                                std::to_string(r.maxPacked));
        if (e.unpackedSize > r.maxUnpacked)
            problem(r.name, "unpacked size " + std::to_string(e.unpackedSize) + " exceeds " +
                                std::to_string(r.maxUnpacked));
    }
    if (problems) {
        printf("verify: %s: %u entries, %d problem%s\n", file, ZOH_EntryCount(), problems,
               problems == 1 ? "" : "s");
        return 1;
    }
    printf("verify: %s: %u entries, all decode, everything the demo reads is present\n", file,
           ZOH_EntryCount());
    return 0;
}

static int CmdInfo(const char* file)
{
    if (!OpenArchive(file)) return 1;
    printf("%-12s %10s %10s %7s %6s\n", "name", "packed", "unpacked", "ratio", "bpb");
    uint64_t packed = 0, unpacked = 0;
    auto row = [](const char* name, uint64_t p, uint64_t u) {
        double ratio = u ? 100.0 * double(p) / double(u) : 0.0;
        double bpb = u ? 8.0 * double(p) / double(u) : 0.0;
        printf("%-12s %10llu %10llu %6.1f%% %6.3f\n", name, (unsigned long long)p,
               (unsigned long long)u, ratio, bpb);
    };
    for (uint32_t i = 0; i < ZOH_EntryCount(); i++) {
        const OverlayEntry& e = *ZOH_Entry(int32_t(i));
        row(EntryName(e).c_str(), e.packedSize, e.unpackedSize);
        packed += e.packedSize;
        unpacked += e.unpackedSize;
    }
    row("total", packed, unpacked);
    return 0;
}

int main(int argc, char** argv)
{
    std::vector<const char*> args;
    const char* outPath = nullptr;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) return Usage(stdout);
        if (strcmp(argv[i], "-o") == 0) {
            if (i + 1 >= argc) return Error("-o needs a file name");
            outPath = argv[++i];
        } else {
            args.push_back(argv[i]);
        }
    }
    if (args.empty()) return Usage(stderr);
    std::string command = args[0];
    size_t operands = args.size() - 1;
    if (command == "list" && operands == 1 && !outPath) return CmdList(args[1]);
    if (command == "extract" && operands == 2) return CmdExtract(args[1], args[2], outPath);
    if (command == "unpack" && operands == 2 && !outPath) return CmdUnpack(args[1], args[2]);
    if (command == "pack" && operands == 1 && outPath) return CmdPack(args[1], outPath);
    if (command == "verify" && operands == 1 && !outPath) return CmdVerify(args[1]);
    if (command == "info" && operands == 1 && !outPath) return CmdInfo(args[1]);
    fprintf(stderr, "ovltool: bad command line (see ovltool --help)\n");
    return 2;
}
