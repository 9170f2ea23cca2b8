// Client message handlers: check, apply, relay.
#include "server/srv_handlers.h"

#include <enet/enet.h>

#include <cmath>
#include <cstring>

#include "common/map_block_line.h"
#include "common/map_edit.h"
#include "common/player.h"
#include "common/protocol.h"
#include "common/weapon.h"
#include "server/srv_rules.h"
#include "server/srv_commands.h"
#include "server/srv_grenade.h"
#include "server/srv_join.h"
#include "server/srv_net.h"
#include "server/srv_send.h"
#include "server/srv_settings.h"
#include "server/srv_state.h"
#include "server/sys_host.h"

// The sender of an event when he has joined (team 0, 1 or spectator), else
// null: a connection that has not joined yet only sends its join request.
static PlayerRecord *srv_joined_sender(ENetEvent *event)
{
    int id = srv_peer_player_id(event);
    if (id < 0)
        return nullptr;
    PlayerRecord *p = &player_table[id];
    return p->team == TEAM_NONE ? nullptr : p;
}

// A joined sender who is alive (spectators included).
static PlayerRecord *srv_living_sender(ENetEvent *event)
{
    PlayerRecord *p = srv_joined_sender(event);
    return p && p->alive ? p : nullptr;
}

// A living sender on team 0 or 1: the only ones who edit the map or fight.
static PlayerRecord *srv_fighting_sender(ENetEvent *event)
{
    PlayerRecord *p = srv_living_sender(event);
    return p && team_is_playing(p->team) ? p : nullptr;
}

static void srv_relay(const uint8_t *buf, int len, int except)
{
    ENetPacket *packet = srv_packet(buf, len);
    if (except >= 0)
        srv_send_all_but(packet, except);
    else
        srv_send_all(packet);
}

int srv_flood_check(int player)
{
    PlayerRecord *p = player_get(player);
    if (!p)
        return 0;
    if (p->flood > SRV_FLOOD_LIMIT) {
        srv_remove_player(player, REMOVE_KICK);
        return 0;
    }
    p->flood++;
    return 1;
}

int srv_within_reach(const PlayerRecord *p, int32_t x, int32_t y, int32_t z)
{
    return fabsf((float)x + 0.5f - p->eye.x) <= SRV_REACH && fabsf((float)y + 0.5f - p->eye.y) <= SRV_REACH &&
           fabsf((float)z + 0.5f - p->eye.z) <= SRV_REACH;
}

static int srv_position_valid(const Vec3 *v)
{
    return v->x >= 0.0f && v->x <= 512.0f && v->y >= 0.0f && v->y <= 512.0f && v->z >= SRV_POSITION_Z_MIN &&
           v->z <= SRV_POSITION_Z_MAX; // false for NaN
}

void srv_on_position(ENetEvent *event)
{
    PlayerRecord *p = srv_living_sender(event);
    PositionMsg m;
    if (!p || msg_read_position(event->packet, &m) != MSG_OK)
        return;
    if (srv_position_valid(&m.pos) && !player_moved_beyond(&m.pos, &p->position, SRV_POSITION_TOLERANCE)) {
        p->position = m.pos;
        return;
    }
    PositionMsg back = {p->position};
    uint8_t buf[MSG_MAX_SIZE];
    srv_send_to(p->peer, srv_packet(buf, msg_write_position(buf, sizeof buf, &back)));
}

void srv_on_orientation(ENetEvent *event)
{
    PlayerRecord *p = srv_living_sender(event);
    OrientMsg m;
    if (!p || msg_read_orient(event->packet, &m) != MSG_OK)
        return;
    // Refuses vectors that are not finite or have no horizontal part.
    player_set_orientation(p, &m.forward);
}

void srv_on_input(ENetEvent *event)
{
    PlayerRecord *p = srv_living_sender(event);
    MoveKeysMsg m;
    if (!p || msg_read_move_keys(event->packet, &m) != MSG_OK)
        return;
    uint32_t keys = m.keys & 0xFFu;
    for (int k = 0; k < KEY_COUNT; k++)
        if (k != KEY_CROUCH)
            p->keys[k] = (int32_t)((keys >> k) & 1u);
    int crouch = (int)((keys >> KEY_CROUCH) & 1u);
    if (!crouch && p->keys[KEY_CROUCH]) {
        p->keys[KEY_CROUCH] = 0;
        p->position.z -= 0.9f;
    } else if (crouch && !p->keys[KEY_CROUCH]) {
        p->keys[KEY_CROUCH] = 1;
        if (!p->airborne)
            p->position.z += 0.9f;
    }
    MoveKeysMsg out = {(uint8_t)p->id, keys};
    uint8_t buf[MSG_MAX_SIZE];
    srv_relay(buf, msg_write_move_keys(buf, sizeof buf, &out), p->id);
}

void srv_on_weapon_input(ENetEvent *event)
{
    PlayerRecord *p = srv_living_sender(event);
    FireKeysMsg m;
    if (!p || msg_read_fire_keys(event->packet, &m) != MSG_OK)
        return;
    p->primary = (int32_t)(m.keys & FIRE_PRIMARY ? 1 : 0);
    p->secondary = (int32_t)(m.keys & FIRE_SECONDARY ? 1 : 0);
    if ((p->tool == TOOL_GUN && p->magazine <= 0) || p->keys[KEY_SPRINT])
        p->primary = 0;
    FireKeysMsg out = {(uint8_t)p->id, m.keys};
    uint8_t buf[MSG_MAX_SIZE];
    srv_relay(buf, msg_write_fire_keys(buf, sizeof buf, &out), p->id);
}

void srv_on_hit(ENetEvent *event)
{
    PlayerRecord *s = srv_fighting_sender(event);
    HitClaimMsg m;
    if (!s || !s->primary || msg_read_hit_claim(event->packet, &m) != MSG_OK)
        return;
    int target = m.target, type = m.hit_type;
    if (target >= PLAYER_MAX || target == s->id || !srv_player_in_game(target))
        return;
    const PlayerRecord *t = &player_table[target];
    if (t->team == s->team && !(sys_time_seconds() <= t->last_block_loss + 1))
        return;
    if (!(fabsf(s->position.x - t->position.x) <= 128.0f && fabsf(s->position.y - t->position.y) <= 128.0f))
        return;
    if (type > HIT_SPADE || !srv_validate_hit(s->id, target, type))
        return;
    // Each part of the body is hit with the tool that deals its damage.
    if (type == HIT_SPADE ? s->tool != TOOL_SPADE : s->tool != TOOL_GUN)
        return;
    const WeaponInfo *w = weapon_info(s->weapon);
    if (!w)
        return;
    int kill_type = type == HIT_HEAD ? KILL_HEAD : type == HIT_SPADE ? KILL_SPADE : KILL_WEAPON;
    Vec3 source = s->position;
    srv_damage_player(target, w->damage[type], s->id, &source, kill_type);
}

void srv_on_grenade(ENetEvent *event)
{
    PlayerRecord *p = srv_joined_sender(event);
    GrenadeMsg m;
    if (!p || !team_is_playing(p->team) || p->grenades <= 0 || srv_grenade_count >= SRV_GRENADE_MAX ||
        msg_read_grenade(event->packet, &m) != MSG_OK)
        return;
    // The relay keeps the client's fuse (its own explosion), the server's
    // never runs past 3 s; a fuse that is not a number is neither.
    float fuse = std::isfinite(m.fuse) ? m.fuse : SRV_GRENADE_FUSE_MAX;
    float own = fuse < SRV_GRENADE_FUSE_MAX ? fuse : SRV_GRENADE_FUSE_MAX;
    if (own < 0.0f)
        own = 0.0f;
    Vec3 vel = {p->velocity.x + p->forward.x, p->velocity.y + p->forward.y, p->velocity.z + p->forward.z};
    if (!srv_add_grenade(&p->eye, &vel, srv_now + own, p->id))
        return;
    p->grenades--;
    GrenadeMsg out = {(uint8_t)p->id, fuse, p->eye, vel};
    uint8_t buf[MSG_MAX_SIZE];
    srv_relay(buf, msg_write_grenade(buf, sizeof buf, &out), p->id);
}

void srv_on_tool(ENetEvent *event)
{
    PlayerRecord *p = srv_living_sender(event);
    ToolMsg m;
    if (!p || msg_read_tool(event->packet, &m) != MSG_OK || !tool_is_valid(m.tool))
        return;
    p->reload_end = 0.0f;
    player_set_tool(p, m.tool);
    ToolMsg out = {(uint8_t)p->id, m.tool};
    uint8_t buf[MSG_MAX_SIZE];
    srv_relay(buf, msg_write_tool(buf, sizeof buf, &out), p->id);
}

void srv_on_colour(ENetEvent *event)
{
    PlayerRecord *p = srv_living_sender(event);
    ColourMsg m;
    if (!p || msg_read_colour(event->packet, &m) != MSG_OK)
        return;
    ColourMsg out = {m.id, (uint8_t)p->id, m.colour & 0xFFFFFFu};
    uint8_t buf[MSG_MAX_SIZE];
    if (m.id == MSG_BLOCK_COLOUR) {
        p->colour = out.colour;
        srv_relay(buf, msg_write_colour(buf, sizeof buf, &out), p->id);
    } else if (m.id == MSG_FOG_COLOUR && p->admin) {
        srv_settings.fog_r = (uint8_t)(out.colour >> 16);
        srv_settings.fog_g = (uint8_t)(out.colour >> 8);
        srv_settings.fog_b = (uint8_t)out.colour;
        srv_relay(buf, msg_write_colour(buf, sizeof buf, &out), -1);
    }
}

static int srv_tool_makes(int tool, int action)
{
    switch (action) {
    case BLOCK_BUILD: return tool == TOOL_BLOCK;
    case BLOCK_DESTROY: return tool == TOOL_SPADE || tool == TOOL_GUN;
    case BLOCK_DIG: return tool == TOOL_SPADE;
    default: return 0;
    }
}

void srv_on_block_action(ENetEvent *event)
{
    PlayerRecord *p = srv_fighting_sender(event);
    BlockActionMsg m;
    if (!p || msg_read_block_action(event->packet, &m) != MSG_OK)
        return;
    if (m.x < 0 || m.x > 511 || m.y < 0 || m.y > 511 || m.z < 0 || m.z > 62)
        return;
    // The flood rule counts every edit made without the gun, also one
    // refused afterwards for the wrong tool.
    if (p->tool == TOOL_GUN) {
        if (p->magazine <= 0)
            return;
    } else {
        if (!srv_flood_check(p->id) || !srv_within_reach(p, m.x, m.y, m.z))
            return;
    }
    if (!srv_tool_makes(p->tool, m.kind))
        return;
    MapCell cell = {m.x, m.y, m.z};
    // 1 applied; an edit the map's pool has no room for is refused like a
    // bad one and not relayed, so every client keeps the server's map.
    int applied = 0;
    if (m.kind == BLOCK_BUILD) {
        if (p->blocks <= 0)
            return;
        applied = map_add_block(&cell, (int32_t)p->colour) == 1;
        if (applied)
            p->blocks--;
    } else {
        applied = (m.kind == BLOCK_DESTROY ? map_remove_block(&cell) : map_remove_column3(&cell)) == 1;
        if (applied) {
            if (m.kind == BLOCK_DESTROY && p->tool == TOOL_SPADE && p->blocks < 50)
                p->blocks++;
            srv_mark_own_half(p->id, m.x, sys_time_seconds());
        }
    }
    if (!applied)
        return;
    BlockActionMsg out = {(uint8_t)p->id, m.kind, m.x, m.y, m.z};
    uint8_t buf[MSG_MAX_SIZE];
    srv_relay(buf, msg_write_block_action(buf, sizeof buf, &out), -1);
}

void srv_on_block_line(ENetEvent *event)
{
    PlayerRecord *p = srv_fighting_sender(event);
    BlockLineMsg m;
    if (!p || msg_read_block_line(event->packet, &m) != MSG_OK)
        return;
    const int32_t *ends[2] = {m.start, m.end};
    for (const int32_t *c : ends)
        if (c[0] < 0 || c[0] > 511 || c[1] < 0 || c[1] > 511 || c[2] < 0 || c[2] > 63)
            return;
    if (!srv_flood_check(p->id) || !srv_within_reach(p, m.end[0], m.end[1], m.end[2]))
        return;
    if (p->tool != TOOL_BLOCK)
        return;
    BlockCell start = {m.start[0], m.start[1], m.start[2]};
    BlockCell end = {m.end[0], m.end[1], m.end[2]};
    BlockCell cells[BLOCK_LINE_MAX];
    const int line = map_block_line(&start, &end, cells);
    if (line <= 0 || line > BLOCK_LINE_MAX)
        return;
    // No cell is built inside the builder, who would be stuck in it.
    const int n = player_cells_outside_body(p, cells, line);
    if (n <= 0 || p->blocks < n)
        return;
    // The whole line or nothing: clients apply it whole.
    int32_t stored[BLOCK_LINE_MAX];
    map_edit_group_begin();
    for (int i = n - 1; i >= 0; i--) {
        MapCell cell = {cells[i].x, cells[i].y, cells[i].z};
        stored[i] = map_add_block(&cell, (int32_t)p->colour);
    }
    if (map_edit_group_end() != 1)
        return;
    p->blocks -= n;
    uint8_t buf[MSG_MAX_SIZE];
    if (n == line) {
        BlockLineMsg out = m;
        out.player = (uint8_t)p->id;
        srv_relay(buf, msg_write_block_line(buf, sizeof buf, &out), -1);
        return;
    }
    // The clients rebuild a relayed line from its ends, his body included:
    // they get each block built instead, as for single builds.
    for (int i = n - 1; i >= 0; i--) {
        if (stored[i] != 1)
            continue;
        BlockActionMsg out = {(uint8_t)p->id, BLOCK_BUILD, cells[i].x, cells[i].y, cells[i].z};
        srv_relay(buf, msg_write_block_action(buf, sizeof buf, &out), -1);
    }
}

void srv_on_chat(ENetEvent *event)
{
    PlayerRecord *p = srv_joined_sender(event);
    if (!p || !srv_flood_check(p->id))
        return;
    ChatMsg m;
    if (msg_read_chat(event->packet, &m) != MSG_OK)
        return;
    m.text[MSG_CHAT_MAX_TEXT] = 0;
    m.player = (uint8_t)p->id;
    // Commands are for the server alone and never relayed.
    if (m.text[0] == '/') {
        srv_chat_command(p->id, &m);
        return;
    }
    if (m.chat_type != CHAT_ALL && m.chat_type != CHAT_TEAM)
        return;
    uint8_t buf[MSG_MAX_SIZE];
    ENetPacket *packet = srv_packet(buf, msg_write_chat(buf, sizeof buf, &m));
    if (m.chat_type == CHAT_ALL)
        srv_send_each(packet);
    else
        srv_send_team(packet, p->id);
}

void srv_on_reload(ENetEvent *event)
{
    PlayerRecord *p = srv_fighting_sender(event);
    ReloadMsg m;
    if (!p || msg_read_reload(event->packet, &m) != MSG_OK)
        return;
    const WeaponInfo *w = weapon_info(p->weapon);
    if (!w)
        return;
    p->reload_end = srv_now + w->reload_time;
    if (!w->whole_reload)
        return;
    ReloadMsg out = {(uint8_t)p->id, m.magazine, m.reserve};
    uint8_t buf[MSG_MAX_SIZE];
    srv_send_nearby(p->id, srv_packet(buf, msg_write_reload(buf, sizeof buf, &out)));
}

void srv_on_change_team(ENetEvent *event)
{
    PlayerRecord *p = srv_joined_sender(event);
    TeamChangeMsg m;
    if (!p || msg_read_team_change(event->packet, &m) != MSG_OK)
        return;
    if (m.team != TEAM_BLUE && m.team != TEAM_GREEN && m.team != TEAM_SPECTATOR)
        return;
    int changed = p->team != m.team;
    srv_kill_for_change(p->id, KILL_TEAM_CHANGE);
    player_set_team(p, m.team);
    if (changed)
        srv_say_team_join(p->id);
}

void srv_on_change_weapon(ENetEvent *event)
{
    PlayerRecord *p = srv_joined_sender(event);
    WeaponChangeMsg m;
    if (!p || msg_read_weapon_change(event->packet, &m) != MSG_OK || !weapon_is_valid(m.weapon))
        return;
    srv_kill_for_change(p->id, KILL_WEAPON_CHANGE);
    player_set_weapon(p, m.weapon);
}
