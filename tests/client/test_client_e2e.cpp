// The client game against the real server over 127.0.0.1, its functions
// driven directly (no window): connect, download with the loading pump,
// reach the team menu, and follow scripted players who move, build, chat
// and kill; every refusal of the server ends the client with its text; a
// server that goes away mid-download ends it as a lost connection.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "client/game_controls.h"
#include "client/game_main.h"
#include "client/game_objects.h"
#include "client/game_settings.h"
#include "client/game_state.h"
#include "client/menu_screens.h"
#include "client/net_client.h"
#include "client/net_dispatch.h"
#include "client/net_loading.h"
#include "client_fixture.h"
#include "common/feed.h"
#include "common/lang_ids.h"
#include "common/map_query.h"
#include "common/map_store.h"
#include "common/timer.h"
#include "server/e2e_common.h"
#include "pillar_map.h"
#include "platform/plat_log.h"
#include "support/test_game.h"
#include "platform/plat_display.h"
#include "platform/plat_main.h"
#include "platform/plat_test.h"
#include "renderer/vox_cpu.h"

#define GROUND 40

class ClientE2E : public ServerE2E {
protected:
    TestClient cl[3];
    std::vector<TestClient *> scripted; // serviced while the client game runs
    std::vector<float> progress_seen;   // distinct download progress values
    bool effects = false;               // frames also run the world-object update
    double effects_last = -1.0;        // game time of the last such update
    std::string scratch;                // the test's folder, with the models

    void SetUp() override
    {
        ctest_load_strings();
        scratch = ctest_enter_scratch();
        ctest_write_models(scratch);
        ctest_reset_client();
        snprintf(client_settings.name, sizeof client_settings.name, "Watcher");
    }
    void TearDown() override
    {
        for (TestClient &c : cl) tcl_abort(&c);
        ctest_reset_client();
        ctest_leave_scratch();
        ServerE2E::TearDown();
    }

    void serve(std::vector<std::string> config = {}, const char *map = "flat")
    {
        make_folder();
        write_config(config, true, map);
        ASSERT_TRUE(start()) << srv.output;
    }

    // One frame of the client game's network work on its current screen.
    void frame()
    {
        timer_read(&game_time);
        int screen = client_state.screens.current;
        if (screen == SCREEN_LOADING) {
            menu_loading_screen();
            float p = map_download.progress;
            if (progress_seen.empty() || progress_seen.back() != p) progress_seen.push_back(p);
        } else if (screen > SCREEN_LOADING) {
            net_dispatch_messages();
            if (effects) {
                game_step = effects_last < 0.0 ? 0.0f : (float)(game_time - effects_last);
                effects_last = game_time;
                game_update_world_objects();
            }
        } else {
            net_keep_alive();
        }
    }

    // Frames (and the scripted clients) until pred holds, a fatal error
    // happens or ms pass.
    bool run_until(const std::function<bool()> &pred, int ms = E2E_WAIT_MS)
    {
        for (int64_t end = tsv_now_ms() + ms; tsv_now_ms() < end;) {
            frame();
            for (TestClient *c : scripted) tcl_poll(c);
            if (pred()) return true;
            if (!ctest_fatals.empty()) return false;
            usleep(2000);
        }
        return pred();
    }

    // Whole frames of the program (game_run_frame and the message pump)
    // until pred holds, a fatal error happens or ms pass.
    bool run_until_frames(const std::function<bool()> &pred, int ms = E2E_WAIT_MS)
    {
        for (int64_t end = tsv_now_ms() + ms; tsv_now_ms() < end;) {
            game_run_frame();
            pumpmessages();
            if (pred()) return true;
            if (!ctest_fatals.empty()) return false;
        }
        return pred();
    }

    // The client game connects and passes the name screen.
    bool connect_client()
    {
        if (!net_client_connect(16777343u, port)) return false;
        local_player_id = -1;
        game_set_screen(SCREEN_LOADING);
        return true;
    }

    bool chat_has(const std::string &text)
    {
        for (const FeedLine &l : feed_chat.lines)
            if (text == l.text) return true;
        return false;
    }
    bool kills_have(const std::string &text)
    {
        for (const FeedLine &l : feed_kill.lines)
            if (text == l.text) return true;
        return false;
    }

    void enter(TestClient *c, int team, const char *name, Vec3 *at)
    {
        scripted.push_back(c);
        ASSERT_TRUE(connect_and_download(c));
        ASSERT_TRUE(tcl_join(c, team, WEAPON_SEMI, name));
        ASSERT_TRUE(tgm_spawn_position(c, at));
    }
};

// A generated map takes many passes: the loading screen sees it advance, and
// the client ends with the map a scripted newcomer downloads too.
TEST_F(ClientE2E, DownloadsTheMapWithProgress)
{
    serve({}, "hills");
    ASSERT_TRUE(connect_client());
    ASSERT_TRUE(run_until([] { return client_state.screens.current == SCREEN_TEAM_MENU; })) << srv.output;
    EXPECT_TRUE(ctest_fatals.empty());
    EXPECT_EQ(local_controls.join_mode, JOIN_FIRST);
    EXPECT_EQ(local_player_id, 0);
    // The loading screen saw the download advance.
    EXPECT_GE(progress_seen.size(), 3u);
    EXPECT_TRUE(std::is_sorted(progress_seen.begin(), progress_seen.end()));
    EXPECT_FLOAT_EQ(progress_seen.back(), 1.0f);
    uint64_t ours = ctest_map_digest();
    TestClient &other = cl[0];
    ASSERT_TRUE(connect_and_download(&other));
    ASSERT_EQ(other.map_columns, 262144);
    ASSERT_EQ(map_load_image(other.map_image.data(), other.map_image.size()), 1);
    EXPECT_EQ(ctest_map_digest(), ours);
}

TEST_F(ClientE2E, FollowsPlayersMovingBuildingChattingAndKilling)
{
    serve();
    ASSERT_TRUE(connect_client());
    ASSERT_TRUE(run_until([] { return client_state.screens.current == SCREEN_TEAM_MENU; })) << srv.output;
    TestClient &shooter = cl[0], &target = cl[1];
    Vec3 pa, pb;
    enter(&shooter, 0, "Shooter", &pa);
    enter(&target, 1, "Target", &pb);
    const int sid = shooter.own_id, tid = target.own_id;
    ASSERT_TRUE(run_until([&] { return player_table[tid].present && player_table[tid].team == 1; }));
    EXPECT_TRUE(run_until([&] { return chat_has(ctest_text(LANG_PLAYER_JOINED, "Target", "Team 2")); }));
    EXPECT_STREQ(player_table[sid].name, "Shooter");

    // Moving: the world updates carry him to where he went.
    pa = tgm_hop(&shooter, pa, Vec3{pb.x - 10.0f, pb.y, pb.z});
    EXPECT_TRUE(run_until([&] {
        const Vec3 &p = player_table[sid].position;
        return std::fabs(p.x - pa.x) < 0.1f && std::fabs(p.y - pa.y) < 0.1f;
    }));

    // Building on the ground beside him: the echo edits the client's map.
    int x = (int)pa.x, y = (int)pa.y - 1, z = GROUND - 1;
    ASSERT_EQ(map_is_solid(x, y, z), 0);
    tgm_send(&shooter, msg_write_tool, ToolMsg{0, TOOL_BLOCK});
    tgm_send(&shooter, msg_write_block_action, BlockActionMsg{0, BLOCK_BUILD, x, y, z});
    EXPECT_TRUE(run_until([&] { return map_is_solid(x, y, z) == 1; })) << x << "," << y << "," << z;
    tgm_send(&shooter, msg_write_tool, ToolMsg{0, TOOL_GUN});

    // Chatting.
    ChatMsg hello{};
    hello.chat_type = CHAT_ALL;
    snprintf(hello.text, sizeof hello.text, "hello watcher");
    tgm_send(&shooter, msg_write_chat, hello);
    EXPECT_TRUE(run_until([&] { return chat_has("Shooter (Team 1): hello watcher"); }));

    // Killing: a body shot and a head shot.
    tgm_face(&shooter, pa, pb);
    ASSERT_TRUE(tgm_wait_seen_at(scripted, &target, sid, pa, 0.1f, E2E_WAIT_MS));
    tgm_send(&shooter, msg_write_fire_keys, FireKeysMsg{0, FIRE_PRIMARY});
    tgm_send(&shooter, msg_write_hit_claim, HitClaimMsg{(uint8_t)tid, HIT_TORSO});
    tgm_send(&shooter, msg_write_hit_claim, HitClaimMsg{(uint8_t)tid, HIT_HEAD});
    EXPECT_TRUE(run_until([&] {
        return kills_have(ctest_text(LANG_KILL_LINE, "Shooter", "Target", lang_get(LANG_CAUSE_HEADSHOT)));
    }));
    EXPECT_EQ(player_table[tid].alive, 0);
    EXPECT_EQ(player_table[sid].kills, 1);

    // Leaving.
    tcl_close(&target);
    scripted.pop_back();
    EXPECT_TRUE(run_until([&] { return !player_table[tid].present; }));
    EXPECT_TRUE(ctest_fatals.empty());
}

// After a map change every player is back to "not joined": one who leaves
// then is still shown by the clients until they are told, and the next
// player the server puts in his slot must be shown with his own name.
TEST_F(ClientE2E, ANewcomerInTheSlotOfOneWhoLeftAfterAMapChangeShowsHisOwnName)
{
    serve();
    ASSERT_TRUE(connect_client());
    ASSERT_TRUE(run_until([] { return client_state.screens.current == SCREEN_TEAM_MENU; })) << srv.output;
    TestClient &leaver = cl[0], &newcomer = cl[1];
    Vec3 at;
    enter(&leaver, 0, "Leaver", &at);
    const int slot = leaver.own_id;
    ASSERT_TRUE(run_until([&] { return player_table[slot].present && player_table[slot].team == 0; }));
    EXPECT_STREQ(player_table[slot].name, "Leaver");

    // The map change: the client loads the map again and is back on the team menu.
    size_t from = srv.output.size();
    tsv_type(&srv, "map flat\n");
    ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_MAP_CHANGE_SCHEDULED, "flat", 10), E2E_WAIT_MS, from))
        << srv.output.substr(from);
    // The new map puts every slot back to "not joined" (and may load within one frame).
    ASSERT_TRUE(run_until([&] {
        return player_table[slot].team == TEAM_NONE && client_state.screens.current == SCREEN_TEAM_MENU;
    })) << srv.output;
    ASSERT_TRUE(player_table[slot].present);
    ASSERT_TRUE(tcl_wait(&leaver, [&] { return leaver.map_transfers == 2 && leaver.map_done; }, E2E_WAIT_MS));

    // He leaves before joining again; a newcomer is given his slot.
    scripted.clear();
    tcl_close(&leaver);
    ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_ID_LEFT, slot), E2E_WAIT_MS, from)) << srv.output.substr(from);
    EXPECT_TRUE(run_until([&] { return !player_table[slot].present; })) << "the leaver is still shown";
    EXPECT_TRUE(chat_has(ctest_text(LANG_PLAYER_LEFT, "Leaver")));
    scripted.push_back(&newcomer);
    ASSERT_TRUE(connect_and_download(&newcomer));
    ASSERT_EQ(newcomer.own_id, slot);
    ASSERT_TRUE(tcl_join(&newcomer, 1, WEAPON_SMG, "Newcomer"));
    ASSERT_TRUE(run_until([&] { return player_table[slot].present && player_table[slot].team == 1; }));
    EXPECT_STREQ(player_table[slot].name, "Newcomer");
    EXPECT_TRUE(run_until([&] { return chat_has(ctest_text(LANG_PLAYER_JOINED, "Newcomer", "Team 2")); }));
    EXPECT_FALSE(chat_has(ctest_text(LANG_PLAYER_JOINED, "Leaver", "Team 2")));
    EXPECT_TRUE(ctest_fatals.empty());
}

// Each refusal of the server ends the client with its own text.
TEST_F(ClientE2E, RefusalsEndTheClientWithTheirText)
{
    struct Case {
        const char *name;
        std::vector<std::string> config;
        std::function<void()> before; // after the server started
        int text;
    } cases[] = {
        {"banned", {}, nullptr, LANG_REJECT_BANNED},
        {"full", {"players = 1"},
         [this] { ASSERT_TRUE(tcl_connect_from(&cl[0], "127.0.0.9", port)); },
         LANG_REJECT_FULL},
        {"kicked", {},
         [this] {
             ASSERT_TRUE(tcl_connect(&cl[0], port));
             tcl_service(&cl[0], 200);
             size_t from = srv.output.size();
             tsv_type(&srv, "kick 0\n");
             ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_ID_KICKED, 0), E2E_WAIT_MS, from));
         },
         LANG_REJECT_KICKED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ctest_reset_client();
        make_folder();
        write_config(c.config);
        if (std::string(c.name) == "banned") tsv_write_file(srv.dir + "/banlist.txt", "127.0.0.1\t# Watcher\n");
        ASSERT_TRUE(start()) << srv.output;
        if (c.before) c.before();
        ASSERT_TRUE(connect_client());
        run_until([] { return false; }, 3000);
        ASSERT_EQ(ctest_fatals.size(), 1u);
        EXPECT_EQ(ctest_fatals[0], ctest_text(c.text));
        EXPECT_NE(client_state.screens.current, SCREEN_TEAM_MENU);
        for (TestClient &t : cl) tcl_abort(&t);
        tsv_stop(&srv);
    }
}

TEST_F(ClientE2E, AServerGoneMidDownloadEndsTheClientCleanly)
{
    serve({}, "hills");
    ASSERT_TRUE(connect_client());
    ASSERT_TRUE(run_until([] { return map_download.received > 0; }));
    tsv_stop(&srv);
    ASSERT_LT(map_download.progress, 1.0f);
    run_until([] { return false; }, 30000);
    ASSERT_EQ(ctest_fatals.size(), 1u);
    EXPECT_EQ(ctest_fatals[0], ctest_text(LANG_DISCONNECTED));
    EXPECT_NE(client_state.screens.current, SCREEN_TEAM_MENU);
}

// Start-up only reads the address on the command line; the first frame
// connects, the name screen's frames keep the connection, and shutdown says
// goodbye, so the server frees the slot at once.
TEST_F(ClientE2E, TheFirstFrameConnectsAndShutdownDisconnects)
{
    serve();
    CpuFeatures = getcpufeatures();
    std::string line = "\"bkm://16777343:" + std::to_string(port) + "\"";
    std::vector<char> arg(line.begin() + 1, line.end()); // the entry point skips the first character
    arg.push_back(0);
    char *argv[] = {arg.data(), nullptr};
    size_t from = srv.output.size();
    ASSERT_EQ(game_init((int)line.size(), argv), 0);
    EXPECT_EQ(net_client_host, nullptr);
    EXPECT_EQ(client_state.screens.current, SCREEN_NAME_ENTRY);
    ASSERT_EQ(game_connect_server(), 1);
    EXPECT_NE(net_client_host, nullptr);
    EXPECT_EQ(game_connect_server(), 1); // once
    std::string connected = e2e_text(LANG_PLAYER_CONNECTED, 0, "127.0.0.1");
    EXPECT_TRUE(run_until([&] {
        tsv_read_output(&srv, 1);
        return srv.output.find(connected, from) != std::string::npos;
    }));
    from = srv.output.size();
    game_shutdown();
    EXPECT_EQ(net_client_host, nullptr);
    EXPECT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_ID_LEFT, 0), 3000, from)) << srv.output.substr(from);
}

// The platform opens the window, sound, input and fonts between game_init
// and the first frame: seconds on a slow or busy machine. The server gives
// up a player who stays silent that long after connecting, so a start-up of
// 10 s must still lead to the team menu.
TEST_F(ClientE2E, ASlowStartUpStillReachesTheTeamMenu)
{
    serve();
    CpuFeatures = getcpufeatures();
    std::string line = "\"bkm://16777343:" + std::to_string(port) + "\"";
    std::vector<char> arg(line.begin() + 1, line.end());
    arg.push_back(0);
    char *argv[] = {arg.data(), nullptr};
    ASSERT_EQ(game_init((int)line.size(), argv), 0);
    ASSERT_EQ(chdir(scratch.c_str()), 0); // the models are here, not beside the test program
    snprintf(client_settings.name, sizeof client_settings.name, "Patient");
    ASSERT_EQ(plat_select_backend(PLAT_BACKEND_HEADLESS), 1);
    *game_display_settings() = DisplaySettings{320, 240, 1, 0};
    ASSERT_EQ(plat_create_window(), 1);
    installscreens();
    // The slow start-up, during which nothing services the network.
    const int64_t until = tsv_now_ms() + 10000;
    while (tsv_now_ms() < until) {
        tsv_read_output(&srv, 50);
    }
    const bool reached = run_until_frames([] { return client_state.screens.current == SCREEN_TEAM_MENU; });
    game_shutdown();
    plat_destroy_window();
    plat_close_backend();
    EXPECT_TRUE(reached) << srv.output;
    EXPECT_TRUE(ctest_fatals.empty()) << (ctest_fatals.empty() ? "" : ctest_fatals[0]);
}

// The connection is serviced only by the frames after the connect, and the
// server resets a handshake left unconfirmed for 3 s: the server takes the
// player while the client is still silent, and the download then runs as
// usual.
TEST_F(ClientE2E, TheServerTakesThePlayerBeforeTheClientServicesTheConnection)
{
    serve();
    const size_t from = srv.output.size();
    ASSERT_TRUE(connect_client());
    ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_PLAYER_CONNECTED, 0, "127.0.0.1"), E2E_WAIT_MS, from))
        << srv.output.substr(from);
    ASSERT_TRUE(run_until([] { return client_state.screens.current == SCREEN_TEAM_MENU; })) << srv.output;
    EXPECT_TRUE(ctest_fatals.empty());
}

// Another player digs out the stem of a pillar on the real server: the echo
// changes the client's own map, the loose rest leaves it as one debris
// object, which falls and expires with its model freed. A grenade he throws
// reaches the client through the server, flies and explodes with its sound.
TEST_F(ClientE2E, AnotherPlayersDiggingDropsDebrisAndHisGrenadeExplodes)
{
    make_folder();
    map_make_flat(GROUND, 0x7F336699u);
    pillar_build();
    ASSERT_EQ(map_save((srv.dir + "/vxl/pillar.vxl").c_str()), 1);
    write_config({}, true, "pillar");
    ASSERT_TRUE(start()) << srv.output;
    effects = true;
    ASSERT_TRUE(connect_client());
    ASSERT_TRUE(run_until([] { return client_state.screens.current == SCREEN_TEAM_MENU; })) << srv.output;
    ASSERT_EQ(map_is_solid(PILLAR_X, PILLAR_Y, 30), 1);
    TestClient &digger = cl[0];
    Vec3 at;
    enter(&digger, 0, "Digger", &at);
    const int id = digger.own_id;
    // Beside the stem, clear of the cap.
    Vec3 beside = tgm_hop(&digger, at, Vec3{PILLAR_X - 1.5f, PILLAR_Y + 0.5f, at.z});
    ASSERT_TRUE(run_until([&] {
        const Vec3 &p = player_table[id].position;
        return std::fabs(p.x - beside.x) < 0.1f && std::fabs(p.y - beside.y) < 0.1f;
    }));
    auto debris = [] {
        int n = 0;
        for (int i = world_objective_count; i < world_object_count; i++)
            n += wobj_kind(&world_objects[i]) == OBJECT_DEBRIS;
        return n;
    };
    tgm_send(&digger, msg_write_tool, ToolMsg{0, TOOL_SPADE});
    tgm_send(&digger, msg_write_block_action, BlockActionMsg{0, BLOCK_DIG, PILLAR_X, PILLAR_Y, PILLAR_DIG_Z});
    ASSERT_TRUE(run_until([&] { return debris() == 1; })) << srv.output;
    for (const MapCell &c : pillar_loose_cells()) EXPECT_EQ(map_is_solid(c.x, c.y, c.z), 0);
    EXPECT_EQ(map_is_solid(PILLAR_X, PILLAR_Y, PILLAR_DIG_Z), 0);
    EXPECT_EQ(voxel_map.chunk_count, 0);
    EXPECT_TRUE(run_until([&] { return debris() == 0; }, 8000)); // 5 s at most

    auto grenades = [id] {
        int n = 0;
        for (int i = world_objective_count; i < world_object_count; i++) n += wobj_kind(&world_objects[i]) == id;
        return n;
    };
    int mark = plat_log_count();
    tgm_send(&digger, msg_write_tool, ToolMsg{0, TOOL_GRENADE});
    tgm_send(&digger, msg_write_grenade, GrenadeMsg{0, 1.0f, beside, Vec3{0, 0, 0}});
    ASSERT_TRUE(run_until([&] { return grenades() == 1; })) << srv.output;
    EXPECT_TRUE(run_until([&] { return grenades() == 0; }, 5000));
    EXPECT_NE(plat_log_find("sound3d wav/explode.wav 0 ", mark), -1);
    EXPECT_TRUE(ctest_fatals.empty());
}
