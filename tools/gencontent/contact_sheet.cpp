// Contact sheet: every texture and picture with its palette, every map through its
// kernel over a test grid and over its scene's texture, and a still of each scene
// composed the way the demo composes it. Reads the entries back from dir, so the
// sheet shows exactly what was written.
#include "gencontent/content.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <map>

namespace {

struct Canvas {
    int width, height;
    std::vector<uint8_t> rgb;
};

const uint8_t Background[3] = {24, 24, 30};

void Put(Canvas* c, int x, int y, const uint8_t* palette6, int index) {
    if (x < 0 || y < 0 || x >= c->width || y >= c->height) return;
    uint8_t* p = &c->rgb[((size_t)y * c->width + x) * 3];
    for (int k = 0; k < 3; k++) {
        int v = palette6[index * 3 + k] & 63;
        p[k] = (uint8_t)((v << 2) | (v >> 4));
    }
}

void Blit(Canvas* c, int x0, int y0, const std::vector<uint8_t>& pixels, int w, int h, const uint8_t* palette) {
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) Put(c, x0 + x, y0 + y, palette, pixels[(size_t)y * w + x]);
}

void PaletteStrip(Canvas* c, int x0, int y0, const uint8_t* palette) {
    for (int i = 0; i < 256; i++)
        for (int y = 0; y < 10; y++) Put(c, x0 + i, y0 + y, palette, i);
}

void Label(Canvas* c, int x, int y, const std::string& text) {
    Mask m = MakeMask(c->width, 16);
    DrawText(&m, "DejaVuSans.ttf", 12, x, 12, 0, text);
    for (int j = 0; j < 16; j++)
        for (int i = 0; i < c->width; i++) {
            double a = m.a[j * c->width + i];
            if (a <= 0 || y + j >= c->height) continue;
            uint8_t* p = &c->rgb[((size_t)(y + j) * c->width + i) * 3];
            for (int k = 0; k < 3; k++) p[k] = (uint8_t)RoundHalfUp(Lerp(p[k], 230, a));
        }
}

// The kernels, with the orientation of each: column and row from (m0, m1) and f.
enum Kernel { WaveTunnel, Effect1, Effect3, Effect4, Effect5, Effect6, Effect7, Effect8, Back1, Back2 };

uint8_t WaveA[256], WaveB[256];
const uint8_t Bump[16] = {1, 1, 1, 1, 1, 2, 2, 3, 4, 4, 5, 6, 7, 8, 9, 10};

std::vector<uint8_t> Render(Kernel k, const std::vector<uint8_t>& map, const std::vector<uint8_t>& tex, int f) {
    std::vector<uint8_t> out(64000);
    for (int p = 0; p < 64000; p++) {
        uint8_t m0 = map[p * 2], m1 = map[p * 2 + 1];
        int col = 0, row = 0;
        switch (k) {
        case WaveTunnel: col = m0; row = m1 + f + WaveA[(m0 + f) & 255]; break;
        case Effect1: col = m1 + 2 * f; row = m0; break;
        case Effect3: {
            int b = WaveA[(m1 + f) & 255] >> 2;
            col = m1 + b; row = m0 + f + Bump[b];
            break;
        }
        case Effect4: col = m1 + f; row = m0 + WaveB[(m1 + 2 * f) & 255]; break;
        case Effect5: {
            int v = (65536 - (m0 * 256 + m1)) & 0xFFFF;
            int rr = v >> 8, cc = v & 255;
            col = cc + f; row = rr + WaveA[(cc + 2 * f) & 255];
            break;
        }
        case Effect6: col = m0 + f; row = m1 + WaveB[(m0 + 2 * f) & 255]; break;
        case Effect7: col = m1 + f; row = m0 + WaveA[(m1 + 2 * f) & 255]; break;
        case Effect8: {
            int b = WaveA[(m0 + f) & 255] >> 2;
            col = m0 + b; row = f - m1 + Bump[b];
            break;
        }
        case Back1: col = m1 + f + WaveA[f & 255]; row = m0 + WaveB[f & 255]; break;
        case Back2: col = m0 + WaveB[f & 255]; row = m1 + WaveA[f & 255]; break;
        }
        out[p] = tex[((row & 255) << 8) | (col & 255)];
    }
    return out;
}

void Overlay(std::vector<uint8_t>* frame, const std::vector<uint8_t>& pic, int srcRow, int rows, int dstRow, int base) {
    for (int y = 0; y < rows; y++)
        for (int x = 0; x < 320; x++) {
            uint8_t v = pic[(srcRow + y) * 320 + x];
            if (v) (*frame)[(dstRow + y) * 320 + x] = (uint8_t)(v + base);
        }
}

// A test texture: a coloured grid, so the map's shape reads directly.
void TestTexture(std::vector<uint8_t>* tex, uint8_t* palette) {
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
        if (i & 128) r = g = b = k = 1;
        palette[i * 3] = (uint8_t)Quantise(r * k * 63, 0, 63);
        palette[i * 3 + 1] = (uint8_t)Quantise(g * k * 63, 0, 63);
        palette[i * 3 + 2] = (uint8_t)Quantise(b * k * 63, 0, 63);
    }
}

// An environment-mapped ball over a frame: u, v from the sphere's normal.
void Ball(std::vector<uint8_t>* frame, const std::vector<uint8_t>& tex, bool envMap) {
    const double cx = 160, cy = 100, r = 72;
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            double nx = (x - cx) / r, ny = (y - cy) / r, d = nx * nx + ny * ny;
            if (d >= 1) continue;
            int u, v;
            if (envMap) {
                u = (int)RoundHalfUp(128 + nx * 120);
                v = (int)RoundHalfUp(128 + ny * 120);
            } else {
                double nz = Sqrt(1 - d);
                u = (int)RoundHalfUp(Atan2(nx, nz) * 256 / Pi);
                v = (int)RoundHalfUp(Atan2(ny, Sqrt(nx * nx + nz * nz)) * 256 / Pi);
            }
            uint8_t t = tex[((v & 255) << 8) | (u & 255)];
            if (t) (*frame)[y * 320 + x] = t;
        }
}

bool WritePng(const std::string& path, const Canvas& c) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)c.width;
    image.height = (png_uint_32)c.height;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, c.rgb.data(), 0, nullptr)) {
        std::fprintf(stderr, "gencontent: cannot write %s: %s\n", path.c_str(), image.message);
        return false;
    }
    return true;
}

}  // namespace

bool WriteContactSheet(const std::string& dir, const std::string& pngPath) {
    MakeWaveTables(WaveA, WaveB);
    auto load = [&](const char* name, int w, int h, Picture* p) {
        if (ReadScx(dir + "/" + name, p, w, h)) return true;
        std::fprintf(stderr, "gencontent: cannot read %s/%s\n", dir.c_str(), name);
        return false;
    };
    const char* textureNames[12] = {"euf0010.scx", "euf0011.scx", "euf0009.scx", "18soh.scx",
                                    "8emp_g.scx",  "7venus.scx",  "14soh.scx",   "23mview.scx",
                                    "23mview2.scx", "15mview.scx", "11cont.scx",  "18soh3d.scx"};
    std::map<std::string, Picture> tex;
    for (const char* n : textureNames)
        if (!load(n, 256, 256, &tex[n])) return false;
    std::map<std::string, Picture> pic;
    for (const char* n : {"tivrel.scx", "name1.scx", "name2.scx", "name3.scx", "lyrics.scx", "thx.scx"})
        if (!load(n, 320, 200, &pic[n])) return false;
    std::map<std::string, std::vector<uint8_t>> maps;
    for (const char* n : {"angrad1.dat", "angrad2.dat", "angrad3.dat", "angrad4.dat", "angrad5.dat",
                          "angrad6.dat", "angrad7.dat", "backgr.dat", "bigang.dat", "groups.dat", "movement.dat"})
        if (!ReadBytes(dir + "/" + n, &maps[n])) {
            std::fprintf(stderr, "gencontent: cannot read %s/%s\n", dir.c_str(), n);
            return false;
        }

    const int cellW = 336, cellH = 248, columns = 4;
    Canvas c{cellW * columns + 16, 0, {}};
    // Rows: 3 of textures, 3 of maps (2 tiles each), 4 of scene stills.
    const int textureCellH = 256 + 44;
    c.height = 40 + 3 * textureCellH + 40 + 5 * cellH + 40 + 5 * cellH + 16;
    c.rgb.assign((size_t)c.width * c.height * 3, 0);
    for (size_t i = 0; i < c.rgb.size(); i++) c.rgb[i] = Background[i % 3];

    int y = 12;
    Label(&c, 16, y, "textures (256x256) and their palettes");
    y += 28;
    for (int i = 0; i < 12; i++) {
        const Picture& p = tex[textureNames[i]];
        int x0 = 16 + (i % columns) * cellW, y0 = y + (i / columns) * textureCellH;
        Label(&c, x0, y0, textureNames[i]);
        Blit(&c, x0, y0 + 16, p.pixels, 256, 256, p.palette);
        PaletteStrip(&c, x0, y0 + 16 + 258, p.palette);
    }
    y += 3 * textureCellH + 12;

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
        {"angrad1.dat", WaveTunnel, "euf0010.scx", "round tunnel (WaveTunnel)"},
        {"angrad2.dat", Effect1, "euf0010.scx", "flower tunnel (MapEffect2)"},
        {"angrad3.dat", Effect4, "euf0009.scx", "corridor (MapEffect4)"},
        {"angrad4.dat", Effect5, "euf0009.scx", "glass ball (MapEffect5)"},
        {"angrad5.dat", Effect6, "18soh.scx", "spiral tunnel (MapEffect6)"},
        {"angrad6.dat", Back1, "23mview.scx", "floor and ceiling (BackgroundEffect1)"},
        {"angrad7.dat", Effect6, "euf0010.scx", "two poles (MapEffect6)"},
        {"angrad5.dat", Effect7, "18soh.scx", "spiral tunnel (MapEffect7)"},
        {"backgr.dat", Back2, "7venus.scx", "cloud ceiling (BackgroundEffect2)"},
        {"angrad1.dat", Effect3, "euf0011.scx", "round tunnel (MapEffect3)"},
    };
    for (int i = 0; i < 10; i++) {
        const MapView& v = views[i];
        int x0 = 16 + (i % 2) * 2 * cellW, y0 = y + (i / 2) * cellH;
        Label(&c, x0, y0, std::string(v.name) + ": " + v.what);
        Blit(&c, x0, y0 + 16, Render(v.kernel, maps[v.name], testTex, 0), 320, 200, testPal);
        const Picture& t = tex[v.texture];
        Blit(&c, x0 + cellW, y0 + 16, Render(v.kernel, maps[v.name], t.pixels, 40), 320, 200, t.palette);
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
    // Scene 1: title over the wave tunnel.
    {
        const Picture& t = tex["euf0010.scx"];
        std::memcpy(pal, t.palette, 768);
        for (int v = 0; v < 17; v++) std::memcpy(pal + (237 + v) * 3, OverlayColourTable[v], 3);
        std::vector<uint8_t> f = Render(WaveTunnel, maps["angrad1.dat"], t.pixels, 90);
        Overlay(&f, pic["tivrel.scx"].pixels, 0, 180, 20, 237);
        still(0, "1: tivrel.scx over angrad1", f, pal);
        for (int n = 0; n < 3; n++) {
            std::string name = "name" + std::to_string(n + 1) + ".scx";
            std::vector<uint8_t> g = Render(Effect1, maps["angrad2.dat"], t.pixels, 30 + 50 * n);
            Overlay(&g, pic[name].pixels, 0, 200, 0, 237);
            still(1 + n, "2: " + name + " over angrad2", g, pal);
        }
        // Scene 3: a window of the big map along the path (record 736).
        const std::vector<uint8_t>& mv = maps["movement.dat"];
        int wx = mv[736 * 32] | mv[736 * 32 + 1] << 8, wy = mv[736 * 32 + 4] | mv[736 * 32 + 5] << 8;
        std::vector<uint8_t> window(128000);
        for (int j = 0; j < 200; j++)
            std::memcpy(&window[j * 640], &maps["bigang.dat"][(size_t)(wy + j) * 1280 + wx * 2], 640);
        still(4, "3: bigang window, record 736", Render(Effect1, window, t.pixels, 20), pal);
    }
    // Lyrics scenes 4, 6, 8, 10.
    {
        struct {
            const char* mapName;
            Kernel k;
            const char* texture;
            int band;
        } lyr[4] = {{"angrad1.dat", Effect3, "euf0011.scx", 0},
                    {"angrad4.dat", Effect5, "euf0009.scx", 55},
                    {"angrad5.dat", Effect7, "18soh.scx", 109},
                    {"angrad1.dat", Effect8, "euf0011.scx", 162}};
        const int scene[4] = {4, 6, 8, 10};
        for (int i = 0; i < 4; i++) {
            const Picture& t = tex[lyr[i].texture];
            std::memcpy(pal, t.palette, 768);
            for (int v = 0; v < 9; v++) std::memcpy(pal + (246 + v) * 3, OverlayColourTable[v], 3);
            std::vector<uint8_t> f = Render(lyr[i].k, maps[lyr[i].mapName], t.pixels, 60);
            Overlay(&f, pic["lyrics.scx"].pixels, lyr[i].band, 30, 170, 246);
            still(5 + i, std::to_string(scene[i]) + ": lyrics band " + std::to_string(i + 1), f, pal);
        }
    }
    // 3D scenes: the ball stands in for the mesh.
    {
        struct {
            const char* object;
            bool emp;
        } s3[5] = {{"23mview.scx", false}, {"11cont.scx", true}, {"23mview2.scx", false},
                   {"18soh3d.scx", true},  {"15mview.scx", false}};
        for (int i = 0; i < 5; i++) {
            const Picture& obj = tex[s3[i].object];
            const Picture& back = s3[i].emp ? tex["8emp_g.scx"] : obj;
            std::memcpy(pal, obj.palette, 768);
            if (s3[i].emp) std::memcpy(pal, tex["8emp_g.scx"].palette, 258);
            std::vector<uint8_t> f = Render(Back1, maps["angrad6.dat"], back.pixels, 25);
            Ball(&f, obj.pixels, true);
            still(9 + i, std::to_string(11 + i) + ": " + s3[i].object + (s3[i].emp ? " over 8emp_g" : ""), f, pal);
        }
    }
    // Final scene: refracted cloud ceiling, stucco ball, the strip in the upper half.
    {
        const Picture& venus = tex["7venus.scx"];
        const std::vector<uint8_t>& g = maps["groups.dat"];
        const int t = 40;
        std::vector<uint8_t> m = maps["backgr.dat"];
        for (int yy = 0; yy < 200; yy++)
            for (int x = 0; x < 320; x++) {
                uint8_t d = (uint8_t)(8 * g[(size_t)(2 * t + yy) * 320 + x]);
                m[(yy * 320 + x) * 2] = (uint8_t)(m[(yy * 320 + x) * 2] + d);
                m[(yy * 320 + x) * 2 + 1] = (uint8_t)(m[(yy * 320 + x) * 2 + 1] + d);
            }
        std::vector<uint8_t> f = Render(Back2, m, venus.pixels, 70);
        still(14, "16: backgr refracted by groups.dat", f, venus.palette);
        Ball(&f, tex["14soh.scx"].pixels, false);
        for (int yy = 0; yy < 128; yy++)
            for (int x = 0; x < 256; x++) {
                uint8_t v = g[(size_t)(2 * t + yy + 36) * 320 + x + 32];
                if (v && yy + 60 < 200) f[(yy + 60) * 320 + x + 32] = (uint8_t)(v + 128);
            }
        still(15, "16: with 14soh ball and strip (+128)", f, venus.palette);
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
    ShutdownText();
    return WritePng(pngPath, c);
}
