// The manifest of a content folder ("tivrel.toml"): one table per data-file entry,
// named by the entry, holding its source and options. Entries the manifest leaves
// out come from the base data file.
//
//   ["euf0010.scx"]
//   source = "textures/euf0010.png"
//   dither = 0.5
//
// Every error is one line naming the manifest and the line: "tivrel.toml:7: ...".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "archive/entries.h"

constexpr const char* ManifestName = "tivrel.toml";

// One option of an entry: its key, its value as text (strings unquoted; arrays of
// strings in `list`), and the manifest line it stands on.
struct ManifestValue {
    std::string key;
    enum Type { String, Number, Boolean, StringList } type = String;
    std::string text;
    double number = 0;
    bool boolean = false;
    std::vector<std::string> list;
    int line = 0;
};

struct ManifestEntry {
    const DataEntry* entry = nullptr;
    int line = 0;
    std::vector<ManifestValue> values;
};

struct Manifest {
    std::string path;   // as given, for messages
    std::vector<ManifestEntry> entries;
};

// Parses manifest text. Refuses TOML errors, a table that names no entry of the data
// file, a key the entry's kind does not take, a value of the wrong type, and an entry
// named twice. False with "PATH:LINE: reason" in *error.
bool ParseManifest(const std::string& text, const std::string& path, Manifest* manifest, std::string* error);

// The keys an entry of this kind takes, for messages and the help text.
const char* ManifestKeys(EntryKind kind);

// Lookups in one entry; null / the fallback when the key is absent.
const ManifestValue* FindValue(const ManifestEntry& entry, const char* key);
