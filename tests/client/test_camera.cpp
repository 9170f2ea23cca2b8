// The local view: mouse look with its pole stop and roll correction, the
// dead player's spinning view and the follow camera, the spectator's camera,
// and the step to the next or previous player that wraps inside the table.
#include <cmath>

#include "client/game_camera.h"
#include "client/game_controls.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client_fixture.h"
#include "common/map_edit.h"
#include "common/player.h"
#include "common/timer.h"
#include "play_fixture.h"
#include "platform/plat_keys.h"
#include "platform/plat_log.h"
#include "renderer/vox_player.h"

namespace {

bool accepted[PLAYER_MAX];
bool accept(const PlayerRecord *p) { return accepted[p - player_table]; }

TEST(NextSlot, StepsWrapInsideTheTable)
{
    struct Case {
        std::vector<int> accepted;
        int from, step, expected;
    } cases[] = {
        {{2, 7, 30}, 3, 1, 7},  {{2, 7, 30}, 7, 1, 30},  {{2, 7, 30}, 30, 1, 2}, {{2, 7, 30}, -1, 1, 2},
        {{2, 7, 30}, -1, -1, 30}, {{2, 7, 30}, 2, -1, 30}, {{2, 7, 30}, 0, -1, 30}, {{31}, -1, -1, 31},
        {{3}, 3, 1, 3},         {{}, 5, 1, -1},          {{}, -1, -1, -1},
    };
    for (const Case &c : cases) {
        for (bool &a : accepted) a = false;
        for (int i : c.accepted) accepted[i] = true;
        EXPECT_EQ(game_next_slot(c.from, c.step, accept), c.expected) << c.from << " " << c.step;
    }
}

float yaw_of(const Vec3 &f) { return std::atan2(f.y, f.x); }

struct Camera : PlayTest {};

TEST_F(Camera, MouseLookRollCorrectionAndPoleStop)
{
    // Still mouse, no shot: only the roll goes.
    rotateaxes(0.2f, 0.0f, 0.0f, &me->right, &me->down, &me->forward);
    Vec3 f = me->forward;
    ASSERT_GT(std::fabs(me->right.z), 0.1f);
    pf_frame();
    EXPECT_NEAR(me->right.z, 0.0f, 1e-5f);
    EXPECT_NEAR(me->forward.x, f.x, 1e-5f);
    EXPECT_NEAR(me->forward.z, f.z, 1e-5f);

    // Aiming halves the turn.
    float turned[2];
    for (int aim : {0, 1}) {
        Vec3 level = {1.0f, 0.0f, 0.0f};
        player_set_orientation(me, &level);
        me->secondary = aim;
        pf_mouse(100, 0);
        pf_frame();
        turned[aim] = yaw_of(me->forward);
    }
    me->secondary = 0;
    EXPECT_NEAR(std::fabs(turned[0]), 0.25f, 1e-4f);
    EXPECT_NEAR(turned[1] * 2.0f, turned[0], 1e-4f);

    // Looking up ever further stops short of straight up; inverted, the same
    // motion looks down.
    for (int invert : {0, 1}) {
        SCOPED_TRACE(invert);
        client_settings.invert_y = invert;
        Vec3 level = {1.0f, 0.0f, 0.0f};
        player_set_orientation(me, &level);
        for (int i = 0; i < 60; i++) {
            pf_mouse(0, -20);
            pf_frame();
            EXPECT_GT(me->forward.x, 0.0f) << i; // never over the top
            EXPECT_GT(me->down.z, 0.0f) << i;
        }
        if (invert)
            EXPECT_GT(me->forward.z, 0.9f);
        else
            EXPECT_LT(me->forward.z, -0.9f);
    }
    client_settings.invert_y = 0;

    // Straight up with rounding a hair past it: the turn stays a number.
    me->right = Vec3{0.0f, 1.0f, 0.0f};
    me->down = Vec3{1.0f, 0.0f, 0.0f};
    me->forward = Vec3{0.0f, 0.0f, -1.0000001f};
    pf_mouse(50, 50);
    pf_frame();
    EXPECT_TRUE(std::isfinite(me->forward.x) && std::isfinite(me->forward.y) && std::isfinite(me->right.x));
}

TEST_F(Camera, TheDeadViewSpinsUntilTheBodyRestsThenFollows)
{
    me->position = Vec3{256.5f, 256.5f, 30.0f};
    me->velocity = Vec3{0.05f, 0.0f, 0.0f};
    int from = plat_log_count();
    game_local_player_died();
    Vec3 f = me->forward;
    int frames = 0;
    for (; frames < 600 && local_controls.follow < 0; frames++) {
        pf_frame();
        if (local_controls.follow < 0) {
            EXPECT_EQ(me->eye.x, me->position.x);
            EXPECT_EQ(me->eye.z, me->position.z);
        }
    }
    ASSERT_EQ(local_controls.follow, ME) << "still spinning after " << frames << " frames";
    EXPECT_GT(std::fabs(me->forward.x - f.x) + std::fabs(me->forward.y - f.y) + std::fabs(me->forward.z - f.z),
              0.01f);
    EXPECT_GE(plat_log_find("sound wav/bounce.wav -300", from), 0);

    // Level, nothing behind: 5 behind the body (lifted clear of the ground
    // cells' edge, which a level ray along it may graze).
    Vec3 level = {1.0f, 0.0f, 0.0f};
    player_set_orientation(me, &level);
    me->position = Vec3{256.5f, 256.5f, 38.5f};
    me->velocity = Vec3{0, 0, 0};
    pf_frame();
    EXPECT_NEAR(me->eye.x, me->position.x - 5.0f, 1e-3f);
    EXPECT_NEAR(me->eye.z, me->position.z, 1e-3f);

    // A wall behind pulls the camera in: to the wall less half a cell's diagonal.
    int wx = (int)me->position.x - 3, wy = (int)me->position.y, wz = (int)me->position.z;
    for (int y = wy - 2; y <= wy + 2; y++)
        for (int z = wz - 2; z <= wz + 2; z++) {
            MapCell c = {wx, y, z};
            map_add_block(&c, 0x808080);
        }
    pf_frame();
    float d = math_distance3(wx + 0.5f, wy + 0.5f, wz + 0.5f, me->position.x, me->position.y, me->position.z);
    EXPECT_NEAR(me->position.x - me->eye.x, d - 0.8660254f, 1e-3f);
}

TEST_F(Camera, ClicksCycleThroughTeamMatesDeadOrAlive)
{
    pf_other_player(1, TEAM_BLUE, WEAPON_SMG, 250.5f, 250.5f);
    pf_other_player(8, TEAM_BLUE, WEAPON_SMG, 260.5f, 250.5f)->alive = 0;
    pf_other_player(5, TEAM_GREEN, WEAPON_SMG, 255.5f, 250.5f);
    me->alive = 0;
    local_controls.follow = ME;
    struct Step {
        int button, expected;
    } steps[] = {{0, 8}, {0, 1}, {0, 3}, {1, 1}, {1, 8}, {1, 3}};
    for (const Step &s : steps) {
        click(s.button);
        EXPECT_EQ(local_controls.follow, s.expected);
        const PlayerRecord &t = player_table[s.expected];
        EXPECT_NEAR(std::fabs(me->eye.x - t.position.x) + std::fabs(me->eye.y - t.position.y), 5.0f, 1.5f);
    }
}

struct Spectator : PlayTest {
    void SetUp() override
    {
        PlayTest::SetUp();
        player_set_team(me, TEAM_SPECTATOR);
        me->eye = Vec3{256.5f, 256.5f, 20.0f};
        Vec3 level = {1.0f, 0.0f, 0.0f};
        player_set_orientation(me, &level);
        local_controls.follow = -1;
    }
    // The speed after one frame from rest with keys held.
    float speed_with(std::initializer_list<int> keys)
    {
        me->velocity = Vec3{0, 0, 0};
        me->eye = Vec3{256.5f, 256.5f, 20.0f};
        for (int k : keys) pf_key(k, true);
        pf_frame();
        for (int k : keys) pf_key(k, false);
        float v = me->velocity.x;
        pf_frames(2);
        me->velocity = Vec3{0, 0, 0};
        return v;
    }
};

TEST_F(Spectator, JumpsToLivingPlayersAndKeepsStillWhenThereAreNone)
{
    PlayerRecord *o = pf_other_player(5, TEAM_GREEN, WEAPON_SMG, 300.5f, 200.5f);
    pf_other_player(8, TEAM_BLUE, WEAPON_SMG, 260.5f, 250.5f)->alive = 0;
    me->velocity = Vec3{0.3f, 0.0f, 0.0f};
    pf_button(0, true);
    pf_frame();
    pf_button(0, false);
    EXPECT_EQ(local_controls.follow, 5);
    EXPECT_EQ(me->velocity.x, 0.0f);
    EXPECT_EQ(me->forward.x, o->forward.x);
    EXPECT_EQ(me->right.y, o->right.y);
    EXPECT_NEAR(me->eye.x, o->eye.x, 1e-4f);
    pf_frame();

    o->alive = 0;
    Vec3 eye = me->eye;
    click(1);
    EXPECT_EQ(local_controls.follow, 5);
    EXPECT_NEAR(me->eye.x, eye.x, 1e-4f);
}

TEST_F(Spectator, FliesThroughAirOnlyAndWrapsRoundTheMap)
{
    float walk = speed_with({DIK_W}), sprint = speed_with({DIK_W, DIK_V}), sneak = speed_with({DIK_W, DIK_LSHIFT}),
          both = speed_with({DIK_W, DIK_V, DIK_LSHIFT});
    EXPECT_GT(walk, 0.0f);
    EXPECT_FLOAT_EQ(sprint, 2.0f * walk);
    EXPECT_FLOAT_EQ(sneak, 0.5f * walk);
    EXPECT_FLOAT_EQ(both, sprint);

    // Across the edge at x 511.9 going +x, on at x near 0.
    me->eye = Vec3{511.9f, 256.5f, 20.0f};
    me->velocity = Vec3{0.2f, 0.0f, 0.0f};
    pf_frame();
    EXPECT_GE(me->eye.x, 0.0f);
    EXPECT_LT(me->eye.x, 1.0f);

    // Down onto the ground: never into it. Up: never above z -64.
    me->eye = Vec3{256.5f, 256.5f, 38.0f};
    pf_key(DIK_LCONTROL, true);
    for (int i = 0; i < 120; i++) {
        pf_frame();
        ASSERT_LT(me->eye.z, 40.0f) << i;
    }
    pf_key(DIK_LCONTROL, false);
    me->eye = Vec3{256.5f, 256.5f, -63.0f};
    pf_key(DIK_SPACE, true);
    for (int i = 0; i < 120; i++) {
        pf_frame();
        ASSERT_GT(me->eye.z, -64.0f) << i;
    }
    pf_key(DIK_SPACE, false);
    pf_frame();
}

TEST_F(Spectator, ChangeTeamOpensTheMenuToJoinAgain)
{
    tap_key(DIK_COMMA);
    EXPECT_EQ(client_state.screens.current, SCREEN_TEAM_MENU);
    EXPECT_EQ(local_controls.join_mode, JOIN_SPECTATOR);
    EXPECT_EQ(local_controls.team_menu_open, 1);
}

} // namespace
