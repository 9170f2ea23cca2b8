// The local player's controls: selected tool and colour, menus and join mode,
// chat line, mouse copy and send timers; the buttons and movement keys turned
// into his fire and move keys; tool selection, reloading and the block
// colour; and the small routines other client modules call for the local
// player (death, tool switch, loadout reset, key tests).
//
// The HUD reads this record; every field says what it holds. Nothing here
// draws.
#pragma once
#include <cstdint>

#include "common/math_vec.h"

struct PlayerRecord;

enum JoinMode {
    JOIN_IN_GAME = 0,    // in game: menus change team or weapon
    JOIN_FIRST = 1,      // first join after a map load
    JOIN_SPECTATOR = 2,  // a spectator choosing again
};

enum ChatMode {
    CHAT_CLOSED = 0,
    CHAT_OPEN_ALL = 1,
    CHAT_OPEN_TEAM = 2,
};

#define CHAT_LINE_MAX 79 // typed characters; the buffer adds the cursor and a zero

struct LocalControls {
    int32_t tool, last_tool;       // Tool selected by the input; the record's tool follows when a switch ends
    int32_t palette_index;         // 0..63 into block_palette, -1 after a colour was sampled from the map
    uint32_t block_colour;         // 0x00RRGGBB chosen for building
    // Game-clock time until which tool keys, colour keys and the fire buttons
    // do nothing; also the end of a tool switch (the HUD shows the tool row
    // while it lies ahead, then game_finish_tool_switch announces the tool).
    double next_use;
    int32_t mouse_dx, mouse_dy;    // this frame's mouse motion
    int32_t wheel;                 // this frame's wheel motion (sign only matters)
    int32_t buttons, prev_buttons; // MOUSE_LEFT | MOUSE_RIGHT now and at the previous frame
    int32_t chat_mode;             // ChatMode
    char chat_line[CHAT_LINE_MAX + 2]; // typed text followed by the '_' cursor
    int32_t team_menu_open, weapon_menu_open, quit_open; // the HUD draws the open one
    int32_t join_mode;             // JoinMode
    int32_t chosen_team;           // the team menu's choice during a join (0, 1, -1)
    Vec3 last_sent_position, last_sent_orientation;
    double next_position_send, next_orientation_send; // game-clock times
    Vec3 death_direction;          // axis the dead local player's view spins about
    int32_t follow;                // followed player while dead or spectating, -1 none
    int32_t net_graph, big_map;    // flags flipped by toggle_graph and view_map
};
extern LocalControls local_controls;

// Key tests on the key states of the last read. A control is one of the 25
// bindings (game_settings.h); a scan code is a key-state index.
// Down now, and was not down at the previous read; does not consume it.
bool game_key_pressed(int scan_code);
bool game_key_down(int scan_code);
bool game_control_down(int control);
bool game_control_pressed(int control);
// Consumes a key: it reads as up until it is pressed anew.
void game_consume_key(int scan_code);

// The tool the player holds for tool use: the local selection for the local
// player, the record's tool for anyone else.
int game_player_tool(const PlayerRecord *p);
// The tool in hand is the gun and the player's secondary fire is held.
bool game_is_aiming_gun(const PlayerRecord *p);
// The local player may use the tool now: the spade always, the block tool
// with blocks, the gun with a loaded magazine or a reserve, grenades with
// grenades left.
bool game_tool_usable(const PlayerRecord *p, int tool);

// MSG_MOVE_KEYS with the eight move flags of the local player as bits 0..7.
void net_send_move_keys();
// MSG_FIRE_KEYS with primary as bit 0 and secondary as bit 1.
void net_send_fire_keys();

// Buttons and movement keys of the local player (alive and on a team): fire
// keys with the aim toggle and the end of a block-line drag, jump, crouch,
// sneak and sprint, the four directions; each kind of change is sent once.
void game_update_local_controls();
// Tool selection by wheel, digit keys 1 to 4 and last_weapon; otherwise
// reload and the colour keys. Runs after game_update_local_controls.
void game_select_tool();

// On the local player's death: a cooked grenade leaves his hand (a world
// object and MSG_GRENADE), fire released, not alive, line drag dropped, a
// random death view, the death sound.
void game_local_player_died();
// Starts a tool switch: with the delay the tools wait 0.5 s (with a sound);
// the shot timer and grenade pin are reset, held fire is released and the
// block-line drag dropped.
void game_begin_tool_switch(bool with_delay);
// On each spawn of the local player: gun in hand, palette colour 3, tools
// ready in 0.5 s, fire released, no damage marker, no followed player.
void game_reset_local_loadout();
// Chooses a block colour (0x00RRGGBB): the colour keys wait 0.2 s.
void game_set_block_colour(uint32_t colour);
// Once a tool switch has ended (called by the frame drawing every frame
// after the switch time, with the local player alive on a team): when the
// selection differs from the record's tool, the record takes it, its reload
// stops and MSG_TOOL is sent; otherwise a block colour that differs from the
// record's is stored and sent as MSG_BLOCK_COLOUR.
void game_finish_tool_switch();
