// Client messages through the real dispatcher: what is applied and what is
// refused. What is relayed is checked end to end (test_rules_e2e).
#include <cmath>
#include <limits>
#include <vector>

#include "common/map_edit.h"
#include "common/weapon.h"
#include "rules/rules_fixture.h"
#include "server/srv_handlers.h"
#include "server/sys_host.h"

class Handlers : public RulesFixture {
protected:
    // Shooter 0 (blue) at x 100 facing +x, target 1 (green) 10 blocks ahead.
    void duel(int target_team = TEAM_GREEN)
    {
        shooter = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
        target = join(1, target_team, WEAPON_SEMI, 110.5f, 200.5f);
        send(0, msg_write_fire_keys, FireKeysMsg{0, FIRE_PRIMARY});
        ASSERT_EQ(shooter->primary, 1);
    }
    void hit(int target_id, int type) { send(0, msg_write_hit_claim, HitClaimMsg{(uint8_t)target_id, (uint8_t)type}); }
    void action(int id, int kind, int x, int y, int z)
    {
        send(id, msg_write_block_action, BlockActionMsg{(uint8_t)id, (uint8_t)kind, x, y, z});
    }
    PlayerRecord *shooter = nullptr, *target = nullptr;
};

TEST_F(Handlers, HitClaimsDealTheWeaponDamageOfTheBodyPart)
{
    duel();
    hit(1, HIT_TORSO);
    EXPECT_EQ(target->health, 100 - 49);
    hit(1, HIT_HEAD);
    EXPECT_EQ(target->alive, 0);
    EXPECT_EQ(shooter->kills, 1);
}

TEST_F(Handlers, ImplausibleHitClaimsAreIgnored)
{
    duel();
    hit(1, HIT_SPADE); // spade damage with the gun in hand
    hit(1, 5);
    hit(1, 200);
    hit(40, HIT_TORSO);
    hit(0, HIT_TORSO); // himself
    EXPECT_EQ(target->health, 100);
    EXPECT_EQ(shooter->health, 100);
    shooter->forward = Vec3{-1, 0, 0}; // looking away
    shooter->right = Vec3{0, -1, 0};
    hit(1, HIT_TORSO);
    EXPECT_EQ(target->health, 100);
    shooter->forward = Vec3{1, 0, 0};
    shooter->right = Vec3{0, 1, 0};
    send(0, msg_write_fire_keys, FireKeysMsg{0, 0});
    hit(1, HIT_TORSO); // not firing
    EXPECT_EQ(target->health, 100);
}

TEST_F(Handlers, TheSpadeHitsOnlyUpCloseAndWithTheSpade)
{
    duel();
    send(0, msg_write_tool, ToolMsg{0, TOOL_SPADE});
    ASSERT_EQ(shooter->tool, TOOL_SPADE);
    send(0, msg_write_fire_keys, FireKeysMsg{0, FIRE_PRIMARY});
    hit(1, HIT_SPADE); // 10 blocks away
    EXPECT_EQ(target->health, 100);
    hit(1, HIT_TORSO); // gun damage with the spade
    EXPECT_EQ(target->health, 100);
    Vec3 near = {102.5f, 200.5f, target->position.z};
    player_set_position(target, &near);
    hit(1, HIT_SPADE);
    EXPECT_EQ(target->health, 100 - 38);
}

TEST_F(Handlers, TeamMatesAreHitOnlyRightAfterDiggingInTheirOwnHalf)
{
    duel(TEAM_BLUE);
    hit(1, HIT_TORSO);
    EXPECT_EQ(target->health, 100);
    target->last_block_loss = sys_time_seconds();
    hit(1, HIT_TORSO);
    EXPECT_EQ(target->health, 51);
}

TEST_F(Handlers, SpectatorsAndUnjoinedConnectionsCannotFight)
{
    duel();
    PlayerRecord *spec = join(2, TEAM_SPECTATOR, WEAPON_SEMI, 0, 0);
    spec->position = spec->eye = Vec3{100.5f, 200.5f, 37.6f};
    spec->forward = Vec3{1, 0, 0};
    spec->right = Vec3{0, 1, 0};
    spec->primary = 1;
    spec->tool = TOOL_GUN;
    send(2, msg_write_hit_claim, HitClaimMsg{1, HIT_HEAD});
    EXPECT_EQ(target->health, 100);
    hit(2, HIT_HEAD); // a spectator is never hit
    EXPECT_EQ(spec->health, 100);
    connect(3);
    send(3, msg_write_grenade, GrenadeMsg{3, 0.1f, {110, 200, 37}, {0, 0, 0}});
    send(2, msg_write_grenade, GrenadeMsg{2, 0.1f, {110, 200, 37}, {0, 0, 0}});
    EXPECT_EQ(srv_grenade_count, 0);
}

TEST_F(Handlers, GrenadeFuseIsCappedAtThreeSeconds)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case { float fuse, lasts; };
    const Case cases[] = {{5.0f, 3.0f}, {1.5f, 1.5f}, {nan, 3.0f}};
    int grenades = p->grenades;
    for (const Case &c : cases) {
        send(0, msg_write_grenade, GrenadeMsg{0, c.fuse, {0, 0, 0}, {0, 0, 0}});
        ASSERT_EQ(srv_grenade_count, 1);
        EXPECT_FLOAT_EQ(srv_grenades[0].explode_time, srv_now + c.lasts);
        EXPECT_FLOAT_EQ(srv_grenades[0].position.x, p->eye.x); // the server's eye, not the client's
        srv_grenade_count = 0;
        p->grenades = grenades;
    }
    p->grenades = 0;
    send(0, msg_write_grenade, GrenadeMsg{0, 1.0f, {0, 0, 0}, {0, 0, 0}});
    EXPECT_EQ(srv_grenade_count, 0);
}

TEST_F(Handlers, BuildingNeedsTheBlockToolAndBlocksInStock)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    int z = FIX_GROUND - 1;
    action(0, BLOCK_BUILD, 101, 200, z); // gun in hand
    EXPECT_EQ(map_is_solid(101, 200, z), 0);
    send(0, msg_write_tool, ToolMsg{0, TOOL_BLOCK});
    action(0, BLOCK_BUILD, 101, 200, z);
    EXPECT_EQ(map_is_solid(101, 200, z), 1);
    EXPECT_EQ(p->blocks, 49);
    p->blocks = 0;
    action(0, BLOCK_BUILD, 102, 200, z);
    EXPECT_EQ(map_is_solid(102, 200, z), 0);
    EXPECT_EQ(p->blocks, 0);
}

TEST_F(Handlers, DiggingNeedsTheSpadeReachAndACellOfTheMap)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    action(0, BLOCK_DIG, 101, 200, FIX_GROUND + 1); // gun in hand
    EXPECT_EQ(map_is_solid(101, 200, FIX_GROUND), 1);
    send(0, msg_write_tool, ToolMsg{0, TOOL_SPADE});
    action(0, BLOCK_DIG, 110, 200, FIX_GROUND + 1); // out of reach
    EXPECT_EQ(map_is_solid(110, 200, FIX_GROUND), 1);
    action(0, BLOCK_DESTROY, 101, 200, 63);
    action(0, BLOCK_BLAST, 101, 200, FIX_GROUND);
    action(0, 7, 101, 200, FIX_GROUND);
    EXPECT_EQ(map_is_solid(101, 200, FIX_GROUND), 1);
    action(0, BLOCK_DIG, 101, 200, FIX_GROUND + 1);
    EXPECT_EQ(map_is_solid(101, 200, FIX_GROUND), 0);
    EXPECT_EQ(map_is_solid(101, 200, FIX_GROUND + 2), 0);
    EXPECT_EQ(p->last_block_loss, sys_time_seconds()); // own half of team 0
    p->blocks = 49;
    action(0, BLOCK_DESTROY, 100, 201, FIX_GROUND);
    EXPECT_EQ(map_is_solid(100, 201, FIX_GROUND), 0);
    EXPECT_EQ(p->blocks, 50);
    action(0, BLOCK_DESTROY, 99, 201, FIX_GROUND); // no more than 50
    EXPECT_EQ(p->blocks, 50);
}

TEST_F(Handlers, BlockLinesAreBuiltWholeOrNotAtAll)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    int z = FIX_GROUND - 1;
    send(0, msg_write_block_line, BlockLineMsg{0, {98, 201, z}, {102, 201, z}}); // gun in hand
    EXPECT_EQ(map_is_solid(100, 201, z), 0);
    send(0, msg_write_tool, ToolMsg{0, TOOL_BLOCK});
    p->blocks = 4;
    send(0, msg_write_block_line, BlockLineMsg{0, {98, 201, z}, {102, 201, z}});
    EXPECT_EQ(map_is_solid(100, 201, z), 0);
    EXPECT_EQ(p->blocks, 4);
    p->blocks = 5;
    send(0, msg_write_block_line, BlockLineMsg{0, {98, 201, z}, {102, 201, z}});
    for (int x = 98; x <= 102; x++)
        EXPECT_EQ(map_is_solid(x, 201, z), 1) << x;
    EXPECT_EQ(p->blocks, 0);
    p->blocks = 50;
    send(0, msg_write_block_line, BlockLineMsg{0, {98, 202, z}, {512, 202, z}});
    send(0, msg_write_block_line, BlockLineMsg{0, {98, 202, z}, {110, 202, z}}); // end out of reach
    EXPECT_EQ(p->blocks, 50);
}

// A line through the builder: the cells his body fills stay empty, the rest
// are built and only they are paid for. He stands at (100.5, 200.5) on the
// ground (top at 40) with his eye at 37.6: his body takes the cells whose
// centre lies within 0.95 of the eye across, less than 0.95 above it and less
// than 2.75 below it (1.85 crouching, the eye then 0.9 lower): column
// (100, 200), z 37..39 standing, z 38..39 crouching.
TEST_F(Handlers, BlockLinesLeaveTheBuildersBodyEmpty)
{
    struct Cell {
        int x, y, z;
    };
    const struct Case {
        const char *what;
        Cell from, to;
        int crouch, blocks;
        std::vector<Cell> built;
        int left;
    } cases[] = {
        {"across him at his knees", {98, 200, 39}, {102, 200, 39}, 0, 50,
         {{98, 200, 39}, {99, 200, 39}, {101, 200, 39}, {102, 200, 39}}, 46},
        {"just enough blocks for the cells outside him", {98, 200, 39}, {102, 200, 39}, 0, 4,
         {{98, 200, 39}, {99, 200, 39}, {101, 200, 39}, {102, 200, 39}}, 0},
        {"too few blocks for the cells outside him", {98, 200, 39}, {102, 200, 39}, 0, 3, {}, 3},
        {"down through him standing", {100, 200, 36}, {100, 200, 39}, 0, 50, {{100, 200, 36}}, 49},
        {"down through him crouching", {100, 200, 36}, {100, 200, 39}, 1, 50, {{100, 200, 36}, {100, 200, 37}}, 48},
        {"wholly inside him", {100, 200, 38}, {100, 200, 39}, 0, 50, {}, 50},
    };
    for (const Case &c : cases) {
        map_make_flat(FIX_GROUND, 0x7f808080u);
        PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
        ASSERT_FLOAT_EQ(p->eye.z, 37.6f);
        if (c.crouch) {
            p->keys[KEY_CROUCH] = 1;
            p->eye.z += 0.9f;
        }
        send(0, msg_write_tool, ToolMsg{0, TOOL_BLOCK});
        p->blocks = c.blocks;
        send(0, msg_write_block_line, BlockLineMsg{0, {c.from.x, c.from.y, c.from.z}, {c.to.x, c.to.y, c.to.z}});
        EXPECT_EQ(p->blocks, c.left) << c.what;
        for (int x = 97; x <= 103; x++)
            for (int y = 197; y <= 203; y++)
                for (int z = 35; z < FIX_GROUND; z++) {
                    int want = 0;
                    for (const Cell &b : c.built) want |= b.x == x && b.y == y && b.z == z;
                    EXPECT_EQ(map_is_solid(x, y, z), want) << c.what << " at " << x << ", " << y << ", " << z;
                }
    }
}

TEST_F(Handlers, PositionsAreTakenWithinThreeBlocksAndInsideTheMap)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    Vec3 start = p->position;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Vec3 refused[] = {
        {start.x + 3.5f, start.y, start.z}, {nan, start.y, start.z}, {start.x, inf, start.z},
        {start.x, start.y, nan},           {-0.5f, start.y, start.z}, {start.x, start.y, 1e30f},
    };
    for (const Vec3 &v : refused) {
        send(0, msg_write_position, PositionMsg{v});
        EXPECT_EQ(p->position.x, start.x);
        EXPECT_EQ(p->position.y, start.y);
        EXPECT_EQ(p->position.z, start.z);
    }
    send(0, msg_write_position, PositionMsg{{start.x + 2.9f, start.y, start.z}});
    EXPECT_FLOAT_EQ(p->position.x, start.x + 2.9f);
    // Chained reports near the edge stay inside.
    p->position = Vec3{1.0f, 1.0f, start.z};
    send(0, msg_write_position, PositionMsg{{-1.0f, 1.0f, start.z}});
    EXPECT_EQ(p->position.x, 1.0f);
}

TEST_F(Handlers, OrientationsMustBeFiniteWithAHorizontalPart)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    Vec3 before = p->forward;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Vec3 refused[] = {{0, 0, 1}, {nan, 0, 0}, {0, 0, 0}, {std::numeric_limits<float>::infinity(), 1, 0}};
    for (const Vec3 &v : refused) {
        send(0, msg_write_orient, OrientMsg{v});
        EXPECT_EQ(p->forward.x, before.x);
        EXPECT_EQ(p->forward.y, before.y);
    }
    send(0, msg_write_orient, OrientMsg{{0, 30, 0}});
    EXPECT_FLOAT_EQ(math_length3(p->forward.x, p->forward.y, p->forward.z), 1.0f);
}

TEST_F(Handlers, CrouchMovesTheBoxAndOnlyOnTheGroundDownwards)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    float z = p->position.z;
    send(0, msg_write_move_keys, MoveKeysMsg{0, 1u << KEY_CROUCH | 1u << KEY_FORWARD});
    EXPECT_FLOAT_EQ(p->position.z, z + 0.9f);
    EXPECT_EQ(p->keys[KEY_FORWARD], 1);
    send(0, msg_write_move_keys, MoveKeysMsg{0, 0});
    EXPECT_FLOAT_EQ(p->position.z, z);
    p->airborne = 1;
    send(0, msg_write_move_keys, MoveKeysMsg{0, 1u << KEY_CROUCH});
    EXPECT_FLOAT_EQ(p->position.z, z);
}

TEST_F(Handlers, FireIsClearedWhenSprintingOrOutOfRounds)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    p->magazine = 0;
    send(0, msg_write_fire_keys, FireKeysMsg{0, FIRE_PRIMARY | FIRE_SECONDARY});
    EXPECT_EQ(p->primary, 0);
    EXPECT_EQ(p->secondary, 1);
    p->magazine = 5;
    send(0, msg_write_move_keys, MoveKeysMsg{0, 1u << KEY_SPRINT});
    send(0, msg_write_fire_keys, FireKeysMsg{0, FIRE_PRIMARY});
    EXPECT_EQ(p->primary, 0);
}

TEST_F(Handlers, TeamAndWeaponChangesOnlyFromJoinedPlayersWithValidValues)
{
    PlayerRecord *u = connect(2);
    send(2, msg_write_team_change, TeamChangeMsg{2, TEAM_BLUE});
    send(2, msg_write_weapon_change, WeaponChangeMsg{2, WEAPON_SMG});
    EXPECT_EQ(u->team, TEAM_NONE);
    EXPECT_EQ(u->weapon, 0);
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    deliver(0, std::vector<uint8_t>{MSG_TEAM_CHANGE, 0, 7});
    deliver(0, std::vector<uint8_t>{MSG_WEAPON_CHANGE, 0, 3});
    deliver(0, std::vector<uint8_t>{MSG_TOOL, 0, 4});
    EXPECT_EQ(p->team, TEAM_BLUE);
    EXPECT_EQ(p->weapon, WEAPON_SEMI);
    EXPECT_EQ(p->tool, TOOL_GUN);
    EXPECT_EQ(p->alive, 1);
    send(0, msg_write_weapon_change, WeaponChangeMsg{0, WEAPON_SHOTGUN});
    EXPECT_EQ(p->alive, 0);
    EXPECT_EQ(p->weapon, WEAPON_SHOTGUN);
    send(0, msg_write_team_change, TeamChangeMsg{0, TEAM_GREEN}); // dead: nobody dies, the team is set
    EXPECT_EQ(p->team, TEAM_GREEN);
    // A spectator who joins a team dies for the change like anyone else and
    // waits for the wave; so does one who changes weapon.
    PlayerRecord *s = join(1, TEAM_SPECTATOR, WEAPON_SEMI, 0, 0);
    send(1, msg_write_team_change, TeamChangeMsg{1, TEAM_BLUE});
    EXPECT_EQ(s->team, TEAM_BLUE);
    EXPECT_EQ(s->alive, 0);
    EXPECT_GT(s->respawn_time, 0);
    PlayerRecord *w = join(3, TEAM_SPECTATOR, WEAPON_SEMI, 0, 0);
    send(3, msg_write_weapon_change, WeaponChangeMsg{3, WEAPON_SMG});
    EXPECT_EQ(w->weapon, WEAPON_SMG);
    EXPECT_EQ(w->alive, 0);
    EXPECT_GT(w->respawn_time, 0);
}

TEST_F(Handlers, ShortAndOverlongPacketsNeverReachAHandler)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    send(0, msg_write_tool, ToolMsg{0, TOOL_BLOCK});
    int blocks = p->blocks;
    uint8_t buf[MSG_MAX_SIZE];
    BlockActionMsg build = {0, BLOCK_BUILD, 101, 200, FIX_GROUND - 1};
    int n = msg_write_block_action(buf, sizeof buf, &build);
    deliver(0, buf, (size_t)n - 1);
    std::vector<uint8_t> longer(buf, buf + n);
    longer.push_back(0);
    deliver(0, longer);
    EXPECT_EQ(map_is_solid(101, 200, FIX_GROUND - 1), 0);
    EXPECT_EQ(p->blocks, blocks);
    Vec3 pos = p->position;
    deliver(0, std::vector<uint8_t>{MSG_POSITION, 0, 0, 0});
    EXPECT_EQ(p->position.x, pos.x);
}

TEST_F(Handlers, FloodCounterRisesForChatLinesAndToolEdits)
{
    PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
    ChatMsg chat;
    memset(&chat, 0, sizeof chat);
    strcpy(chat.text, "hello");
    for (int i = 0; i < SRV_FLOOD_LIMIT + 1; i++)
        send(0, msg_write_chat, chat);
    EXPECT_EQ(p->flood, SRV_FLOOD_LIMIT + 1);
    EXPECT_EQ(p->present, 1); // the eleventh still passes; the twelfth kicks (end to end)
    p->flood = 0;
    p->magazine = 5; // gun destroys count nothing
    action(0, BLOCK_DESTROY, 101, 200, FIX_GROUND);
    EXPECT_EQ(p->flood, 0);
    EXPECT_EQ(map_is_solid(101, 200, FIX_GROUND), 0);
    PlayerRecord *u = connect(3);
    send(3, msg_write_chat, chat);
    EXPECT_EQ(u->flood, 0);
}

// Edits refused for the wrong tool still count towards the flood rule: every
// block line, and every block action made without the gun (a counter above 10
// then kicks, end to end).
TEST_F(Handlers, FloodRuleCountsEditsRefusedForTheWrongTool)
{
    struct Case {
        int tool, kind; // kind -1: a block line
        int counted;
    } cases[] = {
        {TOOL_SPADE, BLOCK_BUILD, 1}, {TOOL_BLOCK, BLOCK_DESTROY, 1}, {TOOL_BLOCK, BLOCK_DIG, 1},
        {TOOL_GRENADE, BLOCK_BUILD, 1}, {TOOL_GUN, -1, 1}, {TOOL_SPADE, -1, 1}, {TOOL_GUN, BLOCK_BUILD, 0},
    };
    int z = FIX_GROUND - 1;
    for (const Case &c : cases) {
        PlayerRecord *p = join(0, TEAM_BLUE, WEAPON_SEMI, 100.5f, 200.5f);
        send(0, msg_write_tool, ToolMsg{0, (uint8_t)c.tool});
        ASSERT_EQ(p->tool, c.tool);
        if (c.kind < 0)
            send(0, msg_write_block_line, BlockLineMsg{0, {101, 200, z}, {101, 200, z}});
        else
            action(0, c.kind, 101, 200, c.kind == BLOCK_BUILD ? z : FIX_GROUND);
        EXPECT_EQ(p->flood, c.counted) << c.tool << " " << c.kind;
        EXPECT_EQ(map_is_solid(101, 200, z), 0) << c.tool << " " << c.kind;
        EXPECT_EQ(map_is_solid(101, 200, FIX_GROUND), 1) << c.tool << " " << c.kind;
    }
}
