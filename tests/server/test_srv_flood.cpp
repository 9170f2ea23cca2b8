// End-to-end: connection requests that are never completed, from many
// loopback addresses, keep no player out, and the players in the game go on
// receiving world updates every 0.1 s.
#include "e2e_common.h"

#include <enet/enet.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "common/protocol.h"

namespace {

const int kAddresses = 40;

// A player in the game, serviced on a thread of its own so that the arrival
// of each world update is timed while the main thread joins others.
struct Watcher {
    TestClient *c = nullptr;
    std::atomic<bool> stop{false};
    std::vector<int64_t> updates_ms; // read once the thread has ended
    std::thread thread;

    void start(TestClient *client)
    {
        c = client;
        thread = std::thread([this] {
            size_t seen = c->messages.size();
            while (!stop) {
                tcl_poll(c);
                for (; seen < c->messages.size(); seen++)
                    if (c->messages[seen][0] == MSG_WORLD_UPDATE)
                        updates_ms.push_back(tsv_now_ms());
                usleep(500);
            }
        });
    }
    void finish()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
    ~Watcher() { finish(); }
};

// Hosts on 127.0.2.1 and on, one per address, each able to send `rounds`
// requests that are never completed.
struct Flood {
    std::vector<ENetHost *> hosts;
    uint16_t port = 0;
    std::atomic<bool> stop{false};
    std::thread thread;

    bool open(uint16_t to_port, int rounds)
    {
        port = to_port;
        for (int i = 0; i < kAddresses; i++) {
            hosts.push_back(tcl_half_open_host(("127.0.2." + std::to_string(i + 1)).c_str(), rounds));
            if (!hosts.back())
                return false;
        }
        return true;
    }
    void round()
    {
        for (ENetHost *h : hosts)
            tcl_half_open(h, port);
    }
    // A round every 100 ms until stopped.
    void repeat()
    {
        thread = std::thread([this] {
            while (!stop) {
                round();
                for (int i = 0; i < 100 && !stop; i++)
                    usleep(1000);
            }
        });
    }
    void finish()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
    ~Flood()
    {
        finish();
        for (ENetHost *h : hosts)
            if (h)
                enet_host_destroy(h);
    }
};

// Connects, downloads and joins; the milliseconds it took, or -1.
int64_t timed_join(TestClient *c, uint16_t port, const char *name)
{
    int64_t t0 = tsv_now_ms();
    if (!tcl_connect(c, port, 2, 5000) || !tcl_download(c, E2E_WAIT_MS) || !tcl_join(c, 1, 0, name))
        return -1;
    return tsv_now_ms() - t0;
}

} // namespace

TEST_F(ServerE2E, AHalfOpenFloodKeepsNoPlayerOutAndThePlayersInGameNoticeNothing)
{
    make_folder();
    write_config({"players = 3"});
    ASSERT_TRUE(start()) << srv.output;

    TestClient in_game, first, second, fourth;
    ASSERT_TRUE(connect_and_download(&in_game));
    ASSERT_TRUE(tcl_join(&in_game, 0, 0, "Steady"));
    Watcher watch;
    watch.start(&in_game);

    // One round from 40 addresses, then a player joins.
    Flood flood;
    ASSERT_TRUE(flood.open(port, 32));
    int64_t t0 = tsv_now_ms();
    flood.round();
    int64_t first_ms = timed_join(&first, port, "First");
    EXPECT_GE(first_ms, 0) << "kept out by the flood";
    EXPECT_LT(first_ms, 5000);

    // The flood repeated every 100 ms, from before the next one joins until
    // after: every address at its cap, the table full.
    flood.repeat();
    usleep(500 * 1000);
    int64_t second_ms = timed_join(&second, port, "Second");
    usleep(500 * 1000);
    flood.finish();
    EXPECT_GE(second_ms, 0) << "kept out by the repeated flood";
    // Well before stale handshakes are reset: the oldest gave way to him.
    EXPECT_LT(second_ms, 2000);

    // The slots still decide: the fourth of three players is refused as full.
    tcl_connect(&fourth, port);
    ASSERT_TRUE(tcl_wait(&fourth, [&] { return fourth.disconnected; }, E2E_WAIT_MS));
    EXPECT_EQ(fourth.disconnect_data, (uint32_t)REJECT_SERVER_FULL);
    int64_t t1 = tsv_now_ms();
    watch.finish();

    // World updates every 0.1 s throughout, late by little more than a tick.
    EXPECT_FALSE(in_game.disconnected);
    ASSERT_GE(watch.updates_ms.size(), 2u);
    int64_t worst = watch.updates_ms.front() - t0;
    for (size_t i = 1; i < watch.updates_ms.size(); i++)
        worst = std::max(worst, watch.updates_ms[i] - watch.updates_ms[i - 1]);
    worst = std::max(worst, t1 - watch.updates_ms.back());
    printf("flood: joins in %lld and %lld ms; %zu world updates in %lld ms, longest gap %lld ms\n",
           (long long)first_ms, (long long)second_ms, watch.updates_ms.size(), (long long)(t1 - t0),
           (long long)worst);
    EXPECT_GE((int64_t)watch.updates_ms.size(), (t1 - t0) / 100 * 8 / 10);
    EXPECT_LT(worst, 300);

    tcl_close(&first);
    tcl_close(&second);
    tcl_abort(&fourth);
    tcl_close(&in_game);
    EXPECT_EQ(quit(), 0);
}
