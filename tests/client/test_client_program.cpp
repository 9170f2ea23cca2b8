// The real client program against the real server over 127.0.0.1 with the
// headless backend and an input script: it asks the name, shows the download
// and reaches the team menu (screenshots of each); each refusal of a server
// ends it with its text.
#include <signal.h>
#include <sys/wait.h>

#include "program_fixture.h"
#include "support/full_pool_map.h"

using namespace program_test;

namespace {

TEST_F(ClientProgram, HeadlessAsksTheNameLoadsAndReachesTheTeamMenu)
{
    serve({}, "hills");
    make_client("Zarar");
    size_t from = srv.output.size();
    run_client(join_script(), {"BKM_PLATFORM=headless"}, port);
    EXPECT_EQ(wait_client(60000), 0) << log();
    EXPECT_EQ(log().find("script:"), std::string::npos) << log();
    expect_joined_screens();
    // The typed name was kept, and the server saw the client come and go.
    EXPECT_NE(tpr_slurp(path("config.ini")).find("= Runner"), std::string::npos);
    EXPECT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_PLAYER_CONNECTED, 0, "127.0.0.1"), E2E_WAIT_MS, from));
    EXPECT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_ID_LEFT, 0), E2E_WAIT_MS, from));
}

// A server that sends its map slowly: the loading screen's bar advances
// with the download, and the map leads to the team menu. The map goes in
// five parts, each sent once the shot of the bar before it was saved, so the
// bar's states do not depend on how long the program takes to start or to
// draw a frame.
TEST_F(ClientProgram, LoadingBarAdvancesWithTheDownload)
{
    StandIn server;
    uint16_t to;
    ASSERT_TRUE(ctest_standin_listen(&server, &to));
    std::vector<std::vector<uint8_t>> packets = ctest_map_packets(ctest_flat_map_z(40, 0x7F336699u, nullptr));
    const size_t map_packets = packets.size();
    packets.push_back(ctest_game_state(0));
    const int shots = 4;
    ASSERT_GE(map_packets, (size_t)shots + 1);
    make_client("Patient");
    std::string script = "0 screen 1\n";
    for (int i = 0; i < shots; i++) script += "700 shot " + path("loading" + std::to_string(i) + ".png") + "\n";
    script += "0 screen 2\n300 shot " + path("team.png") + "\n200 close\n";
    run_client(script, {"BKM_PLATFORM=headless"}, to);
    size_t sent = 0;
    int part = -1; // the last part sent
    int status = 0;
    const bool ended = tpr_wait_until(
        [&] {
            server.service();
            // Part 0 on the connect, part k once shot k-1 was saved; the last
            // part brings the rest of the map and the game state.
            const bool next = part < 0 ? server.peer != nullptr
                                       : part < shots && fs::exists(path("loading" + std::to_string(part) + ".png"));
            if (next) {
                part++;
                const size_t upto = part == shots ? packets.size() : map_packets * (size_t)(part + 1) / (shots + 1);
                while (sent < upto) server.send(packets[sent++]);
            }
            return waitpid(client, &status, WNOHANG) == client;
        },
        E2E_WAIT_MS);
    ASSERT_TRUE(ended) << log();
    client = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log();
    std::vector<int> fill;
    for (int i = 0; i < shots; i++) {
        Shot s;
        ASSERT_TRUE(s.read(path("loading" + std::to_string(i) + ".png"))) << log();
        expect_loading_screen(s);
        fill.push_back(s.bar_fill());
    }
    const int full = (int32_t)(0.55f * W);
    EXPECT_LT(fill.front(), fill.back());
    EXPECT_LT(fill.back(), full);
    EXPECT_TRUE(std::is_sorted(fill.begin(), fill.end()));
    Shot team;
    ASSERT_TRUE(team.read(path("team.png")));
    expect_team_menu(team);
    ctest_standin_close(&server);
}

// A hostile server's map that fills the column pool is accepted (the team
// menu comes), but the first edit it relays that the map has no room for
// ends the program with the damaged-map text, not in silence.
TEST_F(ClientProgram, AnEditTheFullPoolCannotStoreEndsTheProgramWithItsText)
{
    StandIn server;
    uint16_t to;
    ASSERT_TRUE(ctest_standin_listen(&server, &to));
    std::vector<std::vector<uint8_t>> packets = ctest_map_packets(ctest_map_z(full_pool_image()));
    packets.push_back(ctest_game_state(0));
    const std::vector<uint8_t> edit = ctest_packet(
        msg_write_block_action, BlockActionMsg{1, BLOCK_BUILD, 100, 100, FULL_POOL_GROUND - 2});
    make_client("Hosted");
    run_client("0 screen 2\n0 shot " + path("team.png") + "\n15000 close\n", {"BKM_PLATFORM=headless"}, to);
    const std::string box = "box ERROR: " + ctest_text(LANG_ERR_MAP_DATA);
    size_t sent = 0;
    bool edited = false;
    int status = 0;
    const bool ended = tpr_wait_until(
        [&] {
            server.service();
            while (server.peer && sent < packets.size()) server.send(packets[sent++]);
            if (!edited && fs::exists(path("team.png"))) {
                server.send(edit);
                edited = true;
            }
            return waitpid(client, &status, WNOHANG) == client;
        },
        E2E_WAIT_MS);
    ASSERT_TRUE(ended) << log();
    client = -1;
    EXPECT_TRUE(edited) << log();
    EXPECT_NE(log().find(box), std::string::npos) << log();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log();
    ctest_standin_close(&server);
}

// Each refusal ends the program with its text in an "ERROR" box. The
// server never refuses the program's own version, so a stand-in host
// refuses it as the server refuses a wrong version.
TEST_F(ClientProgram, EachRefusalEndsTheProgramWithItsText)
{
    struct Case {
        const char *name;
        std::vector<std::string> config;
        int text;
    } cases[] = {
        {"banned", {}, LANG_REJECT_BANNED},
        {"full", {"players = 1"}, LANG_REJECT_FULL},
        {"kicked", {}, LANG_REJECT_KICKED},
        {"version", {}, LANG_REJECT_VERSION},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        make_client("Refused");
        const std::string what = c.name;
        TestClient other;
        ENetHost *standin = nullptr;
        uint16_t to = 0;
        if (what == "version") {
            to = tsv_free_port();
            ENetAddress a;
            enet_address_set_host(&a, "127.0.0.1");
            a.port = to;
            standin = enet_host_create(&a, 4, 1, 0, 0);
            ASSERT_NE(standin, nullptr);
            enet_host_compress_with_range_coder(standin);
        } else {
            make_folder();
            write_config(c.config);
            if (what == "banned") tsv_write_file(srv.dir + "/banlist.txt", "127.0.0.1\t# Refused\n");
            ASSERT_TRUE(start()) << srv.output;
            to = port;
            if (what == "full") {
                ASSERT_TRUE(tcl_connect_from(&other, "127.0.0.9", port));
            }
            if (what == "kicked") {
                ASSERT_TRUE(tcl_connect(&other, port));
                tcl_service(&other, 200);
                const size_t from = srv.output.size();
                tsv_type(&srv, "kick 0\n");
                ASSERT_TRUE(tsv_wait_output(&srv, e2e_text(LANG_ID_KICKED, 0), E2E_WAIT_MS, from));
            }
        }
        run_client("", {"BKM_PLATFORM=headless"}, to);
        const std::string box = "box ERROR: " + ctest_text(c.text);
        ASSERT_TRUE(tpr_wait_until(
            [&] {
                ENetEvent ev;
                while (standin && enet_host_service(standin, &ev, 0) > 0)
                    if (ev.type == ENET_EVENT_TYPE_CONNECT) enet_peer_disconnect(ev.peer, REJECT_WRONG_VERSION);
                if (what == "full") tcl_service(&other, 0);
                return log().find(box) != std::string::npos;
            },
            E2E_WAIT_MS))
            << log();
        EXPECT_EQ(wait_client(E2E_WAIT_MS), 0);
        tcl_abort(&other);
        if (standin) enet_host_destroy(standin);
        tsv_stop(&srv);
    }
}

// The server stops answering while the player is on each screen: killed
// without a word to its players, or paused. The lost connection's box comes
// within seconds on every screen, the menus included (ENet's own time-outs
// took 10 to 30 s), and the program ends.
TEST_F(ClientProgram, AServerThatStopsAnsweringEndsTheProgramWithinSecondsOnEveryScreen)
{
    // Keys held 300 ms: a slow (sanitizer) build's frame must see them down.
    const std::string weapon_menu = "0 screen 2\n300 press 1 300\n0 screen 3\n";
    struct Case {
        const char *name;
        const char *player; // "Zarar" keeps the name question open
        std::string script;
        int signal;
    } cases[] = {
        {"name screen", "Zarar", "0 screen 0\n", SIGKILL},
        {"team menu", "Lost", "0 screen 2\n", SIGKILL},
        {"weapon menu", "Lost", weapon_menu, SIGKILL},
        {"weapon menu, server paused", "Lost", weapon_menu, SIGSTOP},
        {"in game", "Lost", weapon_menu + "300 press 1 300\n0 screen 4\n", SIGKILL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        make_folder();
        write_config({});
        ASSERT_TRUE(start()) << srv.output;
        make_client(c.player);
        run_client(c.script + "0 shot " + path("there.png") + "\n120000 close\n", {"BKM_PLATFORM=headless"}, port);
        ASSERT_TRUE(tpr_wait_until([&] { return fs::exists(path("there.png")); }, E2E_WAIT_MS)) << logs();
        ASSERT_EQ(kill(srv.pid, c.signal), 0);
        const int64_t gone = ctest_now_ms();
        const std::string box = "box ERROR: " + ctest_text(LANG_DISCONNECTED);
        EXPECT_TRUE(tpr_wait_until([&] { return log().find(box) != std::string::npos; }, E2E_WAIT_MS)) << log();
        EXPECT_LT(ctest_now_ms() - gone, 7000);
        // And it ends at once: nobody is left to say goodbye to.
        const int64_t boxed = ctest_now_ms();
        EXPECT_EQ(wait_client(E2E_WAIT_MS), 0) << log();
        EXPECT_LT(ctest_now_ms() - boxed, 2000);
        if (c.signal == SIGSTOP) kill(srv.pid, SIGCONT);
        tsv_stop(&srv);
        srv = TestServer{}; // the next start waits for its own output
    }
}

// A spectator turns with the mouse right after a screenshot: the shot shows
// the view before the turn, the next one the view turned, and turned as far
// as when the turn comes half a second after the shot.
TEST_F(ClientProgram, AMouseMoveRightAfterAShotTurnsTheView)
{
    serve({}, "hills");
    make_client("Viewer");
    auto differing = [](const Shot &a, const Shot &b) {
        size_t n = 0;
        for (size_t i = 0; i < a.px.size(); i++) n += a.px[i] != b.px[i];
        return n;
    };
    Shot first_turned;
    for (const char *delay : {"0", "500"}) {
        const std::string script = "0 screen 0\n200 type Viewer\n0 press RETURN\n0 screen 2\n400 press 3 300\n1500 shot " +
                                   path("rest.png") + "\n300 shot " + path("before.png") + "\n" + delay +
                                   " mouse 200 0\n700 shot " + path("turned.png") + "\n200 close\n";
        run_client(script, {"BKM_PLATFORM=headless"}, port);
        ASSERT_EQ(wait_client(60000), 0) << log();
        Shot rest, before, turned;
        ASSERT_TRUE(rest.read(path("rest.png")) && before.read(path("before.png")) && turned.read(path("turned.png")))
            << log();
        const size_t all = (size_t)W * H;
        EXPECT_LT(differing(rest, before), all / 50) << "mouse after " << delay << " ms"; // the HUD's figures
        EXPECT_GT(differing(before, turned), all / 4) << "mouse after " << delay << " ms";
        if (first_turned.px.empty()) first_turned = turned;
        else EXPECT_LT(differing(first_turned, turned), all / 50);
    }
}

} // namespace
