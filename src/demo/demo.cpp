// RunDemo: memory probe, working buffers, loading list, timer and music start, then
// scenes 1 to 17 against the music order.
#include "demo/demo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/archive.h"
#include "audio/audio.h"
#include "demo/buffers.h"
#include "demo/final_scene.h"
#include "demo/scenes2d.h"
#include "effects/effects.h"
#include "demo/scenes3d.h"
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

int DemoStartScene = 1;

constexpr size_t MemoryProbeBytes = 7200000;
constexpr size_t ScratchBytes = 100000;
constexpr size_t PictureBytes = 64000;
constexpr size_t MovementTableBytes = 28672;
constexpr uint32_t PictureHeaderBytes = 10;
constexpr uint32_t PicturePixelsSkip = PictureHeaderBytes + PaletteBytes;   // 778

static uint8_t* ScratchPacked = nullptr;
static uint8_t* ScratchUnpacked = nullptr;

// Largest reported order at which each scene (1..17) keeps running; scene 2 is
// the last of its three parts.
static const int SceneLimits[18] = {0, 6, 12, 16, 18, 20, 22, 24, 26, 28, 30, 34, 38, 42, 46, 51, 63, 64};

int SceneLimit(int scene) {
    return scene >= 1 && scene <= 17 ? SceneLimits[scene] : 0;
}

// ------------------------------------------------------------------ start-up

[[noreturn]] static void FailLine(const char* line) {
    std::fputs(line, stdout);
    std::fflush(stdout);
    std::exit(1);
}

static void ProbeMemory() {
    // Written through a volatile pointer so the allocation really happens.
    uint8_t* volatile probe = static_cast<uint8_t*>(std::malloc(MemoryProbeBytes));
    if (probe == nullptr) {
        std::fputs("ZDS_Error: Not enough memory!\n", stdout);
        FailLine("ZDS_DeInit: Zerith Demo System deinitializing.\n");
    }
    probe[0] = 0;
    std::free(probe);
}

// Allocates one zero-filled working buffer.
static void AllocateZeroed(uint8_t** slot, size_t bytes) {
    *slot = static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (*slot == nullptr)
        FailLine("\n not enough memory!\n");
}

static void AllocateWorkingBuffers() {
    struct Buffer {
        uint8_t** slot;
        size_t bytes;
    };
    const Buffer buffers[] = {
        {&MusicBuffer, MusicBufferBytes},
        {&FrameBlock, PictureBytes},
        {&BackgroundImage, PictureBytes},
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
        {&TitlePicture, PictureBytes},
        {&BigMap, 512000},
        {&NamePicture[0], PictureBytes},
        {&NamePicture[1], PictureBytes},
        {&NamePicture[2], PictureBytes},
        {&MovementTable, MovementTableBytes},
        {&LyricsPicture, PictureBytes},
    };
    for (const Buffer& b : buffers)
        AllocateZeroed(b.slot, b.bytes);
    FrameBuffer = FrameBlock;
}

// Opens a loading-list entry; a missing entry ends the run with its name.
static int32_t OpenEntry(const char* name) {
    int32_t entry = ZOH_Open(name, 512);
    if (entry < 0) {
        std::printf("ZOH_Open: %s not found\n", name);
        std::fflush(stdout);
        std::exit(1);
    }
    return entry;
}

static void ReadEntry(int32_t entry, uint8_t* dest, uint32_t count) {
    if (ZOH_Read(entry, dest, count) != 0) {
        std::printf("%s\n", ZOH_Error());
        std::fflush(stdout);
        std::exit(1);
    }
}

// One loading-list entry: optional skip from its start, then one or two reads.
static void LoadEntry(const char* name, uint32_t skip, uint8_t* dest, uint32_t count,
                      uint8_t* dest2 = nullptr, uint32_t count2 = 0) {
    int32_t entry = OpenEntry(name);
    if (skip != 0)
        ZOH_Seek(entry, skip, 0);
    ReadEntry(entry, dest, count);
    if (dest2 != nullptr)
        ReadEntry(entry, dest2, count2);
}

static void LoadTexturePicture(const char* name, uint8_t* picture) {
    LoadEntry(name, PictureHeaderBytes, picture, PaletteBytes, picture + PaletteBytes, TextureBytes);
}

static void LoadDataEntries() {
    LoadEntry("bigang.dat", 0, BigMap, 512000);
    static const char* const mapNames[7] = {"angrad1.dat", "angrad2.dat", "angrad3.dat", "angrad4.dat",
                                            "angrad5.dat", "angrad6.dat", "angrad7.dat"};
    for (int i = 0; i < 7; ++i)
        LoadEntry(mapNames[i], 0, AngleRadiusMap[i], MapBytes);
    LoadEntry("tivrel.scx", PicturePixelsSkip, TitlePicture, PictureBytes);
    LoadEntry("name1.scx", PicturePixelsSkip, NamePicture[0], PictureBytes);
    LoadEntry("name2.scx", PicturePixelsSkip, NamePicture[1], PictureBytes);
    LoadEntry("name3.scx", PicturePixelsSkip, NamePicture[2], PictureBytes);
    LoadEntry("movement.dat", 0, MovementTable, MovementTableBytes);
    LoadTexturePicture("euf0009.scx", TextureEuf0009);
    LoadTexturePicture("euf0010.scx", TextureEuf0010);
    LoadTexturePicture("euf0011.scx", TextureEuf0011);
    LoadTexturePicture("8emp_g.scx", TextureEmp8g);
    LoadTexturePicture("18soh.scx", Texture18soh);
    LoadTexturePicture("7venus.scx", Texture7venus);
    LoadEntry("lyrics.scx", PicturePixelsSkip, LyricsPicture, PictureBytes);
    LoadEntry("backgr.dat", 0, BackgroundMap, MapBytes);
    LoadEntry("groups.dat", 0, GroupsImage, GroupsImageBytes);
}

static void InstallScratchAreas() {
    std::free(MusicBuffer);
    MusicBuffer = nullptr;
    AllocateZeroed(&ScratchPacked, ScratchBytes);
    AllocateZeroed(&ScratchUnpacked, ScratchBytes);
    ZOH_SetScratch(ScratchPacked, ScratchUnpacked);
}

// Between scenes 10 and 11: only map 6 stays, as the 3D scenes' background map.
static void ReleaseTunnelMaps() {
    for (int i = 0; i < 7; ++i) {
        if (i == 5)
            continue;
        std::free(AngleRadiusMap[i]);
        AngleRadiusMap[i] = nullptr;
    }
    std::memcpy(CurrentMap, AngleRadiusMap[5], MapBytes);
}

// ------------------------------------------------------------------ RunDemo

void RunDemo() {
    if (overlayName == nullptr || overlayName[0] == '\0')
        overlayName = "tivrel.ovl";
    InitWaveTables();

    ProbeMemory();
    AllocateWorkingBuffers();

    ZOH_SetLoadingAreas(MusicBuffer, MusicBufferBytes, GroupsImage, GroupsImageBytes);
    if (ZOH_Init() != 0) {
        std::printf("%s\n", ZOH_Error());
        std::fflush(stdout);
        std::exit(1);
    }
    LoadEntry("music.s3m", 0, MusicBuffer, MusicBufferBytes);
    StartFrameTimer();
    if (LoadMusic(MusicBuffer, MusicBufferBytes) != 0)
        FailLine("ZDS_Error: music.s3m is not a playable S3M module!\n");
    std::fputs("ZVS_Init: Zerith Video System initializing.\n", stdout);
    std::fputs("ZVS_Init: Set 320x200 256 color mode.\n", stdout);
    std::fputs("ZOH_Init: Decompressing datas.\n", stdout);
    std::fflush(stdout);
    std::memset(MusicBuffer, 0, MusicBufferBytes);

    LoadDataEntries();
    InstallScratchAreas();

    std::memcpy(CurrentPalette, TextureEuf0010, PaletteBytes);
    std::memcpy(CurrentTexture, TextureEuf0010 + PaletteBytes, TextureBytes);

    const int first = DemoStartScene < 1 ? 1 : DemoStartScene;
    if (first > 1)
        SetMusicStartOrder(SceneLimit(first - 1));
    StartMusic(StartupOptions.soundOn != 0 ? 1 : 0);

    for (int scene = 1; scene <= 10; ++scene)
        RunTunnelScene(scene, scene >= first);

    ReleaseTunnelMaps();
    Emp8gPicture = TextureEmp8g;
    for (int scene = 11; scene <= 15; ++scene)
        RunMeshScene(scene, scene >= first);
    RunFinalScene(16 >= first);
    RunClosingPicture(17 >= first);
}
