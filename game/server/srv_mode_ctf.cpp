// Capture the flag: carry the other team's intel to your own base.
#include <cstring>

#include "common/map_query.h"
#include "common/mode_objective.h"
#include "server/srv_rules.h"
#include "server/srv_join.h"
#include "server/srv_modes.h"
#include "server/srv_send.h"
#include "server/srv_settings.h"
#include "server/srv_state.h"

uint32_t srv_ctf_captures[2];

// Team areas: where the objectives are placed and the players spawn.
static const MapRect srv_ctf_area[2] = {{0, 128, 128, 386}, {386, 128, 512, 386}};

static void srv_ctf_place(int index, int team)
{
    ObjectiveState *o = &mode_objectives[index];
    map_random_point_in_rect(&o->position, &srv_ctf_area[team]);
}

void srv_ctf_reset()
{
    memset(mode_objectives, 0, sizeof mode_objectives);
    mode_objective_count = CTF_OBJECTIVES;
    for (int team = 0; team < 2; team++) {
        const int both[2] = {CTF_INTEL(team), CTF_BASE(team)};
        for (int index : both) {
            ObjectiveState *o = &mode_objectives[index];
            o->x0 = srv_ctf_area[team].x0;
            o->y0 = srv_ctf_area[team].y0;
            o->x1 = srv_ctf_area[team].x1;
            o->y1 = srv_ctf_area[team].y1;
            o->owner = index == CTF_INTEL(team) ? -1 : team;
            o->capturing_team = TEAM_NEUTRAL;
        }
    }
    srv_ctf_place(CTF_INTEL(0), 0);
    srv_ctf_place(CTF_BASE(0), 0);
    srv_ctf_place(CTF_INTEL(1), 1);
    srv_ctf_place(CTF_BASE(1), 1);
    srv_ctf_captures[0] = srv_ctf_captures[1] = 0;
}

void srv_ctf_fill_state(GameStateMsg *msg)
{
    msg->game_mode = GAME_MODE_CTF;
    CtfState *c = &msg->ctf;
    c->score[0] = srv_ctf_captures[0];
    c->score[1] = srv_ctf_captures[1];
    c->capture_limit = (uint32_t)srv_settings.caplimit;
    c->flags = 0;
    for (int i = 0; i < 2; i++) {
        const ObjectiveState *intel = &mode_objectives[CTF_INTEL(i)];
        if (intel->owner >= 0) {
            c->flags |= i == 0 ? CTF_INTEL0_CARRIED : CTF_INTEL1_CARRIED;
            c->carrier[i] = (uint8_t)intel->owner;
        } else {
            c->intel[i] = intel->position;
        }
        c->base[i] = mode_objectives[CTF_BASE(i)].position;
    }
}

void srv_ctf_tick()
{
    for (int i = 0; i < CTF_OBJECTIVES; i++) {
        if (i <= CTF_INTEL(1) && mode_objectives[i].owner >= 0)
            continue;
        if (srv_drop_object(i))
            srv_send_objective_move(i);
    }
}

void srv_drop_intel(int player)
{
    const PlayerRecord *p = player_get(player);
    if (!p || !team_is_playing(p->team))
        return;
    ObjectiveState *intel = &mode_objectives[CTF_INTEL(1 - p->team)];
    if (intel->owner != player)
        return;
    // Positions are kept inside the map; clamp anyway so the floor is looked
    // up in a real column.
    float x = !(p->position.x >= 0.0f) ? 0.0f : p->position.x > 511.5f ? 511.5f : p->position.x;
    float y = !(p->position.y >= 0.0f) ? 0.0f : p->position.y > 511.5f ? 511.5f : p->position.y;
    float z = p->position.z;
    int32_t cz = !(z >= 0.0f) ? 0 : z > 63.0f ? 63 : (int32_t)z;
    intel->position = Vec3{x, y, (float)map_floor_z((int32_t)x, (int32_t)y, cz)};
    intel->owner = -1;
    IntelDroppedMsg m = {(uint8_t)player, intel->position};
    uint8_t buf[MSG_MAX_SIZE];
    srv_send_all(srv_packet(buf, msg_write_intel_dropped(buf, sizeof buf, &m)));
}

static void srv_ctf_respawn_all()
{
    for (int i = 0; i < PLAYER_MAX; i++) {
        if (!srv_player_in_game(i))
            continue;
        srv_ctf_spawn(&player_table[i]);
    }
}

static void srv_ctf_capture(int player)
{
    PlayerRecord *p = &player_table[player];
    int team = p->team;
    int enemy = 1 - team;
    uint8_t buf[MSG_MAX_SIZE];
    p->kills += 10;
    if ((int64_t)srv_ctf_captures[team] + 1 < (int64_t)srv_settings.caplimit) {
        srv_ctf_place(CTF_INTEL(enemy), enemy);
        srv_ctf_captures[team]++;
        mode_objectives[CTF_INTEL(enemy)].owner = -1;
        IntelScoredMsg m = {(uint8_t)player, 0};
        srv_send_all(srv_packet(buf, msg_write_intel_scored(buf, sizeof buf, &m)));
        srv_send_objective_move(CTF_INTEL(enemy));
        return;
    }
    srv_ctf_reset();
    IntelScoredMsg m = {(uint8_t)player, 1};
    srv_send_all(srv_packet(buf, msg_write_intel_scored(buf, sizeof buf, &m)));
    for (int i = 0; i < CTF_OBJECTIVES; i++)
        srv_send_objective_move(i);
    srv_ctf_respawn_all();
}

void srv_ctf_rules(int64_t t)
{
    for (int i = 0; i < PLAYER_MAX; i++) {
        if (!srv_player_in_game(i))
            continue;
        const PlayerRecord *p = &player_table[i];
        int team = p->team;
        ObjectiveState *enemy_intel = &mode_objectives[CTF_INTEL(1 - team)];
        if (srv_near_objective(p, &mode_objectives[CTF_BASE(team)])) {
            if (enemy_intel->owner == i)
                srv_ctf_capture(i);
            else
                srv_restock_at_base(i, t);
        }
        if (enemy_intel->owner < 0 && srv_near_objective(p, enemy_intel)) {
            enemy_intel->owner = i;
            IntelTakenMsg m = {(uint8_t)i};
            uint8_t buf[MSG_MAX_SIZE];
            srv_send_all(srv_packet(buf, msg_write_intel_taken(buf, sizeof buf, &m)));
        }
    }
}

void srv_ctf_spawn(PlayerRecord *player)
{
    if (!player || !team_is_playing(player->team))
        return;
    Vec3 point;
    map_random_point_in_rect(&point, &srv_ctf_area[player->team]);
    if (!player_respawn(player, &point))
        return;
    srv_send_spawn(player->id, &point, 0);
}
