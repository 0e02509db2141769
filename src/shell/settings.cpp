// The settings file: parser, writer, its place and its safe write.
#include "shell/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/safe_write.h"

namespace {

constexpr size_t MaxSettingsBytes = 65536;

// A decimal of 1..5 digits (0 allowed when allowZero); advances *p past it.
bool Decimal(const char** p, const char* end, int* value, bool allowZero)
{
    int digits = 0, v = 0;
    while (*p < end && **p >= '0' && **p <= '9' && digits < 6) {
        v = v * 10 + (**p - '0');
        ++*p;
        digits++;
    }
    if (digits == 0 || digits > 5 || (v == 0 && !allowZero))
        return false;
    *value = v;
    return true;
}

bool Size(const std::string& text, int* width, int* height, int* depth)
{
    const char* p = text.data();
    const char* end = p + text.size();
    if (!Decimal(&p, end, width, false) || p == end || *p++ != 'x' || !Decimal(&p, end, height, false))
        return false;
    if (depth == nullptr)
        return p == end;
    return p != end && *p++ == 'x' && Decimal(&p, end, depth, false) && p == end;
}

bool YesNo(const std::string& text, bool* value)
{
    if (text != "yes" && text != "no")
        return false;
    *value = text == "yes";
    return true;
}

std::string Trim(const char* begin, const char* end)
{
    while (begin < end && (*begin == ' ' || *begin == '\t'))
        begin++;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r'))
        end--;
    return std::string(begin, end);
}

// One "key = value" line into *s; false with the reason. `seen` marks keys given.
bool ParseLine(const std::string& key, const std::string& value, Settings* s, unsigned* seen, std::string* reason)
{
    static const char* const keys[] = {"mode", "windowed", "nosound", "aspect", "vsync", "scale", "window", "volume"};
    int k = 0;
    while (k < 8 && key != keys[k])
        k++;
    if (k == 8) {
        *reason = "unknown key \"" + key + "\"";
        return false;
    }
    if (*seen & (1u << k)) {
        *reason = "\"" + key + "\" given twice";
        return false;
    }
    *seen |= 1u << k;
    bool ok = false;
    switch (k) {
    case 0:
        ok = Size(value, &s->modeWidth, &s->modeHeight, &s->modeDepth) &&
             (s->modeDepth == 16 || s->modeDepth == 24 || s->modeDepth == 32);
        s->haveMode = ok;
        break;
    case 1: ok = YesNo(value, &s->windowed); break;
    case 2: ok = YesNo(value, &s->nosound); break;
    case 3:
        s->aspect = AspectFromText(value);
        ok = s->aspect >= 0;
        break;
    case 4: ok = YesNo(value, &s->vsync); break;
    case 5:
        s->scale = ScaleFromText(value);
        ok = s->scale >= 0;
        break;
    case 6:
        ok = Size(value, &s->windowWidth, &s->windowHeight, nullptr) && s->windowWidth >= ScreenWidth / 2 &&
             s->windowHeight >= ScreenHeight / 2 && s->windowWidth <= 16384 && s->windowHeight <= 16384;
        break;
    case 7: {
        const char* p = value.data();
        ok = Decimal(&p, p + value.size(), &s->volume, true) && p == value.data() + value.size() && s->volume <= 100;
        break;
    }
    }
    if (!ok)
        *reason = "bad value for \"" + key + "\"";
    return ok;
}

}   // namespace

bool ParseSettings(const char* text, size_t size, Settings* settings, std::string* error)
{
    if (size > MaxSettingsBytes) {
        *error = "longer than 64 KiB";
        return false;
    }
    if (std::memchr(text, '\0', size) != nullptr) {
        *error = "holds a NUL byte";
        return false;
    }
    Settings parsed = *settings;
    unsigned seen = 0;
    const char* end = text + size;
    int number = 0;
    for (const char* line = text; line < end;) {
        const char* lineEnd = static_cast<const char*>(std::memchr(line, '\n', size_t(end - line)));
        if (lineEnd == nullptr)
            lineEnd = end;
        number++;
        const std::string content = Trim(line, lineEnd);
        line = lineEnd + 1;
        if (content.empty() || content[0] == '#')
            continue;
        const size_t eq = content.find('=');
        std::string reason;
        if (eq == std::string::npos)
            reason = "expected \"key = value\"";
        else
            ParseLine(Trim(content.data(), content.data() + eq),
                      Trim(content.data() + eq + 1, content.data() + content.size()), &parsed, &seen, &reason);
        if (!reason.empty()) {
            *error = "line " + std::to_string(number) + ": " + reason;
            return false;
        }
    }
    *settings = parsed;
    return true;
}

std::string FormatSettings(const Settings& s)
{
    auto yes = [](bool v) { return v ? "yes" : "no"; };
    char text[512];
    int n = std::snprintf(text, sizeof text, "# tivrel settings, written by tivrel\n");
    if (s.haveMode)
        n += std::snprintf(text + n, sizeof text - size_t(n), "mode = %dx%dx%d\n", s.modeWidth, s.modeHeight,
                           s.modeDepth);
    n += std::snprintf(text + n, sizeof text - size_t(n), "windowed = %s\nnosound = %s\naspect = %s\nvsync = %s\n",
                       yes(s.windowed), yes(s.nosound), AspectText(s.aspect), yes(s.vsync));
    n += std::snprintf(text + n, sizeof text - size_t(n), "scale = %s\n",
                       s.scale == ScaleSharp     ? "sharp"
                       : s.scale == ScaleInteger ? "integer"
                                                 : "stretch");
    if (s.windowWidth > 0 && s.windowHeight > 0)
        n += std::snprintf(text + n, sizeof text - size_t(n), "window = %dx%d\n", s.windowWidth, s.windowHeight);
    std::snprintf(text + n, sizeof text - size_t(n), "volume = %d\n", s.volume);
    return text;
}

bool operator==(const Settings& a, const Settings& b) { return FormatSettings(a) == FormatSettings(b); }

Settings OverrideSettings(const Settings& saved, const ShellOptions& options)
{
    Settings run = saved;
    if (options.haveMode) {
        run.haveMode = true;
        run.modeWidth = options.modeWidth;
        run.modeHeight = options.modeHeight;
        run.modeDepth = options.modeDepth;
    }
    if (options.windowed >= 0)
        run.windowed = options.windowed == 1;
    if (options.nosound)
        run.nosound = true;
    if (options.aspect >= 0)
        run.aspect = options.aspect;
    if (options.vsync >= 0)
        run.vsync = options.vsync == 1;
    if (options.scale >= 0)
        run.scale = options.scale;
    if (options.windowWidth > 0) {
        run.windowWidth = options.windowWidth;
        run.windowHeight = options.windowHeight;
    }
    if (options.volume >= 0)
        run.volume = options.volume;
    return run;
}

int SavedModeItem(const Settings& saved, const DisplayMode* table, int count)
{
    if (count <= 1)
        return -1;
    int index = 0;
    if (saved.haveMode)
        index = FindModeIndex(table, count, saved.modeWidth, saved.modeHeight, saved.modeDepth);
    if (saved.haveMode && index < 1)
        index = FindModeIndex(table, count, table[0].width, table[0].height, table[0].depth);
    return index >= 1 ? index - 1 : 0;
}

std::string SettingsPath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config != nullptr && config[0] == '/')
        base = config;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        base = std::string(home) + "/.config";
    else
        return "";
    return base + "/tivrel/tivrel.cfg";
}

void LoadSettings(Settings* settings, std::string* warning)
{
    warning->clear();
    const std::string path = SettingsPath();
    if (path.empty())
        return;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT)
            *warning = "cannot read the settings file " + path + " (" + std::strerror(errno) + "); using the defaults";
        return;
    }
    struct stat info;
    std::string text;
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok) {
        char buffer[4096];
        for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) != 0 && text.size() <= MaxSettingsBytes;) {
            if (got < 0) {
                ok = false;
                break;
            }
            text.append(buffer, size_t(got));
        }
    }
    close(fd);
    std::string reason = "not a readable file";
    if (!ok || !ParseSettings(text.data(), text.size(), settings, &reason))
        *warning = "ignored the settings file " + path + ": " + reason + "; using the defaults";
}

bool SaveSettings(const Settings& settings, std::string* error)
{
    const std::string path = SettingsPath();
    if (path.empty()) {
        *error = "no place for the settings file (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    SafeFolder folder;
    if (!SafeFolderOpen(&folder, path.substr(0, path.rfind('/')), true, error))
        return false;
    const std::string text = FormatSettings(settings);
    const bool ok = SafeWriteFile(folder, "tivrel.cfg", text.data(), text.size(), true, error) == SafeWriteOk;
    SafeFolderClose(&folder);
    return ok;
}
