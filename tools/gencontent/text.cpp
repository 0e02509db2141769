// Text coverage masks through FreeType, from the DejaVu faces of fonts-dejavu-core.
// Glyphs are rendered unhinted (outline shapes only) so the masks do not depend on
// the hinting engine; pen positions are rounded to whole pixels.
#include "gencontent/text.h"

#include "gencontent/generator_math.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <map>

static const char* const FontDir = "/usr/share/fonts/truetype/dejavu/";
static FT_Library Library = nullptr;
static std::map<std::string, FT_Face> Faces;
static bool Failed = false;
static bool PrintFailures = true;

bool TextFailed() { return Failed; }
void PrintTextFailures(bool print) { PrintFailures = print; }

// A font is "file" or "file+oblique" and/or "+condensed": the faces of
// fonts-dejavu-core with a shear (slant 0.2) or a horizontal squeeze (0.84) applied.
// A file with a '/' is a path to any font file FreeType reads.
struct FontSpec {
    std::string file;
    bool oblique = false, condensed = false;
};

static FontSpec ParseFont(const char* font)
{
    FontSpec spec;
    std::string s = font;
    size_t plus = s.find('+');
    spec.file = s.substr(0, plus);
    spec.oblique = s.find("+oblique") != std::string::npos;
    spec.condensed = s.find("+condensed") != std::string::npos;
    return spec;
}

static FT_Face GetFace(const FontSpec& spec)
{
    auto found = Faces.find(spec.file);
    FT_Face face = nullptr;
    if (found != Faces.end()) {
        face = found->second;
    } else {
        if (!Library && FT_Init_FreeType(&Library) != 0) {
            if (PrintFailures)
                std::fprintf(stderr, "gencontent: cannot start FreeType\n");
            Failed = true;
            return nullptr;
        }
        std::string path = spec.file.find('/') == std::string::npos ? std::string(FontDir) + spec.file : spec.file;
        if (FT_New_Face(Library, path.c_str(), 0, &face) != 0) {
            if (PrintFailures)
                std::fprintf(stderr, "gencontent: cannot load font %s\n", path.c_str());
            Failed = true;
            return nullptr;
        }
        Faces[spec.file] = face;
    }
    FT_Matrix m;   // 16.16
    m.xx = spec.condensed ? 0xD70A : 0x10000;
    m.xy = spec.oblique ? 0x3333 : 0;
    m.yx = 0;
    m.yy = 0x10000;
    FT_Set_Transform(face, &m, nullptr);
    return face;
}

void ShutdownText()
{
    for (auto& entry : Faces)
        FT_Done_Face(entry.second);
    Faces.clear();
    if (Library)
        FT_Done_FreeType(Library);
    Library = nullptr;
}

Mask MakeMask(int width, int height)
{
    Mask m;
    m.width = width;
    m.height = height;
    m.a.assign((size_t)width * height, 0.0);
    return m;
}

// Walks the glyphs of text; calls draw(bitmap, left, top) for each, pen from x = 0.
template <typename Draw> static int WalkGlyphs(FT_Face face, int pixelSize, const std::string& text, Draw draw)
{
    FT_Set_Pixel_Sizes(face, 0, (FT_UInt)pixelSize);
    long pen = 0;   // 26.6
    FT_UInt previous = 0;
    for (unsigned char c : text) {
        FT_UInt index = FT_Get_Char_Index(face, c);
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector kern;
            if (FT_Get_Kerning(face, previous, index, FT_KERNING_UNFITTED, &kern) == 0)
                pen += kern.x;
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_RENDER) == 0) {
            FT_GlyphSlot g = face->glyph;
            draw(g->bitmap, (int)((pen + 32) >> 6) + g->bitmap_left, g->bitmap_top);
            pen += g->advance.x;
        }
        previous = index;
    }
    return (int)((pen + 32) >> 6);
}

int TextWidth(const char* font, int pixelSize, const std::string& text)
{
    FT_Face face = GetFace(ParseFont(font));
    if (!face)
        return 0;
    return WalkGlyphs(face, pixelSize, text, [](const FT_Bitmap&, int, int) {});
}

bool DrawText(Mask* mask, const char* font, int pixelSize, double x, int y, int align, const std::string& text)
{
    FT_Face face = GetFace(ParseFont(font));
    if (!face)
        return false;
    int width = TextWidth(font, pixelSize, text);
    int x0 = (int)RoundHalfUp(x - (align == 1 ? width / 2.0 : (align == 2 ? width : 0)));
    WalkGlyphs(face, pixelSize, text, [&](const FT_Bitmap& b, int left, int top) {
        for (unsigned r = 0; r < b.rows; r++)
            for (unsigned c = 0; c < b.width; c++) {
                int px = x0 + left + (int)c, py = y - top + (int)r;
                if (px < 0 || py < 0 || px >= mask->width || py >= mask->height)
                    continue;
                double v = b.buffer[r * b.pitch + c] / 255.0;
                double& dst = mask->a[py * mask->width + px];
                if (v > dst)
                    dst = v;
            }
    });
    return true;
}

Mask Dilate(const Mask& m, int radius)
{
    Mask out = MakeMask(m.width, m.height);
    for (int y = 0; y < m.height; y++)
        for (int x = 0; x < m.width; x++) {
            double best = 0;
            for (int j = -radius; j <= radius; j++)
                for (int i = -radius; i <= radius; i++) {
                    if (i * i + j * j > radius * radius + radius)
                        continue;
                    double v = m.get(x + i, y + j);
                    if (v > best)
                        best = v;
                }
            out.a[y * m.width + x] = best;
        }
    return out;
}

static Mask BoxPass(const Mask& m, int radius, bool horizontal)
{
    Mask out = MakeMask(m.width, m.height);
    double scale = 1.0 / (2 * radius + 1);
    for (int y = 0; y < m.height; y++)
        for (int x = 0; x < m.width; x++) {
            double sum = 0;
            for (int k = -radius; k <= radius; k++)
                sum += horizontal ? m.get(x + k, y) : m.get(x, y + k);
            out.a[y * m.width + x] = sum * scale;
        }
    return out;
}

Mask Blur(const Mask& m, int radius)
{
    Mask out = m;
    for (int pass = 0; pass < 3; pass++) {
        out = BoxPass(out, radius, true);
        out = BoxPass(out, radius, false);
    }
    return out;
}
