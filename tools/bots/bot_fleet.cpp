// The fleet loop.
#include "bot_fleet.h"

#include <enet/enet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "common/protocol.h"

int64_t fleet_now_us()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

static bool fleet_is_loopback(const std::string &host)
{
    return host == "localhost" || host.rfind("127.", 0) == 0;
}

// Starts one connection without waiting for it.
static bool fleet_connect_start(Fleet *f, FleetBot *b)
{
    tcl_enet_init();
    ENetAddress bind_addr;
    ENetAddress *bind = nullptr;
    if (fleet_is_loopback(f->cfg.host)) {
        int n = f->cfg.first_address + b->index;
        char ip[32];
        snprintf(ip, sizeof ip, "127.0.%d.%d", n / 250, n % 250 + 2);
        enet_address_set_host_ip(&bind_addr, ip);
        bind_addr.port = 0;
        bind = &bind_addr;
    }
    // Bots never read the map: expanding its 16 MiB in the one loop that
    // times every bot's world updates would delay all of them.
    b->c.expand_map = b->keep_map;
    b->c.host = enet_host_create(bind, 1, 1, 0, 0);
    if (!b->c.host)
        return false;
    enet_host_compress_with_range_coder(b->c.host);
    ENetAddress a;
    if (enet_address_set_host(&a, f->cfg.host.c_str()) != 0)
        return false;
    a.port = f->cfg.port;
    b->c.peer = enet_host_connect(b->c.host, &a, 1, NET_CONNECT_VALUE);
    return b->c.peer != nullptr;
}

int fleet_add(Fleet *f, int count, int hostile)
{
    int first = (int)f->bots.size();
    for (int i = 0; i < count; i++) {
        auto b = std::make_unique<FleetBot>();
        b->index = first + i;
        b->name = f->cfg.name_prefix + std::to_string(b->index);
        bot_rng_seed(&b->r, f->cfg.seed * 1000003u + (uint64_t)b->index * 7919u + 1);
        b->started_us = fleet_now_us();
        bot_init(&b->s, i < hostile, b->started_us / 1000, &b->r);
        if (!fleet_connect_start(f, b.get())) {
            b->phase = BOT_REFUSED;
            tcl_abort(&b->c);
        }
        f->bots.push_back(std::move(b));
    }
    return first;
}

static void fleet_send(FleetBot *b, const BotMessage &m)
{
    // ENet's range coder cannot compress an empty packet (it crashes the
    // sender), so none ever reaches the server this way.
    if (!b->c.peer || m.bytes.empty())
        return;
    ENetPacket *p = enet_packet_create(m.bytes.data(), m.bytes.size(),
                                       m.reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
    if (p && enet_peer_send(b->c.peer, 0, p) != 0)
        enet_packet_destroy(p);
}

static void fleet_pump_bot(Fleet *f, FleetBot *b)
{
    if (b->phase == BOT_REFUSED || b->phase == BOT_GONE || !b->c.host)
        return;
    tcl_poll(&b->c);
    // What the poll took from the socket is stamped now, not at the start of
    // the pass: the bots before this one may have taken a while.
    const int64_t now_us = fleet_now_us();
    for (const auto &m : b->c.messages) {
        bot_on_message(&b->s, m.data(), m.size());
        if (!m.empty() && m[0] == MSG_WORLD_UPDATE) {
            // Updates held behind a map arrive together: only those of a
            // bot in play count.
            if (f->measuring && b->last_update_us && b->s.spawned)
                b->update_gaps_us.push_back((int32_t)std::min<int64_t>(now_us - b->last_update_us, INT32_MAX));
            b->last_update_us = now_us;
        }
    }
    b->c.messages.clear();
    if (b->c.map_done && b->map_done_us == 0)
        b->map_done_us = now_us;
    if (b->c.map_transfers != b->transfers_seen) {
        // A new map (the first, or a map change): every player is back to
        // "not joined" and joins again once it is loaded.
        b->transfers_seen = b->c.map_transfers;
        b->s.joined = b->s.spawned = b->s.alive = 0;
        b->s.have_pos = 0;
    }

    if (b->c.disconnected) {
        // A refusal is a disconnect (with its reason) before any map arrived.
        if (b->phase == BOT_CONNECTING || (b->phase == BOT_DOWNLOADING && !b->c.map_begun)) {
            b->phase = BOT_REFUSED;
            b->refuse_reason = b->c.disconnect_data;
        } else {
            b->phase = BOT_GONE;
        }
        tcl_abort(&b->c);
        return;
    }
    if (b->phase == BOT_CONNECTING) {
        if (b->c.connected)
            b->phase = BOT_DOWNLOADING;
        else if (now_us - b->started_us > f->connect_timeout_us) {
            b->phase = BOT_REFUSED;
            tcl_abort(&b->c);
            return;
        }
    }
    if (b->c.map_done && !b->keep_map && !b->c.map_image.empty()) {
        std::vector<uint8_t>().swap(b->c.map_image); // 16 MiB each: not kept
        std::vector<uint8_t>().swap(b->c.map_z);
    }
    if (b->c.map_done && b->c.have_state && !b->s.joined) {
        if (b->s.id < 0)
            b->s.id = b->c.own_id;
        fleet_send(b, bot_join_message(&b->s, &b->r, b->name.c_str()));
        b->phase = BOT_PLAYING;
    }
    if (b->phase == BOT_PLAYING) {
        std::vector<BotMessage> out;
        bot_step(&b->s, &b->r, now_us / 1000, &out);
        for (const auto &m : out)
            fleet_send(b, m);
        if (!out.empty())
            enet_host_flush(b->c.host);
    }
}

void fleet_pump(Fleet *f)
{
    for (auto &b : f->bots)
        fleet_pump_bot(f, b.get());
}

void fleet_run_for(Fleet *f, int ms)
{
    int64_t end = fleet_now_us() + (int64_t)ms * 1000;
    while (fleet_now_us() < end) {
        int64_t t0 = fleet_now_us();
        fleet_pump(f);
        if (fleet_now_us() - t0 < 1000)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

int fleet_count(const Fleet *f, int phase, int hostile)
{
    int n = 0;
    for (const auto &b : f->bots)
        if (b->phase == phase && (hostile < 0 || b->s.hostile == hostile))
            n++;
    return n;
}

void fleet_close_bot(Fleet *f, int index)
{
    if (index < 0 || index >= (int)f->bots.size())
        return;
    FleetBot *b = f->bots[index].get();
    if (b->c.host)
        tcl_close(&b->c);
    if (b->phase != BOT_REFUSED)
        b->phase = BOT_GONE;
}

void fleet_leave_bot(Fleet *f, int index)
{
    if (index < 0 || index >= (int)f->bots.size())
        return;
    FleetBot *b = f->bots[index].get();
    if (b->c.peer && b->c.connected)
        enet_peer_disconnect(b->c.peer, 0);
}

bool fleet_rejoin_bot(Fleet *f, int index)
{
    if (index < 0 || index >= (int)f->bots.size() || f->bots[index]->phase != BOT_GONE)
        return false;
    FleetBot *b = f->bots[index].get();
    tcl_abort(&b->c);
    b->c = TestClient();
    b->started_us = fleet_now_us();
    bot_init(&b->s, b->s.hostile, b->started_us / 1000, &b->r);
    b->phase = BOT_CONNECTING;
    b->transfers_seen = 0;
    b->map_done_us = 0;
    b->last_update_us = 0;
    if (!fleet_connect_start(f, b)) {
        b->phase = BOT_REFUSED;
        tcl_abort(&b->c);
        return false;
    }
    return true;
}

void fleet_close(Fleet *f)
{
    for (auto &b : f->bots)
        if (b->c.peer && b->c.connected)
            enet_peer_disconnect(b->c.peer, 0);
    // One shared bounded wait for the acknowledgements, then drop all.
    int64_t end = fleet_now_us() + 1000000;
    while (fleet_now_us() < end) {
        bool any = false;
        for (auto &b : f->bots)
            if (b->c.host && b->c.connected) {
                tcl_poll(&b->c);
                any = true;
            }
        if (!any)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (auto &b : f->bots)
        tcl_abort(&b->c);
}

GapStats fleet_gap_stats(const Fleet *f, int hostile)
{
    std::vector<int32_t> all;
    for (const auto &b : f->bots)
        if ((hostile < 0 || b->s.hostile == hostile) && (hostile != 0 || b->phase == BOT_PLAYING))
            all.insert(all.end(), b->update_gaps_us.begin(), b->update_gaps_us.end());
    GapStats g = {(long)all.size(), 0, 0, 0, 0};
    if (all.empty())
        return g;
    std::sort(all.begin(), all.end());
    auto at = [&](double q) { return all[std::min(all.size() - 1, (size_t)(q * (double)(all.size() - 1) + 0.5))] / 1000.0; };
    g.p50_ms = at(0.50);
    g.p95_ms = at(0.95);
    g.p99_ms = at(0.99);
    g.max_ms = all.back() / 1000.0;
    return g;
}

std::string fleet_summary(const Fleet *f)
{
    long sent = 0, hostile = 0, received = 0, deaths = 0, spawns = 0;
    for (const auto &b : f->bots) {
        sent += b->s.sent;
        hostile += b->s.sent_hostile;
        received += b->s.received;
        deaths += b->s.deaths;
        spawns += b->s.spawns;
    }
    char buf[512];
    snprintf(buf, sizeof buf,
             "bots %zu: connecting %d, downloading %d, playing %d (hostile %d), refused %d, gone %d; "
             "sent %ld (+%ld hostile), received %ld, spawns %ld, deaths %ld",
             f->bots.size(), fleet_count(f, BOT_CONNECTING), fleet_count(f, BOT_DOWNLOADING),
             fleet_count(f, BOT_PLAYING), fleet_count(f, BOT_PLAYING, 1), fleet_count(f, BOT_REFUSED),
             fleet_count(f, BOT_GONE), sent, hostile, received, spawns, deaths);
    return buf;
}
