#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/map_query.h"
#include "common/player.h"
#include "common/player_physics.h"
#include "common/timer.h"
#include "test_map_fixture.h"

namespace {

const float STEP = 1.0f / 60.0f;

// One world with a feature per area, on flat ground whose top is z 50.
struct Area { int x0, x1, y0, y1; };
const Area LEDGE = {20, 30, 100, 110};    // ground top 49: one block up
const Area WALL2 = {20, 30, 200, 210};    // ground top 48: two blocks up
const Area TOWER = {20, 22, 300, 400};    // solid from z 0: a wall to slide along
const Area WATER = {100, 200, 100, 200};  // only the bottom layer
const Area CEIL = {300, 310, 300, 310};   // ceiling voxel at z 46
const Area LOWCEIL = {320, 330, 300, 310}; // ceiling voxel at z 47

bool in(const Area &a, int x, int y) { return x >= a.x0 && x < a.x1 && y >= a.y0 && y < a.y1; }

uint64_t world(int x, int y)
{
    if (in(LEDGE, x, y)) return mask_ground(49);
    if (in(WALL2, x, y)) return mask_ground(48);
    if (in(TOWER, x, y)) return mask_ground(0);
    if (in(WATER, x, y)) return mask_ground(63);
    if (in(CEIL, x, y)) return mask_ground(50) | mask_slab(46, 46);
    if (in(LOWCEIL, x, y)) return mask_ground(50) | mask_slab(47, 47);
    return mask_ground(50);
}

struct Physics : ::testing::Test {
    static void SetUpTestSuite() { ASSERT_TRUE(fixture_load(world)); }

    PlayerRecord pl;
    void SetUp() override
    {
        std::memset(&pl, 0, sizeof pl);
        game_time = 1.0f;
        game_step = STEP;
        pl.weapon = WEAPON_SEMI;
        pl.team = TEAM_BLUE;
    }
    void TearDown() override
    {
        game_time = 0.0f;
        game_step = 0.0f;
    }
    // Respawn at a ground point (x, y) and let the player settle on his feet.
    void spawn(float x, float y, float ground_z, Vec3 forward = {1, 0, 0})
    {
        Vec3 p = {x, y, ground_z};
        ASSERT_EQ(player_respawn(&pl, &p), 1);
        ASSERT_EQ(player_set_orientation(&pl, &forward), 1);
        run(30);
        ASSERT_EQ(pl.airborne, 0);
    }
    // Steps with the current keys; returns the last result.
    int run(int n)
    {
        int r = 0;
        for (int i = 0; i < n; i++) {
            game_time += game_step;
            r = player_physics_step(&pl);
        }
        return r;
    }
};

}  // namespace

TEST_F(Physics, StandingStillOnFlatGroundRests)
{
    spawn(50.5f, 50.5f, 50.0f);
    const Vec3 rest = pl.position;
    for (int i = 0; i < 120; i++) {
        game_time += game_step;
        ASSERT_EQ(player_physics_step(&pl), 0);
        ASSERT_EQ(pl.velocity.z, 0.0f);
        ASSERT_EQ(pl.airborne, 0);
    }
    EXPECT_EQ(std::memcmp(&pl.position, &rest, sizeof rest), 0);
    // The feet (position + 2.25) rest just above the ground top.
    EXPECT_LT(pl.position.z + 2.25f, 50.0f);
    EXPECT_GT(pl.position.z + 2.25f, 49.9f);
    EXPECT_EQ(pl.in_water, 0);
}

// The z velocity before a step that gravity turns into exactly the impact
// speed w: (vz + step) / (step + 1) == w.
float vz_for_impact(float w, float step)
{
    float vz = (float)((double)w * (step + 1.0) - step);
    for (int k = 0; k < 64 && (vz + step) / (step + 1.0f) != w; k++)
        vz = std::nextafter(vz, (vz + step) / (step + 1.0f) < w ? 10.0f : -10.0f);
    return vz;
}

TEST_F(Physics, LandingSpeedGivesFallDamage)
{
    struct Case { float w; int result; bool halved; } cases[] = {
        {0.1f, 0, false}, {0.24f, 0, false}, {0.3f, -1, true}, {0.58f, -1, true},
        {0.59f, 0, true},  // above 0.58 but less than one point of damage
        {0.7f, 58, true}, {1.0f, 722, true}, {2.0f, 8259, true},
    };
    const float step = 1.0f / 64.0f;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.w);
        std::memset(&pl, 0, sizeof pl);
        pl.weapon = WEAPON_SEMI;
        Vec3 f = {1, 0, 0};
        player_set_orientation(&pl, &f);
        pl.position = Vec3{60.5f, 60.5f, 47.74f};  // feet at 49.99, just above the ground top
        float vz = vz_for_impact(c.w, step);
        ASSERT_EQ((vz + step) / (step + 1.0f), c.w);
        pl.velocity = Vec3{0.2f, -0.1f, vz};
        pl.airborne = 1;
        game_step = step;
        EXPECT_EQ(player_physics_step(&pl), c.result);
        EXPECT_EQ(pl.velocity.z, 0.0f);
        EXPECT_EQ(pl.airborne, 0);
        EXPECT_EQ(pl.position.z, 47.74f);
        float g = step + 1.0f;  // airborne drag
        EXPECT_EQ(pl.velocity.x, c.halved ? 0.2f / g * 0.5f : 0.2f / g);
        EXPECT_EQ(pl.velocity.y, c.halved ? -0.1f / g * 0.5f : -0.1f / g);
    }
}

TEST_F(Physics, LongFallsHurtAndShortOnesDoNot)
{
    struct Case { float drop; bool hurts; } cases[] = {{1.0f, false}, {4.0f, false}, {20.0f, true}, {40.0f, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.drop);
        std::memset(&pl, 0, sizeof pl);
        pl.weapon = WEAPON_SEMI;
        pl.position = Vec3{70.5f, 70.5f, 50.0f - 2.25f - c.drop};
        pl.airborne = 1;
        int worst = 0, steps = 0;
        while (pl.airborne && steps < 2000) {
            game_time += game_step;
            int r = player_physics_step(&pl);
            if (r > worst) worst = r;
            steps++;
        }
        ASSERT_EQ(pl.airborne, 0);
        EXPECT_EQ(worst > 0, c.hurts) << worst;
        EXPECT_GT(pl.position.z + 2.25f, 49.4f);
        EXPECT_LT(pl.position.z + 2.25f, 50.0f);
    }
}

TEST_F(Physics, JumpRisesAndLandsWithoutDamage)
{
    spawn(80.5f, 80.5f, 50.0f);
    const float ground = pl.position.z;
    pl.keys[KEY_JUMP] = 1;
    game_time += game_step;
    EXPECT_EQ(player_physics_step(&pl), 0);
    EXPECT_EQ(pl.keys[KEY_JUMP], 0);
    EXPECT_LT(pl.position.z, ground);
    EXPECT_EQ(pl.airborne, 1);
    float top = pl.position.z;
    int landing = 0, steps = 0;
    while (pl.airborne && steps < 600) {
        game_time += game_step;
        landing = player_physics_step(&pl);
        if (pl.position.z < top) top = pl.position.z;
        steps++;
    }
    EXPECT_EQ(pl.airborne, 0);
    EXPECT_LT(top, ground - 1.0f);   // a jump clears a block
    EXPECT_GT(top, ground - 2.0f);
    EXPECT_EQ(landing, -1);          // a hard landing, no damage
}

TEST_F(Physics, CeilingStopsAJump)
{
    spawn(305.5f, 305.5f, 50.0f);
    const float ground = pl.position.z;
    pl.keys[KEY_JUMP] = 1;
    float top = ground;
    for (int i = 0; i < 60; i++) {
        run(1);
        if (pl.position.z < top) top = pl.position.z;
    }
    // The head (position - 0.45) never enters the ceiling voxel at z 46.
    EXPECT_GE(top - 0.45f, 47.0f);
    EXPECT_LT(top, ground);
    EXPECT_EQ(pl.airborne, 0);
}

TEST_F(Physics, StepUpConditions)
{
    struct Case {
        const char *what;
        float y;
        int crouch, sprint;
        Vec3 forward;
        bool climbs;
    } cases[] = {
        {"walk into a ledge", 105.5f, 0, 0, {1, 0, 0}, true},
        {"crouched", 105.5f, 1, 0, {1, 0, 0}, false},
        {"sprinting", 105.5f, 0, 1, {1, 0, 0}, false},
        {"looking steeply down", 105.5f, 0, 0, {0.8f, 0, 0.6f}, false},
        {"two blocks high", 205.5f, 0, 0, {1, 0, 0}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        spawn(18.5f, c.y, 50.0f, c.forward);
        pl.keys[KEY_CROUCH] = c.crouch;
        pl.keys[KEY_SPRINT] = c.sprint;
        pl.keys[KEY_FORWARD] = 1;
        if (c.crouch) pl.position.z += 0.9f;  // as the crouch key does on the ground
        bool climbed = false;
        for (int i = 0; i < 60 && !climbed; i++) {
            float z0 = pl.position.z;
            float vx = pl.velocity.x;
            run(1);
            if (pl.position.z < z0 - 0.5f) {
                climbed = true;
                EXPECT_NEAR(pl.position.z, z0 - 1.0f, 1e-4f);
                EXPECT_EQ(pl.climb_time, game_time);
                // The eye starts one block below and rises within 0.25 s.
                EXPECT_FLOAT_EQ(pl.eye.z, pl.position.z + 1.0f);
                // Horizontal speed halved by the climb (and by nothing else on this step).
                float g = 4.0f * STEP + 1.0f;
                float a = STEP;
                EXPECT_FLOAT_EQ(pl.velocity.x, (vx + a) / g * 0.5f);
                EXPECT_GT(pl.position.x + 0.45f, 20.0f);
            }
        }
        EXPECT_EQ(climbed, c.climbs);
        if (!c.climbs) {
            EXPECT_LT(pl.position.x + 0.45f, 20.0f);
            EXPECT_EQ(pl.velocity.x, 0.0f);
        } else {
            run(30);
            EXPECT_FLOAT_EQ(pl.eye.z, pl.position.z);
            EXPECT_LT(pl.position.z + 2.25f, 49.0f);
            EXPECT_GT(pl.position.z + 2.25f, 48.9f);
        }
    }
}

TEST_F(Physics, StepUpOnXKeepsTheBlockedYVelocity)
{
    // Moving diagonally into the ledge's corner: x steps up, y is blocked at
    // the old height but keeps its (halved) velocity.
    Vec3 f = {1, 1, 0};
    ASSERT_EQ(player_set_orientation(&pl, &f), 1);
    pl.position = Vec3{19.5f, 99.6f, 47.74f};
    pl.velocity = Vec3{0.2f, 0.2f, 0.05f};
    player_move_box(&pl);
    const float s = STEP * 32.0f;
    EXPECT_EQ(pl.position.x, 19.5f + 0.2f * s);
    EXPECT_EQ(pl.position.y, 99.6f);
    EXPECT_NEAR(pl.position.z, 46.74f, 1e-4f);
    EXPECT_EQ(pl.velocity.x, 0.1f);
    EXPECT_EQ(pl.velocity.y, 0.1f);
    EXPECT_EQ(pl.climb_time, game_time);
    EXPECT_EQ(pl.airborne, 1);
}

TEST_F(Physics, DiagonalMoveSlidesAlongAWall)
{
    Vec3 diag = {1, 1, 0};
    spawn(18.5f, 310.5f, 50.0f, diag);
    pl.keys[KEY_FORWARD] = 1;
    run(40);  // reach the wall
    ASSERT_EQ(pl.velocity.x, 0.0f);
    for (int i = 0; i < 30; i++) {
        float x0 = pl.position.x, y0 = pl.position.y;
        run(1);
        EXPECT_EQ(pl.position.x, x0);
        EXPECT_GT(pl.position.y, y0);
        EXPECT_GT(pl.velocity.y, 0.0f);
        EXPECT_LT(pl.position.x + 0.45f, 20.0f);
    }
    EXPECT_EQ(pl.airborne, 0);
}

TEST_F(Physics, MapEdgeBlocks)
{
    Vec3 west = {-1, 0, 0};
    spawn(1.5f, 50.5f, 50.0f, west);
    pl.keys[KEY_FORWARD] = 1;
    run(60);
    EXPECT_GE(pl.position.x - 0.45f, 0.0f);
    EXPECT_EQ(pl.velocity.x, 0.0f);
    EXPECT_EQ(pl.airborne, 0);
}

TEST_F(Physics, WaterDragsHarder)
{
    spawn(150.5f, 150.5f, 63.0f);
    EXPECT_EQ(pl.in_water, 1);
    EXPECT_GT(pl.position.z, 61.0f);
    pl.velocity.x = 0.3f;
    run(1);
    EXPECT_FLOAT_EQ(pl.velocity.x, 0.3f / (6.0f * STEP + 1.0f));

    // Walking speed settles lower in water than on land.
    pl.keys[KEY_FORWARD] = 1;
    run(200);
    float in_water = pl.velocity.x;
    spawn(50.5f, 400.5f, 50.0f);
    EXPECT_EQ(pl.in_water, 0);
    pl.keys[KEY_FORWARD] = 1;
    run(200);
    EXPECT_NEAR(pl.velocity.x, 0.25f, 1e-4f);  // a / (4a) at any step
    EXPECT_NEAR(in_water, 1.0f / 6.0f, 1e-4f);
}

TEST_F(Physics, KeyFactorsScaleAcceleration)
{
    // One step from rest on the ground: v = a * factor / (4 * step + 1).
    struct Case { int key; int secondary; int tool; float factor; } cases[] = {
        {-1, 0, TOOL_SPADE, 1.0f},
        {KEY_CROUCH, 0, TOOL_SPADE, 0.3f},
        {KEY_SNEAK, 0, TOOL_SPADE, 0.5f},
        {-1, 1, TOOL_GUN, 0.5f},     // aiming
        {-1, 1, TOOL_BLOCK, 1.0f},   // secondary without the gun is no aim
        {KEY_SPRINT, 0, TOOL_SPADE, 1.3f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.factor);
        SetUp();
        spawn(60.5f, 450.5f, 50.0f);
        if (c.key >= 0) pl.keys[c.key] = 1;
        pl.secondary = c.secondary;
        pl.tool = c.tool;
        pl.keys[KEY_FORWARD] = 1;
        run(1);
        EXPECT_FLOAT_EQ(pl.velocity.x, STEP * c.factor / (4.0f * STEP + 1.0f));
    }
    // Diagonal keys: each axis gets a / sqrt 2; forward beats backward.
    SetUp();
    spawn(60.5f, 450.5f, 50.0f);
    pl.keys[KEY_FORWARD] = 1;
    pl.keys[KEY_BACKWARD] = 1;
    pl.keys[KEY_RIGHT] = 1;
    run(1);
    float expect = STEP * 0.70710677f / (4.0f * STEP + 1.0f);
    EXPECT_FLOAT_EQ(pl.velocity.x, expect);  // forward (1, 0)
    EXPECT_FLOAT_EQ(pl.velocity.y, expect);  // right (0, 1)
}

TEST_F(Physics, StandUpNeedsHeadroom)
{
    struct Case { const char *what; float x, z; int airborne; int expect; float dz; } cases[] = {
        {"ceiling at 46", 305.5f, 48.6f, 0, 1, -0.9f},
        {"ceiling at 47", 325.5f, 48.6f, 0, 0, 0.0f},
        {"head would reach the ceiling at 46", 305.5f, 48.3f, 0, 0, 0.0f},
        {"airborne, room below", 60.5f, 45.0f, 1, 1, 0.0f},
        {"airborne near the ground", 60.5f, 48.6f, 1, 1, -0.9f},
        {"airborne under a low ceiling", 325.5f, 48.6f, 1, 0, 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        pl.position = Vec3{c.x, 305.5f, c.z};
        pl.airborne = c.airborne;
        EXPECT_EQ(player_try_stand_up(&pl), c.expect);
        EXPECT_FLOAT_EQ(pl.position.z, c.z + c.dz);
    }
}

TEST_F(Physics, SameKeysGiveBitIdenticalMotion)
{
    struct Sample { Vec3 p, v; int r; };
    auto script = [&](Sample *out, int n) {
        SetUp();
        Vec3 start = {17.0f, 101.5f, 50.0f};
        player_respawn(&pl, &start);
        Vec3 f = {0.9f, 0.3f, 0.1f};
        player_set_orientation(&pl, &f);
        for (int i = 0; i < n; i++) {
            // A fixed key script with varying steps: walk, strafe, jump, sprint, crouch.
            game_step = (i % 7 == 0) ? 0.02f : STEP;
            game_time += game_step;
            pl.keys[KEY_FORWARD] = (i / 50) % 3 != 2;
            pl.keys[KEY_LEFT] = (i / 30) % 2;
            pl.keys[KEY_SPRINT] = (i / 80) % 2;
            pl.keys[KEY_CROUCH] = (i / 110) % 3 == 1;
            if (i % 45 == 0 && !pl.airborne) pl.keys[KEY_JUMP] = 1;
            if (i % 100 == 50) {
                Vec3 g = {-0.2f, 0.97f, -0.05f};
                player_set_orientation(&pl, &g);
            }
            out[i].r = player_physics_step(&pl);
            out[i].p = pl.position;
            out[i].v = pl.velocity;
        }
    };
    static Sample a[600], b[600];
    script(a, 600);
    script(b, 600);
    for (int i = 0; i < 600; i++) {
        ASSERT_EQ(std::memcmp(&a[i].p, &b[i].p, sizeof(Vec3)), 0) << i;
        ASSERT_EQ(std::memcmp(&a[i].v, &b[i].v, sizeof(Vec3)), 0) << i;
        ASSERT_EQ(a[i].r, b[i].r) << i;
    }
    // The script really moved the player, up onto the ledge and into the air.
    float lowest = a[0].p.z, highest = a[0].p.z;
    for (const Sample &s : a) {
        lowest = std::max(lowest, s.p.z);
        highest = std::min(highest, s.p.z);
    }
    EXPECT_GT(a[599].p.x - 17.0f, 5.0f);
    EXPECT_LT(highest, 46.0f);  // jumped from the ledge
    EXPECT_GT(lowest, 48.5f);   // crouched box settles lower
    // The whole trace, bit for bit. Programs built from other sources must
    // reproduce it; a change here changes how every player moves.
    uint64_t hash = 1469598103934665603ull;
    auto mix = [&](const void *bytes, size_t n) {
        for (size_t k = 0; k < n; k++) hash = (hash ^ ((const uint8_t *)bytes)[k]) * 1099511628211ull;
    };
    for (const Sample &s : a) {
        mix(&s.p, sizeof s.p);
        mix(&s.v, sizeof s.v);
        mix(&s.r, sizeof s.r);
    }
    EXPECT_EQ(hash, 14236741466668775379ull);
}
