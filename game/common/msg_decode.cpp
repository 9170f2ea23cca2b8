// Decoders: received bytes to records. Every reader is total: it checks the
// length against the table before touching a field, zeroes the record first and
// ends every text inside its field.
#include <cstring>

#include "common/byteio.h"
#include "common/protocol.h"

template <class T>
static int dec_begin(const uint8_t *d, size_t len, T *out, int id, MsgDir dir)
{
    if (!out) return MSG_ERR_NO_RECORD;
    *out = T{};
    if (!d || len == 0) return MSG_ERR_NO_PACKET;
    if (d[0] != id) return MSG_ERR_WRONG_ID;
    return msg_check_length(id, dir, len);
}

static Vec3 get_vec3(const uint8_t *p) { return Vec3{le_get_f32(p), le_get_f32(p + 4), le_get_f32(p + 8)}; }
static uint32_t get_colour(const uint8_t *p) { return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16); }
static int32_t get_team(uint8_t b) { return (int8_t)b; }

// Copies up to avail bytes of text into a field of field bytes (record already
// zeroed), so the result always ends inside the field.
static void get_text(char *field, size_t field_size, const uint8_t *src, size_t avail)
{
    size_t n = avail < field_size - 1 ? avail : field_size - 1;
    size_t i = 0;
    for (; i < n && src[i]; i++) field[i] = (char)src[i];
    field[i] = 0;
}

int msg_decode_position(const uint8_t *d, size_t len, PositionMsg *out)
{
    int r = dec_begin(d, len, out, MSG_POSITION, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->pos = get_vec3(d + 1);
    return MSG_OK;
}

int msg_decode_orient(const uint8_t *d, size_t len, OrientMsg *out)
{
    int r = dec_begin(d, len, out, MSG_ORIENT, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->forward = get_vec3(d + 1);
    return MSG_OK;
}

int msg_decode_world_update(const uint8_t *d, size_t len, WorldUpdateMsg *out)
{
    int r = dec_begin(d, len, out, MSG_WORLD_UPDATE, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    for (int i = 0; i < MSG_PLAYERS; i++) {
        out->slot[i].pos = get_vec3(d + 1 + 24 * i);
        out->slot[i].forward = get_vec3(d + 13 + 24 * i);
    }
    return MSG_OK;
}

int msg_decode_move_keys(const uint8_t *d, size_t len, MoveKeysMsg *out)
{
    int r = dec_begin(d, len, out, MSG_MOVE_KEYS, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->keys = le_get_u32(d + 2);
    return MSG_OK;
}

int msg_decode_fire_keys(const uint8_t *d, size_t len, FireKeysMsg *out)
{
    int r = dec_begin(d, len, out, MSG_FIRE_KEYS, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->keys = le_get_u32(d + 2);
    return MSG_OK;
}

int msg_decode_hit_claim(const uint8_t *d, size_t len, HitClaimMsg *out)
{
    int r = dec_begin(d, len, out, MSG_HIT, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->target = d[1];
    out->hit_type = d[2];
    return MSG_OK;
}

int msg_decode_health(const uint8_t *d, size_t len, HealthMsg *out)
{
    int r = dec_begin(d, len, out, MSG_HIT, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->health = d[1];
    out->has_source = d[2] == 1;
    if (out->has_source) out->source = get_vec3(d + 3);
    return MSG_OK;
}

int msg_decode_grenade(const uint8_t *d, size_t len, GrenadeMsg *out)
{
    int r = dec_begin(d, len, out, MSG_GRENADE, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->fuse = le_get_f32(d + 2);
    out->pos = get_vec3(d + 6);
    out->vel = get_vec3(d + 18);
    return MSG_OK;
}

int msg_decode_tool(const uint8_t *d, size_t len, ToolMsg *out)
{
    int r = dec_begin(d, len, out, MSG_TOOL, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->tool = d[2];
    return MSG_OK;
}

int msg_decode_colour(const uint8_t *d, size_t len, ColourMsg *out)
{
    int id = (d && len > 0 && d[0] == MSG_FOG_COLOUR) ? MSG_FOG_COLOUR : MSG_BLOCK_COLOUR;
    int r = dec_begin(d, len, out, id, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->id = d[0];
    out->player = d[1];
    out->colour = get_colour(d + 2);
    return MSG_OK;
}

int msg_decode_player_info(const uint8_t *d, size_t len, PlayerInfoMsg *out)
{
    int r = dec_begin(d, len, out, MSG_PLAYER_INFO, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->team = get_team(d[2]);
    out->weapon = d[3];
    out->tool = d[4];
    out->kills = le_get_u32(d + 5);
    out->colour = get_colour(d + 9);
    get_text(out->name, sizeof out->name, d + 12, len - 12);
    return MSG_OK;
}

int msg_decode_rejoin(const uint8_t *d, size_t len, RejoinMsg *out)
{
    int r = dec_begin(d, len, out, MSG_REJOIN, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->team = get_team(d[2]);
    out->weapon = d[3];
    return MSG_OK;
}

int msg_decode_objective_move(const uint8_t *d, size_t len, ObjectiveMoveMsg *out)
{
    int r = dec_begin(d, len, out, MSG_OBJECTIVE_MOVE, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->index = d[1];
    out->owner = get_team(d[2]);
    out->pos = get_vec3(d + 3);
    return MSG_OK;
}

int msg_decode_player_spawn(const uint8_t *d, size_t len, PlayerSpawnMsg *out)
{
    int r = dec_begin(d, len, out, MSG_PLAYER_SPAWN, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->weapon = d[2];
    out->team = get_team(d[3]);
    out->pos = get_vec3(d + 4);
    if (len > 16) {
        out->has_name = 1;
        get_text(out->name, sizeof out->name, d + 16, len - 16);
    }
    return MSG_OK;
}

int msg_decode_block_action(const uint8_t *d, size_t len, BlockActionMsg *out)
{
    int r = dec_begin(d, len, out, MSG_BLOCK_ACTION, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->kind = d[2];
    out->x = le_get_i32(d + 3);
    out->y = le_get_i32(d + 7);
    out->z = le_get_i32(d + 11);
    return MSG_OK;
}

int msg_decode_block_line(const uint8_t *d, size_t len, BlockLineMsg *out)
{
    int r = dec_begin(d, len, out, MSG_BLOCK_LINE, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->player = d[1];
    for (int i = 0; i < 3; i++) {
        out->start[i] = le_get_i32(d + 2 + 4 * i);
        out->end[i] = le_get_i32(d + 14 + 4 * i);
    }
    return MSG_OK;
}

int msg_decode_game_state(const uint8_t *d, size_t len, GameStateMsg *out)
{
    int r = dec_begin(d, len, out, MSG_GAME_STATE, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->fog_colour = get_colour(d + 2);
    out->team_colour[0] = get_colour(d + 5);
    out->team_colour[1] = get_colour(d + 8);
    out->game_mode = d[11];
    if (out->game_mode == GAME_MODE_CTF) {
        CtfState &c = out->ctf;
        c.score[0] = le_get_u32(d + 12);
        c.score[1] = le_get_u32(d + 16);
        c.capture_limit = le_get_u32(d + 20);
        c.flags = le_get_u32(d + 24) & (CTF_INTEL0_CARRIED | CTF_INTEL1_CARRIED);
        const uint32_t carried[2] = {CTF_INTEL0_CARRIED, CTF_INTEL1_CARRIED};
        for (int i = 0; i < 2; i++) {
            if (c.flags & carried[i])
                c.carrier[i] = d[28 + 12 * i];
            else
                c.intel[i] = get_vec3(d + 28 + 12 * i);
            c.base[i] = get_vec3(d + 52 + 12 * i);
        }
    } else { // receivers take every mode but capture the flag as territory control
        uint32_t count = le_get_u32(d + 220);
        if (count > MSG_TERRITORIES) count = MSG_TERRITORIES;
        out->tc.count = count;
        for (uint32_t i = 0; i < count; i++) {
            out->tc.territory[i].pos = get_vec3(d + 12 + 13 * i);
            out->tc.territory[i].owner = get_team(d[24 + 13 * i]);
        }
    }
    get_text(out->team_name[0], MSG_TEAM_NAME_SIZE, d + 224, 10);
    get_text(out->team_name[1], MSG_TEAM_NAME_SIZE, d + 234, 10);
    return MSG_OK;
}

int msg_decode_kill(const uint8_t *d, size_t len, KillMsg *out)
{
    int r = dec_begin(d, len, out, MSG_KILL, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->victim = d[1];
    out->killer = d[2];
    out->kill_type = d[3];
    out->respawn_seconds = d[4];
    return MSG_OK;
}

int msg_decode_chat(const uint8_t *d, size_t len, ChatMsg *out)
{
    int r = dec_begin(d, len, out, MSG_CHAT, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->chat_type = d[2];
    get_text(out->text, sizeof out->text, d + 3, len - 3);
    return MSG_OK;
}

int msg_decode_map_begin(const uint8_t *d, size_t len, MapBeginMsg *out)
{
    int r = dec_begin(d, len, out, MSG_MAP_BEGIN, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->length = le_get_u32(d + 1);
    return MSG_OK;
}

int msg_decode_map_chunk(const uint8_t *d, size_t len, MapChunkMsg *out)
{
    int r = dec_begin(d, len, out, MSG_MAP_CHUNK, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->data = d + 1;
    out->length = (uint32_t)(len - 1);
    return MSG_OK;
}

int msg_decode_player_left(const uint8_t *d, size_t len, PlayerLeftMsg *out)
{
    int r = dec_begin(d, len, out, MSG_PLAYER_LEFT, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->player = d[1];
    return MSG_OK;
}

int msg_decode_territory_taken(const uint8_t *d, size_t len, TerritoryTakenMsg *out)
{
    int r = dec_begin(d, len, out, MSG_TERRITORY_TAKEN, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->index = d[1];
    out->wins = d[2];
    out->team = get_team(d[3]);
    return MSG_OK;
}

int msg_decode_capture_progress(const uint8_t *d, size_t len, CaptureProgressMsg *out)
{
    int r = dec_begin(d, len, out, MSG_CAPTURE_PROGRESS, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->index = d[1];
    out->team = get_team(d[2]);
    out->rate = (int8_t)d[3];
    out->progress = le_get_f32(d + 4);
    return MSG_OK;
}

int msg_decode_intel_scored(const uint8_t *d, size_t len, IntelScoredMsg *out)
{
    int r = dec_begin(d, len, out, MSG_INTEL_SCORED, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->wins = d[2];
    return MSG_OK;
}

int msg_decode_intel_taken(const uint8_t *d, size_t len, IntelTakenMsg *out)
{
    int r = dec_begin(d, len, out, MSG_INTEL_TAKEN, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->player = d[1];
    return MSG_OK;
}

int msg_decode_intel_dropped(const uint8_t *d, size_t len, IntelDroppedMsg *out)
{
    int r = dec_begin(d, len, out, MSG_INTEL_DROPPED, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->pos = get_vec3(d + 2);
    return MSG_OK;
}

int msg_decode_resupply(const uint8_t *d, size_t len, ResupplyMsg *out)
{
    int r = dec_begin(d, len, out, MSG_RESUPPLY, MSG_TO_CLIENT);
    if (r != MSG_OK) return r;
    out->player = d[1];
    return MSG_OK;
}

int msg_decode_reload(const uint8_t *d, size_t len, ReloadMsg *out)
{
    int r = dec_begin(d, len, out, MSG_RELOAD, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->magazine = d[2];
    out->reserve = d[3];
    return MSG_OK;
}

int msg_decode_team_change(const uint8_t *d, size_t len, TeamChangeMsg *out)
{
    int r = dec_begin(d, len, out, MSG_TEAM_CHANGE, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->team = get_team(d[2]);
    return MSG_OK;
}

int msg_decode_weapon_change(const uint8_t *d, size_t len, WeaponChangeMsg *out)
{
    int r = dec_begin(d, len, out, MSG_WEAPON_CHANGE, MSG_TO_SERVER);
    if (r != MSG_OK) return r;
    out->player = d[1];
    out->weapon = d[2];
    return MSG_OK;
}
