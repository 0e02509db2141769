// ovltool build: the loop over the entry table, each entry from its importer
// (import_entry.h) or the base, and the data file written.
#include "ovltool/build.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/content_format.h"
#include "archive/entries.h"
#include "archive/overlay_writer.h"
#include "archive/plan_entry.h"
#include "audio/module_info.h"
#include "core/process.h"
#include "core/safe_write.h"
#include "gencontent/text.h"
#include "ovltool/build_cache.h"
#include "ovltool/check.h"
#include "ovltool/import_entry.h"
#include "ovltool/manifest.h"

namespace fs = std::filesystem;

namespace {

// A base texture shown through another entry's palette (the final scene's texture
// through 7venus's) keeps its look when that palette was remade: each pixel takes the
// value of the new palette's nearest colour to the one it showed before.
void RemapThroughNewPalette(const BuildContext& c, const DataEntry& d, MadeEntry* made)
{
    if (!d.palette || !std::strstr(d.palette, "7venus") || d.kind != EntryTexture || !c.base ||
        made->bytes.size() < TextureEntryBytes)
        return;
    bool remade = false;
    for (const ManifestEntry& e : c.manifest->entries)
        remade = remade || std::strcmp(e.entry->name, "7venus.scx") == 0;
    if (!remade)
        return;
    uint8_t before[768], after[768];
    Bytes old;
    int32_t i = ArchiveFind(c.base, "7venus.scx");
    if (i < 0 || !ArchiveDecodeEntry(c.base, i, &old) || old.size() < PicturePixelsOffset)
        return;
    std::memcpy(before, old.data() + PicturePaletteOffset, PaletteBytes);
    EarlierPalette(c, "7venus.scx", after);
    uint8_t value[256];
    for (int v = 0; v < 256; v++) {
        int best = d.pixelFirst, bestD = 1 << 30;
        for (int w = d.pixelFirst; w <= d.pixelLast; w++) {
            int dr = before[v * 3] - after[w * 3], dg = before[v * 3 + 1] - after[w * 3 + 1],
                db = before[v * 3 + 2] - after[w * 3 + 2];
            int dist = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (dist < bestD) {
                bestD = dist;
                best = w;
            }
        }
        value[v] = uint8_t(best);
    }
    for (uint32_t k = 0; k < TextureBytes; k++) {
        uint8_t& p = made->bytes[PicturePixelsOffset + k];
        if (p != 0)
            p = value[p];
    }
    made->how = "converted";
    made->detail += ", remapped to the new 7venus palette it is shown through";
}

// Entry `d` made from the manifest's table for it, else copied from the base.
bool MakeEntry(const BuildContext& c, const std::string& base, const DataEntry& d, MadeEntry* made, std::string* error)
{
    const ManifestEntry* listed = nullptr;
    for (const ManifestEntry& e : c.manifest->entries)
        if (e.entry == &d)
            listed = &e;
    if (listed)
        return ImportEntry(c, *listed, made, error);
    int32_t i = c.base ? ArchiveFind(c.base, d.name) : -1;
    if (i < 0) {
        *error = std::string(d.name) + " is not in " + c.manifest->path +
                 (c.base ? " nor in the base " + base : " and there is no base data file (--base FILE)");
        return false;
    }
    if (!ArchiveDecodeEntry(c.base, i, &made->bytes)) {
        *error = base + ": " + d.name + ": " + ArchiveError(c.base);
        return false;
    }
    made->how = "base";
    made->detail = base;
    RemapThroughNewPalette(c, d, made);
    return true;
}

// The plan entry the manifest's [plan] and [sound] ask for, over the module `music`,
// and its report line.
bool MakePlanEntry(const Manifest& manifest, const Bytes& music, PlanEntry* plan, std::string* detail,
                   std::string* error)
{
    const ManifestPlan& asked = manifest.plan;
    const std::string where = manifest.path + ":" + std::to_string(asked.line) + ": ";
    ModuleInfo info;
    InspectModule(music.data(), music.size(), &info, nullptr);
    *plan = PlanEntry{};
    plan->stereoSeparation = asked.stereoSeparation;
    if (asked.fit) {
        if (!FitPlanLimits(info.orderCount, &plan->limits, error)) {
            *error = where + "[plan] fit = true: " + *error;
            return false;
        }
        plan->origin = PlanFitted;
    } else if (!asked.ends.empty()) {
        for (int i = 0; i < PlanScenes; i++)
            plan->limits.ends[i] = uint8_t(asked.ends[size_t(i)]);
        ScalePartLimits(&plan->limits);
        if (!asked.parts.empty())
            plan->limits.parts[0] = uint8_t(asked.parts[0]), plan->limits.parts[1] = uint8_t(asked.parts[1]);
        plan->origin = PlanGiven;
    }
    if (const std::string problem = PlanLimitsProblem(plan->limits); !problem.empty()) {
        *error = where + "[plan]: " + problem;
        return false;
    }
    *detail = plan->origin == PlanFitted  ? "fitted to " + std::to_string(info.orderCount) + " orders: ends"
              : plan->origin == PlanGiven ? std::string("as given: ends")
                                          : std::string("the design's plan: ends");
    for (int i = 0; i < PlanScenes; i++)
        *detail += " " + std::to_string(plan->limits.ends[i]);
    *detail += ", scene 2's parts " + std::to_string(plan->limits.parts[0]) + " " +
               std::to_string(plan->limits.parts[1]) + "; stereo separation " + std::to_string(plan->stereoSeparation) +
               "%";
    return true;
}

int Fail(const std::string& message)
{
    fprintf(stderr, "ovltool: %s\n", message.c_str());
    return 1;
}

bool FileExists(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

}   // namespace

std::string DefaultBasePath()
{
    if (FileExists("tivrel.ovl"))
        return "tivrel.ovl";
    const std::string dir = ProgramFolder();
    if (!dir.empty()) {
        for (const char* relative : {"tivrel.ovl", "../share/tivrel/tivrel.ovl"})
            if (FileExists(dir + relative))
                return dir + relative;
    }
    return "";
}

std::string BuildHelp()
{
    std::string text = "The manifest, tivrel.toml in the content folder, has one table per entry, e.g.\n"
                       "  [\"euf0010.scx\"]\n  source = \"pictures/euf0010.png\"\n  dither = 0.5\n"
                       "Entries and the keys they take:\n";
    for (int i = 0; i < DataEntryCount; i++) {
        char line[160];
        snprintf(line, sizeof line, "  %-12s %s\n", DataEntries[i].name, ManifestKeys(DataEntries[i].kind));
        text += line;
    }
    return text;
}

int CmdBuild(const char* dir, const char* outPath, const char* basePath, bool force)
{
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        return Fail(std::string("not a content folder: ") + dir);
    fs::path manifestPath = fs::path(dir) / ManifestName;
    Bytes text;
    std::string why;
    if (!ReadSource(manifestPath, &text, &why))
        return Fail(why + " (a content folder holds tivrel.toml)");
    Manifest manifest;
    if (!ParseManifest(std::string(text.begin(), text.end()), manifestPath.string(), &manifest, &why))
        return Fail(why);

    std::string base = basePath && basePath[0] ? basePath : DefaultBasePath();
    std::unique_ptr<Archive> archive;
    if (base != "none" && !base.empty()) {
        archive = std::make_unique<Archive>();
        if (!ArchiveOpenFile(archive.get(), base.c_str()))
            return Fail(std::string("base data file: ") + ArchiveError(archive.get()));
    }

    FILE* report = strcmp(outPath, "-") == 0 ? stderr : stdout;
    PrintTextFailures(false);   // a missing font is reported with its manifest line
    std::vector<OverlayInput> built;
    BuildCache cache;
    OpenBuildCache(&cache, dir);
    BuildContext context{&manifest, fs::path(dir), archive.get(), &built, &cache};
    // The plan first: the music's report says which scenes its orders reach under it.
    PlanEntry plan;
    std::string planDetail;
    if (manifest.plan.present) {
        MadeEntry music;
        if (!MakeEntry(context, base, DataEntries[0], &music, &why) ||
            !MakePlanEntry(manifest, music.bytes, &plan, &planDetail, &why))
            return Fail(why);
        UsePlanLimits(plan.limits);
    }
    for (int k = 0; k < DataEntryCount; k++) {
        const DataEntry& d = DataEntries[k];
        MadeEntry made;
        if (!MakeEntry(context, base, d, &made, &why))
            return Fail(why);
        if (made.bytes.size() < DataEntryNeeds(d))
            return Fail(std::string(d.name) + " would hold " + std::to_string(made.bytes.size()) +
                        " bytes; the demo reads " + std::to_string(DataEntryNeeds(d)));
        fprintf(report, "%-12s %-9s %s\n", d.name, made.how, made.detail.c_str());
        built.push_back({d.name, std::move(made.bytes)});
    }
    if (manifest.plan.present) {
        fprintf(report, "%-12s %-9s %s\n", PlanEntryName, "generated", planDetail.c_str());
        built.push_back({PlanEntryName, EncodePlanEntry(plan)});
    }
    // Further entries of the base (not read by the demo) are kept; its plan only when
    // the manifest has none.
    for (uint32_t i = 0; archive && i < ArchiveEntryCount(archive.get()); i++) {
        const OverlayEntry* e = ArchiveEntry(archive.get(), int32_t(i));
        std::string name(e->name, strnlen(e->name, OverlayNameBytes));
        if (FindDataEntry(name.c_str()) || (manifest.plan.present && name == PlanEntryName))
            continue;
        OverlayInput extra{name, {}};
        if (!ArchiveDecodeEntry(archive.get(), int32_t(i), &extra.data))
            return Fail(base + ": " + name + ": " + ArchiveError(archive.get()));
        built.push_back(std::move(extra));
    }
    // Streams of unchanged entries from the cache; the others packed and kept there.
    std::vector<Bytes> streams(built.size());
    for (size_t i = 0; i < built.size(); i++)
        FindPackedStream(&cache, built[i].name, built[i].data, &streams[i]);
    std::vector<bool> cached(built.size());
    for (size_t i = 0; i < built.size(); i++)
        cached[i] = !streams[i].empty();
    Bytes file;
    if (!BuildOverlayWithStreams(built, &streams, &file, &why, 2))
        return Fail(why);
    for (size_t i = 0; i < built.size(); i++)
        if (!cached[i]) {
            cache.packed.insert(built[i].name);
            StorePackedStream(&cache, built[i].name, built[i].data, streams[i]);
        }
    // A new module or stereo separation is played once as the demo plays it: one that
    // cancels in mono is reported (check reports it every time).
    bool soundChanged = false;
    for (size_t i = 0; i < built.size(); i++)
        soundChanged =
            soundChanged || (!cached[i] && (built[i].name == DataEntries[0].name || built[i].name == PlanEntryName));
    const std::string mono = soundChanged ? MonoProblem(built[0].data.data(), built[0].data.size(),
                                                        manifest.plan.present ? plan.stereoSeparation : 0)
                                          : "";
    if (!mono.empty())
        fprintf(stderr, "ovltool: problem: music.s3m: %s\n", mono.c_str());
    if (!cache.folder.empty())
        fprintf(report, "cache: %s: %d of %zu entries packed before%s\n", cache.folder.c_str(),
                int(built.size() - cache.packed.size()), built.size(),
                cache.damaged > 0 ? (", " + std::to_string(cache.damaged) + " damaged files packed again").c_str()
                                  : "");
    if (strcmp(outPath, "-") == 0) {
        if (fwrite(file.data(), 1, file.size(), stdout) != file.size() || fflush(stdout) != 0)
            return Fail("cannot write to standard output");
        return 0;
    }
    SafeWriteResult written = SafeWritePath(outPath, file.data(), file.size(), force, &why);
    if (written == SafeWriteExists)
        return Fail(why + " (--force replaces it)");
    if (written != SafeWriteOk)
        return Fail(why);
    fprintf(report, "build: %s: %zu entries, %zu bytes\n", outPath, built.size(), file.size());
    return 0;
}
