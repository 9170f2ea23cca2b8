// Live grenades and the removal of floating block groups.
#include "server/srv_grenade.h"

#include <cmath>
#include <cstring>

#include "common/map_edit.h"
#include "common/map_floating.h"
#include "common/map_query.h"
#include "common/map_store.h"
#include "common/player.h"
#include "common/protocol.h"
#include "server/srv_rules.h"
#include "server/srv_send.h"
#include "server/srv_state.h"
#include "server/sys_host.h"

ServerGrenade srv_grenades[SRV_GRENADE_MAX];
int srv_grenade_count = 0;

int srv_add_grenade(const Vec3 *position, const Vec3 *velocity, double explode_time, int thrower)
{
    if (srv_grenade_count < 0 || srv_grenade_count >= SRV_GRENADE_MAX)
        return 0;
    ServerGrenade *g = &srv_grenades[srv_grenade_count++];
    g->position = *position;
    g->velocity = *velocity;
    g->explode_time = explode_time;
    g->thrower = thrower;
    return 1;
}

int srv_grenade_damage(float dx, float dy, float dz)
{
    float d2 = dx * dx + dy * dy + dz * dz;
    // 4096 / d2 >= 4096 exactly when d2 <= 1; NaN fails the test as well.
    if (!(d2 > 1.0f))
        return d2 <= 1.0f ? SRV_GRENADE_DAMAGE_MAX : 0;
    return (int)(4096.0f / d2);
}

// Floor to a cell index, safe for any float (the map is far smaller).
static int32_t srv_cell(float v)
{
    if (!(v > -1048576.0f))
        return -1048576;
    if (v > 1048576.0f)
        return 1048576;
    return (int32_t)floorf(v);
}

static void srv_explode(const ServerGrenade *g)
{
    const PlayerRecord *thrower = player_get(g->thrower);
    int thrower_team = thrower && thrower->present ? thrower->team : TEAM_NONE;
    for (int i = 0; i < PLAYER_MAX; i++) {
        if (!srv_player_in_game(i))
            continue;
        const PlayerRecord *p = &player_table[i];
        if (i != g->thrower && p->team == thrower_team)
            continue;
        float dx = p->eye.x - g->position.x;
        float dy = p->eye.y - g->position.y;
        float dz = p->eye.z - g->position.z;
        if (!(fabsf(dx) < SRV_GRENADE_REACH && fabsf(dy) < SRV_GRENADE_REACH && fabsf(dz) < SRV_GRENADE_REACH))
            continue;
        if (!map_line_of_sight(p->eye.x, p->eye.y, p->eye.z, g->position.x, g->position.y, g->position.z))
            continue;
        srv_damage_player(i, srv_grenade_damage(dx, dy, dz), g->thrower, &g->position, KILL_GRENADE);
    }
    MapCell cell = {srv_cell(g->position.x), srv_cell(g->position.y), srv_cell(g->position.z)};
    if (cell.x < 0 || cell.x > 511 || cell.y < 0 || cell.y > 511 || cell.z < -1 || cell.z > 62)
        return;
    // Not relayed when the pool had no room for the blast (map unchanged).
    if (map_remove_cube3(&cell) != 1)
        return;
    if (thrower && thrower->present)
        srv_mark_own_half(g->thrower, cell.x, sys_time_seconds());
    BlockActionMsg m = {(uint8_t)(g->thrower >= 0 && g->thrower < PLAYER_MAX ? g->thrower : 0),
                        (uint8_t)BLOCK_BLAST, cell.x, cell.y, cell.z};
    uint8_t buf[MSG_MAX_SIZE];
    srv_send_all(srv_packet(buf, msg_write_block_action(buf, sizeof buf, &m)));
}

static void srv_fly(ServerGrenade *g, float dt)
{
    Vec3 old = g->position;
    g->velocity.z += dt;
    g->position.x += g->velocity.x * dt * 32.0f;
    g->position.y += g->velocity.y * dt * 32.0f;
    g->position.z += g->velocity.z * dt * 32.0f;
    int32_t nx = srv_cell(g->position.x), ny = srv_cell(g->position.y), nz = srv_cell(g->position.z);
    if (!map_is_solid_no_water(nx, ny, nz))
        return;
    int32_t ox = srv_cell(old.x), oy = srv_cell(old.y), oz = srv_cell(old.z);
    if (nz != oz && !((nx != ox || ny != oy) && map_is_solid_no_water(nx, ny, oz)))
        g->velocity.z = -g->velocity.z;
    else if (nx != ox && !((ny != oy || nz != oz) && map_is_solid_no_water(ox, ny, nz)))
        g->velocity.x = -g->velocity.x;
    else if (ny != oy) {
        if ((nx == ox && nz == oz) || !map_is_solid_no_water(nx, oy, nz))
            g->velocity.y = -g->velocity.y;
    }
    g->position = old;
    g->velocity.x *= 0.36f;
    g->velocity.y *= 0.36f;
    g->velocity.z *= 0.36f;
}

void srv_update_grenades()
{
    int steps;
    float step = srv_split_step(srv_tick_delta, &steps);
    for (int i = 0; i < srv_grenade_count; i++) {
        ServerGrenade *g = &srv_grenades[i];
        if (g->explode_time < srv_now) {
            ServerGrenade done = *g;
            // The last grenade takes this place and waits for the next tick.
            *g = srv_grenades[--srv_grenade_count];
            srv_explode(&done);
            continue;
        }
        for (int s = 0; s < steps; s++)
            srv_fly(g, step);
    }
}

void srv_world_step()
{
    map_remove_floating();
}
