// Client benchmarks: receiving and expanding the server's generated map
// (chunks into the buffer; inflate + validate + index), and the time from
// connecting to the team menu against the real server over 127.0.0.1.
// Run from anywhere; it works in a scratch folder of its own.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "client/game_fatal.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/menu_screens.h"
#include "client/net_client.h"
#include "client/net_loading.h"
#include "client_fixture.h"
#include "common/lang.h"
#include "common/map_floating.h"
#include "common/map_store.h"
#include "common/terrain.h"
#include "common/timer.h"
#include "support/test_client.h"
#include "support/test_server.h"

static std::vector<uint8_t> bench_z; // the generated map as the server sends it

static int64_t bench_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The server's map of seed 1234, loaded as the server loads it, compressed
// as the server compresses it.
static void bench_make_map()
{
    if (!bench_z.empty()) return;
    terrain_generate(1234);
    map_save("bench_gen.vxl");
    map_read_file(fopen("bench_gen.vxl", "rb"));
    map_index_columns();
    map_remove_all_floating();
    map_save("bench_gen.vxl");
    std::vector<uint8_t> image(MAP_IMAGE_MAX_BYTES);
    FILE *f = fopen("bench_gen.vxl", "rb");
    image.resize(fread(image.data(), 1, image.size(), f));
    fclose(f);
    uLongf n = compressBound(image.size());
    bench_z.resize(n);
    compress2(bench_z.data(), &n, image.data(), image.size(), Z_DEFAULT_COMPRESSION);
    bench_z.resize(n);
}

static void bench_receive_chunks()
{
    uint8_t buf[MSG_MAX_SIZE];
    MapBeginMsg begin{(uint32_t)bench_z.size()};
    net_loading_packet(buf, msg_write_map_begin(buf, sizeof buf, &begin));
    for (size_t pos = 0; pos < bench_z.size(); pos += MSG_MAP_CHUNK_MAX_DATA) {
        MapChunkMsg c{bench_z.data() + pos, (uint32_t)std::min<size_t>(MSG_MAP_CHUNK_MAX_DATA, bench_z.size() - pos)};
        net_loading_packet(buf, msg_write_map_chunk(buf, sizeof buf, &c));
    }
}

// Every chunk message of the transfer into the download buffer.
static void BM_MapReceiveChunks(benchmark::State &state)
{
    bench_make_map();
    for (auto _ : state) bench_receive_chunks();
    state.counters["compressed_bytes"] = (double)bench_z.size();
}
BENCHMARK(BM_MapReceiveChunks)->Unit(benchmark::kMillisecond);

// The download expanded into the map store, validated and indexed.
static void BM_MapExpandValidateIndex(benchmark::State &state)
{
    bench_make_map();
    bench_receive_chunks();
    for (auto _ : state)
        if (!net_expand_map()) state.SkipWithError("the map did not expand");
    state.counters["image_bytes"] = (double)voxel_map.image_bytes;
}
BENCHMARK(BM_MapExpandValidateIndex)->Unit(benchmark::kMillisecond);

// From connecting to the team menu: connection, the generated map's
// download, expansion, the players and the game state, models and overview.
static void BM_ConnectToTeamMenu(benchmark::State &state)
{
    std::string root = std::filesystem::current_path().string() + "/bench_client_server";
    TestServer srv;
    srv.dir = tsv_make_dir(root, "server", BKM_SERVER_BIN, BKM_DIST_DIR);
    uint16_t port = tsv_free_port();
    tsv_write_config(srv.dir, {"port = " + std::to_string(port), "register = 0", "queryaddress = 0"});
    lang_load_file(BKM_DIST_DIR "/languages/BkmLang-EN.bin");
    char started[128];
    snprintf(started, sizeof started, lang_get(50), (int)port);
    if (!tsv_start(&srv) || !tsv_wait_output(&srv, started, 60000)) {
        state.SkipWithError("the server did not start");
        tsv_stop(&srv);
        return;
    }
    tcl_enet_init();
    for (auto _ : state) {
        ctest_reset_client();
        int64_t t0 = bench_ms();
        if (!net_client_connect(16777343u, port)) {
            state.SkipWithError("no connection");
            break;
        }
        game_set_screen(SCREEN_LOADING);
        while (client_state.screens.current == SCREEN_LOADING && ctest_fatals.empty() && bench_ms() - t0 < 20000) {
            timer_read(&game_time);
            menu_loading_screen();
            usleep(500);
        }
        state.SetIterationTime((double)(bench_ms() - t0) / 1000.0);
        if (client_state.screens.current != SCREEN_TEAM_MENU) state.SkipWithError("no team menu");
        net_client_close();
    }
    tsv_stop(&srv);
}
BENCHMARK(BM_ConnectToTeamMenu)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

int main(int argc, char **argv)
{
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("bench_client." + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    ctest_write_models(dir.string());
    game_set_fatal_handler(ctest_record_fatal);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir);
    return 0;
}
