// Game-mode objectives (intels, bases, territories) and territory capture.
// The game mode fills the table; both programs keep one.
#pragma once
#include <cstdint>

#include "common/math_vec.h"

#define OBJECTIVE_MAX 16

struct ObjectiveState {
    int32_t x0, y0, x1, y1;  // spawn area (server): position +- 32 clamped to 0..511
    Vec3 position;
    int32_t inside[2];       // players of team 0 and team 1 inside (territory control, server)
    int32_t owner;           // territory: owning Team (2 neutral); intel: carrier id, -1 none
    int32_t rate;            // signed capture rate; its sign is the direction
    int32_t capturing_team;
    float progress;          // 0..1
};

extern ObjectiveState mode_objectives[OBJECTIVE_MAX];
// Entries of mode_objectives in use, at most OBJECTIVE_MAX.
extern uint32_t mode_objective_count;

// Advances every objective with a non-zero rate by rate * game_step * 0.05,
// clamped to 0..1 (at rate 1 a territory fills in 20 s). Call once per step.
void mode_advance_capture();
