#include "ovltool/check.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/archive.h"
#include "archive/content_format.h"
#include "archive/content_rules.h"
#include "archive/entries.h"
#include "archive/plan_entry.h"
#include "audio/module_info.h"
#include "core/bytes.h"
#include "core/printable.h"
#include "engine3d/mesh.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    return line;
}

std::string Clock(double seconds)
{
    if (seconds < 0)
        seconds = 0;
    const int whole = int(seconds);
    return Printf("%d:%02d.%d", whole / 60, whole % 60, int((seconds - whole) * 10));
}

struct Findings {
    std::string body;                    // the entry table
    std::string music;                   // the music's scene table
    std::vector<std::string> problems;   // would stop the demo or show garbage
    std::vector<std::string> warnings;   // plays, but not as the maker may expect

    void Problem(const std::string& name, const std::string& what, const std::string& fix)
    {
        problems.push_back(name + ": " + what + ". " + fix);
    }
    void Warning(const std::string& name, const std::string& what, const std::string& fix)
    {
        warnings.push_back(name + ": " + what + ". " + fix);
    }
};

const char* AreaName(const DataEntry& entry) { return entry.area == LoadingArea ? "loading" : "scratch"; }

std::string SizeFix(const DataEntry& entry, bool tooShort)
{
    if (tooShort)
        return "Rebuild the entry at the size the demo reads (ovltool build).";
    if (entry.kind == EntryMusic)
        return "Shorten the module or use fewer or shorter samples (at most 1,048,576 bytes).";
    if (entry.kind == EntryMesh)
        return "Use fewer triangles (ovltool build simplifies a mesh to fit).";
    if (entry.area == ScratchArea)
        return "Entries read while the music plays must stay within 100,000 bytes packed and unpacked; give the "
               "picture larger areas of one colour so it packs smaller.";
    return "Entries read at start-up must pack into the 1,048,576-byte loading area; give it more repetition "
           "(larger areas of one value, less noise).";
}

void CheckPixels(const DataEntry& entry, const Bytes& data, Findings* f)
{
    if (entry.kind != EntryTexture && entry.kind != EntryPicture && entry.kind != EntryOverlay &&
        entry.kind != EntryStrip)
        return;
    const bool ownPalette = entry.kind == EntryTexture || entry.kind == EntryPicture;
    if (ownPalette) {
        const int bad = FirstBadPaletteByte(data.data() + PicturePaletteOffset);
        if (bad >= 0)
            f->Problem(entry.name,
                       Printf("palette colour %d has a component of %u; components are 0..63", bad / 3,
                              data[PicturePaletteOffset + size_t(bad)]),
                       "Store the palette in 6 bits per component (8-bit value / 4).");
    }
    const uint32_t offset = entry.kind == EntryStrip ? 0 : PicturePixelsOffset;
    const uint32_t count = entry.kind == EntryStrip ? StripBytes : entry.reads[entry.reads[1] != 0 ? 1 : 0];
    const PixelCounts counts = CountPixels(entry, data.data() + offset, count);
    std::string range = PixelRangeText(entry);
    std::string whose = entry.palette != nullptr ? std::string("; ") + entry.palette : "";
    if (counts.bad > 0)
        f->Problem(entry.name,
                   Printf("%u pixels use values the demo shows in other colours (the first: %d; allowed: %s%s)",
                          counts.bad, counts.firstBad, range.c_str(), whose.c_str()),
                   "Quantise the picture to the colours it may use (ovltool build does).");
    if (counts.low > 0)
        f->Warning(entry.name,
                   Printf("%u texels have value 0, which shows the background through the object", counts.low),
                   "Use values " + range + " where the object should be solid.");
}

void CheckMovement(const DataEntry& entry, const Bytes& data, Findings* f)
{
    uint32_t outside = 0;
    int first = -1;
    for (uint32_t r = 0; r < MovementRecords; r++) {
        const uint8_t* record = data.data() + size_t(r) * MovementRecordBytes;
        const int32_t x = int32_t(ReadLE32(record)), y = int32_t(ReadLE32(record + 4));
        if (x < 0 || x > MovementMaxX || y < 0 || y > MovementMaxY) {
            if (outside++ == 0)
                first = int(r);
        }
    }
    if (outside > 0)
        f->Warning(entry.name, Printf("%u records (the first: %d) lie outside 0..320 x 0..200", outside, first),
                   "The demo clamps them to the edge of the big map; keep x in 0..320 and y in 0..200.");
}

void CheckMesh(const DataEntry& entry, const Bytes& data, Findings* f, std::string* table)
{
    MeshFacts facts;
    std::string error;
    if (!ReadMeshFacts(data.data(), data.size(), &facts, &error)) {
        f->Problem(entry.name, "the demo's mesh reader refuses it: " + error,
                   "Convert the mesh with ovltool build (any format the assimp library reads).");
        return;
    }
    const MeshCamera& camera = *FindMeshCamera(entry.name);
    const double across = ScreenDiameter(camera, facts.radius);
    const double nearest = NearestScreenDiameter(camera, facts.radius);
    *table += Printf("  %-12s %5d %3d %8u %8u %9.1f %7.0f %7.0f\n", entry.name, camera.scene, facts.objects,
                     facts.vertices, facts.faces, facts.radius, across, nearest);
    if (camera.scene == 16) {
        if (FinalMeshStops(facts.firstVertices))
            f->Problem(entry.name,
                       Printf("the first object has %u vertices; the final scene stops the demo below %u",
                              facts.firstVertices, FinalMeshMinVertices),
                       "Use the 8-vertex box the scene flattens and maps (vertices 0-7: bit 0 right, bit 1 top, "
                       "bit 2 far).");
        else if (!facts.finalBoxProblem.empty())
            f->Problem(entry.name, "the first object " + facts.finalBoxProblem,
                       "Use the 8-vertex box the scene flattens and maps (vertices 0-7: bit 0 right, bit 1 top, "
                       "bit 2 far); ovltool build orders a box's corners so.");
        if (facts.objects > 1)
            f->Warning(entry.name,
                       Printf("%d objects; the scene flattens the first and draws the others with it", facts.objects),
                       "Merge the mesh into one object.");
    }
    if (nearest == 0)
        f->Problem(
            entry.name,
            Printf("reaches %.0f units from its centre; parts of it pass behind the eye (depth %d)", facts.radius,
                   camera.depthOffset + camera.viewDistance),
            Printf("Scale it down to about %.0f units (ovltool build fits meshes to their scene).", camera.fitRadius));
    else if (nearest > 2 * PictureWidth)
        f->Warning(entry.name, Printf("up to %.0f pixels across when turned, far wider than the screen", nearest),
                   Printf("Scale it to about %.0f units from its centre.", camera.fitRadius));
    else if (across < 16)
        f->Warning(entry.name, Printf("only about %.0f pixels across on screen", across),
                   Printf("Scale it to about %.0f units from its centre.", camera.fitRadius));
}

void CheckMono(const Bytes& data, const PlanEntry& plan, Findings* f)
{
    const std::string problem = MonoProblem(data.data(), data.size(), plan.stereoSeparation);
    if (!problem.empty())
        f->problems.push_back("music.s3m: " + problem);
}

void CheckMusic(const Bytes& data, const PlanEntry& plan, Findings* f)
{
    ModuleInfo info;
    std::string error;
    const bool loaded = InspectModule(data.data(), data.size(), &info, &error);
    const std::string problem = MusicProblem(loaded, info.orderCount);
    if (!problem.empty()) {
        f->Problem("music.s3m", problem, "Store a module the player plays (S3M, IT, XM, MOD...).");
        return;
    }
    f->music += Printf("\nmusic: %s module, %d orders, %s\n", info.format.c_str(), info.orderCount,
                       Clock(info.lengthSeconds).c_str());
    f->music +=
        std::string("plan in force: ") + PlanOriginText(plan.origin) +
        Printf("; scene 2's parts end at orders %d and %d; stereo separation %d%%%s\n", ScenePlan[1].partLimits[0],
               ScenePlan[1].partLimits[1], plan.stereoSeparation, plan.stereoSeparation == 0 ? " (mono)" : "");
    f->music += "  scene name                                    limit    start   length  orders\n";
    auto startOf = [&](int order) {
        return order < info.orderCount ? info.orderStartSeconds[size_t(order)] : info.lengthSeconds;
    };
    for (int i = 0; i < ScenePlanRows; i++) {
        const ScenePlanRow& row = ScenePlan[i];
        const int start = SceneStartOrder(row.scene);
        if (start >= info.orderCount) {
            f->music += Printf("  %5d %-40s %5d  %7s  one frame (the module has ended)\n", row.scene, row.title,
                               row.limit, Clock(info.lengthSeconds).c_str());
            continue;
        }
        const double begins = startOf(start), ends = startOf(row.limit);
        f->music += Printf("  %5d %-40s %5d  %7s  %7s  %6d\n", row.scene, row.title, row.limit, Clock(begins).c_str(),
                           Clock(ends - begins).c_str(), row.limit - start);
    }
    const double demoLength = startOf(ScenePlan[ScenePlanRows - 1].limit);
    f->music += "demo length: " + Clock(demoLength) + "\n";
    const int missing = FirstSceneNotReached(info.orderCount);
    if (missing != 0)
        f->Warning("music.s3m",
                   Printf("the module has %d orders and ends before scene %d starts (order %d); %s", info.orderCount,
                          missing, SceneStartOrder(missing),
                          missing == ScenePlanRows
                              ? "scene 17 shows one frame"
                              : ("scenes " + std::to_string(missing) + "-17 show one frame each").c_str()),
                   Printf("Write at least %d orders to play every scene, or let the demo fit its plan to the "
                          "module: [plan] fit = true in the manifest (the scene plan is in the README).",
                          SceneStartOrder(ScenePlanRows) + 1));
    CheckMono(data, plan, f);
}

}   // namespace

std::string MonoProblem(const uint8_t* module, size_t size, int separationPercent)
{
    MonoCheck mono;
    if (!MeasureMonoLoss(module, size, separationPercent, &mono) || !MonoCancels(mono))
        return "";
    const std::string channels = mono.surroundChannels > 0
                                     ? Printf("%d of its %d channels are", mono.surroundChannels, mono.channels)
                                     : std::string("channels (or notes, by the effect S91) are");
    const std::string level = mono.rmsAtSeparation <= -199
                                  ? Printf("silent (%.0f dB RMS in stereo)", mono.rmsStereo)
                                  : Printf("%.0f dB quieter than in stereo (%.0f dB against %.0f dB RMS)",
                                           mono.rmsStereo - mono.rmsAtSeparation, mono.rmsAtSeparation, mono.rmsStereo);
    return Printf("as the demo plays it (stereo separation %d%%%s) the module is %s: %s set to surround, which "
                  "plays phase-inverted on one side, so mono cancels it. ",
                  separationPercent, separationPercent == 0 ? ", mono" : "", level.c_str(), channels.c_str()) +
           "Set those channels to a pan position instead of surround (Impulse Tracker and Schism Tracker: the "
           "channel's pan on the panning screen, F11, shows S for surround; OpenMPT: the channel's Surround "
           "setting; in patterns, remove the effect S91), or play this data file in stereo: add [sound] "
           "stereo_separation = 100 to the manifest and build again.";
}

bool ReadMeshFacts(const uint8_t* bytes, size_t size, MeshFacts* facts, std::string* error)
{
    *facts = MeshFacts{};
    if (size > ScratchEntryBytes * 40) {
        *error = "too large to read";
        return false;
    }
    MemoryMeshInput input{bytes, uint32_t(size), 0};
    const char* reason = ParseMeshEntry(MemoryMeshSource(&input));
    if (reason != nullptr) {
        *error = reason;
        return false;
    }
    if (ObjectCount == 0) {
        *error = "it holds no triangle mesh";
        return false;
    }
    facts->objects = ObjectCount;
    double r2 = 0;
    for (int32_t k = 0; k < ObjectCount; k++) {
        const MeshObject* object = ObjectTable[k];
        facts->vertices += object->vertices->count;
        facts->faces += object->faces->count;
        for (uint32_t i = 0; i < object->vertices->count; i++) {
            const Point4& p = object->vertices->entry[i];
            const double x = p.x / 65536.0, y = p.y / 65536.0, z = p.z / 65536.0;
            r2 = std::max(r2, x * x + y * y + z * z);
        }
    }
    const MeshObject* first = ObjectTable[0];
    facts->firstVertices = first->vertices->count;
    facts->radius = std::sqrt(r2);
    facts->finalBoxProblem = FinalMeshProblem(&first->vertices->entry[0].x, first->vertices->count,
                                              first->mapping != nullptr ? first->mappingCount : 0);
    ReleaseObjectTable();
    return true;
}

int CheckDataFile(const std::string& path, std::string* report)
{
    Findings f;
    Archive archive;
    if (!ArchiveOpenFile(&archive, path.c_str())) {
        *report = "check: " + path + ": " + ArchiveError(&archive) + "\n";
        return 1;
    }
    // The data file's plan is the plan in force for everything below.
    PlanEntry plan;
    bool planPresent = false;
    std::string planError;
    if (!ReadPlanEntry(&archive, &plan, &planPresent, &planError))
        f.Problem(PlanEntryName, planError.substr(std::strlen(PlanEntryName) + 2) + "; the demo stops at start-up",
                  "Rebuild the data file (ovltool build writes the plan from the manifest's [plan]).");
    UsePlanLimits(plan.limits);
    f.body += "check: " + path + "\n";
    f.body += "  entry          packed unpacked area     scenes       pixel values\n";
    std::string meshTable;
    for (int k = 0; k < DataEntryCount; k++) {
        const DataEntry& entry = DataEntries[k];
        const int32_t index = ArchiveFind(&archive, entry.name);
        if (index < 0) {
            f.body += Printf("  %-12s  missing\n", entry.name);
            f.Problem(entry.name, "missing; the demo stops when it reads it",
                      "Add it (ovltool build takes whatever a manifest leaves out from a base data file).");
            continue;
        }
        const OverlayEntry* e = ArchiveEntry(&archive, index);
        std::string values;
        if (entry.kind == EntryTexture || entry.kind == EntryPicture || entry.kind == EntryOverlay ||
            entry.kind == EntryStrip)
            values = PixelRangeText(entry).substr(0, PixelRangeText(entry).find(','));
        std::string row = Printf("  %-12s %8u %8u %-8s %-12s %s", entry.name, e->packedSize, e->unpackedSize,
                                 AreaName(entry), entry.scenes, values.c_str());
        f.body += row.erase(row.find_last_not_of(' ') + 1) + "\n";
        const std::string sizeProblem = EntrySizeProblem(entry, e->packedSize, e->unpackedSize);
        if (!sizeProblem.empty()) {
            f.Problem(entry.name, sizeProblem, SizeFix(entry, e->unpackedSize < DataEntryNeeds(entry)));
            if (e->unpackedSize < DataEntryNeeds(entry) || e->unpackedSize > LoadingUnpackedLimit)
                continue;
        }
        Bytes data;
        if (!ArchiveDecodeEntry(&archive, index, &data)) {
            f.Problem(entry.name, std::string("does not decode: ") + ArchiveError(&archive),
                      "Rebuild the data file (ovltool build or pack).");
            continue;
        }
        if (entry.kind == EntryMusic)
            CheckMusic(data, plan, &f);
        else if (entry.kind == EntryMesh)
            CheckMesh(entry, data, &f, &meshTable);
        else if (entry.kind == EntryMovement)
            CheckMovement(entry, data, &f);
        else
            CheckPixels(entry, data, &f);
    }
    for (uint32_t i = 0; i < ArchiveEntryCount(&archive); i++) {
        const OverlayEntry* e = ArchiveEntry(&archive, int32_t(i));
        const std::string name(e->name, strnlen(e->name, OverlayNameBytes));
        if (name == PlanEntryName)
            f.body += Printf("  %-12s %8u %8u %-8s %-12s %s\n", PlanEntryName, e->packedSize, e->unpackedSize,
                             "start-up", "1-17", "the scene plan and stereo separation");
        else if (FindDataEntry(name.c_str()) == nullptr)
            f.Warning(Printable(name), "the demo never reads this entry", "Leave it out or check its name.");
    }
    if (!meshTable.empty())
        f.body += "\nmeshes (radius: model units from the turning point; pixels across at the centre's depth and "
                  "nearest)\n  entry        scene obj vertices    faces    radius  centre nearest\n" +
                  meshTable;
    f.body += f.music;

    std::string out = f.body;
    out += Printf("\n%zu problem%s, %zu warning%s\n", f.problems.size(), f.problems.size() == 1 ? "" : "s",
                  f.warnings.size(), f.warnings.size() == 1 ? "" : "s");
    for (const std::string& line : f.problems)
        out += "problem: " + line + "\n";
    for (const std::string& line : f.warnings)
        out += "warning: " + line + "\n";
    *report = out;
    return f.problems.empty() ? 0 : 1;
}
