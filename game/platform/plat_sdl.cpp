// The SDL2 backend: the game window, the frame shown through a streaming
// texture scaled to the window, and SDL's events translated into the layer's
// raw input (DIK codes with the extended flag, typed characters, focus).
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>

#include "platform/plat_backend.h"
#include "platform/plat_events.h"
#include "platform/plat_input.h"
#include "platform/plat_keys.h"
#include "platform/plat_main.h"
#include "platform/plat_test.h"

// Leak checking in sanitizer builds: the system's D-Bus library, which SDL
// loads, keeps allocations for the life of the process.
extern "C" const char *__lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

static SDL_Window *sdl_window;
static SDL_Renderer *sdl_renderer;
static SDL_Texture *sdl_texture;
static int32_t sdl_texture_w, sdl_texture_h;
static int32_t sdl_fullscreen;

// SDL's scan codes (key positions) to DIK codes.
static const struct {
    SDL_Scancode sdl;
    uint8_t dik;
} sdl_keymap[] = {
    {SDL_SCANCODE_A, DIK_A}, {SDL_SCANCODE_B, DIK_B}, {SDL_SCANCODE_C, DIK_C}, {SDL_SCANCODE_D, DIK_D},
    {SDL_SCANCODE_E, DIK_E}, {SDL_SCANCODE_F, DIK_F}, {SDL_SCANCODE_G, DIK_G}, {SDL_SCANCODE_H, DIK_H},
    {SDL_SCANCODE_I, DIK_I}, {SDL_SCANCODE_J, DIK_J}, {SDL_SCANCODE_K, DIK_K}, {SDL_SCANCODE_L, DIK_L},
    {SDL_SCANCODE_M, DIK_M}, {SDL_SCANCODE_N, DIK_N}, {SDL_SCANCODE_O, DIK_O}, {SDL_SCANCODE_P, DIK_P},
    {SDL_SCANCODE_Q, DIK_Q}, {SDL_SCANCODE_R, DIK_R}, {SDL_SCANCODE_S, DIK_S}, {SDL_SCANCODE_T, DIK_T},
    {SDL_SCANCODE_U, DIK_U}, {SDL_SCANCODE_V, DIK_V}, {SDL_SCANCODE_W, DIK_W}, {SDL_SCANCODE_X, DIK_X},
    {SDL_SCANCODE_Y, DIK_Y}, {SDL_SCANCODE_Z, DIK_Z},
    {SDL_SCANCODE_1, DIK_1}, {SDL_SCANCODE_2, DIK_2}, {SDL_SCANCODE_3, DIK_3}, {SDL_SCANCODE_4, DIK_4},
    {SDL_SCANCODE_5, DIK_5}, {SDL_SCANCODE_6, DIK_6}, {SDL_SCANCODE_7, DIK_7}, {SDL_SCANCODE_8, DIK_8},
    {SDL_SCANCODE_9, DIK_9}, {SDL_SCANCODE_0, DIK_0},
    {SDL_SCANCODE_RETURN, DIK_RETURN}, {SDL_SCANCODE_ESCAPE, DIK_ESCAPE}, {SDL_SCANCODE_BACKSPACE, DIK_BACK},
    {SDL_SCANCODE_TAB, DIK_TAB}, {SDL_SCANCODE_SPACE, DIK_SPACE}, {SDL_SCANCODE_MINUS, DIK_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS}, {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET}, {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH}, {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE}, {SDL_SCANCODE_GRAVE, DIK_GRAVE}, {SDL_SCANCODE_COMMA, DIK_COMMA},
    {SDL_SCANCODE_PERIOD, DIK_PERIOD}, {SDL_SCANCODE_SLASH, DIK_SLASH}, {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1}, {SDL_SCANCODE_F2, DIK_F2}, {SDL_SCANCODE_F3, DIK_F3}, {SDL_SCANCODE_F4, DIK_F4},
    {SDL_SCANCODE_F5, DIK_F5}, {SDL_SCANCODE_F6, DIK_F6}, {SDL_SCANCODE_F7, DIK_F7}, {SDL_SCANCODE_F8, DIK_F8},
    {SDL_SCANCODE_F9, DIK_F9}, {SDL_SCANCODE_F10, DIK_F10}, {SDL_SCANCODE_F11, DIK_F11},
    {SDL_SCANCODE_F12, DIK_F12}, {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ}, {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE}, {SDL_SCANCODE_INSERT, DIK_INSERT}, {SDL_SCANCODE_HOME, DIK_HOME},
    {SDL_SCANCODE_PAGEUP, DIK_PRIOR}, {SDL_SCANCODE_DELETE, DIK_DELETE}, {SDL_SCANCODE_END, DIK_END},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT}, {SDL_SCANCODE_RIGHT, DIK_RIGHT}, {SDL_SCANCODE_LEFT, DIK_LEFT},
    {SDL_SCANCODE_DOWN, DIK_DOWN}, {SDL_SCANCODE_UP, DIK_UP}, {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE}, {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT}, {SDL_SCANCODE_KP_PLUS, DIK_ADD}, {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1}, {SDL_SCANCODE_KP_2, DIK_NUMPAD2}, {SDL_SCANCODE_KP_3, DIK_NUMPAD3},
    {SDL_SCANCODE_KP_4, DIK_NUMPAD4}, {SDL_SCANCODE_KP_5, DIK_NUMPAD5}, {SDL_SCANCODE_KP_6, DIK_NUMPAD6},
    {SDL_SCANCODE_KP_7, DIK_NUMPAD7}, {SDL_SCANCODE_KP_8, DIK_NUMPAD8}, {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0}, {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102}, {SDL_SCANCODE_APPLICATION, DIK_APPS},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL}, {SDL_SCANCODE_LSHIFT, DIK_LSHIFT}, {SDL_SCANCODE_LALT, DIK_LMENU},
    {SDL_SCANCODE_LGUI, DIK_LWIN}, {SDL_SCANCODE_RCTRL, DIK_RCONTROL}, {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
    {SDL_SCANCODE_RALT, DIK_RMENU}, {SDL_SCANCODE_RGUI, DIK_RWIN},
};

static uint8_t sdl_dik[SDL_NUM_SCANCODES];

static int sdl_start()
{
    for (const auto &k : sdl_keymap) sdl_dik[k.sdl] = k.dik;
    // The layer's own handlers take SIGTERM and SIGINT (plat_stop.h).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    // The mouse reports device motion: without this SDL divides relative
    // motion by the factor the full-screen frame is scaled with, so the view
    // would turn slower in full screen, and slower still on a larger desktop.
    SDL_SetHint(SDL_HINT_MOUSE_RELATIVE_SCALING, "0");
#if defined(__SANITIZE_ADDRESS__)
    // The GL drivers keep allocations that the leak check cannot trace to
    // them; sanitizer builds present through SDL's own software renderer
    // (SDL_RENDER_DRIVER in the environment still decides).
    SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "software", SDL_HINT_DEFAULT);
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
#endif
    return 1;
}

static void sdl_stop()
{
    if (SDL_WasInit(0)) SDL_Quit();
}

static int sdl_create_window(int32_t width, int32_t height, int32_t windowed)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return 0;
    }
    const Uint32 flags = SDL_WINDOW_SHOWN | (windowed ? SDL_WINDOW_RESIZABLE : SDL_WINDOW_FULLSCREEN_DESKTOP);
    // Full screen: a window of the whole screen's size from the start, so it
    // covers the screen even where no window manager resizes it.
    SDL_DisplayMode desktop;
    if (!windowed && SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
        width = desktop.w;
        height = desktop.h;
    }
    sdl_window = SDL_CreateWindow("Brickmire", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (sdl_window) {
        sdl_renderer = SDL_CreateRenderer(sdl_window, -1, 0);
        if (!sdl_renderer) sdl_renderer = SDL_CreateRenderer(sdl_window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (!sdl_window || !sdl_renderer) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        if (sdl_window) SDL_DestroyWindow(sdl_window);
        sdl_window = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return 0;
    }
    sdl_fullscreen = !windowed;
    SDL_StartTextInput();
    return 1;
}

static void sdl_destroy_window()
{
    if (sdl_texture) SDL_DestroyTexture(sdl_texture);
    if (sdl_renderer) SDL_DestroyRenderer(sdl_renderer);
    if (sdl_window) SDL_DestroyWindow(sdl_window);
    sdl_texture = nullptr;
    sdl_renderer = nullptr;
    sdl_window = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

static uint32_t sdl_modifiers(Uint16 mod)
{
    uint32_t m = 0;
    if (mod & KMOD_LSHIFT) m |= KEYMOD_LSHIFT;
    if (mod & KMOD_RSHIFT) m |= KEYMOD_RSHIFT;
    if (mod & KMOD_LCTRL) m |= KEYMOD_LCTRL;
    if (mod & KMOD_RCTRL) m |= KEYMOD_RCTRL;
    return m;
}

// Typed text arrives as UTF-8; the game's characters are single bytes, so
// code points up to 255 pass as themselves and others are dropped.
static void sdl_text(const char *text)
{
    const uint8_t *p = (const uint8_t *)text;
    while (*p) {
        uint32_t cp;
        int n;
        if (*p < 0x80) cp = *p, n = 1;
        else if ((*p & 0xE0) == 0xC0 && (p[1] & 0xC0) == 0x80) cp = (uint32_t)(*p & 0x1F) << 6 | (p[1] & 0x3F), n = 2;
        else {
            n = 1; // longer sequences: skip the lead byte and its continuation bytes
            while ((p[n] & 0xC0) == 0x80) n++;
            cp = 0;
        }
        if (cp >= 32 && cp <= 255 && cp != 127) events_push(RAW_CHAR, (int32_t)cp, 0);
        p += n;
    }
}

static void sdl_poll()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_Event ev;
    while (SDL_PollEvent(&ev)) {
        switch (ev.type) {
        case SDL_QUIT:
            events_push(RAW_CLOSE, 0, 0);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const int dik = ev.key.keysym.scancode < SDL_NUM_SCANCODES ? sdl_dik[ev.key.keysym.scancode] : 0;
            if (!dik) break;
            if (ev.type == SDL_KEYUP) {
                events_push(RAW_KEY_UP, dik, 0);
                break;
            }
            events_push(ev.key.repeat ? RAW_KEY_REPEAT : RAW_KEY_DOWN, dik, 0);
            // Enter, Backspace, Tab, Escape and Ctrl+letter type control
            // characters, which SDL reports only as keys.
            const uint8_t c = key_char(dik, sdl_modifiers(ev.key.keysym.mod));
            if (c && c < 32 && !(ev.key.keysym.mod & KMOD_ALT)) events_push(RAW_CHAR, c, 0);
            break;
        }
        case SDL_TEXTINPUT:
            sdl_text(ev.text.text);
            break;
        case SDL_MOUSEMOTION:
            events_push(RAW_MOTION, ev.motion.xrel, ev.motion.yrel);
            break;
        case SDL_MOUSEWHEEL: {
            const int32_t y = ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -ev.wheel.y : ev.wheel.y;
            if (y) events_push(RAW_WHEEL, y * WHEEL_DELTA, 0);
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            int b = -1;
            if (ev.button.button == SDL_BUTTON_LEFT) b = 0;
            else if (ev.button.button == SDL_BUTTON_RIGHT) b = 1;
            else if (ev.button.button == SDL_BUTTON_MIDDLE) b = 2;
            else if (ev.button.button == SDL_BUTTON_X1) b = 3;
            if (b >= 0) events_push(ev.type == SDL_MOUSEBUTTONDOWN ? RAW_BUTTON_DOWN : RAW_BUTTON_UP, b, 0);
            break;
        }
        case SDL_WINDOWEVENT:
            switch (ev.window.event) {
            case SDL_WINDOWEVENT_FOCUS_GAINED: events_push(RAW_FOCUS_IN, 0, 0); break;
            case SDL_WINDOWEVENT_FOCUS_LOST: events_push(RAW_FOCUS_OUT, 0, 0); break;
            case SDL_WINDOWEVENT_MINIMIZED: events_push(RAW_MINIMIZE, 0, 0); break;
            case SDL_WINDOWEVENT_CLOSE: events_push(RAW_CLOSE, 0, 0); break;
            default: break;
            }
            break;
        case SDL_RENDER_TARGETS_RESET:
        case SDL_RENDER_DEVICE_RESET:
            if (sdl_texture) SDL_DestroyTexture(sdl_texture);
            sdl_texture = nullptr;
            events_push(RAW_SURFACES_LOST, 0, 0);
            break;
        default:
            break;
        }
    }
}

static int sdl_present(const uint8_t *pixels, int32_t pitch, int32_t width, int32_t height)
{
    if (!sdl_renderer) return 0;
    if (!sdl_texture || sdl_texture_w != width || sdl_texture_h != height) {
        if (sdl_texture) SDL_DestroyTexture(sdl_texture);
        // XRGB: the renderer's top byte is not an alpha, and nothing blends.
        sdl_texture = SDL_CreateTexture(sdl_renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
        if (!sdl_texture) return 0;
        SDL_SetTextureBlendMode(sdl_texture, SDL_BLENDMODE_NONE);
        sdl_texture_w = width;
        sdl_texture_h = height;
        // Full screen keeps the frame's shape (bars at the sides or top) as a
        // display mode of the frame's size would; a window stretches it.
        if (sdl_fullscreen) SDL_RenderSetLogicalSize(sdl_renderer, width, height);
    }
    if (SDL_UpdateTexture(sdl_texture, nullptr, pixels, pitch) != 0) return 0;
    SDL_SetRenderDrawColor(sdl_renderer, 0, 0, 0, 255);
    SDL_RenderClear(sdl_renderer);
    SDL_RenderCopy(sdl_renderer, sdl_texture, nullptr, nullptr);
    SDL_RenderPresent(sdl_renderer);
    return 1;
}

// 1 when a window manager runs on the display (it then gives a new box the
// keyboard focus itself).
static int sdl_x11_has_wm(Display *d)
{
    const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return 0;
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char *data = nullptr;
    const int got = XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW, &type, &format,
                                       &items, &after, &data);
    const int wm = got == Success && data && items == 1;
    if (data) XFree(data);
    return wm;
}

// Without a window manager nobody moves the keyboard focus to a new box: it
// stays where SDL put it, on the game window, and Return and Escape never
// reach the box. The focus is then made to follow the pointer, and the
// pointer put where the box opens. Such a box is shown without owner (an
// owner means nothing without a window manager): SDL centres it across the
// first display and splits the room above and below it 1 : 2, so the point
// a third of the way down the display always lies inside it. Returns the
// display connection, to be closed (sdl_box_done) only after the box: the
// last connection to close resets a bare X server, the pointer with it.
static Display *sdl_box_take_focus(int *unowned)
{
    *unowned = 0;
    SDL_Rect screen = {0, 0, 0, 0};
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        const char *video = SDL_GetCurrentVideoDriver();
        if (!video || SDL_strcmp(video, "x11") != 0 || SDL_GetDisplayBounds(0, &screen) != 0) return nullptr;
    }
    Display *d = XOpenDisplay(nullptr);
    if (!d || sdl_x11_has_wm(d)) return d;
    if (screen.w <= 0) {
        screen.w = DisplayWidth(d, DefaultScreen(d));
        screen.h = DisplayHeight(d, DefaultScreen(d));
    }
    // Leaving relative mode (as SDL does for a box) would move the pointer
    // back where it was.
    if (sdl_window) SDL_SetRelativeMouseMode(SDL_FALSE);
    XSetInputFocus(d, PointerRoot, RevertToPointerRoot, CurrentTime);
    XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, screen.x + screen.w / 2, screen.y + screen.h / 3);
    XSync(d, False);
    *unowned = 1;
    return d;
}

static void sdl_message_box(const char *text, const char *caption, int owned)
{
    int unowned;
    Display *d = sdl_box_take_focus(&unowned);
    if (unowned) owned = 0;
    // Its one button answers Return and Escape alike.
    SDL_MessageBoxButtonData ok = {};
    ok.flags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    ok.buttonid = 0;
    ok.text = "OK";
    SDL_MessageBoxData box = {};
    box.flags = SDL_MESSAGEBOX_ERROR;
    box.window = owned ? sdl_window : nullptr;
    box.title = caption;
    box.message = text;
    box.numbuttons = 1;
    box.buttons = &ok;
    int pressed = -1;
    SDL_ShowMessageBox(&box, &pressed);
    if (d) XCloseDisplay(d);
}

static void sdl_window_rect(int32_t rect[4])
{
    if (!sdl_window) return;
    int x, y, w, h;
    SDL_GetWindowPosition(sdl_window, &x, &y);
    SDL_GetWindowSize(sdl_window, &w, &h);
    rect[0] = x;
    rect[1] = y;
    rect[2] = x + w;
    rect[3] = y + h;
}

static void sdl_relative_mouse(int on)
{
    if (sdl_window) SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE);
}

static void sdl_show_pointer(int show)
{
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

static void sdl_warp_pointer(int32_t x, int32_t y)
{
    if (sdl_window && !SDL_GetRelativeMouseMode()) SDL_WarpMouseGlobal(x, y);
}

static int sdl_open_url(const char *url) { return SDL_OpenURL(url) == 0; }

const PlatBackend plat_backend_sdl = {
    PLAT_BACKEND_SDL, "sdl", SOUND_DEVICE_DEFAULT,
    sdl_start, sdl_stop, sdl_create_window, sdl_destroy_window, sdl_poll,
    sdl_present, sdl_message_box, sdl_window_rect, sdl_relative_mouse,
    sdl_show_pointer, sdl_warp_pointer, sdl_open_url,
};
