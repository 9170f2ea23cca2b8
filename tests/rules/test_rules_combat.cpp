// Damage, deaths, respawn waves, reloads, resupply and grenades.
#include <cmath>
#include <limits>

#include "common/map_edit.h"
#include "common/weapon.h"
#include "rules/rules_fixture.h"
#include "server/sys_host.h"
#include "support/full_pool_map.h"

class Combat : public RulesFixture {};

TEST(RulesMath, GrenadeDamageIsClampedBeforeConversion)
{
    struct Case { float dx, dy, dz; int damage; };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {4, 4, 4, 85},          // d^2 = 48
        {1, 0, 0, 4096},        // kills
        {0, 0, 0, 4096},        // blast in the eye: no division by zero reaches an int
        {1e-20f, 0, 0, 4096},   // a tiny distance: no overflow
        {0.5f, 0, 0, 4096},
        {15.9f, 0, 0, 16},
        {nan, 0, 0, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(srv_grenade_damage(c.dx, c.dy, c.dz), c.damage) << c.dx << " " << c.dy << " " << c.dz;
}

TEST(RulesMath, LateTicksAreCutIntoBoundedSteps)
{
    int n;
    EXPECT_FLOAT_EQ(srv_split_step(1.0f / 60.0f, &n), 1.0f / 60.0f);
    EXPECT_EQ(n, 1);
    float s = srv_split_step(5.0f, &n); // a five-second stall covers at most 0.1 s
    EXPECT_EQ(n, 4);
    EXPECT_FLOAT_EQ(s * (float)n, SRV_STEP_TOTAL_MAX);
    EXPECT_LE(s, SRV_STEP_MAX);
    srv_split_step(std::numeric_limits<float>::quiet_NaN(), &n);
    EXPECT_EQ(n, 0);
    srv_split_step(-1.0f, &n);
    EXPECT_EQ(n, 0);
}

TEST_F(Combat, RespawnWaitCountsToTheNext30SecondWave)
{
    struct Case { float now; int wait; };
    const Case cases[] = {{12.5f, 18}, {0.0f, 30}, {29.9f, 1}, {30.0f, 30}, {61.0f, 29}};
    for (const Case &c : cases) {
        srv_now = c.now;
        EXPECT_EQ(srv_respawn_wait(), c.wait) << c.now;
    }
}

TEST_F(Combat, DamageReachesOnlyLivingTeamPlayers)
{
    PlayerRecord *blue = join(0, TEAM_BLUE, WEAPON_SEMI, 100, 200);
    PlayerRecord *spec = join(1, TEAM_SPECTATOR, WEAPON_SEMI, 0, 0);
    PlayerRecord *unjoined = connect(2);
    unjoined->alive = 1; // stale flag of an earlier occupant must not matter
    unjoined->health = 100;
    PlayerRecord *gone = join(3, TEAM_GREEN, WEAPON_SEMI, 400, 200);
    gone->present = 0;
    PlayerRecord *dead = join(4, TEAM_GREEN, WEAPON_SEMI, 400, 210);
    dead->alive = 0;
    dead->health = 0;
    int spec_health = spec->health;
    for (int victim = 1; victim <= 4; victim++)
        srv_damage_player(victim, 500, 0, nullptr, KILL_WEAPON);
    EXPECT_EQ(spec->health, spec_health);
    EXPECT_EQ(spec->alive, 1);
    EXPECT_EQ(unjoined->health, 100);
    EXPECT_EQ(gone->health, 100);
    EXPECT_EQ(dead->health, 0);
    EXPECT_EQ(blue->kills, 0);
    srv_damage_player(-1, 10, 0, nullptr, KILL_WEAPON);
    srv_damage_player(32, 10, 0, nullptr, KILL_WEAPON);
    srv_damage_player(0, 30, 5, nullptr, KILL_WEAPON); // killer slot not connected
    EXPECT_EQ(blue->health, 70);
    EXPECT_EQ(blue->alive, 1);
}

TEST_F(Combat, DeathSetsTheWaveAndCreditsOnlyEnemies)
{
    PlayerRecord *a = join(0, TEAM_BLUE, WEAPON_SEMI, 100, 200);
    PlayerRecord *b = join(1, TEAM_GREEN, WEAPON_SEMI, 110, 200);
    PlayerRecord *c = join(2, TEAM_GREEN, WEAPON_SEMI, 120, 200);
    srv_now = 12.5f;
    int64_t before = sys_time_seconds();
    srv_damage_player(0, 100, 1, &b->position, KILL_HEAD);
    EXPECT_EQ(a->alive, 0);
    EXPECT_GE(a->respawn_time, before + 18);
    EXPECT_LE(a->respawn_time, sys_time_seconds() + 18);
    EXPECT_EQ(b->kills, 1);
    // Team-mates, falls and changes give no credit.
    srv_damage_player(2, 100, 1, nullptr, KILL_GRENADE);
    EXPECT_EQ(b->kills, 1);
    a->alive = 1;
    a->health = 100;
    srv_damage_player(0, 100, 1, nullptr, KILL_FALL);
    EXPECT_EQ(b->kills, 1);
    EXPECT_EQ(c->alive, 0);
}

TEST_F(Combat, OneRoundReloadStopsWhenTheReserveIsEmpty)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SHOTGUN, 100, 200);
    const WeaponInfo *w = weapon_info(WEAPON_SHOTGUN);
    p->magazine = w->magazine_size - 3;
    p->reserve = 2;
    p->reload_end = srv_now;
    EXPECT_EQ(srv_finish_reload(0), 1);
    EXPECT_NE(p->reload_end, 0.0f); // next round due
    EXPECT_EQ(srv_finish_reload(0), 1);
    EXPECT_EQ(p->reload_end, 0.0f); // reserve empty: done after two rounds
    EXPECT_EQ(p->magazine, w->magazine_size - 1);
    EXPECT_EQ(p->reserve, 0);
    p->reload_end = srv_now;
    EXPECT_EQ(srv_finish_reload(0), 0); // nothing from nothing
    EXPECT_EQ(p->magazine, w->magazine_size - 1);
    EXPECT_EQ(p->reserve, 0);
    EXPECT_EQ(p->reload_end, 0.0f);
}

TEST_F(Combat, WholeMagazineReloadMovesOnlyWhatTheReserveHolds)
{
    struct Case { int magazine, reserve, magazine_after, reserve_after, loaded; };
    const Case cases[] = {
        {3, 50, 10, 43, 1}, {3, 7, 10, 0, 1}, {3, 5, 8, 0, 1}, {0, 0, 0, 0, 0}, {10, 20, 10, 20, 0},
    };
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100, 200);
    for (const Case &c : cases) {
        p->magazine = c.magazine;
        p->reserve = c.reserve;
        p->reload_end = srv_now;
        EXPECT_EQ(srv_finish_reload(0), c.loaded) << c.magazine << "/" << c.reserve;
        EXPECT_EQ(p->magazine, c.magazine_after) << c.magazine << "/" << c.reserve;
        EXPECT_EQ(p->reserve, c.reserve_after) << c.magazine << "/" << c.reserve;
        EXPECT_EQ(p->reload_end, 0.0f);
    }
}

TEST_F(Combat, TickCountsShotsAndFiringStopsAOneRoundReload)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SHOTGUN, 100, 200);
    p->magazine = 3;
    p->primary = 1;
    p->reload_end = srv_now + 0.2f;
    srv_tick_players(sys_time_seconds());
    EXPECT_EQ(p->magazine, 2);
    EXPECT_EQ(p->reload_end, 0.0f);
    EXPECT_FLOAT_EQ(p->next_use, srv_now + 1.0f);
    srv_tick_players(sys_time_seconds()); // the interval has not passed
    EXPECT_EQ(p->magazine, 2);
    p->primary = 0;
    p->reload_end = srv_now - 0.01f;
    int reserve = p->reserve;
    srv_tick_players(sys_time_seconds());
    EXPECT_EQ(p->magazine, 3);
    EXPECT_EQ(p->reserve, reserve - 1);
}

TEST_F(Combat, DeadPlayersRespawnAtTheirWave)
{
    PlayerRecord *p = join(0, TEAM_GREEN, WEAPON_SEMI, 400, 200);
    PlayerRecord *s = join(1, TEAM_SPECTATOR, WEAPON_SEMI, 0, 0);
    int64_t t = sys_time_seconds();
    p->alive = 0;
    p->respawn_time = t + 5;
    s->alive = 0;
    s->respawn_time = t;
    srv_tick_players(t);
    EXPECT_EQ(p->alive, 0);
    EXPECT_EQ(s->alive, 1);
    srv_tick_players(t + 5);
    EXPECT_EQ(p->alive, 1);
    EXPECT_GE(p->position.x, 386.0f); // team 1's area
    EXPECT_EQ(p->health, 100);
}

TEST_F(Combat, ResupplyOnlyWhenSomethingIsMissingAndAtMostEveryThreeSeconds)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100, 200);
    int64_t t = 1000;
    srv_restock_at_base(0, t);
    EXPECT_EQ(p->last_resupply, 0); // full: nothing
    p->blocks = 49;
    srv_restock_at_base(0, t);
    EXPECT_EQ(p->blocks, 50);
    EXPECT_EQ(p->last_resupply, t + 3);
    p->blocks = 10;
    srv_restock_at_base(0, t + 3);
    EXPECT_EQ(p->blocks, 10);
    p->magazine = 2;
    srv_restock_at_base(0, t + 4);
    EXPECT_EQ(p->blocks, 50);
    EXPECT_EQ(p->magazine, 2); // the magazine is not refilled
}

TEST_F(Combat, GrenadeBlastHurtsEnemiesAndThrowerButNotTeamMatesAndDigsACube)
{
    PlayerRecord *thrower = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    PlayerRecord *mate = join(1, TEAM_BLUE, WEAPON_SEMI, 102.5f, 200.5f);
    PlayerRecord *enemy = join(2, TEAM_GREEN, WEAPON_SEMI, 100.5f, 202.5f);
    PlayerRecord *far = join(3, TEAM_GREEN, WEAPON_SEMI, 130.5f, 200.5f);
    Vec3 pos = {101.5f, 201.5f, (float)FIX_GROUND - 0.5f};
    Vec3 vel = {0, 0, 0};
    ASSERT_EQ(srv_add_grenade(&pos, &vel, srv_now - 0.01f, 0), 1);
    srv_update_grenades();
    EXPECT_EQ(srv_grenade_count, 0);
    EXPECT_LT(thrower->health, 100);
    EXPECT_EQ(mate->health, 100);
    EXPECT_LT(enemy->health, 100);
    EXPECT_EQ(far->health, 100);
    for (int dx = -1; dx <= 1; dx++)
        for (int dy = -1; dy <= 1; dy++)
            EXPECT_EQ(map_is_solid(101 + dx, 201 + dy, FIX_GROUND), 0);
    EXPECT_EQ(map_is_solid(101, 201, FIX_GROUND + 2), 1);
}

// On a map that fills the column pool the hole of a blast in the ground
// cannot be stored: the grenade is spent and the map keeps every block.
TEST_F(Combat, ABlastThePoolHasNoRoomForLeavesTheMap)
{
    static const std::vector<uint8_t> img = full_pool_image();
    ASSERT_EQ(map_load_image(img.data(), img.size()), 1);
    join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    Vec3 pos = {101.5f, 201.5f, (float)FULL_POOL_GROUND + 0.5f}, vel = {0, 0, 0};
    ASSERT_EQ(srv_add_grenade(&pos, &vel, srv_now - 0.01f, 0), 1);
    srv_update_grenades();
    EXPECT_EQ(srv_grenade_count, 0);
    for (int dx = -1; dx <= 1; dx++)
        for (int dy = -1; dy <= 1; dy++)
            for (int z = FULL_POOL_GROUND; z <= FULL_POOL_GROUND + 1; z++)
                EXPECT_EQ(map_is_solid(101 + dx, 201 + dy, z), 1);
}

TEST_F(Combat, AWallBetweenBlastAndEyeShields)
{
    PlayerRecord *hidden = join(1, TEAM_GREEN, WEAPON_SEMI, 104.5f, 200.5f);
    PlayerRecord *open = join(2, TEAM_GREEN, WEAPON_SEMI, 100.5f, 204.5f);
    for (int y = 198; y <= 202; y++)
        for (int z = 30; z < FIX_GROUND; z++) {
            MapCell c = {102, y, z};
            ASSERT_EQ(map_add_block(&c, 0x808080), 1);
        }
    join(0, TEAM_BLUE, WEAPON_SEMI, 60.5f, 200.5f);
    Vec3 pos = {100.5f, 200.5f, 37.5f}, vel = {0, 0, 0};
    ASSERT_EQ(srv_add_grenade(&pos, &vel, srv_now - 0.01f, 0), 1);
    srv_update_grenades();
    EXPECT_EQ(hidden->health, 100);
    EXPECT_LT(open->health, 100);
}

TEST_F(Combat, GrenadeTableHoldsSixtyFourAndRemovalKeepsTheRest)
{
    Vec3 pos = {300.5f, 300.5f, 10.0f}, vel = {0, 0, 0};
    for (int i = 0; i < SRV_GRENADE_MAX; i++)
        ASSERT_EQ(srv_add_grenade(&pos, &vel, srv_now + (i == 0 ? -1.0f : 2.0f), 5), 1);
    EXPECT_EQ(srv_add_grenade(&pos, &vel, srv_now, 5), 0);
    srv_update_grenades();
    EXPECT_EQ(srv_grenade_count, SRV_GRENADE_MAX - 1);
}

TEST_F(Combat, AStalledTickDoesNotCarryAGrenadeThroughAWall)
{
    // A one-block wall two blocks ahead; one unbounded 0.2 s step would move
    // the grenade 6.4 blocks, to the far side of it.
    for (int z = 20; z < FIX_GROUND; z++) {
        MapCell c = {303, 300, z};
        ASSERT_EQ(map_add_block(&c, 0x808080), 1);
    }
    Vec3 pos = {300.5f, 300.5f, 30.0f}, vel = {1.0f, 0, -0.2f};
    ASSERT_EQ(srv_add_grenade(&pos, &vel, srv_now + 2.0f, 5), 1);
    srv_tick_delta = 0.2f;
    srv_update_grenades();
    ASSERT_EQ(srv_grenade_count, 1);
    EXPECT_LT(srv_grenades[0].position.x, 303.0f);
    EXPECT_LT(srv_grenades[0].velocity.x, 0.0f); // bounced off the wall
}

TEST_F(Combat, AStalledTickDoesNotCarryAPlayerThroughAWall)
{
    for (int z = 20; z < FIX_GROUND; z++) {
        MapCell c = {103, 200, z};
        ASSERT_EQ(map_add_block(&c, 0x808080), 1);
    }
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    p->keys[KEY_FORWARD] = 1;
    p->keys[KEY_SPRINT] = 1;
    p->velocity = Vec3{0.3f, 0.0f, 0.0f};
    for (int i = 0; i < 20; i++) { // let him settle on the ground first
        srv_tick_players(sys_time_seconds());
        srv_now += srv_tick_delta;
        game_time = srv_now;
    }
    srv_tick_delta = 2.0f; // one unbounded step would move him ~20 blocks
    srv_tick_players(sys_time_seconds());
    EXPECT_LT(p->position.x, 103.0f);
    EXPECT_EQ(p->alive, 1);
}

TEST_F(Combat, TheWorldStepRemovesWhatAnEditCutLoose)
{
    // A 6 x 6 roof at z 30 on one pillar; the player digs the pillar away.
    for (int y = 200; y < 206; y++)
        for (int x = 100; x < 106; x++) {
            int32_t *list = map_edit_column(x, y);
            map_insert_slab(list, 30, 31);
            if (x == 103 && y == 203)
                map_insert_slab(list, 31, FIX_GROUND);
        }
    map_edit_finish();
    srv_world_step();
    ASSERT_EQ(map_is_solid(100, 200, 30), 1); // held by the pillar
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 104.5f, 203.5f);
    Vec3 eye = {104.5f, 203.5f, 35.0f};
    player_set_position(p, &eye);
    send(0, msg_write_tool, ToolMsg{0, TOOL_SPADE});
    send(0, msg_write_block_action, BlockActionMsg{0, BLOCK_DIG, 103, 203, 35});
    ASSERT_EQ(map_is_solid(103, 203, 35), 0);
    srv_world_step();
    for (int y = 200; y < 206; y++)
        for (int x = 100; x < 106; x++)
            EXPECT_EQ(map_is_solid(x, y, 30), 0) << x << "," << y;
    EXPECT_EQ(map_is_solid(103, 203, 38), 1); // the stump stands on the ground
}

TEST_F(Combat, FallsHurtByTheirHeightAndAHighOneKills)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    PlayerRecord *q = join(1, TEAM_BLUE, WEAPON_SEMI, 110.5f, 200.5f);
    Vec3 low = {100.5f, 200.5f, p->position.z - 14.0f}, high = {110.5f, 200.5f, q->position.z - 30.0f};
    player_set_position(p, &low);
    player_set_position(q, &high);
    for (int i = 0; i < 300; i++) {
        srv_tick_players(sys_time_seconds());
        srv_now += srv_tick_delta;
        game_time = srv_now;
    }
    EXPECT_EQ(p->alive, 1);
    EXPECT_LT(p->health, 100);
    EXPECT_GT(p->health, 0);
    EXPECT_EQ(q->alive, 0);
}

TEST_F(Combat, RoundResetReturnsEverySlotToNotJoined)
{
    join(0, TEAM_BLUE, WEAPON_SEMI, 100, 200)->kills = 7;
    join(1, TEAM_SPECTATOR, WEAPON_SEMI, 0, 0);
    Vec3 pos = {300.5f, 300.5f, 10.0f}, vel = {0, 0, 0};
    srv_add_grenade(&pos, &vel, srv_now + 2.0f, 0);
    srv_vote.target = 1;
    srv_map_change_time = 12345;
    srv_reset_players();
    EXPECT_EQ(player_table[0].team, TEAM_NONE);
    EXPECT_EQ(player_table[0].kills, 0);
    EXPECT_EQ(player_table[1].team, TEAM_NONE);
    EXPECT_EQ(player_table[0].present, 1);
    EXPECT_EQ(srv_grenade_count, 0);
    EXPECT_EQ(srv_vote.target, -1);
    EXPECT_EQ(srv_map_change_time, 0);
}
