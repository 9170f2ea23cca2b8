// ENet connection helpers and the public-address query.
#include "common/net.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

int net_connect(ENetHost **host, ENetPeer **peer, const char *hostname, uint32_t address, uint16_t port,
                uint32_t connect_data, int channel_limit)
{
    if (!host || !peer) return 1;
    *host = nullptr;
    *peer = nullptr;
    ENetHost *h = enet_host_create(nullptr, 1, (size_t)(channel_limit > 0 ? channel_limit : 1), 0, 0);
    if (!h) return 1;
    if (enet_host_compress_with_range_coder(h) != 0) {
        enet_host_destroy(h);
        return 1;
    }
    ENetAddress addr;
    addr.host = address;
    addr.port = port;
    // A failed look-up must not become a connection to whatever addr held.
    if (hostname && enet_address_set_host(&addr, hostname) != 0) {
        enet_host_destroy(h);
        return 1;
    }
    ENetPeer *p = enet_host_connect(h, &addr, 1, connect_data);
    if (!p) {
        enet_host_destroy(h);
        return 1;
    }
    *host = h;
    *peer = p;
    return 0;
}

int net_connect_wait(ENetHost **host, ENetPeer **peer, const char *hostname, uint32_t address, uint16_t port,
                     uint32_t connect_data, int channel_limit)
{
    if (net_connect(host, peer, hostname, address, port, connect_data, channel_limit) != 0) return 1;
    ENetEvent ev;
    int r = enet_host_service(*host, &ev, NET_CONNECT_WAIT_MS);
    if (r > 0 && ev.type == ENET_EVENT_TYPE_CONNECT) return 0;
    if (r > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
    // Stop the attempt so the host does not keep sending connect requests.
    enet_peer_reset(*peer);
    return 1;
}

void net_client_connected(ENetHost *host, ENetPeer *peer)
{
    if (!host || !peer) return;
    // ENet thins out unreliable packets while round trips grow, as they do
    // during the map download, and takes seconds to recover: the world
    // updates and corrections sent meanwhile would be lost, leaving the other
    // players where their records were made. The game's traffic is small:
    // never thin it. The setting reaches the server's end of the link too.
    enet_peer_throttle_configure(peer, ENET_PEER_PACKET_THROTTLE_INTERVAL, ENET_PEER_PACKET_THROTTLE_ACCELERATION, 0);
    // ENet reports the connection before it confirms the server's answer;
    // the confirmation would wait for the next service. The server resets a
    // handshake left unconfirmed for 3 s.
    enet_host_flush(host);
}

void net_disconnect(ENetHost *host, ENetPeer *peer)
{
    if (!host || !peer) return;
    // Already ended (the other side closed it or stopped answering): there
    // is nobody to wait for.
    if (peer->state == ENET_PEER_STATE_DISCONNECTED) return;
    // Send what is pending first (the acknowledgement of a connection that was
    // never serviced since): a disconnect in the same datagram leaves the
    // other end without a connection to close, and us without a confirmation.
    enet_host_flush(host);
    enet_peer_disconnect(peer, 0);
    // Bounded: a peer that keeps sending cannot hold us here for ever.
    for (int events = 0; events < 256; events++) {
        ENetEvent ev;
        int r = enet_host_service(host, &ev, NET_CONNECT_WAIT_MS);
        if (r <= 0) break;
        if (ev.type == ENET_EVENT_TYPE_DISCONNECT) return;
        if (ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
    }
    enet_peer_reset(peer);
}

int net_set_recv_timeout(int s, int ms)
{
    struct timeval tv;
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    return setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

int net_tcp_socket() { return socket(AF_INET, SOCK_STREAM, 0); }

int net_tcp_connect(int s, const struct sockaddr *addr, socklen_t len) { return connect(s, addr, len); }

int net_parse_public_ip_reply(char *buf)
{
    size_t len = strnlen(buf, NET_PUBLIC_IP_SIZE - 1);
    buf[len] = 0;
    const char *hdr = strcasestr(buf, "Content-Length:");
    const char *blank = strstr(buf, "\r\n\r\n");
    // Only a header counts: the same words inside the body are no length.
    if (!hdr || !blank || hdr > blank) {
        buf[0] = 0;
        return 1;
    }
    const char *p = hdr + 15;
    while (*p == ' ' || *p == '\t') p++;
    if (*p < '0' || *p > '9') { // no digits, or a sign
        buf[0] = 0;
        return 1;
    }
    char *end;
    unsigned long want = strtoul(p, &end, 10);
    size_t body = (size_t)(blank + 4 - buf);
    size_t avail = len - body;
    size_t n = want < avail ? (size_t)want : avail;
    memmove(buf, buf + body, n);
    buf[n] = 0;
    while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n' || buf[n - 1] == ' ' || buf[n - 1] == '\t'))
        buf[--n] = 0;
    struct in_addr a;
    if (n == 0 || n > 15 || inet_pton(AF_INET, buf, &a) != 1) {
        buf[0] = 0;
        return 1;
    }
    return 0;
}

int net_query_public_ip(char *buf)
{
    if (!buf) return 1;
    buf[0] = 0;
    const char *host = getenv("BKM_IP_SERVICE_HOST");
    if (!host) host = NET_PUBLIC_IP_HOST;
    if (!host[0] || strcmp(host, "off") == 0) return 1;
    const char *port_text = getenv("BKM_IP_SERVICE_PORT");
    long port = 80;
    if (port_text && port_text[0]) {
        char *end;
        port = strtol(port_text, &end, 10);
        if (*end || port < 1 || port > 65535) return 1;
    }
    if (strlen(host) > 200) return 1; // the request must fit the buffer

    struct addrinfo hints, *res = nullptr;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    if (getaddrinfo(host, nullptr, &hints, &res) != 0 || !res) return 1;
    struct sockaddr_in sa;
    memcpy(&sa, res->ai_addr, sizeof sa);
    freeaddrinfo(res);
    sa.sin_port = htons((uint16_t)port);

    int s = net_tcp_socket();
    if (s < 0) return 1;
    net_set_recv_timeout(s, NET_PUBLIC_IP_TIMEOUT_MS);
    struct timeval tv = {NET_PUBLIC_IP_TIMEOUT_MS / 1000, 0};
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv); // also bounds connect
    if (net_tcp_connect(s, (const struct sockaddr *)&sa, sizeof sa) < 0) {
        close(s);
        return 1;
    }
    int req = snprintf(buf, NET_PUBLIC_IP_SIZE,
                       "GET /n09230945.asp HTTP/1.0\r\nAccept: */*\r\nHost: %s\r\nUser-Agent: MSIE\r\n\r\n", host);
    if (req < 0 || req >= NET_PUBLIC_IP_SIZE || send(s, buf, (size_t)req, MSG_NOSIGNAL) != req) {
        close(s);
        buf[0] = 0;
        return 1;
    }
    // Every piece bounded by the room left; a full buffer ends the reply, and
    // so does a peer that trickles bytes past twice the piece time-out.
    size_t len = 0;
    struct timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    while (len < NET_PUBLIC_IP_SIZE - 1) {
        clock_gettime(CLOCK_MONOTONIC, &t1);
        long elapsed_ms = (t1.tv_sec - t0.tv_sec) * 1000 + (t1.tv_nsec - t0.tv_nsec) / 1000000;
        if (elapsed_ms > 2 * NET_PUBLIC_IP_TIMEOUT_MS) break;
        size_t room = NET_PUBLIC_IP_SIZE - 1 - len;
        ssize_t r = recv(s, buf + len, room < 512 ? room : 512, 0);
        if (r <= 0) break;
        len += (size_t)r;
    }
    close(s);
    buf[len] = 0;
    if (memchr(buf, 0, len)) { // a NUL inside the reply would hide the rest of it
        buf[0] = 0;
        return 1;
    }
    return net_parse_public_ip_reply(buf);
}
