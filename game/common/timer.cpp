#include "common/timer.h"

#include <cstdint>
#include <ctime>

float game_time = 0.0f;
float game_step = 0.0f;

// The monotonic clock stands in for the performance counter: nanosecond ticks.
static float timer_reciprocal = 1e-9f;
static int64_t timer_start_count = 0;

static int64_t timer_counter()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

void timer_init()
{
    timer_reciprocal = (float)(1.0 / 1e9);
    timer_start_count = timer_counter();
}

float *timer_read(float *out)
{
    int64_t diff = timer_counter() - timer_start_count;
    *out = (float)diff * timer_reciprocal;
    return out;
}

void timer_start(float *out)
{
    timer_init();
    timer_read(out);
    game_step = 0.0f;
}
