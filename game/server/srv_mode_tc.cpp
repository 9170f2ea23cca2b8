// Territory control: the team with more players on a territory pushes its
// capture; a team that leaves the other none wins.
#include <cmath>
#include <cstring>

#include "common/map_query.h"
#include "common/map_store.h"
#include "common/mode_objective.h"
#include "server/srv_rules.h"
#include "server/srv_join.h"
#include "server/srv_modes.h"
#include "server/srv_send.h"
#include "server/srv_state.h"

uint32_t srv_tc_owned[2];

// Counted on a territory: eye within this on x and on y.
#define TC_REACH 16.0f

static int32_t srv_tc_clamp(float v)
{
    if (!(v > 0.0f))
        return 0;
    if (v > 511.0f)
        return 511;
    return (int32_t)v;
}

int srv_tc_territory_count()
{
    int land = 0;
    for (int y = 0; y < MAP_SIZE; y++)
        for (int x = 0; x < MAP_SIZE; x++)
            if (map_ground_z(x, y) < 63)
                land++;
    int n = (int)((float)land / (float)MAP_COLUMNS * 4.0f + 3.0f);
    if (n < TC_TERRITORIES_MIN)
        n = TC_TERRITORIES_MIN;
    if (n > TC_TERRITORIES_MAX)
        n = TC_TERRITORIES_MAX;
    return n;
}

static void srv_tc_send_progress(int index, int player)
{
    const ObjectiveState *o = &mode_objectives[index];
    CaptureProgressMsg m = {(uint8_t)index, o->capturing_team, (int8_t)o->rate, o->progress};
    uint8_t buf[MSG_MAX_SIZE];
    srv_send_player_or_all(player, srv_packet(buf, msg_write_capture_progress(buf, sizeof buf, &m)));
}

// The territories on which the clients show progress: they advance a bar
// from the last MSG_CAPTURE_PROGRESS themselves, so a progress above 0 is on
// every screen until the server says otherwise.
static uint32_t srv_tc_bars_shown()
{
    uint32_t shown = 0;
    for (uint32_t i = 0; i < mode_objective_count && i < OBJECTIVE_MAX; i++)
        if (mode_objectives[i].progress > 0.0f)
            shown |= 1u << i;
    return shown;
}

// Sends the bars in `shown` as the server holds them: to `player`, or to all
// at -1.
static void srv_tc_send_shown(uint32_t shown, int player)
{
    for (int i = 0; i < OBJECTIVE_MAX; i++)
        if (shown & (1u << i))
            srv_tc_send_progress(i, player);
}

// Lays out n territories for a new round, then tells the clients the new
// state of the bars in `shown`, which they would otherwise go on filling.
static void srv_tc_layout(int n, uint32_t shown)
{
    if (n < TC_TERRITORIES_MIN)
        n = TC_TERRITORIES_MIN;
    if (n > TC_TERRITORIES_MAX)
        n = TC_TERRITORIES_MAX;
    memset(mode_objectives, 0, sizeof mode_objectives);
    mode_objective_count = (uint32_t)n;
    srv_tc_owned[0] = srv_tc_owned[1] = 0;
    int width = MAP_SIZE / n;
    for (int i = 0; i < n; i++) {
        ObjectiveState *o = &mode_objectives[i];
        MapRect r = {width * i, 128, width * (i + 1), 384};
        map_random_point_in_rect(&o->position, &r);
        if (i < n / 2)
            o->owner = TEAM_BLUE;
        else if (i > (n - 1) / 2)
            o->owner = TEAM_GREEN;
        else
            o->owner = TEAM_NEUTRAL;
        if (o->owner != TEAM_NEUTRAL)
            srv_tc_owned[o->owner]++;
        o->rate = 0;
        o->progress = 0.0f;
        // The attacker of an owned territory is fixed (the rules give it at
        // once); a neutral one has none until a team leads on it.
        o->capturing_team = o->owner == TEAM_NEUTRAL ? TEAM_NEUTRAL : 1 - o->owner;
        o->inside[0] = o->inside[1] = 0;
        o->x0 = srv_tc_clamp(o->position.x - 32.0f);
        o->y0 = srv_tc_clamp(o->position.y - 32.0f);
        o->x1 = srv_tc_clamp(o->position.x + 32.0f);
        o->y1 = srv_tc_clamp(o->position.y + 32.0f);
    }
    srv_tc_send_shown(shown, -1);
}

// At start and at a map change, when every client is sent the game state:
// the only moments the number of territories may change.
void srv_tc_reset()
{
    srv_tc_layout(srv_tc_territory_count(), srv_tc_bars_shown());
}

void srv_tc_send_bars(int player) { srv_tc_send_shown(srv_tc_bars_shown(), player); }

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

void srv_tc_tick()
{
    for (uint32_t i = 0; i < mode_objective_count && i < OBJECTIVE_MAX; i++)
        if (srv_drop_object((int)i))
            srv_send_objective_move((int)i);
}

void srv_tc_rules(int64_t t)
{
    uint32_t n = mode_objective_count < OBJECTIVE_MAX ? mode_objective_count : OBJECTIVE_MAX;
    for (uint32_t i = 0; i < n; i++) {
        ObjectiveState *o = &mode_objectives[i];
        o->inside[0] = o->inside[1] = 0;
        for (int j = 0; j < PLAYER_MAX; j++) {
            if (!srv_player_in_game(j))
                continue;
            const PlayerRecord *p = &player_table[j];
            if (!(fabsf(p->eye.x - o->position.x) < TC_REACH && fabsf(p->eye.y - o->position.y) < TC_REACH))
                continue;
            o->inside[p->team]++;
            if (srv_near_objective(p, o))
                srv_restock_at_base(j, t);
        }
        int rate;
        int changed_hands = 0; // the clients cannot work this out themselves
        if (o->owner == TEAM_NEUTRAL) {
            if (o->inside[0] != o->inside[1]) {
                int team = o->inside[0] > o->inside[1] ? TEAM_BLUE : TEAM_GREEN;
                rate = o->inside[team] - o->inside[1 - team];
                if (team != o->capturing_team) {
                    o->progress = 0.0f;
                    o->capturing_team = team;
                    changed_hands = 1;
                }
            } else {
                rate = 0;
            }
        } else {
            int owner = o->owner == TEAM_GREEN ? TEAM_GREEN : TEAM_BLUE;
            o->capturing_team = 1 - owner;
            rate = o->inside[1 - owner] - o->inside[owner];
        }
        if ((rate != o->rate || changed_hands) && (o->progress > 0.0f || rate > 0)) {
            o->rate = rate;
            srv_tc_send_progress((int)i, -1);
        }
    }
    mode_advance_capture();
    srv_tc_capture();
}

// A new round on the same map, with as many territories as the clients were
// told of in the game state.
static void srv_tc_win(int index, int owner)
{
    uint8_t buf[MSG_MAX_SIZE];
    // The won territory's bar stands full on the clients.
    srv_tc_layout((int)mode_objective_count, srv_tc_bars_shown() | 1u << index);
    TerritoryTakenMsg m = {(uint8_t)index, 1, owner};
    srv_send_all(srv_packet(buf, msg_write_territory_taken(buf, sizeof buf, &m)));
    for (uint32_t i = 0; i < mode_objective_count && i < OBJECTIVE_MAX; i++)
        srv_send_objective_move((int)i);
    for (int j = 0; j < PLAYER_MAX; j++)
        if (srv_player_in_game(j))
            srv_tc_spawn(&player_table[j]);
}

void srv_tc_capture()
{
    uint32_t n = mode_objective_count < OBJECTIVE_MAX ? mode_objective_count : OBJECTIVE_MAX;
    for (uint32_t i = 0; i < n; i++) {
        ObjectiveState *o = &mode_objectives[i];
        if (o->rate <= 0 || o->progress < 1.0f)
            continue;
        if (!team_is_playing(o->capturing_team))
            continue;
        o->progress = 0.0f;
        o->rate = 0;
        if (team_is_playing(o->owner))
            srv_tc_owned[o->owner]--;
        o->owner = o->capturing_team;
        srv_tc_owned[o->owner]++;
        o->capturing_team = 1 - o->owner;
        int others = 0;
        for (uint32_t k = 0; k < n; k++)
            if (team_is_playing(mode_objectives[k].owner) && mode_objectives[k].owner != o->owner)
                others++;
        if (others == 0) {
            srv_tc_win((int)i, o->owner);
            return;
        }
        TerritoryTakenMsg m = {(uint8_t)i, 0, o->owner};
        uint8_t buf[MSG_MAX_SIZE];
        srv_send_all(srv_packet(buf, msg_write_territory_taken(buf, sizeof buf, &m)));
        // The clients' bar stands full: it is empty again, for the new attacker.
        srv_tc_send_progress((int)i, -1);
    }
}

int srv_tc_spawn_territory(const PlayerRecord *player)
{
    uint32_t n = mode_objective_count < OBJECTIVE_MAX ? mode_objective_count : OBJECTIVE_MAX;
    if (n == 0)
        return -1;
    int best = -1;
    float best_d2 = 0.0f;
    for (uint32_t i = 0; i < n; i++) {
        const ObjectiveState *o = &mode_objectives[i];
        if (o->owner != player->team)
            continue;
        float dx = o->position.x - player->position.x;
        float dy = o->position.y - player->position.y;
        float d2 = dx * dx + dy * dy;
        if (best < 0 || d2 < best_d2) {
            best = (int)i;
            best_d2 = d2;
        }
    }
    return best < 0 ? 0 : best;
}

void srv_tc_spawn(PlayerRecord *player)
{
    if (!player || !team_is_playing(player->team))
        return;
    int i = srv_tc_spawn_territory(player);
    if (i < 0)
        return;
    const ObjectiveState *o = &mode_objectives[i];
    MapRect r = {o->x0, o->y0, o->x1, o->y1};
    Vec3 point;
    map_random_point_in_rect(&point, &r);
    if (!player_respawn(player, &point))
        return;
    srv_send_spawn(player->id, &point, 0);
}
