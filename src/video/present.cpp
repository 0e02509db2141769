// PresentFrame and SetPalette over the backend in use, and the null backend.
#include "core/pixels.h"
#include "video/video.h"

#include <cstring>

static bool QuitAsked = false;
static bool InfoShown = false;
static char InfoText[160];
static char MessageText[240];
static KeyAction KeyQueue[16];
static int KeyQueueCount = 0;

void PushKeyAction(KeyAction action)
{
    if (action != KeyActionNone && KeyQueueCount < 16)
        KeyQueue[KeyQueueCount++] = action;
}

KeyAction TakeKeyAction()
{
    if (KeyQueueCount == 0)
        return KeyActionNone;
    KeyAction first = KeyQueue[0];
    std::memmove(KeyQueue, KeyQueue + 1, sizeof KeyQueue[0] * size_t(--KeyQueueCount));
    return first;
}

void ClearKeyActions() { KeyQueueCount = 0; }

void SetInfoLine(const char* text)
{
    std::strncpy(InfoText, text, sizeof InfoText - 1);
    InfoText[sizeof InfoText - 1] = '\0';
}

const char* InfoLine() { return InfoText; }

void SetMessageLine(const char* text)
{
    std::strncpy(MessageText, text, sizeof MessageText - 1);
    MessageText[sizeof MessageText - 1] = '\0';
}

const char* MessageLine() { return MessageText; }

bool InfoLineShown() { return InfoShown; }

void ShowInfoLine(bool shown) { InfoShown = shown; }

bool QuitRequested() { return QuitAsked; }

void ForgetQuitRequest() { QuitAsked = false; }

static bool NullOpen(const PresentSettings&) { return true; }
static void NullSetPalette(const uint8_t*) {}
static void NullPresent(const uint8_t*, const uint8_t*) {}
static bool NullPollEvents() { return false; }
static bool NullClose() { return true; }
static bool NullReadsTrueColor() { return false; }

const PresentBackend NullBackend = {"null",         NullOpen,  NullSetPalette,    NullPresent,
                                    NullPollEvents, NullClose, NullReadsTrueColor};

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
        if (Backend->readsTrueColor == nullptr || Backend->readsTrueColor()) {
            ExpandFrame(FrameBuffer, DevicePalette, TrueColorFrame);
            Backend->present(FrameBuffer, TrueColorFrame);
        } else {
            Backend->present(FrameBuffer, nullptr);
        }
    }
    PumpEvents();
}

void PumpEvents()
{
    if (Backend->pollEvents())
        QuitAsked = true;
}

void WaitForInput(int milliseconds)
{
    if (Backend->waitForInput != nullptr)
        Backend->waitForInput(milliseconds);
}
