// The two game modes' callbacks (GameModeCallbacks) and their objectives.
#pragma once
#include <cstdint>

#include "common/protocol.h"

struct PlayerRecord;

void srv_ctf_reset();
void srv_ctf_fill_state(GameStateMsg *msg);
void srv_ctf_tick();
void srv_ctf_rules(int64_t t);
void srv_ctf_spawn(PlayerRecord *player);

void srv_tc_reset();
void srv_tc_fill_state(GameStateMsg *msg);
void srv_tc_tick();
void srv_tc_rules(int64_t t);
void srv_tc_spawn(PlayerRecord *player);

// Per-team capture counts (capture the flag) and owned territories.
extern uint32_t srv_ctf_captures[2];
extern uint32_t srv_tc_owned[2];
