// Text coverage masks through FreeType, from the DejaVu faces of fonts-dejavu-core.
#pragma once
#include <string>
#include <vector>

// Coverage 0..1 per pixel of a canvas.
struct Mask {
    int width = 0, height = 0;
    std::vector<double> a;
    double get(int x, int y) const { return (x < 0 || y < 0 || x >= width || y >= height) ? 0.0 : a[y * width + x]; }
};
Mask MakeMask(int width, int height);

// Fonts: a file of fonts-dejavu-core ("DejaVuSans-Bold.ttf"), optionally followed
// by "+oblique" and/or "+condensed"; a name with a '/' is the path of any font file.
// Width in pixels of `text` at pixelSize, with kerning.
int TextWidth(const char* font, int pixelSize, const std::string& text);
// Draws text with its baseline at y, starting at x (align 0), centred on x (1) or
// ending at x (2); coverage combines by maximum. Returns false if the font is missing.
bool DrawText(Mask* mask, const char* font, int pixelSize, double x, int y, int align, const std::string& text);
Mask Dilate(const Mask& m, int radius);   // round structuring element
Mask Blur(const Mask& m, int radius);     // three box passes, edges read as 0
void ShutdownText();
// True once a font or FreeType itself failed to load (the masks are then incomplete).
bool TextFailed();
// Whether a failure to load prints a line on stderr (the default); callers that give
// their own message turn it off.
void PrintTextFailures(bool print);
