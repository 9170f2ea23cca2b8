// Posed models: depth against the world, projection and clipping of a voxel,
// voxels at the camera's plane, fog and light, the walk's face masks, kernel
// identity, refusals, and the frustum and line tests.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/kv6.h"
#include "common/model_table.h"
#include "renderer/vox_cube.h"
#include "renderer/voxrender.h"
#include "vox_test_frame.h"
#include "vxmaps.h"
#include "vxmodels.h"
#include "vxscene.h"

namespace {

using namespace voxtest;

// A sprite of `model` with its pivot at `pos`, `scale` blocks per voxel,
// turned by the three angles (degrees) as rotateaxes turns them.
SpriteInstance posed(Kv6Model *model, Vec3 pos, float scale, float a1 = 0, float a2 = 0, float a3 = 0)
{
    SpriteInstance s{};
    s.model = model;
    s.position = pos;
    s.xaxis = Vec3{scale, 0, 0};
    s.yaxis = Vec3{0, scale, 0};
    s.zaxis = Vec3{0, 0, scale};
    const float d = (float)M_PI / 180.0f;
    rotateaxes(a1 * d, a2 * d, a3 * d, &s.xaxis, &s.yaxis, &s.zaxis);
    return s;
}

// Sets every depth to "nothing drawn yet".
void clear_depths(Frame &fr)
{
    for (int32_t y = 0; y < fr.h; y++)
        for (int32_t x = 0; x < fr.w; x++) *fr.depth_ptr(x, y) = FLT_MAX;
}

// The calls the walk makes, in order, when a test installs record_cube.
struct CubeCall {
    const Kv6Voxel *voxel;
    uint32_t mask;
};
std::vector<CubeCall> cube_calls;
void record_cube(const Kv6Voxel *voxel, uint32_t mask) { cube_calls.push_back({voxel, mask}); }

// The column (x, y) of one of a model's voxels, from the counts.
void voxel_column(const Kv6Model *m, const Kv6Voxel *v, int32_t *x, int32_t *y)
{
    const int64_t i = v - m->voxels;
    int64_t n = 0;
    *x = *y = -1;
    for (int32_t col = 0; col < m->xsize * m->ysize; col++) {
        if (i < n + m->xycounts[col]) {
            *x = col / m->ysize;
            *y = col % m->ysize;
            return;
        }
        n += m->xycounts[col];
    }
}

class SpriteTest : public TowersTest {
protected:
    void SetUp() override
    {
        TowersTest::SetUp();
        modeltint = VOX_TINT_NEUTRAL;
    }
    void TearDown() override
    {
        TowersTest::TearDown();
        modeltint = VOX_TINT_NEUTRAL;
    }
};

// Over the world, a model changes exactly the pixels where it is nearer than
// the world, and there takes its own colour and depth: in front of a wall it
// shows whole, behind it nothing changes, half behind a pillar it is cut at
// the pillar's edge.
TEST_F(SpriteTest, ModelsMixWithTheWorldByDepth)
{
    const int32_t w = 200, h = 150;
    Kv6Model *box = vxmodel_box(10, 10, 10, 0xC08040);
    ASSERT_NE(box, nullptr);
    struct Case {
        const char *name;
        Cam cam;
        Vec3 at;
        int expect; // 0 hidden, 1 whole, 2 partly
    } cases[] = {
        // The wall x 260..262, y 180..260, z 35..50.
        {"before-wall", angles("", v3(250.5, 220.5, 45.0), 0, 0, 0), v3(255.5, 220.5, 45.0), 1},
        {"behind-wall", angles("", v3(250.5, 220.5, 45.0), 0, 0, 0), v3(265.5, 220.5, 45.0), 0},
        // The pillar x 200..203, y 200..203, z 46..50; the model straddles y = 204.
        {"behind-pillar", angles("", v3(190.5, 203.6, 47.5), 0, 0, 0), v3(207.0, 204.0, 48.0), 2},
    };
    Frame world(w, h), alone(w, h), mixed(w, h);
    for (const Case &c : cases) {
        const SpriteInstance s = posed(box, c.at, 0.1f, 20, 10, 5);
        alone.bind();
        set_camera(c.cam, w, h);
        clear_depths(alone);
        rendermodel(&s, 0, nullptr);
        const std::vector<float> da = alone.depths();

        world.bind();
        set_camera(c.cam, w, h);
        ASSERT_EQ(renderworld(), 1);
        const std::vector<float> dw = world.depths();
        mixed.bind();
        set_camera(c.cam, w, h);
        ASSERT_EQ(renderworld(), 1);
        rendermodel(&s, 0, nullptr);
        const std::vector<float> dm = mixed.depths();

        int covered = 0, shown = 0, wrong = 0;
        for (size_t i = 0; i < da.size(); i++) {
            const bool model = da[i] != FLT_MAX;
            covered += model;
            const bool nearer = model && da[i] < dw[i];
            shown += nearer;
            const uint32_t want = nearer ? alone.pix[i] : world.pix[i];
            const float wantd = nearer ? da[i] : dw[i];
            wrong += mixed.pix[i] != want || std::memcmp(&dm[i], &wantd, 4) != 0;
        }
        EXPECT_EQ(wrong, 0) << c.name;
        EXPECT_GT(covered, 30) << c.name;
        if (c.expect == 0) {
            EXPECT_EQ(shown, 0) << c.name;
        } else if (c.expect == 1) {
            EXPECT_EQ(shown, covered) << c.name;
        } else {
            EXPECT_TRUE(shown > covered / 5 && shown < covered * 4 / 5) << c.name << " " << shown;
        }
    }
    discardmodel(box);
}

// One voxel of one block ahead of the camera fills the rectangle of its
// corners' projections, truncated toward zero, at the depth of its base
// corner; moved off each edge it is clipped there; wholly off screen, with
// coordinates beyond 16 bits, or behind the camera it writes nothing.
TEST_F(SpriteTest, VoxelRectangleIsClippedAtEveryEdge)
{
    const int32_t w = 160, h = 120, f = 80;
    Kv6Model *cube = vxmodel_box(1, 1, 1, 0x808080);
    ASSERT_NE(cube, nullptr);
    const Cam cam = angles("", v3(100.0, 100.0, 30.0), 0, 0, 0); // right +y, down +z, forward +x
    // Centre, off the left, right, top and bottom edges, wholly off the left,
    // far below (the coordinates saturate).
    const double cases[][2] = {{0.06, 0.07}, {-9.8, 0.07}, {9.8, 0.1},      {0.2, -7.3},
                               {0.3, 7.3},   {-20.03, 0.07}, {0.06, 5000.03}};
    Frame fr(w, h);
    for (const auto &c : cases) {
        // The box of the eight corners' projections (the silhouette's box).
        double lo[2] = {1e9, 1e9}, hi[2] = {-1e9, -1e9};
        for (int k = 0; k < 8; k++) {
            const double depth = 10.0 + (k & 1), rel[2] = {c[0] - 0.5 + (k >> 1 & 1), c[1] - 0.5 + (k >> 2)};
            for (int a = 0; a < 2; a++) {
                const double q = f * rel[a] / depth;
                ASSERT_GT(std::fabs(q - std::round(q)), 0.01) << "case too close to a pixel edge";
                lo[a] = std::min(lo[a], std::trunc(q));
                hi[a] = std::max(hi[a], std::trunc(q));
            }
        }
        auto clip = [](double v, int32_t half, int32_t size) {
            return (int32_t)std::min((double)size, std::max(0.0, v + half));
        };
        const int32_t x0 = clip(lo[0], w / 2, w), x1 = clip(hi[0], w / 2, w);
        const int32_t y0 = clip(lo[1], h / 2, h), y1 = clip(hi[1], h / 2, h);
        fr.bind();
        set_camera(cam, w, h);
        clear_depths(fr);
        const SpriteInstance s = posed(cube, v3(110.5, 100.0 + c[0], 30.0 + c[1]), 1.0f);
        rendermodel(&s, 0, nullptr);
        int bad = 0, drawn = 0;
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++) {
                const bool in = x >= x0 && x < x1 && y >= y0 && y < y1;
                const bool got = fr.pix[(size_t)y * w + x] != kSentinel;
                bad += in != got;
                drawn += got;
                if (in && got) {
                    ASSERT_FLOAT_EQ(*fr.depth_ptr(x, y), 10.0f);
                }
            }
        EXPECT_EQ(bad, 0) << c[0] << "," << c[1];
        if (c[0] < -20.0 || c[1] > 5000.0) {
            EXPECT_EQ(drawn, 0);
        } else {
            EXPECT_GT(drawn, 0) << c[0] << "," << c[1];
        }
    }
    // Behind the camera, and straddling its plane: nothing.
    for (double dx : {-10.5, 0.0}) {
        fr.bind();
        set_camera(cam, w, h);
        clear_depths(fr);
        const SpriteInstance s = posed(cube, v3(100.0 + dx, 100.0, 30.0), 1.0f);
        rendermodel(&s, 0, nullptr);
        for (uint32_t p : fr.pix) ASSERT_EQ(p, kSentinel) << dx;
    }
    discardmodel(cube);
}

// How the camera sees the cell of voxel (x, y, z) of a posed model, worked
// out here in double precision from the pose and the camera's axes: the least
// depth of its eight corners, and the box (pixels, exclusive ends) that their
// projections can reach with `slack` of error in every coordinate and depth;
// the whole plane when a corner lies within `slack` of the camera's plane or
// behind it.
struct CellView {
    double mindepth;
    double x0, y0, x1, y1;
};

CellView cell_view(const SpriteInstance &s, int32_t x, int32_t y, int32_t z, const Cam &cam, int32_t w, int32_t h,
                   double slack)
{
    const Kv6Model *m = s.model;
    const double f = cam.focal ? cam.focal : w / 2;
    CellView v{1e30, 1e30, 1e30, -1e30, -1e30};
    bool bounded = true;
    for (int k = 0; k < 8; k++) {
        const double a = x + (k & 1) - (double)m->xpivot, b = y + (k >> 1 & 1) - (double)m->ypivot,
                     c = z + (k >> 2) - (double)m->zpivot;
        const double px = s.position.x + a * s.xaxis.x + b * s.yaxis.x + c * s.zaxis.x - cam.pos.x;
        const double py = s.position.y + a * s.xaxis.y + b * s.yaxis.y + c * s.zaxis.y - cam.pos.y;
        const double pz = s.position.z + a * s.xaxis.z + b * s.yaxis.z + c * s.zaxis.z - cam.pos.z;
        auto along = [&](const Vec3 &u) { return px * u.x + py * u.y + pz * u.z; };
        const double cx = along(cam.right), cy = along(cam.down), d = along(cam.forward);
        v.mindepth = std::min(v.mindepth, d);
        if (d <= slack) {
            bounded = false;
            continue;
        }
        for (double dd : {d - slack, d + slack})
            for (double e : {-slack, slack}) {
                const double sx = w / 2 + f * (cx + e) / dd, sy = h / 2 + f * (cy + e) / dd;
                v.x0 = std::min(v.x0, sx), v.x1 = std::max(v.x1, sx);
                v.y0 = std::min(v.y0, sy), v.y1 = std::max(v.y1, sy);
            }
    }
    if (!bounded) v.x0 = v.y0 = -1e30, v.x1 = v.y1 = 1e30;
    return v;
}

// In place of the cube kernel: the screen rectangle that the installed set's
// first half finds for each voxel the walk hands over.
struct VoxelRect {
    const Kv6Voxel *voxel;
    int32_t x0, y0, x1, y1; // screen pixels, exclusive ends
};
std::vector<VoxelRect> voxel_rects;
int (*probe_project)(const Kv6Voxel *, uint32_t, const float *, CubeRect *);
void probe_cube(const Kv6Voxel *voxel, uint32_t mask)
{
    CubeRect r;
    if (!probe_project(voxel, mask, vox_cube.columnbase, &r)) return;
    const int32_t x0 = r.x0 - vox_cube.clipmin[0], y0 = r.y0 - vox_cube.clipmin[1];
    voxel_rects.push_back({voxel, x0, y0, x0 + r.w, y0 + r.h});
}

// Draws `s` through the probe: no voxel with a corner behind the camera gets
// a rectangle, and every rectangle lies within its cell's projected corners.
// Then draws it whole (on the drawing threads where there are several): the
// pixels written are exactly those of the rectangles. Adds the voxels drawn
// and those with a corner behind the camera to the counts.
void check_near_camera(const SpriteInstance &s, const Cam &cam, Frame &fr, int set, const std::string &name,
                       int *drawn, int *behind)
{
    const double slack = 2e-4; // float error of the renderer's transform near (100, 100, 30)
    const Kv6Model *m = s.model;
    fr.bind();
    set_camera(cam, fr.w, fr.h);
    clear_depths(fr);
    voxel_rects.clear();
    probe_project = set == VOX_KERNELS_SCALAR ? projectvoxelcubescalar : projectvoxelcubesse;
    const DrawVoxelCubeFn saved = vox_kernels.drawvoxelcube;
    vox_kernels.drawvoxelcube = probe_cube;
    rendermodel(&s, 0, nullptr);
    vox_kernels.drawvoxelcube = saved;

    std::vector<uint8_t> covered((size_t)fr.w * fr.h, 0);
    for (const VoxelRect &r : voxel_rects) {
        int32_t x, y;
        voxel_column(m, r.voxel, &x, &y);
        const CellView v = cell_view(s, x, y, r.voxel->z, cam, fr.w, fr.h, slack);
        const std::string what = name + " voxel " + std::to_string(x) + "," + std::to_string(y) + "," +
                                 std::to_string(r.voxel->z);
        ASSERT_GE(v.mindepth, -slack) << what << ": a corner behind the camera";
        ASSERT_GE(r.x0, std::max(0.0, std::floor(v.x0))) << what;
        ASSERT_GE(r.y0, std::max(0.0, std::floor(v.y0))) << what;
        ASSERT_LE(r.x1, std::min((double)fr.w, std::ceil(v.x1))) << what;
        ASSERT_LE(r.y1, std::min((double)fr.h, std::ceil(v.y1))) << what;
        for (int32_t py = r.y0; py < r.y1; py++)
            for (int32_t px = r.x0; px < r.x1; px++) covered[(size_t)py * fr.w + px] = 1;
        (*drawn)++;
    }
    const Kv6Voxel *v = m->voxels;
    for (int32_t x = 0; x < m->xsize; x++)
        for (int32_t y = 0; y < m->ysize; y++)
            for (int32_t k = 0; k < m->xycounts[x * m->ysize + y]; k++, v++)
                *behind += cell_view(s, x, y, v->z, cam, fr.w, fr.h, slack).mindepth < -slack;

    fr.bind();
    set_camera(cam, fr.w, fr.h);
    clear_depths(fr);
    const int listing = vox_sprite_list_begin();
    rendermodel(&s, 0, nullptr);
    if (listing) vox_sprite_list_end();
    int wrong = 0;
    for (size_t i = 0; i < covered.size(); i++) wrong += (fr.pix[i] != kSentinel) != (covered[i] != 0);
    EXPECT_EQ(wrong, 0) << name;
}

// Models and single voxels beside the camera, turned so that steps along
// their axes come towards it, straddling its plane, just behind it and just
// ahead of it at several distances to the side; and players standing in the
// camera as the client poses them: no voxel with a corner behind the camera
// is drawn, and none reaches beyond its projected corners.
TEST_F(SpriteTest, VoxelsAtTheCameraPlaneStayWithinTheirCorners)
{
    const int32_t w = 160, h = 120;
    ASSERT_EQ(vxmodel_make_figures(), 1);
    Kv6Model *voxel = vxmodel_box(1, 1, 1, 0x808080);
    Kv6Model *box = vxmodel_box(4, 3, 5, 0xC08040);
    ASSERT_NE(voxel, nullptr);
    ASSERT_NE(box, nullptr);
    const Cam cam = angles("", v3(100.0, 100.0, 30.0), 0, 0, 0); // right +y, down +z, forward +x
    const struct {
        const char *name;
        Kv6Model *m;
        float scale;
    } shapes[] = {
        {"voxel", voxel, 1.0f},      {"small voxel", voxel, 0.3f},
        {"box", box, 0.25f},         {"head", model_table[MODEL_HEAD_B], 0.1f},
        {"torso", model_table[MODEL_TORSO_G], 0.1f}, {"arms", model_table[MODEL_ARMS_B], 0.1f},
    };
    // The first turns the x axis straight at the camera.
    const float turns[][3] = {{180, 0, 0}, {135, 0, 0}, {200, 30, 10}, {40, -60, 25}, {300, 75, -40}};
    // The pivot's offset from the camera across the view (right, down) and along it.
    const double across[][2] = {{0.1, 0}, {0.3, 0}, {0.7, 0.1}, {2.0, 0}, {-0.5, 0.2}, {0, -0.6}};
    const double along[] = {-0.3, 0.0, 0.2};
    // Players' eyes from the camera: ahead, to the right.
    const double eyes[][2] = {{0.2, 0.7}, {0.05, 0.3}, {-0.1, 0.5}, {0.4, -1.0}};
    const int parts[] = {SPRITE_HEAD, SPRITE_TORSO, SPRITE_ARMS, SPRITE_LEG_LEFT, SPRITE_LEG_RIGHT, SPRITE_HELD};
    Frame fr(w, h);
    int drawn = 0, behind = 0;
    for (int set : {VOX_KERNELS_SSE, VOX_KERNELS_SCALAR}) {
        ASSERT_EQ(vox_use_kernels(set), 1);
        for (const auto &shape : shapes)
            for (const auto &t : turns)
                for (const auto &a : across)
                    for (double d : along) {
                        const Vec3 at = v3(cam.pos.x + d, cam.pos.y + a[0], cam.pos.z + a[1]);
                        const SpriteInstance s = posed(shape.m, at, shape.scale, t[0], t[1], t[2]);
                        char name[96];
                        std::snprintf(name, sizeof name, "%s turned %g,%g,%g at %g,%g,%g", shape.name, t[0], t[1],
                                      t[2], d, a[0], a[1]);
                        check_near_camera(s, cam, fr, set, name, &drawn, &behind);
                    }
        for (int yaw : {0, 60, 200, 300})
            for (const auto &e : eyes) {
                VxPlayerPose pose = vxscene_default_pose();
                pose.yaw = (float)(yaw * M_PI / 180.0);
                pose.ground = v3(cam.pos.x + e[0], cam.pos.y + e[1], cam.pos.z + 2.4); // eye at the camera's height
                ASSERT_EQ(vxscene_pose_player(0, &pose), 1);
                const DrawVoxelCubeFn saved = vox_kernels.drawvoxelcube;
                vox_kernels.drawvoxelcube = record_cube; // poses the parts, draws nothing
                vxscene_draw_player(0, 0);
                vox_kernels.drawvoxelcube = saved;
                for (int part : parts) {
                    char name[96];
                    std::snprintf(name, sizeof name, "player yaw %d eye %g,%g part %d", yaw, e[0], e[1], part);
                    check_near_camera(player_table[0].sprites[part], cam, fr, set, name, &drawn, &behind);
                }
            }
    }
    EXPECT_GT(drawn, 2000);  // the table really draws near the camera
    EXPECT_GT(behind, 5000); // and really straddles its plane
    discardmodel(box);
    discardmodel(voxel);
    vxmodel_free_figures();
}

// A voxel turned towards the camera and moved along the view through its
// plane is drawn from the moment its nearest corner is ahead of the camera,
// not before. One voxel two blocks to the side, straddling the plane with its
// x axis towards the camera, draws nothing; further ahead it shows within its
// corners.
TEST_F(SpriteTest, AVoxelIsDrawnOnceNoCornerIsBehindTheCamera)
{
    const int32_t w = 160, h = 120;
    Kv6Model *voxel = vxmodel_box(1, 1, 1, 0x808080);
    ASSERT_NE(voxel, nullptr);
    const Cam cam = angles("", v3(100.0, 100.0, 30.0), 0, 0, 0);
    Frame fr(w, h);
    auto draw = [&](const SpriteInstance &s) {
        fr.bind();
        set_camera(cam, w, h);
        clear_depths(fr);
        rendermodel(&s, 0, nullptr);
        int n = 0;
        for (uint32_t p : fr.pix) n += p != kSentinel;
        return n;
    };
    const float turns[][3] = {{180, 0, 0}, {150, 20, 0}, {30, 45, 60}, {250, -35, 120}};
    int before = 0, just_ahead = 0;
    for (const auto &t : turns)
        for (int i = 0; i <= 75; i++) {
            const double d = -0.5 + 0.02 * i;
            const SpriteInstance s = posed(voxel, v3(cam.pos.x + d, cam.pos.y + 0.8, cam.pos.z + 0.05), 0.5f, t[0],
                                           t[1], t[2]);
            const CellView v = cell_view(s, 0, 0, 0, cam, w, h, 0);
            const double nearest = v.mindepth;
            if (std::fabs(nearest) < 1e-3) continue;
            // Ahead, it is seen where the box of its corners is on screen.
            const double across = std::min((double)w, v.x1) - std::max(0.0, v.x0);
            const double down = std::min((double)h, v.y1) - std::max(0.0, v.y0);
            const bool seen = nearest > 0 && across > 2 && down > 2;
            if (nearest > 0 && !seen && across > -1 && down > -1) continue; // at the frame's edge
            // The camera's model cell, truncated toward zero: cell (0, 0, 0)
            // faces it with no face (the walk test has the masks).
            bool own_cell = true;
            for (const Vec3 *a : {&s.xaxis, &s.yaxis, &s.zaxis}) {
                const double l2 = (double)a->x * a->x + (double)a->y * a->y + (double)a->z * a->z;
                const double m = ((cam.pos.x - s.position.x) * a->x + (cam.pos.y - s.position.y) * a->y +
                                  (cam.pos.z - s.position.z) * a->z) / l2 + 0.5;
                own_cell &= m > -1.0 && m < 1.0;
            }
            if (own_cell) continue;
            const int n = draw(s);
            EXPECT_EQ(n > 0, seen) << t[0] << "," << t[1] << "," << t[2] << " at " << d << ": nearest corner "
                                   << nearest << ", " << n << " pixels";
            before += nearest < 0;
            just_ahead += seen && nearest < 0.1;
        }
    EXPECT_GT(before, 100);
    EXPECT_GT(just_ahead, 8);

    for (double d : {0.0, 2.6}) {
        const SpriteInstance s = posed(voxel, v3(cam.pos.x + d, cam.pos.y + 2.0, cam.pos.z), 1.0f, 180, 0, 0);
        const CellView v = cell_view(s, 0, 0, 0, cam, w, h, 1e-4);
        const int n = draw(s);
        if (d == 0.0) {
            EXPECT_EQ(n, 0);
            continue;
        }
        EXPECT_GT(n, 0);
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++)
                if (fr.pix[(size_t)y * w + x] != kSentinel) {
                    ASSERT_TRUE(x >= std::floor(v.x0) && x < std::ceil(v.x1) && y >= std::floor(v.y0) &&
                                y < std::ceil(v.y1))
                        << x << "," << y;
                }
    }
    discardmodel(voxel);
}

// Fog by horizontal distance blends the lit colour toward the fog colour; at
// 128 blocks and beyond every pixel is the fog colour (2 fog 32767) >> 16.
TEST_F(SpriteTest, FogBlendsTowardTheFogColourWithDistance)
{
    const int32_t w = 160, h = 120;
    const uint32_t fogrgb = 0x7F8FAF;
    Kv6Model *box = vxmodel_box(8, 8, 8, 0x604020); // dim enough that light never saturates
    ASSERT_NE(box, nullptr);
    Frame plain(w, h), fogged(w, h);
    for (double dist : {3.0, 30.0, 64.0, 100.0, 128.0, 400.0}) {
        // The camera moves away horizontally; the view keeps the model's size.
        const Cam cam = angles("", v3(256.0 - dist, 256.3, 40.2), 0, 0, 0, (int32_t)(80 * dist / 3));
        const SpriteInstance s = posed(box, v3(256.0, 256.3, 40.2), 0.1f, 30, 20, 10);
        plain.bind();
        set_camera(cam, w, h);
        clear_depths(plain);
        rendermodel(&s, 0, nullptr);
        fogged.bind();
        set_camera(cam, w, h);
        clear_depths(fogged);
        rendermodel(&s, 1, nullptr);
        const float dx = 256.0f - (float)(256.0 - dist);
        const int32_t k = std::min(2047, (int32_t)(12.0f * std::sqrt(dx * dx)));
        const double t = FogRamp[k][0] / 32768.0;
        int drawn = 0;
        for (size_t i = 0; i < plain.pix.size(); i++) {
            ASSERT_EQ(plain.pix[i] == kSentinel, fogged.pix[i] == kSentinel);
            if (plain.pix[i] == kSentinel) continue;
            drawn++;
            for (int ch = 0; ch < 3; ch++) {
                const int lit = (plain.pix[i] >> (8 * ch)) & 0xFF, f = (fogrgb >> (8 * ch)) & 0xFF;
                const int got = (fogged.pix[i] >> (8 * ch)) & 0xFF;
                if (k >= 1536) {
                    ASSERT_EQ(got, (2 * f * 32767) >> 16) << dist;
                } else {
                    ASSERT_NEAR(got, lit * (1.0 - t) + f * t, 2.5) << dist << " channel " << ch;
                }
            }
        }
        EXPECT_GT(drawn, 100) << dist;
    }
    discardmodel(box);
}

// The face toward the light is the brightest; an explicit light (l0, l1, l2)
// is taken with its last two components exchanged.
TEST_F(SpriteTest, LightFallsOnTheFaceTowardIt)
{
    Kv6Model *box = vxmodel_box(5, 5, 5, 0x808080);
    ASSERT_NE(box, nullptr);
    Frame fr(64, 48);
    fr.bind();
    set_camera(angles("", v3(0, 0, 0), 0, 0, 0), 64, 48);
    // Brightness of the lit colour of each voxel face direction, read from the
    // light table through the voxels' own normal indices.
    auto face_light = [&](const Vec3 *light, int face) {
        const SpriteInstance s = posed(box, v3(1000, 1000, 1000), 0.1f); // out of view: only the set-up runs
        rendermodel(&s, 0, light);
        for (int32_t i = 0; i < box->voxelcount; i++)
            if (box->voxels[i].faces == face) return (int)vox_cube.lighttable[box->voxels[i].normalindex][1];
        return -1;
    };
    struct Case {
        Vec3 light;
        int face; // brightest pure face
    } cases[] = {
        {v3(1, 0, 0), KV6_FACE_POS_X},  {v3(-1, 0, 0), KV6_FACE_NEG_X}, {v3(0, 0, 1), KV6_FACE_POS_Y},
        {v3(0, 0, -1), KV6_FACE_NEG_Y}, {v3(0, 1, 0), KV6_FACE_BOTTOM}, {v3(0, -1, 0), KV6_FACE_TOP},
    };
    const int faces[6] = {KV6_FACE_NEG_X, KV6_FACE_POS_X, KV6_FACE_NEG_Y, KV6_FACE_POS_Y, KV6_FACE_TOP,
                          KV6_FACE_BOTTOM};
    for (const Case &c : cases) {
        const int best = face_light(&c.light, c.face);
        for (int f : faces) {
            if (f != c.face) {
                EXPECT_GT(best, face_light(&c.light, f)) << c.face << " vs " << f;
            }
        }
    }
    // The default light comes along the sum of each axis' components: here
    // equally from +x, +y and +z, so those three faces are the lit ones.
    for (int lit : {KV6_FACE_POS_X, KV6_FACE_POS_Y, KV6_FACE_BOTTOM})
        for (int dark : {KV6_FACE_NEG_X, KV6_FACE_NEG_Y, KV6_FACE_TOP})
            EXPECT_GT(face_light(nullptr, lit), face_light(nullptr, dark)) << lit << " vs " << dark;
    discardmodel(box);
}

// The walk visits every voxel once; the mask names the faces that can face the
// camera from the voxel's side of the camera's cell: x below the cell shows
// +x, above it -x, and so on; the cell's own voxel gets none.
TEST_F(SpriteTest, WalkMasksFaceTheCamera)
{
    Kv6Model *box = vxmodel_box(6, 5, 7, 0x808080);
    ASSERT_NE(box, nullptr);
    Frame fr(64, 48);
    fr.bind();
    const Cam cam = angles("", v3(50.0, 50.0, 20.0), 35, 20, 0);
    set_camera(cam, 64, 48);
    struct Case {
        const char *name;
        Vec3 cell; // the camera's model cell, as model coordinates
        int32_t cx, cy, cz;
    } cases[] = {
        {"inside", v3(2.5, 1.5, 3.5), 2, 1, 3},
        {"above", v3(2.5, 2.5, -6.0), 2, 2, -1},
        {"below-far-corner", v3(20.0, 9.0, 30.0), 6, 5, 7},
        {"near-corner", v3(-3.0, -0.5, -8.0), -1, 0, -1}, // -0.5 truncates to 0
    };
    const DrawVoxelCubeFn saved = vox_kernels.drawvoxelcube;
    for (const Case &c : cases) {
        // Place the model so that the camera sits at model point c.cell.
        SpriteInstance s = posed(box, v3(0, 0, 0), 0.1f, 25, 15, 5);
        const Vec3 m{c.cell.x - box->xpivot, c.cell.y - box->ypivot, c.cell.z - box->zpivot};
        s.position = Vec3{cam.pos.x - (m.x * s.xaxis.x + m.y * s.yaxis.x + m.z * s.zaxis.x),
                          cam.pos.y - (m.x * s.xaxis.y + m.y * s.yaxis.y + m.z * s.zaxis.y),
                          cam.pos.z - (m.x * s.xaxis.z + m.y * s.yaxis.z + m.z * s.zaxis.z)};
        cube_calls.clear();
        vox_kernels.drawvoxelcube = record_cube;
        rendermodel(&s, 0, nullptr);
        vox_kernels.drawvoxelcube = saved;
        ASSERT_EQ((int32_t)cube_calls.size(), box->voxelcount) << c.name;
        std::vector<int> seen(box->voxelcount, 0);
        for (const CubeCall &k : cube_calls) {
            const int32_t i = (int32_t)(k.voxel - box->voxels);
            ASSERT_TRUE(i >= 0 && i < box->voxelcount);
            seen[i]++;
            int32_t x, y;
            voxel_column(box, k.voxel, &x, &y);
            const int32_t z = k.voxel->z;
            const uint32_t want = (x < c.cx ? KV6_FACE_POS_X : x > c.cx ? KV6_FACE_NEG_X : 0) |
                                  (y < c.cy ? KV6_FACE_POS_Y : y > c.cy ? KV6_FACE_NEG_Y : 0) |
                                  (z < c.cz ? KV6_FACE_BOTTOM : z > c.cz ? KV6_FACE_TOP : 0);
            ASSERT_EQ(k.mask, want) << c.name << " voxel " << x << "," << y << "," << z;
        }
        for (int v : seen) ASSERT_EQ(v, 1) << c.name;
    }
    discardmodel(box);
}

// Both kernel sets give the same frame and depths for models of every
// orientation, near and far, partly off screen and around the camera.
// Cameras of the kernel sweeps, and the models each sees: figures and a box
// turned every way from inside the camera's reach outwards, a box around the
// camera, models beside it across its plane and larger ones further off.
const Cam sweep_cameras[] = {
    angles("level", v3(206.5, 196.5, 44.2), 40, 0, 0),
    angles("down", v3(225.5, 225.5, 30.0), 225, 50, 0),
    angles("rolled", v3(236.3, 308.7, 46.5), 250, -30, 15),
    angles("zoom", v3(206.5, 196.5, 44.2), 40, 5, 0, 300),
    angles("along-x", v3(206.5, 196.5, 44.2), 0, 0, 0), // unturned models tie in depth
};

std::vector<SpriteInstance> sweep_sprites(const Cam &cam, Kv6Model *box)
{
    const Vec3 ahead{cam.pos.x + 3 * cam.forward.x, cam.pos.y + 3 * cam.forward.y, cam.pos.z + 3 * cam.forward.z};
    std::vector<SpriteInstance> sprites;
    for (int i = 0; i < 24; i++) {
        const float t = (float)i;
        const Kv6Model *m = i % 3 ? model_table[12 + i % 7] : box;
        const float dist = 0.3f + 0.4f * t; // from inside the camera's reach outwards
        const Vec3 p{ahead.x + dist * cam.forward.x + (t - 12) * 0.2f * cam.right.x,
                     ahead.y + dist * cam.forward.y + (t - 12) * 0.2f * cam.right.y,
                     ahead.z + dist * cam.forward.z + ((i % 5) - 2) * 0.4f - 3 * cam.forward.z};
        sprites.push_back(posed((Kv6Model *)m, p, 0.05f + 0.01f * (i % 6), 17 * t, 29 * t, 41 * t));
    }
    sprites.push_back(posed(box, cam.pos, 0.2f, 10, 20, 30)); // around the camera
    for (int i = 0; i < 4; i++) { // beside the camera across its plane, turned towards it
        const float side = (i & 1 ? -1.0f : 1.0f) * (0.4f + 0.3f * (float)i);
        sprites.push_back(posed((Kv6Model *)(i < 2 ? box : model_table[13 + i]),
                                v3(cam.pos.x + side * cam.right.x + 0.1 * i * cam.forward.x,
                                   cam.pos.y + side * cam.right.y + 0.1 * i * cam.forward.y,
                                   cam.pos.z + side * cam.right.z + 0.1 * i * cam.forward.z),
                                0.1f, 180.0f - 25.0f * (float)i, 15.0f * (float)i, 0));
    }
    for (int i = 0; i < 3; i++)
        sprites.push_back(posed(box, v3(cam.pos.x + 4 + 2.5 * i, cam.pos.y + 1.5 * i - 1.2, cam.pos.z + 0.3 * i),
                                0.1f + 0.05f * (float)i));
    return sprites;
}

TEST_F(SpriteTest, SseAndScalarCubeKernelsGiveIdenticalFramesAndDepths)
{
    const int32_t w = 160, h = 120;
    ASSERT_EQ(vxmodel_make_figures(), 1);
    Kv6Model *box = vxmodel_box(12, 7, 9, 0xB0B0E0);
    ASSERT_NE(box, nullptr);
    Frame a(w, h), b(w, h);
    int drawn = 0;
    for (const Cam &cam : sweep_cameras) {
        const std::vector<SpriteInstance> sprites = sweep_sprites(cam, box);
        std::vector<float> depth[2];
        for (int set : {VOX_KERNELS_SSE, VOX_KERNELS_SCALAR}) {
            vox_use_kernels(set);
            Frame &fr = set == VOX_KERNELS_SSE ? a : b;
            fr.bind();
            set_camera(cam, w, h);
            ASSERT_EQ(renderworld(), 1);
            for (size_t i = 0; i < sprites.size(); i++) rendermodel(&sprites[i], (int)(i & 1), nullptr);
            depth[set == VOX_KERNELS_SSE ? 0 : 1] = fr.depths();
        }
        vox_use_kernels(VOX_KERNELS_SSE);
        EXPECT_EQ(std::memcmp(a.pix.data(), b.pix.data(), a.pix.size() * 4), 0) << cam.name;
        EXPECT_EQ(std::memcmp(depth[0].data(), depth[1].data(), depth[0].size() * 4), 0) << cam.name;
        Frame world(w, h);
        world.bind();
        set_camera(cam, w, h);
        renderworld();
        for (size_t i = 0; i < a.pix.size(); i++) drawn += a.pix[i] != world.pix[i];
    }
    EXPECT_GT(drawn, 2000); // the sweep really drew models
    discardmodel(box);
    vxmodel_free_figures();
}

// The sprite pass and a large picture over it on several drawing threads:
// the models listed together (and a model large enough to be listed alone)
// give the frame and depths of one thread, voxel by voxel, for any count.
TEST_F(SpriteTest, ModelsAndPicturesAreTheSameOnAnyThreadCount)
{
    const int32_t w = 320, h = 240; // the picture covers enough pixels to be drawn in bands
    ASSERT_EQ(vxmodel_make_figures(), 1);
    Kv6Model *box = vxmodel_box(12, 7, 9, 0xB0B0E0);
    Kv6Model *big = vxmodel_box(24, 20, 22, 0x60C060); // listed by itself
    ASSERT_NE(box, nullptr);
    ASSERT_NE(big, nullptr);
    std::vector<uint32_t> picture(100 * 80);
    for (size_t i = 0; i < picture.size(); i++) picture[i] = (uint32_t)(i * 2654435761u) | (i % 3 ? 0x80000000u : 0);
    auto draw = [&](const Cam &cam, Frame &fr) {
        fr.bind();
        set_camera(cam, w, h);
        ASSERT_EQ(renderworld(), 1);
        const std::vector<SpriteInstance> sprites = sweep_sprites(cam, box);
        const int listing = vox_sprite_list_begin();
        for (size_t i = 0; i < sprites.size(); i++) rendermodel(&sprites[i], (int)(i & 1), nullptr);
        if (listing) vox_sprite_list_end();
        const SpriteInstance s = posed(big, v3(cam.pos.x + 6 * cam.forward.x, cam.pos.y + 6 * cam.forward.y,
                                               cam.pos.z + 6 * cam.forward.z), 0.08f, 30, 40, 50);
        rendermodel(&s, 1, nullptr);
        blitpicturepx(picture.data(), 100, 80, 50, 40, w / 2, h / 2, 3.2f, 3.0f, 0xFFC08040u);
    };
    for (const Cam &cam : sweep_cameras) {
        vox_set_threads(1);
        Frame one(w, h);
        draw(cam, one);
        const std::vector<float> depth = one.depths();
        const struct {
            int kernels;
            int32_t threads;
        } runs[] = {{VOX_KERNELS_SSE, 2}, {VOX_KERNELS_SSE, 3}, {VOX_KERNELS_SCALAR, 4}, {VOX_KERNELS_SSE, 7}};
        for (const auto &run : runs) {
            vox_use_kernels(run.kernels);
            vox_set_threads(run.threads);
            Frame fr(w, h);
            draw(cam, fr);
            EXPECT_EQ(std::memcmp(one.pix.data(), fr.pix.data(), fr.pix.size() * 4), 0)
                << cam.name << ", " << run.threads << " threads";
            EXPECT_EQ(std::memcmp(depth.data(), fr.depths().data(), depth.size() * 4), 0)
                << cam.name << ", " << run.threads << " threads";
        }
        vox_use_kernels(VOX_KERNELS_SSE);
    }
    vox_set_threads(0);
    discardmodel(big);
    discardmodel(box);
    vxmodel_free_figures();
}

// What draws nothing at all: a null model, zsize 1024 or more (such a model
// loads, see test_kv6), counts that do not add up, a position, axis, pivot or
// light that is not finite, no bound frame.
TEST_F(SpriteTest, RefusedSpritesChangeNoByte)
{
    const int32_t w = 64, h = 48;
    Frame fr(w, h);
    const Cam cam = angles("", v3(100.0, 100.0, 30.0), 0, 0, 0);
    struct Case {
        const char *name;
        void (*spoil)(SpriteInstance *s, Kv6Model *m, Vec3 *light);
    } cases[] = {
        {"null model", [](SpriteInstance *s, Kv6Model *, Vec3 *) { s->model = nullptr; }},
        {"zsize 1024", [](SpriteInstance *, Kv6Model *m, Vec3 *) { m->zsize = KV6_MAX_ZSIZE; }},
        {"zsize 4000, a voxel deep down",
         [](SpriteInstance *, Kv6Model *m, Vec3 *) {
             m->zsize = 4000;
             m->voxels[m->voxelcount - 1].z = 3000; // the last of its column
         }},
        {"slice count", [](SpriteInstance *, Kv6Model *m, Vec3 *) { m->xcounts[1]++; }},
        {"column count", [](SpriteInstance *, Kv6Model *m, Vec3 *) { m->xycounts[3] += 40; }},
        {"position nan", [](SpriteInstance *s, Kv6Model *, Vec3 *) { s->position.y = NAN; }},
        {"axis inf", [](SpriteInstance *s, Kv6Model *, Vec3 *) { s->zaxis.x = INFINITY; }},
        {"pivot nan", [](SpriteInstance *, Kv6Model *m, Vec3 *) { m->ypivot = NAN; }},
        {"light nan", [](SpriteInstance *, Kv6Model *, Vec3 *l) { l->x = NAN; }},
    };
    for (const Case &c : cases) {
        Kv6Model *box = vxmodel_box(4, 4, 4, 0x808080);
        ASSERT_NE(box, nullptr);
        SpriteInstance s = posed(box, v3(104.0, 100.0, 30.0), 0.3f);
        Vec3 light = v3(0, 0, 1);
        fr.bind();
        set_camera(cam, w, h);
        clear_depths(fr);
        rendermodel(&s, 1, &light); // the unspoilt sprite is seen
        int changed = 0;
        for (uint32_t p : fr.pix) changed += p != kSentinel;
        ASSERT_GT(changed, 50) << c.name;
        c.spoil(&s, box, &light);
        fr.bind();
        clear_depths(fr);
        rendermodel(&s, 1, &light);
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++) {
                ASSERT_EQ(fr.pix[(size_t)y * w + x], kSentinel) << c.name;
                ASSERT_EQ(*fr.depth_ptr(x, y), FLT_MAX) << c.name;
            }
        discardmodel(box);
    }
    // Voxels with z at or beyond zsize are skipped, the others drawn.
    Kv6Model *box = vxmodel_box(4, 4, 4, 0x808080);
    ASSERT_NE(box, nullptr);
    int32_t moved = 0;
    for (int32_t i = 0; i < box->voxelcount; i++)
        if (box->voxels[i].z == 3) box->voxels[i].z = 900, moved++;
    const DrawVoxelCubeFn saved = vox_kernels.drawvoxelcube;
    cube_calls.clear();
    vox_kernels.drawvoxelcube = record_cube;
    const SpriteInstance s = posed(box, v3(104.0, 100.0, 30.0), 0.3f);
    rendermodel(&s, 0, nullptr);
    vox_kernels.drawvoxelcube = saved;
    EXPECT_EQ((int32_t)cube_calls.size(), box->voxelcount - moved);
    for (const CubeCall &k : cube_calls) EXPECT_LT(k.voxel->z, 4);
    discardmodel(box);
}

// The frustum test against the side planes: a box wholly beyond one plane is
// unseen, one straddling a plane or in view is seen.
TEST_F(SpriteTest, FrustumTestOfTheModelBox)
{
    Frame fr(160, 120);
    fr.bind();
    const Cam cam = angles("", v3(100.0, 100.0, 30.0), 0, 0, 0); // looks along +x, 90 degrees wide
    set_camera(cam, 160, 120);
    Kv6Model *box = vxmodel_box(10, 10, 10, 0x808080); // one block at 0.1
    ASSERT_NE(box, nullptr);
    struct Case {
        const char *name;
        Vec3 at;
        float scale;
        int seen;
    } cases[] = {
        {"ahead", v3(110, 100, 30), 0.1f, 1},
        {"behind", v3(90, 100, 30), 0.1f, 0},
        {"far left", v3(110, 80, 30), 0.1f, 0},
        {"straddles left plane", v3(110, 89.6, 30), 0.1f, 1}, // the plane y - 100 = -(x - 100)
        {"just past left plane", v3(110, 88.8, 30), 0.1f, 0},
        {"far right", v3(110, 125, 30), 0.1f, 0},
        {"above", v3(110, 100, 20), 0.1f, 0},          // vertical half-angle atan(60/80)
        {"straddles top", v3(110, 100, 22.7), 0.1f, 1},
        {"below", v3(110, 100, 40), 0.1f, 0},
        {"around the camera", v3(100, 100, 30), 0.5f, 1},
    };
    for (const Case &c : cases) {
        const SpriteInstance s = posed(box, c.at, c.scale);
        EXPECT_EQ(testspritevisible(&s), c.seen) << c.name;
    }
    SpriteInstance bad = posed(box, v3(110, 100, 30), 0.1f);
    bad.position.x = NAN;
    EXPECT_EQ(testspritevisible(&bad), 0);
    discardmodel(box);
}

// Where a line enters the model's box.
TEST_F(SpriteTest, LineEntersTheModelBox)
{
    Kv6Model *box = vxmodel_box(4, 6, 8, 0x808080); // pivot (2, 3, 4)
    ASSERT_NE(box, nullptr);
    const SpriteInstance s = posed(box, v3(10, 20, 30), 0.5f); // box x 9..11, y 18.5..21.5, z 28..32
    const SpriteInstance turned = posed(box, v3(10, 20, 30), 0.5f, 90, 0, 0); // model x along world -y
    struct Case {
        const char *name;
        const SpriteInstance *sprite;
        Vec3 start, dir;
        int hit;
        Vec3 at;
    } cases[] = {
        {"inside", &s, v3(10.2, 20.1, 29.0), v3(1, 0, 0), 1, v3(10.2, 20.1, 29.0)},
        {"from -x", &s, v3(0, 20, 30), v3(1, 0, 0), 1, v3(9, 20, 30)},
        {"from +x", &s, v3(15, 19, 31), v3(-2, 0, 0), 1, v3(11, 19, 31)},
        {"from above", &s, v3(10, 20, 0), v3(0, 0, 1), 1, v3(10, 20, 28)},
        {"slanted", &s, v3(5, 20, 28), v3(1, 0, 0.25), 1, v3(9, 20, 29)},
        {"away from the box", &s, v3(0, 20, 30), v3(-1, 0, 0), 0, v3(0, 0, 0)},
        {"parallel beside", &s, v3(0, 25, 30), v3(1, 0, 0), 0, v3(0, 0, 0)},
        {"parallel under the box", &s, v3(0, 20, 33), v3(1, 0, 0), 0, v3(0, 0, 0)},
        {"passes by", &s, v3(0, 20, 30), v3(1, 1, 0), 0, v3(0, 0, 0)},
        {"turned", &turned, v3(10, 30, 30), v3(0, -1, 0), 1, v3(10, 21, 30)},
    };
    for (const Case &c : cases) {
        Vec3 at{-1, -1, -1};
        ASSERT_EQ(raytestsprite(&c.start, &c.dir, c.sprite, &at), c.hit) << c.name;
        if (!c.hit) continue;
        EXPECT_NEAR(at.x, c.at.x, 1e-4) << c.name;
        EXPECT_NEAR(at.y, c.at.y, 1e-4) << c.name;
        EXPECT_NEAR(at.z, c.at.z, 1e-4) << c.name;
    }
    SpriteInstance flat = s;
    flat.yaxis = v3(0, 0, 0);
    Vec3 at, start = v3(0, 20, 30), dir = v3(1, 0, 0);
    EXPECT_EQ(raytestsprite(&start, &dir, &flat, &at), 0);
    dir.y = NAN;
    EXPECT_EQ(raytestsprite(&start, &dir, &s, &at), 0);
    discardmodel(box);
}

TEST(SpriteHelpers, ClampBetween)
{
    const int32_t cases[][4] = {{5, 0, 10, 5},   {-3, 0, 10, 0},   {11, 0, 10, 10},         {-1, -1, 7, -1},
                                {8, -1, 7, 7},   {-2, -1, 7, -1},  {INT32_MIN, -1, 3, -1},  {INT32_MAX, -1, 3, 3}};
    for (const auto &c : cases) EXPECT_EQ(clampbetween(c[0], c[1], c[2]), c[3]) << c[0];
}

// Each outline is the corners of its faces less the one all three share.
TEST(SpriteHelpers, SilhouettesOutlineTheirFaces)
{
    const int face_corners[6][4] = {{0, 2, 4, 6}, {1, 3, 5, 7}, {4, 5, 6, 7}, {0, 1, 2, 3}, {0, 1, 4, 5}, {2, 3, 6, 7}};
    for (int set = 0; set < VOX_SILHOUETTES; set++) {
        int count[8] = {0}, faces = 0;
        bool possible = true;
        for (int f = 0; f < 6; f++)
            if (set & (1 << f)) {
                faces++;
                if (f & 1 && set & (1 << (f - 1))) possible = false; // opposite faces
                for (int c : face_corners[f]) count[c]++;
            }
        const uint8_t *e = SilhouetteTable[set];
        if (!faces || !possible) {
            EXPECT_EQ(e[0], 0) << set;
            continue;
        }
        uint32_t want = 0, got = 0;
        for (int c = 0; c < 8; c++)
            if (count[c] && count[c] < 3) want |= 1u << c;
        for (int i = 1; i <= e[0]; i++) got |= 1u << e[i];
        EXPECT_EQ(got, want) << set;
        EXPECT_EQ(e[0], __builtin_popcount(want)) << set;
    }
}

} // namespace
