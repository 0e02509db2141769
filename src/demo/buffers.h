// Working buffers of the demo. RunDemo allocates them once, in the order below,
// zero-fills them, and keeps them to the end of the process unless noted.
// The shared images of the kernels (CurrentMap, CurrentTexture, BackgroundImage,
// CurrentPalette, BigMap, MovementTable, TitlePicture, NamePicture, LyricsPicture)
// are declared in effects/effects.h; RunDemo allocates those too, in their place in
// the order.
#pragma once
#include <cstddef>
#include <cstdint>

#include "archive/content_format.h"

constexpr size_t MusicBufferBytes = MusicReadBytes;
constexpr size_t GroupsImageBytes = StripBytes;   // 320 x 9,200

extern uint8_t* MusicBuffer;      // the module; loading packed area; released after loading
extern uint8_t* FrameBlock;       // 64,000: FrameBuffer of the 2D scenes
extern uint8_t* TextureEuf0010;   // TexturePicture; scene 17 reuses it for the closing picture
extern uint8_t* TextureEuf0011;
extern uint8_t* TextureEmp8g;
extern uint8_t* TextureEuf0009;
extern uint8_t* Texture18soh;
extern uint8_t* Texture7venus;
extern uint8_t* BackgroundMap;          // 320x200 MapEntries (backgr.dat)
extern uint8_t* GroupsImage;            // loading unpacked area, then groups.dat (320 x 9,200)
extern uint8_t* AngleRadiusMap[7];      // angrad1..7.dat; all but [5] released after scene 10
extern uint8_t* ObjectTexturePalette;   // 768: palette of the texture LoadObjectTexture read last

// The memory probe: 7,200,000 bytes allocated and released; when that fails, the two
// "ZDS_Error: Not enough memory!" lines and status 1.
void ProbeMemory();
// One zero-filled block into *slot; "\n not enough memory!\n" and status 1 when the
// allocation fails.
void AllocateZeroed(uint8_t** slot, size_t bytes);
// Every working buffer in table order, zero-filled; FrameBuffer designates FrameBlock.
void AllocateWorkingBuffers();
// After loading: MusicBuffer released, the two 100,000-byte scratch areas allocated
// (the first time) and given to the archive's cached reads.
void InstallScratchAreas();
// For a restart: the buffers the scenes write zero-filled again, the tunnel maps
// released between scenes allocated again (zeroed, for the loading list to fill),
// FrameBuffer back on FrameBlock.
void ClearWorkingBuffers();
// Between scenes 10 and 11: every AngleRadiusMap but map 6 released; map 6 copied
// into CurrentMap, the 3D scenes' background map.
void ReleaseTunnelMaps();
