// "config.ini" and "controls.ini": every key with its default and clamp here.
#include "client/game_settings.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/plat_input.h"

ClientSettings client_settings;
KeyBindings key_bindings;
const char *control_names[CTL_COUNT];

static const char *const control_name_table[CTL_COUNT] = {
    "move_forward", "move_backward", "move_left", "move_right", "jump", "crouch", "sneak",
    "sprint", "view_map", "reload", "cube_color_up", "cube_color_down", "cube_color_left",
    "cube_color_right", "cube_color_sample", "quit_game", "save_map", "volume_up",
    "volume_down", "show_mouse", "view_score", "change_team", "change_weapon", "last_weapon",
    "toggle_graph",
};

const int32_t control_defaults[CTL_COUNT] = {
    17, 31, 30, 32, 57, 29, 42, 47, 50, 19, 200, 208, 203,
    205, 18, 1, 59, 78, 74, 63, 15, 51, 52, 16, CTL_TOGGLE_GRAPH_KEY,
};

static int32_t game_clamp_int(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Reads an integer key, clamps it into lo..hi and writes the kept value back.
static int32_t game_setting_int(ConfigDict *d, const char *key, int32_t def, int32_t lo, int32_t hi)
{
    int32_t v = game_clamp_int(cfg_get_int(d, key, def), lo, hi);
    char text[16];
    snprintf(text, sizeof text, "%d", v);
    cfg_set(d, key, text);
    return v;
}

void game_init_control_names()
{
    for (int i = 0; i < CTL_COUNT; i++) control_names[i] = control_name_table[i];
}

char *game_key_name(const KeyboardDevice *device, int scan_code, char out[4])
{
    char name[32];
    keyboardkeyname(device, scan_code, name, sizeof name);
    size_t n = strnlen(name, 4);
    std::memcpy(out, name, n);
    std::memset(out + n, 0, 4 - n);
    return out;
}

float game_sensitivity_scale(float sensitivity) { return sensitivity / 10.0f * 0.005f; }

static void game_set_name(const char *name)
{
    snprintf(client_settings.name, sizeof client_settings.name, "%s", name ? name : "");
}

int game_read_settings()
{
    ClientSettings &s = client_settings;
    cfg_free(s.config);
    s.config = nullptr;
    cfg_load(GAME_CONFIG_FILE, &s.config);
    if (!s.config) s.config = cfg_new();
    ConfigDict *d = s.config;
    cfg_set(d, "client", nullptr);

    s.xres = game_setting_int(d, "client:xres", 800, GAME_MIN_XRES, GAME_MAX_XRES);
    s.yres = game_setting_int(d, "client:yres", 600, GAME_MIN_YRES, GAME_MAX_YRES);
    s.volume = game_setting_int(d, "client:vol", 10, 0, GAME_MAX_VOLUME);
    s.invert_y = game_setting_int(d, "client:inverty", 0, INT32_MIN, INT32_MAX);

    // NaN would pass any clamp and turn every look step into NaN.
    double sens = cfg_get_double(d, "client:mouse_sensitivity", 5.0);
    if (std::isnan(sens)) sens = 5.0;
    s.mouse_sensitivity = (float)(sens < 0.0 ? 0.0 : (sens > 10.0 ? 10.0 : sens));
    char text[64];
    snprintf(text, sizeof text, "%f", (double)s.mouse_sensitivity);
    cfg_set(d, "client:mouse_sensitivity", text);
    s.look_factor = game_sensitivity_scale(s.mouse_sensitivity);

    s.windowed = game_setting_int(d, "client:windowed", 0, INT32_MIN, INT32_MAX);
    game_set_name(cfg_get_string(d, "client:name", GAME_DEFAULT_NAME));
    cfg_set(d, "client:name", s.name);
    s.language = game_setting_int(d, "client:language", 0, INT32_MIN, INT32_MAX);
    s.show_news = game_setting_int(d, "client:show_news", 1, INT32_MIN, INT32_MAX);

    cfg_save(d, GAME_CONFIG_FILE);
    game_read_controls();
    return 1;
}

// A scan code indexes the 256-entry key tables: only a plain decimal number
// 1..255 is taken.
static int32_t game_scan_code(const char *text, int32_t def)
{
    if (!text) return def;
    while (*text == ' ' || *text == '\t') text++;
    if (*text < '0' || *text > '9') return def;
    char *end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    while (*end == ' ' || *end == '\t') end++;
    if (errno || *end || v < 1 || v > 255) return def;
    return (int32_t)v;
}

void game_read_controls()
{
    game_init_control_names();
    ConfigDict *&d = client_settings.controls;
    cfg_free(d);
    d = nullptr;
    cfg_load(GAME_CONTROLS_FILE, &d);
    for (int i = 0; i < CTL_READ_COUNT; i++) {
        char key[CFG_KEY_SIZE];
        cfg_key("controls:", control_names[i], key);
        key_bindings.key[i] = game_scan_code(cfg_get_string(d, key, nullptr), control_defaults[i]);
    }
    key_bindings.key[CTL_TOGGLE_GRAPH] = CTL_TOGGLE_GRAPH_KEY;
}

int game_save_name(const char *name)
{
    game_set_name(name);
    if (!client_settings.config) client_settings.config = cfg_new();
    return cfg_save_name(client_settings.config, GAME_CONFIG_FILE, client_settings.name);
}

void game_free_settings()
{
    cfg_free(client_settings.config);
    cfg_free(client_settings.controls);
    client_settings.config = nullptr;
    client_settings.controls = nullptr;
}
