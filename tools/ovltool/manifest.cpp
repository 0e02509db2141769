#include "ovltool/manifest.h"

#include "archive/plan_entry.h"
#include "core/printable.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <toml.hpp>

namespace {

std::string At(const std::string& path, int line) { return path + ":" + std::to_string(line) + ": "; }

// The reason of a toml11 error: its first line without "[error] toml::function: ".
std::string FirstLine(const char* what)
{
    std::string s = what;
    s = s.substr(0, s.find('\n'));
    if (s.rfind("[error] ", 0) == 0)
        s = s.substr(8);
    if (s.rfind("toml::", 0) == 0 && s.find(": ") != std::string::npos)
        s = s.substr(s.find(": ") + 2);
    // The reader may quote the text it stopped at.
    const bool control = std::any_of(s.begin(), s.end(), [](char c) { return uint8_t(c) < 0x20 || c == 0x7F; });
    return control ? Printable(s) : s;
}

bool KeyAllowed(EntryKind kind, const std::string& key)
{
    std::string keys = std::string(" ") + ManifestKeys(kind) + ",";
    for (char& c : keys)
        if (c == ',')
            c = ' ';
    return keys.find(" " + key + " ") != std::string::npos;
}

// The line (from 1) of the first byte that does not start a well-formed UTF-8
// sequence (no overlong forms, no surrogates, nothing past U+10FFFF), 0 when all
// of text is well formed. Manifests are UTF-8; the TOML reader mishandles an
// ill-formed sequence inside a multi-line string (it reads outside its buffer),
// so such text is refused before it is read.
int IllFormedUtf8Line(const std::string& text)
{
    int line = 1;
    for (size_t i = 0; i < text.size();) {
        const uint8_t c = uint8_t(text[i]);
        if (c == '\n')
            line++;
        if (c < 0x80) {
            i++;
            continue;
        }
        uint8_t low = 0x80, high = 0xBF;   // the second byte's range
        size_t length = 0;
        if (c >= 0xC2 && c <= 0xDF)
            length = 2;
        else if (c >= 0xE0 && c <= 0xEF)
            length = 3, low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
        else if (c >= 0xF0 && c <= 0xF4)
            length = 4, low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
        if (length == 0 || i + length > text.size())
            return line;
        for (size_t k = 1; k < length; k++) {
            const uint8_t next = uint8_t(text[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
                return line;
        }
        i += length;
    }
    return 0;
}

// Deepest nesting of arrays and inline tables, outside strings and comments, and the
// line where it passes `limit` (0 when it does not). The TOML reader recurses once
// per level, so a deep manifest is refused before it is read.
int DeepNestingLine(const std::string& text, int limit)
{
    int depth = 0, line = 1;
    size_t i = 0, n = text.size();
    auto starts = [&](const char* token) { return text.compare(i, strlen(token), token) == 0; };
    while (i < n) {
        char c = text[i];
        if (c == '\n') {
            line++;
            i++;
        } else if (c == '#') {
            while (i < n && text[i] != '\n')
                i++;
        } else if (starts("\"\"\"") || starts("'''")) {
            std::string close = text.substr(i, 3);
            i += 3;
            while (i < n && !starts(close.c_str())) {
                if (text[i] == '\n')
                    line++;
                i += close[0] == '"' && text[i] == '\\' ? 2 : 1;
            }
            i += 3;
        } else if (c == '"' || c == '\'') {
            i++;
            while (i < n && text[i] != c && text[i] != '\n')
                i += c == '"' && text[i] == '\\' ? 2 : 1;
            i++;
        } else {
            if (c == '[' || c == '{') {
                if (++depth > limit)
                    return line;
            } else if ((c == ']' || c == '}') && depth > 0) {
                depth--;
            }
            i++;
        }
    }
    return 0;
}

// A list of whole numbers 0..255 of exactly `count` items into *out.
bool ReadOrders(const toml::value& value, size_t count, const std::string& what, const std::string& where,
                std::vector<int>* out, std::string* error)
{
    if (!value.is_array() || value.as_array().size() != count) {
        *error = where + what + " must be a list of " + std::to_string(count) + " order numbers";
        return false;
    }
    for (const toml::value& item : value.as_array()) {
        if (!item.is_integer() || item.as_integer() < 0 || item.as_integer() > 255) {
            *error = where + what + " must be a list of " + std::to_string(count) + " order numbers 0..255";
            return false;
        }
        out->push_back(int(item.as_integer()));
    }
    return true;
}

// [plan] (ends, fit, parts) or [sound] (stereo_separation) into *plan.
bool ParsePlanTable(const std::string& name, const toml::value& table, const std::string& path, ManifestPlan* plan,
                    std::string* error)
{
    const bool isPlan = name == "plan";
    if (!plan->present || isPlan)
        plan->line = int(table.location().line());
    plan->present = true;
    for (const auto& [key, value] : table.as_table()) {
        const std::string where = At(path, int(value.location().line()));
        if (isPlan && key == "ends") {
            if (!ReadOrders(value, PlanScenes, "\"ends\"", where, &plan->ends, error))
                return false;
        } else if (isPlan && key == "parts") {
            if (!ReadOrders(value, 2, "\"parts\"", where, &plan->parts, error))
                return false;
        } else if (isPlan && key == "fit") {
            if (!value.is_boolean()) {
                *error = where + "\"fit\" must be true or false";
                return false;
            }
            plan->fit = value.as_boolean();
        } else if (!isPlan && key == "stereo_separation") {
            if (!value.is_integer() || value.as_integer() < 0 || value.as_integer() > MaxStereoSeparation) {
                *error = where + "\"stereo_separation\" must be a whole percentage 0..200";
                return false;
            }
            plan->stereoSeparation = int(value.as_integer());
        } else {
            *error = where + "[" + name + "] takes no key \"" + Printable(key) + "\" (it takes " +
                     (isPlan ? "ends, fit, parts" : "stereo_separation") + ")";
            return false;
        }
    }
    if (isPlan && plan->fit && !plan->ends.empty()) {
        *error = At(path, plan->line) + "[plan] takes either \"ends\" or \"fit = true\", not both";
        return false;
    }
    if (isPlan && !plan->parts.empty() && plan->ends.empty()) {
        *error = At(path, plan->line) + "[plan] \"parts\" goes with \"ends\"";
        return false;
    }
    return true;
}

}   // namespace

const char* ManifestKeys(EntryKind kind)
{
    switch (kind) {
    case EntryMusic: return "source";
    case EntryMap:
    case EntryBigMap: return "source, preset, scale0, scale1, twist, centre_x, centre_y";
    case EntryMovement: return "source, preset, period, radius_x, radius_y";
    case EntryOverlay: return "source, text, font, size";
    case EntryTexture:
    case EntryPicture: return "source, dither";
    case EntryStrip: return "source, text, font, size";
    case EntryMesh: return "source, scale, objects, uv";
    }
    return "";
}

const ManifestValue* FindValue(const ManifestEntry& entry, const char* key)
{
    for (const ManifestValue& v : entry.values)
        if (v.key == key)
            return &v;
    return nullptr;
}

bool ParseManifest(const std::string& text, const std::string& path, Manifest* manifest, std::string* error)
{
    manifest->path = path;
    manifest->entries.clear();
    constexpr int MaxNesting = 32;
    if (text.size() > (1u << 20)) {
        *error = path + ": larger than 1 MiB";
        return false;
    }
    if (int line = IllFormedUtf8Line(text)) {
        *error = At(path, line) + "not UTF-8 text (save the manifest as UTF-8)";
        return false;
    }
    if (int line = DeepNestingLine(text, MaxNesting)) {
        *error = At(path, line) + "arrays or tables nested deeper than " + std::to_string(MaxNesting) + " levels";
        return false;
    }
    toml::value root;
    try {
        std::istringstream in(text);
        root = toml::parse(in, path);
    } catch (const toml::exception& e) {
        *error = At(path, int(e.location().line())) + FirstLine(e.what());
        return false;
    } catch (const std::exception& e) {
        *error = path + ": " + FirstLine(e.what());
        return false;
    }
    if (!root.is_table()) {
        *error = path + ": not a table of entries";
        return false;
    }
    manifest->plan = ManifestPlan{};
    for (const auto& [name, table] : root.as_table()) {
        int line = int(table.location().line());
        if ((name == "plan" || name == "sound") && table.is_table()) {
            if (!ParsePlanTable(name, table, path, &manifest->plan, error))
                return false;
            continue;
        }
        const DataEntry* entry = FindDataEntry(name.c_str());
        const std::string shown = Printable(name);
        if (!entry) {
            *error = At(path, line) + "unknown entry \"" + shown + "\" (ovltool build --help lists them)";
            return false;
        }
        if (!table.is_table()) {
            *error = At(path, line) + "\"" + shown + "\" must be a table: [\"" + shown + "\"]";
            return false;
        }
        ManifestEntry out;
        out.entry = entry;
        out.line = line;
        for (const auto& [key, value] : table.as_table()) {
            ManifestValue v;
            v.key = key;
            v.line = int(value.location().line());
            if (!KeyAllowed(entry->kind, key)) {
                *error = At(path, v.line) + "\"" + shown + "\" takes no key \"" + Printable(key) + "\" (it takes " +
                         ManifestKeys(entry->kind) + ")";
                return false;
            }
            if (value.is_string()) {
                v.type = ManifestValue::String;
                v.text = value.as_string().str;
            } else if (value.is_integer()) {
                v.type = ManifestValue::Number;
                v.number = double(value.as_integer());
            } else if (value.is_floating()) {
                v.type = ManifestValue::Number;
                v.number = value.as_floating();
            } else if (value.is_boolean()) {
                v.type = ManifestValue::Boolean;
                v.boolean = value.as_boolean();
            } else if (value.is_array()) {
                v.type = ManifestValue::StringList;
                for (const toml::value& item : value.as_array()) {
                    if (!item.is_string()) {
                        *error = At(path, v.line) + "\"" + Printable(key) + "\" must be a list of strings";
                        return false;
                    }
                    v.list.push_back(item.as_string().str);
                }
            } else {
                *error = At(path, v.line) + "\"" + Printable(key) + "\" has a value of a type no key takes";
                return false;
            }
            out.values.push_back(std::move(v));
        }
        manifest->entries.push_back(std::move(out));
    }
    return true;
}
