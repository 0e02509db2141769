// The main window, its renderer and the 320x200 streaming texture in the chosen
// mode's pixel format; frame presentation, the event pump and the quit sequence.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "video/display.h"

int32_t AppActive = 0;
int PresentAspect = AspectStretch;
bool PresentVsync = false;

static SDL_Window* MainWindow = nullptr;
static SDL_Renderer* MainRenderer = nullptr;
static SDL_Texture* DrawTexture = nullptr;
static DisplayMode PresentMode{};   // the format the texture is packed in
static bool CursorHidden = false;
static bool TextureLost = false;

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
static int SetUpFailed(const char* text)
{
    std::fprintf(stderr, "DDRAW ERROR: %s (%s)\n", text, SDL_GetError());
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "DDRAW ERROR", text, nullptr);
    return 0;
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

int DiscoverModes()
{
    DisplayModeCount = 0;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "DDRAW ERROR: DirectDrawCreate error (no video: %s)\n", SDL_GetError());
        return 0;
    }
    // Without a display SDL falls back to drivers that show nothing; only accept
    // them when asked for by name (SDL_VIDEODRIVER), as tests do.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if ((asked == nullptr || asked[0] == '\0') && driver != nullptr &&
        (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        std::fprintf(stderr, "DDRAW ERROR: DirectDrawCreate error (no display)\n");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return 0;
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
    return 1;
}

// A failure after the window exists: report, undo everything, show the cursor again.
static int AbandonSetUp(const char* text)
{
    SetUpFailed(text);
    ReleaseDisplay();
    return 0;
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
    return true;
}

int SetUpDisplay()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO) || DisplayModeCount <= 0)
        return SetUpFailed("DirectDrawCreate error");
    if (StartupOptions.selectedMode < 0 || StartupOptions.selectedMode >= DisplayModeCount)
        return SetUpFailed("SetDisplayMode error");
    const DisplayMode& chosen = DisplayModeTable[StartupOptions.selectedMode];
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");

    if (StartupOptions.windowed) {
        PresentMode = DisplayModeTable[0];
        MainWindow = SDL_CreateWindow("Tivrel by Zerith", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                      chosen.width, chosen.height, SDL_WINDOW_SHOWN);
        if (MainWindow == nullptr)
            return SetUpFailed("SetCooperativeLevel error");
    } else {
        PresentMode = chosen;
        SDL_DisplayMode sdlMode;
        if (!FindSdlMode(chosen, &sdlMode)) {
            sdlMode = SDL_DisplayMode{TextureFormat(chosen), chosen.width, chosen.height, 0, nullptr};
        }
        SDL_ShowCursor(SDL_DISABLE);
        CursorHidden = true;
        MainWindow = SDL_CreateWindow("Test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, chosen.width,
                                      chosen.height, SDL_WINDOW_HIDDEN);
        if (MainWindow == nullptr) {
            SDL_ShowCursor(SDL_ENABLE);
            CursorHidden = false;
            return SetUpFailed("SetCooperativeLevel error");
        }
        if (SDL_SetWindowDisplayMode(MainWindow, &sdlMode) != 0 ||
            SDL_SetWindowFullscreen(MainWindow, SDL_WINDOW_FULLSCREEN) != 0)
            return AbandonSetUp("SetDisplayMode error");
    }
    MainRenderer = SDL_CreateRenderer(MainWindow, -1, PresentVsync ? SDL_RENDERER_PRESENTVSYNC : 0);
    if (MainRenderer == nullptr || !CreateDrawTexture())
        return AbandonSetUp("CreateSurface error");
    SDL_SetRenderDrawColor(MainRenderer, 0, 0, 0, 255);
    SDL_RenderClear(MainRenderer);
    SDL_RenderPresent(MainRenderer);
    return 1;
}

void ShowMainWindow()
{
    if (MainWindow == nullptr)
        return;
    SDL_ShowWindow(MainWindow);
    SDL_RaiseWindow(MainWindow);
    AppActive = 1;
}

void ReleaseDisplay()
{
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
    if (CursorHidden)
        SDL_ShowCursor(SDL_ENABLE);
    CursorHidden = false;
}

// Destination of the 320x200 image inside the renderer's output.
static SDL_Rect Destination()
{
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(MainRenderer, &w, &h);
    SDL_Rect rect{0, 0, w, h};
    if (PresentAspect == Aspect4x3) {
        if (w * 3 > h * 4)
            rect.w = h * 4 / 3;
        else
            rect.h = w * 3 / 4;
        rect.x = (w - rect.w) / 2;
        rect.y = (h - rect.h) / 2;
    }
    return rect;
}

static void SdlPresent(const uint8_t*, const uint8_t* trueColor)
{
    if (!AppActive || MainRenderer == nullptr)
        return;
    if (TextureLost) {
        // The renderer lost its textures: make a new one and skip this frame.
        if (DrawTexture != nullptr)
            SDL_DestroyTexture(DrawTexture);
        DrawTexture = nullptr;
        TextureLost = !CreateDrawTexture();
        return;
    }
    if (DrawTexture == nullptr)
        return;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(DrawTexture, nullptr, &pixels, &pitch) != 0)
        return;
    PackFrame(trueColor, static_cast<uint8_t*>(pixels), pitch, PresentMode);
    SDL_UnlockTexture(DrawTexture);
    SDL_Rect destination = Destination();
    SDL_RenderClear(MainRenderer);
    SDL_RenderCopy(MainRenderer, DrawTexture, nullptr, &destination);
    SDL_RenderPresent(MainRenderer);
}

// Focus changes set AppActive; Escape, the close box or the window manager's close
// are a quit.
static bool SdlPollEvents()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    bool quit = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT: quit = true; break;
        case SDL_KEYDOWN:
            if (event.key.keysym.sym == SDLK_ESCAPE)
                quit = true;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                AppActive = 1;
            else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
                AppActive = 0;
            else if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                quit = true;
            break;
        case SDL_RENDER_DEVICE_RESET: TextureLost = true; break;
        default: break;
        }
    }
    return quit;
}

static bool SdlOpen()
{
    if (!SetUpDisplay())
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

const PresentBackend SdlBackend = {"sdl", SdlOpen, SdlSetPalette, SdlPresent, SdlPollEvents, SdlClose};
