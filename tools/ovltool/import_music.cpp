#include "ovltool/import_music.h"

#include <cstdio>

#include "archive/content_rules.h"
#include "audio/module_info.h"
#include "ovltool/import_source.h"

bool ImportMusic(const std::string& sourcePath, std::vector<uint8_t>* entryBytes, std::string* report,
                 std::string* error)
{
    report->clear();
    std::vector<uint8_t> data;
    if (!ReadSourceFile(sourcePath, MusicMaxBytes, "larger than the 1,048,576 bytes the demo reads for its music",
                        &data, error))
        return false;
    ModuleInfo info;
    std::string why;
    const bool loaded = InspectModule(data.data(), data.size(), &info, &why);
    const std::string problem = MusicProblem(loaded, info.orderCount);
    if (!problem.empty()) {
        *error = sourcePath + ": " + problem;
        return false;
    }
    char line[300];
    const int seconds = int(info.lengthSeconds);
    snprintf(line, sizeof line, "%s module, %d orders, %d:%02d", info.format.c_str(), info.orderCount, seconds / 60,
             seconds % 60);
    *report = line;
    const int missing = FirstSceneNotReached(info.orderCount);
    if (missing == 0) {
        *report += "; its orders reach all 17 scenes\n";
    } else {
        const std::string unreached = missing == ScenePlanRows
                                          ? "scene 17 shows one frame"
                                          : "scenes " + std::to_string(missing) + "-17 show one frame each";
        snprintf(line, sizeof line, "; its orders reach scenes 1-%d: %s (every scene needs %d orders)\n", missing - 1,
                 unreached.c_str(), SceneStartOrder(ScenePlanRows) + 1);
        *report += line;
    }
    *entryBytes = std::move(data);
    return true;
}
