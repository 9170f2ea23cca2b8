// The two backends under the layer, as tables of operations chosen once at
// start: "sdl" (SDL2 window and event translation) and "headless" (no window;
// input only from the script and the injection hooks). Internal to the layer.
#pragma once
#include <cstdint>

enum SoundDeviceKind {
    SOUND_DEVICE_DEFAULT = 0,  // the system's default output; none -> silent
    SOUND_DEVICE_CLOCKED = 1,  // a loopback device rendered as the clock advances
};

struct PlatBackend {
    int kind;          // PlatBackendKind
    const char *name;
    int sounddevice;   // SoundDeviceKind
    // 1 started; 0 not available.
    int (*start)();
    void (*stop)();
    // The game window, client area width x height; 1 made.
    int (*create_window)(int32_t width, int32_t height, int32_t windowed);
    void (*destroy_window)();
    // Pushes whatever input arrived since the last call (plat_events.h).
    void (*poll)();
    // Shows width x height pixels (rows pitch bytes apart) in the window.
    int (*present)(const uint8_t *pixels, int32_t pitch, int32_t width, int32_t height);
    // A modal box; called only when a box is to be shown.
    void (*message_box)(const char *text, const char *caption, int owned);
    void (*window_rect)(int32_t rect[4]);
    void (*relative_mouse)(int on);
    void (*show_pointer)(int show);
    void (*warp_pointer)(int32_t x, int32_t y);
    int (*open_url)(const char *url);
};

extern const PlatBackend plat_backend_sdl;
extern const PlatBackend plat_backend_headless;
// The backend in use; null before plat_select_backend.
extern const PlatBackend *plat_backend;
