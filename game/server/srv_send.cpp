// Senders with the performance trace, and the hand-over of map transfers.
#include "server/srv_send.h"

#include <enet/enet.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "server/srv_log.h"
#include "server/srv_mapzip.h"
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
// keeping the order the client sees. A transfer is one entry that reads the
// compressed image (srv_mapzip) and makes its chunks as they go out; each
// held packet carries one reference of ours.
#define SRV_PENDING_MAX 20000 // what a slow client is sent while his map trickles in
#define SRV_RELEASE_BATCH 8   // packets handed to ENet per player per pass
// ... and for all players together: ENet compresses what it sends in its
// next service call, so a pass must not hand it a megabyte for a burst of
// joiners. The players take turns.
#define SRV_RELEASE_PASS_MAX 64
struct SrvHeld {
    ENetPacket *packet; // null: the map transfer of image `zmap`
    int zmap;
};
struct SrvPending {
    SrvHeld items[SRV_PENDING_MAX];
    int head;
    int count;
    int broken;     // a packet could not be held: the order is lost until discarded
    int map_begun;  // the head transfer's MSG_MAP_BEGIN went out
    size_t map_pos; // bytes of the head transfer's image gone out in chunks
    int owed;       // srv_pending_defer
};
static SrvPending srv_pending[PLAYER_MAX];
static int srv_release_first = 0; // whose turn comes first in the next pass

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

// The performance log's line of a packet to one peer, and of one to all.
static void srv_trace_send(const ENetPeer *peer, const ENetPacket *packet)
{
    if (srv_perf)
        srv_log_debug(srv_perf, "send: time %u peer %d packet %d len %d", enet_time_get(),
                      (int)peer->outgoingSessionID, srv_packet_id(packet), (int)packet->dataLength);
}

static void srv_trace_send_all(const ENetPacket *packet)
{
    if (srv_perf)
        srv_log_debug(srv_perf, "sendall: time %u count %d packet %d len %d", enet_time_get(),
                      (int)srv_connected_count, srv_packet_id(packet), (int)packet->dataLength);
}

// Appends an entry; 0, or -1 when the hold is (or was) full.
static int srv_hold_item(SrvPending *q, ENetPacket *packet, int zmap)
{
    if (q->broken)
        return -1;
    if (q->count >= SRV_PENDING_MAX) {
        q->broken = 1;
        return -1;
    }
    q->items[(q->head + q->count) % SRV_PENDING_MAX] = SrvHeld{packet, zmap};
    q->count++;
    return 0;
}

static int srv_hold(int player, ENetPacket *packet)
{
    SrvPending *q = &srv_pending[player];
    if (q->owed)
        return 0; // dropped: the coming transfer brings it
    if (srv_hold_item(q, packet, -1) != 0)
        return -1;
    packet->referenceCount++;
    return 0;
}

// Takes the head entry off, giving up what it held.
static void srv_pop(SrvPending *q)
{
    SrvHeld h = q->items[q->head];
    q->head = (q->head + 1) % SRV_PENDING_MAX;
    q->count--;
    if (h.packet) {
        srv_drop_ref(h.packet);
    } else {
        srv_mapzip_unuse(h.zmap);
        q->map_begun = 0;
        q->map_pos = 0;
    }
}

int srv_pending_count(int player)
{
    return player >= 0 && player < PLAYER_MAX ? srv_pending[player].count : 0;
}

int srv_pending_broken(int player)
{
    return player >= 0 && player < PLAYER_MAX ? srv_pending[player].broken : 0;
}

int srv_pending_head_map(int player, int *begun)
{
    if (begun)
        *begun = 0;
    if (player < 0 || player >= PLAYER_MAX || srv_pending[player].count == 0)
        return -1;
    const SrvPending *q = &srv_pending[player];
    const SrvHeld *h = &q->items[q->head];
    if (h->packet)
        return -1;
    if (begun)
        *begun = q->map_begun;
    return h->zmap;
}

void srv_pending_defer(int player, int owed)
{
    if (player >= 0 && player < PLAYER_MAX)
        srv_pending[player].owed = owed;
}

int srv_pending_deferred(int player)
{
    return player >= 0 && player < PLAYER_MAX ? srv_pending[player].owed : 0;
}

void srv_pending_discard(int player)
{
    if (player < 0 || player >= PLAYER_MAX)
        return;
    SrvPending *q = &srv_pending[player];
    while (q->count > 0)
        srv_pop(q);
    q->head = 0;
    q->broken = 0;
    q->owed = 0;
}

int srv_send_held(int player, ENetPacket *packet)
{
    if (!packet)
        return -1;
    int r = -1;
    if (player < 0) {
        srv_trace_send_all(packet);
        r = 0;
        for (int i = 0; i < PLAYER_MAX; i++)
            if (player_table[i].present && player_table[i].peer && srv_hold(i, packet) != 0)
                r = -1;
    } else if (player < PLAYER_MAX && player_table[player].present && player_table[player].peer) {
        srv_trace_send(player_table[player].peer, packet);
        r = srv_hold(player, packet);
    }
    srv_release_unsent(packet);
    return r;
}

int srv_send_held_map(int player, int zmap)
{
    if (player < 0 || player >= PLAYER_MAX || !player_table[player].present || !player_table[player].peer)
        return -1;
    if (srv_hold_item(&srv_pending[player], nullptr, zmap) != 0)
        return -1;
    srv_mapzip_use(zmap);
    return 0;
}

// The next packet of the map transfer at the head of q: MSG_MAP_BEGIN, then
// the chunks. 1 with *out (and *last on the final one); 0 while the image is
// being compressed; -1 when it cannot be sent (no image, no memory).
static int srv_map_next(SrvPending *q, int zmap, ENetPacket **out, int *last)
{
    const uint8_t *data;
    size_t len;
    int state = srv_mapzip_get(zmap, &data, &len);
    if (state == MAPZIP_BUSY)
        return 0;
    if (state != MAPZIP_READY)
        return -1;
    if (!q->map_begun) {
        uint8_t buf[8];
        MapBeginMsg begin = {(uint32_t)len};
        *out = srv_packet(buf, msg_write_map_begin(buf, sizeof buf, &begin));
        q->map_begun = 1;
        *last = len == 0;
        return *out ? 1 : -1;
    }
    size_t n = len - q->map_pos < SRV_MAP_CHUNK_DATA ? len - q->map_pos : SRV_MAP_CHUNK_DATA;
    *out = enet_packet_create(nullptr, n + 1, ENET_PACKET_FLAG_RELIABLE);
    if (!*out)
        return -1;
    MapChunkMsg chunk = {data + q->map_pos, (uint32_t)n};
    msg_write_map_chunk((*out)->data, n + 1, &chunk);
    q->map_pos += n;
    *last = q->map_pos >= len;
    return 1;
}

void srv_pending_release()
{
    int budget = SRV_RELEASE_PASS_MAX;
    for (int k = 0; k < PLAYER_MAX && budget > 0; k++) {
        int i = (srv_release_first + k) % PLAYER_MAX;
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
        srv_release_first = (i + 1) % PLAYER_MAX;
        for (int n = 0; n < SRV_RELEASE_BATCH && q->count > 0; n++, budget--) {
            SrvHeld *h = &q->items[q->head];
            if (h->packet) {
                enet_peer_send(peer, 0, h->packet);
                srv_pop(q);
                continue;
            }
            ENetPacket *packet = nullptr;
            int last = 0;
            int r = srv_map_next(q, h->zmap, &packet, &last);
            if (r == 0)
                break; // still compressing: everything behind waits
            if (r < 0) {
                srv_log_info(srv_log, "map image for player %d unavailable", i);
                q->broken = 1;
                break;
            }
            srv_trace_send(peer, packet);
            if (enet_peer_send(peer, 0, packet) != 0)
                enet_packet_destroy(packet);
            if (last)
                srv_pop(q);
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
    if (slot >= 0 && (srv_pending[slot].count > 0 || srv_pending[slot].broken || srv_pending[slot].owed))
        return srv_hold(slot, packet);
    return enet_peer_send(peer, 0, packet) == 0 ? 0 : -1;
}

// srv_queue with the "send:" trace line.
static int srv_queue_traced(ENetPeer *peer, ENetPacket *packet)
{
    if (!peer)
        return -1;
    srv_trace_send(peer, packet);
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
    srv_trace_send_all(packet);
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
