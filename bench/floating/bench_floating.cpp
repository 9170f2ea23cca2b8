// Floating-block detection on a generated map with buildings: find + take +
// drop after a single-block removal, after a grenade blast, and after the
// support of a large roof is cut; terrain generation; the whole-map pass.
// Each timed sample covers only the detection step, not the edit before it;
// p50/p99 are printed as counters (microseconds).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "common/kv6.h"
#include "common/map_edit.h"
#include "common/map_floating.h"
#include "common/map_query.h"
#include "common/map_store.h"
#include "common/rng.h"
#include "common/terrain.h"

namespace {

using Clock = std::chrono::steady_clock;

void fill(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t z0, int32_t z1)
{
    map_colour_callback = map_colour_placed_block;
    for (int32_t y = y0; y <= y1; y++)
        for (int32_t x = x0; x <= x1; x++) map_insert_slab(map_edit_column(x, y), z0, z1);
    map_edit_finish();
}

// Generated terrain with a 6 x 6 grid of houses: 16 x 16 hollow walls 16 high
// standing on the ground, with a 2-thick roof. Returns the wall and roof cells.
std::vector<MapCell> build_town()
{
    terrain_generate(1);
    map_index_columns();
    std::vector<MapCell> cells;
    for (int32_t hy = 0; hy < 6; hy++) {
        for (int32_t hx = 0; hx < 6; hx++) {
            int32_t x0 = 40 + hx * 70, y0 = 40 + hy * 70, x1 = x0 + 15, y1 = y0 + 15;
            int32_t g = 63;
            for (int32_t y = y0; y <= y1; y++)
                for (int32_t x = x0; x <= x1; x++) g = std::min(g, map_ground_z(x, y));
            int32_t top = std::max(g - 18, 1);
            map_colour_callback = map_colour_placed_block;
            for (int32_t y = y0; y <= y1; y++) {
                for (int32_t x = x0; x <= x1; x++) {
                    bool wall = x == x0 || x == x1 || y == y0 || y == y1;
                    map_insert_slab(map_edit_column(x, y), top, wall ? 64 : top + 2);
                    int32_t zmax = wall ? g - 1 : top + 1;
                    for (int32_t z = top; z <= zmax && z <= 61; z++)
                        if (wall || ((x + y) & 3) == 0) cells.push_back({x, y, z});
                }
            }
            map_edit_finish();
        }
    }
    map_seed_count = 0;
    return cells;
}

// One detection step as the client runs it; returns the groups taken.
int detect(bool sprites)
{
    map_find_floating();
    int taken = 0;
    for (int32_t i = 0; i < voxel_map.chunk_count; i++) {
        FloatingChunk *c = &voxel_map.chunks[i];
        if (c->handled) continue;
        c->handled = 1;
        SpriteInstance s{};
        if (map_take_chunk(sprites ? &s : nullptr, i)) taken++;
        discardmodel(s.model);
    }
    map_drop_taken_chunks();
    return taken;
}

void report(benchmark::State &state, std::vector<double> &us, int64_t taken)
{
    if (us.empty()) return;
    std::sort(us.begin(), us.end());
    state.counters["p50_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    state.counters["max_us"] = us.back();
    state.counters["groups"] = (double)taken;
    state.counters["samples"] = (double)us.size();
}

void run_edits(benchmark::State &state, bool blast)
{
    std::vector<MapCell> cells = build_town();
    rng_srand(5);
    std::vector<double> us;
    int64_t taken = 0;
    size_t edits = 0;
    for (auto _ : state) {
        if (edits == 3000) { // the town is worn down: rebuild it
            cells = build_town();
            edits = 0;
        }
        edits++;
        MapCell c = cells[(size_t)(rng_rand() * 32768 + rng_rand()) % cells.size()];
        if (blast)
            map_remove_cube3(&c);
        else
            map_remove_block(&c);
        Clock::time_point t0 = Clock::now();
        taken += detect(true);
        double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        us.push_back(s * 1e6);
    }
    report(state, us, taken);
}

void BM_floating_single_edit(benchmark::State &state) { run_edits(state, false); }
void BM_floating_blast(benchmark::State &state) { run_edits(state, true); }

// A 100 x 100 roof, 3 thick (30,000 blocks), on a single pillar, with the
// pillar's top block removed.
void BM_floating_roof_cut(benchmark::State &state)
{
    const bool sprites = state.range(0) != 0;
    terrain_generate(1);
    map_index_columns();
    const int32_t x0 = 200, y0 = 200, side = 100, top = 2;
    std::vector<double> us;
    int64_t taken = 0;
    for (auto _ : state) {
        fill(x0, y0, x0 + side - 1, y0 + side - 1, top, top + 3);
        fill(x0 + side / 2, y0 + side / 2, x0 + side / 2, y0 + side / 2, top + 3, 64);
        map_seed_count = 0;
        MapCell c = {x0 + side / 2, y0 + side / 2, top + 3};
        map_remove_block(&c);
        Clock::time_point t0 = Clock::now();
        int n = detect(sprites);
        double s = std::chrono::duration<double>(Clock::now() - t0).count();
        taken += n;
        state.SetIterationTime(s);
        us.push_back(s * 1e6);
        if (n != 1) state.SkipWithError("the roof did not fall");
    }
    report(state, us, taken);
}

void BM_terrain_generate(benchmark::State &state)
{
    for (auto _ : state) benchmark::DoNotOptimize(terrain_generate(1));
}

void BM_remove_all_floating_generated(benchmark::State &state)
{
    terrain_generate(1);
    map_index_columns();
    for (auto _ : state) map_remove_all_floating();
}

} // namespace

BENCHMARK(BM_floating_single_edit)->UseManualTime()->Iterations(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_floating_blast)->UseManualTime()->Iterations(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_floating_roof_cut)->Arg(1)->Arg(0)->UseManualTime()->Iterations(40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_terrain_generate)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_remove_all_floating_generated)->Iterations(5)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
