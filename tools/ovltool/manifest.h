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

// The [plan] and [sound] tables, which make the optional plan entry (plan.dat):
//   [plan]
//   ends = [6, 12, ..., 64]   # seventeen scene limits (reported orders), or
//   fit = true                # the design's proportions over the module's orders
//   parts = [8, 10]           # with ends: scene 2's part limits (default: scaled)
//   [sound]
//   stereo_separation = 100   # percent, 0..200; 0 is the design's mono
struct ManifestPlan {
    bool present = false;   // either table is there
    int line = 0;           // of [plan], else of [sound]
    bool fit = false;
    std::vector<int> ends;    // empty, or seventeen
    std::vector<int> parts;   // empty, or two
    int stereoSeparation = 0;
};

struct Manifest {
    std::string path;   // as given, for messages
    std::vector<ManifestEntry> entries;
    ManifestPlan plan;
};

// Parses manifest text. Refuses TOML errors, a table that names no entry of the data
// file (besides [plan] and [sound]), a key the entry's kind does not take, a value of
// the wrong type, and an entry named twice; names read from the text are echoed with
// control characters escaped. False with "PATH:LINE: reason" in *error.
bool ParseManifest(const std::string& text, const std::string& path, Manifest* manifest, std::string* error);

// The keys an entry of this kind takes, for messages and the help text.
const char* ManifestKeys(EntryKind kind);

// Lookups in one entry; null / the fallback when the key is absent.
const ManifestValue* FindValue(const ManifestEntry& entry, const char* key);
