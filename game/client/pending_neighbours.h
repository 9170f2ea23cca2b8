// PENDING: declarations of platform-layer and renderer functions that are not
// on this branch yet, under the names the client game calls. Delete this file
// once game/platform and the renderer's PNG decoder merge, and include their
// headers instead (only game_io.cpp, game_fatal.cpp, game_main.cpp and
// game_assets.cpp include it). The unit tests define these in
// tests/client/pending_stubs.cpp, which goes at the same time.
#pragma once
#include <cstdint>

// Platform layer: fatal exit (does not return), message box, sounds, keys.
[[noreturn]] void quitwitherror(const char *text);
void messagebox(const char *text, const char *caption, int owned);
void playsound(const char *file, int32_t volume);
void playsound3d(const char *file, int32_t volume, const float position[3]);
int readkeyboard();
extern uint8_t keystatus[256];
uint32_t plat_millis();

// Platform layer: the screen table that lives in the client's state.
enum ClientScreen {
    SCREEN_NAME_ENTRY = 0,
    SCREEN_LOADING = 1,
    SCREEN_TEAM_MENU = 2,
    SCREEN_WEAPON_MENU = 3,
    SCREEN_IN_GAME = 4,
    SCREEN_COUNT = 5,
};
typedef void (*ScreenFn)();
struct ScreenTable {
    ScreenFn screens[SCREEN_COUNT];
    int32_t current;
};

// Renderer: PNG pictures.
typedef uint32_t PngImage;
void loadpngfile(const char *path, PngImage **out, int32_t width, int32_t height);
