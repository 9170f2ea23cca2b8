#include "client/game_objects.h"

#include <cstring>

#include "common/kv6.h"
#include "common/model_table.h"

WorldObject world_objects[WORLD_OBJECT_MAX];
int32_t world_object_count;
int32_t world_objective_count;
float world_next_heal;

void wobj_set_scale(WorldObject *o, float scale)
{
    o->xaxis = Vec3{scale, 0.0f, 0.0f};
    o->yaxis = Vec3{0.0f, scale, 0.0f};
    o->zaxis = Vec3{0.0f, 0.0f, scale};
}

int game_add_grenade_object(const Vec3 *position, const Vec3 *velocity, int thrower, float explode_time)
{
    if (world_object_count >= WORLD_OBJECT_MAX) return -1;
    int i = world_object_count++;
    WorldObject *o = &world_objects[i];
    std::memset(o, 0, sizeof *o);
    o->model = model_slot(MODEL_GRENADE);
    o->position = *position;
    wobj_set_scale(o, 0.05f);
    wobj_set_vec(o, WOBJ_VELOCITY, velocity);
    wobj_set_time(o, explode_time);
    wobj_set_kind(o, thrower);
    return i;
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
}

void game_update_world_objects() {}
