// Deterministic math, random numbers, periodic noise, palette ramps and fields.
#include "gencontent/generator_math.h"

#include <cmath>

// ---- math ------------------------------------------------------------------------------
// Only +, -, *, /, sqrt, frexp and ldexp are used: IEEE-exact on every machine.

double Sqrt(double x) { return x <= 0 ? 0.0 : std::sqrt(x); }

static double SinPoly(double r)
{   // |r| <= Pi/4
    double r2 = r * r, term = r, sum = r;
    for (int n = 1; n <= 9; n++) {
        term *= -r2 / ((2.0 * n) * (2.0 * n + 1));
        sum += term;
    }
    return sum;
}

static double CosPoly(double r)
{   // |r| <= Pi/4
    double r2 = r * r, term = 1, sum = 1;
    for (int n = 1; n <= 9; n++) {
        term *= -r2 / ((2.0 * n - 1) * (2.0 * n));
        sum += term;
    }
    return sum;
}

// x = k * Pi/2 + r with |r| <= Pi/4 (two-part constant keeps r exact enough).
static double ReduceQuarter(double x, long* k)
{
    const double halfPiHi = 1.57079632673412561417e+00;
    const double halfPiLo = 6.07710050650619224932e-11;
    *k = RoundHalfUp(x / (Pi / 2));
    return (x - (double)*k * halfPiHi) - (double)*k * halfPiLo;
}

double Sin(double x)
{
    long k;
    double r = ReduceQuarter(x, &k);
    switch (k & 3) {
    case 0: return SinPoly(r);
    case 1: return CosPoly(r);
    case 2: return -SinPoly(r);
    default: return -CosPoly(r);
    }
}

double Cos(double x)
{
    long k;
    double r = ReduceQuarter(x, &k);
    switch (k & 3) {
    case 0: return CosPoly(r);
    case 1: return -SinPoly(r);
    case 2: return -CosPoly(r);
    default: return SinPoly(r);
    }
}

static double AtanUnit(double t)
{   // |t| <= 1
    // atan(t) = 2 atan(t / (1 + sqrt(1 + t^2))), twice, then the series.
    t = t / (1 + Sqrt(1 + t * t));
    t = t / (1 + Sqrt(1 + t * t));
    double t2 = t * t, power = t, sum = t;
    for (int n = 1; n <= 15; n++) {
        power *= -t2;
        sum += power / (2.0 * n + 1);
    }
    return 4 * sum;
}

static double Atan(double t)
{
    if (t > 1)
        return Pi / 2 - AtanUnit(1 / t);
    if (t < -1)
        return -Pi / 2 - AtanUnit(1 / t);
    return AtanUnit(t);
}

double Atan2(double y, double x)
{
    if (x > 0)
        return Atan(y / x);
    if (x < 0)
        return y >= 0 ? Atan(y / x) + Pi : Atan(y / x) - Pi;
    if (y > 0)
        return Pi / 2;
    if (y < 0)
        return -Pi / 2;
    return 0;
}

double Exp(double x)
{
    const double ln2Hi = 6.93147180369123816490e-01;
    const double ln2Lo = 1.90821492927058770002e-10;
    if (x > 700)
        x = 700;
    if (x < -700)
        return 0;
    long k = RoundHalfUp(x / 0.69314718055994530942);
    double r = (x - (double)k * ln2Hi) - (double)k * ln2Lo;
    double term = 1, sum = 1;
    for (int n = 1; n <= 20; n++) {
        term *= r / n;
        sum += term;
    }
    return std::ldexp(sum, (int)k);
}

double Log(double x)
{
    if (x <= 0)
        return -745;
    int e;
    double m = std::frexp(x, &e);   // x = m * 2^e, m in [0.5, 1)
    if (m < 0.70710678118654752440) {
        m *= 2;
        e -= 1;
    }
    double s = (m - 1) / (m + 1), s2 = s * s, power = s, sum = s;
    for (int n = 1; n <= 15; n++) {
        power *= s2;
        sum += power / (2.0 * n + 1);
    }
    return 2 * sum + e * 0.69314718055994530942;
}

double Pow(double x, double y) { return x <= 0 ? 0.0 : Exp(y * Log(x)); }

int Quantise(double v, int lo, int hi)
{
    if (!(v > lo))
        return lo;   // also catches NaN
    if (v >= hi)
        return hi;
    long i = RoundHalfUp(v);
    return i < lo ? lo : (i > hi ? hi : (int)i);
}

// ---- random numbers ----------------------------------------------------------------------
Rng MakeRng(uint64_t seed)
{
    Rng r{0, (seed << 1) | 1};
    NextU32(&r);
    r.state += 0x853c49e6748fea9bULL ^ seed;
    NextU32(&r);
    return r;
}

uint32_t NextU32(Rng* r)
{
    uint64_t old = r->state;
    r->state = old * 6364136223846793005ULL + r->inc;
    uint32_t xorshifted = (uint32_t)(((old >> 18) ^ old) >> 27);
    uint32_t rot = (uint32_t)(old >> 59);
    return (xorshifted >> rot) | (xorshifted << ((32 - rot) & 31));
}

double NextUnit(Rng* r) { return NextU32(r) * (1.0 / 4294967296.0); }

uint32_t Hash3(int32_t x, int32_t y, uint32_t seed)
{
    uint32_t h = seed * 0x9E3779B9u ^ (uint32_t)x * 0x85EBCA6Bu ^ (uint32_t)y * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// ---- periodic noise ------------------------------------------------------------------------
static double GradDot(int ix, int iy, int cells, uint32_t seed, double dx, double dy)
{
    // 16 gradient directions, evenly spaced.
    static double gx[16], gy[16];
    static bool ready = false;
    if (!ready) {
        for (int i = 0; i < 16; i++) {
            gx[i] = Cos(TwoPi * i / 16);
            gy[i] = Sin(TwoPi * i / 16);
        }
        ready = true;
    }
    uint32_t h = Hash3(((ix % cells) + cells) % cells, ((iy % cells) + cells) % cells, seed) & 15;
    return gx[h] * dx + gy[h] * dy;
}

static double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

double GradNoise(double x, double y, int cells, uint32_t seed)
{
    double px = x * cells / 256.0, py = y * cells / 256.0;
    double fx0 = std::floor(px), fy0 = std::floor(py);
    int ix = (int)fx0, iy = (int)fy0;
    double fx = px - fx0, fy = py - fy0;
    double n00 = GradDot(ix, iy, cells, seed, fx, fy);
    double n10 = GradDot(ix + 1, iy, cells, seed, fx - 1, fy);
    double n01 = GradDot(ix, iy + 1, cells, seed, fx, fy - 1);
    double n11 = GradDot(ix + 1, iy + 1, cells, seed, fx - 1, fy - 1);
    double u = Fade(fx), v = Fade(fy);
    return 1.4 * Lerp(Lerp(n00, n10, u), Lerp(n01, n11, u), v);
}

double Fbm(double x, double y, int cells, int octaves, double gain, uint32_t seed)
{
    double sum = 0, amplitude = 1, total = 0;
    for (int o = 0; o < octaves && cells <= 256; o++) {
        sum += amplitude * GradNoise(x, y, cells, seed + 101u * o);
        total += amplitude;
        amplitude *= gain;
        cells *= 2;
    }
    return sum / total;
}

void Worley(double x, double y, int cells, uint32_t seed, double* f1, double* f2, uint32_t* id)
{
    double px = x * cells / 256.0, py = y * cells / 256.0;
    int cx = (int)std::floor(px), cy = (int)std::floor(py);
    double best = 1e9, second = 1e9;
    uint32_t bestId = 0;
    for (int j = -2; j <= 2; j++)
        for (int i = -2; i <= 2; i++) {
            int gx = cx + i, gy = cy + j;
            int wx = ((gx % cells) + cells) % cells, wy = ((gy % cells) + cells) % cells;
            uint32_t h = Hash3(wx, wy, seed);
            double ox = ((h & 0xFFFF) / 65536.0) * 0.8 + 0.1;
            double oy = ((h >> 16) / 65536.0) * 0.8 + 0.1;
            double dx = gx + ox - px, dy = gy + oy - py;
            double d = Sqrt(dx * dx + dy * dy);
            if (d < best) {
                second = best;
                best = d;
                bestId = Hash3(wx, wy, seed ^ 0x5bd1e995u);
            } else if (d < second) {
                second = d;
            }
        }
    *f1 = best;
    *f2 = second;
    if (id)
        *id = bestId;
}

// ---- palettes and fields ---------------------------------------------------------------------
void FillRamp(uint8_t* palette, int first, int last, const std::vector<ColourKey>& keys)
{
    for (int i = first; i <= last; i++) {
        double t = last == first ? 0 : (double)(i - first) / (last - first);
        size_t k = 0;
        while (k + 1 < keys.size() && keys[k + 1].at < t)
            k++;
        const ColourKey& a = keys[k];
        const ColourKey& b = keys[k + 1 < keys.size() ? k + 1 : k];
        double u = b.at > a.at ? Clamp01((t - a.at) / (b.at - a.at)) : 0;
        palette[i * 3 + 0] = (uint8_t)Quantise(Lerp(a.colour.r, b.colour.r, u), 0, 63);
        palette[i * 3 + 1] = (uint8_t)Quantise(Lerp(a.colour.g, b.colour.g, u), 0, 63);
        palette[i * 3 + 2] = (uint8_t)Quantise(Lerp(a.colour.b, b.colour.b, u), 0, 63);
    }
}

int NearestEntry(const uint8_t* palette, int first, int last, Rgb c)
{
    int best = first;
    double bestD = 1e18;
    for (int i = first; i <= last; i++) {
        double dr = palette[i * 3] - c.r, dg = palette[i * 3 + 1] - c.g, db = palette[i * 3 + 2] - c.b;
        double d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}

Field MakeField()
{
    Field f;
    f.v.assign(65536, 0.0);
    return f;
}

void Normalise(Field* f)
{
    double lo = 1e18, hi = -1e18;
    for (double v : f->v) {
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
    }
    double span = hi > lo ? hi - lo : 1;
    for (double& v : f->v)
        v = (v - lo) / span;
}

Field Light(const Field& height, double strength, double lx, double ly, double lz)
{
    double ll = Sqrt(lx * lx + ly * ly + lz * lz);
    lx /= ll;
    ly /= ll;
    lz /= ll;
    Field out = MakeField();
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            double dx = (height.get(x + 1, y) - height.get(x - 1, y)) * strength;
            double dy = (height.get(x, y + 1) - height.get(x, y - 1)) * strength;
            double n = Sqrt(dx * dx + dy * dy + 1);
            out.at(x, y) = Clamp01((-dx * lx - dy * ly + lz) / n);
        }
    return out;
}
