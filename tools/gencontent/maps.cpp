// Lookup maps: per-pixel (m0, m1) byte pairs that the texture-map kernels turn into
// texel positions, and the movement path of the wandering tunnel.
//
// Which byte the kernels read as what (f is the moving phase):
//   angrad1  WaveTunnel (col m0, row m1+f), MapEffect3 (col m1, row m0+f),
//            MapEffect8 (col m0, row f-m1): m0 = angle, m1 = depth.
//   angrad2  MapEffect2 (col m1+2f, row m0): m0 = angle, m1 = depth.
//   angrad3  MapEffect4 (col m1+f, row m0+wave(m1)): m1 = depth, m0 = along the walls.
//   angrad4  MapEffect5 (negated pair, col -m1+f, row -m0+wave): m1 across, m0 down.
//   angrad5  MapEffect6 (col m0+f, row m1+wave(m0)), MapEffect7: m0 = depth, m1 = angle.
//   angrad6  BackgroundEffect1 (col m1+f+wave, row m0+wave): m1 = depth, m0 = across.
//   angrad7  MapEffect6: m0 = flow between the two poles, m1 = around them.
//   bigang   MapEffect1 (col m1+2f, row m0), 640x400: m0 = angle, m1 = depth.
//   backgr   BackgroundEffect2 (col m0+wave, row m1+wave): m0 = across, m1 = depth.
// Every angle is scaled to a whole number of 256-texel turns, so it wraps without a
// seam; every other coordinate is continuous modulo 256.
#include "gencontent/content.h"

#include "archive/content_format.h"
#include "core/bytes.h"
#include "gencontent/generator_math.h"

namespace {

// Byte of a continuous coordinate, modulo 256, rounding halves up.
uint8_t Wrap(double v) { return (uint8_t)(RoundHalfUp(v) & 255); }

// Angle of (dx, dy) in 256ths of a turn times turns.
double AngleUnits(double dy, double dx, int turns) { return Atan2(dy, dx) * (256.0 * turns / TwoPi); }

typedef void (*MapFunction)(double dx, double dy, double* m0, double* m1);

std::vector<uint8_t> SampleMap(int width, int height, MapFunction fn, const MapShape& shape = MapShape())
{
    std::vector<uint8_t> map((size_t)width * height * MapEntryBytes);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            double m0, m1;
            fn(x - (width - 1) / 2.0 - shape.centreX, y - (height - 1) / 2.0 - shape.centreY, &m0, &m1);
            map[(y * width + x) * 2 + 0] = Wrap(m0 * shape.scale0 + shape.twist * m1);
            map[(y * width + x) * 2 + 1] = Wrap(m1 * shape.scale1);
        }
    return map;
}

// Depth of a tunnel wall seen at radius r: texel rows per unit of 1/r.
constexpr double TunnelDepth = 4096;

// Radius softened near the centre, so the far end of a tunnel settles into a calm
// disc instead of a storm of single texels.
double SoftRadius(double dx, double dy) { return Sqrt(dx * dx + dy * dy + 64); }

// 1: round tunnel, one texture wrap around; texels come out square at radius 100.
void RoundTunnel(double dx, double dy, double* m0, double* m1)
{
    double r = SoftRadius(dx, dy);
    *m0 = AngleUnits(dy, dx, 1);
    *m1 = TunnelDepth / r;
}

// 2: flower tunnel, the wall's radius swells with six petals; walls and petals
// turn slowly with depth.
void FlowerTunnel(double dx, double dy, double* m0, double* m1)
{
    double r = SoftRadius(dx, dy);
    double a = Atan2(dy, dx);
    double depth = TunnelDepth / r;
    double petal = 1 + 0.28 * Sin(6 * a + depth * (TwoPi / 256));
    *m0 = AngleUnits(dy, dx, 1) + 0.2 * depth;
    *m1 = depth * petal;
}

// 3: rectangular corridor, four flat walls in perspective; m0 runs once round the
// cross-section (two wraps), m1 is the distance down the corridor.
void Corridor(double dx, double dy, double* m0, double* m1)
{
    double ax = dx / 1.6, q = ax < 0 ? -ax : ax, ay = dy < 0 ? -dy : dy;
    double perimeter;   // 0..4 round the cross-section
    if (q >= ay) {
        double s = dy / (q + 1e-9);   // -1..1 along the side wall
        perimeter = dx > 0 ? 0 + (s + 1) / 2 : 2 + (1 - s) / 2;
    } else {
        double s = ax / ay;
        perimeter = dy > 0 ? 1 + (1 - s) / 2 : 3 + (s + 1) / 2;
        q = ay;
    }
    *m0 = perimeter * 128;
    *m1 = 4200 / Sqrt(q * q + 36);
}

// 4: a glass ball over a flat plane: the plane is the texture at 4/5 scale (exactly
// one wrap across the screen); the ball shows it wrapped round a sphere.
void Lens(double dx, double dy, double* m0, double* m1)
{
    const double radius = 88;
    double rho2 = (dx * dx + dy * dy) / (radius * radius);
    if (rho2 < 1) {
        double nx = dx / radius, ny = dy / radius, nz = Sqrt(1 - rho2);
        double longitude = Atan2(nx, nz);   // -Pi/2..Pi/2 on the front half
        double latitude = Atan2(ny, Sqrt(nx * nx + nz * nz));
        *m1 = 128 + longitude * (160 / Pi);
        *m0 = 100 + latitude * (160 / Pi);
    } else {
        *m1 = (dx + 160) * 0.8;
        *m0 = (dy + 100) * 0.8;
    }
}

// 5: spiral tunnel: the angle turns with the depth, so the walls twist into arms.
void Spiral(double dx, double dy, double* m0, double* m1)
{
    double r = SoftRadius(dx, dy);
    double depth = TunnelDepth / r;
    *m0 = depth;
    *m1 = AngleUnits(dy, dx, 2) + 0.75 * depth + 24 * Log(r);
}

// 6: floor and ceiling planes meeting at a horizon through the centre.
void Planes(double dx, double dy, double* m0, double* m1)
{
    double ady = (dy < 0 ? -dy : dy) + 8;
    double z = 3000 / ady;
    *m1 = z;
    *m0 = dx * z / 190 + (dy < 0 ? 128 : 0);
}

// 7: two poles side by side; lines of flow run from one to the other and circles
// of constant ratio surround each (bipolar coordinates).
void Dipole(double dx, double dy, double* m0, double* m1)
{
    const double a = 96;
    double ux = dx - a, vx = dx + a;   // z - a, z + a
    double r1 = Sqrt(ux * ux + dy * dy + 36), r2 = Sqrt(vx * vx + dy * dy + 36);
    double tau = Log(r2 / r1);
    double sigma = Atan2(dy, ux) - Atan2(dy, vx);   // difference of the two angles
    *m0 = tau * 56;
    *m1 = sigma * (256.0 * 2 / TwoPi);
}

// Final scene: a cloud ceiling in perspective whose horizon lies above the screen.
void Sky(double dx, double dy, double* m0, double* m1)
{
    double h = dy + 100 + 70;   // distance below the horizon, 70 rows above the top
    double z = 9000 / h;
    *m1 = z;
    *m0 = dx * z / 150;
}

// Closed path of the wandering tunnel: period 809 records, window origin inside
// 0..MovementMaxX x 0..MovementMaxY of the big map.
void PathPoint(int n, int* x, int* y, double period = 809.0)
{
    double a = TwoPi * n / period;
    double px = 160 + 118 * Sin(a) + 36 * Sin(3 * a + 0.7);
    double py = 100 + 72 * Sin(2 * a + 0.4) + 20 * Cos(5 * a);
    *x = Quantise(px, 0, MovementMaxX);
    *y = Quantise(py, 0, MovementMaxY);
}

}   // namespace

const struct {
    const char* entry;
    const char* preset;
    MapFunction fn;
} Maps[] = {
    {"angrad1.dat", "tunnel", RoundTunnel}, {"angrad2.dat", "flower", FlowerTunnel},
    {"angrad3.dat", "corridor", Corridor},  {"angrad4.dat", "lens", Lens},
    {"angrad5.dat", "spiral", Spiral},      {"angrad6.dat", "planes", Planes},
    {"angrad7.dat", "dipole", Dipole},      {"backgr.dat", "sky", Sky},
};

std::vector<uint8_t> BuildMap(const std::string& name)
{
    for (const auto& m : Maps)
        if (name == m.entry)
            return SampleMap(PictureWidth, PictureHeight, m.fn);
    if (name == "bigang.dat")
        return SampleMap(BigMapWidth, BigMapHeight, RoundTunnel);
    return {};
}

const char* const MapPresetNames = "tunnel, flower, corridor, lens, spiral, planes, dipole, sky";

std::vector<uint8_t> BuildMapPreset(const std::string& preset, int width, int height, const MapShape& shape)
{
    for (const auto& m : Maps)
        if (preset == m.preset)
            return SampleMap(width, height, m.fn, shape);
    return {};
}

std::vector<uint8_t> BuildMovementPath(double period)
{
    std::vector<uint8_t> movement(MovementTableBytes, 0);
    for (uint32_t n = 0; n < MovementRecords; n++) {
        int x, y;
        PathPoint((int)n, &x, &y, period);
        WriteLE32(&movement[n * MovementRecordBytes], (uint32_t)x);
        WriteLE32(&movement[n * MovementRecordBytes + 4], (uint32_t)y);
    }
    return movement;
}

std::vector<uint8_t> BuildMovementEllipse(double radiusX, double radiusY, double period)
{
    std::vector<uint8_t> movement(MovementTableBytes, 0);
    for (uint32_t n = 0; n < MovementRecords; n++) {
        double a = TwoPi * n / period;
        int x = Quantise(MovementMaxX / 2.0 + radiusX * Cos(a), 0, MovementMaxX);
        int y = Quantise(MovementMaxY / 2.0 + radiusY * Sin(a), 0, MovementMaxY);
        WriteLE32(&movement[n * MovementRecordBytes], (uint32_t)x);
        WriteLE32(&movement[n * MovementRecordBytes + 4], (uint32_t)y);
    }
    return movement;
}

std::vector<uint8_t> BuildMovementTable() { return BuildMovementPath(809.0); }
