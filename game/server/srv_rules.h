// The game rules the tick and the handlers run: damage, deaths with kill
// credit, the 30-second respawn waves, hit validation, the per-player pass
// (movement, fall damage, the server's own count of shots, reloads), resupply,
// the world update and the round reset. The tick's later steps, grenades and
// the world step, are in srv_grenade.h; the game modes in srv_modes.h.
#pragma once
#include <cstdint>

#include "common/math_vec.h"
#include "server/srv_grenade.h"
#include "server/srv_modes.h"

// Longest physics step fed to movement and grenade flight, and the most
// simulated time one tick may cover: a late tick is cut into steps of at most
// SRV_STEP_MAX so nothing moves through a wall, and time beyond
// SRV_STEP_TOTAL_MAX after a stall is dropped.
#define SRV_STEP_MAX 0.025f
#define SRV_STEP_TOTAL_MAX 0.1f
#define SRV_RESPAWN_WAVE 30

// Splits a tick delta into *count equal steps (0 for a delta that is not a
// positive number); returns the length of one step.
float srv_split_step(float delta, int *count);

// 1 when the slot is connected, on team 0 or 1 and alive: the only players
// that can be hit, damaged, counted on objectives or resupplied.
int srv_player_in_game(int player);

// Records that a player removed a block in his own team's half (x below 256
// for team 0, 256 or more for any other team): team-mates may then hit him
// for a second (see srv_on_hit).
void srv_mark_own_half(int player, int x, int64_t t);

// Seconds until the next respawn wave of the game clock: 1..30.
int srv_respawn_wait();

// Applies damage to a victim who is connected, on team 0 or 1 and alive;
// anyone else is left alone. A survivor gets MSG_HIT (with the source for kill
// types 0..3, source may be null otherwise); a death sends MSG_KILL to all,
// drops a carried intel and credits a connected killer of the other team for
// kill types 0..3.
void srv_damage_player(int victim, int amount, int killer, const Vec3 *source, int kill_type);
// A change of team or weapon: a joined, living player (spectators included)
// dies with kill type 5 or 6 and killer 0, announced to everyone.
void srv_kill_for_change(int victim, int kill_type);

// 1 when a claimed hit of hit_type (0..4) by shooter on target passes the aim
// box around the claimed body part (and, for the spade, the eyes are closer
// than 3 blocks).
int srv_validate_hit(int shooter, int target, int hit_type);

// The per-player pass of a tick (t: system time in whole seconds): respawns,
// movement with fall damage, shots and reload steps; then the mode's rules
// callback and, when due, the world update.
void srv_tick_players(int64_t t);

// Completes one reload step of a player. Returns 1 when rounds were loaded
// (the caller announces the new counts), 0 when nothing could be loaded: the
// reserve is empty, or the magazine full. Never creates ammunition.
int srv_finish_reload(int player);

// A spectator's respawn: alive again, announced at (256, 256, ground).
void srv_spawn_spectator(int player);

// Resupply at a base or on a territory, at most every 3 seconds and only when
// something is missing; MSG_RESUPPLY to the player.
void srv_restock_at_base(int player, int64_t t);

// MSG_WORLD_UPDATE (positions and facings of the living team players) to
// each connected player, unsequenced.
void srv_send_world_update();

// The round reset: every slot back to "connected, not joined" with no kills,
// the map editor's work area rewound, live grenades dropped, the vote-kick
// ended and a scheduled map change cancelled. Connected flags stay.
void srv_reset_players();
