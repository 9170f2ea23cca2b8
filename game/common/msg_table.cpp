// The id -> size, limit and delivery table of the game protocol.
#include <enet/enet.h>

#include "common/protocol.h"

// {name, reliable, to-server min, to-server limit, to-client min, to-client limit}
static const MsgInfo msg_table[MSG_COUNT] = {
    {"MSG_POSITION", 0, 13, 13, 13, 13},
    {"MSG_ORIENT", 0, 13, 13, 0, 0},
    {"MSG_WORLD_UPDATE", 0, 0, 0, 769, 769},
    {"MSG_MOVE_KEYS", 1, 6, 6, 6, 6},
    {"MSG_FIRE_KEYS", 1, 6, 6, 6, 6},
    {"MSG_HIT", 1, 3, 3, 15, 15},
    {"MSG_GRENADE", 1, 30, 30, 30, 30},
    {"MSG_TOOL", 1, 3, 3, 3, 3},
    {"MSG_BLOCK_COLOUR", 1, 5, 5, 5, 5},
    {"MSG_PLAYER_INFO", 1, 13, 28, 13, 28},
    {"MSG_REJOIN", 1, 4, 4, 0, 0},
    {"MSG_OBJECTIVE_MOVE", 1, 0, 0, 15, 15},
    {"MSG_PLAYER_SPAWN", 1, 0, 0, 16, 32},
    {"MSG_BLOCK_ACTION", 1, 15, 15, 15, 15},
    {"MSG_BLOCK_LINE", 1, 26, 26, 26, 26},
    {"MSG_GAME_STATE", 1, 0, 0, 244, 244},
    {"MSG_KILL", 1, 0, 0, 5, 5},
    {"MSG_CHAT", 1, 4, 112, 4, 112},
    {"MSG_MAP_BEGIN", 1, 0, 0, 5, 5},
    {"MSG_MAP_CHUNK", 1, 0, 0, 2, 1024},
    {"MSG_PLAYER_LEFT", 1, 0, 0, 2, 2},
    {"MSG_TERRITORY_TAKEN", 1, 0, 0, 4, 4},
    {"MSG_CAPTURE_PROGRESS", 1, 0, 0, 8, 8},
    {"MSG_INTEL_SCORED", 1, 0, 0, 3, 3},
    {"MSG_INTEL_TAKEN", 1, 0, 0, 2, 2},
    {"MSG_INTEL_DROPPED", 1, 0, 0, 14, 14},
    {"MSG_RESUPPLY", 1, 0, 0, 2, 2},
    {"MSG_FOG_COLOUR", 1, 5, 5, 5, 5},
    {"MSG_RELOAD", 1, 4, 4, 4, 4},
    {"MSG_TEAM_CHANGE", 1, 3, 3, 0, 0},
    {"MSG_WEAPON_CHANGE", 1, 3, 3, 0, 0},
};

const MsgInfo *msg_info(int id)
{
    if (id < 0 || id >= MSG_COUNT) return nullptr;
    return &msg_table[id];
}

int msg_min_size(int id, MsgDir dir)
{
    const MsgInfo *i = msg_info(id);
    if (!i) return 0;
    return dir == MSG_TO_SERVER ? i->to_server_min : i->to_client_min;
}

int msg_limit(int id, MsgDir dir)
{
    const MsgInfo *i = msg_info(id);
    if (!i) return 0;
    return dir == MSG_TO_SERVER ? i->to_server_limit : i->to_client_limit;
}

int msg_check_length(int id, MsgDir dir, size_t len)
{
    int limit = msg_limit(id, dir);
    if (limit == 0) return MSG_ERR_WRONG_ID;
    if (len > (size_t)limit) return MSG_ERR_TOO_LONG;
    if (len < (size_t)msg_min_size(id, dir)) return MSG_ERR_TOO_SHORT;
    return MSG_OK;
}

uint32_t msg_packet_flags(int id)
{
    const MsgInfo *i = msg_info(id);
    if (i && !i->reliable) return ENET_PACKET_FLAG_UNSEQUENCED;
    return ENET_PACKET_FLAG_RELIABLE;
}
