// Map transfer, game state and joins.
#include "server/srv_join.h"

#include <enet/enet.h>

#include <cstdlib>
#include <cstring>

#include "common/lang.h"
#include "common/lang_ids.h"
#include "common/map_query.h"
#include "common/map_store.h"
#include "common/mode_objective.h"
#include "common/rng.h"
#include "server/srv_access.h"
#include "server/srv_log.h"
#include "server/srv_mapzip.h"
#include "server/srv_modes.h"
#include "server/srv_name.h"
#include "server/srv_net.h"
#include "server/srv_send.h"
#include "server/srv_state.h"

// Spawn areas of capture the flag: team 0 on the west side, team 1 east.
static const MapRect srv_ctf_spawn_area[2] = {{0, 128, 128, 386}, {386, 128, 512, 386}};

// What a player whose transfer could not start yet is owed when it does
// (srv_pending_defer): the map, and the info and state that follow it.
#define SRV_OWED_MAP 1
#define SRV_OWED_INFO 2 // the joined players' info, then the state
#define SRV_OWED_STATE 4

// Drops one player whose transfer cannot go on (the others keep theirs).
static void srv_drop_for_map_one(int i)
{
    if (!player_table[i].present)
        return;
    ENetPeer *peer = player_table[i].peer;
    srv_log_info(srv_log, "map transfer failed; dropping player %d", i);
    srv_remove_player(i, REMOVE_LEFT);
    srv_pending_discard(i);
    if (peer)
        enet_peer_disconnect(peer, 0);
}

static void srv_drop_for_map(int player)
{
    for (int i = 0; i < PLAYER_MAX; i++)
        if (player < 0 || i == player)
            srv_drop_for_map_one(i);
}

void srv_drop_broken_transfers()
{
    for (int i = 0; i < PLAYER_MAX; i++)
        if (srv_pending_broken(i))
            srv_drop_for_map_one(i);
}

// Starts a player's transfer of image `zmap`: the map, then what he was
// owed while it could not start.
static void srv_join_begin(int player, int zmap)
{
    int owed = srv_pending_deferred(player);
    srv_pending_defer(player, 0);
    if (srv_send_held_map(player, zmap) != 0) {
        srv_drop_for_map_one(player);
        return;
    }
    if (owed & SRV_OWED_INFO)
        srv_send_existing_players(player);
    else if (owed & SRV_OWED_STATE)
        srv_send_state(player);
}

int srv_send_map(int player)
{
    if (player < 0) {
        // A new map. Who has received nothing of his transfer yet gets only
        // the new one (everybody is sent the state next, and nobody has
        // joined the new round); the old map's compression is abandoned
        // unless a transfer still waits for it.
        for (int i = 0; i < PLAYER_MAX; i++) {
            int begun;
            if (player_table[i].present && srv_pending_head_map(i, &begun) >= 0 && !begun)
                srv_pending_discard(i);
        }
        srv_mapzip_forget();
    }
    int zmap = srv_mapzip_take();
    if (zmap == -2) {
        srv_drop_for_map(player);
        return 0;
    }
    for (int i = 0; i < PLAYER_MAX; i++) {
        if ((player >= 0 && i != player) || !player_table[i].present || !player_table[i].peer)
            continue;
        if (zmap >= 0)
            srv_join_begin(i, zmap);
        else
            srv_pending_defer(i, srv_pending_deferred(i) | SRV_OWED_MAP);
    }
    srv_drop_broken_transfers();
    // The first batch leaves at once when the image is ready; the rest
    // follows pass by pass.
    srv_pending_release();
    return player < 0 || srv_slot_connected(player);
}

void srv_join_service()
{
    srv_mapzip_poll();
    if (srv_mapzip_busy())
        return;
    int waiting = 0;
    for (int i = 0; i < PLAYER_MAX; i++)
        waiting += player_table[i].present && srv_pending_deferred(i) != 0;
    if (waiting == 0)
        return;
    // One snapshot for everybody who waited.
    int zmap = srv_mapzip_take();
    if (zmap == -1)
        return;
    for (int i = 0; i < PLAYER_MAX; i++) {
        if (!player_table[i].present || srv_pending_deferred(i) == 0)
            continue;
        if (zmap < 0)
            srv_drop_for_map_one(i);
        else
            srv_join_begin(i, zmap);
    }
}

void srv_send_state(int player)
{
    // A player whose transfer has not started gets the state of its moment.
    for (int i = 0; i < PLAYER_MAX; i++)
        if ((player < 0 || i == player) && srv_pending_deferred(i) != 0)
            srv_pending_defer(i, srv_pending_deferred(i) | SRV_OWED_STATE);
    if (player >= 0 && srv_pending_deferred(player) != 0)
        return;
    GameStateMsg m;
    memset(&m, 0, sizeof m);
    m.player = player >= 0 ? (uint8_t)player : 0;
    const ServerSettings &s = srv_settings;
    m.fog_colour = ((uint32_t)s.fog_r << 16) | ((uint32_t)s.fog_g << 8) | s.fog_b;
    for (int t = 0; t < 2; t++) {
        m.team_colour[t] = ((uint32_t)s.team_r[t] << 16) | ((uint32_t)s.team_g[t] << 8) | s.team_b[t];
        snprintf(m.team_name[t], sizeof m.team_name[t], "%s", s.team_name[t]);
    }
    m.game_mode = (uint8_t)srv_mode_flag;
    if (srv_mode.fill_state)
        srv_mode.fill_state(&m);
    uint8_t buf[MSG_MAX_SIZE];
    srv_send_player_or_all(player, srv_packet(buf, msg_write_game_state(buf, sizeof buf, &m)));
    if (player >= 0 && srv_mode_flag == GAME_MODE_TC)
        srv_tc_send_bars(player);
}

void srv_send_existing_players(int player)
{
    const PlayerRecord *to = player_get(player);
    if (!to || !to->present)
        return;
    if (srv_pending_deferred(player) != 0) {
        srv_pending_defer(player, srv_pending_deferred(player) | SRV_OWED_INFO);
        return;
    }
    for (int i = 0; i < PLAYER_MAX; i++) {
        const PlayerRecord *q = &player_table[i];
        if (i == player || !q->present || q->team == TEAM_NONE)
            continue;
        PlayerInfoMsg info;
        memset(&info, 0, sizeof info);
        info.player = (uint8_t)i;
        info.team = q->team;
        if (q->team != TEAM_SPECTATOR) {
            info.weapon = (uint8_t)q->weapon;
            info.tool = (uint8_t)q->tool;
            info.kills = (uint32_t)q->kills;
            info.colour = q->colour;
        }
        snprintf(info.name, sizeof info.name, "%s", q->name);
        uint8_t buf[MSG_MAX_SIZE];
        srv_send_to(to->peer, srv_packet(buf, msg_write_player_info(buf, sizeof buf, &info)));
    }
    srv_send_state(player);
}

void srv_send_spawn(int player, const Vec3 *point, int with_name)
{
    const PlayerRecord *p = player_get(player);
    if (!p || !point)
        return;
    PlayerSpawnMsg m;
    memset(&m, 0, sizeof m);
    m.player = (uint8_t)player;
    m.weapon = (uint8_t)p->weapon;
    m.team = p->team;
    m.pos = *point;
    m.has_name = with_name ? 1 : 0;
    if (with_name)
        snprintf(m.name, sizeof m.name, "%s", p->name);
    uint8_t buf[MSG_MAX_SIZE];
    srv_send_all(srv_packet(buf, msg_write_player_spawn(buf, sizeof buf, &m)));
}

// The join spawn point of a team player: the team's area in capture the flag,
// a random owned territory in territory control (territory 0 when the team
// owns none).
static void srv_join_point(const PlayerRecord *p, Vec3 *point)
{
    if (srv_mode_flag == GAME_MODE_CTF) {
        map_random_point_in_rect(point, &srv_ctf_spawn_area[p->team == TEAM_GREEN ? 1 : 0]);
        return;
    }
    int owned[OBJECTIVE_MAX];
    int n = 0;
    uint32_t count = mode_objective_count < OBJECTIVE_MAX ? mode_objective_count : OBJECTIVE_MAX;
    for (uint32_t i = 0; i < count; i++)
        if (mode_objectives[i].owner == p->team)
            owned[n++] = (int)i;
    int pick = n > 0 ? owned[rng_rand() % n] : 0;
    const ObjectiveState *o = &mode_objectives[pick];
    MapRect r = {o->x0, o->y0, o->x1, o->y1};
    map_random_point_in_rect(point, &r);
}

void srv_say_team_join(int player)
{
    const PlayerRecord *p = player_get(player);
    if (!p || !p->present)
        return;
    const char *team = p->team == TEAM_BLUE || p->team == TEAM_GREEN ? srv_settings.team_name[p->team]
                                                                      : srv_spectator_name;
    srv_console_printf(lang_get(LANG_PLAYER_JOINED_TEAM), player, p->name, team);
}

void srv_on_join(ENetEvent *event)
{
    int id = srv_peer_player_id(event);
    if (id < 0)
        return;
    PlayerRecord *p = &player_table[id];
    if (team_is_playing(p->team))
        return;
    int first_join = 0;
    int team, weapon;
    char name[PLAYER_NAME_SIZE];
    if (p->team == TEAM_NONE) {
        PlayerInfoMsg info;
        if (msg_type(event->packet) != MSG_PLAYER_INFO || msg_read_player_info(event->packet, &info) != MSG_OK)
            return;
        team = info.team;
        weapon = info.weapon;
        snprintf(name, sizeof name, "%s", info.name);
        // A name goes into chat, the log and the ban and admin lists: no
        // line breaks or other control characters.
        srv_name_clean(name);
        if (strcmp(name, "Zarar") == 0)
            snprintf(name, sizeof name, "Zarar%d", id);
        first_join = 1;
    } else {
        RejoinMsg rejoin;
        if (msg_type(event->packet) != MSG_REJOIN || msg_read_rejoin(event->packet, &rejoin) != MSG_OK)
            return;
        team = rejoin.team;
        weapon = rejoin.weapon;
        snprintf(name, sizeof name, "%s", p->name);
    }
    // Values outside the player record's data model are refused, not stored.
    if ((team != TEAM_BLUE && team != TEAM_GREEN && team != TEAM_SPECTATOR) || !weapon_is_valid(weapon))
        return;
    ENetPeer *peer = p->peer;
    if (!player_init(p, id, team, weapon, TOOL_GUN, 0, 0x7F7F7F, name))
        return;
    p->peer = peer;
    p->present = 1;
    p->announced = 1;

    Vec3 point;
    if (team < 0) {
        point.x = 256.0f;
        point.y = 256.0f;
        point.z = (float)map_ground_z(256, 256);
    } else {
        srv_join_point(p, &point);
        player_respawn(p, &point);
    }
    srv_send_spawn(id, &point, 1);
    srv_say_team_join(id);

    if (first_join && p->peer) {
        char dotted[16];
        srv_dotted_address(p->peer->address.host, dotted);
        if (srv_access_match(SRV_ADMIN_LIST, dotted))
            srv_grant_admin(id);
    }
}
