// World benchmarks: read + index of a full map, edits per second for each
// block operation, ray casts per second (typical, and skimming a flat floor).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "common/byteio.h"
#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/map_ray.h"
#include "common/map_store.h"
#include "map_builders.h"

static const char *kHeavyPath = "bench_heavy.vxl";
static const char *kTypicalPath = "bench_typical.vxl";

// A heavy map: hills whose columns carry long coloured runs (about 8 words
// per column), so indexing shades ~2 million colours and completes every
// border column.
static void write_heavy_map()
{
    build_hills_map(11);
    std::vector<uint8_t> img;
    img.reserve((size_t)MAP_COLUMNS * 40);
    uint32_t h = 12345;
    for (int32_t i = 0; i < MAP_COLUMNS; i++) {
        int32_t s = map_column(i & 511, i >> 9)[1];
        h = h * 1664525u + 1013904223u;
        int32_t e = s + (int32_t)((h >> 16) % 14);
        if (e > 63) e = 63;
        uint8_t hdr[4] = {0, (uint8_t)s, (uint8_t)e, 0};
        img.insert(img.end(), hdr, hdr + 4);
        for (int32_t z = s; z <= e; z++) {
            uint8_t w[4];
            le_put_u32(w, 0x7F000000u | (h & 0xFFFFFFu));
            img.insert(img.end(), w, w + 4);
        }
    }
    FILE *f = std::fopen(kHeavyPath, "wb");
    std::fwrite(img.data(), 1, img.size(), f);
    std::fclose(f);
}

static void BM_ReadIndexTypical(benchmark::State &state)
{
    build_random_map(3, 20000);
    map_save(kTypicalPath);
    for (auto _ : state) {
        map_read_file(std::fopen(kTypicalPath, "rb"));
        benchmark::DoNotOptimize(map_index_columns());
    }
    state.counters["file_MB"] = (double)voxel_map.image_bytes / 1e6;
}
BENCHMARK(BM_ReadIndexTypical)->Unit(benchmark::kMillisecond);

static void BM_ReadIndexHeavy(benchmark::State &state)
{
    write_heavy_map();
    for (auto _ : state) {
        map_read_file(std::fopen(kHeavyPath, "rb"));
        benchmark::DoNotOptimize(map_index_columns());
    }
    state.counters["file_MB"] = (double)voxel_map.image_bytes / 1e6;
}
BENCHMARK(BM_ReadIndexHeavy)->Unit(benchmark::kMillisecond);

// Edits at random cells around the ground of a hills map with caves.
static void edit_bench(benchmark::State &state, int op)
{
    build_random_map(5, 5000);
    std::mt19937 gen(99);
    for (auto _ : state) {
        MapCell c{(int32_t)(gen() % 512), (int32_t)(gen() % 512), 0};
        int32_t g = map_column(c.x, c.y)[1];
        c.z = op == 0 ? g - 1 : g + 1 + (int32_t)(gen() % 3);
        if (c.z < 0) c.z = 0;
        if (c.z > 61) c.z = 61;
        switch (op) {
        case 0: map_add_block(&c, 0x406080); break;
        case 1: map_remove_block(&c); break;
        case 2: map_remove_column3(&c); break;
        default: map_remove_cube3(&c); break;
        }
        map_seed_count = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
static void BM_EditAddBlock(benchmark::State &s) { edit_bench(s, 0); }
static void BM_EditRemoveBlock(benchmark::State &s) { edit_bench(s, 1); }
static void BM_EditRemoveColumn3(benchmark::State &s) { edit_bench(s, 2); }
static void BM_EditRemoveCube3(benchmark::State &s) { edit_bench(s, 3); }
BENCHMARK(BM_EditAddBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditRemoveBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditRemoveColumn3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditRemoveCube3)->Unit(benchmark::kMicrosecond);

// Rays from eye height in random directions over a hills map with caves.
static void BM_RayCastTypical(benchmark::State &state)
{
    build_random_map(7, 20000);
    std::mt19937 gen(5);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    const int N = 4096;
    std::vector<Vec3> pos(N), dir(N);
    for (int i = 0; i < N; i++) {
        float x = 16 + u(gen) * 480, y = 16 + u(gen) * 480;
        pos[i] = {x, y, (float)map_ground_z((int32_t)x, (int32_t)y) - 2.4f};
        float a = u(gen) * 6.2831853f, e = (u(gen) - 0.5f) * 1.2f;
        dir[i] = {std::cos(a) * std::cos(e), std::sin(a) * std::cos(e), std::sin(e)};
    }
    int i = 0, hits = 0;
    for (auto _ : state) {
        HitRecord rec, *hp = &rec;
        map_ray_cast(&pos[i], &dir[i], &hp);
        hits += hp != nullptr;
        i = (i + 1) & (N - 1);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["hit_ratio"] = (double)hits / (double)state.iterations();
}
BENCHMARK(BM_RayCastTypical);

// Worst case: a ray skimming just above a flat floor crosses the whole map
// and leaves through its side.
static void BM_RayCastSkimFloor(benchmark::State &state)
{
    build_flat_map(40);
    Vec3 pos{1.5f, 3.5f, 39.5f}, dir{1.0f, 0.37f, 0.0005f};
    for (auto _ : state) {
        HitRecord rec, *hp = &rec;
        map_ray_cast(&pos, &dir, &hp);
        benchmark::DoNotOptimize(hp);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RayCastSkimFloor);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(kHeavyPath);
    std::remove(kTypicalPath);
    return 0;
}
