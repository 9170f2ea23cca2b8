#include "client/game_particles.h"

#include <cstring>

#include "client/game_random.h"
#include "common/timer.h"

ParticleRing particle_ring;

void game_spawn_particles(const Vec3 *position, float speed, uint32_t colour, int n)
{
    ParticleRing &r = particle_ring;
    for (int i = 0; i < n; i++) {
        int slot = (r.head + r.count) & (PARTICLE_MAX - 1);
        if (r.count == PARTICLE_MAX)
            r.head = (r.head + 1) & (PARTICLE_MAX - 1);
        else
            r.count++;
        Particle &p = r.slot[slot];
        p.position = *position;
        Vec3 d;
        game_random_unit_vector(&d);
        p.velocity = Vec3{d.x * speed, d.y * speed, d.z * speed};
        p.expiry = game_time + PARTICLE_LIFETIME;
        p.colour = colour;
    }
}

void game_clear_particles()
{
    particle_ring.head = 0;
    particle_ring.count = 0;
}
