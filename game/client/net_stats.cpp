#include "client/net_stats.h"

#include <cstdio>
#include <cstring>

#include "client/hud_canvas.h"
#include "renderer/vox_prim.h"

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
    s.next_sample = (double)(int64_t)game_time + 1.0;
}

void net_stats_reset() { net_stats = NetStats{}; }

#define GRAPH_HALF 80        // the bars run from B + 80 up to B - 80
#define GRAPH_BYTES_PER_PIXEL 50

// One bar's rows from *bottom up by `value` / 50, cut at the top; *bottom
// becomes the bar's top, where the next bar stacks.
static void graph_bar(int32_t x, int32_t *bottom, int32_t top_limit, int32_t value, uint32_t colour)
{
    int32_t top = *bottom - (value > 0 ? value / GRAPH_BYTES_PER_PIXEL : 0);
    if (top < top_limit) top = top_limit;
    for (int32_t y = top; y < *bottom; y++) plotline(x, y, x + 3, y, colour);
    *bottom = top;
}

void hud_draw_net_graph()
{
    const NetStats &s = net_stats;
    const int32_t base = hud_height() / 2;
    if (hud_lock()) {
        for (int i = 0; i < NET_STATS_SAMPLES; i++) {
            int32_t bottom = base + GRAPH_HALF;
            const int32_t x = 8 + 4 * i;
            graph_bar(x, &bottom, base - GRAPH_HALF, s.in[i], 0x00FF00u);
            graph_bar(x, &bottom, base - GRAPH_HALF, s.out[i], 0x0000FFu);
            graph_bar(x, &bottom, base - GRAPH_HALF, s.ping[i], 0xFF0000u);
        }
        hud_rectangle(7, base - GRAPH_HALF - 1, 168, base + GRAPH_HALF);
    }
    const ENetPeer *peer = net_server_peer;
    char text[64];
    snprintf(text, sizeof text, "in: %d b/s", s.in[NET_STATS_SAMPLES - 1]);
    hud_text6x8(8, base + 86, 0x00FF00u, text);
    snprintf(text, sizeof text, "out: %d b/s", s.out[NET_STATS_SAMPLES - 1]);
    hud_text6x8(88, base + 86, 0x0000FFu, text);
    snprintf(text, sizeof text, "ping: %u", peer ? (unsigned)peer->roundTripTime : 0u);
    hud_text6x8(8, base + 96, 0xFF0000u, text);
    snprintf(text, sizeof text, "packetloss: %f", peer ? (double)peer->packetLoss / 65536.0 : 0.0);
    hud_text6x8(8, base + 106, 0xFFFFFFu, text);
}
