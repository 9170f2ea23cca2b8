#include "client_fuzz.h"

#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "client/game_mode.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/net_checks.h"
#include "client/net_dispatch.h"
#include "client/net_loading.h"
#include "common/feed.h"
#include "common/map_check.h"
#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/map_store.h"
#include "common/mode_objective.h"
#include "common/model_table.h"
#include "common/weapon.h"
#include "support/test_server.h"

std::vector<uint8_t> cfz_compress(const std::vector<uint8_t> &raw)
{
    uLongf n = compressBound(raw.size());
    std::vector<uint8_t> z(n);
    if (compress2(z.data(), &n, raw.data(), raw.size(), Z_BEST_SPEED) != Z_OK) return {};
    z.resize(n);
    return z;
}

static std::vector<uint8_t> cfz_image, cfz_stream;

static void cfz_make_map()
{
    if (!cfz_image.empty()) return;
    // Flat ground with towers of many heights, a ledge out of each (loose
    // once its tower is dug through) and a cave.
    map_make_flat(40, 0x7F406080u);
    for (int32_t y = 8; y < 504; y += 24)
        for (int32_t x = 8; x < 504; x += 24) {
            int32_t top = 20 + (x * 7 + y * 3) % 19;
            for (int32_t dy = 0; dy < 4; dy++)
                for (int32_t dx = 0; dx < 4; dx++) map_insert_slab(map_edit_column(x + dx, y + dy), top, 40);
            for (int32_t dx = 4; dx < 12; dx++) map_insert_slab(map_edit_column(x + dx, y), top, top + 1);
        }
    map_edit_finish();
    MapCell cave{200, 200, 45};
    map_remove_cube3(&cave);
    map_seed_count = 0;
    std::filesystem::create_directories(BKM_CLIENT_TMP);
    std::string path = std::string(BKM_CLIENT_TMP) + "/fuzzmap." + std::to_string(getpid()) + ".vxl";
    if (map_save(path.c_str()) != 1) return;
    std::string bytes = tsv_read_file(path);
    std::remove(path.c_str());
    cfz_image.assign(bytes.begin(), bytes.end());
    cfz_stream = cfz_compress(cfz_image);
}

const std::vector<uint8_t> &cfz_map_image()
{
    cfz_make_map();
    return cfz_image;
}

const std::vector<uint8_t> &cfz_map_stream()
{
    cfz_make_map();
    return cfz_stream;
}

const CfzCast cfz_cast[6] = {
    {0, 0, WEAPON_SEMI, 0, "Alice"},  {1, 1, WEAPON_SHOTGUN, 0x7FFFFFFFu, "Bob"},
    {2, 0, WEAPON_SMG, 0xFFFFFFFFu, "Carol"}, {3, -1, WEAPON_SEMI, 0x80000000u, "Dave"},
    {4, 1, WEAPON_SMG, 0x7FFFFFF6u, "Erin"}, {31, 0, WEAPON_SHOTGUN, 7, "Zed"},
};

Vec3 cfz_ground_point(int x, int y) { return Vec3{x + 0.5f, y + 0.5f, (float)map_ground_z(x, y)}; }

GameStateMsg cfz_game_state(int mode)
{
    GameStateMsg m{};
    m.player = 0;
    m.fog_colour = 0x8090A0;
    m.team_colour[0] = 0x0000C4;
    m.team_colour[1] = 0x00C400;
    m.game_mode = (uint8_t)mode;
    snprintf(m.team_name[0], sizeof m.team_name[0], "Blue");
    snprintf(m.team_name[1], sizeof m.team_name[1], "Green");
    if (mode == GAME_MODE_CTF) {
        m.ctf.score[0] = 0x7FFFFFFFu;
        m.ctf.score[1] = 0xFFFFFFFFu;
        m.ctf.capture_limit = 0xFFFFFFFFu;
        m.ctf.flags = CTF_INTEL1_CARRIED;
        m.ctf.carrier[1] = 2;
        m.ctf.intel[0] = Vec3{100, 256, 30};
        m.ctf.base[0] = Vec3{90, 256, 30};
        m.ctf.base[1] = Vec3{422, 256, 30};
    } else {
        m.tc.count = MSG_TERRITORIES;
        for (int i = 0; i < MSG_TERRITORIES; i++) {
            m.tc.territory[i].pos = Vec3{16.0f + 32 * i, 40.0f + 27 * i, 30};
            m.tc.territory[i].owner = i % 3;
        }
    }
    return m;
}

std::vector<Packet> cfz_transfer(const std::vector<uint8_t> &stream, uint32_t size, const GameStateMsg &state)
{
    std::vector<Packet> out;
    out.push_back(ctest_packet(msg_write_map_begin, MapBeginMsg{size}));
    for (size_t pos = 0; pos < stream.size(); pos += MSG_MAP_CHUNK_MAX_DATA) {
        size_t n = std::min((size_t)MSG_MAP_CHUNK_MAX_DATA, stream.size() - pos);
        out.push_back(ctest_packet(msg_write_map_chunk, MapChunkMsg{stream.data() + pos, (uint32_t)n}));
    }
    for (const CfzCast &c : cfz_cast) {
        if (c.id == 0) continue;
        PlayerInfoMsg info{(uint8_t)c.id, c.team, (uint8_t)c.weapon, TOOL_GUN, c.kills, 0x203040, ""};
        snprintf(info.name, sizeof info.name, "%s", c.name);
        out.push_back(ctest_packet(msg_write_player_info, info));
    }
    out.push_back(ctest_packet(msg_write_game_state, state));
    return out;
}

CfzLoad cfz_run_loading(const std::vector<Packet> &packets)
{
    for (const Packet &p : packets) {
        // Exactly as long as the packet, so the sanitizer sees any over-read.
        std::vector<uint8_t> copy(p);
        int r = net_loading_packet(copy.empty() ? nullptr : copy.data(), copy.size());
        if (r < 0) return CFZ_FAILED;
        if (r == 1) return net_loading_finish() ? CFZ_LOADED : CFZ_FAILED;
    }
    return CFZ_WAITING;
}

// Respawns since the last join: the weapon turn.
static int cfz_respawns;

void cfz_respawn_cast()
{
    int turn = cfz_respawns++;
    for (const CfzCast &c : cfz_cast) {
        PlayerSpawnMsg s{};
        s.player = (uint8_t)c.id;
        s.weapon = (uint8_t)((c.weapon + turn) % WEAPON_COUNT);
        s.team = c.team;
        s.pos = cfz_ground_point(60 + 50 * c.id % 400, 200 + 9 * c.id);
        Packet p = ctest_packet(msg_write_player_spawn, s);
        net_dispatch_packet(p.data(), p.size());
    }
}

void cfz_join(int mode)
{
    ctest_reset_client();
    cfz_respawns = 0;
    snprintf(client_settings.name, sizeof client_settings.name, "Fuzzer");
    const std::vector<uint8_t> &z = cfz_map_stream();
    ASSERT_FALSE(z.empty());
    ASSERT_EQ(cfz_run_loading(cfz_transfer(z, (uint32_t)z.size(), cfz_game_state(mode))), CFZ_LOADED);
    cfz_respawn_cast();
    ASSERT_TRUE(ctest_fatals.empty());
    ASSERT_EQ(client_state.screens.current, SCREEN_IN_GAME);
    for (const CfzCast &c : cfz_cast) ASSERT_EQ(player_table[c.id].present, 1) << c.name;
}

// ---- checks ----------------------------------------------------------------------

// Exponent bits all set: infinite or not a number (a bit test keeps the
// checks cheap in the unoptimised sanitizer build).
static bool finite1(float f)
{
    uint32_t b;
    memcpy(&b, &f, 4);
    return (b & 0x7F800000u) != 0x7F800000u;
}
static bool finite3(const Vec3 &v) { return finite1(v.x) && finite1(v.y) && finite1(v.z); }

static bool terminated(const char *text, size_t size) { return memchr(text, 0, size) != nullptr; }

static bool known_model(const Kv6Model *m)
{
    if (!m) return true;
    for (const Kv6Model *t : model_table)
        if (t == m) return true;
    return false;
}

static std::string fault(const char *what, int index)
{
    char t[160];
    snprintf(t, sizeof t, "%s (entry %d)", what, index);
    return t;
}

static std::string check_player(const PlayerRecord &p, int i)
{
    if (!p.present) return "";
    for (int s = 0; s < SPRITE_COUNT; s++) {
        const SpriteInstance &sp = p.sprites[s];
        if (!finite3(sp.position) || !finite3(sp.xaxis) || !finite3(sp.yaxis) || !finite3(sp.zaxis))
            return fault("player sprite not finite", i);
        if (!known_model(sp.model)) return fault("player sprite model outside the model table", i);
    }
    const Vec3 *vecs[] = {&p.position, &p.eye, &p.velocity, &p.right, &p.down, &p.forward};
    for (const Vec3 *v : vecs)
        if (!finite3(*v)) return fault("player vector not finite", i);
    if (!net_position(&p.position) || !net_position(&p.eye)) return fault("player far outside the map", i);
    const double times[] = {p.next_use, p.grenade_fuse_end, p.reload_end, p.next_footstep, p.climb_time};
    for (double t : times)
        if (!std::isfinite(t)) return fault("player time not finite", i);
    if (!terminated(p.name, sizeof p.name)) return fault("player name not terminated", i);
    if (p.id != i) return fault("player id is not its slot", i);
    if (!team_is_player_team(p.team)) return fault("player team out of range", i);
    if (!weapon_is_valid(p.weapon)) return fault("player weapon out of range", i);
    if (!tool_is_valid(p.tool)) return fault("player tool out of range", i);
    for (int k = 0; k < KEY_COUNT; k++)
        if (p.keys[k] != 0 && p.keys[k] != 1) return fault("player key flag not 0 or 1", i);
    if ((p.alive != 0 && p.alive != 1) || (p.primary != 0 && p.primary != 1) || (p.secondary != 0 && p.secondary != 1))
        return fault("player flag not 0 or 1", i);
    return "";
}

static std::string check_objectives()
{
    if (mode_objective_count > OBJECTIVE_MAX) return "objective count beyond the table";
    int n = game_objective_count();
    for (int i = 0; i < n; i++) {
        const ObjectiveState &o = mode_objectives[i];
        if (client_state.game_mode == GAME_MODE_CTF) {
            if (i < 2 && o.owner != -1 && (o.owner < 0 || o.owner >= PLAYER_MAX))
                return fault("intel carrier not a player id", i);
        } else if (o.owner < TEAM_BLUE || o.owner > TEAM_NEUTRAL) {
            return fault("territory owner out of range", i);
        }
        if (!(o.progress >= 0.0f && o.progress <= 1.0f)) return fault("capture progress outside 0..1", i);
        if (o.capturing_team < TEAM_BLUE || o.capturing_team > TEAM_NEUTRAL) return fault("capturing team", i);
    }
    return "";
}

static std::string check_world_objects()
{
    if (world_object_count < 0 || world_object_count > WORLD_OBJECT_MAX) return "world-object count beyond the table";
    if (world_objective_count < 0 || world_objective_count > world_object_count ||
        world_objective_count != game_objective_count())
        return "objective entries do not match the objectives";
    for (int i = 0; i < world_object_count; i++) {
        const WorldObject &o = world_objects[i];
        int32_t kind = wobj_kind(&o);
        if (kind >= PLAYER_MAX || kind < OBJECT_CARRIED) return fault("world-object kind out of range", i);
        if ((i < world_objective_count) != (kind == OBJECT_LYING || kind == OBJECT_CARRIED))
            return fault("objective kind outside the objective entries", i);
        if (kind != OBJECT_DEBRIS && !known_model(o.model)) return fault("world-object model outside the table", i);
        if (!finite3(o.position) || !finite3(o.xaxis) || !finite3(o.yaxis) || !finite3(o.zaxis))
            return fault("world object not finite", i);
        if (i < world_objective_count && !net_position(&o.position)) return fault("objective far outside the map", i);
    }
    return "";
}

std::string cfz_check_tables()
{
    // The id is known from the first game state on.
    if (local_player_id < -1 || local_player_id >= PLAYER_MAX ||
        (local_player_id < 0 && client_state.screens.current > SCREEN_LOADING))
        return "local player id out of range";
    if (client_state.game_mode != GAME_MODE_CTF && client_state.game_mode != GAME_MODE_TC) return "game mode";
    if (client_state.screens.current < 0 || client_state.screens.current >= SCREEN_COUNT) return "screen";
    for (int i = 0; i < PLAYER_MAX; i++) {
        std::string f = check_player(player_table[i], i);
        if (!f.empty()) return f;
    }
    std::string f = check_objectives();
    if (f.empty()) f = check_world_objects();
    if (!f.empty()) return f;
    if (particle_ring.count < 0 || particle_ring.count > PARTICLE_MAX || particle_ring.head < 0 ||
        particle_ring.head >= PARTICLE_MAX)
        return "particle ring out of range";
    for (const MessageFeed *feed : {&feed_chat, &feed_kill})
        for (int i = 0; i < FEED_LINES; i++)
            if (!terminated(feed->lines[i].text, FEED_TEXT_SIZE)) return fault("feed line not terminated", i);
    if (!terminated(hud_announce_text, sizeof hud_announce_text)) return "announcement not terminated";
    for (int i = 0; i < TEAM_SLOTS; i++)
        if (!terminated(client_state.team[i].name, TEAM_SLOT_NAME_SIZE)) return fault("team name not terminated", i);
    if (!finite3(hud_damage_source) || !std::isfinite(hud_damage_until) || !std::isfinite(hud_announce_until))
        return "HUD value not finite";
    return "";
}

std::string cfz_check_map()
{
    char msg[200] = "";
    return map_check(nullptr, msg, sizeof msg, 0) == 1 ? "" : std::string("map: ") + msg;
}
