#include "client/game_objects.h"

#include <cmath>
#include <cstring>

#include "client/game_particles.h"
#include "client/game_random.h"
#include "common/kv6.h"
#include "common/map_damage.h"
#include "common/map_floating.h"
#include "common/map_query.h"
#include "common/model_table.h"
#include "common/timer.h"
#include "platform/plat_sound.h"
#include "renderer/vox_player.h"

WorldObject world_objects[WORLD_OBJECT_MAX];
int32_t world_object_count;
int32_t world_objective_count;
double world_next_heal;
double world_time_base;

// Furthest a stored time lies from world_time_base: float steps of 8 us.
#define WORLD_TIME_SPAN 64.0
#define WORLD_TIME_LIMIT 3600.0 // farthest a stored time may lie from the clock

#define GRENADE_BOUNCE_KEEP 0.36f
#define WATER_LAYER 63

void wobj_set_scale(WorldObject *o, float scale)
{
    o->xaxis = Vec3{scale, 0.0f, 0.0f};
    o->yaxis = Vec3{0.0f, scale, 0.0f};
    o->zaxis = Vec3{0.0f, 0.0f, scale};
}

WorldObject *game_append_world_object()
{
    if (world_object_count >= WORLD_OBJECT_MAX) return nullptr;
    WorldObject *o = &world_objects[world_object_count++];
    std::memset(o, 0, sizeof *o);
    return o;
}

// Moves world_time_base to base, keeping every stored time.
static void wobj_rebase_times(double base)
{
    for (int i = world_objective_count; i < world_object_count; i++) {
        WorldObject *o = &world_objects[i];
        const int32_t kind = wobj_kind(o);
        if (kind >= 0 || kind == OBJECT_CASING || kind == OBJECT_DEBRIS)
            sprite_owner_set_f32(o, WOBJ_TIME, (float)(wobj_time(o) - base));
    }
    world_time_base = base;
}

void wobj_set_time(WorldObject *o, double t)
{
    // A time worked from a message may be anything (a fuse of -1e30): kept
    // within an hour of the clock, it cannot drag the base, and with it every
    // other object's time, out of float range.
    if (!(t >= game_time - WORLD_TIME_LIMIT)) t = game_time - WORLD_TIME_LIMIT; // NaN too
    if (t > game_time + WORLD_TIME_LIMIT) t = game_time + WORLD_TIME_LIMIT;
    if (!(std::fabs(t - world_time_base) <= WORLD_TIME_SPAN)) wobj_rebase_times(t);
    sprite_owner_set_f32(o, WOBJ_TIME, (float)(t - world_time_base));
}

int game_add_grenade_object(const Vec3 *position, const Vec3 *velocity, int thrower, double explode_time)
{
    WorldObject *o = game_append_world_object();
    if (!o) return -1;
    o->model = model_slot(MODEL_GRENADE);
    o->position = *position;
    wobj_set_scale(o, 0.05f);
    wobj_set_vec(o, WOBJ_VELOCITY, velocity);
    double latest = game_time + GRENADE_FUSE;
    wobj_set_time(o, explode_time < latest ? explode_time : latest);
    wobj_set_kind(o, thrower);
    return (int)(o - world_objects);
}

int game_remove_world_object(int index)
{
    if (index < 0 || index >= world_object_count) return world_object_count;
    world_object_count--;
    world_objects[index] = world_objects[world_object_count];
    return world_object_count;
}

void game_clear_world_objects()
{
    for (int i = 0; i < world_object_count; i++) {
        WorldObject *o = &world_objects[i];
        if (wobj_kind(o) == OBJECT_DEBRIS) discardmodel(o->model);
        o->model = nullptr;
    }
    world_object_count = 0;
    world_objective_count = 0;
    world_time_base = 0.0;
}

static void wobj_spin(WorldObject *o, float angle)
{
    Vec3 axis = wobj_vec(o, WOBJ_SPIN);
    spinaboutaxis(&o->xaxis, &axis, angle);
    spinaboutaxis(&o->yaxis, &axis, angle);
    spinaboutaxis(&o->zaxis, &axis, angle);
}

static void wobj_new_spin(WorldObject *o)
{
    Vec3 axis;
    game_random_unit_vector(&axis);
    wobj_set_vec(o, WOBJ_SPIN, &axis);
}

// Debris and casings: fall and bounce; each bounce picks a new spin axis and
// takes 2 s of the remaining life. Returns 1 when it bounced.
static int wobj_fall(WorldObject *o)
{
    Vec3 v = wobj_vec(o, WOBJ_VELOCITY);
    int bounced = game_step_bouncing(&o->position, &v);
    wobj_set_vec(o, WOBJ_VELOCITY, &v);
    if (bounced) {
        wobj_new_spin(o);
        wobj_set_time(o, wobj_time(o) - PARTICLE_BOUNCE_COST);
    }
    return bounced;
}

// Sound and particles only: the server sends the blast's block removal.
static void grenade_explode(WorldObject *o)
{
    const Vec3 at = o->position;
    const int32_t x = game_cell_floor(at.x), y = game_cell_floor(at.y), z = game_cell_floor(at.z);
    const char *sound = "wav/explode.wav";
    if (z < WATER_LAYER) {
        game_spawn_particles(&at, 1.0f, PARTICLE_EXPLOSION, 64);
    } else {
        if (const VoxelColour *c = map_surface_colour(x, y, z)) game_spawn_particles(&at, 1.0f, *c, 64);
        sound = "wav/waterexplode.wav";
    }
    playsound3d(sound, 0, at);
}

static void grenade_fly(WorldObject *o)
{
    const float dt = game_step, g = dt * 32.0f;
    Vec3 v = wobj_vec(o, WOBJ_VELOCITY);
    v.z += dt;
    const Vec3 old = o->position;
    o->position.x += v.x * g;
    o->position.y += v.y * g;
    o->position.z += v.z * g;
    if (std::fabs(v.x) > 0.1f || std::fabs(v.y) > 0.1f)
        rotateaxes(0.0f, v.y * g * -0.5f, v.x * g * -0.5f, &o->xaxis, &o->yaxis, &o->zaxis);
    const int32_t x = game_cell_floor(o->position.x), y = game_cell_floor(o->position.y),
                  z = game_cell_floor(o->position.z);
    if (map_is_solid_no_water(x, y, z)) {
        if (std::fabs(v.x) > 0.1f || std::fabs(v.y) > 0.1f || std::fabs(v.z) > 0.1f)
            playsound3d("wav/grenadebounce.wav", 0, o->position);
        const int32_t ox = game_cell_floor(old.x), oy = game_cell_floor(old.y), oz = game_cell_floor(old.z);
        // Reflect only the axis whose move alone reaches the solid cell.
        if (z != oz && ((x == ox && y == oy) || !map_is_solid_no_water(x, y, oz)))
            v.z = -v.z;
        else if (x != ox && ((y == oy && z == oz) || !map_is_solid_no_water(ox, y, z)))
            v.x = -v.x;
        else if (y != oy && ((x == ox && z == oz) || !map_is_solid_no_water(x, oy, z)))
            v.y = -v.y;
        o->position = old;
        v.x *= GRENADE_BOUNCE_KEEP;
        v.y *= GRENADE_BOUNCE_KEEP;
        v.z *= GRENADE_BOUNCE_KEEP;
    }
    wobj_set_vec(o, WOBJ_VELOCITY, &v);
}

static void tracer_fly(WorldObject *o)
{
    const float s = game_step * 256.0f;
    const Vec3 v = wobj_vec(o, WOBJ_VELOCITY);
    float left = wobj_distance(o);
    o->position.x += v.x * s;
    left -= std::fabs(v.x * s);
    o->position.y += v.y * s;
    left -= std::fabs(v.y * s);
    o->position.z += v.z * s;
    left -= std::fabs(v.z * s);
    wobj_set_distance(o, left);
}

// One entry's frame; an entry that ends is removed.
static void wobj_update(int i)
{
    WorldObject *o = &world_objects[i];
    const double now = game_time;
    const int32_t kind = wobj_kind(o);
    switch (kind) {
    case OBJECT_DEBRIS:
        if (wobj_time(o) < now) {
            playsound3d("wav/bounce.wav", -300, o->position);
            game_shatter_model(o);
            discardmodel(o->model);
            o->model = nullptr;
            game_remove_world_object(i);
            return;
        }
        if (wobj_fall(o)) playsound3d("wav/bounce.wav", -300, o->position);
        wobj_spin(o, game_step);
        return;
    case OBJECT_CASING:
        if (wobj_time(o) < now) {
            game_remove_world_object(i);
            return;
        }
        wobj_fall(o);
        wobj_spin(o, 4.0f * game_step);
        return;
    case OBJECT_TRACER:
        // Also ends a tracer whose distance is not a number.
        if (!(wobj_distance(o) > 0.0f)) {
            game_remove_world_object(i);
            return;
        }
        tracer_fly(o);
        return;
    default:
        if (kind < 0) return; // objectives
        if (wobj_time(o) < now) {
            grenade_explode(o);
            game_remove_world_object(i);
            return;
        }
        grenade_fly(o);
        // A throw so fast that its flight overflows has left the world.
        if (!std::isfinite(o->position.x) || !std::isfinite(o->position.y) || !std::isfinite(o->position.z))
            game_remove_world_object(i);
        return;
    }
}

void game_take_loose_groups(bool with_debris)
{
    map_find_floating();
    for (int32_t i = 0; i < voxel_map.chunk_count; i++) {
        FloatingChunk *c = &voxel_map.chunks[i];
        if (c->handled) continue;
        c->handled = 1;
        if (!with_debris || world_object_count >= WORLD_OBJECT_MAX) {
            // The server has cut this group from its map: so does this one,
            // only without debris.
            map_take_chunk(nullptr, i);
            continue;
        }
        WorldObject *o = &world_objects[world_object_count];
        if (!map_take_chunk(o, i) || !o->model) continue;
        playsound3d("wav/debris.wav", -300, o->position);
        wobj_set_kind(o, OBJECT_DEBRIS);
        wobj_set_time(o, game_time + DEBRIS_LIFETIME);
        const Vec3 still = {0.0f, 0.0f, 0.0f};
        wobj_set_vec(o, WOBJ_VELOCITY, &still);
        wobj_new_spin(o);
        world_object_count++;
    }
    map_drop_taken_chunks();
}

void game_update_world_objects()
{
    const double now = game_time;
    if (world_next_heal < now) {
        map_heal_blocks(now);
        world_next_heal = now + 1.0f;
    }
    game_update_particles();
    for (int i = world_objective_count; i < world_object_count; i++) wobj_update(i);
    game_take_loose_groups(true);
}
