// The two game modes, bound through GameModeCallbacks: capture the flag
// (two intels, two bases, first team to the capture limit wins) and territory
// control (3..7 territories; leaving the other team none wins). Objectives
// live in the shared table mode_objectives.
#pragma once
#include <cstdint>

#include "common/math_vec.h"
#include "common/mode_objective.h"
#include "common/player.h"
#include "common/protocol.h"

// Capture the flag: objectives 0, 1 the intels of team 0, 1; 2, 3 their bases.
#define CTF_INTEL(team) (team)
#define CTF_BASE(team) (2 + (team))
#define CTF_OBJECTIVES 4
#define TC_TERRITORIES_MIN 3
#define TC_TERRITORIES_MAX 7

// Per-team capture counts (capture the flag) and owned territories.
extern uint32_t srv_ctf_captures[2];
extern uint32_t srv_tc_owned[2];

// "Near" an objective: |eye x - x| < 2, |eye y - y| < 2, |eye z - (z - 2.25)| < 2.
int srv_near_objective(const PlayerRecord *p, const ObjectiveState *o);
// One step of an objective towards rest: up out of a solid cell, else down
// into air. Returns 1 when it moved.
int srv_drop_object(int index);
// MSG_OBJECTIVE_MOVE of one objective to all (owner byte: the territory's
// owner, 0 in capture the flag).
void srv_send_objective_move(int index);

// Capture the flag.
void srv_ctf_reset();
void srv_ctf_fill_state(GameStateMsg *msg);
void srv_ctf_tick();
void srv_ctf_rules(int64_t t);
void srv_ctf_spawn(PlayerRecord *player);
// Drops the enemy intel a player carries at the floor below him; nothing when
// he carries none. Called on death and on removal, in capture the flag only.
void srv_drop_intel(int player);

// Territory control.
// Territories for a map: 3 + 4 x the share of land columns, truncated.
int srv_tc_territory_count();
// A new layout for a new map (at start and at a map change), its count from
// the map; a won round keeps the count. Bars the clients show are reset.
void srv_tc_reset();
// MSG_CAPTURE_PROGRESS of every territory with progress to one player, who
// has just been sent the game state (which carries none).
void srv_tc_send_bars(int player);
void srv_tc_fill_state(GameStateMsg *msg);
void srv_tc_tick();
void srv_tc_rules(int64_t t);
void srv_tc_spawn(PlayerRecord *player);
// The territory a team player respawns on: the nearest owned one in x and y,
// territory 0 when his team owns none (or there are none: -1).
int srv_tc_spawn_territory(const PlayerRecord *player);
// Takes over the territories whose capture completed; may win the round.
void srv_tc_capture();
