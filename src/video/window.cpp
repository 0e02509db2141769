// The main window, its renderer and the 320x200 streaming texture in the chosen
// mode's pixel format; frame presentation, the information line, the keys the
// window handles itself (Alt+Enter, F12, I) and the event pump.
#include <SDL.h>
#include <SDL_test_font.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/png_write.h"
#include "core/safe_write.h"
#include "video/window.h"
#include "video/window_icon.h"

int32_t AppActive = 0;

// The settings the window was opened with; the client size follows the user's resizing.
static PresentSettings Settings;

static SDL_Window* MainWindow = nullptr;
static SDL_Renderer* MainRenderer = nullptr;
static SDL_Texture* DrawTexture = nullptr;
static SDL_Texture* SharpTexture = nullptr;   // ScaleSharp's whole-multiple copy
static int SharpFactor = 0;
static DisplayMode PresentMode{};   // the format the texture is packed in
static bool CursorHidden = false;
static bool TextureLost = false;
static bool Minimised = false;
static bool HasFocus = false;
static char RendererText[64] = "";

void ShowMessage(const char* caption, const char* text)
{
    if (caption[0] != '\0')
        std::fprintf(stderr, "%s: %s\n", caption, text);
    else
        std::fprintf(stderr, "%s\n", text);
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, MainWindow);
}

// The message box of a failed set-up step, with the platform's reason on stderr.
static bool SetUpFailed(const char* text)
{
    std::fprintf(stderr, "DDRAW ERROR: %s (%s)\n", text, SDL_GetError());
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "DDRAW ERROR", text, nullptr);
    return false;
}

// Bits per pixel of the packed format and its green mask; 8 for palette formats,
// 0 for formats that cannot be written pixel by pixel.
static ModeCandidate CandidateFromSdl(const SDL_DisplayMode& mode)
{
    ModeCandidate candidate{mode.w, mode.h, 0, 0};
    if (SDL_ISPIXELFORMAT_FOURCC(mode.format))
        return candidate;
    if (SDL_ISPIXELFORMAT_INDEXED(mode.format)) {
        candidate.bitsPerPixel = 8;
        return candidate;
    }
    int bpp = 0;
    Uint32 r = 0, g = 0, b = 0, a = 0;
    if (SDL_PixelFormatEnumToMasks(mode.format, &bpp, &r, &g, &b, &a) == SDL_TRUE)
        candidate.greenMask = g;
    candidate.bitsPerPixel = SDL_BYTESPERPIXEL(mode.format) * 8;
    return candidate;
}

bool DiscoverModes()
{
    DisplayModeCount = 0;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "DDRAW ERROR: DirectDrawCreate error (no video: %s)\n", SDL_GetError());
        return false;
    }
    // Without a display SDL falls back to drivers that show nothing; only accept
    // them when asked for by name (SDL_VIDEODRIVER), as tests do.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if ((asked == nullptr || asked[0] == '\0') && driver != nullptr &&
        (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        std::fprintf(stderr, "DDRAW ERROR: DirectDrawCreate error (no display)\n");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    SDL_DisplayMode desktopMode;
    ModeCandidate desktop{};
    bool haveDesktop = SDL_GetDesktopDisplayMode(0, &desktopMode) == 0;
    if (haveDesktop)
        desktop = CandidateFromSdl(desktopMode);
    else
        ShowMessage("", SDL_GetError());

    static ModeCandidate listed[1024];
    int listedCount = 0;
    int available = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < available && listedCount < 1024; i++) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) == 0)
            listed[listedCount++] = CandidateFromSdl(mode);
    }
    DisplayModeCount = BuildDisplayModeTable(haveDesktop ? &desktop : nullptr, listed, listedCount, DisplayModeTable);
    return true;
}

// A failure after the window exists: report, undo everything, show the cursor again.
static bool AbandonSetUp(const char* text)
{
    SetUpFailed(text);
    ReleaseDisplay();
    return false;
}

static Uint32 TextureFormat(const DisplayMode& mode)
{
    switch (mode.depth) {
    case 32: return SDL_PIXELFORMAT_RGB888;   // B,G,R,x in memory
    case 24: return SDL_PIXELFORMAT_BGR24;    // B,G,R in memory
    case 16: return mode.greenSixBits ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB555;
    default: return SDL_PIXELFORMAT_UNKNOWN;
    }
}

// The display's own mode record matching `mode` in size, depth and green width.
static bool FindSdlMode(const DisplayMode& mode, SDL_DisplayMode* found)
{
    int available = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < available; i++) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) != 0 || m.w != mode.width || m.h != mode.height)
            continue;
        int bpp = 0;
        Uint32 r, g = 0, b, a;
        SDL_PixelFormatEnumToMasks(m.format, &bpp, &r, &g, &b, &a);
        int depth = SDL_BYTESPERPIXEL(m.format) * 8;
        int greenSix = (g >> 5) == 31 ? 0 : 1;
        if (!SDL_ISPIXELFORMAT_INDEXED(m.format) && depth == mode.depth && greenSix == mode.greenSixBits) {
            *found = m;
            return true;
        }
    }
    return false;
}

static bool CreateDrawTexture()
{
    DrawTexture = SDL_CreateTexture(MainRenderer, TextureFormat(PresentMode), SDL_TEXTUREACCESS_STREAMING, ScreenWidth,
                                    ScreenHeight);
    if (DrawTexture == nullptr)
        return false;
    SDL_SetTextureBlendMode(DrawTexture, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(DrawTexture, SDL_ScaleModeNearest);
    return true;
}

static void DropSharpTexture()
{
    if (SharpTexture != nullptr)
        SDL_DestroyTexture(SharpTexture);
    SharpTexture = nullptr;
    SharpFactor = 0;
}

// The program's icon on the window.
static void SetWindowIcon()
{
    static uint8_t rgba[WindowIconSize * WindowIconSize * 4];
    if (!DecodeWindowIcon(rgba))
        return;
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(rgba, WindowIconSize, WindowIconSize, 32, WindowIconSize * 4,
                                                           SDL_PIXELFORMAT_RGBA32);
    if (icon == nullptr)
        return;
    SDL_SetWindowIcon(MainWindow, icon);
    SDL_FreeSurface(icon);
}

// The windowed form's client size: the settings' size, else the largest whole
// multiple of the picture that fits the desktop's usable area.
static void WindowedSize(int* width, int* height)
{
    if (Settings.windowWidth > 0 && Settings.windowHeight > 0) {
        *width = Settings.windowWidth;
        *height = Settings.windowHeight;
        return;
    }
    SDL_Rect usable{0, 0, 640, 480};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0)
        SDL_GetDisplayBounds(0, &usable);
    // Room for the window manager's frame and title bar.
    DefaultWindowSize(usable.w - 16, usable.h - 48, Settings.aspect, width, height);
}

void WindowClientSize(int* width, int* height)
{
    *width = Settings.windowWidth;
    *height = Settings.windowHeight;
}

bool SetUpDisplay(const PresentSettings& settings)
{
    Settings = settings;
    if (!SDL_WasInit(SDL_INIT_VIDEO) || DisplayModeCount <= 0)
        return SetUpFailed("DirectDrawCreate error");
    if (StartupOptions.selectedMode < 0 || StartupOptions.selectedMode >= DisplayModeCount)
        return SetUpFailed("SetDisplayMode error");
    const DisplayMode& chosen = DisplayModeTable[StartupOptions.selectedMode];

    SDL_ShowCursor(SDL_DISABLE);
    CursorHidden = true;
    if (StartupOptions.windowed) {
        PresentMode = DisplayModeTable[0];
        int width = 0, height = 0;
        WindowedSize(&width, &height);
        MainWindow = SDL_CreateWindow("Tivrel by Zerith", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                                      height, SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
        if (MainWindow == nullptr)
            return AbandonSetUp("SetCooperativeLevel error");
        SDL_SetWindowMinimumSize(MainWindow, ScreenWidth / 2, ScreenHeight / 2);
        Settings.windowWidth = width;
        Settings.windowHeight = height;
    } else if (Settings.fullScreenDesktop) {
        PresentMode = DisplayModeTable[0];
        MainWindow = SDL_CreateWindow("Test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, PresentMode.width,
                                      PresentMode.height, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
        if (MainWindow == nullptr)
            return AbandonSetUp("SetCooperativeLevel error");
        if (SDL_SetWindowFullscreen(MainWindow, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
            return AbandonSetUp("SetDisplayMode error");
    } else {
        PresentMode = chosen;
        SDL_DisplayMode sdlMode;
        if (!FindSdlMode(chosen, &sdlMode))
            sdlMode = SDL_DisplayMode{TextureFormat(chosen), chosen.width, chosen.height, 0, nullptr};
        MainWindow = SDL_CreateWindow("Test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, chosen.width,
                                      chosen.height, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
        if (MainWindow == nullptr)
            return AbandonSetUp("SetCooperativeLevel error");
        if (SDL_SetWindowDisplayMode(MainWindow, &sdlMode) != 0 ||
            SDL_SetWindowFullscreen(MainWindow, SDL_WINDOW_FULLSCREEN) != 0)
            return AbandonSetUp("SetDisplayMode error");
    }
    SetWindowIcon();
    MainRenderer = SDL_CreateRenderer(MainWindow, -1, Settings.vsync ? SDL_RENDERER_PRESENTVSYNC : 0);
    if (MainRenderer == nullptr || !CreateDrawTexture())
        return AbandonSetUp("CreateSurface error");
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(MainRenderer, &info) == 0)
        std::snprintf(RendererText, sizeof RendererText, "%s%s", info.name,
                      (info.flags & SDL_RENDERER_PRESENTVSYNC) ? " vsync" : "");
    SDL_SetRenderDrawColor(MainRenderer, 0, 0, 0, 255);
    SDL_RenderClear(MainRenderer);
    SDL_RenderPresent(MainRenderer);
    return true;
}

void ShowMainWindow()
{
    if (MainWindow == nullptr)
        return;
    SDL_ShowWindow(MainWindow);
    SDL_RaiseWindow(MainWindow);
    AppActive = 1;
    HasFocus = true;
    Minimised = false;
}

void ReleaseDisplay()
{
    DropSharpTexture();
    if (DrawTexture != nullptr)
        SDL_DestroyTexture(DrawTexture);
    DrawTexture = nullptr;
    if (MainRenderer != nullptr)
        SDL_DestroyRenderer(MainRenderer);
    MainRenderer = nullptr;
    if (MainWindow != nullptr)
        SDL_DestroyWindow(MainWindow);
    MainWindow = nullptr;
    AppActive = 0;
    RendererText[0] = '\0';
    if (CursorHidden)
        SDL_ShowCursor(SDL_ENABLE);
    CursorHidden = false;
}

void ToggleFullScreen()
{
    if (MainWindow == nullptr)
        return;
    const bool full = (SDL_GetWindowFlags(MainWindow) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP)) != 0;
    if (full) {
        SDL_SetWindowFullscreen(MainWindow, 0);
        int width = 0, height = 0;
        WindowedSize(&width, &height);
        SDL_SetWindowSize(MainWindow, width, height);
        SDL_SetWindowPosition(MainWindow, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        SDL_SetWindowTitle(MainWindow, "Tivrel by Zerith");
    } else {
        SDL_SetWindowTitle(MainWindow, "Test");
        SDL_SetWindowFullscreen(MainWindow, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
}

// ScaleSharp: the picture copied at the whole multiple just above the destination
// (nearest), then smoothed down onto it. False when the renderer has no targets.
static bool DrawSharp(const SDL_Rect& destination)
{
    const int pictureHeight = Settings.aspect == Aspect4x3 ? 240 : ScreenHeight;
    const int factor = std::max(1, std::min(4, (destination.h + pictureHeight - 1) / pictureHeight));
    if (SharpTexture == nullptr || SharpFactor != factor) {
        DropSharpTexture();
        SharpTexture = SDL_CreateTexture(MainRenderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                         ScreenWidth * factor, pictureHeight * factor);
        if (SharpTexture == nullptr)
            return false;
        SDL_SetTextureScaleMode(SharpTexture, SDL_ScaleModeLinear);
        SDL_SetTextureBlendMode(SharpTexture, SDL_BLENDMODE_NONE);
        SharpFactor = factor;
    }
    if (SDL_SetRenderTarget(MainRenderer, SharpTexture) != 0)
        return false;
    SDL_RenderCopy(MainRenderer, DrawTexture, nullptr, nullptr);
    SDL_SetRenderTarget(MainRenderer, nullptr);
    SDL_RenderCopy(MainRenderer, SharpTexture, nullptr, &destination);
    return true;
}

// A line of white 8x8 text, twice its size when the output is large, on a dark band
// along the top (the information line) or the bottom (the message line).
static void DrawTextBand(const char* text, int outputWidth, int outputHeight, bool bottom)
{
    const float scale = outputWidth >= 1280 ? 2.0f : 1.0f;
    const int top = bottom ? int(outputHeight / scale) - 12 : 0;
    SDL_RenderSetScale(MainRenderer, scale, scale);
    SDL_SetRenderDrawBlendMode(MainRenderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(MainRenderer, 0, 0, 0, 160);
    SDL_Rect band{0, top, int(outputWidth / scale), 12};
    SDL_RenderFillRect(MainRenderer, &band);
    SDL_SetRenderDrawColor(MainRenderer, 255, 255, 255, 255);
    SDLTest_DrawString(MainRenderer, 4, top + 2, text);
    SDL_RenderSetScale(MainRenderer, 1.0f, 1.0f);
    SDL_SetRenderDrawBlendMode(MainRenderer, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(MainRenderer, 0, 0, 0, 255);
}

static void SdlPresent(const uint8_t* frame, const uint8_t*)
{
    if (!AppActive || MainRenderer == nullptr) {
        // Unfocused or minimised: the timeline goes on at a slow pace.
        SDL_WaitEventTimeout(nullptr, 50);
        return;
    }
    if (TextureLost) {
        // The renderer lost its textures: make a new one and skip this frame.
        if (DrawTexture != nullptr)
            SDL_DestroyTexture(DrawTexture);
        DrawTexture = nullptr;
        DropSharpTexture();
        TextureLost = !CreateDrawTexture();
        return;
    }
    if (DrawTexture == nullptr)
        return;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(DrawTexture, nullptr, &pixels, &pitch) != 0)
        return;
    ExpandPackFrame(frame, DevicePalette, static_cast<uint8_t*>(pixels), pitch, PresentMode);
    SDL_UnlockTexture(DrawTexture);
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(MainRenderer, &w, &h);
    const PictureRect picture = PictureDestination(w, h, Settings.scale, Settings.aspect);
    const SDL_Rect destination{picture.x, picture.y, picture.w, picture.h};
    SDL_RenderClear(MainRenderer);
    if (Settings.scale != ScaleSharp || !DrawSharp(destination))
        SDL_RenderCopy(MainRenderer, DrawTexture, nullptr, &destination);
    if (InfoLineShown()) {
        char text[240];
        std::snprintf(text, sizeof text, "%s  %s", InfoLine(), RendererText);
        DrawTextBand(text, w, h, false);
    }
    if (MessageLine()[0] != '\0')
        DrawTextBand(MessageLine(), w, h, true);
    SDL_RenderPresent(MainRenderer);
}

bool SaveScreenshot()
{
    if (FrameBuffer == nullptr)
        return false;
    std::vector<uint8_t> png;
    std::string error;
    if (!EncodeIndexedPng(FrameBuffer, ScreenWidth, ScreenHeight, DevicePalette, &png, &error)) {
        std::fprintf(stderr, "tivrel: screenshot not saved: %s\n", error.c_str());
        return false;
    }
    for (int n = 1; n <= 9999; n++) {
        char name[32];
        std::snprintf(name, sizeof name, "tivrel-%04d.png", n);
        SafeWriteResult result = SafeWritePath(name, png.data(), png.size(), false, &error);
        if (result == SafeWriteExists)
            continue;
        if (result == SafeWriteOk)
            std::fprintf(stderr, "tivrel: saved the frame as %s\n", name);
        else
            std::fprintf(stderr, "tivrel: screenshot not saved: %s\n", error.c_str());
        return result == SafeWriteOk;
    }
    std::fprintf(stderr, "tivrel: screenshot not saved: tivrel-0001.png to tivrel-9999.png all exist\n");
    return false;
}

static void UpdateActive() { AppActive = HasFocus && !Minimised ? 1 : 0; }

static KeyAction ActionForKey(SDL_Keycode key)
{
    switch (key) {
    case SDLK_SPACE:
    case SDLK_p: return KeyActionPause;
    case SDLK_PAGEDOWN: return KeyActionNextScene;
    case SDLK_PAGEUP: return KeyActionPreviousScene;
    case SDLK_PLUS:
    case SDLK_EQUALS:
    case SDLK_KP_PLUS: return KeyActionVolumeUp;
    case SDLK_MINUS:
    case SDLK_KP_MINUS: return KeyActionVolumeDown;
    case SDLK_m: return KeyActionMute;
    default: return KeyActionNone;
    }
}

// Focus and minimising set AppActive; Escape, the close box or the window manager's
// close are a quit.
static bool SdlPollEvents()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    bool quit = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT: quit = true; break;
        case SDL_KEYDOWN: {
            const SDL_Keycode key = event.key.keysym.sym;
            const bool alt = (event.key.keysym.mod & KMOD_ALT) != 0;
            if (key == SDLK_ESCAPE)
                quit = true;
            else if ((key == SDLK_RETURN || key == SDLK_KP_ENTER) && alt) {
                if (event.key.repeat == 0)
                    ToggleFullScreen();
            } else if (key == SDLK_F12) {
                if (event.key.repeat == 0)
                    SaveScreenshot();
            } else if (key == SDLK_i) {
                if (event.key.repeat == 0)
                    ShowInfoLine(!InfoLineShown());
            } else if (!alt) {
                const KeyAction action = ActionForKey(key);
                // Held keys repeat only for the volume.
                if (event.key.repeat == 0 || action == KeyActionVolumeUp || action == KeyActionVolumeDown)
                    PushKeyAction(action);
            }
            break;
        }
        case SDL_WINDOWEVENT:
            switch (event.window.event) {
            case SDL_WINDOWEVENT_FOCUS_GAINED: HasFocus = true; break;
            case SDL_WINDOWEVENT_FOCUS_LOST: HasFocus = false; break;
            case SDL_WINDOWEVENT_MINIMIZED:
            case SDL_WINDOWEVENT_HIDDEN: Minimised = true; break;
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_SHOWN: Minimised = false; break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                if (MainWindow != nullptr &&
                    (SDL_GetWindowFlags(MainWindow) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP)) == 0) {
                    Settings.windowWidth = event.window.data1;
                    Settings.windowHeight = event.window.data2;
                }
                break;
            case SDL_WINDOWEVENT_CLOSE: quit = true; break;
            default: break;
            }
            UpdateActive();
            break;
        case SDL_RENDER_TARGETS_RESET:
        case SDL_RENDER_DEVICE_RESET: TextureLost = true; break;
        default: break;
        }
    }
    return quit;
}

static bool SdlOpen(const PresentSettings& settings)
{
    if (!SetUpDisplay(settings))
        return false;
    ShowMainWindow();
    return true;
}

static void SdlSetPalette(const uint8_t*) {}   // the palette is applied when packing

static bool SdlClose()
{
    ReleaseDisplay();
    return true;
}

// The window packs straight from the indexed frame (ExpandPackFrame).
static bool SdlReadsTrueColor() { return false; }

static void SdlWaitForInput(int milliseconds)
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_WaitEventTimeout(nullptr, milliseconds);
}

const PresentBackend SdlBackend = {"sdl",         SdlOpen,  SdlSetPalette,     SdlPresent,
                                   SdlPollEvents, SdlClose, SdlReadsTrueColor, SdlWaitForInput};
