// Server benchmarks: compression of a generated map, the map transfer to one
// client, and the longest gap between ticks while 31 clients join at once.
#include <benchmark/benchmark.h>

#include <enet/enet.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "common/map_floating.h"
#include "common/map_store.h"
#include "common/terrain.h"
#include "common/timer.h"
#include "server/srv_join.h"
#include "server/srv_main.h"
#include "server/srv_state.h"
#include "support/test_client.h"
#include "support/test_server.h"

static bool bench_map_ready = false;

// A generated map, loaded the way the server loads it.
static void bench_make_map()
{
    if (bench_map_ready)
        return;
    terrain_generate(1234);
    map_save("bench_gen.vxl");
    FILE *f = fopen("bench_gen.vxl", "rb");
    srv_load_map_file(f);
    map_remove_all_floating();
    bench_map_ready = true;
}

static void BM_MapCompress(benchmark::State &state)
{
    bench_make_map();
    size_t zlen = 0;
    for (auto _ : state) {
        srv_map_cache_invalidate();
        if (!srv_map_compress())
            state.SkipWithError("compression failed");
        srv_map_compressed(&zlen);
    }
    state.counters["compressed_bytes"] = (double)zlen;
    state.counters["image_bytes"] = (double)voxel_map.image_bytes;
}
BENCHMARK(BM_MapCompress)->Unit(benchmark::kMillisecond)->Iterations(10);

// The whole transfer to one connected peer: MSG_MAP_BEGIN and every chunk
// handed to ENet (the map already compressed, as after start-up).
static void BM_MapSend(benchmark::State &state)
{
    bench_make_map();
    tcl_enet_init();
    srv_map_compress();
    for (auto _ : state) {
        state.PauseTiming();
        uint16_t port = tsv_free_port();
        ENetAddress a;
        enet_address_set_host_ip(&a, "127.0.0.1");
        a.port = port;
        srv_host = enet_host_create(&a, 2, 1, 0, 0);
        TestClient c;
        c.host = enet_host_create(nullptr, 1, 1, 0, 0);
        c.peer = enet_host_connect(c.host, &a, 1, 2);
        ENetPeer *server_peer = nullptr;
        for (int i = 0; i < 2000 && !server_peer; i++) {
            ENetEvent ev;
            enet_host_service(c.host, &ev, 0);
            if (enet_host_service(srv_host, &ev, 1) > 0 && ev.type == ENET_EVENT_TYPE_CONNECT)
                server_peer = ev.peer;
        }
        memset(&player_table[0], 0, sizeof player_table[0]);
        player_table[0].present = 1;
        player_table[0].peer = server_peer;
        state.ResumeTiming();
        srv_send_map(0);
        state.PauseTiming();
        player_table[0].present = 0;
        enet_host_destroy(srv_host);
        srv_host = nullptr;
        tcl_abort(&c);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MapSend)->Unit(benchmark::kMillisecond)->Iterations(10);

// The real start-up and loop, with 31 clients (in a thread of their own)
// connecting at once and downloading the map; the figure is the longest
// time between two ticks (a tick is due every 16.7 ms).
static void BM_JoinBurstTickGap(benchmark::State &state)
{
    tcl_enet_init();
    for (auto _ : state) {
        srv_settings_defaults();
        srv_settings.port = tsv_free_port();
        srv_player_count = 32;
        srv_register = 0;
        srv_settings.query_address = 0;
        bench_make_map();
        map_save("bench_gen.vxl");
        FILE *f = fopen("bench_gen.vxl", "rb");
        if (srv_start(f, GAME_MODE_CTF, "bench") != 0) {
            state.SkipWithError("server did not start");
            return;
        }
        std::atomic<int> done{0};
        std::atomic<int> ok{0};
        uint16_t port = srv_settings.port;
        std::thread clients([&] {
            std::vector<TestClient> c(31);
            for (auto &cl : c) {
                cl.host = enet_host_create(nullptr, 1, 1, 0, 0);
                enet_host_compress_with_range_coder(cl.host);
                ENetAddress a;
                enet_address_set_host_ip(&a, "127.0.0.1");
                a.port = port;
                cl.peer = enet_host_connect(cl.host, &a, 1, 2);
            }
            int64_t end = tsv_now_ms() + 60000;
            for (;;) {
                int n = 0;
                for (auto &cl : c) {
                    tcl_service(&cl, 0);
                    n += cl.map_done && cl.have_state;
                }
                if (n == 31 || tsv_now_ms() > end) {
                    ok = n;
                    break;
                }
            }
            for (auto &cl : c)
                tcl_abort(&cl);
            done = 1;
        });
        std::vector<double> gaps;
        auto last = std::chrono::steady_clock::now();
        double longest_step = 0;
        while (!done) {
            auto s0 = std::chrono::steady_clock::now();
            int ticked = srv_loop_step();
            longest_step = std::max(longest_step, std::chrono::duration<double, std::milli>(
                                                      std::chrono::steady_clock::now() - s0).count());
            if (ticked) {
                auto t = std::chrono::steady_clock::now();
                gaps.push_back(std::chrono::duration<double, std::milli>(t - last).count());
                last = t;
            }
        }
        clients.join();
        srv_shutdown();
        std::sort(gaps.begin(), gaps.end());
        state.counters["clients_done"] = (double)ok.load();
        state.counters["longest_pass_ms"] = longest_step;
        state.counters["ticks"] = (double)gaps.size();
        state.counters["max_gap_ms"] = gaps.empty() ? 0 : gaps.back();
        state.counters["p99_gap_ms"] = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100];
    }
}
BENCHMARK(BM_JoinBurstTickGap)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

BENCHMARK_MAIN();
