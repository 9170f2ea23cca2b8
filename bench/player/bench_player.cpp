// player_physics_step calls per second on a generated map: 32 players
// walking, strafing, jumping and turning over the terrain.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/map_query.h"
#include "common/player.h"
#include "common/player_physics.h"
#include "common/rng.h"
#include "common/terrain.h"
#include "common/timer.h"
#include "test_map_fixture.h"

// The generator's height map as a ground-only world (solid from the ground z
// down), loaded through the store's image loader.
static bool bench_map_ready()
{
    static int ready = -1;
    if (ready >= 0) return ready == 1;
    static uint32_t height[TERRAIN_COLUMNS];
    terrain_build_heightmap(1234, height);
    ready = fixture_load([](int x, int y) { return mask_ground((int)(height[y * 512 + x] >> 24) & 63); });
    return ready == 1;
}

static Vec3 spawn_points[PLAYER_MAX];

static void spawn_all()
{
    std::memset(player_table, 0, sizeof player_table);
    rng_srand(99);
    for (int i = 0; i < PLAYER_MAX; i++) {
        PlayerRecord *p = &player_table[i];
        player_init(p, i, i & 1, i % WEAPON_COUNT, TOOL_GUN, 0, 0, "bench");
        float x = 32.0f + (float)(rng_rand() % 448) + 0.5f;
        float y = 32.0f + (float)(rng_rand() % 448) + 0.5f;
        Vec3 pt = {x, y, (float)map_ground_z((int)x, (int)y)};
        player_respawn(p, &pt);
        spawn_points[i] = p->position;
    }
}

static void BM_player_physics_step(benchmark::State &state)
{
    if (!bench_map_ready()) {
        state.SkipWithError("map generation failed");
        return;
    }
    spawn_all();
    game_step = 1.0f / 60.0f;
    game_time = 1.0f;
    uint32_t n = 0;
    for (auto _ : state) {
        PlayerRecord *p = &player_table[n & (PLAYER_MAX - 1)];
        uint32_t t = n >> 5;
        if ((t & 63) == 0) {
            float a = (float)((n * 2654435761u) >> 20) * 0.0015339808f;  // 0..2 pi
            Vec3 f = {std::cos(a), std::sin(a), 0.1f};
            player_set_orientation(p, &f);
            p->keys[KEY_FORWARD] = 1;
            p->keys[KEY_LEFT] = (t >> 6) & 1;
            p->keys[KEY_SPRINT] = (t >> 7) & 1;
        }
        if ((t & 31) == 7 && !p->airborne) p->keys[KEY_JUMP] = 1;
        benchmark::DoNotOptimize(player_physics_step(p));
        if ((n & (PLAYER_MAX - 1)) == PLAYER_MAX - 1) game_time += game_step;
        n++;
    }
    state.SetItemsProcessed(state.iterations());
    // Shows the players really crossed the terrain rather than standing in a corner.
    double travel = 0.0;
    for (int i = 0; i < PLAYER_MAX; i++)
        travel += std::hypot(player_table[i].position.x - spawn_points[i].x,
                             player_table[i].position.y - spawn_points[i].y);
    state.counters["mean_travel_blocks"] = travel / PLAYER_MAX;
    state.counters["steps_per_s"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_player_physics_step);

BENCHMARK_MAIN();
