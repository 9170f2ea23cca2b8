// Round reset and the tick's rule passes.
#include "server/srv_rules.h"

#include <cstring>

#include "common/map_edit.h"
#include "server/srv_send.h"
#include "server/srv_state.h"

void srv_reset_players()
{
    for (int i = 0; i < PLAYER_MAX; i++) {
        player_table[i].team = TEAM_NONE;
        player_table[i].kills = 0;
    }
    if (srv_work_area)
        map_edit_set_scratch(srv_work_area, SRV_WORK_AREA_SIZE);
    srv_vote.target = -1;
    srv_vote.deadline = 0;
    srv_vote.votes = 0;
    srv_vote.voter_count = 0;
    srv_map_change_time = 0;
}

void srv_send_world_update()
{
    WorldUpdateMsg m;
    memset(&m, 0, sizeof m);
    for (int i = 0; i < PLAYER_MAX; i++) {
        const PlayerRecord *p = &player_table[i];
        if (!p->present || !team_is_playing(p->team) || !p->alive)
            continue;
        m.slot[i].pos = p->position;
        m.slot[i].forward = p->forward;
    }
    uint8_t buf[MSG_MAX_SIZE];
    srv_send_all(srv_packet(buf, msg_write_world_update(buf, sizeof buf, &m)));
}

void srv_tick_players(int64_t t)
{
    if (srv_mode.rules)
        srv_mode.rules(t);
    if (srv_now >= srv_next_world_update) {
        srv_next_world_update = srv_now + 0.1f;
        srv_send_world_update();
    }
}

void srv_update_grenades() {}

void srv_world_step() {}

void srv_drop_intel(int) {}
