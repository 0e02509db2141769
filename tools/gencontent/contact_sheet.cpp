// Contact sheet: every texture and picture with its palette, every map through its
// kernel over a test grid and over its scene's texture, and a still of each scene
// composed the way the demo composes it, through the demo's own effect kernels and
// 3D renderer. Reads the entries back from dir, so the sheet shows exactly what was
// written.
#include "gencontent/content.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "archive/content_format.h"
#include "archive/entries.h"
#include "core/png_write.h"
#include "core/safe_write.h"
#include "effects/effects.h"
#include "effects/kernels.h"
#include "engine3d/mesh.h"
#include "engine3d/render.h"
#include "gencontent/generator_math.h"
#include "gencontent/text.h"

namespace {

struct Canvas {
    int width, height;
    std::vector<uint8_t> rgb;
};

const uint8_t Background[3] = {24, 24, 30};

void Put(Canvas* c, int x, int y, const uint8_t* palette6, int index)
{
    if (x < 0 || y < 0 || x >= c->width || y >= c->height)
        return;
    uint8_t* p = &c->rgb[((size_t)y * c->width + x) * 3];
    for (int k = 0; k < 3; k++) {
        int v = palette6[index * 3 + k] & 63;
        p[k] = (uint8_t)((v << 2) | (v >> 4));
    }
}

void Blit(Canvas* c, int x0, int y0, const std::vector<uint8_t>& pixels, int w, int h, const uint8_t* palette)
{
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            Put(c, x0 + x, y0 + y, palette, pixels[(size_t)y * w + x]);
}

void PaletteStrip(Canvas* c, int x0, int y0, const uint8_t* palette)
{
    for (int i = 0; i < 256; i++)
        for (int y = 0; y < 10; y++)
            Put(c, x0 + i, y0 + y, palette, i);
}

void Label(Canvas* c, int x, int y, const std::string& text)
{
    Mask m = MakeMask(c->width, 16);
    DrawText(&m, "DejaVuSans.ttf", 12, x, 12, 0, text);
    for (int j = 0; j < 16; j++)
        for (int i = 0; i < c->width; i++) {
            double a = m.a[j * c->width + i];
            if (a <= 0 || y + j >= c->height)
                continue;
            uint8_t* p = &c->rgb[((size_t)(y + j) * c->width + i) * 3];
            for (int k = 0; k < 3; k++)
                p[k] = (uint8_t)RoundHalfUp(Lerp(p[k], 230, a));
        }
}

// The texture-map kernels as the demo's named effects call them, at phase f.
enum class Kernel { WaveTunnel, Effect1, Effect3, Effect4, Effect5, Effect6, Effect7, Effect8, Back1, Back2 };

uint8_t WaveTableA[256], WaveTableB[256];

std::vector<uint8_t> Render(Kernel k, const std::vector<uint8_t>& map, const std::vector<uint8_t>& tex, int phase)
{
    std::vector<uint8_t> out(PicturePixelBytes);
    const uint8_t* m = map.data();
    const uint8_t* t = tex.data();
    uint8_t f = (uint8_t)phase;
    switch (k) {
    case Kernel::WaveTunnel: WaveTunnelKernel(m, t, WaveTableA, out.data(), f); break;
    case Kernel::Effect1: ShiftMapKernel(m, t, out.data(), (uint8_t)(2 * f), 0); break;
    case Kernel::Effect3: MapEffect3Kernel(m, t, WaveTableA, BumpTable, out.data(), f); break;
    case Kernel::Effect4: RippleKernel(m, t, WaveTableB, out.data(), f); break;
    case Kernel::Effect5: NegatedRippleKernel(m, t, WaveTableA, out.data(), f); break;
    case Kernel::Effect6: SwappedRippleKernel(m, t, WaveTableB, out.data(), f); break;
    case Kernel::Effect7: RippleKernel(m, t, WaveTableA, out.data(), f); break;
    case Kernel::Effect8: MapEffect8Kernel(m, t, WaveTableA, BumpTable, out.data(), f); break;
    case Kernel::Back1: ShiftMapKernel(m, t, out.data(), (uint8_t)(f + WaveTableA[f]), WaveTableB[f]); break;
    case Kernel::Back2: ShiftMapSwappedKernel(m, t, out.data(), WaveTableB[f], WaveTableA[f]); break;
    }
    return out;
}

// `rows` rows of pic from srcRow on, over frame from dstRow on, with colour base `base`.
void Overlay(std::vector<uint8_t>* frame, const std::vector<uint8_t>& pic, int srcRow, int rows, int dstRow, int base)
{
    OverlayKernel(&pic[(size_t)srcRow * PictureWidth], &(*frame)[(size_t)dstRow * PictureWidth],
                  (size_t)rows * PictureWidth, (uint8_t)base);
}

// A test texture: a coloured grid, so the map's shape reads directly.
void TestTexture(std::vector<uint8_t>* tex, uint8_t* palette)
{
    tex->assign(65536, 0);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            int cell = ((x >> 5) + (y >> 5)) & 1;
            int v = ((x >> 2) & 63) + (cell ? 64 : 0) + (((x & 31) < 2 || (y & 31) < 2) ? 128 : 0);
            (*tex)[y * 256 + x] = (uint8_t)v;
        }
    for (int i = 0; i < 256; i++) {
        double hue = (i & 63) / 64.0;
        double r = 0.5 + 0.5 * Cos(TwoPi * hue), g = 0.5 + 0.5 * Cos(TwoPi * (hue - 1.0 / 3)),
               b = 0.5 + 0.5 * Cos(TwoPi * (hue - 2.0 / 3));
        double k = (i & 64) ? 0.55 : 0.9;
        if (i & 128)
            r = g = b = k = 1;
        palette[i * 3] = (uint8_t)Quantise(r * k * 63, 0, 63);
        palette[i * 3 + 1] = (uint8_t)Quantise(g * k * 63, 0, 63);
        palette[i * 3 + 2] = (uint8_t)Quantise(b * k * 63, 0, 63);
    }
}

// How a 3D scene shows its mesh: render mode, texture, camera and angles.
struct MeshView {
    uint8_t mode;
    int32_t centreX, centreY, depthOffset;
    int32_t angleZ, angleY, angleX;
};

// Draws the mesh file in bytes over a frame cleared to 0, as the 3D scenes do;
// false when the file does not read.
bool DrawMesh(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& texture, const MeshView& view,
              std::vector<uint8_t>* frame)
{
    MemoryMeshInput input{bytes.data(), (uint32_t)bytes.size(), 0};
    if (ParseMeshEntry(MemoryMeshSource(&input)))
        return false;
    MeshObject* first = ObjectTable[0];
    first->mode = view.mode;
    first->target = static_cast<uint8_t*>(EngineAlloc(TargetImageBytes));
    std::memset(first->target, 0, TargetImageBytes);
    AllocateTextureBlock(first);
    std::memcpy(first->texture, texture.data(), TextureBytes);
    first->centreX = view.centreX;
    first->centreY = view.centreY;
    first->depthOffset = view.depthOffset;
    first->viewDistance = 256;
    first->clipTop = 0;
    first->clipBottom = PictureHeight - 1;
    first->clipLeft = 0;
    first->clipRight = PictureWidth - 1;
    first->angleZ = view.angleZ;
    first->angleY = view.angleY;
    first->angleX = view.angleX;
    for (int32_t k = 1; k < ObjectCount; k++)
        CopyObjectParameters(0, (uint8_t)k);
    for (int32_t k = 0; k < ObjectCount; k++)
        RenderObject(ObjectTable[k]);
    frame->assign(first->target, first->target + PicturePixelBytes);
    ReleaseObjectTable();
    return true;
}

bool WritePng(const std::string& path, const Canvas& c)
{
    std::vector<uint8_t> png;
    std::string why;
    if (!EncodeRgbPng(c.rgb.data(), c.width, c.height, &png, &why)) {
        std::fprintf(stderr, "gencontent: cannot write %s: %s\n", path.c_str(), why.c_str());
        return false;
    }
    if (SafeWritePath(path, png.data(), png.size(), true, &why) != SafeWriteOk) {
        std::fprintf(stderr, "gencontent: %s\n", why.c_str());
        return false;
    }
    return true;
}

}   // namespace

bool WriteContactSheet(const std::string& dir, const std::string& pngPath)
{
    BuildWaveA(WaveTableA);
    BuildWaveB(WaveTableB);
    // Every entry but the music, by its kind: textures and pictures with their
    // palettes, everything else as bytes.
    std::vector<std::string> textureNames;
    std::map<std::string, Picture> tex, pic;
    std::map<std::string, std::vector<uint8_t>> data;
    for (int i = 0; i < DataEntryCount; i++) {
        const DataEntry& e = DataEntries[i];
        std::string path = dir + "/" + e.name;
        bool ok = true;
        if (e.kind == EntryMusic)
            continue;
        if (e.kind == EntryTexture) {
            textureNames.push_back(e.name);
            ok = ReadPicture(path, &tex[e.name], TextureSide, TextureSide);
        } else if (e.kind == EntryOverlay || e.kind == EntryPicture) {
            ok = ReadPicture(path, &pic[e.name], PictureWidth, PictureHeight);
        } else {
            ok = ReadBytes(path, &data[e.name]);
        }
        if (!ok) {
            std::fprintf(stderr, "gencontent: cannot read %s\n", path.c_str());
            return false;
        }
    }

    const int cellW = 336, cellH = 248, columns = 4;
    const int textureRows = ((int)textureNames.size() + columns - 1) / columns;
    Canvas c{cellW * columns + 16, 0, {}};
    // Rows: the textures, 5 of maps (2 tiles each), 5 of scene stills.
    const int textureCellH = 256 + 44;
    c.height = 40 + textureRows * textureCellH + 40 + 5 * cellH + 40 + 5 * cellH + 16;
    c.rgb.assign((size_t)c.width * c.height * 3, 0);
    for (size_t i = 0; i < c.rgb.size(); i++)
        c.rgb[i] = Background[i % 3];

    int y = 12;
    Label(&c, 16, y, "textures (256x256) and their palettes");
    y += 28;
    for (size_t i = 0; i < textureNames.size(); i++) {
        const Picture& p = tex[textureNames[i]];
        int x0 = 16 + (int)(i % columns) * cellW, y0 = y + (int)(i / columns) * textureCellH;
        Label(&c, x0, y0, textureNames[i]);
        Blit(&c, x0, y0 + 16, p.pixels, 256, 256, p.palette);
        PaletteStrip(&c, x0, y0 + 16 + 258, p.palette);
    }
    y += textureRows * textureCellH + 12;

    Label(&c, 16, y, "maps through their kernels: test grid at phase 0, scene texture at phase 40");
    y += 28;
    std::vector<uint8_t> testTex;
    uint8_t testPal[768];
    TestTexture(&testTex, testPal);
    struct MapView {
        const char* name;
        Kernel kernel;
        const char* texture;
        const char* what;
    } views[] = {
        {"angrad1.dat", Kernel::WaveTunnel, "euf0010.scx", "round tunnel (WaveTunnel)"},
        {"angrad2.dat", Kernel::Effect1, "euf0010.scx", "flower tunnel (MapEffect2)"},
        {"angrad3.dat", Kernel::Effect4, "euf0009.scx", "corridor (MapEffect4)"},
        {"angrad4.dat", Kernel::Effect5, "euf0009.scx", "glass ball (MapEffect5)"},
        {"angrad5.dat", Kernel::Effect6, "18soh.scx", "spiral tunnel (MapEffect6)"},
        {"angrad6.dat", Kernel::Back1, "23mview.scx", "floor and ceiling (BackgroundEffect1)"},
        {"angrad7.dat", Kernel::Effect6, "euf0010.scx", "two poles (MapEffect6)"},
        {"angrad5.dat", Kernel::Effect7, "18soh.scx", "spiral tunnel (MapEffect7)"},
        {"backgr.dat", Kernel::Back2, "7venus.scx", "cloud ceiling (BackgroundEffect2)"},
        {"angrad1.dat", Kernel::Effect3, "euf0011.scx", "round tunnel (MapEffect3)"},
    };
    for (int i = 0; i < 10; i++) {
        const MapView& v = views[i];
        int x0 = 16 + (i % 2) * 2 * cellW, y0 = y + (i / 2) * cellH;
        Label(&c, x0, y0, std::string(v.name) + ": " + v.what);
        Blit(&c, x0, y0 + 16, Render(v.kernel, data[v.name], testTex, 0), 320, 200, testPal);
        const Picture& t = tex[v.texture];
        Blit(&c, x0 + cellW, y0 + 16, Render(v.kernel, data[v.name], t.pixels, 40), 320, 200, t.palette);
    }
    y += 5 * cellH + 12;

    Label(&c, 16, y, "scene stills, composed as the demo composes them");
    y += 28;
    auto still = [&](int index, const std::string& label, const std::vector<uint8_t>& frame, const uint8_t* pal) {
        int x0 = 16 + (index % columns) * cellW, y0 = y + (index / columns) * cellH;
        Label(&c, x0, y0, label);
        Blit(&c, x0, y0 + 16, frame, 320, 200, pal);
    };
    uint8_t pal[768];
    // Scene 1: title over the wave tunnel; scene 2: the credits; scene 3: a window
    // of the big map along the path (record 736).
    {
        const Picture& t = tex["euf0010.scx"];
        std::memcpy(pal, t.palette, 768);
        LoadColoursKernel(pal, TitleColourBase, OverlayColours, OverlayColourCount);
        std::vector<uint8_t> f = Render(Kernel::WaveTunnel, data["angrad1.dat"], t.pixels, 90);
        Overlay(&f, pic["tivrel.scx"].pixels, 0, 180, 20, TitleColourBase);
        still(0, "1: tivrel.scx over angrad1", f, pal);
        for (int n = 0; n < 3; n++) {
            std::string name = "name" + std::to_string(n + 1) + ".scx";
            std::vector<uint8_t> g = Render(Kernel::Effect1, data["angrad2.dat"], t.pixels, 30 + 50 * n);
            Overlay(&g, pic[name].pixels, 0, 200, 0, TitleColourBase);
            still(1 + n, "2: " + name + " over angrad2", g, pal);
        }
        std::vector<uint8_t> window(MapBytes);
        MovementWindowKernel(data["bigang.dat"].data(), data["movement.dat"].data(), 736, window.data());
        still(4, "3: bigang window, record 736", Render(Kernel::Effect1, window, t.pixels, 20), pal);
    }
    // Lyrics scenes 4, 6, 8, 10.
    {
        struct {
            const char* mapName;
            Kernel k;
            const char* texture;
            int band;
        } lyr[4] = {{"angrad1.dat", Kernel::Effect3, "euf0011.scx", 0},
                    {"angrad4.dat", Kernel::Effect5, "euf0009.scx", 55},
                    {"angrad5.dat", Kernel::Effect7, "18soh.scx", 109},
                    {"angrad1.dat", Kernel::Effect8, "euf0011.scx", 162}};
        const int scene[4] = {4, 6, 8, 10};
        for (int i = 0; i < 4; i++) {
            const Picture& t = tex[lyr[i].texture];
            std::memcpy(pal, t.palette, 768);
            LoadColoursKernel(pal, LyricsColourBase, OverlayColours, LyricsColourCount);
            std::vector<uint8_t> f = Render(lyr[i].k, data[lyr[i].mapName], t.pixels, 60);
            Overlay(&f, pic["lyrics.scx"].pixels, lyr[i].band, 30, 170, LyricsColourBase);
            still(5 + i, std::to_string(scene[i]) + ": lyrics band " + std::to_string(i + 1), f, pal);
        }
    }
    // 3D scenes 11..15: the mesh, environment-mapped, over the floor and ceiling.
    {
        struct {
            const char* mesh;
            const char* object;
            bool emp;
            bool turnX;
        } s3[5] = {{"star.3ds", "23mview.scx", false, false},
                   {"jo2.3ds", "11cont.scx", true, false},
                   {"jo6.3ds", "23mview2.scx", false, true},
                   {"part5.3ds", "18soh3d.scx", true, false},
                   {"new4.3ds", "15mview.scx", false, false}};
        for (int i = 0; i < 5; i++) {
            const Picture& obj = tex[s3[i].object];
            const Picture& back = s3[i].emp ? tex["8emp_g.scx"] : obj;
            std::memcpy(pal, obj.palette, 768);
            if (s3[i].emp)
                std::memcpy(pal, tex["8emp_g.scx"].palette, 258);
            std::vector<uint8_t> f;
            const int angle = 40;
            MeshView view{ModeEnvironment, 160, 100, 300, angle, angle, s3[i].turnX ? angle : 0};
            if (!DrawMesh(data[s3[i].mesh], obj.pixels, view, &f)) {
                std::fprintf(stderr, "gencontent: cannot read the mesh %s\n", s3[i].mesh);
                return false;
            }
            FillFromBackgroundKernel(f.data(), Render(Kernel::Back1, data["angrad6.dat"], back.pixels, 25).data(),
                                     PicturePixelBytes);
            still(9 + i,
                  std::to_string(11 + i) + ": " + s3[i].mesh + ", " + s3[i].object + (s3[i].emp ? " over 8emp_g" : ""),
                  f, pal);
        }
    }
    // Final scene: the cloud ceiling refracted by the strip, the slab in its first,
    // textured pass; then the closing picture and a stretch of the strip itself.
    {
        const Picture& venus = tex["7venus.scx"];
        const std::vector<uint8_t>& g = data["groups.dat"];
        const int t = 40;
        std::vector<uint8_t> m = data["backgr.dat"];
        for (int yy = 0; yy < 200; yy++)
            for (int x = 0; x < 320; x++) {
                uint8_t d = (uint8_t)(8 * g[(size_t)(2 * t + yy) * 320 + x]);
                m[(yy * 320 + x) * 2] = (uint8_t)(m[(yy * 320 + x) * 2] + d);
                m[(yy * 320 + x) * 2 + 1] = (uint8_t)(m[(yy * 320 + x) * 2 + 1] + d);
            }
        std::vector<uint8_t> sky = Render(Kernel::Back2, m, venus.pixels, 70);
        still(14, "16: backgr refracted by groups.dat", sky, venus.palette);
        std::vector<uint8_t> f;
        if (!DrawMesh(data["stucco1.3ds"], tex["14soh.scx"].pixels, {ModeTextured, 70, 160, 1000, 90, 90, 0}, &f)) {
            std::fprintf(stderr, "gencontent: cannot read the mesh stucco1.3ds\n");
            return false;
        }
        FillFromBackgroundKernel(f.data(), sky.data(), PicturePixelBytes);
        still(15, "16: stucco1.3ds with 14soh, over the sky", f, venus.palette);
        const Picture& thx = pic["thx.scx"];
        still(16, "17: thx.scx", thx.pixels, thx.palette);
        // The strip itself, a stretch of it through the 7venus upper half.
        std::vector<uint8_t> s(64000, 0);
        for (int yy = 0; yy < 200; yy++)
            for (int x = 0; x < 320; x++) {
                uint8_t v = g[(size_t)(yy + 100) * 320 + x];
                s[yy * 320 + x] = v ? (uint8_t)(v + 128) : 0;
            }
        still(17, "groups.dat rows 100..299 (+128)", s, venus.palette);
    }
    return WritePng(pngPath, c);
}
