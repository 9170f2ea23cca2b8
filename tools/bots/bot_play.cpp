// One scripted player: state updates from the server and the next move.
#include "bot_play.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "common/byteio.h"
#include "common/game_enums.h"
#include "common/protocol.h"

void bot_rng_seed(BotRng *r, uint64_t seed) { r->s = seed ? seed : 0x9E3779B97F4A7C15ull; }

uint32_t bot_rng_next(BotRng *r)
{
    r->s ^= r->s >> 12;
    r->s ^= r->s << 25;
    r->s ^= r->s >> 27;
    return (uint32_t)((r->s * 0x2545F4914F6CDD1Dull) >> 32);
}

int bot_rng_range(BotRng *r, int lo, int hi)
{
    if (hi <= lo)
        return lo;
    return lo + (int)(bot_rng_next(r) % (uint32_t)(hi - lo + 1));
}

float bot_rng_float(BotRng *r, float lo, float hi)
{
    return lo + (hi - lo) * (float)(bot_rng_next(r) >> 8) / 16777216.0f;
}

void bot_init(BotState *b, int hostile, int64_t now_ms, BotRng *r)
{
    memset(b, 0, sizeof *b);
    b->id = -1;
    b->hostile = hostile;
    b->team = TEAM_NONE;
    b->tool = TOOL_GUN;
    b->next_act_ms = now_ms + bot_rng_range(r, 0, 300);
    b->next_change_ms = now_ms + bot_rng_range(r, 20000, 60000);
}

// ---- what the server tells us ----

void bot_on_message(BotState *b, const uint8_t *data, size_t len)
{
    b->received++;
    int id = msg_type_bytes(data, len);
    switch (id) {
    case MSG_GAME_STATE: {
        GameStateMsg m;
        if (b->id < 0 && msg_decode_game_state(data, len, &m) == MSG_OK)
            b->id = m.player;
        break;
    }
    case MSG_PLAYER_SPAWN: {
        PlayerSpawnMsg m;
        if (msg_decode_player_spawn(data, len, &m) != MSG_OK || m.player != b->id)
            break;
        b->spawned = b->alive = 1;
        b->spawns++;
        b->team = m.team;
        b->weapon = m.weapon;
        b->tool = TOOL_GUN;
        b->pos = m.pos;
        b->have_pos = 1;
        b->blocks = 50;
        b->grenades = 3;
        b->keys = 0;
        b->fire = 0;
        break;
    }
    case MSG_KILL: {
        KillMsg m;
        if (msg_decode_kill(data, len, &m) == MSG_OK && m.victim == b->id && b->alive) {
            b->alive = 0;
            b->deaths++;
        }
        break;
    }
    case MSG_RESUPPLY:
        b->blocks = 50;
        b->grenades = 3;
        break;
    case MSG_WORLD_UPDATE: {
        WorldUpdateMsg m;
        if (msg_decode_world_update(data, len, &m) != MSG_OK)
            break;
        b->world_updates++;
        b->others_mask = 0;
        for (int i = 0; i < 32; i++) {
            const Vec3 &p = m.slot[i].pos;
            if (p.x == 0.0f && p.y == 0.0f && p.z == 0.0f)
                continue; // not in play
            if (i == b->id) {
                b->pos = p;
                b->have_pos = 1;
            } else {
                b->others[i] = p;
                b->others_mask |= 1u << i;
            }
        }
        break;
    }
    default: break;
    }
}

// ---- what we send ----

template <typename M, typename W> static BotMessage bot_encode(int id, const M &m, W write)
{
    uint8_t buf[MSG_MAX_SIZE];
    int n = write(buf, sizeof buf, &m);
    BotMessage out;
    out.bytes.assign(buf, buf + (n > 0 ? n : 0));
    out.reliable = msg_info(id) ? msg_info(id)->reliable != 0 : true;
    return out;
}

BotMessage bot_join_message(BotState *b, BotRng *r, const char *name)
{
    PlayerInfoMsg m;
    memset(&m, 0, sizeof m);
    m.player = (uint8_t)(b->id < 0 ? 0 : b->id);
    m.team = bot_rng_range(r, 0, 1);
    m.weapon = (uint8_t)bot_rng_range(r, 0, WEAPON_COUNT - 1);
    m.tool = TOOL_GUN;
    m.colour = 0x7F7F7F;
    snprintf(m.name, sizeof m.name, "%s", name ? name : "bot");
    b->joined = 1;
    b->spawned = 0;
    return bot_encode(MSG_PLAYER_INFO, m, msg_write_player_info);
}

static Vec3 bot_random_forward(BotRng *r)
{
    float a = bot_rng_float(r, 0.0f, 6.2831853f);
    return Vec3{std::cos(a), std::sin(a), bot_rng_float(r, -0.6f, 0.6f)};
}

// A cell near the own position: within reach of the eye on every axis.
static void bot_near_cell(const BotState *b, BotRng *r, int32_t cell[3])
{
    cell[0] = (int32_t)std::floor(b->pos.x) + bot_rng_range(r, -2, 2);
    cell[1] = (int32_t)std::floor(b->pos.y) + bot_rng_range(r, -2, 2);
    cell[2] = (int32_t)std::floor(b->pos.z) + bot_rng_range(r, -1, 3);
    for (int i = 0; i < 2; i++)
        cell[i] = cell[i] < 0 ? 0 : cell[i] > 511 ? 511 : cell[i];
    cell[2] = cell[2] < 0 ? 0 : cell[2] > 62 ? 62 : cell[2];
}

static void bot_push(BotState *b, std::vector<BotMessage> *out, BotMessage m)
{
    if (m.bytes.empty())
        return;
    b->sent++;
    out->push_back(std::move(m));
}

static void bot_set_tool(BotState *b, std::vector<BotMessage> *out, int tool)
{
    if (b->tool == tool)
        return;
    b->tool = tool;
    ToolMsg m = {(uint8_t)b->id, (uint8_t)tool};
    bot_push(b, out, bot_encode(MSG_TOOL, m, msg_write_tool));
}

static void bot_set_fire(BotState *b, std::vector<BotMessage> *out, int primary)
{
    b->fire = primary;
    FireKeysMsg m = {(uint8_t)b->id, primary ? (uint32_t)FIRE_PRIMARY : 0u};
    bot_push(b, out, bot_encode(MSG_FIRE_KEYS, m, msg_write_fire_keys));
}

static const char *const bot_chat_lines[] = {
    "hello", "gg", "anyone building?", "follow me", "need blocks", "nice shot", "/help", "watch the bridge",
};

// Flood-counted actions: chat, block lines, block actions with a tool other
// than the gun. The server's counter falls by 3 a second; we stay below 2.
static bool bot_flood_ok(BotState *b, int64_t now_ms)
{
    if (now_ms < b->next_flood_ms)
        return false;
    b->next_flood_ms = now_ms + BOT_FLOOD_GAP_MS;
    return true;
}

static void bot_legal_action(BotState *b, BotRng *r, int64_t now_ms, std::vector<BotMessage> *out)
{
    int roll = bot_rng_range(r, 0, 99);
    if (roll < 20) { // move keys
        b->keys = bot_rng_next(r) & 0xDFu; // any of the eight but crouch ...
        if (bot_rng_range(r, 0, 5) == 0)
            b->keys |= 1u << KEY_CROUCH; // ... which comes now and then
        MoveKeysMsg m = {(uint8_t)b->id, b->keys};
        bot_push(b, out, bot_encode(MSG_MOVE_KEYS, m, msg_write_move_keys));
    } else if (roll < 40) { // shoot: fire, and claim a hit on someone in play
        bot_set_tool(b, out, TOOL_GUN);
        bot_set_fire(b, out, 1);
        if (b->others_mask && bot_rng_range(r, 0, 2) == 0) {
            int t;
            do
                t = bot_rng_range(r, 0, 31);
            while (!(b->others_mask & (1u << t)));
            HitClaimMsg m = {(uint8_t)t, (uint8_t)bot_rng_range(r, 0, 3)};
            bot_push(b, out, bot_encode(MSG_HIT, m, msg_write_hit_claim));
        }
    } else if (roll < 50) { // stop shooting, maybe reload
        bot_set_fire(b, out, 0);
        if (bot_rng_range(r, 0, 1) == 0) {
            ReloadMsg m = {(uint8_t)b->id, 0, 0};
            bot_push(b, out, bot_encode(MSG_RELOAD, m, msg_write_reload));
        }
    } else if (roll < 65) { // build a block or a short line
        if (!bot_flood_ok(b, now_ms) || b->blocks <= 0)
            return;
        bot_set_fire(b, out, 0);
        bot_set_tool(b, out, TOOL_BLOCK);
        int32_t c[3];
        bot_near_cell(b, r, c);
        if (bot_rng_range(r, 0, 3) == 0) {
            BlockLineMsg m;
            m.player = (uint8_t)b->id;
            int32_t s[3];
            bot_near_cell(b, r, s);
            memcpy(m.start, s, sizeof s);
            memcpy(m.end, c, sizeof c);
            b->blocks -= 3;
            bot_push(b, out, bot_encode(MSG_BLOCK_LINE, m, msg_write_block_line));
        } else {
            BlockActionMsg m = {(uint8_t)b->id, BLOCK_BUILD, c[0], c[1], c[2]};
            b->blocks--;
            bot_push(b, out, bot_encode(MSG_BLOCK_ACTION, m, msg_write_block_action));
        }
    } else if (roll < 80) { // dig with the spade
        if (!bot_flood_ok(b, now_ms))
            return;
        bot_set_fire(b, out, 0);
        bot_set_tool(b, out, TOOL_SPADE);
        int32_t c[3];
        bot_near_cell(b, r, c);
        BlockActionMsg m = {(uint8_t)b->id, (uint8_t)(bot_rng_range(r, 0, 1) ? BLOCK_DESTROY : BLOCK_DIG), c[0],
                            c[1], c[2]};
        if (m.kind == BLOCK_DESTROY && b->blocks < 50)
            b->blocks++;
        bot_push(b, out, bot_encode(MSG_BLOCK_ACTION, m, msg_write_block_action));
    } else if (roll < 87) { // throw a grenade
        if (b->grenades <= 0)
            return;
        bot_set_fire(b, out, 0);
        bot_set_tool(b, out, TOOL_GRENADE);
        Vec3 f = bot_random_forward(r);
        GrenadeMsg m = {(uint8_t)b->id, bot_rng_float(r, 0.5f, 3.0f), b->pos, f};
        b->grenades--;
        bot_push(b, out, bot_encode(MSG_GRENADE, m, msg_write_grenade));
    } else if (roll < 92) { // block colour
        ColourMsg m = {MSG_BLOCK_COLOUR, (uint8_t)b->id, bot_rng_next(r) & 0xFFFFFFu};
        bot_push(b, out, bot_encode(MSG_BLOCK_COLOUR, m, msg_write_colour));
    } else if (roll < 96) { // chat
        if (!bot_flood_ok(b, now_ms))
            return;
        ChatMsg m;
        memset(&m, 0, sizeof m);
        m.player = (uint8_t)b->id;
        m.chat_type = (uint8_t)bot_rng_range(r, 0, 1);
        snprintf(m.text, sizeof m.text, "%s",
                 bot_chat_lines[bot_rng_range(r, 0, (int)(sizeof bot_chat_lines / sizeof *bot_chat_lines) - 1)]);
        bot_push(b, out, bot_encode(MSG_CHAT, m, msg_write_chat));
    } else if (now_ms >= b->next_change_ms) { // change team or weapon: costs a life
        b->next_change_ms = now_ms + bot_rng_range(r, 30000, 90000);
        if (bot_rng_range(r, 0, 1)) {
            TeamChangeMsg m = {(uint8_t)b->id, 1 - (b->team == TEAM_GREEN ? 1 : 0)};
            bot_push(b, out, bot_encode(MSG_TEAM_CHANGE, m, msg_write_team_change));
        } else {
            WeaponChangeMsg m = {(uint8_t)b->id, (uint8_t)((b->weapon + 1) % WEAPON_COUNT)};
            bot_push(b, out, bot_encode(MSG_WEAPON_CHANGE, m, msg_write_weapon_change));
        }
    }
}

void bot_step(BotState *b, BotRng *r, int64_t now_ms, std::vector<BotMessage> *out)
{
    if (b->id < 0 || !b->spawned)
        return;
    if (b->hostile && now_ms >= b->next_hostile_ms) {
        b->next_hostile_ms = now_ms + bot_rng_range(r, 20, 120);
        BotMessage m = bot_hostile_message(b, r, now_ms);
        if (!m.bytes.empty()) {
            b->sent_hostile++;
            out->push_back(std::move(m));
        }
    }
    if (!b->alive)
        return;
    if (b->hostile && b->flood_at_ms && now_ms >= b->flood_at_ms) {
        b->flood_at_ms = 0;
        bot_flood_burst(b, out);
    }
    if (now_ms >= b->next_orient_ms) {
        b->next_orient_ms = now_ms + bot_rng_range(r, 100, 250);
        OrientMsg m = {bot_random_forward(r)};
        bot_push(b, out, bot_encode(MSG_ORIENT, m, msg_write_orient));
    }
    if (b->have_pos && now_ms >= b->next_position_ms) {
        // The server's own view of us: always within its tolerance.
        b->next_position_ms = now_ms + bot_rng_range(r, 700, 1300);
        PositionMsg m = {b->pos};
        bot_push(b, out, bot_encode(MSG_POSITION, m, msg_write_position));
    }
    if (now_ms >= b->next_act_ms) {
        b->next_act_ms = now_ms + bot_rng_range(r, 150, 450);
        bot_legal_action(b, r, now_ms, out);
    }
}

// ---- hostile messages ----

static BotMessage bot_raw(std::vector<uint8_t> bytes, bool reliable = true)
{
    BotMessage m;
    m.bytes = std::move(bytes);
    m.reliable = reliable;
    return m;
}

static const char *const bot_abusive_chat[] = {
    "/votekick 4294967299", "/kick 0", "/ban 1", "/admin 2", "/ping 99999999999999", "/votekick -1",
    "/help me", "/", "/%s%s%s%n%n", "/y", "/votekick 31", "%s%n%x%x", "/admin 0x7fffffff",
    "/votekickvotekickvotekickvotekick 1", "/ping\t0", "\x1b[2J\r\nfake line",
};

void bot_flood_burst(BotState *b, std::vector<BotMessage> *out)
{
    for (int i = 0; i < 16; i++) {
        ChatMsg m;
        memset(&m, 0, sizeof m);
        m.player = (uint8_t)b->id;
        snprintf(m.text, sizeof m.text, "flood %d", i);
        b->sent_hostile++;
        out->push_back(bot_encode(MSG_CHAT, m, msg_write_chat));
    }
}

BotMessage bot_hostile_message(BotState *b, BotRng *r, int64_t now_ms)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float odd_floats[] = {nan, inf, -inf, 1e30f, -1e30f, 3.5e9f, -0.0f, 1e-40f};
    float f = odd_floats[bot_rng_range(r, 0, 7)];
    uint8_t me = (uint8_t)(b->id < 0 ? 0 : b->id);
    switch (bot_rng_range(r, 0, 15)) {
    case 0: { // random bytes of any length, any first byte
        std::vector<uint8_t> v((size_t)bot_rng_range(r, 0, 1200));
        for (auto &x : v)
            x = (uint8_t)bot_rng_next(r);
        return bot_raw(v, bot_rng_range(r, 0, 1));
    }
    case 1: { // a known id cut short or padded long
        int id = bot_rng_range(r, 0, 30);
        int n = bot_rng_range(r, 0, 2) ? bot_rng_range(r, 1, 3) : bot_rng_range(r, 113, 1100);
        std::vector<uint8_t> v((size_t)n, 0xFF);
        v[0] = (uint8_t)id;
        return bot_raw(v);
    }
    case 2: { // messages only the server may send
        const uint8_t ids[] = {2, 11, 12, 15, 16, 18, 19, 20, 21, 22, 23, 24, 25, 26};
        uint8_t id = ids[bot_rng_range(r, 0, (int)sizeof ids - 1)];
        int n = msg_limit(id, MSG_TO_CLIENT);
        std::vector<uint8_t> v((size_t)(n > 0 ? n : 8), 0);
        v[0] = id;
        if (v.size() > 1)
            v[1] = (uint8_t)bot_rng_range(r, 0, 255);
        if (id == 18 && v.size() >= 5)
            le_put_u32(v.data() + 1, 0xFFFFFFFFu);
        return bot_raw(v);
    }
    case 3: { // block action outside the map or with an odd action
        const int32_t bad[] = {-1, 512, 63, 64, INT32_MIN, INT32_MAX, 100000};
        BlockActionMsg m = {me, (uint8_t)bot_rng_range(r, 0, 255), bad[bot_rng_range(r, 0, 6)],
                            bot_rng_range(r, 0, 511), bad[bot_rng_range(r, 0, 6)]};
        if (b->tool != TOOL_GUN && !bot_flood_ok(b, now_ms))
            m.kind = 99;
        return bot_encode(MSG_BLOCK_ACTION, m, msg_write_block_action);
    }
    case 4: { // block line across the map, or beyond it
        if (!bot_flood_ok(b, now_ms))
            return bot_raw({});
        BlockLineMsg m = {me, {0, 0, 0}, {511, 511, 63}};
        if (bot_rng_range(r, 0, 1))
            m.end[0] = INT32_MIN;
        return bot_encode(MSG_BLOCK_LINE, m, msg_write_block_line);
    }
    case 5: { // position far off or not a number
        PositionMsg m = {Vec3{f, bot_rng_float(r, -1000.0f, 1000.0f), f}};
        return bot_encode(MSG_POSITION, m, msg_write_position);
    }
    case 6: { // orientation of zeros or not-a-number
        OrientMsg m = {bot_rng_range(r, 0, 1) ? Vec3{0, 0, 0} : Vec3{f, f, f}};
        return bot_encode(MSG_ORIENT, m, msg_write_orient);
    }
    case 7: { // grenade with a silly fuse and speed
        GrenadeMsg m = {me, f, Vec3{f, f, f}, Vec3{1e30f, -1e30f, f}};
        return bot_encode(MSG_GRENADE, m, msg_write_grenade);
    }
    case 8: { // team, weapon, tool outside their ranges
        std::vector<uint8_t> v = {(uint8_t)bot_rng_range(r, 0, 2) == 0 ? (uint8_t)MSG_TEAM_CHANGE
                                  : bot_rng_range(r, 0, 1)            ? (uint8_t)MSG_WEAPON_CHANGE
                                                                      : (uint8_t)MSG_TOOL,
                                  me, (uint8_t)bot_rng_range(r, 4, 254)};
        if (v[0] == MSG_TEAM_CHANGE && v[2] == 255)
            v[2] = 7;
        return bot_raw(v);
    }
    case 9: { // a second join request, with a name that tries to add list lines
        PlayerInfoMsg m;
        memset(&m, 0, sizeof m);
        m.player = me;
        m.team = bot_rng_range(r, 0, 1) ? 5 : 0;
        m.weapon = (uint8_t)bot_rng_range(r, 0, 9);
        snprintf(m.name, sizeof m.name, "x\n1.2.3.4\t# y");
        return bot_encode(MSG_PLAYER_INFO, m, msg_write_player_info);
    }
    case 10: { // rejoin with an odd team
        std::vector<uint8_t> v = {MSG_REJOIN, me, (uint8_t)bot_rng_range(r, 2, 254), (uint8_t)bot_rng_range(r, 0, 255)};
        return bot_raw(v);
    }
    case 11: { // abusive chat commands, or a text without its terminator
        if (!bot_flood_ok(b, now_ms))
            return bot_raw({});
        if (bot_rng_range(r, 0, 3) == 0) {
            std::vector<uint8_t> v(112, 'A');
            v[0] = MSG_CHAT;
            v[1] = me;
            v[2] = (uint8_t)bot_rng_range(r, 0, 255);
            v[3] = '/';
            return bot_raw(v);
        }
        ChatMsg m;
        memset(&m, 0, sizeof m);
        m.player = me;
        m.chat_type = (uint8_t)bot_rng_range(r, 0, 3);
        snprintf(m.text, sizeof m.text, "%s",
                 bot_abusive_chat[bot_rng_range(r, 0, (int)(sizeof bot_abusive_chat / sizeof *bot_abusive_chat) - 1)]);
        return bot_encode(MSG_CHAT, m, msg_write_chat);
    }
    case 12: { // hit claims on nobody, or of a type that does not exist
        HitClaimMsg m = {(uint8_t)bot_rng_range(r, 0, 255), (uint8_t)bot_rng_range(r, 0, 255)};
        return bot_encode(MSG_HIT, m, msg_write_hit_claim);
    }
    case 13: { // fog colour from a player who is no admin
        ColourMsg m = {MSG_FOG_COLOUR, me, bot_rng_next(r) & 0xFFFFFFu};
        return bot_encode(MSG_FOG_COLOUR, m, msg_write_colour);
    }
    case 14: { // a player byte that is not ours
        MoveKeysMsg m = {(uint8_t)bot_rng_range(r, 0, 255), bot_rng_next(r)};
        return bot_encode(MSG_MOVE_KEYS, m, msg_write_move_keys);
    }
    default: { // one lone byte
        return bot_raw({(uint8_t)bot_rng_range(r, 0, 255)}, false);
    }
    }
}
