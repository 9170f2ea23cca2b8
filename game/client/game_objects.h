// The world-object table: everything posed in the world that is not a player.
// The first entries are the game-mode objectives; grenades, tracers, casings
// and falling debris follow them. All of it is local: grenades come from the
// own throw and the server's MSG_GRENADE, tracers and casings from every
// player's shots, debris from block groups that came loose from the client's
// own map. The frame draws entries 0 .. world_object_count - 1.
#pragma once
#include <cstdint>

#include "common/math_vec.h"
#include "common/model_types.h"

#define WORLD_OBJECT_MAX 256
#define GRENADE_FUSE 3.0f      // seconds from the pin to the explosion
#define DEBRIS_LIFETIME 5.0f   // seconds; debris and casings lose 2 per bounce
#define CASING_LIFETIME 5.0f

// Kind of an entry: 0 or more is a grenade and its thrower's id.
enum WorldObjectKind {
    OBJECT_LYING = -1,    // objective in place
    OBJECT_TRACER = -2,
    OBJECT_CASING = -3,
    OBJECT_DEBRIS = -4,   // owns its model
    OBJECT_CARRIED = -5,  // objective carried by a player
};

// A WorldObject is a SpriteInstance (position, three axes with the scale in
// them, model) whose owner words hold the motion:
//   0..2 velocity (f32): blocks per 1/32 s for grenades, casings and debris;
//        a tracer's direction of travel (not normalised), 256 x it per second;
//   3..5 spin axis (f32, unit): casings and debris turn about it;
//   6    time (f32): a grenade's explosion time, a casing's or debris' expiry
//        (game clock, counted from world_time_base: a float of the clock
//        itself would step by 0.25 s after 30 days of uptime), a tracer's
//        remaining distance (|dx| + |dy| + |dz|);
//   7    kind (i32, WorldObjectKind).
// Debris owns its model (freed when it ends or the table is cleared); every
// other entry points into the model table and owns nothing.
typedef SpriteInstance WorldObject;
enum {
    WOBJ_VELOCITY = 0,
    WOBJ_SPIN = 3,
    WOBJ_TIME = 6,
    WOBJ_KIND = 7,
};

extern WorldObject world_objects[WORLD_OBJECT_MAX];
extern int32_t world_object_count;
// Entries 0 .. world_objective_count - 1 are the objectives, never moved here.
extern int32_t world_objective_count;
// Game-clock time of the next healing of damaged blocks.
extern double world_next_heal;
// The game-clock time that the objects' time words count from; wobj_set_time
// moves it (and every stored time with it) when a time lies far from it.
extern double world_time_base;

inline int32_t wobj_kind(const WorldObject *o) { return (int32_t)o->ownerdata[WOBJ_KIND]; }
inline void wobj_set_kind(WorldObject *o, int32_t kind) { o->ownerdata[WOBJ_KIND] = (uint32_t)kind; }
// A grenade's, casing's or debris' time (game clock).
inline double wobj_time(const WorldObject *o) { return world_time_base + sprite_owner_f32(o, WOBJ_TIME); }
void wobj_set_time(WorldObject *o, double t);
// A tracer's remaining distance.
inline float wobj_distance(const WorldObject *o) { return sprite_owner_f32(o, WOBJ_TIME); }
inline void wobj_set_distance(WorldObject *o, float d) { sprite_owner_set_f32(o, WOBJ_TIME, d); }
inline Vec3 wobj_vec(const WorldObject *o, int word)
{
    return Vec3{sprite_owner_f32(o, word), sprite_owner_f32(o, word + 1), sprite_owner_f32(o, word + 2)};
}
inline void wobj_set_vec(WorldObject *o, int word, const Vec3 *v)
{
    sprite_owner_set_f32(o, word, v->x);
    sprite_owner_set_f32(o, word + 1, v->y);
    sprite_owner_set_f32(o, word + 2, v->z);
}
// Sets the three axes to (scale, 0, 0), (0, scale, 0), (0, 0, scale).
void wobj_set_scale(WorldObject *o, float scale);

// Appends one zero-filled entry (no model, kind 0) for the caller to fill:
// tracers and casings. Returns it, or null when the table is full (nothing
// is appended then).
WorldObject *game_append_world_object();
// Appends a grenade (grenade model, axes 0.05) that explodes at explode_time,
// held to at most GRENADE_FUSE from now: no fuse outlasts the server's.
// Returns its index, or -1 when the table is full.
int game_add_grenade_object(const Vec3 *position, const Vec3 *velocity, int thrower, double explode_time);
// Moves the last entry into index and shortens the table; frees nothing.
// Returns the new count (the old one for an index outside the table).
int game_remove_world_object(int index);
// Once per in-game frame, after game_update_players: heals damaged blocks
// (once a second), moves the particles, moves, bounces and expires the
// entries after the objectives (an entry moved into a freed slot waits for
// the next frame), explodes grenades (sound and particles only: the server
// sends the blast) and turns every block group that came loose from the map
// into falling debris. A group found while the table is full still leaves
// the map, as on the server, but makes no debris.
void game_update_world_objects();
// Every block group that came loose from the map since the last call leaves
// it, as it leaves the server's. With debris: each becomes a falling debris
// object (a full table takes none). Without (the join menus, where nothing
// moves the world objects): the groups are only cut out.
void game_take_loose_groups(bool with_debris);
// Empties the table, freeing the models that debris entries own; the
// entries' positions and kinds stay for the objectives that follow.
void game_clear_world_objects();
