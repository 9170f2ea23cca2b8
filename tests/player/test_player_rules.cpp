#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "common/mode_objective.h"
#include "common/model_table.h"
#include "common/player.h"
#include "common/timer.h"
#include "common/weapon.h"

namespace {

// Distinct fake models so that the body and held sprites can be told apart.
Kv6Model fake_models[MODEL_SLOT_COUNT];

struct PlayerRules : ::testing::Test {
    void SetUp() override
    {
        for (int i = 0; i < MODEL_SLOT_COUNT; i++) model_table[i] = &fake_models[i];
        std::memset(player_table, 0, sizeof player_table);
        game_time = 0.0f;
        game_step = 0.0f;
    }
    void TearDown() override
    {
        for (int i = 0; i < MODEL_SLOT_COUNT; i++) model_table[i] = nullptr;
    }
    static Kv6Model *m(int slot) { return &fake_models[slot]; }
};

}  // namespace

TEST(WeaponTable, HoldsTheGameValues)
{
    struct Row {
        int models[4];
        int damage[5];
        int block_damage;
        const char *shot, *reload;
        float interval, reload_time, spread, vrecoil, hrecoil;
        int magazine, reserve, whole, pellets, spare;
    };
    const Row rows[3] = {
        {{8, 2, 31, 34}, {49, 100, 33, 33, 38}, 50, "wav/semishoot.wav", "wav/semireload.wav",
         0.5f, 2.5f, 0.003f, -0.05f, 0.0001f, 10, 50, 1, 1, 0},
        {{9, 3, 32, 35}, {29, 75, 18, 18, 38}, 34, "wav/smgshoot.wav", "wav/smgreload.wav",
         0.1f, 2.5f, 0.006f, -0.0125f, 0.00005f, 30, 120, 1, 1, 0},
        {{10, 4, 33, 36}, {27, 37, 16, 16, 38}, 34, "wav/shotgunshoot.wav", "wav/shotgunreload.wav",
         1.0f, 0.5f, 0.012f, -0.1f, 0.0002f, 6, 48, 0, 8, 25},
    };
    for (int w = 0; w < WEAPON_COUNT; w++) {
        SCOPED_TRACE(w);
        const WeaponInfo &t = weapon_table[w];
        const Row &r = rows[w];
        EXPECT_EQ(t.view_model, r.models[0]);
        EXPECT_EQ(t.held_model, r.models[1]);
        EXPECT_EQ(t.tracer_model, r.models[2]);
        EXPECT_EQ(t.casing_model, r.models[3]);
        EXPECT_EQ(t.scope_image, nullptr);
        for (int h = 0; h < HIT_COUNT; h++) EXPECT_EQ(t.damage[h], r.damage[h]) << "hit " << h;
        EXPECT_EQ(t.block_damage, r.block_damage);
        EXPECT_STREQ(t.shot_sound, r.shot);
        EXPECT_STREQ(t.reload_sound, r.reload);
        EXPECT_EQ(t.fire_interval, r.interval);
        EXPECT_EQ(t.reload_time, r.reload_time);
        EXPECT_EQ(t.spread, r.spread);
        EXPECT_EQ(t.recoil_vertical, r.vrecoil);
        EXPECT_EQ(t.recoil_horizontal, r.hrecoil);
        EXPECT_EQ(t.magazine_size, r.magazine);
        EXPECT_EQ(t.reserve_size, r.reserve);
        EXPECT_EQ(t.whole_reload, r.whole);
        EXPECT_EQ(t.pellets, r.pellets);
        EXPECT_EQ(t.spare, r.spare);
    }
    EXPECT_EQ(weapon_info(-1), nullptr);
    EXPECT_EQ(weapon_info(WEAPON_COUNT), nullptr);
}

TEST_F(PlayerRules, InitPreparesAJoiningPlayer)
{
    PlayerRecord *p = &player_table[7];
    p->health = 3;
    p->flood = 9;
    p->admin = 1;
    p->respawn_time = 99;
    p->keys[KEY_JUMP] = 1;
    p->sprites[SPRITE_DEAD].zaxis = Vec3{5, 5, 5};
    ASSERT_EQ(player_init(p, 7, TEAM_GREEN, WEAPON_SMG, TOOL_BLOCK, 4, 0x123456, "Alice"), 1);
    EXPECT_EQ(p->id, 7);
    EXPECT_EQ(p->team, TEAM_GREEN);
    EXPECT_EQ(p->weapon, WEAPON_SMG);
    EXPECT_EQ(p->tool, TOOL_BLOCK);
    EXPECT_EQ(p->kills, 4);
    EXPECT_EQ(p->colour, 0x123456u);
    EXPECT_STREQ(p->name, "Alice");
    EXPECT_EQ(p->position.z, 128.0f);
    EXPECT_EQ(p->eye.x, 256.0f);
    EXPECT_EQ(p->forward.y, -1.0f);
    EXPECT_EQ(p->right.x, 1.0f);
    EXPECT_EQ(p->down.z, 1.0f);
    EXPECT_EQ(p->keys[KEY_JUMP], 0);
    EXPECT_EQ(p->alive, 1);
    EXPECT_EQ(p->present, 1);
    EXPECT_EQ(p->health, 100);
    EXPECT_EQ(p->magazine, 30);
    EXPECT_EQ(p->reserve, 120);
    EXPECT_EQ(p->blocks, 50);
    EXPECT_EQ(p->grenades, 3);
    EXPECT_EQ(p->flood, 0);
    EXPECT_EQ(p->admin, 0);
    EXPECT_EQ(p->respawn_time, 0);
    EXPECT_EQ(p->sprites[SPRITE_DEAD].zaxis.x, 0.0f);
    EXPECT_EQ(p->sprites[SPRITE_DEAD].zaxis.z, 0.1f);
    EXPECT_EQ(p->sprites[SPRITE_HELD].model, m(MODEL_BLOCK_3));
    EXPECT_EQ(p->sprites[SPRITE_TORSO].model, m(MODEL_TORSO_G));
    EXPECT_EQ(p->sprites[SPRITE_INTEL].model, m(MODEL_INTEL_B));
}

TEST_F(PlayerRules, InitOfASpectatorKeepsThePreviousLoadout)
{
    PlayerRecord *p = &player_table[3];
    ASSERT_EQ(player_init(p, 3, TEAM_BLUE, WEAPON_SHOTGUN, TOOL_SPADE, 12, 0xABCDEF, "old"), 1);
    p->health = 1;
    p->magazine = 0;
    ASSERT_EQ(player_init(p, 3, TEAM_SPECTATOR, WEAPON_SEMI, TOOL_GUN, 0, 0, "new"), 1);
    EXPECT_EQ(p->team, TEAM_SPECTATOR);
    EXPECT_EQ(p->weapon, WEAPON_SHOTGUN);
    EXPECT_EQ(p->tool, TOOL_SPADE);
    EXPECT_EQ(p->kills, 12);
    EXPECT_EQ(p->colour, 0xABCDEFu);
    EXPECT_EQ(p->health, 100);
    EXPECT_EQ(p->magazine, 6);
    EXPECT_STREQ(p->name, "new");
    // Team models stay those of the previous team.
    EXPECT_EQ(p->sprites[SPRITE_HEAD].model, m(MODEL_HEAD_B));
}

TEST_F(PlayerRules, InitCutsTheNameToFifteenCharacters)
{
    PlayerRecord *p = &player_table[0];
    ASSERT_EQ(player_init(p, 0, TEAM_BLUE, 0, 0, 0, 0, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"), 1);
    EXPECT_STREQ(p->name, "ABCDEFGHIJKLMNO");
    ASSERT_EQ(player_init(p, 0, TEAM_BLUE, 0, 0, 0, 0, nullptr), 1);
    EXPECT_STREQ(p->name, "");
}

TEST_F(PlayerRules, OutOfRangeValuesAreRefusedWithoutChange)
{
    PlayerRecord *p = &player_table[1];
    ASSERT_EQ(player_init(p, 1, TEAM_BLUE, WEAPON_SEMI, TOOL_GUN, 0, 0, "x"), 1);
    PlayerRecord before = *p;
    struct Case { int team, weapon, tool; } inits[] = {
        {2, 0, 0}, {-3, 0, 0}, {0, 3, 0}, {0, -1, 0}, {1, 0, 4}, {1, 0, -1}, {-2, 7, 0},
    };
    for (const Case &c : inits) {
        EXPECT_EQ(player_init(p, 1, c.team, c.weapon, c.tool, 5, 1, "y"), 0)
            << c.team << " " << c.weapon << " " << c.tool;
    }
    EXPECT_EQ(player_set_team(p, TEAM_NEUTRAL), 0);
    EXPECT_EQ(player_set_team(p, 1000), 0);
    EXPECT_EQ(player_set_held_model(p, 4), 0);
    EXPECT_EQ(player_set_held_model(p, -1), 0);
    EXPECT_EQ(player_set_tool(p, 9), 0);
    EXPECT_EQ(player_set_weapon(p, 3), 0);
    EXPECT_EQ(std::memcmp(&before, p, sizeof before), 0);

    // A corrupted weapon never indexes the table.
    p->weapon = 77;
    EXPECT_EQ(player_restock(p, 1), 0);
    EXPECT_EQ(player_set_held_model(p, TOOL_GUN), 0);
    Vec3 pt = {1, 2, 3};
    EXPECT_EQ(player_respawn(p, &pt), 0);
    EXPECT_EQ(player_init(p, 1, TEAM_SPECTATOR, 0, 0, 0, 0, "z"), 0);
    p->weapon = before.weapon;
    EXPECT_EQ(std::memcmp(&before, p, sizeof before), 0);
}

TEST_F(PlayerRules, HeldModelFollowsToolAndWeapon)
{
    PlayerRecord *p = &player_table[2];
    ASSERT_EQ(player_init(p, 2, TEAM_BLUE, WEAPON_SHOTGUN, TOOL_SPADE, 0, 0, "x"), 1);
    const int expect[TOOL_COUNT] = {MODEL_SPADE_3, MODEL_BLOCK_3, MODEL_SHOTGUN_3, MODEL_GRENADE_3};
    for (int t = 0; t < TOOL_COUNT; t++) {
        ASSERT_EQ(player_set_tool(p, t), 1);
        EXPECT_EQ(p->tool, t);
        EXPECT_EQ(p->sprites[SPRITE_HELD].model, m(expect[t])) << "tool " << t;
    }
    ASSERT_EQ(player_set_weapon(p, WEAPON_SEMI), 1);
    ASSERT_EQ(player_set_held_model(p, TOOL_GUN), 1);
    EXPECT_EQ(p->sprites[SPRITE_HELD].model, m(MODEL_SEMI_3));
}

TEST_F(PlayerRules, RespawnPlacesAndFacesByTeam)
{
    struct Case { int team; Vec3 right, forward; int torso, leg; } cases[] = {
        {TEAM_BLUE, {0, 1, 0}, {1, 0, 0}, MODEL_TORSO_B, MODEL_LEG_B},
        {TEAM_GREEN, {0, -1, 0}, {-1, 0, 0}, MODEL_TORSO_G, MODEL_LEG_G},
        {TEAM_SPECTATOR, {1, 0, 0}, {0, -1, 0}, -1, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.team);
        PlayerRecord *p = &player_table[4];
        std::memset(p, 0, sizeof *p);
        ASSERT_EQ(player_init(p, 4, c.team, WEAPON_SEMI, TOOL_BLOCK, 0, 0x112233, "x"), 1);
        p->sprites[SPRITE_TORSO].model = m(MODEL_TORSOC_B);  // as if crouched
        p->magazine = 1;
        p->health = 5;
        p->keys[KEY_SPRINT] = 1;
        p->alive = 0;
        p->airborne = 1;
        p->in_water = 1;
        p->climb_time = 4.0f;
        Vec3 point = {100.5f, 200.5f, 40.0f};
        ASSERT_EQ(player_respawn(p, &point), 1);
        EXPECT_EQ(p->position.x, 100.5f);
        EXPECT_EQ(p->position.y, 200.5f);
        EXPECT_EQ(p->position.z, 40.0f - 2.4f);
        EXPECT_EQ(std::memcmp(&p->eye, &p->position, sizeof(Vec3)), 0);
        EXPECT_EQ(std::memcmp(&p->right, &c.right, sizeof(Vec3)), 0);
        EXPECT_EQ(std::memcmp(&p->forward, &c.forward, sizeof(Vec3)), 0);
        EXPECT_EQ(p->down.z, 1.0f);
        EXPECT_EQ(p->tool, TOOL_GUN);
        EXPECT_EQ(p->colour, 0x7F7F7Fu);
        EXPECT_EQ(p->alive, 1);
        EXPECT_EQ(p->airborne, 0);
        EXPECT_EQ(p->in_water, 0);
        EXPECT_EQ(p->climb_time, 0.0f);
        EXPECT_EQ(p->keys[KEY_SPRINT], 0);
        EXPECT_EQ(p->magazine, 10);
        EXPECT_EQ(p->health, 100);
        EXPECT_EQ(p->sprites[SPRITE_HELD].model, m(MODEL_SEMI_3));
        Kv6Model *torso = c.torso < 0 ? m(MODEL_TORSOC_B) : m(c.torso);
        EXPECT_EQ(p->sprites[SPRITE_TORSO].model, torso);
        if (c.leg >= 0) {
            EXPECT_EQ(p->sprites[SPRITE_LEG_LEFT].model, m(c.leg));
            EXPECT_EQ(p->sprites[SPRITE_LEG_RIGHT].model, m(c.leg));
        }
    }
}

TEST_F(PlayerRules, RestockWithoutMagazineKeepsTheLoadedCount)
{
    PlayerRecord *p = &player_table[5];
    ASSERT_EQ(player_init(p, 5, TEAM_BLUE, WEAPON_SEMI, TOOL_GUN, 0, 0, "x"), 1);
    p->magazine = 3;
    p->reserve = 0;
    p->blocks = 0;
    p->grenades = 0;
    p->health = 1;
    ASSERT_EQ(player_restock(p, 0), 1);
    EXPECT_EQ(p->magazine, 3);
    EXPECT_EQ(p->reserve, 50);
    EXPECT_EQ(p->blocks, 50);
    EXPECT_EQ(p->grenades, 3);
    EXPECT_EQ(p->health, 100);
    ASSERT_EQ(player_restock(p, 1), 1);
    EXPECT_EQ(p->magazine, 10);
}

TEST_F(PlayerRules, EyeRisesAfterAStepUp)
{
    PlayerRecord *p = &player_table[0];
    Vec3 pt = {10, 10, 20};
    struct Case { float climb, now, eye_z; } cases[] = {
        {5.0f, 5.0f, 21.0f},      // right after the step: one block below
        {5.0f, 5.125f, 20.5f},    // half way
        {5.0f, 5.25f, 20.0f},     // lag over
        {5.0f, 9.0f, 20.0f},
        {0.0f, 0.0f, 21.0f},      // climb time 0 lags at time 0 as well
    };
    for (const Case &c : cases) {
        p->climb_time = c.climb;
        game_time = c.now;
        player_set_position(p, &pt);
        EXPECT_EQ(p->position.z, 20.0f);
        EXPECT_EQ(p->eye.x, 10.0f);
        EXPECT_FLOAT_EQ(p->eye.z, c.eye_z) << c.now;
    }
}

TEST_F(PlayerRules, OrientationIsNormalisedAndDerivesRightAndDown)
{
    PlayerRecord *p = &player_table[0];
    Vec3 f = {2.0f, 0.0f, 0.0f};
    ASSERT_EQ(player_set_orientation(p, &f), 1);
    EXPECT_EQ(p->forward.x, 1.0f);
    EXPECT_EQ(p->right.x, 0.0f);
    EXPECT_EQ(p->right.y, 1.0f);
    EXPECT_EQ(p->right.z, 0.0f);
    EXPECT_EQ(p->down.x, 0.0f);
    EXPECT_EQ(p->down.y, 0.0f);
    EXPECT_EQ(p->down.z, 1.0f);

    Vec3 g = {0.0f, 3.0f, 4.0f};  // looking down at 53 degrees
    ASSERT_EQ(player_set_orientation(p, &g), 1);
    EXPECT_FLOAT_EQ(p->forward.y, 0.6f);
    EXPECT_FLOAT_EQ(p->forward.z, 0.8f);
    EXPECT_FLOAT_EQ(p->right.x, -1.0f);
    // down = forward x right is a unit vector orthogonal to both.
    EXPECT_FLOAT_EQ(p->down.x, 0.0f);
    EXPECT_FLOAT_EQ(p->down.y, -0.8f);
    EXPECT_FLOAT_EQ(p->down.z, 0.6f);

    Vec3 huge = {3e38f, -3e38f, 1e38f};
    ASSERT_EQ(player_set_orientation(p, &huge), 1);
    EXPECT_NEAR(math_length3(p->forward.x, p->forward.y, p->forward.z), 1.0f, 1e-6f);
    Vec3 tiny = {1e-30f, 0.0f, 0.0f};
    ASSERT_EQ(player_set_orientation(p, &tiny), 1);
    EXPECT_EQ(p->forward.x, 1.0f);
    EXPECT_EQ(p->right.y, 1.0f);
}

TEST_F(PlayerRules, UnitOrientationIsKeptBitForBitWithSinglePrecisionAxes)
{
    // Camera vectors as a client sends them (unit up to rounding). Server and
    // every client must hold the same bits, or their movement drifts apart.
    PlayerRecord *p = &player_table[0];
    for (int i = 0; i < 64; i++) {
        float yaw = 0.1f * (float)i, pitch = -1.2f + 0.04f * (float)i;
        Vec3 f = {std::cos(yaw) * std::cos(pitch), std::sin(yaw) * std::cos(pitch), std::sin(pitch)};
        ASSERT_EQ(player_set_orientation(p, &f), 1);
        ASSERT_EQ(std::memcmp(&p->forward, &f, sizeof f), 0) << i;
        float l = std::sqrt(f.x * f.x + f.y * f.y);
        Vec3 r = {-f.y / l, f.x / l, 0.0f};
        Vec3 d = {-f.z * r.y, f.z * r.x, f.x * r.y - f.y * r.x};
        ASSERT_EQ(std::memcmp(&p->right, &r, sizeof r), 0) << i;
        ASSERT_EQ(std::memcmp(&p->down, &d, sizeof d), 0) << i;
    }
}

TEST_F(PlayerRules, OrientationRefusesBadVectorsAndKeepsThePrevious)
{
    PlayerRecord *p = &player_table[0];
    Vec3 ok = {0.0f, -1.0f, 0.0f};
    ASSERT_EQ(player_set_orientation(p, &ok), 1);
    Vec3 f0 = p->forward, r0 = p->right, d0 = p->down;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Vec3 bad[] = {
        {0, 0, 1}, {0, 0, -5}, {0, 0, 0}, {nan, 1, 0}, {1, nan, 0}, {1, 0, nan},
        {1e-25f, 0, 1}, {0, -1e-30f, -1},  // next to no horizontal part
        {inf, 0, 0}, {0, -inf, 0}, {1, 0, inf},
    };
    for (const Vec3 &b : bad) {
        EXPECT_EQ(player_set_orientation(p, &b), 0) << b.x << " " << b.y << " " << b.z;
        EXPECT_EQ(std::memcmp(&p->forward, &f0, sizeof f0), 0);
        EXPECT_EQ(std::memcmp(&p->right, &r0, sizeof r0), 0);
        EXPECT_EQ(std::memcmp(&p->down, &d0, sizeof d0), 0);
    }
}

TEST(PlayerMovedBeyond, ComparesEachAxisStrictly)
{
    const Vec3 a = {1.0f, 2.0f, 3.0f};
    struct Case { Vec3 b; float limit; int expect; } cases[] = {
        {{1.0f, 2.0f, 3.0f}, 0.0f, 0},
        {{1.5f, 2.0f, 3.0f}, 0.5f, 0},  // exactly the limit
        {{1.0f, 1.25f, 3.0f}, 0.5f, 1},
        {{1.0f, 2.0f, 3.75f}, 0.5f, 1},
        {{1.0f, 2.0f, 3.0f}, -1.0f, 1},
    };
    for (const Case &c : cases) EXPECT_EQ(player_moved_beyond(&a, &c.b, c.limit), c.expect);
}

TEST_F(PlayerRules, SortByKillsKeepsTiesInIdOrder)
{
    int order[PLAYER_MAX];
    player_sort_by_kills(order);
    for (int i = 0; i < PLAYER_MAX; i++) EXPECT_EQ(order[i], i);

    player_table[5].kills = 3;
    player_table[30].kills = 7;
    player_table[2].kills = 3;
    player_table[31].kills = 3;
    player_table[9].kills = -1;
    player_sort_by_kills(order);
    const int head[] = {30, 2, 5, 31, 0, 1, 3, 4, 6};
    for (int i = 0; i < 9; i++) EXPECT_EQ(order[i], head[i]) << i;
    EXPECT_EQ(order[31], 9);
}

TEST(ModeCapture, AdvancesByRateAndClamps)
{
    struct Case { float progress; int rate; float step; float expect; } cases[] = {
        {0.99f, 2, 0.5f, 1.0f},
        {0.01f, -2, 0.5f, 0.0f},
        {0.5f, 0, 10.0f, 0.5f},
        {0.25f, 1, 1.0f, 0.3f},
        {0.5f, -3, 1.0f, 0.35f},
    };
    mode_objective_count = 5;
    for (int i = 0; i < 5; i++) mode_objectives[i].progress = cases[i].progress;
    // Each case has its own step, so only its objective carries a rate.
    for (int i = 0; i < 5; i++) {
        for (int j = 0; j < 5; j++) mode_objectives[j].rate = (j == i) ? cases[i].rate : 0;
        game_step = cases[i].step;
        mode_advance_capture();
        EXPECT_FLOAT_EQ(mode_objectives[i].progress, cases[i].expect) << i;
    }
    // Entries past the count are not touched, and a corrupted count stops at the table's end.
    mode_objectives[6].rate = 1;
    mode_objectives[6].progress = 0.0f;
    mode_objective_count = 5;
    game_step = 1.0f;
    mode_advance_capture();
    EXPECT_EQ(mode_objectives[6].progress, 0.0f);
    mode_objective_count = 1000;
    mode_advance_capture();
    EXPECT_FLOAT_EQ(mode_objectives[6].progress, 0.05f);
    mode_objective_count = 0;
    game_step = 0.0f;
}

TEST_F(PlayerRules, AimBoxUsesTheSlotsEyeAndOrientation)
{
    PlayerRecord *p = &player_table[6];
    p->eye = Vec3{100, 100, 40};
    Vec3 f = {1, 0, 0};
    ASSERT_EQ(player_set_orientation(p, &f), 1);
    struct Case { float x, y, z; int expect; } cases[] = {
        {110, 100.2f, 40.1f, 1},   // ahead, inside the box
        {110, 101.0f, 40.0f, 0},   // too far to the side
        {90, 100.0f, 40.0f, 0},    // behind
        {100, 100.0f, 40.0f, 0},   // in the eye plane
    };
    for (const Case &c : cases) EXPECT_EQ(player_aim_box_test(6, c.x, c.y, c.z, 0.5f), c.expect) << c.x << "," << c.y;
    EXPECT_EQ(player_aim_box_test(-1, 110, 100, 40, 0.5f), 0);
    EXPECT_EQ(player_aim_box_test(PLAYER_MAX, 110, 100, 40, 0.5f), 0);
}
