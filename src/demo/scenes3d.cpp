// The 3D scenes 11..15 and the mesh-scene loaders they share with the final scene.
#include "demo/scenes3d.h"

#include <cstring>

#include "archive/archive.h"
#include "demo/buffers.h"
#include "demo/timeline.h"
#include "effects/effects.h"
#include "engine3d/mesh.h"
#include "engine3d/render.h"
#include "video/video.h"

namespace {

struct MeshLoader {
    const char* meshEntry;
    const char* textureEntry;
    uint8_t mode;
};

const MeshLoader MeshLoaders[6] = {
    {"star.3ds", "23mview.scx", ModeEnvironment}, {"jo2.3ds", "11cont.scx", ModeEnvironment},
    {"jo6.3ds", "23mview2.scx", ModeEnvironment}, {"part5.3ds", "18soh3d.scx", ModeEnvironment},
    {"new4.3ds", "15mview.scx", ModeEnvironment}, {"stucco1.3ds", "14soh.scx", ModeTextured},
};

// Scenes 11..15: palette colours 0..85 (and the background texture) from the
// 8emp_g picture or the object's own texture; angleX driven too; the fade.
struct MeshSceneSetup {
    int loader;
    bool emp8gBackground;
    bool turnX;
    uint8_t fadeOrder;   // the order during which the palette fades by the row (0: none)
};

const MeshSceneSetup MeshScenes[5] = {
    {1, false, false, 0}, {2, true, false, 0}, {3, false, true, 0}, {4, true, false, 0}, {5, false, false, 51},
};

constexpr uint32_t LowColourBytes = 258;   // palette colours 0..85

int ArchiveRead(void* context, void* dest, uint32_t count)
{
    return ZOH_ReadCached(*static_cast<int32_t*>(context), dest, count);
}

uint32_t ArchiveSeek(void* context, uint32_t offset, int whence)
{
    return ZOH_Seek(*static_cast<int32_t*>(context), offset, whence);
}

}   // namespace

void ReadMeshEntry(int32_t entry)
{
    // Decoding first: a stream that is bad, too large for the scratch areas or not
    // the size its directory says ends the run with the archive's reason.
    if (ZOH_ReadCached(entry, nullptr, 0) != 0)
        FailWithArchiveReason();
    MeshSource source{ArchiveRead, ArchiveSeek, &entry, ZOH_EntrySize(entry)};
    const char* error = ParseMeshEntry(source);
    if (!error)
        return;
    if (error == NotMeshFileReason)
        FailExitf("\376 %s", error);
    FailExitf("\376 Bad 3DS file: %s!", error);
}

void LoadObjectTexture(MeshObject* object, int32_t entry, const char* name)
{
    AllocateTextureBlock(object);
    RequireEntryBytes(entry, name);
    ZOH_Seek(entry, PicturePaletteOffset, 0);
    if (ZOH_ReadCached(entry, ObjectTexturePalette, PaletteBytes) != 0 ||
        ZOH_ReadCached(entry, object->texture, TextureBytes) != 0)
        FailWithArchiveReason();
}

void LoadMeshScene(int loader)
{
    const MeshLoader& row = MeshLoaders[loader - 1];
    int32_t meshEntry = ZOH_Open(row.meshEntry, 512);
    if (meshEntry < 0)
        FailExit("\376 File not found!\n");
    ReadMeshEntry(meshEntry);
    MeshObject* first = ObjectTable[0];
    first->mode = row.mode;
    first->target = static_cast<uint8_t*>(EngineAlloc(TargetImageBytes));
    memset(first->target, 0, TargetImageBytes);
    int32_t textureEntry = ZOH_Open(row.textureEntry, 512);
    if (textureEntry < 0)
        FailExit("\376 Texturefile not found!\n");
    LoadObjectTexture(first, textureEntry, row.textureEntry);
}

void ReleaseMeshScene(uint8_t* frame)
{
    FrameBuffer = frame;
    ReleaseObjectTable();
}

namespace {

const MeshSceneSetup* Playing;   // the mesh scene set up last
uint8_t* DemoFrame;              // FrameBuffer before the scene took it over

void SetUpMeshScene(int scene)
{
    const MeshSceneSetup& setup = MeshScenes[scene - 11];
    Playing = &setup;
    LoadMeshScene(setup.loader);
    MeshObject* first = ObjectTable[0];

    DemoFrame = FrameBuffer;
    FrameBuffer = first->target;
    memset(FrameBuffer, 0, ScreenBytes);
    if (setup.emp8gBackground) {
        memcpy(CurrentPalette, TextureEmp8g, LowColourBytes);
        memcpy(CurrentPalette + LowColourBytes, ObjectTexturePalette + LowColourBytes, PaletteBytes - LowColourBytes);
        memcpy(CurrentTexture, TextureEmp8g + PaletteBytes, TextureBytes);
    } else {
        memcpy(CurrentPalette, ObjectTexturePalette, PaletteBytes);
        memcpy(CurrentTexture, first->texture, TextureBytes);
    }
    SetPalette(CurrentPalette);

    first->centreX = 160;
    first->centreY = 100;
    first->depthOffset = 300;
    first->viewDistance = 256;
    first->clipTop = 0;
    first->clipBottom = 199;
    first->clipLeft = 0;
    first->clipRight = 319;
    first->angleZ = first->angleY = first->angleX = 0;
    for (int32_t k = 1; k < ObjectCount; k++)
        CopyObjectParameters(0, uint8_t(k));
    TickCounters[0].store(0);
}

}   // namespace

void SetUpScene11() { SetUpMeshScene(11); }
void SetUpScene12() { SetUpMeshScene(12); }
void SetUpScene13() { SetUpMeshScene(13); }
void SetUpScene14() { SetUpMeshScene(14); }
void SetUpScene15() { SetUpMeshScene(15); }

void DrawMeshScene()
{
    memset(FrameBuffer, 0, ScreenBytes);
    for (int32_t k = 0; k < ObjectCount; k++) {
        // One read of the clock per object, so a tick between the wrap test and the
        // use cannot produce angle 360.
        uint32_t angle = TickCounters[0].load();
        if (angle >= 360) {
            TickCounters[0].store(0);
            angle = 0;
        }
        MeshObject* object = ObjectTable[k];
        object->angleZ = object->angleY = int32_t(angle);
        if (Playing->turnX)
            object->angleX = int32_t(angle);
        RenderObject(object);
    }
    if (Playing->fadeOrder != 0) {
        if (MusicPosition.order == Playing->fadeOrder)
            PaletteFade(ObjectTexturePalette, MusicPosition.row);
        SetPalette(CurrentPalette);
    }
    BackgroundEffect1();
    FillFromBackground();
}

void EndMeshScene() { ReleaseMeshScene(DemoFrame); }
