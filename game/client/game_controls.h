// The local player's controls: selected tool and colour, menus and join mode,
// chat line, mouse copy and send timers; and the small routines other client
// modules call for the local player (death, loadout reset).
#pragma once
#include <cstdint>

#include "common/math_vec.h"

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
    int32_t tool, last_tool;       // Tool selected by the input
    int32_t palette_index;         // 0..63, -1 after a colour was sampled
    uint32_t block_colour;         // 0x00RRGGBB
    float next_use;                // game-clock time the tools react again
    int32_t mouse_dx, mouse_dy, wheel, buttons, prev_buttons;
    int32_t chat_mode;             // ChatMode
    char chat_line[CHAT_LINE_MAX + 2];
    int32_t team_menu_open, weapon_menu_open, quit_open;
    int32_t join_mode;             // JoinMode
    int32_t chosen_team;           // the team menu's choice during a join
    Vec3 last_sent_position, last_sent_orientation;
    float next_position_send, next_orientation_send;
    int32_t line_start_set, line_end_set; // block-line drag ends held
    Vec3 death_direction;
    int32_t follow;                // followed player, -1 none
    int32_t net_graph, big_map;
};
extern LocalControls local_controls;

// On the local player's death: a cooked grenade leaves his hand (a world
// object and MSG_GRENADE), fire released, not alive, line drag dropped, a
// random death view, the death sound.
void game_local_player_died();
// On each spawn of the local player: gun in hand, palette colour 3, tools
// ready in 0.5 s, fire released, no damage marker, no followed player.
void game_reset_local_loadout();
