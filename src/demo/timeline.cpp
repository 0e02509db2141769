// RunDemo: memory probe, working buffers, loading list, timer and music start, then
// the scene table against the music order.
#include "demo/timeline.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "archive/archive.h"
#include "archive/content_rules.h"
#include "archive/entries.h"
#include "audio/audio.h"
#include "core/fail.h"
#include "demo/buffers.h"
#include "demo/demo.h"
#include "effects/effects.h"
#include "video/video.h"

uint8_t* MusicBuffer = nullptr;
uint8_t* FrameBlock = nullptr;
uint8_t* TextureEuf0010 = nullptr;
uint8_t* TextureEuf0011 = nullptr;
uint8_t* TextureEmp8g = nullptr;
uint8_t* TextureEuf0009 = nullptr;
uint8_t* Texture18soh = nullptr;
uint8_t* Texture7venus = nullptr;
uint8_t* BackgroundMap = nullptr;
uint8_t* GroupsImage = nullptr;
uint8_t* AngleRadiusMap[7] = {};
uint8_t* ObjectTexturePalette = nullptr;

int DemoStartScene = 1;

constexpr size_t MemoryProbeBytes = 7200000;

static uint8_t* ScratchPacked = nullptr;
static uint8_t* ScratchUnpacked = nullptr;

// ------------------------------------------------------------------ start-up

static void ProbeMemory()
{
    // Written through a volatile pointer so the allocation really happens.
    uint8_t* volatile probe = static_cast<uint8_t*>(std::malloc(MemoryProbeBytes));
    if (probe == nullptr) {
        std::fputs("ZDS_Error: Not enough memory!\n", stdout);
        FailExit("ZDS_DeInit: Zerith Demo System deinitializing.\n");
    }
    probe[0] = 0;
    std::free(probe);
}

// Allocates one zero-filled working buffer.
static void AllocateZeroed(uint8_t** slot, size_t bytes)
{
    *slot = static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (*slot == nullptr)
        FailExit("\n not enough memory!\n");
}

static void AllocateWorkingBuffers()
{
    struct Buffer {
        uint8_t** slot;
        size_t bytes;
    };
    const Buffer buffers[] = {
        {&MusicBuffer, MusicBufferBytes},
        {&FrameBlock, ScreenBytes},
        {&BackgroundImage, ScreenBytes},
        {&CurrentPalette, PaletteBytes},
        {&CurrentTexture, TextureBytes},
        {&TextureEuf0010, TexturePictureBytes},
        {&ObjectTexturePalette, PaletteBytes},
        {&TextureEuf0011, TexturePictureBytes},
        {&TextureEmp8g, TexturePictureBytes},
        {&TextureEuf0009, TexturePictureBytes},
        {&Texture18soh, TexturePictureBytes},
        {&Texture7venus, TexturePictureBytes},
        {&BackgroundMap, MapBytes},
        {&GroupsImage, GroupsImageBytes},
        {&CurrentMap, MapBytes},
        {&AngleRadiusMap[0], MapBytes},
        {&AngleRadiusMap[1], MapBytes},
        {&AngleRadiusMap[2], MapBytes},
        {&AngleRadiusMap[3], MapBytes},
        {&AngleRadiusMap[4], MapBytes},
        {&AngleRadiusMap[5], MapBytes},
        {&AngleRadiusMap[6], MapBytes},
        {&TitlePicture, ScreenBytes},
        {&BigMap, BigMapBytes},
        {&NamePicture[0], ScreenBytes},
        {&NamePicture[1], ScreenBytes},
        {&NamePicture[2], ScreenBytes},
        {&MovementTable, MovementTableBytes},
        {&LyricsPicture, ScreenBytes},
    };
    for (const Buffer& b : buffers)
        AllocateZeroed(b.slot, b.bytes);
    FrameBuffer = FrameBlock;
}

// Opens a loading-list entry; a missing entry ends the run with its name.
static int32_t OpenEntry(const char* name)
{
    int32_t entry = ZOH_Open(name, 512);
    if (entry < 0)
        FailExitf("ZOH_Open: %s not found", name);
    return entry;
}

void FailWithArchiveReason() { FailExitf("%s", ZOH_Error()); }

void RequireEntryBytes(int32_t entry, const char* name)
{
    // Packed streams are checked against their areas by the reader itself.
    const std::string problem = EntrySizeProblem(*FindDataEntry(name), 0, ZOH_EntrySize(entry));
    if (!problem.empty())
        FailExitf("ZOH_Read: %s %s", name, problem.c_str());
}

static void ReadEntry(int32_t entry, uint8_t* dest, uint32_t count)
{
    if (ZOH_Read(entry, dest, count) != 0)
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

static void InstallScratchAreas()
{
    std::free(MusicBuffer);
    MusicBuffer = nullptr;
    AllocateZeroed(&ScratchPacked, ScratchAreaBytes);
    AllocateZeroed(&ScratchUnpacked, ScratchAreaBytes);
    ZOH_SetScratch(ScratchPacked, ScratchUnpacked);
}

void ReleaseTunnelMaps()
{
    for (int i = 0; i < 7; ++i) {
        if (i == 5)
            continue;
        std::free(AngleRadiusMap[i]);
        AngleRadiusMap[i] = nullptr;
    }
    std::memcpy(CurrentMap, AngleRadiusMap[5], MapBytes);
}

// ------------------------------------------------------------------ RunDemo

void StartDemo(int firstScene)
{
    if (overlayName == nullptr || overlayName[0] == '\0')
        overlayName = "tivrel.ovl";
    InitWaveTables();

    ProbeMemory();
    AllocateWorkingBuffers();

    ZOH_SetLoadingAreas(MusicBuffer, MusicBufferBytes, GroupsImage, GroupsImageBytes);
    if (ZOH_Init() != 0)
        FailExitf("%s", ZOH_Error());
    LoadEntry(DataEntries[0], MusicBuffer);
    StartFrameTimer();
    if (LoadMusic(MusicBuffer, MusicBufferBytes) != 0)
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
    StartMusic(StartupOptions.soundOn != 0 ? 1 : 0);
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
    for (uint8_t** slot : {&FrameBlock, &BackgroundImage, &CurrentPalette, &CurrentTexture, &ObjectTexturePalette,
                           &CurrentMap, &ScratchPacked, &ScratchUnpacked})
        std::memset(*slot, 0,
                    *slot == CurrentMap                                        ? MapBytes
                    : *slot == CurrentPalette || *slot == ObjectTexturePalette ? PaletteBytes
                    : *slot == CurrentTexture                                  ? TextureBytes
                    : *slot == ScratchPacked || *slot == ScratchUnpacked       ? ScratchAreaBytes
                                                                               : ScreenBytes);
    for (uint8_t*& map : AngleRadiusMap)
        if (map == nullptr)
            AllocateZeroed(&map, MapBytes);
    ZOH_SetLoadingAreas(loadingArea, MusicBufferBytes, GroupsImage, GroupsImageBytes);
    LoadDataEntries();
    ZOH_SetScratch(ScratchPacked, ScratchUnpacked);
    std::free(loadingArea);
    FrameBuffer = FrameBlock;
    std::memset(WorkingWave, 0, sizeof WorkingWave);
    std::memset(TargetWave, 0, sizeof TargetWave);
    static const uint8_t black[PaletteBytes] = {};
    SetPalette(black);
    std::memcpy(CurrentPalette, TextureEuf0010, PaletteBytes);
    std::memcpy(CurrentTexture, TextureEuf0010 + PaletteBytes, TextureBytes);
    RestartMusicAt(scene > 1 ? SceneLimit(SceneTable, SceneTableRows, scene - 1) : 0);
}

DemoEnd RunDemo()
{
    const int first = DemoStartScene < 1 ? 1 : DemoStartScene;
    StartDemo(first);
    SceneRestart = RestartDemoAt;
    return RunScenes(SceneTable, SceneTableRows, first);
}
