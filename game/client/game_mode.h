// The game mode as the client sees it: the three per-mode hooks chosen when
// the game state arrives, the mode blocks of that state, and the objective
// world objects (intels and bases, or territories).
#pragma once
#include <cstdint>

#include "common/model_types.h"
#include "common/protocol.h"

struct GameModeHooks {
    // Takes the mode block of a game state.
    void (*read_state)(const GameStateMsg *m);
    // Map marker of objective i: a HudBitmap and a colour (0xRRGGBB or the
    // team slot's colour).
    void (*map_icon)(int index, int *bitmap, uint32_t *colour);
    // The objective model to show in the first-person view, or null.
    Kv6Model *(*view_objective)();
};
extern GameModeHooks game_mode_hooks;

// Chooses the hooks for a game-mode byte: GAME_MODE_CTF, any other territory
// control; sets client_state.game_mode.
void game_select_mode(int mode);
void game_ctf_read_state(const GameStateMsg *m);
void game_tc_read_state(const GameStateMsg *m);
void hud_ctf_map_icon(int index, int *bitmap, uint32_t *colour);
void hud_tc_map_icon(int index, int *bitmap, uint32_t *colour);
// The intel the local player carries (the other team's), or null.
Kv6Model *hud_ctf_held_intel_model();
// The first territory within 16 of the local eye on x and y, or null.
Kv6Model *hud_tc_territory_model();
// The model of a territory owner: CP_B for 0, CP_G for 1, CP_N otherwise.
Kv6Model *game_territory_model(int owner);
// Models and scales of the objective objects; the world-object count becomes
// the objective count.
void game_setup_objective_objects();
// Number of objectives in the current mode (0..16).
int game_objective_count();
// The steady advance of the territories' capture, which the server leaves to
// the clients: once per frame on every screen past loading, so that a player
// who was dead or in a menu finds the bars where the server has them.
void game_advance_capture();
