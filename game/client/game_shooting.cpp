#include "client/game_shooting.h"

#include <cmath>

#include "client/game_controls.h"
#include "client/game_main.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_random.h"
#include "client/game_state.h"
#include "client/net_client.h"
#include "client/player_update.h"
#include "common/map_damage.h"
#include "common/map_ray.h"
#include "common/model_table.h"
#include "common/player.h"
#include "common/protocol.h"
#include "common/rng.h"
#include "common/timer.h"
#include "common/weapon.h"
#include "platform/plat_sound.h"
#include "renderer/vox_sprite.h"

ShotRecoil shot_recoil;

#define TRACER_UNHIT_DISTANCE 128.0f
#define TRACER_LEAD 8.0f              // tracers start this far ahead of the eye
#define CASING_SECONDS 5.0f

static float sum_abs(const Vec3 &a, const Vec3 &b)
{
    return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z);
}

ShotRecoil game_shot_recoil(const PlayerRecord *p, int32_t millis)
{
    const WeaponInfo *w = weapon_info(p->weapon);
    if (!w) return ShotRecoil{0.0f, 0.0f};
    ShotRecoil r = {w->recoil_vertical, ((float)(millis & 511) - 255.5f) * w->recoil_horizontal};
    if ((millis & 512) == 0) r.yaw = -r.yaw;
    const int32_t *k = p->keys;
    float scale = 1.0f;
    if ((k[KEY_FORWARD] || k[KEY_BACKWARD] || k[KEY_LEFT] || k[KEY_RIGHT]) && !game_is_aiming_gun(p)) scale *= 2.0f;
    if (p->airborne)
        scale *= 2.0f;
    else if (k[KEY_CROUCH])
        scale *= 0.5f;
    r.pitch *= scale;
    r.yaw *= scale;
    return r;
}

void game_pellet_spread(Vec3 *d, float spread, bool aiming)
{
    float *axis[3] = {&d->x, &d->y, &d->z};
    for (float *a : axis) {
        float r = (float)rng_rand();
        *a += (aiming ? r / 16383.5f - 1.0f : r / 8191.75f - 2.0f) * spread;
    }
}

// Appends a tracer or casing after the others; null with a full table (the
// shot itself happens all the same).
static WorldObject *append_object(int32_t kind, int model_slot_index)
{
    WorldObject *o = game_append_world_object();
    if (!o) return nullptr;
    o->model = model_slot(model_slot_index);
    wobj_set_kind(o, kind);
    return o;
}

// The model's axes from the shooter's view: x across (kept level), y
// forward, z down, each `scale` long.
static void pose_from_view(WorldObject *o, const PlayerRecord *p, float scale)
{
    o->xaxis = Vec3{-scale * p->right.x, -scale * p->right.y, 0.0f};
    o->yaxis = Vec3{scale * p->forward.x, scale * p->forward.y, scale * p->forward.z};
    o->zaxis = Vec3{scale * p->down.x, scale * p->down.y, scale * p->down.z};
}

// The first candidate body (in slot order) a pellet from the shooter enters:
// its slot and hit type, and the entry point in *entry; -1 when none.
static int pellet_body_hit(const PlayerRecord *s, bool local, const Vec3 &d, int *type, Vec3 *entry)
{
    static const struct {
        int sprite, type;
    } parts[5] = {{SPRITE_TORSO, HIT_TORSO},
                  {SPRITE_HEAD, HIT_HEAD},
                  {SPRITE_ARMS, HIT_ARMS},
                  {SPRITE_LEG_LEFT, HIT_LEGS},
                  {SPRITE_LEG_RIGHT, HIT_LEGS}};
    for (int j = 0; j < PLAYER_MAX; j++) {
        const PlayerRecord *t = &player_table[j];
        if (!t->present || t->team < 0 || j == local_player_id || !t->alive || !game_pose_valid(t)) continue;
        if (local) {
            if (!t->under_crosshair) continue;
        } else if (t == s || !t->on_screen ||
                   !player_aim_box_test(s->id, t->eye.x, t->eye.y, t->eye.z + 1.0f, 2.0f)) {
            continue;
        }
        for (const auto &part : parts)
            if (raytestsprite(&s->eye, &d, &t->sprites[part.sprite], entry)) {
                *type = part.type;
                return j;
            }
    }
    return -1;
}

static void shoot_pellet(PlayerRecord *p, bool local, const WeaponInfo *w, Vec3 *d)
{
    game_pellet_spread(d, w->spread, p->secondary != 0);

    HitRecord rec, *hit = &rec;
    map_ray_cast(&p->eye, d, &hit);
    Vec3 at = p->eye;
    float map_distance = 0.0f, remaining = TRACER_UNHIT_DISTANCE;
    if (hit) {
        at = game_face_point(hit, &p->eye);
        map_distance = sum_abs(p->eye, at);
    }

    int type = HIT_TORSO;
    Vec3 entry;
    int target = pellet_body_hit(p, local, *d, &type, &entry);
    float body_distance = target >= 0 ? sum_abs(p->eye, entry) : 0.0f;
    if (target >= 0 && !(hit && body_distance > map_distance)) {
        playsound3d("wav/hitplayer.wav", 0, entry);
        if (type == HIT_HEAD) playsound3d("wav/whack.wav", 0, entry);
        game_spawn_particles(&entry, 0.25f, PARTICLE_PLAYER_HIT, 4);
        remaining = body_distance;
        if (local) net_send_msg(msg_write_hit_claim, HitClaimMsg{(uint8_t)target, (uint8_t)type});
    } else if (hit) {
        playsound3d("wav/hitground.wav", 0, at);
        game_spawn_particles(&at, 0.25f, hit->colour ? *hit->colour : 0u, 4);
        remaining = map_distance;
        if (local && map_damage_block(hit, w->block_damage, game_time))
            net_send_block_action(hit->x, hit->y, hit->z, BLOCK_DESTROY);
    }

    if (WorldObject *o = append_object(OBJECT_TRACER, w->tracer_model)) {
        const Vec3 &f = p->forward;
        o->position = Vec3{p->eye.x + TRACER_LEAD * f.x, p->eye.y + TRACER_LEAD * f.y, p->eye.z + TRACER_LEAD * f.z};
        pose_from_view(o, p, 0.1f);
        wobj_set_vec(o, WOBJ_VELOCITY, d);
        wobj_set_distance(o, remaining - TRACER_LEAD * (std::fabs(f.x) + std::fabs(f.y) + std::fabs(f.z)));
    }
}

void game_fire_gun(PlayerRecord *p, bool local)
{
    const WeaponInfo *w = weapon_info(p->weapon);
    if (!w || !(p->next_use < game_time)) return;
    Vec3 d = p->forward;
    p->next_use = game_time + w->fire_interval;
    if (local) {
        shot_recoil = game_shot_recoil(p, game_millis);
        p->magazine--;
        playsound(w->shot_sound, -1000);
    } else {
        playsound3d(w->shot_sound, -1000, p->eye);
    }
    // One direction for all pellets: each pellet's spread adds to the last.
    for (int i = 0; i < w->pellets; i++) shoot_pellet(p, local, w, &d);

    if (WorldObject *o = append_object(OBJECT_CASING, w->casing_model)) {
        const Vec3 &f = p->forward, &r = p->right, &dn = p->down;
        o->position = Vec3{p->eye.x + f.x + 0.5f * (r.x + dn.x), p->eye.y + f.y + 0.5f * (r.y + dn.y),
                           p->eye.z + f.z + 0.5f * (r.z + dn.z)};
        pose_from_view(o, p, 0.02f);
        Vec3 v = {p->velocity.x + 0.2f * (r.x - dn.x), p->velocity.y + 0.2f * (r.y - dn.y),
                  p->velocity.z + 0.2f * (r.z - dn.z)};
        wobj_set_vec(o, WOBJ_VELOCITY, &v);
        Vec3 spin;
        game_random_unit_vector(&spin);
        wobj_set_vec(o, WOBJ_SPIN, &spin);
        wobj_set_time(o, game_time + CASING_SECONDS);
    }
}

void game_use_grenade(PlayerRecord *p, bool local)
{
    const double now = game_time;
    if (p->grenade_fuse_end == 0.0f) {
        if (p->next_use < now) {
            p->grenade_fuse_end = now + 3.0f;
            game_player_sound(p, "wav/pin.wav", -300);
        }
        return;
    }
    if (!local || !(p->grenade_fuse_end < now)) return;
    // Held too long: it goes off in the hand.
    p->next_use = now + 0.5f;
    p->grenades--;
    net_send_msg(msg_write_grenade, GrenadeMsg{(uint8_t)local_player_id, 0.0f, p->eye, Vec3{0.0f, 0.0f, 0.0f}});
    p->grenade_fuse_end = 0.0f;
    playsound("wav/explode.wav", -700);
    game_spawn_particles(&p->eye, 1.0f, PARTICLE_EXPLOSION, 64);
}

void game_throw_grenade(const PlayerRecord *p)
{
    const Vec3 v = {p->velocity.x + p->forward.x, p->velocity.y + p->forward.y, p->velocity.z + p->forward.z};
    game_add_grenade_object(&p->eye, &v, local_player_id, p->grenade_fuse_end);
    net_send_msg(msg_write_grenade, GrenadeMsg{(uint8_t)local_player_id, (float)(p->grenade_fuse_end - game_time), p->eye, v});
}

bool game_release_grenade(PlayerRecord *p, bool local)
{
    if (p->grenade_fuse_end == 0.0f || world_object_count >= WORLD_OBJECT_MAX) return false;
    if (local) {
        game_throw_grenade(p);
        playsound("wav/woosh.wav", -1000);
        p->next_use = game_time + 0.5f;
        p->grenades--;
    }
    p->grenade_fuse_end = 0.0f;
    return true;
}
