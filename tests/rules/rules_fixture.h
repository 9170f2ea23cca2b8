// In-process fixture for the server's rules: a flat map, joined players bound
// to stand-in peers (never connected, so whatever the server sends them is
// dropped) and delivery of raw client messages through the real dispatcher.
#pragma once
#include <enet/enet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/map_query.h"
#include "common/map_store.h"
#include "common/mode_objective.h"
#include "common/player.h"
#include "common/protocol.h"
#include "common/timer.h"
#include "server/srv_net.h"
#include "server/srv_rules.h"
#include "server/srv_settings.h"
#include "server/srv_state.h"

#define FIX_GROUND 40

inline ENetPeer fix_peers[PLAYER_MAX];

class RulesFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        map_make_flat(FIX_GROUND, 0x7f808080u);
        memset(player_table, 0, sizeof player_table);
        memset(fix_peers, 0, sizeof fix_peers);
        srv_settings_defaults();
        srv_host = nullptr;
        srv_now = 100.0f;
        srv_tick_delta = 1.0f / 60.0f;
        game_time = srv_now;
        game_step = srv_tick_delta;
        srv_grenade_count = 0;
        srv_mode_flag = GAME_MODE_CTF;
        srv_mode = GameModeCallbacks{srv_ctf_tick, srv_ctf_fill_state, srv_ctf_reset, srv_ctf_rules, srv_ctf_spawn};
        srv_ctf_reset();
    }

    // A connected slot that has not joined yet.
    PlayerRecord *connect(int id)
    {
        PlayerRecord *p = &player_table[id];
        memset(p, 0, sizeof *p);
        p->present = 1;
        p->team = TEAM_NONE;
        p->id = id;
        p->peer = &fix_peers[id];
        fix_peers[id].data = &p->id;
        return p;
    }

    // A joined, living player standing on the flat ground at (x, y).
    PlayerRecord *join(int id, int team, int weapon, float x, float y)
    {
        PlayerRecord *p = connect(id);
        EXPECT_EQ(player_init(p, id, team, weapon, TOOL_GUN, 0, 0x7F7F7F, "p"), 1);
        p->peer = &fix_peers[id];
        p->present = 1;
        if (team >= 0) {
            Vec3 point = {x, y, (float)FIX_GROUND};
            player_respawn(p, &point);
        }
        return p;
    }

    void deliver(int id, const uint8_t *bytes, size_t n)
    {
        ENetEvent ev;
        memset(&ev, 0, sizeof ev);
        ev.type = ENET_EVENT_TYPE_RECEIVE;
        ev.peer = &fix_peers[id];
        ev.packet = enet_packet_create(bytes, n, ENET_PACKET_FLAG_RELIABLE);
        srv_dispatch_message(&ev);
    }
    void deliver(int id, const std::vector<uint8_t> &bytes) { deliver(id, bytes.data(), bytes.size()); }

    template <typename Msg>
    void send(int id, int (*write)(uint8_t *, size_t, const Msg *), const Msg &m)
    {
        uint8_t buf[MSG_MAX_SIZE];
        int n = write(buf, sizeof buf, &m);
        ASSERT_GT(n, 0);
        deliver(id, buf, (size_t)n);
    }
};
