#include "ovltool/build_cache.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <unistd.h>

#include "archive/archive.h"
#include "archive/pack.h"
#include "core/bytes.h"
#include "core/read_file.h"
#include "core/safe_write.h"

namespace {

namespace fs = std::filesystem;

// Changes whenever the stream format, the packer or this file's layout does.
constexpr char CacheVersion[] = "tivrel ovltool build cache 2, packer 1";
constexpr uint32_t FileFormat = 3;
constexpr size_t KeyBytes = 16, HeaderBytes = 4 + 4 + KeyBytes + 4 + 4 + 8;

void Mix(uint64_t* h, const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; i++)
        *h = (*h ^ p[i]) * 1099511628211ull;
}

// Mixes 64-bit little-endian words (the tail byte by byte) into two hashes, each
// word multiplied in with a different odd constant and rotated, so that one changed
// byte moves both.
void MixWords(uint64_t h[2], const uint8_t* p, size_t size)
{
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const uint64_t w = uint64_t(ReadLE32(p + i)) | uint64_t(ReadLE32(p + i + 4)) << 32;
        h[0] = (h[0] ^ w) * 0x100000001b3ull;
        h[0] ^= h[0] >> 29;
        h[1] = ((h[1] ^ w) * 0x9e3779b97f4a7c15ull);
        h[1] = (h[1] << 31) | (h[1] >> 33);
    }
    for (; i < size; i++) {
        h[0] = (h[0] ^ p[i]) * 1099511628211ull;
        h[1] = (h[1] ^ p[i]) * 0x9e3779b97f4a7c15ull;
    }
}

// Two 64-bit hashes over the version, the name (with its length), the bytes' length
// and the bytes.
void MakeKey(const std::string& name, const std::vector<uint8_t>& unpacked, uint8_t key[KeyBytes])
{
    uint64_t h[2] = {1469598103934665603ull, 0x9e3779b97f4a7c15ull};
    for (uint64_t& x : h) {
        Mix(&x, CacheVersion, sizeof CacheVersion);
        const uint64_t length = name.size(), size = unpacked.size();
        Mix(&x, &length, sizeof length);
        Mix(&x, name.data(), name.size());
        Mix(&x, &size, sizeof size);
    }
    MixWords(h, unpacked.data(), unpacked.size());
    WriteLE32(key, uint32_t(h[0]));
    WriteLE32(key + 4, uint32_t(h[0] >> 32));
    WriteLE32(key + 8, uint32_t(h[1]));
    WriteLE32(key + 12, uint32_t(h[1] >> 32));
}

uint64_t StreamHash(const uint8_t* data, size_t size)
{
    uint64_t h[2] = {1469598103934665603ull, 0};
    MixWords(h, data, size);
    return h[0] ^ h[1];
}

std::string FileName(const uint8_t key[KeyBytes])
{
    std::string name;
    char hex[3];
    for (size_t i = 0; i < KeyBytes; i++) {
        std::snprintf(hex, sizeof hex, "%02x", key[i]);
        name += hex;
    }
    return name + ".pack";
}

bool UsableFolder(const fs::path& folder)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    return fs::is_directory(folder, ec) && access(folder.c_str(), W_OK) == 0;
}

}   // namespace

void OpenBuildCache(BuildCache* cache, const std::string& contentFolder)
{
    *cache = BuildCache{};
    const fs::path own = fs::path(contentFolder) / ".tivrel-cache";
    if (UsableFolder(own)) {
        cache->folder = own.string();
        return;
    }
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    fs::path shared;
    if (xdg != nullptr && xdg[0] == '/')
        shared = fs::path(xdg) / "tivrel";
    else if (home != nullptr && home[0] == '/')
        shared = fs::path(home) / ".cache" / "tivrel";
    if (!shared.empty() && UsableFolder(shared))
        cache->folder = shared.string();
}

bool FindPackedStream(BuildCache* cache, const std::string& name, const std::vector<uint8_t>& unpacked,
                      std::vector<uint8_t>* stream)
{
    if (cache->folder.empty())
        return false;
    uint8_t key[KeyBytes];
    MakeKey(name, unpacked, key);
    std::vector<uint8_t> file;
    const std::string path = cache->folder + "/" + FileName(key);
    if (ReadWholeFile(path, HeaderBytes + (size_t(1) << 28), &file) != ReadFileOk) {
        cache->misses++;
        return false;
    }
    bool good = file.size() >= HeaderBytes && std::memcmp(file.data(), "TVPK", 4) == 0 &&
                ReadLE32(file.data() + 4) == FileFormat && std::memcmp(file.data() + 8, key, KeyBytes) == 0 &&
                ReadLE32(file.data() + 8 + KeyBytes) == unpacked.size() &&
                ReadLE32(file.data() + 12 + KeyBytes) == file.size() - HeaderBytes &&
                (ReadLE32(file.data() + 16 + KeyBytes) | uint64_t(ReadLE32(file.data() + 20 + KeyBytes)) << 32) ==
                    StreamHash(file.data() + HeaderBytes, file.size() - HeaderBytes);
    if (good) {
        // The stream must give back exactly the entry's bytes.
        std::vector<uint8_t> decoded(unpacked.size() + 1);
        const long got =
            ZOH_Unpack(file.data() + HeaderBytes, file.size() - HeaderBytes, decoded.data(), decoded.size());
        good = got == long(unpacked.size()) && std::memcmp(decoded.data(), unpacked.data(), unpacked.size()) == 0;
    }
    if (!good) {
        cache->damaged++;
        return false;
    }
    stream->assign(file.begin() + HeaderBytes, file.end());
    cache->hits++;
    return true;
}

void StorePackedStream(BuildCache* cache, const std::string& name, const std::vector<uint8_t>& unpacked,
                       const std::vector<uint8_t>& stream)
{
    if (cache->folder.empty())
        return;
    uint8_t key[KeyBytes];
    MakeKey(name, unpacked, key);
    std::vector<uint8_t> file(HeaderBytes);
    std::memcpy(file.data(), "TVPK", 4);
    WriteLE32(file.data() + 4, FileFormat);
    std::memcpy(file.data() + 8, key, KeyBytes);
    WriteLE32(file.data() + 8 + KeyBytes, uint32_t(unpacked.size()));
    WriteLE32(file.data() + 12 + KeyBytes, uint32_t(stream.size()));
    const uint64_t hash = StreamHash(stream.data(), stream.size());
    WriteLE32(file.data() + 16 + KeyBytes, uint32_t(hash));
    WriteLE32(file.data() + 20 + KeyBytes, uint32_t(hash >> 32));
    file.insert(file.end(), stream.begin(), stream.end());
    std::string error;
    SafeWritePath(cache->folder + "/" + FileName(key), file.data(), file.size(), true, &error);
}

std::vector<uint8_t> PackThroughCache(BuildCache* cache, const std::string& name, const std::vector<uint8_t>& unpacked)
{
    std::vector<uint8_t> stream;
    if (cache != nullptr && FindPackedStream(cache, name, unpacked, &stream))
        return stream;
    stream = PackStream(unpacked.data(), unpacked.size());
    if (cache != nullptr) {
        cache->packed.insert(name);
        StorePackedStream(cache, name, unpacked, stream);
    }
    return stream;
}
