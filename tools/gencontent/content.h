// gencontent: the default data of the demo, generated from source.
//
// Every entry is computed in double precision from fixed seeds and written byte for
// byte the same on every run and machine. Transcendental functions come from this
// tool's own series (Sin, Cos, Atan2, Exp, Log, Pow below), built only from +, -, *,
// / and sqrt, so no value that is later rounded to a byte depends on the C library.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// ---- deterministic math -------------------------------------------------------------
constexpr double Pi = 3.14159265358979323846;
constexpr double TwoPi = 6.28318530717958647692;

double Sin(double x);
double Cos(double x);
double Atan2(double y, double x);   // (-Pi, Pi], Atan2(0, 0) = 0
double Exp(double x);
double Log(double x);                // x > 0
double Pow(double x, double y);      // x > 0; Pow(0, y) = 0
double Sqrt(double x);               // IEEE square root, 0 for x <= 0

inline double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline double Lerp(double a, double b, double t) { return a + (b - a) * t; }
inline double Smooth(double t) { t = Clamp01(t); return t * t * (3 - 2 * t); }
// Rounds halves up; the one rounding rule of the tool.
inline long RoundHalfUp(double v);
// v rounded and clamped into lo..hi.
int Quantise(double v, int lo, int hi);

// ---- pseudo-random numbers (PCG32, fixed seeds only) --------------------------------
struct Rng {
    uint64_t state;
    uint64_t inc;
};
Rng MakeRng(uint64_t seed);
uint32_t NextU32(Rng* r);
double NextUnit(Rng* r);             // [0, 1)
uint32_t Hash3(int32_t x, int32_t y, uint32_t seed);   // integer hash, any inputs

// ---- periodic noise over a 256x256 torus ---------------------------------------------
// Coordinates are texel units; every function here has period 256 in x and y
// (cells is a power of two dividing 256).
double GradNoise(double x, double y, int cells, uint32_t seed);         // about -1..1
double Fbm(double x, double y, int cells, int octaves, double gain, uint32_t seed);
// Distances to the nearest and second-nearest feature point of a jittered grid of
// cells x cells points, measured on the torus, in units of one cell.
void Worley(double x, double y, int cells, uint32_t seed, double* f1, double* f2, uint32_t* id);

// ---- palettes and pictures -----------------------------------------------------------
struct Rgb {
    double r, g, b;                  // 0..63
};
struct ColourKey {
    double at;                       // 0..1 along the ramp
    Rgb colour;
};
typedef uint8_t Palette[768];

// Fills entries first..last with a ramp through the keys (sorted by `at`), smoothly
// interpolated, each component rounded into 0..63.
void FillRamp(uint8_t* palette, int first, int last, const std::vector<ColourKey>& keys);
// The palette entry in first..last whose colour lies nearest to c.
int NearestEntry(const uint8_t* palette, int first, int last, Rgb c);

struct Picture {
    int width = 0, height = 0;
    uint8_t palette[768] = {};
    std::vector<uint8_t> pixels;     // width x height palette indices, row-major
};
Picture MakePicture(int width, int height);

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

// ---- files ----------------------------------------------------------------------------
// .scx layout: 10-byte header "SCX", 0, width (LE16), height (LE16), 2 zero bytes;
// then the 768-byte palette, then width x height pixels.
constexpr int ScxHeaderBytes = 10;
bool WriteScx(const std::string& path, const Picture& picture);
bool ReadScx(const std::string& path, Picture* picture, int width, int height);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool ReadBytes(const std::string& path, std::vector<uint8_t>* bytes);

// ---- text (FreeType, DejaVu faces) ----------------------------------------------------
// A coverage mask 0..1 of the canvas size. Fonts: a file of fonts-dejavu-core
// ("DejaVuSans-Bold.ttf"), optionally with "+oblique" and/or "+condensed".
struct Mask {
    int width = 0, height = 0;
    std::vector<double> a;
    double get(int x, int y) const {
        return (x < 0 || y < 0 || x >= width || y >= height) ? 0.0 : a[y * width + x];
    }
};
Mask MakeMask(int width, int height);
// Width in pixels of `text` at pixelSize, with kerning.
int TextWidth(const char* font, int pixelSize, const std::string& text);
// Draws text with its baseline at y, starting at x (align 0), centred on x (1) or
// ending at x (2); coverage combines by maximum. Returns false if the font is missing.
bool DrawText(Mask* mask, const char* font, int pixelSize, double x, int y, int align,
              const std::string& text);
Mask Dilate(const Mask& m, int radius);   // round structuring element
Mask Blur(const Mask& m, int radius);     // three box passes, edges read as 0
void ShutdownText();
// True once a font or FreeType itself failed to load (the masks are then incomplete).
bool TextFailed();

// ---- the generators ---------------------------------------------------------------------
// Each writes its entries into dir and returns false (after a one-line message on
// stderr) if a file cannot be written or a font cannot be loaded.
bool WriteMaps(const std::string& dir);        // angrad1..7, bigang, backgr, movement
bool WriteTextures(const std::string& dir);    // the twelve 256x256 textures
bool WritePictures(const std::string& dir);    // tivrel, name1..3, lyrics, thx, groups

// The overlay colours the title, credits and lyrics are shown with (values 1..16 and
// 1..8 of those pictures), and the wave tables of the kernels, for previews and checks.
extern const uint8_t OverlayColourTable[17][3];
void MakeWaveTables(uint8_t waveA[256], uint8_t waveB[256]);

// Renders the contact sheet of the entries in dir to a PNG file.
bool WriteContactSheet(const std::string& dir, const std::string& pngPath);

inline long RoundHalfUp(double v) {
    double f = v + 0.5;
    long i = (long)f;
    if ((double)i > f) i -= 1;    // floor for negatives
    return i;
}
