// Live grenades (flight, bounce, blast) and the world step that removes the
// block groups this tick's edits left floating.
#pragma once
#include <cstdint>

#include "common/math_vec.h"

#define SRV_GRENADE_MAX 64
#define SRV_GRENADE_FUSE_MAX 3.0f
// A blast reaches eyes closer than this on every axis.
#define SRV_GRENADE_REACH 16.0f
// The most damage one blast deals: 4096 / d^2 at d = 1 block.
#define SRV_GRENADE_DAMAGE_MAX 4096

// Velocity in units of 32 blocks per second.
struct ServerGrenade {
    Vec3 position;
    Vec3 velocity;
    double explode_time; // game clock
    int32_t thrower;
};

extern ServerGrenade srv_grenades[SRV_GRENADE_MAX];
extern int srv_grenade_count;

// Adds a live grenade. Returns 1, or 0 when the table is full.
int srv_add_grenade(const Vec3 *position, const Vec3 *velocity, double explode_time, int thrower);

// Blast damage at offset (dx, dy, dz) from the grenade: 4096 / d^2 truncated,
// limited to SRV_GRENADE_DAMAGE_MAX before any conversion (d = 0, a tiny d
// and non-numbers are safe).
int srv_grenade_damage(float dx, float dy, float dz);

// Each tick: explodes the grenades whose time has come (damage by line of
// sight, the 3 x 3 x 3 hole announced as action 3) and moves the others,
// bouncing off solid cells, in steps of at most SRV_STEP_MAX.
void srv_update_grenades();

// Each tick, after the grenades: finds the groups this tick's removals cut
// loose and takes them out of the map (no message: every client does the same).
void srv_world_step();
