// Senders with the performance trace.
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
    enet_host_broadcast(srv_host, 0, packet);
}

// Queues without releasing, so one packet can go to several peers.
static int srv_queue(ENetPeer *peer, ENetPacket *packet)
{
    if (!peer)
        return -1;
    if (srv_perf)
        srv_log_debug(srv_perf, "send: time %u peer %d packet %d len %d", enet_time_get(),
                      (int)peer->outgoingSessionID, srv_packet_id(packet), (int)packet->dataLength);
    return enet_peer_send(peer, 0, packet) == 0 ? 0 : -1;
}

int srv_send_to(ENetPeer *peer, ENetPacket *packet)
{
    if (!packet)
        return -1;
    int r = srv_queue(peer, packet);
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
            srv_queue(player_table[i].peer, packet);
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
                srv_queue(q->peer, packet);
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
                srv_queue(q->peer, packet);
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
    ENetPacket *packet = srv_packet(buf, msg_write_chat(buf, sizeof buf, &chat));
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
