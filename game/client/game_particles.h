// The particle ring: short-lived coloured points of hits, digs, blasts and
// broken debris, and the bouncing step that particles, debris and casings
// share. Purely local: no particle is ever sent or received. A full ring
// overwrites its oldest particle; spawning never allocates.
#pragma once
#include <cstdint>

#include "common/math_vec.h"
#include "common/model_types.h"

#define PARTICLE_MAX 512
#define PARTICLE_LIFETIME 5.0f
#define PARTICLE_BOUNCE_COST 2.0f // seconds of life each bounce takes
// Colours of the particles of a hit on a player (shade byte 255, red 127)
// and of an explosion (shade byte 127, grey 64).
#define PARTICLE_PLAYER_HIT 0xFF7F0000u
#define PARTICLE_EXPLOSION 0x7F404040u

struct Particle {
    Vec3 position;   // block units, z down
    Vec3 velocity;   // blocks per 1/32 s
    double expiry;   // game-clock time
    uint32_t colour; // VoxelColour layout: blue, green, red, shade byte
};

// Live particles are the `count` slots from `head` on, indices AND 511; the
// head is always the oldest. The drawing reads it oldest first.
struct ParticleRing {
    Particle slot[PARTICLE_MAX];
    int32_t head;   // oldest particle
    int32_t count;  // 0..512
};
extern ParticleRing particle_ring;

// Adds n particles at position, each flying off in a random direction at the
// given speed (blocks per 1/32 s), living PARTICLE_LIFETIME seconds. n of 0
// or less adds nothing.
void game_spawn_particles(const Vec3 *position, float speed, uint32_t colour, int n);
// Empties the ring (connecting, a new map).
void game_clear_particles();

// One step of game_step seconds under gravity (z grows downwards). When the
// new position's cell is solid (map_is_solid_no_water) the step is undone,
// the one axis whose cell changed (z, else x, else y) is reflected and the
// whole velocity halved: returns 1. Otherwise the position moves: returns 0.
int game_step_bouncing(Vec3 *position, Vec3 *velocity);
// Moves every live particle one step; an expired one leaves the ring (the
// oldest takes its slot) and each bounce takes PARTICLE_BOUNCE_COST of its
// life. Called once per in-game frame by game_update_world_objects.
void game_update_particles();
// Breaks a posed model into particles: two per voxel, at the voxel's place
// in the world, speed 0.125, the voxel's colour; voxels inside solid map
// cells make none. Nothing for a sprite without a model.
void game_shatter_model(const SpriteInstance *object);

// The map cell of a coordinate, floored. Values far outside the map (and
// NaN) are pinned to +-(1 << 20), which every map query treats as outside,
// so a runaway object never turns an out-of-range float into an int.
int32_t game_cell_floor(float v);
