// Client benchmarks: receiving and expanding the server's generated map
// (chunks into the buffer; inflate + validate + index), the time from
// connecting to the team menu against the real server over 127.0.0.1, and
// one frame of the world-object update on a full table and particle ring
// (p50/p99/max per frame printed as counters, microseconds).
// Run from anywhere; it works in a scratch folder of its own.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "client/game_fatal.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/menu_screens.h"
#include "client/net_client.h"
#include "client/net_loading.h"
#include "client_fixture.h"
#include "common/kv6.h"
#include "common/lang.h"
#include "common/map_damage.h"
#include "common/map_edit.h"
#include "common/map_floating.h"
#include "common/map_query.h"
#include "common/map_store.h"
#include "common/rng.h"
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

// ---- world objects and particles ----

// A stem of six blocks on the generated ground where no neighbour stands
// higher: digging its foot (three blocks) leaves the top three loose.
struct BenchStem {
    int32_t x, y, ground;
};
static std::vector<BenchStem> bench_stems;
static size_t bench_next_stem;

static void bench_build_stems()
{
    terrain_generate(1234);
    map_index_columns();
    bench_stems.clear();
    bench_next_stem = 0;
    for (int32_t y = 8; y < 504; y += 6) {
        for (int32_t x = 8; x < 504; x += 6) {
            int32_t g = map_ground_z(x, y);
            if (g < 12 || g > 60 || map_ground_z(x - 1, y) < g || map_ground_z(x + 1, y) < g ||
                map_ground_z(x, y - 1) < g || map_ground_z(x, y + 1) < g)
                continue;
            for (int32_t z = g - 6; z < g; z++) {
                MapCell c = {x, y, z};
                map_add_block(&c, 0x806040);
            }
            bench_stems.push_back({x, y, g});
        }
    }
}

// Digs the foot of the next unused stem, as the server's dig message does.
static bool bench_dig_stem()
{
    if (bench_next_stem >= bench_stems.size()) return false;
    const BenchStem &s = bench_stems[bench_next_stem++];
    MapCell c = {s.x, s.y, s.ground - 2};
    return map_remove_column3(&c) == 1;
}

static Vec3 bench_ground_point(float above)
{
    float x = 8.0f + (float)(rng_rand() % 496), y = 8.0f + (float)(rng_rand() % 496);
    return Vec3{x + 0.5f, y + 0.5f, (float)map_ground_z((int32_t)x, (int32_t)y) - above};
}

static Vec3 bench_direction(float speed)
{
    Vec3 d = {(float)(rng_rand() - 16384), (float)(rng_rand() - 16384), (float)(rng_rand() - 16384)};
    float l = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    return l > 0 ? Vec3{d.x / l * speed, d.y / l * speed, d.z / l * speed} : Vec3{speed, 0, 0};
}

static WorldObject bench_objects[WORLD_OBJECT_MAX];
static int32_t bench_object_count;
static ParticleRing bench_ring;

// 64 debris from real loose groups, 64 grenades, 64 tracers and casings up
// to 256, all on the move near the ground; 512 particles; 32 damaged blocks.
// Nothing expires at the clock the frames run at.
static void bench_fill_world(float now)
{
    game_clear_world_objects();
    game_clear_particles();
    bench_build_stems();
    rng_srand(11);
    game_time = now;
    game_step = 1.0f / 60.0f;
    for (int pass = 0; pass < 2; pass++) { // at most 32 groups a pass
        for (int i = 0; i < 32; i++) bench_dig_stem();
        game_update_world_objects();
    }
    for (int i = 0; i < world_object_count; i++) wobj_set_time(&world_objects[i], now + 1000.0f);
    for (int i = 0; i < 64; i++) {
        Vec3 at = bench_ground_point(1.5f), v = bench_direction(0.3f);
        game_add_grenade_object(&at, &v, i & 31, now + 2.5f);
    }
    for (int i = 0; i < 64; i++) {
        WorldObject *o = game_append_world_object();
        o->position = bench_ground_point(3.0f);
        Vec3 v = bench_direction(1.0f);
        wobj_set_vec(o, WOBJ_VELOCITY, &v);
        wobj_set_scale(o, 0.1f);
        wobj_set_time(o, 1000.0f);
        wobj_set_kind(o, OBJECT_TRACER);
    }
    while (WorldObject *o = game_append_world_object()) {
        o->position = bench_ground_point(0.7f);
        Vec3 v = bench_direction(0.2f), spin = bench_direction(1.0f);
        wobj_set_vec(o, WOBJ_VELOCITY, &v);
        wobj_set_vec(o, WOBJ_SPIN, &spin);
        wobj_set_scale(o, 0.02f);
        wobj_set_time(o, now + 1000.0f);
        wobj_set_kind(o, OBJECT_CASING);
    }
    for (int i = 0; i < PARTICLE_MAX / 8; i++) {
        Vec3 at = bench_ground_point(1.0f);
        game_spawn_particles(&at, 0.25f, 0x7F808080u, 8);
    }
    for (int i = 0; i < MAP_DAMAGE_SLOTS; i++) {
        HitRecord hit{};
        Vec3 at = bench_ground_point(0.0f);
        hit.x = (int32_t)at.x;
        hit.y = (int32_t)at.y;
        hit.z = (int32_t)at.z;
        map_damage_block(&hit, 10, now);
    }
    std::memcpy(bench_objects, world_objects, sizeof bench_objects);
    bench_object_count = world_object_count;
    bench_ring = particle_ring;
}

// One in-game frame of game_update_world_objects on the full table and ring,
// the damaged blocks scanned for healing. With state.range(0) set, a block
// group also comes loose in every frame (a stem dug just before it), so the
// frame finds and cuts it and builds its debris model.
static void BM_WorldObjectsFrame(benchmark::State &state)
{
    const bool loose = state.range(0) != 0;
    const float now = 100.0f;
    bench_fill_world(now);
    std::vector<double> us;
    int64_t groups = 0;
    for (auto _ : state) {
        std::memcpy(world_objects, bench_objects, sizeof world_objects);
        world_object_count = bench_object_count - (loose ? 1 : 0);
        particle_ring = bench_ring;
        game_time = now;
        game_step = 1.0f / 60.0f;
        world_next_heal = 0.0f;
        if (loose && !bench_dig_stem()) {
            bench_build_stems();
            bench_dig_stem();
        }
        auto t0 = std::chrono::steady_clock::now();
        game_update_world_objects();
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(s);
        us.push_back(s * 1e6);
        // The frame's own debris goes; the table's come back next frame.
        for (int i = bench_object_count - 1; i < world_object_count; i++) {
            if (loose && wobj_kind(&world_objects[i]) == OBJECT_DEBRIS) {
                discardmodel(world_objects[i].model);
                groups++;
            }
        }
    }
    std::sort(us.begin(), us.end());
    state.counters["p50_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    state.counters["max_us"] = us.back();
    int debris = 0;
    for (int i = 0; i < bench_object_count; i++) debris += wobj_kind(&bench_objects[i]) == OBJECT_DEBRIS;
    state.counters["objects"] = bench_object_count;
    state.counters["debris"] = debris;
    state.counters["particles"] = bench_ring.count;
    if (loose) state.counters["groups"] = (double)groups;
    std::memcpy(world_objects, bench_objects, sizeof world_objects);
    world_object_count = bench_object_count;
    game_clear_world_objects();
}
BENCHMARK(BM_WorldObjectsFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(3000);

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
