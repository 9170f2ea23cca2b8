// Server benchmarks: compression of a generated map, what a map command's
// check of a 16 MiB file costs, what a join costs the game thread, the longest gap between ticks while 31 clients join at once, and
// the tick gaps and download times while players rejoin a game whose map
// changes every tick.
#include <benchmark/benchmark.h>

#include <enet/enet.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/map_floating.h"
#include "common/map_store.h"
#include "common/terrain.h"
#include "common/timer.h"
#include "server/srv_join.h"
#include "server/srv_main.h"
#include "server/srv_mapfile.h"
#include "server/srv_mapzip.h"
#include "server/srv_send.h"
#include "server/srv_state.h"
#include "support/test_client.h"
#include "support/test_game.h"
#include "support/test_server.h"

static bool bench_map_ready = false;
// The generated map's file lives in a folder of its own, removed at exit.
static std::string bench_map_path;
// Set by any benchmark that fails, so that the program's status says so.
static bool bench_failed = false;

static void bench_fail(benchmark::State &state, const char *why)
{
    bench_failed = true;
    state.SkipWithError(why);
}

// Players connect from their own addresses: one per client, so that the
// server's cap on connections in progress per address never applies.
static const char *bench_client_ip(int i)
{
    static char ips[64][20];
    snprintf(ips[i & 63], sizeof ips[0], "127.0.0.%d", (i & 63) + 2);
    return ips[i & 63];
}

// A generated map, loaded the way the server loads it.
static void bench_make_map()
{
    if (bench_map_ready)
        return;
    terrain_generate(1234);
    map_save(bench_map_path.c_str());
    FILE *f = fopen(bench_map_path.c_str(), "rb");
    srv_mapfile_load(f, nullptr, 0);
    map_remove_all_floating();
    bench_map_ready = true;
}

static void BM_MapCompress(benchmark::State &state)
{
    bench_make_map();
    std::vector<uint8_t> image(16u << 20);
    size_t n = srv_mapzip_serialise(image.data(), image.size());
    size_t zlen = 0;
    for (auto _ : state) {
        uint8_t *z = srv_mapzip_compress(image.data(), n, &zlen, nullptr);
        if (!z)
            bench_fail(state, "compression failed");
        free(z);
    }
    state.counters["compressed_bytes"] = (double)zlen;
    state.counters["image_bytes"] = (double)n;
}
BENCHMARK(BM_MapCompress)->Unit(benchmark::kMillisecond)->Iterations(10);

// What a "map NAME" check costs the game thread for a file as large as a map
// may be (16 MiB, read whole, then found not to be a map): the first check
// after start and the ones after it, each with the file in the page cache,
// the read buffer taken at start as the server takes it.
static void BM_MapCheck16MiB(benchmark::State &state)
{
    mkdir("vxl", 0755);
    FILE *out = fopen("vxl/bench_check.vxl", "wb");
    std::vector<uint8_t> ones((size_t)MAP_IMAGE_MAX_BYTES, 0xFF);
    if (!out || fwrite(ones.data(), 1, ones.size(), out) != ones.size()) {
        state.SkipWithError("cannot write the file");
        if (out)
            fclose(out);
        return;
    }
    fclose(out);
    srv_mapfile_shutdown();
    srv_mapfile_init();
    double first = -1, most = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        char why[SRV_MAPFILE_WHY];
        int r = srv_mapfile_check(srv_mapfile_open("bench_check", why, sizeof why), why, sizeof why);
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        if (r != SRV_MAPFILE_INVALID)
            state.SkipWithError("the file was not read as a refused map");
        if (first < 0)
            first = ms;
        most = std::max(most, ms);
    }
    state.counters["first_ms"] = first;
    state.counters["max_ms"] = most;
    std::remove("vxl/bench_check.vxl");
}
BENCHMARK(BM_MapCheck16MiB)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

// What a join costs the game thread when the map has changed since the last
// one: the snapshot (serialise, compare, hand to the worker), never the
// compression itself.
static void BM_JoinSnapshot(benchmark::State &state)
{
    bench_make_map();
    ENetPeer peer;
    memset(&peer, 0, sizeof peer);
    enet_list_clear(&peer.outgoingCommands);
    memset(&player_table[0], 0, sizeof player_table[0]);
    player_table[0].present = 1;
    player_table[0].peer = &peer;
    for (auto _ : state) {
        state.PauseTiming();
        srv_mapzip_wait(10000);
        srv_pending_discard(0);
        voxel_map.columns[0][4] ^= 1; // a colour byte: the map changed
        state.ResumeTiming();
        srv_send_map(0);
    }
    srv_pending_discard(0);
    srv_mapzip_shutdown();
    player_table[0].present = 0;
}
BENCHMARK(BM_JoinSnapshot)->Unit(benchmark::kMillisecond)->Iterations(10);

// Starts the real server in this process on the generated map, 32 slots,
// nothing leaving the machine. False (and the benchmark skipped) on failure.
static bool bench_start_server(benchmark::State &state)
{
    srv_settings_defaults();
    srv_settings.port = tsv_free_port();
    srv_player_count = 32;
    srv_register = 0;
    srv_settings.query_address = 0;
    bench_make_map();
    map_save(bench_map_path.c_str());
    FILE *f = fopen(bench_map_path.c_str(), "rb");
    if (srv_start(f, GAME_MODE_CTF, "bench") != 0) {
        bench_fail(state, "server did not start");
        return false;
    }
    return true;
}

// Runs the server loop until `done`, recording the gaps between ticks while
// `measuring` holds, then shuts the server down and reports them.
static void bench_run_server(benchmark::State &state, const std::atomic<int> &done,
                             const std::atomic<int> &measuring)
{
    std::vector<double> gaps;
    auto last = std::chrono::steady_clock::now();
    double longest_step = 0;
    while (!done) {
        auto s0 = std::chrono::steady_clock::now();
        int ticked = srv_loop_step();
        auto s1 = std::chrono::steady_clock::now();
        if (measuring)
            longest_step = std::max(longest_step, std::chrono::duration<double, std::milli>(s1 - s0).count());
        if (ticked) {
            if (measuring)
                gaps.push_back(std::chrono::duration<double, std::milli>(s1 - last).count());
            last = s1;
        }
    }
    srv_shutdown();
    std::sort(gaps.begin(), gaps.end());
    state.counters["longest_pass_ms"] = longest_step;
    state.counters["ticks"] = (double)gaps.size();
    state.counters["max_gap_ms"] = gaps.empty() ? 0 : gaps.back();
    state.counters["p50_gap_ms"] = gaps.empty() ? 0 : gaps[gaps.size() / 2];
    state.counters["p99_gap_ms"] = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100];
    if (getenv("BENCH_GAPS"))
        for (size_t i = gaps.size() * 9 / 10; i < gaps.size(); i++)
            fprintf(stderr, "%.2f ", gaps[i]);
}

// The real start-up and loop, with 31 clients (in a thread of their own)
// connecting at once and downloading the map; the figure is the longest
// time between two ticks (a tick is due every 16.7 ms).
static void BM_JoinBurstTickGap(benchmark::State &state)
{
    tcl_enet_init();
    for (auto _ : state) {
        if (!bench_start_server(state))
            return;
        std::atomic<int> done{0};
        std::atomic<int> measuring{1};
        std::atomic<int> ok{0};
        uint16_t port = srv_settings.port;
        std::thread clients([&] {
            std::vector<TestClient> c(31);
            for (size_t i = 0; i < c.size(); i++)
                tcl_connect_begin(&c[i], bench_client_ip((int)i), port);
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
        bench_run_server(state, done, measuring);
        clients.join();
        state.counters["clients_done"] = (double)ok.load();
        if (ok != 31)
            bench_fail(state, "not every client got the map within 60 s");
    }
}
BENCHMARK(BM_JoinBurstTickGap)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// One scripted player of the rejoin benchmark.
struct BenchPlayer {
    TestClient c;
    int cell[3] = {0, 0, 0}; // the cell an editor builds and clears in turn
    bool built = false;
    int64_t next_edit_ms = 0;
};

// Chooses, beside the player's spawn point, a column whose top lies near
// his own, and the cell above it. False when none is in reach.
static bool bench_edit_cell(BenchPlayer *p)
{
    Vec3 at;
    if (!tgm_spawn_position(&p->c, &at))
        return false;
    int x = (int)at.x, y = (int)at.y;
    int own = tgm_top_z(&p->c, x, y);
    for (int d = 1; d <= 2; d++) {
        const int n[4][2] = {{d, 0}, {-d, 0}, {0, d}, {0, -d}};
        for (const auto &o : n) {
            int top = tgm_top_z(&p->c, x + o[0], y + o[1]);
            if (top >= 2 && own >= 0 && std::abs(top - own) <= 1) {
                p->cell[0] = x + o[0];
                p->cell[1] = y + o[1];
                p->cell[2] = top - 1;
                return true;
            }
        }
    }
    return false;
}

// Builds the block, or clears it again, with the tool each needs.
static void bench_edit(BenchPlayer *p)
{
    uint8_t id = (uint8_t)p->c.own_id;
    int kind = p->built ? BLOCK_DESTROY : BLOCK_BUILD;
    tgm_send(&p->c, msg_write_tool, ToolMsg{id, (uint8_t)(p->built ? TOOL_SPADE : TOOL_BLOCK)});
    tgm_send(&p->c, msg_write_block_action, BlockActionMsg{id, (uint8_t)kind, p->cell[0], p->cell[1], p->cell[2]});
    p->built = !p->built;
}

// 32 players in a game whose map changes every tick (24 of them build and
// clear a block each in turn, 2.5 edits a second each, within the flood
// rule); the other 8 leave and rejoin one after another. Figures: the tick
// gaps while that goes on, and the time from each rejoiner's connect until
// his whole map has arrived.
static void BM_RejoinWhileEditing(benchmark::State &state)
{
    const int kPlayers = 32, kRejoiners = 8, kEditPeriodMs = 400;
    tcl_enet_init();
    for (auto _ : state) {
        if (!bench_start_server(state))
            return;
        std::atomic<int> done{0};
        std::atomic<int> measuring{0};
        std::atomic<int> failed{0};
        std::vector<double> to_map_ms;
        long edits = 0, applied = 0;
        uint16_t port = srv_settings.port;
        std::thread clients([&] {
            std::vector<BenchPlayer> pl(kPlayers);
            auto poll_all = [&] {
                for (auto &p : pl)
                    if (p.c.host)
                        tcl_poll(&p.c);
            };
            auto wait_for = [&](auto pred, int ms) {
                int64_t end = tsv_now_ms() + ms;
                while (!pred() && tsv_now_ms() < end) {
                    poll_all();
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
                return pred();
            };
            // Everybody in, on one team or the other.
            for (int i = 0; i < kPlayers; i++)
                tcl_connect_begin(&pl[i].c, bench_client_ip(i), port);
            std::vector<bool> asked(kPlayers, false);
            bool all_in = wait_for([&] {
                int n = 0;
                for (int i = 0; i < kPlayers; i++) {
                    BenchPlayer &p = pl[i];
                    if (p.c.map_done && p.c.have_state && !asked[i]) {
                        tcl_join_request(&p.c, i % 2, 0, "bench");
                        asked[i] = true;
                    }
                    n += p.c.spawned;
                }
                return n == kPlayers;
            }, 60000);
            int editors = 0;
            int64_t now = tsv_now_ms();
            for (int i = kRejoiners; i < kPlayers && all_in; i++) {
                BenchPlayer &p = pl[i];
                if (bench_edit_cell(&p)) {
                    p.next_edit_ms = now + (int64_t)editors * kEditPeriodMs / (kPlayers - kRejoiners);
                    editors++;
                }
            }
            if (!all_in || editors < (kPlayers - kRejoiners) * 3 / 4) {
                failed = 1;
                done = 1;
                return;
            }
            auto edit_due = [&] {
                int64_t t = tsv_now_ms();
                for (int i = kRejoiners; i < kPlayers; i++) {
                    BenchPlayer &p = pl[i];
                    if (p.next_edit_ms && t >= p.next_edit_ms) {
                        bench_edit(&p);
                        edits++;
                        p.next_edit_ms += kEditPeriodMs;
                    }
                }
                for (const auto &m : pl[kPlayers - 1].c.messages)
                    applied += m[0] == MSG_BLOCK_ACTION;
                for (auto &p : pl)
                    p.c.messages.clear();
                return false;
            };
            wait_for(edit_due, 1000); // the edits settle into their rhythm
            measuring = 1;
            for (int k = 0; k < kRejoiners && !failed; k++) {
                BenchPlayer &p = pl[k];
                enet_peer_disconnect(p.c.peer, 0);
                wait_for([&] { return edit_due() || p.c.disconnected; }, 3000);
                tcl_abort(&p.c);
                p.c = TestClient();
                int64_t t0 = tsv_now_ms();
                tcl_connect_begin(&p.c, bench_client_ip(k), port);
                if (!wait_for([&] { return edit_due() || p.c.map_done || p.c.disconnected; }, 30000) ||
                    !p.c.map_done) {
                    failed = 1;
                    break;
                }
                to_map_ms.push_back((double)(tsv_now_ms() - t0));
                wait_for([&] { return edit_due() || p.c.have_state; }, 10000);
                tcl_join_request(&p.c, k % 2, 0, "bench");
                wait_for([&] { return edit_due() || p.c.spawned; }, 10000);
                wait_for(edit_due, 300);
            }
            measuring = 0;
            for (auto &p : pl)
                tcl_abort(&p.c);
            done = 1;
        });
        bench_run_server(state, done, measuring);
        clients.join();
        if (failed) {
            bench_fail(state, "players did not get in or a rejoin failed");
            return;
        }
        std::sort(to_map_ms.begin(), to_map_ms.end());
        double sum = 0;
        for (double v : to_map_ms)
            sum += v;
        state.counters["rejoins"] = (double)to_map_ms.size();
        state.counters["connect_to_map_ms"] = to_map_ms.empty() ? 0 : sum / (double)to_map_ms.size();
        state.counters["connect_to_map_max_ms"] = to_map_ms.empty() ? 0 : to_map_ms.back();
        state.counters["edits"] = (double)edits;
        state.counters["edits_applied"] = (double)applied; // as one player saw them
    }
}
BENCHMARK(BM_RejoinWhileEditing)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// As BENCHMARK_MAIN, but a failed benchmark fails the program, and the map's
// folder goes away however the run ends.
int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    char dir[] = "/tmp/bench_server.XXXXXX";
    if (!mkdtemp(dir)) {
        fprintf(stderr, "bench_server: cannot make a temporary folder\n");
        return 1;
    }
    bench_map_path = std::string(dir) + "/gen.vxl";
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    if (bench_failed)
        fprintf(stderr, "bench_server: a benchmark failed\n");
    return bench_failed ? 1 : 0;
}
