// The working buffers: allocated once in their fixed order and zero-filled; the
// tunnel maps released between scenes 10 and 11 and brought back by a restart.
#include "demo/buffers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/archive.h"
#include "core/fail.h"
#include "core/shared.h"
#include "effects/effects.h"

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

namespace {

constexpr size_t MemoryProbeBytes = 7200000;

uint8_t* ScratchPacked = nullptr;
uint8_t* ScratchUnpacked = nullptr;

struct WorkingBuffer {
    uint8_t** slot;
    size_t bytes;
};

// In allocation order.
const WorkingBuffer WorkingBuffers[] = {
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

// Buffers that the scenes write and a restart clears, besides the ones the
// loading list fills again.
const WorkingBuffer ScratchedBuffers[] = {
    {&FrameBlock, ScreenBytes},         {&BackgroundImage, ScreenBytes},       {&CurrentPalette, PaletteBytes},
    {&CurrentTexture, TextureBytes},    {&ObjectTexturePalette, PaletteBytes}, {&CurrentMap, MapBytes},
    {&ScratchPacked, ScratchAreaBytes}, {&ScratchUnpacked, ScratchAreaBytes},
};

}   // namespace

void ProbeMemory()
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

void AllocateZeroed(uint8_t** slot, size_t bytes)
{
    *slot = static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (*slot == nullptr)
        FailExit("\n not enough memory!\n");
}

void AllocateWorkingBuffers()
{
    for (const WorkingBuffer& b : WorkingBuffers)
        AllocateZeroed(b.slot, b.bytes);
    FrameBuffer = FrameBlock;
}

void InstallScratchAreas()
{
    std::free(MusicBuffer);
    MusicBuffer = nullptr;
    if (ScratchPacked == nullptr) {
        AllocateZeroed(&ScratchPacked, ScratchAreaBytes);
        AllocateZeroed(&ScratchUnpacked, ScratchAreaBytes);
    }
    ZOH_SetScratch(ScratchPacked, ScratchUnpacked);
}

void ClearWorkingBuffers()
{
    for (const WorkingBuffer& b : ScratchedBuffers)
        std::memset(*b.slot, 0, b.bytes);
    for (uint8_t*& map : AngleRadiusMap)
        if (map == nullptr)
            AllocateZeroed(&map, MapBytes);
    FrameBuffer = FrameBlock;
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
