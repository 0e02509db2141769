// Deterministic math of the content generators: everything that is later rounded
// to a byte is computed in double precision from +, -, *, / and sqrt only (the
// series below stand in for the C library's transcendental functions), so every
// machine writes the same bytes. Fixed-seed random numbers, noise that repeats
// every 256 texels, palette ramps and 256x256 fields of doubles.
#pragma once
#include <cstdint>
#include <vector>

constexpr double Pi = 3.14159265358979323846;
constexpr double TwoPi = 6.28318530717958647692;

double Sin(double x);
double Cos(double x);
double Atan2(double y, double x);   // (-Pi, Pi], Atan2(0, 0) = 0
double Exp(double x);
double Log(double x);             // x > 0
double Pow(double x, double y);   // x > 0; Pow(0, y) = 0
double Sqrt(double x);            // IEEE square root, 0 for x <= 0

inline double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline double Lerp(double a, double b, double t) { return a + (b - a) * t; }
inline double Smooth(double t)
{
    t = Clamp01(t);
    return t * t * (3 - 2 * t);
}
// Rounds halves up; the one rounding rule of the generators.
inline long RoundHalfUp(double v)
{
    double f = v + 0.5;
    long i = (long)f;
    if ((double)i > f)
        i -= 1;   // floor for negatives
    return i;
}
// v rounded and clamped into lo..hi (lo for NaN).
int Quantise(double v, int lo, int hi);

// ---- pseudo-random numbers (PCG32, fixed seeds only) --------------------------------
struct Rng {
    uint64_t state;
    uint64_t inc;
};
Rng MakeRng(uint64_t seed);
uint32_t NextU32(Rng* r);
double NextUnit(Rng* r);                               // [0, 1)
uint32_t Hash3(int32_t x, int32_t y, uint32_t seed);   // integer hash, any inputs

// ---- periodic noise over a 256x256 torus ---------------------------------------------
// Coordinates are texel units; every function here has period 256 in x and y
// (cells is a power of two dividing 256).
double GradNoise(double x, double y, int cells, uint32_t seed);   // about -1..1
double Fbm(double x, double y, int cells, int octaves, double gain, uint32_t seed);
// Distances to the nearest and second-nearest feature point of a jittered grid of
// cells x cells points, measured on the torus, in units of one cell.
void Worley(double x, double y, int cells, uint32_t seed, double* f1, double* f2, uint32_t* id);

// ---- colours and fields ----------------------------------------------------------------
struct Rgb {
    double r, g, b;   // 0..63
};
struct ColourKey {
    double at;   // 0..1 along the ramp
    Rgb colour;
};

// Fills palette entries first..last with a ramp through the keys (sorted by `at`),
// smoothly interpolated, each component rounded into 0..63.
void FillRamp(uint8_t* palette, int first, int last, const std::vector<ColourKey>& keys);
// The palette entry in first..last whose colour lies nearest to c.
int NearestEntry(const uint8_t* palette, int first, int last, Rgb c);

// A square 256x256 field of doubles, the working form of a texture before quantising.
struct Field {
    std::vector<double> v;
    double& at(int x, int y) { return v[(y & 255) * 256 + (x & 255)]; }
    double get(int x, int y) const { return v[(y & 255) * 256 + (x & 255)]; }
};
Field MakeField();
// Rescales the field linearly so its values span 0..1.
void Normalise(Field* f);
// Lambert light over a height field (wraps at the edges): 0..1 per texel.
Field Light(const Field& height, double strength, double lx, double ly, double lz);
