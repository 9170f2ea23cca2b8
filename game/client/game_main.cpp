#include "client/game_main.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "client/game_assets.h"
#include "client/game_controls.h"
#include "client/game_fatal.h"
#include "client/game_input.h"
#include "client/game_mode.h"
#include "client/game_objects.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/game_workbuf.h"
#include "client/net_client.h"
#include "client/net_dispatch.h"
#include "client/net_loading.h"
#include "client/net_stats.h"
#include "common/kv6.h"
#include "common/lang.h"
#include "common/lang_ids.h"
#include "common/player.h"
#include "common/sys_host.h"
#include "common/timer.h"
#include "platform/plat_display.h"
#include "platform/plat_font.h"
#include "platform/plat_input.h"
#include "platform/plat_main.h"
#include "renderer/vox_start.h"
#include "renderer/vox_world.h"

double game_last_frame;
float game_frame_time;
int32_t game_millis;

static DisplaySettings display_settings;
static int game_enet_started;
// The server's address from the command line, connected to by the first
// frame (game_connect_server).
static uint32_t game_server_host;
static uint16_t game_server_port;
static int game_connect_owed;

ScreenTable *game_screen_table() { return &client_state.screens; }
DisplaySettings *game_display_settings() { return &display_settings; }

// Reads a decimal number of at least one digit at *p, no larger than max;
// *p is left after it. 0 when there is no digit or the number is larger.
static int game_read_decimal(const char **p, uint64_t max, uint64_t *out)
{
    const char *s = *p;
    uint64_t v = 0;
    if (*s < '0' || *s > '9') return 0;
    for (; *s >= '0' && *s <= '9'; s++) {
        v = v * 10 + (uint64_t)(*s - '0');
        if (v > max) return 0;
    }
    *p = s;
    *out = v;
    return 1;
}

int game_parse_address(const char *arg, uint32_t *host, uint16_t *port)
{
    if (!arg || std::strcmp(arg, "client.exe") == 0) return GAME_ADDRESS_NONE;
    // Never read past the end: the argument may be shorter than its prefix.
    size_t len = strnlen(arg, 6);
    if (len < 6 || arg[6] == 0) return GAME_ADDRESS_NONE;
    char text[GAME_ADDRESS_TEXT];
    size_t n = strnlen(arg + 6, sizeof text);
    if (n == sizeof text) return GAME_ADDRESS_MALFORMED; // longer than any address
    std::memcpy(text, arg + 6, n);
    text[n] = 0;
    if (n > 0 && text[n - 1] == '"') text[--n] = 0;
    if (n > 0 && text[n - 1] == '/') text[--n] = 0;
    if (n == 0) return GAME_ADDRESS_NONE;
    // A digit among the skipped characters means the number began there:
    // the command line lacked the character the entry point drops.
    if (arg[5] >= '0' && arg[5] <= '9') return GAME_ADDRESS_MALFORMED;
    const char *p = text;
    uint64_t address, number = NET_DEFAULT_PORT;
    if (!game_read_decimal(&p, 0xFFFFFFFFu, &address)) return GAME_ADDRESS_MALFORMED;
    if (*p == ':') {
        p++;
        if (!game_read_decimal(&p, 65535, &number) || number == 0) return GAME_ADDRESS_MALFORMED;
    }
    // Anything else (a dotted address, a second number, trailing text) would
    // be read as some other address: none is guessed.
    if (*p) return GAME_ADDRESS_MALFORMED;
    *host = (uint32_t)address;
    *port = (uint16_t)number;
    return GAME_ADDRESS_OK;
}

int32_t game_millis_of(double t)
{
    // Past 2^31 ms (24.8 days) the count starts again at 0; its low bits,
    // which the walk and recoil read, run on unbroken.
    return (int32_t)((int64_t)(t * 1000.0) & 0x7FFFFFFF);
}

static void game_settings_box(const char *text, const char *caption) { messagebox(text, caption, 0); }

// A start-up failure: its box, and -1 for the entry point.
static int game_init_failed(int lang_id)
{
    messagebox(game_text(lang_id), "ERROR", 0);
    return -1;
}

int game_init(int argc, char **argv)
{
    (void)argc;
    char dir[4096];
    if (!sys_program_dir(dir, sizeof dir)) return game_init_failed(LANG_ERR_PROGRAM_PATH);
    if (chdir(dir) != 0) {
        // Not fatal: the data files are then looked up where the program was started.
    }
    cfg_set_report(game_settings_box);
    game_read_settings();
    display_settings.width = client_settings.xres;
    display_settings.height = client_settings.yres;
    display_settings.windowed = client_settings.windowed;
    display_settings.volume = client_settings.volume;
    lang_load("BkmLang", client_settings.language);
    if (startrenderer(CpuFeatures) < 0) return game_init_failed(LANG_ERR_CPU_RENDERER);
    vox_set_fatal_handler(game_fatal_text);
    timer_start(&game_time);
    game_last_frame = 0.0;
    net_stats_reset();
    setwallshades(0, 0x40, 0x20, 0x20, 0x10, 0x30);
    for (int i = 0; i < PLAYER_MAX; i++) player_table[i].present = 0;
    if (enet_initialize() != 0) return game_init_failed(LANG_ERR_NETWORK_INIT);
    game_enet_started = 1;
    uint32_t host;
    uint16_t port;
    const char *arg = argv ? argv[0] : nullptr;
    const int parsed = game_parse_address(arg, &host, &port);
    if (parsed == GAME_ADDRESS_NONE) return game_init_failed(LANG_ERR_NO_ADDRESS);
    if (parsed == GAME_ADDRESS_MALFORMED) {
        // Said at once, with the text as given: a connection to whatever
        // number could be read from it would only fail seconds later.
        char given[GAME_ADDRESS_TEXT], box[1024];
        snprintf(given, sizeof given, "%s", arg + 6);
        for (char *c = given; *c; c++)
            if ((unsigned char)*c < 32 || *c == 127) *c = '?';
        snprintf(box, sizeof box, game_text(LANG_ERR_BAD_ADDRESS), given);
        messagebox(box, "ERROR", 0);
        return -1;
    }
    if (!game_work_buffer_alloc(client_settings.xres, client_settings.yres))
        return game_init_failed(LANG_ERR_NO_WORK_BUFFER);
    // Connected only once the window, sound, input and fonts are up: the
    // server sends the map at once and gives up a player who stays silent
    // for seconds, as a slow start-up would keep him.
    game_server_host = host;
    game_server_port = port;
    game_connect_owed = 1;
    local_player_id = -1;
    game_reset_state();
    game_build_palette();
    game_load_images();
    return 0;
}

void hud_draw_fps(float frame_time)
{
    Surface *frame = getframesurface();
    BitmapFont *font = getfont(0);
    if (!frame || !font) return;
    char text[32];
    snprintf(text, sizeof text, "FPS: %3.2f", 1.0 / frame_time);
    drawtextcolor(font, text, client_settings.xres - gettextwidth(font, text), 0, frame, 0x192D17);
}

void game_update_cursor(int capture)
{
    if (capture || getactive()) {
        int32_t r[4];
        getwindowrect(r);
        setcursorpos((r[2] - r[0]) / 2 + r[0], (r[3] - r[1]) / 2 + r[1]);
        if (showcursor(0) < -1) showcursor(1);
    } else {
        if (showcursor(1) > 0) showcursor(0);
    }
}

int game_connect_server()
{
    if (!game_connect_owed) return 1;
    game_connect_owed = 0;
    if (net_client_connect(game_server_host, game_server_port)) return 1;
    game_fatal(LANG_ERR_CONNECT);
    return 0;
}

void game_run_frame()
{
    if (!game_connect_server()) return;
    timer_read(&game_time);
    const double since = std::fabs(game_time - game_last_frame);
    if (since < 0.01666666753590107) {
        sys_sleep_ms(1);
        return;
    }
    const float frame_time = (float)since;
    game_frame_time = frame_time;
    game_step = frame_time;
    game_last_frame = game_time;
    game_millis = game_millis_of(game_time);

    int screen = client_state.screens.current;
    if (screen > SCREEN_LOADING) {
        net_dispatch_messages();
        if (client_state.screens.current > SCREEN_LOADING) game_advance_capture();
    } else if (screen == SCREEN_NAME_ENTRY)
        net_keep_alive();
    if (getactive() && client_state.screens.current > SCREEN_LOADING) {
        game_handle_input();
    } else {
        LocalControls &c = local_controls;
        c.mouse_dx = c.mouse_dy = c.wheel = c.buttons = 0;
    }
    int current = client_state.screens.current;
    if (current >= 0 && current < SCREEN_COUNT && client_state.screens.screens[current])
        client_state.screens.screens[current]();
    if (frame_time > 0.0f) hud_draw_fps(frame_time);
    net_sample_stats();
    if (display_settings.windowed) game_update_cursor(getcursorcapture());
    presentframe();
}

void game_shutdown()
{
    game_connect_owed = 0;
    game_work_buffer_free();
    game_free_images();
    game_clear_world_objects();
    game_free_models();
    net_loading_free();
    game_free_settings();
    freefonts();
    freetextcontext(textcontext);
    textcontext = nullptr;
    net_client_close();
    if (game_enet_started) enet_deinitialize();
    game_enet_started = 0;
    closerenderer();
    lang_free();
}
