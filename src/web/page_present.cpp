// The page's presentation backend: the palette expansion stays in WebAssembly (the
// same ExpandFrame as the native window), the page script only copies the pixels
// into its canvas and scales them without smoothing.
#include "web/page_present.h"

#include <emscripten.h>

#include <cstring>

#include "core/pixels.h"
#include "video/video.h"

EM_JS(void, JsPresent, (const uint8_t* pixels, const char* info),
      { Module.tivrelPresent(pixels, info ? UTF8ToString(info) : ""); });

namespace {

uint8_t PageFramePixels[320 * 200 * 4];   // the frame last presented, R,G,B,A

// The device palette with red and blue swapped: ExpandFrame then writes R,G,B.
uint8_t PagePalette[768];
bool QuitAsked = false;

bool PageOpen(const PresentSettings&)
{
    for (int i = 0; i < ScreenBytes; i++)
        PageFramePixels[4 * i + 3] = 255;
    QuitAsked = false;
    return true;
}

void PageSetPalette(const uint8_t* devicePalette)
{
    for (int c = 0; c < 256; c++) {
        PagePalette[3 * c] = devicePalette[3 * c + 2];
        PagePalette[3 * c + 1] = devicePalette[3 * c + 1];
        PagePalette[3 * c + 2] = devicePalette[3 * c];
    }
}

void PagePresent(const uint8_t* frame, const uint8_t*)
{
    ExpandFrame(frame, PagePalette, PageFramePixels);
    JsPresent(PageFramePixels, InfoLineShown() ? InfoLine() : nullptr);
}

bool PagePollEvents() { return QuitAsked; }

bool PageClose() { return true; }

bool PageReadsTrueColor() { return false; }

}   // namespace

void RequestPageQuit() { QuitAsked = true; }

const PresentBackend PageBackend = {"page",         PageOpen,  PageSetPalette,    PagePresent,
                                    PagePollEvents, PageClose, PageReadsTrueColor};
