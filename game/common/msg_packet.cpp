// The codec applied to ENet packets: type of a received packet, readers, and
// packets for sending.
#include <enet/enet.h>

#include "common/protocol.h"

int msg_type_bytes(const uint8_t *data, size_t len)
{
    if (!data || len < 2) return MSG_NONE;
    return data[0];
}

int msg_type(const ENetPacket *packet)
{
    if (!packet) return MSG_NONE;
    return msg_type_bytes(packet->data, packet->dataLength);
}

ENetPacket *msg_make_packet(const uint8_t *buf, int len)
{
    if (!buf || len < 1 || len > MSG_MAX_SIZE) return nullptr;
    return enet_packet_create(buf, (size_t)len, msg_packet_flags(buf[0]));
}

int msg_chat_length(const ChatMsg *m)
{
    if (!m) return 4;
    size_t n = 0;
    while (n < MSG_CHAT_MAX_TEXT && m->text[n]) n++;
    return (int)n + 4;
}

#define MSG_READER(name, Rec)                                                         \
    int msg_read_##name(const ENetPacket *p, Rec *out)                                \
    {                                                                                 \
        if (!out) return MSG_ERR_NO_RECORD;                                           \
        if (!p) {                                                                     \
            *out = Rec{};                                                             \
            return MSG_ERR_NO_PACKET;                                                 \
        }                                                                             \
        return msg_decode_##name(p->data, p->dataLength, out);                        \
    }

MSG_READER(position, PositionMsg)
MSG_READER(orient, OrientMsg)
MSG_READER(world_update, WorldUpdateMsg)
MSG_READER(move_keys, MoveKeysMsg)
MSG_READER(fire_keys, FireKeysMsg)
MSG_READER(hit_claim, HitClaimMsg)
MSG_READER(health, HealthMsg)
MSG_READER(grenade, GrenadeMsg)
MSG_READER(tool, ToolMsg)
MSG_READER(colour, ColourMsg)
MSG_READER(player_info, PlayerInfoMsg)
MSG_READER(rejoin, RejoinMsg)
MSG_READER(objective_move, ObjectiveMoveMsg)
MSG_READER(player_spawn, PlayerSpawnMsg)
MSG_READER(block_action, BlockActionMsg)
MSG_READER(block_line, BlockLineMsg)
MSG_READER(game_state, GameStateMsg)
MSG_READER(kill, KillMsg)
MSG_READER(chat, ChatMsg)
MSG_READER(map_begin, MapBeginMsg)
MSG_READER(map_chunk, MapChunkMsg)
MSG_READER(player_left, PlayerLeftMsg)
MSG_READER(territory_taken, TerritoryTakenMsg)
MSG_READER(capture_progress, CaptureProgressMsg)
MSG_READER(intel_scored, IntelScoredMsg)
MSG_READER(intel_taken, IntelTakenMsg)
MSG_READER(intel_dropped, IntelDroppedMsg)
MSG_READER(resupply, ResupplyMsg)
MSG_READER(reload, ReloadMsg)
MSG_READER(team_change, TeamChangeMsg)
MSG_READER(weapon_change, WeaponChangeMsg)
