// RenderObject per mesh and a whole 3D-scene frame (render + BackgroundEffect1 +
// FillFromBackground), on the generated meshes and textures of a content folder.
//
//   bench_render3d [CONTENT_DIR] [--dump OUT_DIR]
//
// CONTENT_DIR defaults to the build's content folder (../content beside the program). With --dump each mesh is also
// written as a scene frame (PPM, palette applied) at a few angles.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/read_file.h"
#include "core/shared.h"
#include "effects/effects.h"
#include "engine3d/mesh.h"
#include "engine3d/render.h"

namespace {

struct SceneCase {
    const char* mesh;
    const char* texture;
    bool turnX;
};
const SceneCase Cases[] = {
    {"star.3ds", "23mview.scx", false},  {"jo2.3ds", "11cont.scx", false},   {"jo6.3ds", "23mview2.scx", true},
    {"part5.3ds", "18soh3d.scx", false}, {"new4.3ds", "15mview.scx", false}, {"stucco1.3ds", "14soh.scx", false},
};

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::vector<uint8_t> bytes;
    if (ReadWholeFile(path, SIZE_MAX, &bytes) != ReadFileOk) {
        fprintf(stderr, "bench_render3d: cannot open %s (build the content target first)\n", path.c_str());
        exit(1);
    }
    return bytes;
}

void WritePpm(const std::string& path, const uint8_t* image, const uint8_t* palette)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return;
    fprintf(file, "P6\n320 200\n255\n");
    for (int k = 0; k < ScreenBytes; k++)
        for (int c = 0; c < 3; c++)
            fputc((palette[image[k] * 3 + c] & 63) * 255 / 63, file);
    fclose(file);
}

double Milliseconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

}   // namespace

int main(int argc, char** argv)
{
    std::string self = argv[0];
    std::string content = self.substr(0, self.find_last_of('/') + 1) + "../content";
    std::string dump;
    for (int k = 1; k < argc; k++) {
        if (!strcmp(argv[k], "--dump") && k + 1 < argc)
            dump = argv[++k];
        else
            content = argv[k];
    }

    std::vector<uint8_t> map = ReadFile(content + "/angrad6.dat");
    static uint8_t frame[TargetImageBytes], background[ScreenBytes], texture[65536], palette[768];
    CurrentMap = map.data();
    CurrentTexture = texture;
    BackgroundImage = background;
    CurrentPalette = palette;

    printf("%-12s %6s %6s %12s %12s\n", "mesh", "verts", "faces", "render ms", "frame ms");
    for (const SceneCase& c : Cases) {
        std::vector<uint8_t> meshBytes = ReadFile(content + "/" + c.mesh);
        std::vector<uint8_t> picture = ReadFile(content + "/" + c.texture);
        MemoryMeshInput input{meshBytes.data(), uint32_t(meshBytes.size()), 0};
        if (const char* error = ParseMeshEntry(MemoryMeshSource(&input))) {
            printf("%s: %s\n", c.mesh, error);
            return 1;
        }
        memcpy(palette, picture.data() + 10, 768);
        memcpy(texture, picture.data() + 778, 65536);
        bool finalMesh = !strcmp(c.mesh, "stucco1.3ds");
        uint32_t vertices = 0, faces = 0;
        for (int32_t k = 0; k < ObjectCount; k++) {
            MeshObject* o = ObjectTable[k];
            vertices += o->vertices->count;
            faces += o->faces->count;
            o->target = frame;
            o->texture = texture;
            o->mode = finalMesh ? ModeTextured : ModeEnvironment;
            o->centreX = finalMesh ? 70 : 160;
            o->centreY = finalMesh ? 160 : 100;
            o->depthOffset = finalMesh ? 1000 : 300;
            o->viewDistance = 256;
            o->clipTop = 0;
            o->clipBottom = 199;
            o->clipLeft = 0;
            o->clipRight = 319;
        }
        FrameBuffer = frame;

        const int calls = 720;
        auto setAngle = [&](int a) {
            for (int32_t k = 0; k < ObjectCount; k++) {
                MeshObject* o = ObjectTable[k];
                o->angleZ = o->angleY = finalMesh ? (a + 90) % 360 : a;
                o->angleX = c.turnX ? a : 0;
            }
        };
        auto start = std::chrono::steady_clock::now();
        for (int n = 0; n < calls; n++) {
            setAngle(n % 360);
            memset(frame, 0, ScreenBytes);
            for (int32_t k = 0; k < ObjectCount; k++)
                RenderObject(ObjectTable[k]);
        }
        double renderMs = Milliseconds(std::chrono::steady_clock::now() - start) / calls;

        start = std::chrono::steady_clock::now();
        for (int n = 0; n < calls; n++) {
            setAngle(n % 360);
            TickCounters[2].store(uint32_t(n));
            memset(frame, 0, ScreenBytes);
            for (int32_t k = 0; k < ObjectCount; k++)
                RenderObject(ObjectTable[k]);
            BackgroundEffect1();
            FillFromBackground();
        }
        double frameMs = Milliseconds(std::chrono::steady_clock::now() - start) / calls;
        printf("%-12s %6u %6u %12.3f %12.3f\n", c.mesh, vertices, faces, renderMs, frameMs);

        if (!dump.empty()) {
            for (int a : {0, 30, 75, 150}) {
                setAngle(a);
                TickCounters[2].store(uint32_t(a));
                memset(frame, 0, ScreenBytes);
                for (int32_t k = 0; k < ObjectCount; k++)
                    RenderObject(ObjectTable[k]);
                BackgroundEffect1();
                FillFromBackground();
                WritePpm(dump + "/" + c.mesh + "_" + std::to_string(a) + ".ppm", frame, palette);
            }
        }
        for (int32_t k = 0; k < ObjectCount; k++)
            ObjectTable[k]->target = nullptr;
        ReleaseObjectTable();
    }
    return 0;
}
