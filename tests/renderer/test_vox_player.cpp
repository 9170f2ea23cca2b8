// Player bodies: the pose of every part for standing, crouched, sprinting and
// dead players with each tool, the leg swing, the carried intel, the draw
// order and tints; the axis rotations.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

#include "common/kv6.h"
#include "common/map_query.h"
#include "common/model_table.h"
#include "common/timer.h"
#include "renderer/vox_cube.h"
#include "renderer/voxrender.h"
#include "vox_test_frame.h"
#include "vxmaps.h"
#include "vxmodels.h"
#include "vxscene.h"

namespace {

using namespace voxtest;

struct D3 {
    double x, y, z;
};
D3 d3(const Vec3 &v) { return D3{v.x, v.y, v.z}; }
D3 operator*(double k, const D3 &v) { return D3{k * v.x, k * v.y, k * v.z}; }
D3 operator+(const D3 &a, const D3 &b) { return D3{a.x + b.x, a.y + b.y, a.z + b.z}; }

void expect_near(const Vec3 &got, const D3 &want, const char *what, const char *name)
{
    EXPECT_NEAR(got.x, want.x, 2e-5) << name << " " << what << ".x";
    EXPECT_NEAR(got.y, want.y, 2e-5) << name << " " << what << ".y";
    EXPECT_NEAR(got.z, want.z, 2e-5) << name << " " << what << ".z";
}

// The combined rotation of rotateaxes in double precision.
void rotate(double a1, double a2, double a3, D3 *s, D3 *h, D3 *f)
{
    const double s1 = std::sin(a1), k1 = std::cos(a1), s2 = std::sin(a2), k2 = std::cos(a2);
    const double s3 = std::sin(a3), k3 = std::cos(a3);
    const D3 os = *s, oh = *h, of = *f;
    *s = (s1 * s2 * s3 + k1 * k3) * os + (-s1 * k2) * oh + (s1 * s2 * k3 - k1 * s3) * of;
    *h = (s1 * k3 - k1 * s2 * s3) * os + (k1 * k2) * oh + (-k1 * s2 * k3 - s1 * s3) * of;
    *f = (k2 * s3) * os + s2 * oh + (k2 * k3) * of;
}

// Which model each cube-kernel call drew, and the tint it was drawn with.
struct Draw {
    const Kv6Model *model;
    uint32_t tint;
};
std::vector<Draw> draws;
void record_draw(const Kv6Voxel *voxel, uint32_t)
{
    for (int slot = 0; slot < MODEL_SLOT_COUNT; slot++) {
        const Kv6Model *m = model_table[slot];
        if (m && voxel >= m->voxels && voxel < m->voxels + m->voxelcount) {
            if (draws.empty() || draws.back().model != m || draws.back().tint != modeltint)
                draws.push_back({m, modeltint});
            return;
        }
    }
    draws.push_back({nullptr, modeltint});
}

class PlayerDrawTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(startrenderer(getcpufeatures()), 0);
        ASSERT_EQ(vxmap_flat(40, 0x508030), 1);
        ASSERT_EQ(vxmodel_make_figures(), 1);
    }
    static void TearDownTestSuite() { vxmodel_free_figures(); }
    void SetUp() override
    {
        ASSERT_EQ(startrenderer(getcpufeatures()), 0);
        frame.bind();
        set_camera(angles("", v3(250.0, 256.0, 37.0), 0, 10, 0), 64, 48);
        game_time = 10.1f;
        saved = vox_kernels.drawvoxelcube;
        modeltint = VOX_TINT_NEUTRAL;
    }
    void TearDown() override
    {
        vox_kernels.drawvoxelcube = saved;
        modeltint = VOX_TINT_NEUTRAL;
    }
    // A player of `team` holding `tool`, eye at (256, 256, 37.6), facing yaw
    // degrees.
    static void make(PlayerRecord *p, int team, int tool, double yaw)
    {
        *p = PlayerRecord{};
        ASSERT_EQ(player_init(p, 5, team, WEAPON_SEMI, tool, 0, 0xC08040, "p"), 1);
        const Vec3 eye{256.0f, 256.0f, 37.6f};
        player_set_position(p, &eye);
        const Vec3 fwd{(float)std::cos(yaw * M_PI / 180.0), (float)std::sin(yaw * M_PI / 180.0), 0.0f};
        ASSERT_EQ(player_set_orientation(p, &fwd), 1);
    }
    void record(PlayerRecord *p, int fog, const PlayerDrawMode *mode)
    {
        draws.clear();
        vox_kernels.drawvoxelcube = record_draw;
        drawplayermodel(p, fog, mode);
        vox_kernels.drawvoxelcube = saved;
    }
    Frame frame{64, 48};
    DrawVoxelCubeFn saved = nullptr;
};

// Every part's position and axes, from the eye, the axes, the keys, the
// velocity and the tool timers.
TEST_F(PlayerDrawTest, PartsArePosedFromTheEyeAxesKeysAndTimers)
{
    struct Case {
        const char *name;
        int tool;
        int crouch, sprint, secondary;
        double yaw;
        float next_use, fuse; // relative to game_time 10.1
        Vec3 velocity;
        double pitch;          // expected arm pitch
        double period, wave;   // expected leg swing, wave 0: none
    } cases[] = {
        {"idle gun, ready", TOOL_GUN, 0, 0, 0, 0, -1.0f, 0, {0, 0, 0}, 0.0, 0, 0},
        {"gun just fired", TOOL_GUN, 0, 0, 0, 30, 0.2f, 0, {0, 0, 0}, 0.1, 0, 0},
        {"spade swung", TOOL_SPADE, 0, 0, 0, 120, 0.1f, 0, {0, 0, 0}, -0.4, 0, 0},
        {"spade charged", TOOL_SPADE, 0, 0, 1, 200, 0.1f, 0.5f, {0, 0, 0}, -0.5, 0, 0},
        {"block placed", TOOL_BLOCK, 0, 0, 0, 250, 0.3f, 0, {0, 0, 0}, -0.3, 0, 0},
        {"grenade cooking", TOOL_GRENADE, 0, 0, 0, 300, 0, 1.0f, {0, 0, 0}, 1.0, 0, 0},
        {"grenade ready", TOOL_GRENADE, 0, 0, 0, 300, 0, -0.5f, {0, 0, 0}, 0.0, 0, 0},
        {"crouched", TOOL_GUN, 1, 0, 0, 45, -1.0f, 0, {0, 0, 0}, 0.0, 0, 0},
        {"sprinting with a spade", TOOL_SPADE, 0, 1, 0, 10, 0.1f, 0, {0.12f, 0.02f, 0}, -0.7853982, 386, 0.016},
        {"walking", TOOL_GUN, 0, 0, 0, 0, -1.0f, 0, {0.1f, 0, 0}, 0.0, 512, 0.016},
        {"crouch-walking sideways", TOOL_BLOCK, 1, 0, 0, 30, -1.0f, 0, {0.05f, 0.08f, 0}, 0.0, 512, 0.028},
        {"crouched sprint", TOOL_GUN, 1, 1, 0, 300, -1.0f, 0, {-0.03f, 0.2f, 0}, -0.7853982, 386, 0.028},
        {"speed 0.01 exactly", TOOL_GUN, 0, 0, 0, 0, -1.0f, 0, {0.01f, 0.01f, 0}, 0.0, 0, 0},
        {"speed 0.0101 in y", TOOL_GUN, 0, 0, 0, 0, -1.0f, 0, {0, 0.0101f, 0}, 0.0, 512, 0.016},
    };
    for (const Case &c : cases) {
        PlayerRecord p;
        make(&p, TEAM_GREEN, c.tool, c.yaw);
        p.keys[KEY_CROUCH] = c.crouch;
        p.keys[KEY_SPRINT] = c.sprint;
        p.secondary = c.secondary;
        p.next_use = game_time + c.next_use;
        p.grenade_fuse_end = game_time + c.fuse;
        p.velocity = c.velocity;
        drawplayermodel(&p, 0, nullptr);

        const D3 e = d3(p.eye), r = d3(p.right), f = d3(p.forward), dn = d3(p.down);
        const double hl = std::hypot(f.x, f.y);
        const D3 hf{f.x / hl, f.y / hl, 0};
        const SpriteInstance *s = p.sprites;
        expect_near(s[SPRITE_HEAD].position, e + D3{0, 0, 0.3}, "head position", c.name);
        expect_near(s[SPRITE_TORSO].position, e + D3{0, 0, 0.3}, "torso position", c.name);
        const D3 arms_at = e + D3{0, 0, c.crouch ? 0.4 : 0.5};
        expect_near(s[SPRITE_ARMS].position, arms_at, "arms position", c.name);
        expect_near(s[SPRITE_HELD].position, arms_at, "held position", c.name);
        const D3 legs_at = e + D3{c.crouch ? -0.3 * hf.x : 0.0, c.crouch ? -0.3 * hf.y : 0.0, c.crouch ? 0.7 : 1.1};
        expect_near(s[SPRITE_LEG_LEFT].position, legs_at + D3{-0.25 * r.x, -0.25 * r.y, 0}, "left leg", c.name);
        expect_near(s[SPRITE_LEG_RIGHT].position, legs_at + D3{0.25 * r.x, 0.25 * r.y, 0}, "right leg", c.name);

        const D3 hx{-0.1 * r.x, -0.1 * r.y, 0};
        expect_near(s[SPRITE_HEAD].xaxis, hx, "head x", c.name);
        expect_near(s[SPRITE_HEAD].yaxis, 0.1 * f, "head y", c.name);
        expect_near(s[SPRITE_HEAD].zaxis, 0.1 * dn, "head z", c.name);
        expect_near(s[SPRITE_TORSO].xaxis, hx, "torso x", c.name);
        expect_near(s[SPRITE_TORSO].yaxis, 0.1 * hf, "torso y", c.name);
        expect_near(s[SPRITE_TORSO].zaxis, D3{0, 0, 0.1}, "torso z", c.name);

        D3 ax = hx, ay = 0.1 * f, az = 0.1 * dn;
        rotate(0, c.pitch, 0, &ax, &ay, &az);
        expect_near(s[SPRITE_ARMS].xaxis, ax, "arms x", c.name);
        expect_near(s[SPRITE_ARMS].yaxis, ay, "arms y", c.name);
        expect_near(s[SPRITE_ARMS].zaxis, az, "arms z", c.name);
        expect_near(s[SPRITE_HELD].xaxis, 0.65 * ax, "held x", c.name);
        expect_near(s[SPRITE_HELD].yaxis, 0.65 * ay, "held y", c.name);
        expect_near(s[SPRITE_HELD].zaxis, 0.65 * az, "held z", c.name);

        // Legs: the torso's axes, swung by a triangle wave while moving.
        double a = 0, b = 0;
        bool first = true;
        if (c.wave > 0) {
            const int64_t t = (int64_t)(game_time * 1000.0f), period = (int64_t)c.period;
            first = t % (2 * period) < period;
            const double phase = (double)(t % period - period / 2);
            a = phase * c.wave * (c.velocity.x * f.x + c.velocity.y * f.y);
            b = phase * c.wave * (c.velocity.x * r.x + c.velocity.y * r.y);
            ASSERT_GT(std::fabs(a) + std::fabs(b), 0.01) << c.name;
        }
        for (int side = 0; side < 2; side++) {
            const double sign = (side == 0) == first ? 1.0 : -1.0; // left leg in the first half: (0, -A, B)
            D3 lx = hx, ly = 0.1 * hf, lz{0, 0, 0.1};
            rotate(0, -sign * a, sign * b, &lx, &ly, &lz);
            const SpriteInstance &leg = s[side == 0 ? SPRITE_LEG_LEFT : SPRITE_LEG_RIGHT];
            expect_near(leg.xaxis, lx, "leg x", c.name);
            expect_near(leg.yaxis, ly, "leg y", c.name);
            expect_near(leg.zaxis, lz, "leg z", c.name);
        }
    }
}

// The respawn axes (right (0, 1, 0), forward (1, 0, 0)) have sign bits that
// agree, so the horizontal forward is taken the other way round: -x.
TEST_F(PlayerDrawTest, HorizontalForwardFollowsTheSignRule)
{
    PlayerRecord p;
    make(&p, TEAM_BLUE, TOOL_GUN, 0);
    p.right = Vec3{0.0f, 1.0f, 0.0f};
    p.forward = Vec3{1.0f, 0.0f, 0.0f};
    drawplayermodel(&p, 0, nullptr);
    expect_near(p.sprites[SPRITE_TORSO].yaxis, D3{-0.1, 0, 0}, "torso y", "respawn axes");
    p.right = Vec3{-0.0f, 1.0f, 0.0f}; // as player_set_orientation derives it
    drawplayermodel(&p, 0, nullptr);
    expect_near(p.sprites[SPRITE_TORSO].yaxis, D3{0.1, 0, 0}, "torso y", "derived axes");
}

// The intel hangs on the carrier's back in capture the flag only, 1.0 below
// the eye (0.5 crouched) and 0.3 behind, with the torso's axes.
TEST_F(PlayerDrawTest, IntelHangsOnItsCarrierOnly)
{
    ObjectiveState obj[2] = {};
    struct Case {
        const char *name;
        int team, ctf, owner0, owner1, crouch;
        bool drawn;
    } cases[] = {
        {"team 0 carries intel 1", TEAM_BLUE, 1, -1, 5, 0, true},
        {"team 1 carries intel 0, crouched", TEAM_GREEN, 1, 5, -1, 1, true},
        {"own team's intel", TEAM_BLUE, 1, 5, -1, 0, false},
        {"another carrier", TEAM_BLUE, 1, -1, 6, 0, false},
        {"territory control", TEAM_BLUE, 0, -1, 5, 0, false},
    };
    for (const Case &c : cases) {
        PlayerRecord p;
        make(&p, c.team, TOOL_GUN, 60);
        p.keys[KEY_CROUCH] = c.crouch;
        obj[0].owner = c.owner0;
        obj[1].owner = c.owner1;
        const PlayerDrawMode mode{c.ctf, obj, 2};
        p.sprites[SPRITE_INTEL].position = Vec3{-1, -1, -1};
        record(&p, 0, &mode);
        const Kv6Model *intel = p.sprites[SPRITE_INTEL].model;
        ASSERT_NE(intel, nullptr);
        bool seen = false;
        for (const Draw &d : draws) seen |= d.model == intel;
        EXPECT_EQ(seen, c.drawn) << c.name;
        if (!c.drawn) continue;
        EXPECT_EQ(draws.front().model, intel) << c.name; // before the body
        const D3 e = d3(p.eye), f = d3(p.forward);
        const double hl = std::hypot(f.x, f.y);
        const D3 want = e + D3{-0.3 * f.x / hl, -0.3 * f.y / hl, c.crouch ? 0.5 : 1.0};
        expect_near(p.sprites[SPRITE_INTEL].position, want, "intel", c.name);
        for (int k = 0; k < 3; k++) {
            const Vec3 *ia = &p.sprites[SPRITE_INTEL].xaxis + k, *ta = &p.sprites[SPRITE_TORSO].xaxis + k;
            EXPECT_EQ(ia->x, ta->x);
            EXPECT_EQ(ia->y, ta->y);
            EXPECT_EQ(ia->z, ta->z);
        }
    }
    // Objectives missing from a short table are not read.
    PlayerRecord p;
    make(&p, TEAM_BLUE, TOOL_GUN, 0);
    obj[1].owner = 5;
    const PlayerDrawMode shortmode{1, obj, 1};
    record(&p, 0, &shortmode);
    for (const Draw &d : draws) EXPECT_NE(d.model, p.sprites[SPRITE_INTEL].model);
}

// Parts are drawn head, torso, arms, left leg, right leg, held item; a dead
// player as the dead body alone at his position. With fog the body takes the
// ground's shade as tint (neutral over an uncoloured solid voxel or off the
// map), a held block the block colour scaled by it; the tint is neutral after
// a held block.
TEST_F(PlayerDrawTest, DrawOrderAndTints)
{
    VoxelColour *ground = map_colour_ptr(256, 256, 40);
    ASSERT_NE(ground, nullptr);
    const VoxelColour keep = *ground;
    *ground = (0x50u << 24) | (keep & 0xFFFFFFu);
    const uint32_t shaded = 0x505050;
    const uint32_t block = ((0xC0 * 0x50 / 127) << 16) | ((0x80 * 0x50 / 127) << 8) | (0x40 * 0x50 / 127);
    struct Case {
        const char *name;
        int tool, fog, alive;
        float eyez;
        uint32_t body_tint, held_tint, after;
    } cases[] = {
        {"no fog", TOOL_GUN, 0, 1, 37.6f, VOX_TINT_NEUTRAL, VOX_TINT_NEUTRAL, VOX_TINT_NEUTRAL},
        {"no fog, block", TOOL_BLOCK, 0, 1, 37.6f, VOX_TINT_NEUTRAL, 0xC08040, VOX_TINT_NEUTRAL},
        {"fog", TOOL_SPADE, 1, 1, 37.6f, shaded, shaded, shaded},
        {"fog, block", TOOL_BLOCK, 1, 1, 37.6f, shaded, block, VOX_TINT_NEUTRAL},
        {"inside uncoloured solid", TOOL_GUN, 1, 1, 45.5f, VOX_TINT_NEUTRAL, VOX_TINT_NEUTRAL, VOX_TINT_NEUTRAL},
        {"dead, fog", TOOL_GUN, 1, 0, 37.6f, shaded, 0, shaded},
    };
    for (const Case &c : cases) {
        PlayerRecord p;
        make(&p, TEAM_BLUE, c.tool, 0);
        p.eye.z = p.position.z = c.eyez;
        p.alive = c.alive;
        record(&p, c.fog, nullptr);
        EXPECT_EQ(modeltint, c.after) << c.name;
        const SpriteInstance *s = p.sprites;
        if (!c.alive) {
            ASSERT_EQ(draws.size(), 1u) << c.name;
            EXPECT_EQ(draws[0].model, s[SPRITE_DEAD].model);
            EXPECT_EQ(draws[0].tint, c.body_tint);
            EXPECT_EQ(s[SPRITE_DEAD].position.z, c.eyez);
            continue;
        }
        const Kv6Model *order[] = {s[SPRITE_HEAD].model, s[SPRITE_TORSO].model, s[SPRITE_ARMS].model,
                                   s[SPRITE_LEG_LEFT].model, s[SPRITE_HELD].model};
        ASSERT_EQ(draws.size(), 5u) << c.name; // the two legs share a model
        for (size_t i = 0; i < 5; i++) {
            EXPECT_EQ(draws[i].model, order[i]) << c.name << " part " << i;
            EXPECT_EQ(draws[i].tint, i < 4 ? c.body_tint : c.held_tint) << c.name << " part " << i;
        }
    }
    // Off the map there is no ground colour either.
    PlayerRecord p;
    make(&p, TEAM_BLUE, TOOL_GUN, 0);
    p.position.x = p.eye.x = -3.5f;
    record(&p, 1, nullptr);
    EXPECT_EQ(modeltint, VOX_TINT_NEUTRAL);
    *ground = keep;
}

// Golden scenes (vox_test_frame.h says how they are kept): a model lit from
// the default light beside others lit from given directions; a player of each
// team with each tool; the poses.
TEST_F(PlayerDrawTest, GoldenScenes)
{
    const int32_t w = 384, h = 160;
    voxsetfogcolour(0x8098B0);
    setwallshades(0, 64, 32, 32, 16, 48);
    Frame fr(w, h);
    const Cam cam = angles("", v3(254.0, 258.85, 38.3), 0, 0, 0, 300);

    fr.bind();
    set_camera(cam, w, h);
    ASSERT_EQ(renderworld(), 1);
    Kv6Model *box = vxmodel_box(10, 10, 10, 0xC0C0C0);
    ASSERT_NE(box, nullptr);
    SpriteInstance s{};
    s.model = box;
    s.xaxis = Vec3{0.1f, 0, 0}, s.yaxis = Vec3{0, 0.1f, 0}, s.zaxis = Vec3{0, 0, 0.1f};
    rotateaxes(0.5f, 0.3f, 0.2f, &s.xaxis, &s.yaxis, &s.zaxis);
    s.position = Vec3{262.0f, 256.2f, 39.0f};
    rendermodel(&s, 1, nullptr);
    const Vec3 lights[] = {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}};
    for (int i = 0; i < 3; i++) {
        s.position = Vec3{262.0f, 257.9f + 1.7f * (float)i, 39.0f};
        rendermodel(&s, 1, &lights[i]);
    }
    SpriteInstance head = s;
    head.model = model_table[MODEL_HEAD_G];
    head.position = Vec3{262.0f, 258.9f, 38.4f};
    head.xaxis = Vec3{0, -0.2f, 0}, head.yaxis = Vec3{-0.2f, 0, 0}, head.zaxis = Vec3{0, 0, 0.2f};
    rotateaxes(0.4f, 0.0f, 0.0f, &head.xaxis, &head.yaxis, &head.zaxis);
    rendermodel(&head, 1, nullptr);
    golden_check("golden-models-lit", fr);
    discardmodel(box);

    static const int tools[6][2] = {{TOOL_SPADE, 0}, {TOOL_BLOCK, 0}, {TOOL_GUN, WEAPON_SEMI},
                                    {TOOL_GUN, WEAPON_SMG}, {TOOL_GUN, WEAPON_SHOTGUN}, {TOOL_GRENADE, 0}};
    for (int team = 0; team < 2; team++) {
        fr.bind();
        set_camera(cam, w, h);
        ASSERT_EQ(renderworld(), 1);
        for (int i = 0; i < 6; i++) {
            VxPlayerPose pose = vxscene_default_pose();
            pose.team = team;
            pose.tool = tools[i][0];
            pose.weapon = tools[i][1];
            pose.colour = 0xE02020;
            pose.ground = Vec3{262.0f + 0.3f * (float)(i & 1), 255.6f + 1.3f * (float)i, 40.0f};
            pose.yaw = (float)(M_PI * (1.2 - 0.08 * i));
            ASSERT_EQ(vxscene_pose_player(i, &pose), 1);
            vxscene_draw_player(i, 1);
        }
        golden_check(team ? "golden-players-green" : "golden-players-blue", fr);
    }

    fr.bind();
    set_camera(cam, w, h);
    ASSERT_EQ(renderworld(), 1);
    struct PoseCase {
        int team, tool, pose, sprint, intel;
        float swing, use, yaw;
    } poses[] = {
        {0, TOOL_GUN, VXPOSE_CROUCH, 0, 0, -1, 0, 1.1f},   {1, TOOL_GUN, VXPOSE_DEAD, 0, 0, -1, 0, 0.5f},
        {0, TOOL_SPADE, VXPOSE_STAND, 0, 0, 0.2f, 0.2f, 1.6f}, {1, TOOL_GUN, VXPOSE_STAND, 1, 0, 0.7f, 0, 1.7f},
        {1, TOOL_GUN, VXPOSE_STAND, 0, 1, 0.4f, 0, 0.6f},   {0, TOOL_BLOCK, VXPOSE_CROUCH, 0, 1, 0.3f, 0.2f, 2.9f},
    };
    for (int i = 0; i < 6; i++) {
        VxPlayerPose pose = vxscene_default_pose();
        pose.team = poses[i].team;
        pose.tool = poses[i].tool;
        pose.pose = poses[i].pose;
        pose.sprint = poses[i].sprint;
        pose.intel = poses[i].intel;
        pose.swing = poses[i].swing;
        pose.use = poses[i].use;
        pose.yaw = poses[i].yaw * (float)M_PI;
        pose.ground = Vec3{262.0f, 255.6f + 1.3f * (float)i, 40.0f};
        ASSERT_EQ(vxscene_pose_player(i, &pose), 1);
        vxscene_draw_player(i, 1);
    }
    golden_check("golden-poses", fr);
}

// A player standing half a block beside the camera at its height, looking
// the way it looks (golden-player-beside): the front of his body and his gun
// show at the right of the view; what lies behind the camera's plane does not.
TEST_F(PlayerDrawTest, GoldenPlayerBesideTheCamera)
{
    const int32_t w = 320, h = 240;
    voxsetfogcolour(0x8098B0);
    setwallshades(0, 64, 32, 32, 16, 48);
    VxPlayerPose pose = vxscene_default_pose();
    pose.ground = Vec3{256.3f, 256.5f, 40.0f};
    ASSERT_EQ(vxscene_pose_player(0, &pose), 1);
    const Vec3 eye = player_table[0].eye;
    const Cam cam = angles("", v3(eye.x, eye.y - 0.5, eye.z), 0, 10, 0);
    Frame fr(w, h);
    fr.bind();
    set_camera(cam, w, h);
    ASSERT_EQ(renderworld(), 1);
    vxscene_draw_player(0, 1);
    golden_check("golden-player-beside", fr);
}

TEST(AxisRotation, RotateAxesIsTheCombinedMatrix)
{
    const Vec3 s0{1, 0, 0}, h0{0, 1, 0}, f0{0, 0, 1};
    Vec3 s = s0, h = h0, f = f0;
    rotateaxes(0, 0, 0, &s, &h, &f);
    EXPECT_EQ(s.x, 1.0f);
    EXPECT_EQ(h.y, 1.0f);
    EXPECT_EQ(f.z, 1.0f);
    EXPECT_EQ(s.y + s.z + h.x + h.z + f.x + f.y, 0.0f);
    // One angle alone turns within one plane: a1 s-h, a2 h-f, a3 s-f.
    const float a = 0.3f, c = std::cos(a), sn = std::sin(a);
    struct Case {
        float a1, a2, a3;
        Vec3 s, h, f;
    } cases[] = {
        {a, 0, 0, {c, -sn, 0}, {sn, c, 0}, {0, 0, 1}},
        {0, a, 0, {1, 0, 0}, {0, c, -sn}, {0, sn, c}},
        {0, 0, a, {c, 0, -sn}, {0, 1, 0}, {sn, 0, c}},
    };
    for (const Case &k : cases) {
        s = s0, h = h0, f = f0;
        rotateaxes(k.a1, k.a2, k.a3, &s, &h, &f);
        expect_near(s, d3(k.s), "s", "one angle");
        expect_near(h, d3(k.h), "h", "one angle");
        expect_near(f, d3(k.f), "f", "one angle");
    }
    // Any three angles on skewed axes: the double-precision matrix.
    const float angles3[][3] = {{0.4f, -1.1f, 2.5f}, {-3.0f, 0.7f, -0.2f}, {1.5707964f, 1.5707964f, 0.0f}};
    for (const auto &g : angles3) {
        Vec3 ss{0.1f, -0.3f, 0.2f}, hh{0.5f, 0.05f, -0.1f}, ff{-0.2f, 0.4f, 0.3f};
        D3 ds = d3(ss), dh = d3(hh), df = d3(ff);
        rotateaxes(g[0], g[1], g[2], &ss, &hh, &ff);
        rotate(g[0], g[1], g[2], &ds, &dh, &df);
        expect_near(ss, ds, "s", "three angles");
        expect_near(hh, dh, "h", "three angles");
        expect_near(ff, df, "f", "three angles");
    }
}

TEST(AxisRotation, SpinAboutAxis)
{
    struct Case {
        Vec3 point, axis;
        float angle;
        Vec3 want;
    } cases[] = {
        {{1, 0, 0}, {0, 0, 2}, 1.5707964f, {0, 1, 0}},          // a long axis acts as its unit
        {{0, 1, 0}, {1, 0, 0}, 1.5707964f, {0, 0, 1}},
        {{1, 2, 3}, {1, 1, 1}, 2.0943952f, {3, 1, 2}},          // a third turn about the diagonal
        {{1, 2, 3}, {0, 0, 0}, 1.0f, {1, 2, 3}},                // no axis: unchanged
        {{1, 2, 3}, {NAN, 0, 1}, 1.0f, {1, 2, 3}},
        {{-4, 5, 6}, {0.3f, -0.2f, 0.9f}, 0.0f, {-4, 5, 6}},
    };
    for (const Case &c : cases) {
        Vec3 p = c.point;
        spinaboutaxis(&p, &c.axis, c.angle);
        expect_near(p, d3(c.want), "point", "spin");
    }
}

} // namespace
