// platdemo: opens the game window through the platform layer, presents a
// test pattern and prints every key it reads (device key states and typed
// keys) on standard output. Escape quits; Space plays "wav/demo.wav".
//
//   platdemo [XWIDTHxHEIGHT[f]]   e.g. "x320x240" (the first character is
//                                 skipped like any command line's), "f" full screen
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/plat_display.h"
#include "platform/plat_font.h"
#include "platform/plat_input.h"
#include "platform/plat_main.h"
#include "platform/plat_sound.h"

static ScreenTable demo_screens;
static DisplaySettings demo_display = {320, 240, 1, 10};
static int32_t demo_frames;

ScreenTable *game_screen_table() { return &demo_screens; }
DisplaySettings *game_display_settings() { return &demo_display; }

int game_init(int argc, char **argv)
{
    std::printf("cmdline %d [%s]\n", argc, argv[0] ? argv[0] : "(null)");
    if (argv[0]) {
        int w, h;
        char f = 0;
        const int n = std::sscanf(argv[0], "%dx%d%c", &w, &h, &f);
        if (n >= 2 && w >= 16 && h >= 16 && w <= 1280 && h <= 960) {
            demo_display.width = w;
            demo_display.height = h;
        }
        if (n == 3 && f == 'f') demo_display.windowed = 0;
    }
    std::fflush(stdout);
    return 0;
}

// Eight colour bars over the top three quarters, a grey ramp below.
static const uint32_t demo_bars[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};

static void demo_pattern(uint8_t *pixels, int32_t pitch)
{
    const int32_t w = demo_display.width, h = demo_display.height;
    for (int32_t y = 0; y < h; y++) {
        uint32_t *row = (uint32_t *)(pixels + (size_t)y * (size_t)pitch);
        for (int32_t x = 0; x < w; x++) {
            if (y < h * 3 / 4) row[x] = demo_bars[x * 8 / w];
            else {
                const uint32_t v = (uint32_t)(x * 255 / (w - 1));
                row[x] = v << 16 | v << 8 | v;
            }
        }
    }
}

static void demo_screen()
{
    uint8_t *pixels;
    int32_t pitch;
    if (lockframe(&pixels, &pitch) == 1) {
        demo_pattern(pixels, pitch);
        unlockframe();
    }
    drawtextcolor(getfont(0), "platdemo", 4, demo_display.height * 3 / 4 + 4, getframesurface(), 0xFF0000);
}

void menu_name_screen() { demo_screen(); }
void menu_loading_screen() { demo_screen(); }
void menu_team_screen() { demo_screen(); }
void menu_weapon_screen() { demo_screen(); }
void game_play_screen() { demo_screen(); }

void game_run_frame()
{
    static auto last = std::chrono::steady_clock::now();
    const auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::microseconds(16667)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return;
    }
    last = now;
    if (getactive()) {
        readkeyboard();
        for (int k = 0; k < 256; k++) {
            if (keystates.current[k] != keystates.previous[k])
                std::printf("key 0x%02x %s\n", k, keystates.current[k] ? "down" : "up");
        }
        for (KeyEvent e; (e = readkeyevent()) != 0;) {
            std::printf("typed char 0x%02x dik 0x%02x mods 0x%06x\n", KEYEVENT_CHAR(e), KEYEVENT_DIK(e), e & 0x3F0000u);
            if (KEYEVENT_CHAR(e) == 27) requestquit(); // a tap shorter than a frame still quits
        }
        int32_t dx, dy, wheel;
        uint32_t buttons;
        readmouse(&dx, &dy, &wheel, &buttons);
        if (dx || dy || wheel || buttons) std::printf("mouse %d %d wheel %d buttons %u\n", dx, dy, wheel, buttons);
        if (keystates.current[DIK_SPACE] && !keystates.previous[DIK_SPACE]) playsound("wav/demo.wav", 0);
        if (keystates.current[DIK_ESCAPE]) requestquit();
    }
    game_screen_table()->screens[game_screen_table()->current]();
    presentframe();
    if (++demo_frames == 10) std::printf("presented 10 frames\n");
    std::fflush(stdout);
}

void game_shutdown()
{
    freefonts();
    std::printf("shutdown\n");
    std::fflush(stdout);
}

int main(int argc, char **argv) { return platform_main(argc, argv); }
