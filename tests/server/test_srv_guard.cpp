// The connection guard on a real ENet host over 127.0.0.1, in-process:
// requests from one address are capped, a full table gives way to the newest
// request, and stale handshakes and refusals are reset.
#include <gtest/gtest.h>

#include <enet/enet.h>

#include <unistd.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "server/srv_guard.h"
#include "support/test_client.h"
#include "support/test_server.h"

namespace {

uint32_t address_of(const std::string &dotted)
{
    ENetAddress a;
    enet_address_set_host_ip(&a, dotted.c_str());
    return a.host;
}

// A client that completes its handshake when serviced.
struct Player {
    ENetHost *host = nullptr;
    ENetPeer *peer = nullptr;
    bool connected = false;
};

class GuardedHost : public ::testing::Test {
protected:
    ENetHost *host = nullptr;
    uint16_t port = 0;
    std::vector<ENetHost *> floods;
    std::vector<Player> players;
    int accepted = 0; // connect events on the guarded host

    void open(uint32_t slots)
    {
        tcl_enet_init();
        port = tsv_free_port();
        ENetAddress a;
        enet_address_set_host_ip(&a, "127.0.0.1");
        a.port = port;
        host = enet_host_create(&a, srv_guard_peer_count(slots), 1, 0, 0);
        ASSERT_NE(host, nullptr);
        srv_guard_attach(host);
    }
    void TearDown() override
    {
        for (ENetHost *h : floods)
            enet_host_destroy(h);
        for (Player &p : players)
            enet_host_destroy(p.host);
        if (host)
            enet_host_destroy(host);
        srv_guard_attach(nullptr);
    }
    // `requests` unanswered connection requests from one address.
    void flood_from(const std::string &ip, int requests)
    {
        ENetHost *h = tcl_half_open_host(ip.c_str(), requests);
        ASSERT_NE(h, nullptr) << ip;
        floods.push_back(h);
        for (int i = 0; i < requests; i++)
            ASSERT_TRUE(tcl_half_open(h, port));
    }
    Player *player_from(const std::string &ip)
    {
        Player p;
        ENetAddress local, to;
        enet_address_set_host_ip(&local, ip.c_str());
        local.port = 0;
        p.host = enet_host_create(&local, 1, 1, 0, 0);
        enet_address_set_host_ip(&to, "127.0.0.1");
        to.port = port;
        p.peer = p.host ? enet_host_connect(p.host, &to, 1, 2) : nullptr;
        players.push_back(p);
        return &players.back();
    }
    // Services the guarded host (accepting whoever completes) and every
    // player for about ms milliseconds, or until all players are connected
    // at both ends.
    bool service(int ms, bool until_connected = false)
    {
        int64_t end = tsv_now_ms() + ms;
        for (;;) {
            ENetEvent ev;
            while (enet_host_service(host, &ev, 0) > 0) {
                accepted += ev.type == ENET_EVENT_TYPE_CONNECT;
                if (ev.type == ENET_EVENT_TYPE_RECEIVE)
                    enet_packet_destroy(ev.packet);
            }
            bool all = accepted >= (int)players.size();
            for (Player &p : players) {
                while (p.host && enet_host_service(p.host, &ev, 0) > 0)
                    if (ev.type == ENET_EVENT_TYPE_CONNECT)
                        p.connected = true;
                all = all && p.connected;
            }
            if ((until_connected && all) || tsv_now_ms() >= end)
                return all;
            usleep(1000);
        }
    }
    int peers_in_state(ENetPeerState state, uint32_t from = 0)
    {
        int n = 0;
        for (size_t i = 0; i < host->peerCount; i++)
            n += host->peers[i].state == state && (from == 0 || host->peers[i].address.host == from);
        return n;
    }
};

TEST_F(GuardedHost, OneAddressHoldsAFewHandshakesButAnyNumberOfPlayers)
{
    open(32);
    flood_from("127.0.0.5", 20);
    flood_from("127.0.0.6", 1);
    service(200);
    EXPECT_EQ(srv_guard_in_progress(host, address_of("127.0.0.5")), SRV_GUARD_PER_ADDRESS);
    EXPECT_EQ(srv_guard_in_progress(host, address_of("127.0.0.6")), 1);

    // Six players behind one address, all starting at once: those beyond the
    // cap get in when their request is repeated.
    for (int i = 0; i < 6; i++)
        ASSERT_NE(player_from("127.0.0.7")->peer, nullptr);
    EXPECT_TRUE(service(5000, true));
    EXPECT_EQ(peers_in_state(ENET_PEER_STATE_CONNECTED, address_of("127.0.0.7")), 6);
    EXPECT_EQ(srv_guard_in_progress(host, address_of("127.0.0.5")), SRV_GUARD_PER_ADDRESS);
}

TEST_F(GuardedHost, StaleHandshakesAndUnconfirmedRefusalsAreResetPlayersAreNot)
{
    open(4);
    player_from("127.0.0.8");
    Player *refused = player_from("127.0.0.9");
    ASSERT_TRUE(service(3000, true));
    ENetPeer *kept_peer = nullptr, *refused_peer = nullptr;
    for (size_t i = 0; i < host->peerCount; i++) {
        ENetPeer *p = &host->peers[i];
        if (p->state == ENET_PEER_STATE_CONNECTED)
            (p->address.host == address_of("127.0.0.8") ? kept_peer : refused_peer) = p;
    }
    ASSERT_TRUE(kept_peer && refused_peer);
    // Refused, and the client never confirms: it is gone.
    enet_peer_disconnect(refused_peer, 4);
    enet_host_destroy(refused->host);
    refused->host = nullptr;
    flood_from("127.0.0.10", 2);
    service(100);
    ASSERT_EQ(srv_guard_in_progress(host, 0), 2);
    ASSERT_EQ(refused_peer->state, ENET_PEER_STATE_DISCONNECTING);

    uint32_t t0 = enet_time_get();
    EXPECT_EQ(srv_guard_sweep(host, t0), 0); // first seen now
    EXPECT_EQ(srv_guard_sweep(host, t0 + SRV_GUARD_HANDSHAKE_MS - 1), 0);
    EXPECT_EQ(srv_guard_sweep(host, t0 + SRV_GUARD_HANDSHAKE_MS), 3);
    EXPECT_EQ(srv_guard_in_progress(host, 0), 0);
    EXPECT_EQ(refused_peer->state, ENET_PEER_STATE_DISCONNECTED);
    EXPECT_EQ(kept_peer->state, ENET_PEER_STATE_CONNECTED);
    // The freed peers take new requests, timed afresh.
    flood_from("127.0.0.10", 1);
    service(100);
    EXPECT_EQ(srv_guard_sweep(host, t0 + 2 * SRV_GUARD_HANDSHAKE_MS - 1), 0);
    EXPECT_EQ(srv_guard_in_progress(host, 0), 1);
}

TEST_F(GuardedHost, AFullTableGivesWayToTheNewestRequest)
{
    open(1);
    const int addresses = 40;
    ASSERT_GT(addresses * SRV_GUARD_PER_ADDRESS, (int)host->peerCount);
    // One request per address and round, each from a port of its own; each
    // round is a sweep older than the next.
    uint32_t t0 = enet_time_get();
    std::set<std::pair<size_t, uint32_t>> first_round;
    for (int round = 0; round < SRV_GUARD_PER_ADDRESS; round++) {
        for (int i = 0; i < addresses; i++)
            flood_from("127.0.1." + std::to_string(i + 1), 1);
        service(50);
        srv_guard_sweep(host, t0 + 100u * (uint32_t)round);
        for (size_t i = 0; round == 0 && i < host->peerCount; i++)
            if (host->peers[i].state == ENET_PEER_STATE_ACKNOWLEDGING_CONNECT)
                first_round.insert({i, host->peers[i].connectID});
    }
    ASSERT_EQ((int)first_round.size(), addresses);
    ASSERT_EQ(srv_guard_in_progress(host, 0), (int)host->peerCount);
    Player *late = player_from("127.0.0.11");
    EXPECT_TRUE(service(2000, true));
    EXPECT_TRUE(late->connected);
    EXPECT_EQ(srv_guard_in_progress(host, 0), (int)host->peerCount - 1);
    // Those that gave way were the oldest: requests of the first round only.
    int gave_way = addresses * SRV_GUARD_PER_ADDRESS + 1 - (int)host->peerCount, first_left = 0;
    for (const auto &[i, id] : first_round)
        first_left += host->peers[i].state == ENET_PEER_STATE_ACKNOWLEDGING_CONNECT && host->peers[i].connectID == id;
    EXPECT_EQ(first_left, addresses - gave_way);
}

} // namespace
