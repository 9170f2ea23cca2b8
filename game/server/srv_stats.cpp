// Tick statistics.
#include "server/srv_stats.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "common/timer.h"

#define SRV_STATS_BINS 25001 // 0.01 ms each: 0 .. 250 ms, the last one open

struct TickHistogram {
    uint32_t bins[SRV_STATS_BINS];
    long count;
    float max_ms;
};

static TickHistogram srv_period_hist;
static TickHistogram srv_work_hist;
static clock_t srv_cpu_start;
static double srv_wall_start;

static void srv_hist_add(TickHistogram *h, float seconds)
{
    float ms = seconds * 1000.0f;
    if (!(ms >= 0.0f)) // negative or not a number
        ms = 0.0f;
    long bin = (long)(ms * 100.0f);
    if (bin >= SRV_STATS_BINS)
        bin = SRV_STATS_BINS - 1;
    h->bins[bin]++;
    h->count++;
    if (ms > h->max_ms)
        h->max_ms = ms;
}

static float srv_hist_quantile(const TickHistogram *h, float q)
{
    if (h->count == 0)
        return 0.0f;
    long rank = (long)(q * (float)(h->count - 1) + 0.5f);
    long seen = 0;
    for (long i = 0; i < SRV_STATS_BINS; i++) {
        seen += h->bins[i];
        if (seen > rank)
            return (float)i / 100.0f;
    }
    return (float)(SRV_STATS_BINS - 1) / 100.0f;
}

void srv_stats_reset()
{
    memset(&srv_period_hist, 0, sizeof srv_period_hist);
    memset(&srv_work_hist, 0, sizeof srv_work_hist);
}

void srv_stats_tick(float period, float work)
{
    if (srv_work_hist.count == 0) {
        srv_cpu_start = clock();
        timer_read(&srv_wall_start);
    } else {
        // The first period runs from the clock's start: not a tick period.
        srv_hist_add(&srv_period_hist, period);
    }
    srv_hist_add(&srv_work_hist, work);
}

long srv_stats_ticks() { return srv_work_hist.count; }
float srv_stats_work_ms(float q) { return srv_hist_quantile(&srv_work_hist, q); }
float srv_stats_period_ms(float q) { return srv_hist_quantile(&srv_period_hist, q); }
float srv_stats_work_max_ms() { return srv_work_hist.max_ms; }
float srv_stats_period_max_ms() { return srv_period_hist.max_ms; }

int srv_stats_summary(char *out, size_t size)
{
    float cpu = 0.0f;
    if (srv_work_hist.count > 0) {
        double now;
        timer_read(&now);
        float wall = (float)(now - srv_wall_start);
        if (wall > 0.0f)
            cpu = 100.0f * (float)(clock() - srv_cpu_start) / (float)CLOCKS_PER_SEC / wall;
    }
    return snprintf(out, size,
                    "ticks %ld, period p50 %.2f p99 %.2f max %.2f ms, work p50 %.2f p99 %.2f max %.2f ms, cpu %.1f%%",
                    srv_stats_ticks(), srv_stats_period_ms(0.5f), srv_stats_period_ms(0.99f),
                    srv_stats_period_max_ms(), srv_stats_work_ms(0.5f), srv_stats_work_ms(0.99f),
                    srv_stats_work_max_ms(), cpu);
}
