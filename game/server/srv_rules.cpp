// Damage, deaths, respawn waves, reloads, resupply and the per-player pass.
#include "server/srv_rules.h"

#include <cmath>
#include <cstring>

#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/player.h"
#include "common/player_physics.h"
#include "common/protocol.h"
#include "common/timer.h"
#include "common/weapon.h"
#include "server/srv_grenade.h"
#include "server/srv_join.h"
#include "server/srv_modes.h"
#include "server/srv_send.h"
#include "server/srv_state.h"
#include "server/sys_host.h"

float srv_split_step(float delta, int *count)
{
    if (!(delta > 0.0f)) {
        *count = 0;
        return 0.0f;
    }
    if (delta > SRV_STEP_TOTAL_MAX)
        delta = SRV_STEP_TOTAL_MAX;
    int n = (int)ceilf(delta / SRV_STEP_MAX);
    if (n < 1)
        n = 1;
    *count = n;
    return delta / (float)n;
}

int srv_player_in_game(int player)
{
    const PlayerRecord *p = player_get(player);
    return p && p->present && team_is_playing(p->team) && p->alive;
}

void srv_mark_own_half(int player, int x, int64_t t)
{
    PlayerRecord *p = player_get(player);
    if (!p)
        return;
    if ((p->team == TEAM_BLUE && x < 256) || (p->team != TEAM_BLUE && x >= 256))
        p->last_block_loss = t;
}

int srv_respawn_wait()
{
    int64_t s = srv_now > 0.0f ? (int64_t)srv_now : 0;
    return SRV_RESPAWN_WAVE - (int)(s % SRV_RESPAWN_WAVE);
}

// Marks the player dead until the next wave and tells everyone.
static void srv_announce_death(PlayerRecord *v, int killer, int kill_type)
{
    v->alive = 0;
    int wait = srv_respawn_wait();
    v->respawn_time = sys_time_seconds() + wait;
    if (srv_mode_flag == GAME_MODE_CTF)
        srv_drop_intel(v->id);
    KillMsg k = {(uint8_t)v->id, (uint8_t)(killer >= 0 && killer < PLAYER_MAX ? killer : 0),
                 (uint8_t)kill_type, (uint8_t)wait};
    uint8_t buf[MSG_MAX_SIZE];
    srv_send_all(srv_packet(buf, msg_write_kill(buf, sizeof buf, &k)));
}

void srv_kill_for_change(int victim, int kill_type)
{
    PlayerRecord *v = player_get(victim);
    if (!v || !v->present || v->team == TEAM_NONE || !v->alive)
        return;
    if (team_is_playing(v->team)) {
        srv_damage_player(victim, 100, 0, nullptr, kill_type);
        return;
    }
    // A spectator has no health to lose; he dies all the same, so every
    // client sees him leave the living and wait for the wave.
    srv_announce_death(v, 0, kill_type);
}

void srv_damage_player(int victim, int amount, int killer, const Vec3 *source, int kill_type)
{
    if (!srv_player_in_game(victim))
        return;
    PlayerRecord *v = &player_table[victim];
    v->health -= amount;
    uint8_t buf[MSG_MAX_SIZE];
    if (v->health > 0) {
        HealthMsg h;
        memset(&h, 0, sizeof h);
        h.health = (uint8_t)(v->health > 255 ? 255 : v->health);
        if (kill_type <= KILL_GRENADE && source) {
            h.has_source = 1;
            h.source = *source;
        }
        srv_send_to(v->peer, srv_packet(buf, msg_write_health(buf, sizeof buf, &h)));
        return;
    }
    srv_announce_death(v, killer, kill_type);
    // Credit only a present killer of the other team: a departed thrower's
    // slot may already hold somebody else.
    PlayerRecord *kp = player_get(killer);
    if (kill_type >= KILL_WEAPON && kill_type <= KILL_GRENADE && kp && kp->present &&
        team_is_playing(kp->team) && kp->team != v->team)
        kp->kills++;
}

int srv_validate_hit(int shooter, int target, int hit_type)
{
    const PlayerRecord *s = player_get(shooter);
    const PlayerRecord *t = player_get(target);
    if (!s || !t || hit_type < HIT_TORSO || hit_type > HIT_SPADE)
        return 0;
    float z = t->eye.z;
    if (hit_type == HIT_LEGS)
        z += 1.8f;
    else if (hit_type != HIT_HEAD)
        z += 0.9f;
    if (!player_aim_box_test(shooter, t->eye.x, t->eye.y, z, 2.0f))
        return 0;
    if (hit_type == HIT_SPADE &&
        !(math_distance3(s->eye.x, s->eye.y, s->eye.z, t->eye.x, t->eye.y, t->eye.z) < 3.0f))
        return 0;
    return 1;
}

int srv_finish_reload(int player)
{
    PlayerRecord *p = player_get(player);
    const WeaponInfo *w = p ? weapon_info(p->weapon) : nullptr;
    if (!w) {
        if (p)
            p->reload_end = 0.0f;
        return 0;
    }
    if (p->reserve <= 0 || p->magazine >= w->magazine_size) {
        p->reload_end = 0.0f;
        return 0;
    }
    if (w->whole_reload) {
        p->reload_end = 0.0f;
        int total = p->magazine + p->reserve;
        int old = p->magazine;
        p->magazine = total < w->magazine_size ? total : w->magazine_size;
        p->reserve = (w->magazine_size - old) < p->reserve ? total - w->magazine_size : 0;
        return 1;
    }
    p->magazine++;
    p->reserve--;
    if (p->magazine < w->magazine_size && p->reserve > 0)
        p->reload_end = srv_now + w->reload_time;
    else
        p->reload_end = 0.0f;
    return 1;
}

void srv_spawn_spectator(int player)
{
    PlayerRecord *p = player_get(player);
    if (!p)
        return;
    p->alive = 1;
    Vec3 point = {256.0f, 256.0f, (float)map_ground_z(256, 256)};
    srv_send_spawn(player, &point, 0);
}

void srv_restock_at_base(int player, int64_t t)
{
    PlayerRecord *p = player_get(player);
    const WeaponInfo *w = p ? weapon_info(p->weapon) : nullptr;
    if (!w || !(t > p->last_resupply))
        return;
    if (p->blocks >= 50 && p->magazine >= w->magazine_size && p->reserve >= w->reserve_size &&
        p->grenades > 2 && p->health >= 100)
        return;
    player_restock(p, 0);
    uint8_t buf[8];
    ResupplyMsg m = {(uint8_t)player};
    srv_send_to(p->peer, srv_packet(buf, msg_write_resupply(buf, sizeof buf, &m)));
    p->last_resupply = t + 3;
}

void srv_send_world_update()
{
    WorldUpdateMsg m;
    memset(&m, 0, sizeof m);
    for (int i = 0; i < PLAYER_MAX; i++) {
        if (!srv_player_in_game(i))
            continue;
        m.slot[i].pos = player_table[i].position;
        m.slot[i].forward = player_table[i].forward;
    }
    uint8_t buf[MSG_MAX_SIZE];
    srv_send_each(srv_packet(buf, msg_write_world_update(buf, sizeof buf, &m)));
}

// The reload step that came due: announced to the player and, for a weapon
// loaded one round at a time, to those nearby (it cues their sound).
static void srv_reload_step(int player)
{
    PlayerRecord *p = &player_table[player];
    const WeaponInfo *w = weapon_info(p->weapon);
    if (!srv_finish_reload(player))
        return;
    ReloadMsg m = {(uint8_t)player, (uint8_t)p->magazine, (uint8_t)(p->reserve > 255 ? 255 : p->reserve)};
    uint8_t buf[8];
    int len = msg_write_reload(buf, sizeof buf, &m);
    srv_send_to(p->peer, srv_packet(buf, len));
    if (w && !w->whole_reload)
        srv_send_nearby(player, srv_packet(buf, len));
}

// Movement of one living team player over this tick's steps; 0 when he died
// of a fall.
static int srv_move_player(int player, float step, int steps)
{
    PlayerRecord *p = &player_table[player];
    float saved = game_step;
    game_step = step;
    for (int s = 0; s < steps; s++) {
        int fall = player_physics_step(p);
        if (fall >= 1) {
            srv_damage_player(player, fall, 0, nullptr, KILL_FALL);
            if (!p->alive)
                break;
        }
    }
    game_step = saved;
    return p->alive;
}

void srv_tick_players(int64_t t)
{
    int steps;
    float step = srv_split_step(srv_tick_delta, &steps);
    for (int i = 0; i < PLAYER_MAX; i++) {
        PlayerRecord *p = &player_table[i];
        if (!p->present || p->team == TEAM_NONE)
            continue;
        if (!p->alive) {
            if (t >= p->respawn_time) {
                if (p->team == TEAM_SPECTATOR)
                    srv_spawn_spectator(i);
                else if (srv_mode.spawn)
                    srv_mode.spawn(p);
            }
            continue;
        }
        if (p->team == TEAM_SPECTATOR)
            continue;
        if (!srv_move_player(i, step, steps))
            continue;
        const WeaponInfo *w = weapon_info(p->weapon);
        if (!w)
            continue;
        if (p->primary && p->tool == TOOL_GUN && p->magazine > 0 && p->next_use < srv_now) {
            if (!w->whole_reload)
                p->reload_end = 0.0f;
            p->next_use = srv_now + w->fire_interval;
            p->magazine--;
        } else if (p->reload_end != 0.0f && srv_now >= p->reload_end) {
            srv_reload_step(i);
        }
    }
    if (srv_mode.rules)
        srv_mode.rules(t);
    if (srv_next_world_update < srv_now) {
        srv_send_world_update();
        srv_next_world_update = srv_now + 0.1f;
    }
}

void srv_reset_players()
{
    for (int i = 0; i < PLAYER_MAX; i++) {
        player_table[i].team = TEAM_NONE;
        player_table[i].kills = 0;
    }
    if (srv_work_area)
        map_edit_set_scratch(srv_work_area, SRV_WORK_AREA_SIZE);
    srv_grenade_count = 0;
    srv_vote.target = -1;
    srv_vote.deadline = 0;
    srv_vote.votes = 0;
    srv_vote.voter_count = 0;
    memset(srv_vote.voted, 0, sizeof srv_vote.voted);
    srv_map_change_time = 0;
}
