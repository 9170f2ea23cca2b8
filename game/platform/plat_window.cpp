// The backend in use and the game window's services: creation and
// destruction, message boxes, the pointer, the browser and the clock.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/plat_backend.h"
#include "platform/plat_display.h"
#include "platform/plat_events.h"
#include "platform/plat_input.h"
#include "platform/plat_log.h"
#include "platform/plat_main.h"
#include "platform/plat_script.h"
#include "platform/plat_stop.h"
#include "platform/plat_test.h"

const PlatBackend *plat_backend;
static int32_t window_alive;
static int32_t cursor_count; // ShowCursor's display counter: visible while >= 0

static std::chrono::steady_clock::time_point clock_start;
static bool clock_started;

uint32_t plat_millis()
{
    const auto now = std::chrono::steady_clock::now();
    if (!clock_started) {
        clock_start = now;
        clock_started = true;
    }
    return (uint32_t)std::chrono::duration_cast<std::chrono::milliseconds>(now - clock_start).count();
}

int plat_select_backend(int kind)
{
    plat_close_backend();
    const PlatBackend *b = kind == PLAT_BACKEND_HEADLESS ? &plat_backend_headless : &plat_backend_sdl;
    if (!b->start()) return 0;
    plat_backend = b;
    cursor_count = 0;
    return 1;
}

int plat_backend_kind() { return plat_backend ? plat_backend->kind : -1; }

void plat_close_backend()
{
    if (!plat_backend) return;
    if (window_alive) {
        plat_backend->destroy_window();
        window_alive = 0;
    }
    plat_backend->stop();
    plat_backend = nullptr;
}

int windowexists() { return window_alive; }

int plat_create_window()
{
    if (!plat_backend || window_alive) return 0;
    const DisplaySettings *ds = game_display_settings();
    if (!plat_backend->create_window(ds->width, ds->height, ds->windowed)) return 0;
    window_alive = 1;
    setcursorcapture(ds->windowed ? 1 : 0);
    while (showcursor(0) >= 0) {
    }
    return 1;
}

void plat_destroy_window()
{
    if (!window_alive) return;
    plat_backend->destroy_window();
    window_alive = 0;
    windowproc(WM_DESTROY, 0, 0);
}

void messagebox(const char *text, const char *caption, int owned)
{
    if (!text) text = "";
    if (!caption) caption = "";
    plat_log("box %s: %s", caption, text);
    std::fprintf(stderr, "%s: %s\n", caption, text);
    // Nobody is there to press OK in an automated run.
    const char *mode = std::getenv("BKM_MESSAGEBOX");
    if (!plat_backend || plat_backend->kind == PLAT_BACKEND_HEADLESS || script_active() ||
        (mode && std::strcmp(mode, "log") == 0))
        return;
    if (!stop_box_opening()) return; // the program is ending: nobody is left to answer
    plat_backend->message_box(text, caption, owned && window_alive);
    stop_box_closed();
}

void getwindowrect(int32_t rect[4])
{
    rect[0] = rect[1] = rect[2] = rect[3] = 0;
    if (plat_backend && window_alive) plat_backend->window_rect(rect);
}

void setcursorpos(int32_t x, int32_t y)
{
    if (plat_backend && window_alive && events_focused()) plat_backend->warp_pointer(x, y);
}

int32_t showcursor(int show)
{
    cursor_count += show ? 1 : -1;
    if (plat_backend) plat_backend->show_pointer(cursor_count >= 0);
    return cursor_count;
}

int openurl(const char *url)
{
    if (!url) return 0;
    plat_log("url %s", url);
    return plat_backend ? plat_backend->open_url(url) : 0;
}
