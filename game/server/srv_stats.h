// Tick figures of the run, for operators and load tests: the period between
// ticks and the work each tick took, kept in fixed histograms, and the
// share of one processor the server used. Summarised when the server quits.
#pragma once
#include <cstddef>

// Records one tick: seconds since the previous tick and seconds its work
// took. The first call also starts the processor-time measure.
void srv_stats_tick(float period, float work);
// Forgets everything recorded.
void srv_stats_reset();
// Ticks recorded so far.
long srv_stats_ticks();
// Percentile (0..1) of the work or period histogram, in milliseconds
// (resolution 0.01 ms; anything above 250 ms counts as 250 ms); the maximum
// is exact.
float srv_stats_work_ms(float q);
float srv_stats_period_ms(float q);
float srv_stats_work_max_ms();
float srv_stats_period_max_ms();
// One line: "ticks N, period p50 A p99 B max C ms, work p50 D p99 E max F ms,
// cpu G%". Returns what snprintf returns.
int srv_stats_summary(char *out, size_t size);
