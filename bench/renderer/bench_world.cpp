// World pass timings, one core: generated terrain seen level (the worst case),
// 30 degrees down and straight down, and a built-up area; three frame sizes;
// AVX2 (where the processor has it), SSE and scalar kernels. Prints the
// milliseconds per world pass. The full scene with players is in
// bench_scene.cpp. `bench_renderer --speed` instead prints the comparison
// with the plain column caster and the speed aims (bench_speed.cpp).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/map_query.h"
#include "renderer/vox_pool.h"
#include "renderer/voxrender.h"
#include "bench_scene.h"
#include "vxmaps.h"

namespace {

enum MapId { MAP_NONE, MAP_GENERATED, MAP_TOWN };
MapId current = MAP_NONE;

bool use_map(MapId m)
{
    if (current == m) return true;
    current = MAP_NONE;
    if (!(m == MAP_GENERATED ? vxmap_generated(1) : vxmap_town(3))) return false;
    current = m;
    return true;
}

} // namespace

// The full-scene case's map is the generated one of the level view.
bool bench_use_generated_map() { return use_map(MAP_GENERATED); }

namespace {

struct View {
    const char *name;
    MapId map;
    float x, y, eye; // eye: blocks above the ground there
    float yaw, pitch;
};

const View views[] = {
    {"level", MAP_GENERATED, 256.5f, 256.5f, 2.5f, 30.0f, 0.0f},
    {"down30", MAP_GENERATED, 256.5f, 256.5f, 2.5f, 30.0f, 30.0f},
    {"straightdown", MAP_GENERATED, 256.5f, 256.5f, 2.5f, 30.0f, 90.0f},
    {"builtup", MAP_TOWN, 254.0f, 262.0f, 2.5f, 10.0f, 0.0f},
};

const char *kernel_name(int set)
{
    return set == VOX_KERNELS_AVX2 ? "avx2" : (set == VOX_KERNELS_SSE ? "sse" : "scalar");
}

void world_pass(benchmark::State &state, const View *v, int w, int h, int kernels)
{
    if (startrenderer(getcpufeatures()) != 0 || !use_map(v->map)) {
        state.SkipWithError("renderer or map not available");
        return;
    }
    vox_use_kernels(kernels);
    vox_set_threads(1);
    setwallshades(0, 64, 32, 32, 16, 48);
    voxsetfogcolour(0x7F7F7F);
    std::vector<uint32_t> frame((size_t)w * h);
    if (!voxsetframebuffer(frame.data(), w * 4, w, h)) {
        state.SkipWithError("frame refused");
        return;
    }
    const float ground = (float)map_ground_z((int32_t)v->x, (int32_t)v->y);
    const Vec3 pos{v->x, v->y, ground - v->eye};
    Vec3 r, d, f;
    const float deg = 3.14159265f / 180.0f;
    vox_axes_from_angles(v->yaw * deg, v->pitch * deg, 0.0f, &r, &d, &f);
    setviewpoint(&pos, &r, &d, &f, w / 2, h / 2, w / 2);
    if (!renderworld()) {
        state.SkipWithError("camera inside solid");
        return;
    }
    for (auto _ : state) {
        renderworld();
        benchmark::ClobberMemory();
    }
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    state.SetLabel(kernel_name(kernels));
}

} // namespace

int bench_speed_main(int argc, char **argv);
void bench_speed_help(FILE *to);

int main(int argc, char **argv)
{
    // The speed report's options work with or without --speed before them.
    if (argc > 1 && !std::strcmp(argv[1], "--speed")) return bench_speed_main(argc - 2, argv + 2);
    for (const char *o : {"--loop", "--rounds", "--frames", "--png"})
        if (argc > 1 && !std::strcmp(argv[1], o)) return bench_speed_main(argc - 1, argv + 1);
    if (argc > 1 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        bench_speed_help(stdout);
        std::printf("\n");
    }
    const int sizes[3][2] = {{640, 480}, {800, 600}, {1280, 960}};
    for (const View &v : views)
        for (const auto &s : sizes)
            for (int k : {VOX_KERNELS_AVX2, VOX_KERNELS_SSE, VOX_KERNELS_SCALAR}) {
                if (k == VOX_KERNELS_AVX2 && !vox_cpu_has_avx2()) continue;
                char name[96];
                std::snprintf(name, sizeof name, "world/%s/%dx%d/%s", v.name, s[0], s[1], kernel_name(k));
                benchmark::RegisterBenchmark(name, world_pass, &v, s[0], s[1], k)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(0.2);
            }
    bench_scene_register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
