// Connection guard: per-address cap on handshakes, eviction when the table is
// full, and the reaping of stale handshakes and refusals.
#include "server/srv_guard.h"

#include <enet/enet.h>

#include <cstring>

// What the sweeps have seen of one peer of the guarded host. A peer is the
// same wait while its state and connect id stay the same.
struct GuardPeer {
    int seen;           // 0 = not stamped by a sweep yet
    int state;          // ENetPeerState when stamped
    uint32_t connect_id;
    uint32_t since;     // ENet time of the first sweep that saw this wait
};

// Lives as long as the guarded host; cleared by srv_guard_attach.
static GuardPeer srv_guard_peers[SRV_GUARD_PEERS_MAX];
static ENetHost *srv_guard_host = nullptr;
static uint32_t srv_guard_last_sweep = 0;

size_t srv_guard_peer_count(uint32_t players)
{
    if (players < 1)
        players = 1;
    if (players > PLAYER_MAX)
        players = PLAYER_MAX;
    return (size_t)players + 1 + SRV_GUARD_ROOM;
}

static size_t srv_guard_watched(const ENetHost *host)
{
    return host->peerCount < SRV_GUARD_PEERS_MAX ? host->peerCount : SRV_GUARD_PEERS_MAX;
}

static bool srv_guard_handshaking(const ENetPeer *peer)
{
    return peer->state == ENET_PEER_STATE_ACKNOWLEDGING_CONNECT;
}

// A refusal (or a drop) whose disconnect the other side has not confirmed. A
// peer still bound to a player is the player table's to end.
static bool srv_guard_refusing(const ENetPeer *peer)
{
    return peer->state == ENET_PEER_STATE_DISCONNECTING && peer->data == nullptr;
}

static bool srv_guard_stamped(size_t i, const ENetPeer *peer)
{
    const GuardPeer &g = srv_guard_peers[i];
    return g.seen && g.state == (int)peer->state && g.connect_id == peer->connectID;
}

int srv_guard_in_progress(const ENetHost *host, uint32_t address)
{
    if (!host)
        return 0;
    int n = 0;
    for (size_t i = 0; i < host->peerCount; i++) {
        const ENetPeer *peer = &host->peers[i];
        if (srv_guard_handshaking(peer) && (address == 0 || peer->address.host == address))
            n++;
    }
    return n;
}

// The connection in progress that has waited longest (peers taken since the
// last sweep count as the newest), or null when there is none.
static ENetPeer *srv_guard_oldest(ENetHost *host)
{
    ENetPeer *oldest = nullptr;
    uint32_t oldest_age = 0;
    bool oldest_stamped = false;
    for (size_t i = 0; i < srv_guard_watched(host); i++) {
        ENetPeer *peer = &host->peers[i];
        if (!srv_guard_handshaking(peer))
            continue;
        bool stamped = srv_guard_stamped(i, peer);
        uint32_t age = stamped ? srv_guard_last_sweep - srv_guard_peers[i].since : 0;
        if (!oldest || (stamped && (!oldest_stamped || age > oldest_age))) {
            oldest = peer;
            oldest_age = age;
            oldest_stamped = stamped;
        }
    }
    return oldest;
}

// Sees every datagram before ENet does. Only requests for a new connection
// (addressed to no peer) are judged; everything else goes on to ENet, which
// checks it against its peer.
static int ENET_CALLBACK srv_guard_intercept(ENetHost *host, ENetEvent *)
{
    if (!host || host != srv_guard_host || !host->receivedData || host->receivedDataLength < 2)
        return 0;
    // The header's first field: the peer id, big-endian, under the flag and
    // session bits.
    uint16_t field = (uint16_t)((host->receivedData[0] << 8) | host->receivedData[1]);
    uint16_t peer_id = field & (uint16_t) ~(ENET_PROTOCOL_HEADER_FLAG_MASK | ENET_PROTOCOL_HEADER_SESSION_MASK);
    if (peer_id != ENET_PROTOCOL_MAXIMUM_PEER_ID)
        return 0;

    const ENetAddress &from = host->receivedAddress;
    int from_address = 0, free_peers = 0;
    bool from_port = false;
    for (size_t i = 0; i < host->peerCount; i++) {
        const ENetPeer *peer = &host->peers[i];
        if (peer->state == ENET_PEER_STATE_DISCONNECTED) {
            free_peers++;
        } else if (srv_guard_handshaking(peer) && peer->address.host == from.host) {
            from_address++;
            from_port = from_port || peer->address.port == from.port;
        }
    }
    if (from_address >= SRV_GUARD_PER_ADDRESS)
        return 1;
    // A client makes one connection per port, so a request from a port with
    // a handshake under way is most likely that handshake's repeat (which
    // ENet ignores): it makes nobody give way.
    if (free_peers == 0 && !from_port) {
        ENetPeer *oldest = srv_guard_oldest(host);
        if (oldest)
            enet_peer_reset(oldest);
    }
    return 0;
}

void srv_guard_attach(ENetHost *host)
{
    memset(srv_guard_peers, 0, sizeof srv_guard_peers);
    srv_guard_last_sweep = 0;
    srv_guard_host = host;
    if (host)
        host->intercept = srv_guard_intercept;
}

int srv_guard_sweep(ENetHost *host, uint32_t now_ms)
{
    if (!host || host != srv_guard_host)
        return 0;
    srv_guard_last_sweep = now_ms;
    int reset = 0;
    for (size_t i = 0; i < srv_guard_watched(host); i++) {
        ENetPeer *peer = &host->peers[i];
        GuardPeer &g = srv_guard_peers[i];
        if (!srv_guard_handshaking(peer) && !srv_guard_refusing(peer)) {
            g.seen = 0;
            continue;
        }
        if (!srv_guard_stamped(i, peer)) {
            g = {1, (int)peer->state, peer->connectID, now_ms};
            continue;
        }
        if (now_ms - g.since >= SRV_GUARD_HANDSHAKE_MS) {
            enet_peer_reset(peer);
            g.seen = 0;
            reset++;
        }
    }
    return reset;
}
