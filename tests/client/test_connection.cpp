// The connection on the name screen: a stand-in server on 127.0.0.1 with
// short time-outs sends the whole loading sequence and more while the player
// "types"; the keep-alive holds every event, in order, for the pumps.
#include <enet/enet.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "client/game_state.h"
#include "client/menu_screens.h"
#include "client/net_client.h"
#include "client/net_dispatch.h"
#include "client/net_loading.h"
#include "client_fixture.h"
#include "play_fixture.h"
#include "common/feed.h"
#include "common/lang_ids.h"
#include "common/map_store.h"
#include "common/net.h"
#include "common/timer.h"
#include "client/game_main.h"
#include "platform/plat_display.h"
#include "platform/plat_input.h"
#include "platform/plat_keys.h"
#include "platform/plat_main.h"
#include "platform/plat_test.h"
#include "support/test_client.h"
#include "support/test_server.h"

namespace {

struct Connection : ::testing::Test {
    StandIn server;
    std::string dir;
    std::vector<uint8_t> z; // the compressed flat map
    uint64_t digest = 0;

    void SetUp() override
    {
        tcl_enet_init();
        ctest_load_strings();
        dir = ctest_enter_scratch();
        ctest_write_models(dir);
        ctest_reset_client();
        z = ctest_flat_map_z(33, 0x7F102030u, &digest);
        map_make_flat(40, 0x7F000000u);

        ASSERT_TRUE(ctest_standin_connect(&server));
        game_set_screen(SCREEN_NAME_ENTRY);
    }
    void TearDown() override
    {
        ctest_standin_close(&server);
        ctest_reset_client();
        ctest_leave_scratch();
    }

    // What a server sends a joining client, then six chat lines.
    void send_everything()
    {
        for (const std::vector<uint8_t> &p : ctest_map_packets(z)) server.send(p);
        PlayerInfoMsg info{5, 1, 0, 2, 3, 0x102030, "Early"};
        server.send(ctest_packet(msg_write_player_info, info));
        server.send(ctest_game_state(2));
        for (int i = 0; i < 6; i++) {
            ChatMsg c{};
            c.player = 255;
            c.chat_type = CHAT_SYSTEM;
            snprintf(c.text, sizeof c.text, "line %d", i);
            server.send(ctest_packet(msg_write_chat, c));
        }
    }

    // Services both ends for ms milliseconds, the client with `client_step`.
    void run_for(int ms, const std::function<void()> &client_step)
    {
        for (int64_t end = ctest_now_ms() + ms; ctest_now_ms() < end;) {
            server.service();
            client_step();
            timer_read(&game_time);
            usleep(2000);
        }
    }
};

// Longer than the server's time-out on the name screen: nothing is lost or
// reordered, and the map, the early player, the state and the chat that
// followed it all arrive once the name is entered.
TEST_F(Connection, NameScreenKeepsTheConnectionAndEveryMessage)
{
    send_everything();
    run_for(3000, [] { net_keep_alive(); });
    EXPECT_FALSE(server.lost);
    EXPECT_TRUE(ctest_fatals.empty());
    EXPECT_GT(net_held_count(), (int)(z.size() / MSG_MAP_CHUNK_MAX_DATA));
    EXPECT_EQ(map_download.size, 0u); // nothing is applied while the name is typed

    // The name is entered: the loading screen drains the held events first.
    game_set_screen(SCREEN_LOADING);
    for (int i = 0; i < 100 && client_state.screens.current == SCREEN_LOADING; i++) menu_loading_screen();
    ASSERT_EQ(client_state.screens.current, SCREEN_TEAM_MENU);
    EXPECT_EQ(ctest_map_digest(), digest);
    EXPECT_EQ(local_player_id, 2);
    EXPECT_STREQ(player_table[5].name, "Early");
    // The lines behind the state waited for the in-game pump, in order.
    EXPECT_EQ(feed_chat.lines[0].text[0], 0);
    net_dispatch_messages();
    for (int i = 0; i < 6; i++) EXPECT_EQ(std::string(feed_chat.lines[i].text), "line " + std::to_string(5 - i));
    EXPECT_EQ(net_held_count(), 0);
    EXPECT_FALSE(server.lost);
}

// Without the keep-alive the same wait loses the connection: the test above
// measures what it claims.
TEST_F(Connection, WithoutServicingTheServerDropsTheClient)
{
    send_everything();
    run_for(3000, [] {});
    EXPECT_TRUE(server.lost);
}

// Escape on the loading screen cancels the download.
TEST_F(Connection, EscapeCancelsTheDownload)
{
    pf_open_devices();
    send_everything();
    plat_inject_key(DIK_ESCAPE, 1);
    pumpmessages();
    game_set_screen(SCREEN_LOADING);
    run_for(200, [] {
        if (ctest_fatals.empty()) menu_loading_screen();
    });
    ASSERT_EQ(ctest_fatals.size(), 1u);
    EXPECT_EQ(ctest_fatals[0], ctest_text(LANG_DOWNLOAD_CANCELLED));
    EXPECT_NE(client_state.screens.current, SCREEN_TEAM_MENU);
    pf_close_devices();
}

TEST_F(Connection, ARefusalOnTheNameScreenEndsTheClientAtOnce)
{
    enet_peer_disconnect(server.peer, REJECT_SERVER_FULL);
    run_for(500, [] {
        if (ctest_fatals.empty()) net_keep_alive();
    });
    ASSERT_EQ(ctest_fatals.size(), 1u);
    EXPECT_EQ(ctest_fatals[0], ctest_text(LANG_REJECT_FULL));
}

// ENet thins out unreliable packets (the world updates) while round trips
// grow, as they do during a map download, and takes seconds to recover: the
// game's connection asks both of its ends never to, so the server's end
// holds a throttle that never falls.
TEST(ClientConnection, NeitherEndThinsOutTheWorldUpdates)
{
    tcl_enet_init();
    ctest_reset_client();
    StandIn server;
    uint16_t port;
    ASSERT_TRUE(ctest_standin_listen(&server, &port));
    std::atomic<bool> connecting{true};
    std::thread answer([&] {
        while (connecting) {
            server.service();
            usleep(1000);
        }
    });
    const int connected = net_client_connect(16777343u, port);
    connecting = false;
    answer.join();
    ASSERT_EQ(connected, 1);
    ctest_standin_take(&server);
    ASSERT_NE(server.peer, nullptr);
    EXPECT_EQ(server.peer->packetThrottleDeceleration, 0u);
    EXPECT_EQ(net_server_peer->packetThrottleDeceleration, 0u);
    ctest_standin_close(&server);
    ctest_reset_client();
}

} // namespace
