#include "client/net_client.h"

#include <cstring>

#include "client/game_fatal.h"
#include "common/lang_ids.h"
#include "common/net.h"
#include "common/protocol.h"

ENetHost *net_client_host;
ENetPeer *net_server_peer;

// Ring of held events; read == write is empty.
static ENetEvent net_held[NET_HOLD_MAX];
static int32_t net_held_read, net_held_count_now;
static int32_t net_held_disconnected;
static uint32_t net_held_reason;

int net_client_connect(uint32_t host, uint16_t port)
{
    ENetHost *h = nullptr;
    ENetPeer *p = nullptr;
    if (net_connect_wait(&h, &p, nullptr, host, port, NET_CONNECT_VALUE, 1) != 0) {
        if (h) enet_host_destroy(h);
        return 0;
    }
    net_client_host = h;
    net_server_peer = p;
    enet_peer_timeout(p, NET_TIMEOUT_LIMIT, NET_TIMEOUT_MIN_MS, NET_TIMEOUT_MAX_MS);
    net_client_connected(h, p);
    return 1;
}

static void net_drop_held()
{
    while (net_held_count_now > 0) {
        net_event_done(&net_held[net_held_read]);
        net_held_read = (net_held_read + 1) % NET_HOLD_MAX;
        net_held_count_now--;
    }
    net_held_read = 0;
    net_held_disconnected = 0;
}

void net_client_close()
{
    net_drop_held();
    if (!net_client_host) return;
    net_disconnect(net_client_host, net_server_peer);
    enet_host_destroy(net_client_host);
    net_client_host = nullptr;
    net_server_peer = nullptr;
}

int net_next_event(ENetEvent *event)
{
    if (net_held_count_now > 0) {
        *event = net_held[net_held_read];
        net_held_read = (net_held_read + 1) % NET_HOLD_MAX;
        net_held_count_now--;
        return 1;
    }
    if (!net_client_host) return 0;
    return enet_host_service(net_client_host, event, 0) > 0;
}

void net_event_done(ENetEvent *event)
{
    if (event->type == ENET_EVENT_TYPE_RECEIVE && event->packet) enet_packet_destroy(event->packet);
    event->packet = nullptr;
}

int net_hold_events()
{
    while (net_client_host && net_held_count_now < NET_HOLD_MAX) {
        ENetEvent ev;
        if (enet_host_service(net_client_host, &ev, 0) <= 0) break;
        if (ev.type == ENET_EVENT_TYPE_CONNECT) continue;
        net_held[(net_held_read + net_held_count_now) % NET_HOLD_MAX] = ev;
        net_held_count_now++;
        if (ev.type == ENET_EVENT_TYPE_DISCONNECT) {
            net_held_disconnected = 1;
            net_held_reason = ev.data;
            break;
        }
    }
    return net_held_count_now;
}

int net_held_count() { return net_held_count_now; }

void net_keep_alive()
{
    net_hold_events();
    uint32_t reason;
    if (net_held_disconnect(&reason)) game_fatal(net_disconnect_text(reason));
}

int net_held_disconnect(uint32_t *reason)
{
    if (net_held_disconnected && reason) *reason = net_held_reason;
    return net_held_disconnected;
}

int net_disconnect_text(uint32_t reason)
{
    switch (reason) {
    case REJECT_BANNED: return LANG_REJECT_BANNED;
    case REJECT_KICKED: return LANG_REJECT_KICKED;
    case REJECT_WRONG_VERSION: return LANG_REJECT_VERSION;
    case REJECT_SERVER_FULL: return LANG_REJECT_FULL;
    default: return LANG_DISCONNECTED;
    }
}

int net_send(const uint8_t *buf, int len)
{
    if (!net_server_peer || len <= 0) return 0;
    ENetPacket *p = msg_make_packet(buf, len);
    if (!p) return 0;
    if (enet_peer_send(net_server_peer, 0, p) != 0) {
        enet_packet_destroy(p);
        return 0;
    }
    return 1;
}
