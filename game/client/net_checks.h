// Checks of values from the wire, shared by both message pumps.
#pragma once
#include <cmath>
#include <cstdint>

#include "common/map_store.h"
#include "common/math_vec.h"
#include "common/player.h"
#include "common/protocol.h"

// How far outside the map a position from the wire may lie. No play comes
// near it; past it a finite value would still turn screen and map arithmetic
// (minimap, sectors, sounds) into numbers beyond the int range.
#define NET_POSITION_MARGIN 1024.0f

inline bool net_vec_finite(const Vec3 *v) { return std::isfinite(v->x) && std::isfinite(v->y) && std::isfinite(v->z); }
// A position inside the map or within NET_POSITION_MARGIN of it (so finite).
inline bool net_position(const Vec3 *v)
{
    const float m = NET_POSITION_MARGIN;
    return v->x >= -m && v->x <= MAP_SIZE + m && v->y >= -m && v->y <= MAP_SIZE + m && v->z >= -m &&
           v->z <= MAP_DEPTH + m;
}
inline bool net_player_id(int id) { return id >= 0 && id < PLAYER_MAX; }
// A team a spawned or announced player may have: spectator, 0 or 1.
inline bool net_joined_team(int team) { return team >= TEAM_SPECTATOR && team <= TEAM_GREEN; }
// A block cell inside the map (x, y 0..511, z 0..63).
inline bool net_cell_in_map(int32_t x, int32_t y, int32_t z)
{
    return x >= 0 && x < MAP_SIZE && y >= 0 && y < MAP_SIZE && z >= 0 && z < MAP_DEPTH;
}

// Decodes a MSG_PLAYER_SPAWN and checks its player, team, weapon and
// position. 1 when *m may be applied.
inline bool net_read_spawn(const uint8_t *data, size_t len, PlayerSpawnMsg *m)
{
    return msg_decode_player_spawn(data, len, m) == MSG_OK && net_player_id(m->player) && net_joined_team(m->team) &&
           weapon_is_valid(m->weapon) && net_position(&m->pos);
}
