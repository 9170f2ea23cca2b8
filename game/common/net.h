// Outgoing ENet connections (client -> game server, server -> master server)
// and the server's query of its own public IPv4 address over plain TCP.
// All of these block; see each function for how long.
#pragma once
#include <cstdint>

#include <enet/enet.h>
#include <sys/socket.h>

#define NET_CONNECT_WAIT_MS 2500
#define NET_PUBLIC_IP_SIZE 260
#define NET_PUBLIC_IP_TIMEOUT_MS 3000

// Creates a one-peer client host (range-coder compression) in *host and starts
// a connection to hostname (resolved) or, when hostname is null, to address
// (network byte order, as ENet keeps it) at port, with connect data and
// channel_limit channels. Returns 0 when the attempt started, 1 on failure
// (host creation, compression, a failed name look-up or no peer); on failure
// nothing is left behind: *host and *peer are null.
int net_connect(ENetHost **host, ENetPeer **peer, const char *hostname, uint32_t address, uint16_t port,
                uint32_t connect_data, int channel_limit);
// net_connect, then waits up to 2,500 ms for the connection. 0 when connected;
// 1 otherwise (no answer, or any other first event: a packet is destroyed).
// After a failure the host (when created) is still the caller's to destroy.
int net_connect_wait(ENetHost **host, ENetPeer **peer, const char *hostname, uint32_t address, uint16_t port,
                     uint32_t connect_data, int channel_limit);
// Sets up a game client's connection to the server once ENet reports it:
// no thinning of unreliable packets at either end, and the handshake's
// confirmation sent at once. Null arguments do nothing.
void net_client_connected(ENetHost *host, ENetPeer *peer);
// Disconnects politely, waiting up to 2,500 ms per service call for the
// confirmation (packets received meanwhile are destroyed); without one the
// peer is reset. Never fails; null arguments do nothing.
void net_disconnect(ENetHost *host, ENetPeer *peer);

// Receive time-out of a socket in milliseconds; the setsockopt result (0 ok).
int net_set_recv_timeout(int s, int ms);
// An IPv4 stream socket, negative on failure.
int net_tcp_socket();
// connect(2) on s; negative on failure.
int net_tcp_connect(int s, const struct sockaddr *addr, socklen_t len);

// Asks the what-is-my-address service for this machine's public IPv4 address.
// buf holds NET_PUBLIC_IP_SIZE bytes. Returns 0 with the dotted address in buf,
// 1 on failure (buf then holds ""). The service is BKM_IP_SERVICE_HOST (default
// NET_PUBLIC_IP_HOST; "off" or "" skips the query) at BKM_IP_SERVICE_PORT
// (default 80), both from the environment. Blocks for the name look-up, the
// connect and at most 3,000 ms per received piece.
#define NET_PUBLIC_IP_HOST "checkip.amazonaws.com"
int net_query_public_ip(char *buf);
// The reply parser on its own: the received text (NUL-terminated, at most
// NET_PUBLIC_IP_SIZE - 1 bytes) in buf is replaced by the address. 0 / 1 as above.
int net_parse_public_ip_reply(char *buf);
