// The in-game dispatcher under hostile packets: valid messages of every id
// with values at and past their limits, then mutated, cut, grown and
// renumbered, and random bytes, fed to a client in game with players and a
// map, with frames run between them. After every packet the client's tables
// must hold their invariants; the sanitizer build checks every access.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>

#include "client/game_mode.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_state.h"
#include "client/net_dispatch.h"
#include "client/net_loading.h"
#include "client_fuzz.h"
#include "client/net_checks.h"
#include "common/lang_ids.h"
#include "common/map_query.h"
#include "common/player_physics.h"
#include "common/timer.h"
#include "renderer/voxrender.h"

namespace {

// ---- values at the edges of every field ------------------------------------------

uint8_t any_player(FuzzRng &r)
{
    static const uint8_t ids[] = {0, 1, 2, 3, 4, 5, 30, 31, 32, 33, 127, 128, 254, 255};
    return r.one_in(5) ? r.byte() : r.pick(ids);
}

int32_t any_team(FuzzRng &r)
{
    static const int32_t teams[] = {-3, -2, -1, 0, 1, 2, 3, 127, -128};
    return r.pick(teams);
}

// 0 .. count + 2, or an edge byte.
uint8_t any_small(FuzzRng &r, int count)
{
    static const uint8_t edges[] = {127, 128, 255};
    return r.one_in(6) ? r.pick(edges) : (uint8_t)r.below((uint32_t)count + 3);
}

float any_float(FuzzRng &r, float lo, float hi)
{
    if (r.one_in(6)) return fuzz_hostile_float(r);
    return lo + (hi - lo) * (float)r.below(1u << 20) / (float)(1u << 20);
}

// Mostly inside the map (a little beyond its edges too), at times hostile.
Vec3 any_position(FuzzRng &r)
{
    return Vec3{any_float(r, -4.0f, 516.0f), any_float(r, -4.0f, 516.0f), any_float(r, -4.0f, 68.0f)};
}

Vec3 any_direction(FuzzRng &r) { return Vec3{any_float(r, -2, 2), any_float(r, -2, 2), any_float(r, -2, 2)}; }

int32_t any_cell(FuzzRng &r, int32_t size)
{
    static const int32_t edges[] = {-1, 0, 1, 61, 62, 63, 64, 510, 511, 512, INT32_MIN, INT32_MAX, -512};
    return r.one_in(5) ? r.pick(edges) : (int32_t)r.below((uint32_t)size);
}

void any_text(FuzzRng &r, char *out, size_t size)
{
    static const char pieces[] = "%s%n%d%x%%%.99999f abcXYZ\x01\x7f\xff";
    size_t n = r.below((uint32_t)size);
    for (size_t i = 0; i < n; i++) out[i] = pieces[r.below(sizeof pieces - 1)];
    out[n] = 0;
}

// ---- one valid packet of each id --------------------------------------------------

typedef std::function<Packet(FuzzRng &)> Builder;

const std::vector<Builder> &builders()
{
    static const std::vector<Builder> b = {
        [](FuzzRng &r) { return ctest_packet(msg_write_position, PositionMsg{any_position(r)}); },
        [](FuzzRng &r) { return ctest_packet(msg_write_orient, OrientMsg{any_direction(r)}); },
        [](FuzzRng &r) {
            static WorldUpdateMsg m;
            for (WorldUpdateSlot &s : m.slot) {
                s.pos = any_position(r);
                s.forward = any_direction(r);
            }
            return ctest_packet(msg_write_world_update, m);
        },
        [](FuzzRng &r) { return ctest_packet(msg_write_move_keys, MoveKeysMsg{any_player(r), r.next()}); },
        [](FuzzRng &r) { return ctest_packet(msg_write_fire_keys, FireKeysMsg{any_player(r), r.next()}); },
        [](FuzzRng &r) {
            return ctest_packet(msg_write_health, HealthMsg{r.byte(), any_small(r, 2), any_position(r)});
        },
        [](FuzzRng &r) {
            GrenadeMsg m{any_player(r), any_float(r, -1, 4), any_position(r), any_direction(r)};
            return ctest_packet(msg_write_grenade, m);
        },
        [](FuzzRng &r) { return ctest_packet(msg_write_tool, ToolMsg{any_player(r), any_small(r, TOOL_COUNT)}); },
        [](FuzzRng &r) {
            return ctest_packet(msg_write_colour, ColourMsg{MSG_BLOCK_COLOUR, any_player(r), r.next()});
        },
        [](FuzzRng &r) {
            PlayerInfoMsg m{any_player(r), any_team(r), any_small(r, WEAPON_COUNT), any_small(r, TOOL_COUNT),
                            fuzz_edge_u32(r), r.next(), ""};
            any_text(r, m.name, sizeof m.name);
            return ctest_packet(msg_write_player_info, m);
        },
        [](FuzzRng &r) {
            return ctest_packet(msg_write_rejoin, RejoinMsg{any_player(r), any_team(r), any_small(r, WEAPON_COUNT)});
        },
        [](FuzzRng &r) {
            ObjectiveMoveMsg m{any_small(r, MSG_TERRITORIES), any_team(r), any_position(r)};
            return ctest_packet(msg_write_objective_move, m);
        },
        [](FuzzRng &r) {
            PlayerSpawnMsg m{};
            m.player = any_player(r);
            m.weapon = any_small(r, WEAPON_COUNT);
            m.team = any_team(r);
            m.pos = any_position(r);
            m.has_name = r.one_in(2);
            any_text(r, m.name, sizeof m.name);
            return ctest_packet(msg_write_player_spawn, m);
        },
        [](FuzzRng &r) {
            BlockActionMsg m{any_player(r), any_small(r, 4), any_cell(r, 512), any_cell(r, 512), any_cell(r, 64)};
            if (r.one_in(2) && net_cell_in_map(m.x, m.y, 0)) m.z = map_ground_z(m.x, m.y); // a surface block
            return ctest_packet(msg_write_block_action, m);
        },
        [](FuzzRng &r) {
            BlockLineMsg m{any_player(r), {}, {}};
            for (int i = 0; i < 3; i++) {
                m.start[i] = any_cell(r, i < 2 ? 512 : 64);
                m.end[i] = r.one_in(3) ? any_cell(r, i < 2 ? 512 : 64) : (int32_t)((uint32_t)m.start[i] + r.below(9) - 4);
            }
            return ctest_packet(msg_write_block_line, m);
        },
        [](FuzzRng &r) {
            GameStateMsg m = cfz_game_state(r.below(3));
            m.player = any_player(r);
            return ctest_packet(msg_write_game_state, m);
        },
        [](FuzzRng &r) {
            KillMsg m{any_player(r), any_player(r), any_small(r, KILL_TYPE_COUNT), r.byte()};
            return ctest_packet(msg_write_kill, m);
        },
        [](FuzzRng &r) {
            ChatMsg m{r.one_in(4) ? (uint8_t)CHAT_SYSTEM_SENDER : any_player(r), any_small(r, 3), ""};
            any_text(r, m.text, sizeof m.text);
            Packet p(MSG_MAX_SIZE);
            int n = msg_write_chat(p.data(), p.size(), &m);
            p.resize(n > 0 ? std::min(n, msg_chat_length(&m)) : 0);
            return p;
        },
        [](FuzzRng &r) {
            static const uint32_t sizes[] = {0, 1, 1000, MAP_DOWNLOAD_MAX, MAP_DOWNLOAD_MAX + 1, 0xFFFFFFFFu};
            return ctest_packet(msg_write_map_begin, MapBeginMsg{r.pick(sizes)});
        },
        [](FuzzRng &r) {
            uint8_t data[MSG_MAP_CHUNK_MAX_DATA];
            for (uint8_t &d : data) d = r.byte();
            return ctest_packet(msg_write_map_chunk, MapChunkMsg{data, 1 + r.below(MSG_MAP_CHUNK_MAX_DATA)});
        },
        [](FuzzRng &r) { return ctest_packet(msg_write_player_left, PlayerLeftMsg{any_player(r)}); },
        [](FuzzRng &r) {
            TerritoryTakenMsg m{any_small(r, MSG_TERRITORIES), any_small(r, 2), any_team(r)};
            return ctest_packet(msg_write_territory_taken, m);
        },
        [](FuzzRng &r) {
            CaptureProgressMsg m{any_small(r, MSG_TERRITORIES), any_team(r), (int8_t)r.byte(), any_float(r, -1, 2)};
            return ctest_packet(msg_write_capture_progress, m);
        },
        [](FuzzRng &r) {
            return ctest_packet(msg_write_intel_scored, IntelScoredMsg{any_player(r), any_small(r, 2)});
        },
        [](FuzzRng &r) { return ctest_packet(msg_write_intel_taken, IntelTakenMsg{any_player(r)}); },
        [](FuzzRng &r) {
            return ctest_packet(msg_write_intel_dropped, IntelDroppedMsg{any_player(r), any_position(r)});
        },
        [](FuzzRng &r) { return ctest_packet(msg_write_resupply, ResupplyMsg{any_player(r)}); },
        [](FuzzRng &r) { return ctest_packet(msg_write_colour, ColourMsg{MSG_FOG_COLOUR, 0, r.next()}); },
        [](FuzzRng &r) { return ctest_packet(msg_write_reload, ReloadMsg{any_player(r), r.byte(), r.byte()}); },
        [](FuzzRng &r) { return ctest_packet(msg_write_team_change, TeamChangeMsg{any_player(r), any_team(r)}); },
        [](FuzzRng &r) {
            return ctest_packet(msg_write_weapon_change, WeaponChangeMsg{any_player(r), any_small(r, WEAPON_COUNT)});
        },
    };
    return b;
}

// A packet for the loop: a valid one, often mutated or renumbered, or noise.
// A new map (MSG_MAP_BEGIN) leaves the game, so it comes only when asked for.
Packet next_packet(FuzzRng &r, bool map_begin)
{
    if (map_begin) return builders()[MSG_MAP_BEGIN](r);
    Packet p;
    if (r.one_in(20)) {
        p.resize(r.below(r.one_in(4) ? MSG_MAX_SIZE + 8 : 40));
        for (uint8_t &b : p) b = r.byte();
    } else {
        int id;
        do id = (int)r.below(MSG_COUNT);
        while (id == MSG_MAP_BEGIN);
        p = builders()[id](r);
        if (r.one_in(2)) fuzz_mutate(p, r, 1);
        if (r.one_in(10) && !p.empty()) p[0] = r.byte();
    }
    if (!p.empty() && p[0] == MSG_MAP_BEGIN) p[0] = MSG_MAP_CHUNK;
    return p;
}

// One frame of the game as it runs between packets: the clock, every
// present player's movement, the world objects and particles; then what the
// frame draws from them (when `draw`), from the local eye: the world (when
// `world`), every world object, player and particle.
void run_frame(bool draw, bool world)
{
    game_step = 1.0f / 60.0f;
    game_time += game_step;
    for (PlayerRecord &p : player_table)
        if (p.present && p.alive && p.team >= 0) player_physics_step(&p);
    game_update_world_objects();
    if (!draw) return;

    const int32_t w = 80, h = 60;
    static uint32_t pixels[w * h];
    if (!voxsetframebuffer(pixels, w * 4, w, h)) return;
    for (int32_t i = 0; i < w * h; i++) vox_frame.zbuffer[i] = FLT_MAX;
    const PlayerRecord *me = game_local_player();
    setviewpoint(&me->eye, &me->right, &me->down, &me->forward, w / 2, h / 2, w / 2);
    if (world) renderworld();
    for (int i = 0; i < world_object_count; i++)
        if (testspritevisible(&world_objects[i])) rendermodel(&world_objects[i], 1, nullptr);
    const PlayerDrawMode mode{client_state.game_mode == GAME_MODE_CTF, mode_objectives, mode_objective_count};
    for (PlayerRecord &p : player_table) {
        if (!p.present || p.team < 0) continue;
        drawplayermodel(&p, 1, &mode);
        int32_t l, t, r, b;
        projectscreenpoint(&p.eye, &l, &t, &r, &b);
    }
    for (int i = 0; i < particle_ring.count; i++) {
        const Particle &q = particle_ring.slot[(particle_ring.head + i) & (PARTICLE_MAX - 1)];
        fillsphere(&q.position, 0.1f, q.colour);
    }
}

std::string describe(int round, const Packet &p, const std::string &fault)
{
    return "round " + std::to_string(round) + ": " + fault + "\n  after packet {" + fuzz_hex(p) + "}";
}

struct DispatchFuzz : ::testing::Test {
    void SetUp() override
    {
        ctest_load_strings();
        ctest_write_models(ctest_enter_scratch());
        ASSERT_EQ(startrenderer(getcpufeatures()), 0);
        setwallshades(0, 64, 32, 32, 16, 48);
    }
    void TearDown() override
    {
        closerenderer();
        ctest_reset_client();
        ctest_leave_scratch();
    }

    // A new map in game: either the loading-failed path, or the loading
    // screen with the download begun. Then a fresh join.
    void map_begin(int mode, const Packet &p)
    {
        MapBeginMsg m;
        ASSERT_EQ(msg_decode_map_begin(p.data(), p.size(), &m), MSG_OK);
        net_dispatch_packet(p.data(), p.size());
        if (m.length == 0 || m.length > MAP_DOWNLOAD_MAX) {
            ASSERT_EQ(ctest_fatals.size(), 1u) << m.length;
            EXPECT_EQ(ctest_fatals[0], ctest_text(LANG_ERR_MAP_DATA));
        } else {
            ASSERT_TRUE(ctest_fatals.empty()) << m.length;
            EXPECT_EQ(client_state.screens.current, SCREEN_LOADING);
            EXPECT_EQ(map_download.size, m.length);
            EXPECT_NE(map_download.buffer, nullptr);
        }
        cfz_join(mode);
    }

    void run(int mode, uint32_t seed, int rounds)
    {
        cfz_join(mode);
        if (HasFatalFailure()) return;
        FuzzRng r(seed);
        for (int id = 0; id < MSG_COUNT; id++) ASSERT_EQ(builders()[id](r).at(0), id); // the table's order
        for (int round = 0; round < rounds; round++) {
            bool begin = r.one_in(4000);
            Packet p = next_packet(r, begin);
            if (begin) {
                map_begin(mode, p);
                if (HasFatalFailure()) return;
                continue;
            }
            std::vector<uint8_t> copy(p); // exactly its length: over-reads are caught
            net_dispatch_packet(copy.empty() ? nullptr : copy.data(), copy.size());
            ASSERT_TRUE(ctest_fatals.empty()) << describe(round, p, ctest_fatals[0]);
            ASSERT_EQ(client_state.screens.current, SCREEN_IN_GAME) << describe(round, p, "left the game");
            std::string f = cfz_check_tables();
            ASSERT_EQ(f, "") << describe(round, p, f);
            if (round % 8 == 7) {
                run_frame(round % 64 == 63, round % 256 == 255);
                f = cfz_check_tables();
                ASSERT_EQ(f, "") << describe(round, p, "after a frame: " + f);
            }
            if (round % 400 == 399) cfz_respawn_cast();
            if (round % 5000 == 4999) {
                ASSERT_EQ(cfz_check_map(), "") << describe(round, p, "");
            }
        }
        EXPECT_EQ(cfz_check_map(), "");
    }
};

// Inputs the loops found faults with, each on a fresh join (flag mode: Bob
// joined with the largest kill count, Erin with 9 less, team 0's score at
// its largest), then frames run.
TEST_F(DispatchFuzz, FoundFaultsStayMended)
{
    const GrenadeMsg fastest{1, 2.0f, Vec3{100, 100, 30}, Vec3{0, FLT_MAX, 0}};
    struct Case {
        const char *name;
        std::vector<Packet> packets;
        std::function<void()> check;
    } cases[] = {
        {"a grenade thrown at the largest float speed leaves the world",
         {ctest_packet(msg_write_grenade, fastest)},
         [] { EXPECT_EQ(world_object_count, world_objective_count); }},
        {"a kill at the largest kill count keeps it",
         {ctest_packet(msg_write_kill, KillMsg{0, 1, KILL_WEAPON, 5})},
         [] { EXPECT_EQ(player_table[1].kills, INT32_MAX); }},
        {"an intel capture near the largest kill count stops there",
         {ctest_packet(msg_write_intel_scored, IntelScoredMsg{4, 0})},
         [] { EXPECT_EQ(player_table[4].kills, INT32_MAX); }},
        {"positions far outside the map are refused",
         {ctest_packet(msg_write_objective_move, ObjectiveMoveMsg{2, -1, Vec3{3e9f, 100, 30}}),
          ctest_packet(msg_write_intel_dropped, IntelDroppedMsg{2, Vec3{100, -2e5f, 30}}),
          ctest_packet(msg_write_position, PositionMsg{Vec3{100, 100, 1e30f}}),
          ctest_packet(msg_write_grenade, GrenadeMsg{1, 2.0f, Vec3{-5000, 100, 30}, Vec3{0, 0, 0}})},
         [] {
             EXPECT_EQ(world_objects[2].position.x, 90.0f);
             EXPECT_EQ(wobj_kind(&world_objects[1]), OBJECT_CARRIED);
             EXPECT_LT(player_table[0].position.z, 64.0f);
             EXPECT_EQ(world_object_count, world_objective_count);
         }},
        {"an intel capture at the largest team score keeps it",
         {ctest_packet(msg_write_intel_scored, IntelScoredMsg{31, 0})},
         [] {
             EXPECT_EQ(client_state.score[0], INT32_MAX);
             EXPECT_EQ(player_table[31].kills, 17);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        cfz_join(GAME_MODE_CTF);
        if (HasFatalFailure()) return;
        for (const Packet &p : c.packets) net_dispatch_packet(p.data(), p.size());
        for (int f = 0; f < 8; f++) run_frame(f == 7, f == 7);
        EXPECT_EQ(cfz_check_tables(), "");
        c.check();
    }
}

TEST_F(DispatchFuzz, FlagGameSurvivesHostilePackets) { run(GAME_MODE_CTF, 0x5EED0001u, 20000); }

TEST_F(DispatchFuzz, TerritoryGameSurvivesHostilePackets) { run(GAME_MODE_TC, 0x5EED0002u, 20000); }

} // namespace
