// Senders with the performance trace, and the hand-over of map transfers.
#include "server/srv_send.h"

#include <enet/enet.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "server/srv_log.h"
#include "server/srv_state.h"

static int srv_packet_id(const ENetPacket *packet) { return msg_type(packet); }

ENetPacket *srv_packet(const uint8_t *buf, int len)
{
    if (!buf || len <= 0)
        return nullptr;
    return msg_make_packet(buf, len);
}

static void srv_release_unsent(ENetPacket *packet)
{
    if (packet && packet->referenceCount == 0)
        enet_packet_destroy(packet);
}

// Packets held back for a player whose map transfer is still being handed
// to ENet. ENet compresses a datagram when it sends it, and sends all that
// its window allows in one service call; queuing whole maps for a burst of
// joiners would make one call compress megabytes and hold the tick back. So
// a transfer is handed over a batch at a time, once ENet has sent the
// previous batch, and every later packet to that player waits behind it,
// keeping the order the client sees. Each held packet carries one reference
// of ours.
#define SRV_PENDING_MAX 20000 // a 16 MiB map is ~16,400 chunks, plus what comes meanwhile
#define SRV_RELEASE_BATCH 8   // packets handed to ENet per player per pass
struct SrvPending {
    ENetPacket *packets[SRV_PENDING_MAX];
    int head;
    int count;
    int broken; // a packet could not be held: the order is lost until discarded
};
static SrvPending srv_pending[PLAYER_MAX];

// The slot bound to a peer, or -1.
static int srv_peer_slot(const ENetPeer *peer)
{
    if (!peer || !peer->data)
        return -1;
    const int32_t *idp = (const int32_t *)peer->data;
    for (int i = 0; i < PLAYER_MAX; i++)
        if (idp == &player_table[i].id)
            return player_table[i].present && player_table[i].peer == peer ? i : -1;
    return -1;
}

static void srv_drop_ref(ENetPacket *packet)
{
    if (packet->referenceCount > 0)
        packet->referenceCount--;
    if (packet->referenceCount == 0)
        enet_packet_destroy(packet);
}

static int srv_hold(int player, ENetPacket *packet)
{
    SrvPending *q = &srv_pending[player];
    if (q->broken)
        return -1;
    if (q->count >= SRV_PENDING_MAX) {
        q->broken = 1;
        return -1;
    }
    packet->referenceCount++;
    q->packets[(q->head + q->count) % SRV_PENDING_MAX] = packet;
    q->count++;
    return 0;
}

int srv_pending_count(int player)
{
    return player >= 0 && player < PLAYER_MAX ? srv_pending[player].count : 0;
}

int srv_pending_broken(int player)
{
    return player >= 0 && player < PLAYER_MAX ? srv_pending[player].broken : 0;
}

void srv_pending_discard(int player)
{
    if (player < 0 || player >= PLAYER_MAX)
        return;
    SrvPending *q = &srv_pending[player];
    while (q->count > 0) {
        ENetPacket *packet = q->packets[q->head];
        q->head = (q->head + 1) % SRV_PENDING_MAX;
        q->count--;
        srv_drop_ref(packet);
    }
    q->head = 0;
    q->broken = 0;
}

int srv_send_held(int player, ENetPacket *packet)
{
    if (!packet)
        return -1;
    int r = -1;
    if (player < 0) {
        if (srv_perf)
            srv_log_debug(srv_perf, "sendall: time %u count %d packet %d len %d", enet_time_get(),
                          (int)srv_connected_count, srv_packet_id(packet), (int)packet->dataLength);
        r = 0;
        for (int i = 0; i < PLAYER_MAX; i++)
            if (player_table[i].present && player_table[i].peer && srv_hold(i, packet) != 0)
                r = -1;
    } else if (player < PLAYER_MAX && player_table[player].present && player_table[player].peer) {
        ENetPeer *peer = player_table[player].peer;
        if (srv_perf)
            srv_log_debug(srv_perf, "send: time %u peer %d packet %d len %d", enet_time_get(),
                          (int)peer->outgoingSessionID, srv_packet_id(packet), (int)packet->dataLength);
        r = srv_hold(player, packet);
    }
    srv_release_unsent(packet);
    return r;
}

void srv_pending_release()
{
    for (int i = 0; i < PLAYER_MAX; i++) {
        SrvPending *q = &srv_pending[i];
        if (q->count == 0 || q->broken)
            continue;
        ENetPeer *peer = player_table[i].present ? player_table[i].peer : nullptr;
        if (!peer) {
            srv_pending_discard(i);
            continue;
        }
        if (!enet_list_empty(&peer->outgoingCommands))
            continue; // ENet has not sent the last batch yet
        for (int n = 0; n < SRV_RELEASE_BATCH && q->count > 0; n++) {
            ENetPacket *packet = q->packets[q->head];
            q->head = (q->head + 1) % SRV_PENDING_MAX;
            q->count--;
            enet_peer_send(peer, 0, packet);
            srv_drop_ref(packet);
        }
    }
}

// Queues without releasing, so one packet can go to several peers; behind a
// running transfer when the peer's player has one.
static int srv_queue(ENetPeer *peer, ENetPacket *packet)
{
    if (!peer)
        return -1;
    int slot = srv_peer_slot(peer);
    if (slot >= 0 && (srv_pending[slot].count > 0 || srv_pending[slot].broken))
        return srv_hold(slot, packet);
    return enet_peer_send(peer, 0, packet) == 0 ? 0 : -1;
}

// srv_queue with the "send:" trace line.
static int srv_queue_traced(ENetPeer *peer, ENetPacket *packet)
{
    if (!peer)
        return -1;
    if (srv_perf)
        srv_log_debug(srv_perf, "send: time %u peer %d packet %d len %d", enet_time_get(),
                      (int)peer->outgoingSessionID, srv_packet_id(packet), (int)packet->dataLength);
    return srv_queue(peer, packet);
}

void srv_send_all(ENetPacket *packet)
{
    if (!packet)
        return;
    if (!srv_host) {
        enet_packet_destroy(packet);
        return;
    }
    if (srv_perf)
        srv_log_debug(srv_perf, "sendall: time %u count %d packet %d len %d", enet_time_get(),
                      (int)srv_connected_count, srv_packet_id(packet), (int)packet->dataLength);
    // As ENet's broadcast, peer by peer, so that a running transfer keeps its order.
    for (size_t i = 0; i < srv_host->peerCount; i++) {
        ENetPeer *peer = &srv_host->peers[i];
        if (peer->state == ENET_PEER_STATE_CONNECTED)
            srv_queue(peer, packet);
    }
    srv_release_unsent(packet);
}

int srv_send_to(ENetPeer *peer, ENetPacket *packet)
{
    if (!packet)
        return -1;
    int r = srv_queue_traced(peer, packet);
    srv_release_unsent(packet);
    return r;
}

void srv_send_each(ENetPacket *packet)
{
    srv_send_all_but(packet, -1);
}

void srv_send_all_but(ENetPacket *packet, int player)
{
    if (!packet)
        return;
    for (int i = 0; i < PLAYER_MAX; i++)
        if (i != player && player_table[i].present)
            srv_queue_traced(player_table[i].peer, packet);
    srv_release_unsent(packet);
}

void srv_send_team(ENetPacket *packet, int player)
{
    if (!packet)
        return;
    const PlayerRecord *p = player_get(player);
    if (p) {
        for (int i = 0; i < PLAYER_MAX; i++) {
            const PlayerRecord *q = &player_table[i];
            if (q->present && q->team != TEAM_NONE && q->team == p->team)
                srv_queue_traced(q->peer, packet);
        }
    }
    srv_release_unsent(packet);
}

void srv_send_nearby(int player, ENetPacket *packet)
{
    if (!packet)
        return;
    const PlayerRecord *p = player_get(player);
    if (p) {
        for (int i = 0; i < PLAYER_MAX; i++) {
            const PlayerRecord *q = &player_table[i];
            if (i == player || !q->present)
                continue;
            if (std::fabs(q->eye.x - p->eye.x) <= 32.0f && std::fabs(q->eye.y - p->eye.y) <= 32.0f)
                srv_queue_traced(q->peer, packet);
        }
    }
    srv_release_unsent(packet);
}

void srv_trace_recv(int player, const ENetPacket *packet)
{
    if (srv_perf && packet)
        srv_log_debug(srv_perf, "recv: time %u peer %d packet %d len %d", enet_time_get(), player,
                      srv_packet_id(packet), (int)packet->dataLength);
}

void srv_system_chat(int player, const char *text)
{
    ChatMsg chat;
    memset(&chat, 0, sizeof chat);
    chat.player = 255;
    chat.chat_type = CHAT_SYSTEM;
    snprintf(chat.text, sizeof chat.text, "%s", text ? text : "");
    uint8_t buf[MSG_MAX_SIZE];
    srv_send_player_or_all(player, srv_packet(buf, msg_write_chat(buf, sizeof buf, &chat)));
}

void srv_send_player_or_all(int player, ENetPacket *packet)
{
    if (player < 0) {
        srv_send_all(packet);
        return;
    }
    const PlayerRecord *p = player_get(player);
    if (p && p->present)
        srv_send_to(p->peer, packet);
    else if (packet)
        enet_packet_destroy(packet);
}
