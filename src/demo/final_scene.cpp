// Scene 16: the mesh drawn twice per frame, once textured and once flattened onto
// the height of its vertex 0 wearing a window of the scrolling greetings strip
// (composited into the upper half of the palette), over the 7venus texture seen
// through BackgroundMap displaced by the same strip. Scene 17: the closing picture.
#include "demo/final_scene.h"

#include <cstring>

#include "archive/archive.h"
#include "archive/content_rules.h"
#include "archive/scene_plan.h"
#include "core/bytes.h"
#include "demo/buffers.h"
#include "demo/scenes3d.h"
#include "demo/startup.h"
#include "effects/effects.h"
#include "effects/kernels.h"
#include "engine3d/mesh.h"
#include "engine3d/render.h"
#include "video/video.h"

namespace {

constexpr int FinalScene = 16;             // fades during its last order (its limit) from row 32
constexpr uint32_t StripStopTick = 4450;   // 2 x 4450 + 199 rows stay inside GroupsImage
constexpr uint32_t TurnTicks = 240;        // one turn per 4.8 s
constexpr int StripRowOffset = 36;         // second-pass texture rows below the map's rows
constexpr int StripColumnOffset = 32;
constexpr int FirstCompositedPixel = 100;
constexpr uint8_t SecondPassColourBase = 128;   // the second pass shows in the upper half of the palette
constexpr int GroupsStride = 320;

// Second pass buffers, allocated by the first set-up of scene 16 and kept.
uint8_t* SecondPassBlock;
uint8_t* SecondPassTexture;
TexCoord* SecondPassMapping;
uint8_t* SecondPassImage;

const TexCoord SecondPassCoords[8] = {{255, 127}, {255, 255}, {0, 0}, {0, 0}, {0, 127}, {0, 255}, {0, 0}, {0, 0}};
const int FlattenedVertices[4] = {2, 3, 6, 7};

// Saved from the first object at set-up.
TexCoord* SavedMapping;
uint32_t SavedMappingCount;
uint8_t* SavedTexture;
uint8_t* SavedTarget;
int32_t FirstPassHeight;
int32_t SecondPassHeight;
// Each object's own mapping, restored before release.
TexCoord* OwnMapping[MaxObjectsPerEntry];
uint32_t OwnMappingCount[MaxObjectsPerEntry];

void SetFlattenedHeight(int32_t height)
{
    for (int v : FlattenedVertices)
        ObjectTable[0]->vertices->entry[v].y = height;
}

void AllocateSecondPass()
{
    if (SecondPassBlock)
        return;
    SecondPassBlock = static_cast<uint8_t*>(EngineAlloc(TextureBlockBytes));
    uintptr_t start = reinterpret_cast<uintptr_t>(SecondPassBlock);
    SecondPassTexture = SecondPassBlock + (TextureAddressInBlock(start) - start);
    SecondPassMapping = static_cast<TexCoord*>(EngineAlloc(sizeof SecondPassCoords));
    memcpy(SecondPassMapping, SecondPassCoords, sizeof SecondPassCoords);
    SecondPassImage = static_cast<uint8_t*>(EngineAlloc(ScreenBytes));
}

}   // namespace

void DrawScene16()
{
    memset(FrameBuffer, 0, ScreenBytes);
    memset(SecondPassImage, 0, ScreenBytes);
    memset(SecondPassTexture, 0, 128 * 256);
    if (TickCounters[0].load() > StripStopTick)
        TickCounters[0].store(StripStopTick);

    uint32_t t = 0;
    for (int32_t i = 0; i < ObjectCount; i++) {
        MeshObject* object = ObjectTable[i];
        // One read of the clock per object, so a tick after the wrap test cannot
        // produce angle 360.
        uint32_t turn = TickCounters[1].load();
        if (turn >= TurnTicks) {
            TickCounters[1].store(0);
            turn = 0;
        }
        object->angleZ = object->angleY = int32_t(double(turn) * 1.5);

        object->mapping = SavedMapping;
        object->mappingCount = SavedMappingCount;
        object->texture = SavedTexture;
        object->target = SavedTarget;
        SetFlattenedHeight(FirstPassHeight);
        RenderObject(object);

        object->mapping = SecondPassMapping;
        object->mappingCount = 8;
        object->texture = SecondPassTexture;
        object->target = SecondPassImage;
        SetFlattenedHeight(SecondPassHeight);
        t = TickCounters[0].load();
        if (t > StripStopTick)   // a tick since the clamp above
            t = StripStopTick;
        for (int y = 0; y < 128; y++)
            memcpy(SecondPassTexture + (128 + y) * 256,
                   GroupsImage + size_t(2 * t + y + StripRowOffset) * GroupsStride + StripColumnOffset, 256);
        RenderObject(object);
        OverlayKernel(SecondPassImage + FirstCompositedPixel, FrameBuffer + FirstCompositedPixel,
                      ScreenBytes - FirstCompositedPixel, SecondPassColourBase);
    }

    for (int y = 0; y < ScreenHeight; y++) {
        const uint8_t* strip = GroupsImage + size_t(2 * t + y) * GroupsStride;
        const uint8_t* base = BackgroundMap + y * ScreenWidth * 2;
        uint8_t* map = CurrentMap + y * ScreenWidth * 2;
        // Both bytes of a pair as one little-endian word, each byte wrapping on its
        // own (the low byte's carry is masked off before the high byte's sum).
        for (int x = 0; x < ScreenWidth; x++) {
            const uint32_t shift = uint8_t(8 * strip[x]);
            const uint32_t pair = ReadLE16(base + 2 * x);
            WriteLE16(map + 2 * x, uint16_t(((pair + shift) & 0xFF) | ((pair & 0xFF00) + (shift << 8))));
        }
    }

    if (MusicPosition.order == ScenePlanLimit(FinalScene) && MusicPosition.row >= 32) {
        PaletteFade(Texture7venus, 2 * (MusicPosition.row - 32));
        SetPalette(CurrentPalette);
    }
    BackgroundEffect2();
    FillFromBackground();
}

void SetUpScene16()
{
    LoadMeshScene(6);
    MeshObject* first = ObjectTable[0];
    if (FinalMeshStops(first->vertices->count))
        FailExit("\376 The final scene's mesh needs at least 8 vertices!\n");

    FrameBuffer = first->target;
    memset(FrameBuffer, 0, ScreenBytes);
    SetCamera(first, *SceneMeshCamera(FinalScene));
    for (int32_t k = 1; k < ObjectCount; k++)
        CopyObjectParameters(0, uint8_t(k));
    memcpy(CurrentPalette, Texture7venus, PaletteBytes);
    memcpy(CurrentTexture, Texture7venus + PaletteBytes, TextureBytes);
    SetPalette(CurrentPalette);

    AllocateSecondPass();
    SavedMapping = first->mapping;
    SavedMappingCount = first->mappingCount;
    SavedTexture = first->texture;
    SavedTarget = first->target;
    FirstPassHeight = first->vertices->entry[2].y;
    SecondPassHeight = first->vertices->entry[0].y;
    for (int32_t k = 0; k < ObjectCount; k++) {
        OwnMapping[k] = ObjectTable[k]->mapping;
        OwnMappingCount[k] = ObjectTable[k]->mappingCount;
    }
    TickCounters[0].store(0);
    TickCounters[2].store(0);
    TickCounters[1].store(60);
}

void EndScene16()
{
    for (int32_t k = 0; k < ObjectCount; k++) {
        ObjectTable[k]->mapping = OwnMapping[k];
        ObjectTable[k]->mappingCount = OwnMappingCount[k];
    }
    MeshObject* first = ObjectTable[0];
    first->texture = SavedTexture;
    first->target = SavedTarget;
    ReleaseMeshScene(FrameBlock);
}

// The closing picture's palette and pixels, read into the storage of the euf0010
// TexturePicture, which no later scene uses.
static uint8_t* ClosingPalette() { return TextureEuf0010; }

void SetUpScene17()
{
    int32_t entry = ZOH_Open("thx.scx", 512);
    if (entry < 0)
        FailExit("\376 File not found!\n");
    RequireEntryBytes(entry, "thx.scx");
    uint8_t* palette = ClosingPalette();
    uint8_t* picture = palette + PaletteBytes;
    ZOH_Seek(entry, PicturePaletteOffset, 0);
    if (!ZOH_ReadCached(entry, palette, PaletteBytes) || !ZOH_ReadCached(entry, picture, ScreenBytes))
        FailWithArchiveReason();
    memset(CurrentPalette, 0, PaletteBytes);
    SetPalette(CurrentPalette);
    FrameBuffer = FrameBlock;
    memcpy(FrameBuffer, picture, ScreenBytes);
}

void DrawScene17()
{
    const uint8_t* palette = ClosingPalette();
    int row = MusicPosition.row;
    if (row < 16) {
        uint8_t level = uint8_t(4 * row);
        for (size_t c = 0; c < PaletteBytes; c++)
            if (palette[c] >= level)
                CurrentPalette[c] = level;
    }
    if (row >= 24)
        PaletteFade(palette, 3 * (row - 24));
    if (row >= 44)
        memset(CurrentPalette, 0, PaletteBytes);
    SetPalette(CurrentPalette);
}
