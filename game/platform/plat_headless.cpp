// The headless backend: no window and no screen; the frame stays in memory,
// input comes only from the script and the injection hooks, sound renders
// into a loopback device as the clock runs.
#include <csignal>

#include "platform/plat_backend.h"
#include "platform/plat_events.h"
#include "platform/plat_test.h"

#define HEADLESS_SCREEN_W 1920 // the screen the window is centred on
#define HEADLESS_SCREEN_H 1080

static int32_t headless_w, headless_h;
static volatile sig_atomic_t headless_stop_asked;

// SIGINT and SIGTERM close the window, as SDL's quit event does: the run
// ends through the normal shutdown, so the server sees a disconnect.
static void headless_signal(int) { headless_stop_asked = 1; }

static int headless_start()
{
    headless_stop_asked = 0;
    std::signal(SIGINT, headless_signal);
    std::signal(SIGTERM, headless_signal);
    return 1;
}

static void headless_stop()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

static int headless_create_window(int32_t width, int32_t height, int32_t windowed)
{
    headless_w = windowed ? width : HEADLESS_SCREEN_W;
    headless_h = windowed ? height : HEADLESS_SCREEN_H;
    return 1;
}

static void headless_destroy_window() {}
static void headless_poll()
{
    if (!headless_stop_asked) return;
    headless_stop_asked = 0;
    events_push(RAW_CLOSE, 0, 0);
}
static int headless_present(const uint8_t *, int32_t, int32_t, int32_t) { return 1; }
static void headless_message_box(const char *, const char *, int) {}

static void headless_window_rect(int32_t rect[4])
{
    rect[0] = HEADLESS_SCREEN_W / 2 - headless_w / 2;
    rect[1] = HEADLESS_SCREEN_H / 2 - headless_h / 2;
    rect[2] = rect[0] + headless_w;
    rect[3] = rect[1] + headless_h;
}

static void headless_relative_mouse(int) {}
static void headless_show_pointer(int) {}
static void headless_warp_pointer(int32_t, int32_t) {}
static int headless_open_url(const char *) { return 1; }

const PlatBackend plat_backend_headless = {
    PLAT_BACKEND_HEADLESS, "headless", SOUND_DEVICE_CLOCKED,
    headless_start, headless_stop, headless_create_window, headless_destroy_window, headless_poll,
    headless_present, headless_message_box, headless_window_rect, headless_relative_mouse,
    headless_show_pointer, headless_warp_pointer, headless_open_url,
};
