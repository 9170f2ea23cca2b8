// Cost of one server tick (per-player pass with mode rules, mode tick,
// grenades, world step) with N players moving, shooting and building
// between ticks, 64 live grenades and, every 60th tick, a 30 x 30 slab cut
// loose from its only pillar. Prints p50/p99/max per tick in microseconds.
#include <benchmark/benchmark.h>
#include <enet/enet.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/map_store.h"
#include "common/player.h"
#include "common/protocol.h"
#include "common/rng.h"
#include "common/timer.h"
#include "server/srv_net.h"
#include "server/srv_rules.h"
#include "server/srv_settings.h"
#include "server/srv_state.h"

static ENetPeer bench_peers[PLAYER_MAX];
static double bench_p50_16 = 0.0;

static void bench_deliver(int id, const uint8_t *bytes, int n)
{
    if (n <= 0)
        return;
    ENetEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.type = ENET_EVENT_TYPE_RECEIVE;
    ev.peer = &bench_peers[id];
    ev.packet = enet_packet_create(bytes, (size_t)n, ENET_PACKET_FLAG_RELIABLE);
    srv_dispatch_message(&ev);
}

static void bench_join(int id, int n)
{
    PlayerRecord *p = &player_table[id];
    memset(p, 0, sizeof *p);
    int team = id & 1;
    player_init(p, id, team, id % 3, TOOL_GUN, 0, 0x7F7F7F, "bench");
    p->present = 1;
    p->peer = &bench_peers[id];
    bench_peers[id].data = &p->id;
    Vec3 point = {team ? 300.5f + (float)(id % 8) * 3 : 150.5f + (float)(id % 8) * 3,
                  180.5f + (float)(id * 64 / n) * 2, 40.0f};
    player_respawn(p, &point);
}

// A 30 x 30 slab at z 30 over one pillar to the ground at (215, 215).
static void bench_build_slab()
{
    for (int y = 200; y < 230; y++)
        for (int x = 200; x < 230; x++) {
            int32_t *list = map_edit_column(x, y);
            map_insert_slab(list, 30, 31);
            if (x == 215 && y == 215)
                map_insert_slab(list, 31, 40);
        }
    map_edit_finish();
}

static void bench_round(int n)
{
    map_make_flat(40, 0x7f808080u);
    memset(player_table, 0, sizeof player_table);
    memset(bench_peers, 0, sizeof bench_peers);
    srv_settings_defaults();
    srv_host = nullptr;
    srv_grenade_count = 0;
    srv_now = 1000.0f;
    srv_tick_delta = 1.0f / 60.0f;
    srv_mode_flag = GAME_MODE_CTF;
    srv_mode = GameModeCallbacks{srv_ctf_tick, srv_ctf_fill_state, srv_ctf_reset, srv_ctf_rules, srv_ctf_spawn};
    srv_ctf_reset();
    rng_srand(7);
    for (int i = 0; i < n; i++)
        bench_join(i, n);
}

// What the clients do between two ticks.
static void bench_clients(int n, int tick)
{
    uint8_t buf[MSG_MAX_SIZE];
    for (int i = 0; i < n; i++) {
        PlayerRecord *p = &player_table[i];
        p->alive = 1;
        p->health = 100;
        if (tick % 20 == i % 20) {
            float a = (float)((tick * 7 + i * 13) % 360) * 0.0174533f;
            OrientMsg o = {{cosf(a), sinf(a), 0.1f}};
            bench_deliver(i, buf, msg_write_orient(buf, sizeof buf, &o));
            MoveKeysMsg k = {(uint8_t)i, (uint32_t)((1u << KEY_FORWARD) | ((tick / 20) % 2 ? (1u << KEY_SPRINT) : 0u))};
            bench_deliver(i, buf, msg_write_move_keys(buf, sizeof buf, &k));
        }
        if (i % 2 == 0) { // shooters
            if (p->magazine == 0 && p->reload_end == 0.0f) {
                ReloadMsg r = {(uint8_t)i, 0, 0};
                bench_deliver(i, buf, msg_write_reload(buf, sizeof buf, &r));
            }
            if (tick % 30 == 0) {
                FireKeysMsg f = {(uint8_t)i, FIRE_PRIMARY};
                bench_deliver(i, buf, msg_write_fire_keys(buf, sizeof buf, &f));
                HitClaimMsg h = {(uint8_t)((i + 1) % n), HIT_TORSO};
                bench_deliver(i, buf, msg_write_hit_claim(buf, sizeof buf, &h));
            }
        } else if (tick % 30 == i % 30) { // builders: a block, then digging it out again
            ToolMsg t = {(uint8_t)i, (uint8_t)(tick / 30 % 2 ? TOOL_SPADE : TOOL_BLOCK)};
            bench_deliver(i, buf, msg_write_tool(buf, sizeof buf, &t));
            p->flood = 0;
            BlockActionMsg b = {(uint8_t)i, (uint8_t)(tick / 30 % 2 ? BLOCK_DIG : BLOCK_BUILD),
                                (int)p->eye.x + 1, (int)p->eye.y, (int)p->eye.z + 1};
            bench_deliver(i, buf, msg_write_block_action(buf, sizeof buf, &b));
        }
    }
    // Keep 64 grenades in the air over the players.
    while (srv_grenade_count < SRV_GRENADE_MAX) {
        const PlayerRecord *p = &player_table[rng_rand() % n];
        Vec3 pos = {p->eye.x + (float)(rng_rand() % 9) - 4.0f, p->eye.y + (float)(rng_rand() % 9) - 4.0f, 30.0f};
        Vec3 vel = {(float)(rng_rand() % 100 - 50) * 0.004f, (float)(rng_rand() % 100 - 50) * 0.004f, -0.2f};
        srv_add_grenade(&pos, &vel, srv_now + 0.5f + (float)(rng_rand() % 250) * 0.01f, rng_rand() % n);
    }
    if (tick % 60 == 0)
        bench_build_slab();
    if (tick % 60 == 1) {
        MapCell base = {215, 215, 35};
        map_remove_block(&base);
    }
}

static void BM_Tick(benchmark::State &state)
{
    int n = (int)state.range(0);
    bench_round(n);
    std::vector<double> us;
    int tick = 0, slabs_cut = 0, blasts = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (tick % 60 == 2 && !map_is_solid(200, 200, 30))
            slabs_cut++;
        bench_clients(n, tick);
        int live = srv_grenade_count;
        srv_now += 1.0f / 60.0f;
        game_time = srv_now;
        game_step = srv_tick_delta;
        int64_t t = 1000000 + (int64_t)srv_now;
        state.ResumeTiming();
        auto t0 = std::chrono::steady_clock::now();
        srv_tick_players(t);
        srv_mode.tick();
        srv_update_grenades();
        srv_world_step();
        auto t1 = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        blasts += live - srv_grenade_count;
        tick++;
    }
    std::sort(us.begin(), us.end());
    double p50 = us[us.size() / 2], p99 = us[us.size() * 99 / 100], mx = us.back();
    state.counters["p50_us"] = p50;
    state.counters["p99_us"] = p99;
    state.counters["max_us"] = mx;
    state.counters["slabs_cut"] = slabs_cut;
    state.counters["blasts"] = blasts;
    if (n == 16)
        bench_p50_16 = p50;
    else if (n == 32 && bench_p50_16 > 0)
        state.counters["p50_vs_16"] = p50 / bench_p50_16;
}
BENCHMARK(BM_Tick)->Arg(16)->Arg(32)->Iterations(3600)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
