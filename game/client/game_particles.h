// The particle ring: short-lived coloured points of hits, digs and blasts.
// A full ring overwrites its oldest particle; spawning never allocates.
#pragma once
#include <cstdint>

#include "common/math_vec.h"

#define PARTICLE_MAX 512
#define PARTICLE_LIFETIME 5.0f

struct Particle {
    Vec3 position;
    Vec3 velocity;   // blocks per 1/32 s
    float expiry;    // game-clock time
    uint32_t colour; // VoxelColour layout
};

struct ParticleRing {
    Particle slot[PARTICLE_MAX];
    int32_t head;   // oldest particle
    int32_t count;  // 0..512
};
extern ParticleRing particle_ring;

// Adds n particles at position with random directions of the given speed.
// n of 0 or less adds nothing.
void game_spawn_particles(const Vec3 *position, float speed, uint32_t colour, int n);
// Empties the ring.
void game_clear_particles();
