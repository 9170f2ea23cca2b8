// The client's state of one connection to a game: screens, team slots, scores,
// the local player id, and the resets at connection and at each new map.
#pragma once
#include <cstdint>

#include "platform/plat_main.h"
#include "common/player.h"

#define TEAM_SLOTS 3           // team 0, team 1, spectators
#define TEAM_SLOT_SPECTATOR 2
#define TEAM_SLOT_NAME_SIZE 12 // at most 9 characters are kept

struct TeamSlot {
    char name[TEAM_SLOT_NAME_SIZE];
    uint32_t colour; // 0xAARRGGBB
};

struct ClientGameState {
    int32_t score[2];
    int32_t order[PLAYER_MAX];   // scoreboard order (the HUD fills it)
    TeamSlot team[TEAM_SLOTS];
    ScreenTable screens;         // the platform layer installs the callbacks
    double empty_hint_until;     // game-clock time
    int32_t game_mode;           // GameMode
};
extern ClientGameState client_state;

// The local player's slot; -1 until the first game state names it.
extern int32_t local_player_id;
extern int32_t capture_limit;

// The local player's record, or null while the id is unknown.
PlayerRecord *game_local_player();
// Copies at most the first 9 characters of name (null is empty) and the
// colour into slot 0..2; other slots are ignored.
void game_set_team_slot(int slot, const char *name, uint32_t colour);
// The slot that shows a team: 0 and 1 themselves, every other value the
// spectators' slot 2.
int game_team_slot(int team);
// Switches the current screen (values outside 0..4 are ignored).
void game_set_screen(int screen);
// Clears the state of one connection to a map: chat line, edit colour, mouse
// state, timers, particles, feeds, the work buffer's aligned start, and every
// player slot's team (not joined) and kills.
void game_reset_state();
// Opens the team menu for a fresh choice with the given join mode (screen 2,
// local player not joined and not alive).
void menu_open_team_menu(int join_mode);
