// Start-up: memory probe, working buffers, loading list, timer and music start; the
// restart of a skip; RunDemo.
#include "demo/startup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/content_rules.h"
#include "archive/entries.h"
#include "archive/plan_entry.h"
#include "audio/audio.h"
#include "audio/module_info.h"
#include "core/fail.h"
#include "clock/tick_source.h"
#include "demo/buffers.h"
#include "demo/scene_table.h"
#include "effects/effects.h"
#include "video/video.h"

// Opens a loading-list entry; a missing entry ends the run with its name.
static int32_t OpenEntry(const char* name)
{
    int32_t entry = ZOH_Open(name, 512);
    if (entry < 0)
        FailExitf("ZOH_Open: %s not found", name);
    return entry;
}

namespace {

// The data file as the archive opened it: a descriptor of its own on the same file
// (a file replaced by a rename keeps being read as it was) and what fstat said.
struct DataFileStamp {
    int fd = -1;
    off_t size = 0;
    timespec modified{};
};
DataFileStamp DataStamp;

void StampDataFile(const char* path)
{
    if (DataStamp.fd >= 0)
        close(DataStamp.fd);
    DataStamp.fd = open(path, O_RDONLY | O_CLOEXEC);
    struct stat now;
    if (DataStamp.fd >= 0 && fstat(DataStamp.fd, &now) == 0) {
        DataStamp.size = now.st_size;
        DataStamp.modified = now.st_mtim;
    }
}

// Written to since it was opened: another size or modification time.
bool DataFileChanged()
{
    struct stat now;
    if (DataStamp.fd < 0 || fstat(DataStamp.fd, &now) != 0)
        return false;
    return now.st_size != DataStamp.size || now.st_mtim.tv_sec != DataStamp.modified.tv_sec ||
           now.st_mtim.tv_nsec != DataStamp.modified.tv_nsec;
}

}   // namespace

void RequireUnchangedDataFile(const char* name)
{
    if (DataFileChanged())
        FailExitf("ZOH_Read: %s changed while the demo played; entry \"%s\" is not read from it", overlayName, name);
}

void FailWithArchiveReason()
{
    if (DataFileChanged())
        FailExitf("ZOH_Read: %s changed while the demo played: %s", overlayName, ZOH_Error());
    FailExitf("%s", ZOH_Error());
}

void RequireEntryBytes(int32_t entry, const char* name)
{
    RequireUnchangedDataFile(name);
    // Packed streams are checked against their areas by the reader itself.
    const std::string problem = EntrySizeProblem(*FindDataEntry(name), 0, ZOH_EntrySize(entry));
    if (!problem.empty())
        FailExitf("ZOH_Read: %s %s", name, problem.c_str());
}

static void ReadEntry(int32_t entry, uint8_t* dest, uint32_t count)
{
    if (!ZOH_Read(entry, dest, count))
        FailWithArchiveReason();
}

// One entry of the entry table: the skip from its start, then one or two reads
// (a palette, then the pixels) into consecutive bytes of `dest`.
static void LoadEntry(const DataEntry& entry, uint8_t* dest)
{
    int32_t index = OpenEntry(entry.name);
    RequireEntryBytes(index, entry.name);
    if (entry.skip != 0)
        ZOH_Seek(index, entry.skip, 0);
    ReadEntry(index, dest, entry.reads[0]);
    if (entry.reads[1] != 0)
        ReadEntry(index, dest + entry.reads[0], entry.reads[1]);
}

// Destinations of the loading list, in the entry table's order after the music.
static uint8_t** const LoadingDestinations[] = {
    &BigMap,
    &AngleRadiusMap[0],
    &AngleRadiusMap[1],
    &AngleRadiusMap[2],
    &AngleRadiusMap[3],
    &AngleRadiusMap[4],
    &AngleRadiusMap[5],
    &AngleRadiusMap[6],
    &TitlePicture,
    &NamePicture[0],
    &NamePicture[1],
    &NamePicture[2],
    &MovementTable,
    &TextureEuf0009,
    &TextureEuf0010,
    &TextureEuf0011,
    &TextureEmp8g,
    &Texture18soh,
    &Texture7venus,
    &LyricsPicture,
    &BackgroundMap,
    &GroupsImage,
};
constexpr int LoadingListEntries = int(sizeof LoadingDestinations / sizeof LoadingDestinations[0]);

// Entries 1..22 of the table: the loading list. groups.dat comes last because it
// is decompressed into its own destination, the loading unpacked area.
static void LoadDataEntries()
{
    for (int i = 0; i < LoadingListEntries; i++)
        LoadEntry(DataEntries[1 + i], *LoadingDestinations[i]);
}

bool UseDataFilePlan(const char* path, std::string* error)
{
    Archive archive;
    PlanEntry plan;
    bool present = false;
    if (ArchiveOpenFile(&archive, path) && !ReadPlanEntry(&archive, &plan, &present, error)) {
        *error = std::string(path) + ": " + *error;
        return false;
    }
    UsePlanLimits(plan.limits);
    SetMusicStereoSeparation(plan.stereoSeparation);
    return true;
}

namespace {

// The music entry of an open archive as the demo reads it: MusicReadBytes, zeros
// after the module. False with the archive's reason.
bool DecodeMusicEntry(Archive* archive, std::vector<uint8_t>* music, std::string* error)
{
    const int32_t entry = ArchiveFind(archive, DataEntries[0].name);
    if (entry < 0 || !ArchiveDecodeEntry(archive, entry, music)) {
        *error = entry < 0 ? std::string(DataEntries[0].name) + " not found" : ArchiveError(archive);
        return false;
    }
    music->resize(std::max<size_t>(music->size(), MusicReadBytes), 0);
    return true;
}

// Every entry of the entry table in `archive`, each holding what the demo reads.
bool EntriesComplete(Archive* archive, std::string* error)
{
    for (int i = 0; i < DataEntryCount; i++) {
        const DataEntry& row = DataEntries[i];
        const int32_t entry = ArchiveFind(archive, row.name);
        if (entry < 0) {
            *error = std::string(row.name) + " not found";
            return false;
        }
        const OverlayEntry* record = ArchiveEntry(archive, entry);
        const std::string problem = EntrySizeProblem(row, record->packedSize, record->unpackedSize);
        if (!problem.empty()) {
            *error = std::string(row.name) + " " + problem;
            return false;
        }
    }
    return true;
}

}   // namespace

bool SwitchDemoData(const char* path, std::string* error)
{
    Archive next, current;
    PlanEntry plan;
    bool present = false;
    std::vector<uint8_t> music, playing;
    if (!ArchiveOpenFile(&next, path)) {
        *error = ArchiveError(&next);
        return false;
    }
    if (!EntriesComplete(&next, error) || !ReadPlanEntry(&next, &plan, &present, error) ||
        !DecodeMusicEntry(&next, &music, error))
        return false;
    const bool sameMusic =
        ArchiveOpenFile(&current, overlayName) && DecodeMusicEntry(&current, &playing, error) && playing == music;
    ModuleInfo module;
    if (!sameMusic && (!InspectModule(music.data(), music.size(), &module, nullptr) || module.orderCount <= 0)) {
        *error = MusicRefusedLine;
        return false;
    }
    if (!ZOH_OpenFile(path)) {
        *error = ZOH_Error();
        ZOH_OpenFile(overlayName);
        return false;
    }
    StampDataFile(path);
    if (!sameMusic)
        LoadMusic(music.data(), uint32_t(music.size()));
    overlayName = path;
    UsePlanLimits(plan.limits);
    SetMusicStereoSeparation(plan.stereoSeparation);
    return true;
}

// ------------------------------------------------------------------ RunDemo

void StartDemo(int firstScene)
{
    if (overlayName == nullptr || overlayName[0] == '\0')
        overlayName = "tivrel.ovl";
    InitWaveTables();

    ProbeMemory();
    AllocateWorkingBuffers();

    std::string planError;
    if (!UseDataFilePlan(overlayName, &planError))
        FailExitf("%s", planError.c_str());
    ZOH_SetLoadingAreas(MusicBuffer, MusicBufferBytes, GroupsImage, GroupsImageBytes);
    if (!ZOH_Init())
        FailExitf("%s", ZOH_Error());
    StampDataFile(overlayName);
    LoadEntry(DataEntries[0], MusicBuffer);
    StartFrameTimer();
    if (!LoadMusic(MusicBuffer, MusicBufferBytes))
        FailExit(MusicRefusedLine);
    std::fputs("ZVS_Init: Zerith Video System initializing.\n", stdout);
    std::fputs("ZVS_Init: Set 320x200 256 color mode.\n", stdout);
    std::fputs("ZOH_Init: Decompressing datas.\n", stdout);
    std::fflush(stdout);
    std::memset(MusicBuffer, 0, MusicBufferBytes);

    LoadDataEntries();
    InstallScratchAreas();

    std::memcpy(CurrentPalette, TextureEuf0010, PaletteBytes);
    std::memcpy(CurrentTexture, TextureEuf0010 + PaletteBytes, TextureBytes);

    if (firstScene > 1)
        SetMusicStartOrder(SceneLimit(SceneTable, SceneTableRows, firstScene - 1));
    StartMusic(StartupOptions.soundOn != 0);
}

void RestartDemoAt(int scene)
{
    PauseMusic();
    for (int i = 0; i < 3; i++)
        TickCounters[i].store(0);
    // Every buffer as AllocateWorkingBuffers left it (maps freed between scenes come
    // back), then the loading list again through a loading area of its own.
    uint8_t* loadingArea = nullptr;
    AllocateZeroed(&loadingArea, MusicBufferBytes);
    ClearWorkingBuffers();
    ZOH_SetLoadingAreas(loadingArea, MusicBufferBytes, GroupsImage, GroupsImageBytes);
    LoadDataEntries();
    InstallScratchAreas();
    std::free(loadingArea);
    std::memset(WorkingWave, 0, sizeof WorkingWave);
    std::memset(TargetWave, 0, sizeof TargetWave);
    static const uint8_t black[PaletteBytes] = {};
    SetPalette(black);
    std::memcpy(CurrentPalette, TextureEuf0010, PaletteBytes);
    std::memcpy(CurrentTexture, TextureEuf0010 + PaletteBytes, TextureBytes);
    RestartMusicAt(scene > 1 ? SceneLimit(SceneTable, SceneTableRows, scene - 1) : 0);
}

namespace {

void RestartHook(int scene, void*) { RestartDemoAt(scene); }

int FirstSceneOf(int scene)
{
    return scene < 1                                        ? 1
           : scene > SceneCount(SceneTable, SceneTableRows) ? SceneCount(SceneTable, SceneTableRows)
                                                            : scene;
}

}   // namespace

void BeginDemo(FrameLoop* loop, int firstScene, DemoHooks hooks)
{
    const int first = FirstSceneOf(firstScene);
    StartDemo(first);
    hooks.restart = RestartHook;
    BeginFrameLoop(loop, SceneTable, SceneTableRows, first, hooks);
}

DemoEnd RunDemo(int firstScene, DemoHooks hooks)
{
    const int first = FirstSceneOf(firstScene);
    StartDemo(first);
    hooks.restart = RestartHook;
    return RunScenes(SceneTable, SceneTableRows, first, hooks);
}
