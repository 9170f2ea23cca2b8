// Test-side view of the codec: one row per reader, so table tests and the
// fuzz loop can drive every decoder and encoder the same way.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/protocol.h"

// Decodes data into a record of the row's type and, when that succeeded,
// encodes the record again into out (MSG_MAX_SIZE bytes). Returns the decode
// result; *out_len is the re-encoded length (0 when not encoded).
typedef int (*MsgRoundTrip)(const uint8_t *data, size_t len, uint8_t *out, int *out_len);

struct MsgOps {
    const char *reader;
    int id;
    MsgDir dir;
    int min_size;  // expected, written from the protocol's table, not read from the code
    int limit;
    MsgRoundTrip round_trip;
};

template <class Rec, int (*Dec)(const uint8_t *, size_t, Rec *), int (*Enc)(uint8_t *, size_t, const Rec *)>
int msg_test_round_trip(const uint8_t *data, size_t len, uint8_t *out, int *out_len)
{
    Rec r;
    int res = Dec(data, len, &r);
    *out_len = res == MSG_OK ? Enc(out, MSG_MAX_SIZE, &r) : 0;
    return res;
}

#define MSG_OPS(reader, id, dir, min, limit, Rec, name) \
    {reader, id, dir, min, limit, msg_test_round_trip<Rec, msg_decode_##name, msg_write_##name>}

inline const std::vector<MsgOps> &msg_test_ops()
{
    static const std::vector<MsgOps> ops = {
        MSG_OPS("position", 0, MSG_TO_SERVER, 13, 13, PositionMsg, position),
        MSG_OPS("orient", 1, MSG_TO_SERVER, 13, 13, OrientMsg, orient),
        MSG_OPS("world_update", 2, MSG_TO_CLIENT, 769, 769, WorldUpdateMsg, world_update),
        MSG_OPS("move_keys", 3, MSG_TO_SERVER, 6, 6, MoveKeysMsg, move_keys),
        MSG_OPS("fire_keys", 4, MSG_TO_SERVER, 6, 6, FireKeysMsg, fire_keys),
        MSG_OPS("hit_claim", 5, MSG_TO_SERVER, 3, 3, HitClaimMsg, hit_claim),
        MSG_OPS("health", 5, MSG_TO_CLIENT, 15, 15, HealthMsg, health),
        MSG_OPS("grenade", 6, MSG_TO_SERVER, 30, 30, GrenadeMsg, grenade),
        MSG_OPS("tool", 7, MSG_TO_SERVER, 3, 3, ToolMsg, tool),
        MSG_OPS("block_colour", 8, MSG_TO_SERVER, 5, 5, ColourMsg, colour),
        MSG_OPS("player_info", 9, MSG_TO_SERVER, 13, 28, PlayerInfoMsg, player_info),
        MSG_OPS("rejoin", 10, MSG_TO_SERVER, 4, 4, RejoinMsg, rejoin),
        MSG_OPS("objective_move", 11, MSG_TO_CLIENT, 15, 15, ObjectiveMoveMsg, objective_move),
        MSG_OPS("player_spawn", 12, MSG_TO_CLIENT, 16, 32, PlayerSpawnMsg, player_spawn),
        MSG_OPS("block_action", 13, MSG_TO_SERVER, 15, 15, BlockActionMsg, block_action),
        MSG_OPS("block_line", 14, MSG_TO_SERVER, 26, 26, BlockLineMsg, block_line),
        MSG_OPS("game_state", 15, MSG_TO_CLIENT, 244, 244, GameStateMsg, game_state),
        MSG_OPS("kill", 16, MSG_TO_CLIENT, 5, 5, KillMsg, kill),
        MSG_OPS("chat", 17, MSG_TO_SERVER, 4, 112, ChatMsg, chat),
        MSG_OPS("map_begin", 18, MSG_TO_CLIENT, 5, 5, MapBeginMsg, map_begin),
        MSG_OPS("map_chunk", 19, MSG_TO_CLIENT, 2, 1024, MapChunkMsg, map_chunk),
        MSG_OPS("player_left", 20, MSG_TO_CLIENT, 2, 2, PlayerLeftMsg, player_left),
        MSG_OPS("territory_taken", 21, MSG_TO_CLIENT, 4, 4, TerritoryTakenMsg, territory_taken),
        MSG_OPS("capture_progress", 22, MSG_TO_CLIENT, 8, 8, CaptureProgressMsg, capture_progress),
        MSG_OPS("intel_scored", 23, MSG_TO_CLIENT, 3, 3, IntelScoredMsg, intel_scored),
        MSG_OPS("intel_taken", 24, MSG_TO_CLIENT, 2, 2, IntelTakenMsg, intel_taken),
        MSG_OPS("intel_dropped", 25, MSG_TO_CLIENT, 14, 14, IntelDroppedMsg, intel_dropped),
        MSG_OPS("resupply", 26, MSG_TO_CLIENT, 2, 2, ResupplyMsg, resupply),
        MSG_OPS("fog_colour", 27, MSG_TO_SERVER, 5, 5, ColourMsg, colour),
        MSG_OPS("reload", 28, MSG_TO_SERVER, 4, 4, ReloadMsg, reload),
        MSG_OPS("team_change", 29, MSG_TO_SERVER, 3, 3, TeamChangeMsg, team_change),
        MSG_OPS("weapon_change", 30, MSG_TO_SERVER, 3, 3, WeaponChangeMsg, weapon_change),
    };
    return ops;
}

// "0d 02 ff01..." -> bytes; blanks are ignored.
inline std::vector<uint8_t> msg_test_hex(const std::string &hex)
{
    std::vector<uint8_t> out;
    int hi = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else continue;
        if (hi < 0) hi = v;
        else { out.push_back((uint8_t)(hi * 16 + v)); hi = -1; }
    }
    return out;
}
