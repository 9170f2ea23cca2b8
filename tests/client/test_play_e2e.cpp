// Playing against the real server over 127.0.0.1. The client game runs its
// own frame entry and screens in-process on the headless backend (frames
// drawn into memory), input injected where a player's enters the platform
// layer; scripted clients watch, stand in front of the gun and shoot back,
// or fight over territories while the client game watches as a spectator.
// The server's performance log shows what arrived from the client and when.
// The real client program runs one scripted game of its own.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "client/game_controls.h"
#include "client/game_main.h"
#include "client/game_mode.h"
#include "client/game_objects.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/menu_screens.h"
#include "client/net_client.h"
#include "client/player_update.h"
#include "client_fixture.h"
#include "common/byteio.h"
#include "common/lang_ids.h"
#include "common/map_edit.h"
#include "common/map_query.h"
#include "common/map_store.h"
#include "common/mode_objective.h"
#include "common/timer.h"
#include "play_fixture.h"
#include "platform/plat_keys.h"
#include "platform/plat_log.h"
#include "platform/plat_main.h"
#include "server/e2e_common.h"
#include "support/test_game.h"
#include "support/test_process.h"

namespace {

class PlayE2E : public ServerE2E {
protected:
    TestClient obs, foe, mate;
    TestClient crowd[6], newcomer;
    std::vector<TestClient *> scripted;

    static void SetUpTestSuite()
    {
        ServerE2E::SetUpTestSuite();
        // Ground at z 62 with a lake (only the water layer) over x 40..199:
        // team 0 spawns in x 0..127, mostly on the shore strip west of it.
        map_make_flat(62, 0x7F3366AAu);
        for (int y = 0; y < 512; y++)
            for (int x = 40; x < 200; x++) map_delete_slab(map_edit_column(x, y), 0, 63);
        map_edit_finish();
        save_shared_map("lake.vxl");
        // Territory control on three islands of ground at z 40, 60 blocks of
        // water apart (nobody standing on one is counted on another), 65535
        // land columns in all: 3 territories, and a block built on the water
        // would make 4.
        map_make_flat(40, 0x7F3366AAu);
        for (int y = 0; y < 512; y++)
            for (int x = 0; x < 512; x++) {
                bool band = y >= 128 && y < 295 && (x < 140 || (x >= 200 && x < 310) || x >= 370);
                if (!band && !(y == 295 && x < 71)) map_delete_slab(map_edit_column(x, y), 0, 63);
            }
        map_edit_finish();
        save_shared_map("isles.vxl");
    }

    void SetUp() override
    {
        ctest_load_strings();
        std::string dir = ctest_enter_scratch();
        std::filesystem::create_directory_symlink(BKM_DIST_DIR "/kv6", dir + "/kv6");
        pf_open_devices();
        fresh_client();
    }
    void TearDown() override
    {
        for (TestClient *c : {&obs, &foe, &mate, &newcomer}) tcl_abort(c);
        for (TestClient &c : crowd) tcl_abort(&c);
        pf_close_devices();
        ctest_reset_client();
        ctest_leave_scratch();
        ServerE2E::TearDown();
    }

    // The client game as at start: not connected, its screens installed.
    void fresh_client()
    {
        ctest_reset_client();
        snprintf(client_settings.name, sizeof client_settings.name, "Player");
        installscreens();
        timer_start(&game_time);
        game_last_frame = 0.0f;
    }

    void serve(const char *map = "flat", const char *mode = "ctf")
    {
        make_folder();
        for (const char *name : {"lake.vxl", "isles.vxl"})
            tsv_write_file(srv.dir + "/vxl/" + name, tsv_read_file(std::string(BKM_E2E_ROOT "/") + name));
        write_config({"logging = 1", "perflogging = 1", "logfolder = " + srv.dir, "perffilename = perf.dat",
                      std::string("gamemode = ") + mode},
                     true, map);
        ASSERT_TRUE(start()) << srv.output;
    }

    void enter(TestClient *c, int team, const char *name)
    {
        scripted.push_back(c);
        ASSERT_TRUE(connect_and_download(c));
        ASSERT_TRUE(tcl_join(c, team, WEAPON_SEMI, name));
    }

    // One pass of the main loop: the platform's pump and the frame entry,
    // which runs a frame at most every 1/60 s; the scripted clients listen.
    void pass()
    {
        pumpmessages();
        game_run_frame();
        for (TestClient *c : scripted) tcl_poll(c);
    }
    bool run_until(const std::function<bool()> &pred, int ms = E2E_WAIT_MS)
    {
        for (int64_t end = tsv_now_ms() + ms; tsv_now_ms() < end;) {
            pass();
            if (pred()) return true;
            if (!ctest_fatals.empty()) return false;
        }
        return pred();
    }
    void run_for(int ms) { run_until([] { return false; }, ms); }
    void next_frame()
    {
        double last = game_last_frame;
        run_until([last] { return game_last_frame != last; }, 1000);
    }
    void press(int dik)
    {
        pf_key(dik, true);
        next_frame();
        pf_key(dik, false);
        next_frame();
    }
    void click(int button)
    {
        pf_button(button, true);
        next_frame();
        pf_button(button, false);
        next_frame();
    }

    // Connects the client game and joins through the menus (a weapon key of
    // 0 for a spectator); true once it is in game.
    bool join(int team_key, int weapon_key)
    {
        if (!net_client_connect(16777343u, port)) return false;
        game_set_screen(SCREEN_LOADING);
        if (!run_until([] { return client_state.screens.current == SCREEN_TEAM_MENU; })) return false;
        press(team_key);
        if (weapon_key) {
            if (!run_until([] { return client_state.screens.current == SCREEN_WEAPON_MENU; })) return false;
            press(weapon_key);
        }
        return run_until([] {
            const PlayerRecord *p = game_local_player();
            return client_state.screens.current == SCREEN_IN_GAME && p && p->alive;
        });
    }

    // A scripted client's messages of one id from one player.
    static std::vector<Bytes> relayed(const TestClient &c, int id, int player)
    {
        std::vector<Bytes> out;
        for (const Bytes &m : c.messages)
            if (m.size() >= 2 && m[0] == id && m[1] == player) out.push_back(m);
        return out;
    }
    static bool has(const std::vector<Bytes> &list, const Bytes &b)
    {
        return std::find(list.begin(), list.end(), b) != list.end();
    }
    // Where the last world update a scripted client received puts player id.
    static bool seen_at(const TestClient &c, int id, Vec3 *at)
    {
        for (auto m = c.messages.rbegin(); m != c.messages.rend(); ++m)
            if (m->size() == 769 && (*m)[0] == MSG_WORLD_UPDATE) {
                const uint8_t *s = m->data() + 1 + 24 * id;
                *at = Vec3{le_get_f32(s), le_get_f32(s + 4), le_get_f32(s + 8)};
                return true;
            }
        return false;
    }
    static Bytes block_msg(int head, int id, int kind, int x, int y, int z)
    {
        Bytes b = {(uint8_t)head, (uint8_t)id, (uint8_t)kind};
        for (int v : {x, y, z}) put_u32(&b, (uint32_t)v);
        return b;
    }

    // Brings a scripted client to `to` (from where it stands) and waits
    // until the client game sees him there.
    void bring(TestClient *c, Vec3 *at, Vec3 to)
    {
        *at = tgm_hop(c, *at, to);
        const PlayerRecord *p = &player_table[c->own_id];
        ASSERT_TRUE(run_until([&] { return std::fabs(p->position.x - to.x) < 0.2f && std::fabs(p->position.y - to.y) < 0.2f; }));
    }

    // The server's performance log after it quit: the times (ms) at which
    // it received, or sent to, player `id` the packets of one id.
    std::vector<uint32_t> perf_times(const char *what, int id, int packet)
    {
        std::vector<uint32_t> out;
        std::string log = tsv_read_file(srv.dir + "/perf.dat");
        char tail[64];
        snprintf(tail, sizeof tail, " peer %d packet %d len ", id, packet);
        for (size_t at = 0; (at = log.find(std::string("[DEBUG] ") + what + ": time ", at)) != std::string::npos;) {
            size_t end = log.find('\n', at);
            std::string line = log.substr(at, end - at);
            if (line.find(tail) != std::string::npos)
                out.push_back((uint32_t)strtoul(line.c_str() + line.find("time ") + 5, nullptr, 10));
            at = end;
        }
        return out;
    }
    // The client game's territories against the server's at this moment, as
    // a newcomer is sent them: the game state (count, owners), then one
    // MSG_CAPTURE_PROGRESS per territory with progress (none: progress 0).
    void expect_server_territories(const char *when)
    {
        SCOPED_TRACE(when);
        const float last = game_last_frame, step = game_frame_time;
        newcomer = TestClient();
        ASSERT_TRUE(connect_and_download(&newcomer));
        tcl_service(&newcomer, 50);
        GameStateMsg state;
        ASSERT_TRUE(tgm_game_state(&newcomer, &state));
        CaptureProgressMsg bar[OBJECTIVE_MAX] = {};
        for (const Bytes &m : tcl_messages(&newcomer, MSG_CAPTURE_PROGRESS)) {
            CaptureProgressMsg c;
            ASSERT_EQ(msg_decode_capture_progress(m.data(), m.size(), &c), MSG_OK);
            ASSERT_LT(c.index, 3);
            bar[c.index] = c;
        }
        tcl_close(&newcomer);
        next_frame(); // the client game takes what came meanwhile
        ASSERT_EQ(game_objective_count(), (int)state.tc.count);
        for (int i = 0; i < game_objective_count(); i++) {
            const ObjectiveState &o = mode_objectives[i];
            EXPECT_EQ(o.owner, state.tc.territory[i].owner) << i;
            // The steady advance from the client's last frame before the
            // question to now, and that frame's own.
            const float slack = (float)std::abs(bar[i].rate) * 0.05f * (game_time - last + step) + 1e-5f;
            EXPECT_NEAR(o.progress, bar[i].progress, slack) << i;
            if (bar[i].progress > 0.0f) {
                EXPECT_EQ(o.capturing_team, bar[i].team) << i;
                EXPECT_EQ(o.rate, bar[i].rate) << i;
            }
        }
    }

    // Closes the client game's connection and stops the server.
    void finish()
    {
        net_client_close();
        ASSERT_EQ(quit(), 0);
    }
};

TEST_F(PlayE2E, JoinMoveBuildDigAndDrawALine)
{
    serve();
    enter(&obs, 1, "Watcher");
    ASSERT_TRUE(join(DIK_1, DIK_1)) << srv.output;
    const int id = local_player_id;
    PlayerRecord *me = game_local_player();
    EXPECT_EQ(me->team, 0);
    EXPECT_EQ(me->weapon, WEAPON_SEMI);
    EXPECT_TRUE(run_until([&] { return !relayed(obs, MSG_PLAYER_SPAWN, id).empty(); }));

    // Moving: one key message each way; the world updates carry him.
    run_for(300);
    Vec3 start = me->position;
    pf_key(DIK_W, true);
    run_for(1500);
    pf_key(DIK_W, false);
    ASSERT_TRUE(run_until([&] { return std::fabs(me->velocity.x) + std::fabs(me->velocity.y) < 1e-4f; }, 5000));
    EXPECT_GT(std::fabs(me->position.x - start.x) + std::fabs(me->position.y - start.y), 3.0f);
    EXPECT_EQ(relayed(obs, MSG_MOVE_KEYS, id), (std::vector<Bytes>{{3, (uint8_t)id, 1, 0, 0, 0}, {3, (uint8_t)id, 0, 0, 0, 0}}));
    Vec3 seen = {0, 0, 0};
    EXPECT_TRUE(run_until([&] {
        return seen_at(obs, id, &seen) && std::fabs(seen.x - me->position.x) < 0.3f &&
               std::fabs(seen.y - me->position.y) < 0.3f;
    })) << "the world updates put him at " << seen.x << ", " << seen.y << ", he is at " << me->position.x << ", "
        << me->position.y;

    // Building: the block tool announced, then one block in the echo.
    const int x = (int)me->position.x, y = (int)me->position.y;
    press(DIK_2);
    ASSERT_TRUE(run_until([&] { return me->tool == TOOL_BLOCK; }));
    EXPECT_TRUE(run_until([&] { return has(relayed(obs, MSG_TOOL, id), Bytes{7, (uint8_t)id, 1}); }));
    EXPECT_TRUE(run_until([&] { return has(relayed(obs, MSG_BLOCK_COLOUR, id), Bytes{8, (uint8_t)id, 0x6F, 0x6F, 0x6F}); }));
    pf_face(me, Vec3{x + 2.5f, y + 0.5f, 40.0f});
    ASSERT_TRUE(run_until([] { return block_cursor.hit != nullptr; }));
    ASSERT_EQ(block_cursor.hit->adj_x, x + 2);
    ASSERT_EQ(map_is_solid(x + 2, y, 39), 0);
    click(0);
    EXPECT_TRUE(run_until([&] { return map_is_solid(x + 2, y, 39) == 1; }));
    EXPECT_TRUE(has(relayed(obs, MSG_BLOCK_ACTION, id), block_msg(13, id, BLOCK_BUILD, x + 2, y, 39)));
    EXPECT_EQ(me->blocks, 49);

    // Digging with the spade held on the ground behind him.
    press(DIK_1);
    ASSERT_TRUE(run_until([&] { return me->tool == TOOL_SPADE; }));
    pf_face(me, Vec3{x - 1.5f, y + 0.5f, 40.0f});
    run_for(200);
    pf_button(1, true);
    EXPECT_TRUE(run_until([&] { return map_is_solid(x - 2, y, 40) == 0; }, 3000))
        << "eye " << me->eye.x << ", " << me->eye.y << ", " << me->eye.z << " over cell " << x << ", " << y;
    pf_button(1, false);
    EXPECT_TRUE(has(relayed(obs, MSG_BLOCK_ACTION, id), block_msg(13, id, BLOCK_DIG, x - 2, y, 40)));

    // A line of three blocks, dragged from one cell to another.
    press(DIK_2);
    ASSERT_TRUE(run_until([&] { return me->tool == TOOL_BLOCK; }));
    pf_face(me, Vec3{x + 0.5f, y + 2.5f, 40.0f});
    ASSERT_TRUE(run_until([&] { return block_cursor.hit && block_cursor.hit->adj_y == y + 2; }));
    pf_button(1, true);
    next_frame();
    pf_face(me, Vec3{x + 2.5f, y + 2.5f, 40.0f});
    ASSERT_TRUE(run_until([&] { return block_line_end.hit && block_line_end.hit->adj_x == x + 2; }));
    pf_button(1, false);
    EXPECT_TRUE(run_until([&] { return map_is_solid(x + 1, y + 2, 39) && map_is_solid(x + 2, y + 2, 39); }));
    Bytes line = {14, (uint8_t)id};
    for (int v : {x, y + 2, 39, x + 2, y + 2, 39}) put_u32(&line, (uint32_t)v);
    EXPECT_TRUE(has(relayed(obs, MSG_BLOCK_LINE, id), line));
    EXPECT_EQ(me->blocks, 46);

    // What the server received and when: positions at most once a second,
    // facings at most every tenth of one, no correction sent back. The
    // server's clock of arrival adds the delays of a busy machine to each
    // gap, so single gaps get slack and the counts are bounded over the span.
    finish();
    std::vector<uint32_t> positions = perf_times("recv", id, MSG_POSITION), facings = perf_times("recv", id, MSG_ORIENT);
    ASSERT_GE(positions.size(), 2u);
    ASSERT_GE(facings.size(), 4u);
    for (size_t i = 1; i < positions.size(); i++) EXPECT_GE(positions[i] - positions[i - 1], 700u) << i;
    for (size_t i = 1; i < facings.size(); i++) EXPECT_GE(facings[i] - facings[i - 1], 50u) << i;
    EXPECT_LE(positions.size() - 1, (positions.back() - positions.front()) / 1000 + 1);
    EXPECT_LE(facings.size() - 1, (facings.back() - facings.front()) / 100 + 1);
    EXPECT_TRUE(perf_times("send", id, MSG_POSITION).empty());
    EXPECT_TRUE(ctest_fatals.empty());
}

// A line dragged from one side of the player to the other at his knees:
// the cells his body fills (the centre within 0.95 of his eye across, down to
// 2.75 below it) stay empty in his map and in the server's, the others are
// built in both, and he pays for those alone.
TEST_F(PlayE2E, ALineThroughThePlayerLeavesHisCellEmptyOnBothSides)
{
    serve();
    enter(&obs, 1, "Watcher");
    ASSERT_TRUE(join(DIK_1, DIK_1)) << srv.output;
    const int id = local_player_id;
    PlayerRecord *me = game_local_player();
    EXPECT_TRUE(run_until([&] { return !relayed(obs, MSG_PLAYER_SPAWN, id).empty(); }));
    press(DIK_2);
    ASSERT_TRUE(run_until([&] { return me->tool == TOOL_BLOCK; }));
    run_for(600); // settled on the ground, the block tool ready
    const int x = (int)me->eye.x, y = (int)me->eye.y, z = 39;
    ASSERT_EQ(map_ground_z(x, y), 40);
    pf_face(me, Vec3{x + 0.5f, y - 1.5f, 40.0f});
    ASSERT_TRUE(run_until([&] { return block_cursor.hit && block_cursor.hit->adj_y == y - 2; }));
    ASSERT_EQ(block_cursor.hit->adj_x, x);
    pf_button(1, true);
    next_frame();
    pf_face(me, Vec3{x + 0.5f, y + 2.5f, 40.0f});
    ASSERT_TRUE(run_until([&] { return block_line_end.hit && block_line_end.hit->adj_y == y + 2; }));
    const int blocks = me->blocks;
    const Vec3 eye = me->eye;
    ASSERT_LT(std::fabs(eye.x - (x + 0.5f)), 0.95f);
    ASSERT_GT(eye.z - (z + 0.5f), -2.75f); // the line's height is within his body's
    std::vector<int> built, inside;
    for (int j = y - 2; j <= y + 2; j++) (std::fabs(eye.y - (j + 0.5f)) < 0.95f ? inside : built).push_back(j);
    ASSERT_FALSE(inside.empty());
    pf_button(1, false);
    next_frame();
    EXPECT_EQ(me->blocks, blocks - (int)built.size());
    EXPECT_TRUE(run_until(
        [&] { return has(relayed(obs, MSG_BLOCK_ACTION, id), block_msg(13, id, BLOCK_BUILD, x, built.front(), z)); }));
    run_for(300);
    for (int j : built) EXPECT_TRUE(has(relayed(obs, MSG_BLOCK_ACTION, id), block_msg(13, id, BLOCK_BUILD, x, j, z))) << j;
    EXPECT_EQ(relayed(obs, MSG_BLOCK_ACTION, id).size(), built.size());
    EXPECT_TRUE(relayed(obs, MSG_BLOCK_LINE, id).empty());

    // His map, then the server's as a newcomer downloads it: the same, with
    // the line's cells in his body empty.
    std::vector<int> mine;
    for (int i = x - 2; i <= x + 2; i++)
        for (int j = y - 4; j <= y + 4; j++)
            for (int k = 34; k <= 40; k++) mine.push_back(map_is_solid(i, j, k));
    for (int j = y - 3; j <= y + 3; j++) {
        const bool want = std::find(built.begin(), built.end(), j) != built.end();
        EXPECT_EQ(map_is_solid(x, j, z), want ? 1 : 0) << j;
    }
    ASSERT_TRUE(connect_and_download(&newcomer));
    ASSERT_EQ(map_load_image(newcomer.map_image.data(), newcomer.map_image.size()), 1);
    size_t n = 0;
    for (int i = x - 2; i <= x + 2; i++)
        for (int j = y - 4; j <= y + 4; j++)
            for (int k = 34; k <= 40; k++) EXPECT_EQ(map_is_solid(i, j, k), mine[n++]) << i << ", " << j << ", " << k;
    EXPECT_TRUE(ctest_fatals.empty());
}

// Each gun at a target who stands six blocks in front: the server takes the
// client's hit claims and the target loses health (or his life).
TEST_F(PlayE2E, FiresEachWeaponAtATarget)
{
    serve();
    enter(&foe, 1, "Target");
    Vec3 foe_at;
    ASSERT_TRUE(tgm_spawn_position(&foe, &foe_at));
    for (int weapon = WEAPON_SEMI; weapon <= WEAPON_SHOTGUN; weapon++) {
        SCOPED_TRACE(weapon);
        if (weapon > WEAPON_SEMI) fresh_client();
        ASSERT_TRUE(join(DIK_1, DIK_1 + weapon)) << srv.output;
        PlayerRecord *me = game_local_player();
        ASSERT_EQ(me->weapon, weapon);
        run_for(300);
        bring(&foe, &foe_at, Vec3{me->position.x + 6.0f, me->position.y, me->position.z});
        const PlayerRecord *t = &player_table[foe.own_id];
        run_for(300);
        // The middle of his torso, as the client has posed it.
        ASSERT_NE(t->sprites[SPRITE_TORSO].model, nullptr);
        pf_face(me, pf_part_centre(t, SPRITE_TORSO));
        run_for(300); // the facing reaches the server
        size_t hurt = tgm_count(&foe, MSG_HIT), killed = tgm_count(&foe, MSG_KILL);
        int objects = world_object_count, magazine = me->magazine;
        click(0);
        EXPECT_TRUE(run_until([&] { return tgm_count(&foe, MSG_HIT) > hurt || tgm_count(&foe, MSG_KILL) > killed; }))
            << "no damage reached the target";
        EXPECT_EQ(me->magazine, magazine - 1);
        EXPECT_GT(world_object_count, objects); // the casing, at least (tracers this close end at once)
        net_client_close();
    }
}

TEST_F(PlayE2E, AThrownGrenadeBlastsTheGround)
{
    serve();
    enter(&obs, 1, "Watcher");
    ASSERT_TRUE(join(DIK_1, DIK_1));
    const int id = local_player_id;
    PlayerRecord *me = game_local_player();
    press(DIK_4);
    ASSERT_TRUE(run_until([&] { return me->tool == TOOL_GRENADE; }));
    pf_face(me, Vec3{me->eye.x + 4.0f, me->eye.y, 40.0f});
    uint64_t before = ctest_map_digest();
    pf_button(0, true);
    run_for(500);
    pf_button(0, false);
    ASSERT_TRUE(run_until([&] { return !relayed(obs, MSG_GRENADE, id).empty(); }));
    Bytes g = relayed(obs, MSG_GRENADE, id)[0];
    ASSERT_EQ(g.size(), 30u);
    float fuse = le_get_f32(&g[2]);
    EXPECT_GT(fuse, 2.2f);
    EXPECT_LT(fuse, 2.6f);
    EXPECT_EQ(me->grenades, 2);
    EXPECT_TRUE(run_until([&] { return ctest_map_digest() != before; }, 5000)) << "the blast never reached the map";
}

// Killed, the view spins at the body until it rests, then follows him and,
// click by click, his team-mate.
TEST_F(PlayE2E, DeathSpinsThenFollowsTeamMates)
{
    serve();
    enter(&mate, 0, "Mate");
    enter(&foe, 1, "Killer");
    ASSERT_TRUE(join(DIK_1, DIK_1));
    const int id = local_player_id;
    PlayerRecord *me = game_local_player();
    run_for(300);
    Vec3 foe_at;
    ASSERT_TRUE(tgm_spawn_position(&foe, &foe_at));
    bring(&foe, &foe_at, Vec3{me->position.x + 5.0f, me->position.y, me->position.z});
    tgm_face(&foe, foe_at, me->position);
    run_for(300);
    tgm_send(&foe, msg_write_fire_keys, FireKeysMsg{0, FIRE_PRIMARY});
    tgm_send(&foe, msg_write_hit_claim, HitClaimMsg{(uint8_t)id, HIT_HEAD});
    ASSERT_TRUE(run_until([&] { return !me->alive; })) << srv.output;
    // The next respawn wave must not come before the end of the test.
    ASSERT_GT(me->respawn_time - (int64_t)game_time, 8) << "killed too close to a respawn wave";
    Vec3 f = me->forward;
    ASSERT_TRUE(run_until([] { return local_controls.follow >= 0; }, 10000)) << "the body never came to rest";
    EXPECT_EQ(local_controls.follow, id);
    EXPECT_GT(std::fabs(me->forward.x - f.x) + std::fabs(me->forward.y - f.y) + std::fabs(me->forward.z - f.z), 0.01f);
    click(0);
    EXPECT_EQ(local_controls.follow, mate.own_id);
    const PlayerRecord *m = &player_table[mate.own_id];
    run_for(100);
    EXPECT_LE(math_distance3(me->eye.x, me->eye.y, me->eye.z, m->position.x, m->position.y, m->position.z), 5.001f);
    click(0);
    EXPECT_EQ(local_controls.follow, id);
}

TEST_F(PlayE2E, ASpectatorJumpsToPlayersAndFlies)
{
    serve();
    enter(&mate, 0, "Alpha");
    enter(&foe, 1, "Beta");
    ASSERT_TRUE(join(DIK_3, 0));
    PlayerRecord *me = game_local_player();
    ASSERT_EQ(me->team, TEAM_SPECTATOR);
    run_for(300);
    int first = std::min(mate.own_id, foe.own_id), second = std::max(mate.own_id, foe.own_id);
    ASSERT_TRUE(player_table[first].alive && player_table[second].alive);
    for (int expected : {first, second}) {
        SCOPED_TRACE(expected);
        click(0);
        ASSERT_EQ(local_controls.follow, expected);
        const PlayerRecord &t = player_table[expected];
        EXPECT_LT(std::fabs(me->eye.x - t.eye.x) + std::fabs(me->eye.y - t.eye.y), 0.05f)
            << "eye " << me->eye.x << ", " << me->eye.y << " his " << t.eye.x << ", " << t.eye.y;
    }
    Vec3 from = me->eye;
    pf_key(DIK_W, true);
    run_for(600);
    pf_key(DIK_W, false);
    EXPECT_GT(std::fabs(me->eye.x - from.x) + std::fabs(me->eye.y - from.y) + std::fabs(me->eye.z - from.z), 1.0f);
}

// The same keys on both sides: over a long walk with sprints, jumps,
// crouches, turns and a lake, the server never corrects the client.
TEST_F(PlayE2E, MovementAgreesWithTheServer)
{
    serve("lake");
    enter(&obs, 1, "Watcher");
    ASSERT_TRUE(join(DIK_1, DIK_1));
    const int id = local_player_id;
    PlayerRecord *me = game_local_player();
    ASSERT_LT(me->position.x, 40.0f) << "spawned in the lake";
    Vec3 east = {1.0f, 0.0f, 0.0f};
    player_set_orientation(me, &east);
    run_for(300);
    bool wet = false, jumped = false, crouched = false;
    auto walk = [&](int ms) {
        run_until(
            [&] {
                wet = wet || me->in_water;
                jumped = jumped || me->airborne;
                crouched = crouched || me->keys[KEY_CROUCH];
                return false;
            },
            ms);
    };
    pf_key(DIK_W, true);
    for (int round = 0; round < 8; round++) {
        press(DIK_SPACE);
        walk(700);
        pf_key(DIK_V, true);
        walk(600);
        pf_key(DIK_V, false);
        pf_key(DIK_LCONTROL, true);
        walk(500);
        pf_key(DIK_LCONTROL, false);
        for (int i = 0; i < 20; i++) {
            pf_mouse(round % 2 ? 6 : -6, 0);
            next_frame();
        }
        pf_key(round % 2 ? DIK_A : DIK_D, true);
        walk(300);
        pf_key(round % 2 ? DIK_A : DIK_D, false);
    }
    pf_key(DIK_W, false);
    walk(1500);
    EXPECT_TRUE(wet && jumped && crouched) << wet << jumped << crouched;
    // The client sends its position only once it has moved 0.03 from the one
    // last sent, so where frames and ticks step unalike (a busy machine) the
    // server's copy may differ by up to that step and no more.
    const float step = 0.03f + 1e-3f;
    EXPECT_TRUE(run_until([&] {
        Vec3 at;
        return seen_at(obs, id, &at) && std::fabs(at.x - me->position.x) < step &&
               std::fabs(at.y - me->position.y) < step && std::fabs(at.z - me->position.z) < step;
    }));
    finish();
    EXPECT_GE(perf_times("recv", id, MSG_POSITION).size(), 8u);
    EXPECT_TRUE(perf_times("send", id, MSG_POSITION).empty()) << "the server corrected the client";
}

// The real program on the headless backend with an input script: it joins
// through the menus, walks, shoots, throws a grenade and quits through the
// question, opening the news page; a scripted client sees it all.
TEST_F(PlayE2E, TheProgramPlaysAScriptedGame)
{
    serve();
    enter(&obs, 1, "Watcher");
    const std::string dir = std::string(BKM_E2E_ROOT) + "/program." + std::to_string(getpid());
    ctest_client_folder(dir, BKM_CLIENT_BIN, "Scripted", 1);
    // Keys and buttons are held as a person holds them, until what they do
    // has happened: a menu's key until the next screen shows, the others
    // until a frame has read them (a shot is saved after the frame that
    // followed them). A slow frame on a busy machine cannot swallow them.
    const std::string read = "0 shot " + dir + "/read.png\n";
    const std::string script =
        "0 screen 2 60000\n300 key 1 down\n0 screen 3 10000\n0 key 1 up\n300 key 1 down\n0 screen 4 10000\n"
        "0 key 1 up\n500 key W down\n1200 key W up\n300 button 0 down\n" + read + "50 button 0 up\n"
        "700 button 0 down\n" + read + "50 button 0 up\n300 key 4 down\n" + read + "50 key 4 up\n"
        "800 button 0 down\n600 button 0 up\n800 key ESCAPE down\n" + read + "100 key ESCAPE up\n500 key Y down\n";
    tsv_write_file(dir + "/script.txt", script);
    pid_t pid = tpr_spawn({dir + "/client", "\"bkm://16777343:" + std::to_string(port) + "\""},
                          {"BKM_PLATFORM=headless", "BKM_INPUT_SCRIPT=" + dir + "/script.txt",
                           "BKM_PLATFORM_LOG=" + dir + "/log.txt", "BKM_MESSAGEBOX=log"},
                          dir + "/out.txt");
    // The watcher keeps listening while the program plays.
    int status = 0;
    bool ended = false;
    for (int64_t end = tsv_now_ms() + 90000; tsv_now_ms() < end && !ended;) {
        tcl_service(&obs, 20);
        ended = waitpid(pid, &status, WNOHANG) == pid;
    }
    int code = ended ? (WIFEXITED(status) ? WEXITSTATUS(status) : -2) : tpr_wait(pid, 1);
    std::string log = tpr_slurp(dir + "/log.txt");
    EXPECT_EQ(code, 0) << log;
    EXPECT_NE(log.find("url file://" + dir + "/news.html"), std::string::npos) << log;
    EXPECT_EQ(log.find("script: "), std::string::npos) << log;

    int id = -1;
    for (const Bytes &m : obs.messages)
        if (m.size() > 17 && m[0] == MSG_PLAYER_SPAWN && tcl_name_at(m, 16) == "Scripted") id = m[1];
    ASSERT_GE(id, 0);
    EXPECT_EQ(relayed(obs, MSG_MOVE_KEYS, id), (std::vector<Bytes>{{3, (uint8_t)id, 1, 0, 0, 0}, {3, (uint8_t)id, 0, 0, 0, 0}}));
    std::vector<Bytes> fire = relayed(obs, MSG_FIRE_KEYS, id);
    EXPECT_EQ(fire.size(), 6u); // two shots and the grenade: pressed and let go
    EXPECT_TRUE(has(fire, Bytes{4, (uint8_t)id, 1, 0, 0, 0}));
    std::vector<Bytes> grenades = relayed(obs, MSG_GRENADE, id);
    ASSERT_EQ(grenades.size(), 1u);
    float fuse = le_get_f32(&grenades[0][2]);
    EXPECT_GT(fuse, 2.0f);
    EXPECT_LT(fuse, 2.7f);
    EXPECT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_PLAYER_LEFT, "Scripted"), E2E_WAIT_MS)) << "no goodbye on quitting";
    std::filesystem::remove_all(dir);
}

// Territory control watched by a spectator's client game while scripted
// players fight over the middle island: a lead change with the same margin,
// the territory taken, a block built on the water (a recount would now give
// 4 territories) and a won round. After each, the client's bars, owners and
// count are those the rules give and those a newcomer is sent.
TEST_F(PlayE2E, TerritoryBarsAndCountFollowTheServerThroughALeadChangeACaptureAndAWin)
{
    serve("isles", "tc");
    ASSERT_TRUE(join(DIK_3, 0)) << srv.output;
    ASSERT_EQ(game_objective_count(), 3);
    static const char *names[6] = {"Blue0", "Blue1", "Blue2", "Green0", "Green1", "Green2"};
    Vec3 at[6];
    for (int i = 0; i < 6; i++) {
        enter(&crowd[i], i < 3 ? 0 : 1, names[i]);
        ASSERT_TRUE(tgm_spawn_position(&crowd[i], &at[i]));
    }
    TestClient *b = crowd, *g = crowd + 3;
    const ObjectiveState &o0 = mode_objectives[0], &o1 = mode_objectives[1], &o2 = mode_objectives[2];
    ASSERT_EQ(o1.owner, TEAM_NEUTRAL);
    const Vec3 t0 = world_objects[0].position, t1 = world_objects[1].position, t2 = world_objects[2].position;
    // Everyone stands within 12 of the territory and 6 inside the island.
    const float cx = std::clamp(t1.x, 206.0f, 303.0f), cy = std::clamp(t1.y, 134.0f, 288.0f), z = 37.75f;
    auto go = [&](int i, float x, float y) { at[i] = tgm_hop(&crowd[i], at[i], Vec3{x, y, z}); };
    const PlayerRecord &swimmer = player_table[b[2].own_id];
    // 3 blue against 2 green; green's thrower faces -x, as his team spawns.
    go(0, cx - 2, cy);
    go(1, cx - 2, cy + 1);
    go(2, cx + 6, cy - 6);
    go(3, cx + 6, cy);
    go(4, cx + 6, cy + 6);
    ASSERT_TRUE(run_until([&] { return o1.capturing_team == TEAM_BLUE && o1.rate == 1 && o1.progress >= 0.1f; }));
    expect_server_territories("blue leads by one");

    // The grenade flies 8 blocks in 0.25 s and kills the two blue in front
    // in one tick: +1 blue becomes +1 green, the rate stays 1.
    run_for(300);
    tgm_send(&g[0], msg_write_grenade, GrenadeMsg{31, 0.25f, {0, 0, 0}, {0, 0, 0}});
    ASSERT_TRUE(run_until([&] { return o1.capturing_team == TEAM_GREEN; }));
    const float change = game_time, step = game_frame_time; // the frame that took the message
    EXPECT_FALSE(player_table[b[0].own_id].alive);
    EXPECT_FALSE(player_table[b[1].own_id].alive);
    EXPECT_TRUE(player_table[b[2].own_id].alive && player_table[g[0].own_id].alive && player_table[g[1].own_id].alive);
    run_for(500);
    EXPECT_EQ(o1.rate, 1);
    // Green's capture starts from 0 at the change, 0.05 a second; the change
    // came within the step of the frame that took it.
    EXPECT_GE(o1.progress, 0.05f * (game_time - change) - 1e-4f);
    EXPECT_LE(o1.progress, 0.05f * (game_time - change + step) + 1e-4f);
    const std::vector<Bytes> told = tcl_messages(&g[1], MSG_CAPTURE_PROGRESS);
    ASSERT_FALSE(told.empty());
    CaptureProgressMsg last;
    ASSERT_EQ(msg_decode_capture_progress(told.back().data(), told.back().size(), &last), MSG_OK);
    EXPECT_EQ(last.index, 1);
    EXPECT_EQ(last.team, TEAM_GREEN);
    EXPECT_EQ(last.rate, 1);
    EXPECT_EQ(last.progress, 0.0f);
    expect_server_territories("green leads by one");
    for (int i : {0, 1}) tcl_close(&b[i]); // no respawn among the others

    // Green takes it at rate 3 while the last blue swims off to the water
    // between the islands: the full bar is empty again, blue's to fill.
    go(5, cx + 4, cy + 3);
    at[2] = tgm_hop(&b[2], at[2], Vec3{170.5f, cy, 60.5f}); // on the water, no fall
    ASSERT_TRUE(run_until([&] { return o1.owner == TEAM_GREEN; }));
    run_for(300);
    EXPECT_EQ(o1.capturing_team, TEAM_BLUE);
    EXPECT_EQ(o1.rate, 0);
    EXPECT_EQ(o1.progress, 0.0f);
    expect_server_territories("green owns the middle");

    // One block on the water: 65536 land columns.
    ASSERT_TRUE(run_until([&] { return swimmer.position.z > 59.0f && std::fabs(swimmer.position.x - 170.5f) < 0.1f; }))
        << swimmer.position.x << " " << swimmer.position.z;
    tgm_send(&b[2], msg_write_tool, ToolMsg{0, TOOL_BLOCK});
    tgm_send(&b[2], msg_write_block_action, BlockActionMsg{0, BLOCK_BUILD, 171, (int)cy, 62});
    ASSERT_TRUE(run_until([&] { return map_ground_z(171, (int)cy) == 62; }));

    // Green wins on blue's island while blue attacks green's: that bar is
    // part full when the round ends.
    for (int i = 3; i < 6; i++) go(i, t0.x + (float)(i - 4), t0.y);
    at[2] = swimmer.position; // where the water holds him
    go(2, t2.x, t2.y);
    float shown = 0.0f;
    ASSERT_TRUE(run_until([&] {
        shown = std::max(shown, o2.progress);
        return tgm_count(&g[0], MSG_TERRITORY_TAKEN) >= 2;
    }));
    run_for(300);
    EXPECT_GT(shown, 0.2f);
    int land = 0;
    for (int y = 0; y < 512; y++)
        for (int x = 0; x < 512; x++) land += map_ground_z(x, y) < 63;
    EXPECT_EQ(land, 65536);
    ASSERT_EQ(game_objective_count(), 3);
    const int attackers[3] = {TEAM_GREEN, -1, TEAM_BLUE}; // owned: the other team; the middle: not shown
    for (int i = 0; i < 3; i++) {
        const ObjectiveState &o = mode_objectives[i];
        EXPECT_EQ(o.progress, 0.0f) << i;
        EXPECT_EQ(o.rate, 0) << i;
        if (attackers[i] >= 0) {
            EXPECT_EQ(o.capturing_team, attackers[i]) << i;
        }
    }
    EXPECT_EQ(o0.owner, TEAM_BLUE);
    EXPECT_EQ(o2.owner, TEAM_GREEN);
    expect_server_territories("a new round");
    finish();
}

} // namespace
