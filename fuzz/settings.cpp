// The settings file parser on arbitrary text. Properties:
// - a refusal comes with a one-line reason and leaves the settings unchanged;
// - accepted settings are in range, and their written form reads back into equal
//   settings.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "shell/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Settings settings;
    const Settings defaults;
    std::string error;
    if (!ParseSettings(reinterpret_cast<const char*>(data), size, &settings, &error)) {
        FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos, "reason \"%s\"", error.c_str());
        FUZZ_CHECK(settings == defaults, "a refused text changed the settings");
        return 0;
    }
    FUZZ_CHECK(settings.volume >= 0 && settings.volume <= 100, "volume %d", settings.volume);
    FUZZ_CHECK(settings.windowWidth == 0 || (settings.windowWidth >= 160 && settings.windowWidth <= 16384 &&
                                             settings.windowHeight >= 100 && settings.windowHeight <= 16384),
               "window %dx%d", settings.windowWidth, settings.windowHeight);
    FUZZ_CHECK(!settings.haveMode || settings.modeDepth == 16 || settings.modeDepth == 24 || settings.modeDepth == 32,
               "depth %d", settings.modeDepth);
    const std::string text = FormatSettings(settings);
    Settings again;
    FUZZ_CHECK(ParseSettings(text.data(), text.size(), &again, &error), "own text refused: %s", error.c_str());
    FUZZ_CHECK(again == settings, "round trip changed the settings");
    return 0;
}
