// Drawing threads: every band of every job runs exactly once, whatever the
// thread and band counts, jobs following each other at once or after the
// workers have gone to sleep, and the caller's work beside a job once on the
// caller; the thread count's default and clamps.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "renderer/vox_pool.h"

namespace {

struct Tally {
    std::vector<std::atomic<int32_t>> runs;
    explicit Tally(size_t n) : runs(n) {}
};

void count_band(void *arg, int32_t band) { ((Tally *)arg)->runs[(size_t)band]++; }

// The caller's work beside a job: where and how often it ran.
struct Aside {
    std::thread::id on;
    int32_t runs = 0;
};

void note_aside(void *arg)
{
    Aside &a = *(Aside *)arg;
    a.on = std::this_thread::get_id();
    a.runs++;
}

TEST(DrawingThreads, EveryBandRunsOnceForAnyCounts)
{
    for (int32_t threads : {1, 2, 3, 4, 7, VOX_MAX_THREADS}) {
        ASSERT_EQ(vox_set_threads(threads), threads);
        for (int32_t bands : {1, 2, 5, 64, 1000, 70000}) {
            // Back to back, and once after the workers have gone to sleep,
            // that time with work on the caller beside the bands.
            for (int pause = 0; pause < 2; pause++) {
                if (pause) std::this_thread::sleep_for(std::chrono::milliseconds(5));
                Tally t((size_t)bands);
                Aside a;
                if (pause) vox_pool_run_aside(count_band, &t, bands, note_aside, &a);
                else vox_pool_run(count_band, &t, bands);
                int32_t wrong = 0;
                for (const auto &r : t.runs) wrong += r.load() != 1;
                EXPECT_EQ(wrong, 0) << threads << " threads, " << bands << " bands";
                EXPECT_EQ(a.runs, pause);
                if (pause) {
                    EXPECT_EQ(a.on, std::this_thread::get_id());
                }
            }
        }
    }
    vox_pool_stop();
    Tally t(9);
    vox_pool_run(count_band, &t, 9); // started again after a stop
    for (const auto &r : t.runs) EXPECT_EQ(r.load(), 1);
    vox_set_threads(0);
}

TEST(DrawingThreads, CountIsClampedAndDefaultsToTheEnvironmentOrTheCores)
{
    EXPECT_EQ(vox_set_threads(-3), 1);
    EXPECT_EQ(vox_set_threads(99), VOX_MAX_THREADS);
    const char *saved = std::getenv("BKM_RENDER_THREADS");
    const std::string keep = saved ? saved : "";
    setenv("BKM_RENDER_THREADS", "3", 1);
    EXPECT_EQ(vox_set_threads(0), 3);
    setenv("BKM_RENDER_THREADS", "many", 1); // reported and ignored
    const unsigned cores = std::thread::hardware_concurrency();
    const int32_t want = cores == 0 ? 1 : (int32_t)(cores < VOX_DEFAULT_MAX_THREADS ? cores : VOX_DEFAULT_MAX_THREADS);
    EXPECT_EQ(vox_set_threads(0), want);
    setenv("BKM_RENDER_THREADS", "0", 1);
    EXPECT_EQ(vox_set_threads(0), want);
    if (saved) setenv("BKM_RENDER_THREADS", keep.c_str(), 1);
    else unsetenv("BKM_RENDER_THREADS");
    vox_set_threads(0);
}

} // namespace
