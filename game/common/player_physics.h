// Player movement through the voxel map, run identically by the server (each
// tick, every player) and the client (each frame, every simulated player), so
// both reach the same positions from the same keys. Uses game_step and
// game_time; the map is read only through map_is_solid_at.
#pragma once
#include "common/player.h"

// One movement step: keys, gravity, drag, the box move and landing.
// Returns 0, -1 for a hard landing without damage, or a positive fall damage.
int player_physics_step(PlayerRecord *player);
// The collision move of the box by velocity * game_step * 32, with a
// one-block step up; ends with player_set_position. Called by the step.
void player_move_box(PlayerRecord *player);
// The crouch-release test: 1 when a crouched player may stand (raising the
// box by 0.9 when on the ground), 0 when the space above is blocked.
int player_try_stand_up(PlayerRecord *player);
