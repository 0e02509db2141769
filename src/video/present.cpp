// PresentFrame and SetPalette over the backend in use, and the null backend.
#include "core/pixels.h"
#include "video/video.h"

bool QuitRequested = false;

static bool NullOpen() { return true; }
static void NullSetPalette(const uint8_t*) {}
static void NullPresent(const uint8_t*, const uint8_t*) {}
static bool NullPollEvents() { return false; }
static bool NullClose() { return true; }

const PresentBackend NullBackend = {"null", NullOpen, NullSetPalette, NullPresent, NullPollEvents, NullClose};

static const PresentBackend* Backend = &NullBackend;

void UsePresentBackend(const PresentBackend* backend) { Backend = backend != nullptr ? backend : &NullBackend; }

const PresentBackend* CurrentPresentBackend() { return Backend; }

void SetPalette(const uint8_t* palette)
{
    ScalePalette(palette, DevicePalette);
    Backend->setPalette(DevicePalette);
}

void PresentFrame()
{
    if (FrameBuffer != nullptr && TrueColorFrame != nullptr) {
        ExpandFrame(FrameBuffer, DevicePalette, TrueColorFrame);
        Backend->present(FrameBuffer, TrueColorFrame);
    }
    if (Backend->pollEvents())
        QuitRequested = true;
}
