// The build cache of `ovltool build`: the packed stream of every entry, kept between
// builds so a rebuild packs only the entries that changed. A stream is filed under a
// key made of the cache format and tool version, the entry's name and its bytes
// before packing (which the sources and options made), so a changed source, option
// or tool never meets an old stream.
//
// Where: FOLDER/.tivrel-cache when the content folder can hold it, else
// $XDG_CACHE_HOME/tivrel (default ~/.cache/tivrel). One file per stream,
// KEY.pack: "TVPK", format 3 (LE32), the key (16 bytes), unpacked size (LE32),
// packed size (LE32), a 64-bit hash of the stream (LE), the packed stream.
// Nothing read back is trusted: a file whose layout, key, sizes or hash disagree,
// or whose stream does not decode to exactly the entry's bytes, is ignored and
// written again (a stream is never used as it was found unless it is the stream
// that was stored). Writes go through the safe-write
// helper; a cache that cannot be written only costs time.
#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct BuildCache {
    std::string folder;   // "" when no cache could be made
    int hits = 0, misses = 0, damaged = 0;
    std::set<std::string> packed;   // entries with a stream packed by this build
};

// The cache for content folder `contentFolder`, made when missing.
void OpenBuildCache(BuildCache* cache, const std::string& contentFolder);
// The cached stream of `name` with these unpacked bytes, or false.
bool FindPackedStream(BuildCache* cache, const std::string& name, const std::vector<uint8_t>& unpacked,
                      std::vector<uint8_t>* stream);
void StorePackedStream(BuildCache* cache, const std::string& name, const std::vector<uint8_t>& unpacked,
                       const std::vector<uint8_t>& stream);
// The stream of `unpacked` for entry `name`: the cached one, else packed now and
// kept (cache may be null: packed without one).
std::vector<uint8_t> PackThroughCache(BuildCache* cache, const std::string& name, const std::vector<uint8_t>& unpacked);
