// The command line parser on arbitrary arguments: the input split at zero bytes is
// argv[1..] (at most 64 arguments), and every argument is also parsed as a frame
// list. Properties:
// - a refusal comes with a reason, one line unless it quotes a line feed; an accepted scene is one of the table;
// - an accepted frame list holds ranges first <= last, each of whose ends it contains.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "demo/scene_table.h"
#include "fuzz_check.h"
#include "shell/options.h"

namespace {

constexpr size_t MaxArguments = 64;

// Reasons quote the argument they refuse, so a line feed is allowed only when the
// arguments hold one.
bool InputHasLineFeed;

void CheckReason(const std::string& reason)
{
    FUZZ_CHECK(!reason.empty() && (InputHasLineFeed || reason.find('\n') == std::string::npos), "reason \"%s\"",
               reason.c_str());
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputHasLineFeed = size && memchr(data, '\n', size) != nullptr;
    std::vector<std::string> words(1, "tivrel");
    words.emplace_back();
    for (size_t k = 0; k < size && words.size() <= MaxArguments; k++) {
        if (data[k] == 0)
            words.emplace_back();
        else
            words.back().push_back(char(data[k]));
    }
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    ShellOptions options;
    std::string error;
    if (!ParseOptions(int(words.size()), argv.data(), &options, &error))
        CheckReason(error);
    else
        FUZZ_CHECK(options.scene >= 0 && options.scene <= SceneCount(SceneTable, SceneTableRows), "scene %d",
                   options.scene);

    for (size_t k = 1; k < words.size(); k++) {
        FrameList list;
        std::string why;
        if (!ParseFrameList(words[k].c_str(), &list, &why)) {
            CheckReason(why);
            continue;
        }
        FUZZ_CHECK(!list.all && !list.ranges.empty(), "accepted \"%s\" as no frames", words[k].c_str());
        for (const auto& [first, last] : list.ranges) {
            FUZZ_CHECK(first <= last, "range %u:%u", first, last);
            FUZZ_CHECK(FrameListContains(list, first) && FrameListContains(list, last), "range %u:%u not contained",
                       first, last);
        }
    }
    return 0;
}
