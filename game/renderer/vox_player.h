// Player bodies: posing and drawing the body sprites of a player record, and
// the two rotations the client applies to models and cameras.
#pragma once
#include <cstdint>

#include "common/math_vec.h"
#include "common/mode_objective.h"
#include "common/player.h"

// What drawplayermodel needs of the client's game state: whether the game is
// capture the flag, and the objective table whose entries 0 and 1 are the
// intels of team 0 and team 1 (owner = carrier id, -1 none).
struct PlayerDrawMode {
    int32_t capture_the_flag;
    const ObjectiveState *objectives;
    uint32_t count; // entries of `objectives`
};

// Poses the player's body sprites from his eye, orientation, keys, velocity
// and tool timers (game_time), tints them by the ground under him and draws
// them with rendermodel: the dead body alone for a dead player, else the
// carried intel (capture the flag, when he carries the other team's), head,
// torso, arms, legs and held item. `fog` is passed to every rendermodel and
// selects the ground tint; without it the tint is neutral. `mode` may be null
// (no intel drawn). Leaves modeltint at the ground tint (neutral after a held
// block). Call after renderworld, like rendermodel.
void drawplayermodel(PlayerRecord *player, int fog, const PlayerDrawMode *mode);

// Shade byte (0..255) of the ground under p: the stored colour of the floor
// voxel at or below it (map_floor_z, map_colour_ptr). Neutral where no colour
// is stored there (an uncoloured solid voxel, outside the map, no map) or p is
// no usable position. Tints models by the light where they stand.
#define VOX_SHADE_NEUTRAL 127
int32_t vox_ground_shade(const Vec3 *p);

// Rotates the axes s, h, f in place by three angles in radians, one combined
// matrix: alone, a1 turns within the s-h plane (new s = cos s - sin h), a2
// within the h-f plane (new h = cos h - sin f), a3 within the s-f plane
// (new s = cos s - sin f).
void rotateaxes(float a1, float a2, float a3, Vec3 *s, Vec3 *h, Vec3 *f);

// Rotates `point` in place about the direction `axis` (need not be unit) by
// `angle` radians; an axis of length 0 (or not finite) leaves it unchanged.
void spinaboutaxis(Vec3 *point, const Vec3 *axis, float angle);
