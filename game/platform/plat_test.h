// Hooks for tests and tools: choose a backend in-process, open a window
// without the entry point, inject input exactly where a player's enters the
// layer, and look at the frame. The game never calls these.
#pragma once
#include <cstdint>

enum PlatBackendKind {
    PLAT_BACKEND_SDL = 0,
    PLAT_BACKEND_HEADLESS = 1,
};

// Chooses and starts a backend (platform_main does it from BKM_PLATFORM).
// 1 started, 0 not. SDL opens the display only with the window, so a
// missing display shows as a window that cannot be made.
int plat_select_backend(int kind);
// The backend in use, -1 before one is chosen.
int plat_backend_kind();
// Stops the backend (closing its window); the next select starts afresh.
void plat_close_backend();

// The window steps of the entry point: creates the game window for
// DisplaySettings (game_display_settings()), shows it, sets the cursor
// capture. 1 made, 0 failed. plat_destroy_window destroys it.
int plat_create_window();
void plat_destroy_window();

// Input as a player gives it; collected at the next pump or device read.
void plat_inject_key(int dik, int down);
void plat_inject_char(uint8_t c);
// Presses and releases the key that types c ('\n' is Enter), Shift held
// around it where needed. Returns 0, injecting nothing, when no key types c.
int plat_inject_typed(uint8_t c);
void plat_inject_mouse(int32_t dx, int32_t dy);
void plat_inject_wheel(int32_t notches);
void plat_inject_button(int button, int down); // 0 left, 1 right, 2 middle, 3 fourth
void plat_inject_focus(int focused);
void plat_inject_minimize();
void plat_inject_close();
// The display loses its surfaces (as on a mode switch): the next lockframe restores them.
void plat_lose_surfaces();

// Clears the key and mouse state, the key queue, the message queue and the
// quit flag, as at a fresh start (between tests in one process).
void plat_reset_input();
// Frames presented since the display was created.
int32_t plat_frames_presented();
