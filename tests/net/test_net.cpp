// Connection helpers against a loopback ENet host, and the public-address
// query against a local stub HTTP server. Nothing leaves 127.0.0.1.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "common/net.h"
#include "common/protocol.h"

typedef std::chrono::steady_clock Clock;

static long ms_since(Clock::time_point t0)
{
    return (long)std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

struct EnetEnv : ::testing::Environment {
    void SetUp() override { ASSERT_EQ(enet_initialize(), 0); }
    void TearDown() override { enet_deinitialize(); }
};
static ::testing::Environment *const enet_env = ::testing::AddGlobalTestEnvironment(new EnetEnv);

// A loopback game host serviced on its own thread until told to stop.
struct LoopbackServer {
    ENetHost *host = nullptr;
    uint16_t port = 0;
    std::atomic<bool> stop{false};
    std::atomic<int> connects{0}, disconnects{0};
    std::atomic<uint32_t> connect_data{0};
    std::thread th;

    bool start()
    {
        ENetAddress a;
        enet_address_set_host_ip(&a, "127.0.0.1");
        a.port = 0;
        host = enet_host_create(&a, 4, 1, 0, 0);
        if (!host || enet_host_compress_with_range_coder(host) != 0) return false;
        ENetAddress bound;
        if (enet_socket_get_address(host->socket, &bound) != 0) return false;
        port = bound.port;
        th = std::thread([this] {
            auto t0 = Clock::now();
            while (!stop && ms_since(t0) < 20000) {
                ENetEvent ev;
                if (enet_host_service(host, &ev, 10) <= 0) continue;
                if (ev.type == ENET_EVENT_TYPE_CONNECT) {
                    connect_data = ev.data;
                    connects++;
                } else if (ev.type == ENET_EVENT_TYPE_DISCONNECT) {
                    disconnects++;
                } else if (ev.type == ENET_EVENT_TYPE_RECEIVE) {
                    enet_packet_destroy(ev.packet);
                }
            }
        });
        return true;
    }
    ~LoopbackServer()
    {
        stop = true;
        if (th.joinable()) th.join();
        if (host) enet_host_destroy(host);
    }
};

static uint32_t loopback_host_value()
{
    ENetAddress a;
    enet_address_set_host_ip(&a, "127.0.0.1");
    return a.host;
}

TEST(NetConnect, ConnectsToLoopbackHostAndDisconnects)
{
    LoopbackServer srv;
    ASSERT_TRUE(srv.start());
    ENetHost *host = nullptr;
    ENetPeer *peer = nullptr;
    ASSERT_EQ(net_connect_wait(&host, &peer, nullptr, loopback_host_value(), srv.port, NET_CONNECT_VALUE, 1), 0);
    ASSERT_NE(host, nullptr);
    ASSERT_NE(peer, nullptr);
    enet_host_flush(host); // the server sees the connection once our acknowledgement arrives
    auto t0 = Clock::now();
    while (srv.connects == 0 && ms_since(t0) < 2000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(srv.connects, 1);
    EXPECT_EQ(srv.connect_data, NET_CONNECT_VALUE);

    t0 = Clock::now();
    net_disconnect(host, peer);
    EXPECT_LT(ms_since(t0), 2500); // confirmed, not timed out
    t0 = Clock::now();
    while (srv.disconnects == 0 && ms_since(t0) < 2000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(srv.disconnects, 1);
    enet_host_destroy(host);
}

TEST(NetConnect, ResolvesHostNames)
{
    LoopbackServer srv;
    ASSERT_TRUE(srv.start());
    ENetHost *host = nullptr;
    ENetPeer *peer = nullptr;
    ASSERT_EQ(net_connect_wait(&host, &peer, "127.0.0.1", 0, srv.port, 30, 1), 0);
    net_disconnect(host, peer);
    enet_host_destroy(host);

    // A failed look-up is a failure, not a connection to the unset address.
    EXPECT_EQ(net_connect(&host, &peer, "", 0, srv.port, 30, 1), 1);
    EXPECT_EQ(host, nullptr);
    EXPECT_EQ(peer, nullptr);
    EXPECT_EQ(net_connect(nullptr, &peer, nullptr, 0, srv.port, 30, 1), 1);
    net_disconnect(nullptr, nullptr); // does nothing
}

TEST(NetConnect, NothingListeningFailsAfterTheWait)
{
    // A port that was just in use and is now closed.
    uint16_t port;
    {
        LoopbackServer gone;
        ASSERT_TRUE(gone.start());
        port = gone.port;
    }
    ENetHost *host = nullptr;
    ENetPeer *peer = nullptr;
    auto t0 = Clock::now();
    EXPECT_EQ(net_connect_wait(&host, &peer, nullptr, loopback_host_value(), port, NET_CONNECT_VALUE, 1), 1);
    EXPECT_GE(ms_since(t0), 2000);
    ASSERT_NE(host, nullptr);
    enet_host_destroy(host);
}

TEST(NetConnect, DisconnectFromAVanishedPeerFallsBackToReset)
{
    ENetHost *host = nullptr;
    ENetPeer *peer = nullptr;
    {
        LoopbackServer srv;
        ASSERT_TRUE(srv.start());
        ASSERT_EQ(net_connect_wait(&host, &peer, nullptr, loopback_host_value(), srv.port, NET_CONNECT_VALUE, 1), 0);
    } // the server is gone without a word
    auto t0 = Clock::now();
    net_disconnect(host, peer);
    EXPECT_GE(ms_since(t0), 2000);
    EXPECT_EQ(peer->state, ENET_PEER_STATE_DISCONNECTED);
    enet_host_destroy(host);
}

// ---- public-address query ----

// Serves one connection on 127.0.0.1: reads the request, waits, sends the reply.
struct StubHttp {
    int fd = -1;
    int port = 0;
    std::string request;
    std::thread th;

    bool start(std::string reply, int delay_ms = 0)
    {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd < 0 || bind(fd, (sockaddr *)&a, sizeof a) != 0 || listen(fd, 1) != 0 ||
            getsockname(fd, (sockaddr *)&a, &len) != 0)
            return false;
        port = ntohs(a.sin_port);
        th = std::thread([this, reply, delay_ms] {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 10000) != 1) return;
            int c = accept(fd, nullptr, nullptr);
            if (c < 0) return;
            char buf[512];
            auto t0 = Clock::now();
            while (request.find("\r\n\r\n") == std::string::npos && ms_since(t0) < 2000) {
                pollfd q{c, POLLIN, 0};
                if (poll(&q, 1, 100) != 1) continue;
                ssize_t n = recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                request.append(buf, (size_t)n);
            }
            if (delay_ms) std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
            if (!reply.empty()) send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
            close(c);
        });
        return true;
    }
    ~StubHttp()
    {
        if (th.joinable()) th.join();
        if (fd >= 0) close(fd);
    }
};

struct PublicIp : ::testing::Test {
    void TearDown() override
    {
        unsetenv("BKM_IP_SERVICE_HOST");
        unsetenv("BKM_IP_SERVICE_PORT");
    }
    void point_at(int port)
    {
        setenv("BKM_IP_SERVICE_HOST", "127.0.0.1", 1);
        setenv("BKM_IP_SERVICE_PORT", std::to_string(port).c_str(), 1);
    }
};

TEST_F(PublicIp, RepliesTable)
{
    const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n";
    struct {
        const char *what;
        std::string reply;
        int result;
        const char *address;
    } cases[] = {
        {"good", ok + "Content-Length: 7\r\n\r\n1.2.3.4", 0, "1.2.3.4"},
        {"body with a line end", ok + "Content-Length: 12\r\n\r\n203.0.113.9\n", 0, "203.0.113.9"},
        {"header in lower case", ok + "content-length: 7\r\n\r\n1.2.3.4", 0, "1.2.3.4"},
        {"no length header", ok + "\r\n1.2.3.4", 1, ""},
        {"length only inside the body", ok + "\r\n1.2.3.4\r\nContent-Length: 7", 1, ""},
        {"no blank line", ok + "Content-Length: 7\r\n1.2.3.4", 1, ""},
        {"negative length", ok + "Content-Length: -7\r\n\r\n1.2.3.4", 1, ""},
        {"length not a number", ok + "Content-Length: x\r\n\r\n1.2.3.4", 1, ""},
        {"huge length clamped to what came", ok + "Content-Length: 99999999999\r\n\r\n10.0.0.1", 0, "10.0.0.1"},
        {"length cuts the address", ok + "Content-Length: 5\r\n\r\n1.2.3.4", 1, ""},
        {"body not an address", ok + "Content-Length: 5\r\n\r\nhello", 1, ""},
        {"octet out of range", ok + "Content-Length: 9\r\n\r\n1.2.3.456", 1, ""},
        {"over-long reply", ok + "X-Pad: " + std::string(400, 'p') + "\r\nContent-Length: 7\r\n\r\n1.2.3.4", 1, ""},
        {"over-long body kept within the buffer", ok + "Content-Length: 300\r\n\r\n" + std::string(300, '9'), 1, ""},
        {"closed without a reply", "", 1, ""},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        StubHttp stub;
        ASSERT_TRUE(stub.start(c.reply));
        point_at(stub.port);
        char buf[NET_PUBLIC_IP_SIZE];
        memset(buf, 'Z', sizeof buf);
        EXPECT_EQ(net_query_public_ip(buf), c.result);
        EXPECT_STREQ(buf, c.address);
        stub.th.join();
        EXPECT_EQ(stub.request, "GET /n09230945.asp HTTP/1.0\r\nAccept: */*\r\nHost: 127.0.0.1\r\n"
                                "User-Agent: MSIE\r\n\r\n");
    }
}

TEST_F(PublicIp, SilentPeerTimesOut)
{
    StubHttp stub;
    ASSERT_TRUE(stub.start("", 4500)); // holds the connection past the receive time-out
    point_at(stub.port);
    char buf[NET_PUBLIC_IP_SIZE];
    auto t0 = Clock::now();
    EXPECT_EQ(net_query_public_ip(buf), 1);
    long took = ms_since(t0);
    EXPECT_GE(took, 2500);
    EXPECT_LT(took, 4400);
}

TEST_F(PublicIp, NoServiceOrSwitchedOff)
{
    uint16_t port;
    {
        StubHttp closed;
        ASSERT_TRUE(closed.start("", 0));
        port = (uint16_t)closed.port;
        // Let the stub's accept wait run out quickly: connect and close once.
        int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        ASSERT_EQ(connect(s, (sockaddr *)&a, sizeof a), 0);
        send(s, "\r\n\r\n", 4, MSG_NOSIGNAL);
        close(s);
    }
    point_at(port);
    char buf[NET_PUBLIC_IP_SIZE];
    EXPECT_EQ(net_query_public_ip(buf), 1);
    const char *off[] = {"off", ""};
    for (const char *o : off) {
        setenv("BKM_IP_SERVICE_HOST", o, 1);
        EXPECT_EQ(net_query_public_ip(buf), 1);
    }
    setenv("BKM_IP_SERVICE_HOST", "127.0.0.1", 1);
    const char *bad_ports[] = {"0", "70000", "80x"};
    for (const char *p : bad_ports) {
        setenv("BKM_IP_SERVICE_PORT", p, 1);
        EXPECT_EQ(net_query_public_ip(buf), 1) << p;
    }
}

TEST(PublicIpParse, ExactLengthLeavesExactlyTheAddress)
{
    char buf[NET_PUBLIC_IP_SIZE] = "HTTP/1.0 200 OK\r\nContent-Length: 7\r\n\r\n1.2.3.4garbage";
    EXPECT_EQ(net_parse_public_ip_reply(buf), 0);
    EXPECT_STREQ(buf, "1.2.3.4");
}

// Random replies around a valid one: the parser stays in its buffer and only
// ever leaves a dotted address.
TEST(PublicIpParse, RandomRepliesStayBounded)
{
    const std::string base = "HTTP/1.0 200 OK\r\nContent-Length: 11\r\n\r\n192.168.0.1";
    uint32_t seed = 99;
    auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    };
    int ok = 0;
    for (int round = 0; round < 20000; round++) {
        char buf[NET_PUBLIC_IP_SIZE];
        std::string r = base;
        int edits = (int)(next() % 4);
        for (int e = 0; e < edits; e++) {
            size_t at = next() % r.size();
            switch (next() % 3) {
            case 0: r[at] = (char)(next() % 256); break;
            case 1: r.erase(at, 1); break;
            default: r.insert(at, std::string(next() % 300, (char)('0' + next() % 10))); break;
            }
        }
        size_t n = r.size() < sizeof buf - 1 ? r.size() : sizeof buf - 1;
        memcpy(buf, r.data(), n);
        buf[n] = 0;
        if (net_parse_public_ip_reply(buf) == 0) {
            ok++;
            in_addr a;
            ASSERT_EQ(inet_pton(AF_INET, buf, &a), 1) << buf;
        } else {
            ASSERT_EQ(buf[0], 0);
        }
    }
    EXPECT_GT(ok, 0);
}

TEST(NetSocket, ReceiveTimeoutIsSplitIntoSecondsAndMicroseconds)
{
    int s = net_tcp_socket();
    ASSERT_GE(s, 0);
    ASSERT_EQ(net_set_recv_timeout(s, 3250), 0);
    struct timeval tv;
    socklen_t len = sizeof tv;
    ASSERT_EQ(getsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, &len), 0);
    EXPECT_EQ(tv.tv_sec, 3);
    EXPECT_NEAR(tv.tv_usec, 250000, 4000); // the kernel keeps it in jiffies
    close(s);
}
