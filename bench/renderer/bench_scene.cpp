// Full-scene timings, one core: the generated map seen 15 degrees down over a
// valley, with 32 posed players (six models each, a seventh for the intel
// carrier) spread from 4 to 60 blocks ahead, at 800x600 and 1280x960, both
// kernel sets. "scene/frame" is the whole frame (world, players and ten HUD
// pictures), "scene/world" its world pass and "scene/players" the players
// alone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "common/map_query.h"
#include "common/player.h"
#include "renderer/voxrender.h"
#include "vxmaps.h"
#include "vxmodels.h"
#include "vxscene.h"

#include "bench_scene.h"

bool bench_use_generated_map();

namespace {

const Vec3 kEye{256.5f, 256.5f, 0.0f}; // z from the ground
const float kYaw = 120.0f * 3.14159265f / 180.0f, kPitch = 15.0f * 3.14159265f / 180.0f;

bool scene_ready()
{
    static int ready = -1;
    if (ready >= 0) return ready == 1;
    ready = 0;
    if (!bench_use_generated_map() || !vxmodel_make_figures()) return false;
    // Players spread over the view: near ones few, far ones many, a mix of
    // tools and poses, legs swinging, one carrying the intel.
    for (int i = 0; i < PLAYER_MAX; i++) {
        const float d = 4.0f + 56.0f * (float)i / (PLAYER_MAX - 1);
        const float side = (float)((i * 37) % 71 - 35) * 3.14159265f / 180.0f;
        VxPlayerPose pose = vxscene_default_pose();
        pose.team = i & 1;
        pose.tool = i % 4;
        pose.weapon = (i / 4) % 3;
        pose.pose = i % 9 == 4 ? VXPOSE_CROUCH : VXPOSE_STAND;
        const float x = kEye.x + d * std::cos(kYaw + side), y = kEye.y + d * std::sin(kYaw + side);
        pose.ground = Vec3{x, y, (float)map_ground_z((int32_t)x, (int32_t)y)};
        pose.yaw = (float)i * 0.7f;
        pose.swing = i % 3 ? (float)(i % 7) / 7.0f : -1.0f;
        pose.intel = i == 5;
        if (!vxscene_pose_player(i, &pose)) return false;
    }
    ready = 1;
    return true;
}

} // namespace

bool bench_scene_bind(std::vector<uint32_t> &frame, int w, int h, int kernels)
{
    if (startrenderer(getcpufeatures()) != 0 || !scene_ready() || !bench_use_generated_map()) return false;
    vox_use_kernels(kernels);
    setwallshades(0, 64, 32, 32, 16, 48);
    voxsetfogcolour(0x7F7F7F);
    frame.assign((size_t)w * h, 0);
    if (!voxsetframebuffer(frame.data(), w * 4, w, h)) return false;
    const float ground = (float)map_ground_z((int32_t)kEye.x, (int32_t)kEye.y);
    const Vec3 pos{kEye.x, kEye.y, ground - 2.5f};
    Vec3 r, d, f;
    vox_axes_from_angles(kYaw, kPitch, 0.0f, &r, &d, &f);
    setviewpoint(&pos, &r, &d, &f, w / 2, h / 2, w / 2);
    return renderworld() == 1;
}

void bench_scene_players()
{
    const int listing = vox_sprite_list_begin();
    for (int i = 0; i < PLAYER_MAX; i++) vxscene_draw_player(i, 1);
    if (listing) vox_sprite_list_end();
}

namespace {

// The HUD's ten pictures, as the in-game frame draws them at worst: eight
// 32x32 icons and a 256x32 strip with alpha edges, and a full-screen scope
// overlay (800x600 scaled to the frame) whose clear window shows the world.
struct HudPicture {
    int32_t w, h;
    std::vector<uint32_t> pixels;
};

const HudPicture *hud_pictures()
{
    static HudPicture pics[3];
    if (!pics[0].pixels.empty()) return pics;
    const int32_t sizes[3][2] = {{32, 32}, {256, 32}, {800, 600}};
    for (int p = 0; p < 3; p++) {
        HudPicture &pic = pics[p];
        pic.w = sizes[p][0];
        pic.h = sizes[p][1];
        pic.pixels.resize((size_t)pic.w * pic.h);
        for (int32_t y = 0; y < pic.h; y++)
            for (int32_t x = 0; x < pic.w; x++) {
                uint32_t alpha;
                if (p == 2) {
                    const float dx = (float)x - 400.0f, dy = (float)y - 300.0f;
                    alpha = dx * dx + dy * dy < 250.0f * 250.0f ? 0 : 255;
                } else {
                    alpha = (x < 2 || y < 2 || x >= pic.w - 2 || y >= pic.h - 2) ? 128 : 255;
                }
                pic.pixels[(size_t)y * pic.w + x] = alpha << 24 | (uint32_t)(x * 7 & 255) << 8 | (uint32_t)(y * 5 & 255);
            }
    }
    return pics;
}

} // namespace

void bench_scene_pictures(int w, int h)
{
    const HudPicture *pics = hud_pictures();
    for (int i = 0; i < 8; i++)
        blitpicturepx(pics[0].pixels.data(), 32, 32, 0, 0, 8 + 40 * i, h - 40, 1.0f, 1.0f, 0xFFFFFFFFu);
    blitpicturepx(pics[1].pixels.data(), 256, 32, 0, 0, w - 264, h - 40, 1.0f, 1.0f, 0xFFFFFFFFu);
    blitpicturepx(pics[2].pixels.data(), 800, 600, 0, 0, 0, 0, (float)w / 800.0f, (float)h / 600.0f, 0xFFFFFFFFu);
}

namespace {

enum Part { PART_FRAME, PART_WORLD };

void scene_frame(benchmark::State &state, int w, int h, int kernels, int part)
{
    std::vector<uint32_t> frame;
    if (!bench_scene_bind(frame, w, h, kernels)) {
        state.SkipWithError("scene not available");
        return;
    }
    for (auto _ : state) {
        renderworld();
        if (part == PART_FRAME) {
            bench_scene_players();
            bench_scene_pictures(w, h);
        }
        benchmark::ClobberMemory();
    }
    state.SetLabel(kernels == VOX_KERNELS_SSE ? "sse" : "scalar");
}

void scene_players(benchmark::State &state, int w, int h, int kernels)
{
    std::vector<uint32_t> frame;
    if (!bench_scene_bind(frame, w, h, kernels)) {
        state.SkipWithError("scene not available");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        renderworld(); // fresh depths, so every frame draws the same pixels
        state.ResumeTiming();
        bench_scene_players();
        benchmark::ClobberMemory();
    }
    state.SetLabel(kernels == VOX_KERNELS_SSE ? "sse" : "scalar");
}

} // namespace

void bench_scene_register()
{
    const int sizes[2][2] = {{800, 600}, {1280, 960}};
    for (const auto &s : sizes)
        for (int k : {VOX_KERNELS_SSE, VOX_KERNELS_SCALAR}) {
            const char *set = k == VOX_KERNELS_SSE ? "sse" : "scalar";
            char name[96];
            std::snprintf(name, sizeof name, "scene/frame/%dx%d/%s", s[0], s[1], set);
            benchmark::RegisterBenchmark(name, scene_frame, s[0], s[1], k, PART_FRAME)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.2);
            std::snprintf(name, sizeof name, "scene/world/%dx%d/%s", s[0], s[1], set);
            benchmark::RegisterBenchmark(name, scene_frame, s[0], s[1], k, PART_WORLD)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.2);
            std::snprintf(name, sizeof name, "scene/players/%dx%d/%s", s[0], s[1], set);
            benchmark::RegisterBenchmark(name, scene_players, s[0], s[1], k)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.2);
        }
}
