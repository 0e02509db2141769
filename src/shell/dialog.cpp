// Setup and About dialogs. Control positions are in dialog units of an 8-point dialog
// font (1 unit = 1.5 pixels across, 1.625 down), as the dialog templates give them.
#include "shell/dialog.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_sdl.h>
#include <imgui_impl_sdlrenderer.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "shell/title_art.h"

constexpr float UnitX = 1.5f;
constexpr float UnitY = 1.625f;
constexpr int SetupWidthUnits = 393, SetupHeightUnits = 116;
constexpr int AboutWidthUnits = 170, AboutHeightUnits = 100;

std::string ModeItemText(const DisplayMode& mode)
{
    char text[48];
    std::snprintf(text, sizeof text, "%dx%dx%d", mode.width, mode.height, mode.depth);
    return text;
}

static ImVec2 Units(float x, float y) { return ImVec2(x * UnitX, y * UnitY); }

// An etched frame with its label cut into the top edge; coordinates in dialog units
// relative to the current window.
static void GroupBox(float x, float y, float w, float h, const char* label)
{
    ImDrawList* draw = ImGui::GetWindowDrawList();
    ImVec2 origin = ImGui::GetWindowPos();
    ImVec2 a(origin.x + x * UnitX, origin.y + y * UnitY + ImGui::GetFontSize() * 0.5f);
    ImVec2 b(origin.x + (x + w) * UnitX, origin.y + (y + h) * UnitY);
    ImU32 dark = IM_COL32(128, 128, 128, 255), light = IM_COL32(255, 255, 255, 255);
    draw->AddRect(ImVec2(a.x + 1, a.y + 1), ImVec2(b.x + 1, b.y + 1), light);
    draw->AddRect(a, b, dark);
    if (label[0] != '\0') {
        ImVec2 size = ImGui::CalcTextSize(label);
        ImVec2 at(a.x + 6 * UnitX, a.y - size.y * 0.5f);
        draw->AddRectFilled(ImVec2(at.x - 2, at.y), ImVec2(at.x + size.x + 2, at.y + size.y),
                            ImGui::GetColorU32(ImGuiCol_WindowBg));
        draw->AddText(at, ImGui::GetColorU32(ImGuiCol_Text), label);
    }
}

// Static text centred in a box given in dialog units.
static void CentredText(float x, float y, float w, const char* text)
{
    float width = ImGui::CalcTextSize(text).x;
    ImGui::SetCursorPos(ImVec2(x * UnitX + (w * UnitX - width) * 0.5f, y * UnitY));
    ImGui::TextUnformatted(text);
}

static void Style()
{
    ImGui::StyleColorsLight();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowRounding = 0;
    style.FrameRounding = 0;
    style.PopupRounding = 0;
    style.WindowBorderSize = 1;
    style.FrameBorderSize = 1;
    style.WindowPadding = ImVec2(0, 0);
    ImVec4* c = style.Colors;
    c[ImGuiCol_WindowBg] = ImVec4(0.83f, 0.82f, 0.78f, 1);
    c[ImGuiCol_PopupBg] = ImVec4(0.95f, 0.95f, 0.93f, 1);
    c[ImGuiCol_Button] = ImVec4(0.88f, 0.87f, 0.84f, 1);
    c[ImGuiCol_ButtonHovered] = ImVec4(0.93f, 0.92f, 0.90f, 1);
    c[ImGuiCol_ButtonActive] = ImVec4(0.70f, 0.70f, 0.68f, 1);
    c[ImGuiCol_FrameBg] = ImVec4(1, 1, 1, 1);
    c[ImGuiCol_TitleBgActive] = ImVec4(0.62f, 0.70f, 0.86f, 1);
    c[ImGuiCol_TitleBg] = ImVec4(0.62f, 0.70f, 0.86f, 1);
    c[ImGuiCol_Border] = ImVec4(0.45f, 0.45f, 0.45f, 1);
    c[ImGuiCol_ModalWindowDimBg] = ImVec4(0, 0, 0, 0.15f);
}

static void Font()
{
    ImGuiIO& io = ImGui::GetIO();
    const char* path = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    if (FILE* f = std::fopen(path, "rb")) {
        std::fclose(f);
        io.Fonts->AddFontFromFileTTF(path, 13.0f);
    }
}

namespace {

constexpr int DialogRunning = -2;

// Keyboard focus: Tab and Shift+Tab move it over the controls (none at first),
// Space works the focused one, Up and Down change the mode, Enter presses the
// focused button or else "Run Demo".
enum Control {
    FocusNone = -1,
    FocusMode,
    FocusWindowed,
    FocusNosound,
    FocusVsync,
    FocusAspect,
    FocusRun,
    FocusExit,
    FocusAbout,
    ControlCount
};

// The dialog while it runs: the controls' values, the focus, the About box.
struct SetupState {
    std::vector<std::string> items;   // the mode list
    int selected = -1;
    DialogChoice choice;
    int focus = FocusNone;
    int result = DialogRunning;
    bool aboutOpen = false, openAbout = false, closeAbout = false;

    bool* box(int control)
    {
        switch (control) {
        case FocusWindowed: return &choice.windowed;
        case FocusNosound: return &choice.nosound;
        case FocusVsync: return &choice.vsync;
        case FocusAspect: return &choice.aspect4x3;
        default: return nullptr;
        }
    }
};

// The window, its renderer and the artwork's texture.
struct SetupWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* picture = nullptr;
    int width = 0, height = 0;
};

bool OpenSetupWindow(const uint8_t* artwork, SetupWindow* w)
{
    w->width = static_cast<int>(SetupWidthUnits * UnitX);
    w->height = static_cast<int>(SetupHeightUnits * UnitY);
    w->window = SDL_CreateWindow("Zerith - Tivrel, Windows version", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                 w->width, w->height, SDL_WINDOW_SHOWN);
    if (w->window == nullptr) {
        std::fprintf(stderr, "tivrel: cannot open the setup dialog: %s\n", SDL_GetError());
        return false;
    }
    w->renderer = SDL_CreateRenderer(w->window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (w->renderer == nullptr)
        w->renderer = SDL_CreateRenderer(w->window, -1, 0);
    if (w->renderer == nullptr) {
        std::fprintf(stderr, "tivrel: cannot draw the setup dialog: %s\n", SDL_GetError());
        SDL_DestroyWindow(w->window);
        return false;
    }
    if (artwork != nullptr) {
        w->picture = SDL_CreateTexture(w->renderer, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STATIC, TitleArtWidth,
                                       TitleArtHeight);
        if (w->picture != nullptr)
            SDL_UpdateTexture(w->picture, nullptr, artwork, TitleArtWidth * 3);
    }
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;
    ImGui::GetIO().LogFilename = nullptr;
    Style();
    Font();
    ImGui_ImplSDL2_InitForSDLRenderer(w->window);
    ImGui_ImplSDLRenderer_Init(w->renderer);
    return true;
}

void CloseSetupWindow(SetupWindow* w)
{
    ImGui_ImplSDLRenderer_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    if (w->picture != nullptr)
        SDL_DestroyTexture(w->picture);
    SDL_DestroyRenderer(w->renderer);
    SDL_DestroyWindow(w->window);
}

void PressKey(SetupState* d, const SDL_Keysym& keysym)
{
    const SDL_Keycode key = keysym.sym;
    const bool enter = key == SDLK_RETURN || key == SDLK_KP_ENTER;
    const int itemCount = static_cast<int>(d->items.size());
    if (d->aboutOpen) {
        if (enter)
            d->closeAbout = true;
    } else if (d->result != DialogRunning) {
    } else if (enter) {
        d->openAbout = d->focus == FocusAbout;
        d->result = d->focus == FocusExit ? DialogExit : d->focus == FocusAbout ? DialogRunning : DialogRunDemo;
    } else if (key == SDLK_ESCAPE) {
        d->result = DialogExit;
    } else if (key == SDLK_TAB) {
        d->focus = (keysym.mod & KMOD_SHIFT) ? (d->focus <= 0 ? ControlCount - 1 : d->focus - 1)
                                             : (d->focus + 1) % ControlCount;
    } else if ((key == SDLK_DOWN || key == SDLK_UP) && d->focus == FocusMode && itemCount > 0) {
        d->selected = std::clamp(d->selected + (key == SDLK_DOWN ? 1 : -1), 0, itemCount - 1);
    } else if (key == SDLK_SPACE && d->focus == FocusMode && itemCount > 0) {
        d->selected = (d->selected + 1) % itemCount;
    } else if (key == SDLK_SPACE && d->box(d->focus) != nullptr) {
        *d->box(d->focus) = !*d->box(d->focus);
    } else if (key == SDLK_SPACE && d->focus == FocusRun) {
        d->result = DialogRunDemo;
    } else if (key == SDLK_SPACE && d->focus == FocusExit) {
        d->result = DialogExit;
    } else if (key == SDLK_SPACE && d->focus == FocusAbout) {
        d->openAbout = true;
    }
}

// The waiting events (waiting up to 30 ms for one when there are none).
void TakeEvents(SetupState* d)
{
    SDL_Event event;
    bool idle = true;
    while (SDL_PollEvent(&event) || (idle && SDL_WaitEventTimeout(&event, 30))) {
        idle = false;
        ImGui_ImplSDL2_ProcessEvent(&event);
        if (event.type == SDL_QUIT || (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE))
            d->result = DialogExit;
        if (event.type == SDL_KEYDOWN && event.key.repeat == 0)
            PressKey(d, event.key.keysym);
    }
}

// A dotted-looking frame around the control that has the keyboard focus.
void MarkFocus(const SetupState& d, int control)
{
    if (d.focus == control)
        ImGui::GetWindowDrawList()->AddRect(ImVec2(ImGui::GetItemRectMin().x - 2, ImGui::GetItemRectMin().y - 2),
                                            ImVec2(ImGui::GetItemRectMax().x + 2, ImGui::GetItemRectMax().y + 2),
                                            IM_COL32(0, 0, 0, 255), 0, 0, 1.0f);
}

void DrawControls(SetupState* d)
{
    GroupBox(4, 6, 216, 45, "Screentype");
    ImGui::SetCursorPos(Units(9, 24));
    ImGui::TextUnformatted("Resolution:");
    ImGui::SetCursorPos(Units(51, 22));
    ImGui::SetNextItemWidth(101 * UnitX);
    const char* preview = d->selected >= 0 ? d->items[d->selected].c_str() : "";
    if (ImGui::BeginCombo("##resolution", preview)) {
        for (int i = 0; i < static_cast<int>(d->items.size()); i++) {
            if (ImGui::Selectable(d->items[i].c_str(), i == d->selected))
                d->selected = i;
            if (i == d->selected)
                ImGui::SetItemDefaultFocus();
        }
        ImGui::EndCombo();
    }
    MarkFocus(*d, FocusMode);
    struct CheckBox {
        const char* label;
        float x, y;   // dialog units
        int control;
    };
    static const CheckBox checkBoxes[] = {{"Windowed", 162, 23, FocusWindowed},
                                          {"Nosound", 15, 60, FocusNosound},
                                          {"Vsync", 80, 60, FocusVsync},
                                          {"Keep 4:3", 15, 73, FocusAspect}};
    for (const CheckBox& box : checkBoxes) {
        ImGui::SetCursorPos(Units(box.x, box.y));
        ImGui::Checkbox(box.label, d->box(box.control));
        MarkFocus(*d, box.control);
    }
    ImGui::SetCursorPos(Units(151, 57));
    if (ImGui::Button("Run Demo", Units(68, 50)))
        d->result = DialogRunDemo;
    MarkFocus(*d, FocusRun);
    ImGui::SetCursorPos(Units(75, 89));
    if (ImGui::Button("Exit", Units(73, 18)))
        d->result = DialogExit;
    MarkFocus(*d, FocusExit);
    ImGui::SetCursorPos(Units(4, 89));
    if (ImGui::Button("About", Units(67, 18)))
        d->openAbout = true;
    MarkFocus(*d, FocusAbout);
}

// The picture control: a sunken frame with the artwork centred in it.
void DrawPicture(SDL_Texture* picture)
{
    ImDrawList* draw = ImGui::GetWindowDrawList();
    ImVec2 origin = ImGui::GetWindowPos();
    ImVec2 a(origin.x + 226 * UnitX, origin.y + 9 * UnitY);
    ImVec2 b(origin.x + (226 + 160) * UnitX, origin.y + (9 + 100) * UnitY);
    draw->AddRectFilled(a, b, IM_COL32(40, 40, 44, 255));
    draw->AddLine(a, ImVec2(b.x, a.y), IM_COL32(128, 128, 128, 255));
    draw->AddLine(a, ImVec2(a.x, b.y), IM_COL32(128, 128, 128, 255));
    draw->AddLine(ImVec2(a.x, b.y), b, IM_COL32(255, 255, 255, 255));
    draw->AddLine(ImVec2(b.x, a.y), b, IM_COL32(255, 255, 255, 255));
    if (picture != nullptr) {
        ImVec2 p((a.x + b.x - TitleArtWidth) * 0.5f, (a.y + b.y - TitleArtHeight) * 0.5f);
        draw->AddImage(reinterpret_cast<ImTextureID>(picture), ImVec2(float(int(p.x)), float(int(p.y))),
                       ImVec2(float(int(p.x)) + TitleArtWidth, float(int(p.y)) + TitleArtHeight));
    }
}

// The About box: a modal popup that only "Ok" or Enter closes.
void DrawAbout(SetupState* d, int width, int height)
{
    if (d->openAbout) {
        ImGui::OpenPopup("About");
        d->openAbout = false;
    }
    ImVec2 aboutSize(AboutWidthUnits * UnitX, AboutHeightUnits * UnitY + ImGui::GetFrameHeight());
    ImGui::SetNextWindowSize(aboutSize);
    ImGui::SetNextWindowPos(ImVec2((width - aboutSize.x) * 0.5f, (height - aboutSize.y) * 0.5f));
    d->aboutOpen = false;
    if (ImGui::BeginPopupModal(
            "About", nullptr, ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings)) {
        d->aboutOpen = true;
        float top = ImGui::GetFrameHeight() / UnitY;   // title bar, in dialog units
        GroupBox(4, top + 6, 162, 60, "");
        CentredText(7, top + 14, 152, "Zerith - Tivrel");
        CentredText(6, top + 24, 157, "Code, graphics and music: the group");
        CentredText(6, top + 34, 156, "A demo party competition entry");
        CentredText(7, top + 50, 156, "Player, tools and content: the developers");
        ImGui::SetCursorPos(Units(60, top + 77));
        if (ImGui::Button("Ok", Units(50, 18)) || d->closeAbout) {
            ImGui::CloseCurrentPopup();
            d->aboutOpen = false;
        }
        ImGui::EndPopup();
    }
    d->closeAbout = false;
}

void DrawDialog(SetupState* d, const SetupWindow& w)
{
    ImGui_ImplSDLRenderer_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
    ImGui::Begin("setup", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_NoBringToFrontOnFocus);
    DrawControls(d);
    DrawPicture(w.picture);
    DrawAbout(d, w.width, w.height);
    ImGui::End();
    ImGui::Render();
    SDL_SetRenderDrawColor(w.renderer, 212, 208, 200, 255);
    SDL_RenderClear(w.renderer);
    ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
    SDL_RenderPresent(w.renderer);
}

}   // namespace

int RunSetupDialog(const uint8_t* artwork, DialogChoice* choice)
{
    SetupWindow window;
    if (!OpenSetupWindow(artwork, &window))
        return DialogFailed;
    SetupState dialog;
    for (int i = 1; i < DisplayModeCount; i++)
        dialog.items.push_back(ModeItemText(DisplayModeTable[i]));
    dialog.choice = *choice;
    dialog.selected = choice->selectedItem;
    if (dialog.selected >= static_cast<int>(dialog.items.size()))
        dialog.selected = dialog.items.empty() ? -1 : 0;
    for (;;) {
        TakeEvents(&dialog);
        if (dialog.result != DialogRunning)
            break;
        DrawDialog(&dialog, window);
    }
    if (dialog.result == DialogRunDemo) {
        *choice = dialog.choice;
        choice->selectedItem = dialog.selected;
    }
    CloseSetupWindow(&window);
    return dialog.result;
}

StartupOptionsState StartupOptionsFor(const DialogChoice& choice)
{
    return {choice.selectedItem + 1, choice.windowed ? 1 : 0, choice.nosound ? 0 : 1};
}
