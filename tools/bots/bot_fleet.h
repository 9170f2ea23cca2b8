// A fleet of scripted players over the test client library, driven from one
// loop without blocking: connects them (each from its own loopback address
// when the server is local, so a kick or ban hits one bot only), downloads
// the map, joins and plays them, and keeps the figures a load test checks.
// Tools and tests side: std containers are fine here.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bot_play.h"
#include "support/test_client.h"

struct FleetConfig {
    std::string host = "127.0.0.1";
    uint16_t port = 32887;
    uint64_t seed = 1;
    std::string name_prefix = "bot";
    int first_address = 10; // local server: bot i binds 127.0.0.(first_address + i)
};

enum BotPhase {
    BOT_CONNECTING = 0,
    BOT_DOWNLOADING = 1,
    BOT_PLAYING = 2,
    BOT_REFUSED = 3, // the server said no (reason in refuse_reason) or never answered
    BOT_GONE = 4,    // disconnected after it was accepted
};

struct FleetBot {
    int index = 0;
    std::string name;
    TestClient c;
    BotState s{};
    BotRng r{};
    int phase = BOT_CONNECTING;
    int64_t started_us = 0;
    uint32_t refuse_reason = 0;
    int transfers_seen = 0;
    bool keep_map = false;            // keep the downloaded image (c.map_image)
    int64_t map_done_us = 0;          // when the whole map of the last connection had arrived
    int64_t last_update_us = 0;
    std::vector<int32_t> update_gaps_us; // between world updates, while measuring
};

struct Fleet {
    FleetConfig cfg;
    std::vector<std::unique_ptr<FleetBot>> bots;
    bool measuring = false;
    int64_t connect_timeout_us = 30000000; // a connection not answered by then is refused
};

int64_t fleet_now_us();
// Starts `count` connections (hostile ones mixed in as asked). Returns the
// index of the first new bot.
int fleet_add(Fleet *f, int count, int hostile);
// One pass over every bot: service, learn, join, act. Never blocks.
void fleet_pump(Fleet *f);
// Pumps for `ms` milliseconds (about 1 ms per pass).
void fleet_run_for(Fleet *f, int ms);
// Counts of bots in a phase (hostile: -1 any, 0 legal, 1 hostile).
int fleet_count(const Fleet *f, int phase, int hostile = -1);
// Politely disconnects one bot (it becomes BOT_GONE) with a bounded wait.
void fleet_close_bot(Fleet *f, int index);
// Asks the server to let one bot go without waiting: the bot becomes
// BOT_GONE in a later pump, once the server has answered.
void fleet_leave_bot(Fleet *f, int index);
// Connects a bot that is BOT_GONE again, from its own address, as a new
// player: it downloads the map and joins as the first time. False when the
// connection cannot be started (the bot is then BOT_REFUSED).
bool fleet_rejoin_bot(Fleet *f, int index);
// Disconnects every bot and destroys the hosts.
void fleet_close(Fleet *f);

struct GapStats {
    long count;
    double p50_ms, p95_ms, p99_ms, max_ms;
};
// World-update gaps recorded while measuring, over legal bots that are
// still playing (hostile 0), hostile ones (1) or all (-1).
GapStats fleet_gap_stats(const Fleet *f, int hostile);
// A one-line summary of the fleet for people.
std::string fleet_summary(const Fleet *f);
