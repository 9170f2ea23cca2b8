// Encoders: records to wire bytes at the protocol's fixed offsets.
#include <cstring>

#include "common/byteio.h"
#include "common/protocol.h"

// Zero the message's bytes so fields without meaning go out as zeros.
static uint8_t *msg_begin(uint8_t *buf, size_t cap, size_t size, uint8_t id)
{
    if (!buf || cap < size) return nullptr;
    memset(buf, 0, size);
    buf[0] = id;
    return buf;
}

static void put_vec3(uint8_t *p, const Vec3 &v)
{
    le_put_f32(p, v.x);
    le_put_f32(p + 4, v.y);
    le_put_f32(p + 8, v.z);
}

// Blue, green, red: the low three bytes of 0x00RRGGBB, least significant first.
static void put_colour(uint8_t *p, uint32_t c)
{
    p[0] = (uint8_t)c;
    p[1] = (uint8_t)(c >> 8);
    p[2] = (uint8_t)(c >> 16);
}

static size_t text_len(const char *s, size_t max)
{
    size_t n = 0;
    while (n < max && s[n]) n++;
    return n;
}

int msg_write_position(uint8_t *buf, size_t cap, const PositionMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 13, MSG_POSITION);
    if (!p) return 0;
    put_vec3(p + 1, m->pos);
    return 13;
}

int msg_write_orient(uint8_t *buf, size_t cap, const OrientMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 13, MSG_ORIENT);
    if (!p) return 0;
    put_vec3(p + 1, m->forward);
    return 13;
}

int msg_write_world_update(uint8_t *buf, size_t cap, const WorldUpdateMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 769, MSG_WORLD_UPDATE);
    if (!p) return 0;
    for (int i = 0; i < MSG_PLAYERS; i++) {
        put_vec3(p + 1 + 24 * i, m->slot[i].pos);
        put_vec3(p + 13 + 24 * i, m->slot[i].forward);
    }
    return 769;
}

static int write_keys(uint8_t *buf, size_t cap, uint8_t id, uint8_t player, uint32_t keys)
{
    uint8_t *p = msg_begin(buf, cap, 6, id);
    if (!p) return 0;
    p[1] = player;
    le_put_u32(p + 2, keys);
    return 6;
}

int msg_write_move_keys(uint8_t *buf, size_t cap, const MoveKeysMsg *m)
{
    return write_keys(buf, cap, MSG_MOVE_KEYS, m->player, m->keys);
}

int msg_write_fire_keys(uint8_t *buf, size_t cap, const FireKeysMsg *m)
{
    return write_keys(buf, cap, MSG_FIRE_KEYS, m->player, m->keys);
}

int msg_write_hit_claim(uint8_t *buf, size_t cap, const HitClaimMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 3, MSG_HIT);
    if (!p) return 0;
    p[1] = m->target;
    p[2] = m->hit_type;
    return 3;
}

int msg_write_health(uint8_t *buf, size_t cap, const HealthMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 15, MSG_HIT);
    if (!p) return 0;
    p[1] = m->health;
    p[2] = m->has_source ? 1 : 0;
    if (m->has_source) put_vec3(p + 3, m->source);
    return 15;
}

int msg_write_grenade(uint8_t *buf, size_t cap, const GrenadeMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 30, MSG_GRENADE);
    if (!p) return 0;
    p[1] = m->player;
    le_put_f32(p + 2, m->fuse);
    put_vec3(p + 6, m->pos);
    put_vec3(p + 18, m->vel);
    return 30;
}

int msg_write_tool(uint8_t *buf, size_t cap, const ToolMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 3, MSG_TOOL);
    if (!p) return 0;
    p[1] = m->player;
    p[2] = m->tool;
    return 3;
}

int msg_write_colour(uint8_t *buf, size_t cap, const ColourMsg *m)
{
    if (m->id != MSG_BLOCK_COLOUR && m->id != MSG_FOG_COLOUR) return 0;
    uint8_t *p = msg_begin(buf, cap, 5, m->id);
    if (!p) return 0;
    p[1] = m->player;
    put_colour(p + 2, m->colour);
    return 5;
}

int msg_write_player_info(uint8_t *buf, size_t cap, const PlayerInfoMsg *m)
{
    size_t n = text_len(m->name, MSG_NAME_SIZE - 1);
    uint8_t *p = msg_begin(buf, cap, 13 + n, MSG_PLAYER_INFO);
    if (!p) return 0;
    p[1] = m->player;
    p[2] = (uint8_t)m->team;
    p[3] = m->weapon;
    p[4] = m->tool;
    le_put_u32(p + 5, m->kills);
    put_colour(p + 9, m->colour);
    memcpy(p + 12, m->name, n);
    return (int)(13 + n);
}

int msg_write_rejoin(uint8_t *buf, size_t cap, const RejoinMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 4, MSG_REJOIN);
    if (!p) return 0;
    p[1] = m->player;
    p[2] = (uint8_t)m->team;
    p[3] = m->weapon;
    return 4;
}

int msg_write_objective_move(uint8_t *buf, size_t cap, const ObjectiveMoveMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 15, MSG_OBJECTIVE_MOVE);
    if (!p) return 0;
    p[1] = m->index;
    p[2] = (uint8_t)m->owner;
    put_vec3(p + 3, m->pos);
    return 15;
}

int msg_write_player_spawn(uint8_t *buf, size_t cap, const PlayerSpawnMsg *m)
{
    size_t n = m->has_name ? text_len(m->name, MSG_NAME_SIZE - 1) : 0;
    size_t size = m->has_name ? 17 + n : 16;
    uint8_t *p = msg_begin(buf, cap, size, MSG_PLAYER_SPAWN);
    if (!p) return 0;
    p[1] = m->player;
    p[2] = m->weapon;
    p[3] = (uint8_t)m->team;
    put_vec3(p + 4, m->pos);
    if (m->has_name) memcpy(p + 16, m->name, n);
    return (int)size;
}

int msg_write_block_action(uint8_t *buf, size_t cap, const BlockActionMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 15, MSG_BLOCK_ACTION);
    if (!p) return 0;
    p[1] = m->player;
    p[2] = m->kind;
    le_put_i32(p + 3, m->x);
    le_put_i32(p + 7, m->y);
    le_put_i32(p + 11, m->z);
    return 15;
}

int msg_write_block_line(uint8_t *buf, size_t cap, const BlockLineMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 26, MSG_BLOCK_LINE);
    if (!p) return 0;
    p[1] = m->player;
    for (int i = 0; i < 3; i++) {
        le_put_i32(p + 2 + 4 * i, m->start[i]);
        le_put_i32(p + 14 + 4 * i, m->end[i]);
    }
    return 26;
}

int msg_write_game_state(uint8_t *buf, size_t cap, const GameStateMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 244, MSG_GAME_STATE);
    if (!p) return 0;
    p[1] = m->player;
    put_colour(p + 2, m->fog_colour);
    put_colour(p + 5, m->team_colour[0]);
    put_colour(p + 8, m->team_colour[1]);
    p[11] = m->game_mode;
    if (m->game_mode == GAME_MODE_CTF) {
        const CtfState &c = m->ctf;
        le_put_u32(p + 12, c.score[0]);
        le_put_u32(p + 16, c.score[1]);
        le_put_u32(p + 20, c.capture_limit);
        le_put_u32(p + 24, c.flags);
        const uint32_t carried[2] = {CTF_INTEL0_CARRIED, CTF_INTEL1_CARRIED};
        for (int i = 0; i < 2; i++) {
            if (c.flags & carried[i])
                p[28 + 12 * i] = c.carrier[i];
            else
                put_vec3(p + 28 + 12 * i, c.intel[i]);
            put_vec3(p + 52 + 12 * i, c.base[i]);
        }
    } else {
        uint32_t count = m->tc.count > MSG_TERRITORIES ? MSG_TERRITORIES : m->tc.count;
        for (uint32_t i = 0; i < count; i++) {
            put_vec3(p + 12 + 13 * i, m->tc.territory[i].pos);
            p[24 + 13 * i] = (uint8_t)m->tc.territory[i].owner;
        }
        le_put_u32(p + 220, count);
    }
    for (int t = 0; t < 2; t++)
        memcpy(p + 224 + 10 * t, m->team_name[t], text_len(m->team_name[t], MSG_TEAM_NAME_SIZE - 1));
    return 244;
}

int msg_write_kill(uint8_t *buf, size_t cap, const KillMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 5, MSG_KILL);
    if (!p) return 0;
    p[1] = m->victim;
    p[2] = m->killer;
    p[3] = m->kill_type;
    p[4] = m->respawn_seconds;
    return 5;
}

int msg_write_chat(uint8_t *buf, size_t cap, const ChatMsg *m)
{
    size_t n = text_len(m->text, MSG_CHAT_MAX_TEXT);
    uint8_t *p = msg_begin(buf, cap, 4 + n, MSG_CHAT);
    if (!p) return 0;
    p[1] = m->player;
    p[2] = m->chat_type;
    memcpy(p + 3, m->text, n);
    return (int)(4 + n);
}

int msg_write_map_begin(uint8_t *buf, size_t cap, const MapBeginMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 5, MSG_MAP_BEGIN);
    if (!p) return 0;
    le_put_u32(p + 1, m->length);
    return 5;
}

int msg_write_map_chunk(uint8_t *buf, size_t cap, const MapChunkMsg *m)
{
    if (!m->data || m->length < 1 || m->length > MSG_MAP_CHUNK_MAX_DATA) return 0;
    uint8_t *p = msg_begin(buf, cap, 1 + m->length, MSG_MAP_CHUNK);
    if (!p) return 0;
    memmove(p + 1, m->data, m->length);
    return (int)(1 + m->length);
}

static int write_player_only(uint8_t *buf, size_t cap, uint8_t id, uint8_t player)
{
    uint8_t *p = msg_begin(buf, cap, 2, id);
    if (!p) return 0;
    p[1] = player;
    return 2;
}

int msg_write_player_left(uint8_t *buf, size_t cap, const PlayerLeftMsg *m)
{
    return write_player_only(buf, cap, MSG_PLAYER_LEFT, m->player);
}

int msg_write_territory_taken(uint8_t *buf, size_t cap, const TerritoryTakenMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 4, MSG_TERRITORY_TAKEN);
    if (!p) return 0;
    p[1] = m->index;
    p[2] = m->wins;
    p[3] = (uint8_t)m->team;
    return 4;
}

int msg_write_capture_progress(uint8_t *buf, size_t cap, const CaptureProgressMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 8, MSG_CAPTURE_PROGRESS);
    if (!p) return 0;
    p[1] = m->index;
    p[2] = (uint8_t)m->team;
    p[3] = (uint8_t)m->rate;
    le_put_f32(p + 4, m->progress);
    return 8;
}

int msg_write_intel_scored(uint8_t *buf, size_t cap, const IntelScoredMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 3, MSG_INTEL_SCORED);
    if (!p) return 0;
    p[1] = m->player;
    p[2] = m->wins;
    return 3;
}

int msg_write_intel_taken(uint8_t *buf, size_t cap, const IntelTakenMsg *m)
{
    return write_player_only(buf, cap, MSG_INTEL_TAKEN, m->player);
}

int msg_write_intel_dropped(uint8_t *buf, size_t cap, const IntelDroppedMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 14, MSG_INTEL_DROPPED);
    if (!p) return 0;
    p[1] = m->player;
    put_vec3(p + 2, m->pos);
    return 14;
}

int msg_write_resupply(uint8_t *buf, size_t cap, const ResupplyMsg *m)
{
    return write_player_only(buf, cap, MSG_RESUPPLY, m->player);
}

int msg_write_reload(uint8_t *buf, size_t cap, const ReloadMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 4, MSG_RELOAD);
    if (!p) return 0;
    p[1] = m->player;
    p[2] = m->magazine;
    p[3] = m->reserve;
    return 4;
}

int msg_write_team_change(uint8_t *buf, size_t cap, const TeamChangeMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 3, MSG_TEAM_CHANGE);
    if (!p) return 0;
    p[1] = m->player;
    p[2] = (uint8_t)m->team;
    return 3;
}

int msg_write_weapon_change(uint8_t *buf, size_t cap, const WeaponChangeMsg *m)
{
    uint8_t *p = msg_begin(buf, cap, 3, MSG_WEAPON_CHANGE);
    if (!p) return 0;
    p[1] = m->player;
    p[2] = m->weapon;
    return 3;
}
