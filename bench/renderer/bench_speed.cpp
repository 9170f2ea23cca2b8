// `bench_renderer --speed`: the speed report. On the generated map, from the
// same eight level views at eye height:
//   1. one core: the world pass against the plain column caster (ref_caster.h)
//      at 800x600 and 1280x960, and the world pass looking 30 degrees down;
//   2. the world pass on 1, 2 and 4 drawing threads;
//   3. the full frame of the scene case (bench_scene.h: world, 32 players,
//      the HUD's pictures) at 1280x960 on 4 threads, frame by frame.
// The machine is shared, so every figure is taken from several rounds (the
// renderers compared take turns, each drawing all the views in a row), and
// each figure is given as the mean over the views of the fastest round (min)
// and of the middle round (median). The aims are judged on the minima.
//   --rounds N        rounds (default 15)
//   --frames N        frames of the full-frame case (default 600)
//   --png PREFIX      also writes both renderers' first level view as PNGs
//   --loop VIEWS WxH N renders each view N times and exits (for profilers);
//                     VIEWS: a comma-separated list of level0..level7,
//                     down30, ref0..ref7 or yYAWpPITCH; BKM_RENDER_THREADS
//                     sets the threads (default 1); prints the times and a
//                     hash of the last frame's pixels and depths
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/mman.h>

#include "bench_scene.h"
#include "common/map_query.h"
#include "ref_caster.h"
#include "renderer/vox_pool.h"
#include "renderer/voxrender.h"
#include "vxmaps.h"
#include "vxpng.h"

int bench_speed_main(int argc, char **argv);
bool bench_use_generated_map();

namespace {

const float kDeg = 3.14159265358979f / 180.0f;
const float kEyeAboveGround = 2.5f;
const float kRange = 128.0f;
const uint32_t kFog = 0x7F7F7F;
const int32_t kViews = 8;

struct Size {
    int32_t w, h;
};
const Size kSizes[] = {{800, 600}, {1280, 960}};

struct Pose {
    Vec3 pos;
    float yaw, pitch; // degrees
};

Pose view_pose(int32_t k, float pitch)
{
    const float x = 256.5f, y = 256.5f;
    const float ground = (float)map_ground_z((int32_t)x, (int32_t)y);
    return Pose{Vec3{x, y, ground - kEyeAboveGround}, 10.0f + 45.0f * (float)k, pitch};
}

std::vector<Pose> poses(float pitch)
{
    std::vector<Pose> v;
    for (int32_t k = 0; k < kViews; k++) v.push_back(view_pose(k, pitch));
    return v;
}

// The frame both renderers draw into. It lies in 2 MiB pages where the
// system gives them, so that where its lines fall in the caches does not
// change from run to run with the pages the system happens to hand out (the
// plain caster, which writes a column at a time, is very sensitive to that).
struct Bench {
    uint32_t *frame = nullptr;
    int32_t w = 0, h = 0;
    ~Bench() { std::free(frame); }
};

bool bind(Bench &b, int32_t w, int32_t h)
{
    const size_t huge = (size_t)2 << 20, bytes = ((size_t)w * h * 4 + huge - 1) & ~(huge - 1);
    std::free(b.frame);
    b.frame = (uint32_t *)std::aligned_alloc(huge, bytes);
    if (!b.frame) return false;
    madvise(b.frame, bytes, MADV_HUGEPAGE);
    std::memset(b.frame, 0, bytes);
    b.w = w;
    b.h = h;
    return voxsetframebuffer(b.frame, w * 4, w, h) == 1;
}

double now_ms()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void world_view(Bench &b, const Pose &p)
{
    Vec3 r, d, f;
    vox_axes_from_angles(p.yaw * kDeg, p.pitch * kDeg, 0.0f, &r, &d, &f);
    setviewpoint(&p.pos, &r, &d, &f, b.w / 2, b.h / 2, b.w / 2);
    renderworld();
}

void ref_view(Bench &b, const Pose &p)
{
    const RefCamera c{p.pos.x, p.pos.y, p.pos.z, p.yaw * kDeg, b.w / 2};
    ref_cast_frame(b.frame, b.w, b.w, b.h, c, kRange, kFog);
}

double min_of(std::vector<double> v) { return *std::min_element(v.begin(), v.end()); }

double median_of(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : 0.5 * (v[v.size() / 2 - 1] + v[v.size() / 2]);
}

double quantile_of(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    const size_t k = (size_t)std::ceil(q * (double)v.size());
    return v[k == 0 ? 0 : k - 1];
}

// Milliseconds per view: the mean over the views of the fastest and of the
// middle round.
struct Figure {
    double min = 0, median = 0;
};

// A way to draw a view, timed beside the others of a comparison.
struct Drawer {
    const char *name;
    void (*draw)(Bench &, const Pose &);
    int32_t threads;
};

// Times every drawer on every pose, `rounds` times. In each round the
// drawers take turns, each drawing all the poses in a row (after one
// untimed frame), as a renderer draws frame after frame: what one leaves in
// the caches is its own.
std::vector<Figure> compare(Bench &b, const std::vector<Pose> &ps, const std::vector<Drawer> &ds, int32_t rounds)
{
    std::vector<std::vector<std::vector<double>>> t(ds.size(), std::vector<std::vector<double>>(ps.size()));
    for (int32_t r = 0; r < rounds; r++)
        for (size_t d = 0; d < ds.size(); d++) {
            vox_set_threads(ds[d].threads);
            ds[d].draw(b, ps.back());
            for (size_t v = 0; v < ps.size(); v++) {
                const double t0 = now_ms();
                ds[d].draw(b, ps[v]);
                t[d][v].push_back(now_ms() - t0);
            }
        }
    std::vector<Figure> out(ds.size());
    for (size_t d = 0; d < ds.size(); d++) {
        for (size_t v = 0; v < ps.size(); v++) {
            out[d].min += min_of(t[d][v]) / (double)ps.size();
            out[d].median += median_of(t[d][v]) / (double)ps.size();
        }
    }
    return out;
}

void print_figure(const char *what, const Figure &f)
{
    std::printf("  %-36s min %7.3f ms   median %7.3f ms\n", what, f.min, f.median);
}

void aim(const char *what, bool met) { std::printf("  aim: %-58s %s\n", what, met ? "met" : "MISSED"); }

// A view named as --loop takes it: the pose and whether the plain caster draws it.
bool parse_view(const char *view, Pose *p, bool *ref)
{
    int32_t k = 0, used = 0;
    *ref = std::sscanf(view, "ref%d%n", &k, &used) == 1;
    if (*ref || std::sscanf(view, "level%d%n", &k, &used) == 1) {
        if (view[used] || k < 0 || k >= kViews) return false;
        *p = view_pose(k, 0.0f);
    } else if (!std::strcmp(view, "down30")) *p = view_pose(0, 30.0f);
    else if (float yaw, pitch; std::sscanf(view, "y%fp%f%n", &yaw, &pitch, &used) == 2 && !view[used] &&
                               std::isfinite(yaw) && std::isfinite(pitch)) {
        *p = view_pose(0, pitch);
        p->yaw = yaw;
    } else return false;
    return true;
}

int loop(const char *views, const char *size, int32_t n)
{
    const char *t = std::getenv("BKM_RENDER_THREADS");
    vox_set_threads(t ? std::atoi(t) : 1);
    Bench b;
    int32_t w = 0, h = 0, used = 0;
    if (std::sscanf(size, "%dx%d%n", &w, &h, &used) != 2 || size[used] || w < 1 || h < 1 || w > 8192 || h > 8192) {
        std::fprintf(stderr, "bench_renderer: the size must be WxH (1..8192 each), not \"%s\"\n", size);
        return 2;
    }
    if (n < 1) {
        std::fprintf(stderr, "bench_renderer: the number of frames must be 1 or more\n");
        return 2;
    }
    const std::string list = views;
    for (size_t at = 0; at <= list.size();) { // every name checked before any is drawn
        const size_t end = std::min(list.find(',', at), list.size());
        const std::string view = list.substr(at, end - at);
        at = end + 1;
        Pose p;
        bool ref;
        if (!parse_view(view.c_str(), &p, &ref)) {
            std::fprintf(stderr, "bench_renderer: \"%s\" is not a view; the views are level0..level7, "
                                 "ref0..ref7 (the plain caster), down30 and yYAWpPITCH (degrees)\n",
                         view.c_str());
            return 2;
        }
    }
    if (!bind(b, w, h)) {
        std::fprintf(stderr, "bench_renderer: cannot make a %dx%d frame\n", w, h);
        return 1;
    }
    for (size_t at = 0; at <= list.size();) {
        const size_t end = std::min(list.find(',', at), list.size());
        const std::string view = list.substr(at, end - at);
        at = end + 1;
        Pose p;
        bool ref;
        if (!parse_view(view.c_str(), &p, &ref)) return 2;
        std::vector<double> ms;
        for (int32_t i = 0; i < n; i++) {
            const double t0 = now_ms();
            ref ? ref_view(b, p) : world_view(b, p);
            ms.push_back(now_ms() - t0);
        }
        // FNV-1a over the last frame's pixels and, for the world pass, its
        // depth bits: equal for every build that draws the same picture.
        uint64_t hash = 1469598103934665603ull;
        auto mix = [&](uint32_t v) {
            for (int32_t k = 0; k < 4; k++) hash = (hash ^ ((v >> (8 * k)) & 0xFF)) * 1099511628211ull;
        };
        for (int32_t i = 0; i < w * h; i++) mix(b.frame[i]);
        if (!ref)
            for (int32_t i = 0; i < w * h; i++) {
                uint32_t z;
                std::memcpy(&z, (const uint8_t *)&b.frame[i] + vox_frame.zoffset, 4);
                mix(z);
            }
        std::printf("%s %dx%d: %.3f ms per frame (min), %.3f (median); %d rays, %d samples; hash %016llx\n",
                    view.c_str(), w, h, min_of(ms), median_of(ms), vox_world_stats.rays, vox_world_stats.samples,
                    (unsigned long long)hash);
    }
    return 0;
}

// The full frame of the scene case on `threads` threads: per frame, the
// world, the players and the pictures.
void full_frame(int32_t frames, int32_t threads)
{
    const int32_t w = 1280, h = 960;
    std::vector<uint32_t> frame;
    if (!bench_scene_bind(frame, w, h, vox_kernel_set())) {
        std::printf("  scene not available\n");
        return;
    }
    vox_set_threads(threads);
    std::vector<double> total, world, players, pictures;
    for (int32_t i = -10; i < frames; i++) {
        const double t0 = now_ms();
        renderworld();
        const double t1 = now_ms();
        bench_scene_players();
        const double t2 = now_ms();
        bench_scene_pictures(w, h);
        const double t3 = now_ms();
        if (i < 0) continue; // warming up
        total.push_back(t3 - t0);
        world.push_back(t1 - t0);
        players.push_back(t2 - t1);
        pictures.push_back(t3 - t2);
    }
    std::printf("%dx%d, full frame (world, 32 players, pictures), %d threads, %d frames:\n", w, h, threads, frames);
    std::printf("  frame      p50 %7.3f ms   p99 %7.3f ms   max %7.3f ms\n", median_of(total), quantile_of(total, 0.99),
                *std::max_element(total.begin(), total.end()));
    std::printf("  world      p50 %7.3f ms   p99 %7.3f ms\n", median_of(world), quantile_of(world, 0.99));
    std::printf("  players    p50 %7.3f ms   p99 %7.3f ms\n", median_of(players), quantile_of(players, 0.99));
    std::printf("  pictures   p50 %7.3f ms   p99 %7.3f ms\n", median_of(pictures), quantile_of(pictures, 0.99));
    aim("4 threads, full frame, 1280x960: under 8.3 ms p99", quantile_of(total, 0.99) < 8.3);
}

} // namespace

void bench_speed_help(FILE *to)
{
    std::fprintf(to,
                 "bench_renderer [--speed] [--rounds N] [--frames N] [--png PREFIX]   the speed report\n"
                 "  --rounds N          rounds of each comparison (default 15)\n"
                 "  --frames N          frames of the full-frame case (default 600)\n"
                 "  --png PREFIX        also writes both renderers' first level view as PNGs\n"
                 "bench_renderer [--speed] --loop VIEWS WxH N\n"
                 "  renders each view N times and prints its times and a hash of its pixels and\n"
                 "  depths; VIEWS is a comma-separated list of level0..level7 (eye height, yaw\n"
                 "  10 + 45 k), ref0..ref7 (the same drawn by the plain caster), down30 and\n"
                 "  yYAWpPITCH (degrees, e.g. y100p-10); BKM_RENDER_THREADS sets the threads\n"
                 "  (default 1)\n"
                 "bench_renderer [benchmark options]   the world pass, scene and picture\n"
                 "  benchmarks (Google Benchmark; its options follow)\n");
}

static int bench_speed_usage(const char *option, const char *problem)
{
    std::fprintf(stderr, "bench_renderer: %s %s\n", option, problem);
    bench_speed_help(stderr);
    return 2;
}

int bench_speed_main(int argc, char **argv)
{
    int32_t rounds = 15, frames = 600, loop_n = 0;
    const char *png = nullptr, *loop_views = nullptr, *loop_size = nullptr;
    for (int i = 0; i < argc; i++) {
        const int count = !std::strcmp(argv[i], "--rounds") || !std::strcmp(argv[i], "--frames");
        if (count || !std::strcmp(argv[i], "--png")) {
            if (i + 1 >= argc) return bench_speed_usage(argv[i], "needs a value");
            if (count) {
                char *end = nullptr;
                const long v = std::strtol(argv[i + 1], &end, 10);
                if (end == argv[i + 1] || *end || v < 1 || v > 1000000)
                    return bench_speed_usage(argv[i], "takes a whole number from 1 to 1000000");
                (argv[i][2] == 'r' ? rounds : frames) = (int32_t)v;
            } else png = argv[i + 1];
            i++;
        } else if (!std::strcmp(argv[i], "--loop")) {
            if (i + 3 >= argc) return bench_speed_usage(argv[i], "takes VIEWS WxH N");
            char *end = nullptr;
            const long n = std::strtol(argv[i + 3], &end, 10);
            if (end == argv[i + 3] || *end || n < 1 || n > 1000000)
                return bench_speed_usage(argv[i], "takes N, a whole number from 1 to 1000000");
            loop_views = argv[i + 1];
            loop_size = argv[i + 2];
            loop_n = (int32_t)n;
            i += 3;
        } else return bench_speed_usage(argv[i], "is not an option of the speed report");
    }
    if (startrenderer(getcpufeatures()) != 0 || !bench_use_generated_map()) {
        std::fprintf(stderr, "bench_renderer: renderer or map not available\n");
        return 1;
    }
    setwallshades(0, 64, 32, 32, 16, 48);
    voxsetfogcolour(kFog);
    if (loop_views) return loop(loop_views, loop_size, loop_n);
    const int set = vox_kernel_set();
    std::printf("Renderer speed, generated map, %d level views at eye height, %.0f blocks, %s kernels, %d rounds\n",
                kViews, kRange, set == VOX_KERNELS_AVX2 ? "AVX2" : (set == VOX_KERNELS_SSE ? "SSE" : "scalar"),
                rounds);

    const std::vector<Pose> level = poses(0.0f);
    Bench b;
    for (const Size &s : kSizes) {
        if (!bind(b, s.w, s.h)) return 1;
        if (png) {
            vox_set_threads(1);
            ref_view(b, level[0]);
            vxpng_write((std::string(png) + "-ref.png").c_str(), (const uint8_t *)b.frame, s.w * 4, s.w, s.h);
            world_view(b, level[0]);
            vxpng_write((std::string(png) + "-world.png").c_str(), (const uint8_t *)b.frame, s.w * 4, s.w,
                        s.h);
        }
        const std::vector<Figure> f =
            compare(b, level, {{"plain caster", ref_view, 1}, {"world pass", world_view, 1}}, rounds);
        std::printf("%dx%d, level views, one core:\n", s.w, s.h);
        print_figure("plain column caster", f[0]);
        print_figure("world pass", f[1]);
        std::printf("  world pass speed / plain caster speed: %.2fx (minima), %.2fx (medians)\n", f[0].min / f[1].min,
                    f[0].median / f[1].median);
        char what[96];
        std::snprintf(what, sizeof what, "one core, level, %dx%d: at least 2.0x the plain caster", s.w, s.h);
        aim(what, f[0].min / f[1].min >= 2.0);
    }

    const Size big = kSizes[1];
    if (!bind(b, big.w, big.h)) return 1;
    const std::vector<Figure> down = compare(b, poses(30.0f), {{"world pass", world_view, 1}}, rounds);
    std::printf("%dx%d, 30 degrees down, one core:\n", big.w, big.h);
    print_figure("world pass", down[0]);
    aim("one core, 30 degrees down, 1280x960: under 8 ms", down[0].min < 8.0);

    for (const Size &s : kSizes) {
        if (!bind(b, s.w, s.h)) return 1;
        const std::vector<Figure> f = compare(
            b, level, {{"1", world_view, 1}, {"2", world_view, 2}, {"4", world_view, 4}}, rounds);
        std::printf("%dx%d, level views, world pass by drawing threads:\n", s.w, s.h);
        print_figure("1 thread", f[0]);
        print_figure("2 threads", f[1]);
        print_figure("4 threads", f[2]);
        std::printf("  scaling from 1 to 4 threads: %.2fx (minima), %.2fx (medians)\n", f[0].min / f[2].min,
                    f[0].median / f[2].median);
        if (s.w == big.w) aim("world pass, 1280x960: at least 3x from 1 to 4 threads", f[0].min / f[2].min >= 3.0);
    }

    full_frame(frames, 4);
    return 0;
}
