// The client's local effects: random directions, the particle ring and its
// bouncing step, and the world-object table: grenades, tracers, casings,
// debris from loose block groups, and the limits under a flood of messages.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "client/game_objects.h"
#include "client/menu_screens.h"
#include "client/game_particles.h"
#include "client/game_random.h"
#include "client/net_dispatch.h"
#include "client_fixture.h"
#include "common/kv6.h"
#include "common/map_damage.h"
#include "common/map_floating.h"
#include "common/map_query.h"
#include "common/model_table.h"
#include "common/rng.h"
#include "common/timer.h"
#include "pillar_map.h"
#include "platform/plat_log.h"
#include "renderer/vox_player.h"

namespace {

TEST(RandomUnitVector, UnitLengthEvenAtTheTopOfTheRange)
{
    rng_srand(1);
    for (int i = 0; i < 2000; i++) {
        Vec3 v;
        game_random_unit_vector(&v);
        EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 1.0f, 1e-3f) << i;
    }
    // A first draw of 32767 puts z a hair above 1: the vector stays a number.
    uint32_t seed = 0;
    for (;; seed++) {
        rng_srand(seed);
        if (rng_rand() == RNG_MAX) break;
    }
    rng_srand(seed);
    Vec3 v;
    game_random_unit_vector(&v);
    EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y));
    EXPECT_FLOAT_EQ(v.x, 0.0f);
    EXPECT_GT(v.z, 1.0f);
}

// Flat ground at z 40, no objectives, the clock at 100 s.
struct Effects : ::testing::Test {
    void SetUp() override
    {
        ctest_reset_client();
        game_step = 1.0f / 32.0f;
        world_next_heal = 0.0f;
    }
    void TearDown() override { ctest_reset_client(); }

    // One frame of dt seconds.
    static void frame(float dt)
    {
        game_time += dt;
        game_step = dt;
        game_update_world_objects();
    }
    static void block(int x, int y, int z)
    {
        MapCell c = {x, y, z};
        map_add_block(&c, 0x808080);
    }
    static Particle &live(int i) { return particle_ring.slot[(particle_ring.head + i) & (PARTICLE_MAX - 1)]; }
    // time: a tracer's distance, else a clock time.
    static WorldObject *append(int kind, Vec3 at, Vec3 velocity, double time)
    {
        WorldObject *o = game_append_world_object();
        if (!o) return nullptr;
        o->position = at;
        wobj_set_scale(o, 0.1f);
        wobj_set_vec(o, WOBJ_VELOCITY, &velocity);
        const Vec3 spin = {0, 0, 1};
        wobj_set_vec(o, WOBJ_SPIN, &spin);
        wobj_set_kind(o, kind);
        if (kind == OBJECT_TRACER)
            wobj_set_distance(o, (float)time);
        else
            wobj_set_time(o, time);
        return o;
    }
    static void expect_vec(Vec3 got, Vec3 want)
    {
        EXPECT_FLOAT_EQ(got.x, want.x);
        EXPECT_FLOAT_EQ(got.y, want.y);
        EXPECT_FLOAT_EQ(got.z, want.z);
    }
};

TEST_F(Effects, AFullRingOverwritesTheOldest)
{
    Vec3 at = {1, 2, 3};
    for (uint32_t i = 0; i < 600; i++) game_spawn_particles(&at, 0.25f, i, 1);
    EXPECT_EQ(particle_ring.count, PARTICLE_MAX);
    EXPECT_EQ(live(0).colour, 88u); // the 89th spawned is now the oldest
    EXPECT_EQ(live(511).colour, 599u);
    game_spawn_particles(&at, 1.0f, 7, 0);
    game_spawn_particles(&at, 1.0f, 7, -3);
    EXPECT_EQ(live(511).colour, 599u);
    const Particle &p = particle_ring.slot[0];
    EXPECT_NEAR(std::sqrt(p.velocity.x * p.velocity.x + p.velocity.y * p.velocity.y + p.velocity.z * p.velocity.z),
                0.25f, 1e-3f);
    EXPECT_FLOAT_EQ(p.expiry, game_time + 5.0f);
}

// One step of 1/32 s: gravity adds 1/32 to vz and the position moves by the
// velocity itself. Walls: (12, 10, 38..39) and (10, 12, 38..39).
TEST_F(Effects, BouncingStepWorkedValues)
{
    block(12, 10, 38);
    block(12, 10, 39);
    block(10, 12, 38);
    block(10, 12, 39);
    const struct {
        const char *name;
        Vec3 at, v;
        int bounced;
        Vec3 at_after, v_after;
    } cases[] = {
        {"falls freely", {10.5f, 10.5f, 38.5f}, {0, 0, 0.5f}, 0, {10.5f, 10.5f, 39.03125f}, {0, 0, 0.53125f}},
        {"lands on the floor", {10.5f, 10.5f, 39.59375f}, {0, 0, 0.5625f}, 1, {10.5f, 10.5f, 39.59375f},
         {0, 0, -0.296875f}},
        {"x wall", {11.75f, 10.5f, 38.5f}, {0.5f, 0.25f, -0.03125f}, 1, {11.75f, 10.5f, 38.5f}, {-0.25f, 0.125f, 0}},
        {"y wall", {10.5f, 11.75f, 38.5f}, {0.25f, 0.5f, -0.03125f}, 1, {10.5f, 11.75f, 38.5f}, {0.125f, -0.25f, 0}},
        {"z before x", {11.75f, 10.5f, 37.75f}, {0.5f, 0, 0.46875f}, 1, {11.75f, 10.5f, 37.75f}, {0.25f, 0, -0.25f}},
        {"inside the ground: nothing reflected", {10.5f, 10.5f, 40.5f}, {0.25f, 0, 0}, 1, {10.5f, 10.5f, 40.5f},
         {0.125f, 0, 0.015625f}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Vec3 at = c.at, v = c.v;
        EXPECT_EQ(game_step_bouncing(&at, &v), c.bounced);
        expect_vec(at, c.at_after);
        expect_vec(v, c.v_after);
    }
}

// Each bounce costs 2 s of a particle's 5: the third bounce ends it.
TEST_F(Effects, ParticlesBounceAndVanish)
{
    Vec3 at = {10.5f, 10.5f, 39.75f};
    game_spawn_particles(&at, 0.0f, 0x7F112233u, 1);
    live(0).velocity = Vec3{0, 0, 0.25f};
    const float born = game_time;
    frame(1.0f / 32.0f);
    ASSERT_EQ(particle_ring.count, 1);
    expect_vec(live(0).position, at);
    EXPECT_FLOAT_EQ(live(0).velocity.z, -0.140625f);
    EXPECT_FLOAT_EQ(live(0).expiry, born + 3.0f);
    int bounces = 1;
    for (int f = 0; f < 200 && particle_ring.count == 1; f++) {
        float before = live(0).expiry;
        frame(1.0f / 32.0f);
        if (particle_ring.count == 1 && live(0).expiry != before) {
            EXPECT_FLOAT_EQ(live(0).expiry, before - 2.0f);
            EXPECT_LT(live(0).velocity.z, 0.0f);
            bounces++;
        }
    }
    EXPECT_EQ(particle_ring.count, 0);
    EXPECT_EQ(bounces, 3);
    EXPECT_LT(game_time, born + 2.0f);
}

// An expired particle's slot takes the oldest one, and the ring shrinks from
// its head.
TEST_F(Effects, AnExpiredParticleIsReplacedByTheOldest)
{
    Vec3 at = {20.5f, 20.5f, 10.0f};
    for (uint32_t c = 1; c <= 4; c++) game_spawn_particles(&at, 0.0f, c, 1);
    live(2).expiry = game_time - 1.0f; // the third
    frame(1.0f / 32.0f);
    ASSERT_EQ(particle_ring.count, 3);
    EXPECT_EQ(live(0).colour, 2u);
    EXPECT_EQ(live(1).colour, 1u);
    EXPECT_EQ(live(2).colour, 4u);
}

// A posed model breaks into two particles per voxel, at the voxel's place in
// the world; voxels inside the ground make none.
TEST_F(Effects, ShatteringAModel)
{
    Kv6Model *m = kv6_model_alloc(2, 1, 3, 3);
    ASSERT_NE(m, nullptr);
    m->xpivot = 1.0f;
    m->ypivot = 0.5f;
    m->zpivot = 1.0f;
    const struct {
        uint16_t z;
        uint32_t colour;
    } voxels[3] = {{0, 0x111111}, {2, 0x222222}, {1, 0x333333}}; // column (0, 0): z 0 and 2; (1, 0): z 1
    for (int i = 0; i < 3; i++) m->voxels[i] = Kv6Voxel{voxels[i].colour, voxels[i].z, 63, 0};
    m->xcounts[0] = 2;
    m->xcounts[1] = 1;
    m->xycounts[0] = 2;
    m->xycounts[1] = 1;
    ASSERT_EQ(kv6_model_valid(m), 1);
    SpriteInstance s{};
    s.position = {20, 20, 39};
    s.xaxis = {0, 1, 0}; // turned a quarter about z
    s.yaxis = {-1, 0, 0};
    s.zaxis = {0, 0, 1};
    s.model = m;
    game_shatter_model(&s);
    ASSERT_EQ(particle_ring.count, 4);
    const struct {
        Vec3 at;
        uint32_t colour;
    } want[4] = {{{21, 19.5f, 38}, 0x111111}, {{21, 19.5f, 38}, 0x111111}, {{21, 20.5f, 39}, 0x333333},
                 {{21, 20.5f, 39}, 0x333333}};
    for (int i = 0; i < 4; i++) {
        expect_vec(live(i).position, want[i].at);
        EXPECT_EQ(live(i).colour, want[i].colour);
        EXPECT_NEAR(std::sqrt(live(i).velocity.x * live(i).velocity.x + live(i).velocity.y * live(i).velocity.y +
                              live(i).velocity.z * live(i).velocity.z),
                    0.125f, 1e-4f);
    }
    s.model = nullptr;
    game_shatter_model(&s);
    EXPECT_EQ(particle_ring.count, 4);
    discardmodel(m);
}

TEST_F(Effects, RemovalMovesTheLastEntryAndClearingFreesDebris)
{
    Vec3 at = {0, 0, 0}, still = {0, 0, 0};
    for (int i = 0; i < 3; i++) EXPECT_EQ(game_add_grenade_object(&at, &still, i, game_time + i), i);
    EXPECT_EQ(game_remove_world_object(0), 2);
    EXPECT_EQ(wobj_kind(&world_objects[0]), 2);
    EXPECT_EQ(game_remove_world_object(1), 1); // the last one: just shorter
    EXPECT_EQ(game_remove_world_object(5), 1);
    world_objects[1].model = kv6_model_alloc(1, 1, 1, 0);
    wobj_set_kind(&world_objects[1], OBJECT_DEBRIS);
    world_object_count = 2;
    game_clear_world_objects(); // the sanitizer build reports the debris model if it leaks
    EXPECT_EQ(world_object_count, 0);
    for (int i = 0; i < WORLD_OBJECT_MAX; i++) game_add_grenade_object(&at, &still, 1, game_time);
    EXPECT_EQ(game_add_grenade_object(&at, &still, 1, game_time), -1);
    EXPECT_EQ(game_append_world_object(), nullptr);
    EXPECT_EQ(world_object_count, WORLD_OBJECT_MAX);
}

// A fuse never outlasts the 3 s of a pin, whatever the message says.
TEST_F(Effects, AGrenadeFuseIsHeldToThreeSeconds)
{
    Vec3 at = {30.5f, 30.5f, 20.0f}, still = {0, 0, 0};
    int i = game_add_grenade_object(&at, &still, 4, game_time + 1e30f);
    ASSERT_EQ(i, 0);
    EXPECT_FLOAT_EQ(wobj_time(&world_objects[i]), game_time + 3.0f);
    EXPECT_EQ(world_objects[i].model, model_slot(MODEL_GRENADE));
    EXPECT_EQ(wobj_kind(&world_objects[i]), 4);
    game_add_grenade_object(&at, &still, 4, game_time + 0.5f);
    EXPECT_FLOAT_EQ(wobj_time(&world_objects[1]), game_time + 0.5f);
}

// After hours or days of uptime a grenade still goes off on the first frame
// past its fuse, and a time stored far from the others (which moves the
// table's time base) leaves them as they were. Frames are 1/60 s apart.
TEST_F(Effects, FusesHoldAtLongUptimes)
{
    const double uptimes[] = {3600.0, 36000.0, 360000.0, 30 * 86400.0};
    for (double up : uptimes) {
        SCOPED_TRACE(up);
        game_clear_world_objects();
        game_time = up + 0.3;
        game_step = 1.0f / 60.0f;
        const Vec3 at = {30.5f, 30.5f, 5.0f}, still = {0, 0, 0};
        const double fuse_end = game_time + 2.505; // 150.3 frames
        ASSERT_EQ(game_add_grenade_object(&at, &still, 4, fuse_end), 0);
        EXPECT_NEAR(wobj_time(&world_objects[0]) - fuse_end, 0.0, 1e-5);
        WorldObject *far = append(OBJECT_CASING, Vec3{40.5f, 40.5f, 39.0f}, still, game_time + 100.0);
        ASSERT_NE(far, nullptr);
        EXPECT_NEAR(wobj_time(far) - (up + 100.3), 0.0, 1e-4);
        EXPECT_NEAR(wobj_time(&world_objects[0]) - fuse_end, 0.0, 1e-4);
        int gone = -1;
        for (int k = 1; k <= 200 && gone < 0; k++) {
            game_time = up + 0.3 + k / 60.0;
            game_update_world_objects();
            bool grenade = false;
            for (int i = 0; i < world_object_count; i++) grenade |= wobj_kind(&world_objects[i]) == 4;
            if (!grenade) gone = k;
        }
        EXPECT_EQ(gone, 151);
    }
}

// A relayed fuse is only checked for being a number: a wild one explodes its
// own grenade at once and leaves every other object's time as it was.
TEST_F(Effects, AWildFuseLeavesTheOtherObjectsTimes)
{
    for (double up : {3600.0, 30 * 86400.0}) {
        SCOPED_TRACE(up);
        game_clear_world_objects();
        game_time = up;
        const Vec3 at = {30.5f, 30.5f, 5.0f}, still = {0, 0, 0};
        ASSERT_EQ(game_add_grenade_object(&at, &still, 4, up + 3.0), 0);
        WorldObject *casing = append(OBJECT_CASING, Vec3{40.5f, 40.5f, 39.0f}, still, up + 2.0);
        ASSERT_NE(casing, nullptr);
        for (double wild : {-1e30, -1e9, 1e30, (double)NAN}) {
            const int i = game_add_grenade_object(&at, &still, 5, wild);
            ASSERT_GT(i, 0);
            EXPECT_LE(wobj_time(&world_objects[i]), up + 3.0); // no later than a whole fuse
        }
        EXPECT_NEAR(wobj_time(&world_objects[0]) - (up + 3.0), 0.0, 1e-4);
        EXPECT_NEAR(wobj_time(casing) - (up + 2.0), 0.0, 1e-4);
    }
}

// Grenade flight of 1/32 s (g = 1): a bounce undoes the move, reflects the
// one axis whose move alone reaches the solid cell and keeps 0.36 of the
// speed; the bounce is heard only while some component exceeds 0.1.
TEST_F(Effects, GrenadesBounce)
{
    for (int k = 8; k <= 12; k++) {
        block(12, k, 38); // a wall along x = 12
        block(k, 12, 38); // and one along y = 12 (their corner at 12, 12)
    }
    const struct {
        const char *name;
        Vec3 at, v;
        Vec3 v_after;
        bool heard;
    } cases[] = {
        {"onto the floor", {30.5f, 30.5f, 39.5f}, {0, 0, 0.5f}, {0, 0, -0.19125f}, true},
        {"resting on the floor", {30.5f, 30.5f, 39.98f}, {0, 0, 0}, {0, 0, -0.01125f}, false},
        {"diagonally into the x wall", {11.75f, 9.75f, 38.5f}, {0.5f, 0.5f, -0.03125f}, {-0.18f, 0.18f, 0}, true},
        {"diagonally into the y wall", {9.75f, 11.75f, 38.5f}, {0.5f, 0.5f, -0.03125f}, {0.18f, -0.18f, 0}, true},
        {"into the inner corner", {11.75f, 11.75f, 38.5f}, {0.5f, 0.5f, -0.03125f}, {0.18f, 0.18f, 0}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        game_clear_world_objects();
        int i = game_add_grenade_object(&c.at, &c.v, 1, game_time + 3.0f);
        int mark = plat_log_count();
        frame(1.0f / 32.0f);
        ASSERT_EQ(world_object_count, 1);
        expect_vec(world_objects[i].position, c.at);
        Vec3 v = wobj_vec(&world_objects[i], WOBJ_VELOCITY);
        EXPECT_NEAR(v.x, c.v_after.x, 1e-6f);
        EXPECT_NEAR(v.y, c.v_after.y, 1e-6f);
        EXPECT_NEAR(v.z, c.v_after.z, 1e-6f);
        EXPECT_EQ(ctest_sounds(mark).size(), c.heard ? 1u : 0u);
        if (c.heard) {
            EXPECT_EQ(ctest_sounds(mark)[0].rfind("sound3d wav/grenadebounce.wav 0 ", 0), 0u);
        }
    }
    // In the open it flies on and rolls with its horizontal speed.
    game_clear_world_objects();
    Vec3 at = {30.5f, 30.5f, 20.0f}, v = {0.5f, 0, 0};
    int i = game_add_grenade_object(&at, &v, 1, game_time + 3.0f);
    Vec3 s = world_objects[i].xaxis, h = world_objects[i].yaxis, f = world_objects[i].zaxis;
    rotateaxes(0, 0, -0.25f, &s, &h, &f);
    frame(1.0f / 32.0f);
    expect_vec(world_objects[i].position, Vec3{31.0f, 30.5f, 20.03125f});
    expect_vec(world_objects[i].xaxis, s);
    expect_vec(world_objects[i].zaxis, f);
}

// The fuse ends: particles and a sound by where it is; the table forgets it.
TEST_F(Effects, GrenadesExplodeInAirAndInWater)
{
    const uint32_t water = 0x7F8B4513u;
    const struct {
        const char *name;
        int ground;
        Vec3 at;
        int particles;
        uint32_t colour;
        const char *sound;
    } cases[] = {
        {"in the air", 40, {30.5f, 30.5f, 35.5f}, 64, 0x7F404040u, "sound3d wav/explode.wav 0 30.50 30.50 35.50"},
        {"in the water", 63, {30.5f, 30.5f, 63.25f}, 64, water, "sound3d wav/waterexplode.wav 0 30.50 30.50 63.25"},
        {"in the bottom layer, no colour there", 40, {30.5f, 30.5f, 63.5f}, 0, 0,
         "sound3d wav/waterexplode.wav 0 30.50 30.50 63.50"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        game_clear_world_objects();
        game_clear_particles();
        map_make_flat(c.ground, water);
        Vec3 still = {0, 0, 0};
        game_add_grenade_object(&c.at, &still, 2, game_time);
        int mark = plat_log_count();
        frame(1.0f / 60.0f);
        EXPECT_EQ(world_object_count, 0);
        ASSERT_EQ(particle_ring.count, c.particles);
        for (int i = 0; i < c.particles; i++) {
            EXPECT_EQ(live(i).colour, c.colour);
            EXPECT_NEAR(std::sqrt(live(i).velocity.x * live(i).velocity.x + live(i).velocity.y * live(i).velocity.y +
                                  live(i).velocity.z * live(i).velocity.z),
                        1.0f, 1e-3f);
        }
        ctest_expect_sounds(mark, {c.sound});
    }
}

// A tracer covers 256 x its direction per second until its distance is
// spent; a casing falls, bounces in silence and is gone after 5 s less 2 s a
// bounce, turning about its spin axis.
TEST_F(Effects, TracersAndCasingsExpire)
{
    WorldObject *t = append(OBJECT_TRACER, {50, 50, 20}, {1.0f, -0.5f, 0}, 10.0f);
    ASSERT_NE(t, nullptr);
    frame(1.0f / 64.0f); // s = 4: moves (4, -2, 0), distance - 6
    expect_vec(world_objects[0].position, Vec3{54, 48, 20});
    EXPECT_FLOAT_EQ(wobj_distance(&world_objects[0]), 4.0f);
    frame(1.0f / 64.0f);
    EXPECT_FLOAT_EQ(wobj_distance(&world_objects[0]), -2.0f);
    EXPECT_EQ(world_object_count, 1);
    frame(1.0f / 64.0f);
    EXPECT_EQ(world_object_count, 0);
    append(OBJECT_TRACER, {50, 50, 20}, {0, 0, 0}, std::nanf("")); // would never get anywhere
    frame(1.0f / 64.0f);
    EXPECT_EQ(world_object_count, 0);

    const float born = game_time;
    append(OBJECT_CASING, {60.5f, 60.5f, 38.0f}, {0, 0, 0}, born + 5.0f);
    int mark = plat_log_count(), bounces = 0;
    frame(1.0f / 60.0f); // it turns 4 x dt about its spin axis (z here)
    expect_vec(world_objects[0].xaxis, Vec3{0.1f * std::cos(4.0f / 60.0f), 0.1f * std::sin(4.0f / 60.0f), 0});
    float last = born + 5.0f, changed = born;
    while (world_object_count == 1 && game_time < born + 6.0f) {
        frame(1.0f / 60.0f);
        if (world_object_count == 1 && wobj_time(&world_objects[0]) != last) {
            EXPECT_FLOAT_EQ(wobj_time(&world_objects[0]), last - 2.0f);
            last = wobj_time(&world_objects[0]);
            changed = game_time;
            bounces++;
        }
        if (world_object_count == 1) {
            EXPECT_LT(world_objects[0].position.z, 40.0f);
        }
    }
    EXPECT_EQ(world_object_count, 0);
    EXPECT_GE(bounces, 1);
    // Gone in the first frame after its time ran out.
    EXPECT_GT(game_time, last);
    EXPECT_LE(game_time - 1.0f / 60.0f, std::max(last, changed) + 1e-4f);
    EXPECT_TRUE(ctest_sounds(mark).empty());
}

// The objectives at the front of the table are never moved, expired or
// removed here, whatever their owner words hold.
TEST_F(Effects, ObjectivesStayPut)
{
    const int kinds[2] = {OBJECT_LYING, OBJECT_CARRIED};
    for (int i = 0; i < 2; i++) append(kinds[i], {10.0f + i, 10, 39}, {1, 1, 1}, game_time - 50.0f);
    world_objective_count = 2;
    append(OBJECT_CASING, {70.5f, 70.5f, 10}, {0, 0, 0}, game_time - 1.0f);
    WorldObject before[2];
    std::memcpy(before, world_objects, sizeof before);
    for (int f = 0; f < 30; f++) frame(1.0f / 30.0f);
    EXPECT_EQ(world_object_count, 2);
    EXPECT_EQ(std::memcmp(before, world_objects, sizeof before), 0);
}

// Damaged blocks get their colour back once a second, after 10 s.
TEST_F(Effects, DamagedBlocksHeal)
{
    HitRecord hit{};
    hit.x = 5;
    hit.y = 5;
    hit.z = 40;
    const VoxelColour was = *map_colour_ptr(5, 5, 40);
    ASSERT_EQ(map_damage_block(&hit, 50, game_time), 0);
    ASSERT_NE(*map_colour_ptr(5, 5, 40), was);
    const float hit_at = game_time;
    frame(0.5f);
    EXPECT_FLOAT_EQ(world_next_heal, game_time + 1.0f);
    while (game_time < hit_at + 10.0f) {
        frame(0.25f);
        EXPECT_NE(*map_colour_ptr(5, 5, 40), was);
    }
    for (int f = 0; f < 5; f++) frame(0.25f);
    EXPECT_EQ(*map_colour_ptr(5, 5, 40), was);
    EXPECT_EQ(map_damage_count, 0);
}

// The server's dig of the stem reaches the client's map; in the same frame
// the loose rest leaves the map as one debris object with a model of its
// coloured voxels, which falls, bounces, breaks into particles and is freed.
TEST_F(Effects, DebrisFromADetachedGroup)
{
    pillar_build();
    std::vector<uint32_t> colours;
    for (const MapCell &c : pillar_loose_cells())
        if (VoxelColour *p = map_colour_ptr(c.x, c.y, c.z)) colours.push_back((uint32_t)map_shaded_rgb(p));
    std::sort(colours.begin(), colours.end());
    ASSERT_FALSE(colours.empty());
    int mark = plat_log_count();
    net_dispatch_packet(ctest_packet(msg_write_block_action,
                                     BlockActionMsg{1, BLOCK_DIG, PILLAR_X, PILLAR_Y, PILLAR_DIG_Z}).data(),
                        15);
    EXPECT_EQ(map_is_solid(PILLAR_X, PILLAR_Y, PILLAR_DIG_Z), 0);
    EXPECT_EQ(map_is_solid(PILLAR_X, PILLAR_Y, 30), 1); // still there until the frame
    frame(1.0f / 60.0f);
    for (const MapCell &c : pillar_loose_cells()) EXPECT_EQ(map_is_solid(c.x, c.y, c.z), 0) << c.x << c.y << c.z;
    EXPECT_EQ(map_is_solid(PILLAR_X, PILLAR_Y, 40), 1);
    EXPECT_EQ(voxel_map.chunk_count, 0);
    ASSERT_EQ(world_object_count, 1);
    WorldObject *d = &world_objects[0];
    EXPECT_EQ(wobj_kind(d), OBJECT_DEBRIS);
    ASSERT_NE(d->model, nullptr);
    EXPECT_EQ(d->model->xsize, 5); // the group's box, one column wider each side
    EXPECT_EQ(d->model->ysize, 5);
    EXPECT_EQ(d->model->zsize, 9);
    std::vector<uint32_t> got;
    for (int i = 0; i < d->model->voxelcount; i++) got.push_back(d->model->voxels[i].colour);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, colours);
    EXPECT_FLOAT_EQ(wobj_time(d), game_time + 5.0f);
    ctest_expect_sounds(mark, {"sound3d wav/hitground.wav 0 100.50 100.50 38.50",
                               "sound3d wav/debris.wav -300 100.50 100.50 32.50"});
    mark = plat_log_count();
    const float born = game_time;
    float lowest = d->position.z;
    game_clear_particles();
    while (world_object_count == 1 && game_time < born + 6.0f) {
        frame(1.0f / 60.0f);
        if (world_object_count == 1) lowest = std::max(lowest, world_objects[0].position.z);
    }
    EXPECT_EQ(world_object_count, 0);
    EXPECT_GT(lowest, 39.0f); // it reached the ground
    std::vector<std::string> s = ctest_sounds(mark);
    ASSERT_GE(s.size(), 2u); // at least one bounce, then the break-up
    for (const std::string &line : s) EXPECT_EQ(line.rfind("sound3d wav/bounce.wav -300 ", 0), 0u) << line;
    EXPECT_GT(particle_ring.count, 0);
    EXPECT_LE(particle_ring.count, 2 * (int)colours.size());
}
} // namespace

namespace {

void dispatch(const std::vector<uint8_t> &p) { net_dispatch_packet(p.data(), p.size()); }

// With the table full a loose group still leaves the map, as it leaves the
// server's, but makes no debris and no sound, and nothing stays listed.
TEST_F(Effects, AFullTableMakesNoDebrisYetTheGroupLeavesTheMap)
{
    pillar_build();
    for (int i = 0; i < WORLD_OBJECT_MAX; i++) append(OBJECT_CASING, {300.5f, 300.5f, 10}, {0, 0, 0}, game_time + 60);
    dispatch(ctest_packet(msg_write_block_action, BlockActionMsg{1, BLOCK_DIG, PILLAR_X, PILLAR_Y, PILLAR_DIG_Z}));
    int mark = plat_log_count();
    frame(1.0f / 60.0f);
    EXPECT_EQ(world_object_count, WORLD_OBJECT_MAX);
    for (int i = 0; i < world_object_count; i++) EXPECT_EQ(wobj_kind(&world_objects[i]), OBJECT_CASING);
    for (const MapCell &c : pillar_loose_cells()) EXPECT_EQ(map_is_solid(c.x, c.y, c.z), 0);
    EXPECT_EQ(voxel_map.chunk_count, 0);
    EXPECT_TRUE(ctest_sounds(mark).empty());
}

// On the join menus the server's edits reach the map as in game: a group
// they leave loose leaves the map in the menu's frame, without debris (no
// world object moves there), and nothing stays listed for later.
TEST_F(Effects, TheJoinMenusCutLooseGroupsToo)
{
    for (void (*screen)() : {menu_team_screen, menu_weapon_screen}) {
        pillar_build();
        dispatch(ctest_packet(msg_write_block_action, BlockActionMsg{1, BLOCK_DIG, PILLAR_X, PILLAR_Y, PILLAR_DIG_Z}));
        int mark = plat_log_count();
        screen();
        for (const MapCell &c : pillar_loose_cells()) EXPECT_EQ(map_is_solid(c.x, c.y, c.z), 0);
        EXPECT_EQ(map_is_solid(PILLAR_X, PILLAR_Y, 40), 1);
        EXPECT_EQ(world_object_count, 0);
        EXPECT_EQ(voxel_map.chunk_count, 0);
        EXPECT_TRUE(ctest_sounds(mark).empty());
    }
}

// A flood of server messages, every frame: grenades (some with absurd
// fuses, places and speeds), digs, blasts and the undermining of small
// towers. The table and the ring keep their limits, every undermined tower's
// top leaves the map, and once the flood stops everything expires and every
// debris model is freed (the sanitizer build reports a leak).
TEST_F(Effects, LimitsHoldUnderAFloodOfServerMessages)
{
    const int towers = 400;
    auto tower = [](int i) { return MapCell{20 + (i % 40) * 3, 200 + (i / 40) * 3, 38}; };
    for (int i = 0; i < towers; i++) {
        MapCell c = tower(i);
        block(c.x, c.y, 38);
        block(c.x, c.y, 39);
    }
    rng_srand(9);
    int undermined = 0, debris_seen = 0, fullest = 0;
    for (int f = 0; f < 120; f++) {
        for (int k = 0; k < 20; k++) {
            const float fuses[3] = {0.5f, 2.0f, 1e30f};
            Vec3 at = {(float)(rng_rand() % 512), (float)(rng_rand() % 512), 30.0f}, v = {0.3f, -0.2f, 0};
            if (k == 0) { // far out of the map and faster than any throw: no cell is out of range
                at = Vec3{1e30f, -1e30f, 1e30f};
                v = Vec3{3e38f, -3e38f, 3e38f};
            }
            dispatch(ctest_packet(msg_write_grenade, GrenadeMsg{(uint8_t)(k % 32), fuses[k % 3], at, v}));
        }
        for (int k = 0; k < 8; k++)
            dispatch(ctest_packet(msg_write_block_action,
                                  BlockActionMsg{2, BLOCK_DIG, 300 + rng_rand() % 100, 300 + rng_rand() % 100, 40}));
        dispatch(ctest_packet(msg_write_block_action,
                              BlockActionMsg{3, BLOCK_BLAST, 450 + rng_rand() % 50, 20 + rng_rand() % 50, 40}));
        for (int k = 0; k < 4 && undermined < towers; k++, undermined++) {
            MapCell c = tower(undermined);
            dispatch(ctest_packet(msg_write_block_action, BlockActionMsg{4, BLOCK_DESTROY, c.x, c.y, 39}));
        }
        frame(1.0f / 60.0f);
        ASSERT_LE(world_object_count, WORLD_OBJECT_MAX);
        fullest = std::max(fullest, world_object_count);
        ASSERT_LE(particle_ring.count, PARTICLE_MAX);
        ASSERT_GE(particle_ring.count, 0);
        ASSERT_LE(voxel_map.chunk_count, MAP_MAX_CHUNKS);
        for (int i = 0; i < world_object_count; i++) {
            int kind = wobj_kind(&world_objects[i]);
            ASSERT_TRUE(kind >= 0 || kind == OBJECT_DEBRIS) << kind;
            if (kind == OBJECT_DEBRIS) {
                ASSERT_NE(world_objects[i].model, nullptr);
                debris_seen++;
            } else {
                ASSERT_LE(wobj_time(&world_objects[i]), game_time + 3.0f);
            }
        }
    }
    EXPECT_EQ(fullest, WORLD_OBJECT_MAX); // the flood filled it
    EXPECT_GT(debris_seen, 0);
    for (int i = 0; i < undermined; i++) {
        MapCell c = tower(i);
        EXPECT_EQ(map_is_solid(c.x, c.y, 38), 0) << i;
    }
    for (int f = 0; f < 6 * 60 && (world_object_count || particle_ring.count); f++) frame(1.0f / 60.0f);
    EXPECT_EQ(world_object_count, 0);
    EXPECT_EQ(particle_ring.count, 0);
}

} // namespace
