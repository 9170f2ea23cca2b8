// Admission, removal and dispatch.
#include "server/srv_net.h"

#include <enet/enet.h>

#include <cstring>

#include "common/lang.h"
#include "common/lang_ids.h"
#include "server/srv_access.h"
#include "server/srv_handlers.h"
#include "server/srv_join.h"
#include "server/srv_log.h"
#include "server/srv_rules.h"
#include "server/srv_send.h"
#include "server/srv_state.h"

static void srv_refuse(ENetPeer *peer, RejectReason reason)
{
    peer->data = nullptr;
    enet_peer_disconnect(peer, (enet_uint32)reason);
}

void srv_on_connect(ENetEvent *event)
{
    ENetPeer *peer = event->peer;
    if (!peer)
        return;
    if (event->data != NET_CONNECT_VALUE) {
        srv_refuse(peer, REJECT_WRONG_VERSION);
        return;
    }
    int slot = -1;
    for (int i = 0; i < PLAYER_MAX; i++) {
        if (!player_table[i].present) {
            slot = i;
            break;
        }
    }
    if (slot < 0 || (uint32_t)slot >= srv_player_count) {
        srv_refuse(peer, REJECT_SERVER_FULL);
        return;
    }
    if (srv_last_kicked != 0 && peer->address.host == srv_last_kicked) {
        srv_refuse(peer, REJECT_KICKED);
        return;
    }
    char dotted[16];
    srv_dotted_address(peer->address.host, dotted);
    if (srv_access_match(SRV_BAN_LIST, dotted)) {
        srv_refuse(peer, REJECT_BANNED);
        return;
    }

    srv_console_printf(lang_get(LANG_PLAYER_CONNECTED), slot, dotted);
    srv_connected_count++;
    srv_count_changed = 1;
    // Nothing of a previous occupant (admin flag, kills, stock) carries over.
    PlayerRecord *p = &player_table[slot];
    srv_pending_discard(slot);
    memset(p, 0, sizeof *p);
    p->present = 1;
    p->team = TEAM_NONE;
    p->id = slot;
    p->peer = peer;
    peer->data = &p->id;

    srv_send_map(slot);
    srv_send_existing_players(slot);
}

int srv_peer_player_id(const ENetEvent *event)
{
    if (!event || !event->peer || !event->peer->data)
        return -1;
    const int32_t *idp = (const int32_t *)event->peer->data;
    int id = *idp;
    if (id < 0 || id >= PLAYER_MAX || idp != &player_table[id].id)
        return -1;
    if (!player_table[id].present || player_table[id].peer != event->peer)
        return -1;
    return id;
}

void srv_on_disconnect(ENetEvent *event)
{
    int id = srv_peer_player_id(event);
    if (event && event->peer)
        event->peer->data = nullptr;
    if (id < 0)
        return;
    srv_remove_player(id, srv_vote.target == id ? REMOVE_KICK : REMOVE_LEFT);
}

void srv_remove_player(int player, int mode)
{
    PlayerRecord *p = player_get(player);
    if (!p || !p->present)
        return;
    int joined = p->team != TEAM_NONE;
    char dotted[16] = "";
    if (p->peer)
        srv_dotted_address(p->peer->address.host, dotted);

    char text[SRV_LOG_LINE];
    int with_name_id, with_id_id;
    if (mode == REMOVE_KICK) {
        if (p->peer)
            srv_last_kicked = p->peer->address.host;
        with_name_id = LANG_PLAYER_KICKED;
        with_id_id = LANG_ID_KICKED;
    } else if (mode == REMOVE_BAN) {
        srv_access_append(SRV_BAN_LIST, dotted, p->name);
        with_name_id = LANG_PLAYER_BANNED;
        with_id_id = LANG_ID_BANNED;
    } else {
        with_name_id = LANG_PLAYER_LEFT;
        with_id_id = LANG_ID_LEFT;
    }
    if (joined)
        snprintf(text, sizeof text, lang_get(with_name_id), p->name);
    else
        snprintf(text, sizeof text, lang_get(with_id_id), player);

    ENetPeer *peer = p->peer;
    if (peer)
        peer->data = nullptr;
    if (mode == REMOVE_KICK || mode == REMOVE_BAN) {
        if (peer)
            enet_peer_reset(peer);
        if (srv_vote.target == player)
            srv_vote.target = -1;
        srv_system_chat(-1, text);
    }
    srv_console_print(text);

    p->present = 0;
    p->peer = nullptr;
    srv_pending_discard(player);
    srv_connected_count--;
    srv_count_changed = 1;
    // One who never joined is unknown to the clients; one who joined before
    // a map change put him back to -2 is still shown by them and must be
    // cleared, or the next player in his slot would take his name.
    if (!p->announced)
        return;
    if (joined && srv_mode_flag == GAME_MODE_CTF && p->team >= 0)
        srv_drop_intel(player);
    uint8_t buf[8];
    PlayerLeftMsg left = {(uint8_t)player};
    srv_send_all(srv_packet(buf, msg_write_player_left(buf, sizeof buf, &left)));
}

void srv_grant_admin(int player)
{
    PlayerRecord *p = player_get(player);
    if (!p || !p->present)
        return;
    p->admin = 1;
    srv_console_printf(lang_get(LANG_ADMIN_GRANTED), p->name);
    srv_system_chat(player, lang_get(LANG_YOU_ARE_ADMIN));
}

void srv_dispatch_message(ENetEvent *event)
{
    ENetPacket *packet = event ? event->packet : nullptr;
    if (!packet)
        return;
    int id = srv_peer_player_id(event);
    if (id >= 0 && packet->data && packet->dataLength > 0) {
        int type = msg_type(packet);
        srv_trace_recv(id, packet);
        // Packets outside the sizes a client may send never reach a handler.
        if (type != MSG_NONE && msg_check_length(type, MSG_TO_SERVER, packet->dataLength) == MSG_OK) {
            switch (type) {
            case MSG_POSITION: srv_on_position(event); break;
            case MSG_ORIENT: srv_on_orientation(event); break;
            case MSG_MOVE_KEYS: srv_on_input(event); break;
            case MSG_FIRE_KEYS: srv_on_weapon_input(event); break;
            case MSG_HIT: srv_on_hit(event); break;
            case MSG_GRENADE: srv_on_grenade(event); break;
            case MSG_TOOL: srv_on_tool(event); break;
            case MSG_BLOCK_COLOUR:
            case MSG_FOG_COLOUR: srv_on_colour(event); break;
            case MSG_PLAYER_INFO:
            case MSG_REJOIN: srv_on_join(event); break;
            case MSG_BLOCK_ACTION: srv_on_block_action(event); break;
            case MSG_BLOCK_LINE: srv_on_block_line(event); break;
            case MSG_CHAT: srv_on_chat(event); break;
            case MSG_RELOAD: srv_on_reload(event); break;
            case MSG_TEAM_CHANGE: srv_on_change_team(event); break;
            case MSG_WEAPON_CHANGE: srv_on_change_weapon(event); break;
            default: break;
            }
        }
    }
    enet_packet_destroy(packet);
    event->packet = nullptr;
}
