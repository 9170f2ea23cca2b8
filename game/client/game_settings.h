// The client's settings: section "client" of "config.ini" (read, clamped and
// written back once at start) and the control bindings of "controls.ini".
#pragma once
#include <cstdint>

#include "common/cfg.h"

#define GAME_NAME_SIZE 16           // player name: 15 characters and a zero
#define GAME_DEFAULT_NAME "Zarar"   // the name that makes the name screen ask
#define GAME_CONFIG_FILE "config.ini"
#define GAME_CONTROLS_FILE "controls.ini"

// Display size limits. The renderer needs at least its minimum frame.
#define GAME_MIN_XRES 16
#define GAME_MIN_YRES 16
#define GAME_MAX_XRES 1280
#define GAME_MAX_YRES 960
#define GAME_MAX_VOLUME 10

struct ClientSettings {
    int32_t xres, yres;           // display size in pixels
    int32_t volume;               // master volume level 0..10
    int32_t invert_y;
    float mouse_sensitivity;      // 0..10
    int32_t windowed;
    char name[GAME_NAME_SIZE];
    int32_t language;             // index into lang_codes; 6 or more loads no strings
    int32_t show_news;
    float look_factor;            // game_sensitivity_scale(mouse_sensitivity)
    ConfigDict *config;           // "config.ini", held until shutdown
    ConfigDict *controls;         // "controls.ini", null when the file is missing
};
extern ClientSettings client_settings;

// The 25 controls, in binding order.
enum Control {
    CTL_MOVE_FORWARD, CTL_MOVE_BACKWARD, CTL_MOVE_LEFT, CTL_MOVE_RIGHT,
    CTL_JUMP, CTL_CROUCH, CTL_SNEAK, CTL_SPRINT, CTL_VIEW_MAP, CTL_RELOAD,
    CTL_CUBE_COLOR_UP, CTL_CUBE_COLOR_DOWN, CTL_CUBE_COLOR_LEFT, CTL_CUBE_COLOR_RIGHT,
    CTL_CUBE_COLOR_SAMPLE, CTL_QUIT_GAME, CTL_SAVE_MAP, CTL_VOLUME_UP, CTL_VOLUME_DOWN,
    CTL_SHOW_MOUSE, CTL_VIEW_SCORE, CTL_CHANGE_TEAM, CTL_CHANGE_WEAPON, CTL_LAST_WEAPON,
    CTL_TOGGLE_GRAPH,
    CTL_COUNT,
};
#define CTL_READ_COUNT 24  // controls read from the file; the last one is fixed
#define CTL_TOGGLE_GRAPH_KEY 87  // F11

// Keyboard scan codes (the index of the key-state tables, 0..255) by Control.
struct KeyBindings {
    int32_t key[CTL_COUNT];
};
extern KeyBindings key_bindings;
// Control names by Control ("move_forward" ...), filled by game_init_control_names.
extern const char *control_names[CTL_COUNT];
// Default scan code of each control.
extern const int32_t control_defaults[CTL_COUNT];

// Reads "config.ini" from the working folder into client_settings (a missing
// file gives every default), clamps each value, writes every key back with
// its kept value, saves the file and then calls game_read_controls. A value
// that is not a finite number where one is expected takes the default.
// Returns 1.
int game_read_settings();
// Fills key_bindings from "controls.ini" ("controls:" + name); a missing file,
// a missing key or a value that is not a whole number 1..255 gives the
// control's default. The last control is always F11. The file is never written.
void game_read_controls();
// Fills control_names in binding order.
void game_init_control_names();
struct KeyboardDevice;
// The keyboard device's name of a key, in at most 4 bytes of out (no zero
// byte when the name fills them; callers print "%.4s"). Returns out.
char *game_key_name(const KeyboardDevice *device, int scan_code, char out[4]);
// Look factor of a mouse sensitivity: sensitivity / 10 x 0.005.
float game_sensitivity_scale(float sensitivity);
// Sets the player name (cut to 15 characters) and saves it into "config.ini".
// Returns the result of cfg_save_name (1 saved).
int game_save_name(const char *name);
// Frees both dictionaries.
void game_free_settings();
