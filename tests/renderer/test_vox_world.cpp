// World pass: coverage over many cameras, kernel identity, geometry and
// colours of faces, floors and sky, and a few golden images.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/map_edit.h"
#include "common/map_store.h"
#include "renderer/vox_kernels.h"
#include "renderer/vox_pool.h"
#include "renderer/vox_scan_state.h"
#include "renderer/voxrender.h"
#include "vox_test_frame.h"
#include "vxmaps.h"

namespace {

using namespace voxtest;

// A camera whose vertical vanishing point lies at screen point (px, py) of a
// w x h frame (focal f): world +z (looking down) or -z (up) seen through it.
Cam vanishing_at(const char *name, Vec3 pos, double px, double py, int32_t w, int32_t h, int32_t f, bool up)
{
    double n[3] = {px - w / 2, py - h / 2, (double)f};
    const double l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double &v : n) v = (up ? -v : v) / l;
    // Rows r, d, f of an orthonormal matrix whose z column is n.
    double a[3] = {n[1], -n[0], 0.0};
    double al = std::sqrt(a[0] * a[0] + a[1] * a[1]);
    if (al < 1e-9) a[0] = 1, a[1] = 0, al = 1;
    a[0] /= al, a[1] /= al;
    const double b[3] = {n[1] * a[2] - n[2] * a[1], n[2] * a[0] - n[0] * a[2], n[0] * a[1] - n[1] * a[0]};
    Cam c{name, pos, v3(a[0], b[0], n[0]), v3(a[1], b[1], n[1]), v3(a[2], b[2], n[2]), f};
    return c;
}

std::vector<Cam> coverage_cameras(int32_t w, int32_t h)
{
    const Vec3 p = v3(206.5, 196.5, 44.2); // among the towers, under their tops
    const Vec3 q = v3(240.3, 301.7, 45.5); // under the bridge
    std::vector<Cam> cams = {
        angles("level", p, 30, 0, 0),
        angles("level-x", p, 0, 0, 0),
        angles("level-y", p, 90, 0, 0),
        angles("tiny-down", p, 50, 0.01, 0),
        angles("tiny-up", p, 50, -0.01, 0),
        angles("down-30", p, 20, 30, 0),
        angles("up-30", q, 200, -30, 0),
        angles("straight-down", p, 10, 90, 0),
        angles("straight-up", q, 10, -90, 0),
        angles("nearly-down", p, 33, 89.9, 0),
        angles("rolled", p, 60, 10, 35),
        angles("rolled-up", q, 120, -25, -60),
        angles("upside-down", p, 45, 20, 180),
        angles("level-zoom", p, 30, 0, 0, w),
        angles("down-zoom", p, 70, 40, 10, w),
    };
    const int32_t f = w / 2;
    const double px[] = {0, (double)w - 1, 0, (double)w - 1};
    const double py[] = {0, 0, (double)h - 1, (double)h - 1};
    static const char *corner[] = {"vp-corner-tl", "vp-corner-tr", "vp-corner-bl", "vp-corner-br"};
    for (int i = 0; i < 4; i++) {
        cams.push_back(vanishing_at(corner[i], p, px[i] + 0.3, py[i] + 0.3, w, h, f, false));
        cams.push_back(vanishing_at(corner[i], q, px[i] + 0.3, py[i] - 0.2, w, h, f, true));
    }
    // Just off each edge.
    cams.push_back(vanishing_at("vp-off-left", p, -1.5, h / 3.0, w, h, f, false));
    cams.push_back(vanishing_at("vp-off-right", q, w + 0.5, h / 2.0, w, h, f, true));
    cams.push_back(vanishing_at("vp-off-top", p, w / 3.0, -2.0, w, h, f, false));
    cams.push_back(vanishing_at("vp-off-bottom", q, w / 2.0, h + 1.0, w, h, f, true));
    cams.push_back(vanishing_at("vp-off-left-zoom", p, -0.7, h / 2.0, w, h, w, false));
    cams.push_back(vanishing_at("vp-centre", p, w / 2.0 + 0.25, h / 2.0 + 0.25, w, h, f, false));
    return cams;
}

class WorldTest : public TowersTest {};

TEST_F(WorldTest, EveryCameraCoversTheFrameWithFinitePositiveDepths)
{
    for (int size = 0; size < 2; size++) {
        const int32_t w = size ? 200 : 160, h = size ? 150 : 120;
        Frame fr(w, h);
        for (const Cam &c : coverage_cameras(w, h)) {
            fr.bind();
            set_camera(c, w, h);
            ASSERT_EQ(renderworld(), 1) << c.name;
            const int32_t vpx = vox_world_stats.vpx, vpy = vox_world_stats.vpy;
            int missing = 0, baddepth = 0;
            for (int32_t y = 0; y < h; y++)
                for (int32_t x = 0; x < w; x++) {
                    const float d = *fr.depth_ptr(x, y);
                    if (fr.pix[(size_t)y * w + x] == kSentinel) { // the vanishing point's pixel too
                        missing++;
                        continue;
                    }
                    if (!(std::isfinite(d) && d > 0.0f)) baddepth++;
                }
            EXPECT_EQ(missing, 0) << c.name << " " << w << "x" << h << " vp " << vpx << "," << vpy;
            EXPECT_EQ(baddepth, 0) << c.name << " " << w << "x" << h;
        }
    }
}

TEST_F(WorldTest, SseAndScalarKernelsGiveIdenticalFramesAndDepths)
{
    const int32_t w = 160, h = 120;
    Frame a(w, h), b(w, h);
    for (const Cam &c : coverage_cameras(w, h)) {
        vox_use_kernels(VOX_KERNELS_SSE);
        a.bind();
        set_camera(c, w, h);
        ASSERT_EQ(renderworld(), 1);
        const std::vector<float> da = a.depths();
        vox_use_kernels(VOX_KERNELS_SCALAR);
        b.bind();
        set_camera(c, w, h);
        ASSERT_EQ(renderworld(), 1);
        const std::vector<float> db = b.depths();
        EXPECT_EQ(std::memcmp(a.pix.data(), b.pix.data(), a.pix.size() * 4), 0) << c.name;
        EXPECT_EQ(std::memcmp(da.data(), db.data(), da.size() * 4), 0) << c.name;
    }
}

// Every kernel set over samples of every fog-ramp distance (and some out of
// the table's range), some rays reading the sky, gives the scalar set's
// pixels and depths.
TEST_F(WorldTest, SpanKernelsAgreeOverEveryFogDistance)
{
    const int32_t w = 1024, h = 16;
    std::vector<RaySample> samples((size_t)w * h);
    std::vector<RayEntry> rays((size_t)w * h);
    std::vector<int32_t> sky((size_t)w * h + 8, INT32_MIN);
    for (int32_t j = 0; j < w * h; j++) {
        if (j % 5 == 3) sky[(size_t)j] = 1;
        const int64_t d =
            j < 2048 ? ((int64_t)j << 20) + (j * 7919 & 0xFFFFF) : (int64_t)(j - 2048) * 0x1000AB - 0x100000;
        samples[(size_t)j] = RaySample{0x5A000000u | (uint32_t)(j * 2654435761u >> 8), (int32_t)d};
        rays[(size_t)j] = RayEntry{j, 0, 0, 0};
    }
    const Cam c = angles("k", v3(100.5, 100.5, 30.0), 20, 10, 5);
    auto draw = [&](int set, Frame &fr, std::vector<float> &depths) {
        if (!vox_use_kernels(set)) return false; // AVX2 on a processor without it
        voxsetfogcolour(0x30C0F0);
        fr.bind();
        set_camera(c, w, h);
        EXPECT_EQ(renderworld(), 1); // sets the camera terms of the kernels
        vox_kparams.samples = samples.data();
        vox_kparams.rays = rays.data();
        vox_kparams.lastray = w * h - 1;
        vox_kparams.istride = 1;
        vox_kparams.sky = sky.data();
        vox_kparams.rowbase = nullptr; // each sample through its ray entry
        for (int32_t y = 0; y < h; y++) vox_kernels.drawspanstep(1, y, w - 2, (y * w + 1) << 16, 65536, 0);
        depths = fr.depths();
        return true;
    };
    Frame ref(w, h);
    std::vector<float> dref;
    ASSERT_TRUE(draw(VOX_KERNELS_SCALAR, ref, dref));
    for (int set : {VOX_KERNELS_SSE, VOX_KERNELS_AVX2}) {
        Frame fr(w, h);
        std::vector<float> d;
        if (!draw(set, fr, d)) continue;
        EXPECT_EQ(std::memcmp(ref.pix.data(), fr.pix.data(), ref.pix.size() * 4), 0) << set;
        EXPECT_EQ(std::memcmp(dref.data(), d.data(), dref.size() * 4), 0) << set;
    }
    // Distance 1 << 20 (ramp 21) leaves a channel within one of its value.
    for (int k = 0; k < 3; k++)
        EXPECT_NEAR((int)(ref.pix[1] >> (8 * k) & 0xFF), (int)(samples[1].colour >> (8 * k) & 0xFF), 1);
}

TEST_F(WorldTest, CameraInSolidOrWithoutFocalDrawsNothing)
{
    const int32_t w = 64, h = 48;
    Frame fr(w, h);
    struct Case {
        Vec3 pos;
        int32_t focal;
    } cases[] = {
        {v3(100.5, 100.5, 55.0), 32},  // in the ground
        {v3(201.5, 201.5, 47.0), 32},  // inside a pillar
        {v3(100.5, 100.5, 70.0), 32},  // below the map
        {v3(100.5, 100.5, 30.0), 0},   // no focal length
        {v3(NAN, 100.5, 30.0), 32},
    };
    for (const Case &c : cases) {
        fr.bind();
        Cam cam = angles("x", c.pos, 0, 10, 0, c.focal);
        setviewpoint(&cam.pos, &cam.right, &cam.down, &cam.forward, w / 2, h / 2, c.focal);
        EXPECT_EQ(renderworld(), 0);
        for (uint32_t v : fr.pix) ASSERT_EQ(v, kSentinel);
        for (float d : fr.depths()) ASSERT_EQ(d, kZSentinel);
    }
}

TEST_F(WorldTest, CameraOutsideTheMapWrapsLikeTheScanner)
{
    const int32_t w = 96, h = 72;
    Frame a(w, h), b(w, h);
    const Cam in = angles("in", v3(411.5, 88.25, 45.0), 40, 5, 0);
    Cam out = in;
    out.pos = v3(-100.5, 600.25, 45.0);
    a.bind();
    set_camera(in, w, h);
    ASSERT_EQ(renderworld(), 1);
    b.bind();
    set_camera(out, w, h);
    ASSERT_EQ(renderworld(), 1);
    EXPECT_EQ(std::memcmp(a.pix.data(), b.pix.data(), a.pix.size() * 4), 0);
}

TEST_F(WorldTest, SkyIsTheFogColourLessOnePerChannel)
{
    const int32_t w = 64, h = 48;
    Frame fr(w, h);
    const uint32_t fogs[] = {0x7F8FAF, 0x00FF10, 0x010203};
    const uint32_t want[] = {0x7E8EAE, 0x00FE0F, 0x000102};
    for (int i = 0; i < 3; i++) {
        voxsetfogcolour(fogs[i]);
        fr.bind();
        const Cam c = angles("sky", v3(100.5, 100.5, 40.0), 0, -89.0, 0);
        set_camera(c, w, h);
        ASSERT_EQ(renderworld(), 1);
        for (uint32_t v : fr.pix) {
            if (v != kSentinel) {
                ASSERT_EQ(v, want[i]) << std::hex << v;
            }
        }
    }
}

// Casts the single screen column x = w / 2 of a level camera and returns its
// samples, first (looking highest) to last.
std::vector<RaySample> cast_centre_column(const Cam &c, int32_t w, int32_t h)
{
    Frame fr(w, h);
    fr.bind();
    set_camera(c, w, h);
    vox_world_stats = VoxWorldStats{};
    EXPECT_EQ(vox_world_setup(), 1);
    std::vector<RaySample> s((size_t)h + 2, RaySample{kSentinel, -1});
    vox_set_ray_cursor(s.data());
    castrayline(h + 1, (float)(w / 2), (float)h, (float)(w / 2), -1.0f);
    for (const RaySample &r : s) EXPECT_NE(r.colour, kSentinel);
    return s;
}

uint32_t shaded(uint32_t rgb, int32_t shade)
{
    uint32_t out = 0;
    for (int k = 0; k < 3; k++) out |= ((((rgb >> (8 * k)) & 0xFF) * (uint32_t)shade) >> 7) << (8 * k);
    return out;
}

TEST_F(WorldTest, FaceShadesLandOnTheirFaces)
{
    const int32_t w = 64, h = 64;
    // Pillar (i, j) = (1, 1) spans x 212..215, y 212..215, top at z 40.
    struct Case {
        const char *name;
        Vec3 pos;
        double yaw;
        int32_t shade;
        double wall; // distance to the face in blocks
    } cases[] = {
        {"toward +x", v3(208.5, 213.5, 45.0), 0, 127 - 32, 3.5},
        {"toward -x", v3(219.25, 213.5, 45.0), 180, 127 - 32, 3.25},
        {"toward +y", v3(213.5, 209.0, 45.0), 90, 127 - 16, 3.0},
        {"toward -y", v3(213.5, 218.75, 45.0), 270, 127 - 48, 2.75},
    };
    for (const Case &c : cases) {
        const std::vector<RaySample> s = cast_centre_column(angles(c.name, c.pos, c.yaw, 0, 0), w, h);
        const RaySample &mid = s[(size_t)(h / 2 + 1)]; // row h / 2: the horizontal ray
        EXPECT_EQ(mid.colour, shaded(VXMAP_TOWER_RGB, c.shade)) << c.name << " " << std::hex << mid.colour;
        EXPECT_NEAR(mid.dist / 12582912.0, c.wall, 0.01) << c.name;
    }
    // Looking down: the floor top keeps its shade byte (top shade 0).
    const std::vector<RaySample> f = cast_centre_column(angles("top", v3(206.5, 196.5, 45.0), 0, 89, 0), w, h);
    EXPECT_EQ(f[(size_t)(h / 2 + 1)].colour, shaded(VXMAP_FLOOR_RGB, 127));
    // Under the bridge (z 40..41, air below) looking up: the underside.
    const std::vector<RaySample> s = cast_centre_column(angles("under", v3(240.5, 301.5, 45.0), 0, -60, 0), w, h);
    EXPECT_EQ(s[(size_t)(h / 2 + 1)].colour, shaded(VXMAP_BRIDGE_RGB, 127 - 64));
}

// The scanner compares a ray with a level on the high 16 bits of its gradient
// pair, the distance and the camera's height: a ray that drops by 1/32 pixel
// per 32 pixels ahead (z word 0) stays level, so from 0.001 above a floor it
// never meets it, though it would within two blocks in exact arithmetic.
// A camera far above the map still sees the floor below it.
TEST_F(WorldTest, LevelTestUsesTheHighWordsOfGradientAndHeight)
{
    ASSERT_EQ(vxmap_flat(40, 0x808080), 1);
    const int32_t w = 64, h = 64;
    const Cam c = angles("grazing", v3(256.5, 256.5, 39.999), 0, std::asin(1.0 / 1024.0) * 180.0 / M_PI, 0);
    const std::vector<RaySample> s = cast_centre_column(c, w, h);
    EXPECT_EQ(s[(size_t)(h / 2 + 1)].dist, SkySample.dist);
    EXPECT_EQ(s[(size_t)(h / 2 + 1)].colour, SkySample.colour);
    EXPECT_EQ(s[(size_t)(h / 2 + 2)].colour, shaded(0x808080, 127)); // one row lower: the floor

    // 340 blocks above the floor, straight down: the floor near the middle,
    // the sky in the corners (beyond 128 blocks), not a floor everywhere.
    Frame fr(w, h);
    fr.bind();
    set_camera(angles("high", v3(256.5, 256.5, -300.0), 0, 90, 0), w, h);
    ASSERT_EQ(renderworld(), 1);
    EXPECT_EQ(fr.pix[(size_t)(h / 2 + 2) * w + w / 2 + 2] & 0xFF0000, 0x7F0000u); // floor red 0x7F, sky 0x7E
    EXPECT_EQ(fr.pix[0], 0x7E8EAEu);
    EXPECT_EQ(fr.pix[(size_t)h * w - 1], 0x7E8EAEu);
    ASSERT_EQ(vxmap_towers(), 1);
}

TEST_F(WorldTest, SamplesAbandonedAtTheFrameLimitAreSky)
{
    const int32_t w = 64, h = 64;
    // Beside the bridge, level with it: the rays split at the gap under it.
    const Cam c = angles("limit", v3(236.5, 296.5, 41.5), 90, 0, 0);
    const std::vector<RaySample> full = cast_centre_column(c, w, h);
    EXPECT_EQ(vox_world_stats.frame_limit, 0);
    vox_scan_frame_limit = 1;
    const std::vector<RaySample> cut = cast_centre_column(c, w, h);
    vox_scan_frame_limit = VOX_SPAN_FRAMES;
    EXPECT_GT(vox_world_stats.frame_limit, 0);
    int sky = 0, differ = 0;
    for (size_t i = 0; i < cut.size(); i++) {
        sky += cut[i].colour == SkySample.colour && cut[i].dist == SkySample.dist;
        differ += cut[i].colour != full[i].colour;
    }
    EXPECT_GT(sky, 0);
    EXPECT_GT(differ, 0);
}

TEST_F(WorldTest, TowerAcrossTheMapEdgeIsSeenThroughTheWrap)
{
    const int32_t w = 64, h = 64;
    // The corner tower covers x 508..511 and 0..3; from x = 20 looking -x it is
    // met at x = 3, from x = 500 looking +x at x = 508, from y = 500 looking +y
    // at y = 508, and from y = 505 looking -y the ray leaves the map at y = 0.
    struct Case {
        Vec3 pos;
        double yaw, wall;
        int32_t shade;
    } cases[] = {
        {v3(20.5, 1.5, 45.0), 180, 16.5, 127 - 32},
        {v3(500.5, 1.5, 45.0), 0, 7.5, 127 - 32},
        {v3(1.5, 500.25, 45.0), 90, 7.75, 127 - 16},
        {v3(1.5, 20.5, 45.0), 270, 16.5, 127 - 48},
    };
    for (const Case &c : cases) {
        const std::vector<RaySample> s = cast_centre_column(angles("wrap", c.pos, c.yaw, 0, 0), w, h);
        const RaySample &mid = s[(size_t)(h / 2 + 1)];
        EXPECT_EQ(mid.colour, shaded(VXMAP_CORNER_RGB, c.shade));
        EXPECT_NEAR(mid.dist / 12582912.0, c.wall, 0.01);
    }
    // Across the edge proper: a tower at x 509..510 seen from x = 5.5 moving -x.
    MapColourFn saved = map_colour_callback;
    map_colour_callback = [](int32_t *, int32_t *, int32_t *) -> VoxelColour { return 0x7F102030u; };
    for (int32_t y = 250; y < 253; y++)
        for (int32_t x = 509; x < 511; x++) map_insert_slab(map_edit_column(x, y), 20, 50);
    map_edit_finish();
    map_colour_callback = saved;
    const std::vector<RaySample> s = cast_centre_column(angles("edge", v3(5.5, 251.5, 45.0), 180, 0, 0), w, h);
    EXPECT_EQ(s[(size_t)(h / 2 + 1)].colour, shaded(0x102030, 127 - 32));
    EXPECT_NEAR(s[(size_t)(h / 2 + 1)].dist / 12582912.0, 6.5, 0.01);
    ASSERT_EQ(vxmap_towers(), 1);
}

// What the walk learns of the map's columns holds for one frame only: rays
// cast before and after an edit (a pillar stood on the floor, a slab hung in
// the air, which gives its columns two spans) and after the map is loaded
// again each see the map as it is then.
TEST_F(WorldTest, EachFrameSeesTheMapAsItIsThen)
{
    const int32_t w = 64, h = 64;
    const uint32_t rgb = 0x306090;
    struct Case {
        Vec3 pos;
        double yaw;
        int32_t shade;
    } cases[] = {
        {v3(204.5, 206.5, 44.5), 0, 127 - 32},  // the pillar's -x face at x = 208
        {v3(217.5, 204.5, 42.0), 90, 127 - 16}, // the slab's -y face at y = 208
    };
    auto mid = [&](const Case &c) { return cast_centre_column(angles("edit", c.pos, c.yaw, 0, 0), w, h)[h / 2 + 1]; };
    for (const Case &c : cases) EXPECT_NE(mid(c).colour, shaded(rgb, c.shade));
    MapColourFn saved = map_colour_callback;
    map_colour_callback = [](int32_t *, int32_t *, int32_t *) -> VoxelColour { return 0x7F000000u | 0x306090u; };
    for (int32_t y = 206; y < 208; y++)
        for (int32_t x = 208; x < 210; x++) map_insert_slab(map_edit_column(x, y), 38, 50);
    for (int32_t y = 208; y < 210; y++)
        for (int32_t x = 216; x < 220; x++) map_insert_slab(map_edit_column(x, y), 41, 43);
    map_edit_finish();
    map_colour_callback = saved;
    for (const Case &c : cases) {
        const RaySample s = mid(c);
        EXPECT_EQ(s.colour, shaded(rgb, c.shade));
        EXPECT_NEAR(s.dist / 12582912.0, 3.5, 0.01);
    }
    ASSERT_EQ(vxmap_towers(), 1);
    for (const Case &c : cases) EXPECT_NE(mid(c).colour, shaded(rgb, c.shade));
}

TEST_F(WorldTest, FlatFloorDepthMatchesTheIntersection)
{
    ASSERT_EQ(vxmap_flat(40, 0x808080), 1);
    const int32_t w = 160, h = 120;
    Frame fr(w, h);
    for (double pitch : {20.0, 45.0, 90.0}) {
        const Cam c = angles("floor", v3(256.3, 255.6, 31.0), 25, pitch, 0);
        fr.bind();
        set_camera(c, w, h);
        ASSERT_EQ(renderworld(), 1);
        const ViewCamera &vc = vox_camera;
        int checked = 0;
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++) {
                const double dx = vc.corner[0].x + x * vc.right.x + y * vc.down.x;
                const double dy = vc.corner[0].y + x * vc.right.y + y * vc.down.y;
                const double dz = vc.corner[0].z + x * vc.right.z + y * vc.down.z;
                if (dz <= 0) continue;
                const double t = (40.0 - 31.0) / dz;
                const double horiz = t * std::sqrt(dx * dx + dy * dy);
                if (horiz < 3.0 || horiz > 100.0) continue;
                const double want = t * vc.focal;            // depth along the view axis
                // Hits are recorded at the far side of the cell, and a pixel
                // reads the ray of its screen line, within a pixel of it.
                const double slack = want * 1.5 / horiz;
                const float got = *fr.depth_ptr(x, y);
                EXPECT_GE(got, want * 0.98 - 0.05) << x << "," << y << " pitch " << pitch;
                EXPECT_LE(got, (want + slack) * 1.02 + 0.05) << x << "," << y << " pitch " << pitch;
                checked++;
            }
        EXPECT_GT(checked, 1000) << pitch;
    }
    ASSERT_EQ(vxmap_towers(), 1);
}

// Golden images of the towers map (vox_test_frame.h says how they are kept).
std::vector<Cam> golden_cameras()
{
    return {
        angles("golden-level", v3(206.5, 196.5, 44.2), 40, 0, 0),
        angles("golden-down", v3(225.5, 225.5, 30.0), 225, 50, 0),
        angles("golden-bridge", v3(236.3, 308.7, 46.5), 250, -30, 15),
    };
}

TEST_F(WorldTest, GoldenImages)
{
    const int32_t w = 160, h = 120;
    Frame fr(w, h);
    for (const Cam &c : golden_cameras()) {
        fr.bind();
        set_camera(c, w, h);
        ASSERT_EQ(renderworld(), 1);
        golden_check(c.name, fr);
    }
}

// Every frame of the pinned set, with the label its hash is filed under:
// the coverage cameras at two sizes, the golden cameras and a few cameras at
// the largest frame.
struct PinnedFrame {
    std::string label;
    Cam cam;
    int32_t w, h;
};

std::vector<PinnedFrame> pinned_frames()
{
    std::vector<PinnedFrame> v;
    auto add = [&](const std::vector<Cam> &cams, int32_t w, int32_t h) {
        for (const Cam &c : cams) {
            char label[96];
            std::snprintf(label, sizeof label, "%02zu-%s-%dx%d", v.size(), c.name, w, h);
            v.push_back(PinnedFrame{label, c, w, h});
        }
    };
    add(coverage_cameras(160, 120), 160, 120);
    add(coverage_cameras(200, 150), 200, 150);
    add(golden_cameras(), 160, 120);
    const Vec3 p = v3(206.5, 196.5, 44.2), q = v3(240.3, 301.7, 45.5);
    add({angles("big-level", p, 30, 0, 0), angles("big-down", p, 20, 30, 0), angles("big-up", q, 200, -30, 0),
         vanishing_at("big-vp", p, 700.3, 300.6, 1280, 960, 640, false)},
        1280, 960);
    return v;
}

// FNV-1a over the pixels and the depth bits.
uint64_t frame_hash(Frame &fr)
{
    uint64_t h = 1469598103934665603ull;
    auto mix = [&](uint32_t v) {
        for (int k = 0; k < 4; k++) h = (h ^ ((v >> (8 * k)) & 0xFF)) * 1099511628211ull;
    };
    for (uint32_t v : fr.pix) mix(v);
    for (float d : fr.depths()) {
        uint32_t bits;
        std::memcpy(&bits, &d, 4);
        mix(bits);
    }
    return h;
}

// Renders frame `pf` with the current kernels into `fr` (sized for it).
void render_pinned(const PinnedFrame &pf, Frame &fr)
{
    fr.bind();
    set_camera(pf.cam, pf.w, pf.h);
    ASSERT_EQ(renderworld(), 1) << pf.label;
}

// The world pass's pixels and depths are pinned bit for bit: every frame of
// the set must hash to the value filed in golden/world-hashes.txt, with both
// kernel sets and any number of drawing threads. Only a change meant to alter
// the picture rewrites the file (BKM_UPDATE_GOLDEN=1).
TEST_F(WorldTest, FramesAndDepthsMatchThePinnedHashesForAnyKernelsAndThreads)
{
    const std::string path = std::string(VOX_GOLDEN_DIR) + "/world-hashes.txt";
    const std::vector<PinnedFrame> frames = pinned_frames();
    if (std::getenv("BKM_UPDATE_GOLDEN")) {
        vox_set_threads(1);
        FILE *f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        for (const PinnedFrame &pf : frames) {
            Frame fr(pf.w, pf.h);
            render_pinned(pf, fr);
            std::fprintf(f, "%s %016llx\n", pf.label.c_str(), (unsigned long long)frame_hash(fr));
        }
        std::fclose(f);
        vox_set_threads(0);
        return;
    }
    FILE *f = std::fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr) << path;
    std::vector<std::pair<std::string, uint64_t>> pinned;
    char label[96];
    unsigned long long hash;
    while (std::fscanf(f, "%95s %llx", label, &hash) == 2) pinned.emplace_back(label, (uint64_t)hash);
    std::fclose(f);
    ASSERT_EQ(pinned.size(), frames.size());
    const struct {
        int kernels;
        int32_t threads;
    } runs[] = {{VOX_KERNELS_SSE, 1}, {VOX_KERNELS_SCALAR, 1}, {VOX_KERNELS_AVX2, 1}, {VOX_KERNELS_SSE, 2},
                {VOX_KERNELS_AVX2, 3}, {VOX_KERNELS_SCALAR, 4}, {VOX_KERNELS_SSE, 7}};
    for (const auto &run : runs) {
        if (!vox_use_kernels(run.kernels)) continue; // AVX2 on a processor without it
        vox_set_threads(run.threads);
        for (size_t i = 0; i < frames.size(); i++) {
            Frame fr(frames[i].w, frames[i].h);
            render_pinned(frames[i], fr);
            EXPECT_EQ(pinned[i].first, frames[i].label);
            EXPECT_EQ(frame_hash(fr), pinned[i].second)
                << frames[i].label << " kernel set " << run.kernels << ", " << run.threads
                << " threads";
        }
    }
    vox_set_threads(0);
}

} // namespace
