// Capture the flag and territory control: objectives and the state block.
#include "server/srv_modes.h"

#include <cstring>

#include "common/map_query.h"
#include "common/map_store.h"
#include "common/mode_objective.h"
#include "server/srv_join.h"
#include "server/srv_state.h"

uint32_t srv_ctf_captures[2];
uint32_t srv_tc_owned[2];

// Team areas of capture the flag: objectives and spawns.
static const MapRect srv_ctf_area[2] = {{0, 128, 128, 386}, {386, 128, 512, 386}};

static void srv_objective_clear(ObjectiveState *o)
{
    memset(o, 0, sizeof *o);
    o->capturing_team = TEAM_NEUTRAL;
}

void srv_ctf_reset()
{
    mode_objective_count = 4;
    for (int i = 0; i < 4; i++)
        srv_objective_clear(&mode_objectives[i]);
    // 0, 1: the intels (not carried); 2, 3: the bases.
    for (int team = 0; team < 2; team++) {
        mode_objectives[team].owner = -1;
        map_random_point_in_rect(&mode_objectives[team].position, &srv_ctf_area[team]);
        map_random_point_in_rect(&mode_objectives[2 + team].position, &srv_ctf_area[team]);
    }
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
        const ObjectiveState *intel = &mode_objectives[i];
        if (intel->owner >= 0) {
            c->flags |= i == 0 ? CTF_INTEL0_CARRIED : CTF_INTEL1_CARRIED;
            c->carrier[i] = (uint8_t)intel->owner;
        } else {
            c->intel[i] = intel->position;
        }
        c->base[i] = mode_objectives[2 + i].position;
    }
}

void srv_ctf_tick() {}

void srv_ctf_rules(int64_t) {}

void srv_ctf_spawn(PlayerRecord *player)
{
    if (!player || !team_is_playing(player->team))
        return;
    Vec3 point;
    map_random_point_in_rect(&point, &srv_ctf_area[player->team]);
    player_respawn(player, &point);
    srv_send_spawn(player->id, &point, 0);
}

static int32_t srv_clamp_coord(int32_t v) { return v < 0 ? 0 : (v > 511 ? 511 : v); }

void srv_tc_reset()
{
    int land = 0;
    for (int y = 0; y < MAP_SIZE; y++)
        for (int x = 0; x < MAP_SIZE; x++)
            if (map_ground_z(x, y) < 63)
                land++;
    int n = (int)((float)land / (float)MAP_COLUMNS * 4.0f + 3.0f);
    if (n > 7)
        n = 7;
    srv_tc_owned[0] = srv_tc_owned[1] = 0;
    mode_objective_count = (uint32_t)n;
    for (int i = 0; i < n; i++) {
        ObjectiveState *o = &mode_objectives[i];
        srv_objective_clear(o);
        MapRect r = {(512 / n) * i, 128, (512 / n) * (i + 1), 384};
        map_random_point_in_rect(&o->position, &r);
        if (i < n / 2)
            o->owner = TEAM_BLUE;
        else if (i > (n - 1) / 2)
            o->owner = TEAM_GREEN;
        else
            o->owner = TEAM_NEUTRAL;
        if (o->owner != TEAM_NEUTRAL)
            srv_tc_owned[o->owner]++;
        o->x0 = srv_clamp_coord((int32_t)(o->position.x - 32.0f));
        o->y0 = srv_clamp_coord((int32_t)(o->position.y - 32.0f));
        o->x1 = srv_clamp_coord((int32_t)(o->position.x + 32.0f));
        o->y1 = srv_clamp_coord((int32_t)(o->position.y + 32.0f));
    }
}

void srv_tc_fill_state(GameStateMsg *msg)
{
    msg->game_mode = GAME_MODE_TC;
    uint32_t n = mode_objective_count < MSG_TERRITORIES ? mode_objective_count : MSG_TERRITORIES;
    msg->tc.count = n;
    for (uint32_t i = 0; i < n; i++) {
        msg->tc.territory[i].pos = mode_objectives[i].position;
        msg->tc.territory[i].owner = mode_objectives[i].owner;
    }
}

void srv_tc_tick() {}

void srv_tc_rules(int64_t) {}

void srv_tc_spawn(PlayerRecord *player)
{
    if (!player || !team_is_playing(player->team))
        return;
    // The nearest owned territory (x and y), territory 0 when none is owned.
    int best = 0;
    float best_d = 0.0f;
    int found = 0;
    uint32_t count = mode_objective_count < OBJECTIVE_MAX ? mode_objective_count : OBJECTIVE_MAX;
    for (uint32_t i = 0; i < count; i++) {
        const ObjectiveState *o = &mode_objectives[i];
        if (o->owner != player->team)
            continue;
        float dx = o->position.x - player->position.x, dy = o->position.y - player->position.y;
        float d = dx * dx + dy * dy;
        if (!found || d < best_d) {
            best = (int)i;
            best_d = d;
            found = 1;
        }
    }
    const ObjectiveState *o = &mode_objectives[best];
    MapRect r = {o->x0, o->y0, o->x1, o->y1};
    Vec3 point;
    map_random_point_in_rect(&point, &r);
    player_respawn(player, &point);
    srv_send_spawn(player->id, &point, 0);
}
