// Working buffers of the demo. RunDemo allocates them once, in the order below,
// zero-fills them, and keeps them to the end of the process unless noted.
// The shared images of the kernels (CurrentMap, CurrentTexture, BackgroundImage,
// CurrentPalette, BigMap, MovementTable, TitlePicture, NamePicture, LyricsPicture)
// are declared in effects/effects.h, ObjectTexturePalette in engine3d/scenes3d.h;
// RunDemo allocates those too, in their place in the order.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t PaletteBytes = 768;
constexpr size_t TextureBytes = 65536;
constexpr size_t TexturePictureBytes = PaletteBytes + TextureBytes;   // palette, then 256x256 pixels
constexpr size_t MapBytes = 128000;           // 320x200 MapEntries
constexpr size_t MusicBufferBytes = 1048576;
constexpr size_t GroupsImageBytes = 2944000;  // 320 x 9,200

extern uint8_t* MusicBuffer;        // the module; loading packed area; released after loading
extern uint8_t* FrameBlock;         // 64,000: FrameBuffer of the 2D scenes
extern uint8_t* TextureEuf0010;     // TexturePicture; scene 17 reuses it for the closing picture
extern uint8_t* TextureEuf0011;
extern uint8_t* TextureEmp8g;
extern uint8_t* TextureEuf0009;
extern uint8_t* Texture18soh;
extern uint8_t* Texture7venus;
extern uint8_t* BackgroundMap;      // 320x200 MapEntries (backgr.dat)
extern uint8_t* GroupsImage;        // loading unpacked area, then groups.dat (320 x 9,200)
extern uint8_t* AngleRadiusMap[7];  // angrad1..7.dat; all but [5] released after scene 10
