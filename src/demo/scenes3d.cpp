// The 3D scenes 11..15 and the mesh-scene loaders they share with the final scene.
#include "demo/scenes3d.h"

#include <cstring>

#include "archive/archive.h"
#include "archive/scene_plan.h"
#include "demo/buffers.h"
#include "demo/startup.h"
#include "effects/effects.h"
#include "engine3d/mesh.h"
#include "engine3d/render.h"
#include "video/video.h"

namespace {

// Loader k reads the entries of scene 10 + k's camera (scene_plan.h).
struct MeshLoader {
    int scene;
    uint8_t mode;
};

const MeshLoader MeshLoaders[6] = {
    {11, ModeEnvironment}, {12, ModeEnvironment}, {13, ModeEnvironment},
    {14, ModeEnvironment}, {15, ModeEnvironment}, {16, ModeTextured},
};

// Scenes 11..15: palette colours 0..85 (and the background texture) from the
// 8emp_g picture or the object's own texture; angleX driven too; the fade by the
// row during the scene's last order (its limit).
struct MeshSceneSetup {
    int scene;
    int loader;
    bool emp8gBackground;
    bool turnX;
    bool fadesOut;
};

const MeshSceneSetup MeshScenes[5] = {
    {11, 1, false, false, false}, {12, 2, true, false, false}, {13, 3, false, true, false},
    {14, 4, true, false, false},  {15, 5, false, false, true},
};

constexpr uint32_t LowColourBytes = 258;   // palette colours 0..85

bool ArchiveRead(void* context, void* dest, uint32_t count)
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
    if (!ZOH_ReadCached(entry, nullptr, 0))
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
    if (!ZOH_ReadCached(entry, ObjectTexturePalette, PaletteBytes) ||
        !ZOH_ReadCached(entry, object->texture, TextureBytes))
        FailWithArchiveReason();
}

void LoadMeshScene(int loader)
{
    const MeshLoader& row = MeshLoaders[loader - 1];
    const MeshCamera& camera = *SceneMeshCamera(row.scene);
    int32_t meshEntry = ZOH_Open(camera.entry, 512);
    if (meshEntry < 0)
        FailExit("\376 File not found!\n");
    RequireUnchangedDataFile(camera.entry);
    ReadMeshEntry(meshEntry);
    MeshObject* first = ObjectTable[0];
    first->mode = row.mode;
    first->target = static_cast<uint8_t*>(EngineAlloc(TargetImageBytes));
    memset(first->target, 0, TargetImageBytes);
    int32_t textureEntry = ZOH_Open(camera.textureEntry, 512);
    if (textureEntry < 0)
        FailExit("\376 Texturefile not found!\n");
    LoadObjectTexture(first, textureEntry, camera.textureEntry);
}

void SetCamera(MeshObject* object, const MeshCamera& camera)
{
    object->centreX = camera.centreX;
    object->centreY = camera.centreY;
    object->depthOffset = camera.depthOffset;
    object->viewDistance = camera.viewDistance;
    object->clipTop = camera.clipTop;
    object->clipBottom = camera.clipBottom;
    object->clipLeft = camera.clipLeft;
    object->clipRight = camera.clipRight;
    object->angleZ = camera.angleZ;
    object->angleY = camera.angleY;
    object->angleX = camera.angleX;
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

    SetCamera(first, *SceneMeshCamera(setup.scene));
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
    if (Playing->fadesOut) {
        if (MusicPosition.order == ScenePlanLimit(Playing->scene))
            PaletteFade(ObjectTexturePalette, MusicPosition.row);
        SetPalette(CurrentPalette);
    }
    BackgroundEffect1();
    FillFromBackground();
}

void EndMeshScene() { ReleaseMeshScene(DemoFrame); }
