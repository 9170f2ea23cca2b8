// The player pass: where a block may go, building, the spade's swing and
// dig, block lines, other players' tool use shown but never sent, footsteps,
// dead bodies, and poses from the wire that nothing is cast from.
#include <cmath>
#include <cstring>

#include "client/game_controls.h"
#include "client/game_objects.h"
#include "client/game_particles.h"
#include "client/game_state.h"
#include "client/player_update.h"
#include "client_fixture.h"
#include "common/map_damage.h"
#include "common/map_query.h"
#include "common/player.h"
#include "common/timer.h"
#include "play_fixture.h"
#include "platform/plat_keys.h"
#include "platform/plat_log.h"

namespace {

struct Update : PlayTest {
    // Takes a tool and lets the switch end.
    void hold(int tool)
    {
        tap_key(DIK_1 + tool);
        pf_frames(35);
        ASSERT_EQ(me->tool, tool);
        ctest_standin_take(&tap);
    }
    // Faces the top of the ground cell (x, y, 40).
    void face_ground(int x, int y) { pf_face(me, Vec3{x + 0.5f, y + 0.5f, 40.0f}); }
    static Bytes block_action(int kind, int x, int y, int z)
    {
        Bytes b = {13, ME, (uint8_t)kind};
        put_u32(&b, (uint32_t)x);
        put_u32(&b, (uint32_t)y);
        put_u32(&b, (uint32_t)z);
        return b;
    }
};

TEST(BlockFits, ReachOwnBoxAndTheMap)
{
    struct Case {
        const char *name;
        Vec3 eye;
        int crouch;
        int x, y, z;
        int fits;
    } cases[] = {
        {"above the head", {10.5f, 10.5f, 37.5f}, 0, 10, 10, 36, 1},
        {"at the head", {10.5f, 10.5f, 37.5f}, 0, 10, 10, 37, 0},
        {"at the feet standing", {10.5f, 10.5f, 37.5f}, 0, 10, 10, 39, 0},
        {"below the feet crouched", {10.5f, 10.5f, 37.5f}, 1, 10, 10, 39, 1},
        {"beside", {10.5f, 10.5f, 37.5f}, 0, 11, 10, 37, 1},
        {"two away", {10.5f, 10.5f, 37.5f}, 0, 12, 10, 37, 1},
        {"three away", {10.5f, 10.5f, 37.5f}, 0, 13, 10, 37, 0},
        {"three below", {10.5f, 10.5f, 37.5f}, 0, 10, 10, 40, 0},
        {"layer 61", {10.5f, 10.5f, 60.5f}, 0, 11, 10, 61, 1},
        {"layer 62", {10.5f, 10.5f, 60.5f}, 0, 11, 10, 62, 0},
        {"layer 63", {10.5f, 10.5f, 61.5f}, 0, 11, 10, 63, 0},
        {"above the map", {0.5f, 0.5f, 0.5f}, 0, 1, 0, -1, 0},
        {"x below 0", {0.5f, 0.5f, 0.5f}, 0, -1, 0, 0, 0},
        {"y past 511", {511.5f, 511.5f, 10.5f}, 0, 511, 512, 10, 0},
        {"corner cell", {0.5f, 0.5f, 0.5f}, 0, 1, 0, 0, 1},
    };
    for (const Case &c : cases) {
        PlayerRecord p;
        std::memset(&p, 0, sizeof p);
        p.eye = c.eye;
        p.keys[KEY_CROUCH] = c.crouch;
        EXPECT_EQ(game_block_fits(c.x, c.y, c.z, &p), c.fits) << c.name;
    }
}

TEST_F(Update, BuildingSendsTheCellAndWaitsForTheEcho)
{
    hold(TOOL_BLOCK);
    face_ground(258, 256);
    uint64_t before = ctest_map_digest();
    pf_frame();
    ASSERT_NE(block_cursor.hit, nullptr);
    EXPECT_EQ(block_cursor.hit->adj_x, 258);
    EXPECT_EQ(block_cursor.hit->adj_z, 39);
    int from = plat_log_count();
    pf_button(0, true);
    pf_frames(20); // held: one block every half second
    EXPECT_EQ(block_cursor.hit, nullptr); // the cursor waits for the button
    EXPECT_EQ(sent(MSG_BLOCK_ACTION), std::vector<Bytes>{block_action(BLOCK_BUILD, 258, 256, 39)});
    EXPECT_EQ(me->blocks, 49);
    EXPECT_EQ(ctest_sounds(from), std::vector<std::string>{"sound wav/switch.wav -300"});
    EXPECT_EQ(ctest_map_digest(), before); // the map changes with the server's echo only
    pf_button(0, false);
    pf_frames(30);
    EXPECT_NE(block_cursor.hit, nullptr);

    me->blocks = 0;
    local_controls.tool = TOOL_BLOCK; // held on, as the stock runs out
    me->primary = 1;
    me->next_use = 0.0f;
    pf_frame();
    EXPECT_TRUE(sent(MSG_BLOCK_ACTION).empty());
    EXPECT_EQ(me->blocks, 0);
}

TEST_F(Update, TwoSpadeSwingsBreakABlockAndReturnIt)
{
    hold(TOOL_SPADE);
    me->blocks = 40;
    face_ground(257, 256);
    const int spawned = pf_particles_spawned();
    pf_button(0, true);
    pf_frames(20); // two swings, 0.2 s apart
    pf_button(0, false);
    pf_frame();
    EXPECT_EQ(sent(MSG_BLOCK_ACTION), std::vector<Bytes>{block_action(BLOCK_DESTROY, 257, 256, 40)});
    EXPECT_EQ(me->blocks, 41);
    EXPECT_EQ(pf_particles_spawned() - spawned, 8); // 4 a swing, however many have bounced out since

    // Someone in front within reach takes the swing; the block behind him is spared.
    PlayerRecord *t = pf_other_player(9, TEAM_BLUE, WEAPON_SMG, me->position.x + 2.0f, me->position.y);
    (void)t;
    pf_face(me, Vec3{me->eye.x + 2.0f, me->eye.y, me->eye.z});
    map_damage_clear();
    pf_frames(15);
    pf_button(0, true);
    pf_frame();
    pf_button(0, false);
    pf_frame();
    std::vector<Bytes> got = ctest_standin_take(&tap);
    EXPECT_EQ(ctest_only(got, MSG_HIT), std::vector<Bytes>{msg({5, 9, 4})}); // team-mates too: the server decides
    EXPECT_TRUE(ctest_only(got, MSG_BLOCK_ACTION).empty());
    EXPECT_EQ(map_damage_count, 0);
}

TEST_F(Update, HoldingTheSecondButtonDigsOnceASecond)
{
    hold(TOOL_SPADE);
    face_ground(258, 256);
    int from = plat_log_count();
    pf_button(1, true);
    pf_frames(130); // 2.17 s
    pf_button(1, false);
    pf_frame();
    std::vector<Bytes> digs = sent(MSG_BLOCK_ACTION);
    EXPECT_EQ(digs, (std::vector<Bytes>(2, block_action(BLOCK_DIG, 258, 256, 40))));
    EXPECT_EQ(ctest_sounds(from), (std::vector<std::string>(2, "sound wav/woosh.wav -2000")));
    EXPECT_EQ(me->grenade_fuse_end, 0.0f); // a frame without either button clears the timer
}

TEST_F(Update, BlockLineDragBuildsWhenTheStockCoversIt)
{
    hold(TOOL_BLOCK);
    // He stands at (256.5, 256.5): of a line along x 256 at his knees, his
    // body fills cell y 256 (within 0.95 of his eye), which is not built.
    struct Case {
        const char *name;
        int x, y0, y1, blocks;
        bool sent;
        int left;
    } cases[] = {
        {"enough blocks", 258, 255, 258, 50, true, 46},
        {"too few blocks", 258, 255, 258, 2, false, 2},
        {"through him: too few for the cells outside him", 256, 254, 258, 3, false, 3},
        {"through him: enough for the cells outside him", 256, 254, 258, 4, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        me->blocks = c.blocks;
        me->next_use = 0.0f;
        local_controls.next_use = game_time;
        face_ground(c.x, c.y0);
        pf_frame();
        ASSERT_NE(block_cursor.hit, nullptr);
        pf_button(1, true);
        pf_frame();
        face_ground(c.x, c.y1);
        pf_frames(2);
        ASSERT_NE(block_line_end.hit, nullptr);
        pf_button(1, false);
        pf_frame();
        std::vector<Bytes> got = ctest_standin_take(&tap);
        Bytes line = {14, ME};
        for (int v : {c.x, c.y0, 39, c.x, c.y1, 39}) put_u32(&line, (uint32_t)v);
        EXPECT_EQ(ctest_only(got, MSG_BLOCK_LINE), c.sent ? std::vector<Bytes>{line} : std::vector<Bytes>{});
        EXPECT_EQ(me->blocks, c.left);
        EXPECT_EQ(block_line_end.hit, nullptr);
        pf_frames(35);
    }
}

TEST_F(Update, OtherPlayersToolsAreShownButNeverSentOrCounted)
{
    PlayerRecord *o = pf_other_player(9, TEAM_GREEN, WEAPON_SHOTGUN, 250.5f, 256.5f);
    Vec3 ground = {252.5f, 256.5f, 40.0f};
    pf_face(o, ground);
    struct Case {
        int tool;
        const char *sound;
    } cases[] = {
        {TOOL_SPADE, "sound3d wav/woosh.wav -2000"},
        {TOOL_BLOCK, nullptr},
        {TOOL_GUN, "sound3d wav/shotgunshoot.wav -1000"},
        {TOOL_GRENADE, "sound3d wav/pin.wav -300"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.tool);
        PlayerRecord before = *o;
        o->tool = c.tool;
        o->primary = 1;
        o->next_use = 0.0f;
        o->grenade_fuse_end = 0.0f;
        int from = plat_log_count();
        pf_frame();
        std::vector<std::string> sounds = ctest_sounds(from);
        if (c.sound) {
            ASSERT_FALSE(sounds.empty());
            EXPECT_EQ(sounds[0].rfind(c.sound, 0), 0u) << sounds[0];
        }
        EXPECT_GT(o->next_use + o->grenade_fuse_end, 0.0f); // his timers run
        EXPECT_EQ(o->blocks, before.blocks);
        EXPECT_EQ(o->magazine, before.magazine);
        EXPECT_EQ(o->grenades, before.grenades);
        o->primary = 0;
        pf_frames(70);
        EXPECT_EQ(o->grenades, before.grenades); // a pin put back: nothing thrown by him here
    }
    EXPECT_TRUE(ctest_standin_take(&tap).empty());
}

TEST_F(Update, PosesFromOutsideTheMapCastNothing)
{
    PlayerRecord *o = pf_other_player(9, TEAM_GREEN, WEAPON_SMG, 250.5f, 256.5f);
    // Near the local player on the map, but far above or below it.
    for (Vec3 at : {Vec3{250.5f, 256.5f, 1.0e9f}, Vec3{250.5f, 256.5f, -200.0f}}) {
        o->position = o->eye = at;
        o->tool = TOOL_GUN;
        o->primary = o->secondary = 1;
        o->next_use = 0.0f;
        int objects = world_object_count, particles = particle_ring.count, from = plat_log_count();
        pf_frames(3);
        EXPECT_EQ(world_object_count, objects);
        EXPECT_EQ(particle_ring.count, particles);
        EXPECT_TRUE(ctest_sounds(from).empty());
    }
}

TEST_F(Update, Footsteps)
{
    pf_dig_pool(200, 250, 210, 262);
    struct Case {
        const char *name;
        float x;         // 256.5 dry ground, 205.5 in the pool
        float vx;        // speed along x before the step
        int sneak, sprint, aim, air;
        const char *sound; // expected prefix, null for none
        float interval;
    } cases[] = {
        {"walking", 256.5f, 0.5f, 0, 0, 0, 0, "sound3d wav/footstep", 0.512f},
        {"sprinting", 256.5f, 0.5f, 0, 1, 0, 0, "sound3d wav/footstep", 0.386f},
        {"wading", 205.5f, 0.5f, 0, 0, 0, 0, "sound3d wav/wade", 0.512f},
        {"sneaking", 256.5f, 0.5f, 1, 0, 0, 0, nullptr, 0},
        {"aiming", 256.5f, 0.5f, 0, 0, 1, 0, nullptr, 0},
        {"in the air", 256.5f, 0.5f, 0, 0, 0, 1, nullptr, 0},
        {"too slow", 256.5f, 0.05f, 0, 0, 0, 0, nullptr, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PlayerRecord *o = pf_other_player(9, TEAM_GREEN, WEAPON_SMG, c.x, 256.5f);
        if (c.x < 250.0f) o->position.z = o->eye.z = 61.7f;
        pf_frames(30); // standing
        ASSERT_EQ(o->in_water, c.x < 250.0f ? 1 : 0);
        ASSERT_EQ(o->airborne, 0);
        if (c.air) o->position.z = o->eye.z = 30.0f;
        o->keys[KEY_FORWARD] = 1;
        o->keys[KEY_SNEAK] = c.sneak;
        o->keys[KEY_SPRINT] = c.sprint;
        o->secondary = c.aim;
        o->velocity = Vec3{c.vx, 0.0f, 0.0f};
        o->next_footstep = 0.0f;
        int from = plat_log_count();
        pf_frame();
        std::vector<std::string> sounds = ctest_sounds(from);
        if (!c.sound) {
            EXPECT_TRUE(sounds.empty()) << sounds[0];
            continue;
        }
        ASSERT_EQ(sounds.size(), 1u);
        EXPECT_EQ(sounds[0].rfind(c.sound, 0), 0u) << sounds[0];
        const char *volume = c.sprint ? ".wav -1000 " : ".wav -1500 ";
        EXPECT_NE(sounds[0].find(volume), std::string::npos) << sounds[0];
        EXPECT_FLOAT_EQ(o->next_footstep, game_time + c.interval);
    }
}

TEST_F(Update, DeadBodiesRiseOutOfTheGroundAndBounce)
{
    PlayerRecord *o = pf_other_player(9, TEAM_GREEN, WEAPON_SMG, 250.5f, 256.5f);
    o->alive = 0;
    // Buried: it rises.
    o->position = Vec3{250.5f, 256.5f, 45.0f};
    o->velocity = Vec3{0, 0, 0};
    pf_frame();
    EXPECT_LT(o->velocity.z, 0.0f);
    EXPECT_LT(o->position.z, 45.0f);
    // Falling onto the ground: the z speed turns and all of it drops to a quarter.
    o->position = Vec3{250.5f, 256.5f, 39.9f};
    o->velocity = Vec3{0.1f, 0.0f, 0.5f};
    pf_frame();
    EXPECT_FLOAT_EQ(o->position.z, 39.9f); // kept where it was
    EXPECT_LT(o->velocity.z, 0.0f);
    EXPECT_FLOAT_EQ(o->velocity.x, 0.025f);
}

} // namespace
