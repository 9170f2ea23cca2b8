#include "common/timer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

double game_time = 0.0;
float game_step = 0.0f;

#define TIMER_UPTIME_MAX 1e9 // about 31 years

// The monotonic clock stands in for the performance counter: nanosecond ticks.
static int64_t timer_start_count = 0;
static int64_t timer_uptime_ns = 0; // how far back each start is put (test hook)
static int timer_uptime_read = 0;   // BKM_CLOCK_UPTIME looked at

static int64_t timer_counter()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

static int timer_uptime_valid(double seconds) { return std::isfinite(seconds) && seconds >= 0.0 && seconds <= TIMER_UPTIME_MAX; }

int timer_set_uptime(double seconds)
{
    if (!timer_uptime_valid(seconds)) return 0;
    timer_uptime_read = 1;
    timer_uptime_ns = (int64_t)std::llround(seconds * 1e9);
    timer_start_count = timer_counter() - timer_uptime_ns;
    return 1;
}

void timer_init()
{
    if (!timer_uptime_read) {
        timer_uptime_read = 1;
        if (const char *text = std::getenv("BKM_CLOCK_UPTIME")) {
            char *end = nullptr;
            double s = std::strtod(text, &end);
            if (end == text || *end || !timer_uptime_valid(s))
                std::fprintf(stderr, "BKM_CLOCK_UPTIME ignored: not a number of seconds 0..1e9\n");
            else {
                timer_uptime_ns = (int64_t)std::llround(s * 1e9);
                std::fprintf(stderr, "BKM_CLOCK_UPTIME: the clock starts at %.0f s\n", s);
            }
        }
    }
    timer_start_count = timer_counter() - timer_uptime_ns;
}

double *timer_read(double *out)
{
    int64_t diff = timer_counter() - timer_start_count;
    *out = (double)diff / 1e9;
    return out;
}

void timer_start(double *out)
{
    timer_init();
    timer_read(out);
    game_step = 0.0f;
}
