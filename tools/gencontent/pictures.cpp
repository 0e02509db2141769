// Full-screen pictures: the title, the three credits, the lyrics, the closing card,
// and the scrolling greetings strip of the final scene.
//
// The title, credit and lyric pictures are overlays: only their pixel values are
// shown, 0 transparent, value v through the demo's overlay colour v (palette entry
// 237 + v, or 246 + v for the lyrics): title and credits use values 1..16 (1..8 a
// green-grey ramp to white, 9..15 a lavender ramp to white, 16 dark purple), lyrics
// 1..8. They are composed in RGB with coverage, then every covered pixel takes the
// nearest allowed value.
#include "gencontent/content.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "archive/content_format.h"
#include "effects/kernels.h"
#include "gencontent/generator_math.h"
#include "gencontent/text.h"

namespace {

constexpr int W = PictureWidth, H = PictureHeight;
constexpr int OverlayValues = OverlayColourCount;   // values 0..16

// The overlay colours, value by value, as the demo loads them into its palette.
const uint8_t* LoadedOverlayColours() { return &OverlayColours[0][0]; }
const char* const Bold = "DejaVuSans-Bold.ttf";
const char* const Sans = "DejaVuSans.ttf";
const char* const SerifOblique = "DejaVuSerif.ttf+oblique";
const char* const Condensed = "DejaVuSans-Bold.ttf+condensed";

Rgb Overlay(int value)
{
    const uint8_t* c = LoadedOverlayColours() + value * 3;
    return {(double)c[0], (double)c[1], (double)c[2]};
}
Rgb Mix(Rgb a, Rgb b, double t) { return {Lerp(a.r, b.r, t), Lerp(a.g, b.g, t), Lerp(a.b, b.b, t)}; }

// An RGB image with coverage, composed layer over layer.
struct Layered {
    int width, height;
    std::vector<Rgb> colour;
    std::vector<double> alpha;
};
Layered MakeLayered(int width, int height)
{
    return {width, height, std::vector<Rgb>((size_t)width * height, Rgb{0, 0, 0}),
            std::vector<double>((size_t)width * height, 0.0)};
}

// Lays mask (shifted by dx, dy) over the image in the colour shade(x, y).
template <typename Shade> void Paint(Layered* img, const Mask& mask, int dx, int dy, Shade shade)
{
    for (int y = 0; y < img->height; y++)
        for (int x = 0; x < img->width; x++) {
            double a = mask.get(x - dx, y - dy);
            if (a <= 0)
                continue;
            size_t i = (size_t)y * img->width + x;
            img->colour[i] = img->alpha[i] > 0 ? Mix(img->colour[i], shade(x, y), a) : shade(x, y);
            img->alpha[i] = std::max(img->alpha[i], a);
        }
}

// Covered pixels (coverage 0.5 or more) take the nearest of values first..last.
std::vector<uint8_t> ToOverlay(const Layered& img, int first, int last)
{
    std::vector<uint8_t> out(img.colour.size(), 0);
    for (size_t i = 0; i < out.size(); i++)
        if (img.alpha[i] >= 0.5)
            out[i] = (uint8_t)NearestEntry(LoadedOverlayColours(), first, last, img.colour[i]);
    return out;
}

Picture OverlayPicture(const std::vector<uint8_t>& pixels)
{
    Picture p = MakePicture(W, H);
    p.pixels = pixels;
    // The file's own palette is never shown; it holds the overlay colours for viewers.
    std::memcpy(p.palette, LoadedOverlayColours(), OverlayValues * 3);
    return p;
}

// Text with a dark rim: rim dilation `rim` in colour `rimColour`, optional shadow,
// and the letters shaded by fill(x, y).
template <typename Fill>
void OutlinedText(Layered* img, const char* font, int size, double x, int baseline, int align, const std::string& text,
                  int rim, Rgb rimColour, int shadow, Fill fill)
{
    Mask letters = MakeMask(img->width, img->height);
    DrawText(&letters, font, size, x, baseline, align, text);
    Mask outline = Dilate(letters, rim);
    auto dark = [&](int, int) { return rimColour; };
    if (shadow)
        Paint(img, outline, shadow, shadow, dark);
    Paint(img, outline, 0, 0, dark);
    Paint(img, letters, 0, 0, fill);
}

Picture Title()
{
    Layered img = MakeLayered(W, H);
    int size = 92;
    while (TextWidth(Bold, size, "tivrel") > 284)
        size--;
    const int baseline = 104, top = baseline - size * 3 / 4;
    // Lavender letters, white along the top, a bright band through the middle.
    OutlinedText(&img, Bold, size, 160, baseline, 1, "tivrel", 3, Overlay(16), 4, [&](int, int y) {
        double t = Clamp01((double)(y - top) / (baseline - top));
        Rgb c = Mix(Overlay(15), Overlay(10), Smooth(t));
        double band = Exp(-((t - 0.55) * (t - 0.55)) / 0.004);
        return Mix(c, Overlay(14), band);
    });
    // A thin rule and a subtitle in the grey ramp.
    Mask rule = MakeMask(W, H);
    for (int x = 40; x < 280; x++) {
        double fade = Smooth((x - 40) / 40.0) * Smooth((280 - x) / 40.0);
        rule.a[(baseline + 16) * W + x] = fade > 0.5 ? 1 : 0;
        rule.a[(baseline + 17) * W + x] = fade > 0.5 ? 1 : 0;
    }
    Paint(&img, Dilate(rule, 1), 0, 0, [](int, int) { return Overlay(16); });
    Paint(&img, rule, 0, 0,
          [](int x, int) { return Mix(Overlay(12), Overlay(15), Exp(-((x - 160) * (x - 160)) / 3000.0)); });
    OutlinedText(&img, Sans, 14, 160, baseline + 40, 1, "a journey through 256 colours", 1, Overlay(1), 0,
                 [](int, int) { return Overlay(8); });
    return OverlayPicture(ToOverlay(img, 1, 16));
}

Picture Credit(const std::string& role, const std::string& who, const std::string& note, double x, int baseline,
               int align)
{
    Layered img = MakeLayered(W, H);
    OutlinedText(&img, Bold, 15, x, baseline - 34, align, role, 2, Overlay(16), 0,
                 [](int, int) { return Overlay(13); });
    OutlinedText(&img, Bold, 30, x, baseline, align, who, 2, Overlay(16), 2, [&](int, int y) {
        double t = Clamp01((y - (baseline - 22)) / 24.0);
        return Mix(Overlay(8), Overlay(5), t);
    });
    OutlinedText(&img, SerifOblique, 12, x, baseline + 20, align, note, 1, Overlay(16), 0,
                 [](int, int) { return Overlay(7); });
    return OverlayPicture(ToOverlay(img, 1, 16));
}

Picture Lyrics()
{
    const int bandTop[4] = {0, 55, 109, 162};
    const char* lines[4] = {
        "made of light and numbers",
        "falling through the night",
        "every colour in its time",
        "the music ends, the pattern stays",
    };
    Layered img = MakeLayered(W, H);
    for (int b = 0; b < 4; b++) {
        int size = 19;
        while (TextWidth(SerifOblique, size, lines[b]) > 296)
            size--;
        OutlinedText(&img, SerifOblique, size, 160, bandTop[b] + 20, 1, lines[b], 2, Overlay(1), 1, [&](int, int y) {
            double t = Clamp01((y - (bandTop[b] + 6)) / 18.0);
            return Mix(Overlay(8), Overlay(6), t);
        });
    }
    std::vector<uint8_t> pixels = ToOverlay(img, 1, 8);
    // Only the four 30-row bands are ever shown; keep everything else transparent.
    for (int y = 0; y < H; y++) {
        bool inBand = false;
        for (int b = 0; b < 4; b++)
            inBand = inBand || (y >= bandTop[b] && y < bandTop[b] + 30);
        if (!inBand)
            std::memset(pixels.data() + y * W, 0, W);
    }
    return OverlayPicture(pixels);
}

// ---- the closing card ------------------------------------------------------------------

// Median cut over 6-bit colours: up to 256 boxes, each split at the median of its
// widest component; the palette is the mean of each box.
struct Box {
    std::vector<uint32_t> colours;   // packed r << 12 | g << 6 | b
};
int Component(uint32_t c, int k) { return (int)((c >> (12 - 6 * k)) & 63); }

void MedianCut(const std::vector<uint32_t>& pixels, uint8_t* palette, std::map<uint32_t, int>* lookup)
{
    std::vector<Box> boxes(1);
    boxes[0].colours = pixels;
    while (boxes.size() < 256) {
        // Split the box with the largest range times population.
        int best = -1, bestK = 0;
        double bestScore = 0;
        for (size_t i = 0; i < boxes.size(); i++) {
            for (int k = 0; k < 3; k++) {
                int lo = 63, hi = 0;
                for (uint32_t c : boxes[i].colours) {
                    lo = std::min(lo, Component(c, k));
                    hi = std::max(hi, Component(c, k));
                }
                double score = (double)(hi - lo) * Sqrt((double)boxes[i].colours.size());
                if (hi > lo && score > bestScore) {
                    bestScore = score;
                    best = (int)i;
                    bestK = k;
                }
            }
        }
        if (best < 0)
            break;
        std::vector<uint32_t>& c = boxes[best].colours;
        std::sort(c.begin(), c.end(), [&](uint32_t a, uint32_t b) {
            int ca = Component(a, bestK), cb = Component(b, bestK);
            return ca != cb ? ca < cb : a < b;
        });
        size_t mid = c.size() / 2;
        while (mid > 0 && mid < c.size() && Component(c[mid], bestK) == Component(c[mid - 1], bestK))
            mid++;
        if (mid >= c.size()) {
            mid = c.size() / 2;
            while (mid > 0 && Component(c[mid], bestK) == Component(c[mid - 1], bestK))
                mid--;
        }
        Box upper;
        upper.colours.assign(c.begin() + (long)mid, c.end());
        c.resize(mid);
        boxes.push_back(upper);
    }
    // Darkest box first, so entry 0 is near black.
    std::vector<Rgb> means;
    for (const Box& b : boxes) {
        double s[3] = {0, 0, 0};
        for (uint32_t c : b.colours)
            for (int k = 0; k < 3; k++)
                s[k] += Component(c, k);
        double n = (double)b.colours.size();
        means.push_back({s[0] / n, s[1] / n, s[2] / n});
    }
    std::vector<int> order(means.size());
    for (size_t i = 0; i < order.size(); i++)
        order[i] = (int)i;
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        double la = means[a].r * 3 + means[a].g * 4 + means[a].b * 2,
               lb = means[b].r * 3 + means[b].g * 4 + means[b].b * 2;
        return la != lb ? la < lb : a < b;
    });
    std::memset(palette, 0, 768);
    for (size_t i = 0; i < order.size(); i++) {
        palette[i * 3 + 0] = (uint8_t)Quantise(means[order[i]].r, 0, 63);
        palette[i * 3 + 1] = (uint8_t)Quantise(means[order[i]].g, 0, 63);
        palette[i * 3 + 2] = (uint8_t)Quantise(means[order[i]].b, 0, 63);
    }
    int count = (int)order.size();
    for (uint32_t c : pixels)
        if (lookup->find(c) == lookup->end())
            (*lookup)[c] = NearestEntry(palette, 0, count - 1,
                                        {(double)Component(c, 0), (double)Component(c, 1), (double)Component(c, 2)});
}

// Dusk over a lake: starry violet sky, a striped setting sun, two ranges of hills,
// their reflections in rippling water, and the card's text with a soft glow.
Picture Thanks()
{
    std::vector<Rgb> rgb((size_t)W * H);
    const int horizon = 136;
    const double sunX = 160, sunY = 88, sunR = 44;
    auto sky = [&](double x, double y) -> Rgb {
        double t = Clamp01(y / horizon);
        Rgb c = Mix(Rgb{3, 2, 12}, Rgb{22, 7, 30}, Smooth(t * 1.3));
        c = Mix(c, Rgb{60, 26, 18}, Smooth((t - 0.55) / 0.45));
        double dx = x - sunX, dy = y - sunY, d = Sqrt(dx * dx + dy * dy);
        c = Mix(c, Rgb{63, 40, 24}, 0.55 * Exp(-(d * d) / (2 * 70.0 * 70.0)) * Clamp01(t + 0.3));
        double disc = Clamp01(sunR - d + 0.5);   // anti-aliased rim
        if (disc > 0) {
            double s = Clamp01((sunY + sunR - y) / (2 * sunR));
            // Horizontal gaps across the lower half, wider towards the bottom.
            int below = (int)(y - sunY);
            bool gap = below > 0 && below % 9 < 1 + below / 10;
            if (!gap)
                c = Mix(c, Mix(Rgb{63, 22, 20}, Rgb{63, 58, 24}, s), disc);
        }
        return c;
    };
    auto ridge = [](double x, double base, double amplitude, uint32_t seed) {
        return base - amplitude * (0.55 + 0.45 * Fbm(x * 0.8, 17, 4, 5, 0.5, seed));
    };
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            Rgb c;
            double far = ridge(x, horizon, 26, 131), nearR = ridge(x + 90, horizon, 13, 132);
            if (y < horizon) {
                c = sky(x, y);
                c = Mix(c, Mix(Rgb{14, 6, 22}, Rgb{30, 12, 28}, Clamp01((y - far) / 30.0)), Clamp01(y - far + 0.5));
                c = Mix(c, Rgb{5, 2, 10}, Clamp01(y - nearR + 0.5));
            } else {
                // Water: the mirrored scene, shifted by ripples and darkened with depth.
                double depth = (y - horizon) / (double)(H - horizon);
                double shift = 3 * Sin(y * 1.7 + 2 * Sin(x * 0.05)) * depth + 2 * GradNoise(x * 2, y * 6, 16, 133);
                double my = 2 * horizon - y - 1, mx = x + shift;
                double mfar = ridge(mx, horizon, 26, 131), mnear = ridge(mx + 90, horizon, 13, 132);
                c = sky(mx, my);
                if (my > mfar)
                    c = Mix(Rgb{14, 6, 22}, Rgb{30, 12, 28}, Clamp01((my - mfar) / 30.0));
                if (my > mnear)
                    c = Rgb{5, 2, 10};
                double k = 0.65 - 0.35 * depth;
                c = {c.r * k + 1, c.g * k + 2, c.b * k + 6};
                if (Sin(y * 2.3 + x * 0.02) > 0.92 && depth > 0.05)
                    c = Mix(c, Rgb{63, 50, 40}, 0.3 * (1 - depth));
            }
            rgb[y * W + x] = c;
        }
    // Stars, denser towards the top.
    Rng rng = MakeRng(134);
    for (int s = 0; s < 220; s++) {
        int x = (int)(NextU32(&rng) % W), y = (int)(NextU32(&rng) % 100);
        double b = NextUnit(&rng) * (1 - y / 110.0);
        if (y < ridge(x, horizon, 26, 131))
            rgb[y * W + x] = Mix(rgb[y * W + x], Rgb{60, 60, 63}, b);
    }
    // The text: a glow, a dark rim and pale letters.
    Mask big = MakeMask(W, H), small = MakeMask(W, H);
    int size = 34;
    while (TextWidth(Bold, size, "thanks for watching") > 300)
        size--;
    DrawText(&big, Bold, size, 160, 48, 1, "thanks for watching");
    DrawText(&small, Sans, 13, 160, 188, 1, "tivrel  -  every pixel grown from source");
    Mask glow = Blur(Dilate(big, 2), 4);
    Mask rim = Dilate(big, 1);
    for (int i = 0; i < W * H; i++) {
        Rgb& c = rgb[i];
        c = Mix(c, Rgb{50, 20, 63}, 0.7 * Clamp01(glow.a[i] * 1.6));
        c = Mix(c, Rgb{8, 2, 16}, rim.a[i]);
        int y = i / W;
        c = Mix(c, Mix(Rgb{63, 63, 63}, Rgb{63, 44, 58}, Clamp01((y - 22) / 30.0)), big.a[i]);
        c = Mix(c, Rgb{56, 52, 63}, small.a[i]);
    }
    // To 6-bit colours with a 4x4 ordered dither, then to 256 palette entries.
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    std::vector<uint32_t> packed((size_t)W * H);
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            double d = (bayer[y & 3][x & 3] + 0.5) / 16.0 - 0.5;
            const Rgb& c = rgb[y * W + x];
            uint32_t r = (uint32_t)Quantise(c.r + d, 0, 63), g = (uint32_t)Quantise(c.g + d, 0, 63),
                     b = (uint32_t)Quantise(c.b + d, 0, 63);
            packed[y * W + x] = r << 12 | g << 6 | b;
        }
    Picture p = MakePicture(W, H);
    std::map<uint32_t, int> lookup;
    MedianCut(packed, p.palette, &lookup);
    for (size_t i = 0; i < packed.size(); i++)
        p.pixels[i] = (uint8_t)lookup[packed[i]];
    return p;
}

// ---- the greetings strip ------------------------------------------------------------------

const char* const Greetings[] = {
    "",
    "greetings",
    "",
    "to all",
    "demosceners",
    "everywhere",
    "",
    "*",
    "coders",
    "who count",
    "every cycle",
    "",
    "pixel artists",
    "who place",
    "every dot",
    "",
    "trackers",
    "who think",
    "in hex",
    "",
    "*",
    "musicians",
    "and chip",
    "composers",
    "",
    "sysops",
    "and swappers",
    "of old",
    "",
    "party",
    "organisers",
    "big and small",
    "",
    "*",
    "everyone",
    "who stayed up",
    "all night",
    "for a deadline",
    "",
    "diskmag",
    "writers",
    "",
    "sizecoders",
    "in 256 bytes",
    "4k and 64k",
    "",
    "*",
    "shader",
    "wizards",
    "",
    "tool makers",
    "and archivists",
    "who keep",
    "old demos",
    "alive",
    "",
    "*",
    "thanks to",
    "the makers of",
    "free fonts,",
    "compilers",
    "and trackers",
    "",
    "this demo",
    "was grown",
    "from source",
    "",
    "no pixel",
    "drawn by hand",
    "",
    "*",
    "keep the",
    "scene alive",
    "",
    "see you",
    "at the next",
    "party",
    "",
    "*",
    "",
};

}   // namespace

namespace {

// Lines spread evenly down the strip, centred, each at size(line) shrunk to fit 244
// pixels; "*" draws a small diamond between paragraphs.
template <typename Size> Mask LayOutStrip(const std::vector<std::string>& lines, const char* font, Size size)
{
    Mask cover = MakeMask(StripWidth, StripRows);
    const int count = (int)lines.size();
    const double pitch = (StripRows - 160.0) / (count ? count : 1);
    for (int i = 0; i < count; i++) {
        const std::string& line = lines[i];
        int baseline = (int)RoundHalfUp(120 + i * pitch);
        if (line == "*") {
            for (int j = -9; j <= 9; j++)
                for (int k = -9; k <= 9; k++) {
                    double d = (j < 0 ? -j : j) + (k < 0 ? -k : k);
                    cover.a[(baseline - 10 + j) * StripWidth + 160 + k] = Clamp01(9.5 - d);
                }
            continue;
        }
        int pixels = size(line);
        while (pixels > 4 && TextWidth(font, pixels, line) > 244)
            pixels--;
        DrawText(&cover, font, pixels, 160, baseline, 1, line);
    }
    return cover;
}

}   // namespace

std::vector<uint8_t> StripFromCoverage(const Mask& cover)
{
    // A strip value is 32 x level + d. The final scene displaces its background by
    // 8 x value modulo 256, that is by 8 x d alone, so d carries the refraction: it
    // rises smoothly across each letter edge and is flat inside. The level only picks
    // the brightness band in which the mesh shows the pixel (halo 0, edge 2, face 3),
    // and d, lit from the top left, shades within the band.
    Mask soft = Blur(cover, 2);
    std::vector<uint8_t> strip(StripBytes, 0);
    for (int y = 0; y < (int)StripRows && y < cover.height; y++)
        for (int x = 0; x < (int)StripWidth; x++) {
            size_t i = (size_t)y * StripWidth + x;
            double c = cover.a[i], h = soft.a[i];
            if (c <= 0 && h < 0.03)
                continue;
            double e = soft.get(x - 1, y - 1) - soft.get(x + 1, y + 1);
            int d = Quantise(3 + 14 * h + 12 * e, 1, 31);
            int level = c >= 0.6 ? 3 : (c >= 0.15 ? 2 : 0);
            strip[i] = (uint8_t)(32 * level + d);
        }
    return strip;
}

std::vector<uint8_t> BuildStripFromLines(const std::vector<std::string>& lines, const char* font, int size)
{
    if (lines.empty())
        return std::vector<uint8_t>(StripBytes, 0);
    return StripFromCoverage(LayOutStrip(lines, font, [&](const std::string&) { return size; }));
}

std::vector<uint8_t> BuildStrip()
{
    std::vector<std::string> lines(std::begin(Greetings), std::end(Greetings));
    return StripFromCoverage(
        LayOutStrip(lines, Condensed, [](const std::string& line) { return line == "greetings" ? 58 : 44; }));
}

Picture BuildPicture(const std::string& name)
{
    if (name == "tivrel.scx")
        return Title();
    if (name == "name1.scx")
        return Credit("code", "tivrel developers", "plain procedural c++", 24, 62, 0);
    if (name == "name2.scx")
        return Credit("graphics", "tivrel developers", "every pixel grown from source", 296, 112, 2);
    if (name == "name3.scx")
        return Credit("music", "tivrel developers", "a module written by a program", 24, 168, 0);
    if (name == "lyrics.scx")
        return Lyrics();
    if (name == "thx.scx")
        return Thanks();
    return {};
}
