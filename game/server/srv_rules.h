// Game rules run by the tick and the round reset.
#pragma once
#include <cstdint>

// The round reset: every slot back to "connected, not joined" (team -2) with
// no kills, the map-editing work area rewound, grenades dropped, the vote
// ended and any scheduled map change cancelled. Connected flags stay.
void srv_reset_players();
// The per-player pass of one tick, then the mode's rules and, when due, the
// world update. t: current time in whole seconds.
void srv_tick_players(int64_t t);
// MSG_WORLD_UPDATE (positions and facing of the living team players) to all,
// unsequenced.
void srv_send_world_update();
// Live grenades of this tick.
void srv_update_grenades();
// Removes the block groups this tick's edits left floating.
void srv_world_step();
// Capture the flag: the player drops the enemy intel he carries, if any.
void srv_drop_intel(int player);
