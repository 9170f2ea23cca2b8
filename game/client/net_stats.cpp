#include "client/net_stats.h"

#include <cstring>

#include "client/net_client.h"
#include "common/timer.h"

NetStats net_stats;

static void net_stats_push(int32_t *history, int32_t value)
{
    std::memmove(history, history + 1, (NET_STATS_SAMPLES - 1) * sizeof *history);
    history[NET_STATS_SAMPLES - 1] = value;
}

void net_sample_stats()
{
    NetStats &s = net_stats;
    if (!(game_time > s.next_sample) || !net_client_host || !net_server_peer) return;
    uint32_t in = net_client_host->totalReceivedData, out = net_client_host->totalSentData;
    net_stats_push(s.in, (int32_t)(in - s.last_in));
    net_stats_push(s.out, (int32_t)(out - s.last_out));
    net_stats_push(s.ping, (int32_t)net_server_peer->roundTripTime);
    s.last_in = in;
    s.last_out = out;
    s.next_sample = (float)(int64_t)game_time + 1.0f;
}

void net_stats_reset() { net_stats = NetStats{}; }
