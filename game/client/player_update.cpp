#include "client/player_update.h"

#include <cmath>

#include "client/game_camera.h"
#include "client/game_controls.h"
#include "client/game_main.h"
#include "client/game_particles.h"
#include "client/game_settings.h"
#include "client/game_shooting.h"
#include "client/game_state.h"
#include "client/net_client.h"
#include "common/map_damage.h"
#include "common/map_query.h"
#include "common/player_physics.h"
#include "common/protocol.h"
#include "common/timer.h"
#include "platform/plat_sound.h"

BlockAim block_cursor;
BlockAim block_line_end;

// Footsteps by the stepping player's sprint key.
static const struct {
    int32_t interval_ms;
    int32_t volume;
} footstep_table[2] = {{512, -1500}, {386, -1000}};

// The reach of the spade and the block tool: strictly within 3 of the eye
// on every axis.
static bool within_reach(const Vec3 &eye, float x, float y, float z)
{
    const float dx = eye.x - x, dy = eye.y - y, dz = eye.z - z;
    return dx > -3.0f && dx < 3.0f && dy > -3.0f && dy < 3.0f && dz > -3.0f && dz < 3.0f;
}

bool game_is_local(const PlayerRecord *p) { return p && local_player_id >= 0 && p->id == local_player_id; }

static bool finite3(const Vec3 &v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
static bool in_map_box(const Vec3 &v)
{
    return v.x >= 0.0f && v.x <= 512.0f && v.y >= 0.0f && v.y <= 512.0f && v.z >= -64.0f && v.z <= 64.0f;
}

bool game_pose_valid(const PlayerRecord *p)
{
    if (!p || !in_map_box(p->position) || !in_map_box(p->eye)) return false;
    if (!finite3(p->right) || !finite3(p->down) || !finite3(p->forward)) return false;
    return p->forward.x != 0.0f || p->forward.y != 0.0f || p->forward.z != 0.0f;
}

void game_player_sound(const PlayerRecord *p, const char *file, int32_t volume)
{
    if (game_is_local(p))
        playsound(file, volume);
    else
        playsound3d(file, volume, p->eye);
}

void game_drop_block_line()
{
    block_cursor.hit = nullptr;
    block_line_end.hit = nullptr;
}

int game_block_line_cells(BlockCell *start, BlockCell *end)
{
    const HitRecord *from = block_cursor.hit, *to = block_line_end.hit;
    if (!from) return 0;
    *start = BlockCell{from->adj_x, from->adj_y, from->adj_z};
    if (!to) return 1;
    *end = BlockCell{to->adj_x, to->adj_y, to->adj_z};
    return 2;
}

int game_block_fits(int32_t x, int32_t y, int32_t z, const PlayerRecord *player)
{
    // z below 0 is outside the map too: the server refuses such a build.
    if ((uint32_t)z >= 62u || (uint32_t)x >= 512u || (uint32_t)y >= 512u) return 0;
    const float cx = (float)x + 0.5f, cy = (float)y + 0.5f, cz = (float)z + 0.5f;
    return within_reach(player->eye, cx, cy, cz) && !player_body_holds_cell(player, x, y, z);
}

int net_send_block_action(int32_t x, int32_t y, int32_t z, int action)
{
    return net_send_msg(msg_write_block_action, BlockActionMsg{(uint8_t)local_player_id, (uint8_t)action, x, y, z});
}

Vec3 game_face_point(const HitRecord *hit, const Vec3 *eye)
{
    float x = (float)hit->x, y = (float)hit->y, z = (float)hit->z;
    switch (hit->face) {
    case 0: return Vec3{x - 0.1f, y + 0.5f, z + 0.5f};
    case 1: return Vec3{x + 1.1f, y + 0.5f, z + 0.5f};
    case 2: return Vec3{x + 0.5f, y - 0.1f, z + 0.5f};
    case 3: return Vec3{x + 0.5f, y + 1.1f, z + 0.5f};
    case 4: return Vec3{x + 0.5f, y + 0.5f, z - 0.1f};
    case 5: return Vec3{x + 0.5f, y + 0.5f, z + 1.1f};
    default: return *eye;
    }
}

// ---- movement ----------------------------------------------------------------------

static void movement_sounds(PlayerRecord *p)
{
    if (p->keys[KEY_JUMP]) game_player_sound(p, p->in_water ? "wav/waterjump.wav" : "wav/jump.wav", -700);
    int r = player_physics_step(p);
    if (r != 0) {
        game_player_sound(p, p->in_water ? "wav/waterland.wav" : "wav/land.wav", -700);
        if (r > 0) game_player_sound(p, "wav/fallhurt.wav", -500);
    }
}

static void footsteps(PlayerRecord *p)
{
    static const char *const steps[4] = {"wav/footstep1.wav", "wav/footstep2.wav", "wav/footstep3.wav",
                                         "wav/footstep4.wav"};
    static const char *const wades[4] = {"wav/wade1.wav", "wav/wade2.wav", "wav/wade3.wav", "wav/wade4.wav"};
    const int32_t *k = p->keys;
    if (!(k[KEY_FORWARD] || k[KEY_BACKWARD] || k[KEY_LEFT] || k[KEY_RIGHT]) || game_is_aiming_gun(p) ||
        k[KEY_SNEAK] || p->airborne || !(p->next_footstep < game_time) ||
        !(std::fabs(p->velocity.x) > 0.1f || std::fabs(p->velocity.y) > 0.1f))
        return;
    int step = game_millis & 3;
    int sprint = k[KEY_SPRINT] ? 1 : 0;
    game_player_sound(p, p->in_water ? wades[step] : steps[step], footstep_table[sprint].volume);
    p->next_footstep = game_time + (float)footstep_table[sprint].interval_ms / 1000.0f;
}

// ---- the spade and the block tool -----------------------------------------------------

static void swing_spade(PlayerRecord *p, bool local)
{
    const double now = game_time;
    game_player_sound(p, "wav/woosh.wav", -2000);
    p->next_use = now + 0.2f;
    p->grenade_fuse_end = 0.0f;
    for (int j = 0; j < PLAYER_MAX; j++) {
        const PlayerRecord *t = &player_table[j];
        if (!t->present || t->team < 0 || j == local_player_id || !t->alive || t == p || !t->on_screen) continue;
        if (!player_aim_box_test(p->id, t->eye.x, t->eye.y, t->eye.z + 1.0f, 8.0f)) continue;
        if (!(math_distance3(p->eye.x, p->eye.y, p->eye.z, t->eye.x, t->eye.y, t->eye.z) <= 3.0f)) continue;
        playsound3d("wav/whack.wav", 0, t->eye);
        game_spawn_particles(&t->eye, 0.25f, PARTICLE_PLAYER_HIT, 4);
        if (local) net_send_msg(msg_write_hit_claim, HitClaimMsg{(uint8_t)j, HIT_SPADE});
        return;
    }
    HitRecord rec, *hit = &rec;
    map_ray_cast(&p->eye, &p->forward, &hit);
    if (!hit) return;
    Vec3 at = game_face_point(hit, &p->eye);
    if (!within_reach(p->eye, at.x, at.y, at.z)) return;
    game_spawn_particles(&at, 0.25f, hit->colour ? *hit->colour : 0u, 4);
    if (local && map_damage_block(hit, 50, now)) {
        net_send_block_action(hit->x, hit->y, hit->z, BLOCK_DESTROY);
        if (p->blocks < 50) p->blocks++;
    }
    playsound3d("wav/hitground.wav", -300, at);
}

// Casts from the local eye into `aim`; keeps it only for a placeable cell.
static void aim_block(BlockAim *aim, const PlayerRecord *p)
{
    aim->hit = &aim->record;
    map_ray_cast_adjacent(&p->eye, &p->forward, &aim->hit);
    if (aim->hit && !game_block_fits(aim->hit->adj_x, aim->hit->adj_y, aim->hit->adj_z, p)) aim->hit = nullptr;
}

static void place_block(PlayerRecord *p, bool local)
{
    const double now = game_time;
    if (!local) {
        p->next_use = now + 0.5f;
        return;
    }
    block_cursor.hit = &block_cursor.record;
    map_ray_cast_adjacent(&p->eye, &p->forward, &block_cursor.hit);
    const HitRecord *h = block_cursor.hit;
    if (h && game_block_fits(h->adj_x, h->adj_y, h->adj_z, p) && p->blocks > 0) {
        p->next_use = now + 0.5f;
        playsound("wav/switch.wav", -300);
        p->blocks--;
        net_send_block_action(h->adj_x, h->adj_y, h->adj_z, BLOCK_BUILD);
    }
    block_cursor.hit = nullptr;
}

static void primary_fire(PlayerRecord *p, bool local, int tool)
{
    switch (tool) {
    case TOOL_SPADE:
        if (p->next_use < game_time) swing_spade(p, local);
        break;
    case TOOL_BLOCK:
        if (p->next_use < game_time) place_block(p, local);
        break;
    case TOOL_GUN: game_fire_gun(p, local); break;
    case TOOL_GRENADE: game_use_grenade(p, local); break;
    default: break;
    }
}

// The spade's dig: once a second while the secondary button is held.
static void dig(PlayerRecord *p, bool local)
{
    const double now = game_time;
    if (p->grenade_fuse_end == 0.0f) p->grenade_fuse_end = now + 1.0f;
    if (!(p->grenade_fuse_end < now)) return;
    p->grenade_fuse_end = 0.0f;
    if (local) {
        HitRecord rec, *hit = &rec;
        map_ray_cast(&p->eye, &p->forward, &hit);
        if (hit && within_reach(p->eye, (float)hit->x + 0.5f, (float)hit->y + 0.5f, (float)hit->z + 0.5f))
            net_send_block_action(hit->x, hit->y, hit->z, BLOCK_DIG);
    }
    game_player_sound(p, "wav/woosh.wav", -2000);
}

static void without_primary(PlayerRecord *p, bool local, int tool)
{
    if (tool == TOOL_GRENADE && p->grenade_fuse_end != 0.0f && game_release_grenade(p, local)) return;
    if (p->secondary) {
        if (p->tool == TOOL_SPADE)
            dig(p, local);
        else if (p->tool == TOOL_BLOCK && local && block_cursor.hit)
            aim_block(&block_line_end, p);
        return;
    }
    p->grenade_fuse_end = 0.0f;
    if (local && local_controls.tool == TOOL_BLOCK && !p->keys[KEY_SPRINT] && p->next_use < game_time)
        aim_block(&block_cursor, p);
}

// ---- dead bodies ----------------------------------------------------------------------

static bool body_blocked(const Vec3 &at) { return map_is_solid_at(at.x, at.y, at.z) || at.z >= 63.0f; }

// A dead body keeps moving: it rises out of the ground or the water, else it
// falls and bounces with a quarter of its speed. Returns 1 on a bounce.
static int step_dead_body(PlayerRecord *p)
{
    const float dt = game_frame_time, g = dt * 32.0f;
    Vec3 &pos = p->position, &v = p->velocity;
    if (body_blocked(pos)) {
        v.z -= 0.5f * dt;
        pos.z += v.z * g;
        return 0;
    }
    v.z += 0.5f * dt;
    const Vec3 old = pos;
    pos.x += v.x * g;
    pos.y += v.y * g;
    pos.z += v.z * g;
    if (!body_blocked(pos)) return 0;
    if (game_cell_floor(pos.z) != game_cell_floor(old.z))
        v.z = -v.z;
    else if (game_cell_floor(pos.x) != game_cell_floor(old.x))
        v.x = -v.x;
    else if (game_cell_floor(pos.y) != game_cell_floor(old.y))
        v.y = -v.y;
    pos = old;
    v.x *= 0.25f;
    v.y *= 0.25f;
    v.z *= 0.25f;
    return 1;
}

// ---- the pass ----------------------------------------------------------------------------

void game_update_players()
{
    shot_recoil = ShotRecoil{0.0f, 0.0f};
    for (int i = 0; i < PLAYER_MAX; i++) {
        PlayerRecord *p = &player_table[i];
        const bool local = i == local_player_id;
        if (!p->present || p->team < 0 || !(local || p->near)) continue;
        // Someone else's pose comes from the wire: nothing is cast from a
        // pose outside the map.
        if (!local && !game_pose_valid(p)) continue;
        p->id = i;
        if (!p->alive) {
            int bounced = step_dead_body(p);
            if (local) {
                if (bounced) game_death_bounce(p);
                game_death_camera(p);
            }
            continue;
        }
        const int tool = game_player_tool(p);
        movement_sounds(p);
        footsteps(p);
        if (p->primary)
            primary_fire(p, local, tool);
        else
            without_primary(p, local, tool);
        if (local) game_view_update(p, shot_recoil.pitch, shot_recoil.yaw);
    }
    PlayerRecord *me = game_local_player();
    if (me && me->present && me->team == TEAM_SPECTATOR) game_spectator_camera();
}
