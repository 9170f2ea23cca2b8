// Capture the flag and territory control.
#include "common/map_edit.h"
#include "rules/rules_fixture.h"
#include "server/sys_host.h"

class Ctf : public RulesFixture {
protected:
    // Puts a player's eye where "near" an objective holds.
    void stand_at(PlayerRecord *p, int objective)
    {
        const Vec3 &o = mode_objectives[objective].position;
        Vec3 at = {o.x, o.y, o.z - 2.25f};
        player_set_position(p, &at);
    }
};

TEST_F(Ctf, ResetPlacesIntelsAndBasesInTheTeamAreas)
{
    ASSERT_EQ(mode_objective_count, 4u);
    for (int team = 0; team < 2; team++) {
        for (int i : {CTF_INTEL(team), CTF_BASE(team)}) {
            const ObjectiveState &o = mode_objectives[i];
            EXPECT_EQ(o.position.z, (float)FIX_GROUND);
            if (team == 0)
                EXPECT_LT(o.position.x, 128.0f);
            else
                EXPECT_GE(o.position.x, 386.0f);
            EXPECT_GE(o.position.y, 128.0f);
            EXPECT_LT(o.position.y, 386.0f);
        }
        EXPECT_EQ(mode_objectives[CTF_INTEL(team)].owner, -1);
    }
}

TEST_F(Ctf, CarryingTheEnemyIntelHomeScoresAndTheLimitWinsAndResets)
{
    srv_settings.caplimit = 2;
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 50.5f, 200.5f);
    int64_t t = sys_time_seconds();
    stand_at(p, CTF_INTEL(0)); // his own intel: nothing
    srv_ctf_rules(t);
    EXPECT_EQ(mode_objectives[CTF_INTEL(0)].owner, -1);
    stand_at(p, CTF_INTEL(1));
    srv_ctf_rules(t);
    ASSERT_EQ(mode_objectives[CTF_INTEL(1)].owner, 0);
    GameStateMsg gs;
    memset(&gs, 0, sizeof gs);
    srv_ctf_fill_state(&gs);
    EXPECT_EQ(gs.ctf.flags, CTF_INTEL1_CARRIED);
    EXPECT_EQ(gs.ctf.carrier[1], 0);
    stand_at(p, CTF_BASE(0));
    srv_ctf_rules(t);
    EXPECT_EQ(srv_ctf_captures[0], 1u);
    EXPECT_EQ(p->kills, 10);
    EXPECT_EQ(mode_objectives[CTF_INTEL(1)].owner, -1);
    EXPECT_GE(mode_objectives[CTF_INTEL(1)].position.x, 386.0f); // back home
    stand_at(p, CTF_INTEL(1));
    srv_ctf_rules(t);
    stand_at(p, CTF_BASE(0));
    srv_ctf_rules(t);
    EXPECT_EQ(p->kills, 20);
    EXPECT_EQ(srv_ctf_captures[0], 0u); // won: a new round
    EXPECT_EQ(mode_objectives[CTF_INTEL(1)].owner, -1);
    EXPECT_LT(p->position.x, 128.0f); // respawned in his area
    EXPECT_EQ(p->team, TEAM_BLUE);
}

TEST_F(Ctf, ACarrierWhoDiesDropsTheIntelOnTheFloorBelowHim)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 50.5f, 200.5f);
    PlayerRecord *mate = join(2, TEAM_BLUE, WEAPON_SEMI, 50.5f, 200.5f);
    join(1, TEAM_GREEN, WEAPON_SEMI, 450.5f, 200.5f);
    mode_objectives[CTF_INTEL(1)].owner = 0;
    Vec3 air = {250.5f, 260.5f, 20.0f}; // high above the ground
    player_set_position(p, &air);
    srv_damage_player(0, 100, 1, nullptr, KILL_WEAPON);
    const ObjectiveState &intel = mode_objectives[CTF_INTEL(1)];
    EXPECT_EQ(intel.owner, -1);
    EXPECT_FLOAT_EQ(intel.position.x, 250.5f);
    EXPECT_FLOAT_EQ(intel.position.y, 260.5f);
    EXPECT_EQ(intel.position.z, (float)FIX_GROUND);
    // His team-mate can take it up again, which is the only way it moves now.
    stand_at(mate, CTF_INTEL(1));
    srv_ctf_rules(sys_time_seconds());
    EXPECT_EQ(mode_objectives[CTF_INTEL(1)].owner, 2);
}

TEST_F(Ctf, ObjectivesRiseOutOfBlocksAndFallIntoHoles)
{
    ObjectiveState &base = mode_objectives[CTF_BASE(0)];
    int x = (int)base.position.x, y = (int)base.position.y;
    EXPECT_EQ(srv_drop_object(CTF_BASE(0)), 0);
    MapCell above = {x, y, FIX_GROUND - 1};
    ASSERT_EQ(map_add_block(&above, 0x808080), 1);
    EXPECT_EQ(srv_drop_object(CTF_BASE(0)), 1);
    EXPECT_EQ(base.position.z, (float)FIX_GROUND - 1);
    for (int z = FIX_GROUND - 1; z <= FIX_GROUND + 1; z++) {
        MapCell c = {x, y, z};
        map_remove_block(&c);
    }
    int steps = 0;
    while (srv_drop_object(CTF_BASE(0)) && steps < 10)
        steps++;
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(base.position.z, (float)FIX_GROUND + 2);
    EXPECT_EQ(srv_drop_object(-1), 0);
    EXPECT_EQ(srv_drop_object(OBJECTIVE_MAX), 0);
}

class Tc : public RulesFixture {
protected:
    void SetUp() override
    {
        RulesFixture::SetUp();
        srv_mode_flag = GAME_MODE_TC;
        srv_mode = GameModeCallbacks{srv_tc_tick, srv_tc_fill_state, srv_tc_reset, srv_tc_rules, srv_tc_spawn};
        srv_tc_reset();
    }
    void put_on(PlayerRecord *p, int territory)
    {
        const Vec3 &o = mode_objectives[territory].position;
        Vec3 at = {o.x, o.y, o.z - 2.25f};
        player_set_position(p, &at);
    }
};

TEST_F(Tc, AllLandGivesSevenTerritoriesAndAllWaterThree)
{
    ASSERT_EQ(mode_objective_count, 7u);
    const int owners[7] = {0, 0, 0, TEAM_NEUTRAL, 1, 1, 1};
    for (int i = 0; i < 7; i++) {
        EXPECT_EQ(mode_objectives[i].owner, owners[i]) << i;
        EXPECT_GE(mode_objectives[i].position.x, (float)(512 / 7 * i));
        EXPECT_LT(mode_objectives[i].position.x, (float)(512 / 7 * (i + 1)));
        EXPECT_GE(mode_objectives[i].x0, 0);
        EXPECT_LE(mode_objectives[i].x1, 511);
    }
    EXPECT_EQ(srv_tc_owned[0], 3u);
    EXPECT_EQ(srv_tc_owned[1], 3u);
    map_clear();
    EXPECT_EQ(srv_tc_territory_count(), 3);
}

TEST_F(Tc, MorePlayersPushTheCaptureAndItChangesOwner)
{
    PlayerRecord *b[3];
    for (int i = 0; i < 3; i++)
        put_on(b[i] = join(i, TEAM_BLUE, WEAPON_SEMI, 10, 200), 3);
    PlayerRecord *g = join(3, TEAM_GREEN, WEAPON_SEMI, 500, 200);
    put_on(g, 3);
    int64_t t = sys_time_seconds();
    game_step = 1.0f;
    srv_tc_rules(t);
    ObjectiveState &o = mode_objectives[3];
    EXPECT_EQ(o.capturing_team, TEAM_BLUE);
    EXPECT_EQ(o.rate, 2);
    EXPECT_FLOAT_EQ(o.progress, 0.1f);
    put_on(join(4, TEAM_GREEN, WEAPON_SEMI, 500, 200), 3);
    srv_tc_rules(t);
    EXPECT_EQ(o.rate, 1);
    EXPECT_FLOAT_EQ(o.progress, 0.15f);
    game_step = 20.0f;
    srv_tc_rules(t);
    EXPECT_EQ(o.owner, TEAM_BLUE);
    EXPECT_EQ(o.rate, 0);
    EXPECT_EQ(o.progress, 0.0f);
    EXPECT_EQ(srv_tc_owned[0], 4u);
    // Now owned: the defenders outnumber the attackers, nothing is announced
    // or stored while there is no progress to lose.
    game_step = 1.0f;
    srv_tc_rules(t);
    EXPECT_EQ(o.capturing_team, TEAM_GREEN);
    EXPECT_EQ(o.rate, 0);
}

TEST_F(Tc, TakingTheLastEnemyTerritoryWinsEvenWithNeutralsLeft)
{
    for (int i : {4, 5})
        mode_objectives[i].owner = TEAM_BLUE;
    srv_tc_owned[0] = 5;
    srv_tc_owned[1] = 1;
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 10, 200);
    put_on(p, 6);
    game_step = 30.0f;
    srv_tc_rules(sys_time_seconds());
    // A new round: the layout is reset and the player respawned on it.
    EXPECT_EQ(srv_tc_owned[0], 3u);
    EXPECT_EQ(srv_tc_owned[1], 3u);
    EXPECT_EQ(mode_objectives[6].owner, TEAM_GREEN);
    EXPECT_EQ(p->alive, 1);
    EXPECT_LT(p->position.x, 512.0f / 7 * 3 + 32);
}

// The values the clients are told, worked out from the rules: 3 blue against
// 2 green on the neutral territory, then two blue fall (+1 blue becomes +1
// green); green then takes it, and the new owner's attacker is blue.
TEST_F(Tc, ALeadChangeRestartsTheCaptureAndATakenTerritoryWaitsForTheOtherTeam)
{
    PlayerRecord *b[3], *g[2];
    for (int i = 0; i < 3; i++)
        put_on(b[i] = join(i, TEAM_BLUE, WEAPON_SEMI, 10, 200), 3);
    for (int i = 0; i < 2; i++)
        put_on(g[i] = join(3 + i, TEAM_GREEN, WEAPON_SEMI, 500, 200), 3);
    int64_t t = sys_time_seconds();
    ObjectiveState &o = mode_objectives[3];
    EXPECT_EQ(o.capturing_team, TEAM_NEUTRAL);
    game_step = 2.0f;
    srv_tc_rules(t);
    EXPECT_EQ(o.capturing_team, TEAM_BLUE);
    EXPECT_EQ(o.rate, 1);
    EXPECT_FLOAT_EQ(o.progress, 0.1f);
    b[0]->alive = b[1]->alive = 0;
    game_step = 1.0f;
    srv_tc_rules(t);
    EXPECT_EQ(o.capturing_team, TEAM_GREEN);
    EXPECT_EQ(o.rate, 1);
    EXPECT_FLOAT_EQ(o.progress, 0.05f); // from 0, not from blue's 0.1
    game_step = 19.0f;
    srv_tc_rules(t);
    EXPECT_EQ(o.owner, TEAM_GREEN);
    EXPECT_EQ(o.capturing_team, TEAM_BLUE);
    EXPECT_EQ(o.rate, 0);
    EXPECT_EQ(o.progress, 0.0f);
    // Each owned territory's attacker is the other team from the start.
    const int attackers[7] = {1, 1, 1, TEAM_NEUTRAL, 0, 0, 0};
    srv_tc_reset();
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(mode_objectives[i].capturing_team, attackers[i]) << i;
}

// The clients learn the number of territories from the game state, sent at
// start and at a map change only: a won round keeps it even when the land
// has changed since.
TEST_F(Tc, AWonRoundKeepsTheTerritoryCountOfTheMapAsLoaded)
{
    map_delete_slab(map_edit_column(100, 450), 0, 63); // one column dug to the water
    map_edit_finish();
    ASSERT_EQ(map_ground_z(100, 450), 63);
    ASSERT_EQ(srv_tc_territory_count(), 6); // trunc(262143 / 262144 * 4 + 3)
    for (int i : {4, 5})
        mode_objectives[i].owner = TEAM_BLUE;
    srv_tc_owned[0] = 5;
    srv_tc_owned[1] = 1;
    mode_objectives[3].capturing_team = TEAM_GREEN; // a bar half full elsewhere
    mode_objectives[3].progress = 0.5f;
    put_on(join(0, TEAM_BLUE, WEAPON_SEMI, 10, 200), 6);
    game_step = 30.0f;
    srv_tc_rules(sys_time_seconds());
    ASSERT_EQ(mode_objective_count, 7u);
    const int owners[7] = {0, 0, 0, TEAM_NEUTRAL, 1, 1, 1};
    for (int i = 0; i < 7; i++) {
        const ObjectiveState &o = mode_objectives[i];
        EXPECT_EQ(o.owner, owners[i]) << i;
        EXPECT_EQ(o.progress, 0.0f) << i;
        EXPECT_EQ(o.rate, 0) << i;
        EXPECT_GE(o.position.x, (float)(512 / 7 * i)) << i;
        EXPECT_LT(o.position.x, (float)(512 / 7 * (i + 1))) << i;
    }
    EXPECT_EQ(srv_tc_owned[0], 3u);
    EXPECT_EQ(srv_tc_owned[1], 3u);
    // A new map (or the same one loaded again) is counted anew.
    srv_tc_reset();
    EXPECT_EQ(mode_objective_count, 6u);
}

TEST_F(Tc, ATeamWithoutTerritorySpawnsOnTerritoryZero)
{
    for (uint32_t i = 0; i < mode_objective_count; i++)
        if (mode_objectives[i].owner == TEAM_GREEN)
            mode_objectives[i].owner = TEAM_BLUE;
    PlayerRecord *g = join(0, TEAM_GREEN, WEAPON_SEMI, 500, 200);
    EXPECT_EQ(srv_tc_spawn_territory(g), 0);
    g->alive = 0;
    srv_tc_spawn(g);
    EXPECT_EQ(g->alive, 1);
    EXPECT_GE(g->position.x, (float)mode_objectives[0].x0);
    EXPECT_LT(g->position.x, (float)mode_objectives[0].x1);
    PlayerRecord *b = join(1, TEAM_BLUE, WEAPON_SEMI, 300, 200);
    Vec3 at = mode_objectives[4].position;
    at.x += 1.0f;
    player_set_position(b, &at);
    EXPECT_EQ(srv_tc_spawn_territory(b), 4); // the nearest owned one
    mode_objective_count = 0;
    EXPECT_EQ(srv_tc_spawn_territory(b), -1);
}

TEST_F(Tc, JoiningATeamThatOwnsNoTerritoryPlacesThePlayerOnTerritoryZero)
{
    for (uint32_t i = 0; i < mode_objective_count; i++)
        mode_objectives[i].owner = TEAM_BLUE;
    connect(5);
    PlayerInfoMsg info;
    memset(&info, 0, sizeof info);
    info.player = 5;
    info.team = TEAM_GREEN;
    info.weapon = WEAPON_SMG;
    info.tool = TOOL_GUN;
    info.colour = 0x7F7F7F;
    strcpy(info.name, "Late");
    send(5, msg_write_player_info, info);
    const PlayerRecord &p = player_table[5];
    ASSERT_EQ(p.team, TEAM_GREEN);
    EXPECT_EQ(p.alive, 1);
    const ObjectiveState &t0 = mode_objectives[0];
    EXPECT_GE(p.position.x, (float)t0.x0);
    EXPECT_LT(p.position.x, (float)t0.x1);
    EXPECT_GE(p.position.y, (float)t0.y0);
    EXPECT_LT(p.position.y, (float)t0.y1);
}
