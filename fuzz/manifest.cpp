// The content folder's manifest reader (tivrel.toml) on any text. Properties:
// - a refusal is one line, without control characters (names read from the text are
//   escaped), that names the manifest ("tivrel.toml:" and, when the
//   TOML reader or an entry gives one, the line);
// - an accepted manifest names only entries of the entry table, each once, with
//   only the keys that entry's kind takes, each on a line of the text.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "ovltool/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 65536)
        return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    Manifest manifest;
    std::string error;
    if (!ParseManifest(text, "tivrel.toml", &manifest, &error)) {
        FUZZ_CHECK(error.rfind("tivrel.toml:", 0) == 0, "refusal does not name the manifest: %s", error.c_str());
        FUZZ_CHECK(error.find('\n') == std::string::npos, "refusal is not one line: %s", error.c_str());
        for (char c : error)
            FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "refusal holds control character %d: %s",
                       int(static_cast<unsigned char>(c)), error.c_str());
        return 0;
    }
    int lines = 1;
    for (char c : text)
        lines += c == '\n';
    for (size_t i = 0; i < manifest.entries.size(); i++) {
        const ManifestEntry& e = manifest.entries[i];
        FUZZ_CHECK(e.entry && FindDataEntry(e.entry->name) == e.entry, "entry %zu is not in the table", i);
        for (size_t j = 0; j < i; j++)
            FUZZ_CHECK(manifest.entries[j].entry != e.entry, "%s named twice", e.entry->name);
        std::string keys = std::string(", ") + ManifestKeys(e.entry->kind) + ",";
        for (const ManifestValue& v : e.values) {
            FUZZ_CHECK(keys.find(", " + v.key + ",") != std::string::npos, "%s: key %s", e.entry->name, v.key.c_str());
            FUZZ_CHECK(v.line >= 1 && v.line <= lines, "%s: key %s on line %d of %d", e.entry->name, v.key.c_str(),
                       v.line, lines);
        }
    }
    return 0;
}
