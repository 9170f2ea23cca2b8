#include "client/game_particles.h"

#include <cmath>

#include "client/game_random.h"
#include "common/map_query.h"
#include "common/timer.h"

ParticleRing particle_ring;

#define CELL_LIMIT 1048576.0f

int32_t game_cell_floor(float v)
{
    if (!(v > -CELL_LIMIT)) return -(int32_t)CELL_LIMIT; // NaN too
    if (v > CELL_LIMIT) return (int32_t)CELL_LIMIT;
    return (int32_t)std::floor(v);
}

// As game_cell_floor, rounding toward zero.
static int32_t game_cell_trunc(float v)
{
    if (!(v > -CELL_LIMIT)) return -(int32_t)CELL_LIMIT;
    if (v > CELL_LIMIT) return (int32_t)CELL_LIMIT;
    return (int32_t)v;
}

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

int game_step_bouncing(Vec3 *position, Vec3 *velocity)
{
    const float dt = game_step;
    velocity->z += dt;
    const Vec3 old = *position;
    position->x += velocity->x * dt * 32.0f;
    position->y += velocity->y * dt * 32.0f;
    position->z += velocity->z * dt * 32.0f;
    const int32_t x = game_cell_floor(position->x), y = game_cell_floor(position->y),
                  z = game_cell_floor(position->z);
    if (!map_is_solid_no_water(x, y, z)) return 0;
    if (z != game_cell_floor(old.z))
        velocity->z = -velocity->z;
    else if (x != game_cell_floor(old.x))
        velocity->x = -velocity->x;
    else if (y != game_cell_floor(old.y))
        velocity->y = -velocity->y;
    *position = old;
    velocity->x *= 0.5f;
    velocity->y *= 0.5f;
    velocity->z *= 0.5f;
    return 1;
}

void game_update_particles()
{
    ParticleRing &r = particle_ring;
    for (int i = 0; i < r.count;) {
        Particle &p = r.slot[(r.head + i) & (PARTICLE_MAX - 1)];
        i++;
        if (p.expiry < game_time) {
            // The oldest fills the gap and the ring shrinks from the head.
            p = r.slot[r.head];
            r.head = (r.head + 1) & (PARTICLE_MAX - 1);
            r.count--;
        } else if (game_step_bouncing(&p.position, &p.velocity)) {
            p.expiry -= PARTICLE_BOUNCE_COST;
        }
    }
}

void game_shatter_model(const SpriteInstance *object)
{
    const Kv6Model *m = object->model;
    if (!m) return;
    const Vec3 &o = object->position, &a = object->xaxis, &b = object->yaxis, &c = object->zaxis;
    int32_t v = 0;
    for (int32_t x = 0; x < m->xsize; x++) {
        for (int32_t y = 0; y < m->ysize; y++) {
            int32_t end = v + m->xycounts[x * m->ysize + y];
            for (; v < end && v < m->voxelcount; v++) {
                const Kv6Voxel &vx = m->voxels[v];
                float dx = (float)x - m->xpivot, dy = (float)y - m->ypivot, dz = (float)vx.z - m->zpivot;
                Vec3 at = {o.x + dx * a.x + dy * b.x + dz * c.x + 0.5f, o.y + dx * a.y + dy * b.y + dz * c.y + 0.5f,
                           o.z + dx * a.z + dy * b.z + dz * c.z};
                if (!map_is_solid(game_cell_trunc(at.x), game_cell_trunc(at.y), game_cell_trunc(at.z)))
                    game_spawn_particles(&at, 0.125f, vx.colour, 2);
            }
        }
    }
}
