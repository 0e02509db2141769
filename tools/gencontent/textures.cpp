// The twelve 256x256 textures. Every field is periodic over 256 texels in both
// directions (the kernels and fillers wrap), and every palette is a smooth ramp so
// the tunnels shade well. Each texture keeps to the pixel values the entry table
// (archive/entries.h) allows it, below the colours its scenes reserve; euf0010 also
// leaves 236 unused. Palette entries a texture does not use repeat its nearest ramp
// end, except where another picture's colours show through them (8emp_g, 7venus).
// The six 3D textures are reflection maps: bright towards the centre, where a face
// turned to the viewer samples them, falling to an even dark rim at the edges.
#include "gencontent/content.h"

#include <cstring>

#include "gencontent/generator_math.h"
#include "gencontent/text.h"

namespace {

Picture FromField(const Field& f, int lo, int hi)
{
    Picture p = MakePicture(256, 256);
    for (int i = 0; i < 65536; i++)
        p.pixels[i] = (uint8_t)Quantise(lo + f.v[i] * (hi - lo), lo, hi);
    return p;
}

// Copies the colour of entry `from` into every entry of first..last.
void FillSame(uint8_t* palette, int first, int last, int from)
{
    for (int i = first; i <= last; i++)
        std::memcpy(palette + i * 3, palette + from * 3, 3);
}

// Marble: integer-frequency stripes bent by turbulence.
double Turbulence(double x, double y, int cells, int octaves, uint32_t seed)
{
    double sum = 0, amplitude = 1, total = 0;
    for (int o = 0; o < octaves && cells <= 256; o++) {
        double n = GradNoise(x, y, cells, seed + 31u * o);
        sum += amplitude * (n < 0 ? -n : n);
        total += amplitude;
        amplitude *= 0.5;
        cells *= 2;
    }
    return sum / total;
}

// euf0010: dark blue stone with glowing ice-blue veins.
Picture IceVeins()
{
    Field height = MakeField(), veins = MakeField();
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            double w = Fbm(x, y, 4, 4, 0.5, 11);
            double stripes = Sin(TwoPi * (2 * x + y) / 256.0 + 5.0 * w);
            double s = 1 - (stripes < 0 ? -stripes : stripes);
            veins.at(x, y) = Pow(s, 3);
            height.at(x, y) = Fbm(x, y, 4, 4, 0.45, 12) + 0.5 * veins.get(x, y);
        }
    Field light = Light(height, 22, -1, -1, 1.2);
    Field out = MakeField();
    for (int i = 0; i < 65536; i++)
        out.v[i] = 0.1 + 0.5 * light.v[i] * light.v[i] + 0.45 * veins.v[i];
    for (double& v : out.v)
        v = Clamp01(v);
    Picture p = FromField(out, 0, 235);
    FillRamp(p.palette, 0, 235,
             {{0, {0, 1, 5}}, {0.3, {3, 9, 26}}, {0.55, {8, 26, 48}}, {0.78, {24, 48, 60}}, {1, {58, 63, 63}}});
    FillSame(p.palette, 236, 255, 235);
    return p;
}

// euf0011: molten copper marble.
Picture CopperMarble()
{
    Field height = MakeField();
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            double t = Turbulence(x, y, 4, 5, 21);
            double stripes = 0.5 + 0.5 * Sin(TwoPi * (x + 2 * y) / 256.0 * 2 + 7 * t);
            height.at(x, y) = Pow(stripes, 1.6) * 0.8 + 0.35 * Fbm(x, y, 16, 4, 0.5, 22);
        }
    Normalise(&height);
    Field light = Light(height, 24, -1, -0.6, 1);
    Field out = MakeField();
    for (int i = 0; i < 65536; i++)
        out.v[i] = Clamp01(0.15 + 0.7 * height.v[i] * (0.45 + 0.75 * light.v[i]));
    Picture p = FromField(out, 0, 245);
    FillRamp(p.palette, 0, 245,
             {{0, {2, 0, 0}},
              {0.25, {22, 4, 2}},
              {0.5, {46, 16, 4}},
              {0.72, {60, 36, 10}},
              {0.9, {63, 55, 32}},
              {1, {63, 63, 54}}});
    FillSame(p.palette, 246, 255, 245);
    return p;
}

// euf0009: bevelled cells like scales or cobbles, each with its own tone.
Picture Scales()
{
    Field height = MakeField(), tone = MakeField();
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            double f1, f2;
            uint32_t id;
            Worley(x, y, 8, 31, &f1, &f2, &id);
            double edge = Smooth((f2 - f1) * 1.8);
            height.at(x, y) = edge * (0.8 + 0.2 * Fbm(x, y, 32, 3, 0.5, 32));
            tone.at(x, y) = 0.7 + 0.3 * ((id & 255) / 255.0);
        }
    Field light = Light(height, 4, -1, -1, 1.1);
    Field out = MakeField();
    for (int i = 0; i < 65536; i++)
        out.v[i] = Clamp01((0.12 + 0.88 * light.v[i]) * tone.v[i] * (0.35 + 0.65 * height.v[i]));
    Picture p = FromField(out, 0, 245);
    FillRamp(p.palette, 0, 245,
             {{0, {0, 3, 4}}, {0.3, {2, 16, 14}}, {0.55, {10, 32, 16}}, {0.8, {40, 52, 14}}, {1, {62, 63, 44}}});
    FillSame(p.palette, 246, 255, 245);
    return p;
}

// 18soh: a circuit board: copper traces with pads and chips on a dark green board.
// Board shades 0..119, copper 120..245.
Picture Circuit()
{
    // Trace mask on a grid of 8-texel cells; traces step straight or diagonally.
    Mask copper = MakeMask(256, 256);
    auto plot = [&](double cx, double cy, double radius) {
        for (int j = -6; j <= 6; j++)
            for (int i = -6; i <= 6; i++) {
                int px = (int)RoundHalfUp(cx) + i, py = (int)RoundHalfUp(cy) + j;
                double d = Sqrt((px - cx) * (px - cx) + (py - cy) * (py - cy));
                double v = Clamp01(radius + 0.5 - d);
                double& dst = copper.a[(py & 255) * 256 + (px & 255)];
                if (v > dst)
                    dst = v;
            }
    };
    Rng rng = MakeRng(41);
    const int dirs[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    for (int t = 0; t < 40; t++) {
        double x = (NextU32(&rng) % 16) * 16 + 8, y = (NextU32(&rng) % 16) * 16 + 8;
        int d = (int)(NextU32(&rng) % 4) * 2;
        int steps = 3 + (int)(NextU32(&rng) % 9);
        plot(x, y, 4.5);
        for (int s = 0; s < steps; s++) {
            for (int k = 0; k < 16; k++)
                plot(x + dirs[d][0] * k, y + dirs[d][1] * k, 2.0);
            x += dirs[d][0] * 16;
            y += dirs[d][1] * 16;
            uint32_t turn = NextU32(&rng) % 6;
            if (turn == 0)
                d = (d + 1) & 7;
            if (turn == 1)
                d = (d + 7) & 7;
        }
        plot(x, y, 4.5);
    }
    // Chips: dark raised blocks with rows of pins.
    Field chip = MakeField();
    for (int c = 0; c < 5; c++) {
        int x0 = (int)(NextU32(&rng) % 32) * 8, y0 = (int)(NextU32(&rng) % 32) * 8;
        int w = 24 + (int)(NextU32(&rng) % 3) * 8, h = 16 + (int)(NextU32(&rng) % 2) * 8;
        for (int y = -3; y < h + 3; y++)
            for (int x = 0; x < w; x++) {
                bool body = y >= 0 && y < h;
                bool pin = !body && (x % 4) < 2 && x >= 2 && x < w - 2;
                if (body)
                    chip.at(x0 + x, y0 + y) = 1;
                if (pin)
                    copper.a[((y0 + y) & 255) * 256 + ((x0 + x) & 255)] = 1;
            }
    }
    Field height = MakeField();
    for (int i = 0; i < 65536; i++)
        height.v[i] = 0.6 * copper.a[i] + 0.9 * chip.v[i];
    Field light = Light(height, 3, -1, -1, 1);
    Picture p = MakePicture(256, 256);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            int i = y * 256 + x;
            double grain = Fbm(x, y, 32, 3, 0.5, 42);
            if (copper.a[i] > 0.5) {
                double v = light.v[i] * (0.75 + 0.25 * grain);
                p.pixels[i] = (uint8_t)Quantise(120 + v * 125, 120, 245);
            } else {
                double board = 0.34 + 0.12 * grain + 0.12 * ((x & 15) == 0 || (y & 15) == 0 ? 0 : 1);
                if (chip.v[i] > 0)
                    board = 0.05 + 0.1 * light.v[i] + 0.03 * grain;
                board *= 0.55 + 0.6 * light.v[i];
                board += 0.5 * copper.a[i];   // glow at the edges of the traces
                p.pixels[i] = (uint8_t)Quantise(board * 119, 0, 119);
            }
        }
    FillRamp(p.palette, 0, 119, {{0, {0, 2, 2}}, {0.4, {2, 14, 10}}, {0.75, {6, 28, 18}}, {1, {20, 44, 28}}});
    FillRamp(p.palette, 120, 245, {{0, {14, 6, 2}}, {0.35, {40, 20, 6}}, {0.7, {60, 42, 14}}, {1, {63, 63, 50}}});
    FillSame(p.palette, 246, 255, 245);
    return p;
}

// 8emp_g: a violet nebula with stars, colours 0..85.
Picture Nebula()
{
    Field out = MakeField();
    Rng rng = MakeRng(51);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            double wx = 40 * Fbm(x, y, 4, 3, 0.5, 52), wy = 40 * Fbm(x, y, 4, 3, 0.5, 53);
            double cloud = 0.5 + 0.5 * Fbm(x + wx, y + wy, 4, 6, 0.55, 54);
            double dust = Turbulence(x, y, 8, 4, 55);
            out.at(x, y) = Clamp01(Pow(cloud, 2.2) * 1.5 - 0.25 * dust);
        }
    for (int s = 0; s < 240; s++) {
        int x = (int)(NextU32(&rng) & 255), y = (int)(NextU32(&rng) & 255);
        double b = 0.55 + 0.45 * NextUnit(&rng);
        out.at(x, y) = Clamp01(out.get(x, y) + b);
        if (b > 0.93) {
            out.at(x + 1, y) = Clamp01(out.get(x + 1, y) + 0.4);
            out.at(x - 1, y) = Clamp01(out.get(x - 1, y) + 0.4);
            out.at(x, y + 1) = Clamp01(out.get(x, y + 1) + 0.4);
            out.at(x, y - 1) = Clamp01(out.get(x, y - 1) + 0.4);
        }
    }
    Picture p = FromField(out, 0, 85);
    FillRamp(p.palette, 0, 85,
             {{0, {0, 0, 3}},
              {0.25, {7, 2, 16}},
              {0.5, {22, 6, 32}},
              {0.75, {44, 18, 42}},
              {0.9, {60, 42, 52}},
              {1, {63, 62, 63}}});
    // 86..255 belong to the object texture; keep them a neutral grey ramp.
    FillRamp(p.palette, 86, 255, {{0, {0, 0, 0}}, {1, {63, 63, 63}}});
    return p;
}

// 7venus: swirling bands of golden cloud (0..127); 128..255 the strip colours, a
// cold blue ramp to white so the greetings stand out from the clouds.
void VenusPalette(uint8_t* palette)
{
    FillRamp(palette, 0, 127,
             {{0, {4, 1, 0}}, {0.25, {24, 9, 2}}, {0.5, {46, 24, 6}}, {0.75, {60, 44, 18}}, {1, {63, 61, 44}}});
    FillRamp(palette, 128, 255,
             {{0, {0, 0, 4}},
              {0.2, {3, 6, 22}},
              {0.45, {8, 20, 44}},
              {0.7, {20, 44, 60}},
              {0.88, {44, 60, 63}},
              {1, {63, 63, 63}}});
}

Picture Venus()
{
    Field out = MakeField();
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            double wx = 30 * Fbm(x, y, 4, 4, 0.5, 61), wy = 12 * Fbm(x, y, 4, 4, 0.5, 62);
            double band = Sin(TwoPi * 3 * (y + wy) / 256.0 + 2.5 * Fbm(x + wx, y, 4, 3, 0.5, 63));
            double detail = Fbm(x + wx, y + wy, 8, 5, 0.55, 64);
            out.at(x, y) = 0.5 + 0.3 * band + 0.35 * detail;
        }
    Normalise(&out);
    Picture p = FromField(out, 0, 127);
    VenusPalette(p.palette);
    return p;
}

// 14soh: gilded stucco for the final mesh, 1..127 in the 7venus colours.
Picture Stucco()
{
    Field height = MakeField();
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            double f1, f2;
            Worley(x, y, 8, 71, &f1, &f2, nullptr);
            height.at(x, y) = 0.5 * Fbm(x, y, 8, 4, 0.5, 72) + 0.5 * Smooth(1 - f1);
        }
    Field light = Light(height, 14, -1, -1, 1);
    Field out = MakeField();
    for (int i = 0; i < 65536; i++)
        out.v[i] = Clamp01(0.1 + 0.9 * light.v[i] * light.v[i]);
    Picture p = FromField(out, 1, 127);
    VenusPalette(p.palette);
    return p;
}

// Reflection maps. (nx, ny) run -1..1 across the texture; the content is shaped by
// `scene` inside the unit disc and fades to `rim` outside it, where a faint periodic
// grain keeps the repeats of the background alive.
typedef double (*EnvFunction)(double nx, double ny, double nz, int x, int y);

Field EnvField(EnvFunction scene, double rim, uint32_t seed)
{
    Field out = MakeField();
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            double nx = (x - 127.5) / 128, ny = (y - 127.5) / 128;
            double r = Sqrt(nx * nx + ny * ny);
            double grain = 0.04 * Fbm(x, y, 16, 3, 0.5, seed);
            double inner = 0;
            if (r < 1)
                inner = scene(nx, ny, Sqrt(1 - r * r), x, y);
            double edge = Smooth((1 - r) / 0.22);
            out.at(x, y) = Clamp01(Lerp(rim, inner, edge) + grain);
        }
    return out;
}

double Gauss(double dx, double dy, double width) { return Exp(-(dx * dx + dy * dy) / (width * width)); }

// Chrome studio: bright sky over a dark floor, a glowing horizon and a key light.
double ChromeScene(double nx, double ny, double nz, int x, int y)
{
    double v;
    if (ny < 0)
        v = 0.36 + 0.3 * (1 + ny) + 0.12 * Fbm(x, y, 8, 4, 0.5, 81);
    else
        v = 0.14 + 0.2 * ny + 0.05 * Fbm(x, y, 16, 3, 0.5, 82);
    v += 0.4 * Exp(-(ny * ny) / 0.004);
    v += 0.5 * Gauss(nx + 0.3, ny + 0.42, 0.2);
    v += 0.15 * nz;
    return v;
}

// Sunset over the sea: a low sun, warm sky, reflections in the waves.
double SunsetScene(double nx, double ny, double nz, int x, int y)
{
    double v;
    double sun = Gauss(nx, ny + 0.22, 0.13);
    if (ny < 0) {
        v = 0.65 - 0.35 * (-ny) + 0.08 * Fbm(x, y, 8, 4, 0.5, 91);
    } else {
        // Streaks of light on the waves: noise stretched along the horizon.
        double waves = Pow(Clamp01(0.5 + 0.8 * GradNoise(x * 0.25, y * 3.0, 16, 92)), 2);
        double path = Exp(-(nx * nx) / 0.02);
        v = 0.22 + 0.1 * (1 - ny) + 0.7 * path * waves * (1 - ny);
    }
    v += 0.5 * Exp(-(ny * ny) / 0.003);
    v += 0.8 * sun;
    v *= 0.75 + 0.25 * nz;
    return v;
}

// Ice: caustic light in cold water, brightest at the centre.
double IceScene(double nx, double ny, double nz, int x, int y)
{
    double f1, f2;
    Worley(x + 10 * Fbm(x, y, 8, 2, 0.5, 101), y, 8, 102, &f1, &f2, nullptr);
    double caustic = Pow(Clamp01(1 - (f2 - f1) * 2.5), 3);
    return 0.2 + 0.4 * nz + 0.35 * caustic * (0.4 + 0.6 * nz) + 0.3 * Gauss(nx + 0.2, ny + 0.25, 0.25);
}

// Gold: a studio with ring-shaped soft boxes round the camera.
double GoldScene(double nx, double ny, double nz, int x, int y)
{
    double r = Sqrt(nx * nx + ny * ny);
    double rings = Pow(0.5 + 0.5 * Cos(TwoPi * r * 2.6), 4);
    double v = 0.18 + 0.42 * nz + 0.3 * rings * (1 - r) + 0.05 * Fbm(x, y, 8, 3, 0.5, 111);
    v += 0.45 * Gauss(nx + 0.25, ny + 0.3, 0.18);
    v += 0.25 * Exp(-((ny - 0.35) * (ny - 0.35)) / 0.003);
    return v;
}

// Jade: veined green stone lit from the front.
double JadeScene(double nx, double ny, double nz, int x, int y)
{
    double t = Turbulence(x, y, 4, 4, 121);
    double veins = Pow(0.5 + 0.5 * Sin(TwoPi * (x + y) / 256.0 * 2 + 6 * t), 3);
    return 0.15 + 0.45 * nz + 0.2 * veins * nz + 0.4 * Gauss(nx + 0.28, ny + 0.35, 0.22);
}

Picture EnvTexture(EnvFunction scene, double rim, uint32_t seed, int lo, int hi, const std::vector<ColourKey>& ramp)
{
    Picture p = FromField(EnvField(scene, rim, seed), lo, hi);
    FillRamp(p.palette, lo, hi, ramp);
    FillSame(p.palette, 0, lo - 1, lo);
    return p;
}

// Ramps of the reflection maps.
const std::vector<ColourKey> ChromeRamp = {
    {0, {0, 1, 4}}, {0.3, {6, 12, 24}}, {0.6, {22, 34, 48}}, {0.85, {46, 54, 62}}, {1, {63, 63, 63}}};
const std::vector<ColourKey> SunsetRamp = {{0, {3, 0, 8}},      {0.25, {20, 3, 18}}, {0.5, {48, 12, 10}},
                                           {0.72, {62, 36, 8}}, {0.9, {63, 56, 26}}, {1, {63, 63, 56}}};
const std::vector<ColourKey> IceRamp = {
    {0, {0, 3, 6}}, {0.35, {2, 18, 26}}, {0.65, {10, 42, 48}}, {0.88, {38, 60, 60}}, {1, {62, 63, 63}}};
const std::vector<ColourKey> GoldRamp = {
    {0, {6, 3, 0}}, {0.3, {26, 14, 3}}, {0.6, {52, 36, 9}}, {0.85, {63, 54, 26}}, {1, {63, 63, 54}}};
const std::vector<ColourKey> JadeRamp = {
    {0, {0, 5, 3}}, {0.3, {3, 20, 12}}, {0.6, {10, 42, 26}}, {0.85, {34, 60, 44}}, {1, {60, 63, 60}}};

}   // namespace

Picture BuildTexture(const std::string& name)
{
    if (name == "euf0010.scx")
        return IceVeins();
    if (name == "euf0011.scx")
        return CopperMarble();
    if (name == "euf0009.scx")
        return Scales();
    if (name == "18soh.scx")
        return Circuit();
    if (name == "8emp_g.scx")
        return Nebula();
    if (name == "7venus.scx")
        return Venus();
    if (name == "14soh.scx")
        return Stucco();
    if (name == "23mview.scx")
        return EnvTexture(ChromeScene, 0.1, 83, 1, 255, ChromeRamp);
    if (name == "23mview2.scx")
        return EnvTexture(SunsetScene, 0.08, 93, 1, 255, SunsetRamp);
    if (name == "15mview.scx")
        return EnvTexture(IceScene, 0.1, 103, 1, 255, IceRamp);
    if (name == "11cont.scx")
        return EnvTexture(GoldScene, 0.1, 113, 86, 255, GoldRamp);
    if (name == "18soh3d.scx")
        return EnvTexture(JadeScene, 0.1, 123, 86, 255, JadeRamp);
    return {};
}
