// In-process fixture of the connection tests: a flat map, cleared player
// slots and stand-in peers (never connected, so whatever the server sends
// them is dropped), with hand-made ENet events.
#pragma once
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <enet/enet.h>

#include <cstring>

#include "common/map_store.h"
#include "server/srv_join.h"
#include "server/srv_mapzip.h"
#include "server/srv_net.h"
#include "server/srv_send.h"
#include "server/srv_state.h"

class ServerSlots : public ::testing::Test {
protected:
    ENetPeer peers[4];
    void SetUp() override
    {
        map_make_flat(40, 0x7F808080u);
        memset(player_table, 0, sizeof player_table);
        memset(peers, 0, sizeof peers);
        for (int i = 0; i < 4; i++) {
            // A peer ENet would refuse to send to, so nothing leaves.
            enet_list_clear(&peers[i].outgoingCommands);
            peers[i].address.host = htonl(0x7F000001u + (uint32_t)i);
        }
        srv_player_count = 32;
        srv_connected_count = 0;
        srv_last_kicked = 0;
        srv_vote.target = -1;
        srv_mode_flag = GAME_MODE_CTF;
        srv_mode = {};
        srv_host = nullptr;
    }
    void TearDown() override
    {
        for (int i = 0; i < PLAYER_MAX; i++)
            srv_pending_discard(i);
        srv_mapzip_shutdown();
    }
    ENetEvent event(int peer, ENetEventType type, uint32_t data = NET_CONNECT_VALUE, ENetPacket *packet = nullptr)
    {
        ENetEvent e = {};
        e.type = type;
        e.peer = &peers[peer];
        e.data = data;
        e.packet = packet;
        return e;
    }
};
