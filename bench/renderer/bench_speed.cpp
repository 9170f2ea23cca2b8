// `bench_renderer --speed`: the world pass against the plain column caster
// (ref_caster.h) on the same generated map, the same eight level views at eye
// height and the same frame sizes, measured in one run; then the world pass
// looking 30 degrees down. Each figure is the mean milliseconds per view of
// one round over all views; rounds alternate the two renderers so that both
// meet the same noise, and min and median over the rounds are printed.
//   --rounds N        rounds per figure (default 9)
//   --png PREFIX      also writes both renderers' first level view as PNGs
//   --loop VIEW WxH N renders one view N times and exits (for profilers);
//                     VIEW is level0..level7, down30, ref0..ref7 or yYAWpPITCH
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/map_query.h"
#include "ref_caster.h"
#include "renderer/vox_pool.h"
#include "renderer/voxrender.h"
#include "vxmaps.h"
#include "vxpng.h"

int bench_speed_main(int argc, char **argv);

namespace {

const float kDeg = 3.14159265358979f / 180.0f;
const float kEyeAboveGround = 2.5f;
const float kRange = 128.0f;
const uint32_t kFog = 0x7F7F7F;
const int32_t kLevelViews = 8;

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

struct Bench {
    std::vector<uint32_t> frame;
    int32_t w = 0, h = 0;
};

bool bind(Bench &b, int32_t w, int32_t h)
{
    b.w = w;
    b.h = h;
    b.frame.assign((size_t)w * h, 0);
    return voxsetframebuffer(b.frame.data(), w * 4, w, h) == 1;
}

double now_ms()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void world_view(const Bench &b, const Pose &p)
{
    Vec3 r, d, f;
    vox_axes_from_angles(p.yaw * kDeg, p.pitch * kDeg, 0.0f, &r, &d, &f);
    setviewpoint(&p.pos, &r, &d, &f, b.w / 2, b.h / 2, b.w / 2);
    renderworld();
}

void ref_view(Bench &b, const Pose &p)
{
    const RefCamera c{p.pos.x, p.pos.y, p.pos.z, p.yaw * kDeg, b.w / 2};
    ref_cast_frame(b.frame.data(), b.w, b.w, b.h, c, kRange, kFog);
}

struct Figure {
    std::vector<double> rounds;
    double min() const { return *std::min_element(rounds.begin(), rounds.end()); }
    double median() const
    {
        std::vector<double> s = rounds;
        std::sort(s.begin(), s.end());
        return s.size() % 2 ? s[s.size() / 2] : 0.5 * (s[s.size() / 2 - 1] + s[s.size() / 2]);
    }
};

// One round: every pose once (after one untimed pass), mean ms per view.
template <typename Fn>
double round_ms(Bench &b, const std::vector<Pose> &poses, Fn draw)
{
    draw(b, poses[0]);
    const double t0 = now_ms();
    for (const Pose &p : poses) draw(b, p);
    return (now_ms() - t0) / (double)poses.size();
}

void print_figure(const char *what, const Figure &f)
{
    std::printf("  %-34s min %7.3f ms  median %7.3f ms\n", what, f.min(), f.median());
}

void aim(const char *what, bool met) { std::printf("  aim: %-52s %s\n", what, met ? "met" : "MISSED"); }

std::vector<Pose> level_poses()
{
    std::vector<Pose> v;
    for (int32_t k = 0; k < kLevelViews; k++) v.push_back(view_pose(k, 0.0f));
    return v;
}

int loop(const char *view, const char *size, int32_t n)
{
    Bench b;
    int32_t w = 0, h = 0;
    if (std::sscanf(size, "%dx%d", &w, &h) != 2 || !bind(b, w, h)) return 2;
    int32_t k = 0;
    const bool ref = std::sscanf(view, "ref%d", &k) == 1;
    Pose p;
    if (ref || std::sscanf(view, "level%d", &k) == 1) p = view_pose(k, 0.0f);
    else if (!std::strcmp(view, "down30")) p = view_pose(0, 30.0f);
    else if (float yaw, pitch; std::sscanf(view, "y%fp%f", &yaw, &pitch) == 2) {
        p = view_pose(0, pitch);
        p.yaw = yaw;
    } else return 2;
    Figure f;
    for (int32_t i = 0; i < n; i++) {
        const double t0 = now_ms();
        ref ? ref_view(b, p) : world_view(b, p);
        f.rounds.push_back(now_ms() - t0);
    }
    std::printf("%s %dx%d: %.3f ms per frame (min), %.3f (median); %d rays, %d samples\n", view, w, h, f.min(),
                f.median(), vox_world_stats.rays, vox_world_stats.samples);
    return 0;
}

} // namespace

int bench_speed_main(int argc, char **argv)
{
    int32_t rounds = 9;
    const char *png = nullptr;
    if (startrenderer(getcpufeatures()) != 0 || !vxmap_generated(1)) {
        std::fprintf(stderr, "bench_renderer: renderer or map not available\n");
        return 1;
    }
    setwallshades(0, 64, 32, 32, 16, 48);
    voxsetfogcolour(kFog);
    vox_set_threads(1);
    for (int i = 0; i < argc; i++) {
        if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--png") && i + 1 < argc) png = argv[++i];
        else if (!std::strcmp(argv[i], "--loop") && i + 3 < argc)
            return loop(argv[i + 1], argv[i + 2], std::atoi(argv[i + 3]));
    }

    std::printf("World pass against a plain column caster, one core, generated map, %d level views at eye "
                "height, %.0f blocks; %d rounds\n",
                kLevelViews, kRange, rounds);
    const std::vector<Pose> level = level_poses();
    Bench b;
    for (const Size &s : kSizes) {
        if (!bind(b, s.w, s.h)) return 1;
        if (png) {
            ref_view(b, level[0]);
            vxpng_write((std::string(png) + "-ref.png").c_str(), (const uint8_t *)b.frame.data(), s.w * 4, s.w, s.h);
            world_view(b, level[0]);
            vxpng_write((std::string(png) + "-world.png").c_str(), (const uint8_t *)b.frame.data(), s.w * 4, s.w,
                        s.h);
        }
        Figure ref, world;
        for (int32_t r = 0; r < rounds; r++) {
            ref.rounds.push_back(round_ms(b, level, ref_view));
            world.rounds.push_back(round_ms(b, level, world_view));
        }
        std::printf("%dx%d, level views:\n", s.w, s.h);
        print_figure("plain column caster", ref);
        print_figure("world pass", world);
        const double ratio = ref.median() / world.median();
        std::printf("  world pass speed / plain caster speed: %.2fx (medians), %.2fx (minima)\n", ratio,
                    ref.min() / world.min());
        char what[96];
        std::snprintf(what, sizeof what, "one core, level, %dx%d: at least 2.0x the plain caster", s.w, s.h);
        aim(what, ratio >= 2.0);
    }

    const Size big = kSizes[1];
    if (!bind(b, big.w, big.h)) return 1;
    std::vector<Pose> down;
    for (int32_t k = 0; k < kLevelViews; k++) down.push_back(view_pose(k, 30.0f));
    Figure d;
    for (int32_t r = 0; r < rounds; r++) d.rounds.push_back(round_ms(b, down, world_view));
    std::printf("%dx%d, 30 degrees down:\n", big.w, big.h);
    print_figure("world pass", d);
    aim("one core, 30 degrees down, 1280x960: under 8 ms", d.median() < 8.0);
    return 0;
}
