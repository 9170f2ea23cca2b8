// Network statistics: once per game-clock second, the bytes received and sent
// since the last sample and the server's ping, kept for the last 40 seconds.
#pragma once
#include <cstdint>

#define NET_STATS_SAMPLES 40

struct NetStats {
    int32_t in[NET_STATS_SAMPLES];   // bytes per sample, oldest first
    int32_t out[NET_STATS_SAMPLES];
    int32_t ping[NET_STATS_SAMPLES]; // milliseconds
    uint32_t last_in, last_out;      // the host's totals at the last sample
    double next_sample;              // game-clock time of the next sample
};
extern NetStats net_stats;

// Takes a sample when the game clock has passed the next sample time; the
// next one is due at the following whole second.
void net_sample_stats();
// Forgets every sample and restarts the clock of the samples.
void net_stats_reset();
// The graph of the samples at the left, around the middle of the height:
// per second a bar of bytes in (green), out (blue) and ping (red) stacked,
// 50 to a pixel, cut at the graph's top; below it the newest numbers and
// the server's ping and packet loss.
void hud_draw_net_graph();
