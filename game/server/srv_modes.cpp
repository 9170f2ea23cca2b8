// Routines both game modes share, and their callback tables.
#include "server/srv_modes.h"

#include <cmath>

#include "common/map_query.h"
#include "common/mode_objective.h"
#include "server/srv_send.h"
#include "server/srv_state.h"

int srv_near_objective(const PlayerRecord *p, const ObjectiveState *o)
{
    return fabsf(p->eye.x - o->position.x) < 2.0f && fabsf(p->eye.y - o->position.y) < 2.0f &&
           fabsf(p->eye.z - (o->position.z - 2.25f)) < 2.0f;
}

int srv_drop_object(int index)
{
    if (index < 0 || (uint32_t)index >= mode_objective_count || index >= OBJECTIVE_MAX)
        return 0;
    ObjectiveState *o = &mode_objectives[index];
    int32_t x = (int32_t)o->position.x, y = (int32_t)o->position.y, z = (int32_t)o->position.z;
    if (map_is_solid(x, y, z - 1)) {
        o->position.z -= 1.0f;
        return 1;
    }
    if (map_is_solid(x, y, z))
        return 0;
    o->position.z += 1.0f;
    return 1;
}

void srv_send_objective_move(int index)
{
    if (index < 0 || index >= OBJECTIVE_MAX)
        return;
    const ObjectiveState *o = &mode_objectives[index];
    ObjectiveMoveMsg m = {(uint8_t)index, srv_mode_flag == GAME_MODE_TC ? o->owner : 0, o->position};
    uint8_t buf[MSG_MAX_SIZE];
    srv_send_all(srv_packet(buf, msg_write_objective_move(buf, sizeof buf, &m)));
}
