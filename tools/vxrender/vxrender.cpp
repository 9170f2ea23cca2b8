// vxrender: draws a map from a camera (and pictures over it) into a PNG, for
// checking the renderer by eye and timing its world pass.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/map_query.h"
#include "common/map_store.h"
#include "renderer/voxrender.h"
#include "vxmaps.h"
#include "vxpicture.h"
#include "vxpng.h"
#include "vxscene.h"

static void usage()
{
    std::fprintf(stderr,
                 "usage: vxrender [map] [camera] [frame] -o out.png\n"
                 "  map:    --map FILE.vxl | --gen SEED | --test flat|towers|random|town|terrain [--seed N]\n"
                 "  camera: --pos X,Y,Z (X,Y: 2.5 above the ground)  --yaw DEG --pitch DEG (down positive) --roll DEG\n"
                 "          | --right X,Y,Z --down X,Y,Z --forward X,Y,Z;  --focal PIXELS (default width/2)\n"
                 "  frame:  --size WxH (default 800x600)  --fog RRGGBB (hex, default 7F7F7F)\n"
                 "  --scalar (portable kernels)  --time N (render N times, print ms per world pass)\n"
                 "  --text STRING (6x8 text at the top-left corner)\n"
                 "  --model file=F.kv6|fig=NAME,at=X:Y:Z[,yaw=D,pitch=D,roll=D,scale=S,light=X:Y:Z,nofog]\n"
                 "  --player at=X:Y:Z[,team=blue|green,tool=spade|block|semi|smg|shotgun|grenade,\n"
                 "           pose=stand|crouch|dead,yaw=D,swing=0..1,use=S,colour=RRGGBB,sprint,intel]\n"
                 "  (--model and --player repeat; see the README)\n"
                 "%s",
                 vxpicture_usage);
}

static bool parse3(const char *s, Vec3 *v) { return std::sscanf(s, "%f,%f,%f", &v->x, &v->y, &v->z) == 3; }

int main(int argc, char **argv)
{
    std::string mapfile, testmap, out, text;
    int32_t gen = -1, seed = 1, width = 800, height = 600, focal = 0, times = 0;
    bool scalar = false, axes = false, gen_given = false, eye_on_ground = false;
    float yaw = 0, pitch = 0, roll = 0;
    uint32_t fog = 0x7F7F7F;
    Vec3 pos{256.5f, 256.5f, 30.0f}, right{}, down{}, forward{};
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        auto need = [&]() {
            if (!v) {
                std::fprintf(stderr, "vxrender: %s needs a value\n", a);
                std::exit(2);
            }
            i++;
            return v;
        };
        if (!std::strcmp(a, "--map")) mapfile = need();
        else if (!std::strcmp(a, "--gen")) gen = std::atoi(need()), gen_given = true;
        else if (!std::strcmp(a, "--test")) testmap = need();
        else if (!std::strcmp(a, "--seed")) seed = std::atoi(need());
        else if (!std::strcmp(a, "--pos")) {
            const char *p = need();
            eye_on_ground = !parse3(p, &pos);
            if (eye_on_ground && std::sscanf(p, "%f,%f", &pos.x, &pos.y) != 2) return usage(), 2;
        } else if (!std::strcmp(a, "--yaw")) yaw = (float)std::atof(need());
        else if (!std::strcmp(a, "--pitch")) pitch = (float)std::atof(need());
        else if (!std::strcmp(a, "--roll")) roll = (float)std::atof(need());
        else if (!std::strcmp(a, "--right")) axes = parse3(need(), &right) || (usage(), std::exit(2), false);
        else if (!std::strcmp(a, "--down")) axes = parse3(need(), &down) || (usage(), std::exit(2), false);
        else if (!std::strcmp(a, "--forward")) axes = parse3(need(), &forward) || (usage(), std::exit(2), false);
        else if (!std::strcmp(a, "--focal")) focal = std::atoi(need());
        else if (!std::strcmp(a, "--size")) {
            if (std::sscanf(need(), "%dx%d", &width, &height) != 2) return usage(), 2;
        } else if (!std::strcmp(a, "--fog")) fog = (uint32_t)std::strtoul(need(), nullptr, 16) & 0xFFFFFF;
        else if (!std::strcmp(a, "--scalar")) scalar = true;
        else if (!std::strcmp(a, "--time")) times = std::atoi(need());
        else if (!std::strcmp(a, "--text")) text = need();
        else if (!std::strcmp(a, "--model") || !std::strcmp(a, "--player")) {
            char err[256];
            const bool model = !std::strcmp(a, "--model");
            if (!(model ? vxscene_add_model(need(), err, sizeof err) : vxscene_add_player(need(), err, sizeof err))) {
                std::fprintf(stderr, "vxrender: %s %s\n", a, err);
                return 2;
            }
        }
        else if (!std::strcmp(a, "-o") || !std::strcmp(a, "--out")) out = need();
        else if (!std::strcmp(a, "-h") || !std::strcmp(a, "--help")) return usage(), 0;
        else if (const int r = vxpicture_option(a, v)) {
            if (r < 0) return usage(), 2;
            i++;
        } else {
            std::fprintf(stderr, "vxrender: unknown option %s\n", a);
            usage();
            return 2;
        }
    }
    if (width < VOX_MIN_XRES || width > VOX_MAX_XRES || height < VOX_MIN_YRES || height > VOX_MAX_YRES) {
        std::fprintf(stderr, "vxrender: size must be %dx%d .. %dx%d\n", VOX_MIN_XRES, VOX_MIN_YRES, VOX_MAX_XRES,
                     VOX_MAX_YRES);
        return 2;
    }

    int ok;
    if (!mapfile.empty()) {
        FILE *f = std::fopen(mapfile.c_str(), "rb");
        if (!f) {
            std::fprintf(stderr, "vxrender: cannot open %s\n", mapfile.c_str());
            return 1;
        }
        ok = map_read_file(f) && map_index_columns();
    } else if (gen_given) {
        ok = vxmap_generated(gen);
    } else if (testmap == "flat") ok = vxmap_flat(40, 0x3C8C3C);
    else if (testmap == "towers") ok = vxmap_towers();
    else if (testmap == "random") ok = vxmap_random((uint32_t)seed);
    else if (testmap == "town") ok = vxmap_town((uint32_t)seed);
    else if (testmap == "terrain" || testmap.empty()) ok = vxmap_terrain(seed);
    else {
        std::fprintf(stderr, "vxrender: unknown test map %s\n", testmap.c_str());
        return 2;
    }
    if (!ok) {
        std::fprintf(stderr, "vxrender: the map was refused\n");
        return 1;
    }

    if (startrenderer(getcpufeatures()) != 0) {
        std::fprintf(stderr, "vxrender: this processor lacks a required feature\n");
        return 1;
    }
    if (scalar) vox_use_kernels(VOX_KERNELS_SCALAR);
    setwallshades(0, 64, 32, 32, 16, 48);
    voxsetfogcolour(fog);

    const int32_t pitchbytes = width * 4;
    std::vector<uint32_t> frame((size_t)width * height, 0);
    if (!voxsetframebuffer(frame.data(), pitchbytes, width, height)) {
        std::fprintf(stderr, "vxrender: frame refused\n");
        return 1;
    }
    if (!axes) {
        const float d = 3.14159265358979f / 180.0f;
        vox_axes_from_angles(yaw * d, pitch * d, roll * d, &right, &down, &forward);
    }
    if (focal <= 0) focal = width / 2;
    if (eye_on_ground) pos.z = (float)map_ground_z((int32_t)std::floor(pos.x), (int32_t)std::floor(pos.y)) - 2.5f;
    setviewpoint(&pos, &right, &down, &forward, width / 2, height / 2, focal);
    const int drawn = renderworld();
    if (!drawn) std::fprintf(stderr, "vxrender: nothing drawn (camera inside solid or outside the map)\n");
    if (times > 0) {
        double best = 1e30, total = 0;
        for (int i = 0; i < times; i++) {
            const auto t0 = std::chrono::steady_clock::now();
            renderworld();
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            total += ms;
            if (ms < best) best = ms;
        }
        const int set = vox_kernel_set();
        std::printf("%s kernels, %d drawing threads, %dx%d: world pass %.3f ms mean, %.3f ms best over %d; %d rays, "
                    "%d samples\n",
                    set == VOX_KERNELS_AVX2 ? "AVX2" : (set == VOX_KERNELS_SSE ? "SSE" : "scalar"), vox_threads(), width,
                    height, total / times, best, times, vox_world_stats.rays, vox_world_stats.samples);
    }
    vxscene_draw_timed(times);
    const int pictures_ok = vxpicture_draw();
    if (!text.empty()) printtext6x8(2, 2, 0xFFFFFFFFu, text.c_str());
    if (!out.empty() && !vxpng_write(out.c_str(), (const uint8_t *)frame.data(), pitchbytes, width, height)) {
        std::fprintf(stderr, "vxrender: cannot write %s\n", out.c_str());
        return 1;
    }
    vxscene_clear();
    closerenderer();
    if (!pictures_ok) return 1;
    return drawn ? 0 : 3;
}
