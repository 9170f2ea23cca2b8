// Master-server link.
#include "server/srv_master.h"

#include <enet/enet.h>

#include <cstring>

#include "common/lang.h"
#include "common/lang_ids.h"
#include "common/net.h"
#include "server/srv_log.h"
#include "server/srv_send.h"
#include "server/srv_state.h"

static uint8_t srv_master_count_byte; // the count update is sent from here

int srv_master_build_registration(uint8_t *buf, size_t cap)
{
    size_t n = strnlen(srv_server_name, 31), m = strlen(srv_mode_word), k = strlen(srv_map_name);
    size_t len = 7 + n + m + k;
    if (!buf || cap < len)
        return 0;
    uint32_t players = srv_player_count;
    buf[0] = (uint8_t)players;
    buf[1] = (uint8_t)(srv_settings.port & 0xFF);
    buf[2] = (uint8_t)(srv_settings.port >> 8);
    uint8_t *p = buf + 3;
    memcpy(p, srv_server_name, n);
    p[n] = 0;
    p += n + 1;
    memcpy(p, srv_mode_word, m);
    p[m] = 0;
    p += m + 1;
    memcpy(p, srv_map_name, k);
    p[k] = 0;
    p += k + 1;
    *p = 0; // spare byte
    return (int)len;
}

int srv_master_connect()
{
    srv_console_print(lang_get(LANG_MASTER_CONNECTING));
    // Resolve first: a failed look-up must never become a connection to an
    // unset address.
    ENetAddress address;
    memset(&address, 0, sizeof address);
    if (srv_settings.masterhost[0] == 0 || enet_address_set_host(&address, srv_settings.masterhost) != 0 ||
        address.host == 0) {
        srv_console_print(lang_get(LANG_MASTER_CONNECT_FAILED));
        return -1;
    }
    ENetHost *host = nullptr;
    ENetPeer *peer = nullptr;
    if (net_connect(&host, &peer, nullptr, address.host, srv_settings.masterport, SRV_MASTER_CONNECT_VALUE, 1) != 0 ||
        !host || !peer) {
        if (host)
            enet_host_destroy(host);
        srv_console_print(lang_get(LANG_MASTER_CONNECT_FAILED));
        return -1;
    }
    srv_master_host = host;
    srv_master_peer = peer;
    srv_console_print(lang_get(LANG_MASTER_ATTEMPT_STARTED));
    return 0;
}

void srv_master_register()
{
    if (!srv_master_host || !srv_master_peer)
        return;
    uint8_t buf[SRV_PATH_MAX + 64];
    int len = srv_master_build_registration(buf, sizeof buf);
    ENetPacket *packet = len > 0 ? enet_packet_create(buf, (size_t)len, ENET_PACKET_FLAG_RELIABLE) : nullptr;
    if (!packet || srv_send_to(srv_master_peer, packet) != 0)
        srv_console_print(lang_get(LANG_MASTER_SEND_FAILED));
}

static void srv_master_drop_link()
{
    if (srv_master_host)
        enet_host_destroy(srv_master_host);
    srv_master_host = nullptr;
    srv_master_peer = nullptr;
}

void srv_service_master()
{
    if (!srv_master_host)
        return;
    ENetEvent event;
    if (enet_host_service(srv_master_host, &event, 0) <= 0)
        return;
    switch (event.type) {
    case ENET_EVENT_TYPE_CONNECT:
        srv_console_print(lang_get(LANG_MASTER_CONNECTED));
        srv_master_register();
        srv_console_print(lang_get(LANG_MASTER_REGISTERED));
        break;
    case ENET_EVENT_TYPE_DISCONNECT:
        srv_console_print(lang_get(LANG_MASTER_DISCONNECTED));
        srv_master_drop_link();
        srv_next_master_retry = srv_now + SRV_MASTER_RETRY_SECONDS;
        break;
    case ENET_EVENT_TYPE_RECEIVE:
        enet_packet_destroy(event.packet);
        break;
    default:
        break;
    }
}

void srv_master_tick(int64_t t, double now)
{
    if (srv_master_host) {
        // The count waits until the link is up, so no update is lost to a
        // connection still being made.
        if (srv_count_changed && t > srv_next_master_update && srv_master_peer &&
            srv_master_peer->state == ENET_PEER_STATE_CONNECTED) {
            srv_master_count_byte = (uint8_t)(srv_connected_count & 0xFF);
            ENetPacket *packet = enet_packet_create(&srv_master_count_byte, 1,
                                                    ENET_PACKET_FLAG_RELIABLE | ENET_PACKET_FLAG_NO_ALLOCATE);
            if (packet)
                srv_send_to(srv_master_peer, packet);
            srv_next_master_update = t + SRV_MASTER_UPDATE_SECONDS;
            srv_count_changed = 0;
        }
    } else if (srv_register && now > srv_next_master_retry) {
        if (srv_master_connect() != 0)
            srv_next_master_retry = now + SRV_MASTER_RETRY_SECONDS;
        else
            srv_count_changed = 1;
    }
}

void srv_master_shutdown()
{
    if (srv_master_host) {
        if (srv_master_peer)
            net_disconnect(srv_master_host, srv_master_peer);
        enet_host_destroy(srv_master_host);
    }
    srv_master_host = nullptr;
    srv_master_peer = nullptr;
}
